// The inputs most exported functions share, parsed with the checks and the
// message every family uses for them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"
#include "support/declassify.h"

namespace qorvex::abi {

inline constexpr char kBadPrivkey[] = "privkey is zero or >= n";

// Whether [a, a + an) and [b, b + bn) share a byte (an empty range shares
// none): an output laid over an input must be written only once the input is
// read, or through a copy.
inline bool buffers_overlap(const void* a, size_t an, const void* b, size_t bn) {
    const auto x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return an != 0 && bn != 0 && x < y + bn && y < x + an;
}

// A secret key in [1, n - 1]. Whether it is valid is public: the caller's
// error code says so.
inline bool parse_seckey(const uint8_t* key32, Scalar& out) {
    return declassify_bool(Scalar::parse_nonzero(key32, out));
}

// A 33-byte compressed public key; false when it does not decompress.
inline bool parse33(const uint8_t* in33, Point& out) {
    out = Point::decompress(in33);
    return !out.infinity;
}

}  // namespace qorvex::abi
