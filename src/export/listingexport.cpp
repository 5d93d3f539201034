#include "export/listingexport.h"

#include "common/error.h"
#include "export/csvexport.h"
#include "export/exportfile.h"
#include "files/targetfile.h"
#include "grid/grid.h"
#include "grid/rowwalk.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

namespace rg {
namespace {

bool isNumber(const SummaryValue& v) {
    return v.kind() == SummaryValue::Kind::Exact || v.kind() == SummaryValue::Kind::Float;
}

// One line of the report, as both formats need it.
struct Line {
    std::string kind; // group, data, footer, total
    std::string level;
    std::vector<std::string> cells; // the group text alone, or one text per visible column
    // The cells that hold numbers, asked only of texts that a spreadsheet would take for
    // formulas: the CSV defuses the others.
    std::vector<bool> numbers;
};

Line reportLine(const TdxDBGrid& grid, const std::vector<TdxDBGridColumn*>& columns,
                const VisibleRow& v) {
    if (v.row.isGroup())
        return {"group", std::to_string(grid.Level(v.row)), {grid.GroupRowText(v.row)}, {}};
    Line line;
    if (v.footer < 0) {
        line = {"data", std::to_string(grid.Level(v.row)), {}, {}};
        for (const TdxDBGridColumn* c : columns) {
            line.cells.push_back(grid.CellText(v.row, *c));
            line.numbers.push_back(CsvFormulaLike(line.cells.back()) &&
                                   grid.CellValue(v.row, *c).isNumber());
        }
        return line;
    }
    line = {"footer", std::to_string(grid.FooterLevel(v.row, v.footer)), {}, {}};
    for (const TdxDBGridColumn* c : columns) {
        const bool exists = grid.FooterCellExists(v.row, *c, v.footer);
        line.cells.push_back(exists ? grid.FooterCellText(v.row, *c, v.footer) : std::string());
        line.numbers.push_back(exists && isNumber(grid.FooterCellValue(v.row, *c, v.footer)));
    }
    return line;
}

std::vector<Line> reportLines(const TdxDBGrid& grid) {
    std::vector<Line> lines;
    const std::vector<TdxDBGridColumn*> columns = grid.VisibleColumns();
    for (const VisibleRow& v : RowWalk{}.Lines(grid))
        lines.push_back(reportLine(grid, columns, v));
    Line total{"total", "", {}, {}};
    for (const TdxDBGridColumn* c : columns) {
        const bool exists = grid.SummaryFooterCellExists(*c);
        total.cells.push_back(exists ? grid.SummaryFooterText(*c) : std::string());
        total.numbers.push_back(exists && isNumber(grid.SummaryFooterValue(*c)));
    }
    lines.push_back(std::move(total));
    return lines;
}

// Columns of a terminal: East Asian characters take two.
size_t displayWidth(const std::string& s) {
    size_t w = 0;
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        const size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 4;
        w += len >= 3 ? 2 : 1;
        i += len;
    }
    return w;
}

std::string pad(const std::string& s, size_t width) {
    const size_t w = displayWidth(s);
    return s + std::string(w < width ? width - w : 0, ' ');
}

} // namespace

std::string gridAsCsv(const TdxDBGrid& grid) {
    std::string out;
    std::vector<std::string> header{"kind", "level"};
    for (const TdxDBGridColumn* c : grid.VisibleColumns())
        header.push_back(CsvText(c->Caption()));
    AppendCsvLine(out, header);
    for (const Line& line : reportLines(grid)) {
        std::vector<std::string> fields{line.kind, line.level};
        for (size_t i = 0; i < line.cells.size(); ++i)
            fields.push_back(i < line.numbers.size() && line.numbers[i] ? line.cells[i]
                                                                        : CsvText(line.cells[i]));
        AppendCsvLine(out, fields);
    }
    return out;
}

std::string gridAsText(const TdxDBGrid& grid) {
    const std::vector<TdxDBGridColumn*> columns = grid.VisibleColumns();
    const std::vector<Line> lines = reportLines(grid);
    const size_t indent = 2 * static_cast<size_t>(grid.GroupColumnCount());
    std::vector<size_t> widths;
    for (const TdxDBGridColumn* c : columns)
        widths.push_back(displayWidth(c->Caption()));
    for (const Line& line : lines)
        if (line.kind != "group")
            for (size_t i = 0; i < line.cells.size() && i < widths.size(); ++i)
                widths[i] = std::max(widths[i], displayWidth(line.cells[i]));
    auto row = [&](const std::vector<std::string>& cells) {
        std::string s(indent, ' ');
        for (size_t i = 0; i < cells.size(); ++i)
            s += (i ? " | " : "") + pad(cells[i], widths[i]);
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s + "\n";
    };
    std::vector<std::string> captions;
    for (const TdxDBGridColumn* c : columns)
        captions.push_back(c->Caption());
    std::string out = row(captions);
    size_t ruleWidth = indent;
    for (size_t w : widths)
        ruleWidth += w + 3;
    out += std::string(ruleWidth > 3 ? ruleWidth - 3 : ruleWidth, '-') + "\n";
    for (const Line& line : lines) {
        if (line.kind == "group") {
            out += std::string(2 * std::stoul(line.level), ' ') + line.cells[0] + "\n";
        } else if (line.kind == "total") {
            out += std::string(ruleWidth > 3 ? ruleWidth - 3 : ruleWidth, '=') + "\n" +
                   row(line.cells);
        } else {
            out += row(line.cells);
        }
    }
    return out;
}

// Standard output is checked to the last byte; a file goes through a temporary file that
// replaces the old one only when everything was written and closed.
void WriteListing(const std::string& path, const std::string& text) {
    if (path.empty()) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() ||
            std::fflush(stdout) != 0)
            throw Error("无法写入标准输出：" + reasonText({errno, std::generic_category()}));
        return;
    }
    ExportFile out(path);
    out.Write(text);
    out.Commit();
}

} // namespace rg
