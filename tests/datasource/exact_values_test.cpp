// Exact values from real databases through the data layer into the grid: decimals beyond
// a double's digits, 64-bit integers around 2^53, repeated column names, zeros of both
// signs and nulls in summaries. Each case runs on a SQLite file and on the PostgreSQL test
// server (RG_TEST_PG); decimals with more than 15 digits only on PostgreSQL, since SQLite
// keeps NUMERIC columns as doubles.

#include "export/excelexport.h"
#include "export/xmlexport.h"
#include "exporttest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ostream>

using namespace rg;

namespace {

// The SQLite twin of the exact_* tables of pg_schema.sql.
const char* kSqliteTables = R"(
create table exact_bigs (id integer primary key, b bigint, grp text);
insert into exact_bigs values (1, 9007199254740993, 'x'), (2, 9007199254740992, 'x'), (3, 9007199254740993, 'y'),
  (4, 9223372036854775807, 'y'), (5, 9223372036854775806, 'y'), (6, null, 'z'), (7, -9007199254740993, 'z');
create table exact_p (id integer primary key, name text);
create table exact_q (id integer primary key, p_id integer references exact_p(id), name text);
insert into exact_p values (1, '甲'), (2, '乙');
insert into exact_q values (10, 1, 'q-a'), (20, 1, 'q-b'), (30, 2, 'q-c');
create table exact_floats (id integer primary key, z double precision, f double precision, day date, n integer,
  grp text);
insert into exact_floats values (1, -0.0, 0.3, null, null, 'a'), (2, 0, -0.1, '2024-05-01', null, 'a'),
  (3, 0, -0.2, '2023-02-28', 4, 'b'), (4, -0.0, null, null, null, 'c');
)";

enum class Backend { Sqlite, Postgres };
void PrintTo(Backend b, std::ostream* os) {
    *os << (b == Backend::Sqlite ? "SQLite" : "PostgreSQL");
}

std::string pg() {
    return rgtest::pgConnectionString();
}

class ExactValues : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::Postgres) {
            ASSERT_FALSE(pg().empty())
                << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
            db.connect(pg());
        }
    }
    TdxDBGridColumn& col(const char* field) { return *db.grid.ColumnByFieldName(field); }
    // One value the database computes itself, as its text.
    std::string server(const std::string& select) {
        DataSet q(&db.conn);
        q.SetCommandText(select);
        q.Open();
        return q.displayText(0, 0);
    }
    std::vector<std::string> column(const char* field) {
        std::vector<std::string> out;
        for (const VisibleRow& r : db.grid.VisibleRows())
            if (r.row.isData() && r.footer < 0)
                out.push_back(db.grid.CellText(r.row, col(field)));
        return out;
    }

    ExportDb db{kSqliteTables};
};

using Texts = std::vector<std::string>;

} // namespace

TEST_P(ExactValues, IntegersAroundTwoToThe53rd) {
    db.open("select id, b, grp from exact_bigs order by id");
    TdxDBGrid& g = db.grid;
    EXPECT_EQ(db.ds.FieldByName("b").Kind(), FieldKind::LargeInt);
    col("b").SetSummaryFooterField("b");
    col("b").SetSummaryFooterType(TdxSummaryType::cstMax);
    addSummary(g, col("id"), TdxSummaryType::cstCount);
    g.SetKeyField("id");
    EXPECT_EQ(g.SummaryFooterValue(col("b")).exact().toString(), "9223372036854775807");
    EXPECT_EQ(g.SummaryFooterText(col("b")), "MAX=9223372036854775807.00");

    // Sorted, 2^53 comes before 2^53 + 1, and the largest values keep their order.
    col("b").SetSorted(TdxTreeListColumnSort::csUp);
    EXPECT_EQ(column("id"), (Texts{"6", "7", "2", "1", "3", "5", "4"}));
    EXPECT_EQ(column("b")[3], "9007199254740993");

    // A sum beyond 64 bits, exactly (SQLite's own sum() stops with an overflow here).
    col("b").SetSummaryFooterType(TdxSummaryType::cstSum);
    g.ReloadRows();
    const std::string sum = "18464758472219033598";
    EXPECT_EQ(g.SummaryFooterValue(col("b")).exact().toString(), sum);
    EXPECT_EQ(g.SummaryFooterText(col("b")), sum + ".00");
    if (GetParam() == Backend::Postgres) {
        EXPECT_EQ(server("select cast(sum(b) as text) from exact_bigs"), sum);
    }

    // Grouped, 2^53 and 2^53 + 1 are groups of their own.
    g.GroupColumn(col("b"), 0);
    g.ExpandAll();
    Texts groups;
    for (int i = 0; i < g.TopCount(); ++i)
        groups.push_back(g.GroupRowText(g.Top(i)));
    EXPECT_EQ(groups, (Texts{"b :  ", "b : -9007199254740993 ", "b : 9007199254740992 ",
                             "b : 9007199254740993 ", "b : 9223372036854775806 ",
                             "b : 9223372036854775807 "}));
    EXPECT_EQ(g.ChildCount(g.Top(3)), 2);
    EXPECT_EQ(g.ChildCount(g.Top(2)), 1);

    // A filter on one of them selects only its rows.
    g.ClearGrouping();
    g.Filter.SetColumnFilter(col("b"), ColumnFilter::equalTo(Value::fromInt(9007199254740993)));
    EXPECT_EQ(column("id"), (Texts{"1", "3"}));
    EXPECT_EQ(g.SummaryFooterValue(col("b")).exact().toString(), "18014398509481986");
    g.Filter.SetColumnFilter(col("b"), ColumnFilter::equalTo(Value::fromInt(9007199254740992)));
    EXPECT_EQ(column("id"), (Texts{"2"}));
}

TEST_P(ExactValues, RepeatedColumnNamesKeepTheirOwnValues) {
    db.open("select p.id, p.name, q.id, q.name from exact_p p join exact_q q on q.p_id = p.id "
            "order by q.id");
    TdxDBGrid& g = db.grid;
    ASSERT_EQ(db.ds.FieldCount(), 4);
    EXPECT_EQ(db.ds.Fields(2).FieldName(), "id_1");
    EXPECT_EQ(db.ds.Fields(3).FieldName(), "name_1");
    g.SetKeyField("id_1");
    db.ds.FieldByName("id_1").SetDisplayLabel("明细编号");
    addSummary(g, col("id_1"), TdxSummaryType::cstSum);
    EXPECT_EQ(col("id_1").Caption(), "明细编号");
    EXPECT_EQ(col("id").Caption(), "id");
    EXPECT_EQ(column("id"), (Texts{"1", "1", "2"}));
    EXPECT_EQ(column("id_1"), (Texts{"10", "20", "30"}));
    EXPECT_EQ(column("name"), (Texts{"甲", "甲", "乙"}));
    EXPECT_EQ(column("name_1"), (Texts{"q-a", "q-b", "q-c"}));
    EXPECT_EQ(g.SummaryFooterText(col("id_1")), "60.00");

    // Filter and grouping on the repeated names: the key field stays on its own column.
    ColumnFilter from20;
    from20.first = {FilterOperator::GreaterOrEqual, Value::fromInt(20)};
    g.Filter.SetColumnFilter(col("id_1"), from20);
    EXPECT_EQ(column("id_1"), (Texts{"20", "30"}));
    EXPECT_EQ(g.SummaryFooterText(col("id_1")), "50.00");
    g.GroupColumn(col("id"), 0);
    g.ExpandAll();
    ASSERT_EQ(g.TopCount(), 2);
    EXPECT_EQ(g.GroupRowText(g.Top(0)), "id : 1 ");
    EXPECT_EQ(g.KeyValueOf(g.Child(g.Top(0), 0)).asInt(), 20);
    EXPECT_EQ(g.FooterCellText(g.Child(g.Top(1), 0), col("id_1"), 0), "30.00");
}

TEST_P(ExactValues, ZerosOfBothSignsAndNullsInSummaries) {
    db.open("select id, z, f, day, n, grp from exact_floats order by id");
    TdxDBGrid& g = db.grid;
    addSummary(g, col("f"), TdxSummaryType::cstSum);
    addSummary(g, col("day"), TdxSummaryType::cstMin);
    addSummary(g, col("n"), TdxSummaryType::cstMin);
    g.SetKeyField("id");
    // 0.3 - 0.1 - 0.2 is a hair below zero as doubles; it shows as zero, without a sign.
    EXPECT_LT(g.SummaryFooterValue(col("f")).toDouble(), 0.0);
    EXPECT_EQ(g.SummaryFooterText(col("f")), "0.00");
    // Minima pass over nulls.
    EXPECT_EQ(g.SummaryFooterText(col("day")), "MIN=2023-02-28");
    EXPECT_EQ(g.SummaryFooterText(col("n")), "MIN=4.00");

    // -0.0 and 0.0 are one group, with the same footer. (The server keeps the sign; SQLite
    // stores every zero as 0.0.)
    if (GetParam() == Backend::Postgres) {
        EXPECT_TRUE(std::signbit(g.CellValue(g.Top(0), col("z")).asDouble()));
    }
    g.GroupColumn(col("z"), 0);
    g.ExpandAll();
    ASSERT_EQ(g.TopCount(), 1);
    EXPECT_EQ(g.ChildCount(g.Top(0)), 4);
    EXPECT_EQ(g.FooterCellText(g.Child(g.Top(0), 3), col("f"), 0), "0.00");

    // A group whose values are all null has empty minima.
    g.ClearGrouping();
    g.GroupColumn(col("grp"), 0);
    g.ExpandAll();
    ASSERT_EQ(g.TopCount(), 3);
    const RowHandle a = g.Child(g.Top(0), 1), c = g.Child(g.Top(2), 0);
    EXPECT_EQ(g.FooterCellText(a, col("n"), 0), "");
    EXPECT_EQ(g.FooterCellText(a, col("day"), 0), "MIN=2024-05-01");
    EXPECT_EQ(g.FooterCellText(a, col("f"), 0), "0.20");
    EXPECT_EQ(g.FooterCellText(c, col("n"), 0), "");
    EXPECT_EQ(g.FooterCellText(c, col("day"), 0), "");
    EXPECT_TRUE(g.FooterCellValue(c, col("day"), 0).isEmpty());
    EXPECT_EQ(g.FooterCellText(c, col("f"), 0), "0.00");
}

INSTANTIATE_TEST_SUITE_P(Databases, ExactValues,
                         ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& info) {
                             return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
                         });

// Money and wide decimals, which SQLite cannot hold, on the PostgreSQL server.
TEST(ExactMoney, SumsOverThousandsOfRowsAreTheServersToTheCent) {
    ASSERT_FALSE(pg().empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    ExportDb db{"select 1;"};
    db.connect(pg());
    db.open("select id, grp, amount, wide from exact_money order by id");
    TdxDBGrid& g = db.grid;
    EXPECT_EQ(db.ds.FieldByName("amount").Kind(), FieldKind::BCD);
    TdxDBGridColumn& amount = *g.ColumnByFieldName("amount");
    TdxDBGridColumn& wide = *g.ColumnByFieldName("wide");
    addSummary(g, amount, TdxSummaryType::cstSum);
    addSummary(g, wide, TdxSummaryType::cstSum);
    g.SetKeyField("id");
    ASSERT_EQ(g.DataRowCount(), 3003);

    // Values with all their digits.
    const RowHandle last = g.Top(3000), before = g.Top(3001);
    EXPECT_EQ(g.CellText(last, amount), "99999999999999.99");
    EXPECT_EQ(g.CellText(last, wide), "1234567890123456789.0123456789");
    EXPECT_EQ(g.CellText(before, amount), "-99999999999999.99");
    EXPECT_EQ(g.CellText(before, wide), "-0.0000000001");

    auto server = [&](const std::string& select) {
        DataSet q(&db.conn);
        q.SetCommandText(select);
        q.Open();
        std::vector<std::string> out;
        for (int r = 0; r < q.RecordCount(); ++r)
            out.push_back(q.displayText(r, 0));
        return out;
    };
    // The footer with its default pattern and with "0.00" both give the server's sum.
    const std::string total = server("select cast(sum(amount) as text) from exact_money")[0];
    ASSERT_GT(total.size(), 18u); // beyond what a double carries
    EXPECT_EQ(g.SummaryFooterText(amount), total);
    amount.SetSummaryFooterFormat("0.00");
    EXPECT_EQ(g.SummaryFooterText(amount), total);
    wide.SetSummaryFooterFormat("0.0000000000");
    EXPECT_EQ(g.SummaryFooterText(wide),
              server("select cast(sum(wide) as text) from exact_money")[0]);

    // The files: the XML document with every digit, the spreadsheet with the decimals a
    // double would change as their texts, the total among them.
    const std::string xmlPath = db.file("money.xml"), xlsPath = db.file("money.xls");
    ExportToXml(g, xmlPath, true, GridAppearance());
    const std::string xml = readFile(xmlPath);
    for (const char* text :
         {"=\"99999999999999.99\"", "=\"1234567890123456789.0123456789\"", "=\"-0.0000000001\""})
        EXPECT_NE(xml.find(text), std::string::npos) << text;
    ExportToSpreadsheet(g, xlsPath, true, GridAppearance());
    const BiffFile f(readFile(xlsPath));
    auto number = [&](int row, int col) {
        const BiffRecord* r = f.cell(row, col);
        double d = -1;
        if (r && r->id == 0x0203)
            std::memcpy(&d, r->data.data() + 6, 8);
        return d;
    };
    ASSERT_EQ(f.cell(3001, 2)->id, 0x0204);
    EXPECT_EQ(f.cell(3001, 2)->data.substr(8), "99999999999999.99");
    EXPECT_EQ(f.cell(3001, 3)->data.substr(8), "1234567890123456789.0123456789");
    EXPECT_EQ(number(2, 2),
              g.CellValue(g.Top(1), amount).asDouble()); // an ordinary amount stays a number
    // The total, which no double holds, as its digits.
    ASSERT_EQ(f.cell(3004, 2)->id, 0x0204);
    EXPECT_EQ(f.cell(3004, 2)->data.substr(8), g.SummaryFooterValue(amount).exact().toString());
    EXPECT_EQ(f.cell(3003, 2)->id, 0x0201); // the null amount

    // Per group, in the group footers.
    g.GroupColumn(*g.ColumnByFieldName("grp"), 0);
    g.ExpandAll();
    ASSERT_EQ(g.TopCount(), 3);
    std::vector<std::string> footers;
    for (int i = 0; i < 3; ++i) {
        const RowHandle grp = g.Top(i);
        footers.push_back(g.FooterCellText(g.Child(grp, g.ChildCount(grp) - 1), amount, 0));
    }
    EXPECT_EQ(
        footers,
        server("select cast(sum(amount) as text) from exact_money group by grp order by grp"));
}
