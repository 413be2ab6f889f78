// ECDSA for sign and verify: SHA-256 of the message, RFC 6979 signatures,
// compact and DER encodings, recovery ids.
#include <cstring>

#include "schemes.h"

namespace qcli {

void ecdsa_digest(const MessageInput& msg, uint8_t out[32]) {
    if (msg.is_digest) {
        std::memcpy(out, msg.bytes.data(), 32);
        return;
    }
    static const uint8_t empty = 0;  // qorvex_sha256 wants a pointer even for no bytes
    qorvex_sha256(msg.bytes.empty() ? &empty : msg.bytes.data(), msg.bytes.size(), out);
}

namespace {

void describe_digest(const MessageInput& msg, const uint8_t digest[32], Json& out) {
    out.set("digest", to_hex(digest, 32));
    if (!msg.is_digest) out.set("hashed_with", "sha256");
}

void ecdsa_sign(Session& s, const SecretKey& key, const MessageInput& msg, const Args& args, Json& out) {
    uint8_t digest[32], sig[64], pub[33];
    ecdsa_digest(msg, digest);
    s.check(qorvex_pubkey_create(s.ctx(), key.bytes, pub));
    int recid = -1;
    if (args.has("recoverable")) {
        s.check(qorvex_ecdsa_sign_recoverable(s.ctx(), digest, key.bytes, sig, &recid));
        // The recovery id is only useful if it gives back our key.
        uint8_t back[33];
        s.check(qorvex_ecdsa_recover(s.ctx(), digest, sig, recid, back));
        if (std::memcmp(back, pub, 33) != 0) runtime_error("the recovery id does not recover the signing key");
    } else {
        s.check(qorvex_ecdsa_sign_verified(s.ctx(), digest, key.bytes, sig));
    }
    uint8_t der[72];
    size_t der_len = sizeof der;
    s.check(qorvex_ecdsa_sig_to_der(s.ctx(), sig, der, &der_len));

    describe_digest(msg, digest, out);
    out.set("public_key", to_hex(pub, 33));
    out.set("signature", to_hex(sig, 64));
    out.set("der", to_hex(der, der_len));
    if (recid >= 0) out.set("recid", recid);
}

bool ecdsa_verify(Session& s, const MessageInput& msg, const std::vector<uint8_t>& sig, const char* pubkey_hex,
                  Json& out) {
    uint8_t digest[32], compact[64], pub[33];
    ecdsa_digest(msg, digest);
    parse_pubkey(s, pubkey_hex, pub, "--pubkey");
    if (sig.size() == 64) {
        std::memcpy(compact, sig.data(), 64);
    } else {
        // Anything else is read as DER, strictly.
        s.check(qorvex_ecdsa_sig_from_der(s.ctx(), sig.data(), sig.size(), compact));
    }
    describe_digest(msg, digest, out);
    return s.verdict(qorvex_ecdsa_verify(s.ctx(), digest, compact, pub));
}

}  // namespace

const Scheme ecdsa_scheme = {"ecdsa", ecdsa_sign, ecdsa_verify, {"recoverable"}};

}  // namespace qcli
