#pragma once

// Exact decimal arithmetic beyond what Decimal itself offers; nullopt when the result leaves
// 38 digits.

#include "common/decimal.h"

#include <optional>

namespace rg::calc {

std::optional<Decimal> addDecimals(const Decimal& a, const Decimal& b);
std::optional<Decimal> subtractDecimals(const Decimal& a, const Decimal& b);
// The exact product; a scale above 38 is rounded half away from zero to 38 places.
std::optional<Decimal> multiplyDecimals(const Decimal& a, const Decimal& b);
// a / b rounded half away from zero to `places` fractional digits; nullopt for b = 0.
std::optional<Decimal> divideDecimals(const Decimal& a, const Decimal& b, int places);
// Rounded half away from zero to `places` (0 .. 38) fractional digits, never extended.
Decimal roundDecimal(const Decimal& a, int places);

} // namespace rg::calc
