// BIP-340 tagged hashes: the fixed-tag midstates against the general form
// and against the definition spelled out with plain SHA-256.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "hash/sha256.h"
#include "hash/tagged_hash.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

// SHA-256(SHA-256(tag) || SHA-256(tag) || msg), from the one-shot hash only.
std::string tagged_by_definition(const std::string& tag, const std::vector<uint8_t>& msg) {
    uint8_t t[32];
    sha256(reinterpret_cast<const uint8_t*>(tag.data()), tag.size(), t);
    std::vector<uint8_t> all(t, t + 32);
    all.insert(all.end(), t, t + 32);
    all.insert(all.end(), msg.begin(), msg.end());
    uint8_t out[32];
    sha256(all.data(), all.size(), out);
    return to_hex(out, 32);
}

std::vector<uint8_t> message(size_t n) {
    std::vector<uint8_t> m(n);
    for (size_t i = 0; i < n; ++i) m[i] = static_cast<uint8_t>(0xa5 ^ i);
    return m;
}

// The exact tag bytes the protocols depend on, in table order.
const char* const kExpectedTags[] = {
    "BIP0340/aux",   "BIP0340/nonce",   "BIP0340/challenge", "BIP0340/msg",   "TapTweak",
    "KeyAgg list",   "KeyAgg coefficient", "MuSig/aux",      "MuSig/nonce",   "MuSig/noncecoef",
    "FROST_binding", "Bulletproof/gen", "Bulletproof/ip",    "Bulletproof/x", "Bulletproof/y",
    "Bulletproof/z", "ZK/dleq",         "ZK/knowledge",      "ZK/nonce",
};
static_assert(std::size(kExpectedTags) == kFixedTagCount);

TEST(TaggedHash, FixedTagNamesAreExact) {
    for (size_t i = 0; i < kFixedTagCount; ++i) {
        EXPECT_STREQ(kExpectedTags[i], fixed_tag_name(static_cast<FixedTag>(i))) << i;
    }
}

TEST(TaggedHash, MidstateEqualsGeneralFormForEveryFixedTag) {
    // Message lengths around the first block boundary after the prefix.
    const size_t lengths[] = {0, 1, 32, 55, 56, 64, 65, 97, 200};
    for (size_t i = 0; i < kFixedTagCount; ++i) {
        const auto tag = static_cast<FixedTag>(i);
        const Sha256Context& mid = tag_midstate(tag);
        EXPECT_EQ(0u, mid.buffered);
        EXPECT_EQ(64u, mid.total);
        for (size_t len : lengths) {
            SCOPED_TRACE(std::string(fixed_tag_name(tag)) + ", " + std::to_string(len) + " bytes");
            const auto msg = message(len);
            uint8_t from_midstate[32], general[32];
            tagged_hash(tag, msg.data(), msg.size(), from_midstate);
            tagged_hash(fixed_tag_name(tag), msg.data(), msg.size(), general);
            EXPECT_EQ(to_hex(general, 32), to_hex(from_midstate, 32));
            EXPECT_EQ(tagged_by_definition(fixed_tag_name(tag), msg), to_hex(general, 32));
        }
    }
}

// Tags that are not in the table, including the empty one, and one longer
// than a block (its own hash must then take two compressions).
TEST(TaggedHash, GeneralFormMatchesDefinition) {
    const std::string tags[] = {"", "BIP0352/SharedSecret", "FROST_keygen_poly", std::string(100, 'T')};
    for (const auto& tag : tags) {
        for (size_t len : {size_t{0}, size_t{33}, size_t{130}}) {
            SCOPED_TRACE("tag of " + std::to_string(tag.size()) + " bytes, message " + std::to_string(len));
            const auto msg = message(len);
            uint8_t out[32];
            tagged_hash(tag.c_str(), msg.data(), msg.size(), out);
            EXPECT_EQ(tagged_by_definition(tag, msg), to_hex(out, 32));
        }
    }
}

// Building a multi-part message from the initialisers, as BIP-340
// challenges (R || P || m) are built.
TEST(TaggedHash, InitialisersContinueLikeOneShot) {
    const auto msg = message(96);
    uint8_t expected[32];
    tagged_hash(FixedTag::Bip340Challenge, msg.data(), msg.size(), expected);
    for (bool by_name : {false, true}) {
        Sha256Context ctx;
        if (by_name)
            tagged_hash_init(ctx, "BIP0340/challenge");
        else
            tagged_hash_init(ctx, FixedTag::Bip340Challenge);
        for (size_t off = 0; off < 96; off += 32) sha256_update(ctx, msg.data() + off, 32);
        uint8_t out[32];
        sha256_final(ctx, out);
        EXPECT_EQ(to_hex(expected, 32), to_hex(out, 32)) << (by_name ? "by name" : "fixed");
    }
}

}  // namespace
}  // namespace qorvex::test
