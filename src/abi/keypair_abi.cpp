// Prepared key pairs for BIP-340 signing: the secret key with its public
// point, computed once, so that signing many messages with one key does not
// multiply G by the key again every time.
#include <cstdint>
#include <cstring>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "arith/gen_mul.h"
#include "sig/schnorr.h"
#include "support/ct.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kBadKeypairSecret[] = "keypair secret is zero or >= n";
constexpr char kBadKeypairPoint[] = "invalid keypair public key";
constexpr char kDegenerate[] = "signing produced degenerate output";

}  // namespace

extern "C" {

QORVEX_API int qorvex_keypair_create(qorvex_ctx* ctx, const uint8_t* seckey32, uint8_t* keypair96_out) {
    if (!ctx || !seckey32 || !keypair96_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    // The affine point of d*G, computed in constant time; it is public.
    const Point p = public_key_point(*d);
    SecretBytes<QORVEX_KEYPAIR_SIZE> record;
    d->to_bytes(record.data());
    p.X.to_bytes(record.data() + 32);
    p.Y.to_bytes(record.data() + 64);
    std::memcpy(keypair96_out, record.data(), QORVEX_KEYPAIR_SIZE);
    return QORVEX_OK;
}

QORVEX_API int qorvex_schnorr_sign_keypair(qorvex_ctx* ctx, const uint8_t* msg32, const uint8_t* keypair96,
                                           const uint8_t* aux32, uint8_t* sig64_out) {
    if (!ctx || !msg32 || !keypair96 || !aux32 || !sig64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(keypair96, *d)) return set_error(ctx, ErrorCode::BadKey, kBadKeypairSecret);
    uint8_t sec1[65];
    sec1[0] = 0x04;
    std::memcpy(sec1 + 1, keypair96 + 32, 64);
    Point p;
    if (Point::parse_uncompressed(sec1, p) != ParseResult::ok)
        return set_error(ctx, ErrorCode::BadPubkey, kBadKeypairPoint);
    // BIP-340 signs with the key whose point has even y: n - d for an odd y.
    // The point is public, so its parity is too; the mask keeps d out of
    // any branch all the same.
    WipeOnExit<SchnorrKeypair> kp;
    kp->d = *d;
    kp->d.cond_negate_assign_ct(ct::mask_from_bit(p.Y.limb[0]));
    p.X.to_bytes(kp->xonly);
    if (!schnorr_sign(*kp, msg32, 32, aux32, sig64_out)) return set_error(ctx, ErrorCode::Internal, kDegenerate);
    return QORVEX_OK;
}

}  // extern "C"
