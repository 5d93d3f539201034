#include "setup/chartstate.h"

#include "chart/groupchart.h"
#include "common/asciicase.h"
#include "setup/reportdefinition.h"
#include "setup/setup.h"

namespace rg {

void SaveChartState(TSetup& setup, const GroupChart& chart) {
    if (!chart.Settings.shown)
        return;
    setup.WriteChart("Shown", "1");
    if (chart.Settings.type)
        setup.WriteChart("Type", GroupChart::typeName(*chart.Settings.type));
    const int item = chart.summaryItem();
    if (item < 0)
        return;
    const TdxDBGridSummaryItem& s = chart.grid().DefaultGroup().SummaryItems.Items(item);
    setup.WriteChart("SummaryField", s.SummaryField());
    setup.WriteChart("SummaryKind", SummaryTypeName(s.SummaryType()));
}

void RestoreChartState(TSetup& setup, GroupChart& chart) {
    GroupChartSettings s;
    s.shown = setup.ReadChart("Shown") == "1";
    s.type = GroupChart::typeFromName(setup.ReadChart("Type"));
    const std::string field = setup.ReadChart("SummaryField");
    const TdxSummaryType kind = SummaryTypeFromName(setup.ReadChart("SummaryKind"));
    const TdxDBGridSummaryItems& items = chart.grid().DefaultGroup().SummaryItems;
    for (int i = 0; i < items.Count() && s.summary < 0; ++i)
        if (items.Items(i).SummaryType() == kind &&
            equalsIgnoringCase(items.Items(i).SummaryField(), field))
            s.summary = i;
    chart.SetSettings(s);
}

} // namespace rg
