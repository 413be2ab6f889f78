// Inputs of every length where the padding changes shape: the 0x80 byte
// and the length field fitting in the last block or spilling into another,
// and whole blocks. Digests come from an independent implementation (Python's
// hashlib, backed by OpenSSL), except for Keccak-256, which hashlib lacks and
// which is checked against a textbook sponge written here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "hash/keccak.h"
#include "hash/ripemd160.h"
#include "hash/sha256.h"
#include "hash/sha512.h"
#include "support/vectors.h"

namespace qorvex::test {
namespace {

using sha256_detail::Backend;

// Not a repeated byte, so that a misplaced or reordered byte shows.
std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> m(n);
    for (size_t i = 0; i < n; ++i) m[i] = static_cast<uint8_t>(i * 37 + 11);
    return m;
}

struct Boundary {
    std::string algorithm;
    size_t len;
    std::string digest;
};

const Boundary kBoundaries[] = {
        {"sha256", 0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"sha256", 1, "e7cf46a078fed4fafd0b5e3aff144802b853f8ae459a4f0c14add3314b7cc3a6"},
        {"sha256", 55, "2900465fcb533e05a158fd2b3be0e5e3b03740d83060aa3580e0d98a96bf2384"},
        {"sha256", 56, "31454ff48ef36af2f08fd511bdc37d9d5855ac23e992e5ff5445cb6b7674a674"},
        {"sha256", 63, "5f6401b96532c36de4e65beec0409b69b1d181864c8009b7a04f43e5d56350d1"},
        {"sha256", 64, "94eb5de4943613fd048dc93393ab06877405faa39c11f53e9386083339833e7e"},
        {"sha256", 65, "fc518669b6eb4b4dd91827ecacef86689c725bd5bab888fd3b26dbb196eec954"},
        {"sha256", 119, "b0dc41b1a384e2f1203f0351b38fbeaafceef577ce1191d5bfc25da39f721eae"},
        {"sha256", 120, "5df24dd802ac26132ce608dcb5f09841eef039ee0f152acf98d26d17fe4e88e6"},
        {"sha256", 127, "0fe729ff19257bd6fec853acc2ea355f6b34b58e6c0f684c3e188fcdfcd9baae"},
        {"sha256", 128, "0aedd4856f8eba0963627336ad5144a9a7dbe12498e6066f0165fc97d8ddee4c"},
        {"sha256", 129, "4f1757ae4bffbae86d775b831765b75af154d52f7deaa46dd378051a2d3ad57f"},
        {"sha512", 0, "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
        {"sha512", 111, "4d1db900250c96436052fbca79c13acbf378aad9c35b87d94c3803264df61fd22cbd327c8938d024db372abf4208934ee09367d571d6c670bf74ee07b83e7506"},
        {"sha512", 112, "dfb715ca3478a894302ace39c42d1d6646e1044f2247a6274d8b42d155d2fdbe7017195e85cfba96bedc51f84c44638978a540039ff09c64cef6c0c5ccc8f7b6"},
        {"sha512", 127, "f93a0e7465b294188e8aa2b1cc2e98bc8d5115d46f51c7a9ec599b9d9f96a80fef6a4f226b648c89bd9eac23b3d64264898b568d915c66666c44cd0319e2ef56"},
        {"sha512", 128, "0b4815d35f9d07b1a30de2790e1be2a720234295cd7b4d9e9af51719ff90019f1fe6d4e402a7dcc4177085023dc460ab743dad9b2c1dda42662bda5d3b2e155b"},
        {"sha512", 129, "1809db04d02717483e04bc4333a14308bd2d0213ba7bf2c63f11eb1b8a0af8252e67fd104fd466fb95f945539824d8e4183155fa5ced0bee3dad46d9384a0bd5"},
        {"sha512", 239, "e7d76d3071c75958d9ad998aaef85cc6aed7239af8624555fab079b97f83b71895080a8fc394fc4f084dcb3851351d9f68db41dc899898fae64c55471adf13e3"},
        {"sha512", 240, "4093151dceded504178ee4106aa5e15c02989d297d0916f78a9e3bc43d1a4419f00b1e007b1c309f45331e427095f0c1253057e52bbd08dbda7fe4e8827f92f4"},
        {"sha512", 256, "00086aa6fcb4bb59f284fe8079038293aa2c430c4c635663cc04239e5c13d38d97eaf425edf0aab91cfaec9915a6e297efe64dbda38d3886862ab5232b1e7160"},
        {"ripemd160", 55, "cb9a91b689c2e5a5aff392733f33c8fb75998dbb"},
        {"ripemd160", 56, "0fde8285ccc694b28a3205e30e3153c3f2a2dfa2"},
        {"ripemd160", 63, "28d9c6a82ecf3196a0c5ab9cd79053118ca43301"},
        {"ripemd160", 64, "c9b1871a7c604823d7cc8cc48e4ea37a4f841001"},
        {"ripemd160", 65, "26bc5a01292f459c7bd3310eaf53b72d25df1e71"},
        {"ripemd160", 128, "2349a24ad9bd73b09329b1c014c333610548ac55"},
};

// The digest of msg by the named algorithm, in one call (pieces == 0) or fed
// in pieces of the given size.
std::string digest(const std::string& algorithm, const std::vector<uint8_t>& msg, size_t pieces) {
    uint8_t out[64];
    auto feed = [&](auto&& update) {
        if (pieces == 0) {
            update(msg.data(), msg.size());
            return;
        }
        for (size_t pos = 0; pos < msg.size(); pos += pieces) update(msg.data() + pos, std::min(pieces, msg.size() - pos));
    };
    if (algorithm == "sha256") {
        Sha256Context ctx;
        sha256_init(ctx);
        feed([&](const uint8_t* p, size_t n) { sha256_update(ctx, p, n); });
        sha256_final(ctx, out);
        return to_hex(out, 32);
    }
    if (algorithm == "sha512") {
        Sha512Context ctx;
        sha512_init(ctx);
        feed([&](const uint8_t* p, size_t n) { sha512_update(ctx, p, n); });
        sha512_final(ctx, out);
        return to_hex(out, 64);
    }
    Ripemd160Context ctx;
    ripemd160_init(ctx);
    feed([&](const uint8_t* p, size_t n) { ripemd160_update(ctx, p, n); });
    ripemd160_final(ctx, out);
    return to_hex(out, 20);
}

TEST(Padding, BoundaryLengthsMatchIndependentDigests) {
    for (const auto& b : kBoundaries) {
        SCOPED_TRACE(b.algorithm + " of " + std::to_string(b.len) + " bytes");
        const auto msg = pattern(b.len);
        EXPECT_EQ(b.digest, digest(b.algorithm, msg, 0));
        EXPECT_EQ(b.digest, digest(b.algorithm, msg, 1));
        EXPECT_EQ(b.digest, digest(b.algorithm, msg, 63));
    }
}

// The streaming code is shared, but each back end must see the padding
// blocks exactly as the other does.
TEST(Padding, Sha256BoundariesOnBothBackends) {
    std::vector<Backend> backends = {Backend::Portable};
    if (sha256_detail::shani_available()) backends.push_back(Backend::Shani);
    for (const auto& b : kBoundaries) {
        if (b.algorithm != "sha256") continue;
        const auto msg = pattern(b.len);
        for (Backend backend : backends) {
            SCOPED_TRACE(std::to_string(b.len) + " bytes, back end " + std::to_string(static_cast<int>(backend)));
            Sha256Context ctx;
            sha256_init(ctx);
            sha256_detail::update_with(backend, ctx, msg.data(), msg.size());
            uint8_t out[32];
            sha256_detail::final_with(backend, ctx, out);
            EXPECT_EQ(b.digest, to_hex(out, 32));
        }
    }
}

// Keccak-256 spelled out: pad the whole message first (0x01, zeros, 0x80 in
// the last byte of the block), then absorb block by block.
std::string keccak256_textbook(const std::vector<uint8_t>& msg) {
    std::vector<uint8_t> padded = msg;
    padded.push_back(0x01);
    while (padded.size() % kKeccak256Rate != 0) padded.push_back(0x00);
    padded.back() |= 0x80;
    uint64_t state[25] = {};
    for (size_t off = 0; off < padded.size(); off += kKeccak256Rate) {
        for (size_t lane = 0; lane < kKeccak256Rate / 8; ++lane) {
            uint64_t v = 0;
            for (int i = 7; i >= 0; --i) v = (v << 8) | padded[off + 8 * lane + static_cast<size_t>(i)];
            state[lane] ^= v;
        }
        keccak_f1600(state);
    }
    uint8_t out[32];
    for (int i = 0; i < 32; ++i) out[i] = static_cast<uint8_t>(state[i / 8] >> (8 * (i % 8)));
    return to_hex(out, 32);
}

TEST(Padding, Keccak256BoundariesMatchTextbookSponge) {
    const size_t lengths[] = {0, 1, 134, 135, 136, 137, 271, 272, 273};
    const size_t pieces[] = {1, 135, 137};
    for (size_t len : lengths) {
        SCOPED_TRACE(std::to_string(len) + " bytes");
        const auto msg = pattern(len);
        const std::string expected = keccak256_textbook(msg);
        uint8_t out[32];
        keccak256(msg.data(), msg.size(), out);
        EXPECT_EQ(expected, to_hex(out, 32));
        for (size_t piece : pieces) {
            KeccakContext ctx;
            keccak256_init(ctx);
            for (size_t pos = 0; pos < len; pos += piece) keccak256_update(ctx, msg.data() + pos, std::min(piece, len - pos));
            keccak256_final(ctx, out);
            EXPECT_EQ(expected, to_hex(out, 32)) << "pieces of " << piece;
        }
    }
}

// The finals wipe their context: it may have buffered secret input.
TEST(Padding, FinalWipesTheContext) {
    const auto msg = pattern(40);
    uint8_t out[64];
    auto all_zero = [](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        for (size_t i = 0; i < n; ++i)
            if (b[i] != 0) return false;
        return true;
    };
    Sha256Context c256;
    sha256_init(c256);
    sha256_update(c256, msg.data(), msg.size());
    sha256_final(c256, out);
    EXPECT_TRUE(all_zero(&c256, sizeof(c256)));
    Sha512Context c512;
    sha512_init(c512);
    sha512_update(c512, msg.data(), msg.size());
    sha512_final(c512, out);
    EXPECT_TRUE(all_zero(&c512, sizeof(c512)));
    Ripemd160Context c160;
    ripemd160_init(c160);
    ripemd160_update(c160, msg.data(), msg.size());
    ripemd160_final(c160, out);
    EXPECT_TRUE(all_zero(&c160, sizeof(c160)));
    KeccakContext ck;
    keccak256_init(ck);
    keccak256_update(ck, msg.data(), msg.size());
    keccak256_final(ck, out);
    EXPECT_TRUE(all_zero(&ck, sizeof(ck)));
}

}  // namespace
}  // namespace qorvex::test
