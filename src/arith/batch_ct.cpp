#include "arith/batch_ct.h"

#include "support/wipe.h"

namespace qorvex {

void to_affine_ct_batch(Point* points, size_t n, FieldElement* scratch) {
    if (n == 0) return;
    scratch[0] = points[0].Z;
    for (size_t i = 1; i < n; ++i) scratch[i] = scratch[i - 1] * points[i].Z;
    WipeOnExit<FieldElement> inv([&] { return scratch[n - 1].inverse_ct(); });
    WipeOnExit<FieldElement> zi, zi2;
    for (size_t i = n; i-- > 0;) {
        Point& p = points[i];
        // zi = 1 / Z_i, then inv drops Z_i for the elements before it.
        *zi = i > 0 ? *inv * scratch[i - 1] : *inv;
        if (i > 0) *inv = *inv * p.Z;
        *zi2 = zi->sqr();
        p.X = p.X * *zi2;
        p.Y = p.Y * *zi2 * *zi;
        p.Z = FieldElement::one();
        p.z_is_one = true;
    }
    secure_wipe(scratch, n * sizeof(FieldElement));
}

void inverse_ct_batch(Scalar* a, size_t n, Scalar* scratch) {
    if (n == 0) return;
    scratch[0] = a[0];
    for (size_t i = 1; i < n; ++i) scratch[i] = scratch[i - 1].mul(a[i]);
    WipeOnExit<Scalar> inv([&] { return scratch[n - 1].inverse_ct(); });
    WipeOnExit<Scalar> ai;
    for (size_t i = n; i-- > 0;) {
        if (i == 0) {
            a[0] = *inv;
            break;
        }
        *ai = inv->mul(scratch[i - 1]);
        *inv = inv->mul(a[i]);
        a[i] = *ai;
    }
    secure_wipe(scratch, n * sizeof(Scalar));
}

}  // namespace qorvex
