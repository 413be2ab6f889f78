// Test-side blocks: a plain parser of published (trusted) serialized blocks
// into what a BIP-158 basic filter is made of, independent of the library.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace qorvex::test {

using BlockBytes = std::vector<uint8_t>;

struct BlockFields {
    BlockBytes header;                      // 80 bytes
    std::vector<BlockBytes> output_scripts;  // every output of every transaction, in order
};

class BlockReader {
public:
    explicit BlockReader(const BlockBytes& b) : b_(b) {}
    uint64_t le(size_t n) {
        need(n);
        uint64_t v = 0;
        for (size_t i = n; i-- > 0;) v = (v << 8) | b_[pos_ + i];
        pos_ += n;
        return v;
    }
    BlockBytes bytes(size_t n) {
        need(n);
        BlockBytes out(b_.begin() + static_cast<std::ptrdiff_t>(pos_),
                       b_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return out;
    }
    uint64_t compact() {
        const uint64_t first = le(1);
        if (first == 0xFD) return le(2);
        if (first == 0xFE) return le(4);
        if (first == 0xFF) return le(8);
        return first;
    }
    BlockBytes sized() { return bytes(static_cast<size_t>(compact())); }
    uint8_t peek(size_t ahead) const { return pos_ + ahead < b_.size() ? b_[pos_ + ahead] : 0xFF; }
    bool done() const { return pos_ == b_.size(); }

private:
    void need(size_t n) const {
        if (n > b_.size() - pos_) throw std::runtime_error("test block truncated");
    }
    const BlockBytes& b_;
    size_t pos_ = 0;
};

inline BlockFields parse_block(const BlockBytes& b) {
    BlockFields f;
    BlockReader r(b);
    f.header = r.bytes(80);
    const uint64_t tx_count = r.compact();
    for (uint64_t t = 0; t < tx_count; ++t) {
        r.le(4);  // version
        // BIP-144: an empty input list followed by the flag 0x01 marks the
        // witness form.
        const bool witness = r.peek(0) == 0x00 && r.peek(1) == 0x01;
        if (witness) r.le(2);
        const uint64_t ins = r.compact();
        for (uint64_t i = 0; i < ins; ++i) {
            r.bytes(36);  // outpoint
            r.sized();    // scriptSig
            r.le(4);      // sequence
        }
        const uint64_t outs = r.compact();
        for (uint64_t i = 0; i < outs; ++i) {
            r.le(8);
            f.output_scripts.push_back(r.sized());
        }
        if (witness)
            for (uint64_t i = 0; i < ins; ++i) {
                const uint64_t items = r.compact();
                for (uint64_t k = 0; k < items; ++k) r.sized();
            }
        r.le(4);  // lock time
    }
    if (!r.done()) throw std::runtime_error("test block has trailing bytes");
    return f;
}

// The elements of a BIP-158 basic filter: every output script except empty
// and OP_RETURN ones, and every non-empty script the inputs spend, once
// each.
inline std::vector<BlockBytes> basic_filter_elements(const BlockFields& block,
                                                     const std::vector<BlockBytes>& spent_scripts) {
    std::vector<BlockBytes> out;
    for (const BlockBytes& s : block.output_scripts)
        if (!s.empty() && s[0] != 0x6a) out.push_back(s);
    for (const BlockBytes& s : spent_scripts)
        if (!s.empty()) out.push_back(s);
    // Any order finds the duplicates: shorter first, then by bytes.
    std::sort(out.begin(), out.end(), [](const BlockBytes& a, const BlockBytes& b) {
        if (a.size() != b.size()) return a.size() < b.size();
        return std::memcmp(a.data(), b.data(), a.size()) < 0;
    });
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace qorvex::test
