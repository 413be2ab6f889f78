// ECDH, ECIES, Pedersen commitments, proofs and adaptor signatures through
// qorvex.h, the AES back ends on their own, and, when OpenSSL is found at
// configure time, OpenSSL's AES-256-CTR plus HMAC-SHA256 over the same
// bytes as the ECIES envelope (a benchmark-only peer: the library never
// links it).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/cycle.h"
#include "common/inputs.h"
#include "protocols/aes256.h"
#include "qorvex.h"

#if QORVEX_BENCH_OPENSSL
#include <openssl/evp.h>
#include <openssl/hmac.h>
#endif

namespace {

using benchdata::Item;

constexpr size_t kCount = 256;

struct Fixture {
    qorvex_ctx* ctx = nullptr;
    std::vector<Item> items;
    std::vector<std::vector<uint8_t>> adaptor_points, dleq_pub2, schnorr_pre, ecdsa_pre, knowledge, dleq;
    uint8_t base2[33];
};

const Fixture* fixture() {
    static const Fixture* f = []() -> const Fixture* {
        static Fixture fx;
        if (qorvex_ctx_create(&fx.ctx) != QORVEX_OK) return nullptr;
        qorvex_ctx* c = fx.ctx;
        fx.items = benchdata::make_base_inputs(kCount).items;
        const uint8_t* base2_key = fx.items[0].tweak;
        if (qorvex_pubkey_create(c, base2_key, fx.base2) != QORVEX_OK) return nullptr;
        uint8_t g[33];
        const uint8_t one[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        if (qorvex_pubkey_create(c, one, g) != QORVEX_OK) return nullptr;
        for (Item& it : fx.items) {
            std::vector<uint8_t> t(33), q(33), sp(97), ep(162), kp(64), dp(64);
            if (qorvex_pubkey_create(c, it.key, it.pub33) != QORVEX_OK ||
                qorvex_pubkey_xonly(c, it.key, it.xonly) != QORVEX_OK ||
                qorvex_pubkey_create(c, it.tweak, t.data()) != QORVEX_OK ||
                qorvex_pubkey_tweak_mul(c, fx.base2, it.key, q.data()) != QORVEX_OK ||
                qorvex_schnorr_adaptor_sign(c, it.key, it.msg, t.data(), it.aux, sp.data()) != QORVEX_OK ||
                qorvex_ecdsa_adaptor_sign(c, it.key, it.msg, t.data(), ep.data()) != QORVEX_OK ||
                qorvex_zk_knowledge_prove(c, it.key, it.pub33, it.msg, it.aux, kp.data()) != QORVEX_OK ||
                qorvex_zk_dleq_prove(c, it.key, g, fx.base2, it.pub33, q.data(), it.aux, dp.data()) != QORVEX_OK)
                return nullptr;
            fx.adaptor_points.push_back(t);
            fx.dleq_pub2.push_back(q);
            fx.schnorr_pre.push_back(sp);
            fx.ecdsa_pre.push_back(ep);
            fx.knowledge.push_back(kp);
            fx.dleq.push_back(dp);
        }
        return &fx;
    }();
    return f;
}

template <class Body>
void cycle(benchmark::State& st, Body body) {
    const Fixture* f = fixture();
    benchdata::cycle_indices(st, f != nullptr, kCount, [&](size_t i) { return body(*f, i); });
}

void BM_AbiEcdh(benchmark::State& st) {
    uint8_t out[32];
    cycle(st, [&](const Fixture& f, size_t i) {
        const int rc = qorvex_ecdh(f.ctx, f.items[i].key, f.items[(i + 1) % kCount].pub33, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_AbiEcdh);

std::vector<uint8_t> message(size_t n) {
    std::vector<uint8_t> m(n);
    for (size_t i = 0; i < n; ++i) m[i] = static_cast<uint8_t>(i * 29 + 3);
    return m;
}

void BM_AbiEciesEncrypt(benchmark::State& st) {
    const size_t len = static_cast<size_t>(st.range(0));
    const auto pt = message(len);
    std::vector<uint8_t> env(len + QORVEX_ECIES_OVERHEAD);
    cycle(st, [&](const Fixture& f, size_t i) {
        size_t out_len = env.size();
        const int rc = qorvex_ecies_encrypt(f.ctx, f.items[i].pub33, pt.data(), len, env.data(), &out_len);
        benchmark::DoNotOptimize(env.data());
        return rc;
    });
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(len));
}
BENCHMARK(BM_AbiEciesEncrypt)->Arg(64)->Arg(1 << 20);

void BM_AbiEciesDecrypt(benchmark::State& st) {
    const size_t len = static_cast<size_t>(st.range(0));
    const Fixture* f = fixture();
    if (!f) return st.SkipWithError("qorvex context or inputs failed");
    const auto pt = message(len);
    // A few envelopes to different keys, decrypted in turn.
    constexpr size_t kEnvelopes = 8;
    std::vector<std::vector<uint8_t>> envs(kEnvelopes, std::vector<uint8_t>(len + QORVEX_ECIES_OVERHEAD));
    for (size_t k = 0; k < kEnvelopes; ++k) {
        size_t out_len = envs[k].size();
        if (qorvex_ecies_encrypt(f->ctx, f->items[k].pub33, pt.data(), len, envs[k].data(), &out_len) != QORVEX_OK)
            return st.SkipWithError("encryption failed");
    }
    std::vector<uint8_t> out(len);
    size_t k = 0;
    for (auto _ : st) {
        size_t out_len = len;
        if (qorvex_ecies_decrypt(f->ctx, f->items[k].key, envs[k].data(), envs[k].size(), out.data(), &out_len) !=
            QORVEX_OK)
            return st.SkipWithError("decryption failed");
        benchmark::DoNotOptimize(out.data());
        k = (k + 1) % kEnvelopes;
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(len));
}
BENCHMARK(BM_AbiEciesDecrypt)->Arg(64)->Arg(1 << 20);

// Counter mode alone, on each back end.
void aes_ctr_on(benchmark::State& st, qorvex::AesBackend backend) {
    if (backend == qorvex::AesBackend::AesNi && !qorvex::aes_detail::aesni_available())
        return st.SkipWithError("this processor lacks AES-NI");
    const size_t len = static_cast<size_t>(st.range(0));
    const auto in = message(len);
    std::vector<uint8_t> out(len);
    const uint8_t key32[32] = {7};
    qorvex::Aes256Key key;
    qorvex::aes256_expand(key32, key, backend);
    for (auto _ : st) {
        uint8_t counter[16] = {1};
        qorvex::aes256_ctr(key, counter, in.data(), out.data(), len);
        benchmark::DoNotOptimize(out.data());
    }
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(len));
}
void BM_Aes256Ctr_AesNi(benchmark::State& st) { aes_ctr_on(st, qorvex::AesBackend::AesNi); }
void BM_Aes256Ctr_Portable(benchmark::State& st) { aes_ctr_on(st, qorvex::AesBackend::Portable); }
BENCHMARK(BM_Aes256Ctr_AesNi)->Arg(64)->Arg(1 << 20);
BENCHMARK(BM_Aes256Ctr_Portable)->Arg(64)->Arg(1 << 16);

#if QORVEX_BENCH_OPENSSL
// What the ECIES envelope costs OpenSSL without the key agreement: AES-256-CTR
// over the plaintext and HMAC-SHA256 over E || IV || ciphertext.
void BM_OpenSslAes256CtrHmacSha256(benchmark::State& st) {
    const size_t len = static_cast<size_t>(st.range(0));
    const auto pt = message(len);
    std::vector<uint8_t> env(len + QORVEX_ECIES_OVERHEAD);
    const uint8_t key[32] = {7}, mac_key[32] = {9};
    uint8_t iv[16] = {1};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    for (auto _ : st) {
        int n = 0;
        if (EVP_EncryptInit_ex(ctx, EVP_aes_256_ctr(), nullptr, key, iv) != 1 ||
            EVP_EncryptUpdate(ctx, env.data() + 49, &n, pt.data(), static_cast<int>(len)) != 1)
            return st.SkipWithError("OpenSSL AES-256-CTR failed");
        unsigned int tag_len = 0;
        if (!HMAC(EVP_sha256(), mac_key, 32, env.data(), 49 + len, env.data() + 49 + len, &tag_len))
            return st.SkipWithError("OpenSSL HMAC failed");
        benchmark::DoNotOptimize(env.data());
    }
    EVP_CIPHER_CTX_free(ctx);
    st.SetBytesProcessed(static_cast<int64_t>(st.iterations()) * static_cast<int64_t>(len));
}
BENCHMARK(BM_OpenSslAes256CtrHmacSha256)->Arg(64)->Arg(1 << 20);
#endif

void BM_AbiPedersenCommit(benchmark::State& st) {
    uint8_t out[33];
    cycle(st, [&](const Fixture& f, size_t i) {
        const int rc = qorvex_pedersen_commit(f.ctx, f.items[i].tweak, f.items[i].key, out);
        benchmark::DoNotOptimize(out);
        return rc;
    });
}
BENCHMARK(BM_AbiPedersenCommit);

void BM_AbiZkKnowledgeProve(benchmark::State& st) {
    uint8_t out[64];
    cycle(st, [&](const Fixture& f, size_t i) {
        const Item& it = f.items[i];
        return qorvex_zk_knowledge_prove(f.ctx, it.key, it.pub33, it.msg, it.aux, out);
    });
}
BENCHMARK(BM_AbiZkKnowledgeProve);

void BM_AbiZkKnowledgeVerify(benchmark::State& st) {
    cycle(st, [&](const Fixture& f, size_t i) {
        return qorvex_zk_knowledge_verify(f.ctx, f.knowledge[i].data(), f.items[i].pub33, f.items[i].msg);
    });
}
BENCHMARK(BM_AbiZkKnowledgeVerify);

void BM_AbiZkDleqProve(benchmark::State& st) {
    uint8_t out[64], g[33];
    const uint8_t one[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    cycle(st, [&](const Fixture& f, size_t i) {
        if (i == 0) qorvex_pubkey_create(f.ctx, one, g);
        const Item& it = f.items[i];
        return qorvex_zk_dleq_prove(f.ctx, it.key, g, f.base2, it.pub33, f.dleq_pub2[i].data(), it.aux, out);
    });
}
BENCHMARK(BM_AbiZkDleqProve);

void BM_AbiZkDleqVerify(benchmark::State& st) {
    uint8_t g[33];
    const uint8_t one[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                             0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    cycle(st, [&](const Fixture& f, size_t i) {
        if (i == 0) qorvex_pubkey_create(f.ctx, one, g);
        return qorvex_zk_dleq_verify(f.ctx, f.dleq[i].data(), g, f.base2, f.items[i].pub33, f.dleq_pub2[i].data());
    });
}
BENCHMARK(BM_AbiZkDleqVerify);

void BM_AbiSchnorrAdaptorSign(benchmark::State& st) {
    uint8_t out[97];
    cycle(st, [&](const Fixture& f, size_t i) {
        const Item& it = f.items[i];
        return qorvex_schnorr_adaptor_sign(f.ctx, it.key, it.msg, f.adaptor_points[i].data(), it.aux, out);
    });
}
BENCHMARK(BM_AbiSchnorrAdaptorSign);

void BM_AbiSchnorrAdaptorVerify(benchmark::State& st) {
    cycle(st, [&](const Fixture& f, size_t i) {
        const Item& it = f.items[i];
        return qorvex_schnorr_adaptor_verify(f.ctx, f.schnorr_pre[i].data(), it.xonly, it.msg,
                                             f.adaptor_points[i].data());
    });
}
BENCHMARK(BM_AbiSchnorrAdaptorVerify);

void BM_AbiEcdsaAdaptorSign(benchmark::State& st) {
    uint8_t out[162];
    cycle(st, [&](const Fixture& f, size_t i) {
        const Item& it = f.items[i];
        return qorvex_ecdsa_adaptor_sign(f.ctx, it.key, it.msg, f.adaptor_points[i].data(), out);
    });
}
BENCHMARK(BM_AbiEcdsaAdaptorSign);

void BM_AbiEcdsaAdaptorVerify(benchmark::State& st) {
    cycle(st, [&](const Fixture& f, size_t i) {
        const Item& it = f.items[i];
        return qorvex_ecdsa_adaptor_verify(f.ctx, f.ecdsa_pre[i].data(), it.pub33, it.msg, f.adaptor_points[i].data());
    });
}
BENCHMARK(BM_AbiEcdsaAdaptorVerify);

}  // namespace
