#include "datasource/resultbuffer.h"

#include "common/bigdecimal.h"
#include "common/datetime.h"
#include "common/displaytext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace rg {

namespace {

// A dictionary that has to hold more than this many texts, or more than one text in eight
// once the first rows have shown what the column is like, is given up for the plain arena:
// its codes would cost more than they save.
constexpr uint32_t kMaxCodes = 1u << 20;
constexpr int64_t kTrialRows = 1 << 16;

// Where a date column's cells that hold no date sort: after every date, or before them.
constexpr int64_t kOutsideHigh = kInfinityMicros - 1;
constexpr int64_t kOutsideLow = kMinusInfinityMicros + 1;

Value::Type dateTypeOf(FieldKind kind) {
    return kind == FieldKind::Date   ? Value::Type::Date
           : kind == FieldKind::Time ? Value::Type::Time
                                     : Value::Type::DateTime;
}

} // namespace

Storage storageFor(FieldKind kind) {
    switch (kind) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::Boolean:
    case FieldKind::AutoInc:
    case FieldKind::LargeInt:
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime:
    case FieldKind::TimeStamp:
        return Storage::Int;
    case FieldKind::Currency:
    case FieldKind::BCD:
    case FieldKind::FMTBcd:
        return Storage::Decimal;
    case FieldKind::Float:
        return Storage::Double;
    case FieldKind::Blob:
    case FieldKind::Graphic:
        return Storage::Blob;
    default:
        return Storage::Text;
    }
}

ColumnData::ColumnData(FieldKind kind)
    : kind_(kind), storage_(storageFor(kind)), encoded_(storage_ == Storage::Text),
      dated_(isDateKind(kind)) {
    if (storage_ == Storage::Text || storage_ == Storage::Blob)
        offsets_.push_back(0);
}

void ColumnData::reserve(int64_t rows) {
    const size_t n = static_cast<size_t>(rows);
    nulls_.reserve(n / 64 + 1);
    switch (storage_) {
    case Storage::Int:
        ints_.reserve(n);
        break;
    case Storage::Double:
        doubles_.reserve(n);
        break;
    case Storage::Decimal:
        mantissas_.reserve(n), scales_.reserve(n);
        break;
    default:
        if (encoded_)
            codes_.reserve(n);
        else
            offsets_.reserve(n + 1);
        break;
    }
}

void ColumnData::appendNull() {
    switch (storage_) {
    case Storage::Int:
        ints_.push_back(0);
        break;
    case Storage::Double:
        doubles_.push_back(0);
        break;
    case Storage::Decimal:
        mantissas_.push_back(0), scales_.push_back(0);
        break;
    default:
        if (encoded_)
            codes_.push_back(0);
        else
            offsets_.push_back(arena_.size());
        break;
    }
    markNull(true);
}

void ColumnData::appendInt(int64_t v) {
    switch (storage_) {
    case Storage::Int:
        ints_.push_back(v);
        break;
    case Storage::Double:
        doubles_.push_back(static_cast<double>(v));
        break;
    case Storage::Decimal:
        mantissas_.push_back(v), scales_.push_back(0);
        break;
    default: {
        char text[24];
        const auto end = std::to_chars(text, text + sizeof text, v).ptr;
        appendText(text, static_cast<size_t>(end - text));
        return;
    }
    }
    markNull(false);
}

void ColumnData::appendMicros(int64_t us) {
    ints_.push_back(us);
    markNull(false);
}

void ColumnData::appendOutside(Value held) {
    const bool low =
        held.type() == Value::Type::Double ? held.asDouble() < 0 : held.asText().rfind('-', 0) == 0;
    outside_.emplace_back(rows_, std::move(held));
    appendMicros(low ? kOutsideLow : kOutsideHigh);
}

void ColumnData::appendDateText(std::string_view text) {
    std::optional<int64_t> us;
    if (kind_ == FieldKind::Date)
        us = parseDateMicros(text);
    else if (kind_ == FieldKind::Time)
        us = parseTimeMicros(text);
    else
        us = parseDateTimeMicros(text);
    if (us)
        appendMicros(*us);
    else
        appendOutside(Value::fromText(std::string(text)));
}

const Value* ColumnData::outsideAt(int64_t r) const {
    const int64_t us = intAt(r);
    if (isDateMicros(us) || isInfinityMicros(us))
        return nullptr;
    const auto it = std::lower_bound(outside_.begin(), outside_.end(), r,
                                     [](const auto& o, int64_t row) { return o.first < row; });
    return it != outside_.end() && it->first == r ? &it->second : nullptr;
}

void ColumnData::appendDouble(double v) {
    if (dated_) {
        if (const auto us = microsOfSerial(v, kind_ == FieldKind::Time))
            appendMicros(*us);
        else
            appendOutside(Value::fromDouble(v));
        return;
    }
    switch (storage_) {
    case Storage::Int:
        ints_.push_back(static_cast<int64_t>(v));
        break;
    case Storage::Double:
        doubles_.push_back(v);
        break;
    case Storage::Decimal:
        if (const auto d = Decimal::fromDouble(v))
            appendDecimal(*d);
        else
            appendValue(Value::fromDouble(v));
        return;
    default: {
        const std::string s = formatFloat(v);
        appendText(s.data(), s.size());
        return;
    }
    }
    markNull(false);
}

void ColumnData::appendDecimal(const Decimal& v) {
    switch (storage_) {
    case Storage::Decimal:
        mantissas_.push_back(v.mantissa);
        scales_.push_back(static_cast<int8_t>(v.scale));
        markNull(false);
        return;
    case Storage::Int:
        appendInt(v.withScale(0).value_or(Decimal{}).toInt64().value_or(0));
        return;
    case Storage::Double:
        appendDouble(v.toDouble());
        return;
    default: {
        const std::string s = v.toString();
        appendText(s.data(), s.size());
    }
    }
}

void ColumnData::appendText(const char* data, size_t length) {
    if (dated_) {
        appendDateText(std::string_view(data, length));
        return;
    }
    switch (storage_) {
    case Storage::Int: {
        // Whole numbers directly, so 64-bit integers keep every digit.
        int64_t v = 0;
        const auto [end, ec] = std::from_chars(data, data + length, v);
        if (ec != std::errc() || end != data + length) {
            const std::optional<double> d = parseNumber(std::string_view(data, length));
            if (kind_ == FieldKind::Boolean) {
                v = static_cast<int64_t>(d.value_or(0));
            } else if (!d) {
                appendNonNumber(std::string_view(data, length));
                return;
            } else if (!isInt64Value(*d)) {
                appendNonInteger(*d);
                return;
            } else {
                v = static_cast<int64_t>(*d);
            }
        }
        ints_.push_back(v);
        break;
    }
    case Storage::Double:
        if (const std::optional<double> d = parseNumber(std::string_view(data, length))) {
            doubles_.push_back(*d);
            break;
        }
        appendNonNumber(std::string_view(data, length));
        return;
    case Storage::Decimal:
        // Up to 38 characters the 128-bit parse keeps every digit.
        if (length <= static_cast<size_t>(Decimal::kMaxDigits))
            if (const auto d = Decimal::parse(std::string_view(data, length))) {
                appendDecimal(*d);
                return;
            }
        appendDecimalText(std::string_view(data, length));
        return;
    default:
        if (!encoded_) {
            appendPlainText(data, length);
            return;
        }
        const uint32_t known = dict_.size();
        codes_.push_back(dict_.codeOf(std::string_view(data, length)));
        markNull(false);
        if (dict_.size() > known && (dict_.size() > kMaxCodes ||
                                     (rows_ >= kTrialRows && int64_t(dict_.size()) * 8 > rows_)))
            dropCodes();
        return;
    }
    markNull(false);
}

void ColumnData::appendValue(const Value& v) {
    if (storage_ != Storage::Decimal || v.isNull()) {
        if (v.isNull())
            appendNull();
        else if (v.type() == Value::Type::Double)
            appendDouble(v.asDouble());
        else if (const auto d = v.asDecimal())
            appendDecimal(*d);
        else
            appendText(v.displayText());
        return;
    }
    if (v.isWideDecimal()) {
        appendMarked(kWideScale, static_cast<int128>(wide_.size()));
        wide_.push_back(v.displayText());
    } else if (v.type() == Value::Type::Double && !std::isfinite(v.asDouble())) {
        const double d = v.asDouble();
        appendMarked(d != d ? kNaNScale : (d > 0 ? kInfinityScale : kMinusInfinityScale), 0);
        ++specials_;
    } else if (const auto d = v.asDecimal()) {
        appendDecimal(*d);
    } else {
        appendNull();
    }
}

void ColumnData::appendMarked(int8_t scale, int128 mantissa) {
    mantissas_.push_back(mantissa);
    scales_.push_back(scale);
    markNull(false);
}

// Decimal digits beyond 38, the texts of NaN and the infinities, and amounts written the
// way PostgreSQL writes money ("-$1,234.50", "($1.00)" in some locales).
void ColumnData::appendDecimalText(std::string_view text) {
    if (const auto v = exactNumber(text)) {
        appendValue(*v);
        return;
    }
    std::string plain;
    const bool parenthesized = text.find('(') != std::string_view::npos;
    for (const char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            plain.clear(); // no amount, and no number either
            break;
        }
        if ((c >= '0' && c <= '9') || c == '.' || c == '-')
            plain += c;
    }
    if (parenthesized && plain.find('-') == std::string::npos)
        plain.insert(0, 1, '-');
    const auto v = plain.empty() ? std::nullopt : exactNumber(plain);
    if (v)
        appendValue(*v);
    else
        appendNonNumber(text);
}

void ColumnData::appendNonNumber(std::string_view text) {
    holdAsDecimals();
    appendMarked(kTextScale, static_cast<int128>(wide_.size()));
    wide_.emplace_back(text);
}

void ColumnData::appendNonInteger(double v) {
    holdAsDecimals();
    appendDouble(v);
}

// The rows so far move from integers or doubles into exact decimals, doubles as their
// shortest decimals; the field keeps its kind.
void ColumnData::holdAsDecimals() {
    if (storage_ == Storage::Decimal)
        return;
    const Storage was = storage_;
    const NarrowInts<int64_t> ints = std::move(ints_);
    const PodBuffer<double> doubles = std::move(doubles_);
    const PodBuffer<uint64_t> nulls = std::move(nulls_);
    const int64_t rows = rows_;
    ints_ = NarrowInts<int64_t>();
    doubles_ = PodBuffer<double>();
    nulls_ = PodBuffer<uint64_t>();
    rows_ = 0;
    storage_ = Storage::Decimal;
    reserve(rows);
    for (int64_t r = 0; r < rows; ++r) {
        const size_t i = static_cast<size_t>(r);
        if ((nulls[i >> 6] >> (i & 63)) & 1u)
            appendNull();
        else if (was == Storage::Int)
            appendInt(ints[i]);
        else
            appendDouble(doubles[i]);
    }
}

Value ColumnData::markedValue(int64_t r) const {
    const size_t i = static_cast<size_t>(r);
    switch (scales_[i]) {
    case kWideScale:
        return Value::fromWideDigits(wide_[static_cast<size_t>(mantissas_[i])]);
    case kNaNScale:
        return Value::fromDouble(std::numeric_limits<double>::quiet_NaN());
    case kInfinityScale:
        return Value::fromDouble(std::numeric_limits<double>::infinity());
    case kMinusInfinityScale:
        return Value::fromDouble(-std::numeric_limits<double>::infinity());
    case kTextScale:
        return Value::fromText(wide_[static_cast<size_t>(mantissas_[i])]);
    default:
        return Value::fromDecimal(decimalAt(r));
    }
}

void ColumnData::appendPlainText(const char* data, size_t length) {
    arena_.append(data, length);
    offsets_.push_back(arena_.size());
    markNull(false);
}

// Writes the texts of the rows so far into the plain arena and goes on without codes.
void ColumnData::dropCodes() {
    size_t bytes = 0;
    for (size_t r = 0; r < codes_.size(); ++r)
        bytes += dict_.text(static_cast<uint32_t>(codes_[r])).size();
    arena_.reserve(bytes);
    offsets_.reserve(codes_.size() + 1);
    for (size_t r = 0; r < codes_.size(); ++r) {
        const std::string_view t = dict_.text(static_cast<uint32_t>(codes_[r]));
        arena_.append(t.data(), t.size());
        offsets_.push_back(arena_.size());
    }
    codes_ = NarrowInts<uint64_t>();
    dict_ = TextDictionary();
    encoded_ = false;
}

Value ColumnData::valueAt(int64_t r) const {
    if (isNull(r))
        return Value::null();
    switch (kind_) {
    case FieldKind::Boolean:
        return Value::fromBool(intAt(r) != 0);
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime:
    case FieldKind::TimeStamp: {
        const Value* outside = outsideAt(r);
        return outside ? *outside : Value::fromMicros(dateTypeOf(kind_), intAt(r));
    }
    default:
        break;
    }
    switch (storage_) {
    case Storage::Int:
        return Value::fromInt(intAt(r));
    case Storage::Double:
        return Value::fromDouble(doubleAt(r));
    case Storage::Decimal:
        if (scales_[static_cast<size_t>(r)] < 0)
            return markedValue(r);
        return Value::fromDecimal(decimalAt(r));
    case Storage::Text:
        return Value::fromText(std::string(textAt(r)));
    case Storage::Blob:
        return Value::fromBlob(std::string(textAt(r)));
    }
    return Value::null();
}

std::string ColumnData::displayTextAt(int64_t r) const {
    if (isNull(r))
        return {};
    switch (kind_) {
    case FieldKind::Boolean:
        return formatBool(intAt(r) != 0);
    case FieldKind::Date:
    case FieldKind::Time:
    case FieldKind::DateTime:
    case FieldKind::TimeStamp:
        if (const Value* outside = outsideAt(r))
            return outside->displayText();
        if (kind_ == FieldKind::Date)
            return formatDateMicros(intAt(r));
        return kind_ == FieldKind::Time ? formatTimeMicros(intAt(r))
                                        : formatDateTimeMicros(intAt(r));
    default:
        break;
    }
    switch (storage_) {
    case Storage::Int:
        return formatInt(intAt(r));
    case Storage::Double:
        return formatFloat(doubleAt(r));
    case Storage::Decimal:
        if (scales_[static_cast<size_t>(r)] < 0)
            return markedValue(r).displayText();
        return decimalAt(r).toString();
    case Storage::Text:
        return std::string(textAt(r));
    case Storage::Blob:
        return "(BLOB)";
    }
    return {};
}

void ColumnData::shrink() {
    nulls_.shrink_to_fit();
    ints_.shrink_to_fit();
    doubles_.shrink_to_fit();
    mantissas_.shrink_to_fit();
    scales_.shrink_to_fit();
    offsets_.shrink_to_fit();
    arena_.shrink_to_fit();
    codes_.shrink_to_fit();
    dict_.shrink();
    outside_.shrink_to_fit();
}

void ResultBuffer::shrink() {
    for (auto& c : columns)
        c.shrink();
}

size_t ColumnData::memoryUsed() const {
    size_t wide = wide_.capacity() * sizeof(std::string);
    for (const auto& w : wide_)
        wide += w.capacity();
    return wide + nulls_.capacity() * 8 + ints_.memoryUsed() + doubles_.capacity() * 8 +
           mantissas_.capacity() * 16 + scales_.capacity() + offsets_.memoryUsed() +
           arena_.capacity() + codes_.memoryUsed() + dict_.memoryUsed() +
           outside_.capacity() * sizeof(outside_[0]) + sizeof(*this);
}

size_t ResultBuffer::memoryUsed() const {
    size_t n = sizeof(*this);
    for (const auto& c : columns)
        n += c.memoryUsed();
    for (const auto& i : info)
        n += sizeof(i) + i.name.capacity() + i.baseTable.capacity();
    return n;
}

} // namespace rg
