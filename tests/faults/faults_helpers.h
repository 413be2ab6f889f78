// Shared by the fault tests: a forked child per case, so that the
// environment, resource limits, mounts and the process-wide tables of one
// case cannot reach another, and the whole start-up path through the
// exported interface.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "qorvex.h"

namespace qorvex::test {

// A start-up that takes this long is a hang, not a slow machine: the tables
// involved are the small width-8 ones.
constexpr unsigned kHangSeconds = 120;

// Runs body in a child process; returns its exit status (0 when every
// check in it passed), or 100 + the signal that ended it. A child that hangs
// is ended by an alarm.
inline int in_child(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        alarm(kHangSeconds);
        int rc = 99;
        try {
            rc = body();
        } catch (...) {
            rc = 98;
        }
        std::fflush(nullptr);
        _exit(rc);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) return 100 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first context of a process (the self-test configures from the
// environment and builds or loads the tables), then a signature verified
// through them and a cache-dependent public-key tweak checked against plain
// derivation. 0 when all is right, else the number of the failed step.
inline int create_context_and_use() {
    qorvex_ctx* ctx = nullptr;
    if (qorvex_ctx_create(&ctx) != QORVEX_OK) return 11;
    uint8_t key[32], tweak[32], msg[32], sig[64], pub[33], tweaked[33], sum_key[32], direct[33];
    for (int i = 0; i < 32; ++i) {
        key[i] = static_cast<uint8_t>(0x11 + i);
        tweak[i] = static_cast<uint8_t>(0x42 ^ i);
        msg[i] = static_cast<uint8_t>(i * 7);
    }
    int rc = 0;
    if (qorvex_pubkey_create(ctx, key, pub) != QORVEX_OK) rc = 12;
    if (!rc && qorvex_ecdsa_sign(ctx, msg, key, sig) != QORVEX_OK) rc = 13;
    if (!rc && qorvex_ecdsa_verify(ctx, msg, sig, pub) != QORVEX_OK) rc = 14;
    std::memcpy(sum_key, key, 32);
    if (!rc && qorvex_seckey_tweak_add(ctx, sum_key, tweak) != QORVEX_OK) rc = 15;
    if (!rc && qorvex_pubkey_tweak_add(ctx, pub, tweak, tweaked) != QORVEX_OK) rc = 16;
    if (!rc && qorvex_pubkey_create(ctx, sum_key, direct) != QORVEX_OK) rc = 17;
    if (!rc && std::memcmp(direct, tweaked, 33) != 0) rc = 18;
    qorvex_ctx_destroy(ctx);
    return rc;
}

// Clears every variable the library reads for its tables, then asks for the
// small ones.
inline void clean_table_environment() {
    for (const char* v : {"SECP256K1_CACHE_DIR", "SECP256K1_CACHE_PATH", "SECP256K1_MAX_WINDOWS",
                          "SECP256K1_ENABLE_GLV", "SECP256K1_USE_JSF", "XDG_CACHE_HOME", "HOME"})
        unsetenv(v);
    setenv("SECP256K1_WINDOW_BITS", "8", 1);
}

}  // namespace qorvex::test
