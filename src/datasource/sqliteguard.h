#pragma once

// Every SQLite database a report's connection opens, through the built-in provider or the
// SQLite ODBC driver (which shares the one SQLite library), gets an authorizer that refuses
// what would change a database file or create one (writes, schema changes, ATTACH, VACUUM
// INTO, writing pragmas) while its gate is closed. Reports only read; the user's own
// writes open the gate for the statement they run.

#include <atomic>

struct sqlite3;

namespace rg {

struct SqliteWriteGate {
    std::atomic<bool> open{false};
};

// While one lives, SQLite databases opened on this thread answer to `gate` (the SQLite
// ODBC driver opens its database inside SQLDriverConnect); those opened outside one (the
// user's own changes, files the program makes) get no authorizer. The gate must outlive
// the databases opened under it.
class SqliteOpeningScope {
public:
    explicit SqliteOpeningScope(SqliteWriteGate& gate);
    ~SqliteOpeningScope();
    SqliteOpeningScope(const SqliteOpeningScope&) = delete;
    SqliteOpeningScope& operator=(const SqliteOpeningScope&) = delete;

private:
    SqliteWriteGate* outer_;
};

// Installs the authorizer on a database just opened inside a scope, with its gate. Called
// for every database by the process's SQLite auto-extension.
void guardSqliteWrites(sqlite3* db);

} // namespace rg
