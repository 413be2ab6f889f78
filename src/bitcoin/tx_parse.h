// Serialized transactions from outside: the one parser of the library for
// them, and the ids computed from the bytes as given.
//
// The input is hostile. Every count and length is read as a canonical
// compact size and checked against the bytes that remain before anything
// it announces is read; the parse must end exactly at the 4-byte lock time.
// Nothing is allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qorvex::tx {

// Where the parts of a serialization lie, as far as the ids need them.
struct SerializedLayout {
    bool has_witness;    // BIP-144 form: marker 0x00 and flag 0x01 at offsets 4 and 5
    size_t outputs_end;  // offset just past the last output
};

// Parses the legacy form, or the BIP-144 form when bytes 4 and 5 are 0x00
// 0x01. nullopt for anything shorter than 10 bytes, truncated, with trailing
// bytes, with a non-canonical compact size, or in the BIP-144 form without a
// single non-empty witness (BIP-144 wants the legacy form then).
std::optional<SerializedLayout> parse_serialized(std::span<const uint8_t> bytes);

// SHA256d of the serialization without its witness: version, inputs and
// outputs, lock time. False (out32 untouched) when the bytes do not parse.
bool serialized_txid(std::span<const uint8_t> bytes, uint8_t out32[32]);

// SHA256d of all the bytes, once they parse. False (out32 untouched) when
// they do not.
bool serialized_wtxid(std::span<const uint8_t> bytes, uint8_t out32[32]);

// A serialized witness stack (a BIP-322 simple signature, for example):
// the item count, then each item with its compact size, and nothing after.
// The items are views into bytes, at most items_out.size() of them; returns
// how many, or nullopt when the bytes are not exactly one stack or it holds
// more items than items_out has room for.
std::optional<size_t> parse_witness_stack(std::span<const uint8_t> bytes,
                                          std::span<std::span<const uint8_t>> items_out);

// The item count of bytes that are exactly one serialized witness stack of
// any size, or nullopt.
std::optional<uint64_t> witness_stack_size(std::span<const uint8_t> bytes);

}  // namespace qorvex::tx
