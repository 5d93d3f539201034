#include "datasource/dialogs/errorbox.h"

#include "common/progress.h"

#include <QMessageBox>

#include <exception>

namespace rg {

namespace {
DataSourceErrorBox& errorBox() {
    static DataSourceErrorBox box;
    return box;
}
DataSourceErrorBox& noticeBox() {
    static DataSourceErrorBox box;
    return box;
}
} // namespace

void setDataSourceErrorBox(DataSourceErrorBox box) { errorBox() = std::move(box); }

void setDataSourceNoticeBox(DataSourceErrorBox box) { noticeBox() = std::move(box); }

void showDataSourceNotice(QWidget* parent, const QString& message) {
    if (noticeBox()) noticeBox()(message);
    else QMessageBox::information(parent, QString::fromUtf8("报表生成器"), message);
}

bool runDataSourceCommand(QWidget* parent, const std::function<void()>& handler) {
    QString message;
    try {
        handler();
        return true;
    } catch (const Cancelled& e) {
        showDataSourceNotice(parent, QString::fromUtf8(e.what()));
        return false;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error");
    }
    if (errorBox())
        errorBox()(message);
    else
        QMessageBox::critical(parent, QString::fromUtf8("报表生成器"), message);
    return false;
}

} // namespace rg
