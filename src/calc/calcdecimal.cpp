#include "calc/calcdecimal.h"

#include "common/bigdecimal.h"

namespace rg::calc {
namespace {

constexpr int128 kMax = static_cast<int128>(~static_cast<unsigned __int128>(0) >> 1);

int128 abs128(int128 v) {
    return v < 0 ? -v : v;
}

// m / d rounded half away from zero; |r| >= |d| - |r| keeps twice the remainder out.
int128 roundedDivide(int128 m, int128 d) {
    const int128 q = m / d, r = m % d;
    if (r != 0 && abs128(r) >= abs128(d) - abs128(r))
        return q + (((m < 0) != (d < 0)) ? -1 : 1);
    return q;
}

bool fitsDigits(int128 m) {
    return abs128(m) < pow10i(Decimal::kMaxDigits);
}

mpz_class power(int n) {
    mpz_class p;
    mpz_ui_pow_ui(p.get_mpz_t(), 10, static_cast<unsigned long>(n));
    return p;
}

// a / b of GMP integers rounded half away from zero.
mpz_class roundedDivide(const mpz_class& a, const mpz_class& b) {
    mpz_class q, r;
    mpz_tdiv_qr(q.get_mpz_t(), r.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
    mpz_class twice = abs(r) * 2;
    if (twice >= abs(b))
        q += (sgn(a) < 0) != (sgn(b) < 0) ? -1 : 1;
    return q;
}

} // namespace

std::optional<Decimal> addDecimals(const Decimal& a, const Decimal& b) {
    int128 x = a.mantissa, y = b.mantissa, r = 0;
    const int scale = std::max(a.scale, b.scale);
    if (a.scale < scale && __builtin_mul_overflow(x, pow10i(scale - a.scale), &x))
        return std::nullopt;
    if (b.scale < scale && __builtin_mul_overflow(y, pow10i(scale - b.scale), &y))
        return std::nullopt;
    if (__builtin_add_overflow(x, y, &r) || !fitsDigits(r))
        return std::nullopt;
    return Decimal{r, scale};
}

std::optional<Decimal> subtractDecimals(const Decimal& a, const Decimal& b) {
    return addDecimals(a, Decimal{-b.mantissa, b.scale});
}

std::optional<Decimal> multiplyDecimals(const Decimal& a, const Decimal& b) {
    int128 m = 0;
    const int scale = a.scale + b.scale;
    constexpr int128 kWord = INT64_MAX;
    const bool words = abs128(a.mantissa) <= kWord && abs128(b.mantissa) <= kWord;
    if (words && scale <= Decimal::kMaxScale) {
        // Two 64-bit mantissas cannot overflow 128 bits: no overflow check, which costs a call.
        m = a.mantissa * b.mantissa;
        return fitsDigits(m) ? std::optional<Decimal>(Decimal{m, scale}) : std::nullopt;
    }
    if (!__builtin_mul_overflow(a.mantissa, b.mantissa, &m) && scale <= Decimal::kMaxScale)
        return fitsDigits(m) ? std::optional<Decimal>(Decimal{m, scale}) : std::nullopt;
    BigDecimal p{BigDecimal::fromDecimal(a).mantissa * BigDecimal::fromDecimal(b).mantissa, scale};
    if (scale > Decimal::kMaxScale)
        p = p.withScale(Decimal::kMaxScale);
    return p.toDecimal();
}

std::optional<Decimal> divideDecimals(const Decimal& a, const Decimal& b, int places) {
    if (b.mantissa == 0)
        return std::nullopt;
    // a/b × 10^places = ma × 10^(places + sb - sa) / mb.
    const int e = places + b.scale - a.scale;
    int128 num = a.mantissa, den = b.mantissa;
    const int128 f = pow10i(std::min(std::abs(e), Decimal::kMaxDigits));
    const bool fits = std::abs(e) <= Decimal::kMaxDigits &&
                      (e >= 0 ? abs128(num) <= kMax / f : abs128(den) <= kMax / f);
    if (fits) {
        if (e >= 0)
            num *= f;
        else
            den *= f;
        // Most quotients of amounts need no 128-bit division, which costs many times more.
        constexpr int128 kWord = INT64_MAX;
        if (abs128(num) <= kWord && abs128(den) <= kWord) {
            const auto n = static_cast<int64_t>(num), d = static_cast<int64_t>(den);
            int64_t q = n / d;
            const int64_t r = n % d, ar = r < 0 ? -r : r, ad = d < 0 ? -d : d;
            if (r != 0 && ar >= ad - ar)
                q += (n < 0) != (d < 0) ? -1 : 1;
            return Decimal{q, places};
        }
        const int128 q = roundedDivide(num, den);
        return fitsDigits(q) ? std::optional<Decimal>(Decimal{q, places}) : std::nullopt;
    }
    mpz_class bn = BigDecimal::fromDecimal(a).mantissa, bd = BigDecimal::fromDecimal(b).mantissa;
    if (e >= 0)
        bn *= power(e);
    else
        bd *= power(-e);
    return BigDecimal{roundedDivide(bn, bd), places}.toDecimal();
}

Decimal roundDecimal(const Decimal& a, int places) {
    if (places >= a.scale)
        return a;
    return Decimal{roundedDivide(a.mantissa, pow10i(a.scale - places)), places};
}

} // namespace rg::calc
