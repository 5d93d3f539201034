#include "app/ui/about.h"
#include "app/ui/addfield.h"
#include "app/ui/navbar.h"
#include "app/ui/program.h"
#include "app/ui/quorvel.h"
#include "gridsetup/ui/fielddisplaysetup.h"
#include "qtapp.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace rg;

namespace {

// The translations a start installs last for the test that started the windows: the tests
// after it in this process see the source texts, as in a process of their own.
struct Untranslated {
    ~Untranslated() {
        qDeleteAll(qtApp().findChildren<QTranslator*>(QString(), Qt::FindDirectChildrenOnly));
    }
};

} // namespace

TEST(ProgramStart, WindowsInOrderListedAndHidden) {
    qtApp();
    const Untranslated untranslated;
    QTemporaryDir setups;
    touch(setups.path() + "/a.ini");
    {
        auto windows = createStartWindows(setups.path() + "/");
        QStringList order;
        for (QWidget* w : windows->creationOrder)
            order << w->objectName();
        EXPECT_EQ(order,
                  QStringList({"frmquorvel", "frmdisplaysetup", "frmAddField", "OKHelpBottomDlg"}));
        EXPECT_EQ(frmdisplaysetup, windows->captions.get());
        EXPECT_EQ(frmquorvel, windows->main.get());
        EXPECT_EQ(frmAddField, windows->addField.get());
        EXPECT_EQ(OKHelpBottomDlg, windows->about.get());
        for (QWidget* w : windows->creationOrder)
            EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();

        // Creating the main window filled the saved-report list.
        ASSERT_EQ(frmquorvel->nvbar->ItemCount(), 1);
        EXPECT_EQ(frmquorvel->nvbar->Item(0)->Caption(), "a");

        EXPECT_EQ(frmAddField->windowTitle(), "字段添加");
        frmAddField->show();
        EXPECT_EQ(frmAddField->size(), QSize(313, 149));
        EXPECT_TRUE(frmAddField->findChildren<QWidget*>().isEmpty());
        frmAddField->hide();
    }
    EXPECT_EQ(frmquorvel, nullptr);
    EXPECT_EQ(OKHelpBottomDlg, nullptr);
}

// The dialogs Qt provides speak Chinese like the rest of the window; texts the program
// gives message boxes stay as they are.
TEST(ProgramStart, QtStandardDialogsAreInChinese) {
    qtApp();
    const Untranslated untranslated;
    QTemporaryDir setups;
    auto windows = createStartWindows(setups.path() + "/");
    auto again = createStartWindows(setups.path() + "/");      // installed once, not twice
    EXPECT_EQ(qtApp().findChildren<QTranslator*>().size(), 2); // Qt's and the program's

    QMessageBox box(QMessageBox::Question, "Confirm", "Delete record?",
                    QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), "确定");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "取消");
    EXPECT_EQ(box.text(), "Delete record?");

    QFileDialog files(nullptr, "保存");
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    const auto* buttons = files.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Cancel)->text().startsWith("取消"));
    EXPECT_EQ(files.windowTitle(), "保存");

    QPrinter printer;
    QPageSetupDialog page(&printer);
    EXPECT_TRUE(page.windowTitle().contains("页面")) << page.windowTitle().toStdString();
}

TEST(AboutBox, ClosesWithItsOneButtonNotWithEscape) {
    qtApp();
    const Untranslated untranslated;
    QTemporaryDir setups;
    auto windows = createStartWindows(setups.path() + "/");
    TOKHelpBottomDlg* about = windows->about.get();
    EXPECT_EQ(about->windowTitle(), "关于");
    EXPECT_EQ(about->size(), QSize(313, 214));
    EXPECT_EQ(about->Bevel1->geometry(), QRect(8, 8, 297, 169));
    EXPECT_EQ(about->OKBtn->geometry(), QRect(110, 180, 75, 25));
    EXPECT_EQ(about->OKBtn->text(), "关闭");
    EXPECT_TRUE(about->OKBtn->isDefault());
    EXPECT_FALSE(about->CancelBtn->isVisibleTo(about));
    EXPECT_EQ(about->Memo1->geometry(), QRect(16, 16, 281, 153));
    EXPECT_TRUE(about->Memo1->isReadOnly());
    const QStringList lines = about->Memo1->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0], "              请大家多提意见！！！！");
    for (int empty : {1, 2, 4, 6, 8, 9, 10})
        EXPECT_TRUE(lines[empty].isEmpty()) << empty;
    for (int filled : {3, 5, 7})
        EXPECT_FALSE(lines[filled].isEmpty()) << filled;

    bool visibleAfterEscape = false;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        modal = QApplication::activeModalWidget() == about;
        QTest::keyClick(about, Qt::Key_Escape);
        QApplication::processEvents();
        visibleAfterEscape = about->isVisible();
        QTest::mouseClick(about->OKBtn, Qt::LeftButton);
    });
    // Safety net: a box that did not close would hang the test.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, about, [about] { about->done(-1); });
    guard.start(10000);
    windows->main->ToolButton2->click();
    EXPECT_TRUE(modal);
    EXPECT_TRUE(visibleAfterEscape);
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(about->result(), QDialog::Accepted);

    // The generic dialog, with its cancel button visible, does close with Escape. Its
    // caption "Dialog" is in the program's Chinese, installed at start.
    TOKBottomDlg generic;
    EXPECT_EQ(generic.windowTitle(), QStringLiteral("对话框"));
    generic.show();
    QTest::keyClick(&generic, Qt::Key_Escape);
    EXPECT_FALSE(generic.isVisible());
    EXPECT_EQ(generic.result(), QDialog::Rejected);
}

TEST(Exit, ClosesTheMainWindowAskingNothing) {
    qtApp();
    const Untranslated untranslated;
    QTemporaryDir setups;
    auto windows = createStartWindows(setups.path() + "/");
    windows->main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(windows->main.get()));
    // Any question would be a modal window; record and dismiss it so the test cannot hang.
    QString asked;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            asked = modal->metaObject()->className();
            modal->close();
        }
    });
    watch.start(10);
    bool quitRequested = false;
    QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { quitRequested = true; });
    // The program ends when the event loop returns; the safety timer fails the test instead
    // of hanging it.
    QTimer::singleShot(0, [&] { QTest::mouseClick(windows->main->tbExit, Qt::LeftButton); });
    // Bound to the window, so that it cannot end the event loop of a later test.
    QTimer::singleShot(10000, windows->main.get(), [] { QApplication::exit(1); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(asked.isEmpty()) << asked.toStdString();
    EXPECT_FALSE(windows->main->isVisible());
    EXPECT_TRUE(quitRequested); // closing the main window ends the program
}
