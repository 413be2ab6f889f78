// The known-answer and algebraic self-check that stands in front of the
// first context of a process.
#pragma once

#include <cstdint>

namespace qorvex {

enum class SelftestMode { smoke = 0, ci = 1, stress = 2 };

// True when every check passed. seed 0 selects the default seed.
bool selftest(bool verbose, SelftestMode mode, uint64_t seed);

}  // namespace qorvex
