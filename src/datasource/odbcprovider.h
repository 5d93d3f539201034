#pragma once

// Every connection string that does not name the built-in provider goes to the unixODBC
// driver manager, so any installed ODBC driver works. The provider's code is split by what
// it does: connecting (odbcprovider.cpp), catalog listings and names (odbccatalog.cpp),
// procedure calls and changes with their parameters (odbcparams.cpp) and result fetching
// (odbcfetch.cpp).

#include "datasource/odbchandle.h"
#include "datasource/provider.h"
#include "datasource/readonlysql.h"
#include "datasource/sqliteguard.h"

#include <functional>
#include <mutex>

namespace rg {

std::unique_ptr<Provider> openOdbcProvider(const std::string& connectionString);

// The field kind of an ODBC SQL type; long character data is a memo only when its size is
// above 65,536 characters or unbounded (0), so ordinary text columns can be grouped.
FieldKind odbcKind(int sqlType, int64_t size);

// What the user is told when a procedure returned results beyond the first, which the
// report leaves out.
std::string skippedResultsNotice(int skipped);

// A parameter's value from the text a driver returned for it.
Value valueFromText(FieldKind k, const std::string& s);

// Dates and times travel as the server's text: the driver's structures have no era, no
// infinity, no time beyond a day, and a time no fraction. "-4713-11-24 00:00:00.123456789 BC" fits.
constexpr SQLLEN kDateTextBytes = 64;

class OdbcProvider final : public Provider {
public:
    explicit OdbcProvider(const std::string& cs);
    ~OdbcProvider() override;

    void listTables(std::vector<std::string>& list, bool includeSystem) override;
    void listProcedures(std::vector<std::string>& list) override;
    void listFields(const std::string& table, std::vector<std::string>& list) override;
    std::string quoteIdentifier(const std::string& name) override;
    using Provider::query;
    std::unique_ptr<ResultBuffer> query(const std::string& sql, const std::vector<Value>& params,
                                        const std::vector<FieldKind>& kinds,
                                        const ProgressFn& progress) override;
    std::string dbmsName() override;
    std::string tableReference(const std::string& name) override;
    std::unique_ptr<ResultBuffer> callProcedure(const std::string& name,
                                                std::vector<Parameter>& params,
                                                const ProgressFn& progress) override;
    std::vector<Parameter> procedureParameters(const std::string& name) override;
    std::vector<std::string> primaryKey(const std::string& schema,
                                        const std::string& table) override;
    void applyChange(const RowChange& change) override;
    void cancel() override;

private:
    // A statement that a cancel from another thread reaches for as long as it lives. It is
    // unregistered before the handle is freed; nested statements (a catalog call while a
    // name is resolved) give the registration back to the one around them.
    class CancellableStmt : public odbc::Stmt {
    public:
        explicit CancellableStmt(OdbcProvider& p) : Stmt(p.dbc_, p.wide_), p_(p) {
            std::lock_guard lock(p_.runningMutex_);
            outer_ = p_.running_;
            p_.running_ = h;
        }
        ~CancellableStmt() {
            std::lock_guard lock(p_.runningMutex_);
            p_.running_ = outer_;
        }
        CancellableStmt(const CancellableStmt&) = delete;
        CancellableStmt& operator=(const CancellableStmt&) = delete;

    private:
        OdbcProvider& p_;
        SQLHSTMT outer_ = SQL_NULL_HSTMT;
    };

    // An object as a listing names it: "name", "owner.name", either followed by the
    // argument types of one overload.
    struct ObjectName {
        std::string owner, name, args;
        bool hasArgs = false;
    };

    // One overload of a procedure: its parameters and their driver type names.
    struct Overload {
        std::vector<Parameter> params;
        std::string signature;
    };

    struct Binding;
    using Exec = std::function<void(odbc::Stmt&)>;

    // Connecting
    void connect(const std::string& cs);

    // Read-only reports: the server's read-only session, asked for again before every
    // statement (a statement may have switched it off), and the scope of the user's own
    // writes.
    void chooseReadOnlySession();
    void setSessionWritable(bool writable);
    void runSessionStatement(const std::string& sql);
    // The user's own change, or a procedure the setup allows to write: the session and the
    // SQLite ODBC driver's database take writes until the scope ends.
    class WritableScope {
    public:
        explicit WritableScope(OdbcProvider& p);
        ~WritableScope();
        WritableScope(const WritableScope&) = delete;
        WritableScope& operator=(const WritableScope&) = delete;

    private:
        OdbcProvider& p_;
    };
    std::string driverName();
    std::string currentCatalog();
    std::string currentSchema();

    // Catalog listings and names
    std::string ownerOf(odbc::Stmt& st);
    std::string listedName(const std::string& owner, const std::string& name) const;
    std::string reference(const ObjectName& o);
    template <typename Fn>
    void catalogCall(odbc::Stmt& st, const std::string& owner, const std::string& name, Fn fn);
    bool exists(const std::string& owner, const std::string& name, bool procedure);
    ObjectName resolve(const std::string& text, bool procedure);
    std::vector<Overload> overloads(const std::string& owner, const std::string& name);
    bool fetch(odbc::Stmt& st);
    std::string escapePattern(const std::string& s) const;

    // Procedure calls and parameters
    std::unique_ptr<ResultBuffer> call(const std::string& sql, std::vector<Parameter>& params,
                                       const ProgressFn& progress);
    static bool onlyOutputs(const ResultBuffer& buf, const std::vector<Parameter>& params);
    bool isOutputsResult(odbc::Stmt& st, SQLSMALLINT cols, const std::vector<Parameter>& params);
    int skipFurtherResults(odbc::Stmt& st, const std::vector<Parameter>& params);
    void prepare(odbc::Stmt& st, const std::string& sql);
    // Prepares `sql`, binds `params` to its placeholders and executes it.
    void executeWith(odbc::Stmt& st, const std::string& sql, const std::vector<Value>& params);

    // Result fetching
    std::unique_ptr<ResultBuffer> run(odbc::Stmt& st, const Exec& exec, const ProgressFn& progress,
                                      bool needResult, bool mayRepeat);
    std::unique_ptr<ResultBuffer> fetchAll(odbc::Stmt& st, const Exec& exec,
                                           const ProgressFn& progress, bool needResult,
                                           std::vector<bool>& unbound, bool& truncated);
    size_t describeColumns(odbc::Stmt& st, ResultBuffer& buf, std::vector<Binding>& bind,
                           const std::vector<bool>& unbound);
    bool appendBound(odbc::Stmt& st, SQLUSMALLINT column, const Binding& b, SQLULEN fetched,
                     bool block, bool warned, ColumnData& col, std::string& text);
    bool readWhole(odbc::Stmt& st, SQLUSMALLINT column, const Binding& b, SQLULEN row, bool block,
                   ColumnData& col);
    void readPiecewise(odbc::Stmt& st, SQLUSMALLINT col, const Binding& b, ColumnData& out);
    int bitDigits(odbc::Stmt& st, size_t c, SQLSMALLINT type, SQLULEN size);
    std::string attribute(odbc::Stmt& st, size_t c, SQLUSMALLINT field);

    SqliteWriteGate sqliteGate_; // the SQLite ODBC driver's database
    std::string readOnlySession_, readWriteSession_;
    SqlFamily sqlFamily_ = SqlFamily::Any; // whose rules the report statements are read by
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    std::mutex runningMutex_;
    SQLHSTMT running_ = SQL_NULL_HSTMT;
    std::string quote_ = "\"";
    std::string escape_;
    std::string defaultOwner_;     // the schema (or catalog) whose objects go by their bare names
    bool catalogOwners_ = false;   // databases are catalogs and qualify names (MariaDB, MySQL)
    bool outputsAsResult_ = false; // MariaDB, MySQL
    bool postgres_ = false;        // psqlODBC: dates read as the server's texts
    bool getDataAnyColumn_ = false;
    bool getDataBound_ = false; // SQLGetData reads bound columns too
    bool getDataBlock_ = false; // ... and rows of a block, once positioned with SQLSetPos
    bool wide_ = true;
};

} // namespace rg
