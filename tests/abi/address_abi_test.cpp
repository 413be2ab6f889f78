// Addresses, WIF and segwit scripts through the exported interface: known
// answers for key 1 on both networks, every code and message in order,
// what stays untouched on failure, the in/out length rule at capacity L and
// L + 1, and overlapping buffers.
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

const std::string kG = "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kGx = kG.substr(2);
const std::string kP = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";

// An address export as the tests call it: input bytes, network, buffer.
using AddrFn = std::function<int(qorvex_ctx*, const uint8_t*, int, char*, size_t*)>;

struct AddrKind {
    const char* name;
    AddrFn fn;
    const char* mainnet;  // for key 1 (or its x-only key)
    const char* testnet;
    const char* failed;
    const char* too_small;
    bool xonly;
};

const AddrKind kKinds[] = {
    {"p2pkh", qorvex_addr_p2pkh, "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", "mrCDrCybB6J1vRfbwM5hemdJz73FwDBC8r",
     "P2PKH generation failed", "P2PKH buffer too small", false},
    {"p2sh_p2wpkh", qorvex_addr_p2sh_p2wpkh, "3JvL6Ymt8MVWiCNHC7oWU6nLeHNJKLZGLN",
     "2NAUYAHhujozruyzpsFRP63mbrdaU5wnEpN", "P2SH-P2WPKH generation failed", "P2SH-P2WPKH buffer too small", false},
    {"p2wpkh", qorvex_addr_p2wpkh, "bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4",
     "tb1qw508d6qejxtdg4y5r3zarvary0c5xw7kxpjzsx", "P2WPKH generation failed", "P2WPKH buffer too small", false},
    {"p2tr", qorvex_addr_p2tr, "bc1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vqzk5jj0",
     "tb1p0xlxvlhemja6c4dqv22uapctqupfhlxm9h8z3k2e72q4k9hcz7vq47zagq", "P2TR generation failed",
     "P2TR buffer too small", true},
};

class AddressAbi : public ::testing::Test {
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
    // Makes the context hold a failure, so that a later call can show
    // whether it touched the context.
    void poison() {
        uint8_t zero[32] = {0};
        ASSERT_EQ(QORVEX_ERR_BAD_KEY, qorvex_seckey_negate(ctx_.get(), zero));
    }
    CtxPtr ctx_;
};

Bytes input_of(const AddrKind& k) { return from_hex(k.xonly ? kGx : kG); }

TEST_F(AddressAbi, KnownAddressesOfKeyOne) {
    for (const auto& k : kKinds) {
        for (const int net : {QORVEX_NETWORK_MAINNET, QORVEX_NETWORK_TESTNET}) {
            SCOPED_TRACE(std::string(k.name) + " network " + std::to_string(net));
            const Bytes in = input_of(k);
            char addr[QORVEX_ADDRESS_MAX_SIZE];
            size_t len = sizeof addr;
            ASSERT_EQ(QORVEX_OK, k.fn(ctx_.get(), in.data(), net, addr, &len));
            EXPECT_EQ(net == 0 ? k.mainnet : k.testnet, std::string(addr));
            EXPECT_EQ(std::strlen(addr), len);
            EXPECT_EQ(0, qorvex_last_error(ctx_.get()));
        }
    }
    // P2SH of the empty script, accepted.
    const uint8_t none = 0;
    char addr[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof addr;
    ASSERT_EQ(QORVEX_OK, qorvex_addr_p2sh(&none, 0, 0, addr, &len));
    EXPECT_STREQ("3J98t1WpEZ73CNmQviecrnyiWrnqRhWNLy", addr);
    len = sizeof addr;
    ASSERT_EQ(QORVEX_OK, qorvex_addr_p2sh(&none, 0, 1, addr, &len));
    EXPECT_STREQ("2N9hLwkSqr1cPQAPxbrGVUjxyjD11G2e1he", addr);
    // P2SH-P2WPKH is P2SH of the 22-byte P2WPKH redeem script.
    uint8_t h[20], redeem[QORVEX_P2WPKH_SPK_SIZE];
    const Bytes g = from_hex(kG);
    ASSERT_EQ(QORVEX_OK, qorvex_hash160(g.data(), 33, h));
    ASSERT_EQ(QORVEX_OK, qorvex_segwit_p2wpkh_spk(h, redeem));
    len = sizeof addr;
    ASSERT_EQ(QORVEX_OK, qorvex_addr_p2sh(redeem, sizeof redeem, 0, addr, &len));
    EXPECT_STREQ(kKinds[1].mainnet, addr);
}

// The in/out length rule: capacity L fails with the kind's message and
// touches neither the buffer nor the length; L + 1 succeeds.
TEST_F(AddressAbi, CapacityRule) {
    for (const auto& k : kKinds) {
        SCOPED_TRACE(k.name);
        const Bytes in = input_of(k);
        const size_t L = std::strlen(k.mainnet);
        std::vector<char> buf(L + 1, 'x');
        size_t len = L;
        expect_error(k.fn(ctx_.get(), in.data(), 0, buf.data(), &len), QORVEX_ERR_BUF_TOO_SMALL, k.too_small);
        EXPECT_EQ(L, len);
        EXPECT_EQ(std::vector<char>(L + 1, 'x'), buf);
        len = L + 1;
        ASSERT_EQ(QORVEX_OK, k.fn(ctx_.get(), in.data(), 0, buf.data(), &len));
        EXPECT_EQ(L, len);
        EXPECT_EQ(k.mainnet, std::string(buf.data()));
    }
    const uint8_t none = 0;
    char buf[40];
    size_t len = 34;  // "3J98t1..." has 34 characters
    EXPECT_EQ(QORVEX_ERR_BUF_TOO_SMALL, qorvex_addr_p2sh(&none, 0, 0, buf, &len));
    EXPECT_EQ(34u, len);
    len = 35;
    EXPECT_EQ(QORVEX_OK, qorvex_addr_p2sh(&none, 0, 0, buf, &len));
    EXPECT_EQ(34u, len);
}

TEST_F(AddressAbi, RefusedInputsInOrder) {
    struct Case {
        const char* what;
        size_t kind;  // index into kKinds
        std::string input_hex;
        int network;
        int code;
        const char* message;
    };
    const std::string off_curve = "02" + std::string(63, '0') + "5";
    const Case cases[] = {
        // The network comes first, whatever the key.
        {"network 2", 0, kG, 2, 5, "invalid network"},
        {"network -1", 1, kG, -1, 5, "invalid network"},
        {"network before key", 2, "04" + kGx, 7, 5, "invalid network"},
        {"network, p2tr", 3, std::string(64, '0'), -1, 5, "invalid network"},
        {"uncompressed prefix", 0, "04" + kGx, 0, 3, "invalid pubkey"},
        {"prefix 05", 1, "05" + kGx, 0, 3, "invalid pubkey"},
        {"x not on the curve", 2, off_curve, 1, 3, "invalid pubkey"},
        {"x = p", 0, "02" + kP, 0, 3, "invalid pubkey"},
        {"zero x-only key", 3, std::string(64, '0'), 0, 3, "zero x-only key"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes in = from_hex(c.input_hex);
        char buf[QORVEX_ADDRESS_MAX_SIZE];
        std::memset(buf, 'x', sizeof buf);
        size_t len = sizeof buf;
        expect_error(kKinds[c.kind].fn(ctx_.get(), in.data(), c.network, buf, &len), c.code, c.message);
        EXPECT_EQ(sizeof buf, len);
        EXPECT_EQ(std::string(sizeof buf, 'x'), std::string(buf, sizeof buf));
    }
    // P2TR takes any non-zero 32 bytes, on the curve or not.
    const Bytes five = from_hex(std::string(63, '0') + "5");
    char buf[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof buf;
    ASSERT_EQ(QORVEX_OK, qorvex_addr_p2tr(ctx_.get(), five.data(), 0, buf, &len));
    EXPECT_STREQ("bc1pqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqqzs2jkusy", buf);
    // P2SH has no context and no message.
    const uint8_t none = 0;
    len = sizeof buf;
    EXPECT_EQ(QORVEX_ERR_BAD_INPUT, qorvex_addr_p2sh(&none, 0, 2, buf, &len));
    EXPECT_EQ(QORVEX_ERR_BAD_INPUT, qorvex_addr_p2sh(&none, 0, -1, buf, &len));
}

TEST_F(AddressAbi, NullPointersLeaveTheContextAlone) {
    const Bytes g = from_hex(kG);
    char buf[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof buf;
    poison();
    for (const auto& k : kKinds) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(QORVEX_ERR_NULL_ARG, k.fn(nullptr, g.data(), 0, buf, &len));
        EXPECT_EQ(QORVEX_ERR_NULL_ARG, k.fn(ctx_.get(), nullptr, 0, buf, &len));
        EXPECT_EQ(QORVEX_ERR_NULL_ARG, k.fn(ctx_.get(), g.data(), 0, nullptr, &len));
        EXPECT_EQ(QORVEX_ERR_NULL_ARG, k.fn(ctx_.get(), g.data(), 7, buf, nullptr));
        EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(ctx_.get()));
    }
    const uint8_t key[32] = {1};
    int compressed = 0, network = 0;
    uint8_t out[32];
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_wif_encode(ctx_.get(), key, 1, 9, nullptr, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_wif_decode(ctx_.get(), "x", out, nullptr, &network));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_wif_decode(ctx_.get(), "x", out, &compressed, nullptr));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_wif_decode(ctx_.get(), nullptr, out, &compressed, &network));
    EXPECT_EQ(QORVEX_ERR_BAD_KEY, qorvex_last_error(ctx_.get()));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_addr_p2sh(nullptr, 0, 0, buf, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_addr_p2sh(g.data(), 0, 0, buf, nullptr));
}

// --- WIF ---

const std::string kOneHex = std::string(63, '0') + "1";

TEST_F(AddressAbi, WifOfKeyOne) {
    struct Case {
        int compressed, network;
        const char* wif;
    };
    const Case cases[] = {
        {1, 0, "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn"},
        {0, 0, "5HpHagT65TZzG1PH3CSu63k8DbpvD8s5ip4nEB3kEsreAnchuDf"},
        {7, 1, "cMahea7zqjxrtgAbB7LSGbcQUr1uX1ojuat9jZodMN87JcbXMTcA"},  // any non-zero flag
        {0, 1, "91avARGdfge8E4tZfYLoxeJ5sGBdNJQH4kvjJoQFacbgwmaKkrx"},
    };
    const Bytes key = from_hex(kOneHex);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wif);
        char buf[QORVEX_WIF_MAX_SIZE];
        size_t len = sizeof buf;
        ASSERT_EQ(QORVEX_OK, qorvex_wif_encode(ctx_.get(), key.data(), c.compressed, c.network, buf, &len));
        EXPECT_STREQ(c.wif, buf);
        EXPECT_EQ(std::strlen(c.wif), len);
        uint8_t back[32];
        int compressed = -1, network = -1;
        ASSERT_EQ(QORVEX_OK, qorvex_wif_decode(ctx_.get(), c.wif, back, &compressed, &network));
        EXPECT_EQ(key, Bytes(back, back + 32));
        EXPECT_EQ(c.compressed != 0 ? 1 : 0, compressed);
        EXPECT_EQ(c.network, network);
        // The capacity rule at L and L + 1.
        const size_t L = std::strlen(c.wif);
        std::memset(buf, 'x', sizeof buf);
        len = L;
        expect_error(qorvex_wif_encode(ctx_.get(), key.data(), c.compressed, c.network, buf, &len),
                     QORVEX_ERR_BUF_TOO_SMALL, "WIF buffer too small");
        EXPECT_EQ(L, len);
        EXPECT_EQ(std::string(sizeof buf, 'x'), std::string(buf, sizeof buf));
        len = L + 1;
        EXPECT_EQ(QORVEX_OK, qorvex_wif_encode(ctx_.get(), key.data(), c.compressed, c.network, buf, &len));
    }
}

TEST_F(AddressAbi, WifEncodeRefusals) {
    char buf[QORVEX_WIF_MAX_SIZE];
    std::memset(buf, 'x', sizeof buf);
    size_t len = sizeof buf;
    const Bytes key = from_hex(kOneHex);
    expect_error(qorvex_wif_encode(ctx_.get(), key.data(), 1, 2, buf, &len), 5, "invalid network");
    const Bytes zero(32, 0), order = from_hex(kOrderHex);
    expect_error(qorvex_wif_encode(ctx_.get(), zero.data(), 1, 0, buf, &len), 2, "privkey is zero or >= n");
    expect_error(qorvex_wif_encode(ctx_.get(), order.data(), 0, 1, buf, &len), 2, "privkey is zero or >= n");
    // The network is checked before the key.
    expect_error(qorvex_wif_encode(ctx_.get(), zero.data(), 1, -1, buf, &len), 5, "invalid network");
    EXPECT_EQ(sizeof buf, len);
    EXPECT_EQ(std::string(sizeof buf, 'x'), std::string(buf, sizeof buf));
}

// Every way a string fails gives 5 "invalid WIF string" and leaves the
// outputs alone; among them the keys 0, n and n + 1, which are refused
// rather than reduced modulo n.
TEST_F(AddressAbi, WifDecodeRefusals) {
    const char* cases[] = {
        "",
        "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWm",   // checksum
        "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoW0",   // '0' is no Base58 digit
        " KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn",  // nothing is trimmed
        "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn\n",
        "L5oLkpV3aqBjhki6LmvChTCq73v9gyymzzMpBbhDLjDpLCfkwaDM",   // version byte 0x81
        "yNb7j1viLcZunrTHozyfJPTZJrprRSPpY485Lwzq1CFSBo1up",      // 32-byte payload
        "FXjQL6s",                                                 // the version byte alone
        "2SaK6n3GY7WKrHRSyvhrn1k6zdzeAMmNBXH5PtXqoENrdhfi68hfwW", // 35-byte payload
        "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sMvhksF",   // 34 bytes ending in 0x00
        "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73Nd2Mcv1",   // key 0
        "L5oLkpV3aqBjhki6LmvChTCV6odsp4SXM6FfU2Gppt5kFqRzExJJ",   // key n
        "L5oLkpV3aqBjhki6LmvChTCV6odsp4SXM6FfU2Gppt5kGLN5THFW",   // key n + 1
        "1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH",                     // an address
    };
    for (const char* wif : cases) {
        SCOPED_TRACE(wif);
        uint8_t key[32];
        std::memset(key, 0xA5, sizeof key);
        int compressed = 42, network = 42;
        expect_error(qorvex_wif_decode(ctx_.get(), wif, key, &compressed, &network), 5, "invalid WIF string");
        EXPECT_EQ(Bytes(32, 0xA5), Bytes(key, key + 32));
        EXPECT_EQ(42, compressed);
        EXPECT_EQ(42, network);
    }
}

// The key may be written over the string it came from.
TEST_F(AddressAbi, WifDecodeIntoItsOwnText) {
    char buf[64] = "KwDiBf89QgGbjEhKnhXJuH7LrciVrZi3qYjgd9M7rFU73sVHnoWn";
    int compressed = 0, network = 1;
    ASSERT_EQ(QORVEX_OK,
              qorvex_wif_decode(ctx_.get(), buf, reinterpret_cast<uint8_t*>(buf + 1), &compressed, &network));
    EXPECT_EQ(kOneHex, to_hex(reinterpret_cast<const uint8_t*>(buf + 1), 32));
    EXPECT_EQ(1, compressed);
    EXPECT_EQ(0, network);
}

// --- Segwit scripts ---

TEST(SegwitAbi, WitnessProgramRule) {
    struct Case {
        std::string hex;
        int expected;
        int version;
    };
    const std::string p20(40, 'a'), p32(64, 'b');
    const Case cases[] = {
        {"0014" + p20, 1, 0},
        {"0020" + p32, 1, 0},
        {"5120" + p32, 1, 1},
        {"6002751e", 1, 16},                                    // 4 bytes, the shortest
        {"5128" + std::string(80, 'c'), 1, 1},                  // 42 bytes, the longest
        {"000201", 0, -1},                                      // 3 bytes
        {"0029" + std::string(82, 'c'), 0, -1},                 // 43 bytes
        {"5020" + p32, 0, -1},                                  // 0x50 is no version opcode
        {"6120" + p32, 0, -1},                                  // nor is 0x61
        {"0001aa", 0, -1},                                      // push of 1
        {"0014" + p20 + "00", 0, -1},                           // trailing byte
        {"0015" + p20, 0, -1},                                  // push longer than the script
        {"76a914" + p20 + "88ac", 0, -1},                       // P2PKH
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hex);
        const Bytes s = from_hex(c.hex);
        EXPECT_EQ(c.expected, qorvex_segwit_is_witness_program(s.data(), s.size()));
        int version = 99;
        uint8_t program[QORVEX_SEGWIT_PROGRAM_MAX_SIZE];
        std::memset(program, 0xA5, sizeof program);
        size_t len = 99;
        const int rc = qorvex_segwit_parse_program(s.data(), s.size(), &version, program, &len);
        EXPECT_EQ(c.version, version);
        if (c.expected) {
            ASSERT_EQ(QORVEX_OK, rc);
            EXPECT_EQ(s.size() - 2, len);
            EXPECT_EQ(Bytes(s.begin() + 2, s.end()), Bytes(program, program + len));
        } else {
            EXPECT_EQ(QORVEX_ERR_BAD_INPUT, rc);
            EXPECT_EQ(0u, len);
            EXPECT_EQ(Bytes(sizeof program, 0xA5), Bytes(program, program + sizeof program));
        }
    }
    EXPECT_EQ(0, qorvex_segwit_is_witness_program(nullptr, 22));
    int version;
    uint8_t program[40];
    size_t len;
    const Bytes s = from_hex("0014" + p20);
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_segwit_parse_program(nullptr, 22, &version, program, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_segwit_parse_program(s.data(), 22, nullptr, program, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_segwit_parse_program(s.data(), 22, &version, nullptr, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_segwit_parse_program(s.data(), 22, &version, program, nullptr));
}

// Builders, and the program parsed back into the script's own buffer.
TEST(SegwitAbi, BuildersInPlace) {
    uint8_t buf[34];
    for (int i = 0; i < 32; ++i) buf[i] = static_cast<uint8_t>(i + 1);
    const Bytes h32(buf, buf + 32);
    ASSERT_EQ(QORVEX_OK, qorvex_segwit_p2wsh_spk(buf, buf));
    EXPECT_EQ("0020" + to_hex(h32), to_hex(buf, 34));
    std::memcpy(buf, h32.data(), 32);
    ASSERT_EQ(QORVEX_OK, qorvex_segwit_p2tr_spk(buf, buf));
    EXPECT_EQ("5120" + to_hex(h32), to_hex(buf, 34));
    std::memcpy(buf, h32.data(), 20);
    ASSERT_EQ(QORVEX_OK, qorvex_segwit_p2wpkh_spk(buf, buf));
    EXPECT_EQ("0014" + to_hex(h32.data(), 20), to_hex(buf, 22));

    // Parse with the program written over the script.
    std::memcpy(buf + 2, h32.data(), 32);
    buf[0] = 0x51;
    buf[1] = 0x20;
    int version = -5;
    size_t len = 0;
    ASSERT_EQ(QORVEX_OK, qorvex_segwit_parse_program(buf, 34, &version, buf, &len));
    EXPECT_EQ(1, version);
    EXPECT_EQ(h32, Bytes(buf, buf + 32));

    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_segwit_p2wsh_spk(nullptr, buf));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_segwit_p2tr_spk(buf, nullptr));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_segwit_p2wpkh_spk(nullptr, buf));
}

TEST(SegwitAbi, WitnessScriptHash) {
    uint8_t h[32];
    ASSERT_EQ(QORVEX_OK, qorvex_segwit_witness_script_hash(nullptr, 0, h));
    EXPECT_EQ("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", to_hex(h, 32));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_segwit_witness_script_hash(nullptr, 1, h));
    uint8_t script[35];
    const Bytes g = from_hex(kG);
    script[0] = 0x21;  // <key> OP_CHECKSIG, BIP-173's P2WSH example
    std::memcpy(script + 1, g.data(), 33);
    script[34] = 0xAC;
    ASSERT_EQ(QORVEX_OK, qorvex_segwit_witness_script_hash(script, 35, script));
    EXPECT_EQ("1863143c14c5166804bd19203356da136c985678cd4d27a1b8c6329604903262", to_hex(script, 32));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_segwit_witness_script_hash(script, 34, nullptr));
}

}  // namespace
}  // namespace qorvex::test
