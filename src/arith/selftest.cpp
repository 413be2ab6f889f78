// The self-test's frame: banner, table configuration, the tests of the
// chosen depth, summary; and the reference computations its tests share.
#include "arith/selftest.h"

#include <cctype>
#include <cstring>

#include "arith/field_mul.h"
#include "arith/precompute.h"
#include "arith/selftest_tests.h"
#include "support/hex.h"

#ifndef QORVEX_BUILD_TYPE
#define QORVEX_BUILD_TYPE "unknown"
#endif

namespace qorvex {

namespace selftest_detail {

Point binary_mul_g(const Scalar& k) {
    Point result = Point::infinity_point();
    Point base = plain_generator();
    for (unsigned i = 0; i < 256; ++i) {
        if (k.bits(i, 1)) result.add_assign(base);
        base.dbl_assign();
    }
    return result;
}

Point plain_generator() {
    Point g = Point::generator();
    g.is_generator = false;
    return g;
}

Point point_from_hex(const char* x, const char* y) {
    return Point::from_affine(FieldElement::from_hex(x), FieldElement::from_hex(y));
}

namespace {

bool same_hex(const char* got, const char* want) {
    const size_t n = std::strlen(got);
    if (std::strlen(want) != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(got[i])) != std::tolower(static_cast<unsigned char>(want[i])))
            return false;
    }
    return true;
}

void affine_hex(const Point& p, char x[65], char y[65]) {
    Point a = p;
    a.to_affine_assign();
    uint8_t b[32];
    a.X.to_bytes(b);
    bytes_to_hex(b, 32, x);
    a.Y.to_bytes(b);
    bytes_to_hex(b, 32, y);
}

}  // namespace

bool has_coordinates(const Point& p, const char* x, const char* y) {
    if (p.infinity) return false;
    char gx[65], gy[65];
    affine_hex(p, gx, gy);
    return same_hex(gx, x) && same_hex(gy, y);
}

bool matches_coordinates(const Runner& r, const Point& p, const char* x, const char* y) {
    if (p.infinity) {
        r.say("    FAILED: Result is infinity!\n");
        return false;
    }
    char gx[65], gy[65];
    affine_hex(p, gx, gy);
    const bool ok = same_hex(gx, x) && same_hex(gy, y);
    if (!ok) {
        r.say("Expected X: %s\n", x);
        r.say("Got      X: %s\n", gx);
        r.say("Expected Y: %s\n", y);
        r.say("Got      Y: %s\n", gy);
    }
    return ok;
}

}  // namespace selftest_detail

namespace {

using selftest_detail::Runner;

const char* compiler_text(char* buf, size_t n) {
#if defined(__clang__)
    std::snprintf(buf, n, "Clang %d.%d.%d", __clang_major__, __clang_minor__, __clang_patchlevel__);
#elif defined(__GNUC__)
    std::snprintf(buf, n, "GCC %d.%d.%d", __GNUC__, __GNUC_MINOR__, __GNUC_PATCHLEVEL__);
#elif defined(_MSC_VER)
    std::snprintf(buf, n, "MSVC %d", _MSC_VER);
#else
    std::snprintf(buf, n, "unknown compiler");
#endif
    return buf;
}

const char* platform_text() {
#if defined(__linux__)
#define QORVEX_OS "Linux"
#elif defined(__APPLE__)
#define QORVEX_OS "macOS"
#elif defined(_WIN32)
#define QORVEX_OS "Windows"
#elif defined(__FreeBSD__)
#define QORVEX_OS "FreeBSD"
#else
#define QORVEX_OS "unknown OS"
#endif
#if defined(__x86_64__) || defined(_M_X64)
    return QORVEX_OS " x86_64";
#elif defined(__aarch64__) || defined(_M_ARM64)
    return QORVEX_OS " aarch64";
#else
    return QORVEX_OS;
#endif
#undef QORVEX_OS
}

void banner(std::FILE* out, SelftestMode mode, uint64_t seed) {
    char compiler[64];
    const char* name = selftest_mode_name(mode);
    const auto s = static_cast<unsigned long long>(seed);
    std::fprintf(out, "\n==============================================\n");
    std::fprintf(out, "  SECP256K1 Library Self-Test\n");
    std::fprintf(out, "==============================================\n");
    std::fprintf(out, "  Mode:     %s\n", name);
    std::fprintf(out, "  Seed:     0x%016llx\n", s);
    std::fprintf(out, "  Compiler: %s\n", compiler_text(compiler, sizeof compiler));
    std::fprintf(out, "  Platform: %s\n", platform_text());
    std::fprintf(out, "  Build:    %s\n", QORVEX_BUILD_TYPE);
    std::fprintf(out, "  ASM:      %s\n",
                 std::strcmp(field_backend_name(), "adx") == 0 ? "enabled (MULX/ADCX/ADOX field multiplication)"
                                                               : "disabled (portable field multiplication)");
    std::fprintf(out, "  Repro:    Selftest(true, SelftestMode::%s, 0x%016llx)\n", name, s);
}

void summary(std::FILE* out, SelftestMode mode, const SelftestCounts& c) {
    std::fprintf(out, "\n==============================================\n");
    if (mode == SelftestMode::smoke) {
        std::fprintf(out, "  Results: %d/%d tests passed (smoke)\n", c.passed, c.run);
        std::fprintf(out, c.ok() ? "  [OK] ALL SMOKE TESTS PASSED\n" : "  [FAIL] SOME SMOKE TESTS FAILED\n");
    } else {
        std::fprintf(out, "  Results: %d/%d tests passed (%s)\n", c.passed, c.run, selftest_mode_name(mode));
        std::fprintf(out, c.ok() ? "  [OK] ALL TESTS PASSED\n" : "  [FAIL] SOME TESTS FAILED\n");
    }
    std::fprintf(out, "==============================================\n\n");
}

}  // namespace

const char* selftest_mode_name(SelftestMode mode) {
    switch (mode) {
        case SelftestMode::smoke:
            return "smoke";
        case SelftestMode::ci:
            return "ci";
        case SelftestMode::stress:
            return "stress";
    }
    return "ci";
}

SelftestCounts run_selftest_tests(SelftestMode mode, uint64_t seed, std::FILE* report,
                                  std::vector<std::string>* names) {
    if (seed == 0) seed = kDefaultSelftestSeed;
    Runner r(report, names);
    selftest_detail::smoke_tests(r, seed);
    if (mode != SelftestMode::smoke) selftest_detail::ci_tests(r, seed);
    if (mode == SelftestMode::stress) selftest_detail::stress_tests(r, seed);
    return r.counts();
}

SelftestCounts run_selftest(SelftestMode mode, uint64_t seed, std::FILE* report) {
    if (seed == 0) seed = kDefaultSelftestSeed;
    if (report) banner(report, mode, seed);
    // The configuration of the generator tables comes from the defaults and
    // the environment; the tables are made to exist (loaded from the cache
    // file, or built and saved) before the first test multiplies. A run on
    // demand keeps the tables in use unless the environment now asks for
    // others.
    configure_from_environment();
    ensure_built();
    const SelftestCounts c = run_selftest_tests(mode, seed, report);
    if (report) {
        summary(report, mode, c);
        std::fflush(report);
    }
    return c;
}

bool selftest(bool verbose, SelftestMode mode, uint64_t seed) {
    return run_selftest(mode, seed, verbose ? stdout : nullptr).ok();
}

}  // namespace qorvex
