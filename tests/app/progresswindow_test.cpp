#include "app/ui/progresswindow.h"
#include "qtapp.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace rg;
using namespace std::chrono_literals;

TEST(ProgressWindow, TextsSayWhatAndHowFar) {
    EXPECT_EQ(progressText("正在读取数据", 1234567, 0), "正在读取数据……已读取 1,234,567 行");
    EXPECT_EQ(progressText("正在读取数据", 999, 0), "正在读取数据……已读取 999 行");
    EXPECT_EQ(progressText("正在导出", 45, 100), "正在导出……45%");
    EXPECT_EQ(progressText("正在导出", 0, 100000), "正在导出……0%");
    // A total that turned out low never shows more than all.
    EXPECT_EQ(progressText("正在排序", 120, 100), "正在排序……100%");
    EXPECT_EQ(progressText("正在生成页面", 1000, 0), "正在生成页面……已生成 1,000 页");
    EXPECT_EQ(progressText("正在分组", 65536, 0), "正在分组……已处理 65,536 行");
}

// Work shorter than the delay never shows the window; past the delay the window shows at the
// next report, blocks its owner and tells the work of 取消, Escape and the close box, each
// once: the work's way out is not cancelled again.
TEST(ProgressWindow, ShowsAfterItsDelayAndPassesTheCancelOn) {
    qtApp();
    QWidget owner;
    owner.show();

    TProgressWindow patient(&owner, 1h);
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(patient.progress("正在导出", i, 100));
    EXPECT_FALSE(patient.isVisible());

    TProgressWindow w(&owner, 0ms);
    EXPECT_EQ(w.objectName(), "ProgressWindow");
    EXPECT_EQ(w.CancelButton->objectName(), "CancelButton");
    EXPECT_EQ(w.CancelButton->text(), "取消");
    EXPECT_EQ(w.ProgressText->objectName(), "ProgressText");
    EXPECT_EQ(w.ProgressBar->objectName(), "ProgressBar");
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.progress("正在导出", 45, 100));
    ASSERT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowModality(), Qt::WindowModal);
    EXPECT_EQ(w.parentWidget(), &owner);
    EXPECT_EQ(QApplication::activeModalWidget(), &w);
    EXPECT_EQ(w.ProgressText->text(), "正在导出……45%");
    EXPECT_EQ(w.ProgressBar->maximum(), 100);
    EXPECT_EQ(w.ProgressBar->value(), 45);

    QTest::mouseClick(w.CancelButton, Qt::LeftButton);
    EXPECT_TRUE(w.isVisible()); // until the work hears it
    EXPECT_FALSE(w.progress("正在导出", 46, 100));
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(w.progress("正在导出", 47, 100));
    ASSERT_TRUE(w.isVisible());
    EXPECT_TRUE(w.CancelButton->isEnabled());

    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.progress("正在导出", 48, 100));
    EXPECT_TRUE(w.progress("正在导出", 49, 100));

    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.progress("正在导出", 50, 100));

    // Without a total the bar is busy.
    TProgressWindow reading(&owner, 0ms);
    EXPECT_TRUE(reading.progress("正在读取数据", 1234567, 0));
    EXPECT_EQ(reading.ProgressText->text(), "正在读取数据……已读取 1,234,567 行");
    EXPECT_EQ(reading.ProgressBar->maximum(), 0);
}

// When the event loop runs with no work reporting (the work has ended, or the command shows a
// dialog next) the window goes by itself.
TEST(ProgressWindow, GoesWhenTheWorkStopsReporting) {
    qtApp();
    QWidget owner;
    owner.show();
    TProgressWindow w(&owner, 0ms);
    EXPECT_TRUE(w.progress("正在生成页面", 3, 0));
    ASSERT_TRUE(w.isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 10000));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
