// AES-256: the choice of back end and counter mode over it.
#include "protocols/aes256.h"

#include <cstring>

#include "support/bytes.h"
#include "support/cpu.h"
#include "support/wipe.h"

namespace qorvex {

namespace aes_detail {

bool aesni_available() { return QORVEX_HAVE_AESNI_BACKEND && cpu_features().aes; }

}  // namespace aes_detail

AesBackend aes_backend() {
#if defined(QORVEX_AES_BACKEND_AESNI)
    return AesBackend::AesNi;
#elif defined(QORVEX_AES_BACKEND_PORTABLE) || !QORVEX_HAVE_AESNI_BACKEND
    return AesBackend::Portable;
#else
    static const AesBackend chosen = aes_detail::aesni_available() ? AesBackend::AesNi : AesBackend::Portable;
    return chosen;
#endif
}

const char* aes_backend_name() { return aes_backend() == AesBackend::AesNi ? "aesni" : "portable"; }

void aes256_expand(const uint8_t key32[32], Aes256Key& out) { aes256_expand(key32, out, aes_backend()); }

void aes256_expand(const uint8_t key32[32], Aes256Key& out, AesBackend backend) {
    out.backend = backend;
#if QORVEX_HAVE_AESNI_BACKEND
    if (backend == AesBackend::AesNi) {
        aes_detail::expand_aesni(key32, out.round_keys);
        return;
    }
#endif
    out.backend = AesBackend::Portable;
    aes_detail::expand_portable(key32, out.round_keys);
    aes_detail::slice_round_keys(out.round_keys, out.sliced);
}

void aes256_encrypt_block(const Aes256Key& key, const uint8_t in16[16], uint8_t out16[16]) {
#if QORVEX_HAVE_AESNI_BACKEND
    if (key.backend == AesBackend::AesNi) {
        aes_detail::encrypt_block_aesni(key.round_keys, in16, out16);
        return;
    }
#endif
    aes_detail::encrypt_blocks_portable(key.sliced, in16, out16, 1);
}

namespace {

void counter_blocks(uint64_t hi, uint64_t lo, size_t n, uint8_t* out) {
    for (size_t i = 0; i < n; ++i) {
        store_be64(out + 16 * i, hi);
        store_be64(out + 16 * i + 8, lo);
        if (++lo == 0) ++hi;
    }
}

}  // namespace

void aes256_ctr(const Aes256Key& key, uint8_t counter16[16], const uint8_t* in, uint8_t* out, size_t len) {
    uint64_t hi = load_be64(counter16), lo = load_be64(counter16 + 8);
    const size_t whole = len / 16;
    const size_t tail = len % 16;
    SecretBytes<64> stream;
#if QORVEX_HAVE_AESNI_BACKEND
    if (key.backend == AesBackend::AesNi) {
        aes_detail::ctr_blocks_aesni(key.round_keys, hi, lo, in, out, whole);
        in += 16 * whole;
        out += 16 * whole;
        if (tail) {
            counter_blocks(hi, lo, 1, stream.data());
            aes_detail::encrypt_block_aesni(key.round_keys, stream.data(), stream.data());
            for (size_t i = 0; i < tail; ++i) out[i] = static_cast<uint8_t>(in[i] ^ stream[i]);
            if (++lo == 0) ++hi;
        }
        store_be64(counter16, hi);
        store_be64(counter16 + 8, lo);
        return;
    }
#endif
    // Four blocks per pass of the bitsliced rounds; the last pass may be
    // shorter and end in a partial block.
    const size_t blocks = whole + (tail ? 1 : 0);
    for (size_t done = 0; done < blocks; done += 4) {
        const size_t n = blocks - done < 4 ? blocks - done : 4;
        counter_blocks(hi, lo, n, stream.data());
        aes_detail::encrypt_blocks_portable(key.sliced, stream.data(), stream.data(), n);
        const size_t bytes = done + n == blocks ? len - 16 * done : 16 * n;
        for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(in[i] ^ stream[i]);
        in += bytes;
        out += bytes;
        for (size_t i = 0; i < n; ++i)
            if (++lo == 0) ++hi;
    }
    store_be64(counter16, hi);
    store_be64(counter16 + 8, lo);
}

void aes256_ctr(const uint8_t key32[32], const uint8_t iv16[16], const uint8_t* in, uint8_t* out, size_t len) {
    WipeOnExit<Aes256Key> key;
    aes256_expand(key32, *key);
    uint8_t counter[16];
    std::memcpy(counter, iv16, 16);
    aes256_ctr(*key, counter, in, out, len);
}

}  // namespace qorvex
