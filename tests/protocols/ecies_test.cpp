// ECIES internals: a known answer made by an independent implementation,
// and the chunked encrypt-then-MAC against the one-shot primitives.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "hash/hkdf_sha256.h"
#include "hash/hmac_sha256.h"
#include "protocols/aes256.h"
#include "protocols/ecies.h"
#include "sig/ecdh.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Made with Python's `cryptography` package (OpenSSL's secp256k1 ECDH, HKDF,
// AES-256-CTR and HMAC): the recipient key is SHA-256("qorvex ecies
// recipient"), the ephemeral key SHA-256("qorvex ecies ephemeral"), the IV
// 00 01 .. 0f, the plaintext 69 bytes of text.
constexpr char kRecipientKey[] = "183dcec0114a8a8f06b1a756fd68f73380d424075a5e2edc684a523cecca12e1";
constexpr char kRecipientPub[] = "039b1ae1c626614217352ddd970699a397c9a0d5133a61b16f869a5f75aa139dc1";
constexpr char kEphemeral[] = "139d11bec7d7b65e7ef560082a698d58139fd262aee61fc71139e208494c589e";
constexpr char kPlaintext[] =
    "54686520717569636b2062726f776e20666f78206a756d7073206f76657220746865206c617a7920646f673b204543494553206b6e6f"
    "776e20616e737765722c203634422e";
constexpr char kEnvelope[] =
    "0315fcde1a496a40ea3cc38d34fca83188bf586aa53df95aab3127c3c5d50d9d1b000102030405060708090a0b0c0d0e0f723793e59f"
    "306d27fd3864dd180397606c10f3dfecf05426b19d8e99d6ce53867ee40583592bcf323a4a7287688f6c4fb5b035f601271f29de41d0"
    "95cb2219681ea0218b56df832dd19a9d297c1e495941d529e91b45ec83c58020efccc65b31c8517969a6";

Bytes iv16() {
    Bytes iv(16);
    for (int i = 0; i < 16; ++i) iv[i] = static_cast<uint8_t>(i);
    return iv;
}

TEST(Ecies, KnownAnswerOfAnIndependentImplementation) {
    const Point rec = Point::decompress(from_hex(kRecipientPub).data());
    ASSERT_FALSE(rec.infinity);
    const Bytes pt = from_hex(kPlaintext), eph = from_hex(kEphemeral), iv = iv16();
    Bytes env(pt.size() + ecies::kOverhead);
    ASSERT_TRUE(ecies::encrypt_with(rec, eph.data(), iv.data(), pt.data(), pt.size(), env.data()));
    EXPECT_EQ(kEnvelope, to_hex(env));

    Scalar d;
    ASSERT_TRUE(Scalar::parse_nonzero(from_hex(kRecipientKey).data(), d));
    Bytes back(pt.size());
    ASSERT_TRUE(ecies::decrypt(d, env.data(), env.size(), back.data()));
    EXPECT_EQ(pt, back);
}

// The envelope rebuilt from the primitives, one shot each, for lengths
// around the 4096-byte pieces the encryption works in.
TEST(Ecies, PiecesAgreeWithTheOneShotPrimitives) {
    std::mt19937_64 g(5869);
    const Bytes eph = from_hex(kEphemeral), iv = iv16();
    Scalar d;
    ASSERT_TRUE(Scalar::parse_nonzero(from_hex(kRecipientKey).data(), d));
    const Point rec = Point::decompress(from_hex(kRecipientPub).data());
    for (size_t len : {1u, 16u, 4095u, 4096u, 4097u, 12289u}) {
        SCOPED_TRACE(len);
        Bytes pt(len);
        for (auto& b : pt) b = static_cast<uint8_t>(g());
        Bytes env(len + ecies::kOverhead);
        ASSERT_TRUE(ecies::encrypt_with(rec, eph.data(), iv.data(), pt.data(), len, env.data()));

        Scalar e;
        ASSERT_TRUE(Scalar::parse_nonzero(eph.data(), e));
        uint8_t shared[32], prk[32], okm[64];
        ecdh::shared_secret(ecdh::Derivation::raw_x, e, rec, shared);
        hkdf_extract(reinterpret_cast<const uint8_t*>("ecies-kdf-salt-01"), 17, shared, 32, prk);
        ASSERT_TRUE(hkdf_expand(prk, env.data(), 33, okm, 64));
        Bytes want(env.begin(), env.begin() + 49);
        EXPECT_EQ(to_hex(iv), to_hex(want.data() + 33, 16));
        Bytes ct(len);
        aes256_ctr(okm, iv.data(), pt.data(), ct.data(), len);
        want.insert(want.end(), ct.begin(), ct.end());
        uint8_t tag[32];
        hmac_sha256(okm + 32, 32, want.data(), want.size(), tag);
        want.insert(want.end(), tag, tag + 32);
        EXPECT_EQ(to_hex(want), to_hex(env));

        Bytes back(len);
        ASSERT_TRUE(ecies::decrypt(d, env.data(), env.size(), back.data()));
        EXPECT_EQ(pt, back);
    }
}

}  // namespace
}  // namespace qorvex::test
