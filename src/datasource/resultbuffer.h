#pragma once

// A fetched result held column by column: numbers in plain arrays, texts as codes into a
// dictionary of distinct texts or, when nearly every text differs, in one byte arena per
// column, nulls as bits. Millions of rows of a handful of columns stay compact and are read
// without any per-cell allocation.

#include "common/value.h"
#include "datasource/narrowints.h"
#include "datasource/podbuffer.h"
#include "datasource/textdictionary.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

enum class Storage : uint8_t { Int, Double, Decimal, Text, Blob };

// A double an integer column holds as the same integer.
inline bool isInt64Value(double d) {
    return d >= -0x1p63 && d < 0x1p63 && d == std::trunc(d);
}

// How a field kind is kept in memory.
Storage storageFor(FieldKind kind);

class ColumnData {
public:
    explicit ColumnData(FieldKind kind = FieldKind::String);

    FieldKind kind() const { return kind_; }
    Storage storage() const { return storage_; }
    int64_t size() const { return rows_; }

    void reserve(int64_t rows);
    void appendNull();
    void appendInt(int64_t v);
    void appendDouble(double v);
    void appendDecimal(const Decimal& v);
    // Decimals beyond 38 digits, NaN and infinities in a decimal column (other values as
    // the appends above take them).
    void appendValue(const Value& v);
    void appendText(const char* data, size_t length);
    void appendText(std::string_view s) { appendText(s.data(), s.size()); }
    // Date, time and date-time columns keep microseconds (datetime.h). Serials and texts
    // appended to them are read by the column's kind; one that is no date in range keeps
    // the number or text it is, shown as such, after every date (before them when negative).
    void appendMicros(int64_t us);
    void appendOutside(Value held);
    // A cell of a number column that the column's kind cannot hold (SQLite keeps any value
    // in any column): a text that reads as no number, a fraction in an integer column. The
    // column goes on as exact decimals and keeps the text, or the number, as it is.
    void appendNonNumber(std::string_view text);
    void appendNonInteger(double v);
    bool holdsNonDates() const { return !outside_.empty(); }
    // Gives back the spare capacity of the growth once a fetch is complete.
    void shrink();

    bool isNull(int64_t r) const { return (nulls_[static_cast<size_t>(r >> 6)] >> (r & 63)) & 1u; }
    int64_t intAt(int64_t r) const { return ints_[static_cast<size_t>(r)]; }
    double doubleAt(int64_t r) const { return doubles_[static_cast<size_t>(r)]; }
    // A row's decimal when it fits 38 digits; rows that do not are marked by their scale
    // (see hasWideValues).
    Decimal decimalAt(int64_t r) const {
        return {mantissas_[static_cast<size_t>(r)], scales_[static_cast<size_t>(r)]};
    }
    // Some rows of a decimal column hold a value beyond 38 digits, NaN, an infinity or a
    // text: decimalAt does not give them, valueAt does.
    bool hasWideValues() const { return !wide_.empty() || specials_ > 0; }
    std::string_view textAt(int64_t r) const {
        if (encoded_)
            return dict_.text(codeAt(r));
        const uint64_t b = offsets_[static_cast<size_t>(r)],
                       e = offsets_[static_cast<size_t>(r) + 1];
        return std::string_view(arena_.data() + b, static_cast<size_t>(e - b));
    }

    // A text column of few distinct values keeps a code per row: 0 for a null, else 1 + the
    // index of its text in the column's dictionary, in order of first appearance.
    bool hasCodes() const { return encoded_; }
    uint32_t codeAt(int64_t r) const {
        return static_cast<uint32_t>(codes_[static_cast<size_t>(r)]);
    }
    uint32_t codeCount() const { return dict_.size(); }
    std::string_view codeText(uint32_t code) const { return dict_.text(code); }

    // The typed value of the field kind (dates as microseconds, Booleans, blobs as bytes).
    Value valueAt(int64_t r) const;
    std::string displayTextAt(int64_t r) const;

    size_t memoryUsed() const;

private:
    void markNull(bool null) {
        if ((rows_ & 63) == 0)
            nulls_.push_back(0);
        if (null)
            nulls_.back() |= uint64_t(1) << (rows_ & 63);
        ++rows_;
    }
    void appendPlainText(const char* data, size_t length);
    void appendDecimalText(std::string_view text);
    void appendMarked(int8_t scale, int128 mantissa);
    void holdAsDecimals();
    Value markedValue(int64_t r) const;
    void dropCodes();
    void appendDateText(std::string_view text);
    const Value* outsideAt(int64_t r) const;

    // Scales that mark a decimal row that is not a 128-bit mantissa: a wide value (its
    // mantissa the index of its digits in wide_), NaN, Infinity, -Infinity, a text that is
    // no number (its mantissa the index of the text in wide_).
    static constexpr int8_t kWideScale = -1, kNaNScale = -2, kInfinityScale = -3,
                            kMinusInfinityScale = -4, kTextScale = -5;

    FieldKind kind_;
    Storage storage_;
    bool encoded_;
    bool dated_; // a date, time or date-time column
    int64_t rows_ = 0;
    PodBuffer<uint64_t> nulls_;
    NarrowInts<int64_t> ints_;
    PodBuffer<double> doubles_;
    PodBuffer<int128> mantissas_; // exact decimals: mantissa and scale of each row
    PodBuffer<int8_t> scales_;
    std::vector<std::string> wide_; // the rare decimals beyond 38 digits, texts of no number
    int64_t specials_ = 0;          // rows holding NaN or an infinity
    NarrowInts<uint64_t> offsets_;  // rows + 1 entries for plain texts and blobs
    PodBuffer<char> arena_;
    NarrowInts<uint64_t> codes_;
    TextDictionary dict_;
    std::vector<std::pair<int64_t, Value>>
        outside_; // rows of a date column that hold no date, in row order
};

// One result column as the driver describes it.
struct ColumnInfo {
    std::string name;
    FieldKind kind = FieldKind::String;
    int size = 0;           // declared character size, 0 when unknown
    std::string baseSchema; // where the value comes from, when the driver says so
    std::string baseTable;
    std::string baseColumn;
};

struct ResultBuffer {
    std::vector<ColumnInfo> info;
    std::vector<ColumnData> columns;
    int64_t rows = 0;
    std::string notice; // what the user should know about the result, or empty

    size_t memoryUsed() const;
    void shrink();
};

} // namespace rg
