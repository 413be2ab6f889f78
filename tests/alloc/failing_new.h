// Replacement of the global operator new for allocation-failure tests: while
// armed it counts every allocation in the process and makes the k-th one
// (counting from 0) fail, as the system would when memory runs out (a
// std::bad_alloc, or a null pointer from the nothrow forms). It also counts
// the blocks that are live, so that a test can see a leak.
#pragma once

#include <cstddef>

namespace qorvex::test::alloc {

// From now on allocation number k fails; k < 0 counts without failing.
void arm(long k);
// Stops counting; returns how many allocations were made while armed.
long disarm();
// Whether the armed failure happened since the last arm().
bool failure_injected();
// Blocks allocated through operator new and not yet deleted.
long live_blocks();

}  // namespace qorvex::test::alloc
