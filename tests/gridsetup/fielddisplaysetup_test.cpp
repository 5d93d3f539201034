#include "gridsetup/ui/fielddisplaysetup.h"

#include "fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using rg::DataEvent;
using rg::Tfrmdisplaysetup;

namespace {

// Clicks list entry `row` as a user would: the press moves the focus first.
void clickRow(QListWidget* list, int row) {
    QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

void typeCaption(Tfrmdisplaysetup& d, const QString& text) {
    d.txtdisplay->setFocus(Qt::MouseFocusReason);
    d.txtdisplay->selectAll();
    d.txtdisplay->insert(text); // as typed; QTest cannot type Chinese keys
}

struct GridChanges : rg::GridListener {
    explicit GridChanges(rg::TdxDBGrid& g) : grid(g) { grid.addListener(this); }
    ~GridChanges() override { grid.removeListener(this); }
    void gridChanged() override { ++count; }
    rg::TdxDBGrid& grid;
    int count = 0;
};

} // namespace

TEST(FieldCaptions, MissingDataSetShowsMessageAndListsNothing) {
    Tfrmdisplaysetup d;
    d.lstField->addItem("stale");
    bool filled = true;
    QString text = rgtest::captureMessageBox([&] { filled = d.FillList(); });
    EXPECT_FALSE(filled);
    EXPECT_EQ(text, QString::fromUtf8("程序发生错误！！！请于程序设计者联系"));
    EXPECT_EQ(d.lstField->count(), 0);
}

TEST(FieldCaptions, EditsLabelsOfTheSelectedField) {
    rgtest::SalesDb db;
    rgtest::ErrorLog errors;
    rgtest::EventCounter layout(db.dataset, DataEvent::LayoutChanged);
    Tfrmdisplaysetup d;
    d.DataSet = &db.dataset;
    ASSERT_TRUE(d.FillList());
    ASSERT_EQ(d.lstField->count(), 3);
    EXPECT_EQ(d.lstField->item(1)->text(), "region");
    rgtest::showActive(&d);

    // A field never captioned shows its field name.
    clickRow(d.lstField, 1);
    EXPECT_EQ(d.txtdisplay->text(), "region");

    // The field name typed as its own caption stores no label and reports no change.
    typeCaption(d, "region");
    clickRow(d.lstField, 2);
    EXPECT_EQ(db.dataset.Fields(1).DisplayLabel(), "");
    EXPECT_EQ(layout.count, 0);
    EXPECT_EQ(d.txtdisplay->text(), "amount");

    // Leaving the box applies to the field it was typed for, before the clicked one shows.
    typeCaption(d, QString::fromUtf8("金额"));
    clickRow(d.lstField, 0);
    EXPECT_EQ(db.dataset.Fields(2).DisplayLabel(), "金额");
    EXPECT_EQ(db.dataset.Fields(0).DisplayLabel(), "");
    EXPECT_EQ(d.txtdisplay->text(), "id");
    EXPECT_EQ(layout.count, 1);

    // Tabbing away from the box applies too; the emptied box is left behind.
    typeCaption(d, QString::fromUtf8("编号"));
    QTest::keyClick(d.txtdisplay, Qt::Key_Tab);
    EXPECT_EQ(db.dataset.Fields(0).DisplayLabel(), "编号");
    EXPECT_EQ(d.txtdisplay->text(), "");

    // Leaving it empty clears the label again.
    clickRow(d.lstField, 2);
    EXPECT_EQ(d.txtdisplay->text(), QString::fromUtf8("金额"));
    typeCaption(d, "");
    d.txtdisplay->clear();
    d.Button2->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(db.dataset.Fields(2).DisplayLabel(), "");
    EXPECT_TRUE(errors.messages.isEmpty());
}

TEST(FieldCaptions, LeavingWithoutSelectionReportsAndKeepsText) {
    rgtest::SalesDb db;
    rgtest::ErrorLog errors;
    Tfrmdisplaysetup d;
    d.DataSet = &db.dataset;
    ASSERT_TRUE(d.FillList());
    rgtest::showActive(&d);
    // Tabbing into the list makes an entry current in Qt, but chooses none.
    d.lstField->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(d.txtdisplay->text(), "");
    typeCaption(d, "x");
    d.Button2->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_EQ(errors.messages[0], "List index out of bounds (-1)");
    EXPECT_EQ(d.txtdisplay->text(), "x");
    for (int i = 0; i < db.dataset.FieldCount(); ++i)
        EXPECT_EQ(db.dataset.Fields(i).DisplayLabel(), "");
}

TEST(FieldCaptions, ReusedDialogRebuildsItsList) {
    rgtest::SalesDb db;
    Tfrmdisplaysetup d;
    d.DataSet = &db.dataset;
    ASSERT_TRUE(d.FillList());
    db.dataset.Fields(1).SetDisplayLabel("地区");

    // The second opening shows a fresh list; the edit box keeps what it had.
    d.txtdisplay->setText("left over");
    rgtest::onNextModal([&](QWidget* w) {
        ASSERT_EQ(w, &d);
        EXPECT_EQ(d.focusWidget(), d.Button2);
        EXPECT_EQ(d.lstField->count(), 3);
        EXPECT_EQ(d.txtdisplay->text(), "left over");
        clickRow(d.lstField, 1);
        EXPECT_EQ(d.txtdisplay->text(), QString::fromUtf8("地区"));
        QTest::mouseClick(d.Button2, Qt::LeftButton);
    });
    d.ShowFor(&db.dataset);
    EXPECT_FALSE(d.isVisible());
}

TEST(FieldCaptions, GridFollowsCaptions) {
    rgtest::SalesGrid g;
    rgtest::ErrorLog errors;
    g.groupByRegion();
    auto& region = *g.grid.ColumnByFieldName("region");
    ASSERT_EQ(g.grid.GroupRowText(g.grid.Top(0)), "region : east ");
    Tfrmdisplaysetup d;
    d.DataSet = &g.dataset;
    ASSERT_TRUE(d.FillList());
    rgtest::showActive(&d);

    // Its own name as caption: the grid hears nothing and reloads nothing.
    GridChanges changes(g.grid);
    clickRow(d.lstField, 1);
    typeCaption(d, "region");
    clickRow(d.lstField, 0);
    EXPECT_EQ(region.Caption(), "region");
    EXPECT_EQ(changes.count, 0);

    // A real caption reloads with the expanded groups kept and the new text in them.
    clickRow(d.lstField, 1);
    typeCaption(d, QString::fromUtf8("地区"));
    clickRow(d.lstField, 2);
    EXPECT_EQ(region.Caption(), "地区");
    EXPECT_EQ(g.grid.GroupRowText(g.grid.Top(0)), "地区 : east ");
    EXPECT_TRUE(g.allTopExpanded());
    EXPECT_EQ(g.grid.DataRowCount(), 6);
    EXPECT_TRUE(errors.messages.isEmpty());
}
