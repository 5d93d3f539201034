#pragma once

#include "print/printwindows.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QPrintDialog;
class QPrinter;
class QWidget;

namespace rg {

class TdxPreviewWindow;

// The print engine's windows with Qt: the preview window, Qt's print dialog and printer,
// the page setup dialog and the report designer. The printer and its choices last for the
// run.
class PrintEngineWindows : public TdxPrintWindows {
public:
    using CommandGuard = std::function<void(const std::function<void()>&)>;
    explicit PrintEngineWindows(QWidget* parent);
    ~PrintEngineWindows() override;

    // Runs the preview window's commands; without one, errors are shown in a message box.
    void setCommandGuard(CommandGuard guard) { guard_ = std::move(guard); }
    QPrinter& printer() { return *printer_; }
    TdxPreviewWindow* previewWindow() const;

    bool RaisePreview() override;
    void ShowPreview(TdxComponentPrinter& engine, TdxDBGridReportLink& link, bool modal) override;
    PrintDialogResult ShowPrintDialog(TdxComponentPrinter& engine, TdxDBGridReportLink& link,
                                      TdxPrintDlgData* data) override;
    void PrintReport(TdxDBGridReportLink& link) override;
    PageSetupResult ShowPageSetup(TdxDBGridReportLink& link) override;
    DesignerResult ShowDesigner(TdxComponentPrinter& engine, TdxDBGridReportLink& link) override;

    // The pages the printer's settings choose, 0-based, copies included.
    std::vector<int> chosenPages(const TdxDBGridReportLink& link) const;

private:
    static constexpr int kPreviewResult = 2; // the print dialog left through its preview button
    QWidget* dialogParent() const;
    void addPrintDialogButtons(QPrintDialog& dialog, TdxDBGridReportLink& link);
    PageSetupResult ShowPageSetup(TdxDBGridReportLink& link, QWidget* parent);

    QWidget* parent_;
    CommandGuard guard_;
    std::unique_ptr<QPrinter> printer_;
    QPointer<TdxPreviewWindow> preview_;
};

} // namespace rg
