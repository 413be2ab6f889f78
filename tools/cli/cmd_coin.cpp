// coin: keys and addresses of the library's 28 coins: the address of a
// public key, the WIF text of a private key, and the key at a coin's
// BIP-44/84/86 path below a seed; list shows the coins.
#include <cctype>
#include <cstring>
#include <string>

#include "cli.h"

namespace qcli {

namespace {

// The coins the library knows, by ticker: its coin type and the purpose
// its keys derive under, for display (the library chooses both from the
// coin type).
struct CoinName {
    const char* ticker;
    const char* name;
    uint32_t type;
    uint32_t purpose;
    const char* style;
};

const CoinName kCoinNames[] = {
    {"BTC", "Bitcoin", 0, 86, "P2WPKH"},           {"LTC", "Litecoin", 2, 86, "P2WPKH"},
    {"DOGE", "Dogecoin", 3, 44, "P2PKH"},          {"DASH", "Dash", 5, 44, "P2PKH"},
    {"ETH", "Ethereum", 60, 44, "EIP-55"},         {"BCH", "Bitcoin Cash", 145, 44, "CashAddr"},
    {"BSV", "Bitcoin SV", 236, 44, "P2PKH"},       {"ZEC", "Zcash", 133, 44, "P2PKH (t1)"},
    {"DGB", "DigiByte", 20, 84, "P2WPKH"},         {"NMC", "Namecoin", 7, 44, "P2PKH"},
    {"PPC", "Peercoin", 6, 44, "P2PKH"},           {"VTC", "Vertcoin", 28, 84, "P2WPKH"},
    {"VIA", "Viacoin", 14, 84, "P2WPKH"},          {"GRS", "Groestlcoin", 17, 86, "P2WPKH"},
    {"SYS", "Syscoin", 57, 84, "P2WPKH"},          {"BNB", "BNB Smart Chain", 60, 44, "EIP-55"},
    {"POL", "Polygon", 60, 44, "EIP-55"},          {"AVAX", "Avalanche", 60, 44, "EIP-55"},
    {"FTM", "Fantom", 60, 44, "EIP-55"},           {"ARB", "Arbitrum", 60, 44, "EIP-55"},
    {"OP", "Optimism", 60, 44, "EIP-55"},          {"RVN", "Ravencoin", 175, 44, "P2PKH"},
    {"FLUX", "Flux", 19167, 44, "P2PKH (t1)"},     {"QTUM", "Qtum", 2301, 84, "P2PKH"},
    {"ZEN", "Horizen", 121, 44, "P2PKH (zn)"},     {"BTG", "Bitcoin Gold", 156, 84, "P2PKH"},
    {"KMD", "Komodo", 141, 44, "P2PKH"},           {"TRX", "Tron", 195, 44, "Tron"},
};

// --coin: a ticker (any case) or a coin type. A number outside the list is
// passed on, for the library to refuse.
struct Coin {
    uint32_t type;
    const CoinName* known;  // nullptr for an unlisted number
};

Coin read_coin(const Args& args) {
    const char* given = args.get("coin");
    if (given == nullptr) usage_error("missing --coin TICKER or --coin TYPE (see 'qorvex coin list')");
    std::string t = given;
    if (!t.empty() && t.find_first_not_of("0123456789") == std::string::npos) {
        const uint64_t v = parse_u64(given, "--coin");
        if (v > 0xFFFFFFFFu) usage_error("--coin: a coin type is a 32-bit number");
        Coin c{static_cast<uint32_t>(v), nullptr};
        for (const CoinName& n : kCoinNames)
            if (n.type == c.type) {
                c.known = &n;
                break;
            }
        return c;
    }
    for (char& ch : t) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    for (const CoinName& n : kCoinNames)
        if (t == n.ticker) return {n.type, &n};
    usage_error("--coin: unknown ticker \"" + std::string(given) + "\" (see 'qorvex coin list')");
}

int network_of(const Args& args) { return args.has("testnet") ? 1 : 0; }

// Ethereum's and Tron's wallets take keys as hex: those coins have no WIF.
bool has_wif(const Coin& c) {
    return c.known == nullptr ||
           (std::strcmp(c.known->style, "EIP-55") != 0 && std::strcmp(c.known->style, "Tron") != 0);
}

void describe_coin(const Coin& c, int testnet, Json& r) {
    r.set("coin", c.known ? std::string(c.known->name) + " (" + c.known->ticker + ")" : std::string("unlisted"));
    r.set("coin_type", static_cast<unsigned long>(c.type), "coin type");
    r.set("network", testnet ? "testnet" : "mainnet");
}

uint32_t read_index(const Args& args, const char* name) {
    const char* v = args.get(name);
    if (v == nullptr) return 0;
    const uint64_t n = parse_u64(v, std::string("--") + name);
    if (n >= QORVEX_BIP32_HARDENED) usage_error(std::string("--") + name + ": must be below 2^31 (2147483648)");
    return static_cast<uint32_t>(n);
}

int run_list(Session& s, const Args&) {
    Json coins = Json::array();
    std::string text = "ticker  coin              type   path               address\n";
    for (const CoinName& n : kCoinNames) {
        const std::string path = "m/" + std::to_string(n.purpose) + "'/" + std::to_string(n.type) + "'/0'/0/0";
        Json c = Json::object();
        c.set("ticker", n.ticker);
        c.set("name", n.name);
        c.set("coin_type", static_cast<unsigned long>(n.type));
        c.set("purpose", static_cast<unsigned long>(n.purpose));
        c.set("address_style", n.style);
        coins.push(c);
        char line[128];
        std::snprintf(line, sizeof line, "%-7s %-17s %-6u %-18s %s\n", n.ticker, n.name, n.type, path.c_str(), n.style);
        text += line;
    }
    text += "(BNB, POL, AVAX, FTM, ARB and OP share Ethereum's coin type 60 and its addresses.)\n";
    Json out = Json::object();
    out.set("coins", coins);
    s.emit(out, &text);
    return kExitOk;
}

int run_address(Session& s, const Args& args) {
    const Coin coin = read_coin(args);
    uint8_t pub[33];
    read_public_key(s, args, pub);
    const int testnet = network_of(args);
    char addr[QORVEX_COIN_ADDRESS_MAX_SIZE];
    size_t len = sizeof addr;
    s.check(qorvex_coin_address(s.ctx(), pub, static_cast<int>(coin.type), testnet, addr, &len));
    Json r = Json::object();
    describe_coin(coin, testnet, r);
    r.set("public_key", to_hex(pub, 33), "public key");
    r.set("address", std::string(addr, len));
    s.emit(r);
    return kExitOk;
}

int run_wif(Session& s, const Args& args) {
    const Coin coin = read_coin(args);
    if (!has_wif(coin)) usage_error(std::string(coin.known->name) + " keys have no WIF form; its wallets take the hex key");
    check_secret_output(args, true);
    SecretKey key;
    read_secret_key(s, args, key);
    const int testnet = network_of(args);
    char text[QORVEX_COIN_WIF_MAX_SIZE];
    size_t len = sizeof text;
    const int rc = qorvex_coin_wif_encode(s.ctx(), key.bytes, static_cast<int>(coin.type), testnet, text, &len);
    std::string wif(rc == QORVEX_OK ? len : 0, '\0');
    if (rc == QORVEX_OK) std::memcpy(wif.data(), text, len);
    wipe(text, sizeof text);
    s.check(rc);
    write_secret_line(args, args.get("out"), wif);
    Json r = Json::object();
    describe_coin(coin, testnet, r);
    if (const char* out = args.get("out")) r.set("wif_file", out, "WIF file");
    if (args.has("show-secret")) r.set("wif", wif, "WIF");
    wipe(wif.data(), wif.size());
    emit_secret_result(s, r);
    return kExitOk;
}

int run_derive(Session& s, const Args& args) {
    const Coin coin = read_coin(args);
    const uint32_t account = read_index(args, "account"), index = read_index(args, "index");
    const int change = args.has("change") ? 1 : 0, testnet = network_of(args);
    check_secret_output(args, false);
    uint8_t seed[QORVEX_BIP32_SEED_MAX_SIZE];
    size_t seed_len = 0;
    read_seed(s, args, seed, seed_len);
    SecretKey key;
    uint8_t pub[33];
    char addr[QORVEX_COIN_ADDRESS_MAX_SIZE];
    size_t len = sizeof addr;
    const int rc = qorvex_coin_derive_from_seed(s.ctx(), seed, seed_len, coin.type, account, change, index, testnet,
                                                key.bytes, pub, addr, &len);
    wipe(seed, sizeof seed);
    s.check(rc);
    std::string hex = to_hex(key.bytes, 32);
    write_secret_line(args, args.get("out"), hex);
    Json r = Json::object();
    describe_coin(coin, testnet, r);
    if (coin.known) {
        r.set("path", "m/" + std::to_string(coin.known->purpose) + "'/" + std::to_string(coin.type) + "'/" +
                          std::to_string(account) + "'/" + std::to_string(change) + "/" + std::to_string(index));
    }
    r.set("public_key", to_hex(pub, 33), "public key");
    r.set("address", std::string(addr, len));
    if (const char* out = args.get("out")) r.set("key_file", out, "key file");
    if (args.has("show-secret")) r.set("private_key", hex, "private key");
    if (args.has("show-secret") && has_wif(coin)) {
        char text[QORVEX_COIN_WIF_MAX_SIZE];
        size_t wlen = sizeof text;
        s.check(qorvex_coin_wif_encode(s.ctx(), key.bytes, static_cast<int>(coin.type), testnet, text, &wlen));
        r.set("wif", std::string(text, wlen), "WIF");
        wipe(text, sizeof text);
    }
    wipe(hex.data(), hex.size());
    emit_secret_result(s, r);
    return kExitOk;
}

Option coin_option() { return {"coin", "COIN", "the coin: a ticker (BTC, LTC, DOGE, ETH, BCH, ...) or a BIP-44 coin type"}; }
Option testnet_option() { return {"testnet", nullptr, "the coin's testnet prefixes"}; }

const Command list_command = {
    "list",
    "the coins, their coin types, paths and address styles",
    "coin list",
    "Lists the coins the library knows: ticker, name, BIP-44 coin type, the path of\n"
    "the first key (m/purpose'/type'/account'/change/index) and the address style.",
    {},
    "  $ qorvex coin list\n",
    run_list,
};

const Command address_command = {
    "address",
    "a coin's address of a public key",
    "coin address --coin COIN (--pubkey HEX | --key-file PATH | --xpub TEXT) [--testnet]",
    "Prints the address of a public key (given, made from a private key file, or the\n"
    "key of an xpub) in the coin's own style: P2WPKH for Bitcoin and the other segwit\n"
    "coins, P2PKH with the coin's prefix (two bytes for Zcash, Flux and Horizen),\n"
    "EIP-55 for Ethereum and the EVM chains, CashAddr for Bitcoin Cash, Base58Check\n"
    "for Tron.",
    join(join({coin_option()}, public_key_options()), {testnet_option()}),
    "  $ qorvex coin address --coin DOGE --pubkey 0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798\n",
    run_address,
};

std::vector<Option> wif_options() {
    std::vector<Option> o = {coin_option(), key_file_option(), testnet_option()};
    return join(o, secret_output_options("write the WIF text to FILE (mode 0600; refuses to replace a file)",
                                         "print the WIF text"));
}

const Command wif_command = {
    "wif",
    "a coin's WIF text of a private key",
    "coin wif --coin COIN --key-file PATH [--testnet] (--out FILE | --show-secret) [--force]",
    "Writes a private key in the coin's Wallet Import Format: Base58Check of its\n"
    "version byte, the key and 0x01 (always marked compressed).",
    wif_options(),
    "  $ qorvex coin wif --coin LTC --key-file alice.key --out alice.ltc.wif\n",
    run_wif,
};

std::vector<Option> derive_options() {
    std::vector<Option> o = {coin_option()};
    o = join(o, seed_options());
    o = join(o, {{"account", "N", "the account (hardened; default 0)"},
                 {"change", nullptr, "the change chain (1) instead of the receiving one (0)"},
                 {"index", "N", "the address index (default 0)"},
                 testnet_option()});
    return join(o, secret_output_options("write the private key (hex, a key file for the other commands) to FILE",
                                         "print the private key (and its WIF text, for coins that have one)"));
}

const Command derive_command = {
    "derive",
    "a coin's key and address below a seed or mnemonic",
    "coin derive --coin COIN (--seed-file PATH | --mnemonic-file PATH [--passphrase-file PATH])\n"
    "                 [--account N] [--change] [--index N] [--testnet] [--out FILE] [--show-secret]",
    "Derives the key at m/purpose'/coin_type'/account'/change/index below the BIP-32\n"
    "master key of a seed (or of a mnemonic's BIP-39 seed): purpose 86 for Bitcoin,\n"
    "Litecoin and Groestlcoin, 84 for the other segwit coins, Qtum and Bitcoin Gold,\n"
    "44 for the rest. Prints the path, the public key and the coin's address; the\n"
    "private key goes to --out (as a key file) or is shown with its WIF text with\n"
    "--show-secret.",
    derive_options(),
    "  $ qorvex coin derive --coin ETH --mnemonic-file wallet.words --index 3\n",
    run_derive,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command coin_command = {
    "coin",
    "keys and addresses of 28 coins: list, address, wif, derive",
    "coin SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex coin derive --coin BTC --mnemonic-file wallet.words\n",
    nullptr,
    {&list_command, &address_command, &wif_command, &derive_command},
};

}  // namespace qcli
