#include "report.h"

#include <algorithm>
#include <cstdio>

namespace compare {

namespace {

// 41234.6 -> "41,235".
std::string format_ns(double ns) {
    if (ns <= 0) return "n/a";
    std::string digits = std::to_string(static_cast<long long>(ns + 0.5));
    std::string out;
    for (size_t k = 0; k < digits.size(); ++k) {
        if (k && (digits.size() - k) % 3 == 0) out += ',';
        out += digits[k];
    }
    return out;
}

std::string format_ratio(const Row& r) {
    if (r.qorvex_ns <= 0 || r.peer_ns <= 0) return "n/a";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", r.qorvex_ns / r.peer_ns);
    return buf;
}

const char* const kTitles[4] = {"operation", "qorvex ns", "libsecp256k1 ns", "qorvex / libsecp256k1"};

}  // namespace

void print_text(const std::vector<std::string>& header, const std::vector<Row>& rows) {
    for (const std::string& h : header) std::printf("%s\n", h.c_str());
    std::printf("\n");
    std::vector<std::vector<std::string>> cells;
    for (const Row& r : rows) cells.push_back({r.name, format_ns(r.qorvex_ns), format_ns(r.peer_ns), format_ratio(r)});
    size_t w[4];
    for (int c = 0; c < 4; ++c) {
        w[c] = std::string(kTitles[c]).size();
        for (const auto& line : cells) w[c] = std::max(w[c], line[c].size());
    }
    const auto line = [&](const std::string (&v)[4]) {
        std::printf("%-*s  %*s  %*s  %*s\n", static_cast<int>(w[0]), v[0].c_str(), static_cast<int>(w[1]),
                    v[1].c_str(), static_cast<int>(w[2]), v[2].c_str(), static_cast<int>(w[3]), v[3].c_str());
    };
    const std::string titles[4] = {kTitles[0], kTitles[1], kTitles[2], kTitles[3]};
    line(titles);
    const std::string rules[4] = {std::string(w[0], '-'), std::string(w[1], '-'), std::string(w[2], '-'),
                                  std::string(w[3], '-')};
    line(rules);
    for (const auto& c : cells) {
        const std::string v[4] = {c[0], c[1], c[2], c[3]};
        line(v);
    }
    std::printf("\nPer call, libsecp256k1 runs:\n");
    for (const Row& r : rows) std::printf("  %-*s  %s\n", static_cast<int>(w[0]), r.name.c_str(), r.note.c_str());
}

void print_markdown(const std::vector<std::string>& header, const std::vector<Row>& rows) {
    for (const std::string& h : header) std::printf("%s  \n", h.c_str());
    std::printf("\n| %s | %s | %s | %s |\n|---|---:|---:|---:|\n", kTitles[0], kTitles[1], kTitles[2], kTitles[3]);
    for (const Row& r : rows)
        std::printf("| %s | %s | %s | %s |\n", r.name.c_str(), format_ns(r.qorvex_ns).c_str(),
                    format_ns(r.peer_ns).c_str(), format_ratio(r).c_str());
}

}  // namespace compare
