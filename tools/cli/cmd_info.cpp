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

int run_selftest(Session& s, const Args&) {
    // The first context of the process runs the library's own self-test; a
    // failure there ends the process before we get control back.
    const auto t0 = std::chrono::steady_clock::now();
    s.ctx();
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    Json out = Json::object();
    std::string text;
    char line[160];
    std::snprintf(line, sizeof line, "%-34s passed (run by the first context in %.2f s)\n", "library self-test", secs);
    text += line;
    out.set("library_selftest", "passed", "library self-test");
    out.set("context_seconds", secs);

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
    out.set("passed", failed == 0);
    const int total = static_cast<int>(sizeof kChecks / sizeof kChecks[0]);
    text += failed == 0 ? std::string("all ") + std::to_string(total) + " known-answer checks passed\n"
                        : std::to_string(failed) + " of " + std::to_string(total) + " checks FAILED\n";
    s.emit(out, &text);
    if (failed == 0) return kExitOk;
    std::fprintf(stderr, "%s: %d known-answer checks failed\n", s.command().c_str(), failed);
    return kExitLibrary;
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
    "selftest",
    "Creates a context, which runs the library's own self-test of its arithmetic\n"
    "(a failure there aborts the process), then checks known answers through the\n"
    "C interface: public keys of 1, n-1 and 2, refused keys, SHA-256, Keccak-256,\n"
    "an RFC 6979 ECDSA signature, verification and recovery, a BIP-340 Schnorr\n"
    "signature and an Ethereum address. Exits 3 if any check fails.",
    {},
    "  $ qorvex selftest\n",
    run_selftest,
};

}  // namespace qcli
