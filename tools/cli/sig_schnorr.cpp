// BIP-340 Schnorr for sign and verify: x-only keys, auxiliary randomness, and
// the "BIP0340/msg" tagged hash for messages.
#include <cstring>

#include "schemes.h"

namespace qcli {

namespace {

const char* const kMessageTag = "BIP0340/msg";

const uint8_t* bytes_or_null(const MessageInput& msg) { return msg.bytes.empty() ? nullptr : msg.bytes.data(); }

void describe_digest(const MessageInput& msg, Json& out) {
    uint8_t digest[32];
    if (msg.is_digest) {
        std::memcpy(digest, msg.bytes.data(), 32);
    } else {
        static const uint8_t empty = 0;
        qorvex_tagged_hash(kMessageTag, msg.bytes.empty() ? &empty : msg.bytes.data(), msg.bytes.size(), digest);
    }
    out.set("digest", to_hex(digest, 32));
    if (!msg.is_digest) out.set("hashed_with", std::string("tagged hash ") + kMessageTag);
}

void schnorr_sign(Session& s, const SecretKey& key, const MessageInput& msg, const Args& args, Json& out) {
    SecretKey aux;  // not a key, but wiped the same way
    if (const char* a = args.get("aux")) {
        parse_hex_exact(a, aux.bytes, 32, "--aux");
    } else {
        random_bytes(aux.bytes, 32);
    }
    uint8_t xonly[32], sig[64];
    s.check(qorvex_pubkey_xonly(s.ctx(), key.bytes, xonly));
    if (msg.is_digest) {
        s.check(qorvex_schnorr_sign_verified(s.ctx(), msg.bytes.data(), key.bytes, aux.bytes, sig));
    } else {
        s.check(qorvex_schnorr_sign_msg(s.ctx(), key.bytes, bytes_or_null(msg), msg.bytes.size(), aux.bytes, sig));
        if (qorvex_schnorr_verify_msg(s.ctx(), xonly, bytes_or_null(msg), msg.bytes.size(), sig) != QORVEX_OK) {
            runtime_error(std::string("the new signature does not verify: ") + s.library_message(qorvex_last_error(s.ctx())));
        }
    }
    describe_digest(msg, out);
    out.set("public_key", to_hex(xonly, 32), "public key (x-only)");
    out.set("signature", to_hex(sig, 64));
}

bool schnorr_verify(Session& s, const MessageInput& msg, const std::vector<uint8_t>& sig, const char* pubkey_hex,
                    Json& out) {
    uint8_t xonly[32];
    const std::vector<uint8_t> given = parse_hex(pubkey_hex, "--pubkey");
    if (given.size() == 32) {
        std::memcpy(xonly, given.data(), 32);
    } else if (given.size() == 33 || given.size() == 65) {
        // A full public key stands for its x coordinate.
        uint8_t comp[33];
        parse_pubkey(s, pubkey_hex, comp, "--pubkey");
        std::memcpy(xonly, comp + 1, 32);
    } else {
        usage_error("--pubkey: expected a 32-byte x-only public key (or 33/65 bytes), got " +
                    std::to_string(given.size()) + " bytes");
    }
    if (sig.size() != 64) usage_error(std::string("--signature: a Schnorr signature is 64 bytes, got ") + std::to_string(sig.size()));
    describe_digest(msg, out);
    if (msg.is_digest) return s.verdict(qorvex_schnorr_verify(s.ctx(), msg.bytes.data(), sig.data(), xonly));
    return s.verdict(qorvex_schnorr_verify_msg(s.ctx(), xonly, bytes_or_null(msg), msg.bytes.size(), sig.data()));
}

}  // namespace

const Scheme schnorr_scheme = {"schnorr", schnorr_sign, schnorr_verify, {"aux"}};

}  // namespace qcli
