#pragma once

// The pieces every server statement is made of: what the server understands, the data
// set's command as a derived table and its filter as a condition with bound values.

#include "datasource/parameter.h"
#include "server/serverquery.h"

#include <string>
#include <vector>

namespace rg {

// What the statements need to know about the server behind a provider.
struct ServerDialect {
    GroupingSyntax grouping = GroupingSyntax::UnionAll;
    bool sqlite = false; // the built-in provider
    bool postgres = false;
    bool mariadb = false; // MariaDB or MySQL: texts grouped and compared as bytes
    bool sqlServer = false;
    bool fetchFirst = false; // OFFSET … FETCH FIRST instead of LIMIT
    bool exactTexts = false; // "=" and LIKE on texts can be made to compare bytes
    // PostgreSQL with nondeterministic collations, which take "a" and "A" for one text:
    // texts are grouped and compared under "C" (asked of the server by ServerQuery).
    bool textsUnderC = false;
    // A PostgreSQL result with two columns of one name: the derived table's columns are
    // named by their place (set by ServerQuery).
    bool columnsByPlace = false;
    // PostgreSQL in UTF-8: texts ordered by their GB18030 bytes, the euro sign where code
    // page 936 has it, so that a character outside GBK orders as in memory instead of
    // failing the statement (set by ServerQuery).
    bool gb18030Order = false;
};

// A text column compared as bytes where the dialect needs it.
inline std::string bytewiseText(const ServerDialect& d, const std::string& x) {
    return d.textsUnderC ? x + " COLLATE \"C\"" : x;
}

// The dialect of the server behind the provider, by the product name its driver reports.
ServerDialect dialectOf(Provider& p);

// The command as a derived table named rg_src: a table's rows or an SQL text (a trailing
// `;` dropped). Stored procedures have none.
std::string derivedTable(Provider& p, CommandType kind, const std::string& text);

// A field's column in statements over the derived table.
std::string columnSql(DataSet& ds, int field, const ServerDialect& dialect);

// The names of the derived table's columns by their place, "(rg_c1, rg_c2, …)", for a
// result with `columns` columns.
std::string columnsByPlace(int columns);

// A MariaDB text as the bytes of its UTF-8 form: equal exactly when the texts are, whatever
// the column's character set and collation.
inline std::string mariadbTextBytes(const std::string& x) {
    return "CAST(CONVERT(" + x + " USING utf8mb4) AS BINARY)";
}

// A value bound to be compared with a column of kind `k`. psqlODBC rewrites a date bound as
// one (its era and the infinities lost) and writes a double in 15 digits; a text of no
// declared type is read by PostgreSQL in the column's own type instead: a date with its
// era, a real as the real it stores. MariaDB's driver refuses a bound time beyond a day or
// below zero, which a TIME column holds; the server reads its text as a TIME.
Value boundValue(const ServerDialect& d, FieldKind k, const Value& v);

// A condition of a WHERE clause with its `?` values in order.
struct SqlCondition {
    std::string sql; // empty: no condition
    std::vector<Value> params;
};

// The data set's filter expression as a condition that keeps exactly the rows the
// in-memory filter keeps; throws ServerRefusal naming a condition it cannot express so, and
// the parser's error for an expression that cannot be read.
SqlCondition filterCondition(DataSet& ds, const std::string& expression,
                             const ServerDialect& dialect);

// A statement's text and its `?` values in order.
struct ServerQuery::Sql {
    std::string text;
    std::vector<Value> params;
};

// A count or flag as the server returned it (an integer, or a decimal on some servers).
inline int64_t wholeNumber(const Value& v) {
    return v.type() == Value::Type::Int ? v.asInt() : static_cast<int64_t>(v.asDouble());
}

} // namespace rg
