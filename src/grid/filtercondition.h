#pragma once

// A column's filter condition and its texts, all from one table of operators: the
// expression the data set reads, the text the filter strip shows, and the line a settings
// file keeps, which reads back as the same condition.

#include "common/value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rg {

class TdxDBGrid;

enum class FilterOperator {
    Equal,
    NotEqual,
    Less,
    LessOrEqual,
    Greater,
    GreaterOrEqual,
    Like, // % for any run of characters, _ for one
    NotLike,
    Blank, // null, or an empty text
    NonBlank,
    InList, // equal to one of the values
};

struct FilterCondition {
    FilterOperator op = FilterOperator::Equal;
    // A value taken from the column's rows keeps its type; a text the user typed is read
    // by the data set in the type of the field.
    Value value;
    std::vector<Value> values; // InList
};

// The condition of one column: one comparison, or two joined by AND or OR.
struct ColumnFilter {
    FilterCondition first;
    std::optional<FilterCondition> second;
    bool orJoin = false;

    static ColumnFilter equalTo(Value v);
    static ColumnFilter blanks();
    static ColumnFilter nonBlanks();
    // One of the values; blanks too when `orBlanks`. A single value is an Equal.
    static ColumnFilter oneOf(std::vector<Value> values, bool orBlanks);
};

// Blank and NonBlank compare with no value and InList with its list, not one value; Like
// and NotLike match a pattern.
bool TakesValue(FilterOperator op);
bool IsPattern(FilterOperator op);

enum class FilterTextUse {
    DataSet, // literals that compare equal to the values they came from
    User,    // display texts, blanks as IS [NOT] BLANK
};

// A field name as the data set's expression writes it: bracketed, "]" doubled.
std::string FilterFieldName(const std::string& fieldName);

// One column's condition with `name` for the column (FilterFieldName for the data set, the
// caption for the user); two comparisons are joined without brackets around them.
std::string ColumnFilterText(const std::string& name, FieldKind kind, const ColumnFilter& f,
                             FilterTextUse use);

// The settings file's form: "AND" or "OR", then operator, value type and value of each
// comparison, joined by tabs; a tab or backslash inside a piece is written \t or \\.
// Values keep every digit; dates and times are serials, or counts of microseconds with
// "us" after them where a serial would lose some (later years, the infinities).
std::string StoredColumnFilter(const ColumnFilter& f);
// nullopt for a text that is not of that form.
std::optional<ColumnFilter> ParseStoredColumnFilter(std::string_view text);

// A filter given as an expression of the data set's own rather than by columns (the
// runner's command line, a setup saved with one): the columns' conditions give way to it.
void SetFilterExpression(TdxDBGrid& grid, const std::string& expression);

} // namespace rg
