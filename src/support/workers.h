// Worker threads that live inside one call: started there and joined before
// it returns, so no thread outlives a call.
#pragma once

#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace qorvex {

// The processor count the platform reports, or 1 when it reports none.
inline size_t hardware_threads() {
    const unsigned h = std::thread::hardware_concurrency();
    return h == 0 ? 1 : h;
}

// Runs body(k) for k = 0 .. count - 1: body(0) on the calling thread, every
// other on a thread of its own. Every started thread is joined; then the
// first exception a body threw, or the failure to start a thread
// (std::system_error; that body and body(0) do not run: the call fails
// anyway), is rethrown on the calling thread.
template <typename Body>
void run_workers(size_t count, Body&& body) {
    std::exception_ptr failure;
    std::mutex failure_lock;
    auto record = [&] {
        const std::lock_guard<std::mutex> hold(failure_lock);
        if (!failure) failure = std::current_exception();
    };
    auto run = [&](size_t k) {
        try {
            body(k);
        } catch (...) {
            record();
        }
    };
    std::vector<std::thread> threads;
    bool started = true;
    try {
        threads.reserve(count > 0 ? count - 1 : 0);
        for (size_t k = 1; k < count; ++k) threads.emplace_back(run, k);
    } catch (...) {
        started = false;
        record();
    }
    if (count > 0 && started) run(0);
    for (std::thread& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace qorvex
