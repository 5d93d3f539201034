#pragma once

// The number a spreadsheet cell holds for a value: a cell holds a double, and a value a
// double would change is written as its text instead, with every digit.

#include "common/value.h"
#include "grid/summaryvalue.h"

#include <optional>
#include <string>

namespace rg {

class TdxDBGridColumn;

// How a column's values go into a spreadsheet's cells, by its field's kind. Each format
// narrows what it has no cell of its own for (a memo is a workbook's text, a time a BIFF4
// sheet's text).
enum class CellKind : uint8_t {
    Empty,
    Integer,
    Number,
    Decimal,
    Boolean,
    Date,
    Time,
    DateTime,
    Memo,
    Text
};
CellKind cellKindOf(const TdxDBGridColumn& c);

// Integers a double holds exactly: up to 2^53.
constexpr int64_t kExactDoubleInt = int64_t{1} << 53;

// The double of a decimal when it is that decimal exactly; nullopt otherwise.
std::optional<double> exactDouble(const Decimal& d);

// The double of an integer up to 2^53, of a decimal whose shortest double reads back as
// the same decimal, of a finite double; nullopt for any other value (decimals beyond a
// double's digits, NaN and infinities, which readers refuse as numbers).
std::optional<double> cellNumber(const Value& v);
// What a footer cell holds for its summary's value, in either format's summary row and a
// workbook's group footers: the double when it is the value (an exact value that reads back the
// same, a finite double), otherwise an exact value's every digit as a text. Neither for an empty or
// text summary, NaN and infinities, which are written as the footer's text.
struct FooterContent {
    std::optional<double> number;
    std::string exactText;
};
FooterContent footerContent(const SummaryValue& v);

// A date a spreadsheet shows as the grid does; a BC date, an infinity, a time beyond a day
// or a cell that holds no date goes as its text.
bool spreadsheetSerial(double serial, bool time);
bool spreadsheetDate(const Value& v, bool time);

} // namespace rg
