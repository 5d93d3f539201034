#include "export/crosstableexport.h"
#include "export/csvexport.h"
#include "export/excelexport.h"
#include "export/exportregistry.h"
#include "export/htmlexport.h"
#include "export/listingexport.h"
#include "export/xlsxexport.h"
#include "export/xmlexport.h"
#include "files/targetfile.h"

namespace rg {
namespace {

ExportResult writeXls(const ExportJob& job) {
    TdxDBGridExportExcel exporter;
    exporter.FileName = job.path;
    exporter.Grid = job.grid;
    exporter.Look = job.look;
    exporter.Execute();
    if (exporter.LossyCells == 0)
        return {job.path, {}};
    return {job.path,
            "有 " + std::to_string(exporter.LossyCells) +
                " 个单元格的文字无法完整写入 .xls 文件：GBK 以外的字符写成了“?”，过长的文字被截断。"
                "输出为 Excel 工作簿（.xlsx）可保留完整的文字。"};
}

ExportResult writeXlsx(const ExportJob& job) {
    if (job.grid->ShownCrossTable()) {
        ExportCrossTableXlsx(*job.grid, job.path);
        return {job.path, {}};
    }
    TdxDBGridExportXlsx exporter;
    exporter.FileName = job.path;
    exporter.Grid = job.grid;
    exporter.Look = job.look;
    exporter.Execute();
    if (exporter.CutTexts == 0)
        return {job.path, {}};
    return {
        job.path,
        "有 " + std::to_string(exporter.CutTexts) +
            " 个单元格的文字超过 Excel 单元格的上限（32767 个 UTF-16 字符），超出的部分被截断。"};
}

ExportResult writeCsv(const ExportJob& job) {
    if (job.grid->ShownCrossTable()) {
        ExportCrossTableCsv(*job.grid, job.path, job.listing);
        return {job.path, {}};
    }
    if (job.listing)
        WriteListing(job.path, [&job](const ListingSink& out) { WriteGridAsCsv(*job.grid, out); });
    else
        ExportToCsv(*job.grid, job.path, true, job.look);
    return {job.path, {}};
}

ExportResult writeText(const ExportJob& job) {
    WriteListing(job.path, [&job](const ListingSink& out) { WriteGridAsText(*job.grid, out); });
    return {job.path, {}};
}

ExportResult writeXml(const ExportJob& job) {
    ExportToXml(*job.grid, job.path, true, job.look);
    // Through a symbolic link the document and its style sheet sit in the link's target
    // folder: opened there, the style sheet's relative reference finds it.
    WriteTarget written;
    return {resolveWriteTarget(job.path, written) ? job.path : written.path.string(), {}};
}

ExportResult writeHtml(const ExportJob& job) {
    if (job.grid->ShownCrossTable()) {
        ExportCrossTableHtml(*job.grid, job.path);
        return {job.path, {}};
    }
    ExportToHtml(*job.grid, job.path, true, job.look);
    return {job.path, {}};
}

} // namespace

void AddCoreFormats(ExportRegistry& r) {
    r.add({"text", {"txt"}, "", writeText, true});
    r.add({"csv", {"csv"}, "CSV 文件", writeCsv, true});
    r.add({"xls", {"xls"}, "电子表格", writeXls});
    r.add({"xlsx", {"xlsx"}, "Excel 工作簿", writeXlsx});
    ExportFormat xml{"xml", {"xml"}, "XML文档", writeXml};
    // Chromium applies no style sheet to a document opened from a file (its policy for
    // file:// addresses) and shows an empty page.
    xml.openingNote = "Chromium 和 Chrome 直接打开本机的 XML 文档时不会应用它的样式表"
                      "（浏览器对 file:// 地址的安全策略），只显示空白页。请用 Firefox 打开，"
                      "或在“输出XML文档”的保存类型中选择“网页”，输出同样内容的 .html 网页。";
    r.add(std::move(xml));
    r.add({"html", {"html", "htm"}, "网页", writeHtml});
    // "输出电子表格" and "输出XML文档"; a dialog that names no filter gets the original
    // program's format.
    r.addCommand(ExportCommand::Spreadsheet, {"xlsx", "xls", "csv"}, "xls");
    r.addCommand(ExportCommand::XmlDocument, {"xml", "html"}, "xml");
}

} // namespace rg
