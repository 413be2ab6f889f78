#include "arith/gen_mul.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex {

Point public_key_point(const Scalar& d) {
    WipeOnExit<Point> p([&] { return gen_mul_blinded(d); });
    // Callers refuse a zero key first, publicly, and only d = 0 lands at
    // infinity; the constant-time conversion keeps that form as it is.
    declassify_value(p->infinity);
    p->to_affine_ct_assign();
    // The affine public key is the result.
    declassify_value(*p);
    return *p;
}

}  // namespace qorvex
