// The main window opens where the user left it: its frame, the left bar's width and the last
// report, which opens again while it still loads; all of it in the user's configuration
// folder, none in the setup file.
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "processfolder.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testdb.h"
#include "testfiles.h"

#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;

namespace {

// The window the program starts: what was kept, shown, then the last report.
struct Started {
    QStringList errors;
    MessageSink previousError;
    Tfrmquorvel w;
    explicit Started(const QString& setups) : w(nullptr, setups) {
        previousError = setErrorSink([this](const QString& m) { errors << m; });
        w.restoreWindow();
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
        w.openLastReport();
    }
    ~Started() { setErrorSink(previousError); }
};

} // namespace

TEST(WindowMemory, TheWindowComesBackAsLeftWithItsLastReport) {
    qtApp();
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    test::TempFolder folder;
    const QString setups = QString::fromStdString(folder.path().string()) + "/";
    TestDb db(kRegionSales);
    const std::string file = (folder / "地区.ini").string();
    {
        TSetup s(file);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("t");
        s.WriteKeyField("id");
    }
    const std::string setupBytes = test::readBytes(file);

    QRect geometry(60, 40, 720, 520);
    QList<int> sizes;
    {
        Started first(setups);
        EXPECT_TRUE(first.w.reportName().isEmpty()); // nothing kept yet
        QTest::mouseClick(first.w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
        ASSERT_EQ(first.w.reportName(), "地区");
        first.w.setGeometry(geometry);
        first.w.Splitter1->setSizes({220, 480});
        sizes = first.w.Splitter1->sizes();
        geometry = first.w.geometry();
        first.w.close();
        EXPECT_TRUE(first.errors.isEmpty()) << first.errors.join('\n').toStdString();
    }
    EXPECT_TRUE(QFile::exists(config.path() + "/reportgen/window.conf"));
    EXPECT_EQ(test::readBytes(file), setupBytes);

    {
        Started again(setups);
        EXPECT_EQ(again.w.geometry(), geometry);
        EXPECT_EQ(again.w.Splitter1->sizes(), sizes);
        EXPECT_EQ(again.w.reportName(), "地区");
        EXPECT_EQ(again.w.dxDBGrid->DataRowCount(), 5);
        EXPECT_TRUE(again.errors.isEmpty()) << again.errors.join('\n').toStdString();
        again.w.close();
    }

    // A report that no longer loads leaves the window empty, without a message box; the
    // status bar tells why.
    {
        TSetup s(file);
        s.WriteCommandText("no_such_table");
    }
    {
        Started broken(setups);
        EXPECT_TRUE(broken.w.reportName().isEmpty());
        EXPECT_TRUE(broken.errors.isEmpty()) << broken.errors.join('\n').toStdString();
        EXPECT_TRUE(broken.w.StatusBar1->currentMessage().contains("失败"))
            << broken.w.StatusBar1->currentMessage().toStdString();
        EXPECT_EQ(broken.w.geometry(), geometry);
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(rgtest::processFolder()));
}
