// The next run of a schedule's calendar, on UTC and on a local clock, and the timer and
// crontab texts made of the same rule, checked against systemd's own reading of them.

#include "schedule/calendar.h"

#include "testsupport.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace rg;

namespace {

const QTimeZone kUtc = QTimeZone::utc();
const QTimeZone kShanghai("Asia/Shanghai");

QDateTime at(const char* text, const QTimeZone& zone = kUtc) {
    return QDateTime(QDateTime::fromString(text, "yyyy-MM-dd HH:mm").date(),
                     QDateTime::fromString(text, "yyyy-MM-dd HH:mm").time(), zone);
}

std::string next(const CalendarRule& rule, const char* after, const QTimeZone& zone = kUtc) {
    const std::optional<QDateTime> n = nextRun(rule, at(after, zone), zone);
    return n ? n->toTimeZone(zone).toString("yyyy-MM-dd HH:mm ddd").toStdString() : "never";
}

// The runs systemd's calendar gives after `base` on the clock of `zone`.
std::vector<QDateTime> systemdRuns(const std::string& calendar, const QDateTime& base,
                                   const QTimeZone& zone, int count) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TZ", QString::fromUtf8(zone.id()));
    env.insert("LC_ALL", "C");
    p.setProcessEnvironment(env);
    p.start("systemd-analyze",
            {"calendar", "--iterations=" + QString::number(count),
             "--base-time=" + base.toUTC().toString("yyyy-MM-dd HH:mm:ss") + " UTC",
             QString::fromStdString(calendar)});
    EXPECT_TRUE(p.waitForFinished(60000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_EQ(p.exitCode(), 0) << calendar << "\n" << p.readAllStandardError().toStdString();
    std::vector<QDateTime> runs;
    static const QRegularExpression line(
        R"((?:Next elapse|Iter\. #\d+): \w+ (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d))");
    for (auto it = line.globalMatch(out); it.hasNext();) {
        const QDateTime local = QDateTime::fromString(it.next().captured(1), "yyyy-MM-dd HH:mm:ss");
        runs.emplace_back(local.date(), local.time(), zone);
    }
    return runs;
}

std::vector<QDateTime> ownRuns(const CalendarRule& rule, QDateTime after, const QTimeZone& zone,
                               int count) {
    std::vector<QDateTime> runs;
    while (static_cast<int>(runs.size()) < count) {
        const std::optional<QDateTime> n = nextRun(rule, after, zone);
        if (!n)
            break;
        runs.push_back(*n);
        after = *n;
    }
    return runs;
}

} // namespace

TEST(ScheduleCalendar, NextRunOnMonthEndsWeekdaysAndCronDays) {
    EXPECT_EQ(next(dailyRule(8, 0), "2026-01-31 09:00"), "2026-02-01 08:00 Sun");
    EXPECT_EQ(next(dailyRule(8, 0), "2026-01-31 07:59"), "2026-01-31 08:00 Sat");
    // The last day of each month, leap years included; a run is strictly after.
    const CalendarRule monthEnd = monthlyRule(8, 0, 0);
    EXPECT_EQ(next(monthEnd, "2026-01-31 10:00"), "2026-02-28 08:00 Sat");
    EXPECT_EQ(next(monthEnd, "2024-02-01 00:00"), "2024-02-29 08:00 Thu");
    EXPECT_EQ(next(monthEnd, "2026-04-30 08:00"), "2026-05-31 08:00 Sun");
    EXPECT_EQ(next(monthEnd, "2026-12-31 09:00"), "2027-01-31 08:00 Sun");
    EXPECT_EQ(next(monthlyRule(23, 30, 15), "2026-02-15 23:30"), "2026-03-15 23:30 Sun");
    // ISO weekdays: 1 Monday, 5 Friday, 7 Sunday.
    const CalendarRule week = weeklyRule(7, 15, {1, 5, 7});
    EXPECT_EQ(next(week, "2026-01-03 12:00"), "2026-01-04 07:15 Sun");
    EXPECT_EQ(next(week, "2026-01-05 07:15"), "2026-01-09 07:15 Fri");
    // Cron: a day the month lacks is passed over, the 31st of February never comes, and a
    // restricted day and weekday each let a day through.
    EXPECT_EQ(next(parseCronExpression("0 9 31 * *"), "2026-01-31 10:00"), "2026-03-31 09:00 Tue");
    EXPECT_EQ(next(parseCronExpression("0 0 31 2 *"), "2026-01-01 00:00"), "never");
    const CalendarRule either = parseCronExpression("0 9 13 * fri");
    EXPECT_EQ(next(either, "2026-02-06 10:00"), "2026-02-13 09:00 Fri");
    EXPECT_EQ(next(either, "2026-03-06 10:00"), "2026-03-13 09:00 Fri");
    EXPECT_EQ(next(either, "2026-04-06 10:00"), "2026-04-10 09:00 Fri");
    EXPECT_EQ(next(either, "2026-04-10 10:00"), "2026-04-13 09:00 Mon");
    const CalendarRule office = parseCronExpression("*/20 9-17 * jan,dec 1-5");
    EXPECT_EQ(next(office, "2026-12-31 17:40"), "2027-01-01 09:00 Fri");
    EXPECT_EQ(next(office, "2027-01-01 09:05"), "2027-01-01 09:20 Fri");
    EXPECT_EQ(next(parseCronExpression("30 6 * * 7"), "2026-01-01 00:00"), "2026-01-04 06:30 Sun");
}

TEST(ScheduleCalendar, LocalClockAndUtc) {
    // 08:00 in Shanghai (UTC+8 all year) is midnight UTC.
    const std::optional<QDateTime> n = nextRun(dailyRule(8, 0), at("2026-01-31 23:30"), kShanghai);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->toUTC().toString("yyyy-MM-dd HH:mm").toStdString(), "2026-02-01 00:00");
    // The last day of the month on that clock: 2026-02-28 16:00 UTC is already 1 March.
    const std::optional<QDateTime> end =
        nextRun(monthlyRule(0, 30, 0), at("2026-02-27 16:00"), kShanghai);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->toUTC().toString("yyyy-MM-dd HH:mm").toStdString(), "2026-02-27 16:30");
    EXPECT_EQ(next(monthlyRule(0, 30, 0), "2026-02-28 00:31", kShanghai), "2026-03-31 00:30 Tue");
}

TEST(ScheduleCalendar, BadExpressionsNameTheirField) {
    EXPECT_EQ(rgtest::errorOf([] { parseCronExpression("0 9 * *"); }),
              "定时表达式“0 9 * *”需要五项：分 时 日 月 周");
    EXPECT_EQ(rgtest::errorOf([] { parseCronExpression("61 9 * * *"); }),
              "定时表达式的分钟“61”无法识别（0-59）");
    EXPECT_EQ(rgtest::errorOf([] { parseCronExpression("0 9 * * 1-9"); }),
              "定时表达式的星期“1-9”无法识别（0-7）");
    EXPECT_EQ(rgtest::errorOf([] { parseCronExpression("0 9 5-1 * *"); }),
              "定时表达式的日“5-1”无法识别（1-31）");
    EXPECT_EQ(rgtest::errorOf([] { parseCronExpression("0 */0 * * *"); }),
              "定时表达式的小时“*/0”无法识别（0-23）");
    EXPECT_EQ(rgtest::errorOf([] { monthlyRule(8, 0, 31); }),
              "每月的日子“31”应在 1 至 28 之间，或选月末");
    EXPECT_EQ(rgtest::errorOf([] { weeklyRule(8, 0, {}); }), "每周运行需要至少选一天");
    EXPECT_EQ(rgtest::errorOf([] { dailyRule(24, 0); }), "时间“24:00”不存在");
}

TEST(ScheduleCalendar, TimerAndCrontabTexts) {
    EXPECT_EQ(onCalendarTexts(dailyRule(8, 5)), std::vector<std::string>{"*-*-* 08:05:00"});
    EXPECT_EQ(onCalendarTexts(weeklyRule(7, 0, {1, 2, 3, 5, 7})),
              std::vector<std::string>{"Mon..Wed,Fri,Sun *-*-* 07:00:00"});
    EXPECT_EQ(onCalendarTexts(monthlyRule(6, 30, 0)), std::vector<std::string>{"*-*~01 06:30:00"});
    EXPECT_EQ(onCalendarTexts(parseCronExpression("0,30 9-17 13 * 5")),
              (std::vector<std::string>{"*-*-13 09..17:00,30:00", "Fri *-*-* 09..17:00,30:00"}));
    EXPECT_EQ(cronFields(dailyRule(8, 5)).fields, "5 8 * * *");
    EXPECT_EQ(cronFields(weeklyRule(7, 0, {1, 2, 3, 5, 7})).fields, "0 7 * * 0-3,5");
    EXPECT_EQ(cronFields(parseCronExpression("*/20 9-17 * jan,dec mon-fri")).fields,
              "0,20,40 9-17 * 1,12 1-5");
    const CronFields end = cronFields(monthlyRule(6, 30, 0));
    EXPECT_EQ(end.fields, "30 6 28-31 * *");
    EXPECT_EQ(end.lastDayTest, "[ \"$(date -d tomorrow +\\%d)\" = 01 ]");
}

// What systemd makes of each OnCalendar= value is what the program computes, over a year of
// runs and on two clocks.
TEST(ScheduleCalendar, SystemdAgreesOnTheRuns) {
    const std::vector<CalendarRule> rules{
        dailyRule(23, 59),
        weeklyRule(7, 15, {1, 5, 7}),
        monthlyRule(8, 0, 0),
        monthlyRule(0, 0, 28),
        parseCronExpression("0 9 31 * *"),
        parseCronExpression("*/20 9-10 * feb,dec 1-5"),
    };
    for (const QTimeZone& zone : {kUtc, kShanghai}) {
        const QDateTime base = at("2027-12-30 12:00", zone);
        for (const CalendarRule& rule : rules) {
            const std::string calendar = onCalendarTexts(rule).front();
            std::vector<QDateTime> theirs = systemdRuns(calendar, base, zone, 14);
            std::vector<QDateTime> ours = ownRuns(rule, base, zone, 14);
            ASSERT_EQ(theirs.size(), 14u) << calendar;
            for (size_t i = 0; i < theirs.size(); ++i)
                EXPECT_EQ(ours[i].toUTC().toString(Qt::ISODate).toStdString(),
                          theirs[i].toUTC().toString(Qt::ISODate).toStdString())
                    << calendar << " run " << i << " on " << zone.id().toStdString();
        }
    }
}
