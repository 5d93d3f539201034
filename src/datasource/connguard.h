#pragma once

// A connection string comes from setups and data link files that travel between people,
// so before the ODBC driver manager sees one it must not be able to make the program load
// code, write files or log the password: Driver= names a registered driver, never a library
// path. For the drivers the program knows (psqlODBC, MariaDB, FreeTDS, SQLite, MDB Tools)
// only their documented attributes that do none of that pass; for any other driver the
// attributes known to load a library or write a file are refused.

#include <cstddef>
#include <string>

namespace rg {

// The longest string SQLDriverConnect takes (its lengths are SQLSMALLINT), and the longest
// one a setup may give: the rest is room for the attributes the program adds.
constexpr size_t kMaxOdbcConnectionString = 32767;
constexpr size_t kMaxSetupConnectionString = kMaxOdbcConnectionString - 256;

// The string to connect with: unchanged for other drivers, and for a known driver with its
// log switches written off at the end, whatever the driver's or the data source's settings
// say. Throws rg::Error with a Chinese message naming the refused attribute or driver, or
// saying the string is longer than kMaxSetupConnectionString.
std::string guardedOdbcConnectionString(const std::string& connectionString);

// The length SQLDriverConnect is given for the string; throws rg::Error past
// kMaxOdbcConnectionString.
short odbcConnectionStringLength(const std::string& connectionString);

// Makes SQL's load_extension() fail in every SQLite database this process opens from now
// on, through either provider. Called before any connection opens.
void guardSqliteExtensions();

} // namespace rg
