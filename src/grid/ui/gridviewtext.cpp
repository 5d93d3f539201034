// Texts of the grid view beyond painting: copying rows to the clipboard, fitting a column
// to its texts, tooltips that show whole what a cell shows cut, and the group buttons' menu.

#include "grid/ui/gridview.h"

#include "grid/gridcopy.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>

namespace rg {
namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

void TdxDBGridView::CopySelectedRows() {
    const std::string text =
        selection_.empty()
            ? RowsAsText(grid_, grid_.FocusedRow())
            : SelectedRowsAsText(grid_, [this](RowHandle r) { return selection_.contains(r); });
    if (!text.empty())
        QGuiApplication::clipboard()->setText(qs(text));
}

int TdxDBGridView::FitWidth(const TdxDBGridColumn& c) const {
    const QFontMetrics fm = fontMetrics();
    // Room for a sort arrow and the filter button, so that sorting later cuts nothing;
    // one pixel more absorbs the rounding of text widths.
    const QRect header =
        headerTextRect(QRect(0, 0, 1000, 1), TdxTreeListColumnSort::csUp, kFilterButton);
    int width = fm.horizontalAdvance(qs(c.Caption())) + 1000 - header.width();
    const int cellPadding = 1000 - cellTextRect(QRect(0, 0, 1000, 1)).width();
    const int footerPadding = 1000 - footerTextRect(QRect(0, 0, 1000, 1)).width();
    const int last = std::min(lineCount(), topLine() + pageLines() + 1);
    for (int line = topLine(); line < last; ++line) {
        const std::optional<VisibleRow> row = rowAtLine(line);
        if (!row || row->row.isGroup())
            continue;
        if (row->footer < 0)
            width = std::max(width, fm.horizontalAdvance(cellText(row->row, c)) + cellPadding);
        else if (grid_.FooterCellExists(row->row, c, row->footer))
            width = std::max(
                width, fm.horizontalAdvance(qs(grid_.FooterCellText(row->row, c, row->footer))) +
                           footerPadding);
    }
    if (grid_.ShowSummaryFooter() && grid_.SummaryFooterCellExists(c))
        width =
            std::max(width, fm.horizontalAdvance(qs(grid_.SummaryFooterText(c))) + footerPadding);
    return width + 1;
}

std::optional<TdxDBGridView::ShownText> TdxDBGridView::shownTextAt(const QPoint& pos) const {
    const int y = pos.y();
    if (y < groupPanelHeight()) {
        for (int i = 0; i < grid_.GroupColumnCount(); ++i) {
            const QRect r = groupButtonRect(i);
            const TdxDBGridColumn& c = grid_.GroupColumns(i);
            if (r.contains(pos))
                return ShownText{qs(c.Caption()), headerTextRect(r, c.Sorted(), 0)};
        }
        return std::nullopt;
    }
    TdxDBGridColumn* c = headerColumnAt(pos.x());
    if (y < dataTop()) {
        if (!c)
            return std::nullopt;
        const int button = filterButtonRect(*c).isNull() ? 0 : kFilterButton;
        return ShownText{qs(c->Caption()), headerTextRect(headerRect(*c), c->Sorted(), button)};
    }
    if (y >= dataBottom()) {
        if (!c || !grid_.ShowSummaryFooter() || y >= dataBottom() + summaryFooterHeight() ||
            !grid_.SummaryFooterCellExists(*c))
            return std::nullopt;
        const QRect cell(headerRect(*c).left(), dataBottom() + 2, c->Width(), rowHeight());
        return ShownText{qs(grid_.SummaryFooterText(*c)), footerTextRect(cell)};
    }
    const int line = lineAt(y);
    const std::optional<VisibleRow> row = line >= 0 ? rowAtLine(line) : std::nullopt;
    if (!row)
        return std::nullopt;
    const int top = dataTop() + (line - topLine()) * rowHeight();
    if (row->row.isGroup())
        return ShownText{qs(grid_.GroupRowText(row->row)), groupTextRect(*row, top)};
    if (!c)
        return std::nullopt;
    const QRect cell(headerRect(*c).left(), top, c->Width(), rowHeight());
    if (row->footer < 0)
        return ShownText{cellText(row->row, *c), cellTextRect(cell)};
    if (!grid_.FooterCellExists(row->row, *c, row->footer))
        return std::nullopt;
    return ShownText{qs(grid_.FooterCellText(row->row, *c, row->footer)), footerTextRect(cell)};
}

QString TdxDBGridView::cellText(RowHandle row, const TdxDBGridColumn& c) const {
    return shownText(grid_.CellText(row, c), c);
}

// Booleans show in the words of the translation; exports and filters keep "True"/"False".
QString TdxDBGridView::shownText(const std::string& text, const TdxDBGridColumn& c) const {
    const Field* field = c.field();
    if (!field || field->Kind() != FieldKind::Boolean)
        return qs(text);
    if (text == "True")
        return tr("True");
    if (text == "False")
        return tr("False");
    return qs(text);
}

QString TdxDBGridView::ClippedTextAt(const QPoint& pos) const {
    const std::optional<ShownText> shown = shownTextAt(pos);
    if (!shown || fitted(shown->text, shown->rect.width()) == shown->text)
        return {};
    return shown->text;
}

bool TdxDBGridView::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ContextMenu) {
        const QPoint pos = static_cast<QContextMenuEvent*>(e)->pos();
        if (showGroupIntervalMenu(pos) || showFooterFormatMenu(pos))
            return true;
    }
    if (e->type() != QEvent::ToolTip)
        return QAbstractScrollArea::viewportEvent(e);
    const auto* help = static_cast<QHelpEvent*>(e);
    const QString text = ClippedTextAt(help->pos());
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, viewport());
    return true;
}

} // namespace rg
