// Bitcoin addresses, WIF keys and segwit output scripts.
#include <cstring>
#include <string_view>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "bitcoin/address.h"
#include "bitcoin/segwit.h"
#include "bitcoin/wif.h"
#include "hash/sha256.h"
#include "support/secret_text.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kInvalidNetwork[] = "invalid network";
constexpr char kInvalidPubkey[] = "invalid pubkey";
constexpr char kZeroXonly[] = "zero x-only key";
constexpr char kInvalidWif[] = "invalid WIF string";
constexpr char kWifFailed[] = "WIF encode failed";
constexpr char kWifTooSmall[] = "WIF buffer too small";

static_assert(QORVEX_ADDRESS_MAX_SIZE == kMaxAddressLength + 1 && QORVEX_WIF_MAX_SIZE == kWifMaxLength + 1 &&
                  QORVEX_SEGWIT_PROGRAM_MAX_SIZE == kWitnessProgramMaxLen &&
                  QORVEX_P2WPKH_SPK_SIZE == kP2wpkhScriptLen && QORVEX_P2WSH_SPK_SIZE == kP2wshScriptLen &&
                  QORVEX_P2TR_SPK_SIZE == kP2trScriptLen,
              "header sizes");

// The messages of one address kind.
struct AddressKindText {
    const char* failed;
    const char* too_small;
};
constexpr AddressKindText kP2pkh = {"P2PKH generation failed", "P2PKH buffer too small"};
constexpr AddressKindText kP2shP2wpkh = {"P2SH-P2WPKH generation failed", "P2SH-P2WPKH buffer too small"};
constexpr AddressKindText kP2wpkh = {"P2WPKH generation failed", "P2WPKH buffer too small"};
constexpr AddressKindText kP2tr = {"P2TR generation failed", "P2TR buffer too small"};

using KeyAddress = bool (*)(const uint8_t pub33[33], Network, char*, size_t&);

// The three addresses of a compressed public key, after the pointer checks.
int key_address_frame(qorvex_ctx* ctx, const uint8_t* pub33, int network, char* addr_out, size_t* addr_len,
                      KeyAddress encode, const AddressKindText& text) {
    const auto net = network_from_int(network);
    if (!net) return set_error(ctx, ErrorCode::BadInput, kInvalidNetwork);
    clear_error(ctx);
    uint8_t key[33];
    std::memcpy(key, pub33, 33);
    Point p;
    if (!parse33(key, p)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkey);
    char addr[kMaxAddressLength];
    size_t len = 0;
    if (!encode(key, *net, addr, len)) return set_error(ctx, ErrorCode::Internal, text.failed);
    return write_text_out(ctx, addr_out, addr_len, addr, len, text.too_small);
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_addr_p2pkh(qorvex_ctx* ctx, const uint8_t* pub33, int network, char* addr_out,
                                 size_t* addr_len) {
    if (!ctx || !pub33 || !addr_out || !addr_len) return QORVEX_ERR_NULL_ARG;
    return key_address_frame(ctx, pub33, network, addr_out, addr_len, p2pkh_address, kP2pkh);
}

QORVEX_API int qorvex_addr_p2sh_p2wpkh(qorvex_ctx* ctx, const uint8_t* pub33, int network, char* addr_out,
                                       size_t* addr_len) {
    if (!ctx || !pub33 || !addr_out || !addr_len) return QORVEX_ERR_NULL_ARG;
    return key_address_frame(ctx, pub33, network, addr_out, addr_len, p2sh_p2wpkh_address, kP2shP2wpkh);
}

QORVEX_API int qorvex_addr_p2wpkh(qorvex_ctx* ctx, const uint8_t* pub33, int network, char* addr_out,
                                  size_t* addr_len) {
    if (!ctx || !pub33 || !addr_out || !addr_len) return QORVEX_ERR_NULL_ARG;
    return key_address_frame(ctx, pub33, network, addr_out, addr_len, p2wpkh_address, kP2wpkh);
}

QORVEX_API int qorvex_addr_p2tr(qorvex_ctx* ctx, const uint8_t* xonly32, int network, char* addr_out,
                                size_t* addr_len) {
    if (!ctx || !xonly32 || !addr_out || !addr_len) return QORVEX_ERR_NULL_ARG;
    const auto net = network_from_int(network);
    if (!net) return set_error(ctx, ErrorCode::BadInput, kInvalidNetwork);
    clear_error(ctx);
    uint8_t key[32];
    std::memcpy(key, xonly32, 32);
    uint8_t any = 0;
    for (const uint8_t b : key) any |= b;
    if (any == 0) return set_error(ctx, ErrorCode::BadPubkey, kZeroXonly);
    char addr[kMaxAddressLength];
    size_t len = 0;
    if (!p2tr_address(key, *net, addr, len)) return set_error(ctx, ErrorCode::Internal, kP2tr.failed);
    return write_text_out(ctx, addr_out, addr_len, addr, len, kP2tr.too_small);
}

QORVEX_API int qorvex_addr_p2sh(const uint8_t* script, size_t script_len, int network, char* addr_out,
                                size_t* addr_len) {
    if (!script || !addr_out || !addr_len) return QORVEX_ERR_NULL_ARG;
    const auto net = network_from_int(network);
    if (!net) return QORVEX_ERR_BAD_INPUT;
    char addr[kMaxAddressLength];
    size_t len = 0;
    if (!p2sh_address(std::span<const uint8_t>(script, script_len), *net, addr, len)) return QORVEX_ERR_INTERNAL;
    if (*addr_len <= len) return QORVEX_ERR_BUF_TOO_SMALL;
    std::memcpy(addr_out, addr, len);
    addr_out[len] = '\0';
    *addr_len = len;
    return QORVEX_OK;
}

QORVEX_API int qorvex_wif_encode(qorvex_ctx* ctx, const uint8_t* seckey32, int compressed, int network,
                                 char* wif_out, size_t* wif_len) {
    if (!ctx || !seckey32 || !wif_out || !wif_len) return QORVEX_ERR_NULL_ARG;
    const auto net = network_from_int(network);
    if (!net) return set_error(ctx, ErrorCode::BadInput, kInvalidNetwork);
    clear_error(ctx);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    SecretBytes<32> key;
    d->to_bytes(key.data());
    SecretBytes<kWifEncodeRoom> text;
    size_t len = 0;
    if (!wif_encode(key.data(), compressed != 0, *net, reinterpret_cast<char*>(text.data()), len))
        return set_error(ctx, ErrorCode::Internal, kWifFailed);
    return write_text_out(ctx, wif_out, wif_len, reinterpret_cast<const char*>(text.data()), len, kWifTooSmall);
}

QORVEX_API int qorvex_wif_decode(qorvex_ctx* ctx, const char* wif, uint8_t* seckey32_out, int* compressed_out,
                                 int* network_out) {
    if (!ctx || !wif || !seckey32_out || !compressed_out || !network_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<WifKey> k;
    if (!wif_decode(std::string_view(wif, secret_strlen(wif)), *k))
        return set_error(ctx, ErrorCode::BadInput, kInvalidWif);
    std::memcpy(seckey32_out, k->key, 32);
    *compressed_out = k->compressed ? 1 : 0;
    *network_out = k->network == Network::testnet ? 1 : 0;
    return QORVEX_OK;
}

QORVEX_API int qorvex_segwit_is_witness_program(const uint8_t* script, size_t script_len) {
    if (!script) return 0;
    return is_witness_program(std::span<const uint8_t>(script, script_len)) ? 1 : 0;
}

QORVEX_API int qorvex_segwit_parse_program(const uint8_t* script, size_t script_len, int* version_out,
                                           uint8_t* program_out, size_t* program_len_out) {
    if (!script || !version_out || !program_out || !program_len_out) return QORVEX_ERR_NULL_ARG;
    // The program is copied out of the script before any output is written.
    const auto p = parse_witness_program(std::span<const uint8_t>(script, script_len));
    if (!p) {
        *version_out = -1;
        *program_len_out = 0;
        return QORVEX_ERR_BAD_INPUT;
    }
    std::memcpy(program_out, p->program, p->length);
    *version_out = static_cast<int>(p->version);
    *program_len_out = p->length;
    return QORVEX_OK;
}

QORVEX_API int qorvex_segwit_p2wpkh_spk(const uint8_t* hash20, uint8_t* spk22_out) {
    if (!hash20 || !spk22_out) return QORVEX_ERR_NULL_ARG;
    p2wpkh_script(hash20, spk22_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_segwit_p2wsh_spk(const uint8_t* hash32, uint8_t* spk34_out) {
    if (!hash32 || !spk34_out) return QORVEX_ERR_NULL_ARG;
    p2wsh_script(hash32, spk34_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_segwit_p2tr_spk(const uint8_t* xonly32, uint8_t* spk34_out) {
    if (!xonly32 || !spk34_out) return QORVEX_ERR_NULL_ARG;
    p2tr_script(xonly32, spk34_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_segwit_witness_script_hash(const uint8_t* script, size_t script_len, uint8_t* hash32_out) {
    if ((!script && script_len != 0) || !hash32_out) return QORVEX_ERR_NULL_ARG;
    static const uint8_t kNothing = 0;
    uint8_t h[32];
    sha256(script ? script : &kNothing, script_len, h);
    std::memcpy(hash32_out, h, 32);
    return QORVEX_OK;
}

}  // extern "C"
