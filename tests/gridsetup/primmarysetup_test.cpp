#include "gridsetup/ui/primmarysetup.h"

#include "common/progress.h"
#include "common/ui/commandguard.h"

#include "fixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using rg::Tfrmprimmarysetup;

namespace {

// Runs the key field command; `inside` works the open dialog, then "确定" is pressed.
void runKeyDialog(rg::TdxDBGrid& grid, const std::function<void(Tfrmprimmarysetup&)>& inside) {
    bool shown = false;
    rgtest::onNextModal([&](QWidget* w) {
        auto* d = qobject_cast<Tfrmprimmarysetup*>(w);
        ASSERT_NE(d, nullptr);
        shown = true;
        inside(*d);
        QTest::mouseClick(d->Button1, Qt::LeftButton);
    });
    rg::RunKeyFieldDialog(nullptr, grid);
    EXPECT_TRUE(shown);
}

} // namespace

TEST(KeyFieldDialog, WindowAndMissingGrid) {
    Tfrmprimmarysetup d;
    EXPECT_EQ(d.windowTitle(), QString::fromUtf8("关键字设置"));
    EXPECT_EQ(d.size(), QSize(230, 121));
    EXPECT_TRUE(d.lstfield->isEditable());
    QString text = rgtest::captureMessageBox([&] { EXPECT_FALSE(d.FillList()); });
    EXPECT_EQ(text, QString::fromUtf8("程序发生错误！！！请于程序设计者联系"));
}

TEST(KeyFieldDialog, EmptyGridAndNoSelectionClearTheKey) {
    rgtest::SalesDb db;
    rg::TdxDBGrid empty;
    empty.SetDataSet(&db.dataset);
    empty.SetKeyField("id");
    runKeyDialog(empty, [](Tfrmprimmarysetup& d) { EXPECT_EQ(d.lstfield->count(), 0); });
    EXPECT_EQ(empty.KeyField(), "");
    empty.SetDataSet(nullptr);

    rgtest::SalesGrid g;
    ASSERT_EQ(g.grid.TopCount(), 6);
    runKeyDialog(g.grid, [](Tfrmprimmarysetup& d) {
        // Field names, not captions, opened on the current key.
        ASSERT_EQ(d.lstfield->count(), 3);
        EXPECT_EQ(d.lstfield->itemText(0), "id");
        EXPECT_EQ(d.lstfield->currentText(), "id"); // the current key
        // Typed text that names no entry is not a selection.
        QTest::keyClicks(d.lstfield->lineEdit(), "region2");
    });
    EXPECT_EQ(g.grid.KeyField(), "");
    EXPECT_EQ(g.grid.TopCount(), 0);
}

TEST(KeyFieldDialog, SameFieldKeepsRowsOtherFieldReloadsCollapsed) {
    rgtest::SalesGrid g;
    g.dataset.Fields(0).SetDisplayLabel("编号"); // the box still lists field names
    g.groupByRegion();
    ASSERT_TRUE(g.allTopExpanded());

    runKeyDialog(g.grid, [](Tfrmprimmarysetup& d) {
        EXPECT_EQ(d.lstfield->itemText(0), "编号 (id)");
        d.lstfield->setCurrentIndex(0);
    });
    EXPECT_EQ(g.grid.KeyField(), "id");
    EXPECT_TRUE(g.allTopExpanded()); // not reloaded

    runKeyDialog(g.grid, [](Tfrmprimmarysetup& d) { d.lstfield->setCurrentIndex(2); });
    EXPECT_EQ(g.grid.KeyField(), "amount");
    EXPECT_EQ(g.grid.TopCount(), 3);
    EXPECT_EQ(g.grid.DataRowCount(), 6);
    EXPECT_FALSE(g.anyTopExpanded());
}

TEST(KeyFieldDialog, CloseBoxChangesNothing) {
    rgtest::SalesGrid g;
    rgtest::onNextModal([](QWidget* w) {
        auto* d = qobject_cast<Tfrmprimmarysetup*>(w);
        d->lstfield->setCurrentIndex(1);
        d->close();
    });
    rg::RunKeyFieldDialog(nullptr, g.grid);
    EXPECT_EQ(g.grid.KeyField(), "id");
}

// 取消 while the grid reloads for a new key field: the key and the rows stay as they were,
// and the cancel comes as a notice, not as an error.
TEST(KeyFieldDialog, ACancelledReloadKeepsTheKeyAndIsANotice) {
    struct CancelAtOnce : rg::ProgressSink {
        bool progress(const char*, int64_t, int64_t) override { return false; }
    } sink;
    rgtest::SalesGrid g;
    g.groupByRegion();
    const int top = g.grid.TopCount();
    rgtest::ErrorLog errors;
    QStringList notices;
    rg::setNoticeSink([&](const QString& m) { notices << m; });
    bool stayedOpen = false;
    rgtest::onNextModal([&](QWidget* w) {
        auto* d = qobject_cast<Tfrmprimmarysetup*>(w);
        ASSERT_NE(d, nullptr);
        d->lstfield->setCurrentIndex(2);
        {
            rg::ProgressScope scope(&sink);
            QTest::mouseClick(d->Button1, Qt::LeftButton);
        }
        // As after an error, the dialog stays for another choice.
        stayedOpen = d->isVisible();
        d->close();
    });
    rg::RunKeyFieldDialog(nullptr, g.grid);
    EXPECT_TRUE(stayedOpen);
    rg::setNoticeSink({});
    EXPECT_EQ(notices, QStringList{QString::fromUtf8("操作已取消。")});
    EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join('\n').toStdString();
    EXPECT_EQ(g.grid.KeyField(), "id");
    EXPECT_EQ(g.grid.TopCount(), top);
    EXPECT_TRUE(g.allTopExpanded());
}
