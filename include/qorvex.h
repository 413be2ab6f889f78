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
#define QORVEX_MSG32_SIZE               32 /* the digest every signature signs (msg32) */
#define QORVEX_ECDSA_SIG_SIZE           64 /* compact r || s */
#define QORVEX_ECDSA_OPAQUE_SIG_SIZE    64
#define QORVEX_ECDSA_RECOVERABLE_SIG_SIZE 65 /* r || s || recid, as 'qorvex recover' reads it */
#define QORVEX_ECDSA_DER_MAX_SIZE       72 /* longest minimal DER signature */
#define QORVEX_SCHNORR_SIG_SIZE         64 /* BIP-340 R.x || s */
#define QORVEX_SHA256_SIZE              32
#define QORVEX_SHA512_SIZE              64
#define QORVEX_HASH160_SIZE             20
#define QORVEX_KECCAK256_SIZE           32
#define QORVEX_ETH_ADDRESS_SIZE         20
#define QORVEX_ETH_ADDRESS_TEXT_SIZE    43 /* "0x", 40 hex digits and the NUL */
/* The error text of qorvex_last_error_msg is at most this long (without its
 * NUL). It says nothing about messages to sign: those have no length limit
 * (they are hashed to 32 bytes first). */
#define QORVEX_ERROR_MSG_MAX_LEN 127
#define QORVEX_MAX_MESSAGE_LEN QORVEX_ERROR_MSG_MAX_LEN /* the older name, kept */

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

/* Turns on blinding of the secret multiplications (signing nonces and the
 * public keys of secret keys, in signing and in the public-key functions)
 * for the calling thread only: not for the context (ctx only receives the
 * code) and not for other threads, each of which calls this itself. Worker
 * threads that a batch call starts take the calling thread's blinding. The
 * blinding value is derived from a 32-byte seed; NULL seed32 turns it off.
 * It is wiped when the thread ends. Results are identical either way.
 * Codes: 1 NULL ctx; 9 "blinding scalar is zero" (a seed hashing to a
 * multiple of n). */
QORVEX_API int qorvex_context_randomize(qorvex_ctx *ctx, const uint8_t *seed32);

/* Directory of the generator-table cache file. NULL or "" returns to the
 * default place: the environment's SECP256K1_CACHE_PATH or
 * SECP256K1_CACHE_DIR when set, else $XDG_CACHE_HOME/qorvex, else
 * $HOME/.cache/qorvex (created with mode 0700; a directory that is not the
 * user's, or no such variable, keeps the tables in memory). A path that is
 * not a directory, such as "/dev/null", keeps the tables off disk. A
 * SECP256K1_CACHE_PATH from the environment still names the file. Takes
 * effect at the next use of the tables, which are reloaded or rebuilt. No
 * context; returns 0 (9 only if the path cannot be copied). */
QORVEX_API int qorvex_set_cache_dir(const char *path);

/* The generator-table cache file in use (once the first context has read
 * the environment; before it, the one it would use), as NUL-terminated text
 * in path_out, whose capacity is in *path_len; on success *path_len receives
 * the length without the NUL. The file need not exist yet. No context.
 * Codes: 1 NULL argument; 10 buffer too small (nothing written); 11 no cache
 * file: the tables are kept in memory only; 9 allocation failed. */
QORVEX_API int qorvex_cache_location(char *path_out, size_t *path_len);

/* ------------------------------------------------------------------------ */
/* Self-test. The first qorvex_ctx_create of a process runs it quietly in   */
/* ci mode and aborts the process if it fails; this runs it on demand.      */

#define QORVEX_SELFTEST_SMOKE  0 /* 25 tests: known answers and the group law */
#define QORVEX_SELFTEST_CI     1 /* 40: also the generic routes, batches, random laws, the vector file */
#define QORVEX_SELFTEST_STRESS 2 /* 44: also the same laws over thousands of random values */

/* Runs the self-test at the given depth with the given seed (0 selects the
 * default, 0x53454350324b3147) and, when verbose is non-zero, prints its
 * report to the standard output. Like the first context, it first installs
 * the generator-table configuration from the environment
 * (SECP256K1_WINDOW_BITS, SECP256K1_ENABLE_GLV, SECP256K1_USE_JSF and the
 * cache variables) and loads or builds the tables; in ci and stress modes
 * it also checks the records of the file named by SECP256K1_SELFTEST_VECTORS
 * (lines "SCALARMUL;k;x;y;label", "ADD;px;py;qx;qy;x;y;label" or "SUB;...",
 * hex numbers of 64 digits; '#' starts a comment line). The number of tests
 * run and passed go to *tests_run and *tests_passed when they are not NULL.
 * No context. Codes: 0 every test passed; 8 some failed (the counts say how
 * many); 5 an unknown mode (nothing run or written); 9 the tables could not
 * be built (nothing tested, counts not written). */
QORVEX_API int qorvex_selftest_run(int mode, int verbose, uint64_t seed, uint32_t *tests_run,
                                   uint32_t *tests_passed);

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
 * by qorvex_schnorr_sign. msg may be NULL only when msg_len is 0. The tag is
 * this library's own convention, not part of BIP-340 (which signs 32 bytes
 * and names no message hash): to interoperate, agree on a 32-byte digest
 * with the other side and sign it with qorvex_schnorr_sign. */
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
 * one thread per started 4096 items, so batches of up to 4096 items run on
 * the calling thread alone; the threads take the items in pieces of at most
 * 4096 from a shared counter. Same results and codes. */
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
 * are cleared once the hash and key are read (outputs may overlap them), so
 * every failure leaves them zero. Codes: 2 "privkey is zero or >= n"; 9 "ethereum signer
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

/* ------------------------------------------------------------------------ */
/* Transaction digests (BIP-143, BIP-341, BIP-342), ids (BIP-144) and        */
/* Taproot tweaks (BIP-341). Integers inside digests are little-endian;      */
/* txids are 32 bytes in the order they are serialized (the reverse of the   */
/* hex that block explorers show), hashed as given.                          */

#define QORVEX_TXID_SIZE                32 /* txid, wtxid, witness commitment */
#define QORVEX_SIGHASH_SIZE             32 /* every signature digest          */
#define QORVEX_KEY_HASH_SIZE            20 /* Hash160 of a compressed key     */
#define QORVEX_P2WPKH_SCRIPT_CODE_SIZE  25
#define QORVEX_TAPROOT_MERKLE_ROOT_SIZE 32
#define QORVEX_TAPLEAF_HASH_SIZE        32

#define QORVEX_SIGHASH_DEFAULT      0x00 /* Taproot only: signs as ALL */
#define QORVEX_SIGHASH_ALL          0x01
#define QORVEX_SIGHASH_NONE         0x02
#define QORVEX_SIGHASH_SINGLE       0x03
#define QORVEX_SIGHASH_ANYONECANPAY 0x80

/* The BIP-143 script code of a P2WPKH input: 76 a9 14 <key_hash20> 88 ac,
 * without a length. No context. Codes: 1 NULL argument. */
QORVEX_API int qorvex_bip143_p2wpkh_script_code(const uint8_t *key_hash20, uint8_t *out25);

/* The BIP-143 signature hash (double SHA-256 of the preimage) of a segwit
 * v0 input. The caller supplies the three aggregate hashes of the
 * transaction (each a double SHA-256): hash_prevouts32 of all outpoints,
 * hash_sequence32 of all sequences, hash_outputs32 of all outputs, or for
 * SIGHASH_SINGLE of the output with the input's index (32 zero bytes when
 * there is none). The hash-type rules then apply: with ANYONECANPAY (0x80)
 * hashPrevouts is replaced by zeros; with ANYONECANPAY, NONE or SINGLE
 * (sighash_type & 0x1f being 2 or 3) hashSequence too; with NONE
 * hashOutputs too. script_code (without its length, which is prefixed
 * here) is required even when script_code_len is 0. All 32 bits of
 * sighash_type are serialized; no value is refused.
 * Codes: 1 NULL argument (context untouched). */
QORVEX_API int qorvex_bip143_sighash(qorvex_ctx *ctx, int32_t version, const uint8_t *hash_prevouts32,
                                     const uint8_t *hash_sequence32, const uint8_t *outpoint_txid32,
                                     uint32_t outpoint_vout, const uint8_t *script_code,
                                     size_t script_code_len, uint64_t amount, uint32_t sequence,
                                     const uint8_t *hash_outputs32, uint32_t lock_time,
                                     uint32_t sighash_type, uint8_t *out32);

/* The txid of a serialized transaction: the double SHA-256 of its legacy
 * serialization (version, inputs, outputs, lock time). The transaction may
 * be in the legacy or the BIP-144 witness form (bytes 4 and 5 being 00 01);
 * either is parsed completely. Codes (the context is only tested for NULL,
 * never written, and no message is stored): 1 NULL argument (tx may not be
 * NULL even for length 0); 5 shorter than 10 bytes, truncated, trailing
 * bytes after the lock time, a non-canonical compact size, or the witness
 * form without any non-empty witness. On code 5 out32 is zeroed. */
QORVEX_API int qorvex_bip144_txid(qorvex_ctx *ctx, const uint8_t *tx, size_t tx_len, uint8_t *out32);

/* The wtxid: the double SHA-256 of all the bytes, once they parse as for
 * qorvex_bip144_txid (equal to the txid for a transaction without witness).
 * Codes as qorvex_bip144_txid. */
QORVEX_API int qorvex_bip144_wtxid(qorvex_ctx *ctx, const uint8_t *tx, size_t tx_len, uint8_t *out32);

/* The block witness commitment: double SHA-256 of witness_root32 ||
 * reserved32. No context. Codes: 1 NULL argument. */
QORVEX_API int qorvex_bip144_witness_commitment(const uint8_t *witness_root32, const uint8_t *reserved32,
                                                uint8_t *out32);

/* The BIP-341 key-path signature hash: TaggedHash("TapSighash", 0x00 ||
 * SigMsg(hash_type, 0)) for input input_index. The transaction comes as
 * arrays indexed by input (prevout_txids: input_count x 32 bytes in a row;
 * prevout_vouts, sequences; amounts and script_pubkeys / script_pubkey_lens
 * of the outputs being spent) and by output (output_amounts, output_scripts
 * / output_script_lens). All arrays are required even when their count is
 * 0; an element of a script array may be NULL only when its length is 0.
 * hash_type is one of 0x00 (DEFAULT, signs as ALL), 0x01, 0x02, 0x03, 0x81,
 * 0x82, 0x83. annex (with its 0x50 prefix, not checked) is present when it
 * is non-NULL and annex_len is not 0. Nothing is allocated or copied.
 * Codes: 1 NULL argument (context untouched); 5 input_index >= input_count
 * (context untouched, no message); 5 "invalid taproot hash type";
 * 5 "SIGHASH_SINGLE without a matching output" (input_index >=
 * output_count). */
QORVEX_API int qorvex_taproot_keypath_sighash(qorvex_ctx *ctx, int32_t version, int32_t lock_time,
                                              size_t input_count, const uint8_t *prevout_txids,
                                              const uint32_t *prevout_vouts, const uint64_t *amounts,
                                              const uint32_t *sequences,
                                              const uint8_t *const *script_pubkeys,
                                              const size_t *script_pubkey_lens, size_t output_count,
                                              const uint64_t *output_amounts,
                                              const uint8_t *const *output_scripts,
                                              const size_t *output_script_lens, size_t input_index,
                                              int hash_type, const uint8_t *annex, size_t annex_len,
                                              uint8_t *out32);

/* The BIP-342 script-path signature hash: as qorvex_taproot_keypath_sighash
 * with ext_flag 1 and the extension tapleaf_hash32 || key_version ||
 * codesep_pos (0xffffffff when no OP_CODESEPARATOR was executed; key_version
 * is 0 for BIP-342 keys). Codes as qorvex_taproot_keypath_sighash;
 * tapleaf_hash32 is required. */
QORVEX_API int qorvex_tapscript_sighash(qorvex_ctx *ctx, int32_t version, int32_t lock_time,
                                        size_t input_count, const uint8_t *prevout_txids,
                                        const uint32_t *prevout_vouts, const uint64_t *amounts,
                                        const uint32_t *sequences, const uint8_t *const *script_pubkeys,
                                        const size_t *script_pubkey_lens, size_t output_count,
                                        const uint64_t *output_amounts,
                                        const uint8_t *const *output_scripts,
                                        const size_t *output_script_lens, size_t input_index,
                                        int hash_type, const uint8_t *tapleaf_hash32,
                                        uint8_t key_version, uint32_t codesep_pos,
                                        const uint8_t *annex, size_t annex_len, uint8_t *out32);

/* The Taproot output key Q = P + t*G, P the internal x-only key lifted to
 * even y, t = TaggedHash("TapTweak", x(P) || merkle_root32), the root left
 * out when merkle_root32 is NULL (BIP-86 key-path-only outputs). Writes
 * x(Q) and *parity_out = 1 when y(Q) is odd. Both outputs are zeroed first
 * (after the inputs are read). Codes: 3 "zero x-only key"; 7 "taproot
 * output key derivation failed" (x not on the curve or >= p, t >= n, Q at
 * infinity); 9 internal error. */
QORVEX_API int qorvex_taproot_output_key(qorvex_ctx *ctx, const uint8_t *internal_xonly32,
                                         const uint8_t *merkle_root32, uint8_t *output_xonly32_out,
                                         int *parity_out);

/* The private key that signs for the output key of seckey32's x-only key:
 * d' = d + t mod n, where d is seckey32, or n - seckey32 when its public key
 * has odd y, and t the tweak as in qorvex_taproot_output_key. Constant
 * time; every copy of the keys is wiped. The output is zeroed first (after
 * the inputs are read; it may be seckey32 itself). Codes: 2 "privkey is zero
 * or >= n"; 7 "taproot tweak resulted in zero" (t >= n, or d' = 0). */
QORVEX_API int qorvex_taproot_tweak_seckey(qorvex_ctx *ctx, const uint8_t *seckey32,
                                           const uint8_t *merkle_root32, uint8_t *tweaked32_out);

/* 0 when output_xonly32 with parity (0 even, 1 odd) is the output key of
 * internal_xonly32 and the merkle_root bytes (0 to 32 of them, hashed as
 * given; merkle_root may be NULL when merkle_root_len is 0).
 * Codes: 6 "taproot commitment invalid" (also for a root longer than 32
 * bytes, a parity other than 0 or 1, and an internal key off the curve);
 * 9 internal error. */
QORVEX_API int qorvex_taproot_verify(qorvex_ctx *ctx, const uint8_t *output_xonly32, int parity,
                                     const uint8_t *internal_xonly32, const uint8_t *merkle_root,
                                     size_t merkle_root_len);
/* Bitcoin: addresses, WIF and segwit output scripts                        */
/*                                                                          */
/* Address and WIF encoders write NUL-terminated text: *len holds the       */
/* capacity on entry; a text of length L is written (L + 1 bytes) only when */
/* L < capacity, and then *len receives L. On any failure neither the       */
/* buffer nor *len changes. The network is 0 (mainnet) or 1 (testnet, which */
/* also serves signet and regtest), compared as unsigned: -1 is refused.     */

#define QORVEX_NETWORK_MAINNET          0
#define QORVEX_NETWORK_TESTNET          1
#define QORVEX_KEY_HASH_SIZE            20  /* Hash160 of a key or script */
#define QORVEX_ADDRESS_MAX_SIZE         63  /* longest address (P2TR, 62 characters) and its NUL */
#define QORVEX_WIF_MAX_SIZE             53  /* 52 characters (51 uncompressed) and the NUL */
#define QORVEX_SEGWIT_PROGRAM_MAX_SIZE  40
#define QORVEX_P2WPKH_SPK_SIZE          22
#define QORVEX_P2WSH_SPK_SIZE           34
#define QORVEX_P2TR_SPK_SIZE            34

/* P2PKH address: Base58Check(0x00 or 0x6F || Hash160(pub33)).
 * Codes: 5 "invalid network" (checked first); 3 "invalid pubkey" (not a
 * 33-byte compressed key on the curve; an 04 prefix included); 9 "P2PKH
 * generation failed"; 10 "P2PKH buffer too small". */
QORVEX_API int qorvex_addr_p2pkh(qorvex_ctx *ctx, const uint8_t *pub33, int network, char *addr_out,
                                 size_t *addr_len);

/* P2SH address of a redeem script: Base58Check(0x05 or 0xC4 ||
 * Hash160(script)); a script of length 0 is accepted. No context: returns 1
 * for a NULL script, addr_out or addr_len, 5 for a network above 1, 9 when
 * the encoding fails, 10 for a short buffer; no message is stored. */
QORVEX_API int qorvex_addr_p2sh(const uint8_t *script, size_t script_len, int network, char *addr_out,
                                size_t *addr_len);

/* P2SH-P2WPKH address: the P2SH address of the redeem script
 * 0x00 0x14 || Hash160(pub33). Codes: 5 "invalid network"; 3 "invalid
 * pubkey"; 9 "P2SH-P2WPKH generation failed"; 10 "P2SH-P2WPKH buffer too
 * small". */
QORVEX_API int qorvex_addr_p2sh_p2wpkh(qorvex_ctx *ctx, const uint8_t *pub33, int network, char *addr_out,
                                       size_t *addr_len);

/* P2WPKH address: Bech32 segwit address ("bc"/"tb"), version 0, program
 * Hash160(pub33). Codes: 5 "invalid network"; 3 "invalid pubkey"; 9 "P2WPKH
 * generation failed"; 10 "P2WPKH buffer too small". */
QORVEX_API int qorvex_addr_p2wpkh(qorvex_ctx *ctx, const uint8_t *pub33, int network, char *addr_out,
                                  size_t *addr_len);

/* P2TR address: Bech32m segwit address, version 1, program the 32-byte
 * x-only output key as given (no tweak is applied, and any non-zero 32
 * bytes are accepted). Codes: 5 "invalid network"; 3 "zero x-only key";
 * 9 "P2TR generation failed"; 10 "P2TR buffer too small". */
QORVEX_API int qorvex_addr_p2tr(qorvex_ctx *ctx, const uint8_t *xonly32, int network, char *addr_out,
                                size_t *addr_len);

/* WIF text of a private key: Base58Check(0x80 or 0xEF || key || 0x01 when
 * compressed is non-zero). Codes: 5 "invalid network"; 2 "privkey is zero
 * or >= n"; 9 "WIF encode failed"; 10 "WIF buffer too small". */
QORVEX_API int qorvex_wif_encode(qorvex_ctx *ctx, const uint8_t *seckey32, int compressed, int network,
                                 char *wif_out, size_t *wif_len);

/* Reads a WIF string: the key, *compressed_out (1 when the payload ends in
 * 0x01, 0 for the 33-byte form) and *network_out (0 for the 0x80 version
 * byte, 1 for 0xEF). Codes: 5 "invalid WIF string" for any failure: a
 * character outside Base58, the checksum, the version byte, the length, the
 * compression byte, or a key that is zero or not below n (no reduction
 * modulo n). The outputs are written only on success. */
QORVEX_API int qorvex_wif_decode(qorvex_ctx *ctx, const char *wif, uint8_t *seckey32_out, int *compressed_out,
                                 int *network_out);

/* 1 when the script is a witness program: 4 to 42 bytes, a version opcode
 * (0x00, or 0x51 to 0x60 for versions 1 to 16), then one push of 2 to 40
 * bytes that ends the script; else 0 (also for a NULL script). No context,
 * no error. */
QORVEX_API int qorvex_segwit_is_witness_program(const uint8_t *script, size_t script_len);

/* The version (0 to 16) and program of a witness program; program_out needs
 * QORVEX_SEGWIT_PROGRAM_MAX_SIZE bytes (its capacity is not passed) and
 * *program_len_out receives the program's length. No context: returns 1 for
 * a NULL pointer; 5 when the script is not a witness program, after writing
 * -1 to *version_out and 0 to *program_len_out. */
QORVEX_API int qorvex_segwit_parse_program(const uint8_t *script, size_t script_len, int *version_out,
                                           uint8_t *program_out, size_t *program_len_out);

/* The P2WPKH scriptPubKey 0x00 0x14 || hash20. No context: 1 for NULL. */
QORVEX_API int qorvex_segwit_p2wpkh_spk(const uint8_t *hash20, uint8_t *spk22_out);

/* The P2WSH scriptPubKey 0x00 0x20 || hash32. No context: 1 for NULL. */
QORVEX_API int qorvex_segwit_p2wsh_spk(const uint8_t *hash32, uint8_t *spk34_out);

/* The P2TR scriptPubKey 0x51 0x20 || xonly32 (the output key as given). No
 * context: 1 for NULL. */
QORVEX_API int qorvex_segwit_p2tr_spk(const uint8_t *xonly32, uint8_t *spk34_out);

/* SHA-256 of a witness script (the P2WSH program). script may be NULL when
 * script_len is 0. No context: 1 for a NULL pointer. */
QORVEX_API int qorvex_segwit_witness_script_hash(const uint8_t *script, size_t script_len, uint8_t *hash32_out);

/* ------------------------------------------------------------------------ */
/* BIP-32 hierarchical deterministic keys                                   */

#define QORVEX_BIP32_KEY_SIZE          82  /* the qorvex_bip32_key record */
#define QORVEX_BIP32_SERIALIZED_SIZE   78  /* BIP-32's serialization inside it */
#define QORVEX_BIP32_TEXT_SIZE        112  /* xprv/xpub text: 111 characters and the NUL */
#define QORVEX_BIP32_SEED_MIN_SIZE     16
#define QORVEX_BIP32_SEED_MAX_SIZE     64
#define QORVEX_BIP32_HARDENED  0x80000000u /* child numbers from here on are hardened */

/* An extended key: BIP-32's 78-byte serialization, then a kind byte and
 * three reserved bytes. Numbers are big-endian.
 *   offset size
 *      0    4  version: 0x0488ADE4 private (xprv), 0x0488B21E public (xpub)
 *      4    1  depth (0 for a master key)
 *      5    4  parent fingerprint (first 4 bytes of Hash160 of the parent's
 *              compressed public key; 0 for a master key)
 *      9    4  child number (bit 31 set = hardened)
 *     13   32  chain code
 *     45   33  key data: 0x00 and the 32-byte private key, or the
 *              compressed public key
 *     78    1  kind: 1 private, 0 public
 *     79    3  reserved, zero
 * Only the mainnet versions are accepted and produced (testnet tprv/tpub
 * are refused). A private record holds the key and chain code: wipe it
 * after use.
 *
 * Every function taking a record checks it first, in this order: 5
 * "invalid BIP-32 key kind" (kind >= 2); 5 "invalid BIP-32 reserved bytes";
 * 5 "invalid BIP-32 version" (not the version of the kind); for a private
 * key 5 "invalid BIP-32 private marker" (key data not starting with 0x00)
 * and 2 "invalid BIP-32 private key" (zero or >= n); for a public key 3
 * "invalid BIP-32 public key prefix" (not 02/03) and 3 "invalid BIP-32
 * public key" (not on the curve). Output records are written only on
 * success and may be the input record. */
typedef struct qorvex_bip32_key {
    uint8_t data[QORVEX_BIP32_KEY_SIZE];
} qorvex_bip32_key;

/* The master key of a seed: HMAC-SHA512("Bitcoin seed", seed).
 * Codes: 5 "seed must be 16-64 bytes"; 9 "BIP-32 master key failed" (the
 * left half is not a valid key). */
QORVEX_API int qorvex_bip32_master(qorvex_ctx *ctx, const uint8_t *seed, size_t seed_len,
                                   qorvex_bip32_key *key_out);

/* The child at index (hardened from QORVEX_BIP32_HARDENED) of a private or
 * public parent. Codes: the record checks; 9 "BIP-32 derivation failed" (a
 * hardened index below a public key, a parent at depth 255, or an invalid
 * derived key). */
QORVEX_API int qorvex_bip32_derive(qorvex_ctx *ctx, const qorvex_bip32_key *parent, uint32_t index,
                                   qorvex_bip32_key *child_out);

/* The key at the end of a path: "m", then steps "/" + a decimal index up to
 * 2147483647 (leading zeros allowed) + an optional hardened marker ', h or
 * H, e.g. "m/84'/0'/0'/0/0". "m" alone gives the parent unchanged.
 * Codes: the record checks; 5 "invalid BIP-32 path" for any other text (no
 * trailing '/', empty step, white space or upper-case "M") or any failing
 * step. */
QORVEX_API int qorvex_bip32_derive_path(qorvex_ctx *ctx, const qorvex_bip32_key *parent, const char *path,
                                        qorvex_bip32_key *key_out);

/* The 32-byte private key of a private record. Codes: 2 "key is public, not
 * private" (kind 0, tested before the record checks); the record checks. */
QORVEX_API int qorvex_bip32_privkey(qorvex_ctx *ctx, const qorvex_bip32_key *key, uint8_t *seckey32_out);

/* The compressed public key of a record. Codes: the record checks; 3
 * "invalid BIP-32 public key". */
QORVEX_API int qorvex_bip32_pubkey(qorvex_ctx *ctx, const qorvex_bip32_key *key, uint8_t *pub33_out);

/* The xprv/xpub text (Base58Check of the 78 bytes, 111 characters) of a
 * record; *out_len holds the capacity (QORVEX_BIP32_TEXT_SIZE suffices) and
 * receives the length, as for the address encoders. Codes: the record
 * checks; 10 "extended key buffer too small". */
QORVEX_API int qorvex_bip32_to_base58(qorvex_ctx *ctx, const qorvex_bip32_key *key, char *out, size_t *out_len);

/* Reads xprv/xpub text into a record. Codes: 5 "invalid extended key text"
 * (not Base58Check, a payload other than 78 bytes, or a depth-0 key with a
 * non-zero parent fingerprint or child number); then the record checks,
 * with kind 0 for the xpub version and 1 for any other (so a testnet or
 * unknown version gives 5 "invalid BIP-32 version"). */
QORVEX_API int qorvex_bip32_from_base58(qorvex_ctx *ctx, const char *text, qorvex_bip32_key *key_out);

/* ------------------------------------------------------------------------ */
/* BIP-39 mnemonics (English) and BIP-85                                     */

#define QORVEX_BIP39_SEED_SIZE          64
#define QORVEX_BIP39_ENTROPY_MAX_SIZE   32
#define QORVEX_BIP39_MNEMONIC_MAX_SIZE 216  /* 24 words of up to 8 letters, 23 spaces, the NUL */
#define QORVEX_BIP85_ENTROPY_MAX_SIZE   32

/* The mnemonic of entropy_len bytes (16, 20, 24, 28 or 32: 12 to 24 words),
 * words joined by single spaces; with a NULL entropy the bytes come from
 * the operating system (a failing source aborts the process). *mnemonic_len
 * as for the address encoders (QORVEX_BIP39_MNEMONIC_MAX_SIZE suffices).
 * Codes: 5 "entropy must be 16/20/24/28/32"; 9 "BIP-39 generation failed";
 * 10 "mnemonic buffer too small". */
QORVEX_API int qorvex_bip39_generate(qorvex_ctx *ctx, size_t entropy_len, const uint8_t *entropy,
                                     char *mnemonic_out, size_t *mnemonic_len);

/* 0 for a valid mnemonic: 12, 15, 18, 21 or 24 words of the English list
 * (lower case), separated and surrounded by any white space (space, tab,
 * LF, VT, FF, CR), with a matching checksum; else 5. The context is only
 * checked for NULL: no code or message is stored. */
QORVEX_API int qorvex_bip39_validate(qorvex_ctx *ctx, const char *mnemonic);

/* The entropy of a valid mnemonic; *entropy_len holds the capacity and
 * receives the length (16 to 32). Codes: 5 "invalid mnemonic"; 10 "entropy
 * buffer too small". */
QORVEX_API int qorvex_bip39_to_entropy(qorvex_ctx *ctx, const char *mnemonic, uint8_t *entropy_out,
                                       size_t *entropy_len);

/* The 64-byte seed: PBKDF2-HMAC-SHA512 (2048 rounds) of the NFKD form of
 * the mnemonic exactly as given (white space included) with the salt
 * "mnemonic" || NFKD(passphrase). A NULL passphrase is the empty one; a
 * passphrase that is not valid UTF-8 is used byte for byte. The seed is
 * zeroed once the pointers are checked. Codes: 5 "invalid mnemonic" (the
 * checks of qorvex_bip39_validate); 9 "allocation failed". */
QORVEX_API int qorvex_bip39_to_seed(qorvex_ctx *ctx, const char *mnemonic, const char *passphrase,
                                    uint8_t *seed64_out);

/* BIP-85 entropy: the first out_len bytes of HMAC-SHA512("bip-entropy-from-k",
 * k) for the private key k at path (the whole path, in the syntax of
 * qorvex_bip32_derive_path) below a private record. Codes: 5 "entropy_len
 * must be 1-32" (checked before anything else); 2 "BIP-85 requires xprv
 * (private key)" (kind 0, before the record checks); the record checks;
 * 5 "BIP-85 path derivation failed". */
QORVEX_API int qorvex_bip85_entropy(qorvex_ctx *ctx, const qorvex_bip32_key *key, const char *path,
                                    uint8_t *out, size_t out_len);

/* The BIP-85 BIP-39 child mnemonic of words (12, 18 or 24) words at
 * m/83696968'/39'/0'/words'/index'. *mnemonic_len as for
 * qorvex_bip39_generate. Codes: 5 "words must be 12, 18, or 24"; 5 "only
 * language_index=0 (English) supported"; those of qorvex_bip85_entropy (an
 * index of 2^31 or more gives 5 "BIP-85 path derivation failed"); 9 "BIP-85
 * BIP-39 mnemonic generation failed"; 10 "mnemonic buffer too small". */
QORVEX_API int qorvex_bip85_bip39(qorvex_ctx *ctx, const qorvex_bip32_key *key, uint32_t words,
                                  int language_index, uint32_t index, char *mnemonic_out,
                                  size_t *mnemonic_len);
/* MuSig2 (BIP-327): n-of-n Schnorr multi-signatures for 2 or 3 signers,     */
/* ending in an ordinary BIP-340 signature under the 32-byte aggregate key   */
/* (qorvex_schnorr_verify accepts it). No state is kept between calls: every */
/* intermediate value is a fixed-size blob the caller stores and passes      */
/* back. A run: every party aggregates the same ordered key list; every      */
/* signer makes a nonce pair and publishes the public half; anyone           */
/* aggregates the public nonces and starts the session; every signer makes   */
/* its partial signature; anyone verifies and sums them.                     */
/*                                                                          */
/* Follows BIP-327 for key aggregation, nonce aggregation, the session,      */
/* signing and partial verification, without key tweaking. Differs in nonce  */
/* generation (its own hash layout), in the 64-byte secret nonce (k1 || k2), */
/* in refusing an aggregate public nonce at infinity, and in taking the      */
/* signer's key as x-only in partial verification.                           */
/*                                                                          */
/* Misuse rules:                                                            */
/*  - A secret nonce is single-use. Signing overwrites it with zeros on every */
/*    return, success or failure, so that a second use fails. Never copy it, */
/*    store it where it could be restored, or sign two sessions with it:     */
/*    two partial signatures from one nonce reveal the private key.          */
/*  - extra_rand32 of qorvex_musig2_nonce_gen must never be used twice: with */
/*    the same inputs it gives the same nonce, and that nonce used for two    */
/*    different messages reveals the private key. Pass NULL to take fresh    */
/*    randomness from the operating system.                                  */
/*  - Every blob received from another party (public keys, public nonces,    */
/*    the aggregate nonce, keyagg and session blobs, partial signatures) is  */
/*    checked in full before use; a failure names the blob at fault.         */

#define QORVEX_MUSIG2_MIN_SIGNERS      2
#define QORVEX_MUSIG2_MAX_SIGNERS      3
#define QORVEX_MUSIG2_KEYAGG_SIZE      165 /* n, Q's negation flag, Q, the key coefficients */
#define QORVEX_MUSIG2_SESSION_SIZE     165 /* R, b, e, R's negation flag, n */
#define QORVEX_MUSIG2_SECNONCE_SIZE    64  /* k1 || k2: secret, single-use */
#define QORVEX_MUSIG2_PUBNONCE_SIZE    66  /* k1*G || k2*G, compressed */
#define QORVEX_MUSIG2_AGGNONCE_SIZE    66
#define QORVEX_MUSIG2_PARTIAL_SIG_SIZE 32
#define QORVEX_MUSIG2_MAX_NONCES       1048576 /* n_pubnonces, n_partial_sigs */

/* Aggregates n_pubkeys (2 or 3) compressed keys, in the given order (sort
 * them first if the parties do not agree on one), with BIP-327's
 * second-key rule. Writes the keyagg blob (QORVEX_MUSIG2_KEYAGG_SIZE) and
 * the x-only aggregate key (32). Both outputs are zeroed first.
 * Codes: 5 "need >= 2 pubkeys", "too many pubkeys for keyagg blob";
 * 3 "invalid pubkey in key list"; 7 "aggregate pubkey is infinity" (needs a
 * hash collision); 9 "allocation failed", "internal error". */
QORVEX_API int qorvex_musig2_key_agg(qorvex_ctx *ctx, const uint8_t *pubkeys, size_t n_pubkeys,
                                     uint8_t *keyagg_out, uint8_t *agg_pubkey32_out);

/* A signer's nonce pair for one signing session: the secret nonce
 * (QORVEX_MUSIG2_SECNONCE_SIZE, keep it secret and use it once) and the
 * public nonce to publish (QORVEX_MUSIG2_PUBNONCE_SIZE). pubkey32 (the
 * signer's x-only key), agg_pubkey32 and msg32 are only hashed in.
 * extra_rand32: 32 fresh random bytes, never used twice (see the misuse
 * rules above), or NULL for randomness from the operating system (getrandom;
 * the process aborts if it fails). The same non-NULL extra_rand32 with the
 * same inputs gives the same nonce.
 * Codes: 2 "privkey is zero or >= n" (outputs untouched). */
QORVEX_API int qorvex_musig2_nonce_gen(qorvex_ctx *ctx, const uint8_t *privkey32, const uint8_t *pubkey32,
                                       const uint8_t *agg_pubkey32, const uint8_t *msg32,
                                       const uint8_t *extra_rand32, uint8_t *secnonce_out,
                                       uint8_t *pubnonce_out);

/* Sums n_pubnonces public nonces (66 bytes each, in any order) into the
 * aggregate nonce (QORVEX_MUSIG2_AGGNONCE_SIZE), zeroed first.
 * Codes: 5 "need >= 2 nonces", "nonce count too large" (above
 * QORVEX_MUSIG2_MAX_NONCES), "invalid pubnonce R1", "invalid pubnonce R2",
 * "aggregated nonce is infinity". */
QORVEX_API int qorvex_musig2_nonce_agg(qorvex_ctx *ctx, const uint8_t *pubnonces, size_t n_pubnonces,
                                       uint8_t *aggnonce_out);

/* The session blob (QORVEX_MUSIG2_SESSION_SIZE, zeroed first) for signing
 * msg32 under keyagg with the aggregate nonce; either half of aggnonce may
 * be 33 zero bytes (infinity).
 * Codes: 5 "invalid agg nonce R1", "invalid agg nonce R2"; keyagg: 5 "invalid
 * keyagg participant count", 2 "invalid aggregated key", 5 "invalid key
 * coefficient in keyagg"; 9 internal error. */
QORVEX_API int qorvex_musig2_start_sign_session(qorvex_ctx *ctx, const uint8_t *aggnonce,
                                                const uint8_t *keyagg, const uint8_t *msg32,
                                                uint8_t *session_out);

/* The first version, disabled: it cannot check that privkey belongs at
 * signer_index. For any non-NULL arguments it zeroes partial_sig_out, wipes
 * secnonce and returns 12 (QORVEX_ERR_DEPRECATED) with the first 127
 * characters of a message naming qorvex_musig2_partial_sign_v2. */
QORVEX_API int qorvex_musig2_partial_sign(qorvex_ctx *ctx, uint8_t *secnonce, const uint8_t *privkey32,
                                          const uint8_t *keyagg, const uint8_t *session,
                                          size_t signer_index, uint8_t *partial_sig_out);

/* The signer's partial signature (QORVEX_MUSIG2_PARTIAL_SIG_SIZE). pubkeys
 * is the key list given to qorvex_musig2_key_agg (n * 33 bytes, n from
 * keyagg); privkey32 * G must be pubkeys[signer_index].
 * secnonce is read and then OVERWRITTEN WITH ZEROS on every return after
 * the pointer checks, whatever the outcome: a secret nonce signs once.
 * partial_sig_out is zero on failure.
 * Codes: 2 "privkey is zero or >= n"; keyagg codes as for the session;
 * 5 "signer_index out of range"; 2 "privkey does not match
 * pubkeys[signer_index] — wrong signer_index"; 5 "invalid secnonce k1"
 * (also a secnonce already used), "invalid secnonce k2"; session: 5 "invalid
 * session R point", "invalid session scalar b", "invalid session scalar e",
 * "invalid session participant count", "session participant count does not
 * match keyagg"; 9 "musig2_partial_sign produced degenerate zero output". */
QORVEX_API int qorvex_musig2_partial_sign_v2(qorvex_ctx *ctx, uint8_t *secnonce, const uint8_t *privkey32,
                                             const uint8_t *pubkeys, const uint8_t *keyagg,
                                             const uint8_t *session, size_t signer_index,
                                             uint8_t *partial_sig_out);

/* 0 when partial_sig is signer_index's valid partial signature for its
 * public nonce (66) and x-only key (32; either parity of the full key is
 * accepted). Codes: 4 "partial sig >= n"; keyagg codes; 5 "signer_index out
 * of range"; session codes (as for signing); 6 "partial sig verify failed"
 * (also for a public nonce or key that does not parse); 9 internal error. */
QORVEX_API int qorvex_musig2_partial_verify(qorvex_ctx *ctx, const uint8_t *partial_sig,
                                            const uint8_t *pubnonce, const uint8_t *pubkey32,
                                            const uint8_t *keyagg, const uint8_t *session,
                                            size_t signer_index);

/* The 64-byte BIP-340 signature from all n partial signatures (32 bytes
 * each). sig64_out is written on success, or zeroed for a zero sum. The
 * partial signatures are not verified here: a bad one gives a signature
 * that fails qorvex_schnorr_verify.
 * Codes: 5 "partial_sigs must be non-empty", "partial sig count too large";
 * 4 "partial sig >= n"; session codes; 5 "partial_sigs count does not match
 * session participant count"; 9 "aggregate signature is zero". */
QORVEX_API int qorvex_musig2_partial_sig_agg(qorvex_ctx *ctx, const uint8_t *partial_sigs,
                                             size_t n_partial_sigs, const uint8_t *session,
                                             uint8_t *sig64_out);

/* ------------------------------------------------------------------------ */
/* FROST: t-of-N threshold Schnorr signatures, with dealerless key           */
/* generation, ending in an ordinary BIP-340 signature under the x-only form */
/* of the group key (bytes 1..32 of the 33-byte group key).                  */
/*                                                                          */
/* Key generation: each participant 1..N calls qorvex_frost_keygen_begin     */
/* once with its own secret seed, sends its commitment blob to everybody and */
/* entry j of its share blob to participant j only (over a private channel), */
/* then calls qorvex_frost_keygen_finalize with all N commitment blobs and   */
/* the N entries it received, and obtains its key package. Each commitment   */
/* carries a proof of knowledge of its constant term, so that no participant */
/* can choose the group key by cancelling the others' contributions.         */
/*                                                                          */
/* Signing: t or more signers each make a nonce pair; a coordinator gathers  */
/* their nonce commitments into one list, which every signer, verifier and   */
/* the aggregator must receive in the same order; each signer signs; the     */
/* coordinator may verify each partial signature and aggregates them.        */
/*                                                                          */
/* Misuse rules:                                                            */
/*  - A KEY PACKAGE HOLDS A SECRET SHARE: store it like a private key. A     */
/*    share blob entry is secret too, for its recipient only.                */
/*  - The seed of qorvex_frost_sign_nonce_gen must never be used twice: the  */
/*    nonces depend on nothing but the seed and the identifier, and one      */
/*    nonce used for two signing runs (another message or signer list)       */
/*    reveals the signing share. The keygen seed likewise serves one key     */
/*    generation only.                                                       */
/*  - A secret nonce is single-use: qorvex_frost_sign overwrites it with     */
/*    zeros on every return, so that a second use fails.                     */
/*  - Every blob from another party (commitments, shares, nonce commitments, */
/*    partial signatures, the group key) is checked in full before use.      */

#define QORVEX_FROST_MAX_PARTICIPANTS  1048576 /* N, and signers per list */
#define QORVEX_FROST_COMMITMENT_SIZE(t) (33 * (size_t)(t) + 72)
#define QORVEX_FROST_SHARE_ENTRY_SIZE  36 /* sender (4, LE) || share (32) */
#define QORVEX_FROST_SHARES_SIZE(n)    (QORVEX_FROST_SHARE_ENTRY_SIZE * (size_t)(n))
#define QORVEX_FROST_KEYPKG_SIZE       141 /* secret: holds the signing share */
#define QORVEX_FROST_NONCE_SIZE        64  /* d || e: secret, single-use */
#define QORVEX_FROST_NONCE_COMMIT_SIZE 70  /* id (4, LE) || D (33) || E (33) */
#define QORVEX_FROST_PARTIAL_SIG_SIZE  36  /* id (4, LE) || z (32) */

/* Participant participant_id's contribution to a threshold-of-
 * num_participants key, derived from seed32 (32 secret random bytes, never
 * reused). Writes the commitment blob (QORVEX_FROST_COMMITMENT_SIZE(t):
 * t, sender, C_0 .. C_{t-1}, then the proof x(R) || z) and the share blob
 * (QORVEX_FROST_SHARES_SIZE(N), entry j - 1 for participant j); *commits_len
 * and *shares_len hold the capacities and receive the sizes. On failure
 * buffers and lengths are untouched.
 * Codes: 5 "invalid threshold" (t < 2 or N < t), "invalid participant_id"
 * (0 or above N), "num_participants too large" (above
 * QORVEX_FROST_MAX_PARTICIPANTS); 10 "commits buffer too small", "shares
 * buffer too small"; 9 "allocation failed", "internal error". */
QORVEX_API int qorvex_frost_keygen_begin(qorvex_ctx *ctx, uint32_t participant_id, uint32_t threshold,
                                         uint32_t num_participants, const uint8_t *seed32,
                                         uint8_t *commits_out, size_t *commits_len,
                                         uint8_t *shares_out, size_t *shares_len);

/* Participant participant_id's key package (QORVEX_FROST_KEYPKG_SIZE) from
 * the N commitment blobs, concatenated in any order (all_commits_len =
 * N * QORVEX_FROST_COMMITMENT_SIZE(t)), and the N share entries addressed to
 * it, one from every participant including itself, in any order
 * (received_shares_len = QORVEX_FROST_SHARES_SIZE(N)). Every participant must
 * be given the same t, N and commitment blobs. keypkg_out is written only on
 * success. Codes: 5 as qorvex_frost_keygen_begin; 5 "all_commits length does
 * not match threshold and num_participants", "received_shares length does
 * not match num_participants"; per commitment blob: 5 "invalid commitment
 * coefficient count", "invalid commitment sender", "duplicate commitment
 * sender", "invalid commitment coefficient", "invalid commitment proof of
 * knowledge"; per share: 5 "invalid share sender", "duplicate share
 * sender", "invalid share scalar"; 9 "FROST keygen finalize failed" (a share
 * that does not match its sender's commitments, or a degenerate key);
 * 9 "allocation failed", "internal error". */
QORVEX_API int qorvex_frost_keygen_finalize(qorvex_ctx *ctx, uint32_t participant_id,
                                            const uint8_t *all_commits, size_t all_commits_len,
                                            const uint8_t *received_shares, size_t received_shares_len,
                                            uint32_t threshold, uint32_t num_participants,
                                            uint8_t *keypkg_out);

/* A signer's nonce pair for one signing run, from seed32 (32 secret random
 * bytes that must NEVER be used for another run): the secret nonce
 * (QORVEX_FROST_NONCE_SIZE) and the nonce commitment to publish
 * (QORVEX_FROST_NONCE_COMMIT_SIZE). The same seed and identifier always give
 * the same pair. Codes: 5 "invalid participant_id" (0; outputs untouched). */
QORVEX_API int qorvex_frost_sign_nonce_gen(qorvex_ctx *ctx, uint32_t participant_id, const uint8_t *seed32,
                                           uint8_t *nonce_out, uint8_t *nonce_commit_out);

/* The signer's partial signature (QORVEX_FROST_PARTIAL_SIG_SIZE) of msg32,
 * with its key package, its secret nonce and the n_signers nonce
 * commitments of the signing set (70 bytes each, in the coordinator's
 * order, its own among them). nonce is read and then OVERWRITTEN WITH ZEROS
 * on every return after the pointer checks: a secret nonce signs once.
 * partial_sig_out is zero on failure.
 * Codes: 5 "n_signers must be non-zero", "n_signers too large"; 2 "invalid
 * key package participant metadata", "invalid key package threshold";
 * 5 "invalid signer count" (above N), "n_signers below threshold (FROST
 * requires >= t signers)"; 2 "invalid signing share in keypkg", "invalid
 * verification share", "invalid group public key"; 5 "invalid hiding
 * nonce" (also a nonce already used), "invalid binding nonce"; per
 * commitment: 5 "invalid nonce commitment signer" (0 or above N), "duplicate
 * nonce commitment signer", "invalid hiding nonce point", "invalid binding
 * nonce point"; 5 "missing signer nonce commitment"; 9 "FROST signer
 * returned invalid partial signature"; 9 "allocation failed", "internal
 * error". */
QORVEX_API int qorvex_frost_sign(qorvex_ctx *ctx, const uint8_t *keypkg, uint8_t *nonce, const uint8_t *msg32,
                                 const uint8_t *nonce_commits, size_t n_signers, uint8_t *partial_sig_out);

/* 0 when partial_sig is valid for its signer's verification share (33,
 * from the signer's key package), the nonce commitments, msg32 and the
 * group key (33). Codes: 5 "n_signers must be non-zero", "n_signers too
 * large", "partial_sig.id must be non-zero"; 4 "invalid partial sig scalar";
 * 3 "invalid verification share"; per commitment: 5 "nonce commitment signer
 * IDs must be non-zero", "duplicate nonce commitment signer IDs", "invalid
 * hiding nonce point", "invalid binding nonce point"; 5 "partial_sig.id not
 * found in nonce_commits"; 3 "invalid group public key"; 6 "FROST partial
 * signature verification failed"; 9 "allocation failed", "internal error". */
QORVEX_API int qorvex_frost_verify_partial(qorvex_ctx *ctx, const uint8_t *partial_sig,
                                           const uint8_t *verification_share33,
                                           const uint8_t *nonce_commits, size_t n_signers,
                                           const uint8_t *msg32, const uint8_t *group_pubkey33);

/* The 64-byte BIP-340 signature from the partial signatures (36 bytes each,
 * any order) of every signer in the nonce commitment list. sig64_out is
 * zero on failure. The result is not verified: verify the partial
 * signatures first, or the signature with qorvex_schnorr_verify.
 * Codes: 5 "partial_sigs must be non-empty", "n_signers must be non-zero",
 * "partial/nonces signer count mismatch", "signer count too large"; per
 * partial signature: 5 "invalid partial sig signer", "duplicate partial sig
 * signer", 4 "invalid partial sig scalar" (also z = 0); per commitment: 5
 * "invalid nonce commitment signer", "duplicate nonce commitment signer",
 * "invalid hiding nonce point", "invalid binding nonce point"; 5 "partial sig
 * signer missing from nonce commitments"; 2 "invalid group public key";
 * 9 "FROST aggregate produced invalid signature"; 9 "allocation failed",
 * "internal error". */
QORVEX_API int qorvex_frost_aggregate(qorvex_ctx *ctx, const uint8_t *partial_sigs, size_t n_partial_sigs,
                                      const uint8_t *nonce_commits, size_t n_signers,
                                      const uint8_t *group_pubkey33, const uint8_t *msg32,
                                      uint8_t *sig64_out);
/* ECDH. The peer's key is a 33-byte compressed key only (a 65-byte key     */
/* cannot be passed). The multiplication runs in constant time.            */

#define QORVEX_ECDH_SECRET_SIZE 32

/* out32 = SHA-256 of the compressed shared point S = seckey * peer (the
 * 0x02/0x03 prefix by the parity of y(S), then x(S)). Codes: 2 "privkey is
 * zero or >= n"; 3 "invalid or infinity pubkey" (bad prefix, x >= p, x not
 * on the curve). out32 is written only on success. */
QORVEX_API int qorvex_ecdh(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *pub33,
                           uint8_t *out32);

/* As qorvex_ecdh, out32 = SHA-256 of the 32-byte x(S). */
QORVEX_API int qorvex_ecdh_xonly(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *pub33,
                                 uint8_t *out32);

/* As qorvex_ecdh, out32 = x(S) itself, unhashed. */
QORVEX_API int qorvex_ecdh_raw(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *pub33,
                               uint8_t *out32);

/* ------------------------------------------------------------------------ */
/* ECIES: encryption to a 33-byte compressed public key. The envelope is     */
/* E (33, ephemeral key) || IV (16) || ciphertext (same length as the        */
/* plaintext) || tag (32, HMAC-SHA256 over everything before it), with keys  */
/* from HKDF-SHA256 (salt "ecies-kdf-salt-01", info E) and AES-256-CTR.      */

#define QORVEX_ECIES_OVERHEAD          81 /* envelope length - plaintext length */
#define QORVEX_ECIES_MIN_ENVELOPE_SIZE 82 /* a one-byte plaintext */

/* Encrypts plaintext_len bytes (at least 1) with a fresh ephemeral key and
 * IV from the operating system. *envelope_len holds the capacity of
 * envelope_out and receives plaintext_len + QORVEX_ECIES_OVERHEAD. The
 * envelope buffer may overlap the plaintext. Codes: 5 (no message, the
 * context untouched) for plaintext_len 0; 5 "plaintext_len too large";
 * 10 "envelope buffer too small" (buffer and length untouched);
 * 3 "invalid recipient pubkey"; 9 "ECIES encryption failed" (a zero
 * ephemeral scalar or shared secret), "allocation failed". Outputs are
 * written only on success. */
QORVEX_API int qorvex_ecies_encrypt(qorvex_ctx *ctx, const uint8_t *recipient_pub33,
                                    const uint8_t *plaintext, size_t plaintext_len,
                                    uint8_t *envelope_out, size_t *envelope_len);

/* Checks the tag and decrypts an envelope of envelope_len bytes (at least
 * QORVEX_ECIES_MIN_ENVELOPE_SIZE). *plaintext_len holds the capacity of
 * plaintext_out and receives envelope_len - QORVEX_ECIES_OVERHEAD; the
 * plaintext buffer may overlap the envelope. Codes: 5 (no message, the
 * context untouched) for an envelope shorter than 82 bytes; 10 "plaintext
 * buffer too small"; 2 "privkey is zero or >= n"; 6 "ECIES decryption failed
 * (bad key or tampered)" for a wrong key and a modified envelope alike;
 * 9 "allocation failed". Outputs are written only on success. */
QORVEX_API int qorvex_ecies_decrypt(qorvex_ctx *ctx, const uint8_t *seckey32,
                                    const uint8_t *envelope, size_t envelope_len,
                                    uint8_t *plaintext_out, size_t *plaintext_len);

/* ------------------------------------------------------------------------ */
/* Pedersen commitments C = value*H + blinding*G (+ switch_blind*J). Values  */
/* and blinding factors are 32-byte big-endian scalars below n (zero         */
/* allowed), handled in constant time. H and J are points of unknown         */
/* discrete logarithm (SHA-256 of "Pedersen_generator_H" and                 */
/* "Pedersen_switch_J", increased until on the curve; even y).               */

#define QORVEX_PEDERSEN_COMMITMENT_SIZE 33
#define QORVEX_PEDERSEN_MAX_COUNT       1048576 /* most items per list (2^20) */

/* The compressed commitment; value = blinding = 0 gives 33 zero bytes (and
 * code 0). Codes: 5 "value >= n", "blinding >= n". */
QORVEX_API int qorvex_pedersen_commit(qorvex_ctx *ctx, const uint8_t *value32,
                                      const uint8_t *blinding32, uint8_t *commitment33_out);

/* The commitment with the switch term. Codes: 5 "value >= n", "blinding >= n",
 * "switch_blind >= n". */
QORVEX_API int qorvex_pedersen_switch_commit(qorvex_ctx *ctx, const uint8_t *value32,
                                             const uint8_t *blinding32,
                                             const uint8_t *switch_blind32,
                                             uint8_t *commitment33_out);

/* 0 when commitment33 commits to value and blinding. Codes: 5 "value >= n",
 * "blinding >= n", "invalid commitment point" (33 zero bytes included);
 * 6 "Pedersen verify failed". */
QORVEX_API int qorvex_pedersen_verify(qorvex_ctx *ctx, const uint8_t *commitment33,
                                      const uint8_t *value32, const uint8_t *blinding32);

/* 0 when the n_positives commitments (33 bytes each, consecutive) and the
 * n_negatives ones sum to the same point; two empty lists balance. An array
 * may be NULL when its count is 0. Codes: 5 "commitment count too large"
 * (either count above QORVEX_PEDERSEN_MAX_COUNT), "invalid positive
 * commitment", "invalid negative commitment"; 6 "Pedersen sum verify
 * failed"; 9 "allocation failed". */
QORVEX_API int qorvex_pedersen_verify_sum(qorvex_ctx *ctx, const uint8_t *positives,
                                          size_t n_positives, const uint8_t *negatives,
                                          size_t n_negatives);

/* blind32_out = sum of the input blinds - sum of the output blinds mod n
 * (32 bytes each, consecutive; zero is a valid result). An array may be
 * NULL when its count is 0. Codes: 5 "blind count too large", "invalid input
 * blind", "invalid output blind" (a blind >= n). blind32_out is written only
 * on success. */
QORVEX_API int qorvex_pedersen_blind_sum(qorvex_ctx *ctx, const uint8_t *input_blinds,
                                         size_t n_input_blinds, const uint8_t *output_blinds,
                                         size_t n_output_blinds, uint8_t *blind32_out);

/* ------------------------------------------------------------------------ */
/* Knowledge and DLEQ proofs, 64 bytes each, with deterministic nonces from  */
/* the secret, the statement and 32 bytes of auxiliary data. Points are      */
/* 33-byte compressed keys.                                                  */

#define QORVEX_ZK_KNOWLEDGE_PROOF_SIZE 64 /* x(R) || s */
#define QORVEX_ZK_DLEQ_PROOF_SIZE      64 /* e || s */

/* Proof of knowledge of secret32 = log_G(pub33), bound to msg32. The pair is
 * not checked (a mismatched one gives a proof that fails verification).
 * Codes: 2 "secret is zero or >= n"; 3 "invalid pubkey"; 9 "internal error"
 * (a zero nonce, which no known input gives). */
QORVEX_API int qorvex_zk_knowledge_prove(qorvex_ctx *ctx, const uint8_t *secret32,
                                         const uint8_t *pub33, const uint8_t *msg32,
                                         const uint8_t *aux32, uint8_t *proof64_out);

/* 0 when the proof is valid for pub33 and msg32. s is read modulo n.
 * Codes: 3 "invalid pubkey"; 5 "invalid knowledge proof" (s = 0);
 * 6 "knowledge proof failed". */
QORVEX_API int qorvex_zk_knowledge_verify(qorvex_ctx *ctx, const uint8_t *proof64,
                                          const uint8_t *pub33, const uint8_t *msg32);

/* Proof that pub1 = x*base1 and pub2 = x*base2 for x = secret32. A false
 * statement is refused (a proof of one would let a verifier choosing the
 * bases recover x). Codes: 2 "secret is zero or >= n"; 3 "invalid DLEQ
 * point"; 5 "DLEQ statement does not hold"; 9 "internal error" (a zero
 * nonce, which no known input gives). */
QORVEX_API int qorvex_zk_dleq_prove(qorvex_ctx *ctx, const uint8_t *secret32,
                                    const uint8_t *base1_33, const uint8_t *base2_33,
                                    const uint8_t *pub1_33, const uint8_t *pub2_33,
                                    const uint8_t *aux32, uint8_t *proof64_out);

/* 0 when the proof is valid. e and s are read modulo n. Codes: 3 "invalid
 * DLEQ point"; 5 "invalid DLEQ proof" (e or s zero); 6 "DLEQ proof
 * failed". */
QORVEX_API int qorvex_zk_dleq_verify(qorvex_ctx *ctx, const uint8_t *proof64,
                                     const uint8_t *base1_33, const uint8_t *base2_33,
                                     const uint8_t *pub1_33, const uint8_t *pub2_33);

/* ------------------------------------------------------------------------ */
/* Range proofs: Bulletproofs that a Pedersen commitment C = value*H +       */
/* blinding*G (as qorvex_pedersen_commit makes it) hides a value in          */
/* [0, 2^64), without revealing it. A proof is 688 bytes:                    */
/* A, S, T1, T2 (33 each) || tau_x, mu, t_hat (32 each) || L_0..L_5 (33      */
/* each) || R_0..R_5 (33 each) || a, b (32 each). The inner-product point    */
/* and every round challenge are bound to the transcript before them.        */

#define QORVEX_ZK_RANGE_PROOF_SIZE 688

/* Proves that commitment33 hides value. All randomness is derived from the
 * blinding, the commitment and aux32 (the same inputs give the same proof;
 * pass fresh random aux32 for unlinkable proofs). Constant time in value
 * and blinding; the inner-product rounds run in variable time on the
 * vectors l(x) and r(x), which are blinded by random vectors and which the
 * protocol without its compression would publish outright, so their timing
 * tells nothing about either. *proof_len holds the capacity of proof_out
 * and receives QORVEX_ZK_RANGE_PROOF_SIZE. Codes, in this order:
 * 5 "blinding >= n"; 5 "invalid commitment point"; 5 "commitment does not
 * match value and blinding" (also value 0 with blinding 0, whose commitment
 * is the point at infinity); 9 "internal error" (a zero challenge, which no
 * known input gives), "allocation failed" (the fixed tables on a first
 * call, the folded generators' tables, about 140 KB, on every call);
 * 10 "range proof buffer too small" (checked after proving; buffer and
 * length untouched). Outputs are written only on success. */
QORVEX_API int qorvex_zk_range_prove(qorvex_ctx *ctx, uint64_t value, const uint8_t *blinding32,
                                     const uint8_t *commitment33, const uint8_t *aux32,
                                     uint8_t *proof_out, size_t *proof_len);

/* 0 when proof (proof_len bytes) shows that commitment33 hides a value in
 * [0, 2^64). Codes, in this order: 5 "range proof too short" (proof_len
 * below QORVEX_ZK_RANGE_PROOF_SIZE), "range proof length mismatch" (above
 * it), "invalid point in range proof", "invalid scalar in range proof" (a
 * scalar >= n), "invalid commitment point"; 6 "range proof failed";
 * 9 "allocation failed". */
QORVEX_API int qorvex_zk_range_verify(qorvex_ctx *ctx, const uint8_t *commitment33,
                                      const uint8_t *proof, size_t proof_len);

/* ------------------------------------------------------------------------ */
/* Adaptor signatures. A pre-signature is bound to an adaptor point T = t*G  */
/* (33 bytes compressed); the adaptor secret t turns it into an ordinary     */
/* signature, and that signature with the pre-signature gives t back.        */
/* Schnorr pre-signature (97 bytes): R_hat (33) || s_hat (32) || negated     */
/* flag (1; any non-zero byte reads as 1) || 31 zero bytes (ignored).        */
/* ECDSA pre-signature (162 bytes): R_hat = k*G (33) || R = k*T (33) ||      */
/* s_hat (32) || e (32) || v (32), (e, v) a proof that R_hat and R share k.  */
/* Outputs are written only on success.                                      */

#define QORVEX_SCHNORR_ADAPTOR_PRESIG_SIZE 97
#define QORVEX_ECDSA_ADAPTOR_PRESIG_SIZE   162

/* Codes: 2 "privkey is zero or >= n"; 3 "invalid adaptor point";
 * 9 "adaptor sign produced degenerate output". */
QORVEX_API int qorvex_schnorr_adaptor_sign(qorvex_ctx *ctx, const uint8_t *seckey32,
                                           const uint8_t *msg32, const uint8_t *adaptor33,
                                           const uint8_t *aux32, uint8_t *presig97_out);

/* 0 when valid for the x-only key, the message and T. Codes: 4 "invalid
 * adaptor R_hat", "invalid adaptor sig scalar"; 3 "non-canonical pubkey
 * (x>=p)", "invalid adaptor point"; 6 "adaptor verify failed" (also for a
 * key x not on the curve). */
QORVEX_API int qorvex_schnorr_adaptor_verify(qorvex_ctx *ctx, const uint8_t *presig97,
                                             const uint8_t *xonly32, const uint8_t *msg32,
                                             const uint8_t *adaptor33);

/* The BIP-340 signature for adaptor secret t. Codes: 4 "invalid adaptor
 * R_hat", "invalid adaptor sig scalar"; 5 "adaptor secret is zero or >= n". */
QORVEX_API int qorvex_schnorr_adaptor_adapt(qorvex_ctx *ctx, const uint8_t *presig97,
                                            const uint8_t *secret32, uint8_t *sig64_out);

/* t from the pre-signature and the adapted signature (whose r is not
 * compared). Codes: 4 "invalid adaptor R_hat", "invalid adaptor sig scalar",
 * "invalid schnorr signature" (r >= p, s = 0 or s >= n); 9 "adaptor extract
 * failed" (t = 0). */
QORVEX_API int qorvex_schnorr_adaptor_extract(qorvex_ctx *ctx, const uint8_t *presig97,
                                              const uint8_t *sig64, uint8_t *secret32_out);

/* Codes: 2 "privkey is zero or >= n"; 3 "invalid adaptor point";
 * 9 "adaptor sign produced degenerate output". */
QORVEX_API int qorvex_ecdsa_adaptor_sign(qorvex_ctx *ctx, const uint8_t *seckey32,
                                         const uint8_t *msg32, const uint8_t *adaptor33,
                                         uint8_t *presig162_out);

/* 0 when valid for the compressed key, the message and T. Codes: 4 "invalid
 * adaptor pre-signature"; 3 "invalid pubkey", "invalid adaptor point";
 * 6 "ECDSA adaptor verify failed". */
QORVEX_API int qorvex_ecdsa_adaptor_verify(qorvex_ctx *ctx, const uint8_t *presig162,
                                           const uint8_t *pub33, const uint8_t *msg32,
                                           const uint8_t *adaptor33);

/* The compact signature r || s_hat/t, not normalised to low-S (about half
 * of them are high-S, which qorvex_ecdsa_verify refuses until normalised).
 * Codes: 4 "invalid adaptor pre-signature"; 5 "adaptor secret is zero or
 * >= n". */
QORVEX_API int qorvex_ecdsa_adaptor_adapt(qorvex_ctx *ctx, const uint8_t *presig162,
                                          const uint8_t *secret32, uint8_t *sig64_out);

/* t = s_hat/s from the pre-signature and the adapted compact signature
 * (exact for the s adapt produced; a signature normalised to n - s gives
 * n - t). Codes: 4 "invalid adaptor pre-signature", "invalid ECDSA sig";
 * 9 "ECDSA adaptor extract failed". */
QORVEX_API int qorvex_ecdsa_adaptor_extract(qorvex_ctx *ctx, const uint8_t *presig162,
                                            const uint8_t *sig64, uint8_t *secret32_out);

/* ------------------------------------------------------------------------ */
/* Compact block filters: Golomb-coded sets with the BIP-158 basic           */
/* parameters (SipHash-2-4, P = 19, M = 784931). No context: the result is   */
/* the return code alone. A filter here is the coded bit stream only; the    */
/* element count N that BIP-158 serializes in front of it (a compact size)   */
/* is kept by the caller and passed to the queries. Filters come from other  */
/* parties and are read as hostile: never past filter_len bytes, in time     */
/* bounded by that length, with no allocation sized by N.                    */

#define QORVEX_GCS_KEY_SIZE 16     /* BIP-158: the first 16 bytes of the block hash, as serialized */
#define QORVEX_GCS_P        19     /* bits of each Golomb-Rice remainder */
#define QORVEX_GCS_M        784931 /* values fall in [0, N * M) */

/* Builds the filter of n elements (element i is element_lens[i] bytes at
 * elements[i]; it may be NULL when its length is 0). Duplicates are kept
 * (BIP-158 filters are built from a set: remove them first); n = 0 gives an
 * empty filter. *filter_len holds the capacity of filter_out on entry and
 * receives the length on success, ceil(bits / 8) bytes with zero padding.
 * Codes: 1 NULL key16, filter_out or filter_len, NULL arrays with n > 0, or
 * a NULL element with a non-zero length; 10 capacity below the length
 * (nothing written, *filter_len unchanged); 9 allocation failure. */
QORVEX_API int qorvex_gcs_build(const uint8_t *key16, const uint8_t *const *elements,
                                const size_t *element_lens, size_t n, uint8_t *filter_out,
                                size_t *filter_len);

/* 0 when the element matches the filter of n elements, 11 when it does not
 * (false positives occur with probability 1/M). Every one of the n codes is
 * read first. Codes: 1 NULL key16, filter or element (even with a length
 * of 0); 5 the filter holds fewer than n codes (also for an n that
 * filter_len bytes cannot hold at all, refused before any work); bytes
 * after the n-th code are ignored. Allocates nothing. */
QORVEX_API int qorvex_gcs_match(const uint8_t *key16, const uint8_t *filter, size_t filter_len, size_t n,
                                const uint8_t *element, size_t element_len);

/* 0 when any of element_count elements matches, 11 when none does (also
 * for element_count 0). The same answer as qorvex_gcs_match for each in
 * turn, reading the filter once. Codes: 1 NULL key16 or filter, NULL arrays
 * with a non-zero count, or a NULL element with a non-zero length; 5 as for
 * qorvex_gcs_match, whatever the elements; 9 allocation failure (8 bytes
 * per element). */
QORVEX_API int qorvex_gcs_match_any(const uint8_t *key16, const uint8_t *filter, size_t filter_len,
                                    size_t n, const uint8_t *const *elements,
                                    const size_t *element_lens, size_t element_count);

/* ------------------------------------------------------------------------ */
/* Silent payments on BIP-352's shared secret, in this library's own form   */
/* (not BIP-352's sp1q addresses): no input hash, the k-th output key        */
/* belongs at output position k, and the address is "sp", witness version 1  */
/* (Bech32m, 113 characters, beyond BIP-173's 90), with the program           */
/* x(B_scan) || x(B_spend). With S = (sum of the input private keys) *       */
/* B_scan = b_scan * (sum of the input public keys):                         */
/*     t_k = tagged_hash("BIP0352/SharedSecret", ser33(S) || k as 4 bytes    */
/*           big-endian) mod n,     P_k = B_spend + t_k * G.                 */
/* Private keys, S and the tweaks are handled in constant time and wiped.    */

#define QORVEX_SILENT_PAYMENT_ADDRESS_LENGTH 113     /* characters, without the NUL */
#define QORVEX_SILENT_PAYMENT_ADDRESS_SIZE   114     /* a buffer that holds it and the NUL */
#define QORVEX_SILENT_PAYMENT_TWEAK_SIZE     32
#define QORVEX_SILENT_PAYMENT_MAX_INPUTS     1048576 /* input keys per call */
#define QORVEX_SILENT_PAYMENT_MAX_OUTPUTS    1048576 /* outputs per scan */

/* The receiver's address: B_scan = scan_seckey32 * G and B_spend =
 * spend_seckey32 * G, compressed into scan_pub33_out and spend_pub33_out,
 * and the NUL-terminated address (it starts "sp1p") in address_out, whose
 * capacity is in *address_len; on success *address_len receives 113.
 * Codes: 2 "scan privkey is zero or >= n", "spend privkey is zero or >= n";
 * 10 "address buffer too small" (capacity 113 or less: the two public keys
 * are written, the address and *address_len are not). */
QORVEX_API int qorvex_silent_payment_address(qorvex_ctx *ctx, const uint8_t *scan_seckey32,
                                             const uint8_t *spend_seckey32, uint8_t *scan_pub33_out,
                                             uint8_t *spend_pub33_out, char *address_out, size_t *address_len);

/* The sender's output key for output position k: from the n_inputs private
 * keys of the transaction's inputs (32 bytes each, contiguous) and the
 * recipient's 33-byte compressed keys, P_k compressed into output_pub33_out
 * and, when tweak32_out is not NULL, t_k into it. Outputs are written only on
 * success (they may overlap the inputs). Codes: 1 a NULL pointer or n_inputs
 * of 0 (context untouched); 5 "input count too large" (more than
 * QORVEX_SILENT_PAYMENT_MAX_INPUTS), "input privkey array size overflow";
 * then, after the context's code is cleared: 2 "input privkey is zero or >=
 * n"; 3 "invalid recipient pubkey" (either key); 5 "output index k is
 * negative" (no scan would find it); 7 "input privkeys sum to zero" (S would
 * be infinity and the tweak public), "output point is infinity"; 9
 * "allocation failed", "internal error". */
QORVEX_API int qorvex_silent_payment_create_output(qorvex_ctx *ctx, const uint8_t *input_seckeys32,
                                                   size_t n_inputs, const uint8_t *scan_pub33,
                                                   const uint8_t *spend_pub33, int32_t k,
                                                   uint8_t *output_pub33_out, uint8_t *tweak32_out);

/* The receiver's scan of one transaction: the n_inputs 33-byte compressed
 * public keys of its inputs, and its n_outputs 32-byte x-only output keys
 * (contiguous). Output i is a match when x(P_i) for k = i equals its key (the
 * parity of y is not compared; the k-th key is compared only with output k).
 * *n_found holds on entry the capacity of the result arrays, in entries; on
 * success it receives the number of matches, and the first min(matches,
 * capacity) of them, in increasing position, are written: the position into
 * found_indices_out and the output's private key spend_seckey32 + t_i mod n
 * (32 bytes) into found_seckeys32_out; either array may be NULL. Input keys
 * that sum to infinity give no match (*n_found = 0). Codes: 1 a NULL required
 * pointer (context untouched); 5 n_inputs or n_outputs of 0 (context
 * untouched); 5 "input/output count too large" (either above 1048576), "silent
 * payment array size overflow"; then, after the context's code is cleared:
 * 2 "scan privkey is zero or >= n", "spend privkey is zero or >= n"; 3
 * "invalid input pubkey"; 9 "allocation failed", "internal error". */
QORVEX_API int qorvex_silent_payment_scan(qorvex_ctx *ctx, const uint8_t *scan_seckey32,
                                          const uint8_t *spend_seckey32, const uint8_t *input_pubkeys33,
                                          size_t n_inputs, const uint8_t *output_xonly32, size_t n_outputs,
                                          int *found_indices_out, uint8_t *found_seckeys32_out,
                                          size_t *n_found);

/* ------------------------------------------------------------------------ */
/* SNARK witnesses: every intermediate value of a signature verification,   */
/* for a caller that proves the verification in an arithmetic circuit. Each */
/* value is given as 32 big-endian bytes and again in limb52 form: five     */
/* 64-bit little-endian words, word k holding bits 52k .. 52k+51 (the last  */
/* bits 208 .. 255). Coordinates are below p, scalars below n. The record    */
/* ends with a 32-bit little-endian flag, 1 when the signature verifies.    */
/* The call succeeds for any well-formed input, valid signature or not.     */
/* The record is written only on success (it may overlap the inputs).       */

#define QORVEX_ZK_LIMB52_SIZE                40
#define QORVEX_ZK_ECDSA_SNARK_WITNESS_SIZE  756
#define QORVEX_ZK_SCHNORR_SNARK_WITNESS_SIZE 468

/* The ECDSA record of sig64 (r || s) over msg32 under a 33-byte compressed
 * key Q, with z = msg32 mod n, w = s^-1, u1 = z*w, u2 = r*w, R = u1*G + u2*Q
 * (offsets in bytes):
 *     0 msg32 as given     32 r as given     64 s as given
 *    96 Q.x               128 Q.y           160 w
 *   192 u1                224 u2            256 R.x
 *   288 R.y               320 R.x mod n
 *   352 limb52 of r, s, Q.x, Q.y, w, u1, u2, R.x, R.y, R.x mod n (40 each)
 *   752 valid: R.x mod n = r (no low-S rule)
 * R.x, R.y, R.x mod n and valid are zero when R is infinity.
 * Codes: 5 "invalid pubkey"; 5 "invalid sig r" (r = 0 or >= n);
 * 5 "invalid sig s" (s = 0 or >= n); 9 internal error. */
QORVEX_API int qorvex_zk_ecdsa_snark_witness(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *pubkey33,
                                             const uint8_t *sig64, uint8_t *witness_out);

/* The BIP-340 record of sig64 (r || s) over msg32 under the x-only key
 * pubkey_x32, with R = lift_x(r), P = lift_x(key) (even y) and e the
 * challenge (offsets in bytes):
 *     0 msg32 as given     32 r as given     64 s as given
 *    96 key x as given    128 R.y           160 P.y
 *   192 e
 *   224 limb52 of r mod p, s, key x mod p, R.y, P.y, e (40 each)
 *   464 valid: s*G - e*P has even y and x = r
 * r and the key are not checked: when r does not lift, R.y, P.y, e and
 * valid are zero; when the key does not, P.y, e and valid.
 * Codes: 5 "invalid sig s" (s = 0 or >= n); 9 internal error. */
QORVEX_API int qorvex_zk_schnorr_snark_witness(qorvex_ctx *ctx, const uint8_t *msg32,
                                               const uint8_t *pubkey_x32, const uint8_t *sig64,
                                               uint8_t *witness_out);

/* ------------------------------------------------------------------------ */
/* Signed messages (Bitcoin's signmessage form and BIP-322) and PSBT        */
/* signing                                                                  */

#define QORVEX_BTC_MESSAGE_SIG_SIZE         65  /* header || r || s */
#define QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE    89  /* its Base64: 88 characters and the NUL */
#define QORVEX_BIP322_P2WPKH                 1  /* address types of the BIP-322 functions */
#define QORVEX_BIP322_P2TR                   2
#define QORVEX_BIP322_SCHNORR_SIG_SIZE      64  /* qorvex_bip322_sign, address type 2 */
#define QORVEX_BIP322_ECDSA_SIG_SIZE        65  /* qorvex_bip322_sign, other types: r || s || 0x01 */
#define QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE  145  /* longest simple signature made: 144 characters and the NUL */
#define QORVEX_PSBT_ECDSA_SIG_MAX_SIZE      73  /* DER (at most 72) and the sighash byte */
#define QORVEX_PSBT_TAPROOT_SIG_MAX_SIZE    65  /* BIP-340 signature and a non-zero sighash byte */

/* The signed-message hash: double SHA-256 of 0x18 "Bitcoin Signed
 * Message:\n" || compact size of msg_len || msg. No context. Codes: 1 NULL
 * argument (msg is required even when msg_len is 0). */
QORVEX_API int qorvex_btc_message_hash(const uint8_t *msg, size_t msg_len, uint8_t *out32);

/* Signs a message in the signmessage form: a recoverable low-S ECDSA
 * signature (RFC 6979) of qorvex_btc_message_hash, written as the Base64
 * (RFC 4648, '=' padding) of header || r || s, header = 31 + recovery id
 * (a compressed key). *sig_b64_len holds the capacity; the text takes 88
 * characters and its NUL (QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE) and *sig_b64_len
 * receives 88. Once the inputs are read, a non-zero capacity gets the empty
 * text first (the output may overlap them). Every failure below sets
 * *sig_b64_len to 0. msg is required even when msg_len is 0.
 * Codes: 2 "privkey is zero or >= n"; 9 "bitcoin message signer returned
 * invalid signature"; 10 "base64 buffer too small" (capacity below 89). */
QORVEX_API int qorvex_btc_message_sign(qorvex_ctx *ctx, const uint8_t *msg, size_t msg_len,
                                       const uint8_t *seckey32, char *sig_b64_out, size_t *sig_b64_len);

/* 0 when sig_b64 is a valid signmessage signature of msg by the 33-byte
 * compressed key pub33. The text must be exactly 88 characters of strict
 * Base64 (alphabet characters only, '=' only as the last character, unused
 * bits zero) decoding to 65 bytes with a header of 27 to 34 and r, s in
 * [1, n-1]; the ECDSA check does not require low S. The recovery id and
 * compression flag of the header are not used: the signature is checked
 * against pub33. At most 89 characters of sig_b64 are read.
 * Codes: 3 "invalid pubkey"; 4 "invalid base64 signature"; 6 "BTC message
 * verify failed"; 9 internal error. */
QORVEX_API int qorvex_btc_message_verify(qorvex_ctx *ctx, const uint8_t *msg, size_t msg_len,
                                         const uint8_t *pub33, const char *sig_b64);

/* A simplified BIP-322 signature: a signature of the tagged hash
 * TaggedHash("BIP0322-signed-message", msg), without the virtual
 * transactions (for signatures other wallets check, see
 * qorvex_bip322_simple_sign). addr_type 2 (QORVEX_BIP322_P2TR): BIP-340 by
 * the key as given with 32 zero bytes of auxiliary randomness, so the same
 * 64 bytes on every call. Any other addr_type: low-S ECDSA (RFC 6979),
 * r || s || 0x01, 65 bytes. *sig_len holds the capacity and receives 64 or
 * 65. msg may be NULL when msg_len is 0. Codes: 2 "privkey is zero or >= n";
 * 10 "P2TR sig buffer too small (need 64)"; 10 "ECDSA sig buffer too small
 * (need 65)"; 9 "signing produced degenerate output". */
QORVEX_API int qorvex_bip322_sign(qorvex_ctx *ctx, const uint8_t *seckey32, int addr_type, const uint8_t *msg,
                                  size_t msg_len, uint8_t *sig_out, size_t *sig_len);

/* 0 when sig is a simplified BIP-322 signature of msg (see
 * qorvex_bip322_sign). addr_type 2: pubkey is a 32-byte x-only key and the
 * first 64 signature bytes are checked by qorvex_schnorr_verify, whose
 * codes and messages are returned. Other types: pubkey is a 33-byte
 * compressed key; the first 64 bytes are r || s (bytes after them, such as
 * the 0x01, are not read), s must be low (BIP-62). msg may be NULL when
 * msg_len is 0. Codes: 3 "P2TR requires 32-byte x-only pubkey"; 4 "P2TR sig
 * must be at least 64 bytes"; 3 "requires 33-byte compressed pubkey"; 4 "sig
 * must be at least 64 bytes"; 3 "invalid pubkey"; 5 "BIP-322 ECDSA sig parse
 * failed" (r or s zero or >= n); 6 "BIP-322 ECDSA high-S (non-BIP-62)"; 6
 * "BIP-322 ECDSA verify failed"; 9 internal error. */
QORVEX_API int qorvex_bip322_verify(qorvex_ctx *ctx, const uint8_t *pubkey, size_t pubkey_len, int addr_type,
                                    const uint8_t *msg, size_t msg_len, const uint8_t *sig, size_t sig_len);

/* A BIP-322 "simple" signature, the form wallets exchange: the Base64 of
 * the serialized witness stack that spends to_spend (paying 0 to the
 * signer's address, its input pushing the tagged message hash) in to_sign.
 * addr_type 1 (QORVEX_BIP322_P2WPKH): the key's P2WPKH address; BIP-143
 * digest, low-S ECDSA by RFC 6979, DER || 0x01 (SIGHASH_ALL); witness
 * [signature, compressed key]; aux32_or_null is not used. addr_type 2
 * (QORVEX_BIP322_P2TR): the key's BIP-86 P2TR address (the key tweaked
 * with no script tree); BIP-341 key-path digest with SIGHASH_DEFAULT and a
 * BIP-340 signature with aux32_or_null as auxiliary randomness (NULL: 32
 * zero bytes); witness [signature]. The text has no "smp" prefix: BIP-322
 * signers since version 1.0.0 prepend it, verifiers before it do not read
 * it (qorvex_bip322_simple_verify takes either). *out_len holds the capacity
 * (QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE suffices) and receives the length, as
 * for the address encoders. msg may be NULL when msg_len is 0. Constant
 * time in the key; every copy of it is wiped.
 * Codes: 2 "privkey is zero or >= n"; 5 "unsupported address type for
 * BIP-322 simple signatures"; 7 "taproot tweak resulted in zero"; 9
 * "signing produced degenerate output"; 10 "BIP-322 signature buffer too
 * small". */
QORVEX_API int qorvex_bip322_simple_sign(qorvex_ctx *ctx, const uint8_t *seckey32, int addr_type,
                                         const uint8_t *msg, size_t msg_len, const uint8_t *aux32_or_null,
                                         char *out, size_t *out_len);

/* 0 when signature_b64 is a BIP-322 simple signature of msg for address: a
 * P2WPKH address (bc1q... or tb1q..., a 20-byte version 0 program) or a
 * P2TR address (bc1p... or tb1p...), checked against to_sign as BIP-322's
 * required rules read for them: P2WPKH needs [DER signature || 0x01, the
 * 33-byte compressed key of the program], strict DER, low S; P2TR needs a
 * key-path spend, [64-byte signature] or [signature || 0x01], optionally
 * with an annex. The signature may carry BIP-322's "smp" prefix or none.
 * msg may be NULL when msg_len is 0.
 * Codes (the address is read first, then the text, then the witness):
 * 5 "invalid address"; 5 "BIP-322 simple signatures need a P2WPKH or P2TR
 * address"; 5 "full and proof-of-funds BIP-322 signatures are not
 * supported" ("ful" or "pof" prefix); 5 "BIP-322 signature too long" (over
 * 5464 characters after the prefix); 5 "BIP-322 signature is not valid
 * base64" (strict, as for qorvex_btc_message_verify); 5 "BIP-322 signature
 * is not a witness stack" (anything before, between or after the serialized
 * items); 5 "BIP-322 script-path signatures are not supported" (a P2TR
 * witness of two or more items besides an annex); 6 "BIP-322 witness does
 * not fit the address" (the item count, a key that is not the program's, a
 * P2TR signature of another size); 6 "BIP-322 signature must use
 * SIGHASH_ALL" (SIGHASH_DEFAULT too for P2TR); 6 "BIP-322 signature encoding
 * invalid" (not strict DER, high S, an explicit 0x00 hash type, r or s out
 * of range); 6 "BIP-322 signature verify failed"; 9 internal error. */
QORVEX_API int qorvex_bip322_simple_verify(qorvex_ctx *ctx, const char *address, const uint8_t *msg,
                                           size_t msg_len, const char *signature_b64);

/* The private key at path (the syntax of qorvex_bip32_derive_path) below
 * a record: qorvex_bip32_derive_path, then qorvex_bip32_privkey, whose codes
 * and messages are returned unchanged (so a public record with a
 * non-hardened path gives 2 "key is public, not private"). The derived
 * record is wiped; seckey32_out is written only on success. */
QORVEX_API int qorvex_psbt_derive_key(qorvex_ctx *ctx, const qorvex_bip32_key *key, const char *path,
                                      uint8_t *seckey32_out);

/* The partial signature of a legacy input over its digest: DER(r, s) of a
 * low-S RFC 6979 ECDSA signature, then the low byte of sighash_type.
 * *sig_len holds the capacity and receives the length (at most 73).
 * Codes: 2 "privkey is zero or >= n"; 10 "legacy sig buffer too small (need
 * 73)" (any capacity below 73, whatever the signature's length); 9
 * "signing produced degenerate output". */
QORVEX_API int qorvex_psbt_sign_legacy(qorvex_ctx *ctx, const uint8_t *digest32, const uint8_t *seckey32,
                                       int sighash_type, uint8_t *sig_out, size_t *sig_len);

/* The partial signature of a segwit v0 input over its BIP-143 digest: the
 * same form as a legacy one, DER(r, s) || the low byte of sighash_type
 * (BIP-143 changes the digest, not the signature encoding), at most 73
 * bytes. Codes: 10 "segwit sig buffer too small (need 73)" (tested before
 * the key); 2 "privkey is zero or >= n"; 9 "signing produced degenerate
 * output". */
QORVEX_API int qorvex_psbt_sign_segwit(qorvex_ctx *ctx, const uint8_t *digest32, const uint8_t *seckey32,
                                       int sighash_type, uint8_t *sig_out, size_t *sig_len);

/* The signature of a Taproot input over its BIP-341/342 digest: BIP-340 by
 * seckey32 as given (tweak it first for a key-path spend, see
 * qorvex_taproot_tweak_seckey) with aux32_or_null as auxiliary randomness
 * (NULL: 32 zero bytes), then the low byte of sighash_type unless it is 0
 * (SIGHASH_DEFAULT): 64 or 65 bytes. The hash type is not checked.
 * Codes: 10 "taproot sig buffer too small" (capacity below 64, or below 65
 * with a non-zero byte; tested before the key); 2 "privkey is zero or >= n";
 * 9 "signing produced degenerate output". */
QORVEX_API int qorvex_psbt_sign_taproot(qorvex_ctx *ctx, const uint8_t *digest32, const uint8_t *seckey32,
                                        int sighash_type, const uint8_t *aux32_or_null, uint8_t *sig_out,
                                        size_t *sig_len);

/* ------------------------------------------------------------------------ */
/* BIP-352 silent payments: sp1/tsp1 addresses, labels, the public key each  */
/* input contributes, output keys for the sender, and the receiver's scan,   */
/* from a transaction's inputs or from the 33-byte tweak input_hash * A that */
/* index servers publish for light clients. Outpoints are 36 bytes: the txid */
/* in serialized order (the reverse of the hex explorers show) then the vout */
/* little-endian; "smallest" compares the 36 bytes lexicographically. Every  */
/* list may be NULL when its count is 0. The scan key, input private keys    */
/* and every tweak are handled in constant time and wiped.                   */

#define QORVEX_BIP352_OUTPOINT_SIZE   36
#define QORVEX_BIP352_RECIPIENT_SIZE  66 /* scan key (33) || spend key B_m (33), compressed */
#define QORVEX_BIP352_LABEL_SIZE      69 /* m (4, big-endian) || L_m (65, uncompressed) */
#define QORVEX_BIP352_MATCH_SIZE      72 /* see qorvex_bip352_scan */
#define QORVEX_BIP352_TWEAK_SIZE      33 /* input_hash * A, compressed */
#define QORVEX_BIP352_ADDRESS_SIZE   118 /* longest version-0 address (tsp1...) and its NUL */
#define QORVEX_BIP352_K_MAX         2323 /* outputs per scan key in one transaction */
#define QORVEX_BIP352_MAX_COUNT  1048576 /* most items in any list (2^20) */
#define QORVEX_BIP352_NO_LABEL 0xFFFFFFFFu /* label index of an unlabelled match */

/* The version-0 address of a scan key and a spend key (B_spend, or B_m from
 * qorvex_bip352_label), both 33-byte compressed: Bech32m of hrp "sp"
 * (network QORVEX_NETWORK_MAINNET) or "tsp" (QORVEX_NETWORK_TESTNET), the
 * version 'q' and the 66 key bytes; 116 or 117 characters, beyond BIP-173's
 * limit of 90. *address_len holds the capacity of address_out (room for the
 * NUL; QORVEX_BIP352_ADDRESS_SIZE always suffices) and receives the length.
 * Codes: 5 "invalid network"; 3 "invalid scan public key", "invalid spend
 * public key"; 10 "address buffer too small" (buffer and length untouched);
 * 9 "allocation failed". */
QORVEX_API int qorvex_bip352_address_encode(qorvex_ctx *ctx, const uint8_t *scan_pub33,
                                            const uint8_t *spend_pub33, int network, char *address_out,
                                            size_t *address_len);

/* Parses a silent payment address (NUL-terminated, at most 1023 characters,
 * one case throughout) into its network and two compressed keys. Only
 * version 0 is accepted, with exactly 66 data bytes. Codes, in this order:
 * 5 "address longer than 1023 characters"; 5 "malformed address" (not a
 * Bech32 string: characters, mixed case, separator, data characters);
 * 5 "invalid address checksum" (a Bech32 checksum included); 5 "unknown
 * silent payment address prefix" (hrp other than sp and tsp); 5
 * "unsupported silent payment address version"; 5 "invalid silent payment
 * address length" (not 66 bytes, or bad padding); 3 "invalid scan public
 * key", "invalid spend public key"; 9 "allocation failed". The outputs are
 * written only on success. */
QORVEX_API int qorvex_bip352_address_decode(qorvex_ctx *ctx, const char *address, int *network_out,
                                            uint8_t *scan_pub33_out, uint8_t *spend_pub33_out);

/* Label m: B_m = B_spend + t_m * G with t_m = hash_BIP0352/Label(b_scan ||
 * ser32(m)), written compressed to labelled_spend33_out (the spend key of
 * the labelled address). When label_out is not NULL it receives the
 * QORVEX_BIP352_LABEL_SIZE record m (big-endian) || L_m = t_m * G (65-byte
 * uncompressed) that the scan functions take; a wallet makes the records of
 * its labels once and keeps them. m = 0 is the change label, which BIP-352
 * asks every wallet to scan for and never to hand out. Codes: 2 "scan
 * privkey is zero or >= n"; 3 "invalid spend public key"; 7 "label tweak out
 * of range" (t_m >= n), "labelled spend key is infinity". */
QORVEX_API int qorvex_bip352_label(qorvex_ctx *ctx, const uint8_t *scan_seckey32, const uint8_t *spend_pub33,
                                   uint32_t m, uint8_t *labelled_spend33_out, uint8_t *label_out);

/* The public key BIP-352 counts for one input, from its scriptSig, its
 * serialized witness stack (compact-size count, then each item with its
 * compact-size length; 0 bytes for none) and the scriptPubKey of the output
 * it spends, written compressed to pub33_out (02 || x for Taproot):
 *   P2PKH: the last 33 bytes of the scriptSig that hash to the key hash,
 *          whatever the scriptSig's structure (malleated scriptSigs);
 *   P2SH-P2WPKH (scriptSig exactly 16 00 14 <20 bytes>), P2WPKH: the last
 *          witness item;
 *   P2TR: the output key, unless a script-path spend's control block holds
 *          BIP-341's NUMS point H as internal key (an annex is skipped).
 * Only compressed keys count. Codes: 5 "malformed witness stack" (checked
 * first, for every input); 11 "input not eligible"; 11 "input spends a
 * segwit version above 1; skip the transaction" (a transaction spending
 * such an output must not be scanned at all). */
QORVEX_API int qorvex_bip352_input_pubkey(qorvex_ctx *ctx, const uint8_t *script_sig, size_t script_sig_len,
                                          const uint8_t *witness, size_t witness_len,
                                          const uint8_t *script_pubkey, size_t script_pubkey_len,
                                          uint8_t *pub33_out);

/* The sender's output keys. input_seckeys: n_inputs private keys of the
 * eligible inputs (32 bytes each); taproot_flags: n_inputs bytes, 1 when the
 * input spends a Taproot output (its key is then negated if its point has
 * odd y), else 0. outpoints: the n_outpoints outpoints of all the
 * transaction's inputs, or only the smallest; the smallest is used.
 * recipients: n_recipients records of QORVEX_BIP352_RECIPIENT_SIZE, the
 * keys of each address (a recipient paid twice appears twice).
 * outputs_out receives n_recipients x-only keys (32 bytes each), the i-th
 * paying the i-th recipient: recipients are grouped by scan key and k counts
 * the earlier recipients of the same group, in the order given. Codes: 5
 * "too many inputs", "too many recipients", "too many outpoints" (above
 * QORVEX_BIP352_MAX_COUNT); 5 "no outpoints", "no eligible inputs", "no
 * recipients"; 5 "taproot flag is not 0 or 1"; 9 "allocation failed"; 3
 * "invalid recipient scan public key", "invalid recipient spend public key";
 * 2 "input privkey is zero or >= n"; 5 "more than 2323 recipients share a
 * scan key"; 7 "input private keys sum to zero", "input hash out of range",
 * "shared secret tweak out of range", "output key is infinity". outputs_out
 * is written only on success and may overlap the inputs. */
QORVEX_API int qorvex_bip352_send(qorvex_ctx *ctx, const uint8_t *input_seckeys, const uint8_t *taproot_flags,
                                  size_t n_inputs, const uint8_t *outpoints, size_t n_outpoints,
                                  const uint8_t *recipients, size_t n_recipients, uint8_t *outputs_out);

/* The per-transaction tweak input_hash * A (compressed) of the eligible
 * inputs' public keys (n_input_pubkeys compressed keys, from
 * qorvex_bip352_input_pubkey) and the transaction's outpoints, with
 * input_hash = hash_BIP0352/Inputs(smallest outpoint || A): what an index
 * server publishes for qorvex_bip352_scan_tweak. Codes: 5 "too many inputs",
 * "too many outpoints", "no outpoints", "no eligible inputs"; 3 "invalid
 * input public key"; 7 "input public keys sum to infinity" (the
 * transaction is skipped), "input hash out of range"; 9 "allocation
 * failed". */
QORVEX_API int qorvex_bip352_tweak(qorvex_ctx *ctx, const uint8_t *input_pubkeys, size_t n_input_pubkeys,
                                   const uint8_t *outpoints, size_t n_outpoints, uint8_t *tweak33_out);

/* Scans a transaction for outputs paying (scan key, spend key), following
 * BIP-352's loop: for k = 0, 1, ... (at most QORVEX_BIP352_K_MAX) the first
 * remaining output equal to P_k = B_spend + t_k * G, or to P_k plus a label
 * point (tried after the output itself, in the order of the labels), is a
 * match and k moves on; the scan stops at the first k without one.
 * labels: n_labels records from qorvex_bip352_label (include m = 0 to find
 * change). input_pubkeys: the eligible inputs' keys as for
 * qorvex_bip352_tweak; keys summing to infinity, or none, give no match.
 * outputs: the n_outputs x-only keys of the transaction's Taproot outputs,
 * in transaction order. *n_matches holds the capacity of matches_out in
 * records (min(n_outputs, QORVEX_BIP352_K_MAX) always suffices; matches_out
 * may be NULL when it is 0) and receives the number of matches. Each record
 * (QORVEX_BIP352_MATCH_SIZE bytes):
 *    0 output index (uint32 little-endian), into outputs
 *    4 label index (uint32 little-endian), into labels, or
 *      QORVEX_BIP352_NO_LABEL
 *    8 tweak (32 bytes): t_k, plus the label's t_m; the output's private
 *      key is spend private key + tweak mod n (secret: wipe it)
 *   40 the output's x-only key
 * Codes: 5 "too many labels", "too many inputs", "too many outputs", "too
 * many outpoints", "no outpoints"; 9 "allocation failed"; 2 "scan privkey is
 * zero or >= n"; 3 "invalid spend public key", "invalid label record" (L_m
 * not on the curve), "invalid input public key"; 7 "input hash out of
 * range", "shared secret tweak out of range"; 5 "label record does not
 * belong to the scan key" (a matched label's L_m is not t_m * G); 10 "match
 * buffer too small" (buffer and count untouched). The records are written
 * only on success and may overlap the inputs. */
QORVEX_API int qorvex_bip352_scan(qorvex_ctx *ctx, const uint8_t *scan_seckey32, const uint8_t *spend_pub33,
                                  const uint8_t *labels, size_t n_labels, const uint8_t *input_pubkeys,
                                  size_t n_input_pubkeys, const uint8_t *outpoints, size_t n_outpoints,
                                  const uint8_t *outputs, size_t n_outputs, uint8_t *matches_out,
                                  size_t *n_matches);

/* The light-client scan: as qorvex_bip352_scan, from the transaction's
 * tweak33 (input_hash * A, from qorvex_bip352_tweak or an index server)
 * instead of its inputs. Codes as qorvex_bip352_scan without those of the
 * inputs and outpoints, and 3 "invalid tweak point" after the receiver's
 * own arguments. */
QORVEX_API int qorvex_bip352_scan_tweak(qorvex_ctx *ctx, const uint8_t *scan_seckey32,
                                        const uint8_t *spend_pub33, const uint8_t *labels, size_t n_labels,
                                        const uint8_t *tweak33, const uint8_t *outputs, size_t n_outputs,
                                        uint8_t *matches_out, size_t *n_matches);

/* ------------------------------------------------------------------------ */
/* Multi-coin keys: a table of 28 coins on secp256k1, each chosen by its     */
/* BIP-44 coin type. A coin type names the first row that has it, so 60 is   */
/* Ethereum (the other EVM chains of the table share its addresses).        */
/*                                                                          */
/* Coin types and their address styles:                                     */
/*   Base58Check P2PKH: 3 Dogecoin, 5 Dash, 236 Bitcoin SV, 133 Zcash ("t1", */
/*     two-byte prefix), 7 Namecoin, 6 Peercoin, 175 Ravencoin, 19167 Flux   */
/*     ("t1"), 2301 Qtum, 121 Horizen ("zn"), 156 Bitcoin Gold, 141 Komodo;  */
/*   P2WPKH (Bech32): 0 Bitcoin, 2 Litecoin, 20 DigiByte, 28 Vertcoin,      */
/*     14 Viacoin, 17 Groestlcoin, 57 Syscoin;                              */
/*   EIP-55 text: 60 Ethereum (the testnet flag changes nothing);           */
/*   CashAddr ("bitcoincash:" / "bchtest:"): 145 Bitcoin Cash;              */
/*   Tron (Base58Check of 0x41 || the Ethereum address): 195 Tron.          */
/* Keys derive at m/purpose'/coin_type'/account'/change/index with purpose   */
/* 86 for Bitcoin, Litecoin and Groestlcoin, 84 for DigiByte, Vertcoin,     */
/* Viacoin, Syscoin, Qtum and Bitcoin Gold, and 44 for the others (the      */
/* purpose does not change the address style).                              */
/*                                                                          */
/* Text outputs follow the rule of the address encoders above; on failure   */
/* neither the buffer nor the length changes.                               */

#define QORVEX_COIN_ADDRESS_MAX_SIZE 55 /* longest coin address (a CashAddr, 54 characters) and its NUL */
#define QORVEX_COIN_WIF_MAX_SIZE     53 /* a coin's WIF text (52 characters) and its NUL */

/* The address of a compressed public key for a coin; testnet non-zero for
 * the coin's testnet prefixes. Codes: 5 "unknown coin type" (checked before
 * the key); 3 "invalid pubkey"; 9 "address generation failed"; 10 "address
 * buffer too small" (QORVEX_COIN_ADDRESS_MAX_SIZE always suffices). */
QORVEX_API int qorvex_coin_address(qorvex_ctx *ctx, const uint8_t *pub33, int coin_type, int testnet,
                                   char *addr_out, size_t *addr_len);

/* The WIF text of a private key with the coin's version byte, always marked
 * compressed: Base58Check(version || seckey32 || 0x01). Ethereum and Tron
 * have no WIF of their own; their version byte is 0x00. Codes: 5 "unknown
 * coin type"; 2 "privkey is zero or >= n"; 9 "WIF encode failed"; 10 "WIF
 * buffer too small". */
QORVEX_API int qorvex_coin_wif_encode(qorvex_ctx *ctx, const uint8_t *seckey32, int coin_type, int testnet,
                                      char *wif_out, size_t *wif_len);

/* The key at m/purpose'/coin_type'/account'/change/address_index below the
 * BIP-32 master key of a seed (16 to 64 bytes), change 1 when non-zero.
 * Each output is optional: the 32-byte private key, the compressed public
 * key, and the coin's address (addr_out and addr_len both given, or both
 * NULL). The key outputs are written before the address, so a short address
 * buffer leaves them filled. Codes: 1 "addr_out and addr_len must both be
 * null or both be non-null"; 5 "seed must be 16-64 bytes"; 5 "unknown coin
 * type"; 9 "BIP-32 master key failed"; 9 "coin key derivation failed" (also
 * for an account or index of 2^31 or more); 10 "address buffer too small". */
QORVEX_API int qorvex_coin_derive_from_seed(qorvex_ctx *ctx, const uint8_t *seed, size_t seed_len,
                                            uint32_t coin_type, uint32_t account, int change,
                                            uint32_t address_index, int testnet, uint8_t *seckey32_out,
                                            uint8_t *pub33_out, char *addr_out, size_t *addr_len);

/* ------------------------------------------------------------------------ */
/* Output descriptors: single-key pk(KEY), pkh(KEY), wpkh(KEY),              */
/* sh(wpkh(KEY)) and tr(KEY). KEY is 66 hex digits (a compressed key; in    */
/* tr() also 64, an x-only key), or an xpub/xprv/tpub/tprv optionally        */
/* followed by a path of digits, '/', apostrophes (hardened steps), one '*' */
/* (the child index goes there) and one multipath group "<a;b>", which is   */
/* read as the step 0 whatever its branches (so "<0;1>" is "0").            */
/* Not taken: key origins "[...]", checksums "#...", the hardened marker     */
/* 'h', white space, scripts and multisig. tr(KEY) pays to BIP-386's output */
/* key, KEY tweaked with no script tree (as qorvex_taproot_output_key with  */
/* a NULL root). tpub/tprv keys use the testnet prefixes.                   */

#define QORVEX_DESCRIPTOR_SIZE      108
#define QORVEX_DESCRIPTOR_PATH_SIZE  64 /* the path field, its NUL included */

#define QORVEX_DESCRIPTOR_PK      0
#define QORVEX_DESCRIPTOR_PKH     1
#define QORVEX_DESCRIPTOR_WPKH    2
#define QORVEX_DESCRIPTOR_TR      3
#define QORVEX_DESCRIPTOR_SH_WPKH 4

/* What a descriptor holds (integers in the machine's byte order):
 *   offset size
 *      0    4  kind, QORVEX_DESCRIPTOR_PK .. _SH_WPKH
 *      4   33  the key: the compressed public key (after derivation); for
 *              tr() the 32-byte x-only key, untweaked (byte 32 not written)
 *     37    1  key length: 33, or 32 for tr()
 *     38    2  padding, not written
 *     40    4  testnet: 1 for a tpub/tprv key, else 0
 *     44   64  the path as written (from its first '/', before the index
 *              goes in), NUL-terminated; empty without a path or when it
 *              has 64 or more characters
 * It never holds private material: an xprv gives its derived public key. */
typedef struct qorvex_descriptor {
    uint32_t kind;
    uint8_t key[33];
    uint8_t key_len;
    uint8_t padding[2];
    uint32_t testnet;
    char path[QORVEX_DESCRIPTOR_PATH_SIZE];
} qorvex_descriptor;

/* Parses a descriptor into *out and, when addr_out is given, writes its
 * address at child index (the '*' of the path; written as an unsigned
 * number, so a negative index fails the derivation); addr_len is then
 * required, as for the address encoders (QORVEX_ADDRESS_MAX_SIZE
 * suffices). The kind is written first, the testnet flag and the path field
 * cleared, and the rest filled only on success; a failing address leaves the
 * record filled. Codes, in order: 5 "unsupported descriptor type"; 5
 * "invalid path characters"; 5 "invalid xpub/xprv in descriptor" (not
 * Base58Check or shorter than 78 bytes); the codes and messages of
 * qorvex_bip32_derive_path and qorvex_bip32_pubkey (e.g. 5 "invalid BIP-32
 * path" for a hardened step below an xpub, 5 "invalid BIP-32 version"); 5
 * "unrecognized key format in descriptor" (a hex key of another length, 64
 * digits outside tr() included); 5 "invalid hex in descriptor key"; then
 * those of the address: qorvex_addr_p2pkh (pk, pkh), qorvex_addr_p2wpkh,
 * qorvex_addr_p2sh_p2wpkh, and for tr() qorvex_taproot_output_key (3 "zero
 * x-only key", 7 "taproot output key derivation failed") then
 * qorvex_addr_p2tr; 9 "allocation failed". */
QORVEX_API int qorvex_descriptor_parse(qorvex_ctx *ctx, const char *descriptor, int index,
                                       qorvex_descriptor *out, char *addr_out, size_t *addr_len);

/* The address of a descriptor at child index: qorvex_descriptor_parse into
 * a record of its own, with its codes. */
QORVEX_API int qorvex_descriptor_address(qorvex_ctx *ctx, const char *descriptor, int index, char *addr_out,
                                         size_t *addr_len);

#ifdef __cplusplus
}
#endif

#endif /* QORVEX_H */
