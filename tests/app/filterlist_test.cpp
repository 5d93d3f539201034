// A header's filter list in the main window works as a spreadsheet's: values ticked in it
// keep the rows an SQL IN keeps, in memory and with the rows on the server, the blanks
// entry joins them, the search box narrows the list, each value tells its rows, and the
// condition is shown in the strip, saved and loaded again. The view stays where the user
// is through filters, sorts and reloads, and each click on a group's box toggles it.
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/ui/commandguard.h"
#include "export/listingexport.h"
#include "grid/filtercondition.h"
#include "grid/ui/filterdropdown.h"
#include "grid/ui/gridview.h"
#include "qtapp.h"
#include "setup/setup.h"
#include "testfiles.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <set>
#include <sstream>

using namespace rg;

namespace {

// 300 rows in seven regions, one of them null, the same text for SQLite and PostgreSQL.
const char* const kRows =
    "with recursive n(i) as (select 1 union all select i + 1 from n where i < 300) "
    "select i as id, case i % 7 when 0 then '华东' when 1 then '华北' when 2 then '华南' "
    "when 3 then '西南' when 4 then '东北' when 5 then '西北' end as region, "
    "i * 2 as amount from n";

struct Window {
    test::TempFolder setups;
    QStringList errors;
    MessageSink previousError;
    Tfrmquorvel w{nullptr, QString::fromStdString(setups.path().string()) + "/"};

    Window(const std::string& connectionString, bool onServer) {
        TSetup s((setups / "地区.ini").string());
        s.WriteServerSummaryEnabled(onServer ? "1" : "0");
        s.WriteConnString(connectionString);
        s.WriteCommandType("cmdText");
        s.WriteCommandText(kRows);
        s.WriteKeyField("id");
        s.WriteField("region", "地区");
        w.ListSavedSetups();
        w.resize(1000, 700);
        w.show();
        previousError = setErrorSink([this](const QString& m) { errors << m; });
        QTest::mouseClick(w.nvbar->Item(0)->linkWidget(), Qt::LeftButton);
    }
    ~Window() { setErrorSink(previousError); }
    TdxDBGrid& grid() { return *w.dxDBGrid; }
    TdxDBGridView& view() { return *qobject_cast<TdxDBGridView*>(w.gridView()); }

    TdxFilterDropDown* openList(const char* field) {
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {},
                          view().filterButtonRect(*grid().ColumnByFieldName(field)).center());
        for (auto* d : view().findChildren<TdxFilterDropDown*>())
            if (d->isVisible())
                return d;
        return nullptr;
    }
    // The ids of the rows shown, from the data lines of the grid's CSV listing
    // ("data,LEVEL,ID,...").
    std::set<std::string> shownIds() {
        std::istringstream csv(gridAsCsv(grid()));
        std::set<std::string> ids;
        std::string line;
        while (std::getline(csv, line)) {
            if (line.rfind("data,", 0) != 0)
                continue;
            const size_t id = line.find(',', 5) + 1;
            ids.insert(line.substr(id, line.find_first_of(",\r", id) - id));
        }
        return ids;
    }
    // The ids an SQL condition keeps, asked of the database itself.
    std::set<std::string> idsWhere(const std::string& condition) {
        DataSet ds(w.conn());
        ds.SetCommandText("select id from (" + std::string(kRows) + ") s where " + condition);
        ds.Open();
        std::set<std::string> ids;
        for (int r = 0; r < ds.RecordCount(); ++r)
            ids.insert(ds.value(r, 0).displayText());
        return ids;
    }
};

QListWidgetItem* item(TdxFilterDropDown* d, const QString& text) {
    const auto found = d->list()->findItems(text, Qt::MatchExactly);
    EXPECT_EQ(found.size(), 1) << text.toStdString();
    return found.value(0);
}

// A click on the tick box of an entry, where the list's style draws it.
void tick(TdxFilterDropDown* d, const QString& text) {
    QListWidget* list = d->list();
    QListWidgetItem* it = item(d, text);
    list->scrollToItem(it);
    QStyleOptionViewItem option;
    option.initFrom(list);
    option.rect = list->visualItemRect(it);
    option.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    option.text = it->text();
    const QRect box =
        list->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, list);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, box.center());
}

void pressOk(TdxFilterDropDown* d) {
    ASSERT_TRUE(d->okButton()->isEnabled());
    QTest::mouseClick(d->okButton(), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStringList shownEntries(TdxFilterDropDown* d) {
    QStringList out;
    for (int i = 0; i < d->list()->count(); ++i)
        if (!d->list()->item(i)->isHidden())
            out << d->list()->item(i)->text();
    return out;
}

// Ticks three regions and the blanks, then narrows by a search; checks the rows each time.
void tickThreeValues(Window& win) {
    ASSERT_TRUE(win.errors.isEmpty()) << win.errors.join("\n").toStdString();
    ASSERT_EQ(win.shownIds().size(), 300u);
    TdxFilterDropDown* d = win.openList("region");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(shownEntries(d),
              (QStringList{"(All)", "(Custom...)", "全选", "(Blanks)", "(NonBlanks)", "东北",
                           "华北", "华东", "华南", "西北", "西南"}));
    // Everything ticked, each value with its rows.
    EXPECT_EQ(d->allItem()->checkState(), Qt::Checked);
    EXPECT_EQ(item(d, "华东")->data(TdxFilterDropDown::CountRole).toString(), "42");
    EXPECT_EQ(item(d, "(Blanks)")->data(TdxFilterDropDown::CountRole).toString(), "43");
    rgtest::savePicture(*d, "filter-list");

    tick(d, "全选");
    EXPECT_EQ(d->allItem()->checkState(), Qt::Unchecked);
    EXPECT_FALSE(d->okButton()->isEnabled());
    for (const char* region : {"华东", "华南", "西北"})
        tick(d, QString::fromUtf8(region));
    EXPECT_EQ(d->allItem()->checkState(), Qt::PartiallyChecked);
    EXPECT_TRUE(d->isVisible()); // ticks leave the list open
    rgtest::savePicture(*d, "filter-list-ticked");
    pressOk(d);
    EXPECT_EQ(win.shownIds(), win.idsWhere("region in ('华东', '华南', '西北')"));
    EXPECT_EQ(win.grid().Filter.DisplayText(), "地区 IN ('华东', '华南', '西北')");
    EXPECT_GT(win.view().filterStatusHeight(), 0);

    // The list now holds what the rows hold, every entry ticked; the blanks join a value.
    d = win.openList("region");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(shownEntries(d),
              (QStringList{"(All)", "(Custom...)", "全选", "华东", "华南", "西北"}));
    win.grid().Filter.SetColumnFilter(*win.grid().ColumnByFieldName("region"), std::nullopt);
    d->close();
    d = win.openList("region");
    tick(d, "(NonBlanks)"); // every value unticked, the blanks left
    tick(d, "华北");
    pressOk(d);
    EXPECT_EQ(win.shownIds(), win.idsWhere("region = '华北' or region is null"));

    // The search narrows the list as one types; OK takes the ticked values shown.
    win.grid().Filter.SetColumnFilter(*win.grid().ColumnByFieldName("region"), std::nullopt);
    d = win.openList("region");
    QTest::sendKeyEvent(QTest::Click, d->search(), Qt::Key_unknown, QString::fromUtf8("西"),
                        Qt::NoModifier);
    EXPECT_EQ(shownEntries(d), (QStringList{"(All)", "(Custom...)", "全选", "西北", "西南"}));
    rgtest::savePicture(*d, "filter-list-search");
    QTest::keyClick(d->search(), Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(win.shownIds(), win.idsWhere("region in ('西北', '西南')"));

    // A click on a value's text still chooses it alone.
    d = win.openList("region");
    QListWidget* list = d->list();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(item(d, "西南")).center() + QPoint(30, 0));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(win.shownIds(), win.idsWhere("region = '西南'"));
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join("\n").toStdString();
}

} // namespace

TEST(FilterList, TickedValuesKeepTheRowsOfAnSqlInAndAreSaved) {
    qtApp();
    const std::string db = rgtest::makeSqliteFile("filterlist", "create table unused(x);");
    Window win(rgtest::builtin(db), false);
    ASSERT_FALSE(win.w.dataset()->ServerSide());
    tickThreeValues(win);

    // Saved in the setup and shown again after a load.
    win.grid().Filter.SetColumnFilter(*win.grid().ColumnByFieldName("region"), std::nullopt);
    TdxFilterDropDown* d = win.openList("region");
    tick(d, "全选");
    tick(d, "(Blanks)");
    tick(d, "华北");
    tick(d, "东北");
    pressOk(d);
    const std::set<std::string> ids = win.idsWhere("region in ('华北', '东北') or region is null");
    ASSERT_EQ(win.shownIds(), ids);
    const std::string file = (win.setups / "保存后.ini").string();
    win.w.SaveSetup(QString::fromStdString(file));
    Window again(rgtest::builtin(db), false);
    again.w.LoadSetup(QString::fromStdString(file));
    EXPECT_EQ(again.shownIds(), ids);
    EXPECT_EQ(again.grid().Filter.DisplayText(), win.grid().Filter.DisplayText());
}

TEST(FilterList, TickedValuesOnTheServerKeepTheRowsOfAnSqlIn) {
    qtApp();
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    Window win(pg, true);
    ASSERT_TRUE(win.w.dataset()->ServerSide());
    tickThreeValues(win);
}

namespace {

// The line of a row as the window shows it, -1 when not shown.
int lineOf(TdxDBGrid& g, RowHandle r) {
    const VisibleLines& lines = g.VisibleRows();
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].row == r && lines[i].footer < 0)
            return static_cast<int>(i);
    return -1;
}

RowHandle groupOf(TdxDBGrid& g, const std::string& text) {
    for (int i = 0; i < g.TopCount(); ++i)
        if (g.Top(i).isGroup() && g.GroupValueText(g.Top(i)) == text)
            return g.Top(i);
    return {};
}

// A point on a line's box, through the window system as a user's clicks come.
QPoint boxOf(Window& win, int line) {
    TdxDBGridView& v = win.view();
    return QPoint(TdxDBGridView::kIndent / 2, v.groupPanelHeight() + v.headerHeight() +
                                                  (line - v.topLine()) * v.rowHeight() +
                                                  v.rowHeight() / 2);
}

void windowClick(QWidget* w, const QPoint& pos, bool twice) {
    QWindow* window = w->window()->windowHandle();
    const QPoint at = window->mapFromGlobal(w->mapToGlobal(pos));
    if (twice)
        QTest::mouseDClick(window, Qt::LeftButton, {}, at);
    else
        QTest::mouseClick(window, Qt::LeftButton, {}, at);
}

// Grouped by region with 华北 open and one of its rows focused far down: a filter, a sort
// and a reload keep the group open and the row focused and in view; each click on a box
// toggles it, two clicks in a row included.
void viewStays(Window& win) {
    TdxDBGrid& g = win.grid();
    win.w.runCommand([&] { g.GroupColumn(*g.ColumnByFieldName("region"), 0); });
    RowHandle north = groupOf(g, "华北");
    ASSERT_TRUE(north.valid());
    g.SetExpanded(north, true);
    const RowHandle row = g.Child(north, 30);
    g.SetFocusedRow(row);
    const Value id = g.KeyValueOf(row);
    auto check = [&](const char* after) {
        SCOPED_TRACE(after);
        north = groupOf(g, "华北");
        ASSERT_TRUE(north.valid());
        EXPECT_TRUE(g.Expanded(north));
        EXPECT_EQ(g.KeyValueOf(g.FocusedRow()).displayText(), id.displayText());
        const int line = lineOf(g, g.FocusedRow());
        const int shown = (win.view().viewport()->height() - win.view().groupPanelHeight() -
                           win.view().headerHeight()) /
                          win.view().rowHeight();
        EXPECT_GE(line, win.view().topLine());
        EXPECT_LT(line, win.view().topLine() + shown);
    };
    win.w.runCommand([&] { SetFilterExpression(g, "amount > 20"); });
    check("a filter");
    win.w.runCommand([&] { g.SortByClick(*g.ColumnByFieldName("amount"), false); });
    check("a sort");
    win.w.runCommand([&] { g.ReloadRows(); });
    check("a reload");

    // The first group, collapsed: one click opens it, two in a row open and close it.
    const RowHandle first = g.Top(0);
    g.SetExpanded(north, false);
    win.view().verticalScrollBar()->setValue(0);
    QApplication::processEvents();
    ASSERT_FALSE(g.Expanded(first));
    windowClick(win.view().viewport(), boxOf(win, lineOf(g, first)), true);
    EXPECT_FALSE(g.Expanded(first));
    windowClick(win.view().viewport(), boxOf(win, lineOf(g, first)), false);
    EXPECT_TRUE(g.Expanded(g.Top(0)));
    EXPECT_TRUE(win.errors.isEmpty()) << win.errors.join("\n").toStdString();
}

} // namespace

TEST(ViewStays, FiltersSortsAndReloadsKeepTheOpenGroupAndTheRow) {
    qtApp();
    const std::string db = rgtest::makeSqliteFile("viewstays", "create table unused(x);");
    Window win(rgtest::builtin(db), false);
    viewStays(win);
}

TEST(ViewStays, OnTheServerFiltersSortsAndReloadsKeepTheOpenGroupAndTheRow) {
    qtApp();
    const std::string pg = rgtest::pgConnectionString();
    ASSERT_FALSE(pg.empty()) << "RG_TEST_PG is not set: run the tests through scripts/test.sh";
    Window win(pg, true);
    ASSERT_TRUE(win.w.dataset()->ServerSide());
    viewStays(win);
}
