// Filter expressions as WHERE clauses for results that stay on the server, over a data set
// with a field of every kind and for every kind of server the statements know. A condition
// is refused with a message or written with every value bound: the text holds only column
// references, key words, operators and "?", one for each value. On the built-in SQLite
// provider the server then keeps exactly the rows the in-memory filter keeps.

#include "common/error.h"
#include "datasource/dataset.h"
#include "fuzzsupport.h"
#include "fuzztable.h"
#include "server/serverquery.h"
#include "server/serversql.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using namespace rg;
using rgfuzz::require;

namespace {

DataSet& dataSet() {
    static Connection conn;
    static DataSet ds(&conn);
    if (!ds.Active()) {
        conn.SetConnectionString(rgfuzz::ordersConnection());
        ds.SetCommandText("SELECT * FROM orders ORDER BY id");
        ds.SetRowPlacement(RowPlacement::Memory);
        ds.Open();
    }
    return ds;
}

std::vector<ServerDialect> dialects() {
    ServerDialect sqlite, postgres, mariadb, sqlServer, other;
    sqlite.sqlite = sqlite.exactTexts = true;
    postgres.postgres = postgres.exactTexts = true;
    postgres.grouping = GroupingSyntax::GroupingSets;
    mariadb.mariadb = mariadb.exactTexts = true;
    mariadb.grouping = GroupingSyntax::Rollup;
    sqlServer.sqlServer = sqlServer.fetchFirst = true;
    sqlServer.grouping = GroupingSyntax::GroupingSets;
    return {sqlite, postgres, mariadb, sqlServer, other};
}

// What is left of the text without its column references and the one quoted constant the
// writer puts there, the escape character of LIKE.
std::string withoutColumns(DataSet& ds, const ServerDialect& dialect, std::string sql) {
    std::vector<std::string> columns;
    for (int f = 0; f < ds.FieldCount(); ++f)
        columns.push_back(columnSql(ds, f, dialect));
    // Longest first, so that no column's reference is cut out of a longer one's.
    std::sort(columns.begin(), columns.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& piece : columns) {
        for (size_t at; (at = sql.find(piece)) != std::string::npos;)
            sql.replace(at, piece.size(), " ");
    }
    // Fixed words of the statements: the escape, MariaDB's UTF-8 form of a text.
    for (const std::string word : {" ESCAPE '!'", " COLLATE utf8mb4_bin", " USING utf8mb4"})
        for (size_t at; (at = sql.find(word)) != std::string::npos;)
            sql.replace(at, word.size(), " ");
    return sql;
}

void checkCondition(DataSet& ds, const std::string& expression, const ServerDialect& dialect) {
    SqlCondition c;
    try {
        c = filterCondition(ds, expression, dialect);
    } catch (const Error&) {
        return;
    }
    const std::string rest = withoutColumns(ds, dialect, c.sql);
    require(rest.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ ()?=<>!") == std::string::npos,
            "a condition holds no value of its own");
    require(static_cast<size_t>(std::count(rest.begin(), rest.end(), '?')) == c.params.size(),
            "one bound value for each ?");
}

std::vector<Value> ids(DataSet& ds) {
    std::vector<Value> out;
    for (int r = 0; r < ds.RecordCount(); ++r)
        out.push_back(ds.value(r, 0));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<ServerDialect> all = dialects();
    DataSet& ds = dataSet();
    const std::string expression(reinterpret_cast<const char*>(data), size);
    for (const ServerDialect& d : all)
        checkCondition(ds, expression, d);
    try {
        ds.SetFilter(expression);
    } catch (const Error&) {
        return 0;
    }
    const std::vector<Value> kept = ids(ds);
    std::vector<Value> onServer;
    try {
        onServer = ServerQuery(ds).distinct(0);
    } catch (const ServerRefusal&) {
        ds.SetFilter("");
        return 0;
    }
    ds.SetFilter("");
    require(onServer == kept, "the server keeps the rows the in-memory filter keeps");
    return 0;
}
