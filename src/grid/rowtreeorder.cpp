#include "grid/rowtree.h"

#include "common/parallel.h"
#include "common/progress.h"
#include "datasource/resultbuffer.h"
#include "grid/gridkeys.h"

#include <algorithm>
#include <cstring>
#include <limits>

// The order of sibling rows: group rows by the rank of their value, data rows by the
// sorted column or in record order.

namespace rg {
namespace {

// Packed to twelve bytes: a flat sort of ten million rows holds two arrays of them.
#pragma pack(push, 4)
struct Keyed {
    uint64_t key;
    int32_t record;
};
#pragma pack(pop)
static_assert(sizeof(Keyed) == 12);

// Stable by key: a least-significant-digit radix sort, skipping the digits all keys share.
// Digits are a byte wide for the few thousand rows of a group, two bytes for many more.
void radixSort(std::vector<Keyed>& a, std::vector<Keyed>& spare) {
    if (a.size() < 64) {
        std::stable_sort(a.begin(), a.end(),
                         [](const Keyed& x, const Keyed& y) { return x.key < y.key; });
        return;
    }
    const int bits = a.size() < (1u << 16) ? 8 : 16;
    const uint64_t mask = (uint64_t(1) << bits) - 1;
    std::vector<size_t> count(size_t(1) << bits);
    spare.resize(a.size());
    for (int shift = 0; shift < 64; shift += bits) {
        std::fill(count.begin(), count.end(), 0);
        for (const Keyed& k : a)
            ++count[(k.key >> shift) & mask];
        if (count[(a[0].key >> shift) & mask] == a.size())
            continue;
        size_t sum = 0;
        for (size_t& c : count) {
            const size_t n = c;
            c = sum;
            sum += n;
        }
        for (const Keyed& k : a)
            spare[count[(k.key >> shift) & mask]++] = k;
        a.swap(spare);
    }
}

// Keys that order as the values do: integers with their sign bit flipped, doubles by their
// bits made monotonic (-0.0 as 0.0), everything else by the rank of its value.
struct SortKeys {
    DataSet::ColumnView view;
    enum class Kind { Int, Double, Rank } kind = Kind::Rank;
    FieldCodes codes;
    std::vector<int32_t> rank;

    SortKeys(const DataSet& ds, int field) : view(ds.columnView(field)) {
        const FieldKind fk = ds.Fields(field).Kind();
        if (view.column && view.column->storage() == Storage::Int && fk != FieldKind::Boolean) {
            kind = Kind::Int;
        } else if (view.column && view.column->storage() == Storage::Double) {
            kind = Kind::Double;
        } else {
            codes = encodeField(ds, field, "正在排序");
            rank = rankCodes(ds, field, codes);
        }
    }
    bool isNull(int32_t rec) const {
        if (kind == Kind::Rank)
            return codes.code[static_cast<size_t>(rec)] == 0;
        return view.column->isNull(view.row(rec));
    }
    uint64_t key(int32_t rec) const {
        switch (kind) {
        case Kind::Int:
            return static_cast<uint64_t>(view.column->intAt(view.row(rec))) ^ (uint64_t(1) << 63);
        case Kind::Double: {
            double d = view.column->doubleAt(view.row(rec)) + 0.0;
            if (d != d)
                d = std::numeric_limits<double>::quiet_NaN(); // after +Infinity, whatever its sign
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            return (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
        }
        case Kind::Rank:
            break;
        }
        return static_cast<uint64_t>(
            rank[static_cast<size_t>(codes.code[static_cast<size_t>(rec)])]);
    }
};

// The data rows of one range as the sort leaves them: the keyed ones in order, the nulls
// in the order they came.
struct SortedRange {
    std::vector<Keyed> keyed, spare;
    std::vector<int32_t> nulls;
    int64_t done = 0; // rows this part sorted, for the progress of the first

    void sort(const SortKeys& keys, const std::vector<int32_t>& data, int first, int count,
              bool down, bool reports, int parts) {
        keyed.clear();
        keyed.reserve(static_cast<size_t>(count));
        nulls.clear();
        for (int d = first; d < first + count; ++d, ++done) {
            if (reports && (done & (kProgressStep - 1)) == 0)
                reportProgress("正在排序", done * parts, static_cast<int64_t>(data.size()));
            const int32_t rec = data[static_cast<size_t>(d)];
            if (keys.isNull(rec))
                nulls.push_back(rec);
            else
                keyed.push_back({down ? ~keys.key(rec) : keys.key(rec), rec});
        }
        radixSort(keyed, spare);
    }
    // Takes in the rows of the range that follows this one.
    void mergeLater(const SortedRange& later) {
        spare.resize(keyed.size() + later.keyed.size());
        std::merge(keyed.begin(), keyed.end(), later.keyed.begin(), later.keyed.end(),
                   spare.begin(), [](const Keyed& x, const Keyed& y) { return x.key < y.key; });
        keyed.swap(spare);
        nulls.insert(nulls.end(), later.nulls.begin(), later.nulls.end());
    }
    void place(std::vector<int32_t>::iterator out, bool down) const {
        if (!down)
            out = std::copy(nulls.begin(), nulls.end(), out);
        for (const Keyed& k : keyed)
            *out++ = k.record;
        if (down)
            std::copy(nulls.begin(), nulls.end(), out);
    }
};

} // namespace

void RowTree::sort(const DataSet& ds, const Order& order) {
    if (levels_ > 0)
        orderGroups(order.levelDown);
    orderDataRows(ds, order.field, order.down);
}

void RowTree::orderGroups(const std::vector<bool>& levelDown) {
    // Sibling groups by rank; equal ranks keep the order in which their values came.
    auto order = [&](std::vector<int>& siblings, int level) {
        const bool down =
            static_cast<size_t>(level) < levelDown.size() && levelDown[static_cast<size_t>(level)];
        std::sort(siblings.begin(), siblings.end(), [&](int a, int b) {
            const GroupRow& x = groups_[static_cast<size_t>(a)];
            const GroupRow& y = groups_[static_cast<size_t>(b)];
            if (x.other != y.other)
                return y.other;
            if (x.rank != y.rank)
                return down ? x.rank > y.rank : x.rank < y.rank;
            return x.firstRecord < y.firstRecord;
        });
    };
    order(top_, 0);
    for (GroupRow& g : groups_)
        if (!g.groups.empty())
            order(g.groups, g.level + 1);
    // The innermost groups in shown order, their data rows moved along.
    std::vector<int> innermost;
    innermost.reserve(innermost_.size());
    walkGroups([&](int g) {
        if (groups_[static_cast<size_t>(g)].level < levels_ - 1)
            return true;
        innermost.push_back(g);
        return false;
    });
    if (paged_) {
        int pos = 0;
        for (int g : innermost) {
            groups_[static_cast<size_t>(g)].firstData = pos;
            pos += groups_[static_cast<size_t>(g)].dataRows;
        }
        innermost_.swap(innermost);
    } else if (innermost != innermost_) {
        std::vector<int32_t> data(data_.size());
        size_t pos = 0;
        for (int g : innermost) {
            GroupRow& row = groups_[static_cast<size_t>(g)];
            std::copy_n(data_.begin() + row.firstData, row.dataRows,
                        data.begin() + static_cast<ptrdiff_t>(pos));
            row.firstData = static_cast<int>(pos);
            pos += static_cast<size_t>(row.dataRows);
        }
        data_.swap(data);
        innermost_.swap(innermost);
    }
    for (size_t g = groups_.size(); g-- > 0;)
        if (!groups_[g].groups.empty())
            groups_[g].firstData =
                groups_[static_cast<size_t>(groups_[g].groups.front())].firstData;
}

void RowTree::orderDataRows(const DataSet& ds, int field, bool down) {
    if (paged_)
        return; // the server's pages come in the order asked
    // The data rows of each innermost group (of all, without grouping).
    std::vector<std::pair<int, int>> ranges;
    if (levels_ == 0)
        ranges.emplace_back(0, static_cast<int>(data_.size()));
    for (int g : innermost_)
        ranges.emplace_back(groups_[static_cast<size_t>(g)].firstData,
                            groups_[static_cast<size_t>(g)].dataRows);
    if (field < 0) {
        for (const auto& [first, count] : ranges) {
            const auto b = data_.begin() + first, e = b + count;
            if (!std::is_sorted(b, e))
                std::sort(b, e);
        }
        return;
    }
    // Stable, so equal values keep their order; nulls first going up, last going down.
    // Each part sorts whole groups, about as many rows each; one group alone is split,
    // its parts sorted apart and merged, the earlier part first among equal keys.
    const SortKeys keys(ds, field);
    const auto total = static_cast<int64_t>(data_.size());
    const int parts = partsFor(total, kRecordsPerThread);
    std::vector<SortedRange> sorted(static_cast<size_t>(parts));
    if (ranges.size() == 1) {
        const auto [first, count] = ranges[0];
        runParts(parts, [&](int p) {
            const auto b = static_cast<int>(partBegin(count, parts, p));
            const auto e = static_cast<int>(partBegin(count, parts, p + 1));
            sorted[static_cast<size_t>(p)].sort(keys, data_, first + b, e - b, down, p == 0, parts);
        });
        for (size_t p = 1; p < sorted.size(); ++p)
            sorted[0].mergeLater(sorted[p]);
        sorted[0].place(data_.begin() + first, down);
        return;
    }
    // The first range of each part: where the rows before it reach the part's share.
    std::vector<size_t> from(static_cast<size_t>(parts) + 1, ranges.size());
    from[0] = 0;
    int64_t rows = 0;
    for (size_t r = 0, p = 1; r < ranges.size() && p < static_cast<size_t>(parts); ++r) {
        rows += ranges[r].second;
        while (p < static_cast<size_t>(parts) &&
               rows >= partBegin(total, parts, static_cast<int>(p)))
            from[p++] = r + 1;
    }
    runParts(parts, [&](int p) {
        SortedRange& mine = sorted[static_cast<size_t>(p)];
        for (size_t r = from[static_cast<size_t>(p)]; r < from[static_cast<size_t>(p) + 1]; ++r) {
            mine.sort(keys, data_, ranges[r].first, ranges[r].second, down, p == 0, parts);
            mine.place(data_.begin() + ranges[r].first, down);
        }
    });
}

} // namespace rg
