#include "sig/ecdsa.h"

#include <cstring>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "hash/hmac_sha256.h"
#include "support/bytes.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::ecdsa {

namespace {

// n, big-endian.
constexpr uint8_t kOrderBytes[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xBA, 0xAE, 0xDC, 0xE6, 0xAF, 0x48,
                                     0xA0, 0x3B, 0xBF, 0xD2, 0x5E, 0x8C, 0xD0, 0x36, 0x41, 0x41};
// p - n, big-endian: the x coordinates in [n, p) are those below this plus n.
constexpr uint8_t kPMinusNBytes[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01,
                                       0x45, 0x51, 0x23, 0x19, 0x50, 0xB7, 0x5F, 0xC4, 0x40, 0x2D,
                                       0xA1, 0x72, 0x2F, 0xC9, 0xBA, 0xEE};

// All ones when the big-endian a >= b, reading every byte.
uint64_t ge_mask_ct(const uint8_t a[32], const uint8_t b[32]) {
    uint64_t borrow = 0;
    for (int i = 31; i >= 0; --i) {
        const uint64_t d = uint64_t{a[i]} - b[i] - borrow;
        borrow = (d >> 63) & 1;
    }
    return ct::mask_from_bit(borrow ^ 1);
}

FieldElement field_of(const Scalar& s) { return FieldElement{{s.limb[0], s.limb[1], s.limb[2], s.limb[3]}}; }

// n as a field element (n < p).
constexpr FieldElement kOrderInField{{Scalar::kN[0], Scalar::kN[1], Scalar::kN[2], Scalar::kN[3]}};

// Whether x(R) = r + n is possible: r + n < p, that is r < p - n.
bool r_plus_n_below_p(const Scalar& r) {
    uint8_t rb[32];
    r.to_bytes(rb);
    return !ge_mask_ct(rb, kPMinusNBytes);
}

// x(R), r = x(R) mod n, the parity of y(R) and whether x(R) >= n, for the
// secret nonce point R. R is made affine with the constant-time inverse; r
// becomes public with the signature, the other two with the recovery id.
struct NoncePoint {
    Scalar r;
    uint64_t odd_y;
    uint64_t x_overflow;  // mask
};

NoncePoint nonce_point(const Point& affine_r) {
    uint8_t x[32];
    affine_r.X.to_bytes(x);
    NoncePoint out{Scalar::from_bytes_reduce(x), 0, 0};
    // r is the first half of the signature.
    declassify_value(out.r);
    out.odd_y = affine_r.Y.limb[0] & 1;
    out.x_overflow = ge_mask_ct(x, kOrderBytes);
    secure_wipe(x, sizeof x);
    return out;
}

// The MAC key of RFC 6979's first step, K = 0x00 * 32: the same chaining
// values for every signature, computed once.
const HmacSha256Key& initial_nonce_key() {
    static const HmacSha256Key key = [] {
        HmacSha256Key k{};
        const uint8_t zero[32] = {};
        k.set(zero);
        return k;
    }();
    return key;
}

// The signature from the affine nonce point R = k*G and k^-1.
Signature finish(const uint8_t msg32[32], const Scalar& d, const Point& affine_r, const Scalar& kinv, int* recid) {
    if (recid) *recid = 0;
    const Signature fail{Scalar::zero(), Scalar::zero()};
    const NoncePoint np = nonce_point(affine_r);
    if (np.r.is_zero()) return fail;
    WipeOnExit<Scalar> z([&] { return Scalar::from_bytes_reduce(msg32); });
    WipeOnExit<Scalar> rd([&] { return np.r.mul(d); });
    WipeOnExit<Scalar> sum([&] { return z->add_ct(*rd); });
    Signature sig{np.r, kinv.mul(*sum)};
    // s = 0 only fails the call, which makes it public anyway.
    if (declassify_bool(sig.s.is_zero())) return fail;
    const uint64_t high = sig.s.is_high_mask();
    sig.s = sig.s.cond_negate_ct(high);
    // The low-S signature is the result.
    declassify_value(sig);
    // Negating s negates R, which flips only the parity bit.
    if (recid) *recid = static_cast<int>(((np.x_overflow & 2) | np.odd_y) ^ (high & 1));
    // The recovery id is published with the signature.
    if (recid) declassify_value(*recid);
    return sig;
}

Signature sign_impl(const uint8_t msg32[32], const Scalar& d, int* recid) {
    if (recid) *recid = 0;
    const Signature fail{Scalar::zero(), Scalar::zero()};
    // Callers refuse a zero key first, with a code that makes it public.
    if (declassify_bool(d.is_zero())) return fail;
    WipeOnExit<Scalar> k([&] { return rfc6979_nonce(d, msg32); });
    // A zero nonce needs HMAC outputs of 0 or n twice; failing then only
    // says that, so the branch reveals nothing usable.
    if (declassify_bool(k->is_zero())) return fail;
    WipeOnExit<Point> big_r([&] { return gen_mul_blinded(*k); });
    // R itself is public (anyone can compute it from the signature, the
    // message and the key); only its Jacobian coordinates must stay hidden.
    declassify_value(big_r->infinity);
    if (big_r->infinity) return fail;  // k = 0 only, refused above
    big_r->to_affine_ct_assign();
    WipeOnExit<Scalar> kinv([&] { return k->inverse_ct(); });
    return finish(msg32, d, *big_r, *kinv, recid);
}

}  // namespace

Scalar rfc6979_nonce(const Scalar& d, const uint8_t msg32[32]) {
    SecretBytes<32> V, K, cand1, cand2;
    SecretBytes<97> buf;  // V || marker || x || h1
    WipeOnExit<HmacSha256Key> key;
    std::memset(V.data(), 0x01, 32);
    d.to_bytes(buf.data() + 33);
    std::memcpy(buf.data() + 65, msg32, 32);

    // The MAC lengths used (32, 33, 97) are all within the fixed-key form, so
    // mac() cannot refuse them.
    auto mac = [&](const uint8_t* m, size_t len, uint8_t* out) { (void)key->mac(m, len, out); };
    *key = initial_nonce_key();
    for (uint8_t marker = 0; marker < 2; ++marker) {
        std::memcpy(buf.data(), V.data(), 32);
        buf[32] = marker;
        mac(buf.data(), 97, K.data());
        key->set(K.data());
        mac(V.data(), 32, V.data());
    }
    mac(V.data(), 32, V.data());
    std::memcpy(cand1.data(), V.data(), 32);
    std::memcpy(buf.data(), V.data(), 32);
    buf[32] = 0x00;
    mac(buf.data(), 33, K.data());
    key->set(K.data());
    mac(V.data(), 32, V.data());
    mac(V.data(), 32, V.data());
    std::memcpy(cand2.data(), V.data(), 32);

    // Both candidates are always computed; the first is kept when it lies in
    // [1, n-1].
    uint64_t nonzero = 0;
    for (int i = 0; i < 32; ++i) nonzero |= cand1[i];
    const uint64_t use_first = ~ge_mask_ct(cand1.data(), kOrderBytes) & ct::is_nonzero_mask(nonzero);
    ct::cmov_bytes(cand2.data(), cand1.data(), 32, use_first);
    return Scalar::from_bytes_reduce(cand2.data());
}

Signature sign(const uint8_t msg32[32], const Scalar& d) { return sign_impl(msg32, d, nullptr); }

Signature sign_with_nonce(const uint8_t msg32[32], const Scalar& d, const Point& affine_r, const Scalar& kinv) {
    return finish(msg32, d, affine_r, kinv, nullptr);
}

Signature sign_recoverable(const uint8_t msg32[32], const Scalar& d, int& recid) {
    return sign_impl(msg32, d, &recid);
}

Signature sign_verified(const uint8_t msg32[32], const Scalar& d) {
    Signature sig = sign(msg32, d);
    if (sig.is_zero()) return sig;
    // Verification runs on public values only.
    const Point q = public_key_point(d);
    if (!verify(msg32, q, sig)) return Signature{Scalar::zero(), Scalar::zero()};
    return sig;
}

bool verify(const uint8_t msg32[32], const Point& q, const Signature& sig) {
    if (q.infinity || sig.r.is_zero() || sig.s.is_zero()) return false;
    return verify_with_inverse(msg32, q, sig, sig.s.inverse_var());
}

bool verify_with_inverse(const uint8_t msg32[32], const Point& q, const Signature& sig, const Scalar& w) {
    if (q.infinity || sig.r.is_zero() || sig.s.is_zero()) return false;
    const Scalar z = Scalar::from_bytes_reduce(msg32);
    const Point R = dual_mul(z.mul(w), sig.r.mul(w), q);
    if (R.infinity) return false;
    // x(R) mod n = r without leaving Jacobian form: X = r Z^2, or, when
    // x(R) >= n is possible (r < p - n), X = (r + n) Z^2.
    const FieldElement zz = R.Z.sqr();
    const FieldElement r = field_of(sig.r);
    if ((r * zz).equal(R.X)) return true;
    if (!r_plus_n_below_p(sig.r)) return false;
    return ((r + kOrderInField) * zz).equal(R.X);
}

bool recover(const uint8_t msg32[32], const Signature& sig, int recid, Point& out) {
    if (recid < 0 || recid > 3 || sig.r.is_zero() || sig.s.is_zero()) return false;
    FieldElement x = field_of(sig.r);
    if (recid & 2) {
        if (!r_plus_n_below_p(sig.r)) return false;
        x = x + kOrderInField;
    }
    const Point R = Point::from_x(x, (recid & 1) != 0);
    if (R.infinity) return false;
    const Scalar z = Scalar::from_bytes_reduce(msg32);
    const Scalar rinv = sig.r.inverse_var();
    const Point q = dual_mul(z.mul(rinv).negate(), sig.s.mul(rinv), R);
    if (q.infinity) return false;
    out = q;
    return true;
}

Signature low_s_normalize(const Signature& sig) { return Signature{sig.r, sig.s.cond_negate_ct(sig.s.is_high_mask())}; }

bool parse_compact(const uint8_t in64[64], Signature& out) {
    Signature s;
    if (!Scalar::parse_nonzero(in64, s.r) || !Scalar::parse_nonzero(in64 + 32, s.s)) return false;
    out = s;
    return true;
}

void write_compact(const Signature& sig, uint8_t out64[64]) {
    sig.r.to_bytes(out64);
    sig.s.to_bytes(out64 + 32);
}

bool parse_opaque(const uint8_t in64[64], Signature& out) {
    // Each half little-endian: reversed, it is the compact half.
    uint8_t be[64];
    for (int i = 0; i < 32; ++i) {
        be[31 - i] = in64[i];
        be[63 - i] = in64[32 + i];
    }
    return parse_compact(be, out);
}

void write_opaque(const Signature& sig, uint8_t out64[64]) {
    for (int i = 0; i < 4; ++i) {
        store_le64(out64 + 8 * i, sig.r.limb[i]);
        store_le64(out64 + 32 + 8 * i, sig.s.limb[i]);
    }
}

size_t der_encode(const Signature& sig, uint8_t out72[72]) {
    uint8_t parts[2][33];
    size_t lens[2];
    const Scalar* v[2] = {&sig.r, &sig.s};
    for (int i = 0; i < 2; ++i) {
        uint8_t b[32];
        v[i]->to_bytes(b);
        size_t start = 0;
        while (start < 31 && b[start] == 0) ++start;
        size_t n = 0;
        if (b[start] >= 0x80) parts[i][n++] = 0x00;
        for (size_t j = start; j < 32; ++j) parts[i][n++] = b[j];
        lens[i] = n;
    }
    size_t pos = 0;
    out72[pos++] = 0x30;
    out72[pos++] = static_cast<uint8_t>(4 + lens[0] + lens[1]);
    for (int i = 0; i < 2; ++i) {
        out72[pos++] = 0x02;
        out72[pos++] = static_cast<uint8_t>(lens[i]);
        std::memcpy(out72 + pos, parts[i], lens[i]);
        pos += lens[i];
    }
    return pos;
}

DerError der_decode(const uint8_t* der, size_t len, uint8_t out64[64]) {
    if (len < 8 || len > 72 || der[0] != 0x30) return DerError::sequence;
    if (der[1] & 0x80) return DerError::long_form_length;
    if (len != size_t{der[1]} + 2) return DerError::length_mismatch;
    const uint8_t* value[2];
    size_t value_len[2];
    size_t pos = 2;
    for (int i = 0; i < 2; ++i) {
        if (pos >= len || der[pos] != 0x02) return DerError::missing_integer;
        ++pos;
        if (pos >= len) return DerError::truncated;
        const size_t ilen = der[pos++];
        if (ilen & 0x80) return DerError::long_form_int_length;
        if (ilen == 0 || ilen > len - pos) return DerError::int_length_bounds;
        const uint8_t* p = der + pos;
        if (p[0] >= 0x80) return DerError::negative;
        if (ilen > 1 && p[0] == 0x00 && p[1] < 0x80) return DerError::leading_zero;
        value[i] = p;
        value_len[i] = ilen;
        if (p[0] == 0x00) {  // the one permitted leading zero
            ++value[i];
            --value_len[i];
        }
        pos += ilen;
    }
    if (pos != len) return DerError::trailing_bytes;
    if (value_len[0] > 32 || value_len[1] > 32) return DerError::component_too_long;
    // Assembled aside: the output may overlap the encoding, which must not
    // be cleared before both integers are read out of it.
    uint8_t sig[64] = {};
    std::memcpy(sig + 32 - value_len[0], value[0], value_len[0]);
    std::memcpy(sig + 64 - value_len[1], value[1], value_len[1]);
    std::memcpy(out64, sig, 64);
    Signature s;
    return parse_compact(out64, s) ? DerError::ok : DerError::out_of_range;
}

}  // namespace qorvex::ecdsa
