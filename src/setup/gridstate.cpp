#include "setup/gridstate.h"

#include "common/displaytext.h"
#include "common/error.h"
#include "common/progress.h"
#include "datasource/filter.h"
#include "grid/grid.h"
#include "setup/reportdefinition.h"
#include "setup/setup.h"

#include <charconv>
#include <optional>
#include <vector>

namespace rg {
namespace {

using S = TdxTreeListColumnSort;

std::vector<std::string> fieldNames(const std::vector<TdxDBGridColumn*>& columns) {
    std::vector<std::string> names;
    for (const TdxDBGridColumn* c : columns)
        names.push_back(c->FieldName());
    return names;
}

[[noreturn]] void unusable(const std::string& entry, const std::string& why) {
    throw Error("设置文件中的" + entry + "无法使用：" + why);
}

void restoreFilter(TSetup& setup, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    NoteGoneFields(grid, setup.ColumnFilterNames(), "筛选", skipped);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string text = setup.ReadColumnFilter(c.FieldName());
        if (text.empty())
            continue;
        const std::optional<ColumnFilter> f = ParseStoredColumnFilter(text);
        const std::string entry = "字段“" + c.FieldName() + "”的筛选条件";
        if (!f)
            unusable(entry, "无法识别“" + text + "”");
        try {
            grid.Filter.SetColumnFilter(c, *f);
        } catch (const Cancelled&) {
            throw;
        } catch (const Error& e) {
            unusable(entry, e.what());
        }
    }
    const std::string text = setup.ReadFilterText();
    if (!grid.Filter.Empty() || text.empty() || !grid.dataSet())
        return;
    try {
        SetFilterExpression(grid, text);
    } catch (const FilterFieldMissing&) {
        skipped.push_back("筛选条件 " + text);
    } catch (const Cancelled&) {
        throw;
    } catch (const Error& e) {
        unusable("筛选条件“" + text + "”", e.what());
    }
}

void restoreIntervals(TSetup& setup, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    NoteGoneFields(grid, setup.GroupIntervalNames(), "分组区间", skipped);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string name = setup.ReadGroupInterval(c.FieldName());
        if (name.empty())
            continue;
        try {
            c.SetGroupInterval(parseInterval(name));
        } catch (const Cancelled&) {
            throw;
        } catch (const Error& e) {
            unusable("字段“" + c.FieldName() + "”的分组区间", e.what());
        }
    }
}

void restoreGrouping(TSetup& setup, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    const std::vector<std::string> names = setup.ReadGroupColumns();
    if (names.empty())
        return;
    NoteGoneFields(grid, names, "分组", skipped);
    // One reload for all levels.
    GroupingUpdate batch(grid);
    for (const std::string& name : names)
        if (TdxDBGridColumn* c = grid.ColumnByFieldName(name); c && c->GroupIndex() < 0)
            if (!grid.GroupColumn(*c, grid.GroupColumnCount()))
                unusable("分组“" + name + "”", "不能按这个字段分组");
}

void restoreSorting(TSetup& setup, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    NoteGoneFields(grid, setup.SortedColumnNames(), "排序", skipped);
    bool dataRowsSorted = false; // by one ungrouped column at most
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string direction = setup.ReadSortedColumn(c.FieldName());
        if (direction.empty())
            continue;
        const S s = direction == "csUp" ? S::csUp : direction == "csDown" ? S::csDown : S::csNone;
        if (s == S::csNone && direction != "csNone")
            unusable("字段“" + c.FieldName() + "”的排序", "无法识别“" + direction + "”");
        if (s == S::csNone || (c.GroupIndex() < 0 && dataRowsSorted))
            continue;
        dataRowsSorted = dataRowsSorted || c.GroupIndex() < 0;
        c.SetSorted(s);
    }
}

void restoreCrossTable(TSetup& setup, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    const TSetup::CrossTableEntries e = setup.ReadCrossTable();
    if (e.field.empty())
        return;
    CrossTableDef def;
    def.field = e.field;
    def.kind = SummaryTypeFromName(e.kind);
    def.summaryField = e.summaryField;
    const std::string entry = "交叉表“" + e.field + "”";
    try {
        def.interval = parseInterval(e.interval);
    } catch (const Error& x) {
        unusable(entry, x.what());
    }
    if (def.kind == TdxSummaryType::cstNone)
        unusable(entry, "无法识别“" + e.kind + "”");
    if (!grid.ColumnByFieldName(def.field) ||
        (def.kind != TdxSummaryType::cstCount && !grid.ColumnByFieldName(def.summaryField))) {
        skipped.push_back("交叉表 " + e.field);
        return;
    }
    try {
        grid.SetCrossTable(def);
    } catch (const Cancelled&) {
        throw;
    } catch (const Error& x) {
        unusable(entry, x.what());
    }
}

} // namespace

void SaveGridState(TSetup& setup, TdxDBGrid& grid) {
    std::vector<TdxDBGridColumn*> groups, hidden;
    for (int level = 0; level < grid.GroupColumnCount(); ++level)
        groups.push_back(&grid.GroupColumns(level));
    // A grouped column is out of the header row because it is grouped, not hidden.
    for (TdxDBGridColumn* c : grid.HeaderOrder())
        if (!c->Visible() && c->GroupIndex() < 0)
            hidden.push_back(c);
    setup.WriteGroupColumns(fieldNames(groups));
    setup.WriteColumnOrder(fieldNames(grid.HeaderOrder()));
    setup.WriteHiddenColumns(fieldNames(hidden));
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const TdxDBGridColumn& c = grid.Columns(i);
        setup.WriteColumnWidth(c.FieldName(), formatInt(c.Width()));
        if (c.Sorted() != S::csNone)
            setup.WriteSortedColumn(c.FieldName(), c.Sorted() == S::csUp ? "csUp" : "csDown");
        if (const ColumnFilter* f = grid.Filter.ColumnFilterOf(c))
            setup.WriteColumnFilter(c.FieldName(), StoredColumnFilter(*f));
        // An ungrouped column's interval shows nowhere: it is not worth keeping.
        if (c.GroupIndex() >= 0 && c.GroupInterval().kind != GroupInterval::None)
            setup.WriteGroupInterval(c.FieldName(), intervalName(c.GroupInterval()));
    }
    if (grid.Filter.Empty() && grid.dataSet())
        setup.WriteFilterText(grid.dataSet()->Filter());
    if (const auto& x = grid.CrossTableDefinition())
        setup.WriteCrossTable({x->field, intervalName(x->interval), SummaryTypeName(x->kind),
                               x->kind == TdxSummaryType::cstCount ? "" : x->summaryField});
}

void NoteGoneFields(const TdxDBGrid& grid, const std::vector<std::string>& names, const char* what,
                    std::vector<std::string>& skipped) {
    for (const std::string& name : names)
        if (!grid.ColumnByFieldName(name))
            skipped.push_back(std::string(what) + " " + name);
}

void RestoreGridState(TSetup& setup, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    int position = 0;
    for (const std::string& name : setup.ReadColumnOrder())
        if (TdxDBGridColumn* c = grid.ColumnByFieldName(name))
            grid.MoveColumn(*c, position++);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string text = setup.ReadColumnWidth(c.FieldName());
        int width = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), width);
        if (ec == std::errc() && end == text.data() + text.size() && width > 0)
            c.SetWidth(width);
    }
    // Filtered before grouping, so that the grouping's one reload builds the final tree.
    restoreFilter(setup, grid, skipped);
    restoreIntervals(setup, grid, skipped);
    restoreGrouping(setup, grid, skipped);
    restoreSorting(setup, grid, skipped);
    restoreCrossTable(setup, grid, skipped);
    for (const std::string& name : setup.ReadHiddenColumns()) {
        TdxDBGridColumn* c = grid.ColumnByFieldName(name);
        if (c && c->GroupIndex() < 0 && c->Visible() && grid.VisibleColumns().size() > 1)
            c->SetVisible(false);
    }
}

} // namespace rg
