#include "grid/grid.h"

#include "common/error.h"
#include "common/progress.h"
#include "grid/gridutil.h"

#include <algorithm>

// Summary values of group rows and footers: computed at every load, and again over the
// loaded rows when the items or footer kinds change.

namespace rg {

TdxDBGridSummaryGroup* TdxDBGrid::groupForLevel(int level) const {
    if (level < 0 || level >= static_cast<int>(groupColumns_.size())) return nullptr;
    const TdxDBGridColumn* c = groupColumns_[static_cast<size_t>(level)];
    if (!c->SummaryGroupName.empty()) {
        for (const auto& g : summaryGroups_)
            if (equalsIgnoringCase(g->Name, c->SummaryGroupName)) return g.get();
        return nullptr;
    }
    if (c->SummaryType != TdxSummaryType::cstNone) return nullptr;
    return &const_cast<TdxDBGrid*>(this)->DefaultGroup();
}

void TdxDBGrid::prepareSummaries() {
    for (auto& group : summaryGroups_) {
        for (int i = 0; i < group->SummaryItems.Count(); ++i) {
            TdxDBGridSummaryItem& item = group->SummaryItems.Items(i);
            std::string name = item.SummaryField();
            if (name.empty())
                if (const TdxDBGridColumn* c = ColumnByName(item.ColumnName())) name = c->FieldName();
            item.boundField = resolveField(name);
        }
    }
    for (auto& c : columns_) c->footerFieldIndex_ = resolveField(c->footerField_.empty() ? c->fieldName_ : c->footerField_);
}

Value TdxDBGrid::recordValue(int record, int field) const {
    if (field < 0) return Value::fromInt(0);  // an unbound item sums nothing
    const Field& f = dataSet_->Fields(field);
    const FieldKind k = f.Kind();
    if (k == FieldKind::Boolean || k == FieldKind::Blob || k == FieldKind::Graphic)
        throw Error(format("Cannot access field '%s' as type %s", f.DisplayName().c_str(), "Float"));
    return dataSet_->value(record, field);
}

// After a failure no slot keeps a value of part of the records: every footer is empty.
void TdxDBGrid::clearSummaryValues() {
    for (GroupRow& row : tree_.groups) row.values.assign(row.values.size(), SummaryValue::failed());
    for (auto& c : columns_) c->footerValue_ = SummaryValue::failed();
}

// Changed items or footer kinds: the values are computed again over the loaded rows, so
// no footer shows a value of an earlier set of items.
void TdxDBGrid::recomputeSummaries() {
    if (!dataSet_ || !dataSet_->Active() || keyFieldIndex_ < 0 || loading_) return;
    prepareSummaries();
    std::vector<int32_t> innerOf;
    if (tree_.levels > 0) {
        innerOf.resize(static_cast<size_t>(dataSet_->RecordCount()));
        const int innerStart = static_cast<int>(tree_.groups.size() - tree_.innermost.size());
        for (int g : tree_.innermost) {
            const GroupRow& row = tree_.groups[static_cast<size_t>(g)];
            for (int d = row.firstData; d < row.firstData + row.dataRows; ++d)
                innerOf[static_cast<size_t>(tree_.data[static_cast<size_t>(d)])] = g - innerStart;
        }
    }
    Tree t = tree_;
    std::vector<SummaryValue> footers;
    try {
        computeSummaries(t, innerOf, footers);
    } catch (...) {
        // The values held belong to the items as they were: a cancel leaves empty footers
        // too, never a removed item's value under the one that took its place.
        clearSummaryValues();
        throw;
    }
    tree_ = std::move(t);
    for (size_t i = 0; i < columns_.size(); ++i) columns_[i]->footerValue_ = std::move(footers[i]);
}

void TdxDBGrid::summaryItemsChanged() {
    invalidateVisible();
    if (updateCount_ > 0) {
        summariesDirty_ = true;
        return;
    }
    if (tree_.data.empty()) {
        changed();
        return;
    }
    recomputeAndRepaint();
}

// Repaints also when the recomputation fails, so the view never shows stale values.
void TdxDBGrid::recomputeAndRepaint() {
    try {
        recomputeSummaries();
    } catch (...) {
        changed();
        throw;
    }
    changed();
}

std::string TdxDBGrid::GroupRowText(RowHandle group) const {
    const GroupRow& g = tree_.groups[static_cast<size_t>(group.index)];
    std::string caption;
    if (g.level < GroupColumnCount()) caption = groupColumns_[static_cast<size_t>(g.level)]->Caption();
    std::string summary;
    if (const TdxDBGridSummaryGroup* sg = groupForLevel(g.level); sg && sg->SummaryItems.Count() > 0) {
        summary += sg->BeginSummaryText;
        bool written = false;
        const int n = std::min(sg->SummaryItems.Count(), static_cast<int>(g.values.size()));
        for (int i = 0; i < n; ++i) {
            const TdxDBGridSummaryItem& item = sg->SummaryItems.Items(i);
            if (!item.ColumnName().empty() || item.SummaryType() == TdxSummaryType::cstNone) continue;
            if (written) summary += SummarySeparator;
            const FieldKind k = item.boundField >= 0 ? dataSet_->Fields(item.boundField).Kind() : FieldKind::Unknown;
            const SummaryValueKind vk =
                item.SummaryType() == TdxSummaryType::cstCount ? SummaryValueKind::Number : valueKindOf(k);
            summary += FormatSummaryValue(item.SummaryType(), item.SummaryFormat(), vk, SummaryPlace::GroupRow,
                                          g.values[static_cast<size_t>(i)]);
            written = true;
        }
        summary += sg->EndSummaryText;
    }
    return caption + " : " + g.text + " " + summary;
}

// ---- footers ----

bool TdxDBGrid::levelHasFooters(int level) const {
    if (!ShowRowFooter) return false;
    const TdxDBGridSummaryGroup* g = groupForLevel(level);
    if (!g) return false;
    for (int i = 0; i < g->SummaryItems.Count(); ++i)
        if (!g->SummaryItems.Items(i).ColumnName().empty()) return true;
    return false;
}

int TdxDBGrid::FooterRowCount(RowHandle dataRow) const {
    if (!ShowRowFooter || !dataRow.isData()) return 0;
    int n = 0;
    for (RowHandle cur = dataRow; Parent(cur).valid() && IsLastChild(cur); cur = Parent(cur))
        if (levelHasFooters(Level(Parent(cur)))) ++n;
    return n;
}

int TdxDBGrid::groupAtLevel(RowHandle dataRow, int level) const {
    for (RowHandle r = Parent(dataRow); r.valid(); r = Parent(r))
        if (Level(r) == level) return r.index;
    return -1;
}

int TdxDBGrid::FooterLevel(RowHandle dataRow, int j) const {
    int n = 0;
    for (RowHandle cur = dataRow; Parent(cur).valid() && IsLastChild(cur); cur = Parent(cur)) {
        const int level = Level(Parent(cur));
        if (levelHasFooters(level) && n++ == j) return level;
    }
    return -1;
}

const TdxDBGridSummaryItem* TdxDBGrid::footerItem(int level, const TdxDBGridColumn& c, int* slot) const {
    const TdxDBGridSummaryGroup* g = groupForLevel(level);
    if (!g) return nullptr;
    for (int i = 0; i < g->SummaryItems.Count(); ++i) {
        const TdxDBGridSummaryItem& item = g->SummaryItems.Items(i);
        if (ColumnByName(item.ColumnName()) == &c) {
            if (item.SummaryType() == TdxSummaryType::cstNone) return nullptr;
            *slot = i;
            return &item;
        }
    }
    return nullptr;
}

bool TdxDBGrid::FooterCellExists(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    int slot;
    const int level = FooterLevel(dataRow, j);
    return level >= 0 && footerItem(level, c, &slot) != nullptr;
}

SummaryValue TdxDBGrid::FooterCellValue(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    int slot = 0;
    const int level = FooterLevel(dataRow, j);
    if (level < 0 || !footerItem(level, c, &slot)) return {};
    const int g = groupAtLevel(dataRow, level);
    if (g < 0) return {};
    const GroupRow& row = tree_.groups[static_cast<size_t>(g)];
    return slot < static_cast<int>(row.values.size()) ? row.values[static_cast<size_t>(slot)] : SummaryValue{};
}

TdxSummaryType TdxDBGrid::FooterCellKind(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    int slot = 0;
    const int level = FooterLevel(dataRow, j);
    const TdxDBGridSummaryItem* item = level >= 0 ? footerItem(level, c, &slot) : nullptr;
    return item ? item->SummaryType() : TdxSummaryType::cstNone;
}

std::string TdxDBGrid::FooterCellText(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    int slot = 0;
    const int level = FooterLevel(dataRow, j);
    const TdxDBGridSummaryItem* item = level >= 0 ? footerItem(level, c, &slot) : nullptr;
    if (!item) return {};
    SummaryValueKind vk = SummaryValueKind::Number;
    if (item->SummaryType() != TdxSummaryType::cstCount && item->boundField >= 0 && dataSet_ &&
        item->boundField < dataSet_->FieldCount())
        vk = valueKindOf(dataSet_->Fields(item->boundField).Kind());
    return FormatSummaryValue(item->SummaryType(), item->SummaryFormat(), vk, SummaryPlace::Footer,
                              FooterCellValue(dataRow, c, j));
}

bool TdxDBGrid::SummaryFooterCellExists(const TdxDBGridColumn& c) const {
    return c.SummaryFooterType() != TdxSummaryType::cstNone;
}

SummaryValueKind TdxDBGrid::FooterValueKind(const TdxDBGridColumn& c) const {
    if (c.SummaryFooterType() == TdxSummaryType::cstCount || c.footerFieldIndex_ < 0 || !dataSet_ ||
        c.footerFieldIndex_ >= dataSet_->FieldCount())
        return SummaryValueKind::Number;
    return valueKindOf(dataSet_->Fields(c.footerFieldIndex_).Kind());
}

const SummaryValue& TdxDBGrid::SummaryFooterValue(const TdxDBGridColumn& c) const { return c.footerValue_; }

std::string TdxDBGrid::SummaryFooterText(const TdxDBGridColumn& c) const {
    return FormatSummaryValue(c.SummaryFooterType(), c.SummaryFooterFormat(), FooterValueKind(c),
                              SummaryPlace::Footer, c.footerValue_);
}

} // namespace rg
