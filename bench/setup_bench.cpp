// Settings files: the save of a setup with a couple of hundred captioned fields, and the
// load of one with 100,000 captions and a column order of 100,000 names, read once and
// answered from that copy. Every write rewrites the file through a synced temporary file, so
// a save costs one sync per entry.

#include "benchcommon.h"

#include "common/codepage.h"
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
}
