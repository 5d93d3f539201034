// Named parameters of SQL texts: what counts as one, the values of a run, and their binding
// on the built-in SQLite provider and the servers.

#include "common/datepresets.h"
#include "common/error.h"
#include "datasource/dataset.h"
#include "datasource/sqlparameters.h"
#include "servertest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace rg;
using rgtest::errorOf;

namespace {

const std::string kAwkward = "O'Brien \"华东\" -- :地区 \\ 100%";

SqlParameter param(const std::string& name, SqlParameterType type, std::string def = {},
                   std::string rangeEnd = {}) {
    return {name, type, std::move(def), std::move(rangeEnd), {}, {}};
}

std::string day(const Value& v) {
    return v.displayText().substr(0, 10);
}

} // namespace

TEST(SqlParameters, OnlyNamesOutsideLiteralsCommentsAndCastsCount) {
    const std::string sql = "SELECT ':甲', \"x:乙\", `:丙`, E'\\':丁', $$ :戊 $$, $t$:己$t$, "
                            "a::date, :开始日期 -- :庚\n"
                            "/* :辛 /* :壬 */ :癸 */ FROM t WHERE d BETWEEN :开始日期 AND "
                            ":结束日期 AND r = :地区_2";
    EXPECT_EQ(sqlParameterNames(sql), (std::vector<std::string>{"开始日期", "结束日期", "地区_2"}));
    std::vector<std::string> order;
    EXPECT_EQ(bindableSql("SELECT :a, ':a', :b::int, :a", false, order),
              "SELECT ?, ':a', ?::int, ?");
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "a"}));
    // MariaDB reads a backslash in a literal as an escape, and '#' starts a comment.
    EXPECT_EQ(sqlParameterNames("SELECT 'a\\':x', :y # :z", true), (std::vector<std::string>{"y"}));
    EXPECT_EQ(sqlParameterNames("SELECT 'a\\', :y", false), (std::vector<std::string>{"y"}));
    EXPECT_TRUE(sqlParameterNames("SELECT 1:2, x := 3, '").empty());
}

TEST(SqlParameters, ValuesComeFromGivenTextsDefaultsAndPeriodsAsOfTheDay) {
    const std::vector<SqlParameter> params = {
        param("开始日期", SqlParameterType::Date, "@上月", "结束日期"),
        param("结束日期", SqlParameterType::Date), param("数量", SqlParameterType::Number, "10"),
        param("地区", SqlParameterType::Text)};
    const int64_t asOf = *parseIsoDay("2026-03-01");
    EXPECT_EQ(missingParameters(params, {}), (std::vector<std::string>{"地区"}));
    ResolvedParameters r = resolveParameters(params, {{"地区", "华东"}}, asOf);
    ASSERT_EQ(r.values.size(), 4u);
    EXPECT_EQ(day(r.values[0].second), "2026-02-01");
    EXPECT_EQ(day(r.values[1].second), "2026-02-28");
    EXPECT_EQ(r.values[2].second.displayText(), "10");
    EXPECT_EQ(r.caption, "2026年2月，数量：10，地区：华东");
    // A given end wins over the period; a single-day preset leaves the end its own value.
    r = resolveParameters(params, {{"地区", "x"}, {"结束日期", "@today"}}, asOf);
    EXPECT_EQ(day(r.values[1].second), "2026-03-01");
    EXPECT_EQ(r.caption, "2026-02-01 至 2026-03-01，数量：10，地区：x");
    EXPECT_EQ(missingParameters(params, {{"开始日期", "@上月初"}, {"地区", "x"}}),
              (std::vector<std::string>{"结束日期"}));

    const std::pair<ParameterTexts, std::string> refusals[] = {
        {{{"地区", "x"}, {"开始日期", "2026-02-30"}}, "参数“开始日期”的值“2026-02-30”不是日期"},
        {{{"地区", "x"}, {"数量", "十"}}, "参数“数量”的值“十”不是数字"},
        {{{"地区", "x"}, {"开始日期", "@下月初"}}, "参数“开始日期”的预设“下月初”不存在"},
        {{{"地区", "x"}, {"区域", "x"}}, "报表没有参数“区域”"},
        {{}, "参数“地区”没有值"},
    };
    for (const auto& [given, message] : refusals)
        EXPECT_NE(errorOf([&] { resolveParameters(params, given, asOf); }).find(message),
                  std::string::npos)
            << message;
    SqlParameter listed = param("渠道", SqlParameterType::List);
    listed.listValues = {"线上", "门店"};
    EXPECT_NE(errorOf([&] {
                  resolveParameters({listed}, {{"渠道", "批发"}}, asOf);
              }).find("参数“渠道”的值“批发”不在列表中"),
              std::string::npos);
    EXPECT_NE(errorOf([&] {
                  resolveParameters({param("d", SqlParameterType::Date)}, {{"d", "@本月"}}, asOf);
              }).find("参数“d”不是日期区间的一端"),
              std::string::npos);
}

namespace {

// Binds a text with quotes, Chinese and what looks like SQL, a number and a date range,
// and reads each back exactly; a value that does not fit stops the open before it runs.
void checkBinding(DataSet& ds, const std::string& sql) {
    ds.Close();
    ds.SetCommandType(CommandType::cmdText);
    ds.SetCommandText(sql);
    ds.SetSqlParameters({param("名称", SqlParameterType::Text),
                         param("开始", SqlParameterType::Date, "@上月", "结束"),
                         param("结束", SqlParameterType::Date),
                         param("数量", SqlParameterType::Number)});
    ds.SetParameterTexts({{"名称", kAwkward}, {"数量", "12.50"}}, *parseIsoDay("2024-03-01"));
    ds.Open();
    ASSERT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.FieldByName("v").AsValue().asText(), kAwkward);
    EXPECT_EQ(ds.FieldByName("again").AsValue().asText(), kAwkward);
    EXPECT_EQ(ds.FieldByName("lit").AsValue().asText(), ":名称");
    EXPECT_EQ(day(ds.FieldByName("a").AsValue()), "2024-02-01");
    EXPECT_EQ(day(ds.FieldByName("b").AsValue()), "2024-02-29");
    EXPECT_EQ(ds.FieldByName("n").AsValue().asDouble(), 25.0);
    EXPECT_EQ(ds.ParameterCaption(), "名称：" + kAwkward + "，2024年2月，数量：12.50");
    ds.Close();
    ds.SetParameterTexts({{"名称", "x"}, {"数量", "many"}}, std::nullopt);
    EXPECT_NE(errorOf([&] { ds.Open(); }).find("参数“数量”的值“many”不是数字"), std::string::npos);
    EXPECT_FALSE(ds.Active());
}

} // namespace

TEST(SqlParameters, SqliteBindsEveryValueAsSentWithoutPastingIt) {
    Connection conn;
    conn.SetConnectionString(
        rgtest::builtin(rgtest::makeSqliteFile("params", "CREATE TABLE t(x);")));
    DataSet ds(&conn);
    checkBinding(ds, "SELECT :名称 AS v, ':名称' AS lit, /* :名称 */ :名称 AS again, "
                     "date(:开始) AS a, date(:结束) AS b, :数量 * 2 AS n -- :x");
}

namespace {

class PgParameters : public ServerTest {
protected:
    std::string connectionString() const override { return rgtest::pgConnectionString(); }
    const char* variable() const override { return "RG_TEST_PG"; }
};

class MariaParameters : public ServerTest {
protected:
    std::string connectionString() const override { return rgtest::mariadbConnectionString(); }
    const char* variable() const override { return "RG_TEST_MARIADB"; }
};

} // namespace

TEST_F(PgParameters, ValuesAreBoundBesideCastsAndLiterals) {
    checkBinding(ds, "SELECT CAST(:名称 AS varchar(100)) AS v, ':名称'::text AS lit, "
                     "CAST(:名称 AS text) AS again, CAST(:开始 AS date) AS a, "
                     "CAST(:结束 AS date) AS b, CAST(:数量 AS numeric) * 2 AS n -- :x");
}

TEST_F(MariaParameters, ValuesAreBoundBesideBackslashLiterals) {
    checkBinding(ds, "SELECT CAST(:名称 AS CHAR(100)) AS v, ':名称' AS lit, "
                     "'\\':名称' AS esc, CAST(:名称 AS CHAR(100)) AS again, "
                     "CAST(:开始 AS DATE) AS a, CAST(:结束 AS DATE) AS b, "
                     "CAST(:数量 AS DECIMAL(10,2)) * 2 AS n # :x");
}

// Every preset on every day of two years (a leap year among them) against PostgreSQL's own
// date arithmetic.
TEST_F(PgParameters, PresetsAgreeWithPostgresDateArithmetic) {
    struct Check {
        const char* preset;
        const char* first;
        const char* last; // nullptr: one date
    };
    const Check checks[] = {
        {"today", "d", nullptr},
        {"yesterday", "d - 1", nullptr},
        {"week_start", "date_trunc('week', d)::date", nullptr},
        {"week_end", "date_trunc('week', d)::date + 6", nullptr},
        {"prev_week_start", "(date_trunc('week', d) - interval '1 week')::date", nullptr},
        {"prev_week_end", "date_trunc('week', d)::date - 1", nullptr},
        {"month_start", "date_trunc('month', d)::date", nullptr},
        {"month_end", "(date_trunc('month', d) + interval '1 month - 1 day')::date", nullptr},
        {"prev_month_start", "(date_trunc('month', d) - interval '1 month')::date", nullptr},
        {"prev_month_end", "date_trunc('month', d)::date - 1", nullptr},
        {"quarter_start", "date_trunc('quarter', d)::date", nullptr},
        {"quarter_end", "(date_trunc('quarter', d) + interval '3 months - 1 day')::date", nullptr},
        {"prev_quarter_start", "(date_trunc('quarter', d) - interval '3 months')::date", nullptr},
        {"prev_quarter_end", "date_trunc('quarter', d)::date - 1", nullptr},
        {"year_start", "date_trunc('year', d)::date", nullptr},
        {"year_end", "(date_trunc('year', d) + interval '1 year - 1 day')::date", nullptr},
        {"prev_year_start", "(date_trunc('year', d) - interval '1 year')::date", nullptr},
        {"prev_year_end", "date_trunc('year', d)::date - 1", nullptr},
        {"same_day_last_year", "(d - interval '1 year')::date", nullptr},
        {"45_days_ago", "d - 45", nullptr},
        {"this_week", "date_trunc('week', d)::date", "date_trunc('week', d)::date + 6"},
        {"prev_week", "date_trunc('week', d)::date - 7", "date_trunc('week', d)::date - 1"},
        {"this_month", "date_trunc('month', d)::date",
         "(date_trunc('month', d) + interval '1 month - 1 day')::date"},
        {"prev_month", "(date_trunc('month', d) - interval '1 month')::date",
         "date_trunc('month', d)::date - 1"},
        {"this_quarter", "date_trunc('quarter', d)::date",
         "(date_trunc('quarter', d) + interval '3 months - 1 day')::date"},
        {"prev_quarter", "(date_trunc('quarter', d) - interval '3 months')::date",
         "date_trunc('quarter', d)::date - 1"},
        {"this_year", "date_trunc('year', d)::date",
         "(date_trunc('year', d) + interval '1 year - 1 day')::date"},
        {"prev_year", "(date_trunc('year', d) - interval '1 year')::date",
         "date_trunc('year', d)::date - 1"},
        {"month_to_date", "date_trunc('month', d)::date", "d"},
        {"year_to_date", "date_trunc('year', d)::date", "d"},
        {"last_30_days", "d - 29", "d"},
        {"same_period_last_year", "date_trunc('year', d - interval '1 year')::date",
         "(d - interval '1 year')::date"},
    };
    std::string sql = "SELECT to_char(d, 'YYYY-MM-DD') AS d";
    for (const Check& c : checks) {
        sql += std::string(", to_char(") + c.first + ", 'YYYY-MM-DD')";
        sql += std::string(", to_char(") + (c.last ? c.last : c.first) + ", 'YYYY-MM-DD')";
    }
    sql += " FROM generate_series(DATE '2024-01-01', DATE '2025-12-31', interval '1 day') "
           "AS g(t), LATERAL (SELECT t::date AS d) AS x ORDER BY 1";
    open(CommandType::cmdText, sql);
    ASSERT_EQ(ds.RecordCount(), 731);
    std::set<std::string> named;
    for (const DatePresetName& n : DatePresetNames())
        named.insert(n.ascii);
    for (int r = 0; r < ds.RecordCount(); ++r) {
        const std::string asOfText = ds.value(r, 0).asText();
        const int64_t asOf = *parseIsoDay(asOfText);
        for (size_t c = 0; c < std::size(checks); ++c) {
            const DayPeriod p = DatePreset::parse(checks[c].preset)->periodAsOf(asOf);
            ASSERT_EQ(isoDayText(p.first), ds.value(r, static_cast<int>(1 + 2 * c)).asText())
                << checks[c].preset << " as of " << asOfText;
            ASSERT_EQ(isoDayText(p.last), ds.value(r, static_cast<int>(2 + 2 * c)).asText())
                << checks[c].preset << " as of " << asOfText;
            named.erase(checks[c].preset);
        }
    }
    named.erase("N_days_ago");
    named.erase("last_N_days");
    EXPECT_TRUE(named.empty()) << "a preset without a check: " << *named.begin();
}
