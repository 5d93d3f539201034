#pragma once

// The main window's two export commands after the save dialog: the name rule, the export
// of every row, and the path to hand to the desktop's "open".

#include "export/appearance.h"

#include <string>

namespace rg {

class TdxDBGrid;

// Save dialog filters of the two commands.
inline constexpr const char* kSpreadsheetFilter = "电子表格|*.xls";
inline constexpr const char* kXmlFilter = "XML文档|*.xml";

// "输出电子表格": returns the file written. Errors (rg::Error) reach the caller.
std::string ExportSpreadsheetCommand(TdxDBGrid& grid, const std::string& chosenName,
                                     const GridAppearance& look = GridAppearance::current());
// "输出XML文档": returns the document written (its style sheet lies beside it).
std::string ExportXmlCommand(TdxDBGrid& grid, const std::string& chosenName,
                             const GridAppearance& look = GridAppearance::current());

} // namespace rg
