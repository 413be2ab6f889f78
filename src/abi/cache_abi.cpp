// Where the generator-table cache lives.
#include <cstring>
#include <new>
#include <string>

#include "abi/frame.h"
#include "arith/precompute.h"

extern "C" {

QORVEX_API int qorvex_set_cache_dir(const char* path) {
    try {
        qorvex::set_cache_dir(path ? std::string(path) : std::string());
    } catch (...) {
        // Only the string copy can fail; there is no context to record it in.
        return QORVEX_ERR_INTERNAL;
    }
    return QORVEX_OK;
}

QORVEX_API int qorvex_cache_location(char* path_out, size_t* path_len) {
    if (!path_out || !path_len) return QORVEX_ERR_NULL_ARG;
    try {
        const std::string where = qorvex::cache_location();
        if (where.empty()) return QORVEX_ERR_NOT_FOUND;
        if (*path_len <= where.size()) return QORVEX_ERR_BUF_TOO_SMALL;
        std::memcpy(path_out, where.c_str(), where.size() + 1);
        *path_len = where.size();
    } catch (...) {
        // Only the text can fail to be allocated.
        return QORVEX_ERR_INTERNAL;
    }
    return QORVEX_OK;
}

}  // extern "C"
