#include "app/ui/passworddialogs.h"

#include "datasource/connstring.h"
#include "setup/setuppasswords.h"

#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace rg {

namespace {

// Who the password is for, as the user knows the connection: server, database and user.
QString connectionLabel(const std::string& connectionString) {
    const ConnParts parts = parseConnectionString(connectionString);
    QStringList where;
    for (const char* key : {"Server", "Data Source", "Database", "DSN"})
        if (const std::string v = connValue(parts, key); !v.empty())
            where << QString::fromStdString(v);
    QString label = where.join(QLatin1Char('/'));
    for (const char* key : {"Uid", "User ID", "User"})
        if (const std::string v = connValue(parts, key); !v.empty()) {
            label += QStringLiteral("（用户 %1）").arg(QString::fromStdString(v));
            break;
        }
    return label;
}

std::optional<std::string> askPassword(QWidget* window, const PasswordRequest& r) {
    QInputDialog dialog(window);
    dialog.setObjectName(QStringLiteral("dlgPassword"));
    dialog.setWindowTitle(QStringLiteral("输入密码"));
    QString text = QStringLiteral("打开报表“%1”需要连接 %2 的密码：")
                       .arg(QFileInfo(QString::fromStdString(r.setupFile)).completeBaseName(),
                            connectionLabel(r.connectionString));
    if (!r.why.empty())
        text += QStringLiteral("\n（密钥库中没有：%1）").arg(QString::fromStdString(r.why));
    dialog.setLabelText(text);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return "PWD=" + quoteConnValue(dialog.textValue().toStdString());
}

std::optional<PasswordPlace> askPlace(QWidget* window, const std::string& why) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("保存密码"),
                    QStringLiteral("没有可用的密钥库，连接的密码不能存入：%1\n"
                                   "以后打开这个报表时询问密码，还是把密码保存在设置文件中"
                                   "（只有你能读取这个文件）？")
                        .arg(QString::fromStdString(why)),
                    QMessageBox::Cancel, window);
    box.setObjectName(QStringLiteral("dlgPasswordPlace"));
    QPushButton* ask = box.addButton(QStringLiteral("打开时询问"), QMessageBox::AcceptRole);
    ask->setObjectName(QStringLiteral("btnAskAtOpen"));
    QPushButton* file = box.addButton(QStringLiteral("保存在设置文件中"), QMessageBox::AcceptRole);
    file->setObjectName(QStringLiteral("btnKeepInFile"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(ask);
    box.exec();
    if (box.clickedButton() == ask)
        return PasswordPlace::AskAtOpen;
    if (box.clickedButton() == file)
        return PasswordPlace::InFile;
    return std::nullopt;
}

} // namespace

void installPasswordDialogs(QWidget* window) {
    QPointer<QWidget> parent(window);
    setPasswordPrompt([parent](const PasswordRequest& r) { return askPassword(parent, r); });
    setPasswordPlaceChoice([parent](const std::string& why) { return askPlace(parent, why); });
}

} // namespace rg
