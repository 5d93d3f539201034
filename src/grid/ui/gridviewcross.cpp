#include "grid/ui/crosstableview.h"
#include "grid/ui/gridview.h"

#include <QPainter>

// The cross strip under the group buttons: a column header dropped there makes the grid a
// cross table, shown over the rows below the header row (whose filter buttons keep
// filtering what it adds up); its button dragged away ends it, a click on it changes the
// cells' summary.

namespace rg {

QRect TdxDBGridView::crossButtonRect() const {
    const auto& def = grid_.CrossTableDefinition();
    if (!grid_.ShowGroupPanel() || !def)
        return {};
    const TdxDBGridColumn* c = grid_.ColumnByFieldName(def->field);
    QString text = QString::fromStdString(c ? c->Caption() : def->field);
    const std::string interval = intervalName(def->interval);
    if (!interval.empty())
        text += tr("：按") + QString::fromStdString(interval);
    const int width = std::max(fontMetrics().horizontalAdvance(text) + 16, 100);
    return QRect(8, groupStripHeight() + 2, width, headerHeight());
}

bool TdxDBGridView::inCrossStrip(const QPoint& pos) const {
    return grid_.ShowGroupPanel() && viewport()->rect().contains(pos) &&
           pos.y() >= groupStripHeight() && pos.y() < groupPanelHeight();
}

void TdxDBGridView::paintCrossStrip(QPainter& p) {
    const QPalette& pal = palette();
    const QRect strip(0, groupStripHeight(), viewport()->width(),
                      groupPanelHeight() - groupStripHeight());
    p.fillRect(strip, pal.color(QPalette::Mid));
    const auto& def = grid_.CrossTableDefinition();
    if (!def) {
        p.setPen(pal.color(QPalette::Button));
        p.drawText(strip.adjusted(8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   tr("拖动列标题到这里作为交叉列"));
        return;
    }
    const QRect button = crossButtonRect();
    const TdxDBGridColumn* c = grid_.ColumnByFieldName(def->field);
    QString text = QString::fromStdString(c ? c->Caption() : def->field);
    const std::string interval = intervalName(def->interval);
    if (!interval.empty())
        text += tr("：按") + QString::fromStdString(interval);
    paintHeaderCell(p, button, text, TdxTreeListColumnSort::csNone);
    QString cells = QString::fromUtf8(crossKindName(def->kind));
    if (def->kind != TdxSummaryType::cstCount) {
        const TdxDBGridColumn* f = grid_.ColumnByFieldName(def->summaryField);
        cells += QStringLiteral(" ") + QString::fromStdString(f ? f->Caption() : def->summaryField);
    }
    p.setPen(pal.color(QPalette::ButtonText));
    p.drawText(QRect(button.right() + 10, button.top(), strip.width(), button.height()),
               Qt::AlignLeft | Qt::AlignVCenter, cells);
}

void TdxDBGridView::crossButtonReleased(const QPoint& pos, bool dragged) {
    if (!dragged)
        return editCrossTable(*grid_.CrossTableDefinition());
    if (!inCrossStrip(pos))
        grid_.ClearCrossTable();
}

void TdxDBGridView::editCrossTable(const CrossTableDef& proposed) {
    CrossTableDef start = proposed;
    if (const auto& now = grid_.CrossTableDefinition(); now && now->field == proposed.field)
        start = *now;
    else if (const TdxDBGridColumn* c = grid_.ColumnByFieldName(proposed.field);
             c && c->field() && intervalFits(GroupInterval::Month, c->field()->Kind()))
        start.interval = {GroupInterval::Month, 0};
    std::optional<CrossTableDef> chosen;
    if (crossDialog_) {
        chosen = crossDialog_(start);
    } else {
        TdxCrossTableDialog dialog(grid_, start, this);
        if (dialog.exec() == QDialog::Accepted)
            chosen = dialog.definition();
    }
    if (chosen)
        grid_.SetCrossTable(*chosen);
}

void TdxDBGridView::syncCrossView() {
    const bool shown = grid_.ShownCrossTable() != nullptr;
    if (!shown && !crossView_)
        return;
    if (!crossView_)
        crossView_ = new TdxCrossTableView(grid_, viewport());
    crossView_->setGeometry(0, dataTop(), viewport()->width(),
                            std::max(viewport()->height() - dataTop() - filterStatusHeight(), 0));
    crossView_->setVisible(shown);
    if (shown)
        crossView_->rebuild();
}

} // namespace rg
