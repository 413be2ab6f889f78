// The library's self-test on demand, at any depth: the run the first context
// makes quietly in ci mode, for tools and for users who want the report.
#include "abi/frame.h"
#include "arith/selftest.h"

using namespace qorvex;

static_assert(QORVEX_SELFTEST_SMOKE == static_cast<int>(SelftestMode::smoke) &&
              QORVEX_SELFTEST_CI == static_cast<int>(SelftestMode::ci) &&
              QORVEX_SELFTEST_STRESS == static_cast<int>(SelftestMode::stress));

extern "C" {

QORVEX_API int qorvex_selftest_run(int mode, int verbose, uint64_t seed, uint32_t* tests_run,
                                   uint32_t* tests_passed) {
    if (mode != QORVEX_SELFTEST_SMOKE && mode != QORVEX_SELFTEST_CI && mode != QORVEX_SELFTEST_STRESS)
        return QORVEX_ERR_BAD_INPUT;
    SelftestCounts counts;
    try {
        counts = run_selftest(static_cast<SelftestMode>(mode), seed, verbose ? stdout : nullptr);
    } catch (...) {
        // Building or loading the generator tables failed (out of memory,
        // no threads): nothing was tested.
        return QORVEX_ERR_INTERNAL;
    }
    if (tests_run) *tests_run = static_cast<uint32_t>(counts.run);
    if (tests_passed) *tests_passed = static_cast<uint32_t>(counts.passed);
    return counts.ok() ? QORVEX_OK : QORVEX_ERR_SELFTEST;
}

}  // extern "C"
