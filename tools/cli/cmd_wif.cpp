// wif: private keys in Wallet Import Format, both ways.
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

int run_encode(Session& s, const Args& args) {
    check_secret_output(args, true);
    SecretKey key;
    read_secret_key(s, args, key);
    const int compressed = args.has("uncompressed") ? 0 : 1;
    const int network = args.has("testnet") ? QORVEX_NETWORK_TESTNET : QORVEX_NETWORK_MAINNET;
    char text[QORVEX_WIF_MAX_SIZE];
    size_t len = sizeof text;
    s.check(qorvex_wif_encode(s.ctx(), key.bytes, compressed, network, text, &len));
    std::string wif(text, len);
    wipe(text, sizeof text);
    write_secret_line(args, args.get("out"), wif);
    Json r = Json::object();
    r.set("network", network == QORVEX_NETWORK_MAINNET ? "mainnet" : "testnet");
    r.set("compressed", compressed == 1);
    if (const char* out = args.get("out")) r.set("wif_file", out, "WIF file");
    if (args.has("show-secret")) r.set("wif", wif, "WIF");
    wipe(wif.data(), wif.size());
    emit_secret_result(s, r);
    return kExitOk;
}

int run_decode(Session& s, const Args& args) {
    if (!args.has("wif-file")) usage_error("missing --wif-file PATH (\"-\" reads stdin)");
    check_secret_output(args, false);
    SecretBuffer text;
    read_secret_text(args.get("wif-file"), text, "WIF");
    SecretKey key;
    int compressed = 0, network = 0;
    s.check(qorvex_wif_decode(s.ctx(), reinterpret_cast<const char*>(text.data().data()), key.bytes, &compressed,
                              &network));
    text.clear();
    std::string hex = to_hex(key.bytes, 32);
    write_secret_line(args, args.get("out"), hex);
    uint8_t pub[33];
    s.check(qorvex_pubkey_create(s.ctx(), key.bytes, pub));
    Json r = Json::object();
    r.set("network", network == QORVEX_NETWORK_MAINNET ? "mainnet" : "testnet");
    r.set("compressed", compressed == 1);
    r.set("public_key", to_hex(pub, 33), "public key");
    if (compressed == 1) {
        // Only the compressed form has the P2PKH address of the 33-byte key.
        char addr[QORVEX_ADDRESS_MAX_SIZE];
        size_t len = sizeof addr;
        s.check(qorvex_addr_p2pkh(s.ctx(), pub, network, addr, &len));
        r.set("p2pkh", std::string(addr, len), "P2PKH");
    }
    if (const char* out = args.get("out")) r.set("key_file", out, "key file");
    if (args.has("show-secret")) r.set("private_key", hex, "private key");
    wipe(hex.data(), hex.size());
    emit_secret_result(s, r);
    return kExitOk;
}

std::vector<Option> encode_options() {
    std::vector<Option> o = {
        key_file_option(),
        {"uncompressed", nullptr, "mark the key uncompressed (the 51-character form); default: compressed"},
        {"testnet", nullptr, "the testnet version byte (0xEF)"},
    };
    return join(o, secret_output_options("write the WIF text to FILE (mode 0600; refuses to replace a file)",
                                         "print the WIF text"));
}

const Command encode_command = {
    "encode",
    "the WIF text of a private key",
    "wif encode --key-file PATH [--uncompressed] [--testnet] (--out FILE | --show-secret)",
    "Writes a private key in Wallet Import Format: Base58Check of the version byte,\n"
    "the key and, for a compressed key, 0x01.",
    encode_options(),
    "  $ qorvex wif encode --key-file alice.key --out alice.wif\n",
    run_encode,
};

std::vector<Option> decode_options() {
    std::vector<Option> o = {{"wif-file", "PATH", "read the WIF text from PATH (\"-\" for stdin)"}};
    return join(o, secret_output_options("write the private key (hex, a key file for the other commands) to FILE",
                                         "print the private key"));
}

const Command decode_command = {
    "decode",
    "the private key, network and public key of a WIF text",
    "wif decode --wif-file PATH [--out FILE] [--show-secret]",
    "Reads a WIF text and prints its network, whether the key is marked compressed,\n"
    "and its public key (and, for a compressed key, its P2PKH address). The private\n"
    "key goes to --out (as a key file) or is shown with --show-secret. A key of zero\n"
    "or not below the group order is refused.",
    decode_options(),
    "  $ qorvex wif decode --wif-file alice.wif --out alice.key\n",
    run_decode,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command wif_command = {
    "wif",
    "private keys in Wallet Import Format (encode, decode)",
    "wif SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex wif decode --wif-file alice.wif\n",
    nullptr,
    {&encode_command, &decode_command},
};

}  // namespace qcli
