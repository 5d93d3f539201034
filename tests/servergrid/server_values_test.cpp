// Values the server compares, groups and sums as memory reads them: MariaDB texts in latin1
// and gbk columns, PostgreSQL real columns. Each report is made in memory and on the
// server and the two are compared line by line.

#include "datasource/dataset.h"
#include "export/listingexport.h"
#include "grid/grid.h"
#include "odbcsession.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace rg;

namespace {

// The first line where two reports differ, both versions; empty when they are the same.
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

// A report over `table` (or an SQL text): grouped by `group` (or not), the sum (or `kind`) of `sum`
// in the group rows and the footer, keyed by `key`, with `filter`.
struct Report {
    std::string table, group, sum, key;
    TdxSummaryType kind = TdxSummaryType::cstSum;
};

std::string reportCsv(const std::string& connectionString, const Report& r, RowPlacement p,
                      const std::string& filter) {
    Connection conn;
    conn.SetConnectionString(connectionString);
    DataSet ds(&conn);
    TdxDBGrid grid;
    grid.SetDataSet(&ds);
    const bool text = r.table.rfind("select ", 0) == 0;
    ds.SetCommandType(text ? CommandType::cmdText : CommandType::cmdTable);
    ds.SetCommandText(r.table);
    ds.SetRowPlacement(p);
    ds.Open();
    EXPECT_EQ(ds.ServerSide(), p == RowPlacement::Server);
    {
        grid.SetShowRowFooter(true);
        grid.SetShowSummaryFooter(true);
        GridUpdate update(grid);
        GroupingUpdate grouping(grid);
        grid.CreateColumnsForFields(ds);
        grid.SetKeyField(r.key);
        TdxDBGridColumn& c = *grid.ColumnByFieldName(r.sum);
        TdxDBGridSummaryItem& item = grid.DefaultGroup().SummaryItems.Add();
        item.SetColumnName(c.Name());
        item.SetSummaryField(r.sum);
        item.SetSummaryType(r.kind);
        c.SetSummaryFooterField(r.sum);
        c.SetSummaryFooterType(r.kind);
        grid.DefaultGroup().SummaryItems.Add().SetSummaryType(TdxSummaryType::cstCount);
        if (!r.group.empty())
            grid.GroupColumn(*grid.ColumnByFieldName(r.group), 0);
    }
    ds.SetFilter(filter);
    const std::string csv = gridAsCsv(grid);
    grid.SetDataSet(nullptr);
    return csv;
}

// The lines of a report in the order of their texts: rows without a sort or a key that
// tells them apart come in the server's order.
std::string sortedLines(const std::string& csv) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < csv.size();) {
        const size_t end = std::min(csv.find('\n', at), csv.size());
        lines.push_back(csv.substr(at, end - at));
        at = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

// The report in both placements; returns memory's.
std::string sameInBoth(const std::string& connectionString, const Report& r,
                       const std::string& filter, bool anyOrder = false) {
    std::string memory = reportCsv(connectionString, r, RowPlacement::Memory, filter);
    std::string server = reportCsv(connectionString, r, RowPlacement::Server, filter);
    if (anyOrder) {
        memory = sortedLines(memory);
        server = sortedLines(server);
    }
    EXPECT_EQ(firstDifference(memory, server), "")
        << r.table << " by " << r.group << " where " << filter;
    return memory;
}

// The data rows of a report.
long long dataLines(const std::string& csv) {
    long long n = csv.rfind("data,", 0) == 0 ? 1 : 0;
    for (size_t at = csv.find("\ndata,"); at != std::string::npos; at = csv.find("\ndata,", at + 1))
        ++n;
    return n;
}

bool holds(const std::string& csv, const std::string& text) {
    return csv.find(text) != std::string::npos;
}

} // namespace

// Texts of latin1 and gbk columns: a latin1 text that differs from another only in case, a
// trailing blank or an accent, the euro sign latin1 keeps at 0x80; Chinese texts in gbk.
// More rows than one page holds.
TEST(ServerValues, MariadbLatin1AndGbkTextsAsInMemory) {
    const std::string mariadb = rgtest::mariadbConnectionString();
    ASSERT_FALSE(mariadb.empty())
        << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(mariadb);
    s.exec("set max_recursive_iterations = 100000");
    s.exec("drop table if exists sv_cs");
    s.exec("create table sv_cs(id int primary key, ku varchar(20) character set latin1, "
           "kl varchar(10) character set latin1, kg varchar(10) character set gbk, "
           "amount decimal(10,2)) character set utf8mb4");
    s.exec("insert into sv_cs with recursive n(i) as (select 1 union all select i + 1 from n "
           "where i < 2600) select i, concat(elt(1 + i % 4, 'é', 'e', 'É', '€'), lpad(i, 5, '0')), "
           "case i % 6 when 0 then 'é' when 1 then 'e' when 2 then 'É' when 3 then 'é ' "
           "when 4 then '€' else null end, "
           "case i % 5 when 0 then '华东' when 1 then '华北' when 2 then '华东 ' "
           "when 3 then 'x' else null end, (i % 100) / 4 from n");
    s.commit();

    const Report byKl{"sv_cs", "kl", "amount", "id"};
    const Report byKg{"sv_cs", "kg", "amount", "id"};
    const Report flat{"sv_cs", "", "amount", "id"};
    std::string csv = sameInBoth(mariadb, byKl, "");
    EXPECT_TRUE(holds(csv, "é ") && holds(csv, "€") && holds(csv, "É")) << csv.substr(0, 400);
    sameInBoth(mariadb, byKg, "");
    // The filters keep rows in memory: the server must keep the same, not none or all.
    for (const char* f :
         {"kl = 'é'", "kl <> 'é'", "kl = '€'", "kg = '华东'", "kg <> '华东'", "kl = '华东'",
          "kl LIKE 'é%'", "kl LIKE '_'", "kl LIKE '_ '", "kg LIKE '华_'", "ku LIKE '€%'"}) {
        csv = sameInBoth(mariadb, byKg, f);
        if (std::string(f) != "kl = '华东'")
            EXPECT_FALSE(holds(csv, "\n合计,0") || holds(csv, ",0.00\n")) << f;
    }
    // Without groups, pages read on from one another.
    sameInBoth(mariadb, flat, "");
    sameInBoth(mariadb, flat, "kg <> '华东'");
    s.exec("drop table sv_cs");
    s.commit();
}

// Real columns: their sum is that of the doubles memory reads, not one added up as reals.
TEST(ServerValues, PostgresqlRealSumsAsInMemory) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(pg);
    s.exec("drop table if exists sv_real");
    s.exec("create table sv_real(id int primary key, g text, r real)");
    s.exec("insert into sv_real values (1, 'a', 16777216), (2, 'a', 1), (3, 'a', 1), "
           "(4, 'b', 0.5), (5, 'b', null), (6, null, 2)");
    s.commit();
    const std::string csv = sameInBoth(pg, {"sv_real", "g", "r", "id"}, "");
    EXPECT_TRUE(holds(csv, "16777218")) << csv;
    EXPECT_TRUE(holds(csv, "16777220.5")) << csv;
    s.exec("drop table sv_real");
    s.commit();
}

// Dates before Christ and the infinities as group keys, filters and tie breaks; real
// group keys (0.1 as a real is no double 0.1).
TEST(ServerValues, PostgresqlEraInfinityAndRealKeysAsInMemory) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(pg);
    s.exec("drop table if exists sv_era");
    s.exec("create table sv_era(id int, d date, r real, amount numeric(10,2))");
    s.exec("insert into sv_era select i, case i % 7 when 0 then date '0044-03-15 BC' "
           "when 1 then date '0044-03-15' when 2 then 'infinity'::date when 3 then "
           "'-infinity'::date when 4 then null else date '2024-02-29' end, "
           "case i % 4 when 0 then 0.1 when 1 then 0.2 when 2 then 16777216 else null end, "
           "(i % 100) / 4.0 from generate_series(1, 2500) i");
    s.commit();
    std::string csv = sameInBoth(pg, {"sv_era", "d", "amount", "id"}, "");
    EXPECT_TRUE(holds(csv, "BC")) << csv.substr(0, 400);
    sameInBoth(pg, {"sv_era", "r", "amount", "id"}, "");
    // Keys that repeat: the date and the real break ties.
    sameInBoth(pg, {"sv_era", "", "amount", "d"}, "", true);
    sameInBoth(pg, {"sv_era", "", "amount", "r"}, "", true);
    sameInBoth(pg, {"sv_era", "d", "amount", "r"}, "", true);
    // The rows kept are those the server's own comparison keeps.
    const std::vector<std::pair<const char*, const char*>> filters{
        {"r = 0.1", "r = real '0.1'"},
        {"r <> 0.1", "r <> real '0.1'"},
        {"d = '0044-03-15 BC'", "d = date '0044-03-15 BC'"},
        {"d > '0044-03-15 BC'", "d > date '0044-03-15 BC'"},
        {"d = 'infinity'", "d = 'infinity'::date"}};
    for (const auto& [f, sql] : filters) {
        csv = sameInBoth(pg, {"sv_era", "r", "amount", "id"}, f);
        EXPECT_EQ(dataLines(csv), s.number(std::string("select count(*) from sv_era where ") + sql))
            << f;
    }
    s.exec("drop table sv_era");
    s.commit();
}

// Keys that repeat in latin1 and gbk columns and in a FLOAT column (0.1 as a float is no
// double 0.1): every row once, grouped or not, as the server's own count has them.
TEST(ServerValues, MariadbRepeatedTextAndFloatKeysAsInMemory) {
    const std::string mariadb = rgtest::mariadbConnectionString();
    ASSERT_FALSE(mariadb.empty())
        << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(mariadb);
    s.exec("set max_recursive_iterations = 100000");
    s.exec("drop table if exists sv_keys");
    s.exec("create table sv_keys(kl varchar(10) character set latin1, "
           "kg varchar(10) character set gbk, f float, amount decimal(10,2)) character set "
           "utf8mb4");
    s.exec("insert into sv_keys with recursive n(i) as (select 1 union all select i + 1 from n "
           "where i < 3000) select case i % 5 when 0 then 'é' when 1 then 'e' when 2 then 'É' "
           "when 3 then 'é ' else null end, case i % 3 when 0 then '华东' when 1 then '华东 ' "
           "else '华北' end, case i % 4 when 0 then 0.1 when 1 then 0.7 when 2 then null "
           "else 16777217 end, (i % 7) / 4 from n");
    s.commit();
    for (const char* key : {"kl", "kg", "f"}) {
        sameInBoth(mariadb, {"sv_keys", "", "amount", key}, "", true);
        sameInBoth(mariadb, {"sv_keys", "f", "amount", key}, "", true);
        sameInBoth(mariadb, {"sv_keys", "kl", "amount", key}, "", true);
    }
    const std::vector<std::pair<const char*, const char*>> filters{
        {"kl = 'é'", "binary kl = binary convert('é' using latin1)"},
        {"kg <> '华东'", "binary kg <> binary convert('华东' using gbk)"},
        {"f > 0.1", "f > 0.1e0"}};
    for (const auto& [f, sql] : filters) {
        const std::string csv = sameInBoth(mariadb, {"sv_keys", "f", "amount", "kg"}, f, true);
        EXPECT_EQ(dataLines(csv),
                  s.number(std::string("select count(*) from sv_keys where ") + sql))
            << f;
    }
    s.exec("drop table sv_keys");
    s.commit();
}

// Averages of decimals rounded once, by the footer's pattern, as the server rounds the
// exact quotient: -0.37499999999999 / 3 is -0.12, not -0.13 by way of -0.125000000000.
TEST(ServerValues, PostgresqlDecimalAveragesRoundedOnce) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(pg);
    s.exec("drop table if exists sv_avg");
    s.exec("create table sv_avg(id int primary key, g text, x numeric(20,14), "
           "y numeric(38,2))");
    s.exec("insert into sv_avg values (1, 'a', -0.37499999999999, 0.05), (2, 'a', 0, 0), "
           "(3, 'a', 0, 0), (4, 'b', 0.37499999999999, 999999999999999999999999999999999999.99), "
           "(5, 'b', 0, 999999999999999999999999999999999999.98), (6, 'b', 0, 0.02), "
           "(7, 'c', 0.000000000000015, 0.01), (8, 'c', 0, 0)");
    s.commit();
    for (const std::string field : {"x", "y"}) {
        const std::string csv =
            sameInBoth(pg, {"sv_avg", "g", field, "id", TdxSummaryType::cstAvg}, "");
        // The averages shown, groups a, b, c and the total, are the server's exact quotients
        // rounded to two places.
        std::vector<std::string> shown;
        for (size_t at = csv.find("AVG="); at != std::string::npos; at = csv.find("AVG=", at + 1))
            shown.push_back(csv.substr(at + 4, csv.find_first_of(",\r\n", at) - at - 4));
        ASSERT_EQ(shown.size(), 4u) << csv;
        const std::string avg = "round(sum(" + field + ") / count(*), 2) = ";
        for (size_t g = 0; g < 3; ++g)
            EXPECT_EQ(s.number("select 1 from sv_avg group by g having g = '" +
                               std::string(1, static_cast<char>('a' + g)) + "' and " + avg +
                               shown[g]),
                      1)
                << field << " " << g << ": " << shown[g];
        EXPECT_EQ(s.number("select 1 from sv_avg having " + avg + shown[3]), 1)
            << field << ": " << shown[3];
    }
    s.exec("drop table sv_avg");
    s.commit();
}

// Two columns whose names differ only in case: the second is the field "val_1", and the
// server's statements name its column "val".
TEST(ServerValues, PostgresqlColumnsOfNamesThatDifferInCase) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(pg);
    s.exec("drop table if exists sv_case");
    s.exec("create table sv_case(id int primary key, \"Val\" int, val int)");
    s.exec("insert into sv_case select i, i % 3, 10 + i % 4 from generate_series(1, 1500) i");
    s.commit();
    std::string csv = sameInBoth(pg, {"sv_case", "val_1", "val_1", "id"}, "");
    EXPECT_TRUE(holds(csv, "val_1 : 13")) << csv.substr(0, 300);
    csv = sameInBoth(pg, {"sv_case", "Val", "val_1", "id"}, "val_1 > 11");
    EXPECT_EQ(dataLines(csv), s.number("select count(*) from sv_case where val > 11"));
    // An SQL text with two columns of one name: the second is "val_2", its column the
    // fourth of the result.
    const std::string twice = "select id, \"Val\", val, val + 100 as val from sv_case";
    csv = sameInBoth(pg, {twice, "val_2", "val_2", "id"}, "val_2 <> 111");
    EXPECT_TRUE(holds(csv, "val_2 : 113")) << csv.substr(0, 300);
    EXPECT_EQ(dataLines(csv), s.number("select count(*) from sv_case where val <> 11"));
    s.exec("drop table sv_case");
    s.commit();
}

// A nondeterministic collation takes "a" and "A" for one text; memory tells them apart, and
// so must the server's groups, filters, tie breaks and distinct values.
TEST(ServerValues, PostgresqlNondeterministicCollationAsInMemory) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(pg);
    s.exec("drop table if exists sv_ci");
    s.exec("drop collation if exists sv_nocase");
    s.exec("create collation sv_nocase (provider = icu, locale = 'und-u-ks-level2', "
           "deterministic = false)");
    s.exec("create table sv_ci(id int primary key, t text collate sv_nocase, "
           "amount numeric(10,2))");
    s.exec("insert into sv_ci select i, (array['a', 'A', 'b', 'B', null])[1 + i % 5], "
           "(i % 9) / 4.0 from generate_series(1, 2500) i");
    s.commit();
    std::string csv = sameInBoth(pg, {"sv_ci", "t", "amount", "id"}, "");
    EXPECT_TRUE(holds(csv, "t : A") && holds(csv, "t : a")) << csv.substr(0, 300);
    // The text repeats: as the key its ties are broken byte for byte.
    sameInBoth(pg, {"sv_ci", "", "amount", "t"}, "", true);
    const std::vector<std::pair<const char*, const char*>> filters{
        {"t = 'a'", "t = 'a' collate \"C\""},
        {"t <> 'A'", "t <> 'A' collate \"C\""},
        {"t LIKE 'b%'", "t collate \"C\" like 'b%'"}};
    for (const auto& [f, sql] : filters) {
        csv = sameInBoth(pg, {"sv_ci", "t", "amount", "id"}, f);
        EXPECT_EQ(dataLines(csv), s.number(std::string("select count(*) from sv_ci where ") + sql))
            << f;
    }
    s.exec("drop table sv_ci");
    s.exec("drop collation sv_nocase");
    s.commit();
}

// TIME durations beyond a day and below zero as group keys, tie breaks and filters.
TEST(ServerValues, MariadbTimeDurationsAsInMemory) {
    const std::string mariadb = rgtest::mariadbConnectionString();
    ASSERT_FALSE(mariadb.empty())
        << "RG_TEST_MARIADB is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(mariadb);
    s.exec("set max_recursive_iterations = 100000");
    s.exec("drop table if exists sv_time");
    s.exec("create table sv_time(id int primary key, t time(3), amount decimal(10,2))");
    s.exec("insert into sv_time with recursive n(i) as (select 1 union all select i + 1 from n "
           "where i < 2500) select i, elt(1 + i % 5, '25:00:00', '-01:30:00.250', '10:00:00', "
           "'838:59:59', null), (i % 9) / 4 from n");
    s.commit();
    sameInBoth(mariadb, {"sv_time", "t", "amount", "id"}, "");
    sameInBoth(mariadb, {"sv_time", "", "amount", "t"}, "", true);
    sameInBoth(mariadb, {"sv_time", "t", "amount", "t"}, "", true);
    const std::vector<std::pair<const char*, const char*>> filters{
        {"t = '25:00:00'", "t = time '25:00:00'"},
        {"t < '00:00:00'", "t < time '00:00:00'"},
        {"t > '10:00:00'", "t > time '10:00:00'"}};
    for (const auto& [f, sql] : filters) {
        const std::string csv = sameInBoth(mariadb, {"sv_time", "t", "amount", "id"}, f);
        EXPECT_EQ(dataLines(csv),
                  s.number(std::string("select count(*) from sv_time where ") + sql))
            << f;
    }
    s.exec("drop table sv_time");
    s.commit();
}

// Texts holding characters outside GBK (an emoji, a character beyond the BMP, the kip sign)
// and the euro sign, sorted: the server orders them as memory does, by their code page
// bytes.
TEST(ServerValues, PostgresqlTextsBeyondGbkSortAsInMemory) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    rgtest::OdbcSession s(pg);
    s.exec("drop table if exists sv_gb");
    s.exec("create table sv_gb(id int primary key, t text, amount numeric(10,2))");
    s.exec("insert into sv_gb select i, (array['\xF0\x9F\x98\x80', '\xE2\x82\xAC', 'a', "
           "'\xE4\xB8\xAD', '\xE4\xB8\x82', '\xC3\xA9', '\xF0\xA0\x80\x80x', "
           "'\xE2\x82\xAC"
           "b', '\xE2\x82\xAD', null])[1 + i % 10] || (i % 3), (i % 9) / 4.0 "
           "from generate_series(1, 2000) i");
    s.commit();
    for (const bool down : {false, true}) {
        std::string memory, server;
        for (const RowPlacement p : {RowPlacement::Memory, RowPlacement::Server}) {
            Connection conn;
            conn.SetConnectionString(pg);
            DataSet ds(&conn);
            TdxDBGrid grid;
            grid.SetDataSet(&ds);
            ds.SetCommandType(CommandType::cmdTable);
            ds.SetCommandText("sv_gb");
            ds.SetRowPlacement(p);
            ds.Open();
            {
                GridUpdate update(grid);
                grid.CreateColumnsForFields(ds);
                grid.SetKeyField("id");
                grid.ColumnByFieldName("t")->SetSorted(down ? TdxTreeListColumnSort::csDown
                                                            : TdxTreeListColumnSort::csUp);
            }
            (p == RowPlacement::Memory ? memory : server) = gridAsCsv(grid);
            grid.SetDataSet(nullptr);
        }
        // Rows of one text come in the order of their keys in both.
        EXPECT_EQ(firstDifference(sortedLines(memory), sortedLines(server)), "");
        std::vector<std::string> a, b;
        for (const std::string* csv : {&memory, &server}) {
            std::vector<std::string>& texts = csv == &memory ? a : b;
            for (size_t at = csv->find("\ndata,"); at != std::string::npos;
                 at = csv->find("\ndata,", at + 1)) {
                const size_t start = csv->find(',', csv->find(',', at + 6) + 1) + 1;
                texts.push_back(csv->substr(start, csv->find(',', start) - start));
            }
        }
        auto runs = [](const std::vector<std::string>& v) {
            std::string out;
            for (size_t i = 0; i < v.size(); ++i)
                if (i == 0 || v[i] != v[i - 1])
                    out += "[" + v[i] + "]";
            return out;
        };
        EXPECT_EQ(runs(a), runs(b)) << (down ? "down" : "up");
        EXPECT_EQ(a.size(), 2000u);
    }
    s.exec("drop table sv_gb");
    s.commit();
}
