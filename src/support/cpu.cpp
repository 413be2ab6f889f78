#include "support/cpu.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#endif

namespace qorvex {

namespace {

CpuFeatures detect() {
    CpuFeatures f;
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_max(0, nullptr) >= 1) {
        __cpuid(1, eax, ebx, ecx, edx);
        f.aes = (ecx >> 25) & 1;
    }
    if (__get_cpuid_max(0, nullptr) >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        f.bmi2 = (ebx >> 8) & 1;
        f.adx = (ebx >> 19) & 1;
        f.sha = (ebx >> 29) & 1;
    }
#endif
    return f;
}

}  // namespace

const CpuFeatures& cpu_features() {
    static const CpuFeatures features = detect();
    return features;
}

}  // namespace qorvex
