#include "arith/point.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "arith/point_adx.h"
#include "arith/point_table.h"

namespace qorvex {

namespace {

constexpr FieldElement kGx = {{0x59F2815B16F81798ULL, 0x029BFCDB2DCE28D9ULL, 0x55A06295CE870B07ULL, 0x79BE667EF9DCBBACULL}};
constexpr FieldElement kGy = {{0x9C47D08FFB10D4B8ULL, 0xFD17B448A6855419ULL, 0x5DA4FBFC0E1108A8ULL, 0x483ADA7726A3C465ULL}};
constexpr FieldElement kB = FieldElement::from_u64(7);

bool fe_eq(const FieldElement& a, const FieldElement& b) { return a.equal_mask(b) != 0; }

// The hand-written formulas read and write X, Y and Z as twelve consecutive
// limbs.
static_assert(offsetof(Point, X) == 0 && offsetof(Point, Y) == 32 && offsetof(Point, Z) == 64);

}  // namespace

Point Point::generator() { return Point{kGx, kGy, FieldElement::one(), false, true, true}; }

Point Point::from_jacobian(const FieldElement& X, const FieldElement& Y, const FieldElement& Z, bool inf) {
    if (inf || Z.is_zero()) return infinity_point();
    return Point{X, Y, Z, false, false, false};
}

Point Point::add(const Point& q) const {
    Point r = *this;
    r.add_assign(q);
    return r;
}

void Point::add_assign(const Point& q) {
    if (q.infinity) {
        is_generator = false;
        return;
    }
    if (infinity) {
        *this = q;
        is_generator = false;
        return;
    }
    // An affine operand takes the cheaper mixed formulas; the result is the
    // same point.
    if (q.z_is_one) {
        add_affine_assign(q.X, q.Y);
        return;
    }
    if (z_is_one) {
        const FieldElement x = X, y = Y;
        *this = q;
        add_affine_assign(x, y);
        return;
    }
    // add-2007-bl.
    const FieldElement z1z1 = Z.sqr();
    const FieldElement z2z2 = q.Z.sqr();
    const FieldElement u1 = X * z2z2;
    const FieldElement u2 = q.X * z1z1;
    const FieldElement s1 = Y * q.Z * z2z2;
    const FieldElement s2 = q.Y * Z * z1z1;
    is_generator = false;
    z_is_one = false;
    if (fe_eq(u1, u2)) {
        if (fe_eq(s1, s2))
            dbl_assign();
        else
            *this = infinity_point();
        return;
    }
    const FieldElement h = u2 - u1;
    const FieldElement i = h.dbl().sqr();
    const FieldElement j = h * i;
    const FieldElement r = (s2 - s1).dbl();
    const FieldElement v = u1 * i;
    const FieldElement x3 = r.sqr() - j - v.dbl();
    const FieldElement y3 = r * (v - x3) - (s1 * j).dbl();
    // (Z1 + Z2)^2 - Z1Z1 - Z2Z2 = 2 Z1 Z2.
    const FieldElement z3 = (Z * q.Z).dbl() * h;
    *this = from_jacobian(x3, y3, z3, false);
}

void Point::add_affine_assign(const FieldElement& x, const FieldElement& y) {
    if (infinity) {
        *this = from_affine(x, y);
        return;
    }
    // madd-2007-bl.
    const FieldElement z1z1 = Z.sqr();
    const FieldElement u2 = x * z1z1;
    const FieldElement s2 = y * Z * z1z1;
    is_generator = false;
    z_is_one = false;
    if (fe_eq(X, u2)) {
        if (fe_eq(Y, s2))
            dbl_assign();
        else
            *this = infinity_point();
        return;
    }
    const FieldElement h = u2 - X;
    const FieldElement hh = h.sqr();
    const FieldElement i = hh.mul_small(4);
    const FieldElement j = h * i;
    const FieldElement r = (s2 - Y).dbl();
    const FieldElement v = X * i;
    const FieldElement x3 = r.sqr() - j - v.dbl();
    const FieldElement y3 = r * (v - x3) - (Y * j).dbl();
    // (Z1 + H)^2 - Z1Z1 - HH = 2 Z1 H.
    const FieldElement z3 = (Z * h).dbl();
    *this = from_jacobian(x3, y3, z3, false);
}

Point Point::dbl() const {
    Point r = *this;
    r.dbl_assign();
    return r;
}

void Point::dbl_assign() {
    if (infinity) {
        is_generator = false;
        return;
    }
    // dbl-2009-l (a = 0).
    const FieldElement a = X.sqr();
    const FieldElement b = Y.sqr();
    const FieldElement c = b.sqr();
    // 2 ((X + B)^2 - A - C) = 4 X B.
    const FieldElement d = (X * b).mul_small(4);
    const FieldElement e = a.mul_small(3);
    const FieldElement f = e.sqr();
    const FieldElement x3 = f - d.dbl();
    const FieldElement y3 = e * (d - x3) - c.mul_small(8);
    const FieldElement z3 = (Y * Z).dbl();
    *this = from_jacobian(x3, y3, z3, false);
}

Point Point::negate() const {
    Point r = *this;
    r.negate_assign();
    return r;
}

void Point::negate_assign() {
    is_generator = false;
    if (infinity) return;
    Y = Y.negate();
}

void Point::to_affine_assign() {
    if (infinity || z_is_one) return;
    const FieldElement zinv = Z.inverse_var();
    const FieldElement zinv2 = zinv.sqr();
    X = X * zinv2;
    Y = Y * zinv2 * zinv;
    Z = FieldElement::one();
    z_is_one = true;
}

void Point::to_affine_ct_assign() {
    if (z_is_one) return;
    // The infinity flag of a secret point is not branched on: the
    // conversion runs anyway (the inverse of Z = 0 is 0) and the point is
    // kept as it was by mask.
    const uint64_t inf = ct::mask(infinity);
    const FieldElement zinv = Z.inverse_ct();
    const FieldElement zinv2 = zinv.sqr();
    X = FieldElement::select_ct(inf, X * zinv2, X);
    Y = FieldElement::select_ct(inf, Y * zinv2 * zinv, Y);
    Z = FieldElement::select_ct(inf, FieldElement::one(), Z);
    z_is_one = (~inf & 1) != 0;
}

FieldElement Point::affine_x() const {
    if (z_is_one) return X;
    return X * Z.inverse_var().sqr();
}

FieldElement Point::affine_y() const {
    if (z_is_one) return Y;
    const FieldElement zinv = Z.inverse_var();
    return Y * zinv.sqr() * zinv;
}

AffinePoint Point::to_affine() const {
    Point p = *this;
    p.to_affine_assign();
    return AffinePoint{p.X, p.Y};
}

bool Point::has_even_y() const {
    if (infinity) return false;
    return !affine_y().is_odd();
}

Point Point::endomorphism() const {
    Point r = *this;
    r.is_generator = false;
    if (!infinity) r.X = X * FieldElement::beta();
    return r;
}

bool Point::equals(const Point& q) const {
    if (infinity || q.infinity) return infinity == q.infinity;
    // Cross-multiplied: X1 Z2^2 = X2 Z1^2 and Y1 Z2^3 = Y2 Z1^3.
    const FieldElement z1z1 = Z.sqr(), z2z2 = q.Z.sqr();
    return fe_eq(X * z2z2, q.X * z1z1) && fe_eq(Y * z2z2 * q.Z, q.Y * z1z1 * Z);
}

void Point::to_compressed(uint8_t out33[33]) const {
    std::memset(out33, 0, 33);
    if (infinity) return;
    Point a = *this;
    a.to_affine_assign();
    out33[0] = static_cast<uint8_t>(0x02 | (a.Y.limb[0] & 1));
    a.X.to_bytes(out33 + 1);
}

void Point::to_uncompressed(uint8_t out65[65]) const {
    std::memset(out65, 0, 65);
    if (infinity) return;
    Point a = *this;
    a.to_affine_assign();
    out65[0] = 0x04;
    a.X.to_bytes(out65 + 1);
    a.Y.to_bytes(out65 + 33);
}

void Point::to_xonly(uint8_t out32[32], bool* odd_y) const {
    std::memset(out32, 0, 32);
    if (odd_y) *odd_y = false;
    if (infinity) return;
    Point a = *this;
    a.to_affine_assign();
    a.X.to_bytes(out32);
    if (odd_y) *odd_y = a.Y.is_odd();
}

Point Point::from_x(const FieldElement& x, bool odd_y) {
    const FieldElement c = x.sqr() * x + kB;
    FieldElement y = c.sqrt_candidate();
    // p = 3 mod 4, so the candidate is a root exactly when c is a square.
    if (!fe_eq(y.sqr(), c)) return infinity_point();
    if (y.is_odd() != odd_y) y = y.negate();
    return from_affine(x, y);
}

Point Point::decompress(const uint8_t in33[33]) {
    if (in33[0] != 0x02 && in33[0] != 0x03) return infinity_point();
    FieldElement x;
    if (!FieldElement::parse_strict(in33 + 1, x)) return infinity_point();
    return from_x(x, (in33[0] & 1) != 0);
}

bool Point::decompress_batch(const uint8_t* const* in33, size_t n, AffinePoint* out) {
    for (size_t i0 = 0; i0 < n; i0 += 4) {
        const size_t lanes = std::min<size_t>(4, n - i0);
        // Unused lanes repeat the first, so the four-lane routine always has
        // four operands.
        FieldElement c[4]{}, y[4]{};
        for (size_t l = 0; l < lanes; ++l) {
            const uint8_t* in = in33[i0 + l];
            if (in[0] != 0x02 && in[0] != 0x03) return false;
            FieldElement& x = out[i0 + l].x;
            if (!FieldElement::parse_strict(in + 1, x)) return false;
            c[l] = x.sqr() * x + kB;
        }
        for (size_t l = lanes; l < 4; ++l) c[l] = c[0];
        FieldElement::sqrt_candidate_x4(c, y);
        for (size_t l = 0; l < lanes; ++l) {
            if (!fe_eq(y[l].sqr(), c[l])) return false;
            const bool odd = (in33[i0 + l][0] & 1) != 0;
            out[i0 + l].y = y[l].is_odd() != odd ? y[l].negate() : y[l];
        }
    }
    return true;
}

ParseResult Point::parse_uncompressed(const uint8_t in65[65], Point& out) {
    if (in65[0] != 0x04) return ParseResult::bad_encoding;
    FieldElement x, y;
    if (!FieldElement::parse_strict(in65 + 1, x) || !FieldElement::parse_strict(in65 + 33, y))
        return ParseResult::coordinate_ge_p;
    if (!fe_eq(y.sqr(), x.sqr() * x + kB)) return ParseResult::not_on_curve;
    out = from_affine(x, y);
    return ParseResult::ok;
}

void Point::add_affine_var(const FieldElement& x2, const FieldElement& y2) {
    if (infinity) {
        *this = from_affine(x2, y2);
        return;
    }
#if QORVEX_HAVE_POINT_ADX
    if (field_detail::point_adx_enabled()) {
        // The whole formula first, into a copy; its tests of H and R then
        // decide whether the copy is the answer.
        Point sum;
        FieldElement hr[2];
        qorvex_point_madd_adx(sum.X.limb, X.limb, x2.limb, y2.limb, hr[0].limb);
        is_generator = false;
        z_is_one = false;
        if (hr[0].is_zero_mask()) {
            if (hr[1].is_zero_mask())
                dbl_halving_ct();
            else
                *this = infinity_point();
            return;
        }
        X = sum.X;
        Y = sum.Y;
        Z = sum.Z;
        return;
    }
#endif
    const FieldElement z1z1 = Z.sqr();
    const FieldElement u2 = x2 * z1z1;
    const FieldElement s2 = y2 * z1z1 * Z;
    const FieldElement h = u2 - X;
    const FieldElement r = s2 - Y;
    is_generator = false;
    z_is_one = false;
    if (h.is_zero_mask()) {
        if (r.is_zero_mask())
            dbl_halving_ct();
        else
            *this = infinity_point();
        return;
    }
    const FieldElement hh = h.sqr();
    const FieldElement hhh = hh * h;
    const FieldElement v = X * hh;
    const FieldElement x3 = r.sqr() - hhh - v.dbl();
    Y = r * (v - x3) - Y * hhh;
    X = x3;
    Z = Z * h;
}

void Point::add_affine_unchecked_ct(const FieldElement& x2, const FieldElement& y2, FieldElement* z_ratio) {
#if QORVEX_HAVE_POINT_ADX
    if (field_detail::point_adx_enabled()) {
        FieldElement hr[2];
        qorvex_point_madd_adx(X.limb, X.limb, x2.limb, y2.limb, hr[0].limb);
        is_generator = false;
        z_is_one = false;
        if (z_ratio) *z_ratio = hr[0];
        return;
    }
#endif
    const FieldElement z1z1 = Z.sqr();
    const FieldElement u2 = x2 * z1z1;
    const FieldElement s2 = y2 * z1z1 * Z;
    const FieldElement h = u2 - X;
    const FieldElement r = s2 - Y;
    const FieldElement z3 = Z * h;
    const FieldElement hh = h.sqr();
    const FieldElement hhh = hh * h;
    const FieldElement v = X * hh;
    const FieldElement x3 = r.sqr() - hhh - v.dbl();
    const FieldElement y3 = r * (v - x3) - Y * hhh;
    X = x3;
    Y = y3;
    Z = z3;
    is_generator = false;
    z_is_one = false;
    if (z_ratio) *z_ratio = h;
}

void Point::dbl_halving_ct() {
    // With Z3 = Y Z the slope scaled by Z3 is L = (3/2) X^2, so no factor 2
    // is carried through the formulas. With S = Y^2 and u = S X:
    // X3 = L^2 - 2u and Y3 = L (u - X3) - S^2.
#if QORVEX_HAVE_POINT_ADX
    if (field_detail::point_adx_enabled()) {
        qorvex_point_dbl_adx(X.limb);
        is_generator = false;
        z_is_one = false;
        return;
    }
#endif
    const FieldElement s = Y.sqr();
    const FieldElement a = X.sqr();
    const FieldElement l = a.half() + a;
    const FieldElement u = s * X;
    const FieldElement x3 = l.sqr() - u.dbl();
    const FieldElement y3 = l * (u - x3) - s.sqr();
    const FieldElement z3 = Y * Z;
    X = x3;
    Y = y3;
    Z = z3;
    is_generator = false;
    z_is_one = false;
}

void Point::add_affine_complete_ct(const FieldElement& x2, const FieldElement& y2, uint64_t self_inf,
                                   uint64_t other_inf) {
    // One unified formula for sums and doublings. On y^2 = x^3 + 7,
    // (y1 - y2)(y1 + y2) = (x1 - x2)(x1^2 + x1 x2 + x2^2), so the chord slope
    // (y1 - y2) / (x1 - x2) equals (x1^2 + x1 x2 + x2^2) / (y1 + y2), and the
    // latter is also the tangent slope 3 x1^2 / (2 y1) when the operands are
    // equal. It fails only when y1 + y2 = 0 and x1^2 + x1 x2 + x2^2 = 0 both
    // hold, that is x2 = beta x1 or beta^2 x1 with y2 = -y1 (or the operands
    // are opposite with x = 0); then x1 != x2 or the operands are opposite,
    // and the chord slope is used instead (its zero denominator then gives
    // infinity). With u = x Z1^2 and s = y Z1^3 the slope is R / (M Z1), and
    // with Z3 = M Z1:
    //   X3 = R^2 - M^2 (u1 + u2)
    //   Y3 = R (M^2 (u1 + u2) / 2 - X3) - M^3 (s1 + s2) / 2,
    // the second being the mean of the two ways of reading y3 off the line.
    // Where the unified slope is used, s1 + s2 = M; where the chord slope
    // is used, s1 + s2 = 0. Every step runs for every input.
    const FieldElement zz = Z.sqr();
    const FieldElement u2 = x2 * zz;
    const FieldElement s2 = y2 * (zz * Z);
    const FieldElement t = X + u2;
    const FieldElement sy = Y + s2;
    const FieldElement r_unified = t.sqr() - X * u2;
    const uint64_t degenerate = sy.is_zero_mask() & r_unified.is_zero_mask();
    const FieldElement r = FieldElement::select_ct(degenerate, r_unified, Y - s2);
    const FieldElement m = FieldElement::select_ct(degenerate, sy, X - u2);
    const FieldElement mm = m.sqr();
    const FieldElement q = mm * t;
    const FieldElement w = FieldElement::select_ct(degenerate, mm.sqr(), FieldElement::zero());
    Point sum;
    sum.X = r.sqr() - q;
    sum.Y = (r * (q - sum.X.dbl()) - w).half();
    sum.Z = m * Z;
    sum.infinity = false;
    sum.is_generator = false;
    sum.z_is_one = false;
    Point res = select_ct(self_inf, sum, from_affine(x2, y2));
    res = select_ct(other_inf, res, *this);
    const uint64_t inf = (res.Z.is_zero_mask() & ~self_inf) | (self_inf & other_inf);
    res.X = FieldElement::select_ct(inf, res.X, FieldElement::zero());
    res.Y = FieldElement::select_ct(inf, res.Y, FieldElement::one());
    res.Z = FieldElement::select_ct(inf, res.Z, FieldElement::zero());
    res.infinity = (inf & 1) != 0;
    res.is_generator = false;
    res.z_is_one = false;
    *this = res;
}

Point Point::select_ct(uint64_t m, const Point& a, const Point& b) {
    Point r;
    r.X = FieldElement::select_ct(m, a.X, b.X);
    r.Y = FieldElement::select_ct(m, a.Y, b.Y);
    r.Z = FieldElement::select_ct(m, a.Z, b.Z);
    const uint8_t m8 = static_cast<uint8_t>(m);
    r.infinity = static_cast<bool>(static_cast<uint8_t>(a.infinity) ^ (m8 & (a.infinity ^ b.infinity)));
    r.is_generator = static_cast<bool>(static_cast<uint8_t>(a.is_generator) ^ (m8 & (a.is_generator ^ b.is_generator)));
    r.z_is_one = static_cast<bool>(static_cast<uint8_t>(a.z_is_one) ^ (m8 & (a.z_is_one ^ b.z_is_one)));
    return r;
}

FieldElement odd_multiples_shared_z(const Point& p, size_t count, FieldElement* x, FieldElement* y) {
    Point d = p;
    d.dbl_halving_ct();
    const FieldElement zd2 = d.Z.sqr();
    Point acc = p;
    acc.X = p.X * zd2;
    acc.Y = p.Y * zd2 * d.Z;
    FieldElement h[kMaxOddMultiples];
    x[0] = acc.X;
    y[0] = acc.Y;
    for (size_t i = 1; i < count; ++i) {
        acc.add_affine_unchecked_ct(d.X, d.Y, &h[i]);
        x[i] = acc.X;
        y[i] = acc.Y;
    }
    // Z_i = Z_{i-1} h_i, so entry i reaches the last entry's Z through the
    // factor h_{i+1} ... h_{count-1}.
    FieldElement r = FieldElement::one();
    for (size_t i = count - 1; i-- > 0;) {
        r = i + 2 == count ? h[i + 1] : r * h[i + 1];
        const FieldElement r2 = r.sqr();
        x[i] = x[i] * r2;
        y[i] = y[i] * (r2 * r);
    }
    return acc.Z * d.Z;
}

}  // namespace qorvex
