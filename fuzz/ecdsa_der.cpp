// ECDSA signature encodings from untrusted bytes: strict DER, compact and
// opaque forms, and low-S normalisation.
//
// The whole input is read as DER; its first 64 bytes (zero-padded) as a
// compact signature.
#include <string>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_ecdsa_sig_from_der, qorvex_ecdsa_sig_to_der, qorvex_ecdsa_sig_compact_to_opaque,
                    qorvex_ecdsa_sig_opaque_to_compact, qorvex_ecdsa_sig_normalize_opaque);

namespace {

bool starts_with(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

// Both halves of a compact signature in [1, n-1].
bool canonical(const uint8_t sig64[64]) {
    uint8_t der[72];
    size_t len = sizeof der;
    return qorvex_ecdsa_sig_to_der(ctx(), sig64, der, &len) == QORVEX_OK;
}

void check_der(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    uint8_t sig[64];
    std::memset(sig, 0xEE, sizeof sig);
    const int rc = qorvex_ecdsa_sig_from_der(c, data, size, sig);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_SIG);
    const std::string msg = qorvex_last_error_msg(c);
    if (rc == QORVEX_OK) {
        // Strict DER has one encoding per signature: re-encoding gives the
        // input back byte for byte.
        uint8_t der[72];
        size_t len = sizeof der;
        FUZZ_CHECK(qorvex_ecdsa_sig_to_der(c, sig, der, &len) == QORVEX_OK);
        FUZZ_CHECK(len == size && std::memcmp(der, data, size) == 0);
    } else {
        FUZZ_CHECK(starts_with(msg.c_str(), "bad DER"));
        if (msg == "bad DER: r or s out of range [1,n-1]") FUZZ_CHECK(!canonical(sig));
    }
#if QORVEX_FUZZ_ORACLE
    secp256k1_ecdsa_signature os;
    const bool ok = secp256k1_ecdsa_signature_parse_der(oracle(), &os, data, size) == 1;
    uint8_t theirs[64] = {};
    if (ok) secp256k1_ecdsa_signature_serialize_compact(oracle(), theirs, &os);
    if (rc == QORVEX_OK) {
        FUZZ_CHECK(ok);
        FUZZ_CHECK(std::memcmp(theirs, sig, 64) == 0);
    } else if (ok && canonical(theirs)) {
        // The oracle also reads long-form lengths (which can take the whole
        // past 72 bytes); qorvex's strict DER refuses them. Nothing else may
        // differ.
        FUZZ_CHECK(msg == "bad DER: long-form length" || msg == "bad DER: long-form int length" ||
                   msg == "bad DER: missing/oversized SEQUENCE");
    }
#endif
}

void check_compact(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    uint8_t sig[64];
    Input(data, size).bytes(sig, 64);
    const bool ok = canonical(sig);

    // DER: minimal, at most 72 bytes, decodes back; a buffer one byte short
    // is refused and left alone.
    uint8_t der[72];
    size_t len = sizeof der;
    const int rc_der = qorvex_ecdsa_sig_to_der(c, sig, der, &len);
    FUZZ_CHECK(rc_der == (ok ? QORVEX_OK : QORVEX_ERR_BAD_SIG));
    if (ok) {
        uint8_t back[64];
        FUZZ_CHECK(qorvex_ecdsa_sig_from_der(c, der, len, back) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(back, sig, 64) == 0);
        uint8_t small[72];
        std::memset(small, 0x5A, sizeof small);
        size_t short_len = len - 1;
        FUZZ_CHECK(qorvex_ecdsa_sig_to_der(c, sig, small, &short_len) == QORVEX_ERR_BUF_TOO_SMALL);
        FUZZ_CHECK(short_len == len - 1 && small[0] == 0x5A);
    }

    // Opaque: each half reversed; the conversion round-trips.
    uint8_t opaque[64], compact[64];
    const int rc_op = qorvex_ecdsa_sig_compact_to_opaque(c, sig, opaque);
    FUZZ_CHECK(rc_op == (ok ? QORVEX_OK : QORVEX_ERR_BAD_SIG));
    if (ok) {
        for (int i = 0; i < 32; ++i) FUZZ_CHECK(opaque[i] == sig[31 - i] && opaque[32 + i] == sig[63 - i]);
        FUZZ_CHECK(qorvex_ecdsa_sig_opaque_to_compact(c, opaque, compact) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(compact, sig, 64) == 0);
    }
    // The input read as opaque: converts exactly when its reversal does.
    int changed = -1;
    uint8_t norm[64], norm2[64];
    const int rc_from_op = qorvex_ecdsa_sig_opaque_to_compact(c, sig, compact);
    const int rc_norm = qorvex_ecdsa_sig_normalize_opaque(c, sig, norm, &changed);
    FUZZ_CHECK(rc_norm == rc_from_op);
    if (rc_norm == QORVEX_OK) {
        // Normalising is idempotent and changes exactly the high-S ones.
        int changed2 = -1;
        FUZZ_CHECK(qorvex_ecdsa_sig_normalize_opaque(c, norm, norm2, &changed2) == QORVEX_OK);
        FUZZ_CHECK(changed2 == 0 && std::memcmp(norm, norm2, 64) == 0);
        FUZZ_CHECK((changed == 1) == (std::memcmp(norm, sig, 64) != 0));
        FUZZ_CHECK(std::memcmp(norm, sig, 32) == 0);  // r is kept
    } else {
        FUZZ_CHECK(changed == 0);
    }
#if QORVEX_FUZZ_ORACLE
    secp256k1_ecdsa_signature os;
    const bool parsed = secp256k1_ecdsa_signature_parse_compact(oracle(), &os, sig) == 1;
    if (ok) {
        FUZZ_CHECK(parsed);
        uint8_t theirs[72];
        size_t their_len = sizeof theirs;
        FUZZ_CHECK(secp256k1_ecdsa_signature_serialize_der(oracle(), theirs, &their_len, &os) == 1);
        FUZZ_CHECK(their_len == len && std::memcmp(theirs, der, len) == 0);
        secp256k1_ecdsa_signature low;
        const bool was_high = secp256k1_ecdsa_signature_normalize(oracle(), &low, &os) == 1;
        uint8_t low64[64], low_opaque[64], ours[64];
        secp256k1_ecdsa_signature_serialize_compact(oracle(), low64, &low);
        int ours_changed = -1;
        FUZZ_CHECK(qorvex_ecdsa_sig_normalize_opaque(c, opaque, ours, &ours_changed) == QORVEX_OK);
        FUZZ_CHECK(ours_changed == (was_high ? 1 : 0));
        FUZZ_CHECK(qorvex_ecdsa_sig_compact_to_opaque(c, low64, low_opaque) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(low_opaque, ours, 64) == 0);
    }
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const uint8_t kEmpty[1] = {0};
    if (!data) data = kEmpty;
    check_der(data, size);
    check_compact(data, size);
    return 0;
}
