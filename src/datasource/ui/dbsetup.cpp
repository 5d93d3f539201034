#include "datasource/ui/dbsetup.h"

#include "common/databaseerror.h"
#include "common/ui/commandguard.h"
#include "datasource/passwordmask.h"
#include "datasource/readonlysql.h"
#include "datasource/sqlerrorplace.h"
#include "datasource/ui/adoconed.h"
#include "datasource/ui/dialogparts.h"
#include "datasource/ui/dropdownbox.h"
#include "datasource/ui/parametertable.h"
#include "datasource/ui/previewmodel.h"
#include "datasource/ui/setupparameters.h"
#include "datasource/ui/sourcesnapshot.h"
#include "datasource/ui/sqledit.h"
#include "datasource/ui/sqleditor.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QToolButton>

namespace rg {

namespace {

// The dialog's height, and what the parameter table adds below the preview.
constexpr int kHeight = 515;
constexpr int kParameterRows = 96;
// Where the buttons and boxes under the preview start.
constexpr int kButtonTop = 482;
constexpr int kCheckTop = 486;

constexpr const char* kConnectFailure = "连接数据库失败";
constexpr const char* kNoSqlToRun = "没有要运行的 SQL：请在“查询”中输入 SQL。";
constexpr const char* kNoCommand =
    "没有选择数据：请在“数据表”中选择表、在“查询”中输入 SQL 或在“存储过程”中选择过程。";

// The bold "..." buttons beside the boxes; they never take the focus.
QToolButton* ellipsisButton(QWidget* parent, const char* name, int left, int top, int width,
                            int height) {
    auto* b = place<QToolButton>(parent, name, left, top, width, height);
    b->setText("...");
    b->setFocusPolicy(Qt::NoFocus);
    QFont f = b->font();
    f.setBold(true);
    f.setPointSize(10);
    b->setFont(f);
    return b;
}

QGroupBox* groupBox(QWidget* parent, const char* name, const QString& title, int left, int top,
                    int width, int height) {
    auto* g = place<QGroupBox>(parent, name, left, top, width, height);
    g->setTitle(title);
    return g;
}

} // namespace

TFRMDBSETUP::TFRMDBSETUP(QWidget* parent) : QDialog(parent) {
    setObjectName("FRMDBSETUP");
    setWindowTitle(tr("数据源设置"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(497, kHeight);
    move(311, 253);

    Panel1 = place<QFrame>(this, "Panel1", 0, 0, 497, kHeight);
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFrameShadow(QFrame::Raised);

    Label2 = place<QLabel>(Panel1, "Label2", 6, 7, 67, 13);
    Label2->setText(tr("连接语句"));
    ConnectionString = place<TDropDownBox>(Panel1, "ConnectionString", 6, 21, 450, 21);
    ConnectionString->setMaxVisibleItems(20);
    EditConnStr = ellipsisButton(Panel1, "EditConnStr", 460, 22, 18, 18);

    TableNames = groupBox(Panel1, "TableNames", tr("数据表"), 5, 46, 238, 51);
    MasterTableName = place<TDropDownBox>(TableNames, "MasterTableName", 8, 18, 221, 21);
    MasterTableName->setMaxVisibleItems(20);

    ProcedureNames = groupBox(Panel1, "ProcedureNames", tr("存储过程"), 248, 46, 238, 51);
    txtstorcprocedure = place<QLineEdit>(ProcedureNames, "txtstorcprocedure", 8, 16, 200, 21);
    btnstoreprocedure = ellipsisButton(ProcedureNames, "btnstoreprocedure", 214, 16, 16, 18);

    // The SQL text has a row of its own, with what its last run gave under it.
    QueryStrings = groupBox(Panel1, "QueryStrings", tr("查询"), 5, 102, 481, 160);
    MasterSQL = place<SqlEditor>(QueryStrings, "MasterSQL", 7, 18, 446, 100);
    MasterSQL->setPlainText("\n");
    MasterSQL->setTabChangesFocus(true);
    MasterSQL->setLineWrapMode(QPlainTextEdit::NoWrap);
    MasterSQL->document()->setDocumentMargin(2);
    MasterSQL->setCatalog({[this] { return catalogTables(); },
                           [this](const std::string& table) { return catalogFields(table); }});
    EditCommandText = ellipsisButton(QueryStrings, "EditCommandText", 457, 19, 18, 18);
    lblrunresult = place<QLabel>(QueryStrings, "lblrunresult", 7, 122, 382, 34);
    lblrunresult->setWordWrap(true);
    lblrunresult->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblrunresult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnrun = placeButton(QueryStrings, "btnrun", tr("运行"), 399, 124);
    btnrun->setToolTip(tr("运行 SQL（F5 或 Ctrl+Enter）"));
    btnrun->setAutoDefault(false);

    ds = new TDataSetModel(this);
    DBGridEh1 = place<QTableView>(Panel1, "DBGridEh1", 8, 266, 473, 209);
    DBGridEh1->setModel(ds);
    DBGridEh1->setShowGrid(true);
    DBGridEh1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGridEh1->setEditTriggers(QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed);
    DBGridEh1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DBGridEh1->verticalHeader()->setDefaultSectionSize(18);
    DBGridEh1->verticalHeader()->setMinimumWidth(12);
    DBGridEh1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DBGridEh1->setContextMenuPolicy(Qt::CustomContextMenu);
    PopupMenu1 = new QMenu(DBGridEh1);
    PopupMenu1->setObjectName("PopupMenu1");
    N1 = PopupMenu1->addAction(tr("字段显示设置"));
    N1->setObjectName("N1");

    chkserversummary = place<QCheckBox>(Panel1, "chkserversummary", 356, kCheckTop, 130, 17);
    chkserversummary->setText(tr("在服务器上汇总"));
    chkprocedurewrites = place<QCheckBox>(Panel1, "chkprocedurewrites", 8, kCheckTop, 126, 17);
    chkprocedurewrites->setText(QString::fromUtf8(kProcedureMayWriteBox));
    chkprocedurewrites->setToolTip(
        tr("报表只读数据库。勾选后存储过程可以修改数据库；别人的设置文件打开前会先问你。"));

    btnok = placeButton(Panel1, "btnok", tr("确认"), 136, kButtonTop);
    btnok->setDefault(true);
    btncancel = placeButton(Panel1, "btncancel", tr("取消"), 240, kButtonTop);
    ParameterTable = place<TParameterTable>(Panel1, "ParameterTable", 8, kButtonTop - 2, 473, 88);
    ParameterTable->hide();
    ParameterTable->OnEdited = [this] { parametersEdited(); };

    setTabOrder(ConnectionString, MasterTableName);
    setTabOrder(MasterTableName, MasterSQL);
    setTabOrder(MasterSQL, txtstorcprocedure);
    setTabOrder(txtstorcprocedure, btncancel);
    setTabOrder(btncancel, btnok);
    setTabOrder(btnok, chkserversummary);
    setTabOrder(chkserversummary, chkprocedurewrites);
    setTabOrder(chkprocedurewrites, DBGridEh1);

    ConnectionString->OnKeyPress = [this](int key) { return ConnectionStringKeyPress(key); };
    ConnectionString->OnExit = [this] { ConnectionStringExit(); };
    connect(MasterSQL, &QPlainTextEdit::textChanged, this, [this] { typed_ = Typed::Sql; });
    connect(MasterTableName->lineEdit(), &QLineEdit::textEdited, this,
            [this] { typed_ = Typed::Table; });
    connect(ConnectionString, &QComboBox::activated, this, [this] { ConnectionStringClick(); });
    connect(EditConnStr, &QToolButton::clicked, this,
            [this] { guardCommand([this] { EditConnStrClick(); }); });
    MasterTableName->OnDropDown = [this] { MasterTableNameDropDown(); };
    MasterTableName->OnSelect = [this] { MasterTableNameClick(); };
    connect(MasterSQL, &SqlEditor::runRequested, this, [this] { btnrunClick(); });
    connect(btnrun, &QPushButton::clicked, this, [this] { btnrunClick(); });
    connect(EditCommandText, &QToolButton::clicked, this,
            [this] { guardCommand([this] { EditCommandTextClick(); }); });
    connect(btnstoreprocedure, &QToolButton::clicked, this,
            [this] { guardCommand([this] { btnstoreprocedureClick(); }); });
    connect(DBGridEh1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(DBGridEh1->viewport()->mapToGlobal(pos));
    });
    connect(N1, &QAction::triggered, this, [this] { guardCommand([this] { N1Click(); }); });
    connect(chkserversummary, &QCheckBox::clicked, this,
            [this] { guardCommand([this] { chkserversummaryClick(); }); });
    connect(chkprocedurewrites, &QCheckBox::clicked, this,
            [this] { guardCommand([this] { chkprocedurewritesClick(); }); });
    connect(btnok, &QPushButton::clicked, this, [this] { btnokClick(); });
    connect(btncancel, &QPushButton::clicked, this, [this] { btncancelClick(); });
    // The grid's current row is the data set's current record.
    connect(DBGridEh1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!dataSet_ || !dataSet_->Active() || !current.isValid() ||
                    dataSet_->RecNo() == current.row())
                    return;
                guardCommand([&] { dataSet_->SetRecNo(current.row()); });
            });
}

TFRMDBSETUP::~TFRMDBSETUP() {
    ds->setDataSet(nullptr);
}

void TFRMDBSETUP::AssignDataSet(rg::DataSet& dataSet) {
    dataSet_ = &dataSet;
}

void TFRMDBSETUP::AssignConnection(rg::Connection& connection) {
    connection_ = &connection;
    // The data set was created on this connection and stays on it.
    ConnectionString->setEditText(
        QString::fromStdString(maskedPasswords(connection.ConnectionString())));
    const QString command = QString::fromStdString(dataSet_->CommandText());
    switch (dataSet_->GetCommandType()) {
    case CommandType::cmdText:
        setSqlBox(command);
        break;
    case CommandType::cmdTable:
        MasterTableName->setEditText(command);
        break;
    case CommandType::cmdStoredProc:
        txtstorcprocedure->setText(command);
        break;
    default:
        break;
    }
    ds->setDataSet(dataSet_);
    showPlacement();
    showParameters();
    given_ = std::make_unique<SourceSnapshot>(*dataSet_, connection);
}

// The box's text set from here is no typed choice.
void TFRMDBSETUP::setSqlBox(const QString& text) {
    const QSignalBlocker quiet(MasterSQL);
    MasterSQL->setPlainText(text);
}

void TFRMDBSETUP::showPlacement() {
    const QSignalBlocker quiet(chkserversummary);
    chkserversummary->setChecked(dataSet_->GetRowPlacement() == RowPlacement::Server);
    chkserversummary->setEnabled(dataSet_->GetCommandType() != CommandType::cmdStoredProc);
    const QSignalBlocker quietWrites(chkprocedurewrites);
    chkprocedurewrites->setChecked(dataSet_->ProcedureMayWrite());
    chkprocedurewrites->setEnabled(dataSet_->GetCommandType() == CommandType::cmdStoredProc);
}

// The table shows while the SQL text names parameters; below it the dialog grows by its
// height.
void TFRMDBSETUP::showParameters() {
    std::vector<SqlParameter> params;
    if (dataSet_->GetCommandType() == CommandType::cmdText)
        params = parametersOfSql(dataSet_->CommandText(), dataSet_->SqlParameters());
    const int extra = params.empty() ? 0 : kParameterRows;
    // Rows the table shows already stay: an edit of theirs is what opened the text again.
    if (ParameterTable->parameters() != params)
        ParameterTable->showParameters(params);
    ParameterTable->setVisible(!params.empty());
    setFixedSize(497, kHeight + extra);
    Panel1->resize(497, kHeight + extra);
    for (QWidget* w :
         std::initializer_list<QWidget*>{chkserversummary, chkprocedurewrites, btnok, btncancel})
        w->move(w->x(), (w == btnok || w == btncancel ? kButtonTop : kCheckTop) + extra);
}

// A changed default opens the preview again with it, so that "确认" shows what it opened.
void TFRMDBSETUP::parametersEdited() {
    dataSet_->SetSqlParameters(ParameterTable->parameters());
    if (dataSet_->Active())
        OpenCommand(dataSet_->CommandText(), dataSet_->GetCommandType());
}

// Takes effect at the procedure's next run, so that a click never runs it.
void TFRMDBSETUP::chkprocedurewritesClick() {
    dataSet_->SetProcedureMayWrite(chkprocedurewrites->isChecked());
}

// The placement holds only from an open on, so an open data set opens again where the box
// says; one that is closed takes it at its next open.
void TFRMDBSETUP::chkserversummaryClick() {
    const RowPlacement placement =
        chkserversummary->isChecked() ? RowPlacement::Server : RowPlacement::Auto;
    if (dataSet_->GetRowPlacement() == placement)
        return;
    const bool wasOpen = dataSet_->Active();
    if (wasOpen)
        dataSet_->Close();
    dataSet_->SetRowPlacement(placement);
    if (wasOpen)
        OpenCommand(dataSet_->CommandText(), dataSet_->GetCommandType());
}

void TFRMDBSETUP::ConnectionStringClick() {
    if (ConnectionString->currentText().isEmpty() || ConnectionString->DroppedDown())
        return;
    MasterTableName->clear();
    MasterTableName->setEditText(QString());
    MasterSQL->forgetCatalog();
    txtstorcprocedure->clear();
    setSqlBox(QString());
    typed_ = Typed::Nothing;
}

// Enter takes the typed string as leaving the box does. It never presses "确认": that would
// close the dialog on a connection not taken yet.
bool TFRMDBSETUP::ConnectionStringKeyPress(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    if (ConnectionString->DroppedDown()) {
        ConnectionString->SetDroppedDown(false);
        ConnectionStringClick();
    }
    ConnectionStringExit();
    return true;
}

bool TFRMDBSETUP::connectionTyped() const {
    return ConnectionString->currentText().toStdString() !=
           maskedPasswords(connection_->ConnectionString());
}

// The box's string becomes the connection's. A new one closes the connection and the data
// set on it, and the tables listed so far are the old database's.
bool TFRMDBSETUP::takeConnectionText() {
    const std::string typed = withPasswordsRestored(ConnectionString->currentText().toStdString(),
                                                    connection_->ConnectionString());
    if (typed == connection_->ConnectionString())
        return false;
    connection_->SetConnectionString(typed);
    MasterSQL->forgetCatalog();
    const QString table = MasterTableName->currentText();
    MasterTableName->clear();
    MasterTableName->setEditText(table);
    showPlacement();
    return true;
}

// Runs from key and focus events, so it shows what fails itself. A click on "取消" takes
// nothing: the dialog is about to hand back the connection it was given.
void TFRMDBSETUP::ConnectionStringExit() {
    if (QApplication::focusWidget() == btncancel)
        return;
    std::vector<std::string> names;
    bool taken = false;
    guardCommand([&] {
        if (!connectionTyped() || !takeConnectionText())
            return;
        taken = true;
        ConnectionStringClick();
        if (connection_->ConnectionString().empty())
            return;
        withDatabaseContext(kConnectFailure, [&] { connection_->Open(); });
        connection_->ListTableNames(names, false);
    });
    if (taken)
        MasterTableName->AddSortedItems(std::move(names));
}

void TFRMDBSETUP::EditConnStrClick() {
    connection_->Close();
    takeConnectionText();
    if (!RunConnectionEditor(*connection_, this))
        return;
    ConnectionString->setEditText(
        QString::fromStdString(maskedPasswords(connection_->ConnectionString())));
    ConnectionStringClick();
}

void TFRMDBSETUP::EditCommandTextClick() {
    // Text typed straight into the SQL box runs only once the builder confirms it.
    QString sql = MasterSQL->toPlainText();
    Connection* connection = connection_;
    auto tables = [connection](std::vector<std::string>& list, bool system) {
        connection->ListTableNames(list, system);
    };
    auto fields = [connection](const std::string& table, std::vector<std::string>& list) {
        connection->ListFieldNames(table, list);
    };
    if (!ExecuteSQLEditor(sql, tables, fields))
        return;
    setSqlBox(sql);
    typed_ = Typed::Nothing;
    OpenCommand(sql.toStdString(), CommandType::cmdText);
}

void TFRMDBSETUP::btnstoreprocedureClick() {
    // The procedure box keeps its text: only the data set follows the chosen procedure.
    if (dataSet_->Active())
        dataSet_->Close();
    TfrmParameterSetup dialog(this);
    dialog.DataSet = dataSet_;
    const bool chosen = dialog.exec() == QDialog::Accepted;
    showPlacement();
    if (chosen) {
        typed_ = Typed::Nothing;
        // An error reaches the error box, and this dialog stays open.
        openDataSet();
        showOpenNotice();
    }
}

// Connecting is a step of its own: a refused connection is not the command's fault.
void TFRMDBSETUP::openDataSet() {
    withDatabaseContext(kConnectFailure, [this] { connection_->Open(); });
    withDatabaseContext(openFailureSentence(dataSet_->GetCommandType(), dataSet_->CommandText()),
                        [this] { dataSet_->Open(); });
}

// What the open left out (results after the first), once its rows show.
void TFRMDBSETUP::showOpenNotice() {
    const std::string notice = dataSet_->OpenNotice();
    if (!notice.empty())
        showCommandNotice(QString::fromStdString(notice));
}

// A command that does not run leaves the data set closed and the preview empty, and says
// why at once: an empty preview alone would not tell a syntax error from an empty table.
bool TFRMDBSETUP::OpenCommand(const std::string& text, rg::CommandType kind) {
    const bool opened = guardCommand([&] { applyCommand(text, kind); });
    showPlacement();
    if (opened)
        showOpenNotice();
    return opened;
}

void TFRMDBSETUP::applyCommand(const std::string& text, rg::CommandType kind) {
    dataSet_->Close();
    dataSet_->SetCommandType(kind);
    dataSet_->SetCommandText(text);
    // What the text no longer names is dropped; a new name starts as a text.
    if (kind == CommandType::cmdText)
        dataSet_->SetSqlParameters(parametersOfSql(text, dataSet_->SqlParameters()));
    showParameters();
    openDataSet();
    ds->setDataSet(dataSet_);
}

// The SQL box's text becomes the data set's command, as "确认" would take it; the preview
// shows its rows. What the database refused is told under the box, with its place marked,
// so that the text can be mended where it stands.
void TFRMDBSETUP::btnrunClick() {
    const QString text = MasterSQL->toPlainText();
    if (text.trimmed().isEmpty()) {
        showRunResult(QString::fromUtf8(kNoSqlToRun), true);
        return;
    }
    const std::string sql = text.toStdString();
    bool ran = false;
    guardCommand([&] {
        if (connectionTyped())
            takeConnectionText();
        try {
            applyCommand(sql, CommandType::cmdText);
        } catch (const Cancelled&) {
            throw;
        } catch (const Error& e) {
            showRunError(e, sql);
            return;
        }
        ran = true;
        typed_ = Typed::Nothing;
    });
    showPlacement();
    if (!ran)
        return;
    const QString shape =
        dataSet_->ServerSide()
            ? tr("%1 列，行留在服务器上").arg(dataSet_->FieldCount())
            : tr("%1 行，%2 列").arg(dataSet_->RecordCount()).arg(dataSet_->FieldCount());
    showRunResult(shape, false);
    showOpenNotice();
}

void TFRMDBSETUP::showRunError(const Error& e, const std::string& sql) {
    showRunResult(errorText(e), true);
    const auto* dbError = dynamic_cast<const DatabaseError*>(&e);
    const std::optional<SqlErrorPlace> place =
        sqlErrorPlace(dbError ? dbError->message() : std::string(e.what()), sql);
    if (!place)
        return;
    // The place is in bytes of the UTF-8 text; the box counts UTF-16 units.
    const int start = static_cast<int>(QString::fromUtf8(sql.data(), place->offset).size());
    const int length =
        static_cast<int>(QString::fromUtf8(sql.data() + place->offset, place->length).size());
    MasterSQL->markError(start, length);
    MasterSQL->setFocus();
}

void TFRMDBSETUP::showRunResult(const QString& text, bool failed) {
    lblrunresult->setText(text);
    lblrunresult->setToolTip(text);
    lblrunresult->setStyleSheet(failed ? QStringLiteral("color: #b00000;") : QString());
}

std::vector<std::string> TFRMDBSETUP::catalogTables() {
    std::vector<std::string> names;
    if (connection_ && !connection_->ConnectionString().empty())
        connection_->ListTableNames(names, false);
    return names;
}

std::vector<std::string> TFRMDBSETUP::catalogFields(const std::string& table) {
    std::vector<std::string> names;
    if (connection_ && !connection_->ConnectionString().empty())
        connection_->ListFieldNames(table, names);
    return names;
}

void TFRMDBSETUP::MasterTableNameDropDown() {
    if (MasterTableName->count() > 0)
        return;
    std::vector<std::string> names;
    // A listing that fails says why and keeps what it found so far.
    guardCommand([&] { connection_->ListTableNames(names, false); });
    MasterTableName->AddSortedItems(std::move(names));
}

void TFRMDBSETUP::MasterTableNameClick() {
    if (MasterTableName->DroppedDown())
        return; // moving through the open list is no choice yet
    typed_ = Typed::Nothing;
    OpenCommand(MasterTableName->currentText().toStdString(), CommandType::cmdTable);
}

void TFRMDBSETUP::N1Click() {
    if (fieldCaptions_ && dataSet_)
        fieldCaptions_(*dataSet_);
}

// What "确认" opens: a typed connection string, then a typed SQL text or table name, else the
// data set's own command. What fails is said here, and the dialog stays with what was typed.
bool TFRMDBSETUP::openForConfirm() {
    if (connectionTyped() && !guardCommand([this] { takeConnectionText(); }))
        return false;
    const QString sql = MasterSQL->toPlainText().trimmed();
    const QString table = MasterTableName->currentText();
    if (typed_ == Typed::Sql && !sql.isEmpty())
        return OpenCommand(sql.toStdString(), CommandType::cmdText);
    if (typed_ == Typed::Table && !table.isEmpty())
        return OpenCommand(table.toStdString(), CommandType::cmdTable);
    if (dataSet_->Active())
        return true;
    if (dataSet_->CommandText().empty()) {
        showCommandError(QString::fromUtf8(kNoCommand));
        return false;
    }
    return OpenCommand(dataSet_->CommandText(), dataSet_->GetCommandType());
}

void TFRMDBSETUP::btnokClick() {
    if (openForConfirm())
        done(QDialog::Accepted);
}

void TFRMDBSETUP::btncancelClick() {
    done(QDialog::Rejected);
}

// Whatever else ends the dialog hands back what it was given.
void TFRMDBSETUP::done(int result) {
    if (result != QDialog::Accepted && given_)
        guardCommand([this] { given_->restore(*dataSet_, *connection_); });
    QDialog::done(result);
}

void TFRMDBSETUP::keyPressEvent(QKeyEvent* event) {
    // The dialog has no cancel button: Escape does not close it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // F5 reaches the dialog from every control that has no use for it.
    if (event->key() == Qt::Key_F5) {
        event->accept();
        btnrunClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool RunDataSourceDialog(QWidget* parent, rg::DataSet& dataSet, rg::Connection& connection,
                         FieldCaptionsOpener fieldCaptions) {
    TFRMDBSETUP dialog(parent);
    dialog.AssignDataSet(dataSet);
    dialog.AssignConnection(connection);
    dialog.setFieldCaptionsOpener(std::move(fieldCaptions));
    return dialog.exec() == QDialog::Accepted && dataSet.Active();
}

} // namespace rg
