// BIP-158 Appendix C through the exported functions: for every testnet
// block, the basic filter built from the block (parsed here, independently
// of the library) and its spent scripts equals the published one, and
// queries find every element and none of a sample of others.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "bitcoin/compact_size.h"
#include "qorvex.h"
#include "support/block_fields.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kNone = 0;  // a pointer for empty inputs

const uint8_t* ptr(const Bytes& b) { return b.empty() ? &kNone : b.data(); }

struct Elements {
    std::vector<const uint8_t*> data;
    std::vector<size_t> lens;
    explicit Elements(const std::vector<Bytes>& items) {
        for (const Bytes& b : items) {
            data.push_back(ptr(b));
            lens.push_back(b.size());
        }
    }
};

Bytes sha256d(const Bytes& m) {
    Bytes h(32), hh(32);
    qorvex_sha256(m.data(), m.size(), h.data());
    qorvex_sha256(h.data(), 32, hh.data());
    return hh;
}

TEST(GcsVectors, Bip158TestnetBlocks) {
    const Json rows = load_json_vectors("bip158/testnet-19.json");
    ASSERT_EQ(11u, rows.size());
    std::mt19937 rng(158);
    for (size_t i = 1; i < rows.size(); ++i) {
        const Json& row = rows[i];
        SCOPED_TRACE("block at height " + std::to_string(row[static_cast<size_t>(0)].integer()) + ", " +
                     row[7].str());
        const BlockFields block = parse_block(from_hex(row[2].str()));
        std::vector<Bytes> spent;
        for (const Json& s : row[3].array()) spent.push_back(from_hex(s.str()));
        const std::vector<Bytes> elements = basic_filter_elements(block, spent);

        // The key: the first 16 bytes of the block hash in its internal
        // order, the reverse of the listed hex.
        const Bytes hash = sha256d(block.header);
        Bytes listed = from_hex(row[1].str());
        std::reverse(listed.begin(), listed.end());
        ASSERT_EQ(listed, hash);
        const uint8_t* key = hash.data();

        // The vector: N as a compact size, then the filter (an empty set is
        // the single byte 00).
        const Bytes serialized = from_hex(row[5].str());
        const auto count = compact_size::decode(serialized);
        ASSERT_TRUE(count);
        const size_t n = static_cast<size_t>(count->value);
        const Bytes expected(serialized.begin() + static_cast<std::ptrdiff_t>(count->size), serialized.end());
        ASSERT_EQ(n, elements.size());

        const Elements e(elements);
        Bytes built(expected.size() + 8);
        size_t len = built.size();
        ASSERT_EQ(QORVEX_OK, qorvex_gcs_build(key, e.data.data(), e.lens.data(), n, built.data(), &len));
        built.resize(len);
        EXPECT_EQ(to_hex(expected), to_hex(built));

        for (const Bytes& el : elements)
            EXPECT_EQ(QORVEX_OK, qorvex_gcs_match(key, ptr(expected), expected.size(), n, ptr(el), el.size()))
                    << to_hex(el);
        // Scripts that are not in the block: each element one byte longer,
        // and random P2WPKH scripts. A false positive has probability 1/M.
        std::vector<Bytes> absent;
        for (const Bytes& el : elements) {
            Bytes longer = el;
            longer.push_back(0x00);
            absent.push_back(longer);
        }
        for (int k = 0; k < 40; ++k) {
            Bytes p2wpkh = {0x00, 0x14};
            for (int j = 0; j < 20; ++j) p2wpkh.push_back(static_cast<uint8_t>(rng()));
            absent.push_back(p2wpkh);
        }
        for (const Bytes& el : absent)
            EXPECT_EQ(QORVEX_ERR_NOT_FOUND,
                      qorvex_gcs_match(key, ptr(expected), expected.size(), n, ptr(el), el.size()))
                    << to_hex(el);
        const Elements a(absent);
        EXPECT_EQ(QORVEX_ERR_NOT_FOUND, qorvex_gcs_match_any(key, ptr(expected), expected.size(), n, a.data.data(),
                                                             a.lens.data(), absent.size()));
        if (n > 0) {
            absent.insert(absent.begin() + static_cast<std::ptrdiff_t>(absent.size() / 2), elements[n / 2]);
            const Elements with(absent);
            EXPECT_EQ(QORVEX_OK, qorvex_gcs_match_any(key, ptr(expected), expected.size(), n, with.data.data(),
                                                      with.lens.data(), absent.size()));
        }
    }
}

}  // namespace
}  // namespace qorvex::test
