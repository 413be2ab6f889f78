// keygen and pubkey.
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

// The key given with --from-hex: the argument itself (already moved out of
// argv, so it no longer shows in the process list; its copy is wiped here)
// or "-" for stdin.
void key_from_hex_option(Session& s, const Args& args, SecretKey& key) {
    read_secret_hex_option(args, "from-hex", key.bytes);
    s.check(qorvex_seckey_verify(s.ctx(), key.bytes));
}

int run_keygen(Session& s, const Args& args) {
    const char* out = args.get("out");
    const bool show = args.has("show-secret");
    check_secret_output(args, true, "a new key", "the key");

    SecretKey key;
    if (args.has("from-hex")) {
        key_from_hex_option(s, args, key);
    } else {
        // Nearly every 32-byte string is a valid key; retry the rare ones
        // that are zero or not below the group order.
        int attempts = 0;
        do {
            if (++attempts > 64) runtime_error("the random source keeps producing invalid keys");
            random_bytes(key.bytes, sizeof key.bytes);
        } while (qorvex_seckey_verify(s.ctx(), key.bytes) != QORVEX_OK);
    }

    uint8_t pub[33], xonly[32];
    s.check(qorvex_pubkey_create(s.ctx(), key.bytes, pub));
    s.check(qorvex_pubkey_xonly(s.ctx(), key.bytes, xonly));

    std::string hex = to_hex(key.bytes, 32);
    write_secret_line(args, out, hex);

    Json r = Json::object();
    r.set("public_key", to_hex(pub, 33));
    r.set("x_only", to_hex(xonly, 32), "x-only");
    r.set("source", args.has("from-hex") ? "hex" : "random");
    if (out != nullptr) r.set("key_file", out);
    if (show) r.set("secret", hex);
    // The text is built here rather than by render_text, so that the one
    // buffer holding the secret can be wiped.
    std::string text;
    text.reserve(512);
    for (size_t i = 0; i < r.member_count(); ++i) {
        std::string label = r.label(i);
        label.resize(10, ' ');
        text += label;
        text += "  ";
        text += r.value(i).text();
        text += '\n';
    }
    wipe(hex.data(), hex.size());
    s.emit(r, &text);
    wipe(text.data(), text.size());
    r.scrub();
    return kExitOk;
}

int run_pubkey(Session& s, const Args& args) {
    const char* format = args.get("format");
    if (format != nullptr && std::strcmp(format, "compressed") != 0 && std::strcmp(format, "uncompressed") != 0 &&
        std::strcmp(format, "x-only") != 0) {
        usage_error(std::string("--format: expected compressed, uncompressed or x-only, got \"") + format + "\"");
    }
    if (args.has("key-file") == args.has("pubkey")) usage_error("give either --key-file PATH or --pubkey HEX");

    uint8_t comp[33];
    std::string uncompressed;
    if (args.has("key-file")) {
        SecretKey key;
        read_secret_key(s, args, key);
        uint8_t unc[65];
        s.check(qorvex_pubkey_create(s.ctx(), key.bytes, comp));
        s.check(qorvex_pubkey_create_uncompressed(s.ctx(), key.bytes, unc));
        uncompressed = to_hex(unc, 65);
    } else {
        parse_pubkey(s, args.get("pubkey"), comp, "--pubkey");
        const std::vector<uint8_t> given = parse_hex(args.get("pubkey"), "--pubkey");
        if (given.size() == 65) uncompressed = to_hex(given);  // checked by the parse above
    }

    Json r = Json::object();
    const auto wanted = [&](const char* f) { return format == nullptr || std::strcmp(format, f) == 0; };
    if (wanted("compressed")) r.set("compressed", to_hex(comp, 33));
    if (wanted("uncompressed")) {
        if (uncompressed.empty()) {
            if (format != nullptr) usage_error("the uncompressed form needs --key-file or an uncompressed --pubkey");
        } else {
            r.set("uncompressed", uncompressed);
        }
    }
    if (wanted("x-only")) r.set("x_only", to_hex(comp + 1, 32), "x-only");
    if (format != nullptr && !s.json()) {
        const std::string line = r.value(0).scalar() + "\n";
        s.emit(r, &line);
    } else {
        s.emit(r);
    }
    return kExitOk;
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command keygen_command = {
    "keygen",
    "create a private key (random, or from hex) and show its public key",
    "keygen (--out FILE | --show-secret) [--from-hex HEX|-] [--force]",
    "Creates a private key from 32 bytes of the kernel's random source (retrying in\n"
    "the rare case the bytes are not a valid key), or takes the key given with\n"
    "--from-hex. The key is written as hex to a new file of mode 0600 (--out), and\n"
    "is printed only with --show-secret. The public key is always printed.\n"
    "A key given on the command line is visible to other users of the machine\n"
    "while the tool starts, and stays in shell history: give \"--from-hex -\" and\n"
    "the key on stdin instead.",
    {
        {"out", "FILE",
         "write the private key to FILE (mode 0600; refuses to replace a file): a new file beside it, renamed "
         "into place"},
        {"force", nullptr, "with --out, replace an existing file (a link is replaced, not followed)"},
        {"show-secret", nullptr, "print the private key"},
        {"from-hex", "HEX",
         "use this key instead of a random one; \"-\" reads it from stdin (preferred: on the command line it is "
         "visible to other users)",
         true},
    },
    "  $ qorvex keygen --out alice.key\n"
    "  public key  039997a497d964fc1a62885b05a51166a65a90df00492c8d7cf61d6accf54803be\n"
    "  x-only      9997a497d964fc1a62885b05a51166a65a90df00492c8d7cf61d6accf54803be\n"
    "  source      random\n"
    "  key file    alice.key\n",
    run_keygen,
};

// Listed in the command table (commands.cpp).
extern const Command pubkey_command = {
    "pubkey",
    "public key of a private key (compressed, uncompressed, x-only)",
    "pubkey (--key-file PATH | --pubkey HEX) [--format compressed|uncompressed|x-only]",
    "Prints the public key of a private key in its three encodings: SEC 1\n"
    "compressed (33 bytes), uncompressed (65 bytes) and the 32-byte x-only form of\n"
    "BIP-340. With --pubkey it checks a given public key instead and prints its\n"
    "compressed and x-only forms. --format prints only one encoding, as bare hex.",
    {
        key_file_option(),
        {"pubkey", "HEX", "check and convert this public key (33 or 65 bytes) instead"},
        {"format", "NAME", "print only this encoding: compressed, uncompressed or x-only"},
    },
    "  $ echo 0000000000000000000000000000000000000000000000000000000000000001 \\\n"
    "      | qorvex pubkey --key-file - --format compressed\n"
    "  0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798\n",
    run_pubkey,
};

}  // namespace qcli
