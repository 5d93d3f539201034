#include "grid/grid.h"

#include "common/error.h"
#include "common/progress.h"
#include "grid/gridkeys.h"
#include "grid/gridutil.h"

#include <algorithm>
#include <exception>
#include <unordered_set>

namespace rg {

// ---- columns ----

TdxDBGridColumn::TdxDBGridColumn(TdxDBGrid* grid, std::string name) : grid_(grid), name_(std::move(name)) {}

void TdxDBGridColumn::SetFieldName(const std::string& name) {
    fieldName_ = name;
    fieldIndex_ = grid_->resolveField(name);
    grid_->changed();
}

Field* TdxDBGridColumn::field() const {
    DataSet* ds = grid_->dataSet_;
    if (!ds || fieldIndex_ < 0 || fieldIndex_ >= ds->FieldCount()) return nullptr;
    return &ds->Fields(fieldIndex_);
}

std::string TdxDBGridColumn::Caption() const {
    if (const Field* f = field()) return f->DisplayName();
    return fieldName_;
}

Alignment TdxDBGridColumn::alignment() const {
    const Field* f = field();
    return f ? f->alignment() : Alignment::Left;
}

void TdxDBGridColumn::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    grid_->changed();
}

void TdxDBGridColumn::SetWidth(int w) {
    width_ = std::max(w, 4);
    grid_->changed();
}

void TdxDBGridColumn::SetSorted(TdxTreeListColumnSort s) {
    if (s == sorted_) return;
    const TdxTreeListColumnSort old = sorted_;
    sorted_ = s;
    if (grid_->loading_) return;
    try {
        grid_->sortAll();
    } catch (const Cancelled&) {
        sorted_ = old;
        throw;
    }
    grid_->changed();
}

int TdxDBGridColumn::GroupIndex() const {
    const auto& g = grid_->groupColumns_;
    const auto it = std::find(g.begin(), g.end(), this);
    return it == g.end() ? -1 : static_cast<int>(it - g.begin());
}


int TdxDBGridColumn::Index() const {
    const auto& c = grid_->columns_;
    for (size_t i = 0; i < c.size(); ++i)
        if (c[i].get() == this) return static_cast<int>(i);
    return -1;
}

void TdxDBGridColumn::SetSummaryFooterType(TdxSummaryType t) {
    if (t == footerType_) return;
    footerType_ = t;
    grid_->summaryItemsChanged();
}

// ---- grid ----

TdxDBGrid::TdxDBGrid() {
    summaryGroups_.push_back(std::make_unique<TdxDBGridSummaryGroup>([this] { summaryItemsChanged(); }));
    summaryGroups_.back()->Name = "dxDBGridSummaryGroup2";
    summaryGroups_.back()->DefaultGroup = true;
}

TdxDBGrid::~TdxDBGrid() {
    if (dataSet_) dataSet_->removeObserver(this);
}

void TdxDBGrid::SetDataSet(DataSet* ds) {
    if (ds == dataSet_) return;
    if (dataSet_) dataSet_->removeObserver(this);
    dataSet_ = ds;
    unfiltered_ = KeptRows{};
    if (dataSet_) dataSet_->addObserver(this);
    rebindColumns();
    if (dataSet_ && dataSet_->Active()) load(LoadReason::Structure);
    else clearRows();
    changed();
}

TdxDBGridColumn& TdxDBGrid::Columns(int i) {
    if (i < 0 || i >= ColumnCount()) throw Error(format("List index out of bounds (%d)", i));
    return *columns_[static_cast<size_t>(i)];
}

const TdxDBGridColumn& TdxDBGrid::Columns(int i) const { return const_cast<TdxDBGrid*>(this)->Columns(i); }

TdxDBGridColumn* TdxDBGrid::ColumnByName(const std::string& name) const {
    for (const auto& c : columns_)
        if (equalsIgnoringCase(c->Name(), name)) return c.get();
    return nullptr;
}

TdxDBGridColumn* TdxDBGrid::ColumnByFieldName(const std::string& fieldName) const {
    for (const auto& c : columns_)
        if (equalsIgnoringCase(c->FieldName(), fieldName)) return c.get();
    return nullptr;
}

TdxDBGridColumn& TdxDBGrid::AddColumn() {
    int n = ColumnCount() + 1;
    std::string name;
    do {
        name = Name + "Column" + std::to_string(n++);
    } while (ColumnByName(name));
    columns_.push_back(std::make_unique<TdxDBGridColumn>(this, name));
    headerOrder_.push_back(columns_.back().get());
    changed();
    return *columns_.back();
}

void TdxDBGrid::DestroyColumn(int i) {
    TdxDBGridColumn* c = &Columns(i);
    const int level = c->GroupIndex();
    if (level >= 0) {
        groupColumns_.erase(groupColumns_.begin() + level);
    }
    const bool refilter = Filter.forgetColumn(*c);
    headerOrder_.erase(std::find(headerOrder_.begin(), headerOrder_.end(), c));
    columns_.erase(columns_.begin() + i);
    // The data set reports its new contents when the filter changes, and that reload serves
    // a dropped grouping level too.
    if (refilter) Filter.reapply();
    else if (level >= 0 && groupingUpdateCount_ == 0) load(LoadReason::KeepExpanded);
    else changed();
}

void TdxDBGrid::CreateColumnsForFields(DataSet& ds) {
    for (int f = 0; f < ds.FieldCount(); ++f) {
        TdxDBGridColumn& c = AddColumn();
        c.SetFieldName(ds.Fields(f).FieldName());
        c.SetVisible(ds.Fields(f).Visible());
    }
}

std::vector<TdxDBGridColumn*> TdxDBGrid::VisibleColumns() const {
    std::vector<TdxDBGridColumn*> out;
    for (TdxDBGridColumn* c : headerOrder_)
        if (c->Visible()) out.push_back(c);
    return out;
}

void TdxDBGrid::MoveColumn(TdxDBGridColumn& c, int position) {
    auto it = std::find(headerOrder_.begin(), headerOrder_.end(), &c);
    if (it == headerOrder_.end()) return;
    headerOrder_.erase(it);
    position = std::clamp(position, 0, static_cast<int>(headerOrder_.size()));
    headerOrder_.insert(headerOrder_.begin() + position, &c);
    changed();
}


void TdxDBGrid::EndUpdate() {
    if (updateCount_ > 0 && --updateCount_ == 0) {
        if (summariesDirty_) {
            summariesDirty_ = false;
            recomputeAndRepaint();
            return;
        }
        changed();
    }
}

void TdxDBGrid::BeginGroupingUpdate() {
    if (groupingUpdateCount_++ == 0) groupingBeforeUpdate_ = groupingState();
}

// A cancelled reload puts back the grouping of the update's start.
void TdxDBGrid::EndGroupingUpdate() {
    if (groupingUpdateCount_ > 0 && --groupingUpdateCount_ == 0) {
        try {
            load(LoadReason::KeepExpanded);
        } catch (const Cancelled&) {
            restoreGrouping(groupingBeforeUpdate_);
            throw;
        }
    }
}

void TdxDBGrid::ReloadRows() { load(LoadReason::KeepExpanded); }

void TdxDBGrid::ExpandAll() {
    BeginUpdate();
    for (GroupRow& g : tree_.groups) g.expanded = true;
    invalidateVisible();
    EndUpdate();
}

void TdxDBGrid::CollapseAll() {
    BeginUpdate();
    for (GroupRow& g : tree_.groups) g.expanded = false;
    invalidateVisible();
    EndUpdate();
}

void TdxDBGrid::SetKeyField(const std::string& name) {
    if (name == keyField_) return;
    std::string old = std::move(keyField_);
    keyField_ = name;
    if (!dataSet_ || !dataSet_->Active()) {
        keyFieldIndex_ = resolveField(keyField_);
        return;
    }
    try {
        load(LoadReason::Structure);
    } catch (const Cancelled&) {
        keyField_ = std::move(old);
        keyFieldIndex_ = resolveField(keyField_);
        throw;
    }
}

TdxDBGridSummaryGroup& TdxDBGrid::DefaultGroup() {
    for (auto& g : summaryGroups_)
        if (g->DefaultGroup) return *g;
    return *summaryGroups_.front();
}

// ---- observers ----

void TdxDBGrid::dataSetEvent(DataEvent e) {
    switch (e) {
    case DataEvent::Opened:
        unfiltered_ = KeptRows{};
        rebindColumns();
        load(LoadReason::Structure);
        break;
    case DataEvent::Closed:
        unfiltered_ = KeptRows{};
        Filter.dataSetClosed();
        rebindColumns();
        clearRows();
        changed();
        break;
    case DataEvent::ContentsChanged:
        if (!filterChanging_) unfiltered_ = KeptRows{};
        load(LoadReason::KeepExpanded);
        break;
    case DataEvent::LayoutChanged:
        unfiltered_ = KeptRows{};
        rebindColumns();
        load(LoadReason::KeepExpanded);
        break;
    case DataEvent::RecordChanged:
        focusFromDataSet();
        break;
    }
}

void TdxDBGrid::addListener(GridListener* l) { listeners_.push_back(l); }
void TdxDBGrid::removeListener(GridListener* l) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), l), listeners_.end());
}

void TdxDBGrid::changed() {
    if (updateCount_ > 0) return;
    for (GridListener* l : std::vector<GridListener*>(listeners_)) l->gridChanged();
}

int TdxDBGrid::resolveField(const std::string& name) const {
    if (!dataSet_ || name.empty()) return -1;
    const Field* f = dataSet_->FindField(name);
    return f ? f->Index() : -1;
}

void TdxDBGrid::rebindColumns() {
    for (auto& c : columns_) c->fieldIndex_ = resolveField(c->fieldName_);
    keyFieldIndex_ = resolveField(keyField_);
}

std::vector<std::string> TdxDBGrid::groupFieldNames() const {
    std::vector<std::string> names;
    for (const TdxDBGridColumn* c : groupColumns_) names.push_back(c->FieldName());
    return names;
}

// ---- loading ----

void TdxDBGrid::clearRows() {
    tree_ = Tree{};
    focused_ = RowHandle{};
    invalidateVisible();
}

std::string TdxDBGrid::pathKey(int group) const {
    std::string key;
    for (int g = group; g >= 0; g = tree_.groups[static_cast<size_t>(g)].parent) {
        std::string part;
        appendValueKey(part, tree_.groups[static_cast<size_t>(g)].value);
        key.insert(0, part + '\x1F');
    }
    return key;
}

std::string TdxDBGrid::loadSignature() const {
    std::string s = std::to_string(dataSet_ ? dataSet_->RecordCount() : -1);
    auto add = [&s](const auto&... parts) { ((s += '\x1F', s += parts), ...); };
    for (const TdxDBGridColumn* c : groupColumns_)
        add("g", std::to_string(c->fieldIndex_), c->SummaryGroupName, std::to_string(static_cast<int>(c->SummaryType)));
    for (const auto& c : columns_)
        add("c", c->name_, std::to_string(c->fieldIndex_), std::to_string(static_cast<int>(c->sorted_)),
            std::to_string(static_cast<int>(c->footerType_)), std::to_string(c->footerFieldIndex_));
    for (const auto& g : summaryGroups_) {
        add("s", g->Name, g->DefaultGroup ? "d" : "");
        for (int i = 0; i < g->SummaryItems.Count(); ++i) {
            const TdxDBGridSummaryItem& item = g->SummaryItems.Items(i);
            add(item.ColumnName(), std::to_string(item.boundField), std::to_string(static_cast<int>(item.SummaryType())));
        }
    }
    return s;
}

void TdxDBGrid::keepUnfilteredRows() {
    unfiltered_ = KeptRows{};
    if (!dataSet_ || !dataSet_->Active() || !dataSet_->Filter().empty() || keyFieldIndex_ < 0) return;
    // Rows shown since before an edit would come back stale.
    if (static_cast<int>(tree_.data.size()) != dataSet_->RecordCount() || tree_.changes != dataSet_->changeCount()) return;
    unfiltered_.tree = tree_;
    for (const auto& c : columns_) unfiltered_.footers.push_back(c->footerValue_);
    unfiltered_.signature = loadSignature();
    unfiltered_.valid = true;
}

TdxDBGrid::GroupingState TdxDBGrid::groupingState() const {
    GroupingState s;
    s.groupColumns = groupColumns_;
    for (const auto& c : columns_) s.columns.push_back({c.get(), c->visible_, c->sorted_});
    return s;
}

void TdxDBGrid::restoreGrouping(const GroupingState& s) {
    auto exists = [&](const TdxDBGridColumn* c) {
        return std::any_of(columns_.begin(), columns_.end(), [&](const auto& own) { return own.get() == c; });
    };
    groupColumns_.clear();
    for (TdxDBGridColumn* c : s.groupColumns)
        if (exists(c)) groupColumns_.push_back(c);
    for (const ColumnState& c : s.columns)
        if (exists(c.column)) {
            c.column->visible_ = c.visible;
            c.column->sorted_ = c.sorted;
        }
    invalidateVisible();
    changed();
}

void TdxDBGrid::reloadGrouping(const GroupingState& before) {
    if (groupingUpdateCount_ > 0) {
        changed();
        return;
    }
    try {
        load(LoadReason::KeepExpanded);
    } catch (const Cancelled&) {
        restoreGrouping(before);
        throw;
    }
}

void TdxDBGrid::load(LoadReason reason) {
    if (loading_) return;
    rebindColumns();
    // What a cancelled load leaves as it was.
    const GroupingState before = groupingState();
    const std::vector<std::string> groupFieldsBefore = lastGroupFields_;
    // What to restore afterwards: the expanded groups (by their value path) and the
    // focused row (by its key value).
    std::unordered_set<std::string> expanded;
    const bool keepExpanded = reason == LoadReason::KeepExpanded && groupFieldNames() == lastGroupFields_;
    if (keepExpanded)
        for (size_t g = 0; g < tree_.groups.size(); ++g)
            if (tree_.groups[g].expanded) expanded.insert(pathKey(static_cast<int>(g)));
    Value focusKey;
    bool hadFocus = false, focusWasGroup = false;
    int focusLevel = 0;
    if (focused_.valid() && keyFieldIndex_ >= 0 && dataSet_ && dataSet_->Active()) {
        // The old key value comes from the record the focused row stood for.
        const int rec = RecordOf(focused_);
        if (rec >= 0 && rec < dataSet_->RecordCount()) {
            focusKey = dataSet_->value(rec, keyFieldIndex_);
            hadFocus = true;
            focusWasGroup = focused_.isGroup();
            focusLevel = Level(focused_);
        }
    }

    if (keyFieldIndex_ < 0 || !dataSet_) {
        clearRows();
        lastGroupFields_ = groupFieldNames();
        changed();
        return;
    }
    if (dataSet_->Active()) {
        for (int level = GroupColumnCount() - 1; level >= 0; --level) {
            if (groupColumns_[static_cast<size_t>(level)]->fieldIndex_ < 0) {
                TdxDBGridColumn& c = *groupColumns_[static_cast<size_t>(level)];
                c.visible_ = true;
                c.sorted_ = TdxTreeListColumnSort::csNone;
                groupColumns_.erase(groupColumns_.begin() + level);
            }
        }
    }
    lastGroupFields_ = groupFieldNames();
    for (const TdxDBGridColumn* c : groupColumns_)
        if (const Field* f = c->field(); f && isBlobKind(f->Kind())) {
            clearRows();
            changed();
            return;
        }
    if (!dataSet_->Active()) {
        clearRows();
        changed();
        return;
    }

    loading_ = true;
    const Bookmark mark = dataSet_->GetBookmark();
    const bool wasBof = dataSet_->Bof(), wasEof = dataSet_->Eof();
    dataSet_->DisableControls();
    auto restore = [&] {
        if (dataSet_->BookmarkValid(mark)) dataSet_->GotoBookmark(mark);
        else if (wasBof) dataSet_->First();
        else if (wasEof) dataSet_->Last();
        dataSet_->EnableControls();
        loading_ = false;
    };
    // The new tree is built aside: the view may repaint from the old one while progress is
    // reported, and a cancelled load keeps it.
    Tree tree;
    std::vector<SummaryValue> footers;
    std::exception_ptr summaryError;
    try {
        if (dataSet_->GetState() == DataSet::State::Edit || dataSet_->GetState() == DataSet::State::Insert)
            dataSet_->Cancel();
        prepareSummaries();
        // Even a load that finds its rows kept can be cancelled before it starts.
        reportProgress("正在分组", 0, dataSet_->RecordCount());
        if (filterChanging_ && unfiltered_.valid && dataSet_->Filter().empty() && unfiltered_.signature == loadSignature()) {
            // The filter is cleared: the rows are those kept when it was set.
            tree = std::move(unfiltered_.tree);
            footers = std::move(unfiltered_.footers);
            unfiltered_ = KeptRows{};
            for (GroupRow& g : tree.groups) g.expanded = false;
        } else {
            std::vector<int32_t> innerOf;
            tree = buildTree({groupColumns_.begin(), groupColumns_.end()}, innerOf);
            // A value that cannot be summed stops the summaries, not the rows: the grid
            // shows every row, the footers stay empty and the error is reported at the end.
            try {
                computeSummaries(tree, innerOf, footers);
            } catch (const Cancelled&) {
                throw;
            } catch (...) {
                summaryError = std::current_exception();
            }
            innerOf = {};
            sortTree(tree);
        }
    } catch (const Cancelled&) {
        restoreGrouping(before);
        lastGroupFields_ = groupFieldsBefore;
        restore();
        throw;
    } catch (...) {
        // No grid of part of the rows: a failed load shows none.
        clearRows();
        restore();
        changed();
        throw;
    }
    tree_ = std::move(tree);
    focused_ = RowHandle{};
    if (footers.size() == columns_.size())
        for (size_t i = 0; i < columns_.size(); ++i) columns_[i]->footerValue_ = std::move(footers[i]);
    if (summaryError) clearSummaryValues();
    restore();

    if (!expanded.empty())
        for (size_t g = 0; g < tree_.groups.size(); ++g)
            if (expanded.count(pathKey(static_cast<int>(g)))) tree_.groups[g].expanded = true;
    invalidateVisible();

    // Focus the row of the same key again, else the row of the current record.
    RowHandle target;
    if (hadFocus) {
        const int d = dataRowOfKey(*dataSet_, keyFieldIndex_, tree_.data, focusKey);
        if (d >= 0) target = RowHandle::data(d);
        if (target.valid() && focusWasGroup) {
            while (target.valid() && !(target.isGroup() && Level(target) == focusLevel)) target = Parent(target);
        }
    }
    if (!target.valid() && !tree_.data.empty()) {
        const int rec = std::max(dataSet_->RecNo(), 0);
        const auto it = std::find(tree_.data.begin(), tree_.data.end(), rec);
        if (it != tree_.data.end()) target = RowHandle::data(static_cast<int>(it - tree_.data.begin()));
        // Stop at the outermost collapsed group so the focus is on a shown row.
        std::vector<RowHandle> path;
        for (RowHandle r = target; r.valid(); r = Parent(r)) path.push_back(r);
        for (auto it2 = path.rbegin(); it2 != path.rend(); ++it2)
            if (it2->isData() || !Expanded(*it2)) {
                target = *it2;
                break;
            }
    }
    focused_ = target;
    changed();
    for (GridListener* l : std::vector<GridListener*>(listeners_)) l->focusChanged();
    if (summaryError) std::rethrow_exception(summaryError);
}

} // namespace rg
