// Filter expressions (the grid's custom filters, --filter, a setup's saved filter) over a
// data set with a field of every kind. An expression either fails with a message or
// selects rows; one that selects rows, negated, selects exactly the others.

#include "common/error.h"
#include "datasource/dataset.h"
#include "fuzzsupport.h"
#include "fuzztable.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace rg;
using rgfuzz::require;

namespace {

DataSet& dataSet() {
    static Connection conn;
    static std::unique_ptr<DataSet> ds;
    if (ds)
        return *ds;
    conn.SetConnectionString(rgfuzz::ordersConnection());
    ds = std::make_unique<DataSet>(&conn);
    ds->SetCommandText("SELECT * FROM orders ORDER BY id");
    ds->Open();
    return *ds;
}

// The ids of the rows shown, with every shown value written as text on the way.
std::vector<int64_t> shownIds(DataSet& ds) {
    std::vector<int64_t> ids;
    for (int r = 0; r < ds.RecordCount(); ++r) {
        for (int f = 0; f < ds.FieldCount(); ++f)
            ds.displayText(r, f);
        ids.push_back(ds.value(r, 0).asInt());
    }
    return ids;
}

// The ids the expression selects; the message when it fails.
std::string selected(DataSet& ds, const std::string& expression, std::vector<int64_t>& ids) {
    try {
        ds.SetFilter(expression);
    } catch (const Error& e) {
        return e.what();
    }
    ids = shownIds(ds);
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DataSet& ds = dataSet();
    const std::string expression(reinterpret_cast<const char*>(data), size);
    std::vector<int64_t> yes, no;
    if (expression.empty() || !selected(ds, expression, yes).empty())
        return 0;
    const std::string failed = selected(ds, "NOT (" + expression + ")", no);
    // Two more levels of nesting may pass the limit.
    if (failed.find("nested deeper") == std::string::npos) {
        require(failed.empty(), "the negation of an expression that reads is read");
        require(yes.size() + no.size() == rgfuzz::kOrdersRows,
                "an expression and its negation split the rows");
        for (const int64_t id : yes)
            require(std::find(no.begin(), no.end(), id) == no.end(), "no row passes both");
    }
    ds.SetFilter("");
    return 0;
}
