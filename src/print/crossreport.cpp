#include "print/crossreport.h"

#include "export/crosstableexport.h"
#include "print/reportlayout.h"
#include "print/reporttext.h"

#include <QFontMetricsF>

#include <algorithm>
#include <array>
#include <cmath>

namespace rg {
namespace {

constexpr double kPad = ReportLayout::kPad;
constexpr double kIndent = ReportLayout::kIndent;
constexpr double kLineWidth = 0.5;

double textLineHeight(const ReportFont& f) {
    return std::ceil(QFontMetricsF(layoutFont(f.font)).height()) + 4;
}

QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

double textWidth(const QFontMetricsF& m, const std::string& s) {
    return s.empty() ? 0 : m.horizontalAdvance(qs(s)) + 2 * kPad;
}

// Draws cells with one font, colour and grid line pen, as the grid report does.
class CellInk {
public:
    CellInk(QPainter& p, const TdxGridReportSettings& s) : p_(p), s_(s) {
        QPen pen(ink(s.GridLineColor), kLineWidth);
        // Thinner than a device pixel, a line comes out faint on a screen: one pixel, then.
        if (kLineWidth * std::sqrt(std::abs(p.transform().determinant())) < 1) {
            pen.setCosmetic(true);
            pen.setWidthF(1);
        }
        pen_ = pen;
    }
    QColor ink(const QColor& c) const {
        if (!s_.PrinterPage.GrayShading)
            return c;
        const int g = qGray(c.rgb());
        return QColor(g, g, g);
    }
    void box(const QRectF& r, const QColor& fill, bool lines) const {
        p_.setPen(lines ? pen_ : QPen(Qt::NoPen));
        p_.setBrush(ink(fill));
        p_.drawRect(r);
    }
    void text(const QRectF& r, const ReportFont& f, const std::string& s, Qt::Alignment a) const {
        if (s.empty())
            return;
        const QString text = qs(s);
        const QFont font = fontForText(layoutFont(f.font), text);
        const QRectF inner = r.adjusted(kPad, 0, -kPad, 0);
        p_.setFont(font);
        p_.setPen(ink(f.color));
        p_.drawText(inner, static_cast<int>(a | Qt::AlignVCenter),
                    QFontMetricsF(font).elidedText(text, Qt::ElideRight, inner.width() + 0.5));
    }

private:
    QPainter& p_;
    const TdxGridReportSettings& s_;
    QPen pen_;
};

} // namespace

void CrossReport::build(TdxDBGrid& grid, const TdxGridReportSettings& s) {
    const CrossSheet sheet = crossSheetOf(grid);
    const CrossTable& x = *sheet.table;
    caption_.clear();
    for (const std::string& c : sheet.captions)
        caption_ += (caption_.empty() ? "" : " / ") + c;
    headers_.clear();
    for (int c = 0; c < x.columnCount(); ++c)
        headers_.push_back(x.columnText(c));
    headers_.push_back(kCrossTotalText);
    lines_.clear();
    for (const CrossSheetRow& row : sheet.rows) {
        Line line{row.level, row.group == CrossTable::kTotals, row.text, {}};
        for (int c = 0; c < x.columnCount(); ++c)
            line.cells.push_back(CrossCellText(x, x.cell(row.group, c)));
        line.cells.push_back(CrossCellText(x, x.rowTotal(row.group)));
        lines_.push_back(std::move(line));
    }
    measuredFonts_.clear();
    paginate(s);
}

void CrossReport::measure(const TdxGridReportSettings& s) {
    const QFont header = layoutFont(s.HeaderFont.font), group = layoutFont(s.GroupNodeFont.font),
                cell = layoutFont(s.Font.font), total = layoutFont(s.FooterFont.font);
    const QString fonts = header.key() + '|' + group.key() + '|' + cell.key() + '|' + total.key();
    if (fonts == measuredFonts_)
        return;
    const QFontMetricsF h(header), g(group), c(cell), t(total);
    leadNeed_ = textWidth(h, caption_);
    widths_.assign(headers_.size(), 0);
    for (size_t i = 0; i < headers_.size(); ++i)
        widths_[i] = std::max(24.0, textWidth(h, headers_[i]));
    for (const Line& l : lines_) {
        leadNeed_ = std::max(leadNeed_, l.level * kIndent + textWidth(l.total ? t : g, l.text));
        for (size_t i = 0; i < l.cells.size(); ++i)
            widths_[i] = std::max(widths_[i], textWidth(l.total ? t : c, l.cells[i]));
    }
    measuredFonts_ = fonts;
}

void CrossReport::paginate(const TdxGridReportSettings& s) {
    measure(s);
    heights_.header = textLineHeight(s.HeaderFont) + 2;
    heights_.row = std::max(textLineHeight(s.Font), textLineHeight(s.GroupNodeFont));
    heights_.total = textLineHeight(s.FooterFont) + 2;
    const bool title =
        s.ReportTitleMode != TdxReportTitleMode::tmNone && !s.ReportTitleText.isEmpty();
    heights_.title = title ? textLineHeight(s.ReportTitleFont) + 8 : 0;
    heights_.pageHeader = textLineHeight(s.PrinterPage.PageHeaderFont);
    heights_.pageFooter = textLineHeight(s.PrinterPage.PageFooterFont);

    const TdxPrinterPage& pg = s.PrinterPage;
    paper_ = pg.paperPx();
    body_ = pg.bodyPx();
    overThenDown_ = pg.PageOrder == TdxPageOrder::poOverThenDown;

    double tableWidth = leadNeed_, tableHeight = heights_.title + heights_.header;
    for (const double w : widths_)
        tableWidth += w;
    for (const Line& l : lines_)
        tableHeight += lineHeight(l);
    if (pg.ScaleMode == TdxScaleMode::smAdjust)
        scale_ = std::clamp(pg.ScaleFactor, 10, 500) / 100.0;
    else
        scale_ = std::clamp(
            std::min(body_.width() * std::max(1, pg.FitToPagesHorizontally) / tableWidth,
                     body_.height() * std::max(1, pg.FitToPagesVertically) / tableHeight),
            0.05, 1.0);
    const double width = body_.width() / scale_, height = body_.height() / scale_;

    // Every page repeats the group column; too wide a group text is cut rather than leaving
    // no room for the numbers.
    leadWidth_ = std::min(leadNeed_, width / 2);
    strips_.clear();
    for (int i = 0; i < static_cast<int>(widths_.size());) {
        Span strip{i, 0};
        double x = leadWidth_;
        while (i < static_cast<int>(widths_.size()) &&
               (strip.count == 0 || x + widths_[static_cast<size_t>(i)] <= width)) {
            x += widths_[static_cast<size_t>(i)];
            ++strip.count;
            ++i;
        }
        strips_.push_back(strip);
    }
    rowPages_.clear();
    for (int i = 0; i < lineCount();) {
        Span page{i, 0};
        double y = (rowPages_.empty() ? heights_.title : 0) + heights_.header;
        while (i < lineCount() &&
               (page.count == 0 || y + lineHeight(lines_[static_cast<size_t>(i)]) <= height)) {
            y += lineHeight(lines_[static_cast<size_t>(i)]);
            ++page.count;
            ++i;
        }
        rowPages_.push_back(page);
    }
}

int CrossReport::rowPageIndex(int page) const {
    const int strips = static_cast<int>(strips_.size());
    return overThenDown_ ? page / strips : page % static_cast<int>(rowPages_.size());
}

int CrossReport::stripIndex(int page) const {
    const int strips = static_cast<int>(strips_.size());
    return overThenDown_ ? page % strips : page / static_cast<int>(rowPages_.size());
}

CrossReport::Part CrossReport::part(int page) const {
    const Span& rows = rowPages_.at(static_cast<size_t>(rowPageIndex(page)));
    const Span& columns = strips_.at(static_cast<size_t>(stripIndex(page)));
    return {rows.first, rows.count, columns.first, columns.count};
}

void CrossReport::paintPage(QPainter& p, int page, const QRectF& paper,
                            const TdxGridReportSettings& s, const QDateTime& printed,
                            int pages) const {
    if (page < 0 || page >= pageCount() || paper_.width() <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.translate(paper.topLeft());
    const double k = paper.width() / paper_.width();
    p.scale(k, k);
    paintPageTexts(p, s, page, pages, printed);
    p.translate(body_.topLeft());
    p.scale(scale_, scale_);
    p.setClipRect(
        QRectF(0, 0, body_.width() / scale_ + kLineWidth, body_.height() / scale_ + kLineWidth));
    paintTable(p, s, page);
    p.restore();
}

void CrossReport::paintPageTexts(QPainter& p, const TdxGridReportSettings& s, int page, int pages,
                                 const QDateTime& printed) const {
    const TdxPrinterPage& pg = s.PrinterPage;
    const CellInk ink(p, s);
    auto row = [&](const std::array<QString, 3>& texts, const ReportFont& font, double top,
                   double height) {
        const QRectF r(body_.left(), top, body_.width(), height);
        const Qt::Alignment aligns[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
        for (size_t i = 0; i < 3; ++i)
            if (!texts[i].isEmpty())
                ink.text(
                    r, font,
                    TdxPrinterPage::expandMacros(texts[i], page + 1, pages, printed).toStdString(),
                    aligns[i]);
    };
    if (s.ShowPageHeader)
        row(pg.PageHeaderTexts, pg.PageHeaderFont, milliMmToPx(pg.Header), heights_.pageHeader);
    if (s.ShowPageFooter)
        row(pg.PageFooterTexts, pg.PageFooterFont,
            paper_.height() - milliMmToPx(pg.Footer) - heights_.pageFooter, heights_.pageFooter);
}

void CrossReport::paintTable(QPainter& p, const TdxGridReportSettings& s, int page) const {
    const Part part = this->part(page);
    const CellInk ink(p, s);
    const bool lines = s.Options.contains(TdxTreeListPaintOption::tlpoGrid);
    double width = leadWidth_;
    for (int c = 0; c < part.columnCount; ++c)
        width += widths_[static_cast<size_t>(part.firstColumn + c)];
    double y = 0;
    if (rowPageIndex(page) == 0 && heights_.title > 0) {
        if (s.ReportTitleMode != TdxReportTitleMode::tmOnFirstPage || stripIndex(page) == 0)
            ink.text(QRectF(0, y, width, heights_.title), s.ReportTitleFont,
                     s.ReportTitleText.toStdString(), Qt::AlignHCenter);
        y += heights_.title;
    }
    // One line: the group column, then the page's cross columns.
    auto paintLine = [&](double h, const ReportFont& leadFont, const ReportFont& cellFont,
                         const QColor& fill, bool grid, double indent, const std::string& lead,
                         const auto& cellText, Qt::Alignment align) {
        ink.box(QRectF(0, y, leadWidth_, h), fill, true);
        ink.text(QRectF(indent, y, leadWidth_ - indent, h), leadFont, lead, Qt::AlignLeft);
        double x = leadWidth_;
        for (int c = part.firstColumn; c < part.firstColumn + part.columnCount; ++c) {
            const QRectF r(x, y, widths_[static_cast<size_t>(c)], h);
            ink.box(r, fill, grid);
            ink.text(r, cellFont, cellText(static_cast<size_t>(c)), align);
            x = r.right();
        }
        y += h;
    };
    paintLine(
        heights_.header, s.HeaderFont, s.HeaderFont, s.HeaderColor, true, 0, caption_,
        [&](size_t c) -> const std::string& { return headers_[c]; }, Qt::AlignLeft);
    for (int i = part.firstLine; i < part.firstLine + part.lineCount; ++i) {
        const Line& l = lines_[static_cast<size_t>(i)];
        auto cell = [&](size_t c) -> const std::string& { return l.cells[c]; };
        if (l.total)
            paintLine(heights_.total, s.FooterFont, s.FooterFont, s.HeaderColor, true, 0, l.text,
                      cell, Qt::AlignRight);
        else
            paintLine(heights_.row, s.GroupNodeFont, s.Font, s.Color, lines, l.level * kIndent,
                      l.text, cell, Qt::AlignRight);
    }
    // Without grid lines the table still ends in a line.
    p.setPen(QPen(ink.ink(s.GridLineColor), kLineWidth));
    p.drawLine(QLineF(0, y, width, y));
}

} // namespace rg
