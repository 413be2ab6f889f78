// Context lifetime, versions, and the one-time self-test gate in front of the
// first context of the process.
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "abi/frame.h"
#include "arith/selftest.h"

namespace qorvex::abi {

namespace {

std::once_flag g_selftest_once;
bool g_selftest_passed = true;

void run_selftest_gate() {
    g_selftest_passed = selftest(false, SelftestMode::ci, 0);
    if (!g_selftest_passed) {
        std::fputs("\n[FAIL] CRITICAL: Library integrity check FAILED!\n", stderr);
        std::fputs("   The secp256k1 library has failed self-validation.\n", stderr);
        std::fputs("   This application cannot continue safely.\n", stderr);
        std::fflush(stderr);
        std::abort();
    }
}

qorvex_ctx* allocate_cleared() {
    qorvex_ctx* ctx = new (std::nothrow) qorvex_ctx;
    if (!ctx) return nullptr;
    ctx->last_error.store(0, std::memory_order_relaxed);
    std::memset(ctx->message_area, 0, sizeof(ctx->message_area));
    ctx->selftest_ok = 0;
    return ctx;
}

}  // namespace

}  // namespace qorvex::abi

using namespace qorvex::abi;

extern "C" {

QORVEX_API int qorvex_ctx_create(qorvex_ctx** out) {
    if (!out) return QORVEX_ERR_NULL_ARG;
    *out = nullptr;
    qorvex_ctx* ctx = allocate_cleared();
    if (!ctx) return QORVEX_ERR_INTERNAL;
    // The gate can throw only when building the process-wide tables fails
    // (for example out of memory); the once-flag then stays unset so a later
    // call retries, and this call reports it like any wrapped function.
    const int rc = guarded(ctx, [&] {
        std::call_once(g_selftest_once, run_selftest_gate);
        return QORVEX_OK;
    });
    if (rc != QORVEX_OK) {
        delete ctx;
        return rc;
    }
    ctx->selftest_ok = g_selftest_passed ? 1 : 0;
    if (!ctx->selftest_ok) {
        delete ctx;
        return QORVEX_ERR_SELFTEST;
    }
    *out = ctx;
    return QORVEX_OK;
}

QORVEX_API int qorvex_ctx_clone(const qorvex_ctx* src, qorvex_ctx** out) {
    if (!src || !out) return QORVEX_ERR_NULL_ARG;
    *out = nullptr;
    qorvex_ctx* ctx = allocate_cleared();
    if (!ctx) return QORVEX_ERR_INTERNAL;
    ctx->selftest_ok = src->selftest_ok;
    *out = ctx;
    return QORVEX_OK;
}

QORVEX_API void qorvex_ctx_destroy(qorvex_ctx* ctx) { delete ctx; }

QORVEX_API size_t qorvex_ctx_size(void) { return sizeof(qorvex_ctx); }

QORVEX_API int qorvex_abi_version(void) { return QORVEX_ABI_VERSION; }

QORVEX_API uint32_t qorvex_version(void) { return QORVEX_VERSION; }

QORVEX_API const char* qorvex_version_string(void) { return QORVEX_VERSION_STRING; }

}  // extern "C"
