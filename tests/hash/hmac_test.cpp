// HMAC-SHA256 and HMAC-SHA512: RFC 4231, the RFC 2104 key rules at the block
// size, and the fixed-key form used for RFC 6979 against the general form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hash/hmac_sha256.h"
#include "hash/hmac_sha512.h"
#include "hash/sha256.h"
#include "hash/sha512.h"
#include "support/vectors.h"
#include "support/wipe.h"

namespace qorvex::test {
namespace {

std::vector<uint8_t> random_bytes(std::mt19937& rng, size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

std::string hmac256_hex(const std::vector<uint8_t>& key, const std::vector<uint8_t>& msg) {
    uint8_t out[32];
    hmac_sha256(key.data(), key.size(), msg.data(), msg.size(), out);
    return to_hex(out, 32);
}

std::string hmac512_hex(const std::vector<uint8_t>& key, const std::vector<uint8_t>& msg) {
    uint8_t out[64];
    hmac_sha512(key.data(), key.size(), msg.data(), msg.size(), out);
    return to_hex(out, 64);
}

// All seven cases, for both hashes; case 5 publishes only a 16-byte prefix.
// Cases 6 and 7 have 131-byte keys, longer than either block.
TEST(Hmac, Rfc4231) {
    const Json file = load_json_vectors("rfc4231/rfc4231_hmac_sha2.json");
    const auto& cases = file["cases"].array();
    ASSERT_EQ(7u, cases.size());
    for (const Json& c : cases) {
        SCOPED_TRACE("RFC 4231 case " + std::to_string(c["case"].integer()));
        const auto key = from_hex(c["key"].str());
        const auto data = from_hex(c["data"].str());
        const size_t keep = c.has("truncated_to_bytes") ? static_cast<size_t>(c["truncated_to_bytes"].integer()) : 64;
        EXPECT_EQ(lower(c["hmac_sha256"].str()), hmac256_hex(key, data).substr(0, 2 * std::min<size_t>(keep, 32)));
        EXPECT_EQ(lower(c["hmac_sha512"].str()), hmac512_hex(key, data).substr(0, 2 * keep));
    }
}

// RFC 2104 at the block size B: a key of exactly B bytes is used as it is,
// one of B + 1 bytes is replaced by its hash, and short keys (the empty one
// included) are zero-padded.
TEST(Hmac, KeyLengthRulesAtTheBlockSize) {
    std::mt19937 rng(2104);
    const auto msg = random_bytes(rng, 40);
    struct Hash {
        const char* name;
        size_t block;
        size_t digest;
        std::string (*mac)(const std::vector<uint8_t>&, const std::vector<uint8_t>&);
        void (*hash)(const uint8_t*, size_t, uint8_t*);
    };
    const Hash hashes[] = {
        {"sha256", 64, 32, hmac256_hex, sha256},
        {"sha512", 128, 64, hmac512_hex, sha512},
    };
    for (const auto& h : hashes) {
        SCOPED_TRACE(h.name);
        for (size_t len : {h.block, h.block + 1}) {
            const auto key = random_bytes(rng, len);
            std::vector<uint8_t> hashed(h.digest);
            h.hash(key.data(), key.size(), hashed.data());
            if (len > h.block)
                EXPECT_EQ(h.mac(hashed, msg), h.mac(key, msg)) << "key of " << len;
            else
                EXPECT_NE(h.mac(hashed, msg), h.mac(key, msg)) << "key of " << len;
            // Trailing zero bytes up to the block size do not change the key.
            auto padded = hashed;
            padded.resize(h.block, 0);
            EXPECT_EQ(h.mac(hashed, msg), h.mac(padded, msg));
        }
        EXPECT_EQ(h.mac({}, msg), h.mac(std::vector<uint8_t>(h.block, 0), msg)) << "empty key";
        EXPECT_EQ(h.mac({}, {}), h.mac(std::vector<uint8_t>(7, 0), {})) << "empty key and message";
    }
}

// The RFC 6979 lengths (V, V || 0x00, V || b || x || h1) with several keys,
// then every other length the fixed form accepts.
TEST(Hmac, FixedKeyEqualsGeneralForm) {
    std::mt19937 rng(6979);
    for (int trial = 0; trial < 20; ++trial) {
        const auto key = random_bytes(rng, 32);
        WipeOnExit<HmacSha256Key> k;
        k->set(key.data());
        for (size_t len : {size_t{32}, size_t{33}, size_t{97}}) {
            const auto msg = random_bytes(rng, len);
            uint8_t out[32];
            ASSERT_TRUE(k->mac(msg.data(), msg.size(), out));
            EXPECT_EQ(hmac256_hex(key, msg), to_hex(out, 32)) << "trial " << trial << ", length " << len;
        }
    }
    const auto key = random_bytes(rng, 32);
    HmacSha256Key k;
    k.set(key.data());
    for (size_t len = 0; len <= 119; ++len) {
        if (!HmacSha256Key::length_supported(len)) continue;
        const auto msg = random_bytes(rng, len);
        uint8_t out[32];
        ASSERT_TRUE(k.mac(msg.data(), msg.size(), out)) << len;
        EXPECT_EQ(hmac256_hex(key, msg), to_hex(out, 32)) << "length " << len;
    }
}

// Lengths whose padding does not fit the one- or two-block layout are refused
// and leave the output alone.
TEST(Hmac, FixedKeyRefusesOtherLengths) {
    const uint8_t key[32] = {1};
    HmacSha256Key k;
    k.set(key);
    const std::vector<uint8_t> msg(200, 0x42);
    for (size_t len : {size_t{56}, size_t{60}, size_t{64}, size_t{120}, size_t{200}}) {
        EXPECT_FALSE(HmacSha256Key::length_supported(len));
        uint8_t out[32];
        std::memset(out, 0xee, sizeof(out));
        EXPECT_FALSE(k.mac(msg.data(), len, out)) << len;
        EXPECT_EQ(std::string(64, 'e'), to_hex(out, 32)) << len;
    }
    for (size_t len : {size_t{0}, size_t{55}, size_t{65}, size_t{119}}) EXPECT_TRUE(HmacSha256Key::length_supported(len));
}

}  // namespace
}  // namespace qorvex::test
