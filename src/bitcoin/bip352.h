// BIP-352 silent payments: sp1/tsp1 addresses, labels, the public key an
// input contributes, the sender's output keys and the receiver's scan, in
// the full form (from the inputs) and the light-client form (from the
// per-transaction tweak input_hash * A that index servers publish).
//
// Secrets (the scan key, input private keys, shared secrets and the tweaks
// derived from them) go through constant-time code and are wiped; the
// output keys a tweak produces are public and compared in variable time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::bip352 {

inline constexpr size_t kOutpointSize = 36;   // txid (serialized order) || vout (little-endian)
inline constexpr size_t kRecipientSize = 66;  // ser_P(B_scan) || ser_P(B_m)
inline constexpr size_t kLabelSize = 69;      // ser32(m) || L_m uncompressed (04 || x || y)
inline constexpr size_t kMatchSize = 72;      // see Match
inline constexpr size_t kKMax = 2323;         // outputs per scan key in one transaction
inline constexpr size_t kMaxAddressLength = 1023;
inline constexpr uint32_t kNoLabel = 0xFFFFFFFFu;

// --- Hashes ---

// hash_BIP0352/Label(ser256(b_scan) || ser32(m)), as bytes (secret).
void label_hash(const Scalar& b_scan, uint32_t m, uint8_t out32[32]);

// hash_BIP0352/Inputs(outpoint_L || ser_P(A)) as a scalar; false when it is
// 0 or >= n. A is public.
bool input_hash(const uint8_t outpoint36[36], const Point& a_sum, Scalar& out);

// t_k = hash_BIP0352/SharedSecret(ser_P(S) || ser32(k)); false (out zero)
// when it is 0 or >= n. Constant time in S; the verdict is public.
bool shared_tweak(const uint8_t s33[33], uint32_t k, Scalar& out);

// spend + t*G for a secret t != 0 (spend affine): constant time up to the
// result, an output key and public (affine). False for infinity.
bool output_point(const Scalar& t, const Point& spend, Point& out);

// The byte-wise smallest of n outpoints (n >= 1), 36 bytes each.
const uint8_t* smallest_outpoint(const uint8_t* outpoints, size_t n);

// --- Addresses ---

enum class AddressError {
    none,
    too_long,
    malformed,     // not a Bech32 string at all
    bad_checksum,  // a Bech32 string whose Bech32m checksum fails
    bad_prefix,    // hrp other than "sp" and "tsp"
    bad_version,   // version other than 0
    bad_length,    // data not exactly 66 bytes
    bad_scan_key,
    bad_spend_key,
};

struct Address {
    bool testnet;
    uint8_t scan[33];
    uint8_t spend[33];
};

// hrp "sp" or "tsp", '1', 'q' (version 0), the 66 key bytes in 5-bit
// groups and the Bech32m checksum: 116 or 117 characters. The keys are
// written as given; the caller has checked them. False when out is too
// small.
size_t address_length(bool testnet);
bool encode_address(bool testnet, const uint8_t scan33[33], const uint8_t spend33[33], std::span<char> out,
                    size_t& len);

AddressError decode_address(std::string_view text, Address& out);

// --- Labels ---

// B_m = B_spend + label_hash(b_scan, m) * G and the label point L_m; false
// when the hash is >= n (or 0) or B_m is infinity. Constant time in b_scan;
// the two points are public.
bool labelled_spend_key(const Scalar& b_scan, const Point& spend, uint32_t m, Point& b_m, Point& l_m);

// --- Inputs ---

enum class InputKind { eligible, not_eligible, future_segwit, bad_witness };

// The public key BIP-352 counts for one input, compressed: from the
// scriptSig of a P2PKH spend (the last 33-byte window hashing to the key
// hash, so that malleated scriptSigs are read too), the last witness item of
// P2WPKH and P2SH-P2WPKH spends, the output key of P2TR spends unless a
// script-path spend reveals the NUMS internal key H. The witness is the
// serialized stack (empty bytes: no witness). Only compressed keys count.
InputKind input_pubkey(std::span<const uint8_t> script_sig, std::span<const uint8_t> witness,
                       std::span<const uint8_t> script_pubkey, uint8_t out33[33]);

// --- Sender ---

struct Recipient {
    Point scan;       // affine
    Point spend;      // affine, B_m
    const uint8_t* scan33;
};

enum class SendError { none, group_too_large, zero_sum, input_hash_range, tweak_range, infinity };

// Output keys for recipients[i] in out[32 i ..]: recipients are grouped by
// scan key, and k counts the earlier members of the same group in the order
// given. a_sum is the sum of the input keys (each negated to even y when it
// spends a Taproot output), outpoint_l the smallest outpoint.
SendError send(const Scalar& a_sum, const uint8_t outpoint_l[36], std::span<const Recipient> recipients,
               uint8_t* out);

// --- Receiver ---

struct Label {
    uint32_t m;
    Point point;    // L_m, affine
    uint8_t enc[33];  // L_m compressed
};

struct Match {
    uint32_t output_index;
    uint32_t label_index;  // index into the label list, or kNoLabel
    Scalar tweak;          // t_k (+ the label hash): the spend key's tweak
};

enum class ScanError { none, tweak_range, foreign_label };

// The scan loop with the shared secret S = (b_scan * c) * q: q = A and
// c = input_hash for the full form, q = input_hash * A and c = 1 for the
// light-client form. q is finite and affine. outputs: n x-only keys, in
// transaction order. Matches are appended in the order found (k = 0, 1,
// ...); matches must have room for min(n, kKMax) entries so that it never
// reallocates (it holds tweaks).
ScanError scan(const Scalar& b_scan, const Scalar& c, const Point& q, const Point& spend,
               std::span<const Label> labels, const uint8_t* outputs, size_t n_outputs, std::vector<Match>& matches);

// input_hash * A, affine: what index servers publish. a_sum is finite.
// false for an input hash out of range.
bool tweak_point(const Point& a_sum, const uint8_t outpoint_l[36], Point& out);

}  // namespace qorvex::bip352
