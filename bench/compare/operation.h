// One row of the comparison: an operation, and how each library performs it
// on item i of the inputs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/inputs.h"

namespace compare {

using benchdata::Inputs;
using benchdata::Item;

// What a call produced: its bytes (a key or a signature; none for a
// verification, whose verdict is the call's result).
struct Output {
    uint8_t bytes[65];
    size_t len;
};

// Performs the operation once on item i. Returns whether the library
// succeeded (for a verification: whether the signature was accepted).
using CallFn = bool (*)(const Inputs& in, size_t i, Output& out);

enum class Expect {
    Agree,    // same success and same bytes, valid or tampered inputs alike
    Verdict,  // as Agree, and valid inputs pass while tampered ones fail
};

struct Operation {
    const char* name;
    CallFn qorvex;  // nullptr while qorvex has no export for it: shown as n/a
    CallFn peer;
    Expect expect;
    const char* note;  // what the libsecp256k1 side does per call
};

}  // namespace compare
