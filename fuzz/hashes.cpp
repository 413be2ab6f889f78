// The hash exports on untrusted bytes: every streaming split gives the
// one-shot digest, the SHA-256 back ends agree, the composite hashes are
// what they are built from, and the tagged hash matches the oracle's.
//
// Input: a tag length byte (0..63), the tag, split points (2 bytes), then
// the data (the rest).
#include <string>

#include "fuzz_common.h"
#include "hash/keccak.h"
#include "hash/ripemd160.h"
#include "hash/sha256.h"
#include "hash/sha512.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_sha256, qorvex_tagged_hash, qorvex_sha512, qorvex_hash160, qorvex_keccak256);

namespace {

// The data in three pieces cut at a and b (both reduced into range).
template <typename Update>
void in_three(const uint8_t* d, size_t n, size_t a, size_t b, Update update) {
    a = n ? a % (n + 1) : 0;
    b = n ? b % (n + 1) : 0;
    if (a > b) std::swap(a, b);
    update(d, a);
    update(d + a, b - a);
    update(d + b, n - b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qorvex;
    static const uint8_t kEmpty[1] = {0};
    Input in(data ? data : kEmpty, size);
    std::string tag(in.byte() % 64, '\0');
    in.bytes(reinterpret_cast<uint8_t*>(tag.data()), tag.size());
    tag = tag.c_str();  // the export reads a NUL-terminated text
    const size_t a = in.byte() * 7u, b = in.byte() * 13u;
    const uint8_t* d = in.rest_size() ? in.rest() : kEmpty;
    const size_t n = in.rest_size();

    // SHA-256: one-shot export, streaming on each back end.
    uint8_t h256[32], t[32];
    FUZZ_CHECK(qorvex_sha256(d, n, h256) == QORVEX_OK);
    for (const auto backend : {sha256_detail::Backend::Portable, sha256_detail::Backend::Shani}) {
        if (backend == sha256_detail::Backend::Shani && !sha256_detail::shani_available()) continue;
        Sha256Context ctx;
        sha256_init(ctx);
        in_three(d, n, a, b, [&](const uint8_t* p, size_t len) { sha256_detail::update_with(backend, ctx, p, len); });
        sha256_detail::final_with(backend, ctx, t);
        FUZZ_CHECK(std::memcmp(t, h256, 32) == 0);
    }

    // Tagged hash: SHA-256(SHA-256(tag) || SHA-256(tag) || data).
    uint8_t tagged[32];
    FUZZ_CHECK(qorvex_tagged_hash(tag.c_str(), d, n, tagged) == QORVEX_OK);
    {
        uint8_t th[32];
        sha256(reinterpret_cast<const uint8_t*>(tag.data()), tag.size(), th);
        Sha256Context ctx;
        sha256_init(ctx);
        sha256_update(ctx, th, 32);
        sha256_update(ctx, th, 32);
        sha256_update(ctx, d, n);
        sha256_final(ctx, t);
        FUZZ_CHECK(std::memcmp(t, tagged, 32) == 0);
    }

    // SHA-512 and Keccak-256: streaming equals one-shot.
    uint8_t h512[64], t512[64];
    FUZZ_CHECK(qorvex_sha512(d, n, h512) == QORVEX_OK);
    {
        Sha512Context ctx;
        sha512_init(ctx);
        in_three(d, n, a, b, [&](const uint8_t* p, size_t len) { sha512_update(ctx, p, len); });
        sha512_final(ctx, t512);
        FUZZ_CHECK(std::memcmp(t512, h512, 64) == 0);
    }
    uint8_t k256[32];
    FUZZ_CHECK(qorvex_keccak256(d, n, k256) == QORVEX_OK);
    {
        KeccakContext ctx;
        keccak256_init(ctx);
        in_three(d, n, a, b, [&](const uint8_t* p, size_t len) { keccak256_update(ctx, p, len); });
        keccak256_final(ctx, t);
        FUZZ_CHECK(std::memcmp(t, k256, 32) == 0);
    }

    // Hash160: RIPEMD-160 of the SHA-256, with RIPEMD-160 streamed.
    uint8_t h160[20], t160[20];
    FUZZ_CHECK(qorvex_hash160(d, n, h160) == QORVEX_OK);
    {
        Ripemd160Context ctx;
        ripemd160_init(ctx);
        in_three(h256, 32, a, b, [&](const uint8_t* p, size_t len) { ripemd160_update(ctx, p, len); });
        ripemd160_final(ctx, t160);
        FUZZ_CHECK(std::memcmp(t160, h160, 20) == 0);
    }

#if QORVEX_FUZZ_ORACLE
    FUZZ_CHECK(secp256k1_tagged_sha256(oracle(), t, reinterpret_cast<const uint8_t*>(tag.data()), tag.size(), d,
                                       n) == 1);
    FUZZ_CHECK(std::memcmp(t, tagged, 32) == 0);
#endif
    return 0;
}
