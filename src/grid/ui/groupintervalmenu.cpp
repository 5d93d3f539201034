#include "grid/ui/groupintervalmenu.h"

#include "grid/ui/gridview.h"

#include <QActionGroup>
#include <QInputDialog>
#include <QMenu>

#include <string>
#include <utility>

namespace rg {
namespace {

bool isDateField(FieldKind k) {
    return intervalFits(GroupInterval::Month, k);
}

} // namespace

bool fillGroupIntervalMenu(QMenu& menu, TdxDBGrid& grid, const TdxDBGridColumn& c,
                           const std::function<void(const std::function<void()>&)>& guard) {
    const Field* f = c.field();
    if (!f || !(isDateField(f->Kind()) || intervalFits(GroupInterval::Range, f->Kind())))
        return false;
    const FieldKind kind = f->Kind();
    const IntervalSpec current = c.GroupInterval();
    const std::string name = c.Name();
    auto* group = new QActionGroup(&menu);
    // The column is looked up when the entry is chosen: the menu may outlive it.
    auto add = [&](const char* text, bool checked, std::function<IntervalSpec()> choose) {
        QAction* a = menu.addAction(QString::fromUtf8(text));
        a->setCheckable(true);
        a->setChecked(checked);
        group->addAction(a);
        QObject::connect(a, &QAction::triggered, &menu, [&grid, name, guard, choose] {
            guard([&] {
                TdxDBGridColumn* col = grid.ColumnByName(name);
                if (!col)
                    return;
                if (const IntervalSpec spec = choose();
                    spec.kind != GroupInterval::Range || spec.width > 0)
                    col->SetGroupInterval(spec);
            });
        });
    };
    if (isDateField(kind)) {
        // The days of a date column are its values.
        const IntervalSpec day{kind == FieldKind::Date ? GroupInterval::None : GroupInterval::Day,
                               0};
        add("按日", current.kind == GroupInterval::None || current.kind == GroupInterval::Day,
            [day] { return day; });
        const std::pair<const char*, GroupInterval> others[] = {{"按周", GroupInterval::Week},
                                                                {"按月", GroupInterval::Month},
                                                                {"按季度", GroupInterval::Quarter},
                                                                {"按年", GroupInterval::Year}};
        for (const auto& [text, k] : others)
            add(text, current.kind == k, [k] { return IntervalSpec{k, 0}; });
        return true;
    }
    add("按值", current.kind != GroupInterval::Range, [] { return IntervalSpec{}; });
    QWidget* parent = menu.parentWidget();
    const double width = current.kind == GroupInterval::Range ? current.width : 100;
    add("按区间…", current.kind == GroupInterval::Range, [parent, width] {
        bool ok = false;
        const double w =
            QInputDialog::getDouble(parent, TdxDBGridView::tr("按区间分组"),
                                    TdxDBGridView::tr("区间宽度："), width, 1e-9, 1e15, 6, &ok);
        return ok ? IntervalSpec{GroupInterval::Range, w} : IntervalSpec{GroupInterval::Range, 0};
    });
    return true;
}

bool TdxDBGridView::showGroupIntervalMenu(const QPoint& pos) {
    if (!grid_.ShowGroupPanel())
        return false;
    for (int level = 0; level < grid_.GroupColumnCount(); ++level) {
        if (!groupButtonRect(level).contains(pos))
            continue;
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        if (!fillGroupIntervalMenu(*menu, grid_, grid_.GroupColumns(level),
                                   [this](const std::function<void()>& f) { guarded(f); })) {
            delete menu;
            return false;
        }
        menu->popup(viewport()->mapToGlobal(pos));
        return true;
    }
    return false;
}

} // namespace rg
