#include "grid/summaryvalue.h"

#include "common/codepage.h"
#include "common/datetime.h"
#include "common/displaytext.h"
#include "common/error.h"

namespace rg {

SummaryValue SummaryValue::exactValue(const Decimal& d) {
    SummaryValue v;
    v.kind_ = Kind::Exact;
    v.exact_ = d;
    return v;
}

SummaryValue SummaryValue::floatValue(double d) {
    SummaryValue v;
    v.kind_ = Kind::Float;
    v.number_ = d;
    return v;
}

SummaryValue SummaryValue::dateValue(int64_t us, bool time) {
    SummaryValue v = floatValue(serialOfMicros(us, time));
    v.dated_ = true;
    v.micros_ = us;
    return v;
}

SummaryValue SummaryValue::failed() {
    SummaryValue v;
    v.kind_ = Kind::Failed;
    return v;
}

double SummaryValue::toDouble() const {
    switch (kind_) {
    case Kind::Exact: return exact_.toDouble();
    case Kind::Float: return number_;
    default: return 0;
    }
}

void SummaryValue::toFloat() {
    if (kind_ == Kind::Exact) number_ = exact_.toDouble();
    kind_ = Kind::Float;
}

void SummaryValue::add(TdxSummaryType kind, const Value& v) {
    if (kind == TdxSummaryType::cstNone || kind == TdxSummaryType::cstCount) return;
    const bool sumLike = kind == TdxSummaryType::cstSum || kind == TdxSummaryType::cstAvg;
    if (sumLike && kind_ == Kind::Empty) {
        kind_ = Kind::Exact;
        exact_ = Decimal{};
    }
    if (v.isNull()) return;
    // The common cases of a long load: whole numbers into a whole sum, doubles into a
    // double sum.
    if (sumLike && v.type() == Value::Type::Int && kind_ == Kind::Exact && exact_.scale == 0) {
        int128 r;
        if (!__builtin_add_overflow(exact_.mantissa, static_cast<int128>(v.asInt()), &r)) {
            exact_.mantissa = r;
            return;
        }
    }
    if (sumLike && v.type() == Value::Type::Decimal && kind_ == Kind::Exact) {
        // Values of one column differ in their places (12.5, 7.25): a value with fewer
        // places than the sum is brought up to them.
        const Decimal d = *v.asDecimal();
        int128 m, r;
        if (d.scale <= exact_.scale && !__builtin_mul_overflow(d.mantissa, pow10i(exact_.scale - d.scale), &m) &&
            !__builtin_add_overflow(exact_.mantissa, m, &r)) {
            exact_.mantissa = r;
            return;
        }
    }
    if (sumLike && v.type() == Value::Type::Double && kind_ == Kind::Float) {
        number_ += v.asDouble();
        return;
    }
    if (v.type() == Value::Type::Bool || v.type() == Value::Type::Blob) throw Error("Invalid variant type conversion");
    if (v.type() != Value::Type::Text) {
        if (v.isDateLike()) addDate(kind, v);
        else if (v.type() == Value::Type::Double) addNumber(kind, std::nullopt, v.asDouble());
        else addNumber(kind, v.asDecimal(), 0);
        return;
    }
    const std::string& text = v.asText();
    if (!sumLike) {
        // Texts are ranked as texts too: should one of them be no number, the minimum or
        // maximum is a text, as a database would give it.
        const int c = started_ ? ansiCompare(text, text_) : 0;
        if (!started_ || (kind == TdxSummaryType::cstMin ? c < 0 : c > 0)) text_ = text;
        started_ = true;
    }
    // A text counts as a number when it reads as one, exactly where it can.
    if (const auto exact = Decimal::parse(text)) {
        addNumber(kind, exact, 0);
    } else if (const auto number = parseNumber(text)) {
        addNumber(kind, std::nullopt, *number);
    } else if (sumLike) {
        throw Error(format("'%s' is not a valid floating point value", text.c_str()));
    } else {
        sawNonNumber_ = true;
    }
}

// Minima and maxima of dates compare their microseconds; sums add serials.
void SummaryValue::addDate(TdxSummaryType kind, const Value& v) {
    const bool minMax = kind == TdxSummaryType::cstMin || kind == TdxSummaryType::cstMax;
    if (minMax && (kind_ == Kind::Empty || dated_)) {
        const int64_t us = v.micros();
        if (kind_ == Kind::Empty || (kind == TdxSummaryType::cstMin ? us < micros_ : us > micros_)) {
            kind_ = Kind::Float;
            number_ = v.asDouble();
            dated_ = true;
            micros_ = us;
        }
        return;
    }
    addNumber(kind, std::nullopt, v.asDouble());
}

void SummaryValue::addNumber(TdxSummaryType kind, const std::optional<Decimal>& exact, double number) {
    if (kind_ == Kind::Empty) {
        // Only the number is set: texts ranked so far stay.
        kind_ = exact ? Kind::Exact : Kind::Float;
        if (exact) exact_ = *exact;
        else number_ = number;
        return;
    }
    if (exact && kind_ == Kind::Exact) {
        if (kind == TdxSummaryType::cstSum || kind == TdxSummaryType::cstAvg) {
            if (const auto r = Decimal::add(exact_, *exact)) {
                exact_ = *r;
                return;
            }
            // Beyond 38 digits the sum goes on as a double rather than failing.
        } else {
            const int c = compare(*exact, exact_);
            if (kind == TdxSummaryType::cstMin ? c < 0 : c > 0) exact_ = *exact;
            return;
        }
    }
    toFloat();
    if (exact) number = exact->toDouble();
    switch (kind) {
    case TdxSummaryType::cstSum: case TdxSummaryType::cstAvg: number_ += number; break;
    case TdxSummaryType::cstMin: if (number < number_) number_ = number, dated_ = false; break;
    case TdxSummaryType::cstMax: if (number > number_) number_ = number, dated_ = false; break;
    default: break;
    }
}

void SummaryValue::finish(TdxSummaryType kind, int64_t rows) {
    switch (kind) {
    case TdxSummaryType::cstCount: *this = exactValue(Decimal::fromInt(rows)); break;
    case TdxSummaryType::cstAvg:
        if (rows <= 0) break;
        if (kind_ == Kind::Exact) {
            if (const auto q = Decimal::divide(exact_, rows, std::max(exact_.scale, 12))) {
                exact_ = *q;
                break;
            }
            toFloat();
        }
        if (kind_ == Kind::Float) number_ /= static_cast<double>(rows);
        break;
    case TdxSummaryType::cstMin: case TdxSummaryType::cstMax:
        if (sawNonNumber_) kind_ = Kind::Text;
        break;
    default: break;
    }
}

} // namespace rg
