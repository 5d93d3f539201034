#include "setup/reportdefinition.h"

#include "common/displaytext.h"
#include "common/error.h"
#include "common/progress.h"
#include "export/listingexport.h"
#include "gridstate.h"
#include "setup/setup.h"
#include "testdb.h"
#include "testfiles.h"

#include "testprogram.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

using namespace rg;

namespace {

const char* kSales = R"(
create table sales(id integer primary key, region text, qty integer, price real, day date);
insert into sales values (1, '华东', 3, 1.5, '2024-01-02'), (2, '华北', 4, 2.25, '2024-03-04'),
                         (3, '华东', 5, 10, '2023-12-31');
create table other(code text primary key, amount real);
insert into other values ('a', 1), ('b', 2);
)";

const char* kOrders = R"(
create table orders(id integer primary key, region text, city text, qty integer, price real, day date,
                    note text);
insert into orders values
  (1, '华东', '上海', 3, 1.5, '2024-01-02', 'a'), (2, '华东', '杭州', 4, 2.25, '2024-03-04', 'b'),
  (3, '华北', '北京', 5, 10, '2024-02-01', 'c'), (4, '华北', '天津', 1, 0.5, '2024-05-06', 'd'),
  (5, '华东', '上海', 2, 7, '2023-12-31', 'e'), (6, 'a	b\c', '广州', 6, 8, '2024-07-01', 'f'),
  (7, '华东', '上海', 9, 4, '2024-08-09', ''), (8, '华北', '北京', 2, 3.5, '2024-09-10', 'h'),
  (9, '华南', '深圳', 1, 9, '2024-10-11', 'i');
)";

using test::Program;

// Opens a table of `db` in `p`'s grid with one column per field and the key field "id".
void openTable(Program& p, const TestDb& db, const char* table) {
    p.conn.SetConnectionString(db.conn.ConnectionString());
    p.dataset.SetCommandType(CommandType::cmdTable);
    p.dataset.SetCommandText(table);
    p.dataset.Open();
    BuildGridColumns(p.grid);
    p.grid.SetKeyField("id");
}

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
        ApplySummary(p.grid, 3, "cstavg"); // an average survives the round trip
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
        ApplySummary(p.grid, 2, "cstcount"); // two items on one field: both are kept
        SaveSetup(p.objects(), ini);
    }
    {
        Program p;
        LoadSetup(p.objects(), ini);
        EXPECT_EQ(p.dataset.CommandText(), "select *\r\nfrom sales"); // the line break survives
        EXPECT_EQ(p.dataset.GetCommandType(), CommandType::cmdText);
        EXPECT_EQ(p.grid.KeyField(), "id");
        ASSERT_EQ(p.grid.DefaultGroup().SummaryItems.Count(), 2);
        EXPECT_EQ(p.grid.DefaultGroup().SummaryItems.Items(0).SummaryType(),
                  TdxSummaryType::cstSum);
        EXPECT_EQ(p.grid.DefaultGroup().SummaryItems.Items(1).SummaryType(),
                  TdxSummaryType::cstCount);
        // The original program's section holds the first; it reads nothing else.
        EXPECT_EQ(TSetup(ini).ReadSummaryField(p.dataset.Fields(2).FieldName()), "cstsum");
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
        // A lower-case kind name leaves the kind as it was; "cstnone" leaves the field
        // without a summary, and a kind name in other letter case stops the load.
        TSetup s(ini);
        s.WriteCommandType("cmdtable");
        s.WriteCommandText("other");
        s.WriteSummaryField("amount", "cstnone");
        Program p;
        p.dataset.SetCommandType(CommandType::cmdTable);
        LoadSetup(p.objects(), ini);
        EXPECT_EQ(p.dataset.GetCommandType(), CommandType::cmdTable);
        EXPECT_EQ(p.dataset.FieldCount(), 2);
        EXPECT_EQ(p.grid.DefaultGroup().SummaryItems.Count(), 0);
        EXPECT_EQ(p.grid.ColumnByFieldName("amount")->SummaryFooterType(), TdxSummaryType::cstNone);
        s.WriteSummaryField("amount", "cstSum");
        try {
            LoadSetup(p.objects(), ini);
            ADD_FAILURE() << "an unknown summary kind was loaded";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "设置文件中的字段“amount”的汇总方式无法使用：无法识别“cstSum”");
        }
    }
}

TEST_F(ReportFixture, SecondSetupReplacesTheFirstAndFailuresKeepColumns) {
    const std::string a = db.folder + "/a.ini", b = db.folder + "/b.ini";
    for (const auto& [file, table, field] :
         {std::tuple{a, "sales", "qty"}, std::tuple{b, "other", "amount"}}) {
        TSetup s(file);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText(table);
        s.WriteSummaryField(field, "cstsum");
    }
    TSetup(a).WriteFilterText("qty > 3");
    Program p;
    LoadSetup(p.objects(), a);
    EXPECT_EQ(p.grid.TopCount(), 0); // no key field: no rows
    EXPECT_EQ(p.grid.ColumnCount(), 5);
    EXPECT_EQ(p.dataset.RecordCount(), 2);
    // B has no qty: A's filter must not come along.
    LoadSetup(p.objects(), b);
    EXPECT_EQ(p.dataset.Filter(), "");
    // Only B's item: one of A's would attach to B's column of the same name.
    const TdxDBGridSummaryItems& items = p.grid.DefaultGroup().SummaryItems;
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items.Items(0).SummaryField(), "amount");
    EXPECT_EQ(items.Items(0).ColumnName(), "dxDBGridColumn2");
    EXPECT_EQ(p.grid.Columns(0).SummaryFooterType(), TdxSummaryType::cstNone);
    EXPECT_EQ(p.grid.Columns(1).SummaryFooterType(), TdxSummaryType::cstSum);

    // A file that does not exist says so before anything changes: the report shown stays.
    const std::string missing = db.folder + "/missing.ini";
    try {
        LoadSetup(p.objects(), missing);
        ADD_FAILURE() << "a missing setup was loaded";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "找不到设置文件：" + missing);
    }
    EXPECT_TRUE(p.dataset.Active());
    EXPECT_EQ(p.grid.ColumnCount(), 2);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

namespace {

void expectSameCondition(const FilterCondition& a, const FilterCondition& b) {
    EXPECT_EQ(a.op, b.op);
    EXPECT_EQ(a.value.type(), b.value.type());
    EXPECT_TRUE(a.value == b.value) << a.value.displayText() << " / " << b.value.displayText();
}

} // namespace

TEST_F(ReportFixture, SavingOverAnotherReportLeavesOnlyTheNewOne) {
    const std::string fresh = db.folder + "/fresh.ini";
    {
        Program a;
        a.conn.SetConnectionString(db.conn.ConnectionString());
        a.dataset.SetCommandType(CommandType::cmdTable);
        a.dataset.SetCommandText("sales");
        a.dataset.Open();
        BuildGridColumns(a.grid);
        a.dataset.FieldByName("region").SetDisplayLabel("地区");
        a.grid.SetKeyField("id");
        ApplySummary(a.grid, 2, "cstsum");
        ApplySummary(a.grid, 3, "cstmin");
        a.grid.GroupColumn(*a.grid.ColumnByFieldName("region"), 0);
        SaveSetup(a.objects(), ini);
    }
    // Sections of other programs, before, among and after the report's own.
    const std::string head = "; hand-written\r\n[Printer]\r\nmargin=10\r\n";
    const std::string among = "[Notes]\nx = \xC4\xE3\n\n";
    const std::string tail = "[Zeta]\r\nlast=1";
    std::string a = test::readBytes(ini);
    a.insert(a.find("[KeyField]"), among);
    test::writeBytes(ini, head + a + tail);

    Program b;
    b.conn.SetConnectionString(db.conn.ConnectionString());
    b.dataset.SetCommandText("select code, amount from other");
    b.dataset.Open();
    BuildGridColumns(b.grid);
    b.dataset.FieldByName("amount").SetDisplayLabel("金额");
    b.grid.SetKeyField("code");
    ApplySummary(b.grid, 1, "cstcount");
    SaveSetup(b.objects(), ini);
    SaveSetup(b.objects(), fresh);
    // Exactly B's entries after the other programs' lines, which keep every byte.
    EXPECT_EQ(test::readBytes(ini), head + among + tail + "\r\n" + test::readBytes(fresh));

    Program c;
    LoadSetup(c.objects(), ini);
    EXPECT_EQ(c.dataset.GetCommandType(), CommandType::cmdText);
    EXPECT_EQ(c.dataset.CommandText(), "select code, amount from other");
    EXPECT_EQ(c.dataset.FieldByName("amount").DisplayLabel(), "金额");
    EXPECT_EQ(c.dataset.FieldByName("code").DisplayLabel(), "");
    EXPECT_EQ(c.grid.KeyField(), "code");
    EXPECT_EQ(c.grid.GroupColumnCount(), 0);
    const TdxDBGridSummaryItems& items = c.grid.DefaultGroup().SummaryItems;
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items.Items(0).SummaryField(), "amount");
    EXPECT_EQ(items.Items(0).SummaryType(), TdxSummaryType::cstCount);
    EXPECT_EQ(c.grid.SummaryFooterText(c.grid.Columns(1)), "2");
}

TEST(ReportGridState, ArrangedGridComesBackAndAChangedQueryKeepsWhatFits) {
    TestDb db{kOrders};
    const std::string ini = db.folder + "/orders.ini";
    std::string csv;
    GridState saved;
    {
        Program p;
        p.conn.SetConnectionString(db.conn.ConnectionString());
        p.dataset.SetCommandText("select * from orders");
        p.dataset.Open();
        BuildGridColumns(p.grid);
        p.grid.SetKeyField("id");
        ApplySummary(p.grid, 3, "cstsum");
        TdxDBGrid& g = p.grid;
        auto col = [&](const char* f) -> TdxDBGridColumn& { return *g.ColumnByFieldName(f); };
        // Conditions of every value type, a tab and a backslash in a text, two joined by OR.
        using Op = FilterOperator;
        auto set = [&](const char* field, FilterCondition first,
                       std::optional<FilterCondition> second = {}, bool orJoin = false) {
            g.Filter.SetColumnFilter(col(field),
                                     ColumnFilter{std::move(first), std::move(second), orJoin});
        };
        set("id", {Op::NotEqual, Value::fromInt(3)},
            FilterCondition{Op::Less, Value::fromDecimal(*Decimal::parse("9007199254740993.50"))});
        set("region", {Op::Equal, Value::fromText("华东")},
            FilterCondition{Op::Equal, Value::fromText("a\tb\\c")}, true);
        set("price", {Op::Greater, Value::fromDouble(0.1 + 0.2)});
        set("day", {Op::GreaterOrEqual, Value::fromDate(dateSerial(2024, 1, 1))},
            FilterCondition{Op::Less, Value::fromDate(dateSerial(2024, 12, 1))});
        g.Filter.SetColumnFilter(col("note"), ColumnFilter::nonBlanks());
        g.BeginGroupingUpdate();
        g.GroupColumn(col("region"), 0);
        g.GroupColumn(col("city"), 1);
        g.EndGroupingUpdate();
        col("city").SetSorted(TdxTreeListColumnSort::csDown);
        g.SortByClick(col("price"), false);
        g.SortByClick(col("price"), false); // descending
        g.DropColumn(col("note"), false, TdxDBGrid::DropPlace::Outside, 0, 0);
        g.MoveColumn(col("price"), 0);
        col("qty").SetWidth(150);
        g.ExpandAll();
        csv = gridAsCsv(g);
        saved = stateOf(g);
        ASSERT_EQ(saved.hidden, (std::vector<std::string>{"region", "city", "note"}));
        SaveSetup(p.objects(), ini);
    }
    {
        Program p;
        LoadSetup(p.objects(), ini);
        p.grid.ExpandAll();
        EXPECT_EQ(gridAsCsv(p.grid), csv);
        EXPECT_EQ(stateOf(p.grid), saved);
        const ColumnFilter* day = p.grid.Filter.ColumnFilterOf(*p.grid.ColumnByFieldName("day"));
        ASSERT_TRUE(day && day->second);
        expectSameCondition(
            day->first, {FilterOperator::GreaterOrEqual, Value::fromDate(dateSerial(2024, 1, 1))});
        const ColumnFilter* region =
            p.grid.Filter.ColumnFilterOf(*p.grid.ColumnByFieldName("region"));
        ASSERT_TRUE(region && region->second);
        EXPECT_TRUE(region->orJoin);
        expectSameCondition(*region->second, {FilterOperator::Equal, Value::fromText("a\tb\\c")});
        const ColumnFilter* id = p.grid.Filter.ColumnFilterOf(*p.grid.ColumnByFieldName("id"));
        ASSERT_TRUE(id && id->second);
        EXPECT_EQ(id->second->value.displayText(), "9007199254740993.50"); // every digit kept
        const ColumnFilter* price =
            p.grid.Filter.ColumnFilterOf(*p.grid.ColumnByFieldName("price"));
        ASSERT_TRUE(price);
        expectSameCondition(price->first, {FilterOperator::Greater, Value::fromDouble(0.1 + 0.2)});
        // The grouping's one reload saw the filter: 上海 3+9 without the blank note of row 7.
        EXPECT_NE(csv.find("group,0,region : a\tb\\c"), std::string::npos) << csv;
        EXPECT_EQ(csv.find(",7,"), std::string::npos);
    }
    {
        // The query has lost city, day and note: the rest of the arrangement stays.
        TSetup(ini).WriteCommandText("select id, region, qty, price from orders");
        Program p;
        LoadSetup(p.objects(), ini);
        const GridState s = stateOf(p.grid);
        EXPECT_EQ(s.groups, std::vector<std::string>{"region"});
        EXPECT_EQ(s.order, (std::vector<std::string>{"price", "id", "region", "qty"}));
        EXPECT_EQ(s.sorted, (std::vector<std::string>{"price down", "region up"}));
        EXPECT_EQ(s.widths, (std::vector<int>{100, 100, 100, 150}));
        EXPECT_EQ(p.grid.Filter.Expression(), "([id] <> 3 AND [id] < 9007199254740993.50) AND "
                                              "([region] = '华东' OR [region] = 'a\tb\\c') AND "
                                              "[price] > 0.30000000000000004");
        EXPECT_EQ(p.grid.DataRowCount(), 5);
    }
}

// A new data source rebuilds the columns: each summary stays with its own field, not with
// the column that now carries its number, and one whose field is gone goes with it.
TEST_F(ReportFixture, RebuiltColumnsKeepSummariesOnTheirOwnFields) {
    Program p;
    p.conn.SetConnectionString(db.conn.ConnectionString());
    p.dataset.SetCommandText("select id, region, qty, price from sales");
    p.dataset.Open();
    BuildGridColumns(p.grid);
    p.grid.SetKeyField("id");
    ApplySummary(p.grid, 2, "cstsum"); // qty
    ApplySummary(p.grid, 3, "cstmax"); // price
    p.dataset.Close();
    p.dataset.SetCommandText("select id, qty, region from sales");
    p.dataset.Open();
    BuildGridColumns(p.grid);
    const TdxDBGridSummaryItems& items = p.grid.DefaultGroup().SummaryItems;
    ASSERT_EQ(items.Count(), 1);
    TdxDBGridColumn& qty = *p.grid.ColumnByFieldName("qty");
    EXPECT_EQ(items.Items(0).ColumnName(), qty.Name());
    EXPECT_EQ(qty.SummaryFooterType(), TdxSummaryType::cstSum);
    EXPECT_EQ(p.grid.SummaryFooterText(qty), "12.00");
    ASSERT_TRUE(p.grid.GroupColumn(*p.grid.ColumnByFieldName("region"), 0));
    const RowHandle lastRow = p.grid.Child(p.grid.Top(0), 0);
    EXPECT_TRUE(p.grid.FooterCellExists(lastRow, qty, 0));
    EXPECT_FALSE(p.grid.FooterCellExists(lastRow, *p.grid.ColumnByFieldName("id"), 0));
}

// Summaries in the group rows: their own section, which the summary section's readers
// never see; back after a load in their order, computed over the filtered rows.
TEST_F(ReportFixture, GroupRowSummariesSurviveASaveAndFollowTheFilter) {
    {
        Program p;
        p.conn.SetConnectionString(db.conn.ConnectionString());
        p.dataset.SetCommandText("select id, region, qty, price from sales");
        p.dataset.Open();
        BuildGridColumns(p.grid);
        p.dataset.FieldByName("region").SetDisplayLabel("地区");
        p.grid.SetKeyField("id");
        ApplySummary(p.grid, 3, "cstsum");
        ApplySummary(p.grid, 0, "cstcount", SummaryPlace::GroupRow);
        ApplySummary(p.grid, 2, "cstmax", SummaryPlace::GroupRow);
        ASSERT_TRUE(p.grid.GroupColumn(*p.grid.ColumnByFieldName("region"), 0));
        EXPECT_EQ(p.grid.GroupRowText(p.grid.Top(1)), "地区 : 华东 (COUNT=2), (MAX=5.00)");
        SaveSetup(p.objects(), ini);
        // A rebuild over the same fields keeps them in the group rows.
        BuildGridColumns(p.grid);
        EXPECT_EQ(p.grid.DefaultGroup().SummaryItems.Items(1).ColumnName(), "");
    }
    TSetup file(ini);
    EXPECT_EQ(file.ReadSummaryField("price"), "cstsum");
    EXPECT_EQ(file.ReadSummaryField("id"), "");
    EXPECT_EQ(file.ReadSummaryField("qty"), "");
    EXPECT_EQ(file.ReadGroupRowSummaries(), (std::vector<std::pair<std::string, std::string>>{
                                                {"id", "cstcount"}, {"qty", "cstmax"}}));

    Program p;
    LoadSetup(p.objects(), ini);
    const TdxDBGridSummaryItems& items = p.grid.DefaultGroup().SummaryItems;
    ASSERT_EQ(items.Count(), 3);
    EXPECT_EQ(items.Items(1).ColumnName(), "");
    EXPECT_EQ(items.Items(2).SummaryType(), TdxSummaryType::cstMax);
    EXPECT_EQ(p.grid.ColumnByFieldName("qty")->SummaryFooterType(), TdxSummaryType::cstNone);
    ASSERT_EQ(p.grid.TopCount(), 2);
    EXPECT_EQ(p.grid.GroupRowText(p.grid.Top(0)), "地区 : 华北 (COUNT=1), (MAX=4.00)");
    EXPECT_EQ(p.grid.GroupRowText(p.grid.Top(1)), "地区 : 华东 (COUNT=2), (MAX=5.00)");
    EXPECT_EQ(p.grid.SummaryFooterText(*p.grid.ColumnByFieldName("price")), "13.75");

    p.grid.Filter.SetColumnFilter(
        *p.grid.ColumnByFieldName("qty"),
        ColumnFilter{{FilterOperator::Less, Value::fromInt(5)}, std::nullopt, false});
    ASSERT_EQ(p.grid.TopCount(), 2);
    EXPECT_EQ(p.grid.GroupRowText(p.grid.Top(1)), "地区 : 华东 (COUNT=1), (MAX=3.00)");

    // Taken away again, the section goes with the next save.
    ApplySummary(p.grid, 0, "cstnone", SummaryPlace::GroupRow);
    ApplySummary(p.grid, 2, "cstnone", SummaryPlace::GroupRow);
    EXPECT_EQ(items.Count(), 1);
    EXPECT_EQ(p.grid.GroupRowText(p.grid.Top(1)), "地区 : 华东 ");
    SaveSetup(p.objects(), ini);
    EXPECT_TRUE(TSetup(ini).ReadGroupRowSummaries().empty());
    EXPECT_EQ(rg::test::readBytes(ini).find("GroupRowSummaries"), std::string::npos);
}

// [ServerSummary] holds where the rows are summarized. A report that leaves both the box and
// the threshold as they come writes no such section, and its file saves again byte for byte;
// a load without the section places the rows by the default threshold whatever the data set
// held before. The runner's forced placement wins over the file's.
TEST_F(ReportFixture, ServerSummarySectionRoundTripsAndStaysOutOfOtherFiles) {
    const std::string other = db.folder + "/other.ini";
    {
        Program p;
        openTable(p, db, "sales");
        SaveSetup(p.objects(), ini);
    }
    const std::string plain = test::readBytes(ini);
    EXPECT_EQ(plain.find("[ServerSummary]"), std::string::npos);
    {
        Program p;
        p.dataset.SetRowPlacement(RowPlacement::Server);
        p.dataset.SetServerThreshold(1);
        LoadSetup(p.objects(), ini);
        EXPECT_EQ(p.dataset.GetRowPlacement(), RowPlacement::Auto);
        EXPECT_EQ(p.dataset.ServerThreshold(), 2'000'000);
        EXPECT_FALSE(p.dataset.ServerSide());
        SaveSetup(p.objects(), other);
        EXPECT_EQ(test::readBytes(other), plain);

        p.dataset.Close();
        p.dataset.SetRowPlacement(RowPlacement::Server);
        p.dataset.SetServerThreshold(2);
        p.dataset.Open();
        SaveSetup(p.objects(), ini);
    }
    const std::string ticked = test::readBytes(ini);
    EXPECT_NE(ticked.find("[ServerSummary]\r\nEnabled=" + TSetup::Scramble("1") +
                          "\r\nThreshold=" + TSetup::Scramble("2") + "\r\n"),
              std::string::npos);
    {
        Program p;
        LoadSetup(p.objects(), ini);
        EXPECT_EQ(p.dataset.GetRowPlacement(), RowPlacement::Server);
        EXPECT_EQ(p.dataset.ServerThreshold(), 2);
        EXPECT_TRUE(p.dataset.ServerSide());
        EXPECT_EQ(p.grid.TopCount(), 3);
        SaveSetup(p.objects(), other);
        EXPECT_EQ(test::readBytes(other), ticked);

        LoadSetup(p.objects(), ini, RowPlacement::Memory);
        EXPECT_FALSE(p.dataset.ServerSide());
        EXPECT_EQ(p.dataset.RecordCount(), 3);
        // Unticked with a lowered threshold: three rows are more than two.
        TSetup(ini).WriteServerSummaryEnabled("0");
        LoadSetup(p.objects(), ini);
        EXPECT_EQ(p.dataset.GetRowPlacement(), RowPlacement::Auto);
        EXPECT_TRUE(p.dataset.ServerSide());
        TSetup(ini).WriteServerThreshold("3");
        LoadSetup(p.objects(), ini);
        EXPECT_FALSE(p.dataset.ServerSide());
    }
    const struct {
        const char* key;
        const char* value;
        const char* message;
    } faults[] = {
        {"Enabled", "yes", "Enabled 应为 0 或 1，而不是“yes”"},
        {"Threshold", "-1", "Threshold 应为行数，而不是“-1”"},
        {"Threshold", "2e6", "Threshold 应为行数，而不是“2e6”"},
    };
    for (const auto& f : faults) {
        std::filesystem::copy_file(ini, other, std::filesystem::copy_options::overwrite_existing);
        TSetup(other).WriteValue("ServerSummary", f.key, f.value);
        Program p;
        try {
            LoadSetup(p.objects(), other);
            ADD_FAILURE() << f.value << " was taken";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "设置文件中的 [ServerSummary] 无法使用：" + std::string(f.message));
        }
    }
}

namespace {

// Counts the progress reports of grouping.
struct GroupingCounter : ProgressSink {
    bool progress(const char* what, int64_t, int64_t) override {
        loads += std::string(what) == "正在分组";
        return true;
    }
    int loads = 0;
};

} // namespace

// A saved grouped and filtered report reads its rows once, with its grouping, also when it
// replaces another report; in memory it shows the same rows.
TEST(ReportLoad, SavedGroupingIsLoadedOnceInMemoryAndOnTheServer) {
    TestDb db{kOrders};
    const std::string ini = db.folder + "/grouped.ini";
    std::string expected;
    {
        Program p;
        openTable(p, db, "orders");
        ApplySummary(p.grid, 3, "cstsum");
        TdxDBGrid& g = p.grid;
        g.Filter.SetColumnFilter(
            *g.ColumnByFieldName("qty"),
            ColumnFilter{{FilterOperator::Equal, Value::fromInt(2)},
                         FilterCondition{FilterOperator::Greater, Value::fromInt(3)},
                         true});
        {
            GroupingUpdate grouping(g);
            g.GroupColumn(*g.ColumnByFieldName("region"), 0);
            g.GroupColumn(*g.ColumnByFieldName("city"), 1);
        }
        g.ExpandAll();
        expected = gridAsCsv(g);
        SaveSetup(p.objects(), ini);
    }
    Program p;
    for (RowPlacement placement :
         {RowPlacement::Memory, RowPlacement::Server, RowPlacement::Memory}) {
        GroupingCounter counter;
        {
            ProgressScope scope(&counter);
            LoadSetup(p.objects(), ini, placement);
        }
        // A load on the server reports its grouping once; one in memory as it goes.
        if (placement == RowPlacement::Server) {
            EXPECT_EQ(counter.loads, 1);
        }
        EXPECT_EQ(p.dataset.ServerSide(), placement == RowPlacement::Server);
        EXPECT_EQ(p.grid.GroupColumnCount(), 2);
        p.grid.ExpandAll();
        EXPECT_EQ(gridAsCsv(p.grid), expected);
    }
}
