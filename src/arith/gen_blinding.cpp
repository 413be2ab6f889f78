// Per-thread additive blinding of k*G: (k + b) G - b G, with b installed by
// the thread itself (or adopted from the thread that handed it work). Other
// threads are never affected, and the state is wiped when the thread ends.
#include "arith/gen_mul.h"
#include "support/ct.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

// Thread-local storage outlives nothing but its thread, yet the memory is
// reused for the next thread without being cleared: wipe b and -b*G on the
// way out.
struct ThreadBlinding {
    BlindingState state{};
    ~ThreadBlinding() { secure_wipe_value(state); }
};

thread_local ThreadBlinding t_thread_blinding;

}  // namespace

void blinding_set(const Scalar& b) {
    Point bg = gen_mul_ct(b);
    BlindingState& s = t_thread_blinding.state;
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
    secure_wipe_value(t_thread_blinding.state);
    t_thread_blinding.state.active = 0;
}

bool blinding_active() { return t_thread_blinding.state.active != 0; }

BlindingState current_blinding() { return t_thread_blinding.state; }

void adopt_blinding(const BlindingState& state) { t_thread_blinding.state = state; }

const BlindingState* blinding_storage() { return &t_thread_blinding.state; }

Point gen_mul_blinded(const Scalar& k) {
    const BlindingState& s = t_thread_blinding.state;
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
