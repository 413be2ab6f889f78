"""The low-level layer: every exported function of libqorvex, declared once.

PROTOTYPES below is the C interface as include/qorvex.h declares it (without
QORVEX_API and the comments). It is parsed once at import into ctypes
argument and result types, and each function is bound once, so a call does no
lookup and no conversion beyond ctypes' own. A test reads the header and
fails when a declaration here differs from it, or when the header exports a
function that is missing here, printing the declarations to paste: adding a
family means pasting them into the table (and writing the Python layer above
it). The table is kept here rather than read from the header at import
because an installed package has no header beside it, and because the
Python layer is written against these declarations, not whatever header is
found.

The functions are attributes of ``C``, by their C names::

    from qorvex._ffi import C
    C.qorvex_version()   # 0x040400

Byte buffers are passed as ``bytes`` or ctypes ``c_char`` arrays; they are
not length-checked here. Use the modules above this one, which check every
length, unless you know the sizes by heart.
"""

import ctypes
import re

from . import _lib

PROTOTYPES = r"""
# Context, errors and versions
int qorvex_ctx_create(qorvex_ctx **out);
int qorvex_ctx_clone(const qorvex_ctx *src, qorvex_ctx **out);
void qorvex_ctx_destroy(qorvex_ctx *ctx);
size_t qorvex_ctx_size(void);
int qorvex_last_error(const qorvex_ctx *ctx);
const char *qorvex_last_error_msg(const qorvex_ctx *ctx);
const char *qorvex_error_str(int code);
int qorvex_abi_version(void);
uint32_t qorvex_version(void);
const char *qorvex_version_string(void);

# Private keys
int qorvex_seckey_verify(qorvex_ctx *ctx, const uint8_t *key32);
int qorvex_seckey_negate(qorvex_ctx *ctx, uint8_t *key32);
int qorvex_seckey_tweak_add(qorvex_ctx *ctx, uint8_t *key32, const uint8_t *tweak32);
int qorvex_seckey_tweak_mul(qorvex_ctx *ctx, uint8_t *key32, const uint8_t *tweak32);

# Public keys
int qorvex_pubkey_create(qorvex_ctx *ctx, const uint8_t *key32, uint8_t *out33);
int qorvex_pubkey_create_uncompressed(qorvex_ctx *ctx, const uint8_t *key32, uint8_t *out65);
int qorvex_pubkey_xonly(qorvex_ctx *ctx, const uint8_t *key32, uint8_t *out32);
int qorvex_pubkey_parse(qorvex_ctx *ctx, const uint8_t *input, size_t input_len, uint8_t *out33);
int qorvex_pubkey_negate(qorvex_ctx *ctx, const uint8_t *pub33, uint8_t *out33);
int qorvex_pubkey_add(qorvex_ctx *ctx, const uint8_t *a33, const uint8_t *b33, uint8_t *out33);
int qorvex_pubkey_combine(qorvex_ctx *ctx, const uint8_t *keys, size_t count, uint8_t *out33);
int qorvex_pubkey_tweak_add(qorvex_ctx *ctx, const uint8_t *pub33, const uint8_t *tweak32,
    uint8_t *out33);
int qorvex_pubkey_tweak_mul(qorvex_ctx *ctx, const uint8_t *pub33, const uint8_t *tweak32,
    uint8_t *out33);

# Blinding and the table cache
int qorvex_context_randomize(qorvex_ctx *ctx, const uint8_t *seed32);
int qorvex_set_cache_dir(const char *path);
int qorvex_cache_location(char *path_out, size_t *path_len);

# ECDSA
int qorvex_ecdsa_sign(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *seckey32,
    uint8_t *sig64_out);
int qorvex_ecdsa_sign_recoverable(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *seckey32,
    uint8_t *sig64_out, int *recid_out);
int qorvex_ecdsa_sign_verified(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *seckey32,
    uint8_t *sig64_out);
int qorvex_ecdsa_verify(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *sig64,
    const uint8_t *pub33);
int qorvex_ecdsa_recover(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *sig64, int recid,
    uint8_t *pub33_out);
int qorvex_ecdsa_sig_from_der(qorvex_ctx *ctx, const uint8_t *der, size_t der_len,
    uint8_t *sig64_out);
int qorvex_ecdsa_sig_to_der(qorvex_ctx *ctx, const uint8_t *sig64, uint8_t *der_out,
    size_t *der_len);
int qorvex_ecdsa_sig_compact_to_opaque(qorvex_ctx *ctx, const uint8_t *sig64,
    uint8_t *opaque64_out);
int qorvex_ecdsa_sig_opaque_to_compact(qorvex_ctx *ctx, const uint8_t *opaque64,
    uint8_t *sig64_out);
int qorvex_ecdsa_sig_normalize_opaque(qorvex_ctx *ctx, const uint8_t *opaque64,
    uint8_t *opaque64_out, int *changed_out);
int qorvex_ecdsa_verify_opaque(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *opaque64,
    const uint8_t *pub33);

# BIP-340 Schnorr signatures
int qorvex_schnorr_sign(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *seckey32,
    const uint8_t *aux32, uint8_t *sig64_out);
int qorvex_schnorr_sign_verified(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *seckey32,
    const uint8_t *aux32, uint8_t *sig64_out);
int qorvex_schnorr_verify(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *sig64,
    const uint8_t *xonly32);
int qorvex_schnorr_sign_msg(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *msg,
    size_t msg_len, const uint8_t *aux32, uint8_t *sig64_out);
int qorvex_schnorr_verify_msg(qorvex_ctx *ctx, const uint8_t *xonly32, const uint8_t *msg,
    size_t msg_len, const uint8_t *sig64);

# Key pairs, multi-scalar multiplication, batch verification and signing
int qorvex_keypair_create(qorvex_ctx *ctx, const uint8_t *seckey32, uint8_t *keypair96_out);
int qorvex_schnorr_sign_keypair(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *keypair96,
    const uint8_t *aux32, uint8_t *sig64_out);
int qorvex_multi_scalar_mul(qorvex_ctx *ctx, const uint8_t *scalars, const uint8_t *points,
    size_t n, uint8_t *out33);
int qorvex_shamir_trick(qorvex_ctx *ctx, const uint8_t *a32, const uint8_t *p33,
    const uint8_t *b32, const uint8_t *q33, uint8_t *out33);
int qorvex_ecdsa_batch_verify(qorvex_ctx *ctx, const uint8_t *items, size_t count);
int qorvex_ecdsa_batch_verify_mt(qorvex_ctx *ctx, const uint8_t *items, size_t count,
    size_t threads);
int qorvex_ecdsa_batch_identify_invalid(qorvex_ctx *ctx, const uint8_t *items, size_t count,
    size_t *invalid_out, size_t *invalid_count);
int qorvex_ecdsa_verify_opaque_batch(qorvex_ctx *ctx, const uint8_t *msgs32,
    const uint8_t *pubs33, const uint8_t *opaque_sigs64, size_t count, uint8_t *results);
int qorvex_ecdsa_verify_opaque_rows(qorvex_ctx *ctx, const uint8_t *rows, size_t stride,
    size_t count, uint8_t *results);
int qorvex_schnorr_batch_verify(qorvex_ctx *ctx, const uint8_t *items, size_t count);
int qorvex_schnorr_batch_identify_invalid(qorvex_ctx *ctx, const uint8_t *items, size_t count,
    size_t *invalid_out, size_t *invalid_count);
int qorvex_ecdsa_sign_batch(qorvex_ctx *ctx, size_t count, const uint8_t *msgs32,
    const uint8_t *seckeys32, uint8_t *sigs64_out);
int qorvex_schnorr_sign_batch(qorvex_ctx *ctx, size_t count, const uint8_t *msgs32,
    const uint8_t *seckeys32, const uint8_t *aux32, uint8_t *sigs64_out);

# Ethereum
int qorvex_eth_address(qorvex_ctx *ctx, const uint8_t *pub33, uint8_t *addr20_out);
int qorvex_eth_address_checksummed(qorvex_ctx *ctx, const uint8_t *pub33, char *text_out,
    size_t *text_len);
int qorvex_eth_personal_hash(const uint8_t *msg, size_t msg_len, uint8_t *hash32_out);
int qorvex_eth_sign(qorvex_ctx *ctx, const uint8_t *hash32, const uint8_t *seckey32,
    uint8_t *r32_out, uint8_t *s32_out, uint64_t *v_out, uint64_t chain_id);
int qorvex_eth_ecrecover(qorvex_ctx *ctx, const uint8_t *hash32, const uint8_t *r32,
    const uint8_t *s32, uint64_t v, uint8_t *addr20_out);

# Hashes
int qorvex_sha256(const uint8_t *data, size_t len, uint8_t *out32);
int qorvex_tagged_hash(const char *tag, const uint8_t *data, size_t len, uint8_t *out32);
int qorvex_sha512(const uint8_t *data, size_t len, uint8_t *out64);
int qorvex_hash160(const uint8_t *data, size_t len, uint8_t *out20);
int qorvex_keccak256(const uint8_t *data, size_t len, uint8_t *out32);

# Transaction digests and Taproot
int qorvex_bip143_p2wpkh_script_code(const uint8_t *key_hash20, uint8_t *out25);
int qorvex_bip143_sighash(qorvex_ctx *ctx, int32_t version, const uint8_t *hash_prevouts32,
    const uint8_t *hash_sequence32, const uint8_t *outpoint_txid32, uint32_t outpoint_vout,
    const uint8_t *script_code, size_t script_code_len, uint64_t amount, uint32_t sequence,
    const uint8_t *hash_outputs32, uint32_t lock_time, uint32_t sighash_type, uint8_t *out32);
int qorvex_bip144_txid(qorvex_ctx *ctx, const uint8_t *tx, size_t tx_len, uint8_t *out32);
int qorvex_bip144_wtxid(qorvex_ctx *ctx, const uint8_t *tx, size_t tx_len, uint8_t *out32);
int qorvex_bip144_witness_commitment(const uint8_t *witness_root32, const uint8_t *reserved32,
    uint8_t *out32);
int qorvex_taproot_keypath_sighash(qorvex_ctx *ctx, int32_t version, int32_t lock_time,
    size_t input_count, const uint8_t *prevout_txids, const uint32_t *prevout_vouts,
    const uint64_t *amounts, const uint32_t *sequences, const uint8_t *const *script_pubkeys,
    const size_t *script_pubkey_lens, size_t output_count, const uint64_t *output_amounts,
    const uint8_t *const *output_scripts, const size_t *output_script_lens, size_t input_index,
    int hash_type, const uint8_t *annex, size_t annex_len, uint8_t *out32);
int qorvex_tapscript_sighash(qorvex_ctx *ctx, int32_t version, int32_t lock_time,
    size_t input_count, const uint8_t *prevout_txids, const uint32_t *prevout_vouts,
    const uint64_t *amounts, const uint32_t *sequences, const uint8_t *const *script_pubkeys,
    const size_t *script_pubkey_lens, size_t output_count, const uint64_t *output_amounts,
    const uint8_t *const *output_scripts, const size_t *output_script_lens, size_t input_index,
    int hash_type, const uint8_t *tapleaf_hash32, uint8_t key_version, uint32_t codesep_pos,
    const uint8_t *annex, size_t annex_len, uint8_t *out32);
int qorvex_taproot_output_key(qorvex_ctx *ctx, const uint8_t *internal_xonly32,
    const uint8_t *merkle_root32, uint8_t *output_xonly32_out, int *parity_out);
int qorvex_taproot_tweak_seckey(qorvex_ctx *ctx, const uint8_t *seckey32,
    const uint8_t *merkle_root32, uint8_t *tweaked32_out);
int qorvex_taproot_verify(qorvex_ctx *ctx, const uint8_t *output_xonly32, int parity,
    const uint8_t *internal_xonly32, const uint8_t *merkle_root, size_t merkle_root_len);

# Addresses, WIF and segwit programs
int qorvex_addr_p2pkh(qorvex_ctx *ctx, const uint8_t *pub33, int network, char *addr_out,
    size_t *addr_len);
int qorvex_addr_p2sh(const uint8_t *script, size_t script_len, int network, char *addr_out,
    size_t *addr_len);
int qorvex_addr_p2sh_p2wpkh(qorvex_ctx *ctx, const uint8_t *pub33, int network, char *addr_out,
    size_t *addr_len);
int qorvex_addr_p2wpkh(qorvex_ctx *ctx, const uint8_t *pub33, int network, char *addr_out,
    size_t *addr_len);
int qorvex_addr_p2tr(qorvex_ctx *ctx, const uint8_t *xonly32, int network, char *addr_out,
    size_t *addr_len);
int qorvex_wif_encode(qorvex_ctx *ctx, const uint8_t *seckey32, int compressed, int network,
    char *wif_out, size_t *wif_len);
int qorvex_wif_decode(qorvex_ctx *ctx, const char *wif, uint8_t *seckey32_out,
    int *compressed_out, int *network_out);
int qorvex_segwit_is_witness_program(const uint8_t *script, size_t script_len);
int qorvex_segwit_parse_program(const uint8_t *script, size_t script_len, int *version_out,
    uint8_t *program_out, size_t *program_len_out);
int qorvex_segwit_p2wpkh_spk(const uint8_t *hash20, uint8_t *spk22_out);
int qorvex_segwit_p2wsh_spk(const uint8_t *hash32, uint8_t *spk34_out);
int qorvex_segwit_p2tr_spk(const uint8_t *xonly32, uint8_t *spk34_out);
int qorvex_segwit_witness_script_hash(const uint8_t *script, size_t script_len,
    uint8_t *hash32_out);

# BIP-32
int qorvex_bip32_master(qorvex_ctx *ctx, const uint8_t *seed, size_t seed_len,
    qorvex_bip32_key *key_out);
int qorvex_bip32_derive(qorvex_ctx *ctx, const qorvex_bip32_key *parent, uint32_t index,
    qorvex_bip32_key *child_out);
int qorvex_bip32_derive_path(qorvex_ctx *ctx, const qorvex_bip32_key *parent, const char *path,
    qorvex_bip32_key *key_out);
int qorvex_bip32_privkey(qorvex_ctx *ctx, const qorvex_bip32_key *key, uint8_t *seckey32_out);
int qorvex_bip32_pubkey(qorvex_ctx *ctx, const qorvex_bip32_key *key, uint8_t *pub33_out);
int qorvex_bip32_to_base58(qorvex_ctx *ctx, const qorvex_bip32_key *key, char *out,
    size_t *out_len);
int qorvex_bip32_from_base58(qorvex_ctx *ctx, const char *text, qorvex_bip32_key *key_out);

# BIP-39 and BIP-85
int qorvex_bip39_generate(qorvex_ctx *ctx, size_t entropy_len, const uint8_t *entropy,
    char *mnemonic_out, size_t *mnemonic_len);
int qorvex_bip39_validate(qorvex_ctx *ctx, const char *mnemonic);
int qorvex_bip39_to_entropy(qorvex_ctx *ctx, const char *mnemonic, uint8_t *entropy_out,
    size_t *entropy_len);
int qorvex_bip39_to_seed(qorvex_ctx *ctx, const char *mnemonic, const char *passphrase,
    uint8_t *seed64_out);
int qorvex_bip85_entropy(qorvex_ctx *ctx, const qorvex_bip32_key *key, const char *path,
    uint8_t *out, size_t out_len);
int qorvex_bip85_bip39(qorvex_ctx *ctx, const qorvex_bip32_key *key, uint32_t words,
    int language_index, uint32_t index, char *mnemonic_out, size_t *mnemonic_len);

# MuSig2
int qorvex_musig2_key_agg(qorvex_ctx *ctx, const uint8_t *pubkeys, size_t n_pubkeys,
    uint8_t *keyagg_out, uint8_t *agg_pubkey32_out);
int qorvex_musig2_nonce_gen(qorvex_ctx *ctx, const uint8_t *privkey32, const uint8_t *pubkey32,
    const uint8_t *agg_pubkey32, const uint8_t *msg32, const uint8_t *extra_rand32,
    uint8_t *secnonce_out, uint8_t *pubnonce_out);
int qorvex_musig2_nonce_agg(qorvex_ctx *ctx, const uint8_t *pubnonces, size_t n_pubnonces,
    uint8_t *aggnonce_out);
int qorvex_musig2_start_sign_session(qorvex_ctx *ctx, const uint8_t *aggnonce,
    const uint8_t *keyagg, const uint8_t *msg32, uint8_t *session_out);
int qorvex_musig2_partial_sign(qorvex_ctx *ctx, uint8_t *secnonce, const uint8_t *privkey32,
    const uint8_t *keyagg, const uint8_t *session, size_t signer_index, uint8_t *partial_sig_out);
int qorvex_musig2_partial_sign_v2(qorvex_ctx *ctx, uint8_t *secnonce, const uint8_t *privkey32,
    const uint8_t *pubkeys, const uint8_t *keyagg, const uint8_t *session, size_t signer_index,
    uint8_t *partial_sig_out);
int qorvex_musig2_partial_verify(qorvex_ctx *ctx, const uint8_t *partial_sig,
    const uint8_t *pubnonce, const uint8_t *pubkey32, const uint8_t *keyagg,
    const uint8_t *session, size_t signer_index);
int qorvex_musig2_partial_sig_agg(qorvex_ctx *ctx, const uint8_t *partial_sigs,
    size_t n_partial_sigs, const uint8_t *session, uint8_t *sig64_out);

# FROST
int qorvex_frost_keygen_begin(qorvex_ctx *ctx, uint32_t participant_id, uint32_t threshold,
    uint32_t num_participants, const uint8_t *seed32, uint8_t *commits_out, size_t *commits_len,
    uint8_t *shares_out, size_t *shares_len);
int qorvex_frost_keygen_finalize(qorvex_ctx *ctx, uint32_t participant_id,
    const uint8_t *all_commits, size_t all_commits_len, const uint8_t *received_shares,
    size_t received_shares_len, uint32_t threshold, uint32_t num_participants,
    uint8_t *keypkg_out);
int qorvex_frost_sign_nonce_gen(qorvex_ctx *ctx, uint32_t participant_id, const uint8_t *seed32,
    uint8_t *nonce_out, uint8_t *nonce_commit_out);
int qorvex_frost_sign(qorvex_ctx *ctx, const uint8_t *keypkg, uint8_t *nonce,
    const uint8_t *msg32, const uint8_t *nonce_commits, size_t n_signers,
    uint8_t *partial_sig_out);
int qorvex_frost_verify_partial(qorvex_ctx *ctx, const uint8_t *partial_sig,
    const uint8_t *verification_share33, const uint8_t *nonce_commits, size_t n_signers,
    const uint8_t *msg32, const uint8_t *group_pubkey33);
int qorvex_frost_aggregate(qorvex_ctx *ctx, const uint8_t *partial_sigs, size_t n_partial_sigs,
    const uint8_t *nonce_commits, size_t n_signers, const uint8_t *group_pubkey33,
    const uint8_t *msg32, uint8_t *sig64_out);

# ECDH
int qorvex_ecdh(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *pub33, uint8_t *out32);
int qorvex_ecdh_xonly(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *pub33,
    uint8_t *out32);
int qorvex_ecdh_raw(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *pub33,
    uint8_t *out32);

# ECIES
int qorvex_ecies_encrypt(qorvex_ctx *ctx, const uint8_t *recipient_pub33,
    const uint8_t *plaintext, size_t plaintext_len, uint8_t *envelope_out, size_t *envelope_len);
int qorvex_ecies_decrypt(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *envelope,
    size_t envelope_len, uint8_t *plaintext_out, size_t *plaintext_len);

# Pedersen commitments
int qorvex_pedersen_commit(qorvex_ctx *ctx, const uint8_t *value32, const uint8_t *blinding32,
    uint8_t *commitment33_out);
int qorvex_pedersen_switch_commit(qorvex_ctx *ctx, const uint8_t *value32,
    const uint8_t *blinding32, const uint8_t *switch_blind32, uint8_t *commitment33_out);
int qorvex_pedersen_verify(qorvex_ctx *ctx, const uint8_t *commitment33, const uint8_t *value32,
    const uint8_t *blinding32);
int qorvex_pedersen_verify_sum(qorvex_ctx *ctx, const uint8_t *positives, size_t n_positives,
    const uint8_t *negatives, size_t n_negatives);
int qorvex_pedersen_blind_sum(qorvex_ctx *ctx, const uint8_t *input_blinds, size_t n_input_blinds,
    const uint8_t *output_blinds, size_t n_output_blinds, uint8_t *blind32_out);

# Knowledge and DLEQ proofs
int qorvex_zk_knowledge_prove(qorvex_ctx *ctx, const uint8_t *secret32, const uint8_t *pub33,
    const uint8_t *msg32, const uint8_t *aux32, uint8_t *proof64_out);
int qorvex_zk_knowledge_verify(qorvex_ctx *ctx, const uint8_t *proof64, const uint8_t *pub33,
    const uint8_t *msg32);
int qorvex_zk_dleq_prove(qorvex_ctx *ctx, const uint8_t *secret32, const uint8_t *base1_33,
    const uint8_t *base2_33, const uint8_t *pub1_33, const uint8_t *pub2_33, const uint8_t *aux32,
    uint8_t *proof64_out);
int qorvex_zk_dleq_verify(qorvex_ctx *ctx, const uint8_t *proof64, const uint8_t *base1_33,
    const uint8_t *base2_33, const uint8_t *pub1_33, const uint8_t *pub2_33);

# Adaptor signatures
int qorvex_schnorr_adaptor_sign(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *msg32,
    const uint8_t *adaptor33, const uint8_t *aux32, uint8_t *presig97_out);
int qorvex_schnorr_adaptor_verify(qorvex_ctx *ctx, const uint8_t *presig97,
    const uint8_t *xonly32, const uint8_t *msg32, const uint8_t *adaptor33);
int qorvex_schnorr_adaptor_adapt(qorvex_ctx *ctx, const uint8_t *presig97,
    const uint8_t *secret32, uint8_t *sig64_out);
int qorvex_schnorr_adaptor_extract(qorvex_ctx *ctx, const uint8_t *presig97, const uint8_t *sig64,
    uint8_t *secret32_out);
int qorvex_ecdsa_adaptor_sign(qorvex_ctx *ctx, const uint8_t *seckey32, const uint8_t *msg32,
    const uint8_t *adaptor33, uint8_t *presig162_out);
int qorvex_ecdsa_adaptor_verify(qorvex_ctx *ctx, const uint8_t *presig162, const uint8_t *pub33,
    const uint8_t *msg32, const uint8_t *adaptor33);
int qorvex_ecdsa_adaptor_adapt(qorvex_ctx *ctx, const uint8_t *presig162, const uint8_t *secret32,
    uint8_t *sig64_out);
int qorvex_ecdsa_adaptor_extract(qorvex_ctx *ctx, const uint8_t *presig162, const uint8_t *sig64,
    uint8_t *secret32_out);

# Compact block filters
int qorvex_gcs_build(const uint8_t *key16, const uint8_t *const *elements,
    const size_t *element_lens, size_t n, uint8_t *filter_out, size_t *filter_len);
int qorvex_gcs_match(const uint8_t *key16, const uint8_t *filter, size_t filter_len, size_t n,
    const uint8_t *element, size_t element_len);
int qorvex_gcs_match_any(const uint8_t *key16, const uint8_t *filter, size_t filter_len, size_t n,
    const uint8_t *const *elements, const size_t *element_lens, size_t element_count);

# SNARK witnesses
int qorvex_zk_ecdsa_snark_witness(qorvex_ctx *ctx, const uint8_t *msg32, const uint8_t *pubkey33,
    const uint8_t *sig64, uint8_t *witness_out);
int qorvex_zk_schnorr_snark_witness(qorvex_ctx *ctx, const uint8_t *msg32,
    const uint8_t *pubkey_x32, const uint8_t *sig64, uint8_t *witness_out);

# Signed messages (signmessage and BIP-322) and PSBT signing
int qorvex_btc_message_hash(const uint8_t *msg, size_t msg_len, uint8_t *out32);
int qorvex_btc_message_sign(qorvex_ctx *ctx, const uint8_t *msg, size_t msg_len,
    const uint8_t *seckey32, char *sig_b64_out, size_t *sig_b64_len);
int qorvex_btc_message_verify(qorvex_ctx *ctx, const uint8_t *msg, size_t msg_len,
    const uint8_t *pub33, const char *sig_b64);
int qorvex_bip322_sign(qorvex_ctx *ctx, const uint8_t *seckey32, int addr_type, const uint8_t *msg,
    size_t msg_len, uint8_t *sig_out, size_t *sig_len);
int qorvex_bip322_verify(qorvex_ctx *ctx, const uint8_t *pubkey, size_t pubkey_len, int addr_type,
    const uint8_t *msg, size_t msg_len, const uint8_t *sig, size_t sig_len);
int qorvex_bip322_simple_sign(qorvex_ctx *ctx, const uint8_t *seckey32, int addr_type,
    const uint8_t *msg, size_t msg_len, const uint8_t *aux32_or_null, char *out, size_t *out_len);
int qorvex_bip322_simple_verify(qorvex_ctx *ctx, const char *address, const uint8_t *msg,
    size_t msg_len, const char *signature_b64);
int qorvex_psbt_derive_key(qorvex_ctx *ctx, const qorvex_bip32_key *key, const char *path,
    uint8_t *seckey32_out);
int qorvex_psbt_sign_legacy(qorvex_ctx *ctx, const uint8_t *digest32, const uint8_t *seckey32,
    int sighash_type, uint8_t *sig_out, size_t *sig_len);
int qorvex_psbt_sign_segwit(qorvex_ctx *ctx, const uint8_t *digest32, const uint8_t *seckey32,
    int sighash_type, uint8_t *sig_out, size_t *sig_len);
int qorvex_psbt_sign_taproot(qorvex_ctx *ctx, const uint8_t *digest32, const uint8_t *seckey32,
    int sighash_type, const uint8_t *aux32_or_null, uint8_t *sig_out, size_t *sig_len);

# Multi-coin keys and output descriptors
int qorvex_coin_address(qorvex_ctx *ctx, const uint8_t *pub33, int coin_type, int testnet, char *addr_out,
    size_t *addr_len);
int qorvex_coin_wif_encode(qorvex_ctx *ctx, const uint8_t *seckey32, int coin_type, int testnet, char *wif_out,
    size_t *wif_len);
int qorvex_coin_derive_from_seed(qorvex_ctx *ctx, const uint8_t *seed, size_t seed_len, uint32_t coin_type,
    uint32_t account, int change, uint32_t address_index, int testnet, uint8_t *seckey32_out, uint8_t *pub33_out,
    char *addr_out, size_t *addr_len);
int qorvex_descriptor_parse(qorvex_ctx *ctx, const char *descriptor, int index, qorvex_descriptor *out,
    char *addr_out, size_t *addr_len);
int qorvex_descriptor_address(qorvex_ctx *ctx, const char *descriptor, int index, char *addr_out,
    size_t *addr_len);

# Silent payments (the library's own variant) and the self-test
int qorvex_silent_payment_address(qorvex_ctx *ctx, const uint8_t *scan_seckey32, const uint8_t *spend_seckey32,
    uint8_t *scan_pub33_out, uint8_t *spend_pub33_out, char *address_out, size_t *address_len);
int qorvex_silent_payment_create_output(qorvex_ctx *ctx, const uint8_t *input_seckeys32, size_t n_inputs,
    const uint8_t *scan_pub33, const uint8_t *spend_pub33, int32_t k, uint8_t *output_pub33_out,
    uint8_t *tweak32_out);
int qorvex_silent_payment_scan(qorvex_ctx *ctx, const uint8_t *scan_seckey32, const uint8_t *spend_seckey32,
    const uint8_t *input_pubkeys33, size_t n_inputs, const uint8_t *output_xonly32, size_t n_outputs,
    int *found_indices_out, uint8_t *found_seckeys32_out, size_t *n_found);
int qorvex_selftest_run(int mode, int verbose, uint64_t seed, uint32_t *tests_run, uint32_t *tests_passed);

# BIP-352 silent payments
int qorvex_bip352_address_encode(qorvex_ctx *ctx, const uint8_t *scan_pub33, const uint8_t *spend_pub33,
    int network, char *address_out, size_t *address_len);
int qorvex_bip352_address_decode(qorvex_ctx *ctx, const char *address, int *network_out, uint8_t *scan_pub33_out,
    uint8_t *spend_pub33_out);
int qorvex_bip352_label(qorvex_ctx *ctx, const uint8_t *scan_seckey32, const uint8_t *spend_pub33, uint32_t m,
    uint8_t *labelled_spend33_out, uint8_t *label_out);
int qorvex_bip352_input_pubkey(qorvex_ctx *ctx, const uint8_t *script_sig, size_t script_sig_len,
    const uint8_t *witness, size_t witness_len, const uint8_t *script_pubkey, size_t script_pubkey_len,
    uint8_t *pub33_out);
int qorvex_bip352_send(qorvex_ctx *ctx, const uint8_t *input_seckeys, const uint8_t *taproot_flags, size_t n_inputs,
    const uint8_t *outpoints, size_t n_outpoints, const uint8_t *recipients, size_t n_recipients,
    uint8_t *outputs_out);
int qorvex_bip352_tweak(qorvex_ctx *ctx, const uint8_t *input_pubkeys, size_t n_input_pubkeys,
    const uint8_t *outpoints, size_t n_outpoints, uint8_t *tweak33_out);
int qorvex_bip352_scan(qorvex_ctx *ctx, const uint8_t *scan_seckey32, const uint8_t *spend_pub33,
    const uint8_t *labels, size_t n_labels, const uint8_t *input_pubkeys, size_t n_input_pubkeys,
    const uint8_t *outpoints, size_t n_outpoints, const uint8_t *outputs, size_t n_outputs, uint8_t *matches_out,
    size_t *n_matches);
int qorvex_bip352_scan_tweak(qorvex_ctx *ctx, const uint8_t *scan_seckey32, const uint8_t *spend_pub33,
    const uint8_t *labels, size_t n_labels, const uint8_t *tweak33, const uint8_t *outputs, size_t n_outputs,
    uint8_t *matches_out, size_t *n_matches);

# Range proofs
int qorvex_zk_range_prove(qorvex_ctx *ctx, uint64_t value, const uint8_t *blinding32, const uint8_t *commitment33,
    const uint8_t *aux32, uint8_t *proof_out, size_t *proof_len);
int qorvex_zk_range_verify(qorvex_ctx *ctx, const uint8_t *commitment33, const uint8_t *proof, size_t proof_len);
"""

_c_char_pp = ctypes.POINTER(ctypes.c_char_p)
_c_size_p = ctypes.POINTER(ctypes.c_size_t)

# Every parameter and result type the header uses. Byte and text buffers are
# c_char_p: it takes bytes (passed in place, without a copy), c_char arrays
# and None (NULL).
CTYPES = {
    "void": None,
    "int": ctypes.c_int,
    "int *": ctypes.POINTER(ctypes.c_int),
    "uint8_t": ctypes.c_uint8,
    "int32_t": ctypes.c_int32,
    "uint32_t": ctypes.c_uint32,
    "uint32_t *": ctypes.POINTER(ctypes.c_uint32),
    "const uint32_t *": ctypes.POINTER(ctypes.c_uint32),
    "uint64_t": ctypes.c_uint64,
    "uint64_t *": ctypes.POINTER(ctypes.c_uint64),
    "const uint64_t *": ctypes.POINTER(ctypes.c_uint64),
    "size_t": ctypes.c_size_t,
    "size_t *": _c_size_p,
    "const size_t *": _c_size_p,
    "qorvex_ctx *": ctypes.c_void_p,
    "const qorvex_ctx *": ctypes.c_void_p,
    "qorvex_ctx * *": ctypes.POINTER(ctypes.c_void_p),
    "uint8_t *": ctypes.c_char_p,
    "const uint8_t *": ctypes.c_char_p,
    "char *": ctypes.c_char_p,
    "const char *": ctypes.c_char_p,
    "qorvex_bip32_key *": ctypes.c_char_p,
    "const qorvex_bip32_key *": ctypes.c_char_p,
    "qorvex_descriptor *": ctypes.c_char_p,
    "const uint8_t * const *": _c_char_pp,
}

_DECL = re.compile(r"^(.*?)\b(qorvex_\w+)\s*\((.*)\)$")


def normalize(c_type, named=True):
    """A parameter or result type in one spelling: tokens split by single
    spaces, the parameter name dropped ("const uint8_t *msg32" gives
    "const uint8_t *"): the last word is the name when a type stands before
    it. A result type (``named=False``) has no name. A new record type
    ("const qorvex_coin *coin") needs only its entry in CTYPES."""
    tokens = re.findall(r"\w+|\*", c_type)
    typed = [t for t in tokens[:-1] if t != "const"]
    if named and tokens and tokens[-1] != "*" and typed:
        tokens.pop()
    return " ".join(tokens)


def parse_declarations(text):
    """{name: (result type, (parameter types, ...))} of C declarations
    separated by ';' (comments removed first)."""
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"(?m)^\s*#.*$", " ", text)
    out = {}
    for decl in text.split(";"):
        decl = " ".join(decl.split())
        if not decl:
            continue
        m = _DECL.match(decl)
        if m is None:
            raise ValueError("not a function declaration: %r" % decl)
        result, name, params = m.groups()
        params = params.strip()
        types = () if params in ("", "void") else tuple(normalize(p) for p in params.split(","))
        out[name] = (normalize(result, named=False), types)
    return out


class _Functions:
    """Namespace of the bound functions."""


def _missing(name, path):
    def call(*_args):
        raise NotImplementedError("%s is not exported by %s (an older library?)" % (name, path))
    call.__name__ = name
    return call


DECLARATIONS = parse_declarations(PROTOTYPES)
lib, library_path = _lib.load()
C = _Functions()
for _name, (_result, _params) in DECLARATIONS.items():
    try:
        _f = getattr(lib, _name)
    except AttributeError:
        _f = _missing(_name, library_path)
    else:
        try:
            _f.restype = CTYPES[_result]
            _f.argtypes = [CTYPES[p] for p in _params]
        except KeyError as _exc:
            raise ImportError("qorvex/_ffi.py: %s uses the C type %r, which CTYPES does not map to ctypes"
                              % (_name, _exc.args[0])) from None
    setattr(C, _name, _f)
del _name, _result, _params, _f
