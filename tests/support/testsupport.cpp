#include "testsupport.h"

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace rgtest {

void createSqliteFile(const std::string& path, const std::string& sql) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot create " + path);
    }
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err ? err : "sqlite error";
        sqlite3_free(err);
        sqlite3_close(db);
        throw std::runtime_error(msg);
    }
    sqlite3_close(db);
}

std::string makeSqliteFile(const std::string& name, const std::string& sql) {
    const std::string path = "/tmp/rg_ds_" + std::to_string(getpid()) + "_" + name + ".db";
    createSqliteFile(path, sql);
    return path;
}

std::string builtin(const std::string& path) { return "Provider=SQLite;Data Source=" + path; }

namespace {
std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}
} // namespace

std::string pgConnectionString() { return env("RG_TEST_PG"); }
std::string mariadbConnectionString() { return env("RG_TEST_MARIADB"); }

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

bool has(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

} // namespace rgtest
