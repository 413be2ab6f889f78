#include "arith/scalar.h"

#include <bit>
#include <cstring>
#include <stdexcept>

#include "arith/safegcd.h"
#include "support/bytes.h"
#include "support/hex.h"
#include "support/int128.h"

namespace qorvex {

namespace {

// Low 256 bits of mu = floor(2^512 / n) = 2^256 + this.
constexpr uint64_t kMuLow[3] = {0x402DA1732FC9BEC0ULL, 0x4551231950B75FC4ULL, 1};

// n in signed 30-bit limbs.
constexpr safegcd::Signed30 n_signed30() {
    const uint64_t* a = Scalar::kN;
    constexpr int64_t m = 0x3FFFFFFF;
    return safegcd::Signed30{{static_cast<int32_t>(a[0] & m), static_cast<int32_t>((a[0] >> 30) & m),
                              static_cast<int32_t>(((a[0] >> 60) | (a[1] << 4)) & m),
                              static_cast<int32_t>((a[1] >> 26) & m),
                              static_cast<int32_t>(((a[1] >> 56) | (a[2] << 8)) & m),
                              static_cast<int32_t>((a[2] >> 22) & m),
                              static_cast<int32_t>(((a[2] >> 52) | (a[3] << 12)) & m),
                              static_cast<int32_t>((a[3] >> 18) & m), static_cast<int32_t>(a[3] >> 48)}};
}
constexpr safegcd::Modulus kModN = safegcd::make_modulus(n_signed30());

// value + (2^256 - n) with its carry: the carry is set exactly when
// value >= n, and then the sum is value - n.
uint64_t add_nc(const uint64_t in[4], uint64_t out[4]) {
    uint64_t c = 0;
    for (int i = 0; i < 4; ++i) c = add_carry(in[i], Scalar::kNC[i], c, out[i]);
    return c;
}

Scalar reduce_once(const uint64_t in[4], uint64_t extra_carry) {
    Scalar s, t;
    for (int i = 0; i < 4; ++i) s.limb[i] = in[i];
    const uint64_t c = add_nc(s.limb, t.limb);
    return Scalar::select_ct(ct::mask_from_bit(c | extra_carry), s, t);
}

void mul_512(const uint64_t a[4], const uint64_t b[4], uint64_t t[8]) {
    for (int i = 0; i < 8; ++i) t[i] = 0;
    for (int i = 0; i < 4; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < 4; ++j) {
            uint64_t hi;
            const uint64_t lo = mul_wide(a[i], b[j], hi);
            uint64_t c = add_carry(t[i + j], lo, 0, t[i + j]);
            hi += c;
            c = add_carry(t[i + j], carry, 0, t[i + j]);
            carry = hi + c;
        }
        t[i + 4] = carry;
    }
}

// out[0..out_len) = lo[0..4) + hi[0..hi_len) * (2^256 - n), the value known
// to fit in out_len words. Fixed lengths, so fixed operation count.
void fold_nc(const uint64_t lo[4], const uint64_t* hi, int hi_len, uint64_t* out, int out_len) {
    for (int i = 0; i < out_len; ++i) out[i] = i < 4 ? lo[i] : 0;
    for (int i = 0; i < hi_len; ++i) {
        uint64_t carry = 0;
        int j = 0;
        for (; j < 3 && i + j < out_len; ++j) {
            uint64_t h;
            const uint64_t l = mul_wide(hi[i], Scalar::kNC[j], h);
            uint64_t c = add_carry(out[i + j], l, 0, out[i + j]);
            h += c;
            c = add_carry(out[i + j], carry, 0, out[i + j]);
            carry = h + c;
        }
        for (int k = i + j; k < out_len; ++k) carry = add_carry(out[k], carry, 0, out[k]);
    }
}

}  // namespace

Scalar Scalar::from_bytes_reduce(const uint8_t in32[32]) {
    uint64_t l[4];
    for (int i = 0; i < 4; ++i) l[3 - i] = load_be64(in32 + 8 * i);
    return reduce_once(l, 0);
}

bool Scalar::parse_strict(const uint8_t in32[32], Scalar& out) {
    uint64_t l[4], t[4];
    for (int i = 0; i < 4; ++i) l[3 - i] = load_be64(in32 + 8 * i);
    if (add_nc(l, t)) return false;
    std::memcpy(out.limb, l, sizeof l);
    return true;
}

bool Scalar::parse_nonzero(const uint8_t in32[32], Scalar& out) {
    if (!parse_strict(in32, out)) return false;
    return !out.is_zero();
}

Scalar Scalar::from_limbs(uint64_t l0, uint64_t l1, uint64_t l2, uint64_t l3) {
    const uint64_t l[4] = {l0, l1, l2, l3};
    return reduce_once(l, 0);
}

Scalar Scalar::from_hex(const char* hex) {
    if (std::strlen(hex) != 64) throw std::invalid_argument("Hex string must be exactly 64 characters (32 bytes)");
    uint8_t b[32];
    if (!hex_to_bytes32(hex, b)) throw std::invalid_argument("Invalid hex character");
    return from_bytes_reduce(b);
}

void Scalar::to_bytes(uint8_t out32[32]) const {
    for (int i = 0; i < 4; ++i) store_be64(out32 + 8 * i, limb[3 - i]);
}

Scalar Scalar::add_ct(const Scalar& b) const {
    uint64_t s[4];
    uint64_t c = 0;
    for (int i = 0; i < 4; ++i) c = add_carry(limb[i], b.limb[i], c, s[i]);
    return reduce_once(s, c);
}

Scalar Scalar::add(const Scalar& b) const { return add_ct(b); }

Scalar Scalar::subtract_ct(const Scalar& b) const {
    Scalar d;
    uint64_t borrow = 0;
    for (int i = 0; i < 4; ++i) borrow = sub_borrow(limb[i], b.limb[i], borrow, d.limb[i]);
    const uint64_t m = ct::mask_from_bit(borrow);
    uint64_t c = 0;
    for (int i = 0; i < 4; ++i) c = add_carry(d.limb[i], kN[i] & m, c, d.limb[i]);
    return d;
}

Scalar Scalar::subtract(const Scalar& b) const { return subtract_ct(b); }

Scalar Scalar::negate_ct() const { return zero().subtract_ct(*this); }

Scalar Scalar::negate() const { return negate_ct(); }

Scalar Scalar::cond_negate_ct(uint64_t m) const { return select_ct(m, *this, negate_ct()); }

Scalar Scalar::mul(const Scalar& b) const {
    uint64_t t[8];
    mul_512(limb, b.limb, t);
    // Barrett: q = floor(q1 * mu / 2^256) with q1 = t / 2^256 and
    // mu = 2^256 + kMuLow, so q = q1 + floor(q1 * kMuLow / 2^256).
    const uint64_t* q1 = t + 4;
    uint64_t p[7] = {0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        uint64_t carry = 0;
        for (int j = 0; j < 3; ++j) {
            uint64_t hi;
            const uint64_t lo = mul_wide(q1[i], kMuLow[j], hi);
            uint64_t c = add_carry(p[i + j], lo, 0, p[i + j]);
            hi += c;
            c = add_carry(p[i + j], carry, 0, p[i + j]);
            carry = hi + c;
        }
        p[i + 3] = carry;
    }
    uint64_t q[4];
    uint64_t c = add_carry(q1[0], p[4], 0, q[0]);
    c = add_carry(q1[1], p[5], c, q[1]);
    c = add_carry(q1[2], p[6], c, q[2]);
    q[3] = q1[3] + c;  // q <= the true quotient < n, so this cannot wrap
    // r = t - q*n, computed modulo 2^320; it is below 3n.
    uint64_t qn[5] = {0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        uint64_t carry = 0;
        for (int j = 0; i + j < 5 && j < 4; ++j) {
            uint64_t hi;
            const uint64_t lo = mul_wide(q[i], kN[j], hi);
            uint64_t cc = add_carry(qn[i + j], lo, 0, qn[i + j]);
            hi += cc;
            cc = add_carry(qn[i + j], carry, 0, qn[i + j]);
            carry = hi + cc;
        }
        if (i + 4 < 5) qn[i + 4] += carry;
    }
    uint64_t r[5];
    uint64_t bw = 0;
    for (int i = 0; i < 5; ++i) bw = sub_borrow(t[i], qn[i], bw, r[i]);
    // At most two subtractions of n, each kept only when it does not borrow.
    for (int round = 0; round < 2; ++round) {
        uint64_t s[5];
        bw = 0;
        for (int i = 0; i < 4; ++i) bw = sub_borrow(r[i], kN[i], bw, s[i]);
        bw = sub_borrow(r[4], 0, bw, s[4]);
        const uint64_t keep = ct::mask_from_bit(bw);
        for (int i = 0; i < 5; ++i) r[i] = ct::select(keep, s[i], r[i]);
    }
    return Scalar{{r[0], r[1], r[2], r[3]}};
}

Scalar Scalar::mul_fold(const Scalar& b) const {
    uint64_t t[8], u[7], v[5], w[5];
    mul_512(limb, b.limb, t);
    fold_nc(t, t + 4, 4, u, 7);  // below 2^386
    fold_nc(u, u + 4, 3, v, 5);  // below 2^260
    fold_nc(v, v + 4, 1, w, 5);  // below 2^256 + 2^133
    const Scalar r = reduce_once(w, w[4]);
    return from_limbs(r.limb[0], r.limb[1], r.limb[2], r.limb[3]);
}

Scalar Scalar::inverse_var() const {
    if (is_zero()) return zero();
    safegcd::Signed30 s = safegcd::from_u64x4(limb);
    safegcd::inverse_var(s, kModN);
    Scalar r;
    safegcd::to_u64x4(s, r.limb);
    return r;
}

Scalar Scalar::inverse_ct() const {
    // a^(n-2) with a fixed 4-bit window; the exponent is public, so skipping
    // its zero nibbles reveals nothing about a.
    Scalar table[16];
    table[0] = one();
    table[1] = *this;
    for (int i = 2; i < 16; ++i) table[i] = table[i - 1].mul(*this);
    static constexpr uint64_t kExp[4] = {kN[0] - 2, kN[1], kN[2], kN[3]};
    Scalar r = table[kExp[3] >> 60];
    for (int nib = 62; nib >= 0; --nib) {
        for (int s = 0; s < 4; ++s) r = r.mul(r);
        const unsigned d = static_cast<unsigned>((kExp[nib / 16] >> (4 * (nib % 16))) & 15);
        if (d != 0) r = r.mul(table[d]);
    }
    return r;
}

Scalar Scalar::halve_ct() const {
    const uint64_t m = ct::mask_from_bit(limb[0]);
    uint64_t s[4];
    uint64_t c = 0;
    for (int i = 0; i < 4; ++i) c = add_carry(limb[i], kN[i] & m, c, s[i]);
    return Scalar{{(s[0] >> 1) | (s[1] << 63), (s[1] >> 1) | (s[2] << 63), (s[2] >> 1) | (s[3] << 63),
                   (s[3] >> 1) | (c << 63)}};
}

uint64_t Scalar::is_high_mask() const {
    uint64_t d, bw = 0;
    for (int i = 0; i < 4; ++i) bw = sub_borrow(kHalfN[i], limb[i], bw, d);
    return ct::mask_from_bit(bw);
}

uint64_t Scalar::bit_ct(unsigned i) const {
    const unsigned idx = i >> 6;
    uint64_t w = 0;
    for (unsigned j = 0; j < 4; ++j) w |= limb[j] & ct::mask(j == idx);
    return (w >> (i & 63)) & 1;
}

uint64_t Scalar::bits(unsigned offset, unsigned count) const {
    if (offset >= 256 || count == 0) return 0;
    const unsigned idx = offset >> 6, sh = offset & 63;
    uint64_t v = limb[idx] >> sh;
    if (sh != 0 && idx + 1 < 4) v |= limb[idx + 1] << (64 - sh);
    if (count < 64) v &= (uint64_t{1} << count) - 1;
    return v;
}

unsigned Scalar::bit_length() const {
    for (int i = 3; i >= 0; --i) {
        if (limb[i] != 0) return static_cast<unsigned>(64 * i + 64 - std::countl_zero(limb[i]));
    }
    return 0;
}

const Scalar& Scalar::lambda() {
    static const Scalar l = from_hex("5363AD4CC05C30E0A5261C028812645A122E22EA20816678DF02967C1B23BD72");
    return l;
}

}  // namespace qorvex
