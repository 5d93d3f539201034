#include "export/csvexport.h"

#include "export/cellnumber.h"
#include "grid/gridcopy.h"

namespace rg {

void AppendCsvLine(std::string& out, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        AppendDelimitedCell(out, fields[i], ',');
    }
    out += "\r\n";
}

bool CsvFormulaLike(std::string_view text) {
    return SpreadsheetFormulaLike(text);
}

namespace {
std::string asTextFormula(const std::string& text) {
    return "=\"" + text + "\"";
}
} // namespace

std::string CsvText(std::string text) {
    if (CsvFormulaLike(text))
        text.insert(text.begin(), '\'');
    return text;
}

std::string CsvSheetText(std::string text) {
    return spreadsheetAltersNumberText(text) ? asTextFormula(text) : CsvText(std::move(text));
}

std::string CsvNumber(std::string text) {
    return spreadsheetRoundsNumberText(text) ? asTextFormula(text) : text;
}

std::string CsvFooterText(std::string text, const SummaryValue& value) {
    if (value.kind() == SummaryValue::Kind::Float)
        return text;
    return value.kind() == SummaryValue::Kind::Exact ? CsvNumber(std::move(text))
                                                     : CsvSheetText(std::move(text));
}

void TdxDBGridExportCsv::line() {
    AppendCsvLine(Stream->Buffer(), fields_);
    Stream->FlushIfFull();
}

void TdxDBGridExportCsv::BeginDocument() {
    cols_ = VisibleExportColumns();
    groups_ = Grid->GroupColumnCount();
    Stream->Write("\xEF\xBB\xBF");
}

void TdxDBGridExportCsv::WriteHeaderRows() {
    if (const std::string heading = Heading(); !heading.empty()) {
        fields_.assign(1, CsvSheetText(heading));
        line();
    }
    if (!Look.showHeader)
        return;
    fields_.assign(static_cast<size_t>(groups_), std::string());
    for (const TdxDBGridColumn* c : cols_)
        fields_.push_back(CaptionDisabled(*c) ? std::string() : CsvSheetText(c->Caption()));
    line();
}

void TdxDBGridExportCsv::WriteNode(RowHandle node) {
    const TdxDBGrid& g = *Grid;
    fields_.assign(static_cast<size_t>(groups_) + cols_.size(), std::string());
    if (g.HasChildren(node)) {
        fields_[static_cast<size_t>(g.Level(node))] = CsvSheetText(g.GroupRowText(node));
        line();
        return;
    }
    for (size_t i = 0; i < cols_.size(); ++i) {
        std::string& f = fields_[static_cast<size_t>(groups_) + i];
        // A double's shortest digits read back as that double, however many there are.
        const Value v = g.CellValue(node, *cols_[i]);
        f = ExactCellText(g, node, *cols_[i]);
        if (v.type() != Value::Type::Double)
            f = v.isNumber() ? CsvNumber(std::move(f)) : CsvSheetText(std::move(f));
    }
    line();
    for (int j = 0; j < g.FooterRowCount(node); ++j) {
        fields_.assign(fields_.size(), std::string());
        for (size_t i = 0; i < cols_.size(); ++i)
            if (g.FooterCellExists(node, *cols_[i], j))
                fields_[static_cast<size_t>(groups_) + i] = CsvFooterText(
                    g.FooterCellText(node, *cols_[i], j), g.FooterCellValue(node, *cols_[i], j));
        line();
    }
}

void TdxDBGridExportCsv::WriteFooterRows() {
    if (!Grid->ShowSummaryFooter())
        return;
    fields_.assign(static_cast<size_t>(groups_), std::string());
    for (const TdxDBGridColumn* c : cols_)
        fields_.push_back(
            Grid->SummaryFooterCellExists(*c)
                ? CsvFooterText(Grid->SummaryFooterText(*c), Grid->SummaryFooterValue(*c))
                : std::string());
    if (const int label = SummaryLabelCell(groups_); label >= 0)
        fields_[static_cast<size_t>(label)] = kGrandTotalLabel;
    line();
}

void ExportToCsv(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                 const GridAppearance& look) {
    RunExport<TdxDBGridExportCsv>(grid, fileName, saveAll, look);
}

} // namespace rg
