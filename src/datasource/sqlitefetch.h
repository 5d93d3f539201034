#pragma once

// Reading the rows of a SQLite statement into result columns.

#include "datasource/provider.h"

#include <cstdint>
#include <vector>

struct sqlite3_stmt;

namespace rg {

class ColumnData;

struct SqliteFetch {
    int64_t rows = 0;
    int lastStep = 0; // SQLITE_DONE, or the error of the step that ended the fetch
};

// Reads the rows of a statement whose first step gave firstStep, one cell per column.
// SQLite steps on the calling thread; once the result is longer than a batch, a second
// thread stores the rows already read, so a large open costs about the scan alone on a
// machine with two cores. Progress is reported, and may cancel, on the calling thread.
SqliteFetch fetchSqliteRows(sqlite3_stmt* st, int firstStep, std::vector<ColumnData>& columns,
                            const ProgressFn& progress);

} // namespace rg
