#include "grid/ui/gridview.h"

#include "grid/groupinterval.h"

#include <QAction>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace rg {
namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

Qt::Alignment cellAlignment(Alignment a) {
    switch (a) {
    case Alignment::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case Alignment::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace

TdxDBGridView::TdxDBGridView(TdxDBGrid& grid, QWidget* parent)
    : QAbstractScrollArea(parent), grid_(grid) {
    setObjectName(QStringLiteral("dxDBGrid"));
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame); // flat look
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true); // the resize cursor over header edges
    grid_.addListener(this);
    updateScrollBars();
    // Ctrl+F opens the find bar from anywhere in the window, not only from the rows.
    auto find = new QAction(this);
    find->setObjectName(QStringLiteral("actFind"));
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, [this] { guarded([this] { ShowFindBar(); }); });
    addAction(find);
}

TdxDBGridView::~TdxDBGridView() {
    grid_.removeListener(this);
}

int TdxDBGridView::headerHeight() const {
    return fontMetrics().height() + 6;
}
int TdxDBGridView::rowHeight() const {
    return fontMetrics().height() + 4;
}

int TdxDBGridView::groupPanelHeight() const {
    if (!grid_.ShowGroupPanel())
        return 0;
    return groupStripHeight() + headerHeight() + 8;
}

int TdxDBGridView::groupStripHeight() const {
    const int h = headerHeight();
    const int n = grid_.GroupColumnCount();
    if (n == 0)
        return h + 16;
    return 8 + (n - 1) * (h / 2) + h + 8;
}

int TdxDBGridView::summaryFooterHeight() const {
    return grid_.ShowSummaryFooter() ? rowHeight() + 4 : 0;
}

int TdxDBGridView::filterStatusHeight() const {
    const DataSet* ds = grid_.dataSet();
    return ds && ds->Filtered() ? rowHeight() + 6 : 0;
}

QRect TdxDBGridView::filterClearRect() const {
    const int h = filterStatusHeight();
    if (h == 0)
        return {};
    return QRect(4, viewport()->height() - h + (h - 13) / 2, 13, 13);
}

// The interval tells a month's groups from a day's.
QString TdxDBGridView::groupButtonText(int level) const {
    const TdxDBGridColumn& c = grid_.GroupColumns(level);
    const std::string interval = intervalName(c.GroupInterval());
    return qs(interval.empty() ? c.Caption() : c.Caption() + " · " + interval);
}

QRect TdxDBGridView::groupButtonRect(int level) const {
    const int h = headerHeight();
    return QRect(8 + 104 * level, 8 + level * (h / 2), 100, h);
}

int TdxDBGridView::indentWidth() const {
    return grid_.GroupColumnCount() * kIndent;
}

int TdxDBGridView::contentWidth() const {
    int w = indentWidth();
    for (const TdxDBGridColumn* c : grid_.VisibleColumns())
        w += c->Width();
    return w;
}

QRect TdxDBGridView::headerRect(const TdxDBGridColumn& col) const {
    int x = indentWidth() - scrollX();
    for (const TdxDBGridColumn* c : grid_.VisibleColumns()) {
        if (c == &col)
            return QRect(x, groupPanelHeight(), c->Width(), headerHeight());
        x += c->Width();
    }
    return {};
}

QRect TdxDBGridView::filterButtonRect(const TdxDBGridColumn& c) const {
    const QRect r = headerRect(c);
    if (r.isNull() || r.width() < 2 * kFilterButton)
        return {};
    return QRect(r.right() - kFilterButton, r.top() + 1, kFilterButton, r.height() - 2);
}

int TdxDBGridView::dataTop() const {
    return groupPanelHeight() + headerHeight();
}
int TdxDBGridView::dataBottom() const {
    return viewport()->height() - summaryFooterHeight() - filterStatusHeight();
}
// The offsets are clamped to the content as it is now: a paint that comes before the scroll
// bars have taken in a change of the rows or columns (a reload's progress window lets events
// through) must not draw from an offset that no longer exists.
int TdxDBGridView::topLine() const {
    return std::clamp(verticalScrollBar()->value(), 0, std::max(0, lineCount() - pageLines()));
}
int TdxDBGridView::scrollX() const {
    return std::clamp(horizontalScrollBar()->value(), 0,
                      std::max(0, contentWidth() - viewport()->width()));
}
int TdxDBGridView::pageLines() const {
    return std::max(1, (dataBottom() - dataTop()) / std::max(rowHeight(), 1));
}

bool TdxDBGridView::inserting() const {
    const DataSet* ds = grid_.dataSet();
    return ds && ds->GetState() == DataSet::State::Insert;
}

int TdxDBGridView::newRecordLine() const {
    if (!inserting())
        return -1;
    return std::clamp(insertLine_, 0, static_cast<int>(grid_.VisibleRows().size()));
}

int TdxDBGridView::lineCount() const {
    return static_cast<int>(grid_.VisibleRows().size()) + (newRecordLine() >= 0 ? 1 : 0);
}

int TdxDBGridView::lineAt(int y) const {
    if (y < dataTop() || y >= dataBottom())
        return -1;
    const int line = topLine() + (y - dataTop()) / rowHeight();
    return line < lineCount() ? line : -1;
}

// The row shown on a line; none for the new record's line.
std::optional<VisibleRow> TdxDBGridView::rowAtLine(int line) const {
    const int fresh = newRecordLine();
    if (line == fresh)
        return std::nullopt;
    const int index = fresh >= 0 && line > fresh ? line - 1 : line;
    const auto& rows = grid_.VisibleRows();
    if (index < 0 || index >= static_cast<int>(rows.size()))
        return std::nullopt;
    return rows[static_cast<size_t>(index)];
}

void TdxDBGridView::updateScrollBars() {
    const int page = pageLines();
    verticalScrollBar()->setRange(0, std::max(0, lineCount() - page));
    verticalScrollBar()->setPageStep(page);
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth() - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void TdxDBGridView::gridChanged() {
    selection_.followGrid();
    updateScrollBars();
    placeFindBar();
    syncCrossView();
    viewport()->update();
}

void TdxDBGridView::focusChanged() {
    // A focus that moves outside the selection, from here or from the data set, takes the
    // selection with it.
    const RowHandle f = grid_.FocusedRow();
    if (!extending_ && !selection_.covers(f))
        selection_.selectOnly(f);
    const int line = focusedLine();
    if (line >= 0)
        ensureLineVisible(line);
    viewport()->update();
}

// While a new record is being inserted its line has the focus.
int TdxDBGridView::focusedLine() const {
    const int fresh = newRecordLine();
    if (fresh >= 0)
        return fresh;
    const RowHandle f = grid_.FocusedRow();
    if (!f.valid())
        return -1;
    return static_cast<int>(grid_.VisibleRows().lineOf(f));
}

void TdxDBGridView::ensureLineVisible(int line) {
    const int page = pageLines();
    if (line < topLine())
        verticalScrollBar()->setValue(line);
    else if (line >= topLine() + page)
        verticalScrollBar()->setValue(line - page + 1);
}

void TdxDBGridView::focusLine(int line) {
    const auto& rows = grid_.VisibleRows();
    if (rows.empty())
        return;
    line = std::clamp(line, 0, static_cast<int>(rows.size()) - 1);
    grid_.SetFocusedRow(rows[static_cast<size_t>(line)].row);
    ensureLineVisible(line);
}

void TdxDBGridView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
    placeFindBar();
    syncCrossView();
}

void TdxDBGridView::scrollContentsBy(int, int) {
    viewport()->update();
}

// ---- painting ----

void TdxDBGridView::paintEvent(QPaintEvent*) {
    // The scroll bars catch up with a change they have not been told of yet.
    updateScrollBars();
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.fillRect(viewport()->rect(), pal.color(QPalette::Base));
    p.setFont(font());

    const int focused = focusedLine();
    const int lines = lineCount();
    const int h = rowHeight();
    p.save();
    p.setClipRect(QRect(0, dataTop(), viewport()->width(), dataBottom() - dataTop()));
    int y = dataTop();
    for (int line = topLine(); line < lines && y < dataBottom(); ++line, y += h) {
        const std::optional<VisibleRow> row = rowAtLine(line);
        if (!row) {
            paintNewRecord(p, y);
            continue;
        }
        // With rows selected the focused row shows a frame, selected or not.
        const bool selected =
            selection_.empty() ? line == focused : row->footer < 0 && selection_.covers(row->row);
        paintLine(p, *row, y, selected);
        if (line == focused && !selection_.empty()) {
            p.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DotLine));
            p.drawRect(QRect(0, y, viewport()->width() - 1, h - 2));
        }
    }
    p.restore();

    paintHeader(p);
    if (grid_.ShowGroupPanel())
        paintGroupPanel(p);
    if (grid_.ShowSummaryFooter())
        paintSummaryFooter(p);
    if (filterStatusHeight() > 0)
        paintFilterStatus(p);
    if (dragging_)
        paintDrag(p);
}

QString TdxDBGridView::fitted(const QString& text, int width) const {
    return fontMetrics().elidedText(text, Qt::ElideRight, width);
}

// `filterButton` is the width kept at the right end for the filter drop-down button.
QRect TdxDBGridView::headerTextRect(const QRect& header, TdxTreeListColumnSort sort,
                                    int filterButton) {
    const int right = filterButton + (sort == TdxTreeListColumnSort::csNone ? 4 : 16);
    return header.adjusted(4, 0, -right, 0);
}

// Group rows span the whole width and do not scroll sideways, so that their expand button
// and text stay in view however far the columns are scrolled.
QRect TdxDBGridView::groupTextRect(const VisibleRow& row, int y) const {
    const int left = grid_.Level(row.row) * kIndent + kIndent + 2;
    return QRect(left, y, std::max(viewport()->width() - left, 0), rowHeight());
}

void TdxDBGridView::paintHeaderCell(QPainter& p, const QRect& r, const QString& text,
                                    TdxTreeListColumnSort sort, int filterButton, bool filtered) {
    const QPalette& pal = palette();
    p.fillRect(r, pal.color(QPalette::Button));
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(pal.color(QPalette::ButtonText));
    const QRect textRect = headerTextRect(r, sort, filterButton);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, fitted(text, textRect.width()));
    if (filterButton > 0) {
        // A filtered column shows its button's arrow in the highlight colour.
        const int cx = r.right() - filterButton / 2, cy = r.center().y();
        QPolygon arrow;
        arrow << QPoint(cx - 3, cy - 1) << QPoint(cx + 3, cy - 1) << QPoint(cx, cy + 2);
        const QColor c = filtered ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid);
        p.setPen(c);
        p.setBrush(c);
        p.drawPolygon(arrow);
        p.setBrush(Qt::NoBrush);
        p.setPen(pal.color(QPalette::ButtonText));
    }
    if (sort != TdxTreeListColumnSort::csNone) {
        const int cx = r.right() - filterButton - 9, cy = r.center().y();
        QPolygon arrow;
        if (sort == TdxTreeListColumnSort::csUp)
            arrow << QPoint(cx - 4, cy + 2) << QPoint(cx + 4, cy + 2) << QPoint(cx, cy - 3);
        else
            arrow << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 3);
        p.setBrush(pal.color(QPalette::ButtonText));
        p.drawPolygon(arrow);
        p.setBrush(Qt::NoBrush);
    }
}

void TdxDBGridView::paintGroupPanel(QPainter& p) {
    const QPalette& pal = palette();
    const QRect panel(0, 0, viewport()->width(), groupPanelHeight());
    p.fillRect(panel, pal.color(QPalette::Dark)); // button shadow
    paintCrossStrip(p);
    if (grid_.GroupColumnCount() == 0) {
        p.setPen(pal.color(QPalette::Button));
        p.drawText(QRect(4, 0, panel.width() - 4, groupStripHeight()),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   tr(" Drag a column header here to group by that column"));
        return;
    }
    for (int i = 0; i < grid_.GroupColumnCount(); ++i) {
        const TdxDBGridColumn& c = grid_.GroupColumns(i);
        const QRect r = groupButtonRect(i);
        paintHeaderCell(p, r, groupButtonText(i), c.Sorted());
        if (i + 1 < grid_.GroupColumnCount()) {
            // Connector: from the bottom centre down 3 pixels, then right to the next button.
            const QRect next = groupButtonRect(i + 1);
            p.setPen(pal.color(QPalette::ButtonText));
            const int x = r.center().x(), y0 = r.bottom() + 1, y1 = y0 + 3;
            p.drawLine(x, y0, x, y1);
            p.drawLine(x, y1, next.left(), y1);
        }
    }
}

void TdxDBGridView::paintHeader(QPainter& p) {
    const QRect band(0, groupPanelHeight(), viewport()->width(), headerHeight());
    p.fillRect(band, palette().color(QPalette::Button));
    for (const TdxDBGridColumn* c : grid_.VisibleColumns()) {
        const QRect r = headerRect(*c);
        if (r.right() < 0 || r.left() > viewport()->width())
            continue;
        const bool button = !filterButtonRect(*c).isNull();
        paintHeaderCell(p, r, qs(c->Caption()), c->Sorted(), button ? kFilterButton : 0,
                        grid_.Filter.ColumnFilterOf(*c) != nullptr);
    }
}

void TdxDBGridView::paintLine(QPainter& p, const VisibleRow& row, int y, bool selected) {
    const QPalette& pal = palette();
    const int h = rowHeight();
    const int scroll = scrollX();
    const int width = viewport()->width();
    const QColor grid = pal.color(QPalette::Midlight);

    if (row.row.isGroup()) {
        const int level = grid_.Level(row.row);
        const int left = level * kIndent;
        const QRect r(left, y, width - left, h);
        p.fillRect(r, selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Button));
        // Expand button: a small box with + or -.
        const QRect box(left + (kIndent - 9) / 2, y + (h - 9) / 2, 9, 9);
        p.setPen(pal.color(QPalette::Shadow));
        p.fillRect(box, pal.color(QPalette::Base));
        p.drawRect(box);
        p.drawLine(box.left() + 2, box.center().y(), box.right() - 2, box.center().y());
        if (!grid_.Expanded(row.row))
            p.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
        p.setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::WindowText));
        const QRect text = groupTextRect(row, y);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                   fitted(qs(grid_.GroupRowText(row.row)), text.width()));
        p.setPen(grid);
        p.drawLine(left, y + h - 1, width, y + h - 1);
        return;
    }

    const int levels = grid_.Level(row.row);
    if (row.footer >= 0) {
        const int level = grid_.FooterLevel(row.row, row.footer);
        const int left = (level + 1) * kIndent - scroll;
        p.fillRect(QRect(left, y, width - left, h), pal.color(QPalette::Light));
        int x = indentWidth() - scroll;
        for (const TdxDBGridColumn* c : grid_.VisibleColumns()) {
            const QRect cell(x, y, c->Width(), h);
            if (grid_.FooterCellExists(row.row, *c, row.footer)) {
                p.setPen(pal.color(QPalette::Mid));
                p.drawRect(cell.adjusted(1, 1, -2, -2));
                p.setPen(pal.color(QPalette::WindowText));
                const QRect text = footerTextRect(cell);
                p.drawText(text, cellAlignment(c->alignment()),
                           fitted(qs(grid_.FooterCellText(row.row, *c, row.footer)), text.width()));
            }
            x += c->Width();
        }
        return;
    }

    int x = levels * kIndent - scroll;
    const QRect r(x, y, width - x, h);
    p.fillRect(r, selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
    for (const TdxDBGridColumn* c : grid_.VisibleColumns()) {
        const QRect cell(x, y, c->Width(), h);
        if (cell.right() >= 0 && cell.left() <= width) {
            p.setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
            const QString text = cellText(row.row, *c);
            const QRect textRect = cellTextRect(cell);
            p.drawText(textRect, cellAlignment(c->alignment()), fitted(text, textRect.width()));
            p.setPen(grid);
            p.drawLine(cell.right(), y, cell.right(), y + h - 1);
        }
        x += c->Width();
    }
    p.setPen(grid);
    p.drawLine(levels * kIndent - scroll, y + h - 1, x, y + h - 1);
}

void TdxDBGridView::paintNewRecord(QPainter& p, int y) {
    const QPalette& pal = palette();
    const int left = indentWidth() - scrollX();
    const QRect r(left, y, contentWidth() - indentWidth(), rowHeight());
    p.fillRect(r, pal.color(QPalette::Highlight));
    // The new record's mark, as in a data entry form; its cells stay empty.
    p.setPen(pal.color(QPalette::HighlightedText));
    p.drawText(r.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("*"));
    p.setPen(pal.color(QPalette::Midlight));
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
}

void TdxDBGridView::paintSummaryFooter(QPainter& p) {
    const QPalette& pal = palette();
    const QRect band(0, dataBottom(), viewport()->width(), summaryFooterHeight());
    p.fillRect(band, pal.color(QPalette::Button));
    int x = indentWidth() - scrollX();
    const std::vector<TdxDBGridColumn*> columns = grid_.VisibleColumns();
    const int label = grid_.SummaryFooterLabelColumn(columns);
    for (size_t i = 0; i < columns.size(); ++i) {
        const TdxDBGridColumn* c = columns[i];
        const QRect cell(x, band.top() + 2, c->Width(), rowHeight());
        if (static_cast<int>(i) == label) {
            p.setPen(pal.color(QPalette::ButtonText));
            const QRect text = footerTextRect(cell);
            p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                       fitted(QString::fromUtf8(kGrandTotalLabel), text.width()));
        } else if (grid_.SummaryFooterCellExists(*c)) {
            p.setPen(pal.color(QPalette::Mid));
            p.drawRect(cell.adjusted(1, 0, -2, -1));
            p.setPen(pal.color(QPalette::ButtonText));
            const QRect text = footerTextRect(cell);
            p.drawText(text, cellAlignment(c->alignment()),
                       fitted(qs(grid_.SummaryFooterText(*c)), text.width()));
        }
        x += c->Width();
    }
}

} // namespace rg

namespace rg {

void TdxDBGridView::paintFilterStatus(QPainter& p) {
    const QPalette& pal = palette();
    const int h = filterStatusHeight();
    const QRect strip(0, viewport()->height() - h, viewport()->width(), h);
    p.fillRect(strip, pal.color(QPalette::Button));
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(strip.topLeft(), strip.topRight());
    // The clear button: a small box with a cross.
    const QRect box = filterClearRect();
    p.setPen(pal.color(QPalette::ButtonText));
    p.fillRect(box, pal.color(QPalette::Base));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.drawLine(box.left() + 3, box.top() + 3, box.right() - 3, box.bottom() - 3);
    p.drawLine(box.right() - 3, box.top() + 3, box.left() + 3, box.bottom() - 3);
    const QRect text = strip.adjusted(box.right() + 8, 0, -4, 0);
    p.drawText(
        text, Qt::AlignLeft | Qt::AlignVCenter,
        fontMetrics().elidedText(qs(grid_.Filter.DisplayText()), Qt::ElideRight, text.width()));
}

// The dragged header follows the mouse; a bar marks where it would land.
void TdxDBGridView::paintDrag(QPainter& p) {
    if (!pressed_)
        return;
    const QPalette& pal = palette();
    const TdxDBGrid::DropPlace place = dropPlaceAt(dragPos_);
    p.setPen(QPen(pal.color(QPalette::Highlight), 2));
    if (place == TdxDBGrid::DropPlace::GroupPanel) {
        const int level = grid_.GroupDropPosition(dragPos_.x(), pressed_->GroupIndex() >= 0);
        const QRect at = level < grid_.GroupColumnCount()
                             ? groupButtonRect(level)
                             : groupButtonRect(level).translated(-4, 0);
        p.drawLine(at.left() - 2, at.top() - 2, at.left() - 2, at.bottom() + 2);
    } else if (place == TdxDBGrid::DropPlace::HeaderRow) {
        const auto& order = grid_.HeaderOrder();
        const int position = headerPositionAt(dragPos_.x());
        int x = contentWidth() - scrollX();
        for (int i = position; i < static_cast<int>(order.size()); ++i)
            if (order[static_cast<size_t>(i)]->Visible()) {
                x = headerRect(*order[static_cast<size_t>(i)]).left();
                break;
            }
        p.drawLine(x, groupPanelHeight(), x, groupPanelHeight() + headerHeight());
    }
    const QRect ghost(dragPos_ - QPoint(50, headerHeight() / 2), QSize(100, headerHeight()));
    p.setOpacity(0.7);
    paintHeaderCell(p, ghost, qs(pressed_->Caption()), pressed_->Sorted());
    p.setOpacity(1);
}

} // namespace rg
