// mnemonic: BIP-39 sentences (English), new ones, checks, and their seeds.
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

const char* text_of(SecretBuffer& b) { return reinterpret_cast<const char*>(b.data().data()); }

size_t word_count(const char* m) {
    size_t n = 0;
    for (const char* p = m; *p != '\0'; ++p)
        if ((p == m || p[-1] == ' ') && *p != ' ') ++n;
    return n;
}

int run_new(Session& s, const Args& args) {
    check_secret_output(args, true);
    SecretKey entropy;  // 32 bytes: room for the largest entropy
    size_t n = 0;
    const bool given = args.has("entropy-file");
    if (given) {
        SecretBuffer text;
        read_secret_text(args.get("entropy-file"), text, "entropy");
        const std::string_view hex(text_of(text), text.data().size() - 1);
        std::vector<uint8_t> bytes = parse_hex(hex, "entropy");
        n = bytes.size();
        const bool size_ok = n >= 16 && n <= 32 && n % 4 == 0;
        if (size_ok) std::memcpy(entropy.bytes, bytes.data(), n);
        wipe(bytes.data(), bytes.size());
        if (!size_ok) usage_error("entropy: 16, 20, 24, 28 or 32 bytes, got " + std::to_string(n));
    }
    // The word count follows the entropy's size unless asked for.
    const uint64_t words = args.has("words") ? parse_u64(args.get("words"), "--words") : given ? n * 3 / 4 : 12;
    if (words < 12 || words > 24 || words % 3 != 0) usage_error("--words: 12, 15, 18, 21 or 24");
    if (given && words != n * 3 / 4) {
        usage_error("--words " + std::to_string(words) + " takes " + std::to_string(words / 3 * 4) +
                    " bytes of entropy, the file holds " + std::to_string(n));
    }
    n = static_cast<size_t>(words) / 3 * 4;
    char m[QORVEX_BIP39_MNEMONIC_MAX_SIZE];
    size_t len = sizeof m;
    // Without --entropy-file the library draws the entropy from the kernel.
    s.check(qorvex_bip39_generate(s.ctx(), n, given ? entropy.bytes : nullptr, m, &len));
    std::string sentence(m, len);
    wipe(m, sizeof m);
    write_secret_line(args, args.get("out"), sentence);
    Json r = Json::object();
    r.set("words", static_cast<unsigned>(words));
    r.set("source", given ? "entropy file" : "random");
    if (const char* out = args.get("out")) r.set("mnemonic_file", out, "mnemonic file");
    if (args.has("show-secret")) r.set("mnemonic", sentence);
    wipe(sentence.data(), sentence.size());
    emit_secret_result(s, r);
    return kExitOk;
}

int run_check(Session& s, const Args& args) {
    if (!args.has("mnemonic-file")) usage_error("missing --mnemonic-file PATH (\"-\" reads stdin)");
    SecretBuffer m;
    read_mnemonic_file(args.get("mnemonic-file"), m);
    const size_t words = word_count(text_of(m));
    const int rc = qorvex_bip39_validate(s.ctx(), text_of(m));
    Json r = Json::object();
    r.set("words", static_cast<unsigned>(words));
    r.set("valid", rc == QORVEX_OK);
    if (rc == QORVEX_OK) {
        const std::string line = "valid (" + std::to_string(words) + " words)\n";
        s.emit(r, &line);
        return kExitOk;
    }
    if (rc != QORVEX_ERR_BAD_INPUT) s.check(rc);
    const std::string line = "invalid\n";
    s.emit(r, &line);
    s.set_verify_message(words == 12 || words == 15 || words == 18 || words == 21 || words == 24
                             ? "not a BIP-39 mnemonic: a word is not in the English list, or the checksum does not match"
                             : "not a BIP-39 mnemonic: " + std::to_string(words) +
                                   " words (a mnemonic has 12, 15, 18, 21 or 24)");
    return kExitVerifyFailed;
}

int run_seed(Session& s, const Args& args) {
    if (!args.has("mnemonic-file")) usage_error("missing --mnemonic-file PATH (\"-\" reads stdin)");
    check_secret_output(args, true);
    const char* mpath = args.get("mnemonic-file");
    const char* ppath = args.get("passphrase-file");
    if (ppath != nullptr && std::strcmp(ppath, "-") == 0 && std::strcmp(mpath, "-") == 0) {
        usage_error("the mnemonic and the passphrase cannot both come from stdin");
    }
    SecretBuffer m, pass;
    read_mnemonic_file(mpath, m);
    if (ppath != nullptr) read_passphrase_file(ppath, pass);
    uint8_t seed[QORVEX_BIP39_SEED_SIZE];
    const int rc = qorvex_bip39_to_seed(s.ctx(), text_of(m), ppath ? text_of(pass) : nullptr, seed);
    std::string hex = rc == QORVEX_OK ? to_hex(seed, sizeof seed) : std::string();
    wipe(seed, sizeof seed);
    s.check(rc);
    write_secret_line(args, args.get("out"), hex);
    Json r = Json::object();
    r.set("words", static_cast<unsigned>(word_count(text_of(m))));
    r.set("passphrase", ppath != nullptr);
    if (const char* out = args.get("out")) r.set("seed_file", out, "seed file");
    if (args.has("show-secret")) r.set("seed", hex);
    wipe(hex.data(), hex.size());
    emit_secret_result(s, r);
    return kExitOk;
}

std::vector<Option> new_options() {
    std::vector<Option> o = {
        {"words", "N", "12 (the default, or as many as the entropy file gives), 15, 18, 21 or 24 words"},
        {"entropy-file", "PATH", "take the entropy (hex: 16 to 32 bytes, 4 per 3 words) from PATH (\"-\" for stdin) "
                                 "instead of the kernel's random source"},
    };
    return join(o, secret_output_options("write the mnemonic to FILE (mode 0600; refuses to replace a file)",
                                         "print the mnemonic"));
}

const Command new_command = {
    "new",
    "a new mnemonic from the kernel's random source (or given entropy)",
    "mnemonic new (--out FILE | --show-secret) [--words N] [--entropy-file PATH] [--force]",
    "Makes a BIP-39 mnemonic of 12 to 24 English words. The entropy comes from the\n"
    "kernel (getrandom), or from --entropy-file. The sentence is written to a new file\n"
    "of mode 0600 (--out), and printed only with --show-secret.",
    new_options(),
    "  $ qorvex mnemonic new --words 24 --out wallet.words\n"
    "  words          24\n"
    "  source         random\n"
    "  mnemonic file  wallet.words\n",
    run_new,
};

const Command check_command = {
    "check",
    "check a mnemonic's words and checksum (exit 1 when invalid)",
    "mnemonic check --mnemonic-file PATH",
    "Checks that a mnemonic has 12, 15, 18, 21 or 24 words of the English list and\n"
    "that its checksum matches. Prints \"valid\" (exit 0) or \"invalid\" (exit 1).",
    {{"mnemonic-file", "PATH", "read the mnemonic from PATH (\"-\" for stdin); any white space separates words"}},
    "  $ qorvex mnemonic check --mnemonic-file wallet.words\n"
    "  valid (24 words)\n",
    run_check,
};

std::vector<Option> seed_options() {
    std::vector<Option> o = {
        {"mnemonic-file", "PATH", "read the mnemonic from PATH (\"-\" for stdin)"},
        {"passphrase-file", "PATH", "read the BIP-39 passphrase from PATH (\"-\" for stdin; one final line break is "
                                    "dropped); default: no passphrase"},
    };
    return join(o, secret_output_options("write the seed (hex) to FILE (mode 0600; refuses to replace a file)",
                                         "print the seed"));
}

const Command seed_command = {
    "seed",
    "the 64-byte BIP-39 seed of a mnemonic and passphrase",
    "mnemonic seed --mnemonic-file PATH [--passphrase-file PATH] (--out FILE | --show-secret)",
    "Computes the BIP-39 seed: PBKDF2-HMAC-SHA512 with 2048 rounds over the NFKD\n"
    "forms of the mnemonic and of \"mnemonic\" + passphrase. The words are joined by\n"
    "single spaces first, as wallets write them. The seed is the input of\n"
    "'qorvex hd master --seed-file'.",
    seed_options(),
    "  $ qorvex mnemonic seed --mnemonic-file wallet.words --passphrase-file pass.txt --out wallet.seed\n",
    run_seed,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command mnemonic_command = {
    "mnemonic",
    "BIP-39 mnemonics: new ones, checks and seeds",
    "mnemonic SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex mnemonic new --out wallet.words\n",
    nullptr,
    {&new_command, &check_command, &seed_command},
};

}  // namespace qcli
