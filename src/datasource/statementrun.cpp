#include "datasource/statementrun.h"

#include "common/databaseerror.h"
#include "common/progress.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <malloc.h>
#include <mutex>
#include <thread>

namespace rg {

const char* const kGivenUpMessage =
    "数据库连接在一条语句停止后没有回应，已放弃；请重新打开报表以重新连接。";

namespace {

// How often the waiting thread reports and checks the clock, and the canceller repeats.
constexpr auto kPoll = std::chrono::milliseconds(25);

// Threads inside a driver that nobody waits for: abandoned workers and connects, cancels.
std::atomic<int> unattended{0};

// Each end is told to waitForDriverWork.
void unattendedEnded() {
    --unattended;
    unattended.notify_all();
}

// What the caller, the worker and the canceller of one statement share; each keeps it alive.
struct Run {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;      // the worker has let go of the work and the provider
    bool abandoned = false; // the caller returned without it
    std::exception_ptr error;
    std::atomic<int64_t> rows{0};
    std::atomic<bool> stop{false};
    // Held around each cancel, so that a cancel reaches this statement and never the next one
    // the caller starts on the provider.
    std::mutex cancelMutex;
    bool finished = false; // under cancelMutex
};

void work(const std::shared_ptr<Run>& run, std::shared_ptr<StatementWork> job,
          std::shared_ptr<Provider> provider) {
    const ProgressFn progress = [&run](int64_t n) {
        run->rows.store(n, std::memory_order_relaxed);
        return !run->stop.load(std::memory_order_relaxed);
    };
    std::exception_ptr error;
    try {
        job->run(*provider, progress);
    } catch (...) {
        error = std::current_exception();
    }
    {
        std::lock_guard lock(run->cancelMutex);
        run->finished = true;
    }
    // An abandoned statement's results and its connection are freed here, on this thread.
    job.reset();
    provider.reset();
    bool abandoned = false;
    {
        std::lock_guard lock(run->mutex);
        run->error = error;
        run->done = true;
        abandoned = run->abandoned;
        run->ended.notify_all();
    }
    if (abandoned)
        unattendedEnded();
}

// Asks the driver to stop the statement until the worker has ended. A driver's cancel may
// wait on the server (psqlODBC sends its request over a connection of its own), so it never
// runs on the thread that reports to the window or the runner.
void startCanceller(const std::shared_ptr<Run>& run, std::shared_ptr<Provider> provider) {
    ++unattended;
    std::thread([run, provider]() mutable {
        std::unique_lock lock(run->mutex);
        while (!run->done) {
            lock.unlock();
            {
                // Asked again and again: a driver may notice a cancel only while it waits on
                // the server, not between two fetches.
                std::lock_guard cancelling(run->cancelMutex);
                if (!run->finished)
                    provider->cancel();
            }
            lock.lock();
            run->ended.wait_for(lock, kPoll, [&] { return run->done; });
        }
        lock.unlock();
        provider.reset();
        unattendedEnded();
    }).detach();
}

} // namespace

std::unique_ptr<Provider> connectOffThread(const std::string& connectionString) {
    // Shared with the worker, which keeps it alive past an abandoned wait.
    struct Pending {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        bool abandoned = false;
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
        {
            std::lock_guard lock(pending->mutex);
            if (!pending->abandoned) {
                pending->provider = std::move(provider);
                pending->error = error;
                pending->done = true;
                pending->ended.notify_all();
                return;
            }
        }
        provider.reset();
        unattendedEnded();
    }).detach();

    ProgressSink* sink = currentProgress();
    std::unique_lock lock(pending->mutex);
    while (!pending->ended.wait_for(lock, kPoll, [&] { return pending->done; })) {
        lock.unlock();
        const bool goOn = !sink || sink->progress("正在连接数据库", 0, 0);
        lock.lock();
        if (!goOn && !pending->done) {
            pending->abandoned = true;
            ++unattended;
            throw Cancelled();
        }
    }
    if (pending->error)
        std::rethrow_exception(pending->error);
    return std::move(pending->provider);
}

bool driverWorkRunning() {
    return unattended.load() > 0;
}

void waitForDriverWork() {
    for (int n = unattended.load(); n > 0; n = unattended.load())
        unattended.wait(n);
}

void shareOneHeapAcrossThreads() {
    mallopt(M_ARENA_MAX, 1);
}

std::string queryTimeoutMessage(int seconds) {
    return "查询超时：" + std::to_string(seconds) + " 秒内没有完成，已停止。";
}

void runStatementWork(Provider& provider, const std::shared_ptr<StatementWork>& job) {
    if (provider.givenUp)
        throw DatabaseError(kGivenUpMessage);
    const std::shared_ptr<Provider> keep = provider.shared_from_this();
    auto run = std::make_shared<Run>();
    std::thread worker(work, run, job, keep);

    using Clock = std::chrono::steady_clock;
    const int timeout = provider.queryTimeout;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeout);
    Clock::time_point cancelledAt;
    bool cancelled = false, timedOut = false;
    auto cancel = [&] {
        cancelled = true;
        cancelledAt = Clock::now();
        run->stop.store(true);
        startCanceller(run, keep);
    };
    // The caller goes on without the worker, which frees the work and the provider when it
    // ends; the provider is not used again.
    auto abandon = [&] {
        run->abandoned = true;
        ++unattended;
        worker.detach();
        provider.givenUp = true;
    };
    ProgressSink* sink = currentProgress();
    std::unique_lock lock(run->mutex);
    while (!run->ended.wait_for(lock, kPoll, [&] { return run->done; })) {
        lock.unlock();
        // The sink is asked on every round, also after a cancel, so that its window keeps
        // repainting while the driver winds down.
        bool goOn = true;
        try {
            goOn = !sink || sink->progress("正在读取数据", run->rows.load(), 0);
        } catch (...) {
            lock.lock();
            if (!cancelled)
                cancel();
            if (!run->done)
                abandon();
            lock.unlock();
            if (worker.joinable())
                worker.join();
            throw;
        }
        lock.lock();
        if (!cancelled && (!goOn || (timeout > 0 && Clock::now() >= deadline))) {
            timedOut = goOn;
            cancel();
        }
        if (cancelled && !run->done && Clock::now() - cancelledAt >= kAbandonAfterCancel) {
            abandon();
            if (timedOut)
                throw DatabaseError(queryTimeoutMessage(timeout));
            throw Cancelled();
        }
    }
    lock.unlock();
    worker.join();
    if (cancelled) {
        // The driver's own report of the interruption, if any; what the user did is what
        // counts.
        if (timedOut)
            throw DatabaseError(queryTimeoutMessage(timeout));
        throw Cancelled();
    }
    if (run->error)
        std::rethrow_exception(run->error);
}

} // namespace rg
