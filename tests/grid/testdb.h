#pragma once

#include "datasource/dataset.h"

#include <memory>
#include <string>

// Table t(id, region, city, amount): five sales in three regions (华东 twice, 华北 twice,
// 华南 once), the cities all different.
extern const char* const kRegionSales;

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
