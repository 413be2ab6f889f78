#include "protocols/digest_scalar.h"

#include "support/ct.h"
#include "support/wipe.h"

namespace qorvex {

Scalar digest_scalar_ct(const uint8_t digest32[32], uint64_t& valid_mask) {
    // The reduction changes the value exactly when the digest is n or
    // more, so a round trip through the bytes tells the range without a
    // comparison that could branch.
    const Scalar s = Scalar::from_bytes_reduce(digest32);
    SecretBytes<32> back;
    s.to_bytes(back.data());
    valid_mask = bytes_equal_mask(back.data(), digest32, 32) & ~s.is_zero_mask();
    return s;
}

uint64_t bytes_equal_mask(const uint8_t* a, const uint8_t* b, size_t len) {
    uint64_t diff = 0;
    for (size_t i = 0; i < len; ++i) diff |= static_cast<uint64_t>(a[i] ^ b[i]);
    return ct::is_zero_mask(diff);
}

}  // namespace qorvex
