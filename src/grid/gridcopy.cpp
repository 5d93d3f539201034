#include "grid/gridcopy.h"

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

void appendRows(std::string& out, const TdxDBGrid& grid,
                const std::vector<TdxDBGridColumn*>& columns, RowHandle row) {
    if (row.isGroup()) {
        for (int i = 0; i < grid.ChildCount(row); ++i)
            appendRows(out, grid, columns, grid.Child(row, i));
        return;
    }
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
    appendRows(out, grid, columns, row);
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
