// Public keys: derivation, parsing, negation, sums and tweaks.
#include <cstdint>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "arith/precompute.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kPubkeyAtInfinity[] = "pubkey at infinity";
constexpr char kDecompressionFailed[] = "decompression failed";
constexpr char kCoordinateGeP[] = "coordinate >= p";
constexpr char kNotOnCurve[] = "point not on curve";
constexpr char kPointAtInfinity[] = "point at infinity";
constexpr char kExpected33Or65[] = "expected 33 or 65 byte pubkey";
constexpr char kInvalidPubkey[] = "invalid pubkey";
constexpr char kInvalidPubkeyA[] = "invalid pubkey a";
constexpr char kInvalidPubkeyB[] = "invalid pubkey b";
constexpr char kSumInfinity[] = "sum is point at infinity";
constexpr char kNeedOnePubkey[] = "need >= 1 pubkey";
constexpr char kArrayTooLarge[] = "pubkey array length too large";
constexpr char kInvalidFirst[] = "invalid pubkey[0]";
constexpr char kInvalidInArray[] = "invalid pubkey in array";
constexpr char kCombinedInfinity[] = "combined pubkey is infinity";
constexpr char kTweakGeN[] = "tweak >= n";
constexpr char kTweakZeroOrGeN[] = "tweak is zero or >= n";
constexpr char kTweakAddInfinity[] = "tweak_add resulted in infinity";
constexpr char kTweakMulInfinity[] = "tweak_mul resulted in infinity";

// key*G for a valid key, made affine in constant time: the Jacobian Z of a
// secret multiple would leak through a variable-time inversion.
// Returns false (nothing written) for an invalid key.
bool derive(const uint8_t* key32, Point& out) {
    WipeOnExit<Scalar> k;
    if (!parse_seckey(key32, *k)) return false;
    out = public_key_point(*k);
    return true;
}

// key32 * G written by `encode`, with the checks of the creating functions.
template <typename Encode>
int create_frame(qorvex_ctx* ctx, const uint8_t* key32, Encode&& encode) {
    Point p;
    if (!derive(key32, p)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    if (p.infinity) return set_error(ctx, ErrorCode::BadKey, kPubkeyAtInfinity);
    encode(p);
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_pubkey_create(qorvex_ctx* ctx, const uint8_t* key32, uint8_t* out33) {
    if (!ctx || !key32 || !out33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return create_frame(ctx, key32, [&](const Point& p) { p.to_compressed(out33); });
}

QORVEX_API int qorvex_pubkey_create_uncompressed(qorvex_ctx* ctx, const uint8_t* key32, uint8_t* out65) {
    if (!ctx || !key32 || !out65) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return create_frame(ctx, key32, [&](const Point& p) { p.to_uncompressed(out65); });
}

QORVEX_API int qorvex_pubkey_xonly(qorvex_ctx* ctx, const uint8_t* key32, uint8_t* out32) {
    if (!ctx || !key32 || !out32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Point p;
    if (!derive(key32, p)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    p.to_xonly(out32);
    return QORVEX_OK;
}

QORVEX_API int qorvex_pubkey_parse(qorvex_ctx* ctx, const uint8_t* input, size_t input_len, uint8_t* out33) {
    if (!ctx || !input || !out33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Point p;
    if (input_len == 33 && (input[0] == 0x02 || input[0] == 0x03)) {
        if (!parse33(input, p)) return set_error(ctx, ErrorCode::BadPubkey, kDecompressionFailed);
    } else if (input_len == 65 && input[0] == 0x04) {
        switch (Point::parse_uncompressed(input, p)) {
            case ParseResult::ok: break;
            case ParseResult::coordinate_ge_p: return set_error(ctx, ErrorCode::BadPubkey, kCoordinateGeP);
            case ParseResult::not_on_curve: return set_error(ctx, ErrorCode::BadPubkey, kNotOnCurve);
            case ParseResult::bad_encoding: return set_error(ctx, ErrorCode::BadInput, kExpected33Or65);
        }
        if (p.infinity) return set_error(ctx, ErrorCode::BadPubkey, kPointAtInfinity);
    } else {
        return set_error(ctx, ErrorCode::BadInput, kExpected33Or65);
    }
    p.to_compressed(out33);
    return QORVEX_OK;
}

QORVEX_API int qorvex_pubkey_negate(qorvex_ctx* ctx, const uint8_t* pub33, uint8_t* out33) {
    if (!ctx || !pub33 || !out33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Point p;
    if (!parse33(pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkey);
    p.negate().to_compressed(out33);
    return QORVEX_OK;
}

QORVEX_API int qorvex_pubkey_add(qorvex_ctx* ctx, const uint8_t* a33, const uint8_t* b33, uint8_t* out33) {
    if (!ctx || !a33 || !b33 || !out33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Point a, b;
    if (!parse33(a33, a)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkeyA);
    if (!parse33(b33, b)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkeyB);
    const Point sum = a.add(b);
    if (sum.infinity) return set_error(ctx, ErrorCode::Arith, kSumInfinity);
    sum.to_compressed(out33);
    return QORVEX_OK;
}

QORVEX_API int qorvex_pubkey_combine(qorvex_ctx* ctx, const uint8_t* keys, size_t count, uint8_t* out33) {
    if (!ctx || !keys || !out33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (count == 0) return set_error(ctx, ErrorCode::BadInput, kNeedOnePubkey);
    if (count > SIZE_MAX / 33) return set_error(ctx, ErrorCode::BadInput, kArrayTooLarge);
    Point sum;
    if (!parse33(keys, sum)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidFirst);
    // The running sum may pass through infinity; only the final one counts.
    for (size_t i = 1; i < count; ++i) {
        Point p;
        if (!parse33(keys + 33 * i, p)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidInArray);
        sum.add_assign(p);
    }
    if (count >= 2 && sum.infinity) return set_error(ctx, ErrorCode::Arith, kCombinedInfinity);
    sum.to_compressed(out33);
    return QORVEX_OK;
}

QORVEX_API int qorvex_pubkey_tweak_add(qorvex_ctx* ctx, const uint8_t* pub33, const uint8_t* tweak32,
                                       uint8_t* out33) {
    if (!ctx || !pub33 || !tweak32 || !out33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return guarded(ctx, [&] {
        Point p;
        if (!parse33(pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkey);
        Scalar t;
        if (!Scalar::parse_strict(tweak32, t)) return set_error(ctx, ErrorCode::BadInput, kTweakGeN);
        // tweak*G straight from the generator tables into the sum: the same
        // point as the affine multiple plus P, with one inversion (for the
        // encoding) instead of two.
        PrecomputedGenTerm(t).add_to(p);
        if (p.infinity) return set_error(ctx, ErrorCode::Arith, kTweakAddInfinity);
        p.to_compressed(out33);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_pubkey_tweak_mul(qorvex_ctx* ctx, const uint8_t* pub33, const uint8_t* tweak32,
                                       uint8_t* out33) {
    if (!ctx || !pub33 || !tweak32 || !out33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return guarded(ctx, [&] {
        Point p;
        if (!parse33(pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkey);
        Scalar t;
        if (!Scalar::parse_nonzero(tweak32, t)) return set_error(ctx, ErrorCode::BadInput, kTweakZeroOrGeN);
        const Point r = mul(p, t);
        if (r.infinity) return set_error(ctx, ErrorCode::Arith, kTweakMulInfinity);
        r.to_compressed(out33);
        return QORVEX_OK;
    });
}

}  // extern "C"
