#include "datasource/statementrun.h"

#include "common/databaseerror.h"
#include "common/progress.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <future>
#include <malloc.h>
#include <mutex>
#include <thread>

namespace rg {

namespace {
// How often the waiting thread reports and checks the clock.
constexpr auto kPoll = std::chrono::milliseconds(25);
} // namespace

std::unique_ptr<Provider> connectOffThread(const std::string& connectionString) {
    // Shared with the worker, which keeps it alive past an abandoned wait.
    struct Pending {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        std::unique_ptr<Provider> provider;
        std::exception_ptr error;
    };
    auto pending = std::make_shared<Pending>();
    std::thread([pending, connectionString] {
        std::unique_ptr<Provider> provider;
        std::exception_ptr error;
        try {
            provider = openProvider(connectionString);
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(pending->mutex);
        pending->provider = std::move(provider);
        pending->error = error;
        pending->done = true;
        pending->ended.notify_all();
    }).detach();

    ProgressSink* sink = currentProgress();
    std::unique_lock lock(pending->mutex);
    while (!pending->ended.wait_for(lock, kPoll, [&] { return pending->done; })) {
        lock.unlock();
        const bool goOn = !sink || sink->progress("正在连接数据库", 0, 0);
        lock.lock();
        if (!goOn)
            throw Cancelled();
    }
    if (pending->error)
        std::rethrow_exception(pending->error);
    return std::move(pending->provider);
}

void shareOneHeapAcrossThreads() {
    mallopt(M_ARENA_MAX, 1);
}

std::string queryTimeoutMessage(int seconds) {
    return "查询超时：" + std::to_string(seconds) + " 秒内没有完成，已停止。";
}

void runStatement(Provider& provider, const std::function<void(const ProgressFn&)>& work) {
    std::atomic<int64_t> rows{0};
    std::atomic<bool> stop{false};
    const ProgressFn onWorker = [&](int64_t n) {
        rows.store(n, std::memory_order_relaxed);
        return !stop.load(std::memory_order_relaxed);
    };
    std::future<void> done = std::async(std::launch::async, [&] { work(onWorker); });

    using Clock = std::chrono::steady_clock;
    const int timeout = provider.queryTimeout;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeout);
    bool cancelled = false, timedOut = false;
    ProgressSink* sink = currentProgress();
    while (done.wait_for(kPoll) != std::future_status::ready) {
        // The sink is asked on every round, also after a cancel, so that its window keeps
        // repainting while the driver winds down.
        if (sink && !sink->progress("正在读取数据", rows.load(std::memory_order_relaxed), 0))
            cancelled = true;
        if (!cancelled && timeout > 0 && Clock::now() >= deadline)
            cancelled = timedOut = true;
        if (cancelled) {
            // Asked again on every round: a driver may only notice a cancel while it waits
            // on the server, not between two fetches.
            stop.store(true);
            provider.cancel();
        }
    }
    if (!cancelled) {
        done.get();
        return;
    }
    try {
        done.get();
    } catch (...) {
        // The driver's own report of the interruption; what the user did is what counts.
    }
    if (timedOut)
        throw DatabaseError(queryTimeoutMessage(timeout));
    throw Cancelled();
}

} // namespace rg
