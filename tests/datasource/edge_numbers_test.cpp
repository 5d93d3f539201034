// Numbers at the edges of what the servers hold, read through the real ODBC drivers into
// the grid and compared with the servers' own texts and aggregates: decimals beyond 38
// digits, unconstrained numerics, money, NaN and infinities, unsigned 64-bit integers,
// doubles lying half way; and a random two-level grouping over wide columns whose every
// footer must equal the server's GROUP BY.

#include "common/displaytext.h"
#include "datasource/odbcnumbers.h"
#include "exporttest.h"
#include "odbcsession.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <random>

using namespace rg;

namespace {

enum class Server { Postgres, MariaDB };
void PrintTo(Server s, std::ostream* os) {
    *os << (s == Server::Postgres ? "PostgreSQL" : "MariaDB");
}

using Texts = std::vector<std::string>;
using T = TdxSummaryType;

// Every case in one table, grouped by grp so that each group's footers meet one of them.
const char* kPgEdges = R"(
drop table if exists edge_numbers;
create table edge_numbers (id int primary key, grp int, u numeric, w numeric(45,2), n38 numeric(38,18),
  m money, d double precision, r real);
insert into edge_numbers values
  (1, 1, 1234567890123456789012345678901.123456789, 123456789012345678901234567890123456789012.34,
      99999999999999999999.999999999999999999, 92233720368547.75, 12486.125, 1.5),
  (2, 1, 'NaN', -1.00, 11111111101111111110.123456789012345678, -92233720368547.75, 'NaN', 'NaN'),
  (3, 2, 'Infinity', 0.01, -0.000000000000000001, 0.01, 'Infinity', '-Infinity'),
  (4, 2, 5, 1, 1, -1.5, -0.125, 2.25),
  (5, 3, '-Infinity', null, null, null, '-Infinity', null),
  (6, 3, 1.0, 99999999999999999999999999999999999999999.99, 0.5, 1.25, 0.5, -0.5),
  (7, 4, 1.00, 99999999999999999999999999999999999999999.99, 99999999999999999999.999999999999999999, 0.03, 123456789012.5, 3),
  (8, 4, 123456789012345678901234567890123456789012345678.5, -0.01, 0.000000000000000001, 0.02, 2.5, 0.25);
)";

// MariaDB has no NaN; its widest decimal is decimal(65,30), and unsigned 64-bit integers.
const char* kMariaEdges = R"(
drop table if exists edge_numbers;
create table edge_numbers (id int primary key, grp int, ub bigint unsigned, w decimal(65,30), n38 decimal(38,18),
  d double);
insert into edge_numbers values
  (1, 1, 18446744073709551615, 123456789012345678901234567890.123456789012345678901234567891,
      99999999999999999999.999999999999999999, 12486.125),
  (2, 1, 9223372036854775808, -1, 11111111101111111110.123456789012345678, -0.125),
  (3, 2, 9223372036854775807, 0.000000000000000000000000000001, -0.000000000000000001, 123456789012.5),
  (4, 2, 0, 1, 1, -123456789012.5),
  (5, 3, null, null, null, null),
  (6, 3, 18446744073709551614, 999999999999999999999999999999.999999999999999999999999999999, 0.5, 0.5),
  (7, 4, 1, -999999999999999999999999999999.999999999999999999999999999999, 99999999999999999999.999999999999999999, 2.5),
  (8, 4, 12345678901234567890, 0.5, 0.000000000000000001, 1.5);
)";

class EdgeNumbers : public ::testing::TestWithParam<Server> {
protected:
    void SetUp() override {
        cs = GetParam() == Server::Postgres ? rgtest::pgConnectionString()
                                            : rgtest::mariadbConnectionString();
        ASSERT_FALSE(cs.empty())
            << "RG_TEST_PG / RG_TEST_MARIADB are not set: run the tests through scripts/test.sh";
        db.connect(cs);
    }
    bool pg() const { return GetParam() == Server::Postgres; }
    void load(const std::string& script) {
        rgtest::OdbcSession s(cs);
        size_t at = 0;
        while (at < script.size()) {
            const size_t end = script.find(';', at);
            const std::string statement = script.substr(at, end - at);
            if (statement.find_first_not_of(" \n") != std::string::npos)
                s.exec(statement);
            at = end == std::string::npos ? script.size() : end + 1;
        }
        s.commit();
    }
    // The first column of every row of a query, as the server writes it.
    Texts server(const std::string& select) {
        DataSet q(&db.conn);
        q.SetCommandText(select);
        q.Open();
        Texts out;
        for (int r = 0; r < q.RecordCount(); ++r)
            out.push_back(q.displayText(r, 0));
        return out;
    }
    // The server's text of an expression rounded to two places, as a footer shows it.
    std::string rounded(const std::string& e) const {
        // MariaDB rounds a double half to even: its exact decimal is rounded instead.
        return pg() ? "round((" + e + ")::numeric, 2)::text"
                    : "cast(cast(round(cast(" + e +
                          " as decimal(65,30)), 2) as decimal(65,2)) as char)";
    }
    // A sum, minimum or maximum of exact values in its own places where it has more than two,
    // as a footer shows it; doubles rounded to two.
    std::string shown(const std::string& e, const std::string& f) const {
        if (f == "d" || f == "r")
            return rounded(e);
        if (pg())
            return "case when scale((" + e + ")::numeric) > 2 then (" + e +
                   ")::numeric::text else " + rounded(e) + " end";
        return f == "w" || f == "n38" ? "cast(" + e + " as char)" : rounded(e);
    }
    std::string concat(const char* prefix, const std::string& e) const {
        return pg() ? "'" + std::string(prefix) + "' || " + e
                    : "concat('" + std::string(prefix) + "', " + e + ")";
    }
    // The server's footer text of `kind` over field f, for footers that show "0.00" sums
    // and "MIN=0.00" extremes (in more places where their values have more). An average divides by
    // every row, as the grid's does; on PostgreSQL by a count with places, or a quotient beyond 16
    // digits keeps none.
    std::string aggregate(T kind, const std::string& f) const {
        const std::string x = pg() && f == "m" ? "m::numeric" : f;
        const bool floating = f == "d" || f == "r";
        const std::string count = pg() && !floating ? "count(*)::numeric(30,20)" : "count(*)";
        switch (kind) {
        case T::cstSum:
            return shown("coalesce(sum(" + x + "), 0)", f);
        case T::cstMin:
            return concat("MIN=", shown("min(" + x + ")", f));
        case T::cstMax:
            return concat("MAX=", shown("max(" + x + ")", f));
        default:
            return concat("AVG=", rounded("coalesce(sum(" + x + "), 0) / " + count));
        }
    }
    std::string idText() const { return pg() ? "id::text" : "cast(id as char)"; }
    TdxDBGridColumn& col(const std::string& field) { return *db.grid.ColumnByFieldName(field); }
    Texts cells(const std::string& field) {
        Texts out;
        for (const VisibleRow& r : db.grid.VisibleRows())
            if (r.row.isData() && r.footer < 0)
                out.push_back(db.grid.CellText(r.row, col(field)));
        return out;
    }
    // Makes `kind` the one summary of every column in `fields`, as group items and footers.
    void summarize(T kind, const Texts& fields) {
        TdxDBGridSummaryItems& items = db.grid.DefaultGroup().SummaryItems;
        while (items.Count() > 0)
            items.Delete(0);
        for (const std::string& f : fields)
            addSummary(db.grid, col(f), kind);
        db.grid.ReloadRows();
    }

    std::string cs;
    ExportDb db{"select 1;"};
};

// The text of a column of the edge table as the server writes it; money as its number.
std::string serverText(bool pg, const std::string& field) {
    if (!pg)
        return "cast(" + field + " as char)";
    return field == "m" ? "m::numeric::text" : field + "::text";
}

} // namespace

TEST_P(EdgeNumbers, EveryCellAndFooterIsTheServers) {
    load(pg() ? kPgEdges : kMariaEdges);
    const Texts fields =
        pg() ? Texts{"u", "w", "n38", "m", "d", "r"} : Texts{"ub", "w", "n38", "d"};
    db.open("select * from edge_numbers order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    for (const std::string& f : fields) {
        SCOPED_TRACE(f);
        EXPECT_TRUE(isNumericKind(db.ds.FieldByName(f).Kind()));
        EXPECT_EQ(cells(f),
                  server("select " + serverText(pg(), f) + " from edge_numbers order by id"));
    }
    // A double exactly half way shows as its decimal does.
    if (pg()) {
        EXPECT_EQ(g.CellText(g.Top(0), col("d")), "12486.125");
    }

    // Grouped by grp: every footer of every kind, in the groups and under the grid.
    g.GroupColumn(col("grp"), 0);
    g.ExpandAll();
    ASSERT_EQ(g.TopCount(), 4);
    for (const T kind : {T::cstSum, T::cstMin, T::cstMax, T::cstAvg}) {
        summarize(kind, fields);
        for (const std::string& f : fields) {
            SCOPED_TRACE(f + " " + std::to_string(static_cast<int>(kind)));
            Texts ours;
            for (int i = 0; i < g.TopCount(); ++i) {
                const RowHandle group = g.Top(i);
                ours.push_back(
                    g.FooterCellText(g.Child(group, g.ChildCount(group) - 1), col(f), 0));
            }
            EXPECT_EQ(ours, server("select " + aggregate(kind, f) +
                                   " from edge_numbers group by grp order by grp"));
            EXPECT_EQ(g.SummaryFooterText(col(f)),
                      server("select " + aggregate(kind, f) + " from edge_numbers")[0]);
        }
    }
    if (pg()) {
        summarize(T::cstSum, fields);
        EXPECT_EQ(g.SummaryFooterText(col("u")), "NaN");
        EXPECT_EQ(g.FooterCellText(g.Child(g.Top(1), 1), col("u"), 0), "Infinity");
        EXPECT_EQ(g.FooterCellText(g.Child(g.Top(2), 1), col("u"), 0), "-Infinity");
        EXPECT_EQ(g.FooterCellText(g.Child(g.Top(0), 1), col("n38"), 0),
                  "111111111101111111110.123456789012345677");
        EXPECT_EQ(g.SummaryFooterValue(col("n38")).exact().toString(),
                  server("select sum(n38)::text from edge_numbers")[0]);
        EXPECT_EQ(g.SummaryFooterValue(col("w")).exact().toString(),
                  server("select sum(w)::text from edge_numbers")[0]);
    } else {
        summarize(T::cstSum, fields);
        EXPECT_EQ(g.SummaryFooterValue(col("ub")).exact().toString(),
                  server("select cast(sum(ub) as char) from edge_numbers")[0]);
        EXPECT_EQ(g.SummaryFooterValue(col("w")).exact().toString(),
                  server("select cast(sum(w) as char) from edge_numbers")[0]);
    }
}

// PostgreSQL's numeric up to thousands of digits (MariaDB's decimals stop at 65).
class PgEdgeNumbers : public EdgeNumbers {};
INSTANTIATE_TEST_SUITE_P(Servers, PgEdgeNumbers, ::testing::Values(Server::Postgres),
                         [](const auto&) { return "Postgres"; });

TEST_P(PgEdgeNumbers, ThousandsOfDigitsArriveWhole) {
    db.open("select x, -x / 7 as y from (select (repeat('9', 3000) || '.' || repeat('1', "
            "500))::numeric as x) t");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("x");
    addSummary(g, col("x"), T::cstSum);
    EXPECT_EQ(g.CellText(g.Top(0), col("x")),
              server("select (repeat('9', 3000) || '.' || repeat('1', 500))::numeric::text")[0]);
    EXPECT_EQ(
        g.CellText(g.Top(0), col("y")),
        server("select (-(repeat('9', 3000) || '.' || repeat('1', 500))::numeric / 7)::text")[0]);
    // The sum in its five hundred places, every digit.
    EXPECT_EQ(g.SummaryFooterText(col("x")), g.CellText(g.Top(0), col("x")));
    EXPECT_EQ(g.SummaryFooterText(col("x")).size(), 3501u);
}

TEST_P(EdgeNumbers, WideValuesNaNAndInfinitiesGroupSortAndFilterAsTheServerDoes) {
    load(pg() ? kPgEdges : kMariaEdges);
    const std::string f = pg() ? "u" : "w";
    db.open("select * from edge_numbers order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");

    // Sorted: ids in the server's order (NaN last, equal values in record order).
    col(f).SetSorted(TdxTreeListColumnSort::csUp);
    EXPECT_EQ(cells("id"),
              server("select " + idText() + " from edge_numbers order by " + f + ", id"));
    col(f).SetSorted(TdxTreeListColumnSort::csNone);
    col("d").SetSorted(TdxTreeListColumnSort::csDown);
    EXPECT_EQ(cells("id"), server("select " + idText() + " from edge_numbers order by d desc, id"));
    col("d").SetSorted(TdxTreeListColumnSort::csNone);

    // Grouped: 1.0 and 1.00 are one group, NaN one group; each group's first record gives
    // its text.
    g.GroupColumn(col(f), 0);
    Texts groups, counts;
    for (int i = 0; i < g.TopCount(); ++i) {
        groups.push_back(g.GroupRowText(g.Top(i)));
        counts.push_back(std::to_string(g.ChildCount(g.Top(i))));
    }
    const std::string first = "(select " + serverText(pg(), f) +
                              " from edge_numbers e where e.id = min(edge_numbers.id)) as t";
    Texts expected;
    for (const std::string& t :
         server("select " + first + " from edge_numbers group by " + f + " order by " + f))
        expected.push_back(f + " : " + t + " ");
    EXPECT_EQ(groups, expected);
    const std::string count = pg() ? "count(*)::text" : "cast(count(*) as char)";
    EXPECT_EQ(counts,
              server("select " + count + " from edge_numbers group by " + f + " order by " + f));
    g.ClearGrouping();

    // Filtered on one of them: the rows the server's equality selects.
    const auto filtered = [&](const Value& v, const std::string& literal) {
        g.Filter.SetColumnFilter(col(f), ColumnFilter::equalTo(v));
        EXPECT_EQ(cells("id"), server("select " + idText() + " from edge_numbers where " + f +
                                      " = " + literal + " order by id"))
            << literal;
    };
    filtered(Value::fromInt(1), "1");
    if (pg()) {
        filtered(Value::fromDouble(std::numeric_limits<double>::quiet_NaN()), "'NaN'");
        filtered(Value::fromDouble(-std::numeric_limits<double>::infinity()), "'-Infinity'");
        filtered(*exactNumber("123456789012345678901234567890123456789012345678.50"),
                 "123456789012345678901234567890123456789012345678.5");
        // The double column too.
        g.Filter.Clear();
        g.Filter.SetColumnFilter(col("d"), ColumnFilter::equalTo(Value::fromDouble(
                                               std::numeric_limits<double>::quiet_NaN())));
        EXPECT_EQ(cells("id"), Texts{"2"});
    } else {
        filtered(*exactNumber("999999999999999999999999999999.999999999999999999999999999999"),
                 "999999999999999999999999999999.999999999999999999999999999999");
    }
}

// Several hundred groups on two levels over wide columns, values drawn with a fixed seed:
// every group footer and the summary footer equal the server's GROUP BY.
TEST_P(EdgeNumbers, RandomTwoLevelGroupingEqualsTheServersGroupBy) {
    std::mt19937_64 random(20261209);
    auto digits = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += static_cast<char>('0' + random() % 10);
        return s;
    };
    auto sign = [&]() { return random() % 3 == 0 ? "-" : ""; };
    const std::string wide = pg() ? "numeric(60,20)" : "decimal(65,30)";
    std::string script = "drop table if exists edge_groups; create table edge_groups (id int "
                         "primary key, g1 int, g2 int, "
                         "b bigint, n38 numeric(38,10), w " +
                         wide + ", d double precision);";
    const int rows = 3000;
    for (int r = 0; r < rows; r += 500) {
        script += "insert into edge_groups values ";
        for (int i = r; i < r + 500; ++i) {
            const bool nulls = random() % 17 == 0;
            const auto b = static_cast<int64_t>(random() >> 1) * (random() % 2 ? 1 : -1);
            script += (i > r ? "," : "") + std::string("(") + std::to_string(i) + "," +
                      std::to_string(random() % 24) + "," + std::to_string(random() % 30) + "," +
                      std::to_string(b) + "," +
                      (nulls ? "null" : sign() + digits(28) + "." + digits(10)) + "," + sign() +
                      digits(pg() ? 40 : 30) + "." + digits(pg() ? 20 : 30) + "," +
                      std::to_string(static_cast<int64_t>(random() % 2000000) - 1000000) + "." +
                      (random() % 2 ? "125" : "5") + ")";
        }
        script += ";";
    }
    load(script);
    db.open("select * from edge_groups order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    g.GroupColumn(col("g1"), 0);
    g.GroupColumn(col("g2"), 1);
    ASSERT_EQ(g.TopCount(), 24);
    const Texts fields{"b", "n38", "w", "d"};
    int compared = 0;
    for (const T kind : {T::cstSum, T::cstMin, T::cstMax, T::cstAvg}) {
        summarize(kind, fields);
        for (const std::string& f : fields) {
            SCOPED_TRACE(f + " " + std::to_string(static_cast<int>(kind)));
            // The double sums of k/8 are exact, so every order of adding gives one sum. The
            // average of doubles is a double quotient: compared as the server's double,
            // since the server's conversion to a decimal keeps only 15 digits of it.
            const bool quotient = f == "d" && kind == T::cstAvg;
            const auto shown = [&](RowHandle row, int j) {
                if (!quotient)
                    return j < 0 ? g.SummaryFooterText(col(f)) : g.FooterCellText(row, col(f), j);
                return formatFloat(j < 0 ? g.SummaryFooterValue(col(f)).toDouble()
                                         : g.FooterCellValue(row, col(f), j).toDouble());
            };
            const std::string e =
                quotient ? (pg() ? "(sum(d) / count(*))::text" : "cast(sum(d) / count(*) as char)")
                         : aggregate(kind, f);
            const auto expected = [&](const std::string& groupBy) {
                Texts out = server("select " + e + " from edge_groups" + groupBy);
                if (quotient)
                    for (std::string& t : out)
                        t = formatFloat(*parseNumber(t));
                return out;
            };
            Texts inner, outer;
            for (int i = 0; i < g.TopCount(); ++i) {
                const RowHandle top = g.Top(i);
                for (int k = 0; k < g.ChildCount(top); ++k) {
                    const RowHandle group = g.Child(top, k);
                    const RowHandle last = g.Child(group, g.ChildCount(group) - 1);
                    inner.push_back(shown(last, 0));
                    if (k + 1 == g.ChildCount(top))
                        outer.push_back(shown(last, 1));
                }
            }
            EXPECT_EQ(inner, expected(" group by g1, g2 order by g1, g2"));
            EXPECT_EQ(outer, expected(" group by g1 order by g1"));
            EXPECT_EQ(shown(RowHandle{}, -1), expected("")[0]);
            compared += static_cast<int>(inner.size() + outer.size()) + 1;
        }
    }
    EXPECT_GT(compared, 4 * 4 * 600);
}

INSTANTIATE_TEST_SUITE_P(Servers, EdgeNumbers, ::testing::Values(Server::Postgres, Server::MariaDB),
                         [](const auto& info) {
                             return info.param == Server::Postgres ? "Postgres" : "MariaDB";
                         });

// Procedure output values arrive as texts: every digit of a decimal, the unsigned range,
// NaN and infinities; and the kinds that drivers describe by a double.
TEST(EdgeNumberTexts, DriverTextsBecomeExactValuesOfTheirKind) {
    EXPECT_EQ(numberFromText(FieldKind::BCD, "123456789012345678901234567890123456789012.34")
                  .displayText(),
              "123456789012345678901234567890123456789012.34");
    EXPECT_EQ(numberFromText(FieldKind::Currency, "92233720368547.75").displayText(),
              "92233720368547.75");
    EXPECT_EQ(numberFromText(FieldKind::LargeInt, "9223372036854775807").type(), Value::Type::Int);
    EXPECT_EQ(numberFromText(FieldKind::LargeInt, "18446744073709551615").displayText(),
              "18446744073709551615");
    EXPECT_EQ(numberFromText(FieldKind::BCD, "NaN").displayText(), "NaN");
    EXPECT_EQ(numberFromText(FieldKind::Float, "-Infinity").displayText(), "-Infinity");
    EXPECT_EQ(numberFromText(FieldKind::Float, "12486.125").asDouble(), 12486.125);
    EXPECT_TRUE(numberFromText(FieldKind::Integer, "x").isNull());
    EXPECT_EQ(exactNumericKind(FieldKind::Float, "money", false), FieldKind::Currency);
    EXPECT_EQ(exactNumericKind(FieldKind::Float, "NUMERIC(10,2)", false), FieldKind::BCD);
    EXPECT_EQ(exactNumericKind(FieldKind::Float, "float8", false), FieldKind::Float);
    EXPECT_EQ(exactNumericKind(FieldKind::LargeInt, "bigint", true), FieldKind::BCD);
    EXPECT_EQ(exactNumericKind(FieldKind::LargeInt, "bigint", false), FieldKind::LargeInt);
}
