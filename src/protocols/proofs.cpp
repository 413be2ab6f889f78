#include "protocols/proofs.h"

#include <cstring>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "hash/sha256.h"
#include "hash/tagged_hash.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::proofs {

namespace {

void compressed(const Point& p, uint8_t out33[33]) { p.to_compressed(out33); }

// k Q for a secret k and a public base, made affine in constant time and
// then published: the nonce points of a proof can be recomputed by anyone
// from the proof, so they are public once the proof is out.
Point public_multiple(const Point& q, const Scalar& k) {
    WipeOnExit<Point> r([&] { return mul_ct(q, k); });
    r->to_affine_ct_assign();
    declassify_value(*r);
    return *r;
}

// The knowledge challenge over r_x || P || G || msg.
Scalar knowledge_challenge(const uint8_t rx32[32], const Point& p, const uint8_t msg32[32]) {
    uint8_t buf[32 + 33 + 33 + 32];
    std::memcpy(buf, rx32, 32);
    compressed(p, buf + 32);
    compressed(Point::generator(), buf + 65);
    std::memcpy(buf + 98, msg32, 32);
    uint8_t e[32];
    tagged_hash(FixedTag::ZkKnowledge, buf, sizeof buf, e);
    return Scalar::from_bytes_reduce(e);
}

Scalar dleq_challenge(const Point& a, const Point& b, const Point& p, const Point& q, const Point& r1,
                      const Point& r2) {
    uint8_t buf[6 * 33];
    const Point* pts[6] = {&a, &b, &p, &q, &r1, &r2};
    for (int i = 0; i < 6; ++i) compressed(*pts[i], buf + 33 * i);
    uint8_t e[32];
    tagged_hash(FixedTag::ZkDleq, buf, sizeof buf, e);
    return Scalar::from_bytes_reduce(e);
}

// s A - e P, variable time (public values).
Point combine(const Scalar& s, const Point& a, const Scalar& e, const Point& p) {
    Point r = mul(a, s);
    r.add_assign(mul(p, e).negate());
    return r;
}

}  // namespace

Scalar nonce(const Scalar& x, const uint8_t p33[33], const uint8_t data32[32], const uint8_t aux32[32]) {
    SecretBytes<32 + 33 + 32 + 32> buf;
    uint8_t aux_hash[32];
    sha256(aux32, 32, aux_hash);
    x.to_bytes(buf.data());
    for (int i = 0; i < 32; ++i) buf[i] ^= aux_hash[i];
    std::memcpy(buf.data() + 32, p33, 33);
    std::memcpy(buf.data() + 65, data32, 32);
    std::memcpy(buf.data() + 97, aux32, 32);
    SecretBytes<32> digest;
    tagged_hash(FixedTag::ZkNonce, buf.data(), buf.size(), digest.data());
    return Scalar::from_bytes_reduce(digest.data());
}

bool knowledge_prove(const Scalar& x, const Point& p, const uint8_t msg32[32], const uint8_t aux32[32],
                     uint8_t proof_out[64]) {
    uint8_t p33[33];
    compressed(p, p33);
    WipeOnExit<Scalar> k([&] { return nonce(x, p33, msg32, aux32); });
    if (declassify_bool(k->is_zero())) return false;
    // R = k G by the comb (the same point as the variable-base form with G),
    // affine in constant time; R is recomputable from the proof, so public.
    WipeOnExit<Point> r([&] { return gen_mul_ct(*k); });
    r->to_affine_ct_assign();
    // BIP-340 style: the nonce is negated when R has odd y, by mask.
    const uint64_t odd = ct::mask_from_bit(r->Y.limb[0]);
    k->cond_negate_assign_ct(odd);
    declassify_value(r->X);
    uint8_t rx[32];
    r->X.to_bytes(rx);
    const Scalar e = knowledge_challenge(rx, p, msg32);
    WipeOnExit<Scalar> s([&] { return k->add_ct(e.mul(x)); });
    std::memcpy(proof_out, rx, 32);
    s->to_bytes(proof_out + 32);
    return true;
}

bool knowledge_verify(const uint8_t proof[64], const Scalar& s, const Point& p, const uint8_t msg32[32]) {
    const Scalar e = knowledge_challenge(proof, p, msg32);
    const Point r = dual_mul(s, e.negate(), p);
    if (r.infinity) return false;
    uint8_t enc[33];
    r.to_compressed(enc);
    return enc[0] == 0x02 && std::memcmp(enc + 1, proof, 32) == 0;
}

bool dleq_statement_holds(const Scalar& x, const Point& base1, const Point& base2, const Point& pub1,
                          const Point& pub2) {
    uint8_t want[66], got[66];
    WipeOnExit<Point> m1([&] { return mul_ct(base1, x); });
    WipeOnExit<Point> m2([&] { return mul_ct(base2, x); });
    m1->to_affine_ct_assign();
    m2->to_affine_ct_assign();
    // Finite for x != 0 and finite bases, so the encodings are plain.
    want[0] = static_cast<uint8_t>(0x02 | (m1->Y.limb[0] & 1));
    m1->X.to_bytes(want + 1);
    want[33] = static_cast<uint8_t>(0x02 | (m2->Y.limb[0] & 1));
    m2->X.to_bytes(want + 34);
    compressed(pub1, got);
    compressed(pub2, got + 33);
    uint8_t diff = 0;
    for (int i = 0; i < 66; ++i) diff |= static_cast<uint8_t>(want[i] ^ got[i]);
    secure_wipe(want, sizeof want);
    return declassify_bool(diff == 0);
}

bool dleq_prove(const Scalar& x, const Point& base1, const Point& base2, const Point& pub1, const Point& pub2,
                const uint8_t aux32[32], uint8_t proof_out[64]) {
    uint8_t p33[33], q33[33];
    compressed(pub1, p33);
    compressed(pub2, q33);
    // The nonce's data field is the first 32 bytes of Q's encoding.
    WipeOnExit<Scalar> k([&] { return nonce(x, p33, q33, aux32); });
    if (declassify_bool(k->is_zero())) return false;
    const Point r1 = public_multiple(base1, *k);
    const Point r2 = public_multiple(base2, *k);
    const Scalar e = dleq_challenge(base1, base2, pub1, pub2, r1, r2);
    WipeOnExit<Scalar> s([&] { return k->add_ct(e.mul(x)); });
    e.to_bytes(proof_out);
    s->to_bytes(proof_out + 32);
    return true;
}

bool dleq_verify(const Scalar& e, const Scalar& s, const Point& base1, const Point& base2, const Point& pub1,
                 const Point& pub2) {
    const Point r1 = combine(s, base1, e, pub1);
    const Point r2 = combine(s, base2, e, pub2);
    if (r1.infinity || r2.infinity) return false;
    return dleq_challenge(base1, base2, pub1, pub2, r1, r2).equal(e);
}

}  // namespace qorvex::proofs
