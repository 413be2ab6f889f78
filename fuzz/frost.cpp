// FROST with blobs from other parties: commitment blobs and share entries
// into key generation, key packages and nonce commitment lists into
// signing, partial signatures and group keys into verification and
// aggregation.
//
// Input: a mode byte. Even: raw blobs: a threshold (byte % 5), a
// participant count (byte % 6) and an identifier (byte % 7), then the
// commitment blobs and share entries their lengths ask for, a key package,
// a secret nonce, a signer count (byte % 5) with its nonce commitments and
// partial signatures, a verification share, a group key and a message.
// Odd: a real key generation (t of N from the input, t, N <= 3) and signing
// by the first t participants, which must end in a valid BIP-340
// signature; then one blob (chosen by the next byte) has bytes flipped by
// the rest of the input and every export that reads it runs again.
#include <algorithm>
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_frost_keygen_finalize, qorvex_frost_verify_partial, qorvex_frost_aggregate,
                    qorvex_frost_sign);

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kEntry = QORVEX_FROST_SHARE_ENTRY_SIZE;
constexpr size_t kKeypkg = QORVEX_FROST_KEYPKG_SIZE;
constexpr size_t kNonce = QORVEX_FROST_NONCE_SIZE;
constexpr size_t kCommit = QORVEX_FROST_NONCE_COMMIT_SIZE;
constexpr size_t kPartial = QORVEX_FROST_PARTIAL_SIG_SIZE;

bool one_of(int rc, std::initializer_list<int> codes) {
    for (int c : codes)
        if (rc == c) return true;
    return false;
}

bool all_zero(const uint8_t* p, size_t n) {
    uint8_t acc = 0;
    for (size_t i = 0; i < n; ++i) acc |= p[i];
    return acc == 0;
}

Bytes take(Input& in, size_t n) {
    Bytes b(n);
    in.bytes(b.data(), n);
    return b;
}

// The blobs are passed with one spare byte, so that an empty list still
// has a valid pointer (a NULL one is a different error).
int finalize(qorvex_ctx* c, uint32_t id, uint32_t t, uint32_t n, Bytes commits, Bytes shares,
             uint8_t keypkg[kKeypkg]) {
    std::memset(keypkg, 0xA5, kKeypkg);
    const size_t commits_len = commits.size(), shares_len = shares.size();
    commits.push_back(0);
    shares.push_back(0);
    const int rc = qorvex_frost_keygen_finalize(c, id, commits.data(), commits_len, shares.data(), shares_len, t, n,
                                                keypkg);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_INTERNAL}));
    if (rc != QORVEX_OK) {
        uint8_t untouched[kKeypkg];
        std::memset(untouched, 0xA5, kKeypkg);
        FUZZ_CHECK(std::memcmp(keypkg, untouched, kKeypkg) == 0);
    }
    return rc;
}

int verify(qorvex_ctx* c, const uint8_t* psig, const uint8_t* share33, const Bytes& list, size_t n,
           const uint8_t* msg, const uint8_t* group33) {
    const int rc = qorvex_frost_verify_partial(c, psig, share33, list.data(), n, msg, group33);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_BAD_SIG, QORVEX_ERR_BAD_PUBKEY,
                           QORVEX_ERR_VERIFY_FAIL}));
    return rc;
}

int aggregate(qorvex_ctx* c, const Bytes& psigs, const Bytes& list, size_t n, const uint8_t* group33,
              const uint8_t* msg, uint8_t sig[64]) {
    const int rc = qorvex_frost_aggregate(c, psigs.data(), n, list.data(), n, group33, msg, sig);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_BAD_SIG, QORVEX_ERR_BAD_KEY,
                           QORVEX_ERR_INTERNAL}));
    if (rc != QORVEX_OK) FUZZ_CHECK(all_zero(sig, 64));
    return rc;
}

int sign(qorvex_ctx* c, const uint8_t* keypkg, Bytes nonce, const uint8_t* msg, const Bytes& list, size_t n,
         uint8_t out[kPartial]) {
    const int rc = qorvex_frost_sign(c, keypkg, nonce.data(), msg, list.data(), n, out);
    FUZZ_CHECK(one_of(rc, {QORVEX_OK, QORVEX_ERR_BAD_INPUT, QORVEX_ERR_BAD_KEY, QORVEX_ERR_INTERNAL}));
    FUZZ_CHECK(all_zero(nonce.data(), kNonce));
    if (rc != QORVEX_OK) FUZZ_CHECK(all_zero(out, kPartial));
    return rc;
}

void raw(qorvex_ctx* c, Input& in) {
    const uint32_t t = in.byte() % 5, n = in.byte() % 6, id = in.byte() % 7;
    const Bytes commits = take(in, size_t{n} * QORVEX_FROST_COMMITMENT_SIZE(t));
    const Bytes shares = take(in, size_t{n} * kEntry);
    const Bytes keypkg = take(in, kKeypkg), nonce = take(in, kNonce);
    const size_t signers = in.byte() % 5;
    // At least one entry of each, so that every pointer is valid.
    const Bytes list = take(in, kCommit * (signers ? signers : 1));
    const Bytes psigs = take(in, kPartial * (signers ? signers : 1));
    const Bytes share = take(in, 33), group = take(in, 33), msg = take(in, 32);

    uint8_t out_keypkg[kKeypkg];
    finalize(c, id, t, n, commits, shares, out_keypkg);
    uint8_t psig[kPartial], sig[64];
    sign(c, keypkg.data(), nonce, msg.data(), list, signers, psig);
    verify(c, psigs.data(), share.data(), list, signers, msg.data(), group.data());
    aggregate(c, psigs, list, signers, group.data(), msg.data(), sig);
}

void run_and_tamper(qorvex_ctx* c, Input& in) {
    const uint32_t t = 2 + in.byte() % 2;
    const uint32_t n = std::min<uint32_t>(3, t + in.byte() % 2);
    const size_t cs = QORVEX_FROST_COMMITMENT_SIZE(t);
    Bytes all_commits(n * cs), shares(n * n * kEntry);
    for (uint32_t id = 1; id <= n; ++id) {
        const Bytes seed = take(in, 32);
        size_t cl = cs, sl = n * kEntry;
        FUZZ_CHECK(qorvex_frost_keygen_begin(c, id, t, n, seed.data(), all_commits.data() + cs * (id - 1), &cl,
                                             shares.data() + n * kEntry * (id - 1), &sl) == QORVEX_OK);
    }
    auto received = [&](uint32_t id) {
        Bytes out;
        for (uint32_t m = 0; m < n; ++m) {
            const uint8_t* e = shares.data() + n * kEntry * m + kEntry * (id - 1);
            out.insert(out.end(), e, e + kEntry);
        }
        return out;
    };
    std::vector<Bytes> keypkgs;
    for (uint32_t id = 1; id <= n; ++id) {
        Bytes kp(kKeypkg);
        FUZZ_CHECK(finalize(c, id, t, n, all_commits, received(id), kp.data()) == QORVEX_OK);
        keypkgs.push_back(kp);
    }
    const uint8_t* group = keypkgs[0].data() + 77;
    const Bytes msg = take(in, 32);
    Bytes list, psigs;
    std::vector<Bytes> nonces;
    for (uint32_t id = 1; id <= t; ++id) {
        const Bytes seed = take(in, 32);
        Bytes nonce(kNonce), commit(kCommit);
        FUZZ_CHECK(qorvex_frost_sign_nonce_gen(c, id, seed.data(), nonce.data(), commit.data()) == QORVEX_OK);
        nonces.push_back(nonce);
        list.insert(list.end(), commit.begin(), commit.end());
    }
    for (uint32_t id = 1; id <= t; ++id) {
        uint8_t p[kPartial];
        FUZZ_CHECK(sign(c, keypkgs[id - 1].data(), nonces[id - 1], msg.data(), list, t, p) == QORVEX_OK);
        psigs.insert(psigs.end(), p, p + kPartial);
    }
    uint8_t sig[64];
    FUZZ_CHECK(aggregate(c, psigs, list, t, group, msg.data(), sig) == QORVEX_OK);
    FUZZ_CHECK(qorvex_schnorr_verify(c, msg.data(), sig, group + 1) == QORVEX_OK);

    // One blob with bytes flipped.
    Bytes mine = received(1), group_key(group, group + 33), keypkg = keypkgs[0];
    Bytes* target[] = {&all_commits, &mine, &list, &psigs, &group_key, &keypkg};
    const uint8_t region = in.byte() % 6;
    const Bytes before = *target[region];
    tamper(in, target[region]->data(), target[region]->size());
    const bool untouched = before == *target[region];

    if (region <= 1) {
        uint8_t kp[kKeypkg];
        const int rc = finalize(c, 1, t, n, all_commits, mine, kp);
        if (untouched) FUZZ_CHECK(rc == QORVEX_OK && std::memcmp(kp, keypkgs[0].data(), kKeypkg) == 0);
        return;
    }
    if (region == 5) {
        // A stored key package altered: signing still answers with a code
        // and wipes the nonce.
        uint8_t p[kPartial];
        const int rc = sign(c, keypkg.data(), Bytes(nonces[0]), msg.data(), list, t, p);
        if (untouched) FUZZ_CHECK(rc == QORVEX_OK && std::memcmp(p, psigs.data(), kPartial) == 0);
        return;
    }
    bool all_verify = true;
    for (uint32_t i = 0; i < t; ++i) {
        const int rc = verify(c, psigs.data() + kPartial * i, keypkgs[i].data() + 44, list, t, msg.data(),
                              group_key.data());
        if (untouched) FUZZ_CHECK(rc == QORVEX_OK);
        all_verify &= rc == QORVEX_OK;
    }
    uint8_t sig2[64];
    const int rc = aggregate(c, psigs, list, t, group_key.data(), msg.data(), sig2);
    // Partial signatures that all verify add up to a valid signature.
    if (region != 4 && all_verify) {
        FUZZ_CHECK(rc == QORVEX_OK);
        FUZZ_CHECK(qorvex_schnorr_verify(c, msg.data(), sig2, group + 1) == QORVEX_OK);
    }
    if (untouched) FUZZ_CHECK(std::memcmp(sig, sig2, 64) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    if (in.byte() & 1)
        run_and_tamper(c, in);
    else
        raw(c, in);
    return 0;
}
