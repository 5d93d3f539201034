#include "testfiles.h"
#include "common/error.h"
#include "export/excelexport.h"
#include "export/exportfile.h"
#include "export/xmlexport.h"
#include "exporttest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/file.h>
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
              (std::vector<std::string>{"link.xls", "made.xml", "made.xsl", "pipe-link.xls", "pipe.xls",
                                        "real.xls", "sub", "t.db"}));

    // A legal name of 253 bytes still gets its temporary file beside it.
    std::string longName;
    while (longName.size() + 3 + 4 <= 253) longName += "报";
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
