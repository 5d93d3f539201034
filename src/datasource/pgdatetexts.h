#pragma once

// PostgreSQL's ODBC driver rewrites dates and timestamps before handing them over: a BC
// date loses its era, infinity becomes 9999-12-31 23:59:59, a year beyond 9999 is cut to
// four digits. A query whose result holds such columns is therefore read with those columns
// cast to text on the server, and the texts are read back into date columns here.

#include "datasource/resultbuffer.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rg {

// Runs one query and fetches its whole result.
using QueryRunner = std::function<std::unique_ptr<ResultBuffer>(const std::string& sql)>;

// The result of `sql` with its date, time and date-time columns as the server writes them;
// nullopt when the result has none, or when the text cannot be wrapped as a subquery (then
// the caller runs it as it is). `quote` quotes an identifier. `known`, when it names the
// kind of every column, saves the statement that asks the server for them; the columns
// are then named by their place.
std::optional<std::unique_ptr<ResultBuffer>>
queryWithServerDateTexts(const std::string& sql, const QueryRunner& run,
                         const std::function<std::string(const std::string&)>& quote,
                         const std::vector<FieldKind>& known = {});

} // namespace rg
