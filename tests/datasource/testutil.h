#pragma once

#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace rgtest {

// A fresh SQLite file under /tmp holding what the SQL script creates.
inline std::string makeSqliteFile(const std::string& name, const std::string& sql) {
    const std::string path = "/tmp/rg_ds_" + std::to_string(getpid()) + "_" + name + ".db";
    unlink(path.c_str());
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "?";
        sqlite3_free(err);
        sqlite3_close(db);
        throw std::runtime_error(msg);
    }
    sqlite3_close(db);
    return path;
}

inline std::string builtin(const std::string& path) { return "Provider=SQLite;Data Source=" + path; }

} // namespace rgtest
