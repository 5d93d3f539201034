#include "export/summarycell.h"

#include "grid/summary.h"

#include <algorithm>

namespace rg {

void SheetColumnTally::addNumber(double v) {
    min = numbers == 0 ? v : std::min(min, v);
    max = numbers == 0 ? v : std::max(max, v);
    sum += v;
    ++numbers;
}

void SheetColumnTally::addText(std::string_view text) {
    if (text.empty()) ++emptyTexts;
    else ++texts;
}

std::optional<double> FormulaResult(TdxSummaryType kind, const SheetColumnTally& c) {
    switch (kind) {
    case TdxSummaryType::cstSum: return static_cast<double>(c.sum);
    case TdxSummaryType::cstMin: return c.numbers > 0 ? c.min : 0.0;
    case TdxSummaryType::cstMax: return c.numbers > 0 ? c.max : 0.0;
    case TdxSummaryType::cstAvg:
        if (c.numbers == 0) return std::nullopt;
        return static_cast<double>(c.sum / static_cast<long double>(c.numbers));
    case TdxSummaryType::cstCount:
        if (c.emptyTexts > 0) return std::nullopt;
        return static_cast<double>(c.numbers + c.texts);
    case TdxSummaryType::cstNone: break;
    }
    return std::nullopt;
}

bool FormulaShowsFooter(TdxSummaryType kind, const std::string& pattern, const SheetColumnTally& column,
                        const SummaryValue& footer) {
    if (footer.kind() != SummaryValue::Kind::Exact && footer.kind() != SummaryValue::Kind::Float) return false;
    const std::optional<double> r = FormulaResult(kind, column);
    const auto text = [&](const SummaryValue& v) {
        return FormatSummaryValue(kind, pattern, SummaryValueKind::Number, SummaryPlace::Footer, v);
    };
    return r && text(SummaryValue::floatValue(*r)) == text(footer);
}

} // namespace rg
