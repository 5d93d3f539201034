// The runner's time limit holds when the server goes silent in the middle of the report's
// statement and the driver's cancel hangs too: the run ends with status 1 and its message.

#include "freezingproxy.h"
#include "setup/setup.h"
#include "testfiles.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Exit {
    bool ended = false;
    int status = -1;
};

// Runs the real program with `args`, standard error into `errFile`, and waits for it to end
// for at most a bound no working run comes near; a run still going then is killed.
Exit runReportgen(const std::vector<std::string>& args, const std::string& errFile) {
    const std::string program = std::string(RG_BINARY_DIR) + "/reportgen";
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    Exit result;
    if (rc != 0)
        return result;
    // Woken by the child's exit, or given up after a generous bound.
    const int exited = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    pollfd ended{exited, POLLIN, 0};
    const bool inTime = exited >= 0 && poll(&ended, 1, 3 * 60 * 1000) == 1;
    if (exited >= 0)
        close(exited);
    int status = 0;
    if (!inTime) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return result;
    }
    waitpid(pid, &status, 0);
    result.ended = WIFEXITED(status);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace

TEST(RunnerFrozenServer, TheTimeLimitEndsARunWhoseServerWentSilent) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rg::test::TempFolder folder;
    rgtest::FreezingProxy proxy(pg);
    proxy.freezeOn("rg_frozen_marker");
    const std::string ini = (folder / "frozen.ini").string();
    {
        rg::TSetup s(ini);
        s.WriteConnString(proxy.connectionString());
        s.WriteCommandType("cmdText");
        s.WriteCommandText("SELECT 1 AS rg_frozen_marker");
    }
    const std::string errFile = (folder / "stderr.txt").string();
    const Exit e = runReportgen({"--run", ini, "--timeout", "1", "--format", "csv"}, errFile);
    EXPECT_TRUE(proxy.holdsTraffic()) << "the statement never reached the frozen proxy";
    ASSERT_TRUE(e.ended) << "the run did not end";
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(rg::test::readBytes(errFile), "超过时限：1 秒内没有完成，已停止。\n");
}
