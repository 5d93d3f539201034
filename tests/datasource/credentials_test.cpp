#include "common/error.h"
#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "datasource/driverlogs.h"
#include "datasource/passwordmask.h"
#include "setup/setup.h"
#include "silentserver.h"
#include "testfiles.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

using namespace rg;
using rgtest::errorOf;

namespace {

const char* const kStaysHome = "数据源保存的用户名和密码只发往它自己的服务器";

// A server on the loopback that takes each connection, keeps what the client sends first
// (a PostgreSQL client's startup message names its user) and hangs up.
class ListeningServer {
public:
    ListeningServer() : fd_(rgtest::listenOnLoopback(port_)) {
        thread_ = std::thread([this] { serve(); });
    }
    ~ListeningServer() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    ListeningServer(const ListeningServer&) = delete;
    ListeningServer& operator=(const ListeningServer&) = delete;
    int port() const { return port_; }
    int connections() const { return connections_; }

private:
    void serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            const int c = accept(fd_, nullptr, nullptr);
            if (c < 0)
                continue;
            ++connections_;
            pollfd q{c, POLLIN, 0};
            char buf[512];
            if (poll(&q, 1, 2000) > 0)
                (void)!read(c, buf, sizeof buf);
            close(c);
        }
    }
    int port_ = 0;
    int fd_ = -1;
    std::atomic<int> connections_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

std::string openError(const std::string& cs) {
    return errorOf([&] {
        Connection conn;
        conn.SetConnectionString(cs);
        DataSet ds(&conn);
        ds.SetCommandText("SELECT 1 AS one");
        ds.Open();
    });
}

} // namespace

// A data source keeps its stored user and password for its own server: a setup that names
// it cannot send them to a host or port of its choosing, directly or through an OLE DB
// string, unless it brings credentials of its own.
TEST(Credentials, ADataSourcesPasswordGoesOnlyToItsOwnServer) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    const ConnParts p = parseConnectionString(pg);
    rg::test::TempFolder folder;
    const std::string ini = (folder / "odbc.ini").string();
    std::ofstream(ini) << "[rg_corp]\nDriver=PostgreSQL Unicode\nServername="
                       << connValue(p, "Server") << "\nPort=" << connValue(p, "Port")
                       << "\nDatabase=" << connValue(p, "Database")
                       << "\nUsername=" << connValue(p, "Uid")
                       << "\nPassword=" << connValue(p, "Pwd") << "\n";
    ::setenv("ODBCINI", ini.c_str(), 1);
    ListeningServer fake;
    const std::string port = std::to_string(fake.port());
    for (const std::string& cs : std::vector<std::string>{
             "DSN=rg_corp;Server=127.0.0.1;Port=" + port,
             "DSN=rg_corp;port = " + port,
             "DSN=rg_corp;Servername={localhost}",
             "DSN=rg_corp;UID=" + connValue(p, "Uid") + ";Port=" + port,
             "DSN=rg_corp;Driver={MariaDB Unicode}",
             "Provider=MSDASQL;Extended Properties=\"DSN=rg_corp;Port=" + port + "\"",
         }) {
        const std::string error = openError(cs);
        EXPECT_NE(error.find(kStaysHome), std::string::npos) << cs << "\n" << error;
    }
    EXPECT_EQ(fake.connections(), 0);

    // Its own server, named again or not, takes it; a string with its own user and password
    // may go anywhere.
    EXPECT_EQ(openError("DSN=rg_corp"), "(no error)");
    EXPECT_EQ(openError("DSN=rg_corp;Port=" + connValue(p, "Port")), "(no error)");
    const std::string own = openError("DSN=rg_corp;Port=" + port + ";UID=someone;PWD=theirs");
    EXPECT_EQ(own.find(kStaysHome), std::string::npos) << own;
    EXPECT_GT(fake.connections(), 0);
    ::unsetenv("ODBCINI");

    // SQL a driver runs on connecting would run before the session is read-only.
    const std::string maria = rgtest::mariadbConnectionString();
    for (const std::string& cs : std::vector<std::string>{
             pg + ";ConnSettings=DROP TABLE rg_nothing", pg + ";A6=DROP TABLE rg_nothing",
             maria + ";INITSTMT=DROP TABLE rg_nothing"})
        EXPECT_NE(openError(cs).find("会在连接时执行 SQL 语句"), std::string::npos) << cs;
}

// The user's own ~/.odbcinst.ini switching the driver manager's trace and psqlODBC's logs
// on writes no trace and no log of the runner's connection, and neither does a runner
// without a home folder.
TEST(Credentials, NoTraceWhateverTheUsersConfiguration) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rg::test::TempFolder home;
    const std::string trace = (home / "trace.log").string();
    std::ofstream(home / ".odbcinst.ini") << "[ODBC]\nTrace=Yes\nTraceFile=" << trace
                                          << "\n[PostgreSQL Unicode]\nCommLog=1\nDebug=1\n";
    const std::string setup = (home / "report.ini").string();
    {
        TSetup s(setup);
        s.WriteConnString(pg);
        s.WriteCommandType("cmdText");
        s.WriteCommandText("SELECT 1 AS id");
        s.WriteKeyField("id");
    }
    const std::string runner = std::string(RG_BINARY_DIR) + "/reportgen --run '" + setup +
                               "' --format csv >/dev/null 2>'" + (home / "err.txt").string() + "'";
    EXPECT_EQ(std::system(
                  ("env -u XDG_CACHE_HOME HOME='" + home.path().string() + "' " + runner).c_str()),
              0)
        << rg::test::readBytes((home / "err.txt").string());
    EXPECT_FALSE(std::filesystem::exists(trace)) << rg::test::readBytes(trace);

    // Without a home folder the copy goes to a private temporary folder.
    const std::string tmp = (home / "tmp").string();
    std::filesystem::create_directory(tmp);
    EXPECT_EQ(std::system(("env -u HOME -u XDG_CACHE_HOME TMPDIR='" + tmp + "' " + runner).c_str()),
              0)
        << rg::test::readBytes((home / "err.txt").string());
    for (const auto& e : std::filesystem::recursive_directory_iterator(tmp))
        EXPECT_EQ(e.path().filename().string().find("psqlodbc"), std::string::npos) << e.path();
    EXPECT_TRUE(std::filesystem::exists(tmp + "/reportgen-" + std::to_string(::getuid()) +
                                        "/odbc/odbcinst.ini"));

    // The copy switches off what the user's file switches on, section by section.
    const std::string quiet =
        quietOdbcinstIni("[PostgreSQL Unicode]\nDriver=psqlodbcw.so\nCommLog=1\n",
                         "[ODBC]\nTrace=Yes\n[PostgreSQL Unicode]\nDebug=1\n[Other]\nTrace=1\n");
    EXPECT_EQ(quiet, "[PostgreSQL Unicode]\ndebug=0\nDriver=psqlodbcw.so\nCommLog=0\n"
                     "[ODBC]\ntrace=No\n[Other]\ntrace=No\n");
}

TEST(Credentials, DialogsShowNoPassword) {
    const std::string cs = "Driver={PostgreSQL Unicode};Server=db;UID=me;PWD={s;e}}cret}";
    const std::string shown = maskedPasswords(cs);
    EXPECT_EQ(shown.find("cret"), std::string::npos) << shown;
    EXPECT_NE(shown.find(std::string("PWD=") + kPasswordMask), std::string::npos) << shown;
    EXPECT_EQ(withPasswordsRestored(shown, cs), cs);
    // Edited around the mask, the string keeps the password; a new one replaces it.
    const std::string moved = withPasswordsRestored(shown + ";Port=5433", cs);
    EXPECT_EQ(connValue(parseConnectionString(moved), "PWD"), "s;e}cret");
    EXPECT_EQ(connValue(parseConnectionString(moved), "Port"), "5433");
    const std::string changed =
        withPasswordsRestored("Driver={PostgreSQL Unicode};Server=db;UID=me;PWD=new", cs);
    EXPECT_EQ(changed, "Driver={PostgreSQL Unicode};Server=db;UID=me;PWD=new");
    EXPECT_EQ(maskedPasswords("DSN=x;UID=me"), "DSN=x;UID=me");
}
