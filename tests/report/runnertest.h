#pragma once

// What the runner tests share: a small sales table with its setup, and the real program run
// as a user would run it.

#include "setup/setup.h"
#include "testdb.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

inline const char* const kSales = R"(
create table sales(id integer primary key, region text, city text, amount real);
insert into sales values (1, '华东', '上海', 10.5), (2, '华北', '北京', 20), (3, '华东', '杭州', 7.25);
)";

struct RunResult {
    int status;
    std::string out, err;
};

// Runs a shell command, capturing both streams.
inline RunResult shell(const std::string& command, const std::string& folder) {
    const std::string errFile = folder + "/stderr.txt";
    const std::string cmd = "(" + command + ") 2>" + errFile;
    RunResult r{};
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    r.status = WEXITSTATUS(pclose(p));
    std::ifstream e(errFile);
    std::stringstream ss;
    ss << e.rdbuf();
    r.err = ss.str();
    return r;
}

// Runs the real program as a user would.
inline RunResult reportgen(const std::string& args, const std::string& folder) {
    return shell(std::string(RG_BINARY_DIR) + "/reportgen " + args, folder);
}

struct RunnerFixture : ::testing::Test {
    TestDb db{kSales};
    std::string ini = db.folder + "/sales.ini";
    void SetUp() override {
        rg::TSetup s(ini);
        s.WriteConnString(db.conn.ConnectionString());
        s.WriteCommandType("cmdTable");
        s.WriteCommandText("sales");
        s.WriteKeyField("id");
        s.WriteField("region", "地区");
        s.WriteSummaryField("amount", "cstsum");
    }
};
