#pragma once

// The driver behind a connection. Two kinds exist: the built-in SQLite provider and the
// unixODBC driver manager; the connection string chooses (see connstring.h).

#include "datasource/parameter.h"
#include "datasource/resultbuffer.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rg {

// Called with the rows fetched so far; false cancels.
using ProgressFn = std::function<bool(int64_t rows)>;

// The row an UPDATE or DELETE touches: `where` columns compared with `whereValues`
// (a null value compares with IS NULL).
struct RowChange {
    std::string schema, table;
    std::vector<std::string> setColumns;
    std::vector<Value> setValues;
    std::vector<std::string> whereColumns;
    std::vector<Value> whereValues;
    bool remove = false;
};

// Shared between the connection and the threads of its running statement (statementrun.h),
// which keep it alive past an abandoned wait.
class Provider : public std::enable_shared_from_this<Provider> {
public:
    virtual ~Provider() = default;

    virtual void listTables(std::vector<std::string>& list, bool includeSystem) = 0;
    virtual void listProcedures(std::vector<std::string>& list) = 0;
    virtual void listFields(const std::string& table, std::vector<std::string>& list) = 0;

    // The name quoted with the driver's identifier quote, inner quotes doubled.
    virtual std::string quoteIdentifier(const std::string& name) = 0;
    // The table a listed name (a bare name or "schema.name") stands for in SQL, each part
    // quoted, so that nothing a settings file holds is read as SQL.
    virtual std::string tableReference(const std::string& name) { return quoteIdentifier(name); }

    // Runs a query and fetches the whole result.
    std::unique_ptr<ResultBuffer> query(const std::string& sql, const ProgressFn& progress) {
        return query(sql, {}, {}, progress);
    }
    // The same with `?` placeholders taking `params` in order, bound as values of their types,
    // never pasted into the text. `kinds`, where given and not Unknown, are the kinds the
    // leading columns are read as: a driver that gives an expression column the kind of its
    // first value (SQLite) then reads every row as the data set's own field does.
    virtual std::unique_ptr<ResultBuffer> query(const std::string& sql,
                                                const std::vector<Value>& params,
                                                const std::vector<FieldKind>& kinds,
                                                const ProgressFn& progress) = 0;
    // The server's product name as the driver reports it ("PostgreSQL", "MariaDB",
    // "SQLite"...).
    virtual std::string dbmsName() = 0;
    // Runs a stored procedure with the parameters' values; output values are written back.
    virtual std::unique_ptr<ResultBuffer> callProcedure(const std::string& name,
                                                        std::vector<Parameter>& params,
                                                        const ProgressFn& progress) = 0;
    // The provider's description of a procedure's parameters, result columns left out.
    virtual std::vector<Parameter> procedureParameters(const std::string& name) = 0;

    // Stops the statement that runs on another thread, if any; callable from any thread
    // at any time.
    virtual void cancel() = 0;
    // Seconds a statement may run, 0 for no limit (the connection string's "Query Timeout").
    int queryTimeout = 0;
    // Whether a stored procedure may change the database; every other statement of a
    // report only reads.
    bool procedureMayWrite = false;

    // Set when a statement was abandoned in the driver: its worker may still be inside, so
    // the provider runs no other statement and its connection lets it go.
    std::atomic<bool> givenUp{false};

    // Columns of the table's primary key, empty when it has none.
    virtual std::vector<std::string> primaryKey(const std::string& schema,
                                                const std::string& table) = 0;
    // Runs the change in a transaction; commits only when exactly one row was touched,
    // rolls back and throws otherwise.
    virtual void applyChange(const RowChange& change) = 0;
};

// Opens the provider the connection string names; throws with the driver's text.
std::unique_ptr<Provider> openProvider(const std::string& connectionString);

// Builds the SQL of a change with '?' placeholders and the values in placeholder order.
std::string changeSql(Provider& p, const RowChange& c, std::vector<Value>& params);

// The refusal of a change that touched no row or more than one.
std::string rowCountMessage(int64_t touched);

} // namespace rg
