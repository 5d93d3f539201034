// Mouse and keyboard on the grid view offscreen, against real databases: deleting with
// confirmation, inserting, sizing and fitting columns, copying rows, tooltips of cut texts,
// header double clicks and filtering through the header drop-downs.

#include "grid/ui/customfilterdialog.h"
#include "grid/ui/filterdropdown.h"
#include "grid/ui/gridview.h"

#include "qtapplication.h"
#include "testdb.h"
#include "testsupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QHelpEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace rg;

namespace {

// Runs `act` on the next modal dialog of type D once it shows.
template <class D> void onNextModal(std::function<void(D&)> act) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [poll, act] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget()))
            return act(*d);
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
    QApplication& app = rgtest::qtApp(); // before any widget
    TdxDBGrid grid;
    TdxDBGridView view{grid};
    std::vector<std::string> errors;
    explicit ViewFixture(DataSet& ds) {
        grid.SetDataSet(&ds);
        grid.SetShowRowFooter(true);
        grid.SetShowGroupPanel(true);
        grid.SetShowSummaryFooter(true);
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
            if (r.row.isData() && r.footer < 0 && grid.CellText(r.row, grid.Columns(0)) == key)
                return grid.SetFocusedRow(r.row);
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
    QTest::mouseClick(f.view.viewport(), Qt::LeftButton, {},
                      f.view.filterButtonRect(f.col(field)).center());
    for (auto* d : f.view.findChildren<TdxFilterDropDown*>())
        if (d->isVisible())
            return d;
    return nullptr;
}

QStringList entries(TdxFilterDropDown* d) {
    QStringList out;
    for (int i = 0; i < d->list()->count(); ++i)
        out << d->list()->item(i)->text();
    return out;
}

void choose(TdxFilterDropDown* d, const QString& entry) {
    QListWidget* list = d->list();
    const auto found = list->findItems(entry, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << entry.toStdString();
    list->scrollToItem(found[0]);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found[0]).center());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A double click through the window system, as a user's: press, release, then a second
// press that reaches the widget as a double click event only.
void windowDoubleClick(QWidget* w, const QPoint& pos) {
    QWindow* window = w->window()->windowHandle();
    QTest::mouseDClick(window, Qt::LeftButton, {}, window->mapFromGlobal(w->mapToGlobal(pos)));
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

    // On a group row: nothing. The question is modal, so it would have been asked and
    // answered within the key press; the answer waits for the next one.
    answerNextBox(QMessageBox::Cancel, seen);
    f.grid.SetFocusedRow(f.grid.Top(1));
    f.ctrlDelete();
    EXPECT_EQ(seen.count, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(f.grid.DataRowCount(), 5);

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
    for (int i = 0; i < f.grid.TopCount(); ++i)
        EXPECT_TRUE(f.grid.Expanded(f.grid.Top(i)));
    EXPECT_TRUE(f.grid.FocusedRow().isData());
    EXPECT_EQ(f.grid.RecordOf(f.grid.FocusedRow()), db.ds.RecNo());
}

TEST(GridViewInput, PostgreSQLRefusesADeleteAndTheRowStays) {
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    Connection conn;
    conn.SetConnectionString(pg);
    DataSet ds(&conn);
    ds.SetCommandType(CommandType::cmdStoredProc);
    ds.SetCommandText("reset_grid_orders");
    ds.SetProcedureMayWrite(true);
    ds.Open();
    ds.Close();
    ds.SetProcedureMayWrite(false);
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
    EXPECT_EQ(db.ds.GetState(), DataSet::State::Browse); // read-only without a key field

    f.grid.SetKeyField("id");
    f.focusRecord("2");
    QTest::keyClick(&f.view, Qt::Key_Insert);
    EXPECT_EQ(db.ds.GetState(), DataSet::State::Insert);
    EXPECT_EQ(f.view.newRecordLine(), 1); // before the focused row
    rgtest::savePicture(f.view, "grid-insert");
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
    QMouseEvent hover(QEvent::MouseMove, QPointF(r.right(), r.center().y()),
                      vp->mapToGlobal(QPointF(r.right(), r.center().y())), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &hover);
    EXPECT_EQ(vp->cursor().shape(), Qt::SplitHCursor);
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(r.right(), r.center().y()));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(r.right() + 40, r.center().y()));
    EXPECT_EQ(city.Width(), 140);
    EXPECT_EQ(city.Sorted(), TdxTreeListColumnSort::csNone); // no click on the header
    EXPECT_EQ(f.view.headerRect(f.col("amount")).left(), r.left() + 140);
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(r.left() + 140, r.center().y()));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(r.left() - 500, r.center().y()));
    EXPECT_GE(city.Width(), 4); // never narrower than a sliver
}

TEST(GridViewInput, HeaderDropDownsCustomFilterAndTheStatusStrip) {
    TestDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    ViewFixture f(db.ds);
    f.grid.SetKeyField("id");
    EXPECT_EQ(f.view.filterStatusHeight(), 0);

    TdxFilterDropDown* d = openDropDown(f, "region");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(entries(d), (QStringList{"(All)", "(Custom...)", "全选", "华北", "华东", "华南"}));
    choose(d, "华东");
    EXPECT_EQ(f.grid.DataRowCount(), 2);
    EXPECT_GT(f.view.filterStatusHeight(), 0);
    rgtest::savePicture(f.view, "grid-filtered");

    // The list offers what the loaded rows hold, with the current choice selected.
    d = openDropDown(f, "region");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(entries(d), (QStringList{"(All)", "(Custom...)", "全选", "华东"}));
    EXPECT_EQ(d->list()->currentRow(), 3);
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
    rgtest::savePicture(f.view, "grid-custom-filter");

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

TEST(GridViewInput, CtrlCCopiesTheFocusedRowOrAllRowsOfAFocusedGroup) {
    TestDb db(R"(
create table t(id integer primary key, region text, city text, amount real);
insert into t values (1, '华东', '上海', 10.5), (2, '华北', '北京', 20), (3, '华东', 'a	"b"', 7.25),
                     (4, '华北', null, 3);
)");
    db.open("select id, region, city, amount from t");
    ViewFixture f(db.ds);
    f.grid.SetKeyField("id");
    db.ds.FieldByName("city").SetDisplayLabel("城市");
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    f.view.setFocus();
    f.focusRecord("1");
    QTest::keyClick(&f.view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "id\tregion\t城市\tamount\n1\t华东\t上海\t10.5\n");

    // Grouped, the group column leaves the header row and leads every line; a group row
    // copies every record under it in the order shown, collapsed or not. A tab or quote
    // inside a cell is quoted, a leading tab defused as a spreadsheet would run it.
    ASSERT_TRUE(f.grid.GroupColumn(f.col("region"), 0));
    f.col("amount").SetSorted(TdxTreeListColumnSort::csDown);
    f.grid.SetFocusedRow(f.grid.Top(1)); // 华东, collapsed
    ASSERT_FALSE(f.grid.Expanded(f.grid.Top(1)));
    QTest::keyClick(&f.view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(),
              "region\tid\t城市\tamount\n华东\t1\t上海\t10.5\n华东\t3\t\"a\t\"\"b\"\"\"\t7.25\n");
    f.grid.SetFocusedRow(f.grid.Top(0)); // 华北: a null city is an empty cell
    QTest::keyClick(&f.view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "region\tid\t城市\tamount\n华北\t2\t北京\t20\n华北\t4\t\t3\n");
    EXPECT_TRUE(f.errors.empty());
}

TEST(GridViewInput, QuickHeaderClicksSortTwiceAndAnEdgeDoubleClickFitsTheColumn) {
    TestDb db(kRegionSales);
    db.open("select id, region, city, amount from t");
    ViewFixture f(db.ds);
    f.grid.SetKeyField("id");
    f.view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.view));
    QWidget* vp = f.view.viewport();
    using S = TdxTreeListColumnSort;

    // Two clicks each time: ascending then descending, and again.
    const QPoint city = f.view.headerRect(f.col("city")).center();
    windowDoubleClick(vp, city);
    EXPECT_EQ(f.col("city").Sorted(), S::csDown);
    windowDoubleClick(vp, city);
    EXPECT_EQ(f.col("city").Sorted(), S::csDown);

    // A group button likewise reverses its groups twice.
    ASSERT_TRUE(f.grid.GroupColumn(f.col("region"), 0));
    f.col("region").SetSorted(S::csDown);
    windowDoubleClick(vp, f.view.groupButtonRect(0).center());
    EXPECT_EQ(f.col("region").Sorted(), S::csDown);

    // A double click on the right edge fits the column and sorts nothing.
    f.col("amount").SetWidth(20);
    const QRect amount = f.view.headerRect(f.col("amount"));
    windowDoubleClick(vp, QPoint(amount.right(), amount.center().y()));
    EXPECT_EQ(f.col("amount").Width(), f.view.FitWidth(f.col("amount")));
    EXPECT_GT(f.col("amount").Width(), 20);
    EXPECT_EQ(f.col("amount").Sorted(), S::csNone);
    EXPECT_TRUE(f.errors.empty());
}

TEST(GridViewInput, CutTextsShowAMarkAndWholeInATooltipUntilTheColumnFits) {
    TestDb db(R"(
create table t(id integer primary key, region text, amount integer);
insert into t values (1, '华东', 9007199254740992), (2, '华东', 5), (3, '华北', 7);
)");
    db.open("select id, region, amount from t");
    ViewFixture f(db.ds);
    f.grid.SetKeyField("id");
    TdxDBGridColumn& amount = f.col("amount");
    TdxDBGridSummaryItem& item = f.grid.DefaultGroup().SummaryItems.Add();
    item.SetColumnName(amount.Name());
    item.SetSummaryType(TdxSummaryType::cstMax);
    amount.SetSummaryFooterType(TdxSummaryType::cstMax);
    ASSERT_TRUE(f.grid.GroupColumn(f.col("region"), 0));
    f.grid.ExpandAll();
    amount.SetWidth(80);
    f.view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.view));

    const QRect header = f.view.headerRect(amount);
    const int footerY = f.view.viewport()->height() - f.view.filterStatusHeight() -
                        f.view.summaryFooterHeight() / 2;
    const QPoint footer(header.center().x(), footerY);
    EXPECT_EQ(f.view.ClippedTextAt(footer), "MAX=9007199254740992.00");
    // Group footer lines: the second line of each group's block shows its maximum.
    int groupFooterLine = -1;
    const auto& rows = f.grid.VisibleRows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].footer == 0 &&
            f.grid.FooterCellText(rows[i].row, amount, 0) == "MAX=9007199254740992.00")
            groupFooterLine = static_cast<int>(i);
    ASSERT_GE(groupFooterLine, 0);
    const QPoint groupFooter(header.center().x(), f.view.headerRect(amount).bottom() + 1 +
                                                      groupFooterLine * f.view.rowHeight() +
                                                      f.view.rowHeight() / 2);
    EXPECT_EQ(f.view.ClippedTextAt(groupFooter), "MAX=9007199254740992.00");
    // A text that fits has no tooltip.
    f.col("id").SetWidth(100);
    EXPECT_EQ(f.view.ClippedTextAt(f.view.headerRect(f.col("id")).center()), "");

    // The tooltip event shows it.
    QHelpEvent help(QEvent::ToolTip, footer, f.view.viewport()->mapToGlobal(footer));
    QApplication::sendEvent(f.view.viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "MAX=9007199254740992.00");
    QToolTip::hideText();

    // Fitted, the widest text shows whole: nothing is cut, no tooltip is left.
    const int fit = f.view.FitWidth(amount);
    EXPECT_GE(fit, f.view.fontMetrics().horizontalAdvance("MAX=9007199254740992.00") + 8);
    amount.SetWidth(fit);
    EXPECT_EQ(f.view.ClippedTextAt(footer), "");
    EXPECT_EQ(f.view.ClippedTextAt(groupFooter), "");
    EXPECT_EQ(f.view.ClippedTextAt(f.view.headerRect(amount).center()), "");
    // Narrower by more than the spare pixel, the widest text is cut again.
    amount.SetWidth(fit - 2);
    EXPECT_EQ(f.view.ClippedTextAt(footer), "MAX=9007199254740992.00");
}
