// Checking that both libraries agree, and timing them against each other.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "operation.h"

namespace compare {

// Runs both sides of op on the first count items of the valid and of the
// tampered inputs and returns one line per kind of disagreement (empty when
// they agree, or when qorvex has no side).
std::vector<std::string> check(const Operation& op, const Inputs& valid, const Inputs& tampered, size_t count);

struct Settings {
    size_t rounds = 200;          // recorded rounds per operation
    size_t warmup_rounds = 3;     // unrecorded rounds first
    double batch_ns = 1.5e6;      // target CPU time of one batch of the slower side
};

struct Timing {
    double qorvex_ns = 0;  // median ns per call; 0 when qorvex has no side
    double peer_ns = 0;
    size_t batch = 0;      // calls per batch
};

// Many short rounds, each a batch of the same number of calls on each side,
// in alternating order, timed by this thread's CPU clock; the medians of the
// per-call times of the batches.
Timing measure(const Operation& op, const Inputs& in, const Settings& s);

}  // namespace compare
