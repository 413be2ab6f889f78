// MuSig2 (3 signers) and FROST (2 of 3, 11 of 15) through the exported
// functions, with qorvex_schnorr_sign in the same program as the yardstick
// for the signing calls:
//
//   qorvex_bench --benchmark_filter=Threshold
//
// Inputs are made once, before any timing. Signing consumes its secret
// nonce, so each iteration signs with a fresh copy of the same one (the copy
// of 64 bytes is part of the figure; a real signer would never reuse it).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "qorvex.h"

namespace {

using Bytes = std::vector<uint8_t>;

qorvex_ctx* bench_ctx() {
    static qorvex_ctx* ctx = [] {
        qorvex_ctx* c = nullptr;
        return qorvex_ctx_create(&c) == QORVEX_OK ? c : nullptr;
    }();
    return ctx;
}

Bytes fill(uint8_t a, uint8_t b) {
    Bytes v(32, a);
    v[0] = 0x21;
    v[31] = b;
    return v;
}

// --- MuSig2 ---

struct Musig2Fixture {
    static constexpr size_t kSigners = 3;
    bool ok = false;
    Bytes keys[kSigners], xonly[kSigners], pubkeys = Bytes(kSigners * 33), msg = fill(0x5a, 1);
    Bytes keyagg = Bytes(QORVEX_MUSIG2_KEYAGG_SIZE), agg = Bytes(32);
    Bytes secnonces[kSigners], pubnonces = Bytes(kSigners * QORVEX_MUSIG2_PUBNONCE_SIZE);
    Bytes aggnonce = Bytes(QORVEX_MUSIG2_AGGNONCE_SIZE), session = Bytes(QORVEX_MUSIG2_SESSION_SIZE);
    Bytes partials = Bytes(kSigners * 32), rand = fill(0x77, 2);

    Musig2Fixture() {
        qorvex_ctx* c = bench_ctx();
        if (!c) return;
        for (size_t i = 0; i < kSigners; ++i) {
            keys[i] = fill(0x30, static_cast<uint8_t>(i + 1));
            xonly[i] = Bytes(32);
            qorvex_pubkey_create(c, keys[i].data(), pubkeys.data() + 33 * i);
            qorvex_pubkey_xonly(c, keys[i].data(), xonly[i].data());
        }
        if (qorvex_musig2_key_agg(c, pubkeys.data(), kSigners, keyagg.data(), agg.data()) != QORVEX_OK) return;
        for (size_t i = 0; i < kSigners; ++i) {
            secnonces[i] = Bytes(QORVEX_MUSIG2_SECNONCE_SIZE);
            Bytes r = fill(0x40, static_cast<uint8_t>(i));
            if (qorvex_musig2_nonce_gen(c, keys[i].data(), xonly[i].data(), agg.data(), msg.data(), r.data(),
                                        secnonces[i].data(), pubnonces.data() + QORVEX_MUSIG2_PUBNONCE_SIZE * i) != 0)
                return;
        }
        if (qorvex_musig2_nonce_agg(c, pubnonces.data(), kSigners, aggnonce.data()) != QORVEX_OK ||
            qorvex_musig2_start_sign_session(c, aggnonce.data(), keyagg.data(), msg.data(), session.data()) != 0)
            return;
        for (size_t i = 0; i < kSigners; ++i) {
            Bytes nonce = secnonces[i];
            if (qorvex_musig2_partial_sign_v2(c, nonce.data(), keys[i].data(), pubkeys.data(), keyagg.data(),
                                              session.data(), i, partials.data() + 32 * i) != QORVEX_OK)
                return;
        }
        ok = true;
    }
};

const Musig2Fixture& musig2() {
    static const Musig2Fixture f;
    return f;
}

template <class Body>
void run(benchmark::State& st, bool ready, Body body) {
    if (!ready) return st.SkipWithError("fixture failed");
    for (auto _ : st) {
        if (body() != QORVEX_OK) return st.SkipWithError("call failed");
    }
}

void BM_Threshold_SchnorrSign(benchmark::State& st) {
    const Bytes key = fill(0x30, 1), msg = fill(0x5a, 1), aux = fill(0x11, 3);
    uint8_t sig[64];
    run(st, bench_ctx() != nullptr,
        [&] { return qorvex_schnorr_sign(bench_ctx(), msg.data(), key.data(), aux.data(), sig); });
}
BENCHMARK(BM_Threshold_SchnorrSign);

void BM_Threshold_Musig2KeyAgg3(benchmark::State& st) {
    const auto& f = musig2();
    uint8_t keyagg[QORVEX_MUSIG2_KEYAGG_SIZE], agg[32];
    run(st, f.ok, [&] { return qorvex_musig2_key_agg(bench_ctx(), f.pubkeys.data(), 3, keyagg, agg); });
}
BENCHMARK(BM_Threshold_Musig2KeyAgg3);

void BM_Threshold_Musig2NonceGen(benchmark::State& st) {
    const auto& f = musig2();
    uint8_t sec[QORVEX_MUSIG2_SECNONCE_SIZE], pub[QORVEX_MUSIG2_PUBNONCE_SIZE];
    run(st, f.ok, [&] {
        return qorvex_musig2_nonce_gen(bench_ctx(), f.keys[0].data(), f.xonly[0].data(), f.agg.data(), f.msg.data(),
                                       f.rand.data(), sec, pub);
    });
}
BENCHMARK(BM_Threshold_Musig2NonceGen);

void BM_Threshold_Musig2NonceAgg3(benchmark::State& st) {
    const auto& f = musig2();
    uint8_t agg[QORVEX_MUSIG2_AGGNONCE_SIZE];
    run(st, f.ok, [&] { return qorvex_musig2_nonce_agg(bench_ctx(), f.pubnonces.data(), 3, agg); });
}
BENCHMARK(BM_Threshold_Musig2NonceAgg3);

void BM_Threshold_Musig2StartSession(benchmark::State& st) {
    const auto& f = musig2();
    uint8_t session[QORVEX_MUSIG2_SESSION_SIZE];
    run(st, f.ok, [&] {
        return qorvex_musig2_start_sign_session(bench_ctx(), f.aggnonce.data(), f.keyagg.data(), f.msg.data(), session);
    });
}
BENCHMARK(BM_Threshold_Musig2StartSession);

void BM_Threshold_Musig2PartialSignV2(benchmark::State& st) {
    const auto& f = musig2();
    uint8_t nonce[QORVEX_MUSIG2_SECNONCE_SIZE], psig[32];
    run(st, f.ok, [&] {
        std::memcpy(nonce, f.secnonces[1].data(), sizeof nonce);
        return qorvex_musig2_partial_sign_v2(bench_ctx(), nonce, f.keys[1].data(), f.pubkeys.data(), f.keyagg.data(),
                                             f.session.data(), 1, psig);
    });
}
BENCHMARK(BM_Threshold_Musig2PartialSignV2);

void BM_Threshold_Musig2PartialVerify(benchmark::State& st) {
    const auto& f = musig2();
    run(st, f.ok, [&] {
        return qorvex_musig2_partial_verify(bench_ctx(), f.partials.data() + 32, f.pubnonces.data() + 66,
                                            f.xonly[1].data(), f.keyagg.data(), f.session.data(), 1);
    });
}
BENCHMARK(BM_Threshold_Musig2PartialVerify);

void BM_Threshold_Musig2PartialSigAgg3(benchmark::State& st) {
    const auto& f = musig2();
    uint8_t sig[64];
    run(st, f.ok,
        [&] { return qorvex_musig2_partial_sig_agg(bench_ctx(), f.partials.data(), 3, f.session.data(), sig); });
}
BENCHMARK(BM_Threshold_Musig2PartialSigAgg3);

// --- FROST ---

struct FrostFixture {
    uint32_t t, n;
    bool ok = false;
    size_t commit_size;
    Bytes all_commits, shares, received1, seed = fill(0x61, 9), msg = fill(0x5b, 4);
    std::vector<Bytes> keypkgs, nonces;
    Bytes list, partials;

    FrostFixture(uint32_t threshold, uint32_t participants) : t(threshold), n(participants) {
        qorvex_ctx* c = bench_ctx();
        if (!c) return;
        commit_size = QORVEX_FROST_COMMITMENT_SIZE(t);
        const size_t share_size = QORVEX_FROST_SHARES_SIZE(n);
        all_commits.resize(commit_size * n);
        shares.resize(share_size * n);
        for (uint32_t id = 1; id <= n; ++id) {
            const Bytes s = fill(0x62, static_cast<uint8_t>(id));
            size_t cl = commit_size, sl = share_size;
            if (qorvex_frost_keygen_begin(c, id, t, n, s.data(), all_commits.data() + commit_size * (id - 1), &cl,
                                          shares.data() + share_size * (id - 1), &sl) != QORVEX_OK)
                return;
        }
        for (uint32_t id = 1; id <= n; ++id) {
            Bytes mine;
            for (uint32_t m = 0; m < n; ++m) {
                const uint8_t* e = shares.data() + share_size * m + QORVEX_FROST_SHARE_ENTRY_SIZE * (id - 1);
                mine.insert(mine.end(), e, e + QORVEX_FROST_SHARE_ENTRY_SIZE);
            }
            Bytes kp(QORVEX_FROST_KEYPKG_SIZE);
            if (qorvex_frost_keygen_finalize(c, id, all_commits.data(), all_commits.size(), mine.data(), mine.size(), t,
                                             n, kp.data()) != QORVEX_OK)
                return;
            keypkgs.push_back(kp);
            if (id == 1) received1 = mine;
        }
        // The first t participants sign.
        list.resize(QORVEX_FROST_NONCE_COMMIT_SIZE * t);
        partials.resize(QORVEX_FROST_PARTIAL_SIG_SIZE * t);
        for (uint32_t id = 1; id <= t; ++id) {
            Bytes nonce(QORVEX_FROST_NONCE_SIZE);
            const Bytes s = fill(0x63, static_cast<uint8_t>(id));
            if (qorvex_frost_sign_nonce_gen(c, id, s.data(), nonce.data(),
                                            list.data() + QORVEX_FROST_NONCE_COMMIT_SIZE * (id - 1)) != QORVEX_OK)
                return;
            nonces.push_back(nonce);
        }
        for (uint32_t id = 1; id <= t; ++id) {
            Bytes nonce = nonces[id - 1];
            if (qorvex_frost_sign(c, keypkgs[id - 1].data(), nonce.data(), msg.data(), list.data(), t,
                                  partials.data() + QORVEX_FROST_PARTIAL_SIG_SIZE * (id - 1)) != QORVEX_OK)
                return;
        }
        uint8_t sig[64];
        ok = qorvex_frost_aggregate(c, partials.data(), t, list.data(), t, group(), msg.data(), sig) == QORVEX_OK &&
             qorvex_schnorr_verify(c, msg.data(), sig, group() + 1) == QORVEX_OK;
    }
    const uint8_t* group() const { return keypkgs[0].data() + 77; }
};

const FrostFixture& frost(uint32_t t, uint32_t n) {
    static const FrostFixture small(2, 3);
    static const FrostFixture large(11, 15);
    return t == 2 ? small : large;
}

void BM_Threshold_FrostKeygenBegin(benchmark::State& st) {
    const auto& f = frost(static_cast<uint32_t>(st.range(0)), static_cast<uint32_t>(st.range(1)));
    Bytes commits(f.commit_size), shares(QORVEX_FROST_SHARES_SIZE(f.n));
    run(st, f.ok, [&] {
        size_t cl = commits.size(), sl = shares.size();
        return qorvex_frost_keygen_begin(bench_ctx(), 1, f.t, f.n, f.seed.data(), commits.data(), &cl, shares.data(),
                                         &sl);
    });
}
BENCHMARK(BM_Threshold_FrostKeygenBegin)->Args({2, 3})->Args({11, 15});

void BM_Threshold_FrostKeygenFinalize(benchmark::State& st) {
    const auto& f = frost(static_cast<uint32_t>(st.range(0)), static_cast<uint32_t>(st.range(1)));
    uint8_t kp[QORVEX_FROST_KEYPKG_SIZE];
    run(st, f.ok, [&] {
        return qorvex_frost_keygen_finalize(bench_ctx(), 1, f.all_commits.data(), f.all_commits.size(),
                                            f.received1.data(), f.received1.size(), f.t, f.n, kp);
    });
}
BENCHMARK(BM_Threshold_FrostKeygenFinalize)->Args({2, 3})->Args({11, 15});

void BM_Threshold_FrostNonceGen(benchmark::State& st) {
    const auto& f = frost(2, 3);
    uint8_t nonce[QORVEX_FROST_NONCE_SIZE], commit[QORVEX_FROST_NONCE_COMMIT_SIZE];
    run(st, f.ok, [&] { return qorvex_frost_sign_nonce_gen(bench_ctx(), 1, f.seed.data(), nonce, commit); });
}
BENCHMARK(BM_Threshold_FrostNonceGen);

void BM_Threshold_FrostSign(benchmark::State& st) {
    const auto& f = frost(static_cast<uint32_t>(st.range(0)), static_cast<uint32_t>(st.range(1)));
    uint8_t nonce[QORVEX_FROST_NONCE_SIZE], psig[QORVEX_FROST_PARTIAL_SIG_SIZE];
    run(st, f.ok, [&] {
        std::memcpy(nonce, f.nonces[0].data(), sizeof nonce);
        return qorvex_frost_sign(bench_ctx(), f.keypkgs[0].data(), nonce, f.msg.data(), f.list.data(), f.t, psig);
    });
}
BENCHMARK(BM_Threshold_FrostSign)->Args({2, 3})->Args({11, 15});

void BM_Threshold_FrostVerifyPartial(benchmark::State& st) {
    const auto& f = frost(static_cast<uint32_t>(st.range(0)), static_cast<uint32_t>(st.range(1)));
    run(st, f.ok, [&] {
        return qorvex_frost_verify_partial(bench_ctx(), f.partials.data(), f.keypkgs[0].data() + 44, f.list.data(),
                                           f.t, f.msg.data(), f.group());
    });
}
BENCHMARK(BM_Threshold_FrostVerifyPartial)->Args({2, 3})->Args({11, 15});

void BM_Threshold_FrostAggregate(benchmark::State& st) {
    const auto& f = frost(static_cast<uint32_t>(st.range(0)), static_cast<uint32_t>(st.range(1)));
    uint8_t sig[64];
    run(st, f.ok, [&] {
        return qorvex_frost_aggregate(bench_ctx(), f.partials.data(), f.t, f.list.data(), f.t, f.group(), f.msg.data(),
                                      sig);
    });
}
BENCHMARK(BM_Threshold_FrostAggregate)->Args({2, 3})->Args({11, 15});

}  // namespace
