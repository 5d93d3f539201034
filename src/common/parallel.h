#pragma once

// The long loops over the records (grouping, cross tables, sorting) split their records
// into consecutive parts, one per core, and merge what each part found in part order, so
// that the result is the one a single thread gets. Few records stay on the calling thread:
// starting a thread costs more than they do.

#include <cstdint>
#include <functional>

namespace rg {

// The records each thread of a long loop gets at least: below them a thread costs more
// than it saves.
constexpr int64_t kRecordsPerThread = 0x10000;

// The threads a loop may use: the machine's cores unless set otherwise.
int parallelThreads();
// Sets the threads (1: every loop on its calling thread; 0: as many as there are cores).
// For comparing a threaded run with a single-threaded one; loops already running keep theirs.
void setParallelThreads(int threads);

// The number of parts for `count` items when each thread should get at least `perThread`.
int partsFor(int64_t count, int64_t perThread);

// The first item of part `part` of `parts` over `count` items; part `parts` gives `count`.
inline int64_t partBegin(int64_t count, int parts, int part) {
    return count * part / parts;
}

// Runs work(part) for every part, part 0 on the calling thread, which alone reports
// progress, the others each on a thread of its own. All are joined before it returns or
// throws; the first part that threw (by part order) has its exception rethrown.
void runParts(int parts, const std::function<void(int part)>& work);

} // namespace rg
