#include "common/error.h"
#include "datasource/connguard.h"
#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "datasource/oledb.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace rg;

namespace {

std::string translated(const std::string& cs) {
    try {
        return odbcFromOleDb(cs);
    } catch (const Error& e) {
        return std::string("error: ") + e.what();
    }
}

} // namespace

// The original program's OLE DB strings become the ODBC strings of the drivers installed
// here; others are refused by the provider's name.
TEST(OleDb, TranslationsOfTheOriginalProgramsStrings) {
    const std::pair<std::string, std::string> cases[] = {
        // Not OLE DB: unchanged.
        {"Driver={SQLite3};Database=/tmp/a.db", "Driver={SQLite3};Database=/tmp/a.db"},
        {"Provider=SQLite;Data Source=a.db", "Provider=SQLite;Data Source=a.db"},
        {"DSN=erp;UID=sa", "DSN=erp;UID=sa"},
        // The ODBC bridge carries the ODBC string, or only a DSN.
        {"Provider=MSDASQL.1;Persist Security Info=False;Extended "
         "Properties=\"DSN=erp;UID=sa;PWD=x\"",
         "DSN=erp;UID=sa;PWD=x"},
        {"Provider=MSDASQL;Data Source=erp;User ID=sa;Password=secret;Initial Catalog=sales",
         "DSN=erp;UID=sa;PWD=secret;Database=sales"},
        {"Provider=MSDASQL.1;DSN=erp", "DSN=erp"},
        // SQL Server through FreeTDS: host, port, instance, database, user and password.
        {"Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;Initial "
         "Catalog=erp;Data Source=srv",
         "Driver={FreeTDS};Server=srv;Database=erp;UID=sa;PWD=pw"},
        {"Provider=SQLNCLI11;Data Source=tcp:10.0.0.5,1533;Initial Catalog=erp;User "
         "ID=sa;Password=a;b",
         "Driver={FreeTDS};Server=10.0.0.5;Port=1533;Database=erp;UID=sa;PWD=a"},
        {"Provider=MSOLEDBSQL;Data Source=srv\\SQLEXPRESS;Database=erp;UID=u;PWD={p;w}",
         "Driver={FreeTDS};Server=srv\\SQLEXPRESS;Database=erp;UID=u;PWD={p;w}"},
        {"Provider=SQLNCLI;Data Source=(local);User ID=sa",
         "Driver={FreeTDS};Server=localhost;UID=sa"},
        {"Provider=SQLOLEDB;Integrated Security=SSPI;Data Source=srv",
         "error: Windows 集成身份验证"},
        // Access through MDB Tools: the Windows path mapped.
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=D:\\data\\erp.mdb;Persist Security "
         "Info=False",
         "Driver={MDBTools};DBQ=/data/erp.mdb"},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=\\\\srv\\share\\erp.accdb",
         "Driver={MDBTools};DBQ=//srv/share/erp.accdb"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=data\\my erp.mdb",
         "Driver={MDBTools};DBQ=" + executableDir() + "/data/my erp.mdb"},
        // Everything else is named in the refusal.
        {"Provider=OraOLEDB.Oracle.1;Data Source=orcl",
         "error: 不支持的数据提供程序：OraOLEDB.Oracle.1"},
        {"Provider=MSDAORA;Data Source=orcl", "error: 不支持的数据提供程序：MSDAORA"},
    };
    for (const auto& [oledb, odbc] : cases) {
        const std::string got = translated(oledb);
        if (odbc.rfind("error: ", 0) == 0)
            EXPECT_EQ(got.rfind(odbc, 0), 0u) << oledb << "\n" << got;
        else
            EXPECT_EQ(got, odbc) << oledb;
        // What a translation produces passes the connection string guard.
        if (got.rfind("error: ", 0) != 0 && got.rfind("Provider=", 0) != 0) {
            EXPECT_EQ(rgtest::errorOf([&] { guardedOdbcConnectionString(got); }), "(no error)")
                << got;
        }
    }
}

// Translated strings reach their drivers: the bridge opens a real SQLite file, SQL Server
// strings fail with FreeTDS's own message, a missing Access file is named, and an unknown
// provider is named on opening.
TEST(OleDb, TranslatedStringsOpenThroughTheirDrivers) {
    const std::string db =
        rgtest::makeSqliteFile("oledb", "CREATE TABLE t (a INT); INSERT INTO t VALUES (7);");
    Connection conn;
    conn.SetConnectionString(
        "Provider=MSDASQL.1;Extended Properties=\"Driver={SQLite3};Database=" + db + "\"");
    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("t");
    ds.Open();
    EXPECT_EQ(ds.displayText(0, 0), "7");
    // The connection keeps the string it was given, so a save writes it back unchanged.
    EXPECT_EQ(conn.ConnectionString(),
              "Provider=MSDASQL.1;Extended Properties=\"Driver={SQLite3};Database=" + db + "\"");
    ds.Close();
    conn.Close();

    auto openError = [&](const std::string& cs) {
        conn.Close();
        conn.SetConnectionString(cs);
        try {
            conn.Open();
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("(opened)");
    };
    const std::string tds = openError(
        "Provider=SQLOLEDB.1;User ID=sa;Password=x;Initial Catalog=erp;Data Source=127.0.0.1,1");
    EXPECT_EQ(tds.find("Data source name not found"), std::string::npos) << tds;
    EXPECT_NE(tds.find("FreeTDS"), std::string::npos) << tds;
    const std::string jet =
        openError("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db + ".missing.mdb");
    EXPECT_EQ(jet, "找不到 Access 数据库文件“" + db + ".missing.mdb”");
    EXPECT_EQ(openError("Provider=MSDAORA.1;Data Source=orcl"), "不支持的数据提供程序：MSDAORA.1");
    // A refused attribute inside the bridge's ODBC string is still refused.
    EXPECT_NE(openError("Provider=MSDASQL;Extended Properties=\"Driver={SQLite3};Database=" + db +
                        ";LoadExt=/tmp/x.so\"")
                  .find("LoadExt"),
              std::string::npos);
}
