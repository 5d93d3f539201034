#pragma once

// Which of the grid's rows a file or a printed report goes through, and in which order: the
// exporters, the report link and the runner all take their rows here.

#include "grid/grid.h"

#include <functional>
#include <vector>

namespace rg {

struct RowWalk {
    // Rows inside collapsed groups too, as the exporters write them; off: only the rows of
    // groups the grid shows expanded.
    bool collapsedToo = true;
    // Only these rows, the groups on their paths and everything below them; none: every row.
    std::vector<RowHandle> selected;

    // Hands the group and data rows to `fn` in tree order. Nothing is held per row but the
    // marks of a selection.
    void forEachRow(const TdxDBGrid& grid, const std::function<void(RowHandle)>& fn) const;
    // The same rows as lines, each data row followed by the group footer rows that close
    // groups after it, as the grid shows them.
    void forEachLine(const TdxDBGrid& grid, const std::function<void(const VisibleRow&)>& fn) const;
    // The lines forEachLine visits, and the data rows among them, counted without a list.
    struct Count {
        int64_t rows = 0;  // group and data rows
        int64_t lines = 0; // rows and footer rows
    };
    Count count(const TdxDBGrid& grid) const;

private:
    TdxDBGrid::FooterRun footersAfter(const TdxDBGrid& grid, RowHandle r) const;
};

} // namespace rg
