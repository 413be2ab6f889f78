// SHA-256 streaming (update, FIPS 180-4 padding) and the choice of the
// compression back end.
#include "hash/sha256.h"

#include <cstring>

#include "support/bytes.h"
#include "support/cpu.h"
#include "support/wipe.h"

namespace qorvex {

namespace sha256_detail {

const bool sha_ni_available = QORVEX_HAVE_SHANI_BACKEND && cpu_features().sha;

bool shani_available() { return QORVEX_HAVE_SHANI_BACKEND && cpu_features().sha; }

void compress_blocks(uint32_t state[8], const uint8_t* blocks, size_t nblocks) {
#if defined(QORVEX_SHA256_BACKEND_SHANI)
    compress_shani(state, blocks, nblocks);
#elif QORVEX_HAVE_SHANI_BACKEND && !defined(QORVEX_SHA256_BACKEND_PORTABLE)
    if (sha_ni_available)
        compress_shani(state, blocks, nblocks);
    else
        compress_portable(state, blocks, nblocks);
#else
    compress_portable(state, blocks, nblocks);
#endif
}

namespace {

template <CompressFn Compress>
void update_impl(Sha256Context& ctx, const uint8_t* data, size_t len) {
    if (len == 0) return;
    ctx.total += len;
    if (ctx.buffered > 0) {
        const size_t room = 64 - ctx.buffered;
        if (len < room) {
            std::memcpy(ctx.block + ctx.buffered, data, len);
            ctx.buffered += len;
            return;
        }
        std::memcpy(ctx.block + ctx.buffered, data, room);
        Compress(ctx.state, ctx.block, 1);
        ctx.buffered = 0;
        data += room;
        len -= room;
    }
    // Whole blocks straight from the caller's memory, in one call so that
    // the hardware back end keeps the state in registers between blocks.
    const size_t whole = len / 64;
    if (whole > 0) {
        Compress(ctx.state, data, whole);
        data += 64 * whole;
        len -= 64 * whole;
    }
    if (len > 0) std::memcpy(ctx.block, data, len);
    ctx.buffered = len;
}

template <CompressFn Compress>
void final_impl(Sha256Context& ctx, uint8_t out32[32]) {
    size_t used = ctx.buffered;
    ctx.block[used++] = 0x80;
    // The 8-byte length needs bytes 56..63; when the 0x80 byte took one of
    // them, the length goes into a block of its own.
    if (used > 56) {
        std::memset(ctx.block + used, 0, 64 - used);
        Compress(ctx.state, ctx.block, 1);
        used = 0;
    }
    std::memset(ctx.block + used, 0, 56 - used);
    store_be64(ctx.block + 56, ctx.total * 8);
    Compress(ctx.state, ctx.block, 1);
    store_state(out32, ctx.state);
    secure_wipe(&ctx, sizeof(ctx));
}

#if QORVEX_HAVE_SHANI_BACKEND
// Without the hardware back end compiled in, a request for it falls back to
// the portable one; both compute the same function.
constexpr CompressFn kShani = compress_shani;
#else
constexpr CompressFn kShani = compress_portable;
#endif

}  // namespace

void update_with(Backend backend, Sha256Context& ctx, const uint8_t* data, size_t len) {
    if (backend == Backend::Shani)
        update_impl<kShani>(ctx, data, len);
    else
        update_impl<compress_portable>(ctx, data, len);
}

void final_with(Backend backend, Sha256Context& ctx, uint8_t out32[32]) {
    if (backend == Backend::Shani)
        final_impl<kShani>(ctx, out32);
    else
        final_impl<compress_portable>(ctx, out32);
}

}  // namespace sha256_detail

void sha256_init(Sha256Context& ctx) {
    std::memcpy(ctx.state, kSha256Init, sizeof(ctx.state));
    ctx.buffered = 0;
    ctx.total = 0;
}

void sha256_update(Sha256Context& ctx, const uint8_t* data, size_t len) {
    sha256_detail::update_impl<sha256_detail::compress_blocks>(ctx, data, len);
}

void sha256_final(Sha256Context& ctx, uint8_t out32[32]) {
    sha256_detail::final_impl<sha256_detail::compress_blocks>(ctx, out32);
}

void sha256(const uint8_t* data, size_t len, uint8_t out32[32]) {
    Sha256Context ctx;
    sha256_init(ctx);
    sha256_update(ctx, data, len);
    sha256_final(ctx, out32);
}

void sha256_compress(uint32_t state[8], const uint8_t block[64]) { sha256_detail::compress_blocks(state, block, 1); }

const char* sha256_backend_name() {
#if defined(QORVEX_SHA256_BACKEND_SHANI)
    return "shani";
#elif defined(QORVEX_SHA256_BACKEND_PORTABLE)
    return "portable";
#else
    return sha256_detail::sha_ni_available ? "shani" : "portable";
#endif
}

}  // namespace qorvex
