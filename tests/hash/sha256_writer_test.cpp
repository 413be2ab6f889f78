// The piecewise SHA-256 writer against the one-shot hash: pieces of every
// size class, across the flush and block boundaries, from a midstate.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "hash/sha256.h"
#include "hash/sha256_writer.h"
#include "hash/tagged_hash.h"

namespace qorvex {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes oneshot(const Bytes& m) {
    Bytes out(32);
    sha256(m.data(), m.size(), out.data());
    return out;
}

// Random pieces of 0 to max_piece bytes until total bytes are written.
Bytes written_in_pieces(const Bytes& m, std::mt19937& g, size_t max_piece) {
    Sha256Writer w;
    size_t pos = 0;
    while (pos < m.size()) {
        const size_t n = std::min(m.size() - pos, static_cast<size_t>(g() % (max_piece + 1)));
        w.put(m.data() + pos, n);
        pos += n;
        EXPECT_EQ(pos, w.size());
    }
    Bytes out(32);
    w.finish(out.data());
    return out;
}

TEST(Sha256Writer, PiecesOfEverySizeEqualTheOneShotHash) {
    std::mt19937 g(7);
    for (const size_t total : {size_t{0}, size_t{1}, size_t{55}, size_t{56}, size_t{63}, size_t{64}, size_t{65},
                               size_t{511}, size_t{512}, size_t{513}, size_t{575}, size_t{576}, size_t{1000},
                               size_t{5000}}) {
        Bytes m(total);
        for (auto& b : m) b = static_cast<uint8_t>(g());
        for (const size_t max_piece : {size_t{1}, size_t{4}, size_t{9}, size_t{36}, size_t{64}, size_t{65},
                                       size_t{130}, size_t{700}}) {
            SCOPED_TRACE(std::to_string(total) + " bytes, pieces up to " + std::to_string(max_piece));
            EXPECT_EQ(oneshot(m), written_in_pieces(m, g, max_piece));
        }
    }
}

TEST(Sha256Writer, FixedWidthFieldsAndDoubleHash) {
    Sha256Writer w;
    w.put_byte(0x01);
    w.put_le32(0x05040302);
    w.put_le64(0x0D0C0B0A09080706ULL);
    Bytes m = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
    Bytes d(32);
    w.finish_double(d.data());
    EXPECT_EQ(oneshot(oneshot(m)), d);
}

TEST(Sha256Writer, ContinuesFromAMidstate) {
    const Bytes msg(300, 0x61);
    Bytes expected(32), got(32);
    tagged_hash("TapSighash", msg.data(), msg.size(), expected.data());
    Sha256Context ctx;
    tagged_hash_init(ctx, "TapSighash");
    Sha256Writer w(ctx);
    for (size_t i = 0; i < msg.size(); i += 30) w.put(msg.data() + i, 30);
    w.finish(got.data());
    EXPECT_EQ(expected, got);
    // And from a context holding a partial block.
    Sha256Context partial;
    sha256_init(partial);
    sha256_update(partial, msg.data(), 10);
    Sha256Writer w2(partial);
    w2.put(msg.data() + 10, 290);
    w2.finish(got.data());
    EXPECT_EQ(oneshot(msg), got);
}

}  // namespace
}  // namespace qorvex
