// Transaction digests and ids: BIP-143, BIP-144 and the BIP-341 / BIP-342
// signature hashes.
#include <cstring>
#include <span>

#include "abi/frame.h"
#include "bitcoin/tx_digest.h"
#include "bitcoin/tx_parse.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kBadHashType[] = "invalid taproot hash type";
constexpr char kSingleWithoutOutput[] = "SIGHASH_SINGLE without a matching output";

// Every element a count reaches has bytes behind it, unless it is empty.
bool elements_present(const uint8_t* const* data, const size_t* lens, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (data[i] == nullptr && lens[i] != 0) return false;
    return true;
}

// The arrays of a Taproot digest call, as the two exports take them.
struct TaprootArgs {
    int32_t version;
    int32_t lock_time;
    size_t input_count;
    const uint8_t* prevout_txids;
    const uint32_t* prevout_vouts;
    const uint64_t* amounts;
    const uint32_t* sequences;
    const uint8_t* const* script_pubkeys;
    const size_t* script_pubkey_lens;
    size_t output_count;
    const uint64_t* output_amounts;
    const uint8_t* const* output_scripts;
    const size_t* output_script_lens;
    size_t input_index;
    int hash_type;
    const uint8_t* annex;
    size_t annex_len;

    bool pointers_present() const {
        return prevout_txids && prevout_vouts && amounts && sequences && script_pubkeys && script_pubkey_lens &&
               output_amounts && output_scripts && output_script_lens &&
               elements_present(script_pubkeys, script_pubkey_lens, input_count) &&
               elements_present(output_scripts, output_script_lens, output_count);
    }
};

// The shared body after the pointer checks: the index (a selector, checked
// before the context is cleared), then the hash-type rules BIP-341 refuses
// to sign past.
int taproot_frame(qorvex_ctx* ctx, const TaprootArgs& a, const tx::TapscriptData* script_path, uint8_t* out32) {
    if (a.input_index >= a.input_count) return QORVEX_ERR_BAD_INPUT;
    clear_error(ctx);

    tx::Transaction t;
    t.version = a.version;
    t.lock_time = static_cast<uint32_t>(a.lock_time);
    t.in.count = a.input_count;
    t.in.prev_txids = a.prevout_txids;
    t.in.prev_vouts = a.prevout_vouts;
    t.in.sequences = a.sequences;
    t.out = {a.output_count, a.output_amounts, {a.output_scripts, a.output_script_lens}};
    const tx::SpentOutputs spent{a.amounts, {a.script_pubkeys, a.script_pubkey_lens}};

    // The whole int is the hash type: a value that only its low byte would
    // make valid is refused too.
    const uint32_t hash_type = a.hash_type < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(a.hash_type);
    switch (tx::check_taproot_spend(t, hash_type, a.input_index)) {
        case tx::TaprootCheck::ok: break;
        case tx::TaprootCheck::bad_index: return set_error(ctx, ErrorCode::BadInput);
        case tx::TaprootCheck::bad_hash_type: return set_error(ctx, ErrorCode::BadInput, kBadHashType);
        case tx::TaprootCheck::single_without_output:
            return set_error(ctx, ErrorCode::BadInput, kSingleWithoutOutput);
    }

    tx::TaprootSpend spend;
    spend.input_index = a.input_index;
    spend.hash_type = static_cast<uint8_t>(hash_type);
    if (a.annex != nullptr && a.annex_len != 0) spend.annex = {a.annex, a.annex_len};
    spend.script_path = script_path;
    if (!tx::taproot_sighash(t, spent, spend, out32)) return set_error(ctx, ErrorCode::Internal, kInternalError);
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_bip143_p2wpkh_script_code(const uint8_t* key_hash20, uint8_t* out25) {
    if (!key_hash20 || !out25) return QORVEX_ERR_NULL_ARG;
    tx::p2wpkh_script_code(key_hash20, out25);
    return QORVEX_OK;
}

QORVEX_API int qorvex_bip143_sighash(qorvex_ctx* ctx, int32_t version, const uint8_t* hash_prevouts32,
                                     const uint8_t* hash_sequence32, const uint8_t* outpoint_txid32,
                                     uint32_t outpoint_vout, const uint8_t* script_code, size_t script_code_len,
                                     uint64_t amount, uint32_t sequence, const uint8_t* hash_outputs32,
                                     uint32_t lock_time, uint32_t sighash_type, uint8_t* out32) {
    if (!ctx || !hash_prevouts32 || !hash_sequence32 || !outpoint_txid32 || !script_code || !hash_outputs32 ||
        !out32)
        return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    tx::Bip143Fields f;
    f.version = version;
    f.hash_prevouts = hash_prevouts32;
    f.hash_sequence = hash_sequence32;
    f.outpoint_txid = outpoint_txid32;
    f.outpoint_vout = outpoint_vout;
    f.script_code = {script_code, script_code_len};
    f.amount = amount;
    f.sequence = sequence;
    f.hash_outputs = hash_outputs32;
    f.lock_time = lock_time;
    f.sighash_type = sighash_type;
    tx::bip143_sighash(f, out32);
    return QORVEX_OK;
}

// The id functions report malformed input by their code alone and leave the
// context as it was. The output is zeroed only once the bytes have been
// read, since it may overlap them.
QORVEX_API int qorvex_bip144_txid(qorvex_ctx* ctx, const uint8_t* tx_bytes, size_t tx_len, uint8_t* out32) {
    if (!ctx || !tx_bytes || !out32) return QORVEX_ERR_NULL_ARG;
    if (tx::serialized_txid({tx_bytes, tx_len}, out32)) return QORVEX_OK;
    std::memset(out32, 0, 32);
    return QORVEX_ERR_BAD_INPUT;
}

QORVEX_API int qorvex_bip144_wtxid(qorvex_ctx* ctx, const uint8_t* tx_bytes, size_t tx_len, uint8_t* out32) {
    if (!ctx || !tx_bytes || !out32) return QORVEX_ERR_NULL_ARG;
    if (tx::serialized_wtxid({tx_bytes, tx_len}, out32)) return QORVEX_OK;
    std::memset(out32, 0, 32);
    return QORVEX_ERR_BAD_INPUT;
}

QORVEX_API int qorvex_bip144_witness_commitment(const uint8_t* witness_root32, const uint8_t* reserved32,
                                                uint8_t* out32) {
    if (!witness_root32 || !reserved32 || !out32) return QORVEX_ERR_NULL_ARG;
    tx::witness_commitment(witness_root32, reserved32, out32);
    return QORVEX_OK;
}

QORVEX_API int qorvex_taproot_keypath_sighash(qorvex_ctx* ctx, int32_t version, int32_t lock_time,
                                              size_t input_count, const uint8_t* prevout_txids,
                                              const uint32_t* prevout_vouts, const uint64_t* amounts,
                                              const uint32_t* sequences, const uint8_t* const* script_pubkeys,
                                              const size_t* script_pubkey_lens, size_t output_count,
                                              const uint64_t* output_amounts, const uint8_t* const* output_scripts,
                                              const size_t* output_script_lens, size_t input_index, int hash_type,
                                              const uint8_t* annex, size_t annex_len, uint8_t* out32) {
    const TaprootArgs a{version,        lock_time,          input_count,    prevout_txids,  prevout_vouts,
                        amounts,        sequences,          script_pubkeys, script_pubkey_lens,
                        output_count,   output_amounts,     output_scripts, output_script_lens,
                        input_index,    hash_type,          annex,          annex_len};
    if (!ctx || !out32 || !a.pointers_present()) return QORVEX_ERR_NULL_ARG;
    return taproot_frame(ctx, a, nullptr, out32);
}

QORVEX_API int qorvex_tapscript_sighash(qorvex_ctx* ctx, int32_t version, int32_t lock_time, size_t input_count,
                                        const uint8_t* prevout_txids, const uint32_t* prevout_vouts,
                                        const uint64_t* amounts, const uint32_t* sequences,
                                        const uint8_t* const* script_pubkeys, const size_t* script_pubkey_lens,
                                        size_t output_count, const uint64_t* output_amounts,
                                        const uint8_t* const* output_scripts, const size_t* output_script_lens,
                                        size_t input_index, int hash_type, const uint8_t* tapleaf_hash32,
                                        uint8_t key_version, uint32_t codesep_pos, const uint8_t* annex,
                                        size_t annex_len, uint8_t* out32) {
    const TaprootArgs a{version,        lock_time,          input_count,    prevout_txids,  prevout_vouts,
                        amounts,        sequences,          script_pubkeys, script_pubkey_lens,
                        output_count,   output_amounts,     output_scripts, output_script_lens,
                        input_index,    hash_type,          annex,          annex_len};
    if (!ctx || !tapleaf_hash32 || !out32 || !a.pointers_present()) return QORVEX_ERR_NULL_ARG;
    // The leaf hash may share memory with the output: it is read before
    // the digest is written.
    const tx::TapscriptData ext{tapleaf_hash32, key_version, codesep_pos};
    return taproot_frame(ctx, a, &ext, out32);
}

}  // extern "C"
