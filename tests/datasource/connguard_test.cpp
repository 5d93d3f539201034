#include "common/error.h"
#include "datasource/dataset.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fstream>
#include <sys/stat.h>

using namespace rg;

namespace {

std::string openError(const std::string& connectionString) {
    Connection conn;
    conn.SetConnectionString(connectionString);
    try {
        conn.Open();
    } catch (const Error& e) {
        return e.what();
    }
    return "(opened)";
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string tempPath(const std::string& name) {
    return "/tmp/rg_guard_" + std::to_string(getpid()) + "_" + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

} // namespace

// Strings from a setup or a data link file never make the driver manager or a driver load
// a library: the marker library's constructor would leave its file behind.
TEST(ConnectionGuard, NoLibraryLoadedFromAConnectionString) {
    const std::string marker = tempPath("marker");
    const std::string lib = RG_MARKER_LIB;
    ::unlink(marker.c_str());
    ::setenv("RG_MARKER_FILE", marker.c_str(), 1);
    const std::string db = rgtest::makeSqliteFile("guard", "CREATE TABLE t (a INT);");
    const std::string udl = tempPath("lib.udl");
    writeFile(udl, "[oledb]\r\nDriver=" + lib + ";Database=" + db + "\r\n");

    const std::pair<std::string, std::string> refused[] = {
        {"Driver=" + lib + ";Database=" + db, "Driver=" + lib},
        {"DRIVER = {" + lib + "};Database=" + db, "Driver=" + lib},
        {"Driver={SQLite3};Database=" + db + ";PWD=\"x;Driver=" + lib + "\"", "Driver=" + lib},
        {"FILE NAME=" + udl, "Driver=" + lib},
        {"Driver={SQLite3};Database=" + db + ";LoadExt=" + lib, "属性 LoadExt"},
        {"Driver={SQLite3};Database=" + db + ";loadext = {" + lib + "}", "属性 loadext"},
        {"Driver={SQLite3};Database=" + db + ";TraceFile=/tmp/x.log", "属性 TraceFile"},
        {"FILEDSN=/tmp/x.dsn", "属性 FILEDSN"},
        {"Driver={SQLite3};Database=" + db + ";SAVEFILE=/tmp/x.dsn", "属性 SAVEFILE"},
        {"Driver={SQLite3};Database=" + db + ";DMConnAttr=[106]=" + lib, "属性 DMConnAttr"},
        {"Driver={PostgreSQL Unicode};Server=127.0.0.1;Debug=1", "属性 Debug"},
        {"Driver={No Such Driver};Database=" + db, "不是已安装的 ODBC 驱动程序名称"},
    };
    for (const auto& [cs, named] : refused) {
        const std::string msg = openError(cs);
        EXPECT_NE(msg.find(named), std::string::npos) << cs << "\n" << msg;
        EXPECT_FALSE(exists(marker)) << cs;
    }
    // Registered drivers with their documented harmless attributes still open.
    EXPECT_EQ(openError("Driver={SQLite3};Database=" + db + ";Timeout=1000;StepAPI=0"), "(opened)");
    EXPECT_EQ(openError("driver=sqlite3;Database=" + db), "(opened)");
    EXPECT_FALSE(exists(marker));

    // Nor does SQL text: the SQLite ODBC driver allows load_extension() on its own.
    for (const std::string& cs : {"Driver={SQLite3};Database=" + db, rgtest::builtin(db)}) {
        Connection conn;
        conn.SetConnectionString(cs);
        DataSet ds(&conn);
        ds.SetCommandText("SELECT load_extension('" + lib + "')");
        EXPECT_THROW(ds.Open(), Error) << cs;
        EXPECT_FALSE(exists(marker)) << cs;
    }

    // The marker library does write its file when loaded, so the checks above mean something.
    void* handle = dlopen(lib.c_str(), RTLD_NOW);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(exists(marker));
    dlclose(handle);
    ::unlink(marker.c_str());
    ::unlink(udl.c_str());
}

// A data link file is a small regular file: a device or a FIFO is refused at once instead of
// reading forever or waiting for a writer, and a file above 1 MB is refused.
TEST(ConnectionGuard, DataLinkFilesAreSmallRegularFiles) {
    EXPECT_NE(openError("FILE NAME=/dev/zero").find("不是普通文件"), std::string::npos);
    const std::string fifo = tempPath("fifo.udl");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_NE(openError("FILE NAME=" + fifo).find("不是普通文件"), std::string::npos);
    ::unlink(fifo.c_str());

    const std::string db = rgtest::makeSqliteFile("big", "CREATE TABLE t (a INT);");
    const std::string big = tempPath("big.udl");
    writeFile(big, "Provider=SQLite;Data Source=" + db + "\r\n" + std::string(2 << 20, ';'));
    EXPECT_NE(openError("FILE NAME=" + big).find("超过 1 MB"), std::string::npos);
    // The same string in a file just under the limit opens.
    writeFile(big,
              "Provider=SQLite;Data Source=" + db + "\r\n" + std::string((1 << 20) - 200, ';'));
    EXPECT_EQ(openError("FILE NAME=" + big), "(opened)");
    ::unlink(big.c_str());
}
