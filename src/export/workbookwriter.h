#pragma once

// An Office Open XML workbook written straight into an output file as it is built: the
// sheets' rows are deflated into the package as they come, so memory does not grow with the
// sheets and nothing passes through a scratch file. Sheets follow one another; every sheet
// has the settings made before the first row, the chart stands beside the first.

#include "export/exportfile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

struct CellStyle {
    std::string fontName = "Calibri";
    double fontSize = 11;
    uint32_t fontColor = 0; // 0xRRGGBB
    bool bold = false;
    uint32_t fill = kNoFill;  // 0xRRGGBB, or kNoFill
    std::string numberFormat; // empty: General
    bool border = false;      // thin lines on all four sides

    static constexpr uint32_t kNoFill = 0xFFFFFFFF;
    bool operator==(const CellStyle& o) const = default;
};

class WorkbookWriter {
public:
    explicit WorkbookWriter(ExportFile& out);
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // Sheet settings, all before the first row.
    int addStyle(const CellStyle& style); // its index for the cells; 0 is the default
    void setColumnPixels(int first, int last, int pixels);
    void freezeRows(int rows);
    void freezeColumns(int columns);
    void setMaxOutlineLevel(int level);
    // Where a group's summary row stands: below its rows (subtotal footers) or above them
    // (group rows leading their children), so that the collapse button sits on that row.
    void setSummaryRowsAbove(bool above);

    // Rows in ascending order, each one's cells in ascending columns; outline levels stop
    // at the format's 7.
    void row(int64_t row, int outlineLevel);
    void number(int col, double value, int style);
    void text(int col, std::string_view utf8, int style);
    void boolean(int col, bool value, int style);
    void blank(int col, int style);
    void formula(int col, std::string_view formula, double cached, int style);
    void error(int col, std::string_view code, int style); // "#NUM!"

    // A drawing holding one chart over the sheet: `parts` gives the XML of the drawing and of
    // the chart when finish() writes them. Before the first row.
    struct DrawingParts {
        std::string drawing, chart;
    };
    void setDrawing(std::function<DrawingParts()> parts) { drawing_ = std::move(parts); }

    // Ends the current sheet; the rows that follow, numbered from 0 again, go on the next.
    void nextSheet();
    // The name formulas use for a sheet, counted from 0: "Sheet1", "Sheet2", ...
    static std::string sheetName(int sheet);

    // The current sheet's filter, any time before it ends.
    void autofilter(int64_t firstRow, int firstCol, int64_t lastRow, int lastCol);
    // Ends the sheet and writes the rest of the package.
    void finish();

    static std::string columnName(int col);

private:
    class Zip;
    void beginSheet();
    void endSheet();
    void writePackageParts();
    void cellStart(int col, int style, const char* type);
    std::string stylesXml() const;
    std::string workbookXml() const;
    void writeDrawing();

    std::unique_ptr<Zip> zip_;
    std::vector<CellStyle> styles_;
    std::vector<std::pair<std::pair<int, int>, int>> columns_; // (first, last), pixels
    std::vector<std::string> columnNames_;
    std::string sheet_; // the sheet's XML not yet deflated
    std::string rowNumber_;
    std::vector<std::string> filters_; // per sheet written or begun
    std::function<DrawingParts()> drawing_;
    int frozenRows_ = 0;
    int frozenColumns_ = 0;
    int maxLevel_ = 0;
    bool summaryAbove_ = false;
    bool sheetStarted_ = false, rowOpen_ = false;
};

} // namespace rg
