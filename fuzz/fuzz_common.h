// Shared pieces of the fuzz targets: reading fields off the input, the
// context, the independent oracle, and the check that stops a run.
//
// Every target checks properties beyond "no crash": round trips, agreement
// between exports, and, when the fuzz build links Bitcoin Core's
// libsecp256k1 (QORVEX_FUZZ_ORACLE), agreement with that independent
// implementation. The replay build (g++, ctest) has no oracle and checks the
// rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qorvex.h"

#if QORVEX_FUZZ_ORACLE
#include <secp256k1.h>
#include <secp256k1_extrakeys.h>
#include <secp256k1_recovery.h>
#include <secp256k1_schnorrsig.h>
#endif

namespace qorvex::fuzz {

template <typename... F>
constexpr size_t count_exports(F*...) {
    return sizeof...(F);
}

// The exports a target drives; the guard test reads these lists, and naming
// the functions themselves makes a misspelt name fail to compile.
#define QORVEX_FUZZ_EXPORTS(...) \
    [[maybe_unused]] constexpr size_t kFuzzedExportCount = ::qorvex::fuzz::count_exports(__VA_ARGS__)

// The group order n, big-endian.
inline constexpr uint8_t kOrder[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xBA, 0xAE, 0xDC, 0xE6, 0xAF, 0x48,
                                       0xA0, 0x3B, 0xBF, 0xD2, 0x5E, 0x8C, 0xD0, 0x36, 0x41, 0x41};

// A property failed: say which and stop, so that the fuzzer keeps the input.
[[noreturn]] inline void mismatch(const char* what, const char* file, int line) {
    std::fprintf(stderr, "MISMATCH %s:%d: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(cond)                                                \
    do {                                                                \
        if (!(cond)) ::qorvex::fuzz::mismatch(#cond, __FILE__, __LINE__); \
    } while (0)

// Reads fixed-size fields off the front of the input; a field past the end
// reads as zeros, so every input length means something.
class Input {
public:
    Input(const uint8_t* data, size_t size) : p_(data), left_(size) {}

    void bytes(uint8_t* out, size_t n) {
        const size_t k = n < left_ ? n : left_;
        if (k) std::memcpy(out, p_, k);
        if (k < n) std::memset(out + k, 0, n - k);
        p_ += k;
        left_ -= k;
    }
    uint8_t byte() {
        uint8_t b;
        bytes(&b, 1);
        return b;
    }
    uint64_t u64() {
        uint8_t b[8];
        bytes(b, 8);
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
        return v;
    }
    // What is left, all of it.
    const uint8_t* rest() const { return p_; }
    size_t rest_size() const { return left_; }

private:
    const uint8_t* p_;
    size_t left_;
};

// Flips bits of buf chosen by the input: pairs (position, xor mask) until
// the input runs out. Lets a target start from a valid object (a fresh
// signature) and reach the inputs just next to it.
inline void tamper(Input& in, uint8_t* buf, size_t n) {
    while (in.rest_size() >= 2) {
        const size_t pos = in.byte() % n;
        buf[pos] ^= in.byte();
    }
}

// The library needs a context, and small generator tables keep start-up
// quick; both are set up once per process.
inline qorvex_ctx* ctx() {
    static qorvex_ctx* c = [] {
        setenv("SECP256K1_WINDOW_BITS", "8", 0);
        qorvex_ctx* made = nullptr;
        if (qorvex_ctx_create(&made) != QORVEX_OK) std::abort();
        return made;
    }();
    return c;
}

#if QORVEX_FUZZ_ORACLE
inline const secp256k1_context* oracle() {
    static secp256k1_context* c = secp256k1_context_create(SECP256K1_CONTEXT_SIGN | SECP256K1_CONTEXT_VERIFY);
    return c;
}

// The oracle's compressed encoding of a parsed key.
inline void oracle_compressed(const secp256k1_pubkey& pk, uint8_t out33[33]) {
    size_t len = 33;
    secp256k1_ec_pubkey_serialize(oracle(), out33, &len, &pk, SECP256K1_EC_COMPRESSED);
}
#endif

}  // namespace qorvex::fuzz
