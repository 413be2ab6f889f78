#include <stdio.h>
#include <qorvex.h>

int main(void) {
    qorvex_ctx *ctx;
    uint8_t key[32] = {0}, tweak[32] = {0};
    key[31] = 42; tweak[31] = 8;
    if (qorvex_ctx_create(&ctx) != QORVEX_OK) return 1;
    if (qorvex_seckey_tweak_add(ctx, key, tweak) != QORVEX_OK)
        fprintf(stderr, "error: %s\n", qorvex_last_error_msg(ctx));
    printf("key + tweak ends in %u\n", key[31]); /* 50 */
    qorvex_ctx_destroy(ctx);
    return 0;
}
