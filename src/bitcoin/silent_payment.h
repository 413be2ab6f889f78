// Silent payments on BIP-352's shared-secret construction: the receiver
// publishes a scan key and a spend key; the sender tweaks the spend key with
// a hash of S = (sum of its input keys) * B_scan, and the receiver finds the
// same S as b_scan * (sum of the input public keys).
//
// The steps are separate functions so that every scheme built on that
// construction (this library's sp address with x-only keys and position-bound
// outputs, and standard BIP-352) shares the constant-time code: the shared
// point and its serialization, the tagged hash of the tweak, the tweaked
// spend point, and the Bech32m address text.
//
// Secret: the private keys, S and ser(S), every tweak and every found key.
// Public: the keys of the address, the output keys and which outputs match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "arith/point.h"
#include "arith/scalar.h"
#include "hash/sha256.h"
#include "support/wipe.h"

namespace qorvex::silent_payment {

// Most input keys and outputs one call takes (2^20).
inline constexpr size_t kMaxInputs = 0x100000;
inline constexpr size_t kMaxOutputs = 0x100000;

// --- Shared by every scheme on the BIP-352 construction. ---

// The midstate of the tag "BIP0352/SharedSecret", computed on first use.
const Sha256Context& shared_secret_tag();

// ser(S) of S = d * P: the 33-byte compressed encoding, computed in constant
// time. d must be non-zero and P finite and on the curve, so that S is finite.
void shared_secret(const Scalar& d, const Point& p, uint8_t ser33_out[33]);

// t_k = hash_BIP0352/SharedSecret(ser(S) || ser32(k)), read big-endian and
// reduced once modulo n. Secret; the hash is wiped.
void output_tweak(const uint8_t ser33[33], uint32_t k, Scalar& t_out);

// B + t*G in constant time for a secret t and a finite affine B: Jacobian,
// with its infinity flag set from Z. The caller declassifies what turns
// public (an output key, a match) and wipes the point otherwise.
Point tweaked_point_ct(const Point& b_affine, const Scalar& t);

// Whether the affine x of a Jacobian point P is x, without inverting Z
// (X = x Z^2). Constant time; infinity never matches. The verdict is left
// secret: the caller declassifies it when it is public by design.
uint64_t x_equals_mask(const Point& p, const FieldElement& x);

// hrp || '1' || version || payload in 5-bit groups || Bech32m checksum,
// without BIP-173's 90-character limit (silent-payment addresses are
// longer), and Bech32m for every version (BIP-352 uses it for version 0
// too). False (out untouched) for a version above 31, a bad hrp or too small
// an out.
bool encode_address(std::string_view hrp, unsigned version, std::span<const uint8_t> payload, std::span<char> out,
                    size_t& len);

// --- This library's sp scheme. ---

// "sp", version 1, payload x(B_scan) || x(B_spend).
inline constexpr char kHrp[] = "sp";
inline constexpr unsigned kVersion = 1;
inline constexpr size_t kAddressLength = 113;  // without a NUL

// The address of a key pair, from the affine public keys.
bool address(const Point& b_scan, const Point& b_spend, std::span<char> out, size_t& len);

enum class CreateResult { ok, keys_cancel, infinity };

// The output key P_k = B_spend + t_k G for the sum of the input private keys
// (a_sum) and the recipient's finite affine keys: compressed into out33, and
// t_k into tweak32_out when it is given. keys_cancel for a_sum = 0 (S would
// be infinity, and the tweak one anybody can compute), infinity for P_k at
// infinity; nothing is written then.
CreateResult create_output(const Scalar& a_sum, const Point& b_scan, const Point& b_spend, uint32_t k,
                           uint8_t out33[33], uint8_t* tweak32_out);

// The receiver's side of one transaction: ser(S) for S = b_scan * a_sum,
// where a_sum, the sum of the transaction's input public keys, is finite and
// affine. ser(S) is wiped with the object.
class Scanner {
public:
    Scanner(const Scalar& b_scan, const Point& a_sum);
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

    // The positions i of outputs[i] (32-byte x-only keys, contiguous) that
    // carry P_i = B_spend + t_i G for k = i, in increasing order. Which
    // positions match is public; an x of p or more matches nothing.
    std::vector<uint32_t> matches(const Point& b_spend_point, std::span<const uint8_t> outputs) const;

    // The private key b_spend + t_k mod n of the output found at position k.
    void output_key(const Scalar& b_spend, uint32_t k, uint8_t out32[32]) const;

private:
    SecretBytes<33> ser_;
};

}  // namespace qorvex::silent_payment
