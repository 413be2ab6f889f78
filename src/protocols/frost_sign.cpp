#include "protocols/frost_sign.h"

#include <cstring>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "hash/tagged_hash.h"
#include "protocols/frost_hash.h"
#include "sig/schnorr.h"
#include "support/bytes.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::frost {

namespace {

// k*G for a secret nonce k, affine in constant time, then public.
void nonce_point(const Scalar& k, uint8_t out33[33]) {
    WipeOnExit<Point> p([&] { return gen_mul_ct(k); });
    p->to_affine_ct_assign();
    // Published in the nonce commitment.
    declassify_value(*p);
    p->to_compressed(out33);
}

}  // namespace

void sign_nonce_gen(uint32_t id, const uint8_t seed32[32], uint8_t nonce_out[kNonceSize],
                    uint8_t commit_out[kNonceCommitSize]) {
    WipeOnExit<Scalar> d([&] { return seeded_scalar(kTagNonceHiding, seed32, id, nullptr, 0); });
    WipeOnExit<Scalar> e([&] { return seeded_scalar(kTagNonceBinding, seed32, id, nullptr, 0); });
    store_le32(commit_out + nonce_commit_layout::kId, id);
    nonce_point(*d, commit_out + nonce_commit_layout::kHiding);
    nonce_point(*e, commit_out + nonce_commit_layout::kBinding);
    d->to_bytes(nonce_out);
    e->to_bytes(nonce_out + 32);
}

SigningContext signing_context(const uint8_t group_key33[33], const std::vector<NonceCommitment>& commits,
                               const uint8_t msg32[32]) {
    SigningContext sc;
    sc.rho.resize(commits.size());
    Sha256Context prefix;
    tagged_hash_init(prefix, FixedTag::FrostBinding);
    sha256_update(prefix, group_key33, 33);
    for (size_t j = 0; j < commits.size(); ++j) {
        Sha256Context h = prefix;
        uint8_t id_be[4];
        store_be32(id_be, commits[j].id);
        sha256_update(h, id_be, 4);
        // The whole list, in its order, binds every signer to it.
        for (const NonceCommitment& c : commits) sha256_update(h, c.bytes + nonce_commit_layout::kHiding, 66);
        sha256_update(h, msg32, 32);
        uint8_t digest[32];
        sha256_final(h, digest);
        sc.rho[j] = Scalar::from_bytes_reduce(digest);
    }

    sc.nonce_points.resize(commits.size());
    Point r = Point::infinity_point();
    for (size_t j = 0; j < commits.size(); ++j) {
        sc.nonce_points[j] = mul(commits[j].binding, sc.rho[j]);
        sc.nonce_points[j].add_assign(commits[j].hiding);
        r.add_assign(sc.nonce_points[j]);
    }
    sc.r_infinity = r.infinity;
    if (!r.infinity) {
        r.to_affine_assign();
        sc.r_odd = r.Y.is_odd();
        r.X.to_bytes(sc.r_x);
    }
    sc.y_odd = group_key33[0] == 0x03;
    sc.c = schnorr_challenge(sc.r_x, group_key33 + 1, msg32, 32);
    return sc;
}

size_t index_of(const std::vector<NonceCommitment>& commits, uint32_t id) {
    for (size_t j = 0; j < commits.size(); ++j)
        if (commits[j].id == id) return j;
    return commits.size();
}

Scalar lagrange_coefficient(const std::vector<NonceCommitment>& commits, uint32_t id) {
    const Scalar xi = Scalar::from_u64(id);
    Scalar num = Scalar::one(), den = Scalar::one();
    bool found = false;
    for (const NonceCommitment& c : commits) {
        if (c.id == id) {
            found = true;
            continue;
        }
        const Scalar xj = Scalar::from_u64(c.id);
        num = num.mul(xj);
        den = den.mul(xj.subtract(xi));
    }
    if (!found || den.is_zero()) return Scalar::zero();
    return num.mul(den.inverse_ct());
}

Scalar sign(const SigningContext& sc, const std::vector<NonceCommitment>& commits, size_t index,
            const Scalar& share, const Scalar& d, const Scalar& e) {
    const Scalar lambda_c = lagrange_coefficient(commits, commits[index].id).mul(sc.c);
    const uint64_t flip_nonce = ct::mask(sc.r_odd), flip_share = ct::mask(sc.y_odd);
    WipeOnExit<Scalar> d2([&] { return d.cond_negate_ct(flip_nonce); });
    WipeOnExit<Scalar> e2([&] { return e.cond_negate_ct(flip_nonce); });
    WipeOnExit<Scalar> s2([&] { return share.cond_negate_ct(flip_share); });
    WipeOnExit<Scalar> bound([&] { return sc.rho[index].mul_fold(*e2); });
    WipeOnExit<Scalar> keyed([&] { return lambda_c.mul_fold(*s2); });
    Scalar z = d2->add_ct(*bound).add_ct(*keyed);
    // The partial signature is the result.
    declassify_value(z);
    return z;
}

bool verify_partial(const SigningContext& sc, const std::vector<NonceCommitment>& commits, size_t index,
                    const Scalar& z, const Point& verification_share) {
    Point ri = sc.nonce_points[index];
    if (sc.r_odd) ri.negate_assign();
    Point yi = verification_share;
    if (sc.y_odd) yi.negate_assign();
    // z G - (lambda c) Y_i' = R_i, as one double multiplication.
    const Scalar lambda_c = lagrange_coefficient(commits, commits[index].id).mul(sc.c);
    return dual_mul(z, lambda_c.negate(), yi).equals(ri);
}

bool aggregate(const SigningContext& sc, const std::vector<PartialSig>& partials, uint8_t sig64_out[64]) {
    if (sc.r_infinity) return false;
    uint8_t rx_bits = 0;
    for (uint8_t b : sc.r_x) rx_bits |= b;
    Scalar z = Scalar::zero();
    for (const PartialSig& p : partials) z = z.add(p.z);
    if (rx_bits == 0 || z.is_zero()) return false;
    std::memcpy(sig64_out, sc.r_x, 32);
    z.to_bytes(sig64_out + 32);
    return true;
}

}  // namespace qorvex::frost
