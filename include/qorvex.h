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

#ifdef __cplusplus
}
#endif

#endif /* QORVEX_H */
