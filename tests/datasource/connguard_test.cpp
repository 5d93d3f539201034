#include "common/error.h"
#include "datasource/connguard.h"
#include "datasource/dataset.h"
#include "processfolder.h"
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
    return rgtest::processFolder() + "/" + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

std::string guardError(const std::string& cs) {
    return rgtest::errorOf([&] { guardedOdbcConnectionString(cs); });
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
    EXPECT_EQ(openError("FILE NAME=/dev/zero"), "数据链接文件“/dev/zero”不是普通文件（字符设备）");
    const std::string fifo = tempPath("fifo.udl");
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(openError("FILE NAME=" + fifo), "数据链接文件“" + fifo + "”不是普通文件（管道）");
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

// For the drivers the program knows, only their documented attributes pass, and none of
// those that log (by long name or abbreviation), trace, touch a file of the driver's own or
// load code; other drivers keep the list of refused attributes.
TEST(ConnectionGuard, KnownDriversTakeOnlyTheirDocumentedAttributes) {
    const std::string pg =
        "Driver={PostgreSQL Unicode};Server=db;Port=5432;Database=erp;Uid=u;Pwd=p";
    const std::string maria = "Driver={MariaDB Unicode};Server=db;Database=erp;UID=u;PWD=p";
    const std::string tds = "Driver={FreeTDS};Server=db;Port=1433;Database=erp;UID=sa;PWD=p";
    const std::string lite = "Driver={SQLite3};Database=/tmp/x.db";
    const std::pair<std::string, std::string> refused[] = {
        {pg + ";B2=1", "属性 B2 "},
        {pg + ";CX=1fffffffff", "属性 CX "},
        {pg + ";cx = 0", "属性 cx "},
        {pg + ";Debug=1", "属性 Debug "},
        {pg + ";CommLog=1", "属性 CommLog "},
        {pg + ";B3=yes", "属性 B3 "},
        {pg + ";Pqopt={sslkey=/tmp/k}", "属性 Pqopt "},
        {pg + ";D5={sslcert=/tmp/c}", "属性 D5 "},
        {pg + ";Logdir=/tmp", "属性 Logdir "},
        {pg + ";TranslationDLL=/tmp/t.so", "属性 TranslationDLL "},
        {pg + ";Pwd=\"x;B2=1\"", "属性 B2 "},
        {pg + ";Pwd={x;Sslmode=allow", "未结束的括号或引号"},
        {maria + ";PWD={x", "未结束的括号或引号"},
        {pg + ";Sslmode=require;Mylog=1", "属性 Mylog 不是 psqlODBC 驱动程序的连接属性"},
        {maria + ";OPTIONS=4", "属性 OPTIONS=4 "},
        {maria + ";OPTION=4", "属性 OPTION=4 "},
        {maria + ";Option=2052", "属性 Option=2052 "},
        {maria + ";OPTIONS=65536", "属性 OPTIONS=65536 "},
        {maria + ";OPTIONS=524288", "属性 OPTIONS=524288 "},
        {maria + ";OPTIONS=0x4", "属性 OPTIONS 的值“0x4”不是数字"},
        {maria + ";TRACE=1", "属性 TRACE "},
        {maria + ";USE_MYCNF=1", "属性 USE_MYCNF "},
        {maria + ";PLUGIN_DIR=/tmp", "属性 PLUGIN_DIR "},
        {maria + ";SSLKEY=/tmp/k.pem", "属性 SSLKEY "},
        {maria + ";SAVEFILE=/tmp/x.dsn", "属性 SAVEFILE "},
        {maria + ";NoSuch=1", "不是 MariaDB Connector/ODBC 驱动程序的连接属性"},
        {tds + ";DumpFile=/tmp/tds.log", "属性 DumpFile "},
        {tds + ";DebugFlags=0xffff", "属性 DebugFlags "},
        {tds + ";AttachDbFilename=/tmp/x.mdf", "属性 AttachDbFilename "},
        {lite + ";Tracefile=/tmp/t.log", "属性 Tracefile "},
        {lite + ";Debug=0", "属性 Debug 不是 SQLite ODBC 驱动程序的连接属性"},
        {"Driver={MDBTools};DBQ=/tmp/x.mdb;Trace=0",
         "属性 Trace 不是 MDB Tools 驱动程序的连接属性"},
        {"Driver={SQLite3};Driver={PostgreSQL Unicode};Database=x",
         "两个驱动程序：SQLite3 和 PostgreSQL Unicode"},
        // A data source of a driver the program does not know: the refused attributes only.
        {"DSN=rg_no_such_source;Debug=1", "属性 Debug "},
        {"DSN=rg_no_such_source;FILEDSN=/tmp/x.dsn", "属性 FILEDSN "},
    };
    for (const auto& [cs, named] : refused)
        EXPECT_NE(guardError(cs).find(named), std::string::npos) << cs << "\n" << guardError(cs);

    // What passes, with the log switches written off last for psqlODBC and MariaDB.
    const std::pair<std::string, std::string> passed[] = {
        {pg, pg + ";CommLog=0;Debug=0"},
        {pg + ";BoolsAsChar=0;UseDeclareFetch=1;Fetch=2048;A7=100;B9=0;Debug=0;B3=0;",
         pg + ";BoolsAsChar=0;UseDeclareFetch=1;Fetch=2048;A7=100;B9=0;Debug=0;B3=0;CommLog=0;"
              "Debug=0"},
        {maria, maria + ";OPTIONS=0;TRACE=0"},
        {maria + ";OPTIONS=3;TRACE=0", maria + ";OPTIONS=3;TRACE=0;OPTIONS=3;TRACE=0"},
        {maria + ";Option = {2050}", maria + ";Option = {2050};OPTIONS=2050;TRACE=0"},
        {tds + ";TDS_Version=7.4;ClientCharset=UTF-8;DebugFlags=0",
         tds + ";TDS_Version=7.4;ClientCharset=UTF-8;DebugFlags=0"},
        {lite + ";Timeout=100;StepAPI=0;LongNames=1", lite + ";Timeout=100;StepAPI=0;LongNames=1"},
        {"Driver={MDBTools};DBQ=/tmp/x.mdb", "Driver={MDBTools};DBQ=/tmp/x.mdb"},
        // What the connection dialog writes for a file driver, user and password included.
        {"Driver={MDBTools};Database={/tmp/x y.mdb};Uid=u;Pwd=p",
         "Driver={MDBTools};Database={/tmp/x y.mdb};Uid=u;Pwd=p"},
        {"DSN=rg_no_such_source;Whatever=1;Debug=0", "DSN=rg_no_such_source;Whatever=1;Debug=0"},
    };
    for (const auto& pair : passed)
        EXPECT_EQ(rgtest::errorOf(
                      [&] { EXPECT_EQ(guardedOdbcConnectionString(pair.first), pair.second); }),
                  "(no error)")
            << pair.first;
    // A password holding what reads like a pair stays a password.
    EXPECT_EQ(guardError("Driver={PostgreSQL Unicode};Server=db;Pwd={a;Mylog=1}"), "(no error)");
}

// A connection string of any length is read in one pass; past what SQLDriverConnect takes
// (its lengths are SQLSMALLINT) it is refused, below that the driver gets all of it.
TEST(ConnectionGuard, LongConnectionStrings) {
    const std::string db = rgtest::makeSqliteFile("long", "CREATE TABLE t (a INT);");
    const std::string head = "Driver={SQLite3};Database=" + db + ";Query Timeout=5;Timeout=";
    for (const size_t size : {40u << 10, 100u << 10}) {
        const std::string cs = head + std::string(size, '1');
        EXPECT_EQ(openError(cs), "连接字符串长 " + std::to_string(cs.size() - 16) +
                                     " 字节，超过了 32511 字节的上限（ODBC 最多接受 32767 "
                                     "字节，余下的留给程序自己的属性），已拒绝")
            << size;
        EXPECT_EQ(openError("Provider=SQLite;Data Source=" + db + ";Query Timeout=5;X={" +
                            std::string(size, 'x') + "}"),
                  "(opened)");
    }
    // Just below the limit the string reaches the driver whole: the one after it is refused.
    std::string padded = "Driver={SQLite3};Database=" + db + ";Description=";
    padded += std::string(kMaxSetupConnectionString - padded.size(), 'd');
    EXPECT_EQ(openError(padded), "(opened)");
    EXPECT_NE(openError(padded + "d").find("超过了 32511 字节的上限"), std::string::npos);
}

// Failures on the way to a connection say what happened.
TEST(ConnectionGuard, MessagesSayWhatHappened) {
    const std::string missing = tempPath("missing.udl");
    EXPECT_EQ(openError("FILE NAME=" + missing),
              "无法读取数据链接文件“" + missing + "”：No such file or directory");
    // A regular file whose reading fails.
    EXPECT_EQ(openError("FILE NAME=/proc/self/mem"),
              "无法读取数据链接文件“/proc/self/mem”：Input/output error");
    const std::string empty = tempPath("empty.udl");
    writeFile(empty, "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n");
    EXPECT_EQ(openError("FILE NAME=" + empty), "数据链接文件“" + empty + "”中没有连接字符串");
    ::unlink(empty.c_str());
    EXPECT_EQ(openError("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/dev/zero"),
              "Access 数据库文件“/dev/zero”不是普通文件（字符设备）");
    EXPECT_EQ(openError("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/tmp"),
              "Access 数据库文件“/tmp”不是普通文件（文件夹）");
    EXPECT_EQ(openError("Driver={MDBTools};DBQ=" + missing),
              "找不到 Access 数据库文件“" + missing + "”");
}
