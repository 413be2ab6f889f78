// Bitcoin transactions as the digests see them: a view of a transaction in
// memory, its serialization (written once, here, for every digest), its
// ids (BIP-144), and the signature hashes of segwit v0 (BIP-143) and
// Taproot (BIP-341, with the BIP-342 script-path extension).
//
// How to use it
//
//   A Transaction is a non-owning view: plain pointers into arrays the
//   caller keeps alive, laid out as the C interface receives them (one array
//   per field, indexed by input or output), so that the exported functions
//   build it without copying. Code inside the library builds one just as
//   easily on the stack, e.g. a one-input, one-output transaction:
//
//     const uint8_t* sig_script[] = {script_sig};   const size_t sig_len[] = {n};
//     tx::Transaction t;
//     t.version = 0;  t.lock_time = 0;
//     t.in  = {1, prev_txid32, &vout, &sequence, {sig_script, sig_len}, nullptr};
//     t.out = {1, &amount, {out_scripts, out_lens}};
//     uint8_t id[32];
//     tx::txid(t, id);
//
//   Then, for input i of t:
//     - txid / wtxid                      the BIP-144 ids of t itself;
//     - bip143_hashes + bip143_sighash    the segwit v0 digest, given the
//       script code and the amount of the spent output;
//     - taproot_sighash                   the BIP-341 / BIP-342 digest, given
//       SpentOutputs (amount and scriptPubKey of every spent output) and a
//       TaprootSpend (index, hash type, annex, script-path data);
//     - write_transaction / write_witness_stack serialize t (or one witness
//       stack) into any sink with put(const uint8_t*, size_t): a
//       Sha256Writer, a SizeCounter, a SpanWriter; parse_witness_stack
//       (tx_parse.h) reads a stack back into views of its items.
//
//   Nothing here allocates, throws or checks the contents of the arrays:
//   every pointer a count reaches must be valid (a null element of a
//   ByteStrings is allowed only with length 0). The checks that the
//   exported functions make on caller input are theirs.
//
// Integers are serialized little-endian; txids are hashed in the byte order
// given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "bitcoin/compact_size.h"
#include "support/bytes.h"

namespace qorvex::tx {

// ---------------------------------------------------------------------------
// The view.

// A list of byte strings as two parallel arrays: a pointer and a length per
// element. With data null every element is empty (lens is then not read).
struct ByteStrings {
    const uint8_t* const* data = nullptr;
    const size_t* lens = nullptr;

    std::span<const uint8_t> operator[](size_t i) const {
        if (data == nullptr || lens[i] == 0) return {};
        return {data[i], lens[i]};
    }
};

// One input's witness: count items.
struct WitnessStack {
    size_t count = 0;
    ByteStrings items;
};

struct Inputs {
    size_t count = 0;
    const uint8_t* prev_txids = nullptr;  // count x 32 bytes, contiguous
    const uint32_t* prev_vouts = nullptr;
    const uint32_t* sequences = nullptr;
    ByteStrings script_sigs;                  // data null: every scriptSig empty
    const WitnessStack* witnesses = nullptr;  // count stacks, or null: no witness
};

struct Outputs {
    size_t count = 0;
    const uint64_t* amounts = nullptr;
    ByteStrings scripts;
};

struct Transaction {
    int32_t version = 0;
    uint32_t lock_time = 0;
    Inputs in;
    Outputs out;

    // BIP-144: the witness serialization is used only when some input has a
    // non-empty witness stack.
    bool has_witness() const {
        if (in.witnesses == nullptr) return false;
        for (size_t i = 0; i < in.count; ++i)
            if (in.witnesses[i].count != 0) return true;
        return false;
    }
};

// The outputs the inputs spend, one per input: BIP-341 commits to all of
// them.
struct SpentOutputs {
    const uint64_t* amounts = nullptr;
    ByteStrings script_pubkeys;
};

// ---------------------------------------------------------------------------
// Sinks and serialization. A sink is anything with put(const uint8_t*,
// size_t).

// Counts the bytes a serialization takes.
struct SizeCounter {
    uint64_t size = 0;
    void put(const uint8_t*, size_t n) { size += n; }
};

// Writes into a fixed buffer. Bytes past its end are dropped and the writer
// remembers that it overflowed.
class SpanWriter {
public:
    explicit SpanWriter(std::span<uint8_t> out) : out_(out) {}
    void put(const uint8_t* p, size_t n) {
        if (n > out_.size() - pos_) {
            overflow_ = true;
            return;
        }
        if (n > 0) std::memcpy(out_.data() + pos_, p, n);
        pos_ += n;
    }
    size_t size() const { return pos_; }
    bool ok() const { return !overflow_; }

private:
    std::span<uint8_t> out_;
    size_t pos_ = 0;
    bool overflow_ = false;
};

template <typename Sink>
inline void put_le32(Sink& s, uint32_t v) {
    uint8_t b[4];
    store_le32(b, v);
    s.put(b, 4);
}

template <typename Sink>
inline void put_le64(Sink& s, uint64_t v) {
    uint8_t b[8];
    store_le64(b, v);
    s.put(b, 8);
}

template <typename Sink>
inline void put_compact_size(Sink& s, uint64_t v) {
    uint8_t b[compact_size::kMaxSize];
    s.put(b, compact_size::encode(v, b));
}

// A script or witness item: its compact size, then its bytes.
template <typename Sink>
inline void put_sized(Sink& s, std::span<const uint8_t> bytes) {
    put_compact_size(s, bytes.size());
    s.put(bytes.data(), bytes.size());
}

// The outpoint of input i: txid (32) and vout (4).
template <typename Sink>
inline void put_outpoint(Sink& s, const Inputs& in, size_t i) {
    s.put(in.prev_txids + 32 * i, 32);
    put_le32(s, in.prev_vouts[i]);
}

// Output i as a CTxOut: amount (8) and sized script.
template <typename Sink>
inline void put_output(Sink& s, const Outputs& out, size_t i) {
    put_le64(s, out.amounts[i]);
    put_sized(s, out.scripts[i]);
}

// A witness stack as BIP-144 serializes it: the item count, then each item
// sized. This is also the encoding of a BIP-322 simple signature.
template <typename Sink>
inline void write_witness_stack(Sink& s, const WitnessStack& w) {
    put_compact_size(s, w.count);
    for (size_t k = 0; k < w.count; ++k) put_sized(s, w.items[k]);
}

// The network serialization: the legacy form, or with with_witness and a
// witness present, the BIP-144 form (marker 0x00, flag 0x01, and the
// witness stacks before the lock time).
template <typename Sink>
inline void write_transaction(Sink& s, const Transaction& t, bool with_witness) {
    const bool witness = with_witness && t.has_witness();
    put_le32(s, static_cast<uint32_t>(t.version));
    if (witness) {
        const uint8_t marker_flag[2] = {0x00, 0x01};
        s.put(marker_flag, 2);
    }
    put_compact_size(s, t.in.count);
    for (size_t i = 0; i < t.in.count; ++i) {
        put_outpoint(s, t.in, i);
        put_sized(s, t.in.script_sigs[i]);
        put_le32(s, t.in.sequences[i]);
    }
    put_compact_size(s, t.out.count);
    for (size_t i = 0; i < t.out.count; ++i) put_output(s, t.out, i);
    if (witness)
        for (size_t i = 0; i < t.in.count; ++i) write_witness_stack(s, t.in.witnesses[i]);
    put_le32(s, t.lock_time);
}

// ---------------------------------------------------------------------------
// Ids (BIP-144).

// SHA256d of the serialization without witness.
void txid(const Transaction& t, uint8_t out32[32]);
// SHA256d of the serialization with witness; equal to the txid without one.
void wtxid(const Transaction& t, uint8_t out32[32]);

// The block's witness commitment: SHA256d(witness root || reserved value).
void witness_commitment(const uint8_t root32[32], const uint8_t reserved32[32], uint8_t out32[32]);

// ---------------------------------------------------------------------------
// Segwit v0 signature hash (BIP-143).

inline constexpr uint32_t kSighashAll = 0x01;
inline constexpr uint32_t kSighashNone = 0x02;
inline constexpr uint32_t kSighashSingle = 0x03;
inline constexpr uint32_t kSighashAnyoneCanPay = 0x80;

// The preimage fields as the exported function takes them: the caller has
// hashed the prevouts, sequences and outputs itself. The hash-type rules
// replace them by zeros where BIP-143 says so; for SINGLE, hash_outputs must
// already be the hash of the matching output (or zeros when there is none).
struct Bip143Fields {
    int32_t version = 0;
    const uint8_t* hash_prevouts = nullptr;  // 32
    const uint8_t* hash_sequence = nullptr;  // 32
    const uint8_t* outpoint_txid = nullptr;  // 32
    uint32_t outpoint_vout = 0;
    std::span<const uint8_t> script_code;  // without its length
    uint64_t amount = 0;
    uint32_t sequence = 0;
    const uint8_t* hash_outputs = nullptr;  // 32
    uint32_t lock_time = 0;
    uint32_t sighash_type = 0;  // serialized with all 32 bits
};

void bip143_sighash(const Bip143Fields& f, uint8_t out32[32]);

// hashPrevouts, hashSequence and hashOutputs (all outputs) of a
// transaction; shared by the digests of all its inputs.
struct Bip143Hashes {
    uint8_t prevouts[32];
    uint8_t sequence[32];
    uint8_t outputs[32];
};
void bip143_hashes(const Transaction& t, Bip143Hashes& out);

// hashOutputs for SIGHASH_SINGLE: SHA256d of output `index`, or zeros when
// the transaction has no such output.
void bip143_single_output_hash(const Transaction& t, size_t index, uint8_t out32[32]);

// The digest of input `index` (below t.in.count) spending `amount` with
// `script_code` (without its length; for P2WPKH see p2wpkh_script_code).
void bip143_sighash(const Transaction& t, const Bip143Hashes& h, size_t index, std::span<const uint8_t> script_code,
                    uint64_t amount, uint32_t sighash_type, uint8_t out32[32]);

// OP_DUP OP_HASH160 <20> OP_EQUALVERIFY OP_CHECKSIG.
inline constexpr size_t kP2wpkhScriptCodeSize = 25;
void p2wpkh_script_code(const uint8_t key_hash20[20], uint8_t out25[kP2wpkhScriptCodeSize]);

// ---------------------------------------------------------------------------
// Taproot signature hash (BIP-341; BIP-342 for the script path).

inline constexpr uint8_t kSighashDefault = 0x00;

// 0x00, 0x01, 0x02, 0x03, 0x81, 0x82, 0x83: the only types BIP-341 signs.
constexpr bool taproot_hash_type_valid(uint32_t hash_type) {
    return hash_type <= 0x03 || (hash_type >= 0x81 && hash_type <= 0x83);
}

// The BIP-342 extension of a script-path spend.
struct TapscriptData {
    const uint8_t* tapleaf_hash = nullptr;  // 32
    uint8_t key_version = 0;
    uint32_t codesep_pos = 0xFFFFFFFFu;  // none executed
};

struct TaprootSpend {
    size_t input_index = 0;
    uint8_t hash_type = kSighashDefault;
    std::span<const uint8_t> annex;               // empty: no annex (the 0x50 prefix is not checked)
    const TapscriptData* script_path = nullptr;  // null: key path
};

enum class TaprootCheck { ok, bad_index, bad_hash_type, single_without_output };

// What BIP-341 refuses to sign: an input that does not exist, a hash type
// outside the seven, SIGHASH_SINGLE without an output of the same index.
TaprootCheck check_taproot_spend(const Transaction& t, uint32_t hash_type, size_t input_index);

// sha_prevouts, sha_amounts, sha_scriptpubkeys, sha_sequences and
// sha_outputs: the single SHA-256 sub-hashes shared by every input's digest.
struct TaprootHashes {
    uint8_t prevouts[32];
    uint8_t amounts[32];
    uint8_t script_pubkeys[32];
    uint8_t sequences[32];
    uint8_t outputs[32];
};
void taproot_hashes(const Transaction& t, const SpentOutputs& spent, TaprootHashes& out);

// TaggedHash("TapSighash", 0x00 || SigMsg(...) [|| ext]). Takes the
// sub-hashes from `precomputed` when given, else computes only those the
// hash type needs. False (out32 untouched) when check_taproot_spend fails.
bool taproot_sighash(const Transaction& t, const SpentOutputs& spent, const TaprootSpend& spend, uint8_t out32[32],
                     const TaprootHashes* precomputed = nullptr);

}  // namespace qorvex::tx
