#include "gridsetup/dialogutil.h"

#include "common/error.h"
#include "common/progress.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>

namespace rg {

namespace {
ErrorBox& errorBox() {
    static ErrorBox box;
    return box;
}
ErrorBox& noticeBox() {
    static ErrorBox box;
    return box;
}
} // namespace

void setupDialogFrame(QDialog* dialog, const char* objectName, const char* caption, int width, int height) {
    dialog->setObjectName(QString::fromLatin1(objectName));
    dialog->setWindowTitle(QString::fromUtf8(caption));
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
    dialog->setFixedSize(width, height);
}

QLabel* placeLabel(QWidget* parent, const char* objectName, const char* text, int left, int top) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->adjustSize();
    label->move(left, top);
    return label;
}

void setGridSetupErrorBox(ErrorBox box) { errorBox() = std::move(box); }

void setGridSetupNoticeBox(ErrorBox box) { noticeBox() = std::move(box); }

void showErrorBox(QWidget* parent, const QString& message) {
    if (errorBox()) {
        errorBox()(message);
        return;
    }
    QMessageBox::critical(parent, QString::fromUtf8("报表生成器"), message);
}

bool runGuarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const Cancelled& e) {
        if (noticeBox()) noticeBox()(QString::fromUtf8(e.what()));
        else showPlainMessage(parent, QString::fromUtf8(e.what()));
    } catch (const std::exception& e) {
        showErrorBox(parent, QString::fromUtf8(e.what()));
    }
    return false;
}

void showPlainMessage(QWidget* parent, const QString& message) {
    QMessageBox::information(parent, QString::fromUtf8("报表生成器"), message);
}

void showMissingReference(QWidget* parent) {
    showPlainMessage(parent, QString::fromUtf8("程序发生错误！！！请于程序设计者联系"));
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
