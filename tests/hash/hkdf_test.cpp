// HKDF-SHA256: the RFC 5869 cases, the empty-salt rule and the length limit.
#include <gtest/gtest.h>

#include <vector>

#include "hash/hkdf_sha256.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

TEST(Hkdf, Rfc5869Cases) {
    const Json doc = load_json_vectors("rfc5869/rfc5869_hkdf_sha256.json");
    ASSERT_EQ(3u, doc["cases"].array().size());
    for (const Json& c : doc["cases"].array()) {
        SCOPED_TRACE("RFC 5869 case " + std::to_string(c["case"].integer()));
        const auto ikm = from_hex(c["ikm"].str()), salt = from_hex(c["salt"].str()), info = from_hex(c["info"].str());
        uint8_t prk[32];
        hkdf_extract(salt.empty() ? nullptr : salt.data(), salt.size(), ikm.data(), ikm.size(), prk);
        EXPECT_EQ(c["prk"].str(), to_hex(prk, 32));
        std::vector<uint8_t> okm(static_cast<size_t>(c["length"].integer()));
        ASSERT_TRUE(hkdf_expand(prk, info.empty() ? nullptr : info.data(), info.size(), okm.data(), okm.size()));
        EXPECT_EQ(c["okm"].str(), to_hex(okm));
    }
}

TEST(Hkdf, EmptySaltIsThirtyTwoZeroBytes) {
    const std::vector<uint8_t> ikm(22, 0x0b), zeros(32, 0);
    uint8_t a[32], b[32], c[32];
    hkdf_extract(nullptr, 0, ikm.data(), ikm.size(), a);
    hkdf_extract(zeros.data(), 0, ikm.data(), ikm.size(), b);
    hkdf_extract(zeros.data(), 32, ikm.data(), ikm.size(), c);
    EXPECT_EQ(to_hex(a, 32), to_hex(b, 32));
    EXPECT_EQ(to_hex(a, 32), to_hex(c, 32));
}

// 255 blocks is the most RFC 5869 allows; one byte more is refused without
// a byte written. Output prefixes agree across lengths.
TEST(Hkdf, LengthLimit) {
    const uint8_t prk[32] = {1, 2, 3};
    std::vector<uint8_t> out(kHkdfMaxOutput + 1, 0xAA);
    EXPECT_FALSE(hkdf_expand(prk, nullptr, 0, out.data(), out.size()));
    for (uint8_t b : out) ASSERT_EQ(0xAA, b);
    ASSERT_TRUE(hkdf_expand(prk, nullptr, 0, out.data(), kHkdfMaxOutput));
    EXPECT_EQ(0xAA, out[kHkdfMaxOutput]);
    std::vector<uint8_t> shorter(33);
    ASSERT_TRUE(hkdf_expand(prk, nullptr, 0, shorter.data(), shorter.size()));
    EXPECT_EQ(to_hex(shorter), to_hex(out.data(), 33));
}

}  // namespace
}  // namespace qorvex::test
