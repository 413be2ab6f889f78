// BIP-144 ids of untrusted serialized transactions.
//
// Input: a mode byte. Even: the rest is a serialized transaction, given to
// both id functions as it is. Odd: the rest describes a transaction
// (fuzz_tx.h), which the target serializes itself, in the witness form when
// it has a witness: the ids must be the double SHA-256 of the target's own
// legacy and full serializations, the library's in-memory view of the same
// transaction must give them too, and the serialization one byte shorter or
// longer must be refused.
#include "bitcoin/tx_digest.h"
#include "bitcoin/tx_parse.h"
#include "fuzz_tx.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_bip144_txid, qorvex_bip144_wtxid);

namespace {

struct Ids {
    int rc_txid, rc_wtxid;
    Bytes txid, wtxid;
};

Ids ids_of(const Bytes& tx) {
    qorvex_ctx* c = ctx();
    Ids r{0, 0, Bytes(32, 0xAA), Bytes(32, 0xAA)};
    const uint8_t none = 0;
    const uint8_t* p = tx.empty() ? &none : tx.data();
    r.rc_txid = qorvex_bip144_txid(c, p, tx.size(), r.txid.data());
    r.rc_wtxid = qorvex_bip144_wtxid(c, p, tx.size(), r.wtxid.data());
    FUZZ_CHECK(r.rc_txid == QORVEX_OK || r.rc_txid == QORVEX_ERR_BAD_INPUT);
    // Both functions parse the same way.
    FUZZ_CHECK(r.rc_txid == r.rc_wtxid);
    if (r.rc_txid != QORVEX_OK) {
        FUZZ_CHECK(r.txid == Bytes(32, 0));
        FUZZ_CHECK(r.wtxid == Bytes(32, 0));
    }
    return r;
}

void raw_mode(const Bytes& tx) {
    const Ids r = ids_of(tx);
    if (r.rc_txid != QORVEX_OK) return;
    const bool witness_form = tx[4] == 0x00 && tx[5] == 0x01;
    FUZZ_CHECK(r.wtxid == sha256d(tx));
    if (!witness_form) FUZZ_CHECK(r.txid == r.wtxid);
    // Exactly one length parses: one byte less or more is refused.
    FUZZ_CHECK(ids_of(Bytes(tx.begin(), tx.end() - 1)).rc_txid == QORVEX_ERR_BAD_INPUT);
    Bytes longer = tx;
    longer.push_back(0x00);
    FUZZ_CHECK(ids_of(longer).rc_txid == QORVEX_ERR_BAD_INPUT);
}

// The library's view of t, over arrays built here.
void in_memory_ids(const FuzzTx& t, uint8_t txid[32], uint8_t wtxid[32]) {
    Bytes txids;
    std::vector<uint32_t> vouts, sequences;
    std::vector<const uint8_t*> sig_ptrs, out_ptrs;
    std::vector<size_t> sig_lens, out_lens;
    std::vector<uint64_t> amounts;
    std::vector<std::vector<const uint8_t*>> item_ptrs;
    std::vector<std::vector<size_t>> item_lens;
    for (const FuzzIn& x : t.ins) {
        put_all(txids, x.txid);
        vouts.push_back(x.vout);
        sequences.push_back(x.sequence);
        sig_ptrs.push_back(x.script_sig.data());
        sig_lens.push_back(x.script_sig.size());
        auto& ptrs = item_ptrs.emplace_back();
        auto& lens = item_lens.emplace_back();
        for (const Bytes& item : x.witness) {
            ptrs.push_back(item.data());
            lens.push_back(item.size());
        }
    }
    std::vector<qorvex::tx::WitnessStack> stacks;
    for (size_t i = 0; i < t.ins.size(); ++i)
        stacks.push_back({t.ins[i].witness.size(), {item_ptrs[i].data(), item_lens[i].data()}});
    for (const FuzzOut& o : t.outs) {
        amounts.push_back(o.amount);
        out_ptrs.push_back(o.script.data());
        out_lens.push_back(o.script.size());
    }
    qorvex::tx::Transaction v;
    v.version = static_cast<int32_t>(t.version);
    v.lock_time = t.lock_time;
    v.in = {t.ins.size(), txids.data(), vouts.data(), sequences.data(), {sig_ptrs.data(), sig_lens.data()},
            stacks.data()};
    v.out = {t.outs.size(), amounts.data(), {out_ptrs.data(), out_lens.data()}};
    qorvex::tx::txid(v, txid);
    qorvex::tx::wtxid(v, wtxid);
}

void built_mode(Input& in) {
    const FuzzTx t = FuzzTx::read(in);
    const Bytes legacy = t.serialize(false);
    const Bytes full = t.serialize(true);
    const Bytes expected_txid = sha256d(legacy);
    const Bytes expected_wtxid = sha256d(full);

    const Ids from_full = ids_of(full);
    FUZZ_CHECK(from_full.rc_txid == QORVEX_OK);
    FUZZ_CHECK(from_full.txid == expected_txid);
    FUZZ_CHECK(from_full.wtxid == expected_wtxid);
    FUZZ_CHECK((from_full.txid != from_full.wtxid) == t.has_witness());
    const Ids from_legacy = ids_of(legacy);
    FUZZ_CHECK(from_legacy.rc_txid == QORVEX_OK);
    FUZZ_CHECK(from_legacy.txid == expected_txid);
    FUZZ_CHECK(from_legacy.wtxid == expected_txid);

    uint8_t txid[32], wtxid[32];
    in_memory_ids(t, txid, wtxid);
    FUZZ_CHECK(Bytes(txid, txid + 32) == expected_txid);
    FUZZ_CHECK(Bytes(wtxid, wtxid + 32) == expected_wtxid);

    FUZZ_CHECK(ids_of(Bytes(full.begin(), full.end() - 1)).rc_txid == QORVEX_ERR_BAD_INPUT);
    Bytes longer = full;
    longer.push_back(0x00);
    FUZZ_CHECK(ids_of(longer).rc_txid == QORVEX_ERR_BAD_INPUT);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint8_t mode = in.byte();
    if (mode & 1)
        built_mode(in);
    else
        raw_mode(Bytes(in.rest(), in.rest() + in.rest_size()));
    return 0;
}
