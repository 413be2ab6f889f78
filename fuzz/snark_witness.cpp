// SNARK witness records of untrusted signatures, keys and messages.
//
// Input: a mode byte. Even: message (32), signature (64), compressed key
// (33) as given; the x-only key for the Schnorr record is the key's last 32
// bytes. Odd: a key (32) and a message (32) are signed with both schemes
// first, then the rest of the input flips bytes of the message, the two
// signatures and the key, so the fuzzer works next to valid signatures.
//
// Properties: the codes are exactly those of the checks (a key that does
// not parse, r or s outside [1, n - 1]); the record restates its inputs and
// holds limb52 forms that match their 32-byte values; its flag agrees with
// the verification exports (ECDSA after low-S normalisation, which the
// record does not apply).
#include <initializer_list>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_zk_ecdsa_snark_witness, qorvex_zk_schnorr_snark_witness);

namespace {

struct Case {
    uint8_t msg[32];
    uint8_t ecdsa_sig[64];
    uint8_t schnorr_sig[64];
    uint8_t pub[33];
};

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Bit i of a big-endian 32-byte value.
int bit(const uint8_t* be32, int i) { return (be32[31 - i / 8] >> (i % 8)) & 1; }

bool limbs_match(const uint8_t* be32, const uint8_t* limbs) {
    for (int k = 0; k < 5; ++k) {
        uint64_t want = 0, got = 0;
        for (int b = 0; b < 52 && 52 * k + b < 256; ++b) want |= static_cast<uint64_t>(bit(be32, 52 * k + b)) << b;
        for (int i = 7; i >= 0; --i) got = (got << 8) | limbs[8 * k + i];
        if (want != got) return false;
    }
    return true;
}

// In [1, n - 1], the check both records make of s (and ECDSA of r).
bool in_range(const uint8_t* be32) {
    bool zero = true;
    for (int i = 0; i < 32; ++i) zero = zero && be32[i] == 0;
    return !zero && std::memcmp(be32, kOrder, 32) < 0;
}

bool below(const uint8_t* be32, const uint8_t* bound) { return std::memcmp(be32, bound, 32) < 0; }

constexpr uint8_t kP[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                            0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFC, 0x2F};

void check_ecdsa(qorvex_ctx* c, const Case& v) {
    uint8_t rec[QORVEX_ZK_ECDSA_SNARK_WITNESS_SIZE];
    std::memset(rec, 0xA5, sizeof rec);
    const int rc = qorvex_zk_ecdsa_snark_witness(c, v.msg, v.pub, v.ecdsa_sig, rec);
    uint8_t parsed[33];
    const bool key_ok = v.pub[0] != 0x04 && qorvex_pubkey_parse(c, v.pub, 33, parsed) == QORVEX_OK;
    if (!key_ok || !in_range(v.ecdsa_sig) || !in_range(v.ecdsa_sig + 32)) {
        FUZZ_CHECK(rc == QORVEX_ERR_BAD_INPUT);
        for (const uint8_t b : rec) FUZZ_CHECK(b == 0xA5);
        return;
    }
    FUZZ_CHECK(rc == QORVEX_OK);
    FUZZ_CHECK(std::memcmp(rec, v.msg, 32) == 0 && std::memcmp(rec + 32, v.ecdsa_sig, 64) == 0);
    FUZZ_CHECK(std::memcmp(rec + 96, v.pub + 1, 32) == 0);
    // Limb fields follow the ten values after the message.
    for (int i = 0; i < 10; ++i) FUZZ_CHECK(limbs_match(rec + 32 + 32 * i, rec + 352 + 40 * i));
    // Scalars below n, coordinates below p.
    for (const int at : {160, 192, 224, 320}) FUZZ_CHECK(below(rec + at, kOrder));
    for (const int at : {96, 128, 256, 288}) FUZZ_CHECK(below(rec + at, kP));
    const uint32_t valid = le32(rec + 752);
    FUZZ_CHECK(valid == 0 || valid == 1);
    if (valid) FUZZ_CHECK(std::memcmp(rec + 320, v.ecdsa_sig, 32) == 0);
    // Verification after low-S normalisation: the opaque form does that.
    uint8_t opaque[64];
    FUZZ_CHECK(qorvex_ecdsa_sig_compact_to_opaque(c, v.ecdsa_sig, opaque) == QORVEX_OK);
    const int rc_verify = qorvex_ecdsa_verify_opaque(c, v.msg, opaque, v.pub);
    FUZZ_CHECK(rc_verify == QORVEX_OK || rc_verify == QORVEX_ERR_VERIFY_FAIL);
    FUZZ_CHECK((valid == 1) == (rc_verify == QORVEX_OK));
}

void check_schnorr(qorvex_ctx* c, const Case& v, const uint8_t* x32) {
    uint8_t rec[QORVEX_ZK_SCHNORR_SNARK_WITNESS_SIZE];
    std::memset(rec, 0xA5, sizeof rec);
    const int rc = qorvex_zk_schnorr_snark_witness(c, v.msg, x32, v.schnorr_sig, rec);
    if (!in_range(v.schnorr_sig + 32)) {
        FUZZ_CHECK(rc == QORVEX_ERR_BAD_INPUT);
        for (const uint8_t b : rec) FUZZ_CHECK(b == 0xA5);
        return;
    }
    FUZZ_CHECK(rc == QORVEX_OK);
    FUZZ_CHECK(std::memcmp(rec, v.msg, 32) == 0 && std::memcmp(rec + 32, v.schnorr_sig, 64) == 0);
    FUZZ_CHECK(std::memcmp(rec + 96, x32, 32) == 0);
    // s, R.y, P.y and e are limbed as they stand; r and x as reduced mod p,
    // which changes them only when they are p or more.
    FUZZ_CHECK(limbs_match(rec + 64, rec + 264));
    for (int i = 0; i < 3; ++i) FUZZ_CHECK(limbs_match(rec + 128 + 32 * i, rec + 344 + 40 * i));
    if (below(v.schnorr_sig, kP)) FUZZ_CHECK(limbs_match(v.schnorr_sig, rec + 224));
    if (below(x32, kP)) FUZZ_CHECK(limbs_match(x32, rec + 304));
    const uint32_t valid = le32(rec + 464);
    FUZZ_CHECK(valid == 0 || valid == 1);
    const int rc_verify = qorvex_schnorr_verify(c, v.msg, v.schnorr_sig, x32);
    FUZZ_CHECK((valid == 1) == (rc_verify == QORVEX_OK));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool signed_mode = in.byte() & 1;
    Case v{};
    if (signed_mode) {
        uint8_t key[32], aux[32] = {0};
        in.bytes(key, 32);
        in.bytes(v.msg, 32);
        if (qorvex_ecdsa_sign(c, v.msg, key, v.ecdsa_sig) != QORVEX_OK) return 0;
        FUZZ_CHECK(qorvex_schnorr_sign(c, v.msg, key, aux, v.schnorr_sig) == QORVEX_OK);
        FUZZ_CHECK(qorvex_pubkey_create(c, key, v.pub) == QORVEX_OK);
        tamper(in, reinterpret_cast<uint8_t*>(&v), sizeof v);
    } else {
        in.bytes(v.msg, 32);
        in.bytes(v.ecdsa_sig, 64);
        std::memcpy(v.schnorr_sig, v.ecdsa_sig, 64);
        in.bytes(v.pub, 33);
    }
    check_ecdsa(c, v);
    // The x-only key: the compressed key's x, lifted to even y by BIP-340.
    check_schnorr(c, v, v.pub + 1);
    return 0;
}
