#pragma once

// A fresh "program" for the report tests: its own connection, data set and grid, as the
// window or the runner holds them.

#include "datasource/dataset.h"
#include "grid/grid.h"
#include "setup/reportdefinition.h"

namespace rg::test {

struct Program {
    Connection conn;
    DataSet dataset{&conn};
    TdxDBGrid grid;
    Program() { grid.SetDataSet(&dataset); }
    ReportObjects objects() { return {conn, dataset, grid}; }
};

} // namespace rg::test
