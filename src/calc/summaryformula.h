#pragma once

// Summary formulas: an expression over the summaries of a group, such as
// SUM(毛利) / SUM(销售额), in the language of calculated fields (calcfield.h) with five more
// functions, SUM, COUNT, AVG, MIN and MAX of a field. A field is named only inside one of
// them. The formula is computed for each group from that group's own summaries, never from
// the values of the groups below it:
//   SUM(f)    the sum of f's values (nulls take no part, a sum of none is 0)
//   COUNT(f)  the group's rows, as the grid's count summary counts them; COUNT(*) alike
//   AVG(f)    SUM(f) ÷ COUNT(f), a division like any other
//   MIN(f), MAX(f) of numbers or dates; null for a group of nulls only
// The result is a number (or a date); a null summary, a zero divisor and an overflow give
// null, as in a calculated field.

#include "calc/calcfield.h"

#include <functional>
#include <optional>

namespace rg {

// A summary formula as a report keeps it; shown in the group footer cells and the summary
// footer cell of the column named `column`, else in the group rows' texts.
struct SummaryFormula {
    std::string name, expression, column;
    bool operator==(const SummaryFormula&) const = default;
};

enum class AggregateKind : uint8_t { Sum, Count, Avg, Min, Max };
const char* aggregateName(AggregateKind kind);

// One summary a formula reads: COUNT has field -1. `kind` is the kind of the column that
// holds its values, one row per group: SUM of integers LargeInt, of decimals FMTBcd, of
// doubles Float; COUNT LargeInt; MIN and MAX the field's kind.
struct AggregateRef {
    AggregateKind kind = AggregateKind::Sum; // never Avg: it reads a sum and the count
    int field = -1;
    FieldKind columnKind = FieldKind::LargeInt;
    bool operator==(const AggregateRef& o) const { return kind == o.kind && field == o.field; }
};

class SummaryExpression {
public:
    // Throws rg::Error "第 N 个字符：…" as CalcExpression does, also for a field named outside
    // a summary and for a result that is no number or date.
    SummaryExpression(std::string_view text, const std::vector<CalcInput>& fields);

    FieldKind kind() const { return expr_.kind(); }
    // The summaries it reads, each once.
    const std::vector<AggregateRef>& aggregates() const { return aggregates_; }
    // Its value for rows 0 .. rows - 1, `columns[a]` holding aggregates()[a] of each row.
    ColumnData evaluate(const std::vector<const ColumnData*>& columns, int64_t rows);

private:
    std::vector<AggregateRef> aggregates_;
    CalcExpression expr_;
};

// The formula as a spreadsheet formula, each summary replaced by `cellOf`'s reference of the
// cell that holds it; nullopt when a summary has no such cell or the expression uses what a
// spreadsheet computes otherwise (texts, comparisons, COALESCE, dates). A zero divisor gives
// the empty text, as the grid shows a null.
std::optional<std::string> SpreadsheetFormula(
    std::string_view text, const std::vector<CalcInput>& fields,
    const std::function<std::optional<std::string>(AggregateKind, int field)>& cellOf);

} // namespace rg
