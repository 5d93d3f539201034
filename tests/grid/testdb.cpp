#include "testdb.h"

#include "testsupport.h"

#include <filesystem>

const char* const kRegionSales = R"(
create table t(id integer primary key, region text, city text, amount real);
insert into t values (1, '华东', '上海', 10.5), (2, '华北', '北京', 20), (3, '华东', '杭州', 7.25),
                     (4, '华北', '天津', 3), (5, '华南', '广州', 12);
)";

TestDb::TestDb(const std::string& sql) {
    char pattern[] = "/tmp/rg-grid-XXXXXX";
    folder = mkdtemp(pattern);
    path = folder + "/t.db";
    rgtest::createSqliteFile(path, sql);
    conn.SetConnectionString(rgtest::builtin(path));
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
