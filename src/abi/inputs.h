// The inputs most exported functions share, parsed with the checks and the
// message every family uses for them.
#pragma once

#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"
#include "support/declassify.h"

namespace qorvex::abi {

inline constexpr char kBadPrivkey[] = "privkey is zero or >= n";

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
