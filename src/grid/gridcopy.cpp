#include "grid/gridcopy.h"

#include "common/progress.h"

#include <vector>

namespace rg {
namespace {

void appendLine(std::string& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i)
            out += '\t';
        AppendDelimitedCell(out, cells[i], '\t');
    }
    out += '\n';
}

// Rows between two progress reports of a copy.
constexpr int64_t kProgressStep = 4096;

struct Copy {
    std::string& out;
    const TdxDBGrid& grid;
    const std::vector<TdxDBGridColumn*>& columns;
    int64_t done = 0, total = 0;
};

void appendRows(Copy& copy, RowHandle row) {
    const TdxDBGrid& grid = copy.grid;
    if (row.isGroup()) {
        for (int i = 0; i < grid.ChildCount(row); ++i)
            appendRows(copy, grid.Child(row, i));
        return;
    }
    if (copy.done++ % kProgressStep == 0)
        reportProgress("正在复制", copy.done - 1, copy.total);
    std::string& out = copy.out;
    const std::vector<TdxDBGridColumn*>& columns = copy.columns;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i)
            out += '\t';
        AppendDelimitedCell(out, grid.CellText(row, *columns[i]), '\t');
    }
    out += '\n';
}

} // namespace

std::string RowsAsText(const TdxDBGrid& grid, RowHandle row) {
    if (!row.valid())
        return {};
    const std::vector<TdxDBGridColumn*> columns = grid.VisibleColumns();
    std::vector<std::string> captions;
    for (const TdxDBGridColumn* c : columns)
        captions.push_back(c->Caption());
    std::string out;
    appendLine(out, captions);
    Copy copy{out, grid, columns, 0, row.isGroup() ? grid.DataRowsBelow(row) : 1};
    appendRows(copy, row);
    return out;
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

} // namespace rg
