#pragma once

// Shared pieces of the benchmark program: options, the test table and the output lines.

#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "grid/grid.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace rg::bench {

struct Args {
    int64_t rows = 1000000;   // --rows N
    bool rowsGiven = false;   // a section with a default of its own keeps it without --rows
    std::string dir = "/tmp"; // --dir PATH: where generated files are kept between runs
    // --no-walks: leaves out the walks through every row of the server's table, which take
    // an hour at 100,000,000 rows.
    bool walks = true;
};

// Prints "name: value", one figure per line.
void report(const std::string& name, double value);
void report(const std::string& name, const std::string& value);

// A SQLite file holding table `bench` with `rows` rows of eight columns (integers, floating
// point, texts, dates, some nulls); reused when it already has that many rows.
std::string benchTable(const Args& args, int64_t rows);

// A SQLite file opened as a data set and shown in a grid with one column per field, as the
// main window builds it; no key field yet, so no rows.
struct BenchGrid {
    BenchGrid(const std::string& path, CommandType kind, const std::string& command);
    Connection conn;
    DataSet ds{&conn};
    TdxDBGrid grid;
    double openSeconds = 0; // the data set's open
};

// A summary item for the column of `field` and the same footer kind, as the summary dialog
// defines one.
void addSummary(TdxDBGrid& g, const char* field, TdxSummaryType kind);

// Wall-clock seconds since a start point.
inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Bytes of memory the program uses at the moment, malloc's and its own mappings.
size_t heapInUse();
// Resident memory of the process in megabytes: "VmRSS" now, or "VmHWM", the peak since the
// last reset.
double residentMb(const char* key);
inline double peakResidentMb() {
    return residentMb("VmHWM");
}
// Starts a new peak: freed memory is handed back and the kernel sets the high-water mark
// back to the current resident size.
// Each section starts with one, so that its peak is its own.
void resetPeakResident();

// `SELECT * FROM bench` stepped through the SQLite C library, every value read typed as the
// data set would store it: the floor of any open. `textBytes` receives the size of all
// values as text (counted outside the timing).
double rawSqliteScan(const std::string& path, uint64_t& textBytes);

struct Run {
    double seconds = 0;
    double peakMb = 0;
};
// A program run to its end: wall-clock time and the child's own peak memory. Throws when
// it cannot start or fails.
Run runChild(const std::vector<std::string>& args);
// psql with the address of the server `cs` names, run to the end with `extra` arguments
// (output to /dev/null); its time and its own peak memory. Throws when psql fails.
Run psql(const rg::ConnParts& cs, const std::vector<std::string>& extra);

} // namespace rg::bench
