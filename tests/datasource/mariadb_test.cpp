// Against the private MariaDB server the test script starts (RG_TEST_MARIADB).

#include "common/displaytext.h"
#include "common/error.h"
#include "datasource/dataset.h"
#include "servertest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

using namespace rg;
using rgtest::errorOf;
using rgtest::has;

namespace {

std::string maria() {
    return rgtest::mariadbConnectionString();
}

class Maria : public ServerTest {
protected:
    std::string connectionString() const override { return maria(); }
    const char* variable() const override { return "RG_TEST_MARIADB"; }
};

} // namespace

TEST_F(Maria, DatabasesAreSchemasAndEveryListedTableOpens) {
    std::vector<std::string> tables;
    conn.ListTableNames(tables, false);
    for (const char* t : {"sales", "empty_table", "odd `name` 表", "select", "销售 明细", "v_sales",
                          "rgother.accounts", "rgother.sales"})
        EXPECT_TRUE(has(tables, t)) << t;
    for (const std::string& t : tables) {
        for (const char* system : {"information_schema.", "performance_schema.", "mysql.", "sys."})
            EXPECT_NE(t.rfind(system, 0), 0u) << t;
        EXPECT_EQ(errorOf([&] { open(CommandType::cmdTable, t); }), "(no error)") << t;
    }

    open(CommandType::cmdTable, "rgother.sales");
    ASSERT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.displayText(0, 0), "42");
    open(CommandType::cmdTable, "rgother.accounts");
    EXPECT_EQ(ds.displayText(1, 1), "银行存款");
    open(CommandType::cmdTable, "odd `name` 表");
    EXPECT_EQ(ds.Fields(1).FieldName(), "b c");
    open(CommandType::cmdTable, "select");
    EXPECT_EQ(ds.Fields(0).FieldName(), "order");
    EXPECT_EQ(ds.displayText(0, 1), "甲");
    open(CommandType::cmdTable, "销售 明细");
    EXPECT_EQ(ds.displayText(0, 1), "华北");
    open(CommandType::cmdTable, "empty_table");
    EXPECT_EQ(ds.FieldCount(), 2);
    EXPECT_EQ(ds.RecordCount(), 0);

    std::vector<std::string> fields;
    conn.ListFieldNames("rgother.sales", fields);
    EXPECT_EQ(fields, std::vector<std::string>{"id"});
    conn.ListFieldNames("sales", fields);
    EXPECT_EQ(fields.size(), 7u);

    for (const char* evil :
         {"sales`; DROP TABLE empty_table; --", "rgother.sales; DROP TABLE empty_table"}) {
        ds.Close();
        ds.SetCommandText(evil);
        EXPECT_NE(errorOf([&] { ds.Open(); }).find("doesn't exist"), std::string::npos) << evil;
    }
    open(CommandType::cmdTable, "empty_table");
    EXPECT_EQ(ds.FieldCount(), 2);
}

TEST_F(Maria, KindsAndBitAfterNull) {
    open(CommandType::cmdText, "SELECT * FROM sales ORDER BY id");
    ASSERT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.FieldByName("amount").Kind(), FieldKind::BCD);
    EXPECT_EQ(ds.FieldByName("big").Kind(), FieldKind::LargeInt);
    EXPECT_EQ(ds.FieldByName("paid").Kind(), FieldKind::Boolean);
    const int paid = ds.FieldByName("paid").Index();
    EXPECT_EQ(ds.displayText(0, paid), "True");
    EXPECT_TRUE(ds.isNull(1, paid));
    EXPECT_EQ(ds.displayText(2, paid), "False"); // right after the null
    EXPECT_EQ(ds.displayText(3, paid), "True");
    EXPECT_EQ(ds.displayText(3, ds.FieldByName("amount").Index()), "99999999.99");
    EXPECT_EQ(ds.displayText(0, ds.FieldByName("big").Index()), "5000000000");
    EXPECT_EQ(ds.displayText(1, ds.FieldByName("note").Index()), "加急");
    EXPECT_TRUE(ds.isNull(0, ds.FieldByName("note").Index()));
    EXPECT_FALSE(ds.isNull(2, ds.FieldByName("note").Index()));
}

TEST_F(Maria, ProceduresWithOutputValuesAndFunctions) {
    std::vector<std::string> procs;
    conn.ListProcedureNames(procs);
    for (const char* p : {"region_report", "label_of", "greet", "with_tax"})
        EXPECT_TRUE(has(procs, p)) << p;

    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("region_report");
    ds.RefreshParameters();
    ASSERT_EQ(ds.ParameterCount(), 3);
    EXPECT_EQ(ds.Parameters(0).Direction, ParameterDirection::Input);
    EXPECT_EQ(ds.Parameters(1).Direction, ParameterDirection::InputOutput);
    EXPECT_EQ(ds.Parameters(2).Direction, ParameterDirection::Output);
    ds.Parameters(0).SetValue(Value::fromText("华东"));
    ds.Parameters(1).SetValue(Value::fromText("10"));
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 1); // the result set comes before the output values
    EXPECT_EQ(ds.FieldByName("region").DisplayText(), "华东");
    EXPECT_EQ(ds.Parameters(1).Value().asInt(), 11);
    EXPECT_EQ(ds.Parameters(2).Value().asText(), "地区：华东");

    ds.Close();
    ds.SetCommandText("label_of");
    ds.RefreshParameters();
    ASSERT_EQ(ds.ParameterCount(), 3);
    ds.Parameters(0).SetValue(Value::fromText("4"));
    ds.Open();
    ASSERT_EQ(ds.FieldCount(), 2); // the output values as one row, as on PostgreSQL
    EXPECT_EQ(ds.FieldByName("p_label").DisplayText(), "西北·4");
    EXPECT_EQ(ds.Parameters(1).Value().asText(), "西北·4");
    EXPECT_EQ(ds.Parameters(2).Value().displayText(), "99999999.99");

    ds.Close();
    ds.SetCommandText("greet");
    ds.RefreshParameters();
    ASSERT_EQ(ds.ParameterCount(), 1);
    EXPECT_EQ(ds.Parameters(0).Direction, ParameterDirection::InputOutput);
    ds.Parameters(0).SetValue(Value::fromText("张三"));
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.displayText(0, 0), "张三，你好");
    EXPECT_EQ(ds.Parameters(0).Value().asText(), "张三，你好");

    ds.Close();
    ds.SetCommandText("with_tax");
    ds.RefreshParameters();
    ASSERT_EQ(ds.ParameterCount(), 3);
    EXPECT_EQ(ds.Parameters(0).Direction, ParameterDirection::ReturnValue);
    ds.Parameters(1).SetValue(Value::fromText("100"));
    ds.Parameters(2).SetValue(Value::fromText("0.05"));
    ds.Open();
    ASSERT_EQ(ds.FieldCount(), 1);
    EXPECT_EQ(ds.Fields(0).FieldName(), "with_tax");
    EXPECT_EQ(ds.displayText(0, 0), "105.00");
    EXPECT_EQ(ds.Parameters(0).Value().displayText(), "105.00");
}

// Changes reach the table of the database the rows came from, not its namesake in the
// connection's own database. Only this test changes rgother.accounts' first row.
TEST_F(Maria, EditsInAnotherDatabase) {
    open(CommandType::cmdTable, "rgother.accounts");
    ds.Edit();
    ds.SetFieldValue(1, Value::fromText("库存现金"));
    ds.Post();
    open(CommandType::cmdText, "SELECT title FROM rgother.accounts WHERE id = 1");
    EXPECT_EQ(ds.displayText(0, 0), "库存现金");
    open(CommandType::cmdTable, "rgother.accounts");
    ds.Edit();
    ds.SetFieldValue(1, Value::fromText("现金"));
    ds.Post();
    open(CommandType::cmdText, "SELECT title FROM rgother.accounts WHERE id = 1");
    EXPECT_EQ(ds.displayText(0, 0), "现金");
}

TEST_F(Maria, LoginAndServerFailuresCarryTheDriverText) {
    Connection bad;
    std::string cs = maria();
    cs.replace(cs.find("Pwd="), std::string::npos, "Pwd=wrong");
    bad.SetConnectionString(cs);
    EXPECT_NE(errorOf([&] { bad.Open(); }).find("Access denied"), std::string::npos);
    cs = maria();
    cs.replace(cs.find("Port="), cs.find(';', cs.find("Port=")) - cs.find("Port="), "Port=1");
    bad.SetConnectionString(cs);
    EXPECT_NE(errorOf([&] { bad.Open(); }).find("Can't connect"), std::string::npos);
    EXPECT_FALSE(bad.Connected());
}
