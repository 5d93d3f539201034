#pragma once

// Long work (opening a data set, loading the grid, exporting, printing) tells whoever
// started it how far it is, and learns there whether the user has cancelled. The starter
// installs a ProgressScope on its thread; the work calls reportProgress at its own pace
// (every few thousand rows). Without a scope a report costs one thread-local read and
// never cancels, so the core library runs the same in tests and in the runner.

#include "common/error.h"

#include <cstdint>

namespace rg {

// The error of work the user (or a time limit) cancelled. Whoever catches it restores what
// the work was about to replace.
class Cancelled : public Error {
public:
    Cancelled();
    explicit Cancelled(const std::string& message) : Error(message) {}
};

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // `what` names the step in the user's words; `total` is 0 when it is not known.
    // Returns false to cancel.
    virtual bool progress(const char* what, int64_t done, int64_t total) = 0;
};

// Installs a sink for the current thread for as long as it lives; scopes nest.
class ProgressScope {
public:
    explicit ProgressScope(ProgressSink* sink);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    ProgressSink* previous_;
};

// The sink of the current thread, nullptr when none is installed.
ProgressSink* currentProgress();

// Reports to the current thread's sink; throws Cancelled when it answers false.
void reportProgress(const char* what, int64_t done, int64_t total = 0);

} // namespace rg
