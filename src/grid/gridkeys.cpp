#include "grid/gridkeys.h"

#include "common/codepage.h"
#include "common/parallel.h"
#include "common/progress.h"
#include "datasource/resultbuffer.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

namespace rg {
namespace {

struct Exact {
    int128 mantissa;
    int scale;
    bool operator==(const Exact& o) const { return mantissa == o.mantissa && scale == o.scale; }
};

// One pass over the records: `keyOf(row, hash)` gives the key of a non-null stored value.
// Each part numbers its own records; the parts' numbers then merge in part order, which
// keeps the order of first records, and the later parts' codes are renumbered.
template <class Key, class KeyOf>
void numberRows(const DataSet::ColumnView& v, int records, const char* what, FieldCodes& out,
                KeyOf keyOf) {
    const int parts = partsFor(records, kRecordsPerThread);
    std::vector<Numbering<Key>> numbering(static_cast<size_t>(parts));
    std::vector<FieldCodes> found(static_cast<size_t>(parts));
    runParts(parts, [&](int p) {
        Numbering<Key>& mine = numbering[static_cast<size_t>(p)];
        std::vector<int32_t>& first = found[static_cast<size_t>(p)].first;
        first.assign(1, -1);
        const auto end = static_cast<int>(partBegin(records, parts, p + 1));
        for (auto rec = static_cast<int>(partBegin(records, parts, p)); rec < end; ++rec) {
            if (p == 0 && (rec & (kProgressStep - 1)) == 0)
                reportProgress(what, static_cast<int64_t>(rec) * parts, records);
            const int64_t row = v.row(rec);
            if (v.column->isNull(row)) {
                if (first[0] < 0)
                    first[0] = rec;
                out.code[static_cast<size_t>(rec)] = 0;
                continue;
            }
            uint64_t hash;
            const Key key = keyOf(row, hash);
            const int32_t n = mine.number(key, hash) + 1;
            if (static_cast<size_t>(n) == first.size())
                first.push_back(rec);
            out.code[static_cast<size_t>(rec)] = n;
        }
    });
    Numbering<Key>& all = numbering[0];
    out.first = std::move(found[0].first);
    for (size_t p = 1; p < found.size(); ++p) {
        const Numbering<Key>& later = numbering[p];
        std::vector<int32_t>& to = found[p].code;
        to.assign(later.size() + 1, 0);
        if (out.first[0] < 0)
            out.first[0] = found[p].first[0];
        for (size_t k = 0; k < later.size(); ++k) {
            const int32_t n = all.number(later.key(k), later.hash(k)) + 1;
            if (static_cast<size_t>(n) == out.first.size())
                out.first.push_back(found[p].first[k + 1]);
            to[k + 1] = n;
        }
    }
    if (parts > 1)
        runParts(parts - 1, [&](int q) {
            const int p = q + 1;
            const std::vector<int32_t>& to = found[static_cast<size_t>(p)].code;
            const int64_t end = partBegin(records, parts, p + 1);
            for (int64_t rec = partBegin(records, parts, p); rec < end; ++rec) {
                int32_t& code = out.code[static_cast<size_t>(rec)];
                code = to[static_cast<size_t>(code)];
            }
        });
}

// Posted edits replace some values: keys from the values themselves.
void encodeValues(const DataSet& ds, int field, const char* what, FieldCodes& out) {
    const int records = ds.RecordCount();
    Numbering<std::string> numbering;
    std::string key;
    for (int rec = 0; rec < records; ++rec) {
        if ((rec & (kProgressStep - 1)) == 0)
            reportProgress(what, rec, records);
        const Value value = ds.value(rec, field);
        if (value.isNull()) {
            if (out.first[0] < 0)
                out.first[0] = rec;
            out.code[static_cast<size_t>(rec)] = 0;
            continue;
        }
        key.clear();
        appendValueKey(key, value);
        const int32_t n = numbering.number(key, std::hash<std::string>{}(key)) + 1;
        if (static_cast<size_t>(n) == out.first.size())
            out.first.push_back(rec);
        out.code[static_cast<size_t>(rec)] = n;
    }
}

} // namespace

FieldCodes encodeField(const DataSet& ds, int field, const char* what) {
    const int records = ds.RecordCount();
    FieldCodes out;
    out.code.resize(static_cast<size_t>(records));
    out.first.assign(1, -1);
    const DataSet::ColumnView v = ds.columnView(field);
    if (!v.column) {
        encodeValues(ds, field, what, out);
        return out;
    }
    const ColumnData& c = *v.column;
    if (c.hasCodes()) {
        // The column's own dictionary numbers the texts already.
        const int parts = partsFor(records, kRecordsPerThread);
        std::vector<std::vector<int32_t>> first(static_cast<size_t>(parts),
                                                std::vector<int32_t>(c.codeCount(), -1));
        runParts(parts, [&](int p) {
            std::vector<int32_t>& mine = first[static_cast<size_t>(p)];
            const auto end = static_cast<int>(partBegin(records, parts, p + 1));
            for (auto rec = static_cast<int>(partBegin(records, parts, p)); rec < end; ++rec) {
                if (p == 0 && (rec & (kProgressStep - 1)) == 0)
                    reportProgress(what, static_cast<int64_t>(rec) * parts, records);
                const auto code = static_cast<int32_t>(c.codeAt(v.row(rec)));
                out.code[static_cast<size_t>(rec)] = code;
                if (mine[static_cast<size_t>(code)] < 0)
                    mine[static_cast<size_t>(code)] = rec;
            }
        });
        out.first = std::move(first[0]);
        for (size_t p = 1; p < first.size(); ++p)
            for (size_t code = 0; code < out.first.size(); ++code)
                if (out.first[code] < 0)
                    out.first[code] = first[p][code];
        return out;
    }
    switch (c.storage()) {
    case Storage::Int:
        numberRows<int64_t>(v, records, what, out, [&](int64_t row, uint64_t& h) {
            const int64_t x = c.intAt(row);
            h = mixBits(static_cast<uint64_t>(x));
            return x;
        });
        break;
    case Storage::Double:
        numberRows<uint64_t>(v, records, what, out, [&](int64_t row, uint64_t& h) {
            double d = c.doubleAt(row) + 0.0; // -0.0 is 0
            if (d != d)
                d = std::numeric_limits<double>::quiet_NaN(); // one NaN, whatever its bits
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            h = mixBits(bits);
            return bits;
        });
        break;
    case Storage::Decimal:
        if (c.hasWideValues()) {
            // Values beyond 38 digits, NaN and infinities: keys from the values themselves.
            numberRows<std::string>(v, records, what, out, [&](int64_t row, uint64_t& h) {
                std::string key;
                appendValueKey(key, c.valueAt(row));
                h = std::hash<std::string>{}(key);
                return key;
            });
            break;
        }
        numberRows<Exact>(v, records, what, out, [&](int64_t row, uint64_t& h) {
            const Decimal d = c.decimalAt(row).normalized();
            const auto u = static_cast<unsigned __int128>(d.mantissa);
            h = mixBits(static_cast<uint64_t>(u) ^
                        mixBits(static_cast<uint64_t>(u >> 64) + static_cast<uint64_t>(d.scale)));
            return Exact{d.mantissa, d.scale};
        });
        break;
    case Storage::Text:
    case Storage::Blob:
        numberRows<std::string_view>(v, records, what, out, [&](int64_t row, uint64_t& h) {
            const std::string_view s = c.textAt(row);
            h = std::hash<std::string_view>{}(s);
            return s;
        });
        break;
    }
    return out;
}

std::vector<int32_t> rankDictionary(const ColumnData& column) {
    const uint32_t n = column.codeCount();
    std::vector<std::string> ansi(n);
    std::vector<int32_t> order;
    for (uint32_t code = 1; code < n; ++code) {
        ansi[code] = toAnsi(column.codeText(code));
        order.push_back(static_cast<int32_t>(code));
    }
    std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        return ansi[static_cast<size_t>(a)] < ansi[static_cast<size_t>(b)];
    });
    std::vector<int32_t> rank(n, 0);
    int32_t r = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i == 0 ||
            ansi[static_cast<size_t>(order[i - 1])] != ansi[static_cast<size_t>(order[i])])
            ++r;
        rank[static_cast<size_t>(order[i])] = r;
    }
    return rank;
}

std::vector<int32_t> rankCodes(const DataSet& ds, int field, const FieldCodes& codes) {
    const size_t n = codes.first.size();
    // Codes no current record holds (a filtered dictionary column) take no rank.
    std::vector<int32_t> order;
    for (size_t code = 1; code < n; ++code)
        if (codes.first[code] >= 0)
            order.push_back(static_cast<int32_t>(code));
    auto recordOf = [&](int32_t code) { return codes.first[static_cast<size_t>(code)]; };
    const DataSet::ColumnView v = ds.columnView(field);
    const Field& f = ds.Fields(field);
    std::function<int(int32_t, int32_t)> cmp;
    auto three = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    std::vector<std::string> bytes;
    if (v.column && v.column->storage() == Storage::Int && f.Kind() != FieldKind::Boolean) {
        cmp = [&](int32_t a, int32_t b) {
            return three(v.column->intAt(v.row(recordOf(a))), v.column->intAt(v.row(recordOf(b))));
        };
    } else if (v.column && v.column->storage() == Storage::Double) {
        cmp = [&](int32_t a, int32_t b) {
            return compareDoubles(v.column->doubleAt(v.row(recordOf(a))),
                                  v.column->doubleAt(v.row(recordOf(b))));
        };
    } else if (v.column &&
               (v.column->storage() == Storage::Text || v.column->storage() == Storage::Blob)) {
        // Texts in code page order, each converted once.
        const bool text = v.column->storage() == Storage::Text;
        bytes.resize(n);
        for (const int32_t code : order) {
            const std::string_view s =
                v.column->textAt(v.row(codes.first[static_cast<size_t>(code)]));
            bytes[static_cast<size_t>(code)] = text ? toAnsi(s) : std::string(s);
        }
        cmp = [&](int32_t a, int32_t b) {
            const int c = bytes[static_cast<size_t>(a)].compare(bytes[static_cast<size_t>(b)]);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        };
    } else {
        std::vector<Value> values(n);
        for (const int32_t code : order)
            values[static_cast<size_t>(code)] =
                ds.value(codes.first[static_cast<size_t>(code)], field);
        cmp = [values = std::move(values)](int32_t a, int32_t b) {
            return compareValues(values[static_cast<size_t>(a)], values[static_cast<size_t>(b)]);
        };
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return cmp(a, b) < 0; });
    std::vector<int32_t> rank(n, 0);
    int32_t r = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i == 0 || cmp(order[i - 1], order[i]) != 0)
            ++r;
        rank[static_cast<size_t>(order[i])] = r;
    }
    return rank;
}

// The first data row, in shown order, whose record has `key` in the key field.
int dataRowOfKey(const DataSet& ds, int keyField, const std::vector<int32_t>& data,
                 const Value& key) {
    const DataSet::ColumnView v = ds.columnView(keyField);
    if (v.column && v.column->storage() == Storage::Int && key.type() == Value::Type::Int) {
        // The records holding the key, read in their order; then the first of them shown.
        const int64_t k = key.asInt();
        std::vector<uint8_t> holds(data.size(), 0);
        bool any = false;
        for (size_t r = 0; r < data.size(); ++r) {
            const int64_t row = v.row(static_cast<int>(r));
            if (!v.column->isNull(row) && v.column->intAt(row) == k)
                holds[r] = any = true;
        }
        if (any)
            for (size_t d = 0; d < data.size(); ++d)
                if (holds[static_cast<size_t>(data[d])])
                    return static_cast<int>(d);
        return -1;
    }
    for (size_t d = 0; d < data.size(); ++d)
        if (compareValues(ds.value(data[d], keyField), key) == 0 &&
            ds.isNull(data[d], keyField) == key.isNull())
            return static_cast<int>(d);
    return -1;
}

} // namespace rg
