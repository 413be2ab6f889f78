// The dispatcher: Strauss over endomorphism halves for a few terms, the
// affine bucket method from kMsmBucketThreshold terms on; both take affine
// points, so Point lists are made affine first.
#include <algorithm>
#include <vector>

#include "arith/msm.h"
#include "arith/precompute.h"

namespace qorvex {

namespace {

// The finite terms of a Point list in affine form, for the bucket engine.
struct AffineTerms {
    std::vector<Scalar> scalars;
    std::vector<AffinePoint> points;
    std::vector<FieldElement> z;  // Z of the Jacobian points, inverted together
};

AffineTerms& affine_terms() {
    thread_local AffineTerms t;
    return t;
}

}  // namespace

Point msm(std::span<const Scalar> scalars, std::span<const Point> points) {
    const size_t m = std::min(scalars.size(), points.size());
    AffineTerms& t = affine_terms();
    if (t.scalars.size() < m) t.scalars.resize(m);
    if (t.points.size() < m) t.points.resize(m);
    // Points at infinity and zero scalars contribute nothing; the Jacobian
    // points are made affine with one shared inversion.
    size_t n = 0, jac = 0;
    for (size_t i = 0; i < m; ++i) {
        if (points[i].infinity || scalars[i].is_zero()) continue;
        if (!points[i].z_is_one) ++jac;
    }
    if (t.z.size() < jac) t.z.resize(jac);
    size_t k = 0;
    for (size_t i = 0; i < m; ++i) {
        const Point& p = points[i];
        if (!p.infinity && !scalars[i].is_zero() && !p.z_is_one) t.z[k++] = p.Z;
    }
    FieldElement::batch_inverse(t.z.data(), jac);
    k = 0;
    for (size_t i = 0; i < m; ++i) {
        const Point& p = points[i];
        if (p.infinity || scalars[i].is_zero()) continue;
        t.scalars[n] = scalars[i];
        if (p.z_is_one) {
            t.points[n] = AffinePoint{p.X, p.Y};
        } else {
            const FieldElement zi = t.z[k++];
            const FieldElement zi2 = zi.sqr();
            t.points[n] = AffinePoint{p.X * zi2, p.Y * zi2 * zi};
        }
        ++n;
    }
    return msm(std::span<const Scalar>(t.scalars.data(), n), std::span<const AffinePoint>(t.points.data(), n));
}

Point msm(std::span<const Scalar> scalars, std::span<const AffinePoint> points) {
    const size_t m = std::min(scalars.size(), points.size());
    if (m >= kMsmBucketThreshold) return msm_buckets_affine(scalars.first(m), points.first(m));
    return msm_strauss_glv(scalars.first(m), points.first(m));
}

Point msm_with_generator(const Scalar& g, std::span<const Scalar> scalars, std::span<const AffinePoint> points) {
    // The generator term's table entries are requested first and arrive
    // while the sum runs.
    const PrecomputedGenTerm gen(g);
    Point acc = msm(scalars, points);
    gen.add_to(acc);
    acc.is_generator = false;
    return acc;
}

}  // namespace qorvex
