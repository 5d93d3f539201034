#pragma once

// Database access: the connection, the data set on it and its parameters. The data set
// fetches the whole result into memory when it opens; every walk, sort, filter and lookup
// afterwards is served from memory. A result too big for that stays on the server, where
// the statements of src/server ask for what is shown.

#include "calc/calcfield.h"
#include "common/value.h"
#include "datasource/parameter.h"
#include "datasource/sqlparameters.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rg {

class Provider;      // a driver behind a connection (built-in SQLite or ODBC)
struct ResultBuffer; // the columns of a fetched result
class ColumnData;    // one column of it
struct RowChange;    // an UPDATE or DELETE of one row

enum class Alignment { Left, Right, Center };

class DataSet;

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& ConnectionString() const { return connectionString_; }
    // A different string closes the connection first, and with it every data set on it.
    void SetConnectionString(const std::string& s);

    bool Connected() const;
    // Connecting never asks for a login; errors carry the driver's text. Closing closes
    // every data set on the connection first, so none keeps rows of a database it no longer
    // reaches; so does connecting anew after a statement was abandoned (statementrun.h).
    void SetConnected(bool on);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // Each listing first opens a closed connection.
    void ListTableNames(std::vector<std::string>& list, bool includeSystem);
    void ListProcedureNames(std::vector<std::string>& list); // appends, never clears
    void ListFieldNames(const std::string& table, std::vector<std::string>& list);

    Provider& provider(); // the open provider; throws when not connected

private:
    friend class DataSet;
    void letGo();
    std::string connectionString_;
    // Shared with a statement's worker; one given up after an abandoned statement counts as
    // no connection, and the next open connects anew.
    std::shared_ptr<Provider> provider_;
    std::vector<DataSet*> dataSets_; // registered by each data set for its lifetime
};

class Field {
public:
    const std::string& FieldName() const { return name_; }
    // Empty until set; setting it to the field name itself stores it empty. A change is a
    // field-layout change of the data set.
    const std::string& DisplayLabel() const { return label_; }
    void SetDisplayLabel(const std::string& label);
    const std::string& DisplayName() const { return label_.empty() ? name_ : label_; }
    FieldKind Kind() const { return kind_; }
    bool Visible() const { return visible_; }
    void SetVisible(bool v) { visible_ = v; }
    Alignment alignment() const {
        return isNumericKind(kind_) ? Alignment::Right : Alignment::Left;
    }
    int Index() const { return index_; }
    int Size() const { return size_; } // declared character size, 0 when unknown
    // The column's name as the result gave it, which statements over the result name: a
    // second "val" beside "Val" is the field "val_1" but the column "val".
    const std::string& ColumnName() const { return column_; }

    // Value and display text in the data set's current record.
    Value AsValue() const;
    std::string DisplayText() const;
    bool IsNull() const;

private:
    friend class DataSet;
    DataSet* owner_ = nullptr;
    int index_ = 0;
    std::string name_;
    std::string column_;
    std::string label_;
    FieldKind kind_ = FieldKind::Unknown;
    int size_ = 0;
    bool visible_ = true;
};

// The sentence that leads the database error of a failed open, saying what was being
// done: "执行 SQL 失败", "打开表“t”失败", "执行存储过程“p”失败".
std::string openFailureSentence(CommandType kind, const std::string& commandText);

// What the grid and the preview grid hear from a data set, without it knowing them.
enum class DataEvent { Opened, Closed, ContentsChanged, LayoutChanged, RecordChanged };

class DataSetObserver {
public:
    virtual ~DataSetObserver() = default;
    virtual void dataSetEvent(DataEvent event) = 0;
};

// A bookmark names one loaded record; it stays valid until that record is deleted or the
// data set is closed.
using Bookmark = int64_t;
constexpr Bookmark kNoBookmark = -1;

// Where a report's rows live. Auto: on the server when the command is a table or an SQL text
// whose `SELECT count(*)` exceeds the threshold; stored procedures always in memory.
enum class RowPlacement { Auto, Server, Memory };

class DataSet {
public:
    explicit DataSet(Connection* connection);
    ~DataSet();
    DataSet(const DataSet&) = delete;
    DataSet& operator=(const DataSet&) = delete;

    Connection* connection() const { return connection_; }

    // Both change only while the data set is closed (rg::Error otherwise).
    CommandType GetCommandType() const { return commandType_; }
    void SetCommandType(CommandType t);
    const std::string& CommandText() const { return commandText_; }
    void SetCommandText(const std::string& text);

    bool Active() const { return active_; }
    // What the user should know about the open result (a procedure's results left out), or
    // empty.
    std::string OpenNotice() const;
    void SetActive(bool on);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    // A long open reports to the opening thread's progress sink (common/progress.h), whose
    // cancel stops the statement in the driver and throws rg::Cancelled.

    // Both change only while the data set is closed (rg::Error otherwise).
    void SetRowPlacement(RowPlacement p);
    RowPlacement GetRowPlacement() const { return placement_; }
    // Rows above which an automatic placement keeps them on the server.
    static constexpr int64_t kDefaultServerThreshold = 2'000'000;
    void SetServerThreshold(int64_t rows);
    int64_t ServerThreshold() const { return threshold_; }
    // After an open: the rows stayed on the server. The fields are known (the result
    // described, no row fetched), RecordCount() is 0, the cursor is empty and editing is
    // refused; Filter() holds the expression the server statements apply.
    bool ServerSide() const { return active_ && serverSide_; }
    // The fields of the table's primary key while the rows stay on the server, empty when
    // it has none or the command is no table.
    const std::vector<int>& KeyFields() const { return keyFields_; }

    // Whether the stored procedure may change the database; off, it runs in a read-only
    // session like every other report command. Takes effect at the next open.
    bool ProcedureMayWrite() const { return procedureMayWrite_; }
    void SetProcedureMayWrite(bool on) { procedureMayWrite_ = on; }

    // Calculated fields (calc/calcfield.h): columns computed from the fetched ones at every
    // open, after them in field order, each over those and the fields before it. Set while
    // open, they are computed at once and the layout changes; a field that cannot be
    // computed throws rg::Error naming it and leaves the fields as they were. Only rows in
    // memory have them: with the rows on the server (or an open that leaves them there) any
    // field throws rg::ServerRefusal naming it. Posting an edit computes them anew for its row.
    const std::vector<CalculatedField>& CalculatedFields() const { return calculated_; }
    void SetCalculatedFields(std::vector<CalculatedField> fields);
    // Whether field i is a calculated field.
    bool IsCalculated(int field) const;

    // Stored-procedure parameters.
    void RefreshParameters();
    int ParameterCount() const { return static_cast<int>(parameters_.size()); }
    Parameter& Parameters(int i);
    Parameter& ParameterByName(const std::string& name); // "Parameter '%s' not found"

    // The named parameters of an SQL text as the report defines them (sqlparameters.h), kept
    // whatever the text names; an open binds those the text uses.
    const std::vector<SqlParameter>& SqlParameters() const { return sqlParameters_; }
    void SetSqlParameters(std::vector<SqlParameter> params) { sqlParameters_ = std::move(params); }
    // The texts of the next opens, and the day they run as of (none: the day of the open).
    // A new report source keeps them: they are the run's, not the report's.
    void SetParameterTexts(ParameterTexts given, std::optional<int64_t> asOfDay);
    const ParameterTexts& GivenParameterTexts() const { return givenTexts_; }
    std::optional<int64_t> AsOfDay() const { return asOfDay_; }
    // After an open: how a title says the values it used, empty without parameters.
    const std::string& ParameterCaption() const { return parameterCaption_; }

    // Fields in result order.
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    Field& Fields(int i);
    const Field& Fields(int i) const;
    Field* FindField(const std::string& name);   // ignoring case; nullptr when missing
    Field& FieldByName(const std::string& name); // throws "Field '%s' not found"

    // Direct access by record number 0 .. RecordCount()-1 among the visible (filtered)
    // records: the fast path for the grid's load and the exporters.
    int RecordCount() const;
    Value value(int record, int field) const;
    std::string displayText(int record, int field) const;
    bool isNull(int record, int field) const;

    // A field's stored column for loops over millions of records: read record r at
    // row(r). Without a column (posted edits replace some of its values) value() it is.
    struct ColumnView {
        const ColumnData* column = nullptr;
        const int64_t* rows = nullptr; // physical row of each record; nullptr: the same number
        int64_t row(int record) const { return rows ? rows[record] : record; }
    };
    ColumnView columnView(int field) const;
    // Posted edits and deletions since the open: what was computed from the records at one
    // count holds while it stays the same.
    int64_t changeCount() const;

    // The cursor.
    void First();
    void Last();
    void Next();
    int MoveBy(int distance); // returns the distance moved
    bool Eof() const;
    bool Bof() const;
    int RecNo() const; // 0-based current record, -1 when empty
    void SetRecNo(int record);

    Bookmark GetBookmark() const;
    bool BookmarkValid(Bookmark b) const;
    void GotoBookmark(Bookmark b);                                 // throws when invalid
    bool Locate(const std::string& fieldName, const Value& value); // moves there when found

    // Filter expression over the loaded records (grammar in filter.h). Setting it reports
    // changed contents. While the rows stay on the server, an expression the server cannot
    // evaluate exactly as in memory throws rg::ServerRefusal and leaves the old filter.
    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& expression);
    bool Filtered() const { return !filter_.empty(); }

    // Counted suspension of the observers' record notifications.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }

    // Editing. Insert starts a new empty record at the cursor; Cancel drops it (or a pending
    // edit). Edit/SetFieldValue/Post change one field of the current record in the database
    // (an UPDATE touching exactly one row); Delete removes the current record from the
    // database. A refusal throws rg::Error with the driver's text and keeps the record.
    enum class State { Inactive, Browse, Edit, Insert };
    State GetState() const { return state_; }
    void Insert();
    void Edit();
    void SetFieldValue(int field, const Value& v);
    void Post();
    void Cancel();
    void Delete();

    void addObserver(DataSetObserver* o);
    void removeObserver(DataSetObserver* o);

private:
    // Implementation-private state lives in dataset.cpp and its helpers.
    struct Impl;
    void notify(DataEvent e);
    friend class Connection;
    friend class Field;
    friend class FilterExpr;
    Value currentValue(int field) const;
    Value physicalValue(int64_t row, int field) const;
    void moved(int oldRecord);
    void checkBrowse();
    void rebuildView(bool cancellable = false);
    int recordOfBookmark(Bookmark b) const;
    std::vector<std::string> keyColumnsOf(const std::string& schema, const std::string& table);
    RowChange changeFor(int64_t row);
    bool openOnServer(Provider& p);
    std::string boundText(Provider& p, std::vector<Value>& values);
    void makeFields(const ResultBuffer& buf);
    void checkEditable() const;
    void setServerFilter(const std::string& expression);
    void resetRows(std::unique_ptr<ResultBuffer> buf);
    void refuseCalculatedOnServer() const;
    void appendCalculated(ResultBuffer& buf) const;
    void calculateRow(int64_t row);

    Connection* connection_;
    CommandType commandType_ = CommandType::cmdText;
    bool procedureMayWrite_ = false;
    std::string commandText_;
    bool active_ = false;
    State state_ = State::Inactive;
    std::vector<Parameter> parameters_;
    std::vector<SqlParameter> sqlParameters_;
    ParameterTexts givenTexts_;
    std::optional<int64_t> asOfDay_;
    std::string parameterCaption_;
    std::vector<CalculatedField> calculated_;
    std::vector<std::unique_ptr<Field>> fields_;
    std::string filter_;
    RowPlacement placement_ = RowPlacement::Auto;
    int64_t threshold_ = kDefaultServerThreshold;
    bool serverSide_ = false;
    std::vector<int> keyFields_;
    int disableCount_ = 0;
    std::vector<DataSetObserver*> observers_;
    std::unique_ptr<Impl> impl_;
};

} // namespace rg
