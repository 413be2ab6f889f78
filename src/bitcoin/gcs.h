// Golomb-coded sets with the parameters of BIP-158 basic filters: elements
// hashed with SipHash-2-4 into [0, N * M), sorted, and their deltas coded
// Golomb-Rice with a P-bit remainder, most significant bit first.
//
// The filter here is the bit stream alone. BIP-158 serializes the element
// count N in front of it as a compact size; callers store N beside it and
// pass it back to the queries.
//
// A filter comes from another party (a light client downloads it), so the
// reading side treats it as hostile: it reads the bytes it is given and no
// further, its work is bounded by their number, and it allocates nothing
// sized by N.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bitcoin/tx_digest.h"
#include "support/bytes.h"

namespace qorvex::gcs {

inline constexpr unsigned kP = 19;
inline constexpr uint64_t kM = 784931;
inline constexpr size_t kKeySize = 16;
// The shortest code: the zero bit that ends the quotient, then P bits.
inline constexpr unsigned kMinCodeBits = kP + 1;

// BIP-158 takes the 16 key bytes from the block hash; both halves are read
// little-endian.
struct Key {
    uint64_t k0, k1;
    static Key from_bytes(const uint8_t key16[kKeySize]);
};

// The range the values of an n-element set fall into, n * M. In 64 bits:
// BIP-158 bounds n below 2^32, and no filter a buffer can hold comes close to
// where the product would wrap.
constexpr uint64_t range_for(uint64_t n) { return n * kM; }

// floor(SipHash-2-4(element) * range / 2^64): a value in [0, range).
uint64_t map_element(const Key& key, std::span<const uint8_t> element, uint64_t range);

// The values of count elements under range_for(count), sorted ascending,
// duplicates kept. Allocates count values (std::bad_alloc on failure).
std::vector<uint64_t> sorted_values(const Key& key, tx::ByteStrings elements, size_t count);

// Bytes of the filter coding the sorted values: the bits of every delta's
// code, rounded up to whole bytes.
size_t encoded_size(std::span<const uint64_t> sorted);

// Writes the codes of the sorted values into out, which must hold exactly
// encoded_size(sorted) bytes; the padding bits of the last byte are zero.
void encode(std::span<const uint64_t> sorted, std::span<uint8_t> out);

// False when a filter of filter_len bytes cannot hold n codes even at the
// shortest length; a decode of it would run out of bits. Lets a query refuse
// an absurd count before any work.
bool may_hold(size_t filter_len, uint64_t n);

// Reads the values of a filter in order, one code at a time.
class Decoder {
public:
    explicit Decoder(std::span<const uint8_t> filter)
        : p_(filter.data()), end_(filter.data() + filter.size()) {}

    // The next value (the running sum of the deltas); false when the filter
    // ends inside the code. Bits after the last code asked for are never
    // interpreted, and no byte past the end is read.
    bool next(uint64_t& value);

private:
    void refill();
    void consume(unsigned bits) {
        buf_ <<= bits;
        avail_ -= bits;
    }

    const uint8_t* p_;
    const uint8_t* end_;
    // The next unread bits, the first in the top bit. The top avail_ bits are
    // valid; the bits below them are either zero or the stream's next bits.
    uint64_t buf_ = 0;
    unsigned avail_ = 0;
    uint64_t last_ = 0;
};

// Defined here so that the queries inline them: they run once per element
// of the filter.

// Tops the buffer up to at least 56 valid bits while the filter lasts (at
// most 63, so that every shift stays below 64). Whole 8-byte loads are taken
// only while 8 bytes remain, so nothing past the end is read; the bits of a
// load beyond the ones counted as valid are the stream's own next bits,
// which the next load puts in the same place again.
inline void Decoder::refill() {
    if (end_ - p_ >= 8) {
        buf_ |= load_be64(p_) >> avail_;
        p_ += (63 - avail_) >> 3;
        avail_ |= 56;
        return;
    }
    while (avail_ < 56 && p_ < end_) {
        buf_ |= static_cast<uint64_t>(*p_++) << (56 - avail_);
        avail_ += 8;
    }
}

inline bool Decoder::next(uint64_t& value) {
    uint64_t q = 0;
    for (;;) {
        if (avail_ <= kMinCodeBits) refill();
        // Ones past the valid bits do not count here: they are counted once
        // they are valid.
        const unsigned ones = static_cast<unsigned>(std::countl_one(buf_));
        if (ones < avail_) {
            q += ones;
            consume(ones + 1);
            break;
        }
        // The filter ended inside the quotient.
        if (avail_ == 0) return false;
        // A run of ones through every valid bit (a hostile filter can make
        // it as long as itself): count them and read on.
        q += avail_;
        consume(avail_);
    }
    if (avail_ < kP) refill();
    if (avail_ < kP) return false;
    const uint64_t r = buf_ >> (64 - kP);
    consume(kP);
    last_ += (q << kP) + r;
    value = last_;
    return true;
}

// All n values in order; nullopt when the filter holds fewer than n codes.
// Allocates n values: for trusted filters and tests, not for queries.
std::optional<std::vector<uint64_t>> decode(std::span<const uint8_t> filter, uint64_t n);

enum class Match { found, not_found, short_filter };

// Whether an element is in the set of n elements the filter codes. Every one
// of the n codes is read, so a filter cut short is reported as such whatever
// the element. Allocates nothing.
Match match(const Key& key, std::span<const uint8_t> filter, uint64_t n, std::span<const uint8_t> element);

// Whether any of count candidates is in the set: the candidates are mapped
// and sorted, and the filter is read once beside them. The same answer as
// match() for each candidate in turn. Allocates count values
// (std::bad_alloc on failure).
Match match_any(const Key& key, std::span<const uint8_t> filter, uint64_t n, tx::ByteStrings candidates,
                size_t count);

}  // namespace qorvex::gcs
