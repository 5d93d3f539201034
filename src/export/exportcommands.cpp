#include "export/exportcommands.h"

#include "export/csvexport.h"
#include "export/excelexport.h"
#include "export/exportname.h"
#include "export/htmlexport.h"
#include "export/xlsxexport.h"
#include "export/xmlexport.h"
#include "files/targetfile.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace rg {
namespace {

struct Choice {
    ExportFormat format;
    const char* extension;
};

std::string typedExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string e = path.substr(dot + 1);
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

// `choices` in filter order; `unknown` is taken when the dialog did not name a filter.
ExportTarget target(const std::string& chosenName, int filterIndex, std::initializer_list<Choice> choices,
                    const Choice& unknown) {
    const std::string typed = typedExtension(chosenName);
    for (const Choice& c : choices)
        if (typed == c.extension) return {chosenName, c.format};
    const Choice& c = filterIndex >= 0 && static_cast<size_t>(filterIndex) < choices.size()
                          ? choices.begin()[filterIndex]
                          : unknown;
    return {WithDefaultExtension(chosenName, c.extension), c.format};
}

} // namespace

ExportTarget SpreadsheetTarget(const std::string& chosenName, int filterIndex) {
    return target(chosenName, filterIndex,
                  {{ExportFormat::Xlsx, "xlsx"}, {ExportFormat::Xls, "xls"}, {ExportFormat::Csv, "csv"}},
                  {ExportFormat::Xls, "xls"});
}

ExportTarget XmlTarget(const std::string& chosenName, int filterIndex) {
    if (typedExtension(chosenName) == "htm") return {chosenName, ExportFormat::Html};
    return target(chosenName, filterIndex, {{ExportFormat::Xml, "xml"}, {ExportFormat::Html, "html"}},
                  {ExportFormat::Xml, "xml"});
}

std::string WriteXlsWithNotice(TdxDBGrid& grid, const std::string& path, const GridAppearance& look) {
    TdxDBGridExportExcel exporter;
    exporter.FileName = path;
    exporter.Grid = &grid;
    exporter.Look = look;
    exporter.Execute();
    if (exporter.LossyCells == 0) return {};
    return "有 " + std::to_string(exporter.LossyCells) +
           " 个单元格的文字无法完整写入 .xls 文件：GBK 以外的字符写成了“?”，过长的文字被截断。"
           "输出为 Excel 工作簿（.xlsx）可保留完整的文字。";
}

std::string WriteXlsxWithNotice(TdxDBGrid& grid, const std::string& path, const GridAppearance& look) {
    TdxDBGridExportXlsx exporter;
    exporter.FileName = path;
    exporter.Grid = &grid;
    exporter.Look = look;
    exporter.Execute();
    if (exporter.CutTexts == 0) return {};
    return "有 " + std::to_string(exporter.CutTexts) +
           " 个单元格的文字超过 Excel 单元格的上限（32767 个 UTF-16 字符），超出的部分被截断。";
}

ExportResult ExportSpreadsheetCommand(TdxDBGrid& grid, const std::string& chosenName, const GridAppearance& look,
                                      int filterIndex) {
    const ExportTarget t = SpreadsheetTarget(chosenName, filterIndex);
    ExportResult r{t.path, {}};
    switch (t.format) {
    case ExportFormat::Xlsx: r.notice = WriteXlsxWithNotice(grid, t.path, look); break;
    case ExportFormat::Csv: ExportToCsv(grid, t.path, true, look); break;
    default: r.notice = WriteXlsWithNotice(grid, t.path, look); break;
    }
    return r;
}

ExportResult ExportXmlCommand(TdxDBGrid& grid, const std::string& chosenName, const GridAppearance& look,
                              int filterIndex) {
    const ExportTarget t = XmlTarget(chosenName, filterIndex);
    if (t.format == ExportFormat::Html) {
        ExportToHtml(grid, t.path, true, look);
        return {t.path, {}};
    }
    ExportToXml(grid, t.path, true, look);
    // Through a symbolic link the document and its style sheet sit in the link's target
    // folder: opened there, the style sheet's relative reference finds it.
    WriteTarget written;
    return {resolveWriteTarget(t.path, written) ? t.path : written.path.string(), {}};
}

} // namespace rg
