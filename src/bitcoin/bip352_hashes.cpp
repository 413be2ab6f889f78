// The three BIP-352 tagged hashes and the outpoint order.
#include <cstring>

#include "bitcoin/bip352.h"
#include "hash/tagged_hash.h"
#include "support/declassify.h"
#include "support/wipe.h"

namespace qorvex::bip352 {

namespace {

// The tags' midstates, made once: the scan loop hashes under the shared
// secret tag for every k.
const Sha256Context& midstate(int which) {
    static const Sha256Context kStates[3] = {
        [] {
            Sha256Context c;
            tagged_hash_init(c, "BIP0352/Label");
            return c;
        }(),
        [] {
            Sha256Context c;
            tagged_hash_init(c, "BIP0352/Inputs");
            return c;
        }(),
        [] {
            Sha256Context c;
            tagged_hash_init(c, "BIP0352/SharedSecret");
            return c;
        }(),
    };
    return kStates[which];
}

void put32be(uint32_t v, uint8_t out[4]) {
    out[0] = static_cast<uint8_t>(v >> 24);
    out[1] = static_cast<uint8_t>(v >> 16);
    out[2] = static_cast<uint8_t>(v >> 8);
    out[3] = static_cast<uint8_t>(v);
}

}  // namespace

void label_hash(const Scalar& b_scan, uint32_t m, uint8_t out32[32]) {
    WipeOnExit<Sha256Context> h([] { return midstate(0); });
    SecretBytes<36> msg;
    b_scan.to_bytes(msg.data());
    put32be(m, msg.data() + 32);
    sha256_update(*h, msg.data(), msg.size());
    sha256_final(*h, out32);
}

bool input_hash(const uint8_t outpoint36[36], const Point& a_sum, Scalar& out) {
    Sha256Context h = midstate(1);
    uint8_t a33[33];
    a_sum.to_compressed(a33);
    sha256_update(h, outpoint36, kOutpointSize);
    sha256_update(h, a33, 33);
    uint8_t digest[32];
    sha256_final(h, digest);
    return Scalar::parse_nonzero(digest, out);
}

bool shared_tweak(const uint8_t s33[33], uint32_t k, Scalar& out) {
    WipeOnExit<Sha256Context> h([] { return midstate(2); });
    uint8_t kb[4];
    put32be(k, kb);
    sha256_update(*h, s33, 33);
    sha256_update(*h, kb, 4);
    SecretBytes<32> digest;
    sha256_final(*h, digest.data());
    // A hash at or above n has probability about 2^-128; that it happened is
    // public, the value is not.
    return declassify_bool(Scalar::parse_nonzero(digest.data(), out));
}

const uint8_t* smallest_outpoint(const uint8_t* outpoints, size_t n) {
    const uint8_t* best = outpoints;
    for (size_t i = 1; i < n; ++i) {
        const uint8_t* o = outpoints + i * kOutpointSize;
        if (std::memcmp(o, best, kOutpointSize) < 0) best = o;
    }
    return best;
}

}  // namespace qorvex::bip352
