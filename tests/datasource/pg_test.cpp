// Against the private PostgreSQL server the test script starts (RG_TEST_PG).

#include "common/displaytext.h"
#include "common/error.h"
#include "datasource/connstring.h"
#include "datasource/dataset.h"
#include "datasource/provider.h"
#include "processfolder.h"
#include "servertest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

using namespace rg;
using rgtest::errorOf;
using rgtest::has;

namespace {

std::string pg() {
    return rgtest::pgConnectionString();
}

class Pg : public ServerTest {
protected:
    std::string connectionString() const override { return pg(); }
    const char* variable() const override { return "RG_TEST_PG"; }
};

} // namespace

TEST_F(Pg, ListingsLeaveOutTheCatalogue) {
    std::vector<std::string> tables;
    conn.ListTableNames(tables, false);
    for (const char* t : {"sales", "nokey", "guarded", "odd \"name\" 表", "销售 明细", "v_sales"})
        EXPECT_TRUE(has(tables, t)) << t;
    EXPECT_FALSE(has(tables, "pg_class"));
    EXPECT_FALSE(has(tables, "tables")); // information_schema.tables

    std::vector<std::string> procs{"kept"};
    conn.ListProcedureNames(procs);
    EXPECT_EQ(procs.front(), "kept");
    for (const char* p :
         {"sales_in_region", "sales_between", "add_tax", "bump_qty", "reset_edit_tables"})
        EXPECT_TRUE(has(procs, p)) << p;
    EXPECT_LT(procs.size(), 20u); // none of the catalogue's thousands of functions

    std::vector<std::string> fields;
    conn.ListFieldNames("odd \"name\" 表", fields);
    EXPECT_EQ(fields, (std::vector<std::string>{"a", "b c"}));
    conn.ListFieldNames("sales", fields);
    ASSERT_EQ(fields.size(), 14u);
    EXPECT_EQ(fields[0], "id");
    EXPECT_EQ(fields[13], "pic");
}

TEST_F(Pg, TableAndTextCommandsWithKindsAndAwkwardNames) {
    open(CommandType::cmdTable, "sales");
    ASSERT_EQ(ds.FieldCount(), 14);
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.FieldByName("id").Kind(), FieldKind::Integer);
    EXPECT_EQ(ds.FieldByName("region").Kind(), FieldKind::String);
    EXPECT_EQ(ds.FieldByName("region").Size(), 20);
    EXPECT_EQ(ds.FieldByName("city").Kind(), FieldKind::String); // text can be grouped
    EXPECT_EQ(ds.FieldByName("price").Kind(), FieldKind::Float);
    EXPECT_EQ(ds.FieldByName("amount").Kind(), FieldKind::BCD);
    EXPECT_EQ(ds.FieldByName("big").Kind(), FieldKind::LargeInt);
    EXPECT_EQ(ds.FieldByName("small").Kind(), FieldKind::SmallInt);
    EXPECT_EQ(ds.FieldByName("day").Kind(), FieldKind::Date);
    EXPECT_EQ(ds.FieldByName("at").Kind(), FieldKind::DateTime);
    EXPECT_EQ(ds.FieldByName("tm").Kind(), FieldKind::Time);
    EXPECT_EQ(ds.FieldByName("pic").Kind(), FieldKind::Blob);
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(1)));
    EXPECT_EQ(ds.FieldByName("region").DisplayText(), "华北");
    EXPECT_EQ(ds.FieldByName("amount").DisplayText(), "7.50"); // numeric(12,2): its own digits
    EXPECT_EQ(ds.FieldByName("big").DisplayText(), "5000000000");
    EXPECT_EQ(ds.FieldByName("day").DisplayText(), "2024-01-31");
    EXPECT_EQ(ds.FieldByName("at").DisplayText(), "2024-01-31 08:30:00");
    EXPECT_EQ(ds.FieldByName("tm").DisplayText(), "08:30:00");
    EXPECT_EQ(ds.FieldByName("pic").AsValue().asText(), std::string("\x01\x02", 2));
    EXPECT_TRUE(ds.FieldByName("note").IsNull());
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(3)));
    EXPECT_FALSE(ds.FieldByName("note").IsNull());
    EXPECT_EQ(ds.FieldByName("note").DisplayText(), "");

    // Booleans without driver options; the user's own option still wins.
    EXPECT_EQ(ds.FieldByName("paid").Kind(), FieldKind::Boolean);
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(1)));
    EXPECT_EQ(ds.FieldByName("paid").DisplayText(), "True");
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(2)));
    EXPECT_EQ(ds.FieldByName("paid").DisplayText(), "False");
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(3)));
    EXPECT_TRUE(ds.FieldByName("paid").IsNull());
    Connection texts;
    texts.SetConnectionString(pg() + ";BoolsAsChar=1");
    DataSet b(&texts);
    b.SetCommandText("SELECT paid FROM sales ORDER BY id");
    b.Open();
    EXPECT_EQ(b.Fields(0).Kind(), FieldKind::String);

    open(CommandType::cmdTable, "odd \"name\" 表");
    EXPECT_EQ(ds.Fields(1).FieldName(), "b c");
    open(CommandType::cmdTable, "销售 明细");
    EXPECT_EQ(ds.Fields(1).FieldName(), "地区");
    EXPECT_EQ(ds.displayText(0, 1), "华北");
    open(CommandType::cmdText,
         "SELECT region, count(*) AS n FROM sales GROUP BY region ORDER BY region");
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.Fields(1).Kind(), FieldKind::LargeInt);

    // A table name is never SQL.
    ds.Close();
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("sales; DROP TABLE nokey");
    EXPECT_NE(errorOf([&] { ds.Open(); }).find("does not exist"), std::string::npos);
    open(CommandType::cmdTable, "nokey");
    EXPECT_EQ(ds.FieldCount(), 2);
}

TEST_F(Pg, DriverMessagesReachTheCaller) {
    ds.SetCommandText("SELEC 1");
    EXPECT_NE(errorOf([&] { ds.Open(); }).find("syntax error"), std::string::npos);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("missing");
    EXPECT_NE(errorOf([&] { ds.Open(); }).find("relation \"missing\" does not exist"),
              std::string::npos);
    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("no_such_proc");
    EXPECT_NE(errorOf([&] { ds.Open(); }).find("no_such_proc"), std::string::npos);
    EXPECT_FALSE(ds.Active());

    Connection bad;
    std::string cs = pg();
    cs.replace(cs.find("Pwd="), std::string::npos, "Pwd=wrong");
    bad.SetConnectionString(cs);
    EXPECT_NE(errorOf([&] { bad.Open(); }).find("password authentication failed"),
              std::string::npos);
    // A server that is not running: the port of the test server's neighbour stays closed.
    cs = pg();
    cs.replace(cs.find("Port="), cs.find(';', cs.find("Port=")) - cs.find("Port="), "Port=1");
    bad.SetConnectionString(cs);
    EXPECT_NE(errorOf([&] { bad.Open(); }).find("Connection refused"), std::string::npos);
    bad.SetConnectionString("Driver={No Such Driver};Server=127.0.0.1");
    EXPECT_NE(errorOf([&] { bad.Open(); }).find("No Such Driver"), std::string::npos);
    EXPECT_FALSE(bad.Connected());
}

TEST_F(Pg, StoredProceduresWithParametersOfEveryDirection) {
    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("sales_in_region");
    ds.RefreshParameters();
    ASSERT_EQ(ds.ParameterCount(), 1);
    EXPECT_EQ(ds.Parameters(0).Name, "p_region");
    EXPECT_EQ(ds.Parameters(0).Direction, ParameterDirection::Input);
    EXPECT_TRUE(ds.Parameters(0).Value().isNull());
    ds.ParameterByName("P_REGION").SetValue(Value::fromText("华东"));
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.FieldByName("city").DisplayText(), "上海");
    EXPECT_EQ(errorOf([&] { ds.ParameterByName("nope"); }), "Parameter 'nope' not found");
    ds.Close();

    ds.SetCommandText("sales_between");
    ds.RefreshParameters();
    ASSERT_EQ(ds.ParameterCount(), 2);
    ds.Parameters(0).SetValue(Value::fromDate(dateSerial(2024, 1, 1)));
    ds.Parameters(1).SetValue(Value::fromDate(dateSerial(2024, 2, 28)));
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.displayText(0, 1), "华北");
    ds.Close();

    ds.SetCommandText("add_tax");
    ds.RefreshParameters();
    ASSERT_EQ(ds.ParameterCount(), 3);
    EXPECT_EQ(ds.Parameters(0).Direction, ParameterDirection::Input);
    EXPECT_EQ(ds.Parameters(1).Direction, ParameterDirection::InputOutput);
    EXPECT_EQ(ds.Parameters(2).Direction, ParameterDirection::Output);
    EXPECT_EQ(ds.Parameters(2).Name, "p_total");
}

TEST_F(Pg, OutputParametersComeBack) {
    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("add_tax");
    ds.RefreshParameters();
    ds.Parameters(0).SetValue(Value::fromDouble(200));
    ds.Parameters(1).SetValue(Value::fromDouble(0.1));
    ds.Open();
    EXPECT_DOUBLE_EQ(ds.Parameters(1).Value().asDouble(), 10);
    EXPECT_DOUBLE_EQ(ds.Parameters(2).Value().asDouble(), 220);
    ds.Close();

    // A procedure that changes data, which a setup must allow.
    ds.SetProcedureMayWrite(true);
    ds.SetCommandText("bump_qty");
    ds.RefreshParameters();
    ASSERT_EQ(ds.ParameterCount(), 2);
    EXPECT_EQ(ds.Parameters(1).Direction, ParameterDirection::InputOutput);
    ds.Parameters(0).SetValue(Value::fromInt(2));
    ds.Parameters(1).SetValue(Value::fromInt(0));
    ds.Open();
    EXPECT_EQ(ds.Parameters(1).Value().asInt(), 0);
}

// The only test that changes data (ctest runs the others beside it): it starts from the
// rows the schema script wrote.
TEST_F(Pg, PostAndDeleteTouchExactlyOneRow) {
    ds.SetProcedureMayWrite(true);
    open(CommandType::cmdStoredProc, "reset_edit_tables");
    ds.SetProcedureMayWrite(false);
    open(CommandType::cmdTable, "guarded");
    ds.Edit();
    ds.SetFieldValue(1, Value::fromInt(11));
    ds.Post();
    EXPECT_EQ(ds.displayText(0, 1), "11");
    // The database refuses: the record keeps its value and the edit stays open.
    ds.Edit();
    ds.SetFieldValue(1, Value::fromInt(500));
    EXPECT_NE(errorOf([&] { ds.Post(); }).find("guarded_v_check"), std::string::npos);
    EXPECT_EQ(ds.displayText(0, 1), "11");
    ds.Cancel();
    open(CommandType::cmdTable, "guarded");
    EXPECT_EQ(ds.displayText(0, 1), "11");

    // Without a key the row is found by all its values; two equal rows are refused.
    open(CommandType::cmdText, "SELECT a, b FROM nokey ORDER BY a");
    ASSERT_EQ(ds.RecordCount(), 3);
    ds.SetRecNo(1);
    EXPECT_NE(errorOf([&] { ds.Delete(); }).find("rolled back"), std::string::npos);
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.First();
    ds.Delete();
    EXPECT_EQ(ds.RecordCount(), 2);
    open(CommandType::cmdTable, "nokey");
    EXPECT_EQ(ds.RecordCount(), 2);

    // Awkward names are quoted in the changes too.
    open(CommandType::cmdTable, "odd \"name\" 表");
    ds.Edit();
    ds.SetFieldValue(1, Value::fromText("改过"));
    ds.Post();
    open(CommandType::cmdTable, "odd \"name\" 表");
    EXPECT_EQ(ds.displayText(0, 1), "改过");
}

TEST_F(Pg, SchemaQualifiedTablesAreListedAndOpen) {
    std::vector<std::string> tables;
    conn.ListTableNames(tables, false);
    for (const char* t :
         {"sales", "财务.sales", "财务.账目", "a.b", "odd \"s\".select", "empty_table"})
        EXPECT_TRUE(has(tables, t)) << t;
    EXPECT_FALSE(has(tables, "账目"));
    EXPECT_EQ(std::count(tables.begin(), tables.end(), "sales"), 1);
    for (const std::string& t : tables) {
        EXPECT_EQ(errorOf([&] { open(CommandType::cmdTable, t); }), "(no error)") << t;
        EXPECT_GT(ds.FieldCount(), 0) << t;
    }

    open(CommandType::cmdTable, "财务.账目");
    ASSERT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(ds.FieldByName("摘要").DisplayText(), "期初");
    EXPECT_EQ(ds.displayText(1, 2), "25.50");
    open(CommandType::cmdTable, "财务.sales");
    EXPECT_EQ(ds.FieldCount(), 2);
    EXPECT_EQ(ds.displayText(0, 0), "9");
    open(CommandType::cmdTable, "sales");
    EXPECT_EQ(ds.RecordCount(), 3);
    open(CommandType::cmdTable, "a.b"); // a dot inside a name of the default schema
    EXPECT_EQ(ds.displayText(0, 0), "5");
    open(CommandType::cmdTable, "odd \"s\".select");
    EXPECT_EQ(ds.Fields(0).FieldName(), "from");
    EXPECT_EQ(ds.displayText(0, 0), "3");
    open(CommandType::cmdTable, "empty_table");
    EXPECT_EQ(ds.FieldCount(), 2);
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_TRUE(ds.Eof());

    std::vector<std::string> fields;
    conn.ListFieldNames("财务.sales", fields);
    EXPECT_EQ(fields, (std::vector<std::string>{"id", "memo"}));
    conn.ListFieldNames("sales", fields);
    EXPECT_EQ(fields.size(), 14u);

    // Neither part of a qualified name is ever SQL.
    for (const char* evil :
         {"财务.账目; DROP TABLE nokey", "财务\".\"账目", "sales\"; DROP TABLE nokey; --"}) {
        ds.Close();
        ds.SetCommandText(evil);
        EXPECT_NE(errorOf([&] { ds.Open(); }).find("does not exist"), std::string::npos) << evil;
    }
    open(CommandType::cmdTable, "nokey");
    EXPECT_EQ(ds.FieldCount(), 2);
}

TEST_F(Pg, OverloadsAndFunctionsReturningOneValue) {
    std::vector<std::string> procs;
    conn.ListProcedureNames(procs);
    for (const char* p :
         {"f_over(int4)", "f_over(text)", "f_date", "f_sum", "财务.rate_of", "财务.税 \"率\""})
        EXPECT_TRUE(has(procs, p)) << p;
    EXPECT_FALSE(has(procs, "f_over"));
    EXPECT_EQ(std::count(procs.begin(), procs.end(), "f_over(int4)"), 1);

    ds.SetCommandType(CommandType::cmdStoredProc);
    auto run = [&](const std::string& name, const std::vector<std::string>& values) {
        ds.Close();
        ds.SetCommandText(name);
        ds.RefreshParameters();
        for (size_t i = 0; i < values.size(); ++i)
            ds.Parameters(static_cast<int>(i) + 1).SetValue(Value::fromText(values[i]));
        ds.Open();
    };
    run("f_over(int4)", {"4"});
    ASSERT_EQ(ds.ParameterCount(), 2); // the return value and this overload's own argument
    EXPECT_EQ(ds.Parameters(0).Direction, ParameterDirection::ReturnValue);
    ASSERT_EQ(ds.FieldCount(), 1);
    EXPECT_EQ(ds.Fields(0).FieldName(), "f_over");
    EXPECT_EQ(ds.displayText(0, 0), "40");
    EXPECT_EQ(ds.Parameters(0).Value().asInt(), 40);
    run("f_over(text)", {"甲"});
    ASSERT_EQ(ds.ParameterCount(), 2);
    EXPECT_EQ(ds.displayText(0, 0), "甲!");

    run("f_date", {"2024-02-28"});
    ASSERT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.Fields(0).FieldName(), "f_date");
    EXPECT_EQ(ds.displayText(0, 0), "2024-02-29");
    EXPECT_EQ(ds.Parameters(0).Value().displayText(), "2024-02-29");
    run("f_sum", {"2", "3"});
    EXPECT_EQ(ds.displayText(0, 0), "5");
    EXPECT_EQ(ds.Parameters(0).Value().asInt(), 5);
    run("财务.rate_of", {"2"});
    ASSERT_EQ(ds.ParameterCount(), 2);
    EXPECT_EQ(ds.Fields(0).FieldName(), "rate_of");
    EXPECT_EQ(ds.displayText(0, 0), "25.50");
    run("财务.税 \"率\"", {"3"});
    EXPECT_EQ(ds.Fields(0).FieldName(), "税 \"率\"");
    EXPECT_EQ(ds.displayText(0, 0), "6");
    run("join_codes", {"a", "b"});
    EXPECT_EQ(ds.displayText(0, 0), "a-b");
}

// A data source name hides the driver until connected; it still gets Booleans as Booleans.
TEST_F(Pg, DataSourceNamesGetTheDriverDefaultsToo) {
    const ConnParts parts = parseConnectionString(pg());
    const std::string ini = rgtest::processFolder() + "/odbc.ini";
    std::ofstream(ini) << "[rg_pg_dsn]\nDriver=PostgreSQL Unicode\nServername="
                       << connValue(parts, "Server") << "\nPort=" << connValue(parts, "Port")
                       << "\nDatabase=" << connValue(parts, "Database") << "\n";
    setenv("ODBCINI", ini.c_str(), 1);
    Connection dsn;
    dsn.SetConnectionString("DSN=rg_pg_dsn;Uid=" + connValue(parts, "Uid") +
                            ";Pwd=" + connValue(parts, "Pwd"));
    DataSet d(&dsn);
    d.SetCommandText("SELECT paid FROM sales ORDER BY id");
    d.Open();
    EXPECT_EQ(d.Fields(0).Kind(), FieldKind::Boolean);
    EXPECT_EQ(d.displayText(1, 0), "False");
    d.Close();
    dsn.Close();
    unsetenv("ODBCINI");
    std::remove(ini.c_str());
}

TEST_F(Pg, LargeResultsFetchThroughACursor) {
    // More rows than one block of the driver's cursor, with and without the user's options.
    for (const std::string& extra : {std::string(), std::string(";UseDeclareFetch=0")}) {
        Connection c;
        c.SetConnectionString(pg() + extra);
        DataSet d(&c);
        d.SetCommandText(
            "SELECT g AS n, g % 7 = 0 AS sevens FROM generate_series(1, 30000) g ORDER BY g");
        d.Open();
        ASSERT_EQ(d.RecordCount(), 30000) << extra;
        EXPECT_EQ(d.displayText(29999, 0), "30000");
        EXPECT_EQ(d.displayText(2047, 1), "False");
        EXPECT_EQ(d.displayText(20999, 1), "True");
    }
}

TEST_F(Pg, FetchedTextsKeepCodesUntilTheyTurnUnique) {
    // Row r holds g = r + 1.
    const auto buf = openProvider(pg())->query(
        "SELECT CASE g % 4 WHEN 0 THEN NULL WHEN 1 THEN '' WHEN 2 THEN '华北' ELSE 'x' END AS few,"
        " CASE WHEN g <= 70000 THEN 'r' || (g % 3) ELSE 'u' || g END AS turn,"
        " CASE WHEN g < 70000 THEN g % 100 ELSE g * 10000000000 END AS big"
        " FROM generate_series(1, 100000) g ORDER BY g",
        {});
    ASSERT_EQ(buf->rows, 100000);
    const ColumnData& few = buf->columns[0];
    ASSERT_TRUE(few.hasCodes());
    EXPECT_EQ(few.codeCount(), 4u);
    EXPECT_EQ(few.codeAt(0), 1u);
    EXPECT_EQ(few.codeText(1), "");
    EXPECT_EQ(few.textAt(99997), "华北");
    EXPECT_EQ(few.codeAt(99999), 0u);
    EXPECT_TRUE(few.isNull(99999));
    EXPECT_FALSE(buf->columns[1].hasCodes());
    EXPECT_EQ(buf->columns[1].textAt(0), "r1");
    EXPECT_EQ(buf->columns[1].textAt(99999), "u100000");
    EXPECT_EQ(buf->columns[2].intAt(68999), 69000 % 100);
    EXPECT_EQ(buf->columns[2].intAt(99999), 100000 * 10000000000LL);
}
