#include "setup/gridstate.h"

#include "common/displaytext.h"
#include "common/error.h"
#include "common/progress.h"
#include "datasource/filter.h"
#include "document/report.h"
#include "grid/grid.h"
#include "setup/reportdefinition.h"

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

// The names of the fields for which `entry` of the report holds a text.
std::vector<std::string> namesWith(const Report& r, std::string FieldSetting::*entry) {
    std::vector<std::string> names;
    for (const FieldSetting& f : r.fields)
        if (!(f.*entry).empty())
            names.push_back(f.name);
    return names;
}

std::string entryOf(const FieldLookup& r, const TdxDBGridColumn& c,
                    std::string FieldSetting::*entry) {
    const FieldSetting* f = r.field(c.FieldName());
    return f ? f->*entry : std::string();
}

void restoreFilter(const Report& r, const FieldLookup& fields, TdxDBGrid& grid,
                   std::vector<std::string>& skipped) {
    NoteGoneFields(grid, namesWith(r, &FieldSetting::filter), "筛选", skipped);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string text = entryOf(fields, c, &FieldSetting::filter);
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
    const std::string& text = r.filterText;
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

void restoreIntervals(const Report& r, const FieldLookup& fields, TdxDBGrid& grid,
                      std::vector<std::string>& skipped) {
    NoteGoneFields(grid, namesWith(r, &FieldSetting::interval), "分组区间", skipped);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string name = entryOf(fields, c, &FieldSetting::interval);
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

void restoreGrouping(const Report& r, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    const std::vector<std::string>& names = r.grouping;
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

void restoreSorting(const Report& r, const FieldLookup& fields, TdxDBGrid& grid,
                    std::vector<std::string>& skipped) {
    NoteGoneFields(grid, namesWith(r, &FieldSetting::sort), "排序", skipped);
    bool dataRowsSorted = false; // by one ungrouped column at most
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string direction = entryOf(fields, c, &FieldSetting::sort);
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

void restoreCrossTable(const Report& r, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    const CrossSetting& e = r.cross;
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

void CaptureGridState(TdxDBGrid& grid, Report& r) {
    std::vector<TdxDBGridColumn*> groups, hidden;
    for (int level = 0; level < grid.GroupColumnCount(); ++level)
        groups.push_back(&grid.GroupColumns(level));
    // A grouped column is out of the header row because it is grouped, not hidden.
    for (TdxDBGridColumn* c : grid.HeaderOrder())
        if (!c->Visible() && c->GroupIndex() < 0)
            hidden.push_back(c);
    r.grouping = fieldNames(groups);
    r.columnOrder = fieldNames(grid.HeaderOrder());
    r.hiddenColumns = fieldNames(hidden);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const TdxDBGridColumn& c = grid.Columns(i);
        FieldSetting& f = r.fields.emplace_back();
        f.name = c.FieldName();
        f.width = formatInt(c.Width());
        if (c.Sorted() != S::csNone)
            f.sort = c.Sorted() == S::csUp ? "csUp" : "csDown";
        if (const ColumnFilter* filter = grid.Filter.ColumnFilterOf(c))
            f.filter = StoredColumnFilter(*filter);
        // An ungrouped column's interval shows nowhere: it is not worth keeping.
        if (c.GroupIndex() >= 0 && c.GroupInterval().kind != GroupInterval::None)
            f.interval = intervalName(c.GroupInterval());
        f.footerFormat = c.SummaryFooterFormat();
    }
    const TdxDBGrid::PrintChoices& print = grid.ReportPrintChoices();
    r.print = {print.pageSubtotals ? "1" : "", print.headersOnEveryPage ? "" : "0", print.paper,
               print.orientation};
    if (grid.Filter.Empty() && grid.dataSet())
        r.filterText = grid.dataSet()->Filter();
    if (const auto& x = grid.CrossTableDefinition())
        r.cross = {x->field, intervalName(x->interval), SummaryTypeName(x->kind),
                   x->kind == TdxSummaryType::cstCount ? "" : x->summaryField};
}

void NoteGoneFields(const TdxDBGrid& grid, const std::vector<std::string>& names, const char* what,
                    std::vector<std::string>& skipped) {
    for (const std::string& name : names)
        if (!grid.ColumnByFieldName(name))
            skipped.push_back(std::string(what) + " " + name);
}

void RestoreGridState(const Report& r, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    const FieldLookup fields(r);
    int position = 0;
    for (const std::string& name : r.columnOrder)
        if (TdxDBGridColumn* c = grid.ColumnByFieldName(name))
            grid.MoveColumn(*c, position++);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string text = entryOf(fields, c, &FieldSetting::width);
        int width = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), width);
        if (ec == std::errc() && end == text.data() + text.size() && width > 0)
            c.SetWidth(width);
        c.SetSummaryFooterFormat(entryOf(fields, c, &FieldSetting::footerFormat));
    }
    grid.SetReportPrintChoices({r.print.pageSubtotals == "1", r.print.headersOnEveryPage != "0",
                                r.print.paper, r.print.orientation});
    // Filtered before grouping, so that the grouping's one reload builds the final tree.
    restoreFilter(r, fields, grid, skipped);
    restoreIntervals(r, fields, grid, skipped);
    restoreGrouping(r, grid, skipped);
    restoreSorting(r, fields, grid, skipped);
    restoreCrossTable(r, grid, skipped);
    for (const std::string& name : r.hiddenColumns) {
        TdxDBGridColumn* c = grid.ColumnByFieldName(name);
        if (c && c->GroupIndex() < 0 && c->Visible() && grid.VisibleColumns().size() > 1)
            c->SetVisible(false);
    }
}

} // namespace rg
