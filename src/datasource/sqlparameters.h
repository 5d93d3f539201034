#pragma once

// The named parameters of a report's SQL text (`:开始日期`, `:地区`): what the text names,
// what the report says of each (its type and default), and the values of one run. A value
// is always bound as a `?` parameter of the driver, never pasted into the text.

#include "common/value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rg {

enum class SqlParameterType { Date, DateTime, Number, Text, List };

// Every type, with the key a setup stores and the name a dialog shows.
struct SqlParameterTypeName {
    SqlParameterType type;
    const char* key;     // "date"
    const char* caption; // "日期"
};
const std::vector<SqlParameterTypeName>& SqlParameterTypes();
const SqlParameterTypeName& sqlParameterTypeName(SqlParameterType type);
std::optional<SqlParameterType> sqlParameterTypeFromKey(std::string_view key);

struct SqlParameter {
    std::string name;
    SqlParameterType type = SqlParameterType::Text;
    // A value as typed, or '@' and a date preset ("@上月初", "@上月"); empty: none.
    std::string defaultValue;
    // On the first date of a range: the parameter of its last day, which a period sets too.
    std::string rangeEnd;
    // A list's values: from a query on the report's connection, else these.
    std::string listQuery;
    std::vector<std::string> listValues;
    bool operator==(const SqlParameter&) const = default;
};

// The names an SQL text uses, each once, in the order of first use. Nothing inside a string
// literal, a quoted name or a comment counts, nor a PostgreSQL cast `::type`; MariaDB and
// MySQL read a backslash in a literal as an escape (`backslashEscapes`).
std::vector<std::string> sqlParameterNames(std::string_view sql, bool backslashEscapes = false);
// The text with a `?` in place of each use; `order` receives the name of each `?`.
std::string bindableSql(std::string_view sql, bool backslashEscapes,
                        std::vector<std::string>& order);

// The parameters of the text in its order: what `saved` says of each, else a text parameter
// without a default. What `saved` says of names the text no longer uses is dropped.
std::vector<SqlParameter> parametersOfSql(std::string_view sql,
                                          const std::vector<SqlParameter>& saved,
                                          bool backslashEscapes = false);

// Texts given for one run by parameter name: a value as typed, or "@" and a preset.
using ParameterTexts = std::vector<std::pair<std::string, std::string>>;

// The parameters with neither a given text nor a default, in their order.
std::vector<std::string> missingParameters(const std::vector<SqlParameter>& params,
                                           const ParameterTexts& given);

struct ResolvedParameters {
    std::vector<std::pair<std::string, Value>> values; // in the parameters' order
    // How a title says the values used: "2026年2月，地区：华东".
    std::string caption;
};

// The values of a run as of a day (days since 1970-01-01). A value that does not fit its
// parameter (a date that is none, text for a number, an unknown preset, a value outside a
// typed list) or a parameter without any throws rg::Error naming it.
ResolvedParameters resolveParameters(const std::vector<SqlParameter>& params,
                                     const ParameterTexts& given, int64_t asOfDay);

} // namespace rg
