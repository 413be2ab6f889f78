// Range proofs: the constant-time sum the prover is built on and the
// verifier's generator sum, proofs of the edge values and their pinned
// bytes, every single-bit change of a proof, and the forgery that the bound
// transcript stops.
//
// The forgery: with the inner-product point equal to H and round challenges
// over L_k || R_k alone, a prover can commit to v = -1 with the "bits"
// aL = (-1, 0, ..., 0), aR = aL - 1. Then t(0) exceeds z^2 v + delta by
// exactly aL_0 aR_0 = 2, independent of every challenge, so adding 2 H to A
// and claiming t_hat = <l, r> - 2 satisfies both checks. forge() below
// builds such proofs with either transcript; a small verifier of the old
// equations accepts the old one, the library refuses both.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/msm.h"
#include "arith/point_mul.h"
#include "hash/sha256.h"
#include "hash/tagged_hash.h"
#include "protocol_helpers.h"
#include "protocols/pedersen.h"
#include "protocols/rangeproof.h"
#include "protocols/rangeproof_sum.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

namespace rp = qorvex::rangeproof;
constexpr size_t N = rp::kBits;

Scalar scalar_of(uint64_t seed) {
    uint8_t in[8], d[32];
    for (int i = 0; i < 8; ++i) in[i] = static_cast<uint8_t>(seed >> (8 * i));
    tagged_hash("rangeproof test", in, sizeof in, d);
    return Scalar::from_bytes_reduce(d);
}

Point commit(const Scalar& v, const Scalar& gamma) { return pedersen::commit_point(v, gamma); }

Point base_point(uint8_t b) {
    const rp::Generators& g = rp::generators();
    if (b < N) return Point::from_affine(g.g[b]);
    if (b < 2 * N) return Point::from_affine(g.h[b - N]);
    return b == rp::kBaseG ? Point::generator() : pedersen::generator_h();
}

bool verifies(const uint8_t proof[rp::kProofSize], const Point& v) {
    rp::ParsedProof parsed;
    return rp::parse(proof, parsed) == rp::ParseStatus::ok && rp::verify(parsed, v);
}

TEST(RangeProofSum, MatchesSumsOfSingleMultiples) {
    // Zero and n - 1 scalars, one term and all 130.
    for (size_t count : {size_t{1}, size_t{2}, size_t{65}, rp::kMaxSumTerms}) {
        std::vector<Scalar> k(count);
        std::vector<uint8_t> bases(count);
        Point want = Point::infinity_point();
        for (size_t i = 0; i < count; ++i) {
            k[i] = i == 1 ? Scalar::zero() : i == 2 ? Scalar::one().negate() : scalar_of(1000 * count + i);
            bases[i] = static_cast<uint8_t>((i * 7 + count) % rp::kBaseCount);
            want.add_assign(mul(base_point(bases[i]), k[i]));
        }
        // Distinct bases (7 is prime to 130).
        std::vector<bool> seen(rp::kBaseCount);
        for (uint8_t b : bases) {
            ASSERT_FALSE(seen[b]);
            seen[b] = true;
        }
        const Point got = rp::fixed_sum_ct(k.data(), bases.data(), count);
        EXPECT_TRUE(got.equals(want)) << count << " terms";
    }
    // A sum that vanishes: k G_0 + (-k) G_0 is not allowed (same base), but
    // a single zero term is.
    const Scalar zero = Scalar::zero();
    const uint8_t b0 = 0;
    EXPECT_TRUE(rp::fixed_sum_ct(&zero, &b0, 1).infinity);
}

// The verifier's sum over the fixed bases (the 128 vector generators, G
// and H), against the general engine: scalars whose digits carry into the
// next (0x80 bytes, and n - 1, whose digits are mostly 1023), zero and one.
TEST(RangeProofSum, GeneratorSumMatchesTheMultiScalarEngine) {
    Scalar k[rp::kBaseCount];
    AffinePoint pts[rp::kBaseCount];
    uint8_t carries[32];
    std::memset(carries, 0x80, sizeof carries);
    carries[0] = 0x7f;
    const Point g = Point::generator();
    const Point& h = pedersen::generator_h();
    for (size_t i = 0; i < rp::kBaseCount; ++i) {
        k[i] = scalar_of(7000 + i);
        if (i == 3) k[i] = Scalar::zero();
        if (i == 4) k[i] = Scalar::one();
        if (i == 70 || i == rp::kBaseH) k[i] = Scalar::one().negate();
        if (i == 71) k[i] = Scalar::from_bytes_reduce(carries);
        pts[i] = i < N            ? rp::generators().g[i]
                 : i < 2 * N      ? rp::generators().h[i - N]
                 : i == rp::kBaseG ? AffinePoint{g.affine_x(), g.affine_y()}
                                   : AffinePoint{h.affine_x(), h.affine_y()};
    }
    EXPECT_TRUE(rp::fixed_generator_sum(k).equals(msm(k, pts)));
    for (auto& e : k) e = Scalar::zero();
    EXPECT_TRUE(rp::fixed_generator_sum(k).infinity);
}

// The prover's bytes for a few values, blindings and aux inputs, pinned by
// their running hash: a faster prover must give the same proofs.
TEST(RangeProof, ProofBytesAreStable) {
    const uint64_t values[] = {0, 1, 2, 12345678901234ULL, uint64_t{1} << 63, ~uint64_t{0}};
    uint8_t acc[32] = {};
    for (size_t i = 0; i < 6; ++i) {
        for (size_t j = 0; j < 2; ++j) {
            uint8_t b32[32], aux[32];
            for (size_t k = 0; k < 32; ++k) {
                b32[k] = static_cast<uint8_t>(7 * k + 13 * i + 31 * j + 1);
                aux[k] = static_cast<uint8_t>(k * j + i);
            }
            b32[0] = 0x11;
            Scalar gamma;
            ASSERT_TRUE(Scalar::parse_strict(b32, gamma));
            uint8_t buf[32 + rp::kProofSize];
            std::memcpy(buf, acc, 32);
            ASSERT_EQ(rp::prove(values[i], gamma, commit(Scalar::from_u64(values[i]), gamma), aux, buf + 32),
                      rp::ProveStatus::ok);
            sha256(buf, sizeof buf, acc);
        }
    }
    EXPECT_EQ(to_hex(acc, 32), "9900a42b63dd0f1a0da0933dc0332e140bd1d23b010aa9d9af92173c6df0eebd");
}

TEST(RangeProof, EdgeValuesProveAndVerify) {
    const uint8_t aux[32] = {0x42};
    for (uint64_t v : {uint64_t{0}, uint64_t{1}, uint64_t{1} << 63, ~uint64_t{0}}) {
        const Scalar gamma = scalar_of(v ^ 0x5a5a);
        const Point c = commit(Scalar::from_u64(v), gamma);
        uint8_t proof[rp::kProofSize];
        ASSERT_EQ(rp::prove(v, gamma, c, aux, proof), rp::ProveStatus::ok) << v;
        EXPECT_TRUE(verifies(proof, c)) << v;
        // Against the commitment to the next value, or another blinding.
        EXPECT_FALSE(verifies(proof, commit(Scalar::from_u64(v + 1), gamma))) << v;
        EXPECT_FALSE(verifies(proof, commit(Scalar::from_u64(v), gamma + Scalar::one()))) << v;
    }
}

TEST(RangeProof, ProverRefusesACommitmentToSomethingElse) {
    const uint8_t aux[32] = {};
    const Scalar gamma = scalar_of(7);
    uint8_t proof[rp::kProofSize];
    EXPECT_EQ(rp::prove(5, gamma, commit(Scalar::from_u64(6), gamma), aux, proof),
              rp::ProveStatus::commitment_mismatch);
    EXPECT_EQ(rp::prove(5, gamma, commit(Scalar::from_u64(5), gamma.negate()), aux, proof),
              rp::ProveStatus::commitment_mismatch);
}

// Every single-bit change of one valid proof, a field group per case so
// that the cases can run side by side.
struct FlipRange {
    const char* name;
    size_t from, to;  // bytes
};

class RangeProofFlips : public ::testing::TestWithParam<FlipRange> {};

TEST_P(RangeProofFlips, EverySingleBitFlipIsRefused) {
    static const uint8_t aux[32] = {0x17};
    static const uint64_t v = 0x0123456789abcdefULL;
    static const Scalar gamma = scalar_of(99);
    static const Point c = commit(Scalar::from_u64(v), gamma);
    static uint8_t proof[rp::kProofSize];
    static const bool made = rp::prove(v, gamma, c, aux, proof) == rp::ProveStatus::ok;
    ASSERT_TRUE(made);
    ASSERT_TRUE(verifies(proof, c));
    uint8_t flipped[rp::kProofSize];
    std::memcpy(flipped, proof, sizeof proof);
    for (size_t bit = 8 * GetParam().from; bit < 8 * GetParam().to; ++bit) {
        flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        EXPECT_FALSE(verifies(flipped, c)) << "bit " << bit;
        flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, RangeProofFlips,
                         ::testing::Values(FlipRange{"A_S_T1_T2", 0, 132}, FlipRange{"tau_mu_that", 132, 228},
                                           FlipRange{"L_0_2", 228, 327}, FlipRange{"L_3_5", 327, 426},
                                           FlipRange{"R_0_2", 426, 525}, FlipRange{"R_3_5", 525, 624},
                                           FlipRange{"a_b", 624, 688}),
                         [](const ::testing::TestParamInfo<FlipRange>& i) { return std::string(i.param.name); });

// --- The forgery. ---

Scalar inner(const std::vector<Scalar>& a, const std::vector<Scalar>& b, size_t from_a, size_t from_b,
             size_t n) {
    Scalar acc = Scalar::zero();
    for (size_t i = 0; i < n; ++i) acc = acc + a[from_a + i] * b[from_b + i];
    return acc;
}

Point sum(const std::vector<Scalar>& k, const std::vector<Point>& p) { return msm(k, p); }

void put(const Point& p, uint8_t* out33) {
    Point a = p;
    a.to_affine_assign();
    a.to_compressed(out33);
}

Scalar legacy_u(const uint8_t l33[33], const uint8_t r33[33]) {
    uint8_t buf[66], d[32];
    std::memcpy(buf, l33, 33);
    std::memcpy(buf + 33, r33, 33);
    tagged_hash(FixedTag::BulletproofIp, buf, sizeof buf, d);
    return Scalar::from_bytes_reduce(d);
}

// A proof for V = v H + gamma G with any "bit" vectors, h_extra H added to
// A and t_hat lowered by h_extra; legacy selects the old transcript (U = H,
// u_k over L_k || R_k). Variable time: test code.
void forge(const std::vector<Scalar>& al, const std::vector<Scalar>& ar, const Scalar& h_extra,
           const Point& v_point, const Scalar& gamma, bool legacy, uint8_t proof[rp::kProofSize]) {
    const rp::Generators& gens = rp::generators();
    const Point g = Point::generator(), h = pedersen::generator_h();
    std::vector<Point> gv(N), hv(N);
    for (size_t i = 0; i < N; ++i) gv[i] = Point::from_affine(gens.g[i]), hv[i] = Point::from_affine(gens.h[i]);
    const Scalar alpha = scalar_of(1), rho = scalar_of(2), tau1 = scalar_of(3), tau2 = scalar_of(4);
    std::vector<Scalar> sl(N), sr(N);
    for (size_t i = 0; i < N; ++i) sl[i] = scalar_of(100 + i), sr[i] = scalar_of(200 + i);

    Point a = mul(g, alpha);
    a.add_assign(sum(al, gv));
    a.add_assign(sum(ar, hv));
    a.add_assign(mul(h, h_extra));
    Point s = mul(g, rho);
    s.add_assign(sum(sl, gv));
    s.add_assign(sum(sr, hv));
    put(a, proof + rp::kOffA);
    put(s, proof + rp::kOffS);
    uint8_t v33[33];
    put(v_point, v33);
    Scalar y, z;
    rp::challenges_yz(proof + rp::kOffA, proof + rp::kOffS, v33, y, z);
    const Scalar z2 = z * z;
    std::vector<Scalar> l0(N), l1(N), r0(N), r1(N), ypow(N), yinv(N);
    Scalar yi = Scalar::one(), two = Scalar::one();
    for (size_t i = 0; i < N; ++i) {
        ypow[i] = yi;
        l0[i] = al[i] - z;
        l1[i] = sl[i];
        r0[i] = yi * (ar[i] + z) + z2 * two;
        r1[i] = yi * sr[i];
        yi = yi * y;
        two = two + two;
    }
    const Scalar t1 = inner(l0, r1, 0, 0, N) + inner(l1, r0, 0, 0, N);
    const Scalar t2 = inner(l1, r1, 0, 0, N);
    Point t1p = mul(h, t1), t2p = mul(h, t2);
    t1p.add_assign(mul(g, tau1));
    t2p.add_assign(mul(g, tau2));
    put(t1p, proof + rp::kOffT1);
    put(t2p, proof + rp::kOffT2);
    const Scalar x = rp::challenge_x(proof + rp::kOffT1, proof + rp::kOffT2, y, z);
    std::vector<Scalar> l(N), r(N);
    for (size_t i = 0; i < N; ++i) l[i] = l0[i] + l1[i] * x, r[i] = r0[i] + r1[i] * x;
    const Scalar t_hat = inner(l, r, 0, 0, N) - h_extra;
    const Scalar tau_x = tau2 * x * x + tau1 * x + z2 * gamma;
    const Scalar mu = alpha + rho * x;
    tau_x.to_bytes(proof + rp::kOffTaux);
    mu.to_bytes(proof + rp::kOffMu);
    t_hat.to_bytes(proof + rp::kOffThat);

    const Scalar w = legacy ? Scalar::one() : rp::challenge_w(x, tau_x, mu, t_hat);
    const Point u_point = mul(h, w);
    const Scalar y_inv = y.inverse_var();
    Scalar yk = Scalar::one();
    for (size_t i = 0; i < N; ++i) hv[i] = mul(hv[i], yk), yk = yk * y_inv;
    Scalar prev = w;
    for (size_t k = 0, m = N; k < rp::kRounds; ++k, m /= 2) {
        const size_t hf = m / 2;
        std::vector<Scalar> ks;
        std::vector<Point> ps;
        auto side = [&](size_t a_from, size_t g_from, size_t b_from, size_t h_from, const Scalar& c) {
            ks.clear();
            ps.clear();
            for (size_t i = 0; i < hf; ++i) ks.push_back(l[a_from + i]), ps.push_back(gv[g_from + i]);
            for (size_t i = 0; i < hf; ++i) ks.push_back(r[b_from + i]), ps.push_back(hv[h_from + i]);
            ks.push_back(c);
            ps.push_back(u_point);
            return sum(ks, ps);
        };
        uint8_t* l33 = proof + rp::kOffL + 33 * k;
        uint8_t* r33 = proof + rp::kOffR + 33 * k;
        put(side(0, hf, hf, 0, inner(l, r, 0, hf, hf)), l33);
        put(side(hf, 0, 0, hf, inner(l, r, hf, 0, hf)), r33);
        const Scalar u = legacy ? legacy_u(l33, r33) : rp::challenge_u(prev, l33, r33);
        prev = u;
        const Scalar ui = u.inverse_var();
        for (size_t i = 0; i < hf; ++i) {
            l[i] = l[i] * u + l[i + hf] * ui;
            r[i] = r[i] * ui + r[i + hf] * u;
            Point gn = mul(gv[i], ui);
            gn.add_assign(mul(gv[i + hf], u));
            Point hn = mul(hv[i], u);
            hn.add_assign(mul(hv[i + hf], ui));
            gv[i] = gn;
            hv[i] = hn;
        }
    }
    l[0].to_bytes(proof + rp::kOffA_);
    r[0].to_bytes(proof + rp::kOffB_);
}

// The old verifier: both checks with U = H and u_k over L_k || R_k.
bool legacy_verifies(const uint8_t proof[rp::kProofSize], const Point& v_point) {
    rp::ParsedProof pf;
    if (rp::parse(proof, pf) != rp::ParseStatus::ok) return false;
    uint8_t v33[33];
    put(v_point, v33);
    Scalar y, z;
    rp::challenges_yz(proof + rp::kOffA, proof + rp::kOffS, v33, y, z);
    const Scalar x = rp::challenge_x(proof + rp::kOffT1, proof + rp::kOffT2, y, z);
    const Scalar z2 = z * z;
    const Point g = Point::generator(), h = pedersen::generator_h();
    const std::vector<Scalar> k1 = {pf.t_hat - rp::delta(y, z), pf.tau_x, z2.negate(), x.negate(),
                                    (x * x).negate()};
    const std::vector<Point> p1 = {h, g, v_point, Point::from_affine(pf.t1), Point::from_affine(pf.t2)};
    if (!msm(k1, p1).infinity) return false;
    Scalar u[rp::kRounds];
    for (size_t k = 0; k < rp::kRounds; ++k) u[k] = legacy_u(proof + rp::kOffL + 33 * k, proof + rp::kOffR + 33 * k);
    std::vector<Scalar> ks = {Scalar::one(), x, pf.mu.negate(), pf.t_hat - pf.a_final * pf.b_final};
    std::vector<Point> ps = {Point::from_affine(pf.a), Point::from_affine(pf.s), g, h};
    for (size_t k = 0; k < rp::kRounds; ++k) {
        ks.push_back(u[k] * u[k]);
        ps.push_back(Point::from_affine(pf.l[k]));
        ks.push_back((u[k] * u[k]).inverse_var());
        ps.push_back(Point::from_affine(pf.r[k]));
    }
    const rp::Generators& gens = rp::generators();
    const Scalar y_inv = y.inverse_var();
    Scalar yk = Scalar::one(), two = Scalar::one();
    for (size_t i = 0; i < N; ++i) {
        Scalar s = Scalar::one();
        for (size_t k = 0; k < rp::kRounds; ++k) s = s * (((i >> (5 - k)) & 1) ? u[k] : u[k].inverse_var());
        ks.push_back(z.negate() - pf.a_final * s);
        ps.push_back(Point::from_affine(gens.g[i]));
        ks.push_back(z + (z2 * two - pf.b_final * s.inverse_var()) * yk);
        ps.push_back(Point::from_affine(gens.h[i]));
        yk = yk * y_inv;
        two = two + two;
    }
    return msm(ks, ps).infinity;
}

TEST(RangeProof, ForgedProofOfMinusOneIsRefused) {
    const Scalar gamma = scalar_of(31337);
    const Point v_minus_1 = commit(Scalar::one().negate(), gamma);
    std::vector<Scalar> al(N, Scalar::zero()), ar(N, Scalar::one().negate());
    al[0] = Scalar::one().negate();
    ar[0] = al[0] - Scalar::one();
    const Scalar two = Scalar::from_u64(2);

    uint8_t old_forgery[rp::kProofSize], new_forgery[rp::kProofSize];
    forge(al, ar, two, v_minus_1, gamma, true, old_forgery);
    EXPECT_TRUE(legacy_verifies(old_forgery, v_minus_1)) << "the old transcript accepts the forgery";
    EXPECT_FALSE(verifies(old_forgery, v_minus_1));
    forge(al, ar, two, v_minus_1, gamma, false, new_forgery);
    EXPECT_FALSE(verifies(new_forgery, v_minus_1));

    // The same construction with honest bits and no shift is an ordinary
    // proof under the transcript the library uses: the forger above is the
    // real protocol, not a strawman.
    const uint64_t v = 0xfeedULL;
    std::vector<Scalar> bl(N), br(N);
    for (size_t i = 0; i < N; ++i) bl[i] = Scalar::from_u64((v >> i) & 1), br[i] = bl[i] - Scalar::one();
    const Point c = commit(Scalar::from_u64(v), gamma);
    uint8_t honest[rp::kProofSize], honest_old[rp::kProofSize];
    forge(bl, br, Scalar::zero(), c, gamma, false, honest);
    EXPECT_TRUE(verifies(honest, c));
    forge(bl, br, Scalar::zero(), c, gamma, true, honest_old);
    EXPECT_TRUE(legacy_verifies(honest_old, c));
    EXPECT_FALSE(verifies(honest_old, c));
}

}  // namespace
}  // namespace qorvex::test
