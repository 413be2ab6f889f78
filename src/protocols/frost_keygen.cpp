#include "protocols/frost_keygen.h"

#include <cstring>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "hash/tagged_hash.h"
#include "protocols/frost_hash.h"
#include "support/bytes.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/secret_array.h"
#include "support/wipe.h"

namespace qorvex::frost {

namespace {

// c of the proof of knowledge: hash "FROST_keygen_pok"(id || C_0 || x(R)),
// reduced.
Scalar proof_challenge(uint32_t id, const uint8_t c0_33[33], const uint8_t rx32[32]) {
    Sha256Context h;
    tagged_hash_init(h, kTagKeygenPok);
    uint8_t id_be[4];
    store_be32(id_be, id);
    sha256_update(h, id_be, 4);
    sha256_update(h, c0_33, 33);
    sha256_update(h, rx32, 32);
    uint8_t digest[32];
    sha256_final(h, digest);
    return Scalar::from_bytes_reduce(digest);
}

// k*P for a small public k >= 1 (an identifier), by doubling and adding:
// about 20 doublings where a general multiplication would do 128.
Point mul_small(const Point& p, uint32_t k) {
    Point r = p;
    for (int bit = 30 - __builtin_clz(k); bit >= 0; --bit) {
        r.dbl_assign();
        if ((k >> bit) & 1) r.add_assign(p);
    }
    return r;
}

// sum_k C_k x^k by Horner's rule; every step multiplies by the small x.
Point evaluate_commitment(const Point* c, uint32_t t, uint32_t x) {
    Point acc = c[t - 1];
    for (uint32_t k = t - 1; k > 0; --k) {
        acc = mul_small(acc, x);
        acc.add_assign(c[k - 1]);
    }
    return acc;
}

// All ones when the secret point a (Jacobian, possibly infinity) is the
// public point b, without branching on a.
uint64_t same_point_mask(const Point& a, const Point& b) {
    const uint64_t a_inf = ct::mask(a.infinity);
    if (b.infinity) return a_inf;
    const FieldElement z1z1 = a.Z.sqr(), z2z2 = b.Z.sqr();
    const uint64_t x_eq = (a.X * z2z2).equal_mask(b.X * z1z1);
    const uint64_t y_eq = (a.Y * z2z2 * b.Z).equal_mask(b.Y * z1z1 * a.Z);
    return ~a_inf & x_eq & y_eq;
}

}  // namespace

void keygen_begin(uint32_t id, uint32_t t, uint32_t n, const uint8_t seed32[32], uint8_t* commits_out,
                  uint8_t* shares_out) {
    SecretArray<Scalar> a(t);
    for (uint32_t k = 0; k < t; ++k) {
        uint8_t k_be[4];
        store_be32(k_be, k);
        a[k] = seeded_scalar(kTagKeygenPoly, seed32, id, k_be, 4);
    }

    using namespace commitment_layout;
    store_le32(commits_out + kCount, t);
    store_le32(commits_out + kSender, id);
    for (uint32_t k = 0; k < t; ++k) public_key_point(a[k]).to_compressed(commits_out + kCoefficients + 33 * size_t{k});

    // The proof of knowledge of a_0: a Schnorr signature under C_0 whose
    // nonce, like everything else, follows from the seed.
    {
        const uint8_t* c0 = commits_out + kCoefficients;
        uint8_t* proof = commits_out + kCoefficients + 33 * size_t{t};
        SecretBytes<32> a0;
        a[0].to_bytes(a0.data());
        WipeOnExit<Scalar> k([&] { return seeded_scalar(kTagKeygenPokNonce, seed32, id, a0.data(), 32); });
        WipeOnExit<Point> r([&] { return gen_mul_ct(*k); });
        r->to_affine_ct_assign();
        // R is published (its x) and its parity picks the sign of k, as
        // BIP-340 does for its nonces.
        declassify_value(*r);
        k->cond_negate_assign_ct(ct::mask_from_bit(r->Y.limb[0]));
        r->X.to_bytes(proof);
        const Scalar c = proof_challenge(id, c0, proof);
        WipeOnExit<Scalar> ca([&] { return c.mul_fold(a[0]); });
        k->add_ct(*ca).to_bytes(proof + 32);
    }

    // f(j) for every recipient, by Horner's rule from a_{t-1} down.
    for (uint32_t j = 1; j <= n; ++j) {
        const Scalar x = Scalar::from_u64(j);
        WipeOnExit<Scalar> f([&] { return a[t - 1]; });
        for (uint32_t k = t - 1; k > 0; --k) *f = f->mul_fold(x).add_ct(a[k - 1]);
        uint8_t* entry = shares_out + kShareEntrySize * size_t{j - 1};
        store_le32(entry + share_layout::kSender, id);
        f->to_bytes(entry + share_layout::kValue);
    }
}

bool verify_constant_term_proof(uint32_t sender, const uint8_t c0_33[33], const Point& c0, const uint8_t rx32[32],
                                const uint8_t z32[32]) {
    Scalar z;
    if (!Scalar::parse_strict(z32, z)) return false;
    const Scalar c = proof_challenge(sender, c0_33, rx32);
    Point r = dual_mul(z, c.negate(), c0);
    if (r.infinity) return false;
    r.to_affine_assign();
    if (r.Y.is_odd()) return false;
    uint8_t x[32];
    r.X.to_bytes(x);
    return std::memcmp(x, rx32, 32) == 0;
}

bool keygen_finalize(uint32_t id, uint32_t t, uint32_t n, const uint8_t* all_commits, const uint8_t* shares,
                     KeyPackage& out, FinalizeFault& fault) {
    const size_t blob_size = static_cast<size_t>(commitment_size(t));
    std::vector<Point> coefficients(size_t{n} * t);
    std::vector<uint32_t> blob_of_sender(size_t{n} + 1, 0);
    std::vector<bool> seen(size_t{n} + 1, false);

    // Every commitment blob, and its proof, before any share.
    for (uint32_t b = 0; b < n; ++b) {
        const uint8_t* blob = all_commits + blob_size * b;
        Point* c = coefficients.data() + size_t{b} * t;
        Commitment parsed;
        Commitment::Fault cf;
        if (!Commitment::parse(blob, t, n, seen, c, parsed, cf)) {
            switch (cf) {
                case Commitment::Fault::count: fault = FinalizeFault::commitment_count; break;
                case Commitment::Fault::sender: fault = FinalizeFault::commitment_sender; break;
                case Commitment::Fault::duplicate_sender: fault = FinalizeFault::duplicate_commitment_sender; break;
                case Commitment::Fault::coefficient:
                case Commitment::Fault::none: fault = FinalizeFault::commitment_coefficient; break;
            }
            return false;
        }
        if (!verify_constant_term_proof(parsed.sender, blob + commitment_layout::kCoefficients, c[0], parsed.proof_rx,
                                        parsed.proof_z)) {
            fault = FinalizeFault::commitment_proof;
            return false;
        }
        blob_of_sender[parsed.sender] = b;
    }

    SecretArray<Scalar> values(n);
    std::vector<uint32_t> senders(n);
    seen.assign(size_t{n} + 1, false);
    for (uint32_t j = 0; j < n; ++j) {
        ShareFault sf;
        if (!parse_share_entry(shares + kShareEntrySize * size_t{j}, n, seen, senders[j], values[j], sf)) {
            fault = sf == ShareFault::sender             ? FinalizeFault::share_sender
                    : sf == ShareFault::duplicate_sender ? FinalizeFault::duplicate_share_sender
                                                         : FinalizeFault::share_scalar;
            return false;
        }
    }

    // Both sender sets are n distinct identifiers in 1..n, so every share
    // has its commitments. v*G must be the sender's polynomial at our x.
    for (uint32_t j = 0; j < n; ++j) {
        const Point expected = evaluate_commitment(coefficients.data() + size_t{blob_of_sender[senders[j]]} * t, t, id);
        WipeOnExit<Point> vg([&] { return gen_mul_ct(values[j]); });
        // Whether a share matches is the call's public verdict.
        if (!declassify_bool(same_point_mask(*vg, expected) != 0)) {
            fault = FinalizeFault::failed;
            return false;
        }
    }

    WipeOnExit<Scalar> share;
    for (uint32_t j = 0; j < n; ++j) *share = share->add_ct(values[j]);
    const Point verification = public_key_point(*share);
    Point group = Point::infinity_point();
    for (uint32_t b = 0; b < n; ++b) group.add_assign(coefficients[size_t{b} * t]);
    // A zero signing share would be refused by signing; it and an
    // infinite group key need dealers working together against the rest.
    if (verification.infinity || group.infinity) {
        fault = FinalizeFault::failed;
        return false;
    }

    out.id = id;
    out.threshold = t;
    out.participants = n;
    out.signing_share = *share;
    verification.to_compressed(out.verification_share33);
    group.to_compressed(out.group_key33);
    out.verification_share = verification;
    out.group_key = group;
    fault = FinalizeFault::none;
    return true;
}

}  // namespace qorvex::frost
