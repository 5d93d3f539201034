#pragma once

// When a schedule runs, as the sets of minutes, hours, days, months and weekdays a cron
// line names; the daily, weekly and monthly choices of the dialog are such sets too. One
// rule gives the next run, the systemd timer's OnCalendar= lines and the crontab fields, so
// the three never disagree.

#include <QDateTime>
#include <QTimeZone>

#include <bitset>
#include <optional>
#include <string>
#include <vector>

namespace rg {

struct CalendarRule {
    std::bitset<60> minutes;
    std::bitset<24> hours;
    std::bitset<32> days;    // 1 .. 31
    std::bitset<13> months;  // 1 .. 12
    std::bitset<7> weekdays; // 0 Sunday .. 6 Saturday, as cron counts
    bool lastDay = false;    // the last day of each month, in place of `days`
    // Cron's rule: when both the day of the month and the weekday are restricted, a day
    // that matches either runs.
    bool daysRestricted = false, weekdaysRestricted = false;

    bool operator==(const CalendarRule&) const = default;
};

// "分 时 日 月 周" with *, lists, ranges a-b, steps /n, month names jan..dec and weekday
// names sun..sat (0 or 7: Sunday). Throws rg::Error naming the field that is wrong.
CalendarRule parseCronExpression(const std::string& expression);

// At `hour`:`minute` every day; on the weekdays of `isoWeekdays` (1 Monday .. 7 Sunday);
// on day `monthDay` of each month (1 .. 28), or its last day when `monthDay` is 0.
CalendarRule dailyRule(int hour, int minute);
CalendarRule weeklyRule(int hour, int minute, const std::vector<int>& isoWeekdays);
CalendarRule monthlyRule(int hour, int minute, int monthDay);

// The first run strictly after `after`, on the wall clock of `zone`; nothing when the rule
// never runs (31 February) within eight years.
std::optional<QDateTime> nextRun(const CalendarRule& rule, const QDateTime& after,
                                 const QTimeZone& zone);

// The timer's OnCalendar= values: one, or two for cron's either-day rule.
std::vector<std::string> onCalendarTexts(const CalendarRule& rule);
// The five crontab fields; a rule on the last day runs on days 28-31, and `lastDayTest` is
// then the shell test that lets only the last one through ("" otherwise).
struct CronFields {
    std::string fields;
    std::string lastDayTest;
};
CronFields cronFields(const CalendarRule& rule);

} // namespace rg
