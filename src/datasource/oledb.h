#pragma once

// Setups written by the original Windows program hold OLE DB connection strings. Those
// whose provider has an ODBC driver here are translated to the ODBC string that driver
// takes; the connection keeps the string as the user gave it, so a saved setup still
// opens in the original program.

#include <string>

namespace rg {

// The string a connection hands to its provider: ODBC strings, the built-in provider's
// "Provider=SQLite" and strings without a provider come back unchanged; OLE DB strings of
// the ODBC bridge (MSDASQL), SQL Server (SQLOLEDB, SQLNCLI*, MSOLEDBSQL: FreeTDS) and
// Access (Microsoft.Jet.OLEDB.*, Microsoft.ACE.OLEDB.*: MDB Tools) come back translated.
// Throws rg::Error "不支持的数据提供程序：NAME" for any other provider, and a message naming
// the Debian package when the driver a translation needs is not installed.
std::string odbcFromOleDb(const std::string& connectionString);

// MDB Tools reports a missing database file only as "Unknown ODBC error" (and prints to
// standard output), so an ODBC string for that driver is checked first: throws rg::Error
// naming the file and what is wrong with it when DBQ (or Database) names no regular file.
void checkAccessFile(const std::string& odbcConnectionString);

} // namespace rg
