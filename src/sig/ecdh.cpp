#include "sig/ecdh.h"

#include "arith/point_mul.h"
#include "hash/sha256.h"
#include "support/wipe.h"

namespace qorvex::ecdh {

bool on_curve(const Point& q) {
    if (q.infinity || !q.z_is_one) return false;
    return q.Y.sqr().equal(q.X.sqr() * q.X + FieldElement::from_u64(7));
}

AffinePoint shared_point(const Scalar& d, const Point& q) {
    WipeOnExit<Point> s([&] { return mul_ct(q, d); });
    s->to_affine_ct_assign();
    return AffinePoint{s->X, s->Y};
}

void write_compressed(const AffinePoint& s, uint8_t out33[33]) {
    out33[0] = static_cast<uint8_t>(0x02 | (s.y.limb[0] & 1));
    s.x.to_bytes(out33 + 1);
}

void derive(Derivation kind, const AffinePoint& s, uint8_t out32[32]) {
    SecretBytes<33> enc;
    write_compressed(s, enc.data());
    switch (kind) {
        case Derivation::sha256_compressed:
            sha256(enc.data(), 33, out32);
            break;
        case Derivation::sha256_x:
            sha256(enc.data() + 1, 32, out32);
            break;
        case Derivation::raw_x:
            for (int i = 0; i < 32; ++i) out32[i] = enc[1 + i];
            break;
    }
}

void shared_secret(Derivation kind, const Scalar& d, const Point& q, uint8_t out32[32]) {
    WipeOnExit<AffinePoint> s([&] { return shared_point(d, q); });
    derive(kind, *s, out32);
}

}  // namespace qorvex::ecdh
