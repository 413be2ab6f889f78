#include "hash/hkdf_sha256.h"

#include <cstring>

#include "hash/hmac_sha256.h"
#include "support/wipe.h"

namespace qorvex {

void hkdf_extract(const uint8_t* salt, size_t salt_len, const uint8_t* ikm, size_t ikm_len, uint8_t prk32[32]) {
    static const uint8_t kZeroSalt[32] = {};
    if (salt == nullptr || salt_len == 0) {
        salt = kZeroSalt;
        salt_len = sizeof kZeroSalt;
    }
    hmac_sha256(salt, salt_len, ikm, ikm_len, prk32);
}

bool hkdf_expand(const uint8_t prk32[32], const uint8_t* info, size_t info_len, uint8_t* out, size_t out_len) {
    if (out_len > kHkdfMaxOutput) return false;
    SecretBytes<32> t;
    size_t t_len = 0;
    for (uint8_t i = 1; out_len > 0; ++i) {
        HmacSha256Stream mac(prk32, 32);
        mac.update(t.data(), t_len);
        mac.update(info, info_len);
        mac.update(&i, 1);
        mac.finish(t.data());
        t_len = 32;
        const size_t n = out_len < 32 ? out_len : 32;
        std::memcpy(out, t.data(), n);
        out += n;
        out_len -= n;
    }
    return true;
}

}  // namespace qorvex
