// commit: Pedersen commitments to an amount, made or checked; range: proofs
// that a commitment hides an amount below 2^64.
#include <cctype>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

// A 32-byte scalar from a file ("-" for stdin): 64 hex digits or the 32
// bytes themselves. Its range is the library's to check.
void read_scalar_file(const char* path, uint8_t out[32], const std::string& what) {
    SecretBuffer buf;
    read_secret_file(path, buf, kSecretFileLimit, what);
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
// as any 32-byte scalar (a secret option: "-" reads it from stdin).
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
    read_secret_hex_option(args, "value-hex", out);
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
    SecretKey value;  // the amount is what the commitment hides
    std::string value_text = read_value(args, value.bytes);
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
    check_secret_output(args, false, "a secret", {}, "blinding-out");
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
    wipe(value_text.data(), value_text.size());
    if (verify != nullptr) {
        uint8_t c[QORVEX_PEDERSEN_COMMITMENT_SIZE];
        parse_hex_exact(verify, c, sizeof c, "--verify");
        const bool valid = s.verdict(qorvex_pedersen_verify(s.ctx(), c, value.bytes, blinding.bytes));
        r.set("commitment", to_hex(c, sizeof c));
        r.set("valid", valid);
        if (!valid) r.set("error", s.verify_message());
        const std::string text = valid ? "valid\n" : "invalid\n";
        s.emit(r, &text);
        r.scrub();
        return valid ? kExitOk : kExitVerifyFailed;
    }

    uint8_t c[QORVEX_PEDERSEN_COMMITMENT_SIZE];
    if (switch_file != nullptr) {
        s.check(qorvex_pedersen_switch_commit(s.ctx(), value.bytes, blinding.bytes, switch_blind.bytes, c));
    } else {
        s.check(qorvex_pedersen_commit(s.ctx(), value.bytes, blinding.bytes, c));
    }
    std::string hex = to_hex(blinding.bytes, 32);
    write_secret_line(args, blind_out, hex);
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

// --- range prove | verify ---

// A proof from a file ("-" for stdin): hex text or the raw bytes.
std::vector<uint8_t> read_proof_file(const char* path) {
    std::vector<uint8_t> d;
    read_file(path, d);
    if (d.size() == QORVEX_ZK_RANGE_PROOF_SIZE && (d[0] == 0x02 || d[0] == 0x03)) return d;
    return parse_hex(std::string_view(reinterpret_cast<const char*>(d.data()), d.size()), "--proof-file");
}

int run_range_prove(Session& s, const Args& args) {
    const char* value_text = args.get("value");
    const char* blind_file = args.get("blinding-file");
    if (value_text == nullptr) usage_error("give the amount with --value N");
    if (blind_file == nullptr) usage_error("give the blinding factor with --blinding-file PATH");
    SecretKey value_bytes;  // wiped on the way out, like the blinding factor
    uint64_t value = parse_u64(value_text, "--value");
    for (int i = 31; i >= 24; --i) value_bytes.bytes[i] = static_cast<uint8_t>(value >> (8 * (31 - i)));
    SecretKey blinding;
    read_scalar_file(blind_file, blinding.bytes, "--blinding-file");
    uint8_t aux[32];
    if (const char* aux_hex = args.get("aux")) {
        parse_hex_exact(aux_hex, aux, sizeof aux, "--aux");
    } else {
        random_bytes(aux, sizeof aux);  // unlinkable proofs of the same amount
    }
    uint8_t c[QORVEX_PEDERSEN_COMMITMENT_SIZE];
    if (const char* given = args.get("commitment")) {
        parse_hex_exact(given, c, sizeof c, "--commitment");
    } else {
        s.check(qorvex_pedersen_commit(s.ctx(), value_bytes.bytes, blinding.bytes, c));
    }
    uint8_t proof[QORVEX_ZK_RANGE_PROOF_SIZE];
    size_t len = sizeof proof;
    const int rc = qorvex_zk_range_prove(s.ctx(), value, blinding.bytes, c, aux, proof, &len);
    value = 0;
    s.check(rc);
    const std::string proof_hex = to_hex(proof, len);
    Json r = Json::object();
    r.set("commitment", to_hex(c, sizeof c));
    if (const char* out = args.get("out")) {
        write_private_file(out, proof_hex + "\n", args.has("force"));
        r.set("proof_file", out, "proof file");
    } else {
        r.set("proof", proof_hex);
    }
    s.emit(r);
    return kExitOk;
}

int run_range_verify(Session& s, const Args& args) {
    const char* c_hex = args.get("commitment");
    const char* proof_hex = args.get("proof");
    const char* proof_file = args.get("proof-file");
    if (c_hex == nullptr) usage_error("give the commitment with --commitment HEX");
    if ((proof_hex == nullptr) == (proof_file == nullptr)) usage_error("give the proof with either --proof HEX or --proof-file PATH");
    uint8_t c[QORVEX_PEDERSEN_COMMITMENT_SIZE];
    parse_hex_exact(c_hex, c, sizeof c, "--commitment");
    const std::vector<uint8_t> proof = proof_hex ? parse_hex(proof_hex, "--proof") : read_proof_file(proof_file);
    static const uint8_t kEmpty = 0;
    const bool valid = s.verdict(qorvex_zk_range_verify(s.ctx(), c, proof.empty() ? &kEmpty : proof.data(), proof.size()));
    Json r = Json::object();
    r.set("commitment", to_hex(c, sizeof c));
    r.set("valid", valid);
    if (!valid) r.set("error", s.verify_message());
    const std::string text = valid ? "valid\n" : "invalid\n";
    s.emit(r, &text);
    return valid ? kExitOk : kExitVerifyFailed;
}

const Command range_prove_command = {
    "prove",
    "prove that a commitment hides an amount below 2^64",
    "range prove --value N --blinding-file PATH [--commitment HEX] [--aux HEX]\n"
    "                    [--out FILE [--force]]",
    "Makes a 688-byte Bulletproofs range proof that the Pedersen commitment\n"
    "C = value*H + blinding*G hides an amount in [0, 2^64), without revealing it.\n"
    "The blinding factor comes from a file (64 hex digits or 32 raw bytes; \"-\" for\n"
    "stdin), as qorvex commit --blinding-out writes it. Without --commitment the\n"
    "commitment is made from the amount and the blinding factor and printed; with\n"
    "it, a commitment that does not open to them is refused. The proof's\n"
    "randomness comes from the blinding factor and 32 fresh random bytes (--aux\n"
    "fixes them: the same inputs then give the same proof). The amount is not\n"
    "printed.",
    {
        {"value", "N", "the amount, a decimal number up to 2^64 - 1"},
        {"blinding-file", "PATH", "read the blinding factor from PATH (\"-\" for stdin)"},
        {"commitment", "HEX", "the 33-byte commitment to prove (default: made from the amount)"},
        {"aux", "HEX", "32 bytes of auxiliary randomness (default: random)"},
        {"out", "FILE", "write the proof (hex) to FILE instead of printing it"},
        {"force", nullptr, "with --out, replace an existing file"},
    },
    "  $ qorvex range prove --value 5000 --blinding-file payment.blind --out payment.proof\n",
    run_range_prove,
};

const Command range_verify_command = {
    "verify",
    "check a range proof against a commitment",
    "range verify --commitment HEX (--proof HEX | --proof-file PATH)",
    "Checks that the range proof (688 bytes, as hex on the command line or hex\n"
    "or raw bytes in a file) shows the 33-byte commitment to hide an amount in\n"
    "[0, 2^64): prints valid (exit 0) or invalid (exit 1). A proof that is not\n"
    "even well-formed (wrong length, a point off the curve, a scalar >= n) or a\n"
    "commitment that is not a point is refused (exit 3).",
    {
        {"commitment", "HEX", "the 33-byte commitment"},
        {"proof", "HEX", "the proof as hex"},
        {"proof-file", "PATH", "read the proof from PATH (\"-\" for stdin)"},
    },
    "  $ qorvex range verify --commitment 037b...2320 --proof-file payment.proof\n",
    run_range_verify,
};

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
        {"value-hex", "HEX", "the amount as a 32-byte big-endian scalar (\"-\" reads it from stdin)", true},
        {"blinding-file", "PATH", "read the blinding factor from PATH (\"-\" for stdin)"},
        {"random-blinding", nullptr, "draw a random blinding factor"},
        {"blinding-out", "FILE", "with --random-blinding, save it to FILE (mode 0600)"},
        {"show-secret", nullptr, "print the blinding factor"},
        {"switch-blind-file", "PATH", "add the switch term with the factor in PATH"},
        {"verify", "HEX", "check this 33-byte commitment instead of making one"},
        {"force", nullptr, "with --blinding-out, replace an existing file"},
    },
    "  $ qorvex commit --value 5000 --random-blinding --blinding-out payment.blind\n"
    "  $ C=$(qorvex commit --value 5000 --blinding-file payment.blind --json | jq -r .commitment)\n"
    "  $ qorvex commit --value 5000 --blinding-file payment.blind --verify \"$C\"\n",
    run_commit,
};

// Listed in the command table (commands.cpp).
extern const Command range_command = {
    "range",
    "range proofs: prove, verify",
    "range SUBCOMMAND [OPTIONS]",
    "",
    {},
    "  $ qorvex range prove --value 5000 --blinding-file payment.blind --out payment.proof\n"
    "  $ qorvex range verify --commitment 037b...2320 --proof-file payment.proof\n",
    nullptr,
    {&range_prove_command, &range_verify_command},
};

}  // namespace qcli
