// SNARK witness export: the intermediate values of an ECDSA or BIP-340
// verification as fixed-layout records.
#include <cstring>

#include "abi/frame.h"
#include "protocols/snark_witness.h"
#include "sig/pubkey_cache.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kInvalidPubkey[] = "invalid pubkey";
constexpr char kInvalidSigR[] = "invalid sig r";
constexpr char kInvalidSigS[] = "invalid sig s";

// r or s of a signature: in [1, n - 1], never reduced.
bool parse_sig_half(const uint8_t* in32, Scalar& out) { return Scalar::parse_strict(in32, out) && !out.is_zero(); }

}  // namespace

extern "C" {

// Both records are built in a local buffer and copied out on success only,
// so the output may overlap the inputs and is untouched on failure. The
// generator tables may throw while they are rebuilt.
QORVEX_API int qorvex_zk_ecdsa_snark_witness(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* pubkey33,
                                             const uint8_t* sig64, uint8_t* witness_out) {
    if (!ctx || !msg32 || !pubkey33 || !sig64 || !witness_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return guarded(ctx, [&] {
        const Point* q = cached_pubkey(pubkey33);
        if (!q) return set_error(ctx, ErrorCode::BadInput, kInvalidPubkey);
        Scalar r, s;
        if (!parse_sig_half(sig64, r)) return set_error(ctx, ErrorCode::BadInput, kInvalidSigR);
        if (!parse_sig_half(sig64 + 32, s)) return set_error(ctx, ErrorCode::BadInput, kInvalidSigS);
        uint8_t record[snark::ecdsa_layout::kSize];
        snark::ecdsa_witness(msg32, *q, r, s, record);
        std::memcpy(witness_out, record, sizeof record);
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_zk_schnorr_snark_witness(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* pubkey_x32,
                                               const uint8_t* sig64, uint8_t* witness_out) {
    if (!ctx || !msg32 || !pubkey_x32 || !sig64 || !witness_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // r and the key are not checked: what is wrong with them shows in the
    // record and its flag.
    Scalar s;
    if (!parse_sig_half(sig64 + 32, s)) return set_error(ctx, ErrorCode::BadInput, kInvalidSigS);
    return guarded(ctx, [&] {
        uint8_t record[snark::schnorr_layout::kSize];
        snark::schnorr_witness(msg32, pubkey_x32, sig64, s, record);
        std::memcpy(witness_out, record, sizeof record);
        return static_cast<int>(QORVEX_OK);
    });
}

}  // extern "C"
