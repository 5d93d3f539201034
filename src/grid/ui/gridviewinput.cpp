// Mouse and keyboard of the grid view: clicks and drags of headers and group buttons,
// column sizing and fitting, expanding groups, moving the focus and the selection, copying,
// deleting and inserting records and the filter drop-downs.

#include "grid/ui/gridview.h"

#include "grid/ui/customfilterdialog.h"
#include "grid/ui/filterdropdown.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

namespace rg {
namespace {

// Within this many pixels of a header's right edge the mouse sizes the column.
constexpr int kResizeGrip = 3;

} // namespace

bool TdxDBGridView::onExpandButton(const VisibleRow& row, int x) const {
    if (!row.row.isGroup() || row.footer >= 0)
        return false;
    const int left = grid_.Level(row.row) * kIndent; // group rows do not scroll sideways
    return x >= left && x < left + kIndent;
}

void TdxDBGridView::guarded(const std::function<void()>& command) {
    if (guard_)
        return guard_(command);
    try {
        command();
    } catch (const std::exception&) {
        // Without a guard nobody can show the message; the view stays usable.
    }
}

void TdxDBGridView::mousePressEvent(QMouseEvent* e) {
    guarded([&] { mousePress(e); });
}
void TdxDBGridView::mouseMoveEvent(QMouseEvent* e) {
    guarded([&] { mouseMove(e); });
}
void TdxDBGridView::mouseReleaseEvent(QMouseEvent* e) {
    guarded([&] { mouseRelease(e); });
}
void TdxDBGridView::mouseDoubleClickEvent(QMouseEvent* e) {
    guarded([&] { mouseDoubleClick(e); });
}
void TdxDBGridView::keyPressEvent(QKeyEvent* e) {
    guarded([&] { keyPress(e); });
}

// Leaving the grid drops a new record that nothing could be typed into.
void TdxDBGridView::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    guarded([&] { CancelInsert(); });
}

TdxDBGridColumn* TdxDBGridView::headerColumnAt(int x) const {
    for (TdxDBGridColumn* c : grid_.VisibleColumns()) {
        const QRect r = headerRect(*c);
        if (x >= r.left() && x <= r.right())
            return c;
    }
    return nullptr;
}

TdxDBGridColumn* TdxDBGridView::resizeEdgeAt(const QPoint& pos) const {
    if (pos.y() < groupPanelHeight() || pos.y() >= dataTop())
        return nullptr;
    for (TdxDBGridColumn* c : grid_.VisibleColumns())
        if (std::abs(pos.x() - headerRect(*c).right()) <= kResizeGrip)
            return c;
    return nullptr;
}

// The header position a column dropped at x takes: before the column whose centre is
// right of x.
int TdxDBGridView::headerPositionAt(int x) const {
    const auto& order = grid_.HeaderOrder();
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i]->Visible() && x < headerRect(*order[i]).center().x())
            return static_cast<int>(i);
    return static_cast<int>(order.size());
}

TdxDBGrid::DropPlace TdxDBGridView::dropPlaceAt(const QPoint& pos) const {
    using P = TdxDBGrid::DropPlace;
    if (!viewport()->rect().contains(pos))
        return P::Outside;
    if (grid_.ShowGroupPanel() && pos.y() < groupPanelHeight())
        return P::GroupPanel;
    if (pos.y() >= groupPanelHeight() && pos.y() < dataTop())
        return P::HeaderRow;
    return P::Grid;
}

void TdxDBGridView::mousePress(QMouseEvent* e) {
    setFocus();
    const QPoint pos = e->position().toPoint();
    if (e->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(e);
    if (filterStatusHeight() > 0 && pos.y() >= viewport()->height() - filterStatusHeight()) {
        if (filterClearRect().contains(pos))
            grid_.Filter.Clear();
        return;
    }
    if (pos.y() < dataTop()) {
        pressed_ = nullptr;
        dragging_ = false;
        pressPos_ = dragPos_ = pos;
        if ((resizing_ = resizeEdgeAt(pos))) {
            resizeStartWidth_ = resizing_->Width();
            return;
        }
        pressedOnPanel_ = pos.y() < groupPanelHeight();
        pressedOnCross_ = grid_.CrossTableDefinition() && crossButtonRect().contains(pos);
        if (pressedOnCross_)
            pressed_ = grid_.ColumnByFieldName(grid_.CrossTableDefinition()->field);
        if (pressedOnPanel_) {
            for (int i = 0; i < grid_.GroupColumnCount(); ++i)
                if (groupButtonRect(i).contains(pos))
                    pressed_ = &grid_.GroupColumns(i);
            return;
        }
        TdxDBGridColumn* c = headerColumnAt(pos.x());
        if (c && filterButtonRect(*c).contains(pos))
            return ShowFilterDropDown(*c);
        pressed_ = c;
        return;
    }
    const int line = lineAt(pos.y());
    CancelInsert();
    const std::optional<VisibleRow> row = line >= 0 ? rowAtLine(line) : std::nullopt;
    if (!row)
        return;
    if (onExpandButton(*row, pos.x())) {
        grid_.SetExpanded(row->row, !grid_.Expanded(row->row));
        return;
    }
    clickSelect(row->row, e->modifiers());
}

void TdxDBGridView::mouseMove(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (resizing_) {
        resizing_->SetWidth(resizeStartWidth_ + pos.x() - pressPos_.x());
        updateScrollBars();
        return;
    }
    if (pressed_ && (e->buttons() & Qt::LeftButton)) {
        if (!dragging_ && (pos - pressPos_).manhattanLength() >= QApplication::startDragDistance())
            dragging_ = true;
        if (dragging_) {
            dragPos_ = pos;
            // Away from the grid a dragged header would be hidden.
            viewport()->setCursor(dropPlaceAt(pos) == TdxDBGrid::DropPlace::Outside
                                      ? Qt::ForbiddenCursor
                                      : Qt::ArrowCursor);
            viewport()->update();
        }
        return;
    }
    if (e->buttons() == Qt::NoButton) {
        if (resizeEdgeAt(pos))
            viewport()->setCursor(Qt::SplitHCursor);
        else
            viewport()->unsetCursor();
    }
}

void TdxDBGridView::mouseRelease(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    TdxDBGridColumn* c = pressed_;
    const bool dragged =
        dragging_ || (pos - pressPos_).manhattanLength() >= QApplication::startDragDistance();
    pressed_ = nullptr;
    dragging_ = false;
    viewport()->unsetCursor();
    viewport()->update();
    if (e->button() != Qt::LeftButton)
        return;
    if (TdxDBGridColumn* sized = resizing_) {
        resizing_ = nullptr;
        sized->SetWidth(resizeStartWidth_ + pos.x() - pressPos_.x());
        updateScrollBars();
        return;
    }
    if (!c)
        return;
    if (pressedOnCross_)
        return crossButtonReleased(pos, dragged);
    if (dragged && inCrossStrip(pos))
        return editCrossTable({c->FieldName(), {}, TdxSummaryType::cstSum, {}});
    if (!dragged) {
        grid_.SortByClick(*c, e->modifiers() & Qt::ControlModifier);
        return;
    }
    grid_.DropColumn(*c, pressedOnPanel_, dropPlaceAt(pos), pos.x(), headerPositionAt(pos.x()));
}

void TdxDBGridView::mouseDoubleClick(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::LeftButton && pos.y() < dataTop()) {
        // On a header's right edge the column fits its texts; elsewhere on the headers and
        // group buttons the second click of a double click is a click like the first.
        if (TdxDBGridColumn* c = resizeEdgeAt(pos)) {
            c->SetWidth(FitWidth(*c));
            updateScrollBars();
            return;
        }
        return mousePress(e);
    }
    const int line = lineAt(pos.y());
    const std::optional<VisibleRow> row = line >= 0 ? rowAtLine(line) : std::nullopt;
    // The second click of a double click on a group's box toggles it like the first: each
    // click on the box counts.
    if (row && row->row.isGroup() && row->footer < 0)
        grid_.SetExpanded(row->row, !grid_.Expanded(row->row));
}

void TdxDBGridView::keyPress(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (inserting()) {
        // Nothing can be typed into the new record: moving away drops it, the focus stays
        // on the row it was inserted before.
        switch (e->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Escape:
        case Qt::Key_Delete:
            CancelInsert();
            return;
        default:
            return;
        }
    }
    const int line = focusedLine();
    const int page = pageLines();
    const RowHandle f = grid_.FocusedRow();
    const int last = static_cast<int>(grid_.VisibleRows().size()) - 1;
    // Footer lines are not focusable: moving skips over them.
    auto step = [&](int from, int dir) {
        const auto& rows = grid_.VisibleRows();
        int l = from + dir;
        while (l >= 0 && l <= last && rows[static_cast<size_t>(l)].footer >= 0)
            l += dir;
        return l;
    };
    if (e->matches(QKeySequence::Copy))
        return CopySelectedRows();
    if (e->matches(QKeySequence::SelectAll))
        return SelectAll();
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    auto move = [&](int to) { moveFocus([&] { focusLine(to); }, shift); };
    switch (e->key()) {
    case Qt::Key_F3:
        FindNext(shift);
        break;
    case Qt::Key_Down:
        move(std::min(step(line, 1), last));
        break;
    case Qt::Key_Up:
        if (line > 0)
            move(std::max(step(line, -1), 0));
        break;
    case Qt::Key_PageDown:
        move(line + page);
        break;
    case Qt::Key_PageUp:
        move(std::max(line - page, 0));
        break;
    case Qt::Key_Home:
        if (ctrl)
            move(0);
        break;
    case Qt::Key_End:
        if (ctrl)
            move(last);
        break;
    case Qt::Key_Left:
        if (f.isGroup())
            grid_.SetExpanded(f, false);
        break;
    case Qt::Key_Right:
        if (f.isGroup())
            grid_.SetExpanded(f, true);
        break;
    case Qt::Key_Delete:
        if (ctrl)
            DeleteFocusedRecord();
        break;
    case Qt::Key_Insert:
        if (!ctrl)
            InsertRecord();
        break;
    default:
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
}

// ---- records ----

void TdxDBGridView::DeleteFocusedRecord() {
    DataSet* ds = grid_.dataSet();
    const RowHandle row = grid_.FocusedRow();
    // Group rows stand for many records; a grid without a resolved key field is read-only.
    if (!row.isData() || !ds || !ds->Active() || ds->RecordCount() == 0 ||
        !grid_.keyFieldResolved())
        return;
    QMessageBox box(QMessageBox::Question, tr("Confirm"), tr("Delete record?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("confirmDelete"));
    box.setDefaultButton(QMessageBox::Ok);
    if (box.exec() != QMessageBox::Ok)
        return;
    ds->SetRecNo(grid_.RecordOf(row));
    // A refusal by the database throws its message; the record and the row stay.
    ds->Delete();
}

void TdxDBGridView::InsertRecord() {
    DataSet* ds = grid_.dataSet();
    if (!ds || !ds->Active() || !grid_.keyFieldResolved() || inserting())
        return;
    insertLine_ = std::max(focusedLine(), 0);
    ds->Insert();
    updateScrollBars();
    ensureLineVisible(insertLine_);
    viewport()->update();
}

void TdxDBGridView::CancelInsert() {
    if (!inserting())
        return;
    grid_.dataSet()->Cancel();
    updateScrollBars();
    viewport()->update();
}

// ---- filtering ----

namespace {

// Everything ticked lifts the column's condition, every value but the blanks keeps the
// non-blank rows, and otherwise the rows keep one of the values ticked.
std::optional<ColumnFilter> tickedFilter(const FilterTicks& ticks, const FilterValues& values) {
    if (ticks.everything)
        return std::nullopt;
    if (ticks.nonBlanks)
        return ColumnFilter::nonBlanks();
    if (ticks.values.empty())
        return ColumnFilter::blanks();
    std::vector<Value> chosen;
    for (int row : ticks.values)
        chosen.push_back(values.values[static_cast<size_t>(row)]);
    return ColumnFilter::oneOf(std::move(chosen), ticks.blanks);
}

} // namespace

void TdxDBGridView::ShowFilterDropDown(TdxDBGridColumn& c) {
    const FilterValues values = grid_.Filter.DropDownValues(c);
    const ColumnFilter* current = grid_.Filter.ColumnFilterOf(c);
    FilterDropDownContents contents;
    contents.hasBlanks = values.hasBlanks;
    contents.blankCount = values.blankCount;
    contents.counts = values.counts;
    using Entry = TdxFilterDropDown::Entry;
    int selected = current ? Entry::Custom : Entry::All;
    for (size_t i = 0; i < values.values.size(); ++i) {
        const Value& v = values.values[i];
        contents.values << shownText(v.displayText(), c);
        if (current && !current->second && current->first.op == FilterOperator::Equal &&
            current->first.value == v)
            selected = Entry::FirstValue + static_cast<int>(i);
    }
    if (current && !current->second && values.hasBlanks) {
        if (current->first.op == FilterOperator::Blank)
            selected = Entry::Blanks;
        if (current->first.op == FilterOperator::NonBlank)
            selected = Entry::NonBlanks;
    }

    auto dropDown = new TdxFilterDropDown(contents, selected, this);
    const QRect header = headerRect(c);
    TdxDBGridColumn* column = &c;
    connect(dropDown, &TdxFilterDropDown::chosen, this, [this, column, values](int entry) {
        guarded([&] {
            TdxDBGridFilter& filter = grid_.Filter;
            if (entry == Entry::All)
                filter.SetColumnFilter(*column, std::nullopt);
            else if (entry == Entry::Custom)
                customFilter(*column);
            else if (entry < Entry::FirstValue)
                filter.SetColumnFilter(*column, entry == Entry::Blanks ? ColumnFilter::blanks()
                                                                       : ColumnFilter::nonBlanks());
            else
                filter.SetColumnFilter(
                    *column, ColumnFilter::equalTo(
                                 values.values[static_cast<size_t>(entry - Entry::FirstValue)]));
        });
    });
    connect(dropDown, &TdxFilterDropDown::ticked, this,
            [this, column, values](const FilterTicks& ticks) {
                guarded(
                    [&] { grid_.Filter.SetColumnFilter(*column, tickedFilter(ticks, values)); });
            });
    dropDown->popup(viewport()->mapToGlobal(header.bottomLeft() + QPoint(0, 1)), header.width());
}

void TdxDBGridView::customFilter(TdxDBGridColumn& c) {
    TCustomFilterDialog dialog(QString::fromStdString(c.Caption()),
                               grid_.Filter.DropDownValues(c).values,
                               grid_.Filter.ColumnFilterOf(c), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    grid_.Filter.SetColumnFilter(c, dialog.filter());
}

} // namespace rg
