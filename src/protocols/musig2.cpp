#include "protocols/musig2.h"

#include <cstring>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "hash/tagged_hash.h"
#include "protocols/digest_scalar.h"
#include "sig/schnorr.h"
#include "sig/xonly_cache.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::musig2 {

namespace {

// Q's and R's stored form: affine, even y, and whether that took a
// negation.
bool normalise_even(Point& p) {
    p.to_affine_assign();
    if (p.has_even_y()) return false;
    p.negate_assign();
    return true;
}

// The public nonce point of a secret nonce: k*G, made affine in constant
// time before it becomes public.
void public_nonce_point(const Scalar& k, uint8_t out33[33]) {
    WipeOnExit<Point> r([&] { return gen_mul_blinded(k); });
    r->to_affine_ct_assign();
    // The point is published as half of the public nonce.
    declassify_value(*r);
    r->to_compressed(out33);
}

}  // namespace

std::optional<KeyAgg> key_agg(const uint8_t* pubkeys, size_t n, KeyAggFault& fault, size_t* bad_index) {
    Point keys[kMaxKeys];
    for (size_t i = 0; i < n; ++i) {
        keys[i] = Point::decompress(pubkeys + kPubkeySize * i);
        if (keys[i].infinity) {
            if (bad_index) *bad_index = i;
            fault = KeyAggFault::bad_pubkey;
            return std::nullopt;
        }
    }
    uint8_t list_hash[32];
    tagged_hash(FixedTag::KeyAggList, pubkeys, kPubkeySize * n, list_hash);

    // The second key: the first one that differs from the first key. Its
    // coefficient is 1, which saves a multiplication and is what BIP-327's
    // security argument allows.
    const uint8_t* second = nullptr;
    for (size_t j = 1; j < n && !second; ++j)
        if (std::memcmp(pubkeys + kPubkeySize * j, pubkeys, kPubkeySize) != 0) second = pubkeys + kPubkeySize * j;

    KeyAgg ka;
    ka.n = static_cast<uint32_t>(n);
    Point q = Point::infinity_point();
    for (size_t i = 0; i < n; ++i) {
        const uint8_t* key = pubkeys + kPubkeySize * i;
        if (second && std::memcmp(key, second, kPubkeySize) == 0) {
            ka.coef[i] = Scalar::one();
            q.add_assign(keys[i]);
            continue;
        }
        Sha256Context h;
        tagged_hash_init(h, FixedTag::KeyAggCoefficient);
        sha256_update(h, list_hash, 32);
        sha256_update(h, key, kPubkeySize);
        uint8_t digest[32];
        sha256_final(h, digest);
        ka.coef[i] = Scalar::from_bytes_reduce(digest);
        q.add_assign(mul(keys[i], ka.coef[i]));
    }
    if (q.infinity) {
        fault = KeyAggFault::infinity;
        return std::nullopt;
    }
    ka.q_negated = normalise_even(q);
    q.to_compressed(ka.q33);
    fault = KeyAggFault::none;
    return ka;
}

void nonce_gen(const uint8_t seckey32[32], const uint8_t pubkey32[32], const uint8_t agg_pubkey32[32],
               const uint8_t msg32[32], const uint8_t rand32[32], uint8_t secnonce_out[kSecNonceSize],
               uint8_t pubnonce_out[kPubNonceSize]) {
    // rand || pubkey || agg_pubkey || msg || i, with rand = seckey XOR the
    // hashed randomness: the key masks the randomness as in BIP-340.
    SecretBytes<129> input;
    {
        SecretBytes<32> aux;
        tagged_hash(FixedTag::MusigAux, rand32, 32, aux.data());
        for (size_t i = 0; i < 32; ++i) input[i] = static_cast<uint8_t>(seckey32[i] ^ aux[i]);
    }
    std::memcpy(input.data() + 32, pubkey32, 32);
    std::memcpy(input.data() + 64, agg_pubkey32, 32);
    std::memcpy(input.data() + 96, msg32, 32);

    for (uint8_t i = 1; i <= 2; ++i) {
        input[128] = i;
        SecretBytes<32> digest, variant;
        tagged_hash(FixedTag::MusigNonce, input.data(), input.size(), digest.data());
        std::memcpy(variant.data(), digest.data(), 32);
        variant[31] ^= i;
        // A digest that is not a valid nonce (zero, or n and above: about
        // one in 2^128) is replaced by its variant. Both are read and the
        // choice is a mask. (The variant failing too is beyond any
        // practical chance.)
        uint64_t digest_ok = 0, variant_ok = 0;
        WipeOnExit<Scalar> from_digest([&] { return digest_scalar_ct(digest.data(), digest_ok); });
        WipeOnExit<Scalar> from_variant([&] { return digest_scalar_ct(variant.data(), variant_ok); });
        WipeOnExit<Scalar> k([&] { return Scalar::select_ct(digest_ok, *from_variant, *from_digest); });
        k->to_bytes(secnonce_out + 32 * (i - 1));
        public_nonce_point(*k, pubnonce_out + 33 * (i - 1));
        secure_wipe_value(digest_ok);
        secure_wipe_value(variant_ok);
    }
}

bool nonce_agg(const uint8_t* pubnonces, size_t n, uint8_t aggnonce_out[kAggNonceSize], NonceAggFault& fault) {
    // Summed while parsing; a nonce that fails later discards the sums, so
    // the outcome is that of parsing them all first.
    Point r1 = Point::infinity_point(), r2 = Point::infinity_point();
    for (size_t i = 0; i < n; ++i) {
        PubNonce::Fault pf;
        const auto p = PubNonce::parse(pubnonces + kPubNonceSize * i, pf);
        if (!p) {
            fault = pf == PubNonce::Fault::r1 ? NonceAggFault::r1 : NonceAggFault::r2;
            return false;
        }
        r1.add_assign(p->r1);
        r2.add_assign(p->r2);
    }
    if (r1.infinity || r2.infinity) {
        fault = NonceAggFault::infinity;
        return false;
    }
    fault = NonceAggFault::none;
    r1.to_compressed(aggnonce_out);
    r2.to_compressed(aggnonce_out + 33);
    return true;
}

Session session_values(const AggNonce& agg, const uint8_t aggnonce_bytes[kAggNonceSize], const KeyAgg& ka,
                       const uint8_t* msg, size_t msg_len) {
    Session s;
    s.n = ka.n;
    Sha256Context h;
    tagged_hash_init(h, FixedTag::MusigNonceCoef);
    sha256_update(h, aggnonce_bytes, kAggNonceSize);
    sha256_update(h, ka.q_x(), 32);
    sha256_update(h, msg, msg_len);
    uint8_t digest[32];
    sha256_final(h, digest);
    s.b = Scalar::from_bytes_reduce(digest);

    Point r = agg.r1;
    r.add_assign(mul(agg.r2, s.b));
    // BIP-327: an infinite final nonce becomes G, so that a disruptive
    // aggregator cannot stall the session (the signature then still
    // verifies, or the culprit is identified by partial verification).
    if (r.infinity) r = Point::generator();
    s.r_negated = normalise_even(r);
    r.to_compressed(s.r33);
    s.e = schnorr_challenge(s.r_x(), ka.q_x(), msg, msg_len);
    return s;
}

Scalar partial_sign(const KeyAgg& ka, const Session& session, const SignerInput& in) {
    // Checked again here, after the frame's checks, so that no path can
    // release a signature made with the wrong coefficient or key.
    if (in.signer_index >= ka.n || in.signer_index >= in.n_pubkeys || session.e.is_zero()) return Scalar::zero();
    {
        WipeOnExit<Point> p([&] { return gen_mul_blinded(*in.seckey); });
        p->to_affine_ct_assign();
        // The signer's public key, compared with the published list.
        declassify_value(*p);
        uint8_t mine[33];
        p->to_compressed(mine);
        if (bytes_equal_mask(mine, in.pubkeys + kPubkeySize * in.signer_index, kPubkeySize) == 0)
            return Scalar::zero();
    }
    // k = k1 + b*k2, negated when R was; d negated when Q was (gacc = 1).
    WipeOnExit<Scalar> k([&] { return in.k1->add_ct(session.b.mul_fold(*in.k2)); });
    k->cond_negate_assign_ct(ct::mask(session.r_negated));
    WipeOnExit<Scalar> d([&] { return *in.seckey; });
    d->cond_negate_assign_ct(ct::mask(ka.q_negated));
    const Scalar ea = session.e.mul(ka.coef[in.signer_index]);
    WipeOnExit<Scalar> ead([&] { return ea.mul_fold(*d); });
    Scalar s = k->add_ct(*ead);
    // The partial signature is the result.
    declassify_value(s);
    return s;
}

bool partial_verify(const Scalar& s, const uint8_t pubnonce[kPubNonceSize], const uint8_t pubkey32[32],
                    const KeyAgg& ka, const Session& session, size_t signer_index) {
    PubNonce::Fault nonce_fault;
    const auto nonce = PubNonce::parse(pubnonce, nonce_fault);
    if (!nonce) return false;
    XonlyPubkey key;
    if (!lift_x(pubkey32, key)) return false;

    Point re = nonce->r1;
    re.add_assign(mul(nonce->r2, session.b));
    if (session.r_negated) re.negate_assign();
    Scalar c = session.e.mul(ka.coef[signer_index]);
    if (ka.q_negated) c = c.negate();

    const Point lhs = mul(Point::generator(), s);
    const Point cp = mul(key.to_point(), c);
    // The key arrives without its parity, so the term may enter with
    // either sign.
    return lhs.equals(re.add(cp)) || lhs.equals(re.add(cp.negate()));
}

bool partial_sig_agg(const Scalar* partials, size_t n, const Session& session, uint8_t sig64_out[64]) {
    Scalar s = Scalar::zero();
    for (size_t i = 0; i < n; ++i) s = s.add(partials[i]);
    // Without tweaks the e*g*tacc term of BIP-327 is zero.
    if (s.is_zero()) return false;
    std::memcpy(sig64_out, session.r_x(), 32);
    s.to_bytes(sig64_out + 32);
    return true;
}

}  // namespace qorvex::musig2
