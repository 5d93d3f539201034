#pragma once

// Where errors of the data source dialogs go: the application's central error handler
// once the main window installs it, a plain message box until then.

#include <QString>

#include <functional>

class QWidget;

namespace rg {

using DataSourceErrorBox = std::function<void(const QString& message)>;
void setDataSourceErrorBox(DataSourceErrorBox box);
// Where a cancel ("操作已取消。") goes, which is no failure: an information box until routed.
void setDataSourceNoticeBox(DataSourceErrorBox box);

// Shows what the user should know about something that worked (a procedure's results
// left out of an open) where notices go.
void showDataSourceNotice(QWidget* parent, const QString& message);

// Runs one handler; an error it raises is shown and goes no further. False when it failed
// or was cancelled.
bool runDataSourceCommand(QWidget* parent, const std::function<void()>& handler);

} // namespace rg
