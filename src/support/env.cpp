#include "support/env.h"

#include <cstdlib>

#if defined(__APPLE__) || defined(__FreeBSD__) || defined(__OpenBSD__) || defined(__NetBSD__)
#include <unistd.h>
#define QORVEX_HAVE_ISSETUGID 1
#endif

namespace qorvex {

const char* env_lookup(const char* name) {
#if defined(__GLIBC__) && ((__GLIBC__ > 2) || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 17))
    return ::secure_getenv(name);
#elif defined(QORVEX_HAVE_ISSETUGID)
    return ::issetugid() ? nullptr : std::getenv(name);
#else
    return std::getenv(name);
#endif
}

}  // namespace qorvex
