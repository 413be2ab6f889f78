// The limb52 form against a bit-by-bit reading of the value.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "protocols/snark_witness.h"
#include "support/bytes.h"

namespace qorvex::test {
namespace {

// Limb k from bits 52k .. 52k + 51 of the big-endian value, one bit at a time.
uint64_t reference_limb(const uint8_t be32[32], int k) {
    uint64_t limb = 0;
    for (int b = 0; b < 52; ++b) {
        const int bit = 52 * k + b;
        if (bit >= 256) break;
        const int byte = 31 - bit / 8;
        limb |= static_cast<uint64_t>((be32[byte] >> (bit % 8)) & 1) << b;
    }
    return limb;
}

void expect_limbs(const uint8_t be32[32]) {
    uint8_t out[snark::kLimb52Size];
    snark::write_limb52(be32, out);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(reference_limb(be32, k), load_le64(out + 8 * k)) << "limb " << k;
}

TEST(Limb52, AllOnesAndEdges) {
    uint8_t v[32];
    std::memset(v, 0xFF, 32);
    uint8_t out[snark::kLimb52Size];
    snark::write_limb52(v, out);
    for (int k = 0; k < 4; ++k) EXPECT_EQ((uint64_t{1} << 52) - 1, load_le64(out + 8 * k));
    EXPECT_EQ((uint64_t{1} << 48) - 1, load_le64(out + 32));

    std::memset(v, 0, 32);
    snark::write_limb52(v, out);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(0, out[i]);
    // Each single bit lands in exactly one limb.
    for (int bit = 0; bit < 256; ++bit) {
        std::memset(v, 0, 32);
        v[31 - bit / 8] = static_cast<uint8_t>(1u << (bit % 8));
        snark::write_limb52(v, out);
        EXPECT_EQ(uint64_t{1} << (bit % 52), load_le64(out + 8 * (bit / 52))) << bit;
    }
}

TEST(Limb52, RandomValues) {
    std::mt19937 rng(52);
    for (int i = 0; i < 200; ++i) {
        uint8_t v[32];
        for (uint8_t& c : v) c = static_cast<uint8_t>(rng());
        expect_limbs(v);
    }
}

}  // namespace
}  // namespace qorvex::test
