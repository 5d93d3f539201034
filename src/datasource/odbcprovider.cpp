#include "datasource/odbcprovider.h"

#include "common/asciicase.h"
#include "common/datetime.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "datasource/connguard.h"
#include "datasource/connstring.h"
#include "datasource/odbcnumbers.h"

#include <algorithm>
#include <filesystem>
#include <odbcinst.h>

namespace rg {

namespace {

using namespace odbc;

bool hasKey(const ConnParts& parts, const char* key) {
    const std::string k = asciiLower(key);
    return std::any_of(parts.begin(), parts.end(),
                       [&](const auto& p) { return asciiLower(p.first) == k; });
}

// A value of a data source name's definition in odbc.ini.
std::string profileValue(const std::string& dsn, const char* key) {
    char value[1024] = {0};
    SQLGetPrivateProfileString(dsn.c_str(), key, "", value, sizeof value, "odbc.ini");
    return value;
}

// The SQLite ODBC driver creates the database a connection string names when it does not
// exist, so that a mistyped path would show an empty database.
void refuseMissingSqliteFile(const std::string& cs) {
    const ConnParts parts = parseConnectionString(cs);
    std::string driver = connValue(parts, "Driver"), database = connValue(parts, "Database");
    const std::string dsn = connValue(parts, "DSN");
    if (!dsn.empty() && driver.empty())
        driver = profileValue(dsn, "Driver");
    if (!dsn.empty() && database.empty())
        database = profileValue(dsn, "Database");
    if (asciiLower(driver).find("sqlite") == std::string::npos || database.empty() ||
        database == ":memory:")
        return;
    std::error_code ec;
    if (!std::filesystem::exists(database, ec))
        throw DatabaseError("找不到数据库文件：" + database);
}

// Seconds a connect may wait for the server before the driver gives up. psqlODBC takes
// SQL_ATTR_LOGIN_TIMEOUT as libpq's connect timeout; MariaDB's connector ignores it while it
// waits for the server's greeting, and takes CONN_TIMEOUT from the connection string.
constexpr int kLoginTimeoutSeconds = 30;

std::string withLoginLimit(SQLHDBC dbc, const std::string& cs) {
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(kLoginTimeoutSeconds)), 0);
    const ConnParts parts = parseConnectionString(cs);
    std::string driver = connValue(parts, "Driver");
    if (const std::string dsn = connValue(parts, "DSN"); driver.empty() && !dsn.empty())
        driver = profileValue(dsn, "Driver");
    driver = asciiLower(driver);
    const bool mariadb = driver.find("maria") != std::string::npos ||
                         driver.find("maodbc") != std::string::npos ||
                         driver.find("mysql") != std::string::npos;
    if (!mariadb || hasKey(parts, "CONN_TIMEOUT"))
        return cs;
    return cs + (cs.empty() || cs.back() == ';' ? "" : ";") +
           "CONN_TIMEOUT=" + std::to_string(kLoginTimeoutSeconds);
}

// psqlODBC hands Booleans over as texts, and without a cursor it holds a whole result in
// the driver while the data set copies it. Keep-alive probes after half a minute without
// traffic, every ten seconds, find a server host or network gone silent within about two
// minutes instead of the system's two hours. The user's own settings win.
std::string withPostgresDefaults(const std::string& cs) {
    const ConnParts parts = parseConnectionString(cs);
    std::string out = cs;
    auto add = [&](const char* key, const char* abbreviation, const char* value) {
        if (hasKey(parts, key) || hasKey(parts, abbreviation))
            return;
        if (!out.empty() && out.back() != ';')
            out += ';';
        out += std::string(key) + "=" + value;
    };
    add("BoolsAsChar", "B9", "0");
    add("UseDeclareFetch", "B6", "1");
    add("Fetch", "A7", "2048");
    add("KeepaliveTime", "D1", "30");
    add("KeepaliveInterval", "D2", "10");
    return out;
}

} // namespace

OdbcProvider::OdbcProvider(const std::string& cs) {
    refuseMissingSqliteFile(cs);
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    // The driver manager's trace would write the connection string, password and all,
    // wherever the user's or the system's configuration says.
    SQLSetConnectAttr(dbc_, SQL_ATTR_TRACE, reinterpret_cast<SQLPOINTER>(SQL_OPT_TRACE_OFF), 0);
    // A hint that some drivers follow; the server's read-only session is what holds.
    SQLSetConnectAttr(dbc_, SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY),
                      0);
    const bool postgres =
        asciiLower(connValue(parseConnectionString(cs), "Driver")).find("postgres") !=
        std::string::npos;
    connect(postgres ? withPostgresDefaults(cs) : cs);
    const std::string driver = driverName();
    // A data source name hides the driver until it is connected.
    if (!postgres && driver.rfind("psqlodbc", 0) == 0 && withPostgresDefaults(cs) != cs) {
        SQLDisconnect(dbc_);
        connect(withPostgresDefaults(cs));
    }
    // MariaDB's driver hands output values over as a result of their own, and writes UTF-8
    // into wide output parameters: those are bound narrow.
    outputsAsResult_ = driver.rfind("libmaodbc", 0) == 0 || driver.rfind("libmyodbc", 0) == 0;
    postgres_ = driver.rfind("psqlodbc", 0) == 0;
    wide_ = driverIsWide(dbc_);
    SQLCHAR q[8] = {0};
    SQLSMALLINT len = 0;
    // A driver without quoting (a blank) still gets the standard quote, so that a name
    // can never be read as SQL.
    if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_IDENTIFIER_QUOTE_CHAR, q, sizeof q, &len)) && q[0] &&
        q[0] != ' ')
        quote_ = reinterpret_cast<char*>(q);
    SQLCHAR esc[8] = {0};
    if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_SEARCH_PATTERN_ESCAPE, esc, sizeof esc, &len)) &&
        esc[0] && esc[0] != ' ')
        escape_ = reinterpret_cast<char*>(esc);
    SQLUINTEGER ext = 0;
    if (SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_GETDATA_EXTENSIONS, &ext, sizeof ext, nullptr))) {
        getDataAnyColumn_ = (ext & SQL_GD_ANY_COLUMN) && (ext & SQL_GD_ANY_ORDER);
        getDataBound_ = ext & SQL_GD_BOUND;
        getDataBlock_ = ext & SQL_GD_BLOCK;
    }
    SQLUINTEGER schemaUsage = 0, catalogUsage = 0;
    SQLGetInfo(dbc_, SQL_SCHEMA_USAGE, &schemaUsage, sizeof schemaUsage, nullptr);
    SQLGetInfo(dbc_, SQL_CATALOG_USAGE, &catalogUsage, sizeof catalogUsage, nullptr);
    // MariaDB and MySQL have no schemas: their databases, reported as catalogs, qualify names.
    catalogOwners_ = schemaUsage == 0 && catalogUsage != 0;
    if (catalogOwners_)
        defaultOwner_ = currentCatalog();
    else if (schemaUsage != 0)
        defaultOwner_ = currentSchema();
    chooseReadOnlySession();
}

void OdbcProvider::connect(const std::string& given) {
    const std::string cs = withLoginLimit(dbc_, given);
    SQLCHAR out[2048];
    SQLSMALLINT outLen = 0;
    // Never a login prompt: a missing password is the driver's error.
    const SqliteOpeningScope sqliteOpening(sqliteGate_);
    const SQLRETURN rc =
        SQLDriverConnect(dbc_, nullptr, (SQLCHAR*)cs.c_str(), odbcConnectionStringLength(cs), out,
                         sizeof out, &outLen, SQL_DRIVER_NOPROMPT);
    if (SQL_SUCCEEDED(rc))
        return;
    const DatabaseError error = driverError(SQL_HANDLE_DBC, dbc_, false);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
    throw error;
}

std::string OdbcProvider::driverName() {
    SQLCHAR name[512] = {0};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_DRIVER_NAME, name, sizeof name, &len)))
        return {};
    return asciiLower(reinterpret_cast<char*>(name));
}

std::string OdbcProvider::dbmsName() {
    SQLCHAR name[512] = {0};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, SQL_DBMS_NAME, name, sizeof name, &len)))
        return {};
    return reinterpret_cast<char*>(name);
}

std::string OdbcProvider::currentCatalog() {
    if (wide_) {
        SQLWCHAR w[512] = {0};
        SQLINTEGER len = 0;
        if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_, SQL_ATTR_CURRENT_CATALOG, w, sizeof w, &len)))
            return {};
        return fromW(w, std::min<size_t>(static_cast<size_t>(std::max<SQLINTEGER>(len, 0)) /
                                             sizeof(SQLWCHAR),
                                         511));
    }
    SQLCHAR c[1024] = {0};
    SQLINTEGER len = 0;
    if (!SQL_SUCCEEDED(SQLGetConnectAttr(dbc_, SQL_ATTR_CURRENT_CATALOG, c, sizeof c, &len)))
        return {};
    return reinterpret_cast<char*>(c);
}

// The schema bare names resolve to. ODBC has no call for it; servers without
// current_schema() leave it empty, and every name of theirs with a schema is qualified.
std::string OdbcProvider::currentSchema() {
    try {
        auto buf = query("SELECT current_schema()", {});
        if (buf->rows == 1 && buf->columns.size() == 1 && !buf->columns[0].isNull(0))
            return buf->columns[0].valueAt(0).asText();
    } catch (const Error&) {
        // no such function: no default schema
    }
    return {};
}

OdbcProvider::~OdbcProvider() {
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

void OdbcProvider::cancel() {
    std::lock_guard lock(runningMutex_);
    if (running_ != SQL_NULL_HSTMT)
        SQLCancel(running_);
}

// A parameter's value from the text a driver returned for it.
Value valueFromText(FieldKind k, const std::string& s) {
    if (isNumericKind(k)) {
        if (Value v = numberFromText(k, s); !v.isNull())
            return v;
    } else if (k == FieldKind::Date) {
        if (auto us = parseDateMicros(s))
            return Value::fromMicros(Value::Type::Date, *us);
    } else if (k == FieldKind::Time) {
        if (auto us = parseTimeMicros(s))
            return Value::fromMicros(Value::Type::Time, *us);
    } else if (k == FieldKind::DateTime || k == FieldKind::TimeStamp) {
        if (auto us = parseDateTimeMicros(s))
            return Value::fromMicros(Value::Type::DateTime, *us);
    } else if (k == FieldKind::Boolean) {
        return Value::fromBool(s == "1" || s == "t" || s == "true" || s == "True");
    }
    return Value::fromText(s);
}

FieldKind odbcKind(int sqlType, int64_t size) {
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_GUID:
        return FieldKind::String;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
        return size <= 0 || size > 65536 ? FieldKind::Memo : FieldKind::String;
    case SQL_TINYINT:
    case SQL_SMALLINT:
        return FieldKind::SmallInt;
    case SQL_INTEGER:
        return FieldKind::Integer;
    case SQL_BIGINT:
        return FieldKind::LargeInt;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return FieldKind::Float;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return FieldKind::BCD;
    case SQL_BIT:
        return FieldKind::Boolean;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        return FieldKind::Date;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        return FieldKind::Time;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        return FieldKind::DateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
        return FieldKind::Blob;
    default:
        return FieldKind::String;
    }
}

std::unique_ptr<Provider> openOdbcProvider(const std::string& connectionString) {
    return std::make_unique<OdbcProvider>(connectionString);
}

} // namespace rg
