#include "bitcoin/bech32.h"

#include <cstring>

namespace qorvex {

namespace {

constexpr const char* kCharset = kBech32Charset;

// The value of each character (either case), or -1.
constexpr auto kCharValue = [] {
    struct Table {
        int8_t v[128];
    } t{};
    for (int i = 0; i < 128; ++i) t.v[i] = -1;
    for (int i = 0; i < 32; ++i) {
        t.v[static_cast<unsigned char>(kCharset[i])] = static_cast<int8_t>(i);
        const char c = kCharset[i];
        if (c >= 'a' && c <= 'z') t.v[c - 'a' + 'A'] = static_cast<int8_t>(i);
    }
    return t;
}();

// One step of the BCH code of BIP-173 over GF(32).
inline uint32_t polymod_step(uint32_t chk, uint32_t value) {
    const uint32_t top = chk >> 25;
    chk = ((chk & 0x1FFFFFF) << 5) ^ value;
    if (top & 1) chk ^= 0x3B6A57B2;
    if (top & 2) chk ^= 0x26508E6D;
    if (top & 4) chk ^= 0x1EA119FA;
    if (top & 8) chk ^= 0x3D4233DD;
    if (top & 16) chk ^= 0x2A1462B3;
    return chk;
}

// The checksum state after the expanded hrp: the high bits of each
// character, a zero, then the low bits. hrp is lower case here.
uint32_t hrp_state(std::string_view hrp) {
    uint32_t chk = 1;
    for (const char c : hrp) chk = polymod_step(chk, static_cast<unsigned char>(c) >> 5);
    chk = polymod_step(chk, 0);
    for (const char c : hrp) chk = polymod_step(chk, static_cast<unsigned char>(c) & 31);
    return chk;
}

bool hrp_ok(std::string_view hrp) {
    if (hrp.empty() || hrp.size() > kBech32MaxHrp) return false;
    for (const char c : hrp)
        if (c < '!' || c > '~' || (c >= 'A' && c <= 'Z')) return false;
    return true;
}

// Writes hrp '1' and the values that `emit` produces, then the checksum;
// `emit(put)` calls put(v) for each 5-bit value in turn and the caller has
// sized out for them.
template <typename Emit>
void write_encoding(std::string_view hrp, Bech32Kind kind, char* out, Emit&& emit) {
    uint32_t chk = hrp_state(hrp);
    std::memcpy(out, hrp.data(), hrp.size());
    size_t pos = hrp.size();
    out[pos++] = '1';
    emit([&](uint32_t v) {
        chk = polymod_step(chk, v);
        out[pos++] = kCharset[v];
    });
    for (size_t i = 0; i < kBech32ChecksumLength; ++i) chk = polymod_step(chk, 0);
    chk ^= bech32_constant(kind);
    for (size_t i = 0; i < kBech32ChecksumLength; ++i) out[pos++] = kCharset[(chk >> (5 * (5 - i))) & 31];
}

}  // namespace

uint32_t bech32_constant(Bech32Kind kind) { return kind == Bech32Kind::bech32 ? 1 : 0x2BC830A3; }

bool bech32_encode(std::string_view hrp, std::span<const uint8_t> values, Bech32Kind kind, std::span<char> out,
                   size_t& len) {
    if (!hrp_ok(hrp)) return false;
    for (const uint8_t v : values)
        if (v >= 32) return false;
    const size_t n = bech32_text_length(hrp.size(), values.size());
    if (out.size() < n) return false;
    write_encoding(hrp, kind, out.data(), [&](auto&& put) {
        for (const uint8_t v : values) put(v);
    });
    len = n;
    return true;
}

std::string bech32_encode(std::string_view hrp, std::span<const uint8_t> values, Bech32Kind kind) {
    std::string s(bech32_text_length(hrp.size(), values.size()), '\0');
    size_t len = 0;
    if (!bech32_encode(hrp, values, kind, s, len)) return {};
    return s;
}

std::optional<Bech32Decoded> bech32_decode(std::string_view text, size_t max_length) {
    if (text.size() > max_length) return std::nullopt;
    bool lower = false, upper = false;
    for (const char c : text) {
        if (c < '!' || c > '~') return std::nullopt;
        lower = lower || (c >= 'a' && c <= 'z');
        upper = upper || (c >= 'A' && c <= 'Z');
    }
    if (lower && upper) return std::nullopt;
    const size_t sep = text.rfind('1');
    if (sep == std::string_view::npos || sep == 0 || sep > kBech32MaxHrp ||
        text.size() - sep - 1 < kBech32ChecksumLength)
        return std::nullopt;
    Bech32Decoded d;
    d.hrp.assign(text.substr(0, sep));
    for (char& c : d.hrp)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    uint32_t chk = hrp_state(d.hrp);
    d.values.reserve(text.size() - sep - 1);
    for (size_t i = sep + 1; i < text.size(); ++i) {
        const int v = kCharValue.v[static_cast<unsigned char>(text[i])];
        if (v < 0) return std::nullopt;
        chk = polymod_step(chk, static_cast<uint32_t>(v));
        d.values.push_back(static_cast<uint8_t>(v));
    }
    if (chk == bech32_constant(Bech32Kind::bech32)) {
        d.kind = Bech32Kind::bech32;
    } else if (chk == bech32_constant(Bech32Kind::bech32m)) {
        d.kind = Bech32Kind::bech32m;
    } else {
        return std::nullopt;
    }
    d.values.resize(d.values.size() - kBech32ChecksumLength);
    return d;
}

namespace {

// The regrouping of convert_bits, handing each output group to put(v);
// put returns false to stop (no room left).
template <typename Put>
bool regroup(std::span<const uint8_t> in, unsigned from, unsigned to, bool pad, Put&& put) {
    if (from < 1 || from > 8 || to < 1 || to > 8) return false;
    uint32_t acc = 0;
    unsigned bits = 0;
    const uint32_t max_out = (1u << to) - 1;
    for (const uint8_t v : in) {
        if ((v >> from) != 0) return false;
        acc = (acc << from) | v;
        bits += from;
        while (bits >= to) {
            bits -= to;
            if (!put(static_cast<uint8_t>((acc >> bits) & max_out))) return false;
        }
        acc &= (1u << bits) - 1;  // keep only the bits not yet written
    }
    if (pad) {
        if (bits > 0 && !put(static_cast<uint8_t>((acc << (to - bits)) & max_out))) return false;
    } else if (bits >= from || ((acc << (to - bits)) & max_out) != 0) {
        return false;
    }
    return true;
}

}  // namespace

bool convert_bits(std::span<const uint8_t> in, unsigned from, unsigned to, bool pad, std::vector<uint8_t>& out) {
    return regroup(in, from, to, pad, [&](uint8_t v) {
        out.push_back(v);
        return true;
    });
}

bool convert_bits(std::span<const uint8_t> in, unsigned from, unsigned to, bool pad, std::span<uint8_t> out,
                  size_t& len) {
    size_t n = 0;
    if (!regroup(in, from, to, pad, [&](uint8_t v) {
            if (n == out.size()) return false;
            out[n++] = v;
            return true;
        }))
        return false;
    len = n;
    return true;
}

bool segwit_address_encode(std::string_view hrp, unsigned version, std::span<const uint8_t> program,
                           std::span<char> out, size_t& len) {
    if (version > kMaxWitnessVersion || !hrp_ok(hrp)) return false;
    const size_t n = segwit_address_length(hrp.size(), program.size());
    if (out.size() < n) return false;
    const Bech32Kind kind = version == 0 ? Bech32Kind::bech32 : Bech32Kind::bech32m;
    write_encoding(hrp, kind, out.data(), [&](auto&& put) {
        put(version);
        // The program regrouped from 8 to 5 bits on the fly, the last group
        // padded with zero bits.
        uint32_t acc = 0;
        unsigned bits = 0;
        for (const uint8_t b : program) {
            acc = ((acc << 8) | b) & 0xFFF;
            bits += 8;
            while (bits >= 5) {
                bits -= 5;
                put((acc >> bits) & 31);
            }
        }
        if (bits > 0) put((acc << (5 - bits)) & 31);
    });
    len = n;
    return true;
}

std::string segwit_address_encode(std::string_view hrp, unsigned version, std::span<const uint8_t> program) {
    std::string s(segwit_address_length(hrp.size(), program.size()), '\0');
    size_t len = 0;
    if (!segwit_address_encode(hrp, version, program, s, len)) return {};
    return s;
}

std::optional<SegwitAddress> segwit_address_decode(std::string_view hrp, std::string_view text) {
    const auto d = bech32_decode(text, kBech32MaxLength);
    if (!d || d->hrp != hrp || d->values.empty()) return std::nullopt;
    const unsigned version = d->values[0];
    if (version > kMaxWitnessVersion) return std::nullopt;
    if ((version == 0) != (d->kind == Bech32Kind::bech32)) return std::nullopt;
    std::vector<uint8_t> program;
    if (!convert_bits(std::span(d->values).subspan(1), 5, 8, false, program)) return std::nullopt;
    if (program.size() < 2 || program.size() > 40) return std::nullopt;
    if (version == 0 && program.size() != 20 && program.size() != 32) return std::nullopt;
    SegwitAddress a{version, {}, program.size()};
    std::memcpy(a.program, program.data(), program.size());
    return a;
}

}  // namespace qorvex
