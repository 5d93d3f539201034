// A long SQLite result is read on one thread and stored on another. It must hold exactly what
// short results of the same rows hold (those are stored without the second thread), for every
// kind of column and every kind of value SQLite keeps in it, and a cancel or a failing step
// midway must end with an error and no thread left behind.

#include "common/error.h"
#include "datasource/provider.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace rg;
using rgtest::errorOf;
using rgtest::threadCount;

namespace {

// 50,000 rows whose columns hold values of other storage classes than their declared kind:
// dates as texts, Julian day numbers and garbage; Booleans as words and numbers; numbers as
// texts; texts in an integer column; integers, reals and texts in a column of no text kind.
const char* kMixed = R"(
CREATE TABLE k (n INTEGER, day DATE, at DATETIME, flag BOOLEAN, price REAL, amount DECIMAL(20,4),
                qty INTEGER, label NAME, note TEXT, raw BLOB);
WITH RECURSIVE seq(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM seq WHERE n < 50000)
INSERT INTO k SELECT n,
  CASE n % 5 WHEN 0 THEN NULL WHEN 1 THEN date('2020-01-01', '+' || (n % 900) || ' days')
    WHEN 2 THEN julianday('2001-02-03') + n % 7 WHEN 3 THEN 'no date' ELSE '1999-12-31 23:59:59' END,
  CASE n % 3 WHEN 0 THEN '2024-05-06 07:08:09.' || (n % 1000) WHEN 1 THEN julianday('2010-10-10 10:10:10')
    ELSE NULL END,
  CASE n % 6 WHEN 0 THEN 'yes' WHEN 1 THEN 'OFF' WHEN 2 THEN 2 WHEN 3 THEN 0 WHEN 4 THEN 'maybe'
    ELSE NULL END,
  CASE WHEN n % 4 = 0 THEN '12.5' WHEN n % 7 = 0 THEN NULL ELSE n / 8.0 END,
  CASE n % 4 WHEN 0 THEN n WHEN 1 THEN n / 16.0 WHEN 2 THEN '123456789012.3456' ELSE NULL END,
  CASE n % 4 WHEN 0 THEN '12abc' WHEN 1 THEN 'x' WHEN 2 THEN 7.9 ELSE n * 1000003 END,
  CASE n % 3 WHEN 0 THEN n WHEN 1 THEN n / 4.0 ELSE '标签 ' || n END,
  CASE WHEN n % 9 = 0 THEN NULL WHEN n % 9 = 1 THEN '' ELSE '备注 ' || (n % 777) END,
  CASE n % 3 WHEN 0 THEN x'00ff10' WHEN 1 THEN 'text ' || n ELSE NULL END
FROM seq;
)";

const char* kColumns = "n, day, at, flag, price, amount, qty, label, note, raw";

} // namespace

TEST(SqliteFetch, ALongResultHoldsWhatItsShortPiecesHold) {
    const std::string path = rgtest::makeSqliteFile("sqlitefetch_mixed", kMixed);
    auto provider = openProvider(rgtest::builtin(path));
    const auto whole =
        provider->query(std::string("SELECT ") + kColumns + " FROM k ORDER BY n", {});
    ASSERT_EQ(whole->rows, 50000);
    const size_t columns = whole->columns.size();

    constexpr int kPiece = 500;
    int64_t mismatches = 0;
    for (int from = 0; from < 50000 && mismatches < 5; from += kPiece) {
        const auto piece = provider->query(
            std::string("SELECT ") + kColumns + " FROM k WHERE n > ? AND n <= ?" + " ORDER BY n",
            {Value::fromInt(from), Value::fromInt(from + kPiece)}, {}, {});
        ASSERT_EQ(piece->rows, kPiece);
        for (size_t c = 0; c < columns; ++c) {
            const ColumnData& a = whole->columns[c];
            const ColumnData& b = piece->columns[c];
            ASSERT_EQ(a.kind(), b.kind()) << c;
            for (int64_t r = 0; r < kPiece; ++r) {
                const int64_t w = from + r;
                if (a.isNull(w) != b.isNull(r) || a.displayTextAt(w) != b.displayTextAt(r)) {
                    ADD_FAILURE() << "row " << w << " column " << whole->info[c].name << ": "
                                  << a.displayTextAt(w) << " / " << b.displayTextAt(r);
                    ++mismatches;
                }
            }
        }
    }

    // What the conversions give, at rows read by the second thread (row r holds n = r + 1).
    const auto text = [&](const char* column, int64_t n) {
        for (size_t c = 0; c < columns; ++c)
            if (whole->info[c].name == column)
                return whole->columns[c].isNull(n - 1) ? std::string("(null)")
                                                       : whole->columns[c].displayTextAt(n - 1);
        return std::string("(no column)");
    };
    EXPECT_EQ(text("day", 49997), "2001-02-06"); // a Julian day number
    EXPECT_EQ(text("day", 49998), "no date");    // kept as the database's text
    EXPECT_EQ(text("day", 49999), "1999-12-31"); // a date-time text in a date column
    EXPECT_EQ(text("qty", 49996), "12abc");      // no number: the text as it is
    EXPECT_EQ(text("qty", 49998), "7.9");        // a fraction kept whole
    EXPECT_EQ(text("label", 49998), "49998");    // an integer as SQLite writes it
    EXPECT_EQ(text("label", 49999), "12499.75"); // a real as SQLite writes it
    EXPECT_EQ(text("label", 50000), "标签 50000");
    EXPECT_EQ(text("note", 49996), ""); // an empty text is no null
    EXPECT_EQ(text("amount", 49998), "123456789012.3456");
    const ColumnData& flag = whole->columns[3];
    EXPECT_TRUE(flag.valueAt(47999).asBool());  // 'yes'
    EXPECT_FALSE(flag.valueAt(48000).asBool()); // 'OFF'
    EXPECT_TRUE(flag.valueAt(48001).asBool());  // 2
    EXPECT_FALSE(flag.valueAt(48003).asBool()); // 'maybe', no number
}

TEST(SqliteFetch, ACancelOrAFailingStepMidwayEndsInAnErrorAndLeavesNoThread) {
    const std::string path = rgtest::makeSqliteFile("sqlitefetch_mixed", kMixed);
    auto provider = openProvider(rgtest::builtin(path));
    const std::string all = std::string("SELECT ") + kColumns + " FROM k ORDER BY n";
    const size_t threadsBefore = threadCount();

    int64_t reported = 0;
    EXPECT_EQ(errorOf([&] {
                  provider->query(all, {}, {}, [&](int64_t rows) {
                      reported = rows;
                      return rows < 20000;
                  });
              }),
              "Operation cancelled");
    EXPECT_GE(reported, 20000);
    EXPECT_LT(reported, 50000);
    EXPECT_EQ(threadCount(), threadsBefore);

    // abs() of the smallest integer fails at row 40,000, long after the storing has begun.
    const std::string failing =
        "SELECT n, note, CASE WHEN n = 40000 THEN abs(-9223372036854775807 - 1) ELSE n END FROM k";
    EXPECT_EQ(errorOf([&] { provider->query(failing, {}); }), "integer overflow");
    EXPECT_EQ(threadCount(), threadsBefore);

    // The connection reads the whole result again.
    EXPECT_EQ(provider->query(all, {})->rows, 50000);
}
