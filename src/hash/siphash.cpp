#include "hash/siphash.h"

#include <bit>

#include "support/bytes.h"

namespace qorvex {

namespace {

struct SipState {
    uint64_t v0, v1, v2, v3;

    void round() {
        v0 += v1;
        v1 = std::rotl(v1, 13);
        v1 ^= v0;
        v0 = std::rotl(v0, 32);
        v2 += v3;
        v3 = std::rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = std::rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = std::rotl(v1, 17);
        v1 ^= v2;
        v2 = std::rotl(v2, 32);
    }

    // Two compression rounds per 8-byte word.
    void absorb(uint64_t m) {
        v3 ^= m;
        round();
        round();
        v0 ^= m;
    }
};

}  // namespace

uint64_t siphash24(uint64_t k0, uint64_t k1, const uint8_t* data, size_t len) {
    SipState s{k0 ^ 0x736f6d6570736575ULL, k1 ^ 0x646f72616e646f6dULL, k0 ^ 0x6c7967656e657261ULL,
               k1 ^ 0x7465646279746573ULL};
    const size_t whole = len & ~size_t{7};
    for (size_t i = 0; i < whole; i += 8) s.absorb(load_le64(data + i));
    // The last word: the remaining 0 to 7 bytes, and the length's low byte
    // on top.
    uint64_t last = static_cast<uint64_t>(len) << 56;
    for (size_t i = whole; i < len; ++i) last |= static_cast<uint64_t>(data[i]) << (8 * (i - whole));
    s.absorb(last);
    s.v2 ^= 0xFF;
    for (int i = 0; i < 4; ++i) s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

uint64_t siphash24(const uint8_t key16[16], const uint8_t* data, size_t len) {
    return siphash24(load_le64(key16), load_le64(key16 + 8), data, len);
}

}  // namespace qorvex
