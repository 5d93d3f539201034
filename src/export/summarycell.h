#pragma once

// The summary row of a spreadsheet holds live formulas where they show what the grid's
// summary footer shows, and the grid's own value where they would not: a formula sees
// only the cells above it, where a null is empty, an integer beyond 2^53 is a text and
// group footer texts sit between the data rows.

#include "grid/summaryvalue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace rg {

// What a summary formula sees of the cells written into one sheet column.
struct SheetColumnTally {
    int64_t numbers = 0;
    int64_t texts = 0;
    // Readers differ on whether COUNTA counts a text cell without text.
    int64_t emptyTexts = 0;
    long double sum = 0;
    double min = 0, max = 0;

    void addNumber(double v);
    void addText(std::string_view text);
};

// The result of the footer formula of kind `kind` over the column; nullopt when it is an
// error (an average of no numbers) or depends on the reader.
std::optional<double> FormulaResult(TdxSummaryType kind, const SheetColumnTally& column);

// True when the formula's result gives the text the grid shows for its footer value under
// the footer's pattern; never for an empty or text footer. Compared as texts because
// spreadsheets add up doubles their own way (0.3 - 0.1 - 0.2 may come out as 0).
bool FormulaShowsFooter(TdxSummaryType kind, const std::string& pattern,
                        const SheetColumnTally& column, const SummaryValue& footer);

// The same test for a workbook, whose cells keep the grid's value as the formula's stored
// result: the recalculated result must equal the value up to the last bits of a double.
bool FormulaGivesValue(TdxSummaryType kind, const SheetColumnTally& column,
                       const SummaryValue& value);

// SUBTOTAL's function number for the kind (it skips the SUBTOTAL cells of inner footers).
int SubtotalFunction(TdxSummaryType kind);

} // namespace rg
