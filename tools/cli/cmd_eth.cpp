// eth: Ethereum addresses (EIP-55), personal-message hashes (EIP-191),
// signatures with EIP-155 chain ids, and ecrecover.
#include <cctype>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

// EIP-55: a hex letter is upper case when the matching nibble of the
// Keccak-256 of the lower-case hex address is 8 or more.
std::string eip55(const uint8_t addr[20]) {
    const std::string lower = to_hex(addr, 20);
    uint8_t h[32];
    qorvex_keccak256(reinterpret_cast<const uint8_t*>(lower.data()), lower.size(), h);
    std::string out = "0x" + lower;
    for (size_t i = 0; i < 40; ++i) {
        const int nibble = (i % 2 == 0) ? h[i / 2] >> 4 : h[i / 2] & 15;
        if (nibble >= 8) out[2 + i] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[2 + i])));
    }
    return out;
}

void parse_address(const char* text, uint8_t out[20], std::string_view what) {
    parse_hex_exact(text, out, 20, what);
}

// The 32-byte hash an Ethereum signature covers: --digest as given, else the
// EIP-191 personal-message hash of the message. with_digest: the command
// offers --digest.
void eth_hash(Session& s, const Args& args, bool stdin_taken, uint8_t out[32], Json& j, bool with_digest = true) {
    const MessageInput msg = read_message(args, stdin_taken, with_digest);
    if (msg.is_digest) {
        std::memcpy(out, msg.bytes.data(), 32);
    } else {
        s.check(qorvex_eth_personal_hash(msg.bytes.empty() ? nullptr : msg.bytes.data(), msg.bytes.size(), out));
    }
    j.set("hash", to_hex(out, 32));
    if (!msg.is_digest) j.set("hashed_with", "EIP-191 personal message");
}

int run_address(Session& s, const Args& args) {
    if (args.has("key-file") == args.has("pubkey")) usage_error("give either --pubkey HEX or --key-file PATH");
    uint8_t pub[33];
    if (args.has("pubkey")) {
        parse_pubkey(s, args.get("pubkey"), pub, "--pubkey");
    } else {
        SecretKey key;
        read_secret_key(s, args, key);
        s.check(qorvex_pubkey_create(s.ctx(), key.bytes, pub));
    }
    uint8_t addr[20];
    char text[43];
    size_t len = sizeof text;
    s.check(qorvex_eth_address(s.ctx(), pub, addr));
    s.check(qorvex_eth_address_checksummed(s.ctx(), pub, text, &len));
    Json out = Json::object();
    out.set("address", std::string(text, len));
    out.set("address_lower", std::string("0x") + to_hex(addr, 20));
    const std::string line = std::string(text, len) + "\n";
    s.emit(out, &line);
    return kExitOk;
}

int run_checksum(Session& s, const Args& args) {
    if (args.positional().empty()) usage_error("missing the address (0x and 40 hex digits)");
    const char* given = stdin_or(args.positional()[0], "the address");
    uint8_t addr[20];
    parse_address(given, addr, "address");
    const std::string good = eip55(addr);
    // All-lower or all-upper hex carries no checksum; mixed case must match.
    std::string digits = given;
    if (digits.rfind("0x", 0) == 0 || digits.rfind("0X", 0) == 0) digits.erase(0, 2);
    bool upper = false, lower = false;
    for (const char c : digits) {
        upper = upper || std::isupper(static_cast<unsigned char>(c));
        lower = lower || std::islower(static_cast<unsigned char>(c));
    }
    const bool checked = upper && lower;
    const bool valid = !checked || digits == good.substr(2);
    Json out = Json::object();
    out.set("address", good);
    out.set("had_checksum", checked);
    out.set("valid", valid);
    if (valid) {
        const std::string line = good + "\n";
        s.emit(out, &line);
        return kExitOk;
    }
    const std::string line = "invalid\n";
    s.emit(out, &line);
    s.set_verify_message("the EIP-55 checksum does not match (expected " + good + ")");
    return kExitVerifyFailed;
}

int run_personal_hash(Session& s, const Args& args) {
    Json out = Json::object();
    uint8_t h[32];
    eth_hash(s, args, false, h, out, false);
    const std::string line = to_hex(h, 32) + "\n";
    s.emit(out, &line);
    return kExitOk;
}

int run_sign(Session& s, const Args& args) {
    SecretKey key;
    read_secret_key(s, args, key);
    const uint64_t chain_id = args.has("chain-id") ? parse_u64(args.get("chain-id"), "--chain-id") : 0;
    Json out = Json::object();
    uint8_t h[32], r[32], sv[32], pub[33], addr[20];
    uint64_t v = 0;
    eth_hash(s, args, key_from_stdin(args), h, out);
    s.check(qorvex_eth_sign(s.ctx(), h, key.bytes, r, sv, &v, chain_id));
    s.check(qorvex_pubkey_create(s.ctx(), key.bytes, pub));
    s.check(qorvex_eth_address(s.ctx(), pub, addr));
    // The signature must give back our own address.
    uint8_t back[20];
    s.check(qorvex_eth_ecrecover(s.ctx(), h, r, sv, v, back));
    if (std::memcmp(back, addr, 20) != 0) runtime_error("the new signature does not recover the signer's address");

    out.set("chain_id", chain_id, "chain id");
    out.set("r", to_hex(r, 32));
    out.set("s", to_hex(sv, 32));
    out.set("v", v);
    if (v <= 0xff) {
        std::string sig = to_hex(r, 32) + to_hex(sv, 32);
        const uint8_t vb = static_cast<uint8_t>(v);
        sig += to_hex(&vb, 1);
        out.set("signature", sig);
    }
    out.set("address", eip55(addr));
    s.emit(out);
    return kExitOk;
}

int run_ecrecover(Session& s, const Args& args) {
    const char* sig_hex = args.get("signature");
    if (sig_hex == nullptr) usage_error("missing --signature HEX (r || s || v)");
    const std::vector<uint8_t> sig = parse_hex(sig_hex, "--signature");
    uint64_t v = 0;
    if (sig.size() == 65) {
        if (args.has("v")) usage_error("the 65-byte signature already holds v; drop --v");
        v = sig[64];
    } else if (sig.size() == 64) {
        if (!args.has("v")) usage_error("a 64-byte signature needs --v N");
        v = parse_u64(args.get("v"), "--v");
    } else {
        usage_error("--signature: expected 65 bytes (r || s || v) or 64 bytes with --v, got " +
                    std::to_string(sig.size()));
    }
    uint8_t expected[20];
    const bool expect = args.has("expect");
    if (expect) parse_address(args.get("expect"), expected, "--expect");

    Json out = Json::object();
    uint8_t h[32], addr[20];
    eth_hash(s, args, false, h, out);
    s.check(qorvex_eth_ecrecover(s.ctx(), h, sig.data(), sig.data() + 32, v, addr));
    out.set("v", v);
    out.set("address", eip55(addr));
    if (!expect) {
        s.emit(out);
        return kExitOk;
    }
    const bool match = std::memcmp(addr, expected, 20) == 0;
    out.set("matches", match);
    s.emit(out);
    if (match) return kExitOk;
    s.set_verify_message(std::string("the signer is ") + eip55(addr) + ", not the --expect address");
    return kExitVerifyFailed;
}

std::vector<Option> hash_options() {
    return message_options("a ready 32-byte hash (no EIP-191 prefix is added)",
                           "the message as text (hashed as an EIP-191 personal message)");
}

const Command address_command = {
    "address",
    "the address of a public or private key (EIP-55 checksummed)",
    "eth address (--pubkey HEX | --key-file PATH)",
    "Prints the Ethereum address of a key: the last 20 bytes of the Keccak-256 of\n"
    "the uncompressed public key, in EIP-55 mixed case.",
    {
        {"pubkey", "HEX", "a public key, 33 or 65 bytes"},
        key_file_option(),
    },
    "  $ qorvex eth address --pubkey 0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798\n"
    "  0x7E5F4552091A69125d5DfCb7b8C2659029395Bdf\n",
    run_address,
};

const Command checksum_command = {
    "checksum",
    "EIP-55 form of an address; exit 1 if its mixed case is wrong",
    "eth checksum ADDRESS",
    "Prints the EIP-55 checksummed form of a 20-byte address. An address given in\n"
    "mixed case carries a checksum: if it does not match, prints \"invalid\" and\n"
    "exits 1. All-lower or all-upper addresses are simply converted.",
    {},
    "  $ qorvex eth checksum 0x7e5f4552091a69125d5dfcb7b8c2659029395bdf\n"
    "  0x7E5F4552091A69125d5DfCb7b8C2659029395Bdf\n",
    run_checksum,
    {},
    1,
};

const Command personal_hash_command = {
    "personal-hash",
    "EIP-191 hash of a message (as personal_sign signs)",
    "eth personal-hash (--message TEXT | --message-file FILE) [--allow-empty]",
    "Prints Keccak-256(\"\\x19Ethereum Signed Message:\\n\" || decimal length || message),\n"
    "the hash that wallets sign for personal_sign. \"--message-file -\" reads the\n"
    "message from stdin.",
    {
        {"message", "TEXT", "the message as text"},
        {"message-file", "FILE", "read the message from FILE (\"-\" for stdin)"},
        {"allow-empty", nullptr, "accept an empty message"},
    },
    "  $ qorvex eth personal-hash --message hello\n"
    "  50b2c43fd39106bafbba0da34fc430e1f91e3c96ea2acee2bc34119f92b37750\n",
    run_personal_hash,
};

std::vector<Option> eth_sign_options() {
    std::vector<Option> o = {key_file_option()};
    o = join(o, hash_options());
    return join(o, {{"chain-id", "N",
                     "EIP-155 chain id for a transaction hash given with --digest: v = 2 * N + 35 + recid; default "
                     "0: v = 27 + recid, as personal messages want"}});
}

const Command eth_sign_command = {
    "sign",
    "sign a personal message or a 32-byte hash (r, s, v)",
    "eth sign --key-file PATH (--message TEXT | --message-file FILE | --digest HEX)\n"
    "                    [--allow-empty] [--chain-id N]",
    "Signs the EIP-191 hash of a message, or a ready 32-byte hash (--digest), and\n"
    "prints r, s and v, the 65-byte signature r || s || v when v fits in a byte,\n"
    "and the signer's address. The signature is checked by recovering the address.",
    eth_sign_options(),
    "  $ qorvex eth sign --key-file alice.key --message 'I own this address'\n",
    run_sign,
};

std::vector<Option> ecrecover_options() {
    std::vector<Option> o = {
        {"signature", "HEX", "r || s || v (65 bytes), or r || s (64 bytes) with --v"},
        {"v", "N", "the v value (27/28, or EIP-155) for a 64-byte signature"},
        {"expect", "ADDRESS", "exit 1 unless the signer is this address"},
    };
    return join(o, hash_options());
}

const Command ecrecover_command = {
    "ecrecover",
    "the address that signed a message or hash",
    "eth ecrecover --signature HEX [--v N] (--message TEXT | --message-file FILE |\n"
    "                    --digest HEX) [--allow-empty] [--expect ADDRESS]",
    "Recovers the signer's address from (r, s, v) and the EIP-191 hash of the\n"
    "message (or a ready hash given with --digest). With --expect, exits 1 when the\n"
    "signer is another address.",
    ecrecover_options(),
    "  $ qorvex eth ecrecover --message 'I own this address' \\\n"
    "      --signature ea57132bba7f3034dd7924394a5b25c19233fb11e92c56cc1b95bde8980ce17f729199c2a4ec616755283f048ff1a075d24ab48bf5f798a09aabb832f65250401b \\\n"
    "      --expect 0xe05fcC23807536bEe418f142D19fa0d21BB0cfF7\n",
    run_ecrecover,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command eth_command = {
    "eth",
    "Ethereum: addresses, checksums, personal messages, signatures",
    "eth SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex eth address --key-file alice.key\n",
    nullptr,
    {&address_command, &checksum_command, &personal_hash_command, &eth_sign_command, &ecrecover_command},
};

}  // namespace qcli
