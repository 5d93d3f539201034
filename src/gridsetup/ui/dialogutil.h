#pragma once

// Pieces every grid configuration dialog shares: the fixed window frame, placed labels
// and the message for a dialog opened without its object. Handlers run inside
// guardCommand (common/ui/commandguard.h).

#include <QString>

#include <string>

class QDialog;
class QLabel;
class QListWidget;
class QWidget;

namespace rg {

// Fixed-size dialog frame (no resizing, no help button) with the given client area.
void setupDialogFrame(QDialog* dialog, const char* objectName, const QString& caption, int width,
                      int height);

// A label sized to its text at (left, top).
QLabel* placeLabel(QWidget* parent, const char* objectName, const QString& text, int left, int top);

// A plain message box, as for a dialog's own messages.
void showPlainMessage(QWidget* parent, const QString& message);

// Shown when a dialog is used without the grid or data set it works on.
void showMissingReference(QWidget* parent);

// A field as the dialogs list it: the caption the grid shows, with the field's name beside
// it where the two differ ("金额 (amount)").
QString fieldEntryText(const std::string& caption, const std::string& fieldName);

// The selected entry of a single-selection list, -1 when none. Qt makes an entry current
// on focus without selecting it; only a selected entry counts.
int selectedRow(const QListWidget* list);

// "List index out of bounds (%d)" unless 0 <= index < count.
void checkListIndex(int index, int count);

} // namespace rg
