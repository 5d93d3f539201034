#pragma once

#include <QDialog>

#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;
class QToolBar;

namespace rg {

class TdxComponentPrinter;
class TdxDBGridReportLink;
class TdxPreviewPageView;

// The preview window: the report's pages with page navigation and zoom, and the engine's
// print, page setup and designer commands.
class TdxPreviewWindow : public QDialog {
    Q_OBJECT
public:
    using CommandGuard = std::function<void(const std::function<void()>&)>;
    TdxPreviewWindow(TdxComponentPrinter& engine, TdxDBGridReportLink& link, CommandGuard guard,
                     QWidget* parent = nullptr);

    int currentPage() const; // 0-based
    void goToPage(int page);
    // Zoom in percent; 0 fits the page width, -1 the whole page.
    void setZoomPercent(int percent);
    double zoom() const;
    // After the report's settings changed: new page breaks, same page where possible.
    void reportChanged();

    QToolBar* PreviewToolBar;
    QAction *actPrint, *actPageSetup, *actDesigner;
    QAction *actFirstPage, *actPriorPage, *actNextPage, *actLastPage;
    QAction *actZoomIn, *actZoomOut, *actClose;
    QSpinBox* edPageNumber;
    QComboBox* cbZoom;
    QLabel* lblPageCount;
    QScrollArea* PreviewArea;
    TdxPreviewPageView* PreviewPage;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    QAction* addAction(const char* name, const QString& text, QKeySequence key,
                       void (TdxPreviewWindow::*slot)());
    void printClick();
    void pageSetupClick();
    void designerClick();
    void firstClick() { goToPage(0); }
    void priorClick() { goToPage(currentPage() - 1); }
    void nextClick() { goToPage(currentPage() + 1); }
    void lastClick();
    void zoomInClick();
    void zoomOutClick();
    void zoomChosen(int index);
    void applyFitZoom();
    void updateControls();

    TdxComponentPrinter& engine_;
    TdxDBGridReportLink& link_;
    CommandGuard guard_;
    int fitMode_ = 0; // 0: none, 1: page width, 2: whole page
};

} // namespace rg
