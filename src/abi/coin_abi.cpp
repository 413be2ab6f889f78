// The coin table: addresses, WIF texts and keys derived from seeds for 28
// coins. Nothing here allocates, so there is no exception boundary.
#include <cstring>
#include <span>

#include "abi/frame.h"
#include "abi/inputs.h"
#include "bitcoin/bip32.h"
#include "bitcoin/wif.h"
#include "coins/coin_address.h"
#include "coins/coin_derive.h"
#include "coins/coin_table.h"
#include "support/wipe.h"

using namespace qorvex;
using namespace qorvex::abi;

namespace {

constexpr char kUnknownCoin[] = "unknown coin type";
constexpr char kInvalidPubkey[] = "invalid pubkey";
constexpr char kAddressFailed[] = "address generation failed";
constexpr char kAddressTooSmall[] = "address buffer too small";
constexpr char kWifFailed[] = "WIF encode failed";
constexpr char kWifTooSmall[] = "WIF buffer too small";
constexpr char kAddressPair[] = "addr_out and addr_len must both be null or both be non-null";
constexpr char kSeedLength[] = "seed must be 16-64 bytes";
constexpr char kMasterFailed[] = "BIP-32 master key failed";
constexpr char kDeriveFailed[] = "coin key derivation failed";

static_assert(QORVEX_COIN_ADDRESS_MAX_SIZE == kCoinAddressMaxLength + 1 && QORVEX_COIN_WIF_MAX_SIZE == kWifEncodeRoom,
              "header sizes");

}  // namespace

extern "C" {

QORVEX_API int qorvex_coin_address(qorvex_ctx* ctx, const uint8_t* pub33, int coin_type, int testnet,
                                   char* addr_out, size_t* addr_len) {
    if (!ctx || !pub33 || !addr_out || !addr_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    const CoinParams* coin = find_coin(static_cast<uint32_t>(coin_type));
    if (!coin) return set_error(ctx, ErrorCode::BadInput, kUnknownCoin);
    uint8_t key[33];
    std::memcpy(key, pub33, 33);
    Point p;
    if (!parse33(key, p)) return set_error(ctx, ErrorCode::BadPubkey, kInvalidPubkey);
    char addr[kCoinAddressMaxLength];
    size_t len = 0;
    if (!coin_address(*coin, testnet != 0, key, p, addr, len))
        return set_error(ctx, ErrorCode::Internal, kAddressFailed);
    return write_text_out(ctx, addr_out, addr_len, addr, len, kAddressTooSmall);
}

QORVEX_API int qorvex_coin_wif_encode(qorvex_ctx* ctx, const uint8_t* seckey32, int coin_type, int testnet,
                                      char* wif_out, size_t* wif_len) {
    if (!ctx || !seckey32 || !wif_out || !wif_len) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    const CoinParams* coin = find_coin(static_cast<uint32_t>(coin_type));
    if (!coin) return set_error(ctx, ErrorCode::BadInput, kUnknownCoin);
    WipeOnExit<Scalar> d;
    if (!parse_seckey(seckey32, *d)) return set_error(ctx, ErrorCode::BadKey, kBadPrivkey);
    SecretBytes<32> key;
    d->to_bytes(key.data());
    SecretBytes<kWifEncodeRoom> text;
    size_t len = 0;
    if (!coin_wif_encode(*coin, testnet != 0, key.data(), reinterpret_cast<char*>(text.data()), len))
        return set_error(ctx, ErrorCode::Internal, kWifFailed);
    return write_text_out(ctx, wif_out, wif_len, reinterpret_cast<const char*>(text.data()), len, kWifTooSmall);
}

QORVEX_API int qorvex_coin_derive_from_seed(qorvex_ctx* ctx, const uint8_t* seed, size_t seed_len,
                                            uint32_t coin_type, uint32_t account, int change,
                                            uint32_t address_index, int testnet, uint8_t* seckey32_out,
                                            uint8_t* pub33_out, char* addr_out, size_t* addr_len) {
    if (!ctx || !seed) return QORVEX_ERR_NULL_ARG;
    clear_error(ctx);
    if ((addr_out == nullptr) != (addr_len == nullptr)) return set_error(ctx, ErrorCode::NullArg, kAddressPair);
    if (seed_len < bip32::kMinSeed || seed_len > bip32::kMaxSeed)
        return set_error(ctx, ErrorCode::BadInput, kSeedLength);
    const CoinParams* coin = find_coin(coin_type);
    if (!coin) return set_error(ctx, ErrorCode::BadInput, kUnknownCoin);
    // Every input is read before the first output is written: the seed
    // here, the capacity just below.
    WipeOnExit<ExtendedKey> k;
    if (!bip32::master(std::span<const uint8_t>(seed, seed_len), *k))
        return set_error(ctx, ErrorCode::Internal, kMasterFailed);
    size_t capacity = addr_len ? *addr_len : 0;
    if (!coin_derive(*k, coin_path(*coin, account, change != 0, address_index), *k))
        return set_error(ctx, ErrorCode::Internal, kDeriveFailed);
    const Point p = bip32::public_key(*k);
    if (p.infinity) return set_error(ctx, ErrorCode::Internal, kDeriveFailed);
    uint8_t pub[33];
    p.to_compressed(pub);
    if (seckey32_out) std::memcpy(seckey32_out, k->key, 32);
    if (pub33_out) std::memcpy(pub33_out, pub, 33);
    if (!addr_out) return QORVEX_OK;
    char addr[kCoinAddressMaxLength];
    size_t len = 0;
    if (!coin_address(*coin, testnet != 0, pub, p, addr, len))
        return set_error(ctx, ErrorCode::Internal, kAddressFailed);
    const int rc = write_text_out(ctx, addr_out, &capacity, addr, len, kAddressTooSmall);
    if (rc == QORVEX_OK) *addr_len = capacity;
    return rc;
}

}  // extern "C"
