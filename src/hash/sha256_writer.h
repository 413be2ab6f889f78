// SHA-256 fed in many small pieces: transaction digests hash thousands of
// 4-, 8-, 32- and 36-byte fields, where the per-call cost of sha256_update
// would rival the compression itself. The writer stores each piece straight
// into a buffer of eight blocks and compresses them eight at a time, so a
// small piece costs one short copy and one comparison; pieces longer than a
// block are compressed from the caller's memory without a copy.
//
// The result equals sha256() of the concatenated pieces. Meant for public
// data: the buffer is not wiped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "hash/sha256.h"
#include "support/bytes.h"

namespace qorvex {

class Sha256Writer {
public:
    Sha256Writer() { std::memcpy(state_, kSha256Init, sizeof state_); }

    // Continues the hash held by ctx (a tag midstate, for example).
    explicit Sha256Writer(const Sha256Context& ctx)
        : total_(ctx.total - ctx.buffered), pos_(static_cast<size_t>(ctx.buffered)) {
        std::memcpy(state_, ctx.state, sizeof state_);
        std::memcpy(buf_, ctx.block, pos_);
    }

    void put(const uint8_t* p, size_t n) {
        if (n <= kSmall) {
            copy_small(buf_ + pos_, p, n);
            pos_ += n;
            if (pos_ >= kFlushAt) flush();
        } else {
            put_large(p, n);
        }
    }

    void put_byte(uint8_t b) { put(&b, 1); }
    void put_le32(uint32_t v) {
        uint8_t b[4];
        store_le32(b, v);
        put(b, 4);
    }
    void put_le64(uint64_t v) {
        uint8_t b[8];
        store_le64(b, v);
        put(b, 8);
    }

    // Bytes absorbed so far.
    uint64_t size() const { return total_ + pos_; }

    // SHA-256 of everything put.
    void finish(uint8_t out32[32]) {
        Sha256Context ctx;
        const size_t whole = pos_ / 64;
        if (whole > 0) sha256_detail::compress_blocks(state_, buf_, whole);
        std::memcpy(ctx.state, state_, sizeof state_);
        ctx.buffered = pos_ - 64 * whole;
        std::memcpy(ctx.block, buf_ + 64 * whole, static_cast<size_t>(ctx.buffered));
        ctx.total = total_ + pos_;
        sha256_final(ctx, out32);
    }

    // SHA-256 of the SHA-256 of everything put.
    void finish_double(uint8_t out32[32]) {
        uint8_t first[32];
        finish(first);
        sha256(first, 32, out32);
    }

private:
    static constexpr size_t kFlushAt = 8 * 64;
    static constexpr size_t kSmall = 64;

    // n <= 64 bytes without a library call: two overlapping fixed-size
    // copies cover every length of a size class.
    static void copy_small(uint8_t* d, const uint8_t* s, size_t n) {
        if (n >= 32) {
            std::memcpy(d, s, 32);
            std::memcpy(d + n - 32, s + n - 32, 32);
        } else if (n >= 16) {
            std::memcpy(d, s, 16);
            std::memcpy(d + n - 16, s + n - 16, 16);
        } else if (n >= 8) {
            std::memcpy(d, s, 8);
            std::memcpy(d + n - 8, s + n - 8, 8);
        } else if (n >= 4) {
            std::memcpy(d, s, 4);
            std::memcpy(d + n - 4, s + n - 4, 4);
        } else if (n > 0) {
            d[0] = s[0];
            d[n - 1] = s[n - 1];
            d[n / 2] = s[n / 2];
        }
    }

    // Compresses the whole buffered blocks; the partial one moves to the
    // front (it is shorter than the 512 bytes before it, so no overlap).
    void flush() {
        const size_t whole = pos_ / 64;
        sha256_detail::compress_blocks(state_, buf_, whole);
        total_ += 64 * whole;
        pos_ -= 64 * whole;
        std::memcpy(buf_, buf_ + 64 * whole, pos_);
    }

    void put_large(const uint8_t* p, size_t n) {
        // Complete the partial block, compress all that is buffered, then
        // the caller's whole blocks in place; keep the tail.
        const size_t fill = (64 - pos_ % 64) % 64;
        std::memcpy(buf_ + pos_, p, fill);
        pos_ += fill;
        p += fill;
        n -= fill;
        if (pos_ > 0) {
            sha256_detail::compress_blocks(state_, buf_, pos_ / 64);
            total_ += pos_;
            pos_ = 0;
        }
        const size_t whole = n / 64;
        if (whole > 0) {
            sha256_detail::compress_blocks(state_, p, whole);
            total_ += 64 * whole;
            p += 64 * whole;
            n -= 64 * whole;
        }
        std::memcpy(buf_, p, n);
        pos_ = n;
    }

    uint32_t state_[8];
    uint64_t total_ = 0;  // bytes compressed into state_
    size_t pos_ = 0;      // bytes waiting in buf_; below kFlushAt between calls
    alignas(16) uint8_t buf_[kFlushAt + kSmall];
};

}  // namespace qorvex
