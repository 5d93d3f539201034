// Values reach the exported files as the grid holds them: 64-bit integers and decimals
// keep their digits where the format can, nulls stay empty, and the summary row shows
// what the grid's summary footer shows.

#include "common/codepage.h"
#include "common/displaytext.h"
#include "export/csvexport.h"
#include "export/excelexport.h"
#include "export/htmlexport.h"
#include "export/xlsxexport.h"
#include "export/xmlexport.h"
#include "exporttest.h"
#include "grid/summary.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace rg;

namespace {

const char* kValues = R"(
create table v(id integer primary key, grp text, big bigint, qty integer, money numeric(18,2), price real,
               day date, note text);
insert into v values (1, 'a', 9007199254740992, 5, 12345.67, 0.3, '2024-01-02', 'x');
insert into v values (2, 'a', 9007199254740993, null, 0.01, -0.1, null, null);
insert into v values (3, 'b', -9223372036854775808, 536870912, null, -0.2, '2023-12-31', 'y');
insert into v values (4, 'b', null, 7, 99.99, null, null, 'z');
insert into v values (5, 'c', null, null, null, null, null, 'w');
)";

double numberOf(const BiffRecord& r) {
    double d;
    std::memcpy(&d, r.data.data() + 6, 8);
    return d;
}

// The text of a LABEL record, as UTF-8.
std::string labelOf(const BiffRecord& r) {
    return fromAnsi(r.data.substr(8));
}

} // namespace

TEST(ExactExport, CellsKeepTheDigitsNullsStayEmpty) {
    ExportDb db(kValues);
    db.open("select id, grp, big, qty, money, price, day, note from v where id < 5 order by id");
    db.grid.SetKeyField("id");
    const std::string path = db.file("v.xls");
    ExportToSpreadsheet(db.grid, path, true, GridAppearance());
    const BiffFile f(readFile(path));

    // 2^53 a double holds, but a spreadsheet shows 15 digits; 2^53 + 1 and -2^63 only their
    // digits can carry.
    ASSERT_EQ(f.cell(1, 2)->id, 0x0204);
    EXPECT_EQ(labelOf(*f.cell(1, 2)), "9007199254740992");
    ASSERT_EQ(f.cell(2, 2)->id, 0x0204);
    EXPECT_EQ(labelOf(*f.cell(2, 2)), "9007199254740993");
    EXPECT_EQ(labelOf(*f.cell(3, 2)), "-9223372036854775808");
    // Beyond the RK range but exact in a double.
    EXPECT_EQ(f.cell(3, 3)->id, 0x0203);
    EXPECT_EQ(numberOf(*f.cell(3, 3)), 536870912.0);
    EXPECT_EQ(f.cell(1, 3)->id, 0x027E);
    // Decimals as their nearest double.
    EXPECT_EQ(f.cell(1, 4)->id, 0x0203);
    EXPECT_EQ(numberOf(*f.cell(1, 4)), 12345.67);
    EXPECT_EQ(numberOf(*f.cell(2, 4)), 0.01);
    // Nulls of every number kind: empty cells in the column's own format.
    for (const auto& [r, c] : std::vector<std::pair<int, int>>{{4, 2}, {2, 3}, {3, 4}, {4, 5}}) {
        ASSERT_NE(f.cell(r, c), nullptr) << r << "," << c;
        EXPECT_EQ(f.cell(r, c)->id, 0x0201) << r << "," << c;
        EXPECT_EQ(f.cell(r, c)->u16(4), 29 + c) << r << "," << c;
    }

    std::string err;
    const auto cells = readWithXlrd(path, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(cells.at({1, 2}), "s:9007199254740992");
    EXPECT_EQ(cells.at({2, 2}), "s:9007199254740993");
    EXPECT_EQ(cells.at({1, 4}), "n:12345.67");
    EXPECT_EQ(cells.at({2, 5}), "n:-0.1");
    EXPECT_EQ(cells.count({4, 2}), 0u);

    // The XML document carries every value's own digits.
    const std::string xmlPath = db.file("v.xml");
    ExportToXml(db.grid, xmlPath, true, GridAppearance());
    const std::string xml = readFile(xmlPath);
    for (const char* text : {"=\"9007199254740993\"", "=\"-9223372036854775808\"", "=\"12345.67\"",
                             "=\"0.01\"", "=\"99.99\"", "=\"536870912\"", "=\"-0.1\""})
        EXPECT_NE(xml.find(text), std::string::npos) << text;
}

TEST(ExactExport, SummaryRowShowsTheGridsFooter) {
    ExportDb db(kValues);
    db.open("select id, grp, big, qty, money, price, day, note from v where id < 5 order by id");
    TdxDBGrid& g = db.grid;
    const std::vector<std::pair<const char*, TdxSummaryType>> footers = {
        {"id", TdxSummaryType::cstCount},  {"grp", TdxSummaryType::cstMax},
        {"big", TdxSummaryType::cstSum},   {"qty", TdxSummaryType::cstMin},
        {"money", TdxSummaryType::cstAvg}, {"price", TdxSummaryType::cstSum},
        {"day", TdxSummaryType::cstMin},   {"note", TdxSummaryType::cstCount}};
    for (const auto& [field, kind] : footers) {
        g.ColumnByFieldName(field)->SetSummaryFooterField(field);
        g.ColumnByFieldName(field)->SetSummaryFooterType(kind);
    }
    g.SetKeyField("id");
    const std::string path = db.file("s.xls");
    ExportToSpreadsheet(g, path, true, GridAppearance());
    const BiffFile f(readFile(path));
    const int sr = 5;
    auto footer = [&](const char* field) {
        return g.SummaryFooterValue(*g.ColumnByFieldName(field));
    };

    // Live formulas where they compute the grid's value: COUNTA over four numbers, MIN
    // passing over the empty cell as the grid passes over the null, SUM over doubles.
    EXPECT_EQ(f.cell(sr, 0)->id, 0x0406);
    EXPECT_EQ(f.cell(sr, 3)->id, 0x0406);
    EXPECT_EQ(f.cell(sr, 5)->id, 0x0406);
    // The grid's values elsewhere. A sum over integers that are partly texts in the sheet,
    // beyond what a double holds: every digit as a text.
    ASSERT_EQ(f.cell(sr, 2)->id, 0x0204);
    EXPECT_EQ(footer("big").exact().toString(), "-9205357638345293823");
    EXPECT_EQ(labelOf(*f.cell(sr, 2)), "-9205357638345293823");
    // An average over 4 records, one of them null; AVERAGE would divide by 3.
    ASSERT_EQ(f.cell(sr, 4)->id, 0x0203);
    EXPECT_EQ(numberOf(*f.cell(sr, 4)), 3111.4175);
    // A maximum of texts and a minimum of dates: the footer's text.
    ASSERT_EQ(f.cell(sr, 1)->id, 0x0204);
    EXPECT_EQ(labelOf(*f.cell(sr, 1)), "MAX=b");
    EXPECT_EQ(labelOf(*f.cell(sr, 6)), "MIN=2023-12-31");
    // A count over a text column with a null: COUNTA might pass over the empty text.
    ASSERT_EQ(f.cell(sr, 7)->id, 0x0203);
    EXPECT_EQ(numberOf(*f.cell(sr, 7)), 4.0);

    // A spreadsheet that recalculates computes, in every formula cell, the value the grid's
    // footer shows (0.3 - 0.1 - 0.2 comes out as 0 there, as 0.00 in the grid).
    std::string err;
    const auto sheet = readWithLibreOffice(path, &err);
    ASSERT_TRUE(err.empty()) << err;
    int formulas = 0;
    for (const auto& [field, kind] : footers) {
        const TdxDBGridColumn& col = *g.ColumnByFieldName(field);
        const int c = col.Index();
        if (f.cell(sr, c)->id != 0x0406)
            continue;
        ++formulas;
        ASSERT_TRUE(sheet.count({sr, c})) << field;
        const std::optional<double> v = parseNumber(sheet.at({sr, c}));
        ASSERT_TRUE(v) << field << ": " << sheet.at({sr, c});
        EXPECT_EQ(FormatSummaryValue(kind, "", SummaryValueKind::Number, SummaryPlace::Footer, *v),
                  g.SummaryFooterText(col))
            << field;
    }
    EXPECT_EQ(formulas, 3);
    EXPECT_EQ(sheet.at({2, 2}), "9007199254740993"); // a text keeps its digits
}

TEST(ExactExport, FootersOverNullsOnlyAreEmpty) {
    ExportDb db(kValues);
    db.open("select id, grp, big, qty from v where id in (2, 5) order by id");
    TdxDBGrid& g = db.grid;
    addSummary(g, *g.ColumnByFieldName("qty"), TdxSummaryType::cstMin);
    addSummary(g, *g.ColumnByFieldName("big"), TdxSummaryType::cstMax);
    g.SetKeyField("id");
    g.GroupColumn(*g.ColumnByFieldName("grp"), 0);
    const std::string path = db.file("n.xls");
    ExportToSpreadsheet(g, path, true, GridAppearance());
    const BiffFile f(readFile(path));
    // Sheet: indent column 0; id 1, big 2, qty 3. Rows: header, group a, row 2, footer,
    // group c, row 5, footer, summary.
    ASSERT_EQ(f.rows(), 8);
    EXPECT_EQ(labelOf(*f.cell(3, 2)), "MAX=9007199254740993.00");
    for (int c : {2, 3}) {
        EXPECT_EQ(f.cell(6, c)->id, 0x0201) << c; // group c: no value at all
        EXPECT_EQ(f.cell(6, c)->u16(4), 27) << c;
    }
    EXPECT_EQ(f.cell(3, 3)->id, 0x0201); // group a's qty is null too
    // The summary footer: a minimum of nulls is an empty cell, not MIN(...) = 0; the
    // maximum, a text in the sheet, is the grid's value with every digit, as a double
    // would change it.
    EXPECT_EQ(f.cell(7, 3)->id, 0x0201);
    EXPECT_EQ(f.cell(7, 3)->u16(4), 25);
    ASSERT_EQ(f.cell(7, 2)->id, 0x0204);
    EXPECT_EQ(labelOf(*f.cell(7, 2)), "9007199254740993");
}

// The workbook's summary row: SUBTOTAL where it computes the grid's value, the grid's value
// (stored as a number or text) where it would not; recalculated, both show the grid's.
TEST(ExactExport, WorkbookSummaryRowShowsTheGridsFooter) {
    ExportDb db(kValues);
    db.open("select id, grp, big, qty, money, price, day, note from v where id < 5 order by id");
    TdxDBGrid& g = db.grid;
    const std::vector<std::pair<const char*, TdxSummaryType>> footers = {
        {"id", TdxSummaryType::cstCount},  {"grp", TdxSummaryType::cstMax},
        {"big", TdxSummaryType::cstSum},   {"qty", TdxSummaryType::cstMin},
        {"money", TdxSummaryType::cstAvg}, {"price", TdxSummaryType::cstSum},
        {"day", TdxSummaryType::cstMin},   {"note", TdxSummaryType::cstCount}};
    for (const auto& [field, kind] : footers) {
        g.ColumnByFieldName(field)->SetSummaryFooterField(field);
        g.ColumnByFieldName(field)->SetSummaryFooterType(kind);
    }
    g.SetKeyField("id");
    const std::string path = db.file("s.xlsx");
    ExportToXlsx(g, path, true, GridAppearance());
    const XlsxSheet s = readWithOpenpyxl(path);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_EQ(s.cells.at({2, 2}), "s:9007199254740993");
    EXPECT_EQ(s.cells.at({1, 4}), "n:12345.67");
    EXPECT_EQ(s.cells.at({5, 0}), "f:=SUBTOTAL(3,A2:A5)=4");
    EXPECT_EQ(s.cells.at({5, 1}), "s:MAX=b"); // a text footer as the grid shows it
    // SUM would skip the texts, and a double would lose the sum's last digits: every digit
    // as a text.
    EXPECT_EQ(s.cells.at({5, 2}), "s:-9205357638345293823");
    EXPECT_EQ(s.cells.at({5, 3}), "f:=SUBTOTAL(5,D2:D5)=5");
    EXPECT_EQ(s.cells.at({5, 4}).substr(0, 2), "n:"); // AVERAGE would divide by 3, not 4
    EXPECT_EQ(s.cells.at({5, 5}).substr(0, 21), "f:=SUBTOTAL(9,F2:F5)=");
    EXPECT_EQ(s.cells.at({5, 6}), "f:=SUBTOTAL(5,G2:G5)=datetime.datetime(2023, 12, 31, 0, 0)");
    EXPECT_EQ(s.cells.at({5, 7}), "n:4.0"); // COUNTA would pass over the null

    std::string err;
    const auto calc = readWithLibreOffice(path, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(calc.at({5, 0}), "4");
    EXPECT_EQ(calc.at({5, 3}), "5");
    EXPECT_EQ(calc.at({5, 4}),
              FormatSummaryValue(TdxSummaryType::cstAvg, "0.####", SummaryValueKind::Number,
                                 SummaryPlace::Footer,
                                 g.SummaryFooterValue(*g.ColumnByFieldName("money"))));
    EXPECT_EQ(calc.at({5, 6}), "2023-12-31");
    EXPECT_EQ(calc.at({5, 7}), "4");
}

// Sums past 2^53 keep every digit in the summary row as in the group footers above it, whether
// their records are numbers in the sheet or, past 2^53 themselves, texts; a sum a double holds
// stays a number.
TEST(ExactExport, SummaryRowKeepsTheDigitsOfLargeSums) {
    ExportDb db(R"(
        create table t(id integer primary key, grp text, a bigint, b bigint);
        insert into t values (1, 'x', 7702366820166726, 313980192069858117);
        insert into t values (2, 'x', 7702366820166727, 313980192069858119);
        insert into t values (3, 'y', 7702366820166726, 313980192069858118);
        insert into t values (4, 'y', 7702366820166727, 313980192069858118);)");
    db.open("select id, grp, a, b from t order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    for (const char* field : {"id", "a", "b"})
        addSummary(g, *g.ColumnByFieldName(field), TdxSummaryType::cstSum);
    g.GroupColumn(*g.ColumnByFieldName("grp"), 0);
    ASSERT_EQ(g.SummaryFooterValue(*g.ColumnByFieldName("a")).exact().toString(),
              "30809467280666906");
    ASSERT_EQ(g.SummaryFooterValue(*g.ColumnByFieldName("b")).exact().toString(),
              "1255920768279432472");

    // Sheet columns: the group column, then id, a and b; the summary row is the last of
    // header, two groups of a group row, two records and a footer.
    const int sr = 9;
    const std::string xls = db.file("t.xls");
    ExportToSpreadsheet(g, xls, true, GridAppearance());
    std::string err;
    const auto cells = readWithXlrd(xls, &err);
    ASSERT_TRUE(err.empty()) << err;
    const std::string groupSum =
        g.FooterCellText(g.Child(g.Top(0), 1), *g.ColumnByFieldName("a"), 0);
    EXPECT_NE(groupSum.find("15404733640333453"), std::string::npos) << groupSum;
    EXPECT_EQ(cells.at({4, 2}), "s:" + groupSum);
    EXPECT_EQ(cells.at({sr, 1}), "n:10.0");
    EXPECT_EQ(cells.at({sr, 2}), "s:30809467280666906");
    EXPECT_EQ(cells.at({sr, 3}), "s:1255920768279432472");

    const std::string xlsx = db.file("t.xlsx");
    ExportToXlsx(g, xlsx, true, GridAppearance());
    const XlsxSheet s = readWithOpenpyxl(xlsx);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_EQ(s.cells.at({sr, 1}), "f:=SUBTOTAL(9,B2:B9)=10");
    EXPECT_EQ(s.cells.at({sr, 2}), "s:30809467280666906");
    EXPECT_EQ(s.cells.at({sr, 3}), "s:1255920768279432472");
}

// What a spreadsheet would round or read as another number arrives in LibreOffice with every
// character: integers and decimals of more than 15 significant digits, and texts such as
// "007", "1E5" or an 18-digit code, from the .xlsx, the .xls and the CSV; doubles go with the
// shortest digits that read back as the same double (the grid shows 15: 12345678.1234568).
TEST(ExactExport, LongNumbersAndNumberLikeTextsArriveWholeInLibreOffice) {
    ExportDb db(R"(
        create table c(id integer primary key, code text, big bigint, amount decimal(20,2), price real,
                       w decimal(10,3));
        insert into c values (1, '007', 1234567890123456789, '99999999999999.98', 12345678.123456789, 1.105);
        insert into c values (2, '330102197512121234', 12345678901234568, 1.25, 1.7976931348623157e308, 2.215);
        insert into c values (3, '1E5', 42, 3.5, 0.1, 3.305);
        insert into c values (4, '12.50', 123456789012345, 2.5, 2.5, null);)");
    db.open("select id, code, big, amount, price, w from c order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    addSummary(g, *g.ColumnByFieldName("big"), TdxSummaryType::cstSum);
    addSummary(g, *g.ColumnByFieldName("w"), TdxSummaryType::cstSum);
    g.ReloadRows();
    // A sum in its column's three places.
    EXPECT_EQ(g.SummaryFooterText(*g.ColumnByFieldName("w")), "6.625");
    const std::string sum = "1247037025813703744";
    ASSERT_EQ(g.SummaryFooterValue(*g.ColumnByFieldName("big")).exact().toString(), sum);
    ASSERT_EQ(g.CellText(g.Top(0), *g.ColumnByFieldName("amount")), "99999999999999.98");

    // Every character, as LibreOffice computes the cells: sheet row 1 + record, the sum last.
    const std::map<std::pair<int, int>, std::string> whole = {
        {{1, 1}, "007"},
        {{2, 1}, "330102197512121234"},
        {{3, 1}, "1E5"},
        {{4, 1}, "12.50"},
        {{1, 2}, "1234567890123456789"},
        {{2, 2}, "12345678901234568"},
        {{1, 3}, "99999999999999.98"},
    };
    const std::string xlsx = db.file("c.xlsx");
    ExportToXlsx(g, xlsx, true, GridAppearance());
    const std::string xls = db.file("c.xls");
    ExportToSpreadsheet(g, xls, true, GridAppearance());
    for (const std::string& path : {xlsx, xls}) {
        std::string err;
        const auto calc = readWithLibreOffice(path, &err);
        ASSERT_TRUE(err.empty()) << err;
        for (const auto& [at, text] : whole)
            EXPECT_EQ(calc.at(at), text) << path << " " << at.first << "," << at.second;
        EXPECT_EQ(calc.at({5, 2}), sum) << path;
    }
    // Numbers a spreadsheet shows whole stay numbers.
    const XlsxSheet s = readWithOpenpyxl(xlsx);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_EQ(s.cells.at({4, 2}), "n:123456789012345.0");
    EXPECT_EQ(s.cells.at({2, 2}), "s:12345678901234568");
    EXPECT_EQ(s.cells.at({2, 3}), "n:1.25");
    EXPECT_EQ(s.cells.at({5, 2}), "s:" + sum);
    // Decimals in the column's largest scale, the sum in its own.
    EXPECT_EQ(s.formats.at({3, 3}), "0.00");
    EXPECT_EQ(s.formats.at({5, 5}), "#,##0.000");
    // A column of codes is as wide as its longest, in characters.
    EXPECT_GE(s.widths.at(1), 18.0);
    EXPECT_GE(s.widths.at(2), 19.0);
    EXPECT_GE(s.widths.at(3), 17.0);

    const std::string csv = db.file("c.csv");
    ExportToCsv(g, csv, true, GridAppearance());
    const std::string csvText = readFile(csv);
    for (const char* shortest : {"12345678.12345679", "1.7976931348623157e+308", ",0.1,"})
        EXPECT_NE(csvText.find(shortest), std::string::npos) << shortest << "\n" << csvText;
    const XlsxSheet imported = importCsvWithLibreOffice({csv}).at(0);
    ASSERT_EQ(imported.error, "");
    // A text the import keeps is a text cell, or a formula whose value is that text.
    const auto textOf = [&](std::pair<int, int> at) {
        const std::string& cell = imported.cells.at(at);
        if (cell.rfind("s:", 0) == 0)
            return cell.substr(2);
        const size_t value = cell.rfind("='");
        return cell.rfind("f:", 0) == 0 && value != std::string::npos && cell.back() == '\''
                   ? cell.substr(value + 2, cell.size() - value - 3)
                   : "(not a text) " + cell;
    };
    for (const auto& [at, text] : whole)
        EXPECT_EQ(textOf(at), text) << at.first << "," << at.second;
    EXPECT_EQ(textOf({5, 2}), sum + ".00"); // the footer as the grid shows it
    // A double stays a number, which LibreOffice's import reads to its 15 digits.
    EXPECT_EQ(imported.cells.at({1, 4}).rfind("n:12345678.123456", 0), 0u);
    EXPECT_EQ(imported.cells.at({2, 4}), "n:1.7976931348623157e+308");
    EXPECT_EQ(imported.cells.at({4, 2}), "n:123456789012345.0");
    EXPECT_EQ(imported.cells.at({2, 3}), "n:1.25");

    // The XML document and the web page carry the shortest digits of a double too.
    const std::string xml = db.file("c.xml");
    ExportToXml(g, xml, true, GridAppearance());
    EXPECT_NE(readFile(xml).find("=\"12345678.12345679\""), std::string::npos);
    const std::string html = db.file("c.html");
    ExportToHtml(g, html, true, GridAppearance());
    EXPECT_NE(readFile(html).find(">1.7976931348623157e+308<"), std::string::npos);
}
