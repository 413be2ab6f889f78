// ECIES on secp256k1: an ephemeral key pair, the ECDH x coordinate, HKDF-
// SHA256 for an AES-256 key and an HMAC key, AES-256-CTR, and an
// HMAC-SHA256 tag over everything sent (encrypt-then-MAC).
//
// Envelope of a plaintext of L >= 1 bytes, L + 81 bytes in all:
//   E (33, compressed ephemeral key) || IV (16) || ciphertext (L) || tag (32)
// The tag covers E, IV and the ciphertext.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::ecies {

inline constexpr size_t kEphemeralOffset = 0;
inline constexpr size_t kIvOffset = 33;
inline constexpr size_t kCiphertextOffset = 49;
inline constexpr size_t kIvSize = 16;
inline constexpr size_t kTagSize = 32;
inline constexpr size_t kOverhead = kCiphertextOffset + kTagSize;  // 81

// HKDF salt: 17 ASCII bytes, no terminator.
inline constexpr char kSalt[] = "ecies-kdf-salt-01";
inline constexpr size_t kSaltSize = sizeof kSalt - 1;

// Encrypts plaintext[0..len) (len >= 1) to the recipient, a finite point
// checked to be on the curve, into envelope[0..len + 81), which must not
// overlap the plaintext. The ephemeral key and IV come from the operating
// system. False, with the envelope in an unspecified state, only when the
// ephemeral scalar or the shared x coordinate is zero.
bool encrypt(const Point& recipient, const uint8_t* plaintext, size_t len, uint8_t* envelope);

// The same with the ephemeral key bytes (reduced modulo n) and IV given.
bool encrypt_with(const Point& recipient, const uint8_t eph32[32], const uint8_t iv16[16], const uint8_t* plaintext,
                  size_t len, uint8_t* envelope);

// Checks the tag and decrypts envelope[0..envelope_len) (at least 82 bytes)
// into plaintext[0..envelope_len - 81), which must not overlap the
// envelope. False, with nothing written, when E does not parse, the shared
// x coordinate is zero or the tag does not match: one answer for a wrong key
// and for a modified envelope.
bool decrypt(const Scalar& d, const uint8_t* envelope, size_t envelope_len, uint8_t* plaintext);

}  // namespace qorvex::ecies
