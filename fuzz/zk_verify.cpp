// Verification of untrusted knowledge and DLEQ proofs.
//
// Input: a mode byte. Even: for the knowledge proof a proof (64), a key (33)
// and a message (32); for the DLEQ proof a proof (64) and four points (33
// each), all as given. Odd: a secret (32), auxiliary data (32), a message
// (32) and a second base's scalar (32) make a valid knowledge proof for
// x G and a valid DLEQ proof for (G, B, x G, x B); the rest of the input
// flips bytes of proof || statement. A changed proof or statement must not
// verify, except where it only adds n to a proof scalar (they are read
// modulo n).
#include <cstring>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_zk_knowledge_verify, qorvex_zk_dleq_verify);

namespace {

struct Knowledge {
    uint8_t proof[64];
    uint8_t pub[33];
    uint8_t msg[32];
};

struct Dleq {
    uint8_t proof[64];
    uint8_t pts[4][33];
};

// a - b as 256-bit big-endian integers equals n or -n.
bool differ_by_n(const uint8_t a[32], const uint8_t b[32]) {
    for (int dir = 0; dir < 2; ++dir) {
        const uint8_t* x = dir ? b : a;
        const uint8_t* y = dir ? a : b;
        // x - y, byte by byte from the end.
        uint8_t d[32];
        int borrow = 0;
        for (int i = 31; i >= 0; --i) {
            const int v = x[i] - y[i] - borrow;
            d[i] = static_cast<uint8_t>(v);
            borrow = v < 0;
        }
        if (!borrow && std::memcmp(d, kOrder, 32) == 0) return true;
    }
    return false;
}

// The same 32-byte scalar once read modulo n.
bool same_mod_n(const uint8_t a[32], const uint8_t b[32]) { return std::memcmp(a, b, 32) == 0 || differ_by_n(a, b); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool proved_mode = in.byte() & 1;
    Knowledge k{};
    Dleq d{};
    Knowledge k0{};
    Dleq d0{};
    if (proved_mode) {
        uint8_t x[32], aux[32], b[32];
        in.bytes(x, 32);
        in.bytes(aux, 32);
        in.bytes(k.msg, 32);
        in.bytes(b, 32);
        static const uint8_t kOne[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                         0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        if (qorvex_pubkey_create(c, x, k.pub) != QORVEX_OK || qorvex_pubkey_create(c, b, d.pts[1]) != QORVEX_OK)
            return 0;
        FUZZ_CHECK(qorvex_pubkey_create(c, kOne, d.pts[0]) == QORVEX_OK);
        std::memcpy(d.pts[2], k.pub, 33);
        FUZZ_CHECK(qorvex_pubkey_tweak_mul(c, d.pts[1], x, d.pts[3]) == QORVEX_OK);
        FUZZ_CHECK(qorvex_zk_knowledge_prove(c, x, k.pub, k.msg, aux, k.proof) == QORVEX_OK);
        FUZZ_CHECK(qorvex_zk_dleq_prove(c, x, d.pts[0], d.pts[1], d.pts[2], d.pts[3], aux, d.proof) == QORVEX_OK);
        k0 = k;
        d0 = d;
        // The same flips for both records, from one copy of the input.
        Input again = in;
        tamper(in, reinterpret_cast<uint8_t*>(&k), sizeof k);
        tamper(again, reinterpret_cast<uint8_t*>(&d), sizeof d);
    } else {
        in.bytes(k.proof, 64);
        in.bytes(k.pub, 33);
        in.bytes(k.msg, 32);
        std::memcpy(d.proof, k.proof, 64);
        for (auto& p : d.pts) in.bytes(p, 33);
    }

    const int rk = qorvex_zk_knowledge_verify(c, k.proof, k.pub, k.msg);
    FUZZ_CHECK(rk == QORVEX_OK || rk == QORVEX_ERR_BAD_PUBKEY || rk == QORVEX_ERR_BAD_INPUT ||
               rk == QORVEX_ERR_VERIFY_FAIL);
    const int rd = qorvex_zk_dleq_verify(c, d.proof, d.pts[0], d.pts[1], d.pts[2], d.pts[3]);
    FUZZ_CHECK(rd == QORVEX_OK || rd == QORVEX_ERR_BAD_PUBKEY || rd == QORVEX_ERR_BAD_INPUT ||
               rd == QORVEX_ERR_VERIFY_FAIL);
    if (proved_mode) {
        // Accepted exactly when nothing changed but a proof scalar's
        // representative modulo n.
        const bool k_same = std::memcmp(k.proof, k0.proof, 32) == 0 && same_mod_n(k.proof + 32, k0.proof + 32) &&
                            std::memcmp(k.pub, k0.pub, 33) == 0 && std::memcmp(k.msg, k0.msg, 32) == 0;
        FUZZ_CHECK((rk == QORVEX_OK) == k_same);
        const bool d_same = same_mod_n(d.proof, d0.proof) && same_mod_n(d.proof + 32, d0.proof + 32) &&
                            std::memcmp(d.pts, d0.pts, sizeof d.pts) == 0;
        FUZZ_CHECK((rd == QORVEX_OK) == d_same);
    }
    return 0;
}
