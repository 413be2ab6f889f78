#include "hash/pbkdf2_sha512.h"

#include <algorithm>
#include <cstring>

#include "hash/sha512.h"
#include "support/bytes.h"
#include "support/wipe.h"

namespace qorvex {

namespace {

// The chaining values after the ipad and the opad block of one HMAC key.
struct PadMidstates {
    uint64_t inner[8];
    uint64_t outer[8];
};

void make_midstates(const uint8_t* password, size_t password_len, PadMidstates& m) {
    SecretBytes<128> key;  // zero-filled: short keys are padded with zeros
    if (password_len > 128) {
        sha512(password, password_len, key.data());
    } else if (password_len > 0) {
        std::memcpy(key.data(), password, password_len);
    }
    SecretBytes<128> pad;
    for (int i = 0; i < 128; ++i) pad[i] = static_cast<uint8_t>(key[i] ^ 0x36);
    std::memcpy(m.inner, kSha512Init, sizeof m.inner);
    sha512_compress(m.inner, pad.data());
    for (int i = 0; i < 128; ++i) pad[i] = static_cast<uint8_t>(key[i] ^ 0x5c);
    std::memcpy(m.outer, kSha512Init, sizeof m.outer);
    sha512_compress(m.outer, pad.data());
}

// The last block of a hash whose message is one pad block and then the 64
// bytes in words 0 to 7: the padding bit and the length of 192 bytes.
void pad_tail(uint64_t w[16]) {
    w[8] = 0x8000000000000000ULL;
    for (int i = 9; i < 15; ++i) w[i] = 0;
    w[15] = (128 + 64) * 8;
}

// HMAC of a 64-byte message held in words: u <- HMAC(u), two compressions.
void hmac_words(const PadMidstates& m, uint64_t u[8], uint64_t w[16], uint64_t state[8]) {
    std::memcpy(state, m.inner, 64);
    std::memcpy(w, u, 64);
    pad_tail(w);
    sha512_compress_words(state, w);
    std::memcpy(u, m.outer, 64);
    std::memcpy(w, state, 64);
    pad_tail(w);
    sha512_compress_words(u, w);
}

// U_1 = HMAC(salt || INT(block)), through the streaming hash from the inner
// midstate (the salt has any length).
void first_block(const PadMidstates& m, const uint8_t* salt, size_t salt_len, uint32_t block, uint64_t u[8],
                 uint64_t w[16]) {
    WipeOnExit<Sha512Context> ctx;
    std::memcpy(ctx->state, m.inner, sizeof ctx->state);
    ctx->total = 128;
    ctx->buffered = 0;
    uint8_t index[4];
    store_be32(index, block);
    sha512_update(*ctx, salt, salt_len);
    sha512_update(*ctx, index, 4);
    SecretBytes<64> inner;
    sha512_final(*ctx, inner.data());
    std::memcpy(u, m.outer, 64);
    for (int i = 0; i < 8; ++i) w[i] = load_be64(inner.data() + 8 * i);
    pad_tail(w);
    sha512_compress_words(u, w);
}

}  // namespace

void pbkdf2_hmac_sha512(const uint8_t* password, size_t password_len, const uint8_t* salt, size_t salt_len,
                        uint32_t iterations, uint8_t* out, size_t out_len) {
    if (iterations == 0) iterations = 1;
    WipeOnExit<PadMidstates> m;
    make_midstates(password, password_len, *m);
    WipeOnExit<uint64_t[8]> u, t, state;
    WipeOnExit<uint64_t[16]> w;
    SecretBytes<64> block_out;
    for (uint32_t block = 1; out_len > 0; ++block) {
        first_block(*m, salt, salt_len, block, *u, *w);
        std::memcpy(*t, *u, 64);
        for (uint32_t j = 1; j < iterations; ++j) {
            hmac_words(*m, *u, *w, *state);
            for (int i = 0; i < 8; ++i) (*t)[i] ^= (*u)[i];
        }
        for (int i = 0; i < 8; ++i) store_be64(block_out.data() + 8 * i, (*t)[i]);
        const size_t n = std::min<size_t>(out_len, 64);
        std::memcpy(out, block_out.data(), n);
        out += n;
        out_len -= n;
    }
}

}  // namespace qorvex
