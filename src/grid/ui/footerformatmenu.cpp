// The context menu of a summed column's summary footer: its amount in figures or in Chinese
// capitals, as cheques and vouchers write it.

#include "grid/summary.h"
#include "grid/ui/gridview.h"

#include <QMenu>

namespace rg {

bool TdxDBGridView::showFooterFormatMenu(const QPoint& pos) {
    if (!grid_.ShowSummaryFooter() || pos.y() < dataBottom() ||
        pos.y() >= dataBottom() + summaryFooterHeight())
        return false;
    const TdxDBGridColumn* c = headerColumnAt(pos.x());
    if (!c || c->SummaryFooterType() != TdxSummaryType::cstSum)
        return false;
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("pmFooterFormat"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* capitals = menu->addAction(tr("大写金额"));
    capitals->setObjectName(QStringLiteral("miCapitalAmount"));
    capitals->setCheckable(true);
    capitals->setChecked(c->SummaryFooterFormat() == kCapitalAmountPattern);
    // The column is looked up when the entry is chosen: the menu may outlive it.
    connect(capitals, &QAction::triggered, this, [this, name = c->Name()](bool on) {
        guarded([&] {
            if (TdxDBGridColumn* col = grid_.ColumnByName(name))
                col->SetSummaryFooterFormat(on ? kCapitalAmountPattern : "");
        });
    });
    menu->popup(viewport()->mapToGlobal(pos));
    return true;
}

} // namespace rg
