#pragma once

#include "export/gridexport.h"

#include <string>
#include <string_view>
#include <vector>

namespace rg {

// Text for HTML content and attribute values: markup characters as entities, characters
// XML and HTML forbid (control characters but tab, line feed and carriage return) left out.
std::string EscapeHtml(std::string_view text);

// The grid as one self-contained web page: a table with the column headers, the group rows
// indented by level, the data rows, the group footers and the summary footer, styled in the
// page itself, without scripts, in UTF-8.
class TdxDBGridExportHtml : public TdxDBGridExport {
public:
    void BeginDocument() override;
    void EndDocument() override;
    void WriteHeaderRows() override;
    void WriteFooterRows() override;
    void WriteNode(RowHandle node) override;

protected:
    void WriteEmptyDocument() override {
        BeginDocument();
        EndDocument();
    }

private:
    void cells(const std::vector<std::string>& texts, const char* rowClass);
    std::vector<TdxDBGridColumn*> cols_;
    std::vector<std::string> texts_;
};

void ExportToHtml(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                  const GridAppearance& look = GridAppearance::current());

} // namespace rg
