#pragma once

// A report between its settings file and its value: every entry a report save writes, read
// back into the same Report.

#include "document/report.h"

namespace rg {

class TSetup;

// After TSetup::ReadAll. A grouping or group row summary list that cannot be read whole
// throws rg::Error naming it; every other entry is taken as its text and judged when the
// report is built.
Report ReadReport(TSetup& setup);

// Writes the entries of `report` in the order a report save always wrote them; call between
// BeginReport and EndReport.
void WriteReport(TSetup& setup, const Report& report);

} // namespace rg
