#pragma once

// Decimals of any size: a GMP integer beside the scale. Only values that leave the 38 digits
// of Decimal take this path (PostgreSQL's unconstrained numeric, MariaDB's decimal(65,30),
// sums that outgrow 128 bits), so the common path keeps its plain integers.

#include "common/decimal.h"

#include <gmpxx.h>

#include <optional>
#include <string>
#include <string_view>

namespace rg {

struct BigDecimal {
    mpz_class mantissa; // value = mantissa × 10^-scale
    int scale = 0;      // >= 0

    static BigDecimal fromDecimal(const Decimal& d);
    // Every digit as written, the scale included ("1.500" keeps its three places); an
    // exponent is applied. nullopt when the text is no number.
    static std::optional<BigDecimal> parse(std::string_view text);
    // The exact value of a finite double: 0.1 is 0.1000000000000000055511151231257827...
    static BigDecimal exactDouble(double d);

    bool isZero() const { return sgn(mantissa) == 0; }
    bool isNegative() const { return sgn(mantissa) < 0; }
    // The same value as a Decimal when its mantissa and scale fit one.
    std::optional<Decimal> toDecimal() const;
    double toDouble() const;
    std::string toString() const;  // the scale's places, never "-0"
    BigDecimal normalized() const; // trailing fractional zeros removed
    // Rounded half away from zero, or extended with zeros, to `places` fractional digits.
    BigDecimal withScale(int places) const;
    BigDecimal abs() const;
    // Digits of |mantissa| (1 for zero).
    int digitCount() const;

    static BigDecimal add(const BigDecimal& a, const BigDecimal& b);
    // a / n rounded to max(places, a.scale) fractional digits.
    static BigDecimal divide(const BigDecimal& a, int64_t n, int places,
                             Rounding rounding = Rounding::HalfAwayFromZero);
};

int compare(const BigDecimal& a, const BigDecimal& b);

} // namespace rg
