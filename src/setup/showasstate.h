#pragma once

// How the summaries are shown and each grouping level's top N, between a report and the
// live grid. Summaries are named by field, kind and place, never by position, so that the
// settings follow them through the order in which a load adds the items.

#include <string>
#include <vector>

namespace rg {

struct Report;
class TdxDBGrid;

// Fills the report's shown-as and top N entries; a grid without them adds none.
void CaptureShowAs(const TdxDBGrid& grid, Report& report);
// After the summaries and the grouping are applied. A mode or count that cannot be read or
// cannot show its summary throws rg::Error naming it; one whose summary or grouped field is
// gone is skipped and described in `skipped` ("显示方式 amount").
void RestoreShowAs(const Report& report, TdxDBGrid& grid, std::vector<std::string>& skipped);

} // namespace rg
