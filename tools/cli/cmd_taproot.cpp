// taproot: BIP-341 output keys of internal keys (and the tweaked private
// key), and the check that an output key commits to an internal key.
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

// An internal key as 32-byte x-only hex, or a 33-byte compressed key whose
// x is taken (BIP-341 lifts it to even y whatever its prefix).
void parse_internal_key(const char* hex, uint8_t out32[32]) {
    const std::vector<uint8_t> b = parse_hex(hex, "--internal-key");
    if (b.size() == 32) {
        std::memcpy(out32, b.data(), 32);
    } else if (b.size() == 33 && (b[0] == 0x02 || b[0] == 0x03)) {
        std::memcpy(out32, b.data() + 1, 32);
    } else {
        usage_error("--internal-key: expected a 32-byte x-only key or a 33-byte compressed key, got " +
                    std::to_string(b.size()) + " bytes");
    }
}

// --merkle-root HEX: 32 bytes, or absent (a key-path-only output, BIP-86).
bool read_merkle_root(const Args& args, uint8_t out32[32]) {
    const char* hex = args.get("merkle-root");
    if (hex == nullptr) return false;
    parse_hex_exact(hex, out32, 32, "--merkle-root");
    return true;
}

void describe(Json& out, const uint8_t internal[32], const uint8_t* root, const uint8_t q[32], int parity) {
    uint8_t msg[64], tweak[32];
    std::memcpy(msg, internal, 32);
    if (root) std::memcpy(msg + 32, root, 32);
    qorvex_tagged_hash("TapTweak", msg, root ? 64 : 32, tweak);
    out.set("internal_key", to_hex(internal, 32), "internal key");
    out.set("merkle_root", root ? to_hex(root, 32) : std::string("none (key path only)"), "merkle root");
    out.set("tweak", to_hex(tweak, 32));
    out.set("output_key", to_hex(q, 32), "output key");
    out.set("parity", parity);
    out.set("script_pubkey", "5120" + to_hex(q, 32), "scriptPubKey");
}

int run_tweak(Session& s, const Args& args) {
    if (args.has("key-file") == args.has("internal-key")) usage_error("give either --internal-key HEX or --key-file PATH");
    const bool show = args.has("show-secret");
    const char* out_file = args.get("out");
    if (!args.has("key-file") && (show || out_file != nullptr || args.has("force")))
        usage_error("--show-secret, --out and --force apply to --key-file only");
    check_secret_output(args, false, "a secret", "the key");

    uint8_t root[32];
    const bool has_root = read_merkle_root(args, root);
    const uint8_t* root_ptr = has_root ? root : nullptr;
    uint8_t internal[32], q[32];
    int parity = 0;
    Json out = Json::object();
    if (args.has("internal-key")) {
        parse_internal_key(args.get("internal-key"), internal);
        s.check(qorvex_taproot_output_key(s.ctx(), internal, root_ptr, q, &parity));
        describe(out, internal, root_ptr, q, parity);
        s.emit(out);
        return kExitOk;
    }

    SecretKey key, tweaked;
    read_secret_key(s, args, key);
    s.check(qorvex_pubkey_xonly(s.ctx(), key.bytes, internal));
    s.check(qorvex_taproot_output_key(s.ctx(), internal, root_ptr, q, &parity));
    s.check(qorvex_taproot_tweak_seckey(s.ctx(), key.bytes, root_ptr, tweaked.bytes));
    // The tweaked key must sign for the output key.
    uint8_t pub[33];
    s.check(qorvex_pubkey_create(s.ctx(), tweaked.bytes, pub));
    if (std::memcmp(pub + 1, q, 32) != 0 || (pub[0] == 0x03) != (parity == 1))
        runtime_error("the tweaked private key does not match the output key");
    describe(out, internal, root_ptr, q, parity);

    std::string hex = to_hex(tweaked.bytes, 32);
    write_secret_line(args, out_file, hex);
    if (out_file != nullptr) out.set("key_file", out_file, "tweaked key file");
    if (show) out.set("tweaked_secret", hex, "tweaked secret");
    wipe(hex.data(), hex.size());
    if (show && !s.json()) {
        // The text holding the secret is ours to wipe.
        std::string text = render_text(out);
        s.emit(out, &text);
        wipe(text.data(), text.size());
    } else {
        s.emit(out);
    }
    out.scrub();
    return kExitOk;
}

int run_verify(Session& s, const Args& args) {
    const char* out_hex = args.get("output-key");
    if (out_hex == nullptr) usage_error("missing --output-key HEX");
    if (!args.has("internal-key")) usage_error("missing --internal-key HEX");
    const std::vector<uint8_t> given = parse_hex(out_hex, "--output-key");
    uint8_t q[32];
    int parity = -1;
    if (given.size() == 33 && (given[0] == 0x02 || given[0] == 0x03)) {
        std::memcpy(q, given.data() + 1, 32);
        parity = given[0] & 1;
    } else if (given.size() == 32) {
        std::memcpy(q, given.data(), 32);
    } else {
        usage_error("--output-key: expected 32 bytes (with --parity) or a 33-byte compressed key, got " +
                    std::to_string(given.size()) + " bytes");
    }
    if (args.has("parity")) {
        const uint64_t p = parse_u64(args.get("parity"), "--parity");
        if (p > 1) usage_error("--parity: expected 0 (even y) or 1 (odd y)");
        if (parity >= 0 && static_cast<int>(p) != parity) usage_error("--parity contradicts the prefix of --output-key");
        parity = static_cast<int>(p);
    }
    if (parity < 0) usage_error("a 32-byte --output-key needs --parity 0|1");
    uint8_t internal[32], root[32];
    parse_internal_key(args.get("internal-key"), internal);
    const bool has_root = read_merkle_root(args, root);

    const bool valid = s.verdict(qorvex_taproot_verify(s.ctx(), q, parity, internal, has_root ? root : nullptr,
                                                       has_root ? 32 : 0));
    Json out = Json::object();
    out.set("output_key", to_hex(q, 32), "output key");
    out.set("parity", parity);
    out.set("internal_key", to_hex(internal, 32), "internal key");
    out.set("merkle_root", has_root ? to_hex(root, 32) : std::string("none (key path only)"), "merkle root");
    out.set("valid", valid);
    if (!valid) out.set("error", s.verify_message());
    const std::string text = valid ? "valid\n" : "invalid\n";
    s.emit(out, &text);
    return valid ? kExitOk : kExitVerifyFailed;
}

const Option kInternalKeyOption = {"internal-key", "HEX",
                                   "the internal key: 32-byte x-only, or 33-byte compressed (its x is used)"};
const Option kMerkleRootOption = {"merkle-root", "HEX",
                                  "the 32-byte root of the script tree; without it, a key-path-only output (BIP-86)"};

const Command tweak_command = {
    "tweak",
    "the output key of an internal key, or the tweaked private key",
    "taproot tweak (--internal-key HEX | --key-file PATH) [--merkle-root HEX]\n"
    "                    [--show-secret | --out FILE [--force]]",
    "Prints the BIP-341 output key Q = P + t*G of an internal key P, where\n"
    "t = TaggedHash(\"TapTweak\", x(P) || merkle root), with the parity of Q's y and\n"
    "the P2TR scriptPubKey. With --key-file the internal key is that private key's\n"
    "x-only key, and the private key that signs for Q on the key path is computed\n"
    "too (and checked against Q); it is printed only with --show-secret, or written\n"
    "to a new file of mode 0600 with --out.",
    {kInternalKeyOption, key_file_option(), kMerkleRootOption,
     {"show-secret", nullptr, "with --key-file, print the tweaked private key"},
     {"out", "FILE", "with --key-file, write the tweaked private key to FILE (mode 0600)"},
     {"force", nullptr, "with --out, replace an existing file"}},
    "  $ qorvex taproot tweak --internal-key d6889cb081036e0faefa3a35157ad71086b123b2b144b649798b494c300a961d\n"
    "  internal key  d6889cb081036e0faefa3a35157ad71086b123b2b144b649798b494c300a961d\n"
    "  merkle root   none (key path only)\n"
    "  tweak         b86e7be8f39bab32a6f2c0443abbc210f0edac0e2c53d501b36b64437d9c6c70\n"
    "  output key    53a1f6e454df1aa2776a2814a721372d6258050de330b3c6d10ee8f4e0dda343\n"
    "  parity        1\n"
    "  scriptPubKey  512053a1f6e454df1aa2776a2814a721372d6258050de330b3c6d10ee8f4e0dda343\n",
    run_tweak,
};

const Command verify_command = {
    "verify",
    "check that an output key commits to an internal key (exit 1 if not)",
    "taproot verify --output-key HEX [--parity 0|1] --internal-key HEX [--merkle-root HEX]",
    "Checks that the output key, with its parity, is the BIP-341 output key of the\n"
    "internal key and the merkle root (none: key path only). The output key is 32\n"
    "bytes with --parity, or 33 bytes whose 02/03 prefix gives the parity. Prints\n"
    "\"valid\" or \"invalid\"; exits 1 when it does not commit.",
    {{"output-key", "HEX", "the output key: 32 bytes with --parity, or 33-byte compressed"},
     {"parity", "0|1", "the parity of the output key's y (1: odd)"},
     kInternalKeyOption,
     kMerkleRootOption},
    "  $ qorvex taproot verify --output-key 53a1f6e454df1aa2776a2814a721372d6258050de330b3c6d10ee8f4e0dda343 \\\n"
    "      --parity 1 --internal-key d6889cb081036e0faefa3a35157ad71086b123b2b144b649798b494c300a961d\n"
    "  valid\n",
    run_verify,
};

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command taproot_command = {
    "taproot",
    "Taproot (BIP-341): output keys, tweaked private keys, commitment checks",
    "taproot SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex taproot tweak --key-file alice.key --out alice-taproot.key\n",
    nullptr,
    {&tweak_command, &verify_command},
};

}  // namespace qcli
