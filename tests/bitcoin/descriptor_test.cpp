// The descriptor parser's pieces: which forms match (and the inner text
// they leave), the derivation path a path text and an index give, and
// which keys are read as extended keys.
#include <gtest/gtest.h>

#include <string>

#include "bitcoin/descriptor.h"

namespace qorvex::test {
namespace {

using descriptor::Kind;

TEST(Descriptor, Forms) {
    struct Case {
        std::string text;
        bool matches;
        Kind kind;
        std::string inner;
    };
    const Case cases[] = {
        {"wpkh(K)", true, Kind::wpkh, "K"},
        {"sh(wpkh(K/0))", true, Kind::sh_wpkh, "K/0"},
        {"sh(wpkh())", true, Kind::sh_wpkh, ""},
        {"tr(K)", true, Kind::tr, "K"},
        {"pkh(K)", true, Kind::pkh, "K"},
        {"pk(K)", true, Kind::pk, "K"},
        {"pk(pkh(K))", true, Kind::pk, "pkh(K)"},  // the key check refuses it later
        {"wpkh()", false, Kind::pk, ""},
        {"pk()", false, Kind::pk, ""},
        {"sh(wpkh(K)", false, Kind::pk, ""},
        {"sh(wpkh)", false, Kind::pk, ""},
        {"wpkh(K))", true, Kind::wpkh, "K)"},
        {"wpkh(K) ", false, Kind::pk, ""},
        {"sh(pk(K))", false, Kind::pk, ""},
        {"wsh(pk(K))", false, Kind::pk, ""},
        {"(K)", false, Kind::pk, ""},
        {"", false, Kind::pk, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto f = descriptor::match_form(c.text);
        ASSERT_EQ(c.matches, f.has_value());
        if (!f) continue;
        EXPECT_EQ(c.kind, f->kind);
        EXPECT_EQ(c.inner, std::string(f->inner));
    }
}

TEST(Descriptor, DerivationPaths) {
    struct Case {
        std::string path;
        uint32_t index;
        std::string derived;
    };
    const Case cases[] = {
        {"", 5, "m"},
        {"/0/*", 7, "m/0/7"},
        {"/<0;1>/*", 7, "m/0/7"},
        {"/<1;0>/*", 3, "m/0/3"},  // the group becomes "0", whatever its branches
        {"/*/*", 2, "m/2/*"},      // only the first '*'
        {"/<0;1>/<2;3>", 0, "m/0/<2;3>"},
        {"/<0;1/*", 1, "m/<0;1/1"},  // no '>': nothing replaced
        {"/0'/*'", 4294967295u, "m/0'/4294967295'"},
        {"/>;</*", 9, "m/>;</9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.derived, descriptor::derivation_path(c.path, c.index));
    }
}

TEST(Descriptor, KeysAndPaths) {
    const auto e = descriptor::split_key("K1/0/*");
    EXPECT_EQ("K1", std::string(e.key));
    EXPECT_EQ("/0/*", std::string(e.path));
    EXPECT_EQ("", std::string(descriptor::split_key("/x").key));
    EXPECT_EQ("", std::string(descriptor::split_key("K").path));
    EXPECT_TRUE(descriptor::path_chars_ok("/0'/<1;2>/*"));
    for (const char* bad : {"/0h", "/0H", "/ 0", "/0=", "/0]", "/-1"}) EXPECT_FALSE(descriptor::path_chars_ok(bad)) << bad;
    EXPECT_TRUE(descriptor::is_extended_key(std::string(111, 'a')));
    EXPECT_TRUE(descriptor::is_extended_key(std::string(112, '0')));
    EXPECT_FALSE(descriptor::is_extended_key(std::string(113, 'a')));
    for (const char* k : {"xpub", "xprv1", "tpub", "tprvzzz"}) EXPECT_TRUE(descriptor::is_extended_key(k)) << k;
    for (const char* k : {"xpu", "Xpub", "vpub", ""}) EXPECT_FALSE(descriptor::is_extended_key(k)) << k;
    uint8_t out[33];
    size_t len = 0;
    const std::string x(64, 'a'), c = "02" + x;
    EXPECT_EQ(descriptor::HexKeyError::ok, descriptor::parse_hex_key(x, Kind::tr, out, len));
    EXPECT_EQ(32u, len);
    EXPECT_EQ(descriptor::HexKeyError::ok, descriptor::parse_hex_key(c, Kind::pk, out, len));
    EXPECT_EQ(33u, len);
    for (const Kind k : {Kind::pk, Kind::pkh, Kind::wpkh, Kind::sh_wpkh})
        EXPECT_EQ(descriptor::HexKeyError::length, descriptor::parse_hex_key(x, k, out, len));
    EXPECT_EQ(descriptor::HexKeyError::digit, descriptor::parse_hex_key("0g" + x, Kind::wpkh, out, len));
}

}  // namespace
}  // namespace qorvex::test
