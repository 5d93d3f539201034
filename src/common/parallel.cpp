#include "common/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace rg {
namespace {

std::atomic<int> limit{0};

} // namespace

int parallelThreads() {
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int cap = limit.load(std::memory_order_relaxed);
    return cap > 0 ? cap : cores;
}

void setParallelThreads(int threads) {
    limit.store(std::max(0, threads), std::memory_order_relaxed);
}

int partsFor(int64_t count, int64_t perThread) {
    const int64_t fit = perThread > 0 ? count / perThread : count;
    return static_cast<int>(std::clamp<int64_t>(fit, 1, parallelThreads()));
}

void runParts(int parts, const std::function<void(int part)>& work) {
    if (parts <= 1) {
        work(0);
        return;
    }
    std::vector<std::exception_ptr> errors(static_cast<size_t>(parts));
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(parts - 1));
    // A helper that cannot start leaves its part to the calling thread.
    std::vector<int> left;
    for (int p = 1; p < parts; ++p) {
        try {
            helpers.emplace_back([&work, &errors, p] {
                try {
                    work(p);
                } catch (...) {
                    errors[static_cast<size_t>(p)] = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            left.push_back(p);
        }
    }
    try {
        work(0);
        for (int p : left)
            work(p);
    } catch (...) {
        errors[0] = std::current_exception();
    }
    for (std::thread& t : helpers)
        if (t.joinable())
            t.join();
    for (const std::exception_ptr& e : errors)
        if (e)
            std::rethrow_exception(e);
}

SerialWorker::~SerialWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        tasks_.clear();
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void SerialWorker::post(std::function<void()> task) {
    if (!started_) {
        started_ = true;
        inline_ = parallelThreads() < 2;
        if (!inline_) {
            try {
                thread_ = std::thread([this] { run(); });
            } catch (const std::system_error&) {
                inline_ = true;
            }
        }
    }
    if (inline_) {
        task();
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return tasks_.size() < waiting_ || error_; });
    if (error_)
        rethrow();
    tasks_.push_back(std::move(task));
    lock.unlock();
    changed_.notify_all();
}

void SerialWorker::drain() {
    if (inline_ || !started_)
        return;
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return (tasks_.empty() && !busy_) || error_; });
    if (error_)
        rethrow();
}

void SerialWorker::rethrow() {
    std::rethrow_exception(error_);
}

void SerialWorker::run() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !tasks_.empty(); });
            if (stop_)
                return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
            busy_ = true;
        }
        std::exception_ptr failed;
        try {
            task();
        } catch (...) {
            failed = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            busy_ = false;
            if (failed) {
                error_ = failed;
                tasks_.clear();
            }
        }
        changed_.notify_all();
    }
}

} // namespace rg
