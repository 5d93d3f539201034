#include "grid/grid.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "common/progress.h"
#include "grid/gridutil.h"

// The grid's side of its summaries: binding them to the data set's fields, recomputing
// them over the loaded rows when the items or footer kinds change, and the cells of the
// group footer rows and of the summary footer.

namespace rg {

void TdxDBGrid::prepareSummaries() {
    summaries_.bindItems([this](const std::string& field) { return resolveField(field); },
                         [this](const std::string& column) {
                             const TdxDBGridColumn* c = ColumnByName(column);
                             return c ? c->FieldName() : std::string();
                         });
    for (auto& c : columns_)
        c->footerFieldIndex_ =
            resolveField(c->footerField_.empty() ? c->fieldName_ : c->footerField_);
}

std::vector<FooterSource> TdxDBGrid::footerSources() const {
    std::vector<FooterSource> sources;
    sources.reserve(columns_.size());
    for (const auto& c : columns_)
        sources.push_back({c->footerFieldIndex_, c->footerType_});
    return sources;
}

// The columns' footers, then the formulas' (which a server's answer may lack).
void TdxDBGrid::setFooterValues(std::vector<SummaryValue> footers) {
    if (footers.size() < columns_.size())
        return;
    for (size_t i = 0; i < columns_.size(); ++i)
        columns_[i]->footerValue_ = std::move(footers[i]);
    formulaFooters_.assign(footers.begin() + static_cast<std::ptrdiff_t>(columns_.size()),
                           footers.end());
}

// After a failure no slot keeps a value of part of the records: every footer is empty.
void TdxDBGrid::clearSummaryValues() {
    SummaryEngine::clearValues(tree_);
    for (auto& c : columns_)
        c->footerValue_ = SummaryValue::failed();
    formulaFooters_.clear();
}

void TdxDBGrid::SetSummaryFormulas(std::vector<SummaryFormula> formulas) {
    if (formulas == summaries_.formulas())
        return;
    for (const SummaryFormula& f : formulas)
        if (f.name.empty())
            throw Error("汇总公式需要名称");
    if (dataSet_ && dataSet_->Active())
        SummaryEngine::compileFormulas(*dataSet_, formulas);
    summaries_.setFormulas(std::move(formulas));
    summaryItemsChanged();
}

int TdxDBGrid::ColumnFormula(const TdxDBGridColumn& c) const {
    return summaries_.formulaOfColumn(c.Name());
}

SummaryValue TdxDBGrid::GroupFormulaValue(RowHandle group, int f) const {
    if (!group.isGroup() || f < 0)
        return {};
    const std::vector<SummaryValue>& values = tree_.group(group.index).formulas;
    return f < static_cast<int>(values.size()) ? values[static_cast<size_t>(f)] : SummaryValue{};
}

SummaryValue TdxDBGrid::FooterFormulaValue(int f) const {
    return f >= 0 && f < static_cast<int>(formulaFooters_.size())
               ? formulaFooters_[static_cast<size_t>(f)]
               : SummaryValue{};
}

// Ratios want more places than sums: up to four, exact values rounded exactly.
std::string TdxDBGrid::FormulaText(int f, SummaryPlace place, const SummaryValue& value) const {
    if (value.micros())
        return FormatSummaryValue(TdxSummaryType::cstMax, "", SummaryValueKind::DateTime, place,
                                  value);
    const bool none = value.isEmpty() || value.kind() == SummaryValue::Kind::Failed;
    const std::string number = none ? std::string() : FormatFloatPattern("#,##0.####", value);
    if (place == SummaryPlace::Footer || f < 0)
        return number;
    return "(" + summaries_.formulas()[static_cast<size_t>(f)].name + "=" + number + ")";
}

// Changed items or footer kinds: the values are computed again over the loaded rows, so
// no footer shows a value of an earlier set of items.
void TdxDBGrid::recomputeSummaries() {
    if (!dataSet_ || !dataSet_->Active() || keyFieldIndex_ < 0 || loading_)
        return;
    // The server sums the rows again with the groups.
    if (server_) {
        load(LoadReason::KeepExpanded);
        return;
    }
    prepareSummaries();
    const std::vector<int32_t> innerOf =
        SummaryEngine::innerGroupsOf(tree_, dataSet_->RecordCount());
    RowTree t = tree_;
    std::vector<SummaryValue> footers;
    std::unique_ptr<CrossTable> cross;
    try {
        footers = summaries_.compute(*dataSet_, t, innerOf, footerSources());
        cross = computeCrossTable(t);
    } catch (...) {
        // The values held belong to the items as they were: a cancel leaves empty footers
        // too, never a removed item's value under the one that took its place.
        clearSummaryValues();
        cross_.reset();
        throw;
    }
    tree_ = std::move(t);
    cross_ = std::move(cross);
    setFooterValues(std::move(footers));
    applyShowAs();
}

void TdxDBGrid::summaryItemsChanged() {
    invalidateVisible();
    if (updateCount_ > 0) {
        summariesDirty_ = true;
        return;
    }
    if (tree_.dataCount() == 0) {
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
    const GroupRow& g = tree_.group(group.index);
    std::string caption;
    if (g.level < GroupColumnCount())
        caption = groupColumns_[static_cast<size_t>(g.level)]->Caption();
    std::string text =
        caption + " : " + g.text + " " + summaries_.groupRowText(dataSet_, g, summarySeparator_);
    const std::vector<SummaryFormula>& formulas = summaries_.formulas();
    for (size_t f = 0; f < formulas.size() && f < g.formulas.size(); ++f)
        if (formulas[f].column.empty() || !ColumnByName(formulas[f].column))
            text += " " + FormulaText(static_cast<int>(f), SummaryPlace::GroupRow, g.formulas[f]);
    return text;
}

SummaryValue TdxDBGrid::GroupSummaryValue(RowHandle group, int item) const {
    if (!group.isGroup() || item < 0)
        return {};
    const GroupRow& g = tree_.group(group.index);
    const std::vector<SummaryValue>& values = g.shown.empty() ? g.values : g.shown;
    return item < static_cast<int>(values.size()) ? values[static_cast<size_t>(item)]
                                                  : SummaryValue{};
}

// ---- footers ----

bool TdxDBGrid::levelHasFooters(int level) const {
    if (!showRowFooter_ || level < 0 || level >= GroupColumnCount())
        return false;
    if (summaries_.levelHasFooters(level))
        return true;
    for (const SummaryFormula& f : summaries_.formulas())
        if (!f.column.empty() && ColumnByName(f.column))
            return true;
    return false;
}

int TdxDBGrid::FooterRowCount(RowHandle dataRow) const {
    if (!showRowFooter_ || !dataRow.isData())
        return 0;
    int n = 0;
    for (RowHandle cur = dataRow; Parent(cur).valid() && IsLastChild(cur); cur = Parent(cur))
        if (levelHasFooters(Level(Parent(cur))))
            ++n;
    return n;
}

TdxDBGrid::FooterRun TdxDBGrid::FootersAfter(RowHandle r) const {
    if (r.isData())
        return {r, 0, FooterRowCount(r)};
    if (!r.isGroup() || Expanded(r) || !IsLastChild(r) || !showRowFooter_)
        return {};
    RowHandle last = r;
    while (last.isGroup() && ChildCount(last) > 0)
        last = Child(last, ChildCount(last) - 1);
    if (!last.isData())
        return {};
    // The last data row closes r and every subgroup on its way down to it.
    int hidden = 0;
    for (int level = Level(r); level < tree_.levels(); ++level)
        hidden += levelHasFooters(level) ? 1 : 0;
    return {last, hidden, FooterRowCount(last) - hidden};
}

int TdxDBGrid::groupAtLevel(RowHandle dataRow, int level) const {
    for (RowHandle r = Parent(dataRow); r.valid(); r = Parent(r))
        if (Level(r) == level)
            return r.index;
    return -1;
}

int TdxDBGrid::FooterLevel(RowHandle dataRow, int j) const {
    int n = 0;
    for (RowHandle cur = dataRow; Parent(cur).valid() && IsLastChild(cur); cur = Parent(cur)) {
        const int level = Level(Parent(cur));
        if (levelHasFooters(level) && n++ == j)
            return level;
    }
    return -1;
}

const TdxDBGridSummaryItem* TdxDBGrid::footerItem(RowHandle dataRow, const TdxDBGridColumn& c,
                                                  int j, int* slot) const {
    const int level = FooterLevel(dataRow, j);
    return level >= 0 ? summaries_.footerItem(level, c.Name(), slot) : nullptr;
}

bool TdxDBGrid::FooterCellExists(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    int slot;
    if (ColumnFormula(c) >= 0)
        return FooterLevel(dataRow, j) >= 0;
    return footerItem(dataRow, c, j, &slot) != nullptr;
}

SummaryValue TdxDBGrid::FooterCellValue(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    if (const int f = ColumnFormula(c); f >= 0) {
        const int g = groupAtLevel(dataRow, FooterLevel(dataRow, j));
        return g >= 0 ? GroupFormulaValue(RowHandle::group(g), f) : SummaryValue{};
    }
    int slot = 0;
    if (!footerItem(dataRow, c, j, &slot))
        return {};
    const int g = groupAtLevel(dataRow, FooterLevel(dataRow, j));
    if (g < 0)
        return {};
    return GroupSummaryValue(RowHandle::group(g), slot);
}

ShowValuesAs TdxDBGrid::FooterCellShowAs(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    if (ColumnFormula(c) >= 0)
        return ShowValuesAs::Value;
    int slot = 0;
    const TdxDBGridSummaryItem* item = footerItem(dataRow, c, j, &slot);
    return item ? item->ShowAs() : ShowValuesAs::Value;
}

TdxSummaryType TdxDBGrid::FooterCellKind(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    if (ColumnFormula(c) >= 0)
        return TdxSummaryType::cstNone;
    int slot = 0;
    const TdxDBGridSummaryItem* item = footerItem(dataRow, c, j, &slot);
    return item ? item->SummaryType() : TdxSummaryType::cstNone;
}

std::string TdxDBGrid::FooterCellText(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    if (const int f = ColumnFormula(c); f >= 0)
        return FormulaText(f, SummaryPlace::Footer, FooterCellValue(dataRow, c, j));
    int slot = 0;
    const TdxDBGridSummaryItem* item = footerItem(dataRow, c, j, &slot);
    if (!item)
        return {};
    return FormatShownValue(item->ShowAs(), item->SummaryType(), item->SummaryFormat(),
                            SummaryEngine::valueKind(dataSet_, *item), SummaryPlace::Footer,
                            FooterCellValue(dataRow, c, j), FooterNamesKind(c));
}

bool TdxDBGrid::FooterNamesKind(const TdxDBGridColumn& c) const {
    TdxSummaryType first = c.SummaryFooterType();
    const TdxDBGridSummaryItems& items = DefaultGroup().SummaryItems;
    for (int i = 0; i < items.Count(); ++i) {
        const TdxDBGridSummaryItem& item = items.Items(i);
        if (item.SummaryType() == TdxSummaryType::cstNone ||
            !equalsIgnoringCase(item.ColumnName(), c.Name()))
            continue;
        if (first == TdxSummaryType::cstNone)
            first = item.SummaryType();
        else if (item.SummaryType() != first)
            return true;
    }
    return false;
}

int TdxDBGrid::SummaryFooterLabelColumn(std::span<const TdxDBGridColumn* const> columns) const {
    for (size_t i = 0; i < columns.size(); ++i)
        if (!SummaryFooterCellExists(*columns[i]))
            return static_cast<int>(i);
    return -1;
}

bool TdxDBGrid::SummaryFooterCellExists(const TdxDBGridColumn& c) const {
    return c.SummaryFooterType() != TdxSummaryType::cstNone || ColumnFormula(c) >= 0;
}

SummaryValueKind TdxDBGrid::FooterValueKind(const TdxDBGridColumn& c) const {
    if (const int f = ColumnFormula(c); f >= 0)
        return FooterFormulaValue(f).micros() ? SummaryValueKind::DateTime
                                              : SummaryValueKind::Number;
    if (c.SummaryFooterType() == TdxSummaryType::cstCount || c.footerFieldIndex_ < 0 || !dataSet_ ||
        c.footerFieldIndex_ >= dataSet_->FieldCount())
        return SummaryValueKind::Number;
    return valueKindOf(dataSet_->Fields(c.footerFieldIndex_).Kind());
}

ShowValuesAs TdxDBGrid::SummaryFooterShowAs(const TdxDBGridColumn& c) const {
    if (ColumnFormula(c) >= 0)
        return ShowValuesAs::Value;
    const TdxDBGridSummaryItem* item = summaries_.footerShowItem(c.Name(), c.SummaryFooterType());
    return item ? item->ShowAs() : ShowValuesAs::Value;
}

SummaryValue TdxDBGrid::SummaryFooterValue(const TdxDBGridColumn& c) const {
    if (const int f = ColumnFormula(c); f >= 0)
        return FooterFormulaValue(f);
    return ShownFooterValue(SummaryFooterShowAs(c), c.footerValue_);
}

std::string TdxDBGrid::SummaryFooterText(const TdxDBGridColumn& c) const {
    if (const int f = ColumnFormula(c); f >= 0)
        return FormulaText(f, SummaryPlace::Footer, FooterFormulaValue(f));
    return FormatShownValue(SummaryFooterShowAs(c), c.SummaryFooterType(), c.SummaryFooterFormat(),
                            FooterValueKind(c), SummaryPlace::Footer, SummaryFooterValue(c),
                            FooterNamesKind(c));
}

} // namespace rg
