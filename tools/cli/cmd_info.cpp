// version and selftest.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

int run_version(Session& s, const Args&) {
    Json out = Json::object();
    out.set("tool", QORVEX_CLI_VERSION);
    out.set("library", qorvex_version_string());
    out.set("library_abi", qorvex_abi_version(), "library ABI");
    out.set("header", QORVEX_VERSION_STRING);
    out.set("header_abi", QORVEX_ABI_VERSION, "header ABI");
    out.set("table_cache", table_cache_location());
    if (qorvex_abi_version() != QORVEX_ABI_VERSION) {
        std::fprintf(stderr, "%s: warning: built against ABI %d but running with ABI %d\n", s.command().c_str(),
                     QORVEX_ABI_VERSION, qorvex_abi_version());
    }
    s.emit(out);
    return kExitOk;
}

// ---------------------------------------------------------------------------
// Known answers, each computed through the C interface.

struct Check {
    const char* name;
    const char* expected;
    std::string (*compute)(Session&);
};

void hex32(const char* h, uint8_t out[32]) { parse_hex_exact(h, out, 32, "constant"); }

std::string result_or_error(Session& s, int rc, const uint8_t* p, size_t n) {
    if (rc != QORVEX_OK) return std::string("error ") + std::to_string(rc) + ": " + s.library_message(rc);
    return to_hex(p, n);
}

std::string pubkey_of(Session& s, const char* key_hex, bool compressed) {
    SecretKey key;
    hex32(key_hex, key.bytes);
    uint8_t out[65];
    const int rc = compressed ? qorvex_pubkey_create(s.ctx(), key.bytes, out)
                              : qorvex_pubkey_create_uncompressed(s.ctx(), key.bytes, out);
    return result_or_error(s, rc, out, compressed ? 33 : 65);
}

const char* const kOne = "0000000000000000000000000000000000000000000000000000000000000001";
const char* const kNMinus1 = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140";
const char* const kOrder = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141";
// RFC 6979 on secp256k1, the "sample" case.
const char* const kSampleKey = "cca9fbcc1b41e5a95d369eaa6ddcff73b61a4efaa279cfc6567e8daa39cbaf50";

std::string sample_signature(Session& s, uint8_t sig[64]) {
    SecretKey key;
    hex32(kSampleKey, key.bytes);
    uint8_t digest[32];
    qorvex_sha256(reinterpret_cast<const uint8_t*>("sample"), 6, digest);
    return result_or_error(s, qorvex_ecdsa_sign(s.ctx(), digest, key.bytes, sig), sig, 64);
}

const Check kChecks[] = {
    {"public key of 1 is G", "0279be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
     [](Session& s) { return pubkey_of(s, kOne, true); }},
    {"public key of n-1 is -G", "0379be667ef9dcbbac55a06295ce870b07029bfcdb2dce28d959f2815b16f81798",
     [](Session& s) { return pubkey_of(s, kNMinus1, true); }},
    {"uncompressed public key of 2",
     "04c6047f9441ed7d6d3045406e95c07cd85c778e4b8cef3ca7abac09b95c709ee5"
     "1ae168fea63dc339a3c58419466ceaeef7f632653266d0e1236431a950cfe52a",
     [](Session& s) { return pubkey_of(s, "0000000000000000000000000000000000000000000000000000000000000002", false); }},
    {"keys 0 and n are refused", "refused",
     [](Session& s) {
         uint8_t zero[32] = {}, n[32];
         hex32(kOrder, n);
         const bool refused = qorvex_seckey_verify(s.ctx(), zero) == QORVEX_ERR_BAD_KEY &&
                              qorvex_seckey_verify(s.ctx(), n) == QORVEX_ERR_BAD_KEY;
         return std::string(refused ? "refused" : "accepted");
     }},
    {"SHA-256 of \"abc\"", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
     [](Session& s) {
         uint8_t d[32];
         return result_or_error(s, qorvex_sha256(reinterpret_cast<const uint8_t*>("abc"), 3, d), d, 32);
     }},
    {"Keccak-256 of \"\"", "c5d2460186f7233c927e7db2dcc703c0e500b653ca82273b7bfad8045d85a470",
     [](Session& s) {
         uint8_t d[32];
         return result_or_error(s, qorvex_keccak256(nullptr, 0, d), d, 32);
     }},
    {"ECDSA, RFC 6979 \"sample\"",
     "af340daf02cc15c8d5d08d7735dfe6b98a474ed373bdb5fbecf7571be52b3842"
     "5009fb27f37034a9b24b707b7c6b79ca23ddef9e25f7282e8a797efe53a8f124",
     [](Session& s) {
         uint8_t sig[64];
         return sample_signature(s, sig);
     }},
    {"ECDSA verify and recover", "verified, key recovered",
     [](Session& s) {
         uint8_t sig[64], digest[32], pub[33], back[33];
         SecretKey key;
         hex32(kSampleKey, key.bytes);
         qorvex_sha256(reinterpret_cast<const uint8_t*>("sample"), 6, digest);
         int recid = 0;
         int rc = qorvex_ecdsa_sign_recoverable(s.ctx(), digest, key.bytes, sig, &recid);
         if (rc == QORVEX_OK) rc = qorvex_pubkey_create(s.ctx(), key.bytes, pub);
         if (rc == QORVEX_OK) rc = qorvex_ecdsa_verify(s.ctx(), digest, sig, pub);
         if (rc == QORVEX_OK) rc = qorvex_ecdsa_recover(s.ctx(), digest, sig, recid, back);
         if (rc != QORVEX_OK) return result_or_error(s, rc, nullptr, 0);
         return std::string(std::memcmp(pub, back, 33) == 0 ? "verified, key recovered" : "another key recovered");
     }},
    {"Schnorr, BIP-340 vector 0",
     "e907831f80848d1069a5371b402410364bdf1c5f8307b0084c55f1ce2dca8215"
     "25f66a4a85ea8b71e482a74f382d2ce5ebeee8fdb2172f477df4900d310536c0",
     [](Session& s) {
         SecretKey key;
         hex32("0000000000000000000000000000000000000000000000000000000000000003", key.bytes);
         const uint8_t zero[32] = {};
         uint8_t sig[64];
         return result_or_error(s, qorvex_schnorr_sign(s.ctx(), zero, key.bytes, zero, sig), sig, 64);
     }},
    {"Ethereum address of key 1", "0x7E5F4552091A69125d5DfCb7b8C2659029395Bdf",
     [](Session& s) {
         uint8_t pub[33];
         char text[43];
         size_t len = sizeof text;
         SecretKey key;
         hex32(kOne, key.bytes);
         int rc = qorvex_pubkey_create(s.ctx(), key.bytes, pub);
         if (rc == QORVEX_OK) rc = qorvex_eth_address_checksummed(s.ctx(), pub, text, &len);
         if (rc != QORVEX_OK) return result_or_error(s, rc, nullptr, 0);
         return std::string(text, len);
     }},
};

struct Mode {
    const char* name;
    int value;
};
const Mode kModes[] = {
    {"smoke", QORVEX_SELFTEST_SMOKE},
    {"ci", QORVEX_SELFTEST_CI},
    {"stress", QORVEX_SELFTEST_STRESS},
};

const Mode& selftest_mode(const Args& args) {
    const char* m = args.get("mode");
    if (!m) return kModes[1];
    for (const Mode& mode : kModes) {
        if (std::strcmp(mode.name, m) == 0) return mode;
    }
    usage_error(std::string("--mode: expected smoke, ci or stress, got \"") + m + "\"");
}

// A seed in decimal, or in hex after 0x (as the report's Repro line shows it).
uint64_t selftest_seed(const Args& args) {
    const char* t = args.get("seed");
    if (!t) return 0;
    if (t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        const std::string h = t + 2;
        if (h.empty() || h.size() > 16 || h.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            usage_error(std::string("--seed: expected up to 16 hex digits after 0x, got \"") + t + "\"");
        return std::strtoull(h.c_str(), nullptr, 16);
    }
    return parse_u64(t, "--seed");
}

int run_selftest(Session& s, const Args& args) {
    const Mode& mode = selftest_mode(args);
    const uint64_t seed = selftest_seed(args);
    const bool verbose = args.has("verbose");
    if (verbose && s.json()) usage_error("--verbose prints the library's report as text; it cannot go with --json");

    // The first context of the process runs the library's own self-test in
    // ci mode; a failure there ends the process before we get control back.
    const auto t0 = std::chrono::steady_clock::now();
    s.ctx();
    const auto t1 = std::chrono::steady_clock::now();
    // Then the depth asked for, with the report when asked for.
    std::fflush(stdout);
    uint32_t run = 0, passed = 0;
    const int rc = qorvex_selftest_run(mode.value, verbose ? 1 : 0, seed, &run, &passed);
    const auto t2 = std::chrono::steady_clock::now();
    if (rc != QORVEX_OK && rc != QORVEX_ERR_SELFTEST) s.check(rc);
    const double context_secs = std::chrono::duration<double>(t1 - t0).count();
    const double selftest_secs = std::chrono::duration<double>(t2 - t1).count();

    Json out = Json::object();
    std::string text;
    char line[160];
    std::snprintf(line, sizeof line, "%-34s %u/%u tests passed (%s mode, %.3f s)\n", "library self-test", passed, run,
                  mode.name, selftest_secs);
    text += line;
    out.set("library_selftest", rc == QORVEX_OK ? "passed" : "failed", "library self-test");
    out.set("mode", mode.name);
    char seed_text[24];
    std::snprintf(seed_text, sizeof seed_text, "0x%016llx", static_cast<unsigned long long>(seed));
    out.set("seed", seed == 0 ? "default" : seed_text);
    out.set("tests_run", run);
    out.set("tests_passed", passed);
    out.set("selftest_seconds", selftest_secs);
    out.set("context_seconds", context_secs);

    Json checks = Json::array();
    int failed = 0;
    for (const Check& c : kChecks) {
        const std::string got = c.compute(s);
        const bool ok = got == c.expected;
        failed += !ok;
        Json j = Json::object();
        j.set("name", c.name);
        j.set("ok", ok);
        j.set("expected", c.expected);
        j.set("got", got);
        checks.push(j);
        std::snprintf(line, sizeof line, "%-34s %s\n", c.name, ok ? "ok" : "FAILED");
        text += line;
        if (!ok) text += "    expected " + std::string(c.expected) + "\n    got      " + got + "\n";
    }
    out.set("checks", checks);
    out.set("passed", failed == 0 && rc == QORVEX_OK);
    const int total = static_cast<int>(sizeof kChecks / sizeof kChecks[0]);
    text += failed == 0 ? std::string("all ") + std::to_string(total) + " known-answer checks passed\n"
                        : std::to_string(failed) + " of " + std::to_string(total) + " checks FAILED\n";
    s.emit(out, &text);
    if (rc != QORVEX_OK)
        std::fprintf(stderr, "%s: %u of %u library self-test tests failed\n", s.command().c_str(), run - passed, run);
    if (failed != 0) std::fprintf(stderr, "%s: %d known-answer checks failed\n", s.command().c_str(), failed);
    return failed == 0 && rc == QORVEX_OK ? kExitOk : kExitLibrary;
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command version_command = {
    "version",
    "versions of the tool and the library, and where tables are cached",
    "version",
    "Prints the tool's version, the version and ABI of the library it runs with\n"
    "and of the header it was built against, and the generator-table cache\n"
    "location (see ENVIRONMENT in docs/cli.md). 'qorvex --version' is the same.",
    {},
    "  $ qorvex version\n",
    run_version,
};

// Listed in the command table (commands.cpp).
extern const Command selftest_command = {
    "selftest",
    "run the library's self-test and known-answer checks",
    "selftest [--mode smoke|ci|stress] [--verbose] [--seed N]",
    "Creates a context, which runs the library's own self-test in ci mode (a\n"
    "failure there aborts the process), then runs the self-test again at the\n"
    "depth asked for: smoke (25 tests: known multiples of G, the group law,\n"
    "field and scalar identities), ci (40: also the generic multiplication\n"
    "routes, batch inversion, random laws and the vector file named by\n"
    "SECP256K1_SELFTEST_VECTORS) or stress (44: the same laws over thousands\n"
    "of random values). --verbose prints the library's report; --seed repeats\n"
    "a run with the seed its report shows. Then checks known answers through\n"
    "the C interface: public keys of 1, n-1 and 2, refused keys, SHA-256,\n"
    "Keccak-256, an RFC 6979 ECDSA signature, verification and recovery, a\n"
    "BIP-340 Schnorr signature and an Ethereum address. Exits 3 if any test or\n"
    "check fails.",
    {
        {"mode", "MODE", "smoke, ci (the default) or stress"},
        {"verbose", nullptr, "print the library's self-test report (not with --json)"},
        {"seed", "N", "the seed of the randomised tests, decimal or 0x-hex (default: the library's)"},
    },
    "  $ qorvex selftest\n"
    "  $ qorvex selftest --mode stress --verbose\n",
    run_selftest,
};

}  // namespace qcli
