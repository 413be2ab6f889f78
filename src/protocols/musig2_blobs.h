// The MuSig2 records that cross the interface, with their layouts in one
// place. Every blob may come from another party, so parsing checks every
// count, point and scalar before anything is computed from it.
//
//   keyagg (165)   n (4, LE) | q_negated (1) | Q, even y (33) | a_1 .. a_n (32 each) | zero
//   session (165)  R, even y (33) | b (32) | e (32) | r_negated (1) | n (4, LE) | zero (63)
//   secnonce (64)  k1 (32) | k2 (32)
//   pubnonce (66)  k1*G (33) | k2*G (33)
//   aggnonce (66)  R1 (33) | R2 (33); either half 33 zero bytes for infinity
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex::musig2 {

inline constexpr size_t kKeyAggSize = 165;
inline constexpr size_t kSessionSize = 165;
inline constexpr size_t kSecNonceSize = 64;
inline constexpr size_t kPubNonceSize = 66;
inline constexpr size_t kAggNonceSize = 66;
inline constexpr size_t kPartialSigSize = 32;
inline constexpr size_t kPubkeySize = 33;

// Key sets have two or three members: the keyagg blob has room for three
// coefficients.
inline constexpr uint32_t kMinKeys = 2;
inline constexpr uint32_t kMaxKeys = 3;

namespace keyagg_layout {
inline constexpr size_t kCount = 0;
inline constexpr size_t kQNegated = 4;
inline constexpr size_t kQ = 5;
inline constexpr size_t kQx = 6;
inline constexpr size_t kCoefficients = 38;
}  // namespace keyagg_layout

namespace session_layout {
inline constexpr size_t kR = 0;
inline constexpr size_t kRx = 1;
inline constexpr size_t kB = 33;
inline constexpr size_t kE = 65;
inline constexpr size_t kRNegated = 97;
inline constexpr size_t kCount = 98;
}  // namespace session_layout

// A key-aggregation context. MuSig2 tweaking is not offered, so the tweak
// accumulators are fixed (gacc = 1, tacc = 0) and not stored.
struct KeyAgg {
    uint32_t n = 0;
    bool q_negated = false;
    uint8_t q33[33] = {};  // Q as written (even y) or as read
    Scalar coef[kMaxKeys] = {};

    const uint8_t* q_x() const { return q33 + 1; }

    enum class Fault { none, participant_count, aggregate_key, coefficient };
    // Checks in the blob's order: the count, Q, then each coefficient.
    static std::optional<KeyAgg> parse(const uint8_t blob[kKeyAggSize], Fault& fault);
    void write(uint8_t blob[kKeyAggSize]) const;
};

// The values every signer and the aggregator derive from the aggregate
// nonce, the key and the message.
struct Session {
    uint8_t r33[33] = {};  // R (even y when written)
    Scalar b, e;
    bool r_negated = false;
    uint32_t n = 0;

    const uint8_t* r_x() const { return r33 + 1; }

    enum class Fault { none, r_point, b, e, participant_count };
    static std::optional<Session> parse(const uint8_t blob[kSessionSize], Fault& fault);
    void write(uint8_t blob[kSessionSize]) const;
};

// A signer's public nonce: two finite points.
struct PubNonce {
    Point r1, r2;

    enum class Fault { none, r1, r2 };
    static std::optional<PubNonce> parse(const uint8_t in[kPubNonceSize], Fault& fault);
};

// The aggregate nonce as a session takes it: either half may be infinity,
// written as 33 zero bytes.
struct AggNonce {
    Point r1, r2;

    enum class Fault { none, r1, r2 };
    static std::optional<AggNonce> parse(const uint8_t in[kAggNonceSize], Fault& fault);
};

// A compressed point, or infinity for 33 zero bytes; false for anything
// else that does not decompress.
bool parse_point_or_infinity(const uint8_t in33[33], Point& out);

}  // namespace qorvex::musig2
