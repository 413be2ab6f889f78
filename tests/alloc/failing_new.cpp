#include "failing_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace qorvex::test::alloc {
namespace {

std::atomic<bool> g_armed{false};
std::atomic<long> g_fail_at{-1};
std::atomic<long> g_seen{0};
std::atomic<bool> g_injected{false};
std::atomic<long> g_live{0};

void* allocate(std::size_t n, std::size_t align) {
    if (g_armed.load(std::memory_order_acquire)) {
        const long index = g_seen.fetch_add(1);
        if (index == g_fail_at.load()) {
            g_injected.store(true);
            return nullptr;
        }
    }
    if (n == 0) n = 1;
    void* p = nullptr;
    if (align <= alignof(std::max_align_t)) {
        p = std::malloc(n);
    } else if (posix_memalign(&p, align, n) != 0) {
        p = nullptr;
    }
    if (p) g_live.fetch_add(1);
    return p;
}

void release(void* p) {
    if (!p) return;
    g_live.fetch_sub(1);
    std::free(p);
}

void* allocate_or_throw(std::size_t n, std::size_t align) {
    void* p = allocate(n, align);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

void arm(long k) {
    g_seen.store(0);
    g_injected.store(false);
    g_fail_at.store(k);
    g_armed.store(true, std::memory_order_release);
}

long disarm() {
    g_armed.store(false, std::memory_order_release);
    return g_seen.load();
}

bool failure_injected() { return g_injected.load(); }

long live_blocks() { return g_live.load(); }

}  // namespace qorvex::test::alloc

using qorvex::test::alloc::allocate;
using qorvex::test::alloc::allocate_or_throw;
using qorvex::test::alloc::release;

constexpr std::size_t kPlain = alignof(std::max_align_t);

void* operator new(std::size_t n) { return allocate_or_throw(n, kPlain); }
void* operator new[](std::size_t n) { return allocate_or_throw(n, kPlain); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, kPlain); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return allocate(n, kPlain); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate_or_throw(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate_or_throw(n, static_cast<std::size_t>(a)); }
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return allocate(n, static_cast<std::size_t>(a));
}

void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { release(p); }
