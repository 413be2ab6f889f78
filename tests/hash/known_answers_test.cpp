// Published known answers (FIPS 180-2 appendices, the RIPEMD-160 authors'
// table, the Keccak KAT file and Ethereum constants), each hashed in one call
// and fed in pieces of random sizes; SHA-256 on both compression back ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "hash/keccak.h"
#include "hash/ripemd160.h"
#include "hash/sha256.h"
#include "hash/sha512.h"
#include "support/vectors.h"

namespace qorvex::sha256_detail {

// Readable parameter names in test listings.
void PrintTo(Backend b, std::ostream* os) { *os << (b == Backend::Shani ? "shani" : "portable"); }

}  // namespace qorvex::sha256_detail

namespace qorvex::test {
namespace {

using sha256_detail::Backend;

struct KnownAnswer {
    std::string label;
    std::vector<uint8_t> message;
    std::string digest;
};

std::vector<KnownAnswer> known_answers(const std::string& algorithm) {
    const Json all = load_json_vectors("hashes/hash_known_answers.json");
    std::vector<KnownAnswer> out;
    for (const Json& e : all["algorithms"][algorithm].array()) {
        KnownAnswer ka;
        if (e.has("message_repeat")) {
            const auto byte = from_hex(e["message_repeat"]["byte"].str());
            ka.message.assign(static_cast<size_t>(e["message_repeat"]["count"].integer()), byte.at(0));
        } else {
            ka.message = from_hex(e["message"].str());
        }
        ka.label = e.has("label") ? e["label"].str() : e["message"].str().substr(0, 40);
        ka.digest = lower(e["digest"].str());
        out.push_back(std::move(ka));
    }
    return out;
}

// Calls absorb on consecutive pieces of msg whose sizes are random: mostly
// below two blocks, sometimes several blocks, sometimes empty.
void feed_in_pieces(std::mt19937& rng, const std::vector<uint8_t>& msg,
                    const std::function<void(const uint8_t*, size_t)>& absorb) {
    size_t pos = 0;
    while (pos < msg.size()) {
        size_t n = (rng() % 4 == 0) ? rng() % 1000 : rng() % 150;
        n = std::min(n, msg.size() - pos);
        absorb(msg.data() + pos, n);
        pos += n;
    }
}

TEST(KnownAnswers, FileHasEveryAlgorithm) {
    EXPECT_EQ(3u, known_answers("sha256").size());
    EXPECT_EQ(3u, known_answers("sha512").size());
    EXPECT_EQ(9u, known_answers("ripemd160").size());
    EXPECT_EQ(9u, known_answers("keccak256").size());
}

class Sha256OnBackend : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::Shani && !sha256_detail::shani_available())
            GTEST_SKIP() << "this processor lacks the SHA extensions";
    }
};

TEST_P(Sha256OnBackend, KnownAnswersWholeAndInPieces) {
    std::mt19937 rng(256);
    for (const auto& ka : known_answers("sha256")) {
        SCOPED_TRACE(ka.label);
        for (int round = 0; round < 3; ++round) {
            Sha256Context ctx;
            sha256_init(ctx);
            if (round == 0) {
                sha256_detail::update_with(GetParam(), ctx, ka.message.data(), ka.message.size());
            } else {
                feed_in_pieces(rng, ka.message, [&](const uint8_t* p, size_t n) {
                    sha256_detail::update_with(GetParam(), ctx, p, n);
                });
            }
            uint8_t out[32];
            sha256_detail::final_with(GetParam(), ctx, out);
            EXPECT_EQ(ka.digest, to_hex(out, 32)) << "round " << round;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, Sha256OnBackend, ::testing::Values(Backend::Portable, Backend::Shani),
                         [](const ::testing::TestParamInfo<Backend>& p) {
                             return p.param == Backend::Shani ? std::string("Shani") : std::string("Portable");
                         });

// The public entry points, on whichever back end this process chose.
TEST(KnownAnswers, Sha256DispatchedOneShot) {
    for (const auto& ka : known_answers("sha256")) {
        uint8_t out[32];
        sha256(ka.message.data(), ka.message.size(), out);
        EXPECT_EQ(ka.digest, to_hex(out, 32)) << ka.label;
    }
}

// One-shot and streaming forms of the other three hashes, as one table.
struct Algorithm {
    const char* name;
    size_t digest_size;
    std::function<void(const std::vector<uint8_t>&, uint8_t*)> one_shot;
    std::function<void(std::mt19937&, const std::vector<uint8_t>&, uint8_t*)> streamed;
};

std::vector<Algorithm> other_algorithms() {
    return {
        {"sha512", 64, [](const std::vector<uint8_t>& m, uint8_t* out) { sha512(m.data(), m.size(), out); },
         [](std::mt19937& rng, const std::vector<uint8_t>& m, uint8_t* out) {
             Sha512Context ctx;
             sha512_init(ctx);
             feed_in_pieces(rng, m, [&](const uint8_t* p, size_t n) { sha512_update(ctx, p, n); });
             sha512_final(ctx, out);
         }},
        {"ripemd160", 20, [](const std::vector<uint8_t>& m, uint8_t* out) { ripemd160(m.data(), m.size(), out); },
         [](std::mt19937& rng, const std::vector<uint8_t>& m, uint8_t* out) {
             Ripemd160Context ctx;
             ripemd160_init(ctx);
             feed_in_pieces(rng, m, [&](const uint8_t* p, size_t n) { ripemd160_update(ctx, p, n); });
             ripemd160_final(ctx, out);
         }},
        {"keccak256", 32, [](const std::vector<uint8_t>& m, uint8_t* out) { keccak256(m.data(), m.size(), out); },
         [](std::mt19937& rng, const std::vector<uint8_t>& m, uint8_t* out) {
             KeccakContext ctx;
             keccak256_init(ctx);
             feed_in_pieces(rng, m, [&](const uint8_t* p, size_t n) { keccak256_update(ctx, p, n); });
             keccak256_final(ctx, out);
         }},
    };
}

TEST(KnownAnswers, OtherHashesWholeAndInPieces) {
    std::mt19937 rng(512);
    for (const auto& alg : other_algorithms()) {
        for (const auto& ka : known_answers(alg.name)) {
            SCOPED_TRACE(std::string(alg.name) + " " + ka.label);
            std::vector<uint8_t> out(alg.digest_size);
            alg.one_shot(ka.message, out.data());
            EXPECT_EQ(ka.digest, to_hex(out));
            for (int round = 0; round < 2; ++round) {
                std::fill(out.begin(), out.end(), 0);
                alg.streamed(rng, ka.message, out.data());
                EXPECT_EQ(ka.digest, to_hex(out)) << "in pieces, round " << round;
            }
        }
    }
}

}  // namespace
}  // namespace qorvex::test
