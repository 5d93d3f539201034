#include "gridsetup/ui/summaryitemsetup.h"

#include "common/ui/commandguard.h"
#include "grid/grid.h"
#include "grid/summaryrules.h"
#include "gridsetup/ui/dialogutil.h"
#include "gridsetup/ui/showassetup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>

namespace rg {

namespace {

constexpr TdxSummaryType kKindOfPosition[] = {
    TdxSummaryType::cstNone,  TdxSummaryType::cstSum, TdxSummaryType::cstAvg,
    TdxSummaryType::cstCount, TdxSummaryType::cstMax, TdxSummaryType::cstMin,
};
constexpr const char* kKindTexts[] = {"无", "求和", "求平均", "总数", "最大值", "最小值"};
constexpr int kPositions = sizeof(kKindOfPosition) / sizeof(kKindOfPosition[0]);

QPushButton* makeButton(QWidget* parent, const char* name, const char* text, int l, int t, int w,
                        int h) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(name);
    b->setGeometry(l, t, w, h);
    b->setAutoDefault(false);
    return b;
}

QComboBox* makeCombo(QWidget* parent, const char* name, int l, int t, int w, int h) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true); // typing is allowed, but only the selected position is read
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setGeometry(l, t, w, h);
    return c;
}

// The dialog works on the grid's first summary group, its default and only one.
TdxDBGridSummaryItems& firstGroupItems(TdxDBGrid& grid) {
    return grid.SummaryGroups()[0].SummaryItems;
}

struct ListUpdate {
    explicit ListUpdate(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~ListUpdate() { flag_ = old_; }
    bool& flag_;
    bool old_;
};

// "字段 — 汇总方式": the summarised field's caption and the kind as the kind box names it.
QString lineText(const TdxDBGrid& grid, const TdxDBGridSummaryItem& item) {
    const TdxDBGridColumn* c = item.SummaryField().empty()
                                   ? grid.ColumnByName(item.ColumnName())
                                   : grid.ColumnByFieldName(item.SummaryField());
    const std::string field = c ? c->Caption() : item.SummaryField();
    const int position = positionOfSummaryKind(item.SummaryType());
    return QString::fromStdString(field) + QStringLiteral(" — ") +
           QString::fromUtf8(kKindTexts[position]) +
           (InGroupRow(item) ? Tfrusummarysetup::tr("（分组行）") : QString());
}

} // namespace

TdxSummaryType summaryKindOfPosition(int position) {
    return position >= 0 && position < kPositions ? kKindOfPosition[position]
                                                  : TdxSummaryType::cstNone;
}

int positionOfSummaryKind(TdxSummaryType kind) {
    for (int i = 0; i < kPositions; ++i)
        if (kKindOfPosition[i] == kind)
            return i;
    return -1;
}

Tfrusummarysetup::Tfrusummarysetup(QWidget* parent) : QDialog(parent) {
    setupDialogFrame(this, "frusummarysetup", tr("汇总方式设置"), 431, 332);

    GroupBox1 = new QGroupBox(QString::fromUtf8("会总条目列表"), this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 8, 249, 289);
    lstSummaryItem = new QListWidget(GroupBox1);
    lstSummaryItem->setObjectName("lstSummaryItem");
    lstSummaryItem->setGeometry(8, 24, 233, 217);
    btnDelete = makeButton(GroupBox1, "btnDelete", "删除", 88, 256, 57, 25);

    GroupBox2 = new QGroupBox(QString::fromUtf8("会总条目信息"), this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(264, 8, 161, 289);
    Label1 = placeLabel(GroupBox2, "Label1", tr("会总字段名称"), 8, 32);
    fieldlist = makeCombo(GroupBox2, "fieldlist", 8, 56, 145, 21);
    lbl = placeLabel(GroupBox2, "lbl", tr("会总方式"), 8, 88);
    summarytype = makeCombo(GroupBox2, "summarytype", 8, 112, 145, 21);
    for (const char* text : kKindTexts)
        summarytype->addItem(QString::fromUtf8(text));
    summarytype->setCurrentIndex(-1);
    chkGroupRow = new QCheckBox(tr("显示在分组行"), GroupBox2);
    chkGroupRow->setObjectName("chkGroupRow");
    chkGroupRow->setGeometry(8, 144, 145, 17);
    btnadd = makeButton(GroupBox2, "btnadd", "添加", 48, 256, 65, 25);

    Button2 = makeButton(this, "Button2", "关闭", 200, 304, 67, 25);
    btnShowAs = makeButton(this, "btnShowAs", "显示方式…", 336, 304, 89, 25);

    setTabOrder(lstSummaryItem, btnDelete);
    setTabOrder(btnDelete, btnadd);
    setTabOrder(btnadd, summarytype);
    setTabOrder(summarytype, fieldlist);
    setTabOrder(fieldlist, chkGroupRow);
    setTabOrder(chkGroupRow, Button2);
    setTabOrder(Button2, btnShowAs);
    lstSummaryItem->setFocus();

    // A click on the current line re-shows it; a change of line by mouse or keys shows the new
    // one. Changes made by the dialog itself (refilling, deleting) show nothing.
    auto select = [this] {
        if (!updatingList_ && selectedRow(lstSummaryItem) >= 0)
            guardCommand([this] { summarytypeSelect(); });
    };
    connect(lstSummaryItem, &QListWidget::itemClicked, this, select);
    connect(lstSummaryItem, &QListWidget::itemSelectionChanged, this, select);
    connect(btnadd, &QPushButton::clicked, this,
            [this] { guardCommand([this] { btnaddClick(); }); });
    connect(btnDelete, &QPushButton::clicked, this,
            [this] { guardCommand([this] { btnDeleteClick(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(btnShowAs, &QPushButton::clicked, this, [this] {
        guardCommand([this] {
            if (!Grid)
                return;
            TfrmShowAs dialog(this, *Grid);
            dialog.exec();
        });
    });
}

bool Tfrusummarysetup::FillLists() {
    if (!Grid) {
        lstSummaryItem->clear();
        showMissingReference(this);
        close();
        return false;
    }
    fillItemList();
    fieldlist->clear();
    for (int i = 0; i < Grid->ColumnCount(); ++i)
        fieldlist->addItem(fieldEntryText(Grid->Columns(i).Caption(), Grid->Columns(i).FieldName()),
                           QString::fromStdString(Grid->Columns(i).FieldName()));
    fieldlist->setCurrentIndex(-1);
    return true;
}

void Tfrusummarysetup::fillItemList() {
    ListUpdate guard(updatingList_);
    lstSummaryItem->clear();
    const auto& items = firstGroupItems(*Grid);
    for (int i = 0; i < items.Count(); ++i)
        lstSummaryItem->addItem(lineText(*Grid, items.Items(i)));
}

void Tfrusummarysetup::AddSummaryItem(int column, int kindPosition, bool inGroupRow) {
    DefineSummary(*Grid, Grid->Columns(column), summaryKindOfPosition(kindPosition),
                  inGroupRow ? SummaryPlace::GroupRow : SummaryPlace::Footer);
}

void Tfrusummarysetup::DeleteSummaryItem(int line) {
    // The grid's recomputation after the removal may fail; the list follows the grid anyway.
    const auto refill = qScopeGuard([this] { fillItemList(); });
    firstGroupItems(*Grid).Delete(line);
}

void Tfrusummarysetup::summarytypeSelect() {
    int line = selectedRow(lstSummaryItem);
    const auto& item = firstGroupItems(*Grid).Items(line);
    // Show the field as the selected entry, so that what the box shows is what "添加" reads.
    QString field = QString::fromStdString(item.SummaryField());
    int entry = fieldlist->findData(field, Qt::UserRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (entry >= 0)
        fieldlist->setCurrentIndex(entry);
    else {
        fieldlist->setCurrentIndex(-1);
        fieldlist->setEditText(field);
    }
    int position = positionOfSummaryKind(item.SummaryType());
    if (position >= 0)
        summarytype->setCurrentIndex(position);
    chkGroupRow->setChecked(InGroupRow(item));
}

void Tfrusummarysetup::btnaddClick() {
    // A refused summary changes nothing, but a grid that fails to compute an accepted one
    // keeps it: the list shows what the grid holds either way.
    auto refill = qScopeGuard([this] { fillItemList(); });
    AddSummaryItem(fieldlist->currentIndex(), summarytype->currentIndex(),
                   chkGroupRow->isChecked());
    refill.dismiss();
    FillLists();
}

void Tfrusummarysetup::btnDeleteClick() {
    DeleteSummaryItem(selectedRow(lstSummaryItem));
}

void Tfrusummarysetup::Button2Click() {
    close();
}

void RunSummaryDialog(QWidget* parent, TdxDBGrid& grid) {
    Tfrusummarysetup dialog(parent);
    dialog.Grid = &grid;
    if (dialog.FillLists())
        dialog.exec();
}

} // namespace rg
