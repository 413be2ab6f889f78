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
