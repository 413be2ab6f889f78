// Constant-time cases: coin WIF texts and keys derived from seeds along
// each purpose (86, 84, 44) with every address style.
#include "ctime.h"

namespace qorvex::ctime {

CT_FAMILY(coins) {
    t.push_back(CT_CASE(qorvex_coin_wif_encode, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            for (const int coin : {0, 3, 133, 60}) {
                for (const int testnet : {0, 1}) {
                    Bytes32 key = *k;
                    char text[QORVEX_COIN_WIF_MAX_SIZE] = {0};
                    size_t len = sizeof text;
                    if (mark) secret(key.b, 32);
                    o.code(qorvex_coin_wif_encode(g_ctx, key.b, coin, testnet, text, &len));
                    o.add(&len, sizeof len);
                    o.add(text, sizeof text);
                }
            }
        }
    }));
    t.push_back(CT_CASE(qorvex_coin_derive_from_seed, "seed", [](bool mark, Observed& o) {
        // Bitcoin (86, P2WPKH), DigiByte (84), Dogecoin (44, key hash),
        // Ethereum, Bitcoin Cash, Tron; an account of 2^31 fails.
        struct Where {
            uint32_t coin, account, index;
        };
        const Where places[] = {{0, 0, 0}, {20, 1, 2}, {3, 0, 9}, {60, 0, 0}, {145, 2, 0}, {195, 0, 1}, {0, 0x80000000u, 0}};
        for (const Bytes32* s : {&kSeed, &kKey}) {
            for (const Where& w : places) {
                uint8_t seed[32];
                std::memcpy(seed, s->b, 32);
                uint8_t sk[32] = {0}, pub[33] = {0};
                char addr[QORVEX_COIN_ADDRESS_MAX_SIZE] = {0};
                size_t len = sizeof addr;
                if (mark) secret(seed, sizeof seed);
                o.code(qorvex_coin_derive_from_seed(g_ctx, seed, sizeof seed, w.coin, w.account, 1, w.index, 0, sk,
                                                    pub, addr, &len));
                o.add(sk, sizeof sk);
                o.add(pub, sizeof pub);
                o.add(&len, sizeof len);
                o.add(addr, sizeof addr);
            }
        }
    }));
}

}  // namespace qorvex::ctime
