// Batch verification of untrusted items, with single verification of each
// item as the oracle: the batch code, the first malformed item, the invalid
// indices and the opaque result bytes must all follow from the single
// verdicts.
//
// Input: a mode byte. Bit 0: Schnorr (else ECDSA). Bit 1: the items are made
// by signing (key, message, aux triples from the input, at most 8), then the
// remaining bytes flip bytes of the items; otherwise the rest of the input
// is the items themselves (a last partial item is dropped). Bit 2: the item
// list is repeated to 100 items (the Schnorr linear combination, the shared
// ECDSA inversion).
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_ecdsa_batch_verify, qorvex_ecdsa_batch_verify_mt, qorvex_ecdsa_batch_identify_invalid,
                    qorvex_ecdsa_verify_opaque_batch, qorvex_ecdsa_verify_opaque_rows, qorvex_schnorr_batch_verify,
                    qorvex_schnorr_batch_identify_invalid);

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kP[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFC, 0x2F};

bool ge_p(const uint8_t* x) { return std::memcmp(x, kP, 32) >= 0; }

// What single verification says of an item.
struct Single {
    int parse = 0;       // 0, or the code the batch gives for this item as its first bad one
    bool valid = false;  // verifies (ECDSA: low-S required)
    bool valid_any_s = false;  // ECDSA: verifies once s is made low
};

Single ecdsa_single(qorvex_ctx* c, const uint8_t* item) {
    Single s;
    uint8_t pub[33], opaque[64];
    if (qorvex_pubkey_parse(c, item + 32, 33, pub) != QORVEX_OK) {
        s.parse = QORVEX_ERR_BAD_PUBKEY;
        return s;
    }
    if (qorvex_ecdsa_sig_compact_to_opaque(c, item + 65, opaque) != QORVEX_OK) {
        s.parse = QORVEX_ERR_BAD_SIG;
        return s;
    }
    s.valid = qorvex_ecdsa_verify(c, item, item + 65, item + 32) == QORVEX_OK;
    s.valid_any_s = qorvex_ecdsa_verify_opaque(c, item, opaque, item + 32) == QORVEX_OK;
    if (s.valid) FUZZ_CHECK(s.valid_any_s);
    return s;
}

Single schnorr_single(qorvex_ctx* c, const uint8_t* item) {
    Single s;
    if (ge_p(item)) {
        s.parse = QORVEX_ERR_BAD_PUBKEY;
        return s;
    }
    const int rc = qorvex_schnorr_verify(c, item + 32, item + 64, item);
    // The single check reads the signature first.
    if (rc == QORVEX_ERR_BAD_SIG) s.parse = QORVEX_ERR_BAD_SIG;
    s.valid = s.valid_any_s = rc == QORVEX_OK;
    return s;
}

void check_batch(qorvex_ctx* c, bool schnorr, const Bytes& items, size_t size) {
    const size_t n = items.size() / size;
    if (n == 0) return;
    std::vector<Single> single(n);
    int want = QORVEX_OK;
    std::vector<size_t> invalid;
    for (size_t i = 0; i < n; ++i) {
        single[i] = schnorr ? schnorr_single(c, &items[i * size]) : ecdsa_single(c, &items[i * size]);
        if (want == QORVEX_OK && single[i].parse != 0) want = single[i].parse;
        if (!single[i].valid_any_s) invalid.push_back(i);
    }
    bool all_valid = true;
    for (const Single& s : single) all_valid = all_valid && s.valid;
    const int verdict = want != QORVEX_OK ? want : all_valid ? QORVEX_OK : QORVEX_ERR_VERIFY_FAIL;

    const int rc = schnorr ? qorvex_schnorr_batch_verify(c, items.data(), n) : qorvex_ecdsa_batch_verify(c, items.data(), n);
    FUZZ_CHECK(rc == verdict);
    if (!schnorr) FUZZ_CHECK(qorvex_ecdsa_batch_verify_mt(c, items.data(), n, 2) == verdict);

    std::vector<size_t> idx(n + 1, ~size_t{0});
    size_t cnt = n;
    const int rc_id = schnorr ? qorvex_schnorr_batch_identify_invalid(c, items.data(), n, idx.data(), &cnt)
                              : qorvex_ecdsa_batch_identify_invalid(c, items.data(), n, idx.data(), &cnt);
    FUZZ_CHECK(rc_id == want);
    if (want == QORVEX_OK) {
        FUZZ_CHECK(cnt == invalid.size());
        FUZZ_CHECK(std::equal(invalid.begin(), invalid.end(), idx.begin()));
        FUZZ_CHECK(idx[n] == ~size_t{0});
    }
    if (schnorr) return;

    // The same bytes read as opaque signatures: one result byte each, from
    // the single opaque verification.
    Bytes msgs, pubs, sigs, rows(n * 140, 0xA5);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* it = &items[i * size];
        msgs.insert(msgs.end(), it, it + 32);
        pubs.insert(pubs.end(), it + 32, it + 65);
        sigs.insert(sigs.end(), it + 65, it + 129);
        std::memcpy(&rows[i * 140], it, 129);
    }
    Bytes results(n, 9), row_results(n, 9);
    FUZZ_CHECK(qorvex_ecdsa_verify_opaque_batch(c, msgs.data(), pubs.data(), sigs.data(), n, results.data()) == QORVEX_OK);
    FUZZ_CHECK(qorvex_ecdsa_verify_opaque_rows(c, rows.data(), 140, n, row_results.data()) == QORVEX_OK);
    FUZZ_CHECK(results == row_results);
    for (size_t i = 0; i < n; ++i) {
        const bool ok = qorvex_ecdsa_verify_opaque(c, &msgs[32 * i], &sigs[64 * i], &pubs[33 * i]) == QORVEX_OK;
        FUZZ_CHECK(results[i] == (ok ? 1 : 0));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const uint8_t mode = in.byte();
    const bool schnorr = mode & 1, made = mode & 2, repeat = mode & 4;
    const size_t item_size = schnorr ? QORVEX_SCHNORR_BATCH_ITEM_SIZE : QORVEX_ECDSA_BATCH_ITEM_SIZE;
    Bytes items;
    if (made) {
        const size_t n = (in.byte() & 7) + 1;
        for (size_t i = 0; i < n; ++i) {
            uint8_t key[32], msg[32], aux[32];
            in.bytes(key, 32);
            in.bytes(msg, 32);
            in.bytes(aux, 32);
            uint8_t item[QORVEX_ECDSA_BATCH_ITEM_SIZE];
            if (schnorr) {
                if (qorvex_pubkey_xonly(c, key, item) != QORVEX_OK) continue;
                std::memcpy(item + 32, msg, 32);
                FUZZ_CHECK(qorvex_schnorr_sign(c, msg, key, aux, item + 64) == QORVEX_OK);
            } else {
                std::memcpy(item, msg, 32);
                if (qorvex_pubkey_create(c, key, item + 32) != QORVEX_OK) continue;
                FUZZ_CHECK(qorvex_ecdsa_sign(c, msg, key, item + 65) == QORVEX_OK);
            }
            items.insert(items.end(), item, item + item_size);
        }
        if (!items.empty()) tamper(in, items.data(), items.size());
    } else {
        const size_t n = std::min<size_t>(in.rest_size() / item_size, 16);
        items.assign(in.rest(), in.rest() + n * item_size);
    }
    if (repeat && !items.empty()) {
        const Bytes once = items;
        while (items.size() < 100 * item_size) items.insert(items.end(), once.begin(), once.end());
        items.resize(100 * item_size);
    }
    check_batch(c, schnorr, items, item_size);
    return 0;
}
