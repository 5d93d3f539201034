#include "gridsetup/ui/summaryitemsetup.h"

#include "fixture.h"
#include "setup/reportdefinition.h"
#include "testdb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using rg::TdxSummaryType;
using rg::Tfrusummarysetup;

namespace {

rg::TdxDBGridSummaryItems& items(rg::TdxDBGrid& g) {
    return g.DefaultGroup().SummaryItems;
}

void clickLine(Tfrusummarysetup& d, int line) {
    QRect r = d.lstSummaryItem->visualItemRect(d.lstSummaryItem->item(line));
    QTest::mouseClick(d.lstSummaryItem->viewport(), Qt::LeftButton, {}, r.center());
}

void add(Tfrusummarysetup& d, int field, int kind) {
    d.fieldlist->setCurrentIndex(field);
    d.summarytype->setCurrentIndex(kind);
    QTest::mouseClick(d.btnadd, Qt::LeftButton);
}

// Goods with a text name (captioned "产品"), numbers held as text, a real price, a
// Boolean and a binary column, shown as the main window shows a data source, keyed by id.
struct GoodsGrid {
    TestDb db{R"(
create table goods(id integer primary key, name text, qty text, price real, ok boolean, pic blob);
insert into goods values (1, '茶', '3', 1.5, 1, x'00ff'), (2, '米', '12', 2, 0, null), (3, '茶', '5', 4, 1, x'01');
)"};
    rg::TdxDBGrid grid;
    GoodsGrid() {
        db.open("select * from goods");
        grid.SetDataSet(&db.ds);
        rg::BuildGridColumns(grid);
        db.ds.FieldByName("name").SetDisplayLabel("产品");
        grid.SetKeyField("id");
    }
    ~GoodsGrid() { grid.SetDataSet(nullptr); }
    rg::TdxDBGridColumn& column(const char* field) { return *grid.ColumnByFieldName(field); }
    void groupByName() { ASSERT_TRUE(grid.GroupColumn(column("name"), 0)); }
};

enum Field { kId, kName, kQty, kPrice, kOk, kPic };
enum Kind { kNone, kSum, kAvg, kCount, kMax, kMin };

QStringList lines(const Tfrusummarysetup& d) {
    QStringList texts;
    for (int i = 0; i < d.lstSummaryItem->count(); ++i)
        texts << d.lstSummaryItem->item(i)->text();
    return texts;
}

} // namespace

TEST(SummaryDialog, EveryEntryMeansTheKindItNames) {
    const TdxSummaryType expected[] = {TdxSummaryType::cstNone, TdxSummaryType::cstSum,
                                       TdxSummaryType::cstAvg,  TdxSummaryType::cstCount,
                                       TdxSummaryType::cstMax,  TdxSummaryType::cstMin};
    Tfrusummarysetup d;
    const char* texts[] = {"无", "求和", "求平均", "总数", "最大值", "最小值"};
    ASSERT_EQ(d.summarytype->count(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(d.summarytype->itemText(i), QString::fromUtf8(texts[i]));
        EXPECT_EQ(rg::summaryKindOfPosition(i), expected[i]);
        EXPECT_EQ(rg::positionOfSummaryKind(expected[i]), i);
    }
    EXPECT_EQ(rg::summaryKindOfPosition(-1), TdxSummaryType::cstNone);
    EXPECT_EQ(d.summarytype->currentIndex(), -1);
    QString text = rgtest::captureMessageBox([&] { EXPECT_FALSE(d.FillLists()); });
    EXPECT_EQ(text, QString::fromUtf8("程序发生错误！！！请于程序设计者联系"));
}

TEST(SummaryDialog, AddingAndSelectingItems) {
    rgtest::SalesGrid g;
    rgtest::ErrorLog errors;
    Tfrusummarysetup d;
    d.Grid = &g.grid;
    ASSERT_TRUE(d.FillLists());
    rgtest::showActive(&d);
    EXPECT_EQ(d.lstSummaryItem->count(), 0);
    ASSERT_EQ(d.fieldlist->count(), 3);
    EXPECT_EQ(d.fieldlist->itemText(2), "amount");

    // The same field twice: two items, the footer takes the last kind.
    add(d, 2, 1);
    add(d, 2, 3);
    EXPECT_EQ(lines(d), QStringList({"amount — 求和", "amount — 总数"}));
    EXPECT_EQ(d.fieldlist->count(), 3);
    ASSERT_EQ(items(g.grid).Count(), 2);
    const auto& first = items(g.grid).Items(0);
    EXPECT_EQ(first.ColumnName(), "dxDBGridColumn3");
    EXPECT_EQ(first.SummaryField(), "amount");
    EXPECT_EQ(first.SummaryType(), TdxSummaryType::cstSum);
    EXPECT_EQ(items(g.grid).Items(1).SummaryType(), TdxSummaryType::cstCount);
    auto& amount = *g.grid.ColumnByFieldName("amount");
    EXPECT_EQ(amount.SummaryFooterField(), "amount");
    EXPECT_EQ(amount.SummaryFooterType(), TdxSummaryType::cstCount);

    // An average survives: the item shows its own entry again when selected.
    add(d, 0, 2);
    EXPECT_EQ(items(g.grid).Items(2).SummaryType(), TdxSummaryType::cstAvg);
    d.fieldlist->setCurrentIndex(-1);
    d.summarytype->setCurrentIndex(-1);
    clickLine(d, 2);
    EXPECT_EQ(d.fieldlist->currentText(), "id");
    EXPECT_EQ(d.fieldlist->currentIndex(), 0);
    EXPECT_EQ(d.summarytype->currentIndex(), 2);
    clickLine(d, 0);
    EXPECT_EQ(d.fieldlist->currentText(), "amount");
    EXPECT_EQ(d.summarytype->currentIndex(), 1);

    // No kind selected means no summary: nothing is added.
    add(d, 1, -1);
    EXPECT_EQ(items(g.grid).Count(), 3);
    EXPECT_EQ(d.lstSummaryItem->count(), 3);
    EXPECT_TRUE(errors.messages.isEmpty());

    // Values come with the next load: grouping reloads and fills the footers. The column
    // has a sum and a count, so its footer says which it shows.
    g.groupByRegion();
    EXPECT_EQ(g.grid.SummaryFooterText(amount), "COUNT=6");
}

TEST(SummaryDialog, NothingSelectedReportsTheIndex) {
    rgtest::SalesGrid g;
    rgtest::ErrorLog errors;
    Tfrusummarysetup d;
    d.Grid = &g.grid;
    ASSERT_TRUE(d.FillLists());
    rgtest::showActive(&d);

    d.summarytype->setCurrentIndex(1);
    QTest::mouseClick(d.btnadd, Qt::LeftButton);
    QTest::mouseClick(d.btnDelete, Qt::LeftButton);
    ASSERT_EQ(errors.messages.size(), 2);
    EXPECT_EQ(errors.messages[0], "List index out of bounds (-1)");
    EXPECT_EQ(errors.messages[1], "List index out of bounds (-1)");
    EXPECT_EQ(items(g.grid).Count(), 0);
    EXPECT_EQ(d.lstSummaryItem->count(), 0);
    EXPECT_TRUE(d.isVisible());
    for (int i = 0; i < g.grid.ColumnCount(); ++i)
        EXPECT_EQ(g.grid.Columns(i).SummaryFooterType(), TdxSummaryType::cstNone);
}

TEST(SummaryDialog, DeletingTheMiddleLine) {
    rgtest::SalesGrid g;
    rgtest::ErrorLog errors;
    Tfrusummarysetup d;
    d.Grid = &g.grid;
    ASSERT_TRUE(d.FillLists());
    rgtest::showActive(&d);
    add(d, 0, 3); // count of id
    add(d, 2, 1); // sum of amount
    add(d, 2, 4); // max of amount
    clickLine(d, 1);
    QTest::mouseClick(d.btnDelete, Qt::LeftButton);
    EXPECT_TRUE(errors.messages.isEmpty());
    ASSERT_EQ(d.lstSummaryItem->count(), 2);
    ASSERT_EQ(items(g.grid).Count(), 2);
    EXPECT_EQ(items(g.grid).Items(0).SummaryType(), TdxSummaryType::cstCount);
    EXPECT_EQ(items(g.grid).Items(1).SummaryType(), TdxSummaryType::cstMax);
    // The footer kind is not touched by a deletion.
    EXPECT_EQ(g.grid.ColumnByFieldName("amount")->SummaryFooterType(), TdxSummaryType::cstMax);

    // The line that moved up stands for the item that moved up.
    clickLine(d, 1);
    EXPECT_EQ(d.summarytype->currentIndex(), 4);
    QTest::mouseClick(d.Button2, Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
}

TEST(SummaryDialog, SumsOverNonNumbersAreRefusedAndNothingChanges) {
    GoodsGrid g;
    rgtest::ErrorLog errors;
    Tfrusummarysetup d;
    d.Grid = &g.grid;
    ASSERT_TRUE(d.FillLists());
    rgtest::showActive(&d);
    add(d, kPrice, kSum);
    ASSERT_EQ(lines(d), QStringList({"price — 求和"}));

    const struct {
        Field field;
        Kind kind;
        const char* message;
    } refused[] = {
        {kName, kSum, "字段“产品”的值不是数字，不能求和。"},
        {kName, kAvg, "字段“产品”的值不是数字，不能求平均。"},
        {kOk, kSum, "字段“ok”的值不是数字，不能求和。"},
        {kPic, kAvg, "字段“pic”的值不是数字，不能求平均。"},
    };
    for (const auto& r : refused) {
        add(d, r.field, r.kind);
        ASSERT_FALSE(errors.messages.isEmpty());
        EXPECT_EQ(errors.messages.last(), QString::fromUtf8(r.message));
        EXPECT_EQ(items(g.grid).Count(), 1);
        EXPECT_EQ(lines(d), QStringList({"price — 求和"}));
        EXPECT_EQ(g.grid.Columns(r.field).SummaryFooterType(), TdxSummaryType::cstNone);
        // The dialog stays as the user left it.
        EXPECT_EQ(d.fieldlist->currentIndex(), r.field);
        EXPECT_EQ(d.summarytype->currentIndex(), r.kind);
    }
    EXPECT_EQ(errors.messages.size(), 4);

    // Texts that are all numbers are summed as numbers.
    add(d, kQty, kSum);
    EXPECT_EQ(errors.messages.size(), 4);
    EXPECT_EQ(lines(d), QStringList({"price — 求和", "qty — 求和"}));
    g.grid.ReloadRows();
    EXPECT_EQ(g.grid.SummaryFooterText(g.column("qty")), "20.00");
    EXPECT_EQ(g.grid.SummaryFooterText(g.column("price")), "7.50");
}

TEST(SummaryDialog, TextMinimumIsAllowedAndNoneTakesAColumnsSummaryAway) {
    GoodsGrid g;
    rgtest::ErrorLog errors;
    Tfrusummarysetup d;
    d.Grid = &g.grid;
    ASSERT_TRUE(d.FillLists());
    rgtest::showActive(&d);

    // A minimum of texts is the least text in code page order (茶 before 米), and nothing
    // is reported.
    add(d, kName, kMin);
    EXPECT_TRUE(errors.messages.isEmpty());
    EXPECT_EQ(g.grid.SummaryFooterText(g.column("name")), "MIN=茶");
    ASSERT_EQ(items(g.grid).Count(), 1);
    EXPECT_EQ(items(g.grid).Items(0).SummaryType(), TdxSummaryType::cstMin);
    EXPECT_EQ(g.column("name").SummaryFooterType(), TdxSummaryType::cstMin);
    EXPECT_EQ(lines(d), QStringList({"产品 — 最小值"}));

    // "无" takes the column's summary away: its item goes, its footer shows nothing, and
    // the grid goes on computing without a fault.
    const auto before = errors.messages.size();
    add(d, kName, kNone);
    EXPECT_EQ(items(g.grid).Count(), 0);
    EXPECT_TRUE(lines(d).isEmpty());
    EXPECT_EQ(g.column("name").SummaryFooterType(), TdxSummaryType::cstNone);
    EXPECT_FALSE(g.grid.SummaryFooterCellExists(g.column("name")));

    // Only the chosen column loses its items; the others keep theirs, in order.
    add(d, kPrice, kSum);
    add(d, kName, kCount);
    add(d, kPrice, kMax);
    EXPECT_EQ(lines(d), QStringList({"price — 求和", "产品 — 总数", "price — 最大值"}));
    add(d, kPrice, kNone);
    EXPECT_EQ(lines(d), QStringList({"产品 — 总数"}));
    ASSERT_EQ(items(g.grid).Count(), 1);
    EXPECT_EQ(items(g.grid).Items(0).SummaryField(), "name");
    EXPECT_EQ(g.column("price").SummaryFooterType(), TdxSummaryType::cstNone);
    g.groupByName();
    EXPECT_EQ(g.grid.SummaryFooterText(g.column("name")), "3");
    EXPECT_EQ(errors.messages.size(), before);

    // A selected line shows its field and kind for the next addition.
    clickLine(d, 0);
    EXPECT_EQ(d.fieldlist->currentText(), "产品 (name)");
    EXPECT_EQ(d.summarytype->currentIndex(), kCount);
}

TEST(SummaryDialog, GroupRowItemsNameNoColumnShowInTheGroupTextAndLeaveTheFooters) {
    GoodsGrid g;
    rgtest::ErrorLog errors;
    Tfrusummarysetup d;
    d.Grid = &g.grid;
    ASSERT_TRUE(d.FillLists());
    rgtest::showActive(&d);
    EXPECT_EQ(d.chkGroupRow->text(), QString::fromUtf8("显示在分组行"));
    EXPECT_FALSE(d.chkGroupRow->isChecked());
    g.groupByName();

    add(d, kPrice, kSum); // a footer item, as before
    d.chkGroupRow->setChecked(true);
    add(d, kId, kCount);
    add(d, kPrice, kMax);
    EXPECT_TRUE(errors.messages.isEmpty());
    EXPECT_EQ(lines(d),
              QStringList({"price — 求和", "id — 总数（分组行）", "price — 最大值（分组行）"}));
    ASSERT_EQ(items(g.grid).Count(), 3);
    EXPECT_EQ(items(g.grid).Items(1).ColumnName(), "");
    EXPECT_EQ(items(g.grid).Items(1).SummaryField(), "id");
    // The footers keep what the footer item set.
    EXPECT_EQ(g.column("id").SummaryFooterType(), TdxSummaryType::cstNone);
    EXPECT_EQ(g.column("price").SummaryFooterType(), TdxSummaryType::cstSum);

    g.grid.ReloadRows();
    ASSERT_EQ(g.grid.TopCount(), 2);
    EXPECT_EQ(g.grid.GroupRowText(g.grid.Top(0)), "产品 : 茶 (COUNT=2), (MAX=4.00)");
    EXPECT_EQ(g.grid.GroupRowText(g.grid.Top(1)), "产品 : 米 (COUNT=1), (MAX=2.00)");
    EXPECT_EQ(g.grid.SummaryFooterText(g.column("price")), "7.50");

    // Selecting a line shows where its item stands.
    clickLine(d, 0);
    EXPECT_FALSE(d.chkGroupRow->isChecked());
    clickLine(d, 2);
    EXPECT_TRUE(d.chkGroupRow->isChecked());
    EXPECT_EQ(d.fieldlist->currentText(), "price");

    // "无" with the box takes away the field's group row items only, and the refusal of a
    // sum over texts holds here too.
    add(d, kPrice, kNone);
    EXPECT_EQ(lines(d), QStringList({"price — 求和", "id — 总数（分组行）"}));
    EXPECT_EQ(g.column("price").SummaryFooterType(), TdxSummaryType::cstSum);
    add(d, kName, kSum);
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_EQ(errors.messages[0], QString::fromUtf8("字段“产品”的值不是数字，不能求和。"));
    EXPECT_EQ(items(g.grid).Count(), 2);
}
