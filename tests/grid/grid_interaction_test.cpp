// The rules behind dragging and clicking headers and group buttons, on the grid model
// without a mouse.

#include "grid/grid.h"

#include "testdb.h"

#include <gtest/gtest.h>

using namespace rg;

namespace {

using Place = TdxDBGrid::DropPlace;

struct DropFixture : ::testing::Test {
    TestDb db{kRegionSales};
    TdxDBGrid grid;
    void SetUp() override {
        db.open("select id, region, city, amount from t");
        grid.SetDataSet(&db.ds);
        grid.SetShowGroupPanel(true);
        grid.CreateColumnsForFields(db.ds);
        grid.SetKeyField("id");
    }
    TdxDBGridColumn& col(const char* field) { return *grid.ColumnByFieldName(field); }
    std::vector<std::string> levels() {
        std::vector<std::string> out;
        for (int i = 0; i < grid.GroupColumnCount(); ++i)
            out.push_back(grid.GroupColumns(i).FieldName());
        return out;
    }
    std::vector<std::string> shown() {
        std::vector<std::string> out;
        for (const TdxDBGridColumn* c : grid.VisibleColumns())
            out.push_back(c->FieldName());
        return out;
    }
    std::vector<std::string> topTexts() {
        std::vector<std::string> out;
        for (int i = 0; i < grid.TopCount(); ++i)
            out.push_back(grid.Top(i).isGroup() ? grid.GroupRowText(grid.Top(i))
                                                : grid.CellText(grid.Top(i), col("id")));
        return out;
    }
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(DropFixture, HeadersAndGroupButtonsDroppedOnThePanelTheHeaderRowAndAway) {
    // Buttons' centres sit at 58, 162, 266 ...: the position counts the centres left of x.
    EXPECT_EQ(grid.GroupDropPosition(0, false), 0);
    grid.DropColumn(col("region"), false, Place::GroupPanel, 300, 0);
    EXPECT_EQ(levels(), Names{"region"});
    EXPECT_FALSE(col("region").Visible());
    EXPECT_EQ(col("region").Sorted(), TdxTreeListColumnSort::csUp);
    EXPECT_EQ(grid.GroupDropPosition(58, false), 1);
    EXPECT_EQ(grid.GroupDropPosition(57, false), 0);

    // Left of the first button's centre: the new column becomes level 0.
    grid.DropColumn(col("city"), false, Place::GroupPanel, 20, 0);
    EXPECT_EQ(levels(), (Names{"city", "region"}));
    // A button dropped far right moves to the last level, not past it.
    grid.DropColumn(col("city"), true, Place::GroupPanel, 900, 0);
    EXPECT_EQ(levels(), (Names{"region", "city"}));
    grid.DropColumn(col("city"), true, Place::GroupPanel, 10, 0);
    EXPECT_EQ(levels(), (Names{"city", "region"}));

    // A button dropped on the header row: ungrouped, shown where it was dropped, unsorted.
    EXPECT_EQ(shown(), (Names{"id", "amount"}));
    grid.DropColumn(col("city"), true, Place::HeaderRow, 0, 0);
    EXPECT_EQ(levels(), Names{"region"});
    EXPECT_EQ(shown(), (Names{"city", "id", "amount"}));
    EXPECT_EQ(col("city").Sorted(), TdxTreeListColumnSort::csNone);
    // Elsewhere in the grid: shown again at its old place.
    grid.DropColumn(col("region"), true, Place::Grid, 0, 0);
    EXPECT_TRUE(grid.GroupColumnCount() == 0 && col("region").Visible());
    EXPECT_EQ(shown(), (Names{"city", "id", "region", "amount"}));
    EXPECT_EQ(grid.TopCount(), 5);

    // Away from the grid: a group button is ungrouped and stays hidden.
    grid.DropColumn(col("region"), false, Place::GroupPanel, 0, 0);
    grid.DropColumn(col("region"), true, Place::Outside, 0, 0);
    EXPECT_EQ(grid.GroupColumnCount(), 0);
    EXPECT_FALSE(col("region").Visible());
    EXPECT_EQ(col("region").Sorted(), TdxTreeListColumnSort::csNone);
    EXPECT_EQ(grid.TopCount(), 5); // data rows again, not groups

    // A header dropped away is hidden; the last one shown stays. A header moved on the
    // header row takes the position given.
    grid.DropColumn(col("city"), false, Place::Outside, 0, 0);
    grid.DropColumn(col("id"), false, Place::Outside, 0, 0);
    EXPECT_EQ(shown(), Names{"amount"});
    grid.DropColumn(col("amount"), false, Place::Outside, 0, 0);
    EXPECT_EQ(shown(), Names{"amount"});
    // ... and the only visible column cannot be grouped: nothing changes.
    grid.DropColumn(col("amount"), false, Place::GroupPanel, 10, 0);
    EXPECT_EQ(grid.GroupColumnCount(), 0);
    EXPECT_EQ(shown(), Names{"amount"});
    col("id").SetVisible(true);
    grid.DropColumn(col("id"), false, Place::HeaderRow, 0, 99);
    EXPECT_EQ(shown(), (Names{"amount", "id"}));
    // A header let go over the rows changes nothing.
    grid.DropColumn(col("id"), false, Place::Grid, 0, 0);
    EXPECT_EQ(shown(), (Names{"amount", "id"}));
}

TEST_F(DropFixture, ClickSortingReordersWithoutReloading) {
    using S = TdxTreeListColumnSort;
    TdxDBGridColumn& amount = col("amount");
    grid.SortByClick(amount, false);
    EXPECT_EQ(amount.Sorted(), S::csUp);
    EXPECT_EQ(topTexts(), (Names{"4", "3", "1", "5", "2"}));
    grid.SortByClick(amount, false);
    EXPECT_EQ(amount.Sorted(), S::csDown);
    EXPECT_EQ(topTexts(), (Names{"2", "5", "1", "3", "4"}));
    grid.SortByClick(amount, false);
    EXPECT_EQ(amount.Sorted(), S::csUp);
    grid.SortByClick(amount, true);
    EXPECT_EQ(amount.Sorted(), S::csNone);
    EXPECT_EQ(topTexts(), (Names{"1", "2", "3", "4", "5"})); // record order again
    // One column that is not grouped is sorted at a time.
    grid.SortByClick(amount, false);
    grid.SortByClick(col("city"), false);
    EXPECT_EQ(amount.Sorted(), S::csNone);
    EXPECT_EQ(col("city").Sorted(), S::csUp);

    // A group button click reverses the groups; expanded groups stay so (no reload).
    ASSERT_TRUE(grid.GroupColumn(col("region"), 0));
    EXPECT_EQ(topTexts(), (Names{"region : 华北 ", "region : 华东 ", "region : 华南 "}));
    grid.SetExpanded(grid.Top(1), true);
    const RowHandle east = grid.Top(1);
    grid.SortByClick(col("region"), false);
    EXPECT_EQ(col("region").Sorted(), S::csDown);
    EXPECT_EQ(topTexts(), (Names{"region : 华南 ", "region : 华东 ", "region : 华北 "}));
    EXPECT_EQ(grid.Top(1), east);
    EXPECT_TRUE(grid.Expanded(east));
    // Data rows under each group follow the sorted column: 杭州 (hang) before 上海 (shang).
    EXPECT_EQ(grid.CellText(grid.Child(east, 0), col("city")), "杭州");
    grid.SortByClick(col("city"), false);
    EXPECT_EQ(grid.CellText(grid.Child(east, 0), col("city")), "上海");
    // Ctrl on a group button does not unsort the grouping.
    grid.SortByClick(col("region"), true);
    EXPECT_EQ(col("region").Sorted(), S::csUp);
    // A reload orders them the same way.
    grid.ReloadRows();
    EXPECT_EQ(topTexts(), (Names{"region : 华北 ", "region : 华东 ", "region : 华南 "}));
    EXPECT_EQ(grid.CellText(grid.Child(grid.Top(1), 0), col("city")), "上海");
}
