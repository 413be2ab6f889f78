// ECDSA adaptor signatures: s_hat = k^-1 (z + r d) with r from R = k T, and
// a DLEQ proof that R_hat = k G and R share k.
#include <cstring>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "hash/tagged_hash.h"
#include "sig/adaptor.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::adaptor {

namespace {

constexpr char kDleqNonceTag[] = "qorvex/ecdsa_adaptor_dleq_nonce_v1";
constexpr char kDleqTag[] = "qorvex/ecdsa_adaptor_dleq_v1";

// e = tagged hash of R_hat || R || T || A1 || A2 (all compressed), mod n.
Scalar dleq_challenge(const Point& r_hat, const Point& r, const Point& t, const Point& a1, const Point& a2) {
    uint8_t buf[5 * 33];
    const Point* pts[5] = {&r_hat, &r, &t, &a1, &a2};
    for (int i = 0; i < 5; ++i) pts[i]->to_compressed(buf + 33 * i);
    uint8_t e[32];
    tagged_hash(kDleqTag, buf, sizeof buf, e);
    return Scalar::from_bytes_reduce(e);
}

// The DLEQ nonce: tagged hash of d || k || R_hat || R || T || msg with the
// candidate rule of the signing nonce.
Scalar dleq_nonce(const Scalar& d, const Scalar& k, const uint8_t r_hat33[33], const uint8_t r33[33],
                  const uint8_t t33[33], const uint8_t msg32[32]) {
    SecretBytes<32 + 32 + 33 + 33 + 33 + 32> buf;
    d.to_bytes(buf.data());
    k.to_bytes(buf.data() + 32);
    std::memcpy(buf.data() + 64, r_hat33, 33);
    std::memcpy(buf.data() + 97, r33, 33);
    std::memcpy(buf.data() + 130, t33, 33);
    std::memcpy(buf.data() + 163, msg32, 32);
    SecretBytes<32> h;
    tagged_hash(kDleqNonceTag, buf.data(), buf.size(), h.data());
    return nonce_from_hash(h.data());
}

// A point made from a secret scalar that the pre-signature publishes (or
// that a verifier recomputes): affine in constant time, then public.
Point published(Point p) {
    p.to_affine_ct_assign();
    declassify_value(p);
    return p;
}

}  // namespace

bool ecdsa_sign(const Scalar& d, const uint8_t msg32[32], const Point& t, uint8_t presig162_out[162]) {
    uint8_t t33[33];
    t.to_compressed(t33);
    WipeOnExit<Scalar> k([&] { return nonce(d, msg32, t33, nullptr, 0); });
    const Point r_hat = published(gen_mul_blinded(*k));
    const Point r = published(mul_ct(t, *k));
    if (r_hat.infinity || r.infinity) return false;
    uint8_t r_hat33[33], r33[33];
    r_hat.to_compressed(r_hat33);
    r.to_compressed(r33);
    const Scalar rs = Scalar::from_bytes_reduce(r33 + 1);
    if (rs.is_zero()) return false;

    const Scalar z = Scalar::from_bytes_reduce(msg32);
    WipeOnExit<Scalar> k_inv([&] { return k->inverse_ct(); });
    WipeOnExit<Scalar> rd([&] { return rs.mul(d); });
    WipeOnExit<Scalar> s_hat([&] { return k_inv->mul(z.add_ct(*rd)); });
    // s_hat is published; a zero one makes no signature.
    declassify_value(*s_hat);
    if (s_hat->is_zero()) return false;

    WipeOnExit<Scalar> q([&] { return dleq_nonce(d, *k, r_hat33, r33, t33, msg32); });
    const Point a1 = published(gen_mul_blinded(*q));
    const Point a2 = published(mul_ct(t, *q));
    const Scalar e = dleq_challenge(r_hat, r, t, a1, a2);
    WipeOnExit<Scalar> v([&] { return q->add_ct(e.mul(*k)); });

    std::memcpy(presig162_out + kEcdsaRHatOffset, r_hat33, 33);
    std::memcpy(presig162_out + kEcdsaROffset, r33, 33);
    s_hat->to_bytes(presig162_out + kEcdsaSHatOffset);
    e.to_bytes(presig162_out + kEcdsaEOffset);
    v->to_bytes(presig162_out + kEcdsaVOffset);
    return true;
}

bool ecdsa_verify(const EcdsaPresig& pre, const Point& pubkey, const uint8_t msg32[32], const Point& t) {
    if (pre.s_hat.is_zero() || pre.r_scalar.is_zero()) return false;
    // A1 = v G - e R_hat and A2 = v T - e R.
    const Point a1 = dual_mul(pre.v, pre.e.negate(), pre.r_hat);
    Point a2 = mul(t, pre.v);
    a2.add_assign(mul(pre.r, pre.e).negate());
    if (a1.infinity || a2.infinity) return false;
    if (!dleq_challenge(pre.r_hat, pre.r, t, a1, a2).equal(pre.e)) return false;
    // s_hat R_hat = z G + r P.
    const Scalar z = Scalar::from_bytes_reduce(msg32);
    return mul(pre.r_hat, pre.s_hat).equals(dual_mul(z, pre.r_scalar, pubkey));
}

void ecdsa_adapt(const EcdsaPresig& pre, const Scalar& t, uint8_t sig64_out[64]) {
    WipeOnExit<Scalar> t_inv([&] { return t.inverse_ct(); });
    WipeOnExit<Scalar> s([&] { return pre.s_hat.mul(*t_inv); });
    pre.r_scalar.to_bytes(sig64_out);
    s->to_bytes(sig64_out + 32);
}

bool ecdsa_extract(const EcdsaPresig& pre, const Scalar& s, Scalar& t_out) {
    // s is invertible, so t is zero exactly when s_hat is.
    WipeOnExit<Scalar> t([&] { return pre.s_hat.mul(s.inverse_var()); });
    if (declassify_bool(t->is_zero())) return false;
    t_out = *t;
    return true;
}

}  // namespace qorvex::adaptor
