#pragma once

// Pieces every grid configuration dialog shares: the fixed window frame, placed labels,
// the guard around handlers and the message for a dialog opened without its object.

#include <QString>

#include <functional>
#include <string>

class QDialog;
class QLabel;
class QListWidget;
class QWidget;

namespace rg {

// Fixed-size dialog frame (no resizing, no help button) with the given client area.
void setupDialogFrame(QDialog* dialog, const char* objectName, const char* caption, int width, int height);

// A label sized to its text at (left, top).
QLabel* placeLabel(QWidget* parent, const char* objectName, const char* text, int left, int top);

// Runs a handler; an error it raises is shown by the application's error box, so no
// exception leaves the Qt slot, and work the user cancelled by its notice box. Returns false
// when the handler failed or was cancelled.
bool runGuarded(QWidget* parent, const std::function<void()>& handler);

// The application's error box. The main window routes it to its central error handler
// (setGridSetupErrorBox(showCommandError)); until then a plain message box shows the text.
using ErrorBox = std::function<void(const QString& message)>;
void setGridSetupErrorBox(ErrorBox box);
void showErrorBox(QWidget* parent, const QString& message);
// Likewise for what is no failure ("操作已取消。"); an information box until routed.
void setGridSetupNoticeBox(ErrorBox box);

// A plain message box, as for a dialog's own messages.
void showPlainMessage(QWidget* parent, const QString& message);

// Shown when a dialog is used without the grid or data set it works on.
void showMissingReference(QWidget* parent);

// The selected entry of a single-selection list, -1 when none. Qt makes an entry current
// on focus without selecting it; only a selected entry counts.
int selectedRow(const QListWidget* list);

// "List index out of bounds (%d)" unless 0 <= index < count.
void checkListIndex(int index, int count);

} // namespace rg
