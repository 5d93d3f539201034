#pragma once

#include "common/decimal.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rg {

struct BigDecimal;

// Kinds of a data set field, named after the field classes the reports were designed with.
enum class FieldKind {
    Unknown,
    String,   // character data of bounded size
    SmallInt, // 16-bit integer
    Integer,  // 32-bit integer
    Word,     // unsigned 16-bit integer
    Boolean,
    Float, // double precision floating point
    Currency,
    BCD, // exact numeric (DECIMAL / NUMERIC)
    Date,
    Time,
    DateTime,
    AutoInc,
    LargeInt, // 64-bit integer
    Memo,     // long character data (above 65,536 characters or unbounded)
    Blob,     // binary data
    Graphic,
    TimeStamp,
    FMTBcd,
};

// Binary large objects cannot be grouped or sorted by the grid.
bool isBlobKind(FieldKind kind);
// Numbers are right-aligned and can be summed.
bool isNumericKind(FieldKind kind);
bool isDateKind(FieldKind kind);
// Character data, and kinds the driver did not name, which arrive as text.
bool isTextKind(FieldKind kind);
const char* fieldKindName(FieldKind kind);

// One cell value. Dates and times hold their microseconds exactly (datetime.h) and give
// their day-count serial (day 0 is 1899-12-30, the time of day as the fraction) to the
// spreadsheet and XML writers and to sums.
class Value {
public:
    enum class Type : uint8_t {
        Null,
        Bool,
        Int,
        Double,
        Decimal,
        Text,
        Date,
        Time,
        DateTime,
        Blob
    };

    Value() = default;
    static Value null() { return Value(); }
    static Value fromBool(bool b);
    static Value fromInt(int64_t i);
    static Value fromDouble(double d);
    static Value fromDecimal(const Decimal& d);
    // A Decimal when mantissa and scale fit one, else the wide form below.
    static Value fromBigDecimal(const BigDecimal& d);
    // A wide decimal from the digits BigDecimal::toString wrote for it.
    static Value fromWideDigits(std::string digits);
    static Value fromText(std::string s);
    static Value fromBlob(std::string bytes);
    // A serial outside the years 1 to 9999 is no date: it stays the number it is.
    static Value fromDate(double serial);
    static Value fromTime(double serial);
    static Value fromDateTime(double serial);
    // `type` is Date, Time or DateTime; `us` a count of datetime.h, an infinity included.
    static Value fromMicros(Type type, int64_t us);

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isNumber() const {
        return type_ == Type::Int || type_ == Type::Double || type_ == Type::Decimal ||
               type_ == Type::Bool;
    }
    bool isDateLike() const {
        return type_ == Type::Date || type_ == Type::Time || type_ == Type::DateTime;
    }
    // A Decimal beyond 38 digits: its exact digits are kept as text.
    bool isWideDecimal() const { return type_ == Type::Decimal && scale_ == kWide; }

    bool asBool() const { return num_.i != 0; }
    int64_t asInt() const;
    // Numbers as double; dates as their serial; texts parsed as numbers (throws rg::Error
    // when a text is not a number).
    double asDouble() const;
    // Exact value of Int, Bool and Decimal values, the shortest decimal of a Double, a text
    // read as a decimal number; nullopt for anything else (null, dates, blobs, non-numbers)
    // and for wide decimals.
    std::optional<Decimal> asDecimal() const;
    // Exact value of Int, Bool and Decimal values at any size; nullopt for anything else.
    std::optional<BigDecimal> asBigDecimal() const;
    const std::string& asText() const { return text_; } // Text and Blob only
    int64_t micros() const { return num_.i; }           // Date, Time and DateTime only

    // The one display text of the program (see displaytext.h).
    std::string displayText() const;

    bool operator==(const Value& other) const;

private:
    static constexpr int8_t kWide = -1;
    Type type_ = Type::Null;
    int8_t scale_ = 0; // Decimal only; kWide: the digits are in text_
    union {
        int128 m;
        int64_t i;
        double d;
    } num_{0};
    std::string text_;
};

// The value of a decimal text with every digit and its places kept ("1.50" stays 1.50, at
// any size), and the texts PostgreSQL writes for a numeric's NaN and infinities as those
// doubles. nullopt when the text is none of these.
std::optional<Value> exactNumber(std::string_view text);

// Doubles in PostgreSQL's order: -Infinity first, NaN after every number and equal to
// itself, -0.0 equal to 0.0.
inline int compareDoubles(double a, double b) {
    if (a < b)
        return -1;
    if (b < a)
        return 1;
    const bool na = a != a, nb = b != b;
    return na == nb ? 0 : (na ? 1 : -1);
}

// Natural order of two values: null before everything, numbers exactly by value (64-bit
// integers and decimals never through a double; NaN after every number, as in
// compareDoubles), texts in code page byte order, dates and times by their microseconds
// (-infinity first, infinity last). Of different classes, numbers and dates come before
// texts, texts before blobs.
int compareValues(const Value& a, const Value& b);

// Appends a key that is equal for values compareValues calls equal: 1, 1.0 and 1.00 give
// one key (a wide 1.000… too), -0.0 and 0.0 one key, every NaN one key, texts their
// bytes. Used to find groups by hashing.
void appendValueKey(std::string& key, const Value& v);

} // namespace rg
