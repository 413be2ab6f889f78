// Schnorr adaptor signatures: pre-signatures that adapt to BIP-340
// signatures whose nonce point R = R_hat + T has even y.
#include <cstring>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "sig/adaptor.h"
#include "sig/schnorr.h"
#include "sig/xonly_cache.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::adaptor {

bool schnorr_sign(const Scalar& d, const uint8_t msg32[32], const Point& t, const uint8_t aux32[32],
                  uint8_t presig97_out[97]) {
    // d' = d or n - d, whichever has the even-y public key.
    WipeOnExit<SchnorrKeypair> kp;
    schnorr_keypair(d, *kp);
    uint8_t t33[33];
    t.to_compressed(t33);
    WipeOnExit<Scalar> k([&] { return nonce(kp->d, msg32, t33, aux32, 32); });

    // R_hat is published (as itself or negated), and with it R = R_hat + T,
    // whose parity decides the negation.
    WipeOnExit<Point> r_hat([&] { return gen_mul_blinded(*k); });
    r_hat->to_affine_ct_assign();
    declassify_value(*r_hat);
    Point r = *r_hat;
    r.add_assign(t);
    if (r.infinity) return false;
    r.to_affine_assign();
    const bool negated = r.Y.is_odd();
    if (negated) {
        r_hat->negate_assign();
        r.negate_assign();
    }
    k->cond_negate_assign_ct(ct::mask(negated));

    uint8_t rx[32];
    r.X.to_bytes(rx);
    const Scalar e = schnorr_challenge(rx, kp->xonly, msg32, 32);
    WipeOnExit<Scalar> s([&] { return k->add_ct(e.mul(kp->d)); });

    std::memset(presig97_out, 0, kSchnorrPresigSize);
    r_hat->to_compressed(presig97_out + kSchnorrRHatOffset);
    s->to_bytes(presig97_out + kSchnorrSHatOffset);
    presig97_out[kSchnorrFlagOffset] = negated ? 1 : 0;
    return true;
}

bool schnorr_verify(const SchnorrPresig& pre, const uint8_t xonly32[32], const uint8_t msg32[32], const Point& t) {
    XonlyPubkey key;
    if (!lift_x(xonly32, key)) return false;
    Point r = pre.r_hat;
    r.add_assign(pre.negated ? t.negate() : t);
    if (r.infinity) return false;
    r.to_affine_assign();
    if (r.Y.is_odd()) return false;
    uint8_t rx[32];
    r.X.to_bytes(rx);
    const Scalar e = schnorr_challenge(rx, xonly32, msg32, 32);
    // s_hat G = R_hat + e P, as s_hat G - e P = R_hat.
    return dual_mul(pre.s_hat, e.negate(), key.to_point()).equals(pre.r_hat);
}

void schnorr_adapt(const SchnorrPresig& pre, const Scalar& t, uint8_t sig64_out[64]) {
    WipeOnExit<Scalar> t2([&] { return t.cond_negate_ct(ct::mask(pre.negated)); });
    // R = R_hat + t' G; x(R) is the signature's public r.
    WipeOnExit<Point> r([&] { return gen_mul_ct(*t2); });
    r->add_affine_complete_ct(pre.r_hat.X, pre.r_hat.Y, ct::mask(r->infinity), 0);
    r->to_affine_ct_assign();
    declassify_value(r->X);
    WipeOnExit<Scalar> s([&] { return pre.s_hat.add_ct(*t2); });
    r->X.to_bytes(sig64_out);
    s->to_bytes(sig64_out + 32);
}

bool schnorr_extract(const SchnorrPresig& pre, const Scalar& s, Scalar& t_out) {
    WipeOnExit<Scalar> t([&] { return s.subtract_ct(pre.s_hat).cond_negate_ct(ct::mask(pre.negated)); });
    if (declassify_bool(t->is_zero())) return false;
    t_out = *t;
    return true;
}

}  // namespace qorvex::adaptor
