#include "setup/chartstate.h"

#include "chart/groupchart.h"
#include "common/asciicase.h"
#include "setup/reportdefinition.h"

namespace rg {

ChartSetting CaptureChartState(const GroupChart& chart) {
    ChartSetting c;
    if (!chart.Settings.shown)
        return c;
    c.shown = true;
    if (chart.Settings.type)
        c.type = GroupChart::typeName(*chart.Settings.type);
    const int item = chart.summaryItem();
    if (item < 0)
        return c;
    const TdxDBGridSummaryItem& s = chart.grid().DefaultGroup().SummaryItems.Items(item);
    c.summaryField = s.SummaryField();
    c.summaryKind = SummaryTypeName(s.SummaryType());
    return c;
}

void RestoreChartState(const ChartSetting& setting, GroupChart& chart) {
    GroupChartSettings s;
    s.shown = setting.shown;
    s.type = GroupChart::typeFromName(setting.type);
    const TdxSummaryType kind = SummaryTypeFromName(setting.summaryKind);
    const TdxDBGridSummaryItems& items = chart.grid().DefaultGroup().SummaryItems;
    for (int i = 0; i < items.Count() && s.summary < 0; ++i)
        if (items.Items(i).SummaryType() == kind &&
            equalsIgnoringCase(items.Items(i).SummaryField(), setting.summaryField))
            s.summary = i;
    chart.SetSettings(s);
}

} // namespace rg
