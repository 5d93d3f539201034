#include "app/runner.h"

#include "common/databaseerror.h"
#include "common/error.h"
#include "common/progress.h"
#include "export/csvexport.h"
#include "export/excelexport.h"
#include "export/exportcommands.h"
#include "export/exportfile.h"
#include "export/htmlexport.h"
#include "export/xlsxexport.h"
#include "export/xmlexport.h"
#include "files/targetfile.h"
#include "grid/grid.h"
#include "print/pdfexport.h"
#include "print/reportlink.h"
#include "setup/reportdefinition.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace rg {
namespace {

std::vector<std::string> splitFields(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = list.find(',', start);
        const std::string part = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!part.empty()) out.push_back(part);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

bool isNumber(const SummaryValue& v) {
    return v.kind() == SummaryValue::Kind::Exact || v.kind() == SummaryValue::Kind::Float;
}

// One line of the report, as both formats need it.
struct Line {
    std::string kind;  // group, data, footer, total
    std::string level;
    std::vector<std::string> cells;  // the group text alone, or one text per visible column
    // The cells that hold numbers, asked only of texts that a spreadsheet would take for
    // formulas: the CSV defuses the others.
    std::vector<bool> numbers;
};

std::vector<Line> reportLines(const TdxDBGrid& grid) {
    std::vector<Line> lines;
    const std::vector<TdxDBGridColumn*> columns = grid.VisibleColumns();
    for (const VisibleRow& v : grid.VisibleRows()) {
        Line line;
        if (v.row.isGroup()) {
            line = {"group", std::to_string(grid.Level(v.row)), {grid.GroupRowText(v.row)}, {}};
        } else if (v.footer < 0) {
            line = {"data", std::to_string(grid.Level(v.row)), {}, {}};
            for (const TdxDBGridColumn* c : columns) {
                line.cells.push_back(grid.CellText(v.row, *c));
                line.numbers.push_back(CsvFormulaLike(line.cells.back()) && grid.CellValue(v.row, *c).isNumber());
            }
        } else {
            line = {"footer", std::to_string(grid.FooterLevel(v.row, v.footer)), {}, {}};
            for (const TdxDBGridColumn* c : columns) {
                const bool exists = grid.FooterCellExists(v.row, *c, v.footer);
                line.cells.push_back(exists ? grid.FooterCellText(v.row, *c, v.footer) : std::string());
                line.numbers.push_back(exists && isNumber(grid.FooterCellValue(v.row, *c, v.footer)));
            }
        }
        lines.push_back(std::move(line));
    }
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

// Standard output is checked to the last byte; a file goes through a temporary file that
// replaces the old one only when everything was written and closed.
void writeOutput(const std::string& path, const std::string& text) {
    if (path.empty()) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
            throw Error("无法写入标准输出：" + reasonText({errno, std::generic_category()}));
        return;
    }
    ExportFile out(path);
    out.Write(text);
    out.Commit();
}

int parseSeconds(const std::string& text) {
    int seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (ec != std::errc() || end != text.data() + text.size() || seconds <= 0)
        throw Error("--timeout 需要一个正整数秒数，而不是“" + text + "”");
    return seconds;
}

// Answers every progress report with "go on" until the time limit has passed.
class Deadline : public ProgressSink {
public:
    explicit Deadline(int seconds)
        : seconds_(seconds), end_(std::chrono::steady_clock::now() + std::chrono::seconds(seconds)) {}
    bool progress(const char*, int64_t, int64_t) override {
        passed_ = passed_ || (seconds_ > 0 && std::chrono::steady_clock::now() >= end_);
        return !passed_;
    }
    int seconds() const { return seconds_; }

private:
    int seconds_;
    std::chrono::steady_clock::time_point end_;
    bool passed_ = false;
};

// The report as the print command prints it with the print engine's first settings; a
// file read away from the program needs its page numbers, which those settings leave out.
void writePdf(TdxDBGrid& grid, const std::string& path) {
    TdxDBGridReportLink link(&grid);
    std::array<QString, 3>& footer = link.PrinterPage.PageFooterTexts;
    if (std::all_of(footer.begin(), footer.end(), [](const QString& t) { return t.isEmpty(); })) {
        footer[1] = QStringLiteral("第 [Page #] 页，共 [Total Pages] 页");
        link.ShowPageFooter = true;
    }
    link.RebuildReport();
    WriteReportPdf(link, path);
}

} // namespace

RunOptions parseRunOptions(const std::vector<std::string>& args) {
    RunOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto next = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw Error(format("Option %s needs a value", a.c_str()));
            return args[++i];
        };
        if (a == "--run") o.setupFile = next();
        else if (a == "--group-by") o.groupBy = splitFields(next());
        else if (a == "--filter") o.filter = next();
        else if (a == "--format") o.format = next();
        else if (a == "--output") o.output = next();
        else if (a == "--save-as") o.saveAs = next();
        else if (a == "--timeout") o.timeoutSeconds = parseSeconds(next());
        else throw Error(format("Unknown option %s", a.c_str()));
    }
    if (o.setupFile.empty()) throw Error("Option --run needs a settings file");
    const bool toFile = o.format == "xls" || o.format == "xml" || o.format == "xlsx" || o.format == "html" ||
                        o.format == "pdf";
    if (o.format != "text" && o.format != "csv" && !toFile)
        throw Error(format("Unknown format %s (text, csv, xls, xlsx, xml, html or pdf)", o.format.c_str()));
    if (toFile && o.output.empty())
        throw Error(format("Format %s needs --output PATH", o.format.c_str()));
    return o;
}

std::string gridAsCsv(const TdxDBGrid& grid) {
    std::string out;
    std::vector<std::string> header{"kind", "level"};
    for (const TdxDBGridColumn* c : grid.VisibleColumns()) header.push_back(CsvText(c->Caption()));
    AppendCsvLine(out, header);
    for (const Line& line : reportLines(grid)) {
        std::vector<std::string> fields{line.kind, line.level};
        for (size_t i = 0; i < line.cells.size(); ++i)
            fields.push_back(i < line.numbers.size() && line.numbers[i] ? line.cells[i] : CsvText(line.cells[i]));
        AppendCsvLine(out, fields);
    }
    return out;
}

std::string gridAsText(const TdxDBGrid& grid) {
    const std::vector<TdxDBGridColumn*> columns = grid.VisibleColumns();
    const std::vector<Line> lines = reportLines(grid);
    const size_t indent = 2 * static_cast<size_t>(grid.GroupColumnCount());
    std::vector<size_t> widths;
    for (const TdxDBGridColumn* c : columns) widths.push_back(displayWidth(c->Caption()));
    for (const Line& line : lines)
        if (line.kind != "group")
            for (size_t i = 0; i < line.cells.size() && i < widths.size(); ++i)
                widths[i] = std::max(widths[i], displayWidth(line.cells[i]));
    auto row = [&](const std::vector<std::string>& cells) {
        std::string s(indent, ' ');
        for (size_t i = 0; i < cells.size(); ++i) s += (i ? " | " : "") + pad(cells[i], widths[i]);
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s + "\n";
    };
    std::vector<std::string> captions;
    for (const TdxDBGridColumn* c : columns) captions.push_back(c->Caption());
    std::string out = row(captions);
    size_t ruleWidth = indent;
    for (size_t w : widths) ruleWidth += w + 3;
    out += std::string(ruleWidth > 3 ? ruleWidth - 3 : ruleWidth, '-') + "\n";
    for (const Line& line : lines) {
        if (line.kind == "group") {
            out += std::string(2 * std::stoul(line.level), ' ') + line.cells[0] + "\n";
        } else if (line.kind == "total") {
            out += std::string(ruleWidth > 3 ? ruleWidth - 3 : ruleWidth, '=') + "\n" + row(line.cells);
        } else {
            out += row(line.cells);
        }
    }
    return out;
}

int runReport(const RunOptions& o, std::string& errors) {
    Deadline deadline(o.timeoutSeconds);
    ProgressScope scope(&deadline);
    try {
        Connection conn;
        DataSet dataset(&conn);
        TdxDBGrid grid;
        grid.SetDataSet(&dataset);
        ReportObjects report{conn, dataset, grid};
        const std::string skipped = LoadSetup(report, o.setupFile);
        // What the open left out, the entries skipped and what the export changed: written
        // after the report, which is written whole.
        std::string notices;
        auto addNotice = [&notices](const std::string& n) {
            notices += (notices.empty() || n.empty() ? "" : "\n") + n;
        };
        addNotice(dataset.OpenNotice());
        addNotice(skipped);
        // The command line's filter and grouping take the place of the saved ones.
        if (!o.filter.empty()) {
            grid.Filter.Clear();
            dataset.SetFilter(o.filter);
        }
        {
            GroupingUpdate batch(grid);
            if (!o.groupBy.empty()) grid.ClearGrouping();
            for (size_t level = 0; level < o.groupBy.size(); ++level) {
                TdxDBGridColumn* c = grid.ColumnByFieldName(o.groupBy[level]);
                if (!c) throw Error(format("Field '%s' not found", o.groupBy[level].c_str()));
                if (!grid.GroupColumn(*c, static_cast<int>(level)))
                    throw Error(format("Cannot group by field '%s'", o.groupBy[level].c_str()));
            }
        }
        grid.ExpandAll();
        // Saved first, so that a setup that cannot be saved ends the run before any output.
        if (!o.saveAs.empty()) SaveSetup(report, o.saveAs);
        // Files look the same whatever desktop the runner starts on: the default colours.
        const GridAppearance look;
        if (o.format == "xls") addNotice(WriteXlsWithNotice(grid, o.output, look));
        else if (o.format == "xml") ExportToXml(grid, o.output, true, look);
        else if (o.format == "xlsx") addNotice(WriteXlsxWithNotice(grid, o.output, look));
        else if (o.format == "html") ExportToHtml(grid, o.output, true, look);
        else if (o.format == "pdf") writePdf(grid, o.output);
        else writeOutput(o.output, o.format == "csv" ? gridAsCsv(grid) : gridAsText(grid));
        errors = notices;
        return 0;
    } catch (const Cancelled&) {
        errors = "超过时限：" + std::to_string(deadline.seconds()) + " 秒内没有完成，已停止。";
        return 1;
    } catch (const std::exception& e) {
        errors = userMessage(e);
        return 1;
    }
}

} // namespace rg
