#pragma once

// The context menu of a group button: the intervals its column can be grouped by. Dates
// and date-times by day, week, month, quarter or year; numbers by value or by ranges of a
// width the user types.

#include "grid/grid.h"

#include <functional>

class QMenu;
class QWidget;

namespace rg {

// Fills `menu` with one checkable entry per interval that fits the column's field, the
// current one checked; false, and the menu left empty, when none fits. A chosen entry
// changes the interval of the grid's column named `c.Name()` at that time through `guard`,
// which shows what fails; the range entry first asks for the width.
bool fillGroupIntervalMenu(QMenu& menu, TdxDBGrid& grid, const TdxDBGridColumn& c,
                           const std::function<void(const std::function<void()>&)>& guard);

} // namespace rg
