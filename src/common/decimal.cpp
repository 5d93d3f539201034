#include "common/decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>

namespace rg {
namespace {

constexpr std::array<int128, 39> makePowers() {
    std::array<int128, 39> p{};
    p[0] = 1;
    for (size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}
constexpr std::array<int128, 39> kPow10 = makePowers();
constexpr int128 kMax = static_cast<int128>(~static_cast<unsigned __int128>(0) >> 1);

int128 abs128(int128 v) {
    return v < 0 ? -v : v;
}

std::string digitsOf(int128 v) { // v >= 0
    if (v == 0)
        return "0";
    char buf[48];
    int n = 0;
    while (v > 0) {
        buf[n++] = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    }
    return std::string(std::make_reverse_iterator(buf + n), std::make_reverse_iterator(buf));
}

// m / d rounded half away from zero (d > 0).
int128 roundedDivide(int128 m, int128 d) {
    int128 q = m / d, r = m % d;
    // |r| >= d - |r| rather than 2|r| >= d: twice a remainder of 10^38 leaves 128 bits.
    if (abs128(r) >= d - abs128(r))
        q += m < 0 ? -1 : 1;
    return q;
}

std::optional<int128> scaledUp(int128 m, int by) {
    if (by <= 0)
        return m;
    if (by > Decimal::kMaxScale)
        return m == 0 ? std::optional<int128>(0) : std::nullopt;
    const int128 f = kPow10[static_cast<size_t>(by)];
    if (abs128(m) > kMax / f)
        return std::nullopt;
    return m * f;
}

} // namespace

int128 pow10i(int n) {
    return kPow10[static_cast<size_t>(n)];
}

std::optional<DecimalText> scanDecimalText(std::string_view s, int maxExponent) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    DecimalText t;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        t.negative = s[i++] == '-';
    bool anyDigit = false, afterPoint = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '.' && !afterPoint) {
            afterPoint = true;
        } else if (c >= '0' && c <= '9') {
            anyDigit = true;
            t.fraction += afterPoint ? 1 : 0;
            if (!t.digits.empty() || c != '0')
                t.digits += c;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        const char* b = s.data() + i + 1;
        if (b < s.data() + s.size() && *b == '+')
            ++b;
        const auto [end, ec] = std::from_chars(b, s.data() + s.size(), t.exponent);
        if (ec != std::errc() || end != s.data() + s.size() || t.exponent > maxExponent ||
            t.exponent < -maxExponent)
            return std::nullopt;
        i = s.size();
    }
    if (i != s.size())
        return std::nullopt;
    return t;
}

std::optional<Decimal> Decimal::parse(std::string_view s) {
    std::optional<DecimalText> text = scanDecimalText(s, 400);
    if (!text)
        return std::nullopt;
    std::string& digits = text->digits;
    const bool negative = text->negative;
    int scale = text->fraction - text->exponent;
    // Zeros at the end of a long fraction carry no value; drop them before giving up.
    while (static_cast<int>(digits.size()) > kMaxDigits && scale > 0 && digits.back() == '0') {
        digits.pop_back();
        --scale;
    }
    if (scale < 0) {
        if (!digits.empty())
            digits.append(static_cast<size_t>(-scale), '0');
        scale = 0;
    }
    if (static_cast<int>(digits.size()) > kMaxDigits)
        return std::nullopt;
    int128 m = 0;
    for (char c : digits)
        m = m * 10 + (c - '0');
    if (scale > kMaxScale) {
        const int drop = scale - kMaxScale;
        m = drop > kMaxDigits ? 0 : roundedDivide(m, kPow10[static_cast<size_t>(drop)]);
        scale = kMaxScale;
    }
    return Decimal{negative ? -m : m, scale};
}

std::optional<Decimal> Decimal::fromDouble(double d) {
    if (d != d || d == std::numeric_limits<double>::infinity() ||
        d == -std::numeric_limits<double>::infinity())
        return std::nullopt;
    // Money and most measured values have a few decimals: the fewest places whose scaled
    // integer divides back to exactly this double are its shortest decimal digits.
    static constexpr double kScales[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
    for (int s = 0; s < 7; ++s) {
        const double scaled = d * kScales[s];
        if (!(std::fabs(scaled) < 9007199254740992.0))
            break;
        const double m = std::nearbyint(scaled);
        if (m / kScales[s] == d)
            return Decimal{static_cast<int64_t>(m), s};
    }
    char buf[40];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    if (ec != std::errc())
        return std::nullopt;
    return parse(std::string_view(buf, static_cast<size_t>(end - buf)));
}

double Decimal::toDouble() const {
    const std::string s = toString();
    double d = 0;
    std::from_chars(s.data(), s.data() + s.size(), d);
    return d;
}

std::string Decimal::toString() const {
    std::string digits = digitsOf(abs128(mantissa));
    if (scale > 0) {
        if (static_cast<int>(digits.size()) <= scale)
            digits.insert(0, static_cast<size_t>(scale + 1) - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
    }
    return mantissa < 0 ? "-" + digits : digits;
}

Decimal Decimal::normalized() const {
    Decimal d = *this;
    while (d.scale > 0 && d.mantissa % 10 == 0) {
        d.mantissa /= 10;
        --d.scale;
    }
    return d;
}

std::optional<Decimal> Decimal::withScale(int places) const {
    places = std::clamp(places, 0, kMaxScale);
    if (places >= scale) {
        const auto m = scaledUp(mantissa, places - scale);
        if (!m)
            return std::nullopt;
        return Decimal{*m, places};
    }
    return Decimal{roundedDivide(mantissa, kPow10[static_cast<size_t>(scale - places)]), places};
}

std::optional<int64_t> Decimal::toInt64() const {
    const Decimal n = normalized();
    if (n.scale != 0 || n.mantissa > std::numeric_limits<int64_t>::max() ||
        n.mantissa < std::numeric_limits<int64_t>::min())
        return std::nullopt;
    return static_cast<int64_t>(n.mantissa);
}

std::optional<Decimal> Decimal::add(const Decimal& a, const Decimal& b) {
    const int s = std::max(a.scale, b.scale);
    const auto x = a.withScale(s), y = b.withScale(s);
    if (!x || !y)
        return std::nullopt;
    int128 r;
    if (__builtin_add_overflow(x->mantissa, y->mantissa, &r))
        return std::nullopt;
    return Decimal{r, s};
}

std::optional<Decimal> Decimal::divide(const Decimal& a, int64_t n, int places, Rounding rounding) {
    if (n == 0)
        return std::nullopt;
    int p = std::clamp(std::max(places, a.scale), 0, kMaxScale);
    std::optional<Decimal> x;
    while (!(x = a.withScale(p)) && p > a.scale)
        --p;
    if (!x)
        return std::nullopt;
    int128 m = x->mantissa;
    if (n < 0)
        m = -m;
    const int128 d = abs128(n);
    return Decimal{rounding == Rounding::TowardZero ? m / d : roundedDivide(m, d), p};
}

int compare(const Decimal& a, const Decimal& b) {
    const auto cmp = [](int128 x, int128 y) { return x < y ? -1 : (x > y ? 1 : 0); };
    if (a.scale == b.scale)
        return cmp(a.mantissa, b.mantissa);
    // Usually one side brought to the other's places fits.
    int128 x;
    if (a.scale < b.scale &&
        !__builtin_mul_overflow(a.mantissa, kPow10[static_cast<size_t>(b.scale - a.scale)], &x))
        return cmp(x, b.mantissa);
    if (b.scale < a.scale &&
        !__builtin_mul_overflow(b.mantissa, kPow10[static_cast<size_t>(a.scale - b.scale)], &x))
        return cmp(a.mantissa, x);
    // Whole parts first, then the fractions brought to 38 places; both keep the sign of
    // their value, so the pairs order like the values without any overflow.
    const int128 ia = a.mantissa / kPow10[static_cast<size_t>(a.scale)];
    const int128 ib = b.mantissa / kPow10[static_cast<size_t>(b.scale)];
    if (ia != ib)
        return ia < ib ? -1 : 1;
    const int128 fa = (a.mantissa % kPow10[static_cast<size_t>(a.scale)]) *
                      kPow10[static_cast<size_t>(Decimal::kMaxScale - a.scale)];
    const int128 fb = (b.mantissa % kPow10[static_cast<size_t>(b.scale)]) *
                      kPow10[static_cast<size_t>(Decimal::kMaxScale - b.scale)];
    return fa < fb ? -1 : (fa > fb ? 1 : 0);
}

} // namespace rg
