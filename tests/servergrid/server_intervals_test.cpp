// Grouping by date intervals and number ranges on the server gives the groups memory gives:
// the same keys and captions, footers and rows of each group, on PostgreSQL and MariaDB,
// with ISO weeks across the turn of the year, BC dates and infinities, decimals on the
// bounds of their ranges, negative numbers and doubles whose quotient falls just short of
// a bound. The groups are those of the server's own SQL. Cross tables over those levels
// give the cells memory gives.

#include "datasource/dataset.h"
#include "export/listingexport.h"
#include "grid/grid.h"
#include "odbcsession.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace rg;

namespace {

std::string firstDifference(const std::string& a, const std::string& b) {
    size_t line = 0, at = 0;
    while (at < a.size() && at < b.size()) {
        const size_t ea = a.find('\n', at), eb = b.find('\n', at);
        const std::string la = a.substr(at, ea - at), lb = b.substr(at, eb - at);
        if (la != lb)
            return "line " + std::to_string(line) + ": " + la + " | " + lb;
        if (ea == std::string::npos)
            break;
        at = ea + 1;
        ++line;
    }
    return a.size() == b.size() ? std::string() : "the lengths differ";
}

struct Level {
    const char* field;
    const char* interval;
};

// Every group's cells, row total included, in the order shown, then the column totals.
void crossLines(const TdxDBGrid& grid, const CrossTable& x, RowHandle parent, std::string& out) {
    for (const RowHandle g : grid.CrossChildren(parent)) {
        out += grid.GroupRowText(g);
        for (int c = 0; c < x.columnCount(); ++c)
            out += " | " + x.text(x.cell(g.index, c));
        out += " | " + x.text(x.rowTotal(g.index)) + "\n";
        crossLines(grid, x, g, out);
    }
}

std::string crossText(const TdxDBGrid& grid) {
    const CrossTable* x = grid.ShownCrossTable();
    if (!x)
        return "no cross table";
    std::string out;
    for (int c = 0; c < x->columnCount(); ++c)
        out += " | " + x->columnText(c);
    out += "\n";
    crossLines(grid, *x, RowHandle{}, out);
    out += kCrossTotalText;
    for (int c = 0; c < x->columnCount(); ++c)
        out += " | " + x->text(x->columnTotal(c));
    return out + " | " + x->text(x->grandTotal()) + "\n";
}

std::string reportCsv(const std::string& connectionString, RowPlacement p,
                      const std::vector<Level>& levels, const std::string& filter,
                      const CrossTableDef* cross = nullptr) {
    Connection conn;
    conn.SetConnectionString(connectionString);
    DataSet ds(&conn);
    TdxDBGrid grid;
    grid.SetDataSet(&ds);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("sv_iv");
    ds.SetRowPlacement(p);
    ds.Open();
    EXPECT_EQ(ds.ServerSide(), p == RowPlacement::Server);
    {
        grid.SetShowRowFooter(true);
        grid.SetShowSummaryFooter(true);
        GridUpdate update(grid);
        GroupingUpdate grouping(grid);
        grid.CreateColumnsForFields(ds);
        grid.SetKeyField("id");
        for (const char* field : {"amount", "r"}) {
            TdxDBGridColumn& c = *grid.ColumnByFieldName(field);
            TdxDBGridSummaryItem& item = grid.DefaultGroup().SummaryItems.Add();
            item.SetColumnName(c.Name());
            item.SetSummaryField(field);
            item.SetSummaryType(TdxSummaryType::cstSum);
            c.SetSummaryFooterField(field);
            c.SetSummaryFooterType(TdxSummaryType::cstSum);
        }
        grid.DefaultGroup().SummaryItems.Add().SetSummaryType(TdxSummaryType::cstCount);
        for (size_t i = 0; i < levels.size(); ++i) {
            TdxDBGridColumn& c = *grid.ColumnByFieldName(levels[i].field);
            c.SetGroupInterval(parseInterval(levels[i].interval));
            grid.GroupColumn(c, static_cast<int>(i));
        }
        grid.ColumnByFieldName("id")->SetSorted(TdxTreeListColumnSort::csUp);
    }
    ds.SetFilter(filter);
    if (cross)
        grid.SetCrossTable(*cross);
    const std::string csv = cross ? crossText(grid) : gridAsCsv(grid);
    grid.SetDataSet(nullptr);
    return csv;
}

// The report (or its cross table) in both placements; returns memory's.
std::string sameInBoth(const std::string& cs, const std::vector<Level>& levels,
                       const std::string& filter = "", const CrossTableDef* cross = nullptr) {
    const std::string memory = reportCsv(cs, RowPlacement::Memory, levels, filter, cross);
    const std::string server = reportCsv(cs, RowPlacement::Server, levels, filter, cross);
    std::string what;
    for (const Level& l : levels)
        what += std::string(l.field) + ":" + l.interval + " ";
    EXPECT_EQ(firstDifference(memory, server), "") << what << "where " << filter;
    return memory;
}

// The outermost groups of a report are those of the server's own SQL: as many, and each
// caption (made by `caption` of a result row's other columns) on a group line with the
// row's last column, its count; with `all`, no other group.
using Caption = std::string (*)(const std::vector<std::string>&);

void groupsAsSql(const std::string& csv, rgtest::OdbcSession& s, const std::string& sql,
                 Caption caption, bool all = true) {
    const std::vector<std::vector<std::string>> rows = s.rows(sql);
    ASSERT_FALSE(rows.empty()) << sql;
    std::vector<std::string> lines;
    for (size_t at = csv.find("\ngroup,0,"); at != std::string::npos;
         at = csv.find("\ngroup,0,", at + 1))
        lines.push_back(csv.substr(at + 1, csv.find('\n', at + 1) - at - 1));
    if (all)
        EXPECT_EQ(lines.size(), rows.size()) << sql;
    for (const auto& row : rows) {
        const std::string text = caption(row);
        bool found = false;
        for (const std::string& line : lines)
            found = found || (line.find(text) != std::string::npos &&
                              line.find("COUNT=" + row.back() + ")") != std::string::npos);
        EXPECT_TRUE(found) << text << " with " << row.back() << " rows, from " << sql << "\n"
                           << (lines.empty() ? "" : lines[0]);
    }
}

// The group of nulls (a null first column) shows no caption.
std::string rangeCaption(const std::vector<std::string>& r) {
    std::string start = r[0];
    if (start.empty())
        return " :  (";
    while (start.find('.') != std::string::npos && (start.back() == '0' || start.back() == '.'))
        start.pop_back();
    return "[" + (start == "-0" ? "0" : start) + ", ";
}
std::string weekCaption(const std::vector<std::string>& r) {
    return r[0].empty() ? " :  (" : r[0] + "年第" + r[1] + "周";
}
std::string quarterCaption(const std::vector<std::string>& r) {
    return r[0].empty() ? " :  (" : r[0] + "年第" + r[1] + "季度";
}

const std::vector<std::vector<Level>> kReports{
    {{"d", "周"}},
    {{"d", "季度"}, {"amount", "区间1"}},
    {{"d", "年"}, {"qty", "区间100"}},
    {{"d", "年"}},
    {{"ts", "日"}},
    {{"ts", "年"}, {"r", "区间5"}},
    {{"amount", "区间2.5"}, {"d", "年"}},
    {{"r", "区间1.5"}},
    {{"r", "区间0.1"}},
    {{"qty", "区间70"}, {"ts", "月"}},
};

// Cross tables of every kind of cell, by value and by interval, under two levels, one or
// none, filtered or not.
void checkCrossTables(const std::string& cs) {
    const std::vector<CrossTableDef> crosses{
        {"d", {GroupInterval::Quarter, 0}, TdxSummaryType::cstSum, "amount"},
        {"qty", {GroupInterval::Range, 250}, TdxSummaryType::cstAvg, "amount"},
        {"ts", {GroupInterval::Year, 0}, TdxSummaryType::cstCount, ""},
        {"amount", {GroupInterval::Range, 5}, TdxSummaryType::cstMax, "ts"},
        {"r", {GroupInterval::Range, 20}, TdxSummaryType::cstMin, "qty"},
        {"r", {GroupInterval::Range, 20}, TdxSummaryType::cstSum, "r"},
    };
    const std::vector<std::vector<Level>> groupings{
        {}, {{"d", "年"}}, {{"d", "年"}, {"qty", "区间500"}}};
    for (const CrossTableDef& x : crosses)
        for (const std::vector<Level>& levels : groupings) {
            const std::string memory = sameInBoth(cs, levels, "", &x);
            EXPECT_EQ(memory.find("no cross table"), std::string::npos) << x.field;
        }
    const CrossTableDef years{"ts", {GroupInterval::Year, 0}, TdxSummaryType::cstSum, "amount"};
    sameInBoth(cs, {{"amount", "区间5"}}, "qty > 0", &years);
}

// Booleans compare with FALSE below TRUE, as memory has them; the rows kept are those the
// server's own condition keeps (MariaDB's BOOLEAN is a TINYINT, which both read as numbers).
void checkBooleans(const std::string& cs, rgtest::OdbcSession& s, bool pg) {
    const std::vector<std::pair<const char*, const char*>> filters{
        {"ok > FALSE", "ok"},
        {"ok < TRUE", "not ok"},
        {"ok >= TRUE", "ok"},
        {"ok <= FALSE", "not ok"},
        {"ok = TRUE", "ok"},
        {"ok <> FALSE", "ok"},
        {"ok < FALSE", "1 = 0"},
        {"ok in (TRUE)", "ok"},
        {"not ok > FALSE", "not ok or ok is null"}};
    for (const auto& [filter, sql] : filters) {
        const std::string csv = sameInBoth(cs, {{"d", "年"}}, filter);
        // The filter's NOT keeps the rows of nulls.
        const std::string f = filter;
        const std::string where = pg ? sql : f.starts_with("not") ? f + " or ok is null" : f;
        long long rows = 0;
        for (size_t at = csv.find("\ndata,"); at != std::string::npos;
             at = csv.find("\ndata,", at + 1))
            ++rows;
        EXPECT_EQ(rows, s.number("select count(*) from sv_iv where " + where)) << filter;
    }
}

void checkIntervals(const std::string& cs, rgtest::OdbcSession& s, bool pg) {
    for (const std::vector<Level>& levels : kReports)
        sameInBoth(cs, levels);
    for (const char* filter : {"qty > 0", "amount >= 0.3 and amount < 0.7", "r = 0.3"})
        sameInBoth(cs, {{"amount", "区间1"}, {"d", "年"}}, filter);
    // Decimals on a bound open their range; a double just short of it stays below.
    const std::string amounts = sameInBoth(cs, {{"amount", "区间0.1"}});
    EXPECT_NE(amounts.find("[0.3, 0.4)"), std::string::npos);
    groupsAsSql(
        amounts, s,
        "select floor(amount / 0.1) * 0.1, count(*) from sv_iv group by floor(amount / 0.1)",
        rangeCaption);
    groupsAsSql(sameInBoth(cs, {{"d", "周"}}), s,
                pg ? "select extract(isoyear from d), extract(week from d), count(*) from sv_iv "
                     "where isfinite(d) and d > '0001-01-01' group by 1, 2"
                   : "select floor(yearweek(d, 3) / 100), yearweek(d, 3) % 100, count(*) "
                     "from sv_iv group by 1, 2",
                weekCaption, !pg);
    groupsAsSql(sameInBoth(cs, {{"ts", "季度"}}), s,
                pg ? "select extract(year from ts), extract(quarter from ts), count(*) from sv_iv "
                     "group by 1, 2"
                   : "select year(ts), quarter(ts), count(*) from sv_iv group by 1, 2",
                quarterCaption);
}

// Rows: dates around the turns of 2020 to 2023 (ISO weeks 53 and 1), every 7th a year
// below 100 (MariaDB's MAKEDATE would read it as this century's); timestamps every few
// hours; decimals in thousandths from -10 to 10; integers from -500; doubles in tenths
// computed as doubles (0.30000000000000004).
std::string rowsSelect(const std::string& dayPlus, const std::string& early,
                       const std::string& secondsPlus) {
    return "select i, case when i % 13 = 0 then null when i % 7 = 0 then " + early + " else " +
           dayPlus + " end, case when i % 17 = 0 then null else " + secondsPlus +
           " end, case when i % 19 = 0 then null else ((i * 37) % 20001 - 10000) / 1000.0 end, "
           "case when i % 23 = 0 then null else (i * 7919) % 1000 - 500 end, "
           "case when i % 29 = 0 then null else ((i * 13) % 1000 - 500) * 0.1e0 end, "
           "case when i % 31 = 0 then null else i % 3 = 0 end from n";
}

constexpr int kRows = 3000;

} // namespace

TEST(ServerIntervals, PostgresqlGroupsAsInMemory) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(pg);
    s.exec("drop table if exists sv_iv");
    s.exec("create table sv_iv(id bigint primary key, d date, ts timestamp, "
           "amount numeric(12,3), qty bigint, r double precision, ok boolean)");
    s.exec("insert into sv_iv with n(i) as (select generate_series(1, " + std::to_string(kRows) +
           ")::bigint) " +
           rowsSelect("date '2020-12-20' + ((i * 37) % 1200)::int",
                      "date '0050-01-01' + (i % 400)::int",
                      "timestamp '2021-12-30 22:00' + (i * 3571) * interval '1 second'"));
    // An era and infinities memory keeps too, and doubles no number range holds.
    s.exec("update sv_iv set d = date '0044-03-15 BC' - (id % 20)::int where id % 97 = 0");
    s.exec("update sv_iv set d = 'infinity' where id % 331 = 0");
    s.exec("update sv_iv set d = '-infinity' where id % 337 = 0");
    s.exec("update sv_iv set r = 'NaN' where id % 401 = 0");
    s.exec("update sv_iv set r = '-Infinity' where id % 409 = 0");
    s.commit();
    checkIntervals(pg, s, true);
    checkBooleans(pg, s, true);
    checkCrossTables(pg);
    // A timestamp with a time zone falls in the day of its time as the session shows it.
    s.exec("alter table sv_iv add column tz timestamptz");
    s.exec("update sv_iv set tz = (ts + interval '7 hours') at time zone 'Asia/Shanghai'");
    s.commit();
    sameInBoth(pg, {{"tz", "日"}, {"tz", "周"}});
    const std::string years = sameInBoth(pg, {{"d", "年"}, {"d", "周"}});
    EXPECT_NE(years.find("-43年"), std::string::npos);
    s.exec("drop table sv_iv");
    s.commit();
}

TEST(ServerIntervals, MariadbGroupsAsInMemory) {
    const std::string mariadb = rgtest::mariadbConnectionString();
    ASSERT_FALSE(mariadb.empty())
        << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(mariadb);
    s.exec("set max_recursive_iterations = 1000000");
    s.exec("drop table if exists sv_iv");
    s.exec("create table sv_iv(id bigint primary key, d date, ts datetime, "
           "amount decimal(12,3), qty bigint, r double, ok boolean)");
    s.exec("insert into sv_iv with recursive n(i) as (select 1 union all select i + 1 from n "
           "where i < " +
           std::to_string(kRows) + ") " +
           rowsSelect("date '2020-12-20' + interval ((i * 37) % 1200) day",
                      "date '0050-01-01' + interval (i % 400) day",
                      "timestamp '2021-12-30 22:00:00' + interval (i * 3571) second"));
    s.exec("update sv_iv set ok = 2 where id % 41 = 0");
    s.commit();
    checkIntervals(mariadb, s, false);
    checkBooleans(mariadb, s, false);
    checkCrossTables(mariadb);
    s.exec("drop table sv_iv");
    s.commit();
}
