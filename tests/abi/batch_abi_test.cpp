// Batch verification, batch signing, prepared key pairs and the MSM
// exports, against the single-item exports as the oracle.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "abi_helpers.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes random_bytes(std::mt19937_64& g, size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(g());
    return b;
}

// n - s for a 32-byte big-endian s (s != 0).
Bytes negate_scalar(const uint8_t* s) {
    const Bytes n = be32(kOrderHex);
    Bytes r(32);
    int borrow = 0;
    for (int i = 31; i >= 0; --i) {
        int d = n[i] - s[i] - borrow;
        borrow = d < 0;
        r[i] = static_cast<uint8_t>(d + (borrow ? 256 : 0));
    }
    return r;
}

const std::string kPHex = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";

// The smallest x below p that is on no point of the curve.
Bytes off_curve_x(qorvex_ctx* ctx) {
    for (unsigned x = 1;; ++x) {
        Bytes key = be32(std::to_string(0));
        key[31] = static_cast<uint8_t>(x);
        uint8_t enc[33], out[33];
        enc[0] = 2;
        std::memcpy(enc + 1, key.data(), 32);
        if (qorvex_pubkey_parse(ctx, enc, 33, out) != 0) return key;
    }
}

class BatchAbi : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        if (message) {
            EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
        }
    }

    // n keys (distinct, or `distinct_keys` of them repeated), messages and
    // auxiliary bytes.
    struct Signers {
        Bytes keys, msgs, aux;
    };
    Signers signers(size_t n, uint64_t seed, size_t distinct_keys = 0) {
        std::mt19937_64 g(seed);
        Signers s;
        const Bytes pool = random_bytes(g, 32 * (distinct_keys ? distinct_keys : n));
        for (size_t i = 0; i < n; ++i) {
            const size_t k = distinct_keys ? i % distinct_keys : i;
            s.keys.insert(s.keys.end(), pool.begin() + 32 * k, pool.begin() + 32 * (k + 1));
        }
        s.msgs = random_bytes(g, 32 * n);
        s.aux = random_bytes(g, 32 * n);
        return s;
    }

    Bytes ecdsa_items(const Signers& s) {
        const size_t n = s.msgs.size() / 32;
        Bytes items(n * QORVEX_ECDSA_BATCH_ITEM_SIZE);
        for (size_t i = 0; i < n; ++i) {
            uint8_t* it = &items[i * QORVEX_ECDSA_BATCH_ITEM_SIZE];
            std::memcpy(it, &s.msgs[32 * i], 32);
            EXPECT_EQ(0, qorvex_pubkey_create(ctx(), &s.keys[32 * i], it + 32));
            EXPECT_EQ(0, qorvex_ecdsa_sign(ctx(), &s.msgs[32 * i], &s.keys[32 * i], it + 65));
        }
        return items;
    }

    Bytes schnorr_items(const Signers& s) {
        const size_t n = s.msgs.size() / 32;
        Bytes items(n * QORVEX_SCHNORR_BATCH_ITEM_SIZE);
        for (size_t i = 0; i < n; ++i) {
            uint8_t* it = &items[i * QORVEX_SCHNORR_BATCH_ITEM_SIZE];
            EXPECT_EQ(0, qorvex_pubkey_xonly(ctx(), &s.keys[32 * i], it));
            std::memcpy(it + 32, &s.msgs[32 * i], 32);
            EXPECT_EQ(0, qorvex_schnorr_sign(ctx(), &s.msgs[32 * i], &s.keys[32 * i], &s.aux[32 * i], it + 64));
        }
        return items;
    }

    int ecdsa_one(const uint8_t* item) { return qorvex_ecdsa_verify(ctx(), item, item + 65, item + 32); }
    int schnorr_one(const uint8_t* item) { return qorvex_schnorr_verify(ctx(), item + 32, item + 64, item); }

    std::vector<size_t> identify(bool schnorr, const Bytes& items, size_t capacity, size_t* total, int* rc) {
        std::vector<size_t> idx(capacity + 1, 999999);
        size_t cnt = capacity;
        const size_t size = schnorr ? QORVEX_SCHNORR_BATCH_ITEM_SIZE : QORVEX_ECDSA_BATCH_ITEM_SIZE;
        *rc = schnorr ? qorvex_schnorr_batch_identify_invalid(ctx(), items.data(), items.size() / size, idx.data(), &cnt)
                      : qorvex_ecdsa_batch_identify_invalid(ctx(), items.data(), items.size() / size, idx.data(), &cnt);
        *total = cnt;
        EXPECT_EQ(999999u, idx[capacity]) << "wrote past the capacity";
        idx.resize(std::min(capacity, cnt));
        return idx;
    }

    CtxPtr ctx_;
};

// --- The MSM and Shamir exports. ---

TEST_F(BatchAbi, MultiScalarMulAgreesWithTweaksAndCombine) {
    std::mt19937_64 g(1);
    for (const size_t n : {size_t{1}, size_t{5}, size_t{60}}) {
        Bytes scalars, points, terms;
        for (size_t i = 0; i < n; ++i) {
            const Bytes key = random_bytes(g, 32), k = random_bytes(g, 32);
            uint8_t pub[33], term[33];
            ASSERT_EQ(0, qorvex_pubkey_create(ctx(), key.data(), pub));
            ASSERT_EQ(0, qorvex_pubkey_tweak_mul(ctx(), pub, k.data(), term));
            scalars.insert(scalars.end(), k.begin(), k.end());
            points.insert(points.end(), pub, pub + 33);
            terms.insert(terms.end(), term, term + 33);
        }
        uint8_t want[33], got[33];
        ASSERT_EQ(0, qorvex_pubkey_combine(ctx(), terms.data(), n, want));
        ASSERT_EQ(0, qorvex_multi_scalar_mul(ctx(), scalars.data(), points.data(), n, got));
        EXPECT_EQ(0, std::memcmp(want, got, 33)) << n;
    }
}

TEST_F(BatchAbi, MultiScalarMulAndShamirCodes) {
    std::mt19937_64 g(2);
    const Bytes key = random_bytes(g, 32);
    uint8_t pub[33];
    ASSERT_EQ(0, qorvex_pubkey_create(ctx(), key.data(), pub));
    const Bytes k = random_bytes(g, 32), nk = negate_scalar(k.data()), order = be32(kOrderHex), zero(32, 0);
    Bytes bad_point(pub, pub + 33);
    bad_point[0] = 0x05;
    auto two = [](const Bytes& a, const Bytes& b) {
        Bytes v = a;
        v.insert(v.end(), b.begin(), b.end());
        return v;
    };
    const Bytes pubs(two(Bytes(pub, pub + 33), Bytes(pub, pub + 33)));
    uint8_t out[33];
    struct Row {
        Bytes scalars, points;
        size_t n;
        int code;
        const char* message;
    } rows[] = {
        {two(k, k), pubs, 0, 5, "n must be >= 1"},
        {two(k, k), pubs, QORVEX_BATCH_MAX_COUNT + 1, 5, "n too large"},
        {two(k, order), pubs, 2, 5, "scalar >= n"},
        {two(k, k), two(Bytes(pub, pub + 33), bad_point), 2, 3, "invalid point in array"},
        {two(order, k), two(bad_point, Bytes(pub, pub + 33)), 2, 5, "scalar >= n"},  // scalar 0 before point 0
        {two(zero, zero), pubs, 2, 7, "MSM result is infinity"},
        {two(k, nk), pubs, 2, 7, "MSM result is infinity"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.message);
        expect_error(qorvex_multi_scalar_mul(ctx(), r.scalars.data(), r.points.data(), r.n, out), r.code, r.message);
    }
    EXPECT_EQ(1, qorvex_multi_scalar_mul(ctx(), nullptr, pubs.data(), 1, out));
    EXPECT_EQ(1, qorvex_multi_scalar_mul(nullptr, k.data(), pubs.data(), 1, out));

    uint8_t q[33], bq[33], got[33];
    const Bytes key2 = random_bytes(g, 32), b = random_bytes(g, 32);
    ASSERT_EQ(0, qorvex_pubkey_create(ctx(), key2.data(), q));
    ASSERT_EQ(0, qorvex_pubkey_tweak_mul(ctx(), q, b.data(), bq));
    EXPECT_EQ(0, qorvex_shamir_trick(ctx(), zero.data(), pub, b.data(), q, got));
    EXPECT_EQ(0, std::memcmp(bq, got, 33));
    struct ShamirRow {
        const Bytes& a;
        const uint8_t* p;
        const Bytes& bb;
        const uint8_t* qq;
        int code;
        const char* message;
    } shamir_rows[] = {
        {order, pub, b, q, 5, "scalar a >= n"},
        {k, pub, order, q, 5, "scalar b >= n"},
        {order, bad_point.data(), order, q, 5, "scalar a >= n"},
        {k, bad_point.data(), b, q, 3, "invalid point P"},
        {k, pub, b, bad_point.data(), 3, "invalid point Q"},
        {zero, pub, zero, q, 7, "result is infinity"},
        {k, pub, nk, pub, 7, "result is infinity"},
    };
    for (const ShamirRow& r : shamir_rows) {
        SCOPED_TRACE(r.message);
        expect_error(qorvex_shamir_trick(ctx(), r.a.data(), r.p, r.bb.data(), r.qq, got), r.code, r.message);
    }
    // a P + b Q against the exported sum of the two products.
    uint8_t kp[33], both[33];
    ASSERT_EQ(0, qorvex_pubkey_tweak_mul(ctx(), pub, k.data(), kp));
    ASSERT_EQ(0, qorvex_pubkey_add(ctx(), kp, bq, both));
    EXPECT_EQ(0, qorvex_shamir_trick(ctx(), k.data(), pub, b.data(), q, got));
    EXPECT_EQ(0, std::memcmp(both, got, 33));
}

// --- Prepared key pairs. ---

TEST_F(BatchAbi, KeypairSigningEqualsSigningFromTheKey) {
    std::mt19937_64 g(3);
    for (int i = 0; i < 20; ++i) {
        const Bytes key = random_bytes(g, 32), msg = random_bytes(g, 32), aux = random_bytes(g, 32);
        uint8_t record[QORVEX_KEYPAIR_SIZE], want[64], got[64];
        ASSERT_EQ(0, qorvex_keypair_create(ctx(), key.data(), record));
        EXPECT_EQ(0, std::memcmp(record, key.data(), 32));
        uint8_t uncompressed[65];
        ASSERT_EQ(0, qorvex_pubkey_create_uncompressed(ctx(), key.data(), uncompressed));
        EXPECT_EQ(0, std::memcmp(record + 32, uncompressed + 1, 64));
        ASSERT_EQ(0, qorvex_schnorr_sign(ctx(), msg.data(), key.data(), aux.data(), want));
        ASSERT_EQ(0, qorvex_schnorr_sign_keypair(ctx(), msg.data(), record, aux.data(), got));
        EXPECT_EQ(0, std::memcmp(want, got, 64));
        // The signature may overwrite the message it signs.
        uint8_t inplace[64];
        std::memcpy(inplace, msg.data(), 32);
        ASSERT_EQ(0, qorvex_schnorr_sign_keypair(ctx(), inplace, record, aux.data(), inplace));
        EXPECT_EQ(0, std::memcmp(want, inplace, 64));
    }
}

TEST_F(BatchAbi, KeypairRecordsThatAreRefused) {
    std::mt19937_64 g(4);
    const Bytes key = random_bytes(g, 32), msg = random_bytes(g, 32), aux = random_bytes(g, 32);
    uint8_t record[QORVEX_KEYPAIR_SIZE], sig[64];
    ASSERT_EQ(0, qorvex_keypair_create(ctx(), key.data(), record));
    auto with = [&](size_t offset, const Bytes& bytes) {
        Bytes r(record, record + QORVEX_KEYPAIR_SIZE);
        std::memcpy(&r[offset], bytes.data(), 32);
        return r;
    };
    Bytes off_curve(record, record + QORVEX_KEYPAIR_SIZE);
    off_curve[95] ^= 1;
    const struct {
        Bytes rec;
        int code;
        const char* message;
    } rows[] = {
        {with(0, Bytes(32, 0)), 2, "keypair secret is zero or >= n"},
        {with(0, be32(kOrderHex)), 2, "keypair secret is zero or >= n"},
        {with(32, be32(kPHex)), 3, "invalid keypair public key"},
        {off_curve, 3, "invalid keypair public key"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.message);
        expect_error(qorvex_schnorr_sign_keypair(ctx(), msg.data(), r.rec.data(), aux.data(), sig), r.code, r.message);
    }
    uint8_t untouched[QORVEX_KEYPAIR_SIZE];
    std::memset(untouched, 0xAB, sizeof untouched);
    expect_error(qorvex_keypair_create(ctx(), be32(kOrderHex).data(), untouched), 2, "privkey is zero or >= n");
    EXPECT_EQ(0xAB, untouched[0]);
    EXPECT_EQ(1, qorvex_keypair_create(ctx(), nullptr, untouched));
    EXPECT_EQ(1, qorvex_schnorr_sign_keypair(ctx(), msg.data(), record, nullptr, sig));
}

// --- ECDSA batch verification. ---

TEST_F(BatchAbi, EcdsaBatchAgreesWithSingleVerification) {
    for (const size_t n : {size_t{1}, size_t{8}, size_t{9}, size_t{40}}) {
        SCOPED_TRACE(n);
        const Bytes items = ecdsa_items(signers(n, 10 + n, n > 8 ? 3 : 0));
        EXPECT_EQ(0, qorvex_ecdsa_batch_verify(ctx(), items.data(), n));
        EXPECT_EQ(0, qorvex_ecdsa_batch_verify_mt(ctx(), items.data(), n, 0));
        // One wrong message at the first, a middle and the last position.
        for (const size_t bad : {size_t{0}, n / 2, n - 1}) {
            Bytes broken = items;
            broken[bad * QORVEX_ECDSA_BATCH_ITEM_SIZE] ^= 1;
            ASSERT_EQ(QORVEX_ERR_VERIFY_FAIL, ecdsa_one(&broken[bad * QORVEX_ECDSA_BATCH_ITEM_SIZE]));
            expect_error(qorvex_ecdsa_batch_verify(ctx(), broken.data(), n), 6, "batch verify failed");
            expect_error(qorvex_ecdsa_batch_verify_mt(ctx(), broken.data(), n, 2), 6, "batch verify failed");
            size_t total = 0;
            int rc = -1;
            EXPECT_EQ(std::vector<size_t>{bad}, identify(false, broken, 4, &total, &rc));
            EXPECT_EQ(0, rc);
            EXPECT_EQ(1u, total);
        }
    }
}

TEST_F(BatchAbi, EcdsaHighSIsRefusedByTheBatchOnly) {
    const size_t n = 12;
    const Bytes items = ecdsa_items(signers(n, 20));
    Bytes high = items;
    const size_t at = 5 * QORVEX_ECDSA_BATCH_ITEM_SIZE;
    const Bytes hs = negate_scalar(&high[at + 65 + 32]);
    std::memcpy(&high[at + 65 + 32], hs.data(), 32);
    expect_error(qorvex_ecdsa_batch_verify(ctx(), high.data(), n), 6, "batch verify failed");
    size_t total = 9;
    int rc = -1;
    EXPECT_TRUE(identify(false, high, 4, &total, &rc).empty());
    EXPECT_EQ(0, rc);
    EXPECT_EQ(0u, total);
    // As opaque signatures (each half little-endian), the high-S one passes.
    Bytes msgs, pubs, sigs;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* it = &high[i * QORVEX_ECDSA_BATCH_ITEM_SIZE];
        msgs.insert(msgs.end(), it, it + 32);
        pubs.insert(pubs.end(), it + 32, it + 65);
        uint8_t opaque[64];
        for (int b = 0; b < 32; ++b) {
            opaque[b] = it[65 + 31 - b];
            opaque[32 + b] = it[97 + 31 - b];
        }
        sigs.insert(sigs.end(), opaque, opaque + 64);
    }
    Bytes results(n, 7);
    EXPECT_EQ(0, qorvex_ecdsa_verify_opaque_batch(ctx(), msgs.data(), pubs.data(), sigs.data(), n, results.data()));
    EXPECT_EQ(Bytes(n, 1), results);
    // Rows with padding that is never read, then one bad row.
    const size_t stride = 200;
    Bytes rows(stride * n, 0xEE);
    for (size_t i = 0; i < n; ++i) {
        std::memcpy(&rows[i * stride], &msgs[32 * i], 32);
        std::memcpy(&rows[i * stride + 32], &pubs[33 * i], 33);
        std::memcpy(&rows[i * stride + 65], &sigs[64 * i], 64);
    }
    EXPECT_EQ(0, qorvex_ecdsa_verify_opaque_rows(ctx(), rows.data(), stride, n, results.data()));
    EXPECT_EQ(Bytes(n, 1), results);
    rows[3 * stride] ^= 1;      // message of row 3
    rows[7 * stride + 32] = 9;  // key prefix of row 7
    EXPECT_EQ(0, qorvex_ecdsa_verify_opaque_rows(ctx(), rows.data(), stride, n, results.data()));
    Bytes want(n, 1);
    want[3] = want[7] = 0;
    EXPECT_EQ(want, results);
    // Results written over the padding of the rows they describe.
    uint8_t* in_rows = &rows[129];
    EXPECT_EQ(0, qorvex_ecdsa_verify_opaque_rows(ctx(), rows.data(), stride, n, in_rows));
    EXPECT_EQ(0, std::memcmp(want.data(), in_rows, n));
    expect_error(qorvex_ecdsa_verify_opaque_rows(ctx(), rows.data(), 128, n, results.data()), 5,
                 "opaque row stride < 129");
    expect_error(qorvex_ecdsa_verify_opaque_rows(ctx(), rows.data(), SIZE_MAX / 2, 3, results.data()), 5,
                 "opaque rows exceed the address space");
}

TEST_F(BatchAbi, EcdsaParseFailuresComeFirstInIndexOrder) {
    const size_t n = 20;
    const Bytes items = ecdsa_items(signers(n, 30));
    auto item = [](Bytes& b, size_t i) { return &b[i * QORVEX_ECDSA_BATCH_ITEM_SIZE]; };
    Bytes off_curve = items;
    std::memcpy(item(off_curve, 6) + 33, off_curve_x(ctx()).data(), 32);
    off_curve[6 * QORVEX_ECDSA_BATCH_ITEM_SIZE + 32] = 2;
    expect_error(qorvex_ecdsa_batch_verify(ctx(), off_curve.data(), n), 3, "invalid pubkey in batch");
    Bytes bad_sig = off_curve;
    std::memset(item(bad_sig, 4) + 65, 0, 32);  // r = 0 before the bad key
    item(bad_sig, 0)[0] ^= 1;                    // and a failing signature before both
    expect_error(qorvex_ecdsa_batch_verify(ctx(), bad_sig.data(), n), 4, "invalid ECDSA sig in batch");
    expect_error(qorvex_ecdsa_batch_verify_mt(ctx(), bad_sig.data(), n, 2), 4, "invalid ECDSA sig in batch");
    size_t idx4[4], cnt4 = 4;
    expect_error(qorvex_ecdsa_batch_identify_invalid(ctx(), bad_sig.data(), n, idx4, &cnt4), 4,
                 "invalid ECDSA sig in batch");
    EXPECT_EQ(4u, cnt4);
    // Limits and the count-0 shortcut.
    EXPECT_EQ(0, qorvex_ecdsa_batch_verify(ctx(), nullptr, 0));
    EXPECT_EQ(0, qorvex_schnorr_batch_verify(ctx(), nullptr, 0));
    EXPECT_EQ(1, qorvex_ecdsa_batch_verify(nullptr, items.data(), 1));
    expect_error(qorvex_ecdsa_batch_verify(ctx(), items.data(), QORVEX_BATCH_MAX_COUNT + 1), 5, "batch count too large");
    expect_error(qorvex_ecdsa_batch_verify_mt(ctx(), items.data(), QORVEX_BATCH_MAX_COUNT + 1, 0), 5,
                 "batch count too large");
    size_t idx[2], cnt = 2;
    expect_error(qorvex_ecdsa_batch_identify_invalid(ctx(), items.data(), QORVEX_BATCH_MAX_COUNT + 1, idx, &cnt), 5,
                 "batch count too large");
    EXPECT_EQ(0, qorvex_ecdsa_batch_identify_invalid(ctx(), items.data(), 0, idx, &cnt));
    EXPECT_EQ(0u, cnt);
    EXPECT_EQ(1, qorvex_ecdsa_batch_identify_invalid(ctx(), items.data(), 0, nullptr, &cnt));
}

TEST_F(BatchAbi, IdentifyReportsTheTotalAndTheFirstIndices) {
    const size_t n = 30;
    Bytes items = ecdsa_items(signers(n, 40));
    for (const size_t bad : {3, 11, 12, 29}) items[bad * QORVEX_ECDSA_BATCH_ITEM_SIZE + 10] ^= 0x40;
    size_t total = 0;
    int rc = -1;
    EXPECT_EQ((std::vector<size_t>{3, 11}), identify(false, items, 2, &total, &rc));
    EXPECT_EQ(4u, total);
    EXPECT_EQ((std::vector<size_t>{3, 11, 12, 29}), identify(false, items, 10, &total, &rc));
    EXPECT_TRUE(identify(false, items, 0, &total, &rc).empty());
    EXPECT_EQ(4u, total);
}

// --- BIP-340 batch verification. ---

TEST_F(BatchAbi, SchnorrBatchAgreesWithSingleVerification) {
    // 96 items are checked one by one, 97 by the linear combination; the
    // last case has one key for every item.
    for (const auto& [n, keys] : {std::pair<size_t, size_t>{96, 0}, {97, 0}, {150, 7}, {120, 1}}) {
        SCOPED_TRACE(n);
        const Bytes items = schnorr_items(signers(n, 50 + n, keys));
        EXPECT_EQ(0, qorvex_schnorr_batch_verify(ctx(), items.data(), n));
        for (const size_t bad : {size_t{0}, n / 2, n - 1}) {
            Bytes broken = items;
            broken[bad * QORVEX_SCHNORR_BATCH_ITEM_SIZE + 32] ^= 1;  // its message
            ASSERT_EQ(QORVEX_ERR_VERIFY_FAIL, schnorr_one(&broken[bad * QORVEX_SCHNORR_BATCH_ITEM_SIZE]));
            expect_error(qorvex_schnorr_batch_verify(ctx(), broken.data(), n), 6, "batch verify failed");
            size_t total = 0;
            int rc = -1;
            EXPECT_EQ(std::vector<size_t>{bad}, identify(true, broken, 3, &total, &rc));
            EXPECT_EQ(1u, total);
        }
    }
}

TEST_F(BatchAbi, SchnorrKeysOffTheCurveAndMalformedItems) {
    const size_t n = 100;
    const Bytes items = schnorr_items(signers(n, 60));
    auto item = [](Bytes& b, size_t i) { return &b[i * QORVEX_SCHNORR_BATCH_ITEM_SIZE]; };
    Bytes off = items;
    const Bytes x_off = off_curve_x(ctx());
    std::memcpy(item(off, 42), x_off.data(), 32);
    expect_error(qorvex_schnorr_batch_verify(ctx(), off.data(), n), 6, "batch verify failed");
    expect_error(qorvex_schnorr_batch_verify(ctx(), off.data(), 50), 6, "batch verify failed");
    size_t total = 0;
    int rc = -1;
    EXPECT_EQ(std::vector<size_t>{42}, identify(true, off, 5, &total, &rc));
    // R off the curve: every single check fails too.
    Bytes bad_r = items;
    std::memcpy(item(bad_r, 99) + 64, x_off.data(), 32);
    expect_error(qorvex_schnorr_batch_verify(ctx(), bad_r.data(), n), 6, "batch verify failed");
    // Malformed: x >= p at item 70, s = 0 at item 30.
    Bytes x_ge_p = items;
    std::memcpy(item(x_ge_p, 70), be32(kPHex).data(), 32);
    expect_error(qorvex_schnorr_batch_verify(ctx(), x_ge_p.data(), n), 3, "non-canonical pubkey (x>=p) in batch");
    Bytes s_zero = x_ge_p;
    std::memset(item(s_zero, 30) + 96, 0, 32);
    expect_error(qorvex_schnorr_batch_verify(ctx(), s_zero.data(), n), 4, "invalid Schnorr sig in batch");
    identify(true, s_zero, 5, &total, &rc);
    EXPECT_EQ(4, rc);
    expect_error(qorvex_schnorr_batch_verify(ctx(), items.data(), QORVEX_BATCH_MAX_COUNT + 1), 5,
                 "batch count too large");
}

// --- Batch signing. ---

TEST_F(BatchAbi, SignBatchEqualsSigningOneByOne) {
    for (const size_t n : {size_t{1}, size_t{2}, size_t{67}}) {
        SCOPED_TRACE(n);
        const Signers s = signers(n, 70 + n);
        Bytes ecdsa(64 * n), schnorr(64 * n);
        ASSERT_EQ(0, qorvex_ecdsa_sign_batch(ctx(), n, s.msgs.data(), s.keys.data(), ecdsa.data()));
        ASSERT_EQ(0, qorvex_schnorr_sign_batch(ctx(), n, s.msgs.data(), s.keys.data(), s.aux.data(), schnorr.data()));
        for (size_t i = 0; i < n; ++i) {
            uint8_t want[64];
            ASSERT_EQ(0, qorvex_ecdsa_sign(ctx(), &s.msgs[32 * i], &s.keys[32 * i], want));
            EXPECT_EQ(0, std::memcmp(want, &ecdsa[64 * i], 64)) << i;
            ASSERT_EQ(0, qorvex_schnorr_sign(ctx(), &s.msgs[32 * i], &s.keys[32 * i], &s.aux[32 * i], want));
            EXPECT_EQ(0, std::memcmp(want, &schnorr[64 * i], 64)) << i;
        }
        // The signatures written over the messages and keys they come from.
        Bytes buf = s.msgs;
        buf.insert(buf.end(), s.keys.begin(), s.keys.end());
        ASSERT_EQ(0, qorvex_ecdsa_sign_batch(ctx(), n, buf.data(), buf.data() + 32 * n, buf.data()));
        EXPECT_EQ(ecdsa, buf);
    }
}

TEST_F(BatchAbi, SignBatchFailuresZeroEveryOutput) {
    const size_t n = 40;
    Signers s = signers(n, 80);
    for (const size_t bad : {size_t{0}, size_t{23}, n - 1}) {
        Signers t = s;
        std::memset(&t.keys[32 * bad], 0, 32);
        Bytes sigs(64 * n, 0x5A);
        expect_error(qorvex_ecdsa_sign_batch(ctx(), n, t.msgs.data(), t.keys.data(), sigs.data()), 2,
                     "privkey[i] is zero or >= n");
        EXPECT_EQ(Bytes(64 * n, 0), sigs);
        std::memcpy(&t.keys[32 * bad], be32(kOrderHex).data(), 32);
        sigs.assign(64 * n, 0x5A);
        expect_error(qorvex_schnorr_sign_batch(ctx(), n, t.msgs.data(), t.keys.data(), t.aux.data(), sigs.data()), 2,
                     "privkey[i] is zero or >= n");
        EXPECT_EQ(Bytes(64 * n, 0), sigs);
    }
    // Count 0: code 5, with nothing recorded in the context.
    Bytes sigs(64);
    const Bytes zero_sig(64, 0);
    ASSERT_NE(0, qorvex_ecdsa_verify(ctx(), s.msgs.data(), zero_sig.data(), s.msgs.data()));
    EXPECT_EQ(5, qorvex_ecdsa_sign_batch(ctx(), 0, s.msgs.data(), s.keys.data(), sigs.data()));
    EXPECT_EQ(0, qorvex_last_error(ctx()));
    EXPECT_EQ(5, qorvex_schnorr_sign_batch(ctx(), 0, s.msgs.data(), s.keys.data(), s.aux.data(), sigs.data()));
    EXPECT_EQ(0, qorvex_last_error(ctx()));
    expect_error(qorvex_ecdsa_sign_batch(ctx(), QORVEX_BATCH_MAX_COUNT + 1, s.msgs.data(), s.keys.data(), sigs.data()),
                 5, "batch count too large");
    EXPECT_EQ(1, qorvex_schnorr_sign_batch(ctx(), 1, s.msgs.data(), s.keys.data(), nullptr, sigs.data()));
}

// --- Worker threads (run under ThreadSanitizer). ---

TEST_F(BatchAbi, ThreadCountsGiveIdenticalVerdicts) {
    // Over 4096 items, so that two threads share the work.
    const size_t n = 4200;
    const Bytes items = ecdsa_items(signers(n, 90, 50));
    Bytes last_bad = items;
    last_bad[(n - 1) * QORVEX_ECDSA_BATCH_ITEM_SIZE] ^= 1;
    Bytes second_chunk_bad_key = last_bad;
    second_chunk_bad_key[4100 * QORVEX_ECDSA_BATCH_ITEM_SIZE + 32] = 7;
    for (const size_t threads : {size_t{0}, size_t{1}, size_t{2}, size_t{1000}})
        EXPECT_EQ(0, qorvex_ecdsa_batch_verify_mt(ctx(), items.data(), n, threads)) << threads;
    expect_error(qorvex_ecdsa_batch_verify_mt(ctx(), last_bad.data(), n, 2), 6, "batch verify failed");
    // The bad key in the second chunk wins over the failing signature after it.
    expect_error(qorvex_ecdsa_batch_verify_mt(ctx(), second_chunk_bad_key.data(), n, 0), 3, "invalid pubkey in batch");
    expect_error(qorvex_ecdsa_batch_verify(ctx(), second_chunk_bad_key.data(), n), 3, "invalid pubkey in batch");
    // ... and over a failing signature in the first piece of the work.
    Bytes first_bad = items;
    first_bad[0] ^= 1;
    first_bad[4100 * QORVEX_ECDSA_BATCH_ITEM_SIZE + 32] = 7;
    for (const size_t threads : {size_t{1}, size_t{2}})
        expect_error(qorvex_ecdsa_batch_verify_mt(ctx(), first_bad.data(), n, threads), 3, "invalid pubkey in batch");
}

TEST_F(BatchAbi, ThreadedSigningWithTheCallersBlinding) {
    const size_t n = 300;
    const Signers s = signers(n, 91);
    Bytes plain(64 * n), blinded(64 * n), schnorr_plain(64 * n), schnorr_blinded(64 * n);
    ASSERT_EQ(0, qorvex_ecdsa_sign_batch(ctx(), n, s.msgs.data(), s.keys.data(), plain.data()));
    ASSERT_EQ(0, qorvex_schnorr_sign_batch(ctx(), n, s.msgs.data(), s.keys.data(), s.aux.data(), schnorr_plain.data()));
    const Bytes seed(32, 0x33);
    ASSERT_EQ(0, qorvex_context_randomize(ctx(), seed.data()));
    ASSERT_EQ(0, qorvex_ecdsa_sign_batch(ctx(), n, s.msgs.data(), s.keys.data(), blinded.data()));
    ASSERT_EQ(0,
              qorvex_schnorr_sign_batch(ctx(), n, s.msgs.data(), s.keys.data(), s.aux.data(), schnorr_blinded.data()));
    ASSERT_EQ(0, qorvex_context_randomize(ctx(), nullptr));
    EXPECT_EQ(plain, blinded);
    EXPECT_EQ(schnorr_plain, schnorr_blinded);
    const Bytes items = ecdsa_items(s);
    for (size_t i = 0; i < n; ++i) EXPECT_EQ(0, std::memcmp(&items[i * QORVEX_ECDSA_BATCH_ITEM_SIZE + 65], &plain[64 * i], 64));
}

}  // namespace
}  // namespace qorvex::test
