#include "export/cellnumber.h"

#include "common/datetime.h"
#include "grid/grid.h"

#include <cmath>

namespace rg {

CellKind cellKindOf(const TdxDBGridColumn& c) {
    if (c.FieldName().empty() || c.field() == nullptr)
        return CellKind::Empty;
    switch (c.field()->Kind()) {
    case FieldKind::SmallInt:
    case FieldKind::Integer:
    case FieldKind::Word:
    case FieldKind::AutoInc:
    case FieldKind::LargeInt:
        return CellKind::Integer;
    case FieldKind::Float:
    case FieldKind::Currency:
        return CellKind::Number;
    case FieldKind::BCD:
    case FieldKind::FMTBcd:
        return CellKind::Decimal;
    case FieldKind::Boolean:
        return CellKind::Boolean;
    case FieldKind::Date:
        return CellKind::Date;
    case FieldKind::Time:
        return CellKind::Time;
    case FieldKind::DateTime:
    case FieldKind::TimeStamp:
        return CellKind::DateTime;
    case FieldKind::Memo:
        return CellKind::Memo;
    default:
        return CellKind::Text;
    }
}
namespace {

// Excel's serial 60 is its fictitious 1900-02-29: earlier dates would show a day off.
constexpr double kFirstSafeDateSerial = 61;
// 10000-01-01: spreadsheets hold no later date.
constexpr double kEndDateSerial = 2958466;

std::optional<double> exactInDouble(const BigDecimal& d) {
    if (const std::optional<Decimal> narrow = d.toDecimal())
        return exactDouble(*narrow);
    const double x = d.toDouble();
    if (!std::isfinite(x))
        return std::nullopt;
    const std::optional<Decimal> back = Decimal::fromDouble(x);
    if (!back || compare(BigDecimal::fromDecimal(*back), d) != 0)
        return std::nullopt;
    return x;
}

} // namespace

std::optional<double> exactDouble(const Decimal& d) {
    const double x = d.toDouble();
    const std::optional<Decimal> back = Decimal::fromDouble(x);
    if (back && compare(d, *back) == 0)
        return x;
    return std::nullopt;
}

std::optional<double> cellNumber(const Value& v) {
    if (v.type() == Value::Type::Double || v.isDateLike()) {
        const double d = v.asDouble();
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    if (const auto exact = v.asBigDecimal())
        return exactInDouble(*exact);
    return std::nullopt;
}

FooterContent footerContent(const SummaryValue& v) {
    FooterContent c;
    if (v.kind() == SummaryValue::Kind::Exact) {
        const BigDecimal exact = v.exact();
        c.number = exactInDouble(exact);
        if (!c.number)
            c.exactText = exact.toString();
    } else if (v.kind() == SummaryValue::Kind::Float && std::isfinite(v.number())) {
        c.number = v.number();
    }
    return c;
}

bool spreadsheetSerial(double serial, bool time) {
    if (time)
        return serial >= 0 && serial < 1;
    return serial >= kFirstSafeDateSerial && serial < kEndDateSerial;
}

bool spreadsheetDate(const Value& v, bool time) {
    if (!v.isDateLike() || isInfinityMicros(v.micros()))
        return false;
    return spreadsheetSerial(v.asDouble(), time);
}

} // namespace rg
