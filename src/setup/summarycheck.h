#pragma once

// Whether a summary can be computed over a column's field, asked before the summary is
// defined so that a refused summary changes nothing.

#include "grid/grid.h"

namespace rg {

// Throws rg::Error naming the field when a sum or average would meet values that are not
// numbers: a Boolean, memo or binary field, or a text field holding a non-number text in
// one of the data set's records (the filtered ones while a filter is set). Other kinds,
// and columns whose field is not open, pass.
void CheckSummaryComputable(const TdxDBGrid& grid, const TdxDBGridColumn& column,
                            TdxSummaryType kind);

} // namespace rg
