// Output descriptors, the single-key subset: pk(KEY), pkh(KEY), wpkh(KEY),
// sh(wpkh(KEY)) and tr(KEY), KEY a hex public key or an xpub/xprv (tpub/
// tprv) with a path of normal and hardened steps, one wildcard '*' and one
// multipath group "<a;b>" (read as the step 0, whatever its branches). No key origins,
// checksums, scripts or multisig.
//
// The pieces a caller runs in order: the form, the split of its inner text,
// the path's characters, then the key. Derivation itself is the caller's
// (it reports BIP-32's own failures). An xprv's characters are secret: the
// split makes only the test for '/' public, and the key decodes in
// constant time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bitcoin/bip32.h"

namespace qorvex::descriptor {

// The kinds, numbered as the record stores them.
enum class Kind : uint32_t { pk = 0, pkh = 1, wpkh = 2, tr = 3, sh_wpkh = 4 };

// The record's path field: a path of 64 or more characters is not stored.
inline constexpr size_t kPathFieldSize = 64;
// A compressed key, or the x-only key of tr().
inline constexpr size_t kKeySize = 33;
inline constexpr size_t kXonlySize = 32;

struct Form {
    Kind kind;
    std::string_view inner;  // between the parentheses
};

// The kind of a descriptor text, tried in the order wpkh, sh(wpkh, tr, pkh,
// pk: "name(" ... ")" with something in between (sh(wpkh( ... ))),
// nothing after the last parenthesis, no white space skipped.
std::optional<Form> match_form(std::string_view text);

struct KeyExpression {
    std::string_view key;   // before the first '/'
    std::string_view path;  // from that '/' on, or empty
};
KeyExpression split_key(std::string_view inner);

// Digits, '/', '\'', '*', '<', ';' and '>' only ('h' is not taken).
bool path_chars_ok(std::string_view path);

// An extended key is written with 111 or 112 characters, or begins with
// xpub, xprv, tpub or tprv; anything else is read as hex.
bool is_extended_key(std::string_view key);

// The longest text an extended key has.
inline constexpr size_t kMaxExtendedKeyText = 112;

// Base58Check of at least 78 bytes (in at most kMaxExtendedKeyText
// characters), the first 78 of which become a
// qorvex_bip32_key record: kind 1 for the xprv and tprv versions, 0 for any
// other (which the record checks then refuse unless it is xpub), and the
// testnet versions replaced by their mainnet twins, with testnet set for
// them. False when the text does not decode or is short; rec then holds
// nothing. Constant time in the key's secret bytes.
bool decode_extended_key(std::string_view key, uint8_t rec[bip32::kRecordSize], bool& testnet);

// The BIP-32 path to derive: the path text with its first "<...>" group
// replaced by "0" and then its first '*' by the index in decimal, after
// "m". "m" alone for no path.
std::string derivation_path(std::string_view path, uint32_t index);

enum class HexKeyError { ok, length, digit };

// A hex key: 66 digits (33 bytes), or for tr() also 64 (32 bytes). The
// length is checked before the digits. out receives len bytes.
HexKeyError parse_hex_key(std::string_view key, Kind kind, uint8_t out[kKeySize], size_t& len);

}  // namespace qorvex::descriptor
