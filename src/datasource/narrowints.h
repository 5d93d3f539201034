#pragma once

// Whole numbers kept in the narrowest of 1, 2, 4 or 8 bytes that holds every value so far. A
// value beyond the current width widens the whole array in place, so a column of small
// numbers costs a byte per row until a large one arrives.

#include "datasource/podbuffer.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace rg {

template <typename T> // int64_t or uint64_t
class NarrowInts {
    static_assert(std::is_same_v<T, int64_t> || std::is_same_v<T, uint64_t>);
    using T8 = std::conditional_t<std::is_signed_v<T>, int8_t, uint8_t>;
    using T16 = std::conditional_t<std::is_signed_v<T>, int16_t, uint16_t>;
    using T32 = std::conditional_t<std::is_signed_v<T>, int32_t, uint32_t>;

public:
    size_t size() const { return n_; }
    bool empty() const { return n_ == 0; }
    unsigned width() const { return width_; }

    T operator[](size_t i) const {
        const char* p = bytes_.data();
        switch (width_) {
        case 1:
            return load<T8>(p, i);
        case 2:
            return load<T16>(p, i);
        case 4:
            return load<T32>(p, i);
        default:
            return load<T>(p, i);
        }
    }
    T back() const { return (*this)[n_ - 1]; }

    void push_back(T v) {
        if (v > hi_ || (std::is_signed_v<T> && v < lo_))
            widen(v);
        bytes_.resize((n_ + 1) * width_);
        char* p = &bytes_[0];
        switch (width_) {
        case 1:
            store<T8>(p, n_, v);
            break;
        case 2:
            store<T16>(p, n_, v);
            break;
        case 4:
            store<T32>(p, n_, v);
            break;
        default:
            store<T>(p, n_, v);
            break;
        }
        ++n_;
    }
    void reserve(size_t n) { bytes_.reserve(n * width_); }
    void shrink_to_fit() { bytes_.shrink_to_fit(); }
    size_t memoryUsed() const { return bytes_.capacity(); }

private:
    template <typename N> static T load(const char* p, size_t i) {
        N v;
        std::memcpy(&v, p + i * sizeof(N), sizeof(N));
        return static_cast<T>(v);
    }
    template <typename N> static void store(char* p, size_t i, T v) {
        const N n = static_cast<N>(v);
        std::memcpy(p + i * sizeof(N), &n, sizeof(N));
    }
    template <typename N> void setRange() {
        width_ = sizeof(N);
        lo_ = std::numeric_limits<N>::min();
        hi_ = std::numeric_limits<N>::max();
    }

    // From the last value down, so that no value is overwritten before it is read.
    template <typename From, typename To> void spread() {
        char* p = n_ ? &bytes_[0] : nullptr;
        for (size_t i = n_; i-- > 0;)
            store<To>(p, i, load<From>(p, i));
    }
    template <typename From> void spreadFrom(unsigned to) {
        if (to == 2)
            spread<From, T16>();
        else if (to == 4)
            spread<From, T32>();
        else
            spread<From, T>();
    }

    // A value outside the current range fits no narrower width either.
    void widen(T v) {
        const unsigned old = width_;
        if (v >= std::numeric_limits<T16>::min() && v <= std::numeric_limits<T16>::max())
            setRange<T16>();
        else if (v >= std::numeric_limits<T32>::min() && v <= std::numeric_limits<T32>::max())
            setRange<T32>();
        else
            setRange<T>();
        // Keep the room reserved for rows, now at the new width.
        bytes_.reserve(bytes_.capacity() / old * width_);
        bytes_.resize(n_ * width_);
        if (old == 1)
            spreadFrom<T8>(width_);
        else if (old == 2)
            spreadFrom<T16>(width_);
        else
            spreadFrom<T32>(width_);
    }

    PodBuffer<char> bytes_;
    size_t n_ = 0;
    unsigned width_ = 1;
    T lo_ = std::numeric_limits<T8>::min(), hi_ = std::numeric_limits<T8>::max();
};

} // namespace rg
