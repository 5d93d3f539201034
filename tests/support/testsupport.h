#pragma once

// What every test program shares: real SQLite files made from SQL scripts, temporary
// folders, and the database servers that scripts/test.sh starts.

#include <string>

namespace rgtest {

// Runs the SQL script in a new SQLite file at `path`, replacing one there; throws with
// SQLite's message when the script fails.
void createSqliteFile(const std::string& path, const std::string& sql);
// A new SQLite file under /tmp named after the process and `name`.
std::string makeSqliteFile(const std::string& name, const std::string& sql);
// The built-in provider's connection string for a SQLite file.
std::string builtin(const std::string& path);

// A new empty folder under /tmp, removed with everything in it when the object goes.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "rg-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// ODBC connection strings of the private servers; empty when the tests were not started
// through scripts/test.sh.
std::string pgConnectionString();
std::string mariadbConnectionString();

} // namespace rgtest
