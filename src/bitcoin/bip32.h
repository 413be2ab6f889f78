// BIP-32 hierarchical deterministic keys: the parsed ExtendedKey, master
// keys from seeds, child derivation (private and public parents, hardened
// and normal), paths, the 78-byte serialization, the library's 82-byte
// record, and the xprv/xpub text.
//
// Private derivation is secret-handling code: the parent key and chain
// code, the HMAC output and the child key go through constant-time
// arithmetic (scalar addition, the constant-time comb behind
// public_key_point) and every copy is wiped. Public derivation works on
// public data (an xpub) and uses the variable-time generator tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex {

// The parsed form of an extended key. Hold it in a WipeOnExit.
struct ExtendedKey {
    uint8_t key[32];  // the private key (big-endian), or the x of the public key
    uint8_t chain_code[32];
    uint8_t depth;
    uint32_t child_number;
    uint8_t parent_fingerprint[4];
    uint8_t is_private;     // 1 = private
    uint8_t public_prefix;  // 0x02 or 0x03 (parity of y) when public
};

namespace bip32 {

inline constexpr uint32_t kHardened = 0x80000000u;
inline constexpr uint32_t kXprvVersion = 0x0488ADE4u;
inline constexpr uint32_t kXpubVersion = 0x0488B21Eu;
// The testnet versions (tprv, tpub). Records carry the mainnet ones only;
// text readers that take testnet keys map these onto them.
inline constexpr uint32_t kTprvVersion = 0x04358394u;
inline constexpr uint32_t kTpubVersion = 0x043587CFu;
inline constexpr size_t kMinSeed = 16;
inline constexpr size_t kMaxSeed = 64;
inline constexpr size_t kMaxDepth = 255;
inline constexpr size_t kSerializedSize = 78;
inline constexpr size_t kRecordSize = 82;
// The xprv/xpub text: 111 characters; the room the encoder needs.
inline constexpr size_t kTextLength = 111;
inline constexpr size_t kTextRoom = 114;

// Offsets in the serialization and the record.
inline constexpr size_t kOffVersion = 0;
inline constexpr size_t kOffDepth = 4;
inline constexpr size_t kOffFingerprint = 5;
inline constexpr size_t kOffChildNumber = 9;
inline constexpr size_t kOffChainCode = 13;
inline constexpr size_t kOffKeyData = 45;
inline constexpr size_t kOffKind = 78;
inline constexpr size_t kOffReserved = 79;
inline constexpr uint8_t kKindPublic = 0;
inline constexpr uint8_t kKindPrivate = 1;

// The master key of a seed of 16 to 64 bytes: HMAC-SHA512("Bitcoin seed",
// seed), the left half the key, the right half the chain code. False (out
// all zero) for another seed length or a left half that is not a valid key.
bool master(std::span<const uint8_t> seed, ExtendedKey& out);

// The child at index (hardened from 2^31). False (out all zero) for a
// hardened index under a public parent, a parent at depth 255, an HMAC left
// half that is zero or not below n, or a child key of zero / a child point
// at infinity. out may be the parent itself.
bool derive_child(const ExtendedKey& parent, uint32_t index, ExtendedKey& out);

// The key at the end of steps below parent; false (out all zero) when any
// step fails. Only the last child's parent fingerprint is filled in, so a
// hardened step below a private key that is not the last one skips the
// multiplication that would give its parent's public key.
bool derive_steps(const ExtendedKey& parent, std::span<const uint32_t> steps, ExtendedKey& out);

// A derivation path: "m", then steps "/" + decimal index (at most
// 2147483647, leading zeros allowed) + an optional hardened marker (', h or
// H). Nothing else: no trailing '/', no empty step, no white space, "m" in
// lower case only.
struct Path {
    uint32_t index[kMaxDepth];
    size_t count;
};
// False for text outside that syntax, or more steps than any key can take.
bool parse_path(std::string_view text, Path& out);

// The key at the end of a path below parent; false (out all zero) when the
// text is not a path or any step fails. "m" gives the parent unchanged.
bool derive_path(const ExtendedKey& parent, std::string_view path, ExtendedKey& out);

// The private key; zero when the key is public or its bytes are not a valid
// key. Hold the result in a WipeOnExit.
Scalar private_key(const ExtendedKey& k);
// The public key (affine), computed in constant time for a private key;
// infinity when it cannot be formed.
Point public_key(const ExtendedKey& k);
// The compressed public key; false when it cannot be formed.
bool public_key_bytes(const ExtendedKey& k, uint8_t out33[33]);

// The 78-byte BIP-32 serialization (mainnet versions).
void serialize(const ExtendedKey& k, uint8_t out78[kSerializedSize]);

// Reading the 82-byte record: the checks in order, the first failing one
// decides.
enum class RecordError {
    ok,
    kind,            // kind byte >= 2
    reserved,        // a reserved byte non-zero
    version,         // not the mainnet version of the kind
    private_marker,  // private key data not starting with 0x00
    private_key,     // private key zero or >= n
    public_prefix,   // public key data not starting with 0x02 or 0x03
    public_key,      // x not on the curve
};
RecordError parse_record(const uint8_t rec[kRecordSize], ExtendedKey& out);
void write_record(const ExtendedKey& k, uint8_t rec[kRecordSize]);

// The xprv/xpub text (Base58Check of the serialization) in text[0..len);
// text needs kTextRoom characters. Constant time in a private key.
bool to_base58(const ExtendedKey& k, char* text, size_t& len);

// xprv/xpub text to a record for parse_record: the 78 bytes, kind 0 for the
// xpub version and 1 for any other (parse_record then refuses a version
// that is not xprv). False for text that fails Base58Check, a payload that
// is not 78 bytes, or a depth-0 key with a non-zero parent fingerprint or
// child number (BIP-32's invalid master keys).
bool record_from_base58(std::string_view text, uint8_t rec[kRecordSize]);

}  // namespace bip32

}  // namespace qorvex
