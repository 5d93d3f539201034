// Data access: raw reads through the SQLite C library and the ODBC driver manager against
// data set opens through both providers, and the memory an open data set holds.

#include "benchcommon.h"

#include "datasource/dataset.h"

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>
#include <vector>

using namespace rg::bench;

namespace {

volatile uint64_t sink; // keeps the raw loop from being optimised away

void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h, const char* what) {
    if (SQL_SUCCEEDED(rc))
        return;
    SQLCHAR state[6], msg[512];
    SQLINTEGER native;
    SQLSMALLINT len;
    std::string text = what;
    if (SQLGetDiagRec(type, h, 1, state, &native, msg, sizeof msg, &len) == SQL_SUCCESS)
        text += std::string(": ") + reinterpret_cast<char*>(msg);
    throw std::runtime_error(text);
}

// A block fetch loop with column-wise binding: numbers and dates bound typed, texts as
// character buffers.
double rawOdbc(const std::string& path) {
    SQLHENV env;
    SQLHDBC dbc;
    SQLHSTMT st;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    const std::string cs = "Driver={SQLite3};Database=" + path;
    check(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)cs.c_str(), SQL_NTS, nullptr, 0, nullptr,
                           SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, dbc, "connect");
    const auto start = std::chrono::steady_clock::now();
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &st);
    constexpr SQLULEN kBlock = 1024;
    SQLULEN fetched = 0;
    SQLSetStmtAttr(st, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kBlock), 0);
    SQLSetStmtAttr(st, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    check(SQLExecDirect(st, (SQLCHAR*)"SELECT * FROM bench", SQL_NTS), SQL_HANDLE_STMT, st,
          "execute");
    SQLSMALLINT cols = 0;
    SQLNumResultCols(st, &cols);
    std::vector<std::vector<char>> bufs(static_cast<size_t>(cols));
    std::vector<std::vector<SQLLEN>> inds(static_cast<size_t>(cols), std::vector<SQLLEN>(kBlock));
    std::vector<SQLSMALLINT> ctype(static_cast<size_t>(cols));
    std::vector<SQLLEN> width(static_cast<size_t>(cols));
    for (SQLUSMALLINT c = 1; c <= cols; ++c) {
        SQLSMALLINT type, digits, nullable, nameLen;
        SQLULEN size;
        SQLCHAR name[128];
        SQLDescribeCol(st, c, name, sizeof name, &nameLen, &type, &size, &digits, &nullable);
        SQLSMALLINT ct;
        SQLLEN w;
        switch (type) {
        case SQL_INTEGER:
        case SQL_SMALLINT:
        case SQL_BIGINT:
        case SQL_TINYINT:
            ct = SQL_C_SBIGINT;
            w = 8;
            break;
        case SQL_DOUBLE:
        case SQL_FLOAT:
        case SQL_REAL:
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            ct = SQL_C_DOUBLE;
            w = 8;
            break;
        case SQL_TYPE_DATE:
            ct = SQL_C_TYPE_DATE;
            w = sizeof(SQL_DATE_STRUCT);
            break;
        default:
            ct = SQL_C_CHAR;
            w = static_cast<SQLLEN>(size > 0 && size < 8192 ? size * 4 + 1 : 8192);
            break;
        }
        const size_t i = c - 1u;
        ctype[i] = ct;
        width[i] = w;
        bufs[i].resize(static_cast<size_t>(w) * kBlock);
        SQLBindCol(st, c, ct, bufs[i].data(), w, inds[i].data());
    }
    uint64_t sum = 0, rows = 0;
    for (;;) {
        const SQLRETURN rc = SQLFetchScroll(st, SQL_FETCH_NEXT, 0);
        if (rc == SQL_NO_DATA)
            break;
        check(rc, SQL_HANDLE_STMT, st, "fetch");
        for (size_t c = 0; c < bufs.size(); ++c) {
            const char* base = bufs[c].data();
            for (SQLULEN r = 0; r < fetched; ++r) {
                const SQLLEN ind = inds[c][r];
                if (ind == SQL_NULL_DATA)
                    continue;
                const char* p = base + r * static_cast<size_t>(width[c]);
                if (ctype[c] == SQL_C_SBIGINT)
                    sum += *reinterpret_cast<const uint64_t*>(p);
                else if (ctype[c] == SQL_C_DOUBLE)
                    sum += static_cast<uint64_t>(*reinterpret_cast<const double*>(p));
                else if (ctype[c] == SQL_C_TYPE_DATE)
                    sum += reinterpret_cast<const SQL_DATE_STRUCT*>(p)->day;
                else
                    sum += static_cast<uint64_t>(ind) + static_cast<unsigned char>(p[0]);
            }
        }
        rows += fetched;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    const double t = secondsSince(start);
    sink = sum + rows;
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return t;
}

double openDataSet(const std::string& connectionString, size_t* memory, int64_t* records) {
    rg::Connection conn;
    conn.SetConnectionString(connectionString);
    conn.Open();
    rg::DataSet ds(&conn);
    ds.SetCommandType(rg::CommandType::cmdTable);
    ds.SetCommandText("bench");
    // The rows in memory whatever their count: above the threshold an automatic placement
    // would leave them on the server.
    ds.SetRowPlacement(rg::RowPlacement::Memory);
    const size_t before = heapInUse();
    const auto start = std::chrono::steady_clock::now();
    ds.Open();
    const double t = secondsSince(start);
    if (memory)
        *memory = heapInUse() - before;
    if (records)
        *records = ds.RecordCount();
    return t;
}

} // namespace

void bench_data(const Args& args) {
    const std::string path = benchTable(args, args.rows);
    report("data_rows", static_cast<double>(args.rows));
    uint64_t textBytes = 0;
    const double rawS = rawSqliteScan(path, textBytes);
    report("sqlite_raw_scan_s", rawS);
    size_t memory = 0;
    int64_t records = 0;
    const double openS = openDataSet("Provider=SQLite;Data Source=" + path, &memory, &records);
    if (records != args.rows)
        throw std::runtime_error("the data set holds " + std::to_string(records) + " records");
    report("sqlite_open_s", openS);
    report("sqlite_open_vs_raw", openS / rawS);
    report("dataset_memory_mb", static_cast<double>(memory) / 1048576.0);
    report("values_as_text_mb", static_cast<double>(textBytes) / 1048576.0);
    report("memory_vs_text", static_cast<double>(memory) / static_cast<double>(textBytes));
    // The section at its peak so far: the raw scan, the open and what the open let go.
    const double peakMb = peakResidentMb();
    report("peak_rss_after_open_mb", peakMb);
    report("peak_rss_vs_text", peakMb * 1048576.0 / static_cast<double>(textBytes));

    const double rawO = rawOdbc(path);
    report("odbc_raw_fetch_s", rawO);
    try {
        const double odbcS = openDataSet("Driver={SQLite3};Database=" + path, nullptr, &records);
        report("odbc_open_s", odbcS);
        report("odbc_open_vs_raw", odbcS / rawO);
    } catch (const std::exception& e) {
        report("odbc_open_error", e.what());
    }

    // A setup's connection string with a 100 KB value: read, cut and opened, and refused
    // for ODBC, in time linear in its length.
    const std::string value = std::string(100 << 10, 'x');
    auto start = std::chrono::steady_clock::now();
    openDataSet("Provider=SQLite;Data Source=" + path + ";Query Timeout=5;X={" + value + "}",
                nullptr, nullptr);
    report("connstring_100kb_open_s", secondsSince(start));
    start = std::chrono::steady_clock::now();
    try {
        openDataSet("Driver={SQLite3};Database=" + path + ";Query Timeout=5;Description=" + value,
                    nullptr, nullptr);
    } catch (const std::exception&) {
        report("connstring_100kb_refused_s", secondsSince(start));
    }
}
