#pragma once

// The print engine: its report links and the preview, print, page setup and designer
// operations. The windows come from a TdxPrintWindows.

#include "print/printwindows.h"
#include "print/reportlink.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rg {

enum class TdxComponentPrinterOption : uint8_t {
    cpoAutoRebuildBeforePreview,
    cpoAutoRebuildBeforePrint,
    cpoGenerateReportProgressEvent,
    cpoShowHourGlass,
};
using TdxComponentPrinterOptions = EnumSet<TdxComponentPrinterOption>;

class TdxComponentPrinter {
public:
    TdxComponentPrinter();
    ~TdxComponentPrinter();
    TdxComponentPrinter(const TdxComponentPrinter&) = delete;
    TdxComponentPrinter& operator=(const TdxComponentPrinter&) = delete;

    std::string Name = "dxComponentPrinter1";
    TdxComponentPrinterOptions Options;
    // The link an operation works on when it is given none.
    TdxDBGridReportLink* CurrentLink = nullptr;

    // A new link owned by the engine; the first one becomes the current link.
    TdxDBGridReportLink& AddLink(TdxDBGrid* grid, const std::string& name);
    int LinkCount() const { return static_cast<int>(links_.size()); }
    TdxDBGridReportLink& Links(int i) { return *links_.at(static_cast<size_t>(i)); }

    void SetWindows(TdxPrintWindows* windows) { windows_ = windows; }
    TdxPrintWindows* Windows() const { return windows_; }

    // The grid view's top row, kept across a build; the view belongs to the window layer.
    std::function<int()> GetTopRow;
    std::function<void(int)> SetTopRow;

    std::function<void(TdxDBGridReportLink&)> OnBeforePreview, OnAfterPreview;
    // Heard while a report is built (with cpoGenerateReportProgressEvent); false cancels.
    std::function<bool(TdxDBGridReportLink&, int64_t done, int64_t total)> OnGenerateReportProgress;

    bool Preview(bool modal = true, TdxDBGridReportLink* link = nullptr);
    bool Print(bool showDialog, TdxPrintDlgData* data = nullptr,
               TdxDBGridReportLink* link = nullptr);
    bool PageSetup(TdxDBGridReportLink* link = nullptr);
    bool DesignReport(TdxDBGridReportLink* link = nullptr);

    // Builds the link's report from its grid, keeping the data set's current record and the
    // view's top row, with the hourglass up. False when the progress event cancelled; a
    // cancel from the thread's progress sink throws rg::Cancelled. Either leaves no report.
    bool RebuildReport(TdxDBGridReportLink* link = nullptr);
    // Called by the window layer when a preview window has closed.
    void PreviewClosed(TdxDBGridReportLink& link);

private:
    TdxDBGridReportLink& linkOrCurrent(TdxDBGridReportLink* link) const;
    TdxPrintWindows& windows() const;

    std::vector<std::unique_ptr<TdxDBGridReportLink>> links_;
    TdxPrintWindows* windows_ = nullptr;
};

} // namespace rg
