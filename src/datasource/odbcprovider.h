#pragma once

// Every connection string that does not name the built-in provider goes to the unixODBC
// driver manager, so any installed ODBC driver works.

#include "datasource/provider.h"

namespace rg {

std::unique_ptr<Provider> openOdbcProvider(const std::string& connectionString);

// The field kind of an ODBC SQL type; long character data is a memo only when its size is
// above 65,536 characters or unbounded (0), so ordinary text columns can be grouped.
FieldKind odbcKind(int sqlType, int64_t size);

} // namespace rg
