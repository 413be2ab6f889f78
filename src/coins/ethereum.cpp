// Ethereum addresses, EIP-55 text, EIP-191 message hashes, and signing and
// recovery with the v value.
#include "coins/ethereum.h"

#include <cstring>

#include "hash/keccak.h"
#include "support/hex.h"

namespace qorvex {

namespace {

// 0x19 and "Ethereum Signed Message:\n": the byte 0x19 keeps a signed message
// from ever being a valid RLP-encoded transaction.
constexpr uint8_t kPersonalPrefix[] = {0x19, 'E', 't', 'h', 'e', 'r', 'e', 'u', 'm', ' ', 'S', 'i', 'g',
                                       'n',  'e', 'd', ' ', 'M', 'e', 's', 's', 'a', 'g', 'e', ':', '\n'};
static_assert(sizeof kPersonalPrefix == 26);

// Decimal digits of v, most significant first, without leading zeros ("0"
// for zero). A 64-bit size has at most 20 digits. Returns the digit count.
size_t decimal_digits(uint64_t v, char out20[20]) {
    char rev[20];
    size_t n = 0;
    do {
        rev[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    for (size_t i = 0; i < n; ++i) out20[i] = rev[n - 1 - i];
    return n;
}

}  // namespace

void eth_address_of_point(const Point& p, uint8_t addr20_out[20]) {
    uint8_t pub65[65];
    p.to_uncompressed(pub65);
    uint8_t h[32];
    keccak256(pub65 + 1, 64, h);
    std::memcpy(addr20_out, h + 12, kEthAddressSize);
}

void eip55_text(const uint8_t addr20[20], char text43_out[43]) {
    char hex[2 * kEthAddressSize + 1];
    bytes_to_hex(addr20, kEthAddressSize, hex);
    uint8_t h[32];
    keccak256(reinterpret_cast<const uint8_t*>(hex), 2 * kEthAddressSize, h);
    text43_out[0] = '0';
    text43_out[1] = 'x';
    for (size_t i = 0; i < 2 * kEthAddressSize; ++i) {
        const unsigned nibble = (i % 2 == 0) ? (h[i / 2] >> 4) : (h[i / 2] & 0x0F);
        char c = hex[i];
        // Digits carry no case; a letter's case is one checksum bit.
        if (c >= 'a' && nibble >= 8) c = static_cast<char>(c - 'a' + 'A');
        text43_out[2 + i] = c;
    }
    text43_out[kEip55TextLength] = '\0';
}

void eth_personal_hash(const uint8_t* msg, size_t len, uint8_t hash32_out[32]) {
    char digits[20];
    const size_t ndigits = decimal_digits(static_cast<uint64_t>(len), digits);
    KeccakContext kc;
    keccak256_init(kc);
    keccak256_update(kc, kPersonalPrefix, sizeof kPersonalPrefix);
    keccak256_update(kc, reinterpret_cast<const uint8_t*>(digits), ndigits);
    keccak256_update(kc, msg, len);
    keccak256_final(kc, hash32_out);
}

uint64_t eth_v_from_recid(int recid, uint64_t chain_id) {
    const uint64_t id = static_cast<uint64_t>(recid);
    // Unsigned arithmetic: a chain id near 2^63 wraps instead of overflowing.
    return chain_id != 0 ? 2 * chain_id + 35 + id : 27 + id;
}

bool eth_recid_from_v(uint64_t v, int& recid_out) {
    if (v < 27) return false;
    if (v <= 28) {
        recid_out = static_cast<int>(v - 27);
        return true;
    }
    // v = 2 * chain_id + 35 + recid and 35 is odd, so the parity of v is the
    // recovery id flipped; recovery ids 2 and 3 cannot be expressed.
    recid_out = static_cast<int>(1 - (v & 1));
    return true;
}

EthSignature eth_sign(const uint8_t hash32[32], const Scalar& d, uint64_t chain_id) {
    const EthSignature fail{{Scalar::zero(), Scalar::zero()}, 0};
    int recid = 0;
    const ecdsa::Signature sig = ecdsa::sign_recoverable(hash32, d, recid);
    // The signature and recovery id are public from here on.
    if (sig.is_zero() || recid < 0 || recid > 3) return fail;
    return EthSignature{sig, eth_v_from_recid(recid, chain_id)};
}

bool eth_ecrecover(const uint8_t hash32[32], const uint8_t r32[32], const uint8_t s32[32], uint64_t v,
                   uint8_t addr20_out[20]) {
    // ecrecover takes r and s modulo n; r = n therefore behaves as r = 0.
    const ecdsa::Signature sig{Scalar::from_bytes_reduce(r32), Scalar::from_bytes_reduce(s32)};
    if (sig.is_zero()) return false;
    int recid = 0;
    if (!eth_recid_from_v(v, recid)) return false;
    Point q;
    if (!ecdsa::recover(hash32, sig, recid, q) || q.infinity) return false;
    eth_address_of_point(q, addr20_out);
    return true;
}

}  // namespace qorvex
