// The main window's ways into the schedules of a saved report: the grid's menu for the
// report shown, the left bar's context menu for any saved setup.

#include "app/savedsetups.h"
#include "app/ui/navbar.h"
#include "app/ui/quorvel.h"
#include "common/error.h"
#include "schedule/ui/scheduledialog.h"

#include <QAction>

namespace rg {

void Tfrmquorvel::SchedulesClick() {
    if (reportPath_.empty())
        throw Error("请先保存报表，再为它设置定时输出");
    RunScheduleDialog(this, reportPath_);
}

void Tfrmquorvel::addScheduleEntry(TdxNavBarItem* item, const std::string& path) {
    QWidget* link = item->linkWidget();
    auto entry = new QAction(QStringLiteral("定时输出"), link);
    entry->setObjectName(QStringLiteral("ItemSchedules"));
    link->addAction(entry);
    link->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(entry, &QAction::triggered, this, [this, path] {
        runCommand([&] {
            requireSetupFile(path);
            RunScheduleDialog(this, path);
        });
    });
}

} // namespace rg
