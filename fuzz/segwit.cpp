// Segwit programs and addresses on hostile bytes. Input: a mode byte, then
//   0: a script (the rest): the witness-program rule, its parse, the script
//      builders and the P2SH address and witness script hash of it;
//   1: a 33-byte key and a network byte: the three key addresses;
//   2: a 32-byte x-only key and a network byte: the P2TR address.
#include <string>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_segwit_is_witness_program, qorvex_segwit_parse_program, qorvex_segwit_p2wpkh_spk,
                    qorvex_segwit_p2wsh_spk, qorvex_segwit_p2tr_spk, qorvex_segwit_witness_script_hash,
                    qorvex_addr_p2sh, qorvex_addr_p2pkh, qorvex_addr_p2sh_p2wpkh, qorvex_addr_p2wpkh,
                    qorvex_addr_p2tr);

namespace {

void check_script(const uint8_t* s, size_t n) {
    const int is = qorvex_segwit_is_witness_program(s, n);
    FUZZ_CHECK(is == 0 || is == 1);
    int version = 99;
    uint8_t program[QORVEX_SEGWIT_PROGRAM_MAX_SIZE];
    size_t plen = 99;
    const int rc = qorvex_segwit_parse_program(s, n, &version, program, &plen);
    FUZZ_CHECK(rc == (is ? QORVEX_OK : QORVEX_ERR_BAD_INPUT));
    if (rc != QORVEX_OK) {
        FUZZ_CHECK(version == -1 && plen == 0);
    } else {
        // The program and version rebuild the script.
        FUZZ_CHECK(version >= 0 && version <= 16 && plen >= 2 && plen <= 40 && plen + 2 == n);
        FUZZ_CHECK(s[0] == (version == 0 ? 0 : 0x50 + version) && s[1] == plen);
        FUZZ_CHECK(std::memcmp(s + 2, program, plen) == 0);
        uint8_t spk[34];
        if (version == 0 && plen == 20) {
            FUZZ_CHECK(qorvex_segwit_p2wpkh_spk(program, spk) == QORVEX_OK && std::memcmp(spk, s, 22) == 0);
        } else if (version == 0 && plen == 32) {
            FUZZ_CHECK(qorvex_segwit_p2wsh_spk(program, spk) == QORVEX_OK && std::memcmp(spk, s, 34) == 0);
        } else if (version == 1 && plen == 32) {
            FUZZ_CHECK(qorvex_segwit_p2tr_spk(program, spk) == QORVEX_OK && std::memcmp(spk, s, 34) == 0);
        }
    }
    uint8_t h[32], expected[32];
    FUZZ_CHECK(qorvex_segwit_witness_script_hash(n ? s : nullptr, n, h) == QORVEX_OK);
    static const uint8_t kNothing = 0;
    FUZZ_CHECK(qorvex_sha256(n ? s : &kNothing, n, expected) == QORVEX_OK && std::memcmp(h, expected, 32) == 0);
    char addr[QORVEX_ADDRESS_MAX_SIZE];
    for (const int net : {0, 1}) {
        size_t len = sizeof addr;
        FUZZ_CHECK(qorvex_addr_p2sh(n ? s : &kNothing, n, net, addr, &len) == QORVEX_OK);
        FUZZ_CHECK(len >= 34 && len <= 35 && addr[len] == '\0');
        FUZZ_CHECK(addr[0] == (net == 0 ? '3' : '2'));
    }
}

void check_key(Input& in) {
    qorvex_ctx* c = ctx();
    uint8_t pub[33];
    in.bytes(pub, 33);
    const int net = static_cast<int8_t>(in.byte()) % 3;
    uint8_t parsed[33];
    const bool key_ok = qorvex_pubkey_parse(c, pub, 33, parsed) == QORVEX_OK;
    const int want = static_cast<unsigned>(net) > 1 ? QORVEX_ERR_BAD_INPUT : key_ok ? QORVEX_OK : QORVEX_ERR_BAD_PUBKEY;
    char a1[QORVEX_ADDRESS_MAX_SIZE], a2[QORVEX_ADDRESS_MAX_SIZE], a3[QORVEX_ADDRESS_MAX_SIZE];
    size_t l1 = sizeof a1, l2 = sizeof a2, l3 = sizeof a3;
    FUZZ_CHECK(qorvex_addr_p2pkh(c, pub, net, a1, &l1) == want);
    FUZZ_CHECK(qorvex_addr_p2sh_p2wpkh(c, pub, net, a2, &l2) == want);
    FUZZ_CHECK(qorvex_addr_p2wpkh(c, pub, net, a3, &l3) == want);
    if (want != QORVEX_OK) return;
    FUZZ_CHECK(std::string(a3, 4) == (net == 0 ? "bc1q" : "tb1q") && l3 == 42);
    // P2SH-P2WPKH is the P2SH address of the P2WPKH script of the key hash.
    uint8_t h[20], redeem[QORVEX_P2WPKH_SPK_SIZE];
    FUZZ_CHECK(qorvex_hash160(pub, 33, h) == QORVEX_OK && qorvex_segwit_p2wpkh_spk(h, redeem) == QORVEX_OK);
    char p2sh[QORVEX_ADDRESS_MAX_SIZE];
    size_t lp = sizeof p2sh;
    FUZZ_CHECK(qorvex_addr_p2sh(redeem, sizeof redeem, net, p2sh, &lp) == QORVEX_OK);
    FUZZ_CHECK(std::string(p2sh, lp) == std::string(a2, l2));
}

void check_xonly(Input& in) {
    uint8_t x[32];
    in.bytes(x, 32);
    const int net = static_cast<int8_t>(in.byte()) % 3;
    uint8_t any = 0;
    for (const uint8_t b : x) any |= b;
    char addr[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof addr;
    const int rc = qorvex_addr_p2tr(ctx(), x, net, addr, &len);
    FUZZ_CHECK(rc == (static_cast<unsigned>(net) > 1 ? QORVEX_ERR_BAD_INPUT : any ? QORVEX_OK : QORVEX_ERR_BAD_PUBKEY));
    if (rc == QORVEX_OK) FUZZ_CHECK(len == 62 && std::string(addr, 4) == (net == 0 ? "bc1p" : "tb1p"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    switch (in.byte() % 3) {
        case 0: check_script(in.rest(), in.rest_size()); break;
        case 1: check_key(in); break;
        default: check_xonly(in); break;
    }
    return 0;
}
