#include "answeringchooser.h"
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testdb.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace rg;

namespace {

// Answers the next modal dialog of type T as soon as it shows.
template <typename T> void answerNext(std::function<void(T&)> answer) {
    QTimer::singleShot(0, [answer] {
        if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget()))
            answer(*d);
        else
            answerNext<T>(answer);
    });
}

} // namespace

// Without a secret store the user chooses where the password goes, and a setup that asks at
// open asks in a password box over the window.
TEST(PasswordDialogs, WithoutAStoreTheWindowAsksWhereAndThenAsksAtOpen) {
    // No session bus: the secret store cannot answer.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/reportgen-tests");
    qtApp();
    TestDb db(kRegionSales);
    QTemporaryDir setups;
    const QString folder = setups.path() + "/";
    {
        TSetup s((folder + "t.ini").toStdString());
        s.WriteConnString(db.conn.ConnectionString() + ";PWD=s3cret");
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("t");
        s.WriteKeyField("id");
    }
    QStringList shown;
    QStringList notices;
    MessageSink previous = setErrorSink([&](const QString& m) { shown << m; });
    MessageSink previousNotice = setNoticeSink([&](const QString& m) { notices << m; });
    Tfrmquorvel w(nullptr, folder);
    w.show();
    QTest::mouseClick(w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    ASSERT_EQ(w.dxDBGrid->DataRowCount(), 5);

    std::vector<AnsweringChooser::Seen> seen;
    auto chooser = std::make_unique<AnsweringChooser>(&seen);
    chooser->answers = {folder + "asks.ini"};
    w.dlgsjsc->setChooser(std::move(chooser));
    QString question;
    answerNext<QMessageBox>([&](QMessageBox& box) {
        question = box.text();
        box.findChild<QPushButton*>("btnAskAtOpen")->click();
    });
    w.runCommand([&] { w.N8Click(); });
    EXPECT_TRUE(question.startsWith("没有可用的密钥库，连接的密码不能存入："))
        << question.toStdString();
    TSetup asks((folder + "asks.ini").toStdString());
    EXPECT_EQ(asks.ReadConnString(), db.conn.ConnectionString() + ";Password Store=ask");

    // The open asks; the password typed goes to the connection. Cancelling keeps the report.
    QString label;
    answerNext<QInputDialog>([&](QInputDialog& d) {
        label = d.labelText();
        EXPECT_EQ(d.textEchoMode(), QLineEdit::Password);
        d.setTextValue("typed;pw");
        d.accept();
    });
    const int asksItem = w.nvbar->Item(0)->Caption() == "asks" ? 0 : 1;
    QTest::mouseClick(w.nvbar->Item(asksItem)->linkWidget(), Qt::LeftButton);
    EXPECT_TRUE(label.startsWith("打开报表“asks”需要连接 ")) << label.toStdString();
    EXPECT_EQ(w.conn()->ConnectionString(), db.conn.ConnectionString() + ";PWD={typed;pw}");
    EXPECT_EQ(w.dxDBGrid->DataRowCount(), 5);
    EXPECT_TRUE(shown.isEmpty()) << shown.join("\n").toStdString();

    answerNext<QInputDialog>([](QInputDialog& d) { d.reject(); });
    QTest::mouseClick(w.nvbar->Item(asksItem)->linkWidget(), Qt::LeftButton);
    EXPECT_TRUE(w.StatusBar1->currentMessage().contains("已取消"))
        << w.StatusBar1->currentMessage().toStdString();
    EXPECT_EQ(w.dxDBGrid->DataRowCount(), 5);
    EXPECT_EQ(notices, QStringList({"操作已取消。"}));
    setErrorSink(previous);
    setNoticeSink(previousNotice);
}
