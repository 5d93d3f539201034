#pragma once

// The print engine's windows as the engine sees them. The window library implements them
// with Qt widgets; tests can stand in their own.

namespace rg {

class TdxComponentPrinter;
class TdxDBGridReportLink;

enum class PrintDialogResult { Cancel, Print, Preview };
enum class PageSetupResult { Cancel, OK, Preview, Print };

struct DesignerResult {
    bool confirmed = false; // closed with OK
    bool applied = false;   // Apply was pressed at least once
};

// What a caller may hand the print dialog to start with.
struct TdxPrintDlgData {
    int Copies = 1;
    bool Collate = true;
};

class TdxPrintWindows {
public:
    virtual ~TdxPrintWindows() = default;
    // Brings an open preview window to the front; false when none is open.
    virtual bool RaisePreview() = 0;
    // Shows the preview; when modal, returns after it closed and told the engine so.
    virtual void ShowPreview(TdxComponentPrinter& engine, TdxDBGridReportLink& link,
                             bool modal) = 0;
    virtual PrintDialogResult ShowPrintDialog(TdxComponentPrinter& engine,
                                              TdxDBGridReportLink& link, TdxPrintDlgData* data) = 0;
    // Prints the pages last chosen in the print dialog (all pages when none was shown).
    virtual void PrintReport(TdxDBGridReportLink& link) = 0;
    virtual PageSetupResult ShowPageSetup(TdxDBGridReportLink& link) = 0;
    virtual DesignerResult ShowDesigner(TdxComponentPrinter& engine, TdxDBGridReportLink& link) = 0;
};

} // namespace rg
