// Batch verification of ECDSA signatures: many (message, key, signature)
// items checked in one call, their s values inverted together, optionally on
// worker threads. Everything here handles public data and runs in variable
// time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "arith/point.h"
#include "sig/batch_limits.h"
#include "sig/ecdsa.h"

namespace qorvex::batch {

// message (32) || compressed public key (33) || compact signature (64).
inline constexpr size_t kEcdsaItemSize = 129;
// Opaque rows keep the same fields at these offsets: message, key, then the
// opaque (little-endian) signature.
inline constexpr size_t kRowKeyOffset = 32;
inline constexpr size_t kRowSigOffset = 65;
// Items per chunk of work: one shared inversion per chunk, and the unit the
// worker threads take from their shared counter.
inline constexpr size_t kEcdsaChunk = 4096;

struct EcdsaBatchEntry {
    uint8_t msg[32];
    Point q;
    ecdsa::Signature sig;
};

// A compact item: the key (through this thread's key cache) first, then the
// signature (r and s in [1, n - 1]).
ItemError parse_ecdsa_item(const uint8_t item[kEcdsaItemSize], EcdsaBatchEntry& out);

// The checks of a batch: every signature low-S with a finite key; up to 8
// entries each is verified alone, more share one inversion of their s
// values. False at the first failure, and for an empty span.
bool ecdsa_batch_core(std::span<const EcdsaBatchEntry> entries);

// The number of worker threads for count items: the requested number when
// it is not 0 and at most the processor count, else the processor count;
// never more than there are chunks.
size_t ecdsa_batch_threads(size_t requested, size_t count);

// Parses and verifies count items (count >= 1) in chunks, on `threads`
// workers (the calling thread is one of them); with several workers the
// chunks are cut smaller, so that the workers finish together. A parse
// failure anywhere wins over a failed verification: the result then names
// the first bad item, as if every item had been parsed before anything was
// verified. Can throw (allocation, a thread that cannot start, the
// generator tables).
BatchVerdict ecdsa_batch_verify(const uint8_t* items, size_t count, size_t threads);

// Parses every item, then verifies each alone (no low-S rule, so a valid
// high-S signature passes) and appends the indices of the failing ones.
BatchVerdict ecdsa_identify_invalid(const uint8_t* items, size_t count, std::vector<size_t>& invalid);

// Where the fields of opaque item i are: message at msgs + i * msg_stride,
// key at keys + i * key_stride, signature at sigs + i * sig_stride.
struct OpaqueLayout {
    const uint8_t* msgs;
    size_t msg_stride;
    const uint8_t* keys;
    size_t key_stride;
    const uint8_t* sigs;
    size_t sig_stride;
};

// results[i] = 1 for a valid opaque item (high-S accepted), 0 otherwise:
// chunk by chunk, the whole chunk through the batch core when every item
// parses and it accepts, else each item alone. results must not overlap the
// inputs (the caller sees to that).
void ecdsa_verify_opaque(const OpaqueLayout& in, size_t count, uint8_t* results);

}  // namespace qorvex::batch
