// HMAC-SHA256 (RFC 2104): a general form, and a fixed-key form for RFC 6979
// nonce generation, which MACs many short messages under one key.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hash/sha256.h"

namespace qorvex {

// HMAC-SHA256 of msg under key. A key longer than 64 bytes is hashed first;
// key and msg may be NULL when their length is 0. The padded key, the pad
// blocks and the inner digest are wiped before returning.
void hmac_sha256(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len, uint8_t out32[32]);

// The chaining values after the ipad and the opad block of a 32-byte key.
// Secret: hold it in WipeOnExit<HmacSha256Key>.
struct HmacSha256Key {
    uint32_t inner[8];
    uint32_t outer[8];

    // Two compressions; the padded key is wiped afterwards.
    void set(const uint8_t key32[32]);

    // Message lengths this form accepts: one final inner block (at most 55
    // bytes) or two (65 to 119 bytes).
    static constexpr bool length_supported(size_t len) { return len <= 55 || (len >= 65 && len <= 119); }

    // The MAC of msg. It pads in place and costs one compression per inner
    // block plus one for the outer block. Returns false, writing nothing, when
    // length_supported(len) is false.
    [[nodiscard]] bool mac(const uint8_t* msg, size_t len, uint8_t out32[32]) const;
};

// HMAC-SHA256 over a message given in pieces (a long envelope hashed while
// it is produced). Holds the keyed states: the destructor wipes them.
class HmacSha256Stream {
public:
    // A key longer than 64 bytes is hashed first; key may be NULL when
    // key_len is 0.
    HmacSha256Stream(const uint8_t* key, size_t key_len);
    ~HmacSha256Stream();
    HmacSha256Stream(const HmacSha256Stream&) = delete;
    HmacSha256Stream& operator=(const HmacSha256Stream&) = delete;

    void update(const uint8_t* data, size_t len) { sha256_update(inner_, data, len); }
    // The MAC of everything given; the stream is spent afterwards.
    void finish(uint8_t out32[32]);

private:
    Sha256Context inner_;
    Sha256Context outer_;
};

}  // namespace qorvex
