#include "print/reportpainter.h"

#include "export/cellnumber.h"
#include "export/gridexport.h"

#include <QGlyphRun>

#include <algorithm>
#include <array>
#include <cmath>

namespace rg {

namespace {

Qt::Alignment alignmentOf(const ReportColumn& c) {
    switch (c.alignment) {
    case Alignment::Right:
        return Qt::AlignRight;
    case Alignment::Center:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

constexpr double kPad = ReportLayout::kPad;
constexpr double kLineWidth = 0.5;
constexpr double kSame = 1e-6; // coordinates closer than this meet

// Joins grid lines on one line that touch or overlap: a cell's edge is its neighbour's too.
template <class Segment> void joinSegments(std::vector<Segment>& segments) {
    std::sort(segments.begin(), segments.end(), [](const auto& a, const auto& b) {
        return a.at != b.at ? a.at < b.at : a.from < b.from;
    });
    size_t out = 0;
    for (const auto& s : segments) {
        if (out > 0) {
            auto& last = segments[out - 1];
            if (std::abs(last.at - s.at) < kSame && s.from <= last.to + kSame) {
                last.to = std::max(last.to, s.to);
                continue;
            }
        }
        segments[out++] = s;
    }
    segments.resize(out);
}

} // namespace

ReportPainter::Face::Face(const ReportFont& f) : font(layoutFont(f.font)), color(f.color) {}

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

void ReportPainter::fill(const QRectF& r, const QColor& c) const {
    const QColor color = ink(c);
    auto it = std::find_if(ink_.fills.begin(), ink_.fills.end(),
                           [&](const Ink::Fill& f) { return f.color == color; });
    if (it == ink_.fills.end())
        it = ink_.fills.insert(ink_.fills.end(), Ink::Fill{color, {}});
    // Rows of one colour under each other make one rectangle.
    if (!it->rects.empty()) {
        QRectF& last = it->rects.back();
        if (std::abs(last.left() - r.left()) < kSame &&
            std::abs(last.width() - r.width()) < kSame &&
            std::abs(last.bottom() - r.top()) < kSame) {
            last.setBottom(r.bottom());
            return;
        }
    }
    it->rects.push_back(r);
}

void ReportPainter::line(double x1, double y, double x2) const {
    ink_.across.push_back({y, x1, x2});
}

void ReportPainter::outline(const QRectF& r) const {
    ink_.across.push_back({r.top(), r.left(), r.right()});
    ink_.across.push_back({r.bottom(), r.left(), r.right()});
    ink_.down.push_back({r.left(), r.top(), r.bottom()});
    ink_.down.push_back({r.right(), r.top(), r.bottom()});
}

void ReportPainter::text(const QRectF& r, const Face& face, std::string_view s, Qt::Alignment align,
                         Fit fit) const {
    if (s.empty())
        return;
    const QRectF inner = r.adjusted(kPad, 0, -kPad, 0);
    ReportTexts& texts = layout_.texts();
    const ShapedText& shaped =
        fit == Fit::Whole ? texts.shape(face.font, s) : texts.elided(face.font, s, inner.width());
    if (fit == Fit::Whole && shaped.width > inner.width() + kSame) {
        ink_.wrapped.push_back(
            {inner, &face, QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())), align});
        return;
    }
    double x = inner.left();
    if (align & Qt::AlignRight)
        x = inner.right() - shaped.width;
    else if (align & Qt::AlignHCenter)
        x = inner.left() + (inner.width() - shaped.width) / 2;
    const double baseline =
        inner.top() + (inner.height() - shaped.ascent - shaped.descent) / 2 + shaped.ascent;
    const QColor color = ink(face.color);
    Ink::Run* run = nullptr;
    for (const ShapedGlyph& g : shaped.glyphs) {
        if (run == nullptr || run->font != g.font) {
            auto it = std::find_if(ink_.runs.begin(), ink_.runs.end(), [&](const Ink::Run& r) {
                return r.font == g.font && r.color == color;
            });
            if (it == ink_.runs.end())
                it = ink_.runs.insert(ink_.runs.end(), Ink::Run{color, g.font, {}, {}});
            run = &*it;
        }
        run->indexes.push_back(g.index);
        run->positions.push_back(QPointF(x + g.x, baseline + g.y));
    }
}

void ReportPainter::flush(QPainter& p) const {
    p.setPen(Qt::NoPen);
    for (Ink::Fill& f : ink_.fills) {
        p.setBrush(f.color);
        p.drawRects(f.rects.data(), static_cast<int>(f.rects.size()));
    }
    ink_.fills.clear();
    joinSegments(ink_.across);
    joinSegments(ink_.down);
    std::vector<QLineF> lines;
    lines.reserve(ink_.across.size() + ink_.down.size());
    for (const Ink::Segment& s : ink_.across)
        lines.emplace_back(s.from, s.at, s.to, s.at);
    for (const Ink::Segment& s : ink_.down)
        lines.emplace_back(s.at, s.from, s.at, s.to);
    if (!lines.empty()) {
        QPen pen(ink(s_.GridLineColor), kLineWidth);
        // Thinner than a device pixel, a line comes out faint on a screen: one pixel, then.
        if (kLineWidth * std::sqrt(std::abs(p.transform().determinant())) < 1) {
            pen.setCosmetic(true);
            pen.setWidthF(1);
        }
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
    }
    ink_.across.clear();
    ink_.down.clear();
    for (Ink::Run& r : ink_.runs) {
        QGlyphRun run;
        run.setRawFont(layout_.texts().rawFont(r.font));
        run.setGlyphIndexes(r.indexes);
        run.setPositions(r.positions);
        p.setPen(r.color);
        p.drawGlyphRun(QPointF(0, 0), run);
    }
    ink_.runs.clear();
    for (const Ink::Wrapped& w : ink_.wrapped) {
        p.setFont(w.face->font);
        p.setPen(ink(w.face->color));
        p.drawText(w.rect, static_cast<int>(w.align | Qt::AlignVCenter | Qt::TextWrapAnywhere),
                   w.text);
    }
    ink_.wrapped.clear();
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
    paintPageTexts(page);
    flush(p);

    const int v = layout_.rowPageIndex(page);
    const ReportRowPage& rows = layout_.rowPage(page);
    strip_ = layout_.strip(page);
    const ReportHeights& h = layout_.heights();
    const QRectF body = layout_.body();
    const double scale = layout_.scale();

    double height = (layout_.titleShown(v) ? h.title : 0) + (layout_.bandsShown(v) ? h.band : 0) +
                    (layout_.headersShown(v) ? h.header : 0) + (rows.summaryFooter ? h.footer : 0) +
                    (layout_.subtotalRowsAbove(v) + layout_.subtotalRowsBelow(v)) * h.footer;
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
            paintTitle(strip_, y);
        y += h.title;
    }
    if (layout_.bandsShown(v)) {
        paintBandRow(y);
        y += h.band;
    }
    if (layout_.headersShown(v)) {
        paintHeaderRow(y);
        y += h.header;
    }
    y = paintSubtotalRows(v, y, true);
    for (int i = 0; i < rows.lineCount; ++i) {
        const int index = rows.firstLine + i;
        paintLine(index, y);
        y += layout_.lineHeight(layout_.lines()[static_cast<size_t>(index)]);
    }
    y = paintSubtotalRows(v, y, false);
    if (rows.summaryFooter)
        paintSummaryFooter(y);
    else if (v == layout_.rowPageCount() - 1)
        line(0, y, layout_.tableWidth()); // without the summary footer a line ends the table
    flush(p);
    p.restore();
}

void ReportPainter::paintPageTexts(int page) const {
    const TdxPrinterPage& pg = s_.PrinterPage;
    const QRectF body = layout_.body();
    auto row = [&](const std::array<QString, 3>& texts, const Face& face, double top,
                   double height) {
        const QRectF r(body.left(), top, body.width(), height);
        const Qt::Alignment aligns[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
        for (size_t i = 0; i < 3; ++i)
            if (!texts[i].isEmpty())
                text(r, face,
                     TdxPrinterPage::expandMacros(texts[i], page + 1, layout_.pageCount(), printed_)
                         .toStdString(),
                     aligns[i]);
    };
    const ReportHeights& h = layout_.heights();
    if (s_.ShowPageHeader)
        row(pg.PageHeaderTexts, pageHeader_, milliMmToPx(pg.Header), h.pageHeader);
    if (s_.ShowPageFooter)
        row(pg.PageFooterTexts, pageFooter_,
            layout_.paperSize().height() - milliMmToPx(pg.Footer) - h.pageFooter, h.pageFooter);
}

void ReportPainter::paintTitle(const ReportStrip& strip, double y) const {
    text(QRectF(strip.left, y, strip.width, layout_.heights().title), title_,
         s_.ReportTitleText.toStdString(), Qt::AlignHCenter);
}

void ReportPainter::paintBandRow(double y) const {
    // The grid's one band, whose caption is empty: a strip in the band colour.
    const QRectF r(0, y, layout_.tableWidth(), layout_.heights().band);
    fill(r, s_.BandColor);
    outline(r);
}

void ReportPainter::paintHeaderRow(double y) const {
    const double h = layout_.heights().header;
    if (layout_.indent() > 0) {
        const QRectF r(0, y, layout_.indent(), h);
        fill(r, s_.HeaderColor);
        outline(r);
    }
    for (const ReportColumn& c : layout_.columns()) {
        if (!visible(c))
            continue;
        const QRectF r(c.x, y, c.width, h);
        fill(r, s_.HeaderColor);
        outline(r);
        text(r, header_, c.column->Caption(), Qt::AlignLeft);
    }
}

void ReportPainter::paintLine(int index, double y) const {
    const VisibleRow& line = layout_.lines()[static_cast<size_t>(index)];
    if (line.row.isGroup())
        paintGroupRow(line, y);
    else if (line.footer >= 0)
        paintFooterRow(line, y);
    else
        paintDataRow(index, y);
}

void ReportPainter::paintDataRow(int index, double y) const {
    const RowHandle row = layout_.lines()[static_cast<size_t>(index)].row;
    const bool oddEven = s_.DrawMode == TdxTreeListDrawMode::tldmOddEven;
    const bool odd = index % 2 == 1;
    const Face& face = !oddEven ? cell_ : odd ? odd_ : even_;
    const QColor& background = !oddEven ? s_.Color : odd ? s_.OddColor : s_.EvenColor;
    const bool lines = s_.Options.contains(TdxTreeListPaintOption::tlpoGrid);
    const double h = layout_.heights().row;
    double left = -1, right = 0;
    for (const ReportColumn& c : layout_.columns()) {
        if (!visible(c))
            continue;
        const QRectF r(c.x, y, c.width, h);
        if (left < 0)
            left = c.x;
        right = c.x + c.width;
        if (lines)
            outline(r);
        const std::string value = ExactCellText(grid_, row, *c.column);
        text(r, face, value, alignmentOf(c),
             c.numeric || numberLikeText(value) ? Fit::Whole : Fit::Elide);
    }
    if (left >= 0)
        fill(QRectF(left, y, right - left, h), background);
}

void ReportPainter::paintGroupRow(const VisibleRow& line, double y) const {
    const double x = grid_.Level(line.row) * ReportLayout::kIndent;
    const double h = layout_.heights().group;
    const QRectF r(x, y, std::max(0.0, layout_.tableWidth() - x), h);
    fill(r, s_.GroupNodeColor);
    if (s_.Options.contains(TdxTreeListPaintOption::tlpoGrid))
        outline(r);
    // A group row continued on the pages to the right says again which group it is.
    const double from = std::max(x, strip_.left);
    text(QRectF(from, y, std::max(0.0, layout_.tableWidth() - from), h), group_,
         grid_.GroupRowText(line.row), Qt::AlignLeft);
}

void ReportPainter::paintFooterRow(const VisibleRow& line, double y) const {
    using enum TdxTreeListPaintOption;
    // A group footer sits under the rows of its group, indented one level deeper.
    const ReportLayout::FooterCells cells = layout_.footerCells(line);
    const double x = (cells.level + 1) * ReportLayout::kIndent;
    const double h = layout_.heights().rowFooter;
    const QRectF r(x, y, std::max(0.0, layout_.tableWidth() - x), h);
    fill(r, s_.RowFooterColor);
    const bool cellLines = s_.Options.contains(tlpoRowFooterGrid);
    const std::vector<ReportColumn>& columns = layout_.columns();
    bool labelled = false; // the first cell without a footer says what the row totals
    for (size_t i = 0; i < columns.size(); ++i) {
        const ReportColumn& c = columns[i];
        if (!visible(c))
            continue;
        const QRectF cell(c.x, y, c.width, h);
        if (cellLines)
            outline(cell);
        if (cells.cells != nullptr && (*cells.cells)[i]) {
            text(cell, rowFooter_, grid_.FooterCellText(line.row, *c.column, line.footer),
                 alignmentOf(c), Fit::Whole);
        } else if (!labelled && cells.cells != nullptr) {
            labelled = true;
            std::vector<const TdxDBGridColumn*> shown;
            for (const ReportColumn& s : columns)
                shown.push_back(s.column);
            text(cell, rowFooter_,
                 GroupFooterLabel(grid_, line.row, line.footer, shown,
                                  grid_.CellText(line.row, grid_.GroupColumns(cells.level))),
                 Qt::AlignLeft, Fit::Elide);
        }
    }
    if (s_.Options.contains(tlpoGrid))
        outline(r);
}

void ReportPainter::paintSummaryFooter(double y) const {
    paintTotalsRow(y, kGrandTotalLabel, [this](size_t, const TdxDBGridColumn& c) {
        return grid_.SummaryFooterCellExists(c) ? std::optional(grid_.SummaryFooterText(c))
                                                : std::nullopt;
    });
}

// A row of totals in the summary footer's look: the label where the grand total says its
// own, a cell with its text for each column that has one.
void ReportPainter::paintTotalsRow(double y, const char* label, const CellTexts& cellText) const {
    const double h = layout_.heights().footer;
    const QRectF r(0, y, layout_.tableWidth(), h);
    fill(r, s_.HeaderColor);
    outline(r);
    std::vector<const TdxDBGridColumn*> columns;
    for (const ReportColumn& c : layout_.columns())
        columns.push_back(c.column);
    const int labelColumn = grid_.SummaryFooterLabelColumn(columns);
    for (size_t i = 0; i < layout_.columns().size(); ++i) {
        const ReportColumn& c = layout_.columns()[i];
        if (!visible(c))
            continue;
        const QRectF cell(c.x + 1, y + 1, c.width - 2, h - 2);
        if (static_cast<int>(i) == labelColumn) {
            text(cell, footer_, label, Qt::AlignLeft, Fit::Elide);
            continue;
        }
        const std::optional<std::string> t = cellText(i, *c.column);
        if (!t)
            continue;
        outline(cell);
        text(cell, footer_, *t, alignmentOf(c), Fit::Whole);
    }
}

// The carried sum above a page's rows, or the page's own sum and the sum carried on below.
double ReportPainter::paintSubtotalRows(int v, double y, bool above) const {
    const PageSubtotals& sums = layout_.pageSubtotals();
    const double h = layout_.heights().footer;
    auto row = [&](const char* label, int page, bool pageOnly) {
        paintTotalsRow(y, label, [&](size_t i, const TdxDBGridColumn& c) {
            if (!sums.summed(i))
                return std::optional<std::string>();
            return std::optional(PageSubtotals::text(
                grid_, c, pageOnly ? sums.pageSum(page, i) : sums.sumThrough(page, i)));
        });
        y += h;
    };
    if (above) {
        if (layout_.subtotalRowsAbove(v) > 0)
            row(PageSubtotals::kCarriedInLabel, v - 1, false);
        return y;
    }
    const int below = layout_.subtotalRowsBelow(v);
    if (below > 0)
        row(PageSubtotals::kPageLabel, v, true);
    if (below > 1)
        row(PageSubtotals::kCarriedOutLabel, v, false);
    return y;
}

} // namespace rg
