// Taproot output keys, the private-key tweak and the commitment check
// through the exported interface: the BIP-341 wallet vectors and every code
// and message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kZeroXonlyKey[] = "zero x-only key";
constexpr char kDerivationFailed[] = "taproot output key derivation failed";
constexpr char kBadPrivkey[] = "privkey is zero or >= n";
constexpr char kCommitmentInvalid[] = "taproot commitment invalid";

const std::string kPHex = "fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f";
// x = 5 is not the x of any curve point (5^3 + 7 = 132 is not a square mod p).
const std::string kOffCurveHex = "0000000000000000000000000000000000000000000000000000000000000005";

class TaprootKeys : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
        vec_ = load_json_vectors("bip341/wallet-test-vectors.json");
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        if (code != 0) {
            EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
        }
    }

    // The root as the vectors give it: null, or 32 bytes.
    static Bytes root_of(const Json& j) { return j.is_null() ? Bytes{} : from_hex(j.str()); }
    static const uint8_t* ptr(const Bytes& b) { return b.empty() ? nullptr : b.data(); }

    int output_key(const Bytes& internal, const Bytes& root, Bytes& out, int& parity) {
        out.assign(32, 0xAA);
        parity = 7;
        return qorvex_taproot_output_key(ctx(), internal.data(), ptr(root), out.data(), &parity);
    }
    int verify(const Bytes& output, int parity, const Bytes& internal, const Bytes& root) {
        return qorvex_taproot_verify(ctx(), output.data(), parity, internal.data(), ptr(root), root.size());
    }

    CtxPtr ctx_;
    Json vec_;
};

// Every scriptPubKey case: the tweak, the output key, the P2TR script, and
// the commitment check with the right and the wrong parity.
TEST_F(TaprootKeys, ScriptPubKeyVectors) {
    int cases = 0;
    for (const Json& c : vec_["scriptPubKey"].array()) {
        SCOPED_TRACE("case " + std::to_string(cases));
        ++cases;
        const Bytes internal = from_hex(c["given"]["internalPubkey"].str());
        const Bytes root = root_of(c["intermediary"]["merkleRoot"]);
        Bytes tweak_input = internal;
        tweak_input.insert(tweak_input.end(), root.begin(), root.end());
        Bytes tweak(32);
        ASSERT_EQ(0, qorvex_tagged_hash("TapTweak", tweak_input.data(), tweak_input.size(), tweak.data()));
        EXPECT_EQ(from_hex(c["intermediary"]["tweak"].str()), tweak);

        Bytes q;
        int parity = 0;
        ASSERT_EQ(0, output_key(internal, root, q, parity));
        EXPECT_EQ(from_hex(c["intermediary"]["tweakedPubkey"].str()), q);
        Bytes script(34);
        script[0] = 0x51;  // OP_1
        script[1] = 0x20;  // push 32
        std::memcpy(script.data() + 2, q.data(), 32);
        EXPECT_EQ(from_hex(c["expected"]["scriptPubKey"].str()), script);
        ASSERT_TRUE(parity == 0 || parity == 1);
        // The control blocks carry the parity in their first byte.
        if (c["expected"].has("scriptPathControlBlocks")) {
            for (const Json& cb : c["expected"]["scriptPathControlBlocks"].array()) {
                EXPECT_EQ(parity, from_hex(cb.str())[0] & 1);
            }
        }

        expect_error(verify(q, parity, internal, root), 0, nullptr);
        expect_error(verify(q, 1 - parity, internal, root), 6, kCommitmentInvalid);
        if (!root.empty()) expect_error(verify(q, parity, internal, {}), 6, kCommitmentInvalid);
        Bytes other = q;
        other[31] ^= 1;
        expect_error(verify(other, parity, internal, root), 6, kCommitmentInvalid);
    }
    EXPECT_EQ(7, cases);
}

// The key-path inputs: the tweaked private keys, and their public keys are
// the output keys of the internal keys.
TEST_F(TaprootKeys, PrivateKeyTweakVectors) {
    int inputs = 0;
    for (const Json& in : vec_["keyPathSpending"][static_cast<size_t>(0)]["inputSpending"].array()) {
        SCOPED_TRACE("input " + std::to_string(in["given"]["txinIndex"].integer()));
        ++inputs;
        const Bytes key = from_hex(in["given"]["internalPrivkey"].str());
        const Bytes root = root_of(in["given"]["merkleRoot"]);
        Bytes tweaked(32, 0xAA);
        ASSERT_EQ(0, qorvex_taproot_tweak_seckey(ctx(), key.data(), ptr(root), tweaked.data()));
        EXPECT_EQ(from_hex(in["intermediary"]["tweakedPrivkey"].str()), tweaked);

        Bytes internal(32), pub(33), q;
        ASSERT_EQ(0, qorvex_pubkey_xonly(ctx(), key.data(), internal.data()));
        EXPECT_EQ(from_hex(in["intermediary"]["internalPubkey"].str()), internal);
        ASSERT_EQ(0, qorvex_pubkey_create(ctx(), tweaked.data(), pub.data()));
        int parity = 0;
        ASSERT_EQ(0, output_key(internal, root, q, parity));
        EXPECT_EQ(Bytes(pub.begin() + 1, pub.end()), q);
        EXPECT_EQ(pub[0] == 0x03 ? 1 : 0, parity);

        // In place: the output over the key.
        Bytes inplace = key;
        ASSERT_EQ(0, qorvex_taproot_tweak_seckey(ctx(), inplace.data(), ptr(root), inplace.data()));
        EXPECT_EQ(tweaked, inplace);
    }
    EXPECT_EQ(7, inputs);
}

// No root: the key-path-only (BIP-86) output, through both functions.
TEST_F(TaprootKeys, KeyPathOnlyAgreesBetweenPublicAndPrivate) {
    for (const std::string& hex : {std::string("01"), std::string("4d4d4d"), std::string(kOrderMinus1Hex)}) {
        SCOPED_TRACE(hex);
        const Bytes key = be32(hex);
        Bytes internal(32), tweaked(32), pub(33), q;
        ASSERT_EQ(0, qorvex_pubkey_xonly(ctx(), key.data(), internal.data()));
        ASSERT_EQ(0, qorvex_taproot_tweak_seckey(ctx(), key.data(), nullptr, tweaked.data()));
        ASSERT_EQ(0, qorvex_pubkey_create(ctx(), tweaked.data(), pub.data()));
        int parity = 0;
        ASSERT_EQ(0, output_key(internal, {}, q, parity));
        EXPECT_EQ(Bytes(pub.begin() + 1, pub.end()), q);
        EXPECT_EQ(pub[0] == 0x03 ? 1 : 0, parity);
        expect_error(verify(q, parity, internal, {}), 0, nullptr);
    }
}

TEST_F(TaprootKeys, OutputKeyErrors) {
    struct Row {
        const char* what;
        std::string internal;
        int code;
        const char* message;
    };
    const Row rows[] = {
        {"all zero", std::string(64, '0'), 3, kZeroXonlyKey},
        {"x off the curve", kOffCurveHex, 7, kDerivationFailed},
        {"x = p", kPHex, 7, kDerivationFailed},
        {"x = 2^256 - 1", std::string(64, 'f'), 7, kDerivationFailed},
    };
    const Bytes root(32, 0x10);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        for (const bool with_root : {false, true}) {
            Bytes q;
            int parity = 0;
            expect_error(output_key(be32(r.internal), with_root ? root : Bytes{}, q, parity), r.code, r.message);
            EXPECT_EQ(Bytes(32, 0), q);
            EXPECT_EQ(0, parity);
            expect_error(verify(Bytes(32, 0x01), 0, be32(r.internal), with_root ? root : Bytes{}), 6,
                         kCommitmentInvalid);
        }
    }
}

TEST_F(TaprootKeys, TweakSeckeyErrors) {
    for (const char* hex : {"0", kOrderHex, "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"}) {
        SCOPED_TRACE(hex);
        Bytes key = be32(hex), out(32, 0xAA);
        expect_error(qorvex_taproot_tweak_seckey(ctx(), key.data(), nullptr, out.data()), 2, kBadPrivkey);
        EXPECT_EQ(Bytes(32, 0), out);
    }
}

TEST_F(TaprootKeys, VerifyRootLengthsAndParity) {
    const Bytes internal = from_hex(vec_["scriptPubKey"][static_cast<size_t>(0)]["given"]["internalPubkey"].str());
    // Any root length up to 32 is hashed as given.
    const Bytes short_root = {0x01, 0x02, 0x03};
    Bytes tweak_input = internal;
    tweak_input.insert(tweak_input.end(), short_root.begin(), short_root.end());
    Bytes t(32), pub(33), q(32);
    ASSERT_EQ(0, qorvex_tagged_hash("TapTweak", tweak_input.data(), tweak_input.size(), t.data()));
    Bytes internal33 = {0x02};
    internal33.insert(internal33.end(), internal.begin(), internal.end());
    ASSERT_EQ(0, qorvex_pubkey_tweak_add(ctx(), internal33.data(), t.data(), pub.data()));
    std::memcpy(q.data(), pub.data() + 1, 32);
    const int parity = pub[0] & 1;
    expect_error(verify(q, parity, internal, short_root), 0, nullptr);
    // Longer than 32 bytes, or a parity that is neither 0 nor 1.
    const Bytes long_root(33, 0x01);
    expect_error(verify(q, parity, internal, long_root), 6, kCommitmentInvalid);
    expect_error(verify(q, 2, internal, short_root), 6, kCommitmentInvalid);
    expect_error(verify(q, -1, internal, short_root), 6, kCommitmentInvalid);
}

TEST_F(TaprootKeys, NullArguments) {
    const Bytes a(32, 0x01);
    Bytes out(32, 0xAA);
    int parity = 5;
    // A failure to find unchanged afterwards.
    expect_error(qorvex_taproot_tweak_seckey(ctx(), Bytes(32, 0).data(), nullptr, out.data()), 2, kBadPrivkey);
    out.assign(32, 0xAA);
    EXPECT_EQ(1, qorvex_taproot_output_key(nullptr, a.data(), nullptr, out.data(), &parity));
    EXPECT_EQ(1, qorvex_taproot_output_key(ctx(), nullptr, nullptr, out.data(), &parity));
    EXPECT_EQ(1, qorvex_taproot_output_key(ctx(), a.data(), nullptr, nullptr, &parity));
    EXPECT_EQ(1, qorvex_taproot_output_key(ctx(), a.data(), nullptr, out.data(), nullptr));
    EXPECT_EQ(1, qorvex_taproot_tweak_seckey(nullptr, a.data(), nullptr, out.data()));
    EXPECT_EQ(1, qorvex_taproot_tweak_seckey(ctx(), nullptr, nullptr, out.data()));
    EXPECT_EQ(1, qorvex_taproot_tweak_seckey(ctx(), a.data(), nullptr, nullptr));
    EXPECT_EQ(1, qorvex_taproot_verify(nullptr, a.data(), 0, a.data(), nullptr, 0));
    EXPECT_EQ(1, qorvex_taproot_verify(ctx(), nullptr, 0, a.data(), nullptr, 0));
    EXPECT_EQ(1, qorvex_taproot_verify(ctx(), a.data(), 0, nullptr, nullptr, 0));
    EXPECT_EQ(1, qorvex_taproot_verify(ctx(), a.data(), 0, a.data(), nullptr, 5));
    EXPECT_EQ(2, qorvex_last_error(ctx()));
    EXPECT_STREQ(kBadPrivkey, qorvex_last_error_msg(ctx()));
    EXPECT_EQ(Bytes(32, 0xAA), out);
    EXPECT_EQ(5, parity);
}

// The output key may be written over the internal key or the root.
TEST_F(TaprootKeys, OutputKeyMayOverlapItsInputs) {
    const Json& c = vec_["scriptPubKey"][static_cast<size_t>(3)];
    const Bytes internal = from_hex(c["given"]["internalPubkey"].str());
    const Bytes root = from_hex(c["intermediary"]["merkleRoot"].str());
    const Bytes expected = from_hex(c["intermediary"]["tweakedPubkey"].str());
    Bytes a = internal;
    int parity = 0;
    ASSERT_EQ(0, qorvex_taproot_output_key(ctx(), a.data(), root.data(), a.data(), &parity));
    EXPECT_EQ(expected, a);
    Bytes b = root;
    ASSERT_EQ(0, qorvex_taproot_output_key(ctx(), internal.data(), b.data(), b.data(), &parity));
    EXPECT_EQ(expected, b);
}

}  // namespace
}  // namespace qorvex::test
