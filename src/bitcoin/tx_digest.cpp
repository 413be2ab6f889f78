#include "bitcoin/tx_digest.h"

#include <cstring>

#include "hash/sha256.h"
#include "hash/sha256_writer.h"
#include "hash/tagged_hash.h"

namespace qorvex::tx {

namespace {

// "TapSighash" is not one of the library's fixed tags; its midstate is made
// once, on first use.
const Sha256Context& tap_sighash_midstate() {
    static const Sha256Context ctx = [] {
        Sha256Context c;
        tagged_hash_init(c, "TapSighash");
        return c;
    }();
    return ctx;
}

// --- The sub-hashes, each a loop over one array or a pair of them. ---

template <typename Sink>
void put_all_outpoints(Sink& s, const Inputs& in) {
    for (size_t i = 0; i < in.count; ++i) put_outpoint(s, in, i);
}

template <typename Sink>
void put_all_sequences(Sink& s, const Inputs& in) {
    for (size_t i = 0; i < in.count; ++i) put_le32(s, in.sequences[i]);
}

template <typename Sink>
void put_all_outputs(Sink& s, const Outputs& out) {
    for (size_t i = 0; i < out.count; ++i) put_output(s, out, i);
}

void sha_prevouts(const Inputs& in, uint8_t out32[32]) {
    Sha256Writer w;
    put_all_outpoints(w, in);
    w.finish(out32);
}

void sha_amounts(const Inputs& in, const SpentOutputs& spent, uint8_t out32[32]) {
    Sha256Writer w;
    for (size_t i = 0; i < in.count; ++i) put_le64(w, spent.amounts[i]);
    w.finish(out32);
}

void sha_script_pubkeys(const Inputs& in, const SpentOutputs& spent, uint8_t out32[32]) {
    Sha256Writer w;
    for (size_t i = 0; i < in.count; ++i) put_sized(w, spent.script_pubkeys[i]);
    w.finish(out32);
}

void sha_sequences(const Inputs& in, uint8_t out32[32]) {
    Sha256Writer w;
    put_all_sequences(w, in);
    w.finish(out32);
}

void sha_outputs(const Outputs& out, uint8_t out32[32]) {
    Sha256Writer w;
    put_all_outputs(w, out);
    w.finish(out32);
}

void sha_single_output(const Outputs& out, size_t i, uint8_t out32[32]) {
    Sha256Writer w;
    put_output(w, out, i);
    w.finish(out32);
}

}  // namespace

// ---------------------------------------------------------------------------
// Ids.

void txid(const Transaction& t, uint8_t out32[32]) {
    Sha256Writer w;
    write_transaction(w, t, false);
    w.finish_double(out32);
}

void wtxid(const Transaction& t, uint8_t out32[32]) {
    Sha256Writer w;
    write_transaction(w, t, true);
    w.finish_double(out32);
}

void witness_commitment(const uint8_t root32[32], const uint8_t reserved32[32], uint8_t out32[32]) {
    Sha256Writer w;
    w.put(root32, 32);
    w.put(reserved32, 32);
    w.finish_double(out32);
}

// ---------------------------------------------------------------------------
// BIP-143.

void bip143_sighash(const Bip143Fields& f, uint8_t out32[32]) {
    static constexpr uint8_t kZero[32] = {};
    const uint32_t base = f.sighash_type & 0x1F;
    const bool anyone_can_pay = (f.sighash_type & kSighashAnyoneCanPay) != 0;
    const bool none_or_single = base == kSighashNone || base == kSighashSingle;

    Sha256Writer w;
    put_le32(w, static_cast<uint32_t>(f.version));
    w.put(anyone_can_pay ? kZero : f.hash_prevouts, 32);
    w.put(anyone_can_pay || none_or_single ? kZero : f.hash_sequence, 32);
    w.put(f.outpoint_txid, 32);
    put_le32(w, f.outpoint_vout);
    put_sized(w, f.script_code);
    put_le64(w, f.amount);
    put_le32(w, f.sequence);
    w.put(base == kSighashNone ? kZero : f.hash_outputs, 32);
    put_le32(w, f.lock_time);
    put_le32(w, f.sighash_type);
    w.finish_double(out32);
}

void bip143_hashes(const Transaction& t, Bip143Hashes& out) {
    {
        Sha256Writer w;
        put_all_outpoints(w, t.in);
        w.finish_double(out.prevouts);
    }
    {
        Sha256Writer w;
        put_all_sequences(w, t.in);
        w.finish_double(out.sequence);
    }
    {
        Sha256Writer w;
        put_all_outputs(w, t.out);
        w.finish_double(out.outputs);
    }
}

void bip143_single_output_hash(const Transaction& t, size_t index, uint8_t out32[32]) {
    if (index >= t.out.count) {
        std::memset(out32, 0, 32);
        return;
    }
    Sha256Writer w;
    put_output(w, t.out, index);
    w.finish_double(out32);
}

void bip143_sighash(const Transaction& t, const Bip143Hashes& h, size_t index, std::span<const uint8_t> script_code,
                    uint64_t amount, uint32_t sighash_type, uint8_t out32[32]) {
    // hashOutputs: all outputs, the matching one for SINGLE (zeros past the
    // last output), and zeros for NONE, which the fields digest applies.
    uint8_t single[32];
    const uint32_t base = sighash_type & 0x1F;
    const uint8_t* hash_outputs = h.outputs;
    if (base == kSighashSingle) {
        bip143_single_output_hash(t, index, single);
        hash_outputs = single;
    }
    Bip143Fields f;
    f.version = t.version;
    f.hash_prevouts = h.prevouts;
    f.hash_sequence = h.sequence;
    f.outpoint_txid = t.in.prev_txids + 32 * index;
    f.outpoint_vout = t.in.prev_vouts[index];
    f.script_code = script_code;
    f.amount = amount;
    f.sequence = t.in.sequences[index];
    f.hash_outputs = hash_outputs;
    f.lock_time = t.lock_time;
    f.sighash_type = sighash_type;
    bip143_sighash(f, out32);
}

void p2wpkh_script_code(const uint8_t key_hash20[20], uint8_t out25[kP2wpkhScriptCodeSize]) {
    // Written front to back after the hash is read, so out25 may overlap it.
    uint8_t hash[20];
    std::memcpy(hash, key_hash20, 20);
    out25[0] = 0x76;  // OP_DUP
    out25[1] = 0xA9;  // OP_HASH160
    out25[2] = 0x14;  // push 20
    std::memcpy(out25 + 3, hash, 20);
    out25[23] = 0x88;  // OP_EQUALVERIFY
    out25[24] = 0xAC;  // OP_CHECKSIG
}

// ---------------------------------------------------------------------------
// BIP-341 / BIP-342.

TaprootCheck check_taproot_spend(const Transaction& t, uint32_t hash_type, size_t input_index) {
    if (input_index >= t.in.count) return TaprootCheck::bad_index;
    if (!taproot_hash_type_valid(hash_type)) return TaprootCheck::bad_hash_type;
    if ((hash_type & 3) == kSighashSingle && input_index >= t.out.count) return TaprootCheck::single_without_output;
    return TaprootCheck::ok;
}

void taproot_hashes(const Transaction& t, const SpentOutputs& spent, TaprootHashes& out) {
    sha_prevouts(t.in, out.prevouts);
    sha_amounts(t.in, spent, out.amounts);
    sha_script_pubkeys(t.in, spent, out.script_pubkeys);
    sha_sequences(t.in, out.sequences);
    sha_outputs(t.out, out.outputs);
}

bool taproot_sighash(const Transaction& t, const SpentOutputs& spent, const TaprootSpend& spend, uint8_t out32[32],
                     const TaprootHashes* precomputed) {
    if (check_taproot_spend(t, spend.hash_type, spend.input_index) != TaprootCheck::ok) return false;
    const uint8_t hash_type = spend.hash_type;
    // SIGHASH_DEFAULT signs as ALL.
    const uint8_t output_type = hash_type == kSighashDefault ? kSighashAll : (hash_type & 3);
    const bool anyone_can_pay = (hash_type & kSighashAnyoneCanPay) != 0;
    const bool has_annex = !spend.annex.empty();
    const size_t i = spend.input_index;

    Sha256Writer w(tap_sighash_midstate());
    const uint8_t epoch_and_type[2] = {0x00, hash_type};
    w.put(epoch_and_type, 2);
    put_le32(w, static_cast<uint32_t>(t.version));
    put_le32(w, t.lock_time);

    uint8_t h[32];
    if (!anyone_can_pay) {
        if (precomputed) {
            w.put(precomputed->prevouts, 32);
            w.put(precomputed->amounts, 32);
            w.put(precomputed->script_pubkeys, 32);
            w.put(precomputed->sequences, 32);
        } else {
            sha_prevouts(t.in, h);
            w.put(h, 32);
            sha_amounts(t.in, spent, h);
            w.put(h, 32);
            sha_script_pubkeys(t.in, spent, h);
            w.put(h, 32);
            sha_sequences(t.in, h);
            w.put(h, 32);
        }
    }
    if (output_type == kSighashAll) {
        if (precomputed) {
            w.put(precomputed->outputs, 32);
        } else {
            sha_outputs(t.out, h);
            w.put(h, 32);
        }
    }

    const uint8_t ext_flag = spend.script_path ? 1 : 0;
    w.put_byte(static_cast<uint8_t>(2 * ext_flag + (has_annex ? 1 : 0)));
    if (anyone_can_pay) {
        put_outpoint(w, t.in, i);
        put_le64(w, spent.amounts[i]);
        put_sized(w, spent.script_pubkeys[i]);
        put_le32(w, t.in.sequences[i]);
    } else {
        put_le32(w, static_cast<uint32_t>(i));
    }
    if (has_annex) {
        Sha256Writer a;
        put_sized(a, spend.annex);
        a.finish(h);
        w.put(h, 32);
    }
    if (output_type == kSighashSingle) {
        sha_single_output(t.out, i, h);
        w.put(h, 32);
    }
    if (spend.script_path) {
        w.put(spend.script_path->tapleaf_hash, 32);
        w.put_byte(spend.script_path->key_version);
        put_le32(w, spend.script_path->codesep_pos);
    }
    w.finish(out32);
    return true;
}

}  // namespace qorvex::tx
