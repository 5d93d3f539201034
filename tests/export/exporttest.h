#pragma once

#include "datasource/dataset.h"
#include "export/exportregistry.h"
#include "grid/grid.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Table sales(id, region, city, qty, price, note, day): five sales in two regions, with a
// null quantity, price and note, for the spreadsheet writers' tests.
extern const char* const kCitySales;

// A real SQLite file in a fresh temporary folder, opened through the built-in provider and
// shown by a real grid built as the main window builds it.
struct ExportDb {
    explicit ExportDb(const std::string& sql);
    ~ExportDb();
    // Points the connection at another database, such as the PostgreSQL test server.
    void connect(const std::string& connectionString);
    void open(const std::string& select); // rebuilds the grid's columns
    std::string file(const std::string& name) const { return folder + "/" + name; }

    std::string folder;
    rg::Connection conn;
    rg::DataSet ds{&conn};
    rg::TdxDBGrid grid;
};

void addSummary(rg::TdxDBGrid& g, rg::TdxDBGridColumn& c, rg::TdxSummaryType k);
// A window export command after its save dialog, in the default colours: the format and
// path the registry chooses, then that format's writer.
rg::ExportResult exportCommand(rg::ExportCommand command, rg::TdxDBGrid& g,
                               const std::string& chosenName, int filterIndex = -1);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
// Runs a shell command; returns its exit status and fills its standard output.
int run(const std::string& command, std::string* output = nullptr);

// The records of a BIFF file, and its cells by (row, column).
struct BiffRecord {
    uint16_t id = 0;
    std::string data;
    uint16_t u16(size_t at) const {
        return static_cast<uint16_t>(static_cast<unsigned char>(data[at]) |
                                     (static_cast<unsigned char>(data[at + 1]) << 8));
    }
};
struct BiffFile {
    explicit BiffFile(const std::string& bytes);
    std::vector<BiffRecord> records;
    std::map<std::pair<int, int>, BiffRecord> cells; // cell records by row and column
    const BiffRecord* cell(int row, int col) const;
    int rows() const; // 1 + the highest row of a cell record
};

// The cells as python3-xlrd reads them: (row, column) -> "n:<number>" or "s:<text>".
std::map<std::pair<int, int>, std::string> readWithXlrd(const std::string& path,
                                                        std::string* error = nullptr);

// A workbook's first sheet as python3-openpyxl reads it (see openpyxl_dump.py).
struct XlsxSheet {
    std::map<std::pair<int, int>, std::string>
        cells;                 // "n:", "s:", "b:", "d:" or "f:<formula>=<stored>"
    std::map<int, int> levels; // outline level by row, rows above 0 only
    std::map<std::pair<int, int>, std::string> formats; // number formats other than General
    std::map<int, double> widths;                       // by column
    std::map<std::string, std::string> facts;           // freeze, filter, summary_below, rows
    std::string error;                                  // the reader's complaint, if it failed
};
XlsxSheet readWithOpenpyxl(const std::string& path);

// CSV files, all in one folder with distinct names, as LibreOffice imports them
// (comma-separated, UTF-8, formulas evaluated as its import does by default), each saved as a
// workbook and read back with openpyxl.
std::vector<XlsxSheet> importCsvWithLibreOffice(const std::vector<std::string>& paths);

// The cells as LibreOffice computes them after recalculating every formula, read from its
// CSV conversion: (row, column) -> the cell's value as text, numbers at full precision.
std::map<std::pair<int, int>, std::string> readWithLibreOffice(const std::string& path,
                                                               std::string* error = nullptr);
