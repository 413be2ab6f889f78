// Bech32 and Bech32m: the BIP-173 and BIP-350 vectors (generic strings and
// segwit addresses), every valid address regenerated from its scriptPubKey
// through qorvex_segwit_parse_program and the encoder, and strings past the
// 90-character limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bitcoin/address.h"
#include "bitcoin/bech32.h"
#include "qorvex.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

// The exact string of a vector: string_hex where the text holds control or
// non-ASCII bytes.
std::string vector_string(const Json& v) {
    if (v.has("string_hex")) {
        const Bytes b = from_hex(v["string_hex"].str());
        return std::string(b.begin(), b.end());
    }
    return v.has("string") ? v["string"].str() : v["address"].str();
}

class Bech32Vectors : public ::testing::Test {
protected:
    static void SetUpTestSuite() { doc_ = new Json(load_json_vectors("bech32/bech32_vectors.json")); }
    static void TearDownTestSuite() {
        delete doc_;
        doc_ = nullptr;
    }
    static const Json& doc() { return *doc_; }
    static Json* doc_;
};
Json* Bech32Vectors::doc_ = nullptr;

TEST_F(Bech32Vectors, GenericStrings) {
    for (const auto& [list, kind] : {std::pair{"bech32_valid", Bech32Kind::bech32},
                                     std::pair{"bech32m_valid", Bech32Kind::bech32m}}) {
        for (const auto& v : doc()[list].array()) {
            const std::string s = vector_string(v);
            SCOPED_TRACE(s);
            const auto d = bech32_decode(s);
            ASSERT_TRUE(d);
            EXPECT_EQ(kind, d->kind);
            // Encoding the parts again gives the string in lower case.
            EXPECT_EQ(lower(s), bech32_encode(d->hrp, d->values, kind));
        }
    }
    for (const char* list : {"bech32_invalid", "bech32m_invalid"}) {
        for (const auto& v : doc()[list].array()) {
            const std::string s = vector_string(v);
            SCOPED_TRACE(v["reason"].str() + ": " + s);
            const auto d = bech32_decode(s);
            // Some invalid Bech32m strings are valid Bech32 and the reverse
            // (a wrong checksum constant); those decode with the other kind.
            if (d) {
                EXPECT_NE(std::string(list) == "bech32_invalid" ? Bech32Kind::bech32 : Bech32Kind::bech32m, d->kind);
            }
        }
    }
}

TEST_F(Bech32Vectors, SegwitAddressesFromTheirScripts) {
    for (const char* list : {"segwit_addresses_bip173_valid", "segwit_addresses_bip350_valid"}) {
        for (const auto& v : doc()[list].array()) {
            if (v.has("superseded_by_bip350")) continue;  // Bech32 for v1+: no longer valid
            const std::string addr = v["address"].str();
            SCOPED_TRACE(addr);
            const Bytes spk = from_hex(v["scriptPubKey"].str());
            int version = 99;
            uint8_t program[QORVEX_SEGWIT_PROGRAM_MAX_SIZE];
            size_t program_len = 0;
            ASSERT_EQ(QORVEX_OK, qorvex_segwit_parse_program(spk.data(), spk.size(), &version, program, &program_len));
            const std::string hrp = lower(addr.substr(0, 2));
            EXPECT_EQ(lower(addr),
                      segwit_address_encode(hrp, static_cast<unsigned>(version), Bytes(program, program + program_len)));
            // And back: the address decodes to the same script.
            const auto d = decode_address(addr);
            ASSERT_TRUE(d);
            EXPECT_EQ(AddressKind::witness, d->kind);
            EXPECT_EQ(hrp == "bc" ? Network::mainnet : Network::testnet, d->network);
            EXPECT_EQ(spk, Bytes(d->script, d->script + d->script_len));
        }
    }
    for (const auto& v : doc()["bip173_examples"]["addresses"].array()) {
        SCOPED_TRACE(v["address"].str());
        EXPECT_TRUE(decode_address(v["address"].str()));
    }
}

TEST_F(Bech32Vectors, InvalidSegwitAddresses) {
    for (const char* list : {"segwit_addresses_bip173_invalid", "segwit_addresses_bip350_invalid"}) {
        for (const auto& v : doc()[list].array()) {
            const std::string addr = vector_string(v);
            SCOPED_TRACE(v["reason"].str() + ": " + addr);
            EXPECT_FALSE(decode_address(addr));
            EXPECT_FALSE(segwit_address_decode("bc", addr));
            EXPECT_FALSE(segwit_address_decode("tb", addr));
        }
    }
    // BIP-173's v1+ addresses with a Bech32 checksum, refused since BIP-350.
    for (const auto& v : doc()["segwit_addresses_bip173_valid"].array()) {
        if (!v.has("superseded_by_bip350")) continue;
        SCOPED_TRACE(v["address"].str());
        EXPECT_FALSE(decode_address(v["address"].str()));
    }
}

// Silent-payment addresses are Bech32m strings past 90 characters: the
// encoders have no limit, the decoder takes the caller's.
TEST(Bech32, LongStringsAndTheLengthLimit) {
    Bytes program(66);
    for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<uint8_t>(i * 7 + 1);
    const std::string addr = segwit_address_encode("sp", 0, program);
    ASSERT_EQ(segwit_address_length(2, 66), addr.size());
    EXPECT_GT(addr.size(), kBech32MaxLength);
    EXPECT_FALSE(bech32_decode(addr));
    const auto d = bech32_decode(addr, 1023);
    ASSERT_TRUE(d);
    EXPECT_EQ("sp", d->hrp);
    EXPECT_EQ(Bech32Kind::bech32, d->kind);
    Bytes back;
    ASSERT_TRUE(convert_bits(std::span(d->values).subspan(1), 5, 8, false, back));
    EXPECT_EQ(program, back);
    // Segwit addresses keep BIP-173's limit and program sizes.
    EXPECT_FALSE(segwit_address_decode("sp", addr));
}

TEST(Bech32, EncoderRefusals) {
    const Bytes values = {0, 1, 2};
    EXPECT_EQ("", bech32_encode("", values, Bech32Kind::bech32));
    EXPECT_EQ("", bech32_encode("BC", values, Bech32Kind::bech32));    // upper-case hrp
    EXPECT_EQ("", bech32_encode("b c", values, Bech32Kind::bech32));   // character out of range
    EXPECT_EQ("", bech32_encode(std::string(84, 'a'), values, Bech32Kind::bech32));
    EXPECT_EQ("", bech32_encode("bc", Bytes{32}, Bech32Kind::bech32));  // not a 5-bit value
    EXPECT_EQ("", segwit_address_encode("bc", 17, Bytes(20)));
    char small[10];
    size_t len = 5;
    EXPECT_FALSE(segwit_address_encode("bc", 0, Bytes(20), small, len));
    EXPECT_EQ(5u, len);
}

TEST(Bech32, ConvertBitsPaddingRules) {
    Bytes out;
    // 8 -> 5 pads; 5 -> 8 refuses non-zero or too many leftover bits.
    ASSERT_TRUE(convert_bits(Bytes{0xFF}, 8, 5, true, out));
    EXPECT_EQ((Bytes{31, 28}), out);
    out.clear();
    EXPECT_FALSE(convert_bits(Bytes{31, 29}, 5, 8, false, out));  // 2 leftover bits, not zero
    out.clear();
    EXPECT_FALSE(convert_bits(Bytes{31, 31, 0}, 5, 8, false, out));  // 7 leftover bits
    out.clear();
    ASSERT_TRUE(convert_bits(Bytes{31, 28}, 5, 8, false, out));
    EXPECT_EQ(Bytes{0xFF}, out);
    out.clear();
    EXPECT_FALSE(convert_bits(Bytes{32}, 5, 8, true, out));  // value wider than its group
}

}  // namespace
}  // namespace qorvex::test
