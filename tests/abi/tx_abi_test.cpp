// Transaction digests and ids through the exported interface: the BIP-143
// and BIP-341 published vectors, BIP-144 ids of the signed BIP-143
// transactions and of every malformed variant of them, the BIP-341
// hash-type table, and every code and message.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/tx_fields.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kBadHashType[] = "invalid taproot hash type";
constexpr char kSingleWithoutOutput[] = "SIGHASH_SINGLE without a matching output";
constexpr char kPlantedMessage[] = "privkey is zero or >= n";

Bytes sha256(const Bytes& m) {
    Bytes out(32);
    const uint8_t none = 0;
    EXPECT_EQ(0, qorvex_sha256(m.empty() ? &none : m.data(), m.size(), out.data()));
    return out;
}

Bytes sha256d(const Bytes& m) { return sha256(sha256(m)); }

Bytes tap_sighash(const Bytes& msg) {
    Bytes out(32);
    EXPECT_EQ(0, qorvex_tagged_hash("TapSighash", msg.data(), msg.size(), out.data()));
    return out;
}

Bytes le_bytes(uint64_t v, int n) {
    Bytes b;
    append_le(b, v, n);
    return b;
}

uint64_t load_le(const Bytes& b, size_t off, int n) {
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[off + static_cast<size_t>(i)];
    return v;
}

// A script as BIP-143 prints it, with its compact size: the bytes alone.
Bytes strip_compact(const Bytes& b) {
    const size_t skip = b[0] < 0xFD ? 1 : b[0] == 0xFD ? 3 : b[0] == 0xFE ? 5 : 9;
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(skip), b.end());
}

class TxAbi : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void plant_failure() {
        const Bytes zero(32, 0);
        Bytes out(33);
        ASSERT_EQ(2, qorvex_pubkey_create(ctx(), zero.data(), out.data()));
    }
    void expect_planted_failure() {
        EXPECT_EQ(2, qorvex_last_error(ctx()));
        EXPECT_STREQ(kPlantedMessage, qorvex_last_error_msg(ctx()));
    }

    int txid(const Bytes& tx, Bytes& out) {
        out.assign(32, 0xAA);
        const uint8_t none = 0;
        return qorvex_bip144_txid(ctx(), tx.empty() ? &none : tx.data(), tx.size(), out.data());
    }
    int wtxid(const Bytes& tx, Bytes& out) {
        out.assign(32, 0xAA);
        const uint8_t none = 0;
        return qorvex_bip144_wtxid(ctx(), tx.empty() ? &none : tx.data(), tx.size(), out.data());
    }
    // Both ids refuse tx with 5, zero their output and leave the context
    // as it was.
    void expect_refused(const Bytes& tx) {
        plant_failure();
        Bytes out;
        EXPECT_EQ(5, txid(tx, out));
        EXPECT_EQ(Bytes(32, 0), out);
        EXPECT_EQ(5, wtxid(tx, out));
        EXPECT_EQ(Bytes(32, 0), out);
        expect_planted_failure();
    }

    CtxPtr ctx_;
};

// ---------------------------------------------------------------------------
// BIP-143

const std::map<std::string, uint32_t> kHashTypeNames = {
    {"SIGHASH_ALL", 0x01},
    {"SIGHASH_NONE", 0x02},
    {"SIGHASH_SINGLE", 0x03},
    {"SIGHASH_ALL|SIGHASH_ANYONECANPAY", 0x81},
    {"SIGHASH_NONE|SIGHASH_ANYONECANPAY", 0x82},
    {"SIGHASH_SINGLE|SIGHASH_ANYONECANPAY", 0x83},
};

// Every sighash case of the BIP: the caller's aggregate hashes are computed
// here from the transaction (hashOutputs of all outputs, or of the matching
// one for SINGLE); the export applies the zeroing rules itself.
TEST_F(TxAbi, Bip143EverySighashCase) {
    const Json v = load_json_vectors("bip143/bip143_vectors.json");
    int cases = 0;
    for (const Json& ex : v["examples"].array()) {
        const TxFields f = parse_tx(from_hex(ex.has("unsigned_tx") ? ex["unsigned_tx"].str() : ex["tx"].str()));
        Bytes prevouts, sequences, outputs;
        for (const TxIn& in : f.ins) {
            append(prevouts, in.txid);
            append_le(prevouts, in.vout, 4);
            append_le(sequences, in.sequence, 4);
        }
        for (const TxOut& o : f.outs) {
            append_le(outputs, o.amount, 8);
            append_sized(outputs, o.script);
        }
        const Bytes hash_prevouts = sha256d(prevouts), hash_sequence = sha256d(sequences),
                    hash_outputs = sha256d(outputs);
        for (const Json& c : ex["sighash_cases"].array()) {
            SCOPED_TRACE(ex["name"].str() + " / " + c["nHashType_name"].str());
            ++cases;
            const size_t index = static_cast<size_t>(c["input_index"].integer());
            const uint32_t type = kHashTypeNames.at(c["nHashType_name"].str());
            const Bytes preimage = from_hex(c["preimage"].str());
            // The script code and the amount as the preimage holds them: the
            // case prints them separately where the BIP does.
            const Bytes script_code =
                strip_compact(Bytes(preimage.begin() + 104, preimage.end() - 52));
            const uint64_t amount = load_le(preimage, preimage.size() - 52, 8);
            if (c.has("scriptCode")) {
                EXPECT_EQ(from_hex(c["scriptCode"].str()), Bytes(preimage.begin() + 104, preimage.end() - 52));
                EXPECT_EQ(from_hex(c["amount"].str()), le_bytes(amount, 8));
            }
            Bytes single(32, 0);
            if (index < f.outs.size()) {
                Bytes o;
                append_le(o, f.outs[index].amount, 8);
                append_sized(o, f.outs[index].script);
                single = sha256d(o);
            }
            const Bytes& outs = (type & 0x1F) == 3 ? single : hash_outputs;
            Bytes digest(32, 0xAA);
            ASSERT_EQ(0, qorvex_bip143_sighash(ctx(), f.version, hash_prevouts.data(), hash_sequence.data(),
                                               f.ins[index].txid.data(), f.ins[index].vout, script_code.data(),
                                               script_code.size(), amount, f.ins[index].sequence, outs.data(),
                                               f.lock_time, type, digest.data()));
            EXPECT_EQ(from_hex(c["sigHash"].str()), digest);
            EXPECT_EQ(sha256d(preimage), digest);
            EXPECT_EQ(0, qorvex_last_error(ctx()));
        }
    }
    EXPECT_EQ(14, cases);
}

TEST_F(TxAbi, P2wpkhScriptCodeOfTheVectorKeys) {
    const Json v = load_json_vectors("bip143/bip143_vectors.json");
    int keys = 0;
    for (const Json& ex : v["examples"].array()) {
        if (!ex.has("inputs")) continue;
        for (const Json& in : ex["inputs"].array()) {
            const std::string kind = in["kind"].str();
            if (kind != "P2WPKH" && kind != "P2SH-P2WPKH") continue;
            ++keys;
            const Bytes pub = from_hex(in["public_key"].str());
            Bytes hash(20), code(QORVEX_P2WPKH_SCRIPT_CODE_SIZE + 1, 0xEE);
            ASSERT_EQ(0, qorvex_hash160(pub.data(), pub.size(), hash.data()));
            ASSERT_EQ(0, qorvex_bip143_p2wpkh_script_code(hash.data(), code.data()));
            EXPECT_EQ(0xEE, code.back());  // exactly 25 bytes written
            code.pop_back();
            const Json& c = ex["sighash_cases"][static_cast<size_t>(0)];
            EXPECT_EQ(strip_compact(from_hex(c["scriptCode"].str())), code);
        }
    }
    EXPECT_EQ(2, keys);
    Bytes hash(20, 0x11), code(25);
    EXPECT_EQ(1, qorvex_bip143_p2wpkh_script_code(nullptr, code.data()));
    EXPECT_EQ(1, qorvex_bip143_p2wpkh_script_code(hash.data(), nullptr));
    // The key hash may be read from the output buffer itself.
    Bytes overlap(25, 0);
    std::memcpy(overlap.data(), hash.data(), 20);
    ASSERT_EQ(0, qorvex_bip143_p2wpkh_script_code(overlap.data(), overlap.data()));
    ASSERT_EQ(0, qorvex_bip143_p2wpkh_script_code(hash.data(), code.data()));
    EXPECT_EQ(code, overlap);
}

TEST_F(TxAbi, Bip143NullArgumentsLeaveTheContext) {
    const Bytes h(32, 0x42);
    Bytes out(32, 0xAA);
    const uint8_t* p = h.data();
    const uint8_t* none = nullptr;
    struct Row {
        const char* what;
        qorvex_ctx* c;
        const uint8_t *prevouts, *sequence, *txid, *code, *outputs;
        uint8_t* out;
    };
    const Row rows[] = {
        {"ctx", nullptr, p, p, p, p, p, out.data()},  {"hashPrevouts", ctx(), none, p, p, p, p, out.data()},
        {"hashSequence", ctx(), p, none, p, p, p, out.data()}, {"txid", ctx(), p, p, none, p, p, out.data()},
        {"script code, length 0", ctx(), p, p, p, none, p, out.data()},
        {"hashOutputs", ctx(), p, p, p, p, none, out.data()}, {"output", ctx(), p, p, p, p, p, nullptr},
    };
    plant_failure();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(1, qorvex_bip143_sighash(r.c, 1, r.prevouts, r.sequence, r.txid, 0, r.code, 0, 0, 0, r.outputs, 0,
                                           1, r.out));
    }
    expect_planted_failure();
    EXPECT_EQ(Bytes(32, 0xAA), out);
}

// The hash-type rules, shown on one set of inputs: which aggregate hashes
// the digest keeps, and that all 32 bits of the type are serialized.
TEST_F(TxAbi, Bip143HashTypeRules) {
    const Bytes prevouts(32, 0x01), sequence(32, 0x02), txid(32, 0x03), outputs(32, 0x04), zero(32, 0);
    const Bytes code = {0x51};
    auto digest = [&](uint32_t type, const Bytes& hp, const Bytes& hs, const Bytes& ho) {
        Bytes out(32);
        EXPECT_EQ(0, qorvex_bip143_sighash(ctx(), 2, hp.data(), hs.data(), txid.data(), 7, code.data(), code.size(),
                                           1000, 0xFFFFFFFE, ho.data(), 99, type, out.data()));
        return out;
    };
    auto expected = [&](uint32_t type, const Bytes& hp, const Bytes& hs, const Bytes& ho) {
        Bytes m = le_bytes(2, 4);
        append(m, hp);
        append(m, hs);
        append(m, txid);
        append(m, le_bytes(7, 4));
        append_sized(m, code);
        append(m, le_bytes(1000, 8));
        append(m, le_bytes(0xFFFFFFFE, 4));
        append(m, ho);
        append(m, le_bytes(99, 4));
        append(m, le_bytes(type, 4));
        return sha256d(m);
    };
    struct Row {
        uint32_t type;
        bool keep_prevouts, keep_sequence, keep_outputs;
    };
    const Row rows[] = {
        {0x01, true, true, true},     {0x02, true, false, false},   {0x03, true, false, true},
        {0x81, false, false, true},   {0x82, false, false, false},  {0x83, false, false, true},
        {0x00, true, true, true},     {0x41, true, true, true},     {0x22, true, false, false},
        {0x01000003, true, false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.type);
        EXPECT_EQ(expected(r.type, r.keep_prevouts ? prevouts : zero, r.keep_sequence ? sequence : zero,
                           r.keep_outputs ? outputs : zero),
                  digest(r.type, prevouts, sequence, outputs));
    }
}

// ---------------------------------------------------------------------------
// BIP-144

// Every serialized transaction of the BIP-143 examples: the signed ones (in
// the witness form), and the unsigned ones (legacy form).
std::vector<std::pair<std::string, Bytes>> example_transactions() {
    const Json v = load_json_vectors("bip143/bip143_vectors.json");
    std::vector<std::pair<std::string, Bytes>> out;
    for (const Json& ex : v["examples"].array())
        for (const char* key : {"signed_tx", "signed_tx_swapped", "tx", "unsigned_tx"})
            if (ex.has(key)) out.emplace_back(ex["name"].str() + " / " + key, from_hex(ex[key].str()));
    return out;
}

TEST_F(TxAbi, Bip144IdsOfTheExampleTransactions) {
    int witness_form = 0;
    for (const auto& [name, tx] : example_transactions()) {
        SCOPED_TRACE(name);
        const TxFields f = parse_tx(tx);
        Bytes id, wid;
        plant_failure();
        ASSERT_EQ(0, txid(tx, id));
        ASSERT_EQ(0, wtxid(tx, wid));
        expect_planted_failure();  // never written, success included
        EXPECT_EQ(sha256d(serialize_tx(f, false)), id);
        EXPECT_EQ(sha256d(tx), wid);
        if (f.witness_form) {
            ++witness_form;
            EXPECT_NE(id, wid);
            // Its legacy serialization has the same txid, and there the
            // wtxid is the txid.
            const Bytes legacy = serialize_tx(f, false);
            Bytes id2, wid2;
            ASSERT_EQ(0, txid(legacy, id2));
            ASSERT_EQ(0, wtxid(legacy, wid2));
            EXPECT_EQ(id, id2);
            EXPECT_EQ(id, wid2);
        } else {
            EXPECT_EQ(id, wid);
        }
    }
    EXPECT_EQ(8, witness_form);
}

// A transaction cut anywhere, with a byte after its lock time, with any
// count or length claiming more than is there, or with any compact size in
// a longer form than needed: all refused.
TEST_F(TxAbi, Bip144RefusesTruncatedOverlongAndNonCanonical) {
    for (const auto& [name, tx] : example_transactions()) {
        SCOPED_TRACE(name);
        const TxFields f = parse_tx(tx);
        for (size_t len = 0; len < tx.size(); ++len) expect_refused(Bytes(tx.begin(), tx.begin() + static_cast<std::ptrdiff_t>(len)));
        Bytes longer = tx;
        longer.push_back(0x00);
        expect_refused(longer);

        for (const auto& [off, size] : f.compact_sizes) {
            SCOPED_TRACE("compact size at " + std::to_string(off));
            auto with_field = [&, off = off, size = size](const Bytes& field) {
                Bytes b(tx.begin(), tx.begin() + static_cast<std::ptrdiff_t>(off));
                append(b, field);
                b.insert(b.end(), tx.begin() + static_cast<std::ptrdiff_t>(off + size), tx.end());
                return b;
            };
            // More than the whole transaction holds.
            Bytes overlong;
            append_compact(overlong, tx.size() + 0x10000);
            expect_refused(with_field(overlong));
            // The same value, one form longer (FD xx xx for a byte, and so on).
            uint64_t value = tx[off];
            if (size > 1) value = load_le(tx, off + 1, static_cast<int>(size - 1));
            Bytes wide = {size == 1 ? uint8_t{0xFD} : size == 3 ? uint8_t{0xFE} : uint8_t{0xFF}};
            append(wide, le_bytes(value, size == 1 ? 2 : size == 3 ? 4 : 8));
            expect_refused(with_field(wide));
        }
    }
}

TEST_F(TxAbi, Bip144EdgeCases) {
    Bytes out;
    // Nine bytes are too few for any transaction.
    expect_refused(from_hex("010000000000000000"));
    // Ten bytes whose bytes 4 and 5 are not 00 01: no inputs, no outputs, a
    // lock time, hashed whole.
    const Bytes ten = from_hex("02000000000011223344");
    Bytes id, wid;
    ASSERT_EQ(0, txid(ten, id));
    ASSERT_EQ(0, wtxid(ten, wid));
    EXPECT_EQ(sha256d(ten), id);
    EXPECT_EQ(id, wid);
    // The witness form of the same (marker and flag, no inputs) has no
    // witness at all: BIP-144 wants the legacy form then.
    expect_refused(from_hex("0200000000010000" "11223344"));

    // A witness form whose every stack is empty is refused; one empty item
    // is a witness.
    const Json v = load_json_vectors("bip143/bip143_vectors.json");
    TxFields f = parse_tx(from_hex(v["examples"][static_cast<size_t>(0)]["signed_tx"].str()));
    Bytes empty_stacks = serialize_tx(f, false);
    empty_stacks.insert(empty_stacks.begin() + 4, {0x00, 0x01});
    empty_stacks.insert(empty_stacks.end() - 4, f.ins.size(), 0x00);
    expect_refused(empty_stacks);
    for (TxIn& in : f.ins) in.witness.clear();
    f.ins[1].witness.push_back({});
    const Bytes one_empty_item = serialize_tx(f, true);
    ASSERT_EQ(0, txid(one_empty_item, id));
    EXPECT_EQ(sha256d(serialize_tx(f, false)), id);

    // An input count past what the bytes could hold.
    expect_refused(from_hex("01000000" "fe00000001" "00" "00000000"));
}

TEST_F(TxAbi, Bip144NullArguments) {
    const Bytes tx = from_hex("02000000000011223344");
    Bytes out(32, 0xAA);
    plant_failure();
    for (auto* fn : {qorvex_bip144_txid, qorvex_bip144_wtxid}) {
        EXPECT_EQ(1, fn(nullptr, tx.data(), tx.size(), out.data()));
        EXPECT_EQ(1, fn(ctx(), nullptr, 0, out.data()));
        EXPECT_EQ(1, fn(ctx(), tx.data(), tx.size(), nullptr));
    }
    expect_planted_failure();
    EXPECT_EQ(Bytes(32, 0xAA), out);
}

// The id may be written over the transaction it is computed from.
TEST_F(TxAbi, Bip144OutputMayOverlapTheTransaction) {
    const Bytes tx = example_transactions().front().second;
    Bytes id, wid;
    ASSERT_EQ(0, txid(tx, id));
    ASSERT_EQ(0, wtxid(tx, wid));
    Bytes a = tx, b = tx;
    ASSERT_EQ(0, qorvex_bip144_txid(ctx(), a.data(), a.size(), a.data()));
    ASSERT_EQ(0, qorvex_bip144_wtxid(ctx(), b.data(), b.size(), b.data()));
    EXPECT_EQ(id, Bytes(a.begin(), a.begin() + 32));
    EXPECT_EQ(wid, Bytes(b.begin(), b.begin() + 32));
    Bytes bad = Bytes(tx.begin(), tx.end() - 1);
    EXPECT_EQ(5, qorvex_bip144_txid(ctx(), bad.data(), bad.size(), bad.data()));
    EXPECT_EQ(Bytes(32, 0), Bytes(bad.begin(), bad.begin() + 32));
}

TEST_F(TxAbi, WitnessCommitment) {
    const Bytes root(32, 0x5A), reserved(32, 0);
    Bytes out(32);
    ASSERT_EQ(0, qorvex_bip144_witness_commitment(root.data(), reserved.data(), out.data()));
    Bytes cat = root;
    append(cat, reserved);
    EXPECT_EQ(sha256d(cat), out);
    // In place over the root.
    Bytes inplace = root;
    ASSERT_EQ(0, qorvex_bip144_witness_commitment(inplace.data(), reserved.data(), inplace.data()));
    EXPECT_EQ(out, inplace);
    EXPECT_EQ(1, qorvex_bip144_witness_commitment(nullptr, reserved.data(), out.data()));
    EXPECT_EQ(1, qorvex_bip144_witness_commitment(root.data(), nullptr, out.data()));
    EXPECT_EQ(1, qorvex_bip144_witness_commitment(root.data(), reserved.data(), nullptr));
}

// ---------------------------------------------------------------------------
// BIP-341 / BIP-342

// The key-path spending vector: its transaction, the outputs it spends, and
// the arrays the exports take.
class Taproot : public TxAbi {
protected:
    void SetUp() override {
        TxAbi::SetUp();
        vec_ = load_json_vectors("bip341/wallet-test-vectors.json")["keyPathSpending"][static_cast<size_t>(0)];
        tx_ = parse_tx(from_hex(vec_["given"]["rawUnsignedTx"].str()));
        for (const Json& u : vec_["given"]["utxosSpent"].array())
            spent_.push_back(TxOut{static_cast<uint64_t>(u["amountSats"].integer()), from_hex(u["scriptPubKey"].str())});
        arrays_ = std::make_unique<TaprootArrays>(tx_, spent_);
    }

    int keypath(size_t index, int hash_type, const uint8_t* annex, size_t annex_len, Bytes& out) {
        const TaprootArrays& a = *arrays_;
        out.assign(32, 0xAA);
        return qorvex_taproot_keypath_sighash(ctx(), tx_.version, static_cast<int32_t>(tx_.lock_time), tx_.ins.size(),
                                              a.txids.data(), a.vouts.data(), a.amounts.data(), a.sequences.data(),
                                              a.spks.data(), a.spk_lens.data(), tx_.outs.size(), a.out_amounts.data(),
                                              a.out_scripts.data(), a.out_script_lens.data(), index, hash_type, annex,
                                              annex_len, out.data());
    }
    int tapscript(size_t index, int hash_type, const Bytes& leaf, uint8_t key_version, uint32_t codesep,
                  const uint8_t* annex, size_t annex_len, Bytes& out) {
        const TaprootArrays& a = *arrays_;
        out.assign(32, 0xAA);
        return qorvex_tapscript_sighash(ctx(), tx_.version, static_cast<int32_t>(tx_.lock_time), tx_.ins.size(),
                                        a.txids.data(), a.vouts.data(), a.amounts.data(), a.sequences.data(),
                                        a.spks.data(), a.spk_lens.data(), tx_.outs.size(), a.out_amounts.data(),
                                        a.out_scripts.data(), a.out_script_lens.data(), index, hash_type, leaf.data(),
                                        key_version, codesep, annex, annex_len, out.data());
    }
    Bytes reference(size_t index, uint8_t hash_type, const Bytes* annex, const Bytes* ext) {
        return tap_sighash(reference_sigmsg(tx_, spent_, index, hash_type, annex, ext, sha256));
    }

    Json vec_;
    TxFields tx_;
    std::vector<TxOut> spent_;
    std::unique_ptr<TaprootArrays> arrays_;
};

TEST_F(Taproot, KeyPathVectorEveryInput) {
    int inputs = 0;
    for (const Json& in : vec_["inputSpending"].array()) {
        const size_t index = static_cast<size_t>(in["given"]["txinIndex"].integer());
        const int hash_type = static_cast<int>(in["given"]["hashType"].integer());
        SCOPED_TRACE("input " + std::to_string(index) + ", hash type " + std::to_string(hash_type));
        ++inputs;
        const Bytes sig_msg = from_hex(in["intermediary"]["sigMsg"].str());
        const Bytes sig_hash = from_hex(in["intermediary"]["sigHash"].str());
        // The test's own message builder agrees with the vector ...
        EXPECT_EQ(sig_msg, reference_sigmsg(tx_, spent_, index, static_cast<uint8_t>(hash_type), nullptr, nullptr, sha256));
        EXPECT_EQ(sig_hash, tap_sighash(sig_msg));
        // ... and so does the export.
        Bytes digest;
        ASSERT_EQ(0, keypath(index, hash_type, nullptr, 0, digest));
        EXPECT_EQ(sig_hash, digest);

        // The witness signature verifies under the tweaked key with it.
        const Bytes witness = from_hex(in["expected"]["witness"][static_cast<size_t>(0)].str());
        ASSERT_EQ(hash_type == 0 ? 64u : 65u, witness.size());
        if (hash_type != 0) {
            EXPECT_EQ(hash_type, witness[64]);
        }
        const Bytes tweaked_key = from_hex(in["intermediary"]["tweakedPrivkey"].str());
        Bytes xonly(32);
        ASSERT_EQ(0, qorvex_pubkey_xonly(ctx(), tweaked_key.data(), xonly.data()));
        EXPECT_EQ(0, qorvex_schnorr_verify(ctx(), digest.data(), witness.data(), xonly.data()));
    }
    EXPECT_EQ(7, inputs);
}

// The BIP-341 hash types, one table: the seven valid ones sign (key path and
// script path, with and without an annex, each equal to the message built
// byte by byte), every other value is refused.
TEST_F(Taproot, HashTypeTable) {
    struct Row {
        int hash_type;
        int code;
        const char* message;
    };
    const Row rows[] = {
        {0x00, 0, nullptr},       {0x01, 0, nullptr},       {0x02, 0, nullptr},       {0x03, 0, nullptr},
        {0x81, 0, nullptr},       {0x82, 0, nullptr},       {0x83, 0, nullptr},       {0x04, 5, kBadHashType},
        {0x05, 5, kBadHashType},  {0x40, 5, kBadHashType},  {0x41, 5, kBadHashType},  {0x7F, 5, kBadHashType},
        {0x80, 5, kBadHashType},  {0x84, 5, kBadHashType},  {0xC1, 5, kBadHashType},  {0xFF, 5, kBadHashType},
        {0x100, 5, kBadHashType}, {0x101, 5, kBadHashType}, {0x181, 5, kBadHashType}, {-1, 5, kBadHashType},
        {INT_MAX, 5, kBadHashType}, {INT_MIN, 5, kBadHashType},
    };
    const Bytes annex = {0x50, 0x01, 0x02, 0x03};
    const Bytes leaf(32, 0x6C);
    Bytes ext = leaf;
    ext.push_back(0x00);
    append(ext, le_bytes(7, 4));
    for (const Row& r : rows) {
        SCOPED_TRACE("hash type " + std::to_string(r.hash_type));
        for (const bool with_annex : {false, true}) {
            const uint8_t* a = with_annex ? annex.data() : nullptr;
            const size_t alen = with_annex ? annex.size() : 0;
            Bytes key_digest, script_digest;
            const int rc_key = keypath(1, r.hash_type, a, alen, key_digest);
            EXPECT_EQ(r.code, rc_key);
            EXPECT_EQ(r.code, qorvex_last_error(ctx()));
            const int rc_script = tapscript(1, r.hash_type, leaf, 0x00, 7, a, alen, script_digest);
            EXPECT_EQ(r.code, rc_script);
            if (r.code != 0) {
                EXPECT_STREQ(r.message, qorvex_last_error_msg(ctx()));
                EXPECT_EQ(Bytes(32, 0xAA), key_digest);
                EXPECT_EQ(Bytes(32, 0xAA), script_digest);
                continue;
            }
            const auto ht = static_cast<uint8_t>(r.hash_type);
            EXPECT_EQ(reference(1, ht, with_annex ? &annex : nullptr, nullptr), key_digest);
            EXPECT_EQ(reference(1, ht, with_annex ? &annex : nullptr, &ext), script_digest);
        }
    }
}

// SIGHASH_SINGLE signs the output with the input's index: past the last
// output BIP-341 has nothing to sign.
TEST_F(Taproot, SingleNeedsAMatchingOutput) {
    ASSERT_EQ(2u, tx_.outs.size());
    for (const int type : {0x03, 0x83}) {
        SCOPED_TRACE(type);
        Bytes digest;
        EXPECT_EQ(0, keypath(1, type, nullptr, 0, digest));
        EXPECT_EQ(reference(1, static_cast<uint8_t>(type), nullptr, nullptr), digest);
        EXPECT_EQ(5, keypath(2, type, nullptr, 0, digest));
        EXPECT_STREQ(kSingleWithoutOutput, qorvex_last_error_msg(ctx()));
        EXPECT_EQ(Bytes(32, 0xAA), digest);
        EXPECT_EQ(5, tapscript(8, type, Bytes(32, 1), 0, 0xFFFFFFFF, nullptr, 0, digest));
        EXPECT_STREQ(kSingleWithoutOutput, qorvex_last_error_msg(ctx()));
    }
    // The other types sign input 8 of the 2-output transaction.
    for (const int type : {0x00, 0x01, 0x02, 0x81, 0x82}) {
        Bytes digest;
        EXPECT_EQ(0, keypath(8, type, nullptr, 0, digest));
        EXPECT_EQ(reference(8, static_cast<uint8_t>(type), nullptr, nullptr), digest);
    }
}

TEST_F(Taproot, DigestDetails) {
    Bytes d0, d1, with_empty_annex, plain;
    // The hash type byte is in the message: DEFAULT and ALL differ.
    ASSERT_EQ(0, keypath(0, 0x00, nullptr, 0, d0));
    ASSERT_EQ(0, keypath(0, 0x01, nullptr, 0, d1));
    EXPECT_NE(d0, d1);
    // An annex pointer with length 0 is no annex.
    const Bytes annex = {0x50};
    ASSERT_EQ(0, keypath(0, 0x00, annex.data(), 0, with_empty_annex));
    EXPECT_EQ(d0, with_empty_annex);
    ASSERT_EQ(0, keypath(0, 0x00, annex.data(), 1, plain));
    EXPECT_NE(d0, plain);
    // The key version and the code-separator position are committed to.
    const Bytes leaf(32, 0x33);
    Bytes s1, s2, s3;
    ASSERT_EQ(0, tapscript(0, 0, leaf, 0x00, 0xFFFFFFFF, nullptr, 0, s1));
    ASSERT_EQ(0, tapscript(0, 0, leaf, 0x01, 0xFFFFFFFF, nullptr, 0, s2));
    ASSERT_EQ(0, tapscript(0, 0, leaf, 0x00, 0, nullptr, 0, s3));
    EXPECT_NE(s1, s2);
    EXPECT_NE(s1, s3);
    EXPECT_NE(s1, d0);
    // The leaf hash may be the output buffer.
    Bytes inplace = leaf;
    const TaprootArrays& a = *arrays_;
    ASSERT_EQ(0, qorvex_tapscript_sighash(ctx(), tx_.version, static_cast<int32_t>(tx_.lock_time), tx_.ins.size(),
                                          a.txids.data(), a.vouts.data(), a.amounts.data(), a.sequences.data(),
                                          a.spks.data(), a.spk_lens.data(), tx_.outs.size(), a.out_amounts.data(),
                                          a.out_scripts.data(), a.out_script_lens.data(), 0, 0, inplace.data(), 0,
                                          0xFFFFFFFF, nullptr, 0, inplace.data()));
    EXPECT_EQ(s1, inplace);
}

// An empty script may come as a NULL element; one with bytes may not.
TEST_F(Taproot, NullScriptElements) {
    spent_[2].script.clear();
    tx_.outs[0].script.clear();
    arrays_ = std::make_unique<TaprootArrays>(tx_, spent_);
    Bytes expected;
    ASSERT_EQ(0, keypath(0, 0, nullptr, 0, expected));
    EXPECT_EQ(reference(0, 0, nullptr, nullptr), expected);
    arrays_->spks[2] = nullptr;
    arrays_->out_scripts[0] = nullptr;
    Bytes digest;
    ASSERT_EQ(0, keypath(0, 0, nullptr, 0, digest));
    EXPECT_EQ(expected, digest);
    plant_failure();
    arrays_->spk_lens[2] = 1;
    EXPECT_EQ(1, keypath(0, 0, nullptr, 0, digest));
    arrays_->spk_lens[2] = 0;
    arrays_->out_script_lens[0] = 1;
    EXPECT_EQ(1, keypath(0, 0, nullptr, 0, digest));
    EXPECT_EQ(1, tapscript(0, 0, Bytes(32), 0, 0, nullptr, 0, digest));
    expect_planted_failure();
}

TEST_F(Taproot, NullArgumentsAndIndexLeaveTheContext) {
    const TaprootArrays& a = *arrays_;
    const size_t n_in = tx_.ins.size(), n_out = tx_.outs.size();
    const Bytes leaf(32, 0x01);
    Bytes out(32, 0xAA);
    // Which argument is NULL, by position in the key-path list.
    for (int which = 0; which <= 10; ++which) {
        SCOPED_TRACE("argument " + std::to_string(which));
        auto pick = [&](int i, auto p) { return i == which ? nullptr : p; };
        qorvex_ctx* c = which == 0 ? nullptr : ctx();
        plant_failure();
        EXPECT_EQ(1, qorvex_taproot_keypath_sighash(
                         c, 2, 0, n_in, pick(1, a.txids.data()), pick(2, a.vouts.data()), pick(3, a.amounts.data()),
                         pick(4, a.sequences.data()), pick(5, a.spks.data()), pick(6, a.spk_lens.data()), n_out,
                         pick(7, a.out_amounts.data()), pick(8, a.out_scripts.data()),
                         pick(9, a.out_script_lens.data()), 0, 0, nullptr, 0, pick(10, out.data())));
        EXPECT_EQ(1, qorvex_tapscript_sighash(
                         c, 2, 0, n_in, pick(1, a.txids.data()), pick(2, a.vouts.data()), pick(3, a.amounts.data()),
                         pick(4, a.sequences.data()), pick(5, a.spks.data()), pick(6, a.spk_lens.data()), n_out,
                         pick(7, a.out_amounts.data()), pick(8, a.out_scripts.data()),
                         pick(9, a.out_script_lens.data()), 0, 0, leaf.data(), 0, 0, nullptr, 0,
                         pick(10, out.data())));
        expect_planted_failure();
    }
    plant_failure();
    EXPECT_EQ(1, qorvex_tapscript_sighash(ctx(), 2, 0, n_in, a.txids.data(), a.vouts.data(), a.amounts.data(),
                                          a.sequences.data(), a.spks.data(), a.spk_lens.data(), n_out,
                                          a.out_amounts.data(), a.out_scripts.data(), a.out_script_lens.data(), 0, 0,
                                          nullptr, 0, 0, nullptr, 0, out.data()));
    // An index past the inputs is refused before the context is cleared.
    Bytes digest;
    EXPECT_EQ(5, keypath(n_in, 0, nullptr, 0, digest));
    EXPECT_EQ(5, tapscript(n_in + 5, 0, leaf, 0, 0, nullptr, 0, digest));
    expect_planted_failure();
    EXPECT_EQ(Bytes(32, 0xAA), digest);
    EXPECT_EQ(Bytes(32, 0xAA), out);
}

}  // namespace
}  // namespace qorvex::test
