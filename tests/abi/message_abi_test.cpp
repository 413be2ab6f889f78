// Signed messages through the exported interface: the signmessage hash,
// signatures and their Base64 text, and the simplified BIP-322 signatures
// over the tagged message hash, with every code and message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "base64_text.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kBadPrivkey[] = "privkey is zero or >= n";

Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes sha256d(const Bytes& m) {
    static const uint8_t kNothing = 0;
    Bytes a(32), b(32);
    qorvex_sha256(m.empty() ? &kNothing : m.data(), m.size(), a.data());
    qorvex_sha256(a.data(), 32, b.data());
    return b;
}

// The preimage spelled out: 0x18, the 24 characters, the compact size.
Bytes legacy_preimage(const Bytes& msg) {
    const std::string magic = "Bitcoin Signed Message:\n";
    Bytes p;
    p.push_back(0x18);
    for (const char ch : magic) p.push_back(static_cast<uint8_t>(ch));
    const uint64_t n = msg.size();
    const int extra = n < 253 ? 0 : n <= 0xFFFF ? 2 : 4;
    if (extra != 0) p.push_back(extra == 2 ? 0xFD : 0xFE);
    p.push_back(static_cast<uint8_t>(n));
    for (int i = 1; i < extra; ++i) p.push_back(static_cast<uint8_t>(n >> (8 * i)));
    for (const uint8_t b : msg) p.push_back(b);
    return p;
}

class Messages : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
        key_ = be32("c0ffee0123456789abcdef");
        pub_.resize(33);
        xonly_.resize(32);
        ASSERT_EQ(0, qorvex_pubkey_create(ctx(), key_.data(), pub_.data()));
        ASSERT_EQ(0, qorvex_pubkey_xonly(ctx(), key_.data(), xonly_.data()));
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        if (code != 0) {
            EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
        }
    }

    std::string sign_legacy(const Bytes& msg, const Bytes& key) {
        char text[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE];
        size_t len = sizeof text;
        EXPECT_EQ(0, qorvex_btc_message_sign(ctx(), msg.data(), msg.size(), key.data(), text, &len));
        EXPECT_EQ(88u, len);
        return std::string(text, len);
    }
    int verify_legacy(const Bytes& msg, const std::string& sig) {
        return qorvex_btc_message_verify(ctx(), msg.data(), msg.size(), pub_.data(), sig.c_str());
    }
    // The signature text of header || r || s, r and s as 64 bytes.
    static std::string legacy_text(uint8_t header, const Bytes& rs) {
        Bytes raw = {header};
        raw.insert(raw.end(), rs.begin(), rs.end());
        return base64_encode(raw);
    }

    Bytes bip322_sign(int type, const Bytes& msg, size_t capacity = 65) {
        Bytes sig(capacity, 0xAA);
        size_t len = capacity;
        EXPECT_EQ(0, qorvex_bip322_sign(ctx(), key_.data(), type, msg.empty() ? nullptr : msg.data(), msg.size(),
                                        sig.data(), &len));
        sig.resize(len);
        return sig;
    }
    int bip322_verify(const Bytes& pub, int type, const Bytes& msg, const Bytes& sig) {
        return qorvex_bip322_verify(ctx(), pub.data(), pub.size(), type, msg.empty() ? nullptr : msg.data(),
                                    msg.size(), sig.data(), sig.size());
    }

    CtxPtr ctx_;
    Bytes key_, pub_, xonly_;
};

// --- The signmessage form ---

TEST_F(Messages, LegacyHashOfEveryLengthForm) {
    for (const size_t n : {size_t{0}, size_t{1}, size_t{252}, size_t{253}, size_t{0xFFFF}, size_t{0x10000}}) {
        SCOPED_TRACE(n);
        Bytes msg(n);
        for (size_t i = 0; i < n; ++i) msg[i] = static_cast<uint8_t>(i * 31 + 7);
        Bytes h(32);
        static const uint8_t kAny = 0;
        ASSERT_EQ(0, qorvex_btc_message_hash(n ? msg.data() : &kAny, n, h.data()));
        EXPECT_EQ(sha256d(legacy_preimage(msg)), h);
    }
    // The two fixed points of the text: the empty message, and 253 bytes
    // behind FD FD 00.
    EXPECT_EQ(26u, legacy_preimage({}).size());
    const Bytes p253 = legacy_preimage(Bytes(253, 'a'));
    EXPECT_EQ((Bytes{0xFD, 0xFD, 0x00}), Bytes(p253.begin() + 25, p253.begin() + 28));
    uint8_t h[32];
    EXPECT_EQ(1, qorvex_btc_message_hash(nullptr, 0, h));
    EXPECT_EQ(1, qorvex_btc_message_hash(h, 0, nullptr));
}

// Signatures verify, carry a header of 31 to 34 and recover the signer's
// key; the uncompressed-key headers 27 to 30 verify too.
TEST_F(Messages, LegacySignVerifyAndRecover) {
    for (const std::string& m : std::vector<std::string>{"", "hello", std::string(300, 'z'), std::string("nul\0inside", 10)}) {
        SCOPED_TRACE(m.size());
        const Bytes msg = text_bytes(m);
        const uint8_t* p = msg.empty() ? pub_.data() : msg.data();  // any non-NULL pointer for length 0
        char text[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE];
        size_t len = sizeof text;
        ASSERT_EQ(0, qorvex_btc_message_sign(ctx(), p, msg.size(), key_.data(), text, &len));
        ASSERT_EQ(88u, len);
        ASSERT_EQ('\0', text[88]);
        const std::string sig(text);
        const Bytes raw = base64_decode(sig);
        ASSERT_EQ(65u, raw.size());
        ASSERT_GE(raw[0], 31);
        ASSERT_LE(raw[0], 34);
        expect_error(qorvex_btc_message_verify(ctx(), p, msg.size(), pub_.data(), text), 0, nullptr);

        Bytes hash(32), back(33);
        ASSERT_EQ(0, qorvex_btc_message_hash(p, msg.size(), hash.data()));
        ASSERT_EQ(0, qorvex_ecdsa_recover(ctx(), hash.data(), raw.data() + 1, raw[0] - 31, back.data()));
        EXPECT_EQ(pub_, back);
        // The same signature marked as from an uncompressed key.
        const std::string unc = legacy_text(static_cast<uint8_t>(raw[0] - 4), Bytes(raw.begin() + 1, raw.end()));
        EXPECT_EQ(0, qorvex_btc_message_verify(ctx(), p, msg.size(), pub_.data(), unc.c_str()));
        Bytes other = msg;
        other.push_back('!');
        expect_error(verify_legacy(other, sig), 6, "BTC message verify failed");
    }
    // Deterministic.
    EXPECT_EQ(sign_legacy(text_bytes("again"), key_), sign_legacy(text_bytes("again"), key_));
}

TEST_F(Messages, LegacySignErrors) {
    const Bytes msg = text_bytes("m");
    for (const char* hex : {"0", kOrderHex}) {
        SCOPED_TRACE(hex);
        char text[100];
        std::memset(text, 'x', sizeof text);
        size_t len = sizeof text;
        const Bytes bad = be32(hex);
        expect_error(qorvex_btc_message_sign(ctx(), msg.data(), 1, bad.data(), text, &len), 2, kBadPrivkey);
        EXPECT_EQ(0u, len);
        EXPECT_EQ('\0', text[0]);
    }
    // One short of the NUL: the empty text, and a length of 0.
    char text[88];
    std::memset(text, 'x', sizeof text);
    size_t len = sizeof text;
    expect_error(qorvex_btc_message_sign(ctx(), msg.data(), 1, key_.data(), text, &len), 10, "base64 buffer too small");
    EXPECT_EQ(0u, len);
    EXPECT_EQ('\0', text[0]);
    EXPECT_EQ('x', text[1]);
    // No room at all: nothing written.
    len = 0;
    text[0] = 'x';
    expect_error(qorvex_btc_message_sign(ctx(), msg.data(), 1, key_.data(), text, &len), 10, "base64 buffer too small");
    EXPECT_EQ('x', text[0]);

    size_t n = 89;
    EXPECT_EQ(1, qorvex_btc_message_sign(nullptr, msg.data(), 1, key_.data(), text, &n));
    EXPECT_EQ(1, qorvex_btc_message_sign(ctx(), nullptr, 0, key_.data(), text, &n));
    EXPECT_EQ(1, qorvex_btc_message_sign(ctx(), msg.data(), 1, nullptr, text, &n));
    EXPECT_EQ(1, qorvex_btc_message_sign(ctx(), msg.data(), 1, key_.data(), nullptr, &n));
    EXPECT_EQ(1, qorvex_btc_message_sign(ctx(), msg.data(), 1, key_.data(), text, nullptr));
}

// The output over the message and over the key: both are read first.
TEST_F(Messages, LegacySignOverlappingBuffers) {
    const std::string expected = sign_legacy(text_bytes("overlap"), key_);
    char buf[100] = "overlap";
    size_t len = sizeof buf;
    ASSERT_EQ(0, qorvex_btc_message_sign(ctx(), reinterpret_cast<uint8_t*>(buf), 7, key_.data(), buf, &len));
    EXPECT_EQ(expected, std::string(buf, len));
    char kbuf[100];
    std::memcpy(kbuf, key_.data(), 32);
    len = sizeof kbuf;
    ASSERT_EQ(0, qorvex_btc_message_sign(ctx(), reinterpret_cast<const uint8_t*>("overlap"), 7,
                                         reinterpret_cast<uint8_t*>(kbuf), kbuf, &len));
    EXPECT_EQ(expected, std::string(kbuf, len));
}

TEST_F(Messages, LegacyVerifyErrors) {
    const Bytes msg = text_bytes("verify me");
    const std::string good = sign_legacy(msg, key_);
    const Bytes raw = base64_decode(good);
    const Bytes rs(raw.begin() + 1, raw.end());
    Bytes zero_r = rs, big_s = rs;
    std::fill(zero_r.begin(), zero_r.begin() + 32, 0);
    const Bytes n = be32(kOrderHex);
    std::copy(n.begin(), n.end(), big_s.begin() + 32);
    // The last character carries two bits beyond the 65 bytes; a set one is
    // another spelling of the same signature, and refused.
    std::string extra_bits = good;
    extra_bits[86] = kBase64Alphabet[(std::strchr(kBase64Alphabet, good[86]) - kBase64Alphabet) | 1];
    std::string no_pad = good;
    no_pad[87] = 'A';
    std::string inner_pad = good;
    inner_pad[10] = '=';
    std::string longer = good;
    longer.push_back('A');
    std::string outside = good;
    outside[0] = '*';

    struct Row {
        const char* what;
        std::string sig;
    };
    const Row rows[] = {
        {"87 characters", good.substr(0, 87)},
        {"89 characters", longer},
        {"empty", ""},
        {"unused bits set", extra_bits},
        {"no padding", no_pad},
        {"'=' inside", inner_pad},
        {"a character outside the alphabet", outside},
        {"header 26", legacy_text(26, rs)},
        {"header 35", legacy_text(35, rs)},
        {"r zero", legacy_text(31, zero_r)},
        {"s = n", legacy_text(31, big_s)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        expect_error(verify_legacy(msg, r.sig), 4, "invalid base64 signature");
    }
    expect_error(verify_legacy(msg, good), 0, nullptr);

    // Keys: an x off the curve, the 04 prefix; checked before the text.
    Bytes off = pub_, four = pub_;
    off[1] ^= 0x5a;
    four[0] = 0x04;
    for (const Bytes& k : {off, four}) {
        if (qorvex_pubkey_parse(ctx(), k.data(), 33, Bytes(33).data()) == 0) continue;  // happened to be valid
        expect_error(qorvex_btc_message_verify(ctx(), msg.data(), msg.size(), k.data(), "x"), 3, "invalid pubkey");
    }
    // A text of any length is read only as far as it must be.
    const std::string long_text(5000, 'A');
    expect_error(verify_legacy(msg, long_text), 4, "invalid base64 signature");

    EXPECT_EQ(1, qorvex_btc_message_verify(nullptr, msg.data(), 1, pub_.data(), good.c_str()));
    EXPECT_EQ(1, qorvex_btc_message_verify(ctx(), nullptr, 0, pub_.data(), good.c_str()));
    EXPECT_EQ(1, qorvex_btc_message_verify(ctx(), msg.data(), 1, nullptr, good.c_str()));
    EXPECT_EQ(1, qorvex_btc_message_verify(ctx(), msg.data(), 1, pub_.data(), nullptr));
}

// High S: accepted by the signmessage check, refused by BIP-322's.
TEST_F(Messages, HighSAcceptedByLegacyRefusedByBip322) {
    const Bytes msg = text_bytes("high s");
    const Bytes raw = base64_decode(sign_legacy(msg, key_));
    Bytes rs(raw.begin() + 1, raw.end()), high(64);
    // n - s, the other root of the signature equation.
    Bytes neg_s(rs.begin() + 32, rs.end());
    ASSERT_EQ(0, qorvex_seckey_negate(ctx(), neg_s.data()));
    std::copy(neg_s.begin(), neg_s.end(), rs.begin() + 32);
    expect_error(verify_legacy(msg, legacy_text(raw[0], rs)), 0, nullptr);

    Bytes hash(32), sig(64);
    ASSERT_EQ(0, qorvex_tagged_hash("BIP0322-signed-message", msg.data(), msg.size(), hash.data()));
    ASSERT_EQ(0, qorvex_ecdsa_sign(ctx(), hash.data(), key_.data(), sig.data()));
    std::copy(sig.begin() + 32, sig.end(), neg_s.begin());
    ASSERT_EQ(0, qorvex_seckey_negate(ctx(), neg_s.data()));
    std::copy(neg_s.begin(), neg_s.end(), sig.begin() + 32);
    expect_error(bip322_verify(pub_, 1, msg, sig), 6, "BIP-322 ECDSA high-S (non-BIP-62)");
}

// --- The simplified BIP-322 signatures ---

// The published message hashes, as the signatures see them: the ECDSA
// form is qorvex_ecdsa_sign of the hash || 0x01, the Taproot form
// qorvex_schnorr_sign of it with zero randomness.
TEST_F(Messages, Bip322TaggedHashOfTheVectors) {
    const Json v = load_json_vectors("bip322/basic-test-vectors.json");
    for (const Json& c : v["tx_hashes"].array()) {
        SCOPED_TRACE(c["message"].str());
        const Bytes msg = text_bytes(c["message"].str());
        const Bytes hash = from_hex(c["message_hash"].str());
        Bytes tagged(32);
        ASSERT_EQ(0, qorvex_tagged_hash("BIP0322-signed-message", msg.empty() ? hash.data() : msg.data(), msg.size(),
                                        tagged.data()));
        EXPECT_EQ(hash, tagged);

        Bytes ecdsa(64), schnorr(64);
        const uint8_t zero_aux[32] = {};
        ASSERT_EQ(0, qorvex_ecdsa_sign(ctx(), hash.data(), key_.data(), ecdsa.data()));
        ASSERT_EQ(0, qorvex_schnorr_sign(ctx(), hash.data(), key_.data(), zero_aux, schnorr.data()));
        ecdsa.push_back(0x01);
        EXPECT_EQ(ecdsa, bip322_sign(1, msg));
        EXPECT_EQ(schnorr, bip322_sign(2, msg));
        expect_error(bip322_verify(pub_, 1, msg, ecdsa), 0, nullptr);
        expect_error(bip322_verify(xonly_, 2, msg, schnorr), 0, nullptr);
    }
}

TEST_F(Messages, Bip322SignAndVerify) {
    const Bytes msg = text_bytes("bip-322, simplified");
    // Taproot: the same 64 bytes every time, in a buffer of exactly 64.
    const Bytes tr = bip322_sign(2, msg, 64);
    ASSERT_EQ(64u, tr.size());
    EXPECT_EQ(tr, bip322_sign(2, msg));
    expect_error(bip322_verify(xonly_, 2, msg, tr), 0, nullptr);
    // Every other type is ECDSA with a trailing 0x01, which is not checked.
    for (const int type : {0, 1, 3, -1, 1000}) {
        SCOPED_TRACE(type);
        Bytes sig = bip322_sign(type, msg);
        ASSERT_EQ(65u, sig.size());
        EXPECT_EQ(0x01, sig[64]);
        expect_error(bip322_verify(pub_, type, msg, sig), 0, nullptr);
        sig[64] = 0x83;
        expect_error(bip322_verify(pub_, type, msg, sig), 0, nullptr);
        sig.resize(64);
        expect_error(bip322_verify(pub_, type, msg, sig), 0, nullptr);
        expect_error(bip322_verify(pub_, type, text_bytes("other"), sig), 6, "BIP-322 ECDSA verify failed");
    }
    // The empty message, with a NULL pointer.
    const Bytes empty_sig = bip322_sign(1, {});
    expect_error(bip322_verify(pub_, 1, {}, empty_sig), 0, nullptr);
    // Output over the key.
    Bytes buf(65);
    std::copy(key_.begin(), key_.end(), buf.begin());
    size_t len = buf.size();
    ASSERT_EQ(0, qorvex_bip322_sign(ctx(), buf.data(), 2, msg.data(), msg.size(), buf.data(), &len));
    EXPECT_EQ(tr, Bytes(buf.begin(), buf.begin() + 64));
}

TEST_F(Messages, Bip322SignErrors) {
    const Bytes msg = text_bytes("m");
    Bytes out(100, 0xAA);
    size_t len = 100;
    for (const char* hex : {"0", kOrderHex}) {
        const Bytes bad = be32(hex);
        expect_error(qorvex_bip322_sign(ctx(), bad.data(), 1, msg.data(), 1, out.data(), &len), 2, kBadPrivkey);
    }
    len = 63;
    expect_error(qorvex_bip322_sign(ctx(), key_.data(), 2, msg.data(), 1, out.data(), &len), 10,
                 "P2TR sig buffer too small (need 64)");
    len = 64;
    expect_error(qorvex_bip322_sign(ctx(), key_.data(), 1, msg.data(), 1, out.data(), &len), 10,
                 "ECDSA sig buffer too small (need 65)");
    EXPECT_EQ(64u, len);
    EXPECT_EQ(Bytes(100, 0xAA), out);
    // The key is checked before the buffer.
    len = 0;
    const Bytes zero = be32("0");
    expect_error(qorvex_bip322_sign(ctx(), zero.data(), 2, msg.data(), 1, out.data(), &len), 2, kBadPrivkey);

    len = 100;
    EXPECT_EQ(1, qorvex_bip322_sign(nullptr, key_.data(), 1, msg.data(), 1, out.data(), &len));
    EXPECT_EQ(1, qorvex_bip322_sign(ctx(), nullptr, 1, msg.data(), 1, out.data(), &len));
    EXPECT_EQ(1, qorvex_bip322_sign(ctx(), key_.data(), 1, nullptr, 1, out.data(), &len));
    EXPECT_EQ(1, qorvex_bip322_sign(ctx(), key_.data(), 1, msg.data(), 1, nullptr, &len));
    EXPECT_EQ(1, qorvex_bip322_sign(ctx(), key_.data(), 1, msg.data(), 1, out.data(), nullptr));
}

TEST_F(Messages, Bip322VerifyErrors) {
    const Bytes msg = text_bytes("errors");
    const Bytes ecdsa = bip322_sign(1, msg), schnorr = bip322_sign(2, msg);
    Bytes off_curve = pub_;
    off_curve[0] = 0x05;
    Bytes zero_r = ecdsa, big_s = ecdsa, big_r = schnorr, big_x = xonly_;
    std::fill(zero_r.begin(), zero_r.begin() + 32, 0);
    const Bytes n = be32(kOrderHex);
    std::copy(n.begin(), n.end(), big_s.begin() + 32);
    std::fill(big_r.begin(), big_r.begin() + 32, 0xFF);
    std::fill(big_x.begin(), big_x.end(), 0xFF);
    struct Row {
        const char* what;
        Bytes pub;
        int type;
        Bytes sig;
        int code;
        const char* message;
    };
    const Row rows[] = {
        {"P2TR, 33-byte key", pub_, 2, schnorr, 3, "P2TR requires 32-byte x-only pubkey"},
        {"P2TR, 63-byte sig", xonly_, 2, Bytes(schnorr.begin(), schnorr.end() - 1), 4,
         "P2TR sig must be at least 64 bytes"},
        // From here on qorvex_schnorr_verify answers.
        {"P2TR, r >= p", xonly_, 2, big_r, 4, "Non-canonical Schnorr sig (r>=p or s>=n)"},
        {"P2TR, x >= p", big_x, 2, schnorr, 3, "Non-canonical pubkey (x>=p)"},
        {"P2TR, another message's sig", xonly_, 2, bip322_sign(2, text_bytes("x")), 6, "Schnorr verify failed"},
        {"ECDSA, 32-byte key", xonly_, 1, ecdsa, 3, "requires 33-byte compressed pubkey"},
        {"ECDSA, 63-byte sig", pub_, 1, Bytes(ecdsa.begin(), ecdsa.begin() + 63), 4, "sig must be at least 64 bytes"},
        {"ECDSA, key off the curve", off_curve, 1, ecdsa, 3, "invalid pubkey"},
        {"ECDSA, r zero", pub_, 1, zero_r, 5, "BIP-322 ECDSA sig parse failed"},
        {"ECDSA, s = n", pub_, 1, big_s, 5, "BIP-322 ECDSA sig parse failed"},
        {"ECDSA, another message's sig", pub_, 1, bip322_sign(1, text_bytes("x")), 6, "BIP-322 ECDSA verify failed"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        expect_error(bip322_verify(r.pub, r.type, msg, r.sig), r.code, r.message);
    }
    // A Taproot signature with a trailing byte verifies: only 64 are read.
    Bytes longer = schnorr;
    longer.push_back(0x01);
    expect_error(bip322_verify(xonly_, 2, msg, longer), 0, nullptr);

    EXPECT_EQ(1, qorvex_bip322_verify(nullptr, pub_.data(), 33, 1, msg.data(), 1, ecdsa.data(), 65));
    EXPECT_EQ(1, qorvex_bip322_verify(ctx(), nullptr, 33, 1, msg.data(), 1, ecdsa.data(), 65));
    EXPECT_EQ(1, qorvex_bip322_verify(ctx(), pub_.data(), 33, 1, nullptr, 1, ecdsa.data(), 65));
    EXPECT_EQ(1, qorvex_bip322_verify(ctx(), pub_.data(), 33, 1, msg.data(), 1, nullptr, 65));
}

}  // namespace
}  // namespace qorvex::test
