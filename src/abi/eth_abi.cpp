// Ethereum: addresses, EIP-55 text, personal-message hashes, signing with v
// and ecrecover.
#include <cstring>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "coins/ethereum.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kInvalidCompressedPubkey[] = "invalid compressed pubkey";
constexpr char kNeedAddressRoom[] = "need >= 43 bytes for ETH address";
constexpr char kSignerInvalid[] = "ethereum signer returned invalid signature";
constexpr char kEcrecoverFailed[] = "ecrecover failed";

}  // namespace

extern "C" {

QORVEX_API int qorvex_eth_address(qorvex_ctx* ctx, const uint8_t* pub33, uint8_t* addr20_out) {
    if (!ctx || !pub33 || !addr20_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    Point p;
    if (!parse33(pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidCompressedPubkey);
    eth_address_of_point(p, addr20_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_eth_address_checksummed(qorvex_ctx* ctx, const uint8_t* pub33, char* text_out,
                                              size_t* text_len) {
    if (!ctx || !pub33 || !text_out || !text_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // The capacity comes first, so a short buffer is reported before the key
    // is even parsed.
    if (*text_len < kEip55TextLength + 1) return set_error(ctx, ErrorCode::BufTooSmall, kNeedAddressRoom);
    Point p;
    if (!parse33(pub33, p)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidCompressedPubkey);
    uint8_t addr[kEthAddressSize];
    eth_address_of_point(p, addr);
    char text[kEip55TextLength + 1];
    eip55_text(addr, text);
    return write_text_out(ctx, text_out, text_len, text, kEip55TextLength);
}

QORVEX_API int qorvex_eth_personal_hash(const uint8_t* msg, size_t msg_len, uint8_t* hash32_out) {
    if (!hash32_out || (!msg && msg_len > 0)) return QORVEX_ERR_NULL_ARG;
    eth_personal_hash(msg, msg_len, hash32_out);
    return QORVEX_OK;
}

QORVEX_API int qorvex_eth_sign(qorvex_ctx* ctx, const uint8_t* hash32, const uint8_t* seckey32, uint8_t* r32_out,
                               uint8_t* s32_out, uint64_t* v_out, uint64_t chain_id) {
    if (!ctx || !hash32 || !seckey32 || !r32_out || !s32_out || !v_out) return QORVEX_ERR_NULL_ARG;
    // Both inputs are read before the outputs are cleared, so outputs that
    // overlap the hash or the key still sign what the caller passed.
    uint8_t hash[32];
    std::memcpy(hash, hash32, 32);
    WipeOnExit<Scalar> d;
    const bool key_ok = parse_seckey(seckey32, *d);
    // Cleared before anything can fail, so every failure leaves (0, 0, 0).
    std::memset(r32_out, 0, 32);
    std::memset(s32_out, 0, 32);
    *v_out = 0;
    clear_error(ctx);
    if (!key_ok) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    const EthSignature es = eth_sign(hash, *d, chain_id);
    // Besides a degenerate signature this catches a chain id so large that
    // 2 * chain_id + 35 + recid wraps to 0.
    if (!es.is_valid()) return set_error(ctx, ErrorCode::Internal, kSignerInvalid);
    es.sig.r.to_bytes(r32_out);
    es.sig.s.to_bytes(s32_out);
    *v_out = es.v;
    return QORVEX_OK;
}

QORVEX_API int qorvex_eth_ecrecover(qorvex_ctx* ctx, const uint8_t* hash32, const uint8_t* r32, const uint8_t* s32,
                                    uint64_t v, uint8_t* addr20_out) {
    if (!ctx || !hash32 || !r32 || !s32 || !addr20_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    // Recovery multiplies through the generator tables, which may throw if
    // they have to be rebuilt.
    return guarded(ctx, [&] {
        uint8_t addr[kEthAddressSize];
        if (!eth_ecrecover(hash32, r32, s32, v, addr)) return set_error(ctx, ErrorCode::BadSig, kEcrecoverFailed);
        std::memcpy(addr20_out, addr, kEthAddressSize);
        return QORVEX_OK;
    });
}

}  // extern "C"
