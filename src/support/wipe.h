// Erasing secrets. secure_wipe is a store the optimiser must keep; the RAII
// guards make every early return and every exception path wipe as well.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace qorvex {

inline void secure_wipe(void* p, size_t len) {
    if (len == 0) return;
    std::memset(p, 0, len);
#if defined(__GNUC__) || defined(__clang__)
    __asm__ __volatile__("" : : "r"(p) : "memory");
#else
    volatile unsigned char* vp = static_cast<volatile unsigned char*>(p);
    for (size_t i = 0; i < len; ++i) vp[i] = 0;
#endif
}

template <typename T>
inline void secure_wipe_value(T& v) {
    static_assert(std::is_trivially_copyable_v<T>, "only plain values can be wiped in place");
    secure_wipe(&v, sizeof(T));
}

// A value of T that is zeroed when it goes out of scope.
template <typename T>
class WipeOnExit {
    static_assert(std::is_trivially_copyable_v<T>, "WipeOnExit holds plain values only");

public:
    WipeOnExit() : v_{} {}
    // Takes the value from make(), built straight into the guard: passing a
    // computed value instead would leave the caller a temporary copy that
    // nothing wipes.
    template <typename Make>
        requires std::is_invocable_r_v<T, Make>
    explicit WipeOnExit(Make&& make) : v_(static_cast<Make&&>(make)()) {}
    ~WipeOnExit() { secure_wipe(&v_, sizeof(T)); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

    T& operator*() { return v_; }
    const T& operator*() const { return v_; }
    T* operator->() { return &v_; }
    const T* operator->() const { return &v_; }
    T* get() { return &v_; }

private:
    T v_;
};

// A fixed-size secret byte buffer that wipes itself.
template <size_t N>
class SecretBytes {
public:
    SecretBytes() : b_{} {}
    ~SecretBytes() { secure_wipe(b_, N); }
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    uint8_t* data() { return b_; }
    const uint8_t* data() const { return b_; }
    static constexpr size_t size() { return N; }
    uint8_t& operator[](size_t i) { return b_[i]; }
    const uint8_t& operator[](size_t i) const { return b_[i]; }

private:
    uint8_t b_[N];
};

}  // namespace qorvex

namespace qorvex {

// A secret one-time input that lives in the caller's buffer (a signing
// nonce): zeroed when the guard leaves its scope, however that happens, so
// that the buffer cannot be used twice.
class WipeCallerBuffer {
public:
    WipeCallerBuffer(uint8_t* buf, size_t len) : buf_(buf), len_(len) {}
    ~WipeCallerBuffer() { secure_wipe(buf_, len_); }
    WipeCallerBuffer(const WipeCallerBuffer&) = delete;
    WipeCallerBuffer& operator=(const WipeCallerBuffer&) = delete;

private:
    uint8_t* buf_;
    size_t len_;
};

}  // namespace qorvex
