// Shared pieces of the internal MuSig2 and FROST tests: small generator
// tables and byte helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "arith/point.h"
#include "arith/precompute.h"
#include "arith/scalar.h"

namespace qorvex::test::protocols {

using Bytes = std::vector<uint8_t>;

// Verification reaches the variable-time generator tables; width 8 keeps
// their build instant.
class SmallGeneratorTables : public ::testing::Environment {
public:
    void SetUp() override {
        PrecomputeConfig c;
        c.window_bits = 8;
        configure(c);
    }
};
inline const bool kSmallGeneratorTablesRegistered =
    (::testing::AddGlobalTestEnvironment(new SmallGeneratorTables), true);

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes slice(const Bytes& b, size_t from, size_t len) { return Bytes(b.begin() + from, b.begin() + from + len); }

inline Bytes scalar_bytes(const Scalar& s) {
    Bytes b(32);
    s.to_bytes(b.data());
    return b;
}

inline Bytes compressed(const Point& p) {
    Bytes b(33);
    p.to_compressed(b.data());
    return b;
}

}  // namespace qorvex::test::protocols
