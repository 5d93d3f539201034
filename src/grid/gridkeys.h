#pragma once

// Integer keys for the grid's loops over millions of records: the distinct values of a
// field numbered once, so that grouping, sorting and filtering compare numbers instead of
// values.

#include "common/parallel.h"
#include "common/value.h"
#include "datasource/dataset.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace rg {

class ColumnData;

// How often the long loops report their progress, in records.
constexpr int kProgressStep = 0x10000;

inline uint64_t mixBits(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb93fe53ad3fbULL;
    x ^= x >> 33;
    return x;
}

// Numbers distinct keys in first-seen order: an open-addressing table of numbers, the
// keys themselves kept beside it in that order.
template <class Key> class Numbering {
public:
    // The number of `key`, a new one when it was not seen yet.
    int32_t number(const Key& key, uint64_t hash) {
        if ((keys_.size() + 1) * 2 > slots_.size())
            grow();
        for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
            const int32_t s = slots_[i];
            if (s < 0) {
                slots_[i] = static_cast<int32_t>(keys_.size());
                keys_.push_back(key);
                hashes_.push_back(hash);
                return slots_[i];
            }
            if (hashes_[static_cast<size_t>(s)] == hash && keys_[static_cast<size_t>(s)] == key)
                return s;
        }
    }

    // The keys numbered so far, in order of their numbers, and their hashes.
    size_t size() const { return keys_.size(); }
    const Key& key(size_t n) const { return keys_[n]; }
    uint64_t hash(size_t n) const { return hashes_[n]; }

private:
    void grow() {
        const size_t n = std::max<size_t>(64, slots_.size() * 2);
        slots_.assign(n, -1);
        mask_ = n - 1;
        for (size_t s = 0; s < keys_.size(); ++s) {
            size_t i = hashes_[s] & mask_;
            while (slots_[i] >= 0)
                i = (i + 1) & mask_;
            slots_[i] = static_cast<int32_t>(s);
        }
    }
    std::vector<int32_t> slots_;
    std::vector<Key> keys_;
    std::vector<uint64_t> hashes_;
    size_t mask_ = 0;
};

// The values of one field over the current records: code[record] is 0 for a null and
// 1 + the number of a distinct value otherwise (the column's dictionary code when it has
// one); first[code] is the first record holding it, -1 when none does. Equal codes mean
// values compareValues calls equal; different codes may still compare equal (texts the
// code page cannot tell apart). `what` is the progress text of the caller's step.
struct FieldCodes {
    std::vector<int32_t> code;
    std::vector<int32_t> first;
};
FieldCodes encodeField(const DataSet& ds, int field, const char* what);

// The rank of every dictionary code of a text column in code page order, equal texts
// sharing a rank, code 0 (the null) first with rank 0.
std::vector<int32_t> rankDictionary(const ColumnData& column);

// The rank of every code of `codes` in compareValues order, equal values sharing a rank,
// nulls (code 0) first with rank 0.
std::vector<int32_t> rankCodes(const DataSet& ds, int field, const FieldCodes& codes);

// The first data row, in shown order (`data` holds the record of each), whose record has
// `key` in the key field; -1 when none has.
int dataRowOfKey(const DataSet& ds, int keyField, const std::vector<int32_t>& data,
                 const Value& key);

} // namespace rg
