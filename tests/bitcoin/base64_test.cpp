// Base64: the RFC 4648 examples, round trips of every short length, and the
// strict decoder refusing every other spelling.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "bitcoin/base64.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

std::string encode(const Bytes& b) {
    std::string s(base64::encoded_size(b.size()), '?');
    base64::encode(b, s.data());
    return s;
}

std::optional<Bytes> decode(const std::string& text) {
    Bytes out(text.size());
    const auto n = base64::decode(text, out);
    if (!n) return std::nullopt;
    out.resize(*n);
    return out;
}

TEST(Base64, Rfc4648Examples) {
    const std::pair<const char*, const char*> rows[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, text] : rows) {
        SCOPED_TRACE(plain);
        const Bytes b(plain, plain + std::string(plain).size());
        EXPECT_EQ(text, encode(b));
        EXPECT_EQ(b, decode(text));
    }
    // Every byte value and both last characters of the alphabet.
    EXPECT_EQ("+/8=", encode({0xFB, 0xFF}));
    EXPECT_EQ((Bytes{0xFB, 0xFF}), decode("+/8="));
}

TEST(Base64, RoundTripsEveryShortLength) {
    for (size_t n = 0; n <= 70; ++n) {
        Bytes b(n);
        for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 37 + n);
        const std::string text = encode(b);
        EXPECT_EQ(base64::encoded_size(n), text.size());
        EXPECT_EQ(b, decode(text)) << n;
    }
}

TEST(Base64, RefusesEverySpellingButTheCanonicalOne) {
    const char* rows[] = {
        "Zg",        // not whole quartets
        "Zg=",       //
        "Zm9vY",     //
        "Zh==",      // bits under the padding set
        "Zm9=",      //
        "Z===",      // three pad characters
        "====",      //
        "Zg==Zg==",  // padding before the end
        "Z=g=",      // '=' inside the quartet
        "Zm 9v",     // white space
        "Zm9v\n",    //
        "Zm9-",      // the URL-safe alphabet
        "Zm9_",      //
        "Zm9v.AAA",  // any other character
    };
    for (const char* text : rows) EXPECT_FALSE(decode(text)) << text;
    const std::string with_nul("Zm\0v", 4);
    EXPECT_FALSE(decode(with_nul));
    for (int c = 0; c < 256; ++c) {
        const bool alphabet = std::isalnum(c) || c == '+' || c == '/';
        std::string text = "AAA";
        text += static_cast<char>(c);
        EXPECT_EQ(alphabet || c == '=', decode(text).has_value()) << c;
    }
}

TEST(Base64, RefusesOutputsThatDoNotFit) {
    uint8_t out[3];
    EXPECT_EQ(3u, base64::decode("Zm9v", std::span(out, 3)));
    EXPECT_FALSE(base64::decode("Zm9v", std::span(out, 2)));
    EXPECT_EQ(2u, base64::decode("Zm8=", std::span(out, 2)));
}

}  // namespace
}  // namespace qorvex::test
