// The silent-payment building blocks that every scheme on BIP-352's shared
// secret reuses: the address text beyond BIP-173's length and for any
// version, the shared point from either side, the tweaked spend point, the
// x comparison on Jacobian points, and the sender's and receiver's halves
// against each other.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "bitcoin/bech32.h"
#include "bitcoin/silent_payment.h"

namespace qorvex::test {
namespace {

namespace sp = qorvex::silent_payment;
using Bytes = std::vector<uint8_t>;

Point kg(uint64_t k) {
    Point p = gen_mul_ct(Scalar::from_u64(k));
    p.to_affine_assign();
    return p;
}

// The text decoded again: Bech32m, the hrp, the version and the payload.
void expect_decodes_to(const std::string& text, const char* hrp, unsigned version, const Bytes& payload) {
    const auto d = bech32_decode(text, 1023);
    ASSERT_TRUE(d) << text;
    EXPECT_EQ(Bech32Kind::bech32m, d->kind);
    EXPECT_EQ(hrp, d->hrp);
    ASSERT_FALSE(d->values.empty());
    EXPECT_EQ(version, d->values[0]);
    Bytes back;
    ASSERT_TRUE(convert_bits(std::span<const uint8_t>(d->values).subspan(1), 5, 8, false, back));
    EXPECT_EQ(payload, back);
}

TEST(SilentPaymentParts, AddressTextOfAnyVersionAndLength) {
    Bytes payload(66);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 37 + 1);
    char out[256];
    struct Case {
        const char* hrp;
        unsigned version;
        size_t bytes;
    } cases[] = {{"sp", 0, 66}, {"tsp", 0, 66}, {"sp", 1, 64}, {"sp", 31, 1}, {"sp", 16, 0}, {"x", 3, 128}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.hrp) + " v" + std::to_string(c.version) + " " + std::to_string(c.bytes));
        Bytes p(c.bytes);
        for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(0xA5 ^ (i * 11));
        size_t len = 0;
        ASSERT_TRUE(sp::encode_address(c.hrp, c.version, p, out, len));
        EXPECT_EQ(bech32_text_length(std::strlen(c.hrp), 1 + (c.bytes * 8 + 4) / 5), len);
        expect_decodes_to(std::string(out, len), c.hrp, c.version, p);
    }
    // Refused, the buffer untouched: a version beyond 31, a payload beyond
    // 128 bytes, no room, a bad hrp.
    std::memset(out, 'z', sizeof out);
    size_t len = 7;
    EXPECT_FALSE(sp::encode_address("sp", 32, payload, out, len));
    EXPECT_FALSE(sp::encode_address("sp", 0, Bytes(129), out, len));
    EXPECT_FALSE(sp::encode_address("sp", 0, payload, std::span<char>(out, 115), len));
    EXPECT_FALSE(sp::encode_address("SP", 0, payload, out, len));
    EXPECT_FALSE(sp::encode_address("", 0, payload, out, len));
    EXPECT_EQ(7u, len);
    EXPECT_EQ(std::string(sizeof out, 'z'), std::string(out, sizeof out));
    // Exactly the room it needs (BIP-352's 116 characters for 66 bytes).
    ASSERT_TRUE(sp::encode_address("sp", 0, payload, std::span<char>(out, 116), len));
    EXPECT_EQ(116u, len);
}

TEST(SilentPaymentParts, AddressOfAKeyPair) {
    const Point scan = kg(3), spend = kg(1000);
    char out[sp::kAddressLength];
    size_t len = 0;
    ASSERT_TRUE(sp::address(scan, spend, out, len));
    EXPECT_EQ(sp::kAddressLength, len);
    Bytes payload(64);
    scan.X.to_bytes(payload.data());
    spend.X.to_bytes(payload.data() + 32);
    expect_decodes_to(std::string(out, len), "sp", 1, payload);
}

TEST(SilentPaymentParts, SharedSecretFromEitherSide) {
    // a * (b G) = b * (a G), and the serialization is the compressed point.
    const Scalar a = Scalar::from_hex("8e1a9c3b5d7f2e4a6c8b0d1f3e5a7c9b2d4f6e8a0c1b3d5f7e9a2c4b6d8f0e1a");
    const Scalar b = Scalar::from_u64(0x5ca9);
    uint8_t s1[33], s2[33], want[33];
    sp::shared_secret(a, gen_mul_ct(b), s1);
    sp::shared_secret(b, gen_mul_ct(a), s2);
    EXPECT_EQ(0, std::memcmp(s1, s2, 33));
    Point s = mul(gen_mul_ct(a), b);
    s.to_affine_assign();
    s.to_compressed(want);
    EXPECT_EQ(0, std::memcmp(want, s1, 33));
}

TEST(SilentPaymentParts, TweakedPointAndXComparison) {
    const Point b = kg(77);
    for (uint64_t t : {1u, 2u, 76u, 78u, 123456789u}) {
        SCOPED_TRACE(t);
        const Point p = sp::tweaked_point_ct(b, Scalar::from_u64(t));
        EXPECT_TRUE(p.equals(kg(77 + t)));
        const Point a = kg(77 + t);
        // Jacobian (Z != 1) against the affine x; the negation has the same x.
        EXPECT_NE(0u, sp::x_equals_mask(p, a.X));
        EXPECT_NE(0u, sp::x_equals_mask(p.negate(), a.X));
        EXPECT_EQ(0u, sp::x_equals_mask(p, a.X + FieldElement::one()));
        EXPECT_EQ(0u, sp::x_equals_mask(p, kg(78 + t).X));
    }
    // B + t G at infinity, for t = -b: flagged, and it matches no x (not
    // even zero).
    const Point inf = sp::tweaked_point_ct(b, Scalar::from_u64(77).negate());
    EXPECT_TRUE(inf.infinity);
    EXPECT_EQ(0u, sp::x_equals_mask(inf, FieldElement::zero()));
    // The tweak of ser(S) and k reads the tagged hash modulo n; different k,
    // different tweaks.
    const uint8_t ser[33] = {2, 1, 2, 3};
    Scalar t0, t1, t0_again;
    sp::output_tweak(ser, 0, t0);
    sp::output_tweak(ser, 1, t1);
    sp::output_tweak(ser, 0, t0_again);
    EXPECT_TRUE(t0.equal(t0_again));
    EXPECT_FALSE(t0.equal(t1));
}

TEST(SilentPaymentParts, SenderAndReceiverAgree) {
    const Scalar b_scan = Scalar::from_u64(0x1234567), b_spend = Scalar::from_u64(0x89abcdef);
    const Point scan = kg(0x1234567), spend = kg(0x89abcdef);
    // Two input keys, 11 and 31, summed by the sender; their public keys
    // summed by the receiver.
    const Scalar a_sum = Scalar::from_u64(42);
    Bytes outputs(32 * 4, 0x11);
    for (uint32_t k : {0u, 2u, 3u}) {
        uint8_t out[33], tweak[32];
        ASSERT_EQ(sp::CreateResult::ok, sp::create_output(a_sum, scan, spend, k, out, tweak));
        std::memcpy(&outputs[32 * k], out + 1, 32);
    }
    // Output 3 holds the key made for k = 3 but sits where k = 1 would be
    // looked for: moved, it is not found.
    std::memcpy(&outputs[32], &outputs[96], 32);
    std::memset(&outputs[96], 0x22, 32);
    Point input_sum = kg(11).add(kg(31));
    input_sum.to_affine_assign();
    ASSERT_TRUE(input_sum.equals(kg(42)));
    const sp::Scanner scanner(b_scan, input_sum);
    const std::vector<uint32_t> found = scanner.matches(spend, outputs);
    EXPECT_EQ((std::vector<uint32_t>{0, 2}), found);
    for (uint32_t k : found) {
        uint8_t key[32];
        scanner.output_key(b_spend, k, key);
        Scalar d;
        ASSERT_TRUE(Scalar::parse_strict(key, d));
        Point p = gen_mul_ct(d);
        p.to_affine_assign();
        uint8_t x[32];
        p.X.to_bytes(x);
        EXPECT_EQ(0, std::memcmp(x, &outputs[32 * k], 32));
    }
    // A zero key sum is refused before anything is written.
    uint8_t out[33], tweak[32];
    std::memset(out, 0xAB, sizeof out);
    std::memset(tweak, 0xAB, sizeof tweak);
    EXPECT_EQ(sp::CreateResult::keys_cancel, sp::create_output(Scalar::zero(), scan, spend, 0, out, tweak));
    EXPECT_EQ(std::string(33, '\xAB'), std::string(reinterpret_cast<char*>(out), 33));
    EXPECT_EQ(std::string(32, '\xAB'), std::string(reinterpret_cast<char*>(tweak), 32));
}

}  // namespace
}  // namespace qorvex::test
