#include "sig/batch_schnorr.h"

#include <cstring>
#include <random>

#include "arith/msm.h"
#include "hash/sha256.h"
#include "sig/schnorr.h"
#include "sig/xonly_cache.h"
#include "support/os_random.h"
#include "support/wipe.h"

namespace qorvex::batch {

namespace {

// Per thread, kept between calls: the terms of the multi-scalar
// multiplication and the slots of the key table.
struct SchnorrScratch {
    std::vector<Scalar> scalars;
    std::vector<AffinePoint> points;
    std::vector<uint32_t> slots;  // 0: empty, else 1 + index of a distinct key
    std::vector<uint32_t> owner;  // per distinct key: the first item that has it
};

// The parsed items of a call, kept per thread like the rest: a batch of
// fresh pages costs the kernel more to clear than the parsing itself.
std::span<SchnorrBatchEntry> entry_scratch(size_t count) {
    thread_local std::vector<SchnorrBatchEntry> v;
    if (v.size() < count) v.resize(count);
    return std::span<SchnorrBatchEntry>(v.data(), count);
}

SchnorrScratch& schnorr_scratch() {
    thread_local SchnorrScratch s;
    return s;
}

// Seeds the key table's hash. Seeded once per thread from the random
// device, so that the table's collisions cannot be chosen in advance.
std::mt19937_64& table_seed_engine() {
    thread_local std::mt19937_64 engine(std::random_device{}());
    return engine;
}

uint64_t key_hash(uint64_t seed, const uint8_t key[32]) {
    uint64_t h = seed;
    for (int i = 0; i < 32; ++i) {
        h ^= key[i];
        h *= 0x100000001b3ULL;
    }
    return h;
}

bool verify_alone(const SchnorrBatchEntry& e) {
    SchnorrSignature sig;
    if (!FieldElement::parse_strict(e.r, sig.r)) return false;
    sig.s = e.s;
    return schnorr_verify(e.key, e.msg, 32, sig);
}

// a_i = SHA-256(seed || i as 4 bytes little-endian) mod n, 1 in place of 0.
Scalar weight(const uint8_t seed[32], size_t i) {
    uint8_t buf[36], digest[32];
    std::memcpy(buf, seed, 32);
    for (int b = 0; b < 4; ++b) buf[32 + b] = static_cast<uint8_t>(i >> (8 * b));
    sha256(buf, sizeof buf, digest);
    const Scalar a = Scalar::from_bytes_reduce(digest);
    return a.is_zero() ? Scalar::one() : a;
}

}  // namespace

ItemError parse_schnorr_item(const uint8_t item[kSchnorrItemSize], SchnorrBatchEntry& out) {
    FieldElement x;
    if (!FieldElement::parse_strict(item, x)) return ItemError::pubkey;
    SchnorrSignature sig;
    if (!SchnorrSignature::parse(item + 64, sig)) return ItemError::signature;
    std::memcpy(out.key, item, 32);
    std::memcpy(out.msg, item + 32, 32);
    std::memcpy(out.r, item + 64, 32);
    out.s = sig.s;
    return ItemError::none;
}

bool schnorr_batch_core(std::span<const SchnorrBatchEntry> entries) {
    const size_t n = entries.size();
    if (n == 0) return false;
    if (n <= kSchnorrAloneMax) {
        for (const SchnorrBatchEntry& e : entries)
            if (!verify_alone(e)) return false;
        return true;
    }

    // The weights depend on every item and on fresh randomness, so a
    // forger can neither predict them nor choose items after seeing them.
    uint8_t seed[32];
    {
        Sha256Context h;
        sha256_init(h);
        for (const SchnorrBatchEntry& e : entries) {
            uint8_t s32[32];
            e.s.to_bytes(s32);
            sha256_update(h, e.r, 32);
            sha256_update(h, s32, 32);
            sha256_update(h, e.key, 32);
            sha256_update(h, e.msg, 32);
        }
        sha256_final(h, seed);
        SecretBytes<32> rnd;
        os_random(rnd.data(), 32);
        for (int i = 0; i < 32; ++i) seed[i] ^= rnd[i];
    }

    // Terms: -a_i R_i at [0, n), then one term per distinct key at n + k
    // with the sum of -a_i e_i over that key's items.
    SchnorrScratch& s = schnorr_scratch();
    if (s.scalars.size() < 2 * n) s.scalars.resize(2 * n);
    if (s.points.size() < 2 * n) s.points.resize(2 * n);
    size_t table_size = 16;
    while (table_size < 2 * n) table_size <<= 1;
    if (s.slots.size() < table_size) s.slots.resize(table_size);
    if (s.owner.size() < n) s.owner.resize(n);
    std::fill_n(s.slots.begin(), table_size, uint32_t{0});
    const uint64_t hash_seed = table_seed_engine()();
    const size_t mask = table_size - 1;

    Scalar sum_s = Scalar::zero();
    size_t distinct = 0;
    for (size_t i = 0; i < n; ++i) {
        const SchnorrBatchEntry& e = entries[i];
        const Scalar a = weight(seed, i);
        XonlyPubkey r;
        if (!lift_x_uncached(e.r, r)) return false;
        s.scalars[i] = a.negate();
        s.points[i] = r.point;

        size_t slot = key_hash(hash_seed, e.key) & mask;
        size_t k;
        for (;;) {
            const uint32_t v = s.slots[slot];
            if (v == 0) {
                XonlyPubkey key;
                if (!lift_x(e.key, key)) return false;
                k = distinct++;
                s.slots[slot] = static_cast<uint32_t>(k + 1);
                s.owner[k] = static_cast<uint32_t>(i);
                s.points[n + k] = key.point;
                s.scalars[n + k] = Scalar::zero();
                break;
            }
            if (std::memcmp(entries[s.owner[v - 1]].key, e.key, 32) == 0) {
                k = v - 1;
                break;
            }
            slot = (slot + 1) & mask;
        }
        const Scalar ev = schnorr_challenge(e.r, e.key, e.msg, 32);
        s.scalars[n + k] = s.scalars[n + k] - a.mul(ev);
        sum_s = sum_s + a.mul(e.s);
    }
    const Point total = msm_with_generator(sum_s, std::span<const Scalar>(s.scalars.data(), n + distinct),
                                           std::span<const AffinePoint>(s.points.data(), n + distinct));
    return total.infinity;
}

BatchVerdict schnorr_batch_verify(const uint8_t* items, size_t count) {
    const std::span<SchnorrBatchEntry> entries = entry_scratch(count);
    BatchVerdict v;
    for (size_t i = 0; i < count; ++i) {
        const ItemError e = parse_schnorr_item(items + i * kSchnorrItemSize, entries[i]);
        if (e != ItemError::none) {
            v.error = e;
            v.index = i;
            return v;
        }
    }
    v.valid = schnorr_batch_core(entries);
    return v;
}

BatchVerdict schnorr_identify_invalid(const uint8_t* items, size_t count, std::vector<size_t>& invalid) {
    const std::span<SchnorrBatchEntry> entries = entry_scratch(count);
    BatchVerdict v;
    for (size_t i = 0; i < count; ++i) {
        const ItemError e = parse_schnorr_item(items + i * kSchnorrItemSize, entries[i]);
        if (e != ItemError::none) {
            v.error = e;
            v.index = i;
            return v;
        }
    }
    for (size_t i = 0; i < count; ++i)
        if (!verify_alone(entries[i])) invalid.push_back(i);
    v.valid = invalid.empty();
    return v;
}

}  // namespace qorvex::batch
