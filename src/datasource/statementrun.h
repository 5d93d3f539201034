#pragma once

// A statement that may run long (a query that waits for a lock, a slow fetch) runs on a
// worker thread, while the thread that asked for it keeps reporting progress to its
// progress sink and watches the connection's query timeout. Cancel and timeout reach the
// driver through Provider::cancel, so a blocked statement can always be abandoned. The
// caller stays blocked until the worker has ended: the provider is never used by two
// threads at once.

#include "datasource/provider.h"

#include <functional>
#include <memory>
#include <string>

namespace rg {

// Runs `work` on a worker thread with a ProgressFn that records the rows fetched so far.
// Rethrows what the work threw; throws rg::Cancelled when the progress sink cancelled and
// a timeout error when the provider's query timeout passed.
void runStatement(Provider& provider, const std::function<void(const ProgressFn&)>& work);
// The same for work that fetches no rows: a catalog call, a change, a description.
inline void runStatement(Provider& provider, const std::function<void()>& work) {
    runStatement(provider, [&](const ProgressFn&) { work(); });
}

// Opens the provider of a connection string on a worker thread, while the calling thread
// reports "正在连接数据库" to its progress sink. A server that takes the connection but
// never answers would otherwise hold the window for good, since drivers wait for it without
// a limit. On a cancel the connect is abandoned: the worker finishes it alone and lets the
// connection go, and rg::Cancelled is thrown at once.
std::unique_ptr<Provider> connectOffThread(const std::string& connectionString);

// Lets every thread allocate from the one heap of the process. The statement's worker would
// otherwise get a heap of its own, which drivers that allocate per cell (the SQLite ODBC
// driver) fill and free 15 to 50 % more slowly than the main one. Called first thing in
// main, before any thread exists.
void shareOneHeapAcrossThreads();

// The message of a statement stopped by the query timeout.
std::string queryTimeoutMessage(int seconds);

} // namespace rg
