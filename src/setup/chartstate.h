#pragma once

// The chart of a grid's groups between a settings file and the live chart: whether it is
// shown, its type and the summary it shows, the summary named by field and kind so that it
// survives the order in which a load adds the summary items.

namespace rg {

class GroupChart;
class TSetup;

// Writes the section only while the chart is shown.
void SaveChartState(TSetup& setup, const GroupChart& chart);
// After the summaries are applied; a file without the section hides the chart.
void RestoreChartState(TSetup& setup, GroupChart& chart);

} // namespace rg
