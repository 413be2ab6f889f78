// BIP-352 exports: every code and message, the input types one by one, both
// ways of finding labels, K_max, and buffers that overlap.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

// A Bech32 or Bech32m string of any hrp and 5-bit values, for addresses the
// library would never write.
std::string bech32_string(const std::string& hrp, const Bytes& values, bool m) {
    auto polymod = [](const Bytes& v) {
        uint32_t chk = 1;
        for (uint8_t x : v) {
            const uint32_t top = chk >> 25;
            chk = ((chk & 0x1ffffff) << 5) ^ x;
            const uint32_t gen[5] = {0x3b6a57b2, 0x26508e6d, 0x1ea119fa, 0x3d4233dd, 0x2a1462b3};
            for (int i = 0; i < 5; ++i)
                if ((top >> i) & 1) chk ^= gen[i];
        }
        return chk;
    };
    Bytes v;
    for (char c : hrp) v.push_back(static_cast<uint8_t>(c >> 5));
    v.push_back(0);
    for (char c : hrp) v.push_back(static_cast<uint8_t>(c & 31));
    v.insert(v.end(), values.begin(), values.end());
    v.insert(v.end(), 6, 0);
    const uint32_t chk = polymod(v) ^ (m ? 0x2bc830a3u : 1u);
    static const char* kSet = "qpzry9x8gf2tvdw0s3jn54khce6mua7l";
    std::string out = hrp + "1";
    for (uint8_t x : values) out += kSet[x];
    for (int i = 0; i < 6; ++i) out += kSet[(chk >> (5 * (5 - i))) & 31];
    return out;
}

Bytes to5(const Bytes& bytes) {
    Bytes out;
    uint32_t acc = 0;
    int bits = 0;
    for (uint8_t b : bytes) {
        acc = (acc << 8) | b;
        bits += 8;
        while (bits >= 5) out.push_back((acc >> (bits -= 5)) & 31);
    }
    if (bits) out.push_back((acc << (5 - bits)) & 31);
    return out;
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class Bip352 : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
        scan_sec_ = be32("5ca1");
        spend_sec_ = be32("5bead");
        scan_ = pub(scan_sec_);
        spend_ = pub(spend_sec_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    Bytes pub(const Bytes& key) {
        Bytes out(33);
        EXPECT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx(), key.data(), out.data()));
        return out;
    }
    void expect_error(int rc, int code, const char* msg) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        EXPECT_STREQ(msg, qorvex_last_error_msg(ctx()));
    }
    Bytes label(uint32_t m, Bytes* b_m = nullptr, const Bytes* scan_sec = nullptr) {
        Bytes rec(QORVEX_BIP352_LABEL_SIZE), bm(33);
        EXPECT_EQ(QORVEX_OK, qorvex_bip352_label(ctx(), (scan_sec ? *scan_sec : scan_sec_).data(), spend_.data(), m,
                                                 bm.data(), rec.data()));
        if (b_m) *b_m = bm;
        return rec;
    }
    // Outputs of a one-input transaction paying the given spend keys.
    Bytes send(const std::vector<Bytes>& spends, const Bytes& input, const Bytes& outpoint) {
        Bytes recipients;
        for (const Bytes& s : spends) recipients = cat({recipients, scan_, s});
        const uint8_t flag = 0;
        Bytes out(32 * spends.size());
        EXPECT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), input.data(), &flag, 1, outpoint.data(), 1, recipients.data(),
                                                spends.size(), out.data()))
            << qorvex_last_error_msg(ctx());
        return out;
    }
    struct Found {
        uint32_t output, label;
        Bytes tweak, x;
    };
    std::vector<Found> scan(const Bytes& labels, const Bytes& input_pub, const Bytes& outpoint, const Bytes& outputs) {
        size_t n = outputs.size() / 32;
        Bytes rec(QORVEX_BIP352_MATCH_SIZE * (n + 1));
        EXPECT_EQ(QORVEX_OK, qorvex_bip352_scan(ctx(), scan_sec_.data(), spend_.data(), labels.data(),
                                                labels.size() / QORVEX_BIP352_LABEL_SIZE, input_pub.data(), 1,
                                                outpoint.data(), 1, outputs.data(), n, rec.data(), &n))
            << qorvex_last_error_msg(ctx());
        std::vector<Found> out;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* r = rec.data() + QORVEX_BIP352_MATCH_SIZE * i;
            auto u32 = [](const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; };
            out.push_back({u32(r), u32(r + 4), Bytes(r + 8, r + 40), Bytes(r + 40, r + 72)});
        }
        return out;
    }

    Bytes scan_sec_, spend_sec_, scan_, spend_;
    const Bytes outpoint_ = Bytes(36, 0x11);
    const Bytes input_ = be32("1337");

private:
    CtxPtr ctx_;
};

TEST_F(Bip352, AddressRoundTripsAndItsEncoderErrors) {
    for (int network : {QORVEX_NETWORK_MAINNET, QORVEX_NETWORK_TESTNET}) {
        char text[QORVEX_BIP352_ADDRESS_SIZE];
        size_t len = sizeof text;
        ASSERT_EQ(QORVEX_OK, qorvex_bip352_address_encode(ctx(), scan_.data(), spend_.data(), network, text, &len));
        EXPECT_EQ(network ? 117u : 116u, len);
        EXPECT_EQ(network ? "tsp1q" : "sp1q", std::string(text, network ? 5 : 4));
        int got_network = -1;
        Bytes s(33), p(33);
        ASSERT_EQ(QORVEX_OK, qorvex_bip352_address_decode(ctx(), text, &got_network, s.data(), p.data()));
        EXPECT_EQ(network, got_network);
        EXPECT_EQ(scan_, s);
        EXPECT_EQ(spend_, p);
        // Exactly the length and its NUL fit; one less is refused untouched.
        size_t small = len;
        char buf[QORVEX_BIP352_ADDRESS_SIZE] = {'x'};
        expect_error(qorvex_bip352_address_encode(ctx(), scan_.data(), spend_.data(), network, buf, &small),
                     QORVEX_ERR_BUF_TOO_SMALL, "address buffer too small");
        EXPECT_EQ(len, small);
        EXPECT_EQ('x', buf[0]);
    }
    char text[QORVEX_BIP352_ADDRESS_SIZE];
    size_t len = sizeof text;
    Bytes bad = scan_;
    bad[0] = 0x04;
    expect_error(qorvex_bip352_address_encode(ctx(), scan_.data(), spend_.data(), 2, text, &len), QORVEX_ERR_BAD_INPUT,
                 "invalid network");
    expect_error(qorvex_bip352_address_encode(ctx(), bad.data(), spend_.data(), 0, text, &len), QORVEX_ERR_BAD_PUBKEY,
                 "invalid scan public key");
    expect_error(qorvex_bip352_address_encode(ctx(), scan_.data(), bad.data(), 0, text, &len), QORVEX_ERR_BAD_PUBKEY,
                 "invalid spend public key");
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_bip352_address_encode(ctx(), scan_.data(), spend_.data(), 0, text, nullptr));
}

TEST_F(Bip352, AddressDecoderRefusesEachFaultWithItsMessage) {
    const Bytes keys = cat({scan_, spend_});
    Bytes bad_point = scan_;
    bad_point[0] = 0x05;
    const std::string good = bech32_string("sp", cat({Bytes{0}, to5(keys)}), true);
    std::string flipped = good;
    flipped[10] = flipped[10] == 'q' ? 'p' : 'q';
    std::string upper = good;
    for (char& c : upper) c = static_cast<char>(std::toupper(c));
    std::string mixed = good;
    mixed[0] = 'S';
    struct Case {
        std::string text;
        int code;
        const char* msg;
    } cases[] = {
        {std::string(1024, 'q'), QORVEX_ERR_BAD_INPUT, "address longer than 1023 characters"},
        {mixed, QORVEX_ERR_BAD_INPUT, "malformed address"},
        {"sp1", QORVEX_ERR_BAD_INPUT, "malformed address"},
        {flipped, QORVEX_ERR_BAD_INPUT, "invalid address checksum"},
        {bech32_string("sp", cat({Bytes{0}, to5(keys)}), false), QORVEX_ERR_BAD_INPUT, "invalid address checksum"},
        {bech32_string("bc", cat({Bytes{0}, to5(keys)}), true), QORVEX_ERR_BAD_INPUT,
         "unknown silent payment address prefix"},
        {bech32_string("sp", cat({Bytes{1}, to5(keys)}), true), QORVEX_ERR_BAD_INPUT,
         "unsupported silent payment address version"},
        {bech32_string("sp", cat({Bytes{31}, to5(keys)}), true), QORVEX_ERR_BAD_INPUT,
         "unsupported silent payment address version"},
        {bech32_string("sp", {}, true), QORVEX_ERR_BAD_INPUT, "invalid silent payment address length"},
        {bech32_string("sp", cat({Bytes{0}, to5(Bytes(keys.begin(), keys.end() - 1))}), true), QORVEX_ERR_BAD_INPUT,
         "invalid silent payment address length"},
        {bech32_string("sp", cat({Bytes{0}, to5(cat({keys, Bytes{7}}))}), true), QORVEX_ERR_BAD_INPUT,
         "invalid silent payment address length"},
        {bech32_string("sp", cat({Bytes{0}, to5(cat({bad_point, spend_}))}), true), QORVEX_ERR_BAD_PUBKEY,
         "invalid scan public key"},
        {bech32_string("tsp", cat({Bytes{0}, to5(cat({scan_, bad_point}))}), true), QORVEX_ERR_BAD_PUBKEY,
         "invalid spend public key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int network = 7;
        Bytes s(33, 0xAA), p(33, 0xAA);
        expect_error(qorvex_bip352_address_decode(ctx(), c.text.c_str(), &network, s.data(), p.data()), c.code, c.msg);
        EXPECT_EQ(7, network);
        EXPECT_EQ(Bytes(33, 0xAA), s);
    }
    // One case throughout, upper included, is an address.
    int network = 7;
    Bytes s(33), p(33);
    EXPECT_EQ(QORVEX_OK, qorvex_bip352_address_decode(ctx(), upper.c_str(), &network, s.data(), p.data()));
    EXPECT_EQ(QORVEX_OK, qorvex_bip352_address_decode(ctx(), good.c_str(), &network, s.data(), p.data()));
    EXPECT_EQ(spend_, p);
}

TEST_F(Bip352, LabelRecordIsTheDifferenceOfTheSpendKeys) {
    Bytes b1, b0;
    const Bytes r1 = label(1, &b1), r0 = label(0, &b0);
    EXPECT_NE(b0, b1);
    EXPECT_EQ(Bytes({0, 0, 0, 1}), Bytes(r1.begin(), r1.begin() + 4));
    // L_m + B_spend = B_m.
    Bytes l1(33);
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_parse(ctx(), r1.data() + 4, 65, l1.data()));
    const Bytes both = cat({l1, spend_});
    Bytes sum(33);
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_combine(ctx(), both.data(), 2, sum.data()));
    EXPECT_EQ(b1, sum);
    // The record is optional.
    Bytes bm(33);
    EXPECT_EQ(QORVEX_OK, qorvex_bip352_label(ctx(), scan_sec_.data(), spend_.data(), 1, bm.data(), nullptr));
    EXPECT_EQ(b1, bm);
    const Bytes zero(32, 0), order = be32(kOrderHex);
    Bytes bad = spend_;
    bad[0] = 0x07;
    expect_error(qorvex_bip352_label(ctx(), zero.data(), spend_.data(), 1, bm.data(), nullptr), QORVEX_ERR_BAD_KEY,
                 "scan privkey is zero or >= n");
    expect_error(qorvex_bip352_label(ctx(), order.data(), spend_.data(), 1, bm.data(), nullptr), QORVEX_ERR_BAD_KEY,
                 "scan privkey is zero or >= n");
    expect_error(qorvex_bip352_label(ctx(), scan_sec_.data(), bad.data(), 1, bm.data(), nullptr),
                 QORVEX_ERR_BAD_PUBKEY, "invalid spend public key");
}

TEST_F(Bip352, InputPublicKeyOfEachInputType) {
    const Bytes key = pub(be32("abc")), key_odd = pub(be32("abd"));
    Bytes uncompressed(65);
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create_uncompressed(ctx(), be32("abc").data(), uncompressed.data()));
    Bytes h(20), hu(20);
    ASSERT_EQ(QORVEX_OK, qorvex_hash160(key.data(), 33, h.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_hash160(uncompressed.data(), 65, hu.data()));
    const Bytes sig(71, 0x30), x(key.begin() + 1, key.end());
    const Bytes p2pkh = cat({{0x76, 0xa9, 0x14}, h, {0x88, 0xac}});
    const Bytes p2wpkh = cat({{0x00, 0x14}, h});
    const Bytes p2sh = cat({{0xa9, 0x14}, Bytes(20, 0x5a), {0x87}});
    const Bytes p2tr = cat({{0x51, 0x20}, x});
    const Bytes nums = from_hex("50929b74c1a04954b78b4b6035e97a5e078a5a0f28ec96d547bfee9ace803ac0");
    auto push = [](const Bytes& b) { return cat({{static_cast<uint8_t>(b.size())}, b}); };
    auto stack = [&](std::initializer_list<Bytes> items) {
        Bytes out{static_cast<uint8_t>(items.size())};
        for (const Bytes& i : items) out = cat({out, push(i)});
        return out;
    };
    const Bytes even_key = cat({{0x02}, x});
    struct Case {
        const char* name;
        Bytes script_sig, witness, spk;
        int code;
        const char* msg;
        Bytes want;
    } cases[] = {
        {"p2pkh", cat({push(sig), push(key)}), {}, p2pkh, QORVEX_OK, nullptr, key},
        // <dummy> OP_DROP <sig> <key>, then a trailing OP_NOP: the key is
        // not the last push, but the last window that hashes to the hash.
        {"p2pkh malleated", cat({push(Bytes(33, 0x02)), {0x75}, push(sig), push(key), {0x61}}), {}, p2pkh, QORVEX_OK,
         nullptr, key},
        {"p2pkh other key", cat({push(sig), push(key_odd)}), {}, p2pkh, QORVEX_ERR_NOT_FOUND, "input not eligible", {}},
        {"p2pkh uncompressed", cat({push(sig), {0x41}, uncompressed}), {},
         cat({{0x76, 0xa9, 0x14}, hu, {0x88, 0xac}}), QORVEX_ERR_NOT_FOUND, "input not eligible", {}},
        {"p2wpkh", {}, stack({sig, key}), p2wpkh, QORVEX_OK, nullptr, key},
        {"p2wpkh uncompressed", {}, stack({sig, uncompressed}), cat({{0x00, 0x14}, hu}), QORVEX_ERR_NOT_FOUND,
         "input not eligible", {}},
        {"p2wpkh no witness", {}, {}, p2wpkh, QORVEX_ERR_NOT_FOUND, "input not eligible", {}},
        {"p2sh-p2wpkh", push(p2wpkh), stack({sig, key}), p2sh, QORVEX_OK, nullptr, key},
        {"p2sh multisig", push(Bytes(71, 0x52)), stack({sig, key}), p2sh, QORVEX_ERR_NOT_FOUND, "input not eligible",
         {}},
        {"p2tr key path", {}, stack({Bytes(64, 1)}), p2tr, QORVEX_OK, nullptr, even_key},
        {"p2tr key path with annex", {}, stack({Bytes(64, 1), {0x50, 1}}), p2tr, QORVEX_OK, nullptr, even_key},
        {"p2tr script path", {}, stack({Bytes(64, 1), {0x51}, cat({{0xc0}, Bytes(32, 9)})}), p2tr, QORVEX_OK, nullptr,
         even_key},
        {"p2tr script path NUMS", {}, stack({Bytes(64, 1), {0x51}, cat({{0xc1}, nums})}), p2tr, QORVEX_ERR_NOT_FOUND,
         "input not eligible", {}},
        {"p2tr NUMS behind an annex", {}, stack({{0x51}, cat({{0xc0}, nums}), {0x50}}), p2tr, QORVEX_ERR_NOT_FOUND,
         "input not eligible", {}},
        {"p2tr no witness", {}, {}, p2tr, QORVEX_ERR_NOT_FOUND, "input not eligible", {}},
        {"p2tr key off the curve", {}, stack({Bytes(64, 1)}), cat({{0x51, 0x20}, Bytes(32, 0xff)}),
         QORVEX_ERR_NOT_FOUND, "input not eligible", {}},
        {"p2wsh", {}, stack({sig, key}), cat({{0x00, 0x20}, Bytes(32, 3)}), QORVEX_ERR_NOT_FOUND,
         "input not eligible", {}},
        {"segwit v2", {}, stack({sig}), cat({{0x52, 0x20}, Bytes(32, 3)}), QORVEX_ERR_NOT_FOUND,
         "input spends a segwit version above 1; skip the transaction", {}},
        {"truncated witness", {}, {0x02, 0x05, 1, 2}, p2wpkh, QORVEX_ERR_BAD_INPUT, "malformed witness stack", {}},
        {"trailing witness bytes", {}, cat({stack({sig, key}), {0}}), p2wpkh, QORVEX_ERR_BAD_INPUT,
         "malformed witness stack", {}},
        {"witness count beyond the bytes", {}, {0xfd, 0xff, 0xff}, p2tr, QORVEX_ERR_BAD_INPUT,
         "malformed witness stack", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(33, 0xEE);
        const int rc = qorvex_bip352_input_pubkey(ctx(), c.script_sig.data(), c.script_sig.size(), c.witness.data(),
                                                  c.witness.size(), c.spk.data(), c.spk.size(), out.data());
        if (c.code == QORVEX_OK) {
            EXPECT_EQ(QORVEX_OK, rc) << qorvex_last_error_msg(ctx());
            EXPECT_EQ(c.want, out);
        } else {
            expect_error(rc, c.code, c.msg);
            EXPECT_EQ(Bytes(33, 0xEE), out);
        }
    }
    Bytes out(33);
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_bip352_input_pubkey(ctx(), nullptr, 1, nullptr, 0, p2tr.data(), 34, out.data()));
}

TEST_F(Bip352, SenderErrorsInOrder) {
    const Bytes keys = cat({input_, be32("2")});
    const uint8_t flags[2] = {0, 0}, bad_flags[2] = {0, 2};
    const Bytes rec = cat({scan_, spend_});
    Bytes bad_scan = rec, bad_spend = rec;
    bad_scan[0] = 0x04;
    bad_spend[33] = 0x01;
    const Bytes zero(32, 0), neg = [&] {
        Bytes k = input_;
        EXPECT_EQ(QORVEX_OK, qorvex_seckey_negate(ctx(), k.data()));
        return k;
    }();
    Bytes out(64);
    const uint8_t* op = outpoint_.data();
    expect_error(qorvex_bip352_send(ctx(), keys.data(), flags, 2, op, 0, rec.data(), 1, out.data()), 5, "no outpoints");
    expect_error(qorvex_bip352_send(ctx(), nullptr, nullptr, 0, op, 1, rec.data(), 1, out.data()), 5,
                 "no eligible inputs");
    expect_error(qorvex_bip352_send(ctx(), keys.data(), flags, 2, op, 1, nullptr, 0, nullptr), 5, "no recipients");
    expect_error(qorvex_bip352_send(ctx(), keys.data(), flags, QORVEX_BIP352_MAX_COUNT + 1, op, 1, rec.data(), 1,
                                    out.data()),
                 5, "too many inputs");
    expect_error(qorvex_bip352_send(ctx(), keys.data(), bad_flags, 2, op, 1, rec.data(), 1, out.data()), 5,
                 "taproot flag is not 0 or 1");
    expect_error(qorvex_bip352_send(ctx(), keys.data(), flags, 2, op, 1, bad_scan.data(), 1, out.data()), 3,
                 "invalid recipient scan public key");
    expect_error(qorvex_bip352_send(ctx(), keys.data(), flags, 2, op, 1, bad_spend.data(), 1, out.data()), 3,
                 "invalid recipient spend public key");
    const Bytes with_zero = cat({input_, zero});
    expect_error(qorvex_bip352_send(ctx(), with_zero.data(), flags, 2, op, 1, rec.data(), 1, out.data()), 2,
                 "input privkey is zero or >= n");
    const Bytes cancel = cat({input_, neg});
    expect_error(qorvex_bip352_send(ctx(), cancel.data(), flags, 2, op, 1, rec.data(), 1, out.data()), 7,
                 "input private keys sum to zero");
    // 2323 recipients of one scan key are allowed, 2324 are not.
    Bytes many;
    for (size_t i = 0; i < QORVEX_BIP352_K_MAX + 1; ++i) many.insert(many.end(), rec.begin(), rec.end());
    Bytes many_out(32 * (QORVEX_BIP352_K_MAX + 1), 0xCC);
    expect_error(qorvex_bip352_send(ctx(), keys.data(), flags, 2, op, 1, many.data(), QORVEX_BIP352_K_MAX + 1,
                                    many_out.data()),
                 5, "more than 2323 recipients share a scan key");
    EXPECT_EQ(Bytes(many_out.size(), 0xCC), many_out);
    EXPECT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), keys.data(), flags, 2, op, 1, many.data(), QORVEX_BIP352_K_MAX,
                                            many_out.data()));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_bip352_send(ctx(), keys.data(), nullptr, 2, op, 1, rec.data(), 1, out.data()));
}

TEST_F(Bip352, TaprootFlagNegatesOddKeysAndOutpointOrderIsBytewise) {
    // Whichever of d and n - d a Taproot input holds, the outputs agree.
    const Bytes rec = cat({scan_, spend_});
    Bytes neg = input_;
    ASSERT_EQ(QORVEX_OK, qorvex_seckey_negate(ctx(), neg.data()));
    const uint8_t tr = 1, plain = 0;
    Bytes a(32), b(32), c(32);
    ASSERT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), input_.data(), &tr, 1, outpoint_.data(), 1, rec.data(), 1, a.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), neg.data(), &tr, 1, outpoint_.data(), 1, rec.data(), 1, b.data()));
    EXPECT_EQ(a, b);
    ASSERT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), input_.data(), &plain, 1, outpoint_.data(), 1, rec.data(), 1, c.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), neg.data(), &plain, 1, outpoint_.data(), 1, rec.data(), 1, b.data()));
    EXPECT_NE(b, c);
    EXPECT_TRUE(a == b || a == c);
    // vout 256 (00 01 00 00) sorts before vout 1 (01 00 00 00).
    Bytes lo(36, 0x22), hi(36, 0x22);
    lo[32] = 0, lo[33] = 1, lo[34] = 0, lo[35] = 0;
    hi[32] = 1, hi[33] = 0, hi[34] = 0, hi[35] = 0;
    const Bytes both = cat({hi, lo}), reversed = cat({lo, hi});
    Bytes x(32), y(32), z(32);
    ASSERT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), input_.data(), &plain, 1, both.data(), 2, rec.data(), 1, x.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), input_.data(), &plain, 1, reversed.data(), 2, rec.data(), 1, y.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), input_.data(), &plain, 1, lo.data(), 1, rec.data(), 1, z.data()));
    EXPECT_EQ(x, y);
    EXPECT_EQ(x, z);
}

TEST_F(Bip352, ScanFindsEveryOutputWhateverTheirOrder) {
    Bytes b3, b37;
    const Bytes l3 = label(3, &b3), l37 = label(37, &b37);
    // k = 0, 1, 2 to the plain key, label 37 and label 3, then an unrelated
    // output; the transaction lists them in another order.
    const Bytes out = send({spend_, b37, b3}, input_, outpoint_);
    const Bytes unrelated = pub(be32("77")), tx_outputs = cat({Bytes(unrelated.begin() + 1, unrelated.end()),
                                                              Bytes(out.begin() + 64, out.end()),
                                                              Bytes(out.begin(), out.begin() + 32),
                                                              Bytes(out.begin() + 32, out.begin() + 64)});
    const Bytes a = pub(input_);
    // Few labels are added to P_k, many are looked up from the outputs: the
    // same matches either way.
    Bytes many;
    for (uint32_t m = 0; m < 100; ++m) many = cat({many, label(m)});
    for (const Bytes& labels : {cat({l3, l37}), many}) {
        const auto found = scan(labels, a, outpoint_, tx_outputs);
        ASSERT_EQ(3u, found.size());
        const bool few = labels.size() == 2 * QORVEX_BIP352_LABEL_SIZE;
        EXPECT_EQ(2u, found[0].output);
        EXPECT_EQ(QORVEX_BIP352_NO_LABEL, found[0].label);
        EXPECT_EQ(3u, found[1].output);
        EXPECT_EQ(few ? 1u : 37u, found[1].label);
        EXPECT_EQ(1u, found[2].output);
        EXPECT_EQ(few ? 0u : 3u, found[2].label);
        for (const Found& f : found) {
            Bytes key = spend_sec_, x(32);
            ASSERT_EQ(QORVEX_OK, qorvex_seckey_tweak_add(ctx(), key.data(), f.tweak.data()));
            ASSERT_EQ(QORVEX_OK, qorvex_pubkey_xonly(ctx(), key.data(), x.data()));
            EXPECT_EQ(x, f.x);
            EXPECT_EQ(Bytes(tx_outputs.begin() + 32 * f.output, tx_outputs.begin() + 32 * f.output + 32), f.x);
        }
    }
    // Without the labels only the plain output is found, and without the
    // first output nothing: k stops at the first gap.
    EXPECT_EQ(1u, scan({}, a, outpoint_, tx_outputs).size());
    const Bytes gap = cat({Bytes(tx_outputs.begin(), tx_outputs.begin() + 64), Bytes(tx_outputs.begin() + 96, tx_outputs.end())});
    EXPECT_EQ(0u, scan(cat({l3, l37}), a, outpoint_, gap).size());
}

TEST_F(Bip352, ScanErrorsInOrder) {
    const Bytes a = pub(input_), out = send({spend_}, input_, outpoint_);
    const Bytes good_label = label(1), zero(32, 0);
    Bytes bad_label = good_label, bad_key = a;
    bad_label[4 + 64] ^= 1;
    bad_key[0] = 0x09;
    uint8_t rec[QORVEX_BIP352_MATCH_SIZE];
    size_t n = 1;
    const uint8_t* op = outpoint_.data();
    auto run = [&](const uint8_t* sk, const uint8_t* sp, const Bytes& labels, const Bytes& keys, size_t n_op,
                   size_t* count) {
        return qorvex_bip352_scan(ctx(), sk, sp, labels.data(), labels.size() / QORVEX_BIP352_LABEL_SIZE, keys.data(),
                                  keys.size() / 33, op, n_op, out.data(), 1, rec, count);
    };
    expect_error(run(scan_sec_.data(), spend_.data(), {}, a, 0, &n), 5, "no outpoints");
    expect_error(run(zero.data(), spend_.data(), {}, a, 1, &n), 2, "scan privkey is zero or >= n");
    expect_error(run(scan_sec_.data(), bad_key.data(), {}, a, 1, &n), 3, "invalid spend public key");
    expect_error(run(scan_sec_.data(), spend_.data(), bad_label, a, 1, &n), 3, "invalid label record");
    expect_error(run(scan_sec_.data(), spend_.data(), {}, bad_key, 1, &n), 3, "invalid input public key");
    size_t none = 0;
    expect_error(run(scan_sec_.data(), spend_.data(), {}, a, 1, &none), 10, "match buffer too small");
    EXPECT_EQ(0u, none);
    n = 1;
    ASSERT_EQ(QORVEX_OK, run(scan_sec_.data(), spend_.data(), {}, a, 1, &n));
    EXPECT_EQ(1u, n);
    // Input keys that cancel, or none: no match, no error.
    Bytes neg_a = a;
    neg_a[0] ^= 1;
    n = 1;
    EXPECT_EQ(QORVEX_OK, run(scan_sec_.data(), spend_.data(), {}, cat({a, neg_a}), 1, &n));
    EXPECT_EQ(0u, n);
    n = 1;
    EXPECT_EQ(QORVEX_OK, run(scan_sec_.data(), spend_.data(), {}, {}, 1, &n));
    EXPECT_EQ(0u, n);
    Bytes tweak(33);
    expect_error(qorvex_bip352_tweak(ctx(), cat({a, neg_a}).data(), 2, op, 1, tweak.data()), 7,
                 "input public keys sum to infinity");
    expect_error(qorvex_bip352_tweak(ctx(), bad_key.data(), 1, op, 1, tweak.data()), 3, "invalid input public key");
    expect_error(qorvex_bip352_tweak(ctx(), nullptr, 0, op, 1, tweak.data()), 5, "no eligible inputs");
    n = 1;
    expect_error(qorvex_bip352_scan_tweak(ctx(), scan_sec_.data(), spend_.data(), nullptr, 0, bad_key.data(),
                                          out.data(), 1, rec, &n),
                 3, "invalid tweak point");
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_bip352_scan_tweak(ctx(), scan_sec_.data(), spend_.data(), nullptr, 0,
                                                            a.data(), out.data(), 1, nullptr, &n));
}

TEST_F(Bip352, LabelOfAnotherScanKeyIsRefusedWhenItMatches) {
    // Another wallet's label record: its point is public, so a sender can
    // pay B_spend + L to this wallet, but the tweak it implies would not
    // spend the output.
    const Bytes other = be32("07e45ca1");
    Bytes unused;
    const Bytes foreign = label(5, &unused, &other);
    Bytes l(33);
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_parse(ctx(), foreign.data() + 4, 65, l.data()));
    const Bytes both = cat({l, spend_});
    Bytes target(33);
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_combine(ctx(), both.data(), 2, target.data()));
    const Bytes out = send({target}, input_, outpoint_), a = pub(input_);
    uint8_t rec[QORVEX_BIP352_MATCH_SIZE];
    size_t n = 1;
    expect_error(qorvex_bip352_scan(ctx(), scan_sec_.data(), spend_.data(), foreign.data(), 1, a.data(), 1,
                                    outpoint_.data(), 1, out.data(), 1, rec, &n),
                 5, "label record does not belong to the scan key");
}

TEST_F(Bip352, OutputsMayOverlapInputs) {
    const Bytes a = pub(input_);
    const Bytes want = send({spend_}, input_, outpoint_);
    // The sender's outputs over its recipient record.
    Bytes buf = cat({scan_, spend_});
    const uint8_t flag = 0;
    ASSERT_EQ(QORVEX_OK, qorvex_bip352_send(ctx(), input_.data(), &flag, 1, outpoint_.data(), 1, buf.data(), 1, buf.data()));
    EXPECT_EQ(want, Bytes(buf.begin(), buf.begin() + 32));
    // The match record over the outputs it reports.
    Bytes area(QORVEX_BIP352_MATCH_SIZE, 0);
    std::memcpy(area.data(), want.data(), 32);
    size_t n = 1;
    ASSERT_EQ(QORVEX_OK, qorvex_bip352_scan(ctx(), scan_sec_.data(), spend_.data(), nullptr, 0, a.data(), 1,
                                            outpoint_.data(), 1, area.data(), 1, area.data(), &n));
    ASSERT_EQ(1u, n);
    EXPECT_EQ(want, Bytes(area.begin() + 40, area.end()));
}

}  // namespace
}  // namespace qorvex::test
