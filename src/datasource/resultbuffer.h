#pragma once

// A fetched result held column by column: numbers in plain arrays, texts in one byte arena
// per column, nulls as bits. A million rows of a handful of columns stay compact and are
// read without any per-cell allocation.

#include "common/value.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

enum class Storage : uint8_t { Int, Double, Text, Blob };

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
    void appendText(const char* data, size_t length);
    void appendText(std::string_view s) { appendText(s.data(), s.size()); }
    void removeLast();
    // Gives back the spare capacity of the growth once a fetch is complete.
    void shrink();

    bool isNull(int64_t r) const { return (nulls_[static_cast<size_t>(r >> 6)] >> (r & 63)) & 1u; }
    int64_t intAt(int64_t r) const { return ints_[static_cast<size_t>(r)]; }
    double doubleAt(int64_t r) const { return doubles_[static_cast<size_t>(r)]; }
    std::string_view textAt(int64_t r) const {
        const uint64_t b = offsets_[static_cast<size_t>(r)], e = offsets_[static_cast<size_t>(r) + 1];
        return std::string_view(arena_.data() + b, e - b);
    }

    // The typed value of the field kind (dates as serials, Booleans, blobs as bytes).
    Value valueAt(int64_t r) const;
    std::string displayTextAt(int64_t r) const;

    size_t memoryUsed() const;

private:
    void markNull(bool null);

    FieldKind kind_;
    Storage storage_;
    int64_t rows_ = 0;
    std::vector<uint64_t> nulls_;
    std::vector<int64_t> ints_;
    std::vector<double> doubles_;
    std::vector<uint64_t> offsets_;  // rows + 1 entries for texts and blobs
    std::string arena_;
};

// One result column as the driver describes it.
struct ColumnInfo {
    std::string name;
    FieldKind kind = FieldKind::String;
    int size = 0;              // declared character size, 0 when unknown
    std::string baseSchema;    // where the value comes from, when the driver says so
    std::string baseTable;
    std::string baseColumn;
};

struct ResultBuffer {
    std::vector<ColumnInfo> info;
    std::vector<ColumnData> columns;
    int64_t rows = 0;

    size_t memoryUsed() const;
    void shrink();
};

} // namespace rg
