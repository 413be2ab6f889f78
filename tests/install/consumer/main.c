/* A minimal application of the installed library. */
#include <stdio.h>
#include <string.h>

#include <qorvex.h>

int main(void) {
    qorvex_ctx *ctx = NULL;
    uint8_t key[32] = {0};
    int rc;
    if (qorvex_ctx_create(&ctx) != QORVEX_OK) return 1;
    key[31] = 1;
    rc = qorvex_seckey_verify(ctx, key);
    qorvex_ctx_destroy(ctx);
    if (rc != QORVEX_OK || strcmp(qorvex_version_string(), "4.4.0") != 0) return 1;
    printf("qorvex %s ok\n", qorvex_version_string());
    return 0;
}
