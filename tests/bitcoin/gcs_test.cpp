// The Golomb-Rice coder against a bit-at-a-time reference written here, on
// built filters and on hostile bytes placed against an unreadable page, so
// that a read past the end of a filter faults whatever the build.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "bitcoin/gcs.h"
#include "hash/siphash.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Up to 64 KiB placed so that its last byte is the last readable one.
class GuardedBuffer {
public:
    GuardedBuffer() {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        size_ = 16 * page_;
        void* p = mmap(nullptr, size_ + page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::runtime_error("mmap failed");
        base_ = static_cast<uint8_t*>(p);
        if (mprotect(base_ + size_, page_, PROT_NONE) != 0) throw std::runtime_error("mprotect failed");
    }
    ~GuardedBuffer() { munmap(base_, size_ + page_); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    std::span<const uint8_t> place(const uint8_t* data, size_t n) {
        if (n > size_) throw std::runtime_error("too large for the guarded buffer");
        uint8_t* at = base_ + size_ - n;
        if (n) std::memcpy(at, data, n);
        return {at, n};
    }
    std::span<const uint8_t> place(const Bytes& b) { return place(b.data(), b.size()); }

private:
    uint8_t* base_;
    size_t page_, size_;
};

// Reference decoder: one bit at a time, every bit position checked.
std::optional<std::vector<uint64_t>> reference_decode(const Bytes& f, uint64_t n) {
    size_t pos = 0;
    auto bit = [&](int& out) {
        if (pos >= f.size() * 8) return false;
        out = (f[pos / 8] >> (7 - pos % 8)) & 1;
        ++pos;
        return true;
    };
    std::vector<uint64_t> out;
    uint64_t last = 0;
    for (uint64_t i = 0; i < n; ++i) {
        uint64_t q = 0;
        int b;
        for (;;) {
            if (!bit(b)) return std::nullopt;
            if (b == 0) break;
            ++q;
        }
        uint64_t r = 0;
        for (unsigned k = 0; k < gcs::kP; ++k) {
            if (!bit(b)) return std::nullopt;
            r = (r << 1) | static_cast<uint64_t>(b);
        }
        last += q * (uint64_t{1} << gcs::kP) + r;
        out.push_back(last);
    }
    return out;
}

// Reference encoder, bit by bit.
Bytes reference_encode(const std::vector<uint64_t>& sorted) {
    std::vector<int> bits;
    uint64_t last = 0;
    for (const uint64_t v : sorted) {
        const uint64_t d = v - last;
        for (uint64_t q = d >> gcs::kP; q > 0; --q) bits.push_back(1);
        bits.push_back(0);
        for (unsigned k = gcs::kP; k-- > 0;) bits.push_back(static_cast<int>((d >> k) & 1));
        last = v;
    }
    Bytes out((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i]) out[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
    return out;
}

Bytes encode(const std::vector<uint64_t>& sorted) {
    Bytes out(gcs::encoded_size(sorted));
    gcs::encode(sorted, out);
    return out;
}

std::optional<std::vector<uint64_t>> decode_all(std::span<const uint8_t> f, uint64_t n) {
    gcs::Decoder d(f);
    std::vector<uint64_t> out;
    for (uint64_t i = 0; i < n; ++i) {
        uint64_t v;
        if (!d.next(v)) return std::nullopt;
        out.push_back(v);
    }
    return out;
}

// Sorted values with deltas of every size: zero, below 2^19, and quotients
// long enough to need whole bytes of ones (and several buffer refills).
std::vector<uint64_t> varied_values(uint32_t seed, size_t count) {
    std::mt19937_64 rng(seed);
    std::vector<uint64_t> v;
    uint64_t x = 0;
    for (size_t i = 0; i < count; ++i) {
        switch (rng() % 6) {
            case 0: break;
            case 1: x += rng() % 8; break;
            case 2: x += rng() % (uint64_t{1} << gcs::kP); break;
            case 3: x += rng() % (uint64_t{40} << gcs::kP); break;
            case 4: x += (uint64_t{1} << gcs::kP) * (200 + rng() % 300); break;
            default: x += rng() % (uint64_t{3} << gcs::kP); break;
        }
        v.push_back(x);
    }
    return v;
}

TEST(GcsCoder, EncodeAndDecodeAgreeWithTheReference) {
    GuardedBuffer guard;
    for (uint32_t seed = 0; seed < 40; ++seed) {
        SCOPED_TRACE(seed);
        const std::vector<uint64_t> values = varied_values(seed, 1 + seed * 7);
        const Bytes f = encode(values);
        ASSERT_EQ(reference_encode(values), f);
        EXPECT_EQ(values, decode_all(guard.place(f), values.size()));
        EXPECT_EQ(values, gcs::decode(guard.place(f), values.size()));
        // Every prefix ends inside the last code.
        for (size_t len = 0; len < f.size(); ++len)
            ASSERT_EQ(std::nullopt, decode_all(guard.place(f.data(), len), values.size())) << len;
    }
}

// Bytes no encoder wrote, each at the very end of readable memory: the
// decoder gives what the reference gives, value for value, and stops at
// the same code.
TEST(GcsCoder, HostileBytesDecodeLikeTheReference) {
    GuardedBuffer guard;
    std::mt19937 rng(7);
    std::vector<Bytes> inputs;
    for (size_t n = 0; n <= 72; ++n) inputs.push_back(Bytes(n, 0xFF));
    for (size_t n = 0; n <= 72; ++n) inputs.push_back(Bytes(n, 0x00));
    for (int i = 0; i < 300; ++i) {
        Bytes b(rng() % 200);
        // Mostly ones, so that long quotients and runs across loads occur.
        for (uint8_t& c : b) c = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : 0xFF ^ (1u << (rng() % 8)));
        inputs.push_back(b);
    }
    for (const Bytes& b : inputs) {
        const auto span = guard.place(b);
        // As many codes as the reference finds, and one more.
        size_t codes = 0;
        while (reference_decode(b, codes + 1)) ++codes;
        for (const uint64_t n : {uint64_t{codes}, uint64_t{codes + 1}}) {
            const auto expected = reference_decode(b, n);
            EXPECT_EQ(expected, decode_all(span, n)) << b.size() << " bytes, n " << n;
        }
    }
}

TEST(GcsCoder, MayHoldIsTheShortestCodeBound) {
    EXPECT_TRUE(gcs::may_hold(0, 0));
    EXPECT_FALSE(gcs::may_hold(0, 1));
    EXPECT_FALSE(gcs::may_hold(2, 1));  // 16 bits
    EXPECT_TRUE(gcs::may_hold(3, 1));   // 24 bits
    EXPECT_TRUE(gcs::may_hold(25, 10));
    EXPECT_FALSE(gcs::may_hold(25, 11));
    EXPECT_FALSE(gcs::may_hold(SIZE_MAX, UINT64_MAX));
    EXPECT_TRUE(gcs::may_hold(SIZE_MAX, UINT64_MAX / 3));
}

// floor(h * N * M / 2^64) from 32-bit halves, as BIP-158 describes for
// machines without a 128-bit product.
uint64_t reference_range(uint64_t h, uint64_t f) {
    const uint64_t hl = h & 0xFFFFFFFF, hh = h >> 32, fl = f & 0xFFFFFFFF, fh = f >> 32;
    const uint64_t ll = hl * fl, lh = hl * fh, hl2 = hh * fl, h2 = hh * fh;
    const uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFF) + (hl2 & 0xFFFFFFFF);
    return h2 + (lh >> 32) + (hl2 >> 32) + (mid >> 32);
}

TEST(GcsCoder, RangeMapping) {
    uint8_t key16[16];
    for (int i = 0; i < 16; ++i) key16[i] = static_cast<uint8_t>(0xA0 + i);
    const gcs::Key key = gcs::Key::from_bytes(key16);
    std::mt19937 rng(3);
    for (const uint64_t n : {uint64_t{1}, uint64_t{20000}, uint64_t{0xFFFFFFFF}}) {
        const uint64_t f = gcs::range_for(n);
        EXPECT_EQ(n * 784931, f);
        for (int i = 0; i < 50; ++i) {
            Bytes e(rng() % 40);
            for (uint8_t& c : e) c = static_cast<uint8_t>(rng());
            const uint64_t h = siphash24(key16, e.data(), e.size());
            const uint64_t v = gcs::map_element(key, e, f);
            EXPECT_EQ(reference_range(h, f), v);
            EXPECT_LT(v, f);
        }
    }
}

}  // namespace
}  // namespace qorvex::test
