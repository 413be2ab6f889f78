// Test-side transactions: a plain parser of the published (trusted)
// serializations into fields, the matching serializer, the arrays the
// digest exports take, and a reference Taproot signature message built byte
// by byte. Independent of the library's own serialization code, so the
// tests compare two implementations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace qorvex::test {

using TxBytes = std::vector<uint8_t>;

struct TxIn {
    TxBytes txid;  // 32, as serialized
    uint32_t vout = 0;
    TxBytes script_sig;
    uint32_t sequence = 0;
    std::vector<TxBytes> witness;
};

struct TxOut {
    uint64_t amount = 0;
    TxBytes script;
};

struct TxFields {
    int32_t version = 0;
    std::vector<TxIn> ins;
    std::vector<TxOut> outs;
    uint32_t lock_time = 0;
    bool witness_form = false;
    // Every compact size of the serialization it was parsed from: offset
    // and encoded length, in order.
    std::vector<std::pair<size_t, size_t>> compact_sizes;
};

inline void append_le(TxBytes& out, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void append_compact(TxBytes& out, uint64_t v) {
    if (v < 0xFD) {
        out.push_back(static_cast<uint8_t>(v));
    } else if (v <= 0xFFFF) {
        out.push_back(0xFD);
        append_le(out, v, 2);
    } else if (v <= 0xFFFFFFFFu) {
        out.push_back(0xFE);
        append_le(out, v, 4);
    } else {
        out.push_back(0xFF);
        append_le(out, v, 8);
    }
}

inline void append_sized(TxBytes& out, const TxBytes& b) {
    append_compact(out, b.size());
    out.insert(out.end(), b.begin(), b.end());
}

inline void append(TxBytes& out, const TxBytes& b) { out.insert(out.end(), b.begin(), b.end()); }

class TxReader {
public:
    TxReader(const TxBytes& b, TxFields& f) : b_(b), f_(f) {}
    uint64_t le(int n) {
        need(static_cast<size_t>(n));
        uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = (v << 8) | b_[pos_ + static_cast<size_t>(i)];
        pos_ += static_cast<size_t>(n);
        return v;
    }
    TxBytes bytes(size_t n) {
        need(n);
        TxBytes out(b_.begin() + static_cast<std::ptrdiff_t>(pos_), b_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
        pos_ += n;
        return out;
    }
    uint64_t compact() {
        const size_t start = pos_;
        const uint8_t first = static_cast<uint8_t>(le(1));
        uint64_t v = first;
        if (first == 0xFD) v = le(2);
        if (first == 0xFE) v = le(4);
        if (first == 0xFF) v = le(8);
        f_.compact_sizes.emplace_back(start, pos_ - start);
        return v;
    }
    TxBytes sized() { return bytes(static_cast<size_t>(compact())); }
    size_t pos() const { return pos_; }
    size_t size() const { return b_.size(); }

private:
    void need(size_t n) const {
        if (n > b_.size() - pos_) throw std::runtime_error("test transaction truncated");
    }
    const TxBytes& b_;
    TxFields& f_;
    size_t pos_ = 0;
};

inline TxFields parse_tx(const TxBytes& b) {
    TxFields f;
    TxReader r(b, f);
    f.version = static_cast<int32_t>(r.le(4));
    f.witness_form = b.size() > 6 && b[4] == 0x00 && b[5] == 0x01;
    if (f.witness_form) r.le(2);
    f.ins.resize(static_cast<size_t>(r.compact()));
    for (TxIn& in : f.ins) {
        in.txid = r.bytes(32);
        in.vout = static_cast<uint32_t>(r.le(4));
        in.script_sig = r.sized();
        in.sequence = static_cast<uint32_t>(r.le(4));
    }
    f.outs.resize(static_cast<size_t>(r.compact()));
    for (TxOut& out : f.outs) {
        out.amount = r.le(8);
        out.script = r.sized();
    }
    if (f.witness_form)
        for (TxIn& in : f.ins) {
            in.witness.resize(static_cast<size_t>(r.compact()));
            for (TxBytes& item : in.witness) item = r.sized();
        }
    f.lock_time = static_cast<uint32_t>(r.le(4));
    if (r.pos() != r.size()) throw std::runtime_error("test transaction has trailing bytes");
    return f;
}

inline TxBytes serialize_tx(const TxFields& f, bool with_witness) {
    bool witness = false;
    for (const TxIn& in : f.ins) witness = witness || !in.witness.empty();
    witness = witness && with_witness;
    TxBytes out;
    append_le(out, static_cast<uint32_t>(f.version), 4);
    if (witness) {
        out.push_back(0x00);
        out.push_back(0x01);
    }
    append_compact(out, f.ins.size());
    for (const TxIn& in : f.ins) {
        append(out, in.txid);
        append_le(out, in.vout, 4);
        append_sized(out, in.script_sig);
        append_le(out, in.sequence, 4);
    }
    append_compact(out, f.outs.size());
    for (const TxOut& o : f.outs) {
        append_le(out, o.amount, 8);
        append_sized(out, o.script);
    }
    if (witness)
        for (const TxIn& in : f.ins) {
            append_compact(out, in.witness.size());
            for (const TxBytes& item : in.witness) append_sized(out, item);
        }
    append_le(out, f.lock_time, 4);
    return out;
}

// The arrays the Taproot digest exports take, pointing into f and the spent
// outputs (which must outlive them).
struct TaprootArrays {
    TxBytes txids;
    std::vector<uint32_t> vouts, sequences;
    std::vector<uint64_t> amounts, out_amounts;
    std::vector<const uint8_t*> spks, out_scripts;
    std::vector<size_t> spk_lens, out_script_lens;

    TaprootArrays(const TxFields& f, const std::vector<TxOut>& spent) {
        for (size_t i = 0; i < f.ins.size(); ++i) {
            append(txids, f.ins[i].txid);
            vouts.push_back(f.ins[i].vout);
            sequences.push_back(f.ins[i].sequence);
            amounts.push_back(spent[i].amount);
            spks.push_back(spent[i].script.data());
            spk_lens.push_back(spent[i].script.size());
        }
        for (const TxOut& o : f.outs) {
            out_amounts.push_back(o.amount);
            out_scripts.push_back(o.script.data());
            out_script_lens.push_back(o.script.size());
        }
        // Keep every array non-empty so that data() is never null.
        txids.reserve(1);
        vouts.reserve(1);
        sequences.reserve(1);
        amounts.reserve(1);
        out_amounts.reserve(1);
        spks.reserve(1);
        out_scripts.reserve(1);
        spk_lens.reserve(1);
        out_script_lens.reserve(1);
    }
};

// The BIP-341 SigMsg (with the BIP-342 extension when ext is given, 37
// bytes), built from the fields the plain way. sha256 is the caller's
// SHA-256 (bytes -> 32 bytes).
template <typename Sha256>
TxBytes reference_sigmsg(const TxFields& f, const std::vector<TxOut>& spent, size_t index, uint8_t hash_type,
                         const TxBytes* annex, const TxBytes* ext, Sha256 sha256) {
    const uint8_t output_type = hash_type == 0 ? 1 : (hash_type & 3);
    const bool acp = (hash_type & 0x80) != 0;
    TxBytes m;
    m.push_back(0x00);
    m.push_back(hash_type);
    append_le(m, static_cast<uint32_t>(f.version), 4);
    append_le(m, f.lock_time, 4);
    if (!acp) {
        TxBytes prevouts, amounts, spks, seqs;
        for (size_t i = 0; i < f.ins.size(); ++i) {
            append(prevouts, f.ins[i].txid);
            append_le(prevouts, f.ins[i].vout, 4);
            append_le(amounts, spent[i].amount, 8);
            append_sized(spks, spent[i].script);
            append_le(seqs, f.ins[i].sequence, 4);
        }
        append(m, sha256(prevouts));
        append(m, sha256(amounts));
        append(m, sha256(spks));
        append(m, sha256(seqs));
    }
    if (output_type == 1) {
        TxBytes outs;
        for (const TxOut& o : f.outs) {
            append_le(outs, o.amount, 8);
            append_sized(outs, o.script);
        }
        append(m, sha256(outs));
    }
    const bool has_annex = annex != nullptr && !annex->empty();
    m.push_back(static_cast<uint8_t>((ext ? 2 : 0) + (has_annex ? 1 : 0)));
    if (acp) {
        append(m, f.ins[index].txid);
        append_le(m, f.ins[index].vout, 4);
        append_le(m, spent[index].amount, 8);
        append_sized(m, spent[index].script);
        append_le(m, f.ins[index].sequence, 4);
    } else {
        append_le(m, index, 4);
    }
    if (has_annex) {
        TxBytes a;
        append_sized(a, *annex);
        append(m, sha256(a));
    }
    if (output_type == 3) {
        TxBytes o;
        append_le(o, f.outs[index].amount, 8);
        append_sized(o, f.outs[index].script);
        append(m, sha256(o));
    }
    if (ext) append(m, *ext);
    return m;
}

}  // namespace qorvex::test
