// Constant-time cases: BIP-32 master keys, derivation, key extraction and
// the xprv text. A private record's chain code and key are marked; its
// version, depth, fingerprint, child number, marker, kind and reserved
// bytes are public metadata and stay unmarked.
#include <string>

#include "ctime.h"

namespace qorvex::ctime {

namespace {

constexpr size_t kChainCode = 13;
constexpr size_t kKeyBytes = 46;

void mark_record(qorvex_bip32_key& k) {
    secret(k.data + kChainCode, 32);
    secret(k.data + kKeyBytes, 32);
}

qorvex_bip32_key master_of(const Bytes32& seed) {
    qorvex_bip32_key k;
    if (qorvex_bip32_master(g_ctx, seed.b, 32, &k) != QORVEX_OK) std::abort();
    return k;
}

// A master record, its hardened child, and a record holding the key n (the
// record check fails on it).
std::vector<qorvex_bip32_key> records() {
    const qorvex_bip32_key m = master_of(kSeed);
    qorvex_bip32_key child;
    if (qorvex_bip32_derive(g_ctx, &m, QORVEX_BIP32_HARDENED + 44, &child) != QORVEX_OK) std::abort();
    qorvex_bip32_key bad = m;
    std::memcpy(bad.data + kKeyBytes, kOrder.b, 32);
    return {m, child, bad};
}

}  // namespace

CT_FAMILY(bip32) {
    t.push_back(CT_CASE(qorvex_bip32_master, "seed", [](bool mark, Observed& o) {
        for (const Bytes32* s : {&kSeed, &kKey}) {
            uint8_t seed[64];
            std::memcpy(seed, s->b, 32);
            std::memcpy(seed + 32, kTweak.b, 32);
            for (const size_t n : {size_t{16}, size_t{64}}) {
                qorvex_bip32_key k = {};
                if (mark) secret(seed, n);
                o.code(qorvex_bip32_master(g_ctx, seed, n, &k));
                o.add(k.data, sizeof k.data);
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_bip32_derive, "chain code, key", [](bool mark, Observed& o) {
        for (const qorvex_bip32_key& r : records()) {
            for (const uint32_t index : {0u, 7u, QORVEX_BIP32_HARDENED, QORVEX_BIP32_HARDENED + 1}) {
                qorvex_bip32_key k = r, out = {};
                if (mark) mark_record(k);
                o.code(qorvex_bip32_derive(g_ctx, &k, index, &out));
                o.add(out.data, sizeof out.data);
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_bip32_derive_path, "chain code, key", [](bool mark, Observed& o) {
        for (const qorvex_bip32_key& r : records()) {
            for (const char* path : {"m/84'/0'/0'/0/0", "m", "m/0/"}) {
                qorvex_bip32_key k = r, out = {};
                if (mark) mark_record(k);
                o.code(qorvex_bip32_derive_path(g_ctx, &k, path, &out));
                o.add(out.data, sizeof out.data);
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_bip32_privkey, "chain code, key", [](bool mark, Observed& o) {
        for (const qorvex_bip32_key& r : records()) {
            qorvex_bip32_key k = r;
            uint8_t key[32] = {0};
            if (mark) mark_record(k);
            o.code(qorvex_bip32_privkey(g_ctx, &k, key));
            o.add(key, sizeof key);
        }
    }));
    t.push_back(CT_CASE(qorvex_bip32_pubkey, "chain code, key", [](bool mark, Observed& o) {
        for (const qorvex_bip32_key& r : records()) {
            qorvex_bip32_key k = r;
            uint8_t pub[33] = {0};
            if (mark) mark_record(k);
            o.code(qorvex_bip32_pubkey(g_ctx, &k, pub));
            o.add(pub, sizeof pub);
        }
    }));
    t.push_back(CT_CASE(qorvex_bip32_to_base58, "chain code, key", [](bool mark, Observed& o) {
        for (const qorvex_bip32_key& r : records()) {
            qorvex_bip32_key k = r;
            char text[QORVEX_BIP32_TEXT_SIZE] = {0};
            size_t len = sizeof text;
            if (mark) mark_record(k);
            o.code(qorvex_bip32_to_base58(g_ctx, &k, text, &len));
            o.add(&len, sizeof len);
            o.add(text, sizeof text);
        }
    }));
    t.push_back(CT_CASE(qorvex_bip32_from_base58, "xprv text", [](bool mark, Observed& o) {
        const auto recs = records();
        std::vector<std::string> texts;
        for (size_t i = 0; i < 2; ++i) {
            char text[QORVEX_BIP32_TEXT_SIZE];
            size_t len = sizeof text;
            if (qorvex_bip32_to_base58(g_ctx, &recs[i], text, &len) != QORVEX_OK) std::abort();
            texts.emplace_back(text, len);
        }
        std::string bad = texts[0];
        bad[60] = bad[60] == 'z' ? 'y' : 'z';
        texts.push_back(bad);
        for (const std::string& s : texts) {
            std::string text = s;
            qorvex_bip32_key k = {};
            if (mark) secret(text.data(), text.size());
            o.code(qorvex_bip32_from_base58(g_ctx, text.c_str(), &k));
            o.add(k.data, sizeof k.data);
        }
    }));
}

}  // namespace qorvex::ctime
