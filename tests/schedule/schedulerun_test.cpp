// Schedules run by the real program as their timer runs them: files named by the pattern
// and the period, a report without rows skipped, a failure that keeps the earlier files, and
// every run in the log. Also the schedules file itself.

#include "schedulefixture.h"

#include "schedule/schedulelog.h"
#include "schedule/schedulerun.h"
#include "testfiles.h"
#include "testsupport.h"

#include <QFile>

#include <sys/stat.h>

using namespace rg;

namespace {

std::string fileText(const std::string& path) {
    return rg::test::readBytes(path);
}

std::string logOf(const ScheduleFolders& folders, const std::string& name) {
    std::string text;
    for (const LogEntry& e : readLog(folders, name)) {
        EXPECT_TRUE(e.start.isValid() && e.end.isValid() && e.start <= e.end);
        text += std::string(outcomeCaption(e.outcome)) + "：" + e.message + "\n";
    }
    return text;
}

} // namespace

TEST_F(ScheduleRun, FilesNamedByThePeriodMoveIntoTheFolderWhole) {
    save({schedule});
    const RunResult r = run("月报", "2026-03-10");
    ASSERT_EQ(r.status, 0) << r.err;
    // {date} is the period the range's preset 上月 gives as of that day.
    EXPECT_EQ(filesIn(out),
              (std::vector<std::string>{"销售明细_2026年2月.csv", "销售明细_2026年2月.xlsx"}));
    EXPECT_EQ(fileText(out + "/销售明细_2026年2月.csv"),
              "kind,level,id,region,amount\r\ndata,0,2,华东,2\r\ndata,0,3,华东,4\r\n"
              "total,,,,6.00\r\n");
    EXPECT_EQ(fileText(out + "/销售明细_2026年2月.xlsx").substr(0, 2), "PK");
    EXPECT_EQ(logOf(folders, "月报"), "成功：2 行，写入 " + out + "\n");
    // Without a period the as-of day names the file; the next month's run adds its files.
    schedule.params = {{"开始", "@本月初"}, {"结束", "@今天"}, {"地区", "华东"}};
    schedule.formats = {"csv"};
    save({schedule});
    ASSERT_EQ(run("月报", "2026-03-10").status, 0);
    EXPECT_EQ(filesIn(out),
              (std::vector<std::string>{"销售明细_2026-03-10.csv", "销售明细_2026年2月.csv",
                                        "销售明细_2026年2月.xlsx"}));
    EXPECT_EQ(fileText(out + "/销售明细_2026-03-10.csv"),
              "kind,level,id,region,amount\r\ndata,0,5,华东,16\r\ntotal,,,,16.00\r\n");
}

TEST_F(ScheduleRun, AReportWithoutRowsIsSkippedWhenAskedAndWrittenOtherwise) {
    schedule.params = {{"地区", "华南"}};
    schedule.skipEmpty = true;
    Schedule written = schedule;
    written.name = "空报表也写";
    written.skipEmpty = false;
    save({schedule, written});
    RunResult r = run("月报", "2026-03-10");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out) && !filesIn(out).empty());
    EXPECT_EQ(logOf(folders, "月报"), "跳过：报表没有行，没有输出\n");
    r = run("空报表也写", "2026-03-10");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(filesIn(out),
              (std::vector<std::string>{"销售明细_2026年2月.csv", "销售明细_2026年2月.xlsx"}));
    EXPECT_EQ(logOf(folders, "空报表也写"), "成功：0 行，写入 " + out + "\n");
}

TEST_F(ScheduleRun, AFailedRunIsRetriedLoggedAndKeepsTheEarlierFiles) {
    schedule.retries = 2;
    save({schedule});
    ASSERT_EQ(run("月报", "2026-03-10").status, 0);
    const std::string before = fileText(out + "/销售明细_2026年2月.xlsx");
    dropOrders();
    const RunResult r = run("月报", "2026-03-10");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no such table: orders"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("（共试 3 次）"), std::string::npos) << r.err;
    // The earlier files are as they were, and no half-written file or staging folder stays.
    EXPECT_EQ(fileText(out + "/销售明细_2026年2月.xlsx"), before);
    EXPECT_EQ(filesIn(out),
              (std::vector<std::string>{"销售明细_2026年2月.csv", "销售明细_2026年2月.xlsx"}));
    const std::vector<LogEntry> log = readLog(folders, "月报");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].outcome, RunOutcome::Failed);
    EXPECT_EQ(log[1].message + "\n", r.err);
}

TEST_F(ScheduleRun, WhatCannotRunEndsWithItsReason) {
    save({schedule});
    RunResult r = run("周报", "2026-03-10");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "没有名为“周报”的定时输出（" + folders.file().toStdString() + "）\n");
    // A parameter without a value is not tried again.
    schedule.params.clear();
    schedule.retries = 5;
    save({schedule});
    r = run("月报", "2026-03-10");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "报表参数没有值：地区（用 --param 名称=值 给出）\n");
    EXPECT_EQ(logOf(folders, "月报"), "失败：报表参数没有值：地区（用 --param 名称=值 给出）\n");
    r = shell(RG_BINARY_DIR "/reportgen --run-schedule 月报 --as-of 2026-02-30", db.folder);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--as-of 需要日期 yyyy-MM-dd，而不是“2026-02-30”"), std::string::npos);
}

TEST_F(ScheduleRun, TheFileKeepsEverySettingForItsOwnerAlone) {
    Schedule other = schedule;
    other.name = "周报";
    other.id = newScheduleId({schedule});
    other.kind = ScheduleKind::Cron;
    other.cron = "0 8 * * 1-5";
    other.params = {{"开始", "@上周初"}, {"结束", "@上周末"}, {"地区", "O'Brien \"华东\""}};
    other.folder.clear();
    other.skipEmpty = true;
    other.retries = 3;
    other.retrySeconds = 120;
    other.mail = MailSettings{"mail.example.com",
                              465,
                              MailSecurity::Tls,
                              "reporter",
                              false,
                              "p\"w=1",
                              "报表 <reports@example.com>",
                              {"a@example.com", "b@example.com"},
                              "{report} {date}",
                              "第一行\n第二行\t{time}",
                              false};
    Schedule stored = other;
    stored.name = "密钥库";
    stored.mail->passwordInStore = true;
    save({schedule, other, stored});
    struct stat st {};
    ASSERT_EQ(::stat(folders.file().toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::vector<Schedule> back = readSchedules(folders);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].name, "月报");
    EXPECT_EQ(back[0].rule(), schedule.rule());
    EXPECT_EQ(back[1].params, other.params);
    EXPECT_EQ(back[1].rule(), parseCronExpression("0 8 * * 1-5"));
    EXPECT_TRUE(back[1].skipEmpty);
    EXPECT_EQ(back[1].retries, 3);
    EXPECT_EQ(back[1].retrySeconds, 120);
    ASSERT_TRUE(back[1].mail);
    EXPECT_EQ(back[1].mail->password, "p\"w=1");
    EXPECT_EQ(back[1].mail->security, MailSecurity::Tls);
    EXPECT_EQ(back[1].mail->to, other.mail->to);
    EXPECT_EQ(back[1].mail->body, "第一行\n第二行\t{time}");
    EXPECT_FALSE(back[1].mail->attach);
    // A password the secret store keeps is never written to the file.
    EXPECT_EQ(back[2].mail->password, "");
    QFile f(folders.file());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("p\\\"w=1"), 1);
    EXPECT_EQ(findSchedule(folders, "周报").id, other.id);
}

TEST(ScheduleNames, PatternsAndPlaceholders) {
    const PlaceholderValues v{"销售明细", "2026年2月", "0800"};
    EXPECT_EQ(fileNameOf("{report}_{date}", v, "xlsx"), "销售明细_2026年2月.xlsx");
    EXPECT_EQ(fileNameOf("销售明细_{date}.xlsx", v, "pdf"), "销售明细_2026年2月.pdf");
    EXPECT_EQ(fileNameOf("../{report}/{date}\n", v, "csv"), ".._销售明细_2026年2月_.csv");
    EXPECT_EQ(fileNameOf("{time}.", v, "csv"), "0800..csv");
    EXPECT_EQ(expandPlaceholders("{report}（{date}）{unknown}{", v),
              "销售明细（2026年2月）{unknown}{");
    Schedule s;
    s.name = "x";
    s.setupFile = "a.ini";
    EXPECT_EQ(rgtest::errorOf([&] { checkSchedule(s); }), "定时输出“x”既没有输出文件夹也没有邮件");
    s.folder = "/tmp";
    s.formats = {"docx"};
    EXPECT_NE(rgtest::errorOf([&] { checkSchedule(s); }).find("输出格式“docx”不存在"),
              std::string::npos);
    s.formats = {"pdf"};
    s.mail = MailSettings{};
    EXPECT_EQ(rgtest::errorOf([&] { checkSchedule(s); }), "定时输出“x”的邮件没有 SMTP 服务器");
    s.mail->host = "localhost";
    EXPECT_EQ(rgtest::errorOf([&] { checkSchedule(s); }), "定时输出“x”的邮件没有收件人");
    s.name = "a\nb";
    EXPECT_EQ(rgtest::errorOf([&] { checkSchedule(s); }), "定时输出的名称不能含控制字符");
}

// A schedule of a report on the PostgreSQL and MariaDB test servers: the presets and values
// are bound through their drivers as on SQLite.
TEST_F(ScheduleRun, ServerReportsRunWithTheirPresetsBound) {
    const std::pair<const char*, std::string> servers[] = {
        {"pg", rgtest::pgConnectionString()}, {"mariadb", rgtest::mariadbConnectionString()}};
    std::vector<Schedule> list;
    for (const auto& [name, conn] : servers) {
        ASSERT_FALSE(conn.empty()) << name << ": run the tests through scripts/test.sh";
        rg::Report report;
        report.source.connectionString = conn;
        report.source.commandType = "cmdText";
        report.source.commandText = "SELECT 1 AS n, CAST(:开始 AS DATE) AS day, :地区 AS region";
        report.source.sqlParameters = {{"开始", "date", "@上月初", {}, {}, {}},
                                       {"地区", "text", {}, {}, {}, {}}};
        report.keyField = "n";
        const std::string file = db.folder + "/" + name + ".ini";
        rg::TSetup s(file);
        s.BeginReport();
        rg::WriteReport(s, report);
        ASSERT_FALSE(s.EndReport());
        Schedule on = schedule;
        on.name = name;
        on.setupFile = file;
        on.params = {{"地区", "O'Brien 华东"}};
        on.formats = {"csv"};
        on.namePattern = "{report}_{date}";
        list.push_back(on);
    }
    save(list);
    for (const auto& [name, conn] : servers) {
        const RunResult r = run(name, "2026-03-10");
        ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        EXPECT_EQ(fileText(out + "/" + name + "_2026-03-10.csv"),
                  "kind,level,n,day,region\r\ndata,0,1,2026-02-01,O'Brien 华东\r\ntotal,,,,\r\n")
            << name;
    }
}
