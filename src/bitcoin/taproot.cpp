#include "bitcoin/taproot.h"

#include <cstring>

#include "arith/point.h"
#include "arith/precompute.h"
#include "hash/sha256.h"
#include "hash/tagged_hash.h"
#include "sig/schnorr.h"
#include "sig/xonly_cache.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::taproot {

void tweak_hash(const uint8_t x32[32], std::span<const uint8_t> merkle_root, uint8_t out32[32]) {
    Sha256Context h;
    tagged_hash_init(h, FixedTag::TapTweak);
    sha256_update(h, x32, 32);
    sha256_update(h, merkle_root.data(), merkle_root.size());
    sha256_final(h, out32);
}

std::optional<OutputKey> output_key(const uint8_t internal32[32], std::span<const uint8_t> merkle_root) {
    XonlyPubkey internal;
    if (!lift_x_uncached(internal32, internal)) return std::nullopt;
    uint8_t t_bytes[32];
    tweak_hash(internal32, merkle_root, t_bytes);
    // t = 0 is a valid tweak (Q = P); only t >= n has no meaning.
    Scalar t;
    if (!Scalar::parse_strict(t_bytes, t)) return std::nullopt;
    Point q = internal.to_point();
    PrecomputedGenTerm(t).add_to(q);
    // Infinity needs t*G = -P, i.e. knowing P's discrete logarithm.
    if (q.infinity) return std::nullopt;
    OutputKey out;
    q.to_xonly(out.x, &out.odd_y);
    return out;
}

bool commits_to(const uint8_t output32[32], bool odd_y, const uint8_t internal32[32],
                std::span<const uint8_t> merkle_root) {
    const auto q = output_key(internal32, merkle_root);
    return q && q->odd_y == odd_y && std::memcmp(q->x, output32, 32) == 0;
}

bool tweak_seckey(const Scalar& d, std::span<const uint8_t> merkle_root, Scalar& out) {
    out = Scalar::zero();
    // kp.d is d or n - d, whichever has the even-y point; kp.xonly = x(d*G).
    WipeOnExit<SchnorrKeypair> kp;
    schnorr_keypair(d, *kp);
    // The tweak is a hash of the public key and the root, so public; it is
    // wiped all the same, being one addition away from the key.
    SecretBytes<32> t_bytes;
    tweak_hash(kp->xonly, merkle_root, t_bytes.data());
    WipeOnExit<Scalar> t;
    if (!Scalar::parse_strict(t_bytes.data(), *t)) return false;
    out = kp->d.add_ct(*t);
    // A zero result means t = -d: the call fails and says so, which is the
    // only thing the branch reveals.
    if (declassify_bool(out.is_zero())) return false;
    return true;
}

}  // namespace qorvex::taproot
