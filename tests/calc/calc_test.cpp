// Calculated fields: the language's faults and types, exact decimal arithmetic, and random
// expressions over the demo data against what SQLite and PostgreSQL compute for the same SQL.

#include "calc/calcfield.h"
#include "common/error.h"
#include "datasource/dataset.h"
#include "exprgen.h"
#include "odbcsession.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rg;

namespace {

const std::vector<CalcInput> kInputs = {
    {"quantity", "数量", FieldKind::Integer},
    {"amount", "销售额", FieldKind::BCD},
    {"discount", "", FieldKind::Float},
    {"region", "地区", FieldKind::String},
    {"order_date", "", FieldKind::Date},
    {"paid", "", FieldKind::Boolean},
    {"单 价", "", FieldKind::BCD},
};

std::string faultOf(const std::string& expression) {
    return rgtest::errorOf([&] { CalcExpression e(expression, kInputs); });
}

FieldKind kindOf(const std::string& expression) {
    return CalcExpression(expression, kInputs).kind();
}

// One value per row of the calculated field, as a data set over SQL shows it.
std::vector<Value> calculated(DataSet& ds, const std::string& expression) {
    ds.SetCalculatedFields({{"结果", expression}});
    const int f = ds.FieldByName("结果").Index();
    std::vector<Value> out;
    for (int r = 0; r < ds.RecordCount(); ++r)
        out.push_back(ds.value(r, f));
    return out;
}

} // namespace

TEST(CalcExpression, FaultsNameTheirCharacter) {
    EXPECT_EQ(faultOf("1 +"), "第 4 个字符：表达式不完整");
    EXPECT_EQ(faultOf("毛利 * 2"), "第 1 个字符：没有名为“毛利”的字段");
    EXPECT_EQ(faultOf("销售额 + 地区"),
              "第 5 个字符：运算符“+”不能用于小数和文本，连接文本请用 ||");
    EXPECT_EQ(faultOf("order_date - order_date"),
              "第 12 个字符：运算符“-”不能用于日期和日期，两个日期相差的天数请用 DAYS(开始, 结束)");
    EXPECT_EQ(faultOf("YEAR(quantity)"),
              "第 6 个字符：函数 YEAR 的第 1 个参数应为日期，而不是整数");
    EXPECT_EQ(faultOf("ROUND(amount, quantity)"),
              "第 15 个字符：ROUND 的小数位数应为 0 到 38 之间的整数");
    EXPECT_EQ(faultOf("LEFT(region)"), "第 1 个字符：函数 LEFT 需要 2 个参数");
    EXPECT_EQ(faultOf("region = 'abc"), "第 10 个字符：文本缺少结尾的单引号");
    EXPECT_EQ(faultOf("(quantity + 1"), "第 14 个字符：表达式不完整，缺少右括号");
    EXPECT_EQ(faultOf("quantity @ 2"), "第 10 个字符：无法识别的字符“@”");
    EXPECT_EQ(faultOf("IF(paid, region, quantity)"),
              "第 18 个字符：IF 的两个结果类型不同：文本和整数");
    EXPECT_EQ(faultOf("quantity AND paid"), "第 1 个字符：AND的操作数应为逻辑值，而不是整数");
    EXPECT_EQ(faultOf("NOPE(1)"), "第 1 个字符：没有名为“NOPE”的函数");
    EXPECT_EQ(faultOf("CASE WHEN paid THEN 1"), "第 22 个字符：CASE（第 1 个字符）缺少 END");
    EXPECT_EQ(faultOf("quantity 2"), "第 10 个字符：这里多出了“2”");
}

TEST(CalcExpression, TypesFollowTheOperands) {
    EXPECT_EQ(kindOf("quantity * 2"), FieldKind::LargeInt);
    EXPECT_EQ(kindOf("quantity / 2"), FieldKind::FMTBcd);
    EXPECT_EQ(kindOf("（数量 × [单 价]）÷ 2"), FieldKind::FMTBcd);
    EXPECT_EQ(kindOf("销售额 − discount"), FieldKind::Float);
    EXPECT_EQ(kindOf("地区 || '-' || quantity"), FieldKind::String);
    EXPECT_EQ(kindOf("quantity > 3 and not paid"), FieldKind::Boolean);
    EXPECT_EQ(kindOf("IF(paid, order_date, NULL)"), FieldKind::Date);
    EXPECT_EQ(kindOf("COALESCE(discount, quantity)"), FieldKind::Float);
    EXPECT_EQ(kindOf("CASE WHEN paid THEN 1 WHEN quantity > 2 THEN 2.5 END"), FieldKind::FMTBcd);
    EXPECT_EQ(kindOf("DAYS('2024-01-01', order_date) + QUARTER(order_date)"), FieldKind::LargeInt);
}

// Decimals to the last digit, halves away from zero, nulls and zero divisors.
TEST(CalcExpression, DecimalsStayExact) {
    const std::string file = rgtest::makeSqliteFile("calc_exact", R"(
create table t (id integer primary key, a numeric(30,10), b numeric(30,10), n integer, s text);
insert into t values (1, '0.1', '0.2', 3, 'x'), (2, '-2', '3', 0, null),
  (3, '123456789012.34', '0.0000000001', null, ' 中文 ');
)");
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(file));
    DataSet ds(&conn);
    ds.SetCommandText("select * from t order by id");
    ds.Open();
    auto texts = [&](const std::string& e) {
        std::vector<std::string> out;
        for (const Value& v : calculated(ds, e))
            out.push_back(v.isNull() ? "NULL" : v.displayText());
        return out;
    };
    using T = std::vector<std::string>;
    EXPECT_EQ(texts("a + b"), (T{"0.3", "1", "123456789012.3400000001"}));
    EXPECT_EQ(texts("a / n"), (T{"0.0333333333", "NULL", "NULL"}));
    EXPECT_EQ(texts("ROUND(2 / 3, 10) + ROUND(-2 / 3.0, 4)"),
              (T{"-0.0000333333", "-0.0000333333", "-0.0000333333"}));
    EXPECT_EQ(texts("a * 3 - b"), (T{"0.1", "-9", "370370367037.0199999999"}));
    EXPECT_EQ(texts("5 / 100000000000 + a * 0"),
              (T{"0.0000000001", "0.0000000001", "0.0000000001"}));
    EXPECT_EQ(texts("-5 / 100000000000"), (T{"-0.0000000001", "-0.0000000001", "-0.0000000001"}));
    EXPECT_EQ(texts("a / b"),
              (T{"0.5000000000", "-0.6666666667", "1234567890123400000000.0000000000"}));
    EXPECT_EQ(texts("a * a * a * a"), (T{"0.0001", "16", "NULL"})); // beyond 38 digits
    EXPECT_EQ(texts("LENGTH(TRIM(s)) || '/' || UPPER(s)"), (T{"1/X", "NULL", "2/ 中文 "}));
    EXPECT_EQ(texts("n > 1 OR s IS NULL"), (T{"True", "True", "NULL"}));
    EXPECT_EQ(texts("n > 1 AND s IS NULL"), (T{"False", "False", "False"}));
}

namespace {

// Whether a calculated value equals the database's: exact for integers, texts and Booleans,
// and where the database computes exactly too; within the error of SQLite's doubles else.
bool sameValue(const Value& ours, const Value& theirs, char type, bool exact) {
    if (ours.isNull() || theirs.isNull())
        return ours.isNull() && theirs.isNull();
    switch (type) {
    case 't':
        return ours.asText() == theirs.displayText();
    case 'b':
        return ours.asBool() == (theirs.asDouble() != 0);
    case 'i':
        return ours.asInt() == theirs.asInt();
    default:
        if (exact && ours.type() == Value::Type::Decimal)
            return compareValues(ours, theirs) == 0;
        const double a = ours.asDouble(), b = theirs.asDouble();
        return std::fabs(a - b) <= 1e-3 + 1e-9 * std::fabs(b);
    }
}

void compareRandom(Connection& conn, const std::string& table, bool postgres, unsigned seed,
                   int count) {
    DataSet ours(&conn);
    ours.SetCommandText("select * from " + table + " order by order_id");
    ours.Open();
    calctest::ExprGen gen(seed, postgres);
    for (int k = 0; k < count; ++k) {
        const calctest::Expr e = gen.any(1 + k % 3);
        // SQLite gives an expression column the kind of its first value: a whole first
        // amount would make every other one whole.
        const bool real = !postgres && (e.type == 'n' || e.type == 'd');
        const std::string sql = postgres ? e.pg
                                : real   ? "CAST(" + e.sqlite + " AS REAL)"
                                         : e.sqlite;
        SCOPED_TRACE(e.calc + "\n  SQL: " + sql);
        DataSet theirs(&conn);
        theirs.SetCommandText("select " + sql + " from " + table + " order by order_id");
        theirs.Open();
        const std::vector<Value> values = calculated(ours, e.calc);
        ASSERT_EQ(static_cast<int>(values.size()), theirs.RecordCount());
        int wrong = 0;
        for (int r = 0; r < theirs.RecordCount() && wrong < 3; ++r)
            if (!sameValue(values[static_cast<size_t>(r)], theirs.value(r, 0), e.type, postgres)) {
                ++wrong;
                ADD_FAILURE() << "row " << r << ": " << values[static_cast<size_t>(r)].displayText()
                              << " against " << theirs.value(r, 0).displayText();
            }
    }
}

} // namespace

TEST(CalcRandom, DemoSalesAgainstSqlite) {
    Connection conn;
    conn.SetConnectionString("Provider=SQLite;Data Source=demo.db");
    compareRandom(conn, "sales", false, 41, 150);
}

// The demo sales copied to PostgreSQL with exact numerics, where every decimal must agree to
// the last digit.
TEST(CalcRandom, DemoSalesAgainstPostgres) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    Connection lite;
    lite.SetConnectionString("Provider=SQLite;Data Source=demo.db");
    DataSet rows(&lite);
    rows.SetCommandText("select order_id, order_date, region, product, quantity, unit_price, "
                        "discount, amount, paid, remark from sales where order_id <= 1500");
    rows.Open();
    std::string insert = "insert into calc_sales values ";
    auto quoted = [](const Value& v) {
        if (v.isNull())
            return std::string("NULL");
        std::string s = "'";
        for (const char c : v.displayText())
            s += c == '\'' ? std::string("''") : std::string(1, c);
        return s + "'";
    };
    for (int r = 0; r < rows.RecordCount(); ++r) {
        insert += r ? ",(" : "(";
        for (int f = 0; f < rows.FieldCount(); ++f)
            insert += (f ? "," : "") + quoted(rows.value(r, f));
        insert += ")";
    }
    {
        rgtest::OdbcSession session(pg);
        session.exec("drop table if exists calc_sales");
        session.exec("create table calc_sales (order_id bigint primary key, order_date date, "
                     "region text, product text, quantity bigint, unit_price numeric(10,2), "
                     "discount double precision, amount numeric(12,2), paid boolean, remark text)");
        session.exec(insert);
        session.commit();
    }
    Connection conn;
    conn.SetConnectionString(pg);
    compareRandom(conn, "calc_sales", true, 4141, 150);
    rgtest::OdbcSession session(pg);
    session.exec("drop table calc_sales");
    session.commit();
}

// A posted edit computes the row's calculated fields anew; they cannot be edited themselves.
TEST(CalcDataSet, EditsReachTheCalculatedFields) {
    const std::string file = rgtest::makeSqliteFile("calc_edit", R"(
create table t (id integer primary key, price numeric(10,2), qty integer);
insert into t values (1, '2.50', 4), (2, '1.10', 3);
)");
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(file));
    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("t");
    ds.Open();
    ds.SetCalculatedFields({{"total", "price * qty"}, {"big", "total > 5"}});
    const int total = ds.FieldByName("total").Index(), big = ds.FieldByName("big").Index();
    EXPECT_TRUE(ds.IsCalculated(total));
    EXPECT_FALSE(ds.IsCalculated(ds.FieldByName("qty").Index()));
    EXPECT_EQ(ds.displayText(0, total), "10.0"); // SQLite keeps 2.50 as 2.5
    ds.SetFilter("big = TRUE");
    EXPECT_EQ(ds.RecordCount(), 1);
    ds.SetFilter({});
    ds.SetRecNo(1);
    ds.Edit();
    ds.SetFieldValue(ds.FieldByName("qty").Index(), Value::fromInt(10));
    ds.Post();
    EXPECT_EQ(ds.displayText(1, total), "11.0");
    EXPECT_TRUE(ds.value(1, big).asBool());
    ds.Edit();
    ds.SetFieldValue(total, Value::fromInt(1));
    EXPECT_EQ(rgtest::errorOf([&] { ds.Post(); }), "计算字段“total”不能修改");
    ds.Cancel();
    // A field that does not compute leaves the fields as they were.
    EXPECT_EQ(rgtest::errorOf([&] {
                  ds.SetCalculatedFields({{"qty", "1"}});
              }),
              "计算字段“qty”与已有的字段同名");
    EXPECT_EQ(ds.FieldCount(), 5);
    EXPECT_EQ(ds.displayText(1, total), "11.0");
}
