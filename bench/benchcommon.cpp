#include "benchcommon.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <spawn.h>
#include <sqlite3.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace rg::bench {

void report(const std::string& name, double value) {
    std::printf("%s: %.6g\n", name.c_str(), value);
    std::fflush(stdout);
}

void report(const std::string& name, const std::string& value) {
    std::printf("%s: %s\n", name.c_str(), value.c_str());
    std::fflush(stdout);
}

BenchGrid::BenchGrid(const std::string& path, CommandType kind, const std::string& command) {
    conn.SetConnectionString("Provider=SQLite;Data Source=" + path);
    conn.Open();
    ds.SetCommandType(kind);
    ds.SetCommandText(command);
    // The grid, export and print sections measure the rows in memory at any count: above the
    // threshold an automatic placement would leave them on the server.
    ds.SetRowPlacement(RowPlacement::Memory);
    const auto start = std::chrono::steady_clock::now();
    ds.Open();
    openSeconds = secondsSince(start);
    grid.SetDataSet(&ds);
    grid.SetShowRowFooter(true);
    grid.SetShowGroupPanel(true);
    grid.SetShowSummaryFooter(true);
    grid.CreateColumnsForFields(ds);
    for (int i = 0; i < grid.ColumnCount(); ++i)
        grid.Columns(i).SetReadOnly(true);
}

void addSummary(TdxDBGrid& g, const char* field, TdxSummaryType kind) {
    TdxDBGridColumn* c = g.ColumnByFieldName(field);
    if (!c)
        throw std::runtime_error(std::string("no column for ") + field);
    TdxDBGridSummaryItem& item = g.DefaultGroup().SummaryItems.Add();
    item.SetColumnName(c->Name());
    item.SetSummaryField(c->FieldName());
    item.SetSummaryType(kind);
    c->SetSummaryFooterField(c->FieldName());
    c->SetSummaryFooterType(kind);
}

namespace {
volatile uint64_t rawScanSink; // keeps the raw loop from being optimised away
} // namespace

double rawSqliteScan(const std::string& path, uint64_t& textBytes) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    const auto start = std::chrono::steady_clock::now();
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT * FROM bench", -1, &st, nullptr);
    const int n = sqlite3_column_count(st);
    uint64_t sum = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < n; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER:
                sum += static_cast<uint64_t>(sqlite3_column_int64(st, c));
                break;
            case SQLITE_FLOAT:
                sum += static_cast<uint64_t>(sqlite3_column_double(st, c));
                break;
            case SQLITE_TEXT:
                sum += sqlite3_column_text(st, c)[0] +
                       static_cast<uint64_t>(sqlite3_column_bytes(st, c));
                break;
            default:
                break;
            }
        }
    }
    sqlite3_finalize(st);
    const double t = secondsSince(start);
    rawScanSink = sum;
    // The size of all values as text, outside the timing.
    textBytes = 0;
    sqlite3_prepare_v2(db, "SELECT * FROM bench", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < n; ++c)
            if (sqlite3_column_type(st, c) != SQLITE_NULL) {
                sqlite3_column_text(st, c);
                textBytes += static_cast<uint64_t>(sqlite3_column_bytes(st, c));
            }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return t;
}

size_t heapInUse() {
    // The column buffers map their large blocks themselves, so malloc's own count misses
    // them: the anonymous pages the process holds, less the free chunks malloc keeps.
    const struct mallinfo2 mi = mallinfo2();
    const auto anonymous = static_cast<size_t>(residentMb("RssAnon") * 1048576.0);
    return anonymous > mi.fordblks ? anonymous - mi.fordblks : 0;
}

double residentMb(const char* key) {
    const std::string prefix = std::string(key) + ":";
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(prefix, 0) == 0) {
            const size_t digits = line.find_first_of("0123456789");
            long kb = 0;
            if (digits != std::string::npos)
                std::from_chars(line.data() + digits, line.data() + line.size(), kb);
            return static_cast<double>(kb) / 1024.0;
        }
    return 0;
}

void resetPeakResident() {
    // Memory an earlier section freed goes back to the system first, so that it does not
    // count here.
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

namespace {

int64_t countRows(sqlite3* db) {
    sqlite3_stmt* st = nullptr;
    int64_t n = -1;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM bench", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return n;
}

} // namespace

std::string benchTable(const Args& args, int64_t rows) {
    const std::string path = args.dir + "/rg_bench_" + std::to_string(rows) + ".db";
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot open " + path);
    if (countRows(db) == rows) {
        sqlite3_close(db);
        return path;
    }
    const std::string sql =
        "DROP TABLE IF EXISTS bench;"
        "CREATE TABLE bench (id INTEGER PRIMARY KEY, region VARCHAR(20), product VARCHAR(40), qty "
        "INTEGER,"
        " price REAL, amount DOUBLE, day DATE, note VARCHAR(60));"
        "WITH RECURSIVE seq(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM seq WHERE n < " +
        std::to_string(rows) +
        ")"
        " INSERT INTO bench SELECT n,"
        " CASE n % 7 WHEN 0 THEN '华北' WHEN 1 THEN '华东' WHEN 2 THEN '华南' WHEN 3 THEN '华中'"
        "   WHEN 4 THEN '西南' WHEN 5 THEN '西北' ELSE '东北' END,"
        " '产品' || (n * 37 % 500),"
        " n * 13 % 97,"
        " (n * 7919 % 100000) / 100.0,"
        " (n * 13 % 97) * ((n * 7919 % 100000) / 100.0),"
        " date('2020-01-01', '+' || (n % 1800) || ' days'),"
        " CASE WHEN n % 5 = 0 THEN NULL ELSE '备注 ' || n END"
        " FROM seq;";
    char* err = nullptr;
    if (sqlite3_exec(db, ("BEGIN;" + sql + "COMMIT;").c_str(), nullptr, nullptr, &err) !=
        SQLITE_OK) {
        const std::string msg = err ? err : "?";
        sqlite3_free(err);
        sqlite3_close(db);
        throw std::runtime_error(msg);
    }
    sqlite3_close(db);
    return path;
}

Run runChild(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + args[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const Run r{secondsSince(start), static_cast<double>(usage.ru_maxrss) / 1024.0};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(args[0] + " failed: " + args.back());
    return r;
}

Run psql(const rg::ConnParts& cs, const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"psql",
                                     "-X",
                                     "-q",
                                     "-v",
                                     "ON_ERROR_STOP=1",
                                     "-h",
                                     rg::connValue(cs, "Server"),
                                     "-p",
                                     rg::connValue(cs, "Port"),
                                     "-U",
                                     rg::connValue(cs, "Uid"),
                                     "-d",
                                     rg::connValue(cs, "Database"),
                                     "-o",
                                     "/dev/null"};
    args.insert(args.end(), extra.begin(), extra.end());
    setenv("PGPASSWORD", rg::connValue(cs, "Pwd").c_str(), 1);
    setenv("PGOPTIONS", "-c client_min_messages=warning", 1);
    return runChild(args);
}

} // namespace rg::bench
