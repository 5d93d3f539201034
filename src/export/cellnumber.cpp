#include "export/cellnumber.h"

#include <cmath>

namespace rg {
namespace {

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

} // namespace rg
