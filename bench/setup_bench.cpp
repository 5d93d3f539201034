// Settings file speed: one save and one load of a setup with many captioned fields.
// Every write rewrites the file through a synced temporary file, so saves cost one
// sync per entry.
#include "setup/setup.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int fields = argc > 1 ? std::stoi(argv[1]) : 200;
    const auto file = std::filesystem::temp_directory_path() / "rg_setup_bench.ini";
    std::filesystem::remove(file);

    auto start = std::chrono::steady_clock::now();
    {
        rg::TSetup setup(file.string());
        setup.WriteConnString("Provider=SQLite;Data Source=report.db");
        setup.WriteCommandText("select * from 销售报表\r\nwhere 年份 = 2024");
        setup.WriteCommandType("cmdText");
        for (int i = 0; i < fields; ++i) {
            setup.WriteField("字段" + std::to_string(i), "标题" + std::to_string(i));
            setup.WriteSummaryField("字段" + std::to_string(i), "cstsum");
        }
        setup.WriteKeyField("id");
    }
    const double saveMs = msSince(start);

    start = std::chrono::steady_clock::now();
    size_t bytes = 0;
    {
        rg::TSetup setup(file.string());
        bytes += setup.ReadConnString().size() + setup.ReadCommandType().size();
        bytes += setup.ReadCommandText().size() + setup.ReadKeyField().size();
        for (int i = 0; i < fields; ++i) {
            bytes += setup.ReadField("字段" + std::to_string(i)).size();
            bytes += setup.ReadSummaryField("字段" + std::to_string(i)).size();
        }
    }
    const double loadMs = msSince(start);

    std::printf("setup_fields: %d\n", fields);
    std::printf("setup_save_ms: %.1f\n", saveMs);
    std::printf("setup_save_per_entry_ms: %.2f\n", saveMs / (2 * fields + 4));
    std::printf("setup_load_ms: %.1f\n", loadMs);
    std::printf("setup_file_bytes: %ju\n", static_cast<uintmax_t>(std::filesystem::file_size(file)));
    std::printf("setup_text_bytes_read: %zu\n", bytes);
    std::filesystem::remove(file);
}
