// message: Bitcoin signed messages, in the signmessage form (a recoverable
// ECDSA signature in Base64) and as BIP-322 simple signatures (a witness
// stack of BIP-322's virtual transactions, for P2WPKH and P2TR addresses).
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"

namespace qcli {

namespace {

enum class Format { legacy, bip322_simple };

Format read_format(const Args& args) {
    const char* f = args.get("format");
    if (f == nullptr || std::strcmp(f, "legacy") == 0) return Format::legacy;
    if (std::strcmp(f, "bip322-simple") == 0) return Format::bip322_simple;
    usage_error(std::string("--format: legacy or bip322-simple, not \"") + f + "\"");
}

const char* format_name(Format f) { return f == Format::legacy ? "legacy" : "bip322-simple"; }

// One address of a key, and what it is.
struct KeyAddress {
    std::string text;
    const char* type;  // "p2pkh", "p2sh-p2wpkh", "p2wpkh", "p2tr"
    int network;
};

// Every address of the key's compressed form on both networks; the P2TR
// one is BIP-86's (the key tweaked with no script tree).
std::vector<KeyAddress> addresses_of(Session& s, const uint8_t pub33[33]) {
    uint8_t internal[32], q[32];
    int parity = 0;
    std::memcpy(internal, pub33 + 1, 32);
    s.check(qorvex_taproot_output_key(s.ctx(), internal, nullptr, q, &parity));
    std::vector<KeyAddress> out;
    for (const int net : {QORVEX_NETWORK_MAINNET, QORVEX_NETWORK_TESTNET}) {
        char a[QORVEX_ADDRESS_MAX_SIZE];
        size_t len = sizeof a;
        s.check(qorvex_addr_p2pkh(s.ctx(), pub33, net, a, &len));
        out.push_back({std::string(a, len), "p2pkh", net});
        len = sizeof a;
        s.check(qorvex_addr_p2sh_p2wpkh(s.ctx(), pub33, net, a, &len));
        out.push_back({std::string(a, len), "p2sh-p2wpkh", net});
        len = sizeof a;
        s.check(qorvex_addr_p2wpkh(s.ctx(), pub33, net, a, &len));
        out.push_back({std::string(a, len), "p2wpkh", net});
        len = sizeof a;
        s.check(qorvex_addr_p2tr(s.ctx(), q, net, a, &len));
        out.push_back({std::string(a, len), "p2tr", net});
    }
    return out;
}

// The key's address equal to text (Bech32 in either case), or nullptr.
const KeyAddress* find_address(const std::vector<KeyAddress>& all, const std::string& text) {
    std::string lower = text;
    const bool bech32 = text.size() > 3 && (text[2] == '1' || text[3] == '1');
    if (bech32)
        for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    for (const KeyAddress& a : all)
        if (a.text == text || (bech32 && a.text == lower)) return &a;
    return nullptr;
}

std::vector<uint8_t> read_message_bytes(const Args& args, bool stdin_taken) {
    return read_message(args, stdin_taken, false).bytes;
}

const uint8_t* message_ptr(const std::vector<uint8_t>& m) {
    static const uint8_t kNothing = 0;  // the signmessage functions want a pointer even for no bytes
    return m.empty() ? &kNothing : m.data();
}

int run_sign(Session& s, const Args& args) {
    const Format format = read_format(args);
    if (format == Format::legacy && (args.has("aux") || args.has("prefix")))
        usage_error("--aux and --prefix apply to --format bip322-simple");
    SecretKey key;
    read_secret_key(s, args, key);
    const std::vector<uint8_t> msg = read_message_bytes(args, key_from_stdin(args));
    uint8_t pub[33];
    s.check(qorvex_pubkey_create(s.ctx(), key.bytes, pub));
    const std::vector<KeyAddress> mine = addresses_of(s, pub);

    // The address signed for: --address, which must be the key's, or the
    // key's P2PKH (legacy) or P2WPKH (BIP-322) mainnet address.
    const KeyAddress* addr = nullptr;
    if (const char* given = args.get("address")) {
        addr = find_address(mine, given);
        if (addr == nullptr) usage_error(std::string("--address ") + given + " is not an address of this key");
    } else {
        addr = &mine[format == Format::legacy ? 0 : 2];
    }

    Json out = Json::object();
    out.set("format", format_name(format));
    out.set("address", addr->text);
    out.set("address_type", addr->type, "address type");
    std::string sig;
    if (format == Format::legacy) {
        if (std::strcmp(addr->type, "p2tr") == 0)
            usage_error("a signmessage signature cannot sign for a P2TR address; use --format bip322-simple");
        char text[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE];
        size_t len = sizeof text;
        s.check(qorvex_btc_message_sign(s.ctx(), message_ptr(msg), msg.size(), key.bytes, text, &len));
        sig.assign(text, len);
        // Checked before it is printed.
        s.check(qorvex_btc_message_verify(s.ctx(), message_ptr(msg), msg.size(), pub, text));
    } else {
        const bool taproot = std::strcmp(addr->type, "p2tr") == 0;
        if (!taproot && std::strcmp(addr->type, "p2wpkh") != 0)
            usage_error(std::string("BIP-322 simple signatures are for P2WPKH and P2TR addresses, not ") + addr->type);
        if (args.has("aux") && !taproot) usage_error("--aux applies to P2TR addresses (P2WPKH signing is deterministic)");
        uint8_t aux[32];
        if (const char* hex = args.get("aux")) {
            parse_hex_exact(hex, aux, 32, "--aux");
        } else {
            random_bytes(aux, sizeof aux);
        }
        char text[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
        size_t len = sizeof text;
        s.check(qorvex_bip322_simple_sign(s.ctx(), key.bytes, taproot ? QORVEX_BIP322_P2TR : QORVEX_BIP322_P2WPKH,
                                          msg.empty() ? nullptr : msg.data(), msg.size(), aux, text, &len));
        wipe(aux, sizeof aux);
        sig.assign(text, len);
        s.check(qorvex_bip322_simple_verify(s.ctx(), addr->text.c_str(), msg.empty() ? nullptr : msg.data(),
                                            msg.size(), text));
        if (args.has("prefix")) sig = std::string("smp").append(sig);
    }
    out.set("signature", sig);
    s.emit(out);
    return kExitOk;
}

// The key a signmessage signature recovers to, by its header's recovery
// id; false when none does. A text the library refuses to read throws with
// the library's own message.
bool recover_legacy_key(Session& s, const std::vector<uint8_t>& msg, const char* sig, uint8_t pub33[33]) {
    std::vector<uint8_t> raw;
    if (!decode_base64(sig, raw) || raw.size() != QORVEX_BTC_MESSAGE_SIG_SIZE || raw[0] < 27 || raw[0] > 34) {
        uint8_t one[32] = {}, g[33];
        one[31] = 1;
        s.check(qorvex_pubkey_create(s.ctx(), one, g));
        s.check(qorvex_btc_message_verify(s.ctx(), message_ptr(msg), msg.size(), g, sig));
        return false;
    }
    uint8_t hash[32];
    s.check(qorvex_btc_message_hash(message_ptr(msg), msg.size(), hash));
    return qorvex_ecdsa_recover(s.ctx(), hash, raw.data() + 1, (raw[0] - 27) & 3, pub33) == QORVEX_OK;
}

int run_verify(Session& s, const Args& args) {
    const Format format = read_format(args);
    const char* sig = args.get("signature");
    if (sig == nullptr) usage_error("missing --signature TEXT (Base64)");
    const char* address = args.get("address");
    const char* pub_hex = args.get("pubkey");
    if (format == Format::bip322_simple && (address == nullptr || pub_hex != nullptr))
        usage_error("--format bip322-simple checks against --address ADDR (not --pubkey)");
    if (format == Format::legacy && (address == nullptr) == (pub_hex == nullptr))
        usage_error("give either --address ADDR or --pubkey HEX");
    const std::vector<uint8_t> msg = read_message_bytes(args, false);

    Json out = Json::object();
    out.set("format", format_name(format));
    if (address != nullptr) out.set("address", address);
    bool valid = false;
    if (format == Format::bip322_simple) {
        valid = s.verdict(qorvex_bip322_simple_verify(s.ctx(), address, msg.empty() ? nullptr : msg.data(), msg.size(),
                                                      sig));
    } else {
        uint8_t pub[33];
        if (pub_hex != nullptr) {
            parse_pubkey(s, pub_hex, pub, "--pubkey");
        } else if (!recover_legacy_key(s, msg, sig, pub)) {
            s.set_verify_message("no public key recovers from the signature");
            address = nullptr;
        }
        const KeyAddress* a = nullptr;
        std::vector<KeyAddress> mine;
        if (address != nullptr) {
            out.set("public_key", to_hex(pub, 33), "public key");
            mine = addresses_of(s, pub);
            a = find_address(mine, address);
            if (a != nullptr && std::strcmp(a->type, "p2tr") == 0) a = nullptr;  // no signmessage for Taproot
            if (a == nullptr)
                s.set_verify_message(std::string("the signature is not by the key of ") + address);
            else
                out.set("address_type", a->type, "address type");
        }
        if (pub_hex != nullptr || a != nullptr)
            valid = s.verdict(qorvex_btc_message_verify(s.ctx(), message_ptr(msg), msg.size(), pub, sig));
    }
    out.set("valid", valid);
    if (!valid) out.set("error", s.verify_message());
    const std::string text = valid ? "valid\n" : "invalid\n";
    s.emit(out, &text);
    return valid ? kExitOk : kExitVerifyFailed;
}

const Option kFormatOption = {"format", "NAME",
                              "legacy (signmessage, the default) or bip322-simple (BIP-322 simple signature)"};
const Option kMessageOption = {"message", "TEXT", "the message as text"};
const Option kMessageFileOption = {"message-file", "FILE", "read the message from FILE (\"-\" for stdin)"};
const Option kAllowEmptyOption = {"allow-empty", nullptr, "accept an empty message (refused otherwise)"};

const Command sign_command = {
    "sign",
    "sign a message for a Bitcoin address (signmessage or BIP-322 simple)",
    "message sign --key-file PATH [--format legacy|bip322-simple] [--address ADDR]\n"
    "                    (--message TEXT | --message-file FILE) [--aux HEX] [--prefix]",
    "Signs a message as wallets do for an address of the key. legacy (the default)\n"
    "is Bitcoin Core's signmessage: a recoverable ECDSA signature of the\n"
    "\"Bitcoin Signed Message:\\n\" hash, 88 Base64 characters, for the key's P2PKH\n"
    "address (or, with --address, its P2WPKH or P2SH-P2WPKH one). bip322-simple is\n"
    "a BIP-322 simple signature, the witness that spends BIP-322's virtual\n"
    "transaction, for the key's P2WPKH address (the default) or, with --address,\n"
    "its P2TR (BIP-86) address; P2TR signatures take 32 bytes of --aux randomness\n"
    "(from the kernel by default). --address must be an address of the key on\n"
    "mainnet or testnet. --prefix writes BIP-322's \"smp\" variant prefix, which\n"
    "verifiers since BIP-322 1.0.0 read and older ones do not. Each signature is\n"
    "verified before it is printed.",
    {key_file_option(), kFormatOption,
     {"address", "ADDR", "the key's address to sign for (default: P2PKH, or P2WPKH for bip322-simple)"},
     kMessageOption, kMessageFileOption, kAllowEmptyOption,
     {"aux", "HEX", "bip322-simple, P2TR: 32 bytes of auxiliary randomness (default: random)"},
     {"prefix", nullptr, "bip322-simple: write the \"smp\" prefix of BIP-322 1.0.0"}},
    "  $ qorvex message sign --key-file alice.key --message 'I own this address'\n"
    "  $ qorvex message sign --key-file alice.key --format bip322-simple \\\n"
    "      --address bc1qcntmz6mymxpd4srql0umxsqezarlykgrntnc2s --message 'I own this address'\n",
    run_sign,
};

const Command verify_command = {
    "verify",
    "verify a signed message (exit 1 when it does not verify)",
    "message verify [--format legacy|bip322-simple] (--address ADDR | --pubkey HEX)\n"
    "                    --signature TEXT (--message TEXT | --message-file FILE)",
    "Checks a signed message. legacy (the default): a signmessage signature,\n"
    "against a public key, or against an address (P2PKH, P2SH-P2WPKH or P2WPKH) of\n"
    "the key it recovers to. bip322-simple: a BIP-322 simple signature (with or\n"
    "without the \"smp\" prefix) against a P2WPKH or P2TR address of mainnet or\n"
    "testnet. Prints \"valid\" and exits 0, or \"invalid\" and exits 1. A signature\n"
    "or address the library cannot read is a library error (exit 3).",
    {kFormatOption,
     {"address", "ADDR", "the address the message is signed for"},
     {"pubkey", "HEX", "legacy: the public key instead (33 or 65 bytes)"},
     {"signature", "TEXT", "the signature, Base64"},
     kMessageOption, kMessageFileOption, kAllowEmptyOption},
    "  $ qorvex message verify --address 1JwoqDRmQTV314q2oa6kez9BgfQD76d6Z9 \\\n"
    "      --signature IFAmJkruGUdIDHHShxDeKpS8bPfUlaJy5ZNAYlBqc3xOaQxfjzuB++4DO+C6otDIs58IaUnsg1Z7Quhrv+HuDhc= \\\n"
    "      --message hello\n"
    "  valid\n",
    run_verify,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command message_command = {
    "message",
    "Bitcoin signed messages: signmessage and BIP-322 simple signatures",
    "message SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex message sign --key-file alice.key --format bip322-simple --message hello\n",
    nullptr,
    {&sign_command, &verify_command},
};

}  // namespace qcli
