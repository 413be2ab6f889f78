// Golomb-coded set filters through the exported interface: membership,
// the edge cases of the coding, and every code. The BIP-158 vectors are in
// tests/bitcoin/gcs_vectors_test.cpp, beside the compact size they need.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "abi_helpers.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Pointer and length arrays over a list of byte strings, as the exports
// take them.
struct Elements {
    std::vector<const uint8_t*> data;
    std::vector<size_t> lens;

    explicit Elements(const std::vector<Bytes>& items) {
        for (const Bytes& b : items) {
            data.push_back(b.data());
            lens.push_back(b.size());
        }
    }
    size_t size() const { return data.size(); }
};

Bytes build(const Bytes& key, const std::vector<Bytes>& items) {
    const Elements e(items);
    Bytes out(items.size() * 4 + 16);
    size_t len = out.size();
    EXPECT_EQ(QORVEX_OK, qorvex_gcs_build(key.data(), e.data.data(), e.lens.data(), e.size(), out.data(), &len));
    out.resize(len);
    return out;
}

int match(const Bytes& key, const Bytes& filter, size_t n, const Bytes& element) {
    static const uint8_t none = 0;
    return qorvex_gcs_match(key.data(), filter.empty() ? &none : filter.data(), filter.size(), n,
                            element.empty() ? &none : element.data(), element.size());
}

int match_any(const Bytes& key, const Bytes& filter, size_t n, const std::vector<Bytes>& items) {
    static const uint8_t none = 0;
    const Elements e(items);
    return qorvex_gcs_match_any(key.data(), filter.empty() ? &none : filter.data(), filter.size(), n, e.data.data(),
                                e.lens.data(), e.size());
}

// Deterministic byte strings of varied lengths.
std::vector<Bytes> random_items(size_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<Bytes> out(count);
    for (Bytes& b : out) {
        b.resize(1 + rng() % 40);
        for (uint8_t& c : b) c = static_cast<uint8_t>(rng());
    }
    return out;
}

const Bytes kKey = from_hex("000102030405060708090a0b0c0d0e0f");

TEST(Gcs, EveryMemberMatchesAndMatchAnyAgreesWithMatch) {
    const std::vector<Bytes> set = random_items(500, 1);
    const Bytes filter = build(kKey, set);
    for (const Bytes& e : set) ASSERT_EQ(QORVEX_OK, match(kKey, filter, set.size(), e));
    // Candidate lists with and without a member, in every position.
    const std::vector<Bytes> others = random_items(200, 2);
    for (const Bytes& e : others) ASSERT_EQ(QORVEX_ERR_NOT_FOUND, match(kKey, filter, set.size(), e));
    EXPECT_EQ(QORVEX_ERR_NOT_FOUND, match_any(kKey, filter, set.size(), others));
    for (size_t at : {size_t{0}, size_t{77}, others.size()}) {
        std::vector<Bytes> with = others;
        with.insert(with.begin() + static_cast<std::ptrdiff_t>(at), set[at % set.size()]);
        EXPECT_EQ(QORVEX_OK, match_any(kKey, filter, set.size(), with)) << at;
    }
    // Another key or another N maps everything elsewhere.
    const Bytes other_key = from_hex("0f0e0d0c0b0a09080706050403020100");
    EXPECT_EQ(QORVEX_ERR_NOT_FOUND, match_any(other_key, filter, set.size(), set));
}

// Two equal elements: the same value twice, so the second delta is 0 and
// its code a zero bit and 19 zero bits; a third copy adds 20 more.
TEST(Gcs, DuplicatesAreKeptAsZeroDeltas) {
    const Bytes e = from_hex("0014751e76e8199196d454941c45d1b3a323f1433bd6");
    const Bytes one = build(kKey, {e});
    const Bytes two = build(kKey, {e, e});
    const Bytes three = build(kKey, {e, e, e});
    // The first code's length depends on the value: q ones, a zero, 19 bits.
    auto bit = [](const Bytes& f, size_t i) { return (f[i / 8] >> (7 - i % 8)) & 1; };
    size_t first = 0;
    while (bit(two, first)) ++first;
    first += 1 + 19;
    EXPECT_EQ((first + 20 + 7) / 8, two.size());
    EXPECT_EQ((first + 40 + 7) / 8, three.size());
    for (size_t i = first; i < two.size() * 8; ++i) EXPECT_EQ(0, bit(two, i)) << i;
    for (size_t i = first; i < three.size() * 8; ++i) EXPECT_EQ(0, bit(three, i)) << i;
    EXPECT_EQ(QORVEX_OK, match(kKey, two, 2, e));
    EXPECT_EQ(QORVEX_OK, match(kKey, three, 3, e));
    EXPECT_EQ(QORVEX_OK, match(kKey, one, 1, e));
}

TEST(Gcs, EmptySet) {
    size_t len = 5;
    uint8_t out[5] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(QORVEX_OK, qorvex_gcs_build(kKey.data(), nullptr, nullptr, 0, out, &len));
    EXPECT_EQ(0u, len);
    EXPECT_EQ(0xAA, out[0]);
    // Any filter bytes hold zero codes; nothing matches.
    EXPECT_EQ(QORVEX_ERR_NOT_FOUND, match(kKey, {}, 0, {}));
    EXPECT_EQ(QORVEX_ERR_NOT_FOUND, match(kKey, {0x00}, 0, {0x51}));
    EXPECT_EQ(QORVEX_ERR_NOT_FOUND, match_any(kKey, {0xFF}, 0, {{0x51}, {}}));
}

TEST(Gcs, TruncatedAndPaddedFilters) {
    const std::vector<Bytes> set = random_items(40, 3);
    const size_t n = set.size();
    const Bytes filter = build(kKey, set);
    const Bytes member = set[0];
    // Cut by a byte, the last code is cut: 5 for every query, even for an
    // element found early and for an empty candidate list.
    const Bytes cut(filter.begin(), filter.end() - 1);
    EXPECT_EQ(QORVEX_ERR_BAD_INPUT, match(kKey, cut, n, member));
    EXPECT_EQ(QORVEX_ERR_BAD_INPUT, match_any(kKey, cut, n, {member}));
    EXPECT_EQ(QORVEX_ERR_BAD_INPUT, match_any(kKey, cut, n, {}));
    // Every shorter prefix fails too.
    for (size_t len = 0; len < filter.size(); ++len)
        EXPECT_EQ(QORVEX_ERR_BAD_INPUT, match(kKey, Bytes(filter.begin(), filter.begin() + len), n, member)) << len;
    // Bytes after the last code are ignored, whatever they are.
    Bytes padded = filter;
    padded.insert(padded.end(), {0xFF, 0xFF, 0x00, 0x13});
    EXPECT_EQ(QORVEX_OK, match(kKey, padded, n, member));
    EXPECT_EQ(QORVEX_OK, match_any(kKey, padded, n, set));
    // A filter of all ones never ends its first quotient.
    EXPECT_EQ(QORVEX_ERR_BAD_INPUT, match(kKey, Bytes(1000, 0xFF), 1, member));
    // All zeros: N values of 0, which nothing but a value-0 element matches.
    EXPECT_EQ(QORVEX_ERR_NOT_FOUND, match(kKey, Bytes(100, 0x00), 40, member));
}

// A count that the filter's bytes cannot hold, even with every code at its
// shortest (20 bits), is refused before any work or allocation.
TEST(Gcs, AbsurdCountsAreShortFilters) {
    const Bytes filter(25, 0x00);  // 200 bits: ten zero codes
    EXPECT_EQ(QORVEX_ERR_NOT_FOUND, match(kKey, filter, 10, {0x51}));
    EXPECT_EQ(QORVEX_ERR_BAD_INPUT, match(kKey, filter, 11, {0x51}));
    for (const size_t n : {size_t{1} << 40, SIZE_MAX / 8, SIZE_MAX}) {
        EXPECT_EQ(QORVEX_ERR_BAD_INPUT, match(kKey, filter, n, {0x51})) << n;
        EXPECT_EQ(QORVEX_ERR_BAD_INPUT, match_any(kKey, filter, n, {{0x51}})) << n;
    }
}

TEST(Gcs, BuildCapacity) {
    const std::vector<Bytes> set = random_items(30, 4);
    const Bytes filter = build(kKey, set);
    const Elements e(set);
    Bytes out(filter.size(), 0xAA);
    size_t len = filter.size() - 1;
    EXPECT_EQ(QORVEX_ERR_BUF_TOO_SMALL,
              qorvex_gcs_build(kKey.data(), e.data.data(), e.lens.data(), e.size(), out.data(), &len));
    EXPECT_EQ(filter.size() - 1, len);
    EXPECT_EQ(Bytes(filter.size(), 0xAA), out);
    len = filter.size();
    EXPECT_EQ(QORVEX_OK, qorvex_gcs_build(kKey.data(), e.data.data(), e.lens.data(), e.size(), out.data(), &len));
    EXPECT_EQ(filter, out);
    // The key may share memory with the output: it is read first.
    Bytes shared(filter.size() + 16);
    std::memcpy(shared.data(), kKey.data(), 16);
    len = shared.size();
    EXPECT_EQ(QORVEX_OK, qorvex_gcs_build(shared.data(), e.data.data(), e.lens.data(), e.size(), shared.data(), &len));
    EXPECT_EQ(filter, Bytes(shared.begin(), shared.begin() + static_cast<std::ptrdiff_t>(len)));
}

// Empty elements are elements; a null pointer stands for one only with a
// length of 0 in the arrays, and never for the single element of match.
TEST(Gcs, NullArguments) {
    const uint8_t* k = kKey.data();
    const uint8_t elem[] = {0x51};
    const uint8_t* items[] = {elem, nullptr};
    size_t lens[] = {1, 0};
    uint8_t out[16];
    size_t len = sizeof out;
    struct Case {
        const char* what;
        int rc;
    };
    const Case cases[] = {
            {"build: key", qorvex_gcs_build(nullptr, items, lens, 2, out, &len)},
            {"build: output", qorvex_gcs_build(k, items, lens, 2, nullptr, &len)},
            {"build: length", qorvex_gcs_build(k, items, lens, 2, out, nullptr)},
            {"build: elements", qorvex_gcs_build(k, nullptr, lens, 2, out, &len)},
            {"build: lengths", qorvex_gcs_build(k, items, nullptr, 2, out, &len)},
            {"match: key", qorvex_gcs_match(nullptr, out, 4, 1, elem, 1)},
            {"match: filter", qorvex_gcs_match(k, nullptr, 0, 0, elem, 1)},
            {"match: element", qorvex_gcs_match(k, out, 4, 1, nullptr, 0)},
            {"match_any: key", qorvex_gcs_match_any(nullptr, out, 4, 1, items, lens, 2)},
            {"match_any: filter", qorvex_gcs_match_any(k, nullptr, 0, 0, items, lens, 2)},
            {"match_any: elements", qorvex_gcs_match_any(k, out, 4, 1, nullptr, lens, 2)},
            {"match_any: lengths", qorvex_gcs_match_any(k, out, 4, 1, items, nullptr, 2)},
    };
    for (const Case& c : cases) EXPECT_EQ(QORVEX_ERR_NULL_ARG, c.rc) << c.what;

    lens[1] = 3;  // a null element with bytes
    len = sizeof out;
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_gcs_build(k, items, lens, 2, out, &len));
    EXPECT_EQ(QORVEX_ERR_NULL_ARG, qorvex_gcs_match_any(k, out, 4, 0, items, lens, 2));
    lens[1] = 0;
    ASSERT_EQ(QORVEX_OK, qorvex_gcs_build(k, items, lens, 2, out, &len));
    EXPECT_EQ(QORVEX_OK, qorvex_gcs_match(k, out, len, 2, elem, 1));
    EXPECT_EQ(QORVEX_OK, qorvex_gcs_match(k, out, len, 2, elem, 0));  // the empty element
    EXPECT_EQ(QORVEX_OK, qorvex_gcs_match_any(k, out, len, 2, items + 1, lens + 1, 1));
    // No candidates: null arrays are fine.
    EXPECT_EQ(QORVEX_ERR_NOT_FOUND, qorvex_gcs_match_any(k, out, len, 2, nullptr, nullptr, 0));
}

}  // namespace
}  // namespace qorvex::test
