// FROST internals, tested by their properties (FROST has no published
// vectors for its own tags): the verification shares interpolate to the
// group key from any t of them, signing copes with either parity of R and
// of Y, the digest-to-scalar fallback, the proof of knowledge and the
// repeat detection of hostile lists.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "arith/point_mul.h"
#include "hash/sha256.h"
#include "hash/tagged_hash.h"
#include "protocol_helpers.h"
#include "protocols/frost_hash.h"
#include "protocols/frost_keygen.h"
#include "protocols/frost_sign.h"
#include "sig/schnorr.h"
#include "support/bytes.h"
#include "support/vectors.h"

namespace qorvex::test::protocols {
namespace {

using namespace qorvex::frost;

struct Group {
    uint32_t t, n;
    Bytes all_commits;
    std::vector<Bytes> shares;
    std::vector<KeyPackage> packages;
};

Bytes seed(uint8_t run, uint32_t id, uint8_t purpose) {
    Bytes s(32, run);
    s[0] = purpose;
    s[1] = static_cast<uint8_t>(id);
    return s;
}

Group keygen(uint32_t t, uint32_t n, uint8_t run) {
    Group g{t, n, {}, {}, {}};
    const size_t cs = static_cast<size_t>(commitment_size(t));
    g.all_commits.resize(cs * n);
    for (uint32_t id = 1; id <= n; ++id) {
        Bytes shares(kShareEntrySize * n);
        keygen_begin(id, t, n, seed(run, id, 'K').data(), g.all_commits.data() + cs * (id - 1), shares.data());
        g.shares.push_back(shares);
    }
    for (uint32_t id = 1; id <= n; ++id) {
        Bytes received;
        for (const Bytes& s : g.shares) received = cat({received, slice(s, kShareEntrySize * (id - 1), kShareEntrySize)});
        KeyPackage kp;
        FinalizeFault fault;
        EXPECT_TRUE(keygen_finalize(id, t, n, g.all_commits.data(), received.data(), kp, fault));
        g.packages.push_back(kp);
    }
    return g;
}

// Commitment lists carry the identifiers the Lagrange coefficients use.
std::vector<NonceCommitment> id_list(const std::vector<uint32_t>& ids) {
    std::vector<NonceCommitment> out;
    for (uint32_t id : ids) {
        NonceCommitment c;
        c.id = id;
        out.push_back(c);
    }
    return out;
}

std::vector<std::vector<uint32_t>> subsets(uint32_t n, uint32_t k) {
    std::vector<std::vector<uint32_t>> out;
    for (uint32_t mask = 0; mask < (1u << n); ++mask) {
        if (static_cast<uint32_t>(__builtin_popcount(mask)) != k) continue;
        std::vector<uint32_t> s;
        for (uint32_t i = 0; i < n; ++i)
            if (mask & (1u << i)) s.push_back(i + 1);
        out.push_back(s);
    }
    return out;
}

TEST(FrostInternals, AnyThresholdOfVerificationSharesInterpolatesToTheGroupKey) {
    for (const auto& [t, n] : {std::pair<uint32_t, uint32_t>{2, 3}, {3, 5}, {4, 4}}) {
        const Group g = keygen(t, n, static_cast<uint8_t>(t * 10 + n));
        for (const KeyPackage& kp : g.packages) EXPECT_EQ(compressed(g.packages[0].group_key), compressed(kp.group_key));
        for (const auto& ids : subsets(n, t)) {
            const auto list = id_list(ids);
            Point sum = Point::infinity_point();
            for (uint32_t id : ids) sum.add_assign(mul(g.packages[id - 1].verification_share, lagrange_coefficient(list, id)));
            EXPECT_TRUE(sum.equals(g.packages[0].group_key)) << t << " of " << n << ", from " << ids[0];
            // So do the signing shares, in the exponent's place.
            Scalar s = Scalar::zero();
            for (uint32_t id : ids) s = s + lagrange_coefficient(list, id) * g.packages[id - 1].signing_share;
            EXPECT_TRUE(mul(Point::generator(), s).equals(g.packages[0].group_key));
        }
        // Fewer than t shares interpolate to something else.
        const auto list = id_list(subsets(n, t - 1)[0]);
        Point sum = Point::infinity_point();
        for (const NonceCommitment& c : list)
            sum.add_assign(mul(g.packages[c.id - 1].verification_share, lagrange_coefficient(list, c.id)));
        EXPECT_FALSE(sum.equals(g.packages[0].group_key));
    }
    EXPECT_TRUE(lagrange_coefficient(id_list({1, 2}), 3).is_zero()) << "an identifier outside the set";
}

TEST(FrostInternals, SigningCopesWithEitherParityOfRAndY) {
    bool r_parity[2] = {false, false}, y_parity[2] = {false, false};
    for (uint8_t run = 1; run <= 4; ++run) {
        const Group g = keygen(2, 3, run);
        const KeyPackage& any = g.packages[0];
        y_parity[any.group_key33[0] == 0x03] = true;
        for (uint8_t m = 0; m < 4; ++m) {
            const std::vector<uint32_t> ids = {static_cast<uint32_t>(1 + m % 3), static_cast<uint32_t>(1 + (m + 1) % 3)};
            Bytes list, nonces;
            for (uint32_t id : ids) {
                Bytes nonce(kNonceSize), commit(kNonceCommitSize);
                sign_nonce_gen(id, seed(run, id + 16 * m, 'N').data(), nonce.data(), commit.data());
                list = cat({list, commit});
                nonces = cat({nonces, nonce});
            }
            std::vector<NonceCommitment> commits;
            NonceCommitFault fault;
            ASSERT_TRUE(parse_nonce_commitments(list.data(), ids.size(), 3, commits, fault));
            const Bytes msg(32, static_cast<uint8_t>(run * 8 + m));
            const SigningContext sc = signing_context(any.group_key33, commits, msg.data());
            r_parity[sc.r_odd] = true;
            std::vector<PartialSig> partials;
            for (size_t i = 0; i < ids.size(); ++i) {
                Scalar d, e;
                ASSERT_TRUE(Scalar::parse_nonzero(nonces.data() + kNonceSize * i, d));
                ASSERT_TRUE(Scalar::parse_nonzero(nonces.data() + kNonceSize * i + 32, e));
                const KeyPackage& kp = g.packages[ids[i] - 1];
                const Scalar z = sign(sc, commits, i, kp.signing_share, d, e);
                EXPECT_TRUE(verify_partial(sc, commits, i, z, kp.verification_share));
                partials.push_back(PartialSig{ids[i], z});
            }
            uint8_t sig[64];
            ASSERT_TRUE(aggregate(sc, partials, sig));
            SchnorrSignature parsed;
            ASSERT_TRUE(SchnorrSignature::parse(sig, parsed));
            EXPECT_TRUE(schnorr_verify(any.group_key33 + 1, msg.data(), 32, parsed));
        }
    }
    EXPECT_TRUE(r_parity[0] && r_parity[1]) << "both parities of R occurred";
    EXPECT_TRUE(y_parity[0] && y_parity[1]) << "both parities of Y occurred";
}

TEST(FrostInternals, DigestsOutsideTheRangeFallBackToTheirHash) {
    auto fallback = [](const Bytes& d) {
        Bytes buf = cat({d, Bytes(4, 0)}), out(32);
        sha256(buf.data(), buf.size(), out.data());
        return out;
    };
    const Bytes valid = from_hex("fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140");
    EXPECT_EQ(valid, scalar_bytes(hash_to_scalar(valid.data())));
    for (const char* hex : {"0000000000000000000000000000000000000000000000000000000000000000",
                            "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141",
                            "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"}) {
        const Bytes d = from_hex(hex);
        EXPECT_EQ(fallback(d), scalar_bytes(hash_to_scalar(d.data()))) << hex;
    }
    // The seeded form: tagged(tag, seed || id big-endian || extra), hashed
    // on every call under the tag's own bytes.
    const Bytes s(32, 0x11);
    Bytes msg = cat({s, Bytes{0, 0, 1, 2}, Bytes{9}});
    Bytes digest(32);
    tagged_hash(kTagKeygenPoly, msg.data(), msg.size(), digest.data());
    const uint8_t extra = 9;
    EXPECT_EQ(scalar_bytes(hash_to_scalar(digest.data())),
              scalar_bytes(seeded_scalar(kTagKeygenPoly, s.data(), 0x0102, &extra, 1)));
}

TEST(FrostInternals, TheProofOfKnowledgeBindsSenderAndConstantTerm) {
    const uint32_t t = 3, n = 4;
    const size_t cs = static_cast<size_t>(commitment_size(t));
    Bytes blob(cs), shares(kShareEntrySize * n);
    keygen_begin(2, t, n, seed(7, 2, 'K').data(), blob.data(), shares.data());
    const uint8_t* c0_bytes = blob.data() + commitment_layout::kCoefficients;
    const Point c0 = Point::decompress(c0_bytes);
    const uint8_t* rx = blob.data() + cs - 64;
    const uint8_t* z = blob.data() + cs - 32;
    EXPECT_TRUE(verify_constant_term_proof(2, c0_bytes, c0, rx, z));
    EXPECT_FALSE(verify_constant_term_proof(3, c0_bytes, c0, rx, z));
    const Point c1 = Point::decompress(c0_bytes + 33);
    EXPECT_FALSE(verify_constant_term_proof(2, c0_bytes + 33, c1, rx, z));
    // z at n or above is refused as written, not reduced.
    const Bytes order = from_hex("fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141");
    EXPECT_FALSE(verify_constant_term_proof(2, c0_bytes, c0, rx, order.data()));
    // x(R) with the wrong parity: the negated proof nonce fails the even-y
    // rule even though x matches.
    Scalar zs;
    ASSERT_TRUE(Scalar::parse_strict(z, zs));
    const Bytes z_neg = scalar_bytes(zs.negate());
    EXPECT_FALSE(verify_constant_term_proof(2, c0_bytes, c0, rx, z_neg.data()));
}

TEST(FrostInternals, RepeatsFoundInHostileLists) {
    EXPECT_EQ((std::vector<bool>{false, false, false}), repeated_earlier({3, 1, 2}));
    EXPECT_EQ((std::vector<bool>{false, false, true, true, false}), repeated_earlier({5, 9, 5, 9, 0}));
    EXPECT_EQ((std::vector<bool>{false, true, true}), repeated_earlier({7, 7, 7}));
    EXPECT_TRUE(repeated_earlier({}).empty());
    // A long list costs a sort, and the first occurrence is never flagged.
    std::vector<uint32_t> many(1 << 16);
    for (size_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint32_t>((i * 40503u) % 50000u);
    const std::vector<bool> r = repeated_earlier(many);
    std::vector<bool> seen(50000, false);
    for (size_t i = 0; i < many.size(); ++i) {
        ASSERT_EQ(seen[many[i]], r[i]) << i;
        seen[many[i]] = true;
    }
}

}  // namespace
}  // namespace qorvex::test::protocols
