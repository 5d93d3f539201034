// The runner writing the large table as CSV and as aligned text, run as a child process
// the way scripts run it: its time and its peak resident memory, flat and grouped.
// RG_BENCH_RUNNER names another runner binary to measure (an older build, say).

#include "benchcommon.h"

#include "setup/reportdefinition.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace rg::bench;

namespace {

struct Run {
    double seconds = 0;
    double peakMb = 0;
};

std::string runnerPath() {
    if (const char* other = std::getenv("RG_BENCH_RUNNER"))
        return other;
    std::string self(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", self.data(), self.size());
    if (n <= 0)
        throw std::runtime_error("cannot find the benchmark's own folder");
    self.resize(static_cast<size_t>(n));
    return self.substr(0, self.rfind('/') + 1) + "reportgen";
}

// One run of the runner to its end: wall-clock time and the child's own peak memory.
Run runOnce(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + args[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const Run r{secondsSince(start), static_cast<double>(usage.ru_maxrss) / 1024.0};
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the runner failed: " + args.back());
    return r;
}

// Best of three for the time and for the memory.
Run bestOfThree(const std::vector<std::string>& args) {
    Run best{1e9, 1e9};
    for (int i = 0; i < 3; ++i) {
        const Run r = runOnce(args);
        best.seconds = std::min(best.seconds, r.seconds);
        best.peakMb = std::min(best.peakMb, r.peakMb);
    }
    return best;
}

// A settings file for the table, with a key field and two footers; grouped by region and
// product when `grouped`.
std::string makeSetup(const std::string& db, const std::string& path, bool grouped) {
    BenchGrid b(db, rg::CommandType::cmdTable, "bench");
    b.grid.SetKeyField("id");
    addSummary(b.grid, "qty", rg::TdxSummaryType::cstSum);
    addSummary(b.grid, "amount", rg::TdxSummaryType::cstMax);
    if (grouped) {
        rg::GroupingUpdate batch(b.grid);
        b.grid.GroupColumn(*b.grid.ColumnByFieldName("region"), 0);
        b.grid.GroupColumn(*b.grid.ColumnByFieldName("product"), 1);
    }
    rg::SaveSetup({b.conn, b.ds, b.grid}, path);
    return path;
}

} // namespace

void bench_runner(const Args& args) {
    const std::string db = benchTable(args, args.rows);
    const std::string runner = runnerPath();
    const std::string out = args.dir + "/rg_runner_bench.out";
    report("runner_rows", static_cast<double>(args.rows));
    for (const bool grouped : {false, true}) {
        const std::string name = grouped ? "grouped" : "flat";
        const std::string setup =
            makeSetup(db, args.dir + "/rg_runner_bench_" + name + ".ini", grouped);
        for (const char* format : {"csv", "text"}) {
            const Run r =
                bestOfThree({runner, "--run", setup, "--format", format, "--output", out});
            const std::string key = "runner_" + name + "_" + format;
            report(key + "_s", r.seconds);
            report(key + "_peak_mb", r.peakMb);
        }
        std::remove(setup.c_str());
    }
    std::remove(out.c_str());
}
