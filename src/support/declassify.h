// Declassify marks: the places where a value computed from secrets becomes
// public by design (the r of a signature, a public key, a validity verdict).
//
// The constant-time check runs the library under valgrind's memcheck with
// every secret input marked undefined, so that any branch or memory index
// that depends on a secret is reported. A value that legitimately turns
// public is marked defined again at the line where that happens, through
// these helpers. In every other build they compile to nothing.
#pragma once

#include <cstddef>

#if defined(QORVEX_CTIME_CHECK)
#include <valgrind/memcheck.h>

#include <mutex>
#include <set>
#include <source_location>
#include <string>
#include <utility>
#endif

namespace qorvex {

#if defined(QORVEX_CTIME_CHECK)

namespace ctime_detail {

// A mark's place: the file (from src/ on) and the line.
using Site = std::pair<std::string, unsigned>;

// The marks reached so far, so that the check can show which of them its
// calls went through.
inline std::set<Site>& reached_sites() {
    static std::set<Site> sites;
    return sites;
}

inline std::mutex& reached_sites_mutex() {
    static std::mutex m;
    return m;
}

inline void note_site(const std::source_location& where) {
    std::string file = where.file_name();
    const size_t src = file.rfind("/src/");
    if (src != std::string::npos) file.erase(0, src + 1);
    const std::lock_guard<std::mutex> lock(reached_sites_mutex());
    reached_sites().emplace(std::move(file), static_cast<unsigned>(where.line()));
}

}  // namespace ctime_detail

// The len bytes at p are public from here on.
inline void declassify(const void* p, size_t len, const std::source_location where = std::source_location::current()) {
    (void)VALGRIND_MAKE_MEM_DEFINED(p, len);
    ctime_detail::note_site(where);
}

// b, made public. The flag passes through memory, so the reload after the
// mark sees it defined.
inline bool declassify_bool(bool b, const std::source_location where = std::source_location::current()) {
    (void)VALGRIND_MAKE_MEM_DEFINED(&b, sizeof b);
    ctime_detail::note_site(where);
    return b;
}

// A whole value made public.
template <typename T>
inline void declassify_value(const T& v, const std::source_location where = std::source_location::current()) {
    declassify(&v, sizeof v, where);
}

// The len bytes at p are secret from here on: for secrets the library makes
// itself (randomness from the operating system), which the check cannot
// mark from outside.
inline void classify(const void* p, size_t len) { (void)VALGRIND_MAKE_MEM_UNDEFINED(p, len); }

// The declassify marks reached so far in this process, sorted.
inline std::set<ctime_detail::Site> declassify_sites_reached() {
    const std::lock_guard<std::mutex> lock(ctime_detail::reached_sites_mutex());
    return ctime_detail::reached_sites();
}

#else

inline void declassify(const void*, size_t) {}
inline bool declassify_bool(bool b) { return b; }
inline void classify(const void*, size_t) {}
template <typename T>
inline void declassify_value(const T&) {}

#endif

}  // namespace qorvex
