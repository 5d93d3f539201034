#pragma once

// Grouping a level by interval: dates by day, ISO week, month, quarter or year, numbers by
// ranges of one width. A value's interval is represented by its start, so that intervals
// order and compare as their values do.

#include "common/intervalkinds.h"
#include "common/value.h"

#include <string>
#include <string_view>

namespace rg {

class DataSet;

// Whether `kind` applies to values of a field kind: date intervals to dates and date-times,
// ranges to numbers; None to everything.
bool intervalFits(GroupInterval kind, FieldKind field);

// Throws rg::Error naming the field and the interval when `spec` cannot group field `field`
// of `ds`: an interval that does not fit the field's kind, or a range so narrow that for the
// least or the greatest value among the records the range holding it has no finite,
// distinct bounds or shows them as the same text. One rule for the window, the command line
// and a loaded setup.
void CheckIntervalFits(const DataSet& ds, int field, const IntervalSpec& spec);

// The interval `v` falls in, as its start: a date for dates and date-times (the infinities
// and values that are no date stay as they are), a number for ranges (NaN and the infinities
// stay). A null stays null, and a value the interval does not apply to stays as it is.
Value intervalKey(const Value& v, const IntervalSpec& spec);

// The text of the interval whose start is `key`: "2023年3月", "2023年第12周" (ISO week of the
// ISO year), "2023年第1季度", "2023年", a day as dates are shown, "[100, 200)" for a range.
// Keys that are no interval start show as their value does.
std::string intervalText(const Value& key, const IntervalSpec& spec);

// The start of the range numbered `index` (a whole number, or NaN or an infinity that stays
// as it is): index × width. Whole numbers and decimals fall in range floor(x / width) of
// their exact quotient; doubles in the one their rounded quotient nearly reaches.
Value rangeStartOf(double index, double width);

// The names the setup and the command line use: 日 周 月 季度 年 and 区间<width>
// ("区间100"); None is the empty name. Parsing an unknown name throws rg::Error naming it.
IntervalSpec parseInterval(std::string_view name);
std::string intervalName(const IntervalSpec& spec);

} // namespace rg
