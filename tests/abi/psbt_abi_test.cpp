// PSBT signing helpers through the exported interface: keys at a path,
// the published BIP-143 and BIP-341 signatures re-created from their
// digests, and every code and message.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kBadPrivkey[] = "privkey is zero or >= n";

class Psbt : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
        key_ = be32("7e57ab1e");
        digest_ = be32("d16e57");
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        if (code != 0) {
            EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
        }
    }

    using EcdsaSigner = int (*)(qorvex_ctx*, const uint8_t*, const uint8_t*, int, uint8_t*, size_t*);

    Bytes sign_with(EcdsaSigner f, const Bytes& digest, const Bytes& key, int sighash) {
        Bytes out(QORVEX_PSBT_ECDSA_SIG_MAX_SIZE, 0xAA);
        size_t len = out.size();
        EXPECT_EQ(0, f(ctx(), digest.data(), key.data(), sighash, out.data(), &len));
        out.resize(len);
        return out;
    }

    Bytes sign_taproot(const Bytes& digest, const Bytes& key, int sighash, const uint8_t* aux, size_t capacity = 65) {
        Bytes out(capacity, 0xAA);
        size_t len = capacity;
        EXPECT_EQ(0, qorvex_psbt_sign_taproot(ctx(), digest.data(), key.data(), sighash, aux, out.data(), &len));
        out.resize(len);
        return out;
    }

    CtxPtr ctx_;
    Bytes key_, digest_;
};

TEST_F(Psbt, DeriveKeyIsPathThenPrivkey) {
    const Bytes seed = from_hex("000102030405060708090a0b0c0d0e0f");
    qorvex_bip32_key master, child, xpub;
    ASSERT_EQ(0, qorvex_bip32_master(ctx(), seed.data(), seed.size(), &master));
    for (const char* path : {"m", "m/0'", "m/84'/0'/0'/0/7", "m/1/2h/3H"}) {
        SCOPED_TRACE(path);
        Bytes expected(32), got(32);
        ASSERT_EQ(0, qorvex_bip32_derive_path(ctx(), &master, path, &child));
        ASSERT_EQ(0, qorvex_bip32_privkey(ctx(), &child, expected.data()));
        expect_error(qorvex_psbt_derive_key(ctx(), &master, path, got.data()), 0, nullptr);
        EXPECT_EQ(expected, got);
    }
    // The BIP-32 codes and messages come through unchanged.
    const Json v = load_json_vectors("bip32/bip32_vectors.json");
    const std::string xpub_text = v["valid"][static_cast<size_t>(0)]["chains"][static_cast<size_t>(0)]["ext_pub"].str();
    ASSERT_EQ(0, qorvex_bip32_from_base58(ctx(), xpub_text.c_str(), &xpub));
    Bytes out(32, 0xAA);
    expect_error(qorvex_psbt_derive_key(ctx(), &xpub, "m/0/1", out.data()), 2, "key is public, not private");
    expect_error(qorvex_psbt_derive_key(ctx(), &xpub, "m/0'", out.data()), 5, "invalid BIP-32 path");
    expect_error(qorvex_psbt_derive_key(ctx(), &master, "m/", out.data()), 5, "invalid BIP-32 path");
    qorvex_bip32_key bad = master;
    bad.data[78] = 7;
    expect_error(qorvex_psbt_derive_key(ctx(), &bad, "m", out.data()), 5, "invalid BIP-32 key kind");
    EXPECT_EQ(Bytes(32, 0xAA), out);

    EXPECT_EQ(1, qorvex_psbt_derive_key(nullptr, &master, "m", out.data()));
    EXPECT_EQ(1, qorvex_psbt_derive_key(ctx(), nullptr, "m", out.data()));
    EXPECT_EQ(1, qorvex_psbt_derive_key(ctx(), &master, nullptr, out.data()));
    EXPECT_EQ(1, qorvex_psbt_derive_key(ctx(), &master, "m", nullptr));
}

// The BIP-143 examples that print a private key: signing the printed
// digest with the printed sighash type gives the printed signature, DER
// with the type byte, through both ECDSA signers.
TEST_F(Psbt, Bip143SignaturesRecreated) {
    const Json v = load_json_vectors("bip143/bip143_vectors.json");
    int recreated = 0;
    for (const Json& e : v["examples"].array()) {
        for (const Json& c : e["sighash_cases"].array()) {
            if (!c.has("private_key") || !c.has("signature")) continue;
            SCOPED_TRACE(e["name"].str() + " " + c["nHashType_name"].str());
            const Bytes digest = from_hex(c["sigHash"].str()), key = from_hex(c["private_key"].str());
            const Bytes expected = from_hex(c["signature"].str());
            const int type = expected.back();
            EXPECT_EQ(expected, sign_with(qorvex_psbt_sign_segwit, digest, key, type));
            EXPECT_EQ(expected, sign_with(qorvex_psbt_sign_legacy, digest, key, type));
            // Only the low byte of the type is used.
            EXPECT_EQ(expected, sign_with(qorvex_psbt_sign_segwit, digest, key, type | 0x7700));
            ++recreated;
        }
    }
    EXPECT_EQ(10, recreated);
}

// The BIP-341 key-path inputs: the tweaked key over the printed digest,
// with zero randomness, gives the printed witness signature.
TEST_F(Psbt, Bip341KeyPathSignaturesRecreated) {
    const Json v = load_json_vectors("bip341/wallet-test-vectors.json");
    int inputs = 0;
    for (const Json& in : v["keyPathSpending"][static_cast<size_t>(0)]["inputSpending"].array()) {
        SCOPED_TRACE("input " + std::to_string(in["given"]["txinIndex"].integer()));
        const Bytes digest = from_hex(in["intermediary"]["sigHash"].str());
        const Bytes key = from_hex(in["intermediary"]["tweakedPrivkey"].str());
        const int type = static_cast<int>(in["given"]["hashType"].integer());
        const Bytes expected = from_hex(in["expected"]["witness"][static_cast<size_t>(0)].str());
        const uint8_t zeros[32] = {};
        EXPECT_EQ(expected, sign_taproot(digest, key, type, nullptr));
        EXPECT_EQ(expected, sign_taproot(digest, key, type, zeros));
        EXPECT_EQ(type == 0 ? 64u : 65u, expected.size());
        ++inputs;
    }
    EXPECT_EQ(7, inputs);
}

TEST_F(Psbt, EcdsaEncodings) {
    Bytes compact(64);
    ASSERT_EQ(0, qorvex_ecdsa_sign(ctx(), digest_.data(), key_.data(), compact.data()));
    Bytes der(72);
    size_t der_len = der.size();
    ASSERT_EQ(0, qorvex_ecdsa_sig_to_der(ctx(), compact.data(), der.data(), &der_len));
    der.resize(der_len);
    for (const int type : {0x01, 0x02, 0x83, 0x00}) {
        Bytes expected = der;
        expected.push_back(static_cast<uint8_t>(type));
        EXPECT_EQ(expected, sign_with(qorvex_psbt_sign_legacy, digest_, key_, type));
        EXPECT_EQ(expected, sign_with(qorvex_psbt_sign_segwit, digest_, key_, type));
    }
    // Over the key and the digest.
    Bytes buf(73);
    std::copy(key_.begin(), key_.end(), buf.begin());
    std::copy(digest_.begin(), digest_.end(), buf.begin() + 32);
    size_t len = buf.size();
    ASSERT_EQ(0, qorvex_psbt_sign_segwit(ctx(), buf.data() + 32, buf.data(), 1, buf.data(), &len));
    Bytes expected = der;
    expected.push_back(1);
    EXPECT_EQ(expected, Bytes(buf.begin(), buf.begin() + len));
}

TEST_F(Psbt, TaprootEncodings) {
    const uint8_t aux[32] = {0x42};
    Bytes plain(64);
    ASSERT_EQ(0, qorvex_schnorr_sign(ctx(), digest_.data(), key_.data(), aux, plain.data()));
    // SIGHASH_DEFAULT: 64 bytes, and a 64-byte buffer is enough.
    EXPECT_EQ(plain, sign_taproot(digest_, key_, 0x00, aux, 64));
    EXPECT_EQ(plain, sign_taproot(digest_, key_, 0x100, aux, 64));
    for (const int type : {0x01, 0x03, 0x81, 0x04}) {
        Bytes expected = plain;
        expected.push_back(static_cast<uint8_t>(type));
        EXPECT_EQ(expected, sign_taproot(digest_, key_, type, aux));
    }
    Bytes zero_aux(64);
    const uint8_t zeros[32] = {};
    ASSERT_EQ(0, qorvex_schnorr_sign(ctx(), digest_.data(), key_.data(), zeros, zero_aux.data()));
    EXPECT_EQ(zero_aux, sign_taproot(digest_, key_, 0, nullptr));
}

TEST_F(Psbt, CodesAndMessages) {
    const Bytes bad = be32(kOrderHex);
    Bytes out(80, 0xAA);
    // An ECDSA or Taproot signer with the key and the capacity; a failing
    // call leaves the capacity as it was.
    auto ecdsa = [&](EcdsaSigner f, const Bytes& key, size_t cap) {
        return [&, f, cap, k = &key] {
            size_t len = cap;
            const int rc = f(ctx(), digest_.data(), k->data(), 1, out.data(), &len);
            if (rc != 0) {
                EXPECT_EQ(cap, len);
            }
            return rc;
        };
    };
    auto taproot = [&](const Bytes& key, int type, size_t cap) {
        return [&, type, cap, k = &key] {
            size_t len = cap;
            const int rc = qorvex_psbt_sign_taproot(ctx(), digest_.data(), k->data(), type, nullptr, out.data(), &len);
            if (rc != 0) {
                EXPECT_EQ(cap, len);
            }
            return rc;
        };
    };
    const Bytes zero = be32("0");
    struct Row {
        const char* what;
        std::function<int()> call;
        int code;
        const char* message;
    };
    // The legacy signer checks the key first; the others their buffer first.
    const Row rows[] = {
        {"legacy, bad key, no room", ecdsa(qorvex_psbt_sign_legacy, bad, 0), 2, kBadPrivkey},
        {"legacy, 72 bytes", ecdsa(qorvex_psbt_sign_legacy, key_, 72), 10, "legacy sig buffer too small (need 73)"},
        {"legacy, 73 bytes", ecdsa(qorvex_psbt_sign_legacy, key_, 73), 0, nullptr},
        {"segwit, bad key, 72 bytes", ecdsa(qorvex_psbt_sign_segwit, bad, 72), 10,
         "segwit sig buffer too small (need 73)"},
        {"segwit, bad key", ecdsa(qorvex_psbt_sign_segwit, bad, 73), 2, kBadPrivkey},
        {"segwit, 73 bytes", ecdsa(qorvex_psbt_sign_segwit, key_, 73), 0, nullptr},
        {"taproot, bad key, 63 bytes, type 0", taproot(bad, 0, 63), 10, "taproot sig buffer too small"},
        {"taproot, bad key, 64 bytes, type 1", taproot(bad, 1, 64), 10, "taproot sig buffer too small"},
        {"taproot, bad key", taproot(bad, 0, 64), 2, kBadPrivkey},
        {"taproot, zero key", taproot(zero, 1, 65), 2, kBadPrivkey},
        {"taproot, 64 bytes, type 0", taproot(key_, 0, 64), 0, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        expect_error(r.call(), r.code, r.message);
    }

    size_t len = 80;
    for (auto f : {qorvex_psbt_sign_legacy, qorvex_psbt_sign_segwit}) {
        EXPECT_EQ(1, f(nullptr, digest_.data(), key_.data(), 1, out.data(), &len));
        EXPECT_EQ(1, f(ctx(), nullptr, key_.data(), 1, out.data(), &len));
        EXPECT_EQ(1, f(ctx(), digest_.data(), nullptr, 1, out.data(), &len));
        EXPECT_EQ(1, f(ctx(), digest_.data(), key_.data(), 1, nullptr, &len));
        EXPECT_EQ(1, f(ctx(), digest_.data(), key_.data(), 1, out.data(), nullptr));
    }
    EXPECT_EQ(1, qorvex_psbt_sign_taproot(nullptr, digest_.data(), key_.data(), 0, nullptr, out.data(), &len));
    EXPECT_EQ(1, qorvex_psbt_sign_taproot(ctx(), nullptr, key_.data(), 0, nullptr, out.data(), &len));
    EXPECT_EQ(1, qorvex_psbt_sign_taproot(ctx(), digest_.data(), nullptr, 0, nullptr, out.data(), &len));
    EXPECT_EQ(1, qorvex_psbt_sign_taproot(ctx(), digest_.data(), key_.data(), 0, nullptr, nullptr, &len));
    EXPECT_EQ(1, qorvex_psbt_sign_taproot(ctx(), digest_.data(), key_.data(), 0, nullptr, out.data(), nullptr));
}

}  // namespace
}  // namespace qorvex::test
