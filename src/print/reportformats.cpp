#include "print/reportformats.h"

#include "print/pdfexport.h"
#include "print/reportlink.h"

#include <algorithm>
#include <array>

namespace rg {
namespace {

// Without a report of the window the report is built as the print command builds it with
// the print engine's first settings; a file read away from the program needs its page
// numbers, which those settings leave out.
ExportResult writePdf(const ExportJob& job) {
    if (job.report) {
        WriteReportPdf(*job.report, job.path);
        return {job.path, {}};
    }
    TdxDBGridReportLink link(job.grid);
    link.TakeGridChoices();
    std::array<QString, 3>& footer = link.PrinterPage.PageFooterTexts;
    if (std::all_of(footer.begin(), footer.end(), [](const QString& t) { return t.isEmpty(); })) {
        footer[1] = QStringLiteral("第 [Page #] 页，共 [Total Pages] 页");
        link.ShowPageFooter = true;
    }
    link.ReportName = QString::fromStdString(job.reportName);
    link.RebuildReport();
    WriteReportPdf(link, job.path);
    return {job.path, {}};
}

ExportRegistry reportFormats() {
    ExportRegistry r;
    AddCoreFormats(r);
    ExportFormat pdf{"pdf", {"pdf"}, "PDF 文档", writePdf};
    pdf.paged = true;
    r.add(std::move(pdf));
    r.addCommand(ExportCommand::Pdf, {"pdf"}, "pdf");
    return r;
}

} // namespace

const ExportRegistry& ReportFormats() {
    static const ExportRegistry formats = reportFormats();
    return formats;
}

} // namespace rg
