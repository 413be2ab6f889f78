// Public keys from untrusted bytes: parsing, negation, sums and tweaks.
//
// The input is read as an encoding for qorvex_pubkey_parse, and as an array
// of 33-byte keys (with a tweak at offset 33) for the other exports.
#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_pubkey_parse, qorvex_pubkey_negate, qorvex_pubkey_add, qorvex_pubkey_combine,
                    qorvex_pubkey_tweak_add, qorvex_pubkey_tweak_mul);

namespace {

constexpr size_t kMaxKeys = 8;

void check_parse(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    uint8_t out[33];
    const int rc = qorvex_pubkey_parse(c, data, size, out);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_PUBKEY || rc == QORVEX_ERR_BAD_INPUT);
    const bool shape_ok = (size == 33 && (data[0] == 2 || data[0] == 3)) || (size == 65 && data[0] == 4);
    if (!shape_ok) FUZZ_CHECK(rc == QORVEX_ERR_BAD_INPUT);
    if (rc == QORVEX_OK) {
        // The compressed form names the same point: x as given, the parity
        // of y as given, and it parses to itself.
        FUZZ_CHECK(out[0] == 2 || out[0] == 3);
        FUZZ_CHECK(std::memcmp(out + 1, data + 1, 32) == 0);
        if (size == 33) FUZZ_CHECK(std::memcmp(out, data, 33) == 0);
        if (size == 65) FUZZ_CHECK((out[0] & 1) == (data[64] & 1));
        uint8_t again[33];
        FUZZ_CHECK(qorvex_pubkey_parse(c, out, 33, again) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(again, out, 33) == 0);
    }
#if QORVEX_FUZZ_ORACLE
    // The oracle also takes hybrid keys (06/07), which qorvex refuses.
    if (shape_ok) {
        secp256k1_pubkey pk;
        const bool ok = secp256k1_ec_pubkey_parse(oracle(), &pk, data, size) == 1;
        FUZZ_CHECK(ok == (rc == QORVEX_OK));
        if (ok) {
            uint8_t theirs[33];
            oracle_compressed(pk, theirs);
            FUZZ_CHECK(std::memcmp(theirs, out, 33) == 0);
        }
    }
#endif
}

bool valid33(const uint8_t k[33]) {
    uint8_t out[33];
    return qorvex_pubkey_parse(ctx(), k, 33, out) == QORVEX_OK;
}

void check_arithmetic(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    uint8_t keys[kMaxKeys][33] = {};
    const size_t n = size / 33 < kMaxKeys ? size / 33 : kMaxKeys;
    if (n == 0) return;
    Input in(data, size);
    for (size_t i = 0; i < n; ++i) in.bytes(keys[i], 33);
    uint8_t tweak[32];
    Input(size > 33 ? data + 33 : data + size, size > 33 ? size - 33 : 0).bytes(tweak, 32);
    const bool a_ok = valid33(keys[0]);
    const bool b_ok = n > 1 && valid33(keys[1]);

    // Negation is an involution and only fails for invalid keys.
    uint8_t neg[33], negneg[33];
    const int rc_neg = qorvex_pubkey_negate(c, keys[0], neg);
    FUZZ_CHECK((rc_neg == QORVEX_OK) == a_ok);
    FUZZ_CHECK(rc_neg == QORVEX_OK || rc_neg == QORVEX_ERR_BAD_PUBKEY);
    if (rc_neg == QORVEX_OK) {
        FUZZ_CHECK(qorvex_pubkey_negate(c, neg, negneg) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(negneg, keys[0], 33) == 0);
        // P + (-P) is infinity.
        uint8_t sum[33];
        FUZZ_CHECK(qorvex_pubkey_add(c, keys[0], neg, sum) == QORVEX_ERR_ARITH);
    }

    // Addition commutes and agrees with combine of two keys.
    uint8_t ab[33] = {}, ba[33] = {}, comb2[33] = {};
    int rc_ab = -1;
    if (n > 1) {
        rc_ab = qorvex_pubkey_add(c, keys[0], keys[1], ab);
        const int rc_ba = qorvex_pubkey_add(c, keys[1], keys[0], ba);
        FUZZ_CHECK(rc_ab == rc_ba);
        FUZZ_CHECK((rc_ab == QORVEX_ERR_BAD_PUBKEY) == !(a_ok && b_ok));
        const int rc_comb2 = qorvex_pubkey_combine(c, keys[0], 2, comb2);
        FUZZ_CHECK(rc_comb2 == rc_ab);
        if (rc_ab == QORVEX_OK) {
            FUZZ_CHECK(std::memcmp(ab, ba, 33) == 0);
            FUZZ_CHECK(std::memcmp(ab, comb2, 33) == 0);
        }
    }

    // The sum of every key given.
    uint8_t comb[33];
    const int rc_comb = qorvex_pubkey_combine(c, keys[0], n, comb);
    FUZZ_CHECK(rc_comb == QORVEX_OK || rc_comb == QORVEX_ERR_BAD_PUBKEY || rc_comb == QORVEX_ERR_ARITH);

    // Tweaks: P + t*G equals P + (t*G) by addition, and t*P with n - t is
    // the negation of t*P.
    uint8_t tadd[33], tmul[33];
    const int rc_tadd = qorvex_pubkey_tweak_add(c, keys[0], tweak, tadd);
    const int rc_tmul = qorvex_pubkey_tweak_mul(c, keys[0], tweak, tmul);
    FUZZ_CHECK(rc_tadd != QORVEX_ERR_INTERNAL && rc_tmul != QORVEX_ERR_INTERNAL);
    uint8_t tg[33];
    if (a_ok && qorvex_pubkey_create(c, tweak, tg) == QORVEX_OK) {
        uint8_t via_add[33];
        const int rc_via = qorvex_pubkey_add(c, keys[0], tg, via_add);
        FUZZ_CHECK(rc_via == rc_tadd);
        if (rc_via == QORVEX_OK) FUZZ_CHECK(std::memcmp(via_add, tadd, 33) == 0);
        uint8_t neg_t[32], tmul_neg[33], back[33];
        std::memcpy(neg_t, tweak, 32);
        FUZZ_CHECK(qorvex_seckey_negate(c, neg_t) == QORVEX_OK);
        FUZZ_CHECK(rc_tmul == QORVEX_OK);
        FUZZ_CHECK(qorvex_pubkey_tweak_mul(c, keys[0], neg_t, tmul_neg) == QORVEX_OK);
        FUZZ_CHECK(qorvex_pubkey_negate(c, tmul_neg, back) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(back, tmul, 33) == 0);
    }

#if QORVEX_FUZZ_ORACLE
    const secp256k1_context* o = oracle();
    secp256k1_pubkey pk[kMaxKeys];
    bool all_ok = true;
    for (size_t i = 0; i < n; ++i) all_ok &= secp256k1_ec_pubkey_parse(o, &pk[i], keys[i], 33) == 1;
    FUZZ_CHECK(a_ok == (secp256k1_ec_pubkey_parse(o, &pk[0], keys[0], 33) == 1));
    uint8_t theirs[33];
    if (a_ok) {
        secp256k1_pubkey t = pk[0];
        FUZZ_CHECK(secp256k1_ec_pubkey_negate(o, &t) == 1);
        oracle_compressed(t, theirs);
        FUZZ_CHECK(std::memcmp(theirs, neg, 33) == 0);

        t = pk[0];
        const bool tadd_ok = secp256k1_ec_pubkey_tweak_add(o, &t, tweak) == 1;
        FUZZ_CHECK(tadd_ok == (rc_tadd == QORVEX_OK));
        if (tadd_ok) {
            oracle_compressed(t, theirs);
            FUZZ_CHECK(std::memcmp(theirs, tadd, 33) == 0);
        }
        t = pk[0];
        const bool tmul_ok = secp256k1_ec_pubkey_tweak_mul(o, &t, tweak) == 1;
        FUZZ_CHECK(tmul_ok == (rc_tmul == QORVEX_OK));
        if (tmul_ok) {
            oracle_compressed(t, theirs);
            FUZZ_CHECK(std::memcmp(theirs, tmul, 33) == 0);
        }
    }
    if (all_ok) {
        const secp256k1_pubkey* ptrs[kMaxKeys];
        for (size_t i = 0; i < n; ++i) ptrs[i] = &pk[i];
        secp256k1_pubkey sum;
        const bool ok = secp256k1_ec_pubkey_combine(o, &sum, ptrs, n) == 1;
        FUZZ_CHECK(ok == (rc_comb == QORVEX_OK));
        if (ok) {
            oracle_compressed(sum, theirs);
            FUZZ_CHECK(std::memcmp(theirs, comb, 33) == 0);
        }
    } else {
        FUZZ_CHECK(rc_comb == QORVEX_ERR_BAD_PUBKEY);
    }
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint8_t kEmpty[1] = {0};
    if (!data) data = kEmpty;
    check_parse(data, size);
    check_arithmetic(data, size);
    return 0;
}
