#include "bitcoin/descriptor.h"

#include <cstring>
#include <span>

#include "bitcoin/base58.h"
#include "support/bytes.h"
#include "support/declassify.h"
#include "support/hex.h"
#include "support/wipe.h"

namespace qorvex::descriptor {

namespace {

struct FormName {
    std::string_view open;   // up to and including the last '('
    std::string_view close;  // the closing parentheses
    Kind kind;
};

constexpr FormName kForms[] = {
    {"wpkh(", ")", Kind::wpkh}, {"sh(wpkh(", "))", Kind::sh_wpkh}, {"tr(", ")", Kind::tr},
    {"pkh(", ")", Kind::pkh},   {"pk(", ")", Kind::pk},
};

// Character by character, stopping at the first difference: a form's
// name never reads into the key that follows it (which may be secret).
bool starts_with(std::string_view s, std::string_view p) {
    if (s.size() < p.size()) return false;
    for (size_t i = 0; i < p.size(); ++i)
        if (s[i] != p[i]) return false;
    return true;
}

bool ends_with(std::string_view s, std::string_view p) {
    if (s.size() < p.size()) return false;
    for (size_t i = 1; i <= p.size(); ++i)
        if (s[s.size() - i] != p[p.size() - i]) return false;
    return true;
}

}  // namespace

std::optional<Form> match_form(std::string_view text) {
    for (const FormName& f : kForms) {
        // "wpkh()" has nothing inside: a form needs at least one character
        // there (sh(wpkh()) excepted, which the key check then refuses).
        const size_t least = f.kind == Kind::sh_wpkh ? f.open.size() + f.close.size() : f.open.size() + 2;
        if (text.size() < least || !starts_with(text, f.open) || !ends_with(text, f.close)) continue;
        return Form{f.kind, text.substr(f.open.size(), text.size() - f.open.size() - f.close.size())};
    }
    return std::nullopt;
}

KeyExpression split_key(std::string_view inner) {
    // The key may be an xprv: whether a character is '/' is all that is
    // made public, and an xprv has none, so this shows only its length.
    size_t slash = 0;
    while (slash < inner.size() && !declassify_bool(inner[slash] == '/')) ++slash;
    return {inner.substr(0, slash), inner.substr(slash)};
}

bool path_chars_ok(std::string_view path) {
    for (const char c : path) {
        const bool ok = (c >= '0' && c <= '9') || c == '/' || c == '\'' || c == '*' || c == '<' || c == ';' || c == '>';
        if (!ok) return false;
    }
    return true;
}

bool is_extended_key(std::string_view key) {
    if (key.size() == 111 || key.size() == 112) return true;
    if (key.size() < 4) return false;
    // The first four characters spell the version (xprv, tpub, ...), which
    // the key's holder shows with every xpub; a copy is made public.
    char head[4];
    std::memcpy(head, key.data(), 4);
    declassify(head, sizeof head);
    const std::string_view h(head, 4);
    return h == "xpub" || h == "xprv" || h == "tpub" || h == "tprv";
}

bool decode_extended_key(std::string_view key, uint8_t rec[bip32::kRecordSize], bool& testnet) {
    testnet = false;
    // Base58 decoding takes time quadratic in the length, and no longer
    // text holds a key: 78 bytes and a checksum are 111 or 112 characters,
    // and a payload long enough for more has a version whose text does not
    // begin xpub/xprv/tpub/tprv. Refused unread.
    if (key.size() > kMaxExtendedKeyText) return false;
    // The decoder needs room for the payload and its checksum; a text of n
    // characters holds at most n bytes.
    SecretBytes<kMaxExtendedKeyText> buf;
    size_t n = 0;
    if (!base58check_decode(key, std::span<uint8_t>(buf.data(), buf.size()), n) || n < bip32::kSerializedSize)
        return false;
    uint8_t* p = buf.data();
    // Version, depth, fingerprint, child number and the key-data marker
    // are public metadata (an xpub shows them too); the chain code and the
    // key stay secret.
    declassify(p, bip32::kOffChainCode);
    declassify(p + bip32::kOffKeyData, 1);
    const uint32_t version = load_be32(p + bip32::kOffVersion);
    testnet = version == bip32::kTprvVersion || version == bip32::kTpubVersion;
    const bool is_private = version == bip32::kXprvVersion || version == bip32::kTprvVersion;
    std::memcpy(rec, p, bip32::kSerializedSize);
    if (version == bip32::kTprvVersion) store_be32(rec + bip32::kOffVersion, bip32::kXprvVersion);
    if (version == bip32::kTpubVersion) store_be32(rec + bip32::kOffVersion, bip32::kXpubVersion);
    rec[bip32::kOffKind] = is_private ? bip32::kKindPrivate : bip32::kKindPublic;
    rec[bip32::kOffReserved] = rec[bip32::kOffReserved + 1] = rec[bip32::kOffReserved + 2] = 0;
    return true;
}

std::string derivation_path(std::string_view path, uint32_t index) {
    // The first "<...>" group becomes the step "0", whatever its branches.
    std::string grouped;
    grouped.reserve(path.size() + 1);
    const size_t open = path.find('<');
    const size_t close = open == std::string_view::npos ? open : path.find('>', open);
    if (close == std::string_view::npos) {
        grouped.append(path);
    } else {
        grouped.append(path.substr(0, open));
        grouped.push_back('0');
        grouped.append(path.substr(close + 1));
    }
    std::string out;
    out.reserve(grouped.size() + 11);
    out.push_back('m');
    const size_t star = grouped.find('*');
    if (star == std::string::npos) {
        out.append(grouped);
    } else {
        out.append(grouped, 0, star);
        out.append(std::to_string(index));
        out.append(grouped, star + 1);
    }
    return out;
}

HexKeyError parse_hex_key(std::string_view key, Kind kind, uint8_t out[kKeySize], size_t& len) {
    // A 32-byte key is an x-only key, which only tr() takes.
    const bool length_ok = key.size() == 2 * kKeySize || (kind == Kind::tr && key.size() == 2 * kXonlySize);
    if (!length_ok) return HexKeyError::length;
    const size_t n = key.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        const int hi = hex_digit(key[2 * i]), lo = hex_digit(key[2 * i + 1]);
        if (hi < 0 || lo < 0) return HexKeyError::digit;
        out[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    len = n;
    return HexKeyError::ok;
}

}  // namespace qorvex::descriptor
