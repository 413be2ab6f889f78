/*
 * Sign a message and verify the signature, with ECDSA and with BIP-340
 * Schnorr, through the C interface alone.
 *
 * The key and the auxiliary randomness are fixed here so that every run
 * prints the same values; a real program takes its key from storage (or
 * `qorvex keygen`) and 32 fresh random bytes for every Schnorr signature.
 */
#include <stdio.h>
#include <string.h>

#include <qorvex.h>

static void print_hex(const char *label, const uint8_t *b, size_t n) {
    size_t i;
    printf("%-12s ", label);
    for (i = 0; i < n; ++i) printf("%02x", b[i]);
    printf("\n");
}

static int fail(qorvex_ctx *ctx, const char *what, int rc) {
    fprintf(stderr, "%s: %s (code %d)\n", what, qorvex_last_error_msg(ctx), rc);
    qorvex_ctx_destroy(ctx);
    return 1;
}

int main(void) {
    static const char message[] = "pay bob 5";
    qorvex_ctx *ctx = NULL;
    uint8_t seckey[QORVEX_SECKEY_SIZE], pub[QORVEX_PUBKEY_COMPRESSED_SIZE], xonly[QORVEX_XONLY_PUBKEY_SIZE];
    uint8_t digest[QORVEX_SHA256_SIZE], other[QORVEX_SHA256_SIZE];
    uint8_t sig[QORVEX_ECDSA_SIG_SIZE], der[QORVEX_ECDSA_DER_MAX_SIZE];
    uint8_t aux[32], schnorr_sig[QORVEX_SCHNORR_SIG_SIZE];
    size_t der_len = sizeof der;
    int rc;

    memset(seckey, 0x11, sizeof seckey);
    memset(aux, 0x22, sizeof aux);
    if ((rc = qorvex_ctx_create(&ctx)) != QORVEX_OK) {
        fprintf(stderr, "qorvex_ctx_create: code %d\n", rc);
        return 1;
    }
    if ((rc = qorvex_pubkey_create(ctx, seckey, pub)) != QORVEX_OK) return fail(ctx, "pubkey", rc);
    print_hex("public key", pub, sizeof pub);

    /* ECDSA signs a 32-byte digest: here the SHA-256 of the message. */
    qorvex_sha256((const uint8_t *)message, strlen(message), digest);
    print_hex("sha256", digest, sizeof digest);
    if ((rc = qorvex_ecdsa_sign(ctx, digest, seckey, sig)) != QORVEX_OK) return fail(ctx, "ECDSA sign", rc);
    if ((rc = qorvex_ecdsa_sig_to_der(ctx, sig, der, &der_len)) != QORVEX_OK) return fail(ctx, "DER", rc);
    print_hex("ECDSA", sig, sizeof sig);
    print_hex("DER", der, der_len);
    if ((rc = qorvex_ecdsa_verify(ctx, digest, sig, pub)) != QORVEX_OK) return fail(ctx, "ECDSA verify", rc);
    printf("%-12s valid\n", "verify");

    /* Another message: verification fails with QORVEX_ERR_VERIFY_FAIL. */
    qorvex_sha256((const uint8_t *)"pay bob 50", 10, other);
    rc = qorvex_ecdsa_verify(ctx, other, sig, pub);
    printf("%-12s %s (code %d: %s)\n", "tampered", rc == QORVEX_ERR_VERIFY_FAIL ? "rejected" : "ACCEPTED", rc,
           qorvex_last_error_msg(ctx));
    if (rc != QORVEX_ERR_VERIFY_FAIL) return fail(ctx, "tampered message", rc);

    /* BIP-340 signs 32 bytes as given: the same digest, under the x-only key. */
    if ((rc = qorvex_pubkey_xonly(ctx, seckey, xonly)) != QORVEX_OK) return fail(ctx, "x-only key", rc);
    if ((rc = qorvex_schnorr_sign(ctx, digest, seckey, aux, schnorr_sig)) != QORVEX_OK)
        return fail(ctx, "Schnorr sign", rc);
    print_hex("x-only key", xonly, sizeof xonly);
    print_hex("Schnorr", schnorr_sig, sizeof schnorr_sig);
    if ((rc = qorvex_schnorr_verify(ctx, digest, schnorr_sig, xonly)) != QORVEX_OK)
        return fail(ctx, "Schnorr verify", rc);
    printf("%-12s valid\n", "verify");

    memset(seckey, 0, sizeof seckey); /* wipe your own copies of a key */
    qorvex_ctx_destroy(ctx);
    return 0;
}
