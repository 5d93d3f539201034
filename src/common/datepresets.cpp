#include "common/datepresets.h"

#include "common/asciicase.h"
#include "common/datetime.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace rg {
namespace {

using PeriodFn = DayPeriod (*)(int64_t asOf, int64_t n);

struct Ymd {
    int64_t y;
    int m, d;
};

Ymd ymd(int64_t day) {
    const CivilDay c = civilFromDays(day);
    return {c.year, c.month, c.day};
}

int64_t dayOf(int64_t y, int m, int d) {
    // Months run past the year either way: month 0 is the December before.
    while (m < 1) {
        m += 12;
        --y;
    }
    while (m > 12) {
        m -= 12;
        ++y;
    }
    return daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
}

DayPeriod one(int64_t day) {
    return {day, day};
}

// Monday 0 .. Sunday 6; 1970-01-01 was a Thursday.
int64_t mondayOf(int64_t day) {
    const int64_t wd = ((day + 3) % 7 + 7) % 7;
    return day - wd;
}

DayPeriod week(int64_t asOf, int back) {
    const int64_t monday = mondayOf(asOf) - 7 * back;
    return {monday, monday + 6};
}

DayPeriod month(int64_t asOf, int back) {
    const Ymd t = ymd(asOf);
    return {dayOf(t.y, t.m - back, 1), dayOf(t.y, t.m - back + 1, 1) - 1};
}

DayPeriod quarter(int64_t asOf, int back) {
    const Ymd t = ymd(asOf);
    const int first = (t.m - 1) / 3 * 3 + 1 - 3 * back;
    return {dayOf(t.y, first, 1), dayOf(t.y, first + 3, 1) - 1};
}

DayPeriod year(int64_t asOf, int back) {
    const int64_t y = ymd(asOf).y - back;
    return {dayOf(y, 1, 1), dayOf(y, 12, 31)};
}

// A year back; 29 February becomes the 28th, as date arithmetic of servers has it.
int64_t sameDayLastYear(int64_t asOf) {
    const Ymd t = ymd(asOf);
    const int64_t monthEnd = dayOf(t.y - 1, t.m + 1, 1) - 1;
    return std::min(dayOf(t.y - 1, t.m, t.d), monthEnd);
}

struct Entry {
    DatePresetName name;
    PeriodFn period;
    bool counted;
};

// clang-format off
const Entry kEntries[] = {
    {{"今天", "today", false}, [](int64_t d, int64_t) { return one(d); }, false},
    {{"昨天", "yesterday", false}, [](int64_t d, int64_t) { return one(d - 1); }, false},
    {{"本周初", "week_start", false}, [](int64_t d, int64_t) { return one(week(d, 0).first); }, false},
    {{"本周末", "week_end", false}, [](int64_t d, int64_t) { return one(week(d, 0).last); }, false},
    {{"上周初", "prev_week_start", false}, [](int64_t d, int64_t) { return one(week(d, 1).first); }, false},
    {{"上周末", "prev_week_end", false}, [](int64_t d, int64_t) { return one(week(d, 1).last); }, false},
    {{"本月初", "month_start", false}, [](int64_t d, int64_t) { return one(month(d, 0).first); }, false},
    {{"本月末", "month_end", false}, [](int64_t d, int64_t) { return one(month(d, 0).last); }, false},
    {{"上月初", "prev_month_start", false}, [](int64_t d, int64_t) { return one(month(d, 1).first); }, false},
    {{"上月末", "prev_month_end", false}, [](int64_t d, int64_t) { return one(month(d, 1).last); }, false},
    {{"本季初", "quarter_start", false}, [](int64_t d, int64_t) { return one(quarter(d, 0).first); }, false},
    {{"本季末", "quarter_end", false}, [](int64_t d, int64_t) { return one(quarter(d, 0).last); }, false},
    {{"上季初", "prev_quarter_start", false}, [](int64_t d, int64_t) { return one(quarter(d, 1).first); }, false},
    {{"上季末", "prev_quarter_end", false}, [](int64_t d, int64_t) { return one(quarter(d, 1).last); }, false},
    {{"本年初", "year_start", false}, [](int64_t d, int64_t) { return one(year(d, 0).first); }, false},
    {{"本年末", "year_end", false}, [](int64_t d, int64_t) { return one(year(d, 0).last); }, false},
    {{"上年初", "prev_year_start", false}, [](int64_t d, int64_t) { return one(year(d, 1).first); }, false},
    {{"上年末", "prev_year_end", false}, [](int64_t d, int64_t) { return one(year(d, 1).last); }, false},
    {{"去年同日", "same_day_last_year", false}, [](int64_t d, int64_t) { return one(sameDayLastYear(d)); }, false},
    {{"N 天前", "N_days_ago", false}, [](int64_t d, int64_t n) { return one(d - n); }, true},
    {{"本周", "this_week", true}, [](int64_t d, int64_t) { return week(d, 0); }, false},
    {{"上周", "prev_week", true}, [](int64_t d, int64_t) { return week(d, 1); }, false},
    {{"本月", "this_month", true}, [](int64_t d, int64_t) { return month(d, 0); }, false},
    {{"上月", "prev_month", true}, [](int64_t d, int64_t) { return month(d, 1); }, false},
    {{"本季度", "this_quarter", true}, [](int64_t d, int64_t) { return quarter(d, 0); }, false},
    {{"上季度", "prev_quarter", true}, [](int64_t d, int64_t) { return quarter(d, 1); }, false},
    {{"本年", "this_year", true}, [](int64_t d, int64_t) { return year(d, 0); }, false},
    {{"上年", "prev_year", true}, [](int64_t d, int64_t) { return year(d, 1); }, false},
    {{"月初至今", "month_to_date", true}, [](int64_t d, int64_t) { return DayPeriod{month(d, 0).first, d}; }, false},
    {{"年初至今", "year_to_date", true}, [](int64_t d, int64_t) { return DayPeriod{year(d, 0).first, d}; }, false},
    {{"近 N 天", "last_N_days", true}, [](int64_t d, int64_t n) { return DayPeriod{d - n + 1, d}; }, true},
    // The same stretch of the year before: its first day to this day a year back.
    {{"去年同期", "same_period_last_year", true}, [](int64_t d, int64_t) { return DayPeriod{year(d, 1).first, sameDayLastYear(d)}; }, false},
};
// clang-format on

constexpr int64_t kMaxCount = 100000;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// `text` is `before` N `after` (blanks around N allowed): N, else nullopt.
std::optional<int64_t> countIn(std::string_view text, std::string_view before,
                               std::string_view after) {
    if (text.size() < before.size() + after.size() || text.substr(0, before.size()) != before ||
        text.substr(text.size() - after.size()) != after)
        return std::nullopt;
    const std::string_view digits =
        trimmed(text.substr(before.size(), text.size() - before.size() - after.size()));
    int64_t n = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || n < 0 ||
        n > kMaxCount)
        return std::nullopt;
    return n;
}

} // namespace

const std::vector<DatePresetName>& DatePresetNames() {
    static const std::vector<DatePresetName> names = [] {
        std::vector<DatePresetName> list;
        for (const Entry& e : kEntries)
            list.push_back(e.name);
        return list;
    }();
    return names;
}

std::optional<DatePreset> DatePreset::parse(std::string_view text) {
    text = trimmed(text);
    DatePreset p;
    if (const std::optional<int64_t> day = parseIsoDay(text)) {
        p.count_ = *day;
        return p;
    }
    const std::string lower = asciiLower(std::string(text));
    for (int i = 0; i < static_cast<int>(std::size(kEntries)); ++i) {
        const Entry& e = kEntries[i];
        p.index_ = i;
        if (!e.counted) {
            if (text == e.name.name || lower == e.name.ascii)
                return p;
            continue;
        }
        const std::string_view name = e.name.name, ascii = e.name.ascii;
        const size_t n = name.find('N'), a = ascii.find('N');
        std::optional<int64_t> count =
            countIn(text, trimmed(name.substr(0, n)), trimmed(name.substr(n + 1)));
        if (!count)
            count = countIn(lower, ascii.substr(0, a), ascii.substr(a + 1));
        if (count) {
            p.count_ = *count;
            return p;
        }
    }
    return std::nullopt;
}

DayPeriod DatePreset::periodAsOf(int64_t asOfDay) const {
    if (index_ < 0)
        return one(count_);
    return kEntries[index_].period(asOfDay, count_);
}

std::string DatePreset::text() const {
    if (index_ < 0)
        return isoDayText(count_);
    std::string name = kEntries[index_].name.name;
    if (kEntries[index_].counted)
        name.replace(name.find('N'), 1, std::to_string(count_));
    return name;
}

bool DatePreset::range() const {
    return index_ >= 0 && kEntries[index_].name.range;
}

std::optional<int64_t> parseIsoDay(std::string_view text) {
    // Exactly yyyy-MM-dd: a preset's text never reads as a date by accident.
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    int y = 0, m = 0, d = 0;
    auto num = [&](size_t at, size_t len, int& out) {
        const auto [end, ec] = std::from_chars(text.data() + at, text.data() + at + len, out);
        return ec == std::errc() && end == text.data() + at + len;
    };
    if (!num(0, 4, y) || !num(5, 2, m) || !num(8, 2, d) || m < 1 || m > 12 || d < 1)
        return std::nullopt;
    const int64_t day = dayOf(y, m, d);
    if (ymd(day).d != d)
        return std::nullopt;
    return day;
}

std::string isoDayText(int64_t day) {
    const Ymd t = ymd(day);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d", static_cast<long long>(t.y), t.m, t.d);
    return buf;
}

int64_t localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return daysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                         static_cast<unsigned>(local.tm_mday));
}

std::string periodCaption(const DayPeriod& p) {
    if (p.first == p.last)
        return isoDayText(p.first);
    const Ymd a = ymd(p.first);
    const std::string yearText = std::to_string(a.y) + "年";
    if (p == month(p.first, 0))
        return yearText + std::to_string(a.m) + "月";
    if (p == quarter(p.first, 0))
        return yearText + "第" + std::to_string((a.m - 1) / 3 + 1) + "季度";
    if (p == year(p.first, 0))
        return yearText;
    return isoDayText(p.first) + " 至 " + isoDayText(p.last);
}

} // namespace rg
