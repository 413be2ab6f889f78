// The self-test's pieces shared by its test files: the runner that counts
// and reports, the pseudo-random stream of the randomised tests, and the
// reference computations the tests compare against.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "arith/field.h"
#include "arith/point.h"
#include "arith/scalar.h"
#include "arith/selftest.h"

namespace qorvex::selftest_detail {

class Runner {
public:
    Runner(std::FILE* report, std::vector<std::string>* names) : report_(report), names_(names) {}

    bool verbose() const { return report_ != nullptr; }
    std::FILE* report() const { return report_; }

    // printf to the report, when there is one.
#if defined(__GNUC__) || defined(__clang__)
    __attribute__((format(printf, 2, 3)))
#endif
    void say(const char* format, ...) const {
        if (!report_) return;
        va_list args;
        va_start(args, format);
        std::vfprintf(report_, format, args);
        va_end(args);
    }

    // One test: its heading, the check, and its verdict counted and shown.
    template <typename Check>
    void test(const char* name, const char* heading, Check&& check) {
        if (heading) say("%s", heading);
        const bool ok = check();
        ++counts_.run;
        if (ok) ++counts_.passed;
        if (names_) names_->emplace_back(name);
        say(ok ? "    PASS\n" : "    FAIL\n");
    }

    const SelftestCounts& counts() const { return counts_; }

private:
    std::FILE* report_;
    std::vector<std::string>* names_;
    SelftestCounts counts_;
};

// xorshift64*: the stream of the randomised tests, each seeded with the run's
// seed exclusive-or a constant of its own.
class Xorshift64Star {
public:
    explicit Xorshift64Star(uint64_t seed) : x_(seed ? seed : 0x9E3779B97F4A7C15ULL) {}
    uint64_t next() {
        x_ ^= x_ >> 12;
        x_ ^= x_ << 25;
        x_ ^= x_ >> 27;
        return x_ * 0x2545F4914F6CDD1DULL;
    }
    Scalar scalar() {
        const uint64_t a = next(), b = next(), c = next(), d = next();
        return Scalar::from_limbs(a, b, c, d);
    }
    Scalar nonzero_scalar() {
        const Scalar s = scalar();
        return s.is_zero() ? Scalar::one() : s;
    }
    FieldElement field() {
        const uint64_t a = next(), b = next(), c = next(), d = next();
        return FieldElement::from_limbs(a, b, c, d);
    }
    FieldElement nonzero_field() {
        const FieldElement f = field();
        return f.is_zero() ? FieldElement::one() : f;
    }

private:
    uint64_t x_;
};

// A known multiple of G: the scalar and the affine coordinates as hex.
struct KnownPoint {
    const char* k;
    const char* x;
    const char* y;
    const char* label;
};

// k*G by the right-to-left binary method on the plain generator: 256
// doublings and an addition per set bit, nothing precomputed.
Point binary_mul_g(const Scalar& k);

// The generator without its fixed-base mark, so that mul() takes the
// variable-base path.
Point plain_generator();

// The point with the given affine coordinates (64 hex digits each).
Point point_from_hex(const char* x, const char* y);

// Whether p is finite with the affine x and y given (lowercase hex of p's
// coordinates compared case-insensitively). When it is not and the runner
// is verbose, the expected and actual coordinates are shown.
bool matches_coordinates(const Runner& r, const Point& p, const char* x, const char* y);

// The same, silently.
bool has_coordinates(const Point& p, const char* x, const char* y);

// The test groups in their order: every depth, then ci and stress, then
// stress only.
void smoke_tests(Runner& r, uint64_t seed);
void ci_tests(Runner& r, uint64_t seed);
void stress_tests(Runner& r, uint64_t seed);

// The known-answer table (ten records) that the vector tests use.
extern const KnownPoint kKnownAnswers[10];

}  // namespace qorvex::selftest_detail
