#include "datasource/odbcsources.h"

#include <sql.h>
#include <sqlext.h>

namespace rg {

namespace {
// An environment handle for the listings; an unusable driver manager lists nothing.
class OdbcEnv {
public:
    OdbcEnv() {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
            env_ = SQL_NULL_HENV;
            return;
        }
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    }
    ~OdbcEnv() {
        if (env_ != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    SQLHENV get() const { return env_; }

private:
    SQLHENV env_ = SQL_NULL_HENV;
};
} // namespace

std::vector<std::string> listOdbcDrivers() {
    std::vector<std::string> drivers;
    OdbcEnv env;
    if (env.get() == SQL_NULL_HENV)
        return drivers;
    SQLCHAR name[512];
    SQLCHAR attrs[2048];
    SQLSMALLINT nameLen = 0, attrLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDrivers(env.get(), direction, name, sizeof name, &nameLen, attrs,
                                    sizeof attrs, &attrLen))) {
        drivers.emplace_back(reinterpret_cast<char*>(name));
        direction = SQL_FETCH_NEXT;
    }
    return drivers;
}

std::vector<OdbcDataSource> listOdbcDataSources() {
    std::vector<OdbcDataSource> sources;
    OdbcEnv env;
    if (env.get() == SQL_NULL_HENV)
        return sources;
    SQLCHAR name[SQL_MAX_DSN_LENGTH + 1];
    SQLCHAR desc[512];
    SQLSMALLINT nameLen = 0, descLen = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDataSources(env.get(), direction, name, sizeof name, &nameLen, desc,
                                        sizeof desc, &descLen))) {
        sources.push_back({reinterpret_cast<char*>(name), reinterpret_cast<char*>(desc)});
        direction = SQL_FETCH_NEXT;
    }
    return sources;
}

} // namespace rg
