#include "arith/field.h"

#include <stdexcept>
#include <vector>

#include "arith/point_adx.h"
#include "arith/safegcd.h"
#include "support/bytes.h"
#include "support/wipe.h"
#include "support/cpu.h"
#include "support/hex.h"

namespace qorvex {

namespace field_detail {
const bool g_use_adx = QORVEX_HAVE_ADX_BACKEND && cpu_features().bmi2 && cpu_features().adx;

#if QORVEX_HAVE_ADX_BACKEND && !defined(QORVEX_FIELD_BACKEND_ADX) && !defined(QORVEX_FIELD_BACKEND_PORTABLE)
void mul_portable_call(uint64_t r[4], const uint64_t a[4], const uint64_t b[4]) { mul_portable(r, a, b); }
void sqr_portable_call(uint64_t r[4], const uint64_t a[4]) { sqr_portable(r, a); }
#endif
}  // namespace field_detail

const char* field_backend_name() {
#if defined(QORVEX_FIELD_BACKEND_ADX)
    return "adx";
#elif defined(QORVEX_FIELD_BACKEND_PORTABLE)
    return "portable";
#else
    return field_detail::g_use_adx ? "adx" : "portable";
#endif
}

namespace {

// p in signed 30-bit limbs: 2^256 - 2^32 - 977 = 65536 * 2^240 - 4 * 2^30 - 977.
[[maybe_unused]] constexpr safegcd::Modulus kModP = safegcd::make_modulus({{-977, -4, 0, 0, 0, 0, 0, 0, 65536}});
static_assert((kModP.m_inv30 * static_cast<uint32_t>(-977) & 0x3FFFFFFFu) == 1);
// p in signed 62-bit limbs: 256 * 2^248 - (2^32 + 977).
constexpr safegcd::Modulus62 kModP62 = safegcd::make_modulus62({{-0x1000003D1LL, 0, 0, 0, 256}});
static_assert((kModP62.m_inv62 * static_cast<uint64_t>(-0x1000003D1LL) & 0x3FFFFFFFFFFFFFFFULL) == 1);

// Limbs as they stand (any value below 2^256) with one conditional
// subtraction of p.
FieldElement reduce_once(const uint64_t in[4]) {
    FieldElement s, t;
    for (int i = 0; i < 4; ++i) s.limb[i] = in[i];
    uint64_t c = add_carry(s.limb[0], FieldElement::kComplement, 0, t.limb[0]);
    for (int i = 1; i < 4; ++i) c = add_carry(s.limb[i], 0, c, t.limb[i]);
    return FieldElement::select_ct(ct::mask_from_bit(c), s, t);
}

void load_limbs(const uint8_t in32[32], uint64_t out[4]) {
    for (int i = 0; i < 4; ++i) out[3 - i] = load_be64(in32 + 8 * i);
}

}  // namespace

bool FieldElement::parse_strict(const uint8_t in32[32], FieldElement& out) {
    uint64_t l[4];
    load_limbs(in32, l);
    // value >= p exactly when value + (2^256 - p) carries out.
    uint64_t t, c = add_carry(l[0], kComplement, 0, t);
    for (int i = 1; i < 4; ++i) c = add_carry(l[i], 0, c, t);
    if (c) return false;
    for (int i = 0; i < 4; ++i) out.limb[i] = l[i];
    return true;
}

FieldElement FieldElement::from_bytes_reduce(const uint8_t in32[32]) {
    uint64_t l[4];
    load_limbs(in32, l);
    return reduce_once(l);
}

FieldElement FieldElement::from_limbs(uint64_t l0, uint64_t l1, uint64_t l2, uint64_t l3) {
    const uint64_t l[4] = {l0, l1, l2, l3};
    return reduce_once(l);
}

FieldElement FieldElement::from_hex(const char* hex64) {
    uint8_t b[32];
    if (!hex_to_bytes32(hex64, b)) throw std::invalid_argument("field element hex must be 64 hex digits");
    return from_bytes_reduce(b);
}

void FieldElement::to_bytes(uint8_t out32[32]) const {
    for (int i = 0; i < 4; ++i) store_be64(out32 + 8 * i, limb[3 - i]);
}

bool FieldElement::equal(const FieldElement& b) const {
    const FieldElement x = reduce_once(limb), y = reduce_once(b.limb);
    return x.equal_mask(y) != 0;
}

FieldElement FieldElement::inverse_var() const {
    const FieldElement a = reduce_once(limb);
    if (a.is_zero_mask()) throw std::runtime_error("Inverse of zero not defined");
    FieldElement r;
#if QORVEX_SAFEGCD62
    safegcd::Signed62 s = safegcd::signed62_from_u64x4(a.limb);
    safegcd::inverse_var(s, kModP62);
    safegcd::signed62_to_u64x4(s, r.limb);
#else
    safegcd::Signed30 s = safegcd::from_u64x4(a.limb);
    safegcd::inverse_var(s, kModP);
    safegcd::to_u64x4(s, r.limb);
#endif
    return r;
}

FieldElement FieldElement::inverse_ct() const {
    FieldElement r;
#if QORVEX_SAFEGCD62
    // Reduced first: the divsteps want an input below p.
    const FieldElement a = reduce_once(limb);
    safegcd::Signed62 s = safegcd::signed62_from_u64x4(a.limb);
    safegcd::inverse_ct(s, kModP62);
    safegcd::signed62_to_u64x4(s, r.limb);
#else
    safegcd::Signed30 s = safegcd::from_u64x4(limb);
    safegcd::inverse_ct(s, kModP);
    safegcd::to_u64x4(s, r.limb);
#endif
    // Z of a secret multiple passes through here.
    secure_wipe_value(s);
    // The result is already below p; the subtraction keeps the contract
    // explicit for callers that pass a value in [p, 2^256).
    return reduce_once(r.limb);
}

FieldElement FieldElement::sqrt_candidate() const {
    // a^((p+1)/4) by the usual chain: x_k = a^(2^k - 1).
    const FieldElement& a = *this;
    auto sqr_n = [](FieldElement x, int n) {
#if QORVEX_HAVE_POINT_ADX
        // One call for the whole run, which keeps the value out of the
        // compiled code between squarings.
        if (field_detail::point_adx_enabled() && n > 0) {
            qorvex_fe_sqr_n_adx(x.limb, x.limb, static_cast<uint64_t>(n));
            return x;
        }
#endif
        for (int i = 0; i < n; ++i) x = x.sqr();
        return x;
    };
    const FieldElement x2 = a.sqr() * a;
    const FieldElement x3 = x2.sqr() * a;
    const FieldElement x6 = sqr_n(x3, 3) * x3;
    const FieldElement x9 = sqr_n(x6, 3) * x3;
    const FieldElement x11 = sqr_n(x9, 2) * x2;
    const FieldElement x22 = sqr_n(x11, 11) * x11;
    const FieldElement x44 = sqr_n(x22, 22) * x22;
    const FieldElement x88 = sqr_n(x44, 44) * x44;
    const FieldElement x176 = sqr_n(x88, 88) * x88;
    const FieldElement x220 = sqr_n(x176, 44) * x44;
    const FieldElement x223 = sqr_n(x220, 3) * x3;
    FieldElement t = sqr_n(x223, 23) * x22;
    t = sqr_n(t, 6) * x2;
    return sqr_n(t, 2);
}

void FieldElement::sqrt_candidate_x4(const FieldElement in[4], FieldElement out[4]) {
#if QORVEX_HAVE_POINT_ADX
    if (field_detail::point_adx_enabled()) {
        // The chain of sqrt_candidate, each step on all four lanes; runs of
        // squarings go to the interleaving routine, which wants the lanes
        // contiguous.
        FieldElement a[4], x2[4], x3[4], x11[4], x22[4], x44[4], t[4];
        auto sqr_n = [](FieldElement dst[4], const FieldElement src[4], int n) {
            qorvex_fe_sqr_n4_adx(dst[0].limb, src[0].limb, static_cast<uint64_t>(n));
        };
        auto mul_by = [](FieldElement dst[4], const FieldElement b[4]) {
            for (int l = 0; l < 4; ++l) field_mul(dst[l].limb, dst[l].limb, b[l].limb);
        };
        for (int l = 0; l < 4; ++l) {
            a[l] = in[l];
            x2[l] = a[l].sqr() * a[l];
            x3[l] = x2[l].sqr() * a[l];
        }
        sqr_n(t, x3, 3);  // x6
        mul_by(t, x3);
        sqr_n(t, t, 3);  // x9
        mul_by(t, x3);
        sqr_n(x11, t, 2);
        mul_by(x11, x2);
        sqr_n(x22, x11, 11);
        mul_by(x22, x11);
        sqr_n(x44, x22, 22);
        mul_by(x44, x22);
        sqr_n(t, x44, 44);  // x88
        mul_by(t, x44);
        sqr_n(x11, t, 88);  // x176 (x11 is not needed any more)
        mul_by(x11, t);
        sqr_n(t, x11, 44);  // x220
        mul_by(t, x44);
        sqr_n(t, t, 3);  // x223
        mul_by(t, x3);
        sqr_n(t, t, 23);
        mul_by(t, x22);
        sqr_n(t, t, 6);
        mul_by(t, x2);
        sqr_n(out, t, 2);
        return;
    }
#endif
    for (int l = 0; l < 4; ++l) out[l] = in[l].sqrt_candidate();
}

void FieldElement::batch_inverse(FieldElement* a, size_t m) {
    if (m == 0) return;
    if (m == 1) {
        if (!a[0].is_zero()) a[0] = a[0].inverse_var();
        return;
    }
    // Up to 64 elements on the stack (2048 bytes), beyond that one buffer per
    // thread that grows and is kept.
    FieldElement stack_scratch[64];
    thread_local std::vector<FieldElement> heap_scratch;
    FieldElement* scratch;
    if (m <= 64) {
        scratch = stack_scratch;
    } else {
        heap_scratch.resize(m);
        scratch = heap_scratch.data();
    }
    // Montgomery's trick; zeros are replaced by one so they drop out (the
    // product of the rest is then never zero).
    scratch[0] = a[0].is_zero() ? one() : a[0];
    for (size_t i = 1; i < m; ++i) scratch[i] = a[i].is_zero() ? scratch[i - 1] : scratch[i - 1] * a[i];
    FieldElement inv = scratch[m - 1].inverse_var();
    for (size_t i = m - 1; i >= 1; --i) {
        if (a[i].is_zero()) continue;
        const FieldElement t = a[i];
        a[i] = inv * scratch[i - 1];
        inv = inv * t;
    }
    if (!a[0].is_zero()) a[0] = inv;
}

const FieldElement& FieldElement::beta() {
    static const FieldElement b =
        from_hex("7AE96A2B657C07106E64479EAC3434E99CF0497512F58995C1396C28719501EE");
    return b;
}

}  // namespace qorvex
