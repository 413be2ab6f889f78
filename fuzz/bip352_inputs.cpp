// The public key of an input from hostile scriptSig, witness and
// scriptPubKey bytes, and the tweak of the keys found. Input: three 16-bit
// little-endian lengths (scriptSig, witness, scriptPubKey), 36 outpoint
// bytes, then the three byte strings (short when the input runs out).
//
// A key found is a valid compressed key; for a Taproot scriptPubKey it is
// 02 || the output key; the tweak of that one key and of the key with its
// negation agree with the scan's refusal of infinity.
#include <vector>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_bip352_input_pubkey, qorvex_bip352_tweak);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    size_t lens[3];
    for (size_t& l : lens) {
        const uint8_t lo = in.byte();
        l = lo | (size_t{in.byte()} << 8);
    }
    uint8_t outpoint[QORVEX_BIP352_OUTPOINT_SIZE];
    in.bytes(outpoint, sizeof outpoint);
    std::vector<uint8_t> parts[3];
    for (int i = 0; i < 3; ++i) {
        const size_t n = lens[i] < in.rest_size() ? lens[i] : in.rest_size();
        parts[i].resize(n);
        if (n) in.bytes(parts[i].data(), n);
    }
    auto ptr = [](const std::vector<uint8_t>& v) { return v.empty() ? nullptr : v.data(); };
    uint8_t key[33] = {0};
    const int rc = qorvex_bip352_input_pubkey(c, ptr(parts[0]), parts[0].size(), ptr(parts[1]), parts[1].size(),
                                              ptr(parts[2]), parts[2].size(), key);
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_NOT_FOUND || rc == QORVEX_ERR_BAD_INPUT);
    if (rc != QORVEX_OK) return 0;
    uint8_t parsed[33];
    FUZZ_CHECK(qorvex_pubkey_parse(c, key, 33, parsed) == QORVEX_OK && std::memcmp(parsed, key, 33) == 0);
    const std::vector<uint8_t>& spk = parts[2];
    if (spk.size() == 34 && spk[0] == 0x51 && spk[1] == 0x20)
        FUZZ_CHECK(key[0] == 0x02 && std::memcmp(key + 1, spk.data() + 2, 32) == 0);
    uint8_t tweak[QORVEX_BIP352_TWEAK_SIZE];
    const int rt = qorvex_bip352_tweak(c, key, 1, outpoint, 1, tweak);
    FUZZ_CHECK(rt == QORVEX_OK || rt == QORVEX_ERR_ARITH);
    uint8_t pair[66];
    std::memcpy(pair, key, 33);
    std::memcpy(pair + 33, key, 33);
    pair[33] ^= 1;
    FUZZ_CHECK(qorvex_bip352_tweak(c, pair, 2, outpoint, 1, tweak) == QORVEX_ERR_ARITH);
    return 0;
}
