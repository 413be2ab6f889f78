// hash: the library's hash functions over a file, stdin, hex or text.
#include <unistd.h>

#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

struct Algorithm {
    const char* name;
    size_t size;
    // tag is used by "tagged" only.
    int (*hash)(const char* tag, const uint8_t* data, size_t len, uint8_t* out);
};

const Algorithm kAlgorithms[] = {
    {"sha256", 32, [](const char*, const uint8_t* d, size_t n, uint8_t* o) { return qorvex_sha256(d, n, o); }},
    {"sha512", 64, [](const char*, const uint8_t* d, size_t n, uint8_t* o) { return qorvex_sha512(d, n, o); }},
    {"hash160", 20, [](const char*, const uint8_t* d, size_t n, uint8_t* o) { return qorvex_hash160(d, n, o); }},
    {"keccak256", 32, [](const char*, const uint8_t* d, size_t n, uint8_t* o) { return qorvex_keccak256(d, n, o); }},
    {"tagged", 32, [](const char* t, const uint8_t* d, size_t n, uint8_t* o) { return qorvex_tagged_hash(t, d, n, o); }},
};

int run_hash(Session& s, const Args& args) {
    const auto& pos = args.positional();
    if (pos.empty()) usage_error("missing the algorithm: sha256, sha512, hash160, keccak256 or tagged");
    const Algorithm* alg = nullptr;
    for (const auto& a : kAlgorithms) {
        if (std::strcmp(a.name, pos[0]) == 0) alg = &a;
    }
    if (alg == nullptr) {
        usage_error(std::string("unknown algorithm '") + pos[0] + "' (sha256, sha512, hash160, keccak256, tagged)");
    }
    const char* tag = args.get("tag");
    const bool tagged = std::strcmp(alg->name, "tagged") == 0;
    if (tagged && tag == nullptr) usage_error("tagged needs --tag TAG");
    if (!tagged && tag != nullptr) usage_error("--tag applies to 'tagged' only");

    const int sources = args.has("hex") + args.has("text") + (pos.size() > 1);
    if (sources > 1) usage_error("give only one input: --hex, --text or a FILE");
    std::vector<uint8_t> data;
    if (const char* h = args.get("hex")) {
        data = parse_hex(h, "--hex");
    } else if (const char* t = args.get("text")) {
        data.assign(t, t + std::strlen(t));
    } else {
        const char* path = pos.size() > 1 ? pos[1] : "-";
        if (pos.size() == 1 && ::isatty(STDIN_FILENO)) {
            usage_error("no input: give --hex HEX, --text TEXT or a FILE (\"-\" reads stdin)");
        }
        read_file(path, data);
    }

    static const uint8_t empty = 0;  // the hash functions want a pointer even for no bytes
    uint8_t digest[64];
    s.check(alg->hash(tag, data.empty() ? &empty : data.data(), data.size(), digest));

    Json out = Json::object();
    out.set("algorithm", alg->name);
    if (tagged) out.set("tag", tag);
    out.set("input_length", data.size());
    out.set("digest", to_hex(digest, alg->size));
    const std::string text = to_hex(digest, alg->size) + "\n";
    s.emit(out, &text);
    return kExitOk;
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command hash_command = {
    "hash",
    "SHA-256, SHA-512, Hash160, Keccak-256 or a BIP-340 tagged hash",
    "hash ALGORITHM [FILE | - | --hex HEX | --text TEXT] [--tag TAG]",
    "Hashes a file, stdin (\"-\", or when piped), hex bytes or text, and prints the\n"
    "digest as hex. ALGORITHM is one of:\n"
    "  sha256     SHA-256\n"
    "  sha512     SHA-512\n"
    "  hash160    RIPEMD-160 of SHA-256 (Bitcoin's key hash)\n"
    "  keccak256  Keccak-256 with the original padding (Ethereum's; not SHA3-256)\n"
    "  tagged     BIP-340 tagged hash, SHA-256(SHA-256(tag) || SHA-256(tag) || data)",
    {
        {"hex", "HEX", "hash these bytes"},
        {"text", "TEXT", "hash this text (its UTF-8 bytes, no newline added)"},
        {"tag", "TAG", "the tag of a tagged hash, e.g. BIP0340/challenge"},
    },
    "  $ qorvex hash sha256 --text abc\n"
    "  ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n",
    run_hash,
    {},
    2,
};

}  // namespace qcli
