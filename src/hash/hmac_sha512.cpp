#include "hash/hmac_sha512.h"

#include <cstring>

#include "hash/sha512.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

void xor_pad(uint8_t out[128], const uint8_t key[128], uint8_t pad) {
    for (int i = 0; i < 128; ++i) out[i] = static_cast<uint8_t>(key[i] ^ pad);
}

}  // namespace

void hmac_sha512(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len, uint8_t out64[64]) {
    SecretBytes<128> k;  // zero-filled: short keys are padded with zeros
    if (key_len > 128) {
        sha512(key, key_len, k.data());
    } else if (key_len > 0) {
        std::memcpy(k.data(), key, key_len);
    }

    SecretBytes<128> pad;
    SecretBytes<64> inner_digest;
    WipeOnExit<Sha512Context> ctx;

    xor_pad(pad.data(), k.data(), 0x36);
    sha512_init(*ctx);
    sha512_update(*ctx, pad.data(), 128);
    sha512_update(*ctx, msg, msg_len);
    sha512_final(*ctx, inner_digest.data());

    xor_pad(pad.data(), k.data(), 0x5c);
    sha512_init(*ctx);
    sha512_update(*ctx, pad.data(), 128);
    sha512_update(*ctx, inner_digest.data(), 64);
    sha512_final(*ctx, out64);
}

}  // namespace qorvex
