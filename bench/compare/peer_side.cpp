#include "peer_side.h"

#include <secp256k1.h>
#include <secp256k1_ecdh.h>
#include <secp256k1_extrakeys.h>
#include <secp256k1_recovery.h>
#include <secp256k1_schnorrsig.h>

#include <vector>

namespace compare::peer {

namespace {

secp256k1_context* g_ctx = nullptr;

// Prepared once by fill_derived(): a keypair per item, and the first item's
// public key parsed in both forms.
std::vector<secp256k1_keypair> g_keypairs;
secp256k1_pubkey g_pub0;
secp256k1_xonly_pubkey g_xonly0;

bool serialize33(const secp256k1_pubkey& pk, Output& out) {
    size_t len = 33;
    out.len = 0;
    if (!secp256k1_ec_pubkey_serialize(g_ctx, out.bytes, &len, &pk, SECP256K1_EC_COMPRESSED)) return false;
    out.len = len;
    return true;
}

bool parse_serialize(const uint8_t* input, size_t len, Output& out) {
    secp256k1_pubkey pk;
    out.len = 0;
    return secp256k1_ec_pubkey_parse(g_ctx, &pk, input, len) && serialize33(pk, out);
}

bool verdict(int ok, Output& out) {
    out.len = 0;
    return ok != 0;
}

}  // namespace

bool setup(bool blind) {
    g_ctx = secp256k1_context_create(SECP256K1_CONTEXT_NONE);
    if (!g_ctx) return false;
    if (blind) {
        static const unsigned char seed[32] = {0x5e, 0xed, 0x02};
        if (!secp256k1_context_randomize(g_ctx, seed)) return false;
    }
    return true;
}

std::string fill_derived(Inputs& in) {
    if (in.size() == 0) return "no inputs";
    const uint8_t* key0 = in.items[0].key;
    g_keypairs.resize(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        Item& it = in.items[i];
        secp256k1_pubkey pk;
        secp256k1_xonly_pubkey xo;
        secp256k1_ecdsa_recoverable_signature rs;
        secp256k1_ecdsa_signature s;
        size_t len33 = 33, len65 = 65;
        if (!secp256k1_ec_pubkey_create(g_ctx, &pk, it.key) ||
            !secp256k1_ec_pubkey_serialize(g_ctx, it.pub33, &len33, &pk, SECP256K1_EC_COMPRESSED) ||
            !secp256k1_ec_pubkey_serialize(g_ctx, it.pub65, &len65, &pk, SECP256K1_EC_UNCOMPRESSED))
            return "public key";
        if (!secp256k1_keypair_create(g_ctx, &g_keypairs[i], it.key) ||
            !secp256k1_keypair_xonly_pub(g_ctx, &xo, nullptr, &g_keypairs[i]) ||
            !secp256k1_xonly_pubkey_serialize(g_ctx, it.xonly, &xo))
            return "keypair";
        if (!secp256k1_ecdsa_sign_recoverable(g_ctx, &rs, it.msg, it.key, nullptr, nullptr) ||
            !secp256k1_ecdsa_recoverable_signature_serialize_compact(g_ctx, it.ecdsa_sig, &it.recid, &rs))
            return "recoverable ECDSA signature";
        if (!secp256k1_ecdsa_sign(g_ctx, &s, it.msg, key0, nullptr, nullptr) ||
            !secp256k1_ecdsa_signature_serialize_compact(g_ctx, it.ecdsa_sig_key0, &s))
            return "ECDSA signature";
        if (!secp256k1_schnorrsig_sign32(g_ctx, it.schnorr_sig, it.msg, &g_keypairs[i], it.aux) ||
            !secp256k1_schnorrsig_sign32(g_ctx, it.schnorr_sig_key0, it.msg, &g_keypairs[0], it.aux))
            return "Schnorr signature";
    }
    if (!secp256k1_ec_pubkey_parse(g_ctx, &g_pub0, in.items[0].pub33, 33) ||
        !secp256k1_xonly_pubkey_parse(g_ctx, &g_xonly0, in.items[0].xonly))
        return "first public key";
    return {};
}

bool pubkey_create(const Inputs& in, size_t i, Output& out) {
    secp256k1_pubkey pk;
    out.len = 0;
    return secp256k1_ec_pubkey_create(g_ctx, &pk, in[i].key) && serialize33(pk, out);
}

bool pubkey_parse33(const Inputs& in, size_t i, Output& out) { return parse_serialize(in[i].pub33, 33, out); }

bool pubkey_parse65(const Inputs& in, size_t i, Output& out) { return parse_serialize(in[i].pub65, 65, out); }

bool pubkey_tweak_add(const Inputs& in, size_t i, Output& out) {
    secp256k1_pubkey pk;
    out.len = 0;
    return secp256k1_ec_pubkey_parse(g_ctx, &pk, in[i].pub33, 33) &&
           secp256k1_ec_pubkey_tweak_add(g_ctx, &pk, in[i].tweak) && serialize33(pk, out);
}

bool pubkey_tweak_mul(const Inputs& in, size_t i, Output& out) {
    secp256k1_pubkey pk;
    out.len = 0;
    return secp256k1_ec_pubkey_parse(g_ctx, &pk, in[i].pub33, 33) &&
           secp256k1_ec_pubkey_tweak_mul(g_ctx, &pk, in[i].tweak) && serialize33(pk, out);
}

// RFC 6979 nonces (the default nonce function); the result is low-S.
bool ecdsa_sign(const Inputs& in, size_t i, Output& out) {
    secp256k1_ecdsa_signature sig;
    out.len = 0;
    if (!secp256k1_ecdsa_sign(g_ctx, &sig, in[i].msg, in[i].key, nullptr, nullptr) ||
        !secp256k1_ecdsa_signature_serialize_compact(g_ctx, out.bytes, &sig))
        return false;
    out.len = 64;
    return true;
}

bool ecdsa_verify_one_key(const Inputs& in, size_t i, Output& out) {
    secp256k1_ecdsa_signature sig;
    return verdict(secp256k1_ecdsa_signature_parse_compact(g_ctx, &sig, in[i].ecdsa_sig_key0) &&
                       secp256k1_ecdsa_verify(g_ctx, &sig, in[i].msg, &g_pub0),
                   out);
}

bool ecdsa_verify_many_keys(const Inputs& in, size_t i, Output& out) {
    secp256k1_pubkey pk;
    secp256k1_ecdsa_signature sig;
    return verdict(secp256k1_ec_pubkey_parse(g_ctx, &pk, in[i].pub33, 33) &&
                       secp256k1_ecdsa_signature_parse_compact(g_ctx, &sig, in[i].ecdsa_sig) &&
                       secp256k1_ecdsa_verify(g_ctx, &sig, in[i].msg, &pk),
                   out);
}

bool ecdsa_recover(const Inputs& in, size_t i, Output& out) {
    secp256k1_ecdsa_recoverable_signature sig;
    secp256k1_pubkey pk;
    out.len = 0;
    return secp256k1_ecdsa_recoverable_signature_parse_compact(g_ctx, &sig, in[i].ecdsa_sig, in[i].recid) &&
           secp256k1_ecdsa_recover(g_ctx, &pk, &sig, in[i].msg) && serialize33(pk, out);
}

bool schnorr_sign_keypair(const Inputs& in, size_t i, Output& out) {
    out.len = 0;
    if (!secp256k1_schnorrsig_sign32(g_ctx, out.bytes, in[i].msg, &g_keypairs[i], in[i].aux)) return false;
    out.len = 64;
    return true;
}

bool schnorr_sign_seckey(const Inputs& in, size_t i, Output& out) {
    secp256k1_keypair kp;
    out.len = 0;
    if (!secp256k1_keypair_create(g_ctx, &kp, in[i].key) ||
        !secp256k1_schnorrsig_sign32(g_ctx, out.bytes, in[i].msg, &kp, in[i].aux))
        return false;
    out.len = 64;
    return true;
}

bool schnorr_verify_one_key(const Inputs& in, size_t i, Output& out) {
    return verdict(secp256k1_schnorrsig_verify(g_ctx, in[i].schnorr_sig_key0, in[i].msg, 32, &g_xonly0), out);
}

bool schnorr_verify_many_keys(const Inputs& in, size_t i, Output& out) {
    secp256k1_xonly_pubkey pk;
    return verdict(secp256k1_xonly_pubkey_parse(g_ctx, &pk, in[i].xonly) &&
                       secp256k1_schnorrsig_verify(g_ctx, in[i].schnorr_sig, in[i].msg, 32, &pk),
                   out);
}

// The secret of item i with the next item's public key, parsed from its 33
// bytes; the default hash: SHA-256 of the compressed shared point.
bool ecdh(const Inputs& in, size_t i, Output& out) {
    const size_t j = (i + 1) % in.size();
    secp256k1_pubkey pk;
    out.len = 0;
    if (!secp256k1_ec_pubkey_parse(g_ctx, &pk, in[j].pub33, 33) ||
        !secp256k1_ecdh(g_ctx, out.bytes, &pk, in[i].key, nullptr, nullptr))
        return false;
    out.len = 32;
    return true;
}

}  // namespace compare::peer
