#include "datasource/provider.h"

#include "common/error.h"
#include "datasource/connguard.h"
#include "datasource/connstring.h"
#include "datasource/odbcprovider.h"
#include "datasource/oledb.h"
#include "datasource/sqliteprovider.h"

#include <cctype>

namespace rg {

namespace {

bool startsWithNoCase(const std::string& s, const char* prefix) {
    for (size_t i = 0; prefix[i]; ++i)
        if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) !=
                                 std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

std::string lowerTrim(std::string s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.pop_back();
    size_t b = 0;
    while (b < s.size() && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    s.erase(0, b);
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

std::unique_ptr<Provider> openProvider(const std::string& connectionString) {
    guardSqliteExtensions();
    std::string cs = connectionString;
    for (int depth = 0; startsWithNoCase(cs, "FILE NAME="); ++depth) {
        if (depth > 4)
            throw Error("Data link files refer to each other");
        cs = readDataLinkFile(connValue(parseConnectionString(cs), "FILE NAME"));
    }
    const int timeout = queryTimeoutOf(parseConnectionString(cs));
    cs = odbcFromOleDb(withoutConnKey(cs, kQueryTimeoutKey));
    const ConnParts parts = parseConnectionString(cs);
    std::unique_ptr<Provider> p;
    if (lowerTrim(connValue(parts, "Provider")) == "sqlite") {
        std::string path = connValue(parts, "Data Source");
        if (path.empty())
            throw Error("No database file given (Data Source=)");
        if (path[0] != '/')
            path = executableDir() + "/" + path;
        p = std::make_unique<SqliteProvider>(path);
    } else {
        cs = guardedOdbcConnectionString(cs);
        checkAccessFile(cs);
        p = openOdbcProvider(cs);
    }
    p->queryTimeout = timeout;
    return p;
}

std::string changeSql(Provider& p, const RowChange& c, std::vector<Value>& params) {
    params.clear();
    std::string table = c.schema.empty()
                            ? p.quoteIdentifier(c.table)
                            : p.quoteIdentifier(c.schema) + "." + p.quoteIdentifier(c.table);
    std::string sql = c.remove ? "DELETE FROM " + table : "UPDATE " + table + " SET ";
    if (!c.remove) {
        for (size_t i = 0; i < c.setColumns.size(); ++i) {
            if (i)
                sql += ", ";
            sql += p.quoteIdentifier(c.setColumns[i]) + " = ?";
            params.push_back(c.setValues[i]);
        }
    }
    for (size_t i = 0; i < c.whereColumns.size(); ++i) {
        sql += i ? " AND " : " WHERE ";
        if (c.whereValues[i].isNull()) {
            sql += p.quoteIdentifier(c.whereColumns[i]) + " IS NULL";
        } else {
            sql += p.quoteIdentifier(c.whereColumns[i]) + " = ?";
            params.push_back(c.whereValues[i]);
        }
    }
    return sql;
}

std::string rowCountMessage(int64_t touched) {
    if (touched == 0)
        return "Row cannot be located for updating. Some values may have been changed since it was "
               "last read.";
    return format("The change would have touched %lld rows instead of one; it was rolled back",
                  static_cast<long long>(touched));
}

} // namespace rg
