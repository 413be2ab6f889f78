// Shared pieces of the internal Schnorr tests: small generator tables and
// key helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/precompute.h"
#include "arith/scalar.h"
#include "sig/bip340_vectors.h"

namespace qorvex::test::schnorr {

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

inline Bytes scalar_bytes(const Scalar& s) {
    Bytes b(32);
    s.to_bytes(b.data());
    return b;
}

inline Scalar scalar_of(const Bytes& b) { return Scalar::from_bytes_reduce(b.data()); }

}  // namespace qorvex::test::schnorr
