// BIP-322 simple signatures of untrusted addresses, messages and signature
// texts, and the library's own signatures next to them.
//
// Input: a mode byte. Even: an address length byte (read modulo 100) and
// that many address characters, a message length byte and the message,
// then the signature text (everything left, up to a NUL). The verdict is
// 0, 5 or 6, and the "smp" prefix never changes it. Odd: a key (32), a type
// byte (odd: P2WPKH, even: P2TR), a network byte, auxiliary randomness (32),
// a message length byte and the message; the key's signature for its own
// address must verify, and after the remaining input flips characters of
// the text, it verifies exactly when no character changed.
#include <string>

#include "fuzz_common.h"

using namespace qorvex::fuzz;

QORVEX_FUZZ_EXPORTS(qorvex_bip322_simple_verify);

namespace {

// p followed by s (written out: gcc 12 warns falsely on literal + string).
std::string prefixed(const char* p, const std::string& s) {
    std::string out(p);
    out.append(s);
    return out;
}

bool has_prefix(const std::string& s, const char* p) { return s.compare(0, 3, p) == 0; }

int verify(qorvex_ctx* c, const std::string& address, const uint8_t* msg, size_t len, const std::string& sig) {
    const int rc = qorvex_bip322_simple_verify(c, address.c_str(), len ? msg : nullptr, len, sig.c_str());
    FUZZ_CHECK(rc == QORVEX_OK || rc == QORVEX_ERR_BAD_INPUT || rc == QORVEX_ERR_VERIFY_FAIL);
    return rc;
}

// The address the key signs for, made through the address exports.
std::string own_address(qorvex_ctx* c, const uint8_t key[32], bool taproot, int network) {
    char text[QORVEX_ADDRESS_MAX_SIZE];
    size_t len = sizeof text;
    if (taproot) {
        uint8_t internal[32], q[32];
        int parity = 0;
        FUZZ_CHECK(qorvex_pubkey_xonly(c, key, internal) == QORVEX_OK);
        FUZZ_CHECK(qorvex_taproot_output_key(c, internal, nullptr, q, &parity) == QORVEX_OK);
        FUZZ_CHECK(qorvex_addr_p2tr(c, q, network, text, &len) == QORVEX_OK);
    } else {
        uint8_t pub[33];
        FUZZ_CHECK(qorvex_pubkey_create(c, key, pub) == QORVEX_OK);
        FUZZ_CHECK(qorvex_addr_p2wpkh(c, pub, network, text, &len) == QORVEX_OK);
    }
    return std::string(text, len);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qorvex_ctx* c = ctx();
    Input in(data, size);
    const bool signed_mode = in.byte() & 1;

    if (!signed_mode) {
        std::string address(in.byte() % 100, '\0');
        in.bytes(reinterpret_cast<uint8_t*>(address.data()), address.size());
        address.resize(std::strlen(address.c_str()));
        uint8_t msg[255];
        const size_t msg_len = in.byte();
        in.bytes(msg, msg_len);
        std::string sig(reinterpret_cast<const char*>(in.rest()), in.rest_size());
        sig.resize(std::strlen(sig.c_str()));
        const int rc = verify(c, address, msg, msg_len, sig);
        if (!has_prefix(sig, "smp") && !has_prefix(sig, "ful") && !has_prefix(sig, "pof"))
            FUZZ_CHECK(verify(c, address, msg, msg_len, prefixed("smp", sig)) == rc);
        return 0;
    }

    uint8_t key[32], aux[32], msg[255];
    in.bytes(key, 32);
    const bool taproot = (in.byte() & 1) == 0;
    const int network = in.byte() & 1;
    in.bytes(aux, 32);
    const size_t msg_len = in.byte();
    in.bytes(msg, msg_len);

    char text[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
    size_t len = sizeof text;
    const int type = taproot ? QORVEX_BIP322_P2TR : QORVEX_BIP322_P2WPKH;
    const int rc_sign = qorvex_bip322_simple_sign(c, key, type, msg_len ? msg : nullptr, msg_len, aux, text, &len);
    if (rc_sign == QORVEX_ERR_BAD_KEY) {
        FUZZ_CHECK(qorvex_seckey_verify(c, key) != QORVEX_OK);
        return 0;
    }
    FUZZ_CHECK(rc_sign == QORVEX_OK);
    const std::string sig(text, len);
    const std::string address = own_address(c, key, taproot, network);
    FUZZ_CHECK(verify(c, address, msg, msg_len, sig) == QORVEX_OK);
    FUZZ_CHECK(verify(c, address, msg, msg_len, prefixed("smp", sig)) == QORVEX_OK);
    // The other kind of address of the same key does not take it.
    FUZZ_CHECK(verify(c, own_address(c, key, !taproot, network), msg, msg_len, sig) != QORVEX_OK);

    std::string tampered = sig;
    while (in.rest_size() >= 2) {
        const size_t pos = in.byte() % tampered.size();
        tampered[pos] = static_cast<char>(tampered[pos] ^ (in.byte() & 0x7F));
    }
    tampered.resize(std::strlen(tampered.c_str()));
    FUZZ_CHECK((verify(c, address, msg, msg_len, tampered) == QORVEX_OK) == (tampered == sig));
    return 0;
}
