// BIP-32 on hostile input: xprv/xpub text (the Base58 import), derivation
// paths, and raw 82-byte records. Input: a mode byte, then
//   0: text (up to the first NUL) for qorvex_bip32_from_base58;
//   1: a seed length byte (16 + b % 49), the seed, then a path (the rest);
//   2: an 82-byte record, then a child index (4 bytes).
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_bip32_from_base58, qorvex_bip32_to_base58, qorvex_bip32_master, qorvex_bip32_derive,
                    qorvex_bip32_derive_path, qorvex_bip32_privkey, qorvex_bip32_pubkey);

namespace {

bool same(const qorvex_bip32_key& a, const qorvex_bip32_key& b) { return std::memcmp(a.data, b.data, 82) == 0; }

bool record_code_ok(int rc) {
    return rc == QORVEX_OK || rc == QORVEX_ERR_BAD_KEY || rc == QORVEX_ERR_BAD_PUBKEY || rc == QORVEX_ERR_BAD_INPUT;
}

// The path syntax written out plainly: "m", then "/" digits [' h H]
// steps, each value below 2^31; false when refused.
bool reference_path(const std::string& p, std::vector<uint32_t>& out) {
    if (p.empty() || p[0] != 'm') return false;
    size_t i = 1;
    while (i < p.size()) {
        if (p[i++] != '/') return false;
        if (i == p.size() || p[i] < '0' || p[i] > '9') return false;
        uint64_t v = 0;
        while (i < p.size() && p[i] >= '0' && p[i] <= '9') {
            v = v * 10 + static_cast<uint64_t>(p[i++] - '0');
            if (v > 0x7FFFFFFF) return false;
        }
        if (i < p.size() && (p[i] == '\'' || p[i] == 'h' || p[i] == 'H')) {
            v += 0x80000000u;
            ++i;
        }
        out.push_back(static_cast<uint32_t>(v));
    }
    return true;
}

void check_text(const std::string& text) {
    qorvex_ctx* c = ctx();
    qorvex_bip32_key k;
    std::memset(k.data, 0xA5, sizeof k.data);
    const qorvex_bip32_key untouched = k;
    const int rc = qorvex_bip32_from_base58(c, text.c_str(), &k);
    FUZZ_CHECK(record_code_ok(rc));
    if (rc != QORVEX_OK) {
        FUZZ_CHECK(same(k, untouched));
        return;
    }
    // The text is what the record writes back.
    char back[QORVEX_BIP32_TEXT_SIZE];
    size_t len = sizeof back;
    FUZZ_CHECK(qorvex_bip32_to_base58(c, &k, back, &len) == QORVEX_OK);
    FUZZ_CHECK(text == std::string(back, len));
    qorvex_bip32_key same_key;
    FUZZ_CHECK(qorvex_bip32_derive_path(c, &k, "m", &same_key) == QORVEX_OK && same(k, same_key));
    uint8_t pub[33], sk[32], from_sk[33];
    FUZZ_CHECK(qorvex_bip32_pubkey(c, &k, pub) == QORVEX_OK);
    if (k.data[78] == 1) {
        FUZZ_CHECK(qorvex_bip32_privkey(c, &k, sk) == QORVEX_OK);
        FUZZ_CHECK(qorvex_pubkey_create(c, sk, from_sk) == QORVEX_OK && std::memcmp(pub, from_sk, 33) == 0);
    } else {
        FUZZ_CHECK(qorvex_bip32_privkey(c, &k, sk) == QORVEX_ERR_BAD_KEY);
        FUZZ_CHECK(std::memcmp(pub, k.data + 45, 33) == 0);
    }
}

void check_path(Input& in) {
    qorvex_ctx* c = ctx();
    uint8_t seed[64];
    const size_t n = 16 + in.byte() % 49;
    in.bytes(seed, n);
    const std::string path(reinterpret_cast<const char*>(in.rest()), strnlen(reinterpret_cast<const char*>(in.rest()),
                                                                          std::min<size_t>(in.rest_size(), 64)));
    qorvex_bip32_key m;
    const int rc_m = qorvex_bip32_master(c, seed, n, &m);
    FUZZ_CHECK(rc_m == QORVEX_OK || rc_m == QORVEX_ERR_INTERNAL);
    if (rc_m != QORVEX_OK) return;
    qorvex_bip32_key out;
    const int rc = qorvex_bip32_derive_path(c, &m, path.c_str(), &out);
    std::vector<uint32_t> steps;
    const bool syntax = reference_path(path, steps);
    // A path the reference refuses is refused; one it takes derives as the
    // same steps one at a time (only an invalid derived key, which never
    // turns up, could fail it).
    FUZZ_CHECK(rc == (syntax ? QORVEX_OK : QORVEX_ERR_BAD_INPUT));
    if (!syntax) return;
    qorvex_bip32_key step = m;
    for (const uint32_t i : steps) FUZZ_CHECK(qorvex_bip32_derive(c, &step, i, &step) == QORVEX_OK);
    FUZZ_CHECK(same(step, out));
}

void check_raw_record(Input& in) {
    qorvex_ctx* c = ctx();
    qorvex_bip32_key k;
    in.bytes(k.data, sizeof k.data);
    uint8_t ib[4];
    in.bytes(ib, 4);
    const uint32_t index = uint32_t{ib[0]} << 24 | uint32_t{ib[1]} << 16 | uint32_t{ib[2]} << 8 | ib[3];
    qorvex_bip32_key out = k;
    // Every export reads the record with the same checks.
    const int rc = qorvex_bip32_derive_path(c, &k, "m", &out);
    FUZZ_CHECK(record_code_ok(rc));
    FUZZ_CHECK(same(out, k));
    uint8_t pub[33];
    FUZZ_CHECK(qorvex_bip32_pubkey(c, &k, pub) == rc);
    char text[QORVEX_BIP32_TEXT_SIZE];
    size_t len = sizeof text;
    FUZZ_CHECK(qorvex_bip32_to_base58(c, &k, text, &len) == rc);
    if (rc != QORVEX_OK) return;
    check_text(std::string(text, len));
    qorvex_bip32_key child;
    const int rc_child = qorvex_bip32_derive(c, &k, index, &child);
    FUZZ_CHECK(rc_child == QORVEX_OK || rc_child == QORVEX_ERR_INTERNAL);
    const bool must_fail = k.data[4] == 255 || (k.data[78] == 0 && index >= 0x80000000u);
    if (must_fail) FUZZ_CHECK(rc_child == QORVEX_ERR_INTERNAL);
    if (rc_child == QORVEX_OK) FUZZ_CHECK(child.data[4] == k.data[4] + 1 && child.data[78] == k.data[78]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    switch (in.byte() % 3) {
        case 0: {
            const char* p = reinterpret_cast<const char*>(in.rest());
            check_text(std::string(p, strnlen(p, in.rest_size())));
            break;
        }
        case 1: check_path(in); break;
        default: check_raw_record(in); break;
    }
    return 0;
}
