// Outputs may overlap inputs: every export reads (copies) its inputs before
// it writes, or clears, any output. Each case runs once with separate
// buffers and then with the output placed over each input in turn; the code
// and the bytes written must be the same.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "abi_helpers.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

struct Case {
    const char* name;
    std::vector<Bytes> inputs;
    size_t out_size;
    // Calls the export with in[i] for the inputs and out for the output;
    // may append further results (v, recid, lengths) to extra.
    std::function<int(qorvex_ctx*, const std::vector<uint8_t*>& in, uint8_t* out, Bytes& extra)> call;
};

void push_u64(Bytes& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

TEST(Overlap, EveryOutputMayOverlapEveryInput) {
    const CtxPtr ctx = make_ctx();
    ASSERT_NE(nullptr, ctx);
    qorvex_ctx* c = ctx.get();
    const Bytes key = be32("c90fdaa22168c234c4c6628b80dc1cd129024e088a67cc74020bbea63b14e5c7");
    const Bytes key2 = be32("b7e151628aed2a6abf7158809cf4f3c762e7160f38b4da56a784d9045190cfef");
    const Bytes msg = be32("243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c89");
    const Bytes aux = be32("0102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20");
    Bytes pub(33), pub2(33), sig(64), der(72), opaque(64), xonly(32);
    int recid = 0;
    ASSERT_EQ(0, qorvex_pubkey_create(c, key.data(), pub.data()));
    ASSERT_EQ(0, qorvex_pubkey_create(c, key2.data(), pub2.data()));
    ASSERT_EQ(0, qorvex_pubkey_xonly(c, key.data(), xonly.data()));
    ASSERT_EQ(0, qorvex_ecdsa_sign_recoverable(c, msg.data(), key.data(), sig.data(), &recid));
    size_t der_len = der.size();
    ASSERT_EQ(0, qorvex_ecdsa_sig_to_der(c, sig.data(), der.data(), &der_len));
    der.resize(der_len);
    ASSERT_EQ(0, qorvex_ecdsa_sig_compact_to_opaque(c, sig.data(), opaque.data()));
    const Bytes r(sig.begin(), sig.begin() + 32), s(sig.begin() + 32, sig.end());
    Bytes both_pubs(66);
    std::memcpy(both_pubs.data(), pub.data(), 33);
    std::memcpy(both_pubs.data() + 33, pub2.data(), 33);
    const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', ' ', 'o', 'f', ' ', 'b', 'y', 't', 'e', 's'};

    using In = const std::vector<uint8_t*>&;
    const Case cases[] = {
        {"ecdsa_sign", {msg, key}, 64,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_ecdsa_sign(x, in[0], in[1], out); }},
        {"ecdsa_sign_recoverable", {msg, key}, 64,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes& extra) {
             int id = -1;
             const int rc = qorvex_ecdsa_sign_recoverable(x, in[0], in[1], out, &id);
             extra.push_back(static_cast<uint8_t>(id));
             return rc;
         }},
        {"ecdsa_sign_verified", {msg, key}, 64,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_ecdsa_sign_verified(x, in[0], in[1], out); }},
        {"ecdsa_recover", {msg, sig}, 33,
         [recid](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_ecdsa_recover(x, in[0], in[1], recid, out); }},
        {"ecdsa_sig_from_der", {der}, 64,
         [n = der.size()](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_ecdsa_sig_from_der(x, in[0], n, out); }},
        {"ecdsa_sig_to_der", {sig}, 72,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes& extra) {
             size_t len = 72;
             const int rc = qorvex_ecdsa_sig_to_der(x, in[0], out, &len);
             push_u64(extra, len);
             return rc;
         }},
        {"ecdsa_sig_compact_to_opaque", {sig}, 64,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_ecdsa_sig_compact_to_opaque(x, in[0], out); }},
        {"ecdsa_sig_opaque_to_compact", {opaque}, 64,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_ecdsa_sig_opaque_to_compact(x, in[0], out); }},
        {"ecdsa_sig_normalize_opaque", {opaque}, 64,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes& extra) {
             int changed = -1;
             const int rc = qorvex_ecdsa_sig_normalize_opaque(x, in[0], out, &changed);
             extra.push_back(static_cast<uint8_t>(changed));
             return rc;
         }},
        {"schnorr_sign", {msg, key, aux}, 64,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_schnorr_sign(x, in[0], in[1], in[2], out); }},
        {"schnorr_sign_verified", {msg, key, aux}, 64,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) {
             return qorvex_schnorr_sign_verified(x, in[0], in[1], in[2], out);
         }},
        {"schnorr_sign_msg", {key, text, aux}, 64,
         [n = text.size()](qorvex_ctx* x, In in, uint8_t* out, Bytes&) {
             return qorvex_schnorr_sign_msg(x, in[0], in[1], n, in[2], out);
         }},
        {"pubkey_create", {key}, 33,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_pubkey_create(x, in[0], out); }},
        {"pubkey_create_uncompressed", {key}, 65,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_pubkey_create_uncompressed(x, in[0], out); }},
        {"pubkey_xonly", {key}, 32,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_pubkey_xonly(x, in[0], out); }},
        {"pubkey_parse", {pub}, 33,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_pubkey_parse(x, in[0], 33, out); }},
        {"pubkey_negate", {pub}, 33,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_pubkey_negate(x, in[0], out); }},
        {"pubkey_add", {pub, pub2}, 33,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_pubkey_add(x, in[0], in[1], out); }},
        {"pubkey_combine", {both_pubs}, 33, [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_pubkey_combine(x, in[0], 2, out); }},
        {"pubkey_tweak_add", {pub, msg}, 33,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_pubkey_tweak_add(x, in[0], in[1], out); }},
        {"pubkey_tweak_mul", {pub, msg}, 33,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_pubkey_tweak_mul(x, in[0], in[1], out); }},
        {"eth_address", {pub}, 20,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes&) { return qorvex_eth_address(x, in[0], out); }},
        {"eth_address_checksummed", {pub}, 43,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes& extra) {
             size_t len = 43;
             const int rc = qorvex_eth_address_checksummed(x, in[0], reinterpret_cast<char*>(out), &len);
             push_u64(extra, len);
             return rc;
         }},
        {"eth_personal_hash", {text}, 32,
         [n = text.size()](qorvex_ctx*, In in, uint8_t* out, Bytes&) { return qorvex_eth_personal_hash(in[0], n, out); }},
        // r, then s, over each input; v stays apart (another type).
        {"eth_sign (r)", {msg, key}, 32,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes& extra) {
             uint8_t s_out[32];
             uint64_t v = 0;
             const int rc = qorvex_eth_sign(x, in[0], in[1], out, s_out, &v, 1);
             extra.insert(extra.end(), s_out, s_out + 32);
             push_u64(extra, v);
             return rc;
         }},
        {"eth_sign (s)", {msg, key}, 32,
         [](qorvex_ctx* x, In in, uint8_t* out, Bytes& extra) {
             uint8_t r_out[32];
             uint64_t v = 0;
             const int rc = qorvex_eth_sign(x, in[0], in[1], r_out, out, &v, 1);
             extra.insert(extra.end(), r_out, r_out + 32);
             push_u64(extra, v);
             return rc;
         }},
        {"eth_ecrecover", {msg, r, s}, 20,
         [recid](qorvex_ctx* x, In in, uint8_t* out, Bytes&) {
             return qorvex_eth_ecrecover(x, in[0], in[1], in[2], 27 + static_cast<uint64_t>(recid), out);
         }},
        {"sha256", {text}, 32,
         [n = text.size()](qorvex_ctx*, In in, uint8_t* out, Bytes&) { return qorvex_sha256(in[0], n, out); }},
        {"tagged_hash", {text}, 32,
         [n = text.size()](qorvex_ctx*, In in, uint8_t* out, Bytes&) {
             return qorvex_tagged_hash("BIP0340/challenge", in[0], n, out);
         }},
        {"sha512", {text}, 64,
         [n = text.size()](qorvex_ctx*, In in, uint8_t* out, Bytes&) { return qorvex_sha512(in[0], n, out); }},
        {"hash160", {text}, 20,
         [n = text.size()](qorvex_ctx*, In in, uint8_t* out, Bytes&) { return qorvex_hash160(in[0], n, out); }},
        {"keccak256", {text}, 32,
         [n = text.size()](qorvex_ctx*, In in, uint8_t* out, Bytes&) { return qorvex_keccak256(in[0], n, out); }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::vector<Bytes> inputs = k.inputs;
        std::vector<uint8_t*> in;
        for (Bytes& b : inputs) in.push_back(b.data());
        Bytes want(k.out_size), want_extra;
        const int want_rc = k.call(c, in, want.data(), want_extra);
        ASSERT_EQ(QORVEX_OK, want_rc);
        for (size_t i = 0; i < k.inputs.size(); ++i) {
            SCOPED_TRACE("output over input " + std::to_string(i));
            std::vector<Bytes> copies = k.inputs;
            copies[i].resize(std::max(copies[i].size(), k.out_size));
            std::vector<uint8_t*> ptrs;
            for (Bytes& b : copies) ptrs.push_back(b.data());
            Bytes extra;
            EXPECT_EQ(want_rc, k.call(c, ptrs, copies[i].data(), extra));
            EXPECT_EQ(want, Bytes(copies[i].begin(), copies[i].begin() + static_cast<long>(k.out_size)));
            EXPECT_EQ(want_extra, extra);
        }
    }
}

// The in-place private-key tweaks with the tweak in the key's own buffer:
// both are read before the key is written, so the result is 2k (add) or k^2
// (mul), as with two buffers holding the same bytes.
TEST(Overlap, KeyTweaksWithTheTweakInTheKeysBuffer) {
    const CtxPtr ctx = make_ctx();
    ASSERT_NE(nullptr, ctx);
    const Bytes key = be32("c90fdaa22168c234c4c6628b80dc1cd129024e088a67cc74020bbea63b14e5c7");
    for (const auto fn : {&qorvex_seckey_tweak_add, &qorvex_seckey_tweak_mul}) {
        Bytes apart = key, same = key;
        const Bytes tweak = key;
        ASSERT_EQ(0, fn(ctx.get(), apart.data(), tweak.data()));
        ASSERT_EQ(0, fn(ctx.get(), same.data(), same.data()));
        EXPECT_EQ(apart, same);
    }
}

}  // namespace
}  // namespace qorvex::test
