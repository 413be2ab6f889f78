/*
 * qorvex: elliptic-curve cryptography on secp256k1.
 *
 * A flat C interface. Every function returns an int error code (QORVEX_OK on
 * success) unless stated otherwise, takes the context first where it needs
 * one, then its inputs, then its outputs. All buffers belong to the caller;
 * the library never hands out memory.
 *
 * Conventions shared by every function:
 *  - A NULL required pointer returns QORVEX_ERR_NULL_ARG and touches nothing,
 *    not even the context's last error.
 *  - Otherwise the context's last error is reset to QORVEX_OK, then the
 *    inputs are checked in a fixed order; a failure stores its code in the
 *    context and a message (at most 127 characters) in a per-thread buffer,
 *    read back with qorvex_last_error_msg().
 *  - Scalars, private keys, tweaks and 32-byte hashes are big-endian.
 *    Public keys are SEC 1: 33 bytes compressed (02/03 prefix), 65 bytes
 *    uncompressed (04 prefix), or 32-byte x-only.
 *  - Variable-size outputs take a buffer and a size_t* holding its capacity;
 *    on success it receives the size written. Too small gives
 *    QORVEX_ERR_BUF_TOO_SMALL and leaves both alone. Text outputs need room
 *    for the terminating NUL, which the returned size excludes.
 *  - Secret intermediates are wiped before any function returns.
 *
 * A context may be shared by several threads; they then share only its last
 * error code. Messages are per thread.
 */
#ifndef QORVEX_H
#define QORVEX_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(QORVEX_BUILDING_LIBRARY)
#    define QORVEX_API __declspec(dllexport)
#  else
#    define QORVEX_API
#  endif
#elif defined(__GNUC__) || defined(__clang__)
#  define QORVEX_API __attribute__((visibility("default")))
#else
#  define QORVEX_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Error codes                                                              */

typedef int qorvex_error_t;

#define QORVEX_OK                 0  /* "OK" */
#define QORVEX_ERR_NULL_ARG       1  /* "NULL argument" */
#define QORVEX_ERR_BAD_KEY        2  /* "invalid private key" */
#define QORVEX_ERR_BAD_PUBKEY     3  /* "invalid public key" */
#define QORVEX_ERR_BAD_SIG        4  /* "invalid signature" */
#define QORVEX_ERR_BAD_INPUT      5  /* "malformed input" */
#define QORVEX_ERR_VERIFY_FAIL    6  /* "verification failed" */
#define QORVEX_ERR_ARITH          7  /* "arithmetic error" */
#define QORVEX_ERR_SELFTEST       8  /* "self-test failed" */
#define QORVEX_ERR_INTERNAL       9  /* "internal error" */
#define QORVEX_ERR_BUF_TOO_SMALL 10  /* "buffer too small" */
#define QORVEX_ERR_NOT_FOUND     11  /* "item not found" */
#define QORVEX_ERR_DEPRECATED    12  /* "deprecated ABI; call the _v2 variant" */

/* ------------------------------------------------------------------------ */
/* Versions and sizes                                                       */

#define QORVEX_ABI_VERSION     4
#define QORVEX_VERSION         0x040400 /* major << 16 | minor << 8 | patch */
#define QORVEX_VERSION_STRING  "4.4.0"

#define QORVEX_CTX_SIZE        136
#define QORVEX_SECKEY_SIZE     32
#define QORVEX_PUBKEY_COMPRESSED_SIZE   33
#define QORVEX_PUBKEY_UNCOMPRESSED_SIZE 65
#define QORVEX_XONLY_PUBKEY_SIZE        32
#define QORVEX_MAX_MESSAGE_LEN 127 /* longest text qorvex_last_error_msg returns */

/* ------------------------------------------------------------------------ */
/* Context, errors and versions                                             */

/* Opaque context. It holds the last error code only: no keys, no tables. */
typedef struct qorvex_ctx qorvex_ctx;

/* Creates a context in *out (set to NULL first). The first call in a process
 * also runs the library's self-test and prepares its tables, so it can take
 * a moment; a failed self-test prints a message and aborts the process.
 * Codes: 1 out is NULL; 9 allocation failed (no message). */
QORVEX_API int qorvex_ctx_create(qorvex_ctx **out);

/* New context in *out with a cleared error state; the self-test is not run
 * again. Codes: 1 src or out is NULL; 9 allocation failed. */
QORVEX_API int qorvex_ctx_clone(const qorvex_ctx *src, qorvex_ctx **out);

/* Frees a context. NULL is accepted and ignored. */
QORVEX_API void qorvex_ctx_destroy(qorvex_ctx *ctx);

/* Size of the context block in bytes (136). */
QORVEX_API size_t qorvex_ctx_size(void);

/* The code of the last failure recorded in ctx (0 after any call that got
 * past its pointer checks without failing); 1 when ctx is NULL. */
QORVEX_API int qorvex_last_error(const qorvex_ctx *ctx);

/* Text of the last failure: the calling thread's last message when ctx holds
 * a non-zero code, else the code's fixed text ("OK" when there was none).
 * "NULL context" for NULL. Never NULL; valid until the next failure recorded
 * on this thread. */
QORVEX_API const char *qorvex_last_error_msg(const qorvex_ctx *ctx);

/* Fixed text of an error code; "unknown error" outside 0..12. Never NULL. */
QORVEX_API const char *qorvex_error_str(int code);

QORVEX_API int qorvex_abi_version(void);          /* 4 */
QORVEX_API uint32_t qorvex_version(void);         /* 0x040400 */
QORVEX_API const char *qorvex_version_string(void); /* "4.4.0" */

/* ------------------------------------------------------------------------ */
/* Private keys (32 bytes, big-endian, valid when 1 <= key < n)             */

/* 0 when key is a valid private key, 2 otherwise. Neither clears nor sets
 * the context's code and records no message. Codes: 1 NULL argument. */
QORVEX_API int qorvex_seckey_verify(qorvex_ctx *ctx, const uint8_t *key32);

/* key32 <- n - key32. Codes: 2 invalid key. The key is written only on
 * success. */
QORVEX_API int qorvex_seckey_negate(qorvex_ctx *ctx, uint8_t *key32);

/* key32 <- (key32 + tweak32) mod n. Codes: 2 invalid key; 5 tweak >= n;
 * 7 the sum is zero. A zero tweak is allowed. The key is written only on
 * success. */
QORVEX_API int qorvex_seckey_tweak_add(qorvex_ctx *ctx, uint8_t *key32,
                                       const uint8_t *tweak32);

/* key32 <- key32 * tweak32 mod n. Codes: 2 invalid key; 5 tweak zero or
 * >= n; 7 the product is zero. The key is written only on success. */
QORVEX_API int qorvex_seckey_tweak_mul(qorvex_ctx *ctx, uint8_t *key32,
                                       const uint8_t *tweak32);

/* ------------------------------------------------------------------------ */
/* Public keys. Inputs are 33-byte compressed keys (qorvex_pubkey_parse also  */
/* takes 65 bytes); outputs are compressed unless the name says otherwise.   */
/* Outputs are written only on success.                                     */

/* key32 * G. Codes: 2 "privkey is zero or >= n". */
QORVEX_API int qorvex_pubkey_create(qorvex_ctx *ctx, const uint8_t *key32, uint8_t *out33);

/* key32 * G, 65-byte uncompressed. Codes as qorvex_pubkey_create. */
QORVEX_API int qorvex_pubkey_create_uncompressed(qorvex_ctx *ctx, const uint8_t *key32,
                                                 uint8_t *out65);

/* The x coordinate of key32 * G (the parity of y is dropped).
 * Codes: 2 "privkey is zero or >= n". */
QORVEX_API int qorvex_pubkey_xonly(qorvex_ctx *ctx, const uint8_t *key32, uint8_t *out32);

/* Parses a 33-byte (02/03) or 65-byte (04) key and writes it compressed.
 * Codes: 3 "decompression failed", "coordinate >= p", "point not on curve",
 * "point at infinity"; 5 "expected 33 or 65 byte pubkey" for any other
 * length or prefix (hybrid 06/07 keys included). */
QORVEX_API int qorvex_pubkey_parse(qorvex_ctx *ctx, const uint8_t *input, size_t input_len,
                                   uint8_t *out33);

/* -P. Codes: 3 "invalid pubkey". */
QORVEX_API int qorvex_pubkey_negate(qorvex_ctx *ctx, const uint8_t *pub33, uint8_t *out33);

/* A + B. Codes: 3 "invalid pubkey a" / "invalid pubkey b";
 * 7 "sum is point at infinity". */
QORVEX_API int qorvex_pubkey_add(qorvex_ctx *ctx, const uint8_t *a33, const uint8_t *b33,
                                 uint8_t *out33);

/* Sum of count consecutive 33-byte keys, added in order (a running sum may
 * pass through infinity). Codes: 5 "need >= 1 pubkey", "pubkey array length
 * too large"; 3 "invalid pubkey[0]", "invalid pubkey in array";
 * 7 "combined pubkey is infinity" (count >= 2). */
QORVEX_API int qorvex_pubkey_combine(qorvex_ctx *ctx, const uint8_t *keys, size_t count,
                                     uint8_t *out33);

/* P + tweak32 * G; a zero tweak is allowed. Codes: 3 "invalid pubkey";
 * 5 "tweak >= n"; 7 "tweak_add resulted in infinity"; 9 internal error. */
QORVEX_API int qorvex_pubkey_tweak_add(qorvex_ctx *ctx, const uint8_t *pub33,
                                       const uint8_t *tweak32, uint8_t *out33);

/* tweak32 * P. Codes: 3 "invalid pubkey"; 5 "tweak is zero or >= n";
 * 7 "tweak_mul resulted in infinity"; 9 internal error. */
QORVEX_API int qorvex_pubkey_tweak_mul(qorvex_ctx *ctx, const uint8_t *pub33,
                                       const uint8_t *tweak32, uint8_t *out33);

/* ------------------------------------------------------------------------ */
/* Blinding and the table cache                                             */

/* Turns on blinding of the secret multiplications of signing for the calling
 * thread (not for the context: ctx only receives the code), derived from a
 * 32-byte seed; NULL seed32 turns it off. Signatures are identical either
 * way. Codes: 1 NULL ctx; 9 "blinding scalar is zero" (a seed hashing to a
 * multiple of n). */
QORVEX_API int qorvex_context_randomize(qorvex_ctx *ctx, const uint8_t *seed32);

/* Directory of the generator-table cache file (NULL for none: the current
 * directory). Takes effect at the next use of the tables, which are reloaded
 * or rebuilt. No context; returns 0 (9 only if the path cannot be copied). */
QORVEX_API int qorvex_set_cache_dir(const char *path);

/* ------------------------------------------------------------------------ */
/* ECDSA. Messages are 32-byte hashes; public keys 33-byte compressed.       */
/* Compact signatures are r || s big-endian; opaque ones r || s with each    */
/* half little-endian. Signing uses RFC 6979 nonces and always gives low-S.  */

/* Codes: 2 "privkey is zero or >= n" (signature untouched); 9 "signing
 * produced degenerate output" (signature zeroed). */
QORVEX_API int qorvex_ecdsa_sign(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *seckey32,
                                 uint8_t *sig64_out);

/* As qorvex_ecdsa_sign, also the recovery id (0..3) in *recid_out (0 on
 * failure). */
QORVEX_API int qorvex_ecdsa_sign_recoverable(qorvex_ctx *ctx, const uint8_t *msg32,
                                             const uint8_t *seckey32, uint8_t *sig64_out,
                                             int *recid_out);

/* As qorvex_ecdsa_sign, and the signature is verified against the key's own
 * public key before it is returned (a failure gives 9). */
QORVEX_API int qorvex_ecdsa_sign_verified(qorvex_ctx *ctx, const uint8_t *msg32,
                                          const uint8_t *seckey32, uint8_t *sig64_out);

/* 0 when the compact signature is valid. Codes: 4 "non-canonical compact
 * sig" (r or s outside [1, n-1]), "high-S signature rejected (BIP-62)";
 * 3 "invalid public key"; 6 "ECDSA verify failed". */
QORVEX_API int qorvex_ecdsa_verify(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *sig64,
                                   const uint8_t *pub33);

/* The compressed key that made sig64 with recovery id recid. High-S
 * signatures are accepted. Codes: 5 "recid must be 0..3"; 4 "non-canonical
 * compact sig"; 6 "recovery failed". */
QORVEX_API int qorvex_ecdsa_recover(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *sig64,
                                    int recid, uint8_t *pub33_out);

/* Strict DER to compact. Codes: 4 with the failing rule's message ("bad DER:
 * ..."). The output is written only on success, or holds the decoded values
 * when the last check ("r or s out of range [1,n-1]") fails. */
QORVEX_API int qorvex_ecdsa_sig_from_der(qorvex_ctx *ctx, const uint8_t *der, size_t der_len,
                                         uint8_t *sig64_out);

/* Compact to minimal DER (at most 72 bytes); *der_len holds the capacity
 * and receives the length. Codes: 4 "non-canonical compact sig"; 10 "DER
 * buffer too small" (buffer and length untouched). */
QORVEX_API int qorvex_ecdsa_sig_to_der(qorvex_ctx *ctx, const uint8_t *sig64, uint8_t *der_out,
                                       size_t *der_len);

/* Compact to opaque. Codes: 4 "non-canonical compact sig" (output zeroed). */
QORVEX_API int qorvex_ecdsa_sig_compact_to_opaque(qorvex_ctx *ctx, const uint8_t *sig64,
                                                  uint8_t *opaque64_out);

/* Opaque to compact. Codes: 4 "invalid opaque ECDSA sig" (output zeroed). */
QORVEX_API int qorvex_ecdsa_sig_opaque_to_compact(qorvex_ctx *ctx, const uint8_t *opaque64,
                                                  uint8_t *sig64_out);

/* Low-S form of an opaque signature; *changed_out (may be NULL) is 1 when
 * the bytes changed. Codes: 4 "invalid opaque ECDSA sig" (output zeroed,
 * changed 0). */
QORVEX_API int qorvex_ecdsa_sig_normalize_opaque(qorvex_ctx *ctx, const uint8_t *opaque64,
                                                 uint8_t *opaque64_out, int *changed_out);

/* 0 when the opaque signature is valid; a high-S signature is normalised
 * first and so accepted. Codes: 4 "invalid opaque ECDSA sig"; 3 "invalid
 * public key"; 6 "ECDSA verify failed". */
QORVEX_API int qorvex_ecdsa_verify_opaque(qorvex_ctx *ctx, const uint8_t *msg32,
                                          const uint8_t *opaque64, const uint8_t *pub33);

/* ------------------------------------------------------------------------ */
/* BIP-340 Schnorr signatures with 32-byte x-only public keys.               */

/* Signs a 32-byte message with 32 bytes of auxiliary randomness.
 * Codes: 2 "privkey is zero or >= n" (signature untouched); 9 "signing
 * produced degenerate output" (signature zeroed). */
QORVEX_API int qorvex_schnorr_sign(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *seckey32,
                                   const uint8_t *aux32, uint8_t *sig64_out);

/* As qorvex_schnorr_sign, and the signature is verified before it is
 * returned (a failure gives 9). */
QORVEX_API int qorvex_schnorr_sign_verified(qorvex_ctx *ctx, const uint8_t *msg32,
                                            const uint8_t *seckey32, const uint8_t *aux32,
                                            uint8_t *sig64_out);

/* 0 when valid. Codes: 4 "Non-canonical Schnorr sig (r>=p or s>=n)" (also
 * s = 0); 3 "Non-canonical pubkey (x>=p)" (also x not on the curve);
 * 6 "Schnorr verify failed". */
QORVEX_API int qorvex_schnorr_verify(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *sig64,
                                     const uint8_t *xonly32);

/* Signs a message of any length: its "BIP0340/msg" tagged hash is signed as
 * by qorvex_schnorr_sign. msg may be NULL only when msg_len is 0. */
QORVEX_API int qorvex_schnorr_sign_msg(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *msg,
                                       size_t msg_len, const uint8_t *aux32, uint8_t *sig64_out);

/* Verifies a signature made by qorvex_schnorr_sign_msg. msg may be NULL only
 * when msg_len is 0. Codes as qorvex_schnorr_verify. */
QORVEX_API int qorvex_schnorr_verify_msg(qorvex_ctx *ctx, const uint8_t *xonly32, const uint8_t *msg,
                                         size_t msg_len, const uint8_t *sig64);

/* ------------------------------------------------------------------------ */
/* Prepared key pairs for BIP-340 signing, multi-scalar multiplication, and  */
/* batch verification and signing.                                           */

/* A key pair record: the secret key, then x and y of its public point, each
 * 32 bytes big-endian. It holds the secret key: keep it as you keep the key,
 * and wipe it when done. */
#define QORVEX_KEYPAIR_SIZE 96

/* ECDSA batch item: message (32) || compressed public key (33) || compact
 * signature (64). */
#define QORVEX_ECDSA_BATCH_ITEM_SIZE 129
/* Schnorr batch item: x-only public key (32) || message (32) || signature
 * (64). */
#define QORVEX_SCHNORR_BATCH_ITEM_SIZE 128
/* Opaque rows: message at offset 0, compressed key at 32, opaque signature at
 * 65; the stride must be at least this. */
#define QORVEX_OPAQUE_ROW_MIN_STRIDE 129
/* The largest count of every batch function, and of qorvex_multi_scalar_mul. */
#define QORVEX_BATCH_MAX_COUNT 1048576

/* Prepares a key pair for qorvex_schnorr_sign_keypair: seckey32, then x and y
 * of seckey32 * G (QORVEX_KEYPAIR_SIZE bytes). Constant time. Codes: 2
 * "privkey is zero or >= n" (record untouched). */
QORVEX_API int qorvex_keypair_create(qorvex_ctx *ctx, const uint8_t *seckey32, uint8_t *keypair96_out);

/* BIP-340 signature of msg32 from a record made by qorvex_keypair_create:
 * byte for byte the signature qorvex_schnorr_sign gives for its secret key,
 * without computing the public key again. The record's point is checked to
 * be on the curve, not to belong to the secret key: a record whose halves do
 * not match gives signatures that do not verify. Codes: 2 "keypair secret is
 * zero or >= n"; 3 "invalid keypair public key" (a coordinate >= p, or not
 * on the curve); 9 "signing produced degenerate output" (signature zeroed). */
QORVEX_API int qorvex_schnorr_sign_keypair(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *keypair96,
                                           const uint8_t *aux32, uint8_t *sig64_out);

/* sum of scalars[i] * points[i] for n terms: n 32-byte big-endian scalars
 * (zero allowed) and n 33-byte compressed points; out33 receives the
 * compressed sum. Variable time: for public data only. Codes: 5 "n must be
 * >= 1", "n too large" (above QORVEX_BATCH_MAX_COUNT), "scalar >= n" (the
 * first bad scalar, checked in order with the points); 3 "invalid point in
 * array"; 7 "MSM result is infinity"; 9 "allocation failed". */
QORVEX_API int qorvex_multi_scalar_mul(qorvex_ctx *ctx, const uint8_t *scalars, const uint8_t *points,
                                       size_t n, uint8_t *out33);

/* a * P + b * Q (scalars may be zero). Variable time. Codes: 5 "scalar a >=
 * n", "scalar b >= n"; 3 "invalid point P", "invalid point Q"; 7 "result is
 * infinity". */
QORVEX_API int qorvex_shamir_trick(qorvex_ctx *ctx, const uint8_t *a32, const uint8_t *p33, const uint8_t *b32,
                                   const uint8_t *q33, uint8_t *out33);

/* Batch verification. Every batch function refuses a count above
 * QORVEX_BATCH_MAX_COUNT with 5 "batch count too large", and reports
 * allocation failure as 9 "allocation failed" and any other failure inside
 * the call (such as a thread that cannot start) as 9 "internal error". Items
 * are parsed in order before anything is verified; the first that fails
 * ends the call. */

/* 0 when every item (QORVEX_ECDSA_BATCH_ITEM_SIZE bytes each) holds a valid
 * low-S signature. count 0 returns 0 at once (items may then be NULL).
 * Codes: 3 "invalid pubkey in batch"; 4 "invalid ECDSA sig in batch" (r or s
 * outside [1, n-1]); 6 "batch verify failed" (also for a high-S signature). */
QORVEX_API int qorvex_ecdsa_batch_verify(qorvex_ctx *ctx, const uint8_t *items, size_t count);

/* As qorvex_ecdsa_batch_verify, on up to `threads` threads of this call (0:
 * one per processor; more than there are processors: one per processor),
 * each taking chunks of 4096 items, so batches of up to 4096 items run on
 * the calling thread alone. Same results and codes. */
QORVEX_API int qorvex_ecdsa_batch_verify_mt(qorvex_ctx *ctx, const uint8_t *items, size_t count,
                                            size_t threads);

/* Verifies each ECDSA item alone (a valid high-S signature counts as valid
 * here) and reports the failing ones: *invalid_count holds the capacity of
 * invalid_out on entry and receives the number of invalid items; the first
 * min(capacity, that number) of their indices, ascending, are written.
 * Returns 0 whatever the items' verdicts. Codes: 3 and 4 as
 * qorvex_ecdsa_batch_verify (outputs untouched). */
QORVEX_API int qorvex_ecdsa_batch_identify_invalid(qorvex_ctx *ctx, const uint8_t *items, size_t count,
                                                   size_t *invalid_out, size_t *invalid_count);

/* Opaque ECDSA signatures (r || s, each half little-endian; high-S
 * accepted) as parallel arrays: count messages (32 bytes each), compressed
 * keys (33) and signatures (64). results[i] becomes 1 for a valid item, 0
 * for an invalid or malformed one; the call returns 0 either way. count 0
 * returns 0 at once. */
QORVEX_API int qorvex_ecdsa_verify_opaque_batch(qorvex_ctx *ctx, const uint8_t *msgs32, const uint8_t *pubs33,
                                                const uint8_t *opaque_sigs64, size_t count, uint8_t *results);

/* As qorvex_ecdsa_verify_opaque_batch over rows of `stride` bytes (message,
 * key and signature at offsets 0, 32 and 65; bytes past 129 are ignored).
 * Codes: 5 "opaque row stride < 129", "opaque rows exceed the address
 * space". */
QORVEX_API int qorvex_ecdsa_verify_opaque_rows(qorvex_ctx *ctx, const uint8_t *rows, size_t stride, size_t count,
                                               uint8_t *results);

/* 0 when every BIP-340 item (QORVEX_SCHNORR_BATCH_ITEM_SIZE bytes each)
 * verifies. From 97 items on, checked together by a random linear
 * combination with 32 bytes from the operating system; a batch with a bad
 * signature is accepted with probability about 2^-256. count 0 returns 0 at
 * once. Codes: 3 "non-canonical pubkey (x>=p) in batch"; 4 "invalid Schnorr
 * sig in batch" (r >= p, s = 0 or s >= n); 6 "batch verify failed" (also
 * for a key whose x is not on the curve). */
QORVEX_API int qorvex_schnorr_batch_verify(qorvex_ctx *ctx, const uint8_t *items, size_t count);

/* As qorvex_ecdsa_batch_identify_invalid for BIP-340 items: a key whose x
 * is not on the curve marks its item invalid. */
QORVEX_API int qorvex_schnorr_batch_identify_invalid(qorvex_ctx *ctx, const uint8_t *items, size_t count,
                                                     size_t *invalid_out, size_t *invalid_count);

/* Signs count 32-byte messages with count secret keys (32 bytes each) into
 * count 64-byte compact low-S signatures, byte for byte those of
 * qorvex_ecdsa_sign, on up to 64 threads of this call that sign with the
 * calling thread's blinding. All outputs are zeroed first, and again on any
 * failure. The outputs may overlap the inputs. Codes: 5 for count 0 (no
 * message, the context's code stays 0), 5 "batch count too large"; 2
 * "privkey[i] is zero or >= n" (some key; the index is not reported); 9
 * "signing produced degenerate output". */
QORVEX_API int qorvex_ecdsa_sign_batch(qorvex_ctx *ctx, size_t count, const uint8_t *msgs32,
                                       const uint8_t *seckeys32, uint8_t *sigs64_out);

/* As qorvex_ecdsa_sign_batch for BIP-340, with count 32-byte auxiliary
 * randomness values: byte for byte the signatures of qorvex_schnorr_sign. */
QORVEX_API int qorvex_schnorr_sign_batch(qorvex_ctx *ctx, size_t count, const uint8_t *msgs32,
                                         const uint8_t *seckeys32, const uint8_t *aux32, uint8_t *sigs64_out);

/* ------------------------------------------------------------------------ */
/* Ethereum                                                                 */

/* The 20-byte address of a compressed public key.
 * Codes: 3 "invalid compressed pubkey". */
QORVEX_API int qorvex_eth_address(qorvex_ctx *ctx, const uint8_t *pub33, uint8_t *addr20_out);

/* The EIP-55 text "0x..." (42 characters and a NUL); *text_len holds the
 * capacity (at least 43) and receives 42. Codes: 10 "need >= 43 bytes for
 * ETH address" (checked first); 3 "invalid compressed pubkey". */
QORVEX_API int qorvex_eth_address_checksummed(qorvex_ctx *ctx, const uint8_t *pub33, char *text_out,
                                              size_t *text_len);

/* EIP-191 personal-message hash: Keccak-256 of "\x19Ethereum Signed
 * Message:\n", the decimal length and the message. No context; msg may be
 * NULL only when msg_len is 0. */
QORVEX_API int qorvex_eth_personal_hash(const uint8_t *msg, size_t msg_len, uint8_t *hash32_out);

/* Signs a 32-byte hash: r and s big-endian, v = 27 + recid, or
 * 2 * chain_id + 35 + recid (EIP-155) when chain_id is not 0. r, s and v
 * are cleared first. Codes: 2 "privkey is zero or >= n"; 9 "ethereum signer
 * returned invalid signature". */
QORVEX_API int qorvex_eth_sign(qorvex_ctx *ctx, const uint8_t *hash32, const uint8_t *seckey32,
                               uint8_t *r32_out, uint8_t *s32_out, uint64_t *v_out,
                               uint64_t chain_id);

/* The address that signed hash32 with (r, s, v); r and s are reduced modulo
 * n, v is 27/28 or EIP-155 (the chain id is not checked).
 * Codes: 4 "ecrecover failed". */
QORVEX_API int qorvex_eth_ecrecover(qorvex_ctx *ctx, const uint8_t *hash32, const uint8_t *r32,
                                    const uint8_t *s32, uint64_t v, uint8_t *addr20_out);

/* ------------------------------------------------------------------------ */
/* Hashes. No context: the result is QORVEX_OK or QORVEX_ERR_NULL_ARG, no    */
/* message is stored, and nothing is written on failure.                    */

/* SHA-256 of len bytes. data and out32 are required, even when len is 0. */
QORVEX_API int qorvex_sha256(const uint8_t *data, size_t len, uint8_t *out32);

/* BIP-340 tagged hash: SHA-256(SHA-256(tag) || SHA-256(tag) || data), tag a
 * NUL-terminated string (may be empty). tag, data and out32 are required,
 * data even when len is 0. */
QORVEX_API int qorvex_tagged_hash(const char *tag, const uint8_t *data, size_t len,
                                  uint8_t *out32);

/* SHA-512. data and out64 are required, even when len is 0. */
QORVEX_API int qorvex_sha512(const uint8_t *data, size_t len, uint8_t *out64);

/* RIPEMD-160(SHA-256(data)). data and out20 are required, even when len is 0. */
QORVEX_API int qorvex_hash160(const uint8_t *data, size_t len, uint8_t *out20);

/* Keccak-256 with the original Keccak padding (as Ethereum uses; not
 * SHA3-256). out32 is required; data may be NULL only when len is 0. */
QORVEX_API int qorvex_keccak256(const uint8_t *data, size_t len, uint8_t *out32);

#ifdef __cplusplus
}
#endif

#endif /* QORVEX_H */
