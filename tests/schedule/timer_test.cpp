// What starts a schedule: systemd user units that systemd itself checks, and crontab lines
// written, listed and removed in a private crontab that the test keeps, their commands run
// by the shell as cron runs them.

#include "schedule/scheduletimer.h"

#include "schedulefixture.h"

#include "testfiles.h"
#include "testsupport.h"

#include <QDate>
#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace rg;
using rg::test::writeBytes;

namespace {

// A name with what unit files and shells read specially.
const std::string kAwkward = "周报 50% $HOME \"x\"\\y '单引号'";

Schedule weekly(const std::string& id, const std::string& name = kAwkward) {
    Schedule s;
    s.name = name;
    s.id = id;
    s.setupFile = "/srv/报表/销售明细.ini";
    s.kind = ScheduleKind::Weekly;
    s.hour = 7;
    s.minute = 30;
    s.isoWeekdays = {1, 3, 5};
    s.folder = "/srv/out";
    return s;
}

struct Ran {
    int status = -1;
    std::string out, err;
};

Ran runProgram(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
}

// The command of a crontab line as cron hands it to the shell: after the five fields,
// with an escaped percent sign as a plain one.
std::string cronCommand(const std::string& line) {
    size_t at = 0;
    for (int field = 0; field < 5; ++field)
        at = line.find(' ', at) + 1;
    std::string command;
    for (size_t i = at; i < line.size(); ++i)
        if (!(line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '%'))
            command += line[i];
    return command;
}

} // namespace

TEST(ScheduleTimer, SystemdChecksTheUnitsItWouldRun) {
    const test::TempFolder folder;
    const std::string program = RG_BINARY_DIR "/reportgen";
    Schedule either = weekly("b2", "日或周五");
    either.kind = ScheduleKind::Cron;
    either.cron = "0 9 13 * 5";
    for (const Schedule& s : {weekly("a1"), either}) {
        writeBytes(folder / ("reportgen-schedule-" + s.id + ".service"),
                   serviceUnitText(s, program));
        writeBytes(folder / timerUnitName(s), timerUnitText(s));
    }
    EXPECT_EQ(serviceUnitText(weekly("a1"), program),
              "[Unit]\nDescription=报表生成器定时输出：周报 50%% $HOME \"x\"\\y '单引号'\n\n"
              "[Service]\nType=oneshot\nExecStart=\"" +
                  program + "\" \"--run-schedule\" \"周报 50%% $$HOME \\\"x\\\"\\\\y '单引号'\"\n");
    EXPECT_EQ(timerUnitText(either),
              "[Unit]\nDescription=报表生成器定时输出：日或周五\n\n[Timer]\n"
              "OnCalendar=*-*-13 09:00:00\nOnCalendar=Fri *-*-* 09:00:00\nPersistent=true\n"
              "Unit=reportgen-schedule-b2.service\n\n[Install]\nWantedBy=timers.target\n");
    const std::filesystem::path runtime = folder / "runtime";
    std::filesystem::create_directory(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((folder / "config").string()));
    const QString dir = QString::fromStdString(folder.path().string()) + "/";
    const Ran verified =
        runProgram("systemd-analyze",
                   {"verify", "--user", dir + "reportgen-schedule-a1.timer",
                    dir + "reportgen-schedule-a1.service", dir + "reportgen-schedule-b2.timer",
                    dir + "reportgen-schedule-b2.service"},
                   env);
    EXPECT_EQ(verified.status, 0) << verified.err;
    EXPECT_EQ(verified.err, "");
    // A timer that systemd would refuse is caught by the same check.
    writeBytes(folder / "reportgen-schedule-c3.timer", "[Timer]\nOnCalendar=周一 08:00\n");
    EXPECT_NE(runProgram("systemd-analyze",
                         {"verify", "--user", dir + "reportgen-schedule-c3.timer"}, env)
                  .status,
              0);
}

TEST(ScheduleTimer, CrontabLinesAreWrittenListedAndRemovedKeepingTheOthers) {
    const test::TempFolder folder;
    const std::string table = (folder / "table").string();
    const std::string crontab = privateCrontab(folder.path());
    TimerPlace place;
    place.crontab = QString::fromStdString(crontab);
    place.program = "/bin/echo";
    EXPECT_TRUE(installedTimers(place).empty());
    installTimer(place, weekly("a1"));
    EXPECT_EQ(test::readBytes(table),
              "30 7 * * 1,3,5 '/bin/echo' --run-schedule '周报 50'\\%' $HOME \"x\"\\y "
              "'\\''单引号'\\''' # reportgen-schedule:a1\n");
    // The shell runs the command as cron hands it over, the name arriving whole.
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    Ran ran = runProgram(
        "/bin/sh",
        {"-c", QString::fromStdString(cronCommand(crontabLine(weekly("a1"), "/bin/echo")))}, env);
    EXPECT_EQ(ran.out, "--run-schedule " + kAwkward + "\n");
    // The user's own lines stay; a schedule installed again replaces its line.
    writeBytes(table, "MAILTO=me@example.com\n0 1 * * * backup # mine\n" + test::readBytes(table));
    Schedule monthEnd = weekly("b2", "月末");
    monthEnd.kind = ScheduleKind::Monthly;
    monthEnd.monthDay = 0;
    installTimer(place, monthEnd);
    Schedule later = weekly("a1");
    later.hour = 9;
    installTimer(place, later);
    std::vector<std::string> ids = installedTimers(place);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"a1", "b2"}));
    const std::string lines = test::readBytes(table);
    EXPECT_TRUE(lines.starts_with("MAILTO=me@example.com\n0 1 * * * backup # mine\n"
                                  "30 7 28-31 * * [ \"$(date -d tomorrow +\\%d)\" = 01 ] && "
                                  "'/bin/echo' --run-schedule '月末' # reportgen-schedule:b2\n"
                                  "30 9 * * 1,3,5 "))
        << lines;
    // The month-end line runs on the last day alone.
    ran = runProgram(
        "/bin/sh", {"-c", QString::fromStdString(cronCommand(crontabLine(monthEnd, "/bin/echo")))},
        env);
    const bool lastDay = QDate::currentDate().addDays(1).day() == 1;
    EXPECT_EQ(ran.out, lastDay ? "--run-schedule 月末\n" : "");
    removeTimer(place, "a1");
    removeTimer(place, "gone");
    EXPECT_EQ(installedTimers(place), std::vector<std::string>{"b2"});
    EXPECT_TRUE(
        test::readBytes(table).starts_with("MAILTO=me@example.com\n0 1 * * * backup # mine\n"));
    // A crontab that fails is reported, not taken for an empty one.
    writeBytes(crontab, "#!/bin/sh\necho 'cannot read spool' >&2\nexit 1\n");
    EXPECT_EQ(rgtest::errorOf([&] { installTimer(place, weekly("a1")); }),
              "crontab -l 失败：cannot read spool\n");
}

TEST(ScheduleTimer, UnitFilesAreListedAndRemovedWithTheirService) {
    const test::TempFolder folder;
    TimerPlace place;
    place.unitFolder = QString::fromStdString((folder / "systemd/user").string());
    place.systemd = true;
    // No user instance of systemd runs where the tests run: systemctl's part is taken by a
    // program that succeeds, and the files are what is checked.
    place.systemctl = "true";
    place.program = RG_BINARY_DIR "/reportgen";
    installTimer(place, weekly("a1"));
    installTimer(place, weekly("b2", "另一个"));
    std::vector<std::string> ids = installedTimers(place);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"a1", "b2"}));
    EXPECT_EQ(test::readBytes(folder / "systemd/user/reportgen-schedule-a1.timer"),
              timerUnitText(weekly("a1")));
    removeTimer(place, "a1");
    EXPECT_EQ(installedTimers(place), std::vector<std::string>{"b2"});
    EXPECT_FALSE(std::filesystem::exists(folder / "systemd/user/reportgen-schedule-a1.service"));
    place.systemctl = "false";
    EXPECT_NE(rgtest::errorOf([&] {
                  removeTimer(place, "b2");
              }).find("false --user disable --now reportgen-schedule-b2.timer 失败"),
              std::string::npos);
}
