// filter: BIP-158 compact block filters (Golomb-coded sets), built from
// elements and queried for them.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"

namespace qcli {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kNoBytes = 0;  // a pointer for empty inputs

const uint8_t* ptr(const Bytes& b) { return b.empty() ? &kNoBytes : b.data(); }

// BIP-158 filters travel with their element count in front, as a Bitcoin
// compact size (getblockfilter prints them so). The tool is a client of the
// C interface only, so it reads and writes that prefix itself.
Bytes count_prefix(uint64_t n) {
    if (n < 0xFD) return {static_cast<uint8_t>(n)};
    const int width = n <= 0xFFFF ? 2 : n <= 0xFFFFFFFF ? 4 : 8;
    Bytes out{static_cast<uint8_t>(width == 2 ? 0xFD : width == 4 ? 0xFE : 0xFF)};
    for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
    return out;
}

// The count and its size in bytes; false for a truncated or non-minimal
// prefix.
bool read_count_prefix(const Bytes& in, uint64_t& n, size_t& size) {
    if (in.empty()) return false;
    const uint8_t first = in[0];
    if (first < 0xFD) {
        n = first;
        size = 1;
        return true;
    }
    const size_t width = first == 0xFD ? 2 : first == 0xFE ? 4 : 8;
    if (in.size() < 1 + width) return false;
    n = 0;
    for (size_t i = 0; i < width; ++i) n |= uint64_t{in[1 + i]} << (8 * i);
    const uint64_t smallest = width == 2 ? 0xFD : width == 4 ? 0x10000 : 0x100000000;
    size = 1 + width;
    return n >= smallest;
}

// --key HEX (16 bytes, as given) or --block-hash HEX (as block explorers
// show it: the key is the first 16 bytes of the hash in its internal order).
void read_key(const Args& args, uint8_t key[QORVEX_GCS_KEY_SIZE]) {
    const char* key_hex = args.get("key");
    const char* hash_hex = args.get("block-hash");
    if ((key_hex == nullptr) == (hash_hex == nullptr)) usage_error("give either --key HEX or --block-hash HEX");
    if (key_hex != nullptr) {
        parse_hex_exact(key_hex, key, QORVEX_GCS_KEY_SIZE, "--key");
        return;
    }
    uint8_t hash[32];
    parse_hex_exact(hash_hex, hash, 32, "--block-hash");
    for (size_t i = 0; i < QORVEX_GCS_KEY_SIZE; ++i) key[i] = hash[31 - i];
}

// The elements: hex arguments, then the lines of --file (blank lines
// skipped), each in hex.
std::vector<Bytes> read_elements(const Args& args) {
    std::vector<Bytes> out;
    size_t index = 0;
    for (const char* arg : args.positional()) {
        out.push_back(parse_hex(stdin_or(arg, "an element"), "element " + std::to_string(++index)));
    }
    if (const char* file = args.get("file")) {
        Bytes data;
        read_file(file, data);
        const std::string text(data.begin(), data.end());
        size_t line_no = 0, start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            ++line_no;
            const std::string line = text.substr(start, end - start);
            if (line.find_first_not_of(" \t\r") != std::string::npos)
                out.push_back(parse_hex(line, std::string(file) + " line " + std::to_string(line_no)));
            start = end + 1;
        }
    }
    return out;
}

struct ElementArrays {
    std::vector<const uint8_t*> data;
    std::vector<size_t> lens;
    explicit ElementArrays(const std::vector<Bytes>& items) {
        for (const Bytes& b : items) {
            data.push_back(ptr(b));
            lens.push_back(b.size());
        }
    }
};

int run_build(Session& s, const Args& args) {
    uint8_t key[QORVEX_GCS_KEY_SIZE];
    read_key(args, key);
    std::vector<Bytes> elements = read_elements(args);
    // BIP-158 builds its filters from sets. Any order does for finding the
    // duplicates: shorter first, then by bytes.
    std::sort(elements.begin(), elements.end(), [](const Bytes& a, const Bytes& b) {
        if (a.size() != b.size()) return a.size() < b.size();
        return !a.empty() && std::memcmp(a.data(), b.data(), a.size()) < 0;
    });
    elements.erase(std::unique(elements.begin(), elements.end()), elements.end());
    const ElementArrays arrays(elements);

    // Each code takes about 21 bits. A short buffer is refused (code 10)
    // with *filter_len left as it was, so the retry takes room for 64 bits
    // a code, more than any filter of n elements needs.
    Bytes filter(elements.size() * 3 + 16);
    size_t len = filter.size();
    int rc = qorvex_gcs_build(key, arrays.data.data(), arrays.lens.data(), elements.size(), filter.data(), &len);
    if (rc == QORVEX_ERR_BUF_TOO_SMALL) {
        filter.resize(elements.size() * 8 + 16);
        len = filter.size();
        rc = qorvex_gcs_build(key, arrays.data.data(), arrays.lens.data(), elements.size(), filter.data(), &len);
    }
    s.check(rc);
    filter.resize(len);

    Bytes serialized = count_prefix(elements.size());
    serialized.insert(serialized.end(), filter.begin(), filter.end());

    Json out = Json::object();
    out.set("key", to_hex(key, QORVEX_GCS_KEY_SIZE));
    out.set("n", static_cast<unsigned long long>(elements.size()));
    out.set("filter", to_hex(filter));
    out.set("serialized", to_hex(serialized));
    const std::string line = to_hex(serialized) + "\n";
    s.emit(out, &line);
    return kExitOk;
}

int run_match(Session& s, const Args& args) {
    uint8_t key[QORVEX_GCS_KEY_SIZE];
    read_key(args, key);
    const char* filter_hex = args.get("filter");
    if (filter_hex == nullptr) usage_error("missing --filter HEX");
    Bytes filter = parse_hex(filter_hex, "--filter");
    uint64_t n = 0;
    if (const char* n_text = args.get("n")) {
        n = parse_u64(n_text, "--n");
    } else {
        size_t prefix_size = 0;
        if (!read_count_prefix(filter, n, prefix_size))
            usage_error("--filter: does not start with the element count (a compact size); give the bare filter "
                        "with --n N");
        filter.erase(filter.begin(), filter.begin() + static_cast<std::ptrdiff_t>(prefix_size));
    }
    const std::vector<Bytes> elements = read_elements(args);
    if (elements.empty()) usage_error("no element to look for: give HEX arguments or --file PATH");

    Json list = Json::array();
    std::string text;
    bool any = false;
    for (const Bytes& e : elements) {
        const int rc = qorvex_gcs_match(key, ptr(filter), filter.size(), static_cast<size_t>(n), ptr(e), e.size());
        if (rc == QORVEX_ERR_BAD_INPUT) {
            throw Failure{kExitLibrary,
                          "the filter holds fewer than " + std::to_string(n) + " elements (" +
                              std::to_string(filter.size()) + " bytes): truncated, or the wrong count",
                          rc};
        }
        if (rc != QORVEX_ERR_NOT_FOUND) s.check(rc);
        const bool found = rc == QORVEX_OK;
        any = any || found;
        Json item = Json::object();
        item.set("element", to_hex(e));
        item.set("matches", found);
        list.push(item);
        text += (e.empty() ? std::string("(empty)") : to_hex(e)) + (found ? "  match\n" : "  no match\n");
    }
    Json out = Json::object();
    out.set("n", static_cast<unsigned long long>(n));
    out.set("matches", any);
    out.set("elements", list);
    if (!any) s.set_verify_message("no element matches the filter");
    s.emit(out, &text);
    return any ? kExitOk : kExitVerifyFailed;
}

const Option kKeyOption = {"key", "HEX", "the 16-byte filter key, as given"};
const Option kBlockHashOption = {"block-hash", "HEX",
                                 "the block hash as explorers show it; the key is its first 16 bytes in internal "
                                 "order (BIP-158)"};
const Option kFileOption = {"file", "PATH", "more elements, one hex string per line (\"-\" for stdin)"};

const Command build_command = {
    "build",
    "the BIP-158 filter of a set of elements",
    "filter build (--key HEX | --block-hash HEX) [ELEMENT_HEX ...] [--file PATH]",
    "Builds the Golomb-coded set of the elements (SipHash-2-4, P = 19,\n"
    "M = 784931, the parameters of BIP-158 basic filters) and prints it as BIP-158\n"
    "serializes it: the element count N as a compact size, then the filter. The\n"
    "elements (output scripts, for a basic filter) are hex arguments or lines of\n"
    "--file; duplicates are dropped, since BIP-158 filters are built from sets.\n"
    "--json also gives the key, N and the bare filter.",
    {kKeyOption, kBlockHashOption, kFileOption},
    "  $ qorvex filter build --key 000102030405060708090a0b0c0d0e0f 51 0014751e76e8199196d454941c45d1b3a323f1433bd6\n"
    "  02480f862f56\n",
    run_build,
    {},
    static_cast<size_t>(-1),
};

const Command match_command = {
    "match",
    "whether any of the elements is in a filter (exit 1 if none)",
    "filter match (--key HEX | --block-hash HEX) --filter HEX [--n N] ELEMENT_HEX ... [--file PATH]",
    "Looks each element up in the filter and prints \"match\" or \"no match\" for\n"
    "each (a match is certain for members and happens for others with\n"
    "probability 1/784931). --filter is the BIP-158 serialization, the element\n"
    "count first (as Bitcoin Core's getblockfilter gives it); with --n N it is the\n"
    "bare filter of N elements. Exits 0 when any element matches, 1 when none\n"
    "does, 3 when the filter holds fewer elements than its count says.",
    {kKeyOption, kBlockHashOption, {"filter", "HEX", "the filter: count and filter, or with --n the filter alone"},
     {"n", "N", "the element count of a bare --filter"}, kFileOption},
    "  $ qorvex filter match --key 000102030405060708090a0b0c0d0e0f --filter 02480f862f56 51 52\n"
    "  51  match\n"
    "  52  no match\n",
    run_match,
    {},
    static_cast<size_t>(-1),
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command filter_command = {
    "filter",
    "compact block filters (BIP-158): build, match",
    "filter SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex filter build --block-hash 000000000933ea01ad0ee984209779baaec3ced90fa3f408719526f8d77f4943 \\\n"
    "      --file scripts.txt\n",
    nullptr,
    {&build_command, &match_command},
};

}  // namespace qcli
