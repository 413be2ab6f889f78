// bench: a quick table of operations per second through the C interface.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

// Inputs shared by the operations; each operation varies its input by the
// iteration number where that keeps the library from seeing the same call.
struct Bench {
    explicit Bench(Session& session) : s(session) {}
    Session& s;
    SecretKey key;
    uint8_t pub[33] = {};
    uint8_t xonly[32] = {};
    uint8_t digest[32] = {};
    uint8_t sig[64] = {};
    int recid = 0;
    uint8_t schnorr_sig[64] = {};
    uint8_t aux[32] = {};
    uint8_t data[64] = {};
    uint8_t out[65] = {};
};

void must(Bench& b, int rc) { b.s.check(rc); }

void vary(uint8_t* p, uint64_t i) { std::memcpy(p, &i, sizeof i); }

struct Operation {
    const char* name;
    void (*once)(Bench&, uint64_t i);
};

const Operation kOperations[] = {
    {"pubkey create", [](Bench& b, uint64_t) { must(b, qorvex_pubkey_create(b.s.ctx(), b.key.bytes, b.out)); }},
    {"ECDSA sign",
     [](Bench& b, uint64_t i) {
         uint8_t d[32];
         std::memcpy(d, b.digest, 32);
         vary(d, i);
         must(b, qorvex_ecdsa_sign(b.s.ctx(), d, b.key.bytes, b.out));
     }},
    {"ECDSA verify", [](Bench& b, uint64_t) { must(b, qorvex_ecdsa_verify(b.s.ctx(), b.digest, b.sig, b.pub)); }},
    {"ECDSA recover",
     [](Bench& b, uint64_t) { must(b, qorvex_ecdsa_recover(b.s.ctx(), b.digest, b.sig, b.recid, b.out)); }},
    {"Schnorr sign",
     [](Bench& b, uint64_t i) {
         uint8_t d[32];
         std::memcpy(d, b.digest, 32);
         vary(d, i);
         must(b, qorvex_schnorr_sign(b.s.ctx(), d, b.key.bytes, b.aux, b.out));
     }},
    {"Schnorr verify",
     [](Bench& b, uint64_t) { must(b, qorvex_schnorr_verify(b.s.ctx(), b.digest, b.schnorr_sig, b.xonly)); }},
    {"ECDH", [](Bench& b, uint64_t) { must(b, qorvex_ecdh(b.s.ctx(), b.key.bytes, b.pub, b.out)); }},
    {"ECIES encrypt (64 B)",
     [](Bench& b, uint64_t) {
         uint8_t env[64 + QORVEX_ECIES_OVERHEAD];
         size_t len = sizeof env;
         must(b, qorvex_ecies_encrypt(b.s.ctx(), b.pub, b.data, 64, env, &len));
     }},
    {"SHA-256 (64 B)", [](Bench& b, uint64_t) { must(b, qorvex_sha256(b.data, 64, b.out)); }},
    {"Keccak-256 (64 B)", [](Bench& b, uint64_t) { must(b, qorvex_keccak256(b.data, 64, b.out)); }},
};

constexpr size_t kOperationCount = sizeof kOperations / sizeof kOperations[0];

std::string grouped(double v) {
    const std::string digits = std::to_string(static_cast<unsigned long long>(v + 0.5));
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

int run_bench(Session& s, const Args& args) {
    double total = 3.0;
    if (const char* t = args.get("seconds")) {
        char* end = nullptr;
        total = std::strtod(t, &end);
        if (end == t || *end != '\0' || !(total > 0) || total > 600) {
            usage_error(std::string("--seconds: expected a number of seconds up to 600, got \"") + t + "\"");
        }
    }
    const bool progress = !args.has("quiet");
    const bool tty = ::isatty(STDERR_FILENO) != 0;
    const double budget = total / kOperationCount;

    if (progress) std::fprintf(stderr, "bench: preparing the library context\n");
    Bench b(s);
    for (int i = 0; i < 32; ++i) b.key.bytes[i] = static_cast<uint8_t>(0x42 + 7 * i);
    for (int i = 0; i < 32; ++i) b.digest[i] = static_cast<uint8_t>(0x99 ^ (3 * i));
    for (int i = 0; i < 64; ++i) b.data[i] = static_cast<uint8_t>(i);
    s.check(qorvex_seckey_verify(s.ctx(), b.key.bytes));
    s.check(qorvex_pubkey_create(s.ctx(), b.key.bytes, b.pub));
    s.check(qorvex_pubkey_xonly(s.ctx(), b.key.bytes, b.xonly));
    s.check(qorvex_ecdsa_sign_recoverable(s.ctx(), b.digest, b.key.bytes, b.sig, &b.recid));
    s.check(qorvex_schnorr_sign(s.ctx(), b.digest, b.key.bytes, b.aux, b.schnorr_sig));

    Json results = Json::array();
    std::string text = "operation               ops/s       us/op\n";
    using clock = std::chrono::steady_clock;
    for (size_t k = 0; k < kOperationCount; ++k) {
        const Operation& op = kOperations[k];
        if (progress) {
            std::fprintf(stderr, tty ? "\r\033[Kbench: [%zu/%zu] %s" : "bench: [%zu/%zu] %s\n", k + 1,
                         kOperationCount, op.name);
        }
        op.once(b, 0);  // warm up (the first signature builds the comb table)
        uint64_t iterations = 0, batch = 1;
        const auto t0 = clock::now();
        double elapsed = 0;
        for (;;) {
            for (uint64_t i = 0; i < batch; ++i) op.once(b, iterations + i);
            iterations += batch;
            elapsed = std::chrono::duration<double>(clock::now() - t0).count();
            if (elapsed >= budget) break;
            // Double the batch, but aim to end near the budget.
            const double left = (budget - elapsed) * iterations / elapsed;
            batch = std::min<uint64_t>(batch * 2, static_cast<uint64_t>(left) + 1);
        }
        const double rate = iterations / elapsed;
        Json r = Json::object();
        r.set("operation", op.name);
        r.set("ops_per_second", static_cast<uint64_t>(rate + 0.5));
        r.set("microseconds_per_op", 1e6 / rate);
        r.set("iterations", iterations);
        results.push(r);
        char line[96];
        std::snprintf(line, sizeof line, "%-18s %12s %11.2f\n", op.name, grouped(rate).c_str(), 1e6 / rate);
        text += line;
    }
    if (progress) std::fprintf(stderr, tty ? "\r\033[Kbench: done\n" : "bench: done\n");

    Json out = Json::object();
    out.set("seconds", total);
    out.set("results", results);
    s.emit(out, &text);
    return kExitOk;
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command bench_command = {
    "bench",
    "operations per second of the main operations (a few seconds)",
    "bench [--seconds S] [--quiet]",
    "Times public-key creation, ECDSA signing, verification and recovery,\n"
    "Schnorr signing and verification, ECDH, ECIES encryption of 64 bytes, and\n"
    "SHA-256 and Keccak-256 of 64 bytes, on one thread, and prints operations per\n"
    "second and microseconds per operation.\n"
    "Progress goes to stderr. The whole run takes about --seconds (default 3),\n"
    "after the context is ready. Unlike the one-shot commands it uses the\n"
    "library's default generator tables (255 MB, cached on disk), as a long-running\n"
    "application would; SECP256K1_WINDOW_BITS chooses others.",
    {
        {"seconds", "S", "time budget for all operations together (default 3)"},
        {"quiet", nullptr, "no progress on stderr"},
    },
    "  $ qorvex bench\n",
    run_bench,
    {},
    0,
    true,  // timed in the library's default setting, as an application runs it
};

}  // namespace qcli
