#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <sys/mman.h>

namespace rg {

// A growable array of plain values. Large blocks are mapped and grow and shrink by moving
// their pages instead of copying them, so a column of millions of rows never pays for a
// copy while it fills or when its slack is given back.
template <typename T> class PodBuffer {
public:
    PodBuffer() = default;
    PodBuffer(const PodBuffer& o) { *this = o; }
    PodBuffer(PodBuffer&& o) noexcept : p_(o.p_), n_(o.n_), cap_(o.cap_) {
        o.p_ = nullptr;
        o.n_ = o.cap_ = 0;
    }
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
    ~PodBuffer() { release(); }

    size_t size() const { return n_; }
    size_t capacity() const { return cap_; }
    bool empty() const { return n_ == 0; }
    const T* data() const { return p_; }
    T& operator[](size_t i) { return p_[i]; }
    const T& operator[](size_t i) const { return p_[i]; }
    T& back() { return p_[n_ - 1]; }
    const T& back() const { return p_[n_ - 1]; }

    void push_back(T v) {
        if (n_ == cap_)
            grow(n_ + 1);
        p_[n_++] = v;
    }
    void append(const T* v, size_t count) {
        if (n_ + count > cap_)
            grow(n_ + count);
        if (count)
            std::memcpy(p_ + n_, v, count * sizeof(T));
        n_ += count;
    }
    void resize(size_t n) {
        if (n > cap_)
            grow(n);
        n_ = n;
    }
    void reserve(size_t n) {
        if (n > cap_)
            setCapacity(n);
    }
    void shrink_to_fit() {
        if (cap_ > n_)
            setCapacity(n_);
    }

private:
    void grow(size_t need) { setCapacity(std::max({need, cap_ * 2, size_t(16)})); }
    // Blocks of a megabyte and more are mapped and grow by mremap, which moves their pages
    // instead of copying them; malloc would keep blocks below its moving threshold (which
    // rises with every large block freed) on its heap and copy them at each doubling. They
    // ask for huge pages: a large open spent a sixth of its time in page faults.
    static constexpr size_t kMapBytes = size_t(1) << 20;
    static constexpr size_t kHugePage = size_t(2) << 20;
    // Whole huge pages from a huge page on, so that a mapping never ends in a split one.
    static size_t mapLength(size_t bytes) {
        const size_t unit = bytes >= kHugePage ? kHugePage : 4096;
        return (bytes + unit - 1) & ~(unit - 1);
    }
    // Grows or shrinks a mapping in place when the pages after it are free, else moves it
    // onto a new mapping that starts on a huge page: a move to an address of the kernel's
    // choice would split every huge page of the block into small ones.
    static void* remap(void* p, size_t oldLength, size_t length) {
        void* q = mremap(p, oldLength, length, 0);
        if (q != MAP_FAILED)
            return q;
        void* target = mapAligned(length);
        if (target == MAP_FAILED)
            return target;
        q = mremap(p, oldLength, length, MREMAP_MAYMOVE | MREMAP_FIXED, target);
        if (q == MAP_FAILED)
            munmap(target, length);
        return q;
    }

    void setCapacity(size_t n) {
        const size_t oldBytes = cap_ * sizeof(T), bytes = n * sizeof(T);
        void* q = nullptr;
        if (n == 0) {
            release();
            return;
        }
        if (bytes >= kMapBytes) {
            if (oldBytes >= kMapBytes) {
                q = remap(p_, mapLength(oldBytes), mapLength(bytes));
            } else {
                q = mapAligned(mapLength(bytes));
                if (q != MAP_FAILED && n_)
                    std::memcpy(q, p_, n_ * sizeof(T));
                if (q != MAP_FAILED)
                    std::free(p_);
            }
            if (q == MAP_FAILED)
                throw std::bad_alloc();
            // The whole mapping, so that it stays one area that mremap can move.
            madvise(q, mapLength(bytes), MADV_HUGEPAGE);
        } else if (oldBytes >= kMapBytes) {
            q = std::malloc(bytes);
            if (!q)
                throw std::bad_alloc();
            std::memcpy(q, p_, std::min(n_, n) * sizeof(T));
            munmap(p_, mapLength(oldBytes));
        } else {
            q = std::realloc(p_, bytes);
            if (!q)
                throw std::bad_alloc();
        }
        p_ = static_cast<T*>(q);
        cap_ = n;
    }
    // A mapping that starts on a huge page, so that it can be filled with huge pages.
    static void* mapAligned(size_t length) {
        void* raw = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED)
            return raw;
        const auto at = reinterpret_cast<uintptr_t>(raw);
        const uintptr_t aligned = (at + kHugePage - 1) & ~(kHugePage - 1);
        if (aligned > at)
            munmap(raw, aligned - at);
        if (aligned - at < kHugePage)
            munmap(reinterpret_cast<void*>(aligned + length), kHugePage - (aligned - at));
        return reinterpret_cast<void*>(aligned);
    }
    void release() {
        if (cap_ * sizeof(T) >= kMapBytes)
            munmap(p_, mapLength(cap_ * sizeof(T)));
        else
            std::free(p_);
        p_ = nullptr;
        cap_ = 0;
    }
    T* p_ = nullptr;
    size_t n_ = 0, cap_ = 0;
};

} // namespace rg
