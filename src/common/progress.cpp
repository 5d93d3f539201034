#include "common/progress.h"

namespace rg {

namespace {
thread_local ProgressSink* current = nullptr;
} // namespace

Cancelled::Cancelled() : Error("操作已取消。") {}

ProgressScope::ProgressScope(ProgressSink* sink) : previous_(current) {
    current = sink;
}

ProgressScope::~ProgressScope() {
    current = previous_;
}

ProgressSink* currentProgress() {
    return current;
}

void reportProgress(const char* what, int64_t done, int64_t total) {
    if (current && !current->progress(what, done, total))
        throw Cancelled();
}

} // namespace rg
