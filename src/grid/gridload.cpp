#include "grid/grid.h"

#include "common/progress.h"
#include "grid/gridkeys.h"
#include "grid/serverrows.h"
#include "server/serverquery.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <unordered_set>

// Loading the rows: the tree of the current records with its summaries, built aside and
// shown once complete, the expanded groups and the focused row found again in it.

namespace rg {

namespace {

// Where the focus was among rows left on the server: the focused group (or the data row's
// innermost group, "" for the top) by its value path, the row by its key and its offset
// among that group's rows.
struct ServerFocus {
    bool wasGroup = false;
    std::string path;
    Value key;
    int offset = 0;
};

// Only the rows near the old place are read, a page or two, never the whole group. A row
// gone leaves the focus at its place; a group closed, on the group row.
RowHandle serverRowAgain(const RowTree& tree, const ServerRows& server, int keyField, bool grouped,
                         const ServerFocus& f) {
    constexpr int kNear = 500;
    int group = -1;
    if (!f.path.empty()) {
        for (int g = 0; g < tree.groupCount() && group < 0; ++g)
            if (tree.pathKey(g) == f.path)
                group = g;
        if (group < 0)
            return {};
        if (f.wasGroup || !tree.group(group).expanded)
            return RowHandle::group(group);
    } else if (f.wasGroup || grouped) {
        return {};
    }
    const int first = group >= 0 ? tree.group(group).firstData : 0;
    const int count = group >= 0 ? tree.group(group).dataRows : tree.dataCount();
    if (count == 0)
        return group >= 0 ? RowHandle::group(group) : RowHandle{};
    const int at = std::clamp(f.offset, 0, count - 1);
    for (int d = 0; d <= kNear; ++d)
        for (int offset : {at - d, at + d})
            if (offset >= 0 && offset < count &&
                compareValues(server.value(tree, first + offset, keyField), f.key) == 0)
                return RowHandle::data(first + offset);
    return RowHandle::data(first + at);
}

} // namespace

// What a load finds again in its new rows: the expanded groups, by their value path, and
// the focused row, by its key value (on the server, near its old place).
struct TdxDBGrid::ViewState {
    std::unordered_set<std::string> expanded;
    Value focusKey;
    bool hadFocus = false, focusWasGroup = false;
    int focusLevel = 0;
    std::string focusGroup; // a focused group's value path
    std::optional<ServerFocus> server;
};

TdxDBGrid::LoadedRows::LoadedRows() = default;
TdxDBGrid::LoadedRows::LoadedRows(LoadedRows&&) noexcept = default;
TdxDBGrid::LoadedRows& TdxDBGrid::LoadedRows::operator=(LoadedRows&&) noexcept = default;
TdxDBGrid::LoadedRows::~LoadedRows() = default;

void TdxDBGrid::clearRows() {
    tree_ = RowTree{};
    server_.reset();
    cross_.reset();
    // The footers sum the rows shown: without rows they show nothing, not the last values.
    for (auto& c : columns_)
        c->footerValue_ = SummaryValue::failed();
    focused_ = RowHandle{};
    invalidateVisible();
}

std::string TdxDBGrid::loadSignature() const {
    std::string s = std::to_string(dataSet_ ? dataSet_->RecordCount() : -1);
    auto add = [&s](const auto&... parts) { ((s += '\x1F', s += parts), ...); };
    for (const TdxDBGridColumn* c : groupColumns_)
        add("g", std::to_string(c->fieldIndex_), intervalName(c->interval_),
            std::to_string(c->top_.count), c->top_.field,
            std::to_string(static_cast<int>(c->top_.kind)));
    for (const auto& c : columns_)
        add("c", c->name_, std::to_string(c->fieldIndex_),
            std::to_string(static_cast<int>(c->sorted_)),
            std::to_string(static_cast<int>(c->footerType_)), std::to_string(c->footerFieldIndex_));
    return s + summaries_.signature();
}

void TdxDBGrid::keepUnfilteredRows() {
    unfiltered_.drop();
    if (!dataSet_ || !dataSet_->Active() || !dataSet_->Filter().empty() || keyFieldIndex_ < 0 ||
        server_)
        return;
    // Rows shown since before an edit would come back stale.
    if (tree_.dataCount() != dataSet_->RecordCount() || tree_.changes() != dataSet_->changeCount())
        return;
    std::vector<SummaryValue> footers;
    for (const auto& c : columns_)
        footers.push_back(c->footerValue_);
    footers.insert(footers.end(), formulaFooters_.begin(), formulaFooters_.end());
    unfiltered_.keep(tree_, std::move(footers), loadSignature());
}

// The contents change by the grid's own filter: a cleared filter may bring back the rows
// kept when it was set.
void TdxDBGrid::setDataSetFilter(const std::string& expression) {
    if (dataSet_->Filter().empty() && !expression.empty())
        keepUnfilteredRows();
    try {
        unfiltered_.setFilterChanging(true);
        dataSet_->SetFilter(expression);
        unfiltered_.setFilterChanging(false);
    } catch (...) {
        unfiltered_.setFilterChanging(false);
        if (dataSet_->Filter().empty())
            unfiltered_.drop();
        throw;
    }
}

RowTree::Order TdxDBGrid::rowOrder() const {
    RowTree::Order order;
    for (const TdxDBGridColumn* c : groupColumns_)
        order.levelDown.push_back(c->Sorted() == TdxTreeListColumnSort::csDown);
    for (const auto& c : columns_)
        if (c->GroupIndex() < 0 && c->Sorted() != TdxTreeListColumnSort::csNone) {
            order.field = c->fieldIndex_;
            order.down = c->Sorted() == TdxTreeListColumnSort::csDown;
            break;
        }
    return order;
}

TdxDBGrid::ViewState TdxDBGrid::viewState(LoadReason reason) const {
    ViewState v;
    if (reason == LoadReason::KeepExpanded && groupFieldNames() == lastGroupFields_)
        for (int g = 0; g < tree_.groupCount(); ++g)
            if (tree_.group(g).expanded)
                v.expanded.insert(tree_.pathKey(g));
    if (server_ && focused_.valid() && keyFieldIndex_ >= 0) {
        ServerFocus f;
        f.wasGroup = focused_.isGroup();
        const RowHandle group = f.wasGroup ? focused_ : Parent(focused_);
        if (group.valid())
            f.path = tree_.pathKey(group.index);
        if (!f.wasGroup) {
            f.key = KeyValueOf(focused_);
            f.offset = focused_.index - (group.valid() ? tree_.group(group.index).firstData : 0);
        }
        v.server = std::move(f);
    } else if (focused_.valid() && keyFieldIndex_ >= 0 && dataSet_ && dataSet_->Active()) {
        // The old key value comes from the record the focused row stood for. A new filter
        // has numbered the records anew by now, but keeps the cursor, which the focused data
        // row moved, on its record; a group is looked for by its values first.
        const int rec =
            focused_.isData() && dataSet_->RecNo() >= 0 ? dataSet_->RecNo() : RecordOf(focused_);
        if (rec >= 0 && rec < dataSet_->RecordCount()) {
            v.focusKey = dataSet_->value(rec, keyFieldIndex_);
            v.hadFocus = true;
            v.focusWasGroup = focused_.isGroup();
            v.focusLevel = Level(focused_);
        }
        if (focused_.isGroup())
            v.focusGroup = tree_.pathKey(focused_.index);
    }
    return v;
}

bool TdxDBGrid::readyToLoad() {
    if (keyFieldIndex_ < 0 || !dataSet_) {
        clearRows();
        lastGroupFields_ = groupFieldNames();
        changed();
        return false;
    }
    if (dataSet_->Active()) {
        for (int level = GroupColumnCount() - 1; level >= 0; --level) {
            TdxDBGridColumn& c = *groupColumns_[static_cast<size_t>(level)];
            if (c.fieldIndex_ >= 0)
                continue;
            c.visible_ = true;
            c.sorted_ = TdxTreeListColumnSort::csNone;
            groupColumns_.erase(groupColumns_.begin() + level);
        }
    }
    lastGroupFields_ = groupFieldNames();
    const bool blobLevel =
        std::any_of(groupColumns_.begin(), groupColumns_.end(), [](const TdxDBGridColumn* c) {
            const Field* f = c->field();
            return f && isBlobKind(f->Kind());
        });
    if (blobLevel || !dataSet_->Active()) {
        clearRows();
        changed();
        return false;
    }
    return true;
}

TdxDBGrid::LoadedRows TdxDBGrid::loadRows() {
    if (dataSet_->ServerSide())
        return loadServerRows();
    LoadedRows rows;
    if (dataSet_->GetState() == DataSet::State::Edit ||
        dataSet_->GetState() == DataSet::State::Insert)
        dataSet_->Cancel();
    prepareSummaries();
    // Even a load that finds its rows kept can be cancelled before it starts.
    reportProgress("正在分组", 0, dataSet_->RecordCount());
    if (unfiltered_.filterChanging() && unfiltered_.kept() && dataSet_->Filter().empty() &&
        unfiltered_.signature() == loadSignature()) {
        // The filter is cleared: the rows are those kept when it was set.
        unfiltered_.take(rows.tree, rows.footers);
        rows.tree.setAllExpanded(false);
        return rows;
    }
    std::vector<int> levels;
    for (const TdxDBGridColumn* c : groupColumns_)
        levels.push_back(c->fieldIndex_);
    std::vector<int32_t> innerOf;
    rows.tree = RowTree::build(*dataSet_, levels, innerOf, levelIntervals());
    // A value that cannot be summed stops the summaries, not the rows: the grid shows every
    // row, the footers stay empty and the error is reported at the end.
    try {
        rows.footers = summaries_.compute(*dataSet_, rows.tree, innerOf, footerSources());
        foldTopGroups(rows, innerOf);
    } catch (const Cancelled&) {
        throw;
    } catch (...) {
        rows.summaryError = std::current_exception();
    }
    innerOf = {};
    rows.tree.sort(*dataSet_, rowOrder());
    return rows;
}

// The groups and footers from one statement; data rows are read when something reads them.
TdxDBGrid::LoadedRows TdxDBGrid::loadServerRows() {
    for (const TdxDBGridColumn* c : groupColumns_)
        if (c->GroupTop().count > 0)
            throw ServerRefusal("在服务器上汇总时不能只显示前 N 项（“" + c->Caption() +
                                "”）：其他各组的汇总要再读一遍这些行");
    LoadedRows rows;
    prepareSummaries();
    reportProgress("正在分组", 0, 0);
    std::vector<int> levels;
    for (const TdxDBGridColumn* c : groupColumns_)
        levels.push_back(c->fieldIndex_);
    const RowTree::Order order = rowOrder();
    rows.server = std::make_unique<ServerRows>(
        *dataSet_, levels, pageOrderOf(order, keyFieldIndex_), levelIntervals());
    // Summary formulas take the summaries they read from the same grouping statement, asked
    // for beside the items' and the footers'.
    std::vector<SummaryExpression> exprs =
        SummaryEngine::compileFormulas(*dataSet_, summaries_.formulas());
    const std::vector<AggregateRef> reads = SummaryEngine::formulaReads(exprs);
    const TdxDBGridSummaryItems& items = DefaultGroup().SummaryItems;
    TdxDBGridSummaryGroup asked([] {});
    for (int i = 0; i < items.Count() + static_cast<int>(reads.size()); ++i) {
        TdxDBGridSummaryItem& item = asked.SummaryItems.Add();
        const bool read = i >= items.Count();
        const AggregateRef* r = read ? &reads[static_cast<size_t>(i - items.Count())] : nullptr;
        item.SetSummaryType(read ? SummaryTypeOfAggregate(r->kind) : items.Items(i).SummaryType());
        item.boundField = read ? r->field : items.Items(i).boundField;
    }
    std::vector<FooterSource> sources = footerSources();
    const size_t columnSources = sources.size();
    for (const AggregateRef& r : reads)
        sources.push_back({r.field, SummaryTypeOfAggregate(r.kind)});
    ServerRows::Groups groups = rows.server->groups(asked, sources, order.levelDown);
    summaries_.computeFormulas(exprs, reads, groups.tree, items.Count(), columnSources,
                               groups.footers);
    rows.tree = std::move(groups.tree);
    rows.footers = std::move(groups.footers);
    rows.summaryError = groups.summaryError;
    return rows;
}

void TdxDBGrid::showRows(LoadedRows rows) {
    tree_ = std::move(rows.tree);
    server_ = std::move(rows.server);
    cross_ = std::move(rows.cross);
    focused_ = RowHandle{};
    setFooterValues(std::move(rows.footers));
    if (rows.summaryError)
        clearSummaryValues();
    applyShowAs();
}

void TdxDBGrid::restoreView(const ViewState& view) {
    if (!view.expanded.empty())
        for (int g = 0; g < tree_.groupCount(); ++g)
            if (view.expanded.count(tree_.pathKey(g)))
                tree_.group(g).expanded = true;
    invalidateVisible();

    // Focus the row of the same key again, else the row of the current record.
    RowHandle target;
    if (server_ && view.server) {
        // A page that cannot be read now fails again where it is shown, with its message.
        try {
            target = serverRowAgain(tree_, *server_, keyFieldIndex_, GroupColumnCount() > 0,
                                    *view.server);
        } catch (const std::exception&) {
        }
    }
    if (!view.focusGroup.empty())
        for (int g = 0; g < tree_.groupCount() && !target.valid(); ++g)
            if (tree_.pathKey(g) == view.focusGroup)
                target = RowHandle::group(g);
    if (view.hadFocus && !target.valid()) {
        const int d = dataRowOfKey(*dataSet_, keyFieldIndex_, tree_.records(), view.focusKey);
        if (d >= 0)
            target = RowHandle::data(d);
        if (target.valid() && view.focusWasGroup) {
            while (target.valid() && !(target.isGroup() && Level(target) == view.focusLevel))
                target = Parent(target);
        }
    }
    if (!target.valid() && tree_.dataCount() > 0) {
        // The server's rows have no current record: the first row stands for it.
        target = server_ ? RowHandle::data(0) : tree_.dataRowOf(std::max(dataSet_->RecNo(), 0));
        // Stop at the outermost collapsed group so the focus is on a shown row.
        std::vector<RowHandle> path;
        for (RowHandle r = target; r.valid(); r = Parent(r))
            path.push_back(r);
        for (auto it = path.rbegin(); it != path.rend(); ++it)
            if (it->isData() || !Expanded(*it)) {
                target = *it;
                break;
            }
    }
    focused_ = target;
}

void TdxDBGrid::load(LoadReason reason, OnFailure onFailure) {
    if (loading_)
        return;
    rebindColumns();
    // A report opened inside a grouping update is loaded once, at the update's end, with
    // its grouping: a first load without it would read every row for nothing. Until then
    // the grid shows no rows, never rows of the data set before.
    if (groupingUpdateCount_ > 0 && (reason == LoadReason::Structure || structureLoadPending_)) {
        structureLoadPending_ = true;
        clearRows();
        changed();
        return;
    }
    // What a cancelled load leaves as it was.
    const GroupingState before = groupingState();
    const std::vector<std::string> groupFieldsBefore = lastGroupFields_;
    const ViewState view = viewState(reason);
    if (!readyToLoad())
        return;

    loading_ = true;
    const Bookmark mark = dataSet_->GetBookmark();
    const bool wasBof = dataSet_->Bof(), wasEof = dataSet_->Eof();
    dataSet_->DisableControls();
    auto restore = [&] {
        if (dataSet_->BookmarkValid(mark))
            dataSet_->GotoBookmark(mark);
        else if (wasBof)
            dataSet_->First();
        else if (wasEof)
            dataSet_->Last();
        dataSet_->EnableControls();
        loading_ = false;
    };
    // The rows shown are untouched until showRows.
    auto keepAsItWas = [&] {
        restoreGrouping(before);
        lastGroupFields_ = groupFieldsBefore;
        restore();
    };
    LoadedRows rows;
    try {
        rows = loadRows();
        addCrossTable(rows);
    } catch (const Cancelled&) {
        keepAsItWas();
        throw;
    } catch (...) {
        if (onFailure == OnFailure::KeepRows) {
            keepAsItWas();
            throw;
        }
        // No grid of part of the rows: a failed load shows none.
        clearRows();
        restore();
        changed();
        throw;
    }
    const std::exception_ptr summaryError = rows.summaryError;
    showRows(std::move(rows));
    restore();
    restoreView(view);
    changed();
    focusChanged();
    if (summaryError)
        std::rethrow_exception(summaryError);
}

} // namespace rg
