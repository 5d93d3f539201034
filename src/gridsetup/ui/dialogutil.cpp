#include "gridsetup/ui/dialogutil.h"

#include "common/error.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>

namespace rg {

void setupDialogFrame(QDialog* dialog, const char* objectName, const QString& caption, int width,
                      int height) {
    dialog->setObjectName(QString::fromLatin1(objectName));
    dialog->setWindowTitle(caption);
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
}

QLabel* placeLabel(QWidget* parent, const char* objectName, const QString& text, int left,
                   int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->adjustSize();
    label->move(left, top);
    return label;
}

void showPlainMessage(QWidget* parent, const QString& message) {
    QMessageBox::information(parent, QString::fromUtf8("报表生成器"), message);
}

void showMissingReference(QWidget* parent) {
    showPlainMessage(parent, QString::fromUtf8("程序发生错误！！！请于程序设计者联系"));
}

QString fieldEntryText(const std::string& caption, const std::string& fieldName) {
    const QString name = QString::fromStdString(fieldName);
    if (caption.empty() || caption == fieldName)
        return name;
    return QString::fromStdString(caption) + QStringLiteral(" (") + name + QStringLiteral(")");
}

int selectedRow(const QListWidget* list) {
    const auto items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.first());
}

void checkListIndex(int index, int count) {
    if (index < 0 || index >= count)
        throw Error(format("List index out of bounds (%d)", index));
}

} // namespace rg
