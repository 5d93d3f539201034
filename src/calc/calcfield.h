#pragma once

// Calculated fields: a named expression over a record's fields, computed for every loaded
// row at once into a column of its own, which the data set then offers like any other.
//
//   expr     := or
//   or       := and { OR and }
//   and      := not { AND not }
//   not      := NOT not | test
//   test     := concat [ op concat | IS [NOT] NULL ]     op: = <> != < <= > >=
//   concat   := sum { || sum }
//   sum      := product { (+ | -) product }
//   product  := unary { (* | / | × | ÷) unary }
//   unary    := - unary | primary
//   primary  := number | 'text' | NULL | TRUE | FALSE | field | [field name]
//             | function ( expr, ... ) | CASE WHEN expr THEN expr ... [ELSE expr] END
//             | ( expr )
//
// Fields are found by name, else by caption, ignoring ASCII case; keywords and function
// names ignore case. Full-width （ ） ， and the minus sign − count as their ASCII forms.
// Integers (64 bits), exact decimals (38 digits), doubles, texts, dates and Booleans; an
// integer or decimal operand with a double gives a double, an integer with a decimal a
// decimal. A division of integers or decimals gives a decimal rounded half away from zero to
// kDivisionScale (10) places. A null operand, a zero divisor and a result beyond 64-bit
// integers or 38 digits give null. Texts compare with texts, dates with dates or with texts
// read as dates.

#include "common/value.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

class ColumnData;

namespace calc {
class Node;
}
struct AggregateRef;

// One calculated field as a report keeps it.
struct CalculatedField {
    std::string name, expression;
    bool operator==(const CalculatedField&) const = default;
};

// A field an expression may name.
struct CalcInput {
    std::string name, caption;
    FieldKind kind = FieldKind::String;
};

// The names of the functions, for the dialog's list.
const std::vector<std::string>& CalcFunctionNames();

class CalcExpression {
public:
    // Throws rg::Error "第 N 个字符：…" (N counting characters from 1) for an expression that
    // cannot be read, names an unknown field or function, or mixes types.
    CalcExpression(std::string_view text, const std::vector<CalcInput>& fields);
    ~CalcExpression();
    CalcExpression(CalcExpression&&) noexcept;
    CalcExpression& operator=(CalcExpression&&) noexcept;

    // The kind of the column it gives: LargeInt, FMTBcd, Float, String, a date kind or Boolean.
    FieldKind kind() const { return kind_; }
    // The indexes of the inputs it reads, in the order of the inputs.
    const std::vector<int>& inputs() const { return inputs_; }

    // The column of rows 0 .. rows - 1, `columns` holding the inputs by index.
    ColumnData evaluate(const std::vector<const ColumnData*>& columns, int64_t rows);

private:
    friend class SummaryExpression;
    // Over summaries instead of fields: each summary read is added to `aggregates`.
    CalcExpression(std::string_view text, const std::vector<CalcInput>& fields,
                   std::vector<AggregateRef>* aggregates);
    std::unique_ptr<calc::Node> root_;
    FieldKind kind_ = FieldKind::String;
    std::vector<int> inputs_;
};

} // namespace rg
