// Where the generator-table cache lives.
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

}  // extern "C"
