// Signing many messages in one call, on worker threads: ECDSA (RFC 6979,
// low-S) or BIP-340. Each item is signed by the same constant-time routine as
// a single signature, with the calling thread's blinding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorvex::batch {

enum class SignScheme { ecdsa, schnorr };

enum class SignOutcome {
    ok,
    bad_key,     // a secret key is 0 or >= n
    degenerate,  // a signature came out degenerate
};

// Signs count items (count >= 1): message i at msgs + 32 i, key at keys + 32 i,
// for Schnorr auxiliary randomness at aux + 32 i; signature i to
// sigs_out + 64 i. With threads > 1 (sign_batch_threads gives the count the
// exported functions use), that many threads, the calling one among them,
// take ranges of items from a shared counter. Items are signed in groups
// that share the constant-time inversions (nonce points and public keys
// made affine together, ECDSA nonces inverted together); the signatures are
// those of one-by-one signing. On failure every output byte is zero. The
// outputs must not overlap the inputs. Throws (outputs zeroed) when a
// thread cannot be started.
SignOutcome sign_batch(SignScheme scheme, size_t count, const uint8_t* msgs, const uint8_t* keys,
                       const uint8_t* aux, uint8_t* sigs_out, size_t threads);

// The thread count sign_batch uses for count items: 1 when the platform
// reports at most one processor or there is at most one item, else
// min(count, processors, 64).
size_t sign_batch_threads(size_t count);

}  // namespace qorvex::batch
