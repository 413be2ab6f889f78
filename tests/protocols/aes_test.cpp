// AES-256 and counter mode: the FIPS-197 and SP 800-38A known answers on
// both back ends, the S-box against the field inverse, and the back ends
// against each other on random keys, counters and lengths.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "protocols/aes256.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<AesBackend> backends() {
    std::vector<AesBackend> b = {AesBackend::Portable};
    if (aes_detail::aesni_available()) b.push_back(AesBackend::AesNi);
    return b;
}

const char* name(AesBackend b) { return b == AesBackend::AesNi ? "aesni" : "portable"; }

Bytes ctr(AesBackend backend, const Bytes& key, const Bytes& iv, const Bytes& in) {
    Aes256Key k;
    aes256_expand(key.data(), k, backend);
    uint8_t counter[16];
    std::memcpy(counter, iv.data(), 16);
    Bytes out(in.size());
    aes256_ctr(k, counter, in.data(), out.data(), in.size());
    return out;
}

Bytes random_bytes(std::mt19937_64& g, size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(g());
    return b;
}

TEST(Aes256, PublishedKnownAnswersOnEveryBackEnd) {
    const Json doc = load_json_vectors("aes/aes256_known_answers.json");
    for (AesBackend backend : backends()) {
        SCOPED_TRACE(name(backend));
        for (const Json& c : doc["block"].array()) {
            SCOPED_TRACE(c["source"].str());
            Aes256Key k;
            aes256_expand(from_hex(c["key"].str()).data(), k, backend);
            Bytes block = from_hex(c["plaintext"].str());
            aes256_encrypt_block(k, block.data(), block.data());
            EXPECT_EQ(c["ciphertext"].str(), to_hex(block));
        }
        for (const Json& c : doc["ctr"].array()) {
            const Bytes key = from_hex(c["key"].str()), iv = from_hex(c["initial_counter"].str());
            const Bytes pt = from_hex(c["plaintext"].str());
            EXPECT_EQ(c["ciphertext"].str(), to_hex(ctr(backend, key, iv, pt)));
            // Decryption is the same operation.
            EXPECT_EQ(to_hex(pt), to_hex(ctr(backend, key, iv, from_hex(c["ciphertext"].str()))));
        }
    }
}

// The S-box as FIPS-197 defines it: the inverse in GF(2^8) (0 for 0), then
// the affine map, computed here from powers of the generator 3.
TEST(Aes256, SboxIsTheFieldInverseAndAffineMap) {
    uint8_t exp[255], log[256] = {};
    uint8_t x = 1;
    for (int i = 0; i < 255; ++i) {
        exp[i] = x;
        log[x] = static_cast<uint8_t>(i);
        x = static_cast<uint8_t>(x ^ (x << 1) ^ ((x & 0x80) ? 0x1B : 0));  // x * 3
    }
    uint8_t all[256], out[256];
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    for (int off = 0; off < 256; off += 64) aes_detail::sub_bytes_portable(all + off, out + off, 64);
    for (int v = 0; v < 256; ++v) {
        const uint8_t inv = v == 0 ? 0 : exp[(255 - log[v]) % 255];
        uint8_t s = 0x63;
        for (int r = 0; r < 5; ++r) s ^= static_cast<uint8_t>((inv << r) | (inv >> (8 - r)));
        ASSERT_EQ(s, out[v]) << v;
    }
    EXPECT_EQ(0x63, out[0x00]);
    EXPECT_EQ(0xED, out[0x53]);  // the FIPS-197 example, S(53) = ED
}

TEST(Aes256, BackEndsAgreeOnRoundKeysAndKeystreams) {
    if (!aes_detail::aesni_available()) GTEST_SKIP() << "no AES-NI on this processor";
    std::mt19937_64 g(197);
    for (int i = 0; i < 40; ++i) {
        const Bytes key = random_bytes(g, 32);
        Aes256Key a, b;
        aes256_expand(key.data(), a, AesBackend::Portable);
        aes256_expand(key.data(), b, AesBackend::AesNi);
        ASSERT_EQ(0, std::memcmp(a.round_keys, b.round_keys, 240));
        Bytes iv = random_bytes(g, 16);
        // Some counters start just below the 2^128 wrap, some just below a
        // carry out of the low half.
        if (i % 4 == 1) std::memset(iv.data(), 0xFF, 16);
        if (i % 4 == 2) std::memset(iv.data() + 8, 0xFF, 8);
        const Bytes pt = random_bytes(g, static_cast<size_t>(g() % 300));
        ASSERT_EQ(to_hex(ctr(AesBackend::Portable, key, iv, pt)), to_hex(ctr(AesBackend::AesNi, key, iv, pt)))
            << "length " << pt.size();
    }
}

// A counter of sixteen FF bytes is followed by sixteen zero bytes, and the
// counter left behind is the one after the last block used.
TEST(Aes256, CounterWrapsAt2To128) {
    const Bytes key(32, 7);
    Bytes ff(16, 0xFF), zero(16, 0);
    for (AesBackend backend : backends()) {
        SCOPED_TRACE(name(backend));
        Aes256Key k;
        aes256_expand(key.data(), k, backend);
        uint8_t block_ff[16], block_zero[16];
        aes256_encrypt_block(k, ff.data(), block_ff);
        aes256_encrypt_block(k, zero.data(), block_zero);
        const Bytes stream = ctr(backend, key, ff, Bytes(32, 0));
        EXPECT_EQ(to_hex(block_ff, 16) + to_hex(block_zero, 16), to_hex(stream));

        uint8_t counter[16];
        std::memset(counter, 0xFF, 16);
        uint8_t out[17];
        const uint8_t in[17] = {};
        aes256_ctr(k, counter, in, out, 17);  // two blocks, the second partial
        Bytes want(16, 0);
        want[15] = 1;
        EXPECT_EQ(to_hex(want), to_hex(counter, 16));
    }
}

// Pieces whose lengths are multiples of 16 continue the keystream exactly;
// in place works.
TEST(Aes256, PiecesAndInPlace) {
    std::mt19937_64 g(38);
    const Bytes key = random_bytes(g, 32), iv = random_bytes(g, 16), pt = random_bytes(g, 1000);
    for (AesBackend backend : backends()) {
        SCOPED_TRACE(name(backend));
        const Bytes whole = ctr(backend, key, iv, pt);
        Aes256Key k;
        aes256_expand(key.data(), k, backend);
        uint8_t counter[16];
        std::memcpy(counter, iv.data(), 16);
        Bytes pieces = pt;
        size_t off = 0;
        for (size_t n : {16u, 48u, 0u, 144u, 256u, 16u}) {
            aes256_ctr(k, counter, pieces.data() + off, pieces.data() + off, n);
            off += n;
        }
        aes256_ctr(k, counter, pieces.data() + off, pieces.data() + off, pt.size() - off);
        EXPECT_EQ(to_hex(whole), to_hex(pieces));
    }
}

TEST(Aes256, ProcessBackEndIsNamed) {
    const std::string n = aes_backend_name();
#if defined(QORVEX_AES_BACKEND_PORTABLE)
    EXPECT_EQ("portable", n);
#elif defined(QORVEX_AES_BACKEND_AESNI)
    EXPECT_EQ("aesni", n);
#else
    EXPECT_EQ(aes_detail::aesni_available() ? "aesni" : "portable", n);
#endif
}

}  // namespace
}  // namespace qorvex::test
