#pragma once

#include "datasource/dataset.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>

// A test on one of the private servers: a connection opened with the server's string and a
// data set on it.
class ServerTest : public ::testing::Test {
protected:
    // The server's connection string and the variable the test script exports it in.
    virtual std::string connectionString() const = 0;
    virtual const char* variable() const = 0;

    void SetUp() override {
        ASSERT_FALSE(connectionString().empty())
            << variable() << " is not set: run the tests through scripts/test.sh";
        conn.SetConnectionString(connectionString());
        conn.Open();
    }
    void open(rg::CommandType type, const std::string& text) {
        ds.Close();
        ds.SetCommandType(type);
        ds.SetCommandText(text);
        ds.Open();
    }
    rg::Connection conn;
    rg::DataSet ds{&conn};
};
