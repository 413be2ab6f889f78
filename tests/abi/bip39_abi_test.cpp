// BIP-39 and BIP-85 through the exported interface: the English vectors
// from entropy to mnemonic, seed and master key text, the BIP-85 vectors
// (entropy and the 12/18/24-word mnemonics), the validation rules, every
// code and message, and the buffers' rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kAbandonAbout =
    "abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about";

class Bip39Abi : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx_.get()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx_.get()));
    }
    std::string generate(const Bytes& entropy) {
        char buf[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
        size_t len = sizeof buf;
        EXPECT_EQ(QORVEX_OK, qorvex_bip39_generate(ctx_.get(), entropy.size(), entropy.data(), buf, &len));
        return std::string(buf, len);
    }
    std::string seed(const std::string& m, const char* pass) {
        uint8_t s[QORVEX_BIP39_SEED_SIZE];
        EXPECT_EQ(QORVEX_OK, qorvex_bip39_to_seed(ctx_.get(), m.c_str(), pass, s));
        return to_hex(s, sizeof s);
    }
    qorvex_bip32_key from_text(const std::string& t) {
        qorvex_bip32_key k;
        EXPECT_EQ(QORVEX_OK, qorvex_bip32_from_base58(ctx_.get(), t.c_str(), &k));
        return k;
    }
    CtxPtr ctx_;
};

// entropy -> mnemonic -> entropy, seed ("TREZOR") -> master xprv text.
TEST_F(Bip39Abi, EnglishVectors) {
    const Json doc = load_json_vectors("bip39/vectors.json");
    ASSERT_EQ(24u, doc["english"].size());
    for (const auto& v : doc["english"].array()) {
        const Bytes entropy = from_hex(v[0].str());
        const std::string mnemonic = v[1].str();
        SCOPED_TRACE(mnemonic);
        EXPECT_EQ(mnemonic, generate(entropy));
        EXPECT_EQ(QORVEX_OK, qorvex_bip39_validate(ctx_.get(), mnemonic.c_str()));
        uint8_t back[QORVEX_BIP39_ENTROPY_MAX_SIZE];
        size_t len = sizeof back;
        ASSERT_EQ(QORVEX_OK, qorvex_bip39_to_entropy(ctx_.get(), mnemonic.c_str(), back, &len));
        EXPECT_EQ(entropy, Bytes(back, back + len));
        const std::string s = seed(mnemonic, "TREZOR");
        EXPECT_EQ(v[2].str(), s);
        const Bytes sb = from_hex(s);
        qorvex_bip32_key m;
        ASSERT_EQ(QORVEX_OK, qorvex_bip32_master(ctx_.get(), sb.data(), sb.size(), &m));
        char text[QORVEX_BIP32_TEXT_SIZE];
        size_t tlen = sizeof text;
        ASSERT_EQ(QORVEX_OK, qorvex_bip32_to_base58(ctx_.get(), &m, text, &tlen));
        EXPECT_EQ(v[3].str(), std::string(text, tlen));
    }
}

TEST_F(Bip39Abi, GenerateChecksAndRandomEntropy) {
    char buf[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    std::memset(buf, 'x', sizeof buf);
    size_t len = sizeof buf;
    const Bytes e(33, 0);
    for (const size_t n : {size_t{0}, size_t{12}, size_t{15}, size_t{17}, size_t{33}}) {
        SCOPED_TRACE(n);
        expect_error(qorvex_bip39_generate(ctx_.get(), n, e.data(), buf, &len), 5, "entropy must be 16/20/24/28/32");
        expect_error(qorvex_bip39_generate(ctx_.get(), n, nullptr, buf, &len), 5, "entropy must be 16/20/24/28/32");
    }
    EXPECT_EQ(sizeof buf, len);
    EXPECT_EQ(std::string(sizeof buf, 'x'), std::string(buf, sizeof buf));
    // Without entropy the operating system provides it: valid, of the
    // right size, and different each time.
    std::set<std::string> seen;
    for (const size_t n : {size_t{16}, size_t{20}, size_t{24}, size_t{28}, size_t{32}}) {
        len = sizeof buf;
        ASSERT_EQ(QORVEX_OK, qorvex_bip39_generate(ctx_.get(), n, nullptr, buf, &len));
        EXPECT_EQ(QORVEX_OK, qorvex_bip39_validate(ctx_.get(), buf));
        uint8_t back[32];
        size_t blen = sizeof back;
        ASSERT_EQ(QORVEX_OK, qorvex_bip39_to_entropy(ctx_.get(), buf, back, &blen));
        EXPECT_EQ(n, blen);
        seen.insert(buf);
    }
    EXPECT_EQ(5u, seen.size());
}

// All-zero entropy: every word "abandon" but the last, which carries the
// checksum; the capacity rule at L and L + 1.
TEST_F(Bip39Abi, ZeroEntropyAndCapacity) {
    const Bytes zero(16, 0);
    EXPECT_EQ(kAbandonAbout, generate(zero));
    const size_t L = kAbandonAbout.size();
    std::vector<char> buf(L + 1, 'x');
    size_t len = L;
    expect_error(qorvex_bip39_generate(ctx_.get(), 16, zero.data(), buf.data(), &len), 10, "mnemonic buffer too small");
    EXPECT_EQ(L, len);
    EXPECT_EQ(std::vector<char>(L + 1, 'x'), buf);
    len = L + 1;
    ASSERT_EQ(QORVEX_OK, qorvex_bip39_generate(ctx_.get(), 16, zero.data(), buf.data(), &len));
    EXPECT_EQ(L, len);
    EXPECT_EQ(kAbandonAbout, std::string(buf.data()));
    // The longest sentence fits the header's size exactly.
    EXPECT_GE(QORVEX_BIP39_MNEMONIC_MAX_SIZE, generate(Bytes(32, 0xFF)).size() + 1);
}

TEST_F(Bip39Abi, ValidationRules) {
    const std::string m24 = generate(Bytes(32, 0x7F));
    const std::string m15 = generate(Bytes(20, 0x11));
    const std::string m21 = generate(Bytes(28, 0x22));
    std::string wrong_checksum = kAbandonAbout.substr(0, kAbandonAbout.rfind(' ')) + " abandon";
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {kAbandonAbout, true},
        {m15, true},
        {m21, true},
        {m24, true},
        {"  \t" + kAbandonAbout + "\n\r", true},
        {[] {
             std::string s = kAbandonAbout;
             for (size_t p = s.find(' '); p != std::string::npos; p = s.find(' ', p + 5)) s.replace(p, 1, " \t\v\f ");
             return s;
         }(),
         true},
        {wrong_checksum, false},
        {kAbandonAbout + " abandon", false},  // 13 words
        {m24 + " abandon abandon abandon", false},  // 27 words
        {"ABANDON" + kAbandonAbout.substr(7), false},
        {"abandon,abandon abandon abandon abandon abandon abandon abandon abandon abandon abandon about", false},
        {"", false},
        {"   ", false},
        {"abandon", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.valid ? QORVEX_OK : QORVEX_ERR_BAD_INPUT, qorvex_bip39_validate(ctx_.get(), c.text.c_str()));
        uint8_t e[32];
        size_t len = sizeof e;
        const int rc = qorvex_bip39_to_entropy(ctx_.get(), c.text.c_str(), e, &len);
        if (c.valid) {
            EXPECT_EQ(QORVEX_OK, rc);
        } else {
            expect_error(rc, 5, "invalid mnemonic");
            EXPECT_EQ(sizeof e, len);
        }
    }
    // validate never writes the context.
    uint8_t zero[32] = {0};
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx_.get(), zero));
    EXPECT_EQ(QORVEX_ERR_BAD_INPUT, qorvex_bip39_validate(ctx_.get(), "nope"));
    EXPECT_EQ(QORVEX_OK, qorvex_bip39_validate(ctx_.get(), kAbandonAbout.c_str()));
    EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(ctx_.get()));
    EXPECT_STREQ("privkey is zero or >= n", qorvex_last_error_msg(ctx_.get()));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_bip39_validate(nullptr, kAbandonAbout.c_str()));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_bip39_validate(ctx_.get(), nullptr));
}

TEST_F(Bip39Abi, EntropyCapacity) {
    uint8_t e[32];
    size_t len = 16;  // exactly the entropy's length
    ASSERT_EQ(QORVEX_OK, qorvex_bip39_to_entropy(ctx_.get(), kAbandonAbout.c_str(), e, &len));
    EXPECT_EQ(16u, len);
    std::memset(e, 0xA5, sizeof e);
    len = 15;
    expect_error(qorvex_bip39_to_entropy(ctx_.get(), kAbandonAbout.c_str(), e, &len), 10, "entropy buffer too small");
    EXPECT_EQ(15u, len);
    EXPECT_EQ(Bytes(32, 0xA5), Bytes(e, e + 32));
}

TEST_F(Bip39Abi, SeedFromTextAsGiven) {
    // A NULL passphrase is the empty one.
    EXPECT_EQ(seed(kAbandonAbout, ""), seed(kAbandonAbout, nullptr));
    // The seed is computed on the text as given: two spaces make another
    // seed, though both sentences are valid.
    const std::string doubled = "abandon  " + kAbandonAbout.substr(8);
    EXPECT_NE(seed(kAbandonAbout, "x"), seed(doubled, "x"));
    // NFKD: a precomposed e-acute and e + combining acute are one passphrase.
    EXPECT_EQ(seed(kAbandonAbout, "caf\xc3\xa9"), seed(kAbandonAbout, "cafe\xcc\x81"));
    EXPECT_NE(seed(kAbandonAbout, "caf\xc3\xa9"), seed(kAbandonAbout, "cafe"));
    // Invalid UTF-8 is used as it is, and still differs from its neighbours.
    EXPECT_NE(seed(kAbandonAbout, "\xff"), seed(kAbandonAbout, "\xfe"));

    // A refused mnemonic zeroes the seed.
    uint8_t s[64];
    std::memset(s, 0xA5, sizeof s);
    expect_error(qorvex_bip39_to_seed(ctx_.get(), "abandon about", "", s), 5, "invalid mnemonic");
    EXPECT_EQ(Bytes(64, 0), Bytes(s, s + 64));
    std::memset(s, 0xA5, sizeof s);
    expect_error(qorvex_bip39_to_seed(ctx_.get(), "", nullptr, s), 5, "invalid mnemonic");
    EXPECT_EQ(Bytes(64, 0), Bytes(s, s + 64));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_bip39_to_seed(ctx_.get(), nullptr, "", s));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_bip39_to_seed(ctx_.get(), kAbandonAbout.c_str(), "", nullptr));
}

// The seed may be written over the mnemonic and passphrase it came from.
TEST_F(Bip39Abi, SeedOverItsInputs) {
    const std::string expected = seed(kAbandonAbout, "TREZOR");
    std::vector<char> buf(kAbandonAbout.begin(), kAbandonAbout.end());
    buf.push_back('\0');
    ASSERT_EQ(QORVEX_OK, qorvex_bip39_to_seed(ctx_.get(), buf.data(), "TREZOR", reinterpret_cast<uint8_t*>(buf.data())));
    EXPECT_EQ(expected, to_hex(reinterpret_cast<const uint8_t*>(buf.data()), 64));
    char pass[80] = "TREZOR";
    ASSERT_EQ(QORVEX_OK, qorvex_bip39_to_seed(ctx_.get(), kAbandonAbout.c_str(), pass, reinterpret_cast<uint8_t*>(pass)));
    EXPECT_EQ(expected, to_hex(reinterpret_cast<const uint8_t*>(pass), 64));
}

// --- BIP-85 ---

TEST_F(Bip39Abi, Bip85Vectors) {
    const Json doc = load_json_vectors("bip85/bip85_vectors.json");
    size_t mnemonics = 0;
    for (const auto& c : doc["cases"].array()) {
        const std::string path = c["path"].str();
        SCOPED_TRACE(c["section"].str() + " " + path);
        const qorvex_bip32_key root = from_text(c["master_xprv"].str());
        if (c.has("derived_xprv")) continue;  // its printed entropy is the second half
        const std::string want = c["derived_entropy"].str();
        const size_t n = std::min<size_t>(want.size() / 2, QORVEX_BIP85_ENTROPY_MAX_SIZE);
        uint8_t e[QORVEX_BIP85_ENTROPY_MAX_SIZE];
        ASSERT_EQ(QORVEX_OK, qorvex_bip85_entropy(ctx_.get(), &root, path.c_str(), e, n));
        EXPECT_EQ(want.substr(0, 2 * n), to_hex(e, n));
        if (c.has("derived_key")) {
            qorvex_bip32_key k;
            uint8_t sk[32];
            ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx_.get(), &root, path.c_str(), &k));
            ASSERT_EQ(QORVEX_OK, qorvex_bip32_privkey(ctx_.get(), &k, sk));
            EXPECT_EQ(c["derived_key"].str(), to_hex(sk, 32));
        }
        if (c.has("derived_wif")) {
            char wif[QORVEX_WIF_MAX_SIZE];
            size_t len = sizeof wif;
            ASSERT_EQ(QORVEX_OK, qorvex_wif_encode(ctx_.get(), e, 1, 0, wif, &len));
            EXPECT_EQ(c["derived_wif"].str(), std::string(wif, len));
        }
        if (c.has("derived_bip39_mnemonic")) {
            const std::string m = c["derived_bip39_mnemonic"].str();
            const auto words = static_cast<uint32_t>(std::count(m.begin(), m.end(), ' ') + 1);
            char buf[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
            size_t len = sizeof buf;
            ASSERT_EQ(QORVEX_OK, qorvex_bip85_bip39(ctx_.get(), &root, words, 0, 0, buf, &len));
            EXPECT_EQ(m, std::string(buf, len));
            ++mnemonics;
        }
    }
    EXPECT_EQ(3u, mnemonics);
}

TEST_F(Bip39Abi, Bip85Refusals) {
    const Json doc = load_json_vectors("bip85/bip85_vectors.json");
    const qorvex_bip32_key root = from_text(doc["cases"][0]["master_xprv"].str());
    qorvex_bip32_key pub = root;
    pub.data[78] = 0;
    uint8_t e[33];
    std::memset(e, 0xA5, sizeof e);
    // The length comes first, before the record is looked at.
    expect_error(qorvex_bip85_entropy(ctx_.get(), &pub, "m/0'", e, 0), 5, "entropy_len must be 1-32");
    expect_error(qorvex_bip85_entropy(ctx_.get(), &root, "m/0'", e, 33), 5, "entropy_len must be 1-32");
    // A public record: 2 before the record checks (its version is xprv's).
    expect_error(qorvex_bip85_entropy(ctx_.get(), &pub, "m/0'", e, 32), 2, "BIP-85 requires xprv (private key)");
    qorvex_bip32_key broken = root;
    broken.data[80] = 1;
    expect_error(qorvex_bip85_entropy(ctx_.get(), &broken, "m/0'", e, 32), 5, "invalid BIP-32 reserved bytes");
    for (const char* bad : {"", "m/", "83696968'/0'/0'", "m/2147483648'"}) {
        SCOPED_TRACE(bad);
        expect_error(qorvex_bip85_entropy(ctx_.get(), &root, bad, e, 32), 5, "BIP-85 path derivation failed");
    }
    EXPECT_EQ(Bytes(33, 0xA5), Bytes(e, e + 33));
    // One byte and 32 bytes are the bounds.
    ASSERT_EQ(QORVEX_OK, qorvex_bip85_entropy(ctx_.get(), &root, "m/83696968'/0'/0'", e, 1));
    EXPECT_EQ(0xA5, e[1]);
    EXPECT_EQ("ef", to_hex(e, 1));

    char buf[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    size_t len = sizeof buf;
    for (const uint32_t words : {0u, 15u, 21u, 25u}) {
        SCOPED_TRACE(words);
        expect_error(qorvex_bip85_bip39(ctx_.get(), &root, words, 0, 0, buf, &len), 5, "words must be 12, 18, or 24");
    }
    expect_error(qorvex_bip85_bip39(ctx_.get(), &root, 12, 1, 0, buf, &len), 5,
                 "only language_index=0 (English) supported");
    expect_error(qorvex_bip85_bip39(ctx_.get(), &root, 12, -1, 0, buf, &len), 5,
                 "only language_index=0 (English) supported");
    // An index of 2^31 makes a path step out of range.
    expect_error(qorvex_bip85_bip39(ctx_.get(), &root, 12, 0, 0x80000000u, buf, &len), 5,
                 "BIP-85 path derivation failed");
    expect_error(qorvex_bip85_bip39(ctx_.get(), &pub, 12, 0, 0, buf, &len), 2, "BIP-85 requires xprv (private key)");
    EXPECT_EQ(sizeof buf, len);
    // The capacity rule at L and L + 1.
    ASSERT_EQ(QORVEX_OK, qorvex_bip85_bip39(ctx_.get(), &root, 12, 0, 0, buf, &len));
    const size_t L = len;
    len = L;
    expect_error(qorvex_bip85_bip39(ctx_.get(), &root, 12, 0, 0, buf, &len), 10, "mnemonic buffer too small");
    EXPECT_EQ(L, len);
    len = L + 1;
    EXPECT_EQ(QORVEX_OK, qorvex_bip85_bip39(ctx_.get(), &root, 12, 0, 0, buf, &len));
    // Another index, another mnemonic.
    char other[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    size_t olen = sizeof other;
    ASSERT_EQ(QORVEX_OK, qorvex_bip85_bip39(ctx_.get(), &root, 12, 0, 1, other, &olen));
    EXPECT_NE(std::string(buf, len), std::string(other, olen));
}

TEST_F(Bip39Abi, NullPointersLeaveTheContextAlone) {
    const Json doc = load_json_vectors("bip85/bip85_vectors.json");
    const qorvex_bip32_key root = from_text(doc["cases"][0]["master_xprv"].str());
    uint8_t zero[32] = {0}, e[32];
    char buf[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    size_t len = sizeof buf;
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx_.get(), zero));
    // A NULL entropy is allowed (the system provides it), a NULL output not.
    EXPECT_EQ(1, qorvex_bip39_generate(nullptr, 16, nullptr, buf, &len));
    EXPECT_EQ(1, qorvex_bip39_generate(ctx_.get(), 16, nullptr, nullptr, &len));
    EXPECT_EQ(1, qorvex_bip39_generate(ctx_.get(), 3, zero, buf, nullptr));
    EXPECT_EQ(1, qorvex_bip39_to_entropy(ctx_.get(), nullptr, e, &len));
    EXPECT_EQ(1, qorvex_bip39_to_entropy(ctx_.get(), kAbandonAbout.c_str(), nullptr, &len));
    EXPECT_EQ(1, qorvex_bip39_to_entropy(ctx_.get(), kAbandonAbout.c_str(), e, nullptr));
    EXPECT_EQ(1, qorvex_bip39_to_seed(nullptr, kAbandonAbout.c_str(), nullptr, e));
    // The length check of bip85_entropy comes after the pointers.
    EXPECT_EQ(1, qorvex_bip85_entropy(ctx_.get(), nullptr, "m/0'", e, 0));
    EXPECT_EQ(1, qorvex_bip85_entropy(ctx_.get(), &root, nullptr, e, 32));
    EXPECT_EQ(1, qorvex_bip85_entropy(ctx_.get(), &root, "m/0'", nullptr, 32));
    EXPECT_EQ(1, qorvex_bip85_bip39(ctx_.get(), nullptr, 12, 0, 0, buf, &len));
    EXPECT_EQ(1, qorvex_bip85_bip39(ctx_.get(), &root, 15, 0, 0, nullptr, &len));
    EXPECT_EQ(1, qorvex_bip85_bip39(ctx_.get(), &root, 12, 0, 0, buf, nullptr));
    EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(ctx_.get()));
    EXPECT_STREQ("privkey is zero or >= n", qorvex_last_error_msg(ctx_.get()));
}

}  // namespace
}  // namespace qorvex::test
