// ecdh, encrypt and decrypt: shared secrets and ECIES envelopes.
#include <unistd.h>

#include <cctype>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

struct EcdhForm {
    const char* name;
    int (*fn)(qorvex_ctx*, const uint8_t*, const uint8_t*, uint8_t*);
    const char* what;
};

const EcdhForm kForms[] = {
    {"hashed", qorvex_ecdh, "SHA-256 of the compressed shared point"},
    {"xonly", qorvex_ecdh_xonly, "SHA-256 of the shared point's x coordinate"},
    {"raw", qorvex_ecdh_raw, "the shared point's x coordinate, unhashed"},
};

// The bytes to work on: --in FILE ("-" for stdin), or stdin when it is not
// a terminal.
void read_input(const Args& args, std::vector<uint8_t>& out, bool stdin_taken) {
    const char* in = args.get("in");
    const std::string path = in != nullptr ? in : "-";
    if (path == "-" && stdin_taken) usage_error("the key already comes from stdin; give --in FILE");
    if (in == nullptr && ::isatty(STDIN_FILENO)) usage_error("no input: give --in FILE (\"-\" reads stdin)");
    read_file(path, out);
}

// Writes bytes to --out FILE (mode 0600; --force replaces a file), or to
// stdout when --out is absent or "-". Returns the file name, empty for
// stdout.
std::string write_output(const Args& args, const uint8_t* p, size_t n) {
    const char* out = args.get("out");
    if (out == nullptr || std::strcmp(out, "-") == 0) {
        std::fwrite(p, 1, n, stdout);
        return {};
    }
    write_private_file(out, std::string_view(reinterpret_cast<const char*>(p), n), args.has("force"));
    return out;
}

bool to_stdout(const Args& args) {
    const char* out = args.get("out");
    return out == nullptr || std::strcmp(out, "-") == 0;
}

int run_ecdh(Session& s, const Args& args) {
    const char* pub_hex = args.get("pubkey");
    if (pub_hex == nullptr) usage_error("missing --pubkey HEX (the other party's public key)");
    const char* form_name = args.get("form");
    if (form_name == nullptr) form_name = "hashed";
    const EcdhForm* form = nullptr;
    for (const auto& f : kForms)
        if (std::strcmp(f.name, form_name) == 0) form = &f;
    if (form == nullptr) usage_error(std::string("--form: expected hashed, xonly or raw, got \"") + form_name + "\"");
    const char* out = args.get("out");
    const bool show = args.has("show-secret");
    check_secret_output(args, true, "a shared secret", "the secret");

    uint8_t peer[33];
    parse_pubkey(s, pub_hex, peer, "--pubkey");
    SecretKey key;
    read_secret_key(s, args, key);
    SecretKey shared;  // 32 secret bytes, wiped on the way out
    s.check(form->fn(s.ctx(), key.bytes, peer, shared.bytes));

    std::string hex = to_hex(shared.bytes, 32);
    write_secret_line(args, out, hex);
    Json r = Json::object();
    r.set("peer", to_hex(peer, 33));
    r.set("form", form->name);
    if (out != nullptr) r.set("secret_file", out, "secret file");
    if (show) r.set("secret", hex, "shared secret");
    wipe(hex.data(), hex.size());
    std::string text = render_text(r);
    s.emit(r, &text);
    wipe(text.data(), text.size());
    r.scrub();
    return kExitOk;
}

// Hex text: every byte a hex digit or white space, with an optional 0x. A
// binary envelope starts with 02 or 03, which is neither.
bool looks_like_hex(const std::vector<uint8_t>& d) {
    bool digit = false;
    for (size_t i = 0; i < d.size(); ++i) {
        const int c = d[i];
        if (std::isxdigit(c)) {
            digit = true;
        } else if (!std::isspace(c) && !(c == 'x' && i > 0 && d[i - 1] == '0')) {
            return false;
        }
    }
    return digit;
}

int run_encrypt(Session& s, const Args& args) {
    const char* to = args.get("to");
    if (to == nullptr) usage_error("missing --to PUBKEY (the recipient's public key)");
    uint8_t recipient[33];
    parse_pubkey(s, to, recipient, "--to");
    const bool hex = args.has("hex");
    if (to_stdout(args) && !hex && !s.json() && ::isatty(STDOUT_FILENO)) {
        usage_error("refusing to write a binary envelope to a terminal; give --hex or --out FILE");
    }
    SecretBuffer plain;
    read_input(args, plain.data(), false);
    if (plain.data().empty()) usage_error("nothing to encrypt: the input is empty");

    std::vector<uint8_t> env(plain.data().size() + QORVEX_ECIES_OVERHEAD);
    size_t len = env.size();
    s.check(qorvex_ecies_encrypt(s.ctx(), recipient, plain.data().data(), plain.data().size(), env.data(), &len));

    Json r = Json::object();
    r.set("recipient", to_hex(recipient, 33));
    r.set("plaintext_length", plain.data().size(), "plaintext");
    r.set("envelope_length", len, "envelope");
    const std::string env_hex = to_hex(env.data(), len);
    if (s.json()) {
        // The envelope goes in the object unless a file takes it.
        if (to_stdout(args)) {
            r.set("envelope", env_hex);
        } else {
            const std::string body = hex ? env_hex + "\n" : std::string(env.begin(), env.end());
            r.set("envelope_file", write_output(args, reinterpret_cast<const uint8_t*>(body.data()), body.size()));
        }
        s.emit(r);
        return kExitOk;
    }
    const std::string body = hex ? env_hex + "\n" : std::string(env.begin(), env.end());
    const std::string file = write_output(args, reinterpret_cast<const uint8_t*>(body.data()), body.size());
    if (!file.empty()) {
        r.set("envelope_file", file, "written to");
        s.emit(r);
    }
    return kExitOk;
}

int run_decrypt(Session& s, const Args& args) {
    SecretKey key;
    read_secret_key(s, args, key);
    std::vector<uint8_t> input;
    read_input(args, input, key_from_stdin(args));
    const bool hex_in = args.has("hex") || looks_like_hex(input);
    const std::vector<uint8_t> env =
        hex_in ? parse_hex(std::string_view(reinterpret_cast<const char*>(input.data()), input.size()), "envelope")
               : input;
    if (env.size() < QORVEX_ECIES_MIN_ENVELOPE_SIZE) {
        usage_error("the envelope is " + std::to_string(env.size()) + " bytes; an envelope has at least " +
                    std::to_string(QORVEX_ECIES_MIN_ENVELOPE_SIZE));
    }
    SecretBuffer plain;
    plain.data().resize(env.size() - QORVEX_ECIES_OVERHEAD);
    size_t len = plain.data().size();
    const int rc = qorvex_ecies_decrypt(s.ctx(), key.bytes, env.data(), env.size(), plain.data().data(), &len);
    Json r = Json::object();
    r.set("envelope_length", env.size(), "envelope");
    if (!s.verdict(rc)) {
        r.set("valid", false);
        r.set("error", s.verify_message());
        if (s.json()) s.emit(r);
        return kExitVerifyFailed;
    }
    r.set("valid", true);
    r.set("plaintext_length", len, "plaintext");
    if (s.json() && to_stdout(args)) {
        std::string h = to_hex(plain.data().data(), len);
        r.set("plaintext", h);
        wipe(h.data(), h.size());
        s.emit(r);
        r.scrub();
        return kExitOk;
    }
    const std::string file = write_output(args, plain.data().data(), len);
    if (!file.empty()) {
        r.set("plaintext_file", file, "written to");
        s.emit(r);
    }
    return kExitOk;
}

const std::vector<Option> kInOut = {
    {"in", "FILE", "read the input from FILE (\"-\" for stdin, also the default when stdin is not a terminal)"},
    {"out", "FILE", "write the result to FILE (mode 0600; refuses to replace a file) instead of stdout"},
    {"force", nullptr, "with --out, replace an existing file"},
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command ecdh_command = {
    "ecdh",
    "the ECDH shared secret of your private key and another public key",
    "ecdh --key-file PATH --pubkey HEX [--form hashed|xonly|raw]\n"
    "                    (--out FILE | --show-secret) [--force]",
    "Computes the shared point S = key * PUBKEY in constant time and derives 32\n"
    "bytes from it: by default the SHA-256 of S compressed (--form hashed, as\n"
    "libsecp256k1's ECDH does), or the SHA-256 of x(S) (xonly), or x(S) itself\n"
    "(raw). Both parties get the same bytes from their own key and the other's\n"
    "public key. The secret is written to a new file of mode 0600 (--out) and is\n"
    "printed only with --show-secret.",
    {
        key_file_option(),
        {"pubkey", "HEX", "the other party's public key (33 or 65 bytes)"},
        {"form", "NAME", "hashed (default), xonly or raw"},
        {"out", "FILE", "write the shared secret (hex) to FILE, mode 0600"},
        {"force", nullptr, "with --out, replace an existing file"},
        {"show-secret", nullptr, "print the shared secret"},
    },
    "  $ qorvex ecdh --key-file alice.key --out alice-bob.secret \\\n"
    "      --pubkey 035d45cb81aa765d69ca52e3869491ecf0e8fdf6a63d64e65b5213647ee4973ae5\n",
    run_ecdh,
};

// Listed in the command table (commands.cpp).
extern const Command encrypt_command = {
    "encrypt",
    "encrypt a file to a public key (ECIES)",
    "encrypt --to PUBKEY [--in FILE|-] [--out FILE|-] [--hex] [--force]",
    "Encrypts the input (a file, or stdin) to the recipient's public key: a fresh\n"
    "ephemeral key and ECDH give, through HKDF-SHA256, an AES-256-CTR key and an\n"
    "HMAC-SHA256 key; the envelope is the ephemeral public key (33 bytes), the\n"
    "IV (16), the ciphertext and a tag (32) over all of it, 81 bytes more than\n"
    "the input. It is written in binary, or as hex with --hex, to stdout or to\n"
    "--out FILE. Every run gives a different envelope.",
    join({{"to", "HEX", "the recipient's public key (33 or 65 bytes)"},
          {"hex", nullptr, "write the envelope as hex text instead of binary"}},
         kInOut),
    "  $ qorvex encrypt --to 035d45cb81aa765d69ca52e3869491ecf0e8fdf6a63d64e65b5213647ee4973ae5 --in report.pdf --out report.pdf.ecies\n"
    "  $ echo 'meet at noon' | qorvex encrypt --to 035d45cb81aa765d69ca52e3869491ecf0e8fdf6a63d64e65b5213647ee4973ae5 --hex\n",
    run_encrypt,
};

// Listed in the command table (commands.cpp).
extern const Command decrypt_command = {
    "decrypt",
    "decrypt an ECIES envelope with your private key",
    "decrypt --key-file PATH [--in FILE|-] [--out FILE|-] [--hex] [--force]",
    "Checks the envelope's tag and decrypts it (binary, or hex text: hex is\n"
    "recognised by itself, --hex insists on it). The plaintext goes to stdout, or\n"
    "to a new file of mode 0600 with --out. A wrong key and a modified envelope\n"
    "give the same refusal, and exit status 1; nothing is written then.",
    join({key_file_option(), {"hex", nullptr, "the envelope is hex text"}}, kInOut),
    "  $ qorvex decrypt --key-file bob.key --in report.pdf.ecies --out report.pdf\n",
    run_decrypt,
};

}  // namespace qcli
