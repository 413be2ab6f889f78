// Multi-scalar multiplication and Shamir's trick on untrusted scalars and
// points, against sums of single multiplications (qorvex_pubkey_tweak_mul
// and qorvex_pubkey_combine).
//
// Input: a count byte (1 to 8 terms; with bit 7 set the terms are repeated
// to 50, which takes the bucket method), then per term a 32-byte scalar and
// a 33-byte point.
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_multi_scalar_mul, qorvex_shamir_trick);

namespace {

using Bytes = std::vector<uint8_t>;

bool below_n(const uint8_t* k) { return std::memcmp(k, kOrder, 32) < 0; }

bool is_zero(const uint8_t* k) {
    for (int i = 0; i < 32; ++i)
        if (k[i]) return false;
    return true;
}

// The code and sum qorvex_multi_scalar_mul must give, from the single
// operations.
int expected_sum(qorvex_ctx* c, const Bytes& scalars, const Bytes& points, size_t n, uint8_t out[33]) {
    Bytes products;
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!below_n(&scalars[32 * i])) return QORVEX_ERR_BAD_INPUT;
        uint8_t parsed[33];
        if (qorvex_pubkey_parse(c, &points[33 * i], 33, parsed) != QORVEX_OK) return QORVEX_ERR_BAD_PUBKEY;
        if (is_zero(&scalars[32 * i])) continue;
        uint8_t term[33];
        FUZZ_CHECK(qorvex_pubkey_tweak_mul(c, parsed, &scalars[32 * i], term) == QORVEX_OK);
        products.insert(products.end(), term, term + 33);
        ++count;
    }
    if (count == 0) return QORVEX_ERR_ARITH;
    const int rc = qorvex_pubkey_combine(c, products.data(), count, out);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_ARITH);
    return rc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const uint8_t head = in.byte();
    const size_t terms = (head & 7) + 1;
    Bytes scalars(32 * terms), points(33 * terms);
    for (size_t i = 0; i < terms; ++i) {
        in.bytes(&scalars[32 * i], 32);
        in.bytes(&points[33 * i], 33);
    }
    size_t n = terms;
    if (head & 0x80) {
        n = 50;
        for (size_t i = terms; i < n; ++i) {
            scalars.insert(scalars.end(), scalars.begin() + 32 * (i % terms), scalars.begin() + 32 * (i % terms + 1));
            points.insert(points.end(), points.begin() + 33 * (i % terms), points.begin() + 33 * (i % terms + 1));
        }
    }

    uint8_t want[33] = {0}, got[33] = {0};
    const int rc_want = expected_sum(c, scalars, points, n, want);
    const int rc = qorvex_multi_scalar_mul(c, scalars.data(), points.data(), n, got);
    FUZZ_CHECK(rc == rc_want);
    if (rc == QORVEX_OK) FUZZ_CHECK(std::memcmp(want, got, 33) == 0);

    if (terms < 2) return 0;
    // a P + b Q: both scalars are checked before either point.
    int rc_two;
    if (!below_n(&scalars[0]) || !below_n(&scalars[32]))
        rc_two = QORVEX_ERR_BAD_INPUT;
    else
        rc_two = expected_sum(c, scalars, points, 2, want);
    const int rc_shamir = qorvex_shamir_trick(c, &scalars[0], &points[0], &scalars[32], &points[33], got);
    FUZZ_CHECK(rc_shamir == rc_two);
    if (rc_shamir == QORVEX_OK) FUZZ_CHECK(std::memcmp(want, got, 33) == 0);
    return 0;
}
