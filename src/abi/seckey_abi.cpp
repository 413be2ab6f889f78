// Private-key checks, negation and tweaks.
#include "abi/frame.h"
#include "abi/inputs.h"
#include "arith/scalar.h"
#include "support/declassify.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kTweakGeN[] = "tweak >= n";
constexpr char kTweakZeroOrGeN[] = "tweak is zero or >= n";
constexpr char kTweakAddZero[] = "tweak_add resulted in zero";
constexpr char kTweakMulZero[] = "tweak_mul resulted in zero";

}  // namespace

extern "C" {

QORVEX_API int qorvex_seckey_verify(qorvex_ctx* ctx, const uint8_t* key32) {
    if (!ctx || !key32) return QORVEX_ERR_NULL_ARG;
    WipeOnExit<Scalar> k;
    // The verdict is the result.
    return parse_seckey(key32, *k) ? QORVEX_OK : QORVEX_ERR_BAD_KEY;
}

QORVEX_API int qorvex_seckey_negate(qorvex_ctx* ctx, uint8_t* key32) {
    if (!ctx || !key32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> k;
    if (!parse_seckey(key32, *k)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    *k = k->negate_ct();
    k->to_bytes(key32);
    return QORVEX_OK;
}

QORVEX_API int qorvex_seckey_tweak_add(qorvex_ctx* ctx, uint8_t* key32, const uint8_t* tweak32) {
    if (!ctx || !key32 || !tweak32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> k, t, sum;
    // The validity verdicts are public: the code says which input failed.
    if (!parse_seckey(key32, *k)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    if (!declassify_bool(Scalar::parse_strict(tweak32, *t))) return set_error(ctx, ErrorCode::BadInput, kTweakGeN);
    *sum = k->add_ct(*t);
    // A zero sum means the tweak was the key's negation; once the call fails
    // that is public, so the branch reveals nothing further.
    if (declassify_bool(sum->is_zero())) return set_error(ctx, ErrorCode::Arith, kTweakAddZero);
    sum->to_bytes(key32);
    return QORVEX_OK;
}

QORVEX_API int qorvex_seckey_tweak_mul(qorvex_ctx* ctx, uint8_t* key32, const uint8_t* tweak32) {
    if (!ctx || !key32 || !tweak32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> k, t, prod;
    // The validity verdicts are public: the code says which input failed.
    if (!parse_seckey(key32, *k)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    if (!declassify_bool(Scalar::parse_nonzero(tweak32, *t)))
        return set_error(ctx, ErrorCode::BadInput, kTweakZeroOrGeN);
    *prod = k->mul(*t);
    // Never true for two valid factors (n is prime); kept as a guard whose
    // outcome the code would make public anyway.
    if (declassify_bool(prod->is_zero())) return set_error(ctx, ErrorCode::Arith, kTweakMulZero);
    prod->to_bytes(key32);
    return QORVEX_OK;
}

}  // extern "C"
