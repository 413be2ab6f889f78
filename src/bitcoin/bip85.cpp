#include "bitcoin/bip85.h"

#include <cstdio>
#include <cstring>

#include "hash/hmac_sha512.h"
#include "support/wipe.h"

namespace qorvex::bip85 {

namespace {

// BIP-85's HMAC key.
constexpr char kHmacKey[] = "bip-entropy-from-k";

}  // namespace

bool entropy(const ExtendedKey& root, std::string_view path, uint8_t out64[kEntropySize]) {
    if (!root.is_private) return false;
    WipeOnExit<ExtendedKey> derived;
    if (!bip32::derive_path(root, path, *derived)) return false;
    SecretBytes<kEntropySize> e;
    hmac_sha512(reinterpret_cast<const uint8_t*>(kHmacKey), sizeof kHmacKey - 1, derived->key, 32, e.data());
    std::memcpy(out64, e.data(), kEntropySize);
    return true;
}

size_t bip39_path(uint32_t language, uint32_t words, uint32_t index, char out[kMaxPathLength]) {
    const int n = std::snprintf(out, kMaxPathLength, "m/83696968'/39'/%u'/%u'/%u'", static_cast<unsigned>(language),
                                static_cast<unsigned>(words), static_cast<unsigned>(index));
    return n < 0 ? 0 : static_cast<size_t>(n);
}

}  // namespace qorvex::bip85
