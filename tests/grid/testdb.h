#pragma once

#include "datasource/dataset.h"

#include <memory>
#include <string>

// Table t(id, region, city, amount): five sales in three regions (华东 twice, 华北 twice,
// 华南 once), the cities all different.
extern const char* const kRegionSales;

// Table orders(id, region, category, day, month, qty, amount): 100,000 orders, one a day or
// so over 2021-2023 (1,095 days, 36 months), ten regions R0..R9 by five categories C0..C4;
// qty with nulls, amount in quarters so that sums of doubles are exact.
extern const char* const kCrossOrders;

// A real SQLite file in a fresh temporary folder, opened through the built-in provider.
struct TestDb {
    explicit TestDb(const std::string& sql);
    ~TestDb();
    // Opens `select` as the data set's SQL text.
    void open(const std::string& select);

    std::string folder, path;
    rg::Connection conn;
    rg::DataSet ds{&conn};
};
