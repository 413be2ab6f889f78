// BIP-340 internals: keypairs, signing, verification, x-only lifting and the
// per-thread key caches.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "arith/gen_mul.h"
#include "schnorr_helpers.h"
#include "sig/schnorr.h"
#include "sig/xonly_cache.h"
#include "support/wipe.h"

namespace qorvex::test::schnorr {
namespace {

const std::string kPHex = "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEFFFFFC2F";
const std::string kNHex = "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFEBAAEDCE6AF48A03BBFD25E8CD0364141";
const std::string kGxHex = "79BE667EF9DCBBAC55A06295CE870B07029BFCDB2DCE28D959F2815B16F81798";

SchnorrKeypair keypair(const Scalar& d) {
    SchnorrKeypair kp;
    schnorr_keypair(d, kp);
    return kp;
}

Bytes sign(const SchnorrKeypair& kp, const Bytes& msg, const Bytes& aux, bool* ok = nullptr) {
    Bytes sig(64, 0xAA);
    const bool r = schnorr_sign(kp, msg.data(), msg.size(), aux.data(), sig.data());
    if (ok) *ok = r;
    return sig;
}

Bytes sign_verified(const SchnorrKeypair& kp, const Bytes& msg, const Bytes& aux, bool* ok = nullptr) {
    Bytes sig(64, 0xAA);
    const bool r = schnorr_sign_verified(kp, msg.data(), msg.size(), aux.data(), sig.data());
    if (ok) *ok = r;
    return sig;
}

bool verify(const Bytes& xonly, const Bytes& msg, const Bytes& sig) {
    SchnorrSignature s;
    return SchnorrSignature::parse(sig.data(), s) && schnorr_verify(xonly.data(), msg.data(), msg.size(), s);
}

Point affine(Point p) {
    p.to_affine_assign();
    return p;
}

Bytes random_bytes(std::mt19937_64& g, size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(g());
    return b;
}

Scalar random_key(std::mt19937_64& g) {
    Scalar d;
    do d = Scalar::from_limbs(g(), g(), g(), g());
    while (d.is_zero());
    return d;
}

// ---------------------------------------------------------------------------
// Published vectors

TEST(SchnorrVectors, EverySigningRowByteForByte) {
    int signed_rows = 0;
    for (const auto& v : bip340_vectors()) {
        if (v.seckey.empty()) continue;
        SCOPED_TRACE("row " + std::to_string(v.index));
        ++signed_rows;
        WipeOnExit<SchnorrKeypair> kp;
        schnorr_keypair(scalar_of(v.seckey), *kp);
        EXPECT_EQ(to_hex(v.pubkey), to_hex(kp->xonly, 32));
        // Rows 15 to 18 sign messages of 0, 1, 17 and 100 bytes; only the
        // internal routines take raw messages of any length.
        bool ok = false;
        EXPECT_EQ(to_hex(v.sig), to_hex(sign(*kp, v.msg, v.aux, &ok)));
        EXPECT_TRUE(ok);
        EXPECT_EQ(to_hex(v.sig), to_hex(sign_verified(*kp, v.msg, v.aux, &ok)));
        EXPECT_TRUE(ok);
    }
    EXPECT_EQ(8, signed_rows);
}

TEST(SchnorrVectors, EveryVerdictCachedAndUncached) {
    const auto rows = bip340_vectors();
    ASSERT_EQ(19u, rows.size());
    for (const auto& v : rows) {
        SCOPED_TRACE("row " + std::to_string(v.index) + ": " + v.comment);
        EXPECT_EQ(v.valid, verify(v.pubkey, v.msg, v.sig));
        SchnorrSignature s;
        XonlyPubkey key;
        const bool uncached = SchnorrSignature::parse(v.sig.data(), s) && lift_x_uncached(v.pubkey.data(), key) &&
                              schnorr_verify(key, v.msg.data(), v.msg.size(), s);
        EXPECT_EQ(v.valid, uncached);
    }
}

// The stage at which each invalid row fails decides the exported code: the
// signature's form, then the key, then the equation.
TEST(SchnorrVectors, InvalidRowsFailAtTheirStage) {
    enum Stage { Parse, Lift, Equation, Valid };
    for (const auto& v : bip340_vectors()) {
        SCOPED_TRACE("row " + std::to_string(v.index) + ": " + v.comment);
        Stage expected = v.valid ? Valid : Equation;
        if (v.index == 12 || v.index == 13) expected = Parse;  // r = p, s = n
        if (v.index == 5 || v.index == 14) expected = Lift;    // x off the curve, x > p
        SchnorrSignature s;
        XonlyPubkey key;
        Stage got = Valid;
        if (!SchnorrSignature::parse(v.sig.data(), s))
            got = Parse;
        else if (!lift_x(v.pubkey.data(), key))
            got = Lift;
        else if (!schnorr_verify(key, v.msg.data(), v.msg.size(), s))
            got = Equation;
        EXPECT_EQ(expected, got);
    }
}

// ---------------------------------------------------------------------------
// Keypairs and signing

TEST(SchnorrKeypair, OddYKeysSignWithTheirNegation) {
    int odd = 0, even = 0;
    for (uint64_t i = 1; i <= 16; ++i) {
        for (const Scalar& d : {Scalar::from_u64(i), Scalar::from_u64(i).negate()}) {
            SCOPED_TRACE(to_hex(scalar_bytes(d)));
            const Point p = affine(gen_mul_ct(d));
            const SchnorrKeypair kp = keypair(d);
            if (p.Y.is_odd()) {
                ++odd;
                EXPECT_TRUE(kp.d == d.negate());
            } else {
                ++even;
                EXPECT_TRUE(kp.d == d);
            }
            uint8_t x[32];
            p.X.to_bytes(x);
            EXPECT_EQ(to_hex(x, 32), to_hex(kp.xonly, 32));
            EXPECT_TRUE(gen_mul_ct(kp.d).has_even_y());
            // d and n - d share the x-only key and so the prepared key.
            const SchnorrKeypair twin = keypair(d.negate());
            EXPECT_TRUE(twin.d == kp.d);
            EXPECT_EQ(0, std::memcmp(twin.xonly, kp.xonly, 32));
        }
    }
    EXPECT_GT(odd, 0);
    EXPECT_GT(even, 0);
}

TEST(SchnorrKeypair, OddYKeySignatureVerifiesUnderItsXonlyKey) {
    std::mt19937_64 g(11);
    Scalar d;
    do d = random_key(g);
    while (affine(gen_mul_ct(d)).has_even_y());
    WipeOnExit<SchnorrKeypair> kp;
        schnorr_keypair(d, *kp);
    EXPECT_TRUE(kp->d == d.negate());
    const Bytes msg = random_bytes(g, 32), aux = random_bytes(g, 32);
    const Bytes sig = sign(*kp, msg, aux);
    EXPECT_TRUE(verify(Bytes(kp->xonly, kp->xonly + 32), msg, sig));
}

TEST(SchnorrKeypair, ZeroKeyGivesZeroKeypairAndNoSignature) {
    SchnorrKeypair kp = keypair(Scalar::from_u64(5));
    schnorr_keypair(Scalar::zero(), kp);  // overwrites whatever was there
    EXPECT_TRUE(kp.d.is_zero());
    EXPECT_EQ(Bytes(32, 0), Bytes(kp.xonly, kp.xonly + 32));
    const Bytes msg(32, 1), aux(32, 2);
    bool ok = true;
    EXPECT_EQ(Bytes(64, 0), sign(kp, msg, aux, &ok));
    EXPECT_FALSE(ok);
    ok = true;
    EXPECT_EQ(Bytes(64, 0), sign_verified(kp, msg, aux, &ok));
    EXPECT_FALSE(ok);
}

TEST(SchnorrSign, OutputCheckRefusesZeroRAndZeroS) {
    struct Case {
        const char* what;
        int r_byte;  // index of the one non-zero byte of r, or -1 for r = 0
        int s_byte;
        bool ok;
    };
    const Case cases[] = {
        {"both set", 0, 31, true},  {"only low bytes", 31, 31, true}, {"r zero", -1, 5, false},
        {"s zero", 7, -1, false},   {"both zero", -1, -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes sig(64, 0);
        if (c.r_byte >= 0) sig[c.r_byte] = 0x5A;
        if (c.s_byte >= 0) sig[32 + c.s_byte] = 0xA5;
        const Bytes before = sig;
        EXPECT_EQ(c.ok, schnorr_output_ok(sig.data()));
        EXPECT_EQ(c.ok ? before : Bytes(64, 0), sig);
    }
}

// A keypair whose two halves do not belong together yields a signature that
// does not verify; the verified form must catch each such fault.
TEST(SchnorrSign, VerifiedFormRefusesInconsistentKeypairs) {
    std::mt19937_64 g(12);
    Scalar odd_d;
    do odd_d = random_key(g);
    while (affine(gen_mul_ct(odd_d)).has_even_y());
    const SchnorrKeypair good = keypair(odd_d);
    const SchnorrKeypair other = keypair(random_key(g));

    SchnorrKeypair foreign_x = good;
    std::memcpy(foreign_x.xonly, other.xonly, 32);
    SchnorrKeypair unnegated = good;
    unnegated.d = odd_d;
    SchnorrKeypair unliftable = good;
    std::memset(unliftable.xonly, 0xFF, 32);

    const Bytes msg = random_bytes(g, 32), aux = random_bytes(g, 32);
    struct Case {
        const char* what;
        const SchnorrKeypair& kp;
    };
    for (const Case& c : {Case{"foreign x", foreign_x}, Case{"d not negated", unnegated},
                          Case{"x not liftable", unliftable}}) {
        SCOPED_TRACE(c.what);
        bool ok = false;
        const Bytes plain = sign(c.kp, msg, aux, &ok);
        EXPECT_TRUE(ok);  // the plain form has no way to notice
        EXPECT_FALSE(verify(Bytes(c.kp.xonly, c.kp.xonly + 32), msg, plain));
        EXPECT_EQ(Bytes(64, 0), sign_verified(c.kp, msg, aux, &ok));
        EXPECT_FALSE(ok);
    }
    bool ok = false;
    EXPECT_EQ(sign(good, msg, aux), sign_verified(good, msg, aux, &ok));
    EXPECT_TRUE(ok);
}

TEST(SchnorrSign, BlindingDoesNotChangeSignatures) {
    std::mt19937_64 g(13);
    for (int i = 0; i < 4; ++i) {
        WipeOnExit<SchnorrKeypair> kp;
        schnorr_keypair(random_key(g), *kp);
        const Bytes msg = random_bytes(g, 32), aux = random_bytes(g, 32);
        blinding_clear();
        const Bytes plain = sign(*kp, msg, aux);
        blinding_set(random_key(g));
        ASSERT_TRUE(blinding_active());
        EXPECT_EQ(plain, sign(*kp, msg, aux));
        EXPECT_EQ(plain, sign_verified(*kp, msg, aux));
        blinding_clear();
    }
}

TEST(SchnorrSign, OutputMayOverlapTheInputs) {
    std::mt19937_64 g(14);
    WipeOnExit<SchnorrKeypair> kp;
        schnorr_keypair(random_key(g), *kp);
    const Bytes msg = random_bytes(g, 32), aux = random_bytes(g, 32);
    const Bytes expected = sign(*kp, msg, aux);
    for (bool verified : {false, true}) {
        SCOPED_TRACE(verified ? "verified" : "plain");
        auto run = [&](uint8_t* m, uint8_t* a, uint8_t* out) {
            return verified ? schnorr_sign_verified(*kp, m, 32, a, out) : schnorr_sign(*kp, m, 32, a, out);
        };
        Bytes buf(64);
        std::memcpy(buf.data(), msg.data(), 32);
        Bytes a = aux;
        EXPECT_TRUE(run(buf.data(), a.data(), buf.data()));
        EXPECT_EQ(expected, buf);
        std::memcpy(buf.data() + 32, aux.data(), 32);
        Bytes m = msg;
        EXPECT_TRUE(run(m.data(), buf.data() + 32, buf.data()));
        EXPECT_EQ(expected, buf);
    }
}

TEST(SchnorrSign, RandomRoundTripsAndTampering) {
    std::mt19937_64 g(15);
    for (int i = 0; i < 24; ++i) {
        SCOPED_TRACE(i);
        WipeOnExit<SchnorrKeypair> kp;
        schnorr_keypair(random_key(g), *kp);
        const Bytes xonly(kp->xonly, kp->xonly + 32);
        const Bytes msg = random_bytes(g, (i * 7) % 70), aux = random_bytes(g, 32);
        bool ok = false;
        const Bytes sig = sign(*kp, msg, aux, &ok);
        ASSERT_TRUE(ok);
        EXPECT_TRUE(verify(xonly, msg, sig));
        EXPECT_EQ(sig, sign_verified(*kp, msg, aux));
        // Other randomness gives another valid signature.
        const Bytes sig2 = sign(*kp, msg, random_bytes(g, 32));
        EXPECT_NE(sig, sig2);
        EXPECT_TRUE(verify(xonly, msg, sig2));

        Bytes bad = sig;
        bad[g() % 64] ^= static_cast<uint8_t>(1u << (g() % 8));
        EXPECT_FALSE(verify(xonly, msg, bad));
        Bytes other_msg = msg;
        other_msg.push_back(0);
        EXPECT_FALSE(verify(xonly, other_msg, sig));
        const SchnorrKeypair other = keypair(random_key(g));
        EXPECT_FALSE(verify(Bytes(other.xonly, other.xonly + 32), msg, sig));
    }
}

// ---------------------------------------------------------------------------
// Verification

TEST(SchnorrVerify, ParseAcceptsExactlyTheCanonicalRange) {
    const Bytes one = from_hex(std::string(62, '0') + "01");
    const Bytes zero(32, 0);
    const Bytes p = from_hex(kPHex), n = from_hex(kNHex), ff(32, 0xFF);
    Bytes p_minus_1 = p, n_minus_1 = n;
    p_minus_1[31] -= 1;
    n_minus_1[31] -= 1;
    struct Case {
        const char* what;
        Bytes r, s;
        bool ok;
    };
    const Case cases[] = {
        {"r = 0, s = 1", zero, one, true},     {"r = p - 1, s = n - 1", p_minus_1, n_minus_1, true},
        {"r = p", p, one, false},              {"r = 2^256 - 1", ff, one, false},
        {"s = 0", one, zero, false},           {"s = n", one, n, false},
        {"s = 2^256 - 1", one, ff, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes sig = c.r;
        sig.insert(sig.end(), c.s.begin(), c.s.end());
        SchnorrSignature s;
        ASSERT_EQ(c.ok, SchnorrSignature::parse(sig.data(), s));
        if (c.ok) {
            Bytes back(64);
            s.write(back.data());
            EXPECT_EQ(sig, back);
        }
    }
}

TEST(SchnorrVerify, ZeroSIsRefusedEvenWhenBuiltDirectly) {
    const auto rows = bip340_vectors();
    const auto& v = rows[1];
    SchnorrSignature s;
    ASSERT_TRUE(SchnorrSignature::parse(v.sig.data(), s));
    ASSERT_TRUE(schnorr_verify(v.pubkey.data(), v.msg.data(), v.msg.size(), s));
    s.s = Scalar::zero();
    EXPECT_FALSE(schnorr_verify(v.pubkey.data(), v.msg.data(), v.msg.size(), s));
}

TEST(SchnorrVerify, AnyFormOfTheKeyPointWorks) {
    std::mt19937_64 g(16);
    Scalar d;
    do d = random_key(g);
    while (affine(gen_mul_ct(d)).has_even_y());
    WipeOnExit<SchnorrKeypair> kp;
        schnorr_keypair(d, *kp);
    const Bytes msg = random_bytes(g, 32);
    const Bytes sig_bytes = sign(*kp, msg, random_bytes(g, 32));
    SchnorrSignature sig;
    ASSERT_TRUE(SchnorrSignature::parse(sig_bytes.data(), sig));

    const Point jacobian = gen_mul_ct(d);  // odd y, Z != 1
    ASSERT_FALSE(jacobian.z_is_one);
    for (const Point& p : {jacobian, affine(jacobian), jacobian.negate(), affine(jacobian).negate()}) {
        XonlyPubkey key;
        ASSERT_TRUE(xonly_from_point(p, key));
        EXPECT_EQ(0, std::memcmp(key.bytes, kp->xonly, 32));
        EXPECT_FALSE(key.point.y.is_odd());
        EXPECT_TRUE(schnorr_verify(key, msg.data(), msg.size(), sig));
    }
    XonlyPubkey unused;
    EXPECT_FALSE(xonly_from_point(Point::infinity_point(), unused));
}

// ---------------------------------------------------------------------------
// Lifting and caches

TEST(LiftX, RefusesOutOfRangeAndOffCurve) {
    Bytes p_plus_1 = from_hex(kPHex);
    p_plus_1[31] += 1;  // = 1 mod p, and x = 1 is on the curve
    struct Case {
        const char* what;
        Bytes x;
        bool ok;
    };
    const Case cases[] = {
        {"x = 1", from_hex(std::string(62, '0') + "01"), true},
        {"x = 0 (7 is not a square)", Bytes(32, 0), false},
        {"x = 5 (132 is not a square)", from_hex(std::string(62, '0') + "05"), false},
        {"x = p", from_hex(kPHex), false},
        {"x = p + 1", p_plus_1, false},
        {"x = 2^256 - 1", Bytes(32, 0xFF), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        XonlyPubkey a, b;
        Point pt;
        EXPECT_EQ(c.ok, lift_x_uncached(c.x.data(), a));
        EXPECT_EQ(c.ok, lift_x(c.x.data(), b));
        EXPECT_EQ(c.ok, lift_x_for_verify(c.x.data(), b));
        EXPECT_EQ(c.ok, lift_x(c.x.data(), pt));
    }
}

TEST(LiftX, GivesTheEvenRootOnTheCurve) {
    XonlyPubkey g_key;
    ASSERT_TRUE(lift_x_uncached(from_hex(kGxHex).data(), g_key));
    EXPECT_TRUE(g_key.to_point().equals(Point::generator()));

    std::mt19937_64 g(17);
    int lifted = 0, odd_roots = 0;
    for (int i = 0; i < 64; ++i) {
        const Bytes x = random_bytes(g, 32);
        XonlyPubkey key;
        if (!lift_x_uncached(x.data(), key)) continue;
        ++lifted;
        EXPECT_EQ(x, Bytes(key.bytes, key.bytes + 32));
        const FieldElement& px = key.point.x;
        const FieldElement& py = key.point.y;
        EXPECT_TRUE(py.sqr().equal(px.sqr() * px + FieldElement::from_u64(7)));
        EXPECT_FALSE(py.is_odd());
        if (px.sqr().mul(px).add(FieldElement::from_u64(7)).sqrt_candidate().is_odd()) ++odd_roots;
    }
    // About half of all x lift, and about half of those needed the negation.
    EXPECT_GT(lifted, 16);
    EXPECT_GT(odd_roots, 4);
}

TEST(XonlyCaches, SlotIndexesFollowTheirHashes) {
    struct Case {
        const char* prefix;  // the first 8 bytes; the rest does not count
        size_t xonly_slot, schnorr_slot;
    };
    const Case cases[] = {
        {"0000000000000000", 0, 197},
        {"F9308A019258C310", 588, 136},
        {"DFF1D77F2A671C5F", 400, 149},
        {"0102030405060708", 375, 237},
    };
    std::mt19937_64 g(18);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefix);
        Bytes x = from_hex(c.prefix);
        const Bytes tail = random_bytes(g, 24);
        x.insert(x.end(), tail.begin(), tail.end());
        EXPECT_EQ(c.xonly_slot, XonlyPointCache::slot_of(x.data()));
        EXPECT_EQ(c.schnorr_slot, SchnorrPubkeyCache::slot_of(x.data()));
    }
}

// Keys that agree in their first 8 bytes share a slot in both caches; each
// lookup must still give the key's own point.
TEST(XonlyCaches, KeysSharingTheirFirstBytesEvictEachOther) {
    std::mt19937_64 g(19);
    const Bytes prefix = from_hex("F9308A019258C310");
    std::vector<Bytes> valid, invalid;
    while (valid.size() < 12 || invalid.size() < 4) {
        Bytes x = prefix;
        const Bytes tail = random_bytes(g, 24);
        x.insert(x.end(), tail.begin(), tail.end());
        XonlyPubkey k;
        (lift_x_uncached(x.data(), k) ? valid : invalid).push_back(x);
    }
    XonlyPointCache* points = XonlyPointCache::local();
    SchnorrPubkeyCache* schnorr = SchnorrPubkeyCache::local();
    ASSERT_NE(nullptr, points);
    ASSERT_NE(nullptr, schnorr);

    for (int round = 0; round < 3; ++round) {
        for (size_t i = 0; i < valid.size(); ++i) {
            SCOPED_TRACE("round " + std::to_string(round) + " key " + std::to_string(i));
            const Bytes& x = valid[i];
            XonlyPubkey expected, a, b;
            ASSERT_TRUE(lift_x_uncached(x.data(), expected));
            ASSERT_TRUE(lift_x_for_verify(x.data(), a));
            ASSERT_TRUE(lift_x_for_verify(x.data(), b));  // now a hit
            for (const XonlyPubkey* k : {&a, &b}) {
                EXPECT_EQ(0, std::memcmp(&expected, k, sizeof expected));
            }
            EXPECT_TRUE(points->contains(x.data()));
            EXPECT_TRUE(schnorr->contains(x.data()));
            // The previous key was pushed out of both.
            const Bytes& prev = valid[(i + valid.size() - 1) % valid.size()];
            EXPECT_FALSE(points->contains(prev.data()));
            EXPECT_FALSE(schnorr->contains(prev.data()));

            // A key that fails to lift leaves the point cache alone but
            // empties the verification cache's slot.
            XonlyPubkey unused;
            EXPECT_FALSE(lift_x_for_verify(invalid[i % invalid.size()].data(), unused));
            EXPECT_TRUE(points->contains(x.data()));
            EXPECT_FALSE(schnorr->contains(x.data()));
        }
    }
}

TEST(XonlyCaches, AreSeparatePerThread) {
    const Bytes gx = from_hex(kGxHex);
    XonlyPubkey here;
    ASSERT_TRUE(lift_x_for_verify(gx.data(), here));
    ASSERT_TRUE(XonlyPointCache::local()->contains(gx.data()));
    bool fresh_had_it = true, lifted = false;
    XonlyPubkey there;
    std::thread([&] {
        fresh_had_it =
            XonlyPointCache::local()->contains(gx.data()) || SchnorrPubkeyCache::local()->contains(gx.data());
        lifted = lift_x_for_verify(gx.data(), there);
    }).join();
    EXPECT_FALSE(fresh_had_it);
    EXPECT_TRUE(lifted);
    EXPECT_EQ(0, std::memcmp(&here, &there, sizeof here));
}

}  // namespace
}  // namespace qorvex::test::schnorr
