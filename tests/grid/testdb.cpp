#include "testdb.h"

#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>

const char* const kRegionSales = R"(
create table t(id integer primary key, region text, city text, amount real);
insert into t values (1, '华东', '上海', 10.5), (2, '华北', '北京', 20), (3, '华东', '杭州', 7.25),
                     (4, '华北', '天津', 3), (5, '华南', '广州', 12);
)";

TestDb::TestDb(const std::string& sql) {
    char pattern[] = "/tmp/rg-grid-XXXXXX";
    folder = mkdtemp(pattern);
    path = folder + "/t.db";
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        const std::string msg = err ? err : "sqlite error";
        sqlite3_free(err);
        sqlite3_close(db);
        throw std::runtime_error(msg);
    }
    sqlite3_close(db);
    conn.SetConnectionString("Provider=SQLite;Data Source=" + path);
}

TestDb::~TestDb() {
    ds.Close();
    conn.Close();
    std::filesystem::remove_all(folder);
}

void TestDb::open(const std::string& select) {
    ds.Close();
    ds.SetCommandType(rg::CommandType::cmdText);
    ds.SetCommandText(select);
    ds.Open();
}
