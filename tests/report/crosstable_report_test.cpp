// A cross table kept in the setup file and written by the runner.

#include "setup/reportdefinition.h"
#include "setup/setup.h"
#include "testdb.h"
#include "testfiles.h"

#include "testprogram.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

using namespace rg;

namespace {

// 5,000 orders over 2023-2024 in four regions.
const char* kOrders = R"(
create table orders(id integer primary key, region text, day date, qty integer, amount real);
with recursive n(i) as (select 1 union all select i + 1 from n where i < 5000)
insert into orders
select i, '区' || (i % 4), date('2023-01-01', '+' || (i * 37 % 730) || ' days'),
       case when i % 9 = 0 then null else i % 50 end, (i % 301) * 0.5
from n;
)";

using test::Program;

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// SQLite's rows of `sql` as texts, one vector per row.
std::vector<std::vector<std::string>> sqliteRows(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), SQLITE_OK) << sql;
    std::vector<std::vector<std::string>> rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        rows.emplace_back();
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            rows.back().push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

std::vector<std::string> splitCsvLine(const std::string& line) {
    std::vector<std::string> out(1);
    for (char ch : line)
        if (ch == ',')
            out.emplace_back();
        else if (ch != '\r')
            out.back() += ch;
    return out;
}

} // namespace

TEST(CrossTableSetup, RoundTripAndOnlyWhenSet) {
    TestDb db{kOrders};
    const std::string ini = db.folder + "/orders.ini";
    CrossTableDef def{"day", {GroupInterval::Quarter, 0}, TdxSummaryType::cstAvg, "qty"};
    double grand = 0;
    {
        Program p;
        p.conn.SetConnectionString(db.conn.ConnectionString());
        p.dataset.SetCommandText("select * from orders");
        p.dataset.Open();
        BuildGridColumns(p.grid);
        p.grid.SetKeyField("id");
        p.grid.GroupColumn(*p.grid.ColumnByFieldName("region"), 0);
        SaveSetup(p.objects(), ini);
        // Without a cross table the file has no section for one.
        EXPECT_EQ(fileText(ini).find("CrossTable"), std::string::npos);
        p.grid.SetCrossTable(def);
        ASSERT_EQ(p.grid.ShownCrossTable()->columnCount(), 8);
        grand = p.grid.ShownCrossTable()->grandTotal().toDouble();
        SaveSetup(p.objects(), ini);
    }
    TSetup raw(ini);
    EXPECT_EQ(raw.ReadValue("CrossTable", "Field"), "day");
    EXPECT_EQ(raw.ReadValue("CrossTable", "Interval"), "季度");
    EXPECT_EQ(raw.ReadValue("CrossTable", "Kind"), "cstavg");
    EXPECT_EQ(raw.ReadValue("CrossTable", "SummaryField"), "qty");
    {
        Program p;
        EXPECT_EQ(LoadSetup(p.objects(), ini), "");
        ASSERT_TRUE(p.grid.CrossTableDefinition());
        EXPECT_EQ(*p.grid.CrossTableDefinition(), def);
        ASSERT_TRUE(p.grid.ShownCrossTable());
        EXPECT_EQ(p.grid.ShownCrossTable()->columnText(0), "2023年第1季度");
        EXPECT_EQ(p.grid.ShownCrossTable()->grandTotal().toDouble(), grand);
        // Taken away again, the next save drops the section.
        p.grid.ClearCrossTable();
        SaveSetup(p.objects(), ini);
        EXPECT_EQ(fileText(ini).find("CrossTable"), std::string::npos);
    }
    {
        // A query without the cross field: the cross table is skipped and said so.
        TSetup s(ini);
        s.WriteCommandText("select id, region, qty from orders");
        s.WriteCrossTable({"day", "月", "cstsum", "qty"});
        Program p;
        EXPECT_NE(LoadSetup(p.objects(), ini).find("交叉表 day"), std::string::npos);
        EXPECT_FALSE(p.grid.CrossTableDefinition());
    }
}

TEST(CrossTableRunner, CsvAndPdfHoldTheSavedCrossTable) {
    TestDb db{kOrders};
    const std::string ini = db.folder + "/orders.ini";
    {
        TSetup s(ini);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("orders");
        s.WriteKeyField("id");
        s.WriteGroupColumns({"region"});
        s.WriteCrossTable({"day", "年", "cstsum", "qty"});
    }
    const std::string out = db.folder + "/out.csv";
    const std::string cmd = std::string(RG_BINARY_DIR) + "/reportgen --run " + ini +
                            " --format csv --output " + out + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << fileText(out);
    std::istringstream lines(fileText(out));
    std::string line;
    std::vector<std::vector<std::string>> rows;
    while (std::getline(lines, line))
        rows.push_back(splitCsvLine(line));
    ASSERT_EQ(rows.size(), 1u + 4u + 1u);
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"kind", "level", "region", "2023年", "2024年", "合计"}));
    const auto expected =
        sqliteRows(db.path, "select region, sum(case when day < '2024-01-01' then qty end), "
                            "sum(case when day >= '2024-01-01' then qty end), sum(qty) from orders "
                            "group by region order by region");
    ASSERT_EQ(expected.size(), 4u);
    for (size_t r = 0; r < 4; ++r) {
        EXPECT_EQ(rows[r + 1][0], "group");
        EXPECT_EQ(rows[r + 1][2], "region : " + expected[r][0]);
        for (size_t c = 1; c <= 3; ++c)
            EXPECT_EQ(std::stod(rows[r + 1][2 + c]), std::stod(expected[r][c])) << r << c;
    }
    const auto total = sqliteRows(db.path, "select sum(qty) from orders");
    EXPECT_EQ(rows[5][0], "total");
    EXPECT_EQ(std::stod(rows[5][5]), std::stod(total[0][0]));

    // Printed to PDF, the same cross table: its header line, a line per group with the
    // group's total, and the totals line with the grand total, instead of the rows.
    const std::string pdf = db.folder + "/out.pdf", text = db.folder + "/out.txt";
    const std::string print = std::string(RG_BINARY_DIR) + "/reportgen --run " + ini +
                              " --format pdf --output " + pdf + " 2>&1 && pdftotext -layout " +
                              pdf + " " + text;
    ASSERT_EQ(std::system(print.c_str()), 0);
    std::vector<std::string> printed;
    std::istringstream pages(fileText(text));
    while (std::getline(pages, line))
        if (line.find_first_not_of(" \f") != std::string::npos)
            printed.push_back(line.substr(line.find_first_not_of(" \f")));
    ASSERT_GE(printed.size(), 1u + 4u + 1u);
    EXPECT_EQ(printed[0].rfind("region", 0), 0u) << printed[0];
    EXPECT_LT(printed[0].find("2023年"), printed[0].find("2024年"));
    EXPECT_LT(printed[0].find("2024年"), printed[0].find("合计"));
    for (size_t r = 0; r < 5; ++r) {
        EXPECT_EQ(printed[r + 1].rfind(r < 4 ? rows[r + 1][2] : "合计", 0), 0u) << printed[r + 1];
        EXPECT_EQ(printed[r + 1].substr(printed[r + 1].rfind(' ') + 1), rows[r + 1][5]);
    }
}
