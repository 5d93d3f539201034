#include "export/xlsxexport.h"

#include "common/asciicase.h"
#include "common/datetime.h"
#include "common/error.h"
#include "export/cellnumber.h"
#include "export/summarycell.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace rg {
namespace {

// Integers a double holds exactly: up to 2^53.
constexpr int64_t kExactDoubleInt = int64_t{1} << 53;
// Excel's serial 60 is its fictitious 1900-02-29: earlier dates would show a day off.
constexpr double kFirstSafeDateSerial = 61;
// The serial of 10000-01-01: a spreadsheet's dates end the day before.
constexpr double kEndDateSerial = 2958466;
constexpr uint8_t kMaxOutlineLevel = 7;
// Characters a cell holds.
constexpr size_t kMaxCellChars = 32767;

enum class CellKind : uint8_t {
    Empty,
    Integer,
    Number,
    Decimal,
    Boolean,
    Date,
    Time,
    DateTime,
    Text
};

CellKind cellKindOf(const TdxDBGridColumn& c) {
    if (c.FieldName().empty() || c.field() == nullptr)
        return CellKind::Empty;
    switch (c.field()->Kind()) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::AutoInc:
    case FieldKind::LargeInt:
        return CellKind::Integer;
    case FieldKind::Float:
    case FieldKind::Currency:
        return CellKind::Number;
    case FieldKind::BCD:
    case FieldKind::FMTBcd:
        return CellKind::Decimal;
    case FieldKind::Boolean:
        return CellKind::Boolean;
    case FieldKind::Date:
        return CellKind::Date;
    case FieldKind::Time:
        return CellKind::Time;
    case FieldKind::DateTime:
    case FieldKind::TimeStamp:
        return CellKind::DateTime;
    default:
        return CellKind::Text;
    }
}

// A date a spreadsheet shows as the grid does; a BC date, an infinity, a time beyond a day
// or a cell that holds no date goes as its text.
bool spreadsheetSerial(double serial, bool time) {
    if (time) return serial >= 0 && serial < 1;
    return serial >= kFirstSafeDateSerial && serial < kEndDateSerial;
}

bool spreadsheetDate(const Value& v, bool time) {
    if (!v.isDateLike() || isInfinityMicros(v.micros())) return false;
    return spreadsheetSerial(v.asDouble(), time);
}

void check(lxw_error e) {
    if (e != LXW_NO_ERROR)
        throw Error(format("写入 Excel 工作簿失败：%s", lxw_strerror(e)));
}

// At most the cell limit of characters, cut at a character boundary.
std::string cellText(std::string s) {
    size_t chars = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            continue;
        if (++chars > kMaxCellChars) {
            s.resize(i);
            break;
        }
    }
    return s;
}

std::string columnName(int col) {
    std::string s;
    for (int c = col + 1; c > 0; c = (c - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
    return s;
}

} // namespace

struct TdxDBGridExportXlsx::Sheet {
    struct Col {
        TdxDBGridColumn* column;
        CellKind kind;
    };
    std::string scratch; // the workbook as the library writes it, copied into the stream
    lxw_workbook* book = nullptr;
    lxw_worksheet* ws = nullptr;
    std::vector<Col> cols;
    int groups = 0;
    int firstDataRow = 0;
    // Per number format (general, date, time, date and time): data, footer, summary cells.
    lxw_format* data[4] = {};
    lxw_format* footer[4] = {};
    lxw_format* summary[4] = {};
    lxw_format *header = nullptr, *group = nullptr, *band = nullptr;
    // What the formulas see: slot 0 for the whole sheet, slot 1 + l for the current group of
    // level l; `foreign` marks a slot that holds a footer written as a value, which SUBTOTAL
    // would add in.
    std::vector<int> groupRow;
    std::vector<SheetColumnTally> tallies;
    std::vector<char> foreign;

    ~Sheet() {
        // An export that did not get to its end (an error, a cancel) is thrown away: its
        // workbook is freed without being zipped, which would take seconds on a large one.
        if (book)
            lxw_workbook_free(book);
        if (!scratch.empty())
            ::unlink(scratch.c_str());
    }
    size_t slot(int level, int i) const {
        return static_cast<size_t>(level + 1) * cols.size() + static_cast<size_t>(i);
    }
    void setRow(int row, int level) {
        lxw_row_col_options o{0, static_cast<uint8_t>(std::min<int>(level, kMaxOutlineLevel)), 0};
        check(worksheet_set_row_opt(ws, static_cast<lxw_row_t>(row), LXW_DEF_ROW_HEIGHT, nullptr,
                                    &o));
    }
    static int formatIndex(CellKind k) {
        return k == CellKind::Date ? 1 : k == CellKind::Time ? 2 : k == CellKind::DateTime ? 3 : 0;
    }
    void addNumber(int i, double v) {
        for (int l = -1; l < groups; ++l)
            tallies[slot(l, i)].addNumber(v);
    }
    void addText(int i, std::string_view s) {
        for (int l = -1; l < groups; ++l)
            tallies[slot(l, i)].addText(s);
    }
    void text(int row, int col, const std::string& s, lxw_format* f) {
        check(worksheet_write_string(ws, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
                                     cellText(s).c_str(), f));
    }
    void blank(int row, int col, lxw_format* f) {
        if (f)
            check(worksheet_write_blank(ws, static_cast<lxw_row_t>(row),
                                        static_cast<lxw_col_t>(col), f));
    }
    void number(int row, int col, double v, lxw_format* f) {
        check(worksheet_write_number(ws, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
                                     v, f));
    }
    // One footer cell: the formula over the rows of its group when it gives the grid's value,
    // otherwise the value itself.
    void footerCell(int row, int i, int level, int fromRow, TdxSummaryType kind,
                    const SummaryValue& value, const std::string& shown,
                    lxw_format* const* formats);
};

TdxDBGridExportXlsx::TdxDBGridExportXlsx() = default;
TdxDBGridExportXlsx::~TdxDBGridExportXlsx() = default;

void TdxDBGridExportXlsx::CheckLimits(const std::vector<RowHandle>& nodes) {
    const int64_t columns =
        Grid->GroupColumnCount() + static_cast<int64_t>(VisibleExportColumns().size());
    if (columns > kMaxSheetColumns)
        throw Error(format("Excel 工作簿最多容纳 %lld 列，此报表需要 %lld 列，无法输出。",
                           static_cast<long long>(kMaxSheetColumns),
                           static_cast<long long>(columns)));
    int64_t rows = (Look.showBands ? 1 : 0) + (Look.showHeader ? 1 : 0);
    for (RowHandle r : nodes)
        rows += 1 + (r.isData() ? Grid->FooterRowCount(r) : 0);
    rowsBeforeSummary_ = rows;
    if (Grid->ShowSummaryFooter)
        ++rows;
    if (rows > kMaxSheetRows)
        throw Error(format("Excel 工作簿最多容纳 %lld 行，此报表需要 %lld 行，无法输出。",
                           static_cast<long long>(kMaxSheetRows), static_cast<long long>(rows)));
}

void TdxDBGridExportXlsx::BeginDocument() {
    sheet_ = std::make_unique<Sheet>();
    Sheet& s = *sheet_;
    std::string pattern = (std::filesystem::temp_directory_path() / "rg-xlsx-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw Error(format("Cannot create file \"%s\". %s", pattern.c_str(), std::strerror(errno)));
    ::close(fd);
    s.scratch = pattern;
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    s.book = workbook_new_opt(s.scratch.c_str(), &options);
    if (!s.book)
        throw Error(format("Cannot create file \"%s\". %s", FileName.c_str(), "workbook"));
    s.ws = workbook_add_worksheet(s.book, nullptr);
    if (!s.ws)
        throw Error("写入 Excel 工作簿失败");

    s.groups = Grid->GroupColumnCount();
    for (TdxDBGridColumn* c : VisibleExportColumns())
        s.cols.push_back({c, cellKindOf(*c)});
    const int n = static_cast<int>(s.cols.size());
    s.groupRow.assign(static_cast<size_t>(s.groups), 0);
    s.tallies.assign(static_cast<size_t>(s.groups + 1) * s.cols.size(), SheetColumnTally{});
    s.foreign.assign(s.tallies.size(), 0);

    const std::string font = Look.font.name;
    auto makeFormat = [&](const char* numberFormat, bool bold, RgbColor fill, RgbColor fontColor) {
        lxw_format* f = workbook_add_format(s.book);
        format_set_font_name(f, font.c_str());
        format_set_font_size(f, Look.font.size);
        format_set_font_color(f, fontColor);
        if (bold)
            format_set_bold(f);
        if (numberFormat)
            format_set_num_format(f, numberFormat);
        if (fill != 0xFFFFFFFF)
            format_set_bg_color(f, fill);
        return f;
    };
    const char* numberFormats[4] = {nullptr, "yyyy-mm-dd", "hh:mm:ss", "yyyy-mm-dd hh:mm:ss"};
    for (int k = 0; k < 4; ++k) {
        s.data[k] = makeFormat(numberFormats[k], false, 0xFFFFFFFF, Look.font.color);
        s.footer[k] =
            makeFormat(numberFormats[k], false, Look.rowFooterColor, Look.rowFooterTextColor);
        s.summary[k] = makeFormat(numberFormats[k], true, Look.headerColor, Look.headerFont.color);
    }
    s.header = makeFormat(nullptr, true, Look.headerColor, Look.headerFont.color);
    s.group = makeFormat(nullptr, true, Look.groupNodeColor, Look.groupNodeTextColor);
    s.band = makeFormat(nullptr, true, Look.bandColor, Look.bandFont.color);
    format_set_border(s.header, LXW_BORDER_THIN);

    // Below each group, as footers sit in the grid.
    worksheet_outline_settings(s.ws, LXW_TRUE, LXW_TRUE, LXW_FALSE, LXW_FALSE);
    if (s.groups > 0)
        check(worksheet_set_column_pixels(s.ws, 0, static_cast<lxw_col_t>(s.groups - 1), 20,
                                          nullptr));
    for (int i = 0; i < n; ++i)
        check(worksheet_set_column_pixels(
            s.ws, static_cast<lxw_col_t>(s.groups + i), static_cast<lxw_col_t>(s.groups + i),
            static_cast<uint32_t>(std::max(s.cols[static_cast<size_t>(i)].column->Width(), 0)),
            nullptr));
}

void TdxDBGridExportXlsx::WriteHeaderRows() {
    Sheet& s = *sheet_;
    const int n = static_cast<int>(s.cols.size());
    if (Look.showBands) {
        s.setRow(CurrentRow, 0);
        for (int c = 0; c < s.groups + n; ++c)
            s.blank(CurrentRow, c, s.band);
        if (n > 0)
            s.text(CurrentRow, s.groups, Look.bandCaption, s.band);
        ++CurrentRow;
    }
    if (Look.showHeader) {
        s.setRow(CurrentRow, 0);
        for (int c = 0; c < s.groups; ++c)
            s.blank(CurrentRow, c, s.header);
        for (int i = 0; i < n; ++i) {
            const TdxDBGridColumn& col = *s.cols[static_cast<size_t>(i)].column;
            s.text(CurrentRow, s.groups + i, CaptionDisabled(col) ? std::string() : col.Caption(),
                   s.header);
        }
        ++CurrentRow;
    }
    s.firstDataRow = CurrentRow;
    if (CurrentRow > 0)
        worksheet_freeze_panes(s.ws, static_cast<lxw_row_t>(CurrentRow), 0);
    // Streamed rows cannot be reached again: the filter's range is set now, from the count.
    if (Look.showHeader && s.groups + n > 0)
        check(worksheet_autofilter(
            s.ws, static_cast<lxw_row_t>(CurrentRow - 1), 0,
            static_cast<lxw_row_t>(std::max<int64_t>(rowsBeforeSummary_ - 1, CurrentRow - 1)),
            static_cast<lxw_col_t>(s.groups + n - 1)));
}

void TdxDBGridExportXlsx::WriteNode(RowHandle node) {
    Sheet& s = *sheet_;
    const TdxDBGrid& grid = *Grid;
    const int n = static_cast<int>(s.cols.size());
    if (grid.HasChildren(node)) {
        const int level = grid.Level(node);
        s.setRow(CurrentRow, level);
        s.text(CurrentRow, level, grid.GroupRowText(node), s.group);
        for (int c = level + 1; c < s.groups + n; ++c)
            s.blank(CurrentRow, c, s.group);
        // A new group of this level starts, and with it every group inside it.
        s.groupRow[static_cast<size_t>(level)] = CurrentRow;
        for (int l = level; l < s.groups; ++l)
            for (int i = 0; i < n; ++i) {
                s.tallies[s.slot(l, i)] = SheetColumnTally{};
                s.foreign[s.slot(l, i)] = 0;
            }
        return;
    }
    s.setRow(CurrentRow, s.groups);
    for (int i = 0; i < n; ++i) {
        const Sheet::Col& c = s.cols[static_cast<size_t>(i)];
        const int col = s.groups + i;
        if (c.kind == CellKind::Empty)
            continue;
        if (c.kind == CellKind::Text) {
            const std::string t = grid.CellText(node, *c.column);
            s.text(CurrentRow, col, t, nullptr);
            s.addText(i, t);
            continue;
        }
        // A null is no number: the cell stays empty, and the formulas pass over it as the
        // grid's summaries do.
        const Value v = grid.CellValue(node, *c.column);
        if (v.isNull())
            continue;
        lxw_format* f = s.data[Sheet::formatIndex(c.kind)];
        const auto r = static_cast<lxw_row_t>(CurrentRow);
        const auto cc = static_cast<lxw_col_t>(col);
        if (c.kind == CellKind::Boolean) {
            check(worksheet_write_boolean(s.ws, r, cc, v.asBool(), nullptr));
            s.addText(i, "b");
            continue;
        }
        std::optional<double> number;
        if (c.kind == CellKind::Integer) {
            const int64_t i64 = v.asInt();
            if (i64 >= -kExactDoubleInt && i64 <= kExactDoubleInt)
                number = static_cast<double>(i64);
        } else if (c.kind == CellKind::Decimal || c.kind == CellKind::Number) {
            // Kept as a number only when the double gives back the same value.
            number = cellNumber(v);
        } else if (spreadsheetDate(v, c.kind == CellKind::Time)) {
            number = v.asDouble();
        }
        if (number) {
            s.number(CurrentRow, col, *number, f);
            s.addNumber(i, *number);
        } else {
            const std::string t = grid.CellText(node, *c.column);
            s.text(CurrentRow, col, t, nullptr);
            s.addText(i, t);
        }
    }
    const int footers = grid.FooterRowCount(node);
    for (int j = 0; j < footers; ++j) {
        ++CurrentRow;
        const int level = grid.FooterLevel(node, j);
        s.setRow(CurrentRow, level + 1);
        for (int c = level + 1; c < s.groups; ++c)
            s.blank(CurrentRow, c, s.footer[0]);
        for (int i = 0; i < n; ++i) {
            const TdxDBGridColumn& col = *s.cols[static_cast<size_t>(i)].column;
            if (!grid.FooterCellExists(node, col, j)) {
                s.blank(CurrentRow, s.groups + i, s.footer[0]);
                continue;
            }
            const TdxSummaryType kind = grid.FooterCellKind(node, col, j);
            s.footerCell(CurrentRow, i, level, s.groupRow[static_cast<size_t>(level)] + 1, kind,
                         grid.FooterCellValue(node, col, j), grid.FooterCellText(node, col, j),
                         s.footer);
        }
    }
}

void TdxDBGridExportXlsx::Sheet::footerCell(int row, int i, int level, int fromRow,
                                            TdxSummaryType kind, const SummaryValue& value,
                                            const std::string& shown, lxw_format* const* formats) {
    const CellKind k = cols[static_cast<size_t>(i)].kind;
    const bool dated = kind != TdxSummaryType::cstCount && kind != TdxSummaryType::cstSum &&
                       kind != TdxSummaryType::cstAvg;
    lxw_format* f = formats[dated ? formatIndex(k) : 0];
    const int col = groups + i;
    const size_t at = slot(level, i);
    const bool numeric = k != CellKind::Empty && k != CellKind::Text && k != CellKind::Boolean;
    const bool countable = kind == TdxSummaryType::cstCount && k != CellKind::Empty;
    const std::optional<double> held = footerNumber(value);
    if (fromRow < row && !foreign[at] && (numeric || countable) && held &&
        FormulaGivesValue(kind, tallies[at], value)) {
        const std::string range = columnName(col) + std::to_string(fromRow + 1) + ":" +
                                  columnName(col) + std::to_string(row);
        const std::string formula =
            "=SUBTOTAL(" + std::to_string(SubtotalFunction(kind)) + "," + range + ")";
        check(worksheet_write_formula_num(ws, static_cast<lxw_row_t>(row),
                                          static_cast<lxw_col_t>(col), formula.c_str(), f,
                                          *held));
        return;
    }
    // A value: the formulas of the enclosing groups would add it in.
    for (int l = -1; l < level; ++l)
        foreign[slot(l, i)] = 1;
    // A date footer that is no spreadsheet date (BC, an infinity, a time beyond a day) goes
    // as the grid shows it.
    const bool dateText = dated && (k == CellKind::Date || k == CellKind::DateTime || k == CellKind::Time) &&
                          !spreadsheetSerial(value.toDouble(), k == CellKind::Time);
    if (held && !dateText)
        number(row, col, *held, f);
    else if (!shown.empty())
        text(row, col, shown, f);
    else
        blank(row, col, f);
}

void TdxDBGridExportXlsx::WriteFooterRows() {
    Sheet& s = *sheet_;
    const int n = static_cast<int>(s.cols.size());
    if (Grid->ShowSummaryFooter) {
        s.setRow(CurrentRow, 0);
        for (int c = 0; c < s.groups; ++c)
            s.blank(CurrentRow, c, s.summary[0]);
        for (int i = 0; i < n; ++i) {
            const TdxDBGridColumn& col = *s.cols[static_cast<size_t>(i)].column;
            if (!Grid->SummaryFooterCellExists(col)) {
                s.blank(CurrentRow, s.groups + i, s.summary[0]);
                continue;
            }
            const TdxSummaryType kind = col.SummaryFooterType();
            // The footer's value over its own column goes through a formula; over another
            // field it stays a value, as its column holds other numbers.
            const bool own = kind == TdxSummaryType::cstCount ||
                             equalsIgnoringCase(col.SummaryFooterField(), col.FieldName());
            const int fromRow = own ? s.firstDataRow : CurrentRow;
            s.footerCell(CurrentRow, i, -1, fromRow, kind, Grid->SummaryFooterValue(col),
                         Grid->SummaryFooterText(col), s.summary);
        }
    }
}

void TdxDBGridExportXlsx::EndDocument() {
    if (!sheet_ || !sheet_->book)
        return;
    Sheet& s = *sheet_;
    const lxw_error e = workbook_close(s.book);
    s.book = nullptr;
    check(e);
    FILE* in = std::fopen(s.scratch.c_str(), "rb");
    if (!in)
        throw Error("Stream write error");
    char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        Stream->Write(buffer, got);
    const bool failed = std::ferror(in) != 0;
    std::fclose(in);
    if (failed)
        throw Error("Stream write error");
}

void ExportToXlsx(TdxDBGrid& grid, const std::string& fileName, bool saveAll,
                  const GridAppearance& look) {
    RunExport<TdxDBGridExportXlsx>(grid, fileName, saveAll, look);
}

} // namespace rg
