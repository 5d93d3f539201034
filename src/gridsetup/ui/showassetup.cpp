#include "gridsetup/ui/showassetup.h"

#include "common/error.h"
#include "common/ui/commandguard.h"
#include "grid/grid.h"
#include "grid/showas.h"
#include "grid/summaryrules.h"
#include "gridsetup/ui/dialogutil.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace rg {
namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const char* text, QRect at) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(name);
    b->setGeometry(at);
    b->setAutoDefault(false);
    return b;
}

QComboBox* makeCombo(QWidget* parent, const char* name, QRect at) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setGeometry(at);
    return c;
}

// "字段 — 合计（分组行）": the item's field and kind.
std::string itemText(const TdxDBGrid& grid, const TdxDBGridSummaryItem& item) {
    const TdxDBGridColumn* c = grid.ColumnByFieldName(item.SummaryField());
    return (c ? c->Caption() : item.SummaryField()) + " — " +
           SummaryKindCaption(item.SummaryType()) + (InGroupRow(item) ? "（分组行）" : "");
}

} // namespace

TfrmShowAs::TfrmShowAs(QWidget* parent, TdxDBGrid& grid) : QDialog(parent), grid_(grid) {
    setupDialogFrame(this, "frmshowas", tr("显示方式与前 N 项"), 441, 372);

    grpShowAs = new QGroupBox(tr("显示方式"), this);
    grpShowAs->setObjectName("grpShowAs");
    grpShowAs->setGeometry(8, 8, 425, 177);
    lstShowItems = new QListWidget(grpShowAs);
    lstShowItems->setObjectName("lstShowItems");
    lstShowItems->setGeometry(8, 24, 257, 145);
    lblShowAs = placeLabel(grpShowAs, "lblShowAs", tr("显示为"), 276, 24);
    cmbShowAs = makeCombo(grpShowAs, "cmbShowAs", QRect(276, 48, 141, 22));
    for (const ShowAsMode& m : ShowAsModes())
        cmbShowAs->addItem(QString::fromUtf8(m.caption));
    btnShowAs = makeButton(grpShowAs, "btnShowAs", "设置", QRect(312, 144, 75, 25));

    grpTop = new QGroupBox(tr("前 N 项"), this);
    grpTop->setObjectName("grpTop");
    grpTop->setGeometry(8, 192, 425, 137);
    lblTopLevel = placeLabel(grpTop, "lblTopLevel", tr("分组层"), 8, 28);
    cmbTopLevel = makeCombo(grpTop, "cmbTopLevel", QRect(96, 24, 201, 22));
    lblTopCount = placeLabel(grpTop, "lblTopCount", tr("只显示前（0 为全部）"), 8, 60);
    spnTopCount = new QSpinBox(grpTop);
    spnTopCount->setObjectName("spnTopCount");
    spnTopCount->setRange(0, 100000);
    spnTopCount->setGeometry(160, 56, 81, 22);
    lblTopSummary = placeLabel(grpTop, "lblTopSummary", tr("按汇总"), 8, 92);
    cmbTopSummary = makeCombo(grpTop, "cmbTopSummary", QRect(96, 88, 201, 22));
    btnTop = makeButton(grpTop, "btnTop", "设置", QRect(312, 100, 75, 25));

    btnClose = makeButton(this, "btnClose", "关闭", QRect(184, 338, 75, 25));

    connect(lstShowItems, &QListWidget::itemSelectionChanged, this,
            [this] { guardCommand([this] { showItem(); }); });
    connect(cmbTopLevel, &QComboBox::currentIndexChanged, this,
            [this] { guardCommand([this] { showLevel(); }); });
    connect(btnShowAs, &QPushButton::clicked, this,
            [this] { guardCommand([this] { applyShowAs(); }); });
    connect(btnTop, &QPushButton::clicked, this, [this] { guardCommand([this] { applyTop(); }); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);
    fill();
}

void TfrmShowAs::fill() {
    const int line = selectedRow(lstShowItems);
    lstShowItems->clear();
    cmbTopSummary->clear();
    const TdxDBGridSummaryItems& items = grid_.DefaultGroup().SummaryItems;
    for (int i = 0; i < items.Count(); ++i) {
        const TdxDBGridSummaryItem& item = items.Items(i);
        const std::string text = itemText(grid_, item);
        lstShowItems->addItem(QString::fromStdString(
            text + (item.ShowAs() == ShowValuesAs::Value
                        ? std::string()
                        : std::string(" — ") + ShowAsInfo(item.ShowAs()).caption)));
        cmbTopSummary->addItem(QString::fromStdString(text));
    }
    if (line >= 0 && line < lstShowItems->count())
        lstShowItems->setCurrentRow(line);
    const int level = cmbTopLevel->currentIndex();
    const QSignalBlocker block(cmbTopLevel);
    cmbTopLevel->clear();
    for (int l = 0; l < grid_.GroupColumnCount(); ++l)
        cmbTopLevel->addItem(QString::fromStdString(grid_.GroupColumns(l).Caption()));
    cmbTopLevel->setCurrentIndex(level >= 0 && level < cmbTopLevel->count() ? level : 0);
    showLevel();
}

void TfrmShowAs::showItem() {
    const int line = selectedRow(lstShowItems);
    if (line < 0)
        return;
    const ShowValuesAs mode = grid_.DefaultGroup().SummaryItems.Items(line).ShowAs();
    for (size_t i = 0; i < ShowAsModes().size(); ++i)
        if (ShowAsModes()[i].mode == mode)
            cmbShowAs->setCurrentIndex(static_cast<int>(i));
}

// The level's top N, its summary found as the grid finds it: the first item of its field
// and kind.
void TfrmShowAs::showLevel() {
    const int level = cmbTopLevel->currentIndex();
    if (level < 0 || level >= grid_.GroupColumnCount()) {
        spnTopCount->setValue(0);
        return;
    }
    const TopGroups& top = grid_.GroupColumns(level).GroupTop();
    spnTopCount->setValue(top.count);
    const TdxDBGridSummaryItems& items = grid_.DefaultGroup().SummaryItems;
    for (int i = 0; i < items.Count(); ++i)
        if (items.Items(i).SummaryType() == top.kind &&
            items.Items(i).SummaryField() == top.field) {
            cmbTopSummary->setCurrentIndex(i);
            return;
        }
}

void TfrmShowAs::applyShowAs() {
    const int line = selectedRow(lstShowItems);
    if (line < 0)
        throw Error("请先在列表中选择一项汇总");
    const int position = cmbShowAs->currentIndex();
    checkListIndex(position, static_cast<int>(ShowAsModes().size()));
    TdxDBGridSummaryItem& item = grid_.DefaultGroup().SummaryItems.Items(line);
    const ShowValuesAs mode = ShowAsModes()[static_cast<size_t>(position)].mode;
    CheckShowAsFits(mode, item.SummaryType(), itemText(grid_, item));
    item.SetShowAs(mode);
    fill();
}

void TfrmShowAs::applyTop() {
    const int level = cmbTopLevel->currentIndex();
    if (level < 0 || level >= grid_.GroupColumnCount())
        throw Error("报表没有分组：前 N 项是分组层的设置");
    TopGroups top;
    top.count = spnTopCount->value();
    if (top.count > 0) {
        const int i = cmbTopSummary->currentIndex();
        if (i < 0)
            throw Error("请选择前 N 项所按的汇总");
        const TdxDBGridSummaryItem& item = grid_.DefaultGroup().SummaryItems.Items(i);
        top.field = item.SummaryField();
        top.kind = item.SummaryType();
    }
    grid_.GroupColumns(level).SetGroupTop(top);
    fill();
}

} // namespace rg
