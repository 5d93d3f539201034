// The calculated fields of a data set.

#include "calc/calccolumns.h"
#include "datasource/dataset.h"
#include "datasource/datasetimpl.h"
#include "server/serverquery.h"

#include <iterator>
#include <map>
#include <utility>

namespace rg {

void DataSet::refuseCalculatedOnServer() const {
    if (!calculated_.empty())
        throw ServerRefusal("计算字段“" + calculated_.front().name +
                            "”只能在内存中计算，而这份报表的数据留在服务器上汇总：请关闭服务器汇总"
                            "后再使用计算字段");
}

void DataSet::appendCalculated(ResultBuffer& buf) const {
    std::vector<std::string> captions;
    for (size_t i = 0; i < fields_.size() && i < buf.info.size(); ++i)
        captions.push_back(fields_[i]->DisplayLabel());
    AppendCalculatedColumns(buf, calculated_, captions);
}

bool DataSet::IsCalculated(int field) const {
    return active_ && !serverSide_ && field >= 0 && static_cast<size_t>(field) >= impl_->fetched &&
           field < FieldCount();
}

void DataSet::SetCalculatedFields(std::vector<CalculatedField> fields) {
    if (fields == calculated_)
        return;
    if (!active_) {
        calculated_ = std::move(fields);
        return;
    }
    std::vector<CalculatedField> old = std::exchange(calculated_, std::move(fields));
    if (serverSide_) {
        try {
            refuseCalculatedOnServer();
        } catch (...) {
            calculated_ = std::move(old);
            throw;
        }
        return;
    }
    // Computed aside: a field that fails leaves the columns and fields as they were.
    Impl& m = *impl_;
    ResultBuffer& b = *m.buf;
    const size_t fetched = m.fetched;
    std::vector<ColumnInfo> oldInfo(b.info.begin() + static_cast<std::ptrdiff_t>(fetched),
                                    b.info.end());
    std::vector<ColumnData> oldColumns(
        std::make_move_iterator(b.columns.begin() + static_cast<std::ptrdiff_t>(fetched)),
        std::make_move_iterator(b.columns.end()));
    b.info.resize(fetched);
    b.columns.erase(b.columns.begin() + static_cast<std::ptrdiff_t>(fetched), b.columns.end());
    try {
        appendCalculated(b);
    } catch (...) {
        b.info.resize(fetched);
        b.columns.erase(b.columns.begin() + static_cast<std::ptrdiff_t>(fetched), b.columns.end());
        b.info.insert(b.info.end(), oldInfo.begin(), oldInfo.end());
        std::move(oldColumns.begin(), oldColumns.end(), std::back_inserter(b.columns));
        calculated_ = std::move(old);
        throw;
    }
    // The calculated fields' own posted values are computed anew below.
    for (auto it = m.edited.begin(); it != m.edited.end();)
        it = static_cast<size_t>(it->first.second) >= fetched ? m.edited.erase(it) : std::next(it);
    std::vector<int64_t> editedRows;
    for (const auto& [cell, value] : m.edited)
        editedRows.push_back(cell.first);
    // A field kept by its name keeps its caption.
    std::map<std::string, std::string> labels;
    for (size_t i = fetched; i < fields_.size(); ++i)
        labels[fields_[i]->name_] = fields_[i]->label_;
    fields_.resize(fetched);
    for (size_t i = fetched; i < b.info.size(); ++i) {
        auto f = std::make_unique<Field>();
        f->owner_ = this;
        f->index_ = static_cast<int>(i);
        f->name_ = b.info[i].name;
        f->kind_ = b.info[i].kind;
        if (const auto it = labels.find(f->name_); it != labels.end())
            f->label_ = it->second;
        fields_.push_back(std::move(f));
    }
    for (const int64_t row : editedRows)
        calculateRow(row);
    rebuildView();
    if (m.cur >= m.count())
        m.cur = m.count() - 1;
    notify(DataEvent::LayoutChanged);
}

// The calculated fields of one row from its current values, among the posted ones.
void DataSet::calculateRow(int64_t row) {
    Impl& m = *impl_;
    if (calculated_.empty())
        return;
    ResultBuffer one;
    one.rows = 1;
    for (size_t i = 0; i < m.fetched; ++i) {
        one.info.push_back(m.buf->info[i]);
        one.columns.emplace_back(m.buf->info[i].kind);
        one.columns.back().appendValue(m.cell(row, static_cast<int>(i)));
    }
    appendCalculated(one);
    for (size_t i = m.fetched; i < one.columns.size(); ++i)
        m.edited[{row, static_cast<int>(i)}] = one.columns[i].valueAt(0);
}

} // namespace rg
