#include "grid/grid.h"

#include "common/asciicase.h"
#include "common/error.h"

#include <algorithm>
#include <cmath>

// The grid's side of how summaries are shown (showas.h) and of each level's top N: the
// shown values follow every change of the group values or their order; a top N folds the
// groups of a load before its rows are ordered.

namespace rg {
namespace {

// Orders group values for a top N: numbers by value, anything else (NaN too) below every
// number.
bool greaterValue(const SummaryValue& a, const SummaryValue& b) {
    const auto numeric = [](const SummaryValue& v) {
        return v.kind() == SummaryValue::Kind::Exact ||
               (v.kind() == SummaryValue::Kind::Float && !std::isnan(v.number()));
    };
    if (numeric(a) != numeric(b))
        return numeric(a);
    if (!numeric(a))
        return false;
    if (a.kind() == SummaryValue::Kind::Exact && b.kind() == SummaryValue::Kind::Exact)
        return compare(a.exact(), b.exact()) > 0;
    return a.toDouble() > b.toDouble();
}

// Marks the groups of `level` beyond the first `count` of their parent by item `item`;
// equal values keep the order of their first records. False when nothing folds.
bool markFolds(const RowTree& tree, int level, size_t item, int count, std::vector<char>& fold) {
    fold.assign(static_cast<size_t>(tree.groupCount()), 0);
    std::vector<std::vector<int>> sets;
    if (level == 0) {
        sets.emplace_back();
        for (int i = 0; i < tree.topCount(); ++i)
            sets.back().push_back(tree.top(i).index);
    }
    for (int g = 0; g < tree.groupCount(); ++g)
        if (tree.group(g).level == level - 1)
            sets.push_back(tree.group(g).groups);
    bool any = false;
    for (std::vector<int>& set : sets) {
        if (static_cast<int>(set.size()) <= count)
            continue;
        std::stable_sort(set.begin(), set.end(), [&](int a, int b) {
            const GroupRow& x = tree.group(a);
            const GroupRow& y = tree.group(b);
            if (greaterValue(x.values[item], y.values[item]) !=
                greaterValue(y.values[item], x.values[item]))
                return greaterValue(x.values[item], y.values[item]);
            return x.firstRecord < y.firstRecord;
        });
        for (size_t i = static_cast<size_t>(count); i < set.size(); ++i)
            fold[static_cast<size_t>(set[i])] = 1;
        any = true;
    }
    return any;
}

} // namespace

void TdxDBGridColumn::SetGroupTop(const TopGroups& top) {
    if (top == top_)
        return;
    if (top.count < 0)
        throw Error(format("前 N 项的项数不能是 %d", top.count));
    setGroupingAttribute(top_, top);
}

void TdxDBGrid::foldTopGroups(LoadedRows& rows, std::vector<int32_t>& innerOf) const {
    const TdxDBGridSummaryItems& items = DefaultGroup().SummaryItems;
    for (size_t level = 0; level < groupColumns_.size(); ++level) {
        const TopGroups& top = groupColumns_[level]->GroupTop();
        if (top.count <= 0)
            continue;
        const int field = resolveField(top.field);
        int item = -1;
        for (int i = 0; i < items.Count() && item < 0; ++i)
            if (items.Items(i).boundField == field && field >= 0 &&
                items.Items(i).SummaryType() == top.kind)
                item = i;
        // A summary that is gone folds nothing, as a setting of a field that is gone.
        if (item < 0)
            continue;
        std::vector<char> fold;
        if (!markFolds(rows.tree, static_cast<int>(level), static_cast<size_t>(item), top.count,
                       fold))
            continue;
        rows.tree = rows.tree.folded(fold, kOtherGroupText, innerOf);
        rows.footers = summaries_.compute(*dataSet_, rows.tree, innerOf, footerSources());
    }
}

// Dates grouped by day are grouped by their values, which are the days.
void TdxDBGrid::applyShowAs() {
    std::vector<IntervalSpec> intervals;
    for (const TdxDBGridColumn* c : groupColumns_) {
        const Field* f = c->field();
        intervals.push_back(f && intervalFits(c->GroupInterval().kind, f->Kind())
                                ? c->GroupInterval()
                                : IntervalSpec{});
    }
    ComputeShownValues(tree_, summaries_.showModes(), intervals);
}

void TdxDBGrid::shownValuesChanged() {
    applyShowAs();
    invalidateVisible();
    changed();
}

} // namespace rg
