#include "common/error.h"
#include "datasource/dataset.h"
#include "testsupport.h"

#include <gtest/gtest.h>

using namespace rg;

namespace {

const char* kSales = R"(
CREATE TABLE sales (id INTEGER PRIMARY KEY, region VARCHAR(20), qty INT, price REAL, amount NUMERIC(12,2),
                    day DATE, at DATETIME, tm TIME, paid BOOLEAN, note TEXT, pic BLOB, big BIGINT);
INSERT INTO sales VALUES (1, '华北', 3, 2.5, 7.5, '2024-01-31', '2024-01-31 08:30:00', '08:30:00', 1, NULL, x'0102', 5000000000);
INSERT INTO sales VALUES (2, '华东', 5, 1.25, 6.25, '2024-02-29', '2024-02-29 23:59:59', '23:59:59', 0, '加急', NULL, NULL);
INSERT INTO sales VALUES (3, '华南', NULL, 4, 0, NULL, NULL, NULL, NULL, '', NULL, 1);
CREATE TABLE "odd ""name"" 表" (a INTEGER, b TEXT);
INSERT INTO "odd ""name"" 表" VALUES (7, 'x');
CREATE VIEW v_sales AS SELECT region, qty FROM sales;
)";

struct Recorder : DataSetObserver {
    std::vector<DataEvent> events;
    void dataSetEvent(DataEvent e) override { events.push_back(e); }
    int count(DataEvent e) const {
        return static_cast<int>(std::count(events.begin(), events.end(), e));
    }
};

} // namespace

TEST(SqliteProvider, FieldsKindsAndTexts) {
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(rgtest::makeSqliteFile("kinds", kSales)));
    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("sales");
    ds.Open();
    ASSERT_EQ(ds.FieldCount(), 12);
    const FieldKind kinds[] = {FieldKind::Integer,  FieldKind::String, FieldKind::Integer,
                               FieldKind::Float,    FieldKind::BCD,    FieldKind::Date,
                               FieldKind::DateTime, FieldKind::Time,   FieldKind::Boolean,
                               FieldKind::String,   FieldKind::Blob,   FieldKind::LargeInt};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(ds.Fields(i).Kind(), kinds[i]) << ds.Fields(i).FieldName();
    EXPECT_EQ(ds.Fields(1).Size(), 20);
    EXPECT_EQ(ds.Fields(1).alignment(), Alignment::Left);
    EXPECT_EQ(ds.Fields(3).alignment(), Alignment::Right);
    ASSERT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.displayText(0, 1), "华北");
    EXPECT_EQ(ds.displayText(0, 3), "2.5");
    EXPECT_EQ(ds.displayText(1, 5), "2024-02-29");
    EXPECT_EQ(ds.displayText(0, 6), "2024-01-31 08:30:00");
    EXPECT_EQ(ds.displayText(1, 7), "23:59:59");
    EXPECT_EQ(ds.displayText(0, 8), "True");
    EXPECT_EQ(ds.displayText(1, 8), "False");
    EXPECT_EQ(ds.value(0, 11).asInt(), 5000000000LL);
    EXPECT_EQ(ds.value(0, 5).type(), Value::Type::Date);
    EXPECT_TRUE(ds.isNull(2, 2));
    EXPECT_TRUE(ds.isNull(0, 9));
    EXPECT_FALSE(ds.isNull(2, 9)); // an empty text is not null
    EXPECT_EQ(ds.value(0, 10).asText(), std::string("\x01\x02", 2));
    EXPECT_EQ(ds.FieldByName("REGION").Index(), 1);
    EXPECT_THROW(ds.FieldByName("nope"), Error);
    // The command is fixed while open.
    EXPECT_THROW(ds.SetCommandText("x"), Error);
}

TEST(Connection, ClosingOrANewStringClosesItsDataSets) {
    const std::string first = rgtest::builtin(rgtest::makeSqliteFile("connfirst", kSales));
    const std::string second =
        rgtest::builtin(rgtest::makeSqliteFile("connsecond", "CREATE TABLE sales (id INTEGER);"));
    Connection conn;
    conn.SetConnectionString(first);
    DataSet a(&conn), b(&conn);
    Recorder rec;
    a.addObserver(&rec);
    for (DataSet* d : {&a, &b}) {
        d->SetCommandType(CommandType::cmdTable);
        d->SetCommandText("sales");
        d->Open();
    }
    conn.Close();
    EXPECT_FALSE(a.Active());
    EXPECT_FALSE(b.Active());
    EXPECT_EQ(a.RecordCount(), 0);
    EXPECT_EQ(rec.count(DataEvent::Closed), 1); // bound grids clear through their observers

    // The same string keeps the connection; a new one closes it and every data set on it,
    // so no data set shows the old database's rows under the new string.
    a.Open();
    conn.SetConnectionString(first);
    EXPECT_TRUE(a.Active());
    conn.SetConnectionString(second);
    EXPECT_FALSE(conn.Connected());
    EXPECT_FALSE(a.Active());
    EXPECT_EQ(a.FieldCount(), 0);
    EXPECT_THROW(a.Edit(), Error);
    a.Open();
    EXPECT_EQ(a.FieldCount(), 1);
    EXPECT_EQ(a.RecordCount(), 0);

    // A data set outliving its connection is closed and left without one.
    auto owned = std::make_unique<Connection>();
    owned->SetConnectionString(first);
    DataSet orphan(owned.get());
    orphan.SetCommandText("SELECT 1");
    orphan.Open();
    owned.reset();
    EXPECT_FALSE(orphan.Active());
    EXPECT_EQ(orphan.connection(), nullptr);
    a.removeObserver(&rec);
}

TEST(SqliteProvider, CommandsListingsQuotingAndErrors) {
    const std::string path = rgtest::makeSqliteFile("cmds", kSales);
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(path));
    std::vector<std::string> list{"keep"};
    conn.ListTableNames(list, false);
    EXPECT_EQ(list, (std::vector<std::string>{"odd \"name\" 表", "sales", "v_sales"}));
    EXPECT_TRUE(conn.Connected());
    conn.ListFieldNames("odd \"name\" 表", list);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
    list = {"keep"};
    conn.ListProcedureNames(list);
    EXPECT_EQ(list, std::vector<std::string>{"keep"});

    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("odd \"name\" 表");
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(ds.displayText(0, 0), "7");
    ds.Close();
    // A table name can never smuggle SQL in.
    ds.SetCommandText("sales; DROP TABLE sales");
    EXPECT_THROW(ds.Open(), Error);
    ds.SetCommandType(CommandType::cmdText);
    ds.SetCommandText("SELECT region, sum(qty) AS total, count(*) AS n FROM sales GROUP BY region "
                      "ORDER BY region DESC");
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.Fields(2).Kind(), FieldKind::LargeInt);
    EXPECT_EQ(ds.displayText(1, 1), "3"); // 华南, 华北, 华东 by UTF-8 bytes
    ds.Close();
    ds.SetCommandText("SELEKT 1");
    try {
        ds.Open();
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("syntax error"), std::string::npos) << e.what();
    }
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("missing");
    try {
        ds.Open();
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "no such table: missing");
    }
    EXPECT_FALSE(ds.Active());

    Connection bad;
    bad.SetConnectionString(rgtest::builtin("/tmp/no/such/dir/x.db"));
    EXPECT_THROW(bad.Open(), Error);
    EXPECT_FALSE(bad.Connected());
}

TEST(DataSet, CursorBookmarksLocateAndObservers) {
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(rgtest::makeSqliteFile("cursor", kSales)));
    DataSet ds(&conn);
    Recorder rec;
    ds.addObserver(&rec);
    ds.SetCommandText("SELECT id, region, day FROM sales ORDER BY id");
    ds.Open();
    EXPECT_EQ(rec.count(DataEvent::Opened), 1);
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    int seen = 0;
    for (ds.First(); !ds.Eof(); ds.Next())
        ++seen;
    EXPECT_EQ(seen, 3);
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(rec.count(DataEvent::RecordChanged), 2);
    ds.First();
    EXPECT_EQ(ds.MoveBy(5), 2);
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.MoveBy(-1), -1);
    EXPECT_EQ(ds.Fields(1).DisplayText(), "华东");
    const Bookmark b = ds.GetBookmark();
    ds.Last();
    EXPECT_TRUE(ds.BookmarkValid(b));
    EXPECT_FALSE(ds.BookmarkValid(99));
    ds.GotoBookmark(b);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_THROW(ds.GotoBookmark(-5), Error);

    EXPECT_TRUE(ds.Locate("region", Value::fromText("华南")));
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_TRUE(ds.Locate("id", Value::fromInt(1)));
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_TRUE(ds.Locate("day", Value::fromText("2024-02-29")));
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_FALSE(ds.Locate("region", Value::fromText("西北")));
    EXPECT_EQ(ds.RecNo(), 1);

    // Disabled controls hear nothing of moves until enabled again, counted.
    rec.events.clear();
    ds.DisableControls();
    ds.DisableControls();
    ds.First();
    ds.Next();
    ds.EnableControls();
    EXPECT_TRUE(rec.events.empty());
    ds.EnableControls();
    EXPECT_EQ(rec.events, std::vector<DataEvent>{DataEvent::RecordChanged});

    rec.events.clear();
    ds.Fields(1).SetDisplayLabel("地区");
    ds.Fields(1).SetDisplayLabel("地区");
    EXPECT_EQ(ds.Fields(1).DisplayName(), "地区");
    ds.Fields(0).SetDisplayLabel("id");
    EXPECT_EQ(ds.Fields(0).DisplayLabel(), "");
    EXPECT_EQ(rec.events, std::vector<DataEvent>{DataEvent::LayoutChanged});
    ds.Close();
    EXPECT_EQ(rec.events.back(), DataEvent::Closed);
    EXPECT_EQ(ds.RecordCount(), 0);
    ds.removeObserver(&rec);
}

TEST(DataSet, ParametersAndInsertCancel) {
    Connection conn;
    conn.SetConnectionString(rgtest::builtin(rgtest::makeSqliteFile("params", kSales)));
    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("anything");
    ds.RefreshParameters();
    EXPECT_EQ(ds.ParameterCount(), 0);
    try {
        ds.ParameterByName("x");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Parameter 'x' not found");
    }
    Parameter p;
    p.Kind = FieldKind::Unknown;
    p.SetValue(Value::fromText("abc"));
    EXPECT_EQ(p.Kind, FieldKind::String);
    EXPECT_EQ(p.Size, 3);
    p.SetValue(Value::fromText(""));
    EXPECT_TRUE(p.Value().isNull());

    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("sales");
    ds.Open();
    ds.Insert();
    EXPECT_EQ(ds.GetState(), DataSet::State::Insert);
    ds.SetFieldValue(1, Value::fromText("新"));
    EXPECT_EQ(ds.Fields(1).DisplayText(), "新");
    ds.Cancel();
    EXPECT_EQ(ds.GetState(), DataSet::State::Browse);
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.Close();
    ds.Open();
    EXPECT_EQ(ds.RecordCount(), 3); // nothing was written
}
