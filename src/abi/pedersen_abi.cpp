// Pedersen commitments: commit, switch commit, verify, the balance of two
// sets of commitments, and the blinding sum that makes them balance.
#include <cstdint>
#include <vector>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "protocols/pedersen.h"
#include "support/declassify.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kValueGeN[] = "value >= n";
constexpr char kBlindingGeN[] = "blinding >= n";
constexpr char kSwitchBlindGeN[] = "switch_blind >= n";
constexpr char kBadCommitment[] = "invalid commitment point";
constexpr char kVerifyFailed[] = "Pedersen verify failed";
constexpr char kTooManyCommitments[] = "commitment count too large";
constexpr char kBadPositive[] = "invalid positive commitment";
constexpr char kBadNegative[] = "invalid negative commitment";
constexpr char kSumFailed[] = "Pedersen sum verify failed";
constexpr char kTooManyBlinds[] = "blind count too large";
constexpr char kBadInputBlind[] = "invalid input blind";
constexpr char kBadOutputBlind[] = "invalid output blind";

constexpr size_t kMaxCount = size_t{1} << 20;

// value and blinding (and the switch blind), each below n; zero allowed.
// Which one fails is public: it is the error.
int parse_terms(qorvex_ctx* ctx, const uint8_t* value32, const uint8_t* blinding32, const uint8_t* switch32,
                Scalar& v, Scalar& b, Scalar* s) {
    if (!Scalar::parse_strict(value32, v)) return set_error(ctx, ErrorCode::BadInput, kValueGeN);
    if (!Scalar::parse_strict(blinding32, b)) return set_error(ctx, ErrorCode::BadInput, kBlindingGeN);
    if (s && !Scalar::parse_strict(switch32, *s)) return set_error(ctx, ErrorCode::BadInput, kSwitchBlindGeN);
    return QORVEX_OK;
}

// The encoding of value H + blinding G (+ s J); every copy of the point is
// wiped.
void commitment_bytes(const Scalar& v, const Scalar& b, const Scalar* s, uint8_t out33[33]) {
    WipeOnExit<Point> c([&] { return pedersen::commit_point(v, b, s); });
    pedersen::encode_ct(*c, out33);
}

// Parses count commitments into out; false at the first that does not.
bool parse_all(const uint8_t* list, size_t count, std::vector<Point>& out) {
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        Point p;
        if (!parse33(list + 33 * i, p)) return false;
        out.push_back(p);
    }
    return true;
}

// Sum of count 32-byte scalars, each below n, into acc (added or
// subtracted); false at the first that is not.
bool accumulate(const uint8_t* list, size_t count, bool subtract, Scalar& acc) {
    for (size_t i = 0; i < count; ++i) {
        WipeOnExit<Scalar> x;
        if (!Scalar::parse_strict(list + 32 * i, *x)) return false;
        acc = subtract ? acc.subtract_ct(*x) : acc.add_ct(*x);
    }
    return true;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_pedersen_commit(qorvex_ctx* ctx, const uint8_t* value32, const uint8_t* blinding32,
                                      uint8_t* commitment33_out) {
    if (!ctx || !value32 || !blinding32 || !commitment33_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> v, b;
    if (const int rc = parse_terms(ctx, value32, blinding32, nullptr, *v, *b, nullptr)) return rc;
    commitment_bytes(*v, *b, nullptr, commitment33_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_pedersen_switch_commit(qorvex_ctx* ctx, const uint8_t* value32, const uint8_t* blinding32,
                                             const uint8_t* switch_blind32, uint8_t* commitment33_out) {
    if (!ctx || !value32 || !blinding32 || !switch_blind32 || !commitment33_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> v, b, s;
    if (const int rc = parse_terms(ctx, value32, blinding32, switch_blind32, *v, *b, s.get())) return rc;
    commitment_bytes(*v, *b, s.get(), commitment33_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_pedersen_verify(qorvex_ctx* ctx, const uint8_t* commitment33, const uint8_t* value32,
                                      const uint8_t* blinding32) {
    if (!ctx || !commitment33 || !value32 || !blinding32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> v, b;
    if (const int rc = parse_terms(ctx, value32, blinding32, nullptr, *v, *b, nullptr)) return rc;
    Point c;
    if (!parse33(commitment33, c)) return set_error(ctx, ErrorCode::BadInput, kBadCommitment);
    // A commitment that parses is canonical, so its bytes are its encoding.
    SecretBytes<33> want;
    commitment_bytes(*v, *b, nullptr, want.data());
    uint8_t diff = 0;
    for (int i = 0; i < 33; ++i) diff |= static_cast<uint8_t>(want[i] ^ commitment33[i]);
    if (!declassify_bool(diff == 0)) return set_error(ctx, ErrorCode::VerifyFail, kVerifyFailed);
    return QORVEX_OK;
}

QORVEX_API int qorvex_pedersen_verify_sum(qorvex_ctx* ctx, const uint8_t* positives, size_t n_positives,
                                          const uint8_t* negatives, size_t n_negatives) {
    if (!ctx || (!positives && n_positives) || (!negatives && n_negatives)) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (n_positives > kMaxCount || n_negatives > kMaxCount)
        return set_error(ctx, ErrorCode::BadInput, kTooManyCommitments);
    return guarded(ctx, [&] {
        std::vector<Point> pos, neg;
        if (!parse_all(positives, n_positives, pos)) return set_error(ctx, ErrorCode::BadInput, kBadPositive);
        if (!parse_all(negatives, n_negatives, neg)) return set_error(ctx, ErrorCode::BadInput, kBadNegative);
        if (!pedersen::sums_balance(pos, neg)) return set_error(ctx, ErrorCode::VerifyFail, kSumFailed);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_pedersen_blind_sum(qorvex_ctx* ctx, const uint8_t* input_blinds, size_t n_input_blinds,
                                         const uint8_t* output_blinds, size_t n_output_blinds,
                                         uint8_t* blind32_out) {
    if (!ctx || !blind32_out || (!input_blinds && n_input_blinds) || (!output_blinds && n_output_blinds))
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (n_input_blinds > kMaxCount || n_output_blinds > kMaxCount)
        return set_error(ctx, ErrorCode::BadInput, kTooManyBlinds);
    WipeOnExit<Scalar> sum;
    if (!accumulate(input_blinds, n_input_blinds, false, *sum))
        return set_error(ctx, ErrorCode::BadInput, kBadInputBlind);
    if (!accumulate(output_blinds, n_output_blinds, true, *sum))
        return set_error(ctx, ErrorCode::BadInput, kBadOutputBlind);
    sum->to_bytes(blind32_out);
    return QORVEX_OK;
}

}  // extern "C"
