// MuSig2 internals: the BIP-327 signing cases whose messages are not 32
// bytes long (the exported functions take only 32), and the constant-time
// reading of nonce digests.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protocol_helpers.h"
#include "protocols/digest_scalar.h"
#include "protocols/musig2.h"
#include "support/vectors.h"

namespace qorvex::test::protocols {
namespace {

using namespace qorvex::musig2;

TEST(Musig2Internals, Bip327SigningWithMessagesOfAnyLength) {
    const Json doc = load_json_vectors("bip327/sign_verify_vectors.json");
    const Bytes sk = from_hex(doc["sk"].str());
    const Bytes secnonce = from_hex(doc["secnonces"][0].str());
    Scalar d, k1, k2;
    ASSERT_TRUE(Scalar::parse_nonzero(sk.data(), d));
    ASSERT_TRUE(Scalar::parse_nonzero(secnonce.data(), k1));
    ASSERT_TRUE(Scalar::parse_nonzero(secnonce.data() + 32, k2));
    size_t run = 0;
    for (const Json& c : doc["valid_test_cases"].array()) {
        const Bytes msg = from_hex(doc["msgs"][static_cast<size_t>(c["msg_index"].integer())].str());
        SCOPED_TRACE(c.has("comment") ? c["comment"].str() : "32-byte message");
        Bytes keys;
        for (const Json& i : c["key_indices"].array())
            keys = cat({keys, from_hex(doc["pubkeys"][static_cast<size_t>(i.integer())].str())});
        KeyAggFault kf;
        const auto ka = key_agg(keys.data(), keys.size() / 33, kf);
        ASSERT_TRUE(ka);
        const Bytes aggnonce = from_hex(doc["aggnonces"][static_cast<size_t>(c["aggnonce_index"].integer())].str());
        AggNonce::Fault af;
        const auto agg = AggNonce::parse(aggnonce.data(), af);
        ASSERT_TRUE(agg);
        const Session s = session_values(*agg, aggnonce.data(), *ka, msg.data(), msg.size());
        const size_t signer = static_cast<size_t>(c["signer_index"].integer());
        const SignerInput in{&d, &k1, &k2, keys.data(), keys.size() / 33, signer};
        const Scalar psig = partial_sign(*ka, s, in);
        EXPECT_EQ(lower(c["expected"].str()), to_hex(scalar_bytes(psig)));
        const Bytes pubnonce =
            from_hex(doc["pnonces"][static_cast<size_t>(c["nonce_indices"][signer].integer())].str());
        EXPECT_TRUE(partial_verify(psig, pubnonce.data(), slice(keys, 33 * signer + 1, 32).data(), *ka, s, signer));
        ++run;
    }
    EXPECT_EQ(6u, run);
}

TEST(Musig2Internals, SigningRechecksWhatTheFrameChecked) {
    const Json doc = load_json_vectors("bip327/sign_verify_vectors.json");
    const Bytes sk = from_hex(doc["sk"].str());
    const Bytes secnonce = from_hex(doc["secnonces"][0].str());
    Scalar d, k1, k2;
    ASSERT_TRUE(Scalar::parse_nonzero(sk.data(), d));
    ASSERT_TRUE(Scalar::parse_nonzero(secnonce.data(), k1));
    ASSERT_TRUE(Scalar::parse_nonzero(secnonce.data() + 32, k2));
    Bytes keys;
    for (int i : {0, 1, 2}) keys = cat({keys, from_hex(doc["pubkeys"][static_cast<size_t>(i)].str())});
    KeyAggFault kf;
    const auto ka = key_agg(keys.data(), 3, kf);
    ASSERT_TRUE(ka);
    const Bytes aggnonce = from_hex(doc["aggnonces"][0].str());
    AggNonce::Fault af;
    const Session s = session_values(*AggNonce::parse(aggnonce.data(), af), aggnonce.data(), *ka, keys.data(), 32);
    ASSERT_FALSE(partial_sign(*ka, s, SignerInput{&d, &k1, &k2, keys.data(), 3, 0}).is_zero());
    // Another index, an index past the keys, too few keys, e = 0: zero.
    EXPECT_TRUE(partial_sign(*ka, s, SignerInput{&d, &k1, &k2, keys.data(), 3, 1}).is_zero());
    EXPECT_TRUE(partial_sign(*ka, s, SignerInput{&d, &k1, &k2, keys.data(), 3, 3}).is_zero());
    KeyAgg two = *ka;
    two.n = 2;
    EXPECT_TRUE(partial_sign(two, s, SignerInput{&d, &k1, &k2, keys.data(), 3, 2}).is_zero());
    Session zero_e = s;
    zero_e.e = Scalar::zero();
    EXPECT_TRUE(partial_sign(*ka, zero_e, SignerInput{&d, &k1, &k2, keys.data(), 3, 0}).is_zero());
}

TEST(Musig2Internals, DigestsReadAsScalarsWithoutBranching) {
    struct Case {
        const char* hex;
        bool valid;
    };
    const Case cases[] = {
        {"0000000000000000000000000000000000000000000000000000000000000000", false},
        {"0000000000000000000000000000000000000000000000000000000000000001", true},
        {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140", true},
        {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141", false},
        {"fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364142", false},
        {"ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex);
        const Bytes d = from_hex(c.hex);
        uint64_t mask = 0x5A5A;
        const Scalar s = digest_scalar_ct(d.data(), mask);
        EXPECT_EQ(c.valid ? ~uint64_t{0} : uint64_t{0}, mask);
        if (c.valid) {
            EXPECT_EQ(d, scalar_bytes(s));
        }
    }
    const Bytes a(33, 7), b(33, 7);
    Bytes c = a;
    EXPECT_EQ(~uint64_t{0}, bytes_equal_mask(a.data(), b.data(), 33));
    c[32] ^= 0x80;
    EXPECT_EQ(0u, bytes_equal_mask(a.data(), c.data(), 33));
}

}  // namespace
}  // namespace qorvex::test::protocols
