#include "export/summarycell.h"

#include "grid/summary.h"

#include <algorithm>
#include <cmath>

namespace rg {

void SheetColumnTally::addNumber(double v) {
    min = numbers == 0 ? v : std::min(min, v);
    max = numbers == 0 ? v : std::max(max, v);
    sum += v;
    ++numbers;
}

void SheetColumnTally::addText(std::string_view text) {
    if (text.empty())
        ++emptyTexts;
    else
        ++texts;
}

std::optional<double> FormulaResult(TdxSummaryType kind, const SheetColumnTally& c) {
    switch (kind) {
    case TdxSummaryType::cstSum:
        return static_cast<double>(c.sum);
    case TdxSummaryType::cstMin:
        return c.numbers > 0 ? c.min : 0.0;
    case TdxSummaryType::cstMax:
        return c.numbers > 0 ? c.max : 0.0;
    case TdxSummaryType::cstAvg:
        if (c.numbers == 0)
            return std::nullopt;
        return static_cast<double>(c.sum / static_cast<long double>(c.numbers));
    case TdxSummaryType::cstCount:
        if (c.emptyTexts > 0)
            return std::nullopt;
        return static_cast<double>(c.numbers + c.texts);
    case TdxSummaryType::cstNone:
        break;
    }
    return std::nullopt;
}

bool FormulaShowsFooter(TdxSummaryType kind, const std::string& pattern,
                        const SheetColumnTally& column, const SummaryValue& footer) {
    if (footer.kind() != SummaryValue::Kind::Exact && footer.kind() != SummaryValue::Kind::Float)
        return false;
    const std::optional<double> r = FormulaResult(kind, column);
    const auto text = [&](const SummaryValue& v) {
        return FormatSummaryValue(kind, pattern, SummaryValueKind::Number, SummaryPlace::Footer, v);
    };
    return r && text(SummaryValue::floatValue(*r)) == text(footer);
}

bool FormulaGivesValue(TdxSummaryType kind, const SheetColumnTally& column,
                       const SummaryValue& value) {
    if (value.kind() != SummaryValue::Kind::Exact && value.kind() != SummaryValue::Kind::Float)
        return false;
    // MIN and MAX of no numbers give 0 where the grid shows nothing.
    if ((kind == TdxSummaryType::cstMin || kind == TdxSummaryType::cstMax) && column.numbers == 0)
        return false;
    const std::optional<double> r = FormulaResult(kind, column);
    if (!r)
        return false;
    const double v = value.toDouble();
    if (kind == TdxSummaryType::cstCount)
        return *r == v;
    return std::fabs(*r - v) <= 1e-9 * std::max(1.0, std::fabs(v));
}

int SubtotalFunction(TdxSummaryType kind) {
    switch (kind) {
    case TdxSummaryType::cstAvg:
        return 1;
    case TdxSummaryType::cstCount:
        return 3;
    case TdxSummaryType::cstMax:
        return 4;
    case TdxSummaryType::cstMin:
        return 5;
    case TdxSummaryType::cstSum:
    case TdxSummaryType::cstNone:
        break;
    }
    return 9;
}

} // namespace rg
