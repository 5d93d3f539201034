#pragma once

// A connection string comes from setups and data link files that travel between people,
// so before the ODBC driver manager sees one it must not be able to make the program load
// code or write files: Driver= names a registered driver, never a library path, and the
// attributes through which a driver or the driver manager loads a library or writes a
// file are refused.

#include <string>

namespace rg {

// Throws rg::Error with a Chinese message naming the refused attribute or driver.
void checkOdbcConnectionString(const std::string& connectionString);

// Makes SQL's load_extension() fail in every SQLite database this process opens from now
// on, through either provider. Called before any connection opens.
void guardSqliteExtensions();

} // namespace rg
