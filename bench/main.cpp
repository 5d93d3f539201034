// reportgen-bench: speed and memory figures of the program's heavy paths, one
// "name: value" line each. Usage: reportgen-bench [--rows N] [--dir PATH] [--no-walks]
// [section...]

#include "benchcommon.h"

#include "datasource/statementrun.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

// One line per section: X(name) runs `void bench_<name>(const rg::bench::Args&)`.
#define RG_BENCH_SECTIONS(X)                                                                       \
    X(data)                                                                                        \
    X(calc)                                                                                        \
    X(grid)                                                                                        \
    X(cores)                                                                                       \
    X(export)                                                                                      \
    X(sheets)                                                                                      \
    X(print)                                                                                       \
    X(pg)                                                                                          \
    X(runner)                                                                                      \
    X(setup)                                                                                       \
    X(server)

#define RG_DECLARE(name) void bench_##name(const rg::bench::Args&);
RG_BENCH_SECTIONS(RG_DECLARE)

namespace {

struct Section {
    const char* name;
    void (*run)(const rg::bench::Args&);
};

#define RG_ENTRY(name) {#name, bench_##name},
const Section kSections[] = {RG_BENCH_SECTIONS(RG_ENTRY)};

} // namespace

int main(int argc, char** argv) {
    // As the program does: statements run on a worker thread sharing the main heap.
    rg::shareOneHeapAcrossThreads();
    rg::bench::Args args;
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rows") && i + 1 < argc) {
            args.rows = std::stoll(argv[++i]);
            args.rowsGiven = true;
        } else if (!std::strcmp(argv[i], "--dir") && i + 1 < argc) {
            args.dir = argv[++i];
        } else if (!std::strcmp(argv[i], "--no-walks")) {
            args.walks = false;
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: %s [--rows N] [--dir PATH] [--no-walks] [section...]\n",
                         argv[0]);
            return 2;
        } else {
            only.emplace_back(argv[i]);
        }
    }
    int failures = 0;
    for (const Section& s : kSections) {
        if (!only.empty() && std::find(only.begin(), only.end(), s.name) == only.end())
            continue;
        try {
            rg::bench::resetPeakResident();
            s.run(args);
        } catch (const std::exception& e) {
            std::printf("%s_error: %s\n", s.name, e.what());
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
