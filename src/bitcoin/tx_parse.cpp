#include "bitcoin/tx_parse.h"

#include "bitcoin/compact_size.h"
#include "hash/sha256_writer.h"

namespace qorvex::tx {

namespace {

// The shortest encodings: an input is an outpoint (36), an empty script (1)
// and a sequence (4); an output an amount (8) and an empty script (1).
constexpr size_t kMinInputSize = 41;
constexpr size_t kMinOutputSize = 9;
constexpr size_t kLockTimeSize = 4;
constexpr size_t kMinTxSize = 10;

class Reader {
public:
    Reader(std::span<const uint8_t> bytes, size_t pos) : bytes_(bytes), pos_(pos) {}

    size_t pos() const { return pos_; }
    size_t left() const { return bytes_.size() - pos_; }

    bool skip(uint64_t n) {
        if (n > left()) return false;
        pos_ += static_cast<size_t>(n);
        return true;
    }

    std::optional<uint64_t> compact() {
        const auto d = compact_size::decode(bytes_.subspan(pos_));
        if (!d) return std::nullopt;
        pos_ += d->size;
        return d->value;
    }

    // A compact size, then that many bytes.
    bool skip_sized() {
        const auto n = compact();
        return n && skip(*n);
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_;
};

}  // namespace

std::optional<SerializedLayout> parse_serialized(std::span<const uint8_t> bytes) {
    if (bytes.size() < kMinTxSize) return std::nullopt;
    const bool witness = bytes[4] == 0x00 && bytes[5] == 0x01;
    Reader r(bytes, witness ? 6 : 4);

    // Each count is held against the bytes left before its loop runs.
    const auto inputs = r.compact();
    if (!inputs || *inputs > r.left() / kMinInputSize) return std::nullopt;
    for (uint64_t i = 0; i < *inputs; ++i) {
        if (!r.skip(36) || !r.skip_sized() || !r.skip(4)) return std::nullopt;
    }
    const auto outputs = r.compact();
    if (!outputs || *outputs > r.left() / kMinOutputSize) return std::nullopt;
    for (uint64_t i = 0; i < *outputs; ++i) {
        if (!r.skip(8) || !r.skip_sized()) return std::nullopt;
    }
    const size_t outputs_end = r.pos();

    if (witness) {
        bool any_item = false;
        for (uint64_t i = 0; i < *inputs; ++i) {
            const auto items = r.compact();
            if (!items || *items > r.left()) return std::nullopt;
            any_item = any_item || *items != 0;
            for (uint64_t k = 0; k < *items; ++k) {
                if (!r.skip_sized()) return std::nullopt;
            }
        }
        if (!any_item) return std::nullopt;
    }
    if (r.left() != kLockTimeSize) return std::nullopt;
    return SerializedLayout{witness, outputs_end};
}

bool serialized_txid(std::span<const uint8_t> bytes, uint8_t out32[32]) {
    const auto layout = parse_serialized(bytes);
    if (!layout) return false;
    Sha256Writer w;
    if (!layout->has_witness) {
        w.put(bytes.data(), bytes.size());
    } else {
        // Without the marker, the flag and the witness stacks.
        w.put(bytes.data(), 4);
        w.put(bytes.data() + 6, layout->outputs_end - 6);
        w.put(bytes.data() + bytes.size() - kLockTimeSize, kLockTimeSize);
    }
    w.finish_double(out32);
    return true;
}

bool serialized_wtxid(std::span<const uint8_t> bytes, uint8_t out32[32]) {
    if (!parse_serialized(bytes)) return false;
    Sha256Writer w;
    w.put(bytes.data(), bytes.size());
    w.finish_double(out32);
    return true;
}

namespace {

// One pass over a serialized stack, handing each item to keep(k, item);
// the count that the bytes announce and hold exactly, or nullopt.
template <class Keep>
std::optional<uint64_t> walk_witness_stack(std::span<const uint8_t> bytes, uint64_t max_items, Keep keep) {
    Reader r(bytes, 0);
    const auto count = r.compact();
    if (!count || *count > max_items) return std::nullopt;
    for (uint64_t k = 0; k < *count; ++k) {
        const auto len = r.compact();
        const size_t start = r.pos();
        if (!len || !r.skip(*len)) return std::nullopt;
        keep(k, bytes.subspan(start, r.pos() - start));
    }
    if (r.left() != 0) return std::nullopt;
    return count;
}

}  // namespace

std::optional<size_t> parse_witness_stack(std::span<const uint8_t> bytes,
                                          std::span<std::span<const uint8_t>> items_out) {
    const auto count = walk_witness_stack(bytes, items_out.size(),
                                          [&](uint64_t k, std::span<const uint8_t> item) { items_out[k] = item; });
    if (!count) return std::nullopt;
    return static_cast<size_t>(*count);
}

std::optional<uint64_t> witness_stack_size(std::span<const uint8_t> bytes) {
    return walk_witness_stack(bytes, UINT64_MAX, [](uint64_t, std::span<const uint8_t>) {});
}

}  // namespace qorvex::tx
