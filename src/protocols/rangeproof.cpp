#include "protocols/rangeproof.h"

#include <cstring>
#include <memory>

#include "arith/gen_mul.h"
#include "arith/msm.h"
#include "arith/point_mul.h"
#include "hash/sha256.h"
#include "hash/tagged_hash.h"
#include "protocols/digest_scalar.h"
#include "protocols/pedersen.h"
#include "protocols/proofs.h"
#include "protocols/rangeproof_sum.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::rangeproof {

namespace {

constexpr size_t kHalf = kBits / 2;

Scalar hash_scalar(FixedTag tag, const uint8_t* data, size_t len) {
    uint8_t d[32];
    tagged_hash(tag, data, len, d);
    return Scalar::from_bytes_reduce(d);
}

Point generator_point(uint8_t letter, uint32_t i) {
    const uint8_t seed[5] = {letter, static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8),
                             static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 24)};
    uint8_t d[32];
    tagged_hash(FixedTag::BulletproofGen, seed, sizeof seed, d);
    return pedersen::point_from_digest(d);
}

// SHA-256 of a scalar's 32 bytes, read modulo n (the prover's seed chain).
Scalar hash_of_scalar(const Scalar& k) {
    SecretBytes<32> in, out;
    k.to_bytes(in.data());
    sha256(in.data(), 32, out.data());
    return Scalar::from_bytes_reduce(out.data());
}

// sL_i or sR_i: SHA-256(k0 || i || letter) mod n.
Scalar blinding_entry(const uint8_t k0[32], uint8_t i, uint8_t letter) {
    SecretBytes<34> in;
    SecretBytes<32> out;
    std::memcpy(in.data(), k0, 32);
    in[32] = i;
    in[33] = letter;
    sha256(in.data(), in.size(), out.data());
    return Scalar::from_bytes_reduce(out.data());
}

Scalar inner_ct(const Scalar* a, const Scalar* b, size_t n) {
    Scalar acc = Scalar::zero();
    for (size_t i = 0; i < n; ++i) acc = acc.add_ct(a[i].mul(b[i]));
    return acc;
}

// A point the prover publishes: made affine in constant time (its Z comes
// from secrets), then public, then encoded.
void publish(Point& p, uint8_t out33[33]) {
    p.to_affine_ct_assign();
    declassify_value(p);
    p.to_compressed(out33);
}

Scalar publish_scalar(const Scalar& s, uint8_t out32[32]) {
    declassify_value(s);
    s.to_bytes(out32);
    return s;
}

// Everything of the prover that depends on the value or the blinding, in
// one block so that one wipe covers it.
struct ProverState {
    Scalar alpha, rho, tau1, tau2;
    Scalar sl[kBits], sr[kBits];
    Scalar l0[kBits], r0[kBits];  // l(0), r(0)
    Scalar a[kBits], b[kBits];    // the inner-product vectors, folded in place
    Scalar terms[kMaxSumTerms];
    uint8_t k0[32];
};

}  // namespace

const Generators& generators() {
    static const Generators gens = [] {
        Generators g;
        for (uint32_t i = 0; i < kBits; ++i) {
            const Point gi = generator_point('G', i);
            const Point hi = generator_point('H', i);
            g.g[i] = AffinePoint{gi.X, gi.Y};
            g.h[i] = AffinePoint{hi.X, hi.Y};
        }
        return g;
    }();
    return gens;
}

void challenges_yz(const uint8_t a33[33], const uint8_t s33[33], const uint8_t v33[33], Scalar& y, Scalar& z) {
    uint8_t buf[99];
    std::memcpy(buf, a33, 33);
    std::memcpy(buf + 33, s33, 33);
    std::memcpy(buf + 66, v33, 33);
    y = hash_scalar(FixedTag::BulletproofY, buf, sizeof buf);
    z = hash_scalar(FixedTag::BulletproofZ, buf, sizeof buf);
}

Scalar challenge_x(const uint8_t t1_33[33], const uint8_t t2_33[33], const Scalar& y, const Scalar& z) {
    uint8_t buf[130];
    std::memcpy(buf, t1_33, 33);
    std::memcpy(buf + 33, t2_33, 33);
    y.to_bytes(buf + 66);
    z.to_bytes(buf + 98);
    return hash_scalar(FixedTag::BulletproofX, buf, sizeof buf);
}

Scalar challenge_w(const Scalar& x, const Scalar& tau_x, const Scalar& mu, const Scalar& t_hat) {
    uint8_t buf[128];
    x.to_bytes(buf);
    tau_x.to_bytes(buf + 32);
    mu.to_bytes(buf + 64);
    t_hat.to_bytes(buf + 96);
    return hash_scalar(FixedTag::BulletproofIp, buf, sizeof buf);
}

Scalar challenge_u(const Scalar& prev, const uint8_t l33[33], const uint8_t r33[33]) {
    uint8_t buf[98];
    prev.to_bytes(buf);
    std::memcpy(buf + 32, l33, 33);
    std::memcpy(buf + 65, r33, 33);
    return hash_scalar(FixedTag::BulletproofIp, buf, sizeof buf);
}

Scalar delta(const Scalar& y, const Scalar& z) {
    Scalar sum_y = Scalar::zero(), yi = Scalar::one();
    for (size_t i = 0; i < kBits; ++i) {
        sum_y = sum_y + yi;
        yi = yi * y;
    }
    return delta_of_sum(sum_y, z);
}

Scalar delta_of_sum(const Scalar& sum_y, const Scalar& z) {
    const Scalar z2 = z * z;
    const Scalar two64_minus_1 = Scalar::from_u64(~uint64_t{0});
    return (z - z2) * sum_y - z2 * z * two64_minus_1;
}

ProveStatus prove(uint64_t value, const Scalar& blinding, const Point& commitment, const uint8_t aux32[32],
                  uint8_t proof_out[kProofSize]) {
    uint8_t v33[33];
    commitment.to_compressed(v33);
    const Generators& gens = generators();
    WipeOnExit<ProverState> st;
    ProverState& p = *st;
    uint8_t proof[kProofSize];
    uint8_t bases[kMaxSumTerms];
    {
        // The commitment must open to (value, blinding): a proof for any
        // other would be a proof about a value the caller does not know.
        // value·H + blinding·G through the prover's own fixed tables.
        SecretBytes<33> want;
        p.terms[0] = Scalar::from_u64(value);
        p.terms[1] = blinding;
        bases[0] = kBaseH;
        bases[1] = kBaseG;
        WipeOnExit<Point> c([&] { return fixed_sum_ct(p.terms, bases, 2); });
        c->to_affine_ct_assign();
        pedersen::encode_ct(*c, want.data());
        if (!declassify_bool(bytes_equal_mask(want.data(), v33, 33) != 0)) return ProveStatus::commitment_mismatch;
    }

    // Randomness: one seed from the blinding, the commitment and aux32.
    {
        WipeOnExit<Scalar> k0([&] { return proofs::nonce(blinding, v33, aux32, aux32); });
        k0->to_bytes(p.k0);
        p.alpha = *k0;
    }
    p.rho = hash_of_scalar(p.alpha);
    for (size_t i = 0; i < kBits; ++i) {
        p.sl[i] = blinding_entry(p.k0, static_cast<uint8_t>(i), 'L');
        p.sr[i] = blinding_entry(p.k0, static_cast<uint8_t>(i), 'R');
    }
    p.tau1 = hash_of_scalar(p.rho);
    p.tau2 = hash_of_scalar(p.tau1);

    // A = alpha G + sum aL_i G_i + aR_i H_i, where bit i picks G_i (aL = 1,
    // aR = 0) or -H_i (aL = 0, aR = -1), by mask.
    {
        WipeOnExit<Point> a([&] { return gen_mul_ct(p.alpha); });
        for (size_t i = 0; i < kBits; ++i) {
            const uint64_t bit = ct::mask_from_bit(value >> i);
            const FieldElement x = FieldElement::select_ct(bit, gens.h[i].x, gens.g[i].x);
            const FieldElement y = FieldElement::select_ct(bit, gens.h[i].y.negate(), gens.g[i].y);
            a->add_affine_complete_ct(x, y, ct::mask(a->infinity), 0);
        }
        publish(*a, proof + kOffA);
    }
    // S = rho G + sum sL_i G_i + sR_i H_i.
    {
        for (size_t i = 0; i < kBits; ++i) {
            p.terms[i] = p.sl[i];
            bases[i] = static_cast<uint8_t>(i);
            p.terms[kBits + i] = p.sr[i];
            bases[kBits + i] = static_cast<uint8_t>(kBits + i);
        }
        p.terms[2 * kBits] = p.rho;
        bases[2 * kBits] = kBaseG;
        WipeOnExit<Point> s([&] { return fixed_sum_ct(p.terms, bases, 2 * kBits + 1); });
        publish(*s, proof + kOffS);
    }

    Scalar y, z;
    challenges_yz(proof + kOffA, proof + kOffS, v33, y, z);
    if (y.is_zero()) return ProveStatus::degenerate;
    const Scalar z2 = z * z;

    // l(X) = (aL - z) + sL X, r(X) = y^i (aR + z + sR X) + z^2 2^i.
    Scalar y_pow[kBits];
    {
        Scalar yi = Scalar::one(), two_i = Scalar::one();
        const Scalar z_minus_one = z.negate().add(Scalar::one()).negate();
        // The value's bits, one at a time: wiped when the loop is done.
        WipeOnExit<Scalar> al, ar_plus_z;
        for (size_t i = 0; i < kBits; ++i) {
            y_pow[i] = yi;
            const uint64_t bit = ct::mask_from_bit(value >> i);
            *al = Scalar::select_ct(bit, Scalar::zero(), Scalar::one());
            // aR + z is z - 1 for a zero bit and z for a set one.
            *ar_plus_z = Scalar::select_ct(bit, z_minus_one, z);
            p.l0[i] = al->subtract_ct(z);
            p.r0[i] = yi.mul(*ar_plus_z).add_ct(z2.mul(two_i));
            yi = yi * y;
            two_i = two_i + two_i;
        }
    }
    // t1 = <l0, y^i sR> + <sL, r0>, t2 = <sL, y^i sR>.
    {
        WipeOnExit<Scalar> t1, t2, ysr;
        for (size_t i = 0; i < kBits; ++i) {
            *ysr = y_pow[i].mul(p.sr[i]);
            *t1 = t1->add_ct(p.l0[i].mul(*ysr)).add_ct(p.sl[i].mul(p.r0[i]));
            *t2 = t2->add_ct(p.sl[i].mul(*ysr));
        }
        p.terms[0] = *t1;
        p.terms[1] = p.tau1;
        bases[0] = kBaseH;
        bases[1] = kBaseG;
        WipeOnExit<Point> t1p([&] { return fixed_sum_ct(p.terms, bases, 2); });
        publish(*t1p, proof + kOffT1);
        p.terms[0] = *t2;
        p.terms[1] = p.tau2;
        WipeOnExit<Point> t2p([&] { return fixed_sum_ct(p.terms, bases, 2); });
        publish(*t2p, proof + kOffT2);
    }
    const Scalar x = challenge_x(proof + kOffT1, proof + kOffT2, y, z);

    // l = l(x), r = r(x); t_hat = <l, r>; tau_x, mu.
    for (size_t i = 0; i < kBits; ++i) {
        p.a[i] = p.l0[i].add_ct(p.sl[i].mul(x));
        p.b[i] = p.r0[i].add_ct(y_pow[i].mul(p.sr[i]).mul(x));
    }
    Scalar t_hat, tau_x, mu;
    {
        WipeOnExit<Scalar> th([&] { return inner_ct(p.a, p.b, kBits); });
        WipeOnExit<Scalar> tx([&] {
            return p.tau2.mul(x * x).add_ct(p.tau1.mul(x)).add_ct(z2.mul(blinding));
        });
        WipeOnExit<Scalar> m([&] { return p.alpha.add_ct(p.rho.mul(x)); });
        tau_x = publish_scalar(*tx, proof + kOffTaux);
        mu = publish_scalar(*m, proof + kOffMu);
        t_hat = publish_scalar(*th, proof + kOffThat);
    }
    const Scalar w = challenge_w(x, tau_x, mu, t_hat);
    if (w.is_zero()) return ProveStatus::degenerate;
    // l(x) and r(x) are what the protocol without the inner-product
    // compression sends in the clear: blinded by sL x and sR x, they are
    // uniform whatever the value and the blinding, and the zero-knowledge
    // argument covers them together with A, S, T1, T2, tau_x and mu.
    // Everything the rounds below compute comes from them and public values,
    // so the rounds may run in variable time without telling anything about
    // the value or the blinding.
    declassify(p.a, sizeof p.a);
    declassify(p.b, sizeof p.b);

    // The inner-product argument for <a, G> + <b, H'> + <a, b> U with
    // H'_i = y^-i H_i and U = w H. Round k works on generator vectors of
    // m = 64 >> k points, kept as sigma_g Gk_j and c_h y^-j Hk_j: the
    // common factors stay out of the points and go into the coefficients.
    // Round 0's points are the fixed generators with their fixed tables;
    // each later round's are folded from the last ones, G_j + u^2 G_(j+h)
    // and H_j + u^-2 y^-h H_(j+h), and get tables of their own, so that L
    // and R are sums over m + 1 points rather than over all 129.
    Scalar y_inv_pow[kBits];
    {
        const Scalar y_inv = y.inverse_var();
        Scalar yi = Scalar::one();
        for (size_t i = 0; i < kBits; ++i) {
            y_inv_pow[i] = yi;
            yi = yi * y_inv;
        }
    }
    struct Folded {
        Point g[kHalf], h[kHalf];
        BaseTable gt[kHalf], ht[kHalf];
    };
    const auto folded = std::make_unique<Folded>();
    const BaseTable* gtab[kBits];
    const BaseTable* htab[kBits];
    for (size_t i = 0; i < kBits; ++i) {
        gtab[i] = &fixed_table(static_cast<uint8_t>(i));
        htab[i] = &fixed_table(static_cast<uint8_t>(kBits + i));
    }
    const BaseTable* u_table = &fixed_table(kBaseH);
    Scalar sigma_g = Scalar::one(), c_h = Scalar::one();
    Scalar prev = w;
    const BaseTable* tabs[kMaxSumTerms];
    for (size_t k = 0; k < kRounds; ++k) {
        const size_t m = kBits >> k, h = m / 2;
        uint8_t* l33 = proof + kOffL + 33 * k;
        uint8_t* r33 = proof + kOffR + 33 * k;
        for (int side = 0; side < 2; ++side) {
            // L pairs a_lo with G_hi and b_hi with H'_lo; R the other halves.
            const size_t a_off = side == 0 ? 0 : h, g_off = side == 0 ? h : 0;
            const size_t b_off = side == 0 ? h : 0, h_off = side == 0 ? 0 : h;
            size_t n = 0;
            for (size_t j = 0; j < h; ++j) {
                p.terms[n] = p.a[a_off + j].mul(sigma_g);
                tabs[n++] = gtab[g_off + j];
            }
            for (size_t j = 0; j < h; ++j) {
                p.terms[n] = p.b[b_off + j].mul(c_h * y_inv_pow[h_off + j]);
                tabs[n++] = htab[h_off + j];
            }
            WipeOnExit<Scalar> c([&] {
                return side == 0 ? inner_ct(p.a, p.b + h, h) : inner_ct(p.a + h, p.b, h);
            });
            p.terms[n] = c->mul(w);
            tabs[n++] = u_table;
            Point pt = table_sum_var(p.terms, tabs, n);
            publish(pt, side == 0 ? l33 : r33);
        }
        const Scalar u = challenge_u(prev, l33, r33);
        if (u.is_zero()) return ProveStatus::degenerate;
        const Scalar u_inv = u.inverse_var();
        for (size_t j = 0; j < h; ++j) {
            p.a[j] = p.a[j].mul(u).add_ct(p.a[j + h].mul(u_inv));
            p.b[j] = p.b[j].mul(u_inv).add_ct(p.b[j + h].mul(u));
        }
        prev = u;
        if (k + 1 == kRounds) break;
        // The next round's generators, from public points and challenges.
        // Width 6: the hi halves' tables (fixed ones in round 0, this
        // round's otherwise) hold the 16 odd multiples it reads. Round 0's
        // hi halves also have tables of 2^64 times themselves, which halve
        // the doublings.
        const Scalar kg = u * u, kh = u_inv * u_inv * y_inv_pow[h];
        FixedKPlan plan_g, plan_h;
        SplitKPlan split_g, split_h;
        if (k == 0) {
            split_g = split_k_plan(kg, 6);
            split_h = split_k_plan(kh, 6);
        } else {
            plan_g = fixed_k_plan(kg, 6);
            plan_h = fixed_k_plan(kh, 6);
        }
        // In place: step j reads entries j and j + h and writes entry j,
        // which no later step reads.
        Folded& f = *folded;
        for (size_t j = 0; j < h; ++j) {
            const BaseTable& gt = *gtab[j + h];
            const BaseTable& ht = *htab[j + h];
            if (k == 0) {
                const BaseTable& gs = *fixed_table_2_64(static_cast<uint8_t>(j + h));
                const BaseTable& hs = *fixed_table_2_64(static_cast<uint8_t>(kBits + j + h));
                const AffinePoint* const gtabs[4] = {gt.t, gt.tl, gs.t, gs.tl};
                const AffinePoint* const htabs[4] = {ht.t, ht.tl, hs.t, hs.tl};
                f.g[j] = mul_with_split_plan(gtabs, kMulCtTableSize, split_g);
                f.g[j].add_affine_var(gens.g[j].x, gens.g[j].y);
                f.h[j] = mul_with_split_plan(htabs, kMulCtTableSize, split_h);
                f.h[j].add_affine_var(gens.h[j].x, gens.h[j].y);
            } else {
                const Point g_lo = f.g[j], h_lo = f.h[j];
                f.g[j] = mul_with_plan(gt.t, gt.tl, kMulCtTableSize, plan_g);
                f.g[j].add_assign(g_lo);
                f.h[j] = mul_with_plan(ht.t, ht.tl, kMulCtTableSize, plan_h);
                f.h[j].add_assign(h_lo);
            }
            // Infinity would take a known relation between generators.
            if (f.g[j].infinity || f.h[j].infinity) return ProveStatus::degenerate;
        }
        make_tables(f.g, h, f.gt);
        make_tables(f.h, h, f.ht);
        for (size_t j = 0; j < h; ++j) {
            gtab[j] = &f.gt[j];
            htab[j] = &f.ht[j];
        }
        sigma_g = sigma_g * u_inv;
        c_h = c_h * u;
    }
    publish_scalar(p.a[0], proof + kOffA_);
    publish_scalar(p.b[0], proof + kOffB_);
    std::memcpy(proof_out, proof, kProofSize);
    return ProveStatus::ok;
}

ParseStatus parse(const uint8_t proof[kProofSize], ParsedProof& out) {
    AffinePoint* pts[4 + 2 * kRounds] = {&out.a, &out.s, &out.t1, &out.t2};
    size_t offs[4 + 2 * kRounds] = {kOffA, kOffS, kOffT1, kOffT2};
    for (size_t k = 0; k < kRounds; ++k) {
        pts[4 + k] = &out.l[k];
        offs[4 + k] = kOffL + 33 * k;
        pts[4 + kRounds + k] = &out.r[k];
        offs[4 + kRounds + k] = kOffR + 33 * k;
    }
    const uint8_t* enc[4 + 2 * kRounds];
    AffinePoint parsed[4 + 2 * kRounds];
    for (size_t i = 0; i < 4 + 2 * kRounds; ++i) enc[i] = proof + offs[i];
    if (!Point::decompress_batch(enc, 4 + 2 * kRounds, parsed)) return ParseStatus::bad_point;
    for (size_t i = 0; i < 4 + 2 * kRounds; ++i) *pts[i] = parsed[i];
    Scalar* scalars[5] = {&out.tau_x, &out.mu, &out.t_hat, &out.a_final, &out.b_final};
    const size_t soffs[5] = {kOffTaux, kOffMu, kOffThat, kOffA_, kOffB_};
    for (size_t i = 0; i < 5; ++i) {
        if (!Scalar::parse_strict(proof + soffs[i], *scalars[i])) return ParseStatus::bad_scalar;
    }
    out.bytes = proof;
    return ParseStatus::ok;
}

bool verify(const ParsedProof& pf, const Point& commitment) {
    const uint8_t* raw = pf.bytes;
    uint8_t v33[33];
    commitment.to_compressed(v33);
    Scalar y, z;
    challenges_yz(raw + kOffA, raw + kOffS, v33, y, z);
    if (y.is_zero()) return false;
    const Scalar x = challenge_x(raw + kOffT1, raw + kOffT2, y, z);
    const Scalar w = challenge_w(x, pf.tau_x, pf.mu, pf.t_hat);
    if (w.is_zero()) return false;
    Scalar u[kRounds], u_inv[kRounds];
    Scalar prev = w;
    for (size_t k = 0; k < kRounds; ++k) {
        u[k] = challenge_u(prev, raw + kOffL + 33 * k, raw + kOffR + 33 * k);
        if (u[k].is_zero()) return false;
        prev = u[k];
    }
    // The six u_k and y inverted together: one inversion and three products
    // each (Montgomery's trick; all seven are non-zero).
    Scalar y_inv;
    {
        Scalar before[kRounds + 1];
        Scalar acc = Scalar::one();
        for (size_t k = 0; k < kRounds; ++k) {
            before[k] = acc;
            acc = acc * u[k];
        }
        before[kRounds] = acc;
        Scalar inv = (acc * y).inverse_var();
        y_inv = inv * before[kRounds];
        inv = inv * y;
        for (size_t k = kRounds; k-- > 0;) {
            u_inv[k] = inv * before[k];
            inv = inv * u[k];
        }
    }
    const Scalar z2 = z * z;
    const Scalar x2 = x * x;

    // Both checks at once, the first weighted by c:
    //   c ((t_hat - delta) H + tau_x G - z^2 V - x T1 - x^2 T2)
    //   + A + x S - mu G + (t_hat - a b) w H + sum (u_k^2 L_k + u_k^-2 R_k)
    //   + sum (-z - a s_i) G_i + sum (z + (z^2 2^i - b / s_i) y^-i) H_i
    // is infinity. c comes from a hash of the proof and the commitment, so
    // the prover fixes both residues before c is known and can make the
    // weighted sum vanish, with either residue left over, only by finding
    // a hash output, one chance in n per try.
    Scalar c;
    {
        uint8_t d[32];
        Sha256Context h;
        sha256_init(h);
        sha256_update(h, raw, kProofSize);
        sha256_update(h, v33, 33);
        sha256_final(h, d);
        c = Scalar::from_bytes_reduce(d);
        if (c.is_zero()) c = Scalar::one();
    }
    // The fixed bases (G_i, H_i, G, H) go to the sum over their tables, the
    // 17 points of the proof and the commitment to the multi-scalar engine.
    Scalar kf[kBaseCount];
    kf[kBaseG] = c * pf.tau_x - pf.mu;
    constexpr size_t kTerms = 5 + 2 * kRounds;
    Scalar k[kTerms];
    AffinePoint pts[kTerms];
    size_t n = 0;
    k[n] = (c * z2).negate();
    pts[n++] = AffinePoint{commitment.affine_x(), commitment.affine_y()};
    k[n] = (c * x).negate();
    pts[n++] = pf.t1;
    k[n] = (c * x2).negate();
    pts[n++] = pf.t2;
    k[n] = Scalar::one();
    pts[n++] = pf.a;
    k[n] = x;
    pts[n++] = pf.s;
    Scalar u2[kRounds];
    for (size_t r = 0; r < kRounds; ++r) {
        u2[r] = u[r] * u[r];
        k[n] = u2[r];
        pts[n++] = pf.l[r];
        k[n] = u_inv[r] * u_inv[r];
        pts[n++] = pf.r[r];
    }
    // s_i = prod u_k^(+-1), + where bit 5 - k of i is set; built up one bit
    // at a time from s_0 = prod u_k^-1. Complementing i flips every sign,
    // so 1 / s_i is s_(63 - i). Only a s_i and b s_i are wanted, so each is
    // built up the same way from a s_0 and b s_0.
    Scalar as[kBits], bs[kBits];
    {
        Scalar s0 = Scalar::one();
        for (size_t r = 0; r < kRounds; ++r) s0 = s0 * u_inv[r];
        as[0] = pf.a_final * s0;
        bs[0] = pf.b_final * s0;
    }
    for (size_t i = 1; i < kBits; ++i) {
        size_t bit = 5;
        while (!((i >> bit) & 1)) --bit;
        as[i] = as[i - (size_t{1} << bit)] * u2[5 - bit];
        bs[i] = bs[i - (size_t{1} << bit)] * u2[5 - bit];
    }
    const Scalar minus_z = z.negate();
    Scalar y_inv_i = Scalar::one(), z2_two_i = z2, sum_y_inv = Scalar::zero();
    for (size_t i = 0; i < kBits; ++i) {
        kf[i] = minus_z - as[i];
        kf[kBits + i] = z + (z2_two_i - bs[kBits - 1 - i]) * y_inv_i;
        sum_y_inv = sum_y_inv + y_inv_i;
        y_inv_i = y_inv_i * y_inv;
        z2_two_i = z2_two_i + z2_two_i;
    }
    // sum y^i = y^63 sum y^-i.
    Scalar y64 = y;
    for (int sq = 0; sq < 6; ++sq) y64 = y64 * y64;
    const Scalar sum_y = y64 * y_inv * sum_y_inv;
    kf[kBaseH] = c * (pf.t_hat - delta_of_sum(sum_y, z)) + (pf.t_hat - pf.a_final * pf.b_final) * w;
    Point sum = fixed_generator_sum(kf);
    sum.add_assign(msm(std::span<const Scalar>(k, n), std::span<const AffinePoint>(pts, n)));
    return sum.infinity;
}

}  // namespace qorvex::rangeproof
