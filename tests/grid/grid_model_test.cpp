#include "grid/grid.h"

#include "common/error.h"
#include "testdb.h"

#include <gtest/gtest.h>

using namespace rg;

namespace {

const char* kSales = R"(
create table sales(id integer primary key, region text, city text, qty integer, note text,
                   day date, pic blob);
insert into sales values (1, '上海', '浦东', 1, 'a', '2024-03-05', x'00');
insert into sales values (2, '北京', '海淀', 2, null, '2024-01-02', null);
insert into sales values (3, '上海', '静安', null, 'c', '2024-02-01', null);
insert into sales values (4, null, '无', 4, 'd', null, null);
insert into sales values (5, '北京', '朝阳', 5, 'e', '2023-12-31', null);
)";

// The column rebuild of the main window.
void buildColumns(TdxDBGrid& g, DataSet& ds) {
    g.ClearGrouping();
    g.SetShowRowFooter(true);
    g.SetShowGroupPanel(true);
    g.SetShowSummaryFooter(true);
    if (g.ColumnCount() > 0) {
        g.BeginUpdate();
        g.BeginGroupingUpdate();
        for (int i = g.ColumnCount() - 1; i >= 0; --i)
            g.DestroyColumn(i);
        g.EndGroupingUpdate();
        g.EndUpdate();
    }
    g.CreateColumnsForFields(ds);
    for (int i = 0; i < g.ColumnCount(); ++i)
        g.Columns(i).SetReadOnly(true);
}

void addSummary(TdxDBGrid& g, TdxDBGridColumn& c, TdxSummaryType k) {
    TdxDBGridSummaryItem& item = g.DefaultGroup().SummaryItems.Add();
    item.SetColumnName(c.Name());
    item.SetSummaryField(c.FieldName());
    item.SetSummaryType(k);
    c.SetSummaryFooterField(c.FieldName());
    c.SetSummaryFooterType(k);
}

std::vector<std::string> groupTexts(const TdxDBGrid& g) {
    std::vector<std::string> out;
    for (int i = 0; i < g.TopCount(); ++i)
        out.push_back(g.GroupRowText(g.Top(i)));
    return out;
}

struct GridFixture : ::testing::Test {
    TestDb db{kSales};
    TdxDBGrid grid;
    void SetUp() override {
        db.open("select id, region, city, qty, note, day from sales");
        grid.SetDataSet(&db.ds);
        buildColumns(grid, db.ds);
    }
    TdxDBGridColumn& col(const char* field) { return *grid.ColumnByFieldName(field); }
};

} // namespace

TEST_F(GridFixture, KeyFieldGatesRowsAndRebuildNamesColumnsAlike) {
    EXPECT_EQ(grid.ColumnCount(), 6);
    EXPECT_EQ(grid.Columns(0).Name(), "dxDBGridColumn1");
    EXPECT_EQ(grid.Columns(5).Name(), "dxDBGridColumn6");
    EXPECT_EQ(grid.TopCount(), 0); // no key field: headers only
    grid.SetKeyField("ID");        // a field found ignoring case
    EXPECT_EQ(grid.TopCount(), 5);
    grid.SetKeyField("missing");
    EXPECT_EQ(grid.TopCount(), 0);
    grid.SetKeyField("id");
    buildColumns(grid, db.ds);
    EXPECT_EQ(grid.Columns(0).Name(), "dxDBGridColumn1"); // same names after a second rebuild
    EXPECT_EQ(grid.Columns(5).Name(), "dxDBGridColumn6");
    EXPECT_EQ(grid.ColumnByName("DXDBGRIDCOLUMN2")->FieldName(), "region");
    // The caption follows the field's display label.
    db.ds.FieldByName("region").SetDisplayLabel("地区");
    EXPECT_EQ(col("region").Caption(), "地区");
}

TEST_F(GridFixture, GroupingHidesSortsCollapsesAndUngroupingRestores) {
    grid.SetKeyField("id");
    TdxDBGridColumn& region = col("region");
    ASSERT_TRUE(grid.GroupColumn(region, 0));
    EXPECT_FALSE(region.Visible());
    EXPECT_EQ(region.Sorted(), TdxTreeListColumnSort::csUp);
    EXPECT_EQ(region.GroupIndex(), 0);
    // Null first with an empty value text, then pinyin order: 北京 before 上海.
    EXPECT_EQ(groupTexts(grid),
              (std::vector<std::string>{"region :  ", "region : 北京 ", "region : 上海 "}));
    for (int i = 0; i < grid.TopCount(); ++i)
        EXPECT_FALSE(grid.Expanded(grid.Top(i)));
    EXPECT_EQ(grid.VisibleRows().size(), 3u);
    grid.ExpandAll();
    EXPECT_EQ(grid.VisibleRows().size(), 8u);

    region.SetSorted(TdxTreeListColumnSort::csDown); // re-ordered without a reload
    EXPECT_EQ(grid.GroupRowText(grid.Top(0)), "region : 上海 ");
    EXPECT_TRUE(grid.Expanded(grid.Top(0)));

    grid.UngroupColumn(0);
    EXPECT_TRUE(region.Visible());
    EXPECT_EQ(region.Sorted(), TdxTreeListColumnSort::csNone);
    EXPECT_EQ(region.GroupIndex(), -1);
    EXPECT_EQ(grid.TopCount(), 5);
}

TEST_F(GridFixture, TwoLevelsOrderWithinParentsAndRefusals) {
    grid.SetKeyField("id");
    ASSERT_TRUE(grid.GroupColumn(col("region"), 0));
    ASSERT_TRUE(grid.GroupColumn(col("city"), 1));
    const RowHandle shanghai = grid.Top(2);
    ASSERT_EQ(grid.ChildCount(shanghai), 2);
    // 静安 (jing) sorts before 浦东 (pu) in code page order.
    EXPECT_EQ(grid.GroupRowText(grid.Child(shanghai, 0)), "city : 静安 ");
    EXPECT_LT(compareValues(grid.GroupValue(grid.Child(shanghai, 0)),
                            grid.GroupValue(grid.Child(shanghai, 1))),
              0);
    EXPECT_EQ(grid.Level(grid.Child(shanghai, 0)), 1);
    EXPECT_EQ(grid.Level(grid.Child(grid.Child(shanghai, 0), 0)), 2);

    // Refusals change nothing.
    EXPECT_FALSE(grid.GroupColumn(col("city"), 0)); // already grouped
    TdxDBGridColumn& extra = grid.AddColumn();
    extra.SetFieldName("REGION");
    EXPECT_FALSE(grid.GroupColumn(extra, 0)); // same field as a grouped column
    grid.DestroyColumn(extra.Index());
    for (const char* f : {"id", "qty", "note"})
        col(f).SetVisible(false);
    EXPECT_FALSE(grid.GroupColumn(col("day"), 0)); // the only visible column
    EXPECT_EQ(grid.GroupColumnCount(), 2);

    // Moving a level through GroupIndex.
    col("city").SetGroupIndex(0);
    EXPECT_EQ(grid.GroupColumns(0).FieldName(), "city");
    EXPECT_EQ(grid.GroupColumns(1).FieldName(), "region");
    grid.ClearGrouping();
    EXPECT_EQ(grid.GroupColumnCount(), 0);
    EXPECT_EQ(grid.TopCount(), 5);
}

TEST(GridBlob, BlobColumnCannotBeGroupedAndLevelsDropWhenFieldsGo) {
    TestDb db(kSales);
    db.open("select id, region, pic from sales");
    TdxDBGrid grid;
    grid.SetDataSet(&db.ds);
    buildColumns(grid, db.ds);
    grid.SetKeyField("id");
    EXPECT_FALSE(grid.GroupColumn(*grid.ColumnByFieldName("pic"), 0));
    ASSERT_TRUE(grid.GroupColumn(*grid.ColumnByFieldName("region"), 0));
    // The data set reopens without the grouped field: the level is dropped at the load.
    db.open("select id, city from sales");
    EXPECT_EQ(grid.GroupColumnCount(), 0);
    EXPECT_EQ(grid.TopCount(), 5);
}

TEST_F(GridFixture, SummariesOverNullsAndTextsAndFooterPlacement) {
    grid.SetKeyField("id");
    // Sum, average and minimum over 1, 2, null, 4, 5: the null counts as a record but takes
    // no part in the minimum.
    addSummary(grid, col("qty"), TdxSummaryType::cstSum);
    EXPECT_EQ(grid.SummaryFooterText(col("qty")), "12.00"); // computed at once, not 0.00
    col("qty").SetSummaryFooterType(TdxSummaryType::cstAvg);
    EXPECT_EQ(grid.SummaryFooterText(col("qty")), "AVG=2.40");
    col("qty").SetSummaryFooterType(TdxSummaryType::cstMin);
    EXPECT_EQ(grid.SummaryFooterText(col("qty")), "MIN=1.00");
    // A count over a text column never reads the texts.
    addSummary(grid, col("note"), TdxSummaryType::cstCount);
    EXPECT_EQ(grid.SummaryFooterText(col("note")), "5");
    // A null date is no 1899-12-30: the minimum is the earliest date there is.
    addSummary(grid, col("day"), TdxSummaryType::cstMin);
    EXPECT_EQ(grid.SummaryFooterText(col("day")), "MIN=2023-12-31");

    ASSERT_TRUE(grid.GroupColumn(col("region"), 0));
    ASSERT_TRUE(grid.GroupColumn(col("city"), 1));
    grid.ExpandAll();
    // Under 上海: 静安 (id 3), then 浦东 (id 1). The data row closing 上海 has two footer rows,
    // the inner level first.
    const RowHandle shanghai = grid.Top(2);
    const RowHandle lastCity = grid.Child(shanghai, 1);
    const RowHandle closing = grid.Child(lastCity, 0);
    ASSERT_EQ(grid.FooterRowCount(closing), 2);
    EXPECT_EQ(grid.FooterLevel(closing, 0), 1);
    EXPECT_EQ(grid.FooterLevel(closing, 1), 0);
    // 1 + null; the sum beside the summary footer's minimum says its kind.
    EXPECT_EQ(grid.FooterCellText(closing, col("qty"), 1), "SUM=1.00");
    EXPECT_EQ(grid.FooterCellText(closing, col("note"), 1), "2");
    const RowHandle firstCityRow = grid.Child(grid.Child(shanghai, 0), 0);
    EXPECT_EQ(grid.FooterRowCount(firstCityRow), 1); // closes only its city
    EXPECT_FALSE(grid.FooterCellExists(closing, col("city"), 0));

    // Two items on one column: the first shows in group footers, the footer band shows the last
    // kind, and both say which kind they are.
    addSummary(grid, col("qty"), TdxSummaryType::cstCount);
    EXPECT_EQ(grid.FooterCellText(closing, col("qty"), 1), "SUM=1.00");
    EXPECT_EQ(grid.SummaryFooterText(col("qty")), "COUNT=5");

    // No items: no footer rows at all.
    grid.DefaultGroup().SummaryItems.Clear();
    EXPECT_EQ(grid.FooterRowCount(closing), 0);

    // Only nulls: an empty cell, not a date of 1899.
    db.open("select id, region, city, qty, note, day from sales where day is null");
    EXPECT_EQ(grid.SummaryFooterText(col("day")), "");
}

TEST_F(GridFixture, NonNumericTextStopsTheSummariesButEveryRowIsShown) {
    grid.SetKeyField("id");
    try {
        addSummary(grid, col("note"), TdxSummaryType::cstSum);
        FAIL() << "a sum over texts must fail";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'a' is not a valid floating point value");
    }
    try {
        grid.ReloadRows();
        FAIL() << "every later load fails the same way";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'a' is not a valid floating point value");
    }
    // Every row is shown, and no footer shows a value of part of them.
    EXPECT_EQ(grid.TopCount(), 5);
    EXPECT_EQ(grid.SummaryFooterText(col("note")), "");
    // Removing the summary in one batch recomputes once, over nothing that fails.
    grid.BeginUpdate();
    grid.DefaultGroup().SummaryItems.Clear();
    col("note").SetSummaryFooterType(TdxSummaryType::cstNone);
    grid.EndUpdate();
    grid.ReloadRows();
    EXPECT_EQ(grid.TopCount(), 5);
}

TEST_F(GridFixture, ReloadKeepsExpandedGroupsAndFocusFollowsTheDataSet) {
    grid.SetKeyField("id");
    ASSERT_TRUE(grid.GroupColumn(col("region"), 0));
    grid.SetExpanded(grid.Top(1), true); // 北京
    const RowHandle row = grid.Child(grid.Top(1), 1);
    grid.SetFocusedRow(row);
    EXPECT_EQ(db.ds.RecNo(), grid.RecordOf(row));
    // A changed caption reloads with expanded groups kept and the focus on the same key.
    const Value key = grid.KeyValueOf(row);
    db.ds.FieldByName("city").SetDisplayLabel("城市");
    EXPECT_TRUE(grid.Expanded(grid.Top(1)));
    EXPECT_FALSE(grid.Expanded(grid.Top(2)));
    EXPECT_EQ(compareValues(grid.KeyValueOf(grid.FocusedRow()), key), 0);
    // The data set moves elsewhere: the grid focuses the row of that record, opening its group.
    db.ds.Locate("id", Value::fromInt(3));
    EXPECT_EQ(grid.KeyValueOf(grid.FocusedRow()).asInt(), 3);
    EXPECT_TRUE(grid.Expanded(grid.Top(2)));
    // A new key field collapses everything again.
    grid.SetKeyField("city");
    for (int i = 0; i < grid.TopCount(); ++i)
        EXPECT_FALSE(grid.Expanded(grid.Top(i)));
    // Closing the data set removes the rows.
    db.ds.Close();
    EXPECT_EQ(grid.TopCount(), 0);
}

TEST_F(GridFixture, SortedColumnOrdersDataRowsAndDropPositions) {
    grid.SetKeyField("id");
    col("city").SetSorted(TdxTreeListColumnSort::csUp);
    std::vector<std::string> cities;
    for (int i = 0; i < grid.TopCount(); ++i)
        cities.push_back(grid.CellText(grid.Top(i), col("city")));
    EXPECT_EQ(cities, (std::vector<std::string>{"朝阳", "海淀", "静安", "浦东", "无"}));
    col("city").SetSorted(TdxTreeListColumnSort::csNone);
    EXPECT_EQ(grid.CellText(grid.Top(0), col("city")), "浦东"); // record order again

    EXPECT_EQ(grid.GroupDropPosition(30, false), 0);
    ASSERT_TRUE(grid.GroupColumn(col("region"), 0));
    EXPECT_EQ(grid.GroupDropPosition(57, false), 0); // left of the first button's centre (58)
    EXPECT_EQ(grid.GroupDropPosition(58, false), 1);
    EXPECT_EQ(grid.GroupDropPosition(500, true), 0); // a grouped column stays within the levels
}
