// Batch signing internals: the thread count does not change a signature,
// and worker threads sign with the caller's blinding.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/point_mul.h"
#include "sig/batch_sign.h"
#include "sig/ecdsa.h"
#include "sig/schnorr.h"
#include "support/wipe.h"

namespace qorvex::batch {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes random_bytes(std::mt19937_64& g, size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(g());
    return b;
}

Bytes one_by_one(SignScheme scheme, size_t n, const Bytes& msgs, const Bytes& keys, const Bytes& aux) {
    Bytes out(64 * n);
    for (size_t i = 0; i < n; ++i) {
        Scalar d;
        EXPECT_TRUE(Scalar::parse_nonzero(&keys[32 * i], d));
        if (scheme == SignScheme::ecdsa) {
            ecdsa::write_compact(ecdsa::sign(&msgs[32 * i], d), &out[64 * i]);
        } else {
            SchnorrKeypair kp;
            schnorr_keypair(d, kp);
            EXPECT_TRUE(schnorr_sign(kp, &msgs[32 * i], 32, &aux[32 * i], &out[64 * i]));
        }
    }
    return out;
}

TEST(BatchSignThreads, EveryThreadCountSignsTheSameBytes) {
    std::mt19937_64 g(5);
    const size_t n = 37;
    const Bytes msgs = random_bytes(g, 32 * n), keys = random_bytes(g, 32 * n), aux = random_bytes(g, 32 * n);
    for (const SignScheme scheme : {SignScheme::ecdsa, SignScheme::schnorr}) {
        const Bytes want = one_by_one(scheme, n, msgs, keys, aux);
        for (const size_t threads : {size_t{1}, size_t{2}, size_t{3}, size_t{64}}) {
            Bytes got(64 * n, 0);
            ASSERT_EQ(SignOutcome::ok, sign_batch(scheme, n, msgs.data(), keys.data(), aux.data(), got.data(), threads));
            EXPECT_EQ(want, got) << threads;
        }
        // A bad key in the last range: every output zero, on any thread count.
        Bytes bad = keys;
        std::memset(&bad[32 * (n - 1)], 0, 32);
        for (const size_t threads : {size_t{1}, size_t{2}, size_t{64}}) {
            Bytes got(64 * n, 0);
            EXPECT_EQ(SignOutcome::bad_key, sign_batch(scheme, n, msgs.data(), bad.data(), aux.data(), got.data(), threads));
            EXPECT_EQ(Bytes(64 * n, 0), got);
        }
    }
    EXPECT_EQ(1u, sign_batch_threads(1));
}

}  // namespace
}  // namespace qorvex::batch
