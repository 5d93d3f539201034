// Values at the edges of what the ODBC fetch reads, on the private PostgreSQL and MariaDB
// servers (RG_TEST_PG, RG_TEST_MARIADB): values longer than the size a driver declares,
// in any number of columns; characters outside the Basic Multilingual Plane at a column's
// declared length, also in the runner's CSV; MariaDB's BIT(n), output values and several
// results; SQLite databases a connection string names that do not exist.

#include "common/databaseerror.h"
#include "datasource/odbcprovider.h"
#include "processfolder.h"
#include "servertest.h"
#include "setup/setup.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace rg;
using rgtest::errorOf;

namespace {

class PgEdge : public ServerTest {
protected:
    std::string connectionString() const override { return rgtest::pgConnectionString(); }
    const char* variable() const override { return "RG_TEST_PG"; }
};

class MariaEdge : public ServerTest {
protected:
    std::string connectionString() const override { return rgtest::mariadbConnectionString(); }
    const char* variable() const override { return "RG_TEST_MARIADB"; }
};

struct RunResult {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string scratchFolder() {
    return rgtest::processFolder();
}

// The runner on a setup that opens `table` through `connection`, as a user runs it.
RunResult runCsv(const std::string& connection, const std::string& table,
                 const char* type = "cmdTable") {
    const std::string folder = scratchFolder(), ini = folder + "/" + table + ".ini";
    {
        TSetup s(ini);
        s.WriteConnString(connection);
        s.WriteCommandType(type);
        s.WriteCommandText(table);
        s.WriteKeyField("id");
    }
    const std::string out = folder + "/out.csv", err = folder + "/err.txt";
    const std::string cmd = std::string(RG_BINARY_DIR) + "/reportgen --run '" + ini +
                            "' --format csv >'" + out + "' 2>'" + err + "'";
    RunResult r;
    r.status = WEXITSTATUS(std::system(cmd.c_str()));
    r.out = slurp(out);
    r.err = slurp(err);
    return r;
}

// Python's strict UTF-8 decoder on the file: "ok" or its complaint.
std::string strictUtf8(const std::string& bytes) {
    const std::string path = scratchFolder() + "/decode.bin";
    std::ofstream(path, std::ios::binary) << bytes;
    const std::string cmd = "/usr/bin/python3 -c \"import sys; open(sys.argv[1], "
                            "'rb').read().decode('utf-8', 'strict'); "
                            "print('ok')\" '" +
                            path + "' 2>&1";
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// Every value column `v<i>` equals its twin `t<i>`, the server's own text of it.
void expectTwinsEqual(DataSet& ds, int columns) {
    for (int i = 1; i <= columns; ++i) {
        const int v = ds.FieldByName("v" + std::to_string(i)).Index(),
                  t = ds.FieldByName("t" + std::to_string(i)).Index();
        for (int r = 0; r < ds.RecordCount(); ++r) {
            ASSERT_EQ(ds.displayText(r, v), ds.displayText(r, t))
                << "column v" << i << ", row " << r;
            ASSERT_FALSE(ds.displayText(r, v).empty()) << "column v" << i << ", row " << r;
        }
    }
}

// The emoji/𠮷 table as both servers hold it.
void expectEdgeChars(DataSet& ds) {
    ASSERT_EQ(ds.RecordCount(), 3);
    auto cell = [&](int r, const char* f) { return ds.displayText(r, ds.FieldByName(f).Index()); };
    EXPECT_EQ(cell(0, "name"), "𠮷野家");
    EXPECT_EQ(cell(0, "mark"), "😀");
    EXPECT_EQ(cell(0, "mood"), "happy 😀");
    EXPECT_EQ(cell(0, "bits"), "101");
    EXPECT_EQ(cell(0, "wide"), "1000000001");
    EXPECT_EQ(cell(1, "name"), "野家𠮷");
    EXPECT_EQ(cell(1, "mark"), "甲");
    EXPECT_EQ(cell(1, "mood"), "x");
    EXPECT_EQ(cell(1, "bits"), "000");
    EXPECT_EQ(cell(1, "wide"), "0000000000");
    for (const char* f : {"name", "mark", "mood", "bits", "wide"})
        EXPECT_TRUE(ds.isNull(2, ds.FieldByName(f).Index())) << f;
}

} // namespace

// Unconstrained numeric holding 31 digits (the driver declares 28) and char(1) holding an
// emoji (two UTF-16 units), in 1, 3, 4 and 20 columns over several fetch blocks.
TEST_F(PgEdge, ValuesLongerThanDeclaredArriveWholeInAnyNumberOfColumns) {
    for (int columns : {1, 3, 4, 20}) {
        std::string sql = "SELECT g";
        for (int i = 1; i <= columns; ++i) {
            const std::string v = "v" + std::to_string(i), n = std::to_string(i);
            if (i % 2) {
                sql += ", ('-123456789012345678901234.5678901'::numeric - g * " + n + ") AS " + v;
            } else {
                sql += ", (CASE WHEN g % 3 = 0 THEN '甲' WHEN g % 3 = 1 THEN '😀' ELSE '𠮷' "
                       "END)::char(1) AS " +
                       v;
            }
        }
        // Every column bound, so that the values come in blocks of rows; the server's own
        // texts of them in a second result.
        const std::string from = " FROM generate_series(1, 5000) AS g ORDER BY g";
        open(CommandType::cmdText, sql + from);
        ASSERT_EQ(ds.RecordCount(), 5000) << columns << " columns";
        std::vector<std::vector<std::string>> values(5000);
        for (int r = 0; r < 5000; ++r)
            for (int i = 0; i <= columns; ++i)
                values[static_cast<size_t>(r)].push_back(ds.displayText(r, i));
        EXPECT_EQ(values[0][1], "-123456789012345678901235.5678901");
        if (columns > 1) {
            EXPECT_EQ(values[0][2], "😀");
        }
        std::string texts = "SELECT g::text";
        for (int i = 1; i <= columns; ++i)
            texts += ", v" + std::to_string(i) + "::text";
        open(CommandType::cmdText,
             texts + " FROM (" + sql + " FROM generate_series(1, 5000) AS g) AS q ORDER BY q.g");
        ASSERT_EQ(ds.RecordCount(), 5000);
        for (int r = 0; r < 5000; ++r)
            for (int i = 0; i <= columns; ++i)
                ASSERT_EQ(values[static_cast<size_t>(r)][static_cast<size_t>(i)],
                          ds.displayText(r, i))
                    << "row " << r << ", column " << i;
    }
}

// CHAR(1) holding a character of two UTF-16 units in 1, 3, 4 and 20 columns of 3,000 rows.
TEST_F(MariaEdge, CharactersBeyondTheDeclaredUnitsArriveWholeInAnyNumberOfColumns) {
    for (int columns : {1, 3, 4, 20}) {
        std::string sql = "SELECT id";
        for (int i = 1; i <= columns; ++i)
            sql += ", c" + std::to_string(i) + " AS v" + std::to_string(i);
        for (int i = 1; i <= columns; ++i)
            sql += ", CAST(c" + std::to_string(i) + " AS CHAR(20)) AS t" + std::to_string(i);
        open(CommandType::cmdText, sql + " FROM edge_fetch_marks ORDER BY id");
        ASSERT_EQ(ds.RecordCount(), 3000) << columns << " columns";
        expectTwinsEqual(ds, columns);
        for (int r = 0; r < 3000; r += 999) {
            for (int i = 1; i <= columns; ++i) {
                const std::string want =
                    i == 20 ? ((r + 1) % 2 == 0 ? "甲" : "😀") : (i % 2 ? "😀" : "𠮷");
                ASSERT_EQ(ds.displayText(r, i), want) << "c" << i << ", row " << r;
            }
        }
    }
}

// A text read piecewise whose pieces end inside a surrogate pair, at every offset around
// the piece size, and a long run of pairs.
std::string pairsAcrossPiecesSql(const char* repeat) {
    std::string sql = "SELECT 0 AS id, CONCAT(" + std::string(repeat) + "('😀', 3000)) AS t";
    for (int lead = 2040; lead <= 2050; ++lead)
        sql += " UNION ALL SELECT " + std::to_string(lead) + ", CONCAT(" + repeat + "('a', " +
               std::to_string(lead) + "), " + repeat + "('𠮷', 1500))";
    return sql + " ORDER BY id";
}

void expectPairsWhole(DataSet& ds) {
    ASSERT_EQ(ds.RecordCount(), 12);
    std::string emoji;
    for (int i = 0; i < 3000; ++i)
        emoji += "😀";
    EXPECT_EQ(ds.displayText(0, 1), emoji);
    std::string rare;
    for (int i = 0; i < 1500; ++i)
        rare += "𠮷";
    for (int r = 1; r < 12; ++r)
        EXPECT_EQ(ds.displayText(r, 1), std::string(static_cast<size_t>(2039 + r), 'a') + rare)
            << r;
}

TEST_F(PgEdge, PiecesOfALongTextNeverPartASurrogatePair) {
    open(CommandType::cmdText, pairsAcrossPiecesSql("repeat"));
    expectPairsWhole(ds);
}

TEST_F(MariaEdge, PiecesOfALongTextNeverPartASurrogatePair) {
    open(CommandType::cmdText, pairsAcrossPiecesSql("REPEAT"));
    expectPairsWhole(ds);
}

// The SQLite ODBC driver cannot read a cut value on its row of a block: the fetch starts
// over with the column read piecewise, as often as there are such columns.
TEST(EdgeFetchSqlite, TextsLongerThanDeclaredInSixColumnsArriveWhole) {
    std::string script = "create table t (id integer primary key";
    for (int i = 1; i <= 6; ++i)
        script += ", v" + std::to_string(i) + " varchar(2)";
    script += "); with recursive n(i) as (select 1 union all select i + 1 from n where i < 300) "
              "insert into t select i";
    for (int i = 1; i <= 6; ++i)
        script += ", '列" + std::to_string(i) + " 😀 ' || i";
    script += " from n;";
    const std::string path = rgtest::makeSqliteFile("edge_fetch_long", script);
    Connection conn;
    conn.SetConnectionString("Driver=SQLite3;Database=" + path);
    DataSet ds(&conn);
    ds.SetCommandText("SELECT * FROM t ORDER BY id");
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 300);
    for (int r = 0; r < 300; ++r)
        for (int i = 1; i <= 6; ++i)
            ASSERT_EQ(ds.displayText(r, i),
                      "列" + std::to_string(i) + " 😀 " + std::to_string(r + 1))
                << r << ", v" << i;
}

// Bytes that are no UTF-8 (GBK from an old program, a character cut short) in a SQLite file
// read through the narrow SQLite ODBC driver, bound or read piecewise: each bad byte is a
// replacement character, so that no cell, export or CSV holds invalid UTF-8.
TEST(EdgeFetchSqlite, BytesThatAreNoUtf8BecomeReplacementCharacters) {
    const std::string path = rgtest::makeSqliteFile(
        "edge_fetch_bytes",
        "create table t (id integer primary key, a varchar(20), b text);"
        "insert into t values (1, cast(X'C4E3BAC3' as text), cast(X'4F4BE4BD' as text) || '𠮷');"
        "insert into t values (2, '甲乙', cast(X'EDA0BD' as text));");
    Connection conn;
    conn.SetConnectionString("Driver=SQLite3;Database=" + path);
    DataSet ds(&conn);
    ds.SetCommandText("SELECT * FROM t ORDER BY id");
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.displayText(0, 1), "\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(ds.displayText(0, 2), "OK\uFFFD\uFFFD𠮷");
    EXPECT_EQ(ds.displayText(1, 1), "甲乙");
    EXPECT_EQ(ds.displayText(1, 2), "\uFFFD\uFFFD\uFFFD");
}

// A driver error that comes without a text still names its SQLSTATE and native code.
TEST(EdgeFetchMessages, AnErrorWithoutTextNamesItsCodes) {
    EXPECT_STREQ(DatabaseError("", "HY000", 1234).what(), "SQLSTATE HY000, 错误代码 1234");
    EXPECT_STREQ(DatabaseError("", "HY000", 1234).inContext("执行 SQL 失败").what(),
                 "执行 SQL 失败：SQLSTATE HY000，错误代码 1234");
}

TEST_F(PgEdge, RareCharactersAndBitStringsReadWholeAndWriteValidCsv) {
    open(CommandType::cmdText, "SELECT * FROM edge_fetch_chars ORDER BY id");
    expectEdgeChars(ds);
    const RunResult r = runCsv(connectionString(), "edge_fetch_chars");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(strictUtf8(r.out), "ok");
    for (const char* t : {"𠮷野家", "野家𠮷", "happy 😀", "😀", "1000000001"})
        EXPECT_NE(r.out.find(t), std::string::npos) << t;
}

TEST_F(MariaEdge, RareCharactersAndBitValuesReadWholeAndWriteValidCsv) {
    open(CommandType::cmdText, "SELECT * FROM edge_fetch_chars ORDER BY id");
    expectEdgeChars(ds);
    EXPECT_EQ(ds.FieldByName("bits").Kind(), FieldKind::String);
    const RunResult r = runCsv(connectionString(), "edge_fetch_chars");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(strictUtf8(r.out), "ok");
    for (const char* t : {"𠮷野家", "野家𠮷", "happy 😀", "😀", "1000000001"})
        EXPECT_NE(r.out.find(t), std::string::npos) << t;
}

// Output values show as one row, as on PostgreSQL; results after the first are counted
// for the user, in the window's data set and on the runner's standard error.
TEST_F(MariaEdge, OutputValuesShowAsARowAndFurtherResultsAreCounted) {
    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("edge_fetch_outputs");
    ds.RefreshParameters();
    ASSERT_EQ(ds.ParameterCount(), 3);
    ds.Parameters(0).SetValue(Value::fromText("1"));
    ds.Parameters(2).SetValue(Value::fromText("5"));
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 1);
    ASSERT_EQ(ds.FieldCount(), 2);
    EXPECT_EQ(ds.FieldByName("p_name").DisplayText(), "𠮷野家");
    EXPECT_EQ(ds.FieldByName("p_count").DisplayText(), "6");
    EXPECT_EQ(ds.Parameters(1).Value().asText(), "𠮷野家");
    EXPECT_EQ(ds.Parameters(2).Value().asInt(), 6);
    EXPECT_EQ(ds.OpenNotice(), "");

    ds.Close();
    ds.SetCommandText("edge_fetch_three");
    ds.RefreshParameters();
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.Fields(1).FieldName(), "name");
    EXPECT_EQ(ds.OpenNotice(), skippedResultsNotice(2));
    EXPECT_NE(ds.OpenNotice().find("3 个结果集"), std::string::npos);

    // The same call as an SQL text.
    open(CommandType::cmdText, "CALL edge_fetch_three()");
    ASSERT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.OpenNotice(), skippedResultsNotice(2));
    open(CommandType::cmdText, "SELECT id FROM edge_fetch_chars");
    EXPECT_EQ(ds.OpenNotice(), "");

    const RunResult r = runCsv(connectionString(), "edge_fetch_three", "cmdStoredProc");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("𠮷野家"), std::string::npos);
    EXPECT_NE(r.err.find(skippedResultsNotice(2)), std::string::npos) << r.err;
}

// Neither the SQLite ODBC driver nor the built-in provider makes a file for a database
// that is not there, whether the path is in the connection string or in a data source.
TEST(EdgeFetchSqlite, AMissingDatabaseFileIsRefusedAndNotCreated) {
    const std::string folder = scratchFolder(), missing = folder + "/没有这个.db";
    std::filesystem::remove(missing);
    const std::string want = "找不到数据库文件：" + missing;
    for (const std::string& cs : {"Driver=SQLite3;Database=" + missing, rgtest::builtin(missing)}) {
        Connection conn;
        conn.SetConnectionString(cs);
        EXPECT_EQ(errorOf([&] { conn.Open(); }), want) << cs;
        EXPECT_FALSE(std::filesystem::exists(missing)) << cs;
    }

    const std::string ini = folder + "/odbc.ini";
    std::ofstream(ini) << "[edge_fetch_missing]\nDriver=SQLite3\nDatabase=" << missing << "\n";
    const char* previous = std::getenv("ODBCINI");
    const std::string saved = previous ? previous : "";
    setenv("ODBCINI", ini.c_str(), 1);
    Connection conn;
    conn.SetConnectionString("DSN=edge_fetch_missing");
    EXPECT_EQ(errorOf([&] { conn.Open(); }), want);
    EXPECT_FALSE(std::filesystem::exists(missing));
    if (previous)
        setenv("ODBCINI", saved.c_str(), 1);
    else
        unsetenv("ODBCINI");

    // An existing file still opens through both.
    const std::string present = rgtest::makeSqliteFile(
        "edge_fetch_present", "create table t(a text); insert into t values ('甲');");
    for (const std::string& cs : {"Driver=SQLite3;Database=" + present, rgtest::builtin(present)}) {
        Connection c;
        c.SetConnectionString(cs);
        EXPECT_EQ(errorOf([&] { c.Open(); }), "(no error)") << cs;
    }
}
