#include "grid/gridcopy.h"

#include "common/progress.h"

#include <vector>

namespace rg {
namespace {

// Rows between two progress reports of a copy.
constexpr int64_t kProgressStep = 4096;

struct Copy {
    const TdxDBGrid& grid;
    std::vector<const TdxDBGridColumn*> columns; // the grouped columns, then the visible ones
    std::string out;
    int64_t done = 0, total = 0;

    explicit Copy(const TdxDBGrid& g)
        : grid(g), columns(static_cast<size_t>(g.GroupColumnCount())) {
        for (int i = 0; i < g.ColumnCount(); ++i)
            if (const int level = g.Columns(i).GroupIndex();
                level >= 0 && level < g.GroupColumnCount())
                columns[static_cast<size_t>(level)] = &g.Columns(i);
        for (const TdxDBGridColumn* c : g.VisibleColumns())
            columns.push_back(c);
    }

    void cell(size_t i, const std::string& text, bool number) {
        if (i)
            out += '\t';
        if (!number && SpreadsheetFormulaLike(text))
            AppendDelimitedCell(out, "'" + text, '\t');
        else
            AppendDelimitedCell(out, text, '\t');
    }

    void captions() {
        for (size_t i = 0; i < columns.size(); ++i)
            cell(i, columns[i]->Caption(), false);
        out += '\n';
    }

    // The row, or every data row under it.
    void rows(RowHandle row) {
        if (row.isGroup()) {
            for (int i = 0; i < grid.ChildCount(row); ++i)
                rows(grid.Child(row, i));
            return;
        }
        if (done++ % kProgressStep == 0)
            reportProgress("正在复制", done - 1, total);
        for (size_t i = 0; i < columns.size(); ++i)
            cell(i, grid.CellText(row, *columns[i]), grid.CellValue(row, *columns[i]).isNumber());
        out += '\n';
    }

    // The selected rows at or under `row`.
    void selectedRows(RowHandle row, const std::function<bool(RowHandle)>& selected) {
        if (selected(row))
            return rows(row);
        if (row.isGroup())
            for (int i = 0; i < grid.ChildCount(row); ++i)
                selectedRows(grid.Child(row, i), selected);
    }
};

} // namespace

std::string RowsAsText(const TdxDBGrid& grid, RowHandle row) {
    if (!row.valid())
        return {};
    Copy copy(grid);
    copy.total = row.isGroup() ? grid.DataRowsBelow(row) : 1;
    copy.captions();
    copy.rows(row);
    return std::move(copy.out);
}

std::string SelectedRowsAsText(const TdxDBGrid& grid,
                               const std::function<bool(RowHandle)>& selected) {
    Copy copy(grid);
    copy.total = grid.DataRowCount();
    copy.captions();
    const size_t header = copy.out.size();
    for (int i = 0; i < grid.TopCount(); ++i)
        copy.selectedRows(grid.Top(i), selected);
    return copy.out.size() == header ? std::string() : std::move(copy.out);
}

void AppendDelimitedCell(std::string& out, std::string_view text, char separator) {
    const bool plain = text.find_first_of("\"\r\n") == std::string_view::npos &&
                       text.find(separator) == std::string_view::npos;
    if (plain) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

bool SpreadsheetFormulaLike(std::string_view text) {
    return !text.empty() &&
           std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

} // namespace rg
