#include "grid/gridfilter.h"

#include "grid/grid.h"

#include <algorithm>

namespace rg {

void TdxDBGridFilter::SetColumnFilter(const TdxDBGridColumn& c, std::optional<ColumnFilter> f) {
    Conditions next = conditions_;
    auto it = std::find_if(next.begin(), next.end(), [&](const auto& e) { return e.first == &c; });
    if (!f) {
        if (it == next.end())
            return;
        next.erase(it);
    } else if (it != next.end()) {
        it->second = std::move(*f);
    } else {
        next.emplace_back(&c, std::move(*f));
    }
    apply(std::move(next));
}

void TdxDBGridFilter::Clear() {
    apply({});
}

const ColumnFilter* TdxDBGridFilter::ColumnFilterOf(const TdxDBGridColumn& c) const {
    for (const auto& [column, filter] : conditions_)
        if (column == &c)
            return &filter;
    return nullptr;
}

void TdxDBGridFilter::apply(Conditions conditions) {
    Conditions old = std::move(conditions_);
    conditions_ = std::move(conditions);
    DataSet* ds = grid_.filteredDataSet();
    if (!ds) {
        grid_.filterChanged();
        return;
    }
    const std::string expression = Expression();
    try {
        grid_.setDataSetFilter(expression);
    } catch (...) {
        // Refused by the data set: nothing changed. Failed afterwards, in the reload: the
        // filter stands and so do its conditions.
        if (ds->Filter() != expression)
            conditions_ = std::move(old);
        grid_.filterChanged();
        throw;
    }
    // A closed data set reports nothing; the status must follow all the same.
    grid_.filterChanged();
}

bool TdxDBGridFilter::forgetColumn(const TdxDBGridColumn& c) {
    const auto it = std::find_if(conditions_.begin(), conditions_.end(),
                                 [&](const auto& e) { return e.first == &c; });
    if (it == conditions_.end())
        return false;
    conditions_.erase(it);
    return true;
}

void TdxDBGridFilter::reapply() {
    apply(std::move(conditions_));
}

void TdxDBGridFilter::dataSetClosed() {
    if (conditions_.empty())
        return;
    conditions_.clear();
    if (DataSet* ds = grid_.filteredDataSet())
        ds->SetFilter({});
}

std::string TdxDBGridFilter::render(bool forDisplay) const {
    std::string out;
    for (const auto& [column, filter] : conditions_) {
        const Field* f = column->field();
        const FieldKind kind = f ? f->Kind() : FieldKind::Unknown;
        const std::string name = forDisplay
                                     ? column->Caption()
                                     : FilterFieldName(f ? f->FieldName() : column->FieldName());
        std::string part = ColumnFilterText(
            name, kind, filter, forDisplay ? FilterTextUse::User : FilterTextUse::DataSet);
        if (filter.second && conditions_.size() > 1)
            part = "(" + part + ")";
        if (!out.empty())
            out += " AND ";
        out += part;
    }
    return out;
}

std::string TdxDBGridFilter::Expression() const {
    return render(false);
}

std::string TdxDBGridFilter::DisplayText() const {
    if (conditions_.empty()) {
        const DataSet* ds = grid_.filteredDataSet();
        return ds && ds->Filtered() ? ds->Filter() : std::string();
    }
    return render(true);
}

} // namespace rg
