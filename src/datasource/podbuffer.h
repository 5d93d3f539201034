#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace rg {

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

} // namespace rg
