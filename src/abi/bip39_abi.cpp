// BIP-39 mnemonics and seeds, and BIP-85 entropy and child mnemonics.
#include <cstring>
#include <string_view>

#include "abi/bip32_record.h"
#include "abi/frame.h"
#include "bitcoin/bip32.h"
#include "bitcoin/bip39.h"
#include "bitcoin/bip85.h"
#include "support/os_random.h"
#include "support/secret_buffer.h"
#include "support/secret_text.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kEntropySize[] = "entropy must be 16/20/24/28/32";
constexpr char kGenerationFailed[] = "BIP-39 generation failed";
constexpr char kMnemonicTooSmall[] = "mnemonic buffer too small";
constexpr char kInvalidMnemonic[] = "invalid mnemonic";
constexpr char kEntropyTooSmall[] = "entropy buffer too small";
constexpr char kBip85Length[] = "entropy_len must be 1-32";
constexpr char kBip85NeedsXprv[] = "BIP-85 requires xprv (private key)";
constexpr char kBip85PathFailed[] = "BIP-85 path derivation failed";
constexpr char kBip85Words[] = "words must be 12, 18, or 24";
constexpr char kBip85Language[] = "only language_index=0 (English) supported";
constexpr char kBip85MnemonicFailed[] = "BIP-85 BIP-39 mnemonic generation failed";

static_assert(QORVEX_BIP39_SEED_SIZE == bip39::kSeedSize && QORVEX_BIP39_ENTROPY_MAX_SIZE == bip39::kMaxEntropy &&
                  QORVEX_BIP39_MNEMONIC_MAX_SIZE == bip39::kMaxMnemonicLength + 1,
              "header sizes");

// A mnemonic text of the caller's, read to its NUL.
std::string_view mnemonic_text(const char* m) { return std::string_view(m, secret_strlen(m)); }

// BIP-85 entropy after the pointer checks: the checks and codes of
// qorvex_bip85_entropy, which the BIP-39 application passes through.
int bip85_entropy_frame(qorvex_ctx* ctx, const qorvex_bip32_key* key, std::string_view path, uint8_t* out,
                        size_t out_len) {
    if (out_len < 1 || out_len > QORVEX_BIP85_ENTROPY_MAX_SIZE)
        return set_error(ctx, ErrorCode::BadInput, kBip85Length);
    clear_error(ctx);
    if (key->data[kBip32KindOffset] == bip32::kKindPublic) return set_error(ctx, ErrorCode::BadKey, kBip85NeedsXprv);
    WipeOnExit<ExtendedKey> root;
    if (const int rc = parse_record_frame(ctx, key, *root)) return rc;
    SecretBytes<bip85::kEntropySize> e;
    if (!bip85::entropy(*root, path, e.data())) return set_error(ctx, ErrorCode::BadInput, kBip85PathFailed);
    std::memcpy(out, e.data(), out_len);
    return QORVEX_OK;
}

}  // namespace

extern "C" {

QORVEX_API int qorvex_bip39_generate(qorvex_ctx* ctx, size_t entropy_len, const uint8_t* entropy, char* mnemonic_out,
                                     size_t* mnemonic_len) {
    if (!ctx || !mnemonic_out || !mnemonic_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (!bip39::entropy_size_ok(entropy_len)) return set_error(ctx, ErrorCode::BadInput, kEntropySize);
    SecretBytes<bip39::kMaxEntropy> e;
    if (entropy) {
        std::memcpy(e.data(), entropy, entropy_len);
    } else {
        os_random(e.data(), entropy_len);
    }
    SecretBytes<bip39::kMaxMnemonicLength> text;
    size_t len = 0;
    if (!bip39::mnemonic_from_entropy(std::span<const uint8_t>(e.data(), entropy_len),
                                      reinterpret_cast<char*>(text.data()), len))
        return set_error(ctx, ErrorCode::Internal, kGenerationFailed);
    return write_text_out(ctx, mnemonic_out, mnemonic_len, reinterpret_cast<const char*>(text.data()), len,
                          kMnemonicTooSmall);
}

QORVEX_API int qorvex_bip39_validate(qorvex_ctx* ctx, const char* mnemonic) {
    if (!ctx || !mnemonic) return QORVEX_ERR_NULL_ARG;
    SecretBytes<bip39::kMaxEntropy> e;
    size_t len = 0;
    return bip39::mnemonic_to_entropy(mnemonic_text(mnemonic), e.data(), len) ? QORVEX_OK : QORVEX_ERR_BAD_INPUT;
}

QORVEX_API int qorvex_bip39_to_entropy(qorvex_ctx* ctx, const char* mnemonic, uint8_t* entropy_out,
                                       size_t* entropy_len) {
    if (!ctx || !mnemonic || !entropy_out || !entropy_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    SecretBytes<bip39::kMaxEntropy> e;
    size_t len = 0;
    if (!bip39::mnemonic_to_entropy(mnemonic_text(mnemonic), e.data(), len))
        return set_error(ctx, ErrorCode::BadInput, kInvalidMnemonic);
    return write_out(ctx, entropy_out, entropy_len, e.data(), len, kEntropyTooSmall);
}

QORVEX_API int qorvex_bip39_to_seed(qorvex_ctx* ctx, const char* mnemonic, const char* passphrase,
                                    uint8_t* seed64_out) {
    if (!ctx || !mnemonic || !seed64_out) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    return guarded(ctx, [&] {
        // Everything that allocates comes first, from copies of the inputs,
        // so that the seed may overlap them and an allocation failure leaves
        // it untouched.
        const std::string_view m = mnemonic_text(mnemonic);
        const SecretBuffer words(reinterpret_cast<const uint8_t*>(m.data()), m.size());
        const std::string_view words_text(reinterpret_cast<const char*>(words.data()), words.size());
        const bip39::SeedInputs in =
            bip39::seed_inputs(words_text, passphrase ? mnemonic_text(passphrase) : std::string_view());
        std::memset(seed64_out, 0, bip39::kSeedSize);
        SecretBytes<bip39::kMaxEntropy> e;
        size_t len = 0;
        if (!bip39::mnemonic_to_entropy(words_text, e.data(), len))
            return set_error(ctx, ErrorCode::BadInput, kInvalidMnemonic);
        SecretBytes<bip39::kSeedSize> seed;
        bip39::seed_from_inputs(in, seed.data());
        std::memcpy(seed64_out, seed.data(), bip39::kSeedSize);
        return QORVEX_OK;
    });
}

QORVEX_API int qorvex_bip85_entropy(qorvex_ctx* ctx, const qorvex_bip32_key* key, const char* path, uint8_t* out,
                                    size_t out_len) {
    if (!ctx || !key || !path || !out) return QORVEX_ERR_NULL_ARG;
    return bip85_entropy_frame(ctx, key, std::string_view(path), out, out_len);
}

QORVEX_API int qorvex_bip85_bip39(qorvex_ctx* ctx, const qorvex_bip32_key* key, uint32_t words, int language_index,
                                  uint32_t index, char* mnemonic_out, size_t* mnemonic_len) {
    if (!ctx || !key || !mnemonic_out || !mnemonic_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if (words != 12 && words != 18 && words != 24) return set_error(ctx, ErrorCode::BadInput, kBip85Words);
    if (language_index != 0) return set_error(ctx, ErrorCode::BadInput, kBip85Language);
    char path[bip85::kMaxPathLength];
    const size_t path_len = bip85::bip39_path(0, words, index, path);
    const size_t n = bip85::bip39_entropy_size(words);
    SecretBytes<bip39::kMaxEntropy> e;
    if (const int rc = bip85_entropy_frame(ctx, key, std::string_view(path, path_len), e.data(), n)) return rc;
    SecretBytes<bip39::kMaxMnemonicLength> text;
    size_t len = 0;
    if (!bip39::mnemonic_from_entropy(std::span<const uint8_t>(e.data(), n), reinterpret_cast<char*>(text.data()),
                                      len))
        return set_error(ctx, ErrorCode::Internal, kBip85MnemonicFailed);
    return write_text_out(ctx, mnemonic_out, mnemonic_len, reinterpret_cast<const char*>(text.data()), len,
                          kMnemonicTooSmall);
}

}  // extern "C"
