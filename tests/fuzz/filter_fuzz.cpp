// Filter expressions (the grid's custom filters, --filter, a setup's saved filter) over a
// data set with a field of every kind. An expression either fails with a message or
// selects rows; one that selects rows, negated, selects exactly the others.

#include "common/error.h"
#include "datasource/dataset.h"
#include "fuzzsupport.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace rg;
using rgfuzz::require;

namespace {

const char* const kTable = R"(
CREATE TABLE orders (id INTEGER PRIMARY KEY, region VARCHAR(20), city TEXT, qty INTEGER, amount REAL,
                     price DECIMAL(12,2), day DATE, stamp DATETIME, at TIME, paid BOOLEAN, "unit price" TEXT);
INSERT INTO orders VALUES (1, '华北', '北京', 3, 7.5, 12.30, '2024-01-31', '2024-01-31 08:15:00', '08:15:00', 1, 'a');
INSERT INTO orders VALUES (2, '华东', '上海', 5, 6.25, 0.05, '2024-02-29', '2024-02-29 23:59:59.500', '23:59:59', 0, 'O''Brien');
INSERT INTO orders VALUES (3, '华南', '广州', NULL, 0, NULL, NULL, NULL, NULL, NULL, '100%');
INSERT INTO orders VALUES (4, '华北', '天津', -12, -120.5, -99999999.99, '1900-03-01', '1899-12-30 00:00:00', '00:00:00', 1, '');
INSERT INTO orders VALUES (5, NULL, '杭州', 9007199254740993, 1e300, 1.00, '9999-12-31', '0001-01-01 00:00:01', '12:00:00', 0, NULL);
)";

DataSet& dataSet() {
    static Connection conn;
    static std::unique_ptr<DataSet> ds;
    if (ds)
        return *ds;
    const std::string path = (rgfuzz::scratchDir() / "filter.db").string();
    sqlite3* db = nullptr;
    const bool made = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                      sqlite3_exec(db, kTable, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    require(made, "the table is made");
    conn.SetConnectionString("Provider=SQLite;Data Source=" + path);
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
        require(yes.size() + no.size() == 5, "an expression and its negation split the rows");
        for (const int64_t id : yes)
            require(std::find(no.begin(), no.end(), id) == no.end(), "no row passes both");
    }
    ds.SetFilter("");
    return 0;
}
