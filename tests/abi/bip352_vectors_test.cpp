// BIP-352's published send-and-receive vectors, all 28 cases, through the
// exported functions only: inputs from their raw scriptSig / witness /
// scriptPubKey bytes, addresses both ways, the sender's output sets, and the
// receiver's matches (full and light-client forms) with a signature by each
// found output's key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

struct Inputs {
    Bytes outpoints;           // every input's outpoint
    std::vector<Bytes> keys;   // eligible inputs' public keys
    std::vector<Bytes> seckeys;
    Bytes taproot_flags;
};

// The serialized outpoint: the txid as the vectors print it (display order)
// reversed, then the vout little-endian.
Bytes outpoint(const Json& vin) {
    Bytes txid = from_hex(vin["txid"].str());
    std::reverse(txid.begin(), txid.end());
    const auto vout = static_cast<uint32_t>(vin["vout"].integer());
    for (int i = 0; i < 4; ++i) txid.push_back(static_cast<uint8_t>(vout >> (8 * i)));
    return txid;
}

Inputs read_inputs(qorvex_ctx* ctx, const Json& vins) {
    Inputs in;
    for (const Json& vin : vins.array()) {
        const Bytes op = outpoint(vin);
        in.outpoints.insert(in.outpoints.end(), op.begin(), op.end());
        const Bytes sig = from_hex(vin["scriptSig"].str());
        const Bytes wit = from_hex(vin["txinwitness"].str());
        const Bytes spk = from_hex(vin["prevout"]["scriptPubKey"]["hex"].str());
        Bytes key(33);
        const int rc = qorvex_bip352_input_pubkey(ctx, sig.data(), sig.size(), wit.data(), wit.size(), spk.data(),
                                                  spk.size(), key.data());
        EXPECT_TRUE(rc == QORVEX_OK || rc == QORVEX_ERR_NOT_FOUND) << rc;
        if (rc != QORVEX_OK) continue;
        in.keys.push_back(key);
        if (vin.has("private_key")) {
            in.seckeys.push_back(from_hex(vin["private_key"].str()));
            in.taproot_flags.push_back(spk.size() == 34 && spk[0] == 0x51 ? 1 : 0);
        }
    }
    return in;
}

Bytes concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string address_of(qorvex_ctx* ctx, const Bytes& scan, const Bytes& spend) {
    char text[QORVEX_BIP352_ADDRESS_SIZE];
    size_t len = sizeof text;
    EXPECT_EQ(QORVEX_OK, qorvex_bip352_address_encode(ctx, scan.data(), spend.data(), QORVEX_NETWORK_MAINNET, text,
                                                      &len));
    return std::string(text, len);
}

Bytes sha256_of(const std::string& s) {
    Bytes out(32);
    qorvex_sha256(reinterpret_cast<const uint8_t*>(s.data()), s.size(), out.data());
    return out;
}

class Bip352Vectors : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
        cases_ = load_json_vectors("bip352/send_and_receive_test_vectors.json");
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    Json cases_;

private:
    CtxPtr ctx_;
};

TEST_F(Bip352Vectors, SenderProducesAnExpectedOutputSet) {
    ASSERT_EQ(28u, cases_.size());
    for (const Json& c : cases_.array()) {
        SCOPED_TRACE(c["comment"].str());
        for (const Json& s : c["sending"].array()) {
            const Inputs in = read_inputs(ctx(), s["given"]["vin"]);
            const Json& expected = s["expected"];
            if (expected.has("input_pub_keys")) {
                std::vector<std::string> want, got;
                for (const Json& k : expected["input_pub_keys"].array()) want.push_back(k.str());
                for (const Bytes& k : in.keys) got.push_back(to_hex(k));
                EXPECT_EQ(want, got);
            }
            Bytes recipients;
            for (const Json& r : s["given"]["recipients"].array()) {
                const Bytes scan = from_hex(r["scan_pub_key"].str()), spend = from_hex(r["spend_pub_key"].str());
                // The address carries exactly the two keys.
                int network = -1;
                Bytes scan2(33), spend2(33);
                ASSERT_EQ(QORVEX_OK, qorvex_bip352_address_decode(ctx(), r["address"].str().c_str(), &network,
                                                                  scan2.data(), spend2.data()));
                EXPECT_EQ(QORVEX_NETWORK_MAINNET, network);
                EXPECT_EQ(scan, scan2);
                EXPECT_EQ(spend, spend2);
                EXPECT_EQ(r["address"].str(), address_of(ctx(), scan, spend));
                const long long count = r.has("count") ? r["count"].integer() : 1;
                for (long long i = 0; i < count; ++i) {
                    recipients.insert(recipients.end(), scan.begin(), scan.end());
                    recipients.insert(recipients.end(), spend.begin(), spend.end());
                }
            }
            const size_t n = recipients.size() / QORVEX_BIP352_RECIPIENT_SIZE;
            const Bytes seckeys = concat(in.seckeys);
            Bytes out(32 * n);
            const int rc = qorvex_bip352_send(ctx(), seckeys.data(), in.taproot_flags.data(), in.seckeys.size(),
                                              in.outpoints.data(), in.outpoints.size() / 36, recipients.data(), n,
                                              out.data());
            const auto& sets = expected["outputs"].array();
            if (sets.size() == 1 && sets[0].array().empty()) {
                // The BIP's failures: no eligible input, a zero sum, K_max.
                EXPECT_NE(QORVEX_OK, rc);
                const std::string msg = qorvex_last_error_msg(ctx());
                if (in.seckeys.empty())
                    EXPECT_EQ("no eligible inputs", msg);
                else if (n > QORVEX_BIP352_K_MAX)
                    EXPECT_EQ("more than 2323 recipients share a scan key", msg);
                else
                    EXPECT_EQ("input private keys sum to zero", msg);
                continue;
            }
            ASSERT_EQ(QORVEX_OK, rc) << qorvex_last_error_msg(ctx());
            std::multiset<std::string> got;
            for (size_t i = 0; i < n; ++i) got.insert(to_hex(out.data() + 32 * i, 32));
            bool matched = false;
            for (const Json& set : sets) {
                std::multiset<std::string> want;
                for (const Json& k : set.array()) want.insert(k.str());
                matched |= want == got;
            }
            EXPECT_TRUE(matched);
        }
    }
}

TEST_F(Bip352Vectors, ReceiverFindsExactlyTheExpectedOutputs) {
    const Bytes msg = sha256_of("message"), aux = sha256_of("random auxiliary data");
    for (const Json& c : cases_.array()) {
        SCOPED_TRACE(c["comment"].str());
        for (const Json& r : c["receiving"].array()) {
            const Json& given = r["given"];
            const Json& expected = r["expected"];
            const Bytes scan_sec = from_hex(given["key_material"]["scan_priv_key"].str());
            const Bytes spend_sec = from_hex(given["key_material"]["spend_priv_key"].str());
            Bytes scan_pub(33), spend_pub(33);
            ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx(), scan_sec.data(), scan_pub.data()));
            ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx(), spend_sec.data(), spend_pub.data()));

            // The address and one labelled address per label.
            std::set<std::string> addresses{address_of(ctx(), scan_pub, spend_pub)};
            std::vector<Bytes> labels;
            for (const Json& m : given["labels"].array()) {
                Bytes b_m(33), label(QORVEX_BIP352_LABEL_SIZE);
                ASSERT_EQ(QORVEX_OK, qorvex_bip352_label(ctx(), scan_sec.data(), spend_pub.data(),
                                                         static_cast<uint32_t>(m.integer()), b_m.data(),
                                                         label.data()));
                addresses.insert(address_of(ctx(), scan_pub, b_m));
                labels.push_back(label);
            }
            std::set<std::string> want_addresses;
            for (const Json& a : expected["addresses"].array()) want_addresses.insert(a.str());
            EXPECT_EQ(want_addresses, addresses);

            const Inputs in = read_inputs(ctx(), given["vin"]);
            Bytes outputs;
            for (const Json& o : given["outputs"].array()) {
                const Bytes x = from_hex(o.str());
                outputs.insert(outputs.end(), x.begin(), x.end());
            }
            const size_t n_outputs = outputs.size() / 32;
            const Bytes keys = concat(in.keys), label_bytes = concat(labels);
            size_t n_matches = n_outputs;
            Bytes matches(QORVEX_BIP352_MATCH_SIZE * (n_outputs ? n_outputs : 1));
            ASSERT_EQ(QORVEX_OK, qorvex_bip352_scan(ctx(), scan_sec.data(), spend_pub.data(), label_bytes.data(),
                                                    labels.size(), keys.data(), in.keys.size(),
                                                    in.outpoints.data(), in.outpoints.size() / 36, outputs.data(),
                                                    n_outputs, matches.data(), &n_matches))
                << qorvex_last_error_msg(ctx());

            // The light-client form from the published tweak finds the same.
            if (expected.has("tweak") && !expected["tweak"].is_null()) {
                Bytes tweak(33);
                ASSERT_EQ(QORVEX_OK, qorvex_bip352_tweak(ctx(), keys.data(), in.keys.size(), in.outpoints.data(),
                                                         in.outpoints.size() / 36, tweak.data()));
                EXPECT_EQ(expected["tweak"].str(), to_hex(tweak));
                size_t n_light = n_outputs;
                Bytes light(matches.size());
                ASSERT_EQ(QORVEX_OK, qorvex_bip352_scan_tweak(ctx(), scan_sec.data(), spend_pub.data(),
                                                              label_bytes.data(), labels.size(), tweak.data(),
                                                              outputs.data(), n_outputs, light.data(), &n_light));
                ASSERT_EQ(n_matches, n_light);
                EXPECT_TRUE(std::equal(matches.begin(), matches.begin() + QORVEX_BIP352_MATCH_SIZE * n_matches,
                                       light.begin()));
            } else if (!in.keys.empty()) {
                Bytes tweak(33);
                EXPECT_EQ(QORVEX_ERR_ARITH, qorvex_bip352_tweak(ctx(), keys.data(), in.keys.size(),
                                                                in.outpoints.data(), in.outpoints.size() / 36,
                                                                tweak.data()));
            }

            if (expected.has("n_outputs")) {
                EXPECT_EQ(static_cast<size_t>(expected["n_outputs"].integer()), n_matches);
                continue;
            }
            std::set<std::pair<std::string, std::string>> want, got;
            for (const Json& o : expected["outputs"].array()) want.emplace(o["pub_key"].str(), o["priv_key_tweak"].str());
            for (size_t i = 0; i < n_matches; ++i) {
                const uint8_t* rec = matches.data() + QORVEX_BIP352_MATCH_SIZE * i;
                got.emplace(to_hex(rec + 40, 32), to_hex(rec + 8, 32));
                // The output's key: spend key + tweak, which signs for it.
                Bytes key = spend_sec;
                ASSERT_EQ(QORVEX_OK, qorvex_seckey_tweak_add(ctx(), key.data(), rec + 8));
                Bytes sig(64);
                ASSERT_EQ(QORVEX_OK, qorvex_schnorr_sign(ctx(), msg.data(), key.data(), aux.data(), sig.data()));
                EXPECT_EQ(QORVEX_OK, qorvex_schnorr_verify(ctx(), msg.data(), sig.data(), rec + 40));
                for (const Json& o : expected["outputs"].array())
                    if (o["pub_key"].str() == to_hex(rec + 40, 32)) {
                        EXPECT_EQ(o["signature"].str(), to_hex(sig));
                    }
            }
            EXPECT_EQ(want, got);
        }
    }
}

}  // namespace
}  // namespace qorvex::test
