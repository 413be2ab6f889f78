// Taproot output keys, the private-key tweak and the commitment check
// (BIP-341).
#include <cstring>
#include <span>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "bitcoin/taproot.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kZeroXonlyKey[] = "zero x-only key";
constexpr char kDerivationFailed[] = "taproot output key derivation failed";
constexpr char kTweakZero[] = "taproot tweak resulted in zero";
constexpr char kCommitmentInvalid[] = "taproot commitment invalid";

// An optional 32-byte root, copied so that outputs may overlap it.
struct RootCopy {
    uint8_t bytes[taproot::kMerkleRootSize];
    size_t len;

    RootCopy(const uint8_t* root, size_t n) : bytes{}, len(n) {
        if (n > 0) std::memcpy(bytes, root, n);
    }
    std::span<const uint8_t> span() const { return {bytes, len}; }
};

bool all_zero(const uint8_t* p, size_t n) {
    uint8_t acc = 0;
    for (size_t i = 0; i < n; ++i) acc |= p[i];
    return acc == 0;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_taproot_output_key(qorvex_ctx* ctx, const uint8_t* internal_xonly32,
                                         const uint8_t* merkle_root32, uint8_t* output_xonly32_out,
                                         int* parity_out) {
    if (!ctx || !internal_xonly32 || !output_xonly32_out || !parity_out) return QORVEX_ERR_NULL_ARG;
    uint8_t internal[32];
    std::memcpy(internal, internal_xonly32, 32);
    const RootCopy root(merkle_root32, merkle_root32 ? taproot::kMerkleRootSize : 0);
    clear_error(ctx);
    std::memset(output_xonly32_out, 0, 32);
    *parity_out = 0;
    if (all_zero(internal, 32)) return set_error(ctx, ErrorCode::BadPubkey, kZeroXonlyKey);
    // The generator tables may throw while they are rebuilt.
    return guarded(ctx, [&] {
        const auto q = taproot::output_key(internal, root.span());
        if (!q) return set_error(ctx, ErrorCode::Arith, kDerivationFailed);
        std::memcpy(output_xonly32_out, q->x, 32);
        *parity_out = q->odd_y ? 1 : 0;
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_taproot_tweak_seckey(qorvex_ctx* ctx, const uint8_t* seckey32, const uint8_t* merkle_root32,
                                           uint8_t* tweaked32_out) {
    if (!ctx || !seckey32 || !tweaked32_out) return QORVEX_ERR_NULL_ARG;
    // Both inputs are read before the output, which may overlap them, is
    // zeroed.
    WipeOnExit<Scalar> d, tweaked;
    const bool key_ok = parse_seckey(seckey32, *d);
    const RootCopy root(merkle_root32, merkle_root32 ? taproot::kMerkleRootSize : 0);
    clear_error(ctx);
    std::memset(tweaked32_out, 0, 32);
    if (!key_ok) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    if (!taproot::tweak_seckey(*d, root.span(), *tweaked)) return set_error(ctx, ErrorCode::Arith, kTweakZero);
    tweaked->to_bytes(tweaked32_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_taproot_verify(qorvex_ctx* ctx, const uint8_t* output_xonly32, int parity,
                                     const uint8_t* internal_xonly32, const uint8_t* merkle_root,
                                     size_t merkle_root_len) {
    if (!ctx || !output_xonly32 || !internal_xonly32 || (!merkle_root && merkle_root_len != 0))
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (merkle_root_len > taproot::kMerkleRootSize || (parity != 0 && parity != 1))
        return set_error(ctx, ErrorCode::VerifyFail, kCommitmentInvalid);
    return guarded(ctx, [&] {
        if (!taproot::commits_to(output_xonly32, parity == 1, internal_xonly32, {merkle_root, merkle_root_len}))
            return set_error(ctx, ErrorCode::VerifyFail, kCommitmentInvalid);
        return static_cast<int>(QORVEX_OK);
    });
}

}  // extern "C"
