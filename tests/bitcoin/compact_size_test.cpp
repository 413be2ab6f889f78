#include <gtest/gtest.h>

#include <vector>

#include "bitcoin/compact_size.h"

namespace qorvex {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(CompactSize, EncodesAndDecodesEveryBoundary) {
    struct Row {
        uint64_t value;
        Bytes encoding;
    };
    const Row rows[] = {
        {0, {0x00}},
        {252, {0xFC}},
        {253, {0xFD, 0xFD, 0x00}},
        {0xFFFF, {0xFD, 0xFF, 0xFF}},
        {0x10000, {0xFE, 0x00, 0x00, 0x01, 0x00}},
        {0xFFFFFFFF, {0xFE, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0x100000000, {0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}},
        {UINT64_MAX, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        uint8_t buf[compact_size::kMaxSize];
        const size_t n = compact_size::encode(r.value, buf);
        EXPECT_EQ(r.encoding, Bytes(buf, buf + n));
        EXPECT_EQ(n, compact_size::size_of(r.value));
        Bytes with_tail = r.encoding;
        with_tail.push_back(0x99);
        const auto d = compact_size::decode(with_tail);
        ASSERT_TRUE(d);
        EXPECT_EQ(r.value, d->value);
        EXPECT_EQ(n, d->size);
        // Cut short anywhere: refused.
        for (size_t len = 0; len < n; ++len)
            EXPECT_FALSE(compact_size::decode(std::span<const uint8_t>(r.encoding.data(), len)));
    }
}

TEST(CompactSize, RefusesLongerFormsThanNeeded) {
    const Bytes rows[] = {
        {0xFD, 0x00, 0x00},
        {0xFD, 0xFC, 0x00},
        {0xFE, 0xFF, 0xFF, 0x00, 0x00},
        {0xFE, 0x00, 0x00, 0x00, 0x00},
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00},
        {0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
    };
    for (const Bytes& b : rows) EXPECT_FALSE(compact_size::decode(b));
}

}  // namespace
}  // namespace qorvex
