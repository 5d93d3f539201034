#include "gridsetup/ui/setupfield.h"

#include "grid/grid.h"
#include "gridsetup/ui/dialogutil.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace rg {

TfrmFieldsetup::TfrmFieldsetup(QWidget* parent) : QDialog(parent) {
    setupDialogFrame(this, "frmFieldsetup", tr("设置字段"), 243, 279);
    Label1 = placeLabel(this, "Label1", tr("字段列表："), 8, 8);
    lstField = new QListWidget(this);
    lstField->setObjectName("lstField");
    lstField->setGeometry(8, 24, 225, 217);
    btnDelete = new QPushButton(tr("确定"), this);
    btnDelete->setObjectName("btnDelete");
    btnDelete->setGeometry(48, 248, 67, 25);
    Button2 = new QPushButton(tr("关闭"), this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(144, 248, 67, 25);
    setTabOrder(btnDelete, Button2);
    setTabOrder(Button2, lstField);
    btnDelete->setFocus();
    connect(btnDelete, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
}

bool TfrmFieldsetup::FillList() {
    lstField->clear();
    if (!Grid) {
        showMissingReference(this);
        close();
        return false;
    }
    for (int i = 0; i < Grid->ColumnCount(); ++i) {
        const auto& column = Grid->Columns(i);
        auto* item =
            new QListWidgetItem(fieldEntryText(column.Caption(), column.FieldName()), lstField);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(column.Visible() ? Qt::Checked : Qt::Unchecked);
    }
    return true;
}

void TfrmFieldsetup::btnDeleteClick() {
    // This dialog reports its own errors and stays open; columns changed so far stay changed.
    try {
        for (int i = 0; i < lstField->count(); ++i)
            Grid->Columns(i).SetVisible(lstField->item(i)->checkState() == Qt::Checked);
    } catch (const std::exception& e) {
        showPlainMessage(this, QString::fromUtf8(e.what()));
        return;
    }
    accept();
}

void TfrmFieldsetup::Button2Click() {
    reject();
}

void RunVisibleFieldsDialog(QWidget* parent, TdxDBGrid& grid) {
    TfrmFieldsetup dialog(parent);
    dialog.Grid = &grid;
    if (dialog.FillList())
        dialog.exec();
}

} // namespace rg
