#pragma once

// What the schedule run tests share: a report of orders whose SQL takes a period and a
// region, a schedule of it, the user's folders of a test of its own, and the real program
// run as its timer runs it.

#include "../report/runnertest.h"
#include "document/report.h"
#include "schedule/schedule.h"
#include "setup/reportfile.h"

#include <filesystem>

inline const char* const kOrders = R"(
create table orders(id integer primary key, day date, region text, amount real);
insert into orders values (1, '2026-01-31', '华东', 1), (2, '2026-02-01', '华东', 2),
  (3, '2026-02-28', '华东', 4), (4, '2026-02-15', '华北', 8), (5, '2026-03-01', '华东', 16);
)";

// A crontab of the test's own in `folder`: "-l" prints the table kept in the file "table"
// there (failing as crontab does while there is none), "-" replaces it. Returns the program.
inline std::string privateCrontab(const std::filesystem::path& folder) {
    const std::string table = (folder / "table").string();
    const std::filesystem::path program = folder / "crontab";
    std::ofstream(program) << "#!/bin/sh\nif [ \"$1\" = -l ]; then\n  [ -f '" << table
                           << "' ] && exec cat '" << table
                           << "'\n  echo 'no crontab for tester' >&2; exit 1\nfi\ncat > '" << table
                           << "'\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    return program.string();
}

struct ScheduleRun : ::testing::Test {
    TestDb db{kOrders};
    std::string ini = db.folder + "/销售明细.ini";
    std::string out = db.folder + "/out";
    rg::ScheduleFolders folders{QString::fromStdString(db.folder) + "/config/reportgen",
                                QString::fromStdString(db.folder) + "/data/reportgen"};
    rg::Schedule schedule;

    void SetUp() override {
        rg::Report report;
        report.source.connectionString = db.conn.ConnectionString();
        report.source.commandType = "cmdText";
        report.source.commandText = "SELECT id, region, amount FROM orders "
                                    "WHERE day BETWEEN :开始 AND :结束 AND region = :地区";
        report.source.sqlParameters = {{"开始", "date", "@上月", "结束", {}, {}},
                                       {"结束", "date", {}, {}, {}, {}},
                                       {"地区", "text", {}, {}, {}, {}}};
        report.keyField = "id";
        report.footerSummaries = {{"amount", "cstsum"}};
        rg::TSetup s(ini);
        s.BeginReport();
        rg::WriteReport(s, report);
        ASSERT_FALSE(s.EndReport());

        schedule.name = "月报";
        schedule.id = "a1";
        schedule.setupFile = ini;
        schedule.kind = rg::ScheduleKind::Monthly;
        schedule.params = {{"地区", "华东"}};
        schedule.formats = {"xlsx", "csv"};
        schedule.folder = out;
        schedule.namePattern = "销售明细_{date}.xlsx";
        schedule.retrySeconds = 0;
    }
    void save(const std::vector<rg::Schedule>& list) { rg::writeSchedules(folders, list); }
    RunResult run(const std::string& name, const std::string& asOf) {
        std::filesystem::create_directory(db.folder + "/runtime");
        std::filesystem::permissions(db.folder + "/runtime", std::filesystem::perms::owner_all);
        return shell("XDG_RUNTIME_DIR='" + db.folder + "/runtime' XDG_CONFIG_HOME='" + db.folder +
                         "/config' XDG_DATA_HOME='" + db.folder +
                         "/data' " RG_BINARY_DIR "/reportgen --run-schedule '" + name +
                         "' --as-of " + asOf,
                     db.folder);
    }
    void dropOrders() {
        ASSERT_EQ(std::system(("sqlite3 '" + db.path + "' 'drop table orders'").c_str()), 0);
    }
    std::vector<std::string> filesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};
