#pragma once

// The number a spreadsheet cell holds for a value: a cell holds a double, and a value a
// double would change is written as its text instead, with every digit.

#include "common/value.h"
#include "grid/rowtree.h"
#include "grid/summaryvalue.h"

#include <optional>
#include <string>
#include <string_view>

namespace rg {

class TdxDBGrid;
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

// Spreadsheets show at most 15 significant digits of a number and round the rest away on
// screen and in what they save, so an exact value with more goes into a cell as its text.
constexpr int kSpreadsheetDigits = 15;
bool spreadsheetShowsEveryDigit(const BigDecimal& d);
bool spreadsheetShowsEveryDigit(int64_t i);
// The double of an integer a spreadsheet shows whole; nullopt for any other.
std::optional<double> spreadsheetInteger(int64_t i);

// A cell's text for outputs read again by programs and people alike: the grid's text, but a
// double with the shortest digits that read back as that double (the grid shows 15).
std::string ExactCellText(const TdxDBGrid& grid, RowHandle row, const TdxDBGridColumn& c);

// Whether a spreadsheet reading the text of a cell (a CSV field) would take it for a number
// it shows otherwise, so that characters are lost: leading zeros ("007"), exponents ("1E5"),
// more than 15 significant digits, trailing fractional zeros, a leading "+" or ".".
bool spreadsheetAltersNumberText(std::string_view text);
// Whether a text is written as a plain number is (sign, digits, point, exponent): a code
// such as an ID number, which paper prints whole rather than cut.
bool numberLikeText(std::string_view text);
// Whether a number's text has more significant digits than a spreadsheet shows.
bool spreadsheetRoundsNumberText(std::string_view text);

// The double of a finite double, of an integer or decimal whose double is that value and
// whose every digit a spreadsheet shows; nullopt for any other value (long integers and
// decimals, NaN and infinities, which readers refuse as numbers).
std::optional<double> cellNumber(const Value& v);
// What a footer cell holds for its summary's value, in either format's summary row and a
// workbook's group footers: the double when it is the value (an exact value that reads back the
// same and that a spreadsheet shows whole, a finite double), otherwise an exact value's every
// digit as a text. Neither for an empty or
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
