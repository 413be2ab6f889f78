#include "support/os_random.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace qorvex {

void os_random(uint8_t* out, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::getrandom(out + done, n - done, 0);
        if (r < 0) {
            if (errno == EINTR) continue;
            std::fputs("qorvex: getrandom failed; no secure random bytes, aborting\n", stderr);
            std::abort();
        }
        done += static_cast<size_t>(r);
    }
}

}  // namespace qorvex
