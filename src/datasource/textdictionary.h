#pragma once

// The distinct texts of a column, each stored once and numbered from 1 in order of first
// appearance; code 0 stands for a null and reads as an empty text. A column of a few hundred
// distinct values over millions of rows then holds one small number per row, and grouping
// or filtering can compare numbers instead of texts.

#include "datasource/podbuffer.h"

#include <cstdint>
#include <string_view>

namespace rg {

class TextDictionary {
public:
    TextDictionary();

    // Codes in use, 0 included.
    uint32_t size() const { return static_cast<uint32_t>(offsets_.size() - 1); }
    std::string_view text(uint32_t code) const {
        const uint64_t b = offsets_[code], e = offsets_[code + 1];
        return std::string_view(arena_.data() + b, static_cast<size_t>(e - b));
    }
    // The code of a text, which is added when it is new.
    uint32_t codeOf(std::string_view s);

    // Gives back spare capacity and the lookup table; a later codeOf rebuilds the table.
    void shrink();
    size_t memoryUsed() const;

private:
    bool holds(uint32_t code, std::string_view s) const;
    void rehash(size_t slots);

    PodBuffer<char> arena_;
    PodBuffer<uint64_t> offsets_; // size() + 1 entries
    // Open addressing, at most half full: a slot holds a code in its low and the hash of the
    // code's text in its high 32 bits, 0 when free.
    PodBuffer<uint64_t> slots_;
    uint32_t last_ = 0; // the code found last: runs of one value skip the lookup
};

} // namespace rg
