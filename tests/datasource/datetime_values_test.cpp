// Dates and times as the servers have them, through the data layer into the grid: BC dates,
// infinities, years beyond 9999, fractions of a second, MariaDB times beyond a day and below
// zero. Every cell, the sorted order, the groups and the minimum and maximum footers are
// compared with the server's own texts; on SQLite, numbers that are no date.

#include "export/csvexport.h"
#include "export/excelexport.h"
#include "export/htmlexport.h"
#include "export/xlsxexport.h"
#include "export/xmlexport.h"
#include "exporttest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

using namespace rg;

namespace {

using Texts = std::vector<std::string>;

// MariaDB writes a fraction at the column's precision; the program leaves its trailing
// zeros out, as PostgreSQL does.
std::string trimFraction(std::string s) {
    const size_t dot = s.find('.');
    if (dot == std::string::npos)
        return s;
    size_t end = s.find_first_not_of("0123456789", dot + 1);
    if (end == std::string::npos)
        end = s.size();
    size_t last = end;
    while (last > dot + 1 && s[last - 1] == '0')
        --last;
    if (last == dot + 1)
        last = dot;
    return s.substr(0, last) + s.substr(end);
}

struct Server {
    std::function<std::string(const std::string&)> text; // SQL giving a column's text
    std::string nullsFirst; // what puts nulls first in an ascending order
};

class DateTimeValues : public ::testing::Test {
protected:
    TdxDBGridColumn& col(const std::string& field) { return *db.grid.ColumnByFieldName(field); }
    Texts column(const std::string& field) {
        Texts out;
        for (const VisibleRow& r : db.grid.VisibleRows())
            if (r.row.isData() && r.footer < 0)
                out.push_back(db.grid.CellText(r.row, col(field)));
        return out;
    }
    Texts server(const std::string& select) {
        DataSet q(&db.conn);
        q.SetCommandText(select);
        q.Open();
        Texts out;
        for (int r = 0; r < q.RecordCount(); ++r)
            out.push_back(trimFraction(q.displayText(r, 0)));
        return out;
    }

    // `source` is a derived table with an integer id and the fields; each field is checked
    // cell by cell, sorted, grouped and in minimum and maximum footers.
    void compareWithServer(const std::string& source, const Texts& fields, const Server& s,
                           bool footers = true) {
        const std::string from = " from (" + source + ") x";
        db.open("select *" + from + " order by id");
        TdxDBGrid& g = db.grid;
        g.SetKeyField("id");
        for (const std::string& f : fields) {
            SCOPED_TRACE(f);
            EXPECT_EQ(column(f), server("select " + s.text(f) + from + " order by id"));

            col(f).SetSorted(TdxTreeListColumnSort::csUp);
            EXPECT_EQ(column(f), server("select " + s.text(f) + " as shown" + from +
                                        " order by x." + f + s.nullsFirst));
            col(f).SetSorted(TdxTreeListColumnSort::csNone);

            // Values that differ only in their microseconds are groups of their own.
            ASSERT_TRUE(g.GroupColumn(col(f), 0));
            Texts groups, expected;
            for (int i = 0; i < g.TopCount(); ++i)
                groups.push_back(g.GroupRowText(g.Top(i)));
            for (const std::string& t :
                 server("select min(" + s.text(f) + ") as shown" + from + " group by x." + f +
                        " order by x." + f + s.nullsFirst))
                expected.push_back(f + " : " + t + " ");
            EXPECT_EQ(groups, expected);
            g.ClearGrouping();
            if (!footers)
                continue;

            col(f).SetSummaryFooterField(f);
            col(f).SetSummaryFooterType(TdxSummaryType::cstMin);
            g.ReloadRows();
            EXPECT_EQ(g.SummaryFooterText(col(f)),
                      "MIN=" + server("select " + s.text("min(" + f + ")") + from)[0]);
            col(f).SetSummaryFooterType(TdxSummaryType::cstMax);
            g.ReloadRows();
            EXPECT_EQ(g.SummaryFooterText(col(f)),
                      "MAX=" + server("select " + s.text("max(" + f + ")") + from)[0]);
            col(f).SetSummaryFooterType(TdxSummaryType::cstNone);
        }
    }

    ExportDb db{"create table t(id integer)"};
};

} // namespace

TEST_F(DateTimeValues, PostgreSQLErasInfinitiesAndMicroseconds) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    db.connect(pg);
    const std::string values = R"(select * from (values
        (1, date '4713-01-01 BC', timestamp '4713-01-01 00:00:00 BC', time '00:00:00'),
        (2, date 'infinity', timestamp 'infinity', time '24:00:00'),
        (3, date '-infinity', timestamp '-infinity', time '13:14:15.5'),
        (4, date '2024-01-02', timestamp '2024-01-02 03:04:05.000001', time '13:14:15.000001'),
        (5, date '2024-01-02', timestamp '2024-01-02 03:04:05.000002', time '13:14:15'),
        (6, date '12345-06-07', timestamp '2024-01-02 03:04:05', null),
        (7, date '0001-01-01', timestamp '2024-01-02 03:04:05.000002', time '23:59:59.999999'),
        (8, null, timestamp '9999-12-31 23:59:59.999999', time '00:00:00.000001'),
        (9, date '0001-12-31 BC', timestamp '0001-12-31 23:59:59.999999 BC', time '13:14:15.000001')
      ) as v(id, d, ts, t))";
    compareWithServer(values, {"d", "ts", "t"},
                      Server{[](const std::string& f) { return f + "::text"; }, " nulls first"});
    EXPECT_EQ(db.ds.FieldByName("d").Kind(), FieldKind::Date);
    EXPECT_EQ(db.ds.FieldByName("ts").Kind(), FieldKind::DateTime);
    EXPECT_EQ(db.ds.FieldByName("t").Kind(), FieldKind::Time);

    // A filter on a value of a microsecond finds only its own rows.
    TdxDBGrid& g = db.grid;
    const Value microsecond = db.ds.value(4, 2), bc = db.ds.value(0, 2); // ids 5 and 1
    g.Filter.SetColumnFilter(col("ts"), ColumnFilter::equalTo(microsecond));
    EXPECT_EQ(column("id"), (Texts{"5", "7"}));
    g.Filter.SetColumnFilter(col("ts"), ColumnFilter::equalTo(bc));
    EXPECT_EQ(column("id"), (Texts{"1"}));
    g.Filter.Clear();

    // PostgreSQL's last years, beyond the 290,000 years a count holds: the server's text,
    // after every date and before infinity.
    const std::string last =
        R"(select * from (values (1, date '5874897-12-31', timestamp '294276-12-31 23:59:59.999999'),
        (2, date 'infinity', timestamp 'infinity'), (3, date '2024-01-02', timestamp '2024-01-02 00:00:00'),
        (4, date '5874897-12-31', timestamp '294276-12-31 23:59:59.999999')) as v(id, d, ts))";
    compareWithServer(last, {"d", "ts"},
                      Server{[](const std::string& f) { return f + "::text"; }, " nulls first"},
                      false);
}

TEST_F(DateTimeValues, MariaDBTimesBeyondADayAndMicroseconds) {
    const std::string maria = rgtest::mariadbConnectionString();
    ASSERT_FALSE(maria.empty())
        << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    db.connect(maria);
    const std::string values = R"(
        select 1 as id, cast('25:00:00' as time(6)) as t, cast('2024-01-02 03:04:05.000001' as datetime(6)) as ts,
               cast('1000-01-01' as date) as d
        union all select 2, cast('-838:59:59' as time(6)), cast('2024-01-02 03:04:05.000002' as datetime(6)), cast('9999-12-31' as date)
        union all select 3, cast('838:59:59' as time(6)), cast('2024-01-02 03:04:05' as datetime(6)), null
        union all select 4, cast('-00:00:01.5' as time(6)), cast('2024-01-02 03:04:05.000002' as datetime(6)), cast('2024-02-29' as date)
        union all select 5, cast('00:00:00' as time(6)), cast('9999-12-31 23:59:59.999999' as datetime(6)), cast('2024-02-29' as date)
        union all select 6, cast('23:59:59.999999' as time(6)), null, cast('1000-01-01' as date)
        union all select 7, null, cast('1000-01-01 00:00:00.5' as datetime(6)), cast('2024-01-01' as date)
        union all select 8, cast('24:00:00' as time(6)), cast('2024-01-02 03:04:05.000001' as datetime(6)), cast('2024-01-01' as date))";
    compareWithServer(values, {"t", "ts", "d"},
                      Server{[](const std::string& f) { return "cast(" + f + " as char)"; }, ""});
    EXPECT_EQ(db.ds.FieldByName("t").Kind(), FieldKind::Time);
    EXPECT_EQ(db.ds.displayText(1, 1), "-838:59:59");
}

TEST_F(DateTimeValues, SQLiteNumbersThatAreNoDateShowAsThemselves) {
    const std::string path = rgtest::makeSqliteFile("dates", R"(
        create table s(id integer primary key, at datetime, day date, tm time);
        insert into s values (1, '2024-01-02 03:04:05.000001', 1e300, '25:00:00'),
          (2, '2024-01-02 03:04:05.000002', -1e300, '-00:00:01'), (3, '2024-01-02 03:04:05', 2460000.5, '12:00:00.5'),
          (4, 1e300, '2024-05-06', null), (5, '2024-01-02 03:04:05.000002', '4713-01-01 BC', '00:00:00');)");
    for (const bool odbc : {false, true}) {
        SCOPED_TRACE(odbc ? "SQLite ODBC" : "built-in SQLite");
        db.connect(odbc ? "Driver={SQLite3};Database=" + path
                        : "Provider=SQLite;Data Source=" + path);
        db.open("select * from s order by id");
        TdxDBGrid& g = db.grid;
        g.SetKeyField("id");
        const Texts at = column("at"), day = column("day");
        EXPECT_EQ(at[0], "2024-01-02 03:04:05.000001");
        EXPECT_EQ(at[2], "2024-01-02 03:04:05");
        // A Julian day number: the built-in provider reads it as SQLite's date functions do,
        // the ODBC driver hands over the number.
        EXPECT_EQ(day[2], odbc ? "2460000.5" : "2023-02-25");
        EXPECT_EQ(day[4], "4713-01-01 BC");
        EXPECT_EQ(column("tm"), (Texts{"25:00:00", "-00:00:01", "12:00:00.5", "", "00:00:00"}));
        // What the cells hold, as numbers, never a date that wrapped round.
        EXPECT_DOUBLE_EQ(std::strtod(day[0].c_str(), nullptr), 1e300) << day[0];
        EXPECT_DOUBLE_EQ(std::strtod(day[1].c_str(), nullptr), -1e300) << day[1];
        EXPECT_DOUBLE_EQ(std::strtod(at[3].c_str(), nullptr), 1e300) << at[3];

        // They order after (or before) every date, and the footers show them as they are.
        col("day").SetSorted(TdxTreeListColumnSort::csUp);
        EXPECT_EQ(column("id"),
                  odbc ? (Texts{"2", "5", "4", "1", "3"}) : (Texts{"2", "5", "3", "4", "1"}));
        col("day").SetSorted(TdxTreeListColumnSort::csNone);
        col("at").SetSummaryFooterType(TdxSummaryType::cstMax);
        col("day").SetSummaryFooterType(TdxSummaryType::cstMin);
        col("tm").SetSummaryFooterType(TdxSummaryType::cstMax);
        g.ReloadRows();
        EXPECT_DOUBLE_EQ(std::strtod(g.SummaryFooterText(col("at")).c_str() + 4, nullptr), 1e300);
        EXPECT_DOUBLE_EQ(std::strtod(g.SummaryFooterText(col("day")).c_str() + 4, nullptr), -1e300);
        EXPECT_EQ(g.SummaryFooterText(col("tm")), "MAX=25:00:00");

        // Values a microsecond apart are groups of their own, in order.
        ASSERT_TRUE(g.GroupColumn(col("at"), 0));
        Texts groups;
        for (int i = 0; i < g.TopCount(); ++i)
            groups.push_back(g.GroupRowText(g.Top(i)));
        ASSERT_EQ(groups.size(), 4u);
        EXPECT_EQ(groups[0], "at : 2024-01-02 03:04:05 ");
        EXPECT_EQ(groups[1], "at : 2024-01-02 03:04:05.000001 ");
        EXPECT_EQ(groups[2], "at : 2024-01-02 03:04:05.000002 ");
        EXPECT_EQ(g.ChildCount(g.Top(2)), 2);
        g.ClearGrouping();
        for (const char* f : {"at", "day", "tm"})
            col(f).SetSummaryFooterType(TdxSummaryType::cstNone);
    }
}

TEST_F(DateTimeValues, ExportsWriteWhatNoSpreadsheetDateCanHoldAsText) {
    const std::string path = rgtest::makeSqliteFile("dateexports", R"(
        create table s(id integer primary key, at datetime, tm time, day date);
        insert into s values (1, '2024-01-02 03:04:05.5', '12:00:00', '2024-01-31'),
          (2, '4713-01-01 00:00:00 BC', '25:00:00', '2024-13-01'),
          (3, 'infinity', '-00:00:01', null), (4, '-infinity', '00:00:00.25', '2024-02-30');)");
    db.connect("Provider=SQLite;Data Source=" + path);
    db.open("select * from s order by id");
    TdxDBGrid& g = db.grid;
    g.SetKeyField("id");
    col("at").SetSummaryFooterType(TdxSummaryType::cstMin);
    col("tm").SetSummaryFooterType(TdxSummaryType::cstMax);
    g.ReloadRows();
    EXPECT_EQ(g.SummaryFooterText(col("at")), "MIN=-infinity");
    EXPECT_EQ(g.SummaryFooterText(col("tm")), "MAX=25:00:00");
    // A text in a date column that is no date is the text the database returned.
    EXPECT_EQ(g.CellText(g.Top(1), col("day")), "2024-13-01");
    EXPECT_EQ(g.CellText(g.Top(3), col("day")), "2024-02-30");

    const std::string xlsx = db.file("d.xlsx");
    ExportToXlsx(g, xlsx, true, GridAppearance());
    const XlsxSheet s = readWithOpenpyxl(xlsx);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_EQ(s.cells.at({2, 1}), "s:4713-01-01 00:00:00 BC");
    EXPECT_EQ(s.cells.at({3, 1}), "s:infinity");
    EXPECT_EQ(s.cells.at({4, 1}), "s:-infinity");
    EXPECT_EQ(s.cells.at({2, 2}), "s:25:00:00");
    EXPECT_EQ(s.cells.at({3, 2}), "s:-00:00:01");
    EXPECT_NE(s.cells.at({1, 1}).substr(0, 2), "s:"); // a date the spreadsheet shows itself
    EXPECT_EQ(s.cells.at({5, 1}), "s:MIN=-infinity");
    EXPECT_EQ(s.cells.at({5, 2}), "s:MAX=25:00:00");
    EXPECT_EQ(s.cells.at({2, 3}), "s:2024-13-01");
    EXPECT_EQ(s.cells.at({4, 3}), "s:2024-02-30");
    EXPECT_EQ(s.cells.at({1, 3}), "d:2024-01-31T00:00:00");
    const std::string xls = db.file("d.xls");
    ExportToSpreadsheet(g, xls, true, GridAppearance());
    std::string err;
    const auto sheet = readWithXlrd(xls, &err);
    ASSERT_TRUE(err.empty()) << err;
    EXPECT_EQ(sheet.at({2, 3}), "s:2024-13-01");
    EXPECT_EQ(sheet.at({4, 3}), "s:2024-02-30");
    const std::string html = db.file("d.html");
    ExportToHtml(g, html, true, GridAppearance());
    EXPECT_NE(readFile(html).find(">2024-13-01<"), std::string::npos);

    // XML keeps the fraction in its date form and the rest as the cells show it; CSV as shown.
    const std::string xml = db.file("d.xml");
    ExportToXml(g, xml, true, GridAppearance());
    EXPECT_EQ(run("xmllint --noout '" + xml + "'"), 0);
    const std::string doc = readFile(xml);
    for (const char* t : {"\"2024-01-02T03:04:05.5\"", "\"4713-01-01 00:00:00 BC\"",
                          "\"-infinity\"", "\"25:00:00\"", "\"00:00:00.25\"", "\"2024-13-01\""})
        EXPECT_NE(doc.find(t), std::string::npos) << t;
    const std::string csv = db.file("d.csv");
    ExportToCsv(g, csv, true, GridAppearance());
    const std::string text = readFile(csv);
    for (const char* t :
         {"2024-01-02 03:04:05.5", "4713-01-01 00:00:00 BC", "infinity", "-00:00:01", "2024-13-01"})
        EXPECT_NE(text.find(t), std::string::npos) << t;
}
