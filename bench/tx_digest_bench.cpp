// Transaction digests of input 0 of a 1-input / 1-output and of a
// 1,000-input / 1,000-output transaction (P2TR scripts throughout), and the
// library's SHA-256 over exactly as many bytes as the key-path digest
// hashes, for the ratio.
//
// Every digest benchmark reports "bytes hashed" as its processed bytes, so
// the throughput columns compare directly with the SHA-256 reference of the
// same size: digest time / reference time is the cost beyond the hashing.
//
//   qorvex_bench --benchmark_filter='Sighash|Bip143|Sha256OfKeypathBytes'
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bitcoin/tx_digest.h"
#include "hash/sha256.h"
#include "qorvex.h"

namespace {

constexpr size_t kScriptSize = 34;  // OP_1 <32 bytes>

// A transaction of n inputs and n outputs as the Taproot exports take it.
struct TxArrays {
    size_t n;
    std::vector<uint8_t> txids;
    std::vector<uint32_t> vouts, sequences;
    std::vector<uint64_t> amounts, out_amounts;
    std::vector<uint8_t> scripts;  // 2n scripts of 34 bytes: spent, then outputs
    std::vector<const uint8_t*> spks, out_scripts;
    std::vector<size_t> spk_lens, out_script_lens;

    explicit TxArrays(size_t count) : n(count), txids(32 * count), scripts(2 * count * kScriptSize) {
        for (size_t i = 0; i < txids.size(); ++i) txids[i] = static_cast<uint8_t>(i * 7 + 1);
        for (size_t i = 0; i < scripts.size(); ++i) scripts[i] = static_cast<uint8_t>(i * 13 + 5);
        for (size_t i = 0; i < n; ++i) {
            vouts.push_back(static_cast<uint32_t>(i));
            sequences.push_back(0xFFFFFFFD);
            amounts.push_back(100000 + i);
            out_amounts.push_back(50000 + i);
            uint8_t* spk = scripts.data() + i * kScriptSize;
            uint8_t* out = scripts.data() + (n + i) * kScriptSize;
            spk[0] = out[0] = 0x51;
            spk[1] = out[1] = 0x20;
            spks.push_back(spk);
            out_scripts.push_back(out);
            spk_lens.push_back(kScriptSize);
            out_script_lens.push_back(kScriptSize);
        }
    }

    // What a SIGHASH_DEFAULT key-path digest hashes: the five sub-hashes'
    // inputs and the 175-byte message (the tag block is a midstate).
    size_t keypath_bytes() const {
        return n * (36 + 8 + (1 + kScriptSize) + 4 + (8 + 1 + kScriptSize)) + 175;
    }

    qorvex::tx::Transaction view() const {
        qorvex::tx::Transaction t;
        t.version = 2;
        t.in.count = n;
        t.in.prev_txids = txids.data();
        t.in.prev_vouts = vouts.data();
        t.in.sequences = sequences.data();
        t.out = {n, out_amounts.data(), {out_scripts.data(), out_script_lens.data()}};
        return t;
    }
};

qorvex_ctx* context() {
    static qorvex_ctx* c = [] {
        qorvex_ctx* made = nullptr;
        return qorvex_ctx_create(&made) == QORVEX_OK ? made : nullptr;
    }();
    return c;
}

void BM_AbiTaprootKeypathSighash(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    const TxArrays a(static_cast<size_t>(st.range(0)));
    uint8_t out[32];
    for (auto _ : st) {
        const int rc = qorvex_taproot_keypath_sighash(
            c, 2, 0, a.n, a.txids.data(), a.vouts.data(), a.amounts.data(), a.sequences.data(), a.spks.data(),
            a.spk_lens.data(), a.n, a.out_amounts.data(), a.out_scripts.data(), a.out_script_lens.data(), 0,
            QORVEX_SIGHASH_DEFAULT, nullptr, 0, out);
        if (rc != QORVEX_OK) return st.SkipWithError("digest failed");
        benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * a.keypath_bytes()));
}
BENCHMARK(BM_AbiTaprootKeypathSighash)->Arg(1)->Arg(1000);

void BM_AbiTapscriptSighash(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    const TxArrays a(static_cast<size_t>(st.range(0)));
    const uint8_t leaf[32] = {0x6c};
    uint8_t out[32];
    for (auto _ : st) {
        const int rc = qorvex_tapscript_sighash(
            c, 2, 0, a.n, a.txids.data(), a.vouts.data(), a.amounts.data(), a.sequences.data(), a.spks.data(),
            a.spk_lens.data(), a.n, a.out_amounts.data(), a.out_scripts.data(), a.out_script_lens.data(), 0,
            QORVEX_SIGHASH_DEFAULT, leaf, 0, 0xFFFFFFFF, nullptr, 0, out);
        if (rc != QORVEX_OK) return st.SkipWithError("digest failed");
        benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * (a.keypath_bytes() + 37)));
}
BENCHMARK(BM_AbiTapscriptSighash)->Arg(1)->Arg(1000);

// The reference: one SHA-256 over as many bytes as the key-path digest of
// the same transaction hashes.
void BM_Sha256OfKeypathBytes(benchmark::State& st) {
    const TxArrays a(static_cast<size_t>(st.range(0)));
    std::vector<uint8_t> msg(a.keypath_bytes(), 0x5a);
    uint8_t out[32];
    for (auto _ : st) {
        qorvex::sha256(msg.data(), msg.size(), out);
        benchmark::DoNotOptimize(out);
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * msg.size()));
}
BENCHMARK(BM_Sha256OfKeypathBytes)->Arg(1)->Arg(1000);

// The export alone: the caller has the three aggregate hashes, so its cost
// does not depend on the transaction's size.
void BM_AbiBip143Sighash(benchmark::State& st) {
    qorvex_ctx* c = context();
    if (!c) return st.SkipWithError("no context");
    const TxArrays a(1);
    const uint8_t h[32] = {1};
    uint8_t out[32];
    for (auto _ : st) {
        const int rc = qorvex_bip143_sighash(c, 2, h, h, a.txids.data(), 0, a.spks[0], 25, 100000, 0xFFFFFFFD, h, 0,
                                             QORVEX_SIGHASH_ALL, out);
        if (rc != QORVEX_OK) return st.SkipWithError("digest failed");
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_AbiBip143Sighash);

// Input 0's BIP-143 digest from the whole transaction: hashPrevouts,
// hashSequence and hashOutputs, then the digest, as a signer of a
// transaction built in memory computes it.
void BM_Bip143SighashWithHashes(benchmark::State& st) {
    const TxArrays a(static_cast<size_t>(st.range(0)));
    const qorvex::tx::Transaction t = a.view();
    uint8_t code[25];
    const uint8_t key_hash[20] = {7};
    qorvex::tx::p2wpkh_script_code(key_hash, code);
    uint8_t out[32];
    for (auto _ : st) {
        qorvex::tx::Bip143Hashes h;
        qorvex::tx::bip143_hashes(t, h);
        qorvex::tx::bip143_sighash(t, h, 0, code, 100000, QORVEX_SIGHASH_ALL, out);
        benchmark::DoNotOptimize(out);
    }
    // Outpoints, sequences and outputs, each hashed twice over 32 bytes more.
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations() * (a.n * (36 + 4 + 43) + 3 * 32 + 182)));
}
BENCHMARK(BM_Bip143SighashWithHashes)->Arg(1)->Arg(1000);

}  // namespace
