#include "datasource/textdictionary.h"

#include <cstring>

namespace rg {

namespace {

// A word-at-a-time multiply-xorshift hash: texts here are mostly short, and this costs a few
// multiplications per eight bytes.
uint64_t hashText(std::string_view s) {
    const char* p = s.data();
    size_t n = s.size();
    uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 29;
        p += 8;
        n -= 8;
    }
    if (n) {
        uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * 0x94D049BB133111EBull;
    }
    h ^= h >> 32;
    h *= 0xFF51AFD7ED558CCDull;
    return h ^ (h >> 29);
}

} // namespace

TextDictionary::TextDictionary() {
    // Code 0: the empty text read for nulls.
    offsets_.push_back(0);
    offsets_.push_back(0);
    hashes_.push_back(0);
}

uint32_t TextDictionary::codeOf(std::string_view s) {
    if (last_ != 0 && text(last_) == s) return last_;
    if (slots_.empty()) rehash(16);
    const uint32_t h = static_cast<uint32_t>(hashText(s));
    const size_t mask = slots_.size() - 1;
    size_t i = h & mask;
    for (uint32_t c; (c = slots_[i]) != 0; i = (i + 1) & mask)
        if (hashes_[c] == h && text(c) == s) return last_ = c;
    const uint32_t code = size();
    arena_.append(s.data(), s.size());
    offsets_.push_back(arena_.size());
    hashes_.push_back(h);
    slots_[i] = code;
    if (size_t(code) * 2 >= slots_.size()) rehash(slots_.size() * 2);
    return last_ = code;
}

void TextDictionary::rehash(size_t slots) {
    while (slots < size_t(size()) * 2) slots *= 2;
    slots_.resize(0);
    slots_.resize(slots);
    std::memset(&slots_[0], 0, slots * sizeof(uint32_t));
    const size_t mask = slots - 1;
    for (uint32_t c = 1; c < size(); ++c) {
        size_t i = hashes_[c] & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = c;
    }
}

void TextDictionary::shrink() {
    arena_.shrink_to_fit();
    offsets_.shrink_to_fit();
    hashes_.shrink_to_fit();
    slots_ = PodBuffer<uint32_t>();
}

size_t TextDictionary::memoryUsed() const {
    return arena_.capacity() + offsets_.capacity() * 8 + (hashes_.capacity() + slots_.capacity()) * 4;
}

} // namespace rg
