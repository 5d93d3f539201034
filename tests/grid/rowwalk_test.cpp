#include "grid/rowwalk.h"

#include "testdb.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace rg;

namespace {

std::string text(const TdxDBGrid& g, const VisibleRow& v) {
    if (v.row.isGroup())
        return "G" + std::to_string(g.Level(v.row)) + ":" + g.GroupRowText(v.row);
    const std::string id = g.CellText(v.row, *g.ColumnByFieldName("id"));
    return v.footer < 0 ? "D" + id : "F" + id + "." + std::to_string(v.footer);
}

template <class Lines> std::vector<std::string> texts(const TdxDBGrid& g, const Lines& lines) {
    std::vector<std::string> out;
    for (const VisibleRow& v : lines)
        out.push_back(text(g, v));
    return out;
}

std::vector<RowHandle> rowsOf(const RowWalk& walk, const TdxDBGrid& g) {
    std::vector<RowHandle> rows;
    walk.forEachRow(g, [&](RowHandle r) { rows.push_back(r); });
    return rows;
}

std::vector<VisibleRow> linesOf(const RowWalk& walk, const TdxDBGrid& g) {
    std::vector<VisibleRow> lines;
    walk.forEachLine(g, [&](const VisibleRow& v) { lines.push_back(v); });
    return lines;
}

std::vector<std::string> texts(const TdxDBGrid& g, const std::vector<RowHandle>& rows) {
    std::vector<std::string> out;
    for (RowHandle r : rows)
        out.push_back(text(g, {r, -1}));
    return out;
}

// Sales grouped by region, then city, with a sum in both group footers.
struct WalkFixture : ::testing::Test {
    TestDb db{kRegionSales};
    TdxDBGrid grid;
    void SetUp() override {
        db.open("select id, region, city, amount from t");
        grid.SetDataSet(&db.ds);
        grid.SetShowRowFooter(true);
        grid.CreateColumnsForFields(db.ds);
        TdxDBGridColumn& amount = *grid.ColumnByFieldName("amount");
        TdxDBGridSummaryItem& item = grid.DefaultGroup().SummaryItems.Add();
        item.SetColumnName(amount.Name());
        item.SetSummaryField("amount");
        item.SetSummaryType(TdxSummaryType::cstSum);
        grid.SetKeyField("id");
        grid.GroupColumn(*grid.ColumnByFieldName("region"), 0);
        grid.GroupColumn(*grid.ColumnByFieldName("city"), 1);
    }
};

} // namespace

// The runner writes every row as the grid shows them fully expanded, whatever is collapsed;
// print follows what is expanded; both agree with the grid's own lines.
TEST_F(WalkFixture, LinesFollowTheGridsOwnOrderExpandedOrNot) {
    grid.ExpandAll();
    const std::vector<std::string> expanded = texts(grid, grid.VisibleRows());
    ASSERT_EQ(expanded.size(),
              3u + 5u + 5u + 5u + 3u); // regions, cities, rows, city and region footers
    EXPECT_EQ(texts(grid, linesOf(RowWalk{}, grid)), expanded);
    EXPECT_EQ(texts(grid, linesOf(RowWalk{false, {}}, grid)), expanded);

    grid.CollapseAll();
    grid.SetExpanded(grid.Top(1), true);
    EXPECT_EQ(texts(grid, linesOf(RowWalk{}, grid)), expanded);
    const std::vector<std::string> shown = texts(grid, grid.VisibleRows());
    EXPECT_EQ(texts(grid, linesOf(RowWalk{false, {}}, grid)), shown);
    // Only the shown rows, by the walk itself rather than the grid's list.
    const RowHandle second = grid.Top(1);
    std::vector<std::string> below{text(grid, {second, -1})};
    for (int i = 0; i < grid.ChildCount(second); ++i)
        below.push_back(text(grid, {grid.Child(second, i), -1}));
    EXPECT_EQ(texts(grid, rowsOf(RowWalk{false, {second}}, grid)), below);
    EXPECT_EQ(rowsOf(RowWalk{}, grid).size(),
              static_cast<size_t>(grid.GroupRowCount() + grid.DataRowCount()));
    const RowWalk::Count count = RowWalk{}.count(grid);
    EXPECT_EQ(count.rows, grid.GroupRowCount() + grid.DataRowCount());
    EXPECT_EQ(count.lines, static_cast<int64_t>(expanded.size()));
}

// The grid keeps its shown lines as runs: indexing and finding a row give what a walk over
// the tree gives, groups open, closed and mixed, footer rows after the last row of a group.
TEST_F(WalkFixture, ShownLinesIndexLikeAWalkOverTheTree) {
    auto check = [&](const char* state) {
        SCOPED_TRACE(state);
        std::vector<RowHandle> tops;
        for (int t = 0; t < grid.TopCount(); ++t)
            tops.push_back(grid.Top(t));
        // Through the selection the walk goes down the tree rather than take the grid's list.
        const std::vector<VisibleRow> walked = linesOf(RowWalk{false, tops}, grid);
        const VisibleLines& lines = grid.VisibleRows();
        ASSERT_EQ(lines.size(), walked.size());
        EXPECT_EQ(texts(grid, lines), texts(grid, walked));
        for (size_t i = 0; i < walked.size(); ++i) {
            EXPECT_EQ(text(grid, lines[i]), text(grid, walked[i])) << i;
            if (walked[i].footer < 0) {
                EXPECT_EQ(lines.lineOf(walked[i].row), static_cast<int64_t>(i));
            }
        }
    };
    grid.ExpandAll();
    check("expanded");
    grid.CollapseAll();
    check("collapsed");
    grid.SetExpanded(grid.Top(0), true);
    grid.SetExpanded(grid.Child(grid.Top(0), 0), true);
    grid.SetExpanded(grid.Top(2), true);
    const RowHandle lastCity = grid.Child(grid.Top(2), grid.ChildCount(grid.Top(2)) - 1);
    grid.SetExpanded(lastCity, true);
    check("mixed");
    EXPECT_EQ(grid.VisibleRows().lineOf(grid.Child(grid.Top(1), 0)), -1); // inside a closed group
}

// A selected row brings the groups on its path; a selected group its whole subtree, in tree
// order, each row once.
TEST_F(WalkFixture, SelectionKeepsPathsAndSubtrees) {
    grid.CollapseAll();
    const RowHandle first = grid.Top(0), last = grid.Top(2);
    const RowHandle city = grid.Child(first, 1);
    const RowHandle row = grid.Child(city, 0);
    const std::vector<RowHandle> rows = rowsOf(RowWalk{true, {row, last, row}}, grid);
    std::vector<RowHandle> expected{first, city, row, last};
    for (int i = 0; i < grid.ChildCount(last); ++i) {
        const RowHandle c = grid.Child(last, i);
        expected.push_back(c);
        for (int j = 0; j < grid.ChildCount(c); ++j)
            expected.push_back(grid.Child(c, j));
    }
    EXPECT_EQ(texts(grid, rows), texts(grid, expected));
    // Collapsed groups close over what lies inside them.
    EXPECT_EQ(texts(grid, rowsOf(RowWalk{false, {row, last}}, grid)),
              texts(grid, std::vector<RowHandle>{first, last}));
    // A data row that closes its groups brings their footer lines.
    const RowHandle closing = grid.Child(grid.Child(last, grid.ChildCount(last) - 1), 0);
    const std::vector<std::string> lines = texts(grid, linesOf(RowWalk{true, {closing}}, grid));
    ASSERT_EQ(lines.size(), 5u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[2], text(grid, {closing, -1}));
    EXPECT_EQ(lines[3], text(grid, {closing, 0}));
    EXPECT_EQ(lines[4], text(grid, {closing, 1}));
}
