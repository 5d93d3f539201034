#include "datasource/odbcprovider.h"

#include "common/asciicase.h"

namespace rg {

using namespace odbc;

// PostgreSQL, MariaDB and MySQL refuse every change in a read-only session (temporary
// tables excepted on MariaDB and MySQL); other servers get the access mode hint alone.
void OdbcProvider::chooseReadOnlySession() {
    const std::string dbms = asciiLower(dbmsName());
    if (dbms.find("postgres") != std::string::npos) {
        readOnlySession_ = "SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY";
        readWriteSession_ = "SET SESSION CHARACTERISTICS AS TRANSACTION READ WRITE";
        sqlFamily_ = SqlFamily::PostgreSQL;
    } else if (dbms.find("mariadb") != std::string::npos ||
               dbms.find("mysql") != std::string::npos) {
        readOnlySession_ = "SET SESSION TRANSACTION READ ONLY";
        readWriteSession_ = "SET SESSION TRANSACTION READ WRITE";
        sqlFamily_ = SqlFamily::MySQL;
    } else if (dbms == "sqlite") {
        sqlFamily_ = SqlFamily::SQLite;
    }
    setSessionWritable(false);
}

void OdbcProvider::runSessionStatement(const std::string& sql) {
    CancellableStmt st(*this);
    if (wide_) {
        WString w = toW(sql);
        st.check(SQLExecDirectW(st.h, wptr(w), static_cast<SQLINTEGER>(w.size())));
    } else {
        st.check(SQLExecDirect(st.h, (SQLCHAR*)sql.c_str(), static_cast<SQLINTEGER>(sql.size())));
    }
}

void OdbcProvider::setSessionWritable(bool writable) {
    const std::string& sql = writable ? readWriteSession_ : readOnlySession_;
    if (!sql.empty())
        runSessionStatement(sql);
}

OdbcProvider::WritableScope::WritableScope(OdbcProvider& p) : p_(p) {
    p_.setSessionWritable(true);
    SQLSetConnectAttr(p_.dbc_, SQL_ATTR_ACCESS_MODE,
                      reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_WRITE), 0);
    p_.sqliteGate_.open.store(true, std::memory_order_release);
}

OdbcProvider::WritableScope::~WritableScope() {
    p_.sqliteGate_.open.store(false, std::memory_order_release);
    SQLSetConnectAttr(p_.dbc_, SQL_ATTR_ACCESS_MODE,
                      reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
    try {
        p_.setSessionWritable(false);
    } catch (const Error&) {
        // The next statement asks for the read-only session again and fails there.
    }
}

} // namespace rg
