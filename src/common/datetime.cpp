#include "common/datetime.h"

#include <cmath>
#include <cstdio>

namespace rg {

// Howard Hinnant's algorithms.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

CivilDay civilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const auto d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const auto m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

namespace {

const int64_t kDay0 = daysFromCivil(1899, 12, 30);
// Serials of 0001-01-01 and of the day after 9999-12-31.
const double kFirstSerial = static_cast<double>(daysFromCivil(1, 1, 1) - kDay0);
const double kEndSerial = static_cast<double>(daysFromCivil(10000, 1, 1) - kDay0);

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

bool leapYear(int64_t y) {
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

int daysInMonth(int64_t y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

// A small reader over one text.
struct Reader {
    std::string_view s;
    size_t pos = 0;

    bool done() const { return pos == s.size(); }
    bool take(char c) {
        if (pos < s.size() && s[pos] == c)
            return ++pos, true;
        return false;
    }
    bool takeWord(std::string_view w) {
        if (s.substr(pos, w.size()) != w)
            return false;
        pos += w.size();
        return true;
    }
    // Between `least` and `most` digits.
    bool number(size_t least, size_t most, int64_t& out) {
        size_t n = 0;
        int64_t v = 0;
        while (pos < s.size() && n < most && s[pos] >= '0' && s[pos] <= '9')
            v = v * 10 + (s[pos++] - '0'), ++n;
        out = v;
        return n >= least && (pos == s.size() || s[pos] < '0' || s[pos] > '9');
    }
    // ".fffffffff": microseconds, rounded; up to nine digits.
    bool fraction(int64_t& micros) {
        micros = 0;
        if (!take('.'))
            return true;
        int64_t nanos = 0, scale = 100'000'000;
        size_t n = 0;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
            if (++n > 9)
                return false;
            nanos += (s[pos++] - '0') * scale;
            scale /= 10;
        }
        micros = (nanos + 500) / 1000;
        return n > 0;
    }
    // "hh:mm[:ss[.f]]" as microseconds; hours up to `maxHours`.
    bool clock(size_t hourDigits, int64_t maxHours, int64_t& micros) {
        int64_t h, m, sec = 0, frac = 0;
        if (!number(2, hourDigits, h) || !take(':') || !number(2, 2, m))
            return false;
        if (take(':') && (!number(2, 2, sec) || !fraction(frac)))
            return false;
        if (h > maxHours || m > 59 || sec > 59)
            return false;
        micros = ((h * 60 + m) * 60 + sec) * kMicrosPerSecond + frac;
        return true;
    }
    // A time zone offset: "Z", "+hh", "+hh:mm", "-hh:mm:ss"; left out of the value.
    bool zone() {
        if (take('Z'))
            return true;
        if (!take('+') && !take('-'))
            return true;
        int64_t part;
        if (!number(2, 2, part))
            return false;
        return !take(':') || (number(2, 2, part) && (!take(':') || number(2, 2, part)));
    }
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\0'))
        s.remove_suffix(1);
    return s;
}

std::optional<int64_t> infinity(std::string_view s) {
    if (s == "infinity" || s == "+infinity" || s == "Infinity")
        return kInfinityMicros;
    if (s == "-infinity" || s == "-Infinity")
        return kMinusInfinityMicros;
    return std::nullopt;
}

// "yyyy-MM-dd[( |T)hh:mm:ss[.f][zone]][ BC]"; `withTime` false refuses a time.
std::optional<int64_t> parseCivil(std::string_view text, bool withTime) {
    const std::string_view s = trim(text);
    if (auto inf = infinity(s))
        return inf;
    Reader r{s};
    int64_t y, m, d, tod = 0;
    if (!r.number(4, 6, y) || !r.take('-') || !r.number(2, 2, m) || !r.take('-') ||
        !r.number(2, 2, d))
        return std::nullopt;
    if (withTime && (r.take(' ') || r.take('T')) && !r.done() && s[r.pos] != 'B') {
        if (!r.clock(2, 23, tod) || !r.zone())
            return std::nullopt;
    }
    // There is no year 0: 1 BC comes before 1 AD.
    if (y == 0)
        return std::nullopt;
    if (r.takeWord(" BC") || r.takeWord("BC"))
        y = 1 - y;
    if (!r.done() || m < 1 || m > 12)
        return std::nullopt;
    return microsOfCivil(y, static_cast<int>(m), static_cast<int>(d), tod);
}

void appendFraction(std::string& out, int64_t micros) {
    if (micros == 0)
        return;
    char buf[16];
    std::snprintf(buf, sizeof buf, ".%06lld", static_cast<long long>(micros));
    std::string_view f(buf);
    while (f.back() == '0')
        f.remove_suffix(1);
    out += f;
}

std::string civilText(int64_t us, bool withTime) {
    if (us == kInfinityMicros)
        return "infinity";
    if (us == kMinusInfinityMicros)
        return "-infinity";
    const int64_t days = floorDiv(us, kMicrosPerDay);
    const int64_t tod = us - days * kMicrosPerDay;
    const CivilDay c = civilFromDays(days + kDay0);
    const bool bc = c.year <= 0;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d",
                  static_cast<long long>(bc ? 1 - c.year : c.year), c.month, c.day);
    std::string out = buf;
    if (withTime) {
        const int64_t secs = tod / kMicrosPerSecond;
        std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", static_cast<int>(secs / 3600),
                      static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
        out += buf;
        appendFraction(out, tod % kMicrosPerSecond);
    }
    if (bc)
        out += " BC";
    return out;
}

} // namespace

std::optional<int64_t> microsOfCivil(int64_t year, int month, int day, int64_t timeOfDay) {
    if (year < -290'000 || year > 290'000 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month))
        return std::nullopt;
    const int64_t days =
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kDay0;
    const int64_t us = days * kMicrosPerDay + timeOfDay;
    if (!isDateMicros(us))
        return std::nullopt;
    return us;
}

std::optional<int64_t> microsOfSerial(double serial, bool time) {
    // The comparisons are false for NaN.
    if (!(serial >= kFirstSerial && serial < kEndSerial))
        return std::nullopt;
    if (time)
        return std::llround(serial * static_cast<double>(kMicrosPerDay));
    const double day = std::trunc(serial);
    const int64_t frac = std::llround(std::fabs(serial - day) * static_cast<double>(kMicrosPerDay));
    return static_cast<int64_t>(day) * kMicrosPerDay + frac;
}

double serialOfMicros(int64_t us, bool time) {
    if (us == kInfinityMicros)
        return HUGE_VAL;
    if (us == kMinusInfinityMicros)
        return -HUGE_VAL;
    if (time)
        return static_cast<double>(us) / static_cast<double>(kMicrosPerDay);
    const int64_t days = floorDiv(us, kMicrosPerDay);
    const double frac =
        static_cast<double>(us - days * kMicrosPerDay) / static_cast<double>(kMicrosPerDay);
    // Serials before day 0 keep their time of day as a fraction to subtract.
    return days >= 0 ? static_cast<double>(days) + frac : static_cast<double>(days) - frac;
}

std::string formatDateMicros(int64_t us) {
    return civilText(us, false);
}
std::string formatDateTimeMicros(int64_t us) {
    return civilText(us, true);
}

std::string formatTimeMicros(int64_t us) {
    if (us == kInfinityMicros)
        return "infinity";
    if (us == kMinusInfinityMicros)
        return "-infinity";
    const bool negative = us < 0;
    // The magnitude of the most negative count does not fit: it is an infinity above.
    const uint64_t a = negative ? 0 - static_cast<uint64_t>(us) : static_cast<uint64_t>(us);
    const uint64_t secs = a / kMicrosPerSecond;
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%02llu:%02d:%02d", negative ? "-" : "",
                  static_cast<unsigned long long>(secs / 3600), static_cast<int>(secs / 60 % 60),
                  static_cast<int>(secs % 60));
    std::string out = buf;
    appendFraction(out, static_cast<int64_t>(a % kMicrosPerSecond));
    return out;
}

std::optional<int64_t> parseDateMicros(std::string_view s) {
    // "yyyy-MM-dd" of a day every month has, the common case of a long column, directly.
    if (s.size() == 10 && s[4] == '-' && s[7] == '-') {
        int v[8], k = 0;
        for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
            const int d = s[i] - '0';
            if (d < 0 || d > 9)
                return parseCivil(s, false);
            v[k++] = d;
        }
        const int y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], m = v[4] * 10 + v[5],
                  d = v[6] * 10 + v[7];
        if (y > 0 && m >= 1 && m <= 12 && d >= 1 && d <= 28)
            return (daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) - kDay0) *
                   kMicrosPerDay;
    }
    return parseCivil(s, false);
}
std::optional<int64_t> parseDateTimeMicros(std::string_view s) {
    return parseCivil(s, true);
}

std::optional<int64_t> parseTimeMicros(std::string_view text) {
    const std::string_view s = trim(text);
    if (auto inf = infinity(s))
        return inf;
    Reader r{s};
    const bool negative = r.take('-');
    if (!negative)
        r.take('+');
    int64_t us;
    // Hours as far as a duration of a thousand years.
    if (!r.clock(7, 8'766'000, us) || !r.zone() || !r.done())
        return std::nullopt;
    return negative ? -us : us;
}

} // namespace rg
