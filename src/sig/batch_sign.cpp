#include "sig/batch_sign.h"

#include <algorithm>
#include <atomic>
#include <cstring>

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

int sign_one(SignScheme scheme, const uint8_t* msg32, const uint8_t* key32, const uint8_t* aux32,
             uint8_t* sig64_out) {
    WipeOnExit<Scalar> d;
    // Whether a key is valid is public: the call's code says so.
    if (!declassify_bool(Scalar::parse_nonzero(key32, *d))) return kBadKey;
    if (scheme == SignScheme::ecdsa) {
        const ecdsa::Signature sig = ecdsa::sign(msg32, *d);
        if (sig.is_zero()) return kDegenerate;
        ecdsa::write_compact(sig, sig64_out);
        return kOk;
    }
    WipeOnExit<SchnorrKeypair> kp;
    schnorr_keypair(*d, *kp);
    return schnorr_sign(*kp, msg32, 32, aux32, sig64_out) ? kOk : kDegenerate;
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
    auto item = [&](size_t i) {
        return sign_one(scheme, msgs + 32 * i, keys + 32 * i, scheme == SignScheme::schnorr ? aux + 32 * i : nullptr,
                        sigs_out + 64 * i);
    };
    if (threads <= 1 || count <= 1) {
        for (size_t i = 0; i < count; ++i) {
            const int code = item(i);
            if (code != kOk) {
                std::memset(sigs_out, 0, 64 * count);
                return outcome(code);
            }
        }
        return SignOutcome::ok;
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
                for (size_t i = lo; i < hi; ++i) {
                    const int code = item(i);
                    if (code != kOk) {
                        int expected = kOk;
                        result.compare_exchange_strong(expected, code, std::memory_order_relaxed);
                        return;
                    }
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
