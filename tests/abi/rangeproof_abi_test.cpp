// Range proofs through the public interface: round trips with commitments
// from qorvex_pedersen_commit, determinism, every code and message in the
// order the checks run, and outputs over inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "abi_helpers.h"

namespace qorvex::test {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kSize = QORVEX_ZK_RANGE_PROOF_SIZE;

constexpr char kBlindingGeN[] = "blinding >= n";
constexpr char kBadCommitment[] = "invalid commitment point";
constexpr char kMismatch[] = "commitment does not match value and blinding";
constexpr char kBufferSmall[] = "range proof buffer too small";
constexpr char kTooShort[] = "range proof too short";
constexpr char kLengthMismatch[] = "range proof length mismatch";
constexpr char kBadPoint[] = "invalid point in range proof";
constexpr char kBadScalar[] = "invalid scalar in range proof";
constexpr char kFailed[] = "range proof failed";

Bytes value32(uint64_t v) {
    Bytes b(32, 0);
    for (int i = 0; i < 8; ++i) b[31 - i] = static_cast<uint8_t>(v >> (8 * i));
    return b;
}

class RangeProofAbi : public ::testing::Test {
protected:
    void SetUp() override {
        ctx_ = make_ctx();
        ASSERT_TRUE(ctx_);
        commitment_ = commit(kValue, blinding_);
        ASSERT_EQ(QORVEX_OK, prove(kValue, blinding_, commitment_, aux_, proof_));
    }
    qorvex_ctx* ctx() { return ctx_.get(); }
    Bytes commit(uint64_t v, const Bytes& blinding) {
        Bytes c(QORVEX_PEDERSEN_COMMITMENT_SIZE);
        EXPECT_EQ(QORVEX_OK, qorvex_pedersen_commit(ctx(), value32(v).data(), blinding.data(), c.data()));
        return c;
    }
    int prove(uint64_t v, const Bytes& blinding, const Bytes& c, const Bytes& aux, Bytes& proof) {
        proof.assign(kSize, 0xEE);
        size_t len = proof.size();
        const int rc = qorvex_zk_range_prove(ctx(), v, blinding.data(), c.data(), aux.data(), proof.data(), &len);
        if (rc == QORVEX_OK) {
            EXPECT_EQ(kSize, len);
        }
        return rc;
    }
    int verify(const Bytes& c, const Bytes& proof) {
        return qorvex_zk_range_verify(ctx(), c.data(), proof.data(), proof.size());
    }
    void expect(int rc, int code, const char* message) {
        EXPECT_EQ(code, rc);
        EXPECT_EQ(code, qorvex_last_error(ctx()));
        EXPECT_STREQ(message, qorvex_last_error_msg(ctx()));
    }

    static constexpr uint64_t kValue = 21000000ULL * 100000000ULL;
    const Bytes blinding_ = be32("0b11d1e5"), aux_ = be32("a0a0");
    Bytes commitment_, proof_;

private:
    CtxPtr ctx_;
};

TEST_F(RangeProofAbi, RoundTripAndDeterminism) {
    expect(verify(commitment_, proof_), QORVEX_OK, "OK");
    Bytes again, other;
    ASSERT_EQ(QORVEX_OK, prove(kValue, blinding_, commitment_, aux_, again));
    EXPECT_EQ(proof_, again);
    // Another aux32: every field derived from the randomness changes (A, S,
    // T1, T2 and the five scalars).
    ASSERT_EQ(QORVEX_OK, prove(kValue, blinding_, commitment_, be32("a0a1"), other));
    expect(verify(commitment_, other), QORVEX_OK, "OK");
    for (size_t off : {0u, 33u, 66u, 99u, 132u, 164u, 196u, 624u, 656u}) {
        const size_t len = off < 132 ? 33 : 32;
        EXPECT_NE(0, std::memcmp(proof_.data() + off, other.data() + off, len)) << "field at " << off;
    }
    // The largest value, and the proof against other commitments.
    Bytes top;
    const Bytes c_top = commit(~uint64_t{0}, blinding_);
    ASSERT_EQ(QORVEX_OK, prove(~uint64_t{0}, blinding_, c_top, aux_, top));
    EXPECT_EQ(QORVEX_OK, verify(c_top, top));
    expect(verify(commit(kValue + 1, blinding_), proof_), QORVEX_ERR_VERIFY_FAIL, kFailed);
    expect(verify(c_top, proof_), QORVEX_ERR_VERIFY_FAIL, kFailed);
}

TEST_F(RangeProofAbi, ProveCodesInOrder) {
    const Bytes order = be32(kOrderHex), zeros(33, 0);
    Bytes bad_prefix = commitment_;
    bad_prefix[0] = 0x04;
    struct Row {
        const char* name;
        uint64_t value;
        Bytes blinding, commitment;
        int code;
        const char* message;
    } rows[] = {
        {"blinding n", kValue, order, commitment_, 5, kBlindingGeN},
        {"blinding first", kValue, order, zeros, 5, kBlindingGeN},
        {"zero commitment", kValue, blinding_, zeros, 5, kBadCommitment},
        {"prefix 04", kValue, blinding_, bad_prefix, 5, kBadCommitment},
        {"other value", kValue + 1, blinding_, commitment_, 5, kMismatch},
        {"other blinding", kValue, be32("0b11d1e6"), commitment_, 5, kMismatch},
        {"value 0, blinding 0", 0, be32("0"), commitment_, 5, kMismatch},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Bytes proof;
        expect(prove(r.value, r.blinding, r.commitment, aux_, proof), r.code, r.message);
        EXPECT_EQ(Bytes(kSize, 0xEE), proof);
    }
    // A short buffer, found after proving: buffer and length untouched.
    Bytes buf(kSize, 0xEE);
    size_t len = kSize - 1;
    expect(qorvex_zk_range_prove(ctx(), kValue, blinding_.data(), commitment_.data(), aux_.data(), buf.data(), &len),
           QORVEX_ERR_BUF_TOO_SMALL, kBufferSmall);
    EXPECT_EQ(kSize - 1, len);
    EXPECT_EQ(Bytes(kSize, 0xEE), buf);
    // A larger one receives the proof and its length.
    buf.assign(kSize + 10, 0xEE);
    len = buf.size();
    ASSERT_EQ(QORVEX_OK, qorvex_zk_range_prove(ctx(), kValue, blinding_.data(), commitment_.data(), aux_.data(),
                                               buf.data(), &len));
    EXPECT_EQ(kSize, len);
    EXPECT_EQ(proof_, Bytes(buf.begin(), buf.begin() + kSize));
    // Value 0 with blinding 0 commits to infinity, which no input encodes.
    Bytes infinity(33);
    ASSERT_EQ(QORVEX_OK, qorvex_pedersen_commit(ctx(), value32(0).data(), be32("0").data(), infinity.data()));
    EXPECT_EQ(zeros, infinity);
}

TEST_F(RangeProofAbi, VerifyCodesInOrder) {
    Bytes bad_point = proof_, bad_scalar = proof_, both = proof_;
    bad_point[0] = 0x04;
    std::fill(bad_scalar.begin() + 196, bad_scalar.begin() + 228, 0xFF);  // t_hat
    std::fill(both.begin() + 656, both.end(), 0xFF);                     // b
    both[426] = 0x05;                                // R_0
    Bytes last_point = proof_;
    last_point[426 + 5 * 33] ^= 0x01 ^ 0x07;  // R_5's prefix 02/03 -> 04/05
    Bytes n_scalar = proof_;
    const Bytes order = be32(kOrderHex);
    std::copy(order.begin(), order.end(), n_scalar.begin() + 656);
    const Bytes zeros(33, 0);
    struct Row {
        const char* name;
        Bytes commitment, proof;
        int code;
        const char* message;
    } rows[] = {
        {"empty", commitment_, Bytes(), 5, kTooShort},
        {"687 bytes", commitment_, Bytes(proof_.begin(), proof_.end() - 1), 5, kTooShort},
        {"689 bytes", commitment_, [&] { Bytes b = proof_; b.push_back(0); return b; }(), 5, kLengthMismatch},
        {"A prefix 04", commitment_, bad_point, 5, kBadPoint},
        {"R_5 prefix", commitment_, last_point, 5, kBadPoint},
        {"points before scalars", commitment_, both, 5, kBadPoint},
        {"t_hat all ff", commitment_, bad_scalar, 5, kBadScalar},
        {"b = n", commitment_, n_scalar, 5, kBadScalar},
        {"proof before commitment", zeros, bad_scalar, 5, kBadScalar},
        {"zero commitment", zeros, proof_, 5, kBadCommitment},
        {"other commitment", commit(kValue, be32("77")), proof_, 6, kFailed},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        // An empty proof still needs a valid pointer.
        const uint8_t dummy = 0;
        const uint8_t* p = r.proof.empty() ? &dummy : r.proof.data();
        expect(qorvex_zk_range_verify(ctx(), r.commitment.data(), p, r.proof.size()), r.code, r.message);
    }
}

TEST_F(RangeProofAbi, NullPointersLeaveTheContextAlone) {
    Bytes buf(kSize);
    size_t len = kSize;
    const uint8_t* b = blinding_.data();
    const uint8_t* c = commitment_.data();
    const uint8_t* a = aux_.data();
    ASSERT_EQ(QORVEX_ERR_VERIFY_FAIL, verify(commit(1, blinding_), proof_));
    EXPECT_EQ(1, qorvex_zk_range_prove(nullptr, 1, b, c, a, buf.data(), &len));
    EXPECT_EQ(1, qorvex_zk_range_prove(ctx(), 1, nullptr, c, a, buf.data(), &len));
    EXPECT_EQ(1, qorvex_zk_range_prove(ctx(), 1, b, nullptr, a, buf.data(), &len));
    EXPECT_EQ(1, qorvex_zk_range_prove(ctx(), 1, b, c, nullptr, buf.data(), &len));
    EXPECT_EQ(1, qorvex_zk_range_prove(ctx(), 1, b, c, a, nullptr, &len));
    EXPECT_EQ(1, qorvex_zk_range_prove(ctx(), 1, b, c, a, buf.data(), nullptr));
    EXPECT_EQ(1, qorvex_zk_range_verify(nullptr, c, proof_.data(), kSize));
    EXPECT_EQ(1, qorvex_zk_range_verify(ctx(), nullptr, proof_.data(), kSize));
    EXPECT_EQ(1, qorvex_zk_range_verify(ctx(), c, nullptr, kSize));
    expect(QORVEX_ERR_VERIFY_FAIL, QORVEX_ERR_VERIFY_FAIL, kFailed);
}

// The proof buffer over each input in turn: the same proof.
TEST_F(RangeProofAbi, ProofMayOverlapEveryInput) {
    for (int which = 0; which < 3; ++which) {
        SCOPED_TRACE(which);
        Bytes buf(kSize, 0);
        const Bytes& src = which == 0 ? blinding_ : which == 1 ? commitment_ : aux_;
        std::memcpy(buf.data(), src.data(), src.size());
        const uint8_t* b = which == 0 ? buf.data() : blinding_.data();
        const uint8_t* c = which == 1 ? buf.data() : commitment_.data();
        const uint8_t* a = which == 2 ? buf.data() : aux_.data();
        size_t len = kSize;
        ASSERT_EQ(QORVEX_OK, qorvex_zk_range_prove(ctx(), kValue, b, c, a, buf.data(), &len));
        EXPECT_EQ(proof_, buf);
    }
}

}  // namespace
}  // namespace qorvex::test
