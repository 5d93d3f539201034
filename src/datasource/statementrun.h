#pragma once

// A statement that may run long (a query that waits for a lock, a slow fetch) runs on a
// worker thread, while the thread that asked for it keeps reporting progress to its
// progress sink and watches the connection's query timeout. Cancel and timeout reach the
// driver through Provider::cancel, called on a thread of its own, since a driver's cancel
// may itself wait on a server that no longer answers. A statement that has not ended
// kAbandonAfterCancel after its cancel is abandoned: the caller gets its cancel or timeout
// error at once, the provider is given up (Provider::givenUp) and the worker finishes alone,
// freeing the provider when it lets go of it. Until then the provider is never used by two
// threads at once.

#include "datasource/provider.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

namespace rg {

// How long a cancelled statement may take to end before its worker is left to itself.
constexpr std::chrono::seconds kAbandonAfterCancel{5};

// One statement's work, owned by its worker thread as well as by the caller.
class StatementWork {
public:
    virtual ~StatementWork() = default;
    virtual void run(Provider& provider, const ProgressFn& progress) = 0;
};

// Runs `work` on a worker thread; rethrows what the work threw. Throws rg::Cancelled when
// the progress sink cancelled, the timeout error when the provider's query timeout passed,
// and the given-up error on a provider given up before.
void runStatementWork(Provider& provider, const std::shared_ptr<StatementWork>& work);

// Runs `work(provider, progress)` or `work(provider)` on the worker and returns what it
// returned. The work owns everything it reads (captured by value) and hands its results back
// by returning them: an abandoned worker goes on past the caller's return.
template <typename Work> auto runStatement(Provider& provider, Work work) {
    constexpr bool withProgress = std::is_invocable_v<Work&, Provider&, const ProgressFn&>;
    using Result =
        typename std::conditional_t<withProgress,
                                    std::invoke_result<Work&, Provider&, const ProgressFn&>,
                                    std::invoke_result<Work&, Provider&>>::type;
    struct Job : StatementWork {
        explicit Job(Work w) : work(std::move(w)) {}
        void run(Provider& p, const ProgressFn& progress) override {
            if constexpr (std::is_void_v<Result>) {
                if constexpr (withProgress)
                    work(p, progress);
                else
                    work(p);
            } else if constexpr (withProgress) {
                result.emplace(work(p, progress));
            } else {
                result.emplace(work(p));
            }
        }
        Work work;
        std::optional<std::conditional_t<std::is_void_v<Result>, int, Result>> result;
    };
    auto job = std::make_shared<Job>(std::move(work));
    runStatementWork(provider, job);
    if constexpr (!std::is_void_v<Result>)
        return std::move(*job->result);
}

// Opens the provider of a connection string on a worker thread, while the calling thread
// reports "正在连接数据库" to its progress sink. A server that takes the connection but
// never answers would otherwise hold the window for good, since drivers wait for it without
// a limit. On a cancel the connect is abandoned: the worker finishes it alone and lets the
// connection go, and rg::Cancelled is thrown at once.
std::unique_ptr<Provider> connectOffThread(const std::string& connectionString);

// Whether a thread that nobody waits for any longer (an abandoned statement or connect, a
// cancel the driver has not answered) may still be inside a driver. The process then ends
// without unloading the libraries under it.
bool driverWorkRunning();
// Blocks until no such thread is left (the server has answered or hung up).
void waitForDriverWork();

// Lets every thread allocate from the one heap of the process. The statement's worker would
// otherwise get a heap of its own, which drivers that allocate per cell (the SQLite ODBC
// driver) fill and free 15 to 50 % more slowly than the main one. Called first thing in
// main, before any thread exists.
void shareOneHeapAcrossThreads();

// The message of a statement stopped by the query timeout.
std::string queryTimeoutMessage(int seconds);

// The message of a statement on a connection given up after an abandoned statement.
extern const char* const kGivenUpMessage;

} // namespace rg
