// Golomb-coded set filters with the BIP-158 basic parameters. No context:
// every result is the return code alone.
#include <vector>

#include "abi/frame.h"
#include "bitcoin/gcs.h"

using namespace qorvex;

namespace {

// Every element a count reaches has bytes behind it, unless it is empty.
bool elements_present(const uint8_t* const* data, const size_t* lens, size_t count) {
    if (count == 0) return true;
    if (data == nullptr || lens == nullptr) return false;
    for (size_t i = 0; i < count; ++i)
        if (data[i] == nullptr && lens[i] != 0) return false;
    return true;
}

int code_of(gcs::Match m) {
    switch (m) {
        case gcs::Match::found: return QORVEX_OK;
        case gcs::Match::not_found: return QORVEX_ERR_NOT_FOUND;
        case gcs::Match::short_filter: return QORVEX_ERR_BAD_INPUT;
    }
    return QORVEX_ERR_INTERNAL;
}

// The exception boundary of the functions without a context: allocation
// failure and anything else become 9.
template <typename Body>
int without_throwing(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return QORVEX_ERR_INTERNAL;
    }
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_gcs_build(const uint8_t* key16, const uint8_t* const* elements, const size_t* element_lens,
                                size_t n, uint8_t* filter_out, size_t* filter_len) {
    if (!key16 || !filter_out || !filter_len || !elements_present(elements, element_lens, n))
        return QORVEX_ERR_NULL_ARG;
    return without_throwing([&] {
        // Every input is read before the first output byte is written.
        const gcs::Key key = gcs::Key::from_bytes(key16);
        const std::vector<uint64_t> values = gcs::sorted_values(key, {elements, element_lens}, n);
        const size_t size = gcs::encoded_size(values);
        if (*filter_len < size) return QORVEX_ERR_BUF_TOO_SMALL;
        gcs::encode(values, {filter_out, size});
        *filter_len = size;
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_gcs_match(const uint8_t* key16, const uint8_t* filter, size_t filter_len, size_t n,
                                const uint8_t* element, size_t element_len) {
    if (!key16 || !filter || !element) return QORVEX_ERR_NULL_ARG;
    return code_of(gcs::match(gcs::Key::from_bytes(key16), {filter, filter_len}, n, {element, element_len}));
}

QORVEX_API int qorvex_gcs_match_any(const uint8_t* key16, const uint8_t* filter, size_t filter_len, size_t n,
                                    const uint8_t* const* elements, const size_t* element_lens,
                                    size_t element_count) {
    if (!key16 || !filter || !elements_present(elements, element_lens, element_count)) return QORVEX_ERR_NULL_ARG;
    return without_throwing([&] {
        return code_of(gcs::match_any(gcs::Key::from_bytes(key16), {filter, filter_len}, n,
                                      {elements, element_lens}, element_count));
    });
}

}  // extern "C"
