#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "arith/ct_lookup.h"
#include "arith/point.h"
#include "arith/point_table.h"
#include "arith_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using F = FieldElement;

Point jacobian_multiple(Rng& rng) { return binary_mul(Point::generator(), rng.scalar()); }

// k*G from the published multiples, through repeated doubling and addition,
// and their encodings round-tripping through the parsers.
TEST(PointMultiples, MatchIndependentImplementation) {
    const Json v = load_json_vectors("curve/multiples.json");
    size_t checked = 0;
    for (const Json& c : v["cases"].array()) {
        SCOPED_TRACE(c["label"].str());
        const Point p = binary_mul(Point::generator(), sc_hex(c["k"].str()));
        if (c["x"].is_null()) {
            EXPECT_TRUE(p.infinity);
            continue;
        }
        ASSERT_FALSE(p.infinity);
        EXPECT_EQ(lower(c["x"].str()) + "," + lower(c["y"].str()), affine_hex(p));

        uint8_t comp[33], unc[65];
        p.to_compressed(comp);
        p.to_uncompressed(unc);
        EXPECT_EQ(lower(c["x"].str()), to_hex(comp + 1, 32));
        EXPECT_TRUE(Point::decompress(comp).equals(p));
        Point parsed;
        ASSERT_EQ(ParseResult::ok, Point::parse_uncompressed(unc, parsed));
        EXPECT_TRUE(parsed.equals(p));
        uint8_t x32[32];
        bool odd = false;
        p.to_xonly(x32, &odd);
        EXPECT_EQ(0, std::memcmp(x32, comp + 1, 32));
        EXPECT_EQ(comp[0] == 0x03, odd);
        EXPECT_EQ(!odd, p.has_even_y());
        ++checked;
    }
    EXPECT_GT(checked, 400u);
}

TEST(PointGroupLaw, ExceptionalCasesOnBothPaths) {
    Rng rng(1);
    const Point g = Point::generator();
    const Point j = jacobian_multiple(rng);  // Z != 1
    ASSERT_FALSE(j.z_is_one);
    Point ja = j;
    ja.to_affine_assign();
    ASSERT_TRUE(ja.z_is_one);

    for (const Point* p : std::initializer_list<const Point*>{&g, &j, &ja}) {
        EXPECT_TRUE(p->add(p->negate()).infinity);
        EXPECT_TRUE(p->negate().add(*p).infinity);
        EXPECT_TRUE(p->add(*p).equals(p->dbl()));
        EXPECT_TRUE(p->add(Point::infinity_point()).equals(*p));
        EXPECT_TRUE(Point::infinity_point().add(*p).equals(*p));
        Point m = *p;
        m.add_affine_assign(ja.X, ja.Y);
        EXPECT_TRUE(m.equals(p->add(ja)));
    }
    // Jacobian operands on both sides.
    EXPECT_TRUE(j.add(j).equals(j.dbl()));
    EXPECT_TRUE(j.add(j.negate()).infinity);
    EXPECT_TRUE(Point::infinity_point().dbl().infinity);
    EXPECT_TRUE(Point::infinity_point().negate().infinity);
    // Associativity and commutativity on random points.
    for (int i = 0; i < 20; ++i) {
        const Point a = jacobian_multiple(rng), b = jacobian_multiple(rng), c = jacobian_multiple(rng);
        EXPECT_TRUE(a.add(b).equals(b.add(a)));
        EXPECT_TRUE(a.add(b).add(c).equals(a.add(b.add(c))));
        EXPECT_TRUE(a.add(b).dbl().equals(a.dbl().add(b.dbl())));
    }
}

// Doubling, mixed and general addition keep their defining formulas'
// Jacobian coordinates exactly (not only the same affine point), computed
// here step by step as the formulas state them.
TEST(PointGroupLaw, FormulasGiveTheDefinedCoordinates) {
    Rng rng(3);
    auto same = [](const Point& a, const F& x, const F& y, const F& z) {
        return std::memcmp(a.X.limb, x.limb, 32) == 0 && std::memcmp(a.Y.limb, y.limb, 32) == 0 &&
               std::memcmp(a.Z.limb, z.limb, 32) == 0;
    };
    for (int i = 0; i < 30; ++i) {
        const Point p = jacobian_multiple(rng), q = jacobian_multiple(rng);
        ASSERT_FALSE(p.z_is_one || q.z_is_one);
        {  // dbl-2009-l
            const F a = p.X.sqr(), b = p.Y.sqr(), c = b.sqr();
            const F d = ((p.X + b).sqr() - a - c).dbl();
            const F e = a.dbl() + a, f = e.sqr();
            const F x3 = f - d.dbl();
            const F y3 = e * (d - x3) - c.dbl().dbl().dbl();
            const F z3 = (p.Y * p.Z).dbl();
            ASSERT_TRUE(same(p.dbl(), x3, y3, z3));
        }
        {  // add-2007-bl
            const F z1z1 = p.Z.sqr(), z2z2 = q.Z.sqr();
            const F u1 = p.X * z2z2, u2 = q.X * z1z1;
            const F s1 = p.Y * q.Z * z2z2, s2 = q.Y * p.Z * z1z1;
            const F h = u2 - u1, ii = h.dbl().sqr(), j = h * ii, r = (s2 - s1).dbl(), v = u1 * ii;
            const F x3 = r.sqr() - j - v.dbl();
            const F y3 = r * (v - x3) - (s1 * j).dbl();
            const F z3 = ((p.Z + q.Z).sqr() - z1z1 - z2z2) * h;
            ASSERT_TRUE(same(p.add(q), x3, y3, z3));
        }
        {  // madd-2007-bl
            const AffinePoint b = q.to_affine();
            const F z1z1 = p.Z.sqr(), u2 = b.x * z1z1, s2 = b.y * p.Z * z1z1;
            const F h = u2 - p.X, hh = h.sqr(), ii = hh.dbl().dbl(), j = h * ii, r = (s2 - p.Y).dbl();
            const F v = p.X * ii;
            const F x3 = r.sqr() - j - v.dbl();
            const F y3 = r * (v - x3) - (p.Y * j).dbl();
            const F z3 = (p.Z + h).sqr() - z1z1 - hh;
            Point t = p;
            t.add_affine_assign(b.x, b.y);
            ASSERT_TRUE(same(t, x3, y3, z3));
        }
        {  // the halving doubling: S = Y^2, L = (3/2) X^2, T = -S X
            const F sq = p.Y.sqr(), l = (p.X.sqr().dbl() + p.X.sqr()).half(), t = (sq * p.X).negate();
            const F x3 = l.sqr() + t.dbl();
            const F y3 = (l * (x3 + t) + sq.sqr()).negate();
            Point d = p;
            d.dbl_halving_ct();
            ASSERT_TRUE(same(d, x3, y3, p.Y * p.Z));
        }
    }
}

TEST(PointGroupLaw, FlagsFollowTheOperations) {
    const Point g = Point::generator();
    EXPECT_TRUE(g.is_generator && g.z_is_one && !g.infinity);
    EXPECT_FALSE(g.dbl().is_generator);
    EXPECT_FALSE(g.negate().is_generator);
    EXPECT_FALSE(g.add(Point::infinity_point()).is_generator);
    EXPECT_FALSE(g.dbl().z_is_one);
    const Point inf = Point::from_jacobian(F::one(), F::one(), F::zero(), false);
    EXPECT_TRUE(inf.infinity);
    EXPECT_TRUE(Point::from_jacobian(g.X, g.Y, g.Z, true).infinity);
}

TEST(PointEncoding, InfinityEncodesAsZeros) {
    const Point inf = Point::infinity_point();
    uint8_t c[33], u[65], x[32];
    std::memset(c, 0xAA, sizeof c);
    std::memset(u, 0xAA, sizeof u);
    std::memset(x, 0xAA, sizeof x);
    bool odd = true;
    inf.to_compressed(c);
    inf.to_uncompressed(u);
    inf.to_xonly(x, &odd);
    for (uint8_t b : c) EXPECT_EQ(0, b);
    for (uint8_t b : u) EXPECT_EQ(0, b);
    for (uint8_t b : x) EXPECT_EQ(0, b);
    EXPECT_FALSE(odd);
    EXPECT_FALSE(inf.has_even_y());
    uint8_t g33[33];
    Point::generator().to_compressed(g33);
    EXPECT_EQ(0x02, g33[0]);
}

std::vector<uint8_t> compressed(uint8_t prefix, const BigUint& x) {
    std::vector<uint8_t> b(33);
    b[0] = prefix;
    F f;
    x.to_limbs(f.limb);
    f.to_bytes(b.data() + 1);
    return b;
}

TEST(PointEncoding, Decompress) {
    uint8_t g33[33];
    const Point g = Point::generator();
    g.to_compressed(g33);
    const BigUint gx = big(g.X);
    struct Case {
        const char* what;
        std::vector<uint8_t> in;
        bool ok;
    };
    const Case cases[] = {
        {"G", std::vector<uint8_t>(g33, g33 + 33), true},
        {"prefix 04", compressed(0x04, gx), false},
        {"prefix 00", compressed(0x00, gx), false},
        {"x = p", compressed(0x02, P()), false},
        {"x = 2^256 - 1", compressed(0x02, BigUint::from_hex(std::string(64, 'f'))), false},
        {"x = 5 (not on the curve)", compressed(0x02, BigUint(5)), false},
        {"x = 1 (even)", compressed(0x02, BigUint(1)), true},
        {"x = 1 (odd)", compressed(0x03, BigUint(1)), true},
        {"all zero", std::vector<uint8_t>(33, 0), false},
    };
    // The batch form, with the case in the first lane of the first group of
    // four and in the second lane of the second, among valid points of both
    // parities.
    Rng rng(181);
    std::vector<std::array<uint8_t, 33>> valid(6);
    for (auto& v : valid) jacobian_multiple(rng).to_compressed(v.data());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Point p = Point::decompress(c.in.data());
        EXPECT_EQ(c.ok, !p.infinity);
        if (c.ok) {
            EXPECT_EQ(c.in[0] == 0x03, p.Y.is_odd());
            EXPECT_TRUE(p.z_is_one);
        }
        for (const size_t at : {size_t{0}, size_t{5}}) {
            const uint8_t* in[6];
            for (size_t i = 0; i < 6; ++i) in[i] = i == at ? c.in.data() : valid[i].data();
            AffinePoint out[6];
            ASSERT_EQ(c.ok, Point::decompress_batch(in, 6, out));
            if (!c.ok) continue;
            for (size_t i = 0; i < 6; ++i) {
                const Point one = Point::decompress(in[i]);
                EXPECT_TRUE(one.X.equal(out[i].x) && one.Y.equal(out[i].y)) << i;
            }
        }
    }
    EXPECT_TRUE(Point::decompress(compressed(0x02, BigUint(1)).data())
                    .equals(Point::decompress(compressed(0x03, BigUint(1)).data()).negate()));
}

TEST(PointEncoding, ParseUncompressed) {
    uint8_t good[65];
    Point::generator().to_uncompressed(good);
    auto with = [&](auto edit) {
        std::vector<uint8_t> b(good, good + 65);
        edit(b.data());
        return b;
    };
    auto set_coord = [](uint8_t* at, const BigUint& v) {
        F f;
        v.to_limbs(f.limb);
        f.to_bytes(at);
    };
    const BigUint gy = big(Point::generator().Y);
    struct Case {
        const char* what;
        std::vector<uint8_t> in;
        ParseResult want;
    };
    const Case cases[] = {
        {"G", with([](uint8_t*) {}), ParseResult::ok},
        {"G with p - y", with([&](uint8_t* b) { set_coord(b + 33, P() - gy); }), ParseResult::ok},
        {"y + 1", with([&](uint8_t* b) { set_coord(b + 33, gy + BigUint(1)); }), ParseResult::not_on_curve},
        {"x = p", with([&](uint8_t* b) { set_coord(b + 1, P()); }), ParseResult::coordinate_ge_p},
        {"y = p", with([&](uint8_t* b) { set_coord(b + 33, P()); }), ParseResult::coordinate_ge_p},
        {"prefix 06", with([](uint8_t* b) { b[0] = 0x06; }), ParseResult::bad_encoding},
        {"prefix 07", with([](uint8_t* b) { b[0] = 0x07; }), ParseResult::bad_encoding},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Point out = Point::infinity_point();
        EXPECT_EQ(c.want, Point::parse_uncompressed(c.in.data(), out));
        EXPECT_EQ(c.want != ParseResult::ok, out.infinity);
    }
}

TEST(PointEndomorphism, IsMultiplicationByLambda) {
    const Point g = Point::generator();
    EXPECT_TRUE(g.endomorphism().equals(binary_mul(g, Scalar::lambda())));
    Rng rng(9);
    const Point j = jacobian_multiple(rng);
    EXPECT_TRUE(j.endomorphism().equals(binary_mul(j, Scalar::lambda())));
    EXPECT_TRUE(Point::infinity_point().endomorphism().infinity);
}

// The branch-free formulas against the ordinary group law.
TEST(PointConstantTimeFormulas, AgreeWithTheGroupLaw) {
    Rng rng(10);
    constexpr uint64_t kAll = ~uint64_t{0};
    for (int i = 0; i < 30; ++i) {
        const Point a = jacobian_multiple(rng);
        const AffinePoint b = jacobian_multiple(rng).to_affine();
        const Point bp = Point::from_affine(b);

        Point t = a;
        t.add_affine_unchecked_ct(b.x, b.y);
        EXPECT_TRUE(t.equals(a.add(bp)));

        t = a;
        t.dbl_halving_ct();
        EXPECT_TRUE(t.equals(a.dbl()));

        t = a;
        t.add_affine_complete_ct(b.x, b.y, 0, 0);
        EXPECT_TRUE(t.equals(a.add(bp)));
    }
    // The complete formula's special cases.
    const Point a = jacobian_multiple(rng);
    const AffinePoint aa = a.to_affine();
    const AffinePoint na = a.negate().to_affine();
    Point t = a;
    t.add_affine_complete_ct(aa.x, aa.y, 0, 0);
    EXPECT_TRUE(t.equals(a.dbl()));
    t = a;
    t.add_affine_complete_ct(na.x, na.y, 0, 0);
    EXPECT_TRUE(t.infinity);
    t = Point::infinity_point();
    t.add_affine_complete_ct(aa.x, aa.y, kAll, 0);
    EXPECT_TRUE(t.equals(a));
    t = a;
    t.add_affine_complete_ct(F::zero(), F::zero(), 0, kAll);
    EXPECT_TRUE(t.equals(a));
    t = Point::infinity_point();
    t.add_affine_complete_ct(F::zero(), F::zero(), kAll, kAll);
    EXPECT_TRUE(t.infinity);
}

// The complete formula switches slopes when y1 = -y2 and x2 = beta x1 or
// beta^2 x1 (the operand is minus an endomorphism image of the other); every
// pairing of a point with its images, their negations and itself, with Z = 1
// and Z != 1 on the Jacobian side, must give the group law's answer.
TEST(PointConstantTimeFormulas, CompleteAdditionOnEveryRelatedPair) {
    Rng rng(13);
    for (int i = 0; i < 8; ++i) {
        const Point j = jacobian_multiple(rng);
        Point ja = j;
        ja.to_affine_assign();
        const Point l1 = j.endomorphism(), l2 = l1.endomorphism();
        const Point others[] = {j, j.negate(), l1, l1.negate(), l2, l2.negate(), j.dbl(), Point::generator()};
        for (const Point* self : std::initializer_list<const Point*>{&j, &ja}) {
            for (const Point& o : others) {
                const AffinePoint oa = o.to_affine();
                Point t = *self;
                t.add_affine_complete_ct(oa.x, oa.y, 0, 0);
                const Point want = self->add(o);
                ASSERT_EQ(want.infinity, t.infinity);
                ASSERT_TRUE(t.equals(want)) << affine_hex(want) << " " << affine_hex(t);
                if (t.infinity) {
                    EXPECT_TRUE(t.X.is_zero() && t.Y.equal(F::one()) && t.Z.is_zero());
                }
            }
        }
        // An infinite operand on either side, with arbitrary coordinates on
        // the other.
        const AffinePoint a = j.to_affine();
        Point t = Point::infinity_point();
        t.add_affine_complete_ct(a.x, a.y, ~uint64_t{0}, 0);
        EXPECT_TRUE(t.equals(j));
        t = j;
        t.add_affine_complete_ct(rng.field(), rng.field(), 0, ~uint64_t{0});
        EXPECT_TRUE(t.equals(j));
        t = j;
        t.add_affine_complete_ct(rng.field(), rng.field(), ~uint64_t{0}, ~uint64_t{0});
        EXPECT_TRUE(t.infinity);
    }
}

// The variable-time mixed addition of the multiplication loops, exceptional
// operands included.
TEST(PointVariableTimeFormulas, MixedAdditionAgreesWithTheGroupLaw) {
    Rng rng(14);
    for (int i = 0; i < 20; ++i) {
        const Point a = jacobian_multiple(rng);
        const AffinePoint b = jacobian_multiple(rng).to_affine();
        Point t = a;
        t.add_affine_var(b.x, b.y);
        EXPECT_TRUE(t.equals(a.add(Point::from_affine(b))));
        EXPECT_FALSE(t.z_is_one);
        EXPECT_FALSE(t.is_generator);
    }
    const Point a = jacobian_multiple(rng);
    const AffinePoint aa = a.to_affine();
    const AffinePoint na = a.negate().to_affine();
    const AffinePoint la = a.endomorphism().negate().to_affine();
    Point t = a;
    t.add_affine_var(aa.x, aa.y);
    EXPECT_TRUE(t.equals(a.dbl()));
    t = a;
    t.add_affine_var(na.x, na.y);
    EXPECT_TRUE(t.infinity);
    t = a;
    t.add_affine_var(la.x, la.y);
    EXPECT_TRUE(t.equals(a.add(a.endomorphism().negate())));
    t = Point::infinity_point();
    t.add_affine_var(aa.x, aa.y);
    EXPECT_TRUE(t.equals(a) && t.z_is_one && !t.infinity);
    // From the generator itself: the flag does not survive.
    t = Point::generator();
    t.add_affine_var(aa.x, aa.y);
    EXPECT_FALSE(t.is_generator);
    EXPECT_TRUE(t.equals(Point::generator().add(a)));
}

// Constant-time table reads return exactly the entry asked for, and
// nothing (zeros) for an index past the end.
TEST(PointTables, ConstantTimeLookupReturnsTheEntry) {
    Rng rng(15);
    AffinePoint table[32];
    for (auto& e : table) e = AffinePoint{rng.field(), rng.field()};
    // The form chosen for this processor, and each vector form directly.
    std::vector<AffinePoint (*)(const AffinePoint*, size_t, uint64_t)> forms = {&ct::lookup_affine};
#if defined(__GNUC__) || defined(__clang__)
    forms.push_back(&ct::lookup_detail::lookup_affine_16);
#if QORVEX_LOOKUP_AVX2
    if (ct::lookup_detail::have_avx2()) forms.push_back(&ct::lookup_detail::lookup_affine_32);
#endif
#endif
    for (auto form : forms) {
        for (size_t count : {size_t{1}, size_t{16}, size_t{32}}) {
            for (uint64_t idx = 0; idx < count; ++idx) {
                const AffinePoint e = form(table, count, idx);
                ASSERT_EQ(0, std::memcmp(&e, &table[idx], sizeof e)) << count << " " << idx;
            }
            const AffinePoint none = form(table, count, count);
            EXPECT_TRUE(none.x.is_zero() && none.y.is_zero());
        }
    }
}

// Odd multiples over one shared denominator: entry i times the
// denominator's inverse is (2i + 1) P, for affine and Jacobian P.
TEST(PointTables, OddMultiplesOverOneDenominator) {
    Rng rng(16);
    const Point g = Point::generator();
    std::vector<Point> ps = {g, g.dbl(), jacobian_multiple(rng), jacobian_multiple(rng).negate(),
                             jacobian_multiple(rng).endomorphism()};
    Point affine = jacobian_multiple(rng);
    affine.to_affine_assign();
    ps.push_back(affine);
    for (const Point& p : ps) {
        for (size_t count : {size_t{1}, size_t{2}, size_t{8}, size_t{16}, kMaxOddMultiples}) {
            std::vector<F> x(count), y(count);
            const F zg = odd_multiples_shared_z(p, count, x.data(), y.data());
            Point want = p;
            const Point twice = p.dbl();
            for (size_t i = 0; i < count; ++i) {
                ASSERT_TRUE(Point::from_jacobian(x[i], y[i], zg, false).equals(want)) << count << " " << i;
                want = want.add(twice);
            }
        }
    }
}

TEST(PointAffine, ConstantTimeConversionMatches) {
    Rng rng(12);
    for (int i = 0; i < 10; ++i) {
        const Point j = jacobian_multiple(rng);
        Point a = j, b = j;
        a.to_affine_assign();
        b.to_affine_ct_assign();
        EXPECT_TRUE(a.X.equal(b.X) && a.Y.equal(b.Y));
        EXPECT_TRUE(j.affine_x().equal(a.X));
        EXPECT_TRUE(j.affine_y().equal(a.Y));
    }
}

}  // namespace
}  // namespace qorvex::test
