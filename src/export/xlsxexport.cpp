#include "export/xlsxexport.h"

#include "common/asciicase.h"
#include "common/datetime.h"
#include "common/error.h"
#include "datasource/dataset.h"
#include "export/cellnumber.h"
#include "export/summarycell.h"
#include "export/workbookwriter.h"
#include "export/xlsxchart.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace rg {
namespace {

constexpr int kMaxOutlineLevel = 7;
// UTF-16 units a cell holds.
constexpr size_t kMaxCellUnits = 32767;

// At most the cell limit of UTF-16 units, cut at a character boundary; `cut` is set when
// something was cut. UTF-8 never takes fewer bytes than UTF-16 units.
std::string_view cellText(std::string_view s, bool& cut) {
    if (s.size() <= kMaxCellUnits)
        return s;
    size_t units = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) == 0x80)
            continue;
        const size_t u = b >= 0xF0 ? 2 : 1;
        if (units + u > kMaxCellUnits) {
            cut = true;
            return s.substr(0, i);
        }
        units += u;
    }
    return s;
}

// The places after the point that a footer pattern shows (its first section; the default
// patterns show two, a count none, and a sum, minimum or maximum of exact values those of
// its values when they have more).
int footerPlaces(TdxSummaryType kind, const std::string& pattern, const SummaryValue& value) {
    if (pattern.empty() && kind == TdxSummaryType::cstCount)
        return 0;
    if (pattern.empty() && kind != TdxSummaryType::cstAvg &&
        value.kind() == SummaryValue::Kind::Exact)
        return std::max(2, value.exact().scale);
    if (pattern.empty())
        return 2;
    bool quoted = false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '"' || c == '\'')
            quoted = !quoted;
        else if (!quoted && c == ';')
            break;
        else if (!quoted && c == '.') {
            int places = 0;
            while (i + 1 + places < pattern.size() &&
                   (pattern[i + 1 + places] == '0' || pattern[i + 1 + places] == '#'))
                ++places;
            return places;
        }
    }
    return 0;
}

// The longest code of a column in characters: a text a spreadsheet would take for another
// number, or a number with more digits than it shows, goes as a text, and a column too narrow
// for a text cuts it without a sign. Only rows held in memory are measured.
// The largest scale of a decimal column's values, so that a column holding 5049, 338.3 and
// 3198.65 shows them all with two places.
struct ColumnMeasure {
    size_t longestCode = 0;
    int scale = 0;
};
ColumnMeasure measure(const DataSet* ds, const TdxDBGridColumn& c, CellKind kind) {
    ColumnMeasure m;
    if (ds == nullptr || ds->ServerSide() || c.field() == nullptr ||
        (kind != CellKind::Text && kind != CellKind::Integer && kind != CellKind::Decimal))
        return m;
    const int field = c.field()->Index();
    for (int r = 0; r < ds->RecordCount(); ++r) {
        if (ds->isNull(r, field))
            continue;
        if (kind == CellKind::Decimal)
            if (const std::optional<Decimal> d = ds->value(r, field).asDecimal())
                m.scale = std::max(m.scale, d->scale);
        const std::string t = ds->displayText(r, field);
        if (t.size() > m.longestCode &&
            (spreadsheetRoundsNumberText(t) ||
             (kind == CellKind::Text && spreadsheetAltersNumberText(t))))
            m.longestCode = t.size();
    }
    return m;
}

} // namespace

struct TdxDBGridExportXlsx::Sheet {
    // A row of the workbook: its sheet and its row there.
    struct Pos {
        int sheet = 0;
        int64_t row = 0;
    };
    struct Col {
        TdxDBGridColumn* column;
        CellKind kind;
        std::string footerPattern; // of the column's group footer item
        int scale = 0;             // a decimal column's largest, of the rows in memory
    };
    std::optional<WorkbookWriter> w;
    std::vector<Col> cols;
    std::vector<TdxDBGridColumn*> columns; // the columns of `cols`
    int groups = 0;
    Pos firstDataRow;
    // The current sheet, the workbook row that is its row 0 (less the header repeated on
    // it), and the rows of the header that each sheet after the first repeats.
    int sheet = 0;
    int64_t base = 0;
    int64_t rowLimit = 0;
    int headerRows = 0;
    int64_t cutTexts = 0;
    CellStyle dataLook, footerLook, summaryLook;
    // Per number format (general, date, time, date and time): data, footer, summary cells.
    int data[4] = {}, footer[4] = {}, summary[4] = {};
    int header = 0, group = 0, band = 0, heading = 0;
    // Number formats made as values need them: by a decimal's scale, by a footer's places.
    std::vector<int> decimalStyles, footerStyles, summaryStyles;
    // What the formulas see: slot 0 for the whole workbook, slot 1 + l for the current group
    // of level l; `foreign` marks a slot that holds a footer written as a value, which
    // SUBTOTAL would add in.
    std::vector<Pos> groupRow;
    std::vector<SheetColumnTally> tallies;
    std::vector<char> foreign;
    // The text of each level's current group, taken from its first data row; levels from
    // `pendingLevel` on wait for it.
    std::vector<std::string> groupTexts;
    int pendingLevel = 0;
    std::unique_ptr<XlsxChart> chart; // the chart shown beside the grid, drawn over the sheet

    size_t slot(int level, int i) const {
        return static_cast<size_t>(level + 1) * cols.size() + static_cast<size_t>(i);
    }
    Pos at(int64_t workbookRow) const { return {sheet, workbookRow - base}; }
    // The first row of a sheet below its header.
    int64_t dataStart(int k) const { return k == 0 ? firstDataRow.row : headerRows; }
    // The areas of column `col` from `from` to the row above `to`, over as many sheets as
    // they span, each named by its sheet but those on `to`'s own; empty when none.
    std::string areas(int col, Pos from, Pos to) const;
    static int formatIndex(CellKind k) {
        return k == CellKind::Date ? 1 : k == CellKind::Time ? 2 : k == CellKind::DateTime ? 3 : 0;
    }
    // The style of `look` with a number format, made on first use and kept by `key`.
    int styleFor(std::vector<int>& made, size_t key, const CellStyle& look,
                 const std::string& format) {
        if (made.size() <= key)
            made.resize(key + 1, -1);
        if (made[key] < 0) {
            CellStyle s = look;
            s.numberFormat = format;
            made[key] = w->addStyle(s);
        }
        return made[key];
    }
    int decimalStyle(int scale) {
        return styleFor(decimalStyles, static_cast<size_t>(scale), dataLook,
                        scale > 0 ? "0." + std::string(static_cast<size_t>(scale), '0') : "0");
    }
    // A percent cell holds the fraction (12.34 % as 0.1234), as spreadsheets count them.
    int percentStyle(bool grandTotal) {
        return styleFor(grandTotal ? summaryStyles : footerStyles, kPercentKey,
                        grandTotal ? summaryLook : footerLook,
                        "0." + std::string(kPercentPlaces, '0') + "%");
    }
    static constexpr size_t kPercentKey = 64; // above every count of places
    int footerNumberStyle(bool grandTotal, int places) {
        return styleFor(grandTotal ? summaryStyles : footerStyles, static_cast<size_t>(places),
                        grandTotal ? summaryLook : footerLook,
                        places > 0 ? "#,##0." + std::string(static_cast<size_t>(places), '0')
                                   : "#,##0");
    }
    void addNumber(int i, double v) {
        for (int l = -1; l < groups; ++l)
            tallies[slot(l, i)].addNumber(v);
    }
    void addText(int i, std::string_view s) {
        for (int l = -1; l < groups; ++l)
            tallies[slot(l, i)].addText(s);
    }
    void text(int col, std::string_view s, int style) {
        bool cut = false;
        w->text(col, cellText(s, cut), style);
        if (cut)
            ++cutTexts;
    }
    // One footer cell: the formula over the rows of its group when it gives the grid's value,
    // otherwise the value itself.
    // A value shown otherwise (showas.h) is no formula over the rows: it goes as a value.
    void footerCell(Pos row, int i, int level, Pos fromRow, TdxSummaryType kind,
                    const SummaryValue& value, const std::string& shown, const std::string& pattern,
                    ShowValuesAs showAs);
    // A summary formula's cell: a formula over the cells of this row that hold the summaries
    // it reads (`kindOf(j)`: the kind of column j's own summary in the row, cstNone for
    // none), else its value.
    void formulaCell(int64_t row, int i, int level, const std::string& expression,
                     const std::vector<CalcInput>& inputs, const SummaryValue& value,
                     const std::string& shown, const std::function<TdxSummaryType(size_t)>& kindOf);
    // The first cell of a group footer row: the group and what its footers are.
    std::string footerLabel(const TdxDBGrid& grid, RowHandle node, int j, int level) const;
};

TdxDBGridExportXlsx::TdxDBGridExportXlsx() = default;
TdxDBGridExportXlsx::~TdxDBGridExportXlsx() = default;

void TdxDBGridExportXlsx::CheckLimits(const RowWalk::Count& count) {
    const int64_t columns =
        Grid->GroupColumnCount() + static_cast<int64_t>(VisibleExportColumns().size());
    if (columns > kMaxSheetColumns)
        throw Error(format("Excel 工作簿最多容纳 %lld 列，此报表需要 %lld 列，无法输出。",
                           static_cast<long long>(kMaxSheetColumns),
                           static_cast<long long>(columns)));
    const int64_t rows = SheetRows(count);
    rowsBeforeSummary_ = rows - (WritesSummaryRow() ? 1 : 0);
    // The rows beyond the first sheet go on further sheets, each with the header again.
    const int64_t header = HeadingRows() + (Look.showBands ? 1 : 0) + (Look.showHeader ? 1 : 0);
    const int64_t beyond = std::max<int64_t>(rows - SheetRowLimit, 0);
    const int64_t perSheet = SheetRowLimit - header;
    const int64_t needed = rows + (beyond + perSheet - 1) / perSheet * header;
    if (needed > kMaxWorkbookRows)
        throw Error(format("Excel 工作簿的行数以 %lld 为限，此报表需要 %lld 行，无法输出。",
                           static_cast<long long>(kMaxWorkbookRows),
                           static_cast<long long>(needed)));
}

void TdxDBGridExportXlsx::BeginDocument() {
    sheet_ = std::make_unique<Sheet>();
    Sheet& s = *sheet_;
    WorkbookWriter& w = s.w.emplace(*Stream);

    s.groups = Grid->GroupColumnCount();
    const auto summaryGroups = Grid->SummaryGroups();
    for (TdxDBGridColumn* c : VisibleExportColumns()) {
        std::string pattern;
        if (!summaryGroups.empty()) {
            const TdxDBGridSummaryItems& items = summaryGroups.front().SummaryItems;
            for (int k = 0; k < items.Count(); ++k)
                if (items.Items(k).ColumnName() == c->Name()) {
                    pattern = items.Items(k).SummaryFormat();
                    break;
                }
        }
        // A memo is a text like any other in a workbook.
        const CellKind kind = cellKindOf(*c);
        s.cols.push_back({c, kind == CellKind::Memo ? CellKind::Text : kind, pattern});
        s.columns.push_back(c);
    }
    const int n = static_cast<int>(s.cols.size());
    s.groupRow.assign(static_cast<size_t>(s.groups), Sheet::Pos{});
    s.rowLimit = SheetRowLimit;
    s.tallies.assign(static_cast<size_t>(s.groups + 1) * s.cols.size(), SheetColumnTally{});
    s.foreign.assign(s.tallies.size(), 0);
    s.groupTexts.assign(static_cast<size_t>(s.groups), std::string());

    auto look = [&](bool bold, RgbColor fill, RgbColor fontColor) {
        CellStyle c;
        c.fontName = Look.font.name;
        c.fontSize = Look.font.size;
        c.fontColor = fontColor;
        c.bold = bold;
        c.fill = fill;
        return c;
    };
    s.dataLook = look(false, CellStyle::kNoFill, Look.font.color);
    s.footerLook = look(false, Look.rowFooterColor, Look.rowFooterTextColor);
    s.summaryLook = look(true, Look.headerColor, Look.headerFont.color);
    const char* numberFormats[4] = {"", "yyyy-mm-dd", "hh:mm:ss", "yyyy-mm-dd hh:mm:ss"};
    for (int k = 0; k < 4; ++k) {
        for (auto [styles, base] :
             {std::pair{s.data, &s.dataLook}, std::pair{s.footer, &s.footerLook},
              std::pair{s.summary, &s.summaryLook}}) {
            CellStyle c = *base;
            c.numberFormat = numberFormats[k];
            styles[k] = w.addStyle(c);
        }
    }
    CellStyle header = look(true, Look.headerColor, Look.headerFont.color);
    header.border = true;
    s.header = w.addStyle(header);
    s.group = w.addStyle(look(true, Look.groupNodeColor, Look.groupNodeTextColor));
    s.band = w.addStyle(look(true, Look.bandColor, Look.bandFont.color));
    // Added last, and only when written, so that a report without parameters keeps its styles.
    if (HeadingRows() > 0)
        s.heading = w.addStyle(look(true, CellStyle::kNoFill, Look.font.color));

    addChart();
    w.setMaxOutlineLevel(std::min(s.groups, kMaxOutlineLevel));
    w.freezeRows(HeadingRows() + (Look.showBands ? 1 : 0) + (Look.showHeader ? 1 : 0));
    if (s.groups > 0)
        w.setColumnPixels(0, s.groups - 1, 20);
    for (int i = 0; i < n; ++i) {
        Sheet::Col& c = s.cols[static_cast<size_t>(i)];
        const ColumnMeasure m = measure(Grid->dataSet(), *c.column, c.kind);
        c.scale = m.scale;
        // A digit of the default font is seven pixels wide; one more for the margins.
        const auto codePixels = static_cast<int>(std::min<size_t>(m.longestCode, 255) * 7);
        w.setColumnPixels(s.groups + i, s.groups + i,
                          std::max({c.column->Width(), codePixels > 0 ? codePixels + 7 : 0, 0}));
    }
}

// The shown summary's values are cells of the top groups' footer rows when its item is the
// one its column's footer cell shows.
void TdxDBGridExportXlsx::addChart() {
    Sheet& s = *sheet_;
    const GroupChart* chart = GroupChart::shownFor(*Grid);
    if (!chart || chart->data().empty())
        return;
    const TdxDBGridSummaryItems& items = Grid->DefaultGroup().SummaryItems;
    const int item = chart->summaryItem();
    const std::string column = item >= 0 ? items.Items(item).ColumnName() : std::string();
    int first = -1; // the item its column's footer cell shows
    for (int k = 0; k < items.Count() && first < 0 && !column.empty(); ++k)
        if (equalsIgnoringCase(items.Items(k).ColumnName(), column))
            first = k;
    int valueColumn = -1;
    const bool footers = Grid->ShowRowFooter() && !Grid->ShownCrossTable();
    for (size_t i = 0; i < s.cols.size() && footers && first == item; ++i)
        if (equalsIgnoringCase(s.cols[i].column->Name(), column))
            valueColumn = s.groups + static_cast<int>(i);
    s.chart = std::make_unique<XlsxChart>(*chart, valueColumn);
    s.w->setDrawing([&s] {
        return WorkbookWriter::DrawingParts{
            s.chart->drawingXml(s.groups + static_cast<int>(s.cols.size()) + 1),
            s.chart->chartXml()};
    });
}

int TdxDBGridExportXlsx::writeHeader(int64_t first) {
    Sheet& s = *sheet_;
    const int n = static_cast<int>(s.cols.size());
    int64_t row = first;
    if (const std::string heading = Heading(); !heading.empty()) {
        s.w->row(row++, 0);
        s.text(0, heading, s.heading);
    }
    if (Look.showBands) {
        s.w->row(row++, 0);
        for (int c = 0; c < s.groups + n; ++c) {
            if (c == s.groups)
                s.text(c, Look.bandCaption, s.band);
            else
                s.w->blank(c, s.band);
        }
    }
    if (Look.showHeader) {
        s.w->row(row++, 0);
        for (int c = 0; c < s.groups; ++c)
            s.w->blank(c, s.header);
        for (int i = 0; i < n; ++i) {
            const TdxDBGridColumn& col = *s.cols[static_cast<size_t>(i)].column;
            s.text(s.groups + i, CaptionDisabled(col) ? std::string() : col.Caption(), s.header);
        }
    }
    // The filter's range is known from the count made before writing: the sheet's share of
    // the rows still to come (on a later sheet, from the workbook's row CurrentRow on).
    const int64_t toCome = rowsBeforeSummary_ - (s.sheet == 0 ? row : CurrentRow);
    const int64_t last = std::min(s.rowLimit - 1, row - 1 + toCome);
    if (Look.showHeader && s.groups + n > 0)
        s.w->autofilter(row - 1, 0, std::max(last, row - 1), s.groups + n - 1);
    return static_cast<int>(row - first);
}

void TdxDBGridExportXlsx::WriteHeaderRows() {
    Sheet& s = *sheet_;
    s.headerRows = writeHeader(CurrentRow);
    CurrentRow += s.headerRows;
    s.firstDataRow = s.at(CurrentRow);
}

int64_t TdxDBGridExportXlsx::startRow(int level) {
    Sheet& s = *sheet_;
    if (CurrentRow - s.base >= s.rowLimit) {
        s.w->nextSheet();
        ++s.sheet;
        s.base = CurrentRow - s.headerRows;
        writeHeader(0);
    }
    const int64_t row = CurrentRow - s.base;
    s.w->row(row, std::min(level, kMaxOutlineLevel));
    return row;
}

void TdxDBGridExportXlsx::WriteNode(RowHandle node) {
    Sheet& s = *sheet_;
    WorkbookWriter& w = *s.w;
    TdxDBGrid& grid = *Grid;
    const int n = static_cast<int>(s.cols.size());
    if (grid.HasChildren(node)) {
        const int level = grid.Level(node);
        const int64_t row = startRow(level);
        const std::string text = grid.GroupRowText(node);
        s.text(level, text, s.group);
        if (level == 0 && s.chart)
            s.chart->groupRow(node, s.sheet, row, level, text);
        for (int c = level + 1; c < s.groups + n; ++c)
            w.blank(c, s.group);
        // A new group of this level starts, and with it every group inside it.
        s.groupRow[static_cast<size_t>(level)] = s.at(CurrentRow);
        s.pendingLevel = std::min(s.pendingLevel, level);
        for (int l = level; l < s.groups; ++l)
            for (int i = 0; i < n; ++i) {
                s.tallies[s.slot(l, i)] = SheetColumnTally{};
                s.foreign[s.slot(l, i)] = 0;
            }
        return;
    }
    for (; s.pendingLevel < s.groups; ++s.pendingLevel)
        s.groupTexts[static_cast<size_t>(s.pendingLevel)] =
            grid.CellText(node, grid.GroupColumns(s.pendingLevel));
    startRow(s.groups);
    for (int i = 0; i < n; ++i) {
        const Sheet::Col& c = s.cols[static_cast<size_t>(i)];
        const int col = s.groups + i;
        if (c.kind == CellKind::Empty)
            continue;
        if (c.kind == CellKind::Text) {
            const std::string t = grid.CellText(node, *c.column);
            s.text(col, t, 0);
            s.addText(i, t);
            continue;
        }
        // A null is no number: the cell stays empty, and the formulas pass over it as the
        // grid's summaries do.
        const Value v = grid.CellValue(node, *c.column);
        if (v.isNull())
            continue;
        if (c.kind == CellKind::Boolean) {
            w.boolean(col, v.asBool(), 0);
            s.addText(i, "b");
            continue;
        }
        int style = s.data[Sheet::formatIndex(c.kind)];
        std::optional<double> number;
        if (c.kind == CellKind::Integer && v.type() == Value::Type::Int) {
            number = spreadsheetInteger(v.asInt());
        } else if (c.kind == CellKind::Decimal || c.kind == CellKind::Integer) {
            // Kept as a number only when the double gives back the same decimal, shown whole.
            // An integer column may hold a fraction or a text that is no number (SQLite).
            if (const std::optional<Decimal> d =
                    v.type() == Value::Type::Text ? std::nullopt : v.asDecimal()) {
                number = cellNumber(v);
                style = s.decimalStyle(std::max(d->scale, c.scale));
            }
        } else if (c.kind == CellKind::Number && v.type() != Value::Type::Text &&
                   std::isfinite(v.asDouble())) {
            // NaN and the infinities go as their names, as the grid shows them.
            number = v.asDouble();
        } else if (spreadsheetDate(v, c.kind == CellKind::Time)) {
            number = v.asDouble();
        }
        if (number) {
            w.number(col, *number, style);
            s.addNumber(i, *number);
        } else {
            const std::string t = grid.CellText(node, *c.column);
            s.text(col, t, 0);
            s.addText(i, t);
        }
    }
    writeGroupFooters(node);
}

void TdxDBGridExportXlsx::writeGroupFooters(RowHandle node) {
    Sheet& s = *sheet_;
    const TdxDBGrid& grid = *Grid;
    const int n = static_cast<int>(s.cols.size());
    const int footers = grid.FooterRowCount(node);
    for (int j = 0; j < footers; ++j) {
        ++CurrentRow;
        const int level = grid.FooterLevel(node, j);
        // At its group's own level: collapsing the group leaves its row and its footer.
        const int64_t row = startRow(level);
        if (level == 0 && s.chart)
            s.chart->footerRow(s.sheet, row);
        s.text(level,
               GroupFooterLabel(grid, node, j, s.columns, s.groupTexts[static_cast<size_t>(level)]),
               s.footer[0]);
        for (int c = level + 1; c < s.groups; ++c)
            s.w->blank(c, s.footer[0]);
        for (int i = 0; i < n; ++i) {
            const Sheet::Col& c = s.cols[static_cast<size_t>(i)];
            if (!grid.FooterCellExists(node, *c.column, j)) {
                s.w->blank(s.groups + i, s.footer[0]);
                continue;
            }
            if (const int f = grid.ColumnFormula(*c.column); f >= 0) {
                s.formulaCell(s.at(CurrentRow).row, i, level,
                              grid.SummaryFormulas()[static_cast<size_t>(f)].expression,
                              SummaryEngine::formulaInputs(*grid.dataSet()),
                              grid.FooterCellValue(node, *c.column, j),
                              grid.FooterCellText(node, *c.column, j), [&](size_t k) {
                                  const TdxDBGridColumn& other = *s.cols[k].column;
                                  return grid.FooterCellExists(node, other, j) &&
                                                 grid.FooterCellShowAs(node, other, j) ==
                                                     ShowValuesAs::Value
                                             ? grid.FooterCellKind(node, other, j)
                                             : TdxSummaryType::cstNone;
                              });
                continue;
            }
            const Sheet::Pos group = s.groupRow[static_cast<size_t>(level)];
            s.footerCell(s.at(CurrentRow), i, level, {group.sheet, group.row + 1},
                         grid.FooterCellKind(node, *c.column, j),
                         grid.FooterCellValue(node, *c.column, j),
                         grid.FooterCellText(node, *c.column, j), c.footerPattern,
                         grid.FooterCellShowAs(node, *c.column, j));
        }
    }
}

std::string TdxDBGridExportXlsx::Sheet::areas(int col, Pos from, Pos to) const {
    const std::string name = WorkbookWriter::columnName(col);
    std::string out;
    for (int k = from.sheet; k <= to.sheet; ++k) {
        const int64_t first = k == from.sheet ? from.row : dataStart(k);
        const int64_t last = k == to.sheet ? to.row - 1 : rowLimit - 1;
        if (first > last)
            continue;
        if (!out.empty())
            out += ',';
        if (k != to.sheet)
            out += WorkbookWriter::sheetName(k) + "!";
        out += name + std::to_string(first + 1) + ":" + name + std::to_string(last + 1);
    }
    return out;
}

void TdxDBGridExportXlsx::Sheet::footerCell(Pos row, int i, int level, Pos fromRow,
                                            TdxSummaryType kind, const SummaryValue& value,
                                            const std::string& shown, const std::string& pattern,
                                            ShowValuesAs showAs) {
    const CellKind k = cols[static_cast<size_t>(i)].kind;
    if (showAs != ShowValuesAs::Value) {
        for (int l = -1; l < level; ++l)
            foreign[slot(l, i)] = 1;
        const int col = groups + i;
        const bool grandTotal = level < 0;
        const FooterContent content = footerContent(value);
        if (!content.number) {
            w->blank(col, footerNumberStyle(grandTotal, 0));
        } else if (ShowAsInfo(showAs).percent) {
            w->number(col, *content.number / 100, percentStyle(grandTotal));
        } else {
            const bool whole = showAs == ShowValuesAs::Rank || kind == TdxSummaryType::cstCount;
            w->number(
                col, *content.number,
                footerNumberStyle(grandTotal, whole ? 0 : footerPlaces(kind, pattern, value)));
        }
        return;
    }
    const bool grandTotal = level < 0;
    const bool dated =
        (kind == TdxSummaryType::cstMin || kind == TdxSummaryType::cstMax) && formatIndex(k) != 0;
    const int style = dated ? (grandTotal ? summary : footer)[formatIndex(k)]
                            : footerNumberStyle(grandTotal, footerPlaces(kind, pattern, value));
    const int col = groups + i;
    const size_t at = slot(level, i);
    const bool numeric = k != CellKind::Empty && k != CellKind::Text && k != CellKind::Boolean;
    const bool countable = kind == TdxSummaryType::cstCount && k != CellKind::Empty;
    // An exact value a double cannot hold keeps every digit as a text; a date footer that is
    // no spreadsheet date (BC, an infinity, a time beyond a day) goes as the grid shows it.
    const bool dateText = dated && !spreadsheetSerial(value.toDouble(), k == CellKind::Time);
    FooterContent content = footerContent(value);
    if (dateText && value.kind() == SummaryValue::Kind::Float)
        content.number.reset();
    const std::optional<double>& number = content.number;
    const std::string ranges = areas(col, fromRow, row);
    if (!ranges.empty() && !foreign[at] && number && (numeric || countable) &&
        FormulaGivesValue(kind, tallies[at], value)) {
        const std::string formula =
            "SUBTOTAL(" + std::to_string(SubtotalFunction(kind)) + "," + ranges + ")";
        w->formula(col, formula, *number, style);
        return;
    }
    // A value: the formulas of the enclosing groups would add it in.
    for (int l = -1; l < level; ++l)
        foreign[slot(l, i)] = 1;
    if (number)
        w->number(col, *number, style);
    else if (!content.exactText.empty())
        text(col, content.exactText, style);
    else if (!shown.empty())
        text(col, shown, style);
    else
        w->blank(col, style);
}

void TdxDBGridExportXlsx::Sheet::formulaCell(int64_t row, int i, int level,
                                             const std::string& expression,
                                             const std::vector<CalcInput>& inputs,
                                             const SummaryValue& value, const std::string& shown,
                                             const std::function<TdxSummaryType(size_t)>& kindOf) {
    for (int l = -1; l < level; ++l)
        foreign[slot(l, i)] = 1;
    const int col = groups + i;
    const int style = footerNumberStyle(level < 0, 4);
    const FooterContent content = footerContent(value);
    if (!content.number || value.micros()) {
        if (shown.empty())
            w->blank(col, style);
        else
            text(col, shown, style);
        return;
    }
    auto cellOf = [&](AggregateKind k, int field) -> std::optional<std::string> {
        const TdxSummaryType want = k == AggregateKind::Sum     ? TdxSummaryType::cstSum
                                    : k == AggregateKind::Count ? TdxSummaryType::cstCount
                                    : k == AggregateKind::Avg   ? TdxSummaryType::cstAvg
                                    : k == AggregateKind::Min   ? TdxSummaryType::cstMin
                                                                : TdxSummaryType::cstMax;
        for (size_t j = 0; j < cols.size(); ++j) {
            if (kindOf(j) != want)
                continue;
            if (want != TdxSummaryType::cstCount &&
                (field < 0 || !equalsIgnoringCase(cols[j].column->FieldName(),
                                                  inputs[static_cast<size_t>(field)].name)))
                continue;
            return WorkbookWriter::columnName(groups + static_cast<int>(j)) +
                   std::to_string(row + 1);
        }
        return std::nullopt;
    };
    if (const auto formula = SpreadsheetFormula(expression, inputs, cellOf))
        w->formula(col, *formula, *content.number, style);
    else
        w->number(col, *content.number, style);
}

void TdxDBGridExportXlsx::WriteFooterRows() {
    Sheet& s = *sheet_;
    const int n = static_cast<int>(s.cols.size());
    if (WritesSummaryRow()) {
        startRow(0);
        const int label = SummaryLabelCell(s.groups);
        for (int c = 0; c < s.groups; ++c)
            if (c == label)
                s.text(c, kGrandTotalLabel, s.summary[0]);
            else
                s.w->blank(c, s.summary[0]);
        for (int i = 0; i < n; ++i) {
            const TdxDBGridColumn& col = *s.cols[static_cast<size_t>(i)].column;
            if (s.groups + i == label) {
                s.text(s.groups + i, kGrandTotalLabel, s.summary[0]);
                continue;
            }
            if (!Grid->SummaryFooterCellExists(col)) {
                s.w->blank(s.groups + i, s.summary[0]);
                continue;
            }
            if (const int f = Grid->ColumnFormula(col); f >= 0) {
                s.formulaCell(
                    s.at(CurrentRow).row, i, -1,
                    Grid->SummaryFormulas()[static_cast<size_t>(f)].expression,
                    SummaryEngine::formulaInputs(*Grid->dataSet()), Grid->SummaryFooterValue(col),
                    Grid->SummaryFooterText(col), [&](size_t k) {
                        const TdxDBGridColumn& other = *s.cols[k].column;
                        const bool own =
                            other.SummaryFooterType() == TdxSummaryType::cstCount ||
                            equalsIgnoringCase(other.SummaryFooterField(), other.FieldName());
                        return own && Grid->ColumnFormula(other) < 0 &&
                                       Grid->SummaryFooterShowAs(other) == ShowValuesAs::Value
                                   ? other.SummaryFooterType()
                                   : TdxSummaryType::cstNone;
                    });
                continue;
            }
            const TdxSummaryType kind = col.SummaryFooterType();
            // The footer's value over its own column goes through a formula; over another
            // field it stays a value, as its column holds other numbers.
            const bool own = kind == TdxSummaryType::cstCount ||
                             equalsIgnoringCase(col.SummaryFooterField(), col.FieldName());
            const Sheet::Pos here = s.at(CurrentRow);
            s.footerCell(here, i, -1, own ? s.firstDataRow : here, kind,
                         Grid->SummaryFooterValue(col), Grid->SummaryFooterText(col),
                         col.SummaryFooterFormat(), Grid->SummaryFooterShowAs(col));
        }
    }
}

void TdxDBGridExportXlsx::EndDocument() {
    if (!sheet_ || !sheet_->w)
        return;
    Sheet& s = *sheet_;
    CutTexts = s.cutTexts;
    s.w->finish();
}

void ExportToXlsx(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                  const GridAppearance& look) {
    RunExport<TdxDBGridExportXlsx>(grid, fileName, saveAll, look);
}

} // namespace rg
