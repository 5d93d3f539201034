#include "datasource/sqliteguard.h"

#include "common/asciicase.h"

#include <sqlite3.h>
#include <string_view>

namespace rg {
namespace {

thread_local SqliteWriteGate* openingGate = nullptr;

bool listed(std::string_view names, std::string_view name) {
    for (size_t at = names.find(name); at != std::string_view::npos;
         at = names.find(name, at + 1)) {
        const size_t end = at + name.size();
        if ((at == 0 || names[at - 1] == ' ') && (end == names.size() || names[end] == ' '))
            return true;
    }
    return false;
}

// Pragmas that describe the schema, take any argument; pragmas that only shape this
// connection (the SQLite ODBC driver sets some of them on connecting) take any value.
constexpr std::string_view kPragmasWithArgument =
    "table_info table_xinfo table_list index_list index_info index_xinfo foreign_key_list "
    "foreign_key_check integrity_check quick_check full_column_names short_column_names "
    "empty_result_callbacks foreign_keys synchronous busy_timeout cache_size temp_store "
    "case_sensitive_like recursive_triggers reverse_unordered_selects automatic_index "
    "cache_spill defer_foreign_keys";
// Pragmas that change the file when given a value (journal_mode, user_version...) may only
// be read.
constexpr std::string_view kPragmasToRead =
    "database_list collation_list function_list module_list pragma_list compile_options "
    "data_version page_count freelist_count encoding user_version application_id "
    "schema_version page_size journal_mode auto_vacuum max_page_count locking_mode "
    "query_only mmap_size";

bool pragmaAllowed(const char* name, const char* value) {
    const std::string n = asciiLower(name ? name : "");
    if (listed(kPragmasWithArgument, n))
        return true;
    if (!value)
        return listed(kPragmasToRead, n);
    // Switching query_only on only narrows what the connection may do.
    const std::string v = asciiLower(value);
    return n == "query_only" && (v == "1" || v == "on" || v == "true" || v == "yes");
}

int authorize(void* data, int action, const char* first, const char* second, const char*,
              const char*) {
    if (static_cast<SqliteWriteGate*>(data)->open.load(std::memory_order_acquire))
        return SQLITE_OK;
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
        return SQLITE_OK;
    case SQLITE_PRAGMA:
        return pragmaAllowed(first, second) ? SQLITE_OK : SQLITE_DENY;
    default:
        // Writes, schema changes, ATTACH (which VACUUM and VACUUM INTO run as well).
        return SQLITE_DENY;
    }
}

} // namespace

SqliteOpeningScope::SqliteOpeningScope(SqliteWriteGate& gate) : outer_(openingGate) {
    openingGate = &gate;
}

SqliteOpeningScope::~SqliteOpeningScope() {
    openingGate = outer_;
}

void guardSqliteWrites(sqlite3* db) {
    if (openingGate)
        sqlite3_set_authorizer(db, authorize, openingGate);
}

} // namespace rg
