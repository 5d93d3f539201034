#include "export/cellnumber.h"

#include "common/datetime.h"
#include "common/displaytext.h"
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
    if (!spreadsheetShowsEveryDigit(d))
        return std::nullopt;
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

bool spreadsheetShowsEveryDigit(const BigDecimal& d) {
    if (d.digitCount() <= kSpreadsheetDigits)
        return true;
    std::string digits = d.normalized().abs().mantissa.get_str();
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    return static_cast<int>(digits.size()) <= kSpreadsheetDigits;
}

bool spreadsheetShowsEveryDigit(int64_t i) {
    // Up to 15 digits always; beyond them only with trailing zeros.
    constexpr int64_t kAllShown = 999999999999999;
    return (i >= -kAllShown && i <= kAllShown) ||
           spreadsheetShowsEveryDigit(BigDecimal::fromDecimal(Decimal{i, 0}));
}

std::optional<double> spreadsheetInteger(int64_t i) {
    if (i < -kExactDoubleInt || i > kExactDoubleInt || !spreadsheetShowsEveryDigit(i))
        return std::nullopt;
    return static_cast<double>(i);
}

namespace {

// The parts of a text a spreadsheet reads as a plain number: sign, digits with at most one
// point, an exponent; nullopt for any other text.
struct NumberText {
    char sign = 0;
    std::string_view whole, fraction;
    bool point = false, exponent = false;
};
std::optional<NumberText> numberText(std::string_view s) {
    NumberText n;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        n.sign = s[i++];
    const auto digitsFrom = [&](size_t from) {
        size_t j = from;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9')
            ++j;
        return j;
    };
    size_t end = digitsFrom(i);
    n.whole = s.substr(i, end - i);
    i = end;
    if (i < s.size() && s[i] == '.') {
        n.point = true;
        end = digitsFrom(++i);
        n.fraction = s.substr(i, end - i);
        i = end;
    }
    if (n.whole.empty() && n.fraction.empty())
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        n.exponent = true;
        if (++i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        end = digitsFrom(i);
        if (end == i)
            return std::nullopt;
        i = end;
    }
    if (i != s.size())
        return std::nullopt;
    return n;
}

int significantDigits(const NumberText& n) {
    std::string digits = std::string(n.whole) + std::string(n.fraction);
    const size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos)
        return 1;
    const size_t last = digits.find_last_not_of('0');
    return static_cast<int>(last - first + 1);
}

} // namespace

std::string ExactCellText(const TdxDBGrid& grid, RowHandle row, const TdxDBGridColumn& c) {
    if (!c.FieldName().empty() && c.field() != nullptr) {
        const Value v = grid.CellValue(row, c);
        if (v.type() == Value::Type::Double && std::isfinite(v.asDouble()) && v.asDouble() != 0)
            return formatShortest(v.asDouble());
    }
    return grid.CellText(row, c);
}

bool numberLikeText(std::string_view text) {
    return numberText(text).has_value();
}

bool spreadsheetRoundsNumberText(std::string_view text) {
    const std::optional<NumberText> n = numberText(text);
    return n && significantDigits(*n) > kSpreadsheetDigits;
}

bool spreadsheetAltersNumberText(std::string_view text) {
    const std::optional<NumberText> n = numberText(text);
    if (!n)
        return false;
    const bool leadingZero = n->whole.size() > 1 && n->whole.front() == '0';
    const bool trailingZero = n->point && (n->fraction.empty() || n->fraction.back() == '0');
    return n->exponent || leadingZero || trailingZero || n->sign == '+' || n->whole.empty() ||
           significantDigits(*n) > kSpreadsheetDigits;
}

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
