// Summary formulas: their faults, and random formulas over the demo sales grouped by region
// and category against what SQLite and PostgreSQL compute with GROUP BY at every level, each
// level from its own sums, decimals to the last digit on PostgreSQL, nulls and zero divisors.

#include "calc/summaryformula.h"
#include "common/bigdecimal.h"
#include "datasource/dataset.h"
#include "grid/grid.h"
#include "odbcsession.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>

using namespace rg;

namespace {

const std::vector<CalcInput> kInputs = {
    {"quantity", "数量", FieldKind::Integer},
    {"amount", "销售额", FieldKind::BCD},
    {"region", "地区", FieldKind::String},
    {"order_date", "", FieldKind::Date},
};

std::string faultOf(const std::string& expression) {
    return rgtest::errorOf([&] { SummaryExpression e(expression, kInputs); });
}

// A formula in the language, and the same value as SQL of SQLite and of PostgreSQL over one
// GROUP BY, operation by operation.
struct Formula {
    std::string calc, lite, pg;
};

class FormulaGen {
public:
    explicit FormulaGen(unsigned seed) : rng_(seed) {}

    Formula any(int depth) {
        if (depth <= 0)
            return pick(5) ? summary() : same(std::to_string(pick(9) + 1));
        switch (pick(6)) {
        case 0:
        case 1: {
            const Formula a = any(depth - 1), b = any(depth - 1);
            const char* op = pick(2) ? " + " : " - ";
            return {"(" + a.calc + op + b.calc + ")", "(" + a.lite + op + b.lite + ")",
                    "(" + a.pg + op + b.pg + ")"};
        }
        case 2: {
            const Formula a = any(depth - 1);
            const char* k = pick(2) ? "3" : "1.25";
            return {"(" + a.calc + " × " + k + ")", "(" + a.lite + " * " + k + ")",
                    "(" + a.pg + " * " + k + ")"};
        }
        case 3: {
            // Divisors that are zero in one group (东北 办公用品 has 187 rows) or in all.
            const Formula a = any(depth - 1);
            const Formula b = pick(3)   ? any(depth - 1)
                              : pick(2) ? same("(COUNT(*) - 187)")
                                        : same("(MIN(quantity) - 1)");
            return divide(a, b);
        }
        case 4: {
            const Formula a = any(depth - 1);
            return {"ROUND(" + a.calc + ", 2)", "ROUND(" + a.lite + ", 2)",
                    "ROUND(" + a.pg + ", 2)"};
        }
        default: {
            const Formula a = any(depth - 1);
            return {"ABS(" + a.calc + ")", "ABS(" + a.lite + ")", "ABS(" + a.pg + ")"};
        }
        }
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    static Formula same(const std::string& s) { return {s, s, s}; }
    static Formula divide(const Formula& a, const Formula& b) {
        return {"(" + a.calc + " / " + b.calc + ")",
                "ROUND(CAST(" + a.lite + " AS REAL) / NULLIF(" + b.lite + ", 0), 10)",
                "ROUND((" + a.pg + " + 0.000000000000000000000000) / NULLIF(" + b.pg + ", 0), 10)"};
    }
    Formula summary() {
        switch (pick(7)) {
        case 0:
            return {"SUM(amount)", "COALESCE(SUM(amount), 0)", "COALESCE(SUM(amount), 0)"};
        case 1:
            return {"SUM(数量)", "COALESCE(SUM(quantity), 0)", "COALESCE(SUM(quantity), 0)"};
        case 2:
            return same("COUNT(*)");
        case 3:
            return same("MIN(amount)");
        case 4:
            return same("MAX(quantity)");
        case 5:
            return same("MIN(unit_price)");
        default: {
            Formula avg =
                divide({"SUM(amount)", "COALESCE(SUM(amount), 0)", "COALESCE(SUM(amount), 0)"},
                       same("COUNT(*)"));
            avg.calc = "AVG(销售额)";
            return avg;
        }
        }
    }
    std::mt19937 rng_;
};

// "region|category" of a group, "region|" of a region, "|" of the whole table.
using Key = std::string;

// Each level's value of each formula, as the grid computes them.
std::map<Key, std::vector<SummaryValue>> gridValues(Connection& conn, const std::string& table,
                                                    const std::vector<SummaryFormula>& formulas,
                                                    bool onServer = false) {
    DataSet ds(&conn);
    if (onServer)
        ds.SetRowPlacement(RowPlacement::Server);
    ds.SetCommandText("select * from " + table);
    ds.Open();
    ds.FieldByName("amount").SetDisplayLabel("销售额");
    ds.FieldByName("quantity").SetDisplayLabel("数量");
    TdxDBGrid g;
    g.SetDataSet(&ds);
    g.CreateColumnsForFields(ds);
    g.SetKeyField("order_id");
    {
        GroupingUpdate batch(g);
        EXPECT_TRUE(g.GroupColumn(*g.ColumnByFieldName("region"), 0));
        EXPECT_TRUE(g.GroupColumn(*g.ColumnByFieldName("category"), 1));
    }
    g.SetSummaryFormulas(formulas);
    std::map<Key, std::vector<SummaryValue>> out;
    auto values = [&](auto of) {
        std::vector<SummaryValue> v;
        for (size_t f = 0; f < formulas.size(); ++f)
            v.push_back(of(static_cast<int>(f)));
        return v;
    };
    out["|"] = values([&](int f) { return g.FooterFormulaValue(f); });
    for (int i = 0; i < g.TopCount(); ++i) {
        const RowHandle region = g.Top(i);
        out[g.GroupValueText(region) + "|"] =
            values([&](int f) { return g.GroupFormulaValue(region, f); });
        for (int c = 0; c < g.ChildCount(region); ++c) {
            const RowHandle category = g.Child(region, c);
            out[g.GroupValueText(region) + "|" + g.GroupValueText(category)] =
                values([&](int f) { return g.GroupFormulaValue(category, f); });
        }
    }
    return out;
}

// The database's rows of `select region, category, formulas... group by ...`.
void databaseValues(Connection& conn, const std::string& sql,
                    std::map<Key, std::vector<Value>>& out) {
    DataSet ds(&conn);
    ds.SetCommandText(sql);
    ds.Open();
    for (int r = 0; r < ds.RecordCount(); ++r) {
        const Value region = ds.value(r, 0), category = ds.value(r, 1);
        std::vector<Value>& v = out[(region.isNull() ? "" : region.displayText()) + "|" +
                                    (category.isNull() ? "" : category.displayText())];
        for (int f = 2; f < ds.FieldCount(); ++f)
            v.push_back(ds.value(r, f));
    }
}

std::string exactText(const BigDecimal& d) {
    return d.normalized().toString();
}

void compareRandom(Connection& conn, const std::string& table, bool postgres, unsigned seed,
                   int count) {
    FormulaGen gen(seed);
    std::vector<SummaryFormula> formulas;
    std::vector<Formula> made;
    std::string select;
    for (int k = 0; k < count; ++k) {
        made.push_back(gen.any(1 + k % 3));
        formulas.push_back({"f" + std::to_string(k), made.back().calc, {}});
        select += ", " + (postgres ? made.back().pg : made.back().lite);
    }
    const std::map<Key, std::vector<SummaryValue>> ours = gridValues(conn, table, formulas);
    std::map<Key, std::vector<Value>> theirs;
    if (postgres) {
        databaseValues(conn,
                       "select region, category" + select + " from " + table +
                           " group by rollup(region, category)",
                       theirs);
    } else {
        databaseValues(
            conn, "select region, category" + select + " from " + table + " group by 1, 2", theirs);
        databaseValues(conn, "select region, null" + select + " from " + table + " group by 1",
                       theirs);
        databaseValues(conn, "select null, null" + select + " from " + table, theirs);
    }
    ASSERT_EQ(ours.size(), theirs.size());
    int nulls = 0;
    for (const auto& [key, values] : theirs) {
        ASSERT_TRUE(ours.count(key)) << key;
        const std::vector<SummaryValue>& mine = ours.at(key);
        ASSERT_EQ(mine.size(), values.size());
        for (size_t f = 0; f < values.size(); ++f) {
            SCOPED_TRACE(key + ": " + made[f].calc +
                         "\n  SQL: " + (postgres ? made[f].pg : made[f].lite));
            const Value& v = values[f];
            if (v.isNull() || mine[f].isEmpty()) {
                EXPECT_TRUE(v.isNull() && mine[f].isEmpty())
                    << "ours " << (mine[f].isEmpty() ? "null" : exactText(mine[f].exact()))
                    << ", theirs " << v.displayText();
                nulls += v.isNull();
                continue;
            }
            if (postgres) {
                ASSERT_EQ(mine[f].kind(), SummaryValue::Kind::Exact);
                const auto expected = BigDecimal::parse(v.displayText());
                ASSERT_TRUE(expected) << v.displayText();
                EXPECT_EQ(exactText(mine[f].exact()), exactText(*expected));
            } else {
                // SQLite rounds doubles, which may break a tie the other way.
                const double a = mine[f].toDouble(), b = v.asDouble();
                const bool rounds = made[f].calc.find("ROUND") != std::string::npos;
                EXPECT_NEAR(a, b, (rounds ? 0.05 : 1e-6) + 1e-9 * std::fabs(b));
            }
        }
    }
    // The zero divisors were met: some group has a null.
    EXPECT_GT(nulls, 0);
    if (!postgres)
        return;
    // In server mode the same values come from the summaries of the grouping statement.
    const std::map<Key, std::vector<SummaryValue>> served = gridValues(conn, table, formulas, true);
    ASSERT_EQ(served.size(), ours.size());
    for (const auto& [key, values] : ours)
        for (size_t f = 0; f < values.size(); ++f) {
            const SummaryValue& s = served.at(key)[f];
            EXPECT_EQ(s.isEmpty(), values[f].isEmpty()) << key << ": " << made[f].calc;
            if (!s.isEmpty() && !values[f].isEmpty()) {
                EXPECT_EQ(exactText(s.exact()), exactText(values[f].exact()))
                    << key << ": " << made[f].calc;
            }
        }
}

} // namespace

TEST(SummaryFormula, FaultsNameTheirPlace) {
    EXPECT_EQ(faultOf("SUM(amount) / quantity"),
              "第 15 个字符：字段“quantity”应写在 SUM、COUNT、AVG、MIN 或 MAX 之中");
    EXPECT_EQ(faultOf("SUM(region)"), "第 5 个字符：SUM 的参数应为数值字段，“region”是文本");
    EXPECT_EQ(faultOf("MAX(order_date) = MIN(order_date)"),
              "第 1 个字符：汇总公式的结果应为数值或日期，而不是逻辑值");
    EXPECT_EQ(faultOf("SUM(amount + 1)"), "第 12 个字符：这里应为右括号");
    EXPECT_EQ(faultOf("SUM(价格)"), "第 5 个字符：没有名为“价格”的字段");
    EXPECT_EQ(SummaryExpression("SUM(数量) / COUNT(*)", kInputs).kind(), FieldKind::FMTBcd);
    EXPECT_EQ(SummaryExpression("MAX(order_date)", kInputs).kind(), FieldKind::Date);
    // AVG reads the sum and the count, each once.
    EXPECT_EQ(SummaryExpression("AVG(amount) + SUM(amount) + COUNT(quantity)", kInputs)
                  .aggregates()
                  .size(),
              2u);
}

TEST(SummaryFormula, SpreadsheetFormulaReadsTheFooterCells) {
    auto cellOf = [](AggregateKind k, int field) -> std::optional<std::string> {
        if (k == AggregateKind::Sum && field == 1)
            return "C7";
        if (k == AggregateKind::Count)
            return "A7";
        return std::nullopt;
    };
    EXPECT_EQ(SpreadsheetFormula("ROUND(SUM(销售额) ÷ COUNT(*), 2) - 1", kInputs, cellOf),
              "IFERROR(ROUND(C7/A7,2)-1,\"\")");
    EXPECT_EQ(SpreadsheetFormula("SUM(quantity) / COUNT(*)", kInputs, cellOf), std::nullopt);
    EXPECT_EQ(SpreadsheetFormula("COALESCE(SUM(amount), 0)", kInputs, cellOf), std::nullopt);
}

TEST(SummaryFormulaRandom, DemoSalesAgainstSqliteAtEveryLevel) {
    Connection conn;
    conn.SetConnectionString("Provider=SQLite;Data Source=demo.db");
    compareRandom(conn, "sales", false, 4242, 60);
}

// The demo sales on PostgreSQL with exact numerics: every level's value to the last digit.
TEST(SummaryFormulaRandom, DemoSalesAgainstPostgresAtEveryLevel) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    Connection lite;
    lite.SetConnectionString("Provider=SQLite;Data Source=demo.db");
    DataSet rows(&lite);
    rows.SetCommandText(
        "select order_id, region, category, quantity, unit_price, amount from sales");
    rows.Open();
    std::string insert = "insert into formula_sales values ";
    for (int r = 0; r < rows.RecordCount(); ++r) {
        insert += r ? ",(" : "(";
        for (int f = 0; f < rows.FieldCount(); ++f)
            insert += (f ? ",'" : "'") + rows.value(r, f).displayText() + "'";
        insert += ")";
    }
    {
        rgtest::OdbcSession session(pg);
        session.exec("drop table if exists formula_sales");
        session.exec("create table formula_sales (order_id bigint primary key, region text, "
                     "category text, quantity bigint, unit_price numeric(10,2), "
                     "amount numeric(12,2))");
        session.exec(insert);
        session.commit();
    }
    Connection conn;
    conn.SetConnectionString(pg);
    compareRandom(conn, "formula_sales", true, 4343, 60);
    rgtest::OdbcSession session(pg);
    session.exec("drop table formula_sales");
    session.commit();
}
