#include "common/displaytext.h"
#include "common/error.h"
#include "common/progress.h"
#include "datasource/dataset.h"
#include "processfolder.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace rg;
using rgtest::errorOf;
using rgtest::has;

namespace {

const char* kOrders = R"(
CREATE TABLE orders (id INTEGER PRIMARY KEY, region VARCHAR(20), city TEXT, qty INTEGER, amount REAL,
                     day DATE, paid BOOLEAN, note TEXT, CHECK (qty < 1000));
INSERT INTO orders VALUES (1, '华北', '北京', 3, 7.5, '2024-01-31', 1, NULL);
INSERT INTO orders VALUES (2, '华东', '上海', 5, 6.25, '2024-02-29', 0, 'O''Brien');
INSERT INTO orders VALUES (3, '华南', '广州', NULL, 0, NULL, NULL, '100%');
INSERT INTO orders VALUES (4, '华北', '天津', 12, 120.5, '2024-03-01', 1, '加急');
INSERT INTO orders VALUES (5, '华东', '杭州', 7, 70, '2023-12-31', 0, NULL);
CREATE TABLE nokey (a INTEGER, b TEXT);
INSERT INTO nokey VALUES (1, 'x'), (2, 'y'), (2, 'y');
)";

struct Recorder : DataSetObserver {
    std::vector<DataEvent> events;
    void dataSetEvent(DataEvent e) override { events.push_back(e); }
};

std::vector<int> ids(DataSet& ds) {
    std::vector<int> out;
    for (int r = 0; r < ds.RecordCount(); ++r)
        out.push_back(static_cast<int>(ds.value(r, 0).asInt()));
    return out;
}

} // namespace

TEST(Filter, ExpressionsOverTheLoadedRecords) {
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(rgtest::makeSqliteFile("filter", kOrders)));
    DataSet ds(&conn);
    ds.SetCommandText("SELECT * FROM orders ORDER BY id");
    ds.Open();
    Recorder rec;
    ds.addObserver(&rec);
    const std::pair<const char*, std::vector<int>> cases[] = {
        {"region = '华北'", {1, 4}},
        {"[region] <> '华北'", {2, 3, 5}},
        {"qty > 4 AND qty <= 7", {2, 5}},
        {"qty >= 5 or region = '华南'", {2, 3, 4, 5}},
        {"NOT (region = '华北' OR region = '华东')", {3}},
        {"qty IS NULL", {3}},
        {"qty = NULL", {3}},
        {"note is not null and qty < 10", {2}},
        {"qty <> 3", {2, 4, 5}}, // a null satisfies no comparison
        {"day >= '2024-01-01' AND day < '2024-03-01'", {1, 2}},
        {"day = '2023-12-31'", {5}},
        {"day = 45291", {5}}, // the day-count serial of 2023-12-31
        {"day > 45351.5", {4}},
        {"amount > 7.25", {1, 4, 5}},
        {"amount = -1.5e3", {}},
        {"paid = TRUE", {1, 4}},
        {"paid = 0", {2, 5}},
        {"note = 'O''Brien'", {2}},
        {"note LIKE '100\%'", {3}},
        {"city LIKE '_京'", {1}},
        {"city LIKE '%州'", {3, 5}},
        {"city NOT LIKE '%州'", {1, 2, 4}},
        {"REGION='华东' AND (qty>6 OR amount<1)", {5}},
    };
    for (const auto& [expr, want] : cases) {
        rec.events.clear();
        ds.SetFilter(expr);
        EXPECT_TRUE(ds.Filtered());
        EXPECT_EQ(ids(ds), want) << expr;
        EXPECT_EQ(rec.events, std::vector<DataEvent>{DataEvent::ContentsChanged}) << expr;
    }
    // Faults leave the filter as it was.
    ds.SetFilter("region = '华北'");
    EXPECT_EQ(errorOf([&] { ds.SetFilter("nosuch = 1"); }), "Field 'nosuch' not found");
    EXPECT_NE(errorOf([&] { ds.SetFilter("region = "); }), "(no error)");
    EXPECT_NE(errorOf([&] { ds.SetFilter("(region = 'x'"); }), "(no error)");
    EXPECT_NE(errorOf([&] { ds.SetFilter("day = 'soon'"); }), "(no error)");
    EXPECT_EQ(ds.Filter(), "region = '华北'");
    EXPECT_EQ(ids(ds), (std::vector<int>{1, 4}));

    // Record numbers and bookmarks address the filtered records.
    ds.SetFilter("");
    ds.SetRecNo(3);
    const Bookmark four = ds.GetBookmark();
    ds.SetRecNo(1);
    const Bookmark two = ds.GetBookmark();
    ds.SetFilter("region = '华北'");
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_TRUE(ds.BookmarkValid(four));
    EXPECT_FALSE(ds.BookmarkValid(two));
    ds.GotoBookmark(four);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(ds.Fields(2).DisplayText(), "天津");
    EXPECT_THROW(ds.GotoBookmark(two), Error);
    EXPECT_TRUE(ds.Locate("city", Value::fromText("北京")));
    EXPECT_FALSE(ds.Locate("city", Value::fromText("上海"))); // filtered out
    int walked = 0;
    for (ds.First(); !ds.Eof(); ds.Next())
        ++walked;
    EXPECT_EQ(walked, 2);
    ds.SetFilter("");
    EXPECT_FALSE(ds.Filtered());
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_TRUE(ds.BookmarkValid(two));
    ds.removeObserver(&rec);

    // A filter set while closed applies at the open, and one that does not fit fails it.
    ds.Close();
    ds.SetFilter("qty > 6");
    ds.Open();
    EXPECT_EQ(ids(ds), (std::vector<int>{4, 5}));
    ds.Close();
    ds.SetFilter("nosuch = 1");
    EXPECT_EQ(errorOf([&] { ds.Open(); }), "Field 'nosuch' not found");
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.FieldCount(), 0);
    ds.SetFilter("");
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 5);
}

// Nesting is limited to 200 levels, so a deep filter is refused instead of overflowing the
// stack; long flat chains of conditions are not nesting and keep working.
TEST(Filter, DeepNestingIsRefusedLongChainsWork) {
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(rgtest::makeSqliteFile("deep", kOrders)));
    DataSet ds(&conn);
    ds.SetCommandText("SELECT * FROM orders ORDER BY id");
    ds.Open();
    auto nested = [](int depth) {
        return std::string(depth, '(') + "qty > 6" + std::string(depth, ')');
    };
    auto nots = [](int count) {
        std::string s;
        for (int i = 0; i < count; ++i)
            s += "NOT ";
        return s + "qty > 6";
    };
    ds.SetFilter(nested(200));
    EXPECT_EQ(ids(ds), (std::vector<int>{4, 5}));
    ds.SetFilter(nots(200)); // an even count cancels out
    EXPECT_EQ(ids(ds), (std::vector<int>{4, 5}));
    const std::string before = std::string(100, '(') + "NOT " + nested(99) + std::string(100, ')');
    ds.SetFilter(before);
    EXPECT_EQ(ids(ds), (std::vector<int>{1, 2, 3})); // a null quantity is not above 6
    for (const std::string& deep :
         {nested(201), nots(201), nested(12000), nots(30000), "NOT " + nested(200)}) {
        EXPECT_EQ(errorOf([&] { ds.SetFilter(deep); }).rfind("Invalid filter expression", 0), 0u)
            << deep.substr(0, 40);
        EXPECT_EQ(ds.Filter(), before);
    }
    std::string chain = "id = 0";
    for (int i = 0; i < 100000; ++i)
        chain += (i % 2 ? " OR id = " : " AND id <> ") + std::to_string(i % 7);
    ds.SetFilter(chain);
    EXPECT_TRUE(ds.Filtered());
}

TEST(Editing, PostAndDeleteChangeTheDatabase) {
    const std::string path = rgtest::makeSqliteFile("edit", kOrders);
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(path));
    DataSet ds(&conn);
    Recorder rec;
    ds.addObserver(&rec);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("orders");
    ds.Open();
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(2)));
    ds.Edit();
    ds.SetFieldValue(3, Value::fromInt(50));
    ds.SetFieldValue(7, Value::null());
    ds.Post();
    EXPECT_EQ(ds.GetState(), DataSet::State::Browse);
    EXPECT_EQ(ds.Fields(3).DisplayText(), "50");
    EXPECT_TRUE(ds.Fields(7).IsNull());

    // The database refuses: message, record and edit kept.
    ds.Edit();
    ds.SetFieldValue(3, Value::fromInt(5000));
    EXPECT_NE(errorOf([&] { ds.Post(); }).find("CHECK constraint failed"), std::string::npos);
    EXPECT_EQ(ds.GetState(), DataSet::State::Edit);
    ds.Cancel();
    EXPECT_EQ(ds.Fields(3).DisplayText(), "50");

    rec.events.clear();
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(4)));
    ds.Delete();
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(rec.events.back(), DataEvent::ContentsChanged);
    EXPECT_FALSE(ds.Locate("id", Value::fromInt(4)));

    ds.Close();
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 4);
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(2)));
    EXPECT_EQ(ds.Fields(3).DisplayText(), "50");
    EXPECT_TRUE(ds.Fields(7).IsNull());

    // Without a primary key every original value finds the row; equal rows are refused
    // and nothing is deleted.
    ds.Close();
    ds.SetCommandText("nokey");
    ds.Open();
    ds.SetRecNo(1);
    EXPECT_NE(errorOf([&] { ds.Delete(); }).find("rolled back"), std::string::npos);
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.First();
    ds.Edit();
    ds.SetFieldValue(1, Value::fromText("新值"));
    ds.Post();
    ds.Close();
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.displayText(0, 1), "新值");

    // Only the base table's own columns can be changed; expressions are left out of the
    // row's identification.
    ds.Close();
    ds.SetCommandType(CommandType::cmdText);
    ds.SetCommandText("SELECT o.id, o.city, upper(o.region) AS r, n.b FROM orders o LEFT JOIN "
                      "nokey n ON n.a = o.id ORDER BY o.id");
    ds.Open();
    ds.Edit();
    ds.SetFieldValue(2, Value::fromText("x"));
    EXPECT_EQ(errorOf([&] { ds.Post(); }), "Field 'r' cannot be modified");
    ds.Cancel();
    ds.Edit();
    ds.SetFieldValue(1, Value::fromText("北京市"));
    ds.Post();
    EXPECT_EQ(ds.displayText(0, 1), "北京市");
    ds.Close();
    ds.SetCommandType(CommandType::cmdTable);

    // A changed row that no longer matches is reported, not silently lost.
    DataSet other(&conn);
    other.SetCommandText("SELECT * FROM orders");
    other.Open();
    ds.Close();
    ds.SetCommandText("orders");
    ds.Open();
    ASSERT_TRUE(other.Locate("id", Value::fromInt(1)));
    other.Delete();
    ASSERT_TRUE(ds.Locate("id", Value::fromInt(1)));
    ds.Edit();
    ds.SetFieldValue(1, Value::fromText("x"));
    EXPECT_NE(errorOf([&] { ds.Post(); }).find("Row cannot be located"), std::string::npos);
    ds.removeObserver(&rec);
}

// Cancels at the third report of the running statement, as a user who clicks 取消 while
// rows are being read.
class CancelWhileReading : public ProgressSink {
public:
    bool progress(const char* what, int64_t, int64_t) override {
        if (std::string(what) != "正在读取数据")
            return true;
        return ++reports < 3;
    }
    int reports = 0;
};

TEST(DataSet, ProgressAndCancelledOpen) {
    const std::string path = rgtest::makeSqliteFile("progress", R"(
        CREATE TABLE big (n INTEGER, t TEXT);
        WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s WHERE n < 20000)
        INSERT INTO big SELECT n, 'row ' || n FROM s;)");
    for (const std::string& cs : {rgtest::builtin(path), "Driver={SQLite3};Database=" + path}) {
        Connection conn;
        conn.SetConnectionString(cs);
        DataSet ds(&conn);
        // A count without end: only the cancel ends it.
        ds.SetCommandText("WITH RECURSIVE s(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM s) SELECT "
                          "count(*) FROM s");
        CancelWhileReading sink;
        {
            ProgressScope scope(&sink);
            EXPECT_THROW(ds.Open(), Cancelled) << cs;
        }
        EXPECT_EQ(sink.reports, 3) << cs;
        EXPECT_FALSE(ds.Active());
        EXPECT_EQ(ds.RecordCount(), 0);
        ds.SetCommandType(CommandType::cmdTable);
        ds.SetCommandText("big");
        ds.Open();
        EXPECT_EQ(ds.RecordCount(), 20000) << cs;
    }
}

TEST(Connection, DataLinkFiles) {
    const std::string db = rgtest::makeSqliteFile("udl", kOrders);
    const std::string utf8 = rgtest::processFolder() + "/utf8.udl";
    {
        std::ofstream f(utf8, std::ios::binary);
        f << "\xEF\xBB\xBF[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
          << "Provider=SQLite;Data Source=" << db << "\r\n";
    }
    Connection conn;
    conn.SetConnectionString("FILE NAME=" + utf8);
    std::vector<std::string> tables;
    conn.ListTableNames(tables, false);
    EXPECT_EQ(tables, (std::vector<std::string>{"nokey", "orders"}));
    conn.Close();

    // UTF-16 with byte-order mark, as the Windows data link editor writes them, naming the
    // ODBC driver.
    const std::string utf16 = rgtest::processFolder() + "/utf16.udl";
    {
        const std::string text = "[oledb]\r\n; comment\r\nDriver={SQLite3};Database=" + db + "\r\n";
        std::ofstream f(utf16, std::ios::binary);
        f << "\xFF\xFE";
        for (char c : text)
            f << c << '\0';
    }
    conn.SetConnectionString("File Name=" + utf16);
    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("orders");
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 5);
    ds.Close();
    conn.Close();
    conn.SetConnectionString("FILE NAME=/tmp/no/such.udl");
    EXPECT_NE(errorOf([&] { conn.Open(); }).find("/tmp/no/such.udl"), std::string::npos);
}
