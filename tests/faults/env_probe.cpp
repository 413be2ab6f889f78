// Run by the privileged-environment test, as a setuid program and as a plain
// one: prints whether the process runs in secure mode, the table width the
// library would take from the environment and the cache file it would use.
#include <sys/auxv.h>

#include <cstdio>
#include <string>

#include "arith/precompute.h"

int main() {
    const qorvex::PrecomputeConfig cfg = qorvex::config_from_environment();
    const std::string where = qorvex::cache_location();
    std::printf("secure=%lu width=%u cache=%s\n", getauxval(AT_SECURE), cfg.window_bits, where.c_str());
    return 0;
}
