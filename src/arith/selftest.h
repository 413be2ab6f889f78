// The known-answer and algebraic self-test that stands in front of the
// first context of a process, and the configuration point of the generator
// tables: it installs the table configuration from the defaults and the
// environment, makes the tables exist, and then checks the arithmetic.
//
// Three depths: smoke (25 tests), ci (40, the one the first context runs)
// and stress (44). Verbose runs print a report; an optional file of external
// vectors, named by SECP256K1_SELFTEST_VECTORS, adds known answers of the
// caller's own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <istream>
#include <string>
#include <vector>

namespace qorvex {

enum class SelftestMode { smoke = 0, ci = 1, stress = 2 };

// The seed that seed 0 selects: the bytes of "SECP2K1G".
inline constexpr uint64_t kDefaultSelftestSeed = 0x53454350324B3147ULL;

// "smoke", "ci" or "stress".
const char* selftest_mode_name(SelftestMode mode);

struct SelftestCounts {
    int run = 0;
    int passed = 0;
    bool ok() const { return run == passed; }
};

// The whole self-test: the banner (when report is given), the table
// configuration and tables, the tests of the mode, the summary. Quiet when
// report is null. Throws what building the tables throws.
SelftestCounts run_selftest(SelftestMode mode, uint64_t seed, std::FILE* report);

// The same with the report on the standard output when verbose; true when
// every test passed.
bool selftest(bool verbose, SelftestMode mode, uint64_t seed);

// The tests alone, on whatever tables are current (built on demand): no
// banner, no configuration, no summary. names, when given, receives the
// name of each test run, in order.
SelftestCounts run_selftest_tests(SelftestMode mode, uint64_t seed, std::FILE* report,
                                  std::vector<std::string>* names = nullptr);

// --- The external vector file. ---

// Reads vector records from an open text stream: lines of fields split at
// ';', "SCALARMUL;k;x;y;..." (k * G has affine x, y), "ADD;px;py;qx;qy;x;y;..."
// and "SUB;..." (P + Q, P - Q), every number 64 hex digits; empty lines and
// lines starting with '#' are skipped, other record types ignored. Each
// failing line is reported with its number ("    FAIL (line N)"). True when
// no line failed.
bool check_vector_stream(std::istream& in, std::FILE* report);

// The "external_vectors" test: true without reading anything when
// SECP256K1_SELFTEST_VECTORS is unset or contains "..", true (with a note)
// when the file cannot be opened, else check_vector_stream of the file with
// its heading and verdict.
bool check_external_vectors(std::FILE* report);

}  // namespace qorvex
