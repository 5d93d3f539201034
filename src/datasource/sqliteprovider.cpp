#include "datasource/sqliteprovider.h"

#include "datasource/connguard.h"
#include "datasource/readonlysql.h"
#include "datasource/sqlitefetch.h"
#include "datasource/sqliteguard.h"

#include "common/asciicase.h"
#include "common/bigdecimal.h"
#include "common/codepage.h"
#include "common/databaseerror.h"
#include "common/error.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <sqlite3.h>

namespace rg {

namespace {

bool has(const std::string& s, const char* word) {
    return s.find(word) != std::string::npos;
}

struct Stmt {
    sqlite3_stmt* s = nullptr;
    ~Stmt() { sqlite3_finalize(s); }
};

void bindValue(sqlite3_stmt* st, int i, const Value& v) {
    switch (v.type()) {
    case Value::Type::Null:
        sqlite3_bind_null(st, i);
        break;
    case Value::Type::Bool:
        sqlite3_bind_int(st, i, v.asBool() ? 1 : 0);
        break;
    case Value::Type::Int:
        sqlite3_bind_int64(st, i, v.asInt());
        break;
    case Value::Type::Double:
        sqlite3_bind_double(st, i, v.asDouble());
        break;
    case Value::Type::Blob:
        sqlite3_bind_blob(st, i, v.asText().data(), static_cast<int>(v.asText().size()),
                          SQLITE_TRANSIENT);
        break;
    default: {
        // Texts, and dates as the texts SQLite's date columns hold.
        const std::string s = v.type() == Value::Type::Text ? v.asText() : v.displayText();
        sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    }
}

// RG_SUM(x): the exact sum of a column as the program sums what it fetched (a REAL as its
// shortest decimal, a text as its digits), given as the digits' text; null without a value.
// SQLite's own SUM adds doubles and fails beyond 64-bit integers.
void exactSumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto** sum = static_cast<BigDecimal**>(sqlite3_aggregate_context(ctx, sizeof(BigDecimal*)));
    if (!sum)
        return sqlite3_result_error_nomem(ctx);
    std::optional<BigDecimal> v;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
        v = BigDecimal::fromDecimal(Decimal::fromInt(sqlite3_value_int64(argv[0])));
        break;
    case SQLITE_FLOAT: {
        const double d = sqlite3_value_double(argv[0]);
        if (const auto shortest = Decimal::fromDouble(d))
            v = BigDecimal::fromDecimal(*shortest);
        break;
    }
    case SQLITE_TEXT:
        v = BigDecimal::parse(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
        break;
    default:
        break;
    }
    if (!v)
        return;
    if (*sum)
        **sum = BigDecimal::add(**sum, *v);
    else
        *sum = new BigDecimal(*v); // freed by exactSumFinal, which SQLite always calls
}

void exactSumFinal(sqlite3_context* ctx) {
    auto** sum = static_cast<BigDecimal**>(sqlite3_aggregate_context(ctx, 0));
    if (!sum || !*sum)
        return sqlite3_result_null(ctx);
    const std::string text = (*sum)->toString();
    delete *sum;
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

} // namespace

FieldKind sqliteKindOf(const std::string& declaredType, int* size) {
    const std::string t = asciiLower(declaredType);
    if (size) {
        *size = 0;
        const size_t open = t.find('(');
        if (open != std::string::npos)
            *size = std::atoi(t.c_str() + open + 1);
    }
    // Checked in the order the SQLite ODBC driver checks them.
    if (has(t, "char") || has(t, "text") || has(t, "clob"))
        return FieldKind::String;
    if (has(t, "blob") || has(t, "binary"))
        return FieldKind::Blob;
    if (has(t, "bigint"))
        return FieldKind::LargeInt;
    if (has(t, "smallint") || has(t, "tinyint"))
        return FieldKind::SmallInt;
    if (has(t, "int"))
        return FieldKind::Integer;
    if (has(t, "real") || has(t, "float") || has(t, "double"))
        return FieldKind::Float;
    if (has(t, "numeric") || has(t, "decimal"))
        return FieldKind::BCD;
    if (has(t, "timestamp") || has(t, "datetime"))
        return FieldKind::DateTime;
    if (has(t, "time"))
        return FieldKind::Time;
    if (has(t, "date"))
        return FieldKind::Date;
    if (has(t, "bool") || has(t, "bit"))
        return FieldKind::Boolean;
    return FieldKind::String;
}

namespace {

// No file is created for a wrong path: a missing database is an error. One connection
// serves one thread, so SQLite's per-call locking is left out.
sqlite3* openDatabase(const std::string& path, int mode) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, mode | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        const long code = db ? sqlite3_extended_errcode(db) : rc;
        sqlite3_close(db);
        throw DatabaseError(msg + ": " + path, {}, code);
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

} // namespace

// Reports read the file through a read-only connection; the user's own changes go through
// a second one, opened for writing when the first change comes.
SqliteProvider::SqliteProvider(const std::string& path) : path_(path) {
    std::error_code ec;
    if (path != ":memory:" && !std::filesystem::exists(path, ec))
        throw DatabaseError("找不到数据库文件：" + path);
    guardSqliteExtensions();
    {
        const SqliteOpeningScope reading(readGate_);
        db_ = openDatabase(path, SQLITE_OPEN_READONLY);
    }
    sqlite3_create_function_v2(db_, "RG_SUM", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               nullptr, exactSumStep, exactSumFinal, nullptr);
    // Statements that order texts as the program does (code page order) name this collation.
    sqlite3_create_collation(
        db_, "RG_ANSI", SQLITE_UTF8, nullptr,
        [](void*, int na, const void* a, int nb, const void* b) {
            return ansiCompare(
                std::string_view(static_cast<const char*>(a), static_cast<size_t>(na)),
                std::string_view(static_cast<const char*>(b), static_cast<size_t>(nb)));
        });
}

SqliteProvider::~SqliteProvider() {
    sqlite3_close(writer_.load());
    sqlite3_close(db_);
}

// sqlite3_interrupt is the one call SQLite allows from another thread on a connection
// opened without its mutex; it ends the running step with SQLITE_INTERRUPT.
void SqliteProvider::cancel() {
    sqlite3_interrupt(db_);
    if (sqlite3* w = writer_.load())
        sqlite3_interrupt(w);
}

sqlite3* SqliteProvider::writer() {
    if (sqlite3* w = writer_.load())
        return w;
    sqlite3* w = openDatabase(path_, SQLITE_OPEN_READWRITE);
    writer_.store(w);
    return w;
}

void SqliteProvider::fail(sqlite3* db) {
    db = db ? db : db_;
    throw DatabaseError(sqlite3_errmsg(db), {}, sqlite3_extended_errcode(db));
}

void SqliteProvider::exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db);
}

void SqliteProvider::listTables(std::vector<std::string>& list, bool includeSystem) {
    list.clear();
    Stmt st;
    const char* sql = "SELECT name FROM sqlite_master WHERE type IN ('table','view') ORDER BY name";
    if (sqlite3_prepare_v2(db_, sql, -1, &st.s, nullptr) != SQLITE_OK)
        fail();
    while (sqlite3_step(st.s) == SQLITE_ROW) {
        const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st.s, 0));
        if (!includeSystem && name.rfind("sqlite_", 0) == 0)
            continue;
        list.push_back(name);
    }
    if (includeSystem)
        list.insert(list.begin(), "sqlite_master");
}

void SqliteProvider::listProcedures(std::vector<std::string>&) {} // SQLite has no procedures

void SqliteProvider::listFields(const std::string& table, std::vector<std::string>& list) {
    list.clear();
    Stmt st;
    const std::string sql = "PRAGMA table_info(" + quoteIdentifier(table) + ")";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st.s, nullptr) != SQLITE_OK)
        fail();
    while (sqlite3_step(st.s) == SQLITE_ROW)
        list.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st.s, 1)));
}

std::string SqliteProvider::quoteIdentifier(const std::string& name) {
    std::string q = "\"";
    for (char c : name) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

std::unique_ptr<ResultBuffer> SqliteProvider::query(const std::string& sql,
                                                    const std::vector<Value>& params,
                                                    const std::vector<FieldKind>& kinds,
                                                    const ProgressFn& progress) {
    checkReportStatement(sql, SqlFamily::SQLite);
    Stmt st;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &st.s, nullptr) !=
        SQLITE_OK) {
        if (sqlite3_errcode(db_) == SQLITE_AUTH)
            throw DatabaseError(writeRefusalMessage(sql, kReadOnlyConnection), {},
                                sqlite3_extended_errcode(db_));
        fail();
    }
    if (!st.s)
        throw DatabaseError("Command text does not return a result set");
    // Behind the authorizer, in case a statement slips past it. SQLite counts a pragma
    // that only reads (journal_mode without a value) as writing; the authorizer has
    // already vetted pragmas by name and value.
    if (!sqlite3_stmt_readonly(st.s) && !startsWithWord(sql, "PRAGMA"))
        throw DatabaseError(writeRefusalMessage(sql, "这条语句会写入数据库"));
    for (size_t i = 0; i < params.size(); ++i)
        bindValue(st.s, static_cast<int>(i) + 1, params[i]);
    auto buf = std::make_unique<ResultBuffer>();
    const int n = sqlite3_column_count(st.s);
    int rc = sqlite3_step(st.s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail();
    if (n == 0)
        throw DatabaseError("Command text does not return a result set");
    buf->info.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        ColumnInfo& ci = buf->info[static_cast<size_t>(i)];
        ci.name = sqlite3_column_name(st.s, i);
        const char* decl = sqlite3_column_decltype(st.s, i);
        if (static_cast<size_t>(i) < kinds.size() &&
            kinds[static_cast<size_t>(i)] != FieldKind::Unknown) {
            if (decl)
                sqliteKindOf(decl, &ci.size);
            ci.kind = kinds[static_cast<size_t>(i)];
        } else if (decl) {
            ci.kind = sqliteKindOf(decl, &ci.size);
        } else if (rc == SQLITE_ROW) {
            // An expression column: the kind of its first value.
            switch (sqlite3_column_type(st.s, i)) {
            case SQLITE_INTEGER:
                ci.kind = FieldKind::LargeInt;
                break;
            case SQLITE_FLOAT:
                ci.kind = FieldKind::Float;
                break;
            case SQLITE_BLOB:
                ci.kind = FieldKind::Blob;
                break;
            default:
                ci.kind = FieldKind::String;
                break;
            }
        }
        if (const char* t = sqlite3_column_table_name(st.s, i))
            ci.baseTable = t;
        if (const char* c = sqlite3_column_origin_name(st.s, i))
            ci.baseColumn = c;
        buf->columns.emplace_back(ci.kind);
    }
    const SqliteFetch fetch = fetchSqliteRows(st.s, rc, buf->columns, progress);
    if (fetch.lastStep != SQLITE_DONE)
        fail();
    buf->rows = fetch.rows;
    buf->shrink();
    if (progress && !progress(buf->rows))
        throw Error("Operation cancelled");
    return buf;
}

std::unique_ptr<ResultBuffer>
SqliteProvider::callProcedure(const std::string& name, std::vector<Parameter>&, const ProgressFn&) {
    throw DatabaseError(
        format("Stored procedure '%s' not found: SQLite has no stored procedures", name.c_str()));
}

std::vector<Parameter> SqliteProvider::procedureParameters(const std::string&) {
    return {};
}

std::vector<std::string> SqliteProvider::primaryKey(const std::string&, const std::string& table) {
    std::vector<std::pair<int, std::string>> cols;
    Stmt st;
    const std::string sql = "PRAGMA table_info(" + quoteIdentifier(table) + ")";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st.s, nullptr) != SQLITE_OK)
        fail();
    while (sqlite3_step(st.s) == SQLITE_ROW) {
        const int pk = sqlite3_column_int(st.s, 5);
        if (pk > 0)
            cols.emplace_back(pk, reinterpret_cast<const char*>(sqlite3_column_text(st.s, 1)));
    }
    std::sort(cols.begin(), cols.end());
    std::vector<std::string> out;
    for (auto& c : cols)
        out.push_back(c.second);
    return out;
}

void SqliteProvider::applyChange(const RowChange& change) {
    std::vector<Value> params;
    const std::string sql = changeSql(*this, change, params);
    sqlite3* w = writer();
    exec(w, "SAVEPOINT rg_change");
    try {
        Stmt st;
        if (sqlite3_prepare_v2(w, sql.c_str(), -1, &st.s, nullptr) != SQLITE_OK)
            fail(w);
        for (size_t i = 0; i < params.size(); ++i)
            bindValue(st.s, static_cast<int>(i) + 1, params[i]);
        if (sqlite3_step(st.s) != SQLITE_DONE)
            fail(w);
        const int touched = sqlite3_changes(w);
        if (touched != 1)
            throw DatabaseError(rowCountMessage(touched));
    } catch (...) {
        sqlite3_exec(w, "ROLLBACK TO rg_change; RELEASE rg_change", nullptr, nullptr, nullptr);
        throw;
    }
    exec(w, "RELEASE rg_change");
}

} // namespace rg
