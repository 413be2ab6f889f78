#include "coins/coin_derive.h"

#include "support/wipe.h"

namespace qorvex {

bool coin_derive(const ExtendedKey& master, const CoinPath& path, ExtendedKey& out) {
    if (path.account >= bip32::kHardened || path.index >= bip32::kHardened || path.change > 1 ||
        path.purpose >= bip32::kHardened || path.coin_type >= bip32::kHardened) {
        secure_wipe_value(out);
        return false;
    }
    const uint32_t steps[] = {path.purpose + bip32::kHardened, path.coin_type + bip32::kHardened,
                              path.account + bip32::kHardened, path.change, path.index};
    return bip32::derive_steps(master, steps, out);
}

}  // namespace qorvex
