// tx: the BIP-144 ids of a serialized transaction.
#include <unistd.h>

#include <cctype>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

// A file or stdin holds the transaction as hex text (a 0x prefix allowed,
// lines broken anywhere) or as raw bytes. No raw transaction passes for
// hex: its version's bytes are not hex digits.
std::vector<uint8_t> transaction_bytes(const Args& args) {
    const auto& pos = args.positional();
    const char* file = args.get("file");
    if (file != nullptr && !pos.empty()) usage_error("give the transaction either as HEX or with --file, not both");
    if (!pos.empty() && std::strcmp(pos[0], "-") != 0) return parse_hex(pos[0], "transaction");
    if (!pos.empty()) file = "-";
    if (file == nullptr) {
        if (::isatty(STDIN_FILENO)) usage_error("no transaction: give HEX, --file PATH, or pipe it in");
        file = "-";
    }
    std::vector<uint8_t> data;
    read_file(file, data);
    if (data.empty()) usage_error(std::string(std::strcmp(file, "-") == 0 ? "stdin" : file) + " is empty");
    std::string digits;
    for (const uint8_t c : data) {
        if (std::isspace(c)) continue;
        if (!std::isxdigit(c) && c != 'x' && c != 'X') return data;
        digits += static_cast<char>(c);
    }
    if (digits.empty()) return data;
    return parse_hex(digits, std::strcmp(file, "-") == 0 ? "stdin" : file);
}

// Block explorers and node software show ids byte-reversed.
std::string display_order(const uint8_t id[32]) {
    uint8_t r[32];
    for (int i = 0; i < 32; ++i) r[i] = id[31 - i];
    return to_hex(r, 32);
}

int run_id(Session& s, const Args& args, bool witness) {
    const std::vector<uint8_t> tx = transaction_bytes(args);
    static const uint8_t none = 0;  // a pointer even for no bytes
    uint8_t id[32];
    const int rc = witness ? qorvex_bip144_wtxid(s.ctx(), tx.empty() ? &none : tx.data(), tx.size(), id)
                           : qorvex_bip144_txid(s.ctx(), tx.empty() ? &none : tx.data(), tx.size(), id);
    // The id functions leave no message behind; say what they refuse.
    if (rc == QORVEX_ERR_BAD_INPUT) {
        throw Failure{kExitLibrary,
                      "not a serialized transaction (" + std::to_string(tx.size()) +
                          " bytes): truncated, trailing bytes, a non-canonical length, or a witness form without "
                          "witness",
                      rc};
    }
    s.check(rc);
    const char* name = witness ? "wtxid" : "txid";
    Json out = Json::object();
    out.set(name, display_order(id));
    out.set("internal_order", to_hex(id, 32), "internal order");
    out.set("size", tx.size());
    out.set("witness_form", tx[4] == 0x00 && tx[5] == 0x01, "witness form");
    const std::string line = display_order(id) + "\n";
    s.emit(out, &line);
    return kExitOk;
}

const char* const kInputHelp =
    "The transaction is given as hex, or read from --file PATH (\"-\" or a pipe for\n"
    "stdin) as hex text or raw bytes, in the legacy or the BIP-144 witness\n"
    "serialization. It is parsed completely: a truncated transaction, bytes after\n"
    "its lock time or a non-canonical length are refused (exit 3). The id is\n"
    "printed as block explorers show it (byte-reversed); --json also gives the\n"
    "internal byte order.";

const std::vector<Option> kIdOptions = {
    {"file", "PATH", "read the transaction from PATH (\"-\" for stdin): hex text or raw bytes"},
};

const Command txid_command = {
    "txid",
    "the txid of a serialized transaction (without its witness)",
    "tx txid [HEX | --file PATH]",
    kInputHelp,
    kIdOptions,
    "  $ echo 02000000011111111111111111111111111111111111111111111111111111111111111111\\\n"
    "      0000000000ffffffff01e8030000000000000000000000 | qorvex tx txid\n"
    "  ea25fee4f2e42d1044a0e81009d02faeda50e12e4078663dd069fb454271ed48\n",
    [](Session& s, const Args& a) { return run_id(s, a, false); },
    {},
    1,
};

const Command wtxid_command = {
    "wtxid",
    "the wtxid of a serialized transaction (with its witness)",
    "tx wtxid [HEX | --file PATH]",
    kInputHelp,
    kIdOptions,
    "  $ qorvex tx wtxid --file signed.hex\n",
    [](Session& s, const Args& a) { return run_id(s, a, true); },
    {},
    1,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command tx_command = {
    "tx",
    "Bitcoin transactions: txid and wtxid (BIP-144)",
    "tx SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex tx txid --file tx.hex\n",
    nullptr,
    {&txid_command, &wtxid_command},
};

}  // namespace qcli
