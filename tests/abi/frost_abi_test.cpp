// FROST through the exported functions: key generation and signing by any
// t of N, checked with BIP-340 verification; the proof of knowledge that
// keeps a last participant from choosing the group key; every code and
// message; single use of the secret nonce; buffers that overlap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kEntry = QORVEX_FROST_SHARE_ENTRY_SIZE;
constexpr size_t kKeypkg = QORVEX_FROST_KEYPKG_SIZE;
constexpr size_t kNonce = QORVEX_FROST_NONCE_SIZE;
constexpr size_t kCommit = QORVEX_FROST_NONCE_COMMIT_SIZE;
constexpr size_t kPartial = QORVEX_FROST_PARTIAL_SIG_SIZE;
constexpr uint32_t kMax = QORVEX_FROST_MAX_PARTICIPANTS;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes slice(const Bytes& b, size_t from, size_t len) { return Bytes(b.begin() + from, b.begin() + from + len); }

Bytes le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

Bytes with(Bytes b, size_t offset, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(offset));
    return b;
}

Bytes flipped(Bytes b, size_t offset, uint8_t mask = 1) {
    b[offset] ^= mask;
    return b;
}

Bytes seed_of(uint8_t run, uint32_t id, uint8_t purpose) {
    Bytes s(32, run);
    s[0] = purpose;
    s[1] = static_cast<uint8_t>(id);
    return s;
}

// A key generation among n participants, every step through the exports.
struct Dkg {
    uint32_t t = 0, n = 0;
    std::vector<Bytes> commits, shares, keypkgs;
    Bytes all_commits;

    // The n entries addressed to participant id, in sender order.
    Bytes received(uint32_t id) const {
        Bytes out;
        for (const Bytes& s : shares) out = cat({out, slice(s, kEntry * (id - 1), kEntry)});
        return out;
    }
    Bytes group_key() const { return slice(keypkgs[0], 77, 33); }
    Bytes verification_share(uint32_t id) const { return slice(keypkgs[id - 1], 44, 33); }
};

class Frost : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void expect_error(int rc, int code, const std::string& message) {
        EXPECT_EQ(code, rc) << message;
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        if (code != 0) {
            EXPECT_EQ(message, qorvex_last_error_msg(ctx()));
        }
    }

    int begin(uint32_t id, uint32_t t, uint32_t n, const Bytes& seed, Bytes& commits, Bytes& shares) {
        commits.assign(QORVEX_FROST_COMMITMENT_SIZE(t), 0);
        shares.assign(QORVEX_FROST_SHARES_SIZE(n), 0);
        size_t cl = commits.size(), sl = shares.size();
        const int rc = qorvex_frost_keygen_begin(ctx(), id, t, n, seed.data(), commits.data(), &cl, shares.data(), &sl);
        if (rc == 0) {
            EXPECT_EQ(commits.size(), cl);
            EXPECT_EQ(shares.size(), sl);
        }
        return rc;
    }

    int finalize(const Dkg& d, uint32_t id, const Bytes& all_commits, const Bytes& received, Bytes& keypkg) {
        keypkg.assign(kKeypkg, 0xAA);
        return qorvex_frost_keygen_finalize(ctx(), id, all_commits.data(), all_commits.size(), received.data(),
                                            received.size(), d.t, d.n, keypkg.data());
    }

    Dkg keygen(uint32_t t, uint32_t n, uint8_t run) {
        Dkg d;
        d.t = t;
        d.n = n;
        for (uint32_t id = 1; id <= n; ++id) {
            Bytes c, s;
            EXPECT_EQ(0, begin(id, t, n, seed_of(run, id, 'K'), c, s));
            d.commits.push_back(c);
            d.shares.push_back(s);
            d.all_commits = cat({d.all_commits, c});
        }
        for (uint32_t id = 1; id <= n; ++id) {
            Bytes kp;
            EXPECT_EQ(0, finalize(d, id, d.all_commits, d.received(id), kp)) << qorvex_last_error_msg(ctx());
            d.keypkgs.push_back(kp);
        }
        return d;
    }

    // A signing run of the given signers: nonces, the list in the given
    // order, partial signatures (each verified) and the aggregate.
    struct Signing {
        std::vector<uint32_t> ids;
        std::vector<Bytes> nonces;
        Bytes list, partials, sig = Bytes(64);
    };

    Signing prepare(const std::vector<uint32_t>& ids, uint8_t run) {
        Signing s;
        s.ids = ids;
        for (uint32_t id : ids) {
            Bytes nonce(kNonce), commit(kCommit);
            EXPECT_EQ(0, qorvex_frost_sign_nonce_gen(ctx(), id, seed_of(run, id, 'N').data(), nonce.data(), commit.data()));
            s.nonces.push_back(nonce);
            s.list = cat({s.list, commit});
        }
        return s;
    }

    Bytes sign_one(const Dkg& d, Signing& s, size_t i, const Bytes& msg) {
        Bytes out(kPartial, 0xEE);
        EXPECT_EQ(0, qorvex_frost_sign(ctx(), d.keypkgs[s.ids[i] - 1].data(), s.nonces[i].data(), msg.data(),
                                       s.list.data(), s.ids.size(), out.data()))
            << qorvex_last_error_msg(ctx());
        return out;
    }

    Signing sign_all(const Dkg& d, const std::vector<uint32_t>& ids, const Bytes& msg, uint8_t run) {
        Signing s = prepare(ids, run);
        for (size_t i = 0; i < ids.size(); ++i) {
            const Bytes p = sign_one(d, s, i, msg);
            EXPECT_EQ(Bytes(kNonce, 0), s.nonces[i]) << "the secret nonce is wiped";
            EXPECT_EQ(0, qorvex_frost_verify_partial(ctx(), p.data(), d.verification_share(ids[i]).data(), s.list.data(),
                                                     ids.size(), msg.data(), d.group_key().data()))
                << qorvex_last_error_msg(ctx());
            s.partials = cat({s.partials, p});
        }
        EXPECT_EQ(0, qorvex_frost_aggregate(ctx(), s.partials.data(), ids.size(), s.list.data(), ids.size(),
                                            d.group_key().data(), msg.data(), s.sig.data()))
            << qorvex_last_error_msg(ctx());
        return s;
    }

    int schnorr_verify(const Dkg& d, const Bytes& msg, const Bytes& sig) {
        return qorvex_schnorr_verify(ctx(), msg.data(), sig.data(), slice(d.group_key(), 1, 32).data());
    }

    CtxPtr ctx_;
};

// Every subset of the given size, in increasing order.
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

TEST_F(Frost, AnyThresholdOfParticipantsSigns) {
    struct Shape {
        uint32_t t, n;
    };
    bool odd_group_key = false, even_group_key = false;
    uint8_t run = 1;
    for (const Shape& shape : {Shape{2, 3}, Shape{3, 5}, Shape{2, 2}, Shape{3, 3}, Shape{2, 3}, Shape{2, 3}}) {
        SCOPED_TRACE(std::to_string(shape.t) + " of " + std::to_string(shape.n) + ", run " + std::to_string(run));
        const Dkg d = keygen(shape.t, shape.n, run);
        for (const Bytes& kp : d.keypkgs) EXPECT_EQ(d.group_key(), slice(kp, 77, 33)) << "one group key for all";
        (d.group_key()[0] == 0x03 ? odd_group_key : even_group_key) = true;
        std::vector<std::vector<uint32_t>> sets = subsets(shape.n, shape.t);
        if (shape.t < shape.n) sets.push_back(subsets(shape.n, shape.t + 1).back());
        for (const auto& ids : sets) {
            Bytes msg(32, static_cast<uint8_t>(run * 16 + ids.size()));
            msg[1] = static_cast<uint8_t>(ids[0] * 3 + ids[1]);
            const Signing s = sign_all(d, ids, msg, static_cast<uint8_t>(run + ids[0]));
            EXPECT_EQ(0, schnorr_verify(d, msg, s.sig));
            msg[0] ^= 1;
            EXPECT_EQ(QORVEX_ERR_VERIFY_FAIL, schnorr_verify(d, msg, s.sig));
        }
        ++run;
    }
    // Odd-y group keys are normalised at signing time; both kinds occur.
    EXPECT_TRUE(odd_group_key && even_group_key);
}

TEST_F(Frost, KeyGenerationFollowsTheSeedAndIdentifier) {
    Bytes c1, s1, c2, s2, c3, s3;
    ASSERT_EQ(0, begin(2, 3, 4, seed_of(9, 0, 'K'), c1, s1));
    ASSERT_EQ(0, begin(2, 3, 4, seed_of(9, 0, 'K'), c2, s2));
    EXPECT_EQ(c1, c2);
    EXPECT_EQ(s1, s2);
    ASSERT_EQ(0, begin(3, 3, 4, seed_of(9, 0, 'K'), c3, s3));
    EXPECT_EQ(QORVEX_FROST_COMMITMENT_SIZE(3), c1.size());
    EXPECT_EQ(size_t{33 * 3 + 72}, c1.size());
    EXPECT_EQ(le32(3), slice(c1, 0, 4));
    EXPECT_EQ(le32(2), slice(c1, 4, 4));
    EXPECT_EQ(le32(3), slice(c3, 4, 4));
    // Another identifier: unrelated coefficients, proof and shares.
    for (size_t k = 0; k < 3; ++k) EXPECT_NE(slice(c1, 8 + 33 * k, 33), slice(c3, 8 + 33 * k, 33));
    EXPECT_NE(slice(c1, 107, 64), slice(c3, 107, 64));
    for (uint32_t j = 0; j < 4; ++j) {
        EXPECT_EQ(le32(2), slice(s1, kEntry * j, 4)) << "every entry names its sender";
        EXPECT_NE(slice(s1, kEntry * j + 4, 32), slice(s3, kEntry * j + 4, 32));
    }
}

TEST_F(Frost, KeygenBeginCodes) {
    const Bytes seed = seed_of(1, 1, 'K');
    struct Case {
        const char* what;
        uint32_t id, t, n;
        size_t commits_cap, shares_cap;
        int code;
        const char* message;
    };
    const size_t c23 = QORVEX_FROST_COMMITMENT_SIZE(2), s3 = QORVEX_FROST_SHARES_SIZE(3);
    const Case cases[] = {
        {"t = 1", 1, 1, 3, c23, s3, QORVEX_ERR_BAD_INPUT, "invalid threshold"},
        {"t = 0", 1, 0, 3, c23, s3, QORVEX_ERR_BAD_INPUT, "invalid threshold"},
        {"N < t", 1, 3, 2, c23, s3, QORVEX_ERR_BAD_INPUT, "invalid threshold"},
        {"id = 0", 0, 2, 3, c23, s3, QORVEX_ERR_BAD_INPUT, "invalid participant_id"},
        {"id > N", 4, 2, 3, c23, s3, QORVEX_ERR_BAD_INPUT, "invalid participant_id"},
        {"N = 2^20 + 1", 1, 2, kMax + 1, c23, s3, QORVEX_ERR_BAD_INPUT, "num_participants too large"},
        // N = 2^20 passes the size check and reaches the buffer checks.
        {"N = 2^20, small shares", 1, 2, kMax, c23, s3, QORVEX_ERR_BUF_TOO_SMALL, "shares buffer too small"},
        {"commits one short", 1, 2, 3, c23 - 1, s3, QORVEX_ERR_BUF_TOO_SMALL, "commits buffer too small"},
        {"commits without the proof", 1, 2, 3, 33 * 2 + 8, s3, QORVEX_ERR_BUF_TOO_SMALL, "commits buffer too small"},
        {"shares one short", 1, 2, 3, c23, s3 - 1, QORVEX_ERR_BUF_TOO_SMALL, "shares buffer too small"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes commits(c23 + 8, 0xAA), shares(s3 + 8, 0xAA);
        size_t cl = c.commits_cap, sl = c.shares_cap;
        expect_error(qorvex_frost_keygen_begin(ctx(), c.id, c.t, c.n, seed.data(), commits.data(), &cl, shares.data(), &sl),
                     c.code, c.message);
        EXPECT_EQ(c.commits_cap, cl);
        EXPECT_EQ(c.shares_cap, sl);
        EXPECT_EQ(Bytes(c23 + 8, 0xAA), commits);
        EXPECT_EQ(Bytes(s3 + 8, 0xAA), shares);
    }
    // Exact capacities succeed; larger ones report the sizes written.
    Bytes commits(c23 + 8, 0xAA), shares(s3 + 8, 0xAA);
    size_t cl = c23, sl = s3;
    ASSERT_EQ(0, qorvex_frost_keygen_begin(ctx(), 1, 2, 3, seed.data(), commits.data(), &cl, shares.data(), &sl));
    cl = commits.size();
    sl = shares.size();
    ASSERT_EQ(0, qorvex_frost_keygen_begin(ctx(), 1, 2, 3, seed.data(), commits.data(), &cl, shares.data(), &sl));
    EXPECT_EQ(c23, cl);
    EXPECT_EQ(s3, sl);
    EXPECT_EQ(Bytes(8, 0xAA), slice(commits, c23, 8));
    EXPECT_EQ(Bytes(8, 0xAA), slice(shares, s3, 8));
}

TEST_F(Frost, FinalizeChecksEveryBlobInOrder) {
    const Dkg d = keygen(2, 3, 20);
    const size_t cs = QORVEX_FROST_COMMITMENT_SIZE(2);  // 138
    const Bytes& all = d.all_commits;
    const Bytes mine = d.received(1);
    // Blob b starts at cs * b; its proof at + 74 (x(R)) and + 106 (z).
    const Bytes order = be32(kOrderHex);
    struct Case {
        std::string what;
        Bytes commits, shares;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"count 3", with(all, cs * 1, le32(3)), mine, QORVEX_ERR_BAD_INPUT, "invalid commitment coefficient count"},
        {"sender 0", with(all, cs * 1 + 4, le32(0)), mine, QORVEX_ERR_BAD_INPUT, "invalid commitment sender"},
        {"sender 4", with(all, cs * 2 + 4, le32(4)), mine, QORVEX_ERR_BAD_INPUT, "invalid commitment sender"},
        {"sender repeated", with(all, cs * 2 + 4, le32(2)), mine, QORVEX_ERR_BAD_INPUT, "duplicate commitment sender"},
        {"C_1 prefix 04", with(all, cs * 1 + 8 + 33, {0x04}), mine, QORVEX_ERR_BAD_INPUT,
         "invalid commitment coefficient"},
        {"C_0 x = p", with(all, cs * 0 + 9, be32("fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f")), mine,
         QORVEX_ERR_BAD_INPUT, "invalid commitment coefficient"},
        {"x(R) changed", flipped(all, cs * 1 + 74 + 5), mine, QORVEX_ERR_BAD_INPUT,
         "invalid commitment proof of knowledge"},
        {"z changed", flipped(all, cs * 2 + 106 + 31), mine, QORVEX_ERR_BAD_INPUT,
         "invalid commitment proof of knowledge"},
        {"z = n", with(all, cs * 0 + 106, order), mine, QORVEX_ERR_BAD_INPUT, "invalid commitment proof of knowledge"},
        {"C_0 changed to another point", with(all, cs * 1 + 8, d.verification_share(2)), mine, QORVEX_ERR_BAD_INPUT,
         "invalid commitment proof of knowledge"},
        {"share sender 0", all, with(mine, kEntry * 1, le32(0)), QORVEX_ERR_BAD_INPUT, "invalid share sender"},
        {"share sender 4", all, with(mine, kEntry * 2, le32(4)), QORVEX_ERR_BAD_INPUT, "invalid share sender"},
        {"share sender repeated", all, with(mine, kEntry * 2, le32(1)), QORVEX_ERR_BAD_INPUT, "duplicate share sender"},
        {"share = n", all, with(mine, kEntry * 1 + 4, order), QORVEX_ERR_BAD_INPUT, "invalid share scalar"},
        {"share one bit off", all, flipped(mine, kEntry * 1 + 4 + 20, 0x10), QORVEX_ERR_INTERNAL,
         "FROST keygen finalize failed"},
        {"C_1 changed to another point", with(all, cs * 2 + 8 + 33, d.verification_share(2)), mine, QORVEX_ERR_INTERNAL,
         "FROST keygen finalize failed"},
        {"share meant for participant 2", all, d.received(2), QORVEX_ERR_INTERNAL, "FROST keygen finalize failed"},
        // Blobs before shares: a bad proof in the last blob is reported
        // although the first share is bad too.
        {"bad proof and bad share", flipped(all, cs * 2 + 74), with(mine, 0, le32(0)), QORVEX_ERR_BAD_INPUT,
         "invalid commitment proof of knowledge"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes kp;
        expect_error(finalize(d, 1, c.commits, c.shares, kp), c.code, c.message);
        EXPECT_EQ(Bytes(kKeypkg, 0xAA), kp) << "written only on success";
    }
}

TEST_F(Frost, FinalizeCountsAndLengths) {
    const Dkg d = keygen(2, 3, 21);
    const Bytes mine = d.received(1);
    struct Case {
        const char* what;
        uint32_t id, t, n;
        size_t commits_len, shares_len;
        int code;
        const char* message;
    };
    const size_t cl = d.all_commits.size(), sl = mine.size();
    const Case cases[] = {
        {"t = 1", 1, 1, 3, cl, sl, QORVEX_ERR_BAD_INPUT, "invalid threshold"},
        {"id = 0", 0, 2, 3, cl, sl, QORVEX_ERR_BAD_INPUT, "invalid participant_id"},
        {"id = 4", 4, 2, 3, cl, sl, QORVEX_ERR_BAD_INPUT, "invalid participant_id"},
        {"N too large", 1, 2, kMax + 1, cl, sl, QORVEX_ERR_BAD_INPUT, "num_participants too large"},
        {"blobs without proofs", 1, 2, 3, 3 * (33 * 2 + 8), sl, QORVEX_ERR_BAD_INPUT,
         "all_commits length does not match threshold and num_participants"},
        {"one byte short", 1, 2, 3, cl - 1, sl, QORVEX_ERR_BAD_INPUT,
         "all_commits length does not match threshold and num_participants"},
        {"another t", 1, 3, 3, cl, sl, QORVEX_ERR_BAD_INPUT,
         "all_commits length does not match threshold and num_participants"},
        {"shares one short", 1, 2, 3, cl, sl - 1, QORVEX_ERR_BAD_INPUT,
         "received_shares length does not match num_participants"},
        {"N = 2^20 with the lengths of 3", 1, 2, kMax, cl, sl, QORVEX_ERR_BAD_INPUT,
         "all_commits length does not match threshold and num_participants"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes kp(kKeypkg, 0xAA);
        expect_error(qorvex_frost_keygen_finalize(ctx(), c.id, d.all_commits.data(), c.commits_len, mine.data(),
                                                  c.shares_len, c.t, c.n, kp.data()),
                     c.code, c.message);
        EXPECT_EQ(Bytes(kKeypkg, 0xAA), kp);
    }
}

TEST_F(Frost, FinalizeTakesBlobsAndSharesInAnyOrder) {
    const Dkg d = keygen(3, 4, 22);
    const size_t cs = QORVEX_FROST_COMMITMENT_SIZE(3);
    for (uint32_t id = 1; id <= 4; ++id) {
        const Bytes in_order = d.received(id);
        Bytes commits, shares;
        for (uint32_t b : {3u, 0u, 2u, 1u}) {
            commits = cat({commits, slice(d.all_commits, cs * b, cs)});
            shares = cat({shares, slice(in_order, kEntry * ((b + id) % 4), kEntry)});
        }
        Bytes kp;
        ASSERT_EQ(0, finalize(d, id, commits, shares, kp)) << qorvex_last_error_msg(ctx());
        EXPECT_EQ(d.keypkgs[id - 1], kp);
        EXPECT_EQ(Bytes(31, 0), slice(kp, 110, 31));
        EXPECT_EQ(le32(id), slice(kp, 0, 4));
        EXPECT_EQ(le32(3), slice(kp, 4, 4));
        EXPECT_EQ(le32(4), slice(kp, 8, 4));
        // The verification share is the signing share's public key.
        Bytes y(33);
        ASSERT_EQ(0, qorvex_pubkey_create(ctx(), slice(kp, 12, 32).data(), y.data()));
        EXPECT_EQ(y, slice(kp, 44, 33));
    }
}

// The participant who moves last sees the others' C_0 and publishes
// C_0' = T - sum of theirs, for a T = x G of its choosing: the group key
// would be T and it alone would know x. It cannot prove knowledge of the
// discrete log of C_0', so finalisation refuses the blob.
TEST_F(Frost, ALastParticipantCannotChooseTheGroupKey) {
    const uint32_t t = 2, n = 2;
    const size_t cs = QORVEX_FROST_COMMITMENT_SIZE(t);
    Bytes honest_c, honest_s, rogue_c, rogue_s;
    ASSERT_EQ(0, begin(1, t, n, seed_of(30, 1, 'K'), honest_c, honest_s));
    ASSERT_EQ(0, begin(2, t, n, seed_of(30, 2, 'K'), rogue_c, rogue_s));
    const Bytes x = be32("c0ffee");
    Bytes target(33), neg_c0(33), c0_rogue(33), sum(33);
    ASSERT_EQ(0, qorvex_pubkey_create(ctx(), x.data(), target.data()));
    ASSERT_EQ(0, qorvex_pubkey_negate(ctx(), slice(honest_c, 8, 33).data(), neg_c0.data()));
    ASSERT_EQ(0, qorvex_pubkey_add(ctx(), target.data(), neg_c0.data(), c0_rogue.data()));
    ASSERT_EQ(0, qorvex_pubkey_add(ctx(), slice(honest_c, 8, 33).data(), c0_rogue.data(), sum.data()));
    ASSERT_EQ(target, sum) << "without the proof the group key would be T";

    Dkg d;
    d.t = t;
    d.n = n;
    // The rogue blob keeps the proof of its real C_0; a fresh "proof" with
    // x(R) and z picked at will fares no better.
    const Bytes with_old_proof = with(rogue_c, 8, c0_rogue);
    const Bytes with_made_up_proof = with(with_old_proof, cs - 64, cat({slice(target, 1, 32), x}));
    for (const Bytes& rogue : {with_old_proof, with_made_up_proof}) {
        const Bytes all = cat({honest_c, rogue});
        const Bytes received = cat({slice(honest_s, 0, kEntry), slice(rogue_s, 0, kEntry)});
        Bytes kp;
        expect_error(finalize(d, 1, all, received, kp), QORVEX_ERR_BAD_INPUT, "invalid commitment proof of knowledge");
        EXPECT_EQ(Bytes(kKeypkg, 0xAA), kp);
    }
    // The proof is bound to its sender: participant 2's honest blob passed
    // off as participant 1's (and the other way round) is refused too.
    const Bytes swapped = cat({with(rogue_c, 4, le32(1)), with(honest_c, 4, le32(2))});
    const Bytes received = cat({slice(honest_s, 0, kEntry), slice(rogue_s, 0, kEntry)});
    Bytes kp;
    expect_error(finalize(d, 1, swapped, received, kp), QORVEX_ERR_BAD_INPUT, "invalid commitment proof of knowledge");
    // The honest pair goes through.
    EXPECT_EQ(0, finalize(d, 1, cat({honest_c, rogue_c}), received, kp));
}

TEST_F(Frost, NonceGeneration) {
    const Bytes seed = seed_of(40, 0, 'N');
    Bytes n1(kNonce), c1(kCommit), n2(kNonce), c2(kCommit), n3(kNonce), c3(kCommit);
    ASSERT_EQ(0, qorvex_frost_sign_nonce_gen(ctx(), 5, seed.data(), n1.data(), c1.data()));
    ASSERT_EQ(0, qorvex_frost_sign_nonce_gen(ctx(), 5, seed.data(), n2.data(), c2.data()));
    ASSERT_EQ(0, qorvex_frost_sign_nonce_gen(ctx(), 6, seed.data(), n3.data(), c3.data()));
    EXPECT_EQ(n1, n2);
    EXPECT_EQ(c1, c2);
    EXPECT_NE(slice(n1, 0, 32), slice(n3, 0, 32));
    EXPECT_NE(slice(n1, 32, 32), slice(n3, 32, 32));
    EXPECT_EQ(le32(5), slice(c1, 0, 4));
    Bytes p(33);
    ASSERT_EQ(0, qorvex_pubkey_create(ctx(), slice(n1, 0, 32).data(), p.data()));
    EXPECT_EQ(p, slice(c1, 4, 33));
    ASSERT_EQ(0, qorvex_pubkey_create(ctx(), slice(n1, 32, 32).data(), p.data()));
    EXPECT_EQ(p, slice(c1, 37, 33));
    // No upper bound on the identifier here.
    EXPECT_EQ(0, qorvex_frost_sign_nonce_gen(ctx(), 0xFFFFFFFFu, seed.data(), n3.data(), c3.data()));
    Bytes nonce(kNonce, 0xAA), commit(kCommit, 0xAA);
    expect_error(qorvex_frost_sign_nonce_gen(ctx(), 0, seed.data(), nonce.data(), commit.data()), QORVEX_ERR_BAD_INPUT,
                 "invalid participant_id");
    EXPECT_EQ(Bytes(kNonce, 0xAA), nonce);
    EXPECT_EQ(Bytes(kCommit, 0xAA), commit);
}

TEST_F(Frost, SignCodesWipeTheNonceEveryTime) {
    const Dkg d = keygen(2, 3, 50);
    const Bytes msg(32, 0x50);
    Signing s = prepare({1, 2}, 50);
    const Bytes kp = d.keypkgs[0];
    const Bytes nonce = s.nonces[0];
    const Bytes list = s.list;
    const Bytes order = be32(kOrderHex);
    // A list with room for four entries, for the counts checked before it
    // is read.
    const Bytes long_list = cat({list, list});
    const Bytes other_commit = slice(prepare({3}, 51).list, 0, kCommit);
    struct Case {
        std::string what;
        Bytes keypkg, nonce, list;
        size_t n;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"no signers", kp, nonce, list, 0, QORVEX_ERR_BAD_INPUT, "n_signers must be non-zero"},
        {"2^20 + 1 signers", kp, nonce, list, size_t{kMax} + 1, QORVEX_ERR_BAD_INPUT, "n_signers too large"},
        {"N = 0", with(kp, 8, le32(0)), nonce, list, 2, QORVEX_ERR_BAD_KEY, "invalid key package participant metadata"},
        {"id = 0", with(kp, 0, le32(0)), nonce, list, 2, QORVEX_ERR_BAD_KEY, "invalid key package participant metadata"},
        {"id > N", with(kp, 0, le32(4)), nonce, list, 2, QORVEX_ERR_BAD_KEY, "invalid key package participant metadata"},
        {"t = 1", with(kp, 4, le32(1)), nonce, list, 2, QORVEX_ERR_BAD_KEY, "invalid key package threshold"},
        {"t > N", with(kp, 4, le32(4)), nonce, list, 2, QORVEX_ERR_BAD_KEY, "invalid key package threshold"},
        {"more signers than N", kp, nonce, long_list, 4, QORVEX_ERR_BAD_INPUT, "invalid signer count"},
        {"below the threshold", kp, nonce, list, 1, QORVEX_ERR_BAD_INPUT,
         "n_signers below threshold (FROST requires >= t signers)"},
        {"signing share 0", with(kp, 12, Bytes(32, 0)), nonce, list, 2, QORVEX_ERR_BAD_KEY,
         "invalid signing share in keypkg"},
        {"signing share n", with(kp, 12, order), nonce, list, 2, QORVEX_ERR_BAD_KEY, "invalid signing share in keypkg"},
        {"verification share", with(kp, 44, {0x04}), nonce, list, 2, QORVEX_ERR_BAD_KEY, "invalid verification share"},
        {"group key", with(kp, 77, {0x00}), nonce, list, 2, QORVEX_ERR_BAD_KEY, "invalid group public key"},
        {"d = 0", kp, with(nonce, 0, Bytes(32, 0)), list, 2, QORVEX_ERR_BAD_INPUT, "invalid hiding nonce"},
        {"e = n", kp, with(nonce, 32, order), list, 2, QORVEX_ERR_BAD_INPUT, "invalid binding nonce"},
        {"commitment id 0", kp, nonce, with(list, kCommit, le32(0)), 2, QORVEX_ERR_BAD_INPUT,
         "invalid nonce commitment signer"},
        {"commitment id above N", kp, nonce, with(list, kCommit, le32(4)), 2, QORVEX_ERR_BAD_INPUT,
         "invalid nonce commitment signer"},
        {"commitment id repeated", kp, nonce, with(list, kCommit, le32(1)), 2, QORVEX_ERR_BAD_INPUT,
         "duplicate nonce commitment signer"},
        {"D prefix 04", kp, nonce, with(list, kCommit + 4, {0x04}), 2, QORVEX_ERR_BAD_INPUT, "invalid hiding nonce point"},
        {"E prefix 04", kp, nonce, with(list, 37, {0x04}), 2, QORVEX_ERR_BAD_INPUT, "invalid binding nonce point"},
        {"own commitment missing", kp, nonce, cat({slice(list, kCommit, kCommit), other_commit}), 2,
         QORVEX_ERR_BAD_INPUT, "missing signer nonce commitment"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes nonce_buf = c.nonce, out(kPartial, 0xAA);
        expect_error(qorvex_frost_sign(ctx(), c.keypkg.data(), nonce_buf.data(), msg.data(), c.list.data(), c.n,
                                       out.data()),
                     c.code, c.message);
        EXPECT_EQ(Bytes(kNonce, 0), nonce_buf);
        EXPECT_EQ(Bytes(kPartial, 0), out);
    }
    // NULL arguments: nothing is touched, the nonce included.
    Bytes nonce_buf = nonce, out(kPartial, 0xAA);
    EXPECT_EQ(QORVEX_ERR_NULL_ARG,
              qorvex_frost_sign(ctx(), kp.data(), nonce_buf.data(), msg.data(), nullptr, 2, out.data()));
    EXPECT_EQ(nonce, nonce_buf);
    EXPECT_EQ(Bytes(kPartial, 0xAA), out);
}

TEST_F(Frost, ASecretNonceSignsOnce) {
    const Dkg d = keygen(2, 3, 51);
    const Bytes msg(32, 0x51);
    Signing s = prepare({2, 3}, 52);
    const Bytes first = sign_one(d, s, 0, msg);
    EXPECT_EQ(le32(2), slice(first, 0, 4));
    Bytes second(kPartial, 0xAA);
    expect_error(qorvex_frost_sign(ctx(), d.keypkgs[1].data(), s.nonces[0].data(), msg.data(), s.list.data(), 2,
                                   second.data()),
                 QORVEX_ERR_BAD_INPUT, "invalid hiding nonce");
    EXPECT_EQ(Bytes(kPartial, 0), second);
}

TEST_F(Frost, VerifyPartialCodes) {
    const Dkg d = keygen(2, 3, 60);
    const Bytes msg(32, 0x60);
    const Signing s = sign_all(d, {1, 3}, msg, 60);
    const Bytes p = slice(s.partials, 0, kPartial);
    const Bytes share = d.verification_share(1), group = d.group_key();
    const Bytes order = be32(kOrderHex);
    struct Case {
        std::string what;
        Bytes psig, share, list;
        size_t n;
        Bytes group;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"no signers", p, share, s.list, 0, group, QORVEX_ERR_BAD_INPUT, "n_signers must be non-zero"},
        {"too many", p, share, s.list, size_t{kMax} + 1, group, QORVEX_ERR_BAD_INPUT, "n_signers too large"},
        {"id 0", with(p, 0, le32(0)), share, s.list, 2, group, QORVEX_ERR_BAD_INPUT, "partial_sig.id must be non-zero"},
        {"z = n", with(p, 4, order), share, s.list, 2, group, QORVEX_ERR_BAD_SIG, "invalid partial sig scalar"},
        {"verification share", p, with(share, 0, {0x05}), s.list, 2, group, QORVEX_ERR_BAD_PUBKEY,
         "invalid verification share"},
        {"commitment id 0", p, share, with(s.list, kCommit, le32(0)), 2, group, QORVEX_ERR_BAD_INPUT,
         "nonce commitment signer IDs must be non-zero"},
        {"commitment id repeated", p, share, with(s.list, kCommit, le32(1)), 2, group, QORVEX_ERR_BAD_INPUT,
         "duplicate nonce commitment signer IDs"},
        {"D", p, share, with(s.list, 4, {0x04}), 2, group, QORVEX_ERR_BAD_INPUT, "invalid hiding nonce point"},
        {"E", p, share, with(s.list, kCommit + 37, {0x04}), 2, group, QORVEX_ERR_BAD_INPUT,
         "invalid binding nonce point"},
        {"id not listed", with(p, 0, le32(2)), share, s.list, 2, group, QORVEX_ERR_BAD_INPUT,
         "partial_sig.id not found in nonce_commits"},
        {"group key", p, share, s.list, 2, with(group, 0, {0x04}), QORVEX_ERR_BAD_PUBKEY, "invalid group public key"},
        {"z changed", flipped(p, 35), share, s.list, 2, group, QORVEX_ERR_VERIFY_FAIL,
         "FROST partial signature verification failed"},
        // z = 0 is in range: the equation refuses it.
        {"z = 0", with(p, 4, Bytes(32, 0)), share, s.list, 2, group, QORVEX_ERR_VERIFY_FAIL,
         "FROST partial signature verification failed"},
        {"another signer's share", p, d.verification_share(3), s.list, 2, group, QORVEX_ERR_VERIFY_FAIL,
         "FROST partial signature verification failed"},
        {"list in another order", p, share, cat({slice(s.list, kCommit, kCommit), slice(s.list, 0, kCommit)}), 2, group,
         QORVEX_ERR_VERIFY_FAIL, "FROST partial signature verification failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expect_error(qorvex_frost_verify_partial(ctx(), c.psig.data(), c.share.data(), c.list.data(), c.n, msg.data(),
                                                 c.group.data()),
                     c.code, c.message);
    }
}

TEST_F(Frost, AggregateCodes) {
    const Dkg d = keygen(2, 3, 70);
    const Bytes msg(32, 0x70);
    const Signing s = sign_all(d, {2, 3}, msg, 70);
    const Bytes& ps = s.partials;
    const Bytes group = d.group_key();
    // Partial signatures in another order than the list give the same
    // signature.
    Bytes sig(64);
    const Bytes reversed = cat({slice(ps, kPartial, kPartial), slice(ps, 0, kPartial)});
    ASSERT_EQ(0, qorvex_frost_aggregate(ctx(), reversed.data(), 2, s.list.data(), 2, group.data(), msg.data(), sig.data()));
    EXPECT_EQ(s.sig, sig);
    EXPECT_EQ(0, schnorr_verify(d, msg, sig));

    Bytes negated_z = slice(ps, 4, 32);
    ASSERT_EQ(0, qorvex_seckey_negate(ctx(), negated_z.data()));
    struct Case {
        std::string what;
        Bytes psigs;
        size_t n_psigs;
        Bytes list;
        size_t n;
        Bytes group;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"no partial signatures", ps, 0, s.list, 2, group, QORVEX_ERR_BAD_INPUT, "partial_sigs must be non-empty"},
        {"no signers", ps, 2, s.list, 0, group, QORVEX_ERR_BAD_INPUT, "n_signers must be non-zero"},
        {"counts differ", ps, 1, s.list, 2, group, QORVEX_ERR_BAD_INPUT, "partial/nonces signer count mismatch"},
        {"too many", ps, size_t{kMax} + 1, s.list, size_t{kMax} + 1, group, QORVEX_ERR_BAD_INPUT,
         "signer count too large"},
        {"partial id 0", with(ps, kPartial, le32(0)), 2, s.list, 2, group, QORVEX_ERR_BAD_INPUT,
         "invalid partial sig signer"},
        {"partial id repeated", with(ps, kPartial, le32(2)), 2, s.list, 2, group, QORVEX_ERR_BAD_INPUT,
         "duplicate partial sig signer"},
        // Verification takes z = 0; aggregation does not.
        {"z = 0", with(ps, 4, Bytes(32, 0)), 2, s.list, 2, group, QORVEX_ERR_BAD_SIG, "invalid partial sig scalar"},
        {"commitment id 0", ps, 2, with(s.list, 0, le32(0)), 2, group, QORVEX_ERR_BAD_INPUT,
         "invalid nonce commitment signer"},
        {"commitment id repeated", ps, 2, with(s.list, kCommit, le32(2)), 2, group, QORVEX_ERR_BAD_INPUT,
         "duplicate nonce commitment signer"},
        {"D", ps, 2, with(s.list, kCommit + 4, {0x04}), 2, group, QORVEX_ERR_BAD_INPUT, "invalid hiding nonce point"},
        {"E", ps, 2, with(s.list, 37, {0x04}), 2, group, QORVEX_ERR_BAD_INPUT, "invalid binding nonce point"},
        {"signer not listed", with(ps, 0, le32(1)), 2, s.list, 2, group, QORVEX_ERR_BAD_INPUT,
         "partial sig signer missing from nonce commitments"},
        {"group key", ps, 2, s.list, 2, with(group, 0, {0x06}), QORVEX_ERR_BAD_KEY, "invalid group public key"},
        {"z summing to zero", with(ps, kPartial + 4, negated_z), 2, s.list, 2, group, QORVEX_ERR_INTERNAL,
         "FROST aggregate produced invalid signature"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes out(64, 0xAA);
        expect_error(qorvex_frost_aggregate(ctx(), c.psigs.data(), c.n_psigs, c.list.data(), c.n, c.group.data(),
                                            msg.data(), out.data()),
                     c.code, c.message);
        EXPECT_EQ(Bytes(64, 0), out) << "zeroed first";
    }
}

TEST_F(Frost, EverySignerMustSeeTheSameList) {
    const Dkg d = keygen(2, 3, 80);
    const Bytes msg(32, 0x80);
    Signing s = prepare({1, 2}, 80);
    const Bytes reordered = cat({slice(s.list, kCommit, kCommit), slice(s.list, 0, kCommit)});
    Bytes p1(kPartial), p2(kPartial), sig(64);
    ASSERT_EQ(0, qorvex_frost_sign(ctx(), d.keypkgs[0].data(), s.nonces[0].data(), msg.data(), s.list.data(), 2,
                                   p1.data()));
    ASSERT_EQ(0, qorvex_frost_sign(ctx(), d.keypkgs[1].data(), s.nonces[1].data(), msg.data(), reordered.data(), 2,
                                   p2.data()));
    EXPECT_EQ(0, qorvex_frost_verify_partial(ctx(), p1.data(), d.verification_share(1).data(), s.list.data(), 2,
                                             msg.data(), d.group_key().data()));
    EXPECT_EQ(QORVEX_ERR_VERIFY_FAIL,
              qorvex_frost_verify_partial(ctx(), p2.data(), d.verification_share(2).data(), s.list.data(), 2, msg.data(),
                                          d.group_key().data()));
    const Bytes both = cat({p1, p2});
    ASSERT_EQ(0, qorvex_frost_aggregate(ctx(), both.data(), 2, s.list.data(), 2, d.group_key().data(), msg.data(),
                                        sig.data()));
    EXPECT_EQ(QORVEX_ERR_VERIFY_FAIL, schnorr_verify(d, msg, sig));
}

TEST_F(Frost, NullArgumentsTouchNothing) {
    Bytes dummy(256, 0x33);
    size_t len = dummy.size();
    // A failure that a NULL argument must not replace.
    ASSERT_EQ(QORVEX_ERR_BAD_INPUT, qorvex_frost_sign_nonce_gen(ctx(), 0, dummy.data(), dummy.data(), dummy.data()));
    dummy.assign(256, 0x33);
    const uint8_t* p = dummy.data();
    uint8_t* w = dummy.data();
    const std::vector<std::function<int()>> calls = {
        [&] { return qorvex_frost_keygen_begin(nullptr, 1, 2, 3, p, w, &len, w, &len); },
        [&] { return qorvex_frost_keygen_begin(ctx(), 1, 2, 3, nullptr, w, &len, w, &len); },
        [&] { return qorvex_frost_keygen_begin(ctx(), 1, 2, 3, p, nullptr, &len, w, &len); },
        [&] { return qorvex_frost_keygen_begin(ctx(), 1, 2, 3, p, w, nullptr, w, &len); },
        [&] { return qorvex_frost_keygen_begin(ctx(), 1, 2, 3, p, w, &len, nullptr, &len); },
        [&] { return qorvex_frost_keygen_begin(ctx(), 1, 2, 3, p, w, &len, w, nullptr); },
        [&] { return qorvex_frost_keygen_finalize(ctx(), 1, nullptr, 1, p, 1, 2, 3, w); },
        [&] { return qorvex_frost_keygen_finalize(ctx(), 1, p, 1, nullptr, 1, 2, 3, w); },
        [&] { return qorvex_frost_keygen_finalize(ctx(), 1, p, 1, p, 1, 2, 3, nullptr); },
        [&] { return qorvex_frost_sign_nonce_gen(ctx(), 1, nullptr, w, w); },
        [&] { return qorvex_frost_sign_nonce_gen(ctx(), 1, p, nullptr, w); },
        [&] { return qorvex_frost_sign_nonce_gen(ctx(), 1, p, w, nullptr); },
        [&] { return qorvex_frost_sign(ctx(), nullptr, w, p, p, 2, w); },
        [&] { return qorvex_frost_sign(ctx(), p, nullptr, p, p, 2, w); },
        [&] { return qorvex_frost_sign(ctx(), p, w, nullptr, p, 2, w); },
        [&] { return qorvex_frost_sign(ctx(), p, w, p, p, 2, nullptr); },
        [&] { return qorvex_frost_verify_partial(ctx(), nullptr, p, p, 2, p, p); },
        [&] { return qorvex_frost_verify_partial(ctx(), p, nullptr, p, 2, p, p); },
        [&] { return qorvex_frost_verify_partial(ctx(), p, p, nullptr, 2, p, p); },
        [&] { return qorvex_frost_verify_partial(ctx(), p, p, p, 2, nullptr, p); },
        [&] { return qorvex_frost_verify_partial(ctx(), p, p, p, 2, p, nullptr); },
        [&] { return qorvex_frost_aggregate(ctx(), nullptr, 2, p, 2, p, p, w); },
        [&] { return qorvex_frost_aggregate(ctx(), p, 2, nullptr, 2, p, p, w); },
        [&] { return qorvex_frost_aggregate(ctx(), p, 2, p, 2, nullptr, p, w); },
        [&] { return qorvex_frost_aggregate(ctx(), p, 2, p, 2, p, nullptr, w); },
        [&] { return qorvex_frost_aggregate(ctx(), p, 2, p, 2, p, p, nullptr); },
    };
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(QORVEX_ERR_NULL_ARG, calls[i]()) << i;
        EXPECT_EQ(QORVEX_ERR_BAD_INPUT, qorvex_last_error(ctx())) << i;
        EXPECT_STREQ("invalid participant_id", qorvex_last_error_msg(ctx())) << i;
        EXPECT_EQ(Bytes(256, 0x33), dummy) << i;
        EXPECT_EQ(256u, len) << i;
    }
}

// Outputs that overlap inputs: every input is read before any output is
// written, so the results are those of separate buffers.
TEST_F(Frost, OverlappingBuffers) {
    const Dkg d = keygen(2, 3, 90);
    const Bytes msg(32, 0x90);
    {
        // Key generation writing its commitments over its seed.
        const Bytes seed = seed_of(90, 1, 'K');
        Bytes buf = seed, shares(QORVEX_FROST_SHARES_SIZE(3));
        buf.resize(QORVEX_FROST_COMMITMENT_SIZE(2));
        size_t cl = buf.size(), sl = shares.size();
        ASSERT_EQ(0, qorvex_frost_keygen_begin(ctx(), 1, 2, 3, buf.data(), buf.data(), &cl, shares.data(), &sl));
        EXPECT_EQ(d.commits[0], buf);
        EXPECT_EQ(d.shares[0], shares);
    }
    {
        // The key package written over the received shares.
        Bytes buf = d.received(2);
        buf.resize(std::max(buf.size(), kKeypkg));
        ASSERT_EQ(0, qorvex_frost_keygen_finalize(ctx(), 2, d.all_commits.data(), d.all_commits.size(), buf.data(),
                                                  3 * kEntry, 2, 3, buf.data()));
        EXPECT_EQ(d.keypkgs[1], slice(buf, 0, kKeypkg));
    }
    {
        // Nonce generation over its seed.
        const Bytes seed = seed_of(91, 2, 'N');
        Bytes nonce(kNonce), commit(kCommit), buf = seed;
        ASSERT_EQ(0, qorvex_frost_sign_nonce_gen(ctx(), 2, seed.data(), nonce.data(), commit.data()));
        buf.resize(kNonce + kCommit);
        ASSERT_EQ(0, qorvex_frost_sign_nonce_gen(ctx(), 2, buf.data(), buf.data(), buf.data() + kNonce));
        EXPECT_EQ(nonce, slice(buf, 0, kNonce));
        EXPECT_EQ(commit, slice(buf, kNonce, kCommit));
    }
    {
        // The partial signature over the nonce it consumes, and over the
        // list it reads.
        Signing s = prepare({1, 3}, 92);
        Signing copy = s;
        const Bytes expected = sign_one(d, copy, 0, msg);
        Bytes nonce = s.nonces[0];
        ASSERT_EQ(0, qorvex_frost_sign(ctx(), d.keypkgs[0].data(), nonce.data(), msg.data(), s.list.data(), 2,
                                       nonce.data()));
        EXPECT_EQ(expected, slice(nonce, 0, kPartial));
        EXPECT_EQ(Bytes(kNonce - kPartial, 0), slice(nonce, kPartial, kNonce - kPartial));
        Bytes list = s.list;
        nonce = s.nonces[0];
        ASSERT_EQ(0, qorvex_frost_sign(ctx(), d.keypkgs[0].data(), nonce.data(), msg.data(), list.data(), 2,
                                       list.data()));
        EXPECT_EQ(expected, slice(list, 0, kPartial));
    }
    {
        // The signature over the partial signatures.
        const Signing s = sign_all(d, {2, 3}, msg, 93);
        Bytes buf = s.partials;
        ASSERT_EQ(0, qorvex_frost_aggregate(ctx(), buf.data(), 2, s.list.data(), 2, d.group_key().data(), msg.data(),
                                            buf.data()));
        EXPECT_EQ(s.sig, slice(buf, 0, 64));
    }
}

}  // namespace
}  // namespace qorvex::test
