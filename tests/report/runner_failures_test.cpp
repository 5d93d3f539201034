// The runner when things go wrong: failed and killed writes, setups from elsewhere, refused
// commands, time limits and entries that cannot be applied.
#include "app/runner.h"
#include "fullfilesystem.h"
#include "runnertest.h"

#include "odbcsession.h"
#include "setup/setup.h"
#include "silentserver.h"
#include "testdb.h"
#include "testfiles.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sched.h>
#include <set>
#include <spawn.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void putBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> hiddenIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string()[0] == '.')
            names.push_back(e.path().filename().string());
    return names;
}

} // namespace

// The runner reports every failed write with exit status 1 and its reason, and the file that
// was there stays as it was: a device as output, a standard output that takes nothing, a
// full file system for the output and for --save-as.
TEST_F(RunnerFixture, FailedWritesExitOneAndKeepTheOldFile) {
    const RunResult device =
        reportgen("--run " + ini + " --format csv --output /dev/full", db.folder);
    EXPECT_EQ(device.status, 1);
    EXPECT_EQ(device.err,
              "Cannot create file \"/dev/full\". 不是普通文件（设备、管道或套接字），不能写入\n");
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    const RunResult stdoutFull = reportgen("--run " + ini + " --format csv >/dev/full", db.folder);
    EXPECT_EQ(stdoutFull.status, 1);
    EXPECT_EQ(stdoutFull.err, "无法写入标准输出：磁盘空间不足\n");

    const std::string full = db.folder + "/full";
    rgtest::FullFileSystem fs(full);
    if (!fs.mounted())
        GTEST_SKIP() << "a full file system needs root to mount a small tmpfs; not tested here";
    const std::string old = "kind,level\r\nold report\r\n";
    for (const char* name : {"/out.csv", "/out.xls", "/out.xml", "/out.txt"})
        putBytes(full + name, old);
    const std::string savedSetup = bytesOf(ini);
    putBytes(full + "/copy.ini", savedSetup);
    fs.fill();
    for (const auto& [format, name] : {std::pair{"csv", "/out.csv"},
                                       {"xls", "/out.xls"},
                                       {"xml", "/out.xml"},
                                       {"text", "/out.txt"}}) {
        const RunResult r = reportgen(
            "--run " + ini + " --format " + format + " --output " + full + name, db.folder);
        EXPECT_EQ(r.status, 1) << format;
        // The XML document's style sheet is written first and fails first.
        const std::string failed = format == std::string("xml") ? "/out.xsl" : name;
        EXPECT_EQ(r.err, "无法写入文件“" + full + failed + "”：磁盘空间不足\n") << format;
        EXPECT_EQ(bytesOf(full + name), old) << format;
    }
    const RunResult save = reportgen("--run " + ini + " --group-by region --format csv --save-as " +
                                         full + "/copy.ini",
                                     db.folder);
    EXPECT_EQ(save.status, 1);
    EXPECT_NE(save.err.find("磁盘空间不足"), std::string::npos) << save.err;
    EXPECT_EQ(save.out, "");
    EXPECT_EQ(bytesOf(full + "/copy.ini"), savedSetup);
    EXPECT_EQ(hiddenIn(full), std::vector<std::string>{".filler"});
}

// A save killed at any moment leaves the old setup or the new one, byte for byte; the
// temporary files of killed saves go at the next save into the folder.
TEST_F(RunnerFixture, KilledSavesLeaveTheOldOrTheNewSetup) {
    const std::string target = db.folder + "/target.ini";
    const std::string args =
        "--run " + ini + " --group-by region,city --filter \"amount > 1\" --format csv --save-as " +
        target;
    {
        rg::TSetup other(target);
        other.WriteConnString("Provider=SQLite;Data Source=/elsewhere.db");
        other.WriteCommandType("cmdText");
        other.WriteCommandText("select 1 as x");
        other.WriteKeyField("x");
        other.WriteField("x", "旧的报表");
    }
    const std::string oldBytes = bytesOf(target);
    ASSERT_EQ(reportgen(args + " >/dev/null", db.folder).status, 0);
    const std::string newBytes = bytesOf(target);
    ASSERT_NE(newBytes, oldBytes);

    const std::string program = std::string(RG_BINARY_DIR) + "/reportgen";
    const std::vector<std::string> argv = {
        program,      "--run",    ini,   "--group-by", "region,city",          "--filter",
        "amount > 1", "--format", "csv", "--output",   db.folder + "/out.csv", "--save-as",
        target};
    std::vector<char*> cargv;
    for (const auto& a : argv)
        cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);
    // Each round kills the run at one state of the save: before it begins, while its
    // temporary file is being written (empty or with content), or once it has replaced
    // the target.
    auto temporaryOfTarget = [&](bool withContent) {
        for (const auto& e : std::filesystem::directory_iterator(db.folder)) {
            const std::string name = e.path().filename().string();
            std::error_code ec;
            if (name.rfind(".target.ini.rgtmp-", 0) == 0 &&
                (!withContent || std::filesystem::file_size(e.path(), ec) > 0))
                return true;
        }
        return false;
    };
    int olds = 0, news = 0;
    for (int i = 0; i < 60; ++i) {
        putBytes(target, oldBytes);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, cargv.data(), environ), 0);
        auto running = [&] { return ::waitpid(pid, nullptr, WNOHANG) == 0; };
        if (i % 4 == 1 || i % 4 == 2)
            while (!temporaryOfTarget(i % 4 == 2) && running())
                sched_yield();
        if (i % 4 == 3)
            while (bytesOf(target) == oldBytes && running())
                sched_yield();
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string now = bytesOf(target);
        ASSERT_TRUE(now == oldBytes || now == newBytes) << "kill " << i << " left a mixture:\n"
                                                        << now;
        (now == oldBytes ? olds : news)++;
    }
    // Both outcomes occurred, so the kills did land during the save.
    EXPECT_GT(olds, 0);
    EXPECT_GT(news, 0);
    ASSERT_EQ(reportgen(args + " >/dev/null", db.folder).status, 0);
    EXPECT_EQ(hiddenIn(db.folder), std::vector<std::string>{});
    rg::TSetup loaded(target);
    EXPECT_EQ(loaded.ReadCommandText(), "sales");
}

// Setups travel: one naming a library as its driver or through LoadExt is refused without
// loading it, and one written by the original program with an OLE DB string runs and is
// saved back with that string unchanged.
TEST_F(RunnerFixture, SetupsFromElsewhereLoadNoCodeAndKeepTheirStrings) {
    const std::string marker = db.folder + "/loaded";
    const std::string lib = RG_MARKER_LIB;
    ::setenv("RG_MARKER_FILE", marker.c_str(), 1);
    for (const auto& [cs, named] :
         {std::pair{"Driver=" + lib + ";Database=" + db.path, "Driver=" + lib},
          {"Driver={SQLite3};Database=" + db.path + ";LoadExt=" + lib, "LoadExt"}}) {
        rg::TSetup(ini).WriteConnString(cs);
        const RunResult r = reportgen("--run " + ini + " --format csv", db.folder);
        EXPECT_EQ(r.status, 1) << cs;
        EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(marker)) << cs;
    }
    ::unsetenv("RG_MARKER_FILE");

    const std::string oledb = "Provider=MSDASQL.1;Persist Security Info=False;Extended "
                              "Properties=\"Driver={SQLite3};Database=" +
                              db.path + "\"";
    rg::TSetup(ini).WriteConnString(oledb);
    const std::string copy = db.folder + "/copy.ini";
    const RunResult r = reportgen("--run " + ini + " --format csv --save-as " + copy, db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("data,0,2,华北,北京,20"), std::string::npos) << r.out;
    EXPECT_EQ(rg::TSetup(copy).ReadConnString(), oledb);
}

// A setup whose command writes ends with status 1 and says why; the table is as it was, and
// no rows that a DELETE ... RETURNING would have handed back are printed.
TEST_F(RunnerFixture, ACommandThatWritesIsRefused) {
    for (const char* sql : {"DROP TABLE sales", "DELETE FROM sales RETURNING *"}) {
        rg::TSetup s(ini);
        s.WriteCommandType("cmdText");
        s.WriteCommandText(sql);
        const RunResult r = reportgen("--run " + ini + " --format csv", db.folder);
        EXPECT_EQ(r.status, 1) << sql;
        EXPECT_EQ(r.out, "") << sql;
        EXPECT_NE(r.err.find("报表命令试图修改数据库，已拒绝"), std::string::npos) << r.err;
    }
    rg::TSetup s(ini);
    s.WriteCommandText("SELECT * FROM sales");
    const RunResult r = reportgen("--run " + ini + " --format csv", db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("data,0,2,华北,北京,20"), std::string::npos) << r.out;
}

// An .xls whose texts GBK cannot hold is written, and standard error says what changed.
TEST_F(RunnerFixture, XlsNoticeGoesToStandardError) {
    rg::TSetup(ini).WriteField("city", "城市 😀");
    const std::string out = db.folder + "/r.xls";
    const RunResult r = reportgen("--run " + ini + " --format xls --output " + out, db.folder);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.err,
        "有 1 个单元格的文字无法完整写入 .xls 文件：GBK 以外的字符写成了“?”，过长的文字被截断。"
        "输出为 Excel 工作簿（.xlsx）可保留完整的文字。\n");
    EXPECT_TRUE(std::filesystem::exists(out));
}

// The time limit stops a run whose query does not end (an endless one on SQLite, one that
// waits for a table another session holds on PostgreSQL) with status 1 and a message, and
// writes nothing.
TEST_F(RunnerFixture, TimeoutStopsARunThatDoesNotEnd) {
    const std::string out = db.folder + "/never.csv";
    {
        rg::TSetup s(ini);
        s.WriteCommandType("cmdText");
        s.WriteCommandText("WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s) SELECT "
                           "count(*) AS id FROM s");
    }
    RunResult r =
        reportgen("--run " + ini + " --timeout 1 --format csv --output " + out, db.folder);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "超过时限：1 秒内没有完成，已停止。\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(out));

    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession other(pg);
    other.exec("CREATE TABLE IF NOT EXISTS rg_runner_locked(id integer primary key)");
    other.commit();
    other.exec("LOCK TABLE rg_runner_locked IN ACCESS EXCLUSIVE MODE");
    {
        rg::TSetup s(ini);
        s.WriteConnString(pg);
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("rg_runner_locked");
    }
    r = reportgen("--run " + ini + " --timeout 2", db.folder);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "超过时限：2 秒内没有完成，已停止。\n");
    other.rollback();
    // Once the other session lets go the run ends well within a limit that even a busy
    // machine does not reach.
    r = reportgen("--run " + ini + " --timeout 600", db.folder);
    EXPECT_EQ(r.status, 0) << r.err;

    // A server that never answers the connect.
    rgtest::SilentServer silent;
    {
        rg::TSetup s(ini);
        s.WriteConnString("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" +
                          std::to_string(silent.port()) + ";Database=x;Uid=a;Pwd=b");
    }
    r = reportgen("--run " + ini + " --timeout 1", db.folder);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "超过时限：1 秒内没有完成，已停止。\n");
}

// A saved filter, grouping, sort or summary that cannot be read or applied ends the run
// with status 1 and a message naming it, before any output; one whose field is gone is
// skipped, and a notice on standard error says so. A setup file that is not there or is
// no file says that, not what an empty setup would fail with.
TEST_F(RunnerFixture, SetupsThatCannotBeAppliedSaySo) {
    const std::string plain = bytesOf(ini);
    const std::string broken = db.folder + "/broken.ini";
    auto runBroken = [&](const std::function<void(rg::TSetup&)>& spoil) {
        putBytes(broken, plain);
        rg::TSetup s(broken);
        spoil(s);
        return reportgen("--run " + broken + " --format csv", db.folder);
    };
    const std::vector<std::pair<std::function<void(rg::TSetup&)>, std::string>> cases = {
        {[](rg::TSetup& s) { s.WriteFilterText("id = 1 )"); },
         "设置文件中的筛选条件“id = 1 )”无法使用：Invalid filter expression: id = 1 )"},
        {[](rg::TSetup& s) { s.WriteColumnFilter("city", "AND\t=\ttext"); },
         "设置文件中的字段“city”的筛选条件无法使用：无法识别“AND\t=\ttext”"},
        {[](rg::TSetup& s) { s.WriteColumnFilter("amount", "AND\t=\ttext\tten"); },
         "设置文件中的字段“amount”的筛选条件无法使用：'ten' is not a valid number"},
        {[](rg::TSetup& s) { s.WriteValue("GroupColumns", "Count", "two"); },
         "设置文件中的列表 [GroupColumns] 无法使用：项目数“two”不是数目"},
        {[](rg::TSetup& s) {
             s.WriteValue("GroupColumns", "1", "region");
             s.WriteValue("GroupColumns", "Count", "2");
         },
         "设置文件中的列表 [GroupColumns] 无法使用：缺少第 2 项"},
        {[](rg::TSetup& s) { s.WriteSortedColumn("city", "sideways"); },
         "设置文件中的字段“city”的排序无法使用：无法识别“sideways”"},
        {[](rg::TSetup& s) { s.WriteSummaryField("amount", "cstmedian"); },
         "设置文件中的字段“amount”的汇总方式无法使用：无法识别“cstmedian”"},
        {[](rg::TSetup& s) {
             s.WriteGroupRowSummaries({{"amount", "cstsum"}, {"city", "cstmode"}});
         },
         "设置文件中的字段“city”的分组行汇总无法使用：无法识别“cstmode”"},
        {[](rg::TSetup& s) {
             s.WriteValue("GroupRowSummaries", "1", "cstsum");
             s.WriteValue("GroupRowSummaries", "Count", "1");
         },
         "设置文件中的分组行汇总无法使用：无法识别“cstsum”"},
    };
    for (const auto& [spoil, message] : cases) {
        const RunResult r = runBroken(spoil);
        EXPECT_EQ(r.status, 1) << message;
        EXPECT_EQ(r.out, "") << message;
        EXPECT_EQ(r.err, message + "\n");
    }

    // Entries whose field is gone: the report runs with the rest, grouped by region.
    const RunResult gone = runBroken([](rg::TSetup& s) {
        s.WriteSummaryField("district", "cstsum");
        s.WriteColumnFilter("district", "AND\t=\ttext\t上海");
        s.WriteFilterText("district = '上海'");
        s.WriteGroupColumns({"district", "region"});
        s.WriteSortedColumn("district", "csUp");
    });
    EXPECT_EQ(gone.status, 0);
    EXPECT_EQ(gone.err, "设置文件中以下项目的字段已不存在，已跳过：汇总 district；筛选 district；"
                        "筛选条件 district = '上海'；分组 district；排序 district\n");
    EXPECT_NE(gone.out.find("group,0,地区 : 华东 \r\n"), std::string::npos) << gone.out;
    EXPECT_NE(gone.out.find("total,,,,37.75\r\n"), std::string::npos) << gone.out;

    // A key field that is gone leaves the grid without rows: the notice says why it is empty.
    const RunResult noKey = runBroken([](rg::TSetup& s) { s.WriteKeyField("gone_id"); });
    EXPECT_EQ(noKey.status, 0);
    EXPECT_EQ(noKey.err, "设置文件中以下项目的字段已不存在，已跳过：关键字 gone_id\n");

    const std::string missing = db.folder + "/none.ini";
    EXPECT_EQ(reportgen("--run " + missing, db.folder).err, "找不到设置文件：" + missing + "\n");
    const std::string fifo = db.folder + "/pipe.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& special : {fifo, std::string("/dev/zero")}) {
        const RunResult r = reportgen("--run " + special, db.folder);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "无法读取设置文件“" + special + "”：不是普通文件（设备、管道或套接字）\n");
    }
    EXPECT_EQ(reportgen("--run " + db.folder, db.folder).err,
              "无法读取设置文件“" + db.folder + "”：这是一个文件夹\n");
}

// LIKE over long patterns: runs of "%" count as one, each "_" takes one character, and a
// pattern longer than every text matches none of them.
TEST_F(RunnerFixture, LikeTakesLongPatternsAsWritten) {
    auto cities = [&](const std::string& filter) {
        const RunResult r =
            reportgen("--run " + ini + " --format csv --filter \"" + filter + "\"", db.folder);
        EXPECT_EQ(r.status, 0) << r.err;
        std::string found;
        for (const char* city : {"上海", "北京", "杭州"})
            if (r.out.find(city) != std::string::npos)
                found += city;
        return found;
    };
    EXPECT_EQ(cities("city LIKE '" + std::string(100000, '%') + "海'"), "上海");
    EXPECT_EQ(cities("city LIKE '_海' OR city LIKE '%州%%'"), "上海杭州");
    EXPECT_EQ(cities("city NOT LIKE '" + std::string(60000, '_') + "'"), "上海北京杭州");
    EXPECT_EQ(cities("city LIKE '" + std::string(60000, '_') + "'"), "");
    EXPECT_EQ(cities("city LIKE '%%_%%_%%'"), "上海北京杭州");
    EXPECT_EQ(cities("city LIKE '%%_%%_%%_%'"), "");
    // A "%" in the text is matched by the pattern's "%" as a wildcard like any character.
    {
        rg::TSetup s(ini);
        s.WriteCommandType("cmdText");
        s.WriteCommandText("select id, region, '%' || city as city, amount from sales");
    }
    EXPECT_EQ(cities("city LIKE '%海'"), "上海");
    EXPECT_EQ(cities("city LIKE '%%%州'"), "杭州");
}
