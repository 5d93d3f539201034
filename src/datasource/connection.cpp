#include "datasource/dataset.h"

#include "common/databaseerror.h"
#include "common/error.h"
#include "common/progress.h"
#include "datasource/provider.h"
#include "datasource/statementrun.h"

namespace rg {

namespace {
const char* kClosedObject = "Operation is not allowed when the object is closed.";
} // namespace

Connection::Connection() = default;

Connection::~Connection() {
    // Data sets outliving their connection keep no pointer to it.
    for (DataSet* d : dataSets_) {
        d->Close();
        d->connection_ = nullptr;
    }
}

void Connection::SetConnectionString(const std::string& s) {
    if (s == connectionString_)
        return;
    Close();
    connectionString_ = s;
}

bool Connection::Connected() const {
    return provider_ && !provider_->givenUp;
}

void Connection::letGo() {
    for (DataSet* d : dataSets_)
        d->Close();
    provider_.reset();
}

void Connection::SetConnected(bool on) {
    if (on == Connected() && (on || !provider_))
        return;
    // A provider given up after an abandoned statement goes before a new one connects.
    letGo();
    if (!on)
        return;
    // What refused the connection (the connection string, a data link file, the driver) is
    // the database's answer, whatever layer gave it.
    try {
        provider_ = connectOffThread(connectionString_);
    } catch (const DatabaseError&) {
        throw;
    } catch (const Cancelled&) {
        throw;
    } catch (const Error& e) {
        throw DatabaseError(e.what());
    }
}

// Catalog calls wait on the server like any statement.
void Connection::ListTableNames(std::vector<std::string>& list, bool includeSystem) {
    Open();
    list = runStatement(*provider_, [list, includeSystem](Provider& q) mutable {
        q.listTables(list, includeSystem);
        return list;
    });
}

void Connection::ListProcedureNames(std::vector<std::string>& list) {
    Open();
    list = runStatement(*provider_, [list](Provider& q) mutable {
        q.listProcedures(list);
        return list;
    });
}

void Connection::ListFieldNames(const std::string& table, std::vector<std::string>& list) {
    Open();
    list = runStatement(*provider_, [table, list](Provider& q) mutable {
        q.listFields(table, list);
        return list;
    });
}

Provider& Connection::provider() {
    if (!provider_)
        throw Error(kClosedObject);
    return *provider_;
}

} // namespace rg
