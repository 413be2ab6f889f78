#include "bitcoin/gcs.h"

#include <algorithm>
#include <bit>

#include "hash/siphash.h"
#include "support/bytes.h"
#include "support/int128.h"

namespace qorvex::gcs {

namespace {

constexpr uint64_t kRemainderMask = (uint64_t{1} << kP) - 1;

// Writes bits most significant first, whole bytes as they fill up.
class BitWriter {
public:
    explicit BitWriter(uint8_t* out) : out_(out) {}

    // The low `bits` bits of v, bits <= 32.
    void put(uint64_t v, unsigned bits) {
        // Fewer than 8 bits wait in acc_, so 40 fit; what is shifted out
        // above them has been written already.
        acc_ = (acc_ << bits) | (v & ((uint64_t{1} << bits) - 1));
        pending_ += bits;
        while (pending_ >= 8) {
            pending_ -= 8;
            *out_++ = static_cast<uint8_t>(acc_ >> pending_);
        }
    }
    void ones(uint64_t n) {
        for (; n >= 32; n -= 32) put(0xFFFFFFFF, 32);
        put(~uint64_t{0}, static_cast<unsigned>(n));
    }
    // The last bits, padded with zeros to a byte.
    void finish() {
        if (pending_ != 0) *out_ = static_cast<uint8_t>(acc_ << (8 - pending_));
    }

private:
    uint8_t* out_;
    uint64_t acc_ = 0;
    unsigned pending_ = 0;
};

}  // namespace

Key Key::from_bytes(const uint8_t key16[kKeySize]) { return Key{load_le64(key16), load_le64(key16 + 8)}; }

uint64_t map_element(const Key& key, std::span<const uint8_t> element, uint64_t range) {
    const uint64_t h = siphash24(key.k0, key.k1, element.data(), element.size());
    uint64_t hi;
    mul_wide(h, range, hi);
    return hi;
}

std::vector<uint64_t> sorted_values(const Key& key, tx::ByteStrings elements, size_t count) {
    std::vector<uint64_t> values(count);
    const uint64_t range = range_for(count);
    for (size_t i = 0; i < count; ++i) values[i] = map_element(key, elements[i], range);
    std::sort(values.begin(), values.end());
    return values;
}

size_t encoded_size(std::span<const uint64_t> sorted) {
    // Each code: the quotient in unary, its terminating zero, P bits. The
    // quotients sum to at most max / 2^P, so nothing here can overflow.
    uint64_t bits = 0, last = 0;
    for (const uint64_t v : sorted) {
        bits += ((v - last) >> kP) + kMinCodeBits;
        last = v;
    }
    return static_cast<size_t>((bits + 7) / 8);
}

void encode(std::span<const uint64_t> sorted, std::span<uint8_t> out) {
    BitWriter w(out.data());
    uint64_t last = 0;
    for (const uint64_t v : sorted) {
        const uint64_t delta = v - last;
        w.ones(delta >> kP);
        // The zero that ends the quotient, then the remainder.
        w.put(delta & kRemainderMask, kP + 1);
        last = v;
    }
    w.finish();
}

bool may_hold(size_t filter_len, uint64_t n) {
    return static_cast<uint128_t>(n) * kMinCodeBits <= static_cast<uint128_t>(filter_len) * 8;
}

std::optional<std::vector<uint64_t>> decode(std::span<const uint8_t> filter, uint64_t n) {
    if (!may_hold(filter.size(), n)) return std::nullopt;
    std::vector<uint64_t> values(static_cast<size_t>(n));
    Decoder d(filter);
    for (uint64_t& v : values)
        if (!d.next(v)) return std::nullopt;
    return values;
}

Match match(const Key& key, std::span<const uint8_t> filter, uint64_t n, std::span<const uint8_t> element) {
    if (!may_hold(filter.size(), n)) return Match::short_filter;
    const uint64_t target = map_element(key, element, range_for(n));
    Decoder d(filter);
    bool found = false;
    uint64_t v;
    for (uint64_t i = 0; i < n; ++i) {
        if (!d.next(v)) return Match::short_filter;
        found |= v == target;
    }
    return found ? Match::found : Match::not_found;
}

Match match_any(const Key& key, std::span<const uint8_t> filter, uint64_t n, tx::ByteStrings candidates,
                size_t count) {
    if (!may_hold(filter.size(), n)) return Match::short_filter;
    std::vector<uint64_t> wanted(count);
    const uint64_t range = range_for(n);
    for (size_t i = 0; i < count; ++i) wanted[i] = map_element(key, candidates[i], range);
    std::sort(wanted.begin(), wanted.end());

    // One pass over both sorted lists, comparing each decoded value with the
    // next candidate only. Once a value is found the rest of the filter is
    // still read, so that a filter cut short is reported.
    constexpr uint64_t kNoMore = ~uint64_t{0};
    Decoder d(filter);
    bool found = false;
    size_t j = 0;
    uint64_t next = count > 0 ? wanted[0] : kNoMore, v;
    for (uint64_t i = 0; i < n; ++i) {
        if (!d.next(v)) return Match::short_filter;
        if (v < next) continue;
        while (j < count && wanted[j] < v) ++j;
        if (j < count && wanted[j] == v) {
            found = true;
            next = kNoMore;
        } else {
            next = j < count ? wanted[j] : kNoMore;
        }
    }
    return found ? Match::found : Match::not_found;
}

}  // namespace qorvex::gcs
