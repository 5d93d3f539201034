#pragma once

// The chart of the grid's groups in an exported workbook: a spreadsheet chart whose
// categories and values are the sheet's cells of the top-level group rows and their
// footers, with the values cached so that readers that do not recalculate show them.

#include "chart/groupchart.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rg {

class XlsxChart {
public:
    // The chart as the grid shows it now; `valueColumn` is the sheet column of the shown
    // summary's footer cells, -1 when the sheet has none (the values are then written as
    // values, as are the cells of a cross table).
    XlsxChart(const GroupChart& chart, int valueColumn);

    // A group row was written at `row` of sheet `sheet` (from 0), its text `text` in
    // column `col`.
    void groupRow(RowHandle group, int sheet, int64_t row, int col, const std::string& text);
    // The footer row of the last top-level group written is at `row` of `sheet`.
    void footerRow(int sheet, int64_t row);

    // The parts of the package, placed beside the sheet's columns from `firstColumn` on.
    std::string drawingXml(int firstColumn) const;
    std::string chartXml() const;

    // References longer than this are left out and only the values are written: spreadsheets
    // limit the length of a series' reference.
    static constexpr size_t kMaxReference = 255;

private:
    struct Point {
        int64_t textRow = -1, valueRow = -1;
        int textSheet = 0, valueSheet = 0;
        int textCol = 0;
        std::string text; // the cell's, so that a spreadsheet refreshing the chart keeps it
    };
    std::string categoriesXml(const std::vector<size_t>& shown) const;
    std::string valuesXml(const std::vector<size_t>& shown, const ChartSeries& s) const;
    std::vector<size_t> shownPoints() const;

    ChartData data_;
    ChartType type_;
    int valueColumn_;
    std::vector<Point> points_; // per category of data_
    int last_ = -1;             // the category of the last top-level group written
};

} // namespace rg
