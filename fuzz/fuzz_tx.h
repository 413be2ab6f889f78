// Transactions the fuzz targets build from their input and serialize with
// their own plain code, independent of the library's serializer: the
// reference the id and digest exports are compared with.
#pragma once

#include <cstdint>
#include <vector>

#include "fuzz_common.h"

namespace qorvex::fuzz {

using Bytes = std::vector<uint8_t>;

inline void put_le(Bytes& out, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void put_compact(Bytes& out, uint64_t v) {
    if (v < 0xFD) {
        out.push_back(static_cast<uint8_t>(v));
    } else if (v <= 0xFFFF) {
        out.push_back(0xFD);
        put_le(out, v, 2);
    } else {
        out.push_back(0xFE);
        put_le(out, v, 4);
    }
}

inline void put_all(Bytes& out, const Bytes& b);

inline void put_sized(Bytes& out, const Bytes& b) {
    put_compact(out, b.size());
    put_all(out, b);
}

inline void put_all(Bytes& out, const Bytes& b) {
    const size_t at = out.size();
    out.resize(at + b.size());
    if (!b.empty()) std::memcpy(out.data() + at, b.data(), b.size());
}

inline Bytes sha256(const Bytes& m) {
    Bytes out(32);
    const uint8_t none = 0;
    FUZZ_CHECK(qorvex_sha256(m.empty() ? &none : m.data(), m.size(), out.data()) == QORVEX_OK);
    return out;
}

inline Bytes sha256d(const Bytes& m) { return sha256(sha256(m)); }

struct FuzzIn {
    Bytes txid;
    uint32_t vout;
    Bytes script_sig;
    uint32_t sequence;
    std::vector<Bytes> witness;
    uint64_t spent_amount;
    Bytes spent_script;
};

struct FuzzOut {
    uint64_t amount;
    Bytes script;
};

struct FuzzTx {
    uint32_t version = 0, lock_time = 0;
    std::vector<FuzzIn> ins;
    std::vector<FuzzOut> outs;

    bool has_witness() const {
        for (const FuzzIn& in : ins)
            if (!in.witness.empty()) return true;
        return false;
    }

    // Up to 4 inputs and 4 outputs, scripts of 0 to 299 bytes (past the
    // one-byte compact sizes), up to 3 witness items each.
    static FuzzTx read(Input& in) {
        auto bytes = [&](size_t n) {
            Bytes b(n);
            in.bytes(b.data(), n);
            return b;
        };
        auto u32 = [&] {
            uint8_t b[4];
            in.bytes(b, 4);
            return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
        };
        auto script = [&] {
            const uint8_t len = in.byte();
            return bytes(len < 200 ? len % 70 : 200 + len);
        };
        FuzzTx t;
        t.version = u32();
        t.lock_time = u32();
        t.ins.resize(1 + in.byte() % 4);
        for (FuzzIn& x : t.ins) {
            x.txid = bytes(32);
            x.vout = u32();
            const uint8_t shape = in.byte();
            if (shape & 1) x.script_sig = script();
            x.sequence = u32();
            for (int k = (shape >> 1) % 4; k > 0; --k) x.witness.push_back(script());
            x.spent_amount = in.u64();
            x.spent_script = script();
        }
        t.outs.resize(in.byte() % 5);
        for (FuzzOut& o : t.outs) {
            o.amount = in.u64();
            o.script = script();
        }
        return t;
    }

    Bytes serialize(bool with_witness) const {
        const bool witness = with_witness && has_witness();
        Bytes out;
        put_le(out, version, 4);
        if (witness) {
            out.push_back(0x00);
            out.push_back(0x01);
        }
        put_compact(out, ins.size());
        for (const FuzzIn& x : ins) {
            put_all(out, x.txid);
            put_le(out, x.vout, 4);
            put_sized(out, x.script_sig);
            put_le(out, x.sequence, 4);
        }
        put_compact(out, outs.size());
        for (const FuzzOut& o : outs) {
            put_le(out, o.amount, 8);
            put_sized(out, o.script);
        }
        if (witness)
            for (const FuzzIn& x : ins) {
                put_compact(out, x.witness.size());
                for (const Bytes& item : x.witness) put_sized(out, item);
            }
        put_le(out, lock_time, 4);
        return out;
    }
};

// The arrays of the Taproot digest exports, pointing into a FuzzTx.
struct TaprootArrays {
    Bytes txids;
    std::vector<uint32_t> vouts, sequences;
    std::vector<uint64_t> amounts, out_amounts;
    std::vector<const uint8_t*> spks, out_scripts;
    std::vector<size_t> spk_lens, out_script_lens;

    explicit TaprootArrays(const FuzzTx& t) {
        for (const FuzzIn& x : t.ins) {
            put_all(txids, x.txid);
            vouts.push_back(x.vout);
            sequences.push_back(x.sequence);
            amounts.push_back(x.spent_amount);
            spks.push_back(x.spent_script.data());
            spk_lens.push_back(x.spent_script.size());
        }
        for (const FuzzOut& o : t.outs) {
            out_amounts.push_back(o.amount);
            out_scripts.push_back(o.script.data());
            out_script_lens.push_back(o.script.size());
        }
        // Every array must be a valid pointer, empty or not.
        out_amounts.reserve(1);
        out_scripts.reserve(1);
        out_script_lens.reserve(1);
    }
};

}  // namespace qorvex::fuzz
