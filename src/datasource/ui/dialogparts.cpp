#include "datasource/ui/dialogparts.h"

#include "common/asciicase.h"
#include "common/codepage.h"

#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cctype>

namespace rg {

QPushButton* placeButton(QWidget* parent, const char* name, const QString& text, int left,
                         int top) {
    auto* b = place<QPushButton>(parent, name, left, top, 75, 25);
    b->setText(text);
    b->setAutoDefault(false);
    return b;
}

void sortNames(std::vector<std::string>& names) {
    std::stable_sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        return ansiCompare(asciiLower(a), asciiLower(b)) < 0;
    });
}

void centreOnScreen(QWidget* window) {
    if (QScreen* screen = window->screen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

} // namespace rg
