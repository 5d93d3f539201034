#include "datasource/textdictionary.h"

#include <cstring>

namespace rg {

namespace {

template <typename T> T load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Texts here are mostly a few bytes long: both the hash and the comparison read them in
// whole words, the last word overlapping the one before, so no byte loop and no library call
// runs for them.
uint64_t hashText(const char* p, size_t n) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    const auto mix = [&h](uint64_t w) {
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 29;
    };
    if (n >= 8) {
        for (size_t i = 0; i + 8 <= n; i += 8)
            mix(load<uint64_t>(p + i));
        if (n % 8)
            mix(load<uint64_t>(p + n - 8));
    } else if (n >= 4) {
        mix(load<uint32_t>(p) | uint64_t(load<uint32_t>(p + n - 4)) << 32);
    } else if (n > 0) {
        mix(uint64_t(uint8_t(p[0])) | uint64_t(uint8_t(p[n / 2])) << 8 |
            uint64_t(uint8_t(p[n - 1])) << 16);
    }
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 32);
}

bool sameBytes(const char* a, const char* b, size_t n) {
    if (n >= 8) {
        if (load<uint64_t>(a) != load<uint64_t>(b) ||
            load<uint64_t>(a + n - 8) != load<uint64_t>(b + n - 8))
            return false;
        return n <= 16 || std::memcmp(a + 8, b + 8, n - 16) == 0;
    }
    if (n >= 4)
        return load<uint32_t>(a) == load<uint32_t>(b) &&
               load<uint32_t>(a + n - 4) == load<uint32_t>(b + n - 4);
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

} // namespace

TextDictionary::TextDictionary() {
    // Code 0: the empty text read for nulls.
    offsets_.push_back(0);
    offsets_.push_back(0);
}

bool TextDictionary::holds(uint32_t code, std::string_view s) const {
    const uint64_t b = offsets_[code];
    return offsets_[code + 1] - b == s.size() && sameBytes(arena_.data() + b, s.data(), s.size());
}

uint32_t TextDictionary::codeOf(std::string_view s) {
    if (last_ != 0 && holds(last_, s))
        return last_;
    if (slots_.empty())
        rehash(16);
    const uint64_t h = hashText(s.data(), s.size()) << 32;
    const size_t mask = slots_.size() - 1;
    size_t i = (h >> 32) & mask;
    for (uint64_t slot; (slot = slots_[i]) != 0; i = (i + 1) & mask)
        if ((slot & ~uint64_t(0xFFFFFFFF)) == h && holds(static_cast<uint32_t>(slot), s))
            return last_ = static_cast<uint32_t>(slot);
    const uint32_t code = size();
    arena_.append(s.data(), s.size());
    offsets_.push_back(arena_.size());
    slots_[i] = h | code;
    if (size_t(code) * 2 >= slots_.size())
        rehash(slots_.size() * 2);
    return last_ = code;
}

// Hashes the texts again rather than keeping them: the table can then be dropped once the
// fetch is complete, and growing it stays a small part of filling it.
void TextDictionary::rehash(size_t slots) {
    while (slots < size_t(size()) * 2)
        slots *= 2;
    slots_.resize(0);
    slots_.resize(slots);
    std::memset(&slots_[0], 0, slots * sizeof(uint64_t));
    const size_t mask = slots - 1;
    for (uint32_t c = 1; c < size(); ++c) {
        const std::string_view t = text(c);
        const uint64_t h = hashText(t.data(), t.size()) << 32;
        size_t i = (h >> 32) & mask;
        while (slots_[i] != 0)
            i = (i + 1) & mask;
        slots_[i] = h | c;
    }
}

void TextDictionary::shrink() {
    arena_.shrink_to_fit();
    offsets_.shrink_to_fit();
    slots_ = PodBuffer<uint64_t>();
}

size_t TextDictionary::memoryUsed() const {
    return arena_.capacity() + offsets_.capacity() * 8 + slots_.capacity() * 8;
}

} // namespace rg
