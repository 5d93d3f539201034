#include "common/error.h"
#include "datasource/dataset.h"
#include "datasource/odbcprovider.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace rg;

namespace {

const char* kMixed = R"(
CREATE TABLE sales (id INTEGER PRIMARY KEY, region VARCHAR(20), qty INT, price REAL, amount NUMERIC(12,2),
                    day DATE, at DATETIME, tm TIME, paid BOOLEAN, note TEXT, pic BLOB, big BIGINT);
INSERT INTO sales VALUES (1, '华北', 3, 2.5, 7.5, '2024-01-31', '2024-01-31 08:30:00', '08:30:00', 1, NULL, x'0102', 5000000000);
INSERT INTO sales VALUES (2, '华东', 5, 1.25, 6.25, '2024-02-29', '2024-02-29 23:59:59', '23:59:59', 0, '加急', NULL, NULL);
INSERT INTO sales VALUES (3, '华南', NULL, 4, 0, NULL, NULL, NULL, NULL, '', NULL, 1);
CREATE TABLE "odd ""name"" 表" (a INTEGER, b TEXT);
INSERT INTO "odd ""name"" 表" VALUES (7, 'x');
CREATE TABLE long_text (id INTEGER PRIMARY KEY, t VARCHAR(5));
INSERT INTO long_text VALUES (1, 'longer than five: 这段文字比声明的长度长得多');
)";

void openTable(DataSet& ds, const std::string& table) {
    ds.Close();
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText(table);
    ds.Open();
}

} // namespace

TEST(OdbcProvider, SameFileSameFieldsAndTextsThroughBothProviders) {
    const std::string path = rgtest::makeSqliteFile("both", kMixed);
    Connection builtin, odbc;
    builtin.SetConnectionString(rgtest::builtin(path));
    odbc.SetConnectionString("Driver={SQLite3};Database=" + path);
    DataSet a(&builtin), b(&odbc);
    for (const char* table : {"sales", "odd \"name\" 表", "long_text"}) {
        openTable(a, table);
        openTable(b, table);
        ASSERT_EQ(a.FieldCount(), b.FieldCount()) << table;
        ASSERT_EQ(a.RecordCount(), b.RecordCount()) << table;
        for (int f = 0; f < a.FieldCount(); ++f) {
            EXPECT_EQ(a.Fields(f).FieldName(), b.Fields(f).FieldName());
            EXPECT_EQ(fieldKindName(a.Fields(f).Kind()),
                      std::string(fieldKindName(b.Fields(f).Kind())))
                << table << "." << a.Fields(f).FieldName();
            for (int r = 0; r < a.RecordCount(); ++r) {
                EXPECT_EQ(a.displayText(r, f), b.displayText(r, f))
                    << table << "." << a.Fields(f).FieldName() << " row " << r;
                EXPECT_EQ(a.isNull(r, f), b.isNull(r, f))
                    << table << "." << a.Fields(f).FieldName() << " row " << r;
            }
        }
    }
    // A text longer than its declared size arrives whole.
    EXPECT_EQ(b.displayText(0, 1), "longer than five: 这段文字比声明的长度长得多");
    std::vector<std::string> ta, tb;
    builtin.ListTableNames(ta, false);
    odbc.ListTableNames(tb, false);
    std::sort(tb.begin(), tb.end());
    EXPECT_EQ(ta, tb);
    builtin.ListFieldNames("odd \"name\" 表", ta);
    odbc.ListFieldNames("odd \"name\" 表", tb);
    EXPECT_EQ(ta, tb);
    EXPECT_EQ(tb, (std::vector<std::string>{"a", "b"}));
}

TEST(OdbcProvider, LongCharacterDataIsMemoOnlyAboveTheLimit) {
    const int kLongVarChar = -1, kWLongVarChar = -10;
    EXPECT_EQ(odbcKind(kLongVarChar, 8190), FieldKind::String);
    EXPECT_EQ(odbcKind(kWLongVarChar, 65536), FieldKind::String);
    EXPECT_EQ(odbcKind(kWLongVarChar, 65537), FieldKind::Memo);
    EXPECT_EQ(odbcKind(kLongVarChar, 0), FieldKind::Memo);
}
