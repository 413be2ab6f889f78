// verify-batch: many signatures from a file, checked together.
#include <cstdio>
#include <cstring>
#include <string>

#include "batch_file.h"

namespace qcli {

namespace {

struct BatchScheme {
    bool schnorr;
    size_t item_size;
    size_t key_size;
};

BatchScheme pick(const Args& args) {
    const char* name = args.get("scheme");
    if (name == nullptr || std::strcmp(name, "ecdsa") == 0) return {false, QORVEX_ECDSA_BATCH_ITEM_SIZE, 33};
    if (std::strcmp(name, "schnorr") == 0) return {true, QORVEX_SCHNORR_BATCH_ITEM_SIZE, 32};
    usage_error(std::string("--scheme: expected ecdsa|schnorr, got \"") + name + "\"");
}

// Fills the library's item layout from a line PUBKEY DIGEST SIGNATURE.
void parse_line(Session& s, const BatchScheme& sc, const BatchLine& line, uint8_t* item) {
    if (line.fields.size() != 3)
        usage_error(line_message(line.number, "expected PUBKEY DIGEST SIGNATURE, got " +
                                                  std::to_string(line.fields.size()) + " fields"));
    const std::string n = "line " + std::to_string(line.number);
    uint8_t* key = sc.schnorr ? item : item + 32;
    uint8_t* digest = sc.schnorr ? item + 32 : item;
    if (sc.schnorr) {
        parse_hex_exact(line.fields[0], key, 32, n + ": public key (32-byte x-only)");
    } else {
        const std::vector<uint8_t> pub = parse_hex(line.fields[0], n + ": public key");
        if (pub.size() == 33) {
            std::memcpy(key, pub.data(), 33);
        } else if (pub.size() == 65) {
            // Uncompressed keys are compressed for the batch; one that does
            // not parse is named by its line.
            const int rc = qorvex_pubkey_parse(s.ctx(), pub.data(), 65, key);
            if (rc != QORVEX_OK) throw Failure{kExitLibrary, line_message(line.number, s.library_message(rc)), rc};
        } else {
            usage_error(n + ": public key: expected 33 or 65 bytes, got " + std::to_string(pub.size()));
        }
    }
    parse_hex_exact(line.fields[1], digest, 32, n + ": digest");
    parse_hex_exact(line.fields[2], item + 64 + (sc.schnorr ? 0 : 1), 64, n + ": signature");
}

int batch_verify(Session& s, const BatchScheme& sc, const uint8_t* items, size_t count) {
    return sc.schnorr ? qorvex_schnorr_batch_verify(s.ctx(), items, count)
                      : qorvex_ecdsa_batch_verify_mt(s.ctx(), items, count, 0);
}

// Indices (within the call) of the items of a refused batch that do not
// verify. ECDSA counts high-S signatures, which the batch refuses but the
// identification accepts, as invalid too.
std::vector<size_t> invalid_items(Session& s, const BatchScheme& sc, const uint8_t* items, size_t count) {
    std::vector<size_t> idx(count);
    size_t n = count;
    s.check(sc.schnorr ? qorvex_schnorr_batch_identify_invalid(s.ctx(), items, count, idx.data(), &n)
                       : qorvex_ecdsa_batch_identify_invalid(s.ctx(), items, count, idx.data(), &n));
    idx.resize(n);
    if (sc.schnorr) return idx;
    std::vector<size_t> all;
    size_t next = 0;
    for (size_t i = 0; i < count; ++i) {
        const bool failed = next < idx.size() && idx[next] == i;
        if (failed) ++next;
        uint8_t opaque[64], low[64];
        int changed = 0;
        const uint8_t* sig = items + i * sc.item_size + 65;
        const bool high = qorvex_ecdsa_sig_compact_to_opaque(s.ctx(), sig, opaque) == QORVEX_OK &&
                          qorvex_ecdsa_sig_normalize_opaque(s.ctx(), opaque, low, &changed) == QORVEX_OK && changed;
        if (failed || high) all.push_back(i);
    }
    return all;
}

int run_verify_batch(Session& s, const Args& args) {
    const BatchScheme sc = pick(args);
    if (args.positional().empty()) usage_error("missing FILE (\"-\" for stdin)");
    const std::string path = args.positional()[0];
    std::vector<uint8_t> text;
    read_file(path, text);
    const std::vector<BatchLine> lines =
        split_batch_lines(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    if (lines.empty()) usage_error("no items in " + (path == "-" ? std::string("stdin") : path));
    const size_t count = lines.size();
    std::vector<uint8_t> items(count * sc.item_size);
    for (size_t i = 0; i < count; ++i) parse_line(s, sc, lines[i], &items[i * sc.item_size]);

    std::vector<size_t> bad_lines;
    for (size_t begin = 0; begin < count; begin += kBatchCallItems) {
        const size_t n = std::min(kBatchCallItems, count - begin);
        const uint8_t* chunk = &items[begin * sc.item_size];
        const int rc = batch_verify(s, sc, chunk, n);
        if (rc == QORVEX_ERR_VERIFY_FAIL) {
            for (const size_t i : invalid_items(s, sc, chunk, n)) bad_lines.push_back(lines[begin + i].number);
        } else if (rc == QORVEX_ERR_BAD_PUBKEY || rc == QORVEX_ERR_BAD_SIG) {
            // A malformed item: found by checking the items one at a time,
            // with the library's own rules and message.
            for (size_t i = 0; i < n; ++i) {
                const int one = batch_verify(s, sc, chunk + i * sc.item_size, 1);
                if (one == QORVEX_ERR_BAD_PUBKEY || one == QORVEX_ERR_BAD_SIG)
                    throw Failure{kExitLibrary, line_message(lines[begin + i].number, s.library_message(one)), one};
            }
            s.check(rc);
        } else {
            s.check(rc);
        }
        if (count > kBatchCallItems)
            std::fprintf(stderr, "verify-batch: %zu of %zu items checked\n", begin + n, count);
    }

    Json out = Json::object();
    out.set("scheme", sc.schnorr ? "schnorr" : "ecdsa");
    out.set("items", count);
    out.set("valid", bad_lines.empty());
    Json arr = Json::array();
    std::string text_out;
    for (const size_t l : bad_lines) {
        arr.push(l);
        text_out += "invalid line " + std::to_string(l) + "\n";
    }
    out.set("invalid_lines", arr);
    text_out += bad_lines.empty() ? "all " + std::to_string(count) + " signatures valid\n"
                                  : std::to_string(bad_lines.size()) + " of " + std::to_string(count) +
                                        " signatures invalid\n";
    if (!bad_lines.empty())
        s.set_verify_message(std::to_string(bad_lines.size()) +
                             (bad_lines.size() == 1 ? " signature does not verify" : " signatures do not verify"));
    s.emit(out, &text_out);
    return bad_lines.empty() ? kExitOk : kExitVerifyFailed;
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command verify_batch_command = {
    "verify-batch",
    "verify a file of signatures together (exit 1 if any fails)",
    "verify-batch [--scheme ecdsa|schnorr] FILE",
    "Reads one item per line from FILE (\"-\" for stdin): PUBKEY DIGEST SIGNATURE\n"
    "in hex, separated by spaces or tabs; blank lines and lines starting with '#'\n"
    "are skipped. ECDSA takes 33- or 65-byte keys and compact low-S signatures;\n"
    "Schnorr (BIP-340) 32-byte x-only keys. The items are verified together\n"
    "(ECDSA on all processors; Schnorr as one random linear combination), and\n"
    "when the batch fails, the lines that do not verify are found and printed\n"
    "(ECDSA: a high-S signature counts as invalid). Exit 1 when any line is\n"
    "invalid; a malformed item (a key or signature the library cannot parse) is a\n"
    "library error naming its line (exit 3). Files of more than 65,536 items show\n"
    "their progress on stderr. 'qorvex sign-batch' writes this format.",
    {{"scheme", "NAME", "ecdsa (default) or schnorr (BIP-340)"}},
    "  $ qorvex verify-batch --scheme schnorr signed.txt\n"
    "  invalid line 17\n"
    "  1 of 1000 signatures invalid\n",
    run_verify_batch,
    {},
    1,
    true,  // many signatures in one process: the library's default tables
};

}  // namespace qcli
