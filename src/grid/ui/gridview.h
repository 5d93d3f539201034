#pragma once

#include "grid/grid.h"
#include "grid/ui/rowselection.h"

#include <QAbstractScrollArea>

#include <functional>
#include <optional>

namespace rg {

class TdxFindBar;
class TdxCrossTableView;

// The result grid on screen: group panel, header row, the tree of rows with group footer
// rows, the summary footer band and, while the data set is filtered, the filter status
// strip. It paints only the rows in view, so a million rows scroll like ten. Everything
// shown is read from the TdxDBGrid it watches; mouse and keyboard end in the grid's and
// the data set's operations.
class TdxDBGridView : public QAbstractScrollArea, private GridListener {
    Q_OBJECT
public:
    explicit TdxDBGridView(TdxDBGrid& grid, QWidget* parent = nullptr);
    ~TdxDBGridView() override;

    TdxDBGrid& grid() { return grid_; }

    // Mouse and keyboard commands run through this guard (the main window's error guard),
    // so that no error of the grid or the data set leaves an event handler.
    using CommandGuard = std::function<void(const std::function<void()>&)>;
    void setCommandGuard(CommandGuard guard) { guard_ = std::move(guard); }

    // Measures shared by painting, hit testing and the tests.
    int headerHeight() const;
    int rowHeight() const;
    int groupPanelHeight() const; // the group buttons' strip and the cross strip below
    int groupStripHeight() const;
    // The cross strip's button while a cross table is set.
    QRect crossButtonRect() const;
    int summaryFooterHeight() const;
    int filterStatusHeight() const;
    static constexpr int kIndent = 18;       // per grouping level
    static constexpr int kFilterButton = 14; // the drop-down button at a header's right end
    // The group button of a level, in viewport coordinates.
    QRect groupButtonRect(int level) const;
    // The caption of a grouped level's button, with its interval ("订单日期 · 月").
    QString groupButtonText(int level) const;
    QRect headerRect(const TdxDBGridColumn& c) const;
    QRect filterButtonRect(const TdxDBGridColumn& c) const;
    // The button of the filter status strip that removes the filter.
    QRect filterClearRect() const;
    // The first shown line index at the top of the data area, and how far the columns are
    // scrolled to the left, both within what the rows and columns allow now.
    int topLine() const;
    int scrollX() const;
    // The line of the new record while one is being inserted, else -1.
    int newRecordLine() const;

    // Commands of the keyboard, also reachable from code.
    void DeleteFocusedRecord(); // Ctrl+Delete: asks, then deletes the focused data row's record
    void InsertRecord();        // Insert: starts a new record
    void CancelInsert();        // Up, Escape or leaving the grid: drops the new record
    // Opens the drop-down list of a column header's filter button.
    void ShowFilterDropDown(TdxDBGridColumn& c);
    // Ctrl+C: the selected rows (a group row standing for all its data rows), else the
    // focused row, onto the clipboard as tab-separated text under a line of captions, each
    // line led by its group values (RowsAsText).
    void CopySelectedRows();
    // Ctrl+A.
    void SelectAll();
    const RowSelection& selection() const { return selection_; }
    // Ctrl+F: the find bar over the top right corner, its text ready for typing.
    void ShowFindBar();
    TdxFindBar* findBar() const { return findBar_; }
    // Enter or F3 in the find bar, F3 in the grid: focuses the next row that matches, opening
    // the collapsed groups above it and scrolling its cell into view. False, with "not
    // found" in the bar, when no row matches.
    bool FindNext(bool backwards = false);
    // The width that shows whole the column's caption, its texts in the rows on screen and
    // its footer texts; a double click on the header's right edge sizes the column to it.
    int FitWidth(const TdxDBGridColumn& c) const;
    // The whole text under a point of the viewport when it is shown cut, else empty: what
    // the tooltip there shows.
    QString ClippedTextAt(const QPoint& pos) const;
    // A data cell's text as the view shows it.
    QString cellText(RowHandle row, const TdxDBGridColumn& c) const;

    // Chooses a cross table's cells for a proposed one; nullopt when the user cancels. The
    // default shows the cross table dialog.
    using CrossDialog = std::function<std::optional<CrossTableDef>(const CrossTableDef&)>;
    void setCrossDialog(CrossDialog dialog) { crossDialog_ = std::move(dialog); }
    TdxCrossTableView* crossView() const { return crossView_; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* e) override;
    // A group button's intervals in a menu at `pos`; false where no group button with
    // intervals is.
    bool showGroupIntervalMenu(const QPoint& pos);
    // The number formats of a summed column's summary footer at `pos`; false elsewhere.
    bool showFooterFormatMenu(const QPoint& pos);

private:
    QString shownText(const std::string& text, const TdxDBGridColumn& c) const;
    void gridChanged() override;
    void focusChanged() override;
    void updateScrollBars();
    int dataTop() const;
    int dataBottom() const;
    int indentWidth() const;
    int contentWidth() const;
    int lineCount() const;
    int lineAt(int y) const;
    std::optional<VisibleRow> rowAtLine(int line) const;
    void ensureLineVisible(int line);
    int focusedLine() const;
    void focusLine(int line);
    int pageLines() const;
    bool inserting() const;
    bool onExpandButton(const VisibleRow& row, int x) const;
    // A text as painted: the whole text and the rectangle it has to fit in.
    struct ShownText {
        QString text;
        QRect rect;
    };
    std::optional<ShownText> shownTextAt(const QPoint& pos) const;
    QRect groupTextRect(const VisibleRow& row, int y) const;
    static QRect headerTextRect(const QRect& header, TdxTreeListColumnSort sort, int filterButton);
    static QRect cellTextRect(const QRect& cell) { return cell.adjusted(3, 0, -3, 0); }
    static QRect footerTextRect(const QRect& cell) { return cell.adjusted(4, 0, -4, 0); }
    // Cut with "…" when it does not fit.
    QString fitted(const QString& text, int width) const;

    void paintGroupPanel(QPainter& p);
    void paintHeader(QPainter& p);
    void paintHeaderCell(QPainter& p, const QRect& r, const QString& text,
                         TdxTreeListColumnSort sort, int filterButton = 0, bool filtered = false);
    void paintLine(QPainter& p, const VisibleRow& row, int y, bool selected);
    void paintNewRecord(QPainter& p, int y);
    void paintSummaryFooter(QPainter& p);
    void paintFilterStatus(QPainter& p);
    void paintDrag(QPainter& p);
    void paintCrossStrip(QPainter& p);
    bool inCrossStrip(const QPoint& pos) const;
    // The end of a press on the cross strip's button, and of a header dropped on the strip.
    void crossButtonReleased(const QPoint& pos, bool dragged);
    void editCrossTable(const CrossTableDef& proposed);
    // Shows the cross table over the rows while the grid has one.
    void syncCrossView();

    void guarded(const std::function<void()>& command);
    void mousePress(QMouseEvent* e);
    void mouseMove(QMouseEvent* e);
    void mouseRelease(QMouseEvent* e);
    TdxDBGridColumn* headerColumnAt(int x) const;
    TdxDBGridColumn* resizeEdgeAt(const QPoint& pos) const;
    int headerPositionAt(int x) const;
    TdxDBGrid::DropPlace dropPlaceAt(const QPoint& pos) const;
    void mouseDoubleClick(QMouseEvent* e);
    void keyPress(QKeyEvent* e);
    void customFilter(TdxDBGridColumn& c);
    // Moves the focus by `move`; the selection becomes the new focused row, or with Shift
    // stretches from its anchor to it.
    void moveFocus(const std::function<void()>& move, bool extend);
    void clickSelect(RowHandle row, Qt::KeyboardModifiers modifiers);
    void placeFindBar();
    void scrollColumnIntoView(const TdxDBGridColumn& c);

    TdxDBGrid& grid_;
    CommandGuard guard_;
    // A header or group button held down with the left button: clicked or dragged.
    TdxDBGridColumn* pressed_ = nullptr;
    bool pressedOnPanel_ = false;
    bool pressedOnCross_ = false;
    bool dragging_ = false;
    QPoint pressPos_, dragPos_;
    // A column whose right edge is being dragged, with its width when the drag began.
    TdxDBGridColumn* resizing_ = nullptr;
    int resizeStartWidth_ = 0;
    // Where the new record shows: before the row that was focused when it began.
    int insertLine_ = 0;
    RowSelection selection_{grid_};
    bool extending_ = false; // a focus move whose selection the mover sets
    TdxFindBar* findBar_ = nullptr;
    TdxCrossTableView* crossView_ = nullptr;
    CrossDialog crossDialog_;
};

} // namespace rg
