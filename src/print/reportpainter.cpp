#include "print/reportpainter.h"

#include <algorithm>

namespace rg {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

Qt::Alignment alignmentOf(const TdxDBGridColumn& c) {
    switch (c.alignment()) {
    case Alignment::Right:
        return Qt::AlignRight;
    case Alignment::Center:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

constexpr double kPad = 2; // text inset inside a cell
constexpr double kLineWidth = 0.5;

} // namespace

ReportPainter::Face::Face(const ReportFont& f)
    : font(layoutFont(f.font)), metrics(font), color(f.color) {}

ReportPainter::ReportPainter(const TdxDBGrid& grid, const TdxGridReportSettings& settings,
                             const ReportLayout& layout, const QDateTime& printed)
    : grid_(grid), s_(settings), layout_(layout), printed_(printed),
      title_(settings.ReportTitleFont), cell_(settings.Font), even_(settings.EvenFont),
      odd_(settings.OddFont), band_(settings.BandFont), header_(settings.HeaderFont),
      group_(settings.GroupNodeFont), footer_(settings.FooterFont),
      rowFooter_(settings.RowFooterFont), pageHeader_(settings.PrinterPage.PageHeaderFont),
      pageFooter_(settings.PrinterPage.PageFooterFont) {}

QColor ReportPainter::ink(const QColor& c) const {
    if (!s_.PrinterPage.GrayShading)
        return c;
    const int g = qGray(c.rgb());
    return QColor(g, g, g);
}

void ReportPainter::fill(QPainter& p, const QRectF& r, const QColor& c) const {
    p.fillRect(r, ink(c));
}

void ReportPainter::outline(QPainter& p, const QRectF& r) const {
    p.setPen(QPen(ink(s_.GridLineColor), kLineWidth));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
}

void ReportPainter::text(QPainter& p, const QRectF& r, const Face& face, const QString& s,
                         Qt::Alignment align) const {
    if (s.isEmpty())
        return;
    const QRectF inner = r.adjusted(kPad, 0, -kPad, 0);
    p.setFont(face.font);
    p.setPen(ink(face.color));
    p.drawText(inner, static_cast<int>(align | Qt::AlignVCenter | Qt::TextSingleLine),
               face.metrics.elidedText(s, Qt::ElideRight, inner.width()));
}

bool ReportPainter::visible(const ReportColumn& c) const {
    return c.x + c.width > strip_.left && c.x < strip_.left + strip_.width;
}

void ReportPainter::paintPage(QPainter& p, int page, const QRectF& paper) const {
    if (page < 0 || page >= layout_.pageCount())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.translate(paper.topLeft());
    const double k = paper.width() / layout_.paperSize().width();
    p.scale(k, k);
    paintPageTexts(p, page);

    const int v = layout_.rowPageIndex(page);
    const ReportRowPage& rows = layout_.rowPage(page);
    strip_ = layout_.strip(page);
    const ReportHeights& h = layout_.heights();
    const QRectF body = layout_.body();
    const double scale = layout_.scale();

    double height = (layout_.titleShown(v) ? h.title : 0) + (layout_.bandsShown(v) ? h.band : 0) +
                    (layout_.headersShown(v) ? h.header : 0) + (rows.summaryFooter ? h.footer : 0);
    for (int i = 0; i < rows.lineCount; ++i)
        height += layout_.lineHeight(layout_.lines()[static_cast<size_t>(rows.firstLine + i)]);
    const double dx =
        s_.PrinterPage.CenterOnPageH ? std::max(0.0, (body.width() - strip_.width * scale) / 2) : 0;
    const double dy =
        s_.PrinterPage.CenterOnPageV ? std::max(0.0, (body.height() - height * scale) / 2) : 0;
    p.translate(body.left() + dx, body.top() + dy);
    p.scale(scale, scale);
    p.setClipRect(QRectF(0, 0, strip_.width + kLineWidth, body.height() / scale + kLineWidth));
    p.translate(-strip_.left, 0);

    double y = 0;
    if (layout_.titleShown(v)) {
        if (layout_.titleOnPage(page))
            paintTitle(p, strip_, y);
        y += h.title;
    }
    if (layout_.bandsShown(v)) {
        paintBandRow(p, y);
        y += h.band;
    }
    if (layout_.headersShown(v)) {
        paintHeaderRow(p, y);
        y += h.header;
    }
    for (int i = 0; i < rows.lineCount; ++i) {
        const int index = rows.firstLine + i;
        paintLine(p, index, y);
        y += layout_.lineHeight(layout_.lines()[static_cast<size_t>(index)]);
    }
    if (rows.summaryFooter) {
        paintSummaryFooter(p, y);
    } else if (v == layout_.rowPageCount() - 1) {
        // Without the summary footer a closing line ends the table.
        p.setPen(QPen(ink(s_.GridLineColor), kLineWidth));
        p.drawLine(QPointF(0, y), QPointF(layout_.tableWidth(), y));
    }
    p.restore();
}

void ReportPainter::paintPageTexts(QPainter& p, int page) const {
    const TdxPrinterPage& pg = s_.PrinterPage;
    const QRectF body = layout_.body();
    auto row = [&](const std::array<QString, 3>& texts, const Face& face, double top,
                   double height) {
        const QRectF r(body.left(), top, body.width(), height);
        const Qt::Alignment aligns[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
        for (int i = 0; i < 3; ++i)
            text(p, r, face,
                 TdxPrinterPage::expandMacros(texts[static_cast<size_t>(i)], page + 1,
                                              layout_.pageCount(), printed_),
                 aligns[i]);
    };
    const ReportHeights& h = layout_.heights();
    if (s_.ShowPageHeader)
        row(pg.PageHeaderTexts, pageHeader_, milliMmToPx(pg.Header), h.pageHeader);
    if (s_.ShowPageFooter)
        row(pg.PageFooterTexts, pageFooter_,
            layout_.paperSize().height() - milliMmToPx(pg.Footer) - h.pageFooter, h.pageFooter);
}

void ReportPainter::paintTitle(QPainter& p, const ReportStrip& strip, double y) const {
    text(p, QRectF(strip.left, y, strip.width, layout_.heights().title), title_, s_.ReportTitleText,
         Qt::AlignHCenter);
}

void ReportPainter::paintBandRow(QPainter& p, double y) const {
    // The grid's one band, whose caption is empty: a strip in the band colour.
    const QRectF r(0, y, layout_.tableWidth(), layout_.heights().band);
    fill(p, r, s_.BandColor);
    outline(p, r);
}

void ReportPainter::paintHeaderRow(QPainter& p, double y) const {
    const double h = layout_.heights().header;
    if (layout_.indent() > 0) {
        const QRectF r(0, y, layout_.indent(), h);
        fill(p, r, s_.HeaderColor);
        outline(p, r);
    }
    for (const ReportColumn& c : layout_.columns()) {
        if (!visible(c))
            continue;
        const QRectF r(c.x, y, c.width, h);
        fill(p, r, s_.HeaderColor);
        outline(p, r);
        text(p, r, header_, qs(c.column->Caption()), Qt::AlignLeft);
    }
}

void ReportPainter::paintLine(QPainter& p, int index, double y) const {
    const VisibleRow& line = layout_.lines()[static_cast<size_t>(index)];
    if (line.row.isGroup())
        paintGroupRow(p, line, y);
    else if (line.footer >= 0)
        paintFooterRow(p, line, y);
    else
        paintDataRow(p, index, y);
}

void ReportPainter::paintDataRow(QPainter& p, int index, double y) const {
    const RowHandle row = layout_.lines()[static_cast<size_t>(index)].row;
    const bool oddEven = s_.DrawMode == TdxTreeListDrawMode::tldmOddEven;
    const bool odd = index % 2 == 1;
    const Face& face = !oddEven ? cell_ : odd ? odd_ : even_;
    const QColor& background = !oddEven ? s_.Color : odd ? s_.OddColor : s_.EvenColor;
    const bool lines = s_.Options.contains(TdxTreeListPaintOption::tlpoGrid);
    const double h = layout_.heights().row;
    for (const ReportColumn& c : layout_.columns()) {
        if (!visible(c))
            continue;
        const QRectF r(c.x, y, c.width, h);
        fill(p, r, background);
        if (lines)
            outline(p, r);
        text(p, r, face, qs(grid_.CellText(row, *c.column)), alignmentOf(*c.column));
    }
}

void ReportPainter::paintGroupRow(QPainter& p, const VisibleRow& line, double y) const {
    const double x = grid_.Level(line.row) * ReportLayout::kIndent;
    const QRectF r(x, y, std::max(0.0, layout_.tableWidth() - x), layout_.heights().group);
    fill(p, r, s_.GroupNodeColor);
    if (s_.Options.contains(TdxTreeListPaintOption::tlpoGrid))
        outline(p, r);
    text(p, r, group_, qs(grid_.GroupRowText(line.row)), Qt::AlignLeft);
}

void ReportPainter::paintFooterRow(QPainter& p, const VisibleRow& line, double y) const {
    using enum TdxTreeListPaintOption;
    // A group footer sits under the rows of its group, indented one level deeper.
    const double x = (grid_.FooterLevel(line.row, line.footer) + 1) * ReportLayout::kIndent;
    const double h = layout_.heights().rowFooter;
    const QRectF r(x, y, std::max(0.0, layout_.tableWidth() - x), h);
    fill(p, r, s_.RowFooterColor);
    const bool cellLines = s_.Options.contains(tlpoRowFooterGrid);
    for (const ReportColumn& c : layout_.columns()) {
        if (!visible(c))
            continue;
        const QRectF cell(c.x, y, c.width, h);
        if (cellLines)
            outline(p, cell);
        if (grid_.FooterCellExists(line.row, *c.column, line.footer))
            text(p, cell, rowFooter_, qs(grid_.FooterCellText(line.row, *c.column, line.footer)),
                 alignmentOf(*c.column));
    }
    if (s_.Options.contains(tlpoGrid))
        outline(p, r);
}

void ReportPainter::paintSummaryFooter(QPainter& p, double y) const {
    const double h = layout_.heights().footer;
    const QRectF r(0, y, layout_.tableWidth(), h);
    fill(p, r, s_.HeaderColor);
    outline(p, r);
    for (const ReportColumn& c : layout_.columns()) {
        if (!visible(c) || !grid_.SummaryFooterCellExists(*c.column))
            continue;
        const QRectF cell(c.x + 1, y + 1, c.width - 2, h - 2);
        outline(p, cell);
        text(p, cell, footer_, qs(grid_.SummaryFooterText(*c.column)), alignmentOf(*c.column));
    }
}

} // namespace rg
