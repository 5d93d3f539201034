#pragma once

// The pieces every ODBC call of the provider shares: UTF-16 conversion, the driver's
// messages, a statement handle and whether a driver has the Unicode calls.

#include "common/databaseerror.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>

namespace rg::odbc {

using WString = std::basic_string<SQLWCHAR>;

WString toW(const std::string& s);
// UTF-16 of `n` units to UTF-8, appended; a surrogate without its other half becomes U+FFFD.
void appendUtf8(std::string& out, const SQLWCHAR* w, size_t n);
std::string fromW(const SQLWCHAR* w, size_t n);
// Bytes a narrow driver returned as text, appended with each byte that is no part of valid
// UTF-8 (another code page's text, a character cut short) as U+FFFD.
void appendValidUtf8(std::string& out, const char* text, size_t n);
inline SQLWCHAR* wptr(WString& s) {
    return s.data();
}

// The failure of the last call on a handle: the driver's messages, one per line, with the
// SQLSTATE and native error code of the first.
DatabaseError driverError(SQLSMALLINT type, SQLHANDLE h, bool wide);
// Whether one of the last call's diagnostics has the SQLSTATE `wanted` ("01004").
bool hasState(SQLSMALLINT type, SQLHANDLE h, const char* wanted);

// A statement handle, freed with it; a failed call throws with the driver's text.
class Stmt {
public:
    Stmt(SQLHDBC dbc, bool wideApi) : wide(wideApi) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h)))
            throw driverError(SQL_HANDLE_DBC, dbc, wide);
    }
    ~Stmt() { SQLFreeHandle(SQL_HANDLE_STMT, h); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    void check(SQLRETURN rc) const {
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            throw driverError(SQL_HANDLE_STMT, h, wide);
    }
    // A character value read piecewise, whatever its length.
    std::string text(SQLUSMALLINT col, bool* null = nullptr);
    SQLLEN integer(SQLUSMALLINT col, bool* null = nullptr);
    SQLHSTMT h = SQL_NULL_HSTMT;
    bool wide;
};

// Whether the driver behind a connection has the Unicode calls. The driver manager hands
// Unicode text to a driver without them cut to single bytes, so such a driver (the SQLite
// ODBC driver among them) is spoken to through the narrow calls in UTF-8.
bool driverIsWide(SQLHDBC dbc);

} // namespace rg::odbc
