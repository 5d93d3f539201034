#include "export/crosstableexport.h"

#include "common/datetime.h"
#include "common/displaytext.h"
#include "datasource/dataset.h"
#include "export/csvexport.h"
#include "export/exportfile.h"
#include "export/htmlexport.h"
#include "export/listingexport.h"
#include "export/workbookwriter.h"
#include "grid/grid.h"

#include <cmath>
#include <filesystem>

namespace rg {
namespace {

std::string groupText(const TdxDBGrid& grid, RowHandle row) {
    std::string s = grid.GroupRowText(row);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

void addGroups(const TdxDBGrid& grid, RowHandle parent, CrossSheet& sheet) {
    for (const RowHandle row : grid.CrossChildren(parent)) {
        sheet.rows.push_back({grid.Level(row), row.index, groupText(grid, row)});
        addGroups(grid, row, sheet);
    }
}

bool isNumber(const SummaryValue& v) {
    return v.kind() == SummaryValue::Kind::Exact || v.kind() == SummaryValue::Kind::Float;
}

// The texts of a row's cells and its total.
std::vector<std::string> cellTexts(const CrossTable& x, int group) {
    std::vector<std::string> out;
    for (int c = 0; c < x.columnCount(); ++c)
        out.push_back(CrossCellText(x, x.cell(group, c)));
    out.push_back(CrossCellText(x, x.rowTotal(group)));
    return out;
}

void writeText(const std::string& path, const std::string& text) {
    WriteListing(path, [&](const ListingSink& out) { out(text); });
}

} // namespace

std::string CrossCellText(const CrossTable& x, const SummaryValue& v) {
    switch (v.kind()) {
    case SummaryValue::Kind::Empty:
        return {};
    case SummaryValue::Kind::Text:
        return v.text();
    case SummaryValue::Kind::Exact:
        return v.exact().toString();
    case SummaryValue::Kind::Float:
    case SummaryValue::Kind::Failed:
        break;
    }
    if (v.kind() == SummaryValue::Kind::Failed || x.kind() == TdxSummaryType::cstCount ||
        x.valueKind() == SummaryValueKind::Number)
        return v.kind() == SummaryValue::Kind::Float && std::isfinite(v.number()) && v.number() != 0
                   ? formatShortest(v.number())
                   : x.text(v);
    // A minimum or maximum keeps its microseconds; averages of dates are serials.
    const std::optional<int64_t> us = v.micros();
    switch (x.valueKind()) {
    case SummaryValueKind::Date:
        return us ? formatDateMicros(*us) : formatDate(v.toDouble());
    case SummaryValueKind::Time:
        return us ? formatTimeMicros(*us) : formatTime(v.toDouble());
    default:
        return us ? formatDateTimeMicros(*us) : formatDateTime(v.toDouble());
    }
}

CrossSheet crossSheetOf(TdxDBGrid& grid) {
    CrossSheet sheet;
    sheet.table = grid.ShownCrossTable();
    sheet.levels = grid.GroupColumnCount();
    sheet.leading = std::max(sheet.levels, 1);
    for (int l = 0; l < sheet.levels; ++l)
        sheet.captions.push_back(grid.GroupColumns(l).Caption());
    sheet.captions.resize(static_cast<size_t>(sheet.leading));
    addGroups(grid, RowHandle{}, sheet);
    sheet.rows.push_back({0, CrossTable::kTotals, kCrossTotalText});
    if (const DataSet* ds = grid.dataSet())
        sheet.heading = ds->ParameterCaption();
    return sheet;
}

void ExportCrossTableCsv(TdxDBGrid& grid, const std::string& path, bool listing) {
    const CrossSheet sheet = crossSheetOf(grid);
    const CrossTable& x = *sheet.table;
    std::string out = listing ? "" : "\xEF\xBB\xBF";
    std::vector<std::string> fields;
    if (!listing && !sheet.heading.empty())
        AppendCsvLine(out, {CsvSheetText(sheet.heading)});
    if (listing) {
        std::string captions;
        for (const std::string& c : sheet.captions)
            captions += (captions.empty() ? "" : " / ") + c;
        fields = {"kind", "level", CsvText(captions)};
    } else {
        for (const std::string& c : sheet.captions)
            fields.push_back(CsvText(c));
    }
    for (int c = 0; c < x.columnCount(); ++c)
        fields.push_back(CsvText(x.columnText(c)));
    fields.push_back(kCrossTotalText);
    AppendCsvLine(out, fields);
    for (const CrossSheetRow& row : sheet.rows) {
        const bool total = row.group == CrossTable::kTotals;
        if (listing) {
            fields = {total ? "total" : "group", std::to_string(row.level), CsvText(row.text)};
        } else {
            fields.assign(static_cast<size_t>(sheet.leading), std::string());
            fields[static_cast<size_t>(row.level)] = CsvText(row.text);
        }
        std::vector<std::string> cells = cellTexts(x, row.group);
        for (int c = 0; c <= x.columnCount(); ++c) {
            const SummaryValue& v =
                c < x.columnCount() ? x.cell(row.group, c) : x.rowTotal(row.group);
            fields.push_back(isNumber(v) ? cells[static_cast<size_t>(c)]
                                         : CsvText(cells[static_cast<size_t>(c)]));
        }
        AppendCsvLine(out, fields);
    }
    writeText(path, out);
}

void ExportCrossTableHtml(TdxDBGrid& grid, const std::string& path) {
    const CrossSheet sheet = crossSheetOf(grid);
    const CrossTable& x = *sheet.table;
    std::string b = "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
                    "<title>" +
                    EscapeHtml(std::filesystem::path(path).stem().string()) + "</title>\n";
    b += "<style>\ntable { border-collapse: collapse; font: 9pt sans-serif; }\n"
         "th, td { padding: 1px 4px; border: 1px solid #C0C0C0; white-space: pre; }\n"
         "th { background: #E0E0E0; text-align: left; }\n"
         "td.n { text-align: right; }\ntr.total td { font-weight: bold; }\n</style>\n"
         "</head>\n<body>\n<table>\n";
    if (!sheet.heading.empty())
        b += "<caption>" + EscapeHtml(sheet.heading) + "</caption>\n";
    b += "<tr><th>";
    std::string captions;
    for (const std::string& c : sheet.captions)
        captions += (captions.empty() ? "" : " / ") + c;
    b += EscapeHtml(captions) + "</th>";
    for (int c = 0; c < x.columnCount(); ++c)
        b += "<th>" + EscapeHtml(x.columnText(c)) + "</th>";
    b += std::string("<th>") + kCrossTotalText + "</th></tr>\n";
    for (const CrossSheetRow& row : sheet.rows) {
        const bool total = row.group == CrossTable::kTotals;
        b += total ? "<tr class=\"total\">" : "<tr>";
        b += "<td style=\"padding-left: " + std::to_string(4 + 16 * row.level) + "px\">" +
             EscapeHtml(row.text) + "</td>";
        for (const std::string& cell : cellTexts(x, row.group))
            b += "<td class=\"n\">" + EscapeHtml(cell) + "</td>";
        b += "</tr>\n";
    }
    b += "</table>\n</body>\n</html>\n";
    ExportFile out(path);
    out.Write(b);
    out.Commit();
}

} // namespace rg
