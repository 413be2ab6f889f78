// A heap buffer for secrets whose size is known only at run time (a
// mnemonic, a normalised passphrase). Its size is fixed when it is made, so
// no reallocation ever leaves a copy behind, and it is wiped before it is
// freed. Making one throws std::bad_alloc like any allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "support/wipe.h"

namespace qorvex {

class SecretBuffer {
public:
    SecretBuffer() = default;
    explicit SecretBuffer(size_t n) : p_(n ? new uint8_t[n]() : nullptr), n_(n), cap_(n) {}
    // A copy of len bytes (src may be NULL when len is 0).
    SecretBuffer(const uint8_t* src, size_t len) : SecretBuffer(len) {
        if (len) std::memcpy(p_, src, len);
    }
    ~SecretBuffer() { release(); }
    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;
    SecretBuffer(SecretBuffer&& o) noexcept : p_(o.p_), n_(o.n_), cap_(o.cap_) {
        o.p_ = nullptr;
        o.n_ = o.cap_ = 0;
    }
    SecretBuffer& operator=(SecretBuffer&& o) noexcept {
        if (this != &o) {
            release();
            p_ = o.p_;
            n_ = o.n_;
            cap_ = o.cap_;
            o.p_ = nullptr;
            o.n_ = o.cap_ = 0;
        }
        return *this;
    }

    uint8_t* data() { return p_; }
    const uint8_t* data() const { return p_; }
    size_t size() const { return n_; }
    std::span<uint8_t> span() { return {p_, n_}; }
    std::span<const uint8_t> span() const { return {p_, n_}; }

    // Keeps the first n bytes (n <= size()); the rest is wiped at once.
    void shrink(size_t n) {
        if (n >= n_) return;
        secure_wipe(p_ + n, n_ - n);
        n_ = n;
    }

private:
    void release() {
        if (p_) {
            secure_wipe(p_, cap_);
            delete[] p_;
        }
        p_ = nullptr;
        n_ = cap_ = 0;
    }

    uint8_t* p_ = nullptr;
    size_t n_ = 0;
    size_t cap_ = 0;
};

}  // namespace qorvex
