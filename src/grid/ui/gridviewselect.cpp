// Selecting several rows and finding rows in the grid view.

#include "grid/ui/gridview.h"

#include "grid/ui/findbar.h"

#include <QLineEdit>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>

namespace rg {

void TdxDBGridView::moveFocus(const std::function<void()>& move, bool extend) {
    {
        const QScopedValueRollback<bool> hold(extending_, true);
        move();
    }
    const RowHandle f = grid_.FocusedRow();
    if (extend)
        selection_.selectRange(f);
    else
        selection_.selectOnly(f);
    viewport()->update();
}

// Ctrl+click takes a row in or out, Shift+click stretches the selection from its anchor,
// a plain click selects the row alone.
void TdxDBGridView::clickSelect(RowHandle row, Qt::KeyboardModifiers modifiers) {
    {
        const QScopedValueRollback<bool> hold(extending_, true);
        grid_.SetFocusedRow(row);
    }
    if (modifiers & Qt::ShiftModifier)
        selection_.selectRange(row);
    else if (modifiers & Qt::ControlModifier)
        selection_.toggle(row);
    else
        selection_.selectOnly(row);
    viewport()->update();
}

void TdxDBGridView::SelectAll() {
    if (grid_.TopCount() == 0)
        return;
    selection_.selectAll();
    viewport()->update();
}

// Over the free right end of the group panel; where the group buttons reach that far, over
// the last rows instead.
void TdxDBGridView::placeFindBar() {
    if (!findBar_)
        return;
    const QSize size = findBar_->sizeHint();
    const int width = std::min(size.width(), viewport()->width());
    const int levels = grid_.GroupColumnCount();
    const int buttons = levels > 0 ? groupButtonRect(levels - 1).right() + 8 : 0;
    const int top = buttons > viewport()->width() - width ? dataBottom() - size.height() : 0;
    findBar_->setGeometry(viewport()->x() + viewport()->width() - width, viewport()->y() + top,
                          width, size.height());
}

void TdxDBGridView::ShowFindBar() {
    if (!findBar_) {
        findBar_ = new TdxFindBar(this);
        connect(findBar_, &TdxFindBar::findRequested, this,
                [this](bool backwards) { guarded([&] { FindNext(backwards); }); });
        connect(findBar_, &TdxFindBar::closed, this, [this] { setFocus(); });
    }
    placeFindBar();
    findBar_->open();
}

void TdxDBGridView::scrollColumnIntoView(const TdxDBGridColumn& c) {
    const QRect r = headerRect(c);
    if (r.isNull())
        return;
    QScrollBar* bar = horizontalScrollBar();
    const int left = indentWidth();
    if (r.left() < left)
        bar->setValue(scrollX() - (left - r.left()));
    else if (r.right() >= viewport()->width())
        bar->setValue(scrollX() + std::min(r.right() - viewport()->width() + 1, r.left() - left));
}

bool TdxDBGridView::FindNext(bool backwards) {
    if (!findBar_ || findBar_->findText->text().isEmpty()) {
        ShowFindBar();
        return false;
    }
    const std::optional<FindHit> hit =
        FindInGrid(grid_, grid_.FocusedRow(), findBar_->options(), backwards);
    findBar_->setNotFound(!hit);
    if (!hit)
        return false;
    for (RowHandle p = grid_.Parent(hit->row); p.valid(); p = grid_.Parent(p))
        if (!grid_.Expanded(p))
            grid_.SetExpanded(p, true);
    moveFocus([&] { grid_.SetFocusedRow(hit->row); }, false);
    if (hit->column)
        scrollColumnIntoView(*hit->column);
    // A match under the bar, where it covers the last rows, is scrolled up above it.
    const int barTop = findBar_->geometry().top() - viewport()->y();
    const int bottom = dataTop() + (focusedLine() - topLine() + 1) * rowHeight();
    if (barTop > 0 && bottom > barTop)
        verticalScrollBar()->setValue(topLine() +
                                      (bottom - barTop + rowHeight() - 1) / rowHeight());
    return true;
}

} // namespace rg
