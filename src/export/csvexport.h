#pragma once

#include "export/gridexport.h"

#include <string>
#include <string_view>
#include <vector>

namespace rg {

// RFC 4180: a field is quoted when it holds a comma, a quote or a line break, its quotes
// doubled; lines end in CR LF.
void AppendCsvLine(std::string& out, const std::vector<std::string>& fields);

// Whether a spreadsheet opening the file would take the text for a formula: it begins with
// =, +, -, @, a tab or a carriage return.
bool CsvFormulaLike(std::string_view text);
// A text cell as written: one that looks like a formula gets a leading apostrophe, so that a
// spreadsheet shows it as the text it is instead of running it. Numbers never pass here.
std::string CsvText(std::string text);
// A text cell of the sheet a spreadsheet opens: CsvText, and one it would read as a number
// and show otherwise ("007", "1E5", an 18-digit code) as the formula ="007", whose value is
// that text with every character.
std::string CsvSheetText(std::string text);
// An exact number's cell of that sheet: as it is, or as ="…" when a spreadsheet would round
// its digits (a double's shortest digits read back as that double and go as they are).
std::string CsvNumber(std::string text);
// A footer's text: as it is for a double, CsvNumber for an exact number, else CsvSheetText.
std::string CsvFooterText(std::string text, const SummaryValue& value);

// The grid as comma-separated text in UTF-8 with a byte-order mark, which spreadsheet
// programs need to read it as UTF-8. The sheet's layout: one leading column per grouping
// level holding the group rows' texts, then the visible columns as shown, group footers
// under their groups and the summary footer last. Texts that look like formulas are
// defused (CsvText); numbers, negative ones too, stay numbers.
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
