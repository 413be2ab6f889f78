// Per-thread additive blinding of k*G: (k + b) G - b G, with b installed by
// the thread itself. Other threads are never affected.
#include "arith/gen_mul.h"
#include "support/ct.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

struct BlindingState {
    Scalar scalar;
    FieldElement x, neg_y;    // -b*G, affine
    uint64_t infinity_mask;   // all ones if b*G were infinity (never for b != 0)
    uint8_t active;
};

thread_local BlindingState t_blinding{};

}  // namespace

void blinding_set(const Scalar& b) {
    Point bg = gen_mul_ct(b);
    BlindingState& s = t_blinding;
    s.scalar = b;
    if (bg.infinity) {
        s.x = FieldElement::zero();
        s.neg_y = FieldElement::zero();
        s.infinity_mask = ~uint64_t{0};
    } else {
        // b is secret, so its point is made affine in constant time.
        bg.to_affine_ct_assign();
        s.x = bg.X;
        s.neg_y = bg.Y.negate();
        s.infinity_mask = 0;
    }
    s.active = 1;
    secure_wipe_value(bg);
}

void blinding_clear() {
    secure_wipe_value(t_blinding);
    t_blinding.active = 0;
}

bool blinding_active() { return t_blinding.active != 0; }

Point gen_mul_blinded(const Scalar& k) {
    const BlindingState& s = t_blinding;
    if (!s.active) return gen_mul_ct(k);
    WipeOnExit<Scalar> kb(k.add_ct(s.scalar));
    Point r = gen_mul_ct(*kb);
    r.add_affine_complete_ct(s.x, s.neg_y, ct::mask(r.infinity) | r.Z.is_zero_mask(), s.infinity_mask);
    if (r.infinity || r.Z.is_zero()) return Point::infinity_point();
    return r;
}

}  // namespace qorvex
