#pragma once

// The data source dialog: chooses the connection string and a table, an SQL text or a
// stored procedure, applied at once to the connection and data set it is given, with a
// preview of the data set's rows. "确认" closes it only with the data set open; "取消" and
// the close box hand both back as they came.

#include "datasource/dataset.h"
#include "datasource/ui/sqleditor.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QToolButton;

namespace rg {

class Error;
class SourceSnapshot;
class TDataSetModel;
class TDropDownBox;
class TParameterTable;

// Opens the field captions dialog on a data set.
using FieldCaptionsOpener = std::function<void(rg::DataSet&)>;

class TFRMDBSETUP : public QDialog {
    Q_OBJECT
public:
    explicit TFRMDBSETUP(QWidget* parent = nullptr);
    ~TFRMDBSETUP() override;

    // In this order: the data set first, then its connection.
    void AssignDataSet(rg::DataSet& dataSet);
    void AssignConnection(rg::Connection& connection);
    void setFieldCaptionsOpener(FieldCaptionsOpener opener) { fieldCaptions_ = std::move(opener); }

    // Handlers; those that may throw run through the dialog's error box.
    void ConnectionStringClick();
    bool ConnectionStringKeyPress(int key);
    // Leaving the box, or Enter in it: a typed string becomes the connection's, and the
    // table list is the new database's. One that cannot connect says why at once.
    void ConnectionStringExit();
    void EditConnStrClick();
    void EditCommandTextClick();
    void btnrunClick();
    void btnstoreprocedureClick();
    void MasterTableNameDropDown();
    void MasterTableNameClick();
    void N1Click();
    void chkserversummaryClick();
    void chkprocedurewritesClick();
    void btnokClick();
    void btncancelClick();
    // Runs the command on the data set; an error is shown at once and leaves it closed.
    // True when it opened.
    bool OpenCommand(const std::string& text, rg::CommandType kind);
    void done(int result) override;

    QFrame* Panel1;
    QLabel* Label2;
    TDropDownBox* ConnectionString;
    QToolButton* EditConnStr;
    QGroupBox* TableNames;
    TDropDownBox* MasterTableName;
    QGroupBox* QueryStrings;
    SqlEditor* MasterSQL;
    QToolButton* EditCommandText;
    // "运行" (F5, Ctrl+Enter in the SQL box) opens the box's text at once; the label under
    // the box says what came of it.
    QPushButton* btnrun;
    QLabel* lblrunresult;
    QGroupBox* ProcedureNames;
    QLineEdit* txtstorcprocedure;
    QToolButton* btnstoreprocedure;
    QTableView* DBGridEh1;
    QMenu* PopupMenu1;
    QAction* N1;
    // Groups, footers and filters computed by the database server; a stored procedure's
    // rows are always read whole.
    QCheckBox* chkserversummary;
    // A stored procedure may change the database; every other command only reads.
    QCheckBox* chkprocedurewrites;
    QPushButton* btnok;
    QPushButton* btncancel;
    // The named parameters of the SQL text, shown below the preview while it has some.
    TParameterTable* ParameterTable;

    TDataSetModel* ds; // the dialog's data source: the preview grid's model

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A text typed into the SQL box or the table box and not applied yet: "确认" opens it.
    enum class Typed { Nothing, Sql, Table };

    void showOpenNotice();
    void showPlacement();
    void showParameters();
    void parametersEdited();
    void openDataSet();
    void applyCommand(const std::string& text, rg::CommandType kind);
    void showRunError(const rg::Error& e, const std::string& sql);
    void showRunResult(const QString& text, bool failed);
    std::vector<std::string> catalogTables();
    std::vector<std::string> catalogFields(const std::string& table);
    bool openForConfirm();
    bool connectionTyped() const;
    bool takeConnectionText();
    void setSqlBox(const QString& text);
    rg::DataSet* dataSet_ = nullptr;
    rg::Connection* connection_ = nullptr;
    std::unique_ptr<SourceSnapshot> given_;
    FieldCaptionsOpener fieldCaptions_;
    Typed typed_ = Typed::Nothing;
};

// The set-data-source command: shows the dialog on a data set and its connection; true when
// it closed with "确认", and then the data set is open (the caller rebuilds its grid).
// Otherwise both are as they were given.
// `fieldCaptions` opens the field captions dialog from the preview grid's menu; without
// it the menu item does nothing.
bool RunDataSourceDialog(QWidget* parent, rg::DataSet& dataSet, rg::Connection& connection,
                         FieldCaptionsOpener fieldCaptions = {});

} // namespace rg
