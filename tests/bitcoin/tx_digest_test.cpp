// The internal transaction interface that the exported digests and the
// later signed-message code share: random transactions against the test's
// own serializer and message builder, the published vectors through the
// in-memory view, and the parser on the library's own serializations.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bitcoin/tx_digest.h"
#include "bitcoin/tx_parse.h"
#include "hash/sha256.h"
#include "hash/tagged_hash.h"
#include "support/tx_fields.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes sha256_of(const Bytes& m) {
    Bytes out(32);
    sha256(m.data(), m.size(), out.data());
    return out;
}

Bytes sha256d_of(const Bytes& m) { return sha256_of(sha256_of(m)); }

// A tx::Transaction (and the spent outputs) viewing test-side fields.
class View {
public:
    explicit View(const TxFields& f, const std::vector<TxOut>* spent_outputs = nullptr) {
        for (const TxIn& in : f.ins) {
            txids_.insert(txids_.end(), in.txid.begin(), in.txid.end());
            vouts_.push_back(in.vout);
            sequences_.push_back(in.sequence);
            sig_ptrs_.push_back(in.script_sig.data());
            sig_lens_.push_back(in.script_sig.size());
            auto& items = item_ptrs_.emplace_back();
            auto& lens = item_lens_.emplace_back();
            for (const TxBytes& item : in.witness) {
                items.push_back(item.data());
                lens.push_back(item.size());
            }
        }
        for (size_t i = 0; i < f.ins.size(); ++i)
            stacks_.push_back(tx::WitnessStack{f.ins[i].witness.size(), {item_ptrs_[i].data(), item_lens_[i].data()}});
        for (const TxOut& o : f.outs) {
            amounts_.push_back(o.amount);
            script_ptrs_.push_back(o.script.data());
            script_lens_.push_back(o.script.size());
        }
        t.version = f.version;
        t.lock_time = f.lock_time;
        t.in = {f.ins.size(), txids_.data(), vouts_.data(), sequences_.data(), {sig_ptrs_.data(), sig_lens_.data()},
                stacks_.data()};
        t.out = {f.outs.size(), amounts_.data(), {script_ptrs_.data(), script_lens_.data()}};
        if (spent_outputs) {
            for (const TxOut& o : *spent_outputs) {
                spent_amounts_.push_back(o.amount);
                spk_ptrs_.push_back(o.script.data());
                spk_lens_.push_back(o.script.size());
            }
            spent = {spent_amounts_.data(), {spk_ptrs_.data(), spk_lens_.data()}};
        }
    }

    tx::Transaction t;
    tx::SpentOutputs spent;

private:
    Bytes txids_;
    std::vector<uint32_t> vouts_, sequences_;
    std::vector<const uint8_t*> sig_ptrs_, script_ptrs_, spk_ptrs_;
    std::vector<size_t> sig_lens_, script_lens_, spk_lens_;
    std::vector<std::vector<const uint8_t*>> item_ptrs_;
    std::vector<std::vector<size_t>> item_lens_;
    std::vector<tx::WitnessStack> stacks_;
    std::vector<uint64_t> amounts_, spent_amounts_;
};

// Script lengths around the compact-size and block boundaries.
constexpr size_t kLengths[] = {0, 1, 22, 25, 34, 63, 64, 65, 127, 252, 253, 254, 300, 700};

Bytes random_bytes(std::mt19937_64& g, size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<uint8_t>(g());
    return b;
}

Bytes random_script(std::mt19937_64& g) {
    return random_bytes(g, kLengths[g() % std::size(kLengths)]);
}

struct RandomTx {
    TxFields f;
    std::vector<TxOut> spent;
};

RandomTx random_tx(std::mt19937_64& g) {
    RandomTx r;
    r.f.version = static_cast<int32_t>(g());
    r.f.lock_time = static_cast<uint32_t>(g());
    r.f.ins.resize(1 + g() % 12);
    for (TxIn& in : r.f.ins) {
        in.txid = random_bytes(g, 32);
        in.vout = static_cast<uint32_t>(g());
        if (g() % 3 == 0) in.script_sig = random_script(g);
        in.sequence = static_cast<uint32_t>(g());
        if (g() % 2 == 0)
            for (size_t k = g() % 4; k > 0; --k) in.witness.push_back(random_script(g));
        r.spent.push_back(TxOut{g(), random_script(g)});
    }
    r.f.outs.resize(g() % 12);
    for (TxOut& o : r.f.outs) o = TxOut{g(), random_script(g)};
    return r;
}

TEST(TxDigest, SerializationAndIdsMatchAnIndependentSerializer) {
    std::mt19937_64 g(2024);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        const RandomTx r = random_tx(g);
        const View v(r.f);
        for (const bool witness : {false, true}) {
            const Bytes expected = serialize_tx(r.f, witness);
            tx::SizeCounter count;
            tx::write_transaction(count, v.t, witness);
            EXPECT_EQ(expected.size(), count.size);
            Bytes got(expected.size() + 1, 0xEE);
            tx::SpanWriter sw(std::span<uint8_t>(got.data(), expected.size()));
            tx::write_transaction(sw, v.t, witness);
            EXPECT_TRUE(sw.ok());
            EXPECT_EQ(expected, Bytes(got.begin(), got.end() - 1));
            EXPECT_EQ(0xEE, got.back());
        }
        uint8_t id[32], wid[32];
        tx::txid(v.t, id);
        tx::wtxid(v.t, wid);
        EXPECT_EQ(sha256d_of(serialize_tx(r.f, false)), Bytes(id, id + 32));
        EXPECT_EQ(sha256d_of(serialize_tx(r.f, true)), Bytes(wid, wid + 32));
        // The parser reaches the same ids from the bytes.
        const Bytes wire = serialize_tx(r.f, true);
        uint8_t pid[32], pwid[32];
        ASSERT_TRUE(tx::serialized_txid(wire, pid));
        ASSERT_TRUE(tx::serialized_wtxid(wire, pwid));
        EXPECT_EQ(Bytes(id, id + 32), Bytes(pid, pid + 32));
        EXPECT_EQ(Bytes(wid, wid + 32), Bytes(pwid, pwid + 32));
        EXPECT_EQ(v.t.has_witness(), tx::parse_serialized(wire)->has_witness);
    }
}

TEST(TxDigest, SpanWriterStopsAtItsEnd) {
    uint8_t buf[4] = {};
    tx::SpanWriter w(buf);
    const uint8_t five[5] = {1, 2, 3, 4, 5};
    w.put(five, 3);
    w.put(five, 2);
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(3u, w.size());
}

TEST(TxDigest, WitnessStackEncoding) {
    const Bytes sig(71, 0x30), pub(33, 0x02);
    const uint8_t* items[] = {sig.data(), pub.data()};
    const size_t lens[] = {sig.size(), pub.size()};
    const tx::WitnessStack w{2, {items, lens}};
    Bytes out(200);
    tx::SpanWriter sw(out);
    tx::write_witness_stack(sw, w);
    Bytes expected = {0x02, 71};
    append(expected, sig);
    expected.push_back(33);
    append(expected, pub);
    EXPECT_EQ(expected, Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(sw.size())));
}

// The Taproot digest of every hash type, with and without annex and script
// path, against the message built byte by byte; the precomputed sub-hashes
// give the same.
TEST(TxDigest, TaprootSighashMatchesTheReferenceMessage) {
    std::mt19937_64 g(341);
    const uint8_t types[] = {0x00, 0x01, 0x02, 0x03, 0x81, 0x82, 0x83};
    for (int round = 0; round < 80; ++round) {
        SCOPED_TRACE(round);
        RandomTx r = random_tx(g);
        if (r.f.outs.empty()) r.f.outs.push_back(TxOut{5, Bytes(34, 0x51)});
        const View v(r.f, &r.spent);
        tx::TaprootHashes pre;
        tx::taproot_hashes(v.t, v.spent, pre);
        const uint8_t type = types[g() % std::size(types)];
        const size_t index = (type & 3) == 3 ? g() % std::min(r.f.ins.size(), r.f.outs.size()) : g() % r.f.ins.size();
        const Bytes annex = g() % 3 == 0 ? random_script(g) : Bytes{};
        const Bytes leaf = random_bytes(g, 32);
        const tx::TapscriptData ext_data{leaf.data(), static_cast<uint8_t>(g()), static_cast<uint32_t>(g())};
        Bytes ext = leaf;
        ext.push_back(ext_data.key_version);
        append_le(ext, ext_data.codesep_pos, 4);
        const bool script_path = g() % 2 == 0;

        tx::TaprootSpend spend;
        spend.input_index = index;
        spend.hash_type = type;
        spend.annex = annex;
        spend.script_path = script_path ? &ext_data : nullptr;
        const Bytes msg = reference_sigmsg(r.f, r.spent, index, type, &annex, script_path ? &ext : nullptr, sha256_of);
        Bytes expected(32);
        tagged_hash("TapSighash", msg.data(), msg.size(), expected.data());
        Bytes got(32), got_pre(32);
        ASSERT_TRUE(tx::taproot_sighash(v.t, v.spent, spend, got.data()));
        ASSERT_TRUE(tx::taproot_sighash(v.t, v.spent, spend, got_pre.data(), &pre));
        EXPECT_EQ(expected, got);
        EXPECT_EQ(expected, got_pre);
    }
}

TEST(TxDigest, TaprootSighashRefusesWhatBip341Forbids) {
    std::mt19937_64 g(9);
    RandomTx r = random_tx(g);
    r.f.ins.resize(3);
    r.spent.resize(3);
    r.f.outs.resize(1);
    const View v(r.f, &r.spent);
    EXPECT_EQ(tx::TaprootCheck::bad_index, tx::check_taproot_spend(v.t, 0, 3));
    EXPECT_EQ(tx::TaprootCheck::bad_hash_type, tx::check_taproot_spend(v.t, 0x04, 0));
    EXPECT_EQ(tx::TaprootCheck::single_without_output, tx::check_taproot_spend(v.t, 0x83, 1));
    EXPECT_EQ(tx::TaprootCheck::ok, tx::check_taproot_spend(v.t, 0x83, 0));
    tx::TaprootSpend spend;
    spend.input_index = 1;
    spend.hash_type = 0x03;
    uint8_t out[32] = {0xAA};
    EXPECT_FALSE(tx::taproot_sighash(v.t, v.spent, spend, out));
    EXPECT_EQ(0xAA, out[0]);
}

// The sub-hashes the BIP-341 vector prints, through the view.
TEST(TxDigest, TaprootSubHashesOfTheVector) {
    const Json k = load_json_vectors("bip341/wallet-test-vectors.json")["keyPathSpending"][static_cast<size_t>(0)];
    const TxFields f = parse_tx(from_hex(k["given"]["rawUnsignedTx"].str()));
    std::vector<TxOut> spent;
    for (const Json& u : k["given"]["utxosSpent"].array())
        spent.push_back(TxOut{static_cast<uint64_t>(u["amountSats"].integer()), from_hex(u["scriptPubKey"].str())});
    const View v(f, &spent);
    tx::TaprootHashes h;
    tx::taproot_hashes(v.t, v.spent, h);
    const Json& m = k["intermediary"];
    EXPECT_EQ(from_hex(m["hashPrevouts"].str()), Bytes(h.prevouts, h.prevouts + 32));
    EXPECT_EQ(from_hex(m["hashAmounts"].str()), Bytes(h.amounts, h.amounts + 32));
    EXPECT_EQ(from_hex(m["hashScriptPubkeys"].str()), Bytes(h.script_pubkeys, h.script_pubkeys + 32));
    EXPECT_EQ(from_hex(m["hashSequences"].str()), Bytes(h.sequences, h.sequences + 32));
    EXPECT_EQ(from_hex(m["hashOutputs"].str()), Bytes(h.outputs, h.outputs + 32));
    for (const Json& in : k["inputSpending"].array()) {
        tx::TaprootSpend spend;
        spend.input_index = static_cast<size_t>(in["given"]["txinIndex"].integer());
        spend.hash_type = static_cast<uint8_t>(in["given"]["hashType"].integer());
        uint8_t out[32];
        ASSERT_TRUE(tx::taproot_sighash(v.t, v.spent, spend, out, &h));
        EXPECT_EQ(from_hex(in["intermediary"]["sigHash"].str()), Bytes(out, out + 32));
    }
}

// BIP-143 from a whole transaction: the aggregate hashes and the SINGLE
// rule computed by the library (the path a signer of a built transaction
// takes), on every case of the BIP.
TEST(TxDigest, Bip143FromTheViewOnEveryCase) {
    const std::map<std::string, uint32_t> types = {
        {"SIGHASH_ALL", 0x01},  {"SIGHASH_NONE", 0x02},  {"SIGHASH_SINGLE", 0x03},
        {"SIGHASH_ALL|SIGHASH_ANYONECANPAY", 0x81}, {"SIGHASH_NONE|SIGHASH_ANYONECANPAY", 0x82},
        {"SIGHASH_SINGLE|SIGHASH_ANYONECANPAY", 0x83}};
    const Json vj = load_json_vectors("bip143/bip143_vectors.json");
    int cases = 0;
    for (const Json& ex : vj["examples"].array()) {
        const TxFields f = parse_tx(from_hex(ex.has("unsigned_tx") ? ex["unsigned_tx"].str() : ex["tx"].str()));
        const View v(f);
        tx::Bip143Hashes h;
        tx::bip143_hashes(v.t, h);
        for (const Json& c : ex["sighash_cases"].array()) {
            SCOPED_TRACE(ex["name"].str() + " / " + c["nHashType_name"].str());
            ++cases;
            const Bytes preimage = from_hex(c["preimage"].str());
            const Bytes sized_code(preimage.begin() + 104, preimage.end() - 52);
            const size_t skip = sized_code[0] < 0xFD ? 1 : 3;
            uint64_t amount = 0;
            for (int i = 7; i >= 0; --i) amount = (amount << 8) | preimage[preimage.size() - 52 + static_cast<size_t>(i)];
            uint8_t out[32];
            tx::bip143_sighash(v.t, h, static_cast<size_t>(c["input_index"].integer()),
                               std::span<const uint8_t>(sized_code.data() + skip, sized_code.size() - skip), amount,
                               types.at(c["nHashType_name"].str()), out);
            EXPECT_EQ(from_hex(c["sigHash"].str()), Bytes(out, out + 32));
        }
    }
    EXPECT_EQ(14, cases);
    uint8_t code[25];
    const uint8_t hash[20] = {1, 2, 3};
    tx::p2wpkh_script_code(hash, code);
    EXPECT_EQ(0x76, code[0]);
    EXPECT_EQ(0x14, code[2]);
    EXPECT_EQ(1, code[3]);
    EXPECT_EQ(0xAC, code[24]);
}

// A legacy transaction with no inputs is still a transaction (its byte 5,
// the output count, is then not 0x01); counts are held against the bytes
// left before any loop runs.
TEST(TxParse, LegacyFormWithoutInputsAndHugeCounts) {
    TxFields f;
    f.version = 1;
    f.outs = {TxOut{1, Bytes{0x51}}, TxOut{2, Bytes{}}};
    const Bytes b = serialize_tx(f, true);
    const auto layout = tx::parse_serialized(b);
    ASSERT_TRUE(layout);
    EXPECT_FALSE(layout->has_witness);
    EXPECT_EQ(b.size() - 4, layout->outputs_end);

    const Bytes huge_outputs = from_hex("01000000" "00" "ffffffffffffffffff" "00000000");
    EXPECT_FALSE(tx::parse_serialized(huge_outputs));
    const Bytes huge_script = from_hex("01000000" "00" "01" "0000000000000000" "ff0000000000000001" "00000000");
    EXPECT_FALSE(tx::parse_serialized(huge_script));
}

// The stack the serializer writes parses back to the same items; anything
// else is refused.
TEST(TxParse, WitnessStackRoundTrip) {
    const Bytes sig(72, 0x30), pub(33, 0x02), big(300, 0x77);
    const uint8_t* items[] = {sig.data(), pub.data(), big.data()};
    const size_t lens[] = {sig.size(), pub.size(), big.size()};
    const tx::WitnessStack w{3, {items, lens}};
    tx::SizeCounter count;
    tx::write_witness_stack(count, w);
    Bytes enc(count.size);
    tx::SpanWriter sw(enc);
    tx::write_witness_stack(sw, w);
    ASSERT_TRUE(sw.ok());

    std::span<const uint8_t> parsed[3];
    ASSERT_EQ(std::optional<size_t>(3), tx::parse_witness_stack(enc, parsed));
    EXPECT_EQ(sig, Bytes(parsed[0].begin(), parsed[0].end()));
    EXPECT_EQ(pub, Bytes(parsed[1].begin(), parsed[1].end()));
    EXPECT_EQ(big, Bytes(parsed[2].begin(), parsed[2].end()));

    std::span<const uint8_t> two[2];
    EXPECT_FALSE(tx::parse_witness_stack(enc, two));  // more items than room
    for (size_t len = 0; len < enc.size(); ++len)
        EXPECT_FALSE(tx::parse_witness_stack(std::span<const uint8_t>(enc.data(), len), parsed)) << len;
    Bytes longer = enc;
    longer.push_back(0);
    EXPECT_FALSE(tx::parse_witness_stack(longer, parsed));
    const Bytes empty_stack = {0x00};
    EXPECT_EQ(std::optional<size_t>(0), tx::parse_witness_stack(empty_stack, parsed));
    const Bytes wide_count = {0xFD, 0x01, 0x00, 0x00};
    EXPECT_FALSE(tx::parse_witness_stack(wide_count, parsed));
}

}  // namespace
}  // namespace qorvex::test
