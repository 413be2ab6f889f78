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
    // b is secret, so its point is made affine in constant time, and the
    // infinity case (which b != 0 never reaches) is selected by mask rather
    // than by a branch.
    const uint64_t inf = ct::mask(bg.infinity);
    bg.to_affine_ct_assign();
    s.x = FieldElement::select_ct(inf, bg.X, FieldElement::zero());
    s.neg_y = FieldElement::select_ct(inf, bg.Y.negate(), FieldElement::zero());
    s.infinity_mask = inf;
    s.active = 1;
    secure_wipe_value(bg);
}

void blinding_clear() {
    secure_wipe_value(t_blinding);
    t_blinding.active = 0;
}

bool blinding_active() { return t_blinding.active != 0; }

void blinding_snapshot(BlindingSnapshot& out) {
    const BlindingState& s = t_blinding;
    out.scalar = s.scalar;
    out.x = s.x;
    out.neg_y = s.neg_y;
    out.infinity_mask = s.infinity_mask;
    out.active = s.active;
}

void blinding_adopt(const BlindingSnapshot& snap) {
    BlindingState& s = t_blinding;
    s.scalar = snap.scalar;
    s.x = snap.x;
    s.neg_y = snap.neg_y;
    s.infinity_mask = snap.infinity_mask;
    s.active = snap.active;
}

Point gen_mul_blinded(const Scalar& k) {
    const BlindingState& s = t_blinding;
    if (!s.active) return gen_mul_ct(k);
    WipeOnExit<Scalar> kb([&] { return k.add_ct(s.scalar); });
    Point r = gen_mul_ct(*kb);
    r.add_affine_complete_ct(s.x, s.neg_y, ct::mask(r.infinity) | r.Z.is_zero_mask(), s.infinity_mask);
    // The complete addition leaves the exact infinity form whenever the
    // result is infinity (and a finite result never has Z = 0), so the
    // result is returned as it stands, without a branch on the nonce point.
    return r;
}

}  // namespace qorvex
