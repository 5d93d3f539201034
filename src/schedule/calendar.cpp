#include "schedule/calendar.h"

#include "common/error.h"

#include <array>
#include <charconv>
#include <sstream>

namespace rg {
namespace {

constexpr std::array<const char*, 12> kMonthNames{"jan", "feb", "mar", "apr", "may", "jun",
                                                  "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<const char*, 7> kCronDays{"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
constexpr std::array<const char*, 7> kSystemdDays{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

struct FieldRange {
    const char* caption;
    int low, high;
    const char* const* names; // the names of low, low + 1, ...; null when none
    int nameCount;
};

std::optional<int> number(const std::string& text, const FieldRange& r) {
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec == std::errc() && end == text.data() + text.size() && !text.empty())
        return n;
    for (int i = 0; i < r.nameCount; ++i)
        if (text == r.names[i])
            return r.low + i;
    return std::nullopt;
}

std::vector<bool> parseField(const std::string& field, const FieldRange& r) {
    std::vector<bool> set(r.high + 1, false);
    auto fail = [&]() -> Error {
        return Error("定时表达式的" + std::string(r.caption) + "“" + field + "”无法识别（" +
                     std::to_string(r.low) + "-" + std::to_string(r.high) + "）");
    };
    std::stringstream items(field);
    std::string item;
    while (std::getline(items, item, ',')) {
        int step = 1;
        if (const size_t slash = item.find('/'); slash != std::string::npos) {
            const std::optional<int> s = number(item.substr(slash + 1), {"", 1, 1, nullptr, 0});
            if (!s || *s <= 0)
                throw fail();
            step = *s;
            item.resize(slash);
        }
        int from = r.low, to = r.high;
        if (item != "*") {
            const size_t dash = item.find('-');
            const std::optional<int> a = number(item.substr(0, dash), r);
            const std::optional<int> b =
                dash == std::string::npos ? a : number(item.substr(dash + 1), r);
            if (!a || !b || *a < r.low || *b > r.high || *a > *b)
                throw fail();
            from = *a;
            to = dash == std::string::npos && step > 1 ? r.high : *b;
        }
        for (int v = from; v <= to; v += step)
            set[v] = true;
    }
    if (item.empty())
        throw fail();
    return set;
}

template <size_t N> std::bitset<N> bits(const std::vector<bool>& set, int offset = 0) {
    std::bitset<N> b;
    for (size_t v = 0; v < set.size(); ++v)
        if (set[v])
            b.set(v - offset);
    return b;
}

// Values of a set, runs of three or more joined by `dash`: "1-5,7", "Mon..Fri".
template <size_t N>
std::string listText(const std::bitset<N>& set, int low, int high, const char* dash,
                     const auto& name) {
    std::string out;
    for (int v = low; v <= high; ++v) {
        if (!set[v])
            continue;
        int end = v;
        while (end + 1 <= high && set[end + 1])
            ++end;
        out += (out.empty() ? "" : ",") + name(v);
        if (end - v >= 2)
            out += dash + name(end), v = end;
    }
    return out;
}

std::string twoDigits(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

CalendarRule atTime(int hour, int minute) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        throw Error("时间“" + std::to_string(hour) + ":" + twoDigits(minute) + "”不存在");
    CalendarRule r;
    r.minutes.set(minute);
    r.hours.set(hour);
    r.days.set().reset(0);
    r.months.set().reset(0);
    r.weekdays.set();
    return r;
}

bool runsOn(const CalendarRule& r, QDate d) {
    if (!r.months[d.month()])
        return false;
    const bool day = r.lastDay ? d.day() == d.daysInMonth() : r.days[d.day()];
    const bool weekday = r.weekdays[d.dayOfWeek() % 7];
    return r.daysRestricted && r.weekdaysRestricted ? day || weekday : day && weekday;
}

} // namespace

CalendarRule parseCronExpression(const std::string& expression) {
    std::istringstream in(expression);
    std::vector<std::string> f;
    for (std::string part; in >> part;)
        f.push_back(part);
    if (f.size() != 5)
        throw Error("定时表达式“" + expression + "”需要五项：分 时 日 月 周");
    CalendarRule r;
    r.minutes = bits<60>(parseField(f[0], {"分钟", 0, 59, nullptr, 0}));
    r.hours = bits<24>(parseField(f[1], {"小时", 0, 23, nullptr, 0}));
    r.days = bits<32>(parseField(f[2], {"日", 1, 31, nullptr, 0}));
    r.months = bits<13>(parseField(f[3], {"月", 1, 12, kMonthNames.data(), 12}));
    std::vector<bool> weekdays = parseField(f[4], {"星期", 0, 7, kCronDays.data(), 7});
    weekdays[0] = weekdays[0] || weekdays[7];
    weekdays.pop_back();
    r.weekdays = bits<7>(weekdays);
    r.daysRestricted = f[2][0] != '*';
    r.weekdaysRestricted = f[4][0] != '*';
    return r;
}

CalendarRule dailyRule(int hour, int minute) {
    return atTime(hour, minute);
}

CalendarRule weeklyRule(int hour, int minute, const std::vector<int>& isoWeekdays) {
    CalendarRule r = atTime(hour, minute);
    r.weekdays.reset();
    for (int d : isoWeekdays) {
        if (d < 1 || d > 7)
            throw Error("星期“" + std::to_string(d) + "”不存在（1 星期一 至 7 星期日）");
        r.weekdays.set(d % 7);
    }
    if (r.weekdays.none())
        throw Error("每周运行需要至少选一天");
    r.weekdaysRestricted = !r.weekdays.all();
    return r;
}

CalendarRule monthlyRule(int hour, int minute, int monthDay) {
    if (monthDay < 0 || monthDay > 28)
        throw Error("每月的日子“" + std::to_string(monthDay) + "”应在 1 至 28 之间，或选月末");
    CalendarRule r = atTime(hour, minute);
    r.days.reset();
    if (monthDay == 0)
        r.lastDay = true;
    else
        r.days.set(monthDay);
    r.daysRestricted = true;
    return r;
}

std::optional<QDateTime> nextRun(const CalendarRule& rule, const QDateTime& after,
                                 const QTimeZone& zone) {
    const QDateTime local = after.toTimeZone(zone);
    const QDate first = local.date();
    for (QDate d = first; d <= first.addYears(8); d = d.addDays(1)) {
        if (!runsOn(rule, d))
            continue;
        for (int h = 0; h < 24; ++h)
            for (int m = 0; m < 60; ++m) {
                if (!rule.hours[h] || !rule.minutes[m])
                    continue;
                const QDateTime at(d, QTime(h, m), zone);
                if (at > after)
                    return at;
            }
    }
    return std::nullopt;
}

std::vector<std::string> onCalendarTexts(const CalendarRule& rule) {
    auto digits = [](int v) { return twoDigits(v); };
    auto text = [&](bool withDays, bool withWeekdays) {
        std::string out;
        if (withWeekdays && !rule.weekdays.all()) {
            // Monday first, as systemd lists them; Sunday is cron's 0.
            std::bitset<8> iso;
            for (int d = 1; d <= 7; ++d)
                iso[d] = rule.weekdays[d % 7];
            out = listText(iso, 1, 7, "..", [](int d) { return std::string(kSystemdDays[d % 7]); });
            out += ' ';
        }
        out += "*-";
        out += rule.months.count() == 12 ? "*" : listText(rule.months, 1, 12, "..", digits);
        if (rule.lastDay && withDays)
            out += "~01";
        else if (!withDays || rule.days.count() == 31)
            out += "-*";
        else
            out += "-" + listText(rule.days, 1, 31, "..", digits);
        out += " " + listText(rule.hours, 0, 23, "..", digits) + ":" +
               listText(rule.minutes, 0, 59, "..", digits) + ":00";
        return out;
    };
    if (rule.daysRestricted && rule.weekdaysRestricted)
        return {text(true, false), text(false, true)};
    return {text(true, true)};
}

CronFields cronFields(const CalendarRule& rule) {
    auto plain = [](int v) { return std::to_string(v); };
    auto field = [&](const auto& set, int low, int high, bool all) {
        return all ? std::string("*") : listText(set, low, high, "-", plain);
    };
    CronFields out;
    out.fields =
        field(rule.minutes, 0, 59, rule.minutes.all()) + " " +
        field(rule.hours, 0, 23, rule.hours.all()) + " " +
        (rule.lastDay ? std::string("28-31") : field(rule.days, 1, 31, !rule.daysRestricted)) +
        " " + field(rule.months, 1, 12, rule.months.count() == 12) + " " +
        field(rule.weekdays, 0, 6, !rule.weekdaysRestricted);
    if (rule.lastDay)
        out.lastDayTest = "[ \"$(date -d tomorrow +\\%d)\" = 01 ]";
    return out;
}

} // namespace rg
