// hd: BIP-32 extended keys as xprv/xpub text: master keys from seeds or
// mnemonics, derivation along a path, and what a key holds.
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

uint32_t child_number(const qorvex_bip32_key& k) {
    return uint32_t{k.data[9]} << 24 | uint32_t{k.data[10]} << 16 | uint32_t{k.data[11]} << 8 | k.data[12];
}

std::string child_text(uint32_t i) {
    return i >= QORVEX_BIP32_HARDENED ? std::to_string(i - QORVEX_BIP32_HARDENED) + "'" : std::to_string(i);
}

// The public facts of a key, then its secrets when asked for.
void describe(Session& s, const qorvex_bip32_key& k, bool show_secret, Json& r) {
    qorvex_bip32_key pub;
    neuter(s, k, pub);
    r.set("kind", is_private(k) ? "private" : "public");
    r.set("depth", static_cast<unsigned>(k.data[4]));
    r.set("parent_fingerprint", to_hex(k.data + 5, 4), "parent fingerprint");
    r.set("child_number", child_text(child_number(k)), "child number");
    r.set("fingerprint", key_fingerprint(s, k));
    r.set("public_key", to_hex(pub.data + 45, 33), "public key");
    r.set("xpub", extended_key_text(s, pub));
    if (show_secret && is_private(k)) r.set("xprv", extended_key_text(s, k));
}

// Writes the xprv (or the xpub, for a public key) to --out.
void save_key(Session& s, const Args& args, const qorvex_bip32_key& k) {
    const char* out = args.get("out");
    if (out == nullptr) return;
    std::string text = extended_key_text(s, k);
    write_secret_line(args, out, text);
    wipe(text.data(), text.size());
}

int run_master(Session& s, const Args& args) {
    check_secret_output(args, false);
    uint8_t seed[QORVEX_BIP32_SEED_MAX_SIZE];
    size_t seed_len = 0;
    read_seed(s, args, seed, seed_len);
    qorvex_bip32_key k;
    const int rc = qorvex_bip32_master(s.ctx(), seed, seed_len, &k);
    wipe(seed, sizeof seed);
    s.check(rc);
    save_key(s, args, k);
    Json r = Json::object();
    describe(s, k, args.has("show-secret"), r);
    if (const char* out = args.get("out")) r.set("key_file", out, "key file");
    wipe(k.data, sizeof k.data);
    emit_secret_result(s, r);
    return kExitOk;
}

int run_derive(Session& s, const Args& args) {
    const char* path = args.get("path");
    if (path == nullptr) usage_error("missing --path PATH, e.g. m/84'/0'/0'/0/0");
    check_secret_output(args, false);
    qorvex_bip32_key k, child;
    read_extended_key(s, args, k);
    const int rc = qorvex_bip32_derive_path(s.ctx(), &k, path, &child);
    wipe(k.data, sizeof k.data);
    s.check(rc);
    save_key(s, args, child);
    Json r = Json::object();
    r.set("path", path);
    describe(s, child, args.has("show-secret"), r);
    if (const char* out = args.get("out")) r.set("key_file", out, "key file");
    wipe(child.data, sizeof child.data);
    emit_secret_result(s, r);
    return kExitOk;
}

int run_show(Session& s, const Args& args) {
    qorvex_bip32_key k;
    read_extended_key(s, args, k);
    Json r = Json::object();
    describe(s, k, args.has("show-secret"), r);
    if (args.has("show-secret") && is_private(k)) {
        uint8_t sk[32];
        s.check(qorvex_bip32_privkey(s.ctx(), &k, sk));
        r.set("private_key", to_hex(sk, 32), "private key");
        wipe(sk, sizeof sk);
    }
    wipe(k.data, sizeof k.data);
    emit_secret_result(s, r);
    return kExitOk;
}

Option key_file_ext() {
    return {"key-file", "PATH", "read the extended key (xprv or xpub text) from PATH (\"-\" for stdin)"};
}
Option xpub_option() { return {"xpub", "TEXT", "an extended public key given on the command line"}; }

std::vector<Option> master_options() {
    return join(seed_options(), secret_output_options("write the xprv to FILE (mode 0600; refuses to replace a file)",
                                                      "print the xprv"));
}

const Command master_command = {
    "master",
    "the master key of a seed or mnemonic (xpub; xprv when asked)",
    "hd master (--seed-file PATH | --mnemonic-file PATH [--passphrase-file PATH])\n"
    "                 [--out FILE] [--show-secret] [--force]",
    "Makes the BIP-32 master key of a seed (HMAC-SHA512 with the key \"Bitcoin\n"
    "seed\"), or of a mnemonic's BIP-39 seed. Prints the master public key and its\n"
    "fingerprint; the xprv is written to --out (mode 0600) or shown with\n"
    "--show-secret.",
    master_options(),
    "  $ qorvex hd master --mnemonic-file wallet.words --out master.xprv\n",
    run_master,
};

std::vector<Option> derive_options() {
    std::vector<Option> o = {
        key_file_ext(),
        xpub_option(),
        {"path", "PATH", "the path below the key: m, then /N steps, hardened with ', h or H, e.g. m/84'/0'/0'/0/0"},
    };
    return join(o, secret_output_options("write the derived key's text (xprv, or xpub below an xpub) to FILE",
                                         "print the derived xprv"));
}

const Command derive_command = {
    "derive",
    "the key at a path below an xprv or xpub",
    "hd derive (--key-file PATH | --xpub TEXT) --path PATH [--out FILE] [--show-secret]",
    "Derives the BIP-32 child key at PATH below the given key. Below an xpub only\n"
    "normal steps are possible (no hardened ones). Prints the child's public facts\n"
    "and xpub; its xprv goes to --out or is shown with --show-secret.",
    derive_options(),
    "  $ qorvex hd derive --key-file master.xprv --path \"m/84'/0'/0'/0/0\"\n",
    run_derive,
};

const Command show_command = {
    "show",
    "what an extended key holds: depth, fingerprints, public key, xpub",
    "hd show (--key-file PATH | --xpub TEXT) [--show-secret]",
    "Reads an xprv or xpub and prints its depth, parent fingerprint, child number,\n"
    "its own fingerprint, its public key and its xpub. With --show-secret, a private\n"
    "key also shows its xprv and 32-byte private key.",
    {key_file_ext(), xpub_option(), {"show-secret", nullptr, "also print the xprv and the private key"}},
    "  $ qorvex hd show --xpub xpub661MyMwAqRbcFtXgS5sYJABqqG9YLmC4Q1Rdap9gSE8NqtwybGhePY2gZ29ESFjqJoCu1Rupje8YtGqsefD265TMg7usUDFdp6W1EGMcet8\n"
    "  kind                public\n"
    "  depth               0\n"
    "  parent fingerprint  00000000\n"
    "  child number        0\n"
    "  fingerprint         3442193e\n"
    "  public key          0339a36013301597daef41fbe593a02cc513d0b55527ec2df1050e2e8ff49c85c2\n"
    "  xpub                xpub661MyMwAqRbcFtXgS5sYJABqqG9YLmC4Q1Rdap9gSE8NqtwybGhePY2gZ29ESFjqJoCu1Rupje8YtGqsefD265TMg7usUDFdp6W1EGMcet8\n",
    run_show,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command hd_command = {
    "hd",
    "BIP-32 keys: master keys, derivation along paths, xprv/xpub text",
    "hd SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex hd derive --key-file master.xprv --path \"m/84'/0'/0'\"\n",
    nullptr,
    {&master_command, &derive_command, &show_command},
};

}  // namespace qcli
