#include "bitcoin/bip39.h"

#include <cstring>

#include "bitcoin/bip39_wordlist.h"
#include "bitcoin/nfkd.h"
#include "hash/pbkdf2_sha512.h"
#include "hash/sha256.h"
#include "support/ct.h"
#include "support/declassify.h"
#include "support/secret_buffer.h"
#include "support/wipe.h"

namespace qorvex::bip39 {

namespace {

// All ones when x < 0.
inline uint64_t negative_mask(int64_t x) { return ct::value_barrier(static_cast<uint64_t>(x >> 63)); }

// All ones for the white space that separates words: space, and tab to
// carriage return (0x09 to 0x0D).
inline uint64_t space_mask(uint8_t c) {
    const int64_t v = c;
    return ct::eq_mask(c, ' ') | (~negative_mask(v - 0x09) & negative_mask(v - 0x0E));
}

// The index of a packed word, scanning the whole list; found is all ones
// when the word is in it.
uint64_t find_word(uint64_t packed, uint64_t& found) {
    uint64_t index = 0;
    found = 0;
    for (size_t w = 0; w < kWordCount; ++w) {
        const uint64_t m = ct::eq_mask(kEnglishPacked[w], packed);
        index |= w & m;
        found |= m;
    }
    return index;
}

// Bit p of a big-endian bit string.
inline uint32_t bit_at(const uint8_t* bits, size_t p) { return (bits[p >> 3] >> (7 - (p & 7))) & 1; }

}  // namespace

bool mnemonic_from_entropy(std::span<const uint8_t> entropy, char* text, size_t& len) {
    const size_t n = entropy.size();
    if (!entropy_size_ok(n)) return false;
    const size_t words = n * 3 / 4;

    // entropy || SHA-256(entropy): the checksum is the top n/4 bits of the
    // hash, which all sit in its first byte.
    SecretBytes<kMaxEntropy + 1> bits;
    SecretBytes<32> h;
    std::memcpy(bits.data(), entropy.data(), n);
    sha256(entropy.data(), n, h.data());
    bits[n] = h[0];

    WipeOnExit<uint64_t[kMaxWords]> packed;
    WipeOnExit<int64_t[kMaxWords]> length, start;
    for (size_t s = 0; s < words; ++s) {
        uint64_t index = 0;
        for (size_t b = 0; b < 11; ++b) index = (index << 1) | bit_at(bits.data(), 11 * s + b);
        // The whole list is read for every word; the index picks by mask.
        uint64_t p = 0, l = 0;
        for (size_t w = 0; w < kWordCount; ++w) {
            const uint64_t m = ct::eq_mask(w, index);
            p |= kEnglishPacked[w] & m;
            l |= kEnglishLength[w] & m;
        }
        (*packed)[s] = p;
        (*length)[s] = static_cast<int64_t>(l);
        (*start)[s] = s == 0 ? 0 : (*start)[s - 1] + (*length)[s - 1] + 1;
    }
    // The sentence's length is public: it is the size of the result.
    int64_t total = (*start)[words - 1] + (*length)[words - 1];
    declassify_value(total);

    // Character p is the letter of the word it falls in, else a space.
    for (int64_t p = 0; p < total; ++p) {
        uint64_t c = ' ';
        for (size_t s = 0; s < words; ++s) {
            const int64_t off = p - (*start)[s];
            const uint64_t in = ~negative_mask(off) & negative_mask(off - (*length)[s]);
            const uint64_t letter = ((*packed)[s] >> (8 * (static_cast<uint64_t>(off) & 7))) & 0xFF;
            c = ct::select(in, c, letter);
        }
        text[p] = static_cast<char>(c);
    }
    len = static_cast<size_t>(total);
    return true;
}

bool mnemonic_to_entropy(std::string_view text, uint8_t out[kMaxEntropy], size_t& len) {
    // A 25th slot gathers every word past the 24th, which makes the count
    // wrong anyway.
    constexpr size_t kSlots = kMaxWords + 1;
    WipeOnExit<uint64_t[kSlots]> slot;
    uint64_t words = 0, pos = 0, in_word = 0, too_long = 0;
    for (const char ch : text) {
        const uint8_t c = static_cast<uint8_t>(ch);
        const uint64_t letter = ~space_mask(c);
        const uint64_t begins = letter & ~in_word;
        words += begins & 1;
        pos = ct::select(begins, pos, 0);
        in_word = letter;
        // The word being read: the last one begun, or the overflow slot.
        const uint64_t full = ~negative_mask(static_cast<int64_t>(words) - static_cast<int64_t>(kSlots));
        const uint64_t current = ct::select(full, words, kSlots) - 1;
        too_long |= letter & ~negative_mask(static_cast<int64_t>(pos) - static_cast<int64_t>(kMaxWordLength));
        const uint64_t v = (uint64_t{c} << (8 * (pos & 7))) & letter;
        for (size_t s = 0; s < kSlots; ++s) (*slot)[s] |= v & ct::eq_mask(s, current);
        pos += letter & 1;
    }
    // The number of words is public: it sets the entropy's size.
    declassify_value(words);
    if (words < kMinWords || words > kMaxWords || words % 3 != 0) return false;

    const size_t n = words * 4 / 3;
    const size_t checksum_bits = words / 3;
    SecretBytes<kMaxEntropy + 1> bits;
    uint64_t valid = ~too_long;
    for (size_t s = 0; s < words; ++s) {
        uint64_t found;
        const uint64_t index = find_word((*slot)[s], found);
        valid &= found;
        for (size_t b = 0; b < 11; ++b) {
            const size_t p = 11 * s + b;
            bits[p >> 3] = static_cast<uint8_t>(bits[p >> 3] | (((index >> (10 - b)) & 1) << (7 - (p & 7))));
        }
    }
    SecretBytes<32> h;
    sha256(bits.data(), n, h.data());
    const uint8_t top = static_cast<uint8_t>(0xFF << (8 - checksum_bits));
    valid &= ct::is_zero_mask((bits[n] ^ h[0]) & top);
    // Whether the mnemonic is valid is the verdict of the call.
    if (!declassify_bool(valid != 0)) return false;
    std::memcpy(out, bits.data(), n);
    len = n;
    return true;
}

SeedInputs seed_inputs(std::string_view mnemonic, std::string_view passphrase) {
    static constexpr char kSaltPrefix[] = {'m', 'n', 'e', 'm', 'o', 'n', 'i', 'c'};
    SeedInputs in;
    nfkd(mnemonic, in.password);
    SecretBuffer phrase;
    nfkd(passphrase, phrase);
    in.salt = SecretBuffer(sizeof kSaltPrefix + phrase.size());
    std::memcpy(in.salt.data(), kSaltPrefix, sizeof kSaltPrefix);
    if (phrase.size()) std::memcpy(in.salt.data() + sizeof kSaltPrefix, phrase.data(), phrase.size());
    return in;
}

void seed_from_inputs(const SeedInputs& in, uint8_t seed[kSeedSize]) {
    pbkdf2_hmac_sha512(in.password.data(), in.password.size(), in.salt.data(), in.salt.size(), kIterations, seed,
                       kSeedSize);
}

void seed_from_text(std::string_view mnemonic, std::string_view passphrase, uint8_t seed[kSeedSize]) {
    seed_from_inputs(seed_inputs(mnemonic, passphrase), seed);
}

}  // namespace qorvex::bip39
