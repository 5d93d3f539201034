#include "grid/groupinterval.h"

#include "common/bigdecimal.h"
#include "common/datetime.h"
#include "common/decimal.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "datasource/dataset.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace rg {
namespace {

// Day 0 of the counts, 1899-12-30, in days since 1970-01-01.
const int64_t kDay0 = daysFromCivil(1899, 12, 30);

int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days since 1970-01-01 of the count `us`.
int64_t civilDays(int64_t us) {
    return floorDiv(us, kMicrosPerDay) + kDay0;
}

Value dateOfDays(int64_t days) {
    return Value::fromMicros(Value::Type::Date, (days - kDay0) * kMicrosPerDay);
}

// Monday of the ISO week holding `days`; 1970-01-01 was a Thursday.
int64_t isoMonday(int64_t days) {
    const int64_t weekday = days + 3 - floorDiv(days + 3, 7) * 7; // Monday 0
    return days - weekday;
}

Value dateStart(int64_t us, GroupInterval kind) {
    const int64_t days = civilDays(us);
    if (kind == GroupInterval::Day)
        return dateOfDays(days);
    if (kind == GroupInterval::Week)
        return dateOfDays(isoMonday(days));
    const CivilDay c = civilFromDays(days);
    unsigned month = 1;
    if (kind == GroupInterval::Month)
        month = static_cast<unsigned>(c.month);
    else if (kind == GroupInterval::Quarter)
        month = static_cast<unsigned>((c.month - 1) / 3 * 3 + 1);
    return dateOfDays(daysFromCivil(c.year, month, 1));
}

Value rangeStart(double x, double width) {
    if (!std::isfinite(x))
        return Value::fromDouble(x);
    // A value on a bound up to the rounding of the division opens the range there: 0.3 is
    // in [0.3, 0.4) although 0.3 / 0.1 falls just short of 3.
    const double q = x / width;
    const double nearest = std::nearbyint(q);
    const double k =
        std::abs(q - nearest) <= 1e-12 * std::max(1.0, std::abs(q)) ? nearest : std::floor(q);
    return rangeStartOf(k, width);
}

// Whole numbers and decimals fall in ranges of their exact quotient by the width as written
// (0.1, not the double nearest it), as the server's decimal arithmetic places them; nullopt
// for a width that 38 digits do not write.
std::optional<Value> exactRangeStart(const Value& v, double width) {
    const std::optional<Decimal> w = Decimal::fromDouble(width);
    const std::optional<BigDecimal> x = v.asBigDecimal();
    if (!w || w->toDouble() != width || !x)
        return std::nullopt;
    const BigDecimal bw = BigDecimal::fromDecimal(*w);
    const int scale = std::max(x->scale, bw.scale);
    mpz_class a = x->mantissa, b = bw.mantissa, ten = 10, k;
    mpz_class up;
    mpz_pow_ui(up.get_mpz_t(), ten.get_mpz_t(), static_cast<unsigned long>(scale - x->scale));
    a *= up;
    mpz_pow_ui(up.get_mpz_t(), ten.get_mpz_t(), static_cast<unsigned long>(scale - bw.scale));
    b *= up;
    mpz_fdiv_q(k.get_mpz_t(), a.get_mpz_t(), b.get_mpz_t());
    return rangeStartOf(BigDecimal{k, 0}.toDouble(), width);
}

std::string dateText(int64_t us, GroupInterval kind) {
    const int64_t days = civilDays(us);
    const CivilDay c = civilFromDays(days);
    const std::string year = std::to_string(c.year) + "年";
    switch (kind) {
    case GroupInterval::Week: {
        // The ISO year is the year of the week's Thursday.
        const int64_t thursday = isoMonday(days) + 3;
        const int64_t isoYear = civilFromDays(thursday).year;
        const int64_t week = (thursday - daysFromCivil(isoYear, 1, 1)) / 7 + 1;
        return std::to_string(isoYear) + "年第" + std::to_string(week) + "周";
    }
    case GroupInterval::Month:
        return year + std::to_string(c.month) + "月";
    case GroupInterval::Quarter:
        return year + "第" + std::to_string((c.month - 1) / 3 + 1) + "季度";
    case GroupInterval::Year:
        return year;
    default:
        return formatDateMicros(us);
    }
}

bool isDateInterval(GroupInterval kind) {
    return kind != GroupInterval::None && kind != GroupInterval::Range;
}

// Whether the range holding `x` has bounds that are distinct doubles and distinct texts.
bool rangeTellsApart(double x, double width) {
    const double start = rangeStart(x, width).asDouble();
    const double end = start + width;
    return std::isfinite(start) && std::isfinite(end) && start != end &&
           formatFloat(start) != formatFloat(end);
}

} // namespace

bool intervalFits(GroupInterval kind, FieldKind field) {
    if (kind == GroupInterval::None)
        return true;
    if (kind == GroupInterval::Range)
        return isNumericKind(field);
    return field == FieldKind::Date || field == FieldKind::DateTime ||
           field == FieldKind::TimeStamp;
}

void CheckIntervalFits(const DataSet& ds, int field, const IntervalSpec& spec) {
    const Field& f = ds.Fields(field);
    const std::string name = intervalName(spec);
    if (!intervalFits(spec.kind, f.Kind()))
        throw Error("字段“" + f.DisplayName() + "”不能按“" + name + "”分组：它的值不是" +
                    (spec.kind == GroupInterval::Range ? "数字" : "日期"));
    if (spec.kind != GroupInterval::Range)
        return;
    // The coarsest bounds are those of the values farthest from zero.
    std::optional<double> least, greatest;
    for (int rec = 0; rec < ds.RecordCount(); ++rec) {
        const Value v = ds.value(rec, field);
        if (!v.isNumber() || v.type() == Value::Type::Bool || !std::isfinite(v.asDouble()))
            continue;
        const double x = v.asDouble();
        least = least ? std::min(*least, x) : x;
        greatest = greatest ? std::max(*greatest, x) : x;
    }
    for (const std::optional<double>& x : {least, greatest})
        if (x && !rangeTellsApart(*x, spec.width))
            throw Error("字段“" + f.DisplayName() + "”的区间宽度 " + formatShortest(spec.width) +
                        " 太小：值 " + formatFloat(*x) + " 所在区间的两端无法区分");
}

Value intervalKey(const Value& v, const IntervalSpec& spec) {
    if (spec.kind == GroupInterval::None || v.isNull())
        return v;
    if (spec.kind == GroupInterval::Range) {
        if (!v.isNumber() || v.type() == Value::Type::Bool || !(spec.width > 0))
            return v;
        if (v.type() == Value::Type::Int || v.type() == Value::Type::Decimal)
            if (std::optional<Value> exact = exactRangeStart(v, spec.width))
                return *exact;
        return rangeStart(v.asDouble(), spec.width);
    }
    if (v.type() != Value::Type::Date && v.type() != Value::Type::DateTime)
        return v;
    if (!isDateMicros(v.micros()))
        return v;
    return dateStart(v.micros(), spec.kind);
}

Value rangeStartOf(double index, double width) {
    return Value::fromDouble(index * width + 0.0);
}

std::string intervalText(const Value& key, const IntervalSpec& spec) {
    if (spec.kind == GroupInterval::Range && key.type() == Value::Type::Double &&
        std::isfinite(key.asDouble()) && spec.width > 0) {
        const double start = key.asDouble();
        return "[" + formatFloat(start) + ", " + formatFloat(start + spec.width) + ")";
    }
    if (isDateInterval(spec.kind) && key.type() == Value::Type::Date && isDateMicros(key.micros()))
        return dateText(key.micros(), spec.kind);
    return key.displayText();
}

IntervalSpec parseInterval(std::string_view name) {
    static const std::pair<std::string_view, GroupInterval> names[] = {
        {"", GroupInterval::None},        {"日", GroupInterval::Day},
        {"周", GroupInterval::Week},      {"月", GroupInterval::Month},
        {"季度", GroupInterval::Quarter}, {"年", GroupInterval::Year}};
    for (const auto& [text, kind] : names)
        if (name == text)
            return {kind, 0};
    constexpr std::string_view range = "区间";
    if (name.starts_with(range)) {
        const std::optional<double> width = parseNumber(name.substr(range.size()));
        if (width && std::isfinite(*width) && *width > 0 &&
            name.substr(range.size()).find_first_of(" \t") == std::string_view::npos)
            return {GroupInterval::Range, *width};
    }
    throw Error(format("未知的分组区间: %.*s", static_cast<int>(name.size()), name.data()));
}

std::string intervalName(const IntervalSpec& spec) {
    switch (spec.kind) {
    case GroupInterval::None:
        return "";
    case GroupInterval::Day:
        return "日";
    case GroupInterval::Week:
        return "周";
    case GroupInterval::Month:
        return "月";
    case GroupInterval::Quarter:
        return "季度";
    case GroupInterval::Year:
        return "年";
    case GroupInterval::Range:
        break;
    }
    return "区间" + formatShortest(spec.width);
}

} // namespace rg
