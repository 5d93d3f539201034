#include "common/progress.h"
#include "export/csvexport.h"
#include "export/excelexport.h"
#include "export/htmlexport.h"
#include "export/xlsxexport.h"
#include "export/xmlexport.h"
#include "export/xmltext.h"
#include "exporttest.h"
#include "testfiles.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace rg;
namespace fs = std::filesystem;

namespace {

const char* const kManyRows = R"(
create table t as
with recursive n(x) as (select 1 union all select x + 1 from n where x < 16000)
select x as id, 'region' || (x % 5) as region, x * 2.5 as amount from n;
)";

// Notes every report; answers false once `cancelAt` rows are done.
struct Recorder : ProgressSink {
    int64_t cancelAt = -1;
    std::vector<std::tuple<std::string, int64_t, int64_t>> reports;
    bool progress(const char* what, int64_t done, int64_t total) override {
        reports.emplace_back(what, done, total);
        return cancelAt < 0 || done < cancelAt;
    }
};

} // namespace

// Every format reports its rows every 4096 as "正在导出" against the number it writes; a
// cancel stops it with "操作已取消。" and leaves the file of that name as it was, with nothing
// new in its folder.
TEST(ExportProgress, ReportsRowsAndACancelKeepsTheOldFile) {
    ExportDb db(kManyRows);
    db.open("select * from t");
    db.grid.SetKeyField("id");
    const GridAppearance look = GridAppearance::current();
    using Run = std::function<void(const std::string&)>;
    const std::pair<const char*, Run> formats[] = {
        {"a.xls", [&](const std::string& f) { ExportToSpreadsheet(db.grid, f, true, look); }},
        {"a.xlsx", [&](const std::string& f) { ExportToXlsx(db.grid, f, true, look); }},
        {"a.csv", [&](const std::string& f) { ExportToCsv(db.grid, f, true, look); }},
        {"a.html", [&](const std::string& f) { ExportToHtml(db.grid, f, true, look); }},
        {"a.xml", [&](const std::string& f) { ExportToXml(db.grid, f, true, look); }},
    };
    const std::string old = "last month's file";
    for (const auto& [name, format] : formats) {
        const Run& run = format; // clang before 16 captures no structured binding in a lambda
        SCOPED_TRACE(name);
        const std::string file = db.file(name);
        writeFile(file, old);
        const size_t entries =
            std::distance(fs::directory_iterator(db.folder), fs::directory_iterator());

        Recorder cancelling;
        cancelling.cancelAt = 8192;
        {
            ProgressScope scope(&cancelling);
            EXPECT_EQ(rgtest::errorOf([&] { run(file); }), "操作已取消。");
        }
        using R = std::tuple<std::string, int64_t, int64_t>;
        EXPECT_EQ(cancelling.reports, (std::vector<R>{{"正在导出", 0, 16000},
                                                      {"正在导出", 4096, 16000},
                                                      {"正在导出", 8192, 16000}}));
        EXPECT_EQ(readFile(file), old);
        EXPECT_EQ(std::distance(fs::directory_iterator(db.folder), fs::directory_iterator()),
                  entries);

        Recorder watching;
        {
            ProgressScope scope(&watching);
            run(file);
        }
        ASSERT_EQ(watching.reports.size(), 4u);
        EXPECT_EQ(watching.reports.back(), R("正在导出", 3 * 4096, 16000));
        EXPECT_NE(readFile(file), old);
        fs::remove(file);
        fs::remove(StyleSheetPath(file));
    }
}
