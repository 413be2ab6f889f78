// ECDSA internals: nonces, recovery ids, encodings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "sig/ecdsa.h"
#include "abi/abi_helpers.h"
#include "arith/arith_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using ecdsa::Signature;

Scalar scalar_hex(const std::string& h) {
    const auto b = from_hex(std::string(64 - h.size(), '0') + h);
    return Scalar::from_bytes_reduce(b.data());
}

std::string hex_of(const Scalar& s) {
    uint8_t b[32];
    s.to_bytes(b);
    return to_hex(b, 32);
}

Point gen(const Scalar& k) {
    Point p = gen_mul_ct(k);
    p.to_affine_assign();
    return p;
}

TEST(Rfc6979, PublishedNoncesAndSignatures) {
    const Json v = load_json_vectors("rfc6979/rfc6979_secp256k1_sha256.json");
    for (const Json& c : v["cases"].array()) {
        SCOPED_TRACE(c["message_ascii"].str());
        const Scalar d = scalar_hex(c["private_key"].str());
        const auto msg = from_hex(c["message_sha256"].str());
        EXPECT_EQ(lower(c["k"].str()), hex_of(ecdsa::rfc6979_nonce(d, msg.data())));
        const Signature sig = ecdsa::sign(msg.data(), d);
        EXPECT_EQ(lower(c["r"].str()), hex_of(sig.r));
        EXPECT_EQ(lower(c["s"].str()), hex_of(sig.s));
        uint8_t der[72];
        const size_t n = ecdsa::der_encode(sig, der);
        EXPECT_EQ(lower(c["signature_der"].str()), to_hex(der, n));
        EXPECT_TRUE(ecdsa::verify(msg.data(), gen(d), sig));
    }
}

// Recovery ids 2 and 3 need a nonce point whose x lies in [n, p): choose such
// a point R, any s and z, and solve for the key Q = r^-1 (s R - z G).
TEST(Recovery, AllFourIdsIncludingOverflowingX) {
    const BigUint n = N();
    const Scalar z = scalar_hex("5ca1ab1e");
    const Scalar s = scalar_hex("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
    // x = n + t for the first t giving a point.
    Point r_point = Point::infinity_point();
    for (uint64_t t = 1; r_point.infinity; ++t) {
        uint8_t c[33];
        c[0] = 0x02;
        FieldElement x;
        (n + BigUint(t)).to_limbs(x.limb);
        x.to_bytes(c + 1);
        r_point = Point::decompress(c);
    }
    for (int parity = 0; parity < 2; ++parity) {
        const Point R = (static_cast<int>(r_point.Y.limb[0] & 1) == parity) ? r_point : r_point.negate();
        Point Ra = R;
        Ra.to_affine_assign();
        const Scalar r = Scalar::from_limbs(Ra.X.limb[0], Ra.X.limb[1], Ra.X.limb[2], Ra.X.limb[3]);
        const Scalar rinv = r.inverse_var();
        const Point q = mul(R, s.mul(rinv)).add(mul(Point::generator(), z.mul(rinv).negate()));
        uint8_t msg[32];
        z.to_bytes(msg);
        const Signature sig{r, s};
        ASSERT_TRUE(ecdsa::verify(msg, q, sig));
        Point got;
        ASSERT_TRUE(ecdsa::recover(msg, sig, 2 | parity, got));
        EXPECT_TRUE(got.equals(q));
        // Through the exported function too.
        uint8_t sig64[64], pub[33], want[33];
        ecdsa::write_compact(sig, sig64);
        q.to_compressed(want);
        auto ctx = make_ctx();
        ASSERT_EQ(0, qorvex_ecdsa_recover(ctx.get(), msg, sig64, 2 | parity, pub));
        EXPECT_EQ(0, std::memcmp(want, pub, 33));
        // With the other ids the recovered key (if any) is a different one.
        for (int id = 0; id < 2; ++id) {
            Point other;
            if (ecdsa::recover(msg, sig, id, other)) {
                EXPECT_FALSE(other.equals(q));
            }
        }
    }
    // r >= p - n cannot come from an x in [n, p).
    Signature big_r{scalar_hex("14551231950b75fc4402da1722fc9baee"), s};
    uint8_t msg[32] = {1};
    Point out;
    EXPECT_FALSE(ecdsa::recover(msg, big_r, 2, out));
    EXPECT_FALSE(ecdsa::recover(msg, big_r, 3, out));
    EXPECT_FALSE(ecdsa::recover(msg, big_r, 4, out));
}

TEST(Recovery, SigningReportsTheIdThatRecovers) {
    Rng rng(7);
    int seen[4] = {0, 0, 0, 0};
    for (int i = 0; i < 40; ++i) {
        const Scalar d = rng.scalar();
        uint8_t msg[32];
        rng.scalar().to_bytes(msg);
        int recid = -1;
        const Signature sig = ecdsa::sign_recoverable(msg, d, recid);
        ASSERT_GE(recid, 0);
        ASSERT_LE(recid, 3);
        ++seen[recid];
        EXPECT_FALSE(sig.s.is_high());
        Point q;
        ASSERT_TRUE(ecdsa::recover(msg, sig, recid, q));
        EXPECT_TRUE(q.equals(gen(d)));
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
}

TEST(LowS, NormalisationIsTheIdentityOrNegation) {
    const Scalar half = sc(N() >> 1);
    const Signature low{Scalar::one(), half};
    const Signature high{Scalar::one(), half + Scalar::one()};
    EXPECT_TRUE(ecdsa::low_s_normalize(low).s.equal(half));
    EXPECT_TRUE(ecdsa::low_s_normalize(high).s.equal((half + Scalar::one()).negate()));
}

TEST(Encodings, OpaqueIsTheLittleEndianLimbLayout) {
    const Signature sig{scalar_hex("0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20"),
                        scalar_hex("aa")};
    uint8_t op[64];
    ecdsa::write_opaque(sig, op);
    EXPECT_EQ(0x20, op[0]);
    EXPECT_EQ(0x01, op[31]);
    EXPECT_EQ(0xaa, op[32]);
    EXPECT_EQ(0x00, op[63]);
    Signature back;
    ASSERT_TRUE(ecdsa::parse_opaque(op, back));
    EXPECT_TRUE(back.r.equal(sig.r) && back.s.equal(sig.s));
}

TEST(Encodings, DerRoundTripsAtEveryLength) {
    Rng rng(9);
    // Values of every byte length, with and without the high bit.
    std::vector<Scalar> vals = {Scalar::one(), scalar_hex("7f"), scalar_hex("80"), scalar_hex("ff"),
                                sc(N() - BigUint(1))};
    for (int bytes = 1; bytes <= 32; ++bytes) vals.push_back(sc(BigUint(rng.u64()) % (BigUint(1) << (8 * bytes - 1)) +
                                                               BigUint(1)));
    for (const Scalar& r : vals) {
        for (const Scalar& s : {Scalar::one(), sc(N() - BigUint(1)), rng.scalar()}) {
            const Signature sig{r, s};
            uint8_t der[72], compact[64], back[64];
            const size_t n = ecdsa::der_encode(sig, der);
            ASSERT_GE(n, 8u);
            ASSERT_LE(n, 72u);
            ecdsa::write_compact(sig, compact);
            ASSERT_EQ(ecdsa::DerError::ok, ecdsa::der_decode(der, n, back));
            EXPECT_EQ(0, std::memcmp(compact, back, 64));
        }
    }
}

}  // namespace
}  // namespace qorvex::test
