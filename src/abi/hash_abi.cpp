// The hash exports. They take no context: a NULL pointer is the only
// failure, reported by the return value alone, and it leaves the output
// untouched.
#include "abi/frame.h"
#include "hash/keccak.h"
#include "hash/ripemd160.h"
#include "hash/sha256.h"
#include "hash/sha512.h"
#include "hash/tagged_hash.h"

using namespace qorvex;

extern "C" {

QORVEX_API int qorvex_sha256(const uint8_t* data, size_t len, uint8_t* out32) {
    if (!data || !out32) return QORVEX_ERR_NULL_ARG;
    sha256(data, len, out32);
    return QORVEX_OK;
}

QORVEX_API int qorvex_tagged_hash(const char* tag, const uint8_t* data, size_t len, uint8_t* out32) {
    if (!tag || !data || !out32) return QORVEX_ERR_NULL_ARG;
    // Always the general form: finding the tag among the fixed ones would
    // cost string comparisons on every call to spare two compressions for a
    // handful of tags.
    tagged_hash(tag, data, len, out32);
    return QORVEX_OK;
}

QORVEX_API int qorvex_sha512(const uint8_t* data, size_t len, uint8_t* out64) {
    if (!data || !out64) return QORVEX_ERR_NULL_ARG;
    sha512(data, len, out64);
    return QORVEX_OK;
}

QORVEX_API int qorvex_hash160(const uint8_t* data, size_t len, uint8_t* out20) {
    if (!data || !out20) return QORVEX_ERR_NULL_ARG;
    hash160(data, len, out20);
    return QORVEX_OK;
}

QORVEX_API int qorvex_keccak256(const uint8_t* data, size_t len, uint8_t* out32) {
    if (!out32 || (!data && len != 0)) return QORVEX_ERR_NULL_ARG;
    keccak256(data, len, out32);
    return QORVEX_OK;
}

}  // extern "C"
