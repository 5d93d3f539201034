#include "common/displaytext.h"

#include "common/bigdecimal.h"
#include "common/datetime.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace rg {
namespace {

const int64_t kDay0 = daysFromCivil(1899, 12, 30);

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Reads exactly `width` digits at `pos`.
bool digits(std::string_view s, size_t pos, size_t width, int& out) {
    if (pos + width > s.size())
        return false;
    int v = 0;
    for (size_t i = pos; i < pos + width; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
    }
    out = v;
    return true;
}

// to_chars rounds a double lying exactly half way between two 15-digit decimals to the even
// one; spreadsheets, and our decimals, round it away from zero. Such a double is then
// replaced by the nearest double of the rounded-up digits.
double awayFromZeroAt15(double d) {
    // A tie has 16 significant digits ending in 5: below 10^15 at most 22 binary places
    // (its digits over 10^j need 5^j to divide them, and 5^23 exceeds 16 digits), above it
    // a whole number. Most doubles fail this at once.
    const double a = std::fabs(d);
    if (a < 1e15 ? std::trunc(a * 4194304.0) != a * 4194304.0 : std::trunc(a) != a)
        return d;
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific, 17);
    const std::string_view s(buf, static_cast<size_t>(res.ptr - buf));
    const size_t point = s.find('.'), e = s.find('e');
    // 18 digits: the 16th a 5 and zeros after it, or this is no tie.
    if (point == std::string_view::npos || e != point + 18 || s.substr(point + 15, 3) != "500")
        return d;
    const std::string sixteen = std::string(s.substr(0, point + 16)) + std::string(s.substr(e));
    const auto tie = BigDecimal::parse(sixteen);
    if (!tie || compare(*tie, BigDecimal::exactDouble(d)) != 0)
        return d;
    const std::string mantissa(s.substr(0, point + 16));
    const std::string rounded =
        BigDecimal::parse(mantissa)->withScale(14).toString() + std::string(s.substr(e));
    double up = d;
    std::from_chars(rounded.data(), rounded.data() + rounded.size(), up);
    return up;
}

} // namespace

std::string formatFloat(double d) {
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0)
        return "0";
    d = awayFromZeroAt15(d);
    char buf[40];
    // to_chars, unlike printf, writes "." whatever the process locale says.
    const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
    std::string s(buf, res.ptr);
    const size_t e = s.find('e');
    if (e == std::string::npos)
        return s;
    // 1.5e-07 -> 1.5E-7, 1e+20 -> 1E20
    std::string mant = s.substr(0, e);
    const char sign = s[e + 1];
    std::string exp = s.substr(e + 2);
    while (exp.size() > 1 && exp[0] == '0')
        exp.erase(0, 1);
    return mant + "E" + (sign == '-' ? "-" : "") + exp;
}

std::string formatShortest(double d) {
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, res.ptr);
}

std::string formatInt(int64_t i) {
    return std::to_string(i);
}
std::string formatBool(bool b) {
    return b ? "True" : "False";
}

CivilDateTime fromSerial(double serial) {
    CivilDateTime t;
    if (!microsOfSerial(serial))
        return t;
    double day = std::trunc(serial);
    double frac = std::fabs(serial - day);
    // Round to whole milliseconds so 0.99999999 of a day does not print as 23:59:59.
    int64_t ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
    if (ms >= 86400000) {
        ms -= 86400000;
        day += serial >= 0 ? 1 : -1;
    }
    const CivilDay c = civilFromDays(static_cast<int64_t>(day) + kDay0);
    t.year = static_cast<int>(c.year);
    t.month = c.month;
    t.day = c.day;
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

double dateSerial(int year, int month, int day) {
    return static_cast<double>(
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kDay0);
}

double timeSerial(int hour, int minute, int second, int millisecond) {
    return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / 86400000.0;
}

// A serial that is no date shows as the number it is.
std::string formatDate(double serial) {
    const auto us = microsOfSerial(serial);
    return us ? formatDateMicros(*us) : formatFloat(serial);
}

std::string formatTime(double serial) {
    const auto us = microsOfSerial(serial, true);
    return us ? formatTimeMicros(*us) : formatFloat(serial);
}

std::string formatDateTime(double serial) {
    const auto us = microsOfSerial(serial);
    return us ? formatDateTimeMicros(*us) : formatFloat(serial);
}

std::optional<double> parseDate(std::string_view s) {
    s = trim(s);
    int y, m, d;
    if (s.size() != 10 || s[4] != '-' || s[7] != '-' || !digits(s, 0, 4, y) ||
        !digits(s, 5, 2, m) || !digits(s, 8, 2, d) || m < 1 || m > 12 || d < 1 || d > 31)
        return std::nullopt;
    return dateSerial(y, m, d);
}

std::optional<double> parseTime(std::string_view s) {
    s = trim(s);
    int h, mi, sec = 0, ms = 0;
    if (s.size() < 5 || s[2] != ':' || !digits(s, 0, 2, h) || !digits(s, 3, 2, mi))
        return std::nullopt;
    size_t pos = 5;
    if (pos < s.size()) {
        if (s[pos] != ':' || !digits(s, pos + 1, 2, sec))
            return std::nullopt;
        pos += 3;
        if (pos < s.size()) {
            if (s[pos] != '.')
                return std::nullopt;
            std::string_view f = s.substr(pos + 1);
            if (f.empty())
                return std::nullopt;
            int scale = 100;
            for (char c : f) {
                if (c < '0' || c > '9')
                    return std::nullopt;
                ms += (c - '0') * scale;
                scale /= 10;
            }
        }
    }
    if (h > 23 || mi > 59 || sec > 59)
        return std::nullopt;
    return timeSerial(h, mi, sec, ms);
}

std::optional<double> parseDateTime(std::string_view s) {
    s = trim(s);
    if (s.size() < 10)
        return std::nullopt;
    auto date = parseDate(s.substr(0, 10));
    if (!date)
        return std::nullopt;
    if (s.size() == 10)
        return date;
    if (s[10] != ' ' && s[10] != 'T')
        return std::nullopt;
    auto time = parseTime(s.substr(11));
    if (!time)
        return std::nullopt;
    return *date >= 0 ? *date + *time : *date - *time;
}

std::optional<double> parseNumber(std::string_view s) {
    s = trim(s);
    if (s.empty())
        return std::nullopt;
    if (s.front() == '+')
        s.remove_prefix(1);
    if (s.empty())
        return std::nullopt;
    double v = 0;
    // from_chars reads "." as the decimal point whatever the process locale says.
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

} // namespace rg
