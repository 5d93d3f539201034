#include "datasource/ui/setupparameters.h"

#include "common/ui/commandguard.h"
#include "datasource/dataset.h"
#include "datasource/ui/dialogparts.h"
#include "datasource/ui/dropdownbox.h"

#include <QApplication>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace rg {

TfrmParameterSetup::TfrmParameterSetup(QWidget* parent) : QDialog(parent) {
    setObjectName("frmParameterSetup");
    setWindowTitle(tr("存储过程设置"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(256, 314);
    move(392, 282);

    TableNames = place<QGroupBox>(this, "TableNames", 5, 6, 244, 51);
    TableNames->setTitle(tr("选择存储过程"));
    MasterTableName = place<TDropDownBox>(TableNames, "MasterTableName", 8, 18, 225, 21);
    MasterTableName->setMaxVisibleItems(20);

    GroupBox1 = place<QGroupBox>(this, "GroupBox1", 8, 72, 241, 201);
    GroupBox1->setTitle(tr("参数设置"));
    Label1 = place<QLabel>(GroupBox1, "Label1", 8, 24, 81, 13);
    Label1->setText(tr("参数列表"));
    lstparamterlist = place<QListWidget>(GroupBox1, "lstparamterlist", 8, 40, 225, 121);
    lstparamterlist->setSelectionMode(QAbstractItemView::SingleSelection);
    Label2 = place<QLabel>(GroupBox1, "Label2", 9, 180, 60, 13);
    Label2->setText(tr("设置参数值"));
    txtparametervalue = place<QLineEdit>(GroupBox1, "txtparametervalue", 76, 174, 155, 21);

    cmdok = placeButton(this, "cmdok", "确定", 24, 280);
    cmdok->setDefault(true);
    cmdcancel = placeButton(this, "cmdcancel", "取消", 136, 280); // Escape rejects the dialog

    setTabOrder(MasterTableName, lstparamterlist);
    setTabOrder(lstparamterlist, txtparametervalue);
    setTabOrder(txtparametervalue, cmdok);
    setTabOrder(cmdok, cmdcancel);
    MasterTableName->setFocus();

    MasterTableName->OnDropDown = [this] { MasterTableNameDropDown(); };
    // Every selection picks the procedure, also moving through the open list.
    MasterTableName->SelectWhileBrowsing = true;
    MasterTableName->OnSelect = [this] { MasterTableNameClick(); };
    // A click shows the value again even on the selected entry; arrow keys select too.
    auto parameterClick = [this] {
        if (!filling_)
            guardCommand([this] { lstparamterlistClick(); });
    };
    connect(lstparamterlist, &QListWidget::itemSelectionChanged, this, parameterClick);
    connect(lstparamterlist, &QListWidget::itemClicked, this, parameterClick);
    // Qt moves the focus before a clicked entry becomes selected, so the value goes to the
    // parameter it was typed for.
    txtparametervalue->installEventFilter(this);
    connect(cmdok, &QPushButton::clicked, this, [this] { cmdokClick(); });
    connect(cmdcancel, &QPushButton::clicked, this, [this] { cmdcancelClick(); });
}

bool TfrmParameterSetup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtparametervalue && event->type() == QEvent::FocusOut) {
        // Only a move to another control of this dialog leaves the box; switching windows,
        // the box's own menu and closing the dialog with Enter or Escape do not.
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        QWidget* next = QApplication::focusWidget();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && next &&
            isAncestorOf(next))
            guardCommand([this] { txtparametervalueExit(); });
    }
    return QDialog::eventFilter(watched, event);
}

int TfrmParameterSetup::selectedParameter() const {
    const QList<QListWidgetItem*> items = lstparamterlist->selectedItems();
    return items.isEmpty() ? -1 : lstparamterlist->row(items.first());
}

void TfrmParameterSetup::MasterTableNameDropDown() {
    if (!DataSet || !DataSet->connection() || MasterTableName->count() > 0)
        return;
    std::vector<std::string> names;
    // A listing that fails says why and keeps what it found so far.
    guardCommand([&] { DataSet->connection()->ListProcedureNames(names); });
    MasterTableName->AddSortedItems(std::move(names));
}

void TfrmParameterSetup::MasterTableNameClick() {
    filling_ = true;
    lstparamterlist->clear();
    filling_ = false;
    if (!DataSet)
        return;
    // A procedure that cannot be described says why and leaves the list empty or partly
    // filled.
    guardCommand([this] {
        DataSet->SetCommandType(CommandType::cmdStoredProc);
        DataSet->SetCommandText(MasterTableName->currentText().toStdString());
        DataSet->RefreshParameters();
        for (int i = 0; i < DataSet->ParameterCount(); ++i)
            lstparamterlist->addItem(QString::fromStdString(DataSet->Parameters(i).Name));
    });
}

// Entry i stands for parameter i: names may repeat or be empty (unnamed arguments), and
// a lookup by name would reach the first of them.
void TfrmParameterSetup::lstparamterlistClick() {
    const int i = selectedParameter();
    if (i < 0 || !DataSet)
        return;
    txtparametervalue->setText(
        QString::fromStdString(DataSet->Parameters(i).Value().displayText()));
}

void TfrmParameterSetup::txtparametervalueExit() {
    const int i = selectedParameter();
    if (i < 0 || !DataSet)
        return;
    const std::string text = txtparametervalue->text().toStdString();
    Parameter& parameter = DataSet->Parameters(i);
    // The box shows a value as its display text, so the same text is no change; an empty
    // box equals an empty value.
    if (parameter.Value().displayText() == text)
        return;
    parameter.SetValue(Value::fromText(text));
}

void TfrmParameterSetup::cmdokClick() {
    done(QDialog::Accepted);
}

void TfrmParameterSetup::cmdcancelClick() {
    done(QDialog::Rejected);
}

} // namespace rg
