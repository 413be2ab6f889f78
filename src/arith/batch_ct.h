// Constant-time conversions of many secrets at once, for signers that
// handle several items per call: one constant-time inversion and three
// products per element in place of an inversion each (Montgomery's trick).
// Nothing branches on the values, so the trick is as constant time as the
// single forms.
#pragma once

#include <cstddef>

#include "arith/point.h"
#include "arith/scalar.h"

namespace qorvex {

// Makes n finite points affine (the results of to_affine_ct_assign).
// Every point must be finite: one at infinity would spoil the others.
// scratch holds n elements; it is wiped before return.
void to_affine_ct_batch(Point* points, size_t n, FieldElement* scratch);

// a[i] = a[i]^-1 for n non-zero scalars; scratch as above.
void inverse_ct_batch(Scalar* a, size_t n, Scalar* scratch);

}  // namespace qorvex
