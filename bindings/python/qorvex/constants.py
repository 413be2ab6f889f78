"""Sizes and constants of include/qorvex.h, under their header names without
the QORVEX_ prefix (a test compares them with the header)."""

ABI_VERSION = 4
VERSION = 0x040400                       # major << 16 | minor << 8 | patch
VERSION_STRING = "4.4.0"
CTX_SIZE = 136
SECKEY_SIZE = 32
PUBKEY_COMPRESSED_SIZE = 33
PUBKEY_UNCOMPRESSED_SIZE = 65
XONLY_PUBKEY_SIZE = 32
MAX_MESSAGE_LEN = 127                    # longest text qorvex_last_error_msg returns
KEYPAIR_SIZE = 96
ECDSA_BATCH_ITEM_SIZE = 129
SCHNORR_BATCH_ITEM_SIZE = 128
OPAQUE_ROW_MIN_STRIDE = 129
BATCH_MAX_COUNT = 1048576
TXID_SIZE = 32                           # txid, wtxid, witness commitment
SIGHASH_SIZE = 32                        # every signature digest
KEY_HASH_SIZE = 20                       # Hash160 of a compressed key
P2WPKH_SCRIPT_CODE_SIZE = 25
TAPROOT_MERKLE_ROOT_SIZE = 32
TAPLEAF_HASH_SIZE = 32
SIGHASH_DEFAULT = 0x00                   # Taproot only: signs as ALL
SIGHASH_ALL = 0x01
SIGHASH_NONE = 0x02
SIGHASH_SINGLE = 0x03
SIGHASH_ANYONECANPAY = 0x80
NETWORK_MAINNET = 0
NETWORK_TESTNET = 1
ADDRESS_MAX_SIZE = 63                    # longest address (P2TR, 62 characters) and its NUL
WIF_MAX_SIZE = 53                        # 52 characters (51 uncompressed) and the NUL
SEGWIT_PROGRAM_MAX_SIZE = 40
P2WPKH_SPK_SIZE = 22
P2WSH_SPK_SIZE = 34
P2TR_SPK_SIZE = 34
BIP32_KEY_SIZE = 82                      # the qorvex_bip32_key record
BIP32_SERIALIZED_SIZE = 78               # BIP-32's serialization inside it
BIP32_TEXT_SIZE = 112                    # xprv/xpub text: 111 characters and the NUL
BIP32_SEED_MIN_SIZE = 16
BIP32_SEED_MAX_SIZE = 64
BIP32_HARDENED = 0x80000000              # child numbers from here on are hardened
BIP39_SEED_SIZE = 64
BIP39_ENTROPY_MAX_SIZE = 32
BIP39_MNEMONIC_MAX_SIZE = 216            # 24 words of up to 8 letters, 23 spaces, the NUL
BIP85_ENTROPY_MAX_SIZE = 32
MUSIG2_MIN_SIGNERS = 2
MUSIG2_MAX_SIGNERS = 3
MUSIG2_KEYAGG_SIZE = 165                 # n, Q's negation flag, Q, the key coefficients
MUSIG2_SESSION_SIZE = 165                # R, b, e, R's negation flag, n
MUSIG2_SECNONCE_SIZE = 64                # k1 || k2: secret, single-use
MUSIG2_PUBNONCE_SIZE = 66                # k1*G || k2*G, compressed
MUSIG2_AGGNONCE_SIZE = 66
MUSIG2_PARTIAL_SIG_SIZE = 32
MUSIG2_MAX_NONCES = 1048576              # n_pubnonces, n_partial_sigs
FROST_MAX_PARTICIPANTS = 1048576         # N, and signers per list
FROST_SHARE_ENTRY_SIZE = 36              # sender (4, LE) || share (32)
FROST_KEYPKG_SIZE = 141                  # secret: holds the signing share
FROST_NONCE_SIZE = 64                    # d || e: secret, single-use
FROST_NONCE_COMMIT_SIZE = 70             # id (4, LE) || D (33) || E (33)
FROST_PARTIAL_SIG_SIZE = 36              # id (4, LE) || z (32)
ECDH_SECRET_SIZE = 32
ECIES_OVERHEAD = 81                      # envelope length - plaintext length
ECIES_MIN_ENVELOPE_SIZE = 82             # a one-byte plaintext
PEDERSEN_COMMITMENT_SIZE = 33
PEDERSEN_MAX_COUNT = 1048576             # most items per list (2^20)
ZK_KNOWLEDGE_PROOF_SIZE = 64             # x(R) || s
ZK_DLEQ_PROOF_SIZE = 64                  # e || s
SCHNORR_ADAPTOR_PRESIG_SIZE = 97
ECDSA_ADAPTOR_PRESIG_SIZE = 162
GCS_KEY_SIZE = 16                        # BIP-158: the first 16 bytes of the block hash, as serialized
GCS_P = 19                               # bits of each Golomb-Rice remainder
GCS_M = 784931                           # values fall in [0, N * M)
ZK_LIMB52_SIZE = 40
ZK_ECDSA_SNARK_WITNESS_SIZE = 756
ZK_SCHNORR_SNARK_WITNESS_SIZE = 468

BTC_MESSAGE_SIG_SIZE = 65                # header || r || s
BTC_MESSAGE_SIG_TEXT_SIZE = 89           # its Base64: 88 characters and the NUL
BIP322_P2WPKH = 1                        # address types of the BIP-322 functions
BIP322_P2TR = 2
BIP322_SCHNORR_SIG_SIZE = 64
BIP322_ECDSA_SIG_SIZE = 65               # r || s || 0x01
BIP322_SIMPLE_SIG_MAX_SIZE = 145         # 144 characters and the NUL
PSBT_ECDSA_SIG_MAX_SIZE = 73             # DER (at most 72) and the sighash byte
PSBT_TAPROOT_SIG_MAX_SIZE = 65           # BIP-340 signature and a non-zero sighash byte

def FROST_COMMITMENT_SIZE(threshold):
    """Bytes of a FROST key-generation commitment blob for threshold t."""
    return 33 * threshold + 72


def FROST_SHARES_SIZE(num_participants):
    """Bytes of a FROST share blob for N participants."""
    return FROST_SHARE_ENTRY_SIZE * num_participants

# Sizes of the signature, hash and Ethereum buffers, and of the families added
# since (self-test modes, range proofs, silent payments, BIP-352, coins and
# descriptors).
MSG32_SIZE = 32                          # the digest every signature signs (msg32)
ECDSA_SIG_SIZE = 64                      # compact r || s
ECDSA_OPAQUE_SIG_SIZE = 64
ECDSA_RECOVERABLE_SIG_SIZE = 65          # r || s || recid, as 'qorvex recover' reads it
ECDSA_DER_MAX_SIZE = 72                  # longest minimal DER signature
SCHNORR_SIG_SIZE = 64                    # BIP-340 R.x || s
SHA256_SIZE = 32
SHA512_SIZE = 64
HASH160_SIZE = 20
KECCAK256_SIZE = 32
ETH_ADDRESS_SIZE = 20
ETH_ADDRESS_TEXT_SIZE = 43               # "0x", 40 hex digits and the NUL
ERROR_MSG_MAX_LEN = 127
SELFTEST_SMOKE = 0                       # 25 tests: known answers and the group law
SELFTEST_CI = 1                          # 40: also the generic routes, batches, random laws, the vector file
SELFTEST_STRESS = 2                      # 44: also the same laws over thousands of random values
ZK_RANGE_PROOF_SIZE = 688
SILENT_PAYMENT_ADDRESS_LENGTH = 113      # characters, without the NUL
SILENT_PAYMENT_ADDRESS_SIZE = 114        # a buffer that holds it and the NUL
SILENT_PAYMENT_TWEAK_SIZE = 32
SILENT_PAYMENT_MAX_INPUTS = 1048576      # input keys per call
SILENT_PAYMENT_MAX_OUTPUTS = 1048576     # outputs per scan
BIP352_OUTPOINT_SIZE = 36
BIP352_RECIPIENT_SIZE = 66               # scan key (33) || spend key B_m (33), compressed
BIP352_LABEL_SIZE = 69                   # m (4, big-endian) || L_m (65, uncompressed)
BIP352_MATCH_SIZE = 72                   # see qorvex_bip352_scan
BIP352_TWEAK_SIZE = 33                   # input_hash * A, compressed
BIP352_ADDRESS_SIZE = 118                # longest version-0 address (tsp1...) and its NUL
BIP352_K_MAX = 2323                      # outputs per scan key in one transaction
BIP352_MAX_COUNT = 1048576               # most items in any list (2^20)
BIP352_NO_LABEL = 0xFFFFFFFF             # label index of an unlabelled match
COIN_ADDRESS_MAX_SIZE = 55               # longest coin address (a CashAddr, 54 characters) and its NUL
COIN_WIF_MAX_SIZE = 53                   # a coin's WIF text (52 characters) and its NUL
DESCRIPTOR_SIZE = 108
DESCRIPTOR_PATH_SIZE = 64                # the path field, its NUL included
DESCRIPTOR_PK = 0
DESCRIPTOR_PKH = 1
DESCRIPTOR_WPKH = 2
DESCRIPTOR_TR = 3
DESCRIPTOR_SH_WPKH = 4
