// The inputs the exported-function benchmarks and the comparison run on:
// deterministic secret keys, messages, auxiliary randomness and tweaks, and
// what follows from them (public keys, signatures), all as bytes, the form
// both libraries take at their interfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace benchdata {

struct Item {
    uint8_t key[32];
    uint8_t msg[32];
    uint8_t aux[32];
    uint8_t tweak[32];
    // Derived from the keys and messages by the user of the inputs.
    uint8_t pub33[33];
    uint8_t pub65[65];
    uint8_t xonly[32];
    uint8_t ecdsa_sig[64];         // compact r || s of msg under key
    int recid;                     // its recovery id
    uint8_t ecdsa_sig_key0[64];    // msg under the first item's key
    uint8_t schnorr_sig[64];       // BIP-340, msg under key with aux
    uint8_t schnorr_sig_key0[64];  // msg under the first item's key with aux
};

struct Inputs {
    std::vector<Item> items;
    size_t size() const { return items.size(); }
    const Item& operator[](size_t i) const { return items[i]; }
};

// count items with deterministic keys (all in [1, n - 1]), messages, aux and
// tweaks; the derived fields are left zero.
Inputs make_base_inputs(size_t count);

// The same inputs with one bit of every message flipped (the derived fields
// untouched), so every signature in it is invalid for its message.
Inputs tampered_copy(const Inputs& in);

}  // namespace benchdata
