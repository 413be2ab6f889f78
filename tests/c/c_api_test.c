/* The public header compiles as C99 and its basic calls work from C. */
#include <stdio.h>
#include <string.h>

#include "qorvex.h"

#define CHECK(cond)                                                   \
    do {                                                              \
        if (!(cond)) {                                                \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            return 1;                                                 \
        }                                                             \
    } while (0)

int main(void) {
    qorvex_ctx *ctx = NULL;
    uint8_t key[32];
    size_t i;

    CHECK(qorvex_ctx_create(&ctx) == QORVEX_OK && ctx != NULL);
    CHECK(qorvex_ctx_size() == QORVEX_CTX_SIZE);
    CHECK(qorvex_abi_version() == QORVEX_ABI_VERSION);
    CHECK(qorvex_version() == QORVEX_VERSION);
    CHECK(strcmp(qorvex_version_string(), QORVEX_VERSION_STRING) == 0);

    for (i = 0; i < 32; ++i) key[i] = (uint8_t)(i + 1);
    CHECK(qorvex_seckey_verify(ctx, key) == QORVEX_OK);
    CHECK(qorvex_seckey_negate(ctx, key) == QORVEX_OK);
    CHECK(qorvex_seckey_negate(ctx, key) == QORVEX_OK);
    CHECK(key[0] == 1 && key[31] == 32);

    memset(key, 0, sizeof key);
    CHECK(qorvex_seckey_negate(ctx, key) == QORVEX_ERR_BAD_KEY);
    CHECK(qorvex_last_error(ctx) == QORVEX_ERR_BAD_KEY);
    CHECK(strcmp(qorvex_last_error_msg(ctx), "privkey is zero or >= n") == 0);
    CHECK(strcmp(qorvex_error_str(QORVEX_ERR_BAD_KEY), "invalid private key") == 0);

    qorvex_ctx_destroy(ctx);
    qorvex_ctx_destroy(NULL);
    puts("c api ok");
    return 0;
}
