// Ethereum on secp256k1: addresses (the last 20 bytes of Keccak-256 over
// x || y), their EIP-55 mixed-case text, the EIP-191 personal-message hash,
// and signatures carrying the recovery value v (27/28, or EIP-155 with a
// chain id).
//
// Routines report failure with bool or an all-zero result; the exported
// frames choose codes and messages.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"
#include "sig/ecdsa.h"

namespace qorvex {

inline constexpr size_t kEthAddressSize = 20;
// "0x" and 40 hex digits, without the NUL.
inline constexpr size_t kEip55TextLength = 42;

// Keccak-256 of the 64-byte x || y of p, bytes 12 to 31. p must not be
// infinity; it is public, so it is made affine in variable time.
void eth_address_of_point(const Point& p, uint8_t addr20_out[20]);

// "0x" and the address in EIP-55 case, followed by a NUL (43 bytes).
void eip55_text(const uint8_t addr20[20], char text43_out[43]);

// EIP-191 version 0x45: Keccak-256 of "\x19Ethereum Signed Message:\n", the
// decimal length (no leading zeros, "0" when empty) and the message. msg is
// not read when len is 0.
void eth_personal_hash(const uint8_t* msg, size_t len, uint8_t hash32_out[32]);

// 27 + recid, or 2 * chain_id + 35 + recid (EIP-155) for a non-zero chain
// id; modulo 2^64, so a very large chain id wraps.
uint64_t eth_v_from_recid(int recid, uint64_t chain_id);

// The recovery id that v stands for: v - 27 for 27 and 28; for the EIP-155
// range (v >= 29) 0 when v is odd and 1 when even, whatever the chain id.
// False for v < 27.
bool eth_recid_from_v(uint64_t v, int& recid_out);

struct EthSignature {
    ecdsa::Signature sig;
    uint64_t v;
    // r, s and v all non-zero.
    bool is_valid() const { return !sig.is_zero() && v != 0; }
};

// Recoverable low-S ECDSA (RFC 6979 nonce) of the 32-byte hash as given, with
// v for chain_id (0 for none). Constant time in d. The result is all zero when
// the signer fails; v alone is zero when a huge chain id wraps it to 0, which
// is_valid() also refuses.
EthSignature eth_sign(const uint8_t hash32[32], const Scalar& d, uint64_t chain_id);

// The address that signed hash32 with (r, s, v). r and s are reduced modulo
// n rather than refused; high S is accepted. False when r or s is zero after
// the reduction, v < 27, or no key is recovered. Reaches dual_mul, which may
// throw while it rebuilds the generator tables.
bool eth_ecrecover(const uint8_t hash32[32], const uint8_t r32[32], const uint8_t s32[32], uint64_t v,
                   uint8_t addr20_out[20]);

}  // namespace qorvex
