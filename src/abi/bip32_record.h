// Reading a qorvex_bip32_key record in a frame: the record checks with
// their codes and messages, shared by the BIP-32 and BIP-85 exports.
#pragma once

#include "abi/frame.h"
#include "bitcoin/bip32.h"

namespace qorvex::abi {

inline constexpr size_t kBip32KindOffset = bip32::kOffKind;
static_assert(sizeof(qorvex_bip32_key) == bip32::kRecordSize, "the record is 82 bytes");
static_assert(QORVEX_BIP32_KEY_SIZE == bip32::kRecordSize && QORVEX_BIP32_SERIALIZED_SIZE == bip32::kSerializedSize &&
                  QORVEX_BIP32_TEXT_SIZE == bip32::kTextLength + 1 && QORVEX_BIP32_HARDENED == bip32::kHardened,
              "header sizes");

// Parses the record into out; on failure records the code and message of
// the first failing check and returns the code.
inline int parse_record_frame(qorvex_ctx* ctx, const qorvex_bip32_key* rec, ExtendedKey& out) {
    switch (bip32::parse_record(rec->data, out)) {
        case bip32::RecordError::ok: return QORVEX_OK;
        case bip32::RecordError::kind: return set_error(ctx, ErrorCode::BadInput, "invalid BIP-32 key kind");
        case bip32::RecordError::reserved: return set_error(ctx, ErrorCode::BadInput, "invalid BIP-32 reserved bytes");
        case bip32::RecordError::version: return set_error(ctx, ErrorCode::BadInput, "invalid BIP-32 version");
        case bip32::RecordError::private_marker:
            return set_error(ctx, ErrorCode::BadInput, "invalid BIP-32 private marker");
        case bip32::RecordError::private_key: return set_error(ctx, ErrorCode::BadKey, "invalid BIP-32 private key");
        case bip32::RecordError::public_prefix:
            return set_error(ctx, ErrorCode::BadPubkey, "invalid BIP-32 public key prefix");
        case bip32::RecordError::public_key: return set_error(ctx, ErrorCode::BadPubkey, "invalid BIP-32 public key");
    }
    return set_error(ctx, ErrorCode::Internal, kInternalError);
}

}  // namespace qorvex::abi
