#pragma once

// A session of its own on a database server, for what a test needs another user to do
// (hold a lock while the program waits for it). Autocommit is off; whatever the session did
// is rolled back when it ends.

#include <string>
#include <vector>

namespace rgtest {

class OdbcSession {
public:
    explicit OdbcSession(const std::string& connectionString); // throws with the driver's text
    ~OdbcSession();
    OdbcSession(const OdbcSession&) = delete;
    OdbcSession& operator=(const OdbcSession&) = delete;

    void exec(const std::string& sql); // throws with the driver's text
    // The first column of the first row as a whole number (a count), 0 for no row or null.
    long long number(const std::string& sql);
    // Every row of the result, each column as its text ("" for null); ASCII results only.
    std::vector<std::vector<std::string>> rows(const std::string& sql);
    void commit();
    void rollback();

private:
    void* env_ = nullptr;
    void* dbc_ = nullptr;
};

} // namespace rgtest
