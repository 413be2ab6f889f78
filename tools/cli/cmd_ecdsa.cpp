// ECDSA beyond sign and verify: public-key recovery and the DER encoding.
#include <cstring>

#include "schemes.h"

namespace qcli {

namespace {

int run_recover(Session& s, const Args& args) {
    const char* sig_hex = args.get("signature");
    if (sig_hex == nullptr) usage_error("missing --signature HEX");
    std::vector<uint8_t> sig = parse_hex(sig_hex, "--signature");
    int recid = -1;
    if (sig.size() == 65) {  // r || s || recid
        recid = sig[64];
        sig.pop_back();
    } else if (sig.size() != 64) {
        usage_error("--signature: expected 64 bytes (with --recid) or 65 bytes (r || s || recid), got " +
                    std::to_string(sig.size()));
    }
    if (const char* r = args.get("recid")) {
        if (recid >= 0) usage_error("the 65-byte signature already holds the recovery id; drop --recid");
        const uint64_t v = parse_u64(r, "--recid");
        recid = v > 255 ? 255 : static_cast<int>(v);  // the library reports anything above 3
    }
    if (recid < 0) usage_error("missing --recid N (printed by 'qorvex sign --recoverable')");
    uint8_t expected[33];
    const bool expect = args.has("expect");
    if (expect) parse_pubkey(s, args.get("expect"), expected, "--expect");

    const MessageInput msg = read_message(args, false);
    uint8_t digest[32], pub[33];
    ecdsa_digest(msg, digest);
    s.check(qorvex_ecdsa_recover(s.ctx(), digest, sig.data(), recid, pub));

    Json out = Json::object();
    out.set("digest", to_hex(digest, 32));
    if (!msg.is_digest) out.set("hashed_with", "sha256");
    out.set("recid", recid);
    out.set("public_key", to_hex(pub, 33));
    if (!expect) {
        s.emit(out);
        return kExitOk;
    }
    const bool match = std::memcmp(pub, expected, 33) == 0;
    out.set("matches", match);
    s.emit(out);
    if (match) return kExitOk;
    s.set_verify_message("the recovered key is not the --expect key");
    return kExitVerifyFailed;
}

int run_to_der(Session& s, const Args& args) {
    if (args.positional().empty()) usage_error("missing the compact signature (64 bytes of hex)");
    uint8_t sig[64], der[72];
    parse_hex_exact(stdin_or(args.positional()[0], "the signature"), sig, 64, "signature");
    size_t len = sizeof der;
    s.check(qorvex_ecdsa_sig_to_der(s.ctx(), sig, der, &len));
    Json out = Json::object();
    out.set("der", to_hex(der, len));
    const std::string text = to_hex(der, len) + "\n";
    s.emit(out, &text);
    return kExitOk;
}

int run_to_compact(Session& s, const Args& args) {
    if (args.positional().empty()) usage_error("missing the DER signature (hex)");
    const std::vector<uint8_t> der = parse_hex(stdin_or(args.positional()[0], "the signature"), "signature");
    uint8_t sig[64];
    s.check(qorvex_ecdsa_sig_from_der(s.ctx(), der.data(), der.size(), sig));
    Json out = Json::object();
    out.set("signature", to_hex(sig, 64));
    const std::string text = to_hex(sig, 64) + "\n";
    s.emit(out, &text);
    return kExitOk;
}

std::vector<Option> recover_options() {
    std::vector<Option> o = {
        {"signature", "HEX", "compact signature (64 bytes), or 65 bytes ending in the recovery id"},
        {"recid", "N", "the recovery id, 0 to 3 (with a 64-byte signature)"},
        {"expect", "PUBKEY", "exit 1 unless the recovered key is this one"},
    };
    return join(o, message_options("the 32-byte digest that was signed", "the message as text (hashed with SHA-256)"));
}

const Command to_der_command = {
    "to-der",
    "compact (r || s, 64 bytes) to DER",
    "der to-der COMPACT_HEX",
    "Encodes a compact ECDSA signature in minimal DER (at most 72 bytes).",
    {},
    "  $ qorvex der to-der af340daf02cc15c8d5d08d7735dfe6b98a474ed373bdb5fbecf7571be52b3842"
    "5009fb27f37034a9b24b707b7c6b79ca23ddef9e25f7282e8a797efe53a8f124\n"
    "  3045022100af340daf02cc15c8d5d08d7735dfe6b98a474ed373bdb5fbecf7571be52b384202205009fb27f37034a9b24b707b7c6b79ca23ddef9e25f7282e8a797efe53a8f124\n",
    run_to_der,
    {},
    1,
};

const Command to_compact_command = {
    "to-compact",
    "DER to compact (r || s, 64 bytes)",
    "der to-compact DER_HEX",
    "Decodes a strictly encoded DER ECDSA signature into its compact form.",
    {},
    "  $ qorvex der to-compact 3045022100af340daf02cc15c8d5d08d7735dfe6b98a474ed373bdb5fbecf7571be52b384202205009fb27f37034a9b24b707b7c6b79ca23ddef9e25f7282e8a797efe53a8f124\n",
    run_to_compact,
    {},
    1,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command recover_command = {
    "recover",
    "recover the ECDSA public key from a signature and its recovery id",
    "recover --signature HEX [--recid N] (--digest HEX | --message TEXT |\n"
    "                    --message-file FILE) [--allow-empty] [--expect PUBKEY]",
    "Computes the public key that made a recoverable ECDSA signature (see\n"
    "'qorvex sign --recoverable'). Recovery is ECDSA only: the message is hashed\n"
    "with SHA-256, as 'qorvex sign' does for ECDSA. With --expect, exits 1 when the\n"
    "recovered key is another one.",
    recover_options(),
    "  $ qorvex recover --recid 0 --message 'pay bob 5' \\\n"
    "      --signature 6fa4e23963d6564f251bcbbcb0dd46cf1049bbef2e02a7649f0c40647587003f76dc6ddb6299c17b94c24919605438eb10d2bb2b9963afeba75910d1cc430e49\n",
    run_recover,
};

// Listed in the command table (commands.cpp).
extern const Command der_command = {
    "der",
    "convert ECDSA signatures between compact and DER",
    "der (to-der COMPACT_HEX | to-compact DER_HEX)",
    "",
    {},
    "  $ qorvex der to-der $(qorvex sign --key-file k --message hi --json | jq -r .signature)\n",
    nullptr,
    {&to_der_command, &to_compact_command},
};

}  // namespace qcli
