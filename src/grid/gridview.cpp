#include "grid/gridview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace rg {
namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

Qt::Alignment cellAlignment(Alignment a) {
    switch (a) {
    case Alignment::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case Alignment::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

} // namespace

TdxDBGridView::TdxDBGridView(TdxDBGrid& grid, QWidget* parent) : QAbstractScrollArea(parent), grid_(grid) {
    setObjectName(QStringLiteral("dxDBGrid"));
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);  // flat look
    viewport()->setAutoFillBackground(false);
    grid_.addListener(this);
    updateScrollBars();
}

TdxDBGridView::~TdxDBGridView() { grid_.removeListener(this); }

int TdxDBGridView::headerHeight() const { return fontMetrics().height() + 6; }
int TdxDBGridView::rowHeight() const { return fontMetrics().height() + 4; }

int TdxDBGridView::groupPanelHeight() const {
    if (!grid_.ShowGroupPanel) return 0;
    const int h = headerHeight();
    const int n = grid_.GroupColumnCount();
    if (n == 0) return h + 16;
    return 8 + (n - 1) * (h / 2) + h + 8;
}

int TdxDBGridView::summaryFooterHeight() const { return grid_.ShowSummaryFooter ? rowHeight() + 4 : 0; }

QRect TdxDBGridView::groupButtonRect(int level) const {
    const int h = headerHeight();
    return QRect(8 + 104 * level, 8 + level * (h / 2), 100, h);
}

int TdxDBGridView::indentWidth() const { return grid_.GroupColumnCount() * kIndent; }

int TdxDBGridView::contentWidth() const {
    int w = indentWidth();
    for (const TdxDBGridColumn* c : grid_.VisibleColumns()) w += c->Width();
    return w;
}

QRect TdxDBGridView::headerRect(const TdxDBGridColumn& col) const {
    int x = indentWidth() - horizontalScrollBar()->value();
    for (const TdxDBGridColumn* c : grid_.VisibleColumns()) {
        if (c == &col) return QRect(x, groupPanelHeight(), c->Width(), headerHeight());
        x += c->Width();
    }
    return {};
}

int TdxDBGridView::dataTop() const { return groupPanelHeight() + headerHeight(); }
int TdxDBGridView::dataBottom() const { return viewport()->height() - summaryFooterHeight(); }
int TdxDBGridView::topLine() const { return verticalScrollBar()->value(); }

int TdxDBGridView::lineAt(int y) const {
    if (y < dataTop() || y >= dataBottom()) return -1;
    const int line = topLine() + (y - dataTop()) / rowHeight();
    return line < static_cast<int>(grid_.VisibleRows().size()) ? line : -1;
}

void TdxDBGridView::updateScrollBars() {
    const int lines = static_cast<int>(grid_.VisibleRows().size());
    const int page = std::max(1, (dataBottom() - dataTop()) / std::max(rowHeight(), 1));
    verticalScrollBar()->setRange(0, std::max(0, lines - page));
    verticalScrollBar()->setPageStep(page);
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth() - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void TdxDBGridView::gridChanged() {
    updateScrollBars();
    viewport()->update();
}

void TdxDBGridView::focusChanged() {
    const int line = focusedLine();
    if (line >= 0) ensureLineVisible(line);
    viewport()->update();
    emit focusedRowChanged();
}

int TdxDBGridView::focusedLine() const {
    const RowHandle f = grid_.FocusedRow();
    if (!f.valid()) return -1;
    const auto& rows = grid_.VisibleRows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].row == f && rows[i].footer < 0) return static_cast<int>(i);
    return -1;
}

void TdxDBGridView::ensureLineVisible(int line) {
    const int page = std::max(1, (dataBottom() - dataTop()) / rowHeight());
    if (line < topLine()) verticalScrollBar()->setValue(line);
    else if (line >= topLine() + page) verticalScrollBar()->setValue(line - page + 1);
}

void TdxDBGridView::focusLine(int line) {
    const auto& rows = grid_.VisibleRows();
    if (rows.empty()) return;
    line = std::clamp(line, 0, static_cast<int>(rows.size()) - 1);
    grid_.SetFocusedRow(rows[static_cast<size_t>(line)].row);
    ensureLineVisible(line);
}

void TdxDBGridView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
}

void TdxDBGridView::scrollContentsBy(int, int) { viewport()->update(); }

bool TdxDBGridView::onExpandButton(const VisibleRow& row, int x) const {
    if (!row.row.isGroup() || row.footer >= 0) return false;
    const int left = grid_.Level(row.row) * kIndent - horizontalScrollBar()->value();
    return x >= left && x < left + kIndent;
}

void TdxDBGridView::guarded(const std::function<void()>& command) {
    if (guard_) return guard_(command);
    try {
        command();
    } catch (const std::exception&) {
        // Without a guard nobody can show the message; the view stays usable.
    }
}

void TdxDBGridView::mousePressEvent(QMouseEvent* e) {
    guarded([&] { mousePress(e); });
}

void TdxDBGridView::mouseDoubleClickEvent(QMouseEvent* e) {
    guarded([&] { mouseDoubleClick(e); });
}

void TdxDBGridView::keyPressEvent(QKeyEvent* e) {
    guarded([&] { keyPress(e); });
}

TdxDBGridColumn* TdxDBGridView::headerColumnAt(int x) const {
    for (TdxDBGridColumn* c : grid_.VisibleColumns()) {
        const QRect r = headerRect(*c);
        if (x >= r.left() && x <= r.right()) return c;
    }
    return nullptr;
}

// The header position a column dropped at x takes: before the column whose centre is
// right of x.
int TdxDBGridView::headerPositionAt(int x) const {
    const auto& order = grid_.HeaderOrder();
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i]->Visible() && x < headerRect(*order[i]).center().x()) return static_cast<int>(i);
    return static_cast<int>(order.size());
}

void TdxDBGridView::mouseReleaseEvent(QMouseEvent* e) {
    guarded([&] { mouseRelease(e); });
}

void TdxDBGridView::mouseRelease(QMouseEvent* e) {
    TdxDBGridColumn* c = pressed_;
    pressed_ = nullptr;
    if (!c || e->button() != Qt::LeftButton) return;
    const QPoint pos = e->position().toPoint();
    if ((pos - pressPos_).manhattanLength() < QApplication::startDragDistance()) {
        grid_.SortByClick(*c, e->modifiers() & Qt::ControlModifier);
        return;
    }
    const bool onPanel = grid_.ShowGroupPanel && pos.y() >= 0 && pos.y() < groupPanelHeight();
    const bool onHeader = pos.y() >= groupPanelHeight() && pos.y() < groupPanelHeight() + headerHeight();
    if (onPanel) {
        // Refused groupings change nothing and say nothing.
        c->SetGroupIndex(grid_.GroupDropPosition(pos.x(), c->GroupIndex() >= 0));
    } else if (pressedOnPanel_) {
        grid_.UngroupColumn(c->GroupIndex());
        if (onHeader) grid_.MoveColumn(*c, headerPositionAt(pos.x()));
    } else if (onHeader) {
        grid_.MoveColumn(*c, headerPositionAt(pos.x()));
    }
}

void TdxDBGridView::mousePress(QMouseEvent* e) {
    setFocus();
    const QPoint pos = e->position().toPoint();
    if (e->button() == Qt::LeftButton && pos.y() < dataTop()) {
        pressPos_ = pos;
        pressed_ = nullptr;
        pressedOnPanel_ = pos.y() < groupPanelHeight();
        if (pressedOnPanel_) {
            for (int i = 0; i < grid_.GroupColumnCount(); ++i)
                if (groupButtonRect(i).contains(pos)) pressed_ = &grid_.GroupColumns(i);
        } else {
            pressed_ = headerColumnAt(pos.x());
        }
        return;
    }
    const int line = lineAt(e->position().toPoint().y());
    if (line < 0 || e->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(e);
    const VisibleRow row = grid_.VisibleRows()[static_cast<size_t>(line)];
    if (onExpandButton(row, e->position().toPoint().x())) {
        grid_.SetExpanded(row.row, !grid_.Expanded(row.row));
        return;
    }
    grid_.SetFocusedRow(row.row);
}

void TdxDBGridView::mouseDoubleClick(QMouseEvent* e) {
    const int line = lineAt(e->position().toPoint().y());
    if (line < 0) return;
    const VisibleRow row = grid_.VisibleRows()[static_cast<size_t>(line)];
    if (row.row.isGroup() && row.footer < 0 && !onExpandButton(row, e->position().toPoint().x()))
        grid_.SetExpanded(row.row, !grid_.Expanded(row.row));
}

void TdxDBGridView::keyPress(QKeyEvent* e) {
    const int line = focusedLine();
    const int page = std::max(1, (dataBottom() - dataTop()) / rowHeight());
    const RowHandle f = grid_.FocusedRow();
    // Footer lines are not focusable: moving skips over them.
    auto step = [&](int from, int dir) {
        const auto& rows = grid_.VisibleRows();
        int l = from + dir;
        while (l >= 0 && l < static_cast<int>(rows.size()) && rows[static_cast<size_t>(l)].footer >= 0) l += dir;
        return l;
    };
    switch (e->key()) {
    case Qt::Key_Down: focusLine(std::min(step(line, 1), static_cast<int>(grid_.VisibleRows().size()) - 1)); break;
    case Qt::Key_Up: if (line > 0) focusLine(std::max(step(line, -1), 0)); break;
    case Qt::Key_PageDown: focusLine(line + page); break;
    case Qt::Key_PageUp: focusLine(std::max(line - page, 0)); break;
    case Qt::Key_Home: if (e->modifiers() & Qt::ControlModifier) focusLine(0); break;
    case Qt::Key_End: if (e->modifiers() & Qt::ControlModifier) focusLine(static_cast<int>(grid_.VisibleRows().size()) - 1); break;
    case Qt::Key_Left: if (f.isGroup()) grid_.SetExpanded(f, false); break;
    case Qt::Key_Right: if (f.isGroup()) grid_.SetExpanded(f, true); break;
    default: QAbstractScrollArea::keyPressEvent(e); return;
    }
}

// ---- painting ----

void TdxDBGridView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.fillRect(viewport()->rect(), pal.color(QPalette::Base));
    p.setFont(font());

    const auto& rows = grid_.VisibleRows();
    const int focused = focusedLine();
    const int h = rowHeight();
    p.save();
    p.setClipRect(QRect(0, dataTop(), viewport()->width(), dataBottom() - dataTop()));
    int y = dataTop();
    for (int line = topLine(); line < static_cast<int>(rows.size()) && y < dataBottom(); ++line, y += h)
        paintLine(p, rows[static_cast<size_t>(line)], y, line == focused && hasFocus() ? true : line == focused);
    p.restore();

    paintHeader(p);
    if (grid_.ShowGroupPanel) paintGroupPanel(p);
    if (grid_.ShowSummaryFooter) paintSummaryFooter(p);
}

void TdxDBGridView::paintHeaderCell(QPainter& p, const QRect& r, const QString& text, TdxTreeListColumnSort sort) {
    const QPalette& pal = palette();
    p.fillRect(r, pal.color(QPalette::Button));
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(pal.color(QPalette::ButtonText));
    QRect textRect = r.adjusted(4, 0, sort == TdxTreeListColumnSort::csNone ? -4 : -16, 0);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, fontMetrics().elidedText(text, Qt::ElideRight, textRect.width()));
    if (sort != TdxTreeListColumnSort::csNone) {
        const int cx = r.right() - 9, cy = r.center().y();
        QPolygon arrow;
        if (sort == TdxTreeListColumnSort::csUp) arrow << QPoint(cx - 4, cy + 2) << QPoint(cx + 4, cy + 2) << QPoint(cx, cy - 3);
        else arrow << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 3);
        p.setBrush(pal.color(QPalette::ButtonText));
        p.drawPolygon(arrow);
        p.setBrush(Qt::NoBrush);
    }
}

void TdxDBGridView::paintGroupPanel(QPainter& p) {
    const QPalette& pal = palette();
    const QRect panel(0, 0, viewport()->width(), groupPanelHeight());
    p.fillRect(panel, pal.color(QPalette::Dark));  // button shadow
    if (grid_.GroupColumnCount() == 0) {
        p.setPen(pal.color(QPalette::Button));
        p.drawText(panel.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral(" Drag a column header here to group by that column"));
        return;
    }
    for (int i = 0; i < grid_.GroupColumnCount(); ++i) {
        const TdxDBGridColumn& c = grid_.GroupColumns(i);
        const QRect r = groupButtonRect(i);
        paintHeaderCell(p, r, qs(c.Caption()), c.Sorted());
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
        if (r.right() < 0 || r.left() > viewport()->width()) continue;
        paintHeaderCell(p, r, qs(c->Caption()), c->Sorted());
    }
}

void TdxDBGridView::paintLine(QPainter& p, const VisibleRow& row, int y, bool focused) {
    const QPalette& pal = palette();
    const int h = rowHeight();
    const int scroll = horizontalScrollBar()->value();
    const int width = viewport()->width();
    const QColor grid = pal.color(QPalette::Midlight);

    if (row.row.isGroup()) {
        const int level = grid_.Level(row.row);
        const int left = level * kIndent - scroll;
        const QRect r(left, y, width - left, h);
        p.fillRect(r, focused ? pal.color(QPalette::Highlight) : pal.color(QPalette::Button));
        // Expand button: a small box with + or -.
        const QRect box(left + (kIndent - 9) / 2, y + (h - 9) / 2, 9, 9);
        p.setPen(pal.color(QPalette::Shadow));
        p.fillRect(box, pal.color(QPalette::Base));
        p.drawRect(box);
        p.drawLine(box.left() + 2, box.center().y(), box.right() - 2, box.center().y());
        if (!grid_.Expanded(row.row)) p.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
        p.setPen(focused ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::WindowText));
        p.drawText(QRect(left + kIndent + 2, y, width, h), Qt::AlignLeft | Qt::AlignVCenter, qs(grid_.GroupRowText(row.row)));
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
                p.drawText(cell.adjusted(4, 0, -4, 0), cellAlignment(c->alignment()),
                           qs(grid_.FooterCellText(row.row, *c, row.footer)));
            }
            x += c->Width();
        }
        return;
    }

    int x = levels * kIndent - scroll;
    const QRect r(x, y, width - x, h);
    p.fillRect(r, focused ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
    for (const TdxDBGridColumn* c : grid_.VisibleColumns()) {
        const QRect cell(x, y, c->Width(), h);
        if (cell.right() >= 0 && cell.left() <= width) {
            p.setPen(focused ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
            const QString text = qs(grid_.CellText(row.row, *c));
            p.drawText(cell.adjusted(3, 0, -3, 0), cellAlignment(c->alignment()),
                       fontMetrics().elidedText(text, Qt::ElideRight, cell.width() - 6));
            p.setPen(grid);
            p.drawLine(cell.right(), y, cell.right(), y + h - 1);
        }
        x += c->Width();
    }
    p.setPen(grid);
    p.drawLine(levels * kIndent - scroll, y + h - 1, x, y + h - 1);
}

void TdxDBGridView::paintSummaryFooter(QPainter& p) {
    const QPalette& pal = palette();
    const QRect band(0, dataBottom(), viewport()->width(), summaryFooterHeight());
    p.fillRect(band, pal.color(QPalette::Button));
    int x = indentWidth() - horizontalScrollBar()->value();
    for (const TdxDBGridColumn* c : grid_.VisibleColumns()) {
        const QRect cell(x, band.top() + 2, c->Width(), rowHeight());
        if (grid_.SummaryFooterCellExists(*c)) {
            p.setPen(pal.color(QPalette::Mid));
            p.drawRect(cell.adjusted(1, 0, -2, -1));
            p.setPen(pal.color(QPalette::ButtonText));
            p.drawText(cell.adjusted(4, 0, -4, 0), cellAlignment(c->alignment()), qs(grid_.SummaryFooterText(*c)));
        }
        x += c->Width();
    }
}

} // namespace rg
