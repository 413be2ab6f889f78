#include "sig/batch_sign.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "arith/batch_ct.h"
#include "arith/gen_mul.h"
#include "arith/scalar.h"
#include "sig/ecdsa.h"
#include "sig/schnorr.h"
#include "support/declassify.h"
#include "support/wipe.h"
#include "support/workers.h"

namespace qorvex::batch {

namespace {

constexpr size_t kMaxSignThreads = 64;
// Most items one thread takes from the counter at a time.
constexpr size_t kSignChunk = 256;

// The shared result: 0 while every item signed so far succeeded.
constexpr int kOk = 0;
constexpr int kBadKey = 1;
constexpr int kDegenerate = 2;

// Items signed together: their nonce points (and for BIP-340 their public
// keys) are made affine with one constant-time inversion, and ECDSA's
// nonces inverted with one more, in place of one of each per item.
constexpr size_t kGroup = 64;

struct EcdsaGroup {
    Scalar d[kGroup], k[kGroup], kinv[kGroup], scalar_scratch[kGroup];
    Point r[kGroup];
    FieldElement field_scratch[kGroup];
};

struct SchnorrGroup {
    Scalar d[kGroup], k[kGroup];
    Point p[kGroup];  // public keys, then nonce points
    SchnorrKeypair kp[kGroup];
    FieldElement field_scratch[kGroup];
};

// Whether a key is valid is public: the call's code says so.
bool parse_key(const uint8_t* key32, Scalar& d) { return declassify_bool(Scalar::parse_nonzero(key32, d)); }

int ecdsa_group(size_t n, const uint8_t* msgs, const uint8_t* keys, uint8_t* sigs) {
    WipeOnExit<EcdsaGroup> g;
    for (size_t i = 0; i < n; ++i) {
        if (!parse_key(keys + 32 * i, g->d[i])) return kBadKey;
        g->k[i] = ecdsa::rfc6979_nonce(g->d[i], msgs + 32 * i);
        // A zero nonce fails the call, which makes it public anyway.
        if (declassify_bool(g->k[i].is_zero())) return kDegenerate;
        g->r[i] = gen_mul_blinded(g->k[i]);
        g->kinv[i] = g->k[i];
    }
    to_affine_ct_batch(g->r, n, g->field_scratch);
    inverse_ct_batch(g->kinv, n, g->scalar_scratch);
    for (size_t i = 0; i < n; ++i) {
        const ecdsa::Signature sig = ecdsa::sign_with_nonce(msgs + 32 * i, g->d[i], g->r[i], g->kinv[i]);
        if (sig.is_zero()) return kDegenerate;
        ecdsa::write_compact(sig, sigs + 64 * i);
    }
    return kOk;
}

int schnorr_group(size_t n, const uint8_t* msgs, const uint8_t* keys, const uint8_t* aux, uint8_t* sigs) {
    WipeOnExit<SchnorrGroup> g;
    for (size_t i = 0; i < n; ++i) {
        if (!parse_key(keys + 32 * i, g->d[i])) return kBadKey;
        g->p[i] = gen_mul_blinded(g->d[i]);
    }
    to_affine_ct_batch(g->p, n, g->field_scratch);
    for (size_t i = 0; i < n; ++i) {
        // The public keys are public.
        declassify_value(g->p[i]);
        schnorr_keypair_from_point(g->d[i], g->p[i], g->kp[i]);
        g->k[i] = schnorr_nonce(g->kp[i], msgs + 32 * i, 32, aux + 32 * i);
        g->p[i] = gen_mul_blinded(g->k[i]);
        // Only k' = 0 gives infinity, and the call then fails (publicly);
        // one point at infinity would spoil the shared inversion.
        declassify_value(g->p[i].infinity);
        if (g->p[i].infinity) return kDegenerate;
    }
    to_affine_ct_batch(g->p, n, g->field_scratch);
    for (size_t i = 0; i < n; ++i)
        if (!schnorr_sign_with_nonce(g->kp[i], g->k[i], g->p[i], msgs + 32 * i, 32, sigs + 64 * i))
            return kDegenerate;
    return kOk;
}

// Signs items [lo, hi) group by group; the first failing code, or kOk.
int sign_range(SignScheme scheme, size_t lo, size_t hi, const uint8_t* msgs, const uint8_t* keys,
               const uint8_t* aux, uint8_t* sigs) {
    for (size_t i = lo; i < hi; i += kGroup) {
        const size_t n = std::min(kGroup, hi - i);
        const int code = scheme == SignScheme::ecdsa
                             ? ecdsa_group(n, msgs + 32 * i, keys + 32 * i, sigs + 64 * i)
                             : schnorr_group(n, msgs + 32 * i, keys + 32 * i, aux + 32 * i, sigs + 64 * i);
        if (code != kOk) return code;
    }
    return kOk;
}

// Makes a worker thread sign with the caller's blinding, and wipes it from
// the worker when its range is done.
class AdoptedBlinding {
public:
    explicit AdoptedBlinding(const BlindingState& snap) { adopt_blinding(snap); }
    ~AdoptedBlinding() { blinding_clear(); }
    AdoptedBlinding(const AdoptedBlinding&) = delete;
    AdoptedBlinding& operator=(const AdoptedBlinding&) = delete;
};

SignOutcome outcome(int code) {
    return code == kOk ? SignOutcome::ok : code == kBadKey ? SignOutcome::bad_key : SignOutcome::degenerate;
}

}  // namespace

size_t sign_batch_threads(size_t count) {
    const size_t h = hardware_threads();
    if (h <= 1 || count <= 1) return 1;
    return std::min({count, h, kMaxSignThreads});
}

SignOutcome sign_batch(SignScheme scheme, size_t count, const uint8_t* msgs, const uint8_t* keys,
                       const uint8_t* aux, uint8_t* sigs_out, size_t threads) {
    if (threads <= 1 || count <= 1) {
        const int code = sign_range(scheme, 0, count, msgs, keys, aux, sigs_out);
        if (code != kOk) std::memset(sigs_out, 0, 64 * count);
        return outcome(code);
    }

    threads = std::min(threads, count);
    // Ranges are handed out from a counter rather than split evenly up front:
    // a worker thread starts cold (its caches, its first use of the tables)
    // and an even split leaves the caller waiting for it.
    const size_t chunk = std::clamp<size_t>(count / (8 * threads), 1, kSignChunk);
    threads = std::min(threads, (count + chunk - 1) / chunk);
    std::atomic<size_t> next{0};
    std::atomic<int> result{kOk};
    WipeOnExit<BlindingState> caller_blinding([] { return current_blinding(); });
    auto worker = [&](size_t k) {
        auto run = [&] {
            // Once any item has failed the rest are not signed: the call
            // fails, and its outputs are all zeroed below.
            while (result.load(std::memory_order_relaxed) == kOk) {
                const size_t lo = next.fetch_add(chunk, std::memory_order_relaxed);
                if (lo >= count) return;
                const size_t hi = std::min(count, lo + chunk);
                const int code = sign_range(scheme, lo, hi, msgs, keys, aux, sigs_out);
                if (code != kOk) {
                    int expected = kOk;
                    result.compare_exchange_strong(expected, code, std::memory_order_relaxed);
                    return;
                }
            }
        };
        // The calling thread signs with its own blinding.
        if (k == 0) {
            run();
        } else {
            const AdoptedBlinding adopted(*caller_blinding);
            run();
        }
    };
    try {
        run_workers(threads, worker);
    } catch (...) {
        std::memset(sigs_out, 0, 64 * count);
        throw;
    }
    const int code = result.load();
    if (code != kOk) std::memset(sigs_out, 0, 64 * count);
    return outcome(code);
}

}  // namespace qorvex::batch
