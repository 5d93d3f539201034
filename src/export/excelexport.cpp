#include "export/excelexport.h"

#include "common/codepage.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "export/cellnumber.h"
#include "export/xlsxexport.h"

#include <algorithm>
#include <cmath>

namespace rg {
namespace {

using Xf = std::array<uint8_t, 12>;

constexpr uint16_t kXfColInfo = 15, kXfHeader = 22, kXfGroup = 23, kXfSummary = 24,
                   kXfSummaryEmpty = 25, kXfBand = 26, kXfFooter = 27, kXfFooterEmpty = 28,
                   kXfFirstColumn = 29;

// The fixed formats 0 to 28; 21's borders depend on the grid lines.
std::vector<Xf> fixedFormats(bool showGrid) {
    const uint8_t b = showGrid ? 0xA1 : 0x00;
    std::vector<Xf> x;
    x.push_back({0x00, 0x00, 0xF5, 0xFF, 0x20, 0x00, 0x00, 0xCE, 0, 0, 0, 0});
    for (int i = 0; i < 2; ++i)
        x.push_back({0x01, 0x00, 0xF5, 0xFF, 0x20, 0xF4, 0x00, 0xCE, 0, 0, 0, 0});
    for (int i = 0; i < 2; ++i)
        x.push_back({0x02, 0x00, 0xF5, 0xFF, 0x20, 0xF4, 0x00, 0xCE, 0, 0, 0, 0});
    for (int i = 0; i < 10; ++i)
        x.push_back({0x00, 0x00, 0xF5, 0xFF, 0x20, 0xF4, 0x00, 0xCE, 0, 0, 0, 0});
    x.push_back({0x00, 0x00, 0x01, 0x00, 0x20, 0x00, 0x00, 0xCE, 0, 0, 0, 0});
    for (uint8_t fmt : {0x21, 0x1F, 0x20, 0x1E, 0x0D})
        x.push_back({0x01, fmt, 0xF5, 0xFF, 0x20, 0xF8, 0x00, 0xCE, 0, 0, 0, 0});
    x.push_back({0x05, 0x00, 0x01, 0x00, 0x21, 0x78, 0x41, 0x03, b, b, b, b});
    x.push_back({0x06, 0x00, 0x01, 0x00, 0x22, 0x78, 0x41, 0x02, 0x71, 0x71, 0x71, 0x71});
    x.push_back({0x07, 0x00, 0x01, 0x00, 0x21, 0x78, 0xC1, 0x02, 0x00, 0x00, 0x00, 0x00});
    x.push_back({0x05, 0x00, 0x01, 0x00, 0x22, 0x78, 0xC1, 0x02, 0xB9, 0xB9, 0xB9, 0xB9});
    x.push_back({0x05, 0x00, 0x01, 0x00, 0x22, 0x78, 0xC1, 0x02, 0xB9, 0x00, 0xB9, 0x00});
    x.push_back({0x08, 0x00, 0x01, 0x00, 0x22, 0x78, 0x41, 0x02, 0x71, 0x71, 0x71, 0x00});
    x.push_back({0x09, 0x00, 0x01, 0x00, 0x21, 0x78, 0xC1, 0x02, 0xB9, 0xB9, 0xB9, 0xB9});
    x.push_back({0x09, 0x00, 0x01, 0x00, 0x21, 0x78, 0xC1, 0x02, 0xB9, 0x00, 0xB9, 0x00});
    return x;
}

uint16_t twips(const GridFont& f) {
    return static_cast<uint16_t>(std::clamp(f.size * 20, 0, 0xFFFF));
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

biff::Writer& TdxDBGridExportExcel::out() {
    return *writer_;
}

std::string TdxDBGridExportExcel::ansiLabel(const std::string& utf8, size_t maxBytes) {
    bool lost = false;
    std::string a = toGbk(utf8, &lost);
    if (a.size() > maxBytes) {
        a.resize(biff::cutAnsi(a, maxBytes).size());
        lost = true;
    }
    if (lost)
        ++LossyCells;
    return a;
}

void TdxDBGridExportExcel::CheckLimits(const RowWalk::Count& count) {
    const int g = Grid->GroupColumnCount();
    const int n = static_cast<int>(VisibleExportColumns().size());
    if (g + n > kMaxSheetColumns)
        throw Error(format(
            "电子表格最多容纳 %d 列，此报表需要 %d 列（%d 个分组列和 %d 个数据列），无法输出。",
            kMaxSheetColumns, g + n, g, n));
    const int64_t rows = SheetRows(count);
    if (rows > kMaxSheetRows)
        throw Error(format("电子表格（.xls）最多容纳 %d 行，此报表需要 %lld 行，无法输出。"
                           "请输出为 Excel 工作簿（.xlsx），它每个工作表容纳 %lld 行，"
                           "更多的行接续在后面的工作表中。",
                           kMaxSheetRows, static_cast<long long>(rows),
                           static_cast<long long>(TdxDBGridExportXlsx::kMaxSheetRows)));
}

// A decimal is a number cell as any other, with a text where a double would change it; a
// BIFF4 sheet has no time cells.
CellKind TdxDBGridExportExcel::kindOf(const TdxDBGridColumn& c) {
    const CellKind k = cellKindOf(c);
    return k == CellKind::Decimal ? CellKind::Number : k == CellKind::Time ? CellKind::Text : k;
}

void TdxDBGridExportExcel::BeginDocument() {
    writer_.emplace(Stream->Buffer());
    groupLevels_ = Grid->GroupColumnCount();
    const int g = groupLevels_;

    // Header order, visible columns of the (one, visible) band.
    ExportedColumns.Count = 0;
    cols_.clear();
    columns_.clear();
    for (TdxDBGridColumn* c : VisibleExportColumns()) {
        if (ExportedColumns.Count >= 256)
            break;
        ExportedColumns.Items[static_cast<size_t>(ExportedColumns.Count++)] = c->Index();
        cols_.push_back({c, kindOf(*c)});
        columns_.push_back(c);
    }
    tallies_.assign(static_cast<size_t>(kMaxSheetColumns), SheetColumnTally{});
    const int n = static_cast<int>(cols_.size());

    biff::Writer& w = out();
    w.Bof();
    // Without the code page readers outside a Chinese Windows cannot decode the texts.
    w.CodePage(936);
    w.Guts();
    w.Palette({Look.headerFont.color, Look.headerColor, Look.groupNodeTextColor,
               Look.groupNodeColor, Look.font.color, Look.color, Look.windowFrame, Look.window,
               Look.bandFont.color, Look.bandColor, Look.rowFooterTextColor, Look.rowFooterColor,
               Look.gridLineColor});
    for (int i = 0; i < 4; ++i)
        w.Font(200, 0, 0x7FFF, "Arial");
    const std::string gridFontName = toAnsi(Look.font.name);
    w.Font(twips(Look.font), Look.font.style, 12, gridFontName);
    w.Font(twips(Look.headerFont), Look.headerFont.style, 8, toAnsi(Look.headerFont.name));
    w.Font(twips(Look.font), Look.font.style, 10, gridFontName);
    w.Font(twips(Look.bandFont), Look.bandFont.style, 16, toAnsi(Look.bandFont.name));
    w.Font(twips(Look.font), Look.font.style, 18, gridFontName);
    // Columns take the grid's font.
    for (int i = 0; i < std::min(n, kColumnsWithOwnFont); ++i)
        w.Font(twips(Look.font), Look.font.style, 12, gridFontName);

    // Date columns need number formats of their own. Sheets without them are written
    // without any, as before, so that the built-in formats keep their numbers.
    const bool dated = std::any_of(cols_.begin(), cols_.end(), [](const Col& c) {
        return c.kind == CellKind::Date || c.kind == CellKind::DateTime;
    });
    if (dated) {
        w.Format("General");
        w.Format("yyyy-mm-dd");
        w.Format("yyyy-mm-dd hh:mm:ss");
    }
    for (const Xf& x : fixedFormats(Look.showGrid))
        w.Xf(x);
    const uint8_t border = Look.showGrid ? 0xA1 : 0x00;
    for (int i = 0; i < n; ++i) {
        const Col& c = cols_[static_cast<size_t>(i)];
        const Alignment a = c.column->alignment();
        const uint8_t align = a == Alignment::Right ? 0x23 : a == Alignment::Center ? 0x22 : 0x21;
        const uint8_t font = i < kColumnsWithOwnFont ? static_cast<uint8_t>(10 + i) : 5;
        // The format's index, marked as used: the cell's own, not its style's General.
        const uint8_t format = c.kind == CellKind::Date ? 1 : c.kind == CellKind::DateTime ? 2 : 0;
        const uint8_t used = format != 0 ? 0x7C : 0x78;
        w.Xf({font, format, 0x01, 0x00, align, used, 0x41, 0x03, border, border, border, border});
    }
    for (int c = 0; c < g; ++c)
        w.ColInfo(static_cast<uint16_t>(c), static_cast<uint16_t>(c), 400, kXfColInfo);
    for (int i = 0; i < n; ++i) {
        const int width = std::clamp(cols_[static_cast<size_t>(i)].column->Width() * 36, 0, 0xFFFF);
        w.ColInfo(static_cast<uint16_t>(g + i), static_cast<uint16_t>(g + i),
                  static_cast<uint16_t>(width), kXfColInfo);
    }
    w.Dimensions();
}

void TdxDBGridExportExcel::EndDocument() {
    if (!writer_)
        return;
    out().Eof();
    Stream->Flush();
}

void TdxDBGridExportExcel::WriteHeaderRows() {
    biff::Writer& w = out();
    const int g = groupLevels_;
    const int n = static_cast<int>(cols_.size());
    if (const std::string heading = Heading(); !heading.empty()) {
        w.Label(row(), 0, kXfBand, ansiLabel(heading));
        ++CurrentRow;
    }
    if (Look.showBands) {
        for (int c = 0; c < g + n; ++c)
            w.Blank(row(), static_cast<uint16_t>(c), kXfGroup);
        w.Label(row(), static_cast<uint16_t>(g), kXfBand, ansiLabel(Look.bandCaption));
        ++CurrentRow;
    }
    if (Look.showHeader) {
        for (int c = 0; c < g; ++c)
            w.Blank(row(), static_cast<uint16_t>(c), kXfGroup);
        for (int i = 0; i < n; ++i) {
            const TdxDBGridColumn& col = *cols_[static_cast<size_t>(i)].column;
            w.Label(row(), static_cast<uint16_t>(g + i), kXfHeader,
                    CaptionDisabled(col) ? std::string() : ansiLabel(col.Caption()));
        }
        ++CurrentRow;
    }
}

void TdxDBGridExportExcel::WriteNode(RowHandle node) {
    biff::Writer& w = out();
    const TdxDBGrid& grid = *Grid;
    const int g = groupLevels_;
    const int n = static_cast<int>(cols_.size());
    if (g > 0) {
        const int level = grid.Level(node);
        for (int c = 0; c < g; ++c) {
            if (c == level)
                w.Label(row(), static_cast<uint16_t>(c), kXfGroup,
                        ansiLabel(grid.GroupRowText(node)));
            else
                w.Blank(row(), static_cast<uint16_t>(c), kXfGroup);
        }
    }
    if (grid.HasChildren(node)) {
        for (int i = 0; i < n; ++i)
            w.Blank(row(), static_cast<uint16_t>(g + i), kXfGroup);
        Stream->FlushIfFull();
        return;
    }
    for (int i = 0; i < n; ++i)
        writeDataCell(node, i);
    const int footers = grid.FooterRowCount(node);
    for (int j = 0; j < footers; ++j) {
        ++CurrentRow;
        const int level = grid.FooterLevel(node, j);
        for (int c = 0; c < level; ++c)
            w.Blank(row(), static_cast<uint16_t>(c), kXfGroup);
        // The group's own indent cell says what the row totals, as a spreadsheet's subtotals.
        w.Label(row(), static_cast<uint16_t>(level), kXfGroup,
                ansiLabel(GroupFooterLabel(grid, node, j, columns_,
                                           Grid->CellText(node, Grid->GroupColumns(level)))));
        for (int i = 0; i < n; ++i) {
            const TdxDBGridColumn& col = *cols_[static_cast<size_t>(i)].column;
            if (grid.FooterCellExists(node, col, j)) {
                const auto sheetCol =
                    static_cast<uint16_t>((i == 0 && level + 1 < g) ? level + 1 : g + i);
                // A minimum or maximum over nulls only shows nothing: an empty cell, not an empty
                // text.
                const std::string text = grid.FooterCellText(node, col, j);
                if (text.empty())
                    w.Blank(row(), sheetCol, kXfFooter);
                else
                    label(sheetCol, kXfFooter, ansiLabel(text));
            } else {
                w.Blank(row(), static_cast<uint16_t>(g + i), kXfFooterEmpty);
            }
        }
        if (level + 1 < g)
            for (int c = g; c >= level + 2; --c)
                w.Blank(row(), static_cast<uint16_t>(c), kXfFooterEmpty);
    }
    Stream->FlushIfFull();
}

void TdxDBGridExportExcel::WriteFooterRows() {
    if (!WritesSummaryRow())
        return;
    const int label = SummaryLabelCell(groupLevels_);
    for (int c = 0; c < groupLevels_ + static_cast<int>(cols_.size()); ++c) {
        const auto col = static_cast<uint16_t>(c);
        if (c == label)
            out().Label(row(), col, kXfSummary, ansiLabel(kGrandTotalLabel));
        else if (c < groupLevels_)
            out().Blank(row(), col, kXfSummaryEmpty);
        else
            writeSummaryCell(c - groupLevels_, cols_[static_cast<size_t>(c - groupLevels_)]);
    }
}

void TdxDBGridExportExcel::writeDataCell(RowHandle node, int i) {
    biff::Writer& w = out();
    const Col& c = cols_[static_cast<size_t>(i)];
    const auto col = static_cast<uint16_t>(groupLevels_ + i);
    const auto xf = static_cast<uint16_t>(kXfFirstColumn + i);
    switch (c.kind) {
    case CellKind::Empty:
        label(col, xf, {});
        return;
    case CellKind::Text:
    case CellKind::Time:
        label(col, xf, ansiLabel(Grid->CellText(node, *c.column)));
        return;
    case CellKind::Memo:
        label(col, xf, ansiLabel(Grid->CellText(node, *c.column), 255));
        return;
    case CellKind::Integer:
    case CellKind::Number:
    case CellKind::Decimal:
    case CellKind::Date:
    case CellKind::DateTime:
    case CellKind::Boolean:
        break;
    }
    // A null is no number: the cell stays empty, and the summary formulas pass over it as
    // the grid's summaries do.
    const Value v = Grid->CellValue(node, *c.column);
    if (v.isNull()) {
        w.Blank(row(), col, xf);
        return;
    }
    if (c.kind == CellKind::Boolean) {
        w.Boolean(row(), col, xf, v.asBool());
        tallies_[col].addText("b");
        return;
    }
    if (c.kind == CellKind::Date || c.kind == CellKind::DateTime) {
        // A day serial in the column's date format; what no spreadsheet date shows as the
        // grid does (a text that is no date, a BC date, an infinity) as its text.
        if (spreadsheetDate(v, false))
            number(col, xf, v.asDouble());
        else
            label(col, xf, ansiLabel(Grid->CellText(node, *c.column)));
        return;
    }
    if (c.kind == CellKind::Number || v.type() != Value::Type::Int) {
        // A value a double would change (a long decimal, NaN, an infinity) as its text, and
        // so a text that is no number in an integer column (SQLite keeps any value).
        if (const auto d = cellNumber(v))
            number(col, xf, *d);
        else
            label(col, xf, ansiLabel(Grid->CellText(node, *c.column)));
        return;
    }
    const int64_t i64 = v.asInt();
    if (biff::fitsRk(i64)) {
        w.Rk(row(), col, xf, static_cast<int32_t>(i64));
        tallies_[col].addNumber(static_cast<double>(i64));
    } else if (const std::optional<double> d = spreadsheetInteger(i64)) {
        number(col, xf, *d);
    } else {
        // A double or the sheet's 15 digits would change the digits: the exact integer as text.
        label(col, xf, formatInt(i64));
    }
}

void TdxDBGridExportExcel::label(uint16_t col, uint16_t xf, const std::string& ansi) {
    out().Label(row(), col, xf, ansi);
    tallies_[col].addText(ansi);
}

void TdxDBGridExportExcel::number(uint16_t col, uint16_t xf, double v) {
    out().Number(row(), col, xf, v);
    tallies_[col].addNumber(v);
}

void TdxDBGridExportExcel::writeSummaryCell(int i, const Col& c) {
    biff::Writer& w = out();
    const int g = groupLevels_;
    const auto col = static_cast<uint16_t>(g + i);
    const TdxSummaryType t = c.column->SummaryFooterType();
    int k = -1;
    if (t == TdxSummaryType::cstCount) {
        k = i;
    } else if (t != TdxSummaryType::cstNone) {
        for (int j = 0; j < static_cast<int>(cols_.size()); ++j)
            if (sameIgnoringCase(cols_[static_cast<size_t>(j)].column->FieldName(),
                                 c.column->SummaryFooterField())) {
                k = j;
                break;
            }
    }
    // A summary formula's value goes as the grid has it.
    const bool formula = Grid->ColumnFormula(*c.column) >= 0;
    if (k < 0 && !formula) {
        w.Blank(row(), col, kXfSummaryEmpty);
        return;
    }
    const int firstRow = HeadingRows() + (Look.showBands ? 1 : 0) + (Look.showHeader ? 1 : 0);
    const int lastRow = CurrentRow - 1;
    const int areaCol = g + k;
    const SummaryValue& footer = Grid->SummaryFooterValue(*c.column);
    // A value shown otherwise is no formula over the rows: it goes as the grid shows it.
    if (Grid->SummaryFooterShowAs(*c.column) != ShowValuesAs::Value) {
        const std::string text = Grid->SummaryFooterText(*c.column);
        if (text.empty())
            w.Blank(row(), col, kXfSummaryEmpty);
        else
            w.Label(row(), col, kXfSummary, ansiLabel(text));
        return;
    }

    // An area without rows would take in the header and the formula itself.
    const bool formulaFits = firstRow <= lastRow;
    const bool numbers = Grid->FooterValueKind(*c.column) == SummaryValueKind::Number;
    const FooterContent content = footer.isEmpty() ? FooterContent{0.0, {}} : footerContent(footer);
    const std::optional<double>& held = content.number;
    if (!formula && formulaFits && numbers && held &&
        FormulaShowsFooter(t, c.column->SummaryFooterFormat(),
                           tallies_[static_cast<size_t>(areaCol)], footer)) {
        const biff::Function f = t == TdxSummaryType::cstSum     ? biff::Function::Sum
                                 : t == TdxSummaryType::cstMin   ? biff::Function::Min
                                 : t == TdxSummaryType::cstMax   ? biff::Function::Max
                                 : t == TdxSummaryType::cstCount ? biff::Function::CountA
                                                                 : biff::Function::Average;
        w.Formula(row(), col, kXfSummary, static_cast<uint16_t>(firstRow),
                  static_cast<uint16_t>(lastRow), static_cast<uint8_t>(areaCol), f, *held);
        return;
    }
    // Otherwise the grid's own value: dates, texts, NaN and infinities as the footer's
    // text, numbers as the double that holds them or their every digit as a text, nothing
    // for a minimum of nulls.
    if (footer.kind() == SummaryValue::Kind::Failed ||
        (footer.isEmpty() && (t == TdxSummaryType::cstMin || t == TdxSummaryType::cstMax)))
        w.Blank(row(), col, kXfSummaryEmpty);
    else if (numbers && !content.exactText.empty())
        w.Label(row(), col, kXfSummary, content.exactText);
    else if (footer.kind() == SummaryValue::Kind::Text || !numbers || !held)
        w.Label(row(), col, kXfSummary, ansiLabel(Grid->SummaryFooterText(*c.column)));
    else
        w.Number(row(), col, kXfSummary, *held);
}

void ExportToSpreadsheet(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                         const GridAppearance& look) {
    RunExport<TdxDBGridExportExcel>(grid, fileName, saveAll, look);
}

} // namespace rg
