// demo: a tour of the library on built-in inputs. Each step is a function in
// the list at the bottom; a new capability adds a step there.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace qcli {

namespace {

const char* const kSeedPhrase = "qorvex demo seed";
const char* const kMessage = "Pay 5 coins to Bob";
const char* const kTampered = "Pay 500 coins to Bob";
const char* const kEthMessage = "Hello from qorvex";
// A personal message carries no chain id (EIP-191): v is 27 or 28, as
// personal-message checkers expect. EIP-155 ids are for transactions.
const uint64_t kChainId = 0;
const char* const kBobPhrase = "qorvex demo bob";
const char* const kNote = "The vault code is 4-8-15-16-23-42";

// What the steps share: the key made in the first one, its public keys and
// the ECDSA digest of the message.
struct Demo {
    explicit Demo(Session& session) : s(session) {}
    Session& s;
    SecretKey key;
    uint8_t pub[33] = {};
    uint8_t digest[32] = {};
    uint8_t eth_addr[20] = {};
    uint8_t seed[QORVEX_BIP39_SEED_SIZE] = {};  // the wallet step's BIP-39 seed
};

struct Step {
    Json fields = Json::object();
};

const uint8_t* bytes(const char* text) { return reinterpret_cast<const uint8_t*>(text); }

[[noreturn]] void unexpected(const std::string& what) { runtime_error("demo: unexpected result: " + what); }

std::string quoted(const char* text) { return std::string("\"") + text + "\""; }

// "rejected (code 6: ECDSA verify failed)" for an expected refusal.
std::string refusal(Demo& d, int rc) {
    if (rc == QORVEX_OK) unexpected("a tampered message verified");
    return std::string("rejected (code ") + std::to_string(rc) + ": " + d.s.library_message(rc) + ")";
}

void step_library(Demo& d, Step& st) {
    st.fields.set("library", std::string(qorvex_version_string()) + " (ABI " + std::to_string(qorvex_abi_version()) + ")");
    d.s.ctx();
    st.fields.set("context", "created; the library's self-test passed");
    st.fields.set("context_size", std::to_string(qorvex_ctx_size()) + " bytes (it holds only the last error)",
                  "context size");
    st.fields.set("table_cache", table_cache_location(), "table cache");
}

void step_keys(Demo& d, Step& st) {
    d.s.check(qorvex_sha256(bytes(kSeedPhrase), std::strlen(kSeedPhrase), d.key.bytes));
    d.s.check(qorvex_seckey_verify(d.s.ctx(), d.key.bytes));
    uint8_t unc[65], xonly[32];
    d.s.check(qorvex_pubkey_create(d.s.ctx(), d.key.bytes, d.pub));
    d.s.check(qorvex_pubkey_create_uncompressed(d.s.ctx(), d.key.bytes, unc));
    d.s.check(qorvex_pubkey_xonly(d.s.ctx(), d.key.bytes, xonly));
    st.fields.set("seed_phrase", quoted(kSeedPhrase), "seed phrase");
    st.fields.set("private_key", to_hex(d.key.bytes, 32), "private key");
    st.fields.set("public_key", to_hex(d.pub, 33), "compressed");
    st.fields.set("uncompressed", to_hex(unc, 65));
    st.fields.set("x_only", to_hex(xonly, 32), "x-only");
}

void step_ecdsa(Demo& d, Step& st) {
    d.s.check(qorvex_sha256(bytes(kMessage), std::strlen(kMessage), d.digest));
    uint8_t sig[64], der[72], bad[32];
    size_t der_len = sizeof der;
    d.s.check(qorvex_ecdsa_sign(d.s.ctx(), d.digest, d.key.bytes, sig));
    d.s.check(qorvex_ecdsa_sig_to_der(d.s.ctx(), sig, der, &der_len));
    d.s.check(qorvex_ecdsa_verify(d.s.ctx(), d.digest, sig, d.pub));
    d.s.check(qorvex_sha256(bytes(kTampered), std::strlen(kTampered), bad));
    st.fields.set("message", quoted(kMessage));
    st.fields.set("sha256", to_hex(d.digest, 32), "SHA-256");
    st.fields.set("signature", to_hex(sig, 64));
    st.fields.set("der", to_hex(der, der_len), "DER");
    st.fields.set("verify", "valid");
    st.fields.set("tampered_message", quoted(kTampered), "tampered");
    st.fields.set("verify_tampered", refusal(d, qorvex_ecdsa_verify(d.s.ctx(), bad, sig, d.pub)), "verify");
}

void step_recover(Demo& d, Step& st) {
    uint8_t sig[64], back[33];
    int recid = -1;
    d.s.check(qorvex_ecdsa_sign_recoverable(d.s.ctx(), d.digest, d.key.bytes, sig, &recid));
    d.s.check(qorvex_ecdsa_recover(d.s.ctx(), d.digest, sig, recid, back));
    if (std::memcmp(back, d.pub, 33) != 0) unexpected("recovery gave another key");
    st.fields.set("message", quoted(kMessage));
    st.fields.set("signature", to_hex(sig, 64));
    st.fields.set("recid", recid, "recovery id");
    st.fields.set("recovered", to_hex(back, 33));
    st.fields.set("same_key", true, "same key");
}

void step_schnorr(Demo& d, Step& st) {
    uint8_t aux[32], xonly[32], sig[64];
    d.s.check(qorvex_sha256(bytes("qorvex demo aux"), 15, aux));  // fixed, so every run shows the same signature
    d.s.check(qorvex_pubkey_xonly(d.s.ctx(), d.key.bytes, xonly));
    const size_t len = std::strlen(kMessage);
    d.s.check(qorvex_schnorr_sign_msg(d.s.ctx(), d.key.bytes, bytes(kMessage), len, aux, sig));
    d.s.check(qorvex_schnorr_verify_msg(d.s.ctx(), xonly, bytes(kMessage), len, sig));
    st.fields.set("message", quoted(kMessage));
    st.fields.set("x_only", to_hex(xonly, 32), "x-only key");
    st.fields.set("aux", to_hex(aux, 32), "aux randomness");
    st.fields.set("signature", to_hex(sig, 64));
    st.fields.set("verify", "valid");
    st.fields.set("tampered_message", quoted(kTampered), "tampered");
    st.fields.set("verify_tampered",
                  refusal(d, qorvex_schnorr_verify_msg(d.s.ctx(), xonly, bytes(kTampered), std::strlen(kTampered), sig)),
                  "verify");
}

void step_ethereum(Demo& d, Step& st) {
    char text[43];
    size_t text_len = sizeof text;
    d.s.check(qorvex_eth_address(d.s.ctx(), d.pub, d.eth_addr));
    d.s.check(qorvex_eth_address_checksummed(d.s.ctx(), d.pub, text, &text_len));
    uint8_t hash[32], r[32], s[32], back[20];
    uint64_t v = 0;
    d.s.check(qorvex_eth_personal_hash(bytes(kEthMessage), std::strlen(kEthMessage), hash));
    d.s.check(qorvex_eth_sign(d.s.ctx(), hash, d.key.bytes, r, s, &v, kChainId));
    d.s.check(qorvex_eth_ecrecover(d.s.ctx(), hash, r, s, v, back));
    if (std::memcmp(back, d.eth_addr, 20) != 0) unexpected("ecrecover gave another address");
    st.fields.set("address", std::string(text, text_len));
    st.fields.set("message", quoted(kEthMessage));
    st.fields.set("personal_hash", to_hex(hash, 32), "EIP-191 hash");
    st.fields.set("r", to_hex(r, 32));
    st.fields.set("s", to_hex(s, 32));
    st.fields.set("v", v);
    st.fields.set("ecrecover", std::string("0x") + to_hex(back, 20));
    st.fields.set("same_address", true, "same address");
}

void step_wallet(Demo& d, Step& st) {
    static const char kPath[] = "m/84'/0'/0'/0/0";
    // Entropy from the demo phrase: every run shows the same mnemonic.
    uint8_t entropy[32], seed[QORVEX_BIP39_SEED_SIZE], pub[33];
    d.s.check(qorvex_sha256(bytes(kSeedPhrase), std::strlen(kSeedPhrase), entropy));
    char mnemonic[QORVEX_BIP39_MNEMONIC_MAX_SIZE], addr[QORVEX_ADDRESS_MAX_SIZE];
    size_t mlen = sizeof mnemonic, alen = sizeof addr;
    d.s.check(qorvex_bip39_generate(d.s.ctx(), 16, entropy, mnemonic, &mlen));
    d.s.check(qorvex_bip39_validate(d.s.ctx(), mnemonic));
    d.s.check(qorvex_bip39_to_seed(d.s.ctx(), mnemonic, nullptr, seed));
    std::memcpy(d.seed, seed, sizeof seed);
    qorvex_bip32_key master, child;
    d.s.check(qorvex_bip32_master(d.s.ctx(), seed, sizeof seed, &master));
    d.s.check(qorvex_bip32_derive_path(d.s.ctx(), &master, kPath, &child));
    d.s.check(qorvex_bip32_pubkey(d.s.ctx(), &child, pub));
    d.s.check(qorvex_addr_p2wpkh(d.s.ctx(), pub, QORVEX_NETWORK_MAINNET, addr, &alen));
    st.fields.set("mnemonic", std::string(mnemonic, mlen));
    st.fields.set("seed", to_hex(seed, sizeof seed), "BIP-39 seed");
    st.fields.set("master_fingerprint", key_fingerprint(d.s, master), "master key");
    st.fields.set("path", kPath);
    st.fields.set("public_key", to_hex(pub, 33), "public key");
    st.fields.set("address", std::string(addr, alen), "P2WPKH");
}

void step_messages(Demo& d, Step& st) {
    const size_t len = std::strlen(kMessage), bad_len = std::strlen(kTampered);
    char legacy[QORVEX_BTC_MESSAGE_SIG_TEXT_SIZE], simple[QORVEX_BIP322_SIMPLE_SIG_MAX_SIZE];
    char p2pkh[QORVEX_ADDRESS_MAX_SIZE], p2wpkh[QORVEX_ADDRESS_MAX_SIZE];
    size_t legacy_len = sizeof legacy, simple_len = sizeof simple, p2pkh_len = sizeof p2pkh, p2wpkh_len = sizeof p2wpkh;
    d.s.check(qorvex_addr_p2pkh(d.s.ctx(), d.pub, QORVEX_NETWORK_MAINNET, p2pkh, &p2pkh_len));
    d.s.check(qorvex_addr_p2wpkh(d.s.ctx(), d.pub, QORVEX_NETWORK_MAINNET, p2wpkh, &p2wpkh_len));
    d.s.check(qorvex_btc_message_sign(d.s.ctx(), bytes(kMessage), len, d.key.bytes, legacy, &legacy_len));
    d.s.check(qorvex_btc_message_verify(d.s.ctx(), bytes(kMessage), len, d.pub, legacy));
    // P2WPKH signing is deterministic: no randomness needed.
    d.s.check(qorvex_bip322_simple_sign(d.s.ctx(), d.key.bytes, QORVEX_BIP322_P2WPKH, bytes(kMessage), len, nullptr,
                                        simple, &simple_len));
    d.s.check(qorvex_bip322_simple_verify(d.s.ctx(), p2wpkh, bytes(kMessage), len, simple));
    st.fields.set("message", quoted(kMessage));
    st.fields.set("p2pkh", std::string(p2pkh, p2pkh_len), "P2PKH");
    st.fields.set("signmessage", std::string(legacy, legacy_len));
    st.fields.set("verify_legacy", "valid", "verify");
    st.fields.set("p2wpkh", std::string(p2wpkh, p2wpkh_len), "P2WPKH");
    st.fields.set("bip322_simple", std::string(simple, simple_len), "BIP-322");
    st.fields.set("verify_bip322", "valid", "verify");
    st.fields.set("tampered_message", quoted(kTampered), "tampered");
    st.fields.set("verify_tampered",
                  refusal(d, qorvex_bip322_simple_verify(d.s.ctx(), p2wpkh, bytes(kTampered), bad_len, simple)),
                  "verify");
}

void step_coins(Demo& d, Step& st) {
    struct Coin {
        uint32_t type;
        const char* key;
        const char* label;
    };
    const Coin coins[] = {
        {0, "bitcoin", "Bitcoin      m/86'/0'/0'/0/0"},     {2, "litecoin", "Litecoin     m/86'/2'/0'/0/0"},
        {3, "dogecoin", "Dogecoin     m/44'/3'/0'/0/0"},     {60, "ethereum", "Ethereum     m/44'/60'/0'/0/0"},
        {145, "bitcoin_cash", "Bitcoin Cash m/44'/145'/0'/0/0"},
    };
    for (const Coin& c : coins) {
        char addr[QORVEX_COIN_ADDRESS_MAX_SIZE];
        size_t len = sizeof addr;
        d.s.check(qorvex_coin_derive_from_seed(d.s.ctx(), d.seed, sizeof d.seed, c.type, 0, 0, 0, 0, nullptr, nullptr,
                                               addr, &len));
        st.fields.set(c.key, std::string(addr, len), c.label);
    }
}

// --- Threshold signatures: MuSig2 and FROST ---

// A demo secret from a fixed phrase and a number (keys, nonce randomness,
// seeds): every run prints the same values. Real use takes fresh random
// bytes for each.
void demo_secret(Demo& d, const char* what, unsigned i, uint8_t out32[32]) {
    const std::string phrase = std::string("qorvex demo ") + what + " " + std::to_string(i);
    d.s.check(qorvex_sha256(bytes(phrase.c_str()), phrase.size(), out32));
}

void step_musig2(Demo& d, Step& st) {
    constexpr size_t kSigners = 3;
    SecretKey keys[kSigners];
    uint8_t pubkeys[kSigners * 33], xonly[kSigners][32], msg[32];
    uint8_t keyagg[QORVEX_MUSIG2_KEYAGG_SIZE], agg[32], aggnonce[QORVEX_MUSIG2_AGGNONCE_SIZE];
    uint8_t session[QORVEX_MUSIG2_SESSION_SIZE], secnonces[kSigners][QORVEX_MUSIG2_SECNONCE_SIZE];
    uint8_t pubnonces[kSigners * QORVEX_MUSIG2_PUBNONCE_SIZE], partials[kSigners * 32], sig[64];
    d.s.check(qorvex_sha256(bytes(kMessage), std::strlen(kMessage), msg));
    for (size_t i = 0; i < kSigners; ++i) {
        demo_secret(d, "musig2 signer", static_cast<unsigned>(i + 1), keys[i].bytes);
        d.s.check(qorvex_pubkey_create(d.s.ctx(), keys[i].bytes, pubkeys + 33 * i));
        d.s.check(qorvex_pubkey_xonly(d.s.ctx(), keys[i].bytes, xonly[i]));
    }
    d.s.check(qorvex_musig2_key_agg(d.s.ctx(), pubkeys, kSigners, keyagg, agg));
    for (size_t i = 0; i < kSigners; ++i) {
        uint8_t rand[32];
        demo_secret(d, "musig2 nonce randomness", static_cast<unsigned>(i + 1), rand);
        d.s.check(qorvex_musig2_nonce_gen(d.s.ctx(), keys[i].bytes, xonly[i], agg, msg, rand, secnonces[i],
                                          pubnonces + QORVEX_MUSIG2_PUBNONCE_SIZE * i));
    }
    d.s.check(qorvex_musig2_nonce_agg(d.s.ctx(), pubnonces, kSigners, aggnonce));
    d.s.check(qorvex_musig2_start_sign_session(d.s.ctx(), aggnonce, keyagg, msg, session));
    for (size_t i = 0; i < kSigners; ++i) {
        d.s.check(qorvex_musig2_partial_sign_v2(d.s.ctx(), secnonces[i], keys[i].bytes, pubkeys, keyagg, session, i,
                                                partials + 32 * i));
        d.s.check(qorvex_musig2_partial_verify(d.s.ctx(), partials + 32 * i, pubnonces + QORVEX_MUSIG2_PUBNONCE_SIZE * i,
                                               xonly[i], keyagg, session, i));
    }
    d.s.check(qorvex_musig2_partial_sig_agg(d.s.ctx(), partials, kSigners, session, sig));
    d.s.check(qorvex_schnorr_verify(d.s.ctx(), msg, sig, agg));
    // Signing wiped the secret nonce: a second use is refused.
    uint8_t again[32];
    const int reuse = qorvex_musig2_partial_sign_v2(d.s.ctx(), secnonces[0], keys[0].bytes, pubkeys, keyagg, session,
                                                    0, again);
    if (reuse == QORVEX_OK) unexpected("a secret nonce signed twice");
    st.fields.set("message", quoted(kMessage) + " (SHA-256)");
    for (size_t i = 0; i < kSigners; ++i)
        st.fields.set("signer_" + std::to_string(i + 1), to_hex(xonly[i], 32), "signer " + std::to_string(i + 1));
    st.fields.set("aggregate_key", to_hex(agg, 32), "aggregate key");
    st.fields.set("signature", to_hex(sig, 64));
    st.fields.set("verify", "valid (BIP-340, under the aggregate key)");
    st.fields.set("nonce_reuse", std::string("rejected (code ") + std::to_string(reuse) + ": " +
                                     d.s.library_message(reuse) + ")",
                  "nonce reused");
}

void step_frost(Demo& d, Step& st) {
    constexpr uint32_t kT = 2, kN = 3;
    constexpr size_t kCommitsSize = QORVEX_FROST_COMMITMENT_SIZE(kT), kSharesSize = QORVEX_FROST_SHARES_SIZE(kN);
    uint8_t commits[kN * kCommitsSize], shares[kN * kSharesSize], msg[32];
    for (uint32_t id = 1; id <= kN; ++id) {
        SecretKey seed;
        demo_secret(d, "frost keygen seed", id, seed.bytes);
        size_t cl = kCommitsSize, sl = kSharesSize;
        d.s.check(qorvex_frost_keygen_begin(d.s.ctx(), id, kT, kN, seed.bytes, commits + kCommitsSize * (id - 1), &cl,
                                            shares + kSharesSize * (id - 1), &sl));
    }
    uint8_t keypkgs[kN][QORVEX_FROST_KEYPKG_SIZE];
    for (uint32_t id = 1; id <= kN; ++id) {
        uint8_t received[kN * QORVEX_FROST_SHARE_ENTRY_SIZE];
        for (uint32_t m = 0; m < kN; ++m)
            std::memcpy(received + QORVEX_FROST_SHARE_ENTRY_SIZE * m,
                        shares + kSharesSize * m + QORVEX_FROST_SHARE_ENTRY_SIZE * (id - 1), QORVEX_FROST_SHARE_ENTRY_SIZE);
        d.s.check(qorvex_frost_keygen_finalize(d.s.ctx(), id, commits, sizeof commits, received, sizeof received, kT, kN,
                                               keypkgs[id - 1]));
        wipe(received, sizeof received);
    }
    wipe(shares, sizeof shares);
    const uint8_t* group = keypkgs[0] + 77;  // the key package's group key
    // Participants 1 and 3 sign; 2 takes no part.
    const uint32_t signers[kT] = {1, 3};
    uint8_t nonces[kT][QORVEX_FROST_NONCE_SIZE], list[kT * QORVEX_FROST_NONCE_COMMIT_SIZE];
    uint8_t partials[kT * QORVEX_FROST_PARTIAL_SIG_SIZE], sig[64];
    d.s.check(qorvex_sha256(bytes(kMessage), std::strlen(kMessage), msg));
    for (uint32_t i = 0; i < kT; ++i) {
        SecretKey seed;
        demo_secret(d, "frost nonce seed", signers[i], seed.bytes);
        d.s.check(qorvex_frost_sign_nonce_gen(d.s.ctx(), signers[i], seed.bytes, nonces[i],
                                              list + QORVEX_FROST_NONCE_COMMIT_SIZE * i));
    }
    for (uint32_t i = 0; i < kT; ++i) {
        uint8_t* partial = partials + QORVEX_FROST_PARTIAL_SIG_SIZE * i;
        const uint8_t* keypkg = keypkgs[signers[i] - 1];
        d.s.check(qorvex_frost_sign(d.s.ctx(), keypkg, nonces[i], msg, list, kT, partial));
        d.s.check(qorvex_frost_verify_partial(d.s.ctx(), partial, keypkg + 44, list, kT, msg, group));
    }
    d.s.check(qorvex_frost_aggregate(d.s.ctx(), partials, kT, list, kT, group, msg, sig));
    d.s.check(qorvex_schnorr_verify(d.s.ctx(), msg, sig, group + 1));
    st.fields.set("message", quoted(kMessage) + " (SHA-256)");
    st.fields.set("group_key", to_hex(group, 33), "group key");
    st.fields.set("x_only", to_hex(group + 1, 32), "x-only");
    st.fields.set("signers", "participants 1 and 3 of 3");
    st.fields.set("signature", to_hex(sig, 64));
    st.fields.set("verify", "valid (BIP-340, under the x-only group key)");
    wipe(keypkgs, sizeof keypkgs);
}

void step_encryption(Demo& d, Step& st) {
    SecretKey bob;
    uint8_t bob_pub[33], ab[32], ba[32];
    d.s.check(qorvex_sha256(bytes(kBobPhrase), std::strlen(kBobPhrase), bob.bytes));
    d.s.check(qorvex_pubkey_create(d.s.ctx(), bob.bytes, bob_pub));
    d.s.check(qorvex_ecdh(d.s.ctx(), d.key.bytes, bob_pub, ab));
    d.s.check(qorvex_ecdh(d.s.ctx(), bob.bytes, d.pub, ba));
    if (std::memcmp(ab, ba, 32) != 0) unexpected("the two sides of ECDH differ");

    // The envelope is new on every run (a fresh ephemeral key and IV), so
    // only its length is shown.
    const size_t len = std::strlen(kNote);
    std::vector<uint8_t> env(len + QORVEX_ECIES_OVERHEAD), env2(env.size()), back(len);
    size_t env_len = env.size(), env2_len = env2.size(), back_len = back.size();
    d.s.check(qorvex_ecies_encrypt(d.s.ctx(), bob_pub, bytes(kNote), len, env.data(), &env_len));
    d.s.check(qorvex_ecies_encrypt(d.s.ctx(), bob_pub, bytes(kNote), len, env2.data(), &env2_len));
    d.s.check(qorvex_ecies_decrypt(d.s.ctx(), bob.bytes, env.data(), env_len, back.data(), &back_len));
    if (std::memcmp(back.data(), kNote, len) != 0) unexpected("decryption gave another message");
    env[60] ^= 1;
    const int tampered = qorvex_ecies_decrypt(d.s.ctx(), bob.bytes, env.data(), env_len, back.data(), &back_len);
    if (tampered == QORVEX_OK) unexpected("a modified envelope decrypted");

    st.fields.set("bob_seed_phrase", quoted(kBobPhrase), "Bob's seed");
    st.fields.set("bob_public_key", to_hex(bob_pub, 33), "Bob's key");
    st.fields.set("shared_secret", to_hex(ab, 32), "ECDH secret");
    st.fields.set("same_secret", true, "Bob agrees");
    st.fields.set("message", quoted(kNote));
    st.fields.set("envelope_length", std::to_string(env_len) + " bytes (key 33, IV 16, text " + std::to_string(len) +
                                         ", tag 32)", "envelope");
    st.fields.set("fresh_each_time", std::memcmp(env.data(), env2.data(), 33) != 0, "fresh each time");
    st.fields.set("decrypted", quoted(std::string(reinterpret_cast<const char*>(back.data()), back_len).c_str()));
    st.fields.set("one_byte_changed", std::string("rejected (code ") + std::to_string(tampered) + ": " +
                                           d.s.library_message(tampered) + ")", "byte changed");
}

void step_range_proof(Demo& d, Step& st) {
    static const char* const kBlindingPhrase = "qorvex demo blinding";
    static const char* const kAuxPhrase = "qorvex demo range proof";
    constexpr uint64_t kAmount = 5000;
    SecretKey blinding;
    uint8_t aux[32], amount[32] = {}, other[32] = {}, c[QORVEX_PEDERSEN_COMMITMENT_SIZE],
                     c_other[QORVEX_PEDERSEN_COMMITMENT_SIZE], proof[QORVEX_ZK_RANGE_PROOF_SIZE];
    d.s.check(qorvex_sha256(bytes(kBlindingPhrase), std::strlen(kBlindingPhrase), blinding.bytes));
    d.s.check(qorvex_sha256(bytes(kAuxPhrase), std::strlen(kAuxPhrase), aux));
    for (int i = 0; i < 8; ++i) amount[31 - i] = static_cast<uint8_t>(kAmount >> (8 * i));
    std::memcpy(other, amount, 32);
    other[31] ^= 1;
    d.s.check(qorvex_pedersen_commit(d.s.ctx(), amount, blinding.bytes, c));
    d.s.check(qorvex_pedersen_commit(d.s.ctx(), other, blinding.bytes, c_other));
    size_t len = sizeof proof;
    d.s.check(qorvex_zk_range_prove(d.s.ctx(), kAmount, blinding.bytes, c, aux, proof, &len));
    d.s.check(qorvex_zk_range_verify(d.s.ctx(), c, proof, len));
    const int wrong = qorvex_zk_range_verify(d.s.ctx(), c_other, proof, len);
    proof[300] ^= 1;  // inside L_2
    const int tampered = qorvex_zk_range_verify(d.s.ctx(), c, proof, len);

    st.fields.set("amount", std::to_string(kAmount) + " (known to the prover only)");
    st.fields.set("commitment", to_hex(c, sizeof c));
    st.fields.set("proof", std::to_string(len) + " bytes, first " + to_hex(proof, 16) + "...");
    st.fields.set("verify", "valid: the amount is in [0, 2^64)");
    st.fields.set("other_commitment", refusal(d, wrong), "other commitment");
    st.fields.set("one_bit_changed", refusal(d, tampered), "bit changed");
}

struct DemoStep {
    const char* title;
    const char* about;  // one or two sentences shown above the results
    void (*run)(Demo&, Step&);
};

const DemoStep kSteps[] = {
    {"The library",
     "The first context of a process runs the library's self-test and loads (or\n"
     "builds and caches) its generator tables.",
     step_library},
    {"Keys from a fixed seed",
     "A private key is a number from 1 to n-1. Here it is the SHA-256 of a phrase,\n"
     "so every run shows the same keys; 'qorvex keygen' makes random ones.",
     step_keys},
    {"ECDSA: sign and verify",
     "ECDSA signs the SHA-256 of the message with a deterministic nonce (RFC 6979);\n"
     "any change to the message makes verification fail.",
     step_ecdsa},
    {"ECDSA: recover the public key",
     "With the recovery id (0 to 3), the public key can be computed from the\n"
     "signature and the message alone.",
     step_recover},
    {"Schnorr signatures (BIP-340)",
     "Schnorr signatures use the 32-byte x-only key and 32 bytes of auxiliary\n"
     "randomness. BIP-340 signs 32 bytes; the message is hashed with the\n"
     "\"BIP0340/msg\" tagged hash, this library's own convention (other software\n"
     "may hash differently: sign a 32-byte digest with --digest to interoperate).",
     step_schnorr},
    {"Ethereum",
     "An Ethereum address is the end of the Keccak-256 of the public key. Wallets\n"
     "sign the EIP-191 hash of a message; ecrecover finds the signer's address.",
     step_ethereum},
    {"Wallet: mnemonic, seed and address",
     "A BIP-39 mnemonic gives a 64-byte seed, the seed a BIP-32 master key, and the\n"
     "key at m/84'/0'/0'/0/0 the first native segwit (BIP-84) receiving address.",
     step_wallet},
    {"Signed messages: signmessage and BIP-322",
     "Wallets prove control of an address by signing a text: the signmessage form\n"
     "recovers the key from the signature; BIP-322 signs a virtual transaction\n"
     "that spends from the address, and is checked against the address alone.",
     step_messages},
    {"Many coins from one seed",
     "The same seed gives each coin its own keys, along its own BIP-44/84/86 path,\n"
     "and each coin writes its address in its own style.",
     step_coins},
    {"MuSig2: three signers, one signature",
     "Three keys are aggregated into one; each signer makes a nonce pair, and the\n"
     "partial signatures add up to a BIP-340 signature under the aggregate key.",
     step_musig2},
    {"FROST: two of three",
     "Three participants generate a key together without a dealer; any two of them\n"
     "sign, and the result is a BIP-340 signature under the group's x-only key.",
     step_frost},
    {"ECDH and encryption (ECIES)",
     "Two keys give one shared secret (ECDH). Encryption to a public key wraps a\n"
     "message with a one-time key, AES-256 and a tag; any change is detected.",
     step_encryption},
    {"Range proof: an amount kept secret",
     "A Pedersen commitment hides an amount; a 688-byte Bulletproofs range proof\n"
     "shows it lies in [0, 2^64) without revealing it.",
     step_range_proof},
};

// "label   value"; long text is broken between words under the value column.
std::string render_step(const Json& fields) {
    size_t width = 0;
    for (size_t i = 0; i < fields.member_count(); ++i) width = std::max(width, fields.label(i).size());
    std::string out;
    for (size_t i = 0; i < fields.member_count(); ++i) {
        std::string label = fields.label(i);
        label.resize(width, ' ');
        const std::string value = fields.value(i).scalar();
        // Long text (a mnemonic) is broken between words.
        if (value.size() > 72 && value.find(' ') != std::string::npos) {
            std::string line;
            bool first = true;
            const auto flush = [&] {
                out += std::string(4, ' ') + (first ? label : std::string(width, ' ')) + "  " + line + "\n";
                first = false;
                line.clear();
            };
            for (size_t p = 0; p < value.size();) {
                const size_t e = std::min(value.find(' ', p), value.size());
                const std::string word = value.substr(p, e - p);
                if (!line.empty() && line.size() + 1 + word.size() > 72) flush();
                line += (line.empty() ? "" : " ") + word;
                p = e + 1;
            }
            flush();
            continue;
        }
        // Hex values (signatures, uncompressed keys, seeds) stay whole on one
        // line, however long: a value copied from the terminal must paste.
        out += std::string(4, ' ') + label + "  " + value + "\n";
    }
    return out;
}

int run_demo(Session& s, const Args&) {
    Demo d(s);
    const size_t count = sizeof kSteps / sizeof kSteps[0];
    Json steps = Json::array();
    std::string text = std::string("qorvex ") + QORVEX_CLI_VERSION +
                       ": a tour of the library on built-in inputs\n"
                       "(the demo key is made from a public phrase: never use it for real funds)\n";
    for (size_t i = 0; i < count; ++i) {
        Step st;
        kSteps[i].run(d, st);
        Json j = Json::object();
        j.set("title", kSteps[i].title);
        j.set("results", st.fields);
        steps.push(j);
        char head[96];
        std::snprintf(head, sizeof head, "\n[%zu/%zu] %s\n", i + 1, count, kSteps[i].title);
        text += head;
        std::string about = kSteps[i].about;
        for (size_t p = 0; p < about.size();) {
            const size_t e = about.find('\n', p);
            text += std::string(4, ' ') + about.substr(p, e == std::string::npos ? std::string::npos : e - p) + "\n";
            p = e == std::string::npos ? about.size() : e + 1;
        }
        text += "\n";
        text += render_step(st.fields);
    }
    text += "\nAll steps done. Each has a command: qorvex --help lists them.\n";
    Json out = Json::object();
    out.set("version", QORVEX_CLI_VERSION);
    out.set("steps", steps);
    s.emit(out, &text);
    return kExitOk;
}

}  // namespace

// Listed in the command table (commands.cpp).
extern const Command demo_command = {
    "demo",
    "a guided tour of the library on built-in inputs",
    "demo",
    "Walks through what the library does, on fixed inputs, printing each step's\n"
    "inputs and results: the context and its self-test, keys from a fixed seed,\n"
    "ECDSA signing, verification and key recovery, Schnorr signatures, an\n"
    "Ethereum address and signed message, a wallet (mnemonic, seed, BIP-32 path\n"
    "and address), Bitcoin signed messages (signmessage and BIP-322), the same\n"
    "seed's addresses on Bitcoin, Litecoin, Dogecoin, Ethereum and Bitcoin Cash,\n"
    "MuSig2 and FROST signing, ECDH with encryption to a public key, and a range\n"
    "proof. Every run prints the same values.",
    {},
    "  $ qorvex demo\n",
    run_demo,
};

}  // namespace qcli
