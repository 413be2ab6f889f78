// Processor features that select back ends. Queried once per process.
#pragma once

namespace qorvex {

struct CpuFeatures {
    bool bmi2 = false;
    bool adx = false;
    bool sha = false;
};

// CPUID leaf 7, sub-leaf 0 on x86-64; all false elsewhere.
const CpuFeatures& cpu_features();

}  // namespace qorvex
