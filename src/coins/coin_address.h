// A coin's address of a public key in the coin's own style, and its WIF
// text of a private key, from the coin table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith/point.h"
#include "coins/coin_table.h"

namespace qorvex {

// The longest address of any coin: a CashAddr, "bitcoincash:" and 42
// characters. Text buffers for the functions below need this much.
inline constexpr size_t kCoinAddressMaxLength = 54;

// The address of a 20-byte key hash for the styles built on one: key hash
// (Base58Check with the coin's one- or two-byte P2PKH prefix), P2WPKH
// (under the coin's hrp, when it has segwit addresses and that hrp) and
// CashAddr. text[0..len), no NUL. False for the Ethereum and Tron styles,
// which need the key itself, and for a segwit coin without an hrp on that
// network.
bool coin_key_hash_address(const CoinParams& coin, bool testnet, const uint8_t hash20[20], char* text, size_t& len);

// The address of a public key: pub33 its compressed form and p the same
// point (affine or not, never infinity), both public.
bool coin_address(const CoinParams& coin, bool testnet, const uint8_t pub33[33], const Point& p, char* text,
                  size_t& len);

// Base58Check(the coin's WIF version || key || 0x01): always marked
// compressed. key32 must be a valid key; text needs kWifEncodeRoom
// characters. Constant time in the key.
bool coin_wif_encode(const CoinParams& coin, bool testnet, const uint8_t key32[32], char* text, size_t& len);

}  // namespace qorvex
