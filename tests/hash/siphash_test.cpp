// SipHash-2-4 against the output of an independent implementation
// (OpenSSL 3.0's SIPHASH MAC, 2-4 rounds, 8-byte tag) over the table the
// SipHash authors publish: key 00 01 .. 0f, messages 00 01 .. (len - 1) for
// every length from 0 to 63, so that every tail length and the length byte
// are covered. Row 15 is the worked example of the SipHash paper's appendix
// (a129ca6149be45e5).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hash/siphash.h"
#include "support/bytes.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

// The 8-byte tags, the 64-bit result stored little-endian.
const char* const kReferenceTags[64] = {
        "310e0edd47db6f72", "fd67dc93c539f874", "5a4fa9d909806c0d", "2d7efbd796666785",
        "b7877127e09427cf", "8da699cd64557618", "cee3fe586e46c9cb", "37d1018bf50002ab",
        "6224939a79f5f593", "b0e4a90bdf82009e", "f3b9dd94c5bb5d7a", "a7ad6b22462fb3f4",
        "fbe50e86bc8f1e75", "903d84c02756ea14", "eef27a8e90ca23f7", "e545be4961ca29a1",
        "db9bc2577fcc2a3f", "9447be2cf5e99a69", "9cd38d96f0b3c14b", "bd6179a71dc96dbb",
        "98eea21af25cd6be", "c7673b2eb0cbf2d0", "883ea3e395675393", "c8ce5ccd8c030ca8",
        "94af49f6c650adb8", "eab8858ade92e1bc", "f315bb5bb835d817", "adcf6b0763612e2f",
        "a5c91da7acaa4dde", "716595876650a2a6", "28ef495c53a387ad", "42c341d8fa92d832",
        "ce7cf2722f512771", "e37859f94623f3a7", "381205bb1ab0e012", "ae97a10fd434e015",
        "b4a31508beff4d31", "81396229f0907902", "4d0cf49ee5d4dcca", "5c73336a76d8bf9a",
        "d0a704536ba93e0e", "925958fcd6420cad", "a915c29bc8067318", "952b79f3bc0aa6d4",
        "f21df2e41d4535f9", "87577519048f53a9", "10a56cf5dfcd9adb", "eb75095ccd986cd0",
        "51a9cb9ecba312e6", "96afadfc2ce666c7", "72fe52975a4364ee", "5a1645b276d592a1",
        "b274cb8ebf87870a", "6f9bb4203de7b381", "eaecb2a30b22a87f", "9924a43cc1315724",
        "bd838d3aafbf8db7", "0b1a2a3265d51aea", "135079a3231ce660", "932b2846e4d70666",
        "e1915f5cb1eca46c", "f325965ca16d629f", "575ff28e60381be5", "724506eb4c328a95",
};

TEST(SipHash, ReferenceTable) {
    uint8_t key[16], msg[64];
    for (int i = 0; i < 16; ++i) key[i] = static_cast<uint8_t>(i);
    for (int i = 0; i < 64; ++i) msg[i] = static_cast<uint8_t>(i);
    const uint64_t k0 = load_le64(key), k1 = load_le64(key + 8);
    for (size_t len = 0; len < 64; ++len) {
        SCOPED_TRACE("length " + std::to_string(len));
        uint8_t tag[8];
        store_le64(tag, siphash24(key, msg, len));
        EXPECT_EQ(kReferenceTags[len], to_hex(tag, 8));
        EXPECT_EQ(siphash24(key, msg, len), siphash24(k0, k1, msg, len));
    }
    EXPECT_EQ(0xa129ca6149be45e5ULL, siphash24(key, msg, 15));
}

// Another key, and a message whose bytes are not a counter; the empty
// message may come without a pointer.
TEST(SipHash, OtherKeyAndNullEmptyMessage) {
    const std::vector<uint8_t> key = from_hex("f0e1d2c3b4a5968778695a4b3c2d1e0f");
    const std::string text = "Hello, world";
    uint8_t tag[8];
    store_le64(tag, siphash24(key.data(), reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    EXPECT_EQ("3ed26a72f8befc90", to_hex(tag, 8));
    uint8_t counting[16];
    for (int i = 0; i < 16; ++i) counting[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(0x726fdb47dd0e0e31ULL, siphash24(counting, nullptr, 0));
}

}  // namespace
}  // namespace qorvex::test
