#include "bitcoin/bip322.h"

#include <cstring>

#include "arith/gen_mul.h"
#include "bitcoin/address.h"
#include "bitcoin/psbt.h"
#include "bitcoin/segwit.h"
#include "bitcoin/taproot.h"
#include "bitcoin/tx_parse.h"
#include "hash/ripemd160.h"
#include "hash/tagged_hash.h"
#include "sig/ecdsa.h"
#include "sig/pubkey_cache.h"
#include "sig/schnorr.h"
#include "support/wipe.h"

namespace qorvex::bip322 {

namespace {

// "BIP0322-signed-message" is not one of the library's fixed tags; its
// midstate is made once, on first use.
const Sha256Context& message_tag_midstate() {
    static const Sha256Context ctx = [] {
        Sha256Context c;
        tagged_hash_init(c, "BIP0322-signed-message");
        return c;
    }();
    return ctx;
}

constexpr uint8_t kSighashAll = static_cast<uint8_t>(tx::kSighashAll);
constexpr uint8_t kAnnexTag = 0x50;
constexpr size_t kPubkeySize = 33;
constexpr size_t kKeyHashSize = 20;
constexpr size_t kXonlySize = 32;
constexpr size_t kSchnorrSize = 64;
// A single-key spend has at most a signature, a key and an annex.
constexpr size_t kMaxItems = 3;

// A witness stack of up to two items, written into out.
bool write_stack(std::span<const uint8_t> a, std::span<const uint8_t> b, Witness& out) {
    const uint8_t* data[2] = {a.data(), b.data()};
    const size_t lens[2] = {a.size(), b.size()};
    const tx::WitnessStack stack{b.empty() ? size_t{1} : size_t{2}, {data, lens}};
    tx::SpanWriter w(out.bytes);
    tx::write_witness_stack(w, stack);
    out.len = w.size();
    return w.ok();
}

SignResult sign_p2wpkh(const Scalar& d, const uint8_t msg_hash[32], Witness& out) {
    uint8_t pub[kPubkeySize], key_hash[kKeyHashSize], challenge[kP2wpkhScriptLen];
    // The public key is public, and so everything made from it.
    public_key_point(d).to_compressed(pub);
    hash160(pub, sizeof pub, key_hash);
    p2wpkh_script(key_hash, challenge);

    const VirtualTransactions vt(msg_hash, challenge);
    const tx::Transaction to_sign = vt.to_sign();
    tx::Bip143Hashes hashes;
    tx::bip143_hashes(to_sign, hashes);
    uint8_t script_code[tx::kP2wpkhScriptCodeSize], digest[32];
    tx::p2wpkh_script_code(key_hash, script_code);
    tx::bip143_sighash(to_sign, hashes, 0, script_code, 0, tx::kSighashAll, digest);

    const ecdsa::Signature sig = ecdsa::sign(digest, d);
    if (sig.is_zero()) return SignResult::degenerate;
    uint8_t sig_item[psbt::kMaxEcdsaSignatureSize];
    const size_t sig_len = psbt::encode_ecdsa(sig, kSighashAll, sig_item);
    if (!write_stack({sig_item, sig_len}, pub, out)) return SignResult::degenerate;
    return SignResult::ok;
}

SignResult sign_p2tr(const Scalar& d, const uint8_t msg_hash[32], const uint8_t aux32[32], Witness& out) {
    WipeOnExit<Scalar> tweaked;
    if (!taproot::tweak_seckey(d, {}, *tweaked)) return SignResult::tweak_failed;
    WipeOnExit<SchnorrKeypair> kp;
    schnorr_keypair(*tweaked, *kp);
    uint8_t challenge[kP2trScriptLen];
    p2tr_script(kp->xonly, challenge);

    const VirtualTransactions vt(msg_hash, challenge);
    uint8_t digest[32];
    tx::TaprootSpend spend;
    spend.input_index = 0;
    spend.hash_type = tx::kSighashDefault;
    if (!tx::taproot_sighash(vt.to_sign(), vt.spent(), spend, digest)) return SignResult::degenerate;

    uint8_t sig[kSchnorrSize];
    if (!schnorr_sign(*kp, digest, sizeof digest, aux32, sig)) return SignResult::degenerate;
    if (!write_stack(sig, {}, out)) return SignResult::degenerate;
    return SignResult::ok;
}

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

VerifyResult verify_p2wpkh(const uint8_t program[kKeyHashSize], std::span<const uint8_t> challenge,
                           const uint8_t msg_hash[32], std::span<const std::span<const uint8_t>> items) {
    if (items.size() != 2) return VerifyResult::witness_mismatch;
    const std::span<const uint8_t> sig_item = items[0], pub = items[1];
    // Segwit v0 keys are compressed, and must be the one the address hashes.
    if (pub.size() != kPubkeySize || (pub[0] != 0x02 && pub[0] != 0x03)) return VerifyResult::witness_mismatch;
    uint8_t key_hash[kKeyHashSize];
    hash160(pub.data(), pub.size(), key_hash);
    if (std::memcmp(key_hash, program, kKeyHashSize) != 0) return VerifyResult::witness_mismatch;

    // An empty signature is how a script says "no"; it never verifies.
    if (sig_item.empty()) return VerifyResult::bad_encoding;
    if (sig_item.back() != kSighashAll) return VerifyResult::bad_sighash_type;
    uint8_t compact[64];
    if (ecdsa::der_decode(sig_item.data(), sig_item.size() - 1, compact) != ecdsa::DerError::ok)
        return VerifyResult::bad_encoding;
    ecdsa::Signature sig;
    if (!ecdsa::parse_compact(compact, sig) || sig.s.is_high()) return VerifyResult::bad_encoding;
    const Point* q = cached_pubkey(pub.data());
    if (q == nullptr) return VerifyResult::invalid;

    const VirtualTransactions vt(msg_hash, challenge);
    const tx::Transaction to_sign = vt.to_sign();
    tx::Bip143Hashes hashes;
    tx::bip143_hashes(to_sign, hashes);
    uint8_t script_code[tx::kP2wpkhScriptCodeSize], digest[32];
    tx::p2wpkh_script_code(program, script_code);
    tx::bip143_sighash(to_sign, hashes, 0, script_code, 0, tx::kSighashAll, digest);
    return ecdsa::verify(digest, *q, sig) ? VerifyResult::valid : VerifyResult::invalid;
}

VerifyResult verify_p2tr(const uint8_t program[kXonlySize], std::span<const uint8_t> challenge,
                         const uint8_t msg_hash[32], std::span<const std::span<const uint8_t>> items) {
    // BIP-341: with two or more items, a last one starting 0x50 is the annex.
    size_t n = items.size();
    std::span<const uint8_t> annex;
    if (n >= 2 && !items[n - 1].empty() && items[n - 1][0] == kAnnexTag) annex = items[--n];
    if (n == 0) return VerifyResult::witness_mismatch;
    if (n >= 2) return VerifyResult::script_path;

    const std::span<const uint8_t> sig_item = items[0];
    uint8_t hash_type = tx::kSighashDefault;
    if (sig_item.size() == kSchnorrSize + 1) {
        hash_type = sig_item[kSchnorrSize];
        // BIP-341 spells SIGHASH_DEFAULT only by leaving the byte out.
        if (hash_type == tx::kSighashDefault) return VerifyResult::bad_encoding;
    } else if (sig_item.size() != kSchnorrSize) {
        return VerifyResult::witness_mismatch;
    }
    if (hash_type != tx::kSighashDefault && hash_type != kSighashAll) return VerifyResult::bad_sighash_type;
    SchnorrSignature sig;
    if (!SchnorrSignature::parse(sig_item.data(), sig)) return VerifyResult::bad_encoding;

    const VirtualTransactions vt(msg_hash, challenge);
    tx::TaprootSpend spend;
    spend.input_index = 0;
    spend.hash_type = hash_type;
    spend.annex = annex;
    uint8_t digest[32];
    if (!tx::taproot_sighash(vt.to_sign(), vt.spent(), spend, digest)) return VerifyResult::invalid;
    return schnorr_verify(program, digest, sizeof digest, sig) ? VerifyResult::valid : VerifyResult::invalid;
}

}  // namespace

void message_hash(const uint8_t* msg, size_t len, uint8_t out32[32]) {
    Sha256Context h = message_tag_midstate();
    sha256_update(h, msg, len);
    sha256_final(h, out32);
}

VirtualTransactions::VirtualTransactions(const uint8_t message_hash32[32], std::span<const uint8_t> challenge) {
    script_sig_[0] = 0x00;  // OP_0
    script_sig_[1] = 0x20;  // push 32
    std::memcpy(script_sig_ + 2, message_hash32, 32);
    script_sig_ptr_[0] = script_sig_;
    script_sig_len_[0] = sizeof script_sig_;
    challenge_ptr_[0] = challenge.data();
    challenge_len_[0] = challenge.size();
    op_return_ptr_[0] = &kOpReturn;
    op_return_len_[0] = 1;
    tx::txid(to_spend(), to_spend_txid_);
}

tx::Transaction VirtualTransactions::to_spend() const {
    static constexpr uint8_t kNullTxid[32] = {};
    tx::Transaction t;
    t.in = {1, kNullTxid, &kNoIndex, &kZero32, {script_sig_ptr_, script_sig_len_}, nullptr};
    t.out = {1, &kZeroAmount, {challenge_ptr_, challenge_len_}};
    return t;
}

tx::Transaction VirtualTransactions::to_sign() const {
    tx::Transaction t;
    t.in = {1, to_spend_txid_, &kZero32, &kZero32, {}, nullptr};
    t.out = {1, &kZeroAmount, {op_return_ptr_, op_return_len_}};
    return t;
}

SignResult simple_sign(const Scalar& d, AddressType type, const uint8_t* msg, size_t len, const uint8_t aux32[32],
                       Witness& out) {
    out.len = 0;
    uint8_t msg_hash[32];
    message_hash(msg, len, msg_hash);
    return type == AddressType::p2tr ? sign_p2tr(d, msg_hash, aux32, out) : sign_p2wpkh(d, msg_hash, out);
}

VerifyResult simple_verify(std::string_view address, const uint8_t* msg, size_t len, std::string_view signature) {
    const auto addr = decode_address(address);
    if (!addr) return VerifyResult::bad_address;
    const std::span<const uint8_t> challenge(addr->script, addr->script_len);
    const bool p2wpkh = addr->kind == AddressKind::witness && addr->witness_version == 0 &&
                        addr->script_len == kP2wpkhScriptLen;
    const bool p2tr =
        addr->kind == AddressKind::witness && addr->witness_version == 1 && addr->script_len == kP2trScriptLen;
    if (!p2wpkh && !p2tr) return VerifyResult::unsupported_address;

    // BIP-322 prefixes the variant; signatures from before it did not. A
    // bare stack never starts with these letters for the kinds read here:
    // they would decode to a count of 126 or more items.
    if (starts_with(signature, "smp")) {
        signature.remove_prefix(3);
    } else if (starts_with(signature, "ful") || starts_with(signature, "pof")) {
        return VerifyResult::unsupported_variant;
    }
    if (signature.size() > kMaxReadTextLength) return VerifyResult::too_long;
    uint8_t raw[kMaxReadTextLength / 4 * 3];
    const auto raw_len = base64::decode(signature, raw);
    if (!raw_len) return VerifyResult::bad_base64;
    const std::span<const uint8_t> stack(raw, *raw_len);
    std::span<const uint8_t> items[kMaxItems];
    const auto count = tx::parse_witness_stack(stack, items);
    if (!count) {
        // A well-formed stack of more items than a single-key spend has.
        const auto size = tx::witness_stack_size(stack);
        if (size && *size > kMaxItems)
            return p2tr ? VerifyResult::script_path : VerifyResult::witness_mismatch;
        return VerifyResult::bad_witness;
    }

    uint8_t msg_hash[32];
    message_hash(msg, len, msg_hash);
    const std::span<const std::span<const uint8_t>> got(items, *count);
    return p2wpkh ? verify_p2wpkh(addr->script + 2, challenge, msg_hash, got)
                  : verify_p2tr(addr->script + 2, challenge, msg_hash, got);
}

}  // namespace qorvex::bip322
