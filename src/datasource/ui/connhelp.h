#pragma once

class QWidget;

namespace rg {

// The program's own short help on connection strings, in a window of its own beside the
// editor. Returns the window (deleted when closed).
QWidget* showConnectionStringHelp(QWidget* parent);

// The same kind of window on the SQL builder (CommandText Editor).
QWidget* showSqlEditorHelp(QWidget* parent);

} // namespace rg
