#include "bitcoin/message.h"

#include "bitcoin/base64.h"
#include "bitcoin/compact_size.h"
#include "hash/sha256.h"

namespace qorvex::message {

namespace {

// The length byte (24) and the 24 characters it announces.
constexpr uint8_t kPrefix[] = "\x18" "Bitcoin Signed Message:\n";
static_assert(sizeof kPrefix - 1 == 25, "0x18 and 24 characters");

}  // namespace

void hash(const uint8_t* msg, size_t len, uint8_t out32[32]) {
    Sha256Context h;
    sha256_init(h);
    sha256_update(h, kPrefix, sizeof kPrefix - 1);
    uint8_t size[compact_size::kMaxSize];
    sha256_update(h, size, compact_size::encode(len, size));
    sha256_update(h, msg, len);
    uint8_t first[32];
    // The context, which held message bytes, is wiped by the final step.
    sha256_final(h, first);
    sha256(first, 32, out32);
}

void encode_signature(const ecdsa::Signature& sig, int recid, char text_out[kSignatureTextLength]) {
    uint8_t raw[kSignatureSize];
    raw[0] = static_cast<uint8_t>(kHeaderCompressed + recid);
    ecdsa::write_compact(sig, raw + 1);
    base64::encode(raw, text_out);
}

bool decode_signature(std::string_view text, ecdsa::Signature& out) {
    if (text.size() != kSignatureTextLength) return false;
    uint8_t raw[kSignatureSize];
    const auto n = base64::decode(text, raw);
    if (!n || *n != kSignatureSize) return false;
    if (raw[0] < kHeaderMin || raw[0] > kHeaderMax) return false;
    return ecdsa::parse_compact(raw + 1, out);
}

}  // namespace qorvex::message
