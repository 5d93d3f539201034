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
#include <memory>
#include <system_error>
#include <vector>

namespace rg {
namespace {

bool isNumber(const SummaryValue& v) {
    return v.kind() == SummaryValue::Kind::Exact || v.kind() == SummaryValue::Kind::Float;
}

// One line of the report, as both formats need it; refilled for every line.
struct Line {
    const char* kind = "";          // group, data, footer, total
    int level = -1;                 // none for the total
    std::vector<std::string> cells; // the group text alone, or one text per visible column
    // The cells that hold numbers, asked only of texts that a spreadsheet would take for
    // formulas: the CSV defuses the others.
    std::vector<bool> numbers;

    std::string levelText() const { return level < 0 ? std::string() : std::to_string(level); }
};

void fillLine(Line& line, const TdxDBGrid& grid, const std::vector<TdxDBGridColumn*>& columns,
              const VisibleRow& v) {
    line.cells.clear();
    line.numbers.clear();
    if (v.row.isGroup()) {
        line.kind = "group";
        line.level = grid.Level(v.row);
        line.cells.push_back(grid.GroupRowText(v.row));
        return;
    }
    if (v.footer < 0) {
        line.kind = "data";
        line.level = grid.Level(v.row);
        for (const TdxDBGridColumn* c : columns) {
            line.cells.push_back(grid.CellText(v.row, *c));
            line.numbers.push_back(CsvFormulaLike(line.cells.back()) &&
                                   grid.CellValue(v.row, *c).isNumber());
        }
        return;
    }
    line.kind = "footer";
    line.level = grid.FooterLevel(v.row, v.footer);
    for (const TdxDBGridColumn* c : columns) {
        const bool exists = grid.FooterCellExists(v.row, *c, v.footer);
        line.cells.push_back(exists ? grid.FooterCellText(v.row, *c, v.footer) : std::string());
        line.numbers.push_back(exists && isNumber(grid.FooterCellValue(v.row, *c, v.footer)));
    }
}

void fillTotal(Line& line, const TdxDBGrid& grid, const std::vector<TdxDBGridColumn*>& columns) {
    line.kind = "total";
    line.level = -1;
    line.cells.clear();
    line.numbers.clear();
    for (const TdxDBGridColumn* c : columns) {
        const bool exists = grid.SummaryFooterCellExists(*c);
        line.cells.push_back(exists ? grid.SummaryFooterText(*c) : std::string());
        line.numbers.push_back(exists && isNumber(grid.SummaryFooterValue(*c)));
    }
}

// Hands every line of the report to `fn`, the summary footer last; one line is held at a time.
template <class Fn>
void forEachReportLine(const TdxDBGrid& grid, const std::vector<TdxDBGridColumn*>& columns,
                       Fn&& fn) {
    Line line;
    RowWalk{}.forEachLine(grid, [&](const VisibleRow& v) {
        fillLine(line, grid, columns, v);
        fn(line);
    });
    fillTotal(line, grid, columns);
    fn(line);
}

bool isKind(const Line& line, const char* kind) {
    return std::string_view(line.kind) == kind;
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

void appendPadded(std::string& out, const std::string& s, size_t width) {
    const size_t w = displayWidth(s);
    out += s;
    out.append(w < width ? width - w : 0, ' ');
}

} // namespace

void WriteGridAsCsv(const TdxDBGrid& grid, const ListingSink& out) {
    const std::vector<TdxDBGridColumn*> columns = grid.VisibleColumns();
    std::vector<std::string> fields{"kind", "level"};
    for (const TdxDBGridColumn* c : columns)
        fields.push_back(CsvText(c->Caption()));
    std::string text;
    AppendCsvLine(text, fields);
    out(text);
    forEachReportLine(grid, columns, [&](const Line& line) {
        fields.resize(2 + line.cells.size());
        fields[0] = line.kind;
        fields[1] = line.levelText();
        for (size_t i = 0; i < line.cells.size(); ++i)
            fields[2 + i] =
                i < line.numbers.size() && line.numbers[i] ? line.cells[i] : CsvText(line.cells[i]);
        text.clear();
        AppendCsvLine(text, fields);
        out(text);
    });
}

void WriteGridAsText(const TdxDBGrid& grid, const ListingSink& out) {
    const std::vector<TdxDBGridColumn*> columns = grid.VisibleColumns();
    const size_t indent = 2 * static_cast<size_t>(grid.GroupColumnCount());
    std::vector<size_t> widths;
    for (const TdxDBGridColumn* c : columns)
        widths.push_back(displayWidth(c->Caption()));
    forEachReportLine(grid, columns, [&](const Line& line) {
        if (!isKind(line, "group"))
            for (size_t i = 0; i < line.cells.size() && i < widths.size(); ++i)
                widths[i] = std::max(widths[i], displayWidth(line.cells[i]));
    });
    std::string text;
    auto row = [&](const std::vector<std::string>& cells) {
        text.assign(indent, ' ');
        for (size_t i = 0; i < cells.size(); ++i) {
            if (i)
                text += " | ";
            appendPadded(text, cells[i], widths[i]);
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        text += '\n';
        out(text);
    };
    std::vector<std::string> captions;
    for (const TdxDBGridColumn* c : columns)
        captions.push_back(c->Caption());
    row(captions);
    size_t ruleWidth = indent;
    for (size_t w : widths)
        ruleWidth += w + 3;
    const size_t ruleLength = ruleWidth > 3 ? ruleWidth - 3 : ruleWidth;
    out(std::string(ruleLength, '-') + "\n");
    forEachReportLine(grid, columns, [&](const Line& line) {
        if (isKind(line, "group")) {
            text.assign(2 * static_cast<size_t>(line.level), ' ');
            text += line.cells[0];
            text += '\n';
            out(text);
            return;
        }
        if (isKind(line, "total"))
            out(std::string(ruleLength, '=') + "\n");
        row(line.cells);
    });
}

std::string gridAsCsv(const TdxDBGrid& grid) {
    std::string text;
    WriteGridAsCsv(grid, [&text](std::string_view s) { text += s; });
    return text;
}

// Standard output gets the listing only once it is whole: it is written to an unnamed
// temporary file first (a walk that fails halfway leaves nothing behind, and memory stays
// small), then copied and checked to the last byte. A file goes through a temporary file
// that replaces the old one only when everything was written and closed.
void WriteListing(const std::string& path, const std::function<void(const ListingSink&)>& write) {
    if (path.empty()) {
        auto fail = [](const char* what) {
            throw Error(std::string(what) + reasonText({errno, std::generic_category()}));
        };
        std::unique_ptr<FILE, int (*)(FILE*)> held(std::tmpfile(), &std::fclose);
        if (!held)
            fail("无法创建暂存标准输出的临时文件：");
        write([&](std::string_view s) {
            if (std::fwrite(s.data(), 1, s.size(), held.get()) != s.size())
                fail("无法写入暂存标准输出的临时文件：");
        });
        if (std::fflush(held.get()) != 0 || std::fseek(held.get(), 0, SEEK_SET) != 0)
            fail("无法写入暂存标准输出的临时文件：");
        char buf[1 << 16];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, held.get())) > 0;)
            if (std::fwrite(buf, 1, n, stdout) != n)
                fail("无法写入标准输出：");
        if (std::ferror(held.get()) || std::fflush(stdout) != 0)
            fail("无法写入标准输出：");
        return;
    }
    ExportFile out(path);
    write([&out](std::string_view s) { out.Write(s); });
    out.Commit();
}

} // namespace rg
