// Footer and group row display formats ("#,##0.00", "0.00E+00", "0;(0);'zero'") applied
// to a value. The input is the value's text, a line break and the pattern. Whatever the
// pattern, a finite value writes only digits, signs, points, commas and the pattern's own
// characters.

#include "common/decimal.h"
#include "fuzzsupport.h"
#include "grid/summary.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

using namespace rg;
using rgfuzz::require;

namespace {

void checkText(const std::string& out, const std::string& pattern) {
    for (const char c : out)
        require(std::string_view("0123456789.,-+").find(c) != std::string_view::npos ||
                    pattern.find(c) != std::string::npos,
                "a character neither digit nor sign nor from the pattern");
}

// A pattern of digits, commas and at most one point writes the value rounded to its places.
void checkRounding(const std::string& out, const std::string& pattern, double value) {
    // Without a digit placeholder a pattern writes no number at all.
    if (pattern.find_first_not_of("#0,.") != std::string::npos ||
        pattern.find_first_of("#0") == std::string::npos)
        return;
    const size_t point = pattern.find('.');
    if (point != pattern.rfind('.'))
        return;
    const int places =
        point == std::string::npos ? 0 : static_cast<int>(pattern.size() - point - 1);
    std::string digits;
    for (const char c : out)
        if (c != ',')
            digits += c;
    double shown = 0;
    if (!digits.empty() && digits != "-" && digits != ".") {
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), shown);
        require(ec == std::errc() && end == digits.data() + digits.size(),
                "a plain pattern writes a number");
    }
    const double tolerance = 0.5 * std::pow(10.0, -places) * (1 + 1e-9) + std::fabs(value) * 1e-15;
    require(std::fabs(shown - value) <= tolerance,
            "a plain pattern writes the value rounded to its places");
}

void formatAll(const std::string& pattern, const SummaryValue& value, bool finite) {
    const std::string out = FormatFloatPattern(pattern, value);
    if (finite && !pattern.empty())
        checkText(out, pattern);
    if (finite && !pattern.empty())
        checkRounding(out, pattern, value.toDouble());
    for (const auto kind :
         {TdxSummaryType::cstSum, TdxSummaryType::cstAvg, TdxSummaryType::cstCount})
        for (const auto place : {SummaryPlace::Footer, SummaryPlace::GroupRow})
            FormatSummaryValue(kind, pattern, SummaryValueKind::Number, place, value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t lf = input.find('\n');
    if (lf == std::string_view::npos)
        return 0;
    const std::string_view number = input.substr(0, lf);
    const std::string pattern(input.substr(lf + 1));

    if (const auto exact = Decimal::parse(number))
        formatAll(pattern, SummaryValue::exactValue(*exact), true);
    double d = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), d);
    if (ec == std::errc() && end == number.data() + number.size())
        formatAll(pattern, SummaryValue::floatValue(d), std::isfinite(d));
    return 0;
}
