// Settings files: the save of a setup with a couple of hundred captioned fields, and the
// load of one with 100,000 captions and a column order of 100,000 names, read once and
// answered from that copy. Every write rewrites the file through a synced temporary file, so
// a save costs one sync per entry. Then whole reports loaded as the window loads them: one
// with 100,000 footer summaries (and its save, one write) and one with 100,000 group row
// summaries over a table of 1,000 rows, and one with 1,000 footer summaries over 100,000
// rows.

#include "benchcommon.h"

#include "common/codepage.h"
#include "setup/reportdefinition.h"
#include "setup/setup.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

using namespace rg::bench;

namespace {

constexpr int kSavedFields = 200;
constexpr int kLoadedEntries = 100000;

double saveSeconds(const std::string& file) {
    const auto start = std::chrono::steady_clock::now();
    rg::TSetup setup(file);
    setup.WriteConnString("Provider=SQLite;Data Source=report.db");
    setup.WriteCommandText("select * from 销售报表\r\nwhere 年份 = 2024");
    setup.WriteCommandType("cmdText");
    for (int i = 0; i < kSavedFields; ++i) {
        setup.WriteField("字段" + std::to_string(i), "标题" + std::to_string(i));
        setup.WriteSummaryField("字段" + std::to_string(i), "cstsum");
    }
    setup.WriteKeyField("id");
    return secondsSince(start);
}

// The file as the program writes it: names in the code page, values scrambled.
void writeLargeSetup(const std::string& file) {
    std::string bytes = "[Field]\r\n";
    for (int i = 0; i < kLoadedEntries; ++i)
        bytes += rg::toAnsi("字段" + std::to_string(i)) + "=" +
                 rg::TSetup::Scramble(rg::toAnsi("标题" + std::to_string(i))) + "\r\n";
    bytes +=
        "[ColumnOrder]\r\nCount=" + rg::TSetup::Scramble(std::to_string(kLoadedEntries)) + "\r\n";
    for (int i = 1; i <= kLoadedEntries; ++i)
        bytes += std::to_string(i) + "=" + rg::TSetup::Scramble("f" + std::to_string(i)) + "\r\n";
    std::ofstream(file, std::ios::binary) << bytes;
}

double loadSeconds(const std::string& file) {
    const auto start = std::chrono::steady_clock::now();
    rg::TSetup setup(file);
    if (setup.ReadAll())
        throw std::runtime_error("cannot read " + file);
    size_t found = 0;
    for (int i = 0; i < kLoadedEntries; ++i)
        found += !setup.ReadField("字段" + std::to_string(i)).empty();
    found += setup.ReadColumnOrder().size();
    if (found != 2 * size_t(kLoadedEntries))
        throw std::runtime_error("the large setup did not read back whole");
    return secondsSince(start);
}

constexpr int kSummaryEntries = 100000;
constexpr int64_t kSummaryRows = 1000;
constexpr int kWideEntries = 1000;
constexpr int64_t kWideRows = 100000;

// One entry as the program writes it.
std::string entry(const std::string& key, const std::string& value) {
    return rg::toAnsi(key) + "=" + rg::TSetup::Scramble(rg::TSetup::Encode(rg::toAnsi(value))) +
           "\r\n";
}

// A report over table `bench` of `table` whose `section` lists `entries` summaries of every
// kind over its fields; grouped by region for group row summaries.
void writeSummarySetup(const std::string& file, const std::string& table, const char* section,
                       int entries) {
    static const char* const kinds[] = {"cstsum", "cstmin", "cstmax", "cstcount", "cstavg"};
    // qty_text holds numbers as texts: each of its sums has to check them.
    static const char* const fields[] = {"qty", "price", "amount", "qty_text"};
    std::string bytes =
        "[Connstring]\r\n" + entry("connstring", "Provider=SQLite;Data Source=" + table);
    bytes += "[CommandType]\r\n" + entry("cmdtype", "cmdText");
    bytes += "[commandtext]\r\n" +
             entry("commandtext", "select *, cast(qty as text) as qty_text from bench");
    bytes += "[KeyField]\r\n" + entry("KeyField", "id");
    bytes += "[GroupColumns]\r\n" + entry("1", "region") + entry("Count", "1");
    bytes += std::string("[") + section + "]\r\n";
    for (int i = 0; i < entries; ++i)
        bytes += entry(std::to_string(i + 1), std::string(kinds[i % 5]) + " " + fields[i / 5 % 4]);
    bytes += entry("Count", std::to_string(entries));
    std::ofstream(file, std::ios::binary) << bytes;
}

// Best of three loads of the report into a fresh connection, data set and grid; `items` is
// how many summary items the grid must then hold.
double reportLoadSeconds(const std::string& file, int items) {
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        rg::Connection conn;
        rg::DataSet ds{&conn};
        rg::TdxDBGrid grid;
        grid.SetDataSet(&ds);
        const auto start = std::chrono::steady_clock::now();
        rg::LoadSetup({conn, ds, grid}, file);
        const double s = secondsSince(start);
        if (grid.DefaultGroup().SummaryItems.Count() != items)
            throw std::runtime_error("the summaries of " + file + " did not load whole");
        best = run == 0 ? s : std::min(best, s);
    }
    return best;
}

// The report of `from` loaded, then saved whole into `to`: one write of the file.
double reportSaveSeconds(const std::string& from, const std::string& to) {
    rg::Connection conn;
    rg::DataSet ds{&conn};
    rg::TdxDBGrid grid;
    grid.SetDataSet(&ds);
    rg::LoadSetup({conn, ds, grid}, from);
    std::filesystem::remove(to);
    const auto start = std::chrono::steady_clock::now();
    rg::SaveSetup({conn, ds, grid}, to);
    return secondsSince(start);
}

} // namespace

void bench_setup(const Args& args) {
    const std::string saved = args.dir + "/rg_setup_bench_save.ini";
    const std::string large = args.dir + "/rg_setup_bench_large.ini";
    std::filesystem::remove(saved);
    report("setup_save_fields", kSavedFields);
    report("setup_save_s", saveSeconds(saved));
    writeLargeSetup(large);
    report("setup_load_entries", 2 * kLoadedEntries);
    report("setup_load_bytes", static_cast<double>(std::filesystem::file_size(large)));
    double best = 0;
    for (int run = 0; run < 3; ++run) {
        const double s = loadSeconds(large);
        best = run == 0 ? s : std::min(best, s);
    }
    report("setup_load_s", best);
    std::filesystem::remove(saved);
    std::filesystem::remove(large);

    const std::string summaries = args.dir + "/rg_setup_bench_summaries.ini";
    writeSummarySetup(summaries, benchTable(args, kSummaryRows), "MoreSummaries", kSummaryEntries);
    report("setup_summaries_entries", kSummaryEntries);
    report("setup_summaries_rows", static_cast<double>(kSummaryRows));
    report("setup_summaries_load_s", reportLoadSeconds(summaries, kSummaryEntries));
    report("setup_summaries_save_s", reportSaveSeconds(summaries, saved));
    std::filesystem::remove(saved);
    writeSummarySetup(summaries, benchTable(args, kSummaryRows), "GroupRowSummaries",
                      kSummaryEntries);
    report("setup_group_summaries_entries", kSummaryEntries);
    report("setup_group_summaries_load_s", reportLoadSeconds(summaries, kSummaryEntries));
    writeSummarySetup(summaries, benchTable(args, kWideRows), "MoreSummaries", kWideEntries);
    report("setup_summaries_wide_entries", kWideEntries);
    report("setup_summaries_wide_rows", static_cast<double>(kWideRows));
    report("setup_summaries_wide_load_s", reportLoadSeconds(summaries, kWideEntries));
    std::filesystem::remove(summaries);
}
