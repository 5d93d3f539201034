#pragma once

#include "export/gridexport.h"

#include <string>
#include <vector>

namespace rg {

// RFC 4180: a field is quoted when it holds a comma, a quote or a line break, its quotes
// doubled; lines end in CR LF.
void AppendCsvLine(std::string& out, const std::vector<std::string>& fields);

// The grid as comma-separated text in UTF-8 with a byte-order mark, which spreadsheet
// programs need to read it as UTF-8. The sheet's layout: one leading column per grouping
// level holding the group rows' texts, then the visible columns as shown, group footers
// under their groups and the summary footer last.
class TdxDBGridExportCsv : public TdxDBGridExport {
public:
    void BeginDocument() override;
    void WriteHeaderRows() override;
    void WriteFooterRows() override;
    void WriteNode(RowHandle node) override;

protected:
    void WriteEmptyDocument() override {
        BeginDocument();
        EndDocument();
    }

private:
    void line();
    std::vector<TdxDBGridColumn*> cols_;
    std::vector<std::string> fields_;
    int groups_ = 0;
};

void ExportToCsv(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                 const GridAppearance& look = GridAppearance::current());

} // namespace rg
