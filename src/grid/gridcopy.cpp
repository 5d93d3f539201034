#include "grid/gridcopy.h"

#include <vector>

namespace rg {
namespace {

void appendCell(std::string& out, const std::string& text) {
    if (text.find_first_of("\t\r\n\"") == std::string::npos) {
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

void appendLine(std::string& out, const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i)
            out += '\t';
        appendCell(out, cells[i]);
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
        appendCell(out, grid.CellText(row, *columns[i]));
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

} // namespace rg
