#include "testdb.h"

#include "testsupport.h"

#include <filesystem>

const char* const kCrossOrders = R"(
create table orders(id integer primary key, region text, category text, day date,
                    month text, qty integer, amount real);
with recursive n(i) as (select 1 union all select i + 1 from n where i < 100000)
insert into orders
select i, 'R' || (i * 7 % 10), 'C' || (i / 10 % 5), d, strftime('%Y-%m', d),
       case when i % 13 = 0 then null else i * 31 % 500 end, (i % 997) * 0.25
from (select i, date('2021-01-01', '+' || (i * 7919 % 1095) || ' days') as d from n);
)";

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
