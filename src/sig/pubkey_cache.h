// A per-thread, direct-mapped cache of parsed compressed public keys, so
// that verifying against a key seen before skips the square root of point
// decompression.
#pragma once

#include <cstdint>

#include "arith/point.h"

namespace qorvex {

// The decompressed point of a 33-byte key, or nullptr when the key does not
// parse. The pointer stays valid until the next lookup on this thread.
const Point* cached_pubkey(const uint8_t pub33[33]);

}  // namespace qorvex
