// SNARK witness records through the exported interface: each record
// against one computed here, value by value, from big-integer arithmetic
// and the library's key functions (for the ECDSA point R); the BIP-340
// vectors; and every code and message.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "sig/bip340_vectors.h"
#include "support/bignum.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

const BigUint kN = BigUint::from_hex(kOrderHex);
const BigUint kP = BigUint::from_hex("fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f");

BigUint num(const uint8_t* p) { return BigUint::from_bytes_be(p, 32); }
BigUint num(const Bytes& b) { return num(b.data()); }
Bytes bytes(const BigUint& v) { return from_hex(v.to_hex(64)); }

// limb52 from the number, by shifts and masks of the big integer.
Bytes limb52(const Bytes& be32) {
    const BigUint mask = (BigUint(1) << 52) - BigUint(1);
    BigUint v = num(be32);
    Bytes out;
    for (int k = 0; k < 5; ++k) {
        const BigUint limb = v % (mask + BigUint(1));
        uint64_t l[4];
        limb.to_limbs(l);
        for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(l[0] >> (8 * i)));
        v = v >> 52;
    }
    return out;
}

Bytes le32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

Bytes slice(const uint8_t* p, size_t at, size_t n) { return Bytes(p + at, p + at + n); }

// The even-y root of x^3 + 7, or nothing when x >= p or there is none.
std::optional<Bytes> even_y(const Bytes& x32) {
    const BigUint x = num(x32);
    if (x >= kP) return std::nullopt;
    const BigUint rhs = (x * x % kP * x + BigUint(7)) % kP;
    BigUint y = BigUint::pow_mod(rhs, (kP + BigUint(1)) / BigUint(4), kP);
    if (y * y % kP != rhs) return std::nullopt;
    if (y.bit(0)) y = kP - y;
    return bytes(y);
}

class SnarkWitness : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }

    void expect_error(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
    }

    // The ECDSA record computed here. R = u1*G + u2*Q comes from the
    // library's key functions; R.y from its parity and the curve equation.
    Bytes expected_ecdsa(const Bytes& msg, const Bytes& pub33, const Bytes& sig) {
        const BigUint r = num(sig.data()), s = num(sig.data() + 32);
        const BigUint z = num(msg) % kN;
        const BigUint w = BigUint::inv_mod_prime(s, kN);
        const BigUint u1 = z * w % kN, u2 = r * w % kN;
        const Bytes qx(pub33.begin() + 1, pub33.end());
        Bytes qy = *even_y(qx);
        if ((pub33[0] == 0x03) != num(qy).bit(0)) qy = bytes(kP - num(qy));

        Bytes rx(32, 0), ry(32, 0), rx_mod_n(32, 0);
        uint32_t valid = 0;
        Bytes a(33), b(33), sum(33);
        const bool have_a = !u1.is_zero() && qorvex_pubkey_create(ctx(), bytes(u1).data(), a.data()) == QORVEX_OK;
        EXPECT_TRUE(have_a);
        EXPECT_EQ(QORVEX_OK, qorvex_pubkey_tweak_mul(ctx(), pub33.data(), bytes(u2).data(), b.data()));
        if (qorvex_pubkey_add(ctx(), a.data(), b.data(), sum.data()) == QORVEX_OK) {
            rx.assign(sum.begin() + 1, sum.end());
            ry = *even_y(rx);
            if ((sum[0] == 0x03) != num(ry).bit(0)) ry = bytes(kP - num(ry));
            rx_mod_n = bytes(num(rx) % kN);
            valid = num(rx_mod_n) == r ? 1 : 0;
        }
        Bytes rec = msg;
        const Bytes fields[] = {slice(sig.data(), 0, 32), slice(sig.data(), 32, 32), qx, qy, bytes(w), bytes(u1),
                                bytes(u2), rx, ry, rx_mod_n};
        for (const Bytes& f : fields) rec.insert(rec.end(), f.begin(), f.end());
        for (const Bytes& f : fields) {
            const Bytes l = limb52(f);
            rec.insert(rec.end(), l.begin(), l.end());
        }
        const Bytes v = le32(valid);
        rec.insert(rec.end(), v.begin(), v.end());
        return rec;
    }

    // The BIP-340 record computed here; valid is the expected verdict.
    static Bytes expected_schnorr(const Bytes& msg, const Bytes& x, const Bytes& sig, bool valid) {
        const Bytes r(sig.begin(), sig.begin() + 32), s(sig.begin() + 32, sig.end());
        Bytes ry(32, 0), py(32, 0), e(32, 0);
        const auto lifted_r = even_y(r);
        const auto lifted_p = even_y(x);
        if (lifted_r) {
            ry = *lifted_r;
            if (lifted_p) {
                py = *lifted_p;
                Bytes challenge = r;
                challenge.insert(challenge.end(), x.begin(), x.end());
                challenge.insert(challenge.end(), msg.begin(), msg.end());
                Bytes h(32);
                qorvex_tagged_hash("BIP0340/challenge", challenge.data(), challenge.size(), h.data());
                e = bytes(num(h) % kN);
            }
        }
        Bytes rec = msg;
        for (const Bytes& f : {r, s, x, ry, py, e}) rec.insert(rec.end(), f.begin(), f.end());
        for (const Bytes& f : {bytes(num(r) % kP), s, bytes(num(x) % kP), ry, py, e}) {
            const Bytes l = limb52(f);
            rec.insert(rec.end(), l.begin(), l.end());
        }
        const Bytes v = le32(valid ? 1 : 0);
        rec.insert(rec.end(), v.begin(), v.end());
        return rec;
    }

    int ecdsa(const Bytes& msg, const Bytes& pub, const Bytes& sig, Bytes& out) {
        out.assign(QORVEX_ZK_ECDSA_SNARK_WITNESS_SIZE, 0xA5);
        return qorvex_zk_ecdsa_snark_witness(ctx(), msg.data(), pub.data(), sig.data(), out.data());
    }
    int schnorr(const Bytes& msg, const Bytes& x, const Bytes& sig, Bytes& out) {
        out.assign(QORVEX_ZK_SCHNORR_SNARK_WITNESS_SIZE, 0xA5);
        return qorvex_zk_schnorr_snark_witness(ctx(), msg.data(), x.data(), sig.data(), out.data());
    }

    CtxPtr ctx_;
};

const Bytes kKey = be32("4d7b31f9e8a7c6b5a4938271605f4e3d2c1b0a9988776655443322110fedcba9");
const Bytes kMsg = be32("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");

TEST_F(SnarkWitness, EcdsaValidFlippedAndHighS) {
    Bytes pub(33), sig(64), rec;
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx(), kKey.data(), pub.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_ecdsa_sign(ctx(), kMsg.data(), kKey.data(), sig.data()));

    ASSERT_EQ(QORVEX_OK, ecdsa(kMsg, pub, sig, rec));
    EXPECT_EQ(to_hex(expected_ecdsa(kMsg, pub, sig)), to_hex(rec));
    EXPECT_EQ(le32(1), slice(rec.data(), 752, 4));
    EXPECT_EQ(slice(rec.data(), 32, 32), slice(rec.data(), 320, 32));  // R.x mod n = r

    Bytes flipped = kMsg;
    flipped[31] ^= 1;
    ASSERT_EQ(QORVEX_OK, ecdsa(flipped, pub, sig, rec));
    EXPECT_EQ(0, qorvex_last_error(ctx()));
    EXPECT_EQ(to_hex(expected_ecdsa(flipped, pub, sig)), to_hex(rec));
    EXPECT_EQ(le32(0), slice(rec.data(), 752, 4));

    // s -> n - s: no low-S rule, and R becomes -R.
    Bytes high = sig;
    const Bytes s_high = bytes(kN - num(sig.data() + 32));
    std::memcpy(high.data() + 32, s_high.data(), 32);
    Bytes low_rec;
    ASSERT_EQ(QORVEX_OK, ecdsa(kMsg, pub, sig, low_rec));
    ASSERT_EQ(QORVEX_OK, ecdsa(kMsg, pub, high, rec));
    EXPECT_EQ(to_hex(expected_ecdsa(kMsg, pub, high)), to_hex(rec));
    EXPECT_EQ(le32(1), slice(rec.data(), 752, 4));
    EXPECT_EQ(slice(low_rec.data(), 256, 32), slice(rec.data(), 256, 32));
    EXPECT_EQ(bytes(kP - num(low_rec.data() + 288)), slice(rec.data(), 288, 32));
}

// With z = -r*d mod n, u1*G + u2*Q = w*(z + r*d)*G is infinity: the R
// fields, R.x mod n and the flag stay zero, and the call succeeds.
TEST_F(SnarkWitness, EcdsaPointAtInfinity) {
    Bytes pub(33), rec;
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx(), kKey.data(), pub.data()));
    const Bytes r = be32("1234567890abcdef"), s = be32("fedcba0987654321");
    const Bytes z = bytes(kN - num(r) * num(kKey) % kN);
    Bytes sig = r;
    sig.insert(sig.end(), s.begin(), s.end());
    ASSERT_EQ(QORVEX_OK, ecdsa(z, pub, sig, rec));
    EXPECT_EQ(Bytes(96, 0), slice(rec.data(), 256, 96));
    EXPECT_EQ(Bytes(120, 0), slice(rec.data(), 352 + 7 * 40, 120));
    EXPECT_EQ(le32(0), slice(rec.data(), 752, 4));
    const BigUint w = BigUint::inv_mod_prime(num(s), kN);
    EXPECT_EQ(bytes(w), slice(rec.data(), 160, 32));
    EXPECT_EQ(bytes(num(z) * w % kN), slice(rec.data(), 192, 32));
    EXPECT_EQ(bytes(num(r) * w % kN), slice(rec.data(), 224, 32));
}

TEST_F(SnarkWitness, EcdsaCodesInOrder) {
    Bytes pub(33), sig(64), rec;
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx(), kKey.data(), pub.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_ecdsa_sign(ctx(), kMsg.data(), kKey.data(), sig.data()));
    auto with_r = [&](const Bytes& v) { Bytes s = sig; std::memcpy(s.data(), v.data(), 32); return s; };
    auto with_s = [&](const Bytes& v) { Bytes s = sig; std::memcpy(s.data() + 32, v.data(), 32); return s; };
    Bytes pub04 = pub, off_curve = be32("05"), x_is_p = bytes(kP);
    pub04[0] = 0x04;
    off_curve.insert(off_curve.begin(), 0x02);
    x_is_p.insert(x_is_p.begin(), 0x03);
    const Bytes zero(32, 0), n = be32(kOrderHex);
    struct Case {
        const char* what;
        Bytes pub, sig;
        const char* message;
    };
    const Case cases[] = {
            {"prefix 04", pub04, sig, "invalid pubkey"},
            {"x not on the curve", off_curve, sig, "invalid pubkey"},
            {"x = p", x_is_p, sig, "invalid pubkey"},
            {"r = 0", pub, with_r(zero), "invalid sig r"},
            {"r = n", pub, with_r(n), "invalid sig r"},
            {"s = 0", pub, with_s(zero), "invalid sig s"},
            {"s = n", pub, with_s(n), "invalid sig s"},
            {"the key before r", pub04, with_r(zero), "invalid pubkey"},
            {"r before s", pub, Bytes(64, 0), "invalid sig r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expect_error(ecdsa(kMsg, c.pub, c.sig, rec), QORVEX_ERR_BAD_INPUT, c.message);
        EXPECT_EQ(Bytes(QORVEX_ZK_ECDSA_SNARK_WITNESS_SIZE, 0xA5), rec);
    }
}

// The BIP-340 vectors with 32-byte messages: the flag is the vector's
// verdict, and what the algorithm does not reach stays zero.
TEST_F(SnarkWitness, SchnorrBip340Vectors) {
    int checked = 0;
    for (const auto& v : schnorr::bip340_vectors()) {
        if (v.msg.size() != 32) continue;
        SCOPED_TRACE("vector " + std::to_string(v.index) + " " + v.comment);
        Bytes rec;
        const int rc = schnorr(v.msg, v.pubkey, v.sig, rec);
        const BigUint s = num(v.sig.data() + 32);
        if (s.is_zero() || s >= kN) {
            expect_error(rc, QORVEX_ERR_BAD_INPUT, "invalid sig s");
            EXPECT_EQ(Bytes(QORVEX_ZK_SCHNORR_SNARK_WITNESS_SIZE, 0xA5), rec);
            continue;
        }
        ASSERT_EQ(QORVEX_OK, rc);
        EXPECT_EQ(to_hex(expected_schnorr(v.msg, v.pubkey, v.sig, v.valid)), to_hex(rec));
        ++checked;
    }
    EXPECT_EQ(14, checked);
}

TEST_F(SnarkWitness, SchnorrOwnSignatureAndUnliftableInputs) {
    Bytes x(32), sig(64), rec;
    const Bytes aux = be32("01");
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_xonly(ctx(), kKey.data(), x.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_schnorr_sign(ctx(), kMsg.data(), kKey.data(), aux.data(), sig.data()));
    ASSERT_EQ(QORVEX_OK, schnorr(kMsg, x, sig, rec));
    EXPECT_EQ(to_hex(expected_schnorr(kMsg, x, sig, true)), to_hex(rec));
    Bytes flipped = kMsg;
    flipped[0] ^= 0x80;
    ASSERT_EQ(QORVEX_OK, schnorr(flipped, x, sig, rec));
    EXPECT_EQ(to_hex(expected_schnorr(flipped, x, sig, false)), to_hex(rec));

    // r = 5 is not an x coordinate: R.y, P.y and e stay zero. A key of 5
    // likewise leaves P.y and e. Both with valid = 0 and code 0.
    Bytes bad_r = sig;
    const Bytes five = be32("05");
    std::memcpy(bad_r.data(), five.data(), 32);
    ASSERT_EQ(QORVEX_OK, schnorr(kMsg, x, bad_r, rec));
    EXPECT_EQ(Bytes(96, 0), slice(rec.data(), 128, 96));
    EXPECT_EQ(to_hex(expected_schnorr(kMsg, x, bad_r, false)), to_hex(rec));
    ASSERT_EQ(QORVEX_OK, schnorr(kMsg, five, sig, rec));
    EXPECT_NE(Bytes(32, 0), slice(rec.data(), 128, 32));
    EXPECT_EQ(Bytes(64, 0), slice(rec.data(), 160, 64));
    EXPECT_EQ(to_hex(expected_schnorr(kMsg, five, sig, false)), to_hex(rec));
}

TEST_F(SnarkWitness, SchnorrCodes) {
    Bytes x(32), sig(64), rec;
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_xonly(ctx(), kKey.data(), x.data()));
    for (const Bytes& s : {Bytes(32, 0), be32(kOrderHex), Bytes(32, 0xFF)}) {
        std::memcpy(sig.data() + 32, s.data(), 32);
        expect_error(schnorr(kMsg, x, sig, rec), QORVEX_ERR_BAD_INPUT, "invalid sig s");
        EXPECT_EQ(Bytes(QORVEX_ZK_SCHNORR_SNARK_WITNESS_SIZE, 0xA5), rec);
    }
}

// A NULL pointer returns 1 and leaves the context as it was.
TEST_F(SnarkWitness, NullArguments) {
    uint8_t m[32] = {0}, k[33] = {2}, s[64] = {0}, out[QORVEX_ZK_ECDSA_SNARK_WITNESS_SIZE];
    Bytes rec;
    ASSERT_EQ(QORVEX_ERR_BAD_INPUT, schnorr(kMsg, kMsg, Bytes(64, 0), rec));
    EXPECT_EQ(1, qorvex_zk_ecdsa_snark_witness(nullptr, m, k, s, out));
    EXPECT_EQ(1, qorvex_zk_ecdsa_snark_witness(ctx(), nullptr, k, s, out));
    EXPECT_EQ(1, qorvex_zk_ecdsa_snark_witness(ctx(), m, nullptr, s, out));
    EXPECT_EQ(1, qorvex_zk_ecdsa_snark_witness(ctx(), m, k, nullptr, out));
    EXPECT_EQ(1, qorvex_zk_ecdsa_snark_witness(ctx(), m, k, s, nullptr));
    EXPECT_EQ(1, qorvex_zk_schnorr_snark_witness(nullptr, m, m, s, out));
    EXPECT_EQ(1, qorvex_zk_schnorr_snark_witness(ctx(), nullptr, m, s, out));
    EXPECT_EQ(1, qorvex_zk_schnorr_snark_witness(ctx(), m, nullptr, s, out));
    EXPECT_EQ(1, qorvex_zk_schnorr_snark_witness(ctx(), m, m, nullptr, out));
    EXPECT_EQ(1, qorvex_zk_schnorr_snark_witness(ctx(), m, m, s, nullptr));
    expect_error(QORVEX_ERR_BAD_INPUT, QORVEX_ERR_BAD_INPUT, "invalid sig s");
}

// The record may be written over its own inputs: they are read first.
TEST_F(SnarkWitness, OutputOverlapsInputs) {
    Bytes pub(33), sig(64), x(32), ssig(64), separate;
    const Bytes aux = be32("07");
    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_create(ctx(), kKey.data(), pub.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_ecdsa_sign(ctx(), kMsg.data(), kKey.data(), sig.data()));
    ASSERT_EQ(QORVEX_OK, ecdsa(kMsg, pub, sig, separate));
    Bytes buf(QORVEX_ZK_ECDSA_SNARK_WITNESS_SIZE);
    std::memcpy(buf.data(), kMsg.data(), 32);
    std::memcpy(buf.data() + 32, sig.data(), 64);
    std::memcpy(buf.data() + 96, pub.data(), 33);
    ASSERT_EQ(QORVEX_OK, qorvex_zk_ecdsa_snark_witness(ctx(), buf.data(), buf.data() + 96, buf.data() + 32, buf.data()));
    EXPECT_EQ(separate, buf);

    ASSERT_EQ(QORVEX_OK, qorvex_pubkey_xonly(ctx(), kKey.data(), x.data()));
    ASSERT_EQ(QORVEX_OK, qorvex_schnorr_sign(ctx(), kMsg.data(), kKey.data(), aux.data(), ssig.data()));
    ASSERT_EQ(QORVEX_OK, schnorr(kMsg, x, ssig, separate));
    buf.assign(QORVEX_ZK_SCHNORR_SNARK_WITNESS_SIZE, 0);
    std::memcpy(buf.data(), kMsg.data(), 32);
    std::memcpy(buf.data() + 32, ssig.data(), 64);
    std::memcpy(buf.data() + 96, x.data(), 32);
    ASSERT_EQ(QORVEX_OK,
              qorvex_zk_schnorr_snark_witness(ctx(), buf.data(), buf.data() + 96, buf.data() + 32, buf.data()));
    EXPECT_EQ(separate, buf);
}

}  // namespace
}  // namespace qorvex::test
