#include "export/exportcommands.h"

#include "export/excelexport.h"
#include "export/exportname.h"
#include "export/xmlexport.h"

namespace rg {

std::string ExportSpreadsheetCommand(TdxDBGrid& grid, const std::string& chosenName, const GridAppearance& look) {
    const std::string path = WithDefaultExtension(chosenName, "xls");
    ExportToSpreadsheet(grid, path, true, look);
    return path;
}

std::string ExportXmlCommand(TdxDBGrid& grid, const std::string& chosenName, const GridAppearance& look) {
    const std::string path = WithDefaultExtension(chosenName, "xml");
    ExportToXml(grid, path, true, look);
    return path;
}

} // namespace rg
