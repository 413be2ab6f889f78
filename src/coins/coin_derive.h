// Keys of a coin from a BIP-32 master key: m / purpose' / coin_type' /
// account' / change / index, the purpose chosen by the coin's flags
// (coin_purpose). Private derivation: constant time in the keys, every
// intermediate wiped.
#pragma once

#include <cstdint>

#include "bitcoin/bip32.h"
#include "coins/coin_table.h"

namespace qorvex {

struct CoinPath {
    uint32_t purpose;
    uint32_t coin_type;
    uint32_t account;  // below 2^31, hardened in the path
    uint32_t change;   // 0 receiving, 1 change
    uint32_t index;    // below 2^31
};

inline CoinPath coin_path(const CoinParams& coin, uint32_t account, bool change, uint32_t index) {
    return {coin_purpose(coin), coin.coin_type, account, change ? 1u : 0u, index};
}

// The key at the path below master. False (out all zero) for an account or
// index of 2^31 or more (they are not indices BIP-44 allows) or a failing
// step. out may be master itself.
bool coin_derive(const ExtendedKey& master, const CoinPath& path, ExtendedKey& out);

}  // namespace qorvex
