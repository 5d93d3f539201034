#include "datasource/dataset.h"

#include "common/error.h"
#include "common/progress.h"
#include "datasource/provider.h"
#include "datasource/statementrun.h"
#include "server/serverquery.h"
#include "server/serversql.h"

// The data set's side of results that stay on the database server.

namespace rg {

namespace {

const char* kOpenObject = "Operation is not allowed when the object is open.";
const char* kServerRows = "在服务器上汇总时不能修改数据";

} // namespace

void DataSet::SetRowPlacement(RowPlacement p) {
    if (active_)
        throw Error(kOpenObject);
    placement_ = p;
}

void DataSet::SetServerThreshold(int64_t rows) {
    if (active_)
        throw Error(kOpenObject);
    threshold_ = rows;
}

// Opens with the rows left on the server when the placement asks for it: the result is only
// described, its fields made from the description. A command that cannot be selected from
// (a stored procedure, a text that is no query) opens in memory, as does a result within the
// threshold under Auto.
bool DataSet::openOnServer(Provider& p) {
    if (placement_ == RowPlacement::Memory || commandType_ == CommandType::cmdStoredProc)
        return false;
    const std::string source = derivedTable(p, commandType_, commandText_);
    if (placement_ == RowPlacement::Auto) {
        std::unique_ptr<ResultBuffer> count;
        try {
            count = runStatement(p, [source](Provider& q, const ProgressFn& progress) {
                return q.query("SELECT COUNT(*) FROM " + source, progress);
            });
        } catch (const Cancelled&) {
            throw;
        } catch (const Error&) {
            if (p.givenUp)
                throw;    // the statement was abandoned: the connection is gone
            return false; // the open says what is wrong with the command
        }
        if (count->rows != 1 || count->columns.empty() ||
            count->columns[0].valueAt(0).asDouble() <= static_cast<double>(threshold_))
            return false;
    }
    // SQLite gives an expression column the kind of its first value, as the open in memory
    // does: one row is fetched for that and dropped. Elsewhere no row is asked for.
    const ServerDialect dialect = dialectOf(p);
    const char* none = dialect.sqlite ? " LIMIT 1" : dialect.fetchFirst ? " WHERE 1=0" : " LIMIT 0";
    std::unique_ptr<ResultBuffer> described;
    try {
        described = runStatement(p, [source, none](Provider& q, const ProgressFn& progress) {
            return q.query("SELECT * FROM " + source + none, progress);
        });
    } catch (const Cancelled&) {
        throw;
    } catch (const Error&) {
        if (placement_ == RowPlacement::Auto || p.givenUp)
            throw;
        return false;
    }
    auto buf = std::make_unique<ResultBuffer>();
    buf->info = described->info;
    for (const ColumnInfo& ci : buf->info)
        buf->columns.emplace_back(ci.kind);
    makeFields(*buf);
    try {
        refuseCalculatedOnServer();
        if (!filter_.empty())
            filterCondition(*this, filter_, dialect);
    } catch (...) {
        fields_.clear();
        throw;
    }
    keyFields_.clear();
    if (commandType_ == CommandType::cmdTable || commandType_ == CommandType::cmdTableDirect) {
        std::string schema, table = commandText_;
        for (const ColumnInfo& ci : buf->info)
            if (!ci.baseTable.empty()) {
                schema = ci.baseSchema;
                table = ci.baseTable;
                break;
            }
        for (const std::string& column : keyColumnsOf(schema, table))
            if (const Field* f = FindField(column))
                keyFields_.push_back(f->Index());
    }
    resetRows(std::move(buf));
    active_ = true;
    serverSide_ = true;
    state_ = State::Browse;
    try {
        notify(DataEvent::Opened);
    } catch (const Cancelled&) {
        SetActive(false);
        throw;
    }
    return true;
}

void DataSet::checkEditable() const {
    if (ServerSide())
        throw Error(kServerRows);
}

void DataSet::setServerFilter(const std::string& expression) {
    // The server statements apply it; one they cannot state exactly is refused here.
    filterCondition(*this, expression, dialectOf(connection_->provider()));
    std::string old = std::move(filter_);
    filter_ = expression;
    try {
        notify(DataEvent::ContentsChanged);
    } catch (const Cancelled&) {
        filter_ = std::move(old);
        throw;
    }
}

} // namespace rg
