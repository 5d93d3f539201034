#include "setup/reportdefinition.h"

#include "common/error.h"
#include "setup/setup.h"
#include "testdb.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace rg;

namespace {

const char* kSales = R"(
create table sales(id integer primary key, region text, qty integer, price real, day date);
insert into sales values (1, '华东', 3, 1.5, '2024-01-02'), (2, '华北', 4, 2.25, '2024-03-04'),
                         (3, '华东', 5, 10, '2023-12-31');
create table other(code text primary key, amount real);
insert into other values ('a', 1), ('b', 2);
)";

// A fresh "program": its own connection, data set and grid.
struct Program {
    Connection conn;
    DataSet dataset{&conn};
    TdxDBGrid grid;
    Program() { grid.SetDataSet(&dataset); }
    ReportObjects objects() { return {conn, dataset, grid}; }
};

struct ReportFixture : ::testing::Test {
    TestDb db{kSales};
    std::string ini = db.folder + "/r.ini";
};

} // namespace

TEST_F(ReportFixture, TableSetupRoundTripAfterRestart) {
    {
        Program p;
        p.conn.SetConnectionString(db.conn.ConnectionString());
        p.dataset.SetCommandType(CommandType::cmdTable);
        p.dataset.SetCommandText("sales");
        p.dataset.Open();
        BuildGridColumns(p.grid);
        p.dataset.FieldByName("region").SetDisplayLabel("地区");
        p.dataset.FieldByName("qty").SetDisplayLabel("数量");
        p.grid.SetKeyField("id");
        ApplySummary(p.grid, 2, "cstsum");
        ApplySummary(p.grid, 1, "cstcount");
        ApplySummary(p.grid, 3, "cstavg");  // an average survives the round trip
        SaveSetup(p.objects(), ini);
    }
    Program p;
    LoadSetup(p.objects(), ini);
    EXPECT_EQ(p.conn.ConnectionString(), db.conn.ConnectionString());
    EXPECT_EQ(p.dataset.GetCommandType(), CommandType::cmdTable);
    EXPECT_EQ(p.dataset.CommandText(), "sales");
    EXPECT_EQ(p.dataset.FieldByName("region").DisplayLabel(), "地区");
    EXPECT_EQ(p.dataset.FieldByName("qty").DisplayLabel(), "数量");
    EXPECT_EQ(p.dataset.FieldByName("price").DisplayLabel(), "");
    EXPECT_EQ(p.grid.KeyField(), "id");
    EXPECT_EQ(p.grid.TopCount(), 3);
    // One item per field, in field order.
    const TdxDBGridSummaryItems& items = p.grid.DefaultGroup().SummaryItems;
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(items.Items(0).SummaryField(), "region");
    EXPECT_EQ(items.Items(0).SummaryType(), TdxSummaryType::cstCount);
    EXPECT_EQ(items.Items(1).SummaryField(), "qty");
    EXPECT_EQ(items.Items(2).SummaryType(), TdxSummaryType::cstAvg);
    EXPECT_EQ(items.Items(1).ColumnName(), "dxDBGridColumn3");
    // The summaries a load applies show their values at once.
    EXPECT_EQ(p.grid.SummaryFooterText(p.grid.Columns(2)), "12.00");
    EXPECT_EQ(p.grid.SummaryFooterText(p.grid.Columns(3)), "AVG=4.58");
}

TEST_F(ReportFixture, FileRulesKindsKeyFieldAndLineBreaks) {
    {
        Program p;
        p.conn.SetConnectionString(db.conn.ConnectionString());
        p.dataset.SetCommandText("select *\r\nfrom sales");
        p.dataset.Open();
        BuildGridColumns(p.grid);
        p.grid.SetKeyField("id");
        ApplySummary(p.grid, 2, "cstsum");
        ApplySummary(p.grid, 2, "cstcount");  // two items on one field: the later kind wins
        SaveSetup(p.objects(), ini);
    }
    {
        Program p;
        LoadSetup(p.objects(), ini);
        EXPECT_EQ(p.dataset.CommandText(), "select *\r\nfrom sales");  // the line break survives
        EXPECT_EQ(p.dataset.GetCommandType(), CommandType::cmdText);
        EXPECT_EQ(p.grid.KeyField(), "id");
        ASSERT_EQ(p.grid.DefaultGroup().SummaryItems.Count(), 1);
        EXPECT_EQ(p.grid.DefaultGroup().SummaryItems.Items(0).SummaryType(), TdxSummaryType::cstCount);
        // The saved report is the current one: without a key field the file holds none.
        p.grid.SetKeyField("");
        SaveSetup(p.objects(), ini);
        EXPECT_EQ(TSetup(ini).ReadKeyField(), "");
        Program again;
        LoadSetup(again.objects(), ini);
        EXPECT_EQ(again.grid.KeyField(), "");
        EXPECT_EQ(again.grid.TopCount(), 0);
    }
    {
        // A lower-case kind name leaves the kind as it was; an unknown summary gives none.
        TSetup s(ini);
        s.WriteCommandType("cmdtable");
        s.WriteCommandText("other");
        s.WriteSummaryField("amount", "cstSum");
        Program p;
        p.dataset.SetCommandType(CommandType::cmdTable);
        LoadSetup(p.objects(), ini);
        EXPECT_EQ(p.dataset.GetCommandType(), CommandType::cmdTable);
        EXPECT_EQ(p.dataset.FieldCount(), 2);
        ASSERT_EQ(p.grid.DefaultGroup().SummaryItems.Count(), 1);
        EXPECT_EQ(p.grid.DefaultGroup().SummaryItems.Items(0).SummaryType(), TdxSummaryType::cstNone);
    }
}

TEST_F(ReportFixture, SecondSetupReplacesTheFirstAndFailuresKeepColumns) {
    const std::string a = db.folder + "/a.ini", b = db.folder + "/b.ini";
    for (const auto& [file, table, field] : {std::tuple{a, "sales", "qty"}, std::tuple{b, "other", "amount"}}) {
        TSetup s(file);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText(table);
        s.WriteSummaryField(field, "cstsum");
    }
    Program p;
    LoadSetup(p.objects(), a);
    EXPECT_EQ(p.grid.TopCount(), 0);  // no key field: no rows
    EXPECT_EQ(p.grid.ColumnCount(), 5);
    LoadSetup(p.objects(), b);
    // Only B's item: one of A's would attach to B's column of the same name.
    const TdxDBGridSummaryItems& items = p.grid.DefaultGroup().SummaryItems;
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items.Items(0).SummaryField(), "amount");
    EXPECT_EQ(items.Items(0).ColumnName(), "dxDBGridColumn2");
    EXPECT_EQ(p.grid.Columns(0).SummaryFooterType(), TdxSummaryType::cstNone);
    EXPECT_EQ(p.grid.Columns(1).SummaryFooterType(), TdxSummaryType::cstSum);

    // A file that does not exist: empty entries, the open fails with the data layer's
    // message, the data set stays closed and the grid keeps its columns.
    const std::string missing = db.folder + "/missing.ini";
    EXPECT_THROW(LoadSetup(p.objects(), missing), Error);
    EXPECT_FALSE(p.dataset.Active());
    EXPECT_EQ(p.grid.ColumnCount(), 2);
    EXPECT_FALSE(std::filesystem::exists(missing));
}
