// Constant-time cases: FROST key generation, nonce generation and signing.
#include <vector>

#include "ctime.h"

namespace qorvex::ctime {

namespace {

constexpr uint32_t kT = 2, kN = 3;
constexpr size_t kCommitsSize = QORVEX_FROST_COMMITMENT_SIZE(kT);
constexpr size_t kSharesSize = QORVEX_FROST_SHARES_SIZE(kN);

// The blobs of a 2-of-3 key generation, made with nothing marked.
struct FrostKeygen {
    std::vector<uint8_t> all_commits = std::vector<uint8_t>(kN * kCommitsSize);
    std::vector<uint8_t> shares = std::vector<uint8_t>(kN * kSharesSize);

    // The entries addressed to id, in sender order.
    std::vector<uint8_t> received(uint32_t id) const {
        std::vector<uint8_t> out;
        for (uint32_t m = 0; m < kN; ++m) {
            const uint8_t* e = shares.data() + kSharesSize * m + QORVEX_FROST_SHARE_ENTRY_SIZE * (id - 1);
            out.insert(out.end(), e, e + QORVEX_FROST_SHARE_ENTRY_SIZE);
        }
        return out;
    }
};

const FrostKeygen& frost_keygen() {
    static const FrostKeygen k = [] {
        FrostKeygen g;
        for (uint32_t id = 1; id <= kN; ++id) {
            const Bytes32 seed = bytes32(0x60, static_cast<uint8_t>(id));
            size_t cl = kCommitsSize, sl = kSharesSize;
            if (qorvex_frost_keygen_begin(g_ctx, id, kT, kN, seed.b, g.all_commits.data() + kCommitsSize * (id - 1),
                                          &cl, g.shares.data() + kSharesSize * (id - 1), &sl) != QORVEX_OK)
                std::abort();
        }
        return g;
    }();
    return k;
}

// Signer 1's key package, and the nonces and commitment list of signers
// 1 and 2.
struct FrostSigning {
    uint8_t keypkg[QORVEX_FROST_KEYPKG_SIZE];
    uint8_t nonce[QORVEX_FROST_NONCE_SIZE];
    uint8_t list[2 * QORVEX_FROST_NONCE_COMMIT_SIZE];
};

const FrostSigning& frost_signing() {
    static const FrostSigning s = [] {
        FrostSigning f{};
        const FrostKeygen& k = frost_keygen();
        const std::vector<uint8_t> mine = k.received(1);
        if (qorvex_frost_keygen_finalize(g_ctx, 1, k.all_commits.data(), k.all_commits.size(), mine.data(),
                                         mine.size(), kT, kN, f.keypkg) != QORVEX_OK)
            std::abort();
        uint8_t other[QORVEX_FROST_NONCE_SIZE];
        const Bytes32 seed1 = bytes32(0x61, 1), seed2 = bytes32(0x61, 2);
        if (qorvex_frost_sign_nonce_gen(g_ctx, 1, seed1.b, f.nonce, f.list) != QORVEX_OK ||
            qorvex_frost_sign_nonce_gen(g_ctx, 2, seed2.b, other, f.list + QORVEX_FROST_NONCE_COMMIT_SIZE) != QORVEX_OK)
            std::abort();
        return f;
    }();
    return s;
}

}  // namespace

CT_FAMILY(frost) {
    t.push_back(CT_CASE(qorvex_frost_keygen_begin, "seed", [](bool mark, Observed& o) {
        Bytes32 seed = kSeed;
        std::vector<uint8_t> commits(kCommitsSize), shares(kSharesSize);
        size_t cl = commits.size(), sl = shares.size();
        if (mark) secret(seed.b, 32);
        o.code(qorvex_frost_keygen_begin(g_ctx, 2, kT, kN, seed.b, commits.data(), &cl, shares.data(), &sl));
        o.add(commits.data(), commits.size());
        o.add(shares.data(), shares.size());
    }));
    // The received share values are the secrets (their senders are public):
    // a good set, and one with a share off its commitments (the verdict).
    t.push_back(CT_CASE(qorvex_frost_keygen_finalize, "received share values", [](bool mark, Observed& o) {
        const FrostKeygen& k = frost_keygen();
        for (const bool tampered : {false, true}) {
            std::vector<uint8_t> received = k.received(2);
            if (tampered) received[QORVEX_FROST_SHARE_ENTRY_SIZE + 9] ^= 4;
            uint8_t keypkg[QORVEX_FROST_KEYPKG_SIZE] = {0};
            if (mark)
                for (uint32_t j = 0; j < kN; ++j) secret(received.data() + QORVEX_FROST_SHARE_ENTRY_SIZE * j + 4, 32);
            o.code(qorvex_frost_keygen_finalize(g_ctx, 2, k.all_commits.data(), k.all_commits.size(), received.data(),
                                                received.size(), kT, kN, keypkg));
            o.add(keypkg, sizeof keypkg);
        }
    }));
    t.push_back(CT_CASE(qorvex_frost_sign_nonce_gen, "seed", [](bool mark, Observed& o) {
        Bytes32 seed = kSeed;
        uint8_t nonce[QORVEX_FROST_NONCE_SIZE] = {0}, commit[QORVEX_FROST_NONCE_COMMIT_SIZE] = {0};
        if (mark) secret(seed.b, 32);
        o.code(qorvex_frost_sign_nonce_gen(g_ctx, 7, seed.b, nonce, commit));
        o.add(nonce, sizeof nonce);
        o.add(commit, sizeof commit);
    }));
    // The signing share in the key package and the secret nonce; then the
    // same with a nonce already used.
    t.push_back(CT_CASE(qorvex_frost_sign, "signing share, secret nonce", [](bool mark, Observed& o) {
        const FrostSigning& s = frost_signing();
        for (const bool used : {false, true}) {
            uint8_t keypkg[QORVEX_FROST_KEYPKG_SIZE], nonce[QORVEX_FROST_NONCE_SIZE];
            uint8_t psig[QORVEX_FROST_PARTIAL_SIG_SIZE] = {0};
            std::memcpy(keypkg, s.keypkg, sizeof keypkg);
            std::memcpy(nonce, s.nonce, sizeof nonce);
            if (used) std::memset(nonce, 0, sizeof nonce);
            if (mark) secret(keypkg + 12, 32), secret(nonce, sizeof nonce);
            o.code(qorvex_frost_sign(g_ctx, keypkg, nonce, kMsg.b, s.list, 2, psig));
            o.add(psig, sizeof psig);
            o.add(nonce, sizeof nonce);
        }
    }));
}

}  // namespace qorvex::ctime
