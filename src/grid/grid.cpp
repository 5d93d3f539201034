#include "grid/grid.h"

#include "common/error.h"
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
    sorted_ = s;
    if (grid_->loading_) return;
    grid_->sortAll();
    grid_->invalidateVisible();
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

void TdxDBGrid::EndGroupingUpdate() {
    if (groupingUpdateCount_ > 0 && --groupingUpdateCount_ == 0) {
        load(LoadReason::KeepExpanded);
    }
}

void TdxDBGrid::ReloadRows() { load(LoadReason::KeepExpanded); }

void TdxDBGrid::ExpandAll() {
    BeginUpdate();
    for (GroupRow& g : groups_) g.expanded = true;
    invalidateVisible();
    EndUpdate();
}

void TdxDBGrid::CollapseAll() {
    BeginUpdate();
    for (GroupRow& g : groups_) g.expanded = false;
    invalidateVisible();
    EndUpdate();
}

void TdxDBGrid::SetKeyField(const std::string& name) {
    if (name == keyField_) return;
    keyField_ = name;
    if (dataSet_ && dataSet_->Active()) load(LoadReason::Structure);
    else keyFieldIndex_ = resolveField(keyField_);
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
        rebindColumns();
        load(LoadReason::Structure);
        break;
    case DataEvent::Closed:
        Filter.dataSetClosed();
        rebindColumns();
        clearRows();
        changed();
        break;
    case DataEvent::ContentsChanged:
        load(LoadReason::KeepExpanded);
        break;
    case DataEvent::LayoutChanged:
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
    groups_.clear();
    data_.clear();
    top_.clear();
    focused_ = RowHandle{};
    loadedRecords_ = 0;
    summariesLoaded_ = false;
    invalidateVisible();
}

std::string TdxDBGrid::pathKey(int group) const {
    std::string key;
    for (int g = group; g >= 0; g = groups_[static_cast<size_t>(g)].parent) {
        std::string part;
        appendValueKey(part, groups_[static_cast<size_t>(g)].value);
        key.insert(0, part + '\x1F');
    }
    return key;
}

void TdxDBGrid::load(LoadReason reason) {
    if (loading_) return;
    rebindColumns();
    // What to restore afterwards: the expanded groups (by their value path) and the
    // focused row (by its key value).
    std::unordered_set<std::string> expanded;
    const bool keepExpanded = reason == LoadReason::KeepExpanded && groupFieldNames() == lastGroupFields_;
    if (keepExpanded)
        for (size_t g = 0; g < groups_.size(); ++g)
            if (groups_[g].expanded) expanded.insert(pathKey(static_cast<int>(g)));
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

    clearRows();
    if (keyFieldIndex_ < 0 || !dataSet_) {
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
            changed();
            return;
        }
    if (!dataSet_->Active()) {
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
    std::exception_ptr summaryError;
    try {
        if (dataSet_->GetState() == DataSet::State::Edit || dataSet_->GetState() == DataSet::State::Insert)
            dataSet_->Cancel();
        prepareSummaries();
        const int levels = GroupColumnCount();
        std::vector<int> fieldOf(static_cast<size_t>(levels));
        std::vector<bool> descending(static_cast<size_t>(levels));
        for (int l = 0; l < levels; ++l) {
            fieldOf[static_cast<size_t>(l)] = groupColumns_[static_cast<size_t>(l)]->fieldIndex_;
            descending[static_cast<size_t>(l)] =
                groupColumns_[static_cast<size_t>(l)]->Sorted() == TdxTreeListColumnSort::csDown;
        }
        // Sibling groups are found by value through a hash of (parent, value); the ordered
        // binary search runs only to place a new group.
        std::unordered_map<std::string, int> lookup;
        const int itemCount = DefaultGroup().SummaryItems.Count();
        const int records = dataSet_->RecordCount();
        data_.reserve(static_cast<size_t>(records));
        std::string key;
        for (int rec = 0; rec < records; ++rec) {
            int parent = -1;
            for (int l = 0; l < levels; ++l) {
                Value v = dataSet_->value(rec, fieldOf[static_cast<size_t>(l)]);
                key.assign(reinterpret_cast<const char*>(&parent), sizeof parent);
                appendValueKey(key, v);
                auto found = lookup.find(key);
                int g;
                if (found != lookup.end()) {
                    g = found->second;
                } else {
                    std::vector<RowHandle>& siblings = parent < 0 ? top_ : groups_[static_cast<size_t>(parent)].children;
                    const bool down = descending[static_cast<size_t>(l)];
                    auto pos = std::lower_bound(siblings.begin(), siblings.end(), v, [&](RowHandle h, const Value& x) {
                        const int c = compareValues(groups_[static_cast<size_t>(h.index)].value, x);
                        return down ? c > 0 : c < 0;
                    });
                    g = static_cast<int>(groups_.size());
                    GroupRow row;
                    row.level = l;
                    row.parent = parent;
                    row.text = dataSet_->displayText(rec, fieldOf[static_cast<size_t>(l)]);
                    row.value = std::move(v);
                    row.firstRecord = rec;
                    row.values.assign(static_cast<size_t>(itemCount), SummaryValue{});
                    siblings.insert(pos, RowHandle::group(g));
                    groups_.push_back(std::move(row));
                    lookup.emplace(key, g);
                }
                parent = g;
            }
            const int d = static_cast<int>(data_.size());
            data_.push_back({rec, parent, 0});
            (parent < 0 ? top_ : groups_[static_cast<size_t>(parent)].children).push_back(RowHandle::data(d));
            // A value that cannot be summed stops the summaries, not the rows: the grid
            // shows every row, the footers stay empty and the error is reported at the end.
            if (!summaryError) {
                try {
                    addRecordToSummaries(rec, parent);
                } catch (...) {
                    summaryError = std::current_exception();
                }
            }
            loadedRecords_ = rec + 1;
        }
        if (!summaryError) {
            try {
                finishSummaries();
            } catch (...) {
                summaryError = std::current_exception();
            }
        }
        if (summaryError) clearSummaryValues();
        sortAll();
    } catch (...) {
        // No grid of part of the rows: a failed load shows none.
        clearRows();
        restore();
        changed();
        throw;
    }
    restore();

    if (!expanded.empty())
        for (size_t g = 0; g < groups_.size(); ++g)
            if (expanded.count(pathKey(static_cast<int>(g)))) groups_[g].expanded = true;
    invalidateVisible();

    // Focus the row of the same key again, else the row of the current record.
    RowHandle target;
    if (hadFocus) {
        for (const DataRow& r : data_)
            if (compareValues(dataSet_->value(r.record, keyFieldIndex_), focusKey) == 0 &&
                dataSet_->isNull(r.record, keyFieldIndex_) == focusKey.isNull()) {
                target = RowHandle::data(static_cast<int>(&r - data_.data()));
                break;
            }
        if (target.valid() && focusWasGroup) {
            while (target.valid() && !(target.isGroup() && Level(target) == focusLevel)) target = Parent(target);
        }
    }
    if (!target.valid() && !data_.empty()) {
        const int rec = std::max(dataSet_->RecNo(), 0);
        for (size_t i = 0; i < data_.size(); ++i)
            if (data_[i].record == rec) {
                target = RowHandle::data(static_cast<int>(i));
                break;
            }
        // Stop at the outermost collapsed group so the focus is on a shown row.
        std::vector<RowHandle> path;
        for (RowHandle r = target; r.valid(); r = Parent(r)) path.push_back(r);
        for (auto it = path.rbegin(); it != path.rend(); ++it)
            if (it->isData() || !Expanded(*it)) {
                target = *it;
                break;
            }
    }
    focused_ = target;
    changed();
    for (GridListener* l : std::vector<GridListener*>(listeners_)) l->focusChanged();
    if (summaryError) std::rethrow_exception(summaryError);
}

// ---- tree reading ----

int TdxDBGrid::ChildCount(RowHandle r) const {
    return r.isGroup() ? static_cast<int>(groups_[static_cast<size_t>(r.index)].children.size()) : 0;
}

RowHandle TdxDBGrid::Child(RowHandle r, int i) const {
    return groups_[static_cast<size_t>(r.index)].children[static_cast<size_t>(i)];
}

RowHandle TdxDBGrid::Parent(RowHandle r) const {
    const int p = r.isGroup() ? groups_[static_cast<size_t>(r.index)].parent
                 : r.isData() ? data_[static_cast<size_t>(r.index)].parent : -1;
    return p < 0 ? RowHandle{} : RowHandle::group(p);
}

bool TdxDBGrid::IsLastChild(RowHandle r) const {
    const RowHandle p = Parent(r);
    const std::vector<RowHandle>& siblings = p.valid() ? groups_[static_cast<size_t>(p.index)].children : top_;
    if (r.isData()) return data_[static_cast<size_t>(r.index)].childIndex == static_cast<int>(siblings.size()) - 1;
    return !siblings.empty() && siblings.back() == r;
}

int TdxDBGrid::Level(RowHandle r) const {
    if (r.isGroup()) return groups_[static_cast<size_t>(r.index)].level;
    return static_cast<int>(lastGroupFields_.size());
}

bool TdxDBGrid::Expanded(RowHandle r) const { return r.isGroup() && groups_[static_cast<size_t>(r.index)].expanded; }

void TdxDBGrid::SetExpanded(RowHandle r, bool on) {
    if (!r.isGroup() || groups_[static_cast<size_t>(r.index)].expanded == on) return;
    groups_[static_cast<size_t>(r.index)].expanded = on;
    invalidateVisible();
    changed();
}

int TdxDBGrid::RecordOf(RowHandle r) const {
    if (r.isGroup()) return groups_[static_cast<size_t>(r.index)].firstRecord;
    if (r.isData()) return data_[static_cast<size_t>(r.index)].record;
    return -1;
}

Value TdxDBGrid::KeyValueOf(RowHandle r) const {
    if (!r.valid() || keyFieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return {};
    return dataSet_->value(RecordOf(r), keyFieldIndex_);
}

int TdxDBGrid::DataRowsBelow(RowHandle group) const {
    return group.isGroup() ? groups_[static_cast<size_t>(group.index)].dataRows : 0;
}

const Value& TdxDBGrid::GroupValue(RowHandle group) const { return groups_[static_cast<size_t>(group.index)].value; }


std::string TdxDBGrid::CellText(RowHandle dataRow, const TdxDBGridColumn& c) const {
    if (!dataRow.isData() || c.fieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return {};
    return dataSet_->displayText(data_[static_cast<size_t>(dataRow.index)].record, c.fieldIndex_);
}

Value TdxDBGrid::CellValue(RowHandle dataRow, const TdxDBGridColumn& c) const {
    if (!dataRow.isData() || c.fieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return {};
    return dataSet_->value(data_[static_cast<size_t>(dataRow.index)].record, c.fieldIndex_);
}

// ---- shown rows and focus ----

const std::vector<VisibleRow>& TdxDBGrid::VisibleRows() const {
    if (!visibleDirty_) return visible_;
    visible_.clear();
    visible_.reserve(data_.size() + groups_.size());
    std::vector<std::pair<const std::vector<RowHandle>*, size_t>> stack{{&top_, 0}};
    while (!stack.empty()) {
        auto& [rows, next] = stack.back();
        if (next >= rows->size()) {
            stack.pop_back();
            continue;
        }
        const RowHandle r = (*rows)[next++];
        visible_.push_back({r, -1});
        if (r.isGroup()) {
            if (groups_[static_cast<size_t>(r.index)].expanded)
                stack.push_back({&groups_[static_cast<size_t>(r.index)].children, 0});
        } else {
            const int footers = FooterRowCount(r);
            for (int j = 0; j < footers; ++j) visible_.push_back({r, j});
        }
    }
    visibleDirty_ = false;
    return visible_;
}

void TdxDBGrid::SetFocusedRow(RowHandle r) {
    if (r == focused_) return;
    focused_ = r;
    if (r.valid() && dataSet_ && dataSet_->Active() && !loading_) {
        movingDataSet_ = true;
        try {
            dataSet_->SetRecNo(RecordOf(r));
        } catch (...) {
            movingDataSet_ = false;
            throw;
        }
        movingDataSet_ = false;
    }
    for (GridListener* l : std::vector<GridListener*>(listeners_)) l->focusChanged();
}

void TdxDBGrid::focusFromDataSet() {
    if (movingDataSet_ || loading_ || keyFieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return;
    const int rec = dataSet_->RecNo();
    if (rec < 0) return;
    const Value key = dataSet_->value(rec, keyFieldIndex_);
    // The first row in tree order with that key value.
    std::vector<std::pair<const std::vector<RowHandle>*, size_t>> stack{{&top_, 0}};
    while (!stack.empty()) {
        auto& [rows, next] = stack.back();
        if (next >= rows->size()) {
            stack.pop_back();
            continue;
        }
        const RowHandle r = (*rows)[next++];
        if (r.isGroup()) {
            stack.push_back({&groups_[static_cast<size_t>(r.index)].children, 0});
            continue;
        }
        if (compareValues(dataSet_->value(data_[static_cast<size_t>(r.index)].record, keyFieldIndex_), key) == 0) {
            for (RowHandle p = Parent(r); p.valid(); p = Parent(p)) groups_[static_cast<size_t>(p.index)].expanded = true;
            invalidateVisible();
            focused_ = r;
            changed();
            for (GridListener* l : std::vector<GridListener*>(listeners_)) l->focusChanged();
            return;
        }
    }
}

} // namespace rg
