#pragma once

// Which of the grid's rows a file or a printed report goes through, and in which order: the
// exporters, the report link and the runner all take their rows here.

#include "grid/grid.h"

#include <vector>

namespace rg {

struct RowWalk {
    // Rows inside collapsed groups too, as the exporters write them; off: only the rows of
    // groups the grid shows expanded.
    bool collapsedToo = true;
    // Only these rows, the groups on their paths and everything below them; none: every row.
    std::vector<RowHandle> selected;

    // Group and data rows in tree order.
    std::vector<RowHandle> Rows(const TdxDBGrid& grid) const;
    // The same rows as lines, each data row followed by the group footer rows that close
    // groups after it, as the grid shows them.
    std::vector<VisibleRow> Lines(const TdxDBGrid& grid) const;
};

} // namespace rg
