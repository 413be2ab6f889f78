// Points of secp256k1 (y^2 = x^3 + 7): Jacobian form with flags, the group
// law with its exceptional cases, the branch-free formulas that the
// constant-time multiplications use, and the SEC 1 encodings.
#pragma once

#include <cstdint>

#include "arith/field.h"

namespace qorvex {

struct AffinePoint {
    FieldElement x, y;
};

enum class ParseResult { ok, coordinate_ge_p, not_on_curve, bad_encoding };

struct Point {
    // Affine (X / Z^2, Y / Z^3).
    FieldElement X, Y, Z;
    bool infinity;
    bool is_generator;  // only G as made by generator(): lets mul take the fixed-base path
    bool z_is_one;

    static Point infinity_point() {
        return Point{FieldElement::zero(), FieldElement::one(), FieldElement::zero(), true, false, false};
    }
    static Point generator();
    // Z = 1; no curve check.
    static Point from_affine(const FieldElement& x, const FieldElement& y) {
        return Point{x, y, FieldElement::one(), false, false, true};
    }
    static Point from_affine(const AffinePoint& a) { return from_affine(a.x, a.y); }
    // The infinity form when inf is set or Z is zero.
    static Point from_jacobian(const FieldElement& X, const FieldElement& Y, const FieldElement& Z, bool inf);

    Point add(const Point& q) const;
    void add_assign(const Point& q);
    void add_affine_assign(const FieldElement& x, const FieldElement& y);
    Point dbl() const;
    void dbl_assign();
    Point negate() const;
    void negate_assign();

    // Divides out Z with the variable-time inverse. Nothing for infinity or
    // an already affine point.
    void to_affine_assign();
    // The same with the constant-time inverse, for points derived from
    // secrets (their Z would otherwise leak through the inversion's timing).
    void to_affine_ct_assign();
    FieldElement affine_x() const;
    FieldElement affine_y() const;
    AffinePoint to_affine() const;
    bool has_even_y() const;
    // (beta X, Y, Z) = lambda * P.
    Point endomorphism() const;
    // Same affine point (or both infinity).
    bool equals(const Point& q) const;

    // Encodings; infinity writes all zeros.
    void to_compressed(uint8_t out33[33]) const;
    void to_uncompressed(uint8_t out65[65]) const;
    // x, and the parity of y through *odd_y when given.
    void to_xonly(uint8_t out32[32], bool* odd_y = nullptr) const;

    // The point with this x and a y of the given parity, when x^3 + 7 is a
    // square; otherwise the infinity form. Variable time.
    static Point from_x(const FieldElement& x, bool odd_y);
    // Prefix 02/03, x < p, x^3 + 7 a square; otherwise the infinity form.
    static Point decompress(const uint8_t in33[33]);
    // decompress for n encodings in33[i] at once, into out[i] (affine), with
    // the square roots taken four at a time (sqrt_candidate_x4). False when
    // any encoding is not a point; out is then unspecified. Variable time.
    static bool decompress_batch(const uint8_t* const* in33, size_t n, AffinePoint* out);
    // Prefix 04, both coordinates < p, on the curve.
    static ParseResult parse_uncompressed(const uint8_t in65[65], Point& out);

    // --- Variable-time helper for the multiplications of public data. ---

    // P + (x2, y2) by the formulas of add_affine_unchecked_ct (Z3 = Z1 H),
    // with the exceptional cases handled by branches: (x2, y2) when P is
    // infinity, the doubling of dbl_halving_ct for equal operands, infinity
    // for opposite ones.
    void add_affine_var(const FieldElement& x2, const FieldElement& y2);

    // --- Branch-free formulas for the constant-time multiplications. ---

    // P + (x2, y2) with no handling of equal, opposite or infinite operands.
    // The new Z is the old one times H; *z_ratio receives H when asked.
    void add_affine_unchecked_ct(const FieldElement& x2, const FieldElement& y2, FieldElement* z_ratio = nullptr);
    // 2P with Z3 = Y*Z (field halving instead of the factor 2).
    void dbl_halving_ct();
    // P + (x2, y2) correct for every input: doubling when the operands are
    // equal, infinity when opposite; self_inf / other_inf are all-ones masks
    // marking an infinite operand. Sets the infinity flag from the result's Z.
    void add_affine_complete_ct(const FieldElement& x2, const FieldElement& y2, uint64_t self_inf,
                                uint64_t other_inf);
    // b when m is all ones, a when zero (coordinates and flags).
    static Point select_ct(uint64_t m, const Point& a, const Point& b);
};

}  // namespace qorvex
