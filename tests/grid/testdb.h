#pragma once

#include "datasource/dataset.h"

#include <memory>
#include <string>

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
