#pragma once

// The table every server test reads, made alike on SQLite, PostgreSQL and MariaDB: groups
// with null keys, texts that differ only in case or trailing blanks, Chinese texts,
// decimals, 64-bit integers, dates and texts hostile to SQL.

#include <string>

namespace rgtest {

// "sqlite", "pg" or "mariadb".
struct Backend {
    std::string name;
    std::string connectionString; // empty when the server was not started
};

// Creates (again) table sv_rows with `rows` rows on the backend; returns the connection
// string to use.
std::string makeServerTable(const Backend& b, int rows);

// The texts of the region column, in the order rows cycle through them (the last is null).
extern const char* const kRegions[5];

} // namespace rgtest
