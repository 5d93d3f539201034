#pragma once

// The chart of a grid's groups between a report and the live chart: whether it is shown,
// its type and the summary it shows, the summary named by field and kind so that it
// survives the order in which a load adds the summary items.

#include "document/report.h"

namespace rg {

class GroupChart;

// Says nothing of a chart that is not shown.
ChartSetting CaptureChartState(const GroupChart& chart);
// After the summaries are applied; a report without a shown chart hides it.
void RestoreChartState(const ChartSetting& setting, GroupChart& chart);

} // namespace rg
