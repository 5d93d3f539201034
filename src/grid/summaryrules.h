#pragma once

// How a summary is defined for a column, and whether it can be: one rule for the summary
// items dialog and for a loaded setup, so a summary means the same from both places.

#include "grid/grid.h"

namespace rg {

// The kind's caption as labels show it: "合计", "平均", "计数", "最小值", "最大值"; empty
// for none.
const char* SummaryKindCaption(TdxSummaryType kind);

// Whether an item stands in the group row texts rather than in a column's footers.
bool InGroupRow(const TdxDBGridSummaryItem& item);

// Throws rg::Error naming the field when a sum or average would meet values that are not
// numbers: a Boolean, memo or binary field, or a text or number field holding a non-number
// text in one of the data set's records (the filtered ones while a filter is set; SQLite
// keeps texts in number columns). Other kinds, and columns whose field is not open, pass.
void CheckSummaryComputable(const TdxDBGrid& grid, const TdxDBGridColumn& column,
                            TdxSummaryType kind);
// The same rule for field `field` of an open data set: whether a `kind` summary of it can
// be computed.
bool SummaryComputable(const DataSet& ds, int field, TdxSummaryType kind);

// Adds the summary of a column: an item in the default group and the column's footer.
// cstNone takes the column's summary away: its items go and its footer shows nothing. A
// sum or average over values that are not numbers is refused (CheckSummaryComputable)
// before anything changes.
// In the group row (SummaryPlace::GroupRow) the item names no column, so that its value
// is written into the group row texts, and the footers stay as they are; cstNone then
// takes away the field's group row items only.
void DefineSummary(TdxDBGrid& grid, TdxDBGridColumn& column, TdxSummaryType kind,
                   SummaryPlace place = SummaryPlace::Footer);
// DefineSummary for a caller that has made the check itself: a load of many summaries of a
// field checks its values once rather than once per summary.
void DefineCheckedSummary(TdxDBGrid& grid, TdxDBGridColumn& column, TdxSummaryType kind,
                          SummaryPlace place);

} // namespace rg
