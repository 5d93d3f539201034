#include "odbcsession.h"

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>

namespace rgtest {

namespace {

std::string diagnostics(SQLSMALLINT type, SQLHANDLE h) {
    SQLCHAR state[6], msg[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    if (SQL_SUCCEEDED(SQLGetDiagRec(type, h, 1, state, &native, msg, sizeof msg, &len)))
        return reinterpret_cast<char*>(msg);
    return "ODBC error";
}

} // namespace

OdbcSession::OdbcSession(const std::string& cs) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    env_ = env;
    dbc_ = dbc;
    const SQLRETURN rc = SQLDriverConnect(dbc, nullptr, (SQLCHAR*)cs.c_str(), SQL_NTS, nullptr, 0,
                                          nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        const std::string msg = diagnostics(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        throw std::runtime_error(msg);
    }
    SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                      0);
}

OdbcSession::~OdbcSession() {
    rollback();
    SQLDisconnect(static_cast<SQLHDBC>(dbc_));
    SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(dbc_));
    SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(env_));
}

void OdbcSession::exec(const std::string& sql) {
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dbc_), &st);
    const SQLRETURN rc = SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS);
    const std::string msg =
        SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? "" : diagnostics(SQL_HANDLE_STMT, st);
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    if (!msg.empty())
        throw std::runtime_error(msg + " (" + sql + ")");
}

long long OdbcSession::number(const std::string& sql) {
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dbc_), &st);
    SQLRETURN rc = SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS);
    SQLBIGINT value = 0;
    SQLLEN indicator = 0;
    if (SQL_SUCCEEDED(rc))
        rc = SQLFetch(st);
    if (SQL_SUCCEEDED(rc))
        rc = SQLGetData(st, 1, SQL_C_SBIGINT, &value, 0, &indicator);
    const std::string msg =
        SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? "" : diagnostics(SQL_HANDLE_STMT, st);
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    if (!msg.empty())
        throw std::runtime_error(msg + " (" + sql + ")");
    return rc == SQL_NO_DATA || indicator == SQL_NULL_DATA ? 0 : value;
}

std::vector<std::vector<std::string>> OdbcSession::rows(const std::string& sql) {
    SQLHSTMT st = SQL_NULL_HSTMT;
    SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(dbc_), &st);
    SQLRETURN rc = SQLExecDirect(st, (SQLCHAR*)sql.c_str(), SQL_NTS);
    SQLSMALLINT columns = 0;
    if (SQL_SUCCEEDED(rc))
        rc = SQLNumResultCols(st, &columns);
    std::vector<std::vector<std::string>> out;
    while (SQL_SUCCEEDED(rc) && SQL_SUCCEEDED(rc = SQLFetch(st))) {
        std::vector<std::string>& row = out.emplace_back();
        for (SQLUSMALLINT c = 1; c <= columns && SQL_SUCCEEDED(rc); ++c) {
            char text[256] = "";
            SQLLEN indicator = 0;
            rc = SQLGetData(st, c, SQL_C_CHAR, text, sizeof text, &indicator);
            row.push_back(indicator == SQL_NULL_DATA ? "" : text);
        }
    }
    const std::string msg =
        SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA ? "" : diagnostics(SQL_HANDLE_STMT, st);
    SQLFreeHandle(SQL_HANDLE_STMT, st);
    if (!msg.empty())
        throw std::runtime_error(msg + " (" + sql + ")");
    return out;
}

void OdbcSession::commit() {
    SQLEndTran(SQL_HANDLE_DBC, static_cast<SQLHDBC>(dbc_), SQL_COMMIT);
}

void OdbcSession::rollback() {
    SQLEndTran(SQL_HANDLE_DBC, static_cast<SQLHDBC>(dbc_), SQL_ROLLBACK);
}

} // namespace rgtest
