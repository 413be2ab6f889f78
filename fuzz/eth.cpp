// Ethereum exports on untrusted bytes: ecrecover, addresses and their EIP-55
// text, personal-message hashes, and signing with v.
//
// Input: a mode byte, then per mode
//   0: hash (32), r (32), s (32), v (8, little-endian) for ecrecover;
//   1: key (32), hash (32), chain id (8) for signing, then recovery;
//   2: a compressed key (33) for the address and its text;
//   3: a message (the rest) for the personal hash.
#include <cctype>
#include <string>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_eth_ecrecover, qorvex_eth_sign, qorvex_eth_address, qorvex_eth_address_checksummed,
                    qorvex_eth_personal_hash);

namespace {

std::string hex(const uint8_t* p, size_t n) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

// The address of a 65-byte uncompressed key: the last 20 bytes of the
// Keccak-256 of its coordinates.
void address_of(const uint8_t pub65[65], uint8_t addr[20]) {
    uint8_t h[32];
    FUZZ_CHECK(qorvex_keccak256(pub65 + 1, 64, h) == QORVEX_OK);
    std::memcpy(addr, h + 12, 20);
}

#if QORVEX_FUZZ_ORACLE
// x mod n for a 256-bit big-endian x: at most one subtraction.
void reduce_mod_n(uint8_t x[32]) {
    if (std::memcmp(x, kOrder, 32) < 0) return;
    int borrow = 0;
    for (int i = 31; i >= 0; --i) {
        const int d = x[i] - kOrder[i] - borrow;
        x[i] = static_cast<uint8_t>(d & 0xFF);
        borrow = d < 0;
    }
}

bool is_zero(const uint8_t x[32]) {
    uint8_t acc = 0;
    for (int i = 0; i < 32; ++i) acc |= x[i];
    return acc == 0;
}

// The address recovered by the oracle, with Ethereum's rules: r and s
// reduced modulo n, v = 27 + id or (EIP-155) 2 chain + 35 + id.
bool oracle_ecrecover(const uint8_t hash[32], const uint8_t r32[32], const uint8_t s32[32], uint64_t v,
                      uint8_t addr[20]) {
    uint8_t rs[64];
    std::memcpy(rs, r32, 32);
    std::memcpy(rs + 32, s32, 32);
    reduce_mod_n(rs);
    reduce_mod_n(rs + 32);
    if (is_zero(rs) || is_zero(rs + 32) || v < 27) return false;
    const int recid = v <= 28 ? static_cast<int>(v - 27) : static_cast<int>(1 - (v & 1));
    const secp256k1_context* o = oracle();
    secp256k1_ecdsa_recoverable_signature sig;
    secp256k1_pubkey pk;
    if (!secp256k1_ecdsa_recoverable_signature_parse_compact(o, &sig, rs, recid)) return false;
    if (!secp256k1_ecdsa_recover(o, &pk, &sig, hash)) return false;
    uint8_t pub65[65];
    size_t len = 65;
    secp256k1_ec_pubkey_serialize(o, pub65, &len, &pk, SECP256K1_EC_UNCOMPRESSED);
    address_of(pub65, addr);
    return true;
}
#endif

void check_ecrecover(Input& in) {
    uint8_t hash[32], r[32], s[32], addr[20];
    in.bytes(hash, 32);
    in.bytes(r, 32);
    in.bytes(s, 32);
    const uint64_t v = in.u64();
    std::memset(addr, 0xA5, sizeof addr);
    const int rc = qorvex_eth_ecrecover(ctx(), hash, r, s, v, addr);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_SIG);
    if (rc != QORVEX_OK)
        for (uint8_t b : addr) FUZZ_CHECK(b == 0xA5);
#if QORVEX_FUZZ_ORACLE
    uint8_t theirs[20];
    const bool ok = oracle_ecrecover(hash, r, s, v, theirs);
    FUZZ_CHECK(ok == (rc == QORVEX_OK));
    if (ok) FUZZ_CHECK(std::memcmp(theirs, addr, 20) == 0);
#endif
}

void check_sign(Input& in) {
    qorvex_ctx* c = ctx();
    uint8_t key[32], hash[32], r[32], s[32];
    in.bytes(key, 32);
    in.bytes(hash, 32);
    const uint64_t chain = in.u64();
    uint64_t v = 99;
    const int rc = qorvex_eth_sign(c, hash, key, r, s, &v, chain);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_KEY || rc == QORVEX_ERR_INTERNAL);
    if (rc != QORVEX_OK) {
        // Cleared on every failure.
        FUZZ_CHECK(v == 0);
        for (int i = 0; i < 32; ++i) FUZZ_CHECK(r[i] == 0 && s[i] == 0);
        return;
    }
    // v encodes the chain id (modulo 2^64), and ecrecover finds the
    // signer's address. A chain id near 2^63 wraps v round to a small value
    // that no longer reads as EIP-155; real chain ids are far below.
    if (chain == 0) {
        FUZZ_CHECK(v == 27 || v == 28);
    } else {
        FUZZ_CHECK(v - 35 - 2 * chain <= 1);
    }
    if (chain <= (UINT64_MAX - 36) / 2) {
        uint8_t pub65[65], expected[20], got[20];
        FUZZ_CHECK(qorvex_pubkey_create_uncompressed(c, key, pub65) == QORVEX_OK);
        address_of(pub65, expected);
        FUZZ_CHECK(qorvex_eth_ecrecover(c, hash, r, s, v, got) == QORVEX_OK);
        FUZZ_CHECK(std::memcmp(expected, got, 20) == 0);
    }
    // The same r and s as recoverable ECDSA signing.
    uint8_t sig[64];
    int recid = -1;
    FUZZ_CHECK(qorvex_ecdsa_sign_recoverable(c, hash, key, sig, &recid) == QORVEX_OK);
    FUZZ_CHECK(std::memcmp(sig, r, 32) == 0 && std::memcmp(sig + 32, s, 32) == 0);
}

void check_address(Input& in) {
    qorvex_ctx* c = ctx();
    uint8_t pub[33], addr[20];
    in.bytes(pub, 33);
    const int rc = qorvex_eth_address(c, pub, addr);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_PUBKEY);
    char text[64];
    size_t len = sizeof text;
    FUZZ_CHECK(qorvex_eth_address_checksummed(c, pub, text, &len) == rc);
    // Too small a buffer is reported first, whatever the key.
    size_t small = 42;
    FUZZ_CHECK(qorvex_eth_address_checksummed(c, pub, text, &small) == QORVEX_ERR_BUF_TOO_SMALL && small == 42);
    if (rc != QORVEX_OK) return;
    // The text is the address in hex with only the letters' case changed.
    FUZZ_CHECK(len == 42 && text[42] == '\0');
    std::string lowered(text, 42);
    for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    FUZZ_CHECK(lowered == "0x" + hex(addr, 20));
#if QORVEX_FUZZ_ORACLE
    secp256k1_pubkey pk;
    FUZZ_CHECK(secp256k1_ec_pubkey_parse(oracle(), &pk, pub, 33) == 1);
    uint8_t pub65[65], theirs[20];
    size_t plen = 65;
    secp256k1_ec_pubkey_serialize(oracle(), pub65, &plen, &pk, SECP256K1_EC_UNCOMPRESSED);
    address_of(pub65, theirs);
    FUZZ_CHECK(std::memcmp(theirs, addr, 20) == 0);
#endif
}

void check_personal_hash(Input& in) {
    const uint8_t* msg = in.rest();
    const size_t len = in.rest_size();
    uint8_t h[32];
    FUZZ_CHECK(qorvex_eth_personal_hash(len ? msg : nullptr, len, h) == QORVEX_OK);
    // "\x19Ethereum Signed Message:\n", the decimal length, the message.
    std::string framed = "\x19" "Ethereum Signed Message:\n" + std::to_string(len);
    framed.append(reinterpret_cast<const char*>(msg), len);
    uint8_t expected[32];
    FUZZ_CHECK(qorvex_keccak256(reinterpret_cast<const uint8_t*>(framed.data()), framed.size(), expected) ==
               QORVEX_OK);
    FUZZ_CHECK(std::memcmp(h, expected, 32) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    switch (in.byte() % 4) {
        case 0: check_ecrecover(in); break;
        case 1: check_sign(in); break;
        case 2: check_address(in); break;
        default: check_personal_hash(in); break;
    }
    return 0;
}
