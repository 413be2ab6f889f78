// Multi-scalar multiplication and Shamir's trick over public data.
#include <cstdint>
#include <limits>
#include <vector>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "arith/msm.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr size_t kMaxTerms = size_t{1} << 20;

constexpr char kNeedOne[] = "n must be >= 1";
constexpr char kTooLarge[] = "n too large";
constexpr char kArrayTooLarge[] = "scalar/point array length too large";
constexpr char kScalarGeN[] = "scalar >= n";
constexpr char kInvalidPoint[] = "invalid point in array";
constexpr char kMsmInfinity[] = "MSM result is infinity";
constexpr char kScalarAGeN[] = "scalar a >= n";
constexpr char kScalarBGeN[] = "scalar b >= n";
constexpr char kInvalidP[] = "invalid point P";
constexpr char kInvalidQ[] = "invalid point Q";
constexpr char kResultInfinity[] = "result is infinity";

}  // namespace

extern "C" {

QORVEX_API int qorvex_multi_scalar_mul(qorvex_ctx* ctx, const uint8_t* scalars, const uint8_t* points, size_t n,
                                       uint8_t* out33) {
    if (!ctx || !scalars || !points || !out33) return QORVEX_ERR_NULL_ARG;
    if (n == 0) return set_error(ctx, ErrorCode::BadInput, kNeedOne);
    if (n > kMaxTerms) return set_error(ctx, ErrorCode::BadInput, kTooLarge);
    clear_error(ctx);
    if (n > std::numeric_limits<size_t>::max() / 33) return set_error(ctx, ErrorCode::BadInput, kArrayTooLarge);
    return guarded(ctx, [&] {
        // Per thread and kept, like the engines' own scratch.
        thread_local std::vector<Scalar> k;
        thread_local std::vector<AffinePoint> p;
        if (k.size() < n) k.resize(n);
        if (p.size() < n) p.resize(n);
        for (size_t i = 0; i < n; ++i) {
            if (!Scalar::parse_strict(scalars + 32 * i, k[i])) return set_error(ctx, ErrorCode::BadInput, kScalarGeN);
            Point q;
            if (!parse33(points + 33 * i, q)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPoint);
            p[i] = AffinePoint{q.X, q.Y};
        }
        const Point r = msm(std::span<const Scalar>(k.data(), n), std::span<const AffinePoint>(p.data(), n));
        if (r.infinity) return set_error(ctx, ErrorCode::Arith, kMsmInfinity);
        // Every input has been read into k and p, so out33 may overlap them.
        r.to_compressed(out33);
        return static_cast<int>(QORVEX_OK);
    });
}

QORVEX_API int qorvex_shamir_trick(qorvex_ctx* ctx, const uint8_t* a32, const uint8_t* p33, const uint8_t* b32,
                                   const uint8_t* q33, uint8_t* out33) {
    if (!ctx || !a32 || !p33 || !b32 || !q33 || !out33) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Scalar a, b;
    if (!Scalar::parse_strict(a32, a)) return set_error(ctx, ErrorCode::BadInput, kScalarAGeN);
    if (!Scalar::parse_strict(b32, b)) return set_error(ctx, ErrorCode::BadInput, kScalarBGeN);
    Point p, q;
    if (!parse33(p33, p)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidP);
    if (!parse33(q33, q)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidQ);
    const Point r = shamir(a, p, b, q);
    if (r.infinity) return set_error(ctx, ErrorCode::Arith, kResultInfinity);
    r.to_compressed(out33);
    return QORVEX_OK;
}

}  // extern "C"
