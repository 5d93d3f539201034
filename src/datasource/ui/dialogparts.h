#pragma once

// Small pieces the data source dialogs share: controls at fixed bounds, the order of
// sorted name lists, a window centred on its screen.

#include <QString>
#include <QWidget>

#include <string>
#include <vector>

class QPushButton;

namespace rg {

// A new control of type W named `name` with the given bounds in its parent.
template <class W>
W* place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(left, top, width, height);
    return w;
}

// A 75 × 25 button; it becomes the default button only when told so.
QPushButton* placeButton(QWidget* parent, const char* name, const QString& text, int left, int top);

// Sorted name lists order their entries ignoring letter case.
void sortNames(std::vector<std::string>& names);

void centreOnScreen(QWidget* window);

} // namespace rg
