#pragma once

// The grid's cross table as a report: a header line (the grouping caption, one column per
// cross value, the row total), every group row in the cross table's order and the totals
// line. Its texts are taken when it is built; a table wider than the page continues on the
// pages to the right, each repeating the group column.

#include "grid/grid.h"
#include "print/reportsettings.h"

#include <QDateTime>
#include <QPainter>
#include <QRectF>

#include <string>
#include <vector>

namespace rg {

class CrossReport {
public:
    // The grid must show a cross table.
    void build(TdxDBGrid& grid, const TdxGridReportSettings& s);
    // Page breaks again after page, font or option changes; the texts stay.
    void paginate(const TdxGridReportSettings& s);

    int pageCount() const { return static_cast<int>(rowPages_.size() * strips_.size()); }
    QSizeF paperSize() const { return paper_; }
    // `paper` is where the whole sheet lies in the painter's coordinates; `pages` is what
    // the page footer's total says.
    void paintPage(QPainter& p, int page, const QRectF& paper, const TdxGridReportSettings& s,
                   const QDateTime& printed, int pages) const;

private:
    // What a page holds: lines [firstLine, firstLine + lineCount) of the cross columns
    // [firstColumn, firstColumn + columnCount), the row total being the last column.
    struct Part {
        int firstLine = 0, lineCount = 0, firstColumn = 0, columnCount = 0;
    };
    struct Line {
        int level = 0;
        bool total = false;
        std::string text;
        std::vector<std::string> cells; // the cross columns', then the row total
    };
    struct Span {
        int first = 0, count = 0;
    };
    struct Heights {
        double title = 0, header = 0, row = 0, total = 0, pageHeader = 0, pageFooter = 0;
    };

    Part part(int page) const;
    int lineCount() const { return static_cast<int>(lines_.size()); }
    void measure(const TdxGridReportSettings& s);
    double lineHeight(const Line& l) const { return l.total ? heights_.total : heights_.row; }
    int rowPageIndex(int page) const;
    int stripIndex(int page) const;
    void paintPageTexts(QPainter& p, const TdxGridReportSettings& s, int page, int pages,
                        const QDateTime& printed) const;
    void paintTable(QPainter& p, const TdxGridReportSettings& s, int page) const;

    std::string caption_;              // of the group column
    std::vector<std::string> headers_; // the cross columns' texts, then "合计"
    std::vector<Line> lines_;
    QString measuredFonts_;
    double leadNeed_ = 0;        // the group column's widest text, indent and padding
    std::vector<double> widths_; // of the cross columns and the row total
    double leadWidth_ = 0;       // as laid out: at most half the page
    std::vector<Span> rowPages_; // lines
    std::vector<Span> strips_;   // columns
    Heights heights_;
    QSizeF paper_;
    QRectF body_;
    double scale_ = 1;
    bool overThenDown_ = true;
};

} // namespace rg
