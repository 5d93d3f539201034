#pragma once

// Dates named relative to the day a report runs: "上月初" stays "上月初" in a setup and is
// worked out again at each run. A preset gives a period, its first and last day; a preset of
// one date gives the same day twice. Weeks are ISO weeks, Monday first.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

// Days since 1970-01-01 (datetime.h's daysFromCivil).
struct DayPeriod {
    int64_t first = 0, last = 0;
    bool operator==(const DayPeriod&) const = default;
};

// One named preset: its Chinese name, its ASCII spelling for command lines, and whether it
// is a period that sets both ends of a range.
struct DatePresetName {
    const char* name;
    const char* ascii;
    bool range;
};
// Every named preset in the order a list shows them; the counted ones ("N 天前", "近 N 天")
// are written with the N in their place.
const std::vector<DatePresetName>& DatePresetNames();

// A preset read from its text: a name of the table, "N 天前" / "N_days_ago", "近 N 天" /
// "last_N_days" (N of 0 .. 100000, blanks optional), or a fixed date "yyyy-MM-dd".
class DatePreset {
public:
    // nullopt for any other text.
    static std::optional<DatePreset> parse(std::string_view text);
    // The period as of a day (days since 1970-01-01).
    DayPeriod periodAsOf(int64_t asOfDay) const;
    // The Chinese name a setup keeps ("上月初", "7 天前", "近 30 天", "2026-02-01").
    std::string text() const;
    bool range() const;
    bool operator==(const DatePreset&) const = default;

private:
    int index_ = -1;    // into the table; -1: a fixed date
    int64_t count_ = 0; // N of the counted presets, the day of a fixed date
};

// The day a text "yyyy-MM-dd" names, nullopt for any other text.
std::optional<int64_t> parseIsoDay(std::string_view text);
std::string isoDayText(int64_t day);
// Today on the local clock.
int64_t localToday();

// How a title says a period: "2026年2月" for a whole month, "2026年第1季度", "2026年", one
// day as "2026-02-01", else "2026-01-01 至 2026-03-01".
std::string periodCaption(const DayPeriod& period);

} // namespace rg
