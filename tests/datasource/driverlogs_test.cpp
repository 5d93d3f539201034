#include "common/error.h"
#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "datasource/driverlogs.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <odbcinst.h>

#include <cctype>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace rg;

namespace {

// What a driver writes when it logs: psqlODBC's communication and debug logs, named after
// the process, and MariaDB's trace file. Other programs running beside the test may leave
// their own logs in /tmp.
std::set<std::string> logFiles(const std::string& folder) {
    const std::string ours = std::to_string(::getpid()) + ".log";
    std::set<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        const bool psqlodbc =
            (name.rfind("psqlodbc_", 0) == 0 || name.rfind("mylog_", 0) == 0) &&
            name.size() > ours.size() &&
            name.compare(name.size() - ours.size(), ours.size(), ours) == 0 &&
            !std::isdigit(static_cast<unsigned char>(name[name.size() - ours.size() - 1]));
        if (psqlodbc || name.find("maodbc") != std::string::npos)
            names.insert(folder + "/" + name);
    }
    ::closedir(dir);
    return names;
}

std::string openError(const std::string& cs) {
    return rgtest::errorOf([&] {
        Connection conn;
        conn.SetConnectionString(cs);
        DataSet ds(&conn);
        ds.SetCommandText("SELECT 1");
        ds.Open();
        ds.Close();
        conn.Close();
    });
}

// Every way to switch a log on from a setup, by long name, abbreviation or option bit, on
// the suite's servers; and the connections that must open without any log: plain ones
// (Debian's odbcinst.ini switches psqlODBC's communication log on) and data sources whose
// settings switch the logs on.
void connectEveryWay(const std::string& home) {
    const std::string pg = rgtest::pgConnectionString();
    const std::string maria = rgtest::mariadbConnectionString();
    ASSERT_FALSE(pg.empty() || maria.empty()) << "RG_TEST_PG and RG_TEST_MARIADB are not set: run "
                                                 "the tests through scripts/test.sh";
    const std::pair<std::string, std::string> refused[] = {
        {pg + ";B2=1", "属性 B2 "},
        {pg + ";CX=1fffffffff", "属性 CX "},
        {pg + ";Debug=1", "属性 Debug "},
        {pg + ";CommLog=1", "属性 CommLog "},
        {pg + ";B3=1", "属性 B3 "},
        {maria + ";OPTIONS=4", "属性 OPTIONS=4 "},
        {maria + ";OPTION=4", "属性 OPTION=4 "},
        {maria + ";OPTIONS=2052", "属性 OPTIONS=2052 "},
        {maria + ";TRACE=1", "属性 TRACE "},
    };
    for (const auto& [cs, named] : refused)
        EXPECT_NE(openError(cs).find(named), std::string::npos) << cs << "\n" << openError(cs);

    const ConnParts p = parseConnectionString(pg), m = parseConnectionString(maria);
    const std::string ini = home + "/odbc.ini";
    std::ofstream(ini) << "[rg_pg_logs]\nDriver=PostgreSQL Unicode\nServername="
                       << connValue(p, "Server") << "\nPort=" << connValue(p, "Port")
                       << "\nDatabase=" << connValue(p, "Database")
                       << "\nCommLog=1\nDebug=1\n[rg_maria_logs]\nDriver=MariaDB Unicode\nServer="
                       << connValue(m, "Server") << "\nPort=" << connValue(m, "Port")
                       << "\nDatabase=" << connValue(m, "Database") << "\nOPTION=4\n";
    ::setenv("ODBCINI", ini.c_str(), 1);
    const std::string opened[] = {
        pg,
        maria,
        maria + ";OPTIONS=3",
        "DSN=rg_pg_logs;Uid=" + connValue(p, "Uid") + ";Pwd=" + connValue(p, "Pwd"),
        "DSN=rg_maria_logs;Uid=" + connValue(m, "Uid") + ";Pwd=" + connValue(m, "Pwd"),
    };
    for (const std::string& cs : opened)
        EXPECT_EQ(openError(cs), "(no error)") << cs;
    ::unsetenv("ODBCINI");
    ::unlink(ini.c_str());
}

std::string tempHome() {
    std::string home = "/tmp/rg_logs_home_XXXXXX";
    if (!::mkdtemp(home.data()))
        return {};
    return home;
}

std::string selfPath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The files the traced process opened for writing, except the devices, the copy of
// odbcinst.ini in its cache folder and the test's own odbc.ini.
std::set<std::string> writtenFiles(const std::string& trace, const std::string& home) {
    std::set<std::string> written;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        const bool writes = line.find("O_WRONLY") != std::string::npos ||
                            line.find("O_RDWR") != std::string::npos ||
                            line.find("O_CREAT") != std::string::npos ||
                            line.find("creat(") != std::string::npos;
        const size_t open = line.find('"'), close = line.find('"', open + 1);
        if (!writes || line.find(" = -1 ") != std::string::npos || close == std::string::npos)
            continue;
        const std::string path = line.substr(open + 1, close - open - 1);
        if (path.rfind("/dev/", 0) != 0 && path.rfind(home + "/.cache/reportgen/odbc/", 0) != 0 &&
            path != home + "/odbc.ini")
            written.insert(path);
    }
    return written;
}

} // namespace

// The copy of odbcinst.ini the driver manager reads in this process has every log switch
// off, while the driver's other settings stay.
TEST(DriverLogs, TheDriverManagerReadsLogSwitchesOff) {
    EXPECT_EQ(
        withDriverLogsOff("[ODBC]\nTrace=Yes\nTraceFile=/tmp/sql.log\n\n[PostgreSQL Unicode]\r\n"
                          "Driver=psqlodbcw.so\r\nDebug = 0\r\nCommLog=1\r\n"),
        "[ODBC]\nTrace=No\nTraceFile=/tmp/sql.log\n\n[PostgreSQL Unicode]\r\n"
        "Driver=psqlodbcw.so\r\nDebug = 0\r\nCommLog=0\r\n");
    std::ifstream system("/etc/odbcinst.ini");
    std::stringstream text;
    text << system.rdbuf();
    if (withDriverLogsOff(text.str()) == text.str())
        GTEST_SKIP() << "/etc/odbcinst.ini switches no log on";
    // Set up before the first test, as before any ODBC call of the program.
    ASSERT_NE(::getenv("ODBCSYSINI"), nullptr);
    char value[64] = {0};
    SQLGetPrivateProfileString("PostgreSQL Unicode", "CommLog", "", value, sizeof value,
                               "odbcinst.ini");
    EXPECT_STREQ(value, "0");
    SQLGetPrivateProfileString("PostgreSQL Unicode", "Driver", "", value, sizeof value,
                               "odbcinst.ini");
    EXPECT_STREQ(value, "psqlodbcw.so");
}

// No log file appears, in /tmp or the home folder, whatever a setup's string or a data
// source says; traced, a child doing the same opens no file for writing at all.
TEST(DriverLogs, NoLogFileFromAnyConnection) {
    const std::string home = tempHome();
    ASSERT_FALSE(home.empty());
    const std::string realHome = ::getenv("HOME") ? ::getenv("HOME") : "";
    ::setenv("HOME", home.c_str(), 1);
    const std::set<std::string> before = logFiles("/tmp");
    connectEveryWay(home);
    EXPECT_EQ(logFiles("/tmp"), before);
    EXPECT_EQ(logFiles(home), std::set<std::string>());
    ::setenv("HOME", realHome.c_str(), 1);

    if (std::system("command -v strace >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed: only /tmp and the home folder were checked";
    const std::string trace = home + "/trace.txt";
    const std::string command =
        "HOME=" + home + " RG_LOGS_CHILD=1 strace -f -qq -e trace=open,openat,creat -o " + trace +
        " " + selfPath() +
        " --gtest_also_run_disabled_tests --gtest_filter=DriverLogs.DISABLED_InAChild"
        " >" +
        home + "/child.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream child(home + "/child.txt");
    std::stringstream childOutput;
    childOutput << child.rdbuf();
    EXPECT_NE(childOutput.str().find("[  PASSED  ] 1 test"), std::string::npos)
        << childOutput.str();
    EXPECT_EQ(writtenFiles(trace, home), std::set<std::string>());
    EXPECT_EQ(logFiles(home), std::set<std::string>());
    std::system(("rm -rf " + home).c_str());
}

// The traced process of the test above.
TEST(DriverLogs, DISABLED_InAChild) {
    ASSERT_NE(::getenv("RG_LOGS_CHILD"), nullptr);
    connectEveryWay(::getenv("HOME"));
}
