// sign and verify, for every scheme of the table below.
#include <cstring>

#include "schemes.h"

namespace qcli {

namespace {

const Scheme* const kSchemes[] = {
    &ecdsa_scheme,
    &schnorr_scheme,
};

// Options that belong to one scheme only.
const char* const kSchemeOptions[] = {"recoverable", "aux"};

const Scheme& pick_scheme(const Args& args) {
    const char* name = args.get("scheme");
    if (name == nullptr) name = "ecdsa";
    const Scheme* scheme = nullptr;
    std::string names;
    for (const Scheme* sc : kSchemes) {
        if (std::strcmp(sc->name, name) == 0) scheme = sc;
        names += std::string(names.empty() ? "" : "|") + sc->name;
    }
    if (scheme == nullptr) usage_error(std::string("--scheme: expected ") + names + ", got \"" + name + "\"");
    for (const char* opt : kSchemeOptions) {
        if (!args.has(opt)) continue;
        bool own = false;
        for (const char* o : scheme->own_options) own = own || std::strcmp(o, opt) == 0;
        if (!own) usage_error(std::string("--") + opt + " does not apply to --scheme " + scheme->name);
    }
    return *scheme;
}

int run_sign(Session& s, const Args& args) {
    const Scheme& scheme = pick_scheme(args);
    SecretKey key;
    read_secret_key(s, args, key);
    const MessageInput msg = read_message(args, key_from_stdin(args));
    Json out = Json::object();
    out.set("scheme", scheme.name);
    scheme.sign(s, key, msg, args, out);
    s.emit(out);
    return kExitOk;
}

int run_verify(Session& s, const Args& args) {
    const Scheme& scheme = pick_scheme(args);
    const char* sig_hex = args.get("signature");
    const char* pub_hex = args.get("pubkey");
    if (sig_hex == nullptr) usage_error("missing --signature HEX");
    if (pub_hex == nullptr) usage_error("missing --pubkey HEX");
    const std::vector<uint8_t> sig = parse_hex(sig_hex, "--signature");
    const MessageInput msg = read_message(args, false);
    Json out = Json::object();
    out.set("scheme", scheme.name);
    const bool valid = scheme.verify(s, msg, sig, pub_hex, out);
    out.set("valid", valid);
    if (!valid) out.set("error", s.verify_message());
    const std::string text = valid ? "valid\n" : "invalid\n";
    s.emit(out, &text);
    return valid ? kExitOk : kExitVerifyFailed;
}

std::vector<Option> sign_options() {
    std::vector<Option> o = {
        key_file_option(),
        {"scheme", "NAME", "ecdsa (default) or schnorr (BIP-340)"},
    };
    o = join(o, message_options("sign this 32-byte digest as it is"));
    return join(o, {
                       {"recoverable", nullptr, "ECDSA: also print the recovery id (for 'qorvex recover')"},
                       {"aux", "HEX", "Schnorr: 32 bytes of auxiliary randomness (default: random)"},
                   });
}

std::vector<Option> verify_options() {
    std::vector<Option> o = {
        {"scheme", "NAME", "ecdsa (default) or schnorr (BIP-340)"},
        {"signature", "HEX", "the signature: 64 bytes (ECDSA also takes DER)"},
        {"pubkey", "HEX", "the public key: ECDSA 33 or 65 bytes; Schnorr 32-byte x-only (or 33/65)"},
    };
    return join(o, message_options("verify against this 32-byte digest as it is"));
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command sign_command = {
    "sign",
    "sign a message or a 32-byte digest (ECDSA or Schnorr)",
    "sign --key-file PATH [--scheme ecdsa|schnorr] (--digest HEX | --message TEXT |\n"
    "                    --message-file FILE) [--allow-empty] [--recoverable] [--aux HEX]",
    "Signs a 32-byte digest as given, or a message hashed the way the scheme does:\n"
    "SHA-256 for ECDSA; for Schnorr the \"BIP0340/msg\" tagged hash, which is this\n"
    "library's own convention (BIP-340 signs 32 bytes and names no message hash):\n"
    "to interoperate, hash the message as the other side does and sign the digest\n"
    "with --digest. The message source must be given (\"--message-file -\" reads\n"
    "stdin), and an empty message is refused unless --allow-empty is given.\n"
    "ECDSA signatures are deterministic (RFC 6979) and low-S; they are printed\n"
    "compact (r || s) and in DER. Schnorr signatures (BIP-340) use 32 bytes of\n"
    "auxiliary randomness, from the kernel unless --aux gives them. Each signature\n"
    "is checked before it is printed.",
    sign_options(),
    "  $ qorvex sign --key-file alice.key --message 'pay bob 5'\n"
    "  $ qorvex sign --key-file alice.key --scheme schnorr --message-file invoice.txt\n"
    "  $ qorvex sign --key-file alice.key --scheme schnorr --digest $(qorvex hash sha256 invoice.txt)\n",
    run_sign,
};

// Listed in the command table (commands.cpp).
extern const Command verify_command = {
    "verify",
    "verify a signature (exit 1 when it does not verify)",
    "verify [--scheme ecdsa|schnorr] --signature HEX --pubkey HEX\n"
    "                    (--digest HEX | --message TEXT | --message-file FILE) [--allow-empty]",
    "Checks a signature against a public key and a message (hashed as 'sign' does)\n"
    "or a 32-byte digest. Prints \"valid\" and exits 0, or prints \"invalid\" and\n"
    "exits 1. A signature the library rejects as malformed (r or s out of range, a\n"
    "high-S ECDSA signature, bad DER) is a library error (exit 3).",
    verify_options(),
    "  $ qorvex verify --pubkey 02a64db41e2968c849c2a5615ba0d6e816734a6d3e6ea6ecd6f3acb7d59daa9102 \\\n"
    "      --signature 6fa4e23963d6564f251bcbbcb0dd46cf1049bbef2e02a7649f0c40647587003f76dc6ddb6299c17b94c24919605438eb10d2bb2b9963afeba75910d1cc430e49 \\\n"
    "      --message 'pay bob 5'\n"
    "  valid\n",
    run_verify,
};

}  // namespace qcli
