// BIP-322 inside the library: the message hash and the virtual
// transactions against the published ids and an independent serializer,
// and simple signatures next to valid ones: witnesses built here by hand
// (annex, explicit hash types, high S, extra items) that the verifier must
// sort into the right verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "arith/gen_mul.h"
#include "arith/precompute.h"
#include "bitcoin/address.h"
#include "bitcoin/base64.h"
#include "bitcoin/bech32.h"
#include "bitcoin/bip322.h"
#include "bitcoin/psbt.h"
#include "bitcoin/segwit.h"
#include "bitcoin/taproot.h"
#include "hash/ripemd160.h"
#include "hash/sha256.h"
#include "sig/ecdsa.h"
#include "sig/schnorr.h"
#include "support/tx_fields.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;
using bip322::VerifyResult;

// Verification reaches the variable-time generator tables; width 8 keeps
// their build instant.
class SmallGeneratorTables : public ::testing::Environment {
public:
    void SetUp() override {
        PrecomputeConfig c;
        c.window_bits = 8;
        configure(c);
    }
};
const bool kSmallGeneratorTablesRegistered = (::testing::AddGlobalTestEnvironment(new SmallGeneratorTables), true);

Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
const uint8_t* data_or_null(const Bytes& b) { return b.empty() ? nullptr : b.data(); }

Bytes sha256d_of(const Bytes& m) {
    Bytes a(32), b(32);
    sha256(m.data(), m.size(), a.data());
    sha256(a.data(), 32, b.data());
    return b;
}

Bytes reversed(Bytes b) {
    std::reverse(b.begin(), b.end());
    return b;
}

// p followed by s (written out: gcc 12 warns falsely on literal + string).
std::string prefixed(const char* p, const std::string& s) {
    std::string out(p);
    out.append(s);
    return out;
}

std::string b64(const Bytes& b) {
    std::string s(base64::encoded_size(b.size()), '?');
    base64::encode(b, s.data());
    return s;
}

// A serialized witness stack of the items.
Bytes stack_of(const std::vector<Bytes>& items) {
    Bytes out;
    append_compact(out, items.size());
    for (const Bytes& i : items) append_sized(out, i);
    return out;
}

VerifyResult verify(const std::string& address, const std::string& msg, const std::string& sig) {
    const Bytes m = text_bytes(msg);
    return bip322::simple_verify(address, data_or_null(m), m.size(), sig);
}

// The published message hashes and the ids of to_spend and to_sign (shown
// in the reversed order block explorers use), and to_spend as the test's
// own serializer writes it.
TEST(Bip322, VirtualTransactionsOfTheVectors) {
    const Json v = load_json_vectors("bip322/basic-test-vectors.json");
    for (const Json& c : v["tx_hashes"].array()) {
        SCOPED_TRACE(c["message"].str());
        const Bytes msg = text_bytes(c["message"].str());
        Bytes hash(32);
        bip322::message_hash(data_or_null(msg), msg.size(), hash.data());
        EXPECT_EQ(from_hex(c["message_hash"].str()), hash);

        const auto addr = decode_address(c["address"].str());
        ASSERT_TRUE(addr);
        const Bytes challenge(addr->script, addr->script + addr->script_len);
        const bip322::VirtualTransactions vt(hash.data(), challenge);
        const Bytes to_spend_id(vt.to_spend_txid(), vt.to_spend_txid() + 32);
        EXPECT_EQ(from_hex(c["to_spend_tx_hash"].str()), reversed(to_spend_id));
        Bytes to_sign_id(32);
        tx::txid(vt.to_sign(), to_sign_id.data());
        EXPECT_EQ(from_hex(c["to_sign_tx_hash"].str()), reversed(to_sign_id));

        TxFields f;
        TxIn in;
        in.txid = Bytes(32, 0);
        in.vout = 0xFFFFFFFF;
        in.script_sig = {0x00, 0x20};
        append(in.script_sig, hash);
        f.ins.push_back(in);
        f.outs.push_back(TxOut{0, challenge});
        EXPECT_EQ(sha256d_of(serialize_tx(f, true)), to_spend_id);
    }
}

// A key with its two addresses and the pieces that craft witnesses by hand.
struct Signer {
    Scalar d;
    uint8_t pub[33];
    std::string p2wpkh, p2tr;
    Bytes p2wpkh_spk, p2tr_spk;
    SchnorrKeypair tweaked;

    explicit Signer(const std::string& hex) : d(Scalar::from_hex((std::string(64 - hex.size(), '0') + hex).c_str())) {
        public_key_point(d).to_compressed(pub);
        uint8_t h[20];
        hash160(pub, 33, h);
        Scalar t;
        EXPECT_TRUE(taproot::tweak_seckey(d, {}, t));
        schnorr_keypair(t, tweaked);
        p2wpkh = segwit_address_encode("bc", 0, std::span<const uint8_t>(h, 20));
        p2tr = segwit_address_encode("bc", 1, std::span<const uint8_t>(tweaked.xonly, 32));
        p2wpkh_spk = {0x00, 0x14};
        p2wpkh_spk.insert(p2wpkh_spk.end(), h, h + 20);
        p2tr_spk = {0x51, 0x20};
        p2tr_spk.insert(p2tr_spk.end(), tweaked.xonly, tweaked.xonly + 32);
    }

    static void digest_of(const Bytes& spk, const std::string& msg, uint8_t hash_type, const Bytes& annex,
                          uint8_t out[32]) {
        const Bytes m = text_bytes(msg);
        uint8_t h[32];
        bip322::message_hash(data_or_null(m), m.size(), h);
        const bip322::VirtualTransactions vt(h, spk);
        if (spk[0] == 0x00) {
            tx::Bip143Hashes hashes;
            tx::bip143_hashes(vt.to_sign(), hashes);
            uint8_t code[25];
            tx::p2wpkh_script_code(spk.data() + 2, code);
            tx::bip143_sighash(vt.to_sign(), hashes, 0, code, 0, hash_type, out);
            return;
        }
        tx::TaprootSpend spend;
        spend.hash_type = hash_type;
        spend.annex = annex;
        ASSERT_TRUE(tx::taproot_sighash(vt.to_sign(), vt.spent(), spend, out));
    }

    // [DER || hash_type, pub] over the digest of hash_type.
    Bytes p2wpkh_sig(const std::string& msg, uint8_t hash_type, bool high_s = false) const {
        uint8_t digest[32];
        digest_of(p2wpkh_spk, msg, hash_type, {}, digest);
        ecdsa::Signature s = ecdsa::sign(digest, d);
        if (high_s) s.s = s.s.negate();
        uint8_t der[73];
        const size_t n = ecdsa::der_encode(s, der);
        Bytes out(der, der + n);
        out.push_back(hash_type);
        return out;
    }

    Bytes p2tr_sig(const std::string& msg, uint8_t hash_type, const Bytes& annex = {}) const {
        uint8_t digest[32], aux[32] = {7};
        digest_of(p2tr_spk, msg, hash_type, annex, digest);
        Bytes sig(64);
        EXPECT_TRUE(schnorr_sign(tweaked, digest, 32, aux, sig.data()));
        if (hash_type != 0) sig.push_back(hash_type);
        return sig;
    }
};

const char* kMsg = "qorvex signs this";

// The library's own simple signatures verify, with and without the "smp"
// prefix, and not for another message or the other address.
TEST(Bip322, OwnSimpleSignaturesVerify) {
    const Signer s("5b1c2d3e4f");
    for (const bip322::AddressType type : {bip322::AddressType::p2wpkh, bip322::AddressType::p2tr}) {
        const bool tr = type == bip322::AddressType::p2tr;
        SCOPED_TRACE(tr ? "p2tr" : "p2wpkh");
        const Bytes m = text_bytes(kMsg);
        const uint8_t aux[32] = {1, 2, 3};
        bip322::Witness w;
        ASSERT_EQ(bip322::SignResult::ok, bip322::simple_sign(s.d, type, m.data(), m.size(), aux, w));
        const std::string sig = b64(Bytes(w.bytes, w.bytes + w.len));
        EXPECT_LE(sig.size(), bip322::kMaxSignedTextLength);
        const std::string& address = tr ? s.p2tr : s.p2wpkh;
        EXPECT_EQ(VerifyResult::valid, verify(address, kMsg, sig));
        EXPECT_EQ(VerifyResult::valid, verify(address, kMsg, prefixed("smp", sig)));
        EXPECT_EQ(VerifyResult::invalid, verify(address, "qorvex signs that", sig));
        const std::string& other = tr ? s.p2wpkh : s.p2tr;
        EXPECT_NE(VerifyResult::valid, verify(other, kMsg, sig));
        // The same witness by hand.
        const Bytes by_hand =
            tr ? Bytes{} : stack_of({s.p2wpkh_sig(kMsg, 0x01), Bytes(s.pub, s.pub + 33)});
        if (!tr) {
            EXPECT_EQ(by_hand, Bytes(w.bytes, w.bytes + w.len));
        }
    }
}

TEST(Bip322, P2trWitnessForms) {
    const Signer s("77aa0123");
    const Bytes annex = {0x50, 0x01, 0x02};
    struct Row {
        const char* what;
        std::vector<Bytes> items;
        VerifyResult expected;
    };
    const Bytes sig0 = s.p2tr_sig(kMsg, 0x00);
    Bytes explicit_default = sig0;
    explicit_default.push_back(0x00);
    Bytes flipped = sig0;
    flipped[5] ^= 1;
    const Row rows[] = {
        {"64 bytes, SIGHASH_DEFAULT", {sig0}, VerifyResult::valid},
        {"65 bytes, SIGHASH_ALL", {s.p2tr_sig(kMsg, 0x01)}, VerifyResult::valid},
        {"with an annex", {s.p2tr_sig(kMsg, 0x00, annex), annex}, VerifyResult::valid},
        {"annex left out of the digest", {sig0, annex}, VerifyResult::invalid},
        {"explicit 0x00 hash type", {explicit_default}, VerifyResult::bad_encoding},
        {"SIGHASH_NONE", {s.p2tr_sig(kMsg, 0x02)}, VerifyResult::bad_sighash_type},
        {"SIGHASH_ALL|ANYONECANPAY", {s.p2tr_sig(kMsg, 0x81)}, VerifyResult::bad_sighash_type},
        {"a bit flipped", {flipped}, VerifyResult::invalid},
        {"63 bytes", {Bytes(sig0.begin(), sig0.end() - 1)}, VerifyResult::witness_mismatch},
        {"empty stack", {}, VerifyResult::witness_mismatch},
        {"annex alone", {annex}, VerifyResult::witness_mismatch},
        {"two items: a script path", {sig0, Bytes{0x51}}, VerifyResult::script_path},
        {"three items and an annex", {sig0, Bytes{0x51}, Bytes{0xc0}, annex}, VerifyResult::script_path},
        {"five items", {sig0, sig0, sig0, sig0, sig0}, VerifyResult::script_path},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(r.expected, verify(s.p2tr, kMsg, b64(stack_of(r.items))));
    }
}

TEST(Bip322, P2wpkhWitnessForms) {
    const Signer s("0badc0de");
    const Signer other("1234567");
    const Bytes pub(s.pub, s.pub + 33);
    const Bytes sig = s.p2wpkh_sig(kMsg, 0x01);
    Bytes uncompressed_prefix = pub;
    uncompressed_prefix[0] = 0x04;
    Bytes lax_der = sig;  // a length byte one too long
    lax_der[1] = static_cast<uint8_t>(lax_der[1] + 1);
    struct Row {
        const char* what;
        std::vector<Bytes> items;
        VerifyResult expected;
    };
    const Row rows[] = {
        {"signature and key", {sig, pub}, VerifyResult::valid},
        {"high S", {s.p2wpkh_sig(kMsg, 0x01, true), pub}, VerifyResult::bad_encoding},
        {"not strict DER", {lax_der, pub}, VerifyResult::bad_encoding},
        {"empty signature", {Bytes{}, pub}, VerifyResult::bad_encoding},
        {"SIGHASH_SINGLE", {s.p2wpkh_sig(kMsg, 0x03), pub}, VerifyResult::bad_sighash_type},
        {"another message", {s.p2wpkh_sig("something else", 0x01), pub}, VerifyResult::invalid},
        {"another key", {other.p2wpkh_sig(kMsg, 0x01), Bytes(other.pub, other.pub + 33)},
         VerifyResult::witness_mismatch},
        {"key with an 04 prefix", {sig, uncompressed_prefix}, VerifyResult::witness_mismatch},
        {"key alone", {pub}, VerifyResult::witness_mismatch},
        {"an extra item", {sig, pub, Bytes{0x01}}, VerifyResult::witness_mismatch},
        {"six items", {sig, pub, sig, pub, sig, pub}, VerifyResult::witness_mismatch},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(r.expected, verify(s.p2wpkh, kMsg, b64(stack_of(r.items))));
    }
}

// Bytes around the stack, unreadable text and the variants read elsewhere.
TEST(Bip322, UnreadableSignatures) {
    const Signer s("5eed");
    const Bytes stack = stack_of({s.p2wpkh_sig(kMsg, 0x01), Bytes(s.pub, s.pub + 33)});
    Bytes trailing = stack;
    trailing.push_back(0x00);
    Bytes cut(stack.begin(), stack.end() - 1);
    EXPECT_EQ(VerifyResult::bad_witness, verify(s.p2wpkh, kMsg, b64(trailing)));
    EXPECT_EQ(VerifyResult::bad_witness, verify(s.p2wpkh, kMsg, b64(cut)));
    EXPECT_EQ(VerifyResult::bad_witness, verify(s.p2wpkh, kMsg, ""));
    EXPECT_EQ(VerifyResult::bad_witness, verify(s.p2wpkh, kMsg, "smp"));
    EXPECT_EQ(VerifyResult::bad_base64, verify(s.p2wpkh, kMsg, b64(stack) + "="));
    EXPECT_EQ(VerifyResult::bad_base64, verify(s.p2wpkh, kMsg, prefixed(" ", b64(stack))));
    EXPECT_EQ(VerifyResult::unsupported_variant, verify(s.p2wpkh, kMsg, prefixed("ful", b64(stack))));
    EXPECT_EQ(VerifyResult::unsupported_variant, verify(s.p2wpkh, kMsg, prefixed("pof", b64(stack))));
    EXPECT_EQ(VerifyResult::too_long, verify(s.p2wpkh, kMsg, std::string(bip322::kMaxReadTextLength + 4, 'A')));
    EXPECT_EQ(VerifyResult::bad_witness, verify(s.p2wpkh, kMsg, std::string(bip322::kMaxReadTextLength, 'A')));
}

}  // namespace
}  // namespace qorvex::test
