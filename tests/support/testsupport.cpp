#include "testsupport.h"

#include "processfolder.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
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

namespace {
struct ProcessFolder {
    std::string path;
    pid_t owner = ::getpid(); // a forked child that exits normally leaves it to its parent
    ProcessFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "rg_test_XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot create a folder for " + pattern);
        path = pattern;
        // Readable by the other users some tests run children as, as /tmp itself is.
        ::chmod(path.c_str(), 0755);
    }
    ~ProcessFolder() {
        std::error_code ec;
        if (::getpid() == owner)
            std::filesystem::remove_all(path, ec);
    }
};
} // namespace

const std::string& processFolder() {
    static const ProcessFolder folder;
    return folder.path;
}

std::string makeSqliteFile(const std::string& name, const std::string& sql) {
    const std::string path = processFolder() + "/" + name + ".db";
    createSqliteFile(path, sql);
    return path;
}

std::string builtin(const std::string& path) {
    return "Provider=SQLite;Data Source=" + path;
}

namespace {
std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}
} // namespace

std::string pgConnectionString() {
    return env("RG_TEST_PG");
}
std::string mariadbConnectionString() {
    return env("RG_TEST_MARIADB");
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

size_t threadCount() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                             std::filesystem::directory_iterator()));
}

bool has(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

} // namespace rgtest
