#pragma once

// A report only reads. Its command comes from a setup that may have been written by
// anyone, so before a server sees it the text must be one statement that cannot write a
// file, and what the server refuses because the connection is read-only is told as such.
// The servers' read-only sessions and SQLite's authorizer do the real refusing; these
// checks close what those leave open (a second statement that switches the transaction
// back to read-write, COPY ... TO PROGRAM, SELECT ... INTO OUTFILE).

#include <string>

namespace rg {

class DatabaseError;

// Whose lexical rules a statement is read by; Any takes every reading of every server.
enum class SqlFamily { Any, PostgreSQL, MySQL, SQLite };

// Throws rg::DatabaseError when `sql` holds more than one statement as any reading of the
// family's rules sees it (backslash escapes or none, and so on), starts with COPY or DO, or
// selects INTO OUTFILE or DUMPFILE.
void checkReportStatement(const std::string& sql, SqlFamily family = SqlFamily::Any);

// "报表命令试图修改数据库，已拒绝：<start of the statement>（<the reason>）".
std::string writeRefusalMessage(const std::string& sql, const std::string& reason);
// The reason of a write the database refused on the report's read-only connection, in place
// of its own English text ("not authorized", "cannot execute … in a read-only transaction").
inline constexpr const char* kReadOnlyConnection = "报表的连接只读";

// Whether a server's or driver's error says the statement tried to write on a read-only
// connection: SQLSTATE 25006 (PostgreSQL, MariaDB, MySQL) or SQLite's authorizer.
bool isWriteRefusal(const DatabaseError& e);

// Whether the statement's first word is `word` (ignoring case, blanks and comments).
bool startsWithWord(const std::string& sql, const char* word);

// The same error told as a refused write when it is one; otherwise `e` unchanged.
DatabaseError asWriteRefusal(const DatabaseError& e, const std::string& sql);

// A stored procedure's refused write, with what the user can do about it.
DatabaseError procedureWriteRefusal(const DatabaseError& e, const std::string& call);

// The name of the data source dialog's box that lets a stored procedure write.
inline constexpr const char* kProcedureMayWriteBox = "允许存储过程写入";

} // namespace rg
