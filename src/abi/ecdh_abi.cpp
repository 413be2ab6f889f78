// ECDH: the shared secret of a private key and a peer's compressed public
// key, in three derivations.
#include "abi/frame.h"
#include "abi/inputs.h"
#include "sig/ecdh.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kBadPeerKey[] = "invalid or infinity pubkey";

int ecdh_frame(qorvex_ctx* ctx, const uint8_t* seckey32, const uint8_t* pub33, uint8_t* out32,
               ecdh::Derivation kind) {
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    Point q;
    // Decompression chose y from x^3 + 7; the equation is checked again on
    // the point about to be multiplied, so that no off-curve point can
    // reach the multiplication whatever the parser does.
    if (!parse33(pub33, q) || !ecdh::on_curve(q)) return set_error(ctx, ErrorCode::BadPubkey, kBadPeerKey);
    SecretBytes<32> out;
    ecdh::shared_secret(kind, *d, q, out.data());
    for (int i = 0; i < 32; ++i) out32[i] = out[i];
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_ecdh(qorvex_ctx* ctx, const uint8_t* seckey32, const uint8_t* pub33, uint8_t* out32) {
    if (!ctx || !seckey32 || !pub33 || !out32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return ecdh_frame(ctx, seckey32, pub33, out32, ecdh::Derivation::sha256_compressed);
}

QORVEX_API int qorvex_ecdh_xonly(qorvex_ctx* ctx, const uint8_t* seckey32, const uint8_t* pub33, uint8_t* out32) {
    if (!ctx || !seckey32 || !pub33 || !out32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return ecdh_frame(ctx, seckey32, pub33, out32, ecdh::Derivation::sha256_x);
}

QORVEX_API int qorvex_ecdh_raw(qorvex_ctx* ctx, const uint8_t* seckey32, const uint8_t* pub33, uint8_t* out32) {
    if (!ctx || !seckey32 || !pub33 || !out32) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return ecdh_frame(ctx, seckey32, pub33, out32, ecdh::Derivation::raw_x);
}

}  // extern "C"
