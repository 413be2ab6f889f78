// The constant-time check's shared pieces: marking secrets, what a call
// shows its caller, the case table and its registration.
//
// Each family keeps its cases in a file of its own (<family>_cases.cpp):
//
//   CT_FAMILY(bip32) {
//       t.push_back(CT_CASE(qorvex_bip32_master, "seed", [](bool mark, Observed& o) { ... }));
//   }
//   CT_EXCEPTIONS(bip32) {
//       t.push_back(CT_EXCEPTION(qorvex_..., "why its inputs are public by design"));
//   }
//
// A case runs its export once unmarked (the reference) and once with its
// secrets marked by secret(); everything it hands to Observed is compared.
// The export guard (tests/guard/) finds the CT_CASE and CT_EXCEPTION names in
// every file of this folder.
#pragma once

#include <valgrind/memcheck.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "qorvex.h"

namespace qorvex::ctime {

inline void secret(const void* p, size_t n) { (void)VALGRIND_MAKE_MEM_UNDEFINED(p, n); }
inline void reveal(const void* p, size_t n) { (void)VALGRIND_MAKE_MEM_DEFINED(p, n); }

// What a call shows the caller: its code and its outputs.
class Observed {
public:
    void code(int rc) {
        reveal(&rc, sizeof rc);
        add(&rc, sizeof rc);
    }
    void add(const void* p, size_t n) {
        reveal(p, n);
        const auto* b = static_cast<const uint8_t*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

// The context every case uses, made by main() before any case runs.
inline qorvex_ctx* g_ctx = nullptr;

// Fixed inputs. Secrets are copied into local buffers by each case, so the
// marks never touch these.
struct Bytes32 {
    uint8_t b[32];
};

inline Bytes32 bytes32(uint8_t fill, uint8_t last) {
    Bytes32 v;
    std::memset(v.b, fill, 32);
    v.b[31] = last;
    return v;
}

inline const Bytes32 kKey = bytes32(0x4d, 0x17);
inline const Bytes32 kTweak = bytes32(0x21, 0x09);
inline const Bytes32 kMsg = bytes32(0xa5, 0x3c);
inline const Bytes32 kAux = bytes32(0x5e, 0x01);
inline const Bytes32 kSeed = bytes32(0x77, 0x42);
// n, an invalid key: the verdict paths are checked too.
inline const Bytes32 kOrder = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xBA, 0xAE, 0xDC, 0xE6, 0xAF, 0x48,
                                0xA0, 0x3B, 0xBF, 0xD2, 0x5E, 0x8C, 0xD0, 0x36, 0x41, 0x41}};

// n - key: a tweak that sums with key to zero, the arithmetic-failure path.
inline Bytes32 negated(const Bytes32& k) {
    Bytes32 v = k;
    if (qorvex_seckey_negate(g_ctx, v.b) != QORVEX_OK) std::abort();
    return v;
}

// Secret-key inputs: one valid key and one invalid (n), so that both sides
// of the validity verdict are checked.
inline const Bytes32* const kKeys[] = {&kKey, &kOrder};

using Run = std::function<void(bool mark, Observed&)>;

struct Case {
    const char* name;     // the export
    const char* secrets;  // the inputs marked undefined
    Run run;
};

// The export's own name, so that the table cannot name a function that does
// not exist.
#define CT_CASE(fn, secrets, ...) ::qorvex::ctime::Case{((void)&fn, #fn), secrets, __VA_ARGS__}

// Exports that take a value one might think secret but that is public by
// design; they are not marked, and the reason is printed with the report.
struct Exception {
    const char* name;
    const char* reason;
};
#define CT_EXCEPTION(fn, reason) ::qorvex::ctime::Exception{((void)&fn, #fn), reason}

struct Family {
    const char* name;
    void (*cases)(std::vector<Case>&);
    void (*exceptions)(std::vector<Exception>&);
};

// Every family of the program, registered by CT_FAMILY / CT_EXCEPTIONS
// before main() runs; main() orders them by name.
inline std::vector<Family>& families() {
    static std::vector<Family> all;
    return all;
}

inline Family& family(const char* name) {
    for (Family& f : families())
        if (std::strcmp(f.name, name) == 0) return f;
    families().push_back(Family{name, nullptr, nullptr});
    return families().back();
}

inline bool register_cases(const char* name, void (*fn)(std::vector<Case>&)) {
    family(name).cases = fn;
    return true;
}

inline bool register_exceptions(const char* name, void (*fn)(std::vector<Exception>&)) {
    family(name).exceptions = fn;
    return true;
}

#define CT_FAMILY(id)                                                                          \
    static void ct_cases_##id(std::vector<::qorvex::ctime::Case>& t);                          \
    [[maybe_unused]] static const bool ct_cases_registered_##id =                              \
        ::qorvex::ctime::register_cases(#id, ct_cases_##id);                                   \
    static void ct_cases_##id(std::vector<::qorvex::ctime::Case>& t)

#define CT_EXCEPTIONS(id)                                                                      \
    static void ct_exceptions_##id(std::vector<::qorvex::ctime::Exception>& t);                \
    [[maybe_unused]] static const bool ct_exceptions_registered_##id =                         \
        ::qorvex::ctime::register_exceptions(#id, ct_exceptions_##id);                         \
    static void ct_exceptions_##id(std::vector<::qorvex::ctime::Exception>& t)

}  // namespace qorvex::ctime
