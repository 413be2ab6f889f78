#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kHalfOrder = "7fffffffffffffffffffffffffffffff5d576e7357a4501ddfe92f46681b20a0";

Bytes cat(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// n - s for a 32-byte big-endian s, through the key negation export.
Bytes negate32(qorvex_ctx* ctx, Bytes s) {
    EXPECT_EQ(0, qorvex_seckey_negate(ctx, s.data()));
    return s;
}

Bytes reverse_halves(const Bytes& sig) {
    Bytes out(64);
    for (int i = 0; i < 32; ++i) {
        out[i] = sig[31 - i];
        out[32 + i] = sig[63 - i];
    }
    return out;
}

class Ecdsa : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        key_ = be32("c90fdaa22168c234c4c6628b80dc1cd129024e088a67cc74020bbea63b14e5c7");
        msg_ = be32("243f6a8885a308d313198a2e03707344a4093822299f31d0082efa98ec4e6c89");
        pub_.resize(33);
        ASSERT_EQ(0, qorvex_pubkey_create(ctx_.get(), key_.data(), pub_.data()));
        sig_.resize(64);
        ASSERT_EQ(0, qorvex_ecdsa_sign(ctx_.get(), msg_.data(), key_.data(), sig_.data()));
    }
    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx_.get()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx_.get()));
    }
    CtxPtr ctx_;
    Bytes key_, msg_, pub_, sig_;
};

TEST_F(Ecdsa, SignIsDeterministicLowSAndVerifies) {
    Bytes again(64), verified(64);
    ASSERT_EQ(0, qorvex_ecdsa_sign(ctx_.get(), msg_.data(), key_.data(), again.data()));
    EXPECT_EQ(sig_, again);
    ASSERT_EQ(0, qorvex_ecdsa_sign_verified(ctx_.get(), msg_.data(), key_.data(), verified.data()));
    EXPECT_EQ(sig_, verified);
    EXPECT_LE(Bytes(sig_.begin() + 32, sig_.end()), be32(kHalfOrder));
    EXPECT_EQ(0, qorvex_ecdsa_verify(ctx_.get(), msg_.data(), sig_.data(), pub_.data()));
    Bytes other = msg_;
    other[0] ^= 1;
    expect_error(qorvex_ecdsa_verify(ctx_.get(), other.data(), sig_.data(), pub_.data()), 6, "ECDSA verify failed");
}

TEST_F(Ecdsa, BlindingAndThreadsDoNotChangeSignatures) {
    uint8_t seed[32] = {9, 8, 7};
    ASSERT_EQ(0, qorvex_context_randomize(ctx_.get(), seed));
    Bytes blinded(64), rec(64);
    ASSERT_EQ(0, qorvex_ecdsa_sign(ctx_.get(), msg_.data(), key_.data(), blinded.data()));
    EXPECT_EQ(sig_, blinded);
    int recid = -1;
    ASSERT_EQ(0, qorvex_ecdsa_sign_recoverable(ctx_.get(), msg_.data(), key_.data(), rec.data(), &recid));
    EXPECT_EQ(sig_, rec);
    ASSERT_EQ(0, qorvex_context_randomize(ctx_.get(), nullptr));
    std::vector<Bytes> from_threads(4, Bytes(64));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            uint8_t s[32] = {static_cast<uint8_t>(t)};
            if (t % 2) qorvex_context_randomize(ctx_.get(), s);
            qorvex_ecdsa_sign(ctx_.get(), msg_.data(), key_.data(), from_threads[t].data());
        });
    }
    for (auto& th : threads) th.join();
    for (const Bytes& b : from_threads) EXPECT_EQ(sig_, b);
}

TEST_F(Ecdsa, SigningFailures) {
    for (const std::string& bad : {std::string("00"), std::string(kOrderHex)}) {
        auto k = be32(bad);
        Bytes out(64, 0xAA);
        int recid = 5;
        expect_error(qorvex_ecdsa_sign(ctx_.get(), msg_.data(), k.data(), out.data()), 2, "privkey is zero or >= n");
        expect_error(qorvex_ecdsa_sign_verified(ctx_.get(), msg_.data(), k.data(), out.data()), 2,
                     "privkey is zero or >= n");
        expect_error(qorvex_ecdsa_sign_recoverable(ctx_.get(), msg_.data(), k.data(), out.data(), &recid), 2,
                     "privkey is zero or >= n");
        EXPECT_EQ(Bytes(64, 0xAA), out);
        EXPECT_EQ(5, recid);
    }
}

TEST_F(Ecdsa, VerifyChecksInOrder) {
    const Bytes r(sig_.begin(), sig_.begin() + 32), s(sig_.begin() + 32, sig_.end());
    const Bytes high = cat(r, negate32(ctx_.get(), s));
    const Bytes bad_pub = cat(Bytes{0x02}, be32("05"));
    struct Case {
        const char* what;
        Bytes sig, pub;
        int rc;
        const char* message;
    };
    const Case cases[] = {
        {"r = 0", cat(be32("00"), s), pub_, 4, "non-canonical compact sig"},
        {"s = 0", cat(r, be32("00")), pub_, 4, "non-canonical compact sig"},
        {"r = n", cat(be32(kOrderHex), s), pub_, 4, "non-canonical compact sig"},
        {"s = n", cat(r, be32(kOrderHex)), pub_, 4, "non-canonical compact sig"},
        {"high s", high, pub_, 4, "high-S signature rejected (BIP-62)"},
        {"high s and bad key", high, bad_pub, 4, "high-S signature rejected (BIP-62)"},
        {"bad key", sig_, bad_pub, 3, "invalid public key"},
        {"uncompressed prefix", sig_, cat(Bytes{0x04}, Bytes(pub_.begin() + 1, pub_.end())), 3, "invalid public key"},
        {"wrong key", sig_, cat(Bytes{static_cast<uint8_t>(pub_[0] ^ 1)}, Bytes(pub_.begin() + 1, pub_.end())), 6,
         "ECDSA verify failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expect_error(qorvex_ecdsa_verify(ctx_.get(), msg_.data(), c.sig.data(), c.pub.data()), c.rc, c.message);
    }
    // The opaque entry point normalises high S first, so it accepts it.
    EXPECT_EQ(0, qorvex_ecdsa_verify_opaque(ctx_.get(), msg_.data(), reverse_halves(high).data(), pub_.data()));
    EXPECT_EQ(0, qorvex_ecdsa_verify_opaque(ctx_.get(), msg_.data(), reverse_halves(sig_).data(), pub_.data()));
    expect_error(qorvex_ecdsa_verify_opaque(ctx_.get(), msg_.data(), reverse_halves(cat(r, be32("00"))).data(),
                                            pub_.data()),
                 4, "invalid opaque ECDSA sig");
    expect_error(qorvex_ecdsa_verify_opaque(ctx_.get(), msg_.data(), reverse_halves(sig_).data(), bad_pub.data()), 3,
                 "invalid public key");
    Bytes other = msg_;
    other[31] ^= 1;
    expect_error(qorvex_ecdsa_verify_opaque(ctx_.get(), other.data(), reverse_halves(sig_).data(), pub_.data()), 6,
                 "ECDSA verify failed");
}

TEST_F(Ecdsa, Recover) {
    Bytes sig(64), out(33, 0xAA);
    int recid = -1;
    ASSERT_EQ(0, qorvex_ecdsa_sign_recoverable(ctx_.get(), msg_.data(), key_.data(), sig.data(), &recid));
    ASSERT_EQ(0, qorvex_ecdsa_recover(ctx_.get(), msg_.data(), sig.data(), recid, out.data()));
    EXPECT_EQ(pub_, out);
    // High S is accepted: (r, n - s) recovers with the other parity.
    const Bytes high = cat(Bytes(sig.begin(), sig.begin() + 32), negate32(ctx_.get(), Bytes(sig.begin() + 32, sig.end())));
    ASSERT_EQ(0, qorvex_ecdsa_recover(ctx_.get(), msg_.data(), high.data(), recid ^ 1, out.data()));
    EXPECT_EQ(pub_, out);
    Bytes untouched(33, 0xAA), o = untouched;
    expect_error(qorvex_ecdsa_recover(ctx_.get(), msg_.data(), sig.data(), 4, o.data()), 5, "recid must be 0..3");
    expect_error(qorvex_ecdsa_recover(ctx_.get(), msg_.data(), sig.data(), -1, o.data()), 5, "recid must be 0..3");
    expect_error(qorvex_ecdsa_recover(ctx_.get(), msg_.data(), cat(be32("00"), be32("01")).data(), 0, o.data()), 4,
                 "non-canonical compact sig");
    // r = p - n ... is at least p - n, so no x = r + n exists.
    const Bytes big_r = cat(be32("14551231950b75fc4402da1722fc9baee"), be32("01"));
    expect_error(qorvex_ecdsa_recover(ctx_.get(), msg_.data(), big_r.data(), 2, o.data()), 6, "recovery failed");
    // x = 5 is not on the curve.
    expect_error(qorvex_ecdsa_recover(ctx_.get(), msg_.data(), cat(be32("05"), be32("01")).data(), 0, o.data()), 6,
                 "recovery failed");
    EXPECT_EQ(untouched, o);
}

TEST_F(Ecdsa, DerRules) {
    auto der_of = [&](const Bytes& sig) {
        Bytes der(72);
        size_t len = der.size();
        EXPECT_EQ(0, qorvex_ecdsa_sig_to_der(ctx_.get(), sig.data(), der.data(), &len));
        der.resize(len);
        return der;
    };
    const Bytes good = der_of(sig_);
    Bytes back(64);
    ASSERT_EQ(0, qorvex_ecdsa_sig_from_der(ctx_.get(), good.data(), good.size(), back.data()));
    EXPECT_EQ(sig_, back);

    // A 33-byte integer with a needed leading zero, and the same without the
    // high bit (then the zero is superfluous).
    const Bytes r_hi = cat(Bytes{0x00}, be32("8000000000000000000000000000000000000000000000000000000000000001"));
    const Bytes r_lo = cat(Bytes{0x00}, be32("7000000000000000000000000000000000000000000000000000000000000001"));
    auto seq = [](const Bytes& body) { return cat(Bytes{0x30, static_cast<uint8_t>(body.size())}, body); };
    auto integer = [](const Bytes& v) { return cat(Bytes{0x02, static_cast<uint8_t>(v.size())}, v); };
    const Bytes s1 = integer(Bytes{0x01});
    struct Case {
        const char* what;
        Bytes der;
        const char* message;  // nullptr: accepted
    };
    Bytes long_form = good;
    long_form[1] |= 0x80;
    Bytes trailing = seq(cat(cat(integer(Bytes{0x05}), s1), Bytes{0x00}));
    const Case cases[] = {
        {"7 bytes", Bytes(7, 0x30), "bad DER: missing/oversized SEQUENCE"},
        {"73 bytes", cat(Bytes{0x30, 71}, Bytes(71, 0)), "bad DER: missing/oversized SEQUENCE"},
        {"not a SEQUENCE", cat(Bytes{0x31}, Bytes(good.begin() + 1, good.end())), "bad DER: missing/oversized SEQUENCE"},
        {"long form", long_form, "bad DER: long-form length"},
        {"length mismatch", cat(good, Bytes{0x00}), "bad DER: length mismatch"},
        {"missing r", seq(cat(Bytes{0x04, 0x01, 0x01}, cat(s1, s1))), "bad DER: missing INTEGER"},
        {"missing s", seq(cat(integer(Bytes{1, 2, 3, 4}), Bytes{0x04, 0x00})), "bad DER: missing INTEGER"},
        {"truncated", seq(cat(integer(Bytes{1, 2, 3, 4, 5}), Bytes{0x02})), "bad DER: truncated"},
        {"long-form int", seq(cat(Bytes{0x02, 0x81, 0x01, 0x01}, s1)), "bad DER: long-form int length"},
        {"empty int", seq(cat(Bytes{0x02, 0x00}, cat(s1, Bytes{0x02}))), "bad DER: int length out of bounds"},
        {"int past end", seq(cat(Bytes{0x02, 0x09, 0x01}, s1)), "bad DER: int length out of bounds"},
        {"negative", seq(cat(integer(Bytes{0x80, 0x01}), s1)), "bad DER: negative integer"},
        {"leading zero", seq(cat(integer(r_lo), s1)), "bad DER: unnecessary leading zero"},
        {"needed zero", seq(cat(integer(r_hi), s1)), nullptr},
        {"trailing", trailing, "bad DER: trailing bytes"},
        {"33-byte value", seq(cat(integer(cat(Bytes{0x01}, be32("01"))), s1)), "bad DER: component > 32 bytes"},
        {"zero r", seq(cat(integer(Bytes{0x00}), integer(Bytes{1, 2, 3, 4}))), "bad DER: r or s out of range [1,n-1]"},
        {"r = n", seq(cat(integer(cat(Bytes{0x00}, be32(kOrderHex))), s1)), "bad DER: r or s out of range [1,n-1]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes out(64, 0xAA);
        const int rc = qorvex_ecdsa_sig_from_der(ctx_.get(), c.der.data(), c.der.size(), out.data());
        if (!c.message) {
            EXPECT_EQ(0, rc);
            continue;
        }
        expect_error(rc, 4, c.message);
        // Only the final range check leaves the decoded values in the output.
        if (std::string(c.message).find("out of range") == std::string::npos) {
            EXPECT_EQ(Bytes(64, 0xAA), out);
        } else {
            EXPECT_NE(Bytes(64, 0xAA), out);
        }
    }
}

TEST_F(Ecdsa, DerEncodingBufferAndCanonicalChecks) {
    Bytes der(72);
    size_t len = der.size();
    ASSERT_EQ(0, qorvex_ecdsa_sig_to_der(ctx_.get(), sig_.data(), der.data(), &len));
    const size_t exact = len;
    Bytes small(72, 0xAA);
    len = exact - 1;
    expect_error(qorvex_ecdsa_sig_to_der(ctx_.get(), sig_.data(), small.data(), &len), 10, "DER buffer too small");
    EXPECT_EQ(exact - 1, len);
    EXPECT_EQ(Bytes(72, 0xAA), small);
    len = exact;
    EXPECT_EQ(0, qorvex_ecdsa_sig_to_der(ctx_.get(), sig_.data(), small.data(), &len));
    EXPECT_EQ(exact, len);
    const Bytes zero_s = cat(Bytes(sig_.begin(), sig_.begin() + 32), be32("00"));
    len = 72;
    expect_error(qorvex_ecdsa_sig_to_der(ctx_.get(), zero_s.data(), der.data(), &len), 4, "non-canonical compact sig");
    // Smallest and largest encodings.
    const Bytes tiny = cat(be32("01"), be32("01"));
    len = 72;
    ASSERT_EQ(0, qorvex_ecdsa_sig_to_der(ctx_.get(), tiny.data(), der.data(), &len));
    EXPECT_EQ(8u, len);
    const Bytes huge = cat(be32(kOrderMinus1Hex), be32(kOrderMinus1Hex));
    len = 72;
    ASSERT_EQ(0, qorvex_ecdsa_sig_to_der(ctx_.get(), huge.data(), der.data(), &len));
    EXPECT_EQ(72u, len);
}

TEST_F(Ecdsa, CompactOpaqueConversions) {
    Bytes op(64), back(64), norm(64);
    ASSERT_EQ(0, qorvex_ecdsa_sig_compact_to_opaque(ctx_.get(), sig_.data(), op.data()));
    EXPECT_EQ(reverse_halves(sig_), op);
    ASSERT_EQ(0, qorvex_ecdsa_sig_opaque_to_compact(ctx_.get(), op.data(), back.data()));
    EXPECT_EQ(sig_, back);
    int changed = 7;
    ASSERT_EQ(0, qorvex_ecdsa_sig_normalize_opaque(ctx_.get(), op.data(), norm.data(), &changed));
    EXPECT_EQ(0, changed);
    EXPECT_EQ(op, norm);
    const Bytes high = cat(Bytes(sig_.begin(), sig_.begin() + 32), negate32(ctx_.get(), Bytes(sig_.begin() + 32, sig_.end())));
    ASSERT_EQ(0, qorvex_ecdsa_sig_normalize_opaque(ctx_.get(), reverse_halves(high).data(), norm.data(), &changed));
    EXPECT_EQ(1, changed);
    EXPECT_EQ(op, norm);
    EXPECT_EQ(0, qorvex_ecdsa_sig_normalize_opaque(ctx_.get(), op.data(), norm.data(), nullptr));

    const Bytes bad = cat(be32(kOrderHex), be32("01"));
    Bytes out(64, 0xAA);
    expect_error(qorvex_ecdsa_sig_compact_to_opaque(ctx_.get(), bad.data(), out.data()), 4, "non-canonical compact sig");
    EXPECT_EQ(Bytes(64, 0), out);
    out.assign(64, 0xAA);
    expect_error(qorvex_ecdsa_sig_opaque_to_compact(ctx_.get(), reverse_halves(bad).data(), out.data()), 4,
                 "invalid opaque ECDSA sig");
    EXPECT_EQ(Bytes(64, 0), out);
    out.assign(64, 0xAA);
    changed = 7;
    expect_error(qorvex_ecdsa_sig_normalize_opaque(ctx_.get(), reverse_halves(bad).data(), out.data(), &changed), 4,
                 "invalid opaque ECDSA sig");
    EXPECT_EQ(Bytes(64, 0), out);
    EXPECT_EQ(0, changed);
}

TEST_F(Ecdsa, NullArguments) {
    qorvex_ctx* c = ctx_.get();
    Bytes b(72);
    size_t len = 72;
    int recid = 0;
    const uint8_t* m = msg_.data();
    const int rcs[] = {
        qorvex_ecdsa_sign(nullptr, m, key_.data(), b.data()),
        qorvex_ecdsa_sign(c, nullptr, key_.data(), b.data()),
        qorvex_ecdsa_sign_verified(c, m, nullptr, b.data()),
        qorvex_ecdsa_sign_recoverable(c, m, key_.data(), b.data(), nullptr),
        qorvex_ecdsa_verify(c, m, nullptr, pub_.data()),
        qorvex_ecdsa_verify_opaque(c, m, sig_.data(), nullptr),
        qorvex_ecdsa_recover(c, m, sig_.data(), 0, nullptr),
        qorvex_ecdsa_sig_from_der(c, nullptr, 8, b.data()),
        qorvex_ecdsa_sig_to_der(c, sig_.data(), b.data(), nullptr),
        qorvex_ecdsa_sig_compact_to_opaque(c, nullptr, b.data()),
        qorvex_ecdsa_sig_opaque_to_compact(c, sig_.data(), nullptr),
        qorvex_ecdsa_sig_normalize_opaque(c, nullptr, b.data(), &recid),
    };
    (void)len;
    for (int rc : rcs) EXPECT_EQ(QORVEX_ERR_NULL_ARG, rc);
}

// Many threads verifying overlapping key sets agree with one thread; keys
// that share a cache slot evict each other without changing answers.
TEST(EcdsaCache, ThreadsAgreeWithOneThread) {
    auto ctx = make_ctx();
    constexpr int kKeys = 300;  // more keys than cache slots
    std::vector<Bytes> pubs(kKeys, Bytes(33)), sigs(kKeys, Bytes(64));
    const Bytes msg = be32("abcdef");
    for (int i = 0; i < kKeys; ++i) {
        auto k = be32(std::to_string(1000 + 7 * i));
        ASSERT_EQ(0, qorvex_pubkey_create(ctx.get(), k.data(), pubs[i].data()));
        ASSERT_EQ(0, qorvex_ecdsa_sign(ctx.get(), msg.data(), k.data(), sigs[i].data()));
    }
    // Pair signature i with key i (valid) or key i+1 (invalid).
    auto expected = [](int i, int j) { return i == j ? 0 : 6; };
    std::vector<int> failures(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            auto c = make_ctx();
            for (int round = 0; round < 3; ++round) {
                for (int i = t; i < kKeys; i += 2) {
                    const int j = (i + round) % kKeys;
                    const int rc = qorvex_ecdsa_verify(c.get(), msg.data(), sigs[i].data(), pubs[j].data());
                    if (rc != expected(i, j)) ++failures[t];
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int f : failures) EXPECT_EQ(0, f);
}

// Wycheproof: the message is hashed with SHA-256, the DER signature decoded
// by the library. Every "valid" case is strict DER here and verifies; every
// "invalid" case is refused, by the DER decoder (BER encodings, bad lengths,
// wrong types) or by verification. The plain file also calls high-S
// signatures valid: qorvex_ecdsa_verify refuses them by policy and
// qorvex_ecdsa_verify_opaque accepts them.
class Wycheproof : public ::testing::TestWithParam<const char*> {};

TEST_P(Wycheproof, VerdictsMatch) {
    const bool bitcoin_rules = std::string(GetParam()).find("bitcoin") != std::string::npos;
    const Json v = load_json_vectors(std::string("wycheproof/") + GetParam());
    auto ctx = make_ctx();
    int cases = 0, high_s = 0;
    for (const Json& group : v["testGroups"].array()) {
        const Bytes unc = from_hex(group["publicKey"]["uncompressed"].str());
        Bytes pub(33);
        ASSERT_EQ(0, qorvex_pubkey_parse(ctx.get(), unc.data(), unc.size(), pub.data()));
        for (const Json& t : group["tests"].array()) {
            SCOPED_TRACE("tcId " + std::to_string(t["tcId"].integer()) + ": " + t["comment"].str());
            ++cases;
            const Bytes msg = from_hex(t["msg"].str());
            Bytes digest(32);
            ASSERT_EQ(0, qorvex_sha256(msg.empty() ? digest.data() : msg.data(), msg.size(), digest.data()));
            const Bytes der = from_hex(t["sig"].str());
            Bytes sig(64);
            const bool valid = t["result"].str() == "valid";
            const int drc = qorvex_ecdsa_sig_from_der(ctx.get(), der.empty() ? sig.data() : der.data(), der.size(),
                                                      sig.data());
            if (drc != 0) {
                EXPECT_FALSE(valid) << "strict DER refused a valid signature: " << qorvex_last_error_msg(ctx.get());
                continue;
            }
            const int rc = qorvex_ecdsa_verify(ctx.get(), digest.data(), sig.data(), pub.data());
            const bool rejected_high_s =
                rc == 4 && std::string(qorvex_last_error_msg(ctx.get())) == "high-S signature rejected (BIP-62)";
            Bytes op(64);
            ASSERT_EQ(0, qorvex_ecdsa_sig_compact_to_opaque(ctx.get(), sig.data(), op.data()));
            const int orc = qorvex_ecdsa_verify_opaque(ctx.get(), digest.data(), op.data(), pub.data());
            if (rejected_high_s) ++high_s;
            if (!valid) {
                EXPECT_NE(0, rc);
                if (!rejected_high_s) {
                    EXPECT_NE(0, orc) << "opaque form";
                    continue;
                }
                // The Bitcoin file calls high-S signatures invalid for their
                // malleability alone; the opaque entry point normalises them,
                // so its verdict is that of the low-S twin.
                Bytes low_op(64), low(64);
                ASSERT_EQ(0, qorvex_ecdsa_sig_normalize_opaque(ctx.get(), op.data(), low_op.data(), nullptr));
                ASSERT_EQ(0, qorvex_ecdsa_sig_opaque_to_compact(ctx.get(), low_op.data(), low.data()));
                const int low_rc = qorvex_ecdsa_verify(ctx.get(), digest.data(), low.data(), pub.data());
                EXPECT_EQ(low_rc == 0, orc == 0);
                bool malleability = false;
                for (const Json& f : t["flags"].array()) malleability |= f.str() == "SignatureMalleabilityBitcoin";
                if (malleability) {
                    EXPECT_EQ(0, orc);
                }
                continue;
            }
            EXPECT_EQ(0, orc);
            if (rejected_high_s) {
                EXPECT_FALSE(bitcoin_rules);
                continue;
            }
            EXPECT_EQ(0, rc);
        }
    }
    EXPECT_GT(cases, 400);
    EXPECT_GT(high_s, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, Wycheproof,
                         ::testing::Values("ecdsa_secp256k1_sha256_bitcoin_test.json", "ecdsa_secp256k1_sha256_test.json"));

}  // namespace
}  // namespace qorvex::test
