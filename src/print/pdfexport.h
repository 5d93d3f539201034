#pragma once

#include <string>

namespace rg {

class TdxDBGridReportLink;

// Writes every page of the link's built report into a PDF file, on the link's paper, with
// no print dialog. The file is written beside its target and replaces it only when whole.
void WriteReportPdf(const TdxDBGridReportLink& link, const std::string& fileName);

} // namespace rg
