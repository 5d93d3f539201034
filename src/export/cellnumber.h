#pragma once

// The number a spreadsheet cell holds for a value: a cell holds a double, and a value a
// double would change is written as its text instead, with every digit.

#include "common/value.h"
#include "grid/summaryvalue.h"

#include <optional>

namespace rg {

// Integers a double holds exactly: up to 2^53.
constexpr int64_t kExactDoubleInt = int64_t{1} << 53;

// The double of a decimal when it is that decimal exactly; nullopt otherwise.
std::optional<double> exactDouble(const Decimal& d);

// The double of an integer up to 2^53, of a decimal whose shortest double reads back as
// the same decimal, of a finite double; nullopt for any other value (decimals beyond a
// double's digits, NaN and infinities, which readers refuse as numbers).
std::optional<double> cellNumber(const Value& v);
// A footer holds its summary's nearest double, as the formulas beside it compute; nullopt
// for an empty or text summary, NaN and infinities, which are written as the footer's text.
std::optional<double> footerNumber(const SummaryValue& v);

} // namespace rg
