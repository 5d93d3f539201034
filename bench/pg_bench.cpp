// PostgreSQL: a table of eight columns opened through the data set against psql reading it,
// in the same run, with the peak memory of each. The server is the one RG_TEST_PG names
// (scripts/testdb.sh starts one).

#include "benchcommon.h"

#include "datasource/connstring.h"
#include "datasource/dataset.h"

#include <fstream>
#include <stdexcept>
#include <sys/resource.h>
#include <vector>

using namespace rg::bench;

namespace {

struct Open {
    Run run;
    double dataSetMb = 0;
    int64_t records = 0;
};

Open openTable(const std::string& connectionString) {
    rg::Connection conn;
    conn.SetConnectionString(connectionString);
    conn.Open();
    rg::DataSet ds(&conn);
    ds.SetCommandType(rg::CommandType::cmdTable);
    ds.SetCommandText("bench8");
    const size_t heapBefore = heapInUse();
    resetPeakResident();
    const double before = residentMb("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    ds.Open();
    Open o;
    o.run.seconds = secondsSince(start);
    o.run.peakMb = peakResidentMb() - before;
    o.dataSetMb = static_cast<double>(heapInUse() - heapBefore) / 1048576.0;
    o.records = ds.RecordCount();
    return o;
}

} // namespace

void bench_pg(const Args& args) {
    const char* env = std::getenv("RG_TEST_PG");
    if (!env || !*env) {
        report("pg_skipped", "RG_TEST_PG is not set (source scripts/testdb.sh && testdb_start)");
        return;
    }
    const std::string cs = env;
    const rg::ConnParts parts = rg::parseConnectionString(cs);
    const std::string rows = std::to_string(args.rows);
    // The table is made again only when its row count differs.
    psql(parts,
         {"-c",
          "CREATE TABLE IF NOT EXISTS bench8 (id integer, qty integer, price double precision, "
          "amount numeric(12,2), name varchar(40), day date, at timestamp, note text)",
          "-c",
          "DO $$ BEGIN IF (SELECT count(*) FROM bench8) <> " + rows +
              " THEN TRUNCATE bench8; "
              "INSERT INTO bench8 SELECT g, g % 1000, g * 0.25, (g % 100000) / 100.0, '客户 ' || "
              "(g % 5000), "
              "date '2020-01-01' + g % 2000, timestamp '2020-01-01' + g * interval '1 minute', "
              "CASE WHEN g % 10 = 0 THEN NULL ELSE '备注 ' || g END FROM generate_series(1, " +
              rows +
              ") g; "
              "END IF; END $$",
          "-c", "VACUUM ANALYZE bench8"});
    report("pg_rows", static_cast<double>(args.rows));
    const Run copy = psql(parts, {"-c", "\\copy (select * from bench8) to /dev/null"});
    const Run select = psql(parts, {"-c", "select * from bench8"});
    report("pg_psql_copy_s", copy.seconds);
    report("pg_psql_copy_peak_mb", copy.peakMb);
    report("pg_psql_select_s", select.seconds);
    report("pg_psql_select_peak_mb", select.peakMb);

    const Open cursor = openTable(cs);
    if (cursor.records != args.rows)
        throw std::runtime_error("the data set holds " + std::to_string(cursor.records) +
                                 " records");
    report("pg_open_s", cursor.run.seconds);
    report("pg_open_vs_psql_select", cursor.run.seconds / select.seconds);
    report("pg_open_vs_psql_copy", cursor.run.seconds / copy.seconds);
    report("pg_dataset_memory_mb", cursor.dataSetMb);
    report("pg_open_peak_mb", cursor.run.peakMb);
    report("pg_open_peak_vs_dataset", cursor.run.peakMb / cursor.dataSetMb);

    // The driver without its cursor, for comparison: it holds the whole result itself.
    const Open whole = openTable(cs + ";UseDeclareFetch=0");
    report("pg_open_nocursor_s", whole.run.seconds);
    report("pg_open_nocursor_peak_mb", whole.run.peakMb);
}
