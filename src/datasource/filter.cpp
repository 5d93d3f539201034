#include "datasource/filter.h"

#include "common/error.h"
#include "datasource/dataset.h"

namespace rg {

Value FilterExpr::cell(const DataSet& ds, int64_t row, int field) { return ds.physicalValue(row, field); }

std::unique_ptr<FilterExpr> parseFilter(const std::string& expression, DataSet&) {
    throw Error("Filters are not available yet");
}

} // namespace rg
