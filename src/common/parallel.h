#pragma once

// The long loops over the records (grouping, cross tables, sorting) split their records
// into consecutive parts, one per core, and merge what each part found in part order, so
// that the result is the one a single thread gets. Few records stay on the calling thread:
// starting a thread costs more than they do.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

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

// Runs tasks one after another on a thread of its own, in the order posted, while the
// poster goes on; at most `waiting` wait, so that a slow task holds the poster back. With one
// thread allowed (parallelThreads) each task runs at once on the poster's thread. A task
// that throws drops the rest: its error comes back from the next post or drain.
class SerialWorker {
public:
    explicit SerialWorker(size_t waiting = 4) : waiting_(waiting) {}
    // Drops the tasks not started and waits for the running one.
    ~SerialWorker();
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    void post(std::function<void()> task);
    // Waits until every task posted has run; rethrows a task's error.
    void drain();

private:
    void run();
    void rethrow();

    const size_t waiting_;
    bool started_ = false, inline_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> tasks_;
    bool busy_ = false, stop_ = false;
    std::exception_ptr error_;
    std::thread thread_;
};

} // namespace rg
