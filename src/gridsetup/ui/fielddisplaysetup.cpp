#include "gridsetup/ui/fielddisplaysetup.h"

#include "common/ui/commandguard.h"
#include "datasource/dataset.h"
#include "gridsetup/ui/dialogutil.h"

#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace rg {

Tfrmdisplaysetup::Tfrmdisplaysetup(QWidget* parent) : QDialog(parent) {
    setupDialogFrame(this, "frmdisplaysetup", tr("字段设置"), 243, 299);
    Label1 = placeLabel(this, "Label1", tr("字段列表："), 8, 8);
    lstField = new QListWidget(this);
    lstField->setObjectName("lstField");
    lstField->setGeometry(8, 24, 225, 193);
    Label2 = placeLabel(this, "Label2", tr("显示"), 8, 224);
    txtdisplay = new QLineEdit(this);
    txtdisplay->setObjectName("txtdisplay");
    txtdisplay->setGeometry(8, 240, 225, 21);
    Button2 = new QPushButton(tr("关闭"), this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(72, 273, 75, 25);
    Button2->setAutoDefault(false);

    setTabOrder(Button2, lstField);
    setTabOrder(lstField, txtdisplay);
    Button2->setFocus();

    // The edit box applies its text when it loses the focus. Qt moves the focus before the
    // clicked list entry becomes current, so the text goes to the field it was typed for.
    txtdisplay->installEventFilter(this);
    connect(lstField, &QListWidget::itemSelectionChanged, this, [this] {
        if (!filling_)
            guardCommand([this] { lstFieldClick(); });
    });
    connect(Button2, &QPushButton::clicked, this,
            [this] { guardCommand([this] { Button2Click(); }); });
}

bool Tfrmdisplaysetup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtdisplay && event->type() == QEvent::FocusOut) {
        // Switching windows or opening the edit box's own menu is not leaving the box.
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            guardCommand([this] { txtdisplayExit(); });
    }
    return QDialog::eventFilter(watched, event);
}

bool Tfrmdisplaysetup::FillList() {
    filling_ = true;
    lstField->clear();
    filling_ = false;
    if (!DataSet) {
        showMissingReference(this);
        close();
        return false;
    }
    filling_ = true;
    for (int i = 0; i < DataSet->FieldCount(); ++i)
        lstField->addItem(
            fieldEntryText(DataSet->Fields(i).DisplayName(), DataSet->Fields(i).FieldName()));
    filling_ = false;
    return true;
}

void Tfrmdisplaysetup::ShowFor(rg::DataSet* dataSet) {
    DataSet = dataSet;
    if (!FillList())
        return;
    Button2->setFocus();
    exec();
}

void Tfrmdisplaysetup::lstFieldClick() {
    int i = selectedRow(lstField);
    if (i < 0)
        return; // only a chosen entry shows; clearing the list chooses none
    checkListIndex(i, DataSet ? DataSet->FieldCount() : 0);
    txtdisplay->setText(QString::fromStdString(DataSet->Fields(i).DisplayName()));
}

void Tfrmdisplaysetup::txtdisplayExit() {
    std::string text = txtdisplay->text().toStdString();
    int i = selectedRow(lstField);
    checkListIndex(i, DataSet ? DataSet->FieldCount() : 0);
    Field& field = DataSet->Fields(i);
    field.SetDisplayLabel(text);
    lstField->item(i)->setText(fieldEntryText(field.DisplayName(), field.FieldName()));
    txtdisplay->clear();
}

void Tfrmdisplaysetup::Button2Click() {
    close();
}

} // namespace rg
