#include "sig/schnorr.h"

#include <cstring>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "hash/tagged_hash.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex {

bool SchnorrSignature::parse(const uint8_t sig64[64], SchnorrSignature& out) {
    return FieldElement::parse_strict(sig64, out.r) && Scalar::parse_nonzero(sig64 + 32, out.s);
}

void SchnorrSignature::write(uint8_t sig64_out[64]) const {
    r.to_bytes(sig64_out);
    s.to_bytes(sig64_out + 32);
}

void schnorr_keypair(const Scalar& d, SchnorrKeypair& out) {
    // Only d = 0 lands at infinity, and every caller has refused a zero key
    // before it gets here, so the branch tells nothing new.
    const Point p = public_key_point(d);
    if (p.infinity) {
        out = SchnorrKeypair{};
        return;
    }
    schnorr_keypair_from_point(d, p, out);
}

void schnorr_keypair_from_point(const Scalar& d, const Point& p, SchnorrKeypair& out) {
    out = SchnorrKeypair{};
    p.X.to_bytes(out.xonly);
    // BIP-340 keys have even y; for an odd one sign with n - d, whose point
    // is the negation.
    out.d = d;
    out.d.cond_negate_assign_ct(ct::mask_from_bit(p.Y.limb[0]));
}

Scalar schnorr_challenge(const uint8_t r32[32], const uint8_t xonly32[32], const uint8_t* msg, size_t msg_len) {
    Sha256Context h;
    tagged_hash_init(h, FixedTag::Bip340Challenge);
    sha256_update(h, r32, 32);
    sha256_update(h, xonly32, 32);
    sha256_update(h, msg, msg_len);
    uint8_t digest[32];
    sha256_final(h, digest);
    return Scalar::from_bytes_reduce(digest);
}

bool schnorr_output_ok(uint8_t sig64[64]) {
    // The signature is about to become public (or the call fails), so these
    // branches on it reveal nothing. s = 0 would make the signature
    // non-canonical; r = 0 marks a nonce point at infinity.
    uint8_t r_bits = 0, s_bits = 0;
    for (int i = 0; i < 32; ++i) {
        r_bits |= sig64[i];
        s_bits |= sig64[32 + i];
    }
    if (r_bits != 0 && s_bits != 0) return true;
    std::memset(sig64, 0, 64);
    return false;
}

Scalar schnorr_nonce(const SchnorrKeypair& kp, const uint8_t* msg, size_t msg_len, const uint8_t aux32[32]) {
    // t = bytes(d') xor hash_aux(a): the randomness masks the key before it
    // enters the nonce hash.
    SecretBytes<32> t, aux_hash, rand;
    kp.d.to_bytes(t.data());
    tagged_hash(FixedTag::Bip340Aux, aux32, 32, aux_hash.data());
    for (size_t i = 0; i < 32; ++i) t[i] ^= aux_hash[i];

    WipeOnExit<Sha256Context> h;
    tagged_hash_init(*h, FixedTag::Bip340Nonce);
    sha256_update(*h, t.data(), 32);
    sha256_update(*h, kp.xonly, 32);
    sha256_update(*h, msg, msg_len);
    sha256_final(*h, rand.data());
    // k' = 0 (rand equal to 0 or n) is too unlikely to spend a test on. Its R
    // would be infinity, r all zero, and the output check refuses that.
    return Scalar::from_bytes_reduce(rand.data());
}

bool schnorr_sign_with_nonce(const SchnorrKeypair& kp, Scalar& k, const Point& big_r, const uint8_t* msg,
                             size_t msg_len, uint8_t sig64_out[64]) {
    const FieldElement rx = FieldElement::select_ct(ct::mask(big_r.infinity), big_r.X, FieldElement::zero());
    // BIP-340 wants R with even y: for an odd one use n - k', whose point is
    // the negation with the same x.
    k.cond_negate_assign_ct(ct::mask_from_bit(big_r.Y.limb[0]));

    // x(R) is the public half of the signature from here on.
    uint8_t sig[64];
    rx.to_bytes(sig);
    const Scalar e = schnorr_challenge(sig, kp.xonly, msg, msg_len);
    WipeOnExit<Scalar> ed([&] { return e.mul_fold(kp.d); });
    k.add_ct(*ed).to_bytes(sig + 32);

    // The signature is the result.
    declassify(sig, sizeof sig);
    // Everything is computed before anything is written, so the output may
    // overlap the message or the auxiliary bytes.
    std::memcpy(sig64_out, sig, 64);
    return schnorr_output_ok(sig64_out);
}

bool schnorr_sign(const SchnorrKeypair& kp, const uint8_t* msg, size_t msg_len, const uint8_t aux32[32],
                  uint8_t sig64_out[64]) {
    // A zero d' only comes from a zero key, which callers refuse first.
    if (declassify_bool(kp.d.is_zero())) {
        std::memset(sig64_out, 0, 64);
        return false;
    }
    WipeOnExit<Scalar> k([&] { return schnorr_nonce(kp, msg, msg_len, aux32); });
    WipeOnExit<Point> big_r([&] { return gen_mul_blinded(*k); });
    // R at infinity would give r = 0, which the output check refuses
    // publicly; only R's Jacobian coordinates must stay hidden.
    declassify_value(big_r->infinity);
    big_r->to_affine_ct_assign();
    return schnorr_sign_with_nonce(kp, *k, *big_r, msg, msg_len, sig64_out);
}

bool schnorr_sign_verified(const SchnorrKeypair& kp, const uint8_t* msg, size_t msg_len, const uint8_t aux32[32],
                           uint8_t sig64_out[64]) {
    // Signed into a local buffer so that a caller whose output overlaps the
    // message still has the message verified, not the signature's bytes.
    uint8_t sig[64];
    SchnorrSignature parsed;
    XonlyPubkey key;
    const bool ok = schnorr_sign(kp, msg, msg_len, aux32, sig) && SchnorrSignature::parse(sig, parsed) &&
                    lift_x(kp.xonly, key) && schnorr_verify(key, msg, msg_len, parsed);
    if (!ok) std::memset(sig, 0, 64);
    std::memcpy(sig64_out, sig, 64);
    return ok;
}

bool schnorr_verify(const XonlyPubkey& key, const uint8_t* msg, size_t msg_len, const SchnorrSignature& sig) {
    // r < p holds for every FieldElement; s = 0 is refused as non-canonical
    // (s*G would be infinity and the equation degenerate).
    if (sig.s.is_zero()) return false;
    uint8_t r32[32];
    sig.r.to_bytes(r32);
    const Scalar e = schnorr_challenge(r32, key.bytes, msg, msg_len);
    const Point big_r = dual_mul(sig.s, e.negate(), key.to_point());
    if (big_r.infinity || big_r.Z.is_zero()) return false;
    // One inversion gives both coordinates; y's parity needs the affine Y,
    // so comparing X with r*Z^2 alone would not save it.
    FieldElement x = big_r.X, y = big_r.Y;
    if (!big_r.z_is_one) {
        const FieldElement zinv = big_r.Z.inverse_var();
        const FieldElement zinv2 = zinv.sqr();
        x = x * zinv2;
        y = y * zinv2 * zinv;
    }
    return !y.is_odd() && x.equal(sig.r);
}

bool schnorr_verify(const uint8_t xonly32[32], const uint8_t* msg, size_t msg_len, const SchnorrSignature& sig) {
    XonlyPubkey key;
    return lift_x(xonly32, key) && schnorr_verify(key, msg, msg_len, sig);
}

}  // namespace qorvex
