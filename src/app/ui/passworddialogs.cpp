#include "app/ui/passworddialogs.h"

#include "datasource/connstring.h"
#include "setup/setuppasswords.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace rg {

namespace {

// The context of the dialogs' texts in the translation.
class PasswordDialogs {
    Q_DECLARE_TR_FUNCTIONS(rg::PasswordDialogs)
};

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
            label += PasswordDialogs::tr("（用户 %1）").arg(QString::fromStdString(v));
            break;
        }
    return label;
}

std::optional<std::string> askPassword(QWidget* window, const PasswordRequest& r) {
    QInputDialog dialog(window);
    dialog.setObjectName(QStringLiteral("dlgPassword"));
    dialog.setWindowTitle(PasswordDialogs::tr("输入密码"));
    QString text = PasswordDialogs::tr("打开报表“%1”需要连接 %2 的密码：")
                       .arg(QFileInfo(QString::fromStdString(r.setupFile)).completeBaseName(),
                            connectionLabel(r.connectionString));
    if (!r.why.empty())
        text += PasswordDialogs::tr("\n（密钥库中没有：%1）").arg(QString::fromStdString(r.why));
    dialog.setLabelText(text);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setOkButtonText(PasswordDialogs::tr("确定"));
    dialog.setCancelButtonText(PasswordDialogs::tr("取消"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return "PWD=" + quoteConnValue(dialog.textValue().toStdString());
}

std::optional<PasswordPlace> askPlace(QWidget* window, const std::string& why) {
    QMessageBox box(QMessageBox::Question, PasswordDialogs::tr("保存密码"),
                    PasswordDialogs::tr("没有可用的密钥库，连接的密码不能存入：%1\n"
                                        "以后打开这个报表时询问密码，还是把密码保存在设置文件中"
                                        "（只有你能读取这个文件）？")
                        .arg(QString::fromStdString(why)),
                    QMessageBox::Cancel, window);
    box.setObjectName(QStringLiteral("dlgPasswordPlace"));
    QPushButton* ask = box.addButton(PasswordDialogs::tr("打开时询问"), QMessageBox::AcceptRole);
    ask->setObjectName(QStringLiteral("btnAskAtOpen"));
    QPushButton* file =
        box.addButton(PasswordDialogs::tr("保存在设置文件中"), QMessageBox::AcceptRole);
    file->setObjectName(QStringLiteral("btnKeepInFile"));
    box.button(QMessageBox::Cancel)->setText(PasswordDialogs::tr("取消"));
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
