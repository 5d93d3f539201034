// A server that takes the connection and then stops answering (stopped, or its network gone)
// in the middle of a statement: the query timeout and a cancel from the progress sink end the
// wait although the driver's own cancel hangs as well, the connection is given up, and the
// next open connects anew. The server is reached through a proxy that freezes, so the test
// servers other tests use keep running.

#include "common/progress.h"
#include "datasource/dataset.h"
#include "datasource/statementrun.h"
#include "freezingproxy.h"
#include "silentserver.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rg;
using rgtest::errorOf;

namespace {

// The statement the proxy freezes on.
const char* const kFrozenQuery = "SELECT 1 AS rg_frozen_marker";

// Cancels the running statement once the proxy holds it back, as a user who clicks 取消.
class CancelWhenFrozen : public ProgressSink {
public:
    explicit CancelWhenFrozen(rgtest::FreezingProxy& proxy) : proxy_(proxy) {}
    bool progress(const char* what, int64_t, int64_t) override {
        return std::string(what) != "正在读取数据" || !proxy_.holdsTraffic();
    }

private:
    rgtest::FreezingProxy& proxy_;
};

// Waits for the abandoned statements (and their cancels) to end once the server answers
// again: a driver still inside its library when the test program ends would bring it down.
void waitForAbandonedWork() {
    waitForDriverWork();
}

// Opens the frozen query on `conn` and returns its error; the open leaves no data.
std::string frozenOpen(Connection& conn, rgtest::FreezingProxy& proxy) {
    DataSet ds(&conn);
    ds.SetCommandText(kFrozenQuery);
    proxy.freezeOn("rg_frozen_marker");
    const std::string error = errorOf([&] { ds.Open(); });
    EXPECT_TRUE(proxy.holdsTraffic()) << "the statement never reached the frozen proxy";
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_FALSE(conn.Connected()) << "the connection of an abandoned statement is given up";
    return error;
}

void expectFrozenStatementsEnd(const std::string& server) {
    ASSERT_FALSE(server.empty()) << "the test servers are not set: run the tests through "
                                    "scripts/test.sh";
    {
        rgtest::FreezingProxy proxy(server);
        Connection conn;
        conn.SetConnectionString(proxy.connectionString() + ";Query Timeout=1");
        conn.Open();
        EXPECT_EQ(frozenOpen(conn, proxy), queryTimeoutMessage(1));
        // Once the server answers again the same connection object reads, connected anew.
        proxy.thaw();
        DataSet ds(&conn);
        ds.SetCommandText(kFrozenQuery);
        ds.Open();
        EXPECT_EQ(ds.RecordCount(), 1);
        waitForAbandonedWork();
    }
    {
        rgtest::FreezingProxy proxy(server);
        Connection conn;
        conn.SetConnectionString(proxy.connectionString());
        conn.Open();
        CancelWhenFrozen sink(proxy);
        {
            ProgressScope scope(&sink);
            EXPECT_EQ(frozenOpen(conn, proxy), "操作已取消。");
        }
        proxy.thaw();
        waitForAbandonedWork();
    }
}

} // namespace

TEST(FrozenServer, PostgresStatementsEndAtTheirTimeoutOrCancel) {
    expectFrozenStatementsEnd(rgtest::pgConnectionString());
}

TEST(FrozenServer, MariaDbStatementsEndAtTheirTimeoutOrCancel) {
    expectFrozenStatementsEnd(rgtest::mariadbConnectionString());
}

// A server that takes the connection and never greets: with no one to cancel (a runner
// without a time limit) the connect still ends by itself, with the driver's error, once its
// login timeout has passed.
TEST(FrozenServer, AConnectToAServerThatNeverAnswersEndsByItself) {
    rgtest::SilentServer server;
    const std::string port = std::to_string(server.port());
    const std::vector<std::string> strings{
        "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" + port + ";Database=x;Uid=a;Pwd=b",
        "Driver={MariaDB Unicode};Server=127.0.0.1;Port=" + port + ";Database=x;Uid=a;Pwd=b"};
    std::vector<std::string> errors(strings.size());
    std::vector<std::thread> connects;
    for (size_t i = 0; i < strings.size(); ++i)
        connects.emplace_back([&, i] {
            Connection conn;
            conn.SetConnectionString(strings[i]);
            errors[i] = errorOf([&] { conn.Open(); });
        });
    for (std::thread& t : connects)
        t.join();
    for (size_t i = 0; i < strings.size(); ++i) {
        EXPECT_NE(errors[i], "(no error)") << strings[i];
        EXPECT_NE(errors[i], "操作已取消。") << strings[i];
    }
}
