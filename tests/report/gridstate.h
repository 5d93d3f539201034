#pragma once

#include "grid/grid.h"

#include <string>
#include <vector>

// What the user arranged in a grid, by field names, for comparing two grids.
struct GridState {
    std::vector<std::string> groups, order, hidden, sorted;
    std::vector<int> widths;
    std::string filter;
    bool operator==(const GridState&) const = default;
};

inline GridState stateOf(rg::TdxDBGrid& g) {
    using S = rg::TdxTreeListColumnSort;
    GridState s;
    for (int i = 0; i < g.GroupColumnCount(); ++i)
        s.groups.push_back(g.GroupColumns(i).FieldName());
    for (const rg::TdxDBGridColumn* c : g.HeaderOrder()) {
        s.order.push_back(c->FieldName());
        if (!c->Visible())
            s.hidden.push_back(c->FieldName());
        if (c->Sorted() != S::csNone)
            s.sorted.push_back(c->FieldName() + (c->Sorted() == S::csUp ? " up" : " down"));
        s.widths.push_back(c->Width());
    }
    s.filter = g.Filter.DisplayText();
    return s;
}
