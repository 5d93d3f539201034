#pragma once

#include <string>

namespace rg {

class TdxDBGridReportLink;

// Writes every page of the link's built report into a PDF file, on the link's paper, with
// no print dialog, reporting the pages to the thread's progress sink ("正在导出"). The file
// is written beside its target and replaces it only when whole: a cancel leaves the old one.
void WriteReportPdf(const TdxDBGridReportLink& link, const std::string& fileName);

} // namespace rg
