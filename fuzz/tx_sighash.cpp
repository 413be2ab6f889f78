// Signature digests of untrusted transaction data: BIP-143 (with the P2WPKH
// script code and the block witness commitment) and the BIP-341 / BIP-342
// Taproot digests, each compared with the message the target builds itself
// byte by byte.
//
// Input: a transaction (fuzz_tx.h), then an input index byte, a hash type
// (4 bytes, little-endian, as the int the Taproot exports take: mostly a
// valid type, any value otherwise), an annex length byte and the annex, a
// tapleaf hash (32), a key version byte and a code-separator position (4),
// then 84 bytes for BIP-143 (hashPrevouts, hashSequence, hashOutputs and a
// 20-byte key hash) and 32 for the witness reserved value.
#include "fuzz_tx.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_taproot_keypath_sighash, qorvex_tapscript_sighash, qorvex_bip143_sighash,
                    qorvex_bip143_p2wpkh_script_code, qorvex_bip144_witness_commitment);

namespace {

bool valid_taproot_type(int t) { return (t >= 0 && t <= 3) || (t >= 0x81 && t <= 0x83); }

Bytes sigmsg(const FuzzTx& t, size_t index, uint8_t hash_type, const Bytes& annex, const Bytes* ext) {
    const uint8_t output_type = hash_type == 0 ? 1 : (hash_type & 3);
    const bool acp = (hash_type & 0x80) != 0;
    Bytes m;
    m.reserve(256);
    m.push_back(0x00);  // epoch
    m.push_back(hash_type);
    put_le(m, t.version, 4);
    put_le(m, t.lock_time, 4);
    if (!acp) {
        Bytes prevouts, amounts, spks, seqs;
        for (const FuzzIn& x : t.ins) {
            put_all(prevouts, x.txid);
            put_le(prevouts, x.vout, 4);
            put_le(amounts, x.spent_amount, 8);
            put_sized(spks, x.spent_script);
            put_le(seqs, x.sequence, 4);
        }
        for (const Bytes* b : {&prevouts, &amounts, &spks, &seqs}) put_all(m, sha256(*b));
    }
    if (output_type == 1) {
        Bytes outs;
        for (const FuzzOut& o : t.outs) {
            put_le(outs, o.amount, 8);
            put_sized(outs, o.script);
        }
        put_all(m, sha256(outs));
    }
    m.push_back(static_cast<uint8_t>((ext ? 2 : 0) + (annex.empty() ? 0 : 1)));
    const FuzzIn& x = t.ins[index];
    if (acp) {
        put_all(m, x.txid);
        put_le(m, x.vout, 4);
        put_le(m, x.spent_amount, 8);
        put_sized(m, x.spent_script);
        put_le(m, x.sequence, 4);
    } else {
        put_le(m, index, 4);
    }
    if (!annex.empty()) {
        Bytes a;
        put_sized(a, annex);
        put_all(m, sha256(a));
    }
    if (output_type == 3) {
        Bytes o;
        put_le(o, t.outs[index].amount, 8);
        put_sized(o, t.outs[index].script);
        put_all(m, sha256(o));
    }
    if (ext) put_all(m, *ext);
    return m;
}

Bytes tap_sighash(const Bytes& m) {
    Bytes out(32);
    FUZZ_CHECK(qorvex_tagged_hash("TapSighash", m.data(), m.size(), out.data()) == QORVEX_OK);
    return out;
}

void taproot(const FuzzTx& t, Input& in) {
    qorvex_ctx* c = ctx();
    const size_t index = in.byte() % (t.ins.size() + 1);  // one past the end too
    uint8_t tb[4];
    in.bytes(tb, 4);
    static const int kTypes[] = {0x00, 0x01, 0x02, 0x03, 0x81, 0x82, 0x83};
    const int hash_type = tb[3] & 0x80 ? static_cast<int>(uint32_t{tb[0]} | uint32_t{tb[1]} << 8 |
                                                           uint32_t{tb[2]} << 16 | uint32_t{tb[3]} << 24)
                                       : kTypes[tb[0] % 7];
    Bytes annex(in.byte() % 40);
    in.bytes(annex.data(), annex.size());
    Bytes ext(32 + 1 + 4);
    in.bytes(ext.data(), ext.size());
    const uint8_t key_version = ext[32];
    const uint32_t codesep = uint32_t{ext[33]} | uint32_t{ext[34]} << 8 | uint32_t{ext[35]} << 16 |
                             uint32_t{ext[36]} << 24;

    const TaprootArrays a(t);
    Bytes key(32, 0xAA), script(32, 0xAA);
    const int rc_key = qorvex_taproot_keypath_sighash(
        c, static_cast<int32_t>(t.version), static_cast<int32_t>(t.lock_time), t.ins.size(), a.txids.data(),
        a.vouts.data(), a.amounts.data(), a.sequences.data(), a.spks.data(), a.spk_lens.data(), t.outs.size(),
        a.out_amounts.data(), a.out_scripts.data(), a.out_script_lens.data(), index, hash_type,
        annex.empty() ? nullptr : annex.data(), annex.size(), key.data());
    const int rc_script = qorvex_tapscript_sighash(
        c, static_cast<int32_t>(t.version), static_cast<int32_t>(t.lock_time), t.ins.size(), a.txids.data(),
        a.vouts.data(), a.amounts.data(), a.sequences.data(), a.spks.data(), a.spk_lens.data(), t.outs.size(),
        a.out_amounts.data(), a.out_scripts.data(), a.out_script_lens.data(), index, hash_type, ext.data(),
        key_version, codesep, annex.empty() ? nullptr : annex.data(), annex.size(), script.data());
    FUZZ_CHECK(rc_key == rc_script);

    const bool signable = index < t.ins.size() && valid_taproot_type(hash_type) &&
                          ((hash_type & 3) != 3 || index < t.outs.size());
    if (!signable) {
        FUZZ_CHECK(rc_key == QORVEX_ERR_BAD_INPUT);
        FUZZ_CHECK(key == Bytes(32, 0xAA) && script == Bytes(32, 0xAA));
        return;
    }
    FUZZ_CHECK(rc_key == QORVEX_OK);
    const auto type = static_cast<uint8_t>(hash_type);
    FUZZ_CHECK(key == tap_sighash(sigmsg(t, index, type, annex, nullptr)));
    FUZZ_CHECK(script == tap_sighash(sigmsg(t, index, type, annex, &ext)));
}

void bip143(const FuzzTx& t, Input& in) {
    qorvex_ctx* c = ctx();
    uint8_t hashes[3 * 32], key_hash[20], reserved[32];
    in.bytes(hashes, sizeof hashes);
    in.bytes(key_hash, sizeof key_hash);
    in.bytes(reserved, sizeof reserved);

    uint8_t code[25];
    FUZZ_CHECK(qorvex_bip143_p2wpkh_script_code(key_hash, code) == QORVEX_OK);
    FUZZ_CHECK(code[0] == 0x76 && code[1] == 0xA9 && code[2] == 0x14 && code[23] == 0x88 && code[24] == 0xAC);
    FUZZ_CHECK(std::memcmp(code + 3, key_hash, 20) == 0);

    // Input 0 with a script code taken from its spent script, and a
    // sighash type of all 32 bits.
    const FuzzIn& x = t.ins[0];
    const uint32_t type = static_cast<uint32_t>(x.spent_amount >> 32);
    const uint32_t base = type & 0x1F;
    const bool acp = type & 0x80, none = base == 2, single = base == 3;
    const Bytes zero(32, 0);
    const Bytes hash_prevouts(hashes, hashes + 32), hash_sequence(hashes + 32, hashes + 64),
        hash_outputs(hashes + 64, hashes + 96);
    Bytes pre;
    pre.reserve(1024);
    put_le(pre, t.version, 4);
    put_all(pre, acp ? zero : hash_prevouts);
    put_all(pre, acp || none || single ? zero : hash_sequence);
    put_all(pre, x.txid);
    put_le(pre, x.vout, 4);
    put_sized(pre, x.spent_script);
    put_le(pre, x.spent_amount, 8);
    put_le(pre, x.sequence, 4);
    put_all(pre, none ? zero : hash_outputs);
    put_le(pre, t.lock_time, 4);
    put_le(pre, type, 4);
    const uint8_t none_byte = 0;
    Bytes digest(32);
    FUZZ_CHECK(qorvex_bip143_sighash(c, static_cast<int32_t>(t.version), hashes, hashes + 32, x.txid.data(), x.vout,
                                     x.spent_script.empty() ? &none_byte : x.spent_script.data(),
                                     x.spent_script.size(), x.spent_amount, x.sequence, hashes + 64, t.lock_time,
                                     type, digest.data()) == QORVEX_OK);
    FUZZ_CHECK(digest == sha256d(pre));

    uint8_t commitment[32];
    FUZZ_CHECK(qorvex_bip144_witness_commitment(hashes, reserved, commitment) == QORVEX_OK);
    Bytes cat(hashes, hashes + 32);
    cat.insert(cat.end(), reserved, reserved + 32);
    FUZZ_CHECK(Bytes(commitment, commitment + 32) == sha256d(cat));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const FuzzTx t = FuzzTx::read(in);
    taproot(t, in);
    bip143(t, in);
    return 0;
}
