#pragma once

// A fetched result held column by column: numbers in plain arrays, texts in one byte arena
// per column, nulls as bits. A million rows of a handful of columns stay compact and are
// read without any per-cell allocation.

#include "common/value.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

enum class Storage : uint8_t { Int, Double, Decimal, Text, Blob };

// A growable array of plain values in malloc'ed memory. Large blocks grow and shrink by
// realloc, which moves their pages instead of copying them, so a column of millions of
// rows never pays for a copy while it fills or when its slack is given back.
template <typename T>
class PodBuffer {
public:
    PodBuffer() = default;
    PodBuffer(const PodBuffer& o) { *this = o; }
    PodBuffer(PodBuffer&& o) noexcept : p_(o.p_), n_(o.n_), cap_(o.cap_) { o.p_ = nullptr; o.n_ = o.cap_ = 0; }
    PodBuffer& operator=(const PodBuffer& o) {
        if (this != &o) {
            n_ = 0;
            append(o.p_, o.n_);
        }
        return *this;
    }
    PodBuffer& operator=(PodBuffer&& o) noexcept {
        std::swap(p_, o.p_);
        std::swap(n_, o.n_);
        std::swap(cap_, o.cap_);
        return *this;
    }
    ~PodBuffer() { std::free(p_); }

    size_t size() const { return n_; }
    size_t capacity() const { return cap_; }
    bool empty() const { return n_ == 0; }
    const T* data() const { return p_; }
    T& operator[](size_t i) { return p_[i]; }
    const T& operator[](size_t i) const { return p_[i]; }
    T& back() { return p_[n_ - 1]; }
    const T& back() const { return p_[n_ - 1]; }

    void push_back(T v) {
        if (n_ == cap_) grow(n_ + 1);
        p_[n_++] = v;
    }
    void append(const T* v, size_t count) {
        if (n_ + count > cap_) grow(n_ + count);
        if (count) std::memcpy(p_ + n_, v, count * sizeof(T));
        n_ += count;
    }
    void pop_back() { --n_; }
    void resize(size_t n) {
        if (n > cap_) grow(n);
        n_ = n;
    }
    void reserve(size_t n) {
        if (n > cap_) setCapacity(n);
    }
    void shrink_to_fit() {
        if (cap_ > n_) setCapacity(n_);
    }

private:
    void grow(size_t need) { setCapacity(std::max({need, cap_ * 2, size_t(16)})); }
    void setCapacity(size_t n) {
        if (n == 0) {
            std::free(p_);
            p_ = nullptr;
            cap_ = 0;
            return;
        }
        T* q = static_cast<T*>(std::realloc(p_, n * sizeof(T)));
        if (!q) throw std::bad_alloc();
        p_ = q;
        cap_ = n;
    }
    T* p_ = nullptr;
    size_t n_ = 0, cap_ = 0;
};

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
    void appendText(const char* data, size_t length);
    void appendText(std::string_view s) { appendText(s.data(), s.size()); }
    void removeLast();
    // Gives back the spare capacity of the growth once a fetch is complete.
    void shrink();

    bool isNull(int64_t r) const { return (nulls_[static_cast<size_t>(r >> 6)] >> (r & 63)) & 1u; }
    int64_t intAt(int64_t r) const { return ints_[static_cast<size_t>(r)]; }
    double doubleAt(int64_t r) const { return doubles_[static_cast<size_t>(r)]; }
    Decimal decimalAt(int64_t r) const {
        return {mantissas_[static_cast<size_t>(r)], scales_[static_cast<size_t>(r)]};
    }
    std::string_view textAt(int64_t r) const {
        const uint64_t b = offsets_[static_cast<size_t>(r)], e = offsets_[static_cast<size_t>(r) + 1];
        return std::string_view(arena_.data() + b, static_cast<size_t>(e - b));
    }

    // The typed value of the field kind (dates as serials, Booleans, blobs as bytes).
    Value valueAt(int64_t r) const;
    std::string displayTextAt(int64_t r) const;

    size_t memoryUsed() const;

private:
    void markNull(bool null) {
        if ((rows_ & 63) == 0) nulls_.push_back(0);
        if (null) nulls_.back() |= uint64_t(1) << (rows_ & 63);
        ++rows_;
    }

    FieldKind kind_;
    Storage storage_;
    int64_t rows_ = 0;
    PodBuffer<uint64_t> nulls_;
    PodBuffer<int64_t> ints_;
    PodBuffer<double> doubles_;
    PodBuffer<int128> mantissas_;  // exact decimals: mantissa and scale of each row
    PodBuffer<int8_t> scales_;
    PodBuffer<uint64_t> offsets_;  // rows + 1 entries for texts and blobs
    PodBuffer<char> arena_;
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
