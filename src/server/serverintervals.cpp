#include "server/serverquery.h"

#include "common/decimal.h"
#include "datasource/dataset.h"
#include "server/serversql.h"

// Grouping levels by interval: each value's interval as the server computes it, the same
// interval memory puts the value in.

namespace rg {

namespace {

bool isDateInterval(GroupInterval kind) {
    return kind != GroupInterval::None && kind != GroupInterval::Range;
}

} // namespace

void ServerQuery::setLevelIntervals(const std::vector<int>& levelFields,
                                    std::vector<IntervalSpec> intervals) {
    for (size_t i = 0; i < intervals.size() && i < levelFields.size(); ++i) {
        const IntervalSpec& spec = intervals[i];
        if (spec.kind == GroupInterval::None)
            continue;
        const Field& f = ds_.Fields(levelFields[i]);
        auto refuse = [&](const char* why) {
            throw ServerRefusal("在服务器上汇总时不能按区间为“" + f.DisplayName() + "”分组（" +
                                why + "）");
        };
        if (!dialect_->postgres && !dialect_->mariadb)
            refuse("只有 PostgreSQL 和 MariaDB 上的区间与本程序的划分相同");
        if (spec.kind == GroupInterval::Range) {
            if (f.Kind() == FieldKind::Currency)
                refuse("货币值不能在服务器上按区间精确划分");
            if (const auto w = Decimal::fromDouble(spec.width); !w || w->toDouble() != spec.width)
                refuse("区间宽度的有效数字超过 38 位");
        }
    }
    intervals_ = std::move(intervals);
}

const IntervalSpec* ServerQuery::intervalOf(size_t level) const {
    if (level >= intervals_.size() || intervals_[level].kind == GroupInterval::None)
        return nullptr;
    return &intervals_[level];
}

std::string ServerQuery::levelExpr(size_t level, int field) const {
    const IntervalSpec* spec = intervalOf(level);
    if (!spec)
        return groupExpr(field);
    if (spec->kind == GroupInterval::Range)
        return rangeSql(*spec, field);
    return dateIntervalSql(spec->kind, column(field));
}

FieldKind ServerQuery::levelKind(size_t level, int field) const {
    const IntervalSpec* spec = intervalOf(level);
    if (!spec)
        return ds_.Fields(field).Kind();
    if (isDateInterval(spec->kind))
        return FieldKind::Date;
    return ds_.Fields(field).Kind() == FieldKind::Float ? FieldKind::Float : FieldKind::BCD;
}

// The first day of the interval holding `x`. PostgreSQL keeps the era of a BC date and an
// infinity as it is; MariaDB's MAKEDATE reads years below 100 as this century's, so its
// intervals step back from the day itself.
std::string ServerQuery::dateIntervalSql(GroupInterval kind, const std::string& x) const {
    if (dialect_->postgres) {
        const std::string day = "CAST(" + x + " AS date)";
        switch (kind) {
        case GroupInterval::Day:
            return day;
        case GroupInterval::Week:
            // The ISO week's Monday; an infinity has no day of the week.
            return "CASE WHEN isfinite(" + day + ") THEN " + day + " - CAST(extract(isodow FROM " +
                   day + ") AS integer) + 1 ELSE " + day + " END";
        default:
            break;
        }
        const char* unit = kind == GroupInterval::Month     ? "month"
                           : kind == GroupInterval::Quarter ? "quarter"
                                                            : "year";
        return "CAST(date_trunc('" + std::string(unit) + "', CAST(" + x +
               " AS timestamp)) AS date)";
    }
    const std::string day = "CAST(" + x + " AS DATE)";
    const std::string month = day + " - INTERVAL (DAYOFMONTH(" + x + ") - 1) DAY";
    switch (kind) {
    case GroupInterval::Day:
        return day;
    case GroupInterval::Week:
        return "CAST(" + day + " - INTERVAL WEEKDAY(" + x + ") DAY AS DATE)";
    case GroupInterval::Month:
        return "CAST(" + month + " AS DATE)";
    case GroupInterval::Quarter:
        return "CAST(" + month + " - INTERVAL ((MONTH(" + x + ") - 1) MOD 3) MONTH AS DATE)";
    default:
        return "CAST(" + day + " - INTERVAL (DAYOFYEAR(" + x + ") - 1) DAY AS DATE)";
    }
}

// The range's index. Whole numbers and decimals: floor(x / width) exactly, with the width
// as written, through the remainder (exact on both servers, where a quotient is rounded).
// Doubles: the quotient rounded, taken as the whole number it reaches within 1e-12 of
// itself, as memory does. The width is the program's own number, written as a literal so
// that the grouped expression is one text in every clause.
std::string ServerQuery::rangeSql(const IntervalSpec& spec, int field) const {
    const std::string w = Decimal::fromDouble(spec.width)->toString();
    const std::string c = column(field);
    if (ds_.Fields(field).Kind() != FieldKind::Float) {
        const std::string x = dialect_->postgres ? "CAST(" + c + " AS numeric)" : c;
        // The quotient cut toward zero; one less below zero off a bound. MariaDB's remainder
        // of a negative multiple is a negative zero, which it takes for less than zero.
        const std::string cut = "FLOOR((" + x + " - MOD(" + x + ", " + w + ")) / " + w + ")";
        return "(" + cut + " - CASE WHEN " + x + " < " + cut + " * " + w + " THEN 1 ELSE 0 END)";
    }
    const bool pg = dialect_->postgres;
    const std::string q =
        pg ? "(CAST(" + c + " AS double precision) / CAST(" + w + " AS double precision))"
           : "(" + c + " / " + w + "e0)";
    const std::string tolerance = pg ? "CAST(1e-12 AS double precision)" : "1e-12";
    return "(CASE WHEN ABS(" + q + " - ROUND(" + q + ")) <= " + tolerance + " * GREATEST(1, ABS(" +
           q + ")) THEN ROUND(" + q + ") ELSE FLOOR(" + q + ") END)";
}

} // namespace rg
