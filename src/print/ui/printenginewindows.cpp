#include "print/ui/printenginewindows.h"

#include "common/progress.h"
#include "print/componentprinter.h"
#include "print/ui/pagesetupdialog.h"
#include "print/ui/previewwindow.h"
#include "print/ui/reportdesigner.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace rg {

PrintEngineWindows::PrintEngineWindows(QWidget* parent)
    : parent_(parent), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    guard_ = [this](const std::function<void()>& command) {
        try {
            command();
        } catch (const std::exception& e) {
            QMessageBox::critical(dialogParent(), QApplication::applicationName(),
                                  QString::fromUtf8(e.what()));
        }
    };
}

PrintEngineWindows::~PrintEngineWindows() = default;

TdxPreviewWindow* PrintEngineWindows::previewWindow() const {
    return preview_;
}

QWidget* PrintEngineWindows::dialogParent() const {
    return preview_ ? static_cast<QWidget*>(preview_.data()) : parent_;
}

bool PrintEngineWindows::RaisePreview() {
    if (!preview_)
        return false;
    if (preview_->isMinimized())
        preview_->showNormal();
    preview_->raise();
    preview_->activateWindow();
    return true;
}

void PrintEngineWindows::ShowPreview(TdxComponentPrinter& engine, TdxDBGridReportLink& link,
                                     bool modal) {
    auto window = new TdxPreviewWindow(engine, link, guard_, parent_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    preview_ = window;
    QObject::connect(window, &QDialog::finished, window,
                     [&engine, &link] { engine.PreviewClosed(link); });
    if (modal) {
        window->exec();
    } else {
        window->show();
    }
}

// Qt's print dialog gets the page setup and preview buttons of the engine's print dialog.
void PrintEngineWindows::addPrintDialogButtons(QPrintDialog& dialog, TdxDBGridReportLink& link) {
    auto box = dialog.findChild<QDialogButtonBox*>();
    if (box == nullptr)
        return;
    QPushButton* setup =
        box->addButton(QStringLiteral("页面设置..."), QDialogButtonBox::ActionRole);
    setup->setObjectName(QStringLiteral("btnPageSetup"));
    QPushButton* preview =
        box->addButton(QStringLiteral("打印预览..."), QDialogButtonBox::ActionRole);
    preview->setObjectName(QStringLiteral("btnPreview"));
    QObject::connect(preview, &QPushButton::clicked, &dialog,
                     [&dialog] { dialog.done(kPreviewResult); });
    QObject::connect(setup, &QPushButton::clicked, &dialog, [this, &dialog, &link] {
        guard_([&] {
            const PageSetupResult r = ShowPageSetup(link, &dialog);
            if (r != PageSetupResult::Cancel)
                link.GiveGridChoices();
            dialog.setMinMax(1, std::max(1, link.PageCount()));
            if (r == PageSetupResult::Preview)
                dialog.done(kPreviewResult);
        });
    });
}

PrintDialogResult PrintEngineWindows::ShowPrintDialog(TdxComponentPrinter&,
                                                      TdxDBGridReportLink& link,
                                                      TdxPrintDlgData* data) {
    QPrinter& p = *printer_;
    p.setPageLayout(link.PrinterPage.deviceLayout());
    if (data) {
        p.setCopyCount(data->Copies);
        p.setCollateCopies(data->Collate);
    }
    QPrintDialog dialog(&p, dialogParent());
    dialog.setObjectName(QStringLiteral("dxPrintDialog"));
    dialog.setWindowTitle(QStringLiteral("打印"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintCurrentPage |
                      QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, std::max(1, link.PageCount()));
    addPrintDialogButtons(dialog, link);
    const int result = dialog.exec();
    if (result == kPreviewResult)
        return PrintDialogResult::Preview;
    if (result != QDialog::Accepted)
        return PrintDialogResult::Cancel;
    if (data) {
        data->Copies = p.copyCount();
        data->Collate = p.collateCopies();
    }
    return PrintDialogResult::Print;
}

std::vector<int> PrintEngineWindows::chosenPages(const TdxDBGridReportLink& link) const {
    const QPrinter& p = *printer_;
    const int count = link.PageCount();
    std::vector<int> pages;
    switch (p.printRange()) {
    case QPrinter::CurrentPage:
        pages.push_back(preview_ ? preview_->currentPage() : 0);
        break;
    case QPrinter::PageRange:
        for (int i = 0; i < count; ++i)
            if (p.pageRanges().contains(i + 1))
                pages.push_back(i);
        break;
    default:
        pages = link.AllPages();
    }
    // A printer that makes copies itself gets each page once.
    const int copies = p.supportsMultipleCopies() ? 1 : std::max(1, p.copyCount());
    if (copies == 1)
        return pages;
    std::vector<int> all;
    if (p.collateCopies()) {
        for (int c = 0; c < copies; ++c)
            all.insert(all.end(), pages.begin(), pages.end());
    } else {
        for (int page : pages)
            all.insert(all.end(), static_cast<size_t>(copies), page);
    }
    return all;
}

void PrintEngineWindows::PrintReport(TdxDBGridReportLink& link) {
    QPrinter& p = *printer_;
    p.setFullPage(true);
    // The pages go to the command's progress window. A cancel stops at the next page; the
    // printer's job cannot be taken back, so the pages drawn before it still print.
    bool cancelled = false;
    link.PrintPages(p, chosenPages(link),
                    TdxDBGridReportLink::ReportingPages("正在打印", cancelled));
    if (cancelled)
        throw Cancelled();
}

PageSetupResult PrintEngineWindows::ShowPageSetup(TdxDBGridReportLink& link) {
    return ShowPageSetup(link, dialogParent());
}

PageSetupResult PrintEngineWindows::ShowPageSetup(TdxDBGridReportLink& link, QWidget* parent) {
    TdxPageSetupDialog dialog(link.PrinterPage, parent);
    if (dialog.exec() != QDialog::Accepted)
        return PageSetupResult::Cancel;
    TdxGridReportSettings s = link.Settings();
    s.PrinterPage = dialog.page();
    link.AssignSettings(s);
    return dialog.result();
}

DesignerResult PrintEngineWindows::ShowDesigner(TdxComponentPrinter&, TdxDBGridReportLink& link) {
    TdxReportDesigner designer(link, dialogParent());
    designer.exec();
    return designer.result();
}

} // namespace rg
