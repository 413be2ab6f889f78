#include "protocols/frost_hash.h"

#include "hash/tagged_hash.h"
#include "protocols/digest_scalar.h"
#include "support/bytes.h"
#include "support/wipe.h"

namespace qorvex::frost {

Scalar hash_to_scalar(const uint8_t digest32[32]) {
    SecretBytes<32> fallback;
    {
        WipeOnExit<Sha256Context> h;
        sha256_init(*h);
        sha256_update(*h, digest32, 32);
        const uint8_t zeros[4] = {0, 0, 0, 0};
        sha256_update(*h, zeros, 4);
        sha256_final(*h, fallback.data());
    }
    uint64_t direct_ok = 0, fallback_ok = 0;
    WipeOnExit<Scalar> direct([&] { return digest_scalar_ct(digest32, direct_ok); });
    WipeOnExit<Scalar> second([&] { return digest_scalar_ct(fallback.data(), fallback_ok); });
    Scalar out = Scalar::select_ct(direct_ok, *second, *direct);
    secure_wipe_value(direct_ok);
    secure_wipe_value(fallback_ok);
    return out;
}

Scalar seeded_scalar(const char* tag, const uint8_t seed32[32], uint32_t id, const uint8_t* extra, size_t extra_len) {
    WipeOnExit<Sha256Context> h;
    tagged_hash_init(*h, tag);
    sha256_update(*h, seed32, 32);
    uint8_t id_be[4];
    store_be32(id_be, id);
    sha256_update(*h, id_be, 4);
    sha256_update(*h, extra, extra_len);
    SecretBytes<32> digest;
    sha256_final(*h, digest.data());
    return hash_to_scalar(digest.data());
}

}  // namespace qorvex::frost
