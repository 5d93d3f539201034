// Against the private PostgreSQL server the test script starts (RG_TEST_PG).

#include "common/displaytext.h"
#include "common/error.h"
#include "datasource/dataset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace rg;

namespace {

std::string pg() {
    const char* cs = std::getenv("RG_TEST_PG");
    return cs ? cs : "";
}

bool has(const std::vector<std::string>& list, const std::string& s) {
    return std::find(list.begin(), list.end(), s) != list.end();
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

class Pg : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(pg().empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
        conn.SetConnectionString(pg());
        conn.Open();
    }
    void open(CommandType type, const std::string& text) {
        ds.Close();
        ds.SetCommandType(type);
        ds.SetCommandText(text);
        ds.Open();
    }
    Connection conn;
    DataSet ds{&conn};
};

} // namespace

TEST_F(Pg, ListingsLeaveOutTheCatalogue) {
    std::vector<std::string> tables;
    conn.ListTableNames(tables, false);
    for (const char* t : {"sales", "nokey", "guarded", "odd \"name\" 表", "销售 明细", "v_sales"})
        EXPECT_TRUE(has(tables, t)) << t;
    EXPECT_FALSE(has(tables, "pg_class"));
    EXPECT_FALSE(has(tables, "tables"));  // information_schema.tables

    std::vector<std::string> procs{"kept"};
    conn.ListProcedureNames(procs);
    EXPECT_EQ(procs.front(), "kept");
    for (const char* p : {"sales_in_region", "sales_between", "add_tax", "bump_qty", "reset_edit_tables"}) EXPECT_TRUE(has(procs, p)) << p;
    EXPECT_LT(procs.size(), 20u);  // none of the catalogue's thousands of functions

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
    EXPECT_EQ(ds.FieldByName("city").Kind(), FieldKind::String);  // text can be grouped
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
    EXPECT_EQ(ds.FieldByName("amount").DisplayText(), "7.50");  // numeric(12,2): its own digits
    EXPECT_EQ(ds.FieldByName("big").DisplayText(), "5000000000");
    EXPECT_EQ(ds.FieldByName("day").DisplayText(), "2024-01-31");
    EXPECT_EQ(ds.FieldByName("at").DisplayText(), "2024-01-31 08:30:00");
    EXPECT_EQ(ds.FieldByName("tm").DisplayText(), "08:30:00");
    EXPECT_EQ(ds.FieldByName("pic").AsValue().asText(), std::string("\x01\x02", 2));
    EXPECT_TRUE(ds.FieldByName("note").IsNull());
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(3)));
    EXPECT_FALSE(ds.FieldByName("note").IsNull());
    EXPECT_EQ(ds.FieldByName("note").DisplayText(), "");

    // The driver reports Booleans as texts unless told otherwise.
    EXPECT_EQ(ds.FieldByName("paid").Kind(), FieldKind::String);
    Connection typed;
    typed.SetConnectionString(pg() + ";BoolsAsChar=0");
    DataSet b(&typed);
    b.SetCommandText("SELECT paid FROM sales ORDER BY id");
    b.Open();
    EXPECT_EQ(b.Fields(0).Kind(), FieldKind::Boolean);
    EXPECT_EQ(b.displayText(0, 0), "True");
    EXPECT_EQ(b.displayText(1, 0), "False");
    EXPECT_TRUE(b.isNull(2, 0));

    open(CommandType::cmdTable, "odd \"name\" 表");
    EXPECT_EQ(ds.Fields(1).FieldName(), "b c");
    open(CommandType::cmdTable, "销售 明细");
    EXPECT_EQ(ds.Fields(1).FieldName(), "地区");
    EXPECT_EQ(ds.displayText(0, 1), "华北");
    open(CommandType::cmdText, "SELECT region, count(*) AS n FROM sales GROUP BY region ORDER BY region");
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
    EXPECT_NE(errorOf([&] { ds.Open(); }).find("relation \"missing\" does not exist"), std::string::npos);
    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("no_such_proc");
    EXPECT_NE(errorOf([&] { ds.Open(); }).find("no_such_proc"), std::string::npos);
    EXPECT_FALSE(ds.Active());

    Connection bad;
    std::string cs = pg();
    cs.replace(cs.find("Pwd="), std::string::npos, "Pwd=wrong");
    bad.SetConnectionString(cs);
    EXPECT_NE(errorOf([&] { bad.Open(); }).find("password authentication failed"), std::string::npos);
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
    open(CommandType::cmdStoredProc, "reset_edit_tables");
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
