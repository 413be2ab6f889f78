// Base58 and Base58Check: known encodings, agreement with a plain bignum
// conversion on lengths and leading zeros of every kind, the decoder's
// refusals, and the bounds of the caller's buffers.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bitcoin/base58.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

const char kAlphabet[] = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";

// The textbook conversion: repeated division of the whole number, digits
// pushed to the front.
std::string reference_encode(const Bytes& in) {
    Bytes num = in;
    std::string digits;
    size_t start = 0;
    while (start < num.size() && num[start] == 0) ++start;
    const size_t zeros = start;
    while (start < num.size()) {
        unsigned rem = 0;
        for (size_t i = start; i < num.size(); ++i) {
            const unsigned cur = rem * 256 + num[i];
            num[i] = static_cast<uint8_t>(cur / 58);
            rem = cur % 58;
        }
        digits.insert(digits.begin(), kAlphabet[rem]);
        while (start < num.size() && num[start] == 0) ++start;
    }
    return std::string(zeros, '1') + digits;
}

std::string encode(const Bytes& in) {
    std::string out(base58_encode_room(in.size()), '\0');
    size_t len = 0;
    EXPECT_TRUE(base58_encode(in, out, len));
    return out.substr(0, len);
}

bool decode(const std::string& text, Bytes& out) {
    out.assign(base58_decode_room(text.size()), 0);
    size_t len = 0;
    if (!base58_decode(text, out, len)) return false;
    out.resize(len);
    return true;
}

TEST(Base58, KnownEncodings) {
    struct Case {
        const char* hex;
        const char* text;
    };
    const Case cases[] = {
        {"", ""},
        {"61", "2g"},
        {"626262", "a3gV"},
        {"73696d706c792061206c6f6e6720737472696e67", "2cFupjhnEsSn59qHXstmK2ffpLv2"},
        {"00eb15231dfceb60925886b67d065299925915aeb172c06647", "1NS17iag9jJgTHD1VXjvLCEnZuQ3rJDE9L"},
        {"516b6fcd0f", "ABnLTmg"},
        {"ecac89cad93923c02321", "EJDM8drfXA6uyA"},
        {"00000000000000000000", "1111111111"},
        // Every digit once.
        {"000111d38e5fc9071ffcd20b4a763cc9ae4f252bb4e48fd66a835e252ada93ff480d6dd43dc62a641155a5",
         "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Bytes bytes = from_hex(c.hex);
        EXPECT_EQ(c.text, encode(bytes));
        Bytes back;
        ASSERT_TRUE(decode(c.text, back));
        EXPECT_EQ(bytes, back);
    }
}

// Lengths up to 100 bytes with runs of leading zeros up to the whole input
// (the case where the text is longer than the digit bound of the number).
TEST(Base58, AgreesWithBignumConversion) {
    std::mt19937 rng(58);
    for (size_t n = 0; n <= 100; ++n) {
        for (const size_t zeros : {size_t{0}, size_t{1}, n / 2, n}) {
            if (zeros > n) continue;
            Bytes in(n);
            for (size_t i = zeros; i < n; ++i) in[i] = static_cast<uint8_t>(rng());
            if (zeros < n && in[zeros] == 0) in[zeros] = 1;
            SCOPED_TRACE(to_hex(in));
            const std::string text = encode(in);
            EXPECT_EQ(reference_encode(in), text);
            Bytes back;
            ASSERT_TRUE(decode(text, back));
            EXPECT_EQ(in, back);
        }
    }
}

TEST(Base58, DecoderRefusesCharactersOutsideTheAlphabet) {
    for (const char* text : {"0", "O", "I", "l", " 2g", "2g ", "2g\n", "2+g", "\x80", "a3gV\xff"}) {
        SCOPED_TRACE(text);
        Bytes out;
        EXPECT_FALSE(decode(text, out));
    }
}

TEST(Base58, BuffersTooSmall) {
    const Bytes in = from_hex("00eb15231dfceb60925886b67d065299925915aeb172c06647");
    std::string room(base58_encode_room(in.size()) - 1, '\0');
    size_t len = 7;
    EXPECT_FALSE(base58_encode(in, room, len));
    EXPECT_EQ(7u, len);
    // The value of "2g" (0x61) needs one byte; leading '1's need one each.
    uint8_t one[1], two[2];
    ASSERT_TRUE(base58_decode("2g", one, len));
    EXPECT_EQ(1u, len);
    EXPECT_FALSE(base58_decode("12g", one, len));
    ASSERT_TRUE(base58_decode("12g", two, len));
    EXPECT_EQ(2u, len);
    EXPECT_FALSE(base58_decode("a3gV", two, len));  // three bytes
    // A text far longer than any value the room can hold is refused early.
    EXPECT_FALSE(base58_decode(std::string(1000, 'z'), two, len));
}

TEST(Base58Check, RoundTripAndRefusals) {
    const Bytes payload = from_hex("00751e76e8199196d454941c45d1b3a323f1433bd6");
    const std::string text = base58check_encode(payload);
    EXPECT_EQ("1BgGZ9tcN4rm9KBzDn7KprQz87SZ26SAMH", text);
    const auto back = base58check_decode(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(payload, *back);

    // One character changed, a character dropped, too short for a checksum.
    std::string bad = text;
    bad[5] = bad[5] == 'c' ? 'd' : 'c';
    EXPECT_FALSE(base58check_decode(bad));
    EXPECT_FALSE(base58check_decode(text.substr(1)));
    EXPECT_FALSE(base58check_decode("2g"));
    EXPECT_FALSE(base58check_decode(""));

    // Empty payloads do not encode.
    EXPECT_EQ("", base58check_encode(Bytes{}));
    char out[8];
    size_t len = 3;
    EXPECT_FALSE(base58check_encode(Bytes{}, out, len));
    EXPECT_EQ(3u, len);

    // The payload fits, but not its checksum: refused, and the scratch in
    // the caller's buffer is wiped.
    uint8_t small[24];
    EXPECT_FALSE(base58check_decode(text, small, len));
    for (const uint8_t b : small) EXPECT_EQ(0, b);
    uint8_t exact[25];
    ASSERT_TRUE(base58check_decode(text, exact, len));
    EXPECT_EQ(21u, len);
    for (size_t i = 21; i < 25; ++i) EXPECT_EQ(0, exact[i]) << "checksum left in the buffer";
}

}  // namespace
}  // namespace qorvex::test
