#include "grid/summaryengine.h"

#include "common/asciicase.h"
#include "datasource/dataset.h"
#include "grid/gridutil.h"
#include "grid/showas.h"

#include <algorithm>

namespace rg {

SummaryEngine::SummaryEngine(const std::vector<TdxDBGridColumn*>& groupColumns,
                             std::function<void()> onItemsChanged,
                             std::function<void()> onShownChanged)
    : groupColumns_(groupColumns), group_(std::move(onItemsChanged), std::move(onShownChanged)) {
    group_.Name = "dxDBGridSummaryGroup2";
    group_.DefaultGroup = true;
}

// Every grouped level uses the default group: the grid has no other.
const TdxDBGridSummaryGroup* SummaryEngine::groupOfLevel(int level) const {
    if (level < 0 || level >= static_cast<int>(groupColumns_.size()))
        return nullptr;
    return &group_;
}

void SummaryEngine::bindItems(const std::function<int(const std::string&)>& fieldIndex,
                              const std::function<std::string(const std::string&)>& columnField) {
    for (int i = 0; i < group_.SummaryItems.Count(); ++i) {
        TdxDBGridSummaryItem& item = group_.SummaryItems.Items(i);
        std::string name = item.SummaryField();
        if (name.empty())
            name = columnField(item.ColumnName());
        item.boundField = fieldIndex(name);
    }
}

std::string SummaryEngine::signature() const {
    std::string s;
    auto add = [&s](const auto&... parts) { ((s += '\x1F', s += parts), ...); };
    add("s", group_.Name, group_.DefaultGroup ? "d" : "");
    for (int i = 0; i < group_.SummaryItems.Count(); ++i) {
        const TdxDBGridSummaryItem& item = group_.SummaryItems.Items(i);
        add(item.ColumnName(), std::to_string(item.boundField),
            std::to_string(static_cast<int>(item.SummaryType())));
    }
    for (const SummaryFormula& f : formulas_)
        add("f", f.name, f.expression);
    return s;
}

std::vector<int32_t> SummaryEngine::innerGroupsOf(const RowTree& tree, int records) {
    std::vector<int32_t> innerOf;
    if (tree.levels() == 0)
        return innerOf;
    innerOf.resize(static_cast<size_t>(records));
    const int innerStart = tree.groupCount() - static_cast<int>(tree.innermost().size());
    for (int g : tree.innermost()) {
        const GroupRow& row = tree.group(g);
        for (int d = row.firstData; d < row.firstData + row.dataRows; ++d)
            innerOf[static_cast<size_t>(tree.records()[static_cast<size_t>(d)])] = g - innerStart;
    }
    return innerOf;
}

void SummaryEngine::clearValues(RowTree& tree) {
    for (int g = 0; g < tree.groupCount(); ++g) {
        GroupRow& row = tree.group(g);
        row.values.assign(row.values.size(), SummaryValue::failed());
    }
}

SummaryValueKind SummaryEngine::valueKind(const DataSet* ds, const TdxDBGridSummaryItem& item) {
    if (item.SummaryType() == TdxSummaryType::cstCount || item.boundField < 0 || !ds ||
        item.boundField >= ds->FieldCount())
        return SummaryValueKind::Number;
    return valueKindOf(ds->Fields(item.boundField).Kind());
}

std::string SummaryEngine::groupRowText(const DataSet* ds, const GroupRow& row,
                                        const std::string& separator) const {
    const TdxDBGridSummaryGroup* sg = groupOfLevel(row.level);
    if (!sg || sg->SummaryItems.Count() == 0)
        return {};
    std::string summary = sg->BeginSummaryText;
    bool written = false;
    const int n = std::min(sg->SummaryItems.Count(), static_cast<int>(row.values.size()));
    for (int i = 0; i < n; ++i) {
        const TdxDBGridSummaryItem& item = sg->SummaryItems.Items(i);
        if (!item.ColumnName().empty() || item.SummaryType() == TdxSummaryType::cstNone)
            continue;
        if (written)
            summary += separator;
        const std::vector<SummaryValue>& values = row.shown.empty() ? row.values : row.shown;
        summary += FormatShownValue(item.ShowAs(), item.SummaryType(), item.SummaryFormat(),
                                    valueKind(ds, item), SummaryPlace::GroupRow,
                                    values[static_cast<size_t>(i)], false);
        written = true;
    }
    return summary + sg->EndSummaryText;
}

bool SummaryEngine::levelHasFooters(int level) const {
    const TdxDBGridSummaryGroup* g = groupOfLevel(level);
    if (!g)
        return false;
    for (int i = 0; i < g->SummaryItems.Count(); ++i)
        if (!g->SummaryItems.Items(i).ColumnName().empty())
            return true;
    return false;
}

std::vector<ShowValuesAs> SummaryEngine::showModes() const {
    std::vector<ShowValuesAs> modes;
    for (int i = 0; i < group_.SummaryItems.Count(); ++i)
        modes.push_back(group_.SummaryItems.Items(i).ShowAs());
    return modes;
}

const TdxDBGridSummaryItem* SummaryEngine::footerShowItem(const std::string& columnName,
                                                          TdxSummaryType kind) const {
    for (int i = 0; i < group_.SummaryItems.Count(); ++i) {
        const TdxDBGridSummaryItem& item = group_.SummaryItems.Items(i);
        if (item.SummaryType() == kind && equalsIgnoringCase(item.ColumnName(), columnName))
            return &item;
    }
    return nullptr;
}

// Only the first item naming the column counts; column names are unique ignoring case.
const TdxDBGridSummaryItem* SummaryEngine::footerItem(int level, const std::string& columnName,
                                                      int* slot) const {
    const TdxDBGridSummaryGroup* g = groupOfLevel(level);
    if (!g)
        return nullptr;
    for (int i = 0; i < g->SummaryItems.Count(); ++i) {
        const TdxDBGridSummaryItem& item = g->SummaryItems.Items(i);
        if (equalsIgnoringCase(item.ColumnName(), columnName)) {
            if (item.SummaryType() == TdxSummaryType::cstNone)
                return nullptr;
            *slot = i;
            return &item;
        }
    }
    return nullptr;
}

} // namespace rg
