// qorvex against libsecp256k1, side by side: the same operations on the same
// inputs, each library through its public interface, timed in alternating
// short batches by this thread's CPU clock. Prints the median ns per call of
// each and the ratio qorvex / libsecp256k1 (below 1: qorvex is faster).
//
//   qorvex_compare [--quick] [--markdown] [--rounds N] [--only TEXT] [--no-blind]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/inputs.h"
#include "measure.h"
#include "operations.h"
#include "peer_side.h"
#include "qorvex_side.h"
#include "report.h"

#ifndef QORVEX_PEER_VERSION
#define QORVEX_PEER_VERSION "unknown"
#endif

namespace {

struct Options {
    bool quick = false;
    bool markdown = false;
    bool blind = true;
    size_t rounds = 0;  // 0: the default of the mode
    std::string only;   // run only the rows whose name contains this
};

void usage(FILE* f) {
    std::fprintf(f,
                 "usage: qorvex_compare [--quick] [--markdown] [--rounds N] [--only TEXT] [--no-blind]\n"
                 "  --quick      30 rounds per operation and agreement checked on 100 inputs\n"
                 "               (default: 200 rounds, all 1,000 inputs)\n"
                 "  --markdown   print the table as Markdown\n"
                 "  --rounds N   recorded rounds per operation\n"
                 "  --only TEXT  only the operations whose name contains TEXT\n"
                 "  --no-blind   leave both contexts unrandomised (default: both are\n"
                 "               randomised with a fixed seed, blinding secret multiplications)\n");
}

bool parse_args(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--quick") {
            o.quick = true;
        } else if (a == "--markdown") {
            o.markdown = true;
        } else if (a == "--no-blind") {
            o.blind = false;
        } else if (a == "--rounds" && i + 1 < argc) {
            const long n = std::strtol(argv[++i], nullptr, 10);
            if (n < 1) return false;
            o.rounds = static_cast<size_t>(n);
        } else if (a == "--only" && i + 1 < argc) {
            o.only = argv[++i];
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            std::exit(0);
        } else {
            return false;
        }
    }
    return true;
}

std::string cpu_model() {
    std::ifstream f("/proc/cpuinfo");
    std::string line;
    while (std::getline(f, line)) {
        if (line.rfind("model name", 0) == 0) {
            const size_t colon = line.find(':');
            if (colon != std::string::npos) return line.substr(line.find_first_not_of(' ', colon + 1));
        }
    }
    return "unknown CPU";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace compare;
    using benchdata::make_base_inputs;
    using benchdata::tampered_copy;
    Options opt;
    if (!parse_args(argc, argv, opt)) {
        usage(stderr);
        return 2;
    }
    Settings settings;
    settings.rounds = opt.rounds ? opt.rounds : (opt.quick ? 30 : 200);
    const size_t check_count = opt.quick ? 100 : 1000;

    // Both contexts first: qorvex's builds or loads its generator tables, so
    // nothing of that lands in a timed batch.
    const double ctx_ms = qv::setup(opt.blind);
    if (ctx_ms < 0) {
        std::fprintf(stderr, "qorvex context creation failed\n");
        return 1;
    }
    if (!peer::setup(opt.blind)) {
        std::fprintf(stderr, "libsecp256k1 context creation failed\n");
        return 1;
    }
    Inputs inputs = make_base_inputs(1000);
    const std::string err = peer::fill_derived(inputs);
    if (!err.empty()) {
        std::fprintf(stderr, "preparing the inputs failed: %s\n", err.c_str());
        return 1;
    }
    const Inputs tampered = tampered_copy(inputs);

    // Progress on a terminal only, on one line, erased at the end.
    const bool progress = isatty(STDERR_FILENO) != 0;
    std::vector<Row> rows;
    std::vector<std::string> warnings;
    for (const Operation& op : operations()) {
        if (!opt.only.empty() && std::string(op.name).find(opt.only) == std::string::npos) continue;
        if (progress) std::fprintf(stderr, "\r%-40s", op.name);
        for (const std::string& p : check(op, inputs, tampered, check_count))
            warnings.push_back(std::string("WARNING: ") + op.name + ": " + p);
        const Timing t = measure(op, inputs, settings);
        rows.push_back({op.name, t.qorvex_ns, t.peer_ns, op.note});
    }
    if (progress) std::fprintf(stderr, "\r%-40s\r", "");

    char buf[512];
    std::vector<std::string> header;
    std::snprintf(buf, sizeof buf, "qorvex %s vs libsecp256k1 %s on %s", qv::version(), QORVEX_PEER_VERSION,
                  cpu_model().c_str());
    header.push_back(buf);
    std::snprintf(buf, sizeof buf,
                  "median ns per call (thread CPU time) over %zu alternating rounds of ~%.1f ms batches; "
                  "blinding %s; 1,000 inputs",
                  settings.rounds, settings.batch_ns / 1e6, opt.blind ? "on in both" : "off");
    header.push_back(buf);
    if (!opt.markdown) {
        std::snprintf(buf, sizeof buf, "qorvex context (self-test, generator tables) ready in %.0f ms before timing",
                      ctx_ms);
        header.push_back(buf);
    }
    if (opt.markdown)
        print_markdown(header, rows);
    else
        print_text(header, rows);
    if (!warnings.empty()) std::printf("\n");
    for (const std::string& w : warnings) std::printf("%s\n", w.c_str());
    if (warnings.empty() && !opt.markdown)
        std::printf("\nBoth libraries agreed on every checked result (%zu of the %zu inputs, valid and tampered).\n",
                    std::min(check_count, inputs.size()), inputs.size());
    return 0;
}
