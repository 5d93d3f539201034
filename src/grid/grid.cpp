#include "grid/grid.h"

#include "common/asciicase.h"
#include "common/error.h"
#include "common/progress.h"
#include "grid/serverrows.h"

#include <algorithm>

namespace rg {

// ---- columns ----

TdxDBGridColumn::TdxDBGridColumn(TdxDBGrid* grid, std::string name)
    : grid_(grid), name_(std::move(name)) {}

void TdxDBGridColumn::SetFieldName(const std::string& name) {
    fieldName_ = name;
    fieldIndex_ = grid_->resolveField(name);
    grid_->changed();
}

Field* TdxDBGridColumn::field() const {
    DataSet* ds = grid_->dataSet_;
    if (!ds || fieldIndex_ < 0 || fieldIndex_ >= ds->FieldCount())
        return nullptr;
    return &ds->Fields(fieldIndex_);
}

std::string TdxDBGridColumn::Caption() const {
    if (const Field* f = field())
        return f->DisplayName();
    return fieldName_;
}

Alignment TdxDBGridColumn::alignment() const {
    const Field* f = field();
    return f ? f->alignment() : Alignment::Left;
}

void TdxDBGridColumn::SetVisible(bool v) {
    if (v == visible_)
        return;
    visible_ = v;
    grid_->changed();
}

void TdxDBGridColumn::SetSummaryFooterFormat(const std::string& f) {
    if (f == footerFormat_)
        return;
    footerFormat_ = f;
    grid_->changed();
}

void TdxDBGridColumn::SetWidth(int w) {
    width_ = std::max(w, 4);
    grid_->changed();
}

void TdxDBGridColumn::SetSorted(TdxTreeListColumnSort s) {
    if (s == sorted_)
        return;
    const TdxTreeListColumnSort old = sorted_;
    sorted_ = s;
    if (grid_->loading_)
        return;
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
        if (c[i].get() == this)
            return static_cast<int>(i);
    return -1;
}

void TdxDBGridColumn::SetSummaryFooterType(TdxSummaryType t) {
    if (t == footerType_)
        return;
    footerType_ = t;
    grid_->summaryItemsChanged();
}

// ---- grid ----

TdxDBGrid::TdxDBGrid() = default;

TdxDBGrid::~TdxDBGrid() {
    if (dataSet_)
        dataSet_->removeObserver(this);
}

void TdxDBGrid::SetDataSet(DataSet* ds) {
    if (ds == dataSet_)
        return;
    if (dataSet_)
        dataSet_->removeObserver(this);
    dataSet_ = ds;
    unfiltered_.drop();
    if (dataSet_)
        dataSet_->addObserver(this);
    rebindColumns();
    if (dataSet_ && dataSet_->Active())
        load(LoadReason::Structure);
    else
        clearRows();
    changed();
}

TdxDBGridColumn& TdxDBGrid::Columns(int i) {
    if (i < 0 || i >= ColumnCount())
        throw Error(format("List index out of bounds (%d)", i));
    return *columns_[static_cast<size_t>(i)];
}

const TdxDBGridColumn& TdxDBGrid::Columns(int i) const {
    return const_cast<TdxDBGrid*>(this)->Columns(i);
}

TdxDBGridColumn* TdxDBGrid::ColumnByName(const std::string& name) const {
    for (const auto& c : columns_)
        if (equalsIgnoringCase(c->Name(), name))
            return c.get();
    return nullptr;
}

TdxDBGridColumn* TdxDBGrid::ColumnByFieldName(const std::string& fieldName) const {
    for (const auto& c : columns_)
        if (equalsIgnoringCase(c->FieldName(), fieldName))
            return c.get();
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
    if (refilter)
        Filter.reapply();
    else if (level >= 0 && groupingUpdateCount_ == 0)
        load(LoadReason::KeepExpanded);
    else
        changed();
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
        if (c->Visible())
            out.push_back(c);
    return out;
}

void TdxDBGrid::MoveColumn(TdxDBGridColumn& c, int position) {
    auto it = std::find(headerOrder_.begin(), headerOrder_.end(), &c);
    if (it == headerOrder_.end())
        return;
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
    if (groupingUpdateCount_++ == 0)
        groupingBeforeUpdate_ = groupingState();
}

// A cancelled reload puts back the grouping of the update's start.
void TdxDBGrid::EndGroupingUpdate() {
    if (groupingUpdateCount_ > 0 && --groupingUpdateCount_ == 0) {
        const LoadReason reason =
            structureLoadPending_ ? LoadReason::Structure : LoadReason::KeepExpanded;
        structureLoadPending_ = false;
        // Rows of the grouping before the update are there to keep unless a report opened.
        const bool rowsKept = reason == LoadReason::KeepExpanded;
        try {
            load(reason, rowsKept ? OnFailure::KeepRows : OnFailure::ClearRows);
        } catch (const Cancelled&) {
            restoreGrouping(groupingBeforeUpdate_);
            throw;
        } catch (...) {
            if (rowsKept)
                restoreGrouping(groupingBeforeUpdate_);
            throw;
        }
    }
}

void TdxDBGrid::ReloadRows() {
    load(LoadReason::KeepExpanded);
}

void TdxDBGrid::ReloadStructure() {
    load(LoadReason::Structure);
}

void TdxDBGrid::ExpandAll() {
    BeginUpdate();
    tree_.setAllExpanded(true);
    invalidateVisible();
    EndUpdate();
}

void TdxDBGrid::CollapseAll() {
    BeginUpdate();
    tree_.setAllExpanded(false);
    invalidateVisible();
    EndUpdate();
}

void TdxDBGrid::SetKeyField(const std::string& name) {
    if (name == keyField_)
        return;
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

// ---- observers ----

void TdxDBGrid::dataSetEvent(DataEvent e) {
    switch (e) {
    case DataEvent::Opened:
        unfiltered_.drop();
        rebindColumns();
        load(LoadReason::Structure);
        break;
    case DataEvent::Closed:
        unfiltered_.drop();
        Filter.dataSetClosed();
        rebindColumns();
        clearRows();
        changed();
        break;
    case DataEvent::ContentsChanged:
        if (!unfiltered_.filterChanging())
            unfiltered_.drop();
        load(LoadReason::KeepExpanded);
        break;
    case DataEvent::LayoutChanged:
        unfiltered_.drop();
        rebindColumns();
        load(LoadReason::KeepExpanded);
        break;
    case DataEvent::RecordChanged:
        focusFromDataSet();
        break;
    }
}

void TdxDBGrid::addListener(GridListener* l) {
    listeners_.push_back(l);
}
void TdxDBGrid::removeListener(GridListener* l) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), l), listeners_.end());
}

void TdxDBGrid::SetReportPrintChoices(const PrintChoices& choices) {
    if (choices == printChoices_)
        return;
    printChoices_ = choices;
    changed();
}

void TdxDBGrid::SetShowGroupPanel(bool on) {
    if (on == showGroupPanel_)
        return;
    showGroupPanel_ = on;
    changed();
}

void TdxDBGrid::SetShowRowFooter(bool on) {
    if (on == showRowFooter_)
        return;
    showRowFooter_ = on;
    invalidateVisible(); // the footer rows come or go among the lines
    changed();
}

void TdxDBGrid::SetShowSummaryFooter(bool on) {
    if (on == showSummaryFooter_)
        return;
    showSummaryFooter_ = on;
    changed();
}

void TdxDBGrid::SetSummarySeparator(const std::string& separator) {
    if (separator == summarySeparator_)
        return;
    summarySeparator_ = separator;
    changed();
}

void TdxDBGrid::changed() {
    if (updateCount_ > 0)
        return;
    for (GridListener* l : std::vector<GridListener*>(listeners_))
        l->gridChanged();
}

void TdxDBGrid::focusChanged() {
    for (GridListener* l : std::vector<GridListener*>(listeners_))
        l->focusChanged();
}

int TdxDBGrid::resolveField(const std::string& name) const {
    if (!dataSet_ || name.empty())
        return -1;
    const Field* f = dataSet_->FindField(name);
    return f ? f->Index() : -1;
}

void TdxDBGrid::rebindColumns() {
    for (auto& c : columns_)
        c->fieldIndex_ = resolveField(c->fieldName_);
    keyFieldIndex_ = resolveField(keyField_);
}

std::vector<std::string> TdxDBGrid::groupFieldNames() const {
    std::vector<std::string> names;
    // The interval is part of the level: groups by month are not the groups by day.
    for (const TdxDBGridColumn* c : groupColumns_)
        names.push_back(c->interval_.kind == GroupInterval::None
                            ? c->FieldName()
                            : c->FieldName() + '\x1F' + intervalName(c->interval_));
    return names;
}

} // namespace rg
