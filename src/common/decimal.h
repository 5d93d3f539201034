#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rg {

using int128 = __int128;

// How a quotient drops the digits beyond its places. One cut toward zero, rounded again half
// away from zero to fewer places, is the exact quotient so rounded; one rounded is not
// (-0.1249999999999966 to twelve places is -0.125000000000, then -0.13 with two).
enum class Rounding { HalfAwayFromZero, TowardZero };

// An exact decimal number: mantissa × 10^-scale, up to 38 significant digits, as
// NUMERIC/DECIMAL columns hold them. Sums of money columns and 64-bit integers are
// computed in this form so that no digit is lost to a double.
struct Decimal {
    static constexpr int kMaxDigits = 38;
    static constexpr int kMaxScale = 38;

    int128 mantissa = 0;
    int scale = 0; // 0 .. kMaxScale

    static Decimal fromInt(int64_t i) { return {i, 0}; }
    // "-123.4500", "+7", ".5", "1e3", "1.5E-2", blanks around allowed. The scale is the
    // number of digits written after the point (adjusted by an exponent); nullopt when the
    // text is no number or does not fit in 38 digits.
    static std::optional<Decimal> parse(std::string_view text);
    // The shortest decimal that reads back as the double, so a REAL 1.1 becomes 1.1;
    // nullopt for infinities, NaN and values that need more than 38 digits.
    static std::optional<Decimal> fromDouble(double d);

    bool isZero() const { return mantissa == 0; }
    bool isNegative() const { return mantissa < 0; }
    double toDouble() const;
    // Exact digits with the scale's places: 12.50 stays "12.50"; never "-0".
    std::string toString() const;
    // The same value with trailing fractional zeros removed (12.50 -> 12.5, 3.00 -> 3).
    Decimal normalized() const;
    // Rounded (half away from zero) or extended to `places` fractional digits; nullopt
    // when extending overflows.
    std::optional<Decimal> withScale(int places) const;
    // The integer when the value is whole and fits 64 bits.
    std::optional<int64_t> toInt64() const;

    // Exact arithmetic; nullopt when the result leaves 38 digits.
    static std::optional<Decimal> add(const Decimal& a, const Decimal& b);
    // a / n rounded to `places` fractional digits (at least a's own scale where it fits).
    static std::optional<Decimal> divide(const Decimal& a, int64_t n, int places,
                                         Rounding rounding = Rounding::HalfAwayFromZero);

    friend int compare(const Decimal& a, const Decimal& b);
};

int compare(const Decimal& a, const Decimal& b);

// 10^n for n in 0 .. 38.
int128 pow10i(int n);

// A decimal number's text taken apart: sign, significant digits (leading zeros left out,
// so zero has none), how many of them follow the point, and the exponent. Blanks and tabs
// around the text are allowed, nothing else; nullopt without a digit or with an exponent
// beyond `maxExponent` either way.
struct DecimalText {
    bool negative = false;
    std::string digits;
    int fraction = 0;
    int exponent = 0;
};
std::optional<DecimalText> scanDecimalText(std::string_view s, int maxExponent);

} // namespace rg
