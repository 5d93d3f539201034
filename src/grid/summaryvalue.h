#pragma once

// The value of one summary slot (a group row's item or a column's footer) while a load
// adds records to it, and its result. Integers and decimals add up exactly, in 128 bits
// and beyond them at any size; floating point fields, dates and times as doubles (NaN and
// infinities as IEEE arithmetic has them); minima and maxima of dates exactly, of texts as
// texts.

#include "common/bigdecimal.h"
#include "common/decimal.h"
#include "common/value.h"

#include <cstdint>
#include <optional>
#include <string>

namespace rg {

enum class TdxSummaryType : uint8_t { cstNone, cstSum, cstMin, cstMax, cstCount, cstAvg };

class SummaryValue {
public:
    // Empty: nothing added yet; Failed: the computation stopped at a value it cannot use.
    enum class Kind : uint8_t { Empty, Exact, Float, Text, Failed };

    static SummaryValue exactValue(const Decimal& d);
    static SummaryValue exactValue(const BigDecimal& d);
    static SummaryValue floatValue(double d);
    static SummaryValue failed();
    // A minimum or maximum of dates or times: the exact microseconds beside their serial.
    static SummaryValue dateValue(int64_t us, bool time);

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    // The exact value of an Exact slot, at any size.
    BigDecimal exact() const { return wide_ ? *wide_ : BigDecimal::fromDecimal(exact_); }
    double number() const { return number_; }
    const std::string& text() const { return text_; }
    // The microseconds of a minimum or maximum of dates or times (datetime.h).
    std::optional<int64_t> micros() const {
        return dated_ ? std::optional<int64_t>(micros_) : std::nullopt;
    }
    // The nearest double of a number (0 for an empty slot or a text).
    double toDouble() const;

    // Adds one record's value to a sum, minimum, maximum or average. A null takes no part
    // (a sum of nulls is 0, a minimum of nulls stays empty). A text that is no number
    // cannot be summed (rg::Error).
    void add(TdxSummaryType kind, const Value& v);
    // Counts set the number of rows; averages divide by it; a minimum or maximum that met
    // texts that are not numbers becomes the least or greatest text.
    void finish(TdxSummaryType kind, int64_t rows);

private:
    void toFloat();
    // One number: an Int or Decimal value exactly, a Double as a double.
    void addNumber(TdxSummaryType kind, const Value& n);
    void set(const Value& n);
    Value current() const;
    void addDate(TdxSummaryType kind, const Value& v);

    Kind kind_ = Kind::Empty;
    bool started_ = false;      // a record was added
    bool sawNonNumber_ = false; // min/max over texts met a text that is no number
    Decimal exact_;
    std::optional<BigDecimal> wide_; // the exact value instead of exact_ once 38 digits overflow
    double number_ = 0;
    std::string text_;
    bool dated_ = false; // number_ is the serial of micros_
    int64_t micros_ = 0;
};

} // namespace rg
