#include "qorvex_side.h"

#include <ctime>
#include <vector>

#include "qorvex.h"

namespace compare::qv {

namespace {

qorvex_ctx* g_ctx = nullptr;

double wall_ms() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) * 1e-6;
}

bool bytes(int rc, Output& out, size_t len) {
    out.len = rc == QORVEX_OK ? len : 0;
    return rc == QORVEX_OK;
}

}  // namespace

double setup(bool blind) {
    const double t0 = wall_ms();
    if (qorvex_ctx_create(&g_ctx) != QORVEX_OK) return -1.0;
    const double ms = wall_ms() - t0;
    if (blind) {
        static const uint8_t seed[32] = {0x5e, 0xed, 0x01};
        if (qorvex_context_randomize(g_ctx, seed) != QORVEX_OK) return -1.0;
    }
    return ms;
}

const char* version() { return qorvex_version_string(); }

bool pubkey_create(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_pubkey_create(g_ctx, in[i].key, out.bytes), out, 33);
}

bool pubkey_parse33(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_pubkey_parse(g_ctx, in[i].pub33, 33, out.bytes), out, 33);
}

bool pubkey_parse65(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_pubkey_parse(g_ctx, in[i].pub65, 65, out.bytes), out, 33);
}

bool pubkey_tweak_add(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_pubkey_tweak_add(g_ctx, in[i].pub33, in[i].tweak, out.bytes), out, 33);
}

bool pubkey_tweak_mul(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_pubkey_tweak_mul(g_ctx, in[i].pub33, in[i].tweak, out.bytes), out, 33);
}

bool ecdsa_sign(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_ecdsa_sign(g_ctx, in[i].msg, in[i].key, out.bytes), out, 64);
}

bool ecdsa_verify_one_key(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_ecdsa_verify(g_ctx, in[i].msg, in[i].ecdsa_sig_key0, in[0].pub33), out, 0);
}

bool ecdsa_verify_many_keys(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_ecdsa_verify(g_ctx, in[i].msg, in[i].ecdsa_sig, in[i].pub33), out, 0);
}

bool ecdsa_recover(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_ecdsa_recover(g_ctx, in[i].msg, in[i].ecdsa_sig, in[i].recid, out.bytes), out, 33);
}

bool schnorr_sign_keypair(const Inputs& in, size_t i, Output& out) {
    // One record per input key, made on the first call (the agreement check
    // runs before any timing).
    static std::vector<uint8_t> records;
    if (records.size() != in.size() * QORVEX_KEYPAIR_SIZE) {
        records.assign(in.size() * QORVEX_KEYPAIR_SIZE, 0);
        for (size_t k = 0; k < in.size(); ++k)
            if (qorvex_keypair_create(g_ctx, in[k].key, &records[k * QORVEX_KEYPAIR_SIZE]) != QORVEX_OK) return false;
    }
    return bytes(qorvex_schnorr_sign_keypair(g_ctx, in[i].msg, &records[i * QORVEX_KEYPAIR_SIZE], in[i].aux, out.bytes),
                 out, 64);
}

bool schnorr_sign(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_schnorr_sign(g_ctx, in[i].msg, in[i].key, in[i].aux, out.bytes), out, 64);
}

bool schnorr_verify_one_key(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_schnorr_verify(g_ctx, in[i].msg, in[i].schnorr_sig_key0, in[0].xonly), out, 0);
}

bool schnorr_verify_many_keys(const Inputs& in, size_t i, Output& out) {
    return bytes(qorvex_schnorr_verify(g_ctx, in[i].msg, in[i].schnorr_sig, in[i].xonly), out, 0);
}

bool ecdh(const Inputs& in, size_t i, Output& out) {
    // The peer's key is the next item's, as on the libsecp256k1 side.
    const size_t j = (i + 1) % in.size();
    return bytes(qorvex_ecdh(g_ctx, in[i].key, in[j].pub33, out.bytes), out, 32);
}

}  // namespace compare::qv
