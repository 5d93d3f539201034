// The in-memory columns of a fetched result: dictionary codes, the switch to plain texts and
// integers widened as larger values arrive, read back against SQLite itself.

#include "datasource/podbuffer.h"
#include "datasource/provider.h"
#include "testsupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>

using namespace rg;

namespace {

// 100,000 rows: `few` has five values, among them an empty text, and nulls; `turn` repeats
// three values for 80,000 rows and is unique after; `early` is unique from the start; `big`
// needs 8, 16, 32 and at last 64 bits.
const char* kColumns = R"(
CREATE TABLE t (n INTEGER, few TEXT, turn TEXT, early TEXT, big INTEGER);
WITH RECURSIVE seq(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM seq WHERE n < 100000)
INSERT INTO t SELECT n,
  CASE n % 6 WHEN 0 THEN '华北' WHEN 1 THEN '' WHEN 2 THEN NULL WHEN 3 THEN 'Ünïcode ✓' WHEN 4 THEN 'x' ELSE '华北' END,
  CASE WHEN n % 13 = 0 THEN NULL WHEN n <= 80000 THEN '重复 ' || (n % 3) ELSE '唯一 ' || n END,
  'é' || n,
  CASE WHEN n % 11 = 0 THEN NULL WHEN n <= 1000 THEN n % 100 - 50 WHEN n <= 40000 THEN -n
       WHEN n <= 90000 THEN n * 20000 ELSE n * 10000000000 END
FROM seq;
)";

// Every cell of the column equals what SQLite returns for it.
void expectSameAsSqlite(const ResultBuffer& buf, const std::string& path) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT n, few, turn, early, big FROM t ORDER BY n", -1, &st,
                                 nullptr),
              SQLITE_OK);
    int64_t r = 0, mismatches = 0;
    for (; sqlite3_step(st) == SQLITE_ROW && mismatches < 5; ++r) {
        for (int c = 0; c < 5; ++c) {
            const ColumnData& col = buf.columns[static_cast<size_t>(c)];
            const bool null = sqlite3_column_type(st, c) == SQLITE_NULL;
            bool same = col.isNull(r) == null;
            if (same && !null && col.storage() == Storage::Int)
                same = col.intAt(r) == sqlite3_column_int64(st, c);
            if (same && !null && col.storage() == Storage::Text)
                same = col.textAt(r) == reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            if (!same) {
                ++mismatches;
                ADD_FAILURE() << "row " << r << " column " << c;
            }
        }
    }
    EXPECT_EQ(r, buf.rows);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// Codes read the row's text, 0 only for nulls, one code per distinct text, numbered in
// order of first appearance.
void expectConsistentCodes(const ColumnData& col) {
    ASSERT_TRUE(col.hasCodes());
    std::map<std::string, uint32_t, std::less<>> seen;
    uint32_t next = 1;
    for (int64_t r = 0; r < col.size(); ++r) {
        const uint32_t code = col.codeAt(r);
        ASSERT_EQ(code == 0, col.isNull(r)) << r;
        ASSERT_LT(code, col.codeCount());
        ASSERT_EQ(col.codeText(code), col.textAt(r)) << r;
        if (code == 0)
            continue;
        const auto [it, added] = seen.emplace(std::string(col.textAt(r)), code);
        if (added)
            ASSERT_EQ(code, next++) << r;
        else
            ASSERT_EQ(it->second, code) << r;
    }
    EXPECT_EQ(col.codeCount(), next);
    EXPECT_EQ(col.codeText(0), "");
}

} // namespace

TEST(Columns, CodesPlainTextsAndWidenedIntegersReadBackAsSqliteHoldsThem) {
    const std::string path = rgtest::makeSqliteFile("columns", kColumns);
    auto buf = openProvider(rgtest::builtin(path))
                   ->query("SELECT n, few, turn, early, big FROM t ORDER BY n", {});
    ASSERT_EQ(buf->rows, 100000);
    expectSameAsSqlite(*buf, path);

    const ColumnData& few = buf->columns[1];
    expectConsistentCodes(few);
    EXPECT_EQ(few.codeCount(), 5u); // null, 华北, the empty text, Ünïcode ✓, x
    // Row r holds n = r + 1.
    EXPECT_EQ(few.codeText(few.codeAt(0)), "");
    EXPECT_NE(few.codeAt(0), 0u); // an empty text is not a null
    EXPECT_FALSE(few.valueAt(0).isNull());
    EXPECT_TRUE(few.valueAt(1).isNull());
    EXPECT_EQ(few.valueAt(2).asText(), "Ünïcode ✓");
    EXPECT_EQ(few.displayTextAt(5), "华北");

    EXPECT_FALSE(buf->columns[2].hasCodes()); // turned unique after 80,000 rows
    EXPECT_FALSE(buf->columns[3].hasCodes()); // unique from the start
    EXPECT_EQ(buf->columns[3].valueAt(99999).asText(), "é100000");
    EXPECT_EQ(buf->columns[4].intAt(99998), 99999LL * 10000000000LL);
    EXPECT_EQ(buf->columns[4].intAt(999), -50); // n = 1000, read back after three widenings
}

TEST(Columns, UnsignedNumbersWidenPastThirtyTwoBits) {
    // Text offsets beyond 4 GB: the step from 32 to 64 bits, without the 4 GB.
    NarrowInts<uint64_t> v;
    const uint64_t values[] = {0, 255, 256, 65535, 65536, 4294967295u, 4294967296u, ~uint64_t(0)};
    for (uint64_t x : values)
        v.push_back(x);
    EXPECT_EQ(v.width(), 8u);
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(v[i], values[i]) << i;
}

TEST(Columns, MappedBuffersKeepTheirValuesThroughGrowthMovesAndShrinks) {
    // Two buffers growing in turn take the pages after each other, so most growth steps move
    // a block; a moved block must start on a huge page and keep every value.
    PodBuffer<int64_t> a;
    PodBuffer<double> b;
    constexpr int64_t kValues = 3000000; // 24 MB each
    constexpr uintptr_t kHugePage = uintptr_t(2) << 20;
    const int64_t* last = nullptr;
    int moves = 0;
    for (int64_t i = 0; i < kValues; ++i) {
        a.push_back(i * 7 - 5);
        b.push_back(static_cast<double>(i) / 4);
        if (a.data() != last && a.capacity() * sizeof(int64_t) >= kHugePage) {
            ASSERT_EQ(reinterpret_cast<uintptr_t>(a.data()) % kHugePage, 0u) << i;
            moves += last != nullptr;
        }
        last = a.data();
    }
    EXPECT_GT(moves, 0);
    const auto same = [&] {
        for (int64_t i = 0; i < static_cast<int64_t>(a.size()); ++i)
            if (a[static_cast<size_t>(i)] != i * 7 - 5 ||
                b[static_cast<size_t>(i)] != static_cast<double>(i) / 4)
                return i;
        return int64_t(-1);
    };
    EXPECT_EQ(same(), -1);
    a.shrink_to_fit();
    b.resize(1500000);
    b.shrink_to_fit();
    EXPECT_EQ(a.capacity(), static_cast<size_t>(kValues));
    EXPECT_EQ(b.capacity(), 1500000u);
    a.resize(1500000);
    EXPECT_EQ(same(), -1);
    // Back below the mapped size: the values move to the heap.
    a.resize(1000);
    a.shrink_to_fit();
    b.resize(1000);
    b.shrink_to_fit();
    EXPECT_EQ(same(), -1);
}
