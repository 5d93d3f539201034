#pragma once

// The built-in provider: SQLite through its C library, with the field kinds the SQLite
// ODBC driver gives the same declared column types.

#include "datasource/provider.h"
#include "datasource/sqliteguard.h"

#include <atomic>

struct sqlite3;

namespace rg {

// The field kind and character size of a declared SQLite column type.
FieldKind sqliteKindOf(const std::string& declaredType, int* size = nullptr);

class SqliteProvider : public Provider {
public:
    explicit SqliteProvider(const std::string& path);
    ~SqliteProvider() override;

    void listTables(std::vector<std::string>& list, bool includeSystem) override;
    void listProcedures(std::vector<std::string>& list) override;
    void listFields(const std::string& table, std::vector<std::string>& list) override;
    std::string quoteIdentifier(const std::string& name) override;
    using Provider::query;
    std::unique_ptr<ResultBuffer> query(const std::string& sql, const std::vector<Value>& params,
                                        const std::vector<FieldKind>& kinds,
                                        const ProgressFn& progress) override;
    std::string dbmsName() override { return "SQLite"; }
    std::unique_ptr<ResultBuffer> callProcedure(const std::string& name,
                                                std::vector<Parameter>& params,
                                                const ProgressFn& progress) override;
    std::vector<Parameter> procedureParameters(const std::string& name) override;
    std::vector<std::string> primaryKey(const std::string& schema,
                                        const std::string& table) override;
    void applyChange(const RowChange& change) override;
    void cancel() override;

private:
    [[noreturn]] void fail(sqlite3* db = nullptr);
    void exec(sqlite3* db, const char* sql);
    sqlite3* writer();

    std::string path_;
    SqliteWriteGate readGate_;              // never opens
    sqlite3* db_ = nullptr;                 // read-only: every report statement
    std::atomic<sqlite3*> writer_{nullptr}; // the user's own changes
};

} // namespace rg
