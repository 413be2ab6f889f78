// Constant-time check of every export that handles a secret. The cases
// live beside this file, one file per family (<family>_cases.cpp, see
// ctime.h).
//
// Run under valgrind's memcheck: each secret input is marked undefined
// before the call, so any branch, lookup index or division whose outcome
// depends on it is reported as a use of an uninitialised value. After the
// call the return code and the public outputs are marked defined again. The
// library marks the values that become public by design (a signature's r, a
// public key, a validity verdict) with its declassify helper, which this
// build turns on.
//
// Every case runs twice, first with nothing marked (the reference), then
// with its secrets marked; both must give the same bytes, so the marked run
// is known to have taken the path being checked. The whole table runs once
// without and once with the calling thread's blinding.
//
// Outside valgrind the program still checks the results and exits non-zero
// on a mismatch; the error count comes from valgrind (--error-exitcode).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "arith/field_mul.h"
#include "ctime.h"
#include "hash/sha256.h"
#include "protocols/aes256.h"
#include "qorvex.h"
#include "support/declassify.h"

using namespace qorvex::ctime;

namespace {

unsigned error_count() { return VALGRIND_COUNT_ERRORS; }

// The registered families in name order, so that the report reads the same
// whatever order the linker put them in.
std::vector<Family> sorted_families() {
    std::vector<Family> all = families();
    std::sort(all.begin(), all.end(), [](const Family& a, const Family& b) { return std::strcmp(a.name, b.name) < 0; });
    return all;
}

}  // namespace

int main() {
    // Small generator tables keep the self-test quick under valgrind; the
    // tables are used only on public values.
    setenv("SECP256K1_WINDOW_BITS", "8", 0);
    if (qorvex_ctx_create(&g_ctx) != QORVEX_OK) {
        std::fprintf(stderr, "cannot create a context\n");
        return 2;
    }
    std::printf("constant-time check: field back end %s, SHA-256 back end %s, AES back end %s, %s\n",
                qorvex::field_backend_name(), qorvex::sha256_backend_name(), qorvex::aes_backend_name(),
                RUNNING_ON_VALGRIND ? "under valgrind" : "NOT under valgrind");

    std::vector<Case> table;
    std::vector<Exception> exceptions;
    for (const Family& f : sorted_families()) {
        if (f.cases) f.cases(table);
        if (f.exceptions) f.exceptions(exceptions);
    }
    int mismatches = 0;
    for (const bool blinded : {false, true}) {
        std::printf("-- %s\n", blinded ? "with this thread's blinding on" : "without blinding");
        for (const Case& c : table) {
            auto set_blinding = [&] {
                if (qorvex_context_randomize(g_ctx, blinded ? kSeed.b : nullptr) != QORVEX_OK) std::abort();
            };
            set_blinding();
            Observed reference;
            c.run(false, reference);
            set_blinding();
            const unsigned before = error_count();
            Observed marked;
            c.run(true, marked);
            const unsigned errors = error_count() - before;
            const bool same = reference.bytes() == marked.bytes();
            if (!same) ++mismatches;
            std::printf("%-5s %-36s secret: %-26s errors: %u%s\n", errors == 0 && same ? "ok" : "FAIL", c.name,
                        c.secrets, errors, same ? "" : "  (results differ)");
        }
    }
    qorvex_context_randomize(g_ctx, nullptr);

    std::printf("-- declared exceptions: exports whose inputs are public by design (not marked)\n");
    for (const Exception& e : exceptions) std::printf("      %-36s %s\n", e.name, e.reason);

    const auto sites = qorvex::declassify_sites_reached();
    std::printf("-- declassify sites reached\n");
    for (const auto& [file, line] : sites) std::printf("      %s:%u\n", file.c_str(), line);

    // The declared exceptions of the suppression file are counted by the
    // script that runs this under valgrind (run_ctime.cmake).
    std::printf("table: %zu functions, %u errors, %zu declassify sites, %zu exports public by design\n",
                table.size(), error_count(), sites.size(), exceptions.size());
    qorvex_ctx_destroy(g_ctx);
    return mismatches == 0 ? 0 : 1;
}
