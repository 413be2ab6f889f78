// descriptor: addresses of single-key output descriptors (pk, pkh, wpkh,
// sh(wpkh), tr) at a child index or over a range of them.
#include <cstring>
#include <string>

#include "cli.h"

namespace qcli {

namespace {

const char* const kKindNames[] = {"pk", "pkh", "wpkh", "tr", "sh(wpkh)"};

// The most addresses one --range prints.
constexpr uint64_t kMaxRange = 100000;

struct Range {
    uint32_t first, last;
};

uint32_t index_value(const std::string& text, const char* what) {
    const uint64_t v = parse_u64(text.c_str(), what);
    if (v >= QORVEX_BIP32_HARDENED) usage_error(std::string(what) + ": an index is below 2^31 (2147483648)");
    return static_cast<uint32_t>(v);
}

Range read_range(const Args& args) {
    if (args.has("index") && args.has("range")) usage_error("give --index N or --range A..B, not both");
    if (const char* r = args.get("range")) {
        const std::string t = r;
        const size_t dots = t.find("..");
        if (dots == std::string::npos) usage_error("--range: expected A..B, e.g. 0..19");
        const Range range{index_value(t.substr(0, dots), "--range"), index_value(t.substr(dots + 2), "--range")};
        if (range.last < range.first) usage_error("--range: B must not be below A");
        if (range.last - range.first >= kMaxRange) usage_error("--range: at most 100000 addresses at a time");
        return range;
    }
    const uint32_t i = args.has("index") ? index_value(args.get("index"), "--index") : 0;
    return {i, i};
}

// The descriptor text: from a file (any key) or the command line (public
// keys only: a private key there would sit in the shell's history and in
// the process list).
void read_descriptor(const Args& args, SecretBuffer& out) {
    const bool file = args.has("descriptor-file");
    if (file == !args.positional().empty()) usage_error("give the descriptor or --descriptor-file PATH");
    if (file) {
        read_secret_text(args.get("descriptor-file"), out, "descriptor");
        return;
    }
    const char* d = args.positional()[0];
    if (std::strstr(d, "xprv") != nullptr || std::strstr(d, "tprv") != nullptr) {
        usage_error("a descriptor holding a private key must come from --descriptor-file PATH");
    }
    const size_t n = std::strlen(d);
    out.data().assign(d, d + n + 1);
}

int run_address(Session& s, const Args& args) {
    const Range range = read_range(args);
    SecretBuffer text;
    read_descriptor(args, text);
    const char* desc = reinterpret_cast<const char*>(text.data().data());
    qorvex_descriptor rec;
    char addr[QORVEX_ADDRESS_MAX_SIZE];
    Json list = Json::array();
    std::string lines, last;
    for (uint64_t i = range.first; i <= range.last; ++i) {
        size_t len = sizeof addr;
        s.check(qorvex_descriptor_parse(s.ctx(), desc, static_cast<int>(i), &rec, addr, &len));
        last.assign(addr, len);
        Json item = Json::object();
        item.set("index", static_cast<unsigned long>(i));
        item.set("key", to_hex(rec.key, rec.key_len));
        item.set("address", last);
        list.push(item);
        lines += std::to_string(i) + "  " + last + "\n";
    }
    text.clear();
    Json r = Json::object();
    r.set("kind", rec.kind < 5 ? kKindNames[rec.kind] : "?");
    r.set("network", rec.testnet ? "testnet" : "mainnet");
    if (rec.path[0] != '\0') r.set("path", std::string(rec.path));
    if (range.first != range.last) {
        r.set("addresses", list);
        s.emit(r, &lines);
        return kExitOk;
    }
    // The key: the derived public key (for tr(), the internal x-only key).
    r.set("key", to_hex(rec.key, rec.key_len));
    r.set("index", static_cast<unsigned long>(range.first));
    r.set("address", last);
    const std::string line = last + "\n";
    s.emit(r, &line);
    return kExitOk;
}

const Command address_command = {
    "address",
    "the address of a descriptor at an index, or over a range of indices",
    "descriptor address (DESC | --descriptor-file PATH) [--index N | --range A..B]",
    "Prints the address of a single-key descriptor: pk(KEY), pkh(KEY), wpkh(KEY),\n"
    "sh(wpkh(KEY)) or tr(KEY). KEY is a hex public key (66 digits; 64 in tr()) or an\n"
    "xpub/xprv/tpub/tprv with a path of normal and hardened (') steps, one '*' for\n"
    "the index and one <a;b> group (read as the step 0). tr() pays to BIP-386's output\n"
    "key (the key tweaked with no script tree); tpub/tprv keys give testnet\n"
    "addresses. Key origins [..], checksums #.. and the 'h' marker are not taken. A\n"
    "descriptor with a private key must come from --descriptor-file. --index N (default\n"
    "0) prints one address, --range A..B one line \"index  address\" per index.",
    {{"descriptor-file", "PATH", "read the descriptor from PATH (\"-\" for stdin); needed for xprv/tprv keys"},
     {"index", "N", "the child index for '*' (default 0)"},
     {"range", "A..B", "every index from A to B (at most 100000)"}},
    "  $ qorvex descriptor address \"wpkh(xpub661MyMwAqRbcFtXgS5sYJABqqG9YLmC4Q1Rdap9gSE8NqtwybGhePY2gZ29ESFjqJoCu1Rupje8YtGqsefD265TMg7usUDFdp6W1EGMcet8/0/*)\" --index 0\n"
    "  bc1qp5wfcq48h6d63wyy9qz0awtpfqwwv4sma86mhz\n",
    run_address,
    {},
    1,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command descriptor_command = {
    "descriptor",
    "addresses of output descriptors (pk, pkh, wpkh, sh(wpkh), tr)",
    "descriptor SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex descriptor address \"tr(xpub.../0/*)\" --range 0..9\n",
    nullptr,
    {&address_command},
};

}  // namespace qcli
