#include "common/value.h"

#include "common/bigdecimal.h"
#include "common/codepage.h"
#include "common/datetime.h"
#include "common/displaytext.h"
#include "common/error.h"

#include <cmath>
#include <limits>

namespace rg {

bool isBlobKind(FieldKind k) {
    return k == FieldKind::Memo || k == FieldKind::Blob || k == FieldKind::Graphic;
}

bool isNumericKind(FieldKind k) {
    switch (k) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::Float:
    case FieldKind::Currency:
    case FieldKind::BCD:
    case FieldKind::AutoInc:
    case FieldKind::LargeInt:
    case FieldKind::FMTBcd:
        return true;
    default:
        return false;
    }
}

bool isDateKind(FieldKind k) {
    return k == FieldKind::Date || k == FieldKind::Time || k == FieldKind::DateTime ||
           k == FieldKind::TimeStamp;
}

bool isTextKind(FieldKind k) {
    return k == FieldKind::String || k == FieldKind::Memo || k == FieldKind::Unknown;
}

const char* fieldKindName(FieldKind k) {
    switch (k) {
    case FieldKind::Unknown:
        return "Unknown";
    case FieldKind::String:
        return "String";
    case FieldKind::SmallInt:
        return "SmallInt";
    case FieldKind::Integer:
        return "Integer";
    case FieldKind::Word:
        return "Word";
    case FieldKind::Boolean:
        return "Boolean";
    case FieldKind::Float:
        return "Float";
    case FieldKind::Currency:
        return "Currency";
    case FieldKind::BCD:
        return "BCD";
    case FieldKind::Date:
        return "Date";
    case FieldKind::Time:
        return "Time";
    case FieldKind::DateTime:
        return "DateTime";
    case FieldKind::AutoInc:
        return "AutoInc";
    case FieldKind::LargeInt:
        return "LargeInt";
    case FieldKind::Memo:
        return "Memo";
    case FieldKind::Blob:
        return "Blob";
    case FieldKind::Graphic:
        return "Graphic";
    case FieldKind::TimeStamp:
        return "TimeStamp";
    case FieldKind::FMTBcd:
        return "FMTBcd";
    }
    return "Unknown";
}

Value Value::fromBool(bool b) {
    Value v;
    v.type_ = Type::Bool;
    v.num_.i = b ? 1 : 0;
    return v;
}
Value Value::fromInt(int64_t i) {
    Value v;
    v.type_ = Type::Int;
    v.num_.i = i;
    return v;
}
Value Value::fromDouble(double d) {
    Value v;
    v.type_ = Type::Double;
    v.num_.d = d;
    return v;
}
Value Value::fromDecimal(const Decimal& d) {
    Value v;
    v.type_ = Type::Decimal;
    v.num_.m = d.mantissa;
    v.scale_ = static_cast<int8_t>(d.scale);
    return v;
}
Value Value::fromBigDecimal(const BigDecimal& d) {
    if (const auto narrow = d.toDecimal())
        return fromDecimal(*narrow);
    return fromWideDigits(d.toString());
}
Value Value::fromWideDigits(std::string digits) {
    Value v;
    v.type_ = Type::Decimal;
    v.scale_ = kWide;
    v.text_ = std::move(digits);
    return v;
}
Value Value::fromText(std::string s) {
    Value v;
    v.type_ = Type::Text;
    v.text_ = std::move(s);
    return v;
}
Value Value::fromBlob(std::string b) {
    Value v;
    v.type_ = Type::Blob;
    v.text_ = std::move(b);
    return v;
}
Value Value::fromMicros(Type type, int64_t us) {
    Value v;
    v.type_ = type;
    v.num_.i = us;
    return v;
}
Value Value::fromDate(double s) {
    const auto us = microsOfSerial(s);
    return us ? fromMicros(Type::Date, *us) : fromDouble(s);
}
Value Value::fromTime(double s) {
    const auto us = microsOfSerial(s, true);
    return us ? fromMicros(Type::Time, *us) : fromDouble(s);
}
Value Value::fromDateTime(double s) {
    const auto us = microsOfSerial(s);
    return us ? fromMicros(Type::DateTime, *us) : fromDouble(s);
}

int64_t Value::asInt() const {
    switch (type_) {
    case Type::Bool:
    case Type::Int:
        return num_.i;
    case Type::Null:
        return 0;
    case Type::Decimal:
        if (isWideDecimal())
            return 0;
        if (auto d = Decimal{num_.m, scale_}.withScale(0))
            return d->toInt64().value_or(0);
        return 0;
    default:
        return static_cast<int64_t>(std::llround(asDouble()));
    }
}

double Value::asDouble() const {
    switch (type_) {
    case Type::Null:
        return 0;
    case Type::Bool:
    case Type::Int:
        return static_cast<double>(num_.i);
    case Type::Double:
        return num_.d;
    case Type::Date:
    case Type::DateTime:
        return serialOfMicros(num_.i);
    case Type::Time:
        return serialOfMicros(num_.i, true);
    case Type::Decimal:
        if (isWideDecimal())
            return asBigDecimal()->toDouble();
        return Decimal{num_.m, scale_}.toDouble();
    case Type::Text: {
        if (auto n = parseNumber(text_))
            return *n;
        throw Error(format("'%s' is not a valid floating point value", text_.c_str()));
    }
    case Type::Blob:
        break;
    }
    throw Error("Invalid variant type conversion");
}

std::optional<Decimal> Value::asDecimal() const {
    switch (type_) {
    case Type::Bool:
    case Type::Int:
        return Decimal::fromInt(num_.i);
    case Type::Decimal:
        if (isWideDecimal())
            return std::nullopt;
        return Decimal{num_.m, scale_};
    case Type::Double:
        return Decimal::fromDouble(num_.d);
    case Type::Text:
        return Decimal::parse(text_);
    default:
        return std::nullopt;
    }
}

std::optional<BigDecimal> Value::asBigDecimal() const {
    switch (type_) {
    case Type::Bool:
    case Type::Int:
        return BigDecimal::fromDecimal(Decimal::fromInt(num_.i));
    case Type::Decimal:
        if (isWideDecimal())
            return BigDecimal::parse(text_);
        return BigDecimal::fromDecimal(Decimal{num_.m, scale_});
    default:
        return std::nullopt;
    }
}

std::optional<Value> exactNumber(std::string_view text) {
    // Up to 38 characters the 128-bit parse keeps every digit.
    if (text.size() <= static_cast<size_t>(Decimal::kMaxDigits))
        if (const auto d = Decimal::parse(text))
            return Value::fromDecimal(*d);
    if (const auto big = BigDecimal::parse(text))
        return Value::fromBigDecimal(*big);
    if (const auto d = parseNumber(text); d && !std::isfinite(*d))
        return Value::fromDouble(*d);
    return std::nullopt;
}

std::string Value::displayText() const {
    switch (type_) {
    case Type::Null:
        return {};
    case Type::Bool:
        return formatBool(num_.i != 0);
    case Type::Int:
        return formatInt(num_.i);
    case Type::Double:
        return formatFloat(num_.d);
    case Type::Decimal:
        return isWideDecimal() ? text_ : Decimal{num_.m, scale_}.toString();
    case Type::Text:
        return text_;
    case Type::Date:
        return formatDateMicros(num_.i);
    case Type::Time:
        return formatTimeMicros(num_.i);
    case Type::DateTime:
        return formatDateTimeMicros(num_.i);
    case Type::Blob:
        return "(BLOB)";
    }
    return {};
}

bool Value::operator==(const Value& o) const {
    return compareValues(*this, o) == 0 && isNull() == o.isNull();
}

namespace {

bool isExactNumber(Value::Type t) {
    return t == Value::Type::Int || t == Value::Type::Bool || t == Value::Type::Decimal;
}

// An exact number against a double: NaN and infinities by their place, finite doubles by
// their exact binary value.
int compareExactWithDouble(const Value& exact, double d) {
    if (!std::isfinite(d))
        return d > 0 || d != d ? -1 : 1;
    return compare(*exact.asBigDecimal(), BigDecimal::exactDouble(d));
}

// A double against an exact number: long double holds every int64 and every double
// exactly, so integers compare exactly; decimals beyond 19 digits come close enough.
long double wide(const Value& v) {
    if (v.type() == Value::Type::Int || v.type() == Value::Type::Bool)
        return static_cast<long double>(v.asInt());
    if (v.type() == Value::Type::Decimal) {
        const Decimal d = *v.asDecimal();
        return static_cast<long double>(d.mantissa) / static_cast<long double>(pow10i(d.scale));
    }
    return v.asDouble();
}

} // namespace

int compareValues(const Value& a, const Value& b) {
    using T = Value::Type;
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    const auto cmp = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    if (a.type() == T::Int && b.type() == T::Int)
        return cmp(a.asInt(), b.asInt());
    if (isExactNumber(a.type()) && isExactNumber(b.type())) {
        if (a.isWideDecimal() || b.isWideDecimal())
            return compare(*a.asBigDecimal(), *b.asBigDecimal());
        return compare(*a.asDecimal(), *b.asDecimal());
    }
    if (a.isDateLike() && b.isDateLike())
        return cmp(a.micros(), b.micros());
    const bool aNum = a.isNumber() || a.isDateLike(), bNum = b.isNumber() || b.isDateLike();
    if (aNum && bNum) {
        const bool aExact = isExactNumber(a.type()), bExact = isExactNumber(b.type());
        if (aExact && (a.isWideDecimal() || !std::isfinite(b.asDouble())))
            return compareExactWithDouble(a, b.asDouble());
        if (bExact && (b.isWideDecimal() || !std::isfinite(a.asDouble())))
            return -compareExactWithDouble(b, a.asDouble());
        if (aExact || bExact)
            return cmp(wide(a), wide(b));
        return compareDoubles(a.asDouble(), b.asDouble());
    }
    if (a.type() == T::Text && b.type() == T::Text)
        return ansiCompare(a.asText(), b.asText());
    if (a.type() == T::Blob && b.type() == T::Blob)
        return cmp(a.asText(), b.asText());
    // Values of different classes in one column (SQLite keeps any value anywhere) rank as
    // SQLite ranks them: numbers and dates, then texts, then blobs.
    const auto rankOf = [](const Value& v) { return v.type() == T::Text ? 1 : 2; };
    return cmp(aNum ? 0 : rankOf(a), bNum ? 0 : rankOf(b));
}

void appendValueKey(std::string& key, const Value& v) {
    using T = Value::Type;
    auto exact = [&key](const Decimal& d) {
        const Decimal n = d.normalized();
        key += 'M';
        key += static_cast<char>(n.scale);
        key.append(reinterpret_cast<const char*>(&n.mantissa), sizeof n.mantissa);
    };
    switch (v.type()) {
    case T::Null:
        key += 'N';
        return;
    case T::Text:
        key += 'T';
        key += v.asText();
        return;
    case T::Blob:
        key += 'B';
        key += v.asText();
        return;
    case T::Int:
    case T::Bool:
        exact(*v.asDecimal());
        return;
    case T::Decimal: {
        if (!v.isWideDecimal()) {
            exact(*v.asDecimal());
            return;
        }
        const BigDecimal n = v.asBigDecimal()->normalized();
        if (const auto narrow = n.toDecimal()) {
            exact(*narrow);
            return;
        }
        key += 'W';
        key += n.toString();
        return;
    }
    case T::Double: {
        double d = v.asDouble();
        if (d != d)
            d = std::numeric_limits<double>::quiet_NaN(); // whatever its sign and payload
        // Whole doubles share the key of the equal integer; -0.0 becomes 0.
        if (d == std::trunc(d) && std::fabs(d) < 9.2e18) {
            exact(Decimal::fromInt(static_cast<int64_t>(d)));
            return;
        }
        key += 'D';
        key.append(reinterpret_cast<const char*>(&d), sizeof d);
        return;
    }
    default: {
        const int64_t us = v.micros();
        key += 'S';
        key.append(reinterpret_cast<const char*>(&us), sizeof us);
        return;
    }
    }
}

} // namespace rg
