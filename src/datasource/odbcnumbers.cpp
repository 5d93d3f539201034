#include "datasource/odbcnumbers.h"

#include "common/asciicase.h"
#include "common/displaytext.h"

#include <algorithm>

namespace rg {

FieldKind exactNumericKind(FieldKind kind, const std::string& declaredType, bool isUnsigned) {
    const std::string declared = asciiLower(declaredType);
    if (kind == FieldKind::Float) {
        if (declared == "money")
            return FieldKind::Currency;
        if (declared.find("numeric") != std::string::npos ||
            declared.find("decimal") != std::string::npos)
            return FieldKind::BCD;
    }
    if (kind == FieldKind::LargeInt && isUnsigned)
        return FieldKind::BCD;
    return kind;
}

int64_t decimalTextWidth(FieldKind kind, uint64_t precision) {
    // "-$92,233,720,368,547.75": PostgreSQL says 10 for money whatever it holds.
    if (kind == FieldKind::Currency)
        return static_cast<int64_t>(std::max<uint64_t>(precision * 2, 32) + 4);
    return static_cast<int64_t>(precision + 4);
}

Value numberFromText(FieldKind kind, const std::string& text) {
    if (kind == FieldKind::Float) {
        if (const auto d = parseNumber(text))
            return Value::fromDouble(*d);
        return Value::null();
    }
    const auto exact = exactNumber(text);
    if (!exact) {
        if (const auto d = parseNumber(text))
            return Value::fromDouble(*d);
        return Value::null();
    }
    const bool integer = kind == FieldKind::SmallInt || kind == FieldKind::Integer ||
                         kind == FieldKind::Word || kind == FieldKind::AutoInc ||
                         kind == FieldKind::LargeInt;
    if (integer)
        if (const auto d = exact->asDecimal())
            if (const auto i = d->toInt64())
                return Value::fromInt(*i);
    return *exact;
}

} // namespace rg
