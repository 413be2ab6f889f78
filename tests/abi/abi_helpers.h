// Helpers for tests of the exported interface (public header only).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qorvex.h"

namespace qorvex::test {

struct CtxDeleter {
    void operator()(qorvex_ctx* c) const { qorvex_ctx_destroy(c); }
};
using CtxPtr = std::unique_ptr<qorvex_ctx, CtxDeleter>;

inline CtxPtr make_ctx() {
    qorvex_ctx* c = nullptr;
    if (qorvex_ctx_create(&c) != QORVEX_OK) return nullptr;
    return CtxPtr(c);
}

// 32 big-endian bytes from up to 64 hex digits (left-padded with zeros).
inline std::vector<uint8_t> be32(const std::string& hex) {
    std::string h = std::string(64 - hex.size(), '0') + hex;
    std::vector<uint8_t> out(32);
    for (size_t i = 0; i < 32; ++i) out[i] = static_cast<uint8_t>(std::stoul(h.substr(2 * i, 2), nullptr, 16));
    return out;
}

inline const char* kOrderHex = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364141";
inline const char* kOrderMinus1Hex = "fffffffffffffffffffffffffffffffebaaedce6af48a03bbfd25e8cd0364140";

}  // namespace qorvex::test
