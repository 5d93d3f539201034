#pragma once

// The main window's two export commands after the save dialog: the name rule, the format
// the chosen filter or the typed extension asks for, the export of every row, and the path
// to hand to the desktop's "open".

#include "export/appearance.h"

#include <string>

namespace rg {

class TdxDBGrid;

enum class ExportFormat { Xlsx, Xls, Csv, Xml, Html };

// Save dialog filters of the two commands, in the order of their formats below.
inline constexpr const char* kSpreadsheetFilter = "Excel 工作簿|*.xlsx|电子表格|*.xls|CSV 文件|*.csv";
inline constexpr const char* kXmlFilter = "XML文档|*.xml|网页|*.html";

struct ExportTarget {
    std::string path;
    ExportFormat format;
};

// A typed extension of one of the command's formats decides the format and the name stays
// as typed; otherwise the chosen filter (its position in the command's filter, -1 when the
// dialog did not say: .xls, or .xml) decides, and a name without "." gets its extension.
ExportTarget SpreadsheetTarget(const std::string& chosenName, int filterIndex);
ExportTarget XmlTarget(const std::string& chosenName, int filterIndex);

struct ExportResult {
    std::string path;    // the file written (a symbolic link's target for an XML document)
    std::string notice;  // what the user should know about the file, or empty
};

// Writes the .xls file; returns the notice for cells it could not carry whole, or empty.
std::string WriteXlsWithNotice(TdxDBGrid& grid, const std::string& path, const GridAppearance& look);

// Writes the .xlsx file; returns the notice for texts cut at the cell limit, or empty.
std::string WriteXlsxWithNotice(TdxDBGrid& grid, const std::string& path, const GridAppearance& look);

// "输出电子表格" and "输出XML文档". Errors (rg::Error) reach the caller.
ExportResult ExportSpreadsheetCommand(TdxDBGrid& grid, const std::string& chosenName,
                                      const GridAppearance& look = GridAppearance::current(),
                                      int filterIndex = -1);
ExportResult ExportXmlCommand(TdxDBGrid& grid, const std::string& chosenName,
                              const GridAppearance& look = GridAppearance::current(), int filterIndex = -1);

} // namespace rg
