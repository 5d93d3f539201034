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

SummaryValue SummaryValue::exactValue(const BigDecimal& d) {
    SummaryValue v;
    v.kind_ = Kind::Exact;
    if (const auto narrow = d.toDecimal())
        v.exact_ = *narrow;
    else
        v.wide_ = d;
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
    case Kind::Exact:
        return wide_ ? wide_->toDouble() : exact_.toDouble();
    case Kind::Float:
        return number_;
    default:
        return 0;
    }
}

void SummaryValue::toFloat() {
    if (kind_ == Kind::Exact)
        number_ = toDouble();
    wide_.reset();
    kind_ = Kind::Float;
}

void SummaryValue::add(TdxSummaryType kind, const Value& v) {
    if (kind == TdxSummaryType::cstNone || kind == TdxSummaryType::cstCount)
        return;
    const bool sumLike = kind == TdxSummaryType::cstSum || kind == TdxSummaryType::cstAvg;
    if (sumLike && kind_ == Kind::Empty) {
        kind_ = Kind::Exact;
        exact_ = Decimal{};
    }
    if (v.isNull())
        return;
    // The common cases of a long load: whole numbers into a whole sum, doubles into a
    // double sum.
    const bool narrowSum = sumLike && kind_ == Kind::Exact && !wide_;
    if (narrowSum && v.type() == Value::Type::Int && exact_.scale == 0) {
        int128 r;
        if (!__builtin_add_overflow(exact_.mantissa, static_cast<int128>(v.asInt()), &r)) {
            exact_.mantissa = r;
            return;
        }
    }
    if (narrowSum && v.type() == Value::Type::Decimal && !v.isWideDecimal()) {
        // Values of one column differ in their places (12.5, 7.25): a value with fewer
        // places than the sum is brought up to them.
        const Decimal d = *v.asDecimal();
        int128 m, r;
        if (d.scale <= exact_.scale &&
            !__builtin_mul_overflow(d.mantissa, pow10i(exact_.scale - d.scale), &m) &&
            !__builtin_add_overflow(exact_.mantissa, m, &r)) {
            exact_.mantissa = r;
            return;
        }
    }
    if (sumLike && v.type() == Value::Type::Double && kind_ == Kind::Float) {
        number_ += v.asDouble();
        return;
    }
    if (v.type() == Value::Type::Bool || v.type() == Value::Type::Blob)
        throw Error("Invalid variant type conversion");
    if (v.type() != Value::Type::Text) {
        if (v.isDateLike())
            addDate(kind, v);
        else
            addNumber(kind, v);
        return;
    }
    const std::string& text = v.asText();
    if (!sumLike) {
        // Texts are ranked as texts too: should one of them be no number, the minimum or
        // maximum is a text, as a database would give it.
        const int c = started_ ? ansiCompare(text, text_) : 0;
        if (!started_ || (kind == TdxSummaryType::cstMin ? c < 0 : c > 0))
            text_ = text;
        started_ = true;
    }
    // A text counts as a number when it reads as one, exactly where it can.
    if (const auto exact = exactNumber(text)) {
        addNumber(kind, *exact);
    } else if (const auto number = parseNumber(text)) {
        addNumber(kind, Value::fromDouble(*number));
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
        if (kind_ == Kind::Empty ||
            (kind == TdxSummaryType::cstMin ? us < micros_ : us > micros_)) {
            kind_ = Kind::Float;
            number_ = v.asDouble();
            dated_ = true;
            micros_ = us;
        }
        return;
    }
    addNumber(kind, Value::fromDouble(v.asDouble()));
}

void SummaryValue::set(const Value& n) {
    wide_.reset();
    dated_ = false;
    if (n.type() == Value::Type::Double) {
        kind_ = Kind::Float;
        number_ = n.asDouble();
    } else if (n.isWideDecimal()) {
        kind_ = Kind::Exact;
        wide_ = n.asBigDecimal();
    } else {
        kind_ = Kind::Exact;
        exact_ = *n.asDecimal();
    }
}

Value SummaryValue::current() const {
    if (kind_ == Kind::Float)
        return Value::fromDouble(number_);
    return wide_ ? Value::fromBigDecimal(*wide_) : Value::fromDecimal(exact_);
}

void SummaryValue::addNumber(TdxSummaryType kind, const Value& n) {
    if (kind_ == Kind::Empty) {
        // Only the number is set: texts ranked so far stay.
        set(n);
        return;
    }
    if (kind == TdxSummaryType::cstSum || kind == TdxSummaryType::cstAvg) {
        if (n.type() == Value::Type::Double || kind_ == Kind::Float) {
            toFloat();
            number_ += n.asDouble();
        } else if (const auto d = n.asDecimal(); d && !wide_) {
            if (const auto r = Decimal::add(exact_, *d))
                exact_ = *r;
            else
                wide_ =
                    BigDecimal::add(BigDecimal::fromDecimal(exact_), BigDecimal::fromDecimal(*d));
        } else {
            // Beyond 38 digits the sum goes on at any size, never as a double.
            wide_ = BigDecimal::add(exact(), *n.asBigDecimal());
        }
        return;
    }
    // Minima and maxima in the values' own order, NaN above every number: the winner is
    // kept as it is, exact or not.
    const int c = compareValues(n, current());
    if (kind == TdxSummaryType::cstMin ? c < 0 : c > 0)
        set(n);
}

void SummaryValue::finish(TdxSummaryType kind, int64_t rows) {
    switch (kind) {
    case TdxSummaryType::cstCount:
        *this = exactValue(Decimal::fromInt(rows));
        break;
    case TdxSummaryType::cstAvg:
        if (rows <= 0)
            break;
        if (kind_ == Kind::Exact) {
            // Cut, not rounded: the footer's pattern rounds it once, as it rounds the exact
            // quotient. Where 38 digits leave fewer places, the quotient goes on at any size.
            const int places = std::max(wide_ ? wide_->scale : exact_.scale, 12);
            if (!wide_)
                if (const auto q = Decimal::divide(exact_, rows, places, Rounding::TowardZero);
                    q && q->scale >= places) {
                    exact_ = *q;
                    break;
                }
            const BigDecimal q = BigDecimal::divide(exact(), rows, places, Rounding::TowardZero);
            *this = exactValue(q);
            break;
        }
        if (kind_ == Kind::Float)
            number_ /= static_cast<double>(rows);
        break;
    case TdxSummaryType::cstMin:
    case TdxSummaryType::cstMax:
        if (sawNonNumber_)
            kind_ = Kind::Text;
        break;
    default:
        break;
    }
}

} // namespace rg
