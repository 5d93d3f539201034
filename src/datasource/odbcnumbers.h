#pragma once

// Numbers whose driver description alone would lose digits: the field kind of a column
// from its declared type, the width its digits need when fetched as text, and a
// parameter's value from the text a driver returned for it.

#include "common/value.h"

#include <cstdint>
#include <string>

namespace rg {

// Refines the kind odbcKind gave a column: NUMERIC or DECIMAL columns some drivers (SQLite's)
// report as doubles, PostgreSQL's money (reported as a double, sent as "-$1,234.50") and
// unsigned 64-bit integers (beyond the signed range) are exact decimals.
FieldKind exactNumericKind(FieldKind kind, const std::string& declaredType, bool isUnsigned);

// Bytes a decimal column's text needs beside its precision: sign, point, leading zero and
// terminator; money its currency sign and thousands separators too.
int64_t decimalTextWidth(FieldKind kind, uint64_t precision);

// A number of kind `kind` from a driver's text: doubles for Float (NaN and infinities
// included), integers while they fit 64 bits, every other number with all its digits.
// A null value when the text is no number.
Value numberFromText(FieldKind kind, const std::string& text);

} // namespace rg
