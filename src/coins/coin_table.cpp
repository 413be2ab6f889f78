#include "coins/coin_table.h"

namespace qorvex {

namespace {

constexpr VersionPrefix v1(uint8_t b) { return {{b, 0}, 1}; }
constexpr VersionPrefix v2(uint8_t a, uint8_t b) { return {{a, b}, 2}; }

constexpr uint32_t kXprv = 0x0488ADE4, kXpub = 0x0488B21E;
constexpr uint8_t kSegwit = kCoinHasSegwit, kSegwit86 = kCoinHasSegwit | kCoinPurpose86;

using S = AddressStyle;

// clang-format off
constexpr CoinParams kCoins[kCoinCount] = {
    // name               ticker  P2PKH main, test          P2SH              WIF main, test  HRP main, test      type   style        BIP-32 versions             chain  flags
    {"Bitcoin",           "BTC",  {v1(0x00), v1(0x6F)},     v1(0x05),         {0x80, 0xEF},   {"bc", "tb"},       0,     S::segwit_v0, {kXprv, kXpub},             0,     kSegwit86},
    {"Litecoin",          "LTC",  {v1(0x30), v1(0x6F)},     v1(0x32),         {0xB0, 0xEF},   {"ltc", "tltc"},    2,     S::segwit_v0, {kXprv, kXpub},             0,     kSegwit86},
    {"Dogecoin",          "DOGE", {v1(0x1E), v1(0x71)},     v1(0x16),         {0x9E, 0xF1},   {nullptr, nullptr}, 3,     S::key_hash,  {0x02FAC398, 0x02FACAFD},   0,     0},
    {"Dash",              "DASH", {v1(0x4C), v1(0x8C)},     v1(0x10),         {0xCC, 0xEF},   {nullptr, nullptr}, 5,     S::key_hash,  {kXprv, kXpub},             0,     0},
    {"Ethereum",          "ETH",  {v1(0x00), v1(0x00)},     v1(0x00),         {0x00, 0x00},   {nullptr, nullptr}, 60,    S::ethereum,  {kXprv, kXpub},             1,     0},
    {"Bitcoin Cash",      "BCH",  {v1(0x00), v1(0x6F)},     v1(0x05),         {0x80, 0xEF},   {nullptr, nullptr}, 145,   S::cashaddr,  {kXprv, kXpub},             0,     0},
    {"Bitcoin SV",        "BSV",  {v1(0x00), v1(0x6F)},     v1(0x05),         {0x80, 0xEF},   {nullptr, nullptr}, 236,   S::key_hash,  {kXprv, kXpub},             0,     0},
    {"Zcash",             "ZEC",  {v2(0x1C, 0xB8), v2(0x1D, 0x25)}, v2(0x1C, 0xBD), {0x80, 0xEF}, {nullptr, nullptr}, 133, S::key_hash, {kXprv, kXpub},             0,     0},
    {"DigiByte",          "DGB",  {v1(0x1E), v1(0x7E)},     v1(0x3F),         {0x80, 0xFE},   {"dgb", "dgbt"},    20,    S::segwit_v0, {kXprv, kXpub},             0,     kSegwit},
    {"Namecoin",          "NMC",  {v1(0x34), v1(0x6F)},     v1(0x0D),         {0xB4, 0xEF},   {nullptr, nullptr}, 7,     S::key_hash,  {kXprv, kXpub},             0,     0},
    {"Peercoin",          "PPC",  {v1(0x37), v1(0x6F)},     v1(0x75),         {0xB7, 0xEF},   {nullptr, nullptr}, 6,     S::key_hash,  {kXprv, kXpub},             0,     0},
    {"Vertcoin",          "VTC",  {v1(0x47), v1(0x4A)},     v1(0x05),         {0x80, 0xEF},   {"vtc", "tvtc"},    28,    S::segwit_v0, {kXprv, kXpub},             0,     kSegwit},
    {"Viacoin",           "VIA",  {v1(0x47), v1(0x7F)},     v1(0x21),         {0xC7, 0xFF},   {"via", "tvia"},    14,    S::segwit_v0, {kXprv, kXpub},             0,     kSegwit},
    {"Groestlcoin",       "GRS",  {v1(0x24), v1(0x6F)},     v1(0x05),         {0x80, 0xEF},   {"grs", "tgrs"},    17,    S::segwit_v0, {kXprv, kXpub},             0,     kSegwit86},
    {"Syscoin",           "SYS",  {v1(0x3F), v1(0x41)},     v1(0x05),         {0x80, 0xEF},   {"sys", "tsys"},    57,    S::segwit_v0, {kXprv, kXpub},             0,     kSegwit},
    {"BNB Smart Chain",   "BNB",  {v1(0x00), v1(0x00)},     v1(0x00),         {0x00, 0x00},   {nullptr, nullptr}, 60,    S::ethereum,  {kXprv, kXpub},             56,    0},
    {"Polygon",           "POL",  {v1(0x00), v1(0x00)},     v1(0x00),         {0x00, 0x00},   {nullptr, nullptr}, 60,    S::ethereum,  {kXprv, kXpub},             137,   0},
    {"Avalanche",         "AVAX", {v1(0x00), v1(0x00)},     v1(0x00),         {0x00, 0x00},   {nullptr, nullptr}, 60,    S::ethereum,  {kXprv, kXpub},             43114, 0},
    {"Fantom",            "FTM",  {v1(0x00), v1(0x00)},     v1(0x00),         {0x00, 0x00},   {nullptr, nullptr}, 60,    S::ethereum,  {kXprv, kXpub},             250,   0},
    {"Arbitrum",          "ARB",  {v1(0x00), v1(0x00)},     v1(0x00),         {0x00, 0x00},   {nullptr, nullptr}, 60,    S::ethereum,  {kXprv, kXpub},             42161, 0},
    {"Optimism",          "OP",   {v1(0x00), v1(0x00)},     v1(0x00),         {0x00, 0x00},   {nullptr, nullptr}, 60,    S::ethereum,  {kXprv, kXpub},             10,    0},
    {"Ravencoin",         "RVN",  {v1(0x3C), v1(0x6F)},     v1(0x7A),         {0x80, 0xEF},   {nullptr, nullptr}, 175,   S::key_hash,  {kXprv, kXpub},             0,     0},
    {"Flux",              "FLUX", {v2(0x1C, 0xB8), v2(0x1D, 0x25)}, v2(0x1C, 0xBD), {0x80, 0xEF}, {nullptr, nullptr}, 19167, S::key_hash, {kXprv, kXpub},           0,     0},
    {"Qtum",              "QTUM", {v1(0x3A), v1(0x78)},     v1(0x32),         {0x80, 0xEF},   {"qc", "tq"},       2301,  S::key_hash,  {kXprv, kXpub},             0,     kSegwit},
    {"Horizen",           "ZEN",  {v2(0x20, 0x89), v2(0x20, 0x98)}, v2(0x20, 0x96), {0x80, 0xEF}, {nullptr, nullptr}, 121, S::key_hash, {kXprv, kXpub},             0,     0},
    {"Bitcoin Gold",      "BTG",  {v1(0x26), v1(0x6F)},     v1(0x17),         {0x80, 0xEF},   {"btg", "tbtg"},    156,   S::key_hash,  {kXprv, kXpub},             0,     kSegwit},
    {"Komodo",            "KMD",  {v1(0x3C), v1(0x00)},     v1(0x55),         {0xBC, 0x00},   {nullptr, nullptr}, 141,   S::key_hash,  {kXprv, kXpub},             0,     0},
    {"Tron",              "TRX",  {v1(0x41), v1(0xA0)},     v1(0x00),         {0x00, 0x00},   {nullptr, nullptr}, 195,   S::tron,      {kXprv, kXpub},             0,     0},
};
// clang-format on

}  // namespace

std::span<const CoinParams> coin_table() { return kCoins; }

const CoinParams* find_coin(uint32_t coin_type) {
    for (const CoinParams& c : kCoins)
        if (c.coin_type == coin_type) return &c;
    return nullptr;
}

uint32_t coin_purpose(const CoinParams& coin) {
    if (coin.flags & kCoinPurpose86) return 86;
    if (coin.flags & kCoinHasSegwit) return 84;
    return 44;
}

}  // namespace qorvex
