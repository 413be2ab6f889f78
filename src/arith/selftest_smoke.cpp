// The tests every depth runs: known multiples of G, the group law on small
// multiples and on constant points, field and scalar identities, batch
// inversion, encodings, and scalars and field values at limb and order edges.
#include <cstdio>
#include <cstring>
#include <span>

#include "arith/gen_mul.h"
#include "arith/msm.h"
#include "arith/point_mul.h"
#include "arith/precompute.h"
#include "arith/selftest_tests.h"

namespace qorvex::selftest_detail {

// Five fixed scalars (SHA-256 of "qorvex selftest vector 1" .. "5", reduced
// modulo n), then small multiples and n - 1. Every expected point here and
// below was computed apart from this library, with plain big integers.
const KnownPoint kKnownAnswers[10] = {
    {"ad500bba9c518c72b65a37a00dace1a698abed15addbc80d2ba37ac1893448bd",
     "2b59ff5de61cc2160f88c7f7300988ee46283c7319248d7d0abb24de6fe5a0eb",
     "8112bb3cca078fa741f7c872306555432e84cc2beecdd2eaa92b9d9e23ef0f50", "Vector 1"},
    {"957811b2d77747deb0aab7177786b7c244b20bf560b6623e7b6aab4534718843",
     "124d67124c405f557947c8aff98ed55a8f5aa418dc816f91d25f76a7aeae13ee",
     "56ccea62b869e31813b0270803a1b4cbda525203c67f08b92af363b4954b5dac", "Vector 2"},
    {"e3f2a927029bc973dbe9f923e1594710f19451ecfe27ac4183fa66eb0c0ee8a1",
     "e750c6051d8b4eb99df810f81d3a2d2d88b125d2f0e3abca58ef0d3a9a3af21d",
     "1bf287d05bde5286eb175e64cb4d731f2408896771f6004b585f6f732f402edd", "Vector 3"},
    {"53c5d33428244098025102a31a6b9c29e99a62f0a360e1c6a5b4cfd0d9d492b7",
     "580842c11c6498453b5ddf502c334bfa788431fe0a425928f00ad19b6cdb8488",
     "17f757b15869ce5045c7968ea1615223a0e7c20dc88bcaedbfeaf31c60b1d363", "Vector 4"},
    {"2f7fa3c75dd35c95fa75a153a4056d6f8142de0a0e46f39c75ee7dd556c49052",
     "0f1704a3d99c60ec1acc964891e5a35b37b2570570eb708e38001640200af74a",
     "c27c77ac54e718f3e0c3141739135aeffbb1c498d8b392382badc6484f33e5e6", "Vector 5"},
    {"0000000000000000000000000000000000000000000000000000000000000001",
     "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
     "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8", "1*G (Generator)"},
    {"0000000000000000000000000000000000000000000000000000000000000002",
     "c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5",
     "1ae168fea63dc339a3c58419466ceaeef7f632653266d0e1236431a950cfe52a", "2*G"},
    {"0000000000000000000000000000000000000000000000000000000000000003",
     "f9308a019258c31049344f85f89d5229b531c845836f99b08601f113bce036f9",
     "388f7b0f632de8140fe337e62a37f3566500a99934c2231b6cb9fd7584b8e672", "3*G"},
    {"000000000000000000000000000000000000000000000000000000000000000a",
     "a0434d9e47f3c86235477c7b1ae6ae5d3442d49b1943c2b752a68e2a47e247c7",
     "893aba425419bc27a3b6c7e693a24c696f794c2ed877a1593cbee53b037368d7", "10*G"},
    {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140",
     "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
     "b7c52588d95c3b9aa25b0403f1eef75702e84bb7597aabe663b82f6f04ef2777", "(n-1)*G = -G"}
};

namespace {

// Scalars at limb and order edges, and at the edges of the 17- and 18-bit
// windows of the default tables (where the signed recoding carries).
const KnownPoint kBoundary[] = {
    {"0000000000000000000000000000000000000000000000000000000100000000",
     "100f44da696e71672791d0a09b7bde459f1215a29b3c03bfefd7835b39a48db0",
     "cdd9e13192a00b772ec8f3300c090666b7ff4a18ff5195ac0fbd5cd62bc65a09", "2^32"},
    {"00000000000000000000000000000000000000000000000000000000ffffffff",
     "ba7e7b78e1ff713857bcc6432dcee5f7c6ca7fc8f84af479811bcabec921305e",
     "9af35ca9e7eb93ee3a3dbe010e3c2ca3522a78c826e0d8bf2942dc057e7c48ac", "2^32-1"},
    {"000000000000000000000000000000000000000000000000ffffffffffffffff",
     "30de2c8bc2010aaebbb647c5bac00eb8028f78d795f2cd4532bc6c504c0e01e7",
     "c0d5c28aaf23d4094cbd1cfe466cc43bcd0de0f04f6eaf0ed010e43e8d02ead9", "2^64-1"},
    {"0000000000000000000000000000000000000000000000010000000000000000",
     "3322d401243c4e2582a2147c104d6ecbf774d163db0f5e5313b7e0e742d0e6bd",
     "56e70797e9664ef5bfb019bc4ddaf9b72805f63ea2873af624f3a2e96c28b2a0", "2^64"},
    {"00000000000000000000000000000000ffffffffffffffffffffffffffffffff",
     "6c034fd8cc8bd548e12569b630710400e6c24a05d9d6b32f08522a241e936da8",
     "47ec36379eabcb793bfa408f7898ea619798b51289138f979b8eb3fd33d25f15", "2^128-1"},
    {"0000000000000000000000000000000100000000000000000000000000000000",
     "8f68b9d2f63b5f339239c1ad981f162ee88c5678723ea3351b7b444c9ec4c0da",
     "662a9f2dba063986de1d90c2b6be215dbbea2cfe95510bfdf23cbf79501fff82", "2^128"},
    {"0000000000000000ffffffffffffffffffffffffffffffffffffffffffffffff",
     "05c6964339ddc88e6f4dd6b6948ed84b70ca650a1f4f2d30e82629b2e4e06777",
     "ca3a63bb8a54b6f739fdb313f7346e84d26968a8c50fbf8a29d8b1525a2cd75c", "2^192-1"},
    {"0000000000000001000000000000000000000000000000000000000000000000",
     "eaa649f21f51bdbae7be4ae34ce6e5217a58fdce7f47f9aa7f3b58fa2120e2b3",
     "be3279ed5bbbb03ac69a80f89879aa5a01a6b965f13f7e59d47a5305ba5ad93d", "2^192"},
    {"8000000000000000000000000000000000000000000000000000000000000000",
     "b23790a42be63e1b251ad6c94fdef07271ec0aada31db6c3e8bd32043f8be384",
     "fc6b694919d55edbe8d50f88aa81f94517f004f4149ecb58d10a473deb19880e", "2^255"},
    {"7fffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
     "370ebfed473178159fd08c3f7bc07e12301792fbd251554a80298efc666c651d",
     "ad08b75161c542e5503b777625c296b9ef85455756ba7d582bc3c00965dea4a2", "2^255-1"},
    {"0000000000000000000000000000000000000000000000000000000000020000",
     "4c1b9866ed9a7e9b553973c6c93b02bf0b62fb012edfb59dd2712a5caf92c541",
     "c1f792d320be8a0f7fbcb753ce56e69cc652ead7e43eb1ad72c4f3fdc68fe020", "2^17"},
    {"000000000000000000000000000000000000000000000000000000000003ffff",
     "fcda2fabd363ace8ec666d14906031294e67ad81197aa72f91e48ef052e9b5bf",
     "85f41abf428271ef2cf3296d27db9bc551b8ccf8fa35198b5877d32ef0227457", "2^18-1"},
    {"0000000000000000000000000000000000000000000000000000000000040000",
     "a4083877ba83b12b529a2f3c0780b54e3233edbc1a28f135e0c8f28cbeaaf3d1",
     "40e9f612feefbc79b8bf83d69361b3e22001e7576ed1ef90b12b534df0b254b9", "2^18"},
    {"1000000000000000000000000000000000000000000000000000000000020000",
     "2e805fca099594e3c2d39fd1dde606688b3d2907d3da73d2836841d3c43f44a8",
     "6c45d0c2cc61b0f617e0696060e1a139706f3853b99ffda54b6d01c2afaeefb1", "2^252+2^17"},
    {"7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a0",
     "00000000000000000000003b78ce563f89a0ed9414f5aa28ad0d96d6795f9c63",
     "3f3979bf72ae8202983dc989aec7f2ff2ed91bdd69ce02fc0700ca100e59ddf3", "(n-1)/2"},
    {"7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a1",
     "00000000000000000000003b78ce563f89a0ed9414f5aa28ad0d96d6795f9c63",
     "c0c686408d517dfd67c2367651380d00d126e4229631fd03f8ff35eef1a61e3c", "(n+1)/2"},
    {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd036413f",
     "c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5",
     "e51e970159c23cc65c3a7be6b99315110809cd9acd992f1edc9bce55af301705", "n-2"},
    {"ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff",
     "9166c289b9f905e55f9e3df9f69d7f356b4a22095f894f4715714aa4b56606af",
     "f181eb966be4acb5cff9e16b66d809be94e214f06c93fd091099af98499255e7", "2^256-1 (reduced)"}
};

const KnownPoint kExtended[] = {
    {"0000000000000000000000000000000000000000000000000000000000000004",
     "e493dbf1c10d80f3581e4904930b1404cc6c13900ee0758474fa94abe8c4cd13",
     "51ed993ea0d455b75642e2098ea51448d967ae33bfbdfe40cfe97bdc47739922", "4*G"},
    {"0000000000000000000000000000000000000000000000000000000000000005",
     "2f8bde4d1a07209355b4a7250a5c5128e88b84bddc619ab7cba8d569b240efe4",
     "d8ac222636e5e3d6d4dba9dda6c9c426f788271bab0d6840dca87d3aa6ac62d6", "5*G"},
    {"0000000000000000000000000000000000000000000000000000000000000006",
     "fff97bd5755eeea420453a14355235d382f6472f8568a18b2f057a1460297556",
     "ae12777aacfbb620f3be96017f45c560de80f0f6518fe4a03c870c36b075f297", "6*G"},
    {"0000000000000000000000000000000000000000000000000000000000000007",
     "5cbdf0646e5db4eaa398f365f2ea7a0e3d419b7e0330e39ce92bddedcac4f9bc",
     "6aebca40ba255960a3178d6d861a54dba813d0b813fde7b5a5082628087264da", "7*G"},
    {"0000000000000000000000000000000000000000000000000000000000000008",
     "2f01e5e15cca351daff3843fb70f3c2f0a1bdd05e5af888a67784ef3e10a2a01",
     "5c4da8a741539949293d082a132d13b4c2e213d6ba5b7617b5da2cb76cbde904", "8*G"},
    {"0000000000000000000000000000000000000000000000000000000000000009",
     "acd484e2f0c7f65309ad178a9f559abde09796974c57e714c35f110dfc27ccbe",
     "cc338921b0a7d9fd64380971763b61e9add888a4375f8e0f05cc262ac64f9c37", "9*G"},
    {"000000000000000000000000000000000000000000000000000000000000000f",
     "d7924d4f7d43ea965a465ae3095ff41131e5946f3c85f79e44adbcf8e27e080e",
     "581e2872a86c72a683842ec228cc6defea40af2bd896d3a5c504dc9ff6a26b58", "15*G"},
    {"00000000000000000000000000000000000000000000000000000000000000ff",
     "1b38903a43f7f114ed4500b4eac7083fdefece1cf29c63528d563446f972c180",
     "4036edc931a60ae889353f77fd53de4a2708b26b6f5da72ad3394119daf408f9", "255*G"}
};

// G, 2G, 3G, 5G, 10G and -G by their coordinates.
constexpr const char* kGx = "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
constexpr const char* kGy = "483ada7726a3c4655da4fbfc0e1108a8fd17b448a68554199c47d08ffb10d4b8";
constexpr const char* k2Gx = "c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5";
constexpr const char* k2Gy = "1ae168fea63dc339a3c58419466ceaeef7f632653266d0e1236431a950cfe52a";
constexpr const char* k3Gx = "f9308a019258c31049344f85f89d5229b531c845836f99b08601f113bce036f9";
constexpr const char* k3Gy = "388f7b0f632de8140fe337e62a37f3566500a99934c2231b6cb9fd7584b8e672";
constexpr const char* k5Gx = "2f8bde4d1a07209355b4a7250a5c5128e88b84bddc619ab7cba8d569b240efe4";
constexpr const char* k5Gy = "d8ac222636e5e3d6d4dba9dda6c9c426f788271bab0d6840dca87d3aa6ac62d6";
constexpr const char* k10Gx = "a0434d9e47f3c86235477c7b1ae6ae5d3442d49b1943c2b752a68e2a47e247c7";
constexpr const char* k10Gy = "893aba425419bc27a3b6c7e693a24c696f794c2ed877a1593cbee53b037368d7";
constexpr const char* kNegGy = "b7c52588d95c3b9aa25b0403f1eef75702e84bb7597aabe663b82f6f04ef2777";

Point kg(uint64_t k) { return precomputed_gen_mul(Scalar::from_u64(k)); }

bool check_field_arithmetic() {
    using F = FieldElement;
    const F zero = F::zero(), one = F::one(), five = F::from_u64(5), seven = F::from_u64(7);
    return (one + zero).equal(one) && (zero + zero).is_zero() && (one * one).equal(one) && (seven * zero).is_zero() &&
           (seven.negate() + seven).is_zero() && (seven - seven).is_zero() && ((seven + five) - five).equal(seven) &&
           (five * five).equal(F::from_u64(25)) && (five.sqr()).equal(F::from_u64(25)) &&
           (five * five.inverse_var()).equal(one) && (five * five.inverse_ct()).equal(one) &&
           seven.mul_small(5).equal(F::from_u64(35)) && F::from_u64(14).half().equal(seven);
}

bool check_scalar_arithmetic() {
    const Scalar zero = Scalar::zero(), one = Scalar::one(), five = Scalar::from_u64(5);
    return (zero + zero).is_zero() && (one + zero).equal(one) && ((one + one) - one).equal(one) &&
           one.add_ct(one).subtract_ct(one).equal(one) && (five * five.inverse_var()).equal(one) &&
           five.mul_fold(five.inverse_ct()).equal(one) && (five + five.negate()).is_zero();
}

bool check_point_identities() {
    const Point g = kg(1);
    const Point sum = g.add(Point::infinity_point());
    const Point sum2 = Point::infinity_point().add(g);
    const AffinePoint a = g.to_affine(), b = sum.to_affine(), c = sum2.to_affine();
    return !sum.infinity && a.x.equal(b.x) && a.y.equal(b.y) && !sum2.infinity && a.x.equal(c.x) &&
           a.y.equal(c.y) && g.add(g.negate()).infinity;
}

bool check_point_serialization() {
    for (uint64_t k : {1, 2, 3, 10}) {
        Point p = kg(k);
        p.to_affine_assign();
        uint8_t x[32], y[32], c[33], u[65];
        p.X.to_bytes(x);
        p.Y.to_bytes(y);
        p.to_compressed(c);
        p.to_uncompressed(u);
        if (c[0] != 2 + (p.Y.is_odd() ? 1 : 0) || std::memcmp(c + 1, x, 32) != 0) return false;
        if (u[0] != 4 || std::memcmp(u + 1, x, 32) != 0 || std::memcmp(u + 33, y, 32) != 0) return false;
        Point back;
        if (!Point::decompress(c).equals(p) || Point::parse_uncompressed(u, back) != ParseResult::ok ||
            !back.equals(p))
            return false;
    }
    return true;
}

bool check_batch_inverse() {
    FieldElement v[4] = {FieldElement::from_u64(3), FieldElement::from_u64(7), FieldElement::from_u64(11),
                         FieldElement::from_u64(19)};
    FieldElement w[4] = {v[0], v[1], v[2], v[3]};
    FieldElement::batch_inverse(w, 4);
    for (int i = 0; i < 4; ++i) {
        if (!w[i].equal(v[i].inverse_var())) return false;
    }
    return true;
}

bool check_boundary_scalars(const Runner& r) {
    bool ok = true;
    for (const KnownPoint& v : kBoundary) {
        // The tables and the constant-time comb (the route of every
        // signature) at the same edges.
        const Scalar k = Scalar::from_hex(v.k);
        if (!has_coordinates(precomputed_gen_mul(k), v.x, v.y) || !has_coordinates(gen_mul_ct(k), v.x, v.y)) {
            r.say("FAIL: %s\n", v.label);
            ok = false;
        }
    }
    return ok;
}

bool check_field_limb_boundaries(const Runner& r) {
    using F = FieldElement;
    constexpr uint64_t M = ~uint64_t{0};
    struct Value {
        const char* label;
        F a;
    } values[] = {
        {"p-1", F::from_limbs(F::kP[0] - 1, M, M, M)},
        {"p-2", F::from_limbs(F::kP[0] - 2, M, M, M)},
        {"2^64-1", F::from_limbs(M, 0, 0, 0)},
        {"2^128-1", F::from_limbs(M, M, 0, 0)},
        {"2^192-1", F::from_limbs(M, M, M, 0)},
        {"2^256-2^192", F::from_limbs(0, 0, 0, M)},
        {"2^128-2^64", F::from_limbs(0, M, 0, 0)},
        {"2^255", F::from_limbs(0, 0, 0, uint64_t{1} << 63)},
        {"p-2^64", F::from_limbs(F::kP[0], M - 1, M, M)},
        {"p-2^32", F::from_limbs(0xFFFFFFFEFFFFFC2FULL - 0x100000000ULL, M, M, M)},
        {"2^32+977", F::from_limbs(0x1000003D1ULL, 0, 0, 0)},
    };
    const F c1 = F::from_limbs(F::kP[0] - 1, M, M, M), c2 = F::from_limbs(M, 0, M, 0);
    bool ok = true;
    auto law = [&](bool holds, const char* label, const char* what) {
        if (!holds) {
            r.say("FAIL: %s -- %s\n", label, what);
            ok = false;
        }
    };
    for (const Value& v : values) {
        const F& a = v.a;
        law((a * a.inverse_var()).equal(F::one()), v.label, "a*a^-1 = 1");
        law((a * a.inverse_ct()).equal(F::one()), v.label, "a*a^-1 = 1 (constant time)");
        law(((a + c1) - c1).equal(a) && ((a + c2) - c2).equal(a), v.label, "(a+c)-c = a");
        law((a * F::one()).equal(a), v.label, "a*1 = a");
        law(a.sqr().equal(a * a), v.label, "a^2 = a*a");
        law((a + a.negate()).is_zero(), v.label, "a+(-a) = 0");
    }
    return ok;
}

bool check_extended(const Runner& r) {
    bool ok = true;
    for (const KnownPoint& v : kExtended) {
        if (!has_coordinates(precomputed_gen_mul(Scalar::from_hex(v.k)), v.x, v.y)) {
            r.say("FAIL: %s\n", v.label);
            ok = false;
        }
    }
    return ok;
}

// The group law on multiples of G: commutativity, associativity, mixed and
// general additions alike, distributivity (also through dual_mul, Shamir's
// trick and the multi-scalar engines), and the cases with infinity.
bool check_point_advanced() {
    const Point p = kg(1000003), q = kg(7777777), s = kg(31337);
    if (!p.add(q).equals(q.add(p))) return false;
    if (!p.add(q).add(s).equals(p.add(q.add(s)))) return false;
    Point mixed = p.add(s);  // Jacobian
    Point qa = q;
    qa.to_affine_assign();
    Point general = mixed.add(qa);
    mixed.add_affine_assign(qa.X, qa.Y);
    Point var = p.add(s);
    var.add_affine_var(qa.X, qa.Y);
    if (!mixed.equals(general) || !var.equals(general)) return false;
    if (!p.add(p).equals(p.dbl()) || !p.dbl().equals(mul(p, Scalar::from_u64(2)))) return false;
    if (!p.add(p.negate()).infinity || !Point::infinity_point().add(Point::infinity_point()).infinity ||
        !Point::infinity_point().dbl().infinity)
        return false;
    if (!mul(p, Scalar::zero()).infinity || !mul(p, Scalar::one().negate()).equals(p.negate())) return false;
    const Scalar a = Scalar::from_hex("6c1a29ffc0b32c5e8a4e33d4b9f0d1e2a7c3b5d4e6f708192a3b4c5d6e7f8091");
    const Scalar b = Scalar::from_hex("0f1e2d3c4b5a69788796a5b4c3d2e1f00112233445566778899aabbccddeeff0");
    const Point pa = mul(p, a), pb = mul(p, b);
    if (!pa.add(pb).equals(mul(p, a + b))) return false;
    const Point qb = mul(q, b);
    if (!dual_mul(a, b, q).equals(precomputed_gen_mul(a).add(qb))) return false;
    if (!shamir(a, p, b, q).equals(pa.add(qb))) return false;
    // Two terms (the interleaved engine) and nine (the bucket engine).
    Scalar ks[9];
    Point ps[9];
    Point sum = Point::infinity_point();
    for (int i = 0; i < 9; ++i) {
        ks[i] = a * Scalar::from_u64(static_cast<uint64_t>(i) + 2) + b;
        ps[i] = kg(static_cast<uint64_t>(i) * 1009 + 17);
        ps[i].to_affine_assign();
        if (i < 2) sum = sum.add(mul(ps[i], ks[i]));
    }
    if (!msm(std::span<const Scalar>(ks, 2), std::span<const Point>(ps, 2)).equals(sum)) return false;
    for (int i = 2; i < 9; ++i) sum = sum.add(mul(ps[i], ks[i]));
    return msm(std::span<const Scalar>(ks, 9), std::span<const Point>(ps, 9)).equals(sum);
}

}  // namespace

void smoke_tests(Runner& r, uint64_t) {
    for (int i = 0; i < 10; ++i) {
        const KnownPoint& v = kKnownAnswers[i];
        char name[32], heading[64];
        std::snprintf(name, sizeof name, "scalar_mul_vector_%d", i + 1);
        std::snprintf(heading, sizeof heading, "  Testing: %s\n", v.label);
        r.test(name, heading,
               [&] { return matches_coordinates(r, precomputed_gen_mul(Scalar::from_hex(v.k)), v.x, v.y); });
    }
    r.test("point_addition", "  Testing: 2*G + 3*G = 5*G\n", [] { return kg(2).add(kg(3)).equals(kg(5)); });
    r.test("point_subtraction", "  Testing: 5*G - 2*G = 3*G\n",
           [] { return kg(5).add(kg(2).negate()).equals(kg(3)); });
    r.test("field_arithmetic", "\nField Arithmetic:\n", check_field_arithmetic);
    r.test("scalar_arithmetic", "\nScalar Arithmetic:\n", check_scalar_arithmetic);
    r.test("point_identities", "\nPoint Identities: G + O = G, G + (-G) = O\n", check_point_identities);
    r.test("point_serialization", "\nPoint Serialization: 1G, 2G, 3G, 10G\n", check_point_serialization);
    r.test("batch_inverse", "\nBatch Inverse: 3, 7, 11, 19\n", check_batch_inverse);
    r.test("addition_constants", "\nPoint Addition (constants): G + 2G = 3G\n",
           [] { return has_coordinates(point_from_hex(kGx, kGy).add(point_from_hex(k2Gx, k2Gy)), k3Gx, k3Gy); });
    r.test("subtraction_constants", "\nPoint Subtraction (constants): 3G - 2G = G\n", [] {
        return has_coordinates(point_from_hex(k3Gx, k3Gy).add(point_from_hex(k2Gx, k2Gy).negate()), kGx, kGy);
    });
    r.test("doubling_constants", "\nPoint Doubling (constants): 2*(5G) = 10G\n",
           [] { return has_coordinates(point_from_hex(k5Gx, k5Gy).dbl(), k10Gx, k10Gy); });
    r.test("negation_constants", "\nPoint Negation (constants): -G = (n-1)*G\n", [] {
        return has_coordinates(point_from_hex(kGx, kGy).negate(), kGx, kNegGy) &&
               has_coordinates(precomputed_gen_mul(Scalar::one().negate()), kGx, kNegGy);
    });
    r.test("boundary_scalar_vectors", "\nBoundary Scalar Vectors:\n", [&] { return check_boundary_scalars(r); });
    r.test("field_limb_boundaries", "\nField Limb Boundaries:\n", [&] { return check_field_limb_boundaries(r); });
    r.test("extended_kg_vectors", "\nExtended k*G Vectors: 4G to 9G, 15G, 255G\n", [&] { return check_extended(r); });
    r.test("point_advanced", "\nPoint Group Law: commutativity, associativity, distributivity, edge cases\n",
           check_point_advanced);
}

}  // namespace qorvex::selftest_detail
