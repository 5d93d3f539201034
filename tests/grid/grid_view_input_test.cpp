// Mouse and keyboard on the grid view offscreen, against real databases: deleting with
// confirmation, inserting, sizing columns and filtering through the header drop-downs.

#include "grid/customfilterdialog.h"
#include "grid/filterdropdown.h"
#include "grid/gridview.h"

#include "guiapp.h"
#include "testdb.h"

#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace rg;

namespace {

// Runs `act` on the next modal dialog of type D once it shows.
template <class D>
void onNextModal(std::function<void(D&)> act) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [poll, act] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) return act(*d);
        QTimer::singleShot(5, *poll);
    };
    QTimer::singleShot(0, *poll);
}

struct BoxSeen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int count = 0;
};

void answerNextBox(QMessageBox::StandardButton button, BoxSeen& seen) {
    onNextModal<QMessageBox>([button, &seen](QMessageBox& box) {
        seen.title = box.windowTitle();
        seen.text = box.text();
        seen.icon = box.icon();
        ++seen.count;
        box.button(button)->click();
    });
}

// A grid with its view, the commands' errors collected instead of shown.
struct ViewFixture {
    QApplication& app = guiApp();  // before any widget
    TdxDBGrid grid;
    TdxDBGridView view{grid};
    std::vector<std::string> errors;
    explicit ViewFixture(DataSet& ds) {
        grid.SetDataSet(&ds);
        grid.ShowRowFooter = grid.ShowGroupPanel = grid.ShowSummaryFooter = true;
        grid.CreateColumnsForFields(ds);
        view.resize(640, 360);
        view.setCommandGuard([this](const std::function<void()>& command) {
            try {
                command();
            } catch (const std::exception& e) {
                errors.push_back(e.what());
            }
        });
    }
    TdxDBGridColumn& col(const char* field) { return *grid.ColumnByFieldName(field); }
    // Focuses the data row of a record found by its first field's display text.
    void focusRecord(const std::string& key) {
        for (const VisibleRow& r : grid.VisibleRows())
            if (r.row.isData() && r.footer < 0 && grid.CellText(r.row, grid.Columns(0)) == key) return grid.SetFocusedRow(r.row);
        FAIL() << "no row " << key;
    }
    void ctrlDelete() {
        QTest::keyClick(&view, Qt::Key_Delete, Qt::ControlModifier);
        QCoreApplication::processEvents();
    }
};

int countRows(Connection& conn, const std::string& select) {
    DataSet ds(&conn);
    ds.SetCommandText(select);
    ds.Open();
    return ds.RecordCount();
}

TdxFilterDropDown* openDropDown(ViewFixture& f, const char* field) {
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, f.view.filterButtonRect(f.col(field)).center());
    for (auto* d : f.view.findChildren<TdxFilterDropDown*>())
        if (d->isVisible()) return d;
    return nullptr;
}

QStringList entries(TdxFilterDropDown* d) {
    QStringList out;
    for (int i = 0; i < d->list()->count(); ++i) out << d->list()->item(i)->text();
    return out;
}

void choose(TdxFilterDropDown* d, const QString& entry) {
    QListWidget* list = d->list();
    const auto found = list->findItems(entry, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << entry.toStdString();
    list->scrollToItem(found[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

TEST(GridViewInput, CtrlDeleteAsksThenDeletesFromTheFileKeepingGroupsOpen) {
    TestDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    ViewFixture f(db.ds);
    BoxSeen seen;
    // Without a key field the grid is read-only: nothing is asked.
    f.view.setFocus();
    f.ctrlDelete();
    f.grid.SetKeyField("id");
    ASSERT_TRUE(f.grid.GroupColumn(f.col("region"), 0));
    f.grid.ExpandAll();

    // On a group row: nothing.
    answerNextBox(QMessageBox::Cancel, seen);
    f.grid.SetFocusedRow(f.grid.Top(1));
    f.ctrlDelete();
    QTest::qWait(30);
    EXPECT_EQ(seen.count, 0);

    // Cancel keeps the record.
    f.focusRecord("3");
    f.ctrlDelete();
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(seen.title, "Confirm");
    EXPECT_EQ(seen.text, "Delete record?");
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(countRows(db.conn, "select * from t"), 5);
    EXPECT_EQ(f.grid.DataRowCount(), 5);

    // OK deletes it from the file; the groups stay open and the focus moves on.
    answerNextBox(QMessageBox::Ok, seen);
    f.ctrlDelete();
    EXPECT_EQ(seen.count, 2);
    EXPECT_TRUE(f.errors.empty());
    EXPECT_EQ(countRows(db.conn, "select * from t where id = 3"), 0);
    EXPECT_EQ(f.grid.DataRowCount(), 4);
    for (int i = 0; i < f.grid.TopCount(); ++i) EXPECT_TRUE(f.grid.Expanded(f.grid.Top(i)));
    EXPECT_TRUE(f.grid.FocusedRow().isData());
    EXPECT_EQ(f.grid.RecordOf(f.grid.FocusedRow()), db.ds.RecNo());
}

TEST(GridViewInput, PostgreSQLRefusesADeleteAndTheRowStays) {
    const char* pg = std::getenv("RG_TEST_PG");
    ASSERT_TRUE(pg && *pg) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    Connection conn;
    conn.SetConnectionString(pg);
    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("reset_grid_orders");
    ds.Open();
    ds.Close();
    ds.SetCommandType(CommandType::cmdTable);
    ds.SetCommandText("grid_regions");
    ds.Open();
    ViewFixture f(ds);
    f.grid.SetKeyField("name");
    f.view.setFocus();
    BoxSeen seen;

    // 华北 still has orders: the foreign key refuses, the message reaches the user.
    f.focusRecord("华北");
    answerNextBox(QMessageBox::Ok, seen);
    f.ctrlDelete();
    ASSERT_EQ(f.errors.size(), 1u);
    EXPECT_NE(f.errors[0].find("foreign key"), std::string::npos) << f.errors[0];
    EXPECT_EQ(f.grid.DataRowCount(), 3);
    EXPECT_EQ(countRows(conn, "select * from grid_regions"), 3);

    f.focusRecord("西北");
    answerNextBox(QMessageBox::Ok, seen);
    f.ctrlDelete();
    EXPECT_EQ(f.errors.size(), 1u);
    EXPECT_EQ(f.grid.DataRowCount(), 2);
    EXPECT_EQ(countRows(conn, "select * from grid_regions where name = '西北'"), 0);
}

TEST(GridViewInput, InsertShowsANewRecordThatUpOrLeavingDrops) {
    TestDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    ViewFixture f(db.ds);
    f.view.setFocus();
    QTest::keyClick(&f.view, Qt::Key_Insert);
    EXPECT_EQ(db.ds.GetState(), DataSet::State::Browse);  // read-only without a key field

    f.grid.SetKeyField("id");
    f.focusRecord("2");
    QTest::keyClick(&f.view, Qt::Key_Insert);
    EXPECT_EQ(db.ds.GetState(), DataSet::State::Insert);
    EXPECT_EQ(f.view.newRecordLine(), 1);  // before the focused row
    f.view.grab().save("/tmp/grid-insert.png");
    QTest::keyClick(&f.view, Qt::Key_Up);
    EXPECT_EQ(db.ds.GetState(), DataSet::State::Browse);
    EXPECT_EQ(f.view.newRecordLine(), -1);
    EXPECT_EQ(f.grid.CellText(f.grid.FocusedRow(), f.col("id")), "2");

    QTest::keyClick(&f.view, Qt::Key_Insert);
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&f.view, &leave);
    EXPECT_EQ(db.ds.GetState(), DataSet::State::Browse);
    EXPECT_EQ(countRows(db.conn, "select * from t"), 5);
}

TEST(GridViewInput, DraggingAHeaderEdgeSizesTheColumn) {
    TestDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    ViewFixture f(db.ds);
    f.grid.SetKeyField("id");
    QWidget* vp = f.view.viewport();
    TdxDBGridColumn& city = f.col("city");
    const QRect r = f.view.headerRect(city);
    // Hovering, no button held (QTest would only move the system cursor).
    QMouseEvent hover(QEvent::MouseMove, QPointF(r.right(), r.center().y()), vp->mapToGlobal(QPointF(r.right(), r.center().y())),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &hover);
    EXPECT_EQ(vp->cursor().shape(), Qt::SplitHCursor);
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(r.right(), r.center().y()));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(r.right() + 40, r.center().y()));
    EXPECT_EQ(city.Width(), 140);
    EXPECT_EQ(city.Sorted(), TdxTreeListColumnSort::csNone);  // no click on the header
    EXPECT_EQ(f.view.headerRect(f.col("amount")).left(), r.left() + 140);
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(r.left() + 140, r.center().y()));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(r.left() - 500, r.center().y()));
    EXPECT_GE(city.Width(), 4);  // never narrower than a sliver
}

TEST(GridViewInput, HeaderDropDownsCustomFilterAndTheStatusStrip) {
    TestDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    ViewFixture f(db.ds);
    f.grid.SetKeyField("id");
    EXPECT_EQ(f.view.filterStatusHeight(), 0);

    TdxFilterDropDown* d = openDropDown(f, "region");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(entries(d), (QStringList{"(All)", "(Custom...)", "华北", "华东", "华南"}));
    choose(d, "华东");
    EXPECT_EQ(f.grid.DataRowCount(), 2);
    EXPECT_GT(f.view.filterStatusHeight(), 0);
    f.view.grab().save("/tmp/grid-filtered.png");

    // The list offers what the loaded rows hold, with the current choice selected.
    d = openDropDown(f, "region");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(entries(d), (QStringList{"(All)", "(Custom...)", "华东"}));
    EXPECT_EQ(d->list()->currentRow(), 2);
    d->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // (Custom...): amount < 10 OR amount > 15, within 华东.
    onNextModal<TCustomFilterDialog>([](TCustomFilterDialog& dialog) {
        dialog.cbOperator1->setCurrentText("is less than");
        dialog.cbValue1->setEditText("10");
        dialog.rbOr->setChecked(true);
        dialog.cbOperator2->setCurrentText("is greater than");
        dialog.cbValue2->setEditText("15");
        dialog.accept();
    });
    choose(openDropDown(f, "amount"), "(Custom...)");
    EXPECT_EQ(f.grid.DataRowCount(), 1);
    EXPECT_EQ(f.grid.Filter.DisplayText(), "region = '华东' AND (amount < 10 OR amount > 15)");
    f.view.grab().save("/tmp/grid-custom-filter.png");

    // A value the field cannot take: the message, and the filter as it was.
    onNextModal<TCustomFilterDialog>([](TCustomFilterDialog& dialog) {
        dialog.cbValue1->setEditText("abc");
        dialog.accept();
    });
    choose(openDropDown(f, "amount"), "(Custom...)");
    ASSERT_EQ(f.errors.size(), 1u);
    EXPECT_EQ(f.errors[0], "'abc' is not a valid number");
    EXPECT_EQ(f.grid.DataRowCount(), 1);

    // The strip's button removes the whole filter.
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {}, f.view.filterClearRect().center());
    EXPECT_EQ(f.grid.DataRowCount(), 5);
    EXPECT_EQ(f.view.filterStatusHeight(), 0);
    EXPECT_TRUE(f.grid.Filter.Empty());
}
