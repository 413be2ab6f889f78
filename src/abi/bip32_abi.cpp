// BIP-32: master keys, child and path derivation, key extraction, and the
// xprv/xpub text of records.
#include <cstring>
#include <string_view>

#include "abi/bip32_record.h"
#include "abi/frame.h"
#include "bitcoin/bip32.h"
#include "support/secret_text.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kSeedLength[] = "seed must be 16-64 bytes";
constexpr char kMasterFailed[] = "BIP-32 master key failed";
constexpr char kDeriveFailed[] = "BIP-32 derivation failed";
constexpr char kInvalidPath[] = "invalid BIP-32 path";
constexpr char kKeyIsPublic[] = "key is public, not private";
constexpr char kNoPublicKey[] = "invalid BIP-32 public key";
constexpr char kTextTooSmall[] = "extended key buffer too small";
constexpr char kInvalidText[] = "invalid extended key text";

}  // namespace

extern "C" {

QORVEX_API int qorvex_bip32_master(qorvex_ctx* ctx, const uint8_t* seed, size_t seed_len, qorvex_bip32_key* key_out) {
    if (!ctx || !seed || !key_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (seed_len < bip32::kMinSeed || seed_len > bip32::kMaxSeed)
        return set_error(ctx, ErrorCode::BadInput, kSeedLength);
    WipeOnExit<ExtendedKey> k;
    if (!bip32::master(std::span<const uint8_t>(seed, seed_len), *k))
        return set_error(ctx, ErrorCode::Internal, kMasterFailed);
    bip32::write_record(*k, key_out->data);
    return QORVEX_OK;
}

QORVEX_API int qorvex_bip32_derive(qorvex_ctx* ctx, const qorvex_bip32_key* parent, uint32_t index,
                                   qorvex_bip32_key* child_out) {
    if (!ctx || !parent || !child_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return guarded(ctx, [&] {
        WipeOnExit<ExtendedKey> k;
        if (const int rc = parse_record_frame(ctx, parent, *k)) return rc;
        if (!bip32::derive_child(*k, index, *k)) return set_error(ctx, ErrorCode::Internal, kDeriveFailed);
        bip32::write_record(*k, child_out->data);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_bip32_derive_path(qorvex_ctx* ctx, const qorvex_bip32_key* parent, const char* path,
                                        qorvex_bip32_key* key_out) {
    if (!ctx || !parent || !path || !key_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return guarded(ctx, [&] {
        WipeOnExit<ExtendedKey> k;
        if (const int rc = parse_record_frame(ctx, parent, *k)) return rc;
        if (!bip32::derive_path(*k, std::string_view(path), *k))
            return set_error(ctx, ErrorCode::BadInput, kInvalidPath);
        bip32::write_record(*k, key_out->data);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_bip32_privkey(qorvex_ctx* ctx, const qorvex_bip32_key* key, uint8_t* seckey32_out) {
    if (!ctx || !key || !seckey32_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (key->data[kBip32KindOffset] == bip32::kKindPublic) return set_error(ctx, ErrorCode::BadKey, kKeyIsPublic);
    WipeOnExit<ExtendedKey> k;
    if (const int rc = parse_record_frame(ctx, key, *k)) return rc;
    std::memcpy(seckey32_out, k->key, 32);
    return QORVEX_OK;
}

QORVEX_API int qorvex_bip32_pubkey(qorvex_ctx* ctx, const qorvex_bip32_key* key, uint8_t* pub33_out) {
    if (!ctx || !key || !pub33_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<ExtendedKey> k;
    if (const int rc = parse_record_frame(ctx, key, *k)) return rc;
    uint8_t pub[33];
    if (!bip32::public_key_bytes(*k, pub)) return set_error(ctx, ErrorCode::BadPubkey, kNoPublicKey);
    std::memcpy(pub33_out, pub, 33);
    return QORVEX_OK;
}

QORVEX_API int qorvex_bip32_to_base58(qorvex_ctx* ctx, const qorvex_bip32_key* key, char* out, size_t* out_len) {
    if (!ctx || !key || !out || !out_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<ExtendedKey> k;
    if (const int rc = parse_record_frame(ctx, key, *k)) return rc;
    SecretBytes<bip32::kTextRoom> text;
    size_t len = 0;
    if (!bip32::to_base58(*k, reinterpret_cast<char*>(text.data()), len))
        return set_error(ctx, ErrorCode::Internal, kInternalError);
    return write_text_out(ctx, out, out_len, reinterpret_cast<const char*>(text.data()), len, kTextTooSmall);
}

QORVEX_API int qorvex_bip32_from_base58(qorvex_ctx* ctx, const char* text, qorvex_bip32_key* key_out) {
    if (!ctx || !text || !key_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    WipeOnExit<qorvex_bip32_key> rec;
    if (!bip32::record_from_base58(std::string_view(text, secret_strlen(text)), rec->data))
        return set_error(ctx, ErrorCode::BadInput, kInvalidText);
    WipeOnExit<ExtendedKey> k;
    if (const int rc = parse_record_frame(ctx, rec.get(), *k)) return rc;
    std::memcpy(key_out->data, rec->data, sizeof rec->data);
    return QORVEX_OK;
}

}  // extern "C"
