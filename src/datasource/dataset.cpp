#include "datasource/dataset.h"

#include "common/asciicase.h"
#include "common/databaseerror.h"
#include "common/displaytext.h"
#include "common/error.h"
#include "common/parallel.h"
#include "common/progress.h"
#include "datasource/datasetimpl.h"
#include "datasource/filter.h"
#include "datasource/provider.h"
#include "datasource/statementrun.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace rg {

namespace {

const char* kOpenObject = "Operation is not allowed when the object is open.";
const char* kClosedObject = "Operation is not allowed when the object is closed.";

} // namespace

std::string openFailureSentence(CommandType kind, const std::string& commandText) {
    switch (kind) {
    case CommandType::cmdTable:
    case CommandType::cmdTableDirect:
        return "打开表“" + commandText + "”失败";
    case CommandType::cmdStoredProc:
        return "执行存储过程“" + commandText + "”失败";
    default:
        return "执行 SQL 失败";
    }
}

// ---------------------------------------------------------------- Field

void Field::SetDisplayLabel(const std::string& label) {
    const std::string stored = label == name_ ? std::string() : label;
    if (stored == label_)
        return;
    label_ = stored;
    if (owner_)
        owner_->notify(DataEvent::LayoutChanged);
}

Value Field::AsValue() const {
    return owner_->currentValue(index_);
}

std::string Field::DisplayText() const {
    return AsValue().displayText();
}

bool Field::IsNull() const {
    return AsValue().isNull();
}

// ---------------------------------------------------------------- DataSet

DataSet::DataSet(Connection* connection)
    : connection_(connection), impl_(std::make_unique<Impl>()) {
    if (connection_)
        connection_->dataSets_.push_back(this);
}

DataSet::~DataSet() {
    if (connection_)
        std::erase(connection_->dataSets_, this);
}

void DataSet::SetCommandType(CommandType t) {
    if (active_)
        throw Error(kOpenObject);
    commandType_ = t;
}

void DataSet::SetCommandText(const std::string& text) {
    if (active_)
        throw Error(kOpenObject);
    commandText_ = text;
}

std::string DataSet::OpenNotice() const {
    return active_ && impl_->buf ? impl_->buf->notice : std::string();
}

void DataSet::SetActive(bool on) {
    if (on == active_)
        return;
    if (!on) {
        active_ = false;
        serverSide_ = false;
        keyFields_.clear();
        state_ = State::Inactive;
        fields_.clear();
        *impl_ = Impl();
        notify(DataEvent::Closed);
        return;
    }
    if (!connection_)
        throw Error("Connection object is not set");
    if (commandText_.empty())
        throw DatabaseError("Command text was not set for the command object.");
    connection_->Open();
    Provider& p = connection_->provider();
    parameterCaption_.clear();
    // Bound before anything runs, so that a value that does not fit stops the open first.
    std::vector<Value> values;
    const std::string text = boundText(p, values);
    // The server statements take no parameters of their own: such a text keeps its rows here.
    if (values.empty() && openOnServer(p))
        return;
    // A procedure writes its output values back into the parameters.
    struct Opened {
        std::unique_ptr<ResultBuffer> buf;
        std::vector<Parameter> parameters;
    };
    p.procedureMayWrite = procedureMayWrite_;
    Opened opened = runStatement(p, [type = commandType_, text, values, parameters = parameters_](
                                        Provider& q, const ProgressFn& progress) mutable {
        std::unique_ptr<ResultBuffer> buf;
        if (type == CommandType::cmdStoredProc)
            buf = q.callProcedure(text, parameters, progress);
        else if (type == CommandType::cmdTable || type == CommandType::cmdTableDirect)
            buf = q.query("SELECT * FROM " + q.tableReference(text), progress);
        else
            buf = q.query(text, values, {}, progress);
        return Opened{std::move(buf), std::move(parameters)};
    });
    std::unique_ptr<ResultBuffer> buf = std::move(opened.buf);
    parameters_ = std::move(opened.parameters);
    const size_t fetched = buf->info.size();
    appendCalculated(*buf);
    makeFields(*buf);
    impl_->buf = std::move(buf);
    impl_->fetched = fetched;
    impl_->identity = true;
    impl_->view.clear();
    impl_->deleted.clear();
    impl_->edited.clear();
    active_ = true;
    state_ = State::Browse;
    try {
        rebuildView(true);
    } catch (...) {
        // A filter set while closed that does not fit the new fields: the open fails whole.
        active_ = false;
        state_ = State::Inactive;
        fields_.clear();
        impl_->buf.reset();
        throw;
    }
    impl_->cur = impl_->count() > 0 ? 0 : -1;
    impl_->bof = true;
    impl_->eof = impl_->count() == 0;
    try {
        notify(DataEvent::Opened);
    } catch (const Cancelled&) {
        // Cancelled while the grid took the rows in: the open as a whole is cancelled.
        SetActive(false);
        throw;
    }
}

void DataSet::makeFields(const ResultBuffer& buf) {
    fields_.clear();
    for (size_t i = 0; i < buf.info.size(); ++i) {
        auto f = std::make_unique<Field>();
        f->owner_ = this;
        f->index_ = static_cast<int>(i);
        // Every field has a name of its own: a join's second "id" becomes "id_1", so that
        // columns, captions, filters and summaries reach it and not the first one.
        f->name_ = f->column_ = buf.info[i].name;
        for (int n = 1; FindField(f->name_); ++n)
            f->name_ = buf.info[i].name + "_" + std::to_string(n);
        f->kind_ = buf.info[i].kind;
        f->size_ = buf.info[i].size;
        fields_.push_back(std::move(f));
    }
}

void DataSet::resetRows(std::unique_ptr<ResultBuffer> buf) {
    *impl_ = Impl();
    impl_->buf = std::move(buf);
}

void DataSet::rebuildView(bool cancellable) {
    Impl& m = *impl_;
    std::unique_ptr<FilterExpr> filter;
    if (!filter_.empty() && active_)
        filter = parseFilter(filter_, *this);
    if (!filter && m.deleted.empty()) {
        m.filter.reset();
        m.identity = true;
        m.view.clear();
        m.view.shrink_to_fit();
        return;
    }
    // Built aside: a cancelled rebuild leaves the records shown before. Each part keeps
    // its own rows; they join in part order.
    const int64_t n = m.buf ? m.buf->rows : 0;
    const int parts = partsFor(n, kRecordsPerThread);
    std::vector<std::vector<int64_t>> kept(static_cast<size_t>(parts));
    runParts(parts, [&](int p) {
        std::vector<int64_t>& mine = kept[static_cast<size_t>(p)];
        const int64_t end = partBegin(n, parts, p + 1);
        for (int64_t r = partBegin(n, parts, p); r < end; ++r) {
            if (p == 0 && cancellable && (r & 0xFFFF) == 0)
                reportProgress("正在筛选", r * parts, n);
            if (!m.deleted.empty() && m.deleted[static_cast<size_t>(r)])
                continue;
            if (filter && !filter->matches(*this, r))
                continue;
            mine.push_back(r);
        }
    });
    std::vector<int64_t> view = std::move(kept[0]);
    for (size_t p = 1; p < kept.size(); ++p)
        view.insert(view.end(), kept[p].begin(), kept[p].end());
    view.shrink_to_fit();
    m.filter = std::move(filter);
    m.identity = false;
    m.view = std::move(view);
}

Value DataSet::physicalValue(int64_t row, int field) const {
    return impl_->cell(row, field);
}

void DataSet::RefreshParameters() {
    parameters_.clear();
    if (commandType_ != CommandType::cmdStoredProc || commandText_.empty() || !connection_)
        return;
    connection_->Open();
    Provider& p = connection_->provider();
    parameters_ =
        runStatement(p, [text = commandText_](Provider& q) { return q.procedureParameters(text); });
}

Parameter& DataSet::Parameters(int i) {
    if (i < 0 || i >= ParameterCount())
        throw Error(format("List index out of bounds (%d)", i));
    return parameters_[static_cast<size_t>(i)];
}

Parameter& DataSet::ParameterByName(const std::string& name) {
    for (auto& p : parameters_)
        if (equalsIgnoringCase(p.Name, name))
            return p;
    throw Error(format("Parameter '%s' not found", name.c_str()));
}

Field& DataSet::Fields(int i) {
    if (i < 0 || i >= FieldCount())
        throw Error(format("List index out of bounds (%d)", i));
    return *fields_[static_cast<size_t>(i)];
}

const Field& DataSet::Fields(int i) const {
    if (i < 0 || i >= FieldCount())
        throw Error(format("List index out of bounds (%d)", i));
    return *fields_[static_cast<size_t>(i)];
}

Field* DataSet::FindField(const std::string& name) {
    for (auto& f : fields_)
        if (equalsIgnoringCase(f->name_, name))
            return f.get();
    return nullptr;
}

Field& DataSet::FieldByName(const std::string& name) {
    if (Field* f = FindField(name))
        return *f;
    throw Error(format("Field '%s' not found", name.c_str()));
}

int DataSet::RecordCount() const {
    return active_ ? impl_->count() : 0;
}

Value DataSet::value(int record, int field) const {
    if (!active_ || record < 0 || record >= impl_->count() || field < 0 || field >= FieldCount())
        return Value::null();
    return impl_->cell(impl_->phys(record), field);
}

std::string DataSet::displayText(int record, int field) const {
    if (!active_ || record < 0 || record >= impl_->count() || field < 0 || field >= FieldCount())
        return {};
    const int64_t row = impl_->phys(record);
    if (!impl_->edited.empty() && impl_->edited.count({row, field}))
        return impl_->cell(row, field).displayText();
    return impl_->buf->columns[static_cast<size_t>(field)].displayTextAt(row);
}

int64_t DataSet::changeCount() const {
    return impl_->changes;
}

DataSet::ColumnView DataSet::columnView(int field) const {
    ColumnView v;
    if (!active_ || field < 0 || field >= FieldCount())
        return v;
    for (const auto& [cell, value] : impl_->edited)
        if (cell.second == field)
            return v;
    v.column = &impl_->buf->columns[static_cast<size_t>(field)];
    v.rows = impl_->identity ? nullptr : impl_->view.data();
    return v;
}

bool DataSet::isNull(int record, int field) const {
    if (!active_ || record < 0 || record >= impl_->count() || field < 0 || field >= FieldCount())
        return true;
    const int64_t row = impl_->phys(record);
    if (!impl_->edited.empty() && impl_->edited.count({row, field}))
        return impl_->cell(row, field).isNull();
    return impl_->buf->columns[static_cast<size_t>(field)].isNull(row);
}

Value DataSet::currentValue(int field) const {
    if (state_ == State::Insert || state_ == State::Edit)
        return impl_->pending[static_cast<size_t>(field)];
    return value(impl_->cur, field);
}

void DataSet::moved(int oldRec) {
    if (impl_->cur == oldRec)
        return;
    if (ControlsDisabled())
        impl_->movedWhileDisabled = true;
    else
        notify(DataEvent::RecordChanged);
}

void DataSet::checkBrowse() {
    if (!active_)
        throw Error(kClosedObject);
    if (state_ == State::Insert || state_ == State::Edit)
        Cancel();
}

void DataSet::First() {
    checkBrowse();
    const int old = impl_->cur;
    impl_->cur = impl_->count() > 0 ? 0 : -1;
    impl_->bof = true;
    impl_->eof = impl_->count() == 0;
    moved(old);
}

void DataSet::Last() {
    checkBrowse();
    const int old = impl_->cur;
    impl_->cur = impl_->count() - 1;
    impl_->eof = true;
    impl_->bof = impl_->count() == 0;
    moved(old);
}

void DataSet::Next() {
    MoveBy(1);
}

int DataSet::MoveBy(int distance) {
    checkBrowse();
    Impl& m = *impl_;
    const int old = m.cur;
    const int n = m.count();
    if (n == 0) {
        m.eof = m.bof = true;
        return 0;
    }
    int target = m.cur + distance;
    if (distance > 0) {
        m.bof = false;
        if (target >= n) {
            target = n - 1;
            m.eof = true;
        } else {
            m.eof = false;
        }
    } else if (distance < 0) {
        m.eof = false;
        if (target < 0) {
            target = 0;
            m.bof = true;
        } else {
            m.bof = false;
        }
    }
    m.cur = target;
    moved(old);
    return target - old;
}

bool DataSet::Eof() const {
    return !active_ || impl_->eof;
}
bool DataSet::Bof() const {
    return !active_ || impl_->bof;
}
int DataSet::RecNo() const {
    return active_ ? impl_->cur : -1;
}

void DataSet::SetRecNo(int record) {
    checkBrowse();
    if (record < 0 || record >= impl_->count())
        throw Error(format("Record %d does not exist", record));
    const int old = impl_->cur;
    impl_->cur = record;
    impl_->bof = impl_->eof = false;
    moved(old);
}

Bookmark DataSet::GetBookmark() const {
    if (!active_ || impl_->cur < 0)
        return kNoBookmark;
    return impl_->phys(impl_->cur);
}

int DataSet::recordOfBookmark(Bookmark b) const {
    if (!active_ || b < 0 || !impl_->buf || b >= impl_->buf->rows)
        return -1;
    if (impl_->identity)
        return static_cast<int>(b);
    const auto it = std::lower_bound(impl_->view.begin(), impl_->view.end(), b);
    if (it == impl_->view.end() || *it != b)
        return -1;
    return static_cast<int>(it - impl_->view.begin());
}

bool DataSet::BookmarkValid(Bookmark b) const {
    return recordOfBookmark(b) >= 0;
}

void DataSet::GotoBookmark(Bookmark b) {
    const int rec = recordOfBookmark(b);
    if (rec < 0)
        throw Error("Record not found");
    SetRecNo(rec);
}

bool DataSet::Locate(const std::string& fieldName, const Value& v) {
    checkBrowse();
    const Field& f = FieldByName(fieldName);
    const int n = impl_->count();
    const bool textual = v.type() == Value::Type::Text;
    for (int r = 0; r < n; ++r) {
        const Value cell = impl_->cell(impl_->phys(r), f.index_);
        if (cell.isNull() != v.isNull())
            continue;
        if (v.isNull() || cell == v || (textual && cell.displayText() == v.asText())) {
            SetRecNo(r);
            return true;
        }
    }
    return false;
}

void DataSet::SetFilter(const std::string& expression) {
    if (expression == filter_)
        return;
    // Parse first, so that a faulty expression leaves the old filter in place.
    if (active_ && !expression.empty())
        parseFilter(expression, *this);
    if (!active_) {
        filter_ = expression;
        return;
    }
    if (serverSide_) {
        setServerFilter(expression);
        return;
    }
    // A change cancelled while the records are chosen or while the observers reload brings
    // back the old filter, records and cursor as they were: observers still hold the old
    // records, so nothing needs a second reload.
    Impl& m = *impl_;
    std::string oldFilter = std::move(filter_);
    std::unique_ptr<FilterExpr> oldExpr = std::move(m.filter);
    std::vector<int64_t> oldView = std::move(m.view);
    const bool oldIdentity = m.identity;
    const int oldCur = m.cur;
    const bool oldBof = m.bof, oldEof = m.eof;
    auto restore = [&] {
        filter_ = std::move(oldFilter);
        m.filter = std::move(oldExpr);
        m.view = std::move(oldView);
        m.identity = oldIdentity;
        m.cur = oldCur;
        m.bof = oldBof;
        m.eof = oldEof;
    };
    filter_ = expression;
    const Bookmark keep =
        oldCur >= 0 ? (oldIdentity ? oldCur : oldView[static_cast<size_t>(oldCur)]) : kNoBookmark;
    try {
        rebuildView(true);
    } catch (const Cancelled&) {
        restore();
        throw;
    }
    const int rec = recordOfBookmark(keep);
    m.cur = rec >= 0 ? rec : (m.count() > 0 ? 0 : -1);
    m.bof = rec < 0;
    m.eof = m.count() == 0;
    try {
        notify(DataEvent::ContentsChanged);
    } catch (const Cancelled&) {
        restore();
        throw;
    }
}

void DataSet::DisableControls() {
    ++disableCount_;
}

void DataSet::EnableControls() {
    if (disableCount_ == 0)
        return;
    if (--disableCount_ == 0 && impl_->movedWhileDisabled) {
        impl_->movedWhileDisabled = false;
        notify(DataEvent::RecordChanged);
    }
}

void DataSet::Insert() {
    checkBrowse();
    checkEditable();
    impl_->pending.assign(fields_.size(), Value::null());
    impl_->insertAt = impl_->cur;
    state_ = State::Insert;
}

void DataSet::Edit() {
    if (!active_)
        throw Error(kClosedObject);
    checkEditable();
    if (state_ != State::Browse)
        return;
    if (impl_->cur < 0)
        throw Error("Cannot perform this operation on an empty dataset");
    impl_->pending.clear();
    for (int i = 0; i < FieldCount(); ++i)
        impl_->pending.push_back(value(impl_->cur, i));
    state_ = State::Edit;
}

void DataSet::SetFieldValue(int field, const Value& v) {
    if (state_ != State::Edit && state_ != State::Insert)
        throw Error("Dataset not in edit or insert mode");
    if (field < 0 || field >= FieldCount())
        throw Error(format("List index out of bounds (%d)", field));
    impl_->pending[static_cast<size_t>(field)] = v;
}

void DataSet::Cancel() {
    if (state_ == State::Edit || state_ == State::Insert) {
        state_ = State::Browse;
        impl_->pending.clear();
    }
}

std::vector<std::string> DataSet::keyColumnsOf(const std::string& schema,
                                               const std::string& table) {
    Provider& p = connection_->provider();
    return runStatement(p, [schema, table](Provider& q) { return q.primaryKey(schema, table); });
}

// Whether a result column is a column of the base table: when the driver names the tables
// of the columns, expressions and joined tables' columns are not.
static bool belongsTo(const ResultBuffer& b, size_t i, const std::string& table) {
    const bool described = std::any_of(b.info.begin(), b.info.end(),
                                       [](const ColumnInfo& ci) { return !ci.baseTable.empty(); });
    return described ? b.info[i].baseTable == table : true;
}

RowChange DataSet::changeFor(int64_t row) {
    const ResultBuffer& b = *impl_->buf;
    RowChange c;
    for (const auto& ci : b.info) {
        if (!ci.baseTable.empty()) {
            c.schema = ci.baseSchema;
            c.table = ci.baseTable;
            break;
        }
    }
    if (c.table.empty() &&
        (commandType_ == CommandType::cmdTable || commandType_ == CommandType::cmdTableDirect))
        c.table = commandText_;
    if (c.table.empty())
        throw DatabaseError("Insufficient base table information for updating or refreshing.");
    auto columnOf = [&](size_t i) {
        return b.info[i].baseColumn.empty() ? b.info[i].name : b.info[i].baseColumn;
    };
    const std::vector<std::string> key = keyColumnsOf(c.schema, c.table);
    for (size_t i = 0; i < impl_->fetched; ++i) {
        if (!belongsTo(b, i, c.table))
            continue;
        if (isBlobKind(b.info[i].kind))
            continue; // long values are not compared
        const std::string col = columnOf(i);
        bool use = key.empty();
        for (const auto& k : key)
            use = use || equalsIgnoringCase(k, col);
        if (!use)
            continue;
        c.whereColumns.push_back(col);
        c.whereValues.push_back(impl_->cell(row, static_cast<int>(i)));
    }
    if (!key.empty() && c.whereColumns.size() != key.size())
        throw DatabaseError("Insufficient key column information for updating or refreshing.");
    return c;
}

void DataSet::Post() {
    if (state_ == State::Insert) {
        // The new record was never written; posting it is refused and it stays for Cancel.
        throw Error("Adding records is not supported; cancel the new record");
    }
    if (state_ != State::Edit)
        return;
    Impl& m = *impl_;
    const int64_t row = m.phys(m.cur);
    RowChange c = changeFor(row);
    std::vector<int> changedFields;
    for (int i = 0; i < FieldCount(); ++i) {
        const Value old = m.cell(row, i);
        if (old == m.pending[static_cast<size_t>(i)] &&
            old.type() == m.pending[static_cast<size_t>(i)].type())
            continue;
        const ColumnInfo& ci = m.buf->info[static_cast<size_t>(i)];
        if (static_cast<size_t>(i) >= m.fetched)
            throw Error("计算字段“" + ci.name + "”不能修改");
        if (!belongsTo(*m.buf, static_cast<size_t>(i), c.table))
            throw Error(format("Field '%s' cannot be modified", ci.name.c_str()));
        c.setColumns.push_back(ci.baseColumn.empty() ? ci.name : ci.baseColumn);
        c.setValues.push_back(m.pending[static_cast<size_t>(i)]);
        changedFields.push_back(i);
    }
    if (!changedFields.empty()) {
        // A change waits on the row's lock like any statement, where Cancel and the query
        // timeout reach it; a refusal throws and the edit stays pending.
        Provider& p = connection_->provider();
        runStatement(p, [c](Provider& q) { q.applyChange(c); });
        ++m.changes;
    }
    for (int i : changedFields)
        m.edited[{row, i}] = m.pending[static_cast<size_t>(i)];
    if (!changedFields.empty())
        calculateRow(row);
    state_ = State::Browse;
    m.pending.clear();
    if (!changedFields.empty()) {
        if (m.filter) {
            // The changed record may leave or stay in the filtered set.
            const Bookmark keep = row;
            rebuildView();
            const int rec = recordOfBookmark(keep);
            m.cur = rec >= 0 ? rec : std::min(m.cur, m.count() - 1);
            m.eof = m.count() == 0;
            notify(DataEvent::ContentsChanged);
        } else {
            notify(DataEvent::RecordChanged);
        }
    }
}

void DataSet::Delete() {
    if (!active_)
        throw Error(kClosedObject);
    if (state_ == State::Insert) {
        Cancel();
        return;
    }
    Cancel();
    checkEditable();
    Impl& m = *impl_;
    if (m.cur < 0)
        throw Error("Cannot perform this operation on an empty dataset");
    const int64_t row = m.phys(m.cur);
    RowChange c = changeFor(row);
    c.remove = true;
    Provider& p = connection_->provider();
    runStatement(p, [c](Provider& q) { q.applyChange(c); });
    if (m.deleted.empty())
        m.deleted.assign(static_cast<size_t>(m.buf->rows), 0);
    m.deleted[static_cast<size_t>(row)] = 1;
    ++m.changes;
    const int old = m.cur;
    rebuildView();
    const int n = m.count();
    m.cur = n == 0 ? -1 : std::min(old, n - 1);
    m.eof = n == 0;
    m.bof = n == 0;
    notify(DataEvent::ContentsChanged);
}

void DataSet::addObserver(DataSetObserver* o) {
    if (o && std::find(observers_.begin(), observers_.end(), o) == observers_.end())
        observers_.push_back(o);
}

void DataSet::removeObserver(DataSetObserver* o) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void DataSet::notify(DataEvent e) {
    // A copy: an observer may remove itself while it is told.
    const auto list = observers_;
    for (DataSetObserver* o : list)
        o->dataSetEvent(e);
}

} // namespace rg
