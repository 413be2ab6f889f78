/* The C side of the binding's overhead measurement: the same calls on the
 * same inputs, timed in a plain C loop. Built as a small shared object that
 * overhead.py loads into its own process, so both sides use the same copy of
 * libqorvex, the same tables and the same processor state. */
#include <qorvex.h>
#include <stdint.h>
#include <time.h>

static double now_ns(void) {
    struct timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec * 1e9 + (double)t.tv_nsec;
}

double qt_schnorr_sign(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *key32, const uint8_t *aux32,
                       long n) {
    uint8_t sig[64];
    double t0 = now_ns();
    for (long i = 0; i < n; i++) qorvex_schnorr_sign(ctx, msg32, key32, aux32, sig);
    return (now_ns() - t0) / (double)n;
}

double qt_ecdsa_verify(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *sig64, const uint8_t *pub33,
                       long n) {
    double t0 = now_ns();
    for (long i = 0; i < n; i++) qorvex_ecdsa_verify(ctx, msg32, sig64, pub33);
    return (now_ns() - t0) / (double)n;
}

double qt_schnorr_verify(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *sig64, const uint8_t *xonly32,
                         long n) {
    double t0 = now_ns();
    for (long i = 0; i < n; i++) qorvex_schnorr_verify(ctx, msg32, sig64, xonly32);
    return (now_ns() - t0) / (double)n;
}

double qt_sha256(const uint8_t *data, size_t len, long n) {
    uint8_t out[32];
    double t0 = now_ns();
    for (long i = 0; i < n; i++) qorvex_sha256(data, len, out);
    return (now_ns() - t0) / (double)n;
}
