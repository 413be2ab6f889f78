// Golomb-coded set queries of untrusted filters, and filters built from
// untrusted elements.
//
// Input: a mode byte, a 16-byte key, a count field (u16; with mode bit 1 a
// u64, so that absurd counts occur), a candidate count (byte, up to 15),
// then for each candidate a length byte (up to 63) and its bytes; the rest
// is the filter. The filter is copied into a buffer of exactly its size, so
// a sanitizer sees any read past its end.
//
// Properties: every query answers 0, 5 or 11; a filter cut short is 5 for
// every query; match_any is 0 exactly when match is 0 for some candidate.
// With mode bit 0, the candidates are also built into a filter of their
// own: each of them matches it, and one byte less is refused.
#include <memory>
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_gcs_build, qorvex_gcs_match, qorvex_gcs_match_any);

namespace {

constexpr uint8_t kNone = 0;  // a pointer for empty inputs

const uint8_t* ptr(const std::vector<uint8_t>& v) { return v.empty() ? &kNone : v.data(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint8_t mode = in.byte();
    uint8_t key[16];
    in.bytes(key, 16);
    uint64_t n;
    if (mode & 2) {
        n = in.u64();
    } else {
        uint8_t b[2];
        in.bytes(b, 2);
        n = static_cast<uint64_t>(b[0]) | (static_cast<uint64_t>(b[1]) << 8);
    }
    const size_t count = in.byte() % 16;
    std::vector<std::vector<uint8_t>> candidates(count);
    std::vector<const uint8_t*> ptrs;
    std::vector<size_t> lens;
    for (auto& cand : candidates) {
        cand.resize(in.byte() % 64);
        in.bytes(cand.data(), cand.size());
    }
    for (const auto& cand : candidates) {
        // Empty elements come as NULL sometimes: allowed in the arrays.
        ptrs.push_back(cand.empty() && (mode & 4) ? nullptr : ptr(cand));
        lens.push_back(cand.size());
    }
    const std::vector<uint8_t> filter(in.rest(), in.rest() + in.rest_size());
    // An exact-size copy: a read past the end is a heap overflow.
    const std::unique_ptr<uint8_t[]> exact(new uint8_t[filter.size() + (filter.empty() ? 1 : 0)]);
    if (!filter.empty()) std::memcpy(exact.get(), filter.data(), filter.size());
    const size_t n_size = static_cast<size_t>(n);

    bool any = false, short_filter = false;
    for (const auto& cand : candidates) {
        const int rc = qorvex_gcs_match(key, exact.get(), filter.size(), n_size, ptr(cand), cand.size());
        FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_NOT_FOUND || rc == QORVEX_ERR_BAD_INPUT);
        any |= rc == QORVEX_OK;
        short_filter |= rc == QORVEX_ERR_BAD_INPUT;
    }
    const int rc_any = qorvex_gcs_match_any(key, exact.get(), filter.size(), n_size, count ? ptrs.data() : nullptr,
                                            count ? lens.data() : nullptr, count);
    FUZZ_CHECK(rc_any == QORVEX_OK || rc_any == QORVEX_ERR_NOT_FOUND || rc_any == QORVEX_ERR_BAD_INPUT);
    if (short_filter) FUZZ_CHECK(rc_any == QORVEX_ERR_BAD_INPUT);
    if (rc_any == QORVEX_ERR_BAD_INPUT && count > 0) FUZZ_CHECK(short_filter);
    if (rc_any != QORVEX_ERR_BAD_INPUT) FUZZ_CHECK((rc_any == QORVEX_OK) == any);

    if (mode & 1) return 0;
    size_t len = filter.size() + 64;
    std::vector<uint8_t> own(len);
    const int rc_build = qorvex_gcs_build(key, count ? ptrs.data() : nullptr, count ? lens.data() : nullptr, count,
                                          own.data(), &len);
    FUZZ_CHECK(rc_build == QORVEX_OK || rc_build == QORVEX_ERR_BUF_TOO_SMALL);
    if (rc_build != QORVEX_OK) return 0;
    FUZZ_CHECK(len <= count * 8 + 8);
    own.resize(len);
    for (const auto& cand : candidates)
        FUZZ_CHECK(qorvex_gcs_match(key, ptr(own), own.size(), count, ptr(cand), cand.size()) == QORVEX_OK);
    if (count > 0) {
        FUZZ_CHECK(qorvex_gcs_match_any(key, ptr(own), own.size(), count, ptrs.data(), lens.data(), count) ==
                   QORVEX_OK);
        FUZZ_CHECK(qorvex_gcs_match(key, ptr(own), own.size() - 1, count, ptr(candidates[0]),
                                    candidates[0].size()) == QORVEX_ERR_BAD_INPUT);
    }
    return 0;
}
