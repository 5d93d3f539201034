#pragma once

// The rows of an open data set, for the files its implementation is split into.

#include "datasource/dataset.h"
#include "datasource/filter.h"
#include "datasource/resultbuffer.h"

#include <map>
#include <memory>
#include <vector>

namespace rg {

struct DataSet::Impl {
    std::unique_ptr<ResultBuffer> buf;
    size_t fetched = 0; // columns of the result; the calculated ones follow
    // Physical rows shown, in order; unused (identity) while nothing is filtered or deleted.
    std::vector<int64_t> view;
    bool identity = true;
    std::vector<uint8_t> deleted; // per physical row, empty while nothing was deleted
    std::unique_ptr<FilterExpr> filter;
    std::map<std::pair<int64_t, int>, Value> edited; // posted values replacing fetched ones
    int cur = -1;
    int64_t changes = 0; // posted edits and deletions since the open
    bool eof = true, bof = true;
    std::vector<Value> pending; // the record being inserted or edited
    int insertAt = -1;
    bool movedWhileDisabled = false;

    int count() const {
        return identity ? static_cast<int>(buf ? buf->rows : 0) : static_cast<int>(view.size());
    }
    int64_t phys(int rec) const { return identity ? rec : view[static_cast<size_t>(rec)]; }
    Value cell(int64_t row, int field) const {
        if (!edited.empty()) {
            auto it = edited.find({row, field});
            if (it != edited.end())
                return it->second;
        }
        return buf->columns[static_cast<size_t>(field)].valueAt(row);
    }
};

} // namespace rg
