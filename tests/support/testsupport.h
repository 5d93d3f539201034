#pragma once

// What every test program shares: real SQLite files made from SQL scripts and the database
// servers that scripts/test.sh starts. Files and folders: testfiles.h; the application
// object: qtapplication.h.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace rgtest {

// Runs the SQL script in a new SQLite file at `path`, replacing one there; throws with
// SQLite's message when the script fails.
void createSqliteFile(const std::string& path, const std::string& sql);
// A new SQLite file under /tmp named after the process and `name`.
std::string makeSqliteFile(const std::string& name, const std::string& sql);
// The built-in provider's connection string for a SQLite file.
std::string builtin(const std::string& path);

// ODBC connection strings of the private servers; empty when the tests were not started
// through scripts/test.sh.
std::string pgConnectionString();
std::string mariadbConnectionString();

// The message of the error `f` throws (the program's errors are runtime errors), or
// "(no error)".
std::string errorOf(const std::function<void()>& f);
// The threads of this process now.
size_t threadCount();
// Whether a list of names holds `name`.
bool has(const std::vector<std::string>& list, const std::string& name);

} // namespace rgtest
