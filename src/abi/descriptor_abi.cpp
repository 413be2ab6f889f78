// Output descriptors: the record of a single-key descriptor and its address
// at a child index. Derivation, public keys and addresses go through the
// BIP-32, Taproot and address exports, whose codes and messages are passed
// on unchanged.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "abi/frame.h"
#include "bitcoin/descriptor.h"
#include "support/secret_buffer.h"
#include "support/secret_text.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kUnsupported[] = "unsupported descriptor type";
constexpr char kPathChars[] = "invalid path characters";
constexpr char kBadExtendedKey[] = "invalid xpub/xprv in descriptor";
constexpr char kKeyFormat[] = "unrecognized key format in descriptor";
constexpr char kKeyHex[] = "invalid hex in descriptor key";

static_assert(sizeof(qorvex_descriptor) == QORVEX_DESCRIPTOR_SIZE && offsetof(qorvex_descriptor, key) == 4 &&
                  offsetof(qorvex_descriptor, key_len) == 37 && offsetof(qorvex_descriptor, testnet) == 40 &&
                  offsetof(qorvex_descriptor, path) == 44,
              "the record's layout is part of the interface");
static_assert(QORVEX_DESCRIPTOR_PATH_SIZE == descriptor::kPathFieldSize && QORVEX_DESCRIPTOR_TR == 3 &&
                  QORVEX_DESCRIPTOR_SH_WPKH == 4,
              "header constants");

// The address of the record's key by its kind; the exports report their
// own failures.
int address_of(qorvex_ctx* ctx, descriptor::Kind kind, const uint8_t* key, int network, char* addr_out,
               size_t* addr_len) {
    switch (kind) {
        case descriptor::Kind::pk:
        case descriptor::Kind::pkh: return qorvex_addr_p2pkh(ctx, key, network, addr_out, addr_len);
        case descriptor::Kind::wpkh: return qorvex_addr_p2wpkh(ctx, key, network, addr_out, addr_len);
        case descriptor::Kind::sh_wpkh: return qorvex_addr_p2sh_p2wpkh(ctx, key, network, addr_out, addr_len);
        case descriptor::Kind::tr: {
            // BIP-386: tr(KEY) pays to KEY tweaked with no script tree.
            uint8_t q[32];
            int parity = 0;
            if (const int rc = qorvex_taproot_output_key(ctx, key, nullptr, q, &parity)) return rc;
            return qorvex_addr_p2tr(ctx, q, network, addr_out, addr_len);
        }
    }
    return set_error(ctx, ErrorCode::Internal, kInternalError);
}

// The parse after the pointer checks; addr_out NULL asks for no address.
int parse_frame(qorvex_ctx* ctx, const char* text, int index, qorvex_descriptor* out, char* addr_out,
                size_t* addr_len) {
    clear_error(ctx);
    return guarded(ctx, [&] {
        // The text may hold an xprv, and the record may overlap it: it is
        // copied first, into memory that is wiped.
        const size_t n = secret_strlen(text);
        const SecretBuffer copy(reinterpret_cast<const uint8_t*>(text), n);
        const std::string_view desc(reinterpret_cast<const char*>(copy.data()), n);

        const auto form = descriptor::match_form(desc);
        if (!form) return set_error(ctx, ErrorCode::BadInput, kUnsupported);
        out->kind = static_cast<uint32_t>(form->kind);
        out->testnet = 0;
        std::memset(out->path, 0, sizeof out->path);

        const descriptor::KeyExpression expr = descriptor::split_key(form->inner);
        if (!descriptor::path_chars_ok(expr.path)) return set_error(ctx, ErrorCode::BadInput, kPathChars);

        uint8_t key[descriptor::kKeySize];
        size_t key_len = 0;
        bool testnet = false;
        if (descriptor::is_extended_key(expr.key)) {
            WipeOnExit<qorvex_bip32_key> rec;
            if (!descriptor::decode_extended_key(expr.key, rec->data, testnet))
                return set_error(ctx, ErrorCode::BadInput, kBadExtendedKey);
            const std::string path = descriptor::derivation_path(expr.path, static_cast<uint32_t>(index));
            if (path.size() > 1) {
                if (const int rc = qorvex_bip32_derive_path(ctx, rec.get(), path.c_str(), rec.get())) return rc;
            }
            if (const int rc = qorvex_bip32_pubkey(ctx, rec.get(), key)) return rc;
            key_len = descriptor::kKeySize;
        } else {
            switch (descriptor::parse_hex_key(expr.key, form->kind, key, key_len)) {
                case descriptor::HexKeyError::ok: break;
                case descriptor::HexKeyError::length: return set_error(ctx, ErrorCode::BadInput, kKeyFormat);
                case descriptor::HexKeyError::digit: return set_error(ctx, ErrorCode::BadInput, kKeyHex);
            }
        }

        // tr() keeps the x-only key: the x of a compressed key as it is.
        const uint8_t* stored = key;
        if (form->kind == descriptor::Kind::tr) {
            if (key_len == descriptor::kKeySize) stored = key + 1;
            std::memcpy(out->key, stored, descriptor::kXonlySize);
            out->key_len = descriptor::kXonlySize;
        } else {
            std::memcpy(out->key, key, descriptor::kKeySize);
            out->key_len = descriptor::kKeySize;
        }
        out->testnet = testnet ? 1 : 0;
        if (expr.path.size() < descriptor::kPathFieldSize)
            std::memcpy(out->path, expr.path.data(), expr.path.size());

        if (!addr_out) return static_cast<int>(QORVEX_OK);
        return address_of(ctx, form->kind, stored, testnet ? QORVEX_NETWORK_TESTNET : QORVEX_NETWORK_MAINNET,
                          addr_out, addr_len);
    });
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_descriptor_parse(qorvex_ctx* ctx, const char* descriptor, int index, qorvex_descriptor* out,
                                       char* addr_out, size_t* addr_len) {
    if (!ctx || !descriptor || !out || (addr_out && !addr_len)) return QORVEX_ERR_NULL_ARG;
    return parse_frame(ctx, descriptor, index, out, addr_out, addr_len);
}

QORVEX_API int qorvex_descriptor_address(qorvex_ctx* ctx, const char* descriptor, int index, char* addr_out,
                                         size_t* addr_len) {
    if (!ctx || !descriptor || !addr_out || !addr_len) return QORVEX_ERR_NULL_ARG;
    qorvex_descriptor record;
    return parse_frame(ctx, descriptor, index, &record, addr_out, addr_len);
}

}  // extern "C"
