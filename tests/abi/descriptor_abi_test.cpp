// Output descriptors through the exported interface: the BIP-32 vector keys
// at /0/* and /<0;1>/* in every kind, checked against the key derived with
// the BIP-32 exports and the address exports (tr() through
// qorvex_taproot_output_key); BIP-86's account key and BIP-386's tr(KEY)
// examples; tpub/tprv keys; the record's fields; every code and message in
// order; and a record written over its own text.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/ref_encoders.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
// BIP-32 test vector 1, the master key.
const std::string kXpub =
    "xpub661MyMwAqRbcFtXgS5sYJABqqG9YLmC4Q1Rdap9gSE8NqtwybGhePY2gZ29ESFjqJoCu1Rupje8YtGqsefD265TMg7usUDFdp6W1EGMcet8";
const std::string kXprv =
    "xprv9s21ZrQH143K3QTDL4LXw2F7HEK3wJUD2nW2nRk4stbPy6cq3jPPqjiChkVvvNKmPGJxWUtg6LnF5kejMRNNU3TGtRBeJgk33yuGBxrMPHi";

struct KindForm {
    const char* name;
    std::string open, close;
    int kind;
};
const KindForm kKinds[] = {
    {"wpkh", "wpkh(", ")", QORVEX_DESCRIPTOR_WPKH}, {"sh(wpkh", "sh(wpkh(", "))", QORVEX_DESCRIPTOR_SH_WPKH},
    {"tr", "tr(", ")", QORVEX_DESCRIPTOR_TR},       {"pkh", "pkh(", ")", QORVEX_DESCRIPTOR_PKH},
    {"pk", "pk(", ")", QORVEX_DESCRIPTOR_PK},
};

// An extended key's text with another version (tpub, tprv, ...).
std::string with_version(const std::string& text, uint32_t version) {
    auto payload = ref::unbase58check(text);
    if (!payload || payload->size() != 78) return {};
    for (int i = 0; i < 4; ++i) (*payload)[i] = static_cast<uint8_t>(version >> (24 - 8 * i));
    return ref::base58check(*payload);
}

class DescriptorAbi : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
    }

    // The compressed key at path below an extended key's text.
    Bytes key_at(const std::string& text, const std::string& path) {
        qorvex_bip32_key k;
        EXPECT_EQ(QORVEX_OK, qorvex_bip32_from_base58(ctx(), text.c_str(), &k));
        EXPECT_EQ(QORVEX_OK, qorvex_bip32_derive_path(ctx(), &k, path.c_str(), &k));
        Bytes pub(33);
        EXPECT_EQ(QORVEX_OK, qorvex_bip32_pubkey(ctx(), &k, pub.data()));
        return pub;
    }

    // The address of a key for a kind, by the address exports.
    std::string address_of(int kind, const Bytes& pub, int network) {
        char buf[QORVEX_ADDRESS_MAX_SIZE];
        size_t len = sizeof buf;
        int rc = -1;
        switch (kind) {
            case QORVEX_DESCRIPTOR_WPKH: rc = qorvex_addr_p2wpkh(ctx(), pub.data(), network, buf, &len); break;
            case QORVEX_DESCRIPTOR_SH_WPKH: rc = qorvex_addr_p2sh_p2wpkh(ctx(), pub.data(), network, buf, &len); break;
            case QORVEX_DESCRIPTOR_PK:
            case QORVEX_DESCRIPTOR_PKH: rc = qorvex_addr_p2pkh(ctx(), pub.data(), network, buf, &len); break;
            case QORVEX_DESCRIPTOR_TR: {
                uint8_t q[32];
                int parity = 0;
                EXPECT_EQ(QORVEX_OK, qorvex_taproot_output_key(ctx(), pub.data() + 1, nullptr, q, &parity));
                rc = qorvex_addr_p2tr(ctx(), q, network, buf, &len);
                break;
            }
        }
        EXPECT_EQ(QORVEX_OK, rc);
        return std::string(buf, len);
    }

    std::string parse(const std::string& desc, int index, qorvex_descriptor& rec) {
        char buf[QORVEX_ADDRESS_MAX_SIZE];
        size_t len = sizeof buf;
        const int rc = qorvex_descriptor_parse(ctx(), desc.c_str(), index, &rec, buf, &len);
        EXPECT_EQ(QORVEX_OK, rc) << desc << ": " << qorvex_last_error_msg(ctx());
        if (rc != QORVEX_OK) return {};
        // The address export agrees.
        char buf2[QORVEX_ADDRESS_MAX_SIZE];
        size_t len2 = sizeof buf2;
        EXPECT_EQ(QORVEX_OK, qorvex_descriptor_address(ctx(), desc.c_str(), index, buf2, &len2));
        EXPECT_EQ(std::string(buf, len), std::string(buf2, len2));
        return std::string(buf, len);
    }

    CtxPtr ctx_;
};

TEST_F(DescriptorAbi, Bip32VectorKeysInEveryKind) {
    const Json doc = load_json_vectors("bip32/bip32_vectors.json");
    size_t checked = 0;
    for (const Json& v : doc["valid"].array()) {
        const auto& chains = v["chains"].array();
        for (size_t ci = 0; ci < chains.size(); ++ci) {
            std::vector<std::string> keys = {chains[ci]["ext_pub"].str()};
            if (ci == 0) keys.push_back(chains[ci]["ext_prv"].str());  // an xprv gives the same addresses
            for (const std::string& key : keys) {
                SCOPED_TRACE(chains[ci]["chain"].str() + " " + key.substr(0, 4));
                for (const KindForm& k : kKinds) {
                    for (const char* path : {"/0/*", "/<0;1>/*"}) {
                        for (const int index : {0, 7}) {
                            const std::string desc = k.open + key + path + k.close;
                            qorvex_descriptor rec;
                            std::memset(&rec, 0xA5, sizeof rec);
                            const std::string got = parse(desc, index, rec);
                            const Bytes pub = key_at(key, "m/0/" + std::to_string(index));
                            EXPECT_EQ(address_of(k.kind, pub, 0), got) << desc << " at " << index;
                            EXPECT_EQ(static_cast<uint32_t>(k.kind), rec.kind);
                            EXPECT_EQ(0u, rec.testnet);
                            EXPECT_STREQ(path, rec.path);
                            if (k.kind == QORVEX_DESCRIPTOR_TR) {
                                EXPECT_EQ(32, rec.key_len);
                                EXPECT_EQ(to_hex(pub.data() + 1, 32), to_hex(rec.key, 32));  // untweaked
                                EXPECT_EQ(0xA5, rec.key[32]);                               // not written
                            } else {
                                EXPECT_EQ(33, rec.key_len);
                                EXPECT_EQ(pub, Bytes(rec.key, rec.key + 33));
                            }
                            EXPECT_EQ(0xA5, rec.padding[0]);
                            ++checked;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(21u * 5 * 2 * 2, checked);
}

// BIP-86's account key: tr(xpub/0/*) and tr(xpub/1/*) give its published
// addresses, as BIP-386 says tr(KEY) must (the key tweaked with no script
// tree); the account xprv gives the same.
TEST_F(DescriptorAbi, Bip86AccountKeyThroughTr) {
    const Json v = load_json_vectors("bip86/bip86_vectors.json");
    for (const std::string& key : {v["account"]["xpub"].str(), v["account"]["xprv"].str()}) {
        for (const Json& a : v["addresses"].array()) {
            const std::string path = a["path"].str();  // m/86'/0'/0'/c/i
            const std::string change = path.substr(12, 1), index = path.substr(14);
            qorvex_descriptor rec;
            const std::string desc = "tr(" + key + "/" + change + "/*)";
            EXPECT_EQ(a["address"].str(), parse(desc, std::stoi(index), rec)) << desc;
            EXPECT_EQ(a["internal_key"].str(), to_hex(rec.key, 32));
            if (change == "0") {
                EXPECT_EQ(a["address"].str(), parse("tr(" + key + "/<0;1>/*)", std::stoi(index), rec));
            }
        }
    }
}

TEST_F(DescriptorAbi, Bip386Examples) {
    // tr(KEY) with an x-only hex key: OP_1 <output key>.
    const std::string spk = "512077aab6e066f8a7419c5ab714c12c67d25007ed55a43cadcacb4d7a970a093f11";
    const Bytes q = from_hex(spk.substr(4));
    char want[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof want;
    ASSERT_EQ(QORVEX_OK, qorvex_addr_p2tr(ctx(), q.data(), 0, want, &len));
    const std::string x = "a34b99f22c790c4e36b2b3c2c35a36db06226e41c692fc82b8b56ac1c540c5bd";
    qorvex_descriptor rec;
    EXPECT_EQ(std::string(want, len), parse("tr(" + x + ")", 0, rec));
    EXPECT_EQ(x, to_hex(rec.key, 32));
    // The same key compressed (either parity): its x is the x-only key.
    EXPECT_EQ(std::string(want, len), parse("tr(02" + x + ")", 0, rec));
    EXPECT_EQ(std::string(want, len), parse("tr(03" + x + ")", 0, rec));
    // BIP-386's invalid descriptors, with the forms this subset refuses
    // them by.
    const struct {
        std::string desc;
        const char* message;
    } refused[] = {
        {"tr(5KYZdUEo39z3FPrtuX2QbbwGnNP5zTd7yyr2SC1j299sBCnWjss)", "unrecognized key format in descriptor"},
        {"tr(04a34b99f22c790c4e36b2b3c2c35a36db06226e41c692fc82b8b56ac1c540c5bd5b8dec5235a0fa8722476c7709c02559e3aa73aa03"
         "918ba2d492eea75abea235)",
         "unrecognized key format in descriptor"},
        {"wsh(tr(" + x + "))", "unsupported descriptor type"},
        {"sh(tr(" + x + "))", "unsupported descriptor type"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.desc);
        char buf[QORVEX_ADDRESS_MAX_SIZE];
        len = sizeof buf;
        expect_error(qorvex_descriptor_address(ctx(), r.desc.c_str(), 0, buf, &len), QORVEX_ERR_BAD_INPUT, r.message);
    }
}

// tpub and tprv keys derive as their mainnet twins, with the testnet flag
// and testnet addresses.
TEST_F(DescriptorAbi, TestnetExtendedKeys) {
    const std::string tpub = with_version(kXpub, 0x043587CF), tprv = with_version(kXprv, 0x04358394);
    ASSERT_EQ("tpub", tpub.substr(0, 4));
    ASSERT_EQ("tprv", tprv.substr(0, 4));
    for (const KindForm& k : kKinds) {
        for (const std::string* key : {&tpub, &tprv}) {
            SCOPED_TRACE(k.open + key->substr(0, 4));
            qorvex_descriptor rec;
            const std::string got = parse(k.open + *key + "/0/*" + k.close, 3, rec);
            EXPECT_EQ(address_of(k.kind, key_at(kXpub, "m/0/3"), QORVEX_NETWORK_TESTNET), got);
            EXPECT_EQ(1u, rec.testnet);
        }
    }
    // Hardened steps need the private key: a tprv takes them, a tpub fails
    // them and leaves the flag at 0.
    qorvex_descriptor rec;
    EXPECT_EQ(address_of(QORVEX_DESCRIPTOR_WPKH, key_at(kXprv, "m/0'/5"), 1), parse("wpkh(" + tprv + "/0'/*)", 5, rec));
    std::memset(&rec, 0xA5, sizeof rec);
    char buf[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof buf;
    expect_error(qorvex_descriptor_parse(ctx(), ("wpkh(" + tpub + "/0'/*)").c_str(), 5, &rec, buf, &len),
                 QORVEX_ERR_BAD_INPUT, "invalid BIP-32 path");
    EXPECT_EQ(0u, rec.testnet);
    // Other versions fail as BIP-32 records do.
    const std::string other = with_version(kXpub, 0x02FACAFD);  // Dogecoin's dgub
    expect_error(qorvex_descriptor_address(ctx(), ("wpkh(" + other + "/0/*)").c_str(), 0, buf, &len),
                 QORVEX_ERR_BAD_INPUT, "invalid BIP-32 version");
}

TEST_F(DescriptorAbi, HexKeysAndTheRecord) {
    const Bytes g = from_hex(kG);
    qorvex_descriptor rec;
    std::memset(&rec, 0xA5, sizeof rec);
    EXPECT_EQ(address_of(QORVEX_DESCRIPTOR_WPKH, g, 0), parse("wpkh(" + kG + ")", 0, rec));
    EXPECT_EQ(static_cast<uint32_t>(QORVEX_DESCRIPTOR_WPKH), rec.kind);
    EXPECT_EQ(g, Bytes(rec.key, rec.key + 33));
    EXPECT_EQ(33, rec.key_len);
    EXPECT_EQ(0u, rec.testnet);
    EXPECT_STREQ("", rec.path);
    EXPECT_EQ(0xA5, rec.padding[0]);
    EXPECT_EQ(0xA5, rec.padding[1]);
    // pk() and pkh() of one key pay to the same P2PKH address; hex keys in
    // either case; a path after a hex key is stored and ignored.
    const std::string upper = "0279BE667EF9DCBBAC55A06295CE870B07029BFCDB2DCE28D959F2815B16F81798";
    EXPECT_EQ("1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", parse("pk(" + kG + ")", 0, rec));
    EXPECT_EQ("1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", parse("pkh(" + upper + "/1/2'/*)", 9, rec));
    EXPECT_STREQ("/1/2'/*", rec.path);
    EXPECT_EQ("3JvL6Ymt8MVWiCNHC7oWU6nLeHNJKLZGLN", parse("sh(wpkh(" + kG + "))", 0, rec));
    // tr() with 64 digits stores them whatever they are; with 66 the last 64.
    const std::string ff = "ff" + kG.substr(4);
    std::memset(&rec, 0xA5, sizeof rec);
    ASSERT_EQ(QORVEX_OK, qorvex_descriptor_parse(ctx(), ("tr(" + ff + ")").c_str(), 0, &rec, nullptr, nullptr));
    EXPECT_EQ(ff, to_hex(rec.key, 32));
    EXPECT_EQ(0xA5, rec.key[32]);
    EXPECT_EQ(32, rec.key_len);
    ASSERT_EQ(QORVEX_OK, qorvex_descriptor_parse(ctx(), ("tr(05" + ff + ")").c_str(), 0, &rec, nullptr, nullptr));
    EXPECT_EQ(ff, to_hex(rec.key, 32));
    // A path of 63 characters is stored; one of 64 is derived but not kept.
    std::string steps = "/00";
    for (int i = 0; i < 29; ++i) steps += "/0";
    const std::string p63 = steps + "/*", p64 = "/000" + steps.substr(3) + "/*";
    ASSERT_EQ(63u, p63.size());
    ASSERT_EQ(64u, p64.size());
    EXPECT_EQ(address_of(QORVEX_DESCRIPTOR_WPKH, key_at(kXpub, "m" + steps + "/4"), 0),
              parse("wpkh(" + kXpub + p63 + ")", 4, rec));
    EXPECT_EQ(p63, std::string(rec.path));
    EXPECT_EQ(address_of(QORVEX_DESCRIPTOR_WPKH, key_at(kXpub, "m/000" + steps.substr(3) + "/4"), 0),
              parse("wpkh(" + kXpub + p64 + ")", 4, rec));
    EXPECT_STREQ("", rec.path);
    // An xprv's record holds its public key only.
    EXPECT_EQ(parse("wpkh(" + kXpub + "/0/*)", 2, rec), parse("wpkh(" + kXprv + "/0/*)", 2, rec));
    EXPECT_EQ(key_at(kXpub, "m/0/2"), Bytes(rec.key, rec.key + 33));
    // Without a path the key itself, at any index.
    EXPECT_EQ(address_of(QORVEX_DESCRIPTOR_PKH, key_at(kXpub, "m"), 0), parse("pkh(" + kXpub + ")", 123, rec));
}

TEST_F(DescriptorAbi, RefusalsInOrder) {
    const std::string x = kG.substr(2);
    const std::string bad_checksum = kXpub.substr(0, 110) + (kXpub[110] == '8' ? "9" : "8");
    // An xpub whose key is not on the curve, and an xprv holding n.
    auto payload = ref::unbase58check(kXpub);
    ASSERT_TRUE(payload);
    Bytes off = *payload;
    off[45] = 0x02;
    std::fill(off.begin() + 46, off.end(), 0);
    off[77] = 5;
    const std::string off_curve = ref::base58check(off);
    Bytes prefix4 = *payload;
    prefix4[45] = 0x04;
    const std::string prefix_04 = ref::base58check(prefix4);
    Bytes big = *ref::unbase58check(kXprv);
    const Bytes order = from_hex(kOrderHex);
    std::copy(order.begin(), order.end(), big.begin() + 46);
    const std::string key_n = ref::base58check(big);
    // 77 bytes whose text has the 111 characters of an extended key.
    const std::string short_payload = ref::base58check(Bytes(77, 0xFF));
    ASSERT_EQ(111u, short_payload.size());

    struct Case {
        std::string desc;
        int index;
        int code;
        const char* message;
        bool record_filled;
    };
    const Case cases[] = {
        // The form.
        {"wpkh(" + kG + ")#8fhd9pwu", 0, 5, "unsupported descriptor type", false},
        {" wpkh(" + kG + ")", 0, 5, "unsupported descriptor type", false},
        {"wpkh(" + kG + ") ", 0, 5, "unsupported descriptor type", false},
        {"wpkh()", 0, 5, "unsupported descriptor type", false},
        {"WPKH(" + kG + ")", 0, 5, "unsupported descriptor type", false},
        {"wsh(pk(" + kG + "))", 0, 5, "unsupported descriptor type", false},
        {"sh(pkh(" + kG + "))", 0, 5, "unsupported descriptor type", false},
        {"", 0, 5, "unsupported descriptor type", false},
        // The path's characters, before anything about the key.
        {"wpkh(" + kXpub + "/0h/*)", 0, 5, "invalid path characters", false},
        {"wpkh(" + kXpub + "/0H)", 0, 5, "invalid path characters", false},
        {"wpkh(nothex/0 /*)", 0, 5, "invalid path characters", false},
        {"wpkh([d34db33f/84'/0'/0']" + kXpub + "/0/*)", 0, 5, "invalid path characters", false},
        // The extended key.
        {"wpkh(" + bad_checksum + "/0/*)", 0, 5, "invalid xpub/xprv in descriptor", false},
        {"wpkh(xpub6)", 0, 5, "invalid xpub/xprv in descriptor", false},
        {"wpkh(" + short_payload + ")", 0, 5, "invalid xpub/xprv in descriptor", false},
        {"wpkh(" + kXpub + "1)", 0, 5, "invalid xpub/xprv in descriptor", false},  // 112 characters
        {"wpkh(xpub" + std::string(200000, 'z') + ")", 0, 5, "invalid xpub/xprv in descriptor", false},
        {"wpkh(" + kXpub.substr(0, 60) + ")", 0, 5, "invalid xpub/xprv in descriptor", false},
        // BIP-32's own codes, passed on.
        {"wpkh(" + kXpub + "/0'/*)", 0, 5, "invalid BIP-32 path", false},
        {"wpkh(" + kXpub + "/*/*)", 0, 5, "invalid BIP-32 path", false},
        {"wpkh(" + kXpub + "/0/*)", -1, 5, "invalid BIP-32 path", false},
        {"wpkh(" + kXpub + "//0)", 0, 5, "invalid BIP-32 path", false},
        {"wpkh(" + kXpub + "/)", 0, 5, "invalid BIP-32 path", false},
        {"wpkh(" + kXpub + "/<0;1/*)", 0, 5, "invalid BIP-32 path", false},
        {"wpkh(" + kXpub + "/<0;1>/*/<2;3>)", 0, 5, "invalid BIP-32 path", false},
        {"wpkh(" + off_curve + "/0)", 0, 3, "invalid BIP-32 public key", false},
        {"wpkh(" + off_curve + ")", 0, 3, "invalid BIP-32 public key", false},
        {"wpkh(" + prefix_04 + ")", 0, 3, "invalid BIP-32 public key prefix", false},
        {"wpkh(" + key_n + "/0)", 0, 2, "invalid BIP-32 private key", false},
        // Hex keys: the length first (64 digits only in tr()), then digits.
        {"wpkh(" + x + ")", 0, 5, "unrecognized key format in descriptor", false},
        {"pk(" + x + ")", 0, 5, "unrecognized key format in descriptor", false},
        {"pkh(" + x + ")", 0, 5, "unrecognized key format in descriptor", false},
        {"sh(wpkh(" + x + "))", 0, 5, "unrecognized key format in descriptor", false},
        {"wpkh(" + std::string(63, 'a') + "g)", 0, 5, "unrecognized key format in descriptor", false},
        {"wpkh(" + kG + "00)", 0, 5, "unrecognized key format in descriptor", false},
        {"wpkh(/0)", 0, 5, "unrecognized key format in descriptor", false},
        {"sh(wpkh())", 0, 5, "unrecognized key format in descriptor", false},
        {"wpkh([d34db33f]" + kG + ")", 0, 5, "unrecognized key format in descriptor", false},
        {"wpkh(" + kG.substr(0, 65) + "g)", 0, 5, "invalid hex in descriptor key", false},
        {"tr(" + x.substr(0, 63) + "x)", 0, 5, "invalid hex in descriptor key", false},
        {"tr( " + x.substr(1) + ")", 0, 5, "invalid hex in descriptor key", false},
        // The address, with the record filled.
        {"wpkh(02" + std::string(63, '0') + "5)", 0, 3, "invalid pubkey", true},
        {"pkh(04" + x + ")", 0, 3, "invalid pubkey", true},
        {"tr(" + std::string(64, '0') + ")", 0, 3, "zero x-only key", true},
        {"tr(" + std::string(63, '0') + "5)", 0, 7, "taproot output key derivation failed", true},
        {"tr(" + std::string(64, 'f') + ")", 0, 7, "taproot output key derivation failed", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.desc);
        qorvex_descriptor rec;
        std::memset(&rec, 0xA5, sizeof rec);
        char buf[QORVEX_ADDRESS_MAX_SIZE];
        std::memset(buf, 'x', sizeof buf);
        size_t len = sizeof buf;
        expect_error(qorvex_descriptor_parse(ctx(), c.desc.c_str(), c.index, &rec, buf, &len), c.code, c.message);
        EXPECT_EQ(sizeof buf, len);
        EXPECT_EQ(std::string(sizeof buf, 'x'), std::string(buf, sizeof buf));
        if (std::string(c.message) == "unsupported descriptor type") {
            // Nothing is written before the kind is known.
            EXPECT_EQ(0xA5A5A5A5u, rec.kind);
        } else {
            EXPECT_LE(rec.kind, 4u);
            EXPECT_EQ(0u, rec.testnet);
            if (c.record_filled) {
                EXPECT_TRUE(rec.key_len == 32 || rec.key_len == 33);
            } else {
                EXPECT_EQ(0xA5, rec.key_len);
                EXPECT_EQ(std::string(64, '\0'), std::string(rec.path, 64));
            }
        }
        len = sizeof buf;
        expect_error(qorvex_descriptor_address(ctx(), c.desc.c_str(), c.index, buf, &len), c.code, c.message);
    }
    // The address exports' own capacity messages.
    const struct {
        std::string desc;
        const char* message;
    } small[] = {
        {"wpkh(" + kG + ")", "P2WPKH buffer too small"},
        {"sh(wpkh(" + kG + "))", "P2SH-P2WPKH buffer too small"},
        {"pkh(" + kG + ")", "P2PKH buffer too small"},
        {"tr(" + x + ")", "P2TR buffer too small"},
    };
    for (const auto& s : small) {
        char buf[QORVEX_ADDRESS_MAX_SIZE];
        size_t len = QORVEX_ADDRESS_MAX_SIZE;
        ASSERT_EQ(QORVEX_OK, qorvex_descriptor_address(ctx(), s.desc.c_str(), 0, buf, &len));
        const size_t L = len;
        expect_error(qorvex_descriptor_address(ctx(), s.desc.c_str(), 0, buf, &len), QORVEX_ERR_BUF_TOO_SMALL,
                     s.message);
        EXPECT_EQ(L, len);
    }
}

TEST_F(DescriptorAbi, NullPointersAndOverlap) {
    const std::string d = "wpkh(" + kG + ")";
    qorvex_descriptor rec;
    char buf[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof buf;
    uint8_t zero[32] = {0};
    ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx(), zero));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_descriptor_parse(nullptr, d.c_str(), 0, &rec, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_descriptor_parse(ctx(), nullptr, 0, &rec, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_descriptor_parse(ctx(), d.c_str(), 0, nullptr, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_descriptor_parse(ctx(), d.c_str(), 0, &rec, buf, nullptr));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_descriptor_address(nullptr, d.c_str(), 0, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_descriptor_address(ctx(), nullptr, 0, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_descriptor_address(ctx(), d.c_str(), 0, nullptr, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_descriptor_address(ctx(), d.c_str(), 0, buf, nullptr));
    EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(ctx()));
    // A length without an address asks for no address.
    EXPECT_EQ(QORVEX_OK, qorvex_descriptor_parse(ctx(), d.c_str(), 0, &rec, nullptr, &len));

    // The record and the address written over the text they come from.
    const std::string desc = "tr(" + kXpub + "/<0;1>/*)";
    const std::string want = parse(desc, 6, rec);
    qorvex_descriptor expected = rec;
    std::vector<char> mem(desc.size() + 1 + sizeof(qorvex_descriptor), '\0');
    std::memcpy(mem.data(), desc.c_str(), desc.size() + 1);
    auto* over = reinterpret_cast<qorvex_descriptor*>(mem.data());
    ASSERT_EQ(QORVEX_OK, qorvex_descriptor_parse(ctx(), mem.data(), 6, over, nullptr, nullptr));
    EXPECT_EQ(0, std::memcmp(over, &expected, 4 + 32));
    EXPECT_EQ(expected.key_len, over->key_len);
    EXPECT_STREQ(expected.path, over->path);
    std::memcpy(mem.data(), desc.c_str(), desc.size() + 1);
    len = mem.size();
    ASSERT_EQ(QORVEX_OK, qorvex_descriptor_address(ctx(), mem.data(), 6, mem.data() + 3, &len));
    EXPECT_EQ(want, std::string(mem.data() + 3, len));
}

}  // namespace
}  // namespace qorvex::test
