#include "grid/grid.h"

#include "common/codepage.h"
#include "common/error.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace rg {
namespace {

bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x != y && std::tolower(x) != std::tolower(y)) return false;
    }
    return true;
}

// Equal group values give equal keys: numbers by value, texts byte for byte.
std::string valueKey(const Value& v) {
    std::string k;
    switch (v.type()) {
    case Value::Type::Null: return "N";
    case Value::Type::Text: k = "T"; k += v.asText(); return k;
    case Value::Type::Blob: k = "B"; k += v.asText(); return k;
    default: {
        const double d = v.asDouble();
        k = "D";
        k.append(reinterpret_cast<const char*>(&d), sizeof d);
        return k;
    }
    }
}

// Precomputed order of one value, so sorting a million texts converts each once.
struct SortKey {
    bool null = true;
    bool text = false;
    double number = 0;
    std::string bytes;
};

SortKey sortKey(const Value& v) {
    SortKey k;
    if (v.isNull()) return k;
    k.null = false;
    if (v.type() == Value::Type::Text || v.type() == Value::Type::Blob) {
        k.text = true;
        k.bytes = v.type() == Value::Type::Text ? toAnsi(v.asText()) : v.asText();
    } else {
        k.number = v.asDouble();
    }
    return k;
}

int compareKeys(const SortKey& a, const SortKey& b) {
    if (a.null || b.null) return a.null == b.null ? 0 : (a.null ? -1 : 1);
    if (a.text != b.text) return -1;
    if (a.text) {
        const int c = a.bytes.compare(b.bytes);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    return a.number < b.number ? -1 : (b.number < a.number ? 1 : 0);
}

SummaryValueKind valueKindOf(FieldKind k) {
    switch (k) {
    case FieldKind::Date: return SummaryValueKind::Date;
    case FieldKind::Time: return SummaryValueKind::Time;
    case FieldKind::DateTime: case FieldKind::TimeStamp: return SummaryValueKind::DateTime;
    default: return SummaryValueKind::Number;
    }
}

void combine(double& slot, char& set, TdxSummaryType kind, double v) {
    if (!set) {
        slot = v;
        set = 1;
        return;
    }
    switch (kind) {
    case TdxSummaryType::cstSum: case TdxSummaryType::cstAvg: slot += v; break;
    case TdxSummaryType::cstMin: if (v < slot) slot = v; break;
    case TdxSummaryType::cstMax: if (v > slot) slot = v; break;
    default: break;
    }
}

bool readsValue(TdxSummaryType k) {
    return k == TdxSummaryType::cstSum || k == TdxSummaryType::cstMin || k == TdxSummaryType::cstMax ||
           k == TdxSummaryType::cstAvg;
}

} // namespace

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

void TdxDBGridColumn::SetGroupIndex(int level) {
    const int current = GroupIndex();
    if (level == current) return;
    if (level < 0) {
        grid_->UngroupColumn(current);
        return;
    }
    grid_->BeginGroupingUpdate();
    try {
        if (current >= 0) grid_->UngroupColumn(current);
        grid_->GroupColumn(*this, level);
    } catch (...) {
        grid_->EndGroupingUpdate();
        throw;
    }
    grid_->EndGroupingUpdate();
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
        if (sameText(c->Name(), name)) return c.get();
    return nullptr;
}

TdxDBGridColumn* TdxDBGrid::ColumnByFieldName(const std::string& fieldName) const {
    for (const auto& c : columns_)
        if (sameText(c->FieldName(), fieldName)) return c.get();
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

TdxDBGridColumn& TdxDBGrid::GroupColumns(int level) {
    if (level < 0 || level >= GroupColumnCount()) throw Error(format("List index out of bounds (%d)", level));
    return *groupColumns_[static_cast<size_t>(level)];
}

bool TdxDBGrid::GroupColumn(TdxDBGridColumn& c, int position) {
    if (c.DisableGrouping()) return false;
    if (const Field* f = c.field(); f && isBlobKind(f->Kind())) return false;
    if (c.Visible()) {
        int visible = 0;
        for (const auto& col : columns_) visible += col->Visible() ? 1 : 0;
        if (visible == 1) return false;
    }
    if (c.GroupIndex() >= 0) return false;
    for (TdxDBGridColumn* g : groupColumns_)
        if (sameText(g->FieldName(), c.FieldName())) return false;

    position = std::clamp(position, 0, GroupColumnCount());
    groupColumns_.insert(groupColumns_.begin() + position, &c);
    if (c.sorted_ == TdxTreeListColumnSort::csNone) c.sorted_ = TdxTreeListColumnSort::csUp;
    c.visible_ = false;
    if (groupingUpdateCount_ > 0) {
        changed();
    } else {
        load(LoadReason::KeepExpanded);
    }
    return true;
}

void TdxDBGrid::UngroupColumn(int level) {
    TdxDBGridColumn& c = GroupColumns(level);
    c.visible_ = true;
    c.sorted_ = TdxTreeListColumnSort::csNone;
    groupColumns_.erase(groupColumns_.begin() + level);
    if (groupingUpdateCount_ > 0) {
        changed();
    } else {
        load(LoadReason::KeepExpanded);
    }
}

void TdxDBGrid::ClearGrouping() {
    BeginGroupingUpdate();
    while (GroupColumnCount() > 0) UngroupColumn(0);
    EndGroupingUpdate();
}

void TdxDBGrid::SortByClick(TdxDBGridColumn& c, bool ctrl) {
    using S = TdxTreeListColumnSort;
    if (c.GroupIndex() >= 0) {
        c.SetSorted(c.Sorted() == S::csUp ? S::csDown : S::csUp);
        return;
    }
    const S next = ctrl ? S::csNone : (c.Sorted() == S::csUp ? S::csDown : S::csUp);
    if (next != S::csNone)
        for (auto& other : columns_)
            if (other.get() != &c && other->GroupIndex() < 0) other->SetSorted(S::csNone);
    c.SetSorted(next);
}

int TdxDBGrid::GroupDropPosition(int x, bool alreadyGrouped) const {
    int pos = 0;
    for (int i = 0; i < GroupColumnCount(); ++i)
        if (8 + 104 * i + 50 <= x) ++pos;
    if (alreadyGrouped) pos = std::min(pos, std::max(GroupColumnCount() - 1, 0));
    return pos;
}

void TdxDBGrid::DropColumn(TdxDBGridColumn& c, bool fromGroupPanel, DropPlace place, int x, int headerPosition) {
    if (place == DropPlace::GroupPanel) {
        const int position = GroupDropPosition(x, c.GroupIndex() >= 0);
        // A refused grouping must not cost a reload of every row.
        if (c.GroupIndex() < 0) GroupColumn(c, position);
        else c.SetGroupIndex(position);
        return;
    }
    if (fromGroupPanel) {
        if (c.GroupIndex() < 0) return;
        // One reload for ungrouping and placing the column.
        BeginGroupingUpdate();
        try {
            UngroupColumn(c.GroupIndex());
            if (place == DropPlace::HeaderRow) MoveColumn(c, headerPosition);
            else if (place == DropPlace::Outside) c.SetVisible(false);
        } catch (...) {
            EndGroupingUpdate();
            throw;
        }
        EndGroupingUpdate();
        return;
    }
    if (place == DropPlace::HeaderRow) {
        MoveColumn(c, headerPosition);
    } else if (place == DropPlace::Outside && c.Visible() && VisibleColumns().size() > 1) {
        c.SetVisible(false);
    }
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
        key.insert(0, valueKey(groups_[static_cast<size_t>(g)].value) + '\x1F');
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
                key += valueKey(v);
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
                    row.values.assign(static_cast<size_t>(itemCount), 0.0);
                    row.slotSet.assign(static_cast<size_t>(itemCount), 0);
                    siblings.insert(pos, RowHandle::group(g));
                    groups_.push_back(std::move(row));
                    lookup.emplace(key, g);
                }
                parent = g;
            }
            const int d = static_cast<int>(data_.size());
            data_.push_back({rec, parent, 0});
            (parent < 0 ? top_ : groups_[static_cast<size_t>(parent)].children).push_back(RowHandle::data(d));
            addRecordToSummaries(rec, parent);
            loadedRecords_ = rec + 1;
        }
        finishSummaries();
        sortAll();
    } catch (...) {
        renumberChildren();
        restore();
        invalidateVisible();
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
}

TdxDBGridSummaryGroup* TdxDBGrid::groupForLevel(int level) const {
    if (level < 0 || level >= static_cast<int>(groupColumns_.size())) return nullptr;
    const TdxDBGridColumn* c = groupColumns_[static_cast<size_t>(level)];
    if (!c->SummaryGroupName.empty()) {
        for (const auto& g : summaryGroups_)
            if (sameText(g->Name, c->SummaryGroupName)) return g.get();
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
    for (auto& c : columns_) {
        c->footerFieldIndex_ = resolveField(c->footerField_.empty() ? c->fieldName_ : c->footerField_);
        c->footerValue_ = 0;
        c->footerValueSet_ = false;
    }
    summariesLoaded_ = true;
}

double TdxDBGrid::recordValue(int record, int field) const {
    if (field < 0) return 0;
    const Field& f = dataSet_->Fields(field);
    const FieldKind k = f.Kind();
    if (k == FieldKind::Boolean || k == FieldKind::Blob || k == FieldKind::Graphic)
        throw Error(format("Cannot access field '%s' as type %s", f.DisplayName().c_str(), "Float"));
    const Value v = dataSet_->value(record, field);
    if (v.isNull()) {
        if (isTextKind(k))
            throw Error(format("'%s' is not a valid floating point value", ""));
        return 0;
    }
    return v.asDouble();
}

void TdxDBGrid::addRecordToSummaries(int record, int innermost) {
    for (int g = innermost; g >= 0; g = groups_[static_cast<size_t>(g)].parent) {
        GroupRow& row = groups_[static_cast<size_t>(g)];
        ++row.dataRows;
        const TdxDBGridSummaryGroup* group = groupForLevel(row.level);
        if (!group) continue;
        const int n = std::min(group->SummaryItems.Count(), static_cast<int>(row.values.size()));
        for (int i = 0; i < n; ++i) {
            const TdxDBGridSummaryItem& item = group->SummaryItems.Items(i);
            const double v = readsValue(item.SummaryType()) ? recordValue(record, item.boundField) : 0;
            combine(row.values[static_cast<size_t>(i)], row.slotSet[static_cast<size_t>(i)], item.SummaryType(), v);
        }
    }
    for (auto& c : columns_) {
        if (c->footerType_ == TdxSummaryType::cstNone) continue;
        const double v = readsValue(c->footerType_) ? recordValue(record, c->footerFieldIndex_) : 0;
        char set = c->footerValueSet_ ? 1 : 0;
        combine(c->footerValue_, set, c->footerType_, v);
        c->footerValueSet_ = set != 0;
    }
}

void TdxDBGrid::finishSummaries() {
    for (GroupRow& row : groups_) {
        const TdxDBGridSummaryGroup* group = groupForLevel(row.level);
        if (!group) continue;
        const int n = std::min(group->SummaryItems.Count(), static_cast<int>(row.values.size()));
        for (int i = 0; i < n; ++i) {
            const TdxSummaryType k = group->SummaryItems.Items(i).SummaryType();
            if (k == TdxSummaryType::cstCount) {
                row.values[static_cast<size_t>(i)] = row.dataRows;
                row.slotSet[static_cast<size_t>(i)] = 1;
            } else if (k == TdxSummaryType::cstAvg && row.dataRows > 0) {
                row.values[static_cast<size_t>(i)] /= row.dataRows;
            }
        }
    }
    for (auto& c : columns_) {
        if (c->footerType_ == TdxSummaryType::cstCount) c->footerValue_ = loadedRecords_;
        else if (c->footerType_ == TdxSummaryType::cstAvg && loadedRecords_ > 0) c->footerValue_ /= loadedRecords_;
    }
}

// Changed items or footer kinds: the values are computed again over the loaded rows, so
// no footer shows a value of an earlier set of items.
void TdxDBGrid::recomputeSummaries() {
    if (!dataSet_ || !dataSet_->Active() || keyFieldIndex_ < 0 || loading_) return;
    prepareSummaries();
    const int itemCount = DefaultGroup().SummaryItems.Count();
    for (GroupRow& row : groups_) {
        row.values.assign(static_cast<size_t>(itemCount), 0.0);
        row.slotSet.assign(static_cast<size_t>(itemCount), 0);
        row.dataRows = 0;
    }
    for (const DataRow& r : data_) addRecordToSummaries(r.record, r.parent);
    finishSummaries();
}

void TdxDBGrid::summaryItemsChanged() {
    invalidateVisible();
    if (updateCount_ > 0) {
        summariesDirty_ = true;
        return;
    }
    if (data_.empty()) {
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

// ---- ordering ----

void TdxDBGrid::sortChildren(std::vector<RowHandle>& rows, const TdxDBGridColumn& c, bool groupLevel) {
    const bool down = c.Sorted() == TdxTreeListColumnSort::csDown;
    if (groupLevel) {
        std::stable_sort(rows.begin(), rows.end(), [&](RowHandle a, RowHandle b) {
            const int r = compareValues(groups_[static_cast<size_t>(a.index)].value, groups_[static_cast<size_t>(b.index)].value);
            return down ? r > 0 : r < 0;
        });
        return;
    }
    std::vector<std::pair<SortKey, RowHandle>> keyed;
    keyed.reserve(rows.size());
    for (RowHandle h : rows) keyed.emplace_back(sortKey(CellValue(h, c)), h);
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        const int r = compareKeys(a.first, b.first);
        return down ? r > 0 : r < 0;
    });
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = keyed[i].second;
}

void TdxDBGrid::sortAll() {
    const int levels = static_cast<int>(lastGroupFields_.size());
    for (int l = 0; l < levels && l < GroupColumnCount(); ++l) {
        const TdxDBGridColumn& c = *groupColumns_[static_cast<size_t>(l)];
        if (l == 0) sortChildren(top_, c, true);
        else
            for (GroupRow& g : groups_)
                if (g.level == l - 1) sortChildren(g.children, c, true);
    }
    const TdxDBGridColumn* sortedColumn = nullptr;
    for (const auto& c : columns_)
        if (c->GroupIndex() < 0 && c->Sorted() != TdxTreeListColumnSort::csNone) {
            sortedColumn = c.get();
            break;
        }
    if (sortedColumn) {
        if (levels == 0) {
            sortChildren(top_, *sortedColumn, false);
        } else {
            for (GroupRow& g : groups_)
                if (g.level == levels - 1) sortChildren(g.children, *sortedColumn, false);
        }
    } else {
        // Record order.
        auto byRecord = [&](std::vector<RowHandle>& rows) {
            std::sort(rows.begin(), rows.end(), [&](RowHandle a, RowHandle b) {
                return data_[static_cast<size_t>(a.index)].record < data_[static_cast<size_t>(b.index)].record;
            });
        };
        if (levels == 0) byRecord(top_);
        else
            for (GroupRow& g : groups_)
                if (g.level == levels - 1) byRecord(g.children);
    }
    renumberChildren();
}

void TdxDBGrid::renumberChildren() {
    auto number = [&](const std::vector<RowHandle>& rows) {
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].isData()) data_[static_cast<size_t>(rows[i].index)].childIndex = static_cast<int>(i);
    };
    number(top_);
    for (const GroupRow& g : groups_) number(g.children);
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

std::string TdxDBGrid::GroupRowText(RowHandle group) const {
    const GroupRow& g = groups_[static_cast<size_t>(group.index)];
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

std::string TdxDBGrid::CellText(RowHandle dataRow, const TdxDBGridColumn& c) const {
    if (!dataRow.isData() || c.fieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return {};
    return dataSet_->displayText(data_[static_cast<size_t>(dataRow.index)].record, c.fieldIndex_);
}

Value TdxDBGrid::CellValue(RowHandle dataRow, const TdxDBGridColumn& c) const {
    if (!dataRow.isData() || c.fieldIndex_ < 0 || !dataSet_ || !dataSet_->Active()) return {};
    return dataSet_->value(data_[static_cast<size_t>(dataRow.index)].record, c.fieldIndex_);
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

double TdxDBGrid::FooterCellValue(RowHandle dataRow, const TdxDBGridColumn& c, int j) const {
    int slot = 0;
    const int level = FooterLevel(dataRow, j);
    if (level < 0 || !footerItem(level, c, &slot)) return 0;
    const int g = groupAtLevel(dataRow, level);
    if (g < 0) return 0;
    const GroupRow& row = groups_[static_cast<size_t>(g)];
    return slot < static_cast<int>(row.values.size()) ? row.values[static_cast<size_t>(slot)] : 0;
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

double TdxDBGrid::SummaryFooterValue(const TdxDBGridColumn& c) const { return c.footerValue_; }

std::string TdxDBGrid::SummaryFooterText(const TdxDBGridColumn& c) const {
    return FormatSummaryValue(c.SummaryFooterType(), c.SummaryFooterFormat(), FooterValueKind(c),
                              SummaryPlace::Footer, c.footerValue_);
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
