#include "datasource/sqlitefetch.h"

#include "common/asciicase.h"
#include "common/datetime.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "datasource/podbuffer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <sqlite3.h>
#include <thread>

namespace rg {

namespace {

// Rows between two progress reports of an open.
constexpr int64_t kProgressStep = 4096;
// Cells in one batch of rows handed from the reading to the storing thread: few enough to
// stay in the caches, enough that the hand-over costs nothing.
constexpr int64_t kBatchCells = 16384;
// Full batches waiting for the storing thread at most, so a slow store holds the reading back
// instead of piling up rows.
constexpr size_t kBatchesWaiting = 16;

// A cell as read from SQLite, kept until its column stores it. Texts and blobs lie in their
// batch's text bytes, each followed by a zero byte.
struct ReadCell {
    enum Tag : uint8_t { Null, Int, Real, Text };
    union {
        int64_t i;
        double d;
        uint64_t offset;
    };
    uint32_t bytes;
    Tag tag;
};

// A batch of rows read and not yet stored. Its cells are sized once; its texts grow and are
// kept for the next batch, so filling one allocates nothing.
struct RowBatch {
    std::vector<ReadCell> cells; // row by row
    PodBuffer<char> text;
    int64_t rows = 0;

    // Appends a text and its zero byte; its offset in the texts.
    uint64_t placeText(const void* data, size_t bytes) {
        const uint64_t offset = text.size();
        text.append(static_cast<const char*>(data), bytes);
        text.push_back('\0');
        return offset;
    }
    void clear() {
        text.resize(0);
        rows = 0;
    }
};

// What a column asks of SQLite. SQLite's own conversions (a number as text, a text as a
// number for a Boolean) are made while reading; the parsing into the column's kind is left to
// the storing.
enum class ReadAs : uint8_t { Typed, Text, Blob, Boolean };

ReadAs readAsFor(const ColumnData& col) {
    if (isDateKind(col.kind()))
        return ReadAs::Typed;
    if (col.kind() == FieldKind::Boolean)
        return ReadAs::Boolean;
    switch (col.storage()) {
    case Storage::Text:
        return ReadAs::Text;
    case Storage::Blob:
        return ReadAs::Blob;
    default:
        return ReadAs::Typed;
    }
}

int64_t booleanOf(sqlite3_value* v, int type) {
    if (type == SQLITE_TEXT) {
        const std::string s = asciiLower(reinterpret_cast<const char*>(sqlite3_value_text(v)));
        if (s == "true" || s == "yes" || s == "on")
            return 1;
        if (s == "false" || s == "no" || s == "off")
            return 0;
    }
    return sqlite3_value_double(v) != 0 ? 1 : 0;
}

// The cell is read as a value: each sqlite3_column_ call looks the column up and checks the
// connection's state again, which cost a sixth of an open.
void readCell(RowBatch& b, ReadCell& c, ReadAs as, sqlite3_value* v) {
    const int t = sqlite3_value_type(v);
    if (t == SQLITE_NULL) {
        c.tag = ReadCell::Null;
    } else if (as == ReadAs::Boolean) {
        c.tag = ReadCell::Int;
        c.i = booleanOf(v, t);
    } else if (as == ReadAs::Typed && t == SQLITE_INTEGER) {
        c.tag = ReadCell::Int;
        c.i = sqlite3_value_int64(v);
    } else if (as == ReadAs::Typed && t == SQLITE_FLOAT) {
        c.tag = ReadCell::Real;
        c.d = sqlite3_value_double(v);
    } else {
        // The pointer first: asking for the length first could give the length of another
        // encoding.
        const void* p = as == ReadAs::Blob ? sqlite3_value_blob(v) : sqlite3_value_text(v);
        c.tag = ReadCell::Text;
        c.bytes = static_cast<uint32_t>(sqlite3_value_bytes(v));
        c.offset = b.placeText(p, c.bytes);
    }
}

int64_t dayOf(int64_t us) {
    return us - ((us % kMicrosPerDay) + kMicrosPerDay) % kMicrosPerDay;
}
int64_t timeOfDay(int64_t us) {
    return ((us % kMicrosPerDay) + kMicrosPerDay) % kMicrosPerDay;
}

// A date, time or date-time cell: a number is a Julian day number, as SQLite's date functions
// use them; one outside the years 1 to 9999 stays that number. A text that is no date of the
// column's kind stays the text the database holds, so that nothing it returned is lost.
void storeDateCell(ColumnData& col, const ReadCell& c, const char* text) {
    const FieldKind kind = col.kind();
    std::optional<int64_t> us;
    const std::string_view s = c.tag == ReadCell::Text ? std::string_view(text, c.bytes) : "";
    if (c.tag != ReadCell::Text) {
        const double julian = c.tag == ReadCell::Int ? static_cast<double>(c.i) : c.d;
        us = microsOfSerial(julian - 2415018.5);
        if (!us) {
            col.appendOutside(Value::fromDouble(julian));
            return;
        }
        if (kind == FieldKind::Time)
            us = timeOfDay(*us);
    } else if (kind == FieldKind::Date) {
        us = parseDateMicros(s);
        if (!us && (us = parseDateTimeMicros(s)) && !isInfinityMicros(*us))
            us = dayOf(*us);
    } else if (kind == FieldKind::Time) {
        us = parseTimeMicros(s);
        if (!us && (us = parseDateTimeMicros(s)) && !isInfinityMicros(*us))
            us = timeOfDay(*us);
    } else {
        us = parseDateTimeMicros(s);
    }
    if (us)
        col.appendMicros(*us);
    else
        col.appendOutside(Value::fromText(std::string(s)));
}

void appendParsed(ColumnData& col, const char* text, uint32_t bytes) {
    const auto d = parseNumber(text);
    if (!d)
        col.appendNonNumber(std::string_view(text, bytes));
    else if (col.storage() != Storage::Int)
        col.appendDouble(*d);
    else if (!isInt64Value(*d))
        col.appendNonInteger(*d);
    else
        col.appendInt(static_cast<int64_t>(*d));
}

// Stores a cell in a column of its kind: texts of dates and numbers are parsed, numbers kept
// as numbers; what the kind cannot hold stays what the database returned.
void storeCell(ColumnData& col, const ReadCell& c, const char* texts) {
    if (c.tag == ReadCell::Null) {
        col.appendNull();
        return;
    }
    const char* text = c.tag == ReadCell::Text ? texts + c.offset : nullptr;
    if (isDateKind(col.kind())) {
        storeDateCell(col, c, text);
        return;
    }
    switch (col.storage()) {
    case Storage::Int:
        if (c.tag == ReadCell::Int)
            col.appendInt(c.i);
        else if (c.tag == ReadCell::Real && isInt64Value(c.d))
            col.appendInt(static_cast<int64_t>(c.d));
        else if (c.tag == ReadCell::Real)
            col.appendNonInteger(c.d);
        else
            appendParsed(col, text, c.bytes);
        return;
    case Storage::Double:
        if (c.tag == ReadCell::Int)
            col.appendDouble(static_cast<double>(c.i));
        else if (c.tag == ReadCell::Real)
            col.appendDouble(c.d);
        else
            appendParsed(col, text, c.bytes);
        return;
    case Storage::Decimal:
        // Integers and texts keep every digit; a REAL becomes its shortest decimal.
        if (c.tag == ReadCell::Int)
            col.appendInt(c.i);
        else if (c.tag == ReadCell::Real)
            col.appendDouble(c.d);
        else
            col.appendText(text, c.bytes);
        return;
    case Storage::Text:
    case Storage::Blob:
        col.appendText(text, c.bytes);
        return;
    }
}

// Column by column: each column's appends stay in the caches and take the same branches.
void storeBatch(std::vector<ColumnData>& columns, const RowBatch& b) {
    const size_t n = columns.size();
    for (size_t col = 0; col < n; ++col) {
        ColumnData& data = columns[col];
        for (int64_t r = 0; r < b.rows; ++r)
            storeCell(data, b.cells[static_cast<size_t>(r) * n + col], b.text.data());
    }
}

// The storing thread and the batches between it and the reading thread. The thread starts
// with the first batch handed over, so a result of one batch is stored without it.
class BatchStore {
public:
    explicit BatchStore(std::vector<ColumnData>& columns) : columns_(columns) {}
    // After a failed or cancelled read: the batches not yet stored are dropped.
    ~BatchStore() { stop(true); }
    BatchStore(const BatchStore&) = delete;
    BatchStore& operator=(const BatchStore&) = delete;

    // A batch to fill, one the storing thread gave back when there is one.
    std::unique_ptr<RowBatch> emptyBatch() {
        std::lock_guard lock(mutex_);
        if (spare_.empty())
            return std::make_unique<RowBatch>();
        auto b = std::move(spare_.back());
        spare_.pop_back();
        return b;
    }

    // Waits while kBatchesWaiting batches are waiting already; throws what the storing
    // thread failed with.
    void hand(std::unique_ptr<RowBatch> b) {
        std::unique_lock lock(mutex_);
        if (!worker_.joinable())
            worker_ = std::thread([this] { run(); });
        changed_.wait(lock, [this] { return full_.size() < kBatchesWaiting || failure_; });
        if (failure_)
            std::rethrow_exception(failure_);
        full_.push_back(std::move(b));
        changed_.notify_all();
    }

    // Stores the last batch and returns once every row is stored.
    void finish(std::unique_ptr<RowBatch> last) {
        if (!worker_.joinable()) {
            storeBatch(columns_, *last);
            return;
        }
        hand(std::move(last));
        stop(false);
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !full_.empty() || closing_; });
            if (full_.empty() || dropping_)
                return;
            std::unique_ptr<RowBatch> b = std::move(full_.front());
            full_.pop_front();
            changed_.notify_all();
            if (!failure_) {
                lock.unlock();
                try {
                    storeBatch(columns_, *b);
                } catch (...) {
                    lock.lock();
                    failure_ = std::current_exception();
                    lock.unlock();
                }
                lock.lock();
            }
            b->clear();
            spare_.push_back(std::move(b));
            changed_.notify_all();
        }
    }

    void stop(bool drop) {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
            dropping_ = drop;
        }
        changed_.notify_all();
        if (worker_.joinable())
            worker_.join();
    }

    std::vector<ColumnData>& columns_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<RowBatch>> full_;
    std::vector<std::unique_ptr<RowBatch>> spare_;
    bool closing_ = false;
    bool dropping_ = false;
    std::exception_ptr failure_;
    std::thread worker_;
};

} // namespace

SqliteFetch fetchSqliteRows(sqlite3_stmt* st, int firstStep, std::vector<ColumnData>& columns,
                            const ProgressFn& progress) {
    const int n = static_cast<int>(columns.size());
    std::vector<ReadAs> readAs;
    for (const ColumnData& col : columns)
        readAs.push_back(readAsFor(col));
    const int64_t batchRows = std::max<int64_t>(1, kBatchCells / std::max(n, 1));
    BatchStore store(columns);
    std::unique_ptr<RowBatch> batch = store.emptyBatch();
    batch->cells.resize(static_cast<size_t>(batchRows * n));
    ReadCell* cell = batch->cells.data();
    SqliteFetch fetch;
    fetch.lastStep = firstStep;
    while (fetch.lastStep == SQLITE_ROW) {
        // The connection is opened without a mutex, so the column values need no protection.
        for (int i = 0; i < n; ++i)
            readCell(*batch, *cell++, readAs[static_cast<size_t>(i)], sqlite3_column_value(st, i));
        ++batch->rows;
        ++fetch.rows;
        if (progress && fetch.rows % kProgressStep == 0 && !progress(fetch.rows))
            throw Error("Operation cancelled");
        if (batch->rows == batchRows) {
            store.hand(std::move(batch));
            batch = store.emptyBatch();
            batch->cells.resize(static_cast<size_t>(batchRows * n));
            cell = batch->cells.data();
        }
        fetch.lastStep = sqlite3_step(st);
    }
    store.finish(std::move(batch));
    return fetch;
}

} // namespace rg
