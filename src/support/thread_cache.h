// Per-thread caches made on the thread's first use rather than placed in
// static thread-local storage: threads that never use one pay nothing, and
// the memory goes back when the thread ends.
#pragma once

#include <memory>
#include <new>

namespace qorvex {

// This thread's Cache, value-initialised (zeroed) on first use, or nullptr
// when that allocation failed; callers then work uncached.
template <typename Cache>
Cache* thread_cache() {
    thread_local std::unique_ptr<Cache> cache;
    if (!cache) cache.reset(new (std::nothrow) Cache());
    return cache.get();
}

}  // namespace qorvex
