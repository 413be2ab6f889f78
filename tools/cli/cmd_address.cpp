// address: the Bitcoin addresses of a public key (P2PKH, P2SH-P2WPKH,
// P2WPKH, P2TR) on mainnet or testnet.
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

struct AddressType {
    const char* name;
    const char* label;
};

const AddressType kTypes[] = {
    {"p2pkh", "P2PKH"},
    {"p2sh-p2wpkh", "P2SH-P2WPKH"},
    {"p2wpkh", "P2WPKH"},
    {"p2tr", "P2TR (BIP-86)"},
};

// BIP-86's output key of a single-key Taproot output: the key with even y,
// tweaked by its "TapTweak" tagged hash (no script tree).
void bip86_output_key(Session& s, const uint8_t pub33[33], uint8_t out32[32]) {
    uint8_t even[33], t[32], q[33];
    even[0] = 0x02;
    std::memcpy(even + 1, pub33 + 1, 32);
    s.check(qorvex_tagged_hash("TapTweak", even + 1, 32, t));
    s.check(qorvex_pubkey_tweak_add(s.ctx(), even, t, q));
    std::memcpy(out32, q + 1, 32);
}

std::string address_of(Session& s, const AddressType& type, const uint8_t pub33[33], int network) {
    char addr[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof addr;
    const std::string name = type.name;
    if (name == "p2pkh") {
        s.check(qorvex_addr_p2pkh(s.ctx(), pub33, network, addr, &len));
    } else if (name == "p2sh-p2wpkh") {
        s.check(qorvex_addr_p2sh_p2wpkh(s.ctx(), pub33, network, addr, &len));
    } else if (name == "p2wpkh") {
        s.check(qorvex_addr_p2wpkh(s.ctx(), pub33, network, addr, &len));
    } else {
        uint8_t output_key[32];
        bip86_output_key(s, pub33, output_key);
        s.check(qorvex_addr_p2tr(s.ctx(), output_key, network, addr, &len));
    }
    return std::string(addr, len);
}

int run_address(Session& s, const Args& args) {
    const AddressType* only = nullptr;
    if (const char* t = args.get("type")) {
        for (const auto& type : kTypes)
            if (std::strcmp(type.name, t) == 0) only = &type;
        if (only == nullptr) usage_error(std::string("--type: p2pkh, p2sh-p2wpkh, p2wpkh or p2tr, not \"") + t + "\"");
    }
    const int network = args.has("testnet") ? QORVEX_NETWORK_TESTNET : QORVEX_NETWORK_MAINNET;

    uint8_t pub[33];
    read_public_key(s, args, pub);

    Json r = Json::object();
    r.set("network", network == QORVEX_NETWORK_MAINNET ? "mainnet" : "testnet");
    r.set("public_key", to_hex(pub, 33), "public key");
    if (only != nullptr) {
        const std::string a = address_of(s, *only, pub, network);
        r.set("type", only->name);
        r.set("address", a);
        const std::string line = a + "\n";
        s.emit(r, &line);
        return kExitOk;
    }
    for (const auto& type : kTypes) {
        std::string key = type.name;
        for (char& c : key)
            if (c == '-') c = '_';
        r.set(key, address_of(s, type, pub, network), type.label);
    }
    s.emit(r);
    return kExitOk;
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command address_command = {
    "address",
    "Bitcoin addresses of a key: P2PKH, P2SH-P2WPKH, P2WPKH, P2TR",
    "address (--pubkey HEX | --key-file PATH | --xpub TEXT)\n"
    "                 [--type p2pkh|p2sh-p2wpkh|p2wpkh|p2tr] [--testnet]",
    "Prints the addresses of a public key (given, made from a private key, or the key\n"
    "of an xpub): legacy P2PKH, nested segwit P2SH-P2WPKH, native segwit P2WPKH\n"
    "(Bech32) and Taproot P2TR (Bech32m). The P2TR output key is BIP-86's: the key\n"
    "tweaked by its TapTweak hash, spendable by key path only. --type prints one\n"
    "address alone; --testnet uses the testnet prefixes (also for signet and regtest).",
    join(public_key_options(), {
                                   {"type", "TYPE", "only this address: p2pkh, p2sh-p2wpkh, p2wpkh or p2tr"},
                                   {"testnet", nullptr, "testnet prefixes (m/n, 2, tb1)"},
                               }),
    "  $ qorvex address --pubkey 0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798 --type p2wpkh\n"
    "  bc1qw508d6qejxtdg4y5r3zarvary0c5xw7kv8f3t4\n",
    run_address,
};

}  // namespace qcli
