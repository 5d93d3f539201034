#pragma once

// A built report: the lines to print, by row handle only (texts are read from the grid when
// a page is painted, so a million-row report costs a few bytes a line), the column layout,
// the element heights and the page breaks.

#include "grid/grid.h"
#include "print/pagesubtotals.h"
#include "print/reportsettings.h"
#include "print/reporttext.h"

#include <QFont>
#include <QRectF>

#include <functional>
#include <vector>

namespace rg {

// The font as laid out at 96 logical pixels to the inch: point sizes become pixel sizes, so
// the painter's scaling alone decides how large text lands on any device.
QFont layoutFont(const QFont& font);

struct ReportColumn {
    const TdxDBGridColumn* column;
    double x, width; // logical pixels from the table's left edge
    Alignment alignment;
    // Numbers are printed whole: the column is widened to its widest value, and a value
    // still too wide wraps.
    bool numeric;
    double gridWidth; // as the grid shows it
    // Widths its whole values need, padding included: data cells (numbers only), group
    // footer cells and the summary footer cell.
    double dataWidth = 0, rowFooterWidth = 0, footerWidth = 0;
};

// One page of the table's rows.
struct ReportRowPage {
    int firstLine = 0, lineCount = 0;
    bool summaryFooter = false;
};

// A strip of the table's width that fits across one page.
struct ReportStrip {
    double left = 0, width = 0;
};

struct ReportHeights {
    double title = 0, band = 0, header = 0, row = 0, group = 0, rowFooter = 0, footer = 0;
    double pageHeader = 0, pageFooter = 0;
    // Text lines of a data row, a group footer row and the summary footer: more than one
    // only where a page is too narrow for a whole value.
    int rowLines = 1, rowFooterLines = 1, footerLines = 1;
};

class ReportLayout {
public:
    static constexpr double kIndent = 18; // per grouping level, as on screen
    static constexpr double kPad = 2;     // text inset inside a cell

    // Progress of a long build: rows walked of all, then lines measured of all; returning
    // false cancels (the layout stays empty).
    using Progress = std::function<bool(int64_t done, int64_t total)>;

    // Takes the rows and columns from the grid, then paginates.
    bool build(TdxDBGrid& grid, const TdxGridReportSettings& s, const Progress& progress = {});
    // Page breaks again after page, font or option changes; the rows stay.
    void paginate(const TdxGridReportSettings& s);
    void clear();

    const VisibleLines& lines() const { return lines_; }
    const std::vector<ReportColumn>& columns() const { return columns_; }
    double indent() const { return indent_; }
    double tableWidth() const { return tableWidth_; }
    const ReportHeights& heights() const { return heights_; }
    // A group footer line's level and which columns (by index) have a cell in it: the same
    // for every footer of a level, and the grid's answer costs a search of its columns.
    struct FooterCells {
        int level = -1;
        const std::vector<char>* cells = nullptr;
    };
    FooterCells footerCells(const VisibleRow& line) const;
    // The shaped texts of the report's fonts, shared by the layout and every painter.
    ReportTexts& texts() const { return texts_; }
    double lineHeight(const VisibleRow& line) const;

    // Pages in print order; each is one row page crossed with one strip.
    int pageCount() const { return static_cast<int>(rowPages_.size() * strips_.size()); }
    const ReportRowPage& rowPage(int page) const;
    const ReportStrip& strip(int page) const;
    int rowPageIndex(int page) const;
    int stripIndex(int page) const;
    int rowPageCount() const { return static_cast<int>(rowPages_.size()); }
    const ReportRowPage& rowPageAt(int rowPage) const {
        return rowPages_.at(static_cast<size_t>(rowPage));
    }
    // Page subtotals ("本页小计", "过次页", "承前页"): each a row of the summary footer's
    // height, at the foot of every page and the head of every page after the first.
    bool hasPageSubtotals() const { return pageSubtotals_; }
    const PageSubtotals& pageSubtotals() const { return subtotals_; }
    // The subtotal rows row page `v` shows above its lines and below them.
    int subtotalRowsAbove(int v) const;
    int subtotalRowsBelow(int v) const;
    int stripCount() const { return static_cast<int>(strips_.size()); }

    // Geometry in logical pixels of the whole paper.
    QSizeF paperSize() const { return paper_; }
    QRectF body() const { return body_; }   // inside the margins
    double scale() const { return scale_; } // table pixels to paper pixels

    bool titleShown(int rowPage) const; // room for the title is kept on the top row of pages
    bool titleOnPage(int page) const;
    bool bandsShown(int rowPage) const;
    bool headersShown(int rowPage) const;

private:
    void breakPages(const TdxGridReportSettings& s);
    void measure(const TdxGridReportSettings& s);
    // The widths the values need; false when `progress` cancelled.
    bool measureValues(const TdxGridReportSettings& s, const Progress& progress = {});
    // Column widths and places for a page `available` wide (0: no limit).
    void placeColumns(double available);
    void breakRows(double available);
    void breakColumns(double available);

    const TdxDBGrid* grid_ = nullptr;
    mutable ReportTexts texts_;
    mutable std::vector<std::vector<char>> footerCells_; // by level, filled when first met
    QString measuredFonts_; // the fonts the values' widths were measured in
    VisibleLines lines_;
    std::vector<ReportColumn> columns_;
    double indent_ = 0, tableWidth_ = 0;
    ReportHeights heights_;
    ReportHeights base_; // with one text line a row
    std::vector<ReportRowPage> rowPages_;
    std::vector<ReportStrip> strips_;
    QSizeF paper_;
    QRectF body_;
    double scale_ = 1;
    bool overThenDown_ = true;
    bool bands_ = true, headers_ = true, footers_ = true, footersEveryPage_ = false;
    bool bandsEveryPage_ = true, headersEveryPage_ = true;
    bool titleFirstOnly_ = false;
    bool pageSubtotals_ = false;
    PageSubtotals subtotals_;
};

} // namespace rg
