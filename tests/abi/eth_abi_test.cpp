// The Ethereum exports: addresses, EIP-55 text, personal hashes, signing
// with v (legacy and EIP-155) and ecrecover, with every failure code and
// message and what each failure leaves in the outputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint64_t kMax64 = std::numeric_limits<uint64_t>::max();
constexpr uint64_t kWrapChain = (uint64_t{1} << 63) - 18;  // 2c + 35 = 2^64 - 1
const std::string kGx = "79be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798";
const std::string kP = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";
const std::string kHalfOrder = "7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a0";

Bytes cat(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// A 32-byte big-endian value plus a small number (carry included).
Bytes plus(Bytes v, unsigned k) {
    for (int i = 31; i >= 0 && k != 0; --i) {
        const unsigned sum = v[i] + k;
        v[i] = static_cast<uint8_t>(sum);
        k = sum >> 8;
    }
    return v;
}

Bytes keccak_of_index(unsigned i) {
    const uint8_t in[2] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8)};
    Bytes out(32);
    EXPECT_EQ(QORVEX_OK, qorvex_keccak256(in, 2, out.data()));
    return out;
}

struct EthSig {
    Bytes r = Bytes(32), s = Bytes(32);
    uint64_t v = 0;
};

class EthAbi : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
        key_ = be32("4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318");
        pub_ = pubkey(key_);
        addr_.resize(20);
        ASSERT_EQ(QORVEX_OK, qorvex_eth_address(ctx_.get(), pub_.data(), addr_.data()));
    }
    Bytes pubkey(const Bytes& key) {
        Bytes out(33);
        EXPECT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx_.get(), key.data(), out.data()));
        return out;
    }
    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx_.get()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx_.get()));
    }
    EthSig sign(const Bytes& hash, uint64_t chain_id) {
        EthSig sig;
        EXPECT_EQ(QORVEX_OK, qorvex_eth_sign(ctx_.get(), hash.data(), key_.data(), sig.r.data(), sig.s.data(),
                                             &sig.v, chain_id));
        return sig;
    }
    // The first hash of a fixed sequence whose signature has this recovery id.
    Bytes hash_with_recid(int want) {
        for (unsigned i = 0; i < 64; ++i) {
            Bytes h = keccak_of_index(i);
            if (sign(h, 0).v == 27u + static_cast<unsigned>(want)) return h;
        }
        ADD_FAILURE() << "no hash with recovery id " << want;
        return Bytes(32, 1);
    }
    int recover(const Bytes& hash, const Bytes& r, const Bytes& s, uint64_t v, Bytes& addr) {
        return qorvex_eth_ecrecover(ctx_.get(), hash.data(), r.data(), s.data(), v, addr.data());
    }
    Bytes recover_ok(const Bytes& hash, const Bytes& r, const Bytes& s, uint64_t v) {
        Bytes addr(20);
        EXPECT_EQ(QORVEX_OK, recover(hash, r, s, v, addr));
        return addr;
    }
    CtxPtr ctx_;
    Bytes key_, pub_, addr_;
};

TEST_F(EthAbi, AddressesOfKnownKeys) {
    struct Case {
        const char* key;
        const char* address;
        const char* checksummed;
    };
    const Case cases[] = {
        {"01", "7e5f4552091a69125d5dfcb7b8c2659029395bdf", nullptr},
        {"4c0883a69102937d6231471b5dbb6204fe5129617082792ae468d01a3f362318",
         "2c7536e3605d9c16a7a3d7b1898e529396a65c23", "0x2c7536E3605D9C16a7a3D7b1898e529396a65c23"},
        {"ac0974bec39a17e36ba4a6b4d238ff944bacb478cbed5efcae784d7bf4f2ff80",
         "f39fd6e51aad88f6f4ce6ab8827279cfffb92266", "0xf39Fd6e51aad88F6F4ce6aB8827279cffFb92266"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        const Bytes pub = pubkey(be32(c.key));
        Bytes addr(20);
        ASSERT_EQ(QORVEX_OK, qorvex_eth_address(ctx_.get(), pub.data(), addr.data()));
        EXPECT_EQ(c.address, to_hex(addr));
        char text[43];
        size_t len = sizeof text;
        ASSERT_EQ(QORVEX_OK, qorvex_eth_address_checksummed(ctx_.get(), pub.data(), text, &len));
        EXPECT_EQ(42u, len);
        EXPECT_EQ(std::string("0x") + c.address, lower(text));
        if (c.checksummed) {
            EXPECT_STREQ(c.checksummed, text);
        }
    }
}

TEST_F(EthAbi, NullArgumentsLeaveContextAndOutputsAlone) {
    Bytes h(32, 3), r(32, 4), s(32, 5), out(32, 0xAA);
    char text[64];
    std::memset(text, 'Z', sizeof text);
    size_t len = sizeof text;
    uint64_t v = 12345;
    const Bytes msg = {'h', 'i'};
    using Call = std::function<int()>;
    struct Case {
        const char* what;
        Call call;
    };
    qorvex_ctx* c = ctx_.get();
    const Case cases[] = {
        {"address ctx", [&] { return qorvex_eth_address(nullptr, pub_.data(), out.data()); }},
        {"address pub", [&] { return qorvex_eth_address(c, nullptr, out.data()); }},
        {"address out", [&] { return qorvex_eth_address(c, pub_.data(), nullptr); }},
        {"checksummed ctx", [&] { return qorvex_eth_address_checksummed(nullptr, pub_.data(), text, &len); }},
        {"checksummed pub", [&] { return qorvex_eth_address_checksummed(c, nullptr, text, &len); }},
        {"checksummed text", [&] { return qorvex_eth_address_checksummed(c, pub_.data(), nullptr, &len); }},
        {"checksummed len", [&] { return qorvex_eth_address_checksummed(c, pub_.data(), text, nullptr); }},
        {"personal out", [&] { return qorvex_eth_personal_hash(msg.data(), msg.size(), nullptr); }},
        {"personal msg", [&] { return qorvex_eth_personal_hash(nullptr, 1, out.data()); }},
        {"sign ctx", [&] { return qorvex_eth_sign(nullptr, h.data(), key_.data(), r.data(), s.data(), &v, 1); }},
        {"sign hash", [&] { return qorvex_eth_sign(c, nullptr, key_.data(), r.data(), s.data(), &v, 1); }},
        {"sign key", [&] { return qorvex_eth_sign(c, h.data(), nullptr, r.data(), s.data(), &v, 1); }},
        {"sign r", [&] { return qorvex_eth_sign(c, h.data(), key_.data(), nullptr, s.data(), &v, 1); }},
        {"sign s", [&] { return qorvex_eth_sign(c, h.data(), key_.data(), r.data(), nullptr, &v, 1); }},
        {"sign v", [&] { return qorvex_eth_sign(c, h.data(), key_.data(), r.data(), s.data(), nullptr, 1); }},
        {"recover ctx", [&] { return qorvex_eth_ecrecover(nullptr, h.data(), r.data(), s.data(), 27, out.data()); }},
        {"recover hash", [&] { return qorvex_eth_ecrecover(c, nullptr, r.data(), s.data(), 27, out.data()); }},
        {"recover r", [&] { return qorvex_eth_ecrecover(c, h.data(), nullptr, s.data(), 27, out.data()); }},
        {"recover s", [&] { return qorvex_eth_ecrecover(c, h.data(), r.data(), nullptr, 27, out.data()); }},
        {"recover out", [&] { return qorvex_eth_ecrecover(c, h.data(), r.data(), s.data(), 27, nullptr); }},
    };
    // A recorded failure that the NULL checks must not disturb.
    expect_error(recover(h, r, s, 0, out), 4, "ecrecover failed");
    ASSERT_EQ(Bytes(32, 0xAA), out);
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        EXPECT_EQ(QORVEX_ERR_NULL_ARG, k.call());
        EXPECT_EQ(4, qorvex_last_error(c));
        EXPECT_STREQ("ecrecover failed", qorvex_last_error_msg(c));
    }
    EXPECT_EQ(Bytes(32, 0xAA), out);
    EXPECT_EQ(std::string(64, 'Z'), std::string(text, sizeof text));
    EXPECT_EQ(sizeof text, len);
    EXPECT_EQ(Bytes(32, 4), r);
    EXPECT_EQ(Bytes(32, 5), s);
    EXPECT_EQ(12345u, v);
}

TEST_F(EthAbi, PersonalHash) {
    // The empty message may be NULL and hashes the prefix and "0".
    Bytes empty(32), by_hand(32);
    ASSERT_EQ(QORVEX_OK, qorvex_eth_personal_hash(nullptr, 0, empty.data()));
    const std::string prefixed0 = "\x19" "Ethereum Signed Message:\n0";
    ASSERT_EQ(QORVEX_OK, qorvex_keccak256(reinterpret_cast<const uint8_t*>(prefixed0.data()), prefixed0.size(),
                                          by_hand.data()));
    EXPECT_EQ(by_hand, empty);
    Bytes empty_non_null(32);
    const uint8_t dummy = 0;
    ASSERT_EQ(QORVEX_OK, qorvex_eth_personal_hash(&dummy, 0, empty_non_null.data()));
    EXPECT_EQ(empty, empty_non_null);

    const Bytes msg(1000, 'x');
    Bytes out(32);
    ASSERT_EQ(QORVEX_OK, qorvex_eth_personal_hash(msg.data(), msg.size(), out.data()));
    std::string whole = "\x19" "Ethereum Signed Message:\n1000" + std::string(1000, 'x');
    ASSERT_EQ(QORVEX_OK,
              qorvex_keccak256(reinterpret_cast<const uint8_t*>(whole.data()), whole.size(), by_hand.data()));
    EXPECT_EQ(by_hand, out);

    const std::string hello = "Hello World";
    ASSERT_EQ(QORVEX_OK,
              qorvex_eth_personal_hash(reinterpret_cast<const uint8_t*>(hello.data()), hello.size(), out.data()));
    EXPECT_EQ("a1de988600a42c4b4ab089b619297c17d53cffae5d5120d82d8a92d0bb3b78f2", to_hex(out));
}

TEST_F(EthAbi, AddressRejectsKeysThatDoNotParse) {
    const struct {
        const char* what;
        Bytes pub;
    } cases[] = {
        {"uncompressed prefix", cat(Bytes{0x04}, be32(kGx))},
        {"prefix 00", cat(Bytes{0x00}, be32(kGx))},
        {"x not on the curve", cat(Bytes{0x02}, be32("05"))},
        {"x = p", cat(Bytes{0x02}, be32(kP))},
        {"x all ones", cat(Bytes{0x03}, Bytes(32, 0xFF))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes out(20, 0xAA);
        expect_error(qorvex_eth_address(ctx_.get(), c.pub.data(), out.data()), 3, "invalid compressed pubkey");
        EXPECT_EQ(Bytes(20, 0xAA), out);
        char text[50];
        std::memset(text, 'Z', sizeof text);
        size_t len = 43;
        expect_error(qorvex_eth_address_checksummed(ctx_.get(), c.pub.data(), text, &len), 3,
                     "invalid compressed pubkey");
        EXPECT_EQ(43u, len);
        EXPECT_EQ(std::string(50, 'Z'), std::string(text, sizeof text));
    }
}

TEST_F(EthAbi, ChecksummedCapacity) {
    const Bytes bad_pub = cat(Bytes{0x02}, be32("05"));
    // Too small is reported before the key is parsed, even for a bad key.
    for (size_t cap : {size_t{0}, size_t{1}, size_t{42}}) {
        for (const Bytes* pub : {static_cast<const Bytes*>(&pub_), &bad_pub}) {
            SCOPED_TRACE(::testing::Message() << "capacity " << cap << (pub == &bad_pub ? " bad key" : ""));
            char text[50];
            std::memset(text, 'Z', sizeof text);
            size_t len = cap;
            expect_error(qorvex_eth_address_checksummed(ctx_.get(), pub->data(), text, &len), 10,
                         "need >= 43 bytes for ETH address");
            EXPECT_EQ(cap, len);
            EXPECT_EQ(std::string(50, 'Z'), std::string(text, sizeof text));
        }
    }
    for (size_t cap : {size_t{43}, size_t{50}}) {
        SCOPED_TRACE(::testing::Message() << "capacity " << cap);
        char text[50];
        std::memset(text, 'Z', sizeof text);
        size_t len = cap;
        ASSERT_EQ(QORVEX_OK, qorvex_eth_address_checksummed(ctx_.get(), pub_.data(), text, &len));
        EXPECT_EQ(0, qorvex_last_error(ctx_.get()));
        EXPECT_EQ(42u, len);
        EXPECT_EQ('\0', text[42]);
        EXPECT_EQ(std::string(7, 'Z'), std::string(text + 43, 7));
        EXPECT_EQ("0x" + to_hex(addr_), lower(std::string(text, 42)));
    }
}

TEST_F(EthAbi, SignWithAndWithoutChainIdRecovers) {
    const struct {
        uint64_t chain_id;
        uint64_t v_base;
    } cases[] = {{0, 27}, {1, 37}, {56, 147}, {uint64_t{1} << 40, (uint64_t{1} << 41) + 35}};
    for (int recid : {0, 1}) {
        const Bytes hash = hash_with_recid(recid);
        Bytes compact(64);
        int ecdsa_recid = -1;
        ASSERT_EQ(QORVEX_OK, qorvex_ecdsa_sign_recoverable(ctx_.get(), hash.data(), key_.data(), compact.data(),
                                                           &ecdsa_recid));
        ASSERT_EQ(recid, ecdsa_recid);
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << "recid " << recid << " chain " << c.chain_id);
            const EthSig sig = sign(hash, c.chain_id);
            EXPECT_EQ(c.v_base + static_cast<uint64_t>(recid), sig.v);
            // The same deterministic low-S signature as plain ECDSA.
            EXPECT_EQ(compact, cat(sig.r, sig.s));
            EXPECT_LE(sig.s, be32(kHalfOrder));
            EXPECT_EQ(addr_, recover_ok(hash, sig.r, sig.s, sig.v));
        }
    }
}

TEST_F(EthAbi, SignRejectsKeysOutsideTheOrderAndClearsOutputs) {
    const Bytes hash(32, 7);
    for (const std::string& bad : {std::string("00"), std::string(kOrderHex), std::string(64, 'f')}) {
        SCOPED_TRACE(bad);
        const Bytes key = be32(bad);
        Bytes r(32, 0xAA), s(32, 0xAA);
        uint64_t v = 12345;
        expect_error(qorvex_eth_sign(ctx_.get(), hash.data(), key.data(), r.data(), s.data(), &v, 1), 2,
                     "privkey is zero or >= n");
        EXPECT_EQ(Bytes(32, 0), r);
        EXPECT_EQ(Bytes(32, 0), s);
        EXPECT_EQ(0u, v);
    }
}

TEST_F(EthAbi, SignRefusesAChainIdThatWrapsVToZero) {
    // 64-bit arithmetic: 2 * (2^63 - 18) + 35 + 1 = 2^64, so recovery id 1
    // yields v = 0, which is refused; recovery id 0 yields 2^64 - 1.
    const Bytes h1 = hash_with_recid(1);
    Bytes r(32, 0xAA), s(32, 0xAA);
    uint64_t v = 12345;
    expect_error(qorvex_eth_sign(ctx_.get(), h1.data(), key_.data(), r.data(), s.data(), &v, kWrapChain), 9,
                 "ethereum signer returned invalid signature");
    EXPECT_EQ(Bytes(32, 0), r);
    EXPECT_EQ(Bytes(32, 0), s);
    EXPECT_EQ(0u, v);

    const Bytes h0 = hash_with_recid(0);
    const EthSig sig = sign(h0, kWrapChain);
    EXPECT_EQ(0, qorvex_last_error(ctx_.get()));
    EXPECT_EQ(kMax64, sig.v);
    EXPECT_EQ(addr_, recover_ok(h0, sig.r, sig.s, sig.v));
}

TEST_F(EthAbi, EcrecoverFailures) {
    const Bytes hash = hash_with_recid(0);
    const EthSig sig = sign(hash, 0);
    // With R = G and s = z the recovered key is (s*G - z*G) / r: infinity.
    const Bytes z = be32("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
    const struct {
        const char* what;
        Bytes hash, r, s;
        uint64_t v;
    } cases[] = {
        {"r = 0", hash, be32("00"), sig.s, 27},
        {"s = 0", hash, sig.r, be32("00"), 27},
        {"r = n reduces to 0", hash, be32(kOrderHex), sig.s, 27},
        {"s = n reduces to 0", hash, sig.r, be32(kOrderHex), 27},
        {"v = 0", hash, sig.r, sig.s, 0},
        {"v = 1", hash, sig.r, sig.s, 1},
        {"v = 26", hash, sig.r, sig.s, 26},
        {"r not an x coordinate, v = 27", hash, be32("05"), sig.s, 27},
        {"r not an x coordinate, v = 28", hash, be32("05"), sig.s, 28},
        {"key at infinity", z, be32(kGx), z, 27},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes out(20, 0xAA);
        expect_error(recover(c.hash, c.r, c.s, c.v, out), 4, "ecrecover failed");
        EXPECT_EQ(Bytes(20, 0xAA), out);
    }
    // The other parity of the same R is -G, which gives a real key: the
    // failure above is the infinity check and not the input.
    recover_ok(z, be32(kGx), z, 28);
    EXPECT_EQ(0, qorvex_last_error(ctx_.get()));
}

TEST_F(EthAbi, EcrecoverAcceptsWhatEthereumAccepts) {
    const Bytes hash = hash_with_recid(1);
    const EthSig sig = sign(hash, 0);
    ASSERT_EQ(28u, sig.v);
    // High S: s -> n - s negates R, so the other v recovers the same key.
    Bytes high_s = sig.s;
    ASSERT_EQ(QORVEX_OK, qorvex_seckey_negate(ctx_.get(), high_s.data()));
    EXPECT_EQ(addr_, recover_ok(hash, sig.r, high_s, 27));
    // From 29 on only the parity of v counts; the chain id is not checked.
    for (uint64_t v : {uint64_t{30}, uint64_t{36}, uint64_t{38}, uint64_t{2 * 12345 + 36}, kMax64 - 1}) {
        SCOPED_TRACE(::testing::Message() << "v " << v);
        EXPECT_EQ(addr_, recover_ok(hash, sig.r, sig.s, v));
    }
    Bytes wrong(20);
    EXPECT_EQ(QORVEX_OK, recover(hash, sig.r, sig.s, 29, wrong));
    EXPECT_NE(addr_, wrong);

    // r and s at or above n are reduced, not refused: n + k acts as k.
    unsigned k = 1;
    Bytes small_addr(20);
    for (; k < 64; ++k) {
        if (recover(hash, plus(be32("00"), k), plus(be32("00"), 3), 27, small_addr) == QORVEX_OK) break;
    }
    ASSERT_LT(k, 64u) << "no small x coordinate found";
    const Bytes n = be32(kOrderHex);
    EXPECT_EQ(small_addr, recover_ok(hash, plus(n, k), plus(be32("00"), 3), 27));
    EXPECT_EQ(small_addr, recover_ok(hash, plus(be32("00"), k), plus(n, 3), 27));
    EXPECT_EQ(small_addr, recover_ok(hash, plus(n, k), plus(n, 3), 27));
}

}  // namespace
}  // namespace qorvex::test
