#include "setup/gridstate.h"

#include "common/displaytext.h"
#include "common/error.h"
#include "common/progress.h"
#include "datasource/filter.h"
#include "grid/grid.h"
#include "setup/setup.h"

#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

namespace rg {
namespace {

using S = TdxTreeListColumnSort;

constexpr std::pair<FilterOperator, std::string_view> kOperators[] = {
    {FilterOperator::Equal, "="},
    {FilterOperator::NotEqual, "<>"},
    {FilterOperator::Less, "<"},
    {FilterOperator::LessOrEqual, "<="},
    {FilterOperator::Greater, ">"},
    {FilterOperator::GreaterOrEqual, ">="},
    {FilterOperator::Like, "LIKE"},
    {FilterOperator::NotLike, "NOT LIKE"},
    {FilterOperator::Blank, "BLANK"},
    {FilterOperator::NonBlank, "NONBLANK"},
};

constexpr std::pair<Value::Type, std::string_view> kTypes[] = {
    {Value::Type::Null, "null"},
    {Value::Type::Bool, "bool"},
    {Value::Type::Int, "int"},
    {Value::Type::Double, "float"},
    {Value::Type::Decimal, "decimal"},
    {Value::Type::Text, "text"},
    {Value::Type::Date, "date"},
    {Value::Type::Time, "time"},
    {Value::Type::DateTime, "datetime"},
};

template <class T, size_t N>
std::optional<T> lookUp(const std::pair<T, std::string_view> (&table)[N], std::string_view name) {
    for (const auto& [value, text] : table)
        if (text == name) return value;
    return std::nullopt;
}

template <class T, size_t N>
std::string_view nameOf(const std::pair<T, std::string_view> (&table)[N], T value) {
    for (const auto& [v, text] : table)
        if (v == value) return text;
    return table[0].second;
}

// The shortest text that reads back as the same double, whatever the locale.
std::string exactDouble(double d) {
    char buf[32];
    const auto end = std::to_chars(buf, buf + sizeof buf, d).ptr;
    return std::string(buf, end);
}

std::string valueText(const Value& v) {
    switch (v.type()) {
    case Value::Type::Null: return {};
    case Value::Type::Bool: return v.asBool() ? "1" : "0";
    case Value::Type::Int: return formatInt(v.asInt());
    case Value::Type::Decimal: return v.displayText();
    case Value::Type::Double:
    case Value::Type::Date:
    case Value::Type::Time:
    case Value::Type::DateTime: return exactDouble(v.asDouble());
    case Value::Type::Text: case Value::Type::Blob: break;
    }
    return v.asText();
}

std::optional<Value> parseValue(Value::Type type, const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (type == Value::Type::Text) return Value::fromText(text);
    if (type == Value::Type::Null) return Value::null();
    if (type == Value::Type::Decimal) return exactNumber(text);  // beyond 38 digits too
    if (type == Value::Type::Int || type == Value::Type::Bool) {
        int64_t i = 0;
        const auto [end, ec] = std::from_chars(first, last, i);
        if (ec != std::errc() || end != last) return std::nullopt;
        return type == Value::Type::Int ? Value::fromInt(i) : Value::fromBool(i != 0);
    }
    double d = 0;
    const auto [end, ec] = std::from_chars(first, last, d);
    if (ec != std::errc() || end != last) return std::nullopt;
    if (type == Value::Type::Date) return Value::fromDate(d);
    if (type == Value::Type::Time) return Value::fromTime(d);
    if (type == Value::Type::DateTime) return Value::fromDateTime(d);
    return Value::fromDouble(d);
}

// Pieces joined by tabs; a tab or backslash inside a piece is written \t or \\.
std::string joinPieces(const std::vector<std::string>& pieces) {
    std::string out;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i) out += '\t';
        for (char c : pieces[i]) {
            if (c == '\\') out += "\\\\";
            else if (c == '\t') out += "\\t";
            else out += c;
        }
    }
    return out;
}

std::vector<std::string> splitPieces(std::string_view text) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\t') {
            pieces.emplace_back();
            continue;
        }
        if (c == '\\' && i + 1 < text.size()) {
            ++i;
            c = text[i] == 't' ? '\t' : text[i];
        }
        pieces.back() += c;
    }
    return pieces;
}

// "AND" or "OR", then operator, value type and value of each comparison.
std::string conditionText(const ColumnFilter& f) {
    std::vector<std::string> pieces{f.orJoin ? "OR" : "AND"};
    for (const FilterCondition* c : {&f.first, f.second ? &*f.second : nullptr}) {
        if (!c) continue;
        pieces.emplace_back(nameOf(kOperators, c->op));
        const Value::Type type = c->value.type() == Value::Type::Blob ? Value::Type::Text : c->value.type();
        pieces.emplace_back(nameOf(kTypes, type));
        pieces.push_back(valueText(c->value));
    }
    return joinPieces(pieces);
}

std::optional<ColumnFilter> parseCondition(const std::string& text) {
    const std::vector<std::string> pieces = splitPieces(text);
    if ((pieces.size() != 4 && pieces.size() != 7) || (pieces[0] != "AND" && pieces[0] != "OR"))
        return std::nullopt;
    std::vector<FilterCondition> comparisons;
    for (size_t i = 1; i + 2 < pieces.size(); i += 3) {
        const auto op = lookUp(kOperators, pieces[i]);
        const auto type = lookUp(kTypes, pieces[i + 1]);
        const auto value = type ? parseValue(*type, pieces[i + 2]) : std::nullopt;
        if (!op || !value) return std::nullopt;
        comparisons.push_back({*op, *value});
    }
    ColumnFilter f{comparisons[0], std::nullopt, pieces[0] == "OR"};
    if (comparisons.size() == 2) f.second = comparisons[1];
    return f;
}

std::vector<std::string> fieldNames(const std::vector<TdxDBGridColumn*>& columns) {
    std::vector<std::string> names;
    for (const TdxDBGridColumn* c : columns) names.push_back(c->FieldName());
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
        if (text.empty()) continue;
        const std::optional<ColumnFilter> f = parseCondition(text);
        const std::string entry = "字段“" + c.FieldName() + "”的筛选条件";
        if (!f) unusable(entry, "无法识别“" + text + "”");
        try {
            grid.Filter.SetColumnFilter(c, *f);
        } catch (const Cancelled&) {
            throw;
        } catch (const Error& e) {
            unusable(entry, e.what());
        }
    }
    const std::string text = setup.ReadFilterText();
    if (!grid.Filter.Empty() || text.empty() || !grid.dataSet()) return;
    try {
        grid.dataSet()->SetFilter(text);
    } catch (const FilterFieldMissing&) {
        skipped.push_back("筛选条件 " + text);
    } catch (const Cancelled&) {
        throw;
    } catch (const Error& e) {
        unusable("筛选条件“" + text + "”", e.what());
    }
}

void restoreGrouping(TSetup& setup, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    const std::vector<std::string> names = setup.ReadGroupColumns();
    if (names.empty()) return;
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
    bool dataRowsSorted = false;  // by one ungrouped column at most
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string direction = setup.ReadSortedColumn(c.FieldName());
        if (direction.empty()) continue;
        const S s = direction == "csUp" ? S::csUp : direction == "csDown" ? S::csDown : S::csNone;
        if (s == S::csNone && direction != "csNone")
            unusable("字段“" + c.FieldName() + "”的排序", "无法识别“" + direction + "”");
        if (s == S::csNone || (c.GroupIndex() < 0 && dataRowsSorted)) continue;
        dataRowsSorted = dataRowsSorted || c.GroupIndex() < 0;
        c.SetSorted(s);
    }
}

} // namespace

void SaveGridState(TSetup& setup, TdxDBGrid& grid) {
    std::vector<TdxDBGridColumn*> groups, hidden;
    for (int level = 0; level < grid.GroupColumnCount(); ++level)
        groups.push_back(&grid.GroupColumns(level));
    // A grouped column is out of the header row because it is grouped, not hidden.
    for (TdxDBGridColumn* c : grid.HeaderOrder())
        if (!c->Visible() && c->GroupIndex() < 0) hidden.push_back(c);
    setup.WriteGroupColumns(fieldNames(groups));
    setup.WriteColumnOrder(fieldNames(grid.HeaderOrder()));
    setup.WriteHiddenColumns(fieldNames(hidden));
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const TdxDBGridColumn& c = grid.Columns(i);
        setup.WriteColumnWidth(c.FieldName(), formatInt(c.Width()));
        if (c.Sorted() != S::csNone)
            setup.WriteSortedColumn(c.FieldName(), c.Sorted() == S::csUp ? "csUp" : "csDown");
        if (const ColumnFilter* f = grid.Filter.ColumnFilterOf(c))
            setup.WriteColumnFilter(c.FieldName(), conditionText(*f));
    }
    if (grid.Filter.Empty() && grid.dataSet()) setup.WriteFilterText(grid.dataSet()->Filter());
}

void NoteGoneFields(const TdxDBGrid& grid, const std::vector<std::string>& names, const char* what,
                    std::vector<std::string>& skipped) {
    for (const std::string& name : names)
        if (!grid.ColumnByFieldName(name)) skipped.push_back(std::string(what) + " " + name);
}

void RestoreGridState(TSetup& setup, TdxDBGrid& grid, std::vector<std::string>& skipped) {
    int position = 0;
    for (const std::string& name : setup.ReadColumnOrder())
        if (TdxDBGridColumn* c = grid.ColumnByFieldName(name)) grid.MoveColumn(*c, position++);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        TdxDBGridColumn& c = grid.Columns(i);
        const std::string text = setup.ReadColumnWidth(c.FieldName());
        int width = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), width);
        if (ec == std::errc() && end == text.data() + text.size() && width > 0) c.SetWidth(width);
    }
    // Filtered before grouping, so that the grouping's one reload builds the final tree.
    restoreFilter(setup, grid, skipped);
    restoreGrouping(setup, grid, skipped);
    restoreSorting(setup, grid, skipped);
    for (const std::string& name : setup.ReadHiddenColumns()) {
        TdxDBGridColumn* c = grid.ColumnByFieldName(name);
        if (c && c->GroupIndex() < 0 && c->Visible() && grid.VisibleColumns().size() > 1)
            c->SetVisible(false);
    }
}

} // namespace rg
