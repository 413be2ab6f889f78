// Silent payments through the public interface: the address, output keys
// and tweaks against a computation of their own (an independent big-integer
// one for the fixed keys, and one through the other exports for the rest),
// what the scan finds where, every code and message in order, the limits,
// keys that cancel, and outputs that overlap the inputs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kBadScanKey[] = "scan privkey is zero or >= n";
constexpr char kBadSpendKey[] = "spend privkey is zero or >= n";
constexpr char kAddressTooSmall[] = "address buffer too small";
constexpr char kInputCountTooLarge[] = "input count too large";
constexpr char kBadInputKey[] = "input privkey is zero or >= n";
constexpr char kBadRecipientKey[] = "invalid recipient pubkey";
constexpr char kNegativeK[] = "output index k is negative";
constexpr char kKeysCancel[] = "input privkeys sum to zero";
constexpr char kScanCountTooLarge[] = "input/output count too large";
constexpr char kBadInputPubkey[] = "invalid input pubkey";

// Fixed keys (SHA-256 of "sp scan", "sp spend", "sp input 1".."3", reduced)
// and what they give, computed apart from the library with Python integers
// and the reference Bech32m code of BIP-350.
const char* const kScanKey = "ffaaaa1c6f4688c2dc4f8f5e9ccb7c146a692af113273dea8a62865fd54d95ae";
const char* const kSpendKey = "06180a80b4bfbca16c5d035f99056bda7161cba4194826110019a0dc65900574";
const char* const kInputKeys[] = {"e0c7c2d9a780d139fcacfb683d5c2bf9da701048335afe643b5911c747e39e9e",
                                  "c20a81e7fd60f2ff789e152ccb7e01296263dd7d315a92f8b9474d40b4b913e3",
                                  "467277026dd849a84c82f54535d62421654067381b86e7254b160b8a6815cce3"};
const char* const kScanPub = "033c45264358ef1474b9d77a1f76a10303826bc873b9e71845e9227873a3b78ae1";
const char* const kSpendPub = "03080b99a7633743ac601dc048a2c3c6d5592c3dd10cb657e58b18dcfcee6295c9";
const char* const kAddress =
    "sp1p83zjvs6cau28fwwh0g0hdggrqwpxhjrnh8n3s30fyfu88gah3tssszue5a3nwsavvqwuqj9zc0rd2kfv8hgsedjhuk933h8uae3ftjgwc"
    "y2jm";
struct Known {
    const char* tweak;
    const char* output;
    const char* key;  // b_spend + t_k
};
const Known kKnown[] = {
    {"641f14bb3135a4e209947d1d5891900b4a14ab955a275a8c0a489d8a4dd1a93d",
     "03ea5ac3700580abb1bc25a6646e8e70cf528f14a05b281bd0f597a5e8b03d9125",
     "6a371f3be5f5618375f1807cf196fbe5bb767739736f809d0a623e66b361aeb1"},
    {"7cf9b9c88c37f186efe6d51eceab8604340afc8233d1f5cc746ad678abed2fe1",
     "03798ad7143dfbf2ef5ae30d85f3406b5f751a40cc407729c99c4f07b67ba20847",
     "8311c44940f7ae285c43d87e67b0f1dea56cc8264d1a1bdd74847755117d3555"},
    {"5a44869e7d7928b0b1c1730541648cd676cdcc05c91697450aa505ddf8b64ca3",
     "03062d36d6150106a2275f346e39d208693c70b728c437c23939be9bfdec282fcc",
     "605c911f3238e5521e1e7664da69f8b0e82f97a9e25ebd560abea6ba5e465217"},
};

// The x-only form of a compressed key given in hex.
Bytes xonly(const char* pub33_hex) {
    const Bytes p = from_hex(pub33_hex);
    return Bytes(p.begin() + 1, p.end());
}

Bytes cat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class SilentPayment : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    Bytes pub(const Bytes& key) {
        Bytes out(33);
        EXPECT_EQ(0, qorvex_pubkey_create(ctx(), key.data(), out.data()));
        return out;
    }
    Bytes inputs() { return cat({from_hex(kInputKeys[0]), from_hex(kInputKeys[1]), from_hex(kInputKeys[2])}); }
    Bytes input_pubs() {
        return cat({pub(from_hex(kInputKeys[0])), pub(from_hex(kInputKeys[1])), pub(from_hex(kInputKeys[2]))});
    }

    // P_k and t_k for the input keys and the recipient's keys by other
    // exports: the key sum, S = a_sum * B_scan, the tagged hash, B_spend +
    // t_k G.
    void expected(const Bytes& keys, const Bytes& scan_pub, const Bytes& spend_pub, uint32_t k, Bytes& output,
                  Bytes& tweak) {
        Bytes sum(keys.begin(), keys.begin() + 32);
        for (size_t i = 32; i < keys.size(); i += 32) ASSERT_EQ(0, qorvex_seckey_tweak_add(ctx(), sum.data(), &keys[i]));
        Bytes s(33);
        ASSERT_EQ(0, qorvex_pubkey_tweak_mul(ctx(), scan_pub.data(), sum.data(), s.data()));
        Bytes msg = s;
        for (int i = 3; i >= 0; --i) msg.push_back(static_cast<uint8_t>(k >> (8 * i)));
        tweak.assign(32, 0);
        ASSERT_EQ(0, qorvex_tagged_hash("BIP0352/SharedSecret", msg.data(), msg.size(), tweak.data()));
        output.assign(33, 0);
        ASSERT_EQ(0, qorvex_pubkey_tweak_add(ctx(), spend_pub.data(), tweak.data(), output.data()));
    }

    // Scans and returns the code; the results land in idx / keys, which the
    // caller sizes (their size is the capacity).
    int scan(const Bytes& scan_key, const Bytes& spend_key, const Bytes& in_pubs, const Bytes& outs,
             std::vector<int>& idx, Bytes& keys, size_t& found) {
        found = idx.size();
        return qorvex_silent_payment_scan(ctx(), scan_key.data(), spend_key.data(), in_pubs.data(), in_pubs.size() / 33,
                                          outs.data(), outs.size() / 32, idx.empty() ? nullptr : idx.data(),
                                          keys.empty() ? nullptr : keys.data(), &found);
    }

private:
    CtxPtr ctx_;
};

TEST_F(SilentPayment, AddressOfFixedKeys) {
    Bytes scan_pub(33), spend_pub(33);
    char text[QORVEX_SILENT_PAYMENT_ADDRESS_SIZE];
    size_t len = sizeof text;
    ASSERT_EQ(0, qorvex_silent_payment_address(ctx(), from_hex(kScanKey).data(), from_hex(kSpendKey).data(),
                                               scan_pub.data(), spend_pub.data(), text, &len));
    EXPECT_EQ(kScanPub, to_hex(scan_pub));
    EXPECT_EQ(kSpendPub, to_hex(spend_pub));
    EXPECT_EQ(size_t{QORVEX_SILENT_PAYMENT_ADDRESS_LENGTH}, len);
    EXPECT_STREQ(kAddress, text);
    // Every key pair's address has the same shape: "sp", '1', version 1.
    for (const char* k : {"1", "2", kOrderMinus1Hex}) {
        SCOPED_TRACE(k);
        len = sizeof text;
        ASSERT_EQ(0, qorvex_silent_payment_address(ctx(), be32(k).data(), from_hex(kSpendKey).data(),
                                                   scan_pub.data(), spend_pub.data(), text, &len));
        EXPECT_EQ(0, std::strncmp(text, "sp1p", 4));
        EXPECT_EQ(std::strlen(text), len);
    }
}

TEST_F(SilentPayment, OutputKeysAndTweaks) {
    const Bytes keys = inputs(), scan_pub = from_hex(kScanPub), spend_pub = from_hex(kSpendPub);
    for (uint32_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        Bytes out(33), tweak(32);
        ASSERT_EQ(0, qorvex_silent_payment_create_output(ctx(), keys.data(), 3, scan_pub.data(), spend_pub.data(),
                                                         static_cast<int32_t>(k), out.data(), tweak.data()));
        EXPECT_EQ(kKnown[k].output, to_hex(out));
        EXPECT_EQ(kKnown[k].tweak, to_hex(tweak));
        // The tweak is optional.
        Bytes again(33);
        ASSERT_EQ(0, qorvex_silent_payment_create_output(ctx(), keys.data(), 3, scan_pub.data(), spend_pub.data(),
                                                         static_cast<int32_t>(k), again.data(), nullptr));
        EXPECT_EQ(out, again);
    }
    // Other keys and counts, against the other exports.
    for (int n = 1; n <= 4; ++n) {
        Bytes more;
        for (int i = 0; i < n; ++i) more = cat({more, be32(std::to_string(1000 + 77 * i))});
        const Bytes b_scan = pub(be32("5ca9")), b_spend = pub(be32(kOrderMinus1Hex));
        for (uint32_t k : {0u, 1u, 7u, 0x01020304u}) {
            SCOPED_TRACE(std::to_string(n) + " inputs, k " + std::to_string(k));
            Bytes want_out, want_tweak, out(33), tweak(32);
            expected(more, b_scan, b_spend, k, want_out, want_tweak);
            ASSERT_EQ(0, qorvex_silent_payment_create_output(ctx(), more.data(), static_cast<size_t>(n),
                                                             b_scan.data(), b_spend.data(), static_cast<int32_t>(k),
                                                             out.data(), tweak.data()));
            EXPECT_EQ(to_hex(want_out), to_hex(out));
            EXPECT_EQ(to_hex(want_tweak), to_hex(tweak));
        }
    }
}

TEST_F(SilentPayment, ScanFindsOutputsAtTheirPositionOnly) {
    const Bytes scan_key = from_hex(kScanKey), spend_key = from_hex(kSpendKey), in_pubs = input_pubs();
    const Bytes other(32, 0x11);  // not ours (and no point at all)
    struct Case {
        const char* what;
        Bytes outputs;
        std::vector<int> found;
    } cases[] = {
        {"k = 0 at 0 and k = 1 at 1", cat({xonly(kKnown[0].output), xonly(kKnown[1].output)}), {0, 1}},
        {"k = 1 at 0", cat({xonly(kKnown[1].output)}), {}},
        {"k = 2 at 2 behind others", cat({other, other, xonly(kKnown[2].output)}), {2}},
        {"k = 0 at 1", cat({other, xonly(kKnown[0].output)}), {}},
        {"x >= p matches nothing", cat({Bytes(32, 0xFF), xonly(kKnown[1].output)}), {1}},
        {"all three", cat({xonly(kKnown[0].output), xonly(kKnown[1].output), xonly(kKnown[2].output)}), {0, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<int> idx(4, -1);
        Bytes keys(4 * 32, 0xEE);
        size_t found = 0;
        ASSERT_EQ(0, scan(scan_key, spend_key, in_pubs, c.outputs, idx, keys, found));
        ASSERT_EQ(c.found.size(), found);
        for (size_t j = 0; j < found; ++j) {
            EXPECT_EQ(c.found[j], idx[j]);
            EXPECT_EQ(kKnown[c.found[j]].key, to_hex(&keys[32 * j], 32));
            // The key found multiplies G to the output's x.
            Bytes x(32);
            ASSERT_EQ(0, qorvex_pubkey_xonly(ctx(), &keys[32 * j], x.data()));
            EXPECT_EQ(to_hex(&c.outputs[32 * static_cast<size_t>(c.found[j])], 32), to_hex(x));
        }
        for (size_t j = found; j < 4; ++j) {
            EXPECT_EQ(-1, idx[j]);
            EXPECT_EQ(Bytes(32, 0xEE), Bytes(keys.begin() + 32 * static_cast<long>(j), keys.begin() + 32 * static_cast<long>(j + 1)));
        }
    }
}

TEST_F(SilentPayment, ScanCapacityAndOptionalArrays) {
    const Bytes scan_key = from_hex(kScanKey), spend_key = from_hex(kSpendKey), in_pubs = input_pubs();
    Bytes outs;
    for (const Known& k : kKnown) outs = cat({outs, xonly(k.output)});
    // Capacity 0: the count of matches, nothing written.
    std::vector<int> idx(3, -1);
    Bytes keys(96, 0xEE);
    size_t found = 0;
    ASSERT_EQ(0, qorvex_silent_payment_scan(ctx(), scan_key.data(), spend_key.data(), in_pubs.data(), 3, outs.data(),
                                            3, idx.data(), keys.data(), &found));
    EXPECT_EQ(3u, found);
    EXPECT_EQ(std::vector<int>(3, -1), idx);
    EXPECT_EQ(Bytes(96, 0xEE), keys);
    // Capacity 2 of 3 matches: the first two.
    found = 2;
    ASSERT_EQ(0, qorvex_silent_payment_scan(ctx(), scan_key.data(), spend_key.data(), in_pubs.data(), 3, outs.data(),
                                            3, idx.data(), keys.data(), &found));
    EXPECT_EQ(3u, found);
    EXPECT_EQ((std::vector<int>{0, 1, -1}), idx);
    EXPECT_EQ(kKnown[1].key, to_hex(&keys[32], 32));
    EXPECT_EQ(Bytes(32, 0xEE), Bytes(keys.begin() + 64, keys.end()));
    // Either array may be NULL.
    std::vector<int> only_idx(3, -1);
    found = 3;
    ASSERT_EQ(0, qorvex_silent_payment_scan(ctx(), scan_key.data(), spend_key.data(), in_pubs.data(), 3, outs.data(),
                                            3, only_idx.data(), nullptr, &found));
    EXPECT_EQ((std::vector<int>{0, 1, 2}), only_idx);
    Bytes only_keys(96);
    found = 3;
    ASSERT_EQ(0, qorvex_silent_payment_scan(ctx(), scan_key.data(), spend_key.data(), in_pubs.data(), 3, outs.data(),
                                            3, nullptr, only_keys.data(), &found));
    EXPECT_EQ(kKnown[2].key, to_hex(&only_keys[64], 32));
    found = 0;
    ASSERT_EQ(0, qorvex_silent_payment_scan(ctx(), scan_key.data(), spend_key.data(), in_pubs.data(), 3, outs.data(),
                                            3, nullptr, nullptr, &found));
    EXPECT_EQ(3u, found);
    // A wrong scan key finds nothing.
    found = 3;
    ASSERT_EQ(0, qorvex_silent_payment_scan(ctx(), be32("1").data(), spend_key.data(), in_pubs.data(), 3, outs.data(),
                                            3, idx.data(), keys.data(), &found));
    EXPECT_EQ(0u, found);
}

TEST_F(SilentPayment, AddressCodesAndMessages) {
    const Bytes scan_key = from_hex(kScanKey), spend_key = from_hex(kSpendKey), zero(32, 0), n = be32(kOrderHex);
    struct Case {
        const char* what;
        const Bytes& scan;
        const Bytes& spend;
        size_t capacity;
        int code;
        const char* message;
        bool keys_written;
    } cases[] = {
        {"scan key zero", zero, spend_key, 114, 2, kBadScanKey, false},
        {"scan key n", n, spend_key, 114, 2, kBadScanKey, false},
        {"scan key checked first", zero, zero, 114, 2, kBadScanKey, false},
        {"spend key zero", scan_key, zero, 114, 2, kBadSpendKey, false},
        {"spend key n", scan_key, n, 114, 2, kBadSpendKey, false},
        {"capacity 113", scan_key, spend_key, 113, 10, kAddressTooSmall, true},
        {"capacity 0", scan_key, spend_key, 0, 10, kAddressTooSmall, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes scan_pub(33, 0xAB), spend_pub(33, 0xAB);
        char text[120];
        std::memset(text, 'x', sizeof text);
        size_t len = c.capacity;
        EXPECT_EQ(c.code, qorvex_silent_payment_address(ctx(), c.scan.data(), c.spend.data(), scan_pub.data(),
                                                        spend_pub.data(), text, &len));
        EXPECT_EQ(c.code, qorvex_last_error(ctx()));
        EXPECT_STREQ(c.message, qorvex_last_error_msg(ctx()));
        EXPECT_EQ(c.capacity, len);
        EXPECT_EQ('x', text[0]);
        EXPECT_EQ(c.keys_written ? kScanPub : to_hex(Bytes(33, 0xAB)), to_hex(scan_pub));
        EXPECT_EQ(c.keys_written ? kSpendPub : to_hex(Bytes(33, 0xAB)), to_hex(spend_pub));
    }
    // Each of the seven pointers is required.
    Bytes a(33), b(33);
    char text[114];
    size_t len = sizeof text;
    const uint8_t* s = scan_key.data();
    const uint8_t* p = spend_key.data();
    EXPECT_EQ(1, qorvex_silent_payment_address(nullptr, s, p, a.data(), b.data(), text, &len));
    EXPECT_EQ(1, qorvex_silent_payment_address(ctx(), nullptr, p, a.data(), b.data(), text, &len));
    EXPECT_EQ(1, qorvex_silent_payment_address(ctx(), s, nullptr, a.data(), b.data(), text, &len));
    EXPECT_EQ(1, qorvex_silent_payment_address(ctx(), s, p, nullptr, b.data(), text, &len));
    EXPECT_EQ(1, qorvex_silent_payment_address(ctx(), s, p, a.data(), nullptr, text, &len));
    EXPECT_EQ(1, qorvex_silent_payment_address(ctx(), s, p, a.data(), b.data(), nullptr, &len));
    EXPECT_EQ(1, qorvex_silent_payment_address(ctx(), s, p, a.data(), b.data(), text, nullptr));
    EXPECT_EQ(10, qorvex_last_error(ctx()));  // from the table above, untouched
    ASSERT_EQ(0, qorvex_silent_payment_address(ctx(), s, p, a.data(), b.data(), text, &len));
    EXPECT_EQ(0, qorvex_last_error(ctx()));
}

TEST_F(SilentPayment, CreateOutputCodesAndMessages) {
    const Bytes keys = inputs(), scan_pub = from_hex(kScanPub), spend_pub = from_hex(kSpendPub);
    const Bytes zero(32, 0), n = be32(kOrderHex);
    const Bytes bad_second = cat({from_hex(kInputKeys[0]), n});
    Bytes uncompressed = scan_pub;
    uncompressed[0] = 0x04;
    Bytes x_ge_p(33, 0xFF);
    x_ge_p[0] = 0x02;
    // a + (n - a): keys that cancel.
    Bytes neg = from_hex(kInputKeys[0]);
    ASSERT_EQ(0, qorvex_seckey_negate(ctx(), neg.data()));
    const Bytes cancel = cat({from_hex(kInputKeys[0]), neg});
    const Bytes cancel_three = cat({from_hex(kInputKeys[0]), from_hex(kInputKeys[1]), neg});  // sums to key 2
    struct Case {
        const char* what;
        const Bytes& keys;
        const Bytes& scan;
        const Bytes& spend;
        int32_t k;
        int code;
        const char* message;
    } cases[] = {
        {"first key zero", zero, scan_pub, spend_pub, 0, 2, kBadInputKey},
        {"second key n", bad_second, scan_pub, spend_pub, 0, 2, kBadInputKey},
        {"key checked before recipient", bad_second, uncompressed, spend_pub, 0, 2, kBadInputKey},
        {"key checked before the sum", cat({cancel, n}), scan_pub, spend_pub, 0, 2, kBadInputKey},
        {"scan key 04", keys, uncompressed, spend_pub, 0, 3, kBadRecipientKey},
        {"spend key x >= p", keys, scan_pub, x_ge_p, 0, 3, kBadRecipientKey},
        {"spend key all zero", keys, scan_pub, Bytes(33, 0), 0, 3, kBadRecipientKey},
        {"recipient checked before the sum", cancel, scan_pub, x_ge_p, 0, 3, kBadRecipientKey},
        {"negative k", keys, scan_pub, spend_pub, -1, 5, kNegativeK},
        {"most negative k", keys, scan_pub, spend_pub, INT32_MIN, 5, kNegativeK},
        {"keys that cancel", cancel, scan_pub, spend_pub, 0, 7, kKeysCancel},
        {"keys that cancel, k = 5", cancel, scan_pub, spend_pub, 5, 7, kKeysCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes out(33, 0xAB), tweak(32, 0xAB);
        EXPECT_EQ(c.code, qorvex_silent_payment_create_output(ctx(), c.keys.data(), c.keys.size() / 32, c.scan.data(),
                                                              c.spend.data(), c.k, out.data(), tweak.data()));
        EXPECT_EQ(c.code, qorvex_last_error(ctx()));
        EXPECT_STREQ(c.message, qorvex_last_error_msg(ctx()));
        EXPECT_EQ(Bytes(33, 0xAB), out);
        EXPECT_EQ(Bytes(32, 0xAB), tweak);
    }
    // Three keys of which two cancel leave the third: no refusal.
    Bytes out(33), want_out, want_tweak;
    ASSERT_EQ(0, qorvex_silent_payment_create_output(ctx(), cancel_three.data(), 3, scan_pub.data(), spend_pub.data(),
                                                     0, out.data(), nullptr));
    expected(from_hex(kInputKeys[1]), scan_pub, spend_pub, 0, want_out, want_tweak);
    EXPECT_EQ(to_hex(want_out), to_hex(out));
    // P_k at infinity: B_spend = -t_k G, with t_k from the sender's side.
    Bytes tweak(32);
    ASSERT_EQ(0, qorvex_silent_payment_create_output(ctx(), keys.data(), 3, scan_pub.data(), spend_pub.data(), 0,
                                                     out.data(), tweak.data()));
    ASSERT_EQ(0, qorvex_seckey_negate(ctx(), tweak.data()));
    const Bytes minus_t_g = pub(tweak);
    Bytes untouched(33, 0xAB);
    EXPECT_EQ(7, qorvex_silent_payment_create_output(ctx(), keys.data(), 3, scan_pub.data(), minus_t_g.data(), 0,
                                                     untouched.data(), nullptr));
    EXPECT_STREQ("output point is infinity", qorvex_last_error_msg(ctx()));
    EXPECT_EQ(Bytes(33, 0xAB), untouched);

    // Before the context is cleared: NULLs and a count of 0 (code 1, context
    // untouched), then the count limit (code 5 with its message).
    ASSERT_EQ(7, qorvex_last_error(ctx()));
    const uint8_t* k = keys.data();
    const uint8_t* s = scan_pub.data();
    const uint8_t* p = spend_pub.data();
    EXPECT_EQ(1, qorvex_silent_payment_create_output(nullptr, k, 3, s, p, 0, out.data(), nullptr));
    EXPECT_EQ(1, qorvex_silent_payment_create_output(ctx(), nullptr, 3, s, p, 0, out.data(), nullptr));
    EXPECT_EQ(1, qorvex_silent_payment_create_output(ctx(), k, 0, s, p, 0, out.data(), nullptr));
    EXPECT_EQ(1, qorvex_silent_payment_create_output(ctx(), k, 3, nullptr, p, 0, out.data(), nullptr));
    EXPECT_EQ(1, qorvex_silent_payment_create_output(ctx(), k, 3, s, nullptr, 0, out.data(), nullptr));
    EXPECT_EQ(1, qorvex_silent_payment_create_output(ctx(), k, 3, s, p, 0, nullptr, nullptr));
    EXPECT_EQ(7, qorvex_last_error(ctx()));
    EXPECT_EQ(5, qorvex_silent_payment_create_output(ctx(), k, QORVEX_SILENT_PAYMENT_MAX_INPUTS + 1, s, p, 0,
                                                     out.data(), nullptr));
    EXPECT_STREQ(kInputCountTooLarge, qorvex_last_error_msg(ctx()));
    EXPECT_EQ(5, qorvex_silent_payment_create_output(ctx(), k, SIZE_MAX, s, p, 0, out.data(), nullptr));
    EXPECT_STREQ(kInputCountTooLarge, qorvex_last_error_msg(ctx()));
}

TEST_F(SilentPayment, InputCountLimit) {
    // 2^20 inputs are taken (here one key 2^20 times, so the sum is 2^20 a),
    // one more is refused.
    const Bytes a = from_hex(kInputKeys[0]), scan_pub = from_hex(kScanPub), spend_pub = from_hex(kSpendPub);
    constexpr size_t kMax = QORVEX_SILENT_PAYMENT_MAX_INPUTS;
    Bytes keys(32 * (kMax + 1));
    for (size_t i = 0; i <= kMax; ++i) std::memcpy(&keys[32 * i], a.data(), 32);
    Bytes out(33);
    ASSERT_EQ(0, qorvex_silent_payment_create_output(ctx(), keys.data(), kMax, scan_pub.data(), spend_pub.data(), 0,
                                                     out.data(), nullptr));
    Bytes sum = a, want_out, want_tweak;
    ASSERT_EQ(0, qorvex_seckey_tweak_mul(ctx(), sum.data(), be32("100000").data()));
    expected(sum, scan_pub, spend_pub, 0, want_out, want_tweak);
    EXPECT_EQ(to_hex(want_out), to_hex(out));
    EXPECT_EQ(5, qorvex_silent_payment_create_output(ctx(), keys.data(), kMax + 1, scan_pub.data(), spend_pub.data(),
                                                     0, out.data(), nullptr));
    EXPECT_STREQ(kInputCountTooLarge, qorvex_last_error_msg(ctx()));
}

TEST_F(SilentPayment, ScanCodesAndMessages) {
    const Bytes scan_key = from_hex(kScanKey), spend_key = from_hex(kSpendKey), in_pubs = input_pubs();
    const Bytes zero(32, 0), n = be32(kOrderHex), outs(64, 0x22);
    Bytes bad_third = in_pubs;
    bad_third[66] = 0x04;
    Bytes off_curve = in_pubs;
    std::memset(&off_curve[1], 0, 32);
    off_curve[32] = 5;  // x = 5: 5^3 + 7 is not a square
    struct Case {
        const char* what;
        const Bytes& scan;
        const Bytes& spend;
        const Bytes& inputs;
        int code;
        const char* message;
    } cases[] = {
        {"scan key zero", zero, spend_key, in_pubs, 2, kBadScanKey},
        {"scan key n", n, spend_key, in_pubs, 2, kBadScanKey},
        {"scan key checked first", n, zero, bad_third, 2, kBadScanKey},
        {"spend key zero", scan_key, zero, in_pubs, 2, kBadSpendKey},
        {"spend key checked before inputs", scan_key, n, bad_third, 2, kBadSpendKey},
        {"third input 04", scan_key, spend_key, bad_third, 3, kBadInputPubkey},
        {"first input off the curve", scan_key, spend_key, off_curve, 3, kBadInputPubkey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<int> idx(2, -1);
        Bytes keys(64, 0xEE);
        size_t found = 2;
        EXPECT_EQ(c.code, qorvex_silent_payment_scan(ctx(), c.scan.data(), c.spend.data(), c.inputs.data(), 3,
                                                     outs.data(), 2, idx.data(), keys.data(), &found));
        EXPECT_EQ(c.code, qorvex_last_error(ctx()));
        EXPECT_STREQ(c.message, qorvex_last_error_msg(ctx()));
        EXPECT_EQ(2u, found);
        EXPECT_EQ(std::vector<int>(2, -1), idx);
        EXPECT_EQ(Bytes(64, 0xEE), keys);
    }
    // Before the context is cleared: NULLs (1) and counts of 0 (5), both
    // leaving the context alone, then the count limits with their message.
    ASSERT_EQ(3, qorvex_last_error(ctx()));
    const uint8_t* s = scan_key.data();
    const uint8_t* p = spend_key.data();
    const uint8_t* in = in_pubs.data();
    const uint8_t* o = outs.data();
    size_t found = 0;
    EXPECT_EQ(1, qorvex_silent_payment_scan(nullptr, s, p, in, 3, o, 2, nullptr, nullptr, &found));
    EXPECT_EQ(1, qorvex_silent_payment_scan(ctx(), nullptr, p, in, 3, o, 2, nullptr, nullptr, &found));
    EXPECT_EQ(1, qorvex_silent_payment_scan(ctx(), s, nullptr, in, 3, o, 2, nullptr, nullptr, &found));
    EXPECT_EQ(1, qorvex_silent_payment_scan(ctx(), s, p, nullptr, 3, o, 2, nullptr, nullptr, &found));
    EXPECT_EQ(1, qorvex_silent_payment_scan(ctx(), s, p, in, 3, nullptr, 2, nullptr, nullptr, &found));
    EXPECT_EQ(1, qorvex_silent_payment_scan(ctx(), s, p, in, 3, o, 2, nullptr, nullptr, nullptr));
    EXPECT_EQ(5, qorvex_silent_payment_scan(ctx(), s, p, in, 0, o, 2, nullptr, nullptr, &found));
    EXPECT_EQ(5, qorvex_silent_payment_scan(ctx(), s, p, in, 3, o, 0, nullptr, nullptr, &found));
    EXPECT_EQ(3, qorvex_last_error(ctx()));
    EXPECT_STREQ(kBadInputPubkey, qorvex_last_error_msg(ctx()));
    constexpr size_t kMax = QORVEX_SILENT_PAYMENT_MAX_INPUTS;
    for (const auto& [n_in, n_out] : {std::pair<size_t, size_t>{kMax + 1, 1}, {1, kMax + 1}, {SIZE_MAX, SIZE_MAX}}) {
        EXPECT_EQ(5, qorvex_silent_payment_scan(ctx(), s, p, in, n_in, o, n_out, nullptr, nullptr, &found));
        EXPECT_STREQ(kScanCountTooLarge, qorvex_last_error_msg(ctx()));
    }
    // 2^20 inputs and 2^20 outputs pass the count check: the arrays are
    // read, and the invalid first key (all zero) is what fails.
    const Bytes many_inputs(33 * kMax, 0), many_outputs(32 * kMax, 0);
    EXPECT_EQ(3, qorvex_silent_payment_scan(ctx(), s, p, many_inputs.data(), kMax, many_outputs.data(), kMax, nullptr,
                                            nullptr, &found));
    EXPECT_STREQ(kBadInputPubkey, qorvex_last_error_msg(ctx()));
}

// Input public keys that cancel: S would be infinity, and its tweak known to
// everyone; the scan reports no match and writes nothing else.
TEST_F(SilentPayment, ScanWithInputKeysThatCancel) {
    const Bytes scan_key = from_hex(kScanKey), spend_key = from_hex(kSpendKey);
    const Bytes a = pub(from_hex(kInputKeys[0]));
    Bytes neg_a(33);
    ASSERT_EQ(0, qorvex_pubkey_negate(ctx(), a.data(), neg_a.data()));
    // Outputs made the way a sender with such keys would have: from the
    // 33 zero bytes of an infinite S.
    Bytes zero_s(37, 0), t(32), p0(33);
    ASSERT_EQ(0, qorvex_tagged_hash("BIP0352/SharedSecret", zero_s.data(), zero_s.size(), t.data()));
    const Bytes spend_pub = from_hex(kSpendPub);
    ASSERT_EQ(0, qorvex_pubkey_tweak_add(ctx(), spend_pub.data(), t.data(), p0.data()));
    const Bytes outs(p0.begin() + 1, p0.end());
    const Bytes three = pub(be32("3"));
    Bytes minus_three(33);
    ASSERT_EQ(0, qorvex_pubkey_negate(ctx(), three.data(), minus_three.data()));
    for (const Bytes& in : {cat({a, neg_a}), cat({three, a, minus_three, neg_a})}) {
        SCOPED_TRACE(in.size() / 33);
        std::vector<int> idx(1, -1);
        Bytes keys(32, 0xEE);
        size_t found = 1;
        ASSERT_EQ(0, qorvex_silent_payment_scan(ctx(), scan_key.data(), spend_key.data(), in.data(), in.size() / 33,
                                                outs.data(), 1, idx.data(), keys.data(), &found));
        EXPECT_EQ(0, qorvex_last_error(ctx()));
        EXPECT_EQ(0u, found);
        EXPECT_EQ(-1, idx[0]);
        EXPECT_EQ(Bytes(32, 0xEE), keys);
    }
    // A partial sum at infinity is not the sum: a, -a, then b finds b's
    // outputs.
    Bytes out_b(33);
    const Bytes b_key = from_hex(kInputKeys[1]);
    ASSERT_EQ(0, qorvex_silent_payment_create_output(ctx(), b_key.data(), 1, from_hex(kScanPub).data(),
                                                     spend_pub.data(), 0, out_b.data(), nullptr));
    const Bytes in = cat({a, neg_a, pub(b_key)});
    const Bytes outs_b(out_b.begin() + 1, out_b.end());
    size_t found = 0;
    ASSERT_EQ(0, qorvex_silent_payment_scan(ctx(), scan_key.data(), spend_key.data(), in.data(), 3, outs_b.data(), 1,
                                            nullptr, nullptr, &found));
    EXPECT_EQ(1u, found);
}

// Outputs may be the inputs' own buffers: everything is read before the
// first write.
TEST_F(SilentPayment, OutputsOverlapInputs) {
    const Bytes scan_key = from_hex(kScanKey), spend_key = from_hex(kSpendKey);
    // create_output: the output key over the first input key and the scan
    // key, the tweak over the spend key.
    {
        Bytes buf = cat({inputs(), from_hex(kScanPub), from_hex(kSpendPub)});
        ASSERT_EQ(0, qorvex_silent_payment_create_output(ctx(), buf.data(), 3, buf.data() + 96, buf.data() + 129, 1,
                                                         buf.data() + 96, buf.data() + 129));
        EXPECT_EQ(kKnown[1].output, to_hex(&buf[96], 33));
        EXPECT_EQ(kKnown[1].tweak, to_hex(&buf[129], 32));
        Bytes keys = inputs();
        ASSERT_EQ(0, qorvex_silent_payment_create_output(ctx(), keys.data(), 3, from_hex(kScanPub).data(),
                                                         from_hex(kSpendPub).data(), 2, keys.data() + 1, keys.data()));
        EXPECT_EQ(kKnown[2].tweak, to_hex(keys.data(), 32));
    }
    // address: the public keys over the private keys.
    {
        Bytes buf(66, 0);
        std::memcpy(buf.data(), from_hex(kScanKey).data(), 32);
        std::memcpy(buf.data() + 33, from_hex(kSpendKey).data(), 32);
        char text[114];
        size_t len = sizeof text;
        ASSERT_EQ(0, qorvex_silent_payment_address(ctx(), buf.data(), buf.data() + 33, buf.data(), buf.data() + 33,
                                                   text, &len));
        EXPECT_EQ(kScanPub, to_hex(buf.data(), 33));
        EXPECT_EQ(kSpendPub, to_hex(buf.data() + 33, 33));
        EXPECT_STREQ(kAddress, text);
    }
    // scan: the found keys over the output keys and the scan key, the
    // indices over the input keys.
    {
        Bytes outs;
        for (const Known& k : kKnown) outs = cat({outs, xonly(k.output)});
        Bytes in = input_pubs();
        Bytes buf = cat({outs, scan_key});
        size_t found = 3;
        ASSERT_EQ(0, qorvex_silent_payment_scan(ctx(), buf.data() + 96, spend_key.data(), in.data(), 3, buf.data(), 3,
                                                reinterpret_cast<int*>(in.data()), buf.data() + 32, &found));
        ASSERT_EQ(3u, found);
        for (size_t j = 0; j < 3; ++j) EXPECT_EQ(kKnown[j].key, to_hex(&buf[32 + 32 * j], 32));
        int idx[3];
        std::memcpy(idx, in.data(), sizeof idx);
        EXPECT_EQ(0, idx[0]);
        EXPECT_EQ(2, idx[2]);
    }
}

}  // namespace
}  // namespace qorvex::test
