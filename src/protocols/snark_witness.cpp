#include "protocols/snark_witness.h"

#include <cstring>
#include <iterator>

#include "arith/field.h"
#include "arith/point_mul.h"
#include "sig/schnorr.h"
#include "sig/xonly_cache.h"
#include "support/bytes.h"

namespace qorvex::snark {

namespace {

constexpr uint64_t kLimbMask = (uint64_t{1} << 52) - 1;

// The limb52 fields follow the 32-byte values they restate, in order.
void write_limbs(uint8_t* record, size_t limbs_at, const size_t* value_offsets, size_t count) {
    for (size_t i = 0; i < count; ++i) write_limb52(record + value_offsets[i], record + limbs_at + i * kLimb52Size);
}

void write_scalar(uint8_t* record, size_t at, const Scalar& v) { v.to_bytes(record + at); }
void write_field(uint8_t* record, size_t at, const FieldElement& v) { v.to_bytes(record + at); }

}  // namespace

void write_limb52(const uint8_t be32[32], uint8_t out40[kLimb52Size]) {
    // The four 64-bit words of v, least significant first.
    const uint64_t v0 = load_be64(be32 + 24), v1 = load_be64(be32 + 16), v2 = load_be64(be32 + 8),
                   v3 = load_be64(be32);
    const uint64_t limbs[5] = {v0 & kLimbMask, ((v0 >> 52) | (v1 << 12)) & kLimbMask,
                               ((v1 >> 40) | (v2 << 24)) & kLimbMask, ((v2 >> 28) | (v3 << 36)) & kLimbMask,
                               v3 >> 16};
    for (int k = 0; k < 5; ++k) store_le64(out40 + 8 * k, limbs[k]);
}

void ecdsa_witness(const uint8_t msg32[32], const Point& q, const Scalar& r, const Scalar& s,
                   uint8_t out[ecdsa_layout::kSize]) {
    using namespace ecdsa_layout;
    std::memset(out, 0, kSize);
    std::memcpy(out + kMsg, msg32, 32);
    write_scalar(out, kR, r);
    write_scalar(out, kS, s);
    const AffinePoint qa = q.to_affine();
    write_field(out, kQx, qa.x);
    write_field(out, kQy, qa.y);

    const Scalar z = Scalar::from_bytes_reduce(msg32);
    const Scalar w = s.inverse_var();
    const Scalar u1 = z.mul(w), u2 = r.mul(w);
    write_scalar(out, kW, w);
    write_scalar(out, kU1, u1);
    write_scalar(out, kU2, u2);

    // u1*G + u2*Q is infinity only for u1 = -u2 * log(Q): the R fields, the
    // reduction and the flag then stay zero, and the signature is invalid.
    const Point big_r = dual_mul(u1, u2, q);
    if (!big_r.infinity && !big_r.Z.is_zero()) {
        const AffinePoint ra = big_r.to_affine();
        write_field(out, kRx, ra.x);
        write_field(out, kRy, ra.y);
        const Scalar rx_mod_n = Scalar::from_bytes_reduce(out + kRx);
        write_scalar(out, kRxModN, rx_mod_n);
        store_le32(out + kValid, rx_mod_n.equal(r) ? 1 : 0);
    }
    static constexpr size_t kLimbed[] = {kR, kS, kQx, kQy, kW, kU1, kU2, kRx, kRy, kRxModN};
    write_limbs(out, kLimbs, kLimbed, std::size(kLimbed));
}

void schnorr_witness(const uint8_t msg32[32], const uint8_t xonly32[32], const uint8_t sig64[64], const Scalar& s,
                     uint8_t out[schnorr_layout::kSize]) {
    using namespace schnorr_layout;
    std::memset(out, 0, kSize);
    std::memcpy(out + kMsg, msg32, 32);
    std::memcpy(out + kR, sig64, 32);
    std::memcpy(out + kS, sig64 + 32, 32);
    std::memcpy(out + kPx, xonly32, 32);

    // r and x enter the circuit as field elements: their limbs are of the
    // values reduced modulo p, which the 32-byte fields above need not be.
    uint8_t r_mod_p[32], x_mod_p[32];
    FieldElement::from_bytes_reduce(sig64).to_bytes(r_mod_p);
    FieldElement::from_bytes_reduce(xonly32).to_bytes(x_mod_p);
    const uint8_t* limbed[] = {r_mod_p, out + kS, x_mod_p, out + kRy, out + kPy, out + kE};

    auto finish = [&] {
        for (size_t i = 0; i < std::size(limbed); ++i) write_limb52(limbed[i], out + kLimbs + i * kLimb52Size);
    };

    // Each signature is lifted once: caching its R would only push keys out
    // of this thread's cache.
    XonlyPubkey big_r, key;
    if (!lift_x_uncached(sig64, big_r)) return finish();
    write_field(out, kRy, big_r.point.y);
    if (!lift_x(xonly32, key)) return finish();
    write_field(out, kPy, key.point.y);
    const Scalar e = schnorr_challenge(sig64, xonly32, msg32, 32);
    write_scalar(out, kE, e);

    // BIP-340: s*G - e*P must be the point with x = r and even y.
    const Point rp = dual_mul(s, e.negate(), key.to_point());
    if (!rp.infinity && !rp.Z.is_zero()) {
        const AffinePoint a = rp.to_affine();
        uint8_t x[32];
        a.x.to_bytes(x);
        store_le32(out + kValid, !a.y.is_odd() && std::memcmp(x, sig64, 32) == 0 ? 1 : 0);
    }
    finish();
}

}  // namespace qorvex::snark
