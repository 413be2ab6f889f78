/*
 * A tour of what the library does today, on fixed inputs: the context and its
 * error reporting, and private-key checks, negation and tweaks.
 */
#include <stdio.h>
#include <string.h>

#include <qorvex.h>

static void print_hex(const char *label, const uint8_t *b, size_t n) {
    size_t i;
    printf("  %-22s ", label);
    for (i = 0; i < n; ++i) printf("%02x", b[i]);
    printf("\n");
}

/* qorvex_seckey_verify only answers; it records no message. */
static void verdict(const char *what, int rc) {
    printf("  %-22s %s\n", what, rc == QORVEX_OK ? "valid" : "invalid (code 2)");
}

static int step(qorvex_ctx *ctx, const char *what, int rc) {
    printf("  %-22s %s", what, rc == QORVEX_OK ? "ok" : "refused");
    if (rc != QORVEX_OK) printf(" (code %d: %s)", rc, qorvex_last_error_msg(ctx));
    printf("\n");
    return rc;
}

int main(void) {
    qorvex_ctx *ctx = NULL;
    uint8_t key[32], tweak[32], zero[32] = {0};
    /* n - 1, the largest valid private key, and n itself. */
    static const uint8_t n_minus_1[32] = {
        0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xfe,
        0xba, 0xae, 0xdc, 0xe6, 0xaf, 0x48, 0xa0, 0x3b, 0xbf, 0xd2, 0x5e, 0x8c, 0xd0, 0x36, 0x41, 0x40};
    uint8_t n[32];
    size_t i;

    printf("qorvex %s (ABI %d)\n\n", qorvex_version_string(), qorvex_abi_version());

    printf("1. Context\n");
    if (step(NULL, "create (self-test)", qorvex_ctx_create(&ctx)) != QORVEX_OK) return 1;
    printf("  %-22s %zu bytes\n\n", "context size", qorvex_ctx_size());

    printf("2. Private keys\n");
    for (i = 0; i < 32; ++i) key[i] = (uint8_t)(0x11 * (i % 15 + 1));
    print_hex("key", key, 32);
    verdict("verify", qorvex_seckey_verify(ctx, key));
    memcpy(n, n_minus_1, 32);
    n[31] = 0x41;
    verdict("verify 0", qorvex_seckey_verify(ctx, zero));
    verdict("verify n", qorvex_seckey_verify(ctx, n));
    verdict("verify n - 1", qorvex_seckey_verify(ctx, n_minus_1));
    printf("\n");

    printf("3. Negation and tweaks\n");
    step(ctx, "negate", qorvex_seckey_negate(ctx, key));
    print_hex("n - key", key, 32);
    step(ctx, "negate again", qorvex_seckey_negate(ctx, key));
    print_hex("key", key, 32);
    memset(tweak, 0, 32);
    tweak[31] = 3;
    step(ctx, "tweak_mul by 3", qorvex_seckey_tweak_mul(ctx, key, tweak));
    print_hex("3 * key", key, 32);
    tweak[31] = 1;
    step(ctx, "tweak_add 1", qorvex_seckey_tweak_add(ctx, key, tweak));
    print_hex("3 * key + 1", key, 32);
    memcpy(key, n_minus_1, 32);
    step(ctx, "(n-1) + 1", qorvex_seckey_tweak_add(ctx, key, tweak));
    step(ctx, "tweak_mul by 0", qorvex_seckey_tweak_mul(ctx, key, zero));
    printf("\n");

    printf("4. Error reporting\n");
    printf("  %-22s %d \"%s\"\n", "last error", qorvex_last_error(ctx), qorvex_last_error_msg(ctx));
    for (i = 0; i <= 12; ++i) printf("  code %-17zu %s\n", i, qorvex_error_str((int)i));

    qorvex_ctx_destroy(ctx);
    printf("\ndone\n");
    return 0;
}
