// BIP-39 internals: the word list against the published file, the
// constant-time encoder and decoder against each other on every size, the
// NFKD step and PBKDF2 (the Japanese vectors, whose text is not
// normalised), and PBKDF2-HMAC-SHA512 against its definition.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bitcoin/bip39.h"
#include "bitcoin/bip39_wordlist.h"
#include "bitcoin/nfkd.h"
#include "hash/hmac_sha512.h"
#include "hash/pbkdf2_sha512.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

std::string sv(const SecretBuffer& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }

TEST(Bip39WordList, IsThePublishedList) {
    std::istringstream in(read_text_file(vector_path("bip39/english.txt")));
    std::string word;
    size_t i = 0;
    while (std::getline(in, word)) {
        ASSERT_LT(i, bip39::kWordCount);
        EXPECT_EQ(word, bip39::kEnglish[i]);
        EXPECT_EQ(word.size(), bip39::kEnglishLength[i]);
        uint64_t packed = 0;
        for (size_t j = 0; j < word.size(); ++j) packed |= uint64_t{static_cast<uint8_t>(word[j])} << (8 * j);
        EXPECT_EQ(packed, bip39::kEnglishPacked[i]);
        ++i;
    }
    EXPECT_EQ(bip39::kWordCount, i);
}

std::string sentence(const Bytes& entropy) {
    char text[bip39::kMaxMnemonicLength];
    size_t len = 0;
    EXPECT_TRUE(bip39::mnemonic_from_entropy(entropy, text, len));
    return std::string(text, len);
}

// Every size, with random entropy and the two extremes; the decoder gives
// the entropy back, and the sentence is the word list read plainly.
TEST(Bip39Mnemonic, EncoderAndDecoderAgree) {
    std::mt19937 rng(39);
    for (size_t n = 16; n <= 32; n += 4) {
        for (int round = 0; round < 6; ++round) {
            Bytes e(n, round == 0 ? 0x00 : 0xFF);
            if (round > 1)
                for (auto& b : e) b = static_cast<uint8_t>(rng());
            SCOPED_TRACE(to_hex(e));
            const std::string text = sentence(e);
            // Each word is looked up by the plain index of its 11 bits.
            std::istringstream words(text);
            std::string w;
            size_t count = 0;
            while (words >> w) {
                unsigned index = 0;
                for (size_t b = 0; b < 11; ++b) {
                    const size_t p = 11 * count + b;
                    const unsigned bit = p < 8 * n ? (e[p / 8] >> (7 - p % 8)) & 1 : 0;
                    index = index << 1 | bit;
                }
                if (11 * count + 11 <= 8 * n) {
                    EXPECT_STREQ(bip39::kEnglish[index], w.c_str());
                }
                ++count;
            }
            EXPECT_EQ(n * 3 / 4, count);
            uint8_t back[32];
            size_t len = 0;
            ASSERT_TRUE(bip39::mnemonic_to_entropy(text, back, len));
            EXPECT_EQ(e, Bytes(back, back + len));
        }
    }
    char text[bip39::kMaxMnemonicLength];
    size_t len = 0;
    EXPECT_FALSE(bip39::mnemonic_from_entropy(Bytes(15), text, len));
    EXPECT_FALSE(bip39::mnemonic_from_entropy(Bytes(36), text, len));
}

// Words of more than 8 letters, a 25th word, and every list word with one
// letter changed into a non-word, must not be found.
TEST(Bip39Mnemonic, DecoderRefusesWhatIsNotInTheList) {
    const std::string base = sentence(Bytes(32, 0x5A));
    uint8_t out[32];
    size_t len = 0;
    ASSERT_TRUE(bip39::mnemonic_to_entropy(base, out, len));
    EXPECT_FALSE(bip39::mnemonic_to_entropy(base + " abandon", out, len));
    EXPECT_FALSE(bip39::mnemonic_to_entropy("abandonabandon " + base.substr(base.find(' ') + 1), out, len));
    // "abandon" x 11 + "about" is valid; an eight-letter prefix of a longer
    // non-word and the word with a trailing letter are not.
    const std::string eleven = [] {
        std::string s;
        for (int i = 0; i < 11; ++i) s += "abandon ";
        return s;
    }();
    EXPECT_TRUE(bip39::mnemonic_to_entropy(eleven + "about", out, len));
    EXPECT_FALSE(bip39::mnemonic_to_entropy(eleven + "abouts", out, len));
    EXPECT_FALSE(bip39::mnemonic_to_entropy(eleven + "abou", out, len));
    EXPECT_FALSE(bip39::mnemonic_to_entropy(eleven + "About", out, len));
    EXPECT_FALSE(bip39::mnemonic_to_entropy(eleven + "about\xc2\xa0", out, len));  // no-break space is no separator
}

TEST(Nfkd, PathsAndFailure) {
    SecretBuffer out;
    EXPECT_EQ(NfkdResult::ascii, nfkd("", out));
    EXPECT_EQ(0u, out.size());
    EXPECT_EQ(NfkdResult::ascii, nfkd("TREZOR  x\t", out));
    EXPECT_EQ("TREZOR  x\t", sv(out));
    // U+00E9 decomposes to e + U+0301; U+FB01 (the fi ligature) to "fi".
    EXPECT_EQ(NfkdResult::normalized, nfkd("caf\xc3\xa9 \xef\xac\x81", out));
    EXPECT_EQ("cafe\xcc\x81 fi", sv(out));
    // U+FDFA expands to 18 code points, the most any one does.
    EXPECT_EQ(NfkdResult::normalized, nfkd("\xef\xb7\xba", out));
    EXPECT_EQ(
        "\xd8\xb5\xd9\x84\xd9\x89\x20\xd8\xa7\xd9\x84\xd9\x84\xd9\x87\x20\xd8\xb9\xd9\x84\xd9\x8a\xd9\x87\x20\xd9\x88"
        "\xd8\xb3\xd9\x84\xd9\x85",
        sv(out));
    // Invalid UTF-8 (a lone continuation byte, an overlong form, a
    // truncated sequence) is not normalised: the bytes stay as they are.
    for (const char* bad : {"pass\x80word", "\xc0\xaf", "\xe3\x81"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(NfkdResult::failed, nfkd(bad, out));
        EXPECT_EQ(bad, sv(out));
    }
}

// The Japanese vectors: mnemonic (ideographic spaces) and passphrase as
// printed, neither normalised, so the NFKD step decides the seed.
TEST(Bip39Seed, JapaneseVectorsThroughNfkdAndPbkdf2) {
    const Json doc = load_json_vectors("bip39/test_JP_BIP39.json");
    ASSERT_EQ(24u, doc.size());
    for (const auto& v : doc.array()) {
        SCOPED_TRACE(v["mnemonic"].str());
        uint8_t seed[64];
        bip39::seed_from_text(v["mnemonic"].str(), v["passphrase"].str(), seed);
        EXPECT_EQ(v["seed"].str(), to_hex(seed, 64));
    }
}

// PBKDF2 from its definition: T_i = U_1 ^ ... ^ U_c, U_1 = HMAC(P, S ||
// INT(i)), U_j = HMAC(P, U_{j-1}), with the library's HMAC.
Bytes reference_pbkdf2(const Bytes& pw, const Bytes& salt, uint32_t c, size_t len) {
    Bytes out;
    for (uint32_t i = 1; out.size() < len; ++i) {
        Bytes s = salt;
        for (int k = 3; k >= 0; --k) s.push_back(static_cast<uint8_t>(i >> (8 * k)));
        uint8_t u[64], t[64];
        hmac_sha512(pw.data(), pw.size(), s.data(), s.size(), u);
        std::memcpy(t, u, 64);
        for (uint32_t j = 1; j < c; ++j) {
            uint8_t next[64];
            hmac_sha512(pw.data(), pw.size(), u, 64, next);
            std::memcpy(u, next, 64);
            for (int k = 0; k < 64; ++k) t[k] ^= u[k];
        }
        out.insert(out.end(), t, t + 64);
    }
    out.resize(len);
    return out;
}

TEST(Pbkdf2Sha512, MatchesItsDefinition) {
    struct Case {
        size_t pw_len, salt_len;
        uint32_t iterations;
        size_t out_len;
    };
    // Short and hashed (> 128 bytes) passwords, salts crossing a block,
    // outputs of one, two and a partial block, one and several rounds.
    const Case cases[] = {{8, 4, 1, 64},  {8, 4, 2, 64},    {128, 0, 3, 32},  {129, 200, 3, 100},
                          {0, 0, 1, 1},   {300, 123, 5, 130}, {20, 108, 4, 64}, {20, 109, 4, 64}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.pw_len << "/" << c.salt_len << "/" << c.iterations << "/" << c.out_len);
        Bytes pw(c.pw_len), salt(c.salt_len);
        for (size_t i = 0; i < pw.size(); ++i) pw[i] = static_cast<uint8_t>(i * 13 + 1);
        for (size_t i = 0; i < salt.size(); ++i) salt[i] = static_cast<uint8_t>(i * 7 + 3);
        Bytes out(c.out_len);
        pbkdf2_hmac_sha512(pw.data(), pw.size(), salt.data(), salt.size(), c.iterations, out.data(), out.size());
        EXPECT_EQ(to_hex(reference_pbkdf2(pw, salt, c.iterations, c.out_len)), to_hex(out));
    }
}

// A passphrase that is not UTF-8 enters the salt byte for byte.
TEST(Bip39Seed, InvalidUtf8PassphraseIsUsedAsItIs) {
    const std::string m = "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";
    const std::string pass = "\xff\xfe pass";
    uint8_t seed[64], expected[64];
    bip39::seed_from_text(m, pass, seed);
    const std::string salt = "mnemonic" + pass;
    pbkdf2_hmac_sha512(reinterpret_cast<const uint8_t*>(m.data()), m.size(),
                       reinterpret_cast<const uint8_t*>(salt.data()), salt.size(), 2048, expected, 64);
    EXPECT_EQ(to_hex(expected, 64), to_hex(seed, 64));
}

}  // namespace
}  // namespace qorvex::test
