#include "print/reportlayout.h"

#include "export/cellnumber.h"

#include "grid/rowwalk.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace rg {

QFont layoutFont(const QFont& font) {
    QFont f = font;
    if (font.pointSizeF() > 0)
        f.setPixelSize(std::max(1, qRound(font.pointSizeF() * kLogicalDpi / 72.0)));
    return f;
}

namespace {

double textLineHeight(const ReportFont& f) {
    return std::ceil(QFontMetricsF(layoutFont(f.font)).height()) + 4;
}

constexpr int64_t kProgressStep = 65536;

} // namespace

void ReportLayout::clear() {
    measuredFonts_.clear();
    footerCells_.clear();
    lines_.clear();
    columns_.clear();
    rowPages_.clear();
    strips_.clear();
    subtotals_.clear();
    indent_ = tableWidth_ = 0;
}

bool ReportLayout::build(TdxDBGrid& grid, const TdxGridReportSettings& s,
                         const Progress& progress) {
    clear();
    grid_ = &grid;
    indent_ = grid.GroupColumnCount() * kIndent;
    for (const TdxDBGridColumn* c : grid.VisibleColumns()) {
        const Alignment a = c->alignment();
        const auto w = static_cast<double>(c->Width());
        columns_.push_back({c, 0, w, a, a == Alignment::Right, w});
    }

    using enum TdxTreeListPaintOption;
    const bool rowFooters = s.Options.contains(tlpoRowFooters);
    // The rows as the grid shows them, every row when nodes expand automatically, and only
    // the focused row's path and subtree when only the selection prints.
    RowWalk walk;
    walk.collapsedToo = s.AutoNodesExpand;
    if (s.OnlySelected && grid.FocusedRow().valid())
        walk.selected = {grid.FocusedRow()};
    // Group footer rows print only with their option. A cancel stops taking lines; the walk
    // runs out without them.
    const int64_t total = walk.count(grid).lines;
    int64_t done = 0;
    bool ok = true;
    walk.forEachLine(grid, [&](const VisibleRow& line) {
        if (!ok)
            return;
        if (line.footer < 0 || rowFooters)
            lines_.push(line);
        ++done;
        ok = !progress || done % kProgressStep != 0 || progress(done, total);
    });
    // The values are measured while the build may still be cancelled; paginating then finds
    // them measured.
    footers_ = s.Options.contains(tlpoFooters);
    if (!ok || !measureValues(s, progress)) {
        clear();
        return false;
    }
    paginate(s);
    return true;
}

double ReportLayout::lineHeight(const VisibleRow& line) const {
    if (line.row.isGroup())
        return heights_.group;
    return line.footer >= 0 ? heights_.rowFooter : heights_.row;
}

void ReportLayout::measure(const TdxGridReportSettings& s) {
    heights_.band = textLineHeight(s.BandFont);
    heights_.header = textLineHeight(s.HeaderFont) + 2;
    heights_.row =
        std::max({textLineHeight(s.Font), textLineHeight(s.EvenFont), textLineHeight(s.OddFont)});
    heights_.group = textLineHeight(s.GroupNodeFont);
    heights_.rowFooter = textLineHeight(s.RowFooterFont);
    heights_.footer = textLineHeight(s.FooterFont) + 2;
    const bool title =
        s.ReportTitleMode != TdxReportTitleMode::tmNone && !s.ReportTitleText.isEmpty();
    heights_.title = title ? textLineHeight(s.ReportTitleFont) + 8 : 0;
    heights_.pageHeader = textLineHeight(s.PrinterPage.PageHeaderFont);
    heights_.pageFooter = textLineHeight(s.PrinterPage.PageFooterFont);
    base_ = heights_;
}

bool ReportLayout::measureValues(const TdxGridReportSettings& s, const Progress& progress) {
    std::vector<QFont> cell;
    if (s.DrawMode == TdxTreeListDrawMode::tldmOddEven)
        cell = {layoutFont(s.EvenFont.font), layoutFont(s.OddFont.font)};
    else
        cell = {layoutFont(s.Font.font)};
    const QFont rowFooter = layoutFont(s.RowFooterFont.font),
                footer = layoutFont(s.FooterFont.font);
    QString fonts = rowFooter.key();
    for (const QFont& f : cell)
        fonts += QLatin1Char('|') + f.key();
    if (grid_ == nullptr)
        return true;
    auto widen = [&](double& need, const QFont& f, const std::string& text, double inset) {
        if (!text.empty())
            need = std::max(need, texts_.width(f, text) + 2 * kPad + inset);
    };
    // The summary footer's cells sit one pixel inside the row on each side.
    for (ReportColumn& c : columns_) {
        c.footerWidth = 0;
        if (footers_ && grid_->SummaryFooterCellExists(*c.column))
            widen(c.footerWidth, footer, grid_->SummaryFooterText(*c.column), 2);
    }
    // The rows' values are measured again only in other fonts: a million rows take a while.
    if (fonts == measuredFonts_)
        return true;
    if (cell.size() == 2 && cell[0] == cell[1])
        cell.pop_back();
    for (ReportColumn& c : columns_)
        c.dataWidth = c.rowFooterWidth = 0;
    const auto total = static_cast<int64_t>(lines_.size());
    for (int64_t done = 0; done < total; ++done) {
        if (progress && done % kProgressStep == 0 && done > 0 && !progress(done, total))
            return false;
        const VisibleRow& line = lines_[static_cast<size_t>(done)];
        if (!line.row.isData())
            continue;
        const std::vector<char>* footer = line.footer >= 0 ? footerCells(line).cells : nullptr;
        for (size_t i = 0; i < columns_.size(); ++i) {
            ReportColumn& c = columns_[i];
            if (footer != nullptr) {
                if ((*footer)[i])
                    widen(c.rowFooterWidth, rowFooter,
                          grid_->FooterCellText(line.row, *c.column, line.footer), 0);
            } else if (line.footer < 0) {
                // Numbers and texts written as numbers (ID numbers) are printed whole.
                const std::string text = ExactCellText(*grid_, line.row, *c.column);
                if (c.numeric || numberLikeText(text))
                    for (const QFont& f : cell)
                        widen(c.dataWidth, f, text, 0);
            }
        }
    }
    measuredFonts_ = fonts;
    return true;
}

ReportLayout::FooterCells ReportLayout::footerCells(const VisibleRow& line) const {
    const int level = grid_ != nullptr ? grid_->FooterLevel(line.row, line.footer) : -1;
    if (level < 0)
        return {};
    if (footerCells_.size() <= static_cast<size_t>(level))
        footerCells_.resize(static_cast<size_t>(level) + 1);
    std::vector<char>& cells = footerCells_[static_cast<size_t>(level)];
    if (cells.empty())
        for (const ReportColumn& c : columns_)
            cells.push_back(grid_->FooterCellExists(line.row, *c.column, line.footer));
    return {level, &cells};
}

namespace {

// Lines a whole value `need` wide takes in a cell `width` wide when it wraps at any
// character; a break can leave up to a character's width unused.
int wrappedLines(double need, double width, double em) {
    if (need <= width)
        return 1;
    const double room = std::max(width - 2 * ReportLayout::kPad - em, em / 2);
    return static_cast<int>(std::ceil((need - 2 * ReportLayout::kPad) / room));
}

} // namespace

void ReportLayout::placeColumns(double available) {
    const double cap = available > 0 ? std::max(1.0, available - indent_) : 0;
    const double em = std::max(1.0, base_.row / 2);
    int rowLines = 1, rowFooterLines = 1, footerLines = 1;
    double x = indent_;
    for (ReportColumn& c : columns_) {
        double w = std::max({c.gridWidth, c.dataWidth, c.rowFooterWidth, c.footerWidth});
        // Wider than the page, a text column runs off it as on screen; numbers, and texts
        // written as numbers, stay on it and wrap.
        if (cap > 0 && w > cap)
            w = c.numeric || c.dataWidth > 0 ? cap : std::max(c.gridWidth, cap);
        c.x = x;
        c.width = w;
        x += w;
        rowLines = std::max(rowLines, wrappedLines(c.dataWidth, w, em));
        rowFooterLines = std::max(rowFooterLines, wrappedLines(c.rowFooterWidth, w, em));
        footerLines = std::max(footerLines, wrappedLines(c.footerWidth - 2, w - 2, em));
    }
    tableWidth_ = x;
    // Rows grow by whole text lines; the summary footer keeps its frame of two pixels.
    heights_.row = base_.row * rowLines;
    heights_.rowFooter = base_.rowFooter * rowFooterLines;
    heights_.footer = (base_.footer - 2) * footerLines + 2;
    heights_.rowLines = rowLines;
    heights_.rowFooterLines = rowFooterLines;
    heights_.footerLines = footerLines;
}

void ReportLayout::paginate(const TdxGridReportSettings& s) {
    breakPages(s);
    if (pageSubtotals_ && grid_)
        subtotals_.compute(*grid_, *this);
    else
        subtotals_.clear();
}

void ReportLayout::breakPages(const TdxGridReportSettings& s) {
    using enum TdxTreeListPaintOption;
    measure(s);
    const TdxPrinterPage& pg = s.PrinterPage;
    paper_ = pg.paperPx();
    body_ = pg.bodyPx();
    overThenDown_ = pg.PageOrder == TdxPageOrder::poOverThenDown;
    bands_ = s.Options.contains(tlpoBands);
    headers_ = s.Options.contains(tlpoHeaders);
    footers_ = s.Options.contains(tlpoFooters);
    bandsEveryPage_ = s.BandsOnEveryPage;
    headersEveryPage_ = s.HeadersOnEveryPage;
    footersEveryPage_ = s.FootersOnEveryPage && footers_;
    titleFirstOnly_ = s.ReportTitleMode == TdxReportTitleMode::tmOnFirstPage;
    pageSubtotals_ = s.PageSubtotals;
    measureValues(s);

    if (pg.ScaleMode == TdxScaleMode::smAdjust) {
        scale_ = std::clamp(pg.ScaleFactor, 10, 500) / 100.0;
        placeColumns(body_.width() / scale_);
        breakColumns(body_.width() / scale_);
        breakRows(body_.height() / scale_);
        return;
    }
    // Fit to pages: start from the size that would fit without repeated headers, then
    // shrink until the pages fit (or a floor is reached).
    // The scale follows the columns at their full widths.
    placeColumns(0);
    const int wide = std::max(1, pg.FitToPagesHorizontally),
              tall = std::max(1, pg.FitToPagesVertically);
    double total = heights_.title + heights_.band + heights_.header + heights_.footer;
    for (const VisibleRow& l : lines_)
        total += lineHeight(l);
    scale_ = std::min(
        {1.0, body_.width() * wide / std::max(1.0, tableWidth_), body_.height() * tall / total});
    for (int tries = 0;; ++tries) {
        breakColumns(body_.width() / scale_);
        breakRows(body_.height() / scale_);
        if ((stripCount() <= wide && rowPageCount() <= tall) || tries == 40 || scale_ < 0.05)
            break;
        scale_ *= 0.95;
    }
}

void ReportLayout::breakColumns(double available) {
    strips_.clear();
    double start = 0;
    for (const ReportColumn& c : columns_) {
        // The group indent stays with the first column: a strip of indent alone says nothing.
        if (c.x + c.width - start > available && c.x > (start == 0 ? indent_ : start)) {
            strips_.push_back({start, c.x - start});
            start = c.x;
        }
    }
    strips_.push_back({start, std::max(tableWidth_ - start, 1.0)});
}

bool ReportLayout::titleShown(int rowPage) const {
    return heights_.title > 0 && rowPage == 0;
}
bool ReportLayout::titleOnPage(int page) const {
    return titleShown(rowPageIndex(page)) && (!titleFirstOnly_ || stripIndex(page) == 0);
}
bool ReportLayout::bandsShown(int rowPage) const {
    return bands_ && (rowPage == 0 || bandsEveryPage_);
}
bool ReportLayout::headersShown(int rowPage) const {
    return headers_ && (rowPage == 0 || headersEveryPage_);
}

void ReportLayout::breakRows(double available) {
    rowPages_.clear();
    const int n = static_cast<int>(lines_.size());
    const double footer = footers_ ? heights_.footer : 0;
    int i = 0;
    for (;;) {
        const int v = rowPageCount();
        // A page's subtotal rows take the room of summary footers: the carried sum above
        // the rows after the first page, the page's sum and the sum carried on below (the
        // summary footer takes the second's place on the last page).
        const double subtotals = pageSubtotals_ ? heights_.footer * (v > 0 ? 3 : 2) : 0;
        const double room =
            available - (titleShown(v) ? heights_.title : 0) - (bandsShown(v) ? heights_.band : 0) -
            (headersShown(v) ? heights_.header : 0) - (footersEveryPage_ ? footer : 0) - subtotals;
        ReportRowPage page{i, 0, footersEveryPage_};
        double y = 0;
        // At least one line per page, however tall.
        while (i < n) {
            const double h = lineHeight(lines_[static_cast<size_t>(i)]);
            if (y + h > room && i > page.firstLine)
                break;
            y += h;
            ++i;
        }
        page.lineCount = i - page.firstLine;
        if (i < n) {
            rowPages_.push_back(page);
            continue;
        }
        if (footers_ && !footersEveryPage_) {
            // The summary footer follows the last row; a page of its own when it does not fit.
            const double spare = pageSubtotals_ ? heights_.footer : 0; // no sum carried on
            if (y + footer <= room + spare || page.lineCount == 0) {
                page.summaryFooter = true;
            } else {
                rowPages_.push_back(page);
                page = ReportRowPage{n, 0, true};
            }
        }
        rowPages_.push_back(page);
        return;
    }
}

int ReportLayout::subtotalRowsAbove(int v) const {
    return pageSubtotals_ && v > 0 && rowPageAt(v).lineCount > 0 ? 1 : 0;
}

int ReportLayout::subtotalRowsBelow(int v) const {
    if (!pageSubtotals_ || rowPageAt(v).lineCount == 0)
        return 0;
    return v + 1 < rowPageCount() && rowPageAt(v + 1).lineCount > 0 ? 2 : 1;
}

int ReportLayout::rowPageIndex(int page) const {
    return overThenDown_ ? page / stripCount() : page % rowPageCount();
}

int ReportLayout::stripIndex(int page) const {
    return overThenDown_ ? page % stripCount() : page / rowPageCount();
}

const ReportRowPage& ReportLayout::rowPage(int page) const {
    return rowPages_.at(static_cast<size_t>(rowPageIndex(page)));
}

const ReportStrip& ReportLayout::strip(int page) const {
    return strips_.at(static_cast<size_t>(stripIndex(page)));
}

} // namespace rg
