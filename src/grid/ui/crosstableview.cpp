#include "grid/ui/crosstableview.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QSet>

namespace rg {
namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

constexpr TdxSummaryType kKinds[] = {TdxSummaryType::cstSum, TdxSummaryType::cstCount,
                                     TdxSummaryType::cstAvg, TdxSummaryType::cstMin,
                                     TdxSummaryType::cstMax};

struct IntervalChoice {
    const char* text;
    GroupInterval kind;
};
constexpr IntervalChoice kDateIntervals[] = {
    {"按值", GroupInterval::None},      {"按日", GroupInterval::Day},
    {"按周", GroupInterval::Week},      {"按月", GroupInterval::Month},
    {"按季度", GroupInterval::Quarter}, {"按年", GroupInterval::Year}};

// The texts of an item and its parents, to find it again after a rebuild.
QString pathOf(const QTreeWidgetItem* item) {
    QString path;
    for (; item; item = item->parent())
        path = item->text(0) + QChar(0x1F) + path;
    return path;
}

} // namespace

const char* crossKindName(TdxSummaryType kind) {
    switch (kind) {
    case TdxSummaryType::cstSum:
        return "求和";
    case TdxSummaryType::cstCount:
        return "计数";
    case TdxSummaryType::cstAvg:
        return "平均值";
    case TdxSummaryType::cstMin:
        return "最小值";
    case TdxSummaryType::cstMax:
        return "最大值";
    default:
        return "";
    }
}

TdxCrossTableView::TdxCrossTableView(TdxDBGrid& grid, QWidget* parent)
    : QTreeWidget(parent), grid_(grid) {
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &TdxCrossTableView::headerClicked);
}

void TdxCrossTableView::fill(QTreeWidgetItem* item, int group, const CrossTable& x) {
    for (int c = 0; c <= x.columnCount(); ++c) {
        const SummaryValue& v = c < x.columnCount() ? x.cell(group, c) : x.rowTotal(group);
        item->setText(c + 1, qs(x.text(v)));
        item->setTextAlignment(c + 1, Qt::AlignRight | Qt::AlignVCenter);
    }
}

void TdxCrossTableView::addChildren(QTreeWidgetItem* parent, RowHandle row, const CrossTable& x) {
    for (const RowHandle child : grid_.CrossChildren(row)) {
        std::string text = grid_.GroupRowText(child);
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
        item->setText(0, qs(text));
        fill(item, child.index, x);
        addChildren(item, child, x);
    }
}

void TdxCrossTableView::rebuild() {
    QSet<QString> expanded;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->isExpanded())
            expanded.insert(pathOf(*it));
    clear();
    const CrossTable* x = grid_.ShownCrossTable();
    if (!x)
        return;
    QStringList labels;
    QString captions;
    for (int l = 0; l < grid_.GroupColumnCount(); ++l)
        captions += (l ? " / " : "") + qs(grid_.GroupColumns(l).Caption());
    labels << captions;
    for (int c = 0; c < x->columnCount(); ++c)
        labels << qs(x->columnText(c));
    labels << kCrossTotalText;
    setColumnCount(static_cast<int>(labels.size()));
    setHeaderLabels(labels);
    addChildren(nullptr, RowHandle{}, *x);
    auto* totals = new QTreeWidgetItem(this);
    totals->setText(0, kCrossTotalText);
    fill(totals, CrossTable::kTotals, *x);
    QFont bold = font();
    bold.setBold(true);
    for (int c = 0; c < columnCount(); ++c)
        totals->setFont(c, bold);
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if (expanded.contains(pathOf(*it)))
            (*it)->setExpanded(true);
    header()->resizeSection(0, 220);
    const int sorted = grid_.CrossSortColumn();
    header()->setSortIndicator(sorted < 0 ? -1 : sorted + 1,
                               grid_.CrossSortDown() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

// The first click orders by the largest values, the next one the other way; the first
// column goes back to the groups' own order.
void TdxCrossTableView::headerClicked(int section) {
    if (section == 0) {
        grid_.SetCrossSort(-1, false);
        return;
    }
    const int column = section - 1;
    const bool down = grid_.CrossSortColumn() != column || !grid_.CrossSortDown();
    grid_.SetCrossSort(column, down);
}

TdxCrossTableDialog::TdxCrossTableDialog(const TdxDBGrid& grid, const CrossTableDef& proposed,
                                         QWidget* parent)
    : QDialog(parent), def_(proposed) {
    setWindowTitle(tr("交叉表"));
    auto* form = new QFormLayout(this);
    kind_ = new QComboBox(this);
    for (const TdxSummaryType k : kKinds) {
        kind_->addItem(crossKindName(k), static_cast<int>(k));
        if (k == proposed.kind)
            kind_->setCurrentIndex(kind_->count() - 1);
    }
    form->addRow(tr("汇总方式"), kind_);
    field_ = new QComboBox(this);
    for (int i = 0; i < grid.ColumnCount(); ++i) {
        const TdxDBGridColumn& c = grid.Columns(i);
        if (!c.field() || isBlobKind(c.field()->Kind()))
            continue;
        field_->addItem(qs(c.Caption()), qs(c.FieldName()));
        if (c.FieldName() == proposed.summaryField)
            field_->setCurrentIndex(field_->count() - 1);
    }
    form->addRow(tr("汇总字段"), field_);
    const TdxDBGridColumn* cross = grid.ColumnByFieldName(proposed.field);
    if (cross && cross->field() && intervalFits(GroupInterval::Month, cross->field()->Kind())) {
        interval_ = new QComboBox(this);
        for (const IntervalChoice& i : kDateIntervals) {
            interval_->addItem(i.text, static_cast<int>(i.kind));
            if (i.kind == proposed.interval.kind)
                interval_->setCurrentIndex(interval_->count() - 1);
        }
        form->addRow(tr("交叉列"), interval_);
    }
    auto enableField = [this] {
        field_->setEnabled(kind_->currentData().toInt() !=
                           static_cast<int>(TdxSummaryType::cstCount));
    };
    connect(kind_, &QComboBox::currentIndexChanged, this, enableField);
    enableField();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

CrossTableDef TdxCrossTableDialog::definition() const {
    CrossTableDef d = def_;
    d.kind = static_cast<TdxSummaryType>(kind_->currentData().toInt());
    d.summaryField = d.kind == TdxSummaryType::cstCount
                         ? std::string()
                         : field_->currentData().toString().toStdString();
    if (interval_)
        d.interval = {static_cast<GroupInterval>(interval_->currentData().toInt()), 0};
    return d;
}

} // namespace rg
