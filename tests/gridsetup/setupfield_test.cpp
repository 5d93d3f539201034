#include "gridsetup/ui/setupfield.h"

#include "fixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using rg::TfrmFieldsetup;

namespace {

void runFieldsDialog(rg::TdxDBGrid& grid, const std::function<void(TfrmFieldsetup&)>& inside) {
    bool shown = false;
    rgtest::onNextModal([&](QWidget* w) {
        auto* d = qobject_cast<TfrmFieldsetup*>(w);
        ASSERT_NE(d, nullptr);
        shown = true;
        inside(*d);
        if (d->isVisible())
            d->close();
    });
    rg::RunVisibleFieldsDialog(nullptr, grid);
    EXPECT_TRUE(shown);
}

std::vector<bool> checks(TfrmFieldsetup& d) {
    std::vector<bool> out;
    for (int i = 0; i < d.lstField->count(); ++i)
        out.push_back(d.lstField->item(i)->checkState() == Qt::Checked);
    return out;
}

} // namespace

TEST(VisibleFieldsDialog, UncheckingEverythingHidesEveryColumn) {
    rgtest::SalesGrid g;
    runFieldsDialog(g.grid, [](TfrmFieldsetup& d) {
        EXPECT_EQ(d.windowTitle(), QString::fromUtf8("设置字段"));
        ASSERT_EQ(d.lstField->count(), 3);
        EXPECT_EQ(checks(d), (std::vector<bool>{true, true, true}));
        for (int i = 0; i < 3; ++i)
            d.lstField->item(i)->setCheckState(Qt::Unchecked);
        QTest::mouseClick(d.btnDelete, Qt::LeftButton);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_TRUE(g.grid.VisibleColumns().empty());
    EXPECT_EQ(g.grid.TopCount(), 6); // visibility never reloads the rows
}

TEST(VisibleFieldsDialog, GroupedColumnShownWhileStayingGrouped) {
    rgtest::SalesGrid g;
    g.groupByRegion();
    auto& region = *g.grid.ColumnByFieldName("region");

    // Confirming without changes keeps the grouped column hidden.
    runFieldsDialog(g.grid, [](TfrmFieldsetup& d) {
        EXPECT_EQ(checks(d), (std::vector<bool>{true, false, true}));
        QTest::mouseClick(d.btnDelete, Qt::LeftButton);
    });
    EXPECT_FALSE(region.Visible());

    // "关闭" changes nothing.
    runFieldsDialog(g.grid, [](TfrmFieldsetup& d) {
        d.lstField->item(1)->setCheckState(Qt::Checked);
        QTest::mouseClick(d.Button2, Qt::LeftButton);
        EXPECT_EQ(d.result(), QDialog::Rejected);
    });
    EXPECT_FALSE(region.Visible());

    runFieldsDialog(g.grid, [](TfrmFieldsetup& d) {
        d.lstField->item(1)->setCheckState(Qt::Checked);
        QTest::mouseClick(d.btnDelete, Qt::LeftButton);
    });
    EXPECT_TRUE(region.Visible());
    EXPECT_EQ(region.GroupIndex(), 0);
    EXPECT_EQ(g.grid.TopCount(), 3);
    EXPECT_TRUE(g.allTopExpanded());
}

TEST(VisibleFieldsDialog, EmptyGridAndMissingGrid) {
    rg::TdxDBGrid empty;
    runFieldsDialog(empty, [](TfrmFieldsetup& d) {
        EXPECT_EQ(d.lstField->count(), 0);
        QTest::mouseClick(d.btnDelete, Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
    });
    TfrmFieldsetup d;
    QString text = rgtest::captureMessageBox([&] { EXPECT_FALSE(d.FillList()); });
    EXPECT_EQ(text, QString::fromUtf8("程序发生错误！！！请于程序设计者联系"));
}
