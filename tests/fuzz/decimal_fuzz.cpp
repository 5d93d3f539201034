// Decimal::parse on any text, and what the exact sums rely on: the digits written read
// back as the same number, and rescaling, adding and comparing agree with each other.

#include "common/decimal.h"
#include "fuzzsupport.h"

#include <cstdint>
#include <string_view>

using rg::Decimal;
using rgfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto d = Decimal::parse(text);
    if (!d)
        return 0;
    require(d->scale >= 0 && d->scale <= Decimal::kMaxScale, "scale within 0..38");
    require(d->mantissa < rg::pow10i(Decimal::kMaxDigits) &&
                d->mantissa > -rg::pow10i(Decimal::kMaxDigits),
            "at most 38 digits");

    const std::string written = d->toString();
    const auto back = Decimal::parse(written);
    require(back && back->mantissa == d->mantissa && back->scale == d->scale,
            "toString reads back unchanged");

    const Decimal n = d->normalized();
    require(compare(n, *d) == 0 && compare(*d, n) == 0, "normalized keeps the value");
    require(n.scale == 0 || n.mantissa % 10 != 0, "normalized has no trailing zero");
    for (const int places : {0, 2, d->scale, Decimal::kMaxScale}) {
        const auto r = d->withScale(places);
        if (!r)
            continue;
        // Rounding to places moves the value by at most half a unit of the last place.
        if (places >= d->scale)
            require(compare(*r, *d) == 0, "extending the scale keeps the value");
        const auto diff = Decimal::add(*r, Decimal{-d->mantissa, d->scale});
        if (diff) {
            const auto twice = Decimal::add(*diff, *diff);
            if (twice) {
                const Decimal unit{1, places};
                require(compare(*twice, unit) <= 0 && compare(*twice, Decimal{-1, places}) >= 0,
                        "rounding moves by at most half a unit");
            }
        }
    }

    const int sign = d->isZero() ? 0 : d->isNegative() ? -1 : 1;
    require(compare(*d, Decimal{}) == sign, "compare with zero gives the sign");
    if (const auto sum = Decimal::add(*d, *d)) {
        require(compare(*sum, *d) == sign, "d + d lies beyond d");
        if (const auto half = Decimal::divide(*sum, 2, d->scale))
            require(compare(*half, *d) == 0, "(d + d) / 2 is d");
    }
    if (const auto i = d->toInt64())
        require(compare(Decimal::fromInt(*i), *d) == 0, "toInt64 keeps the value");

    // The double is the nearest one (from_chars rounds correctly), so its shortest decimal
    // form gives the same double again.
    const double x = d->toDouble();
    if (const auto again = Decimal::fromDouble(x))
        require(again->toDouble() == x, "fromDouble reads back the double");
    return 0;
}
