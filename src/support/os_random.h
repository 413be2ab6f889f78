// Secure random bytes from the operating system. There is no fallback and
// no error to handle: a process that cannot get random bytes must not go on
// to make keys or nonces from something weaker, so it aborts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex {

// Fills out[0..n) from getrandom(2), retrying interrupted and partial reads;
// aborts the process when the source fails.
void os_random(uint8_t* out, size_t n);

}  // namespace qorvex
