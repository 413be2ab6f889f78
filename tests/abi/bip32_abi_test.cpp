// BIP-32 through the exported interface: vectors 1 to 4 through master,
// derive, derive_path and the Base58 text (out and back in), the 16 invalid
// keys of vector 5, the record checks in order, the path syntax and its
// failures, and what stays untouched when a call fails.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kKind = 78;

class Bip32Abi : public ::testing::Test {
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
    qorvex_bip32_key master(const std::string& seed_hex) {
        const Bytes seed = from_hex(seed_hex);
        qorvex_bip32_key k;
        EXPECT_EQ(QORVEX_OK, qorvex_bip32_master(ctx_.get(), seed.data(), seed.size(), &k));
        return k;
    }
    std::string text(const qorvex_bip32_key& k) {
        char buf[QORVEX_BIP32_TEXT_SIZE];
        size_t len = sizeof buf;
        EXPECT_EQ(QORVEX_OK, qorvex_bip32_to_base58(ctx_.get(), &k, buf, &len));
        return std::string(buf, len);
    }
    qorvex_bip32_key from_text(const std::string& t) {
        qorvex_bip32_key k;
        EXPECT_EQ(QORVEX_OK, qorvex_bip32_from_base58(ctx_.get(), t.c_str(), &k));
        return k;
    }
    // The public record of a private one, built as a caller would: the
    // xpub version, the compressed public key, kind 0.
    qorvex_bip32_key neutered(const qorvex_bip32_key& k) {
        qorvex_bip32_key p = k;
        const uint8_t xpub[4] = {0x04, 0x88, 0xB2, 0x1E};
        std::memcpy(p.data, xpub, 4);
        EXPECT_EQ(QORVEX_OK, qorvex_bip32_pubkey(ctx_.get(), &k, p.data + 45));
        p.data[kKind] = 0;
        return p;
    }
    CtxPtr ctx_;
};

bool same(const qorvex_bip32_key& a, const qorvex_bip32_key& b) { return std::memcmp(a.data, b.data, 82) == 0; }

TEST_F(Bip32Abi, PublishedVectors) {
    const Json doc = load_json_vectors("bip32/bip32_vectors.json");
    for (const auto& v : doc["valid"].array()) {
        const qorvex_bip32_key m = master(v["seed"].str());
        qorvex_bip32_key step = m;  // derived one index at a time along the chains
        size_t done = 0;
        for (const auto& chain : v["chains"].array()) {
            const std::string path = chain["chain"].str();
            SCOPED_TRACE(v["seed"].str().substr(0, 16) + " " + path);
            const auto& indices = chain["indices"].array();
            // Each chain extends the previous one by one step.
            for (; done < indices.size(); ++done) {
                const auto index = static_cast<uint32_t>(indices[done].integer());
                ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive(ctx_.get(), &step, index, &step));
            }
            qorvex_bip32_key by_path;
            ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx_.get(), &m, path.c_str(), &by_path));
            EXPECT_TRUE(same(step, by_path));
            EXPECT_EQ(chain["ext_prv"].str(), text(by_path));
            const qorvex_bip32_key pub = neutered(by_path);
            EXPECT_EQ(chain["ext_pub"].str(), text(pub));
            // Both texts read back to the same records.
            EXPECT_TRUE(same(by_path, from_text(chain["ext_prv"].str())));
            EXPECT_TRUE(same(pub, from_text(chain["ext_pub"].str())));
            // The keys agree with the pubkey export.
            uint8_t sk[32], pk[33], pk2[33];
            ASSERT_EQ(QORVEX_OK, qorvex_bip32_privkey(ctx_.get(), &by_path, sk));
            ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx_.get(), sk, pk));
            ASSERT_EQ(QORVEX_OK, qorvex_bip32_pubkey(ctx_.get(), &pub, pk2));
            EXPECT_EQ(0, std::memcmp(pk, pk2, 33));
        }
    }
}

// The 16 invalid keys of vector 5, each refused with the code its reason
// implies.
TEST_F(Bip32Abi, InvalidKeysOfVectorFive) {
    const Json doc = load_json_vectors("bip32/bip32_vectors.json");
    struct Expect {
        const char* reason_prefix;
        int code;
        const char* message;
    };
    const Expect expects[] = {
        {"pubkey version / prvkey mismatch", 3, "invalid BIP-32 public key prefix"},
        {"prvkey version / pubkey mismatch", 5, "invalid BIP-32 private marker"},
        {"invalid pubkey prefix", 3, "invalid BIP-32 public key prefix"},
        {"invalid prvkey prefix", 5, "invalid BIP-32 private marker"},
        {"zero depth with non-zero", 5, "invalid extended key text"},
        {"unknown extended key version", 5, "invalid BIP-32 version"},
        {"private key 0 not in", 2, "invalid BIP-32 private key"},
        {"private key n not in", 2, "invalid BIP-32 private key"},
        {"invalid pubkey 02", 3, "invalid BIP-32 public key"},
        {"invalid checksum", 5, "invalid extended key text"},
    };
    size_t n = 0;
    for (const auto& v : doc["invalid"].array()) {
        const std::string reason = v["reason"].str();
        SCOPED_TRACE(reason + ": " + v["ext_key"].str());
        const Expect* e = nullptr;
        for (const auto& x : expects)
            if (reason.rfind(x.reason_prefix, 0) == 0) e = &x;
        ASSERT_NE(nullptr, e);
        qorvex_bip32_key k;
        std::memset(k.data, 0xA5, sizeof k.data);
        expect_error(qorvex_bip32_from_base58(ctx_.get(), v["ext_key"].str().c_str(), &k), e->code, e->message);
        EXPECT_EQ(Bytes(82, 0xA5), Bytes(k.data, k.data + 82));
        ++n;
    }
    EXPECT_EQ(16u, n);
    // Not Base58 at all, a payload of another length, a testnet key.
    qorvex_bip32_key k;
    expect_error(qorvex_bip32_from_base58(ctx_.get(), "", &k), 5, "invalid extended key text");
    expect_error(qorvex_bip32_from_base58(ctx_.get(), "xprv0", &k), 5, "invalid extended key text");
    expect_error(qorvex_bip32_from_base58(ctx_.get(), "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", &k), 5,
                 "invalid extended key text");
    expect_error(qorvex_bip32_from_base58(ctx_.get(),
                                          "tprv8ZgxMBicQKsPeDgjzdC36fs6bMjGApWDNLR9erAXMs5skhMv36j9MV5ecvfavji5khqjWaW"
                                          "SFhN3YcCUUdiKH6isR4Pwy3U5y5egddBr16m",
                                          &k),
                 5, "invalid BIP-32 version");
}

// The record checks, in order, through every export that takes a record.
TEST_F(Bip32Abi, RecordChecksInOrder) {
    const qorvex_bip32_key good = master("000102030405060708090a0b0c0d0e0f");
    const qorvex_bip32_key good_pub = neutered(good);
    const Bytes order = from_hex(kOrderHex);
    struct Case {
        const char* what;
        bool pub;
        std::function<void(qorvex_bip32_key&)> damage;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"kind 2", false, [](qorvex_bip32_key& k) { k.data[kKind] = 2; }, 5, "invalid BIP-32 key kind"},
        {"kind 255 before reserved", false, [](qorvex_bip32_key& k) { k.data[kKind] = 255; k.data[80] = 1; }, 5,
         "invalid BIP-32 key kind"},
        {"reserved byte", false, [](qorvex_bip32_key& k) { k.data[81] = 1; }, 5, "invalid BIP-32 reserved bytes"},
        {"reserved before version", true, [](qorvex_bip32_key& k) { k.data[79] = 9; k.data[0] = 0; }, 5,
         "invalid BIP-32 reserved bytes"},
        {"xpub version on a private kind", false, [](qorvex_bip32_key& k) { k.data[3] = 0x1E; k.data[2] = 0xB2; }, 5,
         "invalid BIP-32 version"},
        {"testnet tprv version", false,
         [](qorvex_bip32_key& k) { const uint8_t v[4] = {0x04, 0x35, 0x83, 0x94}; std::memcpy(k.data, v, 4); }, 5,
         "invalid BIP-32 version"},
        {"xprv version on a public kind", true, [](qorvex_bip32_key& k) { k.data[2] = 0xAD; k.data[3] = 0xE4; }, 5,
         "invalid BIP-32 version"},
        {"private marker", false, [](qorvex_bip32_key& k) { k.data[45] = 0x02; }, 5, "invalid BIP-32 private marker"},
        {"private key zero", false, [](qorvex_bip32_key& k) { std::memset(k.data + 46, 0, 32); }, 2,
         "invalid BIP-32 private key"},
        {"private key n", false, [&](qorvex_bip32_key& k) { std::memcpy(k.data + 46, order.data(), 32); }, 2,
         "invalid BIP-32 private key"},
        {"public prefix 04", true, [](qorvex_bip32_key& k) { k.data[45] = 0x04; }, 3,
         "invalid BIP-32 public key prefix"},
        {"public prefix 00", true, [](qorvex_bip32_key& k) { k.data[45] = 0x00; }, 3,
         "invalid BIP-32 public key prefix"},
        {"public x off the curve", true,
         [](qorvex_bip32_key& k) { std::memset(k.data + 46, 0, 32); k.data[77] = 5; }, 3,
         "invalid BIP-32 public key"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qorvex_bip32_key bad = c.pub ? good_pub : good;
        c.damage(bad);
        qorvex_bip32_key out;
        std::memset(out.data, 0xA5, 82);
        const qorvex_bip32_key untouched = out;
        uint8_t buf[QORVEX_BIP32_TEXT_SIZE];
        size_t len = sizeof buf;
        expect_error(qorvex_bip32_derive(ctx_.get(), &bad, 0, &out), c.code, c.message);
        expect_error(qorvex_bip32_derive_path(ctx_.get(), &bad, "m", &out), c.code, c.message);
        expect_error(qorvex_bip32_pubkey(ctx_.get(), &bad, buf), c.code, c.message);
        expect_error(qorvex_bip32_to_base58(ctx_.get(), &bad, reinterpret_cast<char*>(buf), &len), c.code, c.message);
        EXPECT_EQ(sizeof buf, len);
        if (bad.data[kKind] != 0) {
            expect_error(qorvex_bip32_privkey(ctx_.get(), &bad, buf), c.code, c.message);
        }
        EXPECT_TRUE(same(untouched, out));
    }
}

TEST_F(Bip32Abi, MasterSeedLengths) {
    const Bytes seed(65, 0x42);
    qorvex_bip32_key k;
    std::memset(k.data, 0xA5, 82);
    for (const size_t n : {size_t{0}, size_t{15}, size_t{65}}) {
        SCOPED_TRACE(n);
        expect_error(qorvex_bip32_master(ctx_.get(), seed.data(), n, &k), 5, "seed must be 16-64 bytes");
        EXPECT_EQ(Bytes(82, 0xA5), Bytes(k.data, k.data + 82));
    }
    for (const size_t n : {size_t{16}, size_t{64}}) EXPECT_EQ(QORVEX_OK, qorvex_bip32_master(ctx_.get(), seed.data(), n, &k));
    // A master record: depth, fingerprint and child number zero, kind 1.
    EXPECT_EQ(Bytes(9, 0), Bytes(k.data + 4, k.data + 13));
    EXPECT_EQ(1, k.data[kKind]);
    EXPECT_EQ(0, k.data[45]);
}

TEST_F(Bip32Abi, PathSyntaxAndFailures) {
    const qorvex_bip32_key m = master("000102030405060708090a0b0c0d0e0f");
    qorvex_bip32_key out, a, b;
    ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx_.get(), &m, "m", &out));
    EXPECT_TRUE(same(m, out));
    // The three hardened markers mean the same.
    ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx_.get(), &m, "m/0'/1h/2H/3", &a));
    ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx_.get(), &m, "m/0h/1H/2'/003", &b));
    EXPECT_TRUE(same(a, b));
    EXPECT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx_.get(), &m, "m/2147483647'", &out));
    for (const char* bad : {"", "M/0", "m/", "m/0/", "m//0", "m/2147483648", "m/0 ", " m/0", "m/0'h", "m/x", "/0",
                            "m/4294967296", "m/0\t"}) {
        SCOPED_TRACE(bad);
        std::memset(out.data, 0xA5, 82);
        expect_error(qorvex_bip32_derive_path(ctx_.get(), &m, bad, &out), 5, "invalid BIP-32 path");
        EXPECT_EQ(Bytes(82, 0xA5), Bytes(out.data, out.data + 82));
    }
}

TEST_F(Bip32Abi, PublicRecords) {
    const qorvex_bip32_key m = master("000102030405060708090a0b0c0d0e0f");
    const qorvex_bip32_key pub = neutered(m);
    qorvex_bip32_key out;
    // A hardened child of a public key: 9 through derive, 5 through a path.
    expect_error(qorvex_bip32_derive(ctx_.get(), &pub, QORVEX_BIP32_HARDENED, &out), 9, "BIP-32 derivation failed");
    expect_error(qorvex_bip32_derive_path(ctx_.get(), &pub, "m/0/1'", &out), 5, "invalid BIP-32 path");
    // Normal children: public derivation matches private derivation.
    qorvex_bip32_key priv_child, pub_child;
    ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx_.get(), &m, "m/0/7/2147483647", &priv_child));
    ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx_.get(), &pub, "m/0/7/2147483647", &pub_child));
    EXPECT_TRUE(same(neutered(priv_child), pub_child));
    // The private key of a public record: 2 before the other checks.
    uint8_t sk[32] = {0};
    qorvex_bip32_key broken = pub;
    broken.data[81] = 7;
    expect_error(qorvex_bip32_privkey(ctx_.get(), &broken, sk), 2, "key is public, not private");
    expect_error(qorvex_bip32_privkey(ctx_.get(), &pub, sk), 2, "key is public, not private");
    EXPECT_EQ(Bytes(32, 0), Bytes(sk, sk + 32));
    broken = m;
    broken.data[kKind] = 2;
    expect_error(qorvex_bip32_privkey(ctx_.get(), &broken, sk), 5, "invalid BIP-32 key kind");
}

TEST_F(Bip32Abi, DepthLimit) {
    qorvex_bip32_key k = master("000102030405060708090a0b0c0d0e0f");
    k.data[4] = 254;
    qorvex_bip32_key out;
    ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive(ctx_.get(), &k, 1, &out));
    EXPECT_EQ(255, out.data[4]);
    expect_error(qorvex_bip32_derive(ctx_.get(), &out, 1, &k), 9, "BIP-32 derivation failed");
    k.data[4] = 254;
    expect_error(qorvex_bip32_derive_path(ctx_.get(), &k, "m/1/1", &out), 5, "invalid BIP-32 path");
    // The depth is the only limit on a path's length.
    qorvex_bip32_key m = master("000102030405060708090a0b0c0d0e0f");
    std::string deep = "m";
    for (int i = 0; i < 255; ++i) deep += "/0";
    ASSERT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx_.get(), &m, deep.c_str(), &out));
    EXPECT_EQ(255, out.data[4]);
}

TEST_F(Bip32Abi, TextCapacityRule) {
    const qorvex_bip32_key m = master("000102030405060708090a0b0c0d0e0f");
    char buf[QORVEX_BIP32_TEXT_SIZE];
    std::memset(buf, 'x', sizeof buf);
    size_t len = QORVEX_BIP32_TEXT_SIZE - 1;  // 111: the text's own length
    expect_error(qorvex_bip32_to_base58(ctx_.get(), &m, buf, &len), 10, "extended key buffer too small");
    EXPECT_EQ(QORVEX_BIP32_TEXT_SIZE - 1, len);
    EXPECT_EQ(std::string(sizeof buf, 'x'), std::string(buf, sizeof buf));
    len = QORVEX_BIP32_TEXT_SIZE;
    ASSERT_EQ(QORVEX_OK, qorvex_bip32_to_base58(ctx_.get(), &m, buf, &len));
    EXPECT_EQ(111u, len);
    EXPECT_EQ('\0', buf[111]);
}

TEST_F(Bip32Abi, NullPointers) {
    const qorvex_bip32_key m = master("000102030405060708090a0b0c0d0e0f");
    qorvex_bip32_key out;
    uint8_t buf[33];
    size_t len = 0;
    uint8_t zero[32] = {0};
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx_.get(), zero));
    EXPECT_EQ(1, qorvex_bip32_master(ctx_.get(), nullptr, 16, &out));
    EXPECT_EQ(1, qorvex_bip32_master(ctx_.get(), buf, 16, nullptr));
    EXPECT_EQ(1, qorvex_bip32_derive(nullptr, &m, 0, &out));
    EXPECT_EQ(1, qorvex_bip32_derive(ctx_.get(), nullptr, 0, &out));
    EXPECT_EQ(1, qorvex_bip32_derive_path(ctx_.get(), &m, nullptr, &out));
    EXPECT_EQ(1, qorvex_bip32_derive_path(ctx_.get(), &m, "m", nullptr));
    EXPECT_EQ(1, qorvex_bip32_privkey(ctx_.get(), &m, nullptr));
    EXPECT_EQ(1, qorvex_bip32_pubkey(ctx_.get(), nullptr, buf));
    EXPECT_EQ(1, qorvex_bip32_to_base58(ctx_.get(), &m, nullptr, &len));
    EXPECT_EQ(1, qorvex_bip32_to_base58(ctx_.get(), &m, reinterpret_cast<char*>(buf), nullptr));
    EXPECT_EQ(1, qorvex_bip32_from_base58(ctx_.get(), nullptr, &out));
    EXPECT_EQ(1, qorvex_bip32_from_base58(ctx_.get(), "x", nullptr));
    EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(ctx_.get()));
}

}  // namespace
}  // namespace qorvex::test
