// Output descriptors on hostile text. Input: a mode byte, a child index (4
// bytes, little-endian), then
//   0: the descriptor text (up to the first NUL);
//   1: a descriptor assembled from the input: a kind byte, a key byte
//      (xpub, xprv, tpub, tprv, or 33 or 32 bytes that follow, in hex), then path
//      characters, one per nibble, from digits, '/', '\'', '*', '<', ';'
//      and '>'.
// Properties: parse and address agree; a success gives a well-formed
// record whose address the address exports reproduce from its key; a
// failure is one of the documented codes, and parsing without an address
// fails only where the address would have failed first.
#include <string>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_descriptor_parse, qorvex_descriptor_address);

namespace {

bool code_ok(int rc) {
    return rc == QORVEX_OK || rc == QORVEX_ERR_BAD_KEY || rc == QORVEX_ERR_BAD_PUBKEY || rc == QORVEX_ERR_BAD_INPUT ||
           rc == QORVEX_ERR_ARITH;
}

// The address of the record's key by the address exports.
int address_of(const qorvex_descriptor& rec, char* out, size_t* len) {
    qorvex_ctx* c = ctx();
    const int net = static_cast<int>(rec.testnet);
    switch (rec.kind) {
        case QORVEX_DESCRIPTOR_PK:
        case QORVEX_DESCRIPTOR_PKH: return qorvex_addr_p2pkh(c, rec.key, net, out, len);
        case QORVEX_DESCRIPTOR_WPKH: return qorvex_addr_p2wpkh(c, rec.key, net, out, len);
        case QORVEX_DESCRIPTOR_SH_WPKH: return qorvex_addr_p2sh_p2wpkh(c, rec.key, net, out, len);
        case QORVEX_DESCRIPTOR_TR: {
            uint8_t q[32];
            int parity = 0;
            if (const int rc = qorvex_taproot_output_key(c, rec.key, nullptr, q, &parity)) return rc;
            return qorvex_addr_p2tr(c, q, net, out, len);
        }
    }
    return -1;
}

void check(const std::string& text, int index) {
    qorvex_ctx* c = ctx();
    qorvex_descriptor rec, bare;
    std::memset(&rec, 0xA5, sizeof rec);
    std::memset(&bare, 0xA5, sizeof bare);
    char addr[QORVEX_ADDRESS_MAX_SIZE], addr2[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof addr, len2 = sizeof addr2;
    const int rc = qorvex_descriptor_parse(c, text.c_str(), index, &rec, addr, &len);
    FUZZ_CHECK(code_ok(rc));
    FUZZ_CHECK(qorvex_descriptor_address(c, text.c_str(), index, addr2, &len2) == rc);
    const int rc_bare = qorvex_descriptor_parse(c, text.c_str(), index, &bare, nullptr, nullptr);
    if (rc_bare != QORVEX_OK) FUZZ_CHECK(rc_bare == rc);
    if (rc_bare != QORVEX_OK && rc_bare != QORVEX_ERR_BAD_INPUT) {
        FUZZ_CHECK(rc_bare == QORVEX_ERR_BAD_KEY || rc_bare == QORVEX_ERR_BAD_PUBKEY);  // from the BIP-32 checks
    }
    if (rc_bare != QORVEX_OK) {
        FUZZ_CHECK(len == sizeof addr);
        return;
    }
    // Parsed: the record is the same with or without the address.
    FUZZ_CHECK(bare.kind <= 4 && bare.testnet <= 1);
    FUZZ_CHECK(bare.key_len == (bare.kind == QORVEX_DESCRIPTOR_TR ? 32 : 33));
    FUZZ_CHECK(std::memchr(bare.path, '\0', sizeof bare.path) != nullptr);
    FUZZ_CHECK(std::memcmp(&bare, &rec, 4 + bare.key_len) == 0 && bare.key_len == rec.key_len);
    FUZZ_CHECK(bare.testnet == rec.testnet && std::strcmp(bare.path, rec.path) == 0);
    const std::string path = bare.path;
    if (!path.empty()) FUZZ_CHECK(path[0] == '/' && text.find(path + ")") != std::string::npos);
    char want[QORVEX_ADDRESS_MAX_SIZE];
    size_t want_len = sizeof want;
    FUZZ_CHECK(address_of(bare, want, &want_len) == rc);
    if (rc != QORVEX_OK) return;
    FUZZ_CHECK(std::string(want, want_len) == std::string(addr, len));
    FUZZ_CHECK(std::string(addr, len) == std::string(addr2, len2));
}

// Keys the assembled descriptors use: a master key's xpub and xprv, and
// their testnet forms.
const char* const kKeys[] = {
    "xpub661MyMwAqRbcFtXgS5sYJABqqG9YLmC4Q1Rdap9gSE8NqtwybGhePY2gZ29ESFjqJoCu1Rupje8YtGqsefD265TMg7usUDFdp6W1EGMcet8",
    "xprv9s21ZrQH143K3QTDL4LXw2F7HEK3wJUD2nW2nRk4stbPy6cq3jPPqjiChkVvvNKmPGJxWUtg6LnF5kejMRNNU3TGtRBeJgk33yuGBxrMPHi",
    "tpubD6NzVbkrYhZ4XgiXtGrdW5XDAPFCL9h7we1vwNCpn8tGbBcgfVYjXyhWo4E1xkh56hjod1RhGjxbaTLV3X4FyWuejifB9jusQ46QzG87VKp",
    "tprv8ZgxMBicQKsPeDgjzdC36fs6bMjGApWDNLR9erAXMs5skhMv36j9MV5ecvfavji5khqjWaWSFhN3YcCUUdiKH6isR4Pwy3U5y5egddBr16m",
};

std::string assembled(Input& in) {
    static const char* const kOpen[] = {"pk(", "pkh(", "wpkh(", "tr(", "sh(wpkh("};
    static const char* const kClose[] = {")", ")", ")", ")", "))"};
    static const char kPathChars[] = "0123456789/'*<;>";
    const unsigned kind = in.byte() % 5, key = in.byte() % 6;
    std::string text = kOpen[kind];
    if (key < 4) {
        text += kKeys[key];
    } else {
        const size_t n = key == 4 ? 33 : 32;
        uint8_t raw[33];
        in.bytes(raw, n);
        static const char* d = "0123456789abcdef";
        for (size_t i = 0; i < n; ++i) {
            text += d[raw[i] >> 4];
            text += d[raw[i] & 15];
        }
    }
    for (size_t i = 0; i < 24 && in.rest_size() > 0; ++i) {
        const uint8_t b = in.byte();
        text += kPathChars[b >> 4];
        if (i % 2 == 0) text += kPathChars[b & 15];
    }
    return text + kClose[kind];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint8_t mode = in.byte();
    uint8_t ib[4];
    in.bytes(ib, 4);
    const int index = static_cast<int>(uint32_t{ib[0]} | uint32_t{ib[1]} << 8 | uint32_t{ib[2]} << 16 |
                                       uint32_t{ib[3]} << 24);
    if (mode % 2 == 0) {
        const char* p = reinterpret_cast<const char*>(in.rest());
        check(std::string(p, strnlen(p, in.rest_size())), index);
    } else {
        check(assembled(in), index);
    }
    return 0;
}
