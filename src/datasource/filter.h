#pragma once

// Filter expressions over the loaded records of a data set.
//
//   expr       := or
//   or         := and { OR and }
//   and        := not { AND not }
//   not        := NOT not | '(' expr ')' | comparison
//   comparison := field op literal | field IS [NOT] NULL | field [NOT] LIKE 'text'
//               | field IN ( literal { , literal } )
//   op         := = | <> | != | < | <= | > | >=
//   field      := name | [name with blanks]
//   literal    := 'text' (a quote inside doubled) | number | NULL | TRUE | FALSE
//               | :parameter | @preset
//
// Keywords ignore case. LIKE matches the display text, case-sensitively, with % for any
// run of characters and _ for one. A literal takes the type of its field: against a date
// field 'yyyy-MM-dd' (or with a time) or a day-count serial number, which compares exactly
// with values that have fractions of a second, against a number field a number, against a Boolean
// TRUE, FALSE, 1 or 0. "= NULL" and "<> NULL" mean IS NULL and IS NOT NULL; otherwise a
// null field satisfies no comparison, IN included. Texts compare in code page order, as everywhere
// in the program. An unknown field fails with "Field '%s' not found".
//
// A saved filter may name the report's parameters, ":地区", which stand for the values the
// SQL text is bound with in this run, and date presets, "@上月初" (a period gives its first
// day), worked out as of the run's day; neither is kept as the value it gave.

#include "common/error.h"
#include "common/value.h"

#include <memory>
#include <string>
#include <vector>

namespace rg {

class DataSet;

class FilterExpr;

// What one node of a parsed filter tests, for code that states the filter in another
// language (SQL on the server).
struct FilterTerm {
    enum class Kind { Or, And, Not, IsNull, Compare, Like, In } kind = Kind::Or;
    std::vector<const FilterExpr*> operands; // Or, And, Not
    int field = -1;
    bool negate = false;         // IS NOT NULL, NOT LIKE
    std::string op;              // Compare: "=", "<>", "<", "<=", ">" or ">="
    Value literal;               // Compare: of the field's type; Like: the pattern as text
    std::vector<Value> literals; // In: of the field's type
};

class FilterExpr {
public:
    virtual ~FilterExpr() = default;
    // Whether the physical row of the data set passes.
    virtual bool matches(const DataSet& ds, int64_t row) const = 0;
    virtual FilterTerm term() const = 0;

protected:
    static Value cell(const DataSet& ds, int64_t row, int field);
};

// The error of an expression that names a field the data set does not have.
class FilterFieldMissing : public Error {
public:
    using Error::Error;
};

// Throws rg::Error naming the fault for an expression that cannot be read, and
// FilterFieldMissing for one naming an unknown field.
std::unique_ptr<FilterExpr> parseFilter(const std::string& expression, DataSet& ds);

} // namespace rg
