#pragma once

#include "export/gridexport.h"

#include <memory>
#include <string>
#include <string_view>

namespace rg {

// The XML writer: a document with an internal DTD, bands, columns and the rows, nested in
// GROUP elements when the grid is grouped; its style sheet is written beside it.
class TdxDBGridExportXML : public TdxDBGridExport {
public:
    int32_t GroupDepth = 0;
    int32_t IndentLevel = 0;

    void BeginDocument() override;
    void EndDocument() override;
    void WriteHeaderRows() override;
    void WriteFooterRows() override;
    void WriteNode(RowHandle node) override;

protected:
    void CommitFiles() override;

private:
    void line(std::string_view text);
    void closeGroup();
    std::vector<std::unique_ptr<ExportFile>> styleSheets_;
    std::vector<TdxDBGridColumn*> cols_;
    std::vector<std::string> names_;
};

// Writes the style sheet that shows the document as nested HTML tables.
class TdxDBGridExportXSL {
public:
    std::string FileName;
    TdxDBGrid* Grid = nullptr;
    std::unique_ptr<ExportFile> Stream;
    GridAppearance Look;
    bool ShowsHeading = false; // the document's GRID has a Heading to put above the table

    // Creates the file and writes the whole style sheet; the caller commits Stream.
    void Execute();

private:
    void line(int spaces, std::string_view text);
    void groupTemplate(int level, int levels, const std::string& font);
    void rowsTable(int level, bool grouped, const std::string& font);
};

// Writes the grid as an XML document and its style sheet (the result grid's own export).
void ExportToXml(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                 const GridAppearance& look = GridAppearance::current());

} // namespace rg
