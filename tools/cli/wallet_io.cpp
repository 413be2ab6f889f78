// Wallet texts shared by mnemonic, hd, address and wif: secret files read
// into wiped buffers, extended keys, and results that carry secrets.
#include <algorithm>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

bool is_blank(uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// More than any mnemonic, passphrase or extended key needs: larger input is
// a mistake.
constexpr size_t kTextLimit = (1 << 16) - 1;

// The reader leaves room for one more byte: the NUL each caller appends.
void read_into(const char* path, SecretBuffer& buf, std::string_view what) {
    read_secret_file(path, buf, kTextLimit, std::string(what));
}

}  // namespace

void read_secret_text(const char* path, SecretBuffer& out, std::string_view what) {
    read_into(path, out, what);
    std::vector<uint8_t>& d = out.data();
    size_t b = 0, e = d.size();
    while (b < e && is_blank(d[b])) ++b;
    while (e > b && is_blank(d[e - 1])) --e;
    std::memmove(d.data(), d.data() + b, e - b);
    wipe(d.data() + (e - b), d.size() - (e - b));
    d.resize(e - b);
    d.push_back('\0');
}

void read_mnemonic_file(const char* path, SecretBuffer& out) {
    read_into(path, out, "mnemonic");
    std::vector<uint8_t>& d = out.data();
    // Words joined by single spaces, compacted in place.
    size_t w = 0;
    bool in_word = false;
    for (size_t r = 0; r < d.size(); ++r) {
        const uint8_t c = d[r];
        if (is_blank(c)) {
            in_word = false;
            continue;
        }
        if (!in_word && w > 0) d[w++] = ' ';
        d[w++] = c;
        in_word = true;
    }
    wipe(d.data() + w, d.size() - w);
    d.resize(w);
    d.push_back('\0');
}

void read_passphrase_file(const char* path, SecretBuffer& out) {
    read_into(path, out, "passphrase");
    std::vector<uint8_t>& d = out.data();
    if (!d.empty() && d.back() == '\n') d.pop_back();
    if (!d.empty() && d.back() == '\r') d.pop_back();
    if (std::memchr(d.data(), '\0', d.size()) != nullptr) usage_error("the passphrase holds a NUL byte");
    d.push_back('\0');
}

void read_extended_key(Session& s, const Args& args, qorvex_bip32_key& out) {
    if (args.has("key-file") == args.has("xpub")) usage_error("give either --key-file PATH (xprv or xpub) or --xpub TEXT");
    if (const char* x = args.get("xpub")) {
        s.check(qorvex_bip32_from_base58(s.ctx(), x, &out));
        if (is_private(out)) {
            wipe(out.data, sizeof out.data);
            usage_error("--xpub takes an xpub; give private keys with --key-file");
        }
        return;
    }
    SecretBuffer text;
    read_secret_text(args.get("key-file"), text, "extended key");
    s.check(qorvex_bip32_from_base58(s.ctx(), reinterpret_cast<const char*>(text.data().data()), &out));
}

bool is_private(const qorvex_bip32_key& k) { return k.data[78] == 1; }

std::vector<Option> public_key_options() {
    return {
        {"pubkey", "HEX", "a public key, 33 or 65 bytes"},
        key_file_option(),
        {"xpub", "TEXT", "the public key of this xpub"},
    };
}

void read_public_key(Session& s, const Args& args, uint8_t out33[33]) {
    const int sources = args.has("pubkey") + args.has("key-file") + args.has("xpub");
    if (sources != 1) usage_error("give one of --pubkey HEX, --key-file PATH or --xpub TEXT");
    if (args.has("pubkey")) {
        parse_pubkey(s, args.get("pubkey"), out33, "--pubkey");
    } else if (args.has("key-file")) {
        SecretKey key;
        read_secret_key(s, args, key);
        s.check(qorvex_pubkey_create(s.ctx(), key.bytes, out33));
    } else {
        qorvex_bip32_key k;
        read_extended_key(s, args, k);
        const int rc = qorvex_bip32_pubkey(s.ctx(), &k, out33);
        wipe(k.data, sizeof k.data);
        s.check(rc);
    }
}

void neuter(Session& s, const qorvex_bip32_key& in, qorvex_bip32_key& out) {
    out = in;
    if (!is_private(in)) return;
    // The record layout of qorvex.h: the xpub version, the compressed key in
    // the key data, kind 0.
    static const uint8_t kXpubVersion[4] = {0x04, 0x88, 0xB2, 0x1E};
    std::memcpy(out.data, kXpubVersion, 4);
    s.check(qorvex_bip32_pubkey(s.ctx(), &in, out.data + 45));
    out.data[78] = 0;
}

std::string extended_key_text(Session& s, const qorvex_bip32_key& k) {
    char text[QORVEX_BIP32_TEXT_SIZE];
    size_t len = sizeof text;
    s.check(qorvex_bip32_to_base58(s.ctx(), &k, text, &len));
    std::string out(text, len);
    wipe(text, sizeof text);
    return out;
}

std::string key_fingerprint(Session& s, const qorvex_bip32_key& k) {
    uint8_t pub[33], h[20];
    s.check(qorvex_bip32_pubkey(s.ctx(), &k, pub));
    s.check(qorvex_hash160(pub, 33, h));
    return to_hex(h, 4);
}

std::vector<Option> seed_options() {
    return {
        {"seed-file", "PATH", "read the seed (16 to 64 bytes of hex, as 'mnemonic seed' writes it) from PATH (\"-\" "
                              "for stdin)"},
        {"mnemonic-file", "PATH", "compute the seed from the BIP-39 mnemonic in PATH (\"-\" for stdin)"},
        {"passphrase-file", "PATH", "with --mnemonic-file, the BIP-39 passphrase from PATH"},
    };
}

void read_seed(Session& s, const Args& args, uint8_t seed[QORVEX_BIP32_SEED_MAX_SIZE], size_t& seed_len) {
    if (args.has("seed-file") == args.has("mnemonic-file")) {
        usage_error("give either --seed-file PATH or --mnemonic-file PATH");
    }
    if (args.has("passphrase-file") && !args.has("mnemonic-file")) usage_error("--passphrase-file goes with --mnemonic-file");
    if (const char* path = args.get("seed-file")) {
        SecretBuffer text;
        read_secret_text(path, text, "seed");
        std::vector<uint8_t> bytes = parse_hex(
            std::string_view(reinterpret_cast<const char*>(text.data().data()), text.data().size() - 1), "seed");
        seed_len = bytes.size();
        const bool fits = seed_len >= QORVEX_BIP32_SEED_MIN_SIZE && seed_len <= QORVEX_BIP32_SEED_MAX_SIZE;
        if (fits) std::memcpy(seed, bytes.data(), seed_len);
        wipe(bytes.data(), bytes.size());
        if (!fits) usage_error("seed: expected 16 to 64 bytes of hex, got " + std::to_string(seed_len));
        return;
    }
    const char* mpath = args.get("mnemonic-file");
    const char* ppath = args.get("passphrase-file");
    if (ppath != nullptr && std::strcmp(ppath, "-") == 0 && std::strcmp(mpath, "-") == 0) {
        usage_error("the mnemonic and the passphrase cannot both come from stdin");
    }
    SecretBuffer m, pass;
    read_mnemonic_file(mpath, m);
    if (ppath != nullptr) read_passphrase_file(ppath, pass);
    s.check(qorvex_bip39_to_seed(s.ctx(), reinterpret_cast<const char*>(m.data().data()),
                                 ppath ? reinterpret_cast<const char*>(pass.data().data()) : nullptr, seed));
    seed_len = QORVEX_BIP39_SEED_SIZE;
}

std::vector<Option> secret_output_options(const char* out_help, const char* show_help) {
    return {
        {"out", "FILE", out_help},
        {"force", nullptr, "with --out, replace an existing file"},
        {"show-secret", nullptr, show_help},
    };
}

void check_secret_output(const Args& args, bool required, std::string_view noun, std::string_view shown,
                         const char* option) {
    const char* out = args.get(option);
    if (required && out == nullptr && !args.has("show-secret")) {
        usage_error("refusing to print " + std::string(noun) + " without --show-secret; give --" + option +
                    " FILE to save it");
    }
    if (out != nullptr && std::strcmp(out, "-") == 0) {
        std::string why = std::string("--") + option + " needs a file; use --show-secret to print";
        if (!shown.empty()) {
            why += ' ';
            why += shown;
        }
        usage_error(why);
    }
}

void write_secret_line(const Args& args, const char* path, std::string& value) {
    if (path == nullptr) return;
    std::string line;
    line.reserve(value.size() + 1);  // one allocation, wiped below
    line += value;
    line += '\n';
    try {
        write_private_file(path, line, args.has("force"));
    } catch (...) {
        wipe(line.data(), line.size());
        wipe(value.data(), value.size());
        throw;
    }
    wipe(line.data(), line.size());
}

void emit_secret_result(Session& s, Json& r) {
    size_t width = 0;
    for (size_t i = 0; i < r.member_count(); ++i) width = std::max(width, r.label(i).size());
    std::string text;
    text.reserve(8192);  // one buffer for the whole text, wiped below
    for (size_t i = 0; i < r.member_count(); ++i) {
        text += r.label(i);
        text.append(width - r.label(i).size() + 2, ' ');
        // Strings are appended from the result itself: a copy would be a
        // copy of a secret that nothing wipes.
        const Json& v = r.value(i);
        if (v.kind() == Json::Kind::String) {
            text += v.text();
        } else {
            text += v.scalar();
        }
        text += '\n';
    }
    s.emit(r, &text);
    wipe(text.data(), text.size());
    r.scrub();
}

}  // namespace qcli
