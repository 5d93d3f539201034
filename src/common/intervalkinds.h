#pragma once

// How a grouping level gathers values: each value its own group, dates by day, ISO week,
// month, quarter or year, numbers by ranges of one width. The grid groups by it in memory
// and the server statements in SQL.

namespace rg {

enum class GroupInterval { None, Day, Week, Month, Quarter, Year, Range };

struct IntervalSpec {
    GroupInterval kind = GroupInterval::None; // None: each value is its own group
    double width = 0;                         // Range only, above zero
    bool operator==(const IntervalSpec&) const = default;
};

} // namespace rg
