// The FROST records that cross the interface, with their layouts in one
// place. Integers are 32-bit little-endian, scalars 32-byte big-endian,
// points 33-byte compressed. Everything here except the key package and the
// secret nonce arrives from other parties, so each parser checks every
// field before anything is computed from it.
//
//   commitment (33t + 72)  t (4) | sender (4) | C_0 .. C_{t-1} (33 each) | x(R) (32) | z (32)
//   share entry (36)       sender (4) | f(recipient) (32)   (N entries in recipient order)
//   key package (141)      id (4) | t (4) | N (4) | s_i (32) | Y_i (33) | Y (33) | zero (31)
//   secret nonce (64)      d (32) | e (32)
//   nonce commitment (70)  id (4) | D (33) | E (33)
//   partial signature (36) id (4) | z_i (32)
//
// (x(R), z) closing a commitment is the proof of knowledge of a_0: a
// Schnorr proof under C_0 that keeps the participant who moves last from
// choosing the group key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::frost {

// Participant counts, and signer lists, stop at 2^20.
inline constexpr uint32_t kMaxParticipants = 1u << 20;

inline constexpr size_t kShareEntrySize = 36;
inline constexpr size_t kKeyPackageSize = 141;
inline constexpr size_t kNonceSize = 64;
inline constexpr size_t kNonceCommitSize = 70;
inline constexpr size_t kPartialSigSize = 36;

namespace commitment_layout {
inline constexpr size_t kCount = 0;
inline constexpr size_t kSender = 4;
inline constexpr size_t kCoefficients = 8;
inline constexpr size_t kProofSize = 64;  // x(R) || z after the coefficients
}  // namespace commitment_layout

// 8 + 33t + 64 bytes; t is at most 2^20, so no overflow.
constexpr uint64_t commitment_size(uint32_t t) { return 33ull * t + 72; }

namespace share_layout {
inline constexpr size_t kSender = 0;
inline constexpr size_t kValue = 4;
}  // namespace share_layout

namespace keypkg_layout {
inline constexpr size_t kId = 0;
inline constexpr size_t kThreshold = 4;
inline constexpr size_t kParticipants = 8;
inline constexpr size_t kSigningShare = 12;
inline constexpr size_t kVerificationShare = 44;
inline constexpr size_t kGroupKey = 77;
inline constexpr size_t kEnd = 110;  // zero from here on
}  // namespace keypkg_layout

namespace nonce_commit_layout {
inline constexpr size_t kId = 0;
inline constexpr size_t kHiding = 4;
inline constexpr size_t kBinding = 37;
}  // namespace nonce_commit_layout

namespace partial_sig_layout {
inline constexpr size_t kId = 0;
inline constexpr size_t kZ = 4;
}  // namespace partial_sig_layout

// For each of ids, whether the same value occurs at an earlier position.
// O(n log n), so that long hostile lists cost no more than sorting them.
std::vector<bool> repeated_earlier(const std::vector<uint32_t>& ids);

// One commitment blob: the coefficient commitments (affine) and the proof.
struct Commitment {
    uint32_t sender = 0;
    const uint8_t* proof_rx = nullptr;  // inside the blob
    const uint8_t* proof_z = nullptr;

    enum class Fault { none, count, sender, duplicate_sender, coefficient };
    // The count must be t, the sender in 1..n and not yet in seen (a
    // bitmap of n + 1 entries, updated), and each of the t points must
    // decompress (into coefficients[0 .. t)). The proof is only located.
    static bool parse(const uint8_t* blob, uint32_t t, uint32_t n, std::vector<bool>& seen, Point* coefficients,
                      Commitment& out, Fault& fault);
};

// One share entry as received: sender in 1..n, not seen before, value below
// n (zero allowed). The value is secret: value_out belongs to the caller's
// wiped storage.
enum class ShareFault { none, sender, duplicate_sender, scalar };
bool parse_share_entry(const uint8_t entry[kShareEntrySize], uint32_t n, std::vector<bool>& seen,
                       uint32_t& sender_out, Scalar& value_out, ShareFault& fault);

// A participant's key package. It holds the signing share: keep it in a
// WipeOnExit.
struct KeyPackage {
    uint32_t id = 0, threshold = 0, participants = 0;
    Scalar signing_share;
    uint8_t verification_share33[33] = {};
    uint8_t group_key33[33] = {};
    Point verification_share;
    Point group_key;

    enum class Fault { none, metadata, threshold, signing_share, verification_share, group_key };
    // The three counts only: 1 <= id <= N, then 2 <= t <= N.
    static bool parse_header(const uint8_t blob[kKeyPackageSize], KeyPackage& out, Fault& fault);
    // The rest, after parse_header: the share must be in [1, n - 1], both
    // points must decompress.
    static bool parse_keys(const uint8_t blob[kKeyPackageSize], KeyPackage& out, Fault& fault);
    void write(uint8_t blob[kKeyPackageSize]) const;
};

// A signer's published nonce pair.
struct NonceCommitment {
    uint32_t id = 0;
    Point hiding, binding;  // D and E, affine
    const uint8_t* bytes = nullptr;  // the 70 bytes it was read from
};

enum class NonceCommitFault { none, id, duplicate_id, hiding_point, binding_point };
// count commitments in list order: the id not zero (and at most max_id
// when it is not zero), not repeated, then D and E; the first failure in
// that order ends the parse.
bool parse_nonce_commitments(const uint8_t* list, size_t count, uint32_t max_id, std::vector<NonceCommitment>& out,
                             NonceCommitFault& fault);

struct PartialSig {
    uint32_t id = 0;
    Scalar z;
};

enum class PartialSigFault { none, id, duplicate_id, scalar };
// count partial signatures: the id not zero and not repeated, z in
// [1, n - 1].
bool parse_partial_sigs(const uint8_t* list, size_t count, std::vector<PartialSig>& out, PartialSigFault& fault);

}  // namespace qorvex::frost
