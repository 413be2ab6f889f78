// commit: Pedersen commitments to an amount, made or checked.
#include <cctype>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

// A 32-byte scalar from a file ("-" for stdin): 64 hex digits or the 32
// bytes themselves. Its range is the library's to check.
void read_scalar_file(const char* path, uint8_t out[32], const std::string& what) {
    SecretBuffer buf;
    buf.data().reserve(4096);
    read_file(path, buf.data());
    std::vector<uint8_t>& d = buf.data();
    size_t b = 0, e = d.size();
    while (b < e && std::isspace(d[b])) ++b;
    while (e > b && std::isspace(d[e - 1])) --e;
    size_t digits = e - b;
    if (digits >= 2 && d[b] == '0' && (d[b + 1] == 'x' || d[b + 1] == 'X')) digits -= 2;
    if (digits == 64) {
        parse_hex_exact(std::string_view(reinterpret_cast<const char*>(d.data()) + b, e - b), out, 32, what);
    } else if (d.size() == 32) {
        std::memcpy(out, d.data(), 32);
    } else {
        usage_error(what + ": expected 64 hex digits or 32 raw bytes");
    }
}

// The amount: --value as a decimal number (up to 2^64 - 1), or --value-hex
// as any 32-byte scalar.
std::string read_value(const Args& args, uint8_t out[32]) {
    const char* dec = args.get("value");
    const char* hex = args.get("value-hex");
    if ((dec == nullptr) == (hex == nullptr)) usage_error("give the amount with either --value N or --value-hex HEX");
    std::memset(out, 0, 32);
    if (dec != nullptr) {
        uint64_t v = parse_u64(dec, "--value");
        for (int i = 31; i >= 24; --i, v >>= 8) out[i] = static_cast<uint8_t>(v);
        return dec;
    }
    parse_hex_exact(hex, out, 32, "--value-hex");
    return to_hex(out, 32);
}

// A fresh blinding factor: random bytes below the group order (almost every
// 32-byte string is).
void random_blinding(Session& s, uint8_t out[32]) {
    int attempts = 0;
    do {
        if (++attempts > 64) runtime_error("the random source keeps producing values >= n");
        random_bytes(out, 32);
    } while (qorvex_seckey_verify(s.ctx(), out) != QORVEX_OK);
}

int run_commit(Session& s, const Args& args) {
    uint8_t value[32];
    const std::string value_text = read_value(args, value);
    const bool random = args.has("random-blinding");
    const char* blind_file = args.get("blinding-file");
    const char* blind_out = args.get("blinding-out");
    const char* switch_file = args.get("switch-blind-file");
    const bool show = args.has("show-secret");
    const char* verify = args.get("verify");
    if (random == (blind_file != nullptr)) usage_error("give either --blinding-file PATH or --random-blinding");
    if (random && blind_out == nullptr && !show) {
        usage_error("a random blinding factor must be kept to open the commitment: give --blinding-out FILE or "
                    "--show-secret");
    }
    if (!random && blind_out != nullptr) usage_error("--blinding-out goes with --random-blinding");
    if (verify != nullptr && (random || switch_file != nullptr)) {
        usage_error("--verify checks a plain commitment against --value and --blinding-file");
    }
    if (blind_file != nullptr && switch_file != nullptr && std::strcmp(blind_file, "-") == 0 &&
        std::strcmp(switch_file, "-") == 0) {
        usage_error("only one of --blinding-file and --switch-blind-file can read stdin");
    }

    SecretKey blinding, switch_blind;  // 32 secret bytes each, wiped on the way out
    if (random) {
        random_blinding(s, blinding.bytes);
    } else {
        read_scalar_file(blind_file, blinding.bytes, "--blinding-file");
    }
    if (switch_file != nullptr) read_scalar_file(switch_file, switch_blind.bytes, "--switch-blind-file");

    Json r = Json::object();
    r.set("value", value_text);
    if (verify != nullptr) {
        uint8_t c[QORVEX_PEDERSEN_COMMITMENT_SIZE];
        parse_hex_exact(verify, c, sizeof c, "--verify");
        const bool valid = s.verdict(qorvex_pedersen_verify(s.ctx(), c, value, blinding.bytes));
        r.set("commitment", to_hex(c, sizeof c));
        r.set("valid", valid);
        if (!valid) r.set("error", s.verify_message());
        const std::string text = valid ? "valid\n" : "invalid\n";
        s.emit(r, &text);
        return valid ? kExitOk : kExitVerifyFailed;
    }

    uint8_t c[QORVEX_PEDERSEN_COMMITMENT_SIZE];
    if (switch_file != nullptr) {
        s.check(qorvex_pedersen_switch_commit(s.ctx(), value, blinding.bytes, switch_blind.bytes, c));
    } else {
        s.check(qorvex_pedersen_commit(s.ctx(), value, blinding.bytes, c));
    }
    std::string hex = to_hex(blinding.bytes, 32);
    if (blind_out != nullptr) {
        std::string line = hex + "\n";
        try {
            write_private_file(blind_out, line, args.has("force"));
        } catch (...) {
            wipe(line.data(), line.size());
            wipe(hex.data(), hex.size());
            throw;
        }
        wipe(line.data(), line.size());
    }
    r.set("commitment", to_hex(c, sizeof c));
    r.set("switch", switch_file != nullptr, "switch term");
    if (blind_out != nullptr) r.set("blinding_file", blind_out, "blinding file");
    if (show) r.set("blinding", hex);
    wipe(hex.data(), hex.size());
    std::string text = render_text(r);
    s.emit(r, &text);
    wipe(text.data(), text.size());
    r.scrub();
    return kExitOk;
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command commit_command = {
    "commit",
    "a Pedersen commitment to an amount, or check one (--verify)",
    "commit (--value N | --value-hex HEX) (--blinding-file PATH |\n"
    "                    --random-blinding (--blinding-out FILE | --show-secret))\n"
    "                    [--switch-blind-file PATH] [--verify COMMITMENT] [--force]",
    "Commits to an amount with a blinding factor: C = value*H + blinding*G, where\n"
    "H is a point nobody knows the discrete logarithm of. C reveals nothing about\n"
    "the amount; the amount and the blinding factor open it. The blinding factor\n"
    "comes from a file (64 hex digits or 32 raw bytes) or is drawn at random and\n"
    "saved with --blinding-out (mode 0600). --switch-blind-file adds the switch\n"
    "term switch_blind*J. --verify COMMITMENT checks that a commitment opens to\n"
    "the amount and blinding factor given (exit 1 when it does not).",
    {
        {"value", "N", "the amount, a decimal number up to 2^64 - 1"},
        {"value-hex", "HEX", "the amount as a 32-byte big-endian scalar"},
        {"blinding-file", "PATH", "read the blinding factor from PATH (\"-\" for stdin)"},
        {"random-blinding", nullptr, "draw a random blinding factor"},
        {"blinding-out", "FILE", "with --random-blinding, save it to FILE (mode 0600)"},
        {"show-secret", nullptr, "print the blinding factor"},
        {"switch-blind-file", "PATH", "add the switch term with the factor in PATH"},
        {"verify", "HEX", "check this 33-byte commitment instead of making one"},
        {"force", nullptr, "with --blinding-out, replace an existing file"},
    },
    "  $ qorvex commit --value 5000 --random-blinding --blinding-out payment.blind\n"
    "  $ qorvex commit --value 5000 --blinding-file payment.blind --verify 09a3...41\n",
    run_commit,
};

}  // namespace qcli
