// Passwords of saved setups in a real Secret Service: gnome-keyring on a private D-Bus
// session that this program starts, in a home of its own, before anything speaks D-Bus.

#include "chart/groupchart.h"
#include "common/progress.h"
#include "datasource/passwordmask.h"
#include "grid/grid.h"
#include "runnertest.h"
#include "secretsession.h"
#include "setup/reportdefinition.h"
#include "setup/setuppasswords.h"
#include "testsupport.h"

#include <QCoreApplication>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>

using namespace rg;

namespace {

const auto* const session = ::testing::AddGlobalTestEnvironment(new rgtest::SecretSession);

struct Objects {
    Connection conn;
    DataSet dataset{&conn};
    TdxDBGrid grid;
    ReportObjects report() { return {conn, dataset, grid}; }
    Objects() { grid.SetDataSet(&dataset); }
};

void writeSetup(const std::string& file, const std::string& conn) {
    TSetup s(file);
    s.WriteConnString(conn);
    s.WriteCommandType("cmdTable");
    s.WriteCommandText("sales");
    s.WriteKeyField("id");
}

std::string fileBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string storedConn(const std::string& file) {
    TSetup s(file);
    return s.ReadConnString();
}

unsigned modeOf(const std::string& file) {
    struct stat st {};
    stat(file.c_str(), &st);
    return st.st_mode & 0777;
}

// Runs the real program with the environment changed as given ("NAME=value ...").
RunResult runner(const std::string& env, const std::string& args, const std::string& folder) {
    return shell("env " + env + " " + std::string(RG_BINARY_DIR) + "/reportgen " + args, folder);
}

} // namespace

TEST(SetupSecrets, APasswordGoesToTheStoreAndComesBackAtOpen) {
    TestDb db(kSales);
    const std::string live = db.conn.ConnectionString() + ";PWD={s3;cr}}et}";
    const std::string windows = db.folder + "/windows.ini", saved = db.folder + "/saved.ini";
    writeSetup(windows, live);

    // A setup with the password in its file, as the Windows program writes it, opens as it is.
    Objects first;
    LoadSetup(first.report(), windows);
    EXPECT_EQ(first.conn.ConnectionString(), live);
    EXPECT_EQ(first.grid.DataRowCount(), 3);

    // Saved by this program, the file holds where the password is, never the password.
    SaveSetup(first.report(), saved);
    EXPECT_EQ(storedConn(saved), db.conn.ConnectionString() + ";Password Store=keyring");
    const std::string bytes = fileBytes(saved);
    EXPECT_EQ(bytes.find("s3;cr"), std::string::npos);
    EXPECT_EQ(bytes.find(TSetup::Scramble("s3;cr")), std::string::npos);
    EXPECT_EQ(modeOf(saved) & 0077, modeOf(windows) & 0077); // nothing secret in it

    // An open puts it back from the store.
    EXPECT_EQ(ReadReportFile(saved).source.connectionString, live);
    Objects second;
    LoadSetup(second.report(), saved);
    EXPECT_EQ(second.conn.ConnectionString(), live);
    EXPECT_EQ(second.grid.DataRowCount(), 3);

    // A copy elsewhere is another setup: the store has no password for it, so it is asked
    // for, and declining cancels the open.
    const std::string copy = db.folder + "/copy.ini";
    std::filesystem::copy_file(saved, copy);
    std::vector<PasswordRequest> asked;
    setPasswordPrompt([&](const PasswordRequest& r) -> std::optional<std::string> {
        asked.push_back(r);
        return asked.size() == 1 ? std::optional<std::string>("PWD=typed") : std::nullopt;
    });
    EXPECT_EQ(ReadReportFile(copy).source.connectionString,
              db.conn.ConnectionString() + ";PWD=typed");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].setupFile, copy);
    EXPECT_EQ(asked[0].connectionString, db.conn.ConnectionString());
    EXPECT_EQ(asked[0].why, "没有这个连接的密码");
    EXPECT_THROW(ReadReportFile(copy), Cancelled);
    setPasswordPrompt(nullptr);

    // The runner reads the store too.
    const RunResult r = reportgen("--run " + saved + " --format csv", db.folder);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("上海"), std::string::npos) << r.out;
}

TEST(SetupSecrets, WithoutAStoreThePasswordIsAskedOrKeptForTheOwnerAlone) {
    TestDb db(kSales);
    const std::string live = db.conn.ConnectionString() + ";PWD=s3cret";
    const std::string ini = db.folder + "/t.ini", kept = db.folder + "/kept.ini";
    writeSetup(ini, live);
    const std::string noBus = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + db.folder + "/no-bus";

    // A run has no one to ask: the password stays in the file, which only its owner reads.
    RunResult r = runner(noBus, "--run " + ini + " --format csv --save-as " + kept, db.folder);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(storedConn(kept), live);
    EXPECT_EQ(modeOf(kept), 0600u);

    // A setup that asks at open: the runner takes the password from a file or the
    // environment, and says how when it has neither.
    const std::string ask = db.folder + "/ask.ini";
    writeSetup(ask, db.conn.ConnectionString() + ";Password Store=ask");
    r = runner(noBus, "--run " + ask + " --format csv", db.folder);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("的连接需要密码：用 --password-file 文件 或环境变量 REPORTGEN_PASSWORD 给出"),
        std::string::npos)
        << r.err;
    r = runner(noBus + " REPORTGEN_PASSWORD=s3cret", "--run " + ask + " --format csv", db.folder);
    EXPECT_EQ(r.status, 0) << r.err;
    { std::ofstream(db.folder + "/pw") << "s3cret\n"; }
    r = runner(noBus, "--run " + ask + " --format csv --password-file " + db.folder + "/pw",
               db.folder);
    EXPECT_EQ(r.status, 0) << r.err;
    r = runner(noBus, "--run " + ask + " --format csv --password-file " + db.folder + "/none",
               db.folder);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("无法读取密码文件"), std::string::npos) << r.err;
}

// On the suite's PostgreSQL server the password is the one the server checks.
TEST(SetupSecrets, AServerSetupSavedWithoutItsPasswordOpensAgain) {
    const std::string pg = rgtest::pgConnectionString();
    if (pg.empty())
        GTEST_SKIP() << "RG_TEST_PG is not set";
    TestDb db(kSales);
    const std::string ini = db.folder + "/pg.ini", saved = db.folder + "/pg-saved.ini";
    {
        TSetup s(ini);
        s.WriteConnString(pg);
        s.WriteCommandType("cmdText");
        s.WriteCommandText("select 1 as id, 'x' as name");
        s.WriteKeyField("id");
    }
    Objects first;
    LoadSetup(first.report(), ini);
    SaveSetup(first.report(), saved);
    std::string withoutPassword = pg;
    EXPECT_FALSE(cutPasswords(withoutPassword).empty());
    EXPECT_EQ(storedConn(saved), withoutPassword + ";Password Store=keyring");
    Objects again;
    LoadSetup(again.report(), saved);
    EXPECT_EQ(again.grid.DataRowCount(), 1);

    const RunResult r = reportgen("--run " + saved + " --format csv", db.folder);
    EXPECT_EQ(r.status, 0) << r.err;
    // A wrong password from the environment never replaces the stored one silently: the
    // store answers first.
    const RunResult wrong =
        runner("REPORTGEN_PASSWORD=wrong", "--run " + saved + " --format csv", db.folder);
    EXPECT_EQ(wrong.status, 0) << wrong.err;
}
