#include "print/componentprinter.h"

#include "common/error.h"
#include "common/progress.h"
#include "datasource/dataset.h"

#include <QCursor>
#include <QGuiApplication>

namespace rg {

namespace {

// Puts back the data set's current record, its controls, the view's top row and the
// cursor, also when the build fails.
class BuildGuard {
public:
    BuildGuard(DataSet* ds, const TdxComponentPrinter& engine, bool hourglass)
        : ds_(ds), engine_(engine) {
        if (ds_ && ds_->Active())
            bookmark_ = ds_->GetBookmark();
        if (engine_.GetTopRow)
            topRow_ = engine_.GetTopRow();
        if (ds_)
            ds_->DisableControls();
        if (hourglass && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            cursor_ = true;
        }
    }
    ~BuildGuard() {
        try {
            if (ds_ && ds_->Active() && bookmark_ != kNoBookmark && ds_->BookmarkValid(bookmark_) &&
                ds_->GetBookmark() != bookmark_)
                ds_->GotoBookmark(bookmark_);
        } catch (...) {
            // the record is only a courtesy: the build's own outcome is what the caller hears
        }
        if (ds_)
            ds_->EnableControls();
        if (engine_.SetTopRow && topRow_ >= 0)
            engine_.SetTopRow(topRow_);
        if (cursor_)
            QGuiApplication::restoreOverrideCursor();
    }

private:
    DataSet* ds_;
    const TdxComponentPrinter& engine_;
    Bookmark bookmark_ = kNoBookmark;
    int topRow_ = -1;
    bool cursor_ = false;
};

} // namespace

TdxComponentPrinter::TdxComponentPrinter()
    : Options{TdxComponentPrinterOption::cpoAutoRebuildBeforePreview,
              TdxComponentPrinterOption::cpoAutoRebuildBeforePrint,
              TdxComponentPrinterOption::cpoGenerateReportProgressEvent,
              TdxComponentPrinterOption::cpoShowHourGlass} {}

TdxComponentPrinter::~TdxComponentPrinter() = default;

TdxDBGridReportLink& TdxComponentPrinter::AddLink(TdxDBGrid* grid, const std::string& name) {
    links_.push_back(std::make_unique<TdxDBGridReportLink>(grid));
    TdxDBGridReportLink& link = *links_.back();
    link.Name = name;
    link.Caption = QString::fromStdString(name);
    if (CurrentLink == nullptr)
        CurrentLink = &link;
    return link;
}

TdxDBGridReportLink& TdxComponentPrinter::linkOrCurrent(TdxDBGridReportLink* link) const {
    if (link)
        return *link;
    if (CurrentLink == nullptr)
        throw Error("The print engine has no report link");
    return *CurrentLink;
}

TdxPrintWindows& TdxComponentPrinter::windows() const {
    if (windows_ == nullptr)
        throw Error("The print engine has no windows");
    return *windows_;
}

bool TdxComponentPrinter::RebuildReport(TdxDBGridReportLink* link) {
    TdxDBGridReportLink& l = linkOrCurrent(link);
    l.TakeGridChoices();
    DataSet* ds = l.Component() ? l.Component()->dataSet() : nullptr;
    BuildGuard guard(ds, *this, Options.contains(TdxComponentPrinterOption::cpoShowHourGlass));
    const bool event =
        Options.contains(TdxComponentPrinterOption::cpoGenerateReportProgressEvent) &&
        OnGenerateReportProgress;
    // The thread's progress sink hears the build too; its cancel empties the report like the
    // event's, and then ends the caller's command.
    bool cancelled = false;
    const bool built = l.RebuildReport([&](int64_t done, int64_t total) {
        if (event && !OnGenerateReportProgress(l, done, total))
            return false;
        try {
            reportProgress("正在生成页面", done, total);
        } catch (const Cancelled&) {
            cancelled = true;
            return false;
        }
        return true;
    });
    if (cancelled)
        throw Cancelled();
    return built;
}

bool TdxComponentPrinter::Preview(bool modal, TdxDBGridReportLink* link) {
    TdxDBGridReportLink& l = linkOrCurrent(link);
    if (windows().RaisePreview())
        return true;
    if (Options.contains(TdxComponentPrinterOption::cpoAutoRebuildBeforePreview) || !l.Built())
        if (!RebuildReport(&l))
            return false;
    if (OnBeforePreview)
        OnBeforePreview(l);
    windows().ShowPreview(*this, l, modal);
    return true;
}

void TdxComponentPrinter::PreviewClosed(TdxDBGridReportLink& link) {
    if (OnAfterPreview)
        OnAfterPreview(link);
}

bool TdxComponentPrinter::Print(bool showDialog, TdxPrintDlgData* data, TdxDBGridReportLink* link) {
    TdxDBGridReportLink& l = linkOrCurrent(link);
    // Rebuilt before the dialog, not after it: the page range the user picks is then one
    // of the report that prints.
    if ((Options.contains(TdxComponentPrinterOption::cpoAutoRebuildBeforePrint) || !l.Built()) &&
        !RebuildReport(&l))
        return false;
    if (showDialog) {
        switch (windows().ShowPrintDialog(*this, l, data)) {
        case PrintDialogResult::Cancel:
            return false;
        case PrintDialogResult::Preview:
            Preview(true, &l);
            return false;
        case PrintDialogResult::Print:
            break;
        }
    }
    windows().PrintReport(l);
    return true;
}

bool TdxComponentPrinter::PageSetup(TdxDBGridReportLink* link) {
    TdxDBGridReportLink& l = linkOrCurrent(link);
    l.TakeGridChoices();
    const PageSetupResult result = windows().ShowPageSetup(l);
    if (result != PageSetupResult::Cancel)
        l.GiveGridChoices();
    switch (result) {
    case PageSetupResult::Cancel:
        return false;
    case PageSetupResult::OK:
        return true;
    case PageSetupResult::Preview:
        Preview(true, &l);
        return true;
    case PageSetupResult::Print:
        Print(true, nullptr, &l);
        return true;
    }
    return false;
}

bool TdxComponentPrinter::DesignReport(TdxDBGridReportLink* link) {
    TdxDBGridReportLink& l = linkOrCurrent(link);
    l.TakeGridChoices();
    const TdxGridReportSettings before = l.Settings();
    const DesignerResult r = windows().ShowDesigner(*this, l);
    if (!r.confirmed && !r.applied)
        l.AssignSettings(before);
    else
        l.GiveGridChoices();
    return r.confirmed;
}

} // namespace rg
