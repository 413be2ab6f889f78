// sign-batch: many digests signed in one go, on all processors.
#include <cstdio>
#include <cstring>
#include <string>

#include "batch_file.h"

namespace qcli {

namespace {

int run_sign_batch(Session& s, const Args& args) {
    const char* name = args.get("scheme");
    const bool schnorr = name != nullptr && std::strcmp(name, "schnorr") == 0;
    if (name != nullptr && !schnorr && std::strcmp(name, "ecdsa") != 0)
        usage_error(std::string("--scheme: expected ecdsa|schnorr, got \"") + name + "\"");
    if (args.positional().empty()) usage_error("missing FILE (\"-\" for stdin)");
    const std::string path = args.positional()[0];
    const bool one_key = args.has("key-file");
    if (one_key && path == "-" && key_from_stdin(args)) usage_error("the key and the items cannot both come from stdin");

    SecretKey shared;
    if (one_key) read_secret_key(s, args, shared);
    SecretBuffer text;
    read_secret_file(path, text, kNoLimit, "the batch file");
    const std::vector<BatchLine> lines =
        split_batch_lines(std::string_view(reinterpret_cast<const char*>(text.data().data()), text.data().size()));
    if (lines.empty()) usage_error("no items in " + (path == "-" ? std::string("stdin") : path));
    const size_t count = lines.size();

    // Sized once, so the keys are never copied by a reallocation.
    SecretBuffer keys;
    keys.data().resize(32 * count);
    std::vector<uint8_t> msgs(32 * count), aux(schnorr ? 32 * count : 0);
    const size_t key_fields = one_key ? 0 : 1;
    for (size_t i = 0; i < count; ++i) {
        const BatchLine& line = lines[i];
        const size_t fields = line.fields.size();
        const std::string n = "line " + std::to_string(line.number);
        const std::string shape = std::string(one_key ? "" : "SECKEY ") + "DIGEST" + (schnorr ? " [AUX]" : "");
        if (fields < key_fields + 1 || fields > key_fields + (schnorr ? 2 : 1))
            usage_error(n + ": expected " + shape + ", got " + std::to_string(fields) + " fields");
        if (one_key)
            std::memcpy(&keys.data()[32 * i], shared.bytes, 32);
        else
            parse_hex_exact(line.fields[0], &keys.data()[32 * i], 32, n + ": secret key");
        parse_hex_exact(line.fields[key_fields], &msgs[32 * i], 32, n + ": digest");
        if (!schnorr) continue;
        if (fields == key_fields + 2)
            parse_hex_exact(line.fields[key_fields + 1], &aux[32 * i], 32, n + ": aux");
        else
            random_bytes(&aux[32 * i], 32);
    }
    // The file's text holds the keys too; it is not needed any more.
    text.clear();

    std::vector<uint8_t> sigs(64 * count);
    for (size_t begin = 0; begin < count; begin += kBatchCallItems) {
        const size_t n = std::min(kBatchCallItems, count - begin);
        const uint8_t* k = &keys.data()[32 * begin];
        const int rc = schnorr ? qorvex_schnorr_sign_batch(s.ctx(), n, &msgs[32 * begin], k, &aux[32 * begin],
                                                           &sigs[64 * begin])
                               : qorvex_ecdsa_sign_batch(s.ctx(), n, &msgs[32 * begin], k, &sigs[64 * begin]);
        if (rc == QORVEX_ERR_BAD_KEY) {
            // Name the first bad key's line (the library does not say which).
            for (size_t i = begin; i < begin + n; ++i)
                if (qorvex_seckey_verify(s.ctx(), &keys.data()[32 * i]) != QORVEX_OK)
                    throw Failure{kExitLibrary, line_message(lines[i].number, s.library_message(QORVEX_ERR_BAD_KEY)),
                                  QORVEX_ERR_BAD_KEY};
        }
        s.check(rc);
        if (count > kBatchCallItems) std::fprintf(stderr, "sign-batch: %zu of %zu items signed\n", begin + n, count);
    }

    // The public keys, and every signature checked before any is printed.
    const size_t key_size = schnorr ? 32 : 33;
    const size_t item_size = schnorr ? QORVEX_SCHNORR_BATCH_ITEM_SIZE : QORVEX_ECDSA_BATCH_ITEM_SIZE;
    std::vector<uint8_t> items(count * item_size);
    auto public_key = [&](const uint8_t* seckey, uint8_t* out) {
        s.check(schnorr ? qorvex_pubkey_xonly(s.ctx(), seckey, out) : qorvex_pubkey_create(s.ctx(), seckey, out));
    };
    uint8_t shared_pub[33];
    if (one_key) public_key(shared.bytes, shared_pub);
    for (size_t i = 0; i < count; ++i) {
        uint8_t* it = &items[i * item_size];
        uint8_t* key = schnorr ? it : it + 32;
        if (one_key)
            std::memcpy(key, shared_pub, key_size);
        else
            public_key(&keys.data()[32 * i], key);
        std::memcpy(schnorr ? it + 32 : it, &msgs[32 * i], 32);
        std::memcpy(it + item_size - 64, &sigs[64 * i], 64);
    }
    keys.clear();
    for (size_t begin = 0; begin < count; begin += kBatchCallItems) {
        const size_t n = std::min(kBatchCallItems, count - begin);
        const uint8_t* chunk = &items[begin * item_size];
        const int rc = schnorr ? qorvex_schnorr_batch_verify(s.ctx(), chunk, n)
                               : qorvex_ecdsa_batch_verify_mt(s.ctx(), chunk, n, 0);
        if (rc != QORVEX_OK) runtime_error("a signature did not verify: " + s.library_message(rc));
    }

    Json out = Json::object();
    out.set("scheme", schnorr ? "schnorr" : "ecdsa");
    out.set("count", count);
    Json arr = Json::array();
    std::string text_out;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* it = &items[i * item_size];
        const std::string pub = to_hex(schnorr ? it : it + 32, key_size);
        const std::string dig = to_hex(schnorr ? it + 32 : it, 32);
        const std::string sig = to_hex(it + item_size - 64, 64);
        Json row = Json::object();
        row.set("pubkey", pub);
        row.set("digest", dig);
        row.set("signature", sig);
        arr.push(row);
        text_out += pub + " " + dig + " " + sig + "\n";
    }
    out.set("items", arr);
    s.emit(out, &text_out);
    return kExitOk;
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command sign_batch_command = {
    "sign-batch",
    "sign a file of digests on all processors",
    "sign-batch [--scheme ecdsa|schnorr] [--key-file PATH] FILE",
    "Reads one item per line from FILE (\"-\" for stdin): SECKEY DIGEST, or DIGEST\n"
    "alone when --key-file gives one key for every line; Schnorr lines may end\n"
    "with 32 bytes of AUX randomness (default: fresh from the kernel). Fields are\n"
    "hex separated by spaces or tabs; blank lines and lines starting with '#' are\n"
    "skipped. The file may hold secret keys: the tool wipes its copies and never\n"
    "prints a key. ECDSA signatures are RFC 6979, low-S; Schnorr BIP-340. Every\n"
    "signature is verified before any is printed. The output is one line per\n"
    "item, PUBKEY DIGEST SIGNATURE (33-byte keys for ECDSA, x-only for Schnorr):\n"
    "the input of 'qorvex verify-batch'. Files of more than 65,536 items show\n"
    "their progress on stderr.",
    {key_file_option(), {"scheme", "NAME", "ecdsa (default) or schnorr (BIP-340)"}},
    "  $ qorvex sign-batch --scheme schnorr --key-file alice.key digests.txt > signed.txt\n"
    "  $ qorvex verify-batch --scheme schnorr signed.txt\n"
    "  all 1000 signatures valid\n",
    run_sign_batch,
    {},
    1,
    true,  // many signatures in one process: the library's default tables
};

}  // namespace qcli
