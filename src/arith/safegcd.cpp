#include "arith/safegcd.h"

#include <algorithm>
#include <array>
#include <bit>

#include "support/wipe.h"

namespace qorvex::safegcd {

namespace {

constexpr int32_t kMask30 = 0x3FFFFFFF;

// 2^30 times the map from (f, g) at the start of a batch to (f, g) after it:
// (f', g') = (u f + v g, q f + r g) / 2^30.
struct Transition {
    int32_t u, v, q, r;
};

// (2i + 1)^-1 mod 256.
constexpr std::array<uint8_t, 128> make_inverse_table() {
    std::array<uint8_t, 128> t{};
    for (uint32_t i = 0; i < 128; ++i) {
        const uint32_t x = 2 * i + 1;
        uint32_t inv = x;  // correct to 3 bits; each step doubles that
        for (int k = 0; k < 3; ++k) inv *= 2 - x * inv;
        t[i] = static_cast<uint8_t>(inv);
    }
    return t;
}
constexpr std::array<uint8_t, 128> kInverse256 = make_inverse_table();

// Thirty divsteps without a data-dependent branch. Only the low 30 bits of f
// and g need to be right: step i looks at bit 0 of g after i halvings.
int32_t divsteps_30_ct(int32_t eta, uint32_t f, uint32_t g, Transition& t) {
    uint32_t u = 1, v = 0, q = 0, r = 1;
    for (int i = 0; i < 30; ++i) {
        // c1: eta < 0. c2: g odd. A swap happens when both hold.
        uint32_t c1 = static_cast<uint32_t>(eta >> 31);
        const uint32_t x = (f ^ c1) - c1;
        const uint32_t y = (u ^ c1) - c1;
        const uint32_t z = (v ^ c1) - c1;
        const uint32_t c2 = 0 - (g & 1);
        // g += +-f when g is odd (minus f when a swap is due).
        g += x & c2;
        q += y & c2;
        r += z & c2;
        c1 &= c2;
        // Swap: eta = -eta - 1; otherwise eta - 1.
        eta = (eta ^ static_cast<int32_t>(c1)) - (static_cast<int32_t>(c1) + 1);
        // On a swap g now holds g - f, so f + g is the old g.
        f += g & c1;
        u += q & c1;
        v += r & c1;
        g >>= 1;
        u <<= 1;
        v <<= 1;
    }
    t.u = static_cast<int32_t>(u);
    t.v = static_cast<int32_t>(v);
    t.q = static_cast<int32_t>(q);
    t.r = static_cast<int32_t>(r);
    return eta;
}

// The same thirty divsteps, skipping runs of zero bits of g and clearing up to
// eight bits of an odd g at once with an inverse of f modulo 256. Between two
// swaps the divsteps add f to g only while g is odd, so several of them
// together add the unique w*f, w < 2^k, that makes g divisible by 2^k.
int32_t divsteps_30_var(int32_t eta, uint32_t f, uint32_t g, Transition& t) {
    uint32_t u = 1, v = 0, q = 0, r = 1;
    int i = 30;
    for (;;) {
        const int zeros = std::countr_zero(g | (UINT32_MAX << i));
        g >>= zeros;
        u <<= zeros;
        v <<= zeros;
        eta -= zeros;
        i -= zeros;
        if (i == 0) break;
        if (eta < 0) {
            // Swap to (g, -f) with eta negated; the step that follows is then an
            // ordinary odd step.
            eta = -eta;
            uint32_t tmp = f;
            f = g;
            g = 0 - tmp;
            tmp = u;
            u = q;
            q = 0 - tmp;
            tmp = v;
            v = r;
            r = 0 - tmp;
        }
        // No swap can occur within the next eta + 1 steps.
        const int limit = std::min({eta + 1, i, 8});
        const uint32_t m = (UINT32_MAX >> (32 - limit)) & 255u;
        const uint32_t w = (0 - g * kInverse256[(f >> 1) & 127]) & m;
        g += f * w;
        q += u * w;
        r += v * w;
    }
    t.u = static_cast<int32_t>(u);
    t.v = static_cast<int32_t>(v);
    t.q = static_cast<int32_t>(q);
    t.r = static_cast<int32_t>(r);
    return eta;
}

// (f, g) <- (u f + v g, q f + r g) / 2^30; the division is exact.
void update_fg(Signed30& f, Signed30& g, const Transition& t) {
    const int64_t u = t.u, v = t.v, q = t.q, r = t.r;
    int64_t cf = u * f.v[0] + v * g.v[0];
    int64_t cg = q * f.v[0] + r * g.v[0];
    cf >>= 30;
    cg >>= 30;
    for (int i = 1; i < 9; ++i) {
        cf += u * f.v[i] + v * g.v[i];
        cg += q * f.v[i] + r * g.v[i];
        f.v[i - 1] = static_cast<int32_t>(cf & kMask30);
        g.v[i - 1] = static_cast<int32_t>(cg & kMask30);
        cf >>= 30;
        cg >>= 30;
    }
    f.v[8] = static_cast<int32_t>(cf);
    g.v[8] = static_cast<int32_t>(cg);
}

// (d, e) <- (u d + v e, q d + r e) / 2^30 mod m, keeping both in (-2m, m).
// The multiple of m to add starts as u (or v) for each negative input, which
// is as if d (or e) had m added, and is then lowered by the amount that
// clears the low 30 bits; the result stays in range because |u| + |v| <= 2^30.
void update_de(Signed30& d, Signed30& e, const Transition& t, const Modulus& mod) {
    const int32_t u = t.u, v = t.v, q = t.q, r = t.r;
    const int32_t sd = d.v[8] >> 31;
    const int32_t se = e.v[8] >> 31;
    int32_t md = (u & sd) + (v & se);
    int32_t me = (q & sd) + (r & se);
    int64_t cd = static_cast<int64_t>(u) * d.v[0] + static_cast<int64_t>(v) * e.v[0];
    int64_t ce = static_cast<int64_t>(q) * d.v[0] + static_cast<int64_t>(r) * e.v[0];
    md -= static_cast<int32_t>((mod.m_inv30 * static_cast<uint32_t>(cd) + static_cast<uint32_t>(md)) & kMask30);
    me -= static_cast<int32_t>((mod.m_inv30 * static_cast<uint32_t>(ce) + static_cast<uint32_t>(me)) & kMask30);
    cd += static_cast<int64_t>(mod.m.v[0]) * md;
    ce += static_cast<int64_t>(mod.m.v[0]) * me;
    cd >>= 30;
    ce >>= 30;
    for (int i = 1; i < 9; ++i) {
        cd += static_cast<int64_t>(u) * d.v[i] + static_cast<int64_t>(v) * e.v[i] +
              static_cast<int64_t>(mod.m.v[i]) * md;
        ce += static_cast<int64_t>(q) * d.v[i] + static_cast<int64_t>(r) * e.v[i] +
              static_cast<int64_t>(mod.m.v[i]) * me;
        d.v[i - 1] = static_cast<int32_t>(cd & kMask30);
        e.v[i - 1] = static_cast<int32_t>(ce & kMask30);
        cd >>= 30;
        ce >>= 30;
    }
    d.v[8] = static_cast<int32_t>(cd);
    e.v[8] = static_cast<int32_t>(ce);
}

void propagate_carries(Signed30& x) {
    for (int i = 0; i < 8; ++i) {
        x.v[i + 1] += x.v[i] >> 30;
        x.v[i] &= kMask30;
    }
}

// d in (-2m, m) to d * sign(f) in [0, m), branch-free.
void normalize(Signed30& d, int32_t f_top, const Modulus& mod) {
    const int32_t add1 = d.v[8] >> 31;
    for (int i = 0; i < 9; ++i) d.v[i] += mod.m.v[i] & add1;
    const int32_t neg = f_top >> 31;
    for (int i = 0; i < 9; ++i) d.v[i] = (d.v[i] ^ neg) - neg;
    propagate_carries(d);
    const int32_t add2 = d.v[8] >> 31;
    for (int i = 0; i < 9; ++i) d.v[i] += mod.m.v[i] & add2;
    propagate_carries(d);
}

bool is_zero(const Signed30& x) {
    int32_t acc = 0;
    for (int i = 0; i < 9; ++i) acc |= x.v[i];
    return acc == 0;
}

}  // namespace

Signed30 from_u64x4(const uint64_t a[4]) {
    Signed30 s;
    s.v[0] = static_cast<int32_t>(a[0] & kMask30);
    s.v[1] = static_cast<int32_t>((a[0] >> 30) & kMask30);
    s.v[2] = static_cast<int32_t>(((a[0] >> 60) | (a[1] << 4)) & kMask30);
    s.v[3] = static_cast<int32_t>((a[1] >> 26) & kMask30);
    s.v[4] = static_cast<int32_t>(((a[1] >> 56) | (a[2] << 8)) & kMask30);
    s.v[5] = static_cast<int32_t>((a[2] >> 22) & kMask30);
    s.v[6] = static_cast<int32_t>(((a[2] >> 52) | (a[3] << 12)) & kMask30);
    s.v[7] = static_cast<int32_t>((a[3] >> 18) & kMask30);
    s.v[8] = static_cast<int32_t>(a[3] >> 48);
    return s;
}

void to_u64x4(const Signed30& s, uint64_t out[4]) {
    const auto w = [&](int i) { return static_cast<uint64_t>(static_cast<uint32_t>(s.v[i])); };
    out[0] = w(0) | (w(1) << 30) | (w(2) << 60);
    out[1] = (w(2) >> 4) | (w(3) << 26) | (w(4) << 56);
    out[2] = (w(4) >> 8) | (w(5) << 22) | (w(6) << 52);
    out[3] = (w(6) >> 12) | (w(7) << 18) | (w(8) << 48);
}

void inverse_var(Signed30& x, const Modulus& mod) {
    if (is_zero(x)) return;
    Signed30 d{}, e{}, f = mod.m, g = x;
    e.v[0] = 1;
    int32_t eta = -1;
    for (;;) {
        Transition t;
        eta = divsteps_30_var(eta, static_cast<uint32_t>(f.v[0]), static_cast<uint32_t>(g.v[0]), t);
        update_de(d, e, t, mod);
        update_fg(f, g, t);
        if (is_zero(g)) break;
    }
    normalize(d, f.v[8], mod);
    x = d;
}

void inverse_ct(Signed30& x, const Modulus& mod) {
    Signed30 d{}, e{}, f = mod.m, g = x;
    e.v[0] = 1;
    int32_t eta = -1;
    // 750 divsteps: more than the 742 that any 256-bit input can need.
    for (int batch = 0; batch < 25; ++batch) {
        Transition t;
        eta = divsteps_30_ct(eta, static_cast<uint32_t>(f.v[0]), static_cast<uint32_t>(g.v[0]), t);
        update_de(d, e, t, mod);
        update_fg(f, g, t);
    }
    normalize(d, f.v[8], mod);
    x = d;
    // The constant-time form serves secrets: its working state goes too.
    secure_wipe_value(d);
    secure_wipe_value(e);
    secure_wipe_value(f);
    secure_wipe_value(g);
}

void signed62_to_u64x4(const Signed62& s, uint64_t out[4]) {
    const auto w = [&](int i) { return static_cast<uint64_t>(s.v[i]); };
    out[0] = w(0) | (w(1) << 62);
    out[1] = (w(1) >> 2) | (w(2) << 60);
    out[2] = (w(2) >> 4) | (w(3) << 58);
    out[3] = (w(3) >> 6) | (w(4) << 56);
}

#if QORVEX_SAFEGCD62

namespace {

__extension__ typedef __int128 int128_t;

constexpr int64_t kMask62 = 0x3FFFFFFFFFFFFFFFLL;

// 2^62 times the map of one batch, as Transition for 30 divsteps.
struct Transition62 {
    int64_t u, v, q, r;
};

// Sixty-two divsteps without a data-dependent branch; the 30-step form
// with 64-bit words.
int64_t divsteps_62_ct(int64_t eta, uint64_t f, uint64_t g, Transition62& t) {
    uint64_t u = 1, v = 0, q = 0, r = 1;
    for (int i = 0; i < 62; ++i) {
        uint64_t c1 = static_cast<uint64_t>(eta >> 63);
        const uint64_t x = (f ^ c1) - c1;
        const uint64_t y = (u ^ c1) - c1;
        const uint64_t z = (v ^ c1) - c1;
        const uint64_t c2 = 0 - (g & 1);
        g += x & c2;
        q += y & c2;
        r += z & c2;
        c1 &= c2;
        eta = (eta ^ static_cast<int64_t>(c1)) - (static_cast<int64_t>(c1) + 1);
        f += g & c1;
        u += q & c1;
        v += r & c1;
        g >>= 1;
        u <<= 1;
        v <<= 1;
    }
    t.u = static_cast<int64_t>(u);
    t.v = static_cast<int64_t>(v);
    t.q = static_cast<int64_t>(q);
    t.r = static_cast<int64_t>(r);
    return eta;
}

// Sixty-two divsteps skipping runs of zero bits and clearing up to eight
// bits of g at once, as divsteps_30_var.
int64_t divsteps_62_var(int64_t eta, uint64_t f, uint64_t g, Transition62& t) {
    uint64_t u = 1, v = 0, q = 0, r = 1;
    int i = 62;
    for (;;) {
        const int zeros = std::countr_zero(g | (UINT64_MAX << i));
        g >>= zeros;
        u <<= zeros;
        v <<= zeros;
        eta -= zeros;
        i -= zeros;
        if (i == 0) break;
        if (eta < 0) {
            eta = -eta;
            uint64_t tmp = f;
            f = g;
            g = 0 - tmp;
            tmp = u;
            u = q;
            q = 0 - tmp;
            tmp = v;
            v = r;
            r = 0 - tmp;
        }
        const int limit = static_cast<int>(std::min<int64_t>({eta + 1, i, 8}));
        const uint64_t m = (UINT64_MAX >> (64 - limit)) & 255u;
        const uint64_t w = (0 - g * kInverse256[(f >> 1) & 127]) & m;
        g += f * w;
        q += u * w;
        r += v * w;
    }
    t.u = static_cast<int64_t>(u);
    t.v = static_cast<int64_t>(v);
    t.q = static_cast<int64_t>(q);
    t.r = static_cast<int64_t>(r);
    return eta;
}

// (f, g) <- (u f + v g, q f + r g) / 2^62 over the first len limbs (the
// others are known to be sign extension); the division is exact.
void update_fg_62(Signed62& f, Signed62& g, const Transition62& t, int len) {
    const int64_t u = t.u, v = t.v, q = t.q, r = t.r;
    int128_t cf = static_cast<int128_t>(u) * f.v[0] + static_cast<int128_t>(v) * g.v[0];
    int128_t cg = static_cast<int128_t>(q) * f.v[0] + static_cast<int128_t>(r) * g.v[0];
    cf >>= 62;
    cg >>= 62;
    for (int i = 1; i < len; ++i) {
        cf += static_cast<int128_t>(u) * f.v[i] + static_cast<int128_t>(v) * g.v[i];
        cg += static_cast<int128_t>(q) * f.v[i] + static_cast<int128_t>(r) * g.v[i];
        f.v[i - 1] = static_cast<int64_t>(cf) & kMask62;
        g.v[i - 1] = static_cast<int64_t>(cg) & kMask62;
        cf >>= 62;
        cg >>= 62;
    }
    f.v[len - 1] = static_cast<int64_t>(cf);
    g.v[len - 1] = static_cast<int64_t>(cg);
}

// (d, e) <- (u d + v e, q d + r e) / 2^62 mod m, keeping both in (-2m, m);
// update_de with 62-bit limbs (the multiples of m stay within 64 bits:
// |u| + |v| <= 2^62).
void update_de_62(Signed62& d, Signed62& e, const Transition62& t, const Modulus62& mod) {
    const int64_t u = t.u, v = t.v, q = t.q, r = t.r;
    const int64_t sd = d.v[4] >> 63;
    const int64_t se = e.v[4] >> 63;
    int64_t md = (u & sd) + (v & se);
    int64_t me = (q & sd) + (r & se);
    int128_t cd = static_cast<int128_t>(u) * d.v[0] + static_cast<int128_t>(v) * e.v[0];
    int128_t ce = static_cast<int128_t>(q) * d.v[0] + static_cast<int128_t>(r) * e.v[0];
    md -= static_cast<int64_t>((mod.m_inv62 * static_cast<uint64_t>(cd) + static_cast<uint64_t>(md)) &
                               static_cast<uint64_t>(kMask62));
    me -= static_cast<int64_t>((mod.m_inv62 * static_cast<uint64_t>(ce) + static_cast<uint64_t>(me)) &
                               static_cast<uint64_t>(kMask62));
    cd += static_cast<int128_t>(mod.m.v[0]) * md;
    ce += static_cast<int128_t>(mod.m.v[0]) * me;
    cd >>= 62;
    ce >>= 62;
    for (int i = 1; i < 5; ++i) {
        cd += static_cast<int128_t>(u) * d.v[i] + static_cast<int128_t>(v) * e.v[i];
        ce += static_cast<int128_t>(q) * d.v[i] + static_cast<int128_t>(r) * e.v[i];
        if (mod.m.v[i] != 0) {  // the modulus, not the data, decides
            cd += static_cast<int128_t>(mod.m.v[i]) * md;
            ce += static_cast<int128_t>(mod.m.v[i]) * me;
        }
        d.v[i - 1] = static_cast<int64_t>(cd) & kMask62;
        e.v[i - 1] = static_cast<int64_t>(ce) & kMask62;
        cd >>= 62;
        ce >>= 62;
    }
    d.v[4] = static_cast<int64_t>(cd);
    e.v[4] = static_cast<int64_t>(ce);
}

void propagate_carries_62(Signed62& x) {
    for (int i = 0; i < 4; ++i) {
        x.v[i + 1] += x.v[i] >> 62;
        x.v[i] &= kMask62;
    }
}

// d in (-2m, m) to d * sign(f) in [0, m), branch-free.
void normalize_62(Signed62& d, int64_t f_top, const Modulus62& mod) {
    const int64_t add1 = d.v[4] >> 63;
    for (int i = 0; i < 5; ++i) d.v[i] += mod.m.v[i] & add1;
    const int64_t neg = f_top >> 63;
    for (int i = 0; i < 5; ++i) d.v[i] = (d.v[i] ^ neg) - neg;
    propagate_carries_62(d);
    const int64_t add2 = d.v[4] >> 63;
    for (int i = 0; i < 5; ++i) d.v[i] += mod.m.v[i] & add2;
    propagate_carries_62(d);
}

}  // namespace

void inverse_var(Signed62& x, const Modulus62& mod) {
    if ((x.v[0] | x.v[1] | x.v[2] | x.v[3] | x.v[4]) == 0) return;
    Signed62 d{}, e{}, f = mod.m, g = x;
    e.v[0] = 1;
    int64_t eta = -1;
    int len = 5;
    for (;;) {
        Transition62 t;
        eta = divsteps_62_var(eta, static_cast<uint64_t>(f.v[0]), static_cast<uint64_t>(g.v[0]), t);
        update_de_62(d, e, t, mod);
        update_fg_62(f, g, t, len);
        // g = 0 ends it; as f and g shrink, their top limbs become pure sign
        // extension and are dropped from later updates.
        int64_t any = g.v[0];
        for (int i = 1; i < len; ++i) any |= g.v[i];
        if (any == 0) break;
        const int64_t fn = f.v[len - 1], gn = g.v[len - 1];
        if (len > 1 && ((fn ^ (fn >> 63)) | (gn ^ (gn >> 63))) == 0) {
            // Both top limbs are 0 or -1: fold them into the limb below.
            f.v[len - 2] |= static_cast<int64_t>(static_cast<uint64_t>(fn) << 62);
            g.v[len - 2] |= static_cast<int64_t>(static_cast<uint64_t>(gn) << 62);
            --len;
        }
    }
    normalize_62(d, f.v[len - 1], mod);
    x = d;
}

void inverse_ct(Signed62& x, const Modulus62& mod) {
    Signed62 d{}, e{}, f = mod.m, g = x;
    e.v[0] = 1;
    int64_t eta = -1;
    // 744 divsteps: more than the 742 that any 256-bit input can need.
    for (int batch = 0; batch < 12; ++batch) {
        Transition62 t;
        eta = divsteps_62_ct(eta, static_cast<uint64_t>(f.v[0]), static_cast<uint64_t>(g.v[0]), t);
        update_de_62(d, e, t, mod);
        update_fg_62(f, g, t, 5);
    }
    normalize_62(d, f.v[4], mod);
    x = d;
    // The constant-time form serves secrets: its working state goes too.
    secure_wipe_value(d);
    secure_wipe_value(e);
    secure_wipe_value(f);
    secure_wipe_value(g);
}

#endif  // QORVEX_SAFEGCD62

}  // namespace qorvex::safegcd
