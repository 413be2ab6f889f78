#include "hash/hmac_sha256.h"

#include <cstring>

#include "hash/sha256.h"
#include "support/bytes.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

constexpr uint8_t kInnerPad = 0x36;
constexpr uint8_t kOuterPad = 0x5c;

void xor_pad(uint8_t out[64], const uint8_t key[64], uint8_t pad) {
    for (int i = 0; i < 64; ++i) out[i] = static_cast<uint8_t>(key[i] ^ pad);
}

}  // namespace

void hmac_sha256(const uint8_t* key, size_t key_len, const uint8_t* msg, size_t msg_len, uint8_t out32[32]) {
    SecretBytes<64> k;  // zero-filled: short keys are padded with zeros
    if (key_len > 64) {
        sha256(key, key_len, k.data());
    } else if (key_len > 0) {
        std::memcpy(k.data(), key, key_len);
    }

    SecretBytes<64> pad;
    SecretBytes<32> inner_digest;
    WipeOnExit<Sha256Context> ctx;

    xor_pad(pad.data(), k.data(), kInnerPad);
    sha256_init(*ctx);
    sha256_update(*ctx, pad.data(), 64);
    sha256_update(*ctx, msg, msg_len);
    sha256_final(*ctx, inner_digest.data());

    xor_pad(pad.data(), k.data(), kOuterPad);
    sha256_init(*ctx);
    sha256_update(*ctx, pad.data(), 64);
    sha256_update(*ctx, inner_digest.data(), 32);
    sha256_final(*ctx, out32);
}

HmacSha256Stream::HmacSha256Stream(const uint8_t* key, size_t key_len) {
    SecretBytes<64> k;
    if (key_len > 64) {
        sha256(key, key_len, k.data());
    } else if (key_len > 0) {
        std::memcpy(k.data(), key, key_len);
    }
    SecretBytes<64> pad;
    xor_pad(pad.data(), k.data(), kInnerPad);
    sha256_init(inner_);
    sha256_update(inner_, pad.data(), 64);
    xor_pad(pad.data(), k.data(), kOuterPad);
    sha256_init(outer_);
    sha256_update(outer_, pad.data(), 64);
}

HmacSha256Stream::~HmacSha256Stream() {
    secure_wipe(&inner_, sizeof inner_);
    secure_wipe(&outer_, sizeof outer_);
}

void HmacSha256Stream::finish(uint8_t out32[32]) {
    SecretBytes<32> inner_digest;
    sha256_final(inner_, inner_digest.data());
    sha256_update(outer_, inner_digest.data(), 32);
    sha256_final(outer_, out32);
}

void HmacSha256Key::set(const uint8_t key32[32]) {
    SecretBytes<64> pad;
    for (int i = 0; i < 32; ++i) pad[i] = static_cast<uint8_t>(key32[i] ^ kInnerPad);
    std::memset(pad.data() + 32, kInnerPad, 32);
    std::memcpy(inner, kSha256Init, sizeof(inner));
    sha256_compress(inner, pad.data());

    for (int i = 0; i < 32; ++i) pad[i] = static_cast<uint8_t>(key32[i] ^ kOuterPad);
    std::memset(pad.data() + 32, kOuterPad, 32);
    std::memcpy(outer, kSha256Init, sizeof(outer));
    sha256_compress(outer, pad.data());
}

bool HmacSha256Key::mac(const uint8_t* msg, size_t len, uint8_t out32[32]) const {
    if (!length_supported(len)) return false;

    // Inner hash: the ipad block is already in `inner`, so the message and
    // its FIPS 180-4 padding fill one or two further blocks. The bit length
    // counts the ipad block too.
    SecretBytes<128> blocks;
    const size_t nblocks = len <= 55 ? 1 : 2;
    if (len > 0) std::memcpy(blocks.data(), msg, len);
    blocks[len] = 0x80;
    store_be64(blocks.data() + 64 * nblocks - 8, (64 + uint64_t{len}) * 8);

    WipeOnExit<uint32_t[8]> state;
    std::memcpy(*state, inner, sizeof(inner));
    sha256_detail::compress_blocks(*state, blocks.data(), nblocks);

    // Outer hash: opad block done; the 32-byte inner digest and its padding
    // make one block, 96 bytes in total.
    sha256_detail::store_state(blocks.data(), *state);
    blocks[32] = 0x80;
    std::memset(blocks.data() + 33, 0, 64 - 33 - 8);
    store_be64(blocks.data() + 56, (64 + 32) * 8);
    std::memcpy(*state, outer, sizeof(outer));
    sha256_detail::compress_blocks(*state, blocks.data(), 1);

    sha256_detail::store_state(out32, *state);
    return true;
}

}  // namespace qorvex
