// BIP-322 generic signed messages: the tagged message hash, the two virtual
// transactions, and the "simple" signatures (a serialized witness stack in
// Base64) of single-key P2WPKH and P2TR addresses.
//
// to_spend pays 0 to the address's script (the challenge) from an input
// whose scriptSig pushes the message hash; to_sign spends that output to a
// bare OP_RETURN. Both are version 0, lock time 0, sequence 0, and are
// built as transaction views, so that their ids and digests come from the
// one serializer in tx_digest.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "arith/scalar.h"
#include "bitcoin/base64.h"
#include "bitcoin/tx_digest.h"

namespace qorvex::bip322 {

// TaggedHash("BIP0322-signed-message", msg); msg is not read when len is 0.
void message_hash(const uint8_t* msg, size_t len, uint8_t out32[32]);

// to_spend and to_sign for one message hash and challenge. A view: the
// challenge bytes must outlive it; it points into itself, so it is neither
// copied nor moved.
class VirtualTransactions {
public:
    VirtualTransactions(const uint8_t message_hash32[32], std::span<const uint8_t> challenge);
    VirtualTransactions(const VirtualTransactions&) = delete;
    VirtualTransactions& operator=(const VirtualTransactions&) = delete;

    tx::Transaction to_spend() const;
    // Without its witness: what the digests read.
    tx::Transaction to_sign() const;
    // The one output to_sign spends: 0 paid to the challenge.
    tx::SpentOutputs spent() const { return {&kZeroAmount, {challenge_ptr_, challenge_len_}}; }
    const uint8_t* to_spend_txid() const { return to_spend_txid_; }

private:
    static constexpr uint64_t kZeroAmount = 0;
    static constexpr uint32_t kZero32 = 0;
    static constexpr uint32_t kNoIndex = 0xFFFFFFFFu;
    static constexpr uint8_t kOpReturn = 0x6A;

    uint8_t script_sig_[34];  // OP_0 PUSH32 message hash
    const uint8_t* script_sig_ptr_[1];
    size_t script_sig_len_[1];
    const uint8_t* challenge_ptr_[1];
    size_t challenge_len_[1];
    const uint8_t* op_return_ptr_[1];
    size_t op_return_len_[1];
    uint8_t to_spend_txid_[32];
};

// The address kinds of simple signatures, numbered as the exports take them.
enum class AddressType : int { p2wpkh = 1, p2tr = 2 };

// The largest simple signature made here: the item count, a strict-DER
// low-S signature with its hash type (72 bytes) and the compressed key, each
// with its size.
inline constexpr size_t kMaxSignedWitnessSize = 1 + 1 + 72 + 1 + 33;
inline constexpr size_t kMaxSignedTextLength = base64::encoded_size(kMaxSignedWitnessSize);

// Longest signature text a verification reads: the Base64 of 4 KiB, room
// for a key-path signature and an annex of almost that size.
inline constexpr size_t kMaxReadTextLength = base64::encoded_size(4096);

struct Witness {
    uint8_t bytes[kMaxSignedWitnessSize];
    size_t len;
};

enum class SignResult { ok, tweak_failed, degenerate };

// The simple signature of msg by d for its P2WPKH address (BIP-143 digest,
// low-S ECDSA by RFC 6979 with SIGHASH_ALL; witness [sig, key]; aux32 is
// not used) or its BIP-86 P2TR address (d tweaked with no script tree,
// BIP-341 key-path digest with SIGHASH_DEFAULT, BIP-340 with aux32; witness
// [sig]). d must be a valid key. Constant time in d; its copies are wiped.
SignResult simple_sign(const Scalar& d, AddressType type, const uint8_t* msg, size_t len, const uint8_t aux32[32],
                       Witness& out);

// What a simple signature check found, in the order it looks.
enum class VerifyResult {
    valid,
    bad_address,          // not an address of mainnet or testnet
    unsupported_address,  // P2PKH, P2SH, P2WSH, another witness version or size
    unsupported_variant,  // "ful" or "pof": a full or proof-of-funds signature
    too_long,             // more than kMaxReadTextLength characters (prefix left out)
    bad_base64,
    bad_witness,        // not exactly one serialized witness stack
    script_path,        // a P2TR witness that is no key-path spend
    witness_mismatch,   // items that cannot spend the address (count, key, sizes)
    bad_sighash_type,   // not SIGHASH_ALL (or, for P2TR, SIGHASH_DEFAULT)
    bad_encoding,       // not strict DER with low S, or a 65-byte P2TR signature of type 0
    invalid,            // the signature does not verify
};

// Checks a simple signature, given with or without BIP-322's "smp" prefix,
// of msg for the address. Variable time: every input is public. Reaches
// the variable-time generator multiplication, which may throw while it
// (re)builds its tables.
VerifyResult simple_verify(std::string_view address, const uint8_t* msg, size_t len, std::string_view signature);

}  // namespace qorvex::bip322
