#include "gridsetup/ui/primmarysetup.h"

#include "common/asciicase.h"
#include "common/ui/commandguard.h"
#include "grid/grid.h"
#include "gridsetup/ui/dialogutil.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace rg {

Tfrmprimmarysetup::Tfrmprimmarysetup(QWidget* parent) : QDialog(parent) {
    setupDialogFrame(this, "frmprimmarysetup", tr("关键字设置"), 230, 121);
    Label1 = placeLabel(this, "Label1", tr("选择字段"), 24, 8);
    lstfield = new QComboBox(this);
    lstfield->setObjectName("lstfield");
    lstfield->setEditable(true); // typing is allowed, but only the selected entry counts
    lstfield->setInsertPolicy(QComboBox::NoInsert);
    lstfield->setGeometry(24, 32, 145, 21);
    Button1 = new QPushButton(tr("确定"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(72, 72, 75, 25);
    setTabOrder(lstfield, Button1);
    connect(Button1, &QPushButton::clicked, this,
            [this] { guardCommand([this] { Button1Click(); }); });
}

bool Tfrmprimmarysetup::FillList() {
    lstfield->clear();
    if (!Grid) {
        showMissingReference(this);
        close();
        return false;
    }
    for (int i = 0; i < Grid->ColumnCount(); ++i) {
        const TdxDBGridColumn& c = Grid->Columns(i);
        lstfield->addItem(fieldEntryText(c.Caption(), c.FieldName()),
                          QString::fromStdString(c.FieldName()));
    }
    // Opened on the current key, "确定" without a change keeps it and the rows.
    lstfield->setCurrentIndex(lstfield->findData(QString::fromStdString(Grid->KeyField()),
                                                 Qt::UserRole, Qt::MatchFixedString));
    return true;
}

void Tfrmprimmarysetup::Button1Click() {
    // The box's text counts when it is an entry or a field's name; typed text naming none
    // clears the key.
    const QString text = lstfield->currentText();
    int i = lstfield->findText(text, Qt::MatchFixedString);
    if (i < 0)
        i = lstfield->findData(text, Qt::UserRole, Qt::MatchFixedString);
    std::string field = i >= 0 ? lstfield->itemData(i).toString().toStdString() : std::string();
    // The key as it is spelt stays: the same field costs no reload.
    if (!equalsIgnoringCase(field, Grid->KeyField()))
        Grid->SetKeyField(field);
    close();
}

void RunKeyFieldDialog(QWidget* parent, TdxDBGrid& grid) {
    Tfrmprimmarysetup dialog(parent);
    dialog.Grid = &grid;
    if (dialog.FillList())
        dialog.exec();
}

} // namespace rg
