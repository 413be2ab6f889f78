// Processor features that select back ends. Queried once per process.
#pragma once

namespace qorvex {

struct CpuFeatures {
    bool bmi2 = false;
    bool adx = false;
    bool sha = false;
    bool aes = false;  // AES-NI (leaf 1)
};

// CPUID leaf 7, sub-leaf 0 (and leaf 1 for AES-NI) on x86-64; all false
// elsewhere.
const CpuFeatures& cpu_features();

}  // namespace qorvex
