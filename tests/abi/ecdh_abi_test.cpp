// ECDH through the public interface: agreement between two key pairs, the
// three derivations against each other, every code and message, and the
// Wycheproof secp256k1 ECDH file.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/bignum.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;
using EcdhFn = int (*)(qorvex_ctx*, const uint8_t*, const uint8_t*, uint8_t*);

constexpr char kBadKey[] = "privkey is zero or >= n";
constexpr char kBadPub[] = "invalid or infinity pubkey";

const std::pair<const char*, EcdhFn> kForms[] = {
    {"ecdh", qorvex_ecdh}, {"ecdh_xonly", qorvex_ecdh_xonly}, {"ecdh_raw", qorvex_ecdh_raw}};

class Ecdh : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    Bytes pub(const Bytes& key) {
        Bytes out(33);
        EXPECT_EQ(0, qorvex_pubkey_create(ctx(), key.data(), out.data()));
        return out;
    }

private:
    CtxPtr ctx_;
};

TEST_F(Ecdh, BothSidesAgreeAndTheFormsAreRelated) {
    const Bytes a = be32("a11ce"), b = be32(kOrderMinus1Hex);  // n - 1 as one key
    const Bytes pa = pub(a), pb = pub(b);
    for (const auto& [name, fn] : kForms) {
        SCOPED_TRACE(name);
        Bytes ab(32), ba(32);
        ASSERT_EQ(0, fn(ctx(), a.data(), pb.data(), ab.data()));
        ASSERT_EQ(0, fn(ctx(), b.data(), pa.data(), ba.data()));
        EXPECT_EQ(to_hex(ab), to_hex(ba));
    }
    // raw is x(S); the hashed forms hash x(S) and the compressed S. S is
    // (n - 1) a G = -a G, so its parity is the opposite of a G's.
    Bytes raw(32), xonly(32), hashed(32), want(32);
    ASSERT_EQ(0, qorvex_ecdh_raw(ctx(), a.data(), pb.data(), raw.data()));
    ASSERT_EQ(0, qorvex_ecdh_xonly(ctx(), a.data(), pb.data(), xonly.data()));
    ASSERT_EQ(0, qorvex_ecdh(ctx(), a.data(), pb.data(), hashed.data()));
    EXPECT_EQ(to_hex(pa.data() + 1, 32), to_hex(raw));
    ASSERT_EQ(0, qorvex_sha256(raw.data(), 32, want.data()));
    EXPECT_EQ(to_hex(want), to_hex(xonly));
    Bytes s33 = pa;
    s33[0] ^= 1;
    ASSERT_EQ(0, qorvex_sha256(s33.data(), 33, want.data()));
    EXPECT_EQ(to_hex(want), to_hex(hashed));
    // With key 1 the shared point is the peer's own.
    Bytes one_raw(32);
    ASSERT_EQ(0, qorvex_ecdh_raw(ctx(), be32("1").data(), pa.data(), one_raw.data()));
    EXPECT_EQ(to_hex(pa.data() + 1, 32), to_hex(one_raw));
}

TEST_F(Ecdh, CodesAndMessagesInOrder) {
    const Bytes key = be32("5eed"), pk = pub(be32("7"));
    const Bytes zero(32, 0), n = be32(kOrderHex), ones(32, 0xFF);
    Bytes p_x(33, 0xFF);  // x = 2^256 - 1 >= p
    p_x[0] = 0x02;
    Bytes uncompressed_prefix = pk;
    uncompressed_prefix[0] = 0x04;
    Bytes not_on_curve = pk;
    // x = 5: 5^3 + 7 = 132 is not a square modulo p.
    not_on_curve.assign(33, 0);
    not_on_curve[0] = 0x02;
    not_on_curve[32] = 5;
    struct Case {
        const char* what;
        const Bytes& key;
        const Bytes& peer;
        int code;
        const char* message;
    } cases[] = {
        {"zero key", zero, pk, 2, kBadKey},
        {"key n", n, pk, 2, kBadKey},
        {"key 2^256 - 1", ones, pk, 2, kBadKey},
        {"key checked before the peer", zero, p_x, 2, kBadKey},
        {"prefix 04", key, uncompressed_prefix, 3, kBadPub},
        {"x >= p", key, p_x, 3, kBadPub},
        {"x not on the curve", key, not_on_curve, 3, kBadPub},
        {"all zero", key, Bytes(33, 0), 3, kBadPub},
    };
    for (const auto& [name, fn] : kForms) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(name) + ": " + c.what);
            Bytes out(32, 0xAB);
            EXPECT_EQ(c.code, fn(ctx(), c.key.data(), c.peer.data(), out.data()));
            EXPECT_EQ(c.code, qorvex_last_error(ctx()));
            EXPECT_STREQ(c.message, qorvex_last_error_msg(ctx()));
            EXPECT_EQ(Bytes(32, 0xAB), out);  // untouched
        }
        // NULL arguments leave the context as it was.
        Bytes out(32);
        EXPECT_EQ(1, fn(ctx(), nullptr, pk.data(), out.data()));
        EXPECT_EQ(1, fn(ctx(), key.data(), nullptr, out.data()));
        EXPECT_EQ(1, fn(ctx(), key.data(), pk.data(), nullptr));
        EXPECT_EQ(1, fn(nullptr, key.data(), pk.data(), out.data()));
        EXPECT_EQ(3, qorvex_last_error(ctx()));
        ASSERT_EQ(0, fn(ctx(), key.data(), pk.data(), out.data()));
        EXPECT_EQ(0, qorvex_last_error(ctx()));
    }
}

// The output may be the key's or the peer's own buffer.
TEST_F(Ecdh, OutputOverlapsInputs) {
    const Bytes key = be32("c0ffee"), pk = pub(be32("beef"));
    Bytes want(32);
    ASSERT_EQ(0, qorvex_ecdh(ctx(), key.data(), pk.data(), want.data()));
    Bytes k = key;
    ASSERT_EQ(0, qorvex_ecdh(ctx(), k.data(), pk.data(), k.data()));
    EXPECT_EQ(want, k);
    Bytes p = pk;
    ASSERT_EQ(0, qorvex_ecdh(ctx(), key.data(), p.data(), p.data()));
    EXPECT_EQ(to_hex(want), to_hex(p.data(), 32));
}

// --- Wycheproof ---

// The key a SubjectPublicKeyInfo names, as 33 bytes: only for a strictly
// DER-encoded SPKI of an id-ecPublicKey on the named curve secp256k1 with a
// 33- or 65-byte SEC 1 point; an uncompressed point is compressed here (x
// and the parity of y, as given, whether the point is on the curve or not).
// Anything else (other curves, explicit parameters, malformed ASN.1) cannot
// reach a 33-byte interface.
std::optional<Bytes> key_from_spki(const Bytes& der) {
    struct Tlv {
        uint8_t tag;
        size_t start, len, end;
    };
    auto read = [&](size_t at, size_t limit) -> std::optional<Tlv> {
        if (at + 2 > limit || der[at + 1] & 0x80) return std::nullopt;  // short form only
        const size_t len = der[at + 1];
        if (at + 2 + len > limit) return std::nullopt;
        return Tlv{der[at], at + 2, len, at + 2 + len};
    };
    auto bytes_of = [&](const Tlv& t) { return Bytes(der.begin() + static_cast<long>(t.start), der.begin() + static_cast<long>(t.end)); };
    const auto outer = read(0, der.size());
    if (!outer || outer->tag != 0x30 || outer->end != der.size()) return std::nullopt;
    const auto alg = read(outer->start, outer->end);
    if (!alg || alg->tag != 0x30) return std::nullopt;
    const auto oid = read(alg->start, alg->end);
    if (!oid || oid->tag != 0x06 || bytes_of(*oid) != from_hex("2a8648ce3d0201")) return std::nullopt;
    const auto curve = read(oid->end, alg->end);
    if (!curve || curve->tag != 0x06 || bytes_of(*curve) != from_hex("2b8104000a") || curve->end != alg->end)
        return std::nullopt;
    const auto bits = read(alg->end, outer->end);
    if (!bits || bits->tag != 0x03 || bits->end != outer->end || bits->len < 1 || der[bits->start] != 0)
        return std::nullopt;
    const Bytes point(der.begin() + static_cast<long>(bits->start) + 1, der.begin() + static_cast<long>(bits->end));
    if (point.size() == 33 && (point[0] == 2 || point[0] == 3)) return point;
    if (point.size() == 65 && point[0] == 4) {
        Bytes k(point.begin(), point.begin() + 33);
        k[0] = static_cast<uint8_t>(2 | (point[64] & 1));
        return k;
    }
    return std::nullopt;
}

// Whether 33 bytes name a point of secp256k1: x < p and x^3 + 7 a square
// (Euler's criterion), computed here without the library.
bool names_a_point(const Bytes& key33) {
    const BigUint p = BigUint::from_hex("fffffffffffffffffffffffffffffffffffffffffffffffffffffffefffffc2f");
    const BigUint x = BigUint::from_bytes_be(key33.data() + 1, 32);
    if (x >= p) return false;
    const BigUint c = (x * x % p * x + BigUint(7)) % p;
    return BigUint::pow_mod(c, (p - BigUint(1)) >> 1, p) == BigUint(1);
}

// The private key as 32 bytes (the file gives a minimal big-endian integer,
// sometimes with a leading zero byte).
Bytes key32(const std::string& hex) {
    Bytes b = from_hex(hex);
    while (b.size() > 32 && b[0] == 0) b.erase(b.begin());
    Bytes out(32 - b.size(), 0);
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

TEST_F(Ecdh, WycheproofThroughTheRawForm) {
    const Json doc = load_json_vectors("wycheproof/ecdh_secp256k1_test.json");
    std::map<std::string, int> tally;
    std::vector<long long> compressed_valid;
    for (const Json& g : doc["testGroups"].array()) {
        for (const Json& t : g["tests"].array()) {
            const long long id = t["tcId"].integer();
            SCOPED_TRACE("tcId " + std::to_string(id) + ": " + t["comment"].str());
            const std::string result = t["result"].str();
            const auto key = key_from_spki(from_hex(t["public"].str()));
            if (!key) {
                ++tally["not expressible: SPKI"];
                continue;
            }
            const Bytes d = key32(t["private"].str());
            Bytes out(32, 0);
            const int rc = qorvex_ecdh_raw(ctx(), d.data(), key->data(), out.data());
            if (result != "invalid") {
                ASSERT_EQ(0, rc) << qorvex_last_error_msg(ctx());
                EXPECT_EQ(t["shared"].str(), to_hex(out));
                ++tally["computed"];
            } else if (!names_a_point(*key)) {
                EXPECT_EQ(3, rc);
                EXPECT_STREQ(kBadPub, qorvex_last_error_msg(ctx()));
                ++tally["refused"];
            } else {
                // An off-curve point whose x is on the curve: compressing
                // keeps only x, which names a different, valid point.
                EXPECT_EQ(0, rc);
                compressed_valid.push_back(id);
                ++tally["not expressible: valid once compressed"];
            }
        }
    }
    EXPECT_EQ(475, tally["computed"]);
    EXPECT_EQ(16, tally["refused"]);
    EXPECT_EQ(256, tally["not expressible: SPKI"]);
    EXPECT_EQ((std::vector<long long>{479, 480, 481, 482, 494}), compressed_valid);
}

}  // namespace
}  // namespace qorvex::test
