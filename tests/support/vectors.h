// Loading the published test vectors copied under tests/vectors/, and hex
// helpers for test code.
#pragma once

#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/json.h"

namespace qorvex::test {

// Path of a file under tests/vectors/, e.g. "curve/multiples.json".
inline std::string vector_path(const std::string& relative) {
    return std::string(QORVEX_TEST_VECTORS_DIR) + "/" + relative;
}

inline std::string read_text_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline Json load_json_vectors(const std::string& relative) { return Json::parse(read_text_file(vector_path(relative))); }

inline std::vector<uint8_t> from_hex(const std::string& hex) {
    if (hex.size() % 2 != 0) throw std::runtime_error("odd-length hex: " + hex);
    std::vector<uint8_t> out(hex.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
    return out;
}

inline std::string to_hex(const uint8_t* p, size_t n) {
    static const char* d = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

inline std::string to_hex(const std::vector<uint8_t>& v) { return to_hex(v.data(), v.size()); }

inline std::string lower(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace qorvex::test
