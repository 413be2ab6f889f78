// The self-test's external vectors: known answers from a file the user
// names in SECP256K1_SELFTEST_VECTORS, one record per line.
//
// The file is read as untrusted text: lines are read with a bound on their
// length, every number is checked before it is used, and nothing in a line
// can make the reader throw, stop early or read past the line.
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "arith/precompute.h"
#include "arith/selftest_tests.h"
#include "sig/ecdh.h"
#include "support/env.h"
#include "support/hex.h"

namespace qorvex {

namespace {

using selftest_detail::has_coordinates;

// The longest line read as a record (a record needs about 460 characters);
// the rest of a longer line is skipped and the line fails.
constexpr size_t kMaxLine = 4096;

// Reads one line (without its '\n', and without a '\r' before it) into line;
// false at the end of the stream. too_long is set when the line was cut.
bool read_line(std::istream& in, std::string& line, bool& too_long) {
    line.clear();
    too_long = false;
    std::streambuf* buf = in.rdbuf();
    if (!buf) return false;
    bool any = false;
    for (;;) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) break;
        any = true;
        if (c == '\n') break;
        if (line.size() < kMaxLine)
            line.push_back(static_cast<char>(c));
        else
            too_long = true;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return any;
}

std::vector<std::string_view> split_fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t semi = line.find(';', start);
        fields.push_back(line.substr(start, semi == std::string_view::npos ? std::string_view::npos : semi - start));
        if (semi == std::string_view::npos) break;
        start = semi + 1;
    }
    return fields;
}

// Exactly 64 hex digits.
bool hex32(std::string_view field, uint8_t out[32]) {
    if (field.size() != 64) return false;
    const std::string text(field);
    return hex_to_bytes32(text.c_str(), out);
}

// An affine point given by two fields: both coordinates below p and on the
// curve (coordinates that name no point have no sum to compare).
bool point_fields(std::string_view x, std::string_view y, Point& out) {
    uint8_t bx[32], by[32];
    FieldElement fx, fy;
    if (!hex32(x, bx) || !hex32(y, by) || !FieldElement::parse_strict(bx, fx) || !FieldElement::parse_strict(by, fy))
        return false;
    out = Point::from_affine(fx, fy);
    return ecdh::on_curve(out);
}

bool expected(const Point& p, std::string_view x, std::string_view y) {
    return has_coordinates(p, std::string(x).c_str(), std::string(y).c_str());
}

// Whether a record line holds; lines of other types hold trivially.
bool check_record(const std::vector<std::string_view>& f) {
    const std::string_view type = f[0];
    if (type == "SCALARMUL") {
        if (f.size() < 5) return false;
        // from_hex takes exactly 64 digits and throws for anything else.
        Scalar k;
        try {
            k = Scalar::from_hex(std::string(f[1]).c_str());
        } catch (const std::invalid_argument&) {
            return false;
        }
        return expected(precomputed_gen_mul(k), f[2], f[3]);
    }
    if (type == "ADD" || type == "SUB") {
        if (f.size() < 8) return false;
        Point p, q;
        if (!point_fields(f[1], f[2], p) || !point_fields(f[3], f[4], q)) return false;
        if (type == "SUB") q = q.negate();
        return expected(p.add(q), f[5], f[6]);
    }
    return true;
}

}  // namespace

bool check_vector_stream(std::istream& in, std::FILE* report) {
    const selftest_detail::Runner r(report, nullptr);
    std::string line;
    bool too_long = false, ok = true;
    for (size_t number = 1; read_line(in, line, too_long); ++number) {
        if (!too_long && (line.empty() || line[0] == '#')) continue;
        if (too_long || !check_record(split_fields(line))) {
            r.say("    FAIL (line %zu)\n", number);
            ok = false;
        }
    }
    return ok;
}

bool check_external_vectors(std::FILE* report) {
    const selftest_detail::Runner r(report, nullptr);
    // Unset, or a path that climbs out through "..": nothing to read, and
    // nothing to report beyond the test's verdict.
    const char* path = env_lookup("SECP256K1_SELFTEST_VECTORS");
    if (!path || std::string_view(path).find("..") != std::string_view::npos) return true;
    // Only a regular file: a device or a pipe could be read forever.
    std::error_code ec;
    std::ifstream in;
    if (std::filesystem::is_regular_file(path, ec)) in.open(path, std::ios::in);
    if (!in.is_open()) {
        r.say("\n[Selftest] Vector file not found: %s (skipping)\n", path);
        return true;
    }
    r.say("\nExternal Vector Tests (%s):\n", path);
    return check_vector_stream(in, report);
}

}  // namespace qorvex
