// Constant-time cases: private keys, public keys from private keys, blinding.
#include "ctime.h"

namespace qorvex::ctime {

CT_FAMILY(keys) {
    // --- Private keys ---
    t.push_back(CT_CASE(qorvex_seckey_verify, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            if (mark) secret(key.b, 32);
            o.code(qorvex_seckey_verify(g_ctx, key.b));
        }
    }));
    t.push_back(CT_CASE(qorvex_seckey_negate, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            if (mark) secret(key.b, 32);
            o.code(qorvex_seckey_negate(g_ctx, key.b));
            o.add(key.b, 32);
        }
    }));
    struct TweakInput {
        Bytes32 key, tweak;
    };
    // A plain tweak, a tweak that sums to zero, an out-of-range tweak and an
    // invalid key.
    static const TweakInput kTweaks[] = {
        {kKey, kTweak}, {kKey, negated(kKey)}, {kKey, kOrder}, {kOrder, kTweak}};
    t.push_back(CT_CASE(qorvex_seckey_tweak_add, "key, tweak", [](bool mark, Observed& o) {
        for (const auto& in : kTweaks) {
            TweakInput v = in;
            if (mark) secret(&v, sizeof v);
            o.code(qorvex_seckey_tweak_add(g_ctx, v.key.b, v.tweak.b));
            o.add(v.key.b, 32);
        }
    }));
    t.push_back(CT_CASE(qorvex_seckey_tweak_mul, "key, tweak", [](bool mark, Observed& o) {
        for (const auto& in : kTweaks) {
            TweakInput v = in;
            if (mark) secret(&v, sizeof v);
            o.code(qorvex_seckey_tweak_mul(g_ctx, v.key.b, v.tweak.b));
            o.add(v.key.b, 32);
        }
    }));

    // --- Public keys from private keys ---
    t.push_back(CT_CASE(qorvex_pubkey_create, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t out[33] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_pubkey_create(g_ctx, key.b, out));
            o.add(out, sizeof out);
        }
    }));
    t.push_back(CT_CASE(qorvex_pubkey_create_uncompressed, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t out[65] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_pubkey_create_uncompressed(g_ctx, key.b, out));
            o.add(out, sizeof out);
        }
    }));
    t.push_back(CT_CASE(qorvex_pubkey_xonly, "key", [](bool mark, Observed& o) {
        for (const Bytes32* k : kKeys) {
            Bytes32 key = *k;
            uint8_t out[32] = {0};
            if (mark) secret(key.b, 32);
            o.code(qorvex_pubkey_xonly(g_ctx, key.b, out));
            o.add(out, sizeof out);
        }
    }));

    // --- Blinding: the seed, and a signature made under the blinding it
    // gives (its state is then secret too) ---
    t.push_back(CT_CASE(qorvex_context_randomize, "blinding seed", [](bool mark, Observed& o) {
        Bytes32 seed = kSeed, key = kKey;
        if (mark) secret(seed.b, 32);
        o.code(qorvex_context_randomize(g_ctx, seed.b));
        uint8_t sig[64] = {0};
        if (mark) secret(key.b, 32);
        o.code(qorvex_ecdsa_sign(g_ctx, kMsg.b, key.b, sig));
        o.add(sig, sizeof sig);
    }));
}

CT_EXCEPTIONS(keys) {
    t.push_back(CT_EXCEPTION(qorvex_pubkey_tweak_add,
                             "the tweak of a public key is public by design: it goes through the variable-time "
                             "multiplication, like a verification; secret tweaks use qorvex_seckey_tweak_add"));
    t.push_back(CT_EXCEPTION(qorvex_pubkey_tweak_mul,
                             "the tweak of a public key is public by design (variable-time multiplication); secret "
                             "tweaks use qorvex_seckey_tweak_mul"));
}

}  // namespace qorvex::ctime
