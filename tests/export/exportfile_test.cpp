#include "common/error.h"
#include "export/excelexport.h"
#include "export/exportfile.h"
#include "export/xmlexport.h"
#include "exporttest.h"
#include "files/stagedcopy.h"
#include "fullfilesystem.h"
#include "testfiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace rg;
namespace fs = std::filesystem;

namespace {

const char* kSmall = R"(
create table t(id integer primary key, name text);
insert into t values (1, '甲'), (2, '乙');)";

std::string exportError(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(written)";
}

// A process number that was just in use and is gone now.
pid_t deadPid() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// A symbolic link is written through: its target gets the file and the link stays a link,
// a dangling one too. Devices and FIFOs are refused at once, without waiting for a reader.
TEST(ExportTarget, LinksAreFollowedSpecialFilesRefused) {
    ExportDb db(kSmall);
    db.open("select * from t");
    db.grid.SetKeyField("id");
    const std::string real = db.file("real.xls"), link = db.file("link.xls");
    writeFile(real, "old");
    fs::create_symlink("real.xls", link);
    ExportToSpreadsheet(db.grid, link, true, GridAppearance());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readWithXlrd(real)[std::pair(1, 1)], "s:甲");

    fs::create_directory(db.file("sub"));
    const std::string dangling = db.file("sub/out.xml");
    fs::create_symlink("../made.xml", dangling);
    ExportToXml(db.grid, dangling, true);
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_NE(readFile(db.file("made.xml")).find("<?xml"), std::string::npos);

    const std::string fifo = db.file("pipe.xls");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string fifoLink = db.file("pipe-link.xls");
    fs::create_symlink(fifo, fifoLink);
    for (const std::string& target :
         {fifo, fifoLink, std::string("/dev/full"), std::string("/dev/null")}) {
        EXPECT_EQ(
            exportError([&] { ExportToSpreadsheet(db.grid, target, true, GridAppearance()); }),
            "Cannot create file \"" + target + "\". 不是普通文件（设备、管道或套接字），不能写入");
    }
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(namesIn(db.folder),
              (std::vector<std::string>{"link.xls", "made.xml", "made.xsl", "pipe-link.xls",
                                        "pipe.xls", "real.xls", "sub", "t.db"}));

    // A legal name of 253 bytes still gets its temporary file beside it.
    std::string longName;
    while (longName.size() + 3 + 4 <= 253)
        longName += "报";
    longName += ".xls";
    ExportToSpreadsheet(db.grid, db.file(longName), true, GridAppearance());
    EXPECT_EQ(readWithXlrd(db.file(longName))[std::pair(1, 1)], "s:甲");
}

// Temporary files that a killed export left behind go at the next export into that folder;
// those of a running writer, locked ones and files that only look alike stay.
TEST(ExportTarget, LeftoverTemporariesOfKilledWritersAreRemoved) {
    ExportDb db(kSmall);
    db.open("select * from t");
    db.grid.SetKeyField("id");
    const std::string dead = std::to_string(deadPid()), alive = std::to_string(::getpid());
    const std::vector<std::string> stale = {".a.xls.rgtmp-" + dead + "-Ab12Cd",
                                            ".report.ini.rgtmp-" + dead + "-zzzzzz"};
    const std::vector<std::string> kept = {
        ".b.xls.rgtmp-" + alive + "-Ab12Cd", ".c.xls.rgtmp-" + dead + "-locked", ".bashrc.backup",
        ".x.rgtmp-" + dead + "-toolong1", "d.xls.rgtmp-" + dead + "-Ab12Cd"};
    for (const auto& n : stale)
        writeFile(db.file(n), "half");
    for (const auto& n : kept)
        writeFile(db.file(n), "keep");
    // A writer whose process number this process cannot see still holds its lock.
    const int held = ::open(db.file(".c.xls.rgtmp-" + dead + "-locked").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    ExportToSpreadsheet(db.grid, db.file("out.xls"), true, GridAppearance());
    ::close(held);
    std::vector<std::string> want = kept;
    want.insert(want.end(), {"out.xls", "t.db"});
    std::sort(want.begin(), want.end());
    EXPECT_EQ(namesIn(db.folder), want);
}

// A writable file in a folder that takes no new file is rewritten in place.
TEST(ExportTarget, ReadOnlyFolderWritesInPlace) {
    ExportDb db(kSmall);
    db.open("select * from t");
    db.grid.SetKeyField("id");
    const std::string path = db.file("out.xls");
    writeFile(path, std::string(100000, 'x'));
    {
        rg::test::ReadOnly folder(db.folder);
        if (!folder.bindsEveryone())
            GTEST_SKIP()
                << "root ignores the folder's permissions and chattr is not available here";
        ExportToSpreadsheet(db.grid, path, true, GridAppearance());
        EXPECT_NE(exportError([&] {
                      ExportToSpreadsheet(db.grid, db.file("new.xls"), true, GridAppearance());
                  }),
                  "(written)");
    }
    EXPECT_EQ(readWithXlrd(path)[std::pair(2, 1)], "s:乙");
}

// A file without write permission is refused whoever runs the program, root included, as
// a save of a setup refuses it; it stays as it was.
TEST(ExportTarget, ReadOnlyFileIsRefusedEvenForRoot) {
    ExportDb db(kSmall);
    db.open("select * from t");
    db.grid.SetKeyField("id");
    const std::string path = db.file("locked.xls");
    writeFile(path, "old");
    ::chmod(path.c_str(), 0444);
    EXPECT_EQ(exportError([&] { ExportToSpreadsheet(db.grid, path, true, GridAppearance()); }),
              "Cannot create file \"" + path + "\". 没有写入权限");
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(namesIn(db.folder), (std::vector<std::string>{"locked.xls", "t.db"}));
}

// A disk that fills up during an export names the file and the cause, and the old file
// stays.
TEST(ExportTarget, FullDiskNamesTheFileAndTheCause) {
    ExportDb db(kSmall);
    db.open("select * from t");
    db.grid.SetKeyField("id");
    rgtest::FullFileSystem full(db.file("full"));
    if (!full.mounted())
        GTEST_SKIP() << "a full file system needs root to mount a small tmpfs; not tested here";
    const std::string path = db.file("full/out.xls");
    writeFile(path, "old");
    full.fill();
    EXPECT_EQ(exportError([&] { ExportToSpreadsheet(db.grid, path, true, GridAppearance()); }),
              "无法写入文件“" + path + "”：磁盘空间不足");
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(namesIn(db.file("full")), (std::vector<std::string>{".filler", "out.xls"}));
}

namespace {

// Writes `bytes` to `path` through ExportFile, saying "ready" on `ready` before the commit.
void exportBytes(const std::string& path, const std::string& bytes, int ready) {
    ExportFile f(path);
    f.Write(bytes);
    if (ready >= 0 && ::write(ready, "r", 1) != 1)
        ::_exit(3);
    f.Commit();
}

// Runs `work` in a child process as the user `uid` with its own cache folder; returns
// the child's process number.
pid_t asUser(uid_t uid, const std::string& cache, const std::function<void()>& work) {
    const pid_t child = ::fork();
    if (child != 0)
        return child;
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    if (::geteuid() != uid && (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 ||
                               ::setresuid(uid, uid, uid) != 0))
        ::_exit(2);
    try {
        work();
    } catch (...) {
        ::_exit(1);
    }
    ::_exit(0);
}

int waitFor(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

// In a folder that takes no new file an export is copied over the old file. A writer
// killed at any point leaves the old content, the new content, or a copy that the next
// write (here: a recovery as the next writer runs it) turns back into the old content.
// Run as an ordinary user, for whom a folder's permissions hold (root ignores them).
TEST(ExportTarget, KilledCopiesOverAFileAreUndone) {
    const test::TempFolder top;
    const uid_t user = ::geteuid() == 0 ? 65534 : ::geteuid();
    const std::string folder = (top / "locked").string(), cache = (top / "cache").string();
    const std::string target = folder + "/report.csv";
    fs::create_directories(folder);
    fs::create_directories(cache);
    std::string a, b;
    for (int i = 0; i < 200000; ++i)
        a += "old line " + std::to_string(i) + "\n";
    for (int i = 0; i < 120000; ++i)
        b += "new row " + std::to_string(i) + "\n";
    writeFile(target, a);
    ::chmod(top.path().c_str(), 0755);
    for (const std::string& p : {cache, target})
        ASSERT_EQ(::chown(p.c_str(), user, user), 0);
    ::chmod(folder.c_str(), 0555);
    if (waitFor(asUser(user, cache, [] {})) == 2)
        GTEST_SKIP() << "this process cannot run a child as user " << user << "; not tested here";
    ASSERT_EQ(waitFor(asUser(user, cache, [&] { exportBytes(folder + "/new.csv", b, -1); })), 1)
        << "the folder takes new files: the in-place path is not reached";

    // Each round kills the writer at one of three states: just before a commit, once the
    // journal of its copy exists, and once the copy has begun to change the target.
    const std::string journals = cache + "/reportgen";
    auto journalExists = [&] {
        std::error_code ec;
        for (fs::directory_iterator it(journals, ec), end; !ec && it != end; it.increment(ec))
            if (it->path().extension() == ".journal")
                return true;
        return false;
    };
    int duringCopy = 0;
    for (int i = 0; i < 30; ++i) {
        const std::string first = readFile(target) == a ? b : a;
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const pid_t writer = asUser(user, cache, [&] {
            ::close(pipe[0]);
            for (int n = 0;; ++n)
                exportBytes(target, n % 2 ? (first == a ? b : a) : first, pipe[1]);
        });
        ::close(pipe[1]);
        char c;
        ASSERT_EQ(::read(pipe[0], &c, 1), 1);
        const int fd = ::open(target.c_str(), O_RDONLY);
        char head[8] = {};
        auto stillWriting = [&] { return ::waitpid(writer, nullptr, WNOHANG) == 0; };
        if (i % 3 == 1)
            while (!journalExists() && stillWriting())
                sched_yield();
        if (i % 3 == 2)
            while (::pread(fd, head, sizeof head, 0) == sizeof head &&
                   first.compare(0, 8, head, 8) != 0 && stillWriting())
                sched_yield();
        ::close(fd);
        ::kill(writer, SIGKILL);
        waitFor(writer);
        ::close(pipe[0]);
        duringCopy += journalExists();
        ASSERT_EQ(waitFor(asUser(user, cache, [] { recoverInterruptedCopies(); })), 0);
        const std::string now = readFile(target);
        ASSERT_TRUE(now == a || now == b)
            << "kill " << i << " left " << now.size() << " bytes of a mixture";
    }
    // Some kills did land during a copy, and nothing is left over.
    EXPECT_GT(duringCopy, 0);
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"report.csv"});
    EXPECT_EQ(namesIn(cache + "/reportgen"), std::vector<std::string>{});
    ::chmod(folder.c_str(), 0755);
}
