#include "chart/groupchart.h"
#include "grid/summaryrules.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace rg {

namespace {

// The charts alive; a window's grid has at most one.
std::vector<GroupChart*>& charts() {
    static std::vector<GroupChart*> list;
    return list;
}

double chartValue(const SummaryValue& v) {
    if (v.kind() == SummaryValue::Kind::Exact || v.kind() == SummaryValue::Kind::Float)
        return v.toDouble();
    return std::numeric_limits<double>::quiet_NaN();
}

} // namespace

GroupChart::GroupChart(TdxDBGrid& grid) : grid_(grid) {
    charts().push_back(this);
}

GroupChart::~GroupChart() {
    std::erase(charts(), this);
}

GroupChart* GroupChart::of(const TdxDBGrid& grid) {
    for (GroupChart* c : charts())
        if (&c->grid_ == &grid)
            return c;
    return nullptr;
}

const GroupChart* GroupChart::shownFor(const TdxDBGrid& grid) {
    const GroupChart* c = of(grid);
    return c && c->Settings.shown ? c : nullptr;
}

void GroupChart::SetSettings(const GroupChartSettings& s) {
    Settings = s;
    if (OnSettingsChanged)
        OnSettingsChanged();
}

std::vector<SummaryChoice> GroupChart::summaryChoices() const {
    std::vector<SummaryChoice> choices;
    const TdxDBGridSummaryItems& items = grid_.DefaultGroup().SummaryItems;
    for (int i = 0; i < items.Count(); ++i) {
        const TdxDBGridSummaryItem& item = items.Items(i);
        if (item.SummaryType() == TdxSummaryType::cstNone)
            continue;
        std::string what = item.SummaryField();
        // A group row item names its field alone.
        if (const TdxDBGridColumn* c = grid_.ColumnByName(item.ColumnName()))
            what = c->Caption();
        else if (const TdxDBGridColumn* f = grid_.ColumnByFieldName(item.SummaryField()))
            what = f->Caption();
        if (item.SummaryType() == TdxSummaryType::cstCount)
            what.clear();
        choices.push_back({i, what.empty() ? SummaryKindCaption(item.SummaryType())
                                           : what + " " + SummaryKindCaption(item.SummaryType())});
    }
    // The summary formulas after the items.
    const std::vector<SummaryFormula>& formulas = grid_.SummaryFormulas();
    for (size_t f = 0; f < formulas.size(); ++f)
        choices.push_back({items.Count() + static_cast<int>(f), formulas[f].name});
    return choices;
}

int GroupChart::summaryItem() const {
    const std::vector<SummaryChoice> choices = summaryChoices();
    for (const SummaryChoice& c : choices)
        if (c.item == Settings.summary)
            return c.item;
    return choices.empty() ? -1 : choices.front().item;
}

ChartType GroupChart::type() const {
    if (Settings.type)
        return *Settings.type;
    if (grid_.GroupColumnCount() == 0)
        return ChartType::Bar;
    // Intervals of dates are a time line.
    switch (grid_.GroupColumns(0).GroupInterval().kind) {
    case GroupInterval::Day:
    case GroupInterval::Week:
    case GroupInterval::Month:
    case GroupInterval::Quarter:
    case GroupInterval::Year:
        return ChartType::Line;
    case GroupInterval::None:
    case GroupInterval::Range:
        break;
    }
    return ChartType::Bar;
}

ChartData GroupChart::data() const {
    if (grid_.GroupColumnCount() == 0)
        return {};
    if (const CrossTable* cross = grid_.ShownCrossTable())
        return crossData(*cross);
    ChartData d;
    const int item = summaryItem();
    if (item < 0)
        return d;
    std::string label;
    for (const SummaryChoice& c : summaryChoices())
        if (c.item == item)
            label = c.label;
    d.title = grid_.GroupColumns(0).Caption() + " — " + label;
    ChartSeries series{label, {}};
    const int n = grid_.TopCount();
    for (int i = 0; i < n; ++i) {
        const RowHandle g = grid_.Top(i);
        if (!g.isGroup())
            continue;
        d.groups.push_back(g);
        d.categories.push_back(grid_.GroupValueText(g));
        const int formula = item - grid_.DefaultGroup().SummaryItems.Count();
        series.values.push_back(chartValue(formula >= 0 ? grid_.GroupFormulaValue(g, formula)
                                                        : grid_.GroupSummaryValue(g, item)));
    }
    d.series.push_back(std::move(series));
    return d;
}

// One series per cross column, over the top groups in the cross table's order.
ChartData GroupChart::crossData(const CrossTable& cross) const {
    ChartData d;
    const CrossTableDef& def = *grid_.CrossTableDefinition();
    std::string what = def.summaryField;
    if (const TdxDBGridColumn* c = grid_.ColumnByFieldName(def.summaryField))
        what = c->Caption();
    if (cross.kind() == TdxSummaryType::cstCount)
        what.clear();
    std::string across = def.field;
    if (const TdxDBGridColumn* c = grid_.ColumnByFieldName(def.field))
        across = c->Caption();
    d.title = grid_.GroupColumns(0).Caption() + " × " + across + " — " +
              (what.empty() ? "" : what + " ") + SummaryKindCaption(cross.kind());
    d.groups = grid_.CrossChildren(RowHandle{});
    for (RowHandle g : d.groups)
        d.categories.push_back(grid_.GroupValueText(g));
    for (int c = 0; c < cross.columnCount(); ++c) {
        ChartSeries series{cross.columnText(c), {}};
        for (RowHandle g : d.groups)
            series.values.push_back(chartValue(cross.cell(g.index, c)));
        d.series.push_back(std::move(series));
    }
    return d;
}

const char* GroupChart::typeName(ChartType t) {
    switch (t) {
    case ChartType::Line:
        return "line";
    case ChartType::Pie:
        return "pie";
    case ChartType::Bar:
        break;
    }
    return "bar";
}

std::optional<ChartType> GroupChart::typeFromName(const std::string& name) {
    for (ChartType t : {ChartType::Bar, ChartType::Line, ChartType::Pie})
        if (name == typeName(t))
            return t;
    return std::nullopt;
}

} // namespace rg
