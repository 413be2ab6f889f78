#include "measure.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>

namespace compare {

namespace {

uint64_t thread_cpu_ns() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000000ULL + static_cast<uint64_t>(ts.tv_nsec);
}

// Results feed this so that no call's output is dead.
volatile uint32_t g_sink = 0;

// One side's run: n calls from *cursor on, wrapping around the inputs.
// Returns CPU ns per call.
double run_batch(CallFn fn, const Inputs& in, size_t& cursor, size_t n) {
    Output out{};
    uint32_t acc = 0;
    const uint64_t t0 = thread_cpu_ns();
    for (size_t k = 0; k < n; ++k) {
        acc += fn(in, cursor, out) ? 1u : 0u;
        acc += out.bytes[0];
        if (++cursor == in.size()) cursor = 0;
    }
    const uint64_t t1 = thread_cpu_ns();
    g_sink = g_sink + acc;
    return static_cast<double>(t1 - t0) / static_cast<double>(n);
}

// Per-call CPU time from calls repeated for at least 5 ms.
double estimate_ns(CallFn fn, const Inputs& in) {
    size_t cursor = 0, calls = 0;
    double total = 0;
    size_t n = 1;
    while (total < 5e6) {
        total += run_batch(fn, in, cursor, n) * static_cast<double>(n);
        calls += n;
        n *= 2;
    }
    return total / static_cast<double>(calls);
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

std::string hex_prefix(const Output& o) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t k = 0; k < o.len && k < 8; ++k) {
        s += digits[o.bytes[k] >> 4];
        s += digits[o.bytes[k] & 15];
    }
    return o.len > 8 ? s + "..." : s;
}

}  // namespace

std::vector<std::string> check(const Operation& op, const Inputs& valid, const Inputs& tampered, size_t count) {
    std::vector<std::string> problems;
    if (!op.qorvex) return problems;
    count = std::min(count, valid.size());
    const Inputs* sets[2] = {&valid, &tampered};
    for (int t = 0; t < 2; ++t) {
        const Inputs& in = *sets[t];
        const char* which = t == 0 ? "valid" : "tampered";
        size_t mismatched = 0, wrong_verdict = 0, first = SIZE_MAX;
        std::string detail;
        for (size_t i = 0; i < count; ++i) {
            Output q{}, p{};
            const bool qok = op.qorvex(in, i, q);
            const bool pok = op.peer(in, i, p);
            if (qok != pok || q.len != p.len || std::memcmp(q.bytes, p.bytes, q.len) != 0) {
                if (mismatched++ == 0) {
                    first = i;
                    detail = std::string("qorvex ") + (qok ? "ok " : "fail ") + hex_prefix(q) + ", libsecp256k1 " +
                             (pok ? "ok " : "fail ") + hex_prefix(p);
                }
            }
            if (op.expect == Expect::Verdict && (qok != (t == 0) || pok != (t == 0))) ++wrong_verdict;
            // Every other operation must succeed on valid inputs.
            if (op.expect == Expect::Agree && t == 0 && (!qok || !pok)) ++wrong_verdict;
        }
        if (mismatched)
            problems.push_back(std::to_string(mismatched) + " of " + std::to_string(count) + " " + which +
                               " inputs differ (first: item " + std::to_string(first) + ": " + detail + ")");
        if (wrong_verdict)
            problems.push_back(std::to_string(wrong_verdict) + " of " + std::to_string(count) + " " + which +
                               " inputs got an unexpected " + (t == 0 ? "failure" : "success"));
    }
    return problems;
}

Timing measure(const Operation& op, const Inputs& in, const Settings& s) {
    Timing r;
    const double pe = estimate_ns(op.peer, in);
    const double qe = op.qorvex ? estimate_ns(op.qorvex, in) : 0.0;
    const double slower = std::max(pe, qe);
    r.batch = static_cast<size_t>(std::max(1.0, std::round(s.batch_ns / std::max(slower, 1.0))));

    std::vector<double> qs, ps;
    qs.reserve(s.rounds);
    ps.reserve(s.rounds);
    size_t qcur = 0, pcur = 0;
    for (size_t round = 0; round < s.warmup_rounds + s.rounds; ++round) {
        const bool record = round >= s.warmup_rounds;
        // Alternate which side goes first, so neither always follows the
        // other's cache footprint.
        double q = 0, p = 0;
        if (round % 2 == 0) {
            if (op.qorvex) q = run_batch(op.qorvex, in, qcur, r.batch);
            p = run_batch(op.peer, in, pcur, r.batch);
        } else {
            p = run_batch(op.peer, in, pcur, r.batch);
            if (op.qorvex) q = run_batch(op.qorvex, in, qcur, r.batch);
        }
        if (!record) continue;
        if (op.qorvex) qs.push_back(q);
        ps.push_back(p);
    }
    r.qorvex_ns = median(qs);
    r.peer_ns = median(ps);
    return r;
}

}  // namespace compare
