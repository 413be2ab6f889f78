#include "protocols/ecies.h"

#include <cstring>

#include "arith/gen_mul.h"
#include "hash/hkdf_sha256.h"
#include "hash/hmac_sha256.h"
#include "protocols/aes256.h"
#include "sig/ecdh.h"
#include "support/declassify.h"
#include "support/os_random.h"
#include "support/wipe.h"

namespace qorvex::ecies {

namespace {

// Counter mode and the MAC run over the message in pieces of this size, so
// that each piece is still in the first-level cache when it is hashed.
constexpr size_t kChunk = 4096;

// The AES key (bytes 0..32) and the MAC key (32..64) from the shared x
// coordinate, with E as the HKDF info.
void derive_keys(const uint8_t shared32[32], const uint8_t e33[33], uint8_t okm64[64]) {
    SecretBytes<32> prk;
    hkdf_extract(reinterpret_cast<const uint8_t*>(kSalt), kSaltSize, shared32, 32, prk.data());
    const bool ok = hkdf_expand(prk.data(), e33, 33, okm64, 64);
    (void)ok;  // 64 bytes are always within the HKDF limit
}

// x(d * Q) for a finite Q on the curve; false when it is zero (the failure
// is public).
bool shared_x(const Scalar& d, const Point& q, uint8_t out32[32]) {
    ecdh::shared_secret(ecdh::Derivation::raw_x, d, q, out32);
    uint8_t any = 0;
    for (int i = 0; i < 32; ++i) any |= out32[i];
    return declassify_bool(any != 0);
}

}  // namespace

bool encrypt_with(const Point& recipient, const uint8_t eph32[32], const uint8_t iv16[16], const uint8_t* plaintext,
                  size_t len, uint8_t* envelope) {
    WipeOnExit<Scalar> eph([&] { return Scalar::from_bytes_reduce(eph32); });
    if (declassify_bool(eph->is_zero())) return false;
    // E is sent in clear.
    uint8_t e33[33];
    public_key_point(*eph).to_compressed(e33);

    SecretBytes<64> okm;
    {
        SecretBytes<32> shared;
        if (!shared_x(*eph, recipient, shared.data())) return false;
        derive_keys(shared.data(), e33, okm.data());
    }

    // Nothing can fail from here on: the envelope is written.
    std::memcpy(envelope + kEphemeralOffset, e33, 33);
    std::memcpy(envelope + kIvOffset, iv16, kIvSize);
    WipeOnExit<Aes256Key> key;
    aes256_expand(okm.data(), *key);
    HmacSha256Stream mac(okm.data() + 32, 32);
    mac.update(envelope, kCiphertextOffset);
    uint8_t counter[16];
    std::memcpy(counter, iv16, 16);
    uint8_t* ciphertext = envelope + kCiphertextOffset;
    for (size_t off = 0; off < len; off += kChunk) {
        const size_t n = len - off < kChunk ? len - off : kChunk;
        aes256_ctr(*key, counter, plaintext + off, ciphertext + off, n);
        mac.update(ciphertext + off, n);
    }
    mac.finish(ciphertext + len);
    return true;
}

bool encrypt(const Point& recipient, const uint8_t* plaintext, size_t len, uint8_t* envelope) {
    SecretBytes<32> eph;
    uint8_t iv[kIvSize];
    os_random(eph.data(), eph.size());
    classify(eph.data(), eph.size());
    os_random(iv, sizeof iv);
    return encrypt_with(recipient, eph.data(), iv, plaintext, len, envelope);
}

bool decrypt(const Scalar& d, const uint8_t* envelope, size_t envelope_len, uint8_t* plaintext) {
    const size_t len = envelope_len - kOverhead;
    const Point e = Point::decompress(envelope + kEphemeralOffset);
    if (e.infinity || !ecdh::on_curve(e)) return false;

    SecretBytes<64> okm;
    {
        SecretBytes<32> shared;
        if (!shared_x(d, e, shared.data())) return false;
        derive_keys(shared.data(), envelope + kEphemeralOffset, okm.data());
    }

    uint8_t tag[kTagSize];
    {
        HmacSha256Stream mac(okm.data() + 32, 32);
        mac.update(envelope, kCiphertextOffset + len);
        mac.finish(tag);
    }
    // Every byte pair is compared; only the verdict is public.
    const uint8_t* given = envelope + kCiphertextOffset + len;
    uint8_t diff = 0;
    for (size_t i = 0; i < kTagSize; ++i) diff |= static_cast<uint8_t>(tag[i] ^ given[i]);
    if (!declassify_bool(diff == 0)) return false;

    uint8_t counter[16];
    std::memcpy(counter, envelope + kIvOffset, 16);
    WipeOnExit<Aes256Key> key;
    aes256_expand(okm.data(), *key);
    aes256_ctr(*key, counter, envelope + kCiphertextOffset, plaintext, len);
    return true;
}

}  // namespace qorvex::ecies
