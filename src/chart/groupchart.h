#pragma once

// The chart of a grid's groups, without widgets: one category per group of the top grouping
// level as the grid shows it (following filters and sorts), the values of one summary item
// (in a cross table: one series per cross column), and the chart's type. The window shows it beside
// the grid; the exporters and the printed report find the chart of a grid through
// GroupChart::shownFor.

#include "grid/grid.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace rg {

enum class ChartType { Bar, Line, Pie };

struct ChartSeries {
    std::string name;
    std::vector<double> values; // one per category; NaN where the group has no value
};

struct ChartData {
    std::string title;
    std::vector<std::string> categories;
    std::vector<RowHandle> groups; // the top-level group row of each category
    std::vector<ChartSeries> series;
    bool empty() const { return categories.empty() || series.empty(); }
};

// What the setup keeps of a chart.
struct GroupChartSettings {
    bool shown = false;
    std::optional<ChartType> type; // none: bar, line over date intervals
    int summary = -1;              // summary item; -1: the first one with a kind
    bool operator==(const GroupChartSettings&) const = default;
};

struct SummaryChoice {
    int item; // index among the default group's summary items, then count + formula index
    std::string label;
};

class GroupChart {
public:
    explicit GroupChart(TdxDBGrid& grid);
    ~GroupChart();
    GroupChart(const GroupChart&) = delete;
    GroupChart& operator=(const GroupChart&) = delete;

    // The chart a grid shows, nullptr when it shows none.
    static const GroupChart* shownFor(const TdxDBGrid& grid);
    // The chart made for a grid, shown or not; nullptr when none was made.
    static GroupChart* of(const TdxDBGrid& grid);

    GroupChartSettings Settings;
    // Replaces the settings from outside the chart's window (a loaded setup) and tells it.
    void SetSettings(const GroupChartSettings& s);
    std::function<void()> OnSettingsChanged;

    TdxDBGrid& grid() const { return grid_; }
    // The items that have a kind, in order: the summaries a chart can show.
    std::vector<SummaryChoice> summaryChoices() const;
    // The item shown: the chosen one while it has a kind, else the first with one; -1 for none.
    int summaryItem() const;
    // The chosen type, else a line over date intervals and bars over anything else.
    ChartType type() const;
    // The categories and values as the grid holds them now; empty without grouping or
    // without a summary item (the cross table's cells need none).
    ChartData data() const;

    static const char* typeName(ChartType t);
    static std::optional<ChartType> typeFromName(const std::string& name);

private:
    ChartData crossData(const CrossTable& cross) const;

    TdxDBGrid& grid_;
};

} // namespace rg
