// BIP-322 simple signatures through the exported interface: the published
// vectors of BIP-322 (every simple P2WPKH and P2TR signature, the library's
// own signatures for the same keys and messages, and every error case), and
// every code and message of signing and verifying.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "base64_text.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
const uint8_t* data_or_null(const Bytes& b) { return b.empty() ? nullptr : b.data(); }

// p followed by s (written out: gcc 12 warns falsely on literal + string).
std::string prefixed(const char* p, const std::string& s) {
    std::string out(p);
    out.append(s);
    return out;
}

// What the vectors' address strings are, by their prefix and length.
enum class Kind { p2wpkh, p2tr, other };
Kind kind_of(const std::string& address) {
    const std::string hrp = address.substr(0, 4);
    if ((hrp == "bc1q" || hrp == "tb1q") && address.size() == 42) return Kind::p2wpkh;
    if (hrp == "bc1p" || hrp == "tb1p") return Kind::p2tr;
    return Kind::other;
}

class SimpleSignatures : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        if (code != 0) {
            EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
        }
    }

    int verify(const std::string& address, const std::string& msg, const std::string& sig) {
        const Bytes m = text_bytes(msg);
        return qorvex_bip322_simple_verify(ctx(), address.c_str(), data_or_null(m), m.size(), sig.c_str());
    }

    std::string sign(const Bytes& key, int type, const std::string& msg, const uint8_t* aux = nullptr) {
        const Bytes m = text_bytes(msg);
        char out[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
        size_t len = sizeof out;
        EXPECT_EQ(0, qorvex_bip322_simple_sign(ctx(), key.data(), type, data_or_null(m), m.size(), aux, out, &len));
        EXPECT_EQ(std::strlen(out), len);
        return std::string(out, len);
    }

    Bytes wif_key(const std::string& wif) {
        Bytes key(32);
        int compressed = 0, network = 0;
        EXPECT_EQ(0, qorvex_wif_decode(ctx(), wif.c_str(), key.data(), &compressed, &network));
        EXPECT_EQ(1, compressed);
        return key;
    }

    // The key's address of the kind on the network.
    std::string address_of(const Bytes& key, Kind kind, int network = QORVEX_NETWORK_MAINNET) {
        char text[QORVEX_ADDRESS_MAX_SIZE];
        size_t len = sizeof text;
        if (kind == Kind::p2wpkh) {
            Bytes pub(33);
            EXPECT_EQ(0, qorvex_pubkey_create(ctx(), key.data(), pub.data()));
            EXPECT_EQ(0, qorvex_addr_p2wpkh(ctx(), pub.data(), network, text, &len));
        } else {
            Bytes internal(32), q(32);
            int parity = 0;
            EXPECT_EQ(0, qorvex_pubkey_xonly(ctx(), key.data(), internal.data()));
            EXPECT_EQ(0, qorvex_taproot_output_key(ctx(), internal.data(), nullptr, q.data(), &parity));
            EXPECT_EQ(0, qorvex_addr_p2tr(ctx(), q.data(), network, text, &len));
        }
        return std::string(text, len);
    }

    CtxPtr ctx_;
};

// Every simple signature of the two files. P2WPKH and P2TR ones verify; the
// library signs the same message with the same key, for the same address,
// and its signature verifies; for P2WPKH it is byte for byte the listed one
// wherever that came from plain RFC 6979 signing. P2WSH ones are outside the
// two kinds and refused as such.
TEST_F(SimpleSignatures, PublishedSimpleCases) {
    std::set<std::string> recreated;
    int listed = 0, outside = 0;
    for (const char* file : {"bip322/basic-test-vectors.json", "bip322/generated-test-vectors.json"}) {
        const Json v = load_json_vectors(file);
        int index = 0;
        for (const Json& c : v["simple"].array()) {
            const std::string name = std::string(file).substr(7, 5) + " simple[" + std::to_string(index++) + "]";
            SCOPED_TRACE(name);
            const std::string address = c["address"].str(), msg = c["message"].str();
            const Kind kind = kind_of(address);
            if (kind == Kind::other) {
                ++outside;
                for (const Json& sig : c["bip322_signatures"].array())
                    expect_error(verify(address, msg, sig.str()), 5,
                                 "BIP-322 simple signatures need a P2WPKH or P2TR address");
                continue;
            }
            ASSERT_EQ(1u, c["private_keys"].size());
            const Bytes key = wif_key(c["private_keys"][static_cast<size_t>(0)].str());
            EXPECT_EQ(address, address_of(key, kind));
            int sig_index = 0;
            for (const Json& sig : c["bip322_signatures"].array()) {
                ++listed;
                expect_error(verify(address, msg, sig.str()), 0, nullptr);
                const std::string ours = sign(key, kind == Kind::p2tr ? 2 : 1, msg);
                if (kind == Kind::p2wpkh && prefixed("smp", ours) == sig.str())
                    recreated.insert(name + " sig " + std::to_string(sig_index));
                ++sig_index;
            }
            const std::string ours = sign(key, kind == Kind::p2tr ? 2 : 1, msg);
            expect_error(verify(address, msg, ours), 0, nullptr);
            expect_error(verify(address, msg, prefixed("smp", ours)), 0, nullptr);
        }
    }
    EXPECT_EQ(7, listed);
    EXPECT_EQ(3, outside);
    const std::set<std::string> expected = {"basic simple[0] sig 1", "basic simple[1] sig 1",
                                            "gener simple[0] sig 0"};
    EXPECT_EQ(expected, recreated);
}

// Every error case of the two files is refused. Those that are simple
// signatures for a P2WPKH or P2TR address get a verdict of their own (6, or
// 5 when the text cannot be read); the rest are outside: P2WSH addresses
// and full signatures, refused with 5.
TEST_F(SimpleSignatures, PublishedErrorCases) {
    int inside = 0, outside = 0;
    for (const char* file : {"bip322/basic-test-vectors.json", "bip322/generated-test-vectors.json"}) {
        const Json v = load_json_vectors(file);
        for (const Json& c : v["error"].array()) {
            SCOPED_TRACE(c["description"].str());
            const std::string sig = c["signature"].str();
            const bool full = sig.rfind("ful", 0) == 0 || sig.rfind("pof", 0) == 0;
            const int rc = verify(c["address"].str(), c["message"].str(), sig);
            EXPECT_NE(0, rc);
            if (kind_of(c["address"].str()) == Kind::other || full) {
                ++outside;
                EXPECT_EQ(5, rc);
                continue;
            }
            ++inside;
            const bool unreadable = c["error_substr"].str() != "invalid signature";
            EXPECT_EQ(unreadable ? 5 : 6, rc);
        }
    }
    EXPECT_EQ(9, inside);
    EXPECT_EQ(27, outside);
}

// Own signatures: both kinds, both networks, with and without randomness;
// P2WPKH ones are deterministic and ignore it.
TEST_F(SimpleSignatures, SignVerifyRoundTrips) {
    const Bytes key = be32("a11ce5eedf00d");
    const uint8_t aux[32] = {9, 9, 9};
    for (const Kind kind : {Kind::p2wpkh, Kind::p2tr}) {
        const int type = kind == Kind::p2tr ? QORVEX_BIP322_P2TR : QORVEX_BIP322_P2WPKH;
        for (const std::string& msg : std::vector<std::string>{"", "hi", std::string(1000, 'q')}) {
            SCOPED_TRACE(std::to_string(type) + " " + std::to_string(msg.size()));
            const std::string plain = sign(key, type, msg), with_aux = sign(key, type, msg, aux);
            EXPECT_EQ(kind == Kind::p2wpkh, plain == with_aux);
            EXPECT_EQ(plain, sign(key, type, msg));
            for (const int net : {QORVEX_NETWORK_MAINNET, QORVEX_NETWORK_TESTNET}) {
                const std::string address = address_of(key, kind, net);
                expect_error(verify(address, msg, plain), 0, nullptr);
                expect_error(verify(address, msg, with_aux), 0, nullptr);
                expect_error(verify(address, msg + ".", plain), 6, "BIP-322 signature verify failed");
            }
            // The witness: [sig, key] or [sig].
            const Bytes raw = base64_decode(plain);
            ASSERT_FALSE(raw.empty());
            EXPECT_EQ(kind == Kind::p2wpkh ? 2 : 1, raw[0]);
            if (kind == Kind::p2tr) {
                EXPECT_EQ(66u, raw.size());
            }
        }
    }
}

TEST_F(SimpleSignatures, SignErrors) {
    const Bytes key = be32("5151");
    const Bytes msg = text_bytes("m");
    char out[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
    size_t len = sizeof out;
    for (const char* hex : {"0", kOrderHex}) {
        const Bytes bad = be32(hex);
        expect_error(qorvex_bip322_simple_sign(ctx(), bad.data(), 1, msg.data(), 1, nullptr, out, &len), 2,
                     "privkey is zero or >= n");
    }
    for (const int type : {0, 3, -1, 0x101}) {
        SCOPED_TRACE(type);
        expect_error(qorvex_bip322_simple_sign(ctx(), key.data(), type, msg.data(), 1, nullptr, out, &len), 5,
                     "unsupported address type for BIP-322 simple signatures");
    }
    // A P2TR signature is 88 characters: 88 bytes of room are one short.
    len = 88;
    std::memset(out, 'x', sizeof out);
    expect_error(qorvex_bip322_simple_sign(ctx(), key.data(), 2, msg.data(), 1, nullptr, out, &len), 10,
                 "BIP-322 signature buffer too small");
    EXPECT_EQ(88u, len);
    EXPECT_EQ('x', out[0]);
    len = 89;
    expect_error(qorvex_bip322_simple_sign(ctx(), key.data(), 2, msg.data(), 1, nullptr, out, &len), 0, nullptr);
    EXPECT_EQ(88u, len);

    len = sizeof out;
    EXPECT_EQ(1, qorvex_bip322_simple_sign(nullptr, key.data(), 1, msg.data(), 1, nullptr, out, &len));
    EXPECT_EQ(1, qorvex_bip322_simple_sign(ctx(), nullptr, 1, msg.data(), 1, nullptr, out, &len));
    EXPECT_EQ(1, qorvex_bip322_simple_sign(ctx(), key.data(), 1, nullptr, 1, nullptr, out, &len));
    EXPECT_EQ(1, qorvex_bip322_simple_sign(ctx(), key.data(), 1, msg.data(), 1, nullptr, nullptr, &len));
    EXPECT_EQ(1, qorvex_bip322_simple_sign(ctx(), key.data(), 1, msg.data(), 1, nullptr, out, nullptr));
}

// The output over the key, the message and the randomness.
TEST_F(SimpleSignatures, SignOverlappingBuffers) {
    const Bytes key = be32("0feed");
    const uint8_t aux[32] = {4};
    const std::string expected = sign(key, 2, "overlap", aux);
    char buf[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
    std::memcpy(buf, key.data(), 32);
    std::memcpy(buf + 32, "overlap", 7);
    std::memcpy(buf + 39, aux, 32);
    size_t len = sizeof buf;
    const auto* b = reinterpret_cast<const uint8_t*>(buf);
    ASSERT_EQ(0, qorvex_bip322_simple_sign(ctx(), b, 2, b + 32, 7, b + 39, buf, &len));
    EXPECT_EQ(expected, std::string(buf, len));
}

TEST_F(SimpleSignatures, VerifyCodesAndMessages) {
    const Bytes key = be32("ba5e");
    const std::string p2wpkh = address_of(key, Kind::p2wpkh), p2tr = address_of(key, Kind::p2tr);
    const std::string sig = sign(key, 1, "m"), tr_sig = sign(key, 2, "m");
    const Bytes raw = base64_decode(sig);
    Bytes der_item(raw.begin() + 2, raw.begin() + 2 + raw[1]);
    // [sig with SIGHASH_NONE, key]: decodes, but not for BIP-322.
    Bytes none = raw;
    none[1 + raw[1]] = 0x02;
    Bytes trailing = raw;
    trailing.push_back(0);
    struct Row {
        const char* what;
        std::string address, sig;
        int code;
        const char* message;
    };
    const Row rows[] = {
        {"valid", p2wpkh, sig, 0, nullptr},
        {"valid, prefixed", p2tr, prefixed("smp", tr_sig), 0, nullptr},
        {"not an address", "bc1qnotanaddress", sig, 5, "invalid address"},
        {"an address of more than 90 characters", std::string(120, 'b'), sig, 5, "invalid address"},
        {"P2PKH", "1BvBMSEYstWetqTFn5Au4m4GFg7xJaNVN2", sig, 5,
         "BIP-322 simple signatures need a P2WPKH or P2TR address"},
        {"P2SH", "3J98t1WpEZ73CNmQviecrnyiWrnqRhWNLy", sig, 5, "BIP-322 simple signatures need a P2WPKH or P2TR address"},
        {"P2WSH", "bc1qrp33g0q5c5txsp9arysrx4k6zdkfs4nce4xj0gdcccefvpysxf3qccfmv3", sig, 5,
         "BIP-322 simple signatures need a P2WPKH or P2TR address"},
        {"witness version 2", "bc1zw508d6qejxtdg4y5r3zarvaryvaxxpcs", sig, 5,
         "BIP-322 simple signatures need a P2WPKH or P2TR address"},
        {"full variant", p2wpkh, prefixed("ful", sig), 5, "full and proof-of-funds BIP-322 signatures are not supported"},
        {"proof of funds", p2wpkh, "pofcHNidP8B", 5, "full and proof-of-funds BIP-322 signatures are not supported"},
        {"too long", p2wpkh, std::string(6000, 'A'), 5, "BIP-322 signature too long"},
        {"not base64", p2wpkh, "not-valid-base64!!!", 5, "BIP-322 signature is not valid base64"},
        {"unknown prefix", p2wpkh, "fooAA==", 5, "BIP-322 signature is not valid base64"},
        {"empty", p2wpkh, "", 5, "BIP-322 signature is not a witness stack"},
        {"a byte after the stack", p2wpkh, base64_encode(trailing), 5, "BIP-322 signature is not a witness stack"},
        // A count of more items than a single-key spend has, with nothing
        // behind it, is no stack at all.
        {"a bare count of 4, P2WPKH", p2wpkh, base64_encode({4}), 5, "BIP-322 signature is not a witness stack"},
        {"a bare count of 4, P2TR", p2tr, base64_encode({4}), 5, "BIP-322 signature is not a witness stack"},
        {"four items, P2WPKH", p2wpkh, base64_encode({4, 0, 0, 0, 0}), 6, "BIP-322 witness does not fit the address"},
        {"four items, P2TR", p2tr, base64_encode({4, 0, 0, 0, 0}), 5, "BIP-322 script-path signatures are not supported"},
        {"script path", p2tr, base64_encode({2, 1, 0x51, 1, 0xc0}), 5, "BIP-322 script-path signatures are not supported"},
        {"empty stack", p2wpkh, "smpAA==", 6, "BIP-322 witness does not fit the address"},
        {"P2TR signature for the P2WPKH address", p2wpkh, tr_sig, 6, "BIP-322 witness does not fit the address"},
        {"P2WPKH signature for the P2TR address", p2tr, sig, 5, "BIP-322 script-path signatures are not supported"},
        {"another key's signature", address_of(be32("0dd"), Kind::p2wpkh), sig, 6,
         "BIP-322 witness does not fit the address"},
        {"SIGHASH_NONE", p2wpkh, base64_encode(none), 6, "BIP-322 signature must use SIGHASH_ALL"},
        {"another message", p2wpkh, sign(key, 1, "n"), 6, "BIP-322 signature verify failed"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        expect_error(verify(r.address, "m", r.sig), r.code, r.message);
    }
    // A bad DER signature next to the right key.
    Bytes pub(33);
    ASSERT_EQ(0, qorvex_pubkey_create(ctx(), key.data(), pub.data()));
    Bytes bad_der = {2, 3, 0x30, 0x00, 0x01, 33};
    bad_der.insert(bad_der.end(), pub.begin(), pub.end());
    expect_error(verify(p2wpkh, "m", base64_encode(bad_der)), 6, "BIP-322 signature encoding invalid");

    const Bytes m = text_bytes("m");
    EXPECT_EQ(1, qorvex_bip322_simple_verify(nullptr, p2wpkh.c_str(), m.data(), 1, sig.c_str()));
    EXPECT_EQ(1, qorvex_bip322_simple_verify(ctx(), nullptr, m.data(), 1, sig.c_str()));
    EXPECT_EQ(1, qorvex_bip322_simple_verify(ctx(), p2wpkh.c_str(), nullptr, 1, sig.c_str()));
    EXPECT_EQ(1, qorvex_bip322_simple_verify(ctx(), p2wpkh.c_str(), m.data(), 1, nullptr));
}

}  // namespace
}  // namespace qorvex::test
