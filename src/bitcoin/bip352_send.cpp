// The sender: one shared secret per scan key, k counted within each group.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <vector>

#include "arith/gen_mul.h"
#include "bitcoin/bip352.h"
#include "sig/ecdh.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::bip352 {

bool output_point(const Scalar& t, const Point& spend, Point& out) {
    WipeOnExit<Point> p([&] { return gen_mul_ct(t); });
    // t is non-zero, so t*G is finite; the complete formula also covers
    // t*G = +-spend.
    p->add_affine_complete_ct(spend.X, spend.Y, 0, 0);
    p->to_affine_ct_assign();
    declassify_value(*p);
    if (p->infinity) return false;
    out = *p;
    return true;
}

SendError send(const Scalar& a_sum, const uint8_t outpoint_l[36], std::span<const Recipient> recipients,
               uint8_t* out) {
    // Groups by scan key, each in the order given: a stable sort of the
    // positions by key bytes.
    std::vector<uint32_t> order(recipients.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return std::memcmp(recipients[a].scan33, recipients[b].scan33, 33) < 0;
    });
    for (size_t i = 0, run = 0; i < order.size(); ++i) {
        run = (i > 0 && std::memcmp(recipients[order[i]].scan33, recipients[order[i - 1]].scan33, 33) == 0)
                  ? run + 1
                  : 1;
        if (run > kKMax) return SendError::group_too_large;
    }

    if (declassify_bool(a_sum.is_zero())) return SendError::zero_sum;
    // A = a*G is the sum of the inputs' public keys: public.
    const Point a_pub = public_key_point(a_sum);
    Scalar hash;
    if (!input_hash(outpoint_l, a_pub, hash)) return SendError::input_hash_range;
    WipeOnExit<Scalar> tweaked([&] { return a_sum.mul_fold(hash); });

    SecretBytes<33> s33;
    WipeOnExit<Scalar> t;
    uint32_t k = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        const Recipient& r = recipients[order[i]];
        if (i == 0 || std::memcmp(r.scan33, recipients[order[i - 1]].scan33, 33) != 0) {
            // input_hash * a is never zero (both factors are not), so the
            // shared secret is finite.
            WipeOnExit<AffinePoint> secret([&] { return ecdh::shared_point(*tweaked, r.scan); });
            ecdh::write_compressed(*secret, s33.data());
            k = 0;
        }
        if (!shared_tweak(s33.data(), k, *t)) return SendError::tweak_range;
        Point p;
        if (!output_point(*t, r.spend, p)) return SendError::infinity;
        p.to_xonly(out + 32 * static_cast<size_t>(order[i]));
        ++k;
    }
    return SendError::none;
}

}  // namespace qorvex::bip352
