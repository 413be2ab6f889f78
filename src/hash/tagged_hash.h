// BIP-340 tagged hashes: SHA-256(SHA-256(tag) || SHA-256(tag) || message).
//
// The prefix is exactly one block, so the state after it (the midstate)
// depends only on the tag. The tags the library itself uses have their
// midstates computed once while the library loads; hashing under them costs
// a copy instead of two compressions. Any other tag goes through the general
// form, which hashes the tag on every call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hash/sha256.h"

namespace qorvex {

// The fixed tags. The order is that of the midstate table; Count is not a tag.
enum class FixedTag : uint8_t {
    Bip340Aux,          // "BIP0340/aux"
    Bip340Nonce,        // "BIP0340/nonce"
    Bip340Challenge,    // "BIP0340/challenge"
    Bip340Msg,          // "BIP0340/msg"
    TapTweak,           // "TapTweak"
    KeyAggList,         // "KeyAgg list"
    KeyAggCoefficient,  // "KeyAgg coefficient"
    MusigAux,           // "MuSig/aux"
    MusigNonce,         // "MuSig/nonce"
    MusigNonceCoef,     // "MuSig/noncecoef"
    FrostBinding,       // "FROST_binding"
    BulletproofGen,     // "Bulletproof/gen"
    BulletproofIp,      // "Bulletproof/ip"
    BulletproofX,       // "Bulletproof/x"
    BulletproofY,       // "Bulletproof/y"
    BulletproofZ,       // "Bulletproof/z"
    ZkDleq,             // "ZK/dleq"
    ZkKnowledge,        // "ZK/knowledge"
    ZkNonce,            // "ZK/nonce"
    Count
};

inline constexpr size_t kFixedTagCount = static_cast<size_t>(FixedTag::Count);

// The tag's bytes as a NUL-terminated string.
const char* fixed_tag_name(FixedTag tag);

// The context after the tag's prefix block (buffered 0, total 64). Copy it
// and keep updating to hash a message in pieces.
const Sha256Context& tag_midstate(FixedTag tag);

// Starts ctx at the midstate of a fixed tag.
void tagged_hash_init(Sha256Context& ctx, FixedTag tag);

// Starts ctx after the prefix of any tag (NUL-terminated, may be empty).
void tagged_hash_init(Sha256Context& ctx, const char* tag);

// The tagged hash of data under a fixed tag, from its midstate.
void tagged_hash(FixedTag tag, const uint8_t* data, size_t len, uint8_t out32[32]);

// The tagged hash of data under any tag (NUL-terminated, may be empty). It
// never consults the fixed table.
void tagged_hash(const char* tag, const uint8_t* data, size_t len, uint8_t out32[32]);

}  // namespace qorvex
