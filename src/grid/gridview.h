#pragma once

#include "grid/grid.h"

#include <QAbstractScrollArea>

#include <functional>

namespace rg {

// The result grid on screen: group panel, header row, the tree of rows with group footer
// rows, and the summary footer band. It paints only the rows in view, so a million rows
// scroll like ten. Everything shown is read from the TdxDBGrid it watches.
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
    int groupPanelHeight() const;
    int summaryFooterHeight() const;
    static constexpr int kIndent = 18;  // per grouping level
    // The group button of a level, in viewport coordinates.
    QRect groupButtonRect(int level) const;
    QRect headerRect(const TdxDBGridColumn& c) const;
    // The first shown line index at the top of the data area.
    int topLine() const;

signals:
    void focusedRowChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void gridChanged() override;
    void focusChanged() override;
    void updateScrollBars();
    int dataTop() const;
    int dataBottom() const;
    int indentWidth() const;
    int contentWidth() const;
    int lineAt(int y) const;
    void ensureLineVisible(int line);
    int focusedLine() const;
    void focusLine(int line);
    bool onExpandButton(const VisibleRow& row, int x) const;

    void paintGroupPanel(QPainter& p);
    void paintHeader(QPainter& p);
    void paintHeaderCell(QPainter& p, const QRect& r, const QString& text, TdxTreeListColumnSort sort);
    void paintLine(QPainter& p, const VisibleRow& row, int y, bool focused);
    void paintSummaryFooter(QPainter& p);

    void guarded(const std::function<void()>& command);
    void mousePress(QMouseEvent* e);
    void mouseRelease(QMouseEvent* e);
    TdxDBGridColumn* headerColumnAt(int x) const;
    int headerPositionAt(int x) const;
    void mouseDoubleClick(QMouseEvent* e);
    void keyPress(QKeyEvent* e);

    TdxDBGrid& grid_;
    CommandGuard guard_;
    // A header or group button held down with the left button: clicked or dragged.
    TdxDBGridColumn* pressed_ = nullptr;
    bool pressedOnPanel_ = false;
    QPoint pressPos_;
};

} // namespace rg
