#include "common/bigdecimal.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace rg {
namespace {

// Beyond PostgreSQL's own limits (131072 digits before the point, 16383 after) a text is
// no number we could have been sent.
constexpr int kMaxDigits = 140000;

mpz_class pow10z(int n) {
    mpz_class p;
    mpz_ui_pow_ui(p.get_mpz_t(), 10, static_cast<unsigned long>(n));
    return p;
}

mpz_class fromInt128(int128 v) {
    const auto u = static_cast<unsigned __int128>(v < 0 ? -v : v);
    const uint64_t words[2] = {static_cast<uint64_t>(u), static_cast<uint64_t>(u >> 64)};
    mpz_class z;
    mpz_import(z.get_mpz_t(), 2, -1, sizeof(uint64_t), 0, 0, words);
    return v < 0 ? mpz_class(-z) : z;
}

// m / d rounded half away from zero (d > 0).
mpz_class roundedDivide(const mpz_class& m, const mpz_class& d) {
    mpz_class q, r;
    mpz_tdiv_qr(q.get_mpz_t(), r.get_mpz_t(), m.get_mpz_t(), d.get_mpz_t());
    mpz_class twice = r * 2;
    if (mpz_cmpabs(twice.get_mpz_t(), d.get_mpz_t()) >= 0)
        q += sgn(m) < 0 ? -1 : 1;
    return q;
}

} // namespace

BigDecimal BigDecimal::fromDecimal(const Decimal& d) {
    return {fromInt128(d.mantissa), d.scale};
}

std::optional<BigDecimal> BigDecimal::parse(std::string_view s) {
    const std::optional<DecimalText> text = scanDecimalText(s, kMaxDigits);
    if (!text || static_cast<int>(text->digits.size()) > kMaxDigits)
        return std::nullopt;
    BigDecimal d;
    if (!text->digits.empty())
        d.mantissa.set_str(text->digits, 10);
    if (text->negative)
        d.mantissa = -d.mantissa;
    d.scale = text->fraction - text->exponent;
    if (d.scale < 0) {
        d.mantissa *= pow10z(-d.scale);
        d.scale = 0;
    }
    return d;
}

BigDecimal BigDecimal::exactDouble(double v) {
    // v = m × 2^e with a whole m; 2^-k is 5^k × 10^-k.
    int e = 0;
    const double f = std::frexp(v, &e);
    const auto m = static_cast<int64_t>(std::ldexp(f, 53));
    e -= 53;
    BigDecimal d;
    d.mantissa = static_cast<long>(m);
    if (e >= 0) {
        d.mantissa <<= static_cast<mp_bitcnt_t>(e);
    } else {
        mpz_class five;
        mpz_ui_pow_ui(five.get_mpz_t(), 5, static_cast<unsigned long>(-e));
        d.mantissa *= five;
        d.scale = -e;
    }
    return d.normalized();
}

std::optional<Decimal> BigDecimal::toDecimal() const {
    if (scale > Decimal::kMaxScale || mpz_sizeinbase(mantissa.get_mpz_t(), 2) > 127 ||
        mpz_cmpabs(mantissa.get_mpz_t(), pow10z(Decimal::kMaxDigits).get_mpz_t()) >= 0)
        return std::nullopt;
    uint64_t words[2] = {0, 0};
    size_t count = 0;
    mpz_export(words, &count, -1, sizeof(uint64_t), 0, 0, mantissa.get_mpz_t());
    const int128 m =
        static_cast<int128>((static_cast<unsigned __int128>(words[1]) << 64) | words[0]);
    return Decimal{isNegative() ? -m : m, scale};
}

double BigDecimal::toDouble() const {
    const std::string s = toString();
    double d = 0;
    if (std::from_chars(s.data(), s.data() + s.size(), d).ec == std::errc::result_out_of_range) {
        // Beyond a double's range: an infinity, or a zero for what is too small.
        const bool huge = digitCount() - scale > 0;
        d = huge ? std::numeric_limits<double>::infinity() : 0.0;
        if (isNegative())
            d = -d;
    }
    return d;
}

std::string BigDecimal::toString() const {
    std::string digits = abs().mantissa.get_str(10);
    if (scale > 0) {
        if (static_cast<int>(digits.size()) <= scale)
            digits.insert(0, static_cast<size_t>(scale + 1) - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
    }
    return isNegative() ? "-" + digits : digits;
}

BigDecimal BigDecimal::normalized() const {
    BigDecimal d = *this;
    if (d.isZero())
        return {mpz_class(0), 0};
    while (d.scale > 0 && mpz_divisible_ui_p(d.mantissa.get_mpz_t(), 10)) {
        mpz_divexact_ui(d.mantissa.get_mpz_t(), d.mantissa.get_mpz_t(), 10);
        --d.scale;
    }
    return d;
}

BigDecimal BigDecimal::withScale(int places) const {
    places = std::max(places, 0);
    if (places >= scale)
        return {mantissa * pow10z(places - scale), places};
    return {roundedDivide(mantissa, pow10z(scale - places)), places};
}

BigDecimal BigDecimal::abs() const {
    BigDecimal d = *this;
    mpz_abs(d.mantissa.get_mpz_t(), d.mantissa.get_mpz_t());
    return d;
}

int BigDecimal::digitCount() const {
    return static_cast<int>(abs().mantissa.get_str(10).size());
}

BigDecimal BigDecimal::add(const BigDecimal& a, const BigDecimal& b) {
    if (a.scale == b.scale)
        return {a.mantissa + b.mantissa, a.scale};
    const int s = std::max(a.scale, b.scale);
    return {a.withScale(s).mantissa + b.withScale(s).mantissa, s};
}

BigDecimal BigDecimal::divide(const BigDecimal& a, int64_t n, int places, Rounding rounding) {
    const int p = std::max(places, a.scale);
    mpz_class m = a.withScale(p).mantissa;
    if (n < 0)
        m = -m;
    mpz_class d;
    mpz_set_ui(d.get_mpz_t(), static_cast<unsigned long>(n < 0 ? -n : n));
    if (rounding == Rounding::TowardZero) {
        mpz_class q;
        mpz_tdiv_q(q.get_mpz_t(), m.get_mpz_t(), d.get_mpz_t());
        return {q, p};
    }
    return {roundedDivide(m, d), p};
}

int compare(const BigDecimal& a, const BigDecimal& b) {
    if (a.scale == b.scale)
        return cmp(a.mantissa, b.mantissa) < 0 ? -1 : (cmp(a.mantissa, b.mantissa) > 0 ? 1 : 0);
    const int s = std::max(a.scale, b.scale);
    const int c = cmp(a.withScale(s).mantissa, b.withScale(s).mantissa);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace rg
