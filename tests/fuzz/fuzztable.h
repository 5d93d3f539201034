#pragma once

// The table of the harnesses that need rows: a field of every kind, with nulls, extremes
// and texts that need quoting, in a SQLite file of the scratch folder made once.

#include "fuzzsupport.h"

#include <sqlite3.h>

#include <string>

namespace rgfuzz {

inline const char* const kOrdersTable = R"(
CREATE TABLE orders (id INTEGER PRIMARY KEY, region VARCHAR(20), city TEXT, qty INTEGER, amount REAL,
                     price DECIMAL(12,2), day DATE, stamp DATETIME, at TIME, paid BOOLEAN, "unit price" TEXT);
INSERT INTO orders VALUES (1, '华北', '北京', 3, 7.5, 12.30, '2024-01-31', '2024-01-31 08:15:00', '08:15:00', 1, 'a');
INSERT INTO orders VALUES (2, '华东', '上海', 5, 6.25, 0.05, '2024-02-29', '2024-02-29 23:59:59.500', '23:59:59', 0, 'O''Brien');
INSERT INTO orders VALUES (3, '华南', '广州', NULL, 0, NULL, NULL, NULL, NULL, NULL, '100%');
INSERT INTO orders VALUES (4, '华北', '天津', -12, -120.5, -99999999.99, '1900-03-01', '1899-12-30 00:00:00', '00:00:00', 1, '');
INSERT INTO orders VALUES (5, NULL, '杭州', 9007199254740993, 1e300, 1.00, '9999-12-31', '0001-01-01 00:00:01', '12:00:00', 0, NULL);
)";
inline constexpr int kOrdersRows = 5;

// The path of the database file.
inline const std::string& ordersDatabase() {
    static const std::string path = [] {
        const std::string p = (scratchDir() / "orders.db").string();
        sqlite3* db = nullptr;
        const bool made = sqlite3_open(p.c_str(), &db) == SQLITE_OK &&
                          sqlite3_exec(db, kOrdersTable, nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        require(made, "the table is made");
        return p;
    }();
    return path;
}

// The built-in provider's connection string for it.
inline std::string ordersConnection() {
    return "Provider=SQLite;Data Source=" + ordersDatabase();
}

} // namespace rgfuzz
